// Painting of tables, rules and preformatted blocks, read back pixel by pixel: frames in the
// colours of a raised or sunken outline, cell and gap fills, rules with their shading and extent,
// preformatted text that never wraps; and a look at two pages of the program.

#include "HtmlTestSupport.h"

#include "htmlview/BlockSections.h"
#include "platform/gui/Form.h"
#include "platform/gui/Grab.h"
#include "tests/TestFixtures.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

namespace {

template <typename T> T* FirstOf(TCell& Cell)
{
    for (int i = 0; i < Cell.Count(); ++i)
        if (auto* found = dynamic_cast<T*>(Cell.Section(i)))
            return found;
    return nullptr;
}

TColor Rgb(TColor Color) { return static_cast<TColor>(ColorToRGB(Color)); }

// A page parsed, laid out at Width from Y 0 and painted at X 0 on a bitmap of Background.
class PaintedPage {
public:
    PaintedPage(const std::string& Html, int Width, TColor Background)
        : Page(ParseHtmlHere(Html)), Picture(NewFilledBitmap(Width, 300, Background))
    {
        int maxWidth = 0, position = 0;
        Page->Doc.DoLogic(Picture->Canvas(), 0, Width, maxWidth, position, 0, 0);
        MaxWidth = maxWidth;
        Page->Doc.Draw(Picture->Canvas(), Rect(0, 0, Width, 300), Width, 0, 0);
    }
    TColor At(int X, int Y) { return static_cast<TColor>(Picture->Canvas()->Pixels(X, Y) & 0xFFFFFF); }

    std::unique_ptr<TParsedPage> Page;
    std::unique_ptr<TBitmap> Picture;
    int MaxWidth = 0;
};

TEST(RulePaint, ExtentAndPlaceWithTheFixedMetrics)
{
    TFixedMetricsScope metrics;
    struct TCase {
        const char* Html;
        int X1, X2, Height, Down;
    } cases[] = {
        {"<HR>", 10, 590, 20, 9},
        {"<HR WIDTH=50%>", 150, 450, 20, 9},
        {"<HR WIDTH=100 ALIGN=left>", 0, 100, 20, 9},
        {"<HR WIDTH=100 ALIGN=right>", 500, 600, 20, 9},
        {"<HR SIZE=8>", 10, 590, 26, 9},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Html);
        PaintedPage page(std::string("<BODY BGCOLOR=white>") + c.Html, 600, clWhite);
        THorzLine* rule = FirstOf<THorzLine>(page.Page->Doc);
        ASSERT_NE(rule, nullptr);
        EXPECT_EQ(rule->FlowHeight, c.Height);
        const int top = rule->TopY + c.Down;
        EXPECT_NE(page.At(c.X1, top), Rgb(clWhite));
        EXPECT_NE(page.At(c.X2 - 1, top), Rgb(clWhite));
        EXPECT_EQ(InkIn(*page.Picture, Rect(0, 0, c.X1, 300), clWhite), 0);
        EXPECT_EQ(InkIn(*page.Picture, Rect(c.X2 + 1, 0, 600, 300), clWhite), 0);
        EXPECT_EQ(InkIn(*page.Picture, Rect(0, 0, 600, top), clWhite), 0);
        EXPECT_EQ(InkIn(*page.Picture, Rect(0, top + rule->Thickness + 1, 600, 300), clWhite), 0);
    }
}

TEST(RulePaint, ShadingColourAndNoShade)
{
    struct TCase {
        const char* Html;
        TColor Background;
        TColor Top, Bottom, Right;
    } cases[] = {
        {"<BODY BGCOLOR=white><HR>", clWhite, clBtnShadow, clSilver, clSilver},
        {"<BODY BGCOLOR=#C0FFC0><HR>", static_cast<TColor>(0xC0FFC0), clBtnShadow, clBtnHighlight, clBtnHighlight},
        {"<BODY BGCOLOR=white><HR NOSHADE>", clWhite, clBlack, clBlack, clBlack},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Html);
        PaintedPage page(c.Html, 600, c.Background);
        THorzLine* rule = FirstOf<THorzLine>(page.Page->Doc);
        ASSERT_NE(rule, nullptr);
        const int top = rule->TopY + 9;
        EXPECT_EQ(page.At(300, top), Rgb(c.Top));
        EXPECT_EQ(page.At(10, top + 1), Rgb(c.Top)) << "the left edge";
        EXPECT_EQ(page.At(300, top + 2), Rgb(c.Bottom));
        EXPECT_EQ(page.At(590, top + 1), Rgb(c.Right));
    }

    PaintedPage page("<BODY BGCOLOR=white><HR COLOR=red SIZE=4>", 600, clWhite);
    THorzLine* rule = FirstOf<THorzLine>(page.Page->Doc);
    const int top = rule->TopY + (rule->FlowHeight - 4) / 2;
    int red = 0;
    for (int y = top; y < top + 4; ++y)
        for (int x = 10; x < 590; ++x)
            red += page.At(x, y) == Rgb(clRed) ? 1 : 0;
    EXPECT_EQ(red, 580 * 4) << "one band of the rule's colour";
    EXPECT_EQ(InkIn(*page.Picture, Rect(0, 0, 600, 300), clWhite), 580 * 4) << "and nothing else";
}

TEST(PreformattedBlock, NeverWrapsAndAnEmptyBlockIsItsFontHigh)
{
    TFixedMetricsScope metrics;
    PaintedPage page("<PRE>" + std::string(60, 'x') + " " + std::string(40, 'y') + "</PRE>", 100, clWhite);
    auto* block = FirstOf<TPreFormated>(page.Page->Doc);
    ASSERT_NE(block, nullptr);
    EXPECT_EQ(block->LineList->Count(), 1);
    EXPECT_EQ(page.MaxWidth, 101 * 7);
    int min = 0, max = 0;
    block->MinMaxWidth(page.Picture->Canvas(), min, max);
    EXPECT_EQ(max, 707);
    EXPECT_EQ(min, 707);

    TTestDocument doc;
    std::unique_ptr<TMyFont> font = doc.FontOf(12);
    font->SetSize(10);
    auto* empty = new TPreFormated(&doc.Doc, 0, font.get(), nullptr, PaneUn2::Left);
    doc.Doc.Add(empty);
    int maxWidth = -1, position = 0;
    EXPECT_EQ(doc.Doc.DoLogic(page.Picture->Canvas(), 0, 300, maxWidth, position, 0, 0), 10);
    EXPECT_EQ(empty->FlowHeight, 10);
    EXPECT_EQ(maxWidth, 0);
}

TEST(TablePaint, FramesFillsAndGaps)
{
    {
        PaintedPage page("<BODY BGCOLOR=white><TABLE BORDER=1><TR><TD>aa<TD>bb</TABLE>", 400, clWhite);
        ThtmlTable* table = FirstOf<ThtmlTable>(page.Page->Doc);
        ASSERT_NE(table, nullptr);
        const int x1 = table->PaintX, y1 = table->PaintY;
        const int x2 = x1 + table->GridWidth - 1, y2 = y1 + table->BodyHeight - 1;
        EXPECT_EQ(page.At(x1, y1 + 5), Rgb(clSilver)) << "raised: light left edge";
        EXPECT_EQ(page.At(x1 + 5, y1), Rgb(clSilver)) << "raised: light top edge";
        EXPECT_EQ(page.At(x2, y1 + 5), Rgb(clBtnShadow)) << "raised: dark right edge";
        EXPECT_EQ(page.At(x1 + 5, y2), Rgb(clBtnShadow)) << "raised: dark bottom edge";
        const TCellObj* cell = table->Row(0)->CellObj(0);
        const int s = table->CellSpacing;
        EXPECT_EQ(page.At(x1 + s - 1, y1 + s + 3), Rgb(clBtnShadow)) << "sunken: dark left edge";
        EXPECT_EQ(page.At(x1 + s + 3, y1 + s - 1), Rgb(clBtnShadow)) << "sunken: dark top edge";
        EXPECT_EQ(page.At(x1 + cell->SpanWidth, y1 + s + 3), Rgb(clSilver)) << "sunken: light right edge";
        EXPECT_EQ(page.At(x1 + s + 3, y1 + cell->SpanHeight), Rgb(clSilver)) << "sunken: light bottom edge";
    }
    {
        PaintedPage page("<BODY BGCOLOR=white><TABLE CELLSPACING=6 BORDERCOLOR=#0000FF><TR><TD BGCOLOR=#00FF00>aa"
                         "<TD>bb<TD></TD></TABLE>",
                         400, clWhite);
        ThtmlTable* table = FirstOf<ThtmlTable>(page.Page->Doc);
        ASSERT_NE(table, nullptr);
        const int x = table->PaintX, y = table->PaintY, s = table->CellSpacing;
        EXPECT_EQ(page.At(x + s + 1, y + s + 1), Rgb(clLime)) << "the cell's background";
        EXPECT_EQ(page.At(x + table->Widths[0] + s + 1, y + s + 1), Rgb(clWhite)) << "a cell without one";
        EXPECT_EQ(page.At(x + table->Widths[0] + 2, y + s + 3), Rgb(clBlue)) << "the gap between cells";
        EXPECT_EQ(page.At(x + 2, y + 2), Rgb(clBlue)) << "the gap around the cells";
        const int third = x + table->Widths[0] + table->Widths[1];
        EXPECT_EQ(page.At(third + s + 1, y + s + 1), Rgb(clBlue)) << "an empty cell is not cut out of the gaps";
    }
    {
        PaintedPage page("<BODY BGCOLOR=white><TABLE BORDER=1 BGCOLOR=#00FF00><TR><TD>aa<TD></TD></TABLE>", 400,
                         clWhite);
        ThtmlTable* table = FirstOf<ThtmlTable>(page.Page->Doc);
        ASSERT_NE(table, nullptr);
        const int x = table->PaintX + table->Widths[0], y = table->PaintY, s = table->CellSpacing;
        const TCellObj* empty = table->Row(0)->CellObj(1);
        EXPECT_EQ(InkIn(*page.Picture, Rect(x + s - 1, y + s - 1, x + empty->SpanWidth + 1, y + empty->SpanHeight + 1),
                        clWhite),
                  0)
            << "an empty cell gets neither fill nor frame";
        EXPECT_EQ(page.At(table->PaintX + s + 1, y + s + 1), Rgb(clLime)) << "the table's colour fills the others";
    }
}

TEST(TablePaint, ALookAtTheCustomerCardAndTheDetailsPage)
{
    const char* folder = std::getenv("TESS_SCREENSHOT_DIR");
    const std::string dir = folder != nullptr && *folder != '\0' ? folder : std::string(TestBinaryDir());
    std::filesystem::create_directories(dir);
    const std::pair<std::string, std::string> pages[] = {{CustomerCard(3), "h08-customer-card.png"},
                                                         {DetailsPage(), "h08-details-page.png"}};
    for (const auto& [html, name] : pages) {
        auto page = ParseHtmlHere(html);
        TForm form(nullptr);
        form.SetBounds(0, 0, 420, 720);
        auto* host = new TDocumentHost(&form);
        host->SetParent(&form);
        host->SetBounds(0, 0, 400, 700);
        page->Doc.PaintSurface = host;
        host->Show(&page->Doc);
        form.Show();
        host->Invalidate();
        Application->ProcessMessages();
        TBitmap picture;
        ASSERT_TRUE(GrabToBitmap(host, &picture));
        EXPECT_TRUE(GrabToPng(host, dir + "/" + name));
        EXPECT_GT(InkIn(picture, Rect(0, 0, 400, 700), clWhite), 1000) << name;
        page->Doc.Clear();
    }
}

} // namespace
