// Bitmaps: DIB layouts, conversions, transparency and the BMP codec against Python and Qt.

#include "platform/gui/Bitmap.h"
#include "platform/gui/GdiDraw.h"
#include "platform/rtl/Streams.h"

#include <QByteArray>
#include <QImage>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include <unistd.h>

namespace {

using Bytes = std::vector<std::uint8_t>;

void Put16(Bytes& b, unsigned v)
{
    b.push_back(static_cast<std::uint8_t>(v));
    b.push_back(static_cast<std::uint8_t>(v >> 8));
}
void Put32(Bytes& b, unsigned v)
{
    Put16(b, v & 0xFFFF);
    Put16(b, v >> 16);
}

// A BMP file from an info header's fields, a palette (B, G, R, 0 each) and the pixel bytes.
Bytes Bmp(int width, int height, int bits, unsigned compression, const Bytes& palette, const Bytes& pixels,
          unsigned used = 0, const Bytes& masks = {})
{
    Bytes b{'B', 'M'};
    const unsigned offset = 14 + 40 + static_cast<unsigned>(masks.size() + palette.size());
    Put32(b, offset + static_cast<unsigned>(pixels.size()));
    Put32(b, 0);
    Put32(b, offset);
    Put32(b, 40);
    Put32(b, static_cast<unsigned>(width));
    Put32(b, static_cast<unsigned>(height));
    Put16(b, 1);
    Put16(b, static_cast<unsigned>(bits));
    Put32(b, compression);
    Put32(b, static_cast<unsigned>(pixels.size()));
    Put32(b, 0);
    Put32(b, 0);
    Put32(b, used);
    Put32(b, 0);
    b.insert(b.end(), masks.begin(), masks.end());
    b.insert(b.end(), palette.begin(), palette.end());
    b.insert(b.end(), pixels.begin(), pixels.end());
    return b;
}

void Load(TBitmap& bitmap, const Bytes& bytes)
{
    TMemoryStream stream;
    stream.WriteBuffer(bytes.data(), static_cast<int>(bytes.size()));
    stream.SetPosition(0);
    bitmap.LoadFromStream(stream);
}

Bytes Save(TBitmap& bitmap)
{
    TMemoryStream stream;
    bitmap.SaveToStream(stream);
    return Bytes(stream.Memory(), stream.Memory() + stream.Size());
}

TColor Pixel(TBitmap& bitmap, int x, int y) { return bitmap.Canvas()->Pixels(x, y); }

TEST(BmpCodec, TwoPixelsWriteTheExactBytes)
{
    TBitmap bitmap;
    bitmap.SetPixelFormat(pf24bit);
    bitmap.SetSize(2, 1);
    bitmap.Canvas()->SetPixels(0, 0, clRed);
    bitmap.Canvas()->SetPixels(1, 0, clBlue);
    const Bytes expected = {0x42, 0x4D, 0x3E, 0, 0, 0, 0, 0, 0, 0, 0x36, 0, 0, 0, 0x28, 0, 0, 0, 2, 0, 0, 0,
                            1, 0, 0, 0, 1, 0, 0x18, 0, 0, 0, 0, 0, 8, 0, 0, 0, 0, 0, 0, 0, 0, 0,
                            0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0xFF, 0xFF, 0, 0, 0, 0};
    EXPECT_EQ(Save(bitmap), expected);
}

TColor TestColor(TPixelFormat format, int x, int y)
{
    if (format == pf1bit)
        return (x * 3 + y) % 5 < 2 ? clBlack : clWhite;
    static const TColor colors[8] = {clBlack, clRed, clLime, clBlue, clYellow, clFuchsia, clAqua, clWhite};
    return colors[(x + 2 * y) % 8];
}

TEST(BmpCodec, RoundTripsOfEveryDepth)
{
    const struct {
        TPixelFormat Format;
        int Bits;
    } formats[] = {{pf1bit, 1}, {pf4bit, 4}, {pf8bit, 8}, {pf15bit, 16}, {pf16bit, 16}, {pf24bit, 24}, {pf32bit, 32}};
    const std::filesystem::path folder = std::filesystem::temp_directory_path() / ("gui2-bmp-" + std::to_string(::getpid()));
    std::filesystem::create_directories(folder);
    for (const auto& f : formats) {
        TBitmap bitmap;
        bitmap.SetSize(13, 7);
        for (int y = 0; y < 7; ++y)
            for (int x = 0; x < 13; ++x)
                bitmap.Canvas()->SetPixels(x, y, TestColor(f.Format, x, y));
        bitmap.SetPixelFormat(f.Format);
        const Bytes bytes = Save(bitmap);
        TBitmap back;
        Load(back, bytes);
        EXPECT_EQ(back.PixelFormat(), f.Format);
        const QImage peer = QImage::fromData(QByteArray(reinterpret_cast<const char*>(bytes.data()),
                                                        static_cast<qsizetype>(bytes.size())), "BMP");
        ASSERT_FALSE(peer.isNull()) << f.Bits;
        for (int y = 0; y < 7; ++y)
            for (int x = 0; x < 13; ++x) {
                const COLORREF expected = ColorToRGB(TestColor(f.Format, x, y));
                EXPECT_EQ(static_cast<COLORREF>(Pixel(back, x, y)), expected) << f.Format << " " << x << "," << y;
                // Qt widens 5- and 6-bit channels by shifting alone: allow that much.
                const QRgb q = peer.pixel(x, y);
                const int slack = f.Bits == 16 ? 7 : 0;
                EXPECT_NEAR(qRed(q), GetRValue(expected), slack) << "Qt " << f.Format;
                EXPECT_NEAR(qGreen(q), GetGValue(expected), slack) << "Qt " << f.Format;
                EXPECT_NEAR(qBlue(q), GetBValue(expected), slack) << "Qt " << f.Format;
            }
        std::ofstream(folder / ("depth" + std::to_string(static_cast<int>(f.Format)) + ".bmp"), std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    }
    // An independent reading of the headers, the padding and the corner pixels.
    const std::string script = R"PY(
import struct, sys, glob
for name in sorted(glob.glob(sys.argv[1] + '/depth*.bmp')):
    data = open(name, 'rb').read()
    sig, size, r1, r2, offset = struct.unpack_from('<2sIHHI', data, 0)
    hs, w, h, planes, bits, comp, isize, xp, yp, used, imp = struct.unpack_from('<IiiHHIIiiII', data, 14)
    assert sig == b'BM' and size == len(data) and r1 == 0 and r2 == 0, name
    assert hs == 40 and w == 13 and h == 7 and planes == 1 and xp == 0 and yp == 0 and imp == 0, name
    pal = used if bits <= 8 else 0
    assert used == ((1 << bits) if bits == 1 else used) and (bits > 8 or 0 < used <= (1 << bits)), name
    assert offset == 14 + 40 + 4 * pal + (12 if comp == 3 else 0), name
    assert comp == (3 if (bits == 16 and comp == 3) else 0), name
    if comp == 3:
        assert struct.unpack_from('<III', data, 54) == (0xF800, 0x07E0, 0x001F), name
    row = ((w * bits + 31) // 32) * 4
    assert isize == row * h and len(data) == offset + row * h, name
    used_bytes = (w * bits + 7) // 8
    for y in range(h):
        pad = data[offset + y * row + used_bytes: offset + (y + 1) * row]
        assert all(b == 0 for b in pad), name
    # Every pixel against the test picture: the channels of its colours are all 0 or all 1.
    palette = [struct.unpack_from('<BBB', data, 54 + 4 * i)[::-1] for i in range(pal)]
    colors = [(0, 0, 0), (1, 0, 0), (0, 1, 0), (0, 0, 1), (1, 1, 0), (1, 0, 1), (0, 1, 1), (1, 1, 1)]
    for y in range(h):
        line = data[offset + (h - 1 - y) * row: offset + (h - y) * row]
        for x in range(w):
            if bits <= 8:
                per = 8 // bits
                index = (line[x // per] >> (8 - bits * (x % per + 1))) & ((1 << bits) - 1)
                rgb = palette[index]
            elif bits == 16:
                word = struct.unpack_from('<H', line, 2 * x)[0]
                rgb = ((word >> 11) & 31, (word >> 5) & 63, word & 31) if comp == 3 else \
                      ((word >> 10) & 31, (word >> 5) & 31, word & 31)
            else:
                b, g, r = line[x * (bits // 8): x * (bits // 8) + 3]
                rgb = (r, g, b)
            flags = tuple(1 if c else 0 for c in rgb)
            if bits == 1:
                expected = (0, 0, 0) if (x * 3 + y) % 5 < 2 else (1, 1, 1)
            else:
                expected = colors[(x + 2 * y) % 8]
            assert flags == expected, (name, x, y, rgb)
print('ok')
)PY";
    const std::filesystem::path scriptFile = folder / "check.py";
    std::ofstream(scriptFile) << script;
    const std::string command = "python3 " + scriptFile.string() + " " + folder.string() + " > " +
                                (folder / "out.txt").string() + " 2>&1";
    EXPECT_EQ(std::system(command.c_str()), 0);
    std::ifstream out(folder / "out.txt");
    std::string answer((std::istreambuf_iterator<char>(out)), {});
    EXPECT_EQ(answer, "ok\n");
    std::filesystem::remove_all(folder);
}

TEST(BmpCodec, ReadsCompressedOs2TopDownAndBitFieldFiles)
{
    const Bytes palette = {0, 0, 0, 0, 0, 0, 255, 0, 255, 0, 0, 0}; // black, red, blue
    {
        // RLE8 4 x 2: bottom row four blues, top row two blacks and two reds.
        const Bytes rle = {4, 2, 0, 0, 2, 0, 2, 1, 0, 1};
        const Bytes file = Bmp(4, 2, 8, BI_RLE8, palette, rle, 3);
        TBitmap bitmap;
        Load(bitmap, file);
        EXPECT_EQ(Pixel(bitmap, 0, 0), clBlack);
        EXPECT_EQ(Pixel(bitmap, 2, 0), clRed);
        EXPECT_EQ(Pixel(bitmap, 3, 1), clBlue);
        EXPECT_EQ(Save(bitmap), file) << "unchanged bitmaps write their own bytes";
        bitmap.Canvas()->SetPixels(0, 0, clRed);
        const Bytes changed = Save(bitmap);
        TBitmap back;
        Load(back, changed);
        EXPECT_EQ(changed[30], BI_RGB);
        EXPECT_EQ(changed[28], 8);
        EXPECT_EQ(Pixel(back, 0, 0), clRed);
        EXPECT_EQ(Pixel(back, 3, 1), clBlue);
    }
    {
        const Bytes rle4 = {4, 0x12, 0, 1};
        TBitmap bitmap;
        Load(bitmap, Bmp(4, 1, 4, BI_RLE4, palette, rle4, 3));
        EXPECT_EQ(Pixel(bitmap, 0, 0), clRed);
        EXPECT_EQ(Pixel(bitmap, 1, 0), clBlue);
        EXPECT_EQ(Pixel(bitmap, 2, 0), clRed);
    }
    {
        Bytes os2{'B', 'M'};
        Put32(os2, 14 + 12 + 8);
        Put32(os2, 0);
        Put32(os2, 26);
        Put32(os2, 12);
        Put16(os2, 2);
        Put16(os2, 1);
        Put16(os2, 1);
        Put16(os2, 24);
        for (std::uint8_t b : {0, 0, 255, 0, 255, 0, 0, 0})
            os2.push_back(b);
        TBitmap bitmap;
        Load(bitmap, os2);
        EXPECT_EQ(Pixel(bitmap, 0, 0), clRed);
        EXPECT_EQ(Pixel(bitmap, 1, 0), clLime);
        EXPECT_EQ(Save(bitmap), os2);
    }
    for (unsigned header : {108u, 124u}) {
        // V4 and V5 headers: the info fields of the 40-byte header, then masks, colour space and
        // (V5) the profile fields, which the reader passes over.
        Bytes file{'B', 'M'};
        Put32(file, 14 + header + 4);
        Put32(file, 0);
        Put32(file, 14 + header);
        Put32(file, header);
        Put32(file, 1);
        Put32(file, 1);
        Put16(file, 1);
        Put16(file, 24);
        Put32(file, BI_RGB);
        Put32(file, 4);
        file.resize(14 + header, 0);
        for (std::uint8_t b : {0, 0, 255, 0}) // one red pixel and its padding
            file.push_back(b);
        TBitmap bitmap;
        Load(bitmap, file);
        EXPECT_EQ(Pixel(bitmap, 0, 0), clRed) << header;
    }
    {
        const Bytes rows = {0, 0, 255, 0, 255, 0, 0, 0}; // top red, then blue
        TBitmap bitmap;
        Load(bitmap, Bmp(1, -2, 24, BI_RGB, {}, rows));
        EXPECT_EQ(Pixel(bitmap, 0, 0), clRed);
        EXPECT_EQ(Pixel(bitmap, 0, 1), clBlue);
    }
    {
        Bytes masks;
        Put32(masks, 0xF800);
        Put32(masks, 0x07E0);
        Put32(masks, 0x001F);
        const Bytes rows = {0x00, 0xF8, 0x1F, 0x00};
        TBitmap bitmap;
        Load(bitmap, Bmp(2, 1, 16, BI_BITFIELDS, {}, rows, 0, masks));
        EXPECT_EQ(bitmap.PixelFormat(), pf16bit);
        EXPECT_EQ(Pixel(bitmap, 0, 0), clRed);
        EXPECT_EQ(Pixel(bitmap, 1, 0), clBlue);
    }
}

TEST(BmpCodec, RefusesMalformedFiles)
{
    const Bytes good = Bmp(2, 1, 24, BI_RGB, {}, {0, 0, 255, 255, 0, 0, 0, 0});
    auto with = [&](std::size_t at, std::initializer_list<std::uint8_t> bytes) {
        Bytes b = good;
        std::copy(bytes.begin(), bytes.end(), b.begin() + static_cast<std::ptrdiff_t>(at));
        return b;
    };
    const std::vector<Bytes> bad = {
        with(0, {'B', 'X'}),             // signature
        with(14, {20}),                  // header size
        with(18, {0, 0, 0, 0}),          // width 0
        with(18, {0, 0x80, 0, 0}),       // width beyond the limit
        with(28, {7}),                   // bit count
        with(10, {0xFF, 0xFF, 0, 0}),    // data offset outside the file
        Bytes(good.begin(), good.end() - 4),          // fewer pixel bytes than the rows need
        Bmp(2, 1, 8, BI_RGB, Bytes(4 * 300, 0), {0, 0, 0, 0}, 300), // too many palette entries
        Bmp(2, 1, 8, BI_RLE8, Bytes(8, 0), {5, 1, 0, 1}, 2),       // a run past the row
        with(22, {0, 0, 0, 0}),                                     // height 0
        with(22, {0, 0x80, 0, 0}),                                  // height beyond the limit
        // 16383 x 16383 x 32 bits (a gigabyte) claimed over eight bytes: refused before allocating.
        Bmp(16383, 16383, 32, BI_RGB, {}, Bytes(8, 0)),
        Bmp(2, 2, 8, BI_RLE8, Bytes(8, 0), {0, 2, 0, 5, 0, 1}, 2),  // a delta past the image
        Bmp(2, 1, 8, BI_RLE8, Bytes(8, 0), {2, 1, 0, 0, 2, 1, 0, 1}, 2), // a row past the image
        Bmp(2, 1, 8, BI_RLE8, Bytes(8, 0), {2, 1}, 2),               // codes ending without an end
    };
    for (std::size_t i = 0; i < bad.size(); ++i) {
        TBitmap bitmap;
        bitmap.SetSize(3, 3);
        try {
            Load(bitmap, bad[i]);
            ADD_FAILURE() << "case " << i;
        } catch (const EInvalidGraphic& e) {
            EXPECT_EQ(e.Message, "Bitmap image is not valid");
        }
        EXPECT_EQ(bitmap.Width(), 3) << i;
    }
    TBitmap big;
    EXPECT_THROW(big.SetSize(40000, 1), EOutOfResources);
    EXPECT_THROW(big.SetSize(20000, 20000), EOutOfResources);
    EXPECT_TRUE(big.Empty());
}

TEST(BitmapLayout, LoadFromDibTakesTheRowsAsTheyAre)
{
    TDibImage dib;
    dib.Width = 3;
    dib.Height = 2;
    dib.Bits = 24;
    dib.Rows.assign(static_cast<std::size_t>(dib.RowSize()) * 2, 0);
    dib.Row(0)[2] = 0xFF;              // (0, 0) red
    dib.Row(1)[3 * 2] = 0xFF;          // (2, 1) blue
    TBitmap bitmap;
    bitmap.LoadFromDib(dib);
    EXPECT_EQ(bitmap.PixelFormat(), pf24bit);
    EXPECT_EQ(bitmap.Canvas()->Pixels(0, 0), clRed);
    EXPECT_EQ(bitmap.Canvas()->Pixels(2, 1), clBlue);
    EXPECT_EQ(bitmap.Canvas()->Pixels(1, 1), clBlack);

    TDibImage mono{8, 1, 1, {0x000000, 0xFFFFFF}, {0x81, 0, 0, 0}};
    TBitmap mask;
    mask.LoadFromDib(mono);
    EXPECT_TRUE(mask.Monochrome());
    EXPECT_EQ(mask.Canvas()->Pixels(0, 0), clWhite);
    EXPECT_EQ(mask.Canvas()->Pixels(1, 0), clBlack);
    EXPECT_EQ(mask.Canvas()->Pixels(7, 0), clWhite);

    TDibImage shortRows = dib;
    shortRows.Rows.pop_back();
    EXPECT_THROW(bitmap.LoadFromDib(shortRows), EInvalidGraphic);
    TDibImage oddDepth = dib;
    oddDepth.Bits = 7;
    EXPECT_THROW(bitmap.LoadFromDib(oddDepth), EInvalidGraphic);
    EXPECT_EQ(bitmap.Width(), 3) << "a refused DIB leaves the bitmap as it was";
}

TEST(BitmapLayout, ScanLinesFollowTheDibLayout)
{
    TBitmap bitmap;
    bitmap.SetPixelFormat(pf24bit);
    bitmap.SetSize(3, 2);
    bitmap.Canvas()->SetPixels(0, 0, static_cast<TColor>(RGB(1, 2, 3)));
    const std::uint8_t* row = bitmap.ScanLine(0);
    EXPECT_EQ(row[0], 3);
    EXPECT_EQ(row[1], 2);
    EXPECT_EQ(row[2], 1);
    bitmap.ScanLine(1)[3] = 255; // the second pixel of the bottom row becomes blue
    bitmap.ScanLine(1)[4] = 0;
    bitmap.ScanLine(1)[5] = 0;
    EXPECT_EQ(Pixel(bitmap, 1, 1), clBlue);

    TBitmap mono;
    mono.SetSize(10, 1);
    mono.Canvas()->Brush()->SetColor(clBlack);
    mono.Canvas()->FillRect(Rect(0, 0, 10, 1));
    mono.Canvas()->SetPixels(0, 0, clWhite);
    mono.SetPixelFormat(pf1bit);
    EXPECT_EQ(mono.ScanLine(0)[0], 0x80);

    TBitmap indexed;
    indexed.SetSize(2, 1);
    indexed.Canvas()->SetPixels(0, 0, clRed);
    indexed.Canvas()->SetPixels(1, 0, clBlue);
    indexed.SetPixelFormat(pf8bit);
    EXPECT_EQ(indexed.ScanLine(0)[0], 0);
    EXPECT_EQ(indexed.ScanLine(0)[1], 1);
    EXPECT_EQ(indexed.PaletteColors(), (std::vector<COLORREF>{ColorToRGB(clRed), ColorToRGB(clBlue)}));
}

TEST(BitmapLayout, EightBitConversions)
{
    TBitmap few;
    few.SetSize(10, 1);
    for (int x = 0; x < 10; ++x)
        few.Canvas()->SetPixels(x, 0, static_cast<TColor>(RGB(x * 20, 255 - x, 7)));
    few.SetPixelFormat(pf8bit);
    ASSERT_EQ(few.PaletteColors().size(), 10u);
    for (int x = 0; x < 10; ++x) {
        EXPECT_EQ(few.PaletteColors()[static_cast<std::size_t>(x)], RGB(x * 20, 255 - x, 7));
        EXPECT_EQ(static_cast<COLORREF>(Pixel(few, x, 0)), RGB(x * 20, 255 - x, 7));
    }

    TBitmap many;
    many.SetSize(300, 2);
    for (int x = 0; x < 300; ++x)
        many.Canvas()->SetPixels(x, 1, static_cast<TColor>(RGB(x % 256, x / 256, 99)));
    const struct {
        COLORREF Color, Expected;
    } probes[] = {
        {RGB(10, 10, 10), RGB(8, 8, 8)},       {RGB(250, 0, 0), RGB(255, 0, 0)},
        {RGB(100, 100, 100), RGB(102, 102, 102)}, {RGB(128, 0, 0), RGB(128, 0, 0)},
        {RGB(200, 150, 50), RGB(204, 153, 51)},
    };
    for (int i = 0; i < 5; ++i)
        many.Canvas()->SetPixels(i, 0, static_cast<TColor>(probes[i].Color));
    many.SetPixelFormat(pf8bit);
    EXPECT_EQ(many.PaletteColors(), HalftonePalette());
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(static_cast<COLORREF>(Pixel(many, i, 0)), probes[i].Expected) << i;
}

TEST(BitmapTransparency, AutoColourDrawMaskAndMonochrome)
{
    TBitmap glyph;
    glyph.SetSize(16, 16);
    glyph.Canvas()->Brush()->SetColor(clFuchsia);
    glyph.Canvas()->FillRect(Rect(0, 0, 16, 16));
    glyph.Canvas()->Brush()->SetColor(clBlack);
    glyph.Canvas()->FillRect(Rect(4, 4, 12, 12));
    EXPECT_EQ(glyph.TransparentColor(), clFuchsia);
    glyph.SetTransparent(true);

    TBitmap target;
    target.SetSize(20, 20);
    target.Canvas()->Brush()->SetColor(clRed);
    target.Canvas()->FillRect(Rect(0, 0, 20, 20));
    target.Canvas()->Draw(2, 2, &glyph);
    EXPECT_EQ(Pixel(target, 2, 2), clRed);
    EXPECT_EQ(Pixel(target, 6, 6), clBlack);
    EXPECT_EQ(Pixel(target, 17, 17), clRed);

    TBitmap mask;
    mask.Assign(&glyph);
    mask.Mask(clFuchsia);
    EXPECT_TRUE(mask.Monochrome());
    EXPECT_EQ(Pixel(mask, 0, 0), clWhite);
    EXPECT_EQ(Pixel(mask, 5, 5), clBlack);
    EXPECT_EQ(Pixel(glyph, 0, 0), clFuchsia) << "the copy changed alone";

    TBitmap face;
    face.SetSize(2, 1);
    face.Canvas()->SetPixels(0, 0, clBtnFace);
    face.Canvas()->SetPixels(1, 0, clNavy);
    face.Canvas()->Brush()->SetColor(clBtnFace);
    face.SetMonochrome(true);
    EXPECT_EQ(Pixel(face, 0, 0), clWhite);
    EXPECT_EQ(Pixel(face, 1, 0), clBlack);
}

} // namespace
