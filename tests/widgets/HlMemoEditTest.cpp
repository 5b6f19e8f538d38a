// Editing the memo with keys and the mouse, through the layer's input path.

#include "HlMemoInputSupport.h"

#include "platform/gui/Screen.h"
#include "platform/rtl/TextUtils.h"

#include <gtest/gtest.h>

namespace {

struct TEditCase {
    const char* Name;
    std::vector<std::string> Lines;
    int Row, Col;
    std::vector<TMemoKey> Keys;
    std::vector<std::string> Expected;
    int CaretRow, CaretCol;
    bool Selected = false;
    TPoint SelBegin = Point(0, 0);
    TPoint SelEnd = Point(0, 0);
};

const TMemoKey KeyA{Qt::Key_A, Qt::NoModifier, "a"};
const TMemoKey Tab{Qt::Key_Tab, Qt::NoModifier, "\t"};
const TMemoKey Backspace{Qt::Key_Backspace, Qt::NoModifier, "\b"};
const TMemoKey Del{Qt::Key_Delete};
const TMemoKey Enter{Qt::Key_Return, Qt::NoModifier, "\r"};
const TMemoKey End{Qt::Key_End};
const TMemoKey Down{Qt::Key_Down};
const TMemoKey ShiftRight{Qt::Key_Right, Qt::ShiftModifier};
const TMemoKey ShiftLeft{Qt::Key_Left, Qt::ShiftModifier};
const TMemoKey CtrlRight{Qt::Key_Right, Qt::ControlModifier};
const TMemoKey CtrlLeft{Qt::Key_Left, Qt::ControlModifier};

TEST(HlMemoEditing, KeySequencesGiveLinesCaretAndSelection)
{
    const TEditCase cases[] = {
        {"type on an empty memo", {}, 0, 0, {KeyA}, {"a  "}, 0, 1},
        {"End after typing", {}, 0, 0, {KeyA, End}, {"a  "}, 0, 3},
        {"Tab reaches the word above", {"int  value", ""}, 1, 0, {Tab}, {"int  value", "       "}, 1, 5},
        {"Tab on row 0", {"x"}, 0, 0, {Tab}, {"        x"}, 0, 8},
        {"Backspace at the start", {"ab", "cd"}, 0, 0, {Backspace}, {"ab", "cd"}, 0, 0},
        {"Backspace joins rows", {"a", "bc", "de"}, 2, 0, {Backspace}, {"a", "bcde"}, 1, 2},
        {"Backspace in a row", {"abc"}, 0, 2, {Backspace}, {"ac"}, 0, 1},
        {"Delete at the very end", {"ab"}, 0, 2, {Del}, {"ab"}, 0, 2},
        {"Delete joins rows", {"ab", "cd"}, 0, 2, {Del}, {"abcd"}, 0, 2},
        {"Delete in a row", {"abc"}, 0, 1, {Del}, {"ac"}, 0, 1},
        {"Enter splits", {"abcd"}, 0, 2, {Enter}, {"ab", "cd"}, 1, 0},
        {"Enter past the end", {"ab"}, 0, 5, {Enter}, {"ab", ""}, 1, 0},
        {"Shift+Right selects", {"abcdef"}, 0, 1, {ShiftRight, ShiftRight, ShiftRight}, {"abcdef"}, 0, 4, true,
         Point(0, 1), Point(0, 4)},
        {"Shift+Left takes it back",
         {"abcdef"},
         0,
         1,
         {ShiftRight, ShiftRight, ShiftRight, ShiftLeft, ShiftLeft, ShiftLeft},
         {"abcdef"},
         0,
         1},
        {"Ctrl+Right from 0", {"foo bar"}, 0, 0, {CtrlRight}, {"foo bar"}, 0, 4},
        {"Ctrl+Right from 1", {"foo bar"}, 0, 1, {CtrlRight}, {"foo bar"}, 0, 4},
        {"Ctrl+Left back", {"foo bar"}, 0, 4, {CtrlLeft}, {"foo bar"}, 0, 0},
        {"Ctrl+Right past the last word", {"foo", "bar"}, 1, 1, {CtrlRight}, {"foo", "bar"}, 2, 0},
        {"Down past the text", {"a", "b"}, 1, 0, {Down}, {"a", "b"}, 2, 0},
        {"Down twice past the text", {"a", "b"}, 1, 0, {Down, Down}, {"a", "b"}, 3, 0},
        {"typing past the text appends a row", {"a", "b"}, 1, 0, {Down, Down, KeyA}, {"a", "b", ""}, 3, 0},
        {"typing on the row after the text", {"a", "b"}, 1, 0, {Down, KeyA}, {"a", "b", "a  "}, 2, 1},
        {"AltGr types @", {}, 0, 0, {{Qt::Key_Q, Qt::ControlModifier | Qt::AltModifier, "@"}}, {"@  "}, 0, 1},
        {"AltGr types euro", {}, 0, 0, {{Qt::Key_E, Qt::GroupSwitchModifier, "\x80"}}, {"\x80  "}, 0, 1},
        {"Ctrl+E types nothing", {"ab"}, 0, 0, {{Qt::Key_E, Qt::ControlModifier, "\x05"}}, {"ab"}, 0, 0},
        {"a typed character replaces the selection", {"abcdef"}, 0, 1, {ShiftRight, ShiftRight, KeyA}, {"aadef"}, 0, 2},
        {"Home and Shift+End", {"abc"}, 0, 2, {{Qt::Key_Home}, {Qt::Key_End, Qt::ShiftModifier}}, {"abc"}, 0, 3, true,
         Point(0, 0), Point(0, 3)},
    };
    for (const TEditCase& c : cases) {
        TEditFixture f(c.Lines);
        f.Memo->SetCaret(c.Row, c.Col);
        for (const TMemoKey& key : c.Keys)
            SendMemoKey(f.Memo, key);
        EXPECT_EQ(MemoLines(f.Memo), c.Expected) << c.Name;
        EXPECT_EQ(f.Memo->GetCaretVPos(), c.CaretRow) << c.Name;
        EXPECT_EQ(f.Memo->GetCaretHPos(), c.CaretCol) << c.Name;
        EXPECT_EQ(f.Memo->SelectionPresent(), c.Selected) << c.Name;
        if (c.Selected) {
            EXPECT_EQ(f.Memo->GetSelBegin(), c.SelBegin) << c.Name;
            EXPECT_EQ(f.Memo->GetSelEnd(), c.SelEnd) << c.Name;
        }
    }
}

TEST(HlMemoEditing, MemoEventsReportKeysAndMouse)
{
    TEditFixture f({"abc", "def"});
    struct TEvent {
        THlKeyEvent Kind;
        WORD Key;
        TPoint Caret;
    };
    std::vector<TEvent> events;
    f.Memo->OnMemoEvents = [&](TObject*, TShiftState, THlKeyEvent kind, WORD key, TPoint caret, TPoint) {
        events.push_back({kind, key, caret});
    };
    SendMemoKey(f.Memo, KeyA);
    ASSERT_EQ(events.size(), 2u);
    EXPECT_EQ(events[0].Kind, HlMemo::k_Down);
    EXPECT_EQ(events[0].Key, 'A');
    EXPECT_EQ(events[1].Kind, HlMemo::k_Up);
    EXPECT_EQ(events[1].Key, 'A');
    events.clear();
    PressMemo(f.Memo, CellPoint(f.Memo, 1, 2));
    HoverMemo(f.Memo, CellPoint(f.Memo, 1, 2));
    ReleaseMemo(f.Memo, CellPoint(f.Memo, 1, 2));
    ASSERT_GE(events.size(), 3u);
    EXPECT_EQ(events[0].Kind, HlMemo::k_Mouse1);
    EXPECT_EQ(events[0].Caret, Point(1, 2)) << "raised after the caret moved";
    EXPECT_EQ(events[1].Kind, HlMemo::k_None);
    EXPECT_EQ(events.back().Kind, HlMemo::k_Mouse1);
    events.clear();
    SendMemoMouse(f.Memo, QEvent::MouseButtonPress, CellPoint(f.Memo, 0, 0), Qt::RightButton, Qt::RightButton);
    ASSERT_FALSE(events.empty());
    EXPECT_EQ(events[0].Kind, HlMemo::k_Mouse2);
    SendMemoMouse(f.Memo, QEvent::MouseButtonRelease, CellPoint(f.Memo, 0, 0), Qt::RightButton, Qt::NoButton);
    Screen->SetCursor(crDefault);
}

TEST(HlMemoMouse, PressAndDragSelectAndAutoScrollExtends)
{
    std::vector<std::string> lines;
    for (int i = 0; i < 40; ++i)
        lines.push_back("riga " + std::to_string(i));
    TEditFixture f(lines);
    f.ShowRows(10);
    PressMemo(f.Memo, CellPoint(f.Memo, 0, 0));
    DragMemo(f.Memo, CellPoint(f.Memo, 3, 3));
    ReleaseMemo(f.Memo, CellPoint(f.Memo, 3, 3));
    EXPECT_TRUE(f.Memo->SelectionPresent());
    EXPECT_EQ(f.Memo->GetSelBegin(), Point(0, 0));
    EXPECT_EQ(f.Memo->GetSelEnd(), Point(3, 3));

    PressMemo(f.Memo, CellPoint(f.Memo, 5, 0));
    const QPoint below(5, f.Memo->ClientHeight() + 2);
    DragMemo(f.Memo, below);
    const int endBefore = f.Memo->GetSelEnd().X;
    f.Memo->ScrollOnTimer();
    f.Memo->ScrollOnTimer();
    EXPECT_EQ(f.Memo->GetVScrollPos(), 2);
    EXPECT_EQ(f.Memo->GetSelEnd().X, endBefore + 2);
    EXPECT_TRUE(f.Memo->SelectionPresent());
    ReleaseMemo(f.Memo, below);
    EXPECT_EQ(f.Memo->GetSelBegin(), Point(5, 0));
}

struct TDragCase {
    const char* Name;
    std::vector<std::string> Lines;
    TPoint SelBegin, SelEnd; // X row, Y column
    TPoint Press, Drop;
    Qt::KeyboardModifiers Modifiers;
    std::vector<std::string> Expected;
};

TEST(HlMemoMouse, DraggedSelectionsMoveCopyOrStay)
{
    const TDragCase cases[] = {
        {"move behind on the same row", {"abc def"}, Point(0, 0), Point(0, 3), Point(0, 1), Point(0, 7), Qt::NoModifier,
         {" defabc"}},
        {"copy with Ctrl", {"abc def"}, Point(0, 0), Point(0, 3), Point(0, 1), Point(0, 7), Qt::ControlModifier,
         {"abc defabc"}},
        {"drop inside", {"abc def"}, Point(0, 0), Point(0, 3), Point(0, 1), Point(0, 2), Qt::NoModifier, {"abc def"}},
        {"move rows down", {"ab", "cd", "ef"}, Point(0, 1), Point(1, 1), Point(0, 1), Point(2, 1), Qt::NoModifier,
         {"ad", "eb", "cf"}},
        {"move before", {"abc def"}, Point(0, 4), Point(0, 7), Point(0, 5), Point(0, 0), Qt::NoModifier, {"defabc "}},
    };
    for (const TDragCase& c : cases) {
        TEditFixture f(c.Lines);
        f.Memo->SetSelBegin(c.SelBegin);
        f.Memo->SetSelEnd(c.SelEnd);
        f.Memo->SetSelectionPresent(true);
        PressMemo(f.Memo, CellPoint(f.Memo, c.Press.X, c.Press.Y));
        EXPECT_TRUE(f.Memo->DraggingSelection()) << c.Name;
        DragMemo(f.Memo, CellPoint(f.Memo, c.Drop.X, c.Drop.Y), c.Modifiers);
        ReleaseMemo(f.Memo, CellPoint(f.Memo, c.Drop.X, c.Drop.Y), c.Modifiers);
        EXPECT_FALSE(f.Memo->DraggingSelection()) << c.Name;
        EXPECT_EQ(MemoLines(f.Memo), c.Expected) << c.Name;
    }
    Screen->SetCursor(crDefault);
}

TEST(HlMemoMouse, PressRightOfATwoRowSelectionStartsANewOne)
{
    TEditFixture f({"abcdef", "ghijkl"});
    f.Memo->SetSelBegin(Point(0, 2));
    f.Memo->SetSelEnd(Point(1, 3));
    f.Memo->SetSelectionPresent(true);
    PressMemo(f.Memo, CellPoint(f.Memo, 1, 5));
    EXPECT_FALSE(f.Memo->DraggingSelection());
    ReleaseMemo(f.Memo, CellPoint(f.Memo, 1, 5));
    EXPECT_FALSE(f.Memo->SelectionPresent());
    EXPECT_EQ(f.Memo->GetCaretVPos(), 1);
    EXPECT_EQ(f.Memo->GetCaretHPos(), 5);
    EXPECT_EQ(MemoLines(f.Memo), (std::vector<std::string>{"abcdef", "ghijkl"}));
}

TEST(HlMemoMouse, DoubleClickSelectsTheWordAndSwallowsItsPressAndRelease)
{
    TEditFixture f({"foo bar baz"});
    DoubleClickMemo(f.Memo, CellPoint(f.Memo, 0, 5));
    EXPECT_TRUE(f.Memo->SelectionPresent());
    EXPECT_EQ(f.Memo->GetSelBegin(), Point(0, 4));
    EXPECT_EQ(f.Memo->GetSelEnd(), Point(0, 7));
    EXPECT_EQ(f.Memo->GetCaretHPos(), 4);
    // The next ordinary click is a click again.
    PressMemo(f.Memo, CellPoint(f.Memo, 0, 1));
    ReleaseMemo(f.Memo, CellPoint(f.Memo, 0, 1));
    EXPECT_FALSE(f.Memo->SelectionPresent());
    EXPECT_EQ(f.Memo->GetCaretHPos(), 1);
}

TEST(HlMemoCaret, BlinkingDropCountdownOpensTheListOnTheSixthTick)
{
    TEditFixture f({"t  "});
    f.Memo->SetDropTime(3);
    f.Memo->GetDropList()->Add("<td>|HTML tag|td ");
    f.Memo->SetCaret(0, 1);
    for (int i = 0; i < 5; ++i)
        f.Memo->BlinkCaret();
    EXPECT_FALSE(f.Memo->DropList()->Visible());
    SendMemoKey(f.Memo, {Qt::Key_Shift, Qt::ShiftModifier});
    for (int i = 0; i < 5; ++i)
        f.Memo->BlinkCaret();
    EXPECT_FALSE(f.Memo->DropList()->Visible()) << "the key started the count again";
    f.Memo->BlinkCaret();
    EXPECT_TRUE(f.Memo->DropList()->Visible());
    EXPECT_EQ(f.Memo->DropList()->ItemIndex(), 0);
    // Not again at the same place once closed.
    f.Memo->DropList()->SetVisible(false);
    for (int i = 0; i < 12; ++i)
        f.Memo->BlinkCaret();
    EXPECT_FALSE(f.Memo->DropList()->Visible());
}

TEST(HlMemoCaret, TheListStaysClosedPastTheRowsEnd)
{
    TEditFixture f({"t  "});
    f.Memo->GetDropList()->Add("<td>|HTML tag|td ");
    f.Memo->SetCaret(0, 7);
    f.Memo->ShowDropWindow();
    EXPECT_FALSE(f.Memo->DropList()->Visible());
}

TEST(HlMemoCaret, EnterTypesTheEntryButWhatWasTypedAndEscapeClears)
{
    TEditFixture f({""});
    f.Memo->GetDropList()->Add("<td>|HTML tag|td ");
    f.Memo->ShowDropWindow();
    ASSERT_TRUE(f.Memo->DropList()->Visible());
    TypeIntoMemo(f.Memo->DropList(), "t");
    EXPECT_EQ(MemoLines(f.Memo), std::vector<std::string>{"t  "});
    SendMemoKey(f.Memo->DropList(), Enter);
    EXPECT_FALSE(f.Memo->DropList()->Visible());
    EXPECT_EQ(MemoLines(f.Memo), std::vector<std::string>{"td   "});
    EXPECT_EQ(f.Memo->GetCaretHPos(), 3);

    // Escape forgets what was typed: the next entry is typed whole.
    f.Memo->ShowDropWindow();
    ASSERT_TRUE(f.Memo->DropList()->Visible());
    TypeIntoMemo(f.Memo->DropList(), "t");
    SendMemoKey(f.Memo->DropList(), {Qt::Key_Escape, Qt::NoModifier, "\x1b"});
    EXPECT_FALSE(f.Memo->DropList()->Visible());
    f.Memo->ShowDropWindow();
    SendMemoKey(f.Memo->DropList(), Enter);
    EXPECT_EQ(TrimRight(f.Memo->Lines()->Strings(0)), "td ttd");
}

TEST(HlMemoCaret, DropListEntriesTypeHighBytesAsThemselves)
{
    TEditFixture f({""});
    f.Memo->GetDropList()->Add("caff\xE8|bevanda|caff\xE8\x80");
    f.Memo->ShowDropWindow();
    ASSERT_TRUE(f.Memo->DropList()->Visible());
    SendMemoKey(f.Memo->DropList(), Enter);
    EXPECT_EQ(TrimRight(f.Memo->Lines()->Strings(0)), "caff\xE8\x80");
}

} // namespace
