// Printing prepared sheets on a file printer, checked in the PDF files it writes: copies, page
// lists, one job per run of equal paper, the place of a text on paper, cancelling and changing
// the printer.

#include "ReportTestSupport.h"
#include "PrintSupport.h"

#include "report/RP_progr.h"

#include "platform/gui/Application.h"
#include "platform/gui/Button.h"
#include "platform/gui/MessageQueue.h"
#include "platform/gui/Printer.h"
#include "platform/gui/PrinterDevice.h"
#include "platform/rtl/Exceptions.h"

#include <regex>

namespace PrintingTest {

class Printing : public testing::Test {
protected:
    void SetUp() override
    {
        UseFilePrinter(Folder.Path().string());
        Report.Title = "TS Stampa";
        Report.ShowProgress = false;
    }
    void TearDown() override
    {
        UseVirtualPrinterOnly();
        DocMode = dmDesigning;
    }

    std::vector<std::string> Pdfs() const { return PdfFilesIn(Folder.Path()); }

    TScratchFolder Folder;
    TBoxRecorder Boxes;
    TrpReport Report{nullptr};
};

// The texts of the pages from first to last of a PDF, one line each.
std::string PagesText(const std::string& pdf, int first, int last)
{
    return RunShell("pdftotext -layout -f " + std::to_string(first) + " -l " + std::to_string(last) + " '" + pdf +
                    "' - | tr -d '\\f' | sed 's/^ *//; /^$/d'");
}

TEST_F(Printing, CopiesFollowEachSheetInOneJob)
{
    AddTextSheet(Report, "Foglio uno");
    AddTextSheet(Report, "Foglio due");
    Report.PrintPreparedReport("", 3);
    const std::vector<std::string> pdfs = Pdfs();
    ASSERT_EQ(pdfs.size(), 1u);
    const std::string info = RunShell("pdfinfo '" + pdfs[0] + "'");
    EXPECT_TRUE(std::regex_search(info, std::regex("Pages:\\s+6\n"))) << info;
    std::smatch size;
    ASSERT_TRUE(std::regex_search(info, size, std::regex(R"re(Page size:\s+([0-9.]+) x ([0-9.]+) pts)re")));
    EXPECT_NEAR(std::stod(size[1]), 595, 1);
    EXPECT_NEAR(std::stod(size[2]), 842, 1);
    EXPECT_TRUE(std::regex_search(info, std::regex("Title:\\s+Ordalume: TS Stampa\n"))) << info;
    EXPECT_EQ(PagesText(pdfs[0], 1, 3), "Foglio uno\nFoglio uno\nFoglio uno\n");
    EXPECT_EQ(PagesText(pdfs[0], 4, 6), "Foglio due\nFoglio due\nFoglio due\n");
    EXPECT_NE(RunShell("qpdf --check '" + pdfs[0] + "' 2>&1").find("No syntax or stream encoding errors"),
              std::string::npos);
    // The sheets stay with the report, released.
    ASSERT_EQ(Report.PreparedPages->Count(), 2);
    EXPECT_FALSE(Report.PreparedPages->Pages(0)->Visible);
    EXPECT_EQ(Report.PreparedPages->Pages(0)->Page, nullptr);
    EXPECT_EQ(Report.PrintPages, "");
    EXPECT_EQ(Report.PrintCopies, 3);
}

TEST_F(Printing, ASheetWithMarginsCoversThePaper)
{
    TrpMemoView* memo = nullptr;
    AddTextSheet(Report, "Posizione", 100, 200, poPortrait, true, &memo);
    const int gapX = memo->GapX, gapY = memo->GapY;
    delete memo;
    Report.PrintPreparedReport("", 1);
    const std::vector<std::string> pdfs = Pdfs();
    ASSERT_EQ(pdfs.size(), 1u);
    const std::string bbox = RunShell("pdftotext -bbox '" + pdfs[0] + "' -");
    std::smatch word;
    ASSERT_TRUE(std::regex_search(bbox, word, std::regex(R"re(<word xMin="([0-9.]+)" yMin="([0-9.]+)"[^>]*>Posizione)re")))
        << bbox;
    EXPECT_NEAR(std::stod(word[1]), (100 + gapX) * 72 / 90.998, 2);
    EXPECT_NEAR(std::stod(word[2]), (200 + gapY) * 72 / 91.626, 2);
}

TEST_F(Printing, EachRunOfEqualPaperIsAJob)
{
    AddTextSheet(Report, "Verticale", 10, 20, poPortrait);
    AddTextSheet(Report, "Orizzontale", 10, 20, poLandscape);
    AddTextSheet(Report, "Ancora verticale", 10, 20, poPortrait);
    Report.PrintPreparedReport("", 1);
    const std::vector<std::string> pdfs = Pdfs();
    ASSERT_EQ(pdfs.size(), 3u);
    std::vector<std::string> sizes;
    for (const std::string& pdf : pdfs) {
        std::smatch size;
        const std::string info = RunShell("pdfinfo '" + pdf + "'");
        ASSERT_TRUE(std::regex_search(info, size, std::regex(R"re(Page size:\s+([0-9]+)[0-9.]* x ([0-9]+))re")));
        sizes.push_back(size[1].str() + "x" + size[2].str());
        EXPECT_TRUE(std::regex_search(info, std::regex("Title:\\s+Ordalume: TS Stampa\n"))) << info;
    }
    // The files are named in the order the jobs ended.
    EXPECT_EQ(sizes, (std::vector<std::string>{"595x842", "842x595", "595x842"}));
}

TEST_F(Printing, PageListsSelectSheets)
{
    struct TCase {
        std::string List;
        std::string Printed;
    };
    const TCase cases[] = {
        {"", "Foglio 1\nFoglio 2\nFoglio 3\n"},
        {"1,3", "Foglio 1\nFoglio 3\n"},
        {" 2 - 3 ", "Foglio 2\nFoglio 3\n"},
        {"3-2", ""},
        {"1-999999999", "Foglio 1\nFoglio 2\nFoglio 3\n"},
        {"7", ""},
    };
    for (int i = 1; i <= 3; ++i)
        AddTextSheet(Report, "Foglio " + std::to_string(i));
    for (const TCase& c : cases) {
        SCOPED_TRACE("list \"" + c.List + "\"");
        TScratchFolder out;
        UseFilePrinter(out.Path().string());
        Report.PrintPreparedReport(c.List, 1);
        // One job opened and closed also when the list selects nothing.
        const std::vector<std::string> pdfs = PdfFilesIn(out.Path());
        ASSERT_EQ(pdfs.size(), 1u);
        EXPECT_FALSE(Printer()->Printing());
        if (!c.Printed.empty())
            EXPECT_EQ(PagesText(pdfs[0], 1, 99), c.Printed);
        else
            EXPECT_EQ(PagesText(pdfs[0], 1, 99), "");
    }
}

TEST_F(Printing, AListThatIsNoNumberOrNoSheetsPrintsNothing)
{
    AddTextSheet(Report, "Foglio 1");
    EXPECT_THROW(Report.PrintPreparedReport("1,x", 1), EConvertError);
    EXPECT_THROW(Report.PrintPreparedReport("x", 1), EConvertError);
    EXPECT_FALSE(Printer()->Printing());
    EXPECT_TRUE(Pdfs().empty());
    EXPECT_FALSE(rpEngineBusy());

    TrpReport empty(nullptr);
    empty.ShowProgress = false;
    empty.PrintPreparedReport("", 1);
    empty.PrintPreparedReport("x", 1);
    EXPECT_TRUE(Pdfs().empty());
}

TEST_F(Printing, CopiesBelowOnePrintOneCopy)
{
    AddTextSheet(Report, "Foglio 1");
    Report.PrintPreparedReport("", 0);
    Report.PrintPreparedReport("", -4);
    const std::vector<std::string> pdfs = Pdfs();
    ASSERT_EQ(pdfs.size(), 2u);
    for (const std::string& pdf : pdfs)
        EXPECT_TRUE(std::regex_search(RunShell("pdfinfo '" + pdf + "'"), std::regex("Pages:\\s+1\n")));
}

TEST_F(Printing, TheProgressWindowCancelsAfterTheCurrentCopy)
{
    Report.ShowProgress = true;
    AddTextSheet(Report, "Foglio 1");
    AddTextSheet(Report, "Foglio 2");
    std::string caption;
    // The click waits behind the work's start, so it arrives while sheet 1 prints.
    SetModalStartHook([&](TCustomForm* form) {
        if (form != rpProgressForm)
            return;
        caption = form->Caption();
        PostMessage(rpProgressForm->Button1->Handle(), BM_CLICK, 0, 0);
    });
    Report.PrintPreparedReport("", 2);
    SetModalStartHook(nullptr);
    EXPECT_EQ(caption, "Preparazione report - TS Stampa");
    EXPECT_EQ(rpProgressForm->Label1->Caption(), "Stampa pagina:  1");
    EXPECT_TRUE(Printer()->Aborted());
    EXPECT_FALSE(Printer()->Printing());
    EXPECT_FALSE(Report.Terminated);
    EXPECT_TRUE(Pdfs().empty());
}

TEST_F(Printing, ChangingToAPrinterThatWentAwayKeepsTheOldOne)
{
    TScratchFolder second;
    UseFilePrinters({Folder.Path().string(), second.Path().string()});
    TrpPage* page = Report.DesignPages->Add();
    page->ChangePaper(9, 0, 0, poLandscape);
    ASSERT_EQ(rpPrinter()->Printers->Count(), 3);
    EXPECT_TRUE(Report.ChangePrinter(0, 1));
    EXPECT_EQ(Printer()->PrinterIndex(), 1);
    EXPECT_EQ(rpPrinter()->PrinterIndex(), 1);
    EXPECT_TRUE(Report.ChangePrinter(1, 0));
    EXPECT_EQ(Boxes.Boxes().size(), 0u);

    // The second printer leaves the catalogue after it was listed.
    UseFilePrinters({Folder.Path().string()}, false);
    EXPECT_FALSE(Report.ChangePrinter(0, 1));
    const std::vector<TDialogRequestRecord> boxes = Boxes.Boxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].Text, "La stampante selezionata non \xE8 valida");
    EXPECT_EQ(boxes[0].Caption, "Errore");
    EXPECT_EQ(boxes[0].Icon, static_cast<UINT>(MB_ICONERROR));
    EXPECT_EQ(Printer()->PrinterIndex(), 0);
    EXPECT_EQ(rpPrinter()->PrinterIndex(), 0);
    // The design page lays itself out again on the old printer.
    EXPECT_EQ(rpPrinter()->Orientation, poLandscape);
    EXPECT_GT(page->PrinterInfo.PaperWidthPx, page->PrinterInfo.PaperHeightPx);
}

TEST_F(Printing, TheJobTitleReachesThePrintService)
{
    TScratchFolder tools;
    TPrinterCatalogue catalogue;
    catalogue.VirtualWhenEmpty = false;
    TPrinterInfo queue;
    queue.Name = "Ufficio";
    queue.Papers = {DMPAPER_A4};
    catalogue.Printers.push_back(queue);
    SetPrinterCatalogue(catalogue);
    Printer()->SetPrinterIndex(0);
    rpPrinter()->SetPrinter(Printer());
    AddTextSheet(Report, "Foglio 1");
    for (const std::string& title : {std::string("TS Stampa"), std::string()}) {
        Report.Title = title;
        {
            TFakeLp lp(tools.Path().string());
            Report.PrintPreparedReport("", 1);
        }
        const std::string args = ReadText(tools.Path() / "lp-args");
        const std::string expected = "-t\nOrdalume: " + (title.empty() ? std::string("Senza titolo") : title) + "\n";
        EXPECT_NE(args.find(expected), std::string::npos) << args;
    }
}

} // namespace PrintingTest
