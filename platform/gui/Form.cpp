#include "platform/gui/Form.h"

#include "platform/gui/Application.h"
#include "platform/gui/MenuApi.h"
#include "platform/gui/Menus.h"
#include "platform/gui/MessageQueue.h"
#include "platform/gui/Screen.h"
#include "platform/gui/WindowHandles.h"
#include "platform/gui/private/ControlHost.h"
#include "platform/gui/private/EventLoop.h"
#include "platform/gui/private/HandleTable.h"
#include "platform/gui/private/Overlay.h"
#include "platform/gui/private/PaintCanvas.h"
#include "platform/gui/private/QtBridge.h"
#include "platform/gui/private/StdCtrlSupport.h"
#include "platform/rtl/Formats.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

#include <algorithm>

namespace {

std::function<void(TCustomForm*)>& ModalStartHook()
{
    static std::function<void(TCustomForm*)> hook;
    return hook;
}

} // namespace

void SetModalStartHook(std::function<void(TCustomForm*)> hook) { ModalStartHook() = std::move(hook); }

TCustomForm* GetParentForm(const TControl* control)
{
    return ParentFormOf(control);
}

TCustomForm* ValidParentForm(const TControl* control)
{
    TCustomForm* form = GetParentForm(control);
    if (!form)
        RAISE(EInvalidOperation(Format("Control '%s' has no parent window", {control ? control->Name() : std::string()})));
    return form;
}

bool IsAccel(WORD VK, const std::string& Str) { return StdCtrl::IsAccel(static_cast<unsigned char>(VK & 0xFF), Str); }

// --- TFormMenu ---------------------------------------------------------------------------------------------

TFormMenu& TFormMenu::operator=(TMainMenu* menu)
{
    if (menu == FMenu)
        return *this;
    if (FMenu)
        FMenu->RemoveFreeNotification(FForm);
    FMenu = menu;
    if (menu)
        menu->FreeNotification(FForm);
    FForm->ShowMainMenu();
    return *this;
}

// --- TCustomForm -------------------------------------------------------------------------------------------

TCustomForm::TCustomForm(TComponent* AOwner) : TScrollingWinControl(AOwner)
{
    IncludeState(csLoading);
    FVisible = false;
    SetColor(clBtnFace);
    SetParentColor(false);
    SetParentFont(false);
    SetBounds(0, 0, 320, 240);
    ControlStyle = {csAcceptsControls, csCaptureMouse, csClickEvents, csSetCaption, csDoubleClicks};
    if (Screen)
        Screen->AddForm(this);
}

TCustomForm::~TCustomForm()
{
    TOverlay::Discard(this);
    if (Screen)
        Screen->RemoveForm(this);
    if (Application && Application->MainForm() == this)
        Application->ClearMainForm();
}

void TCustomForm::AfterConstruction()
{
    if (!FConstructing)
        return;
    FConstructing = false;
    // Loading: every component the constructor created, in creation order, then the form.
    std::vector<TComponent*> loading;
    loading.swap(FLoading);
    for (TComponent* component : loading)
        component->Loaded();
    Loaded();
    Realign();
    if (OnCreate) {
        try {
            OnCreate(this);
        } catch (...) {
            HandleApplicationException(this);
        }
    }
}

void TCustomForm::BeforeDestruction()
{
    if (OnDestroy) {
        try {
            OnDestroy(this);
        } catch (...) {
            HandleApplicationException(this);
        }
    }
    TScrollingWinControl::BeforeDestruction();
}

void TCustomForm::Notification(TComponent* AComponent, TOperation Operation)
{
    TScrollingWinControl::Notification(AComponent, Operation);
    if (Operation == opInsert && FConstructing && AComponent != this) {
        AComponent->IncludeState(csLoading);
        FLoading.push_back(AComponent);
    }
    if (Operation == opRemove && AComponent && AComponent == static_cast<TComponent*>(Menu.FMenu)) {
        Menu.FMenu = nullptr;
        if (!ComponentState().Contains(csDestroying))
            ShowMainMenu();
    }
    if (Operation == opRemove) {
        FLoading.erase(std::remove(FLoading.begin(), FLoading.end(), AComponent), FLoading.end());
        if (reinterpret_cast<TComponent*>(FActiveControl) == AComponent)
            FActiveControl = nullptr;
        if (reinterpret_cast<TComponent*>(FFocusedControl) == AComponent)
            FFocusedControl = nullptr;
    }
}

void TCustomForm::SetBorderStyle(TBorderStyle value)
{
    if (value == FBorderStyle)
        return;
    FBorderStyle = value;
    ApplyWindowFlags();
}

void TCustomForm::SetBorderIcons(TBorderIcons value)
{
    if (value == FBorderIcons)
        return;
    FBorderIcons = value;
    ApplyWindowFlags();
}

void TCustomForm::SetFormStyle(TFormStyle value)
{
    if (value == fsMDIForm || value == fsMDIChild)
        RAISE(EInvalidOperation("Cannot create form. No MDI forms are currently active"));
    if (value == FFormStyle)
        return;
    FFormStyle = value;
    ApplyWindowFlags();
}

TWindowState TCustomForm::WindowState() const
{
    if (QWidget* widget = WidgetOf(this)) {
        if (widget->isMinimized())
            return wsMinimized;
        if (widget->isMaximized())
            return wsMaximized;
        if (widget->isVisible())
            return wsNormal;
    }
    return FWindowState;
}

void TCustomForm::SetWindowState(TWindowState value)
{
    FWindowState = value;
    QWidget* widget = WidgetOf(this);
    if (!widget || !widget->isVisible())
        return;
    if (value == wsMinimized)
        widget->showMinimized();
    else if (value == wsMaximized)
        widget->showMaximized();
    else
        widget->showNormal();
}

void TCustomForm::CreateParams(TCreateParams& Params)
{
    TScrollingWinControl::CreateParams(Params);
    Params.Style &= ~(WS_CHILD | WS_VISIBLE);
    switch (FBorderStyle) {
    case bsNone:
        Params.Style |= WS_POPUP;
        break;
    case bsSingle:
    case bsToolWindow:
        Params.Style |= WS_CAPTION | WS_BORDER;
        break;
    case bsSizeable:
    case bsSizeToolWin:
        Params.Style |= WS_CAPTION | WS_THICKFRAME;
        break;
    case bsDialog:
        Params.Style |= WS_POPUP | WS_CAPTION;
        Params.ExStyle |= WS_EX_DLGMODALFRAME;
        break;
    }
    if (FBorderStyle != bsNone && FBorderIcons.Contains(biSystemMenu))
        Params.Style |= WS_SYSMENU;
    if (FBorderStyle != bsDialog && FBorderIcons.Contains(biMinimize))
        Params.Style |= WS_MINIMIZEBOX;
    if (FBorderStyle != bsDialog && FBorderIcons.Contains(biMaximize))
        Params.Style |= WS_MAXIMIZEBOX;
    if (FBorderStyle == bsToolWindow || FBorderStyle == bsSizeToolWin)
        Params.ExStyle |= WS_EX_TOOLWINDOW;
    if (FFormStyle == fsStayOnTop)
        Params.ExStyle |= WS_EX_TOPMOST;
}

void TCustomForm::CreateWnd()
{
    // A form made without the creation functions finishes loading when its window is made.
    if (FConstructing)
        AfterConstruction();
    TScrollingWinControl::CreateWnd();
    ApplyWindowFlags();
    ApplyMinMaxInfo();
    if (Menu)
        ShowMainMenu();
}

void TCustomForm::ShowMainMenu()
{
    if (!HandleAllocated())
        return;
    ::SetMenu(Handle(), Menu ? Menu->Handle() : nullptr);
    // A form built with a client height keeps it: the first bar makes the window taller.
    if (Menu && FDesignedClientHeight >= 0) {
        const int height = FDesignedClientHeight;
        FDesignedClientHeight = -1;
        TScrollingWinControl::SetClientHeight(height);
    }
}

void TCustomForm::AlignControls(TControl* AControl, TRect& Rect)
{
    TScrollingWinControl::AlignControls(AControl, Rect);
    if (!HandleAllocated())
        return;
    const TRect client = ClientRectInWindow();
    for (int i = 0; i < ControlCount(); ++i) {
        TControl* child = Controls(i);
        IHostWidget* host = child->Host();
        if (!host || !host->Widget() || host->Widget()->isWindow())
            continue;
        const QRect place(child->Left() + client.Left, child->Top() + client.Top, std::max(child->Width(), 0),
                          std::max(child->Height(), 0));
        if (host->Widget()->geometry() != place)
            host->SetGeometryFromCode(place);
    }
}

void TCustomForm::SetClientHeight(int value)
{
    if (ComponentState().Contains(csLoading))
        FDesignedClientHeight = value;
    TScrollingWinControl::SetClientHeight(value);
}

MINMAXINFO TCustomForm::ApplyMinMaxInfo()
{
    MINMAXINFO info;
    info.ptMaxTrackSize = {QWIDGETSIZE_MAX, QWIDGETSIZE_MAX};
    if (Screen) {
        const TRect area = Screen->WorkAreaRect();
        info.ptMaxSize = {area.Width(), area.Height()};
        info.ptMaxPosition = {area.Left, area.Top};
    }
    if (!HandleAllocated())
        return info;
    SendMessageA(Handle(), WM_GETMINMAXINFO, 0, reinterpret_cast<LPARAM>(&info));
    info.ptMinTrackSize = {std::max(info.ptMinTrackSize.X, 0), std::max(info.ptMinTrackSize.Y, 0)};
    info.ptMaxTrackSize = {std::clamp(info.ptMaxTrackSize.X, info.ptMinTrackSize.X, QWIDGETSIZE_MAX),
                           std::clamp(info.ptMaxTrackSize.Y, info.ptMinTrackSize.Y, QWIDGETSIZE_MAX)};
    if (QWidget* widget = WidgetOf(this)) {
        const bool fixed = FBorderStyle == bsSingle || FBorderStyle == bsDialog || FBorderStyle == bsToolWindow;
        if (!fixed) {
            widget->setMinimumSize(info.ptMinTrackSize.X, info.ptMinTrackSize.Y);
            widget->setMaximumSize(info.ptMaxTrackSize.X, info.ptMaxTrackSize.Y);
        }
    }
    return info;
}

void TCustomForm::SetBounds(int ALeft, int ATop, int AWidth, int AHeight)
{
    if (AHeight != Height() && !ComponentState().Contains(csLoading))
        FDesignedClientHeight = -1;
    if (HandleAllocated() && (AWidth != Width() || AHeight != Height())) {
        const MINMAXINFO info = ApplyMinMaxInfo();
        AWidth = std::clamp(AWidth, info.ptMinTrackSize.X, info.ptMaxTrackSize.X);
        AHeight = std::clamp(AHeight, info.ptMinTrackSize.Y, info.ptMaxTrackSize.Y);
    }
    TScrollingWinControl::SetBounds(ALeft, ATop, AWidth, AHeight);
    const bool fixed = FBorderStyle == bsSingle || FBorderStyle == bsDialog || FBorderStyle == bsToolWindow;
    if (fixed)
        if (QWidget* widget = WidgetOf(this); widget && widget->isWindow())
            widget->setFixedSize(std::max(Width(), 0), std::max(Height(), 0));
}

void TCustomForm::ApplyWindowFlags()
{
    QWidget* widget = WidgetOf(this);
    if (!widget || !widget->isWindow())
        return;
    const bool visible = widget->isVisible();
    Qt::WindowFlags flags;
    switch (FBorderStyle) {
    case bsNone:
        flags = Qt::Window | Qt::FramelessWindowHint;
        break;
    case bsDialog:
        flags = Qt::Dialog | Qt::WindowTitleHint | Qt::CustomizeWindowHint;
        break;
    case bsToolWindow:
    case bsSizeToolWin:
        flags = Qt::Tool | Qt::WindowTitleHint | Qt::CustomizeWindowHint;
        break;
    default:
        flags = Qt::Window | Qt::WindowTitleHint | Qt::CustomizeWindowHint;
        break;
    }
    if (FBorderStyle != bsNone && FBorderIcons.Contains(biSystemMenu))
        flags |= Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint;
    if (FBorderStyle == bsSingle || FBorderStyle == bsSizeable) {
        if (FBorderIcons.Contains(biMinimize))
            flags |= Qt::WindowMinimizeButtonHint;
        if (FBorderIcons.Contains(biMaximize))
            flags |= Qt::WindowMaximizeButtonHint;
    }
    if (FBorderIcons.Contains(biHelp))
        flags |= Qt::WindowContextHelpButtonHint;
    if (FFormStyle == fsStayOnTop)
        flags |= Qt::WindowStaysOnTopHint;
    widget->setWindowFlags(flags);
    const bool fixed = FBorderStyle == bsSingle || FBorderStyle == bsDialog || FBorderStyle == bsToolWindow;
    if (fixed)
        widget->setFixedSize(std::max(Width(), 0), std::max(Height(), 0));
    if (visible)
        widget->show();
}

void TCustomForm::ApplyPosition()
{
    if (FPositioned)
        return;
    FPositioned = true;
    QRect area(0, 0, 1024, 768);
    if (QScreen* screen = QGuiApplication::primaryScreen())
        area = screen->availableGeometry();
    QRect over = area;
    if (Position == poMainFormCenter && Application && Application->MainForm() && Application->MainForm() != this)
        over = ToQRect(Application->MainForm()->BoundsRect());
    else if (Position == poOwnerFormCenter)
        if (auto* owner = dynamic_cast<TCustomForm*>(Owner()))
            over = ToQRect(owner->BoundsRect());
    switch (Position) {
    case poScreenCenter:
    case poDesktopCenter:
    case poMainFormCenter:
    case poOwnerFormCenter:
        SetBounds(over.x() + (over.width() - Width()) / 2, over.y() + (over.height() - Height()) / 2, Width(),
                  Height());
        break;
    default:
        break;
    }
}

bool TCustomForm::Showing() const { return FVisible && FHandle; }

void TCustomForm::SetVisible(bool value)
{
    CheckGuiThread();
    QWidget* widget = WidgetOf(this);
    if (value == FVisible && (!value || (widget && widget->isVisible())))
        return;
    FVisible = value;
    if (value) {
        HandleNeeded();
        // Once shown, a bar assigned later takes its room from the client area.
        FDesignedClientHeight = -1;
        ApplyPosition();
        DoShow();
        widget = WidgetOf(this);
        if (!widget || !FVisible)
            return;
        if (FWindowState == wsMaximized)
            widget->showMaximized();
        else if (FWindowState == wsMinimized)
            widget->showMinimized();
        else
            widget->show();
        RaiseWidget(widget);
        widget->activateWindow();
    } else {
        if (widget)
            widget->hide();
        DoHide();
    }
    Perform(CM_VISIBLECHANGED, value ? 1 : 0, 0);
}

void TCustomForm::Show()
{
    SetVisible(true);
    BringToFront();
}

void TCustomForm::Hide() { SetVisible(false); }

void TCustomForm::DoShow()
{
    if (OnShow)
        OnShow(this);
}

void TCustomForm::DoHide()
{
    if (OnHide)
        OnHide(this);
}

void TCustomForm::DoClose(TCloseAction& Action)
{
    if (OnClose)
        OnClose(this, Action);
}

bool TCustomForm::CloseQuery()
{
    bool canClose = true;
    if (OnCloseQuery)
        OnCloseQuery(this, canClose);
    return canClose;
}

void TCustomForm::Close()
{
    if (FModal) {
        SetModalResult(mrCancel);
        return;
    }
    if (!CloseQuery())
        return;
    TCloseAction action = caHide;
    DoClose(action);
    if (action == caNone)
        return;
    if (Application && Application->MainForm() == this) {
        Application->Terminate();
        return;
    }
    switch (action) {
    case caHide:
        Hide();
        break;
    case caMinimize:
        SetWindowState(wsMinimized);
        break;
    case caFree:
        Release();
        break;
    default:
        break;
    }
}

void TCustomForm::Release()
{
    if (FReleasePosted)
        return;
    FReleasePosted = true;
    PostMessageA(Handle(), CM_RELEASE, 0, 0);
}

void TCustomForm::SetModalResult(TModalResult value)
{
    if (!FModal)
        return;
    FModalResult = value;
    EventLoop::Wake();
}

void TCustomForm::CloseModal()
{
    TCloseAction action = caNone;
    if (CloseQuery()) {
        action = caHide;
        DoClose(action);
    }
    switch (action) {
    case caNone:
        FModalResult = mrNone;
        break;
    case caFree:
        FFreeAfterModal = true;
        break;
    default:
        break;
    }
}

int TCustomForm::ShowModal()
{
    CheckGuiThread();
    QWidget* widget = WidgetOf(this);
    if (FVisible || (widget && widget->isVisible()) || !Enabled() || FModal)
        RAISE(EInvalidOperation("Cannot make a visible window modal"));
    TCustomForm* previousActive = Screen ? Screen->ActiveCustomForm() : nullptr;
    HandleNeeded();
    widget = WidgetOf(this);
    widget->setWindowModality(Qt::ApplicationModal);
    FModal = true;
    FModalResult = mrNone;
    FFreeAfterModal = false;
    struct TModalEnd {
        TCustomForm* Form;
        ~TModalEnd()
        {
            Form->FModal = false;
            if (QWidget* w = WidgetOf(Form)) {
                if (w->isVisible())
                    Form->SetVisible(false);
                w->setWindowModality(Qt::NonModal);
            }
        }
    };
    {
        TModalEnd end{this};
        Show();
        if (ModalStartHook())
            ModalStartHook()(this);
        for (;;) {
            if (Application && Application->Terminated())
                FModalResult = mrCancel;
            if (FModalResult != mrNone) {
                CloseModal();
                if (FModalResult != mrNone)
                    break;
            }
            if (Application)
                Application->HandleMessageUntil([this] {
                    return FModalResult != mrNone || (Application && Application->Terminated());
                });
            else
                EventLoop::ProcessEvents(true);
        }
    }
    const TModalResult result = FModalResult;
    if (previousActive && previousActive != this && Screen && Screen->IndexOfForm(previousActive) >= 0)
        if (QWidget* previous = WidgetOf(previousActive); previous && previous->isVisible())
            previous->activateWindow();
    if (FFreeAfterModal)
        Release();
    return result;
}

void TCustomForm::SetFocus()
{
    CheckGuiThread();
    if (!FVisible || !Enabled())
        RAISE(EInvalidOperation("Cannot focus a disabled or invisible window"));
    if (QWidget* widget = WidgetOf(this)) {
        RaiseWidget(widget);
        widget->activateWindow();
    }
}

void TCustomForm::SetActiveControl(TWinControl* control)
{
    if (control == FActiveControl)
        return;
    if (control && (control == this || GetParentForm(control) != this ||
                    (!ComponentState().Contains(csLoading) && !control->CanFocus())))
        RAISE(EInvalidOperation("Cannot focus a disabled or invisible window"));
    FActiveControl = control;
    if (ComponentState().Contains(csLoading))
        return;
    if (control && control->HandleAllocated())
        if (QWidget* widget = WidgetOf(control)) {
            QWidget* window = widget->window();
            if (window && window->isActiveWindow())
                widget->setFocus(Qt::OtherFocusReason);
        }
}

void TCustomForm::FocusControl(TWinControl* control)
{
    const bool wasActive = FActive;
    if (control && !control->CanFocus())
        RAISE(EInvalidOperation("Cannot focus a disabled or invisible window"));
    FActiveControl = nullptr;
    SetActiveControl(control);
    if (control) {
        control->HandleNeeded();
        if (QWidget* widget = WidgetOf(control))
            widget->setFocus(Qt::OtherFocusReason);
    }
    if (!wasActive && FVisible)
        SetFocus();
}

void TCustomForm::DefocusControl(TWinControl* control, bool)
{
    if (control && FActiveControl && control->ContainsControl(FActiveControl))
        FActiveControl = nullptr;
    if (control && FFocusedControl && control->ContainsControl(FFocusedControl))
        FFocusedControl = nullptr;
}

bool TCustomForm::SetFocusedControl(TWinControl* control)
{
    TWinControl* old = FFocusedControl;
    if (old == control) {
        FActiveControl = control;
        return true;
    }
    FFocusedControl = control;
    FActiveControl = control;
    // Exit from the old control up to the common parent, then enter down to the new one.
    TWinControl* common = nullptr;
    for (TWinControl* c = control; c; c = c->Parent())
        if (old && c->ContainsControl(old)) {
            common = c;
            break;
        }
    for (TWinControl* c = old; c && c != common && c != this; c = c->Parent()) {
        c->Perform(CM_EXIT, 0, 0);
        if (FFocusedControl != control)
            return false;
    }
    std::vector<TWinControl*> path;
    for (TWinControl* c = control; c && c != common && c != this; c = c->Parent())
        path.push_back(c);
    for (auto it = path.rbegin(); it != path.rend(); ++it) {
        (*it)->Perform(CM_ENTER, 0, 0);
        if (FFocusedControl != control)
            return false;
    }
    TMessage focusChanged{CM_FOCUSCHANGED, 0, reinterpret_cast<LPARAM>(control), 0};
    Broadcast(focusChanged);
    if (Screen)
        Screen->SetActiveControlInternal(control, this);
    return true;
}

void TCustomForm::SetActive(bool value)
{
    if (value == FActive)
        return;
    FActive = value;
    if (value) {
        if (Screen)
            Screen->SetActiveFormInternal(this);
        if (FActiveControl && FActiveControl->HandleAllocated())
            if (QWidget* widget = WidgetOf(FActiveControl))
                widget->setFocus(Qt::ActiveWindowFocusReason);
        Perform(CM_ACTIVATE, 0, 0);
    } else {
        Perform(CM_DEACTIVATE, 0, 0);
    }
}

void TCustomForm::Activate()
{
    if (OnActivate)
        OnActivate(this);
}

void TCustomForm::Deactivate()
{
    if (OnDeactivate)
        OnDeactivate(this);
}

TCanvas* TCustomForm::Canvas()
{
    if (!FCanvas)
        FCanvas = std::make_unique<TPaintCanvas>(this);
    return FCanvas.get();
}

void TCustomForm::PaintMessage()
{
    Canvas();
    FCanvas->RunPaint([this] { Paint(); });
}

void TCustomForm::Paint()
{
    if (OnPaint)
        OnPaint(this);
}

void TCustomForm::DialogKey(TMessage& Message)
{
    if (GetKeyState(VK_MENU) >= 0) {
        switch (Message.WParam & 0xFFFF) {
        case VK_TAB:
            if (GetKeyState(VK_CONTROL) >= 0) {
                SelectNext(FActiveControl, GetKeyState(VK_SHIFT) >= 0, true);
                Message.Result = 1;
                return;
            }
            break;
        case VK_LEFT:
        case VK_RIGHT:
        case VK_UP:
        case VK_DOWN:
            if (FActiveControl && FActiveControl->Parent()) {
                const WORD key = static_cast<WORD>(Message.WParam);
                FActiveControl->Parent()->SelectNext(FActiveControl, key == VK_RIGHT || key == VK_DOWN, false);
                Message.Result = 1;
            }
            return;
        default:
            break;
        }
    }
    Broadcast(Message);
}

bool TCustomForm::IsMenuMessage(const TMessage& Message) const
{
    switch (Message.Msg) {
    case WM_COMMAND:
        return Message.LParam == 0;
    case WM_INITMENUPOPUP:
    case WM_MENUSELECT:
        return true;
    case WM_DRAWITEM:
        return Message.LParam && reinterpret_cast<const DRAWITEMSTRUCT*>(Message.LParam)->CtlType == ODT_MENU;
    case WM_MEASUREITEM:
        return Message.LParam && reinterpret_cast<const MEASUREITEMSTRUCT*>(Message.LParam)->CtlType == ODT_MENU;
    default:
        return false;
    }
}

void TCustomForm::Dispatch(TMessage& Message)
{
    if (Menu && IsMenuMessage(Message) && Menu->ProcessMenuMessage(Message))
        return;
    switch (Message.Msg) {
    case WM_NCCALCSIZE: {
        // The menu bar lies above the client area.
        TScrollingWinControl::Dispatch(Message);
        auto* params = reinterpret_cast<NCCALCSIZE_PARAMS*>(Message.LParam);
        if (params && HandleAllocated())
            params->rgrc[0].Top =
                std::min(params->rgrc[0].Top + GetMenuBarHeight(Handle()), params->rgrc[0].Bottom);
        return;
    }
    case WM_SYSCOMMAND:
        if ((Message.WParam & 0xFFF0) == SC_KEYMENU && HandleAllocated() &&
            MenuBarKey(Handle(), static_cast<char>(Message.LParam & 0xFF)))
            return;
        TScrollingWinControl::Dispatch(Message);
        return;
    case CM_DIALOGCHAR: {
        // Alt with the accelerator of a menu-bar entry opens it when no control took the key.
        TScrollingWinControl::Dispatch(Message);
        const bool alt = (Message.LParam & (1 << 29)) != 0;
        const char key = static_cast<char>(Message.WParam & 0xFF);
        if (Message.Result == 0 && alt && HandleAllocated() && MenuBarHasAccelerator(Handle(), key)) {
            Message.Result = 1;
            SendMessageA(Handle(), WM_SYSCOMMAND, SC_KEYMENU, static_cast<unsigned char>(key));
        }
        return;
    }
    case WM_CLOSE:
        Close();
        return;
    case CM_RELEASE:
        TComponent::Free(this);
        return;
    case CM_DIALOGKEY:
        DialogKey(Message);
        return;
    case WM_ACTIVATE:
        SetActive(LOWORD(Message.WParam) != WA_INACTIVE);
        return;
    case CM_ACTIVATE:
        Activate();
        return;
    case CM_DEACTIVATE:
        Deactivate();
        return;
    case WM_GETMINMAXINFO: {
        auto* info = reinterpret_cast<MINMAXINFO*>(Message.LParam);
        if (info && Constraints()->MinWidth() > 0)
            info->ptMinTrackSize.X = Constraints()->MinWidth();
        if (info && Constraints()->MinHeight() > 0)
            info->ptMinTrackSize.Y = Constraints()->MinHeight();
        if (info && Constraints()->MaxWidth() > 0)
            info->ptMaxTrackSize.X = Constraints()->MaxWidth();
        if (info && Constraints()->MaxHeight() > 0)
            info->ptMaxTrackSize.Y = Constraints()->MaxHeight();
        return;
    }
    default:
        TScrollingWinControl::Dispatch(Message);
    }
}

// --- TForm ------------------------------------------------------------------------------------------------------

TForm::TForm(TComponent* AOwner) : TCustomForm(AOwner) {}
