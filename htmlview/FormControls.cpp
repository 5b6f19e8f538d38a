#include "htmlview/FormControls.h"

#include "htmlview/ImageObj.h"
#include "htmlview/PanePars.h"
#include "htmlview/SectionList.h"
#include "platform/gui/WinControl.h"

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

TFormControlObj::~TFormControlObj() { FreeAndNil(WinControl); }

TEditFormControlObj::TEditFormControlObj(TSectionList* ADocument, const TAttributeList* Attributes, int Position,
                                         const std::string& Typ)
    : TFormControlObj(ADocument, Attributes, Position), Password(Typ == "password")
{
    if (const TAttribute* size = FirstAttributeOf(Attributes, Symb::SizeSy))
        SizeChars = EditSizeChars(*size);
    if (const TAttribute* maxLength = FirstAttributeOf(Attributes, Symb::MaxLengthSy))
        MaxLength = maxLength->Number;
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

TCheckBoxFormControlObj::TCheckBoxFormControlObj(TSectionList* ADocument, const TAttributeList* Attributes,
                                                 int Position)
    : TFormControlObj(ADocument, Attributes, Position),
      InitiallyChecked(ControlHasAttribute(Attributes, Symb::CheckedSy))
{
    if (InitialValue.empty())
        InitialValue = "on";
    OnBaseline = true;
}

TRadioButtonFormControlObj::TRadioButtonFormControlObj(TSectionList* ADocument, const TAttributeList* Attributes,
                                                       int Position, TCell* Cell)
    : TFormControlObj(ADocument, Attributes, Position),
      InitiallyChecked(ControlHasAttribute(Attributes, Symb::CheckedSy)), OwnerCell(Cell)
{
    OnBaseline = true;
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

TFormControlObj* TFormControlList::FindControl(int Position) const
{
    for (int i = 0; i < Count(); ++i)
        if (Control(i)->SrcPos == Position)
            return Control(i);
    return nullptr;
}

int TFormControlList::GetControlCountAt(int Position) const
{
    for (int i = 0; i < Count(); ++i)
        if (Control(i)->SrcPos >= Position)
            return Control(i)->SrcPos - Position;
    return NoObjectAhead;
}
