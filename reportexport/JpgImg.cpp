#include "reportexport/JpgImg.h"

#include "platform/gui/Bitmap.h"

#include <memory>

namespace JpgImgImage {

// What the encoder's reader takes as the layer writes it: a 40-byte header, 8 or 24 bits per
// pixel, no compression.
bool IsReadableBmp(TMemoryStream& bmp)
{
    if (bmp.Size() < 34)
        return false;
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(bmp.Memory());
    const auto le32 = [bytes](int at) {
        return bytes[at] | (bytes[at + 1] << 8) | (bytes[at + 2] << 16) | (std::uint32_t(bytes[at + 3]) << 24);
    };
    const unsigned bits = bytes[28] | (bytes[29] << 8);
    return le32(14) == 40 && (bits == 8 || bits == 24) && le32(30) == 0;
}

// The bitmap as a BMP of 8 or 24 bits. A device bitmap already saves as 24 bits; other pixel
// formats, and a bitmap that would write back a compressed or unusual file it was read from,
// go through a 24-bit copy.
void SaveReadableBmp(TBitmap& bitmap, TMemoryStream& bmp)
{
    bitmap.SaveToStream(bmp);
    if (bitmap.Empty() || IsReadableBmp(bmp))
        return;
    bmp.Clear();
    TBitmap copy;
    copy.Assign(&bitmap);
    copy.SetPixelFormat(pf24bit);
    copy.SaveToStream(bmp);
}

} // namespace JpgImgImage

TCustomJPEGImage::TCustomJPEGImage(TComponent* AOwner) : TImage(AOwner) {}

TCustomJPEGImage::~TCustomJPEGImage() = default;

void TCustomJPEGImage::SetNumOfColors(TNumOfColors value)
{
    if (value == FOptions.NumOfColors)
        return;
    FOptions.NumOfColors = value;
    OptionChanged();
}

void TCustomJPEGImage::SetDCTMethod(TDCTMethod value)
{
    if (value == FOptions.DCTMethod)
        return;
    FOptions.DCTMethod = value;
    OptionChanged();
}

void TCustomJPEGImage::SetDither(TDither value)
{
    if (value == FOptions.Dither)
        return;
    FOptions.Dither = value;
    OptionChanged();
}

void TCustomJPEGImage::SetFastProcessing(bool value)
{
    if (value == FOptions.FastProcessing)
        return;
    FOptions.FastProcessing = value;
    OptionChanged();
}

void TCustomJPEGImage::SetGrayScale(bool value)
{
    if (value == FOptions.GrayScale)
        return;
    FOptions.GrayScale = value;
    OptionChanged();
}

void TCustomJPEGImage::SetNoSmooth(bool value)
{
    if (value == FOptions.NoSmooth)
        return;
    FOptions.NoSmooth = value;
    OptionChanged();
}

void TCustomJPEGImage::SetOnePass(bool value)
{
    if (value == FOptions.OnePass)
        return;
    FOptions.OnePass = value;
    OptionChanged();
}

void TCustomJPEGImage::SetProgressStep(int value)
{
    if (value >= 1 && value <= 100)
        FProgressStep = value;
}

void TCustomJPEGImage::SetQuality(int value)
{
    if (value >= 0 && value <= 100)
        FOptions.Quality = value;
}

// Only held data is decoded again: a picture given for encoding stays as it is.
void TCustomJPEGImage::OptionChanged()
{
    if (FData.Size() > 0)
        Decode();
}

void TCustomJPEGImage::RowsDone(int done, int total, int& lastPercent)
{
    const int percent = static_cast<int>(static_cast<long long>(done) * 100 / total);
    if (percent != lastPercent && percent % FProgressStep == 0) {
        lastPercent = percent;
        if (OnProgress)
            OnProgress(this);
    }
}

void TCustomJPEGImage::SaveToStream(TStream* stream)
{
    if (!stream)
        return;
    TMemoryStream bmp;
    JpgImgImage::SaveReadableBmp(*Picture()->Bitmap(), bmp);
    bmp.SetPosition(0);
    int lastPercent = 0;
    JpgImg::CompressBmp(bmp, *stream, FOptions,
                        [this, &lastPercent](int done, int total) { RowsDone(done, total, lastPercent); });
}

void TCustomJPEGImage::SaveToFile(const std::string& fileName)
{
    TAtomicFileStream file(fileName);
    SaveToStream(&file);
    file.Commit();
}

void TCustomJPEGImage::Decode()
{
    if (ComponentState().Contains(csReading))
        return;
    if (FData.Size() == 0) {
        Picture()->SetGraphic(nullptr);
        Invalidate();
        return;
    }
    DecodeData();
}

void TCustomJPEGImage::DecodeData()
{
    if (ComponentState().Contains(csReading))
        return;
    FData.SetPosition(0);
    TMemoryStream bmp;
    int lastPercent = 0;
    JpgImg::DecompressToBmp(FData, bmp, FOptions,
                            [this, &lastPercent](int done, int total) { RowsDone(done, total, lastPercent); });
    bmp.SetPosition(0);
    TBitmap bitmap;
    bitmap.LoadFromStream(bmp);
    Picture()->SetGraphic(&bitmap);
    Invalidate();
}

void TJPEGImage::SetFileName(const std::string& value)
{
    if (value.empty()) {
        Data().Clear();
    } else {
        TMemoryStream loaded;
        {
            TFileStream file(value, fmOpenRead);
            loaded.LoadFromStream(file);
        }
        Data().LoadFromStream(loaded);
    }
    FFileName = value;
    // A named file goes to the codec even when it is empty, which then says so.
    if (value.empty())
        Decode();
    else
        DecodeData();
}
