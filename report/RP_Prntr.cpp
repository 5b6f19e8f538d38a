#include "report/RP_Prntr.h"

#include "report/rpResources.h"

#include "platform/gui/DeviceContext.h"
#include "platform/gui/GlobalMemory.h"
#include "platform/gui/PrinterDevice.h"
#include "platform/rtl/Formats.h"

#include <algorithm>
#include <cstring>
#include <utility>

const TPaperInfo rpPaperTable[rpPaperCount] = {
    {1, 2159, 2794},  {2, 2159, 2794},  {3, 2794, 4318},  {4, 4318, 2794},  {5, 2159, 3556},
    {6, 1397, 2159},  {7, 1842, 2667},  {8, 2970, 4200},  {9, 2100, 2970},  {10, 2100, 2970},
    {11, 1480, 2100}, {12, 2500, 3540}, {13, 1820, 2570}, {14, 2159, 3302}, {15, 2150, 2750},
    {16, 2540, 3556}, {17, 2794, 4318}, {18, 2159, 2794}, {19, 984, 2254},  {20, 1048, 2413},
    {21, 1143, 2635}, {22, 1207, 2794}, {23, 1270, 2921}, {24, 4318, 5588}, {25, 5588, 8636},
    {26, 8636, 11176}, {27, 1100, 2200}, {28, 1620, 2290}, {29, 3240, 4580}, {30, 2290, 3240},
    {31, 1140, 1620}, {32, 1140, 2290}, {33, 2500, 3530}, {34, 1760, 2500}, {35, 1760, 1250},
    {36, 1100, 2300}, {37, 984, 1905},  {38, 920, 1651},  {39, 3778, 2794}, {40, 2159, 3048},
    {41, 2159, 3302}, {42, 2500, 3530}, {43, 1000, 1480}, {44, 2286, 2794}, {45, 2540, 2794},
    {46, 3810, 2794}, {47, 2200, 2200}, {50, 2355, 3048}, {51, 2355, 3810}, {52, 2969, 4572},
    {53, 2354, 3223}, {54, 2101, 2794}, {55, 2100, 2970}, {56, 2355, 3048}, {57, 2270, 3560},
    {58, 3050, 4870}, {59, 2159, 3223}, {60, 2100, 3300}, {61, 1480, 2100}, {62, 1820, 2570},
    {63, 3220, 4450}, {64, 1740, 2350}, {65, 2010, 2760}, {66, 4200, 5940}, {67, 2970, 4200},
    {68, 3220, 4450}, {256, 0, 0},
};

namespace RP_Prntr {
namespace {

// Report units per inch.
constexpr double UnitsPerInchX = 93 / 1.022;
constexpr double UnitsPerInchY = 93 / 1.015;
constexpr int TenthsPerInch = 254;
// The virtual printer's margins: 5 mm, in tenths of a millimetre.
constexpr int VirtualMargin = 50;
constexpr int PaperNameSize = 64;

int RoundToInt(double value) { return static_cast<int>(Round(value)); }

const TPaperInfo* FindTablePaper(int id)
{
    for (const TPaperInfo& paper : rpPaperTable)
        if (paper.Id == id)
            return &paper;
    return nullptr;
}

std::unique_ptr<TrpPrinter>& EnginePrinter()
{
    static std::unique_ptr<TrpPrinter> printer;
    return printer;
}

} // namespace
} // namespace RP_Prntr

TrpPrinter::TrpPrinter() : PaperNames(std::make_unique<TStringList>()), Printers(std::make_unique<TStringList>()) {}

TrpPrinter::~TrpPrinter() { UnlockDevMode(); }

void TrpPrinter::SetPrinter(TPrinter* printer)
{
    Printers->Clear();
    FPrinterIndex = 0;
    FPrinter = printer;
    if (FPrinter && FPrinter->Printers()->Count() > 0) {
        Printers->Assign(FPrinter->Printers());
        FPrinterIndex = FPrinter->PrinterIndex();
        GetSettings();
    }
    // The virtual printer's name is empty, so files written with it selected never name it.
    Printers->Add(rpLoadStr(55007));
    FVirtualIndex = Printers->Count() - 1;
    if (FPrinterIndex < 0 || FPrinterIndex > FVirtualIndex)
        FPrinterIndex = FVirtualIndex;
}

void TrpPrinter::SetPrinterIndex(int index)
{
    FPrinterIndex = index;
    if (IsVirtual()) {
        SetSettings();
    } else if (FPrinter && FPrinter->Printers()->Count() > 0) {
        FPrinter->SetPrinterIndex(index);
        GetSettings();
    }
}

void TrpPrinter::LockDevMode()
{
    UnlockDevMode();
    FPrinter->GetPrinter(Device, Driver, Port, DeviceMode);
    DevMode = DeviceMode ? static_cast<DEVMODEA*>(GlobalLock(DeviceMode)) : nullptr;
    if (DevMode && GlobalSize(DeviceMode) < sizeof(DEVMODEA)) {
        UnlockDevMode();
        RAISE(EPrinter("Impostazioni della stampante non leggibili"));
    }
}

void TrpPrinter::UnlockDevMode()
{
    if (DevMode && DeviceMode)
        GlobalUnlock(DeviceMode);
    DevMode = nullptr;
}

void TrpPrinter::GetSettings()
{
    using namespace RP_Prntr;
    if (!FPrinter)
        return;
    LockDevMode();
    try {
        if (DevMode)
            PaperSize = DevMode->dmPaperSize;
        HDC dc = FPrinter->Handle();
        POINT physical;
        if (Escape(dc, GETPHYSPAGESIZE, 0, nullptr, &physical) > 0) {
            const int dpiX = GetDeviceCaps(dc, LOGPIXELSX), dpiY = GetDeviceCaps(dc, LOGPIXELSY);
            if (dpiX > 0 && dpiY > 0) {
                PaperWidth = RoundToInt(static_cast<double>(physical.X) / dpiX * TenthsPerInch);
                PaperHeight = RoundToInt(static_cast<double>(physical.Y) / dpiY * TenthsPerInch);
            }
        }
        if (DevMode)
            Orientation = DevMode->dmOrientation == DMORIENT_LANDSCAPE ? poLandscape : poPortrait;

        // A failed query answers -1: the printer then offers no paper.
        PaperSizes.clear();
        PaperNames->Clear();
        const int count = DeviceCapabilities(Device.c_str(), Port.c_str(), DC_PAPERS, nullptr, DevMode);
        if (count > 0) {
            std::vector<char> ids(static_cast<std::size_t>(count) * 2);
            const int written = DeviceCapabilities(Device.c_str(), Port.c_str(), DC_PAPERS, ids.data(), DevMode);
            for (int i = 0; i < std::min(count, written); ++i) {
                std::uint16_t id;
                std::memcpy(&id, ids.data() + i * 2, 2);
                PaperSizes.push_back(id);
            }
            std::vector<char> names(PaperSizes.size() * PaperNameSize, '\0');
            const int named = DeviceCapabilities(Device.c_str(), Port.c_str(), DC_PAPERNAMES, names.data(), DevMode);
            for (int i = 0; i < PaperSizesNum(); ++i) {
                const char* slot = names.data() + static_cast<std::size_t>(i) * PaperNameSize;
                PaperNames->Add(i < named ? std::string(slot, strnlen(slot, PaperNameSize)) : std::string());
            }
        }
    } catch (...) {
        UnlockDevMode();
        throw;
    }
    UnlockDevMode();
}

void TrpPrinter::SetSettings()
{
    if (IsVirtual())
        SetVirtualSettings();
    else
        SetRealSettings();
}

void TrpPrinter::SetVirtualSettings()
{
    PaperNames->Clear();
    PaperSizes.clear();
    for (int i = 0; i < rpPaperCount; ++i) {
        PaperNames->Add(rpLoadStr(55008 + i));
        PaperSizes.push_back(static_cast<std::uint16_t>(rpPaperTable[i].Id));
    }
    if (PaperSize == rpCustomPaper)
        return;
    if (const TPaperInfo* paper = RP_Prntr::FindTablePaper(PaperSize)) {
        PaperWidth = paper->Width;
        PaperHeight = paper->Height;
        if (Orientation == poLandscape)
            std::swap(PaperWidth, PaperHeight);
    }
}

void TrpPrinter::SetRealSettings()
{
    if (!FPrinter)
        return;
    LockDevMode();
    try {
        if (DevMode) {
            if (PaperSize == rpCustomPaper) {
                DevMode->dmFields |= DM_PAPERLENGTH | DM_PAPERWIDTH;
                DevMode->dmPaperLength = static_cast<short>(PaperHeight);
                DevMode->dmPaperWidth = static_cast<short>(PaperWidth);
            }
            if (DevMode->dmFields & DM_PAPERSIZE)
                DevMode->dmPaperSize = static_cast<short>(PaperSize);
            if (DevMode->dmFields & DM_ORIENTATION)
                DevMode->dmOrientation = Orientation == poLandscape ? DMORIENT_LANDSCAPE : DMORIENT_PORTRAIT;
            if (DevMode->dmFields & DM_COPIES)
                DevMode->dmCopies = 1;
        }
        UnlockDevMode();
        FPrinter->SetPrinter(Device, Driver, Port, DeviceMode);
    } catch (...) {
        UnlockDevMode();
        throw;
    }
    GetSettings();
}

bool TrpPrinter::IsEqual(int paperSize, int paperWidth, int paperHeight, TPrinterOrientation orientation) const
{
    if (paperSize != PaperSize || orientation != Orientation)
        return false;
    return paperSize != rpCustomPaper || (paperWidth == PaperWidth && paperHeight == PaperHeight);
}

void TrpPrinter::SetPrinterInfo(int paperSize, int paperWidth, int paperHeight, TPrinterOrientation orientation)
{
    // A custom paper without area would leave pages without size, which drawing divides by.
    if (paperSize == rpCustomPaper && (paperWidth <= 0 || paperHeight <= 0))
        paperSize = DMPAPER_A4;
    if (IsEqual(paperSize, paperWidth, paperHeight, orientation))
        return;
    PaperSize = paperSize;
    PaperWidth = paperWidth;
    PaperHeight = paperHeight;
    Orientation = orientation;
    SetSettings();
}

int TrpPrinter::GetArrayPos(int paperSize) const
{
    for (int i = 0; i < PaperSizesNum(); ++i)
        if (PaperSizes[static_cast<std::size_t>(i)] == paperSize)
            return i;
    return PaperSizesNum() - 1;
}

void TrpPrinter::FillPrnInfo(TrpPrnInfo& info)
{
    using namespace RP_Prntr;
    if (IsVirtual() || !FPrinter) {
        info.PaperWidthPx = RoundToInt(PaperWidth * UnitsPerInchX / TenthsPerInch);
        info.PaperHeightPx = RoundToInt(PaperHeight * UnitsPerInchY / TenthsPerInch);
        info.OffsetX = RoundToInt(VirtualMargin * UnitsPerInchX / TenthsPerInch);
        info.OffsetY = RoundToInt(VirtualMargin * UnitsPerInchY / TenthsPerInch);
        info.PrintWidth = info.PaperWidthPx - 2 * info.OffsetX;
        info.PrintHeight = info.PaperHeightPx - 2 * info.OffsetY;
        return;
    }
    HDC dc = FPrinter->Handle();
    const int dpiX = GetDeviceCaps(dc, LOGPIXELSX), dpiY = GetDeviceCaps(dc, LOGPIXELSY);
    const double fx = dpiX > 0 ? UnitsPerInchX / dpiX : 0;
    const double fy = dpiY > 0 ? UnitsPerInchY / dpiY : 0;
    info.PrnPaperWidth = GetDeviceCaps(dc, PHYSICALWIDTH);
    info.PaperWidthPx = RoundToInt(info.PrnPaperWidth * fx);
    info.PrnPaperHeight = GetDeviceCaps(dc, PHYSICALHEIGHT);
    info.PaperHeightPx = RoundToInt(info.PrnPaperHeight * fy);
    info.PrnOffsetX = GetDeviceCaps(dc, PHYSICALOFFSETX);
    info.OffsetX = RoundToInt(info.PrnOffsetX * fx);
    info.PrnOffsetY = GetDeviceCaps(dc, PHYSICALOFFSETY);
    info.OffsetY = RoundToInt(info.PrnOffsetY * fy);
    info.PrnPrintWidth = FPrinter->PageWidth();
    info.PrintWidth = RoundToInt(info.PrnPrintWidth * fx);
    info.PrnPrintHeight = FPrinter->PageHeight();
    info.PrintHeight = RoundToInt(info.PrnPrintHeight * fy);
}

TrpPrinter* rpPrinter()
{
    std::unique_ptr<TrpPrinter>& printer = RP_Prntr::EnginePrinter();
    if (!printer) {
        printer = std::make_unique<TrpPrinter>();
        printer->SetPrinter(Printer());
    }
    return printer.get();
}

void rpFreePrinter() { RP_Prntr::EnginePrinter().reset(); }
