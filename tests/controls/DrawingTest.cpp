// The drawing half of the window utilities on bitmaps read back pixel by pixel: cells, gradients,
// embossed and transparent images, shading, patterns, icons, turned fonts and text fitting.

#include "ControlsTestSupport.h"

#include "controls/VCLUtils.h"
#include "platform/gui/GdiDraw.h"
#include "platform/gui/TextOutput.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>

namespace DrawingTest {

TColor PixelAt(TBitmap& bitmap, int x, int y) { return bitmap.Canvas()->Pixels(x, y); }

void Fill(TBitmap& bitmap, const TRect& rect, TColor color)
{
    bitmap.Canvas()->Brush()->SetStyle(bsSolid);
    bitmap.Canvas()->Brush()->SetColor(color);
    bitmap.Canvas()->FillRect(rect);
}

// Every pixel checked against the colour expected there.
void ExpectPixels(TBitmap& bitmap, const std::function<TColor(int x, int y)>& expected, const std::string& what)
{
    for (int y = 0; y < bitmap.Height(); ++y)
        for (int x = 0; x < bitmap.Width(); ++x)
            ASSERT_EQ(PixelAt(bitmap, x, y), expected(x, y)) << what << " at " << x << "," << y;
}

// A 40 x 20 strip of 4 x 2 cells of 10 x 10, each of its own colour, with a mark in its corner.
TColor CellColor(int column, int row) { return static_cast<TColor>(RGB(30 * column + 10, 100 * row + 20, 77)); }

void MakeCellStrip(TBitmap& strip)
{
    strip.SetSize(40, 20);
    for (int row = 0; row < 2; ++row)
        for (int column = 0; column < 4; ++column) {
            Fill(strip, Bounds(column * 10, row * 10, 10, 10), CellColor(column, row));
            strip.Canvas()->SetPixels(column * 10, row * 10, clWhite);
        }
}

TEST(BitmapCells, IndexFiveOfFourColumnsIsColumnOneOfRowOne)
{
    TBitmap strip;
    MakeCellStrip(strip);
    strip.SetTransparentColor(clFuchsia);
    strip.SetTransparent(true);
    TBitmap cell;
    AssignBitmapCell(&strip, &cell, 4, 2, 5);
    ASSERT_EQ(cell.Width(), 10);
    ASSERT_EQ(cell.Height(), 10);
    ExpectPixels(
        cell, [](int x, int y) { return x == 0 && y == 0 ? clWhite : CellColor(1, 1); }, "cell 5");
    EXPECT_EQ(cell.TransparentColor(), clFuchsia);
    EXPECT_TRUE(cell.Transparent());
}

TEST(BitmapCells, BadCountsAndIndexesAreClampedAndNeverReadOutside)
{
    TBitmap strip;
    MakeCellStrip(strip);
    struct TCase {
        int Cols, Rows, Index, Width, Height;
        TColor Inside; // the colour at (5, 5) of the cell, clNone when not checked
    };
    const TCase cases[] = {
        {0, 0, 0, 40, 20, CellColor(0, 0)},   // counts below 1 become 1: the whole strip
        {4, 2, -3, 10, 10, CellColor(0, 0)},  // a negative index is the first cell
        {4, 0, 2, 10, 20, CellColor(2, 0)},   // rows 0: one row of the full height
        {4, 2, 11, 10, 10, clNone},           // beyond the strip: sized, nothing read outside
        {80, 40, 1, 0, 0, clNone},            // cells smaller than a pixel
    };
    for (const TCase& c : cases) {
        TBitmap cell;
        AssignBitmapCell(&strip, &cell, c.Cols, c.Rows, c.Index);
        EXPECT_EQ(cell.Width(), c.Width) << c.Cols << "x" << c.Rows << " #" << c.Index;
        EXPECT_EQ(cell.Height(), c.Height) << c.Cols << "x" << c.Rows << " #" << c.Index;
        if (c.Inside != clNone) {
            EXPECT_EQ(PixelAt(cell, 5, 5), c.Inside) << c.Cols << "x" << c.Rows << " #" << c.Index;
        }
    }
    TBitmap empty, cell;
    AssignBitmapCell(&empty, &cell, 4, 2, 5);
    EXPECT_TRUE(cell.Empty());
    AssignBitmapCell(nullptr, &cell, 4, 2, 5);
    AssignBitmapCell(&strip, nullptr, 4, 2, 5);
}

TEST(BitmapCells, AnIconCellIsDrawnOverSilver)
{
    TBitmap square;
    square.SetSize(16, 16);
    Fill(square, Rect(0, 0, 16, 16), clLime);
    Fill(square, Rect(4, 4, 12, 12), clRed);
    auto icon = CreateIconFromBitmap(&square, clLime);
    TBitmap cell;
    AssignBitmapCell(icon.get(), &cell, 2, 2, 3);
    ASSERT_EQ(cell.Width(), 8);
    // Cell 3 is the bottom-right quarter: the red square's corner and silver where the icon is clear.
    EXPECT_EQ(PixelAt(cell, 1, 1), clRed);
    EXPECT_EQ(PixelAt(cell, 6, 6), clSilver);
    EXPECT_TRUE(cell.Transparent());
}

COLORREF Mix(COLORREF base, COLORREF other, int i, int steps)
{
    const auto channel = [&](int shift) {
        const int b = (base >> shift) & 0xFF;
        const int o = (other >> shift) & 0xFF;
        return static_cast<COLORREF>((b + MulDiv(i, o - b, steps - 1)) & 0xFF) << shift;
    };
    return channel(0) | channel(8) | channel(16);
}

TEST(Gradients, FourColoursOverTenRowsAndTheirReverse)
{
    const COLORREF start = RGB(0, 30, 200);
    const COLORREF end = RGB(90, 120, 20);
    struct TCase {
        TFillDirection Direction;
        COLORREF Base, Other, Leftover;
    };
    const TCase cases[] = {{fdTopToBottom, start, end, end},
                           {fdBottomToTop, end, start, start},
                           {fdLeftToRight, start, end, end},
                           {fdRightToLeft, end, start, start}};
    for (const TCase& c : cases) {
        const bool vertical = c.Direction == fdTopToBottom || c.Direction == fdBottomToTop;
        TBitmap bitmap;
        bitmap.SetSize(vertical ? 3 : 12, vertical ? 12 : 3);
        Fill(bitmap, Rect(0, 0, bitmap.Width(), bitmap.Height()), clFuchsia);
        const TRect area = vertical ? Rect(0, 1, 3, 11) : Rect(1, 0, 11, 3);
        GradientFillRect(bitmap.Canvas(), area, static_cast<TColor>(start), static_cast<TColor>(end), c.Direction, 4);
        for (int step = 0; step < 10; ++step) {
            const COLORREF expected = step < 8 ? Mix(c.Base, c.Other, step / 2, 4) : c.Leftover;
            const int x = vertical ? 1 : step + 1;
            const int y = vertical ? step + 1 : 1;
            EXPECT_EQ(static_cast<COLORREF>(PixelAt(bitmap, x, y)), expected) << c.Direction << " step " << step;
        }
        EXPECT_EQ(PixelAt(bitmap, 0, 0), vertical ? clFuchsia : PixelAt(bitmap, 0, 0)) << "outside stays";
        EXPECT_EQ(PixelAt(bitmap, vertical ? 1 : 11, vertical ? 11 : 1), clFuchsia) << "outside stays";
    }
    // One colour fills with the start colour; an empty rectangle draws nothing.
    TBitmap bitmap;
    bitmap.SetSize(4, 4);
    Fill(bitmap, Rect(0, 0, 4, 4), clFuchsia);
    GradientFillRect(bitmap.Canvas(), Rect(0, 0, 4, 2), clRed, clBlue, fdTopToBottom, 1);
    GradientFillRect(bitmap.Canvas(), Rect(0, 3, 4, 3), clRed, clBlue, fdTopToBottom, 4);
    EXPECT_EQ(PixelAt(bitmap, 2, 1), clRed);
    EXPECT_EQ(PixelAt(bitmap, 2, 3), clFuchsia);
}

TEST(DisabledImages, TheOutlineIsEngravedWithItsHighlightBelowRight)
{
    TBitmap glyph;
    glyph.SetSize(8, 8);
    Fill(glyph, Rect(0, 0, 8, 8), clWhite);
    Fill(glyph, Rect(3, 0, 4, 8), clBlack);
    const TColor back = clSilver, highlight = clYellow, shadow = clNavy;
    auto disabled = CreateDisabledBitmapEx(&glyph, clBlack, back, highlight, shadow, true);
    ExpectPixels(
        *disabled,
        [&](int x, int y) { return x == 3 ? shadow : x == 4 && y >= 1 ? highlight : back; }, "with highlight");

    auto flat = CreateDisabledBitmapEx(&glyph, clBlack, back, highlight, shadow, false);
    ExpectPixels(
        *flat, [&](int x, int) { return x == 3 ? shadow : back; }, "without highlight");

    auto classic = CreateDisabledBitmap(&glyph, clBlack);
    EXPECT_EQ(static_cast<COLORREF>(PixelAt(*classic, 3, 3)), ColorToRGB(clBtnShadow));
    EXPECT_EQ(static_cast<COLORREF>(PixelAt(*classic, 4, 3)), ColorToRGB(clBtnHighlight));
    EXPECT_EQ(static_cast<COLORREF>(PixelAt(*classic, 6, 3)), ColorToRGB(clBtnFace));

    TBitmap empty;
    EXPECT_TRUE(CreateDisabledBitmapEx(&empty, clBlack, back, highlight, shadow, true)->Empty());
}

TEST(DisabledImages, AnImageListImageIsDrawnGreyWhereItIsOpaque)
{
    TImageList list(6, 6);
    TBitmap image;
    image.SetSize(6, 6);
    Fill(image, Rect(0, 0, 6, 6), clLime);
    Fill(image, Rect(1, 1, 3, 5), clRed);
    list.AddMasked(&image, clLime);
    TBitmap target;
    target.SetSize(10, 10);
    Fill(target, Rect(0, 0, 10, 10), clWhite);
    target.Canvas()->Brush()->SetColor(clAqua);
    ImageListDrawDisabled(&list, target.Canvas(), 2, 2, 0, clYellow, clGray, true);
    EXPECT_EQ(target.Canvas()->Brush()->Color(), clAqua) << "the brush is put back";
    ExpectPixels(
        target,
        [](int x, int y) {
            if (x >= 3 && x < 5 && y >= 3 && y < 7)
                return clGray;
            if (x >= 4 && x < 6 && y >= 4 && y < 8)
                return clYellow;
            return clWhite;
        },
        "disabled image");
}

TEST(Patterns, CheckerboardAndShadeFollowTheirBits)
{
    auto pattern = CreateTwoColorsBrushPattern(clRed, clBlue);
    ASSERT_EQ(pattern->Width(), 8);
    ExpectPixels(
        *pattern, [](int x, int y) { return x % 2 == y % 2 ? clBlue : clRed; }, "checkerboard");

    TBitmap bitmap;
    bitmap.SetSize(20, 12);
    Fill(bitmap, Rect(0, 0, 20, 12), clWhite);
    ShadeRect(bitmap.Canvas()->Handle(), Rect(0, 0, 16, 12));
    static const int rows[8] = {0x11, 0x22, 0x44, 0x88, 0x11, 0x22, 0x44, 0x88};
    ExpectPixels(
        bitmap,
        [](int x, int y) {
            const bool dark = x < 16 && (rows[y % 8] >> (7 - x % 8)) & 1;
            return dark ? clBlack : clWhite;
        },
        "shade");
    // The context's colours are put back.
    EXPECT_EQ(GetTextColor(bitmap.Canvas()->Handle()), 0u);
}

TEST(TransparentBitmaps, TransparentPixelsLeaveTheDestinationAlsoStretched)
{
    // A 4 x 4 source: red with a green (transparent) column and a green corner.
    TBitmap source;
    source.SetSize(4, 4);
    Fill(source, Rect(0, 0, 4, 4), clRed);
    Fill(source, Rect(1, 0, 2, 4), clLime);
    source.Canvas()->SetPixels(3, 3, clLime);
    const auto sourceAt = [&](int x, int y) { return PixelAt(source, x, y); };

    for (int scale : {1, 2}) {
        TBitmap target;
        target.SetSize(12, 12);
        Fill(target, Rect(0, 0, 12, 12), clBlue);
        StretchBltTransparent(target.Canvas()->Handle(), 2, 2, 4 * scale, 4 * scale, source.Canvas()->Handle(), 0, 0,
                              4, 4, nullptr, RGB(0, 255, 0));
        ExpectPixels(
            target,
            [&](int x, int y) {
                const int sx = x - 2, sy = y - 2;
                if (sx < 0 || sy < 0 || sx >= 4 * scale || sy >= 4 * scale)
                    return clBlue;
                const TColor under = sourceAt(sx / scale, sy / scale);
                return under == clLime ? clBlue : under;
            },
            "scale " + std::to_string(scale));
    }

    // The canvas variants: clDefault takes the bottom-left pixel, clNone draws plainly.
    source.Canvas()->SetPixels(0, 3, clLime);
    TBitmap target;
    target.SetSize(8, 4);
    Fill(target, Rect(0, 0, 8, 4), clBlue);
    DrawBitmapTransparent(target.Canvas(), 0, 0, &source, clDefault);
    DrawBitmapRectTransparent(target.Canvas(), 4, 0, Rect(0, 0, 4, 4), &source, clNone);
    EXPECT_EQ(PixelAt(target, 1, 1), clBlue);
    EXPECT_EQ(PixelAt(target, 0, 0), clRed);
    EXPECT_EQ(PixelAt(target, 5, 1), clLime);
    Fill(target, Rect(0, 0, 8, 4), clBlue);
    StretchBitmapRectTransparent(target.Canvas(), 0, 0, 0, 0, Rect(0, 0, 0, 0), &source, clRed);
    EXPECT_EQ(PixelAt(target, 0, 0), clBlue) << "red is transparent now, drawn at the bitmap's own size";
    EXPECT_EQ(PixelAt(target, 1, 1), clLime);
}

TEST(TransparentBitmaps, ColoursChangeAndIconsRoundTrip)
{
    TBitmap square;
    square.SetSize(16, 16);
    Fill(square, Rect(0, 0, 16, 16), clLime);
    Fill(square, Rect(4, 4, 12, 12), clRed);

    auto changed = ChangeBitmapColor(&square, clLime, clYellow);
    EXPECT_EQ(PixelAt(*changed, 0, 0), clYellow);
    EXPECT_EQ(PixelAt(*changed, 5, 5), clRed);

    square.SetTransparentColor(clLime);
    auto icon = CreateIconFromBitmap(&square, clDefault);
    ASSERT_EQ(icon->Width(), 16);
    auto back = CreateBitmapFromIcon(icon.get(), clBlue);
    EXPECT_EQ(PixelAt(*back, 0, 0), clBlue);
    EXPECT_EQ(PixelAt(*back, 5, 5), clRed);
    EXPECT_EQ(back->TransparentColor(), clBlue);
    EXPECT_TRUE(back->Transparent());
}

TEST(Fonts, ATurnedFontKeepsTheFontsLooks)
{
    TFont font;
    font.SetName("Default");
    font.SetHeight(-15);
    font.SetStyle({fsBold, fsUnderline});
    font.SetPitch(fpFixed);
    font.SetCharset(OEM_CHARSET);
    HFONT handle = CreateRotatedFont(&font, 45);
    LOGFONTA description;
    ASSERT_EQ(GetObject(handle, sizeof(description), &description), static_cast<int>(sizeof(description)));
    EXPECT_EQ(description.lfHeight, -15);
    EXPECT_EQ(description.lfEscapement, 450);
    EXPECT_EQ(description.lfOrientation, 0);
    EXPECT_EQ(description.lfWeight, FW_BOLD);
    EXPECT_EQ(description.lfUnderline, 1);
    EXPECT_EQ(description.lfItalic, 0);
    EXPECT_EQ(description.lfCharSet, OEM_CHARSET);
    EXPECT_EQ(description.lfPitchAndFamily & 3, FIXED_PITCH);
    EXPECT_STREQ(description.lfFaceName, TFont().Name().c_str());
    DeleteObject(handle);
}

TEST(Text, MinimizedTextFitsOrEndsInDotsAndTheAverageLetter)
{
    TBitmap bitmap;
    bitmap.SetSize(10, 10);
    TCanvas* canvas = bitmap.Canvas();
    canvas->Font()->SetName("Arial");
    canvas->Font()->SetSize(10);
    const std::string text = "Fattura accompagnatoria";
    const int full = canvas->TextWidth(text);
    EXPECT_EQ(MinimizeText(text, canvas, full), text);
    for (int width : {full - 1, full / 2, canvas->TextWidth("F..."), 1}) {
        const std::string shown = MinimizeText(text, canvas, width);
        ASSERT_GE(shown.size(), 3u);
        EXPECT_EQ(shown.substr(shown.size() - 3), "...");
        const std::string kept = shown.substr(0, shown.size() - 3);
        EXPECT_EQ(text.compare(0, kept.size(), kept), 0);
        // The longest start that fits, unless nothing fits.
        if (!kept.empty()) {
            EXPECT_LE(canvas->TextWidth(shown), width);
        }
        if (kept.size() + 2 < text.size()) {
            EXPECT_GT(canvas->TextWidth(text.substr(0, kept.size() + 1) + "..."), width) << width;
        }
    }
    EXPECT_EQ(MinimizeText("", canvas, 0), "");

    std::string letters;
    for (char c = 'A'; c <= 'Z'; ++c)
        letters += c;
    for (char c = 'a'; c <= 'z'; ++c)
        letters += c;
    const TPoint average = GetAveCharSize(canvas);
    EXPECT_EQ(average.X, canvas->TextWidth(letters) / 52);
    EXPECT_EQ(average.Y, canvas->TextHeight(letters));
}

TEST(Geometry, RectanglesPolygonsAndPalettes)
{
    const TRect r = Rect(2, 3, 10, 7);
    EXPECT_EQ(WidthOf(r), 8);
    EXPECT_EQ(HeightOf(r), 4);
    EXPECT_TRUE(PointInRect(Point(10, 7), r)) << "inclusive on every edge";
    EXPECT_TRUE(PointInRect(Point(2, 3), r));
    EXPECT_FALSE(PointInRect(Point(11, 5), r));
    const std::vector<TPoint> triangle{Point(0, 0), Point(20, 0), Point(0, 20)};
    EXPECT_TRUE(PointInPolyRgn(Point(3, 3), triangle));
    EXPECT_FALSE(PointInPolyRgn(Point(15, 15), triangle));
    EXPECT_FALSE(PointInPolyRgn(Point(1, 1), {Point(0, 0), Point(5, 5)}));
    EXPECT_EQ(PaletteColor(clRed), static_cast<TColor>(0x020000FF));
    EXPECT_EQ(PaletteColor(clBtnFace), static_cast<TColor>(ColorToRGB(clBtnFace) | 0x02000000));
    EXPECT_EQ(PaletteEntries(nullptr), 0);
    LOGPALETTE palette;
    palette.palPalEntry.resize(16);
    HPALETTE handle = CreatePalette(&palette);
    EXPECT_EQ(PaletteEntries(handle), 16);
    DeleteObject(handle);
}

TEST(Resources, MissingBitmapsAndIconsGiveNothingAndTheErrorNamesTheResource)
{
    EXPECT_EQ(MakeBitmap("NESSUNA_BITMAP"), nullptr);
    EXPECT_EQ(MakeBitmapID(31999), nullptr);
    EXPECT_EQ(MakeModuleBitmap(nullptr, "NESSUNA"), nullptr);
    EXPECT_EQ(MakeIcon("NESSUNA_ICONA"), nullptr);
    EXPECT_NE(MakeModuleBitmap(nullptr, MAKEINTRESOURCE(OBM_CHECK)), nullptr);
    auto icon = MakeModuleIcon(nullptr, MAKEINTRESOURCE(IDI_APPLICATION));
    ASSERT_NE(icon, nullptr);
    EXPECT_FALSE(icon->Empty());
    try {
        ResourceNotFound(MAKEINTRESOURCE(4711));
        FAIL();
    } catch (const EResNotFound& e) {
        EXPECT_EQ(e.Message, "Resource 4711 not found");
    }
    EXPECT_THROW(ResourceNotFound("CURSORE"), EResNotFound);
}

} // namespace DrawingTest
