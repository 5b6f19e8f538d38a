#include "platform/gui/PrinterDevice.h"

#include "platform/gui/Metafile.h"
#include "platform/gui/PdfPrinter.h"
#include "platform/gui/Regions.h"
#include "platform/gui/TextOutput.h"
#include "platform/gui/private/FontCache.h"
#include "platform/gui/private/GdiInternals.h"
#include "platform/gui/private/PrinterPages.h"
#include "platform/os/Shell.h"
#include "platform/os/TempFiles.h"
#include "platform/rtl/Codepage.h"
#include "platform/rtl/Files.h"
#include "platform/rtl/Formats.h"

#include <QPainterPath>
#include <QProcess>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <map>
#include <mutex>
#include <optional>

const char* const VirtualPrinterName = "Stampante PDF";

namespace {

// --- Papers ------------------------------------------------------------------------------------

struct TPaper {
    int Number;
    const char* Name;
    int Width;  // tenths of a millimetre, portrait
    int Length;
};

const TPaper Papers[] = {
    {DMPAPER_A4, "A4", 2100, 2970},       {DMPAPER_A3, "A3", 2970, 4200},
    {DMPAPER_A5, "A5", 1480, 2100},       {DMPAPER_B5, "B5 (JIS)", 1820, 2570},
    {DMPAPER_LETTER, "Letter", 2159, 2794}, {DMPAPER_LEGAL, "Legal", 2159, 3556},
    {DMPAPER_EXECUTIVE, "Executive", 1842, 2667},
};

const TPaper* FindPaper(int number)
{
    for (const TPaper& paper : Papers)
        if (paper.Number == number)
            return &paper;
    return nullptr;
}

// --- The catalogue -----------------------------------------------------------------------------

struct TCatalogueState {
    std::mutex Mutex;
    std::optional<TPrinterCatalogue> Override;
    std::optional<TPrinterCatalogue> System; // asked once
};

TCatalogueState& Catalogue()
{
    static TCatalogueState state;
    return state;
}

std::string RunTool(const QString& program, const QStringList& arguments)
{
    QProcess process;
    process.start(program, arguments);
    if (!process.waitForFinished(3000) || process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0)
        return {};
    return process.readAllStandardOutput().toStdString();
}

// The papers a print queue reports, as Windows paper numbers.
std::vector<int> SystemPapers(const std::string& queue)
{
    std::vector<int> result;
    const std::string options = RunTool("lpoptions", {"-p", QString::fromStdString(queue), "-l"});
    for (const QString& line : QString::fromStdString(options).split('\n')) {
        if (!line.startsWith("PageSize"))
            continue;
        for (QString key : line.section(':', 1).split(' ', Qt::SkipEmptyParts)) {
            key.remove('*');
            for (int id = 0; id <= QPageSize::LastPageSize; ++id) {
                const auto pageId = static_cast<QPageSize::PageSizeId>(id);
                if (QPageSize::key(pageId).compare(key, Qt::CaseInsensitive) == 0) {
                    const int windowsId = QPageSize::windowsId(pageId);
                    if (windowsId > 0 && std::find(result.begin(), result.end(), windowsId) == result.end())
                        result.push_back(windowsId);
                    break;
                }
            }
        }
    }
    if (result.empty())
        result = {DMPAPER_A4, DMPAPER_LETTER};
    return result;
}

// The print service's queues, in its order, with its default.
TPrinterCatalogue QuerySystemPrinters()
{
    TPrinterCatalogue catalogue;
    const QString names = QString::fromStdString(RunTool("lpstat", {"-e"}));
    const QString defaultLine = QString::fromStdString(RunTool("lpstat", {"-d"}));
    const QString defaultName = defaultLine.section(':', 1).trimmed();
    for (const QString& name : names.split('\n', Qt::SkipEmptyParts)) {
        TPrinterInfo info;
        info.Name = Utf8ToAnsi(name.trimmed().toStdString());
        info.Kind = TPrinterKind::System;
        info.Papers = SystemPapers(name.trimmed().toStdString());
        if (name.trimmed() == defaultName)
            catalogue.DefaultIndex = static_cast<int>(catalogue.Printers.size());
        catalogue.Printers.push_back(info);
    }
    return catalogue;
}

TPrinterCatalogue EffectiveCatalogue()
{
    TCatalogueState& state = Catalogue();
    std::lock_guard lock(state.Mutex);
    if (!state.Override && !state.System)
        state.System = QuerySystemPrinters();
    TPrinterCatalogue catalogue = state.Override ? *state.Override : *state.System;
    if (catalogue.Printers.empty() && catalogue.VirtualWhenEmpty) {
        catalogue.Printers.push_back(VirtualPrinterInfo());
        catalogue.DefaultIndex = 0;
    }
    if (catalogue.DefaultIndex < 0 || catalogue.DefaultIndex >= static_cast<int>(catalogue.Printers.size()))
        catalogue.DefaultIndex = catalogue.Printers.empty() ? -1 : 0;
    return catalogue;
}

// --- Printer contexts --------------------------------------------------------------------------

struct TPrinterContext {
    TPrinterInfo Info;
    int Paper = DMPAPER_A4;
    int PaperWidth = 2100; // tenths of a millimetre, portrait
    int PaperLength = 2970;
    short Orientation = DMORIENT_PORTRAIT;
    short Copies = 1;
    bool Collate = true;
    short Color = DMCOLOR_COLOR;
    short Duplex = DMDUP_SIMPLEX;
    bool InJob = false;
    std::string Title;
    std::string Output;
    std::vector<std::shared_ptr<TPrinterPage>> Pages;
    std::unique_ptr<TMetafile> PageMetafile;
    std::unique_ptr<TMetafileCanvas> PageCanvas;
    std::string Error;
    std::string LastFile;
};

// Never destroyed: objects that outlive main (the printer object among them) still release their
// contexts at exit.
std::map<std::uintptr_t, std::unique_ptr<TPrinterContext>>& Contexts()
{
    static auto* contexts = new std::map<std::uintptr_t, std::unique_ptr<TPrinterContext>>;
    return *contexts;
}

TPrinterContext* FindContext(HDC dc)
{
    auto& contexts = Contexts();
    auto found = contexts.find(reinterpret_cast<std::uintptr_t>(dc));
    return found == contexts.end() ? nullptr : found->second.get();
}

int ToPixels(double millimetres, int dpi) { return static_cast<int>(std::lround(millimetres * dpi / 25.4)); }

struct TPageMetrics {
    int PhysicalWidth, PhysicalHeight;
    int OffsetX, OffsetY;
    int PrintableWidth, PrintableHeight;
};

TPageMetrics MetricsOf(const TPrinterContext& context)
{
    const int dpi = context.Info.Resolution;
    const bool landscape = context.Orientation == DMORIENT_LANDSCAPE;
    const double widthMm = (landscape ? context.PaperLength : context.PaperWidth) / 10.0;
    const double heightMm = (landscape ? context.PaperWidth : context.PaperLength) / 10.0;
    TPageMetrics m;
    m.PhysicalWidth = ToPixels(widthMm, dpi);
    m.PhysicalHeight = ToPixels(heightMm, dpi);
    m.OffsetX = ToPixels(context.Info.Margins[0], dpi);
    m.OffsetY = ToPixels(context.Info.Margins[1], dpi);
    m.PrintableWidth = m.PhysicalWidth - m.OffsetX - ToPixels(context.Info.Margins[2], dpi);
    m.PrintableHeight = m.PhysicalHeight - m.OffsetY - ToPixels(context.Info.Margins[3], dpi);
    return m;
}

bool PrinterOffers(const TPrinterInfo& info, int paper)
{
    return std::find(info.Papers.begin(), info.Papers.end(), paper) != info.Papers.end();
}

void SetPaper(TPrinterContext& context, int paper)
{
    int width = 0, length = 0;
    if (!PaperSizeTenths(paper, width, length))
        return;
    context.Paper = paper;
    context.PaperWidth = width;
    context.PaperLength = length;
}

// Whether the device mode's dmSize covers the field at offset with size bytes.
bool Covers(const DEVMODEA& devMode, const void* field, std::size_t size)
{
    const auto offset = static_cast<std::size_t>(static_cast<const char*>(field) - reinterpret_cast<const char*>(&devMode));
    return devMode.dmSize >= offset + size;
}

void Apply(TPrinterContext& context, const DEVMODEA& devMode)
{
    const DWORD fields = devMode.dmFields;
    auto has = [&](DWORD flag, const auto& field) { return (fields & flag) != 0 && Covers(devMode, &field, sizeof(field)); };
    if (has(DM_ORIENTATION, devMode.dmOrientation) &&
        (devMode.dmOrientation == DMORIENT_PORTRAIT || devMode.dmOrientation == DMORIENT_LANDSCAPE))
        context.Orientation = devMode.dmOrientation;
    const bool customSize = has(DM_PAPERWIDTH, devMode.dmPaperWidth) && has(DM_PAPERLENGTH, devMode.dmPaperLength);
    const int askedPaper = has(DM_PAPERSIZE, devMode.dmPaperSize) ? devMode.dmPaperSize : 0;
    if (customSize && (askedPaper == DMPAPER_USER || askedPaper == 0)) {
        // A custom size of zero or less would give pages without area: the printer keeps its paper.
        if (devMode.dmPaperWidth > 0 && devMode.dmPaperLength > 0) {
            context.Paper = DMPAPER_USER;
            context.PaperWidth = devMode.dmPaperWidth;
            context.PaperLength = devMode.dmPaperLength;
        }
    } else if (askedPaper > 0 && askedPaper != DMPAPER_USER &&
               (PrinterOffers(context.Info, askedPaper) || context.Info.Kind == TPrinterKind::System)) {
        SetPaper(context, askedPaper);
    }
    if (has(DM_COPIES, devMode.dmCopies) && devMode.dmCopies >= 1)
        context.Copies = std::min<short>(devMode.dmCopies, 999);
    if (has(DM_COLLATE, devMode.dmCollate))
        context.Collate = devMode.dmCollate != DMCOLLATE_FALSE;
    if (has(DM_COLOR, devMode.dmColor) && (devMode.dmColor == DMCOLOR_MONOCHROME || devMode.dmColor == DMCOLOR_COLOR))
        context.Color = devMode.dmColor;
    if (has(DM_DUPLEX, devMode.dmDuplex) && devMode.dmDuplex >= DMDUP_SIMPLEX && devMode.dmDuplex <= DMDUP_HORIZONTAL)
        context.Duplex = devMode.dmDuplex;
}

QPageSize PageSizeOf(const TPrinterContext& context)
{
    if (context.Paper != DMPAPER_USER) {
        const QPageSize::PageSizeId id = QPageSize::id(context.Paper);
        if (id != QPageSize::Custom)
            return QPageSize(id);
    }
    return QPageSize(QSizeF(context.PaperWidth / 10.0, context.PaperLength / 10.0), QPageSize::Millimeter);
}

void DropPage(TPrinterContext& context)
{
    context.PageCanvas.reset();
    context.PageMetafile.reset();
}

void EndJob(TPrinterContext& context)
{
    DropPage(context);
    context.Pages.clear();
    context.InJob = false;
}

int Fail(TPrinterContext& context, const std::string& message)
{
    context.Error = message;
    EndJob(context);
    return SP_ERROR;
}

// Hands a finished PDF to the print service; the reason on failure.
bool SubmitToQueue(const TPrinterContext& context, const std::string& pdfPath, std::string& error)
{
    QStringList arguments{"-d", QString::fromStdString(AnsiToUtf8(context.Info.Name)), "-t",
                          QString::fromStdString(AnsiToUtf8(context.Title)), "-n", QString::number(context.Copies)};
    if (context.Copies > 1)
        arguments << "-o" << (context.Collate ? "collate=true" : "collate=false");
    arguments << QString::fromStdString(AnsiToUtf8(pdfPath));
    QProcess process;
    process.start("lp", arguments);
    if (!process.waitForFinished(30000)) {
        error = "il servizio di stampa non risponde";
        process.kill();
        return false;
    }
    if (process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0) {
        const std::string reason = Utf8ToAnsi(QString::fromLocal8Bit(process.readAllStandardError()).trimmed().toStdString());
        error = reason.empty() ? "il servizio di stampa ha rifiutato il lavoro" : reason;
        return false;
    }
    return true;
}

} // namespace

// --- Papers and catalogue ----------------------------------------------------------------------

std::string PaperName(int paper)
{
    const TPaper* found = FindPaper(paper);
    if (found)
        return found->Name;
    const QPageSize::PageSizeId id = QPageSize::id(paper);
    return id == QPageSize::Custom ? std::string() : QPageSize::name(id).toStdString();
}

bool PaperSizeTenths(int paper, int& width, int& length)
{
    if (const TPaper* found = FindPaper(paper)) {
        width = found->Width;
        length = found->Length;
        return true;
    }
    const QPageSize::PageSizeId id = QPageSize::id(paper);
    if (id == QPageSize::Custom)
        return false;
    const QSizeF size = QPageSize::size(id, QPageSize::Millimeter);
    width = static_cast<int>(std::lround(size.width() * 10));
    length = static_cast<int>(std::lround(size.height() * 10));
    return true;
}

TPrinterInfo VirtualPrinterInfo()
{
    TPrinterInfo info;
    info.Name = VirtualPrinterName;
    info.Kind = TPrinterKind::Virtual;
    info.Resolution = 1200;
    std::fill(std::begin(info.Margins), std::end(info.Margins), 5.0);
    for (const TPaper& paper : Papers)
        info.Papers.push_back(paper.Number);
    info.DefaultPaper = DMPAPER_A4;
    return info;
}

void SetPrinterCatalogue(const TPrinterCatalogue& catalogue)
{
    TCatalogueState& state = Catalogue();
    std::lock_guard lock(state.Mutex);
    state.Override = catalogue;
}

void ResetPrinterCatalogue()
{
    TCatalogueState& state = Catalogue();
    std::lock_guard lock(state.Mutex);
    state.Override.reset();
    state.System.reset();
}

std::vector<TPrinterInfo> PrinterList() { return EffectiveCatalogue().Printers; }

int DefaultPrinterIndex() { return EffectiveCatalogue().DefaultIndex; }

bool FindPrinter(const std::string& name, TPrinterInfo& info)
{
    for (const TPrinterInfo& printer : PrinterList())
        if (printer.Name == name) {
            info = printer;
            return true;
        }
    return false;
}

// --- Device modes ------------------------------------------------------------------------------

HGLOBAL GlobalAllocDevMode(const DEVMODEA& devMode)
{
    HGLOBAL handle = GlobalAlloc(GHND, sizeof(DEVMODEA));
    if (void* block = handle ? GlobalLock(handle) : nullptr) {
        std::memcpy(block, &devMode, sizeof(DEVMODEA));
        GlobalUnlock(handle);
    }
    return handle;
}

bool ReadDevMode(HGLOBAL handle, DEVMODEA& devMode)
{
    const std::size_t size = handle ? GlobalSize(handle) : 0;
    const void* block = size > 0 ? GlobalLock(handle) : nullptr;
    if (!block)
        return false;
    std::memset(static_cast<void*>(&devMode), 0, sizeof(DEVMODEA));
    const std::size_t copied = std::min(size, sizeof(DEVMODEA));
    std::memcpy(static_cast<void*>(&devMode), block, copied);
    GlobalUnlock(handle);
    devMode.dmSize = static_cast<WORD>(std::min<std::size_t>(devMode.dmSize, copied));
    return true;
}

// --- Capabilities ------------------------------------------------------------------------------

int DeviceCapabilitiesA(const char* device, const char*, WORD capability, char* output, const DEVMODEA*)
{
    TPrinterInfo info;
    if (!device || !FindPrinter(device, info))
        return -1;
    const int count = static_cast<int>(info.Papers.size());
    switch (capability) {
    case DC_PAPERS:
        if (output)
            for (int i = 0; i < count; ++i) {
                const WORD number = static_cast<WORD>(info.Papers[static_cast<std::size_t>(i)]);
                std::memcpy(output + i * 2, &number, 2);
            }
        return count;
    case DC_PAPERNAMES:
        if (output)
            for (int i = 0; i < count; ++i) {
                char* slot = output + i * 64;
                std::memset(slot, 0, 64);
                const std::string name = PaperName(info.Papers[static_cast<std::size_t>(i)]);
                std::memcpy(slot, name.data(), std::min<std::size_t>(name.size(), 63));
            }
        return count;
    case DC_PAPERSIZE:
        if (output)
            for (int i = 0; i < count; ++i) {
                POINT size;
                PaperSizeTenths(info.Papers[static_cast<std::size_t>(i)], size.X, size.Y);
                std::memcpy(output + i * static_cast<int>(sizeof(POINT)), &size, sizeof(POINT));
            }
        return count;
    case DC_ORIENTATION:
        return 90;
    case DC_COPIES:
        return 999;
    case DC_BINS:
    case DC_BINNAMES:
        return 0;
    default:
        return 0;
    }
}

// --- Printer contexts --------------------------------------------------------------------------

HDC CreatePrinterDC(const std::string& device, const DEVMODEA* devMode)
{
    TPrinterInfo info;
    if (!FindPrinter(device, info))
        return nullptr;
    auto context = std::make_unique<TPrinterContext>();
    context->Info = info;
    SetPaper(*context, info.DefaultPaper);
    if (devMode)
        Apply(*context, *devMode);
    auto dc = std::make_unique<TDeviceContext>();
    dc->Kind = TDcKind::Printer;
    HDC handle = Gdi::AddDC(std::move(dc));
    // Forget the printer state with the context.
    const auto key = reinterpret_cast<std::uintptr_t>(handle);
    Gdi::FindDC(handle)->Released = [key]() { Contexts().erase(key); };
    Contexts()[key] = std::move(context);
    return handle;
}

bool IsPrinterDC(HDC dc) { return FindContext(dc) != nullptr; }

int PrinterDeviceCaps(HDC dc, int index)
{
    TPrinterContext* context = FindContext(dc);
    if (!context)
        return 0;
    const TPageMetrics m = MetricsOf(*context);
    const int dpi = context->Info.Resolution;
    switch (index) {
    case TECHNOLOGY:
        return DT_RASPRINTER;
    case HORZSIZE:
        return static_cast<int>(std::lround(m.PrintableWidth * 25.4 / dpi));
    case VERTSIZE:
        return static_cast<int>(std::lround(m.PrintableHeight * 25.4 / dpi));
    case HORZRES:
        return m.PrintableWidth;
    case VERTRES:
        return m.PrintableHeight;
    case BITSPIXEL:
        return 24;
    case PLANES:
        return 1;
    case NUMCOLORS:
        return -1;
    case SIZEPALETTE:
        return 0;
    case RASTERCAPS:
        return RC_BITBLT | RC_BITMAP64 | RC_DI_BITMAP | RC_DIBTODEV | RC_STRETCHBLT | RC_STRETCHDIB;
    case ASPECTX:
    case ASPECTY:
        return dpi;
    case ASPECTXY:
        return static_cast<int>(std::lround(dpi * std::sqrt(2.0)));
    case LOGPIXELSX:
    case LOGPIXELSY:
        return dpi;
    case COLORRES:
        return 24;
    case PHYSICALWIDTH:
        return m.PhysicalWidth;
    case PHYSICALHEIGHT:
        return m.PhysicalHeight;
    case PHYSICALOFFSETX:
        return m.OffsetX;
    case PHYSICALOFFSETY:
        return m.OffsetY;
    default:
        return 0;
    }
}

void GetPrinterDevMode(HDC dc, DEVMODEA& devMode)
{
    devMode = DEVMODEA();
    devMode.dmSize = sizeof(DEVMODEA);
    TPrinterContext* context = FindContext(dc);
    if (!context)
        return;
    std::strncpy(devMode.dmDeviceName, context->Info.Name.c_str(), CCHDEVICENAME - 1);
    devMode.dmFields = DM_ORIENTATION | DM_PAPERSIZE | DM_PAPERLENGTH | DM_PAPERWIDTH | DM_SCALE | DM_COPIES |
                       DM_PRINTQUALITY | DM_COLOR | DM_DUPLEX | DM_YRESOLUTION | DM_COLLATE;
    devMode.dmOrientation = context->Orientation;
    devMode.dmPaperSize = static_cast<short>(context->Paper);
    devMode.dmPaperWidth = static_cast<short>(context->PaperWidth);
    devMode.dmPaperLength = static_cast<short>(context->PaperLength);
    devMode.dmScale = 100;
    devMode.dmCopies = context->Copies;
    devMode.dmPrintQuality = static_cast<short>(context->Info.Resolution);
    devMode.dmYResolution = static_cast<short>(context->Info.Resolution);
    devMode.dmColor = context->Color;
    devMode.dmDuplex = context->Duplex;
    devMode.dmCollate = context->Collate ? DMCOLLATE_TRUE : DMCOLLATE_FALSE;
    const std::string form = context->Paper == DMPAPER_USER ? std::string() : PaperName(context->Paper);
    std::strncpy(devMode.dmFormName, form.c_str(), CCHFORMNAME - 1);
}

bool ApplyPrinterDevMode(HDC dc, const DEVMODEA& devMode)
{
    TPrinterContext* context = FindContext(dc);
    if (!context || context->InJob)
        return false;
    Apply(*context, devMode);
    return true;
}

HDC PrinterDrawingDC(HDC dc)
{
    TPrinterContext* context = FindContext(dc);
    if (context && context->PageCanvas)
        return context->PageCanvas->Handle();
    return dc;
}

std::string PrinterOutputFile(HDC dc)
{
    TPrinterContext* context = FindContext(dc);
    return context ? context->LastFile : std::string();
}

std::string PrinterErrorText(HDC dc)
{
    TPrinterContext* context = FindContext(dc);
    return context ? context->Error : std::string();
}

int StartDocA(HDC dc, const DOCINFOA* info)
{
    TPrinterContext* context = FindContext(dc);
    if (!context || context->InJob)
        return SP_ERROR;
    context->Error.clear();
    context->Title = info && info->lpszDocName ? info->lpszDocName : "";
    context->Output = info && info->lpszOutput ? info->lpszOutput : "";
    context->Pages.clear();
    context->InJob = true;
    return 1;
}

int StartPage(HDC dc)
{
    TPrinterContext* context = FindContext(dc);
    if (!context || !context->InJob)
        return SP_ERROR;
    if (context->PageCanvas)
        return 1;
    context->PageMetafile = std::make_unique<TMetafile>();
    context->PageCanvas = std::make_unique<TMetafileCanvas>(context->PageMetafile.get(), dc);
    return 1;
}

int EndPage(HDC dc)
{
    TPrinterContext* context = FindContext(dc);
    if (!context || !context->InJob)
        return SP_ERROR;
    if (!context->PageCanvas)
        return 1;
    context->PageCanvas.reset(); // closes the recording
    auto page = std::make_shared<TPrinterPage>();
    page->Records = context->PageMetafile->Records();
    context->PageMetafile.reset();
    context->Pages.push_back(std::move(page));
    return 1;
}

int AbortDoc(HDC dc)
{
    TPrinterContext* context = FindContext(dc);
    if (!context)
        return SP_ERROR;
    EndJob(*context);
    return 1;
}

int EndDoc(HDC dc)
{
    TPrinterContext* context = FindContext(dc);
    if (!context || !context->InJob)
        return SP_ERROR;
    if (context->PageCanvas)
        EndPage(dc);
    const TPageMetrics metrics = MetricsOf(*context);
    TPdfJob job;
    job.Title = context->Title;
    job.PageSize = PageSizeOf(*context);
    job.Landscape = context->Orientation == DMORIENT_LANDSCAPE;
    job.Resolution = context->Info.Resolution;
    job.OffsetX = metrics.OffsetX;
    job.OffsetY = metrics.OffsetY;
    job.Pages = context->Pages;
    const TPrinterKind kind = context->Info.Kind;
    if (kind == TPrinterKind::System && context->Output.empty()) {
        const std::string folder = IncludeTrailingPathDelimiter(GetTempPath());
        job.Path = UniquePdfPath(folder, "tess-stampa");
        std::string error;
        if (!WritePdfJob(job, error))
            return Fail(*context, Format("Impossibile stampare su \"%s\": %s", {context->Info.Name, error}));
        const bool submitted = SubmitToQueue(*context, job.Path, error);
        DeleteFile(job.Path);
        if (!submitted)
            return Fail(*context, Format("Impossibile stampare su \"%s\": %s", {context->Info.Name, error}));
        EndJob(*context);
        return 1;
    }
    // A PDF has no copy count: the copies are written out, collated.
    job.Copies = kind == TPrinterKind::System ? 1 : context->Copies;
    if (!context->Output.empty())
        job.Path = context->Output;
    else {
        const std::string folder =
            kind == TPrinterKind::File ? context->Info.OutputFolder : VirtualPrinterFolder();
        // Without a folder the name would land at the root of the file system.
        if (folder.empty())
            return Fail(*context, Format("Impossibile scrivere il file \"%s\": %s",
                                         {PdfFileNameForTitle(context->Title), "cartella dei documenti non disponibile"}));
        job.Path = UniquePdfPath(folder, context->Title);
    }
    std::string error;
    if (!WritePdfJob(job, error))
        return Fail(*context, Format("Impossibile scrivere il file \"%s\": %s", {job.Path, error}));
    context->LastFile = job.Path;
    EndJob(*context);
    if (kind == TPrinterKind::Virtual)
        ShellExecuteA(nullptr, "open", job.Path.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
    return 1;
}

int Escape(HDC dc, int escape, int inCount, const void* inData, void* outData)
{
    TPrinterContext* context = FindContext(dc);
    if (!context)
        return 0;
    switch (escape) {
    case QUERYESCSUPPORT: {
        if (!inData || inCount < static_cast<int>(sizeof(int)))
            return 0;
        int asked = 0;
        std::memcpy(&asked, inData, sizeof(int));
        return asked == GETPHYSPAGESIZE || asked == GETPRINTINGOFFSET || asked == QUERYESCSUPPORT ? 1 : 0;
    }
    case GETPHYSPAGESIZE:
    case GETPRINTINGOFFSET: {
        if (!outData)
            return 0;
        const TPageMetrics m = MetricsOf(*context);
        const POINT point = escape == GETPHYSPAGESIZE ? POINT{m.PhysicalWidth, m.PhysicalHeight}
                                                      : POINT{m.OffsetX, m.OffsetY};
        std::memcpy(outData, &point, sizeof(POINT));
        return 1;
    }
    default:
        return 0;
    }
}
