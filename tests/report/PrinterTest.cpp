// The engine printer: the virtual printer's papers and metrics, real printers of a catalogue and
// the report's choice of printer.

#include "ReportTestSupport.h"

#include "platform/gui/DeviceContext.h"
#include "platform/gui/PrinterDevice.h"
#include "platform/rtl/Formats.h"

namespace {

class EnginePrinter : public testing::Test {
protected:
    void SetUp() override { UseVirtualPrinterOnly(); }
    void TearDown() override { UseVirtualPrinterOnly(); }

    static std::vector<int> Metrics(const TrpPrnInfo& i)
    {
        return {i.PaperWidthPx, i.PaperHeightPx, i.OffsetX, i.OffsetY, i.PrintWidth, i.PrintHeight};
    }
};

int Scaled(int deviceUnits, double unitsPerInch, int dpi)
{
    return static_cast<int>(Round(deviceUnits * (unitsPerInch / dpi)));
}

} // namespace

TEST_F(EnginePrinter, TheVirtualPrinterAloneLaysOutItsPapers)
{
    TrpPrinter* printer = rpPrinter();
    ASSERT_EQ(printer->Printers->Count(), 1);
    EXPECT_EQ(printer->Printers->Strings(0), "");
    EXPECT_EQ(printer->PrinterIndex(), 0);
    EXPECT_EQ(printer->VirtualIndex(), 0);

    TrpPrnInfo info;
    printer->SetPrinterInfo(9, 0, 0, poPortrait);
    EXPECT_EQ(printer->PaperWidth, 2100);
    EXPECT_EQ(printer->PaperHeight, 2970);
    printer->FillPrnInfo(info);
    EXPECT_EQ(Metrics(info), (std::vector<int>{752, 1071, 18, 18, 716, 1035}));

    printer->SetPrinterInfo(9, 0, 0, poLandscape);
    EXPECT_EQ(printer->PaperWidth, 2970);
    EXPECT_EQ(printer->PaperHeight, 2100);
    printer->FillPrnInfo(info);
    EXPECT_EQ(info.PaperWidthPx, 1064);
    EXPECT_EQ(info.PaperHeightPx, 758);

    ASSERT_EQ(printer->PaperSizesNum(), 67);
    EXPECT_EQ(printer->PaperNames->Strings(8), "A4");
    EXPECT_EQ(printer->GetArrayPos(9), 8);
    EXPECT_EQ(printer->GetArrayPos(256), 66);
    EXPECT_EQ(printer->GetArrayPos(999), 66);
    EXPECT_EQ(TrpPrinter().GetArrayPos(9), -1);

    // Width and height count only for the custom size.
    printer->SetPrinterInfo(256, 1000, 1500, poPortrait);
    EXPECT_TRUE(printer->IsEqual(256, 1000, 1500, poPortrait));
    EXPECT_FALSE(printer->IsEqual(256, 1000, 1600, poPortrait));
    EXPECT_EQ(printer->PaperWidth, 1000);
    printer->SetPrinterInfo(9, 0, 0, poPortrait);
    EXPECT_TRUE(printer->IsEqual(9, 1, 2, poPortrait));
    EXPECT_FALSE(printer->IsEqual(9, 0, 0, poLandscape));

    // A custom paper without area takes A4.
    printer->SetPrinterInfo(256, 0, 0, poLandscape);
    EXPECT_EQ(printer->PaperSize, 9);
    EXPECT_EQ(printer->PaperWidth, 2970);
    EXPECT_EQ(printer->PaperHeight, 2100);
}

TEST_F(EnginePrinter, RealPrintersGiveTheirPapersAndMetrics)
{
    UseTwoPrinters();
    TrpPrinter* printer = rpPrinter();
    ASSERT_EQ(printer->Printers->Count(), 3);
    EXPECT_EQ(printer->Printers->Strings(1), "Magazzino");
    EXPECT_EQ(printer->VirtualIndex(), 2);
    EXPECT_EQ(printer->PrinterIndex(), 0);
    EXPECT_EQ(printer->PaperSizes, (std::vector<std::uint16_t>{DMPAPER_A4, DMPAPER_LETTER}));
    EXPECT_EQ(printer->PaperNames->Text(), "A4\r\nLetter\r\n");

    printer->SetPrinterInfo(DMPAPER_LETTER, 0, 0, poLandscape);
    EXPECT_EQ(printer->PaperSize, DMPAPER_LETTER);
    EXPECT_EQ(printer->PaperWidth, 2794);
    EXPECT_EQ(printer->PaperHeight, 2159);
    EXPECT_EQ(printer->Orientation, poLandscape);

    TrpPrnInfo info;
    printer->FillPrnInfo(info);
    HDC dc = Printer()->Handle();
    const double kx = 93 / 1.022, ky = 93 / 1.015;
    const int dpi = GetDeviceCaps(dc, LOGPIXELSX);
    ASSERT_EQ(dpi, 600);
    EXPECT_EQ(info.PrnPaperWidth, GetDeviceCaps(dc, PHYSICALWIDTH));
    EXPECT_EQ(info.PaperWidthPx, Scaled(GetDeviceCaps(dc, PHYSICALWIDTH), kx, dpi));
    EXPECT_EQ(info.PaperHeightPx, Scaled(GetDeviceCaps(dc, PHYSICALHEIGHT), ky, dpi));
    EXPECT_EQ(info.OffsetX, Scaled(GetDeviceCaps(dc, PHYSICALOFFSETX), kx, dpi));
    EXPECT_EQ(info.OffsetY, Scaled(GetDeviceCaps(dc, PHYSICALOFFSETY), ky, dpi));
    EXPECT_EQ(info.PrnPrintWidth, GetDeviceCaps(dc, HORZRES));
    EXPECT_EQ(info.PrintWidth, Scaled(GetDeviceCaps(dc, HORZRES), kx, dpi));
    EXPECT_EQ(info.PrintHeight, Scaled(GetDeviceCaps(dc, VERTRES), ky, dpi));
    EXPECT_GT(info.PaperWidthPx, info.PaperHeightPx);

    printer->SetPrinterInfo(rpCustomPaper, 1500, 1000, poPortrait);
    EXPECT_EQ(printer->PaperSize, rpCustomPaper);
    EXPECT_EQ(printer->PaperWidth, 1500);
    EXPECT_EQ(printer->PaperHeight, 1000);
    EXPECT_EQ(printer->GetArrayPos(DMPAPER_A3), 1);
}

TEST_F(EnginePrinter, APageTakesThePaperThePrinterChose)
{
    UseTwoPrinters();
    TrpReport report(nullptr);
    TrpPage* page = report.DesignPages->Add();
    EXPECT_EQ(page->PaperSize, DMPAPER_A4);
    EXPECT_EQ(page->PaperWidth, 2100);

    // A3 is not offered: the page keeps the printer's A4.
    page->ChangePaper(DMPAPER_A3, 0, 0, poLandscape);
    EXPECT_EQ(page->PaperSize, DMPAPER_A4);
    EXPECT_EQ(page->PaperWidth, 2970);
    EXPECT_EQ(page->Orientation, poLandscape);
    TrpPrnInfo info;
    rpPrinter()->FillPrnInfo(info);
    EXPECT_EQ(page->PrinterInfo.PaperWidthPx, info.PaperWidthPx);

    page->ChangePaper(rpCustomPaper, 1200, 800, poPortrait);
    EXPECT_EQ((std::vector<int>{page->PaperSize, page->PaperWidth, page->PaperHeight}),
              (std::vector<int>{rpCustomPaper, 1200, 800}));

    page->UseMargins = -1;
    page->Margins = {0, 10, 0, 20};
    EXPECT_EQ(page->LeftMargin(), page->PrinterInfo.OffsetX);
    EXPECT_EQ(page->TopMargin(), 10);
    EXPECT_EQ(page->RightMargin(), page->PrinterInfo.OffsetX + page->PrinterInfo.PrintWidth);
    EXPECT_EQ(page->BottomMargin(), page->PrinterInfo.PaperHeightPx - 20);
    page->UseMargins = 0;
    EXPECT_EQ(page->LeftMargin(), 0);
    EXPECT_EQ(page->BottomMargin(), page->PrinterInfo.PaperHeightPx);
}

TEST_F(EnginePrinter, TheReportSelectsTheNamedPrinterUnlessToldToUseTheDefault)
{
    UseTwoPrinters();
    TrpPrinter* printer = rpPrinter();
    TrpReport report(nullptr);
    struct TCase {
        bool ToDefault;
        std::string Name;
        int Index;
    };
    for (const TCase& c : {TCase{true, "Magazzino", 0}, TCase{false, "Sconosciuta", 0}, TCase{false, "", 0},
                           TCase{false, "magazzino", 0}, TCase{false, "Magazzino", 1}}) {
        SCOPED_TRACE(c.Name);
        printer->SetPrinterIndex(0);
        report.PrintToDefaultPrinter = c.ToDefault;
        report.SetPrinterTo(c.Name);
        EXPECT_EQ(printer->PrinterIndex(), c.Index);
    }
    EXPECT_EQ(Printer()->Printers()->Strings(Printer()->PrinterIndex()), "Magazzino");

    // A template written with a real printer names it and selects it again when loaded.
    BuildSampleReport(report);
    report.PrintToDefaultPrinter = false;
    const TBytes bytes = SaveToBytes(report);
    printer->SetPrinterIndex(0);
    TrpReport loaded(nullptr);
    ASSERT_TRUE(LoadFromBytes(loaded, bytes));
    EXPECT_EQ(printer->PrinterIndex(), 1);
}
