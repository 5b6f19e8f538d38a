#pragma once
// A four-function pocket calculator in two layouts sharing one engine: the small popup a
// calculator edit drops down, and the modal dialog run by TExCalculator (with square root,
// percent, reciprocal, memory, OK and Cancel). The engine keeps its display as text, computes
// left to right without precedence, limits the digits to a precision and shows "Error" on a
// division by zero or an invalid root or reciprocal.

#include "controls/ComboEdit.h"
#include "controls/ExSpeedButton.h"
#include "platform/gui/Form.h"
#include "platform/gui/Label.h"
#include "platform/gui/Panel.h"

#include <functional>

enum TExCalcState { csFirst, csValid, csError };
enum TCalculatorLayout { clDialog, clPopup };
enum TCalcBtnKind {
    cbNone, cbNum0, cbNum1, cbNum2, cbNum3, cbNum4, cbNum5, cbNum6, cbNum7, cbNum8, cbNum9, cbSgn, cbDcm, cbDiv,
    cbMul, cbSub, cbAdd, cbSqr, cbPcnt, cbRev, cbEql, cbBck, cbClr, cbMP, cbMS, cbMR, cbMC, cbOk, cbCancel
};

using TCalcKeyEvent = std::function<void(TObject* Sender, char& Key)>;

// The fonts of the calculator: the system's message font, bold.
void SetDefaultCalcFont(TFont* Font);

// A calculator key: its kind gives its character, its tag and the colour of its caption, which
// it keeps while it follows its parent's font.
class TCalcButton : public TExSpeedButton {
    TESS_CLASS(TCalcButton, TExSpeedButton)
public:
    TCalcButton(TComponent* AOwner, TCalcBtnKind AKind);
    TCalcBtnKind Kind() const { return FKind; }
    void Dispatch(TMessage& Message) override;

private:
    TCalcBtnKind FKind;
    bool FFontChanging = false;
};

class TCalculatorPanel : public TPanel {
    TESS_CLASS(TCalculatorPanel, TPanel)
public:
    TCalculatorPanel(TComponent* AOwner, TCalculatorLayout ALayout);

    const std::string& Text() const { return FText; }
    TExCalcState Status() const { return FStatus; }
    char PendingOperator() const { return FOperator; }
    double Memory() const { return FMemory; }
    void SetMemory(double Value) { FMemory = Value; }
    int Precision() const { return FPrecision; }
    void SetPrecision(int Value) { FPrecision = Value; }
    bool BeepOnError = true;
    // The label whose caption mirrors the display text (none in the popup).
    TLabel* DisplayControl = nullptr;
    TLabel* MemoryLabel() const { return FMemoryLabel; }

    TNotifyEvent OnError;
    TNotifyEvent OnOk;
    TNotifyEvent OnCancel;
    TNotifyEvent OnResult;
    TNotifyEvent OnTextChange;
    TCalcKeyEvent OnCalcKey;
    TNotifyEvent OnDisplayChange;

    void CalcKey(char Key);
    // A typed key: clicks its button, or goes straight to CalcKey when it has none.
    void CalcKeyPress(char Key);
    void KeyButtonClick(TCalcBtnKind Kind);
    TCalcButton* FindKeyButton(char Key);
    // 0 in the error state.
    double DisplayValue();
    void SetDisplayValue(double Value);
    void SetDisplayText(const std::string& Value);
    void CheckFirst();
    void ClearCalculator();
    void ShowCalcError();
    void CopyDisplay();
    void PasteDisplay();
    void UpdateMemoryLabel();
    void SetStatus(TExCalcState Value) { FStatus = Value; }
    void SetPendingOperator(char Value) { FOperator = Value; }

protected:
    virtual void TextChanged();

private:
    void CreateKeys(TCalculatorLayout Layout);
    void ButtonClicked(TObject* Sender);
    bool HasDecimalSeparator() const;

    std::string FText = "0";
    TExCalcState FStatus = csFirst;
    char FOperator = '=';
    double FOperand = 0;
    double FMemory = 0;
    int FPrecision = 15;
    TPanel* FMemoryPanel = nullptr;
    TLabel* FMemoryLabel = nullptr;
};

// The popup's calculator: never takes the keyboard focus, while its window takes the mouse.
class TLocCalculator : public TCalculatorPanel {
    TESS_CLASS(TLocCalculator, TCalculatorPanel)
public:
    explicit TLocCalculator(TComponent* AOwner);
    void Dispatch(TMessage& Message) override;

protected:
    void CreateParams(TCreateParams& Params) override;
    void CreateWnd() override;
};

class TPopupCalculator : public TPopupWindow {
    TESS_CLASS(TPopupCalculator, TPopupWindow)
public:
    explicit TPopupCalculator(TWinControl* AOwner);
    Variant GetValue() override;
    void SetValue(const Variant& Value) override;
    std::string GetPopupText() override;
    TLocCalculator* Calculator() const { return FCalcPanel; }
    // A key the editor forwards while the popup is open.
    void KeyPress(char& Key) override;

private:
    TLocCalculator* FCalcPanel = nullptr;
};

class TExCalculatorForm : public TForm {
    TESS_CLASS(TExCalculatorForm, TForm)
public:
    explicit TExCalculatorForm(TComponent* AOwner);
    TCalculatorPanel* CalcPanel() const { return FCalcPanel; }
    TLabel* DisplayLabel() const { return FDisplayLabel; }
    TPanel* MainPanel() const { return FMainPanel; }
    void SetCtl3D(bool Value);

protected:
    void KeyPress(char& Key) override;

private:
    void CopyItemClick(TObject* Sender);
    void PasteItemClick(TObject* Sender);
    void PopupMenuPopup(TObject* Sender);

    TPanel* FMainPanel = nullptr;
    TPanel* FDisplayPanel = nullptr;
    TLabel* FDisplayLabel = nullptr;
    TCalculatorPanel* FCalcPanel = nullptr;
    TMenuItem* FPasteItem = nullptr;
};

class TExCalculator : public TComponent {
    TESS_CLASS(TExCalculator, TComponent)
public:
    explicit TExCalculator(TComponent* AOwner);
    ~TExCalculator() override;

    double Value = 0;
    std::string Title = "Calculator";
    bool Ctl3D = true;
    int Precision = 15;
    bool BeepOnError = true;
    int HelpContext = 0;
    double Memory() const { return FMemory; }
    // The display while the dialog runs, else Value.
    double GetDisplay();
    TExCalculatorForm* Dialog() const { return FCalc; }
    bool Execute();

    TNotifyEvent OnChange;
    TCalcKeyEvent OnCalcKey;
    TNotifyEvent OnDisplayChange;

protected:
    virtual void Change();
    virtual void CalcKey(char& Key);
    virtual void DisplayChange();

private:
    friend class TExCalculatorForm;
    double FMemory = 0;
    TExCalculatorForm* FCalc = nullptr;
};

TWinControl* CreatePopupCalculator(TWinControl* AOwner);
void SetupPopupCalculator(TWinControl* PopupCalc, int APrecision, bool ABeepOnError);
TExCalculatorForm* CreateCalculatorForm(TComponent* AOwner, int AHelpContext);
