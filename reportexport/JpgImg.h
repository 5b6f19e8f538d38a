#pragma once
// TCustomJPEGImage and TJPEGImage: an image control that holds JPEG data, decodes it into its
// picture as a Windows bitmap and encodes its picture's bitmap as JPEG through libjpeg.
//
// The glue between libjpeg and the layer's streams lives in JpgImgGlue.cpp: a BMP reader that
// feeds the compressor, a BMP writer that takes the decompressor's rows, a source and a
// destination manager over streams and a skipper for comment markers. Codec errors come back as
// EJPEGException with libjpeg's message text; no C++ exception ever passes through libjpeg.

#include "platform/gui/Image.h"
#include "platform/rtl/Exceptions.h"
#include "platform/rtl/Streams.h"

#include <functional>
#include <string>

TESS_EXCEPTION(EJPEGException, Exception)

namespace JpgImg {

enum TNumOfColors { _16, _256, TrueColor };
enum TDCTMethod { Integ, FastInteg, FloatingPoint };
enum TDither { None, FS, Ordered };

// The coding options of the component, as the glue takes them.
struct TJpegOptions {
    TNumOfColors NumOfColors = _256;
    TDCTMethod DCTMethod = Integ;
    TDither Dither = FS;
    bool FastProcessing = false;
    bool GrayScale = false;
    bool NoSmooth = false;
    bool OnePass = false;
    int Quality = 75;
    bool Progressive = false;
};

// Told the rows done so far and the rows of the whole image after each batch of rows.
using TRowProgress = std::function<void(int done, int total)>;

// Encodes the BMP file image that starts at the position of bmp (8 or 24 bits per pixel,
// uncompressed) as a JPEG file image written to target.
void CompressBmp(TStream& bmp, TStream& target, const TJpegOptions& options, const TRowProgress& progress);

// Decodes the JPEG data from the position of jpeg into a BMP file image written to bmp from its
// start: 8 bits with a colour map of 256 entries for grey or quantised output, 24 bits otherwise.
// Raises "There are warnings" after a complete decode during which the codec warned.
void DecompressToBmp(TStream& jpeg, TStream& bmp, const TJpegOptions& options, const TRowProgress& progress);

// The largest picture the glue accepts on either side: 32,767 pixels a side and 2^28 in all.
bool AcceptableImageSize(long long width, long long height);

} // namespace JpgImg

using JpgImg::TDCTMethod;
using JpgImg::TDither;
using JpgImg::TNumOfColors;

class TCustomJPEGImage : public TImage {
    TESS_CLASS(TCustomJPEGImage, TImage)
public:
    explicit TCustomJPEGImage(TComponent* AOwner);
    ~TCustomJPEGImage() override;

    // Decoding options: changing one decodes the held data again.
    TNumOfColors NumOfColors() const { return FOptions.NumOfColors; }
    void SetNumOfColors(TNumOfColors value);
    TDCTMethod DCTMethod() const { return FOptions.DCTMethod; }
    void SetDCTMethod(TDCTMethod value);
    TDither Dither() const { return FOptions.Dither; }
    void SetDither(TDither value);
    bool FastProcessing() const { return FOptions.FastProcessing; }
    void SetFastProcessing(bool value);
    bool GrayScale() const { return FOptions.GrayScale; }
    void SetGrayScale(bool value);
    bool NoSmooth() const { return FOptions.NoSmooth; }
    void SetNoSmooth(bool value);
    bool OnePass() const { return FOptions.OnePass; }
    void SetOnePass(bool value);

    // Percent steps of OnProgress, 1 to 100; other values are ignored.
    int ProgressStep() const { return FProgressStep; }
    void SetProgressStep(int value);
    // Encoding quality, 0 to 100; other values are ignored.
    int Quality() const { return FOptions.Quality; }
    void SetQuality(int value);
    bool Progressive() const { return FOptions.Progressive; }
    void SetProgressive(bool value) { FOptions.Progressive = value; }

    // Fired while coding whenever the percentage of rows done reaches a new multiple of
    // ProgressStep (never at 0).
    TNotifyEvent OnProgress;

    // Encodes the picture's bitmap as a JPEG file image into the stream; nothing without one.
    void SaveToStream(TStream* stream);
    // Replaces the file only once the whole JPEG is written.
    void SaveToFile(const std::string& fileName);

protected:
    TMemoryStream& Data() { return FData; }
    // Decodes the held data into the picture; empty data clears it. The picture changes only
    // when the decode succeeds without warnings.
    void Decode();
    // Decodes the held data, also when it is empty.
    void DecodeData();

private:
    void OptionChanged();
    void RowsDone(int done, int total, int& lastPercent);

    JpgImg::TJpegOptions FOptions;
    int FProgressStep = 10;
    TMemoryStream FData;
};

class TJPEGImage : public TCustomJPEGImage {
    TESS_CLASS(TJPEGImage, TCustomJPEGImage)
public:
    explicit TJPEGImage(TComponent* AOwner) : TCustomJPEGImage(AOwner) {}

    const std::string& FileName() const { return FFileName; }
    // Loads the whole file as the JPEG data and decodes it; an empty name empties the data and
    // the picture. A file that cannot be opened raises EFOpenError and changes nothing.
    void SetFileName(const std::string& value);

private:
    std::string FFileName;
};
