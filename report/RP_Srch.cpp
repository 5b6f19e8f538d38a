#include "report/RP_Srch.h"

#include "report/RP_Utils.h"
#include "report/rpResources.h"

#include "platform/gui/Button.h"
#include "platform/gui/CheckBox.h"
#include "platform/gui/Edit.h"
#include "platform/gui/GroupBox.h"
#include "platform/gui/Label.h"
#include "platform/gui/RadioButton.h"

TrpPreviewSearchForm::TrpPreviewSearchForm(TComponent* AOwner) : TForm(AOwner)
{
    SetName("rpPreviewSearchForm");
    SetBorderStyle(bsDialog);
    Position = poScreenCenter;
    SetClientWidth(290);
    SetClientHeight(150);
    CreateComponents();
    SetTexts();
    OnActivate = [this](TObject*) { FormActivate(); };
}

void TrpPreviewSearchForm::CreateComponents()
{
    Label1 = rpCreateControl<TLabel>(this, this, "Label1", Bounds(8, 8, 200, 13));
    Edit1 = rpCreateControl<TEdit>(this, this, "Edit1", Bounds(8, 24, 274, 21));
    Label1->SetFocusControl(Edit1);
    GroupBox1 = rpCreateControl<TGroupBox>(this, this, "GroupBox1", Bounds(8, 54, 134, 54));
    CB1 = rpCreateControl<TCheckBox>(this, GroupBox1, "CB1", Bounds(8, 22, 122, 17));
    GroupBox2 = rpCreateControl<TGroupBox>(this, this, "GroupBox2", Bounds(148, 54, 134, 54));
    RB1 = rpCreateControl<TRadioButton>(this, GroupBox2, "RB1", Bounds(8, 16, 122, 17));
    RB1->SetChecked(true);
    RB2 = rpCreateControl<TRadioButton>(this, GroupBox2, "RB2", Bounds(8, 33, 122, 17));
    Button1 = rpCreateControl<TButton>(this, this, "Button1", Bounds(126, 117, 75, 25));
    Button1->SetDefault(true);
    Button1->SetModalResult(mrOk);
    Button2 = rpCreateControl<TButton>(this, this, "Button2", Bounds(207, 117, 75, 25));
    Button2->SetCancel(true);
    Button2->SetModalResult(mrCancel);
}

void TrpPreviewSearchForm::SetTexts()
{
    SetCaption(rpLoadStr(53000));
    Label1->SetCaption(rpLoadStr(53001));
    GroupBox1->SetCaption(rpLoadStr(53002));
    CB1->SetCaption(rpLoadStr(53003));
    GroupBox2->SetCaption(rpLoadStr(53004));
    RB1->SetCaption(rpLoadStr(53005));
    RB2->SetCaption(rpLoadStr(53006));
    Button1->SetCaption(rpLoadStr(55000));
    Button2->SetCaption(rpLoadStr(55001));
}

void TrpPreviewSearchForm::FormActivate()
{
    if (Edit1->CanFocus())
        Edit1->SetFocus();
    Edit1->SelectAll();
}
