#include "platform/gui/Printer.h"

#include "platform/gui/Screen.h"
#include "platform/rtl/Formats.h"

#include <algorithm>
#include <cstring>

namespace {

const char* const SPrinterIndexError = "Printer index out of range";
const char* const SNoDefaultPrinter = "There is no default printer currently selected";
const char* const SNotPrinting = "Printer is not currently printing";
const char* const SPrinting = "Printing in progress";
const char* const SInvalidPrinter = "Printer selected is not valid";

std::unique_ptr<TPrinter>& Instance()
{
    static std::unique_ptr<TPrinter> printer;
    return printer;
}

} // namespace

TPrinter* Printer()
{
    std::unique_ptr<TPrinter>& instance = Instance();
    if (!instance)
        instance = std::make_unique<TPrinter>();
    return instance.get();
}

std::unique_ptr<TPrinter> SetPrinter(std::unique_ptr<TPrinter> newPrinter)
{
    std::unique_ptr<TPrinter> old = std::move(Instance());
    Instance() = std::move(newPrinter);
    return old;
}

TPrinter::TPrinter()
    : FPrinters(std::make_unique<TStringList>()), FFonts(std::make_unique<TStringList>()),
      FCanvas(std::make_unique<TCanvas>())
{
}

TPrinter::~TPrinter()
{
    if (FPrinting && FDC)
        AbortDoc(FDC);
    FreeContext();
    if (FDevMode && IsGlobalHandle(FDevMode))
        GlobalFree(FDevMode);
}

TStrings* TPrinter::Printers()
{
    FPrinters->Clear();
    for (const TPrinterInfo& info : PrinterList())
        FPrinters->Add(info.Name);
    return FPrinters.get();
}

int TPrinter::PrinterIndex()
{
    const std::vector<TPrinterInfo> printers = PrinterList();
    if (!FPrinterName.empty())
        for (std::size_t i = 0; i < printers.size(); ++i)
            if (printers[i].Name == FPrinterName)
                return static_cast<int>(i);
    return DefaultPrinterIndex();
}

void TPrinter::SetPrinterIndex(int value)
{
    CheckNotPrinting();
    const std::vector<TPrinterInfo> printers = PrinterList();
    if (value == -1)
        value = DefaultPrinterIndex();
    if (value < 0 || value >= static_cast<int>(printers.size()))
        RAISE(EPrinter(SPrinterIndexError));
    const std::string name = printers[static_cast<std::size_t>(value)].Name;
    if (name == FPrinterName && FDC)
        return;
    FreeContext();
    FPrinterName = name;
}

TStrings* TPrinter::Fonts()
{
    FFonts->Clear();
    if (Screen)
        for (const std::string& family : Screen->Fonts)
            FFonts->Add(family);
    return FFonts.get();
}

void TPrinter::RequirePrinter()
{
    if (!FPrinterName.empty()) {
        TPrinterInfo info;
        if (FindPrinter(FPrinterName, info))
            return;
        FreeContext();
        FPrinterName.clear();
    }
    const std::vector<TPrinterInfo> printers = PrinterList();
    const int index = DefaultPrinterIndex();
    if (index < 0 || index >= static_cast<int>(printers.size()))
        RAISE(EPrinter(SNoDefaultPrinter));
    FPrinterName = printers[static_cast<std::size_t>(index)].Name;
}

void TPrinter::CheckNotPrinting()
{
    if (FPrinting)
        RAISE(EPrinter(SPrinting));
}

void TPrinter::FreeContext()
{
    FCanvas->SetHandle(nullptr);
    if (FDC) {
        DeleteDC(FDC);
        FDC = nullptr;
    }
}

HDC TPrinter::Handle()
{
    RequirePrinter();
    if (!FDC) {
        FDC = CreatePrinterDC(FPrinterName, nullptr);
        if (!FDC)
            RAISE(EPrinter(SInvalidPrinter));
        // Fonts on the printer are sized for its resolution.
        TFont* font = FCanvas->Font();
        const int size = font->Size();
        font->PixelsPerInch = PrinterDeviceCaps(FDC, LOGPIXELSY);
        font->SetSize(size);
    }
    return FDC;
}

void TPrinter::BindCanvas()
{
    HDC dc = PrinterDrawingDC(Handle());
    if (FCanvas->HandleAllocated())
        FCanvas->SetHandle(nullptr);
    FCanvas->SetHandle(dc);
}

TCanvas* TPrinter::Canvas()
{
    if (!FCanvas->HandleAllocated())
        BindCanvas();
    return FCanvas.get();
}

int TPrinter::PageWidth() { return PrinterDeviceCaps(Handle(), HORZRES); }
int TPrinter::PageHeight() { return PrinterDeviceCaps(Handle(), VERTRES); }

TPrinterOrientation TPrinter::Orientation()
{
    DEVMODEA mode;
    GetPrinterDevMode(Handle(), mode);
    return mode.dmOrientation == DMORIENT_LANDSCAPE ? poLandscape : poPortrait;
}

void TPrinter::SetOrientation(TPrinterOrientation value)
{
    CheckNotPrinting();
    DEVMODEA mode;
    mode.dmSize = sizeof(DEVMODEA);
    mode.dmFields = DM_ORIENTATION;
    mode.dmOrientation = value == poLandscape ? DMORIENT_LANDSCAPE : DMORIENT_PORTRAIT;
    ApplyPrinterDevMode(Handle(), mode);
}

int TPrinter::Copies()
{
    DEVMODEA mode;
    GetPrinterDevMode(Handle(), mode);
    return mode.dmCopies;
}

void TPrinter::SetCopies(int value)
{
    CheckNotPrinting();
    DEVMODEA mode;
    mode.dmSize = sizeof(DEVMODEA);
    mode.dmFields = DM_COPIES;
    mode.dmCopies = static_cast<short>(std::max(1, std::min(value, 999)));
    ApplyPrinterDevMode(Handle(), mode);
}

TPrinterCapabilities TPrinter::Capabilities() { return TPrinterCapabilities{pcCopies, pcOrientation, pcCollation}; }

void TPrinter::GetPrinter(std::string& device, std::string& driver, std::string& port, HGLOBAL& deviceMode)
{
    HDC dc = Handle();
    TPrinterInfo info;
    FindPrinter(FPrinterName, info);
    device = info.Name;
    const bool isVirtual = info.Kind == TPrinterKind::Virtual;
    driver = isVirtual ? "PDF" : "CUPS";
    port = isVirtual ? "FILE:" : "CUPS:" + info.Name;
    DEVMODEA mode;
    GetPrinterDevMode(dc, mode);
    // The handle stays the printer's: callers lock it, read or change it, and hand it back.
    void* block = FDevMode && GlobalSize(FDevMode) >= sizeof(DEVMODEA) ? GlobalLock(FDevMode) : nullptr;
    if (block) {
        std::memcpy(block, &mode, sizeof(DEVMODEA));
        GlobalUnlock(FDevMode);
    } else {
        if (FDevMode && IsGlobalHandle(FDevMode))
            GlobalFree(FDevMode);
        FDevMode = GlobalAllocDevMode(mode);
    }
    deviceMode = FDevMode;
}

void TPrinter::SetPrinter(const std::string& device, const std::string&, const std::string&, HGLOBAL deviceMode)
{
    CheckNotPrinting();
    TPrinterInfo info;
    if (device.empty() || !FindPrinter(device, info))
        RAISE(EPrinter(SInvalidPrinter));
    if (device != FPrinterName) {
        FreeContext();
        FPrinterName = device;
    }
    HDC dc = Handle();
    DEVMODEA mode;
    if (ReadDevMode(deviceMode, mode))
        ApplyPrinterDevMode(dc, mode);
}

void TPrinter::RaiseJobError(const std::string& fallback)
{
    const std::string reason = FDC ? PrinterErrorText(FDC) : std::string();
    FPrinting = false;
    FCanvas->SetHandle(nullptr);
    RAISE(EPrinter(reason.empty() ? fallback : reason));
}

void TPrinter::BeginDoc()
{
    CheckNotPrinting();
    HDC dc = Handle();
    FAborted = false;
    FPageNumber = 1;
    DOCINFOA info;
    info.lpszDocName = Title.c_str();
    FCanvas->SetHandle(nullptr);
    if (StartDocA(dc, &info) <= 0 || StartPage(dc) <= 0) {
        AbortDoc(dc);
        RaiseJobError(Format("Impossibile stampare su \"%s\"", {FPrinterName}));
    }
    FPrinting = true;
    BindCanvas();
}

void TPrinter::NewPage()
{
    if (!FPrinting)
        RAISE(EPrinter(SNotPrinting));
    FCanvas->SetHandle(nullptr);
    if (EndPage(FDC) <= 0 || StartPage(FDC) <= 0) {
        AbortDoc(FDC);
        RaiseJobError(Format("Impossibile stampare su \"%s\"", {FPrinterName}));
    }
    ++FPageNumber;
    BindCanvas();
}

void TPrinter::EndDoc()
{
    if (!FPrinting)
        RAISE(EPrinter(SNotPrinting));
    FCanvas->SetHandle(nullptr);
    if (EndPage(FDC) <= 0 || ::EndDoc(FDC) <= 0) {
        AbortDoc(FDC);
        RaiseJobError(Format("Impossibile stampare su \"%s\"", {FPrinterName}));
    }
    FPrinting = false;
    FLastOutput = PrinterOutputFile(FDC);
    BindCanvas();
}

void TPrinter::Abort()
{
    if (!FPrinting)
        RAISE(EPrinter(SNotPrinting));
    FCanvas->SetHandle(nullptr);
    AbortDoc(FDC);
    FPrinting = false;
    FAborted = true;
    BindCanvas();
}

std::string TPrinter::LastOutputFile() { return FLastOutput; }
