#pragma once
// Forms of a viewer document and their fields as the parser creates them. A
// field keeps every value its tag gives; its platform control is made later on
// the GUI thread, since the document is built on the parser thread, where
// controls cannot be set up.

#include "htmlview/PaneUn2.h"
#include "platform/rtl/Lists.h"

#include <memory>
#include <string>

class TCell;
class TSectionList;
class TWinControl;
class TFormControlObj;

// Form methods longer than this are cut.
constexpr std::size_t MaxFormMethodLength = 4;

class ThtmlForm : public TObject {
    TESS_CLASS(ThtmlForm, TObject)
public:
    // Joins the document's forms, which own it. Attributes may be nullptr.
    ThtmlForm(TSectionList* ADocument, const TAttributeList* Attributes);
    ~ThtmlForm() override;
    ThtmlForm(const ThtmlForm&) = delete;
    ThtmlForm& operator=(const ThtmlForm&) = delete;

    void InsertControl(TFormControlObj* Control);

    TSectionList* Document;
    std::string FormMethod = "Get";
    std::string FormAction;
    std::string FormTarget;
    std::string FormEncType;
    // The form's fields in document order; owned.
    std::unique_ptr<TFreeList> Members;
};

class TFormControlObj : public TObject {
    TESS_CLASS(TFormControlObj, TObject)
public:
    // Joins the parser's current form (a new one without attributes when there is
    // none) and the document's controls. Position is the index of the placeholder
    // in the section text.
    TFormControlObj(TSectionList* ADocument, const TAttributeList* Attributes, int Position);
    ~TFormControlObj() override;
    TFormControlObj(const TFormControlObj&) = delete;
    TFormControlObj& operator=(const TFormControlObj&) = delete;

    int DocY = 0;
    int SrcPos;
    TSectionList* Document;
    ThtmlForm* OwnerForm;
    std::string InitialValue;
    std::string FieldName;
    bool OnBaseline = false;
    // Made on the GUI thread before the first layout; nullptr until then, and
    // always for hidden fields and image buttons.
    TWinControl* WinControl = nullptr;
    bool ShownInPaint = false;
    std::string OnClickText;
};

class THiddenFormControlObj : public TFormControlObj {
    TESS_CLASS(THiddenFormControlObj, TFormControlObj)
public:
    using TFormControlObj::TFormControlObj;
};

// A picture that submits its form with the point clicked; the picture is a
// TImageObj whose InputControl points here.
class TImageFormControlObj : public TFormControlObj {
    TESS_CLASS(TImageFormControlObj, TFormControlObj)
public:
    using TFormControlObj::TFormControlObj;

    // -1: no click waiting to be submitted.
    int ClickX = -1;
    int ClickY = 0;
    int HoverX = 0;
    int HoverY = 0;
};

class TEditFormControlObj : public TFormControlObj {
    TESS_CLASS(TEditFormControlObj, TFormControlObj)
public:
    // Typ is the lower-case TYPE; "password" hides what is typed.
    TEditFormControlObj(TSectionList* ADocument, const TAttributeList* Attributes, int Position,
                        const std::string& Typ);

    // The width in characters.
    int SizeChars = 20;
    // 0: no limit.
    int MaxLength = 0;
    bool Password = false;
};

enum TButtonKind : std::uint8_t { bkSubmit, bkReset, bkButton };

class TButtonFormControlObj : public TFormControlObj {
    TESS_CLASS(TButtonFormControlObj, TFormControlObj)
public:
    // Typ is the lower-case TYPE: "submit", "reset" or anything else for a plain
    // button. The caption is InitialValue, the kind's default when VALUE is
    // missing or empty.
    TButtonFormControlObj(TSectionList* ADocument, const TAttributeList* Attributes, int Position,
                          const std::string& Typ);

    TButtonKind ButtonKind = bkButton;
};

class TCheckBoxFormControlObj : public TFormControlObj {
    TESS_CLASS(TCheckBoxFormControlObj, TFormControlObj)
public:
    TCheckBoxFormControlObj(TSectionList* ADocument, const TAttributeList* Attributes, int Position);

    bool InitiallyChecked = false;
};

class TRadioButtonFormControlObj : public TFormControlObj {
    TESS_CLASS(TRadioButtonFormControlObj, TFormControlObj)
public:
    TRadioButtonFormControlObj(TSectionList* ADocument, const TAttributeList* Attributes, int Position, TCell* Cell);

    bool InitiallyChecked = false;
    // The radio button on its panel (WinControl); made with it.
    TWinControl* RadioButton = nullptr;
    // Painting colours the panel with this cell's background.
    TCell* OwnerCell;
};

class TOptionObj : public TObject {
    TESS_CLASS(TOptionObj, TObject)
public:
    TOptionObj(const std::string& Value, bool Selected) : OptionValue(Value), OptionSelected(Selected) {}
    // Empty when the OPTION had no VALUE.
    std::string OptionValue;
    bool OptionSelected;
};

class TListBoxFormControlObj : public TFormControlObj {
    TESS_CLASS(TListBoxFormControlObj, TFormControlObj)
public:
    TListBoxFormControlObj(TSectionList* ADocument, const TAttributeList* Attributes, int Position);
    ~TListBoxFormControlObj() override;

    // Adds an option; the widest option sets the control's width.
    void AddStr(const std::string& Text, const std::string& Value, bool Selected);
    TOptionObj* Option(int Index) const { return static_cast<TOptionObj*>(OptionList->Objects(Index)); }

    // SIZE; -1 until sized when not given.
    int VisibleRows = -1;
    // In characters, at least 3.
    int WidestOption = 3;
    // Option texts, each with its TOptionObj (owned).
    std::unique_ptr<TStringList> OptionList;
    bool MultiSelect = false;
};

class TComboFormControlObj : public TListBoxFormControlObj {
    TESS_CLASS(TComboFormControlObj, TListBoxFormControlObj)
public:
    using TListBoxFormControlObj::TListBoxFormControlObj;
};

class TTextAreaFormControlObj : public TFormControlObj {
    TESS_CLASS(TTextAreaFormControlObj, TFormControlObj)
public:
    TTextAreaFormControlObj(TSectionList* ADocument, const TAttributeList* Attributes, int Position);

    // Appends a line of the TEXTAREA's content.
    void AddStr(const std::string& Line);

    int RowCount = 5;
    int ColCount = 30;
    bool WordWrap = false;
    std::unique_ptr<TStringList> InitialLines;
};

// The form controls of one text section, in text order; does not own them.
class TFormControlList : public TList {
    TESS_CLASS(TFormControlList, TList)
public:
    int Add(TFormControlObj* Item) { return TList::Add(static_cast<TObject*>(Item)); }
    TFormControlObj* Control(int Index) const
    {
        return static_cast<TFormControlObj*>(static_cast<TObject*>(Items(Index)));
    }
    // The first control at Position, nullptr when none.
    TFormControlObj* FindControl(int Position) const;
    // Characters from Position to the next control at or after it; 9999 when
    // none.
    int GetControlCountAt(int Position) const;
};
