// Windows pixel rules of the drawing functions on a white 40 x 40 bitmap.

#include "platform/gui/Bitmap.h"
#include "platform/gui/GdiDraw.h"
#include "platform/gui/Regions.h"
#include "platform/gui/TextOutput.h"

#include <gtest/gtest.h>

namespace {

struct TCanvasFixture : testing::Test {
    TBitmap Bitmap;
    TCanvas* Canvas = nullptr;
    void SetUp() override
    {
        Bitmap.SetPixelFormat(pf32bit);
        Bitmap.SetSize(40, 40);
        Canvas = Bitmap.Canvas();
        Canvas->Brush()->SetColor(clWhite);
        Canvas->FillRect(Rect(0, 0, 40, 40));
    }
    TColor At(int x, int y) { return Canvas->Pixels(x, y); }
    bool White(int x, int y) { return At(x, y) == clWhite; }
    int CountSet()
    {
        int count = 0;
        for (int y = 0; y < 40; ++y)
            for (int x = 0; x < 40; ++x)
                count += White(x, y) ? 0 : 1;
        return count;
    }
};

TEST_F(TCanvasFixture, RectanglesExcludeRightAndBottom)
{
    Canvas->Brush()->SetColor(clBlue);
    Canvas->FillRect(Rect(10, 10, 20, 20));
    EXPECT_EQ(At(10, 10), clBlue);
    EXPECT_EQ(At(19, 19), clBlue);
    EXPECT_TRUE(White(20, 20));
    EXPECT_TRUE(White(20, 10));
    EXPECT_TRUE(White(10, 20));

    Canvas->Brush()->SetColor(clWhite);
    Canvas->FillRect(Rect(0, 0, 40, 40));
    Canvas->Pen()->SetColor(clBlack);
    Canvas->Brush()->SetColor(clRed);
    Canvas->Rectangle(10, 10, 20, 20);
    for (auto [x, y] : {std::pair{10, 10}, {19, 10}, {10, 19}, {19, 19}})
        EXPECT_EQ(At(x, y), clBlack) << x << "," << y;
    EXPECT_EQ(At(11, 11), clRed);
    EXPECT_EQ(At(18, 18), clRed);
    EXPECT_TRUE(White(20, 20));
}

TEST_F(TCanvasFixture, LinesLeaveOutTheirEndPoint)
{
    Canvas->MoveTo(0, 5);
    Canvas->LineTo(10, 5);
    for (int x = 0; x < 10; ++x)
        EXPECT_EQ(At(x, 5), clBlack) << x;
    EXPECT_TRUE(White(10, 5));

    Canvas->MoveTo(5, 25);
    Canvas->LineTo(0, 20);
    for (int i = 1; i <= 5; ++i)
        EXPECT_EQ(At(i, 20 + i), clBlack) << i;
    EXPECT_TRUE(White(0, 20));
}

TEST_F(TCanvasFixture, ALineSetsTheLongerDistanceInPixels)
{
    Canvas->MoveTo(0, 0);
    Canvas->LineTo(7, 3);
    EXPECT_EQ(CountSet(), 7);
}

TEST_F(TCanvasFixture, EllipseStaysInsideItsBox)
{
    Canvas->Pen()->SetColor(clBlack);
    Canvas->Ellipse(0, 0, 10, 10);
    bool row0 = false, row9 = false, col0 = false, col9 = false;
    for (int i = 0; i < 40; ++i) {
        EXPECT_TRUE(White(10, i));
        EXPECT_TRUE(White(i, 10));
        row0 = row0 || !White(i, 0);
        row9 = row9 || !White(i, 9);
        col0 = col0 || !White(0, i);
        col9 = col9 || !White(9, i);
    }
    EXPECT_TRUE(row0 && row9 && col0 && col9);
}

TEST_F(TCanvasFixture, PolylineLeavesOutItsLastPoint)
{
    Canvas->Polyline({{0, 0}, {10, 0}, {10, 10}});
    EXPECT_EQ(At(9, 0), clBlack);
    EXPECT_EQ(At(10, 9), clBlack);
    EXPECT_TRUE(White(10, 10));
}

TEST_F(TCanvasFixture, DottedLinesPaintTheirGapsInOpaqueMode)
{
    Canvas->Pen()->SetStyle(psDot);
    Canvas->Brush()->SetColor(clWhite);
    Canvas->Brush()->SetStyle(bsSolid);
    // Gaps over a red background: opaque mode paints them white.
    Canvas->Pen()->SetColor(clRed);
    Canvas->Pen()->SetStyle(psSolid);
    Canvas->MoveTo(0, 2);
    Canvas->LineTo(12, 2);
    Canvas->MoveTo(0, 4);
    Canvas->LineTo(12, 4);
    Canvas->Pen()->SetColor(clBlack);
    Canvas->Pen()->SetStyle(psDot);
    Canvas->MoveTo(0, 2);
    Canvas->LineTo(12, 2);
    for (int x = 0; x < 12; ++x)
        EXPECT_EQ(At(x, 2), (x % 6) < 3 ? clBlack : clWhite) << x;

    Canvas->Brush()->SetStyle(bsClear);
    Canvas->MoveTo(0, 4);
    Canvas->LineTo(12, 4);
    for (int x = 0; x < 12; ++x)
        EXPECT_EQ(At(x, 4), (x % 6) < 3 ? clBlack : clRed) << x;

    Canvas->Pen()->SetStyle(psDash);
    Canvas->Pen()->SetWidth(3);
    Canvas->MoveTo(0, 20);
    Canvas->LineTo(39, 20);
    for (int x = 1; x < 38; ++x)
        EXPECT_EQ(At(x, 20), clBlack) << x;
}

TEST_F(TCanvasFixture, FocusRectangleTwiceRestores)
{
    Canvas->DrawFocusRect(Rect(2, 2, 12, 12));
    EXPECT_EQ(At(2, 2), clBlack);
    EXPECT_TRUE(White(3, 2));
    Canvas->DrawFocusRect(Rect(2, 2, 12, 12));
    EXPECT_EQ(CountSet(), 0);
}

TEST_F(TCanvasFixture, TextCellAndBaseline)
{
    Canvas->Font()->SetName("Arial");
    Canvas->Font()->SetSize(10);
    Canvas->Brush()->SetStyle(bsClear);
    Canvas->TextOut(0, 0, "H");
    bool dark = false;
    const TSize cell = Canvas->TextExtent("H");
    for (int y = 0; y < cell.cy; ++y)
        for (int x = 0; x < cell.cx; ++x)
            dark = dark || (ColorToRGB(At(x, y)) & 0xFF) < 0x80;
    EXPECT_TRUE(dark);

    Canvas->Brush()->SetColor(clYellow);
    Canvas->TextOut(20, 0, "H");
    EXPECT_EQ(At(20, 0), clYellow);
    EXPECT_EQ(At(20 + cell.cx - 1, cell.cy - 1), clYellow);
    EXPECT_TRUE(White(20 + cell.cx, 0));
    EXPECT_TRUE(White(20, cell.cy));

    TEXTMETRICA tm;
    GetTextMetricsA(Canvas->Handle(), &tm);
    Canvas->Brush()->SetColor(clWhite);
    Canvas->FillRect(Rect(0, 0, 40, 40));
    SetTextAlign(Canvas->Handle(), TA_BASELINE);
    Canvas->Brush()->SetColor(clLime);
    Canvas->TextOut(5, 20, "H");
    EXPECT_EQ(At(5, 20 - tm.tmAscent), clLime);
    EXPECT_TRUE(White(5, 20 - tm.tmAscent - 1));
    EXPECT_TRUE(White(5, 20 + tm.tmDescent));
}

TEST(RasterOps, PenModesFollowTheirTruthTables)
{
    const std::uint32_t p = 0x00FF00FF, d = 0x0000FFFF;
    const struct {
        int Code;
        std::uint32_t Expected;
    } table[] = {
        {R2_BLACK, 0}, {R2_NOTMERGEPEN, ~(p | d)}, {R2_MASKNOTPEN, ~p & d}, {R2_NOTCOPYPEN, ~p},
        {R2_MASKPENNOT, p & ~d}, {R2_NOT, ~d}, {R2_XORPEN, p ^ d}, {R2_NOTMASKPEN, ~(p & d)},
        {R2_MASKPEN, p & d}, {R2_NOTXORPEN, ~(p ^ d)}, {R2_NOP, d}, {R2_MERGENOTPEN, ~p | d},
        {R2_COPYPEN, p}, {R2_MERGEPENNOT, p | ~d}, {R2_MERGEPEN, p | d}, {R2_WHITE, 0xFFFFFF},
    };
    for (const auto& row : table)
        EXPECT_EQ(RasterOps::Rop2(row.Code, p, d) & 0xFFFFFF, row.Expected & 0xFFFFFF) << row.Code;
}

TEST(RasterOps, NamedTernaryCodes)
{
    const std::uint32_t P = 0x00F0F0F0 | 0x0A, S = 0x00CCCC33, D = 0x00AA55AA;
    const struct {
        DWORD Code;
        std::uint32_t Expected;
    } table[] = {
        {SRCCOPY, S}, {SRCPAINT, S | D}, {SRCAND, S & D}, {SRCINVERT, S ^ D}, {SRCERASE, S & ~D},
        {NOTSRCCOPY, ~S}, {NOTSRCERASE, ~(S | D)}, {MERGECOPY, P & S}, {MERGEPAINT, ~S | D}, {PATCOPY, P},
        {PATPAINT, P | ~S | D}, {PATINVERT, P ^ D}, {DSTINVERT, ~D}, {BLACKNESS, 0}, {WHITENESS, 0xFFFFFF},
        {0x00E20746, D ^ (S & (P ^ D))}, {0x00A000C9, P & D},
    };
    for (const auto& row : table)
        EXPECT_EQ(RasterOps::Rop3(row.Code, P, S, D) & 0xFFFFFF, row.Expected & 0xFFFFFF) << std::hex << row.Code;
}

// Blits between monochrome and colour bitmaps, and the 0xE20746 mask operation.
TEST(RasterOps, MonochromeConversionsInBlits)
{
    TBitmap colour;
    colour.SetSize(2, 1);
    colour.Canvas()->SetPixels(0, 0, clRed);
    colour.Canvas()->SetPixels(1, 0, clGreen);
    HDC mono = CreateCompatibleDC(nullptr);
    HBITMAP monoBits = CreateBitmap(2, 1, 1, 1, nullptr);
    SelectObject(mono, monoBits);
    SetBkColor(colour.Canvas()->Handle(), ColorToRGB(clRed));
    BitBlt(mono, 0, 0, 2, 1, colour.Canvas()->Handle(), 0, 0, SRCCOPY);
    EXPECT_EQ(GetPixel(mono, 0, 0), 0xFFFFFFu);
    EXPECT_EQ(GetPixel(mono, 1, 0), 0x000000u);

    TBitmap target;
    target.SetSize(2, 1);
    HDC dc = target.Canvas()->Handle();
    SetTextColor(dc, ColorToRGB(clBlue));
    SetBkColor(dc, ColorToRGB(clYellow));
    BitBlt(dc, 0, 0, 2, 1, mono, 0, 0, SRCCOPY);
    EXPECT_EQ(GetPixel(dc, 0, 0), ColorToRGB(clYellow));
    EXPECT_EQ(GetPixel(dc, 1, 0), ColorToRGB(clBlue));

    // 0xE20746: the brush where the (converted) source is white, the destination elsewhere.
    target.Canvas()->SetPixels(0, 0, clAqua);
    target.Canvas()->SetPixels(1, 0, clAqua);
    HBRUSH brush = CreateSolidBrush(ColorToRGB(clFuchsia));
    SelectObject(dc, brush);
    SetTextColor(dc, 0x000000);
    SetBkColor(dc, 0xFFFFFF);
    BitBlt(dc, 0, 0, 2, 1, mono, 0, 0, 0x00E20746);
    EXPECT_EQ(GetPixel(dc, 0, 0), ColorToRGB(clFuchsia));
    EXPECT_EQ(GetPixel(dc, 1, 0), ColorToRGB(clAqua));
    SelectObject(dc, GetStockObject(WHITE_BRUSH));
    DeleteObject(brush);
    DeleteDC(mono);
    DeleteObject(monoBits);
}

TEST(GdiObjects, SelectedObjectsAreNotDeleted)
{
    HDC dc = CreateCompatibleDC(nullptr);
    HPEN pen = CreatePen(PS_SOLID, 1, 0);
    SelectObject(dc, pen);
    EXPECT_FALSE(DeleteObject(pen));
    SelectObject(dc, GetStockObject(BLACK_PEN));
    EXPECT_TRUE(DeleteObject(pen));
    EXPECT_FALSE(DeleteObject(pen));
    EXPECT_TRUE(DeleteObject(GetStockObject(WHITE_BRUSH)));
    EXPECT_NE(GetObjectType(GetStockObject(WHITE_BRUSH)), 0u);
    EXPECT_EQ(SelectObject(dc, nullptr), nullptr);
    DeleteDC(dc);
    EXPECT_FALSE(Rectangle(dc, 0, 0, 5, 5));
    EXPECT_FALSE(Rectangle(nullptr, 0, 0, 5, 5));
}

TEST(GdiObjects, MemoryContextsStartWithTheStockMonochromeBitmap)
{
    HDC a = CreateCompatibleDC(nullptr), b = CreateCompatibleDC(nullptr);
    HGDIOBJ initial = GetCurrentObject(a, OBJ_BITMAP);
    EXPECT_EQ(GetCurrentObject(b, OBJ_BITMAP), initial);
    BITMAP info;
    GetObjectA(initial, sizeof(info), &info);
    EXPECT_EQ(info.bmWidth, 1);
    EXPECT_EQ(info.bmBitsPixel, 1);
    EXPECT_EQ(GetDeviceCaps(a, BITSPIXEL), 1);
    HBITMAP colour = CreateCompatibleBitmap(a, 4, 4);
    GetObjectA(colour, sizeof(info), &info);
    EXPECT_EQ(info.bmBitsPixel, 1) << "compatible with the selected monochrome bitmap";
    DeleteObject(colour);
    DeleteDC(a);
    DeleteDC(b);
}

TEST(GdiObjects, SaveAndRestoreTheState)
{
    HDC dc = CreateCompatibleDC(nullptr);
    SetTextColor(dc, 0x112233);
    const int level = SaveDC(dc);
    SetTextColor(dc, 0x445566);
    SaveDC(dc);
    SetViewportOrgEx(dc, 5, 5, nullptr);
    EXPECT_TRUE(RestoreDC(dc, level));
    EXPECT_EQ(GetTextColor(dc), 0x112233u);
    POINT origin;
    GetViewportOrgEx(dc, &origin);
    EXPECT_EQ(origin, (POINT{0, 0}));
    EXPECT_FALSE(RestoreDC(dc, -1));
    DeleteDC(dc);
}

TEST(Regions, CombineAndClip)
{
    HRGN a = CreateRectRgn(0, 0, 10, 10), b = CreateRectRgn(5, 5, 15, 15), c = CreateRectRgn(0, 0, 0, 0);
    EXPECT_EQ(CombineRgn(c, a, b, RGN_AND), SIMPLEREGION);
    RECT box;
    GetRgnBox(c, &box);
    EXPECT_EQ(box, Rect(5, 5, 10, 10));
    EXPECT_EQ(CombineRgn(c, a, nullptr, RGN_OR), ERROR);
    POINT two[2] = {{0, 0}, {5, 5}};
    HRGN empty = CreatePolygonRgn(two, 2, ALTERNATE);
    EXPECT_EQ(GetRgnBox(empty, &box), NULLREGION);

    TBitmap bitmap;
    bitmap.SetSize(20, 20);
    TCanvas* canvas = bitmap.Canvas();
    canvas->Brush()->SetColor(clWhite);
    canvas->FillRect(Rect(0, 0, 20, 20));
    ExcludeClipRect(canvas->Handle(), 5, 5, 10, 10);
    canvas->Brush()->SetColor(clBlack);
    canvas->FillRect(Rect(0, 0, 20, 20));
    EXPECT_EQ(GetPixel(canvas->Handle(), 5, 5), CLR_INVALID); // outside the clip region
    SelectClipRgn(canvas->Handle(), nullptr);
    EXPECT_EQ(canvas->Pixels(4, 4), clBlack);
    EXPECT_EQ(canvas->Pixels(5, 5), clWhite);
    EXPECT_EQ(canvas->Pixels(9, 9), clWhite);
    EXPECT_EQ(canvas->Pixels(10, 10), clBlack);
    for (HRGN r : {a, b, c, empty})
        DeleteObject(r);
}

} // namespace

namespace {

TEST(DeviceCaps, ATrueColourDisplayWithoutPalette)
{
    HDC screen = CreateDCA("DISPLAY", nullptr, nullptr, nullptr);
    ASSERT_NE(screen, nullptr);
    const struct {
        int Index, Expected;
    } table[] = {{TECHNOLOGY, DT_RASDISPLAY}, {BITSPIXEL, 32}, {PLANES, 1}, {NUMCOLORS, -1}, {LOGPIXELSX, 96},
                 {LOGPIXELSY, 96}, {SIZEPALETTE, 0}, {NUMRESERVED, 0}, {COLORRES, 24}, {ASPECTX, 36}, {ASPECTXY, 51},
                 {PHYSICALWIDTH, 0}};
    for (const auto& row : table)
        EXPECT_EQ(GetDeviceCaps(screen, row.Index), row.Expected) << row.Index;
    EXPECT_EQ(GetDeviceCaps(screen, RASTERCAPS) & RC_PALETTE, 0);
    EXPECT_EQ(GetDeviceCaps(screen, HORZSIZE), MulDiv(GetDeviceCaps(screen, HORZRES), 254, 960));
    EXPECT_EQ(GetSystemPaletteEntries(screen, 0, 256, nullptr), 0u);
    EXPECT_EQ(RealizePalette(screen), 0u);
    EXPECT_EQ(GetNearestColor(screen, 0x02123456), 0x123456u);

    HPALETTE halftone = CreateHalftonePalette(screen);
    std::vector<PALETTEENTRY> entries(256);
    ASSERT_EQ(GetPaletteEntries(halftone, 0, 256, entries.data()), 256u);
    EXPECT_EQ(RGB(entries[9].peRed, entries[9].peGreen, entries[9].peBlue), RGB(255, 0, 0));
    EXPECT_EQ(RGB(entries[16 + 1].peRed, entries[17].peGreen, entries[17].peBlue), RGB(0, 0, 51));
    EXPECT_EQ(RGB(entries[255].peRed, entries[255].peGreen, entries[255].peBlue), RGB(238, 238, 238));
    EXPECT_EQ(GetNearestPaletteIndex(halftone, RGB(250, 0, 0)), 9u);
    EXPECT_EQ(SelectPalette(screen, halftone, FALSE), GetStockObject(DEFAULT_PALETTE));
    SelectPalette(screen, static_cast<HPALETTE>(GetStockObject(DEFAULT_PALETTE)), FALSE);
    EXPECT_TRUE(DeleteObject(halftone));
    DeleteDC(screen);
}

TEST(Regions, ShapesAndHitTests)
{
    HRGN ellipse = CreateEllipticRgn(0, 0, 20, 10);
    EXPECT_TRUE(PtInRegion(ellipse, 10, 5));
    EXPECT_FALSE(PtInRegion(ellipse, 0, 0));
    EXPECT_FALSE(PtInRegion(ellipse, 20, 5));
    POINT triangle[3] = {{0, 0}, {10, 0}, {0, 10}};
    HRGN polygon = CreatePolygonRgn(triangle, 3, ALTERNATE);
    EXPECT_TRUE(PtInRegion(polygon, 1, 1));
    EXPECT_FALSE(PtInRegion(polygon, 8, 8));
    RECT box;
    EXPECT_EQ(GetRgnBox(polygon, &box), COMPLEXREGION);
    EXPECT_EQ(box.Left, 0);
    EXPECT_LE(box.Right, 10);
    OffsetRgn(polygon, 100, 0);
    EXPECT_TRUE(PtInRegion(polygon, 101, 1));
    RECT probe{100, 0, 102, 2};
    EXPECT_TRUE(RectInRegion(polygon, &probe));
    DeleteObject(ellipse);
    DeleteObject(polygon);
}

// The hit test finds a point's band by halving; a one-pixel RectInRegion asks the same question
// another way, for every point around shapes of many bands and of several rectangles a band.
TEST(Regions, HitTestsAgreeWithOnePixelRectangles)
{
    POINT star[5] = {{20, 0}, {32, 38}, {0, 14}, {40, 14}, {8, 38}};
    POINT comb[8] = {{0, 0}, {30, 0}, {30, 30}, {22, 30}, {22, 8}, {8, 8}, {8, 30}, {0, 30}};
    HRGN shapes[] = {CreateEllipticRgn(0, 0, 41, 23), CreatePolygonRgn(star, 5, ALTERNATE),
                     CreatePolygonRgn(star, 5, WINDING), CreatePolygonRgn(comb, 8, WINDING),
                     CreateRectRgn(3, 4, 9, 5), CreateRectRgn(0, 0, 0, 0)};
    HRGN combined = CreateRectRgn(0, 0, 1, 1);
    CombineRgn(combined, shapes[0], shapes[1], RGN_XOR);
    OffsetRgn(combined, -5, -7);
    for (HRGN region : {shapes[0], shapes[1], shapes[2], shapes[3], shapes[4], shapes[5], combined}) {
        int inside = 0;
        for (int y = -10; y < 45; ++y) {
            for (int x = -10; x < 50; ++x) {
                const RECT pixel{x, y, x + 1, y + 1};
                const bool hit = PtInRegion(region, x, y);
                ASSERT_EQ(hit, RectInRegion(region, &pixel) != FALSE) << x << "," << y;
                inside += hit;
            }
        }
        EXPECT_EQ(inside > 0, region != shapes[5]);
    }
    for (HRGN region : shapes)
        DeleteObject(region);
    DeleteObject(combined);
}

} // namespace

namespace {

TEST_F(TCanvasFixture, FloodFillsAndMirroredStretches)
{
    Canvas->Pen()->SetColor(clBlack);
    Canvas->Brush()->SetStyle(bsClear);
    Canvas->Rectangle(5, 5, 15, 15);
    Canvas->Brush()->SetColor(clLime);
    Canvas->FloodFill(8, 8, clBlack, fsBorder);
    EXPECT_EQ(At(6, 6), clLime);
    EXPECT_EQ(At(13, 13), clLime);
    EXPECT_EQ(At(5, 5), clBlack);
    EXPECT_TRUE(White(4, 4));
    Canvas->Brush()->SetColor(clRed);
    Canvas->FloodFill(0, 0, clWhite, fsSurface);
    EXPECT_EQ(At(39, 39), clRed);
    EXPECT_EQ(At(8, 8), clLime);

    TBitmap strip;
    strip.SetSize(3, 1);
    strip.Canvas()->SetPixels(0, 0, clBlue);
    strip.Canvas()->SetPixels(1, 0, clYellow);
    strip.Canvas()->SetPixels(2, 0, clAqua);
    StretchBlt(Canvas->Handle(), 22, 30, -3, 1, strip.Canvas()->Handle(), 0, 0, 3, 1, SRCCOPY);
    EXPECT_EQ(At(22, 30), clBlue);
    EXPECT_EQ(At(21, 30), clYellow);
    EXPECT_EQ(At(20, 30), clAqua);
    SetStretchBltMode(Canvas->Handle(), COLORONCOLOR);
    StretchBlt(Canvas->Handle(), 30, 30, 6, 2, strip.Canvas()->Handle(), 0, 0, 3, 1, SRCCOPY);
    EXPECT_EQ(At(31, 31), clBlue);
    EXPECT_EQ(At(32, 30), clYellow);
    EXPECT_EQ(At(35, 31), clAqua);
}

} // namespace
