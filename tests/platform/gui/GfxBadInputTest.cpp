// Calls with deleted objects, deleted or null contexts and objects of the wrong kind do nothing
// and answer 0; texts of any length are measured and laid out whole.

#include "platform/gui/Bitmap.h"
#include "platform/gui/GdiDraw.h"
#include "platform/gui/Regions.h"
#include "platform/gui/TextOutput.h"

#include <gtest/gtest.h>

#include <functional>

namespace {

TEST(GfxBadHandles, DeletedAndWrongObjectsAndContextsDoNothing)
{
    TBitmap bitmap;
    bitmap.SetPixelFormat(pf32bit);
    bitmap.SetSize(8, 8);
    bitmap.Canvas()->Brush()->SetColor(clWhite);
    bitmap.Canvas()->FillRect(Rect(0, 0, 8, 8));
    HDC dc = bitmap.Canvas()->Handle();

    HBRUSH deletedBrush = CreateSolidBrush(0x0000FF);
    DeleteObject(deletedBrush);
    HPEN deletedPen = CreatePen(PS_SOLID, 1, 0x0000FF);
    DeleteObject(deletedPen);
    HDC deletedDc = CreateCompatibleDC(nullptr);
    DeleteDC(deletedDc);
    HPALETTE palette = CreateHalftonePalette(dc);
    const RECT all{0, 0, 8, 8};

    const struct {
        const char* Name;
        std::function<std::intptr_t()> Call;
    } table[] = {
        {"FillRect with a deleted brush", [&] { return FillRect(dc, &all, deletedBrush); }},
        {"FrameRect with a deleted brush", [&] { return FrameRect(dc, &all, deletedBrush); }},
        {"SelectObject of a deleted pen", [&] { return reinterpret_cast<std::intptr_t>(SelectObject(dc, deletedPen)); }},
        {"SelectObject of a palette", [&] { return reinterpret_cast<std::intptr_t>(SelectObject(dc, palette)); }},
        {"SelectObject of a null handle", [&] { return reinterpret_cast<std::intptr_t>(SelectObject(dc, nullptr)); }},
        {"Rectangle on a deleted context", [&] { return Rectangle(deletedDc, 0, 0, 8, 8); }},
        {"LineTo on a deleted context", [&] { return LineTo(deletedDc, 8, 8); }},
        {"TextOut on a deleted context", [&] { return TextOutA(deletedDc, 0, 0, "x", -1); }},
        {"BitBlt from a deleted context", [&] { return BitBlt(dc, 0, 0, 8, 8, deletedDc, 0, 0, SRCCOPY); }},
        {"BitBlt onto a null context", [&] { return BitBlt(nullptr, 0, 0, 8, 8, dc, 0, 0, SRCCOPY); }},
        {"PatBlt on a null context", [&] { return PatBlt(nullptr, 0, 0, 8, 8, BLACKNESS); }},
        {"Ellipse on a null context", [&] { return Ellipse(nullptr, 0, 0, 8, 8); }},
        {"SetPixel on a null context", [&] { return SetPixel(nullptr, 0, 0, 0) == CLR_INVALID ? 0 : 1; }},
        {"DrawText on a null context", [&] {
             RECT r = all;
             return DrawTextA(nullptr, "x", -1, &r, DT_LEFT);
         }},
    };
    for (const auto& row : table) {
        EXPECT_EQ(row.Call(), 0) << row.Name;
        for (int y = 0; y < 8; ++y)
            for (int x = 0; x < 8; ++x)
                ASSERT_EQ(bitmap.Canvas()->Pixels(x, y), clWhite) << row.Name << " drew at " << x << "," << y;
    }
    EXPECT_EQ(GetPixel(deletedDc, 0, 0), CLR_INVALID);
    DeleteObject(palette);
}

TEST(GfxLongTexts, AnyLengthIsMeasuredAndLaidOutWhole)
{
    TBitmap bitmap;
    bitmap.SetSize(400, 100);
    HDC dc = bitmap.Canvas()->Handle();
    HFONT font = CreateFontA(-13, 0, 0, 0, FW_NORMAL, 0, 0, 0, ANSI_CHARSET, 0, 0, 0, 0, "Arial");
    SelectObject(dc, font);
    TEXTMETRICA tm;
    GetTextMetricsA(dc, &tm);
    std::string word = "fattura ";
    std::string text;
    while (text.size() < 100000)
        text += word;
    SIZE one, all;
    GetTextExtentPoint32A(dc, word, -1, &one);
    GetTextExtentPoint32A(dc, text, -1, &all);
    EXPECT_EQ(all.cx, one.cx * static_cast<int>(text.size() / word.size()));

    int fit = 0;
    GetTextExtentExPointA(dc, text, -1, one.cx * 5000, &fit, nullptr, nullptr);
    EXPECT_EQ(fit, 5000 * static_cast<int>(word.size()));

    // Each line holds whole words: as many as fit in the width.
    RECT r{0, 0, 400, 0};
    const int height = DrawTextA(dc, text, -1, &r, DT_CALCRECT | DT_WORDBREAK);
    SIZE bare;
    GetTextExtentPoint32A(dc, "fattura", -1, &bare);
    const int perLine = 1 + (400 - bare.cx) / one.cx;
    const int words = static_cast<int>(text.size() / word.size());
    EXPECT_EQ(height, tm.tmHeight * ((words + perLine - 1) / perLine));
    EXPECT_EQ(r.Bottom, height);

    RECT single{0, 0, 400, 40};
    EXPECT_EQ(DrawTextA(dc, text, -1, &single, DT_SINGLELINE | DT_END_ELLIPSIS), tm.tmHeight);
    SelectObject(dc, GetStockObject(SYSTEM_FONT));
    DeleteObject(font);
}

} // namespace
