#include "controls/ExHook.h"

#include "platform/gui/Application.h"
#include "platform/gui/Form.h"
#include "platform/gui/MessageQueue.h"
#include "platform/gui/WindowHandles.h"
#include "platform/rtl/TypInfo.h"

#include <algorithm>
#include <memory>
#include <mutex>
#include <vector>

namespace ExHook {

// The shared object of one control: it owns the replacement window procedure, remembers the one
// it replaced and calls the attached hooks around it.
class TControlHook : public TObject {
    TESS_CLASS(TControlHook, TObject)
public:
    TControlHook();
    ~TControlHook() override;
    TControlHook(const TControlHook&) = delete;
    TControlHook& operator=(const TControlHook&) = delete;

    TWinControl* Control() const { return FControl; }
    void SetWinControl(TWinControl* Value);
    int HookCount() const { return static_cast<int>(FList.size()); }
    void AddHook(TExWindowHook* Hook);
    void RemoveHook(TExWindowHook* Hook);
    void HookWndProc();
    void UnhookWndProc();

private:
    // The replacement procedure reaches the object through this cell, which the destructor
    // empties: a procedure that somebody else chained after ours then does nothing.
    struct TCell {
        TControlHook* Owner = nullptr;
    };

    void WndProc(TMessage& Msg);
    void CallPrevious(TMessage& Msg);
    void NotifyHooks(bool Before, TMessage& Msg, bool& Handled);

    TWinControl* FControl = nullptr;
    std::shared_ptr<TCell> FCell;
    WNDPROC FNewWndProc;
    WNDPROC FPrevWndProc;
    std::vector<TExWindowHook*> FList;
    bool FDestroying = false;
};

// Every per-control object, and the hidden window that takes the deferred re-hooks and frees.
class THookList : public TObject {
    TESS_CLASS(THookList, TObject)
public:
    THookList();
    HWND Handle() const { return FHandle; }
    bool Contains(const TControlHook* Item) const { return std::find(FItems.begin(), FItems.end(), Item) != FItems.end(); }
    TControlHook* Find(const TWinControl* Control) const;
    void Add(TControlHook* Item) { FItems.push_back(Item); }
    void Remove(TControlHook* Item) { FItems.erase(std::remove(FItems.begin(), FItems.end(), Item), FItems.end()); }

private:
    void WndProc(TMessage& Msg);

    std::vector<TControlHook*> FItems;
    HWND FHandle = nullptr;
};

// Made on first use and kept to the end of the process: a destructor run at exit would meet the
// window tables already gone.
THookList* HookList = nullptr;

THookList& HookListNeeded()
{
    if (!HookList)
        HookList = new THookList;
    return *HookList;
}

void RegisterHookProperties()
{
    static std::once_flag registered;
    std::call_once(registered, [] {
        RegisterPropInfos(
            "TExWindowHook", "",
            {OrdProp<TExWindowHook>(
                 "Active", TypeInfoBoolean(), [](TExWindowHook& h) -> std::int64_t { return h.Active(); },
                 [](TExWindowHook& h, std::int64_t v) { h.SetActive(v != 0); }),
             ObjectProp<TExWindowHook>(
                 "WinControl", "TWinControl", [](TExWindowHook& h) -> TObject* { return h.WinControl(); },
                 [](TExWindowHook& h, TObject* v) {
                     auto* control = dynamic_cast<TWinControl*>(v);
                     if (v && !control)
                         TypInfoDetail::RaiseInvalidProperty();
                     h.SetWinControl(control);
                 })});
    });
}

// --- TControlHook ---

TControlHook::TControlHook() : FCell(std::make_shared<TCell>())
{
    FCell->Owner = this;
    FNewWndProc = MakeObjectInstance([cell = FCell](TMessage& Msg) {
        if (cell->Owner)
            cell->Owner->WndProc(Msg);
    });
}

TControlHook::~TControlHook()
{
    FDestroying = true;
    if (HookList)
        HookList->Remove(this);
    while (!FList.empty()) {
        TExWindowHook* hook = FList.back();
        FList.pop_back();
        hook->FControlHook = nullptr;
        hook->FActive = false;
    }
    SetWinControl(nullptr);
    FCell->Owner = nullptr;
    FreeObjectInstance(FNewWndProc);
}

void TControlHook::SetWinControl(TWinControl* Value)
{
    if (Value == FControl)
        return;
    UnhookWndProc();
    FControl = Value;
    if (!FList.empty())
        HookWndProc();
}

void TControlHook::AddHook(TExWindowHook* Hook)
{
    if (std::find(FList.begin(), FList.end(), Hook) == FList.end()) {
        FList.push_back(Hook);
        Hook->FControlHook = this;
        SetWinControl(Hook->FControl);
    }
    HookWndProc();
}

void TControlHook::RemoveHook(TExWindowHook* Hook)
{
    FList.erase(std::remove(FList.begin(), FList.end(), Hook), FList.end());
    Hook->FControlHook = nullptr;
    if (!FList.empty())
        return;
    UnhookWndProc();
    // A control on its way out is forgotten, so that nothing deferred reaches it afterwards.
    if (FControl && FControl->ComponentState().Contains(csDestroying))
        FControl = nullptr;
}

void TControlHook::HookWndProc()
{
    // Without hooks there is nothing to call; an object left without hooks never touches its
    // control again.
    if (!FControl || FDestroying || FList.empty())
        return;
    const TComponentState state = FControl->ComponentState();
    if (state.Contains(csDesigning) || state.Contains(csDestroying))
        return;
    HWND handle = FControl->Handle();
    const WNDPROC current = GetWindowProc(handle);
    if (current != FNewWndProc) {
        FPrevWndProc = current;
        SetWindowLongPtr(handle, GWL_WNDPROC, FNewWndProc);
    }
}

void TControlHook::UnhookWndProc()
{
    // The previous procedure is checked first: once it is forgotten the control is not touched.
    if (FPrevWndProc && FControl && FControl->HandleAllocated()) {
        HWND handle = FControl->Handle();
        // When somebody subclassed the window after us, the chain is left as it is.
        if (GetWindowProc(handle) == FNewWndProc)
            SetWindowLongPtr(handle, GWL_WNDPROC, FPrevWndProc);
    }
    FPrevWndProc = nullptr;
}

void TControlHook::CallPrevious(TMessage& Msg)
{
    HWND handle = FControl && FControl->HandleAllocated() ? FControl->Handle() : nullptr;
    if (FPrevWndProc)
        Msg.Result = CallWindowProc(FPrevWndProc, handle, Msg.Msg, Msg.WParam, Msg.LParam);
    else
        Msg.Result = DefWindowProc(handle, Msg.Msg, Msg.WParam, Msg.LParam);
}

void TControlHook::WndProc(TMessage& Msg)
{
    if (!FControl)
        return;
    bool handled = false;
    if (Msg.Msg != WM_QUIT)
        NotifyHooks(true, Msg, handled);
    if (!handled || Msg.Msg == WM_DESTROY) {
        try {
            CallPrevious(Msg);
        } catch (...) {
            NotifyHooks(false, Msg, handled);
            throw;
        }
        NotifyHooks(false, Msg, handled);
    }
    if (Msg.Msg == WM_DESTROY) {
        UnhookWndProc();
        // The control's next window gets the procedure again, once this message is over.
        if (HookList && !FDestroying && FControl && !FControl->ComponentState().Contains(csDestroying))
            PostMessage(HookList->Handle(), CM_REHOOKCONTROL, 0, reinterpret_cast<LPARAM>(this));
    }
}

void TControlHook::NotifyHooks(bool Before, TMessage& Msg, bool& Handled)
{
    if (FList.empty() || !FControl || FDestroying || FControl->ComponentState().Contains(csDestroying))
        return;
    // The hook attached last sees the message first; a handler may detach hooks meanwhile.
    for (std::size_t i = FList.size(); i-- > 0;) {
        if (i >= FList.size())
            continue;
        TExWindowHook* hook = FList[i];
        try {
            if (Before)
                hook->DoBeforeMessage(Msg, Handled);
            else
                hook->DoAfterMessage(Msg, Handled);
        } catch (...) {
            if (Application)
                Application->HandleException(this);
            else
                HandleApplicationException(this);
        }
        if (Handled)
            break;
    }
}

// --- THookList ---

THookList::THookList()
{
    FHandle = AllocateHWnd([this](TMessage& Msg) { WndProc(Msg); });
}

TControlHook* THookList::Find(const TWinControl* Control) const
{
    for (TControlHook* item : FItems)
        if (item->Control() == Control)
            return item;
    return nullptr;
}

void THookList::WndProc(TMessage& Msg)
{
    try {
        auto* item = reinterpret_cast<TControlHook*>(Msg.LParam);
        switch (Msg.Msg) {
        case CM_REHOOKCONTROL:
            // The object may have been freed since the message was posted.
            if (Contains(item))
                item->HookWndProc();
            break;
        case CM_FREECONTROLHOOK:
            if (Contains(item) && item->HookCount() == 0)
                delete item;
            break;
        default:
            Msg.Result = DefWindowProc(FHandle, Msg.Msg, Msg.WParam, Msg.LParam);
        }
    } catch (...) {
        if (Application)
            Application->HandleException(this);
        else
            HandleApplicationException(this);
    }
}

} // namespace ExHook

// --- TExWindowHook ---

TExWindowHook::TExWindowHook(TComponent* AOwner) : TComponent(AOwner) { ExHook::RegisterHookProperties(); }

TExWindowHook::~TExWindowHook()
{
    // Letting go of the control first hands its object to the deferred free.
    SetWinControl(nullptr);
    SetActive(false);
}

void TExWindowHook::SetActive(bool Value)
{
    if (Value == FActive)
        return;
    if (Value)
        HookControl();
    else
        UnhookControl();
}

TWinControl* TExWindowHook::GetWinControl() const { return FControlHook ? FControlHook->Control() : FControl; }

void TExWindowHook::SetWinControl(TWinControl* Value)
{
    if (Value == GetWinControl() && Value == FControl)
        return;
    const bool wasActive = FActive;
    ExHook::TControlHook* released = DoUnhookControl();
    FControl = Value;
    if (Value)
        Value->FreeNotification(this);
    if (released && released->HookCount() == 0 && ExHook::HookList)
        PostMessage(ExHook::HookList->Handle(), CM_FREECONTROLHOOK, 0, reinterpret_cast<LPARAM>(released));
    if (wasActive)
        HookControl();
}

void TExWindowHook::HookControl()
{
    if (FControl && !ComponentState().Contains(csDestroying)) {
        ExHook::THookList& list = ExHook::HookListNeeded();
        ExHook::TControlHook* controlHook = list.Find(FControl);
        if (!controlHook) {
            auto created = std::make_unique<ExHook::TControlHook>();
            created->SetWinControl(FControl);
            list.Add(created.get());
            controlHook = created.release();
        }
        controlHook->AddHook(this);
    }
    FActive = true;
}

void TExWindowHook::UnhookControl() { DoUnhookControl(); }

ExHook::TControlHook* TExWindowHook::DoUnhookControl()
{
    ExHook::TControlHook* controlHook = FControlHook;
    if (controlHook)
        controlHook->RemoveHook(this);
    FActive = false;
    return controlHook;
}

bool TExWindowHook::IsForm() const
{
    return GetWinControl() && GetWinControl() == Owner() && dynamic_cast<TCustomForm*>(Owner());
}

HWND TExWindowHook::GetHookHandle()
{
    if (!ExHook::HookList)
        return reinterpret_cast<HWND>(static_cast<std::intptr_t>(-1));
    return ExHook::HookList->Handle();
}

void TExWindowHook::DoAfterMessage(TMessage& Msg, bool& Handled)
{
    if (AfterMessage)
        AfterMessage(this, Msg, Handled);
}

void TExWindowHook::DoBeforeMessage(TMessage& Msg, bool& Handled)
{
    if (BeforeMessage)
        BeforeMessage(this, Msg, Handled);
}

void TExWindowHook::Notification(TComponent* AComponent, TOperation Operation)
{
    TComponent::Notification(AComponent, Operation);
    if (Operation != opRemove)
        return;
    if (AComponent == FControl || AComponent == GetWinControl() || AComponent == Owner() || !Owner())
        SetWinControl(nullptr);
}
