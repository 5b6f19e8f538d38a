// The JPEG image class against the reference tools of libjpeg (cjpeg, djpeg) and ImageMagick.

#include "BarcodeTestSupport.h"
#include "JpegTestSupport.h"

#include "reportexport/JpgImg.h"

#include "platform/gui/BmpCodec.h"

#include <cstring>
#include <functional>
#include <random>

using namespace JpegTestSupport;

namespace {

// The message of the EJPEGException the call raises; another exception or none fails the test.
std::string JpegError(const std::function<void()>& call)
{
    try {
        call();
    } catch (const EJPEGException& error) {
        return error.Message;
    } catch (const Exception& error) {
        ADD_FAILURE() << error.ClassName() << ": " << error.Message;
        return {};
    }
    ADD_FAILURE() << "no exception";
    return {};
}

// The picture's bitmap saved as a BMP file.
fs::path SavePicture(TCustomJPEGImage& image, const fs::path& file)
{
    return SaveBitmap(*image.Picture()->Bitmap(), file);
}

fs::path EncodeToFile(TBitmap& bitmap, const fs::path& file, const std::function<void(TJPEGImage&)>& setup = {})
{
    TJPEGImage jpeg(nullptr);
    if (setup)
        setup(jpeg);
    jpeg.Picture()->SetGraphic(&bitmap);
    jpeg.SaveToFile(file.string());
    return file;
}

std::string EncodeBmp(const std::string& bmp, const JpgImg::TJpegOptions& options = {})
{
    TMemoryStream in, out;
    in.WriteBuffer(bmp.data(), static_cast<int>(bmp.size()));
    in.SetPosition(0);
    JpgImg::CompressBmp(in, out, options, {});
    return std::string(out.Memory(), static_cast<std::size_t>(out.Size()));
}

// A 24-bit BMP of the given size with every header field at hand; the pixels are grey.
struct TBmpHeader {
    std::int32_t HeaderSize = 40;
    std::int32_t Width = 4;
    std::int32_t Height = 2;
    std::uint16_t Planes = 1;
    std::uint16_t Bits = 24;
    std::uint32_t Compression = 0;
    std::int32_t ColorsUsed = 0;
    std::int32_t ExtraOffset = 0;   // added to the data offset
    std::size_t MapEntries = 0;     // colour map entries actually present
    std::size_t PixelBytes = 32;    // bytes of pixel data present
};

void Put(std::string& out, std::uint32_t value, int bytes)
{
    for (int i = 0; i < bytes; ++i)
        out += static_cast<char>(value >> (8 * i));
}

std::string MakeBmp(const TBmpHeader& h)
{
    std::string info;
    Put(info, static_cast<std::uint32_t>(h.HeaderSize), 4);
    Put(info, static_cast<std::uint32_t>(h.Width), 4);
    Put(info, static_cast<std::uint32_t>(h.Height), 4);
    Put(info, h.Planes, 2);
    Put(info, h.Bits, 2);
    Put(info, h.Compression, 4);
    Put(info, 0, 4);
    Put(info, 2835, 4);
    Put(info, 2835, 4);
    Put(info, static_cast<std::uint32_t>(h.ColorsUsed), 4);
    Put(info, 0, 4);
    info.resize(static_cast<std::size_t>(std::max(h.HeaderSize, 4)), '\0');
    const std::string map(h.MapEntries * 4, '\x40');
    const std::uint32_t offset = static_cast<std::uint32_t>(14 + info.size() + map.size() + h.ExtraOffset);
    std::string file = "BM";
    Put(file, offset + static_cast<std::uint32_t>(h.PixelBytes), 4);
    Put(file, 0, 4);
    Put(file, offset, 4);
    return file + info + map + std::string(h.PixelBytes, '\x80');
}

class JpgImgTest : public ::testing::Test {
protected:
    void SetUp() override { BarcodeTestSupport::EnsureApplication(); }
    TTestFolder Folder;
};

} // namespace

// ---- Encoding ------------------------------------------------------------------------------

TEST_F(JpgImgTest, OptionsShowInTheJpegAsIdentifyReadsIt)
{
    auto bitmap = GradientBitmap(120, 90);
    struct TCase {
        const char* Name;
        std::function<void(TJPEGImage&)> Setup;
        const char* Expected;
    };
    const TCase cases[] = {
        {"defaults", {}, "sRGB 75 None 120x90"},
        {"grey", [](TJPEGImage& j) { j.SetGrayScale(true); }, "Gray 75 None 120x90"},
        {"progressive", [](TJPEGImage& j) { j.SetProgressive(true); }, "sRGB 75 JPEG 120x90"},
        {"quality", [](TJPEGImage& j) { j.SetQuality(90); }, "sRGB 90 None 120x90"},
        {"fast", [](TJPEGImage& j) { j.SetFastProcessing(true); }, "sRGB 75 None 120x90"},
        {"float", [](TJPEGImage& j) { j.SetDCTMethod(JpgImg::FloatingPoint); }, "sRGB 75 None 120x90"},
    };
    for (const TCase& c : cases) {
        const fs::path file = EncodeToFile(*bitmap, Folder.Path() / (std::string(c.Name) + ".jpg"), c.Setup);
        // ImageMagick 6 names the estimated quality %Q; 7 also knows it as %[jpeg:quality].
        EXPECT_EQ(Identify(file, "%[colorspace] %Q %[interlace] %wx%h"), c.Expected) << c.Name;
    }
}

TEST_F(JpgImgTest, PaletteBitmapEncodesInColourAtItsSizeAndCloseToTheSource)
{
    auto bitmap = PaletteBitmap(200, 150);
    ASSERT_EQ(bitmap->PixelFormat(), pf8bit);
    const fs::path jpeg = EncodeToFile(*bitmap, Folder.Path() / "palette.jpg");
    EXPECT_EQ(Identify(jpeg, "%[colorspace] %wx%h"), "sRGB 200x150");
    const fs::path source = SaveBitmap(*bitmap, Folder.Path() / "palette.bmp");
    EXPECT_GE(Psnr(Djpeg(jpeg, "", Folder.Path() / "palette-back.bmp"), source), 30.0);

    // The colour map gives the same JPEG as the same pixels in 24 bits.
    TBitmap colour;
    colour.Assign(bitmap.get());
    colour.SetPixelFormat(pf24bit);
    EXPECT_EQ(ReadFile(EncodeToFile(colour, Folder.Path() / "colour.jpg")), ReadFile(jpeg));
}

TEST_F(JpgImgTest, QualitySeventyFiveKeepsThirtyDecibels)
{
    auto bitmap = GradientBitmap(320, 240);
    const fs::path source = SaveBitmap(*bitmap, Folder.Path() / "source.bmp");
    const fs::path jpeg = EncodeToFile(*bitmap, Folder.Path() / "ours.jpg");
    const double psnr = Psnr(Djpeg(jpeg, "", Folder.Path() / "ours.bmp"), source);
    EXPECT_GE(psnr, 30.0);
}

TEST_F(JpgImgTest, DecodesToTheSamePixelsAsTheReferenceEncoder)
{
    auto bitmap = GradientBitmap(333, 211);
    const fs::path source = SaveBitmap(*bitmap, Folder.Path() / "source.bmp");
    const fs::path ours = EncodeToFile(*bitmap, Folder.Path() / "ours.jpg");
    const fs::path reference = Cjpeg(source, "-quality 75 -optimize -dct int", Folder.Path() / "reference.jpg");
    const fs::path oursBmp = Djpeg(ours, "", Folder.Path() / "ours.bmp");
    const fs::path referenceBmp = Djpeg(reference, "", Folder.Path() / "reference.bmp");
    EXPECT_EQ(DifferentPixels(oursBmp, referenceBmp), 0);
}

TEST_F(JpgImgTest, AnyPixelFormatEncodes)
{
    auto source = GradientBitmap(64, 48);
    const fs::path reference = EncodeToFile(*source, Folder.Path() / "24.jpg");
    for (TPixelFormat format : {pfDevice, pf32bit, pf16bit, pf15bit, pf4bit, pf1bit}) {
        TBitmap bitmap;
        bitmap.Assign(source.get());
        bitmap.SetPixelFormat(format);
        const fs::path jpeg = EncodeToFile(bitmap, Folder.Path() / ("f" + std::to_string(format) + ".jpg"));
        EXPECT_EQ(Identify(jpeg, "%[colorspace] %wx%h"), "sRGB 64x48") << format;
        if (format == pfDevice || format == pf32bit) {
            EXPECT_EQ(ReadFile(jpeg), ReadFile(reference)) << format;
        }
    }
}

TEST_F(JpgImgTest, SaveToStreamWithoutStreamDoesNothingAndSaveToFileReplacesOnlyWhenComplete)
{
    TJPEGImage jpeg(nullptr);
    jpeg.SaveToStream(nullptr);

    const fs::path target = Folder.Write("keep.jpg", "old bytes");
    // An empty picture has no BMP to read: the old file stays, no temporary is left.
    EXPECT_EQ(JpegError([&] { jpeg.SaveToFile(target.string()); }), "Premature end of input file");
    EXPECT_EQ(ReadFile(target), "old bytes");
    EXPECT_EQ(std::distance(fs::directory_iterator(Folder.Path()), fs::directory_iterator()), 1);
}

namespace {

// A stream that takes limit bytes and then fails: by a short write or by raising.
class TFailingStream : public TMemoryStream {
public:
    TFailingStream(int limit, bool raise) : FLimit(limit), FRaise(raise) {}
    int Write(const void* buffer, int count) override
    {
        if (Size() + count <= FLimit)
            return TMemoryStream::Write(buffer, count);
        if (FRaise)
            RAISE(EWriteError("Stream write error"));
        return 0;
    }

private:
    int FLimit;
    bool FRaise;
};

} // namespace

TEST_F(JpgImgTest, AFailingTargetStreamGivesTheWriteError)
{
    auto bitmap = GradientBitmap(600, 400);
    for (bool raise : {false, true}) {
        for (int limit : {0, 5000}) {
            TJPEGImage jpeg(nullptr);
            jpeg.Picture()->SetGraphic(bitmap.get());
            TFailingStream target(limit, raise);
            EXPECT_EQ(JpegError([&] { jpeg.SaveToStream(&target); }), "Output file write error --- out of disk space?")
                << raise << " " << limit;
        }
    }
}

// ---- Decoding ------------------------------------------------------------------------------

TEST_F(JpgImgTest, DecodingMatchesDjpegPixelForPixel)
{
    auto bitmap = GradientBitmap(257, 131);
    const fs::path source = SaveBitmap(*bitmap, Folder.Path() / "source.bmp");
    const fs::path jpeg = Cjpeg(source, "", Folder.Path() / "cjpeg.jpg");
    struct TCase {
        const char* Name;
        std::function<void(TJPEGImage&)> Setup;
        const char* DjpegSwitches;
    };
    const TCase cases[] = {
        {"true colour", [](TJPEGImage& j) { j.SetNumOfColors(JpgImg::TrueColor); }, ""},
        {"256 fs", [](TJPEGImage& j) { j.SetDither(JpgImg::FS); }, "-colors 256 -dither fs"},
        {"16 ordered one pass",
         [](TJPEGImage& j) {
             j.SetNumOfColors(JpgImg::_16);
             j.SetDither(JpgImg::Ordered);
             j.SetOnePass(true);
         },
         "-colors 16 -dither ordered -onepass"},
        {"fast", [](TJPEGImage& j) { j.SetFastProcessing(true); }, "-colors 256 -fast"},
        {"fast true colour",
         [](TJPEGImage& j) {
             j.SetNumOfColors(JpgImg::TrueColor);
             j.SetFastProcessing(true);
         },
         "-fast"},
        {"no smooth float",
         [](TJPEGImage& j) {
             j.SetNumOfColors(JpgImg::TrueColor);
             j.SetNoSmooth(true);
             j.SetDCTMethod(JpgImg::FloatingPoint);
         },
         "-nosmooth -dct float"},
        {"no dither", [](TJPEGImage& j) { j.SetDither(JpgImg::None); }, "-colors 256 -dither none"},
    };
    int n = 0;
    for (const TCase& c : cases) {
        TJPEGImage image(nullptr);
        c.Setup(image);
        image.SetFileName(jpeg.string());
        const std::string tag = std::to_string(n++);
        const fs::path ours = SavePicture(image, Folder.Path() / ("ours" + tag + ".bmp"));
        const fs::path reference = Djpeg(jpeg, c.DjpegSwitches, Folder.Path() / ("djpeg" + tag + ".bmp"));
        EXPECT_EQ(image.Picture()->Width(), 257) << c.Name;
        EXPECT_EQ(DifferentPixels(ours, reference), 0) << c.Name;
    }
}

TEST_F(JpgImgTest, GrayScaleDecodesToAnEightBitGreyBitmap)
{
    auto bitmap = GradientBitmap(90, 60);
    const fs::path jpeg = Cjpeg(SaveBitmap(*bitmap, Folder.Path() / "s.bmp"), "", Folder.Path() / "c.jpg");
    for (TNumOfColors colors : {JpgImg::_256, JpgImg::TrueColor}) {
        TJPEGImage image(nullptr);
        image.SetNumOfColors(colors);
        image.SetGrayScale(true);
        image.SetFileName(jpeg.string());
        TBitmap* picture = image.Picture()->Bitmap();
        EXPECT_EQ(picture->PixelFormat(), pf8bit);
        for (COLORREF entry : picture->PaletteColors())
            EXPECT_TRUE(GetRValue(entry) == GetGValue(entry) && GetGValue(entry) == GetBValue(entry));
        const fs::path ours = SavePicture(image, Folder.Path() / "grey.bmp");
        const fs::path reference = Djpeg(jpeg, colors == JpgImg::_256 ? "-grayscale -colors 256" : "-grayscale",
                                         Folder.Path() / "grey-ref.bmp");
        EXPECT_EQ(DifferentPixels(ours, reference), 0) << colors;
    }
}

TEST_F(JpgImgTest, ChangingAnOptionDecodesTheHeldDataAgain)
{
    auto bitmap = GradientBitmap(80, 40);
    const fs::path jpeg = Cjpeg(SaveBitmap(*bitmap, Folder.Path() / "s.bmp"), "", Folder.Path() / "c.jpg");
    TJPEGImage image(nullptr);
    image.SetFileName(jpeg.string());
    EXPECT_EQ(image.Picture()->Bitmap()->PixelFormat(), pf8bit);
    image.SetNumOfColors(JpgImg::TrueColor);
    EXPECT_EQ(image.Picture()->Bitmap()->PixelFormat(), pf24bit);

    // Without held data the picture given for encoding stays.
    TJPEGImage encoder(nullptr);
    encoder.Picture()->SetGraphic(bitmap.get());
    encoder.SetGrayScale(true);
    EXPECT_EQ(encoder.Picture()->Width(), 80);
}

TEST_F(JpgImgTest, ProgressFiresOnceAtEachMultipleOfTheStep)
{
    auto bitmap = GradientBitmap(16, 1000);
    const fs::path jpeg = Folder.Path() / "tall.jpg";
    for (int step : {10, 25, 7, 100}) {
        TJPEGImage image(nullptr);
        image.SetProgressStep(step);
        int fired = 0;
        image.OnProgress = [&](TObject* sender) {
            EXPECT_EQ(sender, &image);
            ++fired;
        };
        image.Picture()->SetGraphic(bitmap.get());
        image.SaveToFile(jpeg.string());
        EXPECT_EQ(fired, 100 / step) << "encoding, step " << step;
        fired = 0;
        image.SetFileName(jpeg.string());
        EXPECT_EQ(fired, 100 / step) << "decoding, step " << step;
    }
    TJPEGImage image(nullptr);
    image.SetProgressStep(0);
    image.SetProgressStep(101);
    EXPECT_EQ(image.ProgressStep(), 10);
    image.SetQuality(-1);
    image.SetQuality(101);
    EXPECT_EQ(image.Quality(), 75);
}

// ---- Failures ------------------------------------------------------------------------------

TEST_F(JpgImgTest, ACutFileWarnsAndThePictureKeepsItsContent)
{
    auto bitmap = GradientBitmap(200, 160);
    const fs::path source = SaveBitmap(*bitmap, Folder.Path() / "s.bmp");
    const fs::path good = Cjpeg(source, "", Folder.Path() / "good.jpg");
    const std::string bytes = ReadFile(good);
    const fs::path cut = Folder.Write("cut.jpg", bytes.substr(0, bytes.size() / 2));

    TJPEGImage image(nullptr);
    image.SetNumOfColors(JpgImg::TrueColor);
    image.SetFileName(good.string());
    const fs::path before = SavePicture(image, Folder.Path() / "before.bmp");
    EXPECT_EQ(JpegError([&] { image.SetFileName(cut.string()); }), "There are warnings");
    EXPECT_EQ(DifferentPixels(SavePicture(image, Folder.Path() / "after.bmp"), before), 0);
}

TEST_F(JpgImgTest, EmptyAndMissingFilesAndEmptyNames)
{
    auto bitmap = GradientBitmap(40, 30);
    const fs::path good = Cjpeg(SaveBitmap(*bitmap, Folder.Path() / "s.bmp"), "", Folder.Path() / "good.jpg");
    const fs::path empty = Folder.Write("empty.jpg", "");
    TJPEGImage image(nullptr);
    image.SetFileName(good.string());
    EXPECT_EQ(JpegError([&] { image.SetFileName(empty.string()); }), "Empty input file");
    EXPECT_EQ(image.Picture()->Width(), 40);

    image.SetFileName(good.string());
    EXPECT_THROW(image.SetFileName((Folder.Path() / "missing.jpg").string()), EFOpenError);
    EXPECT_EQ(image.FileName(), good.string());
    EXPECT_EQ(image.Picture()->Width(), 40);
    image.SetNumOfColors(JpgImg::TrueColor); // the held data is still the good file
    EXPECT_EQ(image.Picture()->Bitmap()->PixelFormat(), pf24bit);

    image.SetFileName("");
    EXPECT_EQ(image.Picture()->Graphic(), nullptr);
    EXPECT_EQ(image.Picture()->Width(), 0);
}

TEST_F(JpgImgTest, HostileJpegDataEndsInItsError)
{
    auto bitmap = GradientBitmap(48, 32);
    const std::string good = ReadFile(Cjpeg(SaveBitmap(*bitmap, Folder.Path() / "s.bmp"), "", Folder.Path() / "g.jpg"));
    const std::size_t sof = good.find("\xFF\xC0", 0, 2);
    ASSERT_NE(sof, std::string::npos);
    auto withSize = [&](int width, int height) {
        std::string bytes = good;
        bytes[sof + 5] = static_cast<char>(height >> 8);
        bytes[sof + 6] = static_cast<char>(height);
        bytes[sof + 7] = static_cast<char>(width >> 8);
        bytes[sof + 8] = static_cast<char>(width);
        return bytes;
    };
    std::string comments = "\xFF\xD8";
    for (int i = 0; i < 2000; ++i)
        comments += std::string("\xFF\xFE\x00\x05xyz", 7);
    std::string endlessComment = std::string("\xFF\xD8\xFF\xFE\xFF\xFF", 6) + "short";
    std::string badMarker = good;
    badMarker[sof + 1] = '\xC3'; // lossless: not supported by the decoder
    std::mt19937 random(7);
    std::string noise(3000, '\0');
    for (char& c : noise)
        c = static_cast<char>(random());

    struct TCase {
        const char* Name;
        std::string Bytes;
        const char* Expected; // nullptr: any message
    };
    const TCase cases[] = {
        {"huge width", withSize(40000, 10), "Invalid BMP file: bad image size"},
        {"huge area", withSize(20000, 20000), "Invalid BMP file: bad image size"},
        {"zero height", withSize(48, 0), nullptr},
        {"only comments", comments, nullptr},
        {"endless comment", endlessComment, nullptr},
        {"lossless", badMarker, nullptr},
        {"header only", good.substr(0, sof + 4), nullptr},
        {"random", noise, nullptr},
        {"cut", good.substr(0, good.size() - 50), "There are warnings"},
    };
    for (const TCase& c : cases) {
        TMemoryStream in, out;
        in.WriteBuffer(c.Bytes.data(), static_cast<int>(c.Bytes.size()));
        in.SetPosition(0);
        const std::string message = JpegError([&] { JpgImg::DecompressToBmp(in, out, {}, {}); });
        if (c.Expected)
            EXPECT_EQ(message, c.Expected) << c.Name;
        else
            EXPECT_FALSE(message.empty()) << c.Name;
    }
}

TEST_F(JpgImgTest, CmykJpegIsRefusedByTheBmpWriter)
{
    auto bitmap = GradientBitmap(20, 10);
    const fs::path rgb = SaveBitmap(*bitmap, Folder.Path() / "s.bmp");
    const fs::path cmyk = Folder.Path() / "cmyk.jpg";
    std::string output;
    ASSERT_EQ(RunCommand("convert " + Quoted(rgb) + " -colorspace CMYK " + Quoted(cmyk), &output), 0) << output;
    TMemoryStream in, out;
    in.LoadFromFile(cmyk.string());
    EXPECT_EQ(JpegError([&] { JpgImg::DecompressToBmp(in, out, {}, {}); }), "BMP output must be grayscale or RGB");
}

TEST_F(JpgImgTest, HostileBmpDataEndsInItsError)
{
    auto with = [](const std::function<void(TBmpHeader&)>& change) {
        TBmpHeader header;
        change(header);
        return MakeBmp(header);
    };
    const std::string plain = MakeBmp({});
    TBmpHeader os2;
    struct TCase {
        const char* Name;
        std::string Bytes;
        const char* Expected;
    };
    const TCase cases[] = {
        {"empty", "", "Premature end of input file"},
        {"short file header", "BM\x10", "Premature end of input file"},
        {"not BM", "XY" + plain.substr(2), "Not a BMP file - does not start with BM"},
        {"short info header", plain.substr(0, 30), "Premature end of input file"},
        {"header 11", with([](TBmpHeader& h) { h.HeaderSize = 11; }), "Invalid BMP file: bad header length"},
        {"header 65", with([](TBmpHeader& h) { h.HeaderSize = 65; }), "Invalid BMP file: bad header length"},
        {"header 52", with([](TBmpHeader& h) { h.HeaderSize = 52; }), "Invalid BMP file: bad header length"},
        {"32 bits", with([](TBmpHeader& h) { h.Bits = 32; }), "Only 8- and 24-bit BMP files are supported"},
        {"4 bits", with([](TBmpHeader& h) { h.Bits = 4; }), "Only 8- and 24-bit BMP files are supported"},
        {"planes", with([](TBmpHeader& h) { h.Planes = 2; }), "Invalid BMP file: biPlanes not equal to 1"},
        {"RLE", with([](TBmpHeader& h) { h.Compression = 1; }), "Sorry, compressed BMPs not yet supported"},
        {"zero width", with([](TBmpHeader& h) { h.Width = 0; }), "Invalid BMP file: bad image size"},
        {"negative height", with([](TBmpHeader& h) { h.Height = -2; }), "Invalid BMP file: bad image size"},
        {"huge side", with([](TBmpHeader& h) { h.Width = 40000; }), "Invalid BMP file: bad image size"},
        {"huge area", with([](TBmpHeader& h) { h.Width = h.Height = 20000; }), "Invalid BMP file: bad image size"},
        {"large and short", with([](TBmpHeader& h) { h.Width = h.Height = 16000; }), "Premature end of input file"},
        {"300 colours",
         with([](TBmpHeader& h) {
             h.Bits = 8;
             h.ColorsUsed = 300;
             h.MapEntries = 300;
         }),
         "Unsupported BMP colormap format"},
        {"map beyond the file",
         with([](TBmpHeader& h) {
             h.Bits = 8;
             h.ColorsUsed = 200;
             h.MapEntries = 10;
             h.PixelBytes = 0;
         }),
         "Premature end of input file"},
        {"offset inside the map",
         with([](TBmpHeader& h) {
             h.Bits = 8;
             h.ColorsUsed = 4;
             h.MapEntries = 4;
             h.ExtraOffset = -8;
         }),
         "Invalid BMP file: bad header length"},
        {"short pixels", with([](TBmpHeader& h) { h.PixelBytes = 20; }), "Premature end of input file"},
    };
    for (const TCase& c : cases)
        EXPECT_EQ(JpegError([&] { EncodeBmp(c.Bytes); }), c.Expected) << c.Name;
}

TEST_F(JpgImgTest, ReaderTakesOs2AndWindowsHeadersWithGapsAndDensity)
{
    // OS/2: 12-byte header, 3-byte map entries of 256 colours, a 2 × 1 picture.
    std::string os2 = "BM";
    Put(os2, 14 + 12 + 768 + 4, 4);
    Put(os2, 0, 4);
    Put(os2, 14 + 12 + 768, 4);
    Put(os2, 12, 4);
    Put(os2, 2, 2);
    Put(os2, 1, 2);
    Put(os2, 1, 2);
    Put(os2, 8, 2);
    std::string map(768, '\0');
    map[3 * 1 + 2] = '\xFF'; // entry 1 is red
    os2 += map + std::string("\x01\x01\x00\x00", 4);
    const fs::path os2Jpeg = Folder.Write("os2.jpg", EncodeBmp(os2));
    EXPECT_EQ(Identify(os2Jpeg, "%wx%h %[pixel:p{0,0}]"), "2x1 srgb(254,0,0)");

    TBmpHeader gap;
    gap.ExtraOffset = 10;
    gap.PixelBytes = 42;
    const fs::path gapJpeg = Folder.Write("gap.jpg", EncodeBmp(MakeBmp(gap)));
    EXPECT_EQ(Identify(gapJpeg, "%wx%h %x %y"), "4x2 28 28");

    TBmpHeader v64;
    v64.HeaderSize = 64;
    EXPECT_EQ(Identify(Folder.Write("v64.jpg", EncodeBmp(MakeBmp(v64))), "%wx%h"), "4x2");
}
