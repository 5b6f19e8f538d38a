// Find and replace, and the web and e-mail addresses of the memo: marking, hints and clicks.

#include "HlMemoInputSupport.h"

#include "platform/gui/HintWindow.h"
#include "platform/gui/Screen.h"

#include <gtest/gtest.h>

namespace {

using HlMemo::foEntireScope;
using HlMemo::foMatchCase;
using HlMemo::foWholeWords;

struct TFindCase {
    const char* Name;
    std::vector<std::string> Lines;
    int Row, Col;
    std::string Text;
    THlFindOptions Options;
    bool Found;
    TPoint Begin = Point(0, 0), End = Point(0, 0); // X row, Y column
};

TEST(HlMemoFind, FindTextSelectsTheNextOccurrence)
{
    const TFindCase cases[] = {
        {"first", {"xabab"}, 0, 0, "ab", {}, true, Point(0, 1), Point(0, 3)},
        {"next after the caret", {"xabab"}, 0, 3, "ab", {}, true, Point(0, 3), Point(0, 5)},
        {"whole word after a blank", {"a cat_1"}, 0, 0, "cat", {foWholeWords}, true, Point(0, 2), Point(0, 5)},
        {"whole word in brackets", {"(cat)"}, 0, 0, "cat", {foWholeWords}, true, Point(0, 1), Point(0, 4)},
        {"not the start of a word", {"cats"}, 0, 0, "cat", {foWholeWords}, false},
        {"not the end of a word", {"bobcat"}, 0, 0, "cat", {foWholeWords}, false},
        {"a later whole word", {"cats cat"}, 0, 0, "cat", {foWholeWords}, true, Point(0, 5), Point(0, 8)},
        {"case ignored", {"aBc"}, 0, 0, "ABC", {}, true, Point(0, 0), Point(0, 3)},
        {"case ignored for accents", {"\xE8"}, 0, 0, "\xC8", {}, true, Point(0, 0), Point(0, 1)},
        {"case kept", {"aBc"}, 0, 0, "ABC", {foMatchCase}, false},
        {"case kept for accents", {"\xE8"}, 0, 0, "\xC8", {foMatchCase}, false},
        {"a later row", {"xx", "yab"}, 0, 1, "ab", {}, true, Point(1, 1), Point(1, 3)},
        {"not above the caret", {"ab", "xx"}, 1, 0, "ab", {}, false},
        {"backward", {"ab", "xx"}, 1, 0, "ab", {}, true, Point(0, 0), Point(0, 2)},
        {"entire scope", {"ab", "xx"}, 1, 0, "ab", {foEntireScope}, true, Point(0, 0), Point(0, 2)},
        {"asterisks", {"a*b*"}, 0, 3, "*", {}, true, Point(0, 3), Point(0, 4)},
        {"empty text", {"abc"}, 0, 0, "", {}, false},
        {"caret past the text", {"abc"}, 5, 0, "abc", {}, false},
        {"longer than every row", {"abc"}, 0, 0, std::string(100000, 'a'), {}, false},
    };
    for (const TFindCase& c : cases) {
        TEditFixture f(c.Lines);
        f.Memo->SetCaret(c.Row, c.Col);
        int ends = 0;
        bool reported = !c.Found;
        f.Memo->OnSearchEnd = [&](TObject*, bool findIt, bool replaceMode) {
            ++ends;
            reported = findIt;
            EXPECT_FALSE(replaceMode);
        };
        TPoint hit = Point(-1, -1);
        f.Memo->OnFindText = [&](TObject*, TPoint pos, bool& scroll) {
            hit = pos;
            EXPECT_TRUE(scroll);
        };
        f.Memo->FindText(c.Text, c.Options, std::string(c.Name) == "backward");
        EXPECT_EQ(ends, 1) << c.Name;
        EXPECT_EQ(reported, c.Found) << c.Name;
        EXPECT_EQ(f.Memo->SelectionPresent(), c.Found) << c.Name;
        if (c.Found) {
            EXPECT_EQ(f.Memo->GetSelBegin(), c.Begin) << c.Name;
            EXPECT_EQ(f.Memo->GetSelEnd(), c.End) << c.Name;
            EXPECT_EQ(f.Memo->GetCaretVPos(), c.End.X) << c.Name;
            EXPECT_EQ(f.Memo->GetCaretHPos(), c.End.Y) << c.Name;
            EXPECT_EQ(hit, Point(c.Begin.Y + 1, c.Begin.X)) << c.Name;
        } else {
            EXPECT_EQ(f.Memo->GetCaretVPos(), c.Row) << c.Name;
            EXPECT_EQ(f.Memo->GetCaretHPos(), c.Col) << c.Name;
        }
    }
}

TEST(HlMemoFind, RepeatedSearchesWalkTheRowAndEnd)
{
    TEditFixture f({"xabab", "a*b*"});
    f.Memo->FindText("ab", {}, false);
    f.Memo->FindText("ab", {}, false);
    EXPECT_EQ(f.Memo->GetSelBegin(), Point(0, 3));
    EXPECT_EQ(f.Memo->GetSelEnd(), Point(0, 5));
    // A run of asterisks is found once, then the search ends.
    f.Memo->SetCaret(1, 3);
    f.Memo->SetSelectionPresent(false);
    f.Memo->FindText("*", {}, false);
    EXPECT_EQ(f.Memo->GetSelBegin(), Point(1, 3));
    bool found = true;
    f.Memo->OnSearchEnd = [&](TObject*, bool findIt, bool) { found = findIt; };
    f.Memo->FindText("*", {}, false);
    EXPECT_FALSE(found);
    EXPECT_EQ(f.Memo->GetCaretHPos(), 4) << "a miss leaves the caret";
    EXPECT_EQ(f.Memo->GetSelBegin(), Point(1, 3)) << "and the selection";
}

TEST(HlMemoFind, AMissLeavesTheViewAlone)
{
    std::vector<std::string> lines(60, "riga");
    TEditFixture f(lines);
    f.ShowRows(10);
    f.Memo->SetVScrollPos(20);
    f.Memo->SetCaret(25, 0);
    f.Memo->FindText("assente", {}, false);
    EXPECT_EQ(f.Memo->GetVScrollPos(), 20);
    f.Memo->Lines()->SetStrings(40, "trovata");
    f.Memo->FindText("trovata", {}, false);
    EXPECT_EQ(f.Memo->GetVScrollPos(), 40);
}

TEST(HlMemoFind, ReplaceTextReplacesOneOccurrenceUnlessTheHandlerSaysNo)
{
    TEditFixture f({"uno due uno"});
    bool replaceMode = false;
    f.Memo->OnSearchEnd = [&](TObject*, bool, bool mode) { replaceMode = mode; };
    f.Memo->ReplaceText("uno", "tre", {}, false);
    EXPECT_EQ(MemoLines(f.Memo), std::vector<std::string>{"tre due uno"});
    EXPECT_TRUE(replaceMode);
    EXPECT_EQ(f.Memo->GetSelText(), "tre");
    EXPECT_EQ(f.Memo->GetCaretHPos(), 3);
    f.Memo->OnReplaceText = [](TObject*, TPoint, bool&, bool& replace) { replace = false; };
    f.Memo->ReplaceText("uno", "tre", {}, false);
    EXPECT_EQ(MemoLines(f.Memo), std::vector<std::string>{"tre due uno"});
    EXPECT_EQ(f.Memo->GetSelBegin(), Point(0, 8));
}

// Pixels of one colour in the cells of columns first..last of row 0.
int ColourInColumns(TGrab& grab, THlCustomMemo* memo, int first, int last, TColor colour)
{
    const TColor wanted = static_cast<TColor>(ColorToRGB(colour));
    int count = 0;
    for (int x = first * memo->CharWidth(); x < (last + 1) * memo->CharWidth(); ++x)
        for (int y = 0; y < memo->LineHeight(); ++y)
            if (grab.At(x, y) == wanted)
                ++count;
    return count;
}

TEST(HlMemoLinks, AddressesAreMarkedInTheirColumns)
{
    const struct {
        std::string Line;
        std::vector<std::pair<int, int>> Links;
    } cases[] = {
        {"go http://a.bc/d and x@y.it", {{3, 15}, {21, 26}}},
        {"http://a.it http://b.it", {{0, 10}, {12, 22}}},
        {"niente qui", {}},
    };
    for (const auto& c : cases) {
        TEditFixture f({c.Line}, 600, 100);
        f.Memo->EnvironmentOptions()->SetHyperlink(clRed);
        f.Memo->SetShowHyperlinks(true);
        f.Settle();
        TGrab grab(f.Memo);
        ASSERT_TRUE(grab.Valid());
        for (int col = 0; col < static_cast<int>(c.Line.size()); ++col) {
            bool inLink = false;
            for (const auto& [first, last] : c.Links)
                inLink = inLink || (col >= first && col <= last);
            const int red = ColourInColumns(grab, f.Memo, col, col, clRed);
            if (inLink)
                EXPECT_GT(red, 0) << c.Line << " column " << col;
            else
                EXPECT_EQ(red, 0) << c.Line << " column " << col;
        }
    }
}

TEST(HlMemoLinks, ARowTooDeepForTheEngineStillPaints)
{
    std::string row = "http://x.it";
    for (int i = 0; i < 30000; ++i)
        row += "/a";
    TEditFixture f({row, "http://y.it"});
    f.Memo->SetShowHyperlinks(true);
    f.Settle();
    std::string link;
    EXPECT_FALSE(f.Memo->GetHyperlinksAtPos(CellPoint(f.Memo, 0, 3).x(), CellPoint(f.Memo, 0, 3).y(), link));
    EXPECT_TRUE(f.Memo->GetHyperlinksAtPos(CellPoint(f.Memo, 1, 3).x(), CellPoint(f.Memo, 1, 3).y(), link));
    EXPECT_EQ(link, "http://y.it");
}

TEST(HlMemoLinks, CtrlClickReportsTheAddressAndCtrlShowsItsHint)
{
    TEditFixture f({"go http://a.bc/d and x@y.it", "see http://x.it/foto.JPG", "see http://x.it/p.html"}, 600, 200);
    std::vector<std::string> clicked;
    f.Memo->OnHyperlinkClick = [&](TObject*, const std::string& link) { clicked.push_back(link); };
    PressMemo(f.Memo, CellPoint(f.Memo, 0, 8), Qt::ControlModifier);
    ReleaseMemo(f.Memo, CellPoint(f.Memo, 0, 8), Qt::ControlModifier);
    PressMemo(f.Memo, CellPoint(f.Memo, 0, 23), Qt::ControlModifier);
    ReleaseMemo(f.Memo, CellPoint(f.Memo, 0, 23), Qt::ControlModifier);
    PressMemo(f.Memo, CellPoint(f.Memo, 0, 8));
    ReleaseMemo(f.Memo, CellPoint(f.Memo, 0, 8));
    EXPECT_EQ(clicked, (std::vector<std::string>{"http://a.bc/d", "x@y.it"}));

    const struct {
        int Row;
        std::string Caption;
    } hints[] = {
        {1, "Image: http://x.it/foto.JPG"},
        {2, "Link to: http://x.it/p.html"},
    };
    for (const auto& h : hints) {
        HoverMemo(f.Memo, CellPoint(f.Memo, h.Row, 8));
        QKeyEvent press(QEvent::KeyPress, Qt::Key_Control, Qt::ControlModifier);
        QCoreApplication::sendEvent(WidgetOf(f.Memo), &press);
        ASSERT_NE(f.Memo->HintWindow(), nullptr) << h.Caption;
        EXPECT_EQ(f.Memo->HintWindow()->GetText(), h.Caption);
        QKeyEvent release(QEvent::KeyRelease, Qt::Key_Control, Qt::NoModifier);
        QCoreApplication::sendEvent(WidgetOf(f.Memo), &release);
        EXPECT_EQ(f.Memo->HintWindow(), nullptr) << "released Ctrl destroys the hint";
    }
    HoverMemo(f.Memo, CellPoint(f.Memo, 0, 0));
    QKeyEvent press(QEvent::KeyPress, Qt::Key_Control, Qt::ControlModifier);
    QCoreApplication::sendEvent(WidgetOf(f.Memo), &press);
    EXPECT_EQ(f.Memo->HintWindow(), nullptr) << "no hint away from links";
    QKeyEvent release(QEvent::KeyRelease, Qt::Key_Control, Qt::NoModifier);
    QCoreApplication::sendEvent(WidgetOf(f.Memo), &release);
    Screen->SetCursor(crDefault);
}

} // namespace
