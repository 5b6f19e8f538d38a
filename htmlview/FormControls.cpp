#include "htmlview/FormControls.h"

#include "htmlview/ImageObj.h"
#include "htmlview/PanePars.h"
#include "htmlview/SectionList.h"
#include "platform/gui/Button.h"
#include "platform/gui/CheckBox.h"
#include "platform/gui/ComboBox.h"
#include "platform/gui/DeviceContext.h"
#include "platform/gui/Edit.h"
#include "platform/gui/ListBox.h"
#include "platform/gui/Memo.h"
#include "platform/gui/Panel.h"
#include "platform/gui/RadioButton.h"
#include "platform/gui/Screen.h"
#include "platform/gui/TextOutput.h"
#include "platform/gui/WinControl.h"

#include <cstdint>

namespace {

// The first attribute of the kind, nullptr when none.
const TAttribute* FirstAttributeOf(const TAttributeList* Attributes, Symb Sy)
{
    TAttribute* found = nullptr;
    if (Attributes != nullptr && Attributes->Find(Sy, found))
        return found;
    return nullptr;
}

bool ControlHasAttribute(const TAttributeList* Attributes, Symb Sy)
{
    return FirstAttributeOf(Attributes, Sy) != nullptr;
}

// The form a new field joins: the parser's current one, or a new one that
// becomes current.
ThtmlForm* FormForNewControl(TSectionList* Document)
{
    ThlParser* parser = Document->CurrentParser;
    if (parser != nullptr && parser->CurrentForm != nullptr)
        return parser->CurrentForm;
    auto* form = new ThtmlForm(Document, nullptr);
    if (parser != nullptr)
        parser->CurrentForm = form;
    return form;
}

// An edit box's width in characters from SIZE: a positive number as it is, else
// the number before the first blank or comma ("30,5" gives 30), 20 when there
// is none.
int EditSizeChars(const TAttribute& Size)
{
    if (Size.Number > 0)
        return Size.Number;
    const std::size_t cut = Size.Text.find_first_of(" ,");
    if (cut == std::string::npos || cut == 0)
        return 20;
    return StrToIntDef(Size.Text.substr(0, cut), 20);
}

// Unit × Count + Extra, kept within what a window can be.
int ControlSide(int Unit, int Count, int Extra)
{
    const std::int64_t side = static_cast<std::int64_t>(Unit) * Count + Extra;
    return static_cast<int>(std::clamp<std::int64_t>(side, 0, MaxControlSide));
}

// The frame a window keeps around its client area may change with its size, so
// the second round corrects what the first measured with the old frame.
void SetClientSize(TWinControl* Control, int Width, int Height)
{
    for (int round = 0; round < 2; ++round) {
        Control->SetClientWidth(Width);
        Control->SetClientHeight(Height);
    }
}

int TextWidthOfA(TCanvas* Canvas, TWinControl* Control)
{
    Canvas->Font()->Assign(Control->Font());
    return Canvas->TextWidth("A");
}

int TextHeightOfA(TCanvas* Canvas, TWinControl* Control)
{
    Canvas->Font()->Assign(Control->Font());
    return Canvas->TextHeight("A");
}

} // namespace

ThtmlForm::ThtmlForm(TSectionList* ADocument, const TAttributeList* Attributes)
    : Document(ADocument), Members(std::make_unique<TFreeList>())
{
    Document->Forms->Add(this);
    for (int i = 0; Attributes != nullptr && i < Attributes->Count(); ++i) {
        const TAttribute* attribute = Attributes->Attribute(i);
        switch (attribute->Symbol) {
        case Symb::MethodSy:
            FormMethod = attribute->Text.substr(0, MaxFormMethodLength);
            break;
        case Symb::ActionSy:
            FormAction = attribute->Text;
            break;
        case Symb::TargetSy:
            FormTarget = attribute->Text;
            break;
        case Symb::EncTypeSy:
            FormEncType = attribute->Text;
            break;
        default:
            break;
        }
    }
}

ThtmlForm::~ThtmlForm() = default;

void ThtmlForm::InsertControl(TFormControlObj* Control) { Members->Add(Control); }

static TFormControlObj* MemberOf(const TFreeList& Members, int Index)
{
    return static_cast<TFormControlObj*>(static_cast<TObject*>(Members.Items(Index)));
}

void ThtmlForm::DoRadios(TRadioButtonFormControlObj* Radio)
{
    if (Radio->FieldName.empty())
        return;
    for (int i = 0; i < Members->Count(); ++i) {
        auto* other = dynamic_cast<TRadioButtonFormControlObj*>(MemberOf(*Members, i));
        if (other != nullptr && other != Radio && CompareText(other->FieldName, Radio->FieldName) == 0)
            other->SetChecked(false);
    }
}

void ThtmlForm::ResetControls()
{
    for (int i = 0; i < Members->Count(); ++i)
        MemberOf(*Members, i)->ResetToValue();
}

void ThtmlForm::ControlKeyDown(TObject* Sender, WORD& Key, TShiftState /*Shift*/)
{
    if (Key == VK_RETURN && dynamic_cast<TEdit*>(Sender) != nullptr)
        SubmitTheForm("");
}

void ThtmlForm::SetSizes(TCanvas* Canvas)
{
    for (int i = 0; i < Members->Count(); ++i)
        MemberOf(*Members, i)->SetHeightWidth(Canvas);
}

void ThtmlForm::SubmitTheForm(const std::string& ButtonText)
{
    if (!Document->SubmitHandler)
        return;
    auto results = std::make_unique<TStringList>();
    for (int i = 0; i < Members->Count(); ++i) {
        TFormControlObj* member = MemberOf(*Members, i);
        std::string text;
        for (int index = 0; member->GetSubmission(index, text); ++index) {
            if (!text.empty())
                results->Add(text);
            text.clear();
        }
    }
    if (!ButtonText.empty())
        results->Add(ButtonText);
    TObject* sender = Document->Viewer != nullptr ? Document->Viewer->ViewerComponent() : nullptr;
    Document->SubmitHandler(sender, FormAction, FormTarget, FormEncType, FormMethod, std::move(results));
}

TFormControlObj::TFormControlObj(TSectionList* ADocument, const TAttributeList* Attributes, int Position)
    : SrcPos(Position), Document(ADocument), OwnerForm(FormForNewControl(ADocument))
{
    Document->FormControls->Add(static_cast<TObject*>(this));
    if (const TAttribute* value = FirstAttributeOf(Attributes, Symb::ValueSy))
        InitialValue = value->Text;
    if (const TAttribute* name = FirstAttributeOf(Attributes, Symb::NameSy))
        FieldName = name->Text;
    if (const TAttribute* onClick = FirstAttributeOf(Attributes, Symb::OnClickSy))
        OnClickText = onClick->Text;
    OwnerForm->InsertControl(this);
}

TFormControlObj::~TFormControlObj()
{
    if (WinControl == nullptr)
        return;
    // No event may reach this half-destroyed field while its window goes.
    TWinControl* focusable = GetControl();
    focusable->OnEnter = nullptr;
    focusable->OnExit = nullptr;
    // The screen would go on naming the freed window as the focused one.
    if (Screen != nullptr && Screen->ActiveControl() == focusable) {
        TWinControl* surface = Document->PaintSurface;
        if (surface != nullptr && surface->CanFocus())
            surface->SetFocus();
    }
    WinControl->OnEnter = nullptr;
    WinControl->OnExit = nullptr;
    WinControl->SetParent(nullptr);
    FreeAndNil(WinControl);
}

TObject* TFormControlObj::EventSender() const
{
    return Document->Viewer != nullptr ? Document->Viewer->ViewerComponent() : nullptr;
}

bool TFormControlObj::GetSubmission(int /*Index*/, std::string& /*S*/) { return false; }

TWinControl* TFormControlObj::MakeControl(TComponent* /*Owner*/) { return nullptr; }

bool TFormControlObj::EnsureControl()
{
    if (FControlMade)
        return false;
    FControlMade = true;
    WinControl = MakeControl(Document->PaintSurface);
    if (WinControl == nullptr)
        return false;
    WinControl->SetTop(OffScreenTop);
    WinControl->SetParent(Document->PaintSurface);
    TWinControl* focusable = GetControl();
    focusable->OnEnter = [this](TObject* Sender) { EnterEvent(Sender); };
    focusable->OnExit = [this](TObject* Sender) { ExitEvent(Sender); };
    InitControl();
    return true;
}

void TFormControlObj::UseFixedFont(TWinControl* Control) const
{
    if (!Document->FixedFontName.empty())
        Control->Font()->SetName(Document->FixedFontName);
    Control->Font()->SetSize(10);
}

void TFormControlObj::SetHeightWidth(TCanvas* /*Canvas*/) { EnsureControl(); }

void TFormControlObj::EnterEvent(TObject* /*Sender*/)
{
    if (Document->ControlEnterHandler)
        Document->ControlEnterHandler(this);
    // Moving the focus on must never meet a hidden window.
    for (int i = 0; i < Document->FormControls->Count(); ++i) {
        auto* control = static_cast<TFormControlObj*>(static_cast<TObject*>(Document->FormControls->Items(i)));
        if (control->WinControl != nullptr && !control->ShownInPaint) {
            control->WinControl->SetLeft(OffScreenLeft);
            control->WinControl->SetVisible(true);
        }
    }
}

void TFormControlObj::ExitEvent(TObject* /*Sender*/)
{
    // The screen still names this control while its focus leaves; a document control
    // that takes the focus next parks the unpainted controls again as it is entered.
    Document->AdjustFormControls(GetControl());
}

void TFormControlObj::FormControlClick(TObject* /*Sender*/)
{
    if (Document->ObjectClickHandler)
        Document->ObjectClickHandler(EventSender(), this, OnClickText);
}

// ---- Hidden fields and image buttons

bool THiddenFormControlObj::GetSubmission(int Index, std::string& S)
{
    if (Index != 0)
        return false;
    S = FieldName + "=" + InitialValue;
    return true;
}

bool TImageFormControlObj::GetSubmission(int Index, std::string& S)
{
    if (ClickX < 0 || Index > 1)
        return false;
    const std::string prefix = FieldName.empty() ? std::string() : FieldName + ".";
    if (Index == 0)
        S = prefix + "x=" + IntToStr(ClickX);
    else {
        S = prefix + "y=" + IntToStr(ClickY);
        ClickX = -1;
    }
    return true;
}

void TImageFormControlObj::ImageClick(TObject* Sender)
{
    FormControlClick(Sender);
    ClickX = HoverX;
    ClickY = HoverY;
    OwnerForm->SubmitTheForm("");
}

TEditFormControlObj::TEditFormControlObj(TSectionList* ADocument, const TAttributeList* Attributes, int Position,
                                         const std::string& Typ)
    : TFormControlObj(ADocument, Attributes, Position), Password(Typ == "password")
{
    if (const TAttribute* size = FirstAttributeOf(Attributes, Symb::SizeSy))
        SizeChars = EditSizeChars(*size);
    if (const TAttribute* maxLength = FirstAttributeOf(Attributes, Symb::MaxLengthSy))
        MaxLength = maxLength->Number;
}

TWinControl* TEditFormControlObj::MakeControl(TComponent* Owner)
{
    auto* edit = new TEdit(Owner);
    // Height 20 whatever the font.
    edit->SetAutoSize(false);
    edit->SetBounds(0, OffScreenTop, 120, 20);
    return edit;
}

void TEditFormControlObj::InitControl()
{
    auto* edit = static_cast<TEdit*>(WinControl);
    UseFixedFont(edit);
    edit->SetText(InitialValue);
    edit->SetMaxLength(MaxLength);
    if (Password)
        edit->SetPasswordChar('*');
    edit->OnKeyDown = [this](TObject* Sender, WORD& Key, TShiftState Shift) {
        OwnerForm->ControlKeyDown(Sender, Key, Shift);
    };
    edit->OnClick = [this](TObject* Sender) { FormControlClick(Sender); };
}

void TEditFormControlObj::ResetToValue()
{
    if (WinControl != nullptr)
        WinControl->SetText(InitialValue);
}

bool TEditFormControlObj::GetSubmission(int Index, std::string& S)
{
    if (Index != 0)
        return false;
    S = FieldName + "=" + (WinControl != nullptr ? WinControl->GetText() : InitialValue);
    return true;
}

void TEditFormControlObj::SetHeightWidth(TCanvas* Canvas)
{
    EnsureControl();
    WinControl->SetWidth(ControlSide(TextWidthOfA(Canvas, WinControl), SizeChars, 5));
}

TButtonFormControlObj::TButtonFormControlObj(TSectionList* ADocument, const TAttributeList* Attributes, int Position,
                                             const std::string& Typ)
    : TFormControlObj(ADocument, Attributes, Position)
{
    std::string caption = "Button";
    if (Typ == "submit") {
        ButtonKind = bkSubmit;
        caption = "Submit";
    } else if (Typ == "reset") {
        ButtonKind = bkReset;
        caption = "Reset";
    }
    if (InitialValue.empty())
        InitialValue = caption;
}

TWinControl* TButtonFormControlObj::MakeControl(TComponent* Owner) { return new TButton(Owner); }

void TButtonFormControlObj::InitControl()
{
    WinControl->SetCaption(InitialValue);
    WinControl->OnClick = [this](TObject* Sender) { ButtonClick(Sender); };
}

void TButtonFormControlObj::SetHeightWidth(TCanvas* Canvas)
{
    EnsureControl();
    WinControl->SetHeight(TextHeightOfA(Canvas, WinControl) + 8);
    WinControl->SetWidth(std::min(Canvas->TextWidth(InitialValue) + 20, MaxControlSide));
}

void TButtonFormControlObj::ButtonClick(TObject* Sender)
{
    FormControlClick(Sender);
    if (ButtonKind == bkReset)
        OwnerForm->ResetControls();
    else if (ButtonKind == bkSubmit)
        OwnerForm->SubmitTheForm(FieldName.empty() ? std::string() : FieldName + "=" + InitialValue);
}

TCheckBoxFormControlObj::TCheckBoxFormControlObj(TSectionList* ADocument, const TAttributeList* Attributes,
                                                 int Position)
    : TFormControlObj(ADocument, Attributes, Position),
      InitiallyChecked(ControlHasAttribute(Attributes, Symb::CheckedSy))
{
    if (InitialValue.empty())
        InitialValue = "on";
    OnBaseline = true;
}

TWinControl* TCheckBoxFormControlObj::MakeControl(TComponent* Owner)
{
    auto* box = new TCheckBox(Owner);
    box->SetBounds(0, OffScreenTop, 13, 13);
    return box;
}

void TCheckBoxFormControlObj::InitControl()
{
    static_cast<TCheckBox*>(WinControl)->SetChecked(InitiallyChecked);
    WinControl->OnClick = [this](TObject* Sender) { FormControlClick(Sender); };
}

void TCheckBoxFormControlObj::ResetToValue()
{
    if (WinControl != nullptr)
        static_cast<TCheckBox*>(WinControl)->SetChecked(InitiallyChecked);
}

bool TCheckBoxFormControlObj::GetSubmission(int Index, std::string& S)
{
    const bool checked = WinControl != nullptr ? static_cast<TCheckBox*>(WinControl)->Checked() : InitiallyChecked;
    if (Index != 0 || !checked)
        return false;
    S = FieldName + "=" + InitialValue;
    return true;
}

TRadioButtonFormControlObj::TRadioButtonFormControlObj(TSectionList* ADocument, const TAttributeList* Attributes,
                                                       int Position, TCell* Cell)
    : TFormControlObj(ADocument, Attributes, Position),
      InitiallyChecked(ControlHasAttribute(Attributes, Symb::CheckedSy)), OwnerCell(Cell)
{
    OnBaseline = true;
}

TWinControl* TRadioButtonFormControlObj::MakeControl(TComponent* Owner)
{
    // Alone on its own panel, so that the platform never groups it with others.
    auto* panel = new TPanel(Owner);
    panel->SetBounds(0, OffScreenTop, 13, 14);
    panel->SetBevelInner(bvNone);
    panel->SetBevelOuter(bvNone);
    panel->SetParentColor(false);
    panel->SetCaption("");
    auto* radio = new TRadioButton(panel);
    radio->SetBounds(0, 0, 13, 14);
    radio->SetParent(panel);
    RadioButton = radio;
    return panel;
}

void TRadioButtonFormControlObj::InitControl()
{
    SetChecked(InitiallyChecked);
    RadioButton->OnClick = [this](TObject* Sender) { RadioClick(Sender); };
}

bool TRadioButtonFormControlObj::Checked() const
{
    return RadioButton != nullptr ? static_cast<TRadioButton*>(RadioButton)->Checked() : InitiallyChecked;
}

void TRadioButtonFormControlObj::SetChecked(bool Value)
{
    if (RadioButton != nullptr)
        static_cast<TRadioButton*>(RadioButton)->SetChecked(Value);
}

void TRadioButtonFormControlObj::ResetToValue() { SetChecked(InitiallyChecked); }

bool TRadioButtonFormControlObj::GetSubmission(int Index, std::string& S)
{
    if (Index != 0 || !Checked())
        return false;
    S = FieldName + "=" + InitialValue;
    return true;
}

void TRadioButtonFormControlObj::RadioClick(TObject* Sender)
{
    OwnerForm->DoRadios(this);
    FormControlClick(Sender);
}

TListBoxFormControlObj::TListBoxFormControlObj(TSectionList* ADocument, const TAttributeList* Attributes, int Position)
    : TFormControlObj(ADocument, Attributes, Position), OptionList(std::make_unique<TStringList>()),
      MultiSelect(ControlHasAttribute(Attributes, Symb::MultipleSy))
{
    if (const TAttribute* size = FirstAttributeOf(Attributes, Symb::SizeSy))
        VisibleRows = size->Number;
}

TListBoxFormControlObj::~TListBoxFormControlObj()
{
    for (int i = 0; i < OptionList->Count(); ++i)
        delete OptionList->Objects(i);
}

void TListBoxFormControlObj::AddStr(const std::string& Text, const std::string& Value, bool Selected)
{
    OptionList->AddObject(Text, new TOptionObj(Value, Selected));
    WidestOption = std::max(WidestOption, static_cast<int>(Text.size()));
}

TWinControl* TListBoxFormControlObj::MakeControl(TComponent* Owner) { return new TListBox(Owner); }

void TListBoxFormControlObj::InitControl()
{
    auto* list = static_cast<TListBox*>(WinControl);
    UseFixedFont(list);
    list->SetMultiSelect(MultiSelect);
    list->SetExtendedSelect(MultiSelect);
    list->OnClick = [this](TObject* Sender) { FormControlClick(Sender); };
    Refill();
}

void TListBoxFormControlObj::Refill()
{
    auto* list = static_cast<TListBox*>(WinControl);
    TStrings* items = list->Items();
    items->BeginUpdate();
    items->Clear();
    for (int i = 0; i < OptionList->Count(); ++i)
        items->Add(OptionList->Strings(i));
    items->EndUpdate();
    if (MultiSelect) {
        for (int i = 0; i < OptionList->Count(); ++i)
            list->SetSelected(i, Option(i)->OptionSelected);
    } else {
        int chosen = -1;
        for (int i = 0; i < OptionList->Count(); ++i)
            if (Option(i)->OptionSelected)
                chosen = i;
        list->SetItemIndex(chosen);
    }
    if (list->ItemIndex() < 0)
        list->SetItemIndex(0);
    list->SetTopIndex(0);
}

void TListBoxFormControlObj::ResetToValue()
{
    if (WinControl != nullptr)
        Refill();
}

bool TListBoxFormControlObj::IsChosen(int Index) const
{
    auto* list = static_cast<TListBox*>(WinControl);
    return MultiSelect ? list->Selected(Index) : list->ItemIndex() == Index;
}

bool TListBoxFormControlObj::GetSubmission(int Index, std::string& S)
{
    if (Index >= OptionList->Count() || WinControl == nullptr)
        return false;
    S.clear();
    if (IsChosen(Index)) {
        const std::string& value = Option(Index)->OptionValue;
        S = FieldName + "=" + (value.empty() ? OptionList->Strings(Index) : value);
    }
    return true;
}

void TListBoxFormControlObj::SetHeightWidth(TCanvas* Canvas)
{
    EnsureControl();
    if (VisibleRows == -1)
        VisibleRows = std::max(1, std::min(8, OptionList->Count()));
    const int height = ControlSide(TextHeightOfA(Canvas, WinControl), VisibleRows, 0);
    SetClientSize(WinControl, ControlSide(Canvas->TextWidth("A"), WidestOption, 15), height);
}

TWinControl* TComboFormControlObj::MakeControl(TComponent* Owner)
{
    auto* combo = new TComboBox(Owner);
    combo->SetStyle(csDropDownList);
    return combo;
}

void TComboFormControlObj::InitControl()
{
    auto* combo = static_cast<TComboBox*>(WinControl);
    UseFixedFont(combo);
    combo->OnDropDown = [this](TObject* Sender) { FormControlClick(Sender); };
    combo->OnClick = [this](TObject* Sender) { FormControlClick(Sender); };
    Refill();
}

void TComboFormControlObj::Refill()
{
    auto* combo = static_cast<TComboBox*>(WinControl);
    TStrings* items = combo->Items();
    items->BeginUpdate();
    items->Clear();
    int chosen = -1;
    for (int i = 0; i < OptionList->Count(); ++i) {
        items->Add(OptionList->Strings(i));
        if (Option(i)->OptionSelected)
            chosen = i;
    }
    items->EndUpdate();
    combo->SetItemIndex(chosen);
    if (combo->ItemIndex() < 0)
        combo->SetItemIndex(0);
}

bool TComboFormControlObj::IsChosen(int Index) const
{
    return static_cast<TComboBox*>(WinControl)->ItemIndex() == Index;
}

void TComboFormControlObj::SetHeightWidth(TCanvas* /*Canvas*/)
{
    EnsureControl();
    // Measured as the screen's system font, as the drop-down's own width is.
    HDC screen = GetDC(nullptr);
    SIZE size{};
    GetTextExtentPoint32A(screen, "A", 1, &size);
    ReleaseDC(nullptr, screen);
    WinControl->SetClientWidth(ControlSide(size.cx, WidestOption, 30));
}

TTextAreaFormControlObj::TTextAreaFormControlObj(TSectionList* ADocument, const TAttributeList* Attributes,
                                                 int Position)
    : TFormControlObj(ADocument, Attributes, Position), InitialLines(std::make_unique<TStringList>())
{
    for (int i = 0; Attributes != nullptr && i < Attributes->Count(); ++i) {
        const TAttribute* attribute = Attributes->Attribute(i);
        if (attribute->Symbol == Symb::ColsSy)
            ColCount = attribute->Number;
        else if (attribute->Symbol == Symb::RowsSy)
            RowCount = attribute->Number;
        else if (attribute->Symbol == Symb::WrapSy) {
            const std::string wrap = LowerCase(attribute->Text);
            WordWrap = wrap == "soft" || wrap == "hard";
        }
    }
}

void TTextAreaFormControlObj::AddStr(const std::string& Line) { InitialLines->Add(Line); }

TWinControl* TTextAreaFormControlObj::MakeControl(TComponent* Owner) { return new TMemo(Owner); }

void TTextAreaFormControlObj::InitControl()
{
    auto* memo = static_cast<TMemo*>(WinControl);
    UseFixedFont(memo);
    memo->SetScrollBars(WordWrap ? ssVertical : ssBoth);
    memo->SetWordWrap(WordWrap);
    memo->OnKeyDown = [this](TObject* Sender, WORD& Key, TShiftState Shift) {
        OwnerForm->ControlKeyDown(Sender, Key, Shift);
    };
    memo->OnClick = [this](TObject* Sender) { FormControlClick(Sender); };
    ResetToValue();
}

void TTextAreaFormControlObj::ResetToValue()
{
    auto* memo = static_cast<TMemo*>(WinControl);
    if (memo == nullptr)
        return;
    memo->SetLines(InitialLines.get());
    memo->SetSelStart(0);
    memo->SetSelLength(0);
}

bool TTextAreaFormControlObj::GetSubmission(int Index, std::string& S)
{
    if (Index != 0)
        return false;
    TStrings* lines = WinControl != nullptr ? static_cast<TMemo*>(WinControl)->Lines() : InitialLines.get();
    const std::string separator = WordWrap ? "" : "\r\n";
    std::string text;
    for (int i = 0; i < lines->Count(); ++i) {
        if (i > 0)
            text += separator;
        text += lines->Strings(i);
    }
    S = FieldName + "=" + text;
    return true;
}

void TTextAreaFormControlObj::SetHeightWidth(TCanvas* Canvas)
{
    EnsureControl();
    const int height = ControlSide(TextHeightOfA(Canvas, WinControl), RowCount, 5);
    SetClientSize(WinControl, ControlSide(Canvas->TextWidth("A"), ColCount, 5), height);
}

int TFormControlList::FirstAtOrAfter(int Position) const
{
    int low = 0, high = Count();
    while (low < high) {
        const int middle = low + (high - low) / 2;
        if (Control(middle)->SrcPos < Position)
            low = middle + 1;
        else
            high = middle;
    }
    return low;
}

TFormControlObj* TFormControlList::FindControl(int Position) const
{
    const int index = FirstAtOrAfter(Position);
    return index < Count() && Control(index)->SrcPos == Position ? Control(index) : nullptr;
}

int TFormControlList::GetHeightAt(int Position, bool& OnBaseline) const
{
    const TFormControlObj* control = FindControl(Position);
    if (control == nullptr || control->WinControl == nullptr)
        return -1;
    OnBaseline = control->OnBaseline;
    return control->WinControl->Height();
}

int TFormControlList::GetWidthAt(int Position) const
{
    const TFormControlObj* control = FindControl(Position);
    if (control == nullptr || control->WinControl == nullptr)
        return -1;
    return control->WinControl->Width();
}

int TFormControlList::GetControlCountAt(int Position) const
{
    const int index = FirstAtOrAfter(Position);
    return index < Count() ? Control(index)->SrcPos - Position : NoObjectAhead;
}
