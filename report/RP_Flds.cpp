#include "report/RP_Flds.h"

#include "report/RP_DBRel.h"
#include "report/RP_Utils.h"
#include "report/rpEngine.h"
#include "report/rpReport.h"

#include "platform/db/DataSet.h"
#include "platform/gui/ComboBox.h"
#include "platform/gui/ListBox.h"

std::string LastDataSet;
TrpFieldsForm* rpFieldsForm = nullptr;

TrpFieldsForm::TrpFieldsForm(TComponent* AOwner) : TrpChoiceForm(AOwner, "rpFieldsForm", 53450, 53451)
{
    KeyPreview = true;
    ValCombo->OnChange = [this](TObject*) { ValComboClick(); };
    OnActivate = [this](TObject*) { FormActivate(); };
}

void TrpFieldsForm::FormActivate()
{
    rpFieldsForm = this;
    TStringList names;
    names.SetSorted(true);
    rpGetComponents(CurReport ? CurReport->Owner() : nullptr, "TDataSet", &names, nullptr);
    ValCombo->Items()->Assign(&names);
    const int last = ValCombo->Items()->IndexOf(LastDataSet);
    ValCombo->SetItemIndex(last >= 0 ? last : 0);
    ValComboClick();
}

void TrpFieldsForm::ValComboClick()
{
    ValList->Items()->Clear();
    const int index = ValCombo->ItemIndex();
    if (index < 0)
        return;
    // A data set that cannot list its fields leaves the list as far as it got.
    try {
        TDataSet* dataSet = rpGetDataSet(ValCombo->Items()->Strings(index));
        if (dataSet)
            rpGetFieldNames(dataSet, ValList->Items());
    } catch (const std::exception&) {
    }
}

void TrpFieldsForm::DoClose(TCloseAction& Action)
{
    TForm::DoClose(Action);
    const std::string dataSet = ShownGroup();
    LastDataSet = dataSet;
    const int chosen = ValList->ItemIndex();
    if (chosen >= 0)
        SelectedItem = dataSet + ".\"" + ValList->Items()->Strings(chosen) + "\"";
    rpFieldsForm = nullptr;
}
