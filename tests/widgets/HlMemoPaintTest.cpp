#include "HlMemoTestSupport.h"

#include "platform/gui/Grab.h"
#include "platform/gui/TextOutput.h"
#include "platform/gui/WindowHandles.h"

#include <gtest/gtest.h>

namespace {

TColor Rgb(TColor color)
{
    return static_cast<TColor>(ColorToRGB(color));
}

// Text drawn as the memo draws it (single line, vertically centred) into a bitmap of the area's
// size, compared pixel for pixel with the area of a grab.
int DifferingPixels(TGrab& grab, const TRect& area, const std::string& text, const std::function<void(TCanvas*)>& font,
                    TColor background, UINT extraFormat = 0)
{
    TBitmap sample;
    sample.SetPixelFormat(pf32bit);
    sample.SetSize(area.Width(), area.Height());
    TCanvas* canvas = sample.Canvas();
    canvas->Brush()->SetColor(background);
    canvas->FillRect(Rect(0, 0, area.Width(), area.Height()));
    font(canvas);
    canvas->TextHeight("Wp"); // selects the font into the context
    RECT r = Rect(0, 0, area.Width(), area.Height());
    DrawTextA(canvas->Handle(), text, -1, &r, DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX | extraFormat);
    int differing = 0;
    for (int y = 0; y < area.Height(); ++y)
        for (int x = 0; x < area.Width(); ++x)
            if (Rgb(canvas->Pixels(x, y)) != grab.At(area.Left + x, area.Top + y))
                ++differing;
    return differing;
}

std::function<void(TCanvas*)> MemoFont(THlCustomMemo* memo, TColor color)
{
    return [memo, color](TCanvas* canvas) {
        canvas->Font()->Assign(memo->Font());
        canvas->Font()->SetColor(color);
    };
}

std::function<void(TCanvas*)> GutterFont()
{
    return [](TCanvas* canvas) {
        canvas->Font()->SetName("MS Sans Serif");
        canvas->Font()->SetSize(8);
        canvas->Font()->SetColor(clBtnText);
    };
}

// The middle pixel of a character cell (row, column) with the view unscrolled.
TPoint Cell(THlCustomMemo* memo, int row, int column)
{
    return Point(memo->GutterOptions()->Width() * memo->GutterOptions()->Visible() + column * memo->CharWidth() +
                     memo->CharWidth() / 2,
                 row * memo->LineHeight() + memo->LineHeight() / 2);
}

TEST(HlMemoPainting, TabsExpandToTheirWidthAndAHandlerMayDrawTheRow)
{
    TMemoFixture f({"a\tb", "riga"});
    THlCustomMemo* memo = f.Memo;
    memo->GutterOptions()->SetVisible(false);
    memo->SetTabWidth(4);
    f.Settle();
    const int cw = memo->CharWidth();
    const int lh = memo->LineHeight();
    {
        TGrab grab(memo);
        EXPECT_EQ(DifferingPixels(grab, Rect(0, 0, 6 * cw, lh), "a    b", MemoFont(memo, clWindowText), clWindow), 0);
        EXPECT_GT(DifferingPixels(grab, Rect(0, 0, 6 * cw, lh), "a b", MemoFont(memo, clWindowText), clWindow), 0);
    }
    std::vector<std::pair<int, std::string>> seen;
    memo->OnDrawLine = [&](TObject*, const std::string& text, int row, TBitmap* glyph, TRect& rect, bool& allow) {
        seen.emplace_back(row, text);
        EXPECT_EQ(rect, Rect(0, 0, static_cast<int>(text.size()) * cw, lh));
        EXPECT_EQ(glyph->Width(), rect.Width());
        if (row != 1)
            return;
        allow = false;
        glyph->Canvas()->Font()->SetColor(clRed);
        glyph->Canvas()->TextHeight("Wp");
        RECT r = rect;
        DrawTextA(glyph->Canvas()->Handle(), "ZZZZ", -1, &r, DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX);
    };
    f.Settle();
    ASSERT_GE(seen.size(), 2u);
    EXPECT_EQ(seen[0], std::make_pair(0, std::string("a    b")));
    EXPECT_EQ(seen[1], std::make_pair(1, std::string("riga")));
    TGrab grab(memo);
    EXPECT_EQ(DifferingPixels(grab, Rect(0, lh, 4 * cw, 2 * lh), "ZZZZ", MemoFont(memo, clRed), clWindow), 0);
}

TEST(HlMemoPainting, SelectionsFillTheirRowsByZone)
{
    TMemoFixture f({"abcdef", "abcdef", "abcdef", "ab", "abcdef", "abcdef"});
    THlCustomMemo* memo = f.Memo;
    memo->GutterOptions()->SetVisible(false);
    memo->SetColor(clYellow);
    const TColor text = Rgb(clWindow);
    const TColor selection = Rgb(clHighlight);
    const TColor control = Rgb(clYellow);

    // One row: only the existing characters light up.
    memo->SetSelBegin(Point(0, 2));
    memo->SetSelEnd(Point(0, 40));
    memo->SetSelectionPresent(true);
    f.Settle();
    {
        TGrab grab(memo);
        const int cw = memo->CharWidth();
        const int lh = memo->LineHeight();
        const TRect selected = Rect(2 * cw, 0, 6 * cw, lh);
        EXPECT_GT(grab.Ink(selected, clHighlight), 0);
        EXPECT_GT(selected.Width() * selected.Height() - grab.Ink(selected, clHighlight), selected.Width() * lh / 2);
        const TPoint unselected = Cell(memo, 0, 1);
        EXPECT_NE(grab.At(unselected.X, 0), selection);
        for (int column : {6, 10, 39, 45})
            EXPECT_EQ(grab.At(Cell(memo, 0, column).X, Cell(memo, 0, column).Y), text) << column;
        EXPECT_EQ(grab.At(Cell(memo, 1, 8).X, Cell(memo, 1, 8).Y), text);
    }

    // Rows 1 to 3: first (from column 2), middle, last (the short row "ab" to column 5).
    memo->SetSelBegin(Point(3, 5));
    memo->SetSelEnd(Point(1, 2));
    f.Settle();
    TGrab grab(memo);
    const struct {
        int Row, Column;
        TColor Expected;
    } zones[] = {
        {0, 10, text},      // a row outside the selection
        {1, 10, selection}, // first row, right of the text
        {2, 10, selection}, // middle row, right of the text
        {3, 3, selection},  // last row, between its end and the last column
        {3, 5, control},    // last row, right of the last column
        {3, 20, control},
        {4, 10, text},
    };
    for (const auto& z : zones) {
        const TPoint p = Cell(memo, z.Row, z.Column);
        EXPECT_EQ(grab.At(p.X, p.Y), z.Expected) << z.Row << ":" << z.Column;
    }
    // The top pixel row of selected characters carries the selection background.
    EXPECT_EQ(grab.At(Cell(memo, 1, 3).X, memo->LineHeight()), selection);
    EXPECT_EQ(grab.At(Cell(memo, 2, 0).X, 2 * memo->LineHeight()), selection);
    EXPECT_EQ(grab.At(Cell(memo, 3, 1).X, 3 * memo->LineHeight()), selection);
    EXPECT_EQ(grab.At(Cell(memo, 1, 1).X, memo->LineHeight()), text);
}

TEST(HlMemoPainting, TheRightMarginFollowsTheView)
{
    std::vector<std::string> blanks(20, std::string(200, ' '));
    TMemoFixture f(blanks, 700, 300);
    THlCustomMemo* memo = f.Memo;
    memo->SetRightEdge(true);
    f.Settle();
    SendMessageA(memo->Handle(), WM_HSCROLL, MAKEWPARAM(SB_THUMBPOSITION, 10), 0);
    f.Settle();
    ASSERT_EQ(memo->LeftCol(), 10);
    const int x = 70 * memo->CharWidth() + memo->GutterOptions()->Width();
    TGrab grab(memo);
    const TColor gray = Rgb(clGray);
    for (int y : {1, memo->LineHeight() + 3, 5 * memo->LineHeight() + 7, memo->ClientHeight() - 2}) {
        EXPECT_EQ(grab.At(x, y), gray) << y;
        EXPECT_NE(grab.At(x - 1, y), gray) << y;
        EXPECT_NE(grab.At(x + 1, y), gray) << y;
    }
}

TEST(HlMemoPainting, TheCaretInvertsAndIsErasedAgain)
{
    TMemoFixture f({"hello"});
    TTestMemo* memo = f.Memo;
    memo->SetCaret(0, 10);
    const int x = 10 * memo->CharWidth() + memo->GutterOptions()->Width();
    const int lh = memo->LineHeight();
    std::vector<TColor> before;
    {
        TGrab grab(memo);
        for (int y = 0; y < lh; ++y)
            before.push_back(grab.At(x, y));
    }
    memo->DrawCaret(0, 10, true);
    {
        TGrab grab(memo);
        for (int y = 0; y < lh; ++y)
            EXPECT_EQ(grab.At(x, y), static_cast<TColor>(~before[y] & 0xFFFFFF)) << y;
        EXPECT_EQ(grab.At(x, lh), Rgb(clWindow));
        EXPECT_EQ(grab.At(x + 1, 2), before[2]);
    }
    memo->DrawCaret(0, 10, false);
    TGrab grab(memo);
    for (int y = 0; y < lh; ++y)
        EXPECT_EQ(grab.At(x, y), before[y]) << y;
    // Without a selection the anchor follows the caret.
    EXPECT_EQ(memo->GetSelBegin(), Point(0, 10));
    // Rows outside the view and columns left of it are not drawn on.
    memo->DrawCaret(500, 1, true);
    memo->DrawCaret(0, -4, true);
    TGrab after(memo);
    for (int y = 0; y < lh; ++y)
        EXPECT_EQ(after.At(x, y), before[y]) << y;
}

TEST(HlMemoGutter, LineNumbersReadAsPaddedAndFollowTheView)
{
    std::vector<std::string> lines(2000, "x");
    TMemoFixture f(lines);
    THlCustomMemo* memo = f.Memo;
    THlGutterOptions* gutter = memo->GutterOptions();
    gutter->SetShowLineNum(true);
    gutter->SetLedingDigits(3);
    gutter->SetBevel(false);
    gutter->SetWidth(40);
    f.Settle();
    const int lh = memo->LineHeight();
    const int right = 40 - (gutter->Space() + 1);
    const TRect firstNumber = Rect(2, 0, right, lh);
    auto scrollTo = [&](int row) {
        SendMessageA(memo->Handle(), WM_VSCROLL, MAKEWPARAM(SB_THUMBPOSITION, static_cast<WORD>(row)), 0);
        f.Settle();
    };
    const struct {
        int Digits;
        bool ZeroStart;
        int Top;
        const char* Text;
    } cases[] = {
        {3, false, 6, "0007"}, {3, false, 1233, "1234"}, {0, false, 9, "10"}, {0, true, 9, "9"}, {2, true, 0, "000"},
    };
    for (const auto& c : cases) {
        gutter->SetLedingDigits(c.Digits);
        gutter->SetZeroStart(c.ZeroStart);
        scrollTo(c.Top);
        ASSERT_EQ(memo->TopRow(), c.Top);
        TGrab grab(memo);
        EXPECT_EQ(DifferingPixels(grab, firstNumber, c.Text, GutterFont(), clBtnFace), 0) << c.Text;
        EXPECT_GT(DifferingPixels(grab, firstNumber, "8", GutterFont(), clBtnFace), 0) << c.Text;
    }
    // The second row of the gutter carries the next number.
    gutter->SetLedingDigits(0);
    gutter->SetZeroStart(false);
    scrollTo(41);
    TGrab grab(memo);
    EXPECT_EQ(DifferingPixels(grab, Rect(2, lh, right, 2 * lh), "43", GutterFont(), clBtnFace), 0);
    gutter->SetAlignment(taRightJustify);
    f.Settle();
    TGrab rightAligned(memo);
    EXPECT_EQ(DifferingPixels(rightAligned, firstNumber, "42", GutterFont(), clBtnFace, DT_RIGHT), 0);
}

TEST(HlMemoGutter, NarrowGuttersWidenAndTheSpaceStaysWithinAThird)
{
    TMemoFixture f({"uno"});
    THlGutter* gutter = f.Memo->Gutter();
    gutter->SetSpace(20);
    EXPECT_EQ(gutter->Space(), 26 / 3);
    gutter->SetSpace(0);
    EXPECT_EQ(gutter->Space(), 1);
    gutter->SetSpace(8);
    gutter->SetWidth(10);
    f.Settle();
    PumpWhile([&] { return gutter->Width() != 14; });
    EXPECT_EQ(gutter->Width(), 14);
    EXPECT_LE(gutter->Space(), 14 / 3);
    // Column 2 of the painted gutter is its face colour up to the new width.
    f.Settle();
    TGrab grab(f.Memo);
    EXPECT_EQ(grab.At(12, 3), Rgb(clBtnShadow));
    EXPECT_EQ(grab.At(5, 3), Rgb(clBtnFace));
    EXPECT_EQ(THlGutter::NumberText(7, 3), "0007");
    EXPECT_EQ(THlGutter::NumberText(1234, 3), "1234");
    EXPECT_EQ(THlGutter::NumberText(10, 0), "10");
}

void ClickGutter(THlCustomMemo* memo, int row, bool shift)
{
    const int y = row * memo->LineHeight() + 2;
    const WPARAM keys = shift ? MK_SHIFT : 0;
    HWND gutter = memo->Gutter()->Handle();
    SendMessageA(gutter, WM_LBUTTONDOWN, keys | MK_LBUTTON, MAKELPARAM(20, static_cast<WORD>(y)));
    SendMessageA(gutter, WM_LBUTTONUP, keys, MAKELPARAM(20, static_cast<WORD>(y)));
}

TEST(HlMemoGutter, ClicksInTheZoneSelectWholeRows)
{
    TMemoFixture f({"zero", "uno", "due", "tre", "quattro", "cinque", "", "sette"});
    THlCustomMemo* memo = f.Memo;
    ClickGutter(memo, 2, false);
    EXPECT_TRUE(memo->SelectionPresent());
    EXPECT_EQ(memo->GetSelBegin(), Point(2, 0));
    EXPECT_EQ(memo->GetSelEnd(), Point(2, 3));
    EXPECT_EQ(Point(memo->GetCaretVPos(), memo->GetCaretHPos()), Point(2, 0));
    EXPECT_TRUE(memo->Focused());

    ClickGutter(memo, 5, true);
    EXPECT_EQ(memo->GetSelBegin(), Point(2, 0));
    EXPECT_EQ(memo->GetSelEnd(), Point(5, 6));
    EXPECT_EQ(Point(memo->GetCaretVPos(), memo->GetCaretHPos()), Point(5, 0));

    ClickGutter(memo, 3, true);
    EXPECT_EQ(memo->GetSelBegin(), Point(2, 0));
    EXPECT_EQ(memo->GetSelEnd(), Point(5, 6));
    EXPECT_EQ(Point(memo->GetCaretVPos(), memo->GetCaretHPos()), Point(5, 0));

    ClickGutter(memo, 1, true);
    EXPECT_EQ(memo->GetSelBegin(), Point(1, 0));
    EXPECT_EQ(memo->GetSelEnd(), Point(5, 6));

    // The selection shows: row 3 right of its text carries the selection background.
    f.Settle();
    TGrab grab(memo);
    const TPoint p = Cell(memo, 3, 10);
    EXPECT_EQ(grab.At(p.X, p.Y), Rgb(clHighlight));

    // An empty row selects nothing; a click left of the zone does nothing.
    ClickGutter(memo, 6, false);
    EXPECT_FALSE(memo->SelectionPresent());
    EXPECT_EQ(memo->GetSelBegin(), Point(6, 0));
    HWND gutter = memo->Gutter()->Handle();
    SendMessageA(gutter, WM_LBUTTONUP, 0, MAKELPARAM(5, 2));
    EXPECT_EQ(memo->GetSelBegin(), Point(6, 0));
}

TEST(HlMemoDemonstration, GutterSelectionMarginTabsAndScrolling)
{
    std::vector<std::string> lines;
    for (int i = 0; i < 50; ++i) {
        std::string line = "riga " + std::to_string(i + 1) + "\tcolonna\tdopo la tabulazione";
        if (i % 7 == 3)
            line += " con un testo abbastanza lungo da passare il margine destro della pagina";
        if (i % 5 == 1)
            line = "";
        lines.push_back(line);
    }
    TMemoFixture f(lines, 640, 360);
    THlCustomMemo* memo = f.Memo;
    memo->SetBorderStyle(bsSingle);
    memo->GutterOptions()->SetShowLineNum(true);
    memo->GutterOptions()->SetWidth(36);
    memo->SetRightEdge(true);
    memo->SetRightEdgeCol(60);
    memo->SetTabWidth(4);
    memo->SetSelBegin(Point(6, 9));
    memo->SetSelEnd(Point(9, 14));
    memo->SetSelectionPresent(true);
    f.Settle();
    SendMessageA(memo->Handle(), WM_VSCROLL, MAKEWPARAM(SB_THUMBPOSITION, 3), 0);
    SendMessageA(memo->Handle(), WM_HSCROLL, MAKEWPARAM(SB_LINERIGHT, 0), 0);
    f.Settle();
    EXPECT_TRUE(GrabToPng(f.Form.get(), ScreenshotFolder() + "/memo-core.png"));
}

} // namespace
