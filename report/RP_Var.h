#pragma once
// The window that picks a variable for an object's text: the report's variables by category, the
// special values and the script's variables.

#include "platform/gui/Form.h"

#include <string>

class TComboBox;
class TLabel;
class TListBox;

// The category shown last, offered first the next time.
extern std::string LastCategory;

// What the variable and the field windows share: a label over a drop-down list of groups and the
// list of their items; Enter or a press in the list closes with OK, Escape with Cancel.
class TrpChoiceForm : public TForm {
    TESS_CLASS(TrpChoiceForm, TForm)
public:
    TrpChoiceForm(TComponent* AOwner, const std::string& name, int captionId, int labelId);
    TLabel* Label1 = nullptr;
    TComboBox* ValCombo = nullptr;
    TListBox* ValList = nullptr;
    std::string SelectedItem;

protected:
    // The group shown, "" when none.
    std::string ShownGroup() const;
};

class TrpVarForm : public TrpChoiceForm {
    TESS_CLASS(TrpVarForm, TrpChoiceForm)
public:
    // SelectedItem: the chosen variable after OK; for a special value the name the report computes.
    explicit TrpVarForm(TComponent* AOwner);

protected:
    void DoClose(TCloseAction& Action) override;

private:
    void FormActivate();
    void ValComboClick();
};

// The window on screen while it is shown.
extern TrpVarForm* rpVarForm;
