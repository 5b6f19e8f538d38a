#pragma once
// The window that picks a field of a data set reachable from the report, as D."F".

#include "report/RP_Var.h"

#include <string>

// The data set shown last, offered first the next time.
extern std::string LastDataSet;

class TrpFieldsForm : public TrpChoiceForm {
    TESS_CLASS(TrpFieldsForm, TrpChoiceForm)
public:
    // SelectedItem: the chosen field whatever the closing button; callers look at the modal result.
    explicit TrpFieldsForm(TComponent* AOwner);

protected:
    void DoClose(TCloseAction& Action) override;

private:
    void FormActivate();
    void ValComboClick();
};

// The window on screen while it is shown.
extern TrpFieldsForm* rpFieldsForm;
