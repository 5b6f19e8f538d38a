#pragma once
// The report engine's view of the printer: the printers with a virtual one at the end of the
// list, the current paper, the papers the chosen printer offers and the page metrics in which
// pages are laid out, previewed and printed.

#include "platform/gui/Printer.h"
#include "platform/rtl/Lists.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

// The metrics of one page. Report units are 93 / 1.022 per inch across and 93 / 1.015 down.
struct TrpPrnInfo {
    int PrnPaperWidth = 0, PrnPaperHeight = 0; // physical paper, printer device units
    int PaperWidthPx = 0, PaperHeightPx = 0;   // paper, report units
    int PrnOffsetX = 0, PrnOffsetY = 0;        // printable area's offset, device units
    int OffsetX = 0, OffsetY = 0;              // the same in report units
    int PrnPrintWidth = 0, PrnPrintHeight = 0; // printable size, device units
    int PrintWidth = 0, PrintHeight = 0;       // the same in report units
};

// One paper of the virtual printer's table; sizes in tenths of a millimetre, portrait.
struct TPaperInfo {
    int Id;
    int Width;
    int Height;
};

constexpr int rpPaperCount = 67;
// Windows paper numbers 1 to 47, 50 to 68 and the custom size 256 (0 x 0).
extern const TPaperInfo rpPaperTable[rpPaperCount];

constexpr int rpCustomPaper = 256;

class TrpPrinter : public TObject {
    TESS_CLASS(TrpPrinter, TObject)
public:
    TrpPrinter();
    ~TrpPrinter() override;
    TrpPrinter(const TrpPrinter&) = delete;
    TrpPrinter& operator=(const TrpPrinter&) = delete;

    // Takes the printers of the class library's printer, adds the virtual one and reads the
    // current printer's settings.
    void SetPrinter(TPrinter* printer);
    TPrinter* Printer() const { return FPrinter; }
    // Selects an entry of Printers: the virtual one applies the current paper, a real one is
    // selected in the class library's printer and its settings are read back.
    void SetPrinterIndex(int index);
    int PrinterIndex() const { return FPrinterIndex; }
    int VirtualIndex() const { return FVirtualIndex; }
    bool IsVirtual() const { return FPrinterIndex == FVirtualIndex; }

    // Reads the real printer's device, paper and offered papers.
    void GetSettings();
    // Applies PaperSize, PaperWidth, PaperHeight and Orientation.
    void SetSettings();
    // Same paper and orientation; for the custom size also the same width and height.
    bool IsEqual(int paperSize, int paperWidth, int paperHeight, TPrinterOrientation orientation) const;
    // Applies the paper unless IsEqual. A custom size without area takes A4.
    void SetPrinterInfo(int paperSize, int paperWidth, int paperHeight, TPrinterOrientation orientation);
    // The index of the paper in PaperSizes; the last index when it is not offered, -1 when none is.
    int GetArrayPos(int paperSize) const;
    void FillPrnInfo(TrpPrnInfo& info);
    int PaperSizesNum() const { return static_cast<int>(PaperSizes.size()); }

    // The current printer's names as the class library reports them.
    std::string Device, Driver, Port;
    HGLOBAL DeviceMode = nullptr;
    // The locked device mode while it is read or changed.
    DEVMODEA* DevMode = nullptr;
    // The names of the offered papers, parallel to PaperSizes.
    std::unique_ptr<TStringList> PaperNames;
    // The printers and, last, the virtual one.
    std::unique_ptr<TStringList> Printers;
    TPrinterOrientation Orientation = poPortrait;
    // A Windows paper number; 256 is a custom size; -1 makes the next SetPrinterInfo apply.
    int PaperSize = -1;
    int PaperWidth = 0; // tenths of a millimetre
    int PaperHeight = 0;
    std::vector<std::uint16_t> PaperSizes;

private:
    void LockDevMode();
    void UnlockDevMode();
    void SetVirtualSettings();
    void SetRealSettings();

    TPrinter* FPrinter = nullptr;
    int FPrinterIndex = 0;
    int FVirtualIndex = 0;
};

// The engine printer, made on first use and connected to the class library's printer.
TrpPrinter* rpPrinter();
// Frees the engine printer (the engine's end).
void rpFreePrinter();
