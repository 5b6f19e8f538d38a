#pragma once
// The display-format editor of text objects: the category and the format within it, the decimals
// and the decimal separator of numbers, or a format text of the user's own.

#include "platform/gui/Form.h"

#include <cstdint>

class TButton;
class TComboBox;
class TEdit;
class TGroupBox;
class TLabel;
class TPanel;

class TrpFmtForm : public TForm {
    TESS_CLASS(TrpFmtForm, TForm)
public:
    explicit TrpFmtForm(TComponent* AOwner);

    TGroupBox* GroupBox2 = nullptr;
    TComboBox* ComboBox1 = nullptr;
    TComboBox* ComboBox2 = nullptr;
    TPanel* Panel1 = nullptr;
    TLabel* Label5 = nullptr;
    TEdit* Edit3 = nullptr;
    TLabel* Label6 = nullptr;
    TEdit* SplEdit = nullptr;
    TPanel* Panel2 = nullptr;
    TLabel* Label1 = nullptr;
    TEdit* Edit1 = nullptr;
    TButton* Button1 = nullptr;
    TButton* Button2 = nullptr;

    // The display-format code: category in bits 24 to 27, format within it in bits 16 to 23
    // (4: the text in Edit1), decimals in bits 8 to 15, decimal separator in bits 0 to 7.
    std::uint32_t Format = 0;

private:
    void CreateComponents();
    void SetTexts();
    void FormActivate();
    // The formats of the current category, the first one selected.
    void FillSubFormats();
    // Shows the panel that the current format needs, with its values.
    void ShowPanels();
    void ComboBox1Click();
    void ComboBox2Click();
    void Edit3Change();
    void SplEditChange();
};
