// The PDF report components: what each item writes into the page content, images named and
// shared across pages, the document's settings and the property rules, and the preview the
// components paint when they are shown.

#include "PdfTestSupport.h"

#include "reportexport/PReport.h"

#include "platform/gui/Application.h"
#include "platform/gui/Bitmap.h"
#include "platform/gui/Form.h"
#include "platform/gui/Grab.h"
#include "platform/rtl/System.h"

#include <gtest/gtest.h>

#include <iostream>
#include <regex>
#include <set>

using namespace PdfTestSupport;

namespace {

// Each piece found after the previous one.
void ExpectInOrder(const std::string& text, const std::vector<std::string>& pieces)
{
    std::size_t at = 0;
    for (const std::string& piece : pieces) {
        const std::size_t found = text.find(piece, at);
        ASSERT_NE(found, std::string::npos) << "\"" << piece << "\" after " << at << " in:\n" << text;
        at = found + piece.size();
    }
}

std::unique_ptr<TBitmap> SolidBitmap(int width, int height, TColor colour, TPixelFormat format = pf24bit)
{
    auto bitmap = std::make_unique<TBitmap>();
    bitmap->SetPixelFormat(pf24bit);
    bitmap->SetSize(width, height);
    bitmap->Canvas()->Brush()->SetColor(colour);
    bitmap->Canvas()->FillRect(TRect{0, 0, width, height});
    bitmap->SetPixelFormat(format);
    return bitmap;
}

void SetBitmap(TPRImage& image, TBitmap& bitmap)
{
    TPicture picture;
    picture.SetGraphic(&bitmap);
    image.SetPicture(&picture);
}

// A report with an open document and one page control holding one panel over the whole page.
class PReportTest : public testing::Test {
protected:
    PReportTest() : Report(nullptr), Page(new TPRPage(nullptr))
    {
        Panel = new TPRPanel(Page.get());
        Panel->SetParent(Page.get());
        Panel->SetBounds(0, 0, Page->Width(), Page->Height());
        Report.StartDocument();
    }

    template <typename T>
    T* AddItem(int left, int top, int width, int height, TWinControl* parent = nullptr)
    {
        auto* item = new T(Page.get());
        item->SetParent(parent ? parent : Panel);
        item->SetBounds(left, top, width, height);
        return item;
    }

    // Prints the page as a new PDF page and gives its content.
    std::string PrintedContent()
    {
        Report.PrintPage(Page.get());
        return PageContent(*Report.PdfDocument());
    }

    TPReport Report;
    std::unique_ptr<TPRPage> Page;
    TPRPanel* Panel = nullptr;
};

} // namespace

TEST_F(PReportTest, TextPrintsItsLinesAsOneTextBlock)
{
    auto* text = AddItem<TPRText>(50, 100, 200, 60);
    text->Lines()->Add("one");
    text->Lines()->Add("two");
    ExpectInOrder(PrintedContent(), {"/F0 12 Tf", "0 0 0 rg", "14 TL", "BT", "50 731.8 Td", "(one) Tj", "T*",
                                     "(two) Tj", "ET"});
}

TEST_F(PReportTest, TextTakesTheFontOfItsNameAndStyle)
{
    struct TCase {
        TPRFontName Name;
        bool Bold, Italic;
        const char* BaseFont;
    };
    const TCase cases[] = {{fnArial, false, false, "Helvetica"},
                           {fnArial, true, false, "Helvetica-Bold"},
                           {fnTimesRoman, false, false, "Times-Roman"},
                           {fnTimesRoman, true, true, "Times-BoldItalic"},
                           {fnFixedWidth, false, true, "Courier-Oblique"}};
    int top = 10;
    for (const TCase& c : cases) {
        auto* text = AddItem<TPRText>(10, top, 300, 20);
        top += 30;
        text->SetFontName(c.Name);
        text->SetFontBold(c.Bold);
        text->SetFontItalic(c.Italic);
        text->Lines()->Add(c.BaseFont);
    }
    Report.PrintPage(Page.get());
    const std::string file = SavedBytes(*Report.PdfDocument());
    for (const TCase& c : cases)
        EXPECT_NE(file.find(std::string("/BaseFont /") + c.BaseFont + "\r"), std::string::npos) << c.BaseFont;
}

TEST_F(PReportTest, RectanglesAndLines)
{
    struct TCase {
        const char* Name;
        int Width, Height;
        TColor Fill, Line;
        TPenStyle Style;
        std::vector<std::string> Expected; // in order; empty: nothing at all
    };
    const TCase cases[] = {
        {"horizontal line", 100, 1, clNone, clBlack, psSolid, {"[] 0 d", "10 832 m", "109 832 l", "0 0 0 RG", "0 w", "S", "n"}},
        {"dot", 1, 1, clNone, clBlack, psSolid, {}},
        {"rectangle", 20, 10, clNone, clBlack, psDash, {"[16 8 ] 0 d", "10 832 m", "29 832 l", "29 823 l", "10 823 l", "s"}},
        {"filled without line", 20, 10, clRed, clNone, psSolid, {"1 0 0 rg", "h", "f"}},
        {"filled with line", 20, 10, clRed, clBlue, psSolid, {"1 0 0 rg", "0 0 1 RG", "b"}},
        {"clear line", 1, 30, clNone, clBlack, psClear, {}},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        Page.reset(new TPRPage(nullptr));
        Panel = new TPRPanel(Page.get());
        Panel->SetParent(Page.get());
        Panel->SetBounds(0, 0, Page->Width(), Page->Height());
        auto* rect = AddItem<TPRRect>(10, 10, c.Width, c.Height);
        rect->SetFillColor(c.Fill);
        rect->SetLineColor(c.Line);
        rect->SetLineStyle(c.Style);
        const std::string content = PrintedContent();
        if (c.Expected.empty())
            EXPECT_EQ(content.find(" m\r\n"), std::string::npos) << content;
        else
            ExpectInOrder(content, c.Expected);
    }
}

TEST_F(PReportTest, ImagesGetNamesOfTheirOwnUnlessShared)
{
    auto bitmap = SolidBitmap(4, 2, clGreen);
    RandSeed = 7;
    for (int i = 0; i < 2; ++i) {
        auto* image = AddItem<TPRImage>(10, 10 + i * 50, 40, 20);
        image->SetName("Foto" + std::to_string(i));
        image->SharedImage = false;
        SetBitmap(*image, *bitmap);
    }
    auto* logo = AddItem<TPRImage>(100, 10, 40, 20);
    logo->SetName("Logo");
    SetBitmap(*logo, *bitmap);
    Report.PrintPage(Page.get());
    Report.PrintPage(Page.get());

    const std::string file = SavedBytes(*Report.PdfDocument());
    std::set<std::string> names;
    const std::regex nameEntry("/Subtype /Image[^>]*?/Name /([A-Za-z0-9]+)");
    for (std::sregex_iterator it(file.begin(), file.end(), nameEntry), end; it != end; ++it)
        names.insert((*it)[1]);
    // Two pages of two unshared images each, and the shared logo once.
    EXPECT_EQ(names.size(), 5u);
    EXPECT_EQ(names.count("Logo"), 1u);
    EXPECT_EQ(std::count_if(names.begin(), names.end(), [](const std::string& n) { return n.rfind("Foto0", 0) == 0; }), 2);
    const TTestFolder folder;
    ExpectQpdfAccepts(folder.Write("images.pdf", file));
}

TEST_F(PReportTest, UnsharedNamesProbeUpwardsFromARandomStart)
{
    auto bitmap = SolidBitmap(2, 2, clRed);
    RandSeed = 11;
    const int first = Random(65534);
    RandSeed = 11;
    auto* image = AddItem<TPRImage>(10, 10, 40, 20);
    image->SetName("Img");
    image->SharedImage = false;
    SetBitmap(*image, *bitmap);
    Report.PrintPage(Page.get());
    RandSeed = 11;
    Report.PrintPage(Page.get());
    TPdfDoc& doc = *Report.PdfDocument();
    EXPECT_NE(doc.FindXObject("Img" + std::to_string(first)), nullptr);
    EXPECT_NE(doc.FindXObject("Img" + std::to_string(first + 1)), nullptr);
}

TEST_F(PReportTest, DocumentSettingsOnlyWhileNoDocumentIsOpen)
{
    try {
        Report.SetAuthor("Rossi");
        ADD_FAILURE() << "no exception";
    } catch (const EPdfInvalidOperation& e) {
        EXPECT_STREQ(e.what(), "SetAuthor --invalid operation.");
    }
    EXPECT_THROW(Report.SetKeywords("x"), EPdfInvalidOperation);
    EXPECT_THROW(Report.SetViewerPreference({vpFitWindow}), EPdfInvalidOperation);
    Report.DiscardDocument();
    Report.SetAuthor("Rossi");
    Report.SetCreator("Tessellarium");
    Report.SetKeywords("fattura");
    Report.SetSubject("Fattura 12");
    Report.SetTitle("Fattura");
    Report.SetNonFullScreenPageMode(pmFullScreen);
    EXPECT_EQ(Report.NonFullScreenPageMode(), pmUseNone);
    Report.StartDocument();
    Report.PrintPage(Page.get());
    const std::string file = SavedBytes(*Report.PdfDocument());
    ExpectInOrder(file, {"/Producer", "/Author (Rossi)", "/CreationDate", "/Creator (Tessellarium)",
                         "/Keywords (fattura)", "/Subject (Fattura 12)", "/Title (Fattura)", "/ModDate"});
}

TEST_F(PReportTest, PropertyRules)
{
    Page->SetMarginLeft(300);
    EXPECT_EQ(Page->MarginLeft(), 32);
    Page->SetMarginLeft(297);
    EXPECT_EQ(Page->MarginLeft(), 297);
    Page->SetMarginTop(-1);
    EXPECT_EQ(Page->MarginTop(), 32);

    auto* grid = new TPRGridPanel(Page.get());
    grid->SetParent(Panel);
    grid->SetBounds(0, 0, 100, 100);
    try {
        grid->SetColCount(0);
        ADD_FAILURE() << "no exception";
    } catch (const Exception& e) {
        EXPECT_STREQ(e.what(), "invalid colcount");
    }
    EXPECT_THROW(grid->SetColCount(11), Exception);
    EXPECT_THROW(grid->SetRowCount(-1), Exception);
    grid->SetColCount(10);
    EXPECT_EQ(grid->ColCount(), 10);

    auto* text = AddItem<TPRText>(0, 0, 10, 10);
    EXPECT_THROW(text->SetFontColor(clNone), EPdfInvalidValue);
    text->SetFontSize(0);
    EXPECT_EQ(text->FontSize(), 12);
    EXPECT_THROW(text->SetParent(Page.get()), Exception);

    // An item or a panel put on a grid panel lands on its cell panel.
    auto* cellText = AddItem<TPRText>(0, 0, 10, 10, grid);
    EXPECT_EQ(cellText->Parent(), grid->ChildPanel());
    auto* cellPanel = new TPRPanel(Page.get());
    cellPanel->SetParent(grid);
    EXPECT_EQ(cellPanel->Parent(), grid->ChildPanel());

    TForm form(nullptr);
    EXPECT_THROW(grid->SetParent(&form), Exception);

    auto* image = AddItem<TPRImage>(0, 0, 10, 10);
    TPicture icon;
    icon.Icon();
    EXPECT_THROW(image->SetPicture(&icon), Exception);
}

TEST_F(PReportTest, GridPanelPrintsItsCellPanelOncePerCell)
{
    auto* grid = new TPRGridPanel(Page.get());
    grid->SetParent(Panel);
    grid->SetBounds(100, 200, 300, 100);
    grid->SetColCount(3);
    grid->SetRowCount(2);
    auto* text = AddItem<TPRText>(5, 5, 80, 20, grid);
    text->Lines()->Add("cella");
    struct TCase {
        TPrintDirection Direction;
        std::vector<std::pair<int, int>> Order;
    };
    const TCase cases[] = {{pdHorz, {{0, 0}, {1, 0}, {2, 0}, {0, 1}, {1, 1}, {2, 1}}},
                           {pdVert, {{0, 0}, {0, 1}, {1, 0}, {1, 1}, {2, 0}, {2, 1}}}};
    for (const TCase& c : cases) {
        grid->PrintDirection = c.Direction;
        std::vector<std::pair<int, int>> cells;
        std::vector<TRect> rects;
        grid->BeforePrintChild = [&](TObject*, TPRCanvas*, int col, int row, const TRect& rect) {
            cells.emplace_back(col, row);
            rects.push_back(rect);
        };
        const std::string content = PrintedContent();
        EXPECT_EQ(cells, c.Order);
        std::vector<std::string> expected;
        for (const TRect& rect : rects) {
            EXPECT_EQ(rect.Width(), 100);
            EXPECT_EQ(rect.Height(), 50);
            // The text's left edge and first baseline in each cell: 842 - top - 0.85 × 12.
            expected.push_back(std::to_string(rect.Left + 5) + " " + FormatReal(842 - rect.Top - 5 - 10.2) + " Td");
        }
        ExpectInOrder(content, expected);
    }
}

TEST_F(PReportTest, PreviewOnAForm)
{
    auto form = std::make_unique<TForm>(nullptr);
    form->SetBounds(0, 0, 620, 470);
    Page->SetName("Pagina");
    Page->SetParent(form.get());
    Page->SetBounds(0, 0, 596, 842);
    Panel->SetName("Corpo");
    Panel->SetBounds(40, 40, 500, 380);
    const struct {
        TPRFontName Font;
        const char* Text;
    } texts[] = {{fnArial, "Fattura n. 12"}, {fnTimesRoman, "Spett.le Rossi SRL"}, {fnFixedWidth, "Totale 1.234,50"}};
    int top = 30;
    for (const auto& t : texts) {
        auto* text = AddItem<TPRText>(20, top, 260, 30);
        text->SetFontName(t.Font);
        text->SetFontSize(16);
        text->Lines()->Add(t.Text);
        top += 40;
    }
    auto* frame = AddItem<TPRRect>(300, 30, 150, 60);
    frame->SetFillColor(clYellow);
    frame->SetLineWidth(2);
    AddItem<TPRRect>(20, 160, 430, 1);
    auto* image = AddItem<TPRImage>(300, 110, 80, 40);
    auto bitmap = SolidBitmap(8, 4, clBlue);
    SetBitmap(*image, *bitmap);
    auto* grid = new TPRGridPanel(Page.get());
    grid->SetName("Righe");
    grid->SetParent(Panel);
    grid->SetBounds(20, 190, 400, 160);
    grid->SetColCount(2);
    grid->SetRowCount(2);
    auto* cell = AddItem<TPRText>(10, 10, 150, 24, grid);
    cell->Lines()->Add("riga");
    form->Show();
    Application->ProcessMessages();

    const fs::path path = fs::path(::testing::TempDir()) / "preport-preview.png";
    ASSERT_TRUE(GrabToPng(form.get(), path.string()));
    std::cout << "preview: " << path.string() << std::endl;
    EXPECT_GT(fs::file_size(path), 1000u);
    Page->SetParent(nullptr);
}
