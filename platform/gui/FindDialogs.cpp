// Find and replace dialogs.

#include "platform/gui/FindDialogs.h"

#include "platform/gui/Button.h"
#include "platform/gui/CheckBox.h"
#include "platform/gui/Edit.h"
#include "platform/gui/Form.h"
#include "platform/gui/GroupBox.h"
#include "platform/gui/Label.h"
#include "platform/gui/RadioButton.h"
#include "platform/gui/Screen.h"

namespace {

template <typename T>
T* Put(TForm* form, int left, int top, int width, int height)
{
    auto* control = new T(form);
    control->SetParent(form);
    control->SetBounds(left, top, width, height);
    return control;
}

template <typename T>
T* PutIn(TWinControl* parent, TForm* owner, int left, int top, int width, int height)
{
    auto* control = new T(owner);
    control->SetParent(parent);
    control->SetBounds(left, top, width, height);
    return control;
}

} // namespace

TFindDialog::TFindDialog(TComponent* AOwner) : TCommonDialog(AOwner) {}

TFindDialog::~TFindDialog() { CloseDialog(); }

std::string TFindDialog::FindText() const { return FFindEdit ? FFindEdit->Text() : FFindText; }

void TFindDialog::SetFindText(const std::string& value)
{
    FFindText = value;
    if (FFindEdit)
        FFindEdit->SetText(value);
}

void TFindDialog::SetPosition(TPoint value)
{
    FLeft = value.X;
    FTop = value.Y;
    if (FForm)
        FForm->SetBounds(FLeft, FTop, FForm->Width(), FForm->Height());
}

HWND TFindDialog::Handle() const { return FForm && FForm->HandleAllocated() ? FForm->Handle() : nullptr; }

void TFindDialog::BuildForm()
{
    FForm = TForm::Create<TForm>(nullptr);
    FForm->SetCaption("Trova");
    FForm->SetBorderStyle(bsDialog);
    FForm->SetClientWidth(350);
    FForm->SetClientHeight(95);
    auto* label = Put<TLabel>(FForm, 6, 12, 60, 17);
    label->SetCaption("&Trova:");
    FFindEdit = Put<TEdit>(FForm, 70, 8, 180, 21);
    label->SetFocusControl(FFindEdit);
    FWholeWord = Put<TCheckBox>(FForm, 6, 44, 130, 17);
    FWholeWord->SetCaption("Solo parole &intere");
    FMatchCase = Put<TCheckBox>(FForm, 6, 66, 130, 17);
    FMatchCase->SetCaption("&Maiuscole/minuscole");
    auto* direction = Put<TGroupBox>(FForm, 145, 36, 105, 50);
    direction->SetCaption("Direzione");
    FUp = PutIn<TRadioButton>(direction, FForm, 8, 20, 40, 17);
    FUp->SetCaption("&Su");
    FDown = PutIn<TRadioButton>(direction, FForm, 52, 20, 45, 17);
    FDown->SetCaption("&Gi\xF9");
    auto* find = Put<TButton>(FForm, 262, 8, 82, 23);
    find->SetCaption("Trova &successivo");
    find->SetDefault(true);
    find->OnClick = [this](TObject*) { FindClicked(); };
    auto* cancel = Put<TButton>(FForm, 262, 36, 82, 23);
    cancel->SetCaption("Annulla");
    cancel->SetCancel(true);
    cancel->OnClick = [this](TObject*) { CloseDialog(); };
}

bool TFindDialog::Execute()
{
    if (!FForm) {
        BuildForm();
        FForm->OnClose = [this](TObject*, TCloseAction& action) {
            action = caHide;
            DoClose();
        };
    }
    FFindEdit->SetText(FFindText);
    FWholeWord->SetChecked(Options.Contains(frWholeWord));
    FMatchCase->SetChecked(Options.Contains(frMatchCase));
    FDown->SetChecked(Options.Contains(frDown));
    FUp->SetChecked(!Options.Contains(frDown));
    FWholeWord->SetVisible(!Options.Contains(frHideWholeWord));
    FMatchCase->SetVisible(!Options.Contains(frHideMatchCase));
    FWholeWord->SetEnabled(!Options.Contains(frDisableWholeWord));
    FMatchCase->SetEnabled(!Options.Contains(frDisableMatchCase));
    FUp->Parent()->SetVisible(!Options.Contains(frHideUpDown));
    FUp->Parent()->SetEnabled(!Options.Contains(frDisableUpDown));
    if (FLeft >= 0 && FTop >= 0) {
        FForm->SetLeft(FLeft);
        FForm->SetTop(FTop);
    } else {
        FForm->Position = poMainFormCenter;
    }
    FForm->SetFormStyle(fsStayOnTop);
    DoShow();
    FForm->Show();
    FForm->SetActiveControl(FFindEdit);
    return true;
}

void TFindDialog::CloseDialog()
{
    if (!FForm)
        return;
    TForm* form = FForm;
    FForm = nullptr;
    FFindText = FFindEdit->Text();
    FFindEdit = nullptr;
    FormClosing();
    form->OnClose = nullptr;
    form->Hide();
    form->Release();
    DoClose();
}

void TFindDialog::ReadOptions()
{
    Options.Exclude(frFindNext);
    Options.Exclude(frReplace);
    Options.Exclude(frReplaceAll);
    if (FWholeWord->Checked())
        Options.Include(frWholeWord);
    else
        Options.Exclude(frWholeWord);
    if (FMatchCase->Checked())
        Options.Include(frMatchCase);
    else
        Options.Exclude(frMatchCase);
    if (FDown->Checked())
        Options.Include(frDown);
    else
        Options.Exclude(frDown);
    FFindText = FFindEdit->Text();
}

void TFindDialog::FindClicked()
{
    ReadOptions();
    Options.Include(frFindNext);
    if (OnFind)
        OnFind(this);
}

// --- TReplaceDialog ------------------------------------------------------------------------------------

std::string TReplaceDialog::ReplaceText() const { return FReplaceEdit && FForm ? FReplaceEdit->Text() : FReplaceText; }

void TReplaceDialog::SetReplaceText(const std::string& value)
{
    FReplaceText = value;
    if (FReplaceEdit && FForm)
        FReplaceEdit->SetText(value);
}

void TReplaceDialog::BuildForm()
{
    TFindDialog::BuildForm();
    FForm->SetCaption("Sostituisci");
    FForm->SetClientHeight(125);
    auto* label = Put<TLabel>(FForm, 6, 40, 62, 17);
    label->SetCaption("Sostituisci &con:");
    FReplaceEdit = Put<TEdit>(FForm, 70, 36, 180, 21);
    FReplaceEdit->SetText(FReplaceText);
    label->SetFocusControl(FReplaceEdit);
    FWholeWord->SetTop(72);
    FMatchCase->SetTop(96);
    FUp->Parent()->SetTop(66);
    auto* replace = Put<TButton>(FForm, 262, 36, 82, 23);
    replace->SetCaption("Sostitu&isci");
    replace->OnClick = [this](TObject*) { ReplaceClicked(false); };
    auto* all = Put<TButton>(FForm, 262, 64, 82, 23);
    all->SetCaption("Sostituisci &tutto");
    all->OnClick = [this](TObject*) { ReplaceClicked(true); };
    // The cancel button moves below the replace buttons.
    for (int i = 0; i < FForm->ControlCount(); ++i)
        if (auto* button = dynamic_cast<TButton*>(FForm->Controls(i)); button && button->Cancel())
            button->SetTop(92);
}

void TReplaceDialog::FormClosing()
{
    if (FReplaceEdit)
        FReplaceText = FReplaceEdit->Text();
    FReplaceEdit = nullptr;
}

void TReplaceDialog::ReplaceClicked(bool all)
{
    ReadOptions();
    FReplaceText = FReplaceEdit->Text();
    Options.Include(all ? frReplaceAll : frReplace);
    if (OnReplace)
        OnReplace(this);
}
