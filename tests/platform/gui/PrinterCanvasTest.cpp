// The printer seen through the drawing layer: GetDeviceCaps and CreateDC on printer contexts, the
// page canvas measuring like its printer, fonts sized at the printer's resolution down to the PDF.
#include "GuiTestSupport.h"

#include "platform/gui/Metafile.h"
#include "platform/gui/PdfPrinter.h"
#include "platform/gui/Printer.h"
#include "platform/gui/PrinterDevice.h"
#include "platform/gui/Regions.h"
#include "platform/gui/TextOutput.h"
#include "platform/os/TempFiles.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <regex>

// Replaces the desktop opener with one that records its targets (nullptr restores the previous).
void RecordDesktopOpener(std::vector<std::string>* targets);

namespace {

// The height in points of the first word of a PDF page's text, from pdftotext's boxes.
double WordHeight(const std::string& pdf, const std::string& word)
{
    const std::string boxes = RunCommand("pdftotext -bbox '" + pdf + "' -");
    std::smatch found;
    const std::regex pattern("<word xMin=\"[0-9.]+\" yMin=\"([0-9.]+)\" xMax=\"[0-9.]+\" yMax=\"([0-9.]+)\">" + word +
                             "</word>");
    if (!std::regex_search(boxes, found, pattern)) {
        ADD_FAILURE() << word << " not found in\n" << boxes;
        return 0;
    }
    return std::stod(found[2]) - std::stod(found[1]);
}

// The virtual PDF printer alone, writing into a temporary folder, the desktop opener recorded.
class PrinterCanvasTest : public testing::Test {
protected:
    void SetUp() override
    {
        Folder = std::make_unique<TTempFolder>("tess-printer-canvas");
        SetVirtualPrinterFolder(Folder->Path());
        SetPrinterCatalogue(TPrinterCatalogue{});
        FOldPrinter = SetPrinter(std::make_unique<TPrinter>());
        RecordDesktopOpener(&Opened);
    }
    void TearDown() override
    {
        SetPrinter(std::move(FOldPrinter));
        RecordDesktopOpener(nullptr);
        ResetPrinterCatalogue();
        SetVirtualPrinterFolder("");
    }

    std::unique_ptr<TTempFolder> Folder;
    std::vector<std::string> Opened;

private:
    std::unique_ptr<TPrinter> FOldPrinter;
};

TEST_F(PrinterCanvasTest, PageCanvasMeasuresLikeThePrinter)
{
    TPrinter* printer = Printer();
    HDC device = printer->Handle();
    EXPECT_EQ(GetDeviceCaps(device, TECHNOLOGY), DT_RASPRINTER);
    EXPECT_EQ(GetDeviceCaps(printer->Canvas()->Handle(), LOGPIXELSY), 1200); // outside a page

    printer->BeginDoc();
    HDC page = printer->Canvas()->Handle();
    ASSERT_NE(page, device);
    EXPECT_EQ(GetDeviceCaps(page, TECHNOLOGY), DT_METAFILE);
    const int caps[] = {LOGPIXELSX,     LOGPIXELSY,     HORZRES,         VERTRES,        HORZSIZE,
                        VERTSIZE,       PHYSICALWIDTH,  PHYSICALHEIGHT,  PHYSICALOFFSETX, PHYSICALOFFSETY,
                        BITSPIXEL,      ASPECTX,        ASPECTXY,        RASTERCAPS};
    for (int index : caps)
        EXPECT_EQ(GetDeviceCaps(page, index), GetDeviceCaps(device, index)) << index;
    EXPECT_EQ(GetDeviceCaps(page, LOGPIXELSX), 1200);
    EXPECT_EQ(GetDeviceCaps(page, HORZRES), printer->PageWidth());
    // Drawing low on the page is not culled as if the page were a screen.
    RECT box;
    GetClipBox(page, &box);
    EXPECT_EQ(box, (RECT{0, 0, printer->PageWidth(), printer->PageHeight()}));
    printer->EndDoc();
}

TEST_F(PrinterCanvasTest, MetafileHeaderUsesTheReferenceResolution)
{
    HDC device = Printer()->Handle();
    TMetafile metafile;
    metafile.SetWidth(1200);
    metafile.SetHeight(600);
    {
        TMetafileCanvas canvas(&metafile, device);
        canvas.Rectangle(0, 0, 1200, 600);
    }
    ENHMETAHEADER header;
    ASSERT_EQ(GetEnhMetaFileHeader(metafile.Handle(), sizeof header, &header), sizeof header);
    EXPECT_EQ(header.szlDevice, (SIZE{9449, 13559}));
    EXPECT_EQ(header.szlMillimeters, (SIZE{200, 287}));
    EXPECT_EQ(header.rclFrame, (RECT{0, 0, 2540, 1270})); // one inch by half an inch
}

TEST_F(PrinterCanvasTest, CreateDCMakesPrinterContexts)
{
    DEVMODEA landscape;
    landscape.dmSize = sizeof landscape;
    landscape.dmFields = DM_ORIENTATION;
    landscape.dmOrientation = DMORIENT_LANDSCAPE;
    struct TCase {
        const void* InitData;
        int Width, Height;
    };
    for (const TCase& c : {TCase{nullptr, 9921, 14031}, TCase{&landscape, 14031, 9921}}) {
        HDC dc = CreateDCA("WINSPOOL", VirtualPrinterName, nullptr, c.InitData);
        ASSERT_TRUE(IsPrinterDC(dc));
        EXPECT_EQ(GetDeviceCaps(dc, TECHNOLOGY), DT_RASPRINTER);
        EXPECT_EQ(GetDeviceCaps(dc, LOGPIXELSY), 1200);
        EXPECT_EQ(GetDeviceCaps(dc, PHYSICALWIDTH), c.Width);
        EXPECT_EQ(GetDeviceCaps(dc, PHYSICALHEIGHT), c.Height);
        EXPECT_TRUE(DeleteDC(dc));
        EXPECT_FALSE(IsPrinterDC(dc));
        EXPECT_EQ(GetDeviceCaps(dc, LOGPIXELSY), 0);
    }
    EXPECT_EQ(CreateDCA("WINSPOOL", "Nessuna stampante", nullptr, nullptr), nullptr);
    EXPECT_EQ(CreateDCA("WINSPOOL", nullptr, nullptr, nullptr), nullptr);
    EXPECT_EQ(CreateDCA(nullptr, "", nullptr, nullptr), nullptr);
    HDC screen = CreateDCA("DISPLAY", nullptr, nullptr, nullptr);
    EXPECT_EQ(GetDeviceCaps(screen, TECHNOLOGY), DT_RASDISPLAY);
    EXPECT_EQ(GetDeviceCaps(screen, LOGPIXELSY), 96);
    DeleteDC(screen);
}

// A font of height 0 takes its default size in the device's own pixels.
TEST_F(PrinterCanvasTest, DefaultFontHeightFollowsTheDeviceResolution)
{
    HDC screen = CreateDCA("DISPLAY", nullptr, nullptr, nullptr);
    HDC device = Printer()->Handle();
    HFONT font = CreateFontA(0, 0, 0, 0, FW_NORMAL, 0, 0, 0, ANSI_CHARSET, 0, 0, 0, 0, "Arial");
    for (auto [dc, em] : {std::pair{screen, 11}, std::pair{device, 133}}) {
        HGDIOBJ old = SelectObject(dc, font);
        TEXTMETRICA metrics;
        ASSERT_TRUE(GetTextMetricsA(dc, &metrics));
        EXPECT_EQ(metrics.tmHeight - metrics.tmInternalLeading, em);
        SelectObject(dc, old);
    }
    DeleteObject(font);
    DeleteDC(screen);
}

// Ten points asked of the page canvas come out ten points high in the PDF, whether the size goes
// through the canvas font or through a font made from the canvas's LOGPIXELSY.
TEST_F(PrinterCanvasTest, TenPointTextHasItsHeightInThePdf)
{
    TPrinter* printer = Printer();
    printer->Title = "Altezza testo";
    printer->BeginDoc();
    TCanvas* canvas = printer->Canvas();
    HDC page = canvas->Handle();
    const int height = -MulDiv(10, GetDeviceCaps(page, LOGPIXELSY), 72);
    EXPECT_EQ(height, -167);
    HFONT font = CreateFontA(height, 0, 0, 0, FW_NORMAL, 0, 0, 0, ANSI_CHARSET, 0, 0, 0, 0, "Arial");
    HGDIOBJ old = SelectObject(page, font);
    TextOutA(page, 0, 0, "Diretto");
    SIZE extent;
    ASSERT_TRUE(GetTextExtentPoint32A(page, "Diretto", 7, &extent));
    EXPECT_GT(extent.cy, 167);
    EXPECT_LT(extent.cy, 230);
    SelectObject(page, old);
    DeleteObject(font);
    canvas->Font()->SetName("Arial");
    canvas->Font()->SetSize(10);
    canvas->TextOut(0, 1200, "Tela");
    printer->EndDoc();

    ASSERT_EQ(Opened.size(), 1u);
    const double direct = WordHeight(Opened[0], "Diretto");
    const double throughCanvas = WordHeight(Opened[0], "Tela");
    // Liberation Sans at 10 points: ascent and descent make about 11.5 points.
    EXPECT_GT(direct, 10.0);
    EXPECT_LT(direct, 13.0);
    EXPECT_NEAR(direct, throughCanvas, 0.05);
}

} // namespace
