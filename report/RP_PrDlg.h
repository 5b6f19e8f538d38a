#pragma once
// The print dialog of the report engine: the printer, the number of copies and the pages. The
// printer chosen is applied to the engine printer at once and put back when the dialog closes
// without OK; the caller reads the copies and the page choice on OK.

#include "platform/gui/Form.h"

class TButton;
class TComboBox;
class TEdit;
class TGroupBox;
class TImage;
class TLabel;
class TPanel;
class TPrinterSetupDialog;
class TRadioButton;
class TrpSpeedButton;

class TrpPrintForm : public TForm {
    TESS_CLASS(TrpPrintForm, TForm)
public:
    explicit TrpPrintForm(TComponent* AOwner);

    TGroupBox* GroupBox1 = nullptr;
    TComboBox* CB1 = nullptr;
    TButton* PropButton = nullptr;
    TLabel* Label1 = nullptr;
    TEdit* E1 = nullptr;
    TPanel* Panel1 = nullptr;
    TrpSpeedButton* rpSpeedButton1 = nullptr;
    TrpSpeedButton* rpSpeedButton2 = nullptr;
    TGroupBox* GroupBox2 = nullptr;
    TRadioButton* RB1 = nullptr;
    TRadioButton* RB2 = nullptr;
    TRadioButton* RB3 = nullptr;
    TEdit* E2 = nullptr;
    TLabel* Label2 = nullptr;
    TButton* Button1 = nullptr;
    TButton* Button2 = nullptr;
    TImage* Image1 = nullptr;
    TPrinterSetupDialog* PrinterSetupDialog1 = nullptr;

protected:
    void DoClose(TCloseAction& Action) override;

private:
    void CreateComponents();
    void SetTexts();
    void ListPrinters();
    void CB1DrawItem(int index, TRect rect);
    void CB1Click();
    void PropButtonClick();
    // Adds delta to the copies; never below 1.
    void ChangeCopies(int delta);
    void RB3Click();

    // The class library's printer index when the dialog was made.
    int SavedPrinterIndex = -1;
    // A printer was chosen here, so closing without OK has something to undo.
    bool PrinterChosen = false;
};
