#pragma once
// The small modal dialog in which the ZIP component asks for a password.

#include "platform/gui/Form.h"

#include <string>

class TBitBtn;
class TEdit;
class TLabel;

class TPasswordDlg : public TForm {
    TESS_CLASS(TPasswordDlg, TForm)
public:
    explicit TPasswordDlg(TComponent* AOwner);

    TBitBtn* OKBtn = nullptr;
    TBitBtn* CancelBtn = nullptr;
    TEdit* PwdEdit = nullptr;
    TLabel* PwdLabel = nullptr;
    bool Confirmed = false;

    void PwdOkClick(TObject* Sender);
    // Shows the dialog with the caption and the prompt; the text typed when confirmed, else "".
    std::string ShowModalPwdDlg(const std::string& caption, const std::string& prompt);
};
