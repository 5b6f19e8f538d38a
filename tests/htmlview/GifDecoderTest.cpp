// The GIF decoder: hand-made vectors byte for byte, its error texts, code streams without a
// leading clear code or with a full table, interlaced rows, frame composition and transparency,
// and ImageMagick decoding the same files as the peer.

#include "GifTestSupport.h"
#include "htmlview/panegif2.h"
#include "tests/TestFixtures.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <sstream>

namespace {

// ::TGif: the viewer tests that share a unity batch see the transparency kind TGif too.

// 4 x 1, four colours, codes clear, 1, 6, 1, end.
const char* const Vector1 = "47 49 46 38 37 61 04 00 01 00 81 00 00 00 00 00 FF 00 00 00 FF 00 00 00 FF 2C 00 00 00 "
                            "00 04 00 01 00 00 02 02 8C 53 00 3B";
// 1 x 1, white and black, a graphic control block making index 0 transparent.
const char* const Vector2 = "47 49 46 38 39 61 01 00 01 00 80 00 00 FF FF FF 00 00 00 21 F9 04 01 00 00 00 00 2C 00 "
                            "00 00 00 01 00 01 00 00 02 02 44 01 00 3B";

void Load(::TGif& gif, const std::string& bytes)
{
    TMemoryStream stream;
    StreamOf(stream, bytes);
    gif.LoadFromStream(stream);
}

std::vector<int> FramePixels(const ::TGif& gif, int frame)
{
    std::vector<int> pixels;
    for (int y = 0; y < gif.GetImageHeight(frame); ++y)
        for (int x = 0; x < gif.GetImageWidth(frame); ++x)
            pixels.push_back(gif.GetColorIndex(frame, x, y));
    return pixels;
}

// One cell of a 24-bit strip as RGB bytes, rows from the top.
std::string CellRgb(TBitmap& strip, int cell, int cellWidth)
{
    EXPECT_EQ(strip.PixelFormat(), pf24bit);
    std::string rgb;
    for (int y = 0; y < strip.Height(); ++y) {
        const std::uint8_t* row = strip.ScanLine(y) + 3 * cell * cellWidth;
        for (int x = 0; x < cellWidth; ++x) {
            rgb += static_cast<char>(row[3 * x + 2]);
            rgb += static_cast<char>(row[3 * x + 1]);
            rgb += static_cast<char>(row[3 * x]);
        }
    }
    return rgb;
}

std::string Fixture(const std::string& name) { return std::string(TestFixtureDir()) + "/data/" + name; }

std::string ScratchFolder()
{
    std::string folder = std::string(TestBinaryDir()) + "/gifpeer";
    RunCommand("mkdir -p '" + folder + "'");
    return folder;
}

TEST(GifDecoder, HandVectorOneDecodesFourRedPixels)
{
    ::TGif gif;
    Load(gif, HexBytes(Vector1));
    ASSERT_EQ(gif.GetImageCount(), 1);
    EXPECT_EQ(gif.GetWidth(), 4);
    EXPECT_EQ(gif.GetHeight(), 1);
    EXPECT_EQ(gif.GetImageWidth(0), 4);
    EXPECT_EQ(gif.GetImageHeight(0), 1);
    EXPECT_EQ(FramePixels(gif, 0), (std::vector<int>{1, 1, 1, 1}));
    EXPECT_EQ(gif.GetImageDelay(0), 1);
    EXPECT_EQ(gif.GetImageDisposal(0), 0);
    EXPECT_EQ(gif.GetTransparentIndex(0), -1);
    EXPECT_EQ(gif.FIterations, -1);
    EXPECT_EQ(gif.GetImageDepth(0), 4);
    EXPECT_EQ(gif.GetSignature(), "GIF87a");

    std::unique_ptr<TBitmap> mask;
    std::unique_ptr<TBitmap> strip = gif.GetStripBitmap(mask);
    EXPECT_EQ(mask, nullptr);
    ASSERT_EQ(strip->Width(), 4);
    ASSERT_EQ(strip->Height(), 1);
    EXPECT_EQ(CellRgb(*strip, 0, 4), HexBytes("FF 00 00 FF 00 00 FF 00 00 FF 00 00"));
}

TEST(GifDecoder, HandVectorTwoIsTransparentBlackUnderAFullMask)
{
    ::TGif gif;
    Load(gif, HexBytes(Vector2));
    EXPECT_EQ(FramePixels(gif, 0), (std::vector<int>{0}));
    EXPECT_TRUE(gif.GetTransparent());
    EXPECT_EQ(gif.GetTransparentIndex(0), 0);
    std::unique_ptr<TBitmap> mask;
    std::unique_ptr<TBitmap> strip = gif.GetStripBitmap(mask);
    ASSERT_NE(mask, nullptr);
    EXPECT_TRUE(mask->Monochrome());
    EXPECT_EQ(CellRgb(*strip, 0, 1), HexBytes("00 00 00"));
    EXPECT_EQ(mask->Canvas()->Pixels(0, 0), clWhite);
    // The frame's own bitmap shows the marker colour and is transparent with it; the decoder's
    // table keeps white.
    TBitmap* frame = gif.GetBitmap(0);
    EXPECT_EQ(frame->Canvas()->Pixels(0, 0), gif.GetTransparentColor());
    EXPECT_TRUE(frame->Transparent());
    EXPECT_EQ(gif.GetColorTable(0).Colors[0], 0xFFFFFFu);
}

struct TErrorCase {
    const char* Name;
    std::string Bytes;
    const char* Message; // nullptr: loads
};

std::string Vector2With(std::size_t at, const std::string& replacement, std::size_t replaced = 1)
{
    return HexBytes(Vector2).replace(at, replaced, replacement);
}

TEST(GifDecoder, ErrorTextsOfDamagedFiles)
{
    const std::string v2 = HexBytes(Vector2);
    const TErrorCase cases[] = {
        {"signature GIF88a", Vector2With(4, "8"), "TGif: Invalid GIF Signature Code"},
        {"label F8", Vector2With(20, "\xF8"), "TGif: unknown extension: 00F8"},
        {"block size 5", Vector2With(21, "\x05"), "TGif: Invalid Extension Block Size"},
        {"no colour table", v2.substr(0, 10) + std::string(1, '\0') + v2.substr(11, 2) + v2.substr(19),
         "TGif: No Local or Global Color Table for Image"},
        {"cut in the LZW data", v2.substr(0, 40), "TGif: Unexpected end of file"},
        {"code size 12", Vector2With(37, "\x0C"), "TGif: Invalid LZW Code Size"},
        {"bad block byte", v2.substr(0, 27) + "\x77", "TGif: Unknown Graphics Operation Code"},
        {"no frame", v2.substr(0, 19) + "\x3B", "TGif: No Image Description"},
        {"graphic control terminator", Vector2With(26, "\x01"), "TGif: Invalid Extension Block Terminator"},
        {"lower-case signature", Vector2With(0, "gif89a", 6), nullptr},
        {"no trailer", v2.substr(0, v2.size() - 1), nullptr},
    };
    for (const TErrorCase& c : cases) {
        SCOPED_TRACE(c.Name);
        ::TGif gif;
        if (c.Message == nullptr) {
            EXPECT_NO_THROW(Load(gif, c.Bytes));
            EXPECT_EQ(gif.GetImageCount(), 1);
            continue;
        }
        try {
            Load(gif, c.Bytes);
            ADD_FAILURE() << "loaded";
        } catch (const EInvalidGraphicOperation& error) {
            EXPECT_EQ(error.Message, c.Message);
        }
    }
}

TEST(GifDecoder, LeadingClearCodeIsOptional)
{
    // Vector 1 with its codes re-packed without the first clear code: 1, 6, 1 in 3 bits, end in 4.
    std::string bytes = HexBytes(Vector1);
    bytes.replace(bytes.size() - 4, 2, HexBytes("71 0A"));
    ::TGif gif;
    Load(gif, bytes);
    EXPECT_EQ(FramePixels(gif, 0), (std::vector<int>{1, 1, 1, 1}));
}

TEST(GifDecoder, InterlacedRowsLandInPassOrder)
{
    TTestGif picture{1, 16, std::vector<std::uint32_t>(16, 0), {}, -1};
    TTestGifFrame frame{0, 0, 1, 16, {}, 0, 0, -1, true, false};
    for (int i = 0; i < 16; ++i)
        frame.Pixels.push_back(static_cast<std::uint8_t>(i));
    frame.Pixels.push_back(7); // surplus: dropped, never written over row 0
    picture.Frames.push_back(frame);
    ::TGif gif;
    Load(gif, MakeGif(picture));
    const int rowOfSequence[16] = {0, 8, 4, 12, 2, 6, 10, 14, 1, 3, 5, 7, 9, 11, 13, 15};
    for (int sequence = 0; sequence < 16; ++sequence)
        EXPECT_EQ(gif.GetColorIndex(0, 0, rowOfSequence[sequence]), sequence) << "row " << rowOfSequence[sequence];
}

TEST(GifDecoder, FullTableWithoutClearMatchesImageMagick)
{
    const std::string file = Fixture("noclear.gif");
    ::TGif gif;
    Load(gif, ReadFileBytes(file));
    std::unique_ptr<TBitmap> mask;
    std::unique_ptr<TBitmap> strip = gif.GetStripBitmap(mask);
    std::string expected;
    ASSERT_EQ(RunCommand("convert '" + file + "' rgb:-", &expected), 0);
    EXPECT_EQ(CellRgb(*strip, 0, gif.GetWidth()) == expected, true);
}

// identify's names of the disposal methods.
int DisposalNumber(const std::string& name)
{
    const char* const names[] = {"Undefined", "None", "Background", "Previous"};
    for (int i = 0; i < 4; ++i)
        if (name == names[i])
            return i;
    return -1;
}

TEST(GifDecoder, StripCellsAndFramesMatchImageMagick)
{
    const std::string folder = ScratchFolder();
    for (const char* name : {"big", "il", "anim"}) {
        SCOPED_TRACE(name);
        const std::string file = Fixture(std::string(name) + ".gif");
        ::TGif gif;
        Load(gif, ReadFileBytes(file));
        std::unique_ptr<TBitmap> mask;
        std::unique_ptr<TBitmap> strip = gif.GetStripBitmap(mask);
        EXPECT_EQ(mask, nullptr);
        ASSERT_EQ(strip->Width(), gif.GetWidth() * gif.GetImageCount());

        const std::string prefix = folder + "/" + name;
        ASSERT_EQ(RunCommand("rm -f '" + prefix + "'_*.rgb && convert '" + file + "' -coalesce +adjoin 'rgb:" + prefix +
                             "_%d.rgb'"),
                  0);
        for (int cell = 0; cell < gif.GetImageCount(); ++cell)
            EXPECT_TRUE(CellRgb(*strip, cell, gif.GetWidth()) ==
                        ReadFileBytes(prefix + "_" + std::to_string(cell) + ".rgb"))
                << "cell " << cell;

        std::string listing;
        ASSERT_EQ(RunCommand("identify -format '%T %D %X %Y %w %h\\n' '" + file + "'", &listing), 0);
        std::istringstream lines(listing);
        int frame = 0;
        int delay = 0, left = 0, top = 0, width = 0, height = 0;
        std::string disposal;
        while (lines >> delay >> disposal >> left >> top >> width >> height) {
            ASSERT_LT(frame, gif.GetImageCount());
            EXPECT_EQ(gif.GetImageDelay(frame), delay > 0 ? delay : 1);
            EXPECT_EQ(gif.GetImageDisposal(frame), DisposalNumber(disposal));
            EXPECT_EQ(gif.GetImageLeft(frame), left);
            EXPECT_EQ(gif.GetImageTop(frame), top);
            EXPECT_EQ(gif.GetImageWidth(frame), width);
            EXPECT_EQ(gif.GetImageHeight(frame), height);
            ++frame;
        }
        EXPECT_EQ(frame, gif.GetImageCount());
    }
    ::TGif plain, interlaced;
    Load(plain, ReadFileBytes(Fixture("big.gif")));
    Load(interlaced, ReadFileBytes(Fixture("il.gif")));
    EXPECT_EQ(interlaced.GetImageDescriptor(0).Interlaced, 1);
    EXPECT_TRUE(plain.GetImageDescriptor(0).Pixels == interlaced.GetImageDescriptor(0).Pixels);
    ::TGif animated;
    Load(animated, ReadFileBytes(Fixture("anim.gif")));
    // ImageMagick writes "-loop 2" as the repeat count 1 (it adds the first play when reading).
    EXPECT_EQ(animated.FIterations, 1);
}

// Two colours on a 30 x 20 screen: frame 1 fills it with colour 1, frame 2 (8 x 6 at (10, 10))
// is colour 2.
TTestGif TwoFrames(int firstDisposal, int transparent)
{
    TTestGif picture{30, 20, {0x0000FF, 0x00FF00, 0xFF0000, 0xFFFFFF}, {}, 0};
    TTestGifFrame first{0, 0, 30, 20, std::vector<std::uint8_t>(600, 1), firstDisposal, 10, transparent, false, true};
    for (int x = 0; x < 5; ++x)
        first.Pixels[static_cast<std::size_t>(x)] = 0; // a transparent strip on the top row
    TTestGifFrame second{10, 10, 8, 6, std::vector<std::uint8_t>(48, 2), 0, 10, transparent, false, true};
    picture.Frames = {first, second};
    return picture;
}

TEST(GifDecoder, LaterFramesAreDrawnOverTheEarlierPicture)
{
    ::TGif gif;
    Load(gif, MakeGif(TwoFrames(0, -1)));
    std::unique_ptr<TBitmap> mask;
    std::unique_ptr<TBitmap> strip = gif.GetStripBitmap(mask);
    ASSERT_EQ(strip->Width(), 60);
    TCanvas* canvas = strip->Canvas();
    EXPECT_EQ(canvas->Pixels(12, 5), clLime) << "cell 1 is frame 1";
    EXPECT_EQ(canvas->Pixels(12, 12), clLime);
    EXPECT_EQ(canvas->Pixels(30 + 12, 5), clLime) << "cell 2 keeps frame 1 around frame 2";
    EXPECT_EQ(canvas->Pixels(30 + 10, 10), clBlue);
    EXPECT_EQ(canvas->Pixels(30 + 17, 15), clBlue);
    EXPECT_EQ(canvas->Pixels(30 + 18, 15), clLime);
    EXPECT_EQ(canvas->Pixels(30 + 17, 16), clLime);
    EXPECT_EQ(canvas->Pixels(30 + 2, 0), clRed) << "index 0 is red when not transparent";
}

TEST(GifDecoder, DisposalToBackgroundClearsTheFrameInTheNextMask)
{
    for (int disposal : {1, 2}) {
        SCOPED_TRACE(disposal);
        ::TGif gif;
        Load(gif, MakeGif(TwoFrames(disposal, 0)));
        std::unique_ptr<TBitmap> mask;
        std::unique_ptr<TBitmap> strip = gif.GetStripBitmap(mask);
        ASSERT_NE(mask, nullptr);
        TCanvas* m = mask->Canvas();
        EXPECT_EQ(m->Pixels(2, 0), clWhite) << "transparent pixels of frame 1";
        EXPECT_EQ(strip->Canvas()->Pixels(2, 0), clBlack);
        EXPECT_EQ(m->Pixels(12, 5), clBlack);
        const TColor restored = disposal == 2 ? clWhite : clBlack;
        EXPECT_EQ(m->Pixels(30 + 12, 5), restored);
        EXPECT_EQ(m->Pixels(30 + 29, 19), restored);
        EXPECT_EQ(m->Pixels(30 + 12, 12), clBlack) << "frame 2 is opaque";
        EXPECT_EQ(m->Pixels(30 + 2, 0), clWhite);
    }
}

TEST(GifDecoder, FrameInformationDefaultsAndLoopCount)
{
    TTestGif picture = TwoFrames(3, -1);
    picture.Frames[0].Delay = 0;
    picture.Frames[1].GraphicControl = false;
    picture.Loops = 0;
    ::TGif gif;
    Load(gif, MakeGif(picture));
    EXPECT_EQ(gif.GetImageDelay(0), 1);
    EXPECT_EQ(gif.GetImageDisposal(0), 3);
    EXPECT_EQ(gif.GetImageDelay(1), 1);
    EXPECT_EQ(gif.GetImageDisposal(1), 0);
    EXPECT_EQ(gif.GetTransparentIndex(1), -1);
    EXPECT_FALSE(gif.GetTransparent());
    EXPECT_EQ(gif.FIterations, 0);
    EXPECT_EQ(gif.GetImageLeft(1), 10);
    EXPECT_THROW(gif.GetImageLeft(2), EInvalidGraphicOperation);
    EXPECT_THROW(gif.GetColorIndex(1, 8, 0), EInvalidGraphicOperation);
    EXPECT_EQ(::TGif::FindColorIndex(0xFF0000, gif.GetColorTable(0)), 2);
    EXPECT_EQ(::TGif::FindColorIndex(0x123456, gif.GetColorTable(0)), -1);
}

TEST(GifDecoder, HugeClaimsFailBeforeAllocating)
{
    // A 65535 x 65535 screen with 1000 one-pixel frames.
    TTestGif picture{65535, 65535, {0, 0xFFFFFF}, {}, -1};
    for (int i = 0; i < 1000; ++i)
        picture.Frames.push_back({0, 0, 1, 1, {1}, 0, 0, -1, false, false});
    // A 65535 x 65535 frame on a small screen, and frames of 4000 x 4000 adding up.
    TTestGif bigFrame{10, 10, {0, 0xFFFFFF}, {{0, 0, 65535, 65535, {1}, 0, 0, -1, false, false}}, -1};
    TTestGif manyFrames{1, 1, {0, 0xFFFFFF}, {}, -1};
    for (int i = 0; i < 20; ++i)
        manyFrames.Frames.push_back({0, 0, 4000, 4000, {1}, 0, 0, -1, false, false});
    for (const TTestGif* gif : {&picture, &bigFrame, &manyFrames}) {
        ::TGif decoder;
        try {
            Load(decoder, MakeGif(*gif));
            ADD_FAILURE() << "loaded";
        } catch (const EInvalidGraphicOperation& error) {
            EXPECT_EQ(error.Message, "TGif: Value Out Of Range");
        }
    }
}

TEST(GifDecoder, EmptyFramesAndColourIndexesPastTheTable)
{
    // A frame of 0 pixels, then a frame whose index 3 lies past the 2-entry table: black.
    TTestGif picture{2, 1, {0xFFFFFF, 0xFFFFFF}, {}, -1};
    picture.Frames.push_back({0, 0, 0, 0, {}, 0, 0, -1, false, false});
    picture.Frames.push_back({0, 0, 2, 1, {3, 0}, 0, 0, -1, false, false});
    ::TGif gif;
    Load(gif, MakeGif(picture));
    ASSERT_EQ(gif.GetImageCount(), 2);
    EXPECT_EQ(gif.GetImageDescriptor(0).PixelCount, 0);
    std::unique_ptr<TBitmap> mask;
    std::unique_ptr<TBitmap> strip = gif.GetStripBitmap(mask);
    EXPECT_EQ(strip->Canvas()->Pixels(2, 0), clBlack);
    EXPECT_EQ(strip->Canvas()->Pixels(3, 0), clWhite);
}

} // namespace
