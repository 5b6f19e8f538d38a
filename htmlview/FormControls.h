#pragma once
// Forms of a viewer document and their fields. A field keeps every value its
// tag gives; its platform control is made at the first sizing before layout, on
// the GUI thread, since the document is built on the parser thread, where
// controls cannot be set up. Forms reset their fields and submit them as
// "NAME=value" texts.

#include "htmlview/PaneUn2.h"
#include "platform/gui/InputTranslation.h"
#include "platform/rtl/Lists.h"

#include <memory>
#include <string>

class TCanvas;
class TCell;
class TSectionList;
class TWinControl;
class TFormControlObj;
class TRadioButtonFormControlObj;

// Form methods longer than this are cut.
constexpr std::size_t MaxFormMethodLength = 4;
// Where controls wait off-screen: made at this top, parked at this left while one
// of the document's controls has the focus.
constexpr int OffScreenTop = -400;
constexpr int OffScreenLeft = -4000;
// Sizes worked out from huge SIZE, ROWS or COLS stop here.
constexpr int MaxControlSide = 32767;

class ThtmlForm : public TObject {
    TESS_CLASS(ThtmlForm, TObject)
public:
    // Joins the document's forms, which own it. Attributes may be nullptr.
    ThtmlForm(TSectionList* ADocument, const TAttributeList* Attributes);
    ~ThtmlForm() override;
    ThtmlForm(const ThtmlForm&) = delete;
    ThtmlForm& operator=(const ThtmlForm&) = delete;

    void InsertControl(TFormControlObj* Control);
    // Unchecks the form's other radio buttons of Radio's name, compared without case.
    void DoRadios(TRadioButtonFormControlObj* Radio);
    void ResetControls();
    // Enter in a one-line edit box submits the form; the key goes on unchanged.
    void ControlKeyDown(TObject* Sender, WORD& Key, TShiftState Shift);
    // Every field makes its control (the first time) and sizes it for Canvas.
    void SetSizes(TCanvas* Canvas);
    // The fields' "NAME=value" texts in order, then ButtonText when not empty, to
    // the document's submit handler; nothing without one.
    void SubmitTheForm(const std::string& ButtonText);

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

    // The control that takes the focus; nullptr until made.
    virtual TWinControl* GetControl() { return WinControl; }
    virtual void ResetToValue() {}
    // The Index-th "NAME=value" text of the field in S; false past the last one. An
    // empty S adds nothing.
    virtual bool GetSubmission(int Index, std::string& S);
    // Makes the platform control at the first call (on the GUI thread) and sizes it
    // with Canvas.
    virtual void SetHeightWidth(TCanvas* Canvas);

    void EnterEvent(TObject* Sender);
    void ExitEvent(TObject* Sender);
    void FormControlClick(TObject* Sender);

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

protected:
    // The field's platform control, owned by the painting surface; nullptr for
    // fields without one.
    virtual TWinControl* MakeControl(TComponent* Owner);
    // Puts the kept values into the control just made.
    virtual void InitControl() {}
    // The control made and set up at the first call; true when it was just made.
    bool EnsureControl();
    // Control's font is the document's fixed-pitch face at size 10.
    void UseFixedFont(TWinControl* Control) const;
    TObject* EventSender() const;

private:
    bool FControlMade = false;
};

class THiddenFormControlObj : public TFormControlObj {
    TESS_CLASS(THiddenFormControlObj, TFormControlObj)
public:
    using TFormControlObj::TFormControlObj;
    bool GetSubmission(int Index, std::string& S) override;
};

// A picture that submits its form with the point clicked; the picture is a
// TImageObj whose InputControl points here.
class TImageFormControlObj : public TFormControlObj {
    TESS_CLASS(TImageFormControlObj, TFormControlObj)
public:
    using TFormControlObj::TFormControlObj;

    // "name.x=X" and "name.y=Y" once per click.
    bool GetSubmission(int Index, std::string& S) override;
    // The mouse went up over the picture at (HoverX, HoverY): submits the form.
    void ImageClick(TObject* Sender);

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

    void ResetToValue() override;
    bool GetSubmission(int Index, std::string& S) override;
    void SetHeightWidth(TCanvas* Canvas) override;

    // The width in characters.
    int SizeChars = 20;
    // 0: no limit.
    int MaxLength = 0;
    bool Password = false;

protected:
    TWinControl* MakeControl(TComponent* Owner) override;
    void InitControl() override;
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

    void SetHeightWidth(TCanvas* Canvas) override;
    void ButtonClick(TObject* Sender);

    TButtonKind ButtonKind = bkButton;

protected:
    TWinControl* MakeControl(TComponent* Owner) override;
    void InitControl() override;
};

class TCheckBoxFormControlObj : public TFormControlObj {
    TESS_CLASS(TCheckBoxFormControlObj, TFormControlObj)
public:
    TCheckBoxFormControlObj(TSectionList* ADocument, const TAttributeList* Attributes, int Position);

    void ResetToValue() override;
    bool GetSubmission(int Index, std::string& S) override;

    bool InitiallyChecked = false;

protected:
    TWinControl* MakeControl(TComponent* Owner) override;
    void InitControl() override;
};

class TRadioButtonFormControlObj : public TFormControlObj {
    TESS_CLASS(TRadioButtonFormControlObj, TFormControlObj)
public:
    TRadioButtonFormControlObj(TSectionList* ADocument, const TAttributeList* Attributes, int Position, TCell* Cell);

    TWinControl* GetControl() override { return RadioButton; }
    void ResetToValue() override;
    bool GetSubmission(int Index, std::string& S) override;
    void RadioClick(TObject* Sender);
    bool Checked() const;
    void SetChecked(bool Value);

    bool InitiallyChecked = false;
    // The radio button on its panel (WinControl); made with it.
    TWinControl* RadioButton = nullptr;
    // Painting colours the panel with this cell's background.
    TCell* OwnerCell;

protected:
    TWinControl* MakeControl(TComponent* Owner) override;
    void InitControl() override;
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

    void ResetToValue() override;
    bool GetSubmission(int Index, std::string& S) override;
    void SetHeightWidth(TCanvas* Canvas) override;

    // SIZE; -1 until sized when not given.
    int VisibleRows = -1;
    // In characters, at least 3.
    int WidestOption = 3;
    // Option texts, each with its TOptionObj (owned).
    std::unique_ptr<TStringList> OptionList;
    bool MultiSelect = false;

protected:
    TWinControl* MakeControl(TComponent* Owner) override;
    void InitControl() override;
    // Whether the option at Index is chosen in the control.
    virtual bool IsChosen(int Index) const;
    // The control's items again from the options.
    virtual void Refill();
};

class TComboFormControlObj : public TListBoxFormControlObj {
    TESS_CLASS(TComboFormControlObj, TListBoxFormControlObj)
public:
    using TListBoxFormControlObj::TListBoxFormControlObj;

    void SetHeightWidth(TCanvas* Canvas) override;

protected:
    TWinControl* MakeControl(TComponent* Owner) override;
    void InitControl() override;
    bool IsChosen(int Index) const override;
    void Refill() override;
};

class TTextAreaFormControlObj : public TFormControlObj {
    TESS_CLASS(TTextAreaFormControlObj, TFormControlObj)
public:
    TTextAreaFormControlObj(TSectionList* ADocument, const TAttributeList* Attributes, int Position);

    // Appends a line of the TEXTAREA's content.
    void AddStr(const std::string& Line);

    void ResetToValue() override;
    bool GetSubmission(int Index, std::string& S) override;
    void SetHeightWidth(TCanvas* Canvas) override;

    int RowCount = 5;
    int ColCount = 30;
    bool WordWrap = false;
    std::unique_ptr<TStringList> InitialLines;

protected:
    TWinControl* MakeControl(TComponent* Owner) override;
    void InitControl() override;
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
    // The height of the platform control at Position with OnBaseline := the
    // control's; -1 when there is none (also before the first sizing).
    int GetHeightAt(int Position, bool& OnBaseline) const;
    int GetWidthAt(int Position) const;
    // Characters from Position to the next control at or after it; 9999 when
    // none.
    int GetControlCountAt(int Position) const;

private:
    // The controls are in text order: the index of the first at or after Position.
    int FirstAtOrAfter(int Position) const;
};
