// Tables parsed from HTML and laid out with the fixed metrics (7 pixels a character, lines 13
// high): column widths, row heights, placement, hit tests and the reading order of searches and
// copies. "aaaa bb" is 28 wide at least and 49 at most; a cell adds 4 with the default padding
// and spacing.

#include "HtmlTestSupport.h"

#include "platform/gui/ScriptedDialogs.h"

#include <gtest/gtest.h>

#include <random>
#include <sstream>
#include <vector>

namespace {

ThtmlTable* FirstTable(TCell& Cell)
{
    for (int i = 0; i < Cell.Count(); ++i)
        if (auto* table = dynamic_cast<ThtmlTable*>(Cell.Section(i)))
            return table;
    return nullptr;
}

// The text section holding Text, looked for in the cells of tables too.
TSection* SectionWith(TCell& Cell, const std::string& Text)
{
    for (int i = 0; i < Cell.Count(); ++i) {
        TSectionBase* base = Cell.Section(i);
        if (auto* section = dynamic_cast<TSection*>(base);
            section != nullptr && section->Chars.substr(0, static_cast<std::size_t>(section->CharCount)).find(Text) !=
                                      std::string::npos)
            return section;
        if (auto* table = dynamic_cast<ThtmlTable*>(base)) {
            if (TSection* found = SectionWith(*table->Caption->Cell, Text))
                return found;
            for (int r = 0; r < table->Rows->Count(); ++r)
                for (int c = 0; c < table->Row(r)->Count(); ++c)
                    if (TCellObj* cell = table->Row(r)->CellObj(c); cell != nullptr && cell->ColSpan > 0)
                        if (TSection* found = SectionWith(*cell->Cell, Text))
                            return found;
        }
    }
    return nullptr;
}

std::string WidthsOf(const ThtmlTable& table)
{
    std::ostringstream out;
    for (int i = 0; i < table.NumCols; ++i)
        out << (i > 0 ? " " : "") << table.Widths[static_cast<std::size_t>(i)];
    return out.str();
}

class TableLayoutTest : public testing::Test {
protected:
    // Parses html and lays it out at Width from Y 0.
    TParsedPage& Page(const std::string& html, int width)
    {
        FPage = ParseHtmlHere(html);
        LayOut(width);
        return *FPage;
    }
    int LayOut(int width)
    {
        int position = 0;
        FMaxWidth = 0;
        return FPage->Doc.DoLogic(FCanvas->Canvas(), 0, width, FMaxWidth, position, 0, 0);
    }
    void Paint() { FPage->Doc.Draw(FCanvas->Canvas(), Rect(0, 0, 600, 400), 6000, 0, 0); }
    ThtmlTable& Table()
    {
        ThtmlTable* table = FirstTable(FPage->Doc);
        EXPECT_NE(table, nullptr);
        return *table;
    }
    std::string UrlAt(int X, int Y)
    {
        TUrlTarget* link = nullptr;
        TImageFormControlObj* control = nullptr;
        if (!FPage->Doc.GetURL(FCanvas->Canvas(), X, Y, link, control) || link == nullptr)
            return "";
        std::unique_ptr<TUrlTarget> owned(link);
        return owned->Url;
    }
    int PositionOf(const std::string& Text)
    {
        TSection* section = SectionWith(FPage->Doc, Text);
        EXPECT_NE(section, nullptr) << Text;
        return section == nullptr ? -1
                                  : section->FirstPos + static_cast<int>(section->Chars.find(Text));
    }

    TFixedMetricsScope FMetrics;
    std::unique_ptr<TParsedPage> FPage;
    std::unique_ptr<TBitmap> FCanvas = NewFilledBitmap(600, 400, clWhite);
    int FMaxWidth = 0;
};

struct TWidthCase {
    const char* Name;
    const char* Html;
    int Width;
    const char* Widths;
    int GridWidth;
};

TEST_F(TableLayoutTest, ColumnWidths)
{
    const TWidthCase cases[] = {
        {"room enough: every column at its maximum", "<TABLE><TR><TD>aaaa bb<TD>aaaa</TABLE>", 600, "53 32", 87},
        {"a narrow space: the spare in proportion to max - min", "<TABLE><TR><TD>aaaa bb<TD>aaaa</TABLE>", 76,
         "42 32", 76},
        {"narrower than the minimum: every column at its minimum", "<TABLE><TR><TD>aaaa bb<TD>aaaa</TABLE>", 40,
         "32 32", 66},
        {"a cell at 50%: the table takes its natural width",
         "<TABLE><TR><TD WIDTH=50%>aaaa bb<TD>aaaa bb aaaa</TABLE>", 600, "88 88", 178},
        {"WIDTH=100%: a spare above twice max - min is shared evenly",
         "<TABLE WIDTH=100%><TR><TD>aaaa bb<TD>aaaa</TABLE>", 600, "299 299", 600},
        {"a table width: a small spare goes in proportion to max - min",
         "<TABLE WIDTH=100><TR><TD>aaaa bb<TD>aaaa</TABLE>", 600, "66 32", 100},
        {"a spanning cell widens its columns in proportion",
         "<TABLE><TR><TD COLSPAN=2>aaaaaaaaaaaaaaaaaaaa<TR><TD>aa<TD>aaaa</TABLE>", 600, "52 92", 146},
        {"a table width of 5 is taken as 20", "<TABLE WIDTH=5><TR><TD></TD><TD></TD></TABLE>", 600, "10 10", 22},
        {"shares over 1000 are ignored", "<TABLE><TR><TD WIDTH=80%>aaaa bb<TD WIDTH=80%>aaaa</TABLE>", 76,
         "42 32", 76},
        {"pixel widths in room: the maximum", "<TABLE><TR><TD WIDTH=100>a<TD WIDTH=200>a<TD>aaaa bb</TABLE>", 600,
         "104 204 53", 363},
        {"pixel widths in between: interpolated",
         "<TABLE><TR><TD WIDTH=100>a<TD WIDTH=200>a<TD>aaaa bb</TABLE>", 352, "104 204 42", 352},
        {"pixel widths short of room: the minimum",
         "<TABLE><TR><TD WIDTH=100>a<TD WIDTH=200>a<TD>aaaa bb</TABLE>", 300, "104 204 32", 342},
        {"shares pinned at their minimum: the spare goes to the first column",
         "<TABLE WIDTH=100><TR><TD WIDTH=10%>aaaa bb<TD WIDTH=10%>aaaa</TABLE>", 600, "66 32", 100},
    };
    for (const TWidthCase& c : cases) {
        SCOPED_TRACE(c.Name);
        Page(c.Html, c.Width);
        EXPECT_EQ(WidthsOf(Table()), c.Widths);
        EXPECT_EQ(Table().GridWidth, c.GridWidth);
    }
}

TEST_F(TableLayoutTest, ExtraMinimumOverColumnsWithoutMaximumIsSpreadEvenly)
{
    // The spanning cell has a share no larger than the columns', so columns 2 and 3 stay without
    // one; they have no cells of their own, so their maximum widths are 0.
    Page("<TABLE><TR><TD COLSPAN=3 WIDTH=10%>aaaaaaaaaa<TR><TD WIDTH=20%>a</TABLE>", 600);
    ThtmlTable& table = Table();
    TColumnWidths minW{}, maxW{};
    int totalMin = 0, totalMax = 0;
    table.GetWidths(FCanvas->Canvas(), totalMin, totalMax, minW, maxW, 598);
    EXPECT_EQ(minW[0], 11);
    EXPECT_EQ(minW[1], 31);
    EXPECT_EQ(minW[2], 32);
    EXPECT_EQ(totalMin, 74);
    for (int i = 0; i < 3; ++i)
        EXPECT_GE(table.Widths[static_cast<std::size_t>(i)], 0) << i;
}

// Random tables of shares, pixel widths and spans: no column gets a negative width, and a table
// with a width of its own fills it exactly whenever its minimum fits.
TEST_F(TableLayoutTest, RandomTablesNeverGiveNegativeWidths)
{
    std::mt19937 random(62);
    const char* const contents[] = {"", "a", "aaaa bb", "aaaaaaaaaaaaaaaaaa", "aa aa aa aa"};
    for (int round = 0; round < 150; ++round) {
        std::ostringstream html;
        const bool tableWidth = random() % 2 == 0;
        html << "<TABLE CELLSPACING=" << random() % 4 << " CELLPADDING=" << random() % 3;
        if (tableWidth)
            html << " WIDTH=" << (random() % 2 == 0 ? std::to_string(random() % 101) + "%" : std::to_string(random() % 400));
        html << ">";
        const int rows = 1 + static_cast<int>(random() % 3);
        for (int r = 0; r < rows; ++r) {
            html << "<TR>";
            const int cells = 1 + static_cast<int>(random() % 4);
            for (int c = 0; c < cells; ++c) {
                html << "<TD";
                switch (random() % 5) {
                case 0:
                    html << " WIDTH=" << random() % 120 << "%";
                    break;
                case 1:
                    html << " WIDTH=" << random() % 150;
                    break;
                case 2:
                    html << " COLSPAN=" << 2 + random() % 3;
                    break;
                default:
                    break;
                }
                html << ">" << contents[random() % std::size(contents)];
            }
        }
        html << "</TABLE>";
        const int width = 10 + static_cast<int>(random() % 500);
        SCOPED_TRACE(html.str() + " at " + std::to_string(width));
        Page(html.str(), width);
        ThtmlTable* table = FirstTable(FPage->Doc);
        if (table == nullptr)
            continue;
        int total = 0;
        for (int i = 0; i < table->NumCols; ++i) {
            EXPECT_GE(table->Widths[static_cast<std::size_t>(i)], 0) << i;
            total += table->Widths[static_cast<std::size_t>(i)];
        }
        if (table->SpecWidth >= 1) {
            const int theWidth = std::max(20, (table->WidthAsPercent ? MulDiv(width, table->SpecWidth, 1000)
                                                                     : table->SpecWidth) -
                                                  table->CellSpacing);
            TColumnWidths minW{}, maxW{};
            int totalMin = 0, totalMax = 0;
            table->GetWidths(FCanvas->Canvas(), totalMin, totalMax, minW, maxW, theWidth);
            if (totalMin < theWidth) {
                EXPECT_EQ(total, theWidth);
            }
        }
    }
}

TEST_F(TableLayoutTest, RowHeights)
{
    struct TCase {
        const char* Name;
        const char* Html;
        std::vector<int> Rows;
    } cases[] = {
        {"a cell spanning two rows shares what it needs more",
         "<TABLE CELLPADDING=0 CELLSPACING=0><TR><TD HEIGHT=20>a<TD ROWSPAN=2 HEIGHT=70>b<TR><TD HEIGHT=30>c</TABLE>",
         {30, 40}},
        {"HEIGHT stretches every row, the last taking the rest",
         "<TABLE CELLPADDING=0 CELLSPACING=0 HEIGHT=100><TR><TD HEIGHT=20>a<TR><TD HEIGHT=20>b"
         "<TR><TD HEIGHT=20>c</TABLE>",
         {33, 33, 34}},
        // The viewer is 400 high with margins of 5: (400 - 10 - 0 - 3) * 10% = 39 (38.7 rounded).
        {"HEIGHT in percent of the viewer's height",
         "<TABLE CELLPADDING=0 CELLSPACING=0 HEIGHT=10%><TR><TD>a<TR><TD>b</TABLE>", {19, 20}},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        Page(c.Html, 600);
        ThtmlTable& table = Table();
        std::vector<int> rows;
        for (int r = 0; r < table.Rows->Count(); ++r)
            rows.push_back(table.Row(r)->RowHeight);
        EXPECT_EQ(rows, c.Rows);
    }
}

TEST_F(TableLayoutTest, ATableWithoutRowsAndAHeightLaysOut)
{
    Page("<TABLE HEIGHT=100></TABLE>x<TABLE HEIGHT=50%><CAPTION>c</CAPTION></TABLE>", 600);
    TTestDocument doc;
    auto* table = new ThtmlTable(&doc.Doc, doc.Attrs("<TABLE HEIGHT=100 BORDER=1>"), PaneUn2::Left, &doc.Doc, 0);
    doc.Doc.Add(table);
    int maxWidth = 0, position = 0;
    EXPECT_EQ(doc.Doc.DoLogic(FCanvas->Canvas(), 0, 300, maxWidth, position, 0, 0), table->CellSpacing);
    doc.Doc.Draw(FCanvas->Canvas(), Rect(0, 0, 600, 400), 300, 0, 0);
}

TEST_F(TableLayoutTest, PlacementAndAlignment)
{
    // A middle-aligned cell in a row 40 taller than its content.
    Page("<TABLE CELLPADDING=0 CELLSPACING=0><TR><TD HEIGHT=53 VALIGN=middle>a</TABLE>", 600);
    EXPECT_EQ(SectionWith(FPage->Doc, "a")->TopY, Table().TopY + 20);

    // A caption wider than the grid centres the grid under it.
    Page("<TABLE><CAPTION>cccccccccccccccccccc</CAPTION><TR><TD>a</TABLE>", 600);
    EXPECT_EQ(Table().TableWidth, 140);
    EXPECT_EQ(Table().GridWidth, 13);
    EXPECT_EQ(Table().GridLeft - Table().TableLeft, 63);
    EXPECT_EQ(SectionWith(FPage->Doc, "a")->TopY, Table().TopY + 13 + 3);

    // At the bottom the caption comes after the grid.
    Page("<TABLE><CAPTION ALIGN=bottom>cc</CAPTION><TR><TD>a</TABLE>", 600);
    EXPECT_FALSE(Table().CaptionAtTop);
    EXPECT_EQ(Table().BodyHeight, 13 + 4 + 2);
    EXPECT_EQ(SectionWith(FPage->Doc, "cc")->TopY, Table().TopY + Table().BodyHeight);
    EXPECT_EQ(SectionWith(FPage->Doc, "a")->TopY, Table().TopY + 3);
    EXPECT_EQ(Table().FlowHeight, 19 + 13);

    // ALIGN=RIGHT puts a narrow table against the right margin.
    Page("<TABLE ALIGN=RIGHT><TR><TD>a</TABLE>", 600);
    EXPECT_EQ(Table().TableLeft, 600 - 13);

    // ALIGN=CENTER centres it.
    Page("<TABLE ALIGN=CENTER><TR><TD>a</TABLE>", 600);
    EXPECT_EQ(Table().TableLeft, (600 - 13) / 2);
}

TEST_F(TableLayoutTest, AFloatingTableLetsTextFlowBesideIt)
{
    Page("<TABLE ALIGN=left HSPACE=5><TR><TD>aaaa<TR><TD>bbbb</TABLE>after the table", 600);
    ThtmlTable& table = Table();
    EXPECT_EQ(table.FlowHeight, 0);
    EXPECT_EQ(table.PaintHeight, 2 * 17 + 2);
    TSection* after = SectionWith(FPage->Doc, "after");
    EXPECT_EQ(after->TopY, table.TopY);
    EXPECT_EQ(after->Line(0)->LineX, table.TableWidth + 5 + 1);
    Paint();
    int caretX = 0, caretY = 0, caretHeight = 0;
    TCell* cell = nullptr;
    bool inText = false;
    EXPECT_EQ(table.FindCursor(FCanvas->Canvas(), 5, 10, caretX, caretY, caretHeight, cell, inText), -1);
}

TEST_F(TableLayoutTest, LinksAreFoundWhereTheyArePainted)
{
    for (const char* html :
         {"<TABLE><CAPTION>caption</CAPTION><TR><TD>a<TD>b<TR><TD><A HREF=\"x.htm\">link</A><TD>d</TABLE>",
          "text<TABLE ALIGN=left VSPACE=10><TR><TD>a<TD>b<TR><TD><A HREF=\"x.htm\">link</A><TD>d</TABLE>beside",
          "<TABLE><CAPTION ALIGN=bottom>caption</CAPTION><TR><TD>a<TD>b<TR><TD><A HREF=\"x.htm\">link</A>"
          "<TD>d</TABLE>"}) {
        SCOPED_TRACE(html);
        Page(html, 600);
        Paint();
        const LineRec& line = *SectionWith(FPage->Doc, "link")->Line(0);
        EXPECT_EQ(UrlAt(line.DrawX + 3, line.DrawY + 3), "x.htm");
        EXPECT_EQ(UrlAt(line.DrawX + 3, line.DrawY - 8), "");
        const LineRec& other = *SectionWith(FPage->Doc, "d")->Line(0);
        EXPECT_EQ(UrlAt(other.DrawX + 3, other.DrawY + 3), "");
        int caretX = 0, caretY = 0, caretHeight = 0;
        TCell* cell = nullptr;
        bool inText = false;
        const int position =
            FPage->Doc.FindCursor(FCanvas->Canvas(), line.DrawX + 1, line.DrawY + 3, caretX, caretY, caretHeight,
                                  cell, inText);
        if (FirstTable(FPage->Doc)->Float)
            continue; // a floating table takes no place in the flow
        int x = 0, y = 0;
        ASSERT_TRUE(FPage->Doc.CursorToXY(FCanvas->Canvas(), PositionOf("link") + 1, x, y));
        EXPECT_EQ(x, line.DrawX + 7);
        EXPECT_EQ(y, line.DrawY);
        EXPECT_EQ(position, PositionOf("link"));
        EXPECT_EQ(caretY, line.DrawY);
    }
}

TEST_F(TableLayoutTest, SearchesAndCopiesGoInReadingOrder)
{
    const std::string html = "<TABLE><CAPTION>kcap</CAPTION><TR><TD>k11<TD>k12<TR><TD>k21<TD>k22</TABLE>";
    Page(html, 600);
    std::vector<int> found;
    for (int from = 0;;) {
        const int at = FPage->Doc.FindString(from, "k", false);
        if (at < 0)
            break;
        found.push_back(at);
        from = at + 1;
    }
    EXPECT_EQ(found, (std::vector<int>{PositionOf("kcap"), PositionOf("k11"), PositionOf("k12"), PositionOf("k21"),
                                       PositionOf("k22")}));
    EXPECT_LT(PositionOf("kcap"), PositionOf("k11"));

    Page("<TABLE><CAPTION ALIGN=bottom>kcap</CAPTION><TR><TD>k11<TD>k12<TR><TD>k21<TD>k22</TABLE>", 600);
    EXPECT_LT(PositionOf("k22"), PositionOf("kcap"));
    EXPECT_EQ(FPage->Doc.FindString(0, "k", false), PositionOf("k11"));
    EXPECT_EQ(FPage->Doc.FindString(PositionOf("k22") + 1, "k", false), PositionOf("kcap"));

    // Markup between two cells snaps back to the end of the first and forward to the second.
    Page(html, 600);
    const int tag = static_cast<int>(html.find("<TD>k12"));
    EXPECT_EQ(FPage->Doc.FindDocPos(tag, true), PositionOf("k11") + 2);
    EXPECT_EQ(FPage->Doc.FindDocPos(tag, false), PositionOf("k12"));
    EXPECT_EQ(FPage->Doc.FindSourcePos(PositionOf("k21")), static_cast<int>(html.find("k21")));

    Paint();
    FPage->Doc.SelStart = 0;
    FPage->Doc.SelEnd = 1000;
    std::string text(static_cast<std::size_t>(FPage->Doc.GetSelLength()) + 1, ' ');
    FPage->Doc.GetSelTextBuf(text.data(), static_cast<int>(text.size()));
    std::size_t last = 0;
    for (const char* word : {"kcap", "k11", "k12", "k21", "k22"}) {
        const std::size_t at = text.find(word);
        ASSERT_NE(at, std::string::npos) << word << " in " << text;
        EXPECT_GE(at, last) << word;
        last = at;
    }
    char ch = 0;
    TObject* obj = nullptr;
    ASSERT_TRUE(FPage->Doc.GetChAtPos(PositionOf("k21") + 1, ch, obj));
    EXPECT_EQ(ch, '2');
}

TEST_F(TableLayoutTest, ATableOfTooManyColumnsIsReportedAndDropped)
{
    std::string html = "first<TABLE><TR>";
    for (int i = 0; i < 201; ++i)
        html += "<TD>c";
    html += "</TABLE>third";
    auto* dialogs = new TScriptedDialogs;
    dialogs->Expect(TDialogKind::MessageDlg, TDialogAnswer::Code(mrOk), "Table has too many Columns");
    std::unique_ptr<IDialogService> previous = SetDialogService(std::unique_ptr<IDialogService>(dialogs));
    Page(html, 600);
    const bool satisfied = dialogs->Satisfied();
    const std::size_t requests = dialogs->Requests().size();
    SetDialogService(std::move(previous));
    EXPECT_TRUE(satisfied);
    EXPECT_EQ(requests, 1u);
    EXPECT_EQ(FirstTable(FPage->Doc), nullptr);
    TSection* first = SectionWith(FPage->Doc, "first");
    TSection* third = SectionWith(FPage->Doc, "third");
    EXPECT_EQ(third->TopY, first->TopY + first->FlowHeight);
}

TEST_F(TableLayoutTest, NestedTablesAreMeasuredOncePerLayout)
{
    std::string html;
    for (int i = 0; i < 16; ++i)
        html += "<TABLE><TR><TD>a<TD>";
    html += "aaaa bb";
    for (int i = 0; i < 16; ++i)
        html += "</TABLE>";
    Page(html, 600);
    // The innermost table is 2 + 11 + 53 wide; each level around it adds its spacing, its cell "a"
    // and the padding and spacing of the cell holding the inner table: 2 + 11 + 4.
    ThtmlTable& outer = Table();
    int min = 0, max = 0;
    outer.MinMaxWidth(FCanvas->Canvas(), min, max);
    EXPECT_EQ(max, outer.GridWidth);
    EXPECT_EQ(max, 66 + 15 * 17);
}

} // namespace
