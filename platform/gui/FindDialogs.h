#pragma once
// The find and replace dialogs: modeless Italian forms built from the standard controls; they
// stay above their owner form and never block it.

#include "platform/gui/CommonDialogs.h"

enum TFindOption {
    frDown, frFindNext, frHideMatchCase, frHideWholeWord, frHideUpDown, frMatchCase, frDisableMatchCase,
    frDisableUpDown, frDisableWholeWord, frReplace, frReplaceAll, frWholeWord, frShowHelp
};
using TFindOptions = TSet<TFindOption>;

class TForm;
class TEdit;
class TCheckBox;
class TRadioButton;

class TFindDialog : public TCommonDialog {
    TESS_CLASS(TFindDialog, TCommonDialog)
public:
    explicit TFindDialog(TComponent* AOwner);
    ~TFindDialog() override;
    std::string FindText() const;
    void SetFindText(const std::string& value);
    TFindOptions Options{frDown};
    int Left() const { return FLeft; }
    void SetLeft(int value) { FLeft = value; }
    int Top() const { return FTop; }
    void SetTop(int value) { FTop = value; }
    TPoint Position() const { return {FLeft, FTop}; }
    void SetPosition(TPoint value);
    // The dialog's window handle (nullptr while it is not shown).
    HWND Handle() const;
    // Shows the dialog; true.
    bool Execute() override;
    void CloseDialog();
    TNotifyEvent OnFind;
    TNotifyEvent OnReplace;
    // The dialog's form while it is shown, for tests.
    TForm* DialogForm() const { return FForm; }

protected:
    virtual bool IsReplace() const { return false; }
    virtual void BuildForm();
    // The form is going: the texts are kept.
    virtual void FormClosing() {}
    void ReadOptions();
    void FindClicked();
    TForm* FForm = nullptr;
    TEdit* FFindEdit = nullptr;
    TCheckBox* FWholeWord = nullptr;
    TCheckBox* FMatchCase = nullptr;
    TRadioButton* FUp = nullptr;
    TRadioButton* FDown = nullptr;
    std::string FFindText;
    int FLeft = -1;
    int FTop = -1;
};

class TReplaceDialog : public TFindDialog {
    TESS_CLASS(TReplaceDialog, TFindDialog)
public:
    explicit TReplaceDialog(TComponent* AOwner) : TFindDialog(AOwner) {}
    std::string ReplaceText() const;
    void SetReplaceText(const std::string& value);

protected:
    bool IsReplace() const override { return true; }
    void BuildForm() override;
    void FormClosing() override;

private:
    void ReplaceClicked(bool all);
    TEdit* FReplaceEdit = nullptr;
    std::string FReplaceText;
};
