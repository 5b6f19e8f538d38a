#include "report/RP_fmted.h"

#include "report/RP_Utils.h"
#include "report/rpResources.h"

#include "platform/gui/Application.h"
#include "platform/gui/Button.h"
#include "platform/gui/ComboBox.h"
#include "platform/gui/Edit.h"
#include "platform/gui/GroupBox.h"
#include "platform/gui/Label.h"
#include "platform/gui/Panel.h"
#include "platform/rtl/TextUtils.h"

namespace RP_fmted {
namespace {

constexpr int CategoryShift = 24, SubFormatShift = 16, DecimalsShift = 8, SeparatorShift = 0;
constexpr std::uint32_t CategoryMask = 0x0F, FieldMask = 0xFF;
constexpr int CategoryCount = 5;
constexpr int NumberCategory = 1;
constexpr int CustomSubFormat = 4;
constexpr int FirstCategoryId = 55130;
constexpr int FirstSubFormatId = 55150;
constexpr int SubFormatsPerCategory = 5;
constexpr char Comma = ',';

int FieldOf(std::uint32_t format, int shift, std::uint32_t mask) { return static_cast<int>((format >> shift) & mask); }

// Only the field's own bits change, whatever the value.
std::uint32_t WithField(std::uint32_t format, int shift, std::uint32_t mask, int value)
{
    return (format & ~(mask << shift)) | ((static_cast<std::uint32_t>(value) & mask) << shift);
}

TPanel* NewPanel(TComponent* owner, TWinControl* parent, const std::string& name)
{
    auto* panel = rpCreateControl<TPanel>(owner, parent, name, Bounds(12, 78, 240, 62));
    panel->SetBevelOuter(bvNone);
    panel->SetCaption("");
    panel->SetVisible(false);
    return panel;
}

} // namespace
} // namespace RP_fmted

using namespace RP_fmted;

TrpFmtForm::TrpFmtForm(TComponent* AOwner) : TForm(AOwner)
{
    SetName("rpFmtForm");
    SetBorderStyle(bsDialog);
    Position = poScreenCenter;
    SetClientWidth(280);
    SetClientHeight(200);
    CreateComponents();
    SetTexts();
    OnActivate = [this](TObject*) { FormActivate(); };
}

void TrpFmtForm::CreateComponents()
{
    GroupBox2 = rpCreateControl<TGroupBox>(this, this, "GroupBox2", Bounds(8, 8, 264, 150));
    ComboBox1 = rpCreateControl<TComboBox>(this, GroupBox2, "ComboBox1", Bounds(12, 20, 240, 21));
    ComboBox1->SetStyle(csDropDownList);
    ComboBox1->OnClick = [this](TObject*) { ComboBox1Click(); };
    ComboBox2 = rpCreateControl<TComboBox>(this, GroupBox2, "ComboBox2", Bounds(12, 48, 240, 21));
    ComboBox2->SetStyle(csDropDownList);
    ComboBox2->OnClick = [this](TObject*) { ComboBox2Click(); };

    Panel1 = NewPanel(this, GroupBox2, "Panel1");
    Label5 = rpCreateControl<TLabel>(this, Panel1, "Label5", Bounds(0, 4, 86, 13));
    Edit3 = rpCreateControl<TEdit>(this, Panel1, "Edit3", Bounds(90, 0, 50, 21));
    Edit3->OnChange = [this](TObject*) { Edit3Change(); };
    Label5->SetFocusControl(Edit3);
    Label6 = rpCreateControl<TLabel>(this, Panel1, "Label6", Bounds(0, 32, 86, 13));
    SplEdit = rpCreateControl<TEdit>(this, Panel1, "SplEdit", Bounds(90, 28, 30, 21));
    SplEdit->SetMaxLength(1);
    SplEdit->OnChange = [this](TObject*) { SplEditChange(); };
    SplEdit->OnEnter = [this](TObject*) { SplEdit->SelectAll(); };
    Label6->SetFocusControl(SplEdit);

    Panel2 = NewPanel(this, GroupBox2, "Panel2");
    Label1 = rpCreateControl<TLabel>(this, Panel2, "Label1", Bounds(0, 2, 200, 13));
    Edit1 = rpCreateControl<TEdit>(this, Panel2, "Edit1", Bounds(0, 20, 240, 21));
    Label1->SetFocusControl(Edit1);

    Button1 = rpCreateControl<TButton>(this, this, "Button1", Bounds(116, 167, 75, 25));
    Button1->SetDefault(true);
    Button1->SetModalResult(mrOk);
    Button2 = rpCreateControl<TButton>(this, this, "Button2", Bounds(197, 167, 75, 25));
    Button2->SetCancel(true);
    Button2->SetModalResult(mrCancel);
}

void TrpFmtForm::SetTexts()
{
    SetCaption(rpLoadStr(53420));
    GroupBox2->SetCaption(rpLoadStr(53421));
    Label5->SetCaption(rpLoadStr(53422));
    Label6->SetCaption(rpLoadStr(53423));
    Label1->SetCaption(rpLoadStr(53424));
    Button1->SetCaption(rpLoadStr(55000));
    Button2->SetCaption(rpLoadStr(55001));
}

void TrpFmtForm::FormActivate()
{
    Panel1->SetVisible(false);
    Panel2->SetVisible(false);
    ComboBox1->Items()->Clear();
    for (int category = 0; category < CategoryCount; ++category)
        ComboBox1->Items()->Add(rpLoadStr(FirstCategoryId + category));
    ComboBox1->SetItemIndex(FieldOf(Format, CategoryShift, CategoryMask));
    FillSubFormats();
    ComboBox2->SetItemIndex(FieldOf(Format, SubFormatShift, FieldMask));
    ShowPanels();
}

void TrpFmtForm::FillSubFormats()
{
    const int firstId = FirstSubFormatId + SubFormatsPerCategory * FieldOf(Format, CategoryShift, CategoryMask);
    ComboBox2->Items()->Clear();
    for (int id = firstId; id < firstId + SubFormatsPerCategory; ++id)
        if (const std::string text = rpLoadStr(id); !text.empty())
            ComboBox2->Items()->Add(text);
    ComboBox2->SetItemIndex(0);
}

void TrpFmtForm::ShowPanels()
{
    Panel1->SetVisible(false);
    Panel2->SetVisible(FieldOf(Format, SubFormatShift, FieldMask) == CustomSubFormat);
    if (FieldOf(Format, CategoryShift, CategoryMask) != NumberCategory || Panel2->Visible())
        return;
    // A number needs a separator; a code without one (a text code made a number) takes the comma.
    if (FieldOf(Format, SeparatorShift, FieldMask) == 0)
        Format = WithField(Format, SeparatorShift, FieldMask, Comma);
    const int decimals = FieldOf(Format, DecimalsShift, FieldMask);
    const char separator = static_cast<char>(FieldOf(Format, SeparatorShift, FieldMask));
    Edit3->SetText(IntToStr(decimals));
    SplEdit->SetText(std::string(1, separator));
    Panel1->SetVisible(true);
}

void TrpFmtForm::ComboBox1Click()
{
    if (ComboBox1->ItemIndex() < 0)
        return;
    Format = WithField(Format, CategoryShift, CategoryMask, ComboBox1->ItemIndex());
    FillSubFormats();
    ComboBox2Click();
    Edit1->SetText("");
}

void TrpFmtForm::ComboBox2Click()
{
    if (ComboBox2->ItemIndex() < 0)
        return;
    Format = WithField(Format, SubFormatShift, FieldMask, ComboBox2->ItemIndex());
    ShowPanels();
}

void TrpFmtForm::Edit3Change()
{
    try {
        Format = WithField(Format, DecimalsShift, FieldMask, StrToInt(Edit3->Text()));
    } catch (...) {
        Application->HandleException(this);
    }
}

void TrpFmtForm::SplEditChange()
{
    const std::string text = SplEdit->Text();
    Format = WithField(Format, SeparatorShift, FieldMask, text.empty() ? Comma : static_cast<unsigned char>(text[0]));
}
