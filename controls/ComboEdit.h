#pragma once
// One-line editors with a button at their right edge that may drop down a popup window below
// themselves: the base of the date, number, calculator and file-name editors. The base owns the
// button and its layout, the keys and presses that open, accept and cancel the popup (the edit
// keeps the focus throughout) and the text margins; a subclass supplies the popup and what
// accepting its value means.

#include "controls/ExSpeedButton.h"
#include "platform/gui/MaskEdit.h"
#include "platform/rtl/Variants.h"

#include <functional>
#include <memory>

enum TGlyphKind { gkCustom, gkDefault, gkDropDown, gkEllipsis };
enum TPopupAlign { epaRight, epaLeft };
using TCloseUpEvent = std::function<void(TObject* Sender, bool Accept)>;

TESS_EXCEPTION(EComboEditError, Exception)

class TCustomComboEdit;

// The window an editor drops down: a top-level window that never takes the focus.
class TPopupWindow : public TCustomControl {
    TESS_CLASS(TPopupWindow, TCustomControl)
public:
    // Made hidden, with the editor as owner and parent.
    explicit TPopupWindow(TWinControl* AOwner);

    virtual Variant GetValue() = 0;
    virtual void SetValue(const Variant& Value) = 0;
    // What the editor shows while the popup is open (nothing here).
    virtual std::string GetPopupText() { return ""; }
    // Redraws the editor's text area at once, for popups that show their text there.
    void InvalidateEditor();
    void Show(TPoint Origin);
    void Hide();
    TWinControl* Editor() const { return FEditor; }
    // The editor's PopupCloseUp.
    TCloseUpEvent OnCloseUp;

protected:
    void CreateParams(TCreateParams& Params) override;
    virtual void CloseUp(bool Accept);
    // A left release closes the popup, accepting when it lies inside.
    void PopupMouseUp(TObject* Sender, TMouseButton Button, TShiftState Shift, int X, int Y);

private:
    TWinControl* FEditor;
};

// The editor's button: a press while the popup is open closes it, and its release does not open
// it again.
class TEditButton : public TExSpeedButton {
    TESS_CLASS(TEditButton, TExSpeedButton)
public:
    explicit TEditButton(TComponent* AOwner);
    void Click() override;

protected:
    void Paint() override;
    void MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) override;

private:
    bool FNoAction = false;
};

class TCustomComboEdit : public TCustomMaskEdit {
    TESS_CLASS(TCustomComboEdit, TCustomMaskEdit)
public:
    explicit TCustomComboEdit(TComponent* AOwner);
    ~TCustomComboEdit() override;

    TAlignment Alignment() const { return FAlignment; }
    // Re-creates the window, whose style carries the alignment.
    void SetAlignment(TAlignment Value);
    const std::string& ButtonHint() const { return FButton->Hint(); }
    void SetButtonHint(const std::string& Value) { FButton->SetHint(Value); }
    int ButtonWidth() const { return FButton->Width(); }
    void SetButtonWidth(int Value);
    // Alt+Down unless changed; does nothing while ButtonWidth is 0.
    TShortCut ClickKey = scAlt | VK_DOWN;
    // False keeps the user from typing while the button still works.
    bool DirectInput() const { return FDirectInput; }
    void SetDirectInput(bool Value);
    TGlyphKind GlyphKind() const { return FGlyphKind; }
    void SetGlyphKind(TGlyphKind Value);
    TBitmap* Glyph() const { return FButton->Glyph(); }
    // Makes the glyph kind gkCustom.
    void SetGlyph(TBitmap* Value);
    TExNumGlyphs NumGlyphs() const { return FButton->NumGlyphs(); }
    void SetNumGlyphs(TExNumGlyphs Value);
    TPopupAlign PopupAlign = epaRight;
    // The editor's own read-only flag; the edit refuses typing while it or !DirectInput holds.
    bool ReadOnly() const { return FReadOnly; }
    void SetReadOnly(bool Value);
    TNotifyEvent OnButtonClick;

    bool PopupVisible() const { return FPopupVisible; }
    TPopupWindow* Popup() const { return FPopup; }
    TEditButton* Button() const { return FButton; }
    TWinControl* ButtonHolder() const { return FBtnControl; }
    // Whether ButtonWidth differs from the width its glyph kind implies.
    bool BtnWidthStored();
    bool IsCustomGlyph() const { return FGlyphKind == gkCustom; }

    void SelectAll() override;
    void DoClick() { EditButtonClick(this); }
    // The text's height: the smaller of the system font's and the editor font's.
    int GetTextHeight();
    int GetMinHeight();
    bool EditCanModify() override;
    void PopupCloseUp(TObject* Sender, bool Accept);
    void Dispatch(TMessage& Message) override;

protected:
    // The subclass's button picture for gkDefault; DestroyNeeded says whether the caller frees it.
    virtual TBitmap* GetDefaultBitmap(bool& DestroyNeeded);
    virtual void PopupDropDown(bool DisableEdit);
    virtual void ShowPopup(TPoint Origin);
    virtual void HidePopup();
    virtual bool AcceptPopup(Variant& Value);
    virtual void AcceptValue(const Variant& Value);
    virtual void SetPopupValue(const Variant& Value);
    virtual Variant GetPopupValue();
    virtual void PopupChange() {}
    virtual bool GetReadOnly() { return FReadOnly; }
    virtual void ButtonClick();

    void CreateParams(TCreateParams& Params) override;
    void CreateWnd() override;
    void Change() override;
    void KeyDown(WORD& Key, TShiftState Shift) override;
    void KeyPress(char& Key) override;
    void MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) override;

    void EditButtonClick(TObject* Sender);
    // OnChange.
    void DoChange();
    void SetEditRect();
    void UpdateBtnBounds();
    void UpdatePopupVisible();
    void SetShowCaret();
    void RecreateGlyph();
    // The subclass owns the popup; setting it binds the popup's OnCloseUp to PopupCloseUp.
    void SetPopup(TPopupWindow* Value);

    int FDefNumGlyphs = 1;

private:
    friend class TEditButton;
    void CancelMode(TMessage& Message);
    void Resized();

    TEditButton* FButton = nullptr;
    TWinControl* FBtnControl = nullptr;
    bool FReadOnly = false;
    bool FDirectInput = true;
    TAlignment FAlignment = taLeftJustify;
    bool FPopupVisible = false;
    bool FFocused = false;
    bool FLosingFocus = false;
    TGlyphKind FGlyphKind = gkCustom;
    TPopupWindow* FPopup = nullptr;
};

// The editor that only publishes the base's properties; its button runs OnButtonClick.
class TComboEdit : public TCustomComboEdit {
    TESS_CLASS(TComboEdit, TCustomComboEdit)
public:
    explicit TComboEdit(TComponent* AOwner) : TCustomComboEdit(AOwner) {}
};

// Where a combo edit's text starts: the edit's left margin plus its border, and its top.
TPoint EditorTextMargins(TCustomComboEdit* Editor);
// Paints a non-focused editor's text with its own alignment over the whole client area, in the
// editor's WM_PAINT. False, with nothing painted, for StandardPaint when the editor is not
// painting a copy of itself: the edit's own painting stands. Canvas is made on first use.
bool PaintComboEdit(TCustomComboEdit* Editor, const std::string& Text, TAlignment Alignment, bool StandardPaint,
                    std::unique_ptr<TControlCanvas>& Canvas, TMessage& Message);
