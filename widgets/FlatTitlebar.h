#pragma once
// TFlatTitlebar: the caption strip of a form drawn without the system's caption. Its text colour
// follows the form's activation, learnt by hooking the form's window procedure, and a drag with
// the left button moves the form that owns it.

#include "platform/gui/WinControl.h"

#include <memory>

class TFlatTitlebar : public TCustomControl {
    TESS_CLASS(TFlatTitlebar, TCustomControl)
public:
    explicit TFlatTitlebar(TComponent* AOwner);
    ~TFlatTitlebar() override;

    // Only a form (or nothing) can be the parent: anything else raises EInvalidOperation and the
    // parent stays as it was.
    void SetParent(TWinControl* AParent) override;
    // Hooks the window procedure of the form it stands on.
    void Loaded() override;
    void Dispatch(TMessage& Message) override;

    TColor ActiveTextColor() const { return FActiveTextColor; }
    void SetActiveTextColor(TColor Value);
    TColor InactiveTextColor() const { return FInactiveTextColor; }
    void SetInactiveTextColor(TColor Value);
    TColor TitlebarColor() const { return FTitlebarColor; }
    void SetTitlebarColor(TColor Value);
    // Whether the caption shows the active look.
    bool Active() const { return FActive; }

    TNotifyEvent OnActivate;
    TNotifyEvent OnDeactivate;

    // What the hook of the form's window procedure shares with the title bar; the title bar
    // clears Titlebar when it goes, and from then on the hook only passes messages on.
    struct THookState;

protected:
    void Paint() override;
    void MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) override;
    void MouseMove(TShiftState Shift, int X, int Y) override;
    void MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y) override;

private:
    void ActivationStep(WPARAM WParam);
    void Unhook();

    TWinControl* FForm = nullptr;
    std::shared_ptr<THookState> FHook;
    // The procedure installed in the form, to tell whether it is still the current one.
    WNDPROC FInstalled;
    bool FActive = false;
    bool FDragging = false;
    int FDragStartX = 0;
    int FDragStartY = 0;
    TColor FActiveTextColor = 0xFFFFFF;
    TColor FInactiveTextColor = 0x829AA2;
    TColor FTitlebarColor = 0x000000;
};
