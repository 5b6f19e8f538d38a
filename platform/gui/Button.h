#pragma once
// Push buttons and the base of the "BUTTON" window class: BM_* messages, BN_CLICKED reflected as
// CN_COMMAND, Default (Enter) and Cancel (Escape), the modal result given to the form.

#include "platform/gui/WinControl.h"

constexpr UINT BM_GETCHECK = 0xF0, BM_SETCHECK = 0xF1, BM_GETSTATE = 0xF2, BM_SETSTATE = 0xF3, BM_SETSTYLE = 0xF4,
               BM_CLICK = 0xF5;
constexpr WPARAM BST_UNCHECKED = 0, BST_CHECKED = 1, BST_INDETERMINATE = 2, BST_PUSHED = 4, BST_FOCUS = 8;
constexpr DWORD BS_PUSHBUTTON = 0, BS_DEFPUSHBUTTON = 1, BS_CHECKBOX = 2, BS_AUTOCHECKBOX = 3, BS_RADIOBUTTON = 4,
                BS_3STATE = 5, BS_AUTO3STATE = 6, BS_GROUPBOX = 7, BS_AUTORADIOBUTTON = 9, BS_OWNERDRAW = 0xB,
                BS_LEFTTEXT = 0x20;
constexpr WORD BN_CLICKED = 0;

// A windowed control of the "BUTTON" class, painted by the layer.
class TButtonControl : public TWinControl {
    TESS_CLASS(TButtonControl, TWinControl)
public:
    explicit TButtonControl(TComponent* AOwner);
    void Dispatch(TMessage& Message) override;

protected:
    void CreateParams(TCreateParams& Params) override;
    virtual bool GetChecked() const { return false; }
    virtual void SetChecked(bool) {}
    // The user's action on the button (mouse release inside it, Space, BM_CLICK): sends BN_CLICKED.
    void UserClick();
    // What BN_CLICKED does once reflected back.
    virtual void ButtonClicked() { Click(); }
    void MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) override;
    void MouseMove(TShiftState Shift, int X, int Y) override;
    void MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y) override;
    void KeyDown(WORD& Key, TShiftState Shift) override;
    void KeyUp(WORD& Key, TShiftState Shift) override;
    bool Pressed() const { return FPressed && FMouseInside; }
    // While set, changing Checked by code does not fire OnClick (the class library's ClicksDisabled).
    bool ClicksDisabled = false;

private:
    bool FPressed = false;
    bool FMouseInside = false;
    bool FSpacePressed = false;
};

class TButton : public TButtonControl {
    TESS_CLASS(TButton, TButtonControl)
public:
    explicit TButton(TComponent* AOwner);

    bool Default() const { return FDefault; }
    void SetDefault(bool value);
    bool Cancel() const { return FCancel; }
    void SetCancel(bool value) { FCancel = value; }
    TModalResult ModalResult() const { return FModalResult; }
    void SetModalResult(TModalResult value) { FModalResult = value; }
    void Click() override;
    void Dispatch(TMessage& Message) override;

protected:
    void CreateParams(TCreateParams& Params) override;
    void Paint() override;
    // Enter clicks this button now: it is focused, or it is the default and no other button is.
    bool IsActiveDefault() const;

private:
    bool FDefault = false;
    bool FCancel = false;
    TModalResult FModalResult = 0;
};
