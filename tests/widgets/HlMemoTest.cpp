#include "HlMemoTestSupport.h"

#include "platform/gui/Clipboard.h"
#include "platform/gui/Panel.h"
#include "platform/gui/Resources.h"
#include "platform/gui/Screen.h"
#include "platform/gui/WindowHandles.h"
#include "platform/rtl/Exceptions.h"
#include "platform/rtl/Files.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <unistd.h>

namespace {

std::vector<std::string> LinesOf(THlCustomMemo* memo)
{
    std::vector<std::string> lines;
    for (int i = 0; i < memo->Lines()->Count(); ++i)
        lines.push_back(memo->Lines()->Strings(i));
    return lines;
}

void SetLines(THlCustomMemo* memo, const std::vector<std::string>& lines)
{
    memo->Lines()->Clear();
    for (const std::string& line : lines)
        memo->Lines()->Add(line);
}

std::vector<std::string> Numbered(int count, int width = 20)
{
    std::vector<std::string> lines;
    for (int i = 0; i < count; ++i) {
        std::string line = "riga " + std::to_string(i);
        line.resize(static_cast<std::size_t>(width), '.');
        lines.push_back(line);
    }
    return lines;
}

std::string ReadBytes(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

void WriteBytes(const std::string& path, const std::string& bytes)
{
    std::ofstream out(path, std::ios::binary);
    out << bytes;
}

// A folder of its own under the system's temporary folder, removed afterwards.
struct TTempFolder {
    std::string Path;
    TTempFolder()
    {
        char name[] = "/tmp/hlmemoXXXXXX";
        Path = mkdtemp(name);
    }
    ~TTempFolder()
    {
        std::filesystem::permissions(Path, std::filesystem::perms::owner_all);
        std::filesystem::remove_all(Path);
    }
};

TEST(HlMemoOptions, SettersClampAndDefaultsHold)
{
    TTestMemo memo(nullptr);
    // Storage rules.
    SetLines(&memo, {"uno", "due", "tre"});
    memo.SetSelBegin(Point(9, -4));
    EXPECT_EQ(memo.GetSelBegin(), Point(2, 0));
    memo.SetSelEnd(Point(-3, 7));
    EXPECT_EQ(memo.GetSelEnd(), Point(0, 7));
    memo.Lines()->Clear();
    memo.SetSelBegin(Point(5, 1));
    EXPECT_EQ(memo.GetSelBegin(), Point(0, 1));

    const struct {
        const char* Name;
        std::function<void(int)> Set;
        std::function<int()> Get;
        int Value;
        int Stored;
    } clamps[] = {
        {"RightEdgeCol", [&](int v) { memo.SetRightEdgeCol(v); }, [&] { return memo.RightEdgeCol(); }, 200, 160},
        {"RightEdgeCol", [&](int v) { memo.SetRightEdgeCol(v); }, [&] { return memo.RightEdgeCol(); }, 5, 20},
        {"DropListTimeDelay", [&](int v) { memo.SetDropTime(v); }, [&] { return memo.DropListTimeDelay(); }, -1, 0},
        {"DropListTimeDelay", [&](int v) { memo.SetDropTime(v); }, [&] { return memo.DropListTimeDelay(); }, 12, 10},
        {"Gutter Width", [&](int v) { memo.GutterOptions()->SetWidth(v); }, [&] { return memo.GutterOptions()->Width(); }, 60, 48},
        {"Gutter Width", [&](int v) { memo.GutterOptions()->SetWidth(v); }, [&] { return memo.GutterOptions()->Width(); }, 5, 12},
        {"TabWidth", [&](int v) { memo.SetTabWidth(v); }, [&] { return memo.TabWidth(); }, 0, 8},
        {"LedingDigits", [&](int v) { memo.GutterOptions()->SetLedingDigits(v); }, [&] { return memo.GutterOptions()->LedingDigits(); }, 12, 8},
    };
    for (const auto& c : clamps) {
        c.Set(c.Value);
        EXPECT_EQ(c.Get(), c.Stored) << c.Name << " " << c.Value;
    }

    // Reading order of the anchors.
    const struct {
        TPoint Begin, End;
        int StartRow, EndRow, StartCol, EndCol;
    } bounds[] = {
        {Point(1, 5), Point(3, 2), 1, 3, 5, 2},
        {Point(3, 2), Point(1, 5), 1, 3, 5, 2},
        {Point(2, 7), Point(2, 3), 2, 2, 3, 7},
        {Point(2, 3), Point(2, 7), 2, 2, 3, 7},
    };
    SetLines(&memo, Numbered(5));
    for (const auto& b : bounds) {
        memo.SetSelBegin(b.Begin);
        memo.SetSelEnd(b.End);
        int startRow = -1, endRow = -1, startCol = -1, endCol = -1;
        memo.GetSelBounds(startRow, endRow, startCol, endCol);
        EXPECT_EQ(std::vector<int>({startRow, endRow, startCol, endCol}),
                  std::vector<int>({b.StartRow, b.EndRow, b.StartCol, b.EndCol}));
    }

    TTestMemo fresh(nullptr);
    EXPECT_EQ(fresh.Width(), 320);
    EXPECT_EQ(fresh.Height(), 240);
    EXPECT_EQ(fresh.Font()->Name(), "Fixedsys");
    EXPECT_EQ(fresh.Font()->Size(), 10);
    EXPECT_EQ(fresh.Font()->Color(), clWindowText);
    EXPECT_EQ(fresh.Color(), clWindow);
    EXPECT_FALSE(fresh.ParentColor());
    EXPECT_EQ(fresh.Cursor(), crIBeam);
    EXPECT_TRUE(fresh.TabStop());
    EXPECT_EQ(fresh.RightEdgeCol(), 80);
    EXPECT_FALSE(fresh.RightEdge());
    EXPECT_EQ(fresh.TabWidth(), 8);
    EXPECT_TRUE(fresh.Tracking());
    EXPECT_FALSE(fresh.FullRedraw());
    EXPECT_FALSE(fresh.ShowHyperlinks());
    EXPECT_EQ(fresh.DropListTimeDelay(), 3);
    EXPECT_EQ(fresh.DropListCharWidth(), 20);
    EXPECT_EQ(fresh.DropListCharHeight(), 4);
    EXPECT_EQ(fresh.DropListColumnCharWidth(), 10);
    EXPECT_TRUE(fresh.GutterOptions()->Visible());
    EXPECT_EQ(fresh.GutterOptions()->Width(), 26);
    EXPECT_EQ(fresh.GutterOptions()->Color(), clBtnFace);
    EXPECT_EQ(fresh.GutterOptions()->FontColor(), clBtnText);
    EXPECT_EQ(fresh.GutterOptions()->Space(), 2);
    EXPECT_FALSE(fresh.DropList()->Visible());
    const THlMemoEnvironment* env = fresh.EnvironmentOptions();
    EXPECT_EQ(env->TextColor(), clWindowText);
    EXPECT_EQ(env->TextBackground(), clWindow);
    EXPECT_EQ(env->SelectionColor(), clHighlightText);
    EXPECT_EQ(env->SelectionBackground(), clHighlight);
    EXPECT_EQ(env->RightEdgeColor(), clGray);
    EXPECT_EQ(env->Hyperlink(), clBlue);
    EXPECT_EQ(env->HyperlinkBackground(), clWindow);

    // The four cursors are in the screen's table at 1 to 4.
    for (const char* name : {"SELDRAG", "SELDRAGCOPY", "HANDPOINT", "LINESEL"})
        EXPECT_NE(LoadCursor(MainInstance(), name), nullptr) << name;
    for (int index = crSELDRAG; index <= crLINESEL; ++index)
        EXPECT_NE(Screen->Cursors(index), Screen->Cursors(crDefault)) << index;
}

TEST(HlMemoOptions, EnvironmentAssignCopiesTheColoursAndDefaultsKeepTheLinkColours)
{
    THlMemoEnvironment a;
    THlMemoEnvironment b;
    b.SetTextColor(clRed);
    b.SetHyperlink(clGreen);
    a.Assign(&b);
    EXPECT_EQ(a.TextColor(), clRed);
    EXPECT_EQ(a.Hyperlink(), clGreen);
    a.SetAsDefault();
    EXPECT_EQ(a.TextColor(), clWindowText);
    EXPECT_EQ(a.Hyperlink(), clGreen);
}

TEST(HlMemoOptions, KeysForArrowsAndTabReachTheMemo)
{
    TMemoFixture f;
    const LRESULT code = SendMessageA(f.Memo->Handle(), WM_GETDLGCODE, 0, 0);
    EXPECT_EQ(code & (DLGC_WANTARROWS | DLGC_WANTTAB), DLGC_WANTARROWS | DLGC_WANTTAB);
}

// --- Scrolling ---

struct TScrollRecord {
    int Vertical = 0;
    int Horizontal = 0;
    std::vector<std::vector<int>> Text;
};

void Record(THlCustomMemo* memo, TScrollRecord& record)
{
    memo->OnScrolled_V = [&](TObject*) { ++record.Vertical; };
    memo->OnScrolled_H = [&](TObject*) { ++record.Horizontal; };
    memo->OnTextScrolled = [&](TObject*, int top, int bottom, int left, int maxCols) {
        record.Text.push_back({top, bottom, left, maxCols});
    };
}

void SendScroll(THlCustomMemo* memo, UINT message, WORD code, int position = 0)
{
    SendMessageA(memo->Handle(), message, MAKEWPARAM(code, static_cast<WORD>(position)), 0);
}

TEST(HlMemoScrolling, ScrollMessagesMoveTheViewByTheirRules)
{
    TMemoFixture f(Numbered(200, 300));
    f.ShowRows(30);
    THlCustomMemo* memo = f.Memo;
    ASSERT_EQ(memo->VisibleRows(), 30);
    const int bottom = memo->GetVScrollMax();
    EXPECT_EQ(bottom, 201 - 28 + 1);

    const struct {
        WORD Code;
        int Position;
        int Expected;
    } vertical[] = {
        {SB_LINEDOWN, 0, 1},    {SB_PAGEDOWN, 0, 31},  {SB_LINEUP, 0, 30},     {SB_PAGEUP, 0, 0},
        {SB_LINEUP, 0, 0},      {SB_BOTTOM, 0, bottom}, {SB_LINEDOWN, 0, bottom}, {SB_TOP, 0, 0},
        {SB_THUMBPOSITION, 50, 50}, {SB_THUMBTRACK, 70, 70}, {SB_ENDSCROLL, 0, 70}, {SB_THUMBPOSITION, 9000, bottom},
    };
    for (const auto& step : vertical) {
        SendScroll(memo, WM_VSCROLL, step.Code, step.Position);
        EXPECT_EQ(memo->GetVScrollPos(), step.Expected) << "code " << step.Code;
        EXPECT_EQ(memo->TopRow(), step.Expected) << "code " << step.Code;
    }
    memo->SetTracking(false);
    SendScroll(memo, WM_VSCROLL, SB_THUMBTRACK, 10);
    EXPECT_EQ(memo->TopRow(), bottom);

    // Horizontal: the widest line is 300 columns, the page a quarter of it; paging steps by rows.
    SendScroll(memo, WM_VSCROLL, SB_TOP);
    ASSERT_EQ(memo->MaxLineLength(), 300);
    EXPECT_EQ(memo->GetHScrollMax(), 300 - 75 + 1);
    SendScroll(memo, WM_HSCROLL, SB_PAGERIGHT);
    EXPECT_EQ(memo->LeftCol(), 30);
    SendScroll(memo, WM_HSCROLL, SB_LINERIGHT);
    EXPECT_EQ(memo->LeftCol(), 31);
    SendScroll(memo, WM_HSCROLL, SB_PAGELEFT);
    EXPECT_EQ(memo->LeftCol(), 1);
    SendScroll(memo, WM_HSCROLL, SB_RIGHT);
    EXPECT_EQ(memo->LeftCol(), 226);
    SendScroll(memo, WM_HSCROLL, SB_LEFT);
    EXPECT_EQ(memo->LeftCol(), 0);

    // ScrollTo goes by pixels and clamps far values.
    memo->ScrollTo(memo->CharWidth() * 7 + 3, memo->LineHeight() * 12 + 5);
    EXPECT_EQ(memo->TopRow(), 12);
    EXPECT_EQ(memo->LeftCol(), 7);
    memo->ScrollTo(2000000000, 2000000000);
    EXPECT_EQ(memo->TopRow(), bottom);
    EXPECT_EQ(memo->LeftCol(), 226);
    memo->ScrollTo(-2000000000, -5);
    EXPECT_EQ(memo->TopRow(), 0);
    EXPECT_EQ(memo->LeftCol(), 0);
}

TEST(HlMemoScrolling, EventsFireOnceWithTheViewAndChildrenMoveWithTheText)
{
    TMemoFixture f(Numbered(200, 300));
    f.ShowRows(30);
    THlCustomMemo* memo = f.Memo;
    const int lineHeight = memo->LineHeight();
    auto* child = new TPanel(f.Form.get());
    child->SetParent(memo);
    child->Tag = 50 * lineHeight;
    child->SetBounds(100, 50 * lineHeight, 40, 20);
    memo->UpdateScrollBars();

    TScrollRecord record;
    Record(memo, record);
    SendScroll(memo, WM_VSCROLL, SB_LINEDOWN);
    SendScroll(memo, WM_VSCROLL, SB_LINEDOWN);
    SendScroll(memo, WM_VSCROLL, SB_LINEDOWN);
    EXPECT_EQ(record.Vertical, 3);
    EXPECT_EQ(record.Horizontal, 0);
    ASSERT_EQ(record.Text.size(), 3u);
    EXPECT_EQ(record.Text.back(), (std::vector<int>{3, 3 + 30 + 1, 0, 300}));
    EXPECT_EQ(child->Top(), 47 * lineHeight);
    EXPECT_EQ(child->Tag, 47 * lineHeight);

    SendScroll(memo, WM_HSCROLL, SB_LINERIGHT);
    EXPECT_EQ(record.Horizontal, 1);
    EXPECT_EQ(record.Text.back(), (std::vector<int>{3, 3 + 30, 1, 300}));
    EXPECT_EQ(child->Left(), 100 - memo->CharWidth());

    SendScroll(memo, WM_VSCROLL, SB_TOP);
    SendScroll(memo, WM_HSCROLL, SB_LEFT);
    EXPECT_EQ(child->Top(), 50 * lineHeight);
    EXPECT_EQ(child->Left(), 100);
    EXPECT_EQ(record.Vertical, 4);
    EXPECT_EQ(record.Horizontal, 2);
    // Rows far below the view keep the child's top within the window system's range.
    SetLines(memo, Numbered(5000));
    memo->UpdateScrollBars();
    SendScroll(memo, WM_VSCROLL, SB_BOTTOM);
    EXPECT_EQ(child->Top(), -10000);
    EXPECT_EQ(child->Tag, (50 - memo->TopRow()) * lineHeight);
}

// --- Text operations ---

TEST(HlMemoText, PositionsWordsInsertionSelectionAndDeletion)
{
    TTestMemo memo(nullptr);
    const int cw = memo.CharWidth();
    const int lh = memo.LineHeight();
    const int gutter = memo.GutterOptions()->Width();
    SetLines(&memo, {"alfa beta", "   abc", ""});

    const struct {
        int X, Y;
        int Row, Col;
    } positions[] = {
        {gutter + 2 * cw + 1, lh + 1, 1, 2},
        {gutter + 2 * cw + cw / 2, 1, 0, 3},
        {gutter + 2 * cw + cw / 2 - 1, 1, 0, 2},
        {gutter - 10, 0, 0, 0},
        {gutter + cw, 50 * lh, 3, 1},
        {0, -3 * lh, 0, 0},
    };
    for (const auto& p : positions) {
        int row = -1, col = -1;
        memo.GetRowColAtPos(p.X, p.Y, row, col);
        EXPECT_EQ(Point(row, col), Point(p.Row, p.Col)) << p.X << "," << p.Y;
    }

    const struct {
        int Col, Row;
        const char* Word;
        int Pos;
    } words[] = {
        {4, 0, "alfa", 0}, {6, 0, "beta", 5}, {0, 0, "alfa", 0}, {99, 0, "beta", 5},
        {1, 1, "", -1},    {4, 1, "abc", 3},  {0, 2, "", -1},     {0, 3, "", -1},
        {-7, 0, "alfa", 0},
    };
    for (const auto& w : words) {
        std::string word = "?";
        int pos = 7;
        memo.GetWordAtPos(w.Col, w.Row, word, pos);
        EXPECT_EQ(word, w.Word) << w.Row << ":" << w.Col;
        EXPECT_EQ(pos, w.Pos) << w.Row << ":" << w.Col;
    }

    const struct {
        std::vector<std::string> Before;
        std::string Text;
        int Col, Row;
        std::vector<std::string> After;
        TPoint Caret, Begin;
    } inserts[] = {
        {{"ab"}, "x", 5, 0, {"ab   x "}, Point(0, 6), Point(0, 5)},
        {{"XY"}, "a\r\nb", 1, 0, {"Xa", "bY"}, Point(1, 1), Point(0, 1)},
        {{"X"}, "a\r\n", 1, 0, {"Xa", ""}, Point(1, 0), Point(0, 1)},
        {{"XY"}, "a\rb", 1, 0, {"Xa", "bY"}, Point(1, 1), Point(0, 1)},
        {{"XY"}, "a\nb", 1, 0, {"Xa\nbY"}, Point(0, 4), Point(0, 1)},
        {{"XY"}, "1\r\n2\r\n3", 2, 0, {"XY1", "2", "3"}, Point(2, 1), Point(0, 2)},
        {{"uno"}, "due", 0, 1, {"uno", "due"}, Point(1, 3), Point(1, 0)},
        {{"uno"}, "x", -5, 0, {"xuno"}, Point(0, 1), Point(0, 0)},
    };
    for (const auto& c : inserts) {
        SetLines(&memo, c.Before);
        memo.InsertTextAtPos(c.Text, c.Col, c.Row);
        EXPECT_EQ(LinesOf(&memo), c.After) << c.Text;
        EXPECT_EQ(Point(memo.GetCaretVPos(), memo.GetCaretHPos()), c.Caret) << c.Text;
        EXPECT_TRUE(memo.SelectionPresent());
        EXPECT_EQ(memo.GetSelBegin(), c.Begin) << c.Text;
        EXPECT_EQ(memo.GetSelEnd(), c.Caret) << c.Text;
    }
    // Nothing to insert, or a row past the end: no change.
    SetLines(&memo, {"uno"});
    memo.InsertTextAtPos("", 0, 0);
    memo.InsertTextAtPos("x", 0, 2);
    memo.InsertTextAtPos("x", 10, 1000000000);
    memo.InsertTextAtPos("x", 1, -5);
    EXPECT_EQ(LinesOf(&memo), std::vector<std::string>{"uno"});

    // Selected text and its deletion.
    SetLines(&memo, {"abc", "def", "ghi"});
    memo.SetSelBegin(Point(2, 1));
    memo.SetSelEnd(Point(0, 2));
    memo.SetSelectionPresent(true);
    EXPECT_EQ(memo.GetSelText(), "c\r\ndef\r\ng");
    memo.DeleteSelection();
    EXPECT_EQ(LinesOf(&memo), std::vector<std::string>{"abhi"});
    EXPECT_EQ(Point(memo.GetCaretVPos(), memo.GetCaretHPos()), Point(0, 2));
    EXPECT_FALSE(memo.SelectionPresent());
    EXPECT_EQ(memo.GetSelText(), "");

    // One row, a last column past the text, and columns far out of range.
    SetLines(&memo, {"abcdef"});
    memo.SetSelBegin(Point(0, 2));
    memo.SetSelEnd(Point(0, 1000000000));
    memo.SetSelectionPresent(true);
    EXPECT_EQ(memo.GetSelText(), "cdef");
    memo.DeleteSelection();
    EXPECT_EQ(LinesOf(&memo), std::vector<std::string>{"ab"});
    memo.SetSelBegin(Point(0, 2000000000));
    memo.SetSelEnd(Point(0, 2000000001));
    memo.SetSelectionPresent(true);
    EXPECT_EQ(memo.GetSelText(), "");
    memo.DeleteSelection();
    EXPECT_EQ(LinesOf(&memo), std::vector<std::string>{"ab"});
    // Without lines nothing is selected or deleted.
    memo.Lines()->Clear();
    memo.SetSelectionPresent(true);
    EXPECT_EQ(memo.GetSelText(), "");
    memo.DeleteSelection();
    EXPECT_EQ(memo.Lines()->Count(), 0);
}

TEST(HlMemoText, ClipboardRoundTripsATwoRowSelection)
{
    TMemoFixture f({"alfa", "beta", "gamma"});
    THlCustomMemo* memo = f.Memo;
    memo->SetSelBegin(Point(0, 2));
    memo->SetSelEnd(Point(1, 3));
    memo->SetSelectionPresent(true);
    memo->CopyToClipboard();
    EXPECT_EQ(Clipboard()->AsText(), "fa\r\nbet");
    memo->CutToClipboard();
    EXPECT_EQ(LinesOf(memo), (std::vector<std::string>{"ala", "gamma"}));
    EXPECT_EQ(Point(memo->GetCaretVPos(), memo->GetCaretHPos()), Point(0, 2));
    memo->PasteFromClipboard();
    EXPECT_EQ(LinesOf(memo), (std::vector<std::string>{"alfa", "beta", "gamma"}));
    EXPECT_EQ(Point(memo->GetCaretVPos(), memo->GetCaretHPos()), Point(1, 3));
    // Pasting over a selection replaces it.
    Clipboard()->SetAsText("X");
    memo->SetSelBegin(Point(2, 0));
    memo->SetSelEnd(Point(2, 5));
    memo->SetSelectionPresent(true);
    memo->PasteFromClipboard();
    EXPECT_EQ(LinesOf(memo), (std::vector<std::string>{"alfa", "beta", "X"}));
    // Without a selection copy and cut leave the clipboard and the text alone.
    memo->SetSelectionPresent(false);
    memo->CutToClipboard();
    EXPECT_EQ(Clipboard()->AsText(), "X");
    EXPECT_EQ(memo->Lines()->Count(), 3);
}

TEST(HlMemoFiles, SaveStripsTrailingBlanksAndLoadRoundTripsEveryByte)
{
    TTempFolder folder;
    TTestMemo memo(nullptr);
    SetLines(&memo, {"abc  ", "\xE9\x80"});
    const std::string saved = folder.Path + "/uno.txt";
    memo.SaveToFile(saved);
    EXPECT_EQ(ReadBytes(saved), std::string("\x61\x62\x63\x0D\x0A\xE9\x80\x0D\x0A", 9));
    EXPECT_EQ(memo.Lines()->Strings(0), "abc  ");
    FILE* od = popen(("od -An -tx1 " + saved).c_str(), "r");
    ASSERT_NE(od, nullptr);
    char buffer[256] = {};
    const std::size_t got = fread(buffer, 1, sizeof buffer - 1, od);
    pclose(od);
    EXPECT_EQ(std::string(buffer, got), " 61 62 63 0d 0a e9 80 0d 0a\n");

    SetLines(&memo, {"   ", "x\t ", ""});
    memo.SaveToFile(saved);
    EXPECT_EQ(ReadBytes(saved), "\r\nx\t\r\n\r\n");

    // Every byte from 0x20 to 0xFF, in lines that end in no blank.
    std::string every;
    for (int c = 0x20; c <= 0xFF; ++c) {
        every += static_cast<char>(c);
        if (c % 16 == 15)
            every += "\r\n";
    }
    const std::string source = folder.Path + "/tutti.txt";
    const std::string copy = folder.Path + "/copia.txt";
    WriteBytes(source, every);
    memo.LoadFromFile(source);
    EXPECT_EQ(memo.Lines()->Count(), 14);
    memo.SaveToFile(copy);
    EXPECT_EQ(std::system(("cmp -s " + source + " " + copy).c_str()), 0);

    // A missing file changes nothing.
    memo.SetSelBegin(Point(3, 4));
    memo.LoadFromFile(folder.Path + "/manca.txt");
    EXPECT_EQ(memo.Lines()->Count(), 14);
    EXPECT_EQ(memo.GetSelBegin(), Point(3, 4));
}

TEST(HlMemoFiles, AFailedSaveRaisesAndKeepsTheOldFile)
{
    TTempFolder folder;
    TTestMemo memo(nullptr);
    SetLines(&memo, {"nuovo"});
    const std::string target = folder.Path + "/vecchio.txt";
    WriteBytes(target, "vecchio\r\n");
    // A read-only file is refused by the layer even to the administrator.
    ASSERT_EQ(FileSetAttr(target, faReadOnly), 0);
    EXPECT_THROW(memo.SaveToFile(target), EFCreateError);
    EXPECT_EQ(ReadBytes(target), "vecchio\r\n");
    EXPECT_THROW(memo.SaveToFile(folder.Path + "/manca/x.txt"), EFCreateError);
    ASSERT_EQ(FileSetAttr(target, 0), 0);
    // A read-only folder stops everyone but the administrator.
    if (geteuid() != 0) {
        std::filesystem::permissions(folder.Path, std::filesystem::perms::owner_read | std::filesystem::perms::owner_exec);
        EXPECT_THROW(memo.SaveToFile(target), EFCreateError);
        EXPECT_EQ(ReadBytes(target), "vecchio\r\n");
    }
}

TEST(HlMemoFiles, OddFilesLoadAndPaintAndScrollWithinTheirRows)
{
    TTempFolder folder;
    TMemoFixture f;
    THlCustomMemo* memo = f.Memo;
    const std::string path = folder.Path + "/strano.txt";
    const struct {
        std::string Bytes;
        int Lines;
    } files[] = {
        {"uno\ndue\ntre\n", 3},
        {"uno\rdue\rtre", 3},
        {std::string("a\0b\r\nc\0", 7), 2},
        {std::string(10 * 1024 * 1024, 'x'), 1},
        {std::string(1000000, '\n'), 1000000},
    };
    for (const auto& file : files) {
        WriteBytes(path, file.Bytes);
        memo->LoadFromFile(path);
        ASSERT_EQ(memo->Lines()->Count(), file.Lines);
        f.Settle();
        memo->ScrollTo(2000000000, 2000000000);
        PumpFor(10);
        EXPECT_GE(memo->TopRow(), 0);
        EXPECT_LE(memo->TopRow(), memo->Lines()->Count() + 1);
        EXPECT_LE(memo->LeftCol(), memo->MaxLineLength());
        memo->SetSelBegin(Point(0, 0));
        memo->SetSelEnd(Point(2000000000, 2000000000));
        memo->SetSelectionPresent(true);
        f.Settle();
        memo->SetSelectionPresent(false);
    }
    // The long line is formatted from the left column on: the view at its end shows text.
    WriteBytes(path, std::string(10 * 1024 * 1024, 'x'));
    memo->LoadFromFile(path);
    f.Settle();
    memo->ScrollTo(memo->CharWidth() * (10 * 1024 * 1024 - 20), 0);
    f.Settle();
    TGrab grab(memo);
    const int gutter = memo->GutterOptions()->Width();
    EXPECT_GT(grab.Ink(Rect(gutter + 2, 0, gutter + 10 * memo->CharWidth(), memo->LineHeight()),
                       memo->EnvironmentOptions()->TextBackground()), 0);
}

TEST(HlMemoFiles, TinyAndHugeFontsNeverDivideByZero)
{
    TMemoFixture f({"abc", "def"});
    THlCustomMemo* memo = f.Memo;
    for (int size : {1, 200}) {
        memo->Font()->SetSize(size);
        f.Settle();
        EXPECT_GE(memo->CharWidth(), 1);
        EXPECT_GE(memo->LineHeight(), 1);
        int row = -1, col = -1;
        memo->GetRowColAtPos(500, 500, row, col);
        EXPECT_LE(row, 2);
        memo->ScrollTo(1000, 1000);
        SendScroll(memo, WM_HSCROLL, SB_PAGERIGHT);
    }
}

} // namespace
