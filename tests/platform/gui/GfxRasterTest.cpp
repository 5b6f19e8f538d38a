// Pen modes and raster operations as callers reach them (through the canvas and BitBlt), the
// transparent colour of a bitmap, and recorded metafiles replayed at other places and sizes.

#include "platform/gui/Bitmap.h"
#include "platform/gui/GdiDraw.h"
#include "platform/gui/Metafile.h"
#include "platform/gui/Regions.h"
#include "platform/gui/TextOutput.h"
#include "platform/gui/private/GdiPaint.h"

#include <gtest/gtest.h>

namespace {

// A 32-bit bitmap of the given size filled with one colour.
void Fill(TBitmap& bitmap, int width, int height, TColor color)
{
    bitmap.SetPixelFormat(pf32bit);
    bitmap.SetSize(width, height);
    bitmap.Canvas()->Brush()->SetColor(color);
    bitmap.Canvas()->FillRect(Rect(0, 0, width, height));
}

TEST(GfxPenModes, EveryCanvasModeCombinesPenAndDestination)
{
    const COLORREF pen = 0x00FF00FF, destination = 0x0000FFFF;
    const struct {
        TPenMode Mode;
        COLORREF Expected;
    } table[] = {
        {pmBlack, 0},
        {pmWhite, 0xFFFFFF},
        {pmNop, destination},
        {pmNot, ~destination},
        {pmCopy, pen},
        {pmNotCopy, ~pen},
        {pmMergePenNot, pen | ~destination},
        {pmMaskPenNot, pen & ~destination},
        {pmMergeNotPen, ~pen | destination},
        {pmMaskNotPen, ~pen & destination},
        {pmMerge, pen | destination},
        {pmNotMerge, ~(pen | destination)},
        {pmMask, pen & destination},
        {pmNotMask, ~(pen & destination)},
        {pmXor, pen ^ destination},
        {pmNotXor, ~(pen ^ destination)},
    };
    for (const auto& row : table) {
        TBitmap bitmap;
        Fill(bitmap, 4, 1, static_cast<TColor>(destination));
        TCanvas* canvas = bitmap.Canvas();
        canvas->Pen()->SetColor(static_cast<TColor>(pen));
        canvas->Pen()->SetMode(row.Mode);
        canvas->MoveTo(0, 0);
        canvas->LineTo(3, 0);
        EXPECT_EQ(static_cast<COLORREF>(canvas->Pixels(0, 0)), row.Expected & 0xFFFFFF) << "mode " << row.Mode;
        EXPECT_EQ(static_cast<COLORREF>(canvas->Pixels(3, 0)), destination) << "end point left out, mode " << row.Mode;
    }
}

TEST(GfxBlits, NamedCodesThroughBitBlt)
{
    const COLORREF P = 0x00F0F00A, S = 0x00CCCC33, D = 0x00AA55AA;
    const struct {
        DWORD Code;
        COLORREF Expected;
    } table[] = {
        {SRCCOPY, S},           {SRCPAINT, S | D},      {SRCAND, S & D},        {SRCINVERT, S ^ D},
        {SRCERASE, S & ~D},     {NOTSRCCOPY, ~S},       {NOTSRCERASE, ~(S | D)}, {MERGECOPY, P & S},
        {MERGEPAINT, ~S | D},   {PATCOPY, P},           {PATPAINT, P | ~S | D}, {PATINVERT, P ^ D},
        {DSTINVERT, ~D},        {BLACKNESS, 0},         {WHITENESS, 0xFFFFFF},  {0x00E20746, D ^ (S & (P ^ D))},
        {0x00A000C9, P & D},
    };
    TBitmap source;
    Fill(source, 2, 2, static_cast<TColor>(S));
    for (const auto& row : table) {
        TBitmap target;
        Fill(target, 2, 2, static_cast<TColor>(D));
        HDC dc = target.Canvas()->Handle();
        HBRUSH brush = CreateSolidBrush(P);
        HGDIOBJ old = SelectObject(dc, brush);
        EXPECT_TRUE(BitBlt(dc, 0, 0, 1, 1, source.Canvas()->Handle(), 0, 0, row.Code));
        EXPECT_EQ(GetPixel(dc, 0, 0), row.Expected & 0xFFFFFF) << std::hex << row.Code;
        EXPECT_EQ(GetPixel(dc, 1, 1), D) << "outside the blit, " << std::hex << row.Code;
        if (row.Code == PATCOPY || row.Code == PATINVERT || row.Code == DSTINVERT || row.Code == BLACKNESS ||
            row.Code == WHITENESS) {
            // The codes without a source give the same through PatBlt.
            EXPECT_TRUE(PatBlt(dc, 1, 0, 1, 1, row.Code));
            EXPECT_EQ(GetPixel(dc, 1, 0), row.Expected & 0xFFFFFF) << "PatBlt " << std::hex << row.Code;
        }
        SelectObject(dc, old);
        DeleteObject(brush);
    }
}

TEST(GfxTransparency, AutoModeTakesTheBottomLeftPixel)
{
    TBitmap glyph;
    Fill(glyph, 4, 4, clRed);
    glyph.Canvas()->SetPixels(0, 3, clLime);
    glyph.Canvas()->SetPixels(3, 0, clBlue);
    EXPECT_EQ(glyph.TransparentColor(), clLime);
    glyph.SetTransparent(true);

    TBitmap target;
    Fill(target, 6, 6, clYellow);
    target.Canvas()->Draw(1, 1, &glyph);
    EXPECT_EQ(target.Canvas()->Pixels(1, 4), clYellow) << "the transparent colour leaves the destination";
    EXPECT_EQ(target.Canvas()->Pixels(1, 1), clRed);
    EXPECT_EQ(target.Canvas()->Pixels(4, 1), clBlue);

    glyph.SetTransparentMode(tmFixed);
    glyph.SetTransparentColor(clBlue);
    EXPECT_EQ(glyph.TransparentColor(), clBlue);
}

TEST(GfxTransparency, TransparentStretchBltKeepsTheDestinationUnderWhiteMaskPixels)
{
    TBitmap source;
    Fill(source, 2, 2, clBlue);
    source.Canvas()->SetPixels(1, 0, clWhite); // opaque white must stay white
    source.Canvas()->SetPixels(0, 1, clLime);
    TBitmap mask; // white (transparent) at (0, 0) and (1, 1)
    Fill(mask, 2, 2, clBlack);
    mask.Canvas()->Brush()->SetColor(clWhite); // white stays white in the conversion
    mask.SetMonochrome(true);
    mask.Canvas()->SetPixels(0, 0, clWhite);
    mask.Canvas()->SetPixels(1, 1, clWhite);
    TBitmap target;
    Fill(target, 4, 4, clRed);

    HDC dst = target.Canvas()->Handle();
    SetStretchBltMode(dst, COLORONCOLOR);
    SetTextColor(dst, 0x123456);
    SetBkColor(dst, 0x654321);
    ASSERT_TRUE(TransparentStretchBlt(dst, 0, 0, 4, 4, source.Canvas()->Handle(), 0, 0, 2, 2,
                                      mask.Canvas()->Handle(), 0, 0));
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 4; ++x) {
            const bool right = x >= 2, bottom = y >= 2;
            const TColor expected = right == bottom ? clRed : (right ? clWhite : clLime);
            EXPECT_EQ(target.Canvas()->Pixels(x, y), expected) << x << "," << y;
        }
    EXPECT_EQ(GetTextColor(dst), 0x123456u) << "the destination's colours are put back";
    EXPECT_EQ(GetBkColor(dst), 0x654321u);
    EXPECT_FALSE(TransparentStretchBlt(dst, 0, 0, 4, 4, nullptr, 0, 0, 2, 2, mask.Canvas()->Handle(), 0, 0));
    EXPECT_FALSE(TransparentStretchBlt(nullptr, 0, 0, 4, 4, source.Canvas()->Handle(), 0, 0, 2, 2,
                                       mask.Canvas()->Handle(), 0, 0));
    EXPECT_FALSE(TransparentStretchBlt(reinterpret_cast<HDC>(0x7777), 0, 0, 4, 4, source.Canvas()->Handle(), 0, 0,
                                       2, 2, mask.Canvas()->Handle(), 0, 0));
}

// The masked stretch as four separate blits: the source cut out where the mask is white, the
// destination cleared where it is black, then the cut-out painted over it.
void FourBlitMaskedStretch(HDC dst, int x, int y, int w, int h, HDC src, int sx, int sy, int sw, int sh, HDC mask,
                           int mx, int my)
{
    constexpr DWORD DSna = 0x00220326;
    TBitmap cut;
    Fill(cut, sw, sh, clBlack);
    HDC cutDC = cut.Canvas()->Handle();
    SetTextColor(cutDC, 0x000000);
    SetBkColor(cutDC, 0xFFFFFF);
    BitBlt(cutDC, 0, 0, sw, sh, src, sx, sy, SRCCOPY);
    BitBlt(cutDC, 0, 0, sw, sh, mask, mx, my, DSna);
    SetTextColor(dst, 0x000000);
    SetBkColor(dst, 0xFFFFFF);
    StretchBlt(dst, x, y, w, h, mask, mx, my, sw, sh, SRCAND);
    StretchBlt(dst, x, y, w, h, cutDC, 0, 0, sw, sh, SRCPAINT);
}

// A picture of distinct colours and its mask: white (transparent) all round the edge and at
// scattered pixels inside.
void MaskedPicture(TBitmap& picture, TBitmap& mask, int width, int height)
{
    Fill(picture, width, height, clBlack);
    Fill(mask, width, height, clBlack);
    mask.Canvas()->Brush()->SetColor(clWhite);
    mask.SetMonochrome(true);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            picture.Canvas()->SetPixels(x, y, static_cast<TColor>((x * 40 + 7) % 256 | ((y * 70 + 3) % 256) << 8 |
                                                                 ((x * y * 13) % 256) << 16));
            const bool edge = x == 0 || y == 0 || x == width - 1 || y == height - 1;
            mask.Canvas()->SetPixels(x, y, edge || (x * 7 + y * 3) % 5 == 0 ? clWhite : clBlack);
        }
}

// A destination with a different colour on every pixel, so that any pixel drawn or kept wrongly shows.
void Backdrop(TBitmap& target, int width, int height)
{
    Fill(target, width, height, clBlack);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            target.Canvas()->SetPixels(x, y, static_cast<TColor>(0x203040 + x * 3 + (y << 9)));
}

TEST(GfxTransparency, TheOnePassMaskedStretchDrawsWhatTheFourBlitsDraw)
{
    const struct {
        const char* Name;
        int PictureWidth, PictureHeight;
        int SX, SY, SW, SH, MX, MY;
        int X, Y, W, H;
        int Mode;
        RECT Clip; // empty: none
    } cases[] = {
        {"odd scale", 8, 6, 0, 0, 8, 6, 0, 0, 3, 2, 23, 13, COLORONCOLOR, {}},
        {"part, past the top left", 8, 6, 2, 1, 5, 4, 2, 1, -4, -3, 17, 9, COLORONCOLOR, {}},
        {"shrunk", 9, 7, 0, 0, 9, 7, 0, 0, 1, 1, 5, 4, COLORONCOLOR, {}},
        {"clipped", 8, 6, 0, 0, 8, 6, 0, 0, 1, 1, 40, 30, COLORONCOLOR, {10, 5, 33, 21}},
        {"past the picture's edge", 8, 6, 5, 3, 6, 5, 5, 3, 2, 2, 15, 16, COLORONCOLOR, {}},
        {"mask elsewhere", 12, 10, 4, 2, 6, 5, 1, 3, 0, 0, 13, 11, COLORONCOLOR, {}},
        {"past the bottom right", 16, 12, 0, 0, 16, 12, 0, 0, 30, 20, 35, 27, COLORONCOLOR, {}},
        {"enlarged, combining mode", 5, 5, 0, 0, 5, 5, 0, 0, 2, 3, 31, 19, BLACKONWHITE, {0, 0, 20, 40}},
        // Drawn by the four blits themselves: the one-pass draw declines these.
        {"shrunk, combining mode", 9, 7, 0, 0, 9, 7, 0, 0, 1, 1, 5, 4, BLACKONWHITE, {}},
        {"mirrored", 8, 6, 0, 0, 8, 6, 0, 0, 30, 2, -23, 13, COLORONCOLOR, {}},
    };
    constexpr int TargetWidth = 50, TargetHeight = 40;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        TBitmap picture, mask, expected, actual;
        MaskedPicture(picture, mask, c.PictureWidth, c.PictureHeight);
        Backdrop(expected, TargetWidth, TargetHeight);
        Backdrop(actual, TargetWidth, TargetHeight);
        for (TBitmap* target : {&expected, &actual}) {
            HDC dc = target->Canvas()->Handle();
            SetStretchBltMode(dc, c.Mode);
            if (c.Clip.Right > c.Clip.Left)
                IntersectClipRect(dc, c.Clip.Left, c.Clip.Top, c.Clip.Right, c.Clip.Bottom);
        }
        HDC src = picture.Canvas()->Handle(), bits = mask.Canvas()->Handle();
        FourBlitMaskedStretch(expected.Canvas()->Handle(), c.X, c.Y, c.W, c.H, src, c.SX, c.SY, c.SW, c.SH, bits,
                              c.MX, c.MY);
        const bool onePass = c.W > 0 && (c.Mode == COLORONCOLOR || c.W >= c.SW);
        EXPECT_EQ(Gdi::StretchMasked(actual.Canvas()->Handle(), c.X, c.Y, c.W, c.H, src, c.SX, c.SY, c.SW, c.SH, bits,
                                     c.MX, c.MY) == TRUE,
                  onePass);
        if (!onePass) {
            ASSERT_TRUE(TransparentStretchBlt(actual.Canvas()->Handle(), c.X, c.Y, c.W, c.H, src, c.SX, c.SY, c.SW,
                                              c.SH, bits, c.MX, c.MY));
        }
        int differences = 0;
        for (int y = 0; y < TargetHeight; ++y)
            for (int x = 0; x < TargetWidth; ++x)
                if (expected.Canvas()->Pixels(x, y) != actual.Canvas()->Pixels(x, y) && ++differences <= 3)
                    ADD_FAILURE() << "pixel " << x << "," << y;
        EXPECT_EQ(differences, 0);
    }
}

// A recording of one rectangle (black pen, yellow brush) with or without a fixed frame.
void Record(TMetafile& metafile, int frameWidth, int frameHeight, const TRect& rectangle)
{
    metafile.SetWidth(frameWidth);
    metafile.SetHeight(frameHeight);
    TMetafileCanvas canvas(&metafile, nullptr);
    canvas.Pen()->SetColor(clBlack);
    canvas.Brush()->SetColor(clYellow);
    canvas.Rectangle(rectangle.Left, rectangle.Top, rectangle.Right, rectangle.Bottom);
}

TEST(GfxMetafileReplay, PlacedAndScaledFromTheFrameToTheTarget)
{
    const struct {
        const char* Name;
        int FrameWidth, FrameHeight; // 0: the frame is the bounds of the drawing
        TRect Target;                // where the metafile is drawn
        TPoint Corner, LastCorner;   // the rectangle's first and last pixel on the target
        TPoint Inside;
    } table[] = {
        {"fixed frame, moved", 80, 50, Rect(30, 20, 110, 70), {35, 25}, {89, 59}, {40, 30}},
        {"bounds frame, moved", 0, 0, Rect(1, 1, 56, 36), {1, 1}, {55, 35}, {6, 6}},
        {"fixed frame, double size", 80, 50, Rect(0, 0, 160, 100), {10, 10}, {119, 79}, {20, 20}},
        {"bounds frame, double size, moved", 0, 0, Rect(100, 60, 210, 130), {100, 60}, {209, 129}, {110, 70}},
    };
    for (const auto& row : table) {
        TMetafile metafile;
        Record(metafile, row.FrameWidth, row.FrameHeight, Rect(5, 5, 60, 40));
        TBitmap target;
        Fill(target, 220, 140, clWhite);
        TCanvas* c = target.Canvas();
        if (row.FrameWidth == 0 || row.Target.Width() != row.FrameWidth)
            c->StretchDraw(row.Target, &metafile);
        else
            c->Draw(row.Target.Left, row.Target.Top, &metafile);
        EXPECT_EQ(c->Pixels(row.Corner.X, row.Corner.Y), clBlack) << row.Name;
        EXPECT_EQ(c->Pixels(row.LastCorner.X, row.LastCorner.Y), clBlack) << row.Name;
        EXPECT_EQ(c->Pixels(row.Corner.X - 1, row.Corner.Y - 1), clWhite) << row.Name;
        EXPECT_EQ(c->Pixels(row.LastCorner.X + 1, row.LastCorner.Y + 1), clWhite) << row.Name;
        EXPECT_EQ(c->Pixels(row.Inside.X, row.Inside.Y), clYellow) << row.Name;
    }
}

TEST(GfxMetafileReplay, ScaledReplayKeepsWhatItDoesNotDraw)
{
    TMetafile metafile;
    Record(metafile, 40, 40, Rect(10, 10, 20, 20));
    TBitmap target;
    Fill(target, 80, 80, clWhite);
    TCanvas* c = target.Canvas();
    for (int y = 0; y < 80; ++y)
        for (int x = 0; x < 80; ++x)
            if ((x + y) % 2)
                c->SetPixels(x, y, clNavy);
    c->StretchDraw(Rect(0, 0, 80, 80), &metafile);
    int changed = 0;
    for (int y = 0; y < 80; ++y)
        for (int x = 0; x < 80; ++x) {
            const bool drawn = x >= 20 && x < 40 && y >= 20 && y < 40;
            const TColor background = (x + y) % 2 ? clNavy : clWhite;
            if (!drawn && c->Pixels(x, y) != background)
                ++changed;
        }
    EXPECT_EQ(changed, 0) << "pixels outside the drawing changed";
    EXPECT_EQ(c->Pixels(20, 20), clBlack);
    EXPECT_EQ(c->Pixels(39, 39), clBlack);
    EXPECT_EQ(c->Pixels(30, 30), clYellow);
}

// Raw calls on a context in its default state: the stock pen, brush and font.
void DrawDefaults(HDC dc)
{
    Rectangle(dc, 2, 2, 40, 30);
    MoveToEx(dc, 0, 35, nullptr);
    LineTo(dc, 60, 35);
    TextOutA(dc, 5, 8, "Riga 1", -1);
}

TEST(GfxMetafileReplay, StartsFromTheDefaultStateWhateverTheTargetHolds)
{
    TMetafile metafile;
    metafile.SetWidth(64);
    metafile.SetHeight(40);
    {
        TMetafileCanvas canvas(&metafile, nullptr);
        DrawDefaults(canvas.Handle());
    }
    TBitmap direct, replayed;
    Fill(direct, 64, 40, clWhite);
    Fill(replayed, 64, 40, clWhite);
    DrawDefaults(direct.Canvas()->Handle());
    // The target's own state must not leak into the replay, and comes back afterwards.
    HDC dc = replayed.Canvas()->Handle();
    HPEN pen = CreatePen(PS_DOT, 1, 0x0000FF);
    HBRUSH brush = CreateSolidBrush(0xFF0000);
    SelectObject(dc, pen);
    SelectObject(dc, brush);
    SetTextColor(dc, 0x00FF00);
    SetBkMode(dc, TRANSPARENT);
    SetROP2(dc, R2_XORPEN);
    SetTextAlign(dc, TA_BASELINE);
    RECT frame{0, 0, 64, 40};
    EXPECT_TRUE(PlayEnhMetaFile(dc, metafile.Handle(), &frame));
    int differences = 0;
    for (int y = 0; y < 40; ++y)
        for (int x = 0; x < 64; ++x)
            differences += direct.Canvas()->Pixels(x, y) != replayed.Canvas()->Pixels(x, y) ? 1 : 0;
    EXPECT_EQ(differences, 0);
    EXPECT_EQ(GetROP2(dc), R2_XORPEN);
    EXPECT_EQ(GetTextColor(dc), 0x00FF00u);
    EXPECT_EQ(GetCurrentObject(dc, OBJ_PEN), pen);
    SelectObject(dc, GetStockObject(BLACK_PEN));
    SelectObject(dc, GetStockObject(WHITE_BRUSH));
    DeleteObject(pen);
    DeleteObject(brush);
}

} // namespace
