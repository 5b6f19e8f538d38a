#pragma once
// The printer object of the class library: the printer list and the current printer, its device
// context and canvas, page metrics, orientation, copies, the job title and the job itself.

#include "platform/gui/Canvas.h"
#include "platform/gui/PrinterDevice.h"
#include "platform/rtl/Lists.h"

#include <memory>
#include <string>

TESS_EXCEPTION(EPrinter, Exception)

enum TPrinterOrientation { poPortrait, poLandscape };
enum TPrinterCapability { pcCopies, pcOrientation, pcCollation };
using TPrinterCapabilities = TSet<TPrinterCapability>;

class TPrinter : public TObject {
    TESS_CLASS(TPrinter, TObject)
public:
    TPrinter();
    ~TPrinter() override;
    TPrinter(const TPrinter&) = delete;
    TPrinter& operator=(const TPrinter&) = delete;

    // The names of the printers (read again from the catalogue on each call).
    TStrings* Printers();
    int PrinterIndex();
    // -1 selects the default printer; raises EPrinter "Printer index out of range".
    void SetPrinterIndex(int value);
    // The screen's font families: every scalable family prints.
    TStrings* Fonts();
    // The printer device context (created on first use).
    HDC Handle();
    TCanvas* Canvas();
    int PageWidth();
    int PageHeight();
    TPrinterOrientation Orientation();
    void SetOrientation(TPrinterOrientation value);
    int Copies();
    void SetCopies(int value);
    std::string Title;
    bool Printing() const { return FPrinting; }
    bool Aborted() const { return FAborted; }
    int PageNumber() const { return FPageNumber; }
    TPrinterCapabilities Capabilities();

    // device = the printer name; driver "CUPS", "PDF" (the virtual printer) or "FILE"; port
    // "CUPS:" + name or "FILE:"; deviceMode receives the printer's own device-mode handle,
    // refreshed with the current settings (the printer frees it).
    void GetPrinter(std::string& device, std::string& driver, std::string& port, HGLOBAL& deviceMode);
    // Selects the printer of that name and applies the fields marked in the device mode.
    void SetPrinter(const std::string& device, const std::string& driver, const std::string& port,
                    HGLOBAL deviceMode);

    void BeginDoc();
    void NewPage();
    void EndDoc();
    void Abort();

    // The file the last job of a PDF printer wrote ("" for none).
    std::string LastOutputFile();

private:
    void RequirePrinter();
    void CheckNotPrinting();
    void FreeContext();
    void RaiseJobError(const std::string& fallback);
    void BindCanvas();

    std::unique_ptr<TStringList> FPrinters;
    std::unique_ptr<TStringList> FFonts;
    std::unique_ptr<TCanvas> FCanvas;
    int FPrinterIndex = -1; // resolved on first use
    std::string FPrinterName;
    HDC FDC = nullptr;
    HGLOBAL FDevMode = nullptr;
    bool FPrinting = false;
    bool FAborted = false;
    int FPageNumber = 0;
    std::string FLastOutput;
};

// The one printer object.
TPrinter* Printer();
// Replaces it and returns the old one (nullptr restores a fresh printer on the next call).
std::unique_ptr<TPrinter> SetPrinter(std::unique_ptr<TPrinter> newPrinter);
