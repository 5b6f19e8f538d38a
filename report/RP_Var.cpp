#include "report/RP_Var.h"

#include "report/RP_Intrp.h"
#include "report/RP_Utils.h"
#include "report/rpEngine.h"
#include "report/rpReport.h"
#include "report/rpResources.h"

#include "platform/gui/ComboBox.h"
#include "platform/gui/Label.h"
#include "platform/gui/ListBox.h"

std::string LastCategory;
TrpVarForm* rpVarForm = nullptr;

namespace rpVar {
namespace {

// The position of a special value in the list: the second entry of the table has no display name.
std::string SpecialValueAt(int position)
{
    if (position <= 0)
        return rpSpecFuncs[0];
    return position + 1 < rpSpecCount ? rpSpecFuncs[position + 1] : std::string();
}

} // namespace
} // namespace rpVar

TrpChoiceForm::TrpChoiceForm(TComponent* AOwner, const std::string& name, int captionId, int labelId)
    : TForm(AOwner)
{
    SetName(name);
    SetBorderStyle(bsDialog);
    Position = poScreenCenter;
    SetClientWidth(217);
    SetClientHeight(317);
    Label1 = rpCreateControl<TLabel>(this, this, "Label1", Bounds(4, 4, 120, 13));
    ValCombo = rpCreateControl<TComboBox>(this, this, "ValCombo", Bounds(4, 20, 209, 21));
    ValCombo->SetStyle(csDropDownList);
    Label1->SetFocusControl(ValCombo);
    ValList = rpCreateControl<TListBox>(this, this, "ValList", Bounds(4, 48, 209, 264));
    SetCaption(rpLoadStr(captionId));
    Label1->SetCaption(rpLoadStr(labelId));
    ValList->OnKeyDown = [this](TObject*, WORD& key, TShiftState) {
        if (key == VK_RETURN)
            SetModalResult(mrOk);
    };
    ValList->OnMouseDown = [this](TObject*, TMouseButton, TShiftState, int, int) { SetModalResult(mrOk); };
    OnKeyDown = [this](TObject*, WORD& key, TShiftState) {
        if (key == VK_ESCAPE)
            SetModalResult(mrCancel);
    };
}

std::string TrpChoiceForm::ShownGroup() const
{
    const int index = ValCombo->ItemIndex();
    return index >= 0 ? ValCombo->Items()->Strings(index) : std::string();
}

TrpVarForm::TrpVarForm(TComponent* AOwner) : TrpChoiceForm(AOwner, "rpVarForm", 53440, 53441)
{
    ValCombo->OnClick = [this](TObject*) { ValComboClick(); };
    OnActivate = [this](TObject*) { FormActivate(); };
}

void TrpVarForm::FormActivate()
{
    rpVarForm = this;
    ValCombo->Items()->Clear();
    if (CurReport)
        CurReport->GetCategoryList(ValCombo->Items());
    ValCombo->Items()->Add(rpLoadStr(55075));
    ValCombo->Items()->Add(rpLoadStr(55342));
    const int last = ValCombo->Items()->IndexOf(LastCategory);
    ValCombo->SetItemIndex(last >= 0 ? last : 0);
    ValComboClick();
}

void TrpVarForm::ValComboClick()
{
    ValList->Items()->Clear();
    const int index = ValCombo->ItemIndex();
    if (index < 0)
        return;
    const std::string category = ValCombo->Items()->Strings(index);
    if (category == rpLoadStr(55342)) {
        for (int i = 0; rpVariables && i < rpVariables->GetCount(); ++i)
            ValList->Items()->Add(rpVariables->GetName(i));
    } else if (category == rpLoadStr(55075)) {
        for (int i = 0; i < static_cast<int>(rpSpecArr.size()); ++i)
            if (i != 1)
                ValList->Items()->Add(rpSpecArr[static_cast<std::size_t>(i)]);
    } else {
        if (CurReport)
            CurReport->GetVarList(index, ValList->Items());
    }
}

void TrpVarForm::DoClose(TCloseAction& Action)
{
    TForm::DoClose(Action);
    const std::string category = ShownGroup();
    if (ModalResult() == mrOk) {
        const int chosen = ValList->ItemIndex();
        if (category == rpLoadStr(55075))
            SelectedItem = rpVar::SpecialValueAt(chosen);
        else if (chosen >= 0)
            SelectedItem = ValList->Items()->Strings(chosen);
    }
    LastCategory = category;
    rpVarForm = nullptr;
}
