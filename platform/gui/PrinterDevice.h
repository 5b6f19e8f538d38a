#pragma once
// Printers below TPrinter: the printer catalogue, device modes, DeviceCapabilities and the
// printer device context with its jobs and pages. A printer context measures like a device of
// the printer's resolution; during a job each page is recorded and rendered on the output (a
// PDF file, or the print service's queue) when the page ends.

#include "platform/gui/DeviceContext.h"
#include "platform/gui/GlobalMemory.h"

#include <string>
#include <vector>

constexpr DWORD DM_ORIENTATION = 0x1, DM_PAPERSIZE = 0x2, DM_PAPERLENGTH = 0x4, DM_PAPERWIDTH = 0x8,
                DM_SCALE = 0x10, DM_COPIES = 0x100, DM_DEFAULTSOURCE = 0x200, DM_PRINTQUALITY = 0x400,
                DM_COLOR = 0x800, DM_DUPLEX = 0x1000, DM_YRESOLUTION = 0x2000, DM_TTOPTION = 0x4000,
                DM_COLLATE = 0x8000, DM_FORMNAME = 0x10000;
constexpr short DMORIENT_PORTRAIT = 1, DMORIENT_LANDSCAPE = 2;
constexpr short DMPAPER_LETTER = 1, DMPAPER_LEGAL = 5, DMPAPER_EXECUTIVE = 7, DMPAPER_A3 = 8, DMPAPER_A4 = 9,
                DMPAPER_A5 = 11, DMPAPER_B5 = 13, DMPAPER_USER = 256;
constexpr short DMCOLOR_MONOCHROME = 1, DMCOLOR_COLOR = 2;
constexpr short DMDUP_SIMPLEX = 1, DMDUP_VERTICAL = 2, DMDUP_HORIZONTAL = 3;
constexpr short DMCOLLATE_FALSE = 0, DMCOLLATE_TRUE = 1;
constexpr int CCHDEVICENAME = 32, CCHFORMNAME = 32;

struct DEVMODEA {
    char dmDeviceName[CCHDEVICENAME] = {};
    WORD dmSpecVersion = 0x401;
    WORD dmDriverVersion = 0;
    WORD dmSize = 0;
    WORD dmDriverExtra = 0;
    DWORD dmFields = 0;
    short dmOrientation = 0;
    short dmPaperSize = 0;
    short dmPaperLength = 0;
    short dmPaperWidth = 0;
    short dmScale = 0;
    short dmCopies = 0;
    short dmDefaultSource = 0;
    short dmPrintQuality = 0;
    short dmColor = 0;
    short dmDuplex = 0;
    short dmYResolution = 0;
    short dmTTOption = 0;
    short dmCollate = 0;
    char dmFormName[CCHFORMNAME] = {};
    WORD dmLogPixels = 0;
    DWORD dmBitsPerPel = 0;
    DWORD dmPelsWidth = 0;
    DWORD dmPelsHeight = 0;
    DWORD dmDisplayFlags = 0;
    DWORD dmDisplayFrequency = 0;
    DWORD dmICMMethod = 0;
    DWORD dmICMIntent = 0;
    DWORD dmMediaType = 0;
    DWORD dmDitherType = 0;
    DWORD dmReserved1 = 0;
    DWORD dmReserved2 = 0;
    DWORD dmPanningWidth = 0;
    DWORD dmPanningHeight = 0;
};
using DEVMODE = DEVMODEA;

// Device modes travel in global-memory handles (GlobalAlloc), which callers lock to read and
// change. A new moveable block holding a copy of devMode.
HGLOBAL GlobalAllocDevMode(const DEVMODEA& devMode);
// Copies the device mode a handle holds; false for a null or unknown handle. A block shorter
// than its dmSize claims counts only up to its end, so missing fields are never read.
bool ReadDevMode(HGLOBAL handle, DEVMODEA& devMode);

struct DOCINFOA {
    int cbSize = sizeof(DOCINFOA);
    const char* lpszDocName = nullptr;
    const char* lpszOutput = nullptr;
    const char* lpszDatatype = nullptr;
    DWORD fwType = 0;
};
using DOCINFO = DOCINFOA;

constexpr int SP_ERROR = -1;
// Each returns a positive value on success and SP_ERROR on failure; the reason is then in
// PrinterErrorText.
int StartDocA(HDC dc, const DOCINFOA* info);
inline int StartDoc(HDC dc, const DOCINFOA* info) { return StartDocA(dc, info); }
int StartPage(HDC dc);
int EndPage(HDC dc);
int EndDoc(HDC dc);
int AbortDoc(HDC dc);
// The Italian reason of the last failed job call on dc ("" when none).
std::string PrinterErrorText(HDC dc);

constexpr int QUERYESCSUPPORT = 8, GETPHYSPAGESIZE = 12, GETPRINTINGOFFSET = 13;
// GETPHYSPAGESIZE and GETPRINTINGOFFSET write a POINT; QUERYESCSUPPORT reads the escape asked
// as an int. 0 when the escape is not supported.
int Escape(HDC dc, int escape, int inCount, const void* inData, void* outData);

constexpr WORD DC_PAPERS = 2, DC_PAPERSIZE = 3, DC_BINS = 6, DC_BINNAMES = 12, DC_PAPERNAMES = 16,
               DC_ORIENTATION = 17, DC_COPIES = 18;
// With a null output the count only; -1 for an unknown printer.
int DeviceCapabilitiesA(const char* device, const char* port, WORD capability, char* output,
                        const DEVMODEA* devMode);
inline int DeviceCapabilities(const char* device, const char* port, WORD capability, char* output,
                              const DEVMODEA* devMode)
{
    return DeviceCapabilitiesA(device, port, capability, output, devMode);
}

// --- The catalogue ---

enum class TPrinterKind { System, Virtual, File };

struct TPrinterInfo {
    std::string Name;
    TPrinterKind Kind = TPrinterKind::System;
    int Resolution = 600;
    // Unprintable margins in millimetres: left, top, right, bottom.
    double Margins[4] = {4.23, 4.23, 4.23, 4.23};
    // Windows paper numbers the printer offers, in its order.
    std::vector<int> Papers;
    int DefaultPaper = DMPAPER_A4;
    // File printers: the folder their PDF files go to.
    std::string OutputFolder;
};

struct TPrinterCatalogue {
    std::vector<TPrinterInfo> Printers;
    int DefaultIndex = 0;
    // With no printer listed the virtual PDF printer stands in; false reports no printer at all.
    bool VirtualWhenEmpty = true;
};

extern const char* const VirtualPrinterName; // "Stampante PDF"

// Replaces the system's printers (tests); ResetPrinterCatalogue returns to the print service.
void SetPrinterCatalogue(const TPrinterCatalogue& catalogue);
void ResetPrinterCatalogue();
// The printers as the program sees them (the virtual one included when it stands in).
std::vector<TPrinterInfo> PrinterList();
// -1 when there is no printer.
int DefaultPrinterIndex();
// nullptr-free lookup by name (case-sensitive); false when there is none.
bool FindPrinter(const std::string& name, TPrinterInfo& info);

// The virtual printer: 1200 dpi, 5 mm margins, A4.
TPrinterInfo VirtualPrinterInfo();
// Windows paper number -> name ("A4"); "" for an unknown number.
std::string PaperName(int paper);
// Paper size in tenths of a millimetre (portrait); false for an unknown number.
bool PaperSizeTenths(int paper, int& width, int& length);

// --- The printer device context ---

// A context for the named printer with the device mode applied (nullptr = the printer's
// defaults); nullptr when there is no such printer.
HDC CreatePrinterDC(const std::string& device, const DEVMODEA* devMode);
bool IsPrinterDC(HDC dc);
// What GetDeviceCaps answers for a printer context.
int PrinterDeviceCaps(HDC dc, int index);
// Fills devMode with the context's settings (paper as the printer has it).
void GetPrinterDevMode(HDC dc, DEVMODEA& devMode);
// Applies the fields marked in dmFields; false during a job or for a bad context.
bool ApplyPrinterDevMode(HDC dc, const DEVMODEA& devMode);
// The context the current page is drawn on (the printer context itself outside a page).
HDC PrinterDrawingDC(HDC dc);
// The file the last finished job of a PDF printer wrote ("" for none).
std::string PrinterOutputFile(HDC dc);
