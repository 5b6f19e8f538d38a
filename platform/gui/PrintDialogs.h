#pragma once
// The print and printer set-up dialogs: they fill the dialog service's requests from the printer
// object and apply the answer to it. The Qt forms of the two requests are here too, since Qt's
// own print dialogs cannot offer the virtual printer.

#include "platform/gui/DialogService.h"
#include "platform/rtl/Classes.h"

enum TPrintRange { prAllPages, prSelection, prPageNums };
enum TPrintDialogOption { poPrintToFile, poPageNums, poSelection, poWarning, poHelp, poDisablePrintToFile };
using TPrintDialogOptions = TSet<TPrintDialogOption>;

class TPrintDialog : public TComponent {
    TESS_CLASS(TPrintDialog, TComponent)
public:
    explicit TPrintDialog(TComponent* AOwner) : TComponent(AOwner) {}

    // 0 takes the printer's copies.
    int Copies = 0;
    bool Collate = false;
    int FromPage = 0;
    int ToPage = 0;
    int MinPage = 0;
    int MaxPage = 0;
    TPrintRange PrintRange = prAllPages;
    TPrintDialogOptions Options;
    bool PrintToFile = false;

    // Asks through the dialog service; on confirmation the printer takes the chosen printer and
    // copies. False when cancelled.
    bool Execute();
};

class TPrinterSetupDialog : public TComponent {
    TESS_CLASS(TPrinterSetupDialog, TComponent)
public:
    explicit TPrinterSetupDialog(TComponent* AOwner) : TComponent(AOwner) {}
    // On confirmation the printer takes the chosen printer, paper and orientation.
    bool Execute();
};

// The Qt forms ("Stampa", "Imposta stampante") that serve the requests; true on OK.
bool ExecuteQtPrintDialog(PrintDialogRequest& request);
bool ExecuteQtPrinterSetupDialog(PrinterSetupRequest& request);
