#include "controls/EXShell.h"

#include "controls/ExConst.h"
#include "controls/VCLUtils.h"
#include "platform/gui/Application.h"
#include "platform/gui/Form.h"
#include "platform/gui/HintWindow.h"
#include "platform/gui/InputTranslation.h"
#include "platform/gui/Resources.h"
#include "platform/gui/Screen.h"
#include "platform/gui/ShellIcons.h"
#include "platform/gui/WindowHandles.h"
#include "platform/os/Processes.h"
#include "platform/os/Shell.h"
#include "platform/rtl/Exceptions.h"

#include <cstdint>
#include <cstring>

namespace EXShellUnit {

int ShowCommandOf(TExecState State)
{
    switch (State) {
    case EXShell::esMinimized: return SW_MINIMIZE;
    case EXShell::esMaximized: return SW_SHOWMAXIMIZED;
    case EXShell::esHidden: return SW_HIDE;
    default: return SW_SHOWNORMAL;
    }
}

const char* OrNull(const std::string& text) { return text.empty() ? nullptr : text.c_str(); }

HWND ApplicationWindow() { return Application ? Application->Handle() : nullptr; }

std::uintptr_t HandleValue(HICON icon) { return reinterpret_cast<std::uintptr_t>(icon); }

// Shift, control and alt as they are now, with the button's own flag.
TShiftState MouseShift(TShiftStateFlag Button)
{
    const TShiftState now = GetShiftState();
    TShiftState shift;
    for (TShiftStateFlag key : {ssShift, ssCtrl, ssAlt})
        if (now.Contains(key))
            shift.Include(key);
    shift.Include(Button);
    return shift;
}

} // namespace EXShellUnit

using namespace EXShellUnit;

HINSTANCE FileExecute(const std::string& FileName, const std::string& Params, const std::string& StartDir,
                      TExecState InitialState)
{
    return ShellExecuteA(ApplicationWindow(), nullptr, FileName.c_str(), OrNull(Params), OrNull(StartDir),
                         ShowCommandOf(InitialState));
}

int FileExecuteWait(const std::string& FileName, const std::string& Params, const std::string& StartDir,
                    TExecState InitialState)
{
    SHELLEXECUTEINFOA info;
    info.fMask = SEE_MASK_NOCLOSEPROCESS;
    info.hwnd = ApplicationWindow();
    info.lpFile = FileName.c_str();
    info.lpParameters = OrNull(Params);
    info.lpDirectory = OrNull(StartDir);
    info.nShow = ShowCommandOf(InitialState);
    if (!ShellExecuteExA(&info) || info.hProcess == nullptr) {
        if (info.hProcess)
            CloseHandle(info.hProcess);
        return -1;
    }
    // Waiting on the process, not polling it: the exit code 259 is an answer like any other.
    const DWORD code = WaitForProcessWhileProcessingEvents(
        info.hProcess, [] { return Application != nullptr && Application->Terminated(); });
    CloseHandle(info.hProcess);
    return static_cast<int>(code);
}

std::unique_ptr<TIcon> IconExtract(const std::string& FileName, int Id)
{
    auto icon = std::make_unique<TIcon>();
    HICON handle = ExtractIconA(MainInstance(), FileName.c_str(), static_cast<UINT>(Id));
    if (HandleValue(handle) < 2) {
        WORD index = static_cast<WORD>(Id);
        if (HICON associated = ExtractAssociatedIconA(MainInstance(), FileName.c_str(), &index))
            handle = associated;
    }
    if (HandleValue(handle) == 1)
        RAISE(EResNotFound(ExLoadStr(SNotExecutableOrIcon)));
    if (!handle)
        return nullptr;
    icon->SetHandle(handle);
    return icon;
}

void WinAbout(const std::string& AppName, const std::string& Stuff)
{
    HWND owner = Application && Application->MainForm() ? Application->MainForm()->Handle() : nullptr;
    // The application keeps its icon's handle; without one the system's application icon stands.
    HICON icon = Application && Application->Icon ? static_cast<HICON>(Application->Icon)
                                                   : LoadIcon(nullptr, MAKEINTRESOURCE(IDI_APPLICATION));
    ShellAboutA(owner, AppName.c_str(), Stuff.c_str(), icon);
}

// ---- TExTrayIcon

TExTrayIcon::TExTrayIcon(TComponent* AOwner)
    : TComponent(AOwner), FIcon(std::make_unique<TIcon>()), FIcons(std::make_unique<TIconList>()),
      FTimer(std::make_unique<TTimer>(nullptr))
{
    FHandle = AllocateHWnd([this](TMessage& Message) { WndProc(Message); });
    FIcon->OnChange = [this](TObject*) { ChangeIcon(); };
    FIcons->OnChange = [this](TObject*) { ChangeIcon(); };
    FTimer->SetEnabled(false);
    FTimer->SetInterval(FInterval);
    FTimer->OnTimer = [this](TObject*) { Timer(); };
}

TExTrayIcon::~TExTrayIcon()
{
    FDestroying = true;
    Enabled = false;
    FIcons->OnChange = nullptr;
    FIcon->OnChange = nullptr;
    SetAnimated(false);
    Deactivate();
    FTimer.reset();
    if (FHandle)
        DeallocateHWnd(FHandle);
    FHandle = nullptr;
}

TIcon* TExTrayIcon::ActiveIcon()
{
    if (FAnimated && FIcons->Count() > 0) {
        int index = FIconIndex;
        if (index < 0)
            index = 0;
        if (index >= FIcons->Count())
            index = FIcons->Count() - 1;
        return FIcons->Get(index);
    }
    return FIcon.get();
}

void TExTrayIcon::UpdateNotifyData()
{
    FIconData = NOTIFYICONDATAA();
    FIconData.hWnd = FHandle;
    FIconData.uID = 0;
    FIconData.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
    FIconData.uCallbackMessage = CM_TRAYICON;
    TIcon* icon = ActiveIcon();
    FIconData.hIcon = icon && !icon->Empty() ? icon->Handle() : reinterpret_cast<HICON>(std::intptr_t{-1});
    const std::string tip = GetShortHint(FHint).substr(0, sizeof FIconData.szTip - 1);
    std::memcpy(FIconData.szTip, tip.data(), tip.size());
}

void TExTrayIcon::SetTimerRunning(bool Running)
{
    if (FTimer)
        FTimer->SetEnabled(Running);
}

void TExTrayIcon::Activate()
{
    Deactivate();
    TIcon* icon = ActiveIcon();
    if (!icon || icon->Empty())
        return;
    FClickedLeft = FClickedRight = false;
    UpdateNotifyData();
    FAdded = Shell_NotifyIconA(NIM_ADD, &FIconData) != FALSE;
    if (GetShortHint(FHint).empty() && FAdded)
        Shell_NotifyIconA(NIM_MODIFY, &FIconData);
    if (FAnimated)
        SetTimerRunning(true);
}

void TExTrayIcon::Deactivate()
{
    Shell_NotifyIconA(NIM_DELETE, &FIconData);
    FAdded = false;
    FClickedLeft = FClickedRight = false;
    if (FAnimated)
        SetTimerRunning(false);
}

void TExTrayIcon::ChangeIcon()
{
    if (FIcons->Count() == 0 && FAnimated) {
        FAnimated = false;
        SetTimerRunning(false);
    }
    if (FAdded) {
        TIcon* icon = ActiveIcon();
        if (!icon || icon->Empty()) {
            Deactivate();
        } else {
            UpdateNotifyData();
            Shell_NotifyIconA(NIM_MODIFY, &FIconData);
        }
    } else if ((Designing() && FShowDesign) || (!Designing() && FActive)) {
        Activate();
    }
}

void TExTrayIcon::Timer()
{
    if (FDestroying || !FAnimated)
        return;
    ++FIconIndex;
    if (FIconIndex >= FIcons->Count())
        FIconIndex = 0;
    ChangeIcon();
}

void TExTrayIcon::SetActive(bool Value)
{
    FActive = Value;
    if (Designing())
        return;
    if (Value)
        Activate();
    else
        Deactivate();
}

void TExTrayIcon::SetShowDesign(bool Value)
{
    if (!Designing())
        return;
    if (Value)
        Activate();
    else
        Deactivate();
    FShowDesign = FAdded;
}

void TExTrayIcon::SetHint(const std::string& Value)
{
    if (Value == FHint)
        return;
    FHint = Value;
    ChangeIcon();
}

void TExTrayIcon::SetIcon(TIcon* Value) { FIcon->Assign(Value); }

void TExTrayIcon::SetIcons(TIconList* Value) { FIcons->Assign(Value); }

void TExTrayIcon::SetInterval(WORD Value)
{
    FInterval = Value;
    FTimer->SetInterval(Value);
}

void TExTrayIcon::SetPopupMenu(TPopupMenu* Value)
{
    FPopupMenu = Value;
    if (Value)
        Value->FreeNotification(this);
}

void TExTrayIcon::SetAnimated(bool Value)
{
    const bool animated = Value && FIcons->Count() > 0;
    if (animated == FAnimated)
        return;
    FAnimated = animated;
    SetTimerRunning(animated && FAdded);
    FIconIndex = 0;
    ChangeIcon();
}

void TExTrayIcon::Loaded()
{
    TComponent::Loaded();
    if (FActive && !Designing())
        Activate();
}

void TExTrayIcon::Notification(TComponent* AComponent, TOperation Operation)
{
    TComponent::Notification(AComponent, Operation);
    if (Operation == opRemove && AComponent == FPopupMenu)
        FPopupMenu = nullptr;
}

bool TExTrayIcon::CanPopup() const
{
    return !Designing() && FActive && FPopupMenu && FPopupMenu->AutoPopup;
}

void TExTrayIcon::DoClick(TMouseButton Button, TShiftState Shift, int X, int Y)
{
    if (Button == mbRight && CanPopup()) {
        FPopupMenu->PopupComponent = this;
        TCustomForm* form = Screen ? Screen->ActiveCustomForm() : nullptr;
        if (!form && Application)
            form = Application->MainForm();
        if (form)
            form->Perform(CM_CANCELMODE, 0, 0);
        SwitchToWindow(FHandle, false);
        Application->ProcessMessages();
        FPopupMenu->Popup(X, Y);
        SwitchToWindow(FHandle, false);
        return;
    }
    if (OnClick)
        OnClick(this, Button, Shift, X, Y);
}

void TExTrayIcon::DblClick()
{
    if (CanPopup()) {
        TMenuItem* items = FPopupMenu->Items();
        for (int i = 0; items && i < items->Count(); ++i) {
            TMenuItem* item = items->Items(i);
            if (item->Default() && item->Enabled()) {
                item->Click();
                return;
            }
        }
    }
    if (OnDblClick)
        OnDblClick(this);
}

void TExTrayIcon::MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y)
{
    if (OnMouseDown)
        OnMouseDown(this, Button, Shift, X, Y);
}

void TExTrayIcon::MouseMove(TShiftState Shift, int X, int Y)
{
    if (OnMouseMove)
        OnMouseMove(this, Shift, X, Y);
}

void TExTrayIcon::MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y)
{
    if (OnMouseUp)
        OnMouseUp(this, Button, Shift, X, Y);
}

void TExTrayIcon::HandleMouse(LPARAM MouseMessage)
{
    TPoint point;
    GetCursorPos(point);
    const int x = point.X, y = point.Y;
    switch (static_cast<UINT>(MouseMessage)) {
    case WM_MOUSEMOVE: {
        TShiftState shift = MouseShift(ssLeft);
        shift.Exclude(ssLeft);
        MouseMove(shift, x, y);
        break;
    }
    case WM_LBUTTONDOWN:
        MouseDown(mbLeft, MouseShift(ssLeft), x, y);
        FClickedLeft = true;
        break;
    case WM_LBUTTONUP:
        if (FClickedLeft) {
            FClickedLeft = false;
            DoClick(mbLeft, MouseShift(ssLeft), x, y);
        }
        MouseUp(mbLeft, MouseShift(ssLeft), x, y);
        break;
    case WM_LBUTTONDBLCLK:
        DblClick();
        MouseDown(mbLeft, MouseShift(ssDouble), x, y);
        break;
    case WM_RBUTTONDOWN:
        MouseDown(mbRight, MouseShift(ssRight), x, y);
        FClickedRight = true;
        break;
    case WM_RBUTTONUP:
        if (FClickedRight) {
            FClickedRight = false;
            DoClick(mbRight, MouseShift(ssRight), x, y);
        }
        MouseUp(mbRight, MouseShift(ssRight), x, y);
        break;
    case WM_RBUTTONDBLCLK:
        MouseDown(mbRight, MouseShift(ssDouble), x, y);
        break;
    case WM_MBUTTONDOWN:
        MouseDown(mbMiddle, MouseShift(ssMiddle), x, y);
        break;
    case WM_MBUTTONUP:
        MouseUp(mbMiddle, MouseShift(ssMiddle), x, y);
        break;
    case WM_MBUTTONDBLCLK:
        MouseDown(mbMiddle, MouseShift(ssDouble), x, y);
        break;
    default:
        break;
    }
}

void TExTrayIcon::WndProc(TMessage& Message)
{
    if (Message.Msg != CM_TRAYICON || !Enabled) {
        Message.Result = DefWindowProc(FHandle, Message.Msg, Message.WParam, Message.LParam);
        return;
    }
    try {
        HandleMouse(Message.LParam);
    } catch (...) {
        if (Application)
            Application->HandleException(this);
    }
}
