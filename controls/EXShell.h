#pragma once
// Starting programs and documents through the shell (and waiting for them), icons of files, the
// shell's about box, and TExTrayIcon: an icon in the desktop's notification area, optionally
// animated from an icon list, with a hint, a pop-up menu and mouse events.

#include "controls/IcoList.h"
#include "platform/gui/Control.h"
#include "platform/gui/Icon.h"
#include "platform/gui/Menus.h"
#include "platform/gui/NotifyIcon.h"
#include "platform/gui/Timer.h"

#include <memory>
#include <string>

namespace EXShell {
enum TExecState { esNormal, esMinimized, esMaximized, esHidden };
} // namespace EXShell
using EXShell::TExecState;

// The shell's result: above 32 on success.
HINSTANCE FileExecute(const std::string& FileName, const std::string& Params, const std::string& StartDir,
                      TExecState InitialState);
// Starts the program or document and waits until it ends while the application's events keep
// running, without spinning. Returns its exit code, -1 when nothing could be started, and 259 when
// the application terminates first (the program goes on running).
int FileExecuteWait(const std::string& FileName, const std::string& Params, const std::string& StartDir,
                    TExecState InitialState);
// Icon Index of the file, else the icon of its type; nullptr when there is none. Raises
// EResNotFound when the file holds no icon and its type has none either.
std::unique_ptr<TIcon> IconExtract(const std::string& FileName, int Id);
// The shell's about box, owned by the main form, with the application icon.
void WinAbout(const std::string& AppName, const std::string& Stuff);

// The message the tray sends to the component's hidden window.
constexpr UINT CM_TRAYICON = CM_BASE + 84;

class TExTrayIcon : public TComponent {
    TESS_CLASS(TExTrayIcon, TComponent)
public:
    explicit TExTrayIcon(TComponent* AOwner);
    ~TExTrayIcon() override;

    void Show() { SetActive(true); }
    void Hide() { SetActive(false); }
    void Activate();
    void Deactivate();
    // One animation step.
    void Timer();
    // Brings the tray entry up to date after a change of the icon, the icons, the hint or the step.
    void ChangeIcon();

    bool Active() const { return FActive; }
    void SetActive(bool Value);
    // Whether mouse messages are handled.
    bool Enabled = true;
    const std::string& Hint() const { return FHint; }
    void SetHint(const std::string& Value);
    TIcon* Icon() const { return FIcon.get(); }
    void SetIcon(TIcon* Value);
    TIconList* Icons() const { return FIcons.get(); }
    void SetIcons(TIconList* Value);
    bool Animated() const { return FAnimated; }
    void SetAnimated(bool Value);
    WORD Interval() const { return FInterval; }
    void SetInterval(WORD Value);
    TPopupMenu* PopupMenu() const { return FPopupMenu; }
    void SetPopupMenu(TPopupMenu* Value);
    bool ShowDesign() const { return FShowDesign; }
    void SetShowDesign(bool Value);
    // The hidden window the tray reports to, and whether the icon is in the tray.
    HWND Handle() const { return FHandle; }
    bool InTray() const { return FAdded; }
    const NOTIFYICONDATAA& IconData() const { return FIconData; }

    TMouseEvent OnClick;
    TNotifyEvent OnDblClick;
    TMouseMoveEvent OnMouseMove;
    TMouseEvent OnMouseDown;
    TMouseEvent OnMouseUp;

    virtual void UpdateNotifyData();

protected:
    virtual void DblClick();
    virtual void DoClick(TMouseButton Button, TShiftState Shift, int X, int Y);
    virtual void MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y);
    virtual void MouseMove(TShiftState Shift, int X, int Y);
    virtual void MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y);
    void Loaded() override;
    void Notification(TComponent* AComponent, TOperation Operation) override;

private:
    TIcon* ActiveIcon();
    bool Designing() const { return ComponentState().Contains(csDesigning); }
    bool CanPopup() const;
    void WndProc(TMessage& Message);
    void HandleMouse(LPARAM MouseMessage);
    void SetTimerRunning(bool Running);

    HWND FHandle = nullptr;
    bool FActive = true;
    bool FAdded = false;
    bool FAnimated = false;
    bool FDestroying = false;
    bool FClickedLeft = false;
    bool FClickedRight = false;
    int FIconIndex = -1;
    WORD FInterval = 150;
    NOTIFYICONDATAA FIconData;
    std::unique_ptr<TIcon> FIcon;
    std::unique_ptr<TIconList> FIcons;
    // The animation runs on the GUI thread: the steps change the tray entry the user clicks.
    std::unique_ptr<TTimer> FTimer;
    std::string FHint;
    bool FShowDesign = false;
    TPopupMenu* FPopupMenu = nullptr;
};
