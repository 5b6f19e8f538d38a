#pragma once
// A component that sees every message of another control's window before and after the
// window's own procedure, and may handle it there. Several hooks may watch one control: the
// control's procedure is replaced once, by an object shared per control, and chained to the one
// that was there before. The hooks survive the control's window being destroyed and made again.

#include "platform/gui/WinControl.h"

#include <functional>

// Private messages of the hooks' utility window; lParam is the per-control object.
constexpr UINT CM_REHOOKCONTROL = CM_BASE + 82;   // installs the procedure again on a new window
constexpr UINT CM_FREECONTROLHOOK = CM_BASE + 83; // frees an object that no hook uses any more

using THookMessageEvent = std::function<void(TObject* Sender, TMessage& Msg, bool& Handled)>;

namespace ExHook {
class TControlHook;
}

class TExWindowHook : public TComponent {
    TESS_CLASS(TExWindowHook, TComponent)
public:
    explicit TExWindowHook(TComponent* AOwner);
    ~TExWindowHook() override;

    bool Active() const { return FActive; }
    void SetActive(bool Value);
    // The watched control.
    TWinControl* WinControl() const { return GetWinControl(); }
    void SetWinControl(TWinControl* Value);
    TWinControl* GetWinControl() const;

    void HookControl();
    void UnhookControl();

    // The watched control is the hook's owner and that owner is a form.
    bool IsForm() const;
    bool NotIsForm() const { return !IsForm(); }

    // The utility window of the hooks, or (HWND)-1 before any hook has attached.
    static HWND GetHookHandle();

    // Fired before and after the window's own procedure.
    THookMessageEvent BeforeMessage;
    THookMessageEvent AfterMessage;

protected:
    virtual void DoAfterMessage(TMessage& Msg, bool& Handled);
    virtual void DoBeforeMessage(TMessage& Msg, bool& Handled);
    void Notification(TComponent* AComponent, TOperation Operation) override;
    // Detaches and returns the per-control object this hook was attached to (nullptr when none).
    ExHook::TControlHook* DoUnhookControl();

private:
    friend class ExHook::TControlHook;

    bool FActive = true;
    TWinControl* FControl = nullptr;
    ExHook::TControlHook* FControlHook = nullptr;
};
