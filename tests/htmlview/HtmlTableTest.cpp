#include "HtmlTestSupport.h"

#include <gtest/gtest.h>

#include <vector>

#if defined(__SANITIZE_ADDRESS__)
extern "C" std::size_t __sanitizer_get_current_allocated_bytes();
#else
#include <malloc.h>
#endif

namespace {

// Bytes the program holds on the heap now.
std::size_t HeapBytesInUse()
{
#if defined(__SANITIZE_ADDRESS__)
    return __sanitizer_get_current_allocated_bytes();
#else
    return mallinfo2().uordblks;
#endif
}

using TRowTags = std::vector<std::string>;

class HtmlTableTest : public testing::Test {
protected:
    TFixedMetricsScope FMetrics;
    TTestDocument FDoc;

    // A table as the parser fills it: one row per entry of rows, a row's first tag being its TR
    // and the others its cells.
    ThtmlTable* Table(const std::string& tableTag, const std::vector<TRowTags>& rows, TCell* outer = nullptr)
    {
        auto* table =
            new ThtmlTable(&FDoc.Doc, FDoc.Attrs(tableTag), PaneUn2::Left, outer != nullptr ? outer : &FDoc.Doc, 0);
        for (const TRowTags& tags : rows) {
            auto* row = new TCellList;
            row->DoAttributes(FDoc.Attrs(tags.at(0)));
            for (std::size_t i = 1; i < tags.size(); ++i)
                row->Add(new TCellObj(&FDoc.Doc, PaneUn2::AMiddle, FDoc.Attrs(tags[i])));
            table->Rows->Add(row);
        }
        FTables.emplace_back(table);
        return table;
    }

    // Rows separated by "|": "cCxR" for a cell, "-" for a nil entry, "dR" for a dummy.
    static std::string Grid(ThtmlTable& table)
    {
        std::string grid;
        for (int r = 0; r < table.Rows->Count(); ++r) {
            if (r > 0)
                grid += " |";
            for (int c = 0; c < table.Row(r)->Count(); ++c) {
                const TCellObj* entry = table.Row(r)->CellObj(c);
                if (entry == nullptr)
                    grid += " -";
                else if (entry->ColSpan == 0)
                    grid += " d" + std::to_string(entry->RowSpan);
                else
                    grid += " c" + std::to_string(entry->ColSpan) + "x" + std::to_string(entry->RowSpan);
            }
        }
        return grid;
    }

    std::vector<std::unique_ptr<ThtmlTable>> FTables;
};

TEST_F(HtmlTableTest, SpansBecomeARegularGrid)
{
    const struct {
        const char* Name;
        std::vector<TRowTags> Rows;
        const char* Grid;
        int Columns;
    } cases[] = {
        {"COLSPAN 3 and 1", {{"<TR>", "<TD COLSPAN=3>", "<TD>"}}, " c3x1 - - c1x1", 4},
        {"ROWSPAN 2 pushes the next row",
         {{"<TR>", "<TD ROWSPAN=2>", "<TD>"}, {"<TR>", "<TD>"}},
         " c1x2 c1x1 | d0 c1x1",
         2},
        {"ROWSPAN 2 over an empty row", {{"<TR>", "<TD>", "<TD ROWSPAN=2>"}, {"<TR>"}}, " c1x1 c1x2 | d0 d0", 2},
        {"ROWSPAN 5 in the second-to-last row",
         {{"<TR>", "<TD>"}, {"<TR>", "<TD ROWSPAN=5>"}, {"<TR>", "<TD>"}},
         " c1x1 | c1x2 | d0 c1x1",
         2},
        {"a 2 x 2 block",
         {{"<TR>", "<TD COLSPAN=2 ROWSPAN=2>", "<TD>"}, {"<TR>", "<TD>"}},
         " c2x2 d2 c1x1 | d0 d0 c1x1",
         3},
        {"COLSPAN and ROWSPAN of 1 or less are ignored",
         {{"<TR>", "<TD COLSPAN=0 ROWSPAN=-1>", "<TD COLSPAN=1>"}},
         " c1x1 c1x1",
         2},
        // A cell pushed right by a span from above reserves the rows it spans itself.
        {"a pushed cell still spans",
         {{"<TR>", "<TD ROWSPAN=3>", "<TD>"}, {"<TR>", "<TD>", "<TD ROWSPAN=2>"}, {"<TR>", "<TD>", "<TD>"}},
         " c1x3 c1x1 | d0 c1x1 c1x2 | d0 c1x1 d0 c1x1",
         4},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        ThtmlTable* table = Table("<TABLE>", c.Rows);
        table->AddDummyCells();
        EXPECT_EQ(Grid(*table), c.Grid);
        EXPECT_EQ(table->NumCols, c.Columns);
        EXPECT_TRUE(table->GridReady);
        table->AddDummyCells();
        EXPECT_EQ(Grid(*table), c.Grid) << "a second call changes nothing";
    }
}

TEST_F(HtmlTableTest, CellAttributes)
{
    const struct {
        const char* Tag;
        int SpecWidth;
        bool Percent;
        int SpecHeight;
    } cases[] = {
        {"<TD WIDTH=\"50%\">", 500, true, 0},
        {"<TD WIDTH=\"150%\">", 0, false, 0},
        {"<TD WIDTH=0>", 0, false, 0},
        {"<TD WIDTH=80 HEIGHT=30>", 80, false, 30},
        {"<TD WIDTH=-5 HEIGHT=-7>", 0, false, -7},
        {"<TD WIDTH=\"0%\">", 0, false, 0},
    };
    for (const auto& c : cases) {
        TCellObj cell(&FDoc.Doc, PaneUn2::ATop, FDoc.Attrs(c.Tag));
        EXPECT_EQ(cell.SpecWidth, c.SpecWidth) << c.Tag;
        EXPECT_EQ(cell.WidthAsPercent, c.Percent) << c.Tag;
        EXPECT_EQ(cell.SpecHeight, c.SpecHeight) << c.Tag;
    }
}

TEST_F(HtmlTableTest, TableAttributes)
{
    TCell nested(&FDoc.Doc);
    const struct {
        const char* Tag;
        bool Nested;
        const char* Dump;
    } cases[] = {
        {"<TABLE>", false,
         "justify=left float=no border=no spacing=2 padding=1 width=0 height=0 hspace=5 vspace=0 color=none"},
        {"<TABLE HEIGHT=\"50%\">", false, "height=500%"},
        {"<TABLE HEIGHT=\"50%\">", true, "height=50 "},
        {"<TABLE HEIGHT=\"200%\">", false, "height=200 "},
        {"<TABLE CELLSPACING=100>", false, "spacing=40 "},
        {"<TABLE CELLSPACING=100 BORDER=1>", false, "border=yes spacing=42 "},
        {"<TABLE BORDER=0 CELLSPACING=-3 CELLPADDING=99>", false, "border=no spacing=2 padding=50 "},
        {"<TABLE CELLPADDING=-1>", false, "padding=1 "},
        {"<TABLE WIDTH=\"50%\">", false, "width=500%"},
        {"<TABLE WIDTH=\"150%\">", false, "width=0%"},
        {"<TABLE WIDTH=640>", false, "width=640 "},
        {"<TABLE ALIGN=center>", false, "justify=centre float=no"},
        {"<TABLE ALIGN=LEFT>", false, "justify=left float=yes"},
        {"<TABLE ALIGN=Right>", false, "justify=right float=yes"},
        {"<TABLE ALIGN=middle>", false, "justify=left float=no"},
        {"<TABLE HSPACE=-60 VSPACE=-300>", false, "hspace=40 vspace=200"},
        {"<TABLE BGCOLOR=red BORDERCOLOR=\"#00FF00\">", false, "color=020000FF bordercolor=0200FF00"},
        {"<TABLE BGCOLOR=nocolour>", false, "color=none"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Tag);
        TTestDocument doc;
        doc.Doc.Add(new ThtmlTable(&doc.Doc, doc.Attrs(c.Tag), PaneUn2::Left, c.Nested ? &nested : &doc.Doc, 0));
        EXPECT_NE(DumpDocument(doc.Doc).find(c.Dump), std::string::npos) << DumpDocument(doc.Doc);
    }
}

TEST_F(HtmlTableTest, ColoursComeDownFromTheCellAroundTheTableTheTableAndTheRow)
{
    TCell outer(&FDoc.Doc);
    outer.HasBackColor = true;
    outer.BackColor = clYellow | PaletteRelative;
    ThtmlTable* table = Table("<TABLE>", {{"<TR BGCOLOR=red>", "<TD>", "<TD BGCOLOR=lime>"}, {"<TR>", "<TD>"}}, &outer);
    ThtmlTable* own = Table("<TABLE BGCOLOR=blue>", {{"<TR>", "<TD>"}}, &outer);
    table->AddDummyCells();
    own->AddDummyCells();
    EXPECT_EQ(table->BackColor, clYellow | PaletteRelative);
    EXPECT_EQ(table->Row(0)->CellObj(0)->Cell->BackColor, clRed | PaletteRelative);
    EXPECT_EQ(table->Row(0)->CellObj(1)->Cell->BackColor, clLime | PaletteRelative);
    EXPECT_EQ(table->Row(1)->CellObj(0)->Cell->BackColor, clYellow | PaletteRelative);
    EXPECT_EQ(own->Row(0)->CellObj(0)->Cell->BackColor, clBlue | PaletteRelative);
    ThtmlTable* plain = Table("<TABLE>", {{"<TR>", "<TD>"}});
    plain->AddDummyCells();
    EXPECT_FALSE(plain->HasBackColor);
    EXPECT_FALSE(plain->Row(0)->CellObj(0)->Cell->HasBackColor);
}

TEST_F(HtmlTableTest, AbsoluteCellWidthsAreNoticed)
{
    ThtmlTable* percent = Table("<TABLE>", {{"<TR>", "<TD WIDTH=\"20%\">", "<TD>"}});
    ThtmlTable* pixels = Table("<TABLE>", {{"<TR>", "<TD>"}, {"<TR>", "<TD WIDTH=30>"}});
    percent->AddDummyCells();
    pixels->AddDummyCells();
    EXPECT_FALSE(percent->HasAbsCellWidths);
    EXPECT_TRUE(pixels->HasAbsCellWidths);
}

TEST_F(HtmlTableTest, TooManyColumnsRaiseWithoutAllocatingForTheSpan)
{
    const char* const huge[] = {"<TD COLSPAN=2000000000>", "<TD COLSPAN=2147483647 ROWSPAN=2147483647>"};
    for (const char* tag : huge) {
        SCOPED_TRACE(tag);
        ThtmlTable* table = Table("<TABLE>", {{"<TR>", "<TD>", tag, "<TD>"}, {"<TR>", "<TD>"}});
        const std::size_t heapBefore = HeapBytesInUse();
        try {
            table->AddDummyCells();
            ADD_FAILURE() << "no exception";
        } catch (const EProcessError& error) {
            EXPECT_EQ(error.Message, "Table has too many Columns");
        }
        // What the grid kept: at most 201 entries and the dummy cells among them.
        EXPECT_LT(static_cast<long long>(HeapBytesInUse()) - static_cast<long long>(heapBefore), 2'000'000LL);
        EXPECT_FALSE(table->GridReady);
        for (int r = 0; r < table->Rows->Count(); ++r)
            EXPECT_LE(table->Row(r)->Count(), MaxRowEntries);
    }
    ThtmlTable* widest = Table("<TABLE>", {{"<TR>", "<TD COLSPAN=199>", "<TD>"}});
    widest->AddDummyCells();
    EXPECT_EQ(widest->NumCols, 200);
    ThtmlTable* tooWide = Table("<TABLE>", {{"<TR>", "<TD COLSPAN=200>", "<TD>"}});
    EXPECT_THROW(tooWide->AddDummyCells(), EProcessError);
}

TEST_F(HtmlTableTest, ExtremeAttributeValuesAreOnlyStored)
{
    const char* const values[] = {"0", "-1", "2147483647", "-2147483648", "\"2147483647%\"", "\"-2147483648%\""};
    for (const char* value : values) {
        SCOPED_TRACE(value);
        const std::string v = value;
        ThtmlTable* table =
            Table("<TABLE WIDTH=" + v + " HEIGHT=" + v + " CELLPADDING=" + v + " CELLSPACING=" + v + " HSPACE=" + v +
                      " VSPACE=" + v + " BORDER=" + v + ">",
                  {{"<TR>", "<TD COLSPAN=" + v + " ROWSPAN=" + v + " WIDTH=" + v + " HEIGHT=" + v + ">", "<TD>"},
                   {"<TR>", "<TD>"}});
        try {
            table->AddDummyCells();
        } catch (const EProcessError&) {
        }
        EXPECT_LE(table->CellPadding, 50);
        EXPECT_LE(table->CellSpacing, 42);
        EXPECT_GE(table->HSpace, 0);
        EXPECT_LE(table->HSpace, 40);
        EXPECT_GE(table->VSpace, 0);
        EXPECT_LE(table->VSpace, 200);
        EXPECT_LE(table->Row(0)->CellObj(0)->RowSpan, 2);
        EXPECT_LE(table->Row(0)->Count(), MaxRowEntries);
    }
}

TEST_F(HtmlTableTest, CaptionAndCellsTakeSectionsAndNewFonts)
{
    ThtmlTable* table = Table("<TABLE BORDER=1>", {{"<TR>", "<TD ROWSPAN=2>", "<TD BGCOLOR=red>"}, {"<TR>", "<TD>"}});
    FTables.back().release();
    TSection* inCell = FDoc.NewSection();
    AddText(*inCell, "cell", 0);
    table->Row(0)->CellObj(0)->Cell->Add(inCell);
    TSection* inCaption = FDoc.NewSection(0, PaneUn2::Centered);
    AddText(*inCaption, "title", 10);
    table->Caption->Cell->Add(inCaption);
    table->CaptionAtTop = false;
    table->AddDummyCells();
    FDoc.Doc.Add(table);
    EXPECT_EQ(DumpDocument(FDoc.Doc),
              "ThtmlTable level=0 justify=left float=no border=yes spacing=4 padding=1 width=0 height=0 hspace=5 "
              "vspace=0 color=none bordercolor=none cols=2 grid=yes\n"
              "  row 0 color=none\n"
              "    cell 0 span=1x2 color=none width=0 height=0 valign=middle\n"
              "      TSection level=0 indent=0 align=left clear=none\n"
              "        text \"cell\"\n"
              "        run 0 Arial rel=12 pt=12 ---- 02000000\n"
              "    cell 1 span=1x1 color=020000FF width=0 height=0 valign=middle\n"
              "  row 1 color=none\n"
              "    dummy 0 rowspan=0\n"
              "    cell 1 span=1x1 color=none width=0 height=0 valign=middle\n"
              "  caption bottom\n"
              "    TSection level=0 indent=0 align=centre clear=none\n"
              "      text \"title\"\n"
              "      run 0 Arial rel=12 pt=12 ---- 02000000\n");
    FDoc.Doc.BaseFontSize = 6;
    FDoc.Doc.UpdateFonts();
    EXPECT_EQ(inCell->FontRuns->Run(0)->RunFont->Size(), 6);
    EXPECT_EQ(inCaption->FontRuns->Run(0)->RunFont->Size(), 6);
}

} // namespace
