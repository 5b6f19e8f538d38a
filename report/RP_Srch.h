#pragma once
// The search dialog of the report preview: the text to find, whether case matters and whether the
// search starts at the first page or at the current one.

#include "platform/gui/Form.h"

class TButton;
class TCheckBox;
class TEdit;
class TGroupBox;
class TLabel;
class TRadioButton;

class TrpPreviewSearchForm : public TForm {
    TESS_CLASS(TrpPreviewSearchForm, TForm)
public:
    explicit TrpPreviewSearchForm(TComponent* AOwner);

    TLabel* Label1 = nullptr;
    TEdit* Edit1 = nullptr;
    TGroupBox* GroupBox1 = nullptr;
    TCheckBox* CB1 = nullptr;
    TGroupBox* GroupBox2 = nullptr;
    TRadioButton* RB1 = nullptr;
    TRadioButton* RB2 = nullptr;
    TButton* Button1 = nullptr;
    TButton* Button2 = nullptr;

private:
    void CreateComponents();
    void SetTexts();
    // The text is ready to be typed over.
    void FormActivate();
};
