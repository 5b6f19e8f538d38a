// The password dialog and the component's prompts that use it.

#include "archive/PasswordDlg.h"

#include "archive/ZipArchiver.h"
#include "platform/gui/BitBtn.h"
#include "platform/gui/Edit.h"
#include "platform/gui/Label.h"

namespace {

constexpr int PasswordDlgMaxLength = 80;

template <typename T>
T* PasswordDlgControl(TPasswordDlg* form, int left, int top, int width, int height)
{
    T* control = new T(form);
    control->SetParent(form);
    control->SetBounds(left, top, width, height);
    return control;
}

} // namespace

TPasswordDlg::TPasswordDlg(TComponent* AOwner) : TForm(AOwner)
{
    SetBounds(Left(), Top(), 344, 137);
    Font()->SetName("Arial");
    Font()->SetHeight(-12);
    Font()->SetStyle({fsBold});
    SetBorderStyle(bsDialog);
    Position = poScreenCenter;

    PwdLabel = PasswordDlgControl<TLabel>(this, 20, 8, 297, 18);
    PwdLabel->SetAutoSize(false);
    PwdEdit = new TEdit(this);
    PwdEdit->SetParent(this);
    PwdEdit->SetBounds(20, 40, 297, PwdEdit->Height()); // the edit keeps its own height
    PwdEdit->SetPasswordChar('*');
    PwdEdit->SetMaxLength(PasswordDlgMaxLength);

    OKBtn = PasswordDlgControl<TBitBtn>(this, 44, 72, 90, 28);
    OKBtn->SetKind(bkOK);
    OKBtn->SetCaption(TZipArchiver::LoadZipStr(10152, ""));
    OKBtn->OnClick = [this](TObject* sender) { PwdOkClick(sender); };
    CancelBtn = PasswordDlgControl<TBitBtn>(this, 205, 72, 90, 28);
    CancelBtn->SetKind(bkCancel);
    CancelBtn->SetCaption(TZipArchiver::LoadZipStr(10153, ""));
}

void TPasswordDlg::PwdOkClick(TObject*) { Confirmed = true; }

std::string TPasswordDlg::ShowModalPwdDlg(const std::string& caption, const std::string& prompt)
{
    SetCaption(caption);
    PwdLabel->SetCaption(prompt);
    ShowModal();
    return Confirmed ? PwdEdit->Text() : std::string();
}

bool TZipArchiver::GetPassword(const std::string& caption, const std::string& prompt, std::string& password)
{
    std::unique_ptr<TPasswordDlg> dialog(TForm::Create<TPasswordDlg>(this));
    password = dialog->ShowModalPwdDlg(caption, prompt);
    return dialog->Confirmed;
}

namespace {

std::string PasswordDlgCaption()
{
    // The caption's default is the fallback text alone, without a number.
    return TZipArchiver::LoadZipStr(10154, ZipMessageFallback);
}

} // namespace

std::string TZipArchiver::GetExtrPassword()
{
    if (Unattended) {
        ShowZipMessage(10151, "");
        return "";
    }
    std::string password;
    if (GetPassword(PasswordDlgCaption(), LoadZipStr(10155, ""), password) && !password.empty() && StorePassword)
        Password = password;
    return password;
}

std::string TZipArchiver::GetAddPassword()
{
    if (Unattended) {
        ShowZipMessage(10150, "");
        return "";
    }
    std::string first;
    if (!GetPassword(PasswordDlgCaption(), LoadZipStr(10155, ""), first) || first.empty())
        return "";
    std::string second;
    if (!GetPassword(PasswordDlgCaption(), LoadZipStr(10156, ""), second) || second.empty())
        return "";
    if (first != second) {
        ShowZipMessage(10104, "");
        return "";
    }
    if (StorePassword)
        Password = second;
    return second;
}
