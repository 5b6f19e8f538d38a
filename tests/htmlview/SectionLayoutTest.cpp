#include "HtmlTestSupport.h"

#include "platform/gui/ScriptedDialogs.h"

#include <gtest/gtest.h>

#include <functional>
#include <sstream>

namespace {

// Every line of a section as "x<LineX> '<text>' <TextHeight>+<AboveText>+<BelowText>", lines
// separated by " | ".
std::string Lines(TSection& section)
{
    std::ostringstream out;
    for (int i = 0; i < section.LineList->Count(); ++i) {
        const LineRec& line = *section.Line(i);
        if (i > 0)
            out << " | ";
        out << 'x' << line.LineX << " '"
            << ShownChars(section.Chars.substr(static_cast<std::size_t>(line.LineStart),
                                               static_cast<std::size_t>(line.LineChars)))
            << "' " << line.TextHeight << '+' << line.AboveText << '+' << line.BelowText;
    }
    return out.str();
}

class SectionLayoutTest : public testing::Test {
protected:
    // Lays the document out from Y 0 at Width; returns its height.
    int LayOut(int Width)
    {
        int position = 0;
        FMaxWidth = 0;
        return FDoc.Doc.DoLogic(FCanvas->Canvas(), 0, Width, FMaxWidth, position, 0, 0);
    }
    TSection* Text(const std::string& Text, JustifyType Justify = PaneUn2::Left, int Level = 0)
    {
        TSection* section = FDoc.NewSection(Level, Justify);
        AddText(*section, Text, 0);
        FDoc.Doc.Add(section);
        return section;
    }
    TImageObj* Image(TSection& Section, const std::string& Tag)
    {
        return Section.AddImage(FDoc.Attrs(Tag), &FDoc.Doc, Section.CharCount, false);
    }

    TFixedMetricsScope FMetrics;
    TTestDocument FDoc;
    std::unique_ptr<TBitmap> FCanvas = NewFilledBitmap(10, 10, clWhite);
    int FMaxWidth = 0;
};

struct TLayoutCase {
    const char* Name;
    int Width;
    std::function<TSection*(SectionLayoutTest&)> Build;
    const char* Expected;
};

class LayoutTable : public SectionLayoutTest {
public:
    using SectionLayoutTest::Image;
    using SectionLayoutTest::Text;
};

TEST_F(LayoutTable, HandComputedLines)
{
    const char* const floatTag = "<IMG WIDTH=40 HEIGHT=100 ALIGN=left HSPACE=5>";
    const TLayoutCase cases[] = {
        {"a space ends the line and takes the spaces after it", 56,
         [](SectionLayoutTest& t) { return static_cast<LayoutTable&>(t).Text("aaa bbb ccc"); },
         "x0 'aaa bbb ' 13+0+0 | x0 'ccc' 13+0+0"},
        {"the line goes back to the last space", 49,
         [](SectionLayoutTest& t) { return static_cast<LayoutTable&>(t).Text("aaa bbb ccc"); },
         "x0 'aaa ' 13+0+0 | x0 'bbb ccc' 13+0+0"},
        {"a word wider than the line is never split", 30,
         [](SectionLayoutTest& t) { return static_cast<LayoutTable&>(t).Text("abcdefghij"); },
         "x0 'abcdefghij' 13+0+0"},
        {"a long word takes its spaces along", 30,
         [](SectionLayoutTest& t) { return static_cast<LayoutTable&>(t).Text("abcdefghij kl"); },
         "x0 'abcdefghij ' 13+0+0 | x0 'kl' 13+0+0"},
        {"width 5 still takes a character a line", 5,
         [](SectionLayoutTest& t) { return static_cast<LayoutTable&>(t).Text("a b c"); },
         "x0 'a ' 13+0+0 | x0 'b ' 13+0+0 | x0 'c' 13+0+0"},
        {"no-break spaces offer no break", 30,
         [](SectionLayoutTest& t) { return static_cast<LayoutTable&>(t).Text("ab\xA0" "cd ef"); },
         "x0 'ab«nb»cd ' 13+0+0 | x0 'ef' 13+0+0"},
        {"centred: trailing blanks do not count", 100,
         [](SectionLayoutTest& t) { return static_cast<LayoutTable&>(t).Text("ab  ", PaneUn2::Centered); },
         "x43 'ab  ' 13+0+0"},
        {"centred wider than the space starts at the left indent", 30,
         [](SectionLayoutTest& t) { return static_cast<LayoutTable&>(t).Text("abcdefghij", PaneUn2::Centered); },
         "x0 'abcdefghij' 13+0+0"},
        {"right alignment ends one pixel short", 100,
         [](SectionLayoutTest& t) { return static_cast<LayoutTable&>(t).Text("ab ", PaneUn2::Right); },
         "x85 'ab ' 13+0+0"},
        {"list level 1", 200,
         [](SectionLayoutTest& t) { return static_cast<LayoutTable&>(t).Text("a", PaneUn2::Left, 1); },
         "x35 'a' 13+0+0"},
        {"list level 2", 200,
         [](SectionLayoutTest& t) { return static_cast<LayoutTable&>(t).Text("a", PaneUn2::Left, 2); },
         "x70 'a' 13+0+0"},
        {"a float at the start of a paragraph narrows the lines beside it", 200,
         [floatTag](SectionLayoutTest& t) {
             auto& table = static_cast<LayoutTable&>(t);
             TSection* section = table.Text("");
             table.Image(*section, floatTag);
             AddText(*section, "aaa bbb", 1);
             return section;
         },
         "x45 '«4»aaa bbb' 13+0+0"},
        {"a float after a word starts below the line", 100,
         [floatTag](SectionLayoutTest& t) {
             auto& table = static_cast<LayoutTable&>(t);
             TSection* section = table.Text("aaa ");
             table.Image(*section, floatTag);
             AddText(*section, "bbbbbbbbbb cc", 5);
             return section;
         },
         "x0 'aaa «4»' 13+0+0 | x45 'bbbbbbbbbb ' 13+0+0 | x45 'cc' 13+0+0"},
        {"inline image at the bottom", 200,
         [](SectionLayoutTest& t) {
             auto& table = static_cast<LayoutTable&>(t);
             TSection* section = table.Text("ab");
             table.Image(*section, "<IMG WIDTH=10 HEIGHT=30>");
             return section;
         },
         "x0 'ab«4»' 13+20+0"},
        {"inline image at the top", 200,
         [](SectionLayoutTest& t) {
             auto& table = static_cast<LayoutTable&>(t);
             TSection* section = table.Text("ab");
             table.Image(*section, "<IMG WIDTH=10 HEIGHT=30 ALIGN=top>");
             return section;
         },
         "x0 'ab«4»' 13+0+17"},
        {"inline image in the middle", 200,
         [](SectionLayoutTest& t) {
             auto& table = static_cast<LayoutTable&>(t);
             TSection* section = table.Text("ab");
             table.Image(*section, "<IMG WIDTH=10 HEIGHT=30 ALIGN=middle>");
             return section;
         },
         "x0 'ab«4»' 13+9+8"},
        {"a line of an image only has no text height", 200,
         [](SectionLayoutTest& t) {
             auto& table = static_cast<LayoutTable&>(t);
             TSection* section = table.Text("");
             table.Image(*section, "<IMG WIDTH=10 HEIGHT=30>");
             return section;
         },
         "x0 '«4»' 0+30+0"},
    };
    for (const TLayoutCase& c : cases) {
        SCOPED_TRACE(c.Name);
        FDoc.Doc.Clear();
        TSection* section = c.Build(*this);
        LayOut(c.Width);
        EXPECT_EQ(Lines(*section), c.Expected);
    }
}

TEST_F(SectionLayoutTest, WidthsHeightsAndFloatsBelowTheLine)
{
    TSection* wide = Text("abcdefghij");
    EXPECT_EQ(LayOut(30), 13);
    EXPECT_EQ(FMaxWidth, 70) << "the document scrolls sideways to the word";

    FDoc.Doc.Clear();
    TSection* section = Text("aaa ");
    Image(*section, "<IMG WIDTH=40 HEIGHT=100 ALIGN=left HSPACE=5 VSPACE=2>");
    AddText(*section, "bbbbbbbbbb cc", 5);
    const int height = LayOut(100);
    EXPECT_EQ(section->Line(0)->LinePaintHeight, 13 + 100 + 4) << "the float hangs from the line's bottom";
    EXPECT_EQ(section->FlowHeight, 39);
    EXPECT_EQ(section->PaintHeight, 13 + 104);
    EXPECT_EQ(height, 117) << "the cell counts the float hanging below";
    (void)wide;
}

TEST_F(SectionLayoutTest, ClearSkipsBelowTheFloat)
{
    TSection* floated = FDoc.NewSection();
    floated->AddImage(FDoc.Attrs("<IMG WIDTH=40 HEIGHT=100 ALIGN=left>"), &FDoc.Doc, 0, false);
    FDoc.Doc.Add(floated);
    TSection* cleared = FDoc.NewSection();
    AddText(*cleared, "x", 1);
    cleared->ClearKind = clLeft;
    FDoc.Doc.Add(cleared);

    IndentManager margins;
    margins.Reset(0, 300);
    margins.CellWidth = 300;
    int maxWidth = 0, position = 0;
    floated->DrawLogic(FCanvas->Canvas(), 0, &margins, maxWidth, position);
    EXPECT_EQ(cleared->DrawLogic(FCanvas->Canvas(), 20, &margins, maxWidth, position), 80 + 13);
    EXPECT_EQ(Lines(*cleared), "x0 '' 80+0+0 | x0 'x' 13+0+0");

    TSection* empty = FDoc.NewSection();
    FDoc.Doc.Add(empty);
    EXPECT_EQ(empty->DrawLogic(FCanvas->Canvas(), 0, &margins, maxWidth, position), 0);
    empty->ClearKind = clAll;
    EXPECT_EQ(empty->DrawLogic(FCanvas->Canvas(), 30, &margins, maxWidth, position), 70);
}

TEST_F(SectionLayoutTest, ACheckBoxOnTheBaselineNeedsRoomAbove)
{
    TCustomControl surface(nullptr);
    TSectionList doc(&FDoc.Viewer, &surface);
    doc.SetFonts("Arial", "Courier New", 12, clBlack, clBlue, clPurple, clRed, clWhite, false);
    doc.CurrentParser = &FDoc.Parser;
    auto* section = new TSection(&doc, 0, &FDoc.BaseFont, nullptr, PaneUn2::Left);
    AddText(*section, "ab", 0);
    TFormControlObj* box =
        section->AddFormControl(Symb::InputSy, &doc, FDoc.Attrs("<INPUT TYPE=checkbox>"), &doc, 2, false);
    doc.Add(section);
    int maxWidth = 0, position = 0;
    doc.DoLogic(FCanvas->Canvas(), 0, 300, maxWidth, position, 0, 0);
    ASSERT_NE(box->WinControl, nullptr);
    EXPECT_EQ(Lines(*section), "x0 'ab«2»' 13+3+0");
    doc.Clear();
}

TEST_F(SectionLayoutTest, StrayListItemAndMinMaxWidths)
{
    PaneUn2::ListIndent = 15;
    TSection* stray = Text("a", PaneUn2::Left, 1);
    PaneUn2::ListIndent = 35;
    LayOut(200);
    EXPECT_EQ(Lines(*stray), "x15 'a' 13+0+0");

    TSection* item = Text("ab abcd abc", PaneUn2::Left, 1);
    int minWidth = 0, maxWidth = 0;
    item->MinMaxWidth(FCanvas->Canvas(), minWidth, maxWidth);
    EXPECT_EQ(minWidth, 4 * 7 + 35);
    EXPECT_EQ(maxWidth, 11 * 7 + 35);
    TSection* none = Text("");
    none->MinMaxWidth(FCanvas->Canvas(), minWidth, maxWidth);
    EXPECT_EQ(minWidth + maxWidth, 0);
}

TEST_F(SectionLayoutTest, SectionBandsAndPositionsByIndex)
{
    for (int height : {10, 20, 30}) {
        auto* gap = new TParagraphSpace(&FDoc.Doc);
        FDoc.Doc.Add(gap);
        gap->FlowHeight = height;
    }
    LayOut(200);
    EXPECT_EQ(FDoc.Doc.FindPositionByIndex(0), 0);
    EXPECT_EQ(FDoc.Doc.FindPositionByIndex(-3), 0);
    EXPECT_EQ(FDoc.Doc.FindPositionByIndex(2), 30);
    EXPECT_EQ(FDoc.Doc.FindPositionByIndex(7), 30);
    int top = -1, index = -1;
    EXPECT_EQ(FDoc.Doc.FindSectionAtPosition(35, top, index), FDoc.Doc.Section(2));
    EXPECT_EQ(top, 30);
    EXPECT_EQ(index, 2);
    EXPECT_EQ(FDoc.Doc.FindSectionAtPosition(59, top, index), FDoc.Doc.Section(2));
    EXPECT_EQ(FDoc.Doc.FindSectionAtPosition(60, top, index), nullptr) << "the bottom of the last band";
}

// Raises the error a table with too many columns raises.
class TFailingSection : public TSectionBase {
    TESS_CLASS(TFailingSection, TSectionBase)
public:
    using TSectionBase::TSectionBase;
    int DrawLogic(TCanvas*, int, IndentManager*, int&, int&) override
    {
        RAISE(EProcessError("Table has too many Columns"));
    }
};

TEST_F(SectionLayoutTest, ABlockThatCannotBeLaidOutIsReportedAndDropped)
{
    auto* dialogs = new TScriptedDialogs;
    dialogs->Expect(TDialogKind::MessageDlg, TDialogAnswer::Code(mrOk), "Table has too many Columns");
    std::unique_ptr<IDialogService> previous = SetDialogService(std::unique_ptr<IDialogService>(dialogs));
    TSection* first = Text("one");
    FDoc.Doc.Add(new TFailingSection(&FDoc.Doc));
    TSection* third = Text("three");
    EXPECT_EQ(LayOut(200), 26);
    const std::vector<TDialogRequestRecord> requests = dialogs->Requests();
    const bool satisfied = dialogs->Satisfied();
    SetDialogService(std::move(previous));
    EXPECT_TRUE(satisfied);
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].DlgType, mtError);
    EXPECT_EQ(requests[0].DlgButtons, TMsgDlgButtons{mbOK});
    ASSERT_EQ(FDoc.Doc.Count(), 2);
    EXPECT_EQ(FDoc.Doc.Section(1), third);
    EXPECT_EQ(third->TopY, first->TopY + 13) << "the first and third sections are adjacent";
    EXPECT_EQ(third->FirstPos, 3);
}

TEST_F(SectionLayoutTest, LongWordsAndManyLinesLayOutWhole)
{
    TSection* word = Text(std::string(200000, 'w'));
    TSection* lines = FDoc.NewSection();
    std::string many;
    for (int i = 0; i < 20000; ++i)
        many += "a ";
    AddText(*lines, many, 0);
    FDoc.Doc.Add(lines);
    LayOut(10);
    EXPECT_EQ(word->LineList->Count(), 1);
    EXPECT_EQ(FMaxWidth, 200000 * 7);
    EXPECT_EQ(lines->LineList->Count(), 20000);
    EXPECT_EQ(lines->Line(19999)->LineStart, 39998);
}

TEST_F(SectionLayoutTest, NegativeAndZeroWidthsStillPlaceEveryCharacter)
{
    TSection* section = Text("ab cd");
    for (int width : {0, -50}) {
        SCOPED_TRACE(width);
        LayOut(width);
        int total = 0;
        for (int i = 0; i < section->LineList->Count(); ++i)
            total += section->Line(i)->LineChars;
        EXPECT_EQ(total, section->CharCount);
    }
}

} // namespace
