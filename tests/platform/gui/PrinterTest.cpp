#include "GuiTestSupport.h"

#include "platform/gui/PdfPrinter.h"
#include "platform/gui/Printer.h"
#include "platform/gui/PrinterDevice.h"
#include "platform/os/TempFiles.h"
#include "platform/rtl/Files.h"
#include "platform/rtl/Formats.h"
#include "platform/rtl/TextUtils.h"

#include <gtest/gtest.h>

#include <cstddef>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <regex>
#include <csignal>
#include <sys/resource.h>
#include <sys/stat.h>

// Replaces the desktop opener with one that records its targets (nullptr restores the previous).
void RecordDesktopOpener(std::vector<std::string>* targets);

namespace {

std::string Quote(const std::string& path) { return "'" + path + "'"; }

std::vector<std::string> FilesIn(const std::string& folder)
{
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

// A fresh printer object over a replaced catalogue, writing into a temporary folder, with the
// desktop opener recorded.
class PrinterTest : public testing::Test {
protected:
    void SetUp() override
    {
        Folder = std::make_unique<TTempFolder>("tess-printer");
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

    // Arial 10 "Pagina n" at the printable origin of each page.
    void PrintPages(const std::string& title, int pages)
    {
        TPrinter* printer = Printer();
        printer->Title = title;
        printer->BeginDoc();
        for (int page = 1; page <= pages; ++page) {
            if (page > 1)
                printer->NewPage();
            printer->Canvas()->Font()->SetName("Arial");
            printer->Canvas()->Font()->SetSize(10);
            printer->Canvas()->TextOut(0, 0, "Pagina " + IntToStr(page));
        }
        printer->EndDoc();
    }

    std::string PathOf(const std::string& name) { return IncludeTrailingPathDelimiter(Folder->Path()) + name; }

    std::unique_ptr<TTempFolder> Folder;
    std::vector<std::string> Opened;

private:
    std::unique_ptr<TPrinter> FOldPrinter;
};

} // namespace

TEST_F(PrinterTest, VirtualPrinterStandsInWithItsMetrics)
{
    TPrinter* printer = Printer();
    ASSERT_EQ(printer->Printers()->Count(), 1);
    EXPECT_EQ(printer->Printers()->Strings(0), "Stampante PDF");
    EXPECT_EQ(printer->PrinterIndex(), 0);
    HDC dc = printer->Handle();
    const int caps[] = {LOGPIXELSX, LOGPIXELSY, PHYSICALWIDTH, PHYSICALHEIGHT, PHYSICALOFFSETX, PHYSICALOFFSETY,
                        HORZRES, VERTRES, TECHNOLOGY};
    const int portrait[] = {1200, 1200, 9921, 14031, 236, 236, 9449, 13559, DT_RASPRINTER};
    for (std::size_t i = 0; i < std::size(caps); ++i)
        EXPECT_EQ(PrinterDeviceCaps(dc, caps[i]), portrait[i]) << caps[i];
    POINT size;
    EXPECT_EQ(Escape(dc, GETPHYSPAGESIZE, 0, nullptr, &size), 1);
    EXPECT_EQ(size, (POINT{9921, 14031}));
    const int query = GETPRINTINGOFFSET;
    EXPECT_EQ(Escape(dc, QUERYESCSUPPORT, sizeof query, &query, nullptr), 1);

    // The report engine's units: 93 / 1.022 per inch across and 93 / 1.015 down, halves to even.
    auto units = [&](int index, bool down) {
        const double k = down ? 93 / 1.015 : 93 / 1.022;
        return static_cast<int>(Round(PrinterDeviceCaps(dc, index) * k / PrinterDeviceCaps(dc, down ? LOGPIXELSY : LOGPIXELSX)));
    };
    EXPECT_EQ(units(PHYSICALWIDTH, false), 752);
    EXPECT_EQ(units(PHYSICALHEIGHT, true), 1071);
    EXPECT_EQ(units(PHYSICALOFFSETX, false), 18);
    EXPECT_EQ(units(PHYSICALOFFSETY, true), 18);
    EXPECT_EQ(units(HORZRES, false), 717);
    EXPECT_EQ(units(VERTRES, true), 1035);
    EXPECT_EQ(printer->PageWidth(), 9449);

    printer->SetOrientation(poLandscape);
    EXPECT_EQ(printer->Orientation(), poLandscape);
    EXPECT_EQ(PrinterDeviceCaps(dc, PHYSICALWIDTH), 14031);
    EXPECT_EQ(PrinterDeviceCaps(dc, PHYSICALHEIGHT), 9921);
    EXPECT_EQ(PrinterDeviceCaps(dc, HORZRES), 13559);
    EXPECT_EQ(PrinterDeviceCaps(dc, VERTRES), 9449);
    EXPECT_EQ(units(PHYSICALWIDTH, false), 1064);
    EXPECT_EQ(units(PHYSICALHEIGHT, true), 758);
}

TEST_F(PrinterTest, PaperCapabilities)
{
    const char* name = "Stampante PDF";
    EXPECT_EQ(DeviceCapabilities(name, "FILE:", DC_PAPERS, nullptr, nullptr), 7);
    WORD papers[7] = {};
    ASSERT_EQ(DeviceCapabilities(name, "FILE:", DC_PAPERS, reinterpret_cast<char*>(papers), nullptr), 7);
    const WORD expected[] = {9, 8, 11, 13, 1, 5, 7};
    for (int i = 0; i < 7; ++i)
        EXPECT_EQ(papers[i], expected[i]);
    std::vector<char> names(7 * 64, 'x');
    ASSERT_EQ(DeviceCapabilities(name, "FILE:", DC_PAPERNAMES, names.data(), nullptr), 7);
    EXPECT_STREQ(names.data(), "A4");
    EXPECT_STREQ(names.data() + 3 * 64, "B5 (JIS)");
    EXPECT_EQ(names[63], '\0');
    EXPECT_STREQ(names.data() + 6 * 64, "Executive");
    POINT sizes[7];
    ASSERT_EQ(DeviceCapabilities(name, "FILE:", DC_PAPERSIZE, reinterpret_cast<char*>(sizes), nullptr), 7);
    EXPECT_EQ(sizes[0], (POINT{2100, 2970}));
    EXPECT_EQ(DeviceCapabilities(name, "FILE:", DC_COPIES, nullptr, nullptr), 999);
    EXPECT_EQ(DeviceCapabilities(name, "FILE:", DC_BINS, nullptr, nullptr), 0);
    EXPECT_EQ(DeviceCapabilities("Nessuna", "FILE:", DC_PAPERS, nullptr, nullptr), -1);
}

TEST_F(PrinterTest, DeviceModeRoundTripAndCustomPaper)
{
    TPrinter* printer = Printer();
    std::string device, driver, port;
    HGLOBAL mode = nullptr;
    printer->GetPrinter(device, driver, port, mode);
    EXPECT_EQ(device, "Stampante PDF");
    EXPECT_EQ(driver, "PDF");
    EXPECT_EQ(port, "FILE:");
    // The device mode is a global-memory handle that callers lock and unlock.
    ASSERT_TRUE(IsGlobalHandle(mode));
    EXPECT_GE(GlobalSize(mode), sizeof(DEVMODEA));
    auto* devMode = static_cast<DEVMODEA*>(GlobalLock(mode));
    ASSERT_NE(devMode, nullptr);
    EXPECT_EQ(devMode->dmSpecVersion, 0x401);
    EXPECT_EQ(devMode->dmSize, sizeof(DEVMODEA));
    EXPECT_EQ(devMode->dmPaperSize, DMPAPER_A4);
    EXPECT_STREQ(devMode->dmDeviceName, "Stampante PDF");
    devMode->dmFields = DM_PAPERSIZE | DM_PAPERWIDTH | DM_PAPERLENGTH;
    devMode->dmPaperSize = DMPAPER_USER;
    devMode->dmPaperWidth = 1480;
    devMode->dmPaperLength = 2100;
    GlobalUnlock(mode);
    printer->SetPrinter(device, driver, port, mode);
    EXPECT_EQ(PrinterDeviceCaps(printer->Handle(), PHYSICALWIDTH), 6992);
    EXPECT_EQ(PrinterDeviceCaps(printer->Handle(), PHYSICALHEIGHT), 9921);
    HGLOBAL again = nullptr;
    printer->GetPrinter(device, driver, port, again);
    EXPECT_EQ(again, mode); // the printer keeps one handle and refreshes it
    devMode = static_cast<DEVMODEA*>(GlobalLock(mode));
    EXPECT_EQ(devMode->dmPaperSize, DMPAPER_USER);
    GlobalUnlock(mode);

    // Bad device modes: each is applied over A4 portrait and must leave the printer as the
    // expected paper and orientation say.
    struct TCase {
        const char* Name;
        std::size_t BlockSize; // bytes of the global block (0: no handle at all)
        WORD DmSize;
        DWORD Fields;
        short Paper, Width, Length, Orientation;
        int PhysicalWidth, PhysicalHeight;
        short ReportedPaper;
    };
    const WORD full = sizeof(DEVMODEA);
    const WORD beforePaper = static_cast<WORD>(offsetof(DEVMODEA, dmPaperSize));
    const WORD beforeLength = static_cast<WORD>(offsetof(DEVMODEA, dmPaperLength));
    const DWORD paperFields = DM_PAPERSIZE | DM_PAPERWIDTH | DM_PAPERLENGTH;
    const TCase cases[] = {
        {"null handle", 0, full, paperFields, DMPAPER_A3, 0, 0, 0, 9921, 14031, DMPAPER_A4},
        {"custom 0 x 0", full, full, paperFields, DMPAPER_USER, 0, 0, 0, 9921, 14031, DMPAPER_A4},
        {"custom negative", full, full, paperFields, DMPAPER_USER, -10, 2100, 0, 9921, 14031, DMPAPER_A4},
        {"unknown paper", full, full, DM_PAPERSIZE, 70, 0, 0, 0, 9921, 14031, DMPAPER_A4},
        {"dmSize before the paper", full, beforePaper, DM_ORIENTATION | DM_PAPERSIZE, DMPAPER_A3, 0, 0,
         DMORIENT_LANDSCAPE, 14031, 9921, DMPAPER_A4},
        {"dmSize before the length", full, beforeLength, paperFields, DMPAPER_USER, 1480, 2100, 0, 9921, 14031,
         DMPAPER_A4},
        {"block shorter than dmSize", beforePaper, full, DM_ORIENTATION | DM_PAPERSIZE, DMPAPER_A3, 0, 0,
         DMORIENT_LANDSCAPE, 14031, 9921, DMPAPER_A4},
        {"block too short for dmSize", 8, full, paperFields, DMPAPER_A3, 0, 0, 0, 9921, 14031, DMPAPER_A4},
        {"a good A3 for contrast", full, full, DM_PAPERSIZE, DMPAPER_A3, 0, 0, 0, 14031, 19843, DMPAPER_A3},
    };
    for (const TCase& c : cases) {
        auto* reset = static_cast<DEVMODEA*>(GlobalLock(mode));
        reset->dmFields = DM_PAPERSIZE | DM_ORIENTATION;
        reset->dmPaperSize = DMPAPER_A4;
        reset->dmOrientation = DMORIENT_PORTRAIT;
        GlobalUnlock(mode);
        printer->SetPrinter(device, driver, port, mode);

        HGLOBAL bad = nullptr;
        if (c.BlockSize > 0) {
            DEVMODEA fields;
            fields.dmSize = c.DmSize;
            fields.dmFields = c.Fields;
            fields.dmPaperSize = c.Paper;
            fields.dmPaperWidth = c.Width;
            fields.dmPaperLength = c.Length;
            fields.dmOrientation = c.Orientation;
            bad = GlobalAlloc(GHND, c.BlockSize);
            std::memcpy(GlobalLock(bad), &fields, c.BlockSize);
            GlobalUnlock(bad);
        }
        EXPECT_NO_THROW(printer->SetPrinter(device, driver, port, bad)) << c.Name;
        if (bad)
            GlobalFree(bad);
        EXPECT_EQ(PrinterDeviceCaps(printer->Handle(), PHYSICALWIDTH), c.PhysicalWidth) << c.Name;
        EXPECT_EQ(PrinterDeviceCaps(printer->Handle(), PHYSICALHEIGHT), c.PhysicalHeight) << c.Name;
        printer->GetPrinter(device, driver, port, mode);
        DEVMODEA readBack;
        ASSERT_TRUE(ReadDevMode(mode, readBack));
        EXPECT_EQ(readBack.dmPaperSize, c.ReportedPaper) << c.Name;
    }
    printer->SetOrientation(poPortrait);

    EXPECT_THROW(printer->SetPrinter("Nessuna", "CUPS", "CUPS:Nessuna", nullptr), EPrinter);
    EXPECT_THROW(printer->SetPrinter("", "CUPS", "", nullptr), EPrinter);
    try {
        printer->SetPrinterIndex(3);
        FAIL();
    } catch (const EPrinter& e) {
        EXPECT_EQ(e.Message, "Printer index out of range");
    }
}

TEST_F(PrinterTest, ThreePageJobWritesOnePdf)
{
    PrintPages("TS Stampa", 3);
    EXPECT_EQ(FilesIn(Folder->Path()), std::vector<std::string>{"TS Stampa.pdf"});
    const std::string pdf = PathOf("TS Stampa.pdf");
    ASSERT_EQ(Opened.size(), 1u);
    EXPECT_EQ(Opened[0], pdf);
    EXPECT_EQ(Printer()->LastOutputFile(), pdf);

    const std::string info = RunCommand("pdfinfo " + Quote(pdf));
    EXPECT_TRUE(std::regex_search(info, std::regex("Pages:\\s+3\n"))) << info;
    std::smatch size;
    ASSERT_TRUE(std::regex_search(info, size, std::regex(R"re(Page size:\s+([0-9.]+) x ([0-9.]+) pts)re")));
    EXPECT_NEAR(std::stod(size[1]), 595.276, 0.5);
    EXPECT_NEAR(std::stod(size[2]), 841.89, 0.5);
    EXPECT_TRUE(std::regex_search(info, std::regex("Title:\\s+TS Stampa\n"))) << info;

    EXPECT_EQ(RunCommand("pdftotext -f 2 -l 2 " + Quote(pdf) + " - | tr -d '\\f' | sed '/^$/d'"), "Pagina 2\n");
    const std::string bbox = RunCommand("pdftotext -bbox -f 1 -l 1 " + Quote(pdf) + " -");
    std::smatch word;
    ASSERT_TRUE(std::regex_search(bbox, word, std::regex(R"re(<word xMin="([0-9.]+)" yMin="([0-9.]+)"[^>]*>Pagina)re")))
        << bbox;
    EXPECT_NEAR(std::stod(word[1]), 14.2, 0.6);
    EXPECT_GE(std::stod(word[2]), 13.6);
    EXPECT_LE(std::stod(word[2]), 18.0);
    const std::string fonts = RunCommand("pdffonts " + Quote(pdf));
    EXPECT_NE(fonts.find("LiberationSans"), std::string::npos) << fonts;
    EXPECT_NE(fonts.find(" yes "), std::string::npos) << fonts; // embedded
    EXPECT_EQ(RunCommand("qpdf --check " + Quote(pdf) + " >/dev/null; echo $?"), "0\n");
}

TEST_F(PrinterTest, FileNamesOrientationCopiesAndMargins)
{
    PrintPages("TS Stampa", 1);
    PrintPages("TS Stampa", 1);
    PrintPages("a/b:c", 1);
    PrintPages("", 1);
    EXPECT_EQ(FilesIn(Folder->Path()),
              (std::vector<std::string>{"Stampa.pdf", "TS Stampa (2).pdf", "TS Stampa.pdf", "a_b_c.pdf"}));
    EXPECT_EQ(PdfFileNameForTitle(std::string(300, 'x')), std::string(200, 'x') + ".pdf");
    EXPECT_EQ(PdfFileNameForTitle(std::string("a\x01\x7F|\"?*<>") + "\\"), "a_________.pdf");
    EXPECT_EQ(PdfFileNameForTitle(".."), "__.pdf");
    // Accented letters take two bytes on disk: the name stays short enough to be written.
    const std::string accented(300, '\xE8');
    EXPECT_EQ(PdfFileNameForTitle(accented), std::string(100, '\xE8') + ".pdf");
    PrintPages(accented, 1);
    EXPECT_TRUE(FileExists(PathOf(std::string(100, '\xE8') + ".pdf")));

    Printer()->SetOrientation(poLandscape);
    PrintPages("Orizzontale", 1);
    const std::string info = RunCommand("pdfinfo " + Quote(PathOf("Orizzontale.pdf")));
    std::smatch size;
    ASSERT_TRUE(std::regex_search(info, size, std::regex(R"re(Page size:\s+([0-9.]+) x ([0-9.]+) pts)re")));
    EXPECT_NEAR(std::stod(size[1]), 841.89, 0.5);
    EXPECT_NEAR(std::stod(size[2]), 595.276, 0.5);
    Printer()->SetOrientation(poPortrait);

    Printer()->SetCopies(2);
    PrintPages("Copie", 2);
    const std::string text = RunCommand("pdftotext " + Quote(PathOf("Copie.pdf")) + " - | tr -d '\\f' | sed '/^$/d'");
    EXPECT_EQ(text, "Pagina 1\nPagina 2\nPagina 1\nPagina 2\n");
    Printer()->SetCopies(1);

    TPrinter* printer = Printer();
    printer->Title = "Margine";
    printer->BeginDoc();
    printer->Canvas()->Font()->SetName("Arial");
    printer->Canvas()->Font()->SetSize(10);
    printer->Canvas()->TextOut(-200, -200, "X");
    printer->EndDoc();
    const std::string bbox = RunCommand("pdftotext -bbox " + Quote(PathOf("Margine.pdf")) + " -");
    std::smatch word;
    ASSERT_TRUE(std::regex_search(bbox, word, std::regex(R"re(<word xMin="([0-9.]+)"[^>]*>X<)re"))) << bbox;
    EXPECT_NEAR(std::stod(word[1]), 2.2, 0.6);
}

TEST_F(PrinterTest, AbortAndMisuseRaiseAndLeaveNoFile)
{
    TPrinter* printer = Printer();
    printer->Title = "Annullato";
    printer->BeginDoc();
    EXPECT_TRUE(printer->Printing());
    EXPECT_EQ(printer->PageNumber(), 1);
    printer->Canvas()->TextOut(0, 0, "uno");
    printer->NewPage();
    EXPECT_EQ(printer->PageNumber(), 2);
    try {
        printer->BeginDoc();
        FAIL();
    } catch (const EPrinter& e) {
        EXPECT_EQ(e.Message, "Printing in progress");
    }
    EXPECT_THROW(printer->SetOrientation(poLandscape), EPrinter);
    EXPECT_THROW(printer->SetPrinterIndex(0), EPrinter);
    std::string device, driver, port;
    HGLOBAL mode = nullptr;
    printer->GetPrinter(device, driver, port, mode);
    try {
        printer->SetPrinter(device, driver, port, mode);
        FAIL();
    } catch (const EPrinter& e) {
        EXPECT_EQ(e.Message, "Printing in progress");
    }
    EXPECT_TRUE(printer->Printing());
    printer->Abort();
    EXPECT_TRUE(printer->Aborted());
    EXPECT_FALSE(printer->Printing());
    EXPECT_TRUE(FilesIn(Folder->Path()).empty());
    try {
        printer->NewPage();
        FAIL();
    } catch (const EPrinter& e) {
        EXPECT_EQ(e.Message, "Printer is not currently printing");
    }
    EXPECT_TRUE(Opened.empty());

    // A folder that cannot be written (a path under a plain file): EndDoc names the file and
    // leaves nothing behind.
    const std::string plain = PathOf("semplice.txt");
    WriteFileAtomically(plain, "x");
    SetVirtualPrinterFolder(plain + "/sotto");
    printer->Title = "Bloccato";
    printer->BeginDoc();
    printer->Canvas()->TextOut(0, 0, "uno");
    try {
        printer->EndDoc();
        FAIL();
    } catch (const EPrinter& e) {
        EXPECT_NE(e.Message.find("Impossibile scrivere il file \""), std::string::npos) << e.Message;
        EXPECT_NE(e.Message.find("Bloccato.pdf"), std::string::npos) << e.Message;
    }
    EXPECT_FALSE(printer->Printing());
    EXPECT_EQ(FilesIn(Folder->Path()), std::vector<std::string>{"semplice.txt"});
    EXPECT_TRUE(Opened.empty());
}

// A disk that fills while the job is written: the file-size limit makes every write past a few
// kilobytes fail, as a full disk does.
TEST_F(PrinterTest, FullDiskDuringEndDocLeavesNoFile)
{
    TPrinter* printer = Printer();
    printer->Title = "Disco pieno";
    printer->BeginDoc();
    printer->Canvas()->Font()->SetName("Arial");
    printer->Canvas()->Font()->SetSize(10);
    for (int line = 0; line < 60; ++line)
        printer->Canvas()->TextOut(0, line * 200, "Riga " + IntToStr(line) + " di un documento che non entra");
    rlimit saved{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
    const auto previousHandler = signal(SIGXFSZ, SIG_IGN);
    rlimit small = saved;
    small.rlim_cur = 2048;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    std::string message;
    try {
        printer->EndDoc();
    } catch (const EPrinter& e) {
        message = e.Message;
    }
    setrlimit(RLIMIT_FSIZE, &saved);
    signal(SIGXFSZ, previousHandler);
    EXPECT_NE(message.find("Impossibile scrivere il file \"" + PathOf("Disco pieno.pdf") + "\""), std::string::npos)
        << message;
    EXPECT_FALSE(printer->Printing());
    EXPECT_EQ(FilesIn(Folder->Path()), std::vector<std::string>{});
    EXPECT_TRUE(Opened.empty());
    // The next job goes through once there is room again.
    PrintPages("Disco pieno", 1);
    EXPECT_EQ(FilesIn(Folder->Path()), std::vector<std::string>{"Disco pieno.pdf"});
}

// The virtual printer writes into the documents folder, making it when the desktop has none; a
// printer with no folder at all refuses the job rather than writing at the root.
TEST_F(PrinterTest, DocumentsFolderIsMadeWhenMissing)
{
    auto saveEnv = [](const char* name) {
        const char* value = getenv(name);
        return std::make_pair(value != nullptr, std::string(value ? value : ""));
    };
    const auto home = saveEnv("HOME"), config = saveEnv("XDG_CONFIG_HOME"), documents = saveEnv("XDG_DOCUMENTS_DIR");
    setenv("HOME", Folder->Path().c_str(), 1);
    setenv("XDG_CONFIG_HOME", PathOf("config").c_str(), 1);
    unsetenv("XDG_DOCUMENTS_DIR");
    SetVirtualPrinterFolder("");
    PrintPages("Nei documenti", 1);
    auto restore = [](const char* name, const std::pair<bool, std::string>& value) {
        if (value.first)
            setenv(name, value.second.c_str(), 1);
        else
            unsetenv(name);
    };
    restore("HOME", home);
    restore("XDG_CONFIG_HOME", config);
    restore("XDG_DOCUMENTS_DIR", documents);
    SetVirtualPrinterFolder(Folder->Path());
    EXPECT_TRUE(FileExists(PathOf("Documents/Nei documenti.pdf")));
    ASSERT_EQ(Opened.size(), 1u);
    EXPECT_EQ(Opened[0], PathOf("Documents/Nei documenti.pdf"));

    TPrinterCatalogue catalogue;
    TPrinterInfo file;
    file.Name = "Senza cartella";
    file.Kind = TPrinterKind::File;
    catalogue.Printers.push_back(file);
    SetPrinterCatalogue(catalogue);
    TPrinter* printer = Printer();
    printer->SetPrinterIndex(0);
    printer->Title = "tess-radice";
    printer->BeginDoc();
    printer->Canvas()->TextOut(0, 0, "uno");
    try {
        printer->EndDoc();
        FAIL() << "no exception";
    } catch (const EPrinter& e) {
        EXPECT_NE(e.Message.find("Impossibile scrivere il file \"tess-radice.pdf\""), std::string::npos) << e.Message;
    }
    EXPECT_FALSE(printer->Printing());
    EXPECT_FALSE(FileExists("/tess-radice.pdf"));
}

TEST_F(PrinterTest, NoPrinterAtAll)
{
    TPrinterCatalogue none;
    none.VirtualWhenEmpty = false;
    SetPrinterCatalogue(none);
    TPrinter* printer = Printer();
    EXPECT_EQ(printer->Printers()->Count(), 0);
    EXPECT_EQ(printer->PrinterIndex(), -1);
    try {
        printer->BeginDoc();
        FAIL();
    } catch (const EPrinter& e) {
        EXPECT_EQ(e.Message, "There is no default printer currently selected");
    }
    EXPECT_FALSE(printer->Printing());
}

TEST_F(PrinterTest, FilePrinterBehavesAsASystemPrinter)
{
    TPrinterCatalogue catalogue;
    TPrinterInfo file;
    file.Name = "Ufficio";
    file.Kind = TPrinterKind::File;
    file.Resolution = 600;
    file.Papers = {DMPAPER_A4, DMPAPER_LETTER};
    file.OutputFolder = Folder->Path();
    catalogue.Printers.push_back(file);
    SetPrinterCatalogue(catalogue);
    TPrinter* printer = Printer();
    ASSERT_EQ(printer->Printers()->Count(), 1);
    EXPECT_EQ(printer->Printers()->Strings(0), "Ufficio");
    EXPECT_EQ(PrinterDeviceCaps(printer->Handle(), LOGPIXELSX), 600);
    EXPECT_EQ(PrinterDeviceCaps(printer->Handle(), PHYSICALOFFSETX), 100);
    EXPECT_EQ(PrinterDeviceCaps(printer->Handle(), PHYSICALOFFSETY), 100);
    std::string device, driver, port;
    HGLOBAL mode = nullptr;
    printer->GetPrinter(device, driver, port, mode);
    EXPECT_EQ(driver, "CUPS");
    EXPECT_EQ(port, "CUPS:Ufficio");
    PrintPages("Fattura 12", 1);
    const std::string info = RunCommand("pdfinfo " + Quote(PathOf("Fattura 12.pdf")));
    EXPECT_TRUE(std::regex_search(info, std::regex("Title:\\s+Fattura 12\n"))) << info;
    EXPECT_TRUE(Opened.empty());
}

// A stand-in for the print service's "lp" on the PATH: it records its arguments and the PDF it
// was given, or refuses the job.
class TFakeLp {
public:
    TFakeLp(const std::string& folder, bool refuse) : FOldPath(getenv("PATH") ? getenv("PATH") : "")
    {
        const std::string script = folder + "/lp";
        std::string body = "#!/bin/sh\n";
        if (refuse)
            body += "echo 'lp: coda ferma' >&2\nexit 1\n";
        else
            body += "printf '%s\\n' \"$@\" > '" + folder + "/lp-args'\n"
                    "for last; do :; done\ncp \"$last\" '" + folder + "/lp-job.pdf'\n";
        WriteFileAtomically(script, body);
        chmod(script.c_str(), 0755);
        setenv("PATH", (folder + ":" + FOldPath).c_str(), 1);
    }
    ~TFakeLp() { setenv("PATH", FOldPath.c_str(), 1); }

private:
    std::string FOldPath;
};

TEST_F(PrinterTest, SystemPrinterJobsGoToThePrintService)
{
    TPrinterCatalogue catalogue;
    TPrinterInfo queue;
    queue.Name = "Ufficio";
    queue.Papers = {DMPAPER_A4};
    catalogue.Printers.push_back(queue);
    SetPrinterCatalogue(catalogue);
    const std::string tools = PathOf("strumenti");
    ASSERT_TRUE(CreateDir(tools));
    {
        TFakeLp lp(tools, false);
        Printer()->SetCopies(2);
        PrintPages("TS Stampa", 2);
    }
    const std::string args = RunCommand("cat " + Quote(tools + "/lp-args"));
    EXPECT_NE(args.find("-d\nUfficio\n-t\nTS Stampa\n-n\n2\n"), std::string::npos) << args;
    EXPECT_NE(args.find("collate=true"), std::string::npos) << args;
    // One copy of the job goes to the service, which makes the copies itself.
    EXPECT_TRUE(std::regex_search(RunCommand("pdfinfo " + Quote(tools + "/lp-job.pdf")), std::regex("Pages:\\s+2\n")));
    EXPECT_TRUE(Opened.empty());

    {
        TFakeLp lp(tools, true);
        try {
            PrintPages("Rifiutato", 1);
            FAIL() << "no exception";
        } catch (const EPrinter& e) {
            EXPECT_NE(e.Message.find("Impossibile stampare su \"Ufficio\""), std::string::npos) << e.Message;
            EXPECT_NE(e.Message.find("coda ferma"), std::string::npos) << e.Message;
        }
    }
    EXPECT_FALSE(Printer()->Printing());
}

TEST_F(PrinterTest, PrintServiceQueue)
{
    const char* queue = getenv("TESS_CUPS_QUEUE");
    if (!queue || !*queue)
        GTEST_SKIP() << "TESS_CUPS_QUEUE names no print queue";
    ResetPrinterCatalogue();
    TPrinter* printer = Printer();
    const int index = printer->Printers()->IndexOf(queue);
    ASSERT_GE(index, 0);
    printer->SetPrinterIndex(index);
    PrintPages("TS Stampa", 2);
    EXPECT_TRUE(PumpUntil([] { return RunCommand("lpstat -W completed -o").find("TS Stampa") != std::string::npos ||
                                      RunCommand("lpstat -W completed -l -o").find("TS Stampa") != std::string::npos; },
                          20000));
}
