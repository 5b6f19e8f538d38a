#include "platform/gui/WinControl.h"

#include "platform/gui/Form.h"
#include "platform/gui/GdiDraw.h"
#include "platform/gui/ListBox.h"
#include "platform/gui/Menus.h"
#include "platform/gui/Regions.h"
#include "platform/gui/ScrollBar.h"
#include "platform/gui/Timer.h"
#include "platform/gui/WindowFunctions.h"
#include "platform/gui/WindowHandles.h"
#include "platform/gui/private/ControlHost.h"
#include "platform/gui/private/CursorTable.h"
#include "platform/gui/private/GdiInternals.h"
#include "platform/gui/private/HandleTable.h"
#include "platform/gui/private/HintManager.h"
#include "platform/gui/private/PaintCanvas.h"
#include "platform/gui/private/QtBridge.h"
#include "platform/gui/private/RichEditWindow.h"
#include "platform/gui/private/ScrollInfo.h"
#include "platform/gui/private/StdCtrlSupport.h"
#include "platform/gui/private/Surfaces.h"
#include "platform/rtl/TextUtils.h"

#include <QScrollBar>
#include <QWidget>

#include <algorithm>

// --- Functions of the handle table served by controls -------------------------------------------------

void DestroyControlWindow(TWinControl* control)
{
    if (auto* form = dynamic_cast<TCustomForm*>(control)) {
        form->Release();
        return;
    }
    control->DestroyHandle();
}

void ApplyWindowStyle(HWND handle, LONG_PTR oldStyle, LONG_PTR)
{
    std::shared_ptr<TWindowRecord> record = HandleTable::Find(handle);
    if (!record || !record->Control)
        return;
    TWinControl* control = record->Control;
    const LONG_PTR changed = oldStyle ^ record->Style;
    if (changed & static_cast<LONG_PTR>(WS_DISABLED))
        if (QWidget* widget = WidgetOf(control))
            widget->setEnabled(!(record->Style & static_cast<LONG_PTR>(WS_DISABLED)));
}

TObject* SenderOf(HWND handle)
{
    std::shared_ptr<TWindowRecord> record = HandleTable::Find(handle);
    return record ? record->Control : nullptr;
}

QWidget* WidgetOf(const TControl* control)
{
    return control && control->Host() ? control->Host()->Widget() : nullptr;
}

// --- TWinControl ----------------------------------------------------------------------------------------

TWinControl::TWinControl(TComponent* AOwner) : TControl(AOwner)
{
    for (SCROLLINFO& info : FScrollInfo) {
        info.nMin = 0;
        info.nMax = 100;
    }
}

TWinControl::~TWinControl()
{
    // No message reaches a control that is being destroyed.
    Destroying();
    // Children are freed with their parent, as the class library does.
    while (!FControls.empty()) {
        TControl* child = FControls.back();
        RemoveControl(child);
        TComponent::Free(child);
    }
    if (FHandle) {
        KillWindowTimers(FHandle);
        HandleTable::Release(FHandle);
        FHandle = nullptr;
        FRecord.reset();
    }
    DestroyHost();
}

HWND TWinControl::Handle()
{
    HandleNeeded();
    return FHandle;
}

void TWinControl::HandleNeeded()
{
    if (FHandle)
        return;
    CreateHandle();
}

DWORD TWinControl::WindowStyle() const
{
    if (FRecord)
        return static_cast<DWORD>(FRecord->Style);
    TCreateParams params;
    const_cast<TWinControl*>(this)->CreateParams(params);
    return params.Style;
}

DWORD TWinControl::WindowExStyle() const
{
    if (FRecord)
        return static_cast<DWORD>(FRecord->ExStyle);
    TCreateParams params;
    const_cast<TWinControl*>(this)->CreateParams(params);
    return params.ExStyle;
}

void TWinControl::CreateParams(TCreateParams& Params)
{
    Params.Caption = GetText();
    Params.Style = WS_CLIPCHILDREN | WS_CLIPSIBLINGS;
    if (FParent)
        Params.Style |= WS_CHILD;
    if (!Enabled())
        Params.Style |= WS_DISABLED;
    if (FVisible)
        Params.Style |= WS_VISIBLE;
    if (FTabStop)
        Params.Style |= WS_TABSTOP;
    Params.X = FLeft;
    Params.Y = FTop;
    Params.Width = FWidth;
    Params.Height = FHeight;
    Params.WndParent = FParent && FParent->HandleAllocated() ? FParent->FHandle : nullptr;
    Params.WinClassName = ClassName();
    Params.WindowClassStyle = CS_VREDRAW | CS_HREDRAW | CS_DBLCLKS;
}

void TWinControl::CreateHandle()
{
    CheckGuiThread();
    TCreateParams params;
    CreateParams(params);
    const bool popup = (params.Style & WS_POPUP) != 0;
    if (FParent && !popup)
        FParent->HandleNeeded();
    if (FHandle)
        return;
    ControlState.Include(csCreating);
    try {
        CreateWnd();
    } catch (...) {
        ControlState.Exclude(csCreating);
        throw;
    }
    ControlState.Exclude(csCreating);
    CreateChildHandles();
}

IHostWidget* TWinControl::CreateHost(const TCreateParams&, void* parentWidget)
{
    auto* host = new TControlHost<QWidget>(this, static_cast<QWidget*>(parentWidget));
    host->setFocusPolicy(Qt::NoFocus);
    return host;
}

void TWinControl::CreateWnd()
{
    TCreateParams params;
    CreateParams(params);
    auto record = std::make_shared<TWindowRecord>();
    record->Style = params.Style;
    record->ExStyle = params.ExStyle;
    record->ClassName = params.WinClassName.empty() ? ClassName() : params.WinClassName;
    record->Text = GetText();
    record->Control = this;
    record->Parent = params.WndParent;
    record->Proc = WNDPROC([this](HWND, UINT message, WPARAM wParam, LPARAM lParam) -> LRESULT {
        TMessage Message{message, wParam, lParam, 0};
        try {
            // A copy: the handler may free the control (Release) while it runs.
            TWndMethod method = WindowProc;
            if (method)
                method(Message);
            else
                WndProc(Message);
        } catch (...) {
            HandleApplicationException(this);
        }
        return Message.Result;
    });
    record->DefaultHook = [this](TMessage& Message) { return DefaultWindowMessage(Message); };
    FHandle = HandleTable::Allocate(record);
    FRecord = record;

    const bool topLevel = !FParent || ((params.Style & WS_POPUP) && !params.WndParent);
    QWidget* parentWidget = topLevel ? nullptr : WidgetOf(FParent);
    FHost = CreateHost(params, parentWidget);
    QWidget* widget = FHost->Widget();
    record->Widget = widget;
    widget->setMouseTracking(true);
    widget->setAttribute(Qt::WA_InputMethodEnabled, false);
    if (topLevel && (params.Style & WS_POPUP)) {
        // A tool-tip window never takes the focus or the activation, on any platform.
        Qt::WindowFlags flags = Qt::ToolTip | Qt::FramelessWindowHint | Qt::WindowDoesNotAcceptFocus |
                                Qt::WindowStaysOnTopHint;
        widget->setWindowFlags(flags);
        widget->setAttribute(Qt::WA_ShowWithoutActivating);
        widget->setFocusPolicy(Qt::NoFocus);
    }
    if (HasRetainedImage() && FHost->Widget()->inherits("QWidget"))
        EnsureSurface();

    CREATESTRUCTA create;
    create.hwndParent = params.WndParent;
    create.x = params.X;
    create.y = params.Y;
    create.cx = params.Width;
    create.cy = params.Height;
    create.style = params.Style;
    create.dwExStyle = params.ExStyle;
    create.lpszName = params.Caption.c_str();
    create.lpszClass = record->ClassName.c_str();
    // A control that only names the "LISTBOX" class gets the list box's window processing, with
    // an empty list each time its window is made.
    if (SameText(params.WinClassName, "LISTBOX") && !InheritsFrom("TCustomListBox"))
        FListBoxWindow = std::make_unique<TListBoxWindow>(this, params.Style);
    if (SameText(params.WinClassName, "RICHEDIT") || SameText(params.WinClassName, "RichEdit20A"))
        FRichEditWindow = std::make_unique<TRichEditWindow>(this, params.WinClassName, params.Style);
    SendMessageA(FHandle, WM_NCCREATE, 0, reinterpret_cast<LPARAM>(&create));
    SendMessageA(FHandle, WM_CREATE, 0, reinterpret_cast<LPARAM>(&create));

    FBareScrollBar = -1;
    if (SameText(params.WinClassName, "SCROLLBAR") && !InheritsFrom("TScrollBar"))
        FBareScrollBar = (params.Style & SBS_VERT) ? 1 : 0;
    if (params.Style & WS_VSCROLL)
        FScrollShown[1] = true;
    if (params.Style & WS_HSCROLL)
        FScrollShown[0] = true;
    UpdateNcLayout();
    if (topLevel) {
        widget->setGeometry(FLeft, FTop, std::max(FWidth, 0), std::max(FHeight, 0));
        widget->setWindowTitle(ToQString(GetText()));
    } else {
        ApplyHostGeometry();
    }
    widget->setEnabled(Enabled());
    ApplyControlCursor(this);
    if (record->AcceptsFiles || (params.ExStyle & WS_EX_ACCEPTFILES))
        widget->setAcceptDrops(true);
    if (!topLevel)
        widget->setVisible(FVisible);
    else if ((params.Style & WS_POPUP) && FVisible && !dynamic_cast<TCustomForm*>(this))
        widget->show();
    Invalidate();
}

void TWinControl::CreateChildHandles()
{
    for (TControl* child : std::vector<TControl*>(FControls)) {
        if (auto* win = dynamic_cast<TWinControl*>(child)) {
            if (win->FVisible && !win->FHandle)
                win->HandleNeeded();
        } else {
            child->UpdateHost();
        }
    }
}

void TWinControl::DestroyHandle()
{
    if (!FHandle)
        return;
    CheckGuiThread();
    ControlState.Include(csDestroyingHandle);
    for (TControl* child : std::vector<TControl*>(FControls)) {
        if (auto* win = dynamic_cast<TWinControl*>(child))
            win->DestroyHandle();
        else
            child->DestroyHost();
    }
    DestroyWnd();
    ControlState.Exclude(csDestroyingHandle);
}

void TWinControl::DestroyWnd()
{
    HWND handle = FHandle;
    if (FRichEditWindow)
        FRichEditWindow->Destroying();
    SendMessageA(handle, WM_DESTROY, 0, 0);
    SendMessageA(handle, WM_NCDESTROY, 0, 0);
    KillWindowTimers(handle);
    HandleTable::Release(handle);
    FHandle = nullptr;
    FRecord.reset();
    FScrollBars[0] = FScrollBars[1] = nullptr;
    FListBoxWindow.reset();
    FRichEditWindow.reset();
    DestroyHost();
    FSurface.reset();
    FClientValid = false;
}

void TWinControl::RecreateWnd()
{
    if (!FHandle)
        return;
    QWidget* widget = WidgetOf(this);
    const bool wasShown = widget && widget->isVisible() && !FParent;
    DestroyHandle();
    HandleNeeded();
    if (wasShown)
        if (QWidget* created = WidgetOf(this))
            created->show();
}

void TWinControl::UpdateHost()
{
    if (!FParent || !FParent->HandleAllocated())
        return;
    if (FHandle) {
        QWidget* widget = WidgetOf(this);
        if (widget && !(WindowStyle() & WS_POPUP)) {
            widget->setParent(WidgetOf(FParent));
            if (auto record = HandleTable::Find(FHandle))
                record->Parent = FParent->FHandle;
            ApplyHostGeometry();
            widget->setVisible(FVisible);
        }
        return;
    }
    if (FVisible)
        HandleNeeded();
}

bool TWinControl::ContainsControl(TControl* control) const
{
    for (TControl* c = control; c; c = c->Parent())
        if (c == this)
            return true;
    return false;
}

void TWinControl::InsertControl(TControl* control)
{
    control->FParent = this;
    FControls.push_back(control);
    if (dynamic_cast<TWinControl*>(control))
        ++FWinControlCount;
    control->FAnchorParentWidth = ClientWidth();
    control->FAnchorParentHeight = ClientHeight();
    Perform(CM_CONTROLLISTCHANGE, reinterpret_cast<WPARAM>(control), 1);
}

void TWinControl::RemoveControl(TControl* control)
{
    auto found = std::find(FControls.begin(), FControls.end(), control);
    if (found == FControls.end())
        return;
    if (auto* win = dynamic_cast<TWinControl*>(control))
        if (TCustomForm* form = GetParentForm(this))
            form->DefocusControl(win, true);
    FControls.erase(found);
    control->FParent = nullptr;
    if (dynamic_cast<TWinControl*>(control))
        --FWinControlCount;
    if (auto* win = dynamic_cast<TWinControl*>(control)) {
        if (win->HandleAllocated() && !ComponentState().Contains(csDestroying))
            win->DestroyHandle();
    } else {
        control->DestroyHost();
    }
    if (!ComponentState().Contains(csDestroying))
        Realign();
}

TControl* TWinControl::ControlAtPos(const TPoint& pos, bool allowDisabled, bool allowWinControls) const
{
    for (auto it = FControls.rbegin(); it != FControls.rend(); ++it) {
        TControl* control = *it;
        if (!allowWinControls && dynamic_cast<TWinControl*>(control))
            continue;
        if (!control->Visible() || (!allowDisabled && !control->Enabled()))
            continue;
        if (PtInRect(control->BoundsRect(), pos))
            return control;
    }
    return nullptr;
}

TControl* TWinControl::FindChildControl(const std::string& name) const
{
    for (TControl* control : FControls)
        if (SameText(control->Name(), name))
            return control;
    return nullptr;
}

void TWinControl::Broadcast(TMessage& Message)
{
    // By index, as the class library does: a handler may add or remove controls.
    for (std::size_t i = 0; i < FControls.size(); ++i) {
        TControl* control = FControls[i];
        control->WindowProc ? control->WindowProc(Message) : control->WndProc(Message);
        if (Message.Result != 0)
            return;
    }
}

namespace {

void NotifyControls(TWinControl* parent, UINT message)
{
    for (int i = 0; i < parent->ControlCount(); ++i)
        parent->Controls(i)->Perform(message, 0, 0);
}

std::vector<TWinControl*> TabList(const TWinControl* parent)
{
    std::vector<TWinControl*> list;
    for (int i = 0; i < parent->ControlCount(); ++i)
        if (auto* win = dynamic_cast<TWinControl*>(parent->Controls(i)))
            list.push_back(win);
    return list;
}

} // namespace

// Tab orders are kept as numbers; equal numbers keep the order of creation.
int TWinControl::TabOrder() const
{
    if (!FParent)
        return -1;
    std::vector<TWinControl*> list = TabList(FParent);
    std::stable_sort(list.begin(), list.end(), [](TWinControl* a, TWinControl* b) {
        return (a->FTabOrder < 0 ? 1 << 30 : a->FTabOrder) < (b->FTabOrder < 0 ? 1 << 30 : b->FTabOrder);
    });
    for (std::size_t i = 0; i < list.size(); ++i)
        if (list[i] == this)
            return static_cast<int>(i);
    return -1;
}

void TWinControl::SetTabOrder(int value)
{
    if (!FParent) {
        FTabOrder = value;
        return;
    }
    std::vector<TWinControl*> list = TabList(FParent);
    std::stable_sort(list.begin(), list.end(), [](TWinControl* a, TWinControl* b) {
        return (a->FTabOrder < 0 ? 1 << 30 : a->FTabOrder) < (b->FTabOrder < 0 ? 1 << 30 : b->FTabOrder);
    });
    list.erase(std::remove(list.begin(), list.end(), this), list.end());
    value = std::clamp(value, 0, static_cast<int>(list.size()));
    list.insert(list.begin() + value, this);
    for (std::size_t i = 0; i < list.size(); ++i)
        list[i]->FTabOrder = static_cast<int>(i);
}

void TWinControl::SetTabStop(bool value)
{
    if (value == FTabStop)
        return;
    FTabStop = value;
    Perform(CM_TABSTOPCHANGED, 0, 0);
}

void TWinControl::GetTabOrderList(std::vector<TWinControl*>& list) const
{
    std::vector<TWinControl*> children = TabList(this);
    std::stable_sort(children.begin(), children.end(), [](TWinControl* a, TWinControl* b) {
        return (a->FTabOrder < 0 ? 1 << 30 : a->FTabOrder) < (b->FTabOrder < 0 ? 1 << 30 : b->FTabOrder);
    });
    for (TWinControl* child : children) {
        list.push_back(child);
        child->GetTabOrderList(list);
    }
}

bool TWinControl::CanFocus() const
{
    TCustomForm* form = GetParentForm(this);
    if (!form)
        return false;
    for (const TControl* control = this; control != form; control = control->Parent()) {
        if (!control)
            return false;
        if (!control->Visible() || !control->Enabled())
            return false;
    }
    return true;
}

bool TWinControl::Focused() const
{
    QWidget* widget = WidgetOf(this);
    return widget && widget->hasFocus();
}

void TWinControl::SetFocus()
{
    CheckGuiThread();
    if (TCustomForm* form = GetParentForm(this)) {
        form->FocusControl(this);
        return;
    }
    if (!CanFocus() && !(FVisible && Enabled()))
        RAISE(EInvalidOperation("Cannot focus a disabled or invisible window"));
    if (QWidget* widget = WidgetOf(this))
        widget->setFocus(Qt::OtherFocusReason);
}

TWinControl* TWinControl::FindNextControl(TWinControl* CurControl, bool GoForward, bool CheckTabStop,
                                          bool CheckParent) const
{
    std::vector<TWinControl*> list;
    GetTabOrderList(list);
    if (list.empty())
        return nullptr;
    const int count = static_cast<int>(list.size());
    int start = -1;
    for (int i = 0; i < count; ++i)
        if (list[i] == CurControl)
            start = i;
    if (start < 0)
        start = GoForward ? count - 1 : 0;
    int i = start;
    do {
        if (GoForward) {
            if (++i == count)
                i = 0;
        } else {
            if (i == 0)
                i = count;
            --i;
        }
        TWinControl* candidate = list[i];
        if (candidate->CanFocus() && (!CheckTabStop || candidate->TabStop()) &&
            (!CheckParent || candidate->Parent() == this))
            return candidate;
    } while (i != start);
    return nullptr;
}

void TWinControl::SelectNext(TWinControl* CurControl, bool GoForward, bool CheckTabStop)
{
    if (TWinControl* next = FindNextControl(CurControl, GoForward, CheckTabStop, !CheckTabStop))
        next->SetFocus();
}

void TWinControl::SelectFirst()
{
    TCustomForm* form = GetParentForm(this);
    if (!form)
        return;
    if (TWinControl* first = FindNextControl(nullptr, true, true, false))
        first->SetFocus();
}

// --- Alignment -------------------------------------------------------------------------------------------

void TWinControl::DisableAlign() { ++FAlignLevel; }

void TWinControl::EnableAlign()
{
    if (FAlignLevel > 0 && --FAlignLevel == 0 && FAlignPending)
        Realign();
}

void TWinControl::Loaded()
{
    TControl::Loaded();
    if (FAlignPending && FAlignLevel == 0)
        Realign();
}

void TWinControl::Realign()
{
    if (FAlignLevel > 0 || ComponentState().Contains(csLoading)) {
        FAlignPending = true;
        return;
    }
    if (FAligning)
        return;
    FAlignPending = false;
    FAligning = true;
    try {
        TRect rect = ClientRect();
        AdjustClientRect(rect);
        AlignControls(nullptr, rect);
    } catch (...) {
        FAligning = false;
        throw;
    }
    FAligning = false;
}

void TWinControl::SetBorderWidth(int value)
{
    if (value == FBorderWidth)
        return;
    FBorderWidth = std::max(value, 0);
    Realign();
    Invalidate();
}

void TWinControl::AdjustClientRect(TRect& Rect) { InflateRect(Rect, -FBorderWidth, -FBorderWidth); }

void TWinControl::AlignControls(TControl*, TRect& Rect)
{
    const TAlign order[] = {alTop, alBottom, alLeft, alRight, alClient};
    for (TAlign align : order) {
        std::vector<TControl*> list;
        for (TControl* control : FControls)
            if (control->Align() == align && control->Visible())
                list.push_back(control);
        std::stable_sort(list.begin(), list.end(), [align](TControl* a, TControl* b) {
            switch (align) {
            case alTop:
                return a->Top() < b->Top();
            case alBottom:
                return a->Top() + a->Height() > b->Top() + b->Height();
            case alLeft:
                return a->Left() < b->Left();
            case alRight:
                return a->Left() + a->Width() > b->Left() + b->Width();
            default:
                return false;
            }
        });
        for (TControl* control : list) {
            const int width = std::max(Rect.Width(), 0);
            const int height = std::max(Rect.Height(), 0);
            switch (align) {
            case alTop:
                control->SetBounds(Rect.Left, Rect.Top, width, control->Height());
                Rect.Top += control->Height();
                break;
            case alBottom:
                control->SetBounds(Rect.Left, Rect.Bottom - control->Height(), width, control->Height());
                Rect.Bottom -= control->Height();
                break;
            case alLeft:
                control->SetBounds(Rect.Left, Rect.Top, control->Width(), height);
                Rect.Left += control->Width();
                break;
            case alRight:
                control->SetBounds(Rect.Right - control->Width(), Rect.Top, control->Width(), height);
                Rect.Right -= control->Width();
                break;
            default:
                control->SetBounds(Rect.Left, Rect.Top, width, height);
                break;
            }
        }
    }
    ApplyAnchors(0, 0);
}

void TWinControl::ApplyAnchors(int, int)
{
    const int width = ClientWidth();
    const int height = ClientHeight();
    for (TControl* control : FControls) {
        if (control->Align() != alNone)
            continue;
        if (control->FAnchorParentWidth < 0) {
            control->FAnchorParentWidth = width;
            control->FAnchorParentHeight = height;
            continue;
        }
        const int dx = width - control->FAnchorParentWidth;
        const int dy = height - control->FAnchorParentHeight;
        if (dx == 0 && dy == 0)
            continue;
        int left = control->Left();
        int top = control->Top();
        int w = control->Width();
        int h = control->Height();
        const TAnchors anchors = control->Anchors();
        if (anchors.Contains(akRight))
            anchors.Contains(akLeft) ? w += dx : left += dx;
        else if (!anchors.Contains(akLeft))
            left += dx / 2;
        if (anchors.Contains(akBottom))
            anchors.Contains(akTop) ? h += dy : top += dy;
        else if (!anchors.Contains(akTop))
            top += dy / 2;
        control->SetBounds(left, top, std::max(w, 0), std::max(h, 0));
        control->FAnchorParentWidth = width;
        control->FAnchorParentHeight = height;
    }
}

// --- Bounds, visibility, state --------------------------------------------------------------------------------

void TWinControl::SetBounds(int ALeft, int ATop, int AWidth, int AHeight)
{
    CheckGuiThread();
    if (FHandle && (ALeft != FLeft || ATop != FTop || AWidth != FWidth || AHeight != FHeight)) {
        WINDOWPOS pos;
        pos.hwnd = FHandle;
        pos.x = ALeft;
        pos.y = ATop;
        pos.cx = AWidth;
        pos.cy = AHeight;
        SendMessageA(FHandle, WM_WINDOWPOSCHANGING, 0, reinterpret_cast<LPARAM>(&pos));
        ALeft = pos.x;
        ATop = pos.y;
        AWidth = pos.cx;
        AHeight = pos.cy;
    }
    TControl::SetBounds(ALeft, ATop, AWidth, AHeight);
}

void TWinControl::BoundsChanged(bool moved, bool resized)
{
    if (resized)
        FClientValid = false;
    if (!FHandle) {
        if (resized) {
            Realign();
            if (!ComponentState().Contains(csLoading))
                Resize();
        }
        return;
    }
    if (resized) {
        SendMessageA(FHandle, WM_SIZE, SIZE_RESTORED,
                     MAKELPARAM(static_cast<WORD>(ClientWidth()), static_cast<WORD>(ClientHeight())));
    }
    if (moved)
        SendMessageA(FHandle, WM_MOVE, 0, MAKELPARAM(static_cast<WORD>(FLeft), static_cast<WORD>(FTop)));
    WINDOWPOS pos;
    pos.hwnd = FHandle;
    pos.x = FLeft;
    pos.y = FTop;
    pos.cx = FWidth;
    pos.cy = FHeight;
    SendMessageA(FHandle, WM_WINDOWPOSCHANGED, 0, reinterpret_cast<LPARAM>(&pos));
}

void TWinControl::SetVisible(bool value)
{
    if (value == FVisible)
        return;
    TControl::SetVisible(value);
    if (value && !FHandle && FParent && FParent->HandleAllocated())
        HandleNeeded();
    if (FHandle && !FParent)
        if (QWidget* widget = WidgetOf(this))
            widget->setVisible(value);
    // A popup remembers the control that had the focus: a press elsewhere cancels its mode.
    if (FHandle && (WindowStyle() & WS_POPUP) && !dynamic_cast<TCustomForm*>(this)) {
        if (value)
            Popups::Shown(this);
        else
            Popups::Hidden(this);
    }
}

void TWinControl::SetEnabled(bool value)
{
    // The window's style first: the control's enabled-changed handling may set it again.
    if (FHandle && value != Enabled())
        if (auto record = HandleTable::Find(FHandle)) {
            if (value)
                record->Style &= ~static_cast<LONG_PTR>(WS_DISABLED);
            else
                record->Style |= WS_DISABLED;
        }
    TControl::SetEnabled(value);
}

void TWinControl::SetParent(TWinControl* AParent) { TControl::SetParent(AParent); }

// --- Client area and non-client frame ----------------------------------------------------------------------------

void TWinControl::NcCalcSize(TRect& rect) const
{
    const DWORD style = WindowStyle();
    const DWORD exStyle = WindowExStyle();
    const bool child = FParent != nullptr || (style & WS_POPUP);
    if (child) {
        if (style & WS_BORDER)
            InflateRect(rect, -1, -1);
        if (exStyle & WS_EX_CLIENTEDGE)
            InflateRect(rect, -2, -2);
    }
    if (FScrollShown[1])
        rect.Right -= 16;
    if (FScrollShown[0])
        rect.Bottom -= 16;
    rect.Right = std::max(rect.Right, rect.Left);
    rect.Bottom = std::max(rect.Bottom, rect.Top);
}

TRect TWinControl::ClientRectInWindow() const
{
    if (!FClientValid) {
        TRect rect = Rect(0, 0, FWidth, FHeight);
        NcCalcSize(rect);
        const_cast<TWinControl*>(this)->FClientInWindow = rect;
        const_cast<TWinControl*>(this)->FClientValid = !FHandle;
        if (FHandle) {
            const_cast<TWinControl*>(this)->UpdateNcLayout();
            return FClientInWindow;
        }
    }
    return FClientInWindow;
}

void TWinControl::UpdateNcLayout()
{
    if (!FHandle)
        return;
    NCCALCSIZE_PARAMS params;
    params.rgrc[0] = Rect(0, 0, FWidth, FHeight);
    FClientValid = true;
    FClientInWindow = params.rgrc[0];
    SendMessageA(FHandle, WM_NCCALCSIZE, FALSE, reinterpret_cast<LPARAM>(&params));
    TRect client = params.rgrc[0];
    client.Right = std::max(client.Right, client.Left);
    client.Bottom = std::max(client.Bottom, client.Top);
    FClientInWindow = client;
    if (FSurface)
        FSurface->ClientRect = ToQRect(client);
    if (Host())
        Host()->ClientAreaChanged(client, FWidth, FHeight);
    LayoutScrollBars();
}

TRect TWinControl::ClientRect() const
{
    const TRect inWindow = ClientRectInWindow();
    return Rect(0, 0, inWindow.Width(), inWindow.Height());
}

TPoint TWinControl::ClientOrigin() const
{
    const TRect inWindow = ClientRectInWindow();
    if (!FParent || (FHandle && (WindowStyle() & WS_POPUP) && !(WindowStyle() & WS_CHILD))) {
        QWidget* widget = WidgetOf(this);
        if (widget && widget->isWindow()) {
            const QPoint origin = widget->mapToGlobal(QPoint(inWindow.Left, inWindow.Top));
            return {origin.x(), origin.y()};
        }
        return {FLeft + inWindow.Left, FTop + inWindow.Top};
    }
    const TPoint parentOrigin = FParent->ClientOrigin();
    return {parentOrigin.X + FLeft + inWindow.Left, parentOrigin.Y + FTop + inWindow.Top};
}

void TWinControl::FrameChanged()
{
    FClientValid = false;
    if (!FHandle)
        return;
    UpdateNcLayout();
    Realign();
    Invalidate();
}

void TWinControl::SetScrollBarState(int bar, bool shown, bool enabled)
{
    const int index = bar == SB_VERT ? 1 : 0;
    const bool layoutChanged = FScrollShown[index] != shown;
    FScrollShown[index] = shown;
    FScrollEnabled[index] = enabled;
    if (layoutChanged) {
        FClientValid = false;
        if (FHandle) {
            UpdateNcLayout();
            Realign();
            Invalidate();
        }
    } else {
        LayoutScrollBars();
    }
}

void TWinControl::LayoutScrollBars()
{
    QWidget* widget = WidgetOf(this);
    if (!widget)
        return;
    const TRect client = FClientInWindow;
    for (int index = 0; index < 2; ++index) {
        auto* bar = static_cast<QScrollBar*>(FScrollBars[index]);
        const bool shown = FBareScrollBar >= 0 ? index == FBareScrollBar : FScrollShown[index];
        if (!shown) {
            if (bar)
                bar->hide();
            continue;
        }
        if (!bar) {
            bar = new QScrollBar(index == 1 ? Qt::Vertical : Qt::Horizontal, widget);
            bar->setFocusPolicy(Qt::NoFocus);
            FScrollBars[index] = bar;
            const int which = index == 1 ? SB_VERT : SB_HORZ;
            const UINT message = index == 1 ? WM_VSCROLL : WM_HSCROLL;
            QObject::connect(bar, &QAbstractSlider::actionTriggered, bar, [this, bar, which, message](int action) {
                WORD code = SB_ENDSCROLL;
                switch (action) {
                case QAbstractSlider::SliderSingleStepAdd:
                    code = SB_LINEDOWN;
                    break;
                case QAbstractSlider::SliderSingleStepSub:
                    code = SB_LINEUP;
                    break;
                case QAbstractSlider::SliderPageStepAdd:
                    code = SB_PAGEDOWN;
                    break;
                case QAbstractSlider::SliderPageStepSub:
                    code = SB_PAGEUP;
                    break;
                case QAbstractSlider::SliderToMinimum:
                    code = SB_TOP;
                    break;
                case QAbstractSlider::SliderToMaximum:
                    code = SB_BOTTOM;
                    break;
                case QAbstractSlider::SliderMove: {
                    ScrollInfo(which).nTrackPos = bar->sliderPosition();
                    SendScrollAction(message, MAKEWPARAM(SB_THUMBTRACK, static_cast<WORD>(bar->sliderPosition())));
                    return;
                }
                default:
                    return;
                }
                // The bar moves only when the window's code sets the position.
                bar->setSliderPosition(bar->value());
                SendScrollAction(message, MAKEWPARAM(code, 0));
                SendScrollAction(message, MAKEWPARAM(SB_ENDSCROLL, 0));
            });
            QObject::connect(bar, &QAbstractSlider::sliderReleased, bar, [this, bar, which, message] {
                const int track = bar->sliderPosition();
                ScrollInfo(which).nTrackPos = track;
                HWND handle = FHandle;
                SendScrollAction(message, MAKEWPARAM(SB_THUMBPOSITION, static_cast<WORD>(track)));
                SendScrollAction(message, MAKEWPARAM(SB_ENDSCROLL, 0));
                if (HandleTable::Find(handle))
                    bar->setSliderPosition(ScrollInfo(which).nPos);
            });
        }
        const SCROLLINFO& info = FScrollInfo[index];
        const int maxPos = info.nMax - std::max(static_cast<int>(info.nPage) - 1, 0);
        bar->blockSignals(true);
        bar->setRange(info.nMin, std::max(maxPos, info.nMin));
        bar->setPageStep(std::max(static_cast<int>(info.nPage), 1));
        bar->setValue(info.nPos);
        bar->blockSignals(false);
        bar->setEnabled(FScrollEnabled[index]);
        if (FBareScrollBar >= 0)
            bar->setGeometry(0, 0, FWidth, FHeight);
        else if (index == 1)
            bar->setGeometry(client.Right, client.Top, 16, client.Height());
        else
            bar->setGeometry(client.Left, client.Bottom, client.Width(), 16);
        bar->show();
    }
}

void TWinControl::SendScrollAction(UINT message, WPARAM wParam)
{
    HWND handle = FHandle;
    if (!handle)
        return;
    // A scroll-bar window tells its parent, naming itself; a window's own bars tell the window.
    if (FBareScrollBar >= 0) {
        if (FParent && FParent->HandleAllocated())
            SendMessageA(FParent->Handle(), message, wParam, reinterpret_cast<LPARAM>(handle));
        return;
    }
    SendMessageA(handle, message, wParam, 0);
}

bool TWinControl::BareScrollBarMessage(TMessage& Message)
{
    const int bar = FBareScrollBar == 1 ? SB_VERT : SB_HORZ;
    SCROLLINFO& info = ScrollInfo(bar);
    auto apply = [&](const SCROLLINFO& source) {
        MergeScrollInfo(info, source);
        LayoutScrollBars();
    };
    switch (Message.Msg) {
    case SBM_SETSCROLLINFO:
        if (const auto* source = reinterpret_cast<const SCROLLINFO*>(Message.LParam))
            apply(*source);
        Message.Result = info.nPos;
        return true;
    case SBM_GETSCROLLINFO:
        if (auto* target = reinterpret_cast<SCROLLINFO*>(Message.LParam))
            ReadScrollInfo(info, *target);
        Message.Result = TRUE;
        return true;
    case SBM_SETPOS: {
        const LRESULT previous = info.nPos;
        SCROLLINFO source{};
        source.fMask = SIF_POS;
        source.nPos = static_cast<int>(Message.WParam);
        apply(source);
        Message.Result = previous;
        return true;
    }
    case SBM_GETPOS:
        Message.Result = info.nPos;
        return true;
    case SBM_SETRANGE:
    case SBM_SETRANGEREDRAW: {
        SCROLLINFO source{};
        source.fMask = SIF_RANGE;
        source.nMin = static_cast<int>(Message.WParam);
        source.nMax = static_cast<int>(Message.LParam);
        apply(source);
        Message.Result = info.nPos;
        return true;
    }
    case SBM_GETRANGE:
        if (Message.WParam)
            *reinterpret_cast<int*>(Message.WParam) = info.nMin;
        if (Message.LParam)
            *reinterpret_cast<int*>(Message.LParam) = info.nMax;
        Message.Result = TRUE;
        return true;
    default:
        return false;
    }
}

void TWinControl::PaintNonClient()
{
    if (!FSurface || FSurface->Image.isNull())
        return;
    QPainter painter(&FSurface->Image);
    const DWORD style = WindowStyle();
    const DWORD exStyle = WindowExStyle();
    QRect frame(0, 0, FWidth, FHeight);
    if (FParent || (style & WS_POPUP)) {
        if (style & WS_BORDER) {
            painter.setPen(ToQColor(clWindowFrame));
            painter.drawRect(frame.adjusted(0, 0, -1, -1));
            frame.adjust(1, 1, -1, -1);
        }
        if (exStyle & WS_EX_CLIENTEDGE) {
            auto edge = [&](TColor topLeft, TColor bottomRight) {
                painter.setPen(ToQColor(topLeft));
                painter.drawLine(frame.left(), frame.bottom(), frame.left(), frame.top());
                painter.drawLine(frame.left(), frame.top(), frame.right(), frame.top());
                painter.setPen(ToQColor(bottomRight));
                painter.drawLine(frame.right(), frame.top(), frame.right(), frame.bottom());
                painter.drawLine(frame.right(), frame.bottom(), frame.left(), frame.bottom());
                frame.adjust(1, 1, -1, -1);
            };
            edge(clBtnShadow, clBtnHighlight);
            edge(cl3DDkShadow, cl3DLight);
        }
    }
    if (FScrollShown[0] && FScrollShown[1])
        painter.fillRect(QRect(FClientInWindow.Right, FClientInWindow.Bottom, 16, 16), ToQColor(clBtnFace));
}

void TWinControl::SendNcPaint()
{
    if (FHandle)
        SendMessageA(FHandle, WM_NCPAINT, 1, 0);
}

// --- Painting ----------------------------------------------------------------------------------------------------

void TWinControl::Invalidate() { TControl::Invalidate(); }

void TWinControl::Update() { TControl::Update(); }

void TWinControl::PaintControl()
{
    QWidget* widget = WidgetOf(this);
    if (!widget || !FSurface || !FHandle)
        return;
    TSurface& surface = *FSurface;
    surface.EnsureSize(widget->size());
    if (surface.Pending.isEmpty())
        return;
    const TRect client = ClientRectInWindow();
    const QRect clientRect = ToQRect(client);
    const QRegion region = surface.Pending & clientRect;
    surface.Pending = QRegion();
    if (region.isEmpty())
        return;
    QPainter painter(&surface.Image);
    painter.setClipRegion(region);
    painter.translate(client.Left, client.Top);
    surface.ClientRect = clientRect;
    surface.PaintRect = region.boundingRect().translated(-client.Left, -client.Top);
    surface.PaintErase = !ControlStyle.Contains(csOpaque);
    QPainter* previous = surface.PaintPainter;
    surface.PaintPainter = &painter;
    HWND handle = FHandle;
    struct TRestore {
        TSurface& Surface;
        QPainter* Previous;
        ~TRestore() { Surface.PaintPainter = Previous; }
    } restore{surface, previous};
    if (surface.PaintErase)
        SendMessageA(handle, WM_ERASEBKGND, 0, 0);
    SendMessageA(handle, WM_PAINT, 0, 0);
}

void TWinControl::PaintTo(HDC DC, int X, int Y)
{
    auto* painter = static_cast<QPainter*>(DC);
    QWidget* widget = WidgetOf(this);
    if (!painter || !widget)
        return;
    PaintControl();
    widget->render(painter, QPoint(X, Y), QRegion(), QWidget::DrawChildren);
}

void TWinControl::PaintIntoContext(HDC dc)
{
    PaintClientInto(this, dc);
    for (TControl* child : std::vector<TControl*>(FControls)) {
        if (!dynamic_cast<TGraphicControl*>(child) || !child->Visible())
            continue;
        const int saved = SaveDC(dc);
        IntersectClipRect(dc, child->Left(), child->Top(), child->Left() + child->Width(),
                          child->Top() + child->Height());
        OffsetViewportOrgEx(dc, child->Left(), child->Top(), nullptr);
        PaintClientInto(child, dc);
        RestoreDC(dc, saved);
    }
}

void TWinControl::PaintClientInto(TControl* control, HDC dc)
{
    const int width = control->ClientWidth();
    const int height = control->ClientHeight();
    if (width <= 0 || height <= 0)
        return;
    // The control paints as it paints its window, on a stand-in for its retained image that holds
    // what the context shows under the client area, so that what Paint leaves alone stays.
    const QPoint client = ClientOffset(control);
    const QRect clientRect(client, QSize(width, height));
    auto stage = std::make_unique<TSurface>();
    stage->Image = QImage(QSize(std::max(control->Width(), clientRect.right() + 1),
                                std::max(control->Height(), clientRect.bottom() + 1)),
                          QImage::Format_ARGB32_Premultiplied);
    stage->Image.fill(Qt::black);
    stage->ClientRect = clientRect;
    stage->PaintRect = QRect(0, 0, width, height);
    auto copyBetween = [&](HDC destination, HDC source, bool intoStage) {
        HDC stageDC = Gdi::CreateImageDC([&](TDcSurface& surface) {
            surface.Image = &stage->Image;
            surface.Origin = {client.x(), client.y()};
            surface.Bounds = clientRect;
            return true;
        });
        if (intoStage)
            BitBlt(stageDC, 0, 0, width, height, source, 0, 0, SRCCOPY);
        else
            BitBlt(destination, 0, 0, width, height, stageDC, 0, 0, SRCCOPY);
        DeleteDC(stageDC);
    };
    copyBetween(nullptr, dc, true);

    {
        std::swap(control->FSurface, stage);
        // Gives the control its own surface back however Paint ends (after the painter closed).
        struct TRestore {
            TControl* Control;
            std::unique_ptr<TSurface>& Stage;
            ~TRestore()
            {
                Control->FSurface->PaintPainter = nullptr;
                std::swap(Control->FSurface, Stage);
            }
        } restore{control, stage};
        QPainter painter(&control->FSurface->Image);
        painter.setClipRect(clientRect);
        painter.translate(client);
        control->FSurface->PaintPainter = &painter;
        control->PaintMessage();
    }
    copyBetween(dc, nullptr, false);
}

// --- Messages -------------------------------------------------------------------------------------------------------

bool TWinControl::DefaultWindowMessage(TMessage& Message)
{
    if (FBareScrollBar >= 0 && BareScrollBarMessage(Message))
        return true;
    if (FListBoxWindow && FListBoxWindow->WindowMessage(Message))
        return true;
    switch (Message.Msg) {
    case WM_ERASEBKGND:
        if (HDC dc = reinterpret_cast<HDC>(Message.WParam); dc && IsDeviceContext(dc)) {
            const RECT client{0, 0, ClientWidth(), ClientHeight()};
            HBRUSH brush = CreateSolidBrush(ColorToRGB(Color()));
            FillRect(dc, &client, brush);
            DeleteObject(brush);
        } else if (FSurface && FSurface->PaintPainter) {
            const TRect client = ClientRectInWindow();
            FSurface->PaintPainter->fillRect(QRect(0, 0, client.Width(), client.Height()), ToQColor(Color()));
        }
        Message.Result = 1;
        return true;
    case WM_NCCALCSIZE: {
        auto* params = reinterpret_cast<NCCALCSIZE_PARAMS*>(Message.LParam);
        if (params)
            NcCalcSize(params->rgrc[0]);
        Message.Result = 0;
        return true;
    }
    case WM_NCPAINT:
        PaintNonClient();
        return true;
    case WM_NCHITTEST: {
        const TPoint screen{GET_X_LPARAM(Message.LParam), GET_Y_LPARAM(Message.LParam)};
        const TPoint origin = ClientOrigin();
        const TRect client = ClientRectInWindow();
        const TPoint local{screen.X - origin.X + client.Left, screen.Y - origin.Y + client.Top};
        if (PtInRect(client, local))
            Message.Result = HTCLIENT;
        else if (FScrollShown[1] && local.X >= client.Right && local.X < client.Right + 16 && local.Y < client.Bottom)
            Message.Result = HTVSCROLL;
        else if (FScrollShown[0] && local.Y >= client.Bottom && local.Y < client.Bottom + 16)
            Message.Result = HTHSCROLL;
        else if (PtInRect(Rect(0, 0, FWidth, FHeight), local))
            Message.Result = HTBORDER;
        else
            Message.Result = HTNOWHERE;
        return true;
    }
    case WM_MOUSEWHEEL:
    case WM_CONTEXTMENU:
        if (FParent) {
            if (FParent->HandleAllocated())
                Message.Result = SendMessageA(FParent->Handle(), Message.Msg, Message.WParam, Message.LParam);
            else
                Message.Result = FParent->Perform(Message.Msg, Message.WParam, Message.LParam);
        }
        return true;
    case WM_SYSCOMMAND: {
        QWidget* widget = WidgetOf(this);
        switch (Message.WParam & 0xFFF0) {
        case SC_MINIMIZE:
            if (widget)
                widget->showMinimized();
            return true;
        case SC_MAXIMIZE:
            if (widget)
                widget->showMaximized();
            return true;
        case SC_RESTORE:
            if (widget)
                widget->showNormal();
            return true;
        case SC_CLOSE:
            if (FHandle)
                SendMessageA(FHandle, WM_CLOSE, 0, 0);
            return true;
        default:
            return true;
        }
    }
    case WM_CLOSE:
        DestroyControlWindow(this);
        return true;
    default:
        return false;
    }
}

bool TWinControl::RichEditWindowMessage(TMessage& Message)
{
    return FRichEditWindow && FRichEditWindow->WindowMessage(Message);
}

void TWinControl::DefaultHandler(TMessage& Message)
{
    if (RichEditWindowMessage(Message))
        return;
    switch (Message.Msg) {
    case WM_SETTEXT:
        TControl::DefaultHandler(Message);
        if (FHandle) {
            if (auto record = HandleTable::Find(FHandle))
                record->Text = GetText();
            if (QWidget* widget = WidgetOf(this); widget && widget->isWindow())
                widget->setWindowTitle(ToQString(GetText()));
            if (FHost)
                FHost->DefaultMessage(Message);
        }
        return;
    case WM_GETTEXT:
    case WM_GETTEXTLENGTH:
        TControl::DefaultHandler(Message);
        return;
    default:
        break;
    }
    if (FHost && FHost->DefaultMessage(Message))
        return;
    if (FRecord) {
        Message.Result = DefaultWindowProcedure(FRecord, Message.Msg, Message.WParam, Message.LParam);
        return;
    }
    DefaultWindowMessage(Message);
}

bool TWinControl::IsMenuKey(TMessage& Message)
{
    // Most keys meet no menu at all; F10 may still open a menu bar set on the window directly.
    bool anyMenu = Message.WParam == VK_F10;
    for (TControl* c = this; c && !anyMenu; c = c->Parent())
        anyMenu = c->PopupMenu != nullptr;
    if (!anyMenu)
        if (TCustomForm* form = ParentFormOf(this))
            anyMenu = static_cast<TMainMenu*>(form->Menu) != nullptr;
    return anyMenu && MenuKeyShortCut(this, Message);
}

TWinControl* TWinControl::NotifyingChild(const TMessage& Message) const
{
    HWND window = nullptr;
    switch (Message.Msg) {
    case WM_COMMAND:
    case WM_HSCROLL:
    case WM_VSCROLL:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORSCROLLBAR:
    case WM_CTLCOLORSTATIC:
        // Without a window the message comes from a menu, an accelerator or the window's own
        // scroll bars.
        window = reinterpret_cast<HWND>(Message.LParam);
        break;
    case WM_NOTIFY:
        if (Message.LParam)
            window = reinterpret_cast<const NMHDR*>(Message.LParam)->hwndFrom;
        break;
    case WM_DRAWITEM: {
        const auto* draw = reinterpret_cast<const DRAWITEMSTRUCT*>(Message.LParam);
        if (draw && draw->CtlType != ODT_MENU)
            window = draw->hwndItem;
        break;
    }
    case WM_MEASUREITEM: {
        // The structure has no window: the item's control is found by its identifier.
        const auto* measure = reinterpret_cast<const MEASUREITEMSTRUCT*>(Message.LParam);
        if (!measure || measure->CtlType == ODT_MENU)
            return nullptr;
        for (TControl* control : FControls)
            if (auto* child = dynamic_cast<TWinControl*>(control);
                child && static_cast<UINT>(StdCtrl::ControlId(child)) == measure->CtlID)
                return child;
        return nullptr;
    }
    default:
        return nullptr;
    }
    if (!window)
        return nullptr;
    TWinControl* child = FindControl(window);
    return child != this ? child : nullptr;
}

void TWinControl::Dispatch(TMessage& Message)
{
    // Notifications go back to the child that sent them, as CN_ messages its class handles.
    if (TWinControl* child = NotifyingChild(Message)) {
        Message.Result = child->Perform(CN_BASE + Message.Msg, Message.WParam, Message.LParam);
        // The control that sent the notification must not reflect it to itself a second time.
        StdCtrl::MarkReflected();
        return;
    }
    switch (Message.Msg) {
    case WM_PAINT:
        if (HDC dc = reinterpret_cast<HDC>(Message.WParam); dc && IsDeviceContext(dc)) {
            PaintIntoContext(dc);
            return;
        }
        if (FSurface && FSurface->PaintPainter) {
            // The window class paints first, as its window procedure would, then the control.
            if (FListBoxWindow)
                FListBoxWindow->PaintWindow();
            PaintMessage();
            return;
        }
        DefaultHandler(Message);
        return;
    case WM_SIZE:
        DefaultHandler(Message);
        FClientValid = false;
        UpdateNcLayout();
        Realign();
        if (!ComponentState().Contains(csLoading))
            Resize();
        return;
    case CN_KEYDOWN:
    case CN_SYSKEYDOWN: {
        Message.Result = 1;
        if (IsMenuKey(Message))
            return;
        TCMDialogKey key(Message);
        const WORD code = key.CharCode;
        if (code == VK_APPS || (code == VK_F10 && GetKeyState(VK_SHIFT) < 0)) {
            Perform(WM_CONTEXTMENU, reinterpret_cast<WPARAM>(HandleAllocated() ? Handle() : nullptr), -1);
            return;
        }
        if (Perform(CM_CHILDKEY, code, reinterpret_cast<LPARAM>(this)) != 0)
            return;
        LRESULT mask = 0;
        switch (code) {
        case VK_TAB:
            mask = DLGC_WANTTAB;
            break;
        case VK_LEFT:
        case VK_RIGHT:
        case VK_UP:
        case VK_DOWN:
            mask = DLGC_WANTARROWS;
            break;
        case VK_RETURN:
        case VK_ESCAPE:
        case VK_CANCEL:
            mask = DLGC_WANTALLKEYS;
            break;
        default:
            break;
        }
        if (mask != 0 && Perform(CM_WANTSPECIALKEY, code, Message.LParam) == 0 &&
            (Perform(WM_GETDLGCODE, 0, 0) & mask) == 0) {
            if (TCustomForm* form = ParentFormOf(this))
                if (form->Perform(CM_DIALOGKEY, code, Message.LParam) != 0)
                    return;
        }
        Message.Result = 0;
        return;
    }
    case CN_CHAR:
    case CN_SYSCHAR: {
        Message.Result = 1;
        const unsigned char ch = static_cast<unsigned char>(Message.WParam & 0xFF);
        const bool letter = (ch >= 'A' && ch <= 'Z') || (ch >= 'a' && ch <= 'z');
        const bool alt = Message.Msg == CN_SYSCHAR;
        if (alt || (letter && (Perform(WM_GETDLGCODE, 0, 0) & DLGC_WANTCHARS) == 0))
            if (TCustomForm* form = ParentFormOf(this))
                if (form->Perform(CM_DIALOGCHAR, Message.WParam, Message.LParam) != 0)
                    return;
        Message.Result = 0;
        return;
    }
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN:
        if (!DoKeyDown(Message))
            DefaultHandler(Message);
        return;
    case WM_KEYUP:
    case WM_SYSKEYUP:
        if (!DoKeyUp(Message))
            DefaultHandler(Message);
        return;
    case WM_CHAR:
    case WM_SYSCHAR:
        if (!DoKeyPress(Message))
            DefaultHandler(Message);
        return;
    case CM_CHILDKEY:
        if (FParent)
            Message.Result = FParent->Perform(CM_CHILDKEY, Message.WParam, Message.LParam);
        return;
    case CM_ENTER:
        DoEnter();
        return;
    case CM_EXIT:
        DoExit();
        return;
    case CM_FONTCHANGED:
        NotifyControls(this, CM_PARENTFONTCHANGED);
        return;
    case CM_COLORCHANGED:
        NotifyControls(this, CM_PARENTCOLORCHANGED);
        Invalidate();
        return;
    case CM_SHOWHINTCHANGED:
        NotifyControls(this, CM_PARENTSHOWHINTCHANGED);
        return;
    case CM_DIALOGKEY:
    case CM_DIALOGCHAR:
        Broadcast(Message);
        return;
    case CM_SYSCOLORCHANGE:
    case CM_WININICHANGE:
        Broadcast(Message);
        Message.Result = 0;
        return;
    default:
        TControl::Dispatch(Message);
    }
}

bool TWinControl::DoKeyDown(TMessage& Message)
{
    TCustomForm* form = ParentFormOf(this);
    if (form && form != this && form->KeyPreview && static_cast<TWinControl*>(form)->DoKeyDown(Message))
        return true;
    TWMKey key(Message);
    if (!ControlStyle.Contains(csNoStdEvents)) {
        WORD code = key.CharCode;
        KeyDown(code, KeyDataToShiftState(key.KeyData));
        key.CharCode = code;
        if (code == 0)
            return true;
    }
    return false;
}

bool TWinControl::DoKeyUp(TMessage& Message)
{
    TCustomForm* form = ParentFormOf(this);
    if (form && form != this && form->KeyPreview && static_cast<TWinControl*>(form)->DoKeyUp(Message))
        return true;
    TWMKey key(Message);
    if (!ControlStyle.Contains(csNoStdEvents)) {
        WORD code = key.CharCode;
        KeyUp(code, KeyDataToShiftState(key.KeyData));
        key.CharCode = code;
        if (code == 0)
            return true;
    }
    return false;
}

bool TWinControl::DoKeyPress(TMessage& Message)
{
    TCustomForm* form = ParentFormOf(this);
    if (form && form != this && form->KeyPreview && static_cast<TWinControl*>(form)->DoKeyPress(Message))
        return true;
    TWMKey key(Message);
    if (!ControlStyle.Contains(csNoStdEvents)) {
        char ch = static_cast<char>(static_cast<WORD>(key.CharCode) & 0xFF);
        KeyPress(ch);
        key.CharCode = static_cast<WORD>(static_cast<unsigned char>(ch));
        if (ch == 0)
            return true;
    }
    return false;
}

void TWinControl::KeyDown(WORD& Key, TShiftState Shift)
{
    if (OnKeyDown)
        OnKeyDown(this, Key, Shift);
}

void TWinControl::KeyPress(char& Key)
{
    if (OnKeyPress)
        OnKeyPress(this, Key);
}

void TWinControl::KeyUp(WORD& Key, TShiftState Shift)
{
    if (OnKeyUp)
        OnKeyUp(this, Key, Shift);
}

void TWinControl::DoEnter()
{
    if (OnEnter)
        OnEnter(this);
}

void TWinControl::DoExit()
{
    if (OnExit)
        OnExit(this);
}

// --- TCustomControl -------------------------------------------------------------------------------------------------

TCustomControl::TCustomControl(TComponent* AOwner) : TWinControl(AOwner) {}

TCustomControl::~TCustomControl() = default;

TCanvas* TCustomControl::Canvas()
{
    if (!FCanvas)
        FCanvas = std::make_unique<TPaintCanvas>(this);
    return FCanvas.get();
}

void TCustomControl::PaintMessage()
{
    Canvas();
    FCanvas->RunPaint([this] { Paint(); });
}

// --- TControlScrollBar and TScrollingWinControl ---------------------------------------------------------------------

TControlScrollBar::TControlScrollBar(TScrollingWinControl* control, TScrollBarKind kind)
    : FControl(control), FKind(kind)
{
}

void TControlScrollBar::SetRange(int value)
{
    FRange = std::max(value, 0);
    FRangeFromChildren = false;
    Update();
}

void TControlScrollBar::SetPosition(int value)
{
    const int client = FKind == sbHorizontal ? FControl->ClientWidth() : FControl->ClientHeight();
    value = std::clamp(value, 0, std::max(FRange - client, 0));
    if (value == FPosition)
        return;
    const int delta = FPosition - value;
    FPosition = value;
    if (FKind == sbHorizontal)
        FControl->ScrollBy(delta, 0);
    else
        FControl->ScrollBy(0, delta);
    Update();
}

void TControlScrollBar::SetVisible(bool value)
{
    FVisible = value;
    Update();
}

bool TControlScrollBar::IsScrollBarVisible() const
{
    const int client = FKind == sbHorizontal ? FControl->ClientWidth() : FControl->ClientHeight();
    return FVisible && FRange > client + (FControl->ScrollBarShown(FKind == sbHorizontal ? SB_HORZ : SB_VERT) ? 0 : 0);
}

void TControlScrollBar::Update()
{
    if (!FControl->HandleAllocated())
        return;
    const int bar = FKind == sbHorizontal ? SB_HORZ : SB_VERT;
    const TRect window = Rect(0, 0, FControl->Width(), FControl->Height());
    const int extent = FKind == sbHorizontal ? window.Width() : window.Height();
    SCROLLINFO info;
    info.fMask = SIF_ALL;
    info.nMin = 0;
    info.nMax = std::max(FRange - 1, 0);
    info.nPage = static_cast<UINT>(std::max(FKind == sbHorizontal ? FControl->ClientWidth() : FControl->ClientHeight(), 0));
    info.nPos = FPosition;
    if (!FVisible || FRange <= extent)
        info.nMax = 0;
    SetScrollInfo(FControl->Handle(), bar, info, TRUE);
}

TScrollingWinControl::TScrollingWinControl(TComponent* AOwner)
    : TWinControl(AOwner), FHorzScrollBar(std::make_unique<TControlScrollBar>(this, sbHorizontal)),
      FVertScrollBar(std::make_unique<TControlScrollBar>(this, sbVertical))
{
}

TScrollingWinControl::~TScrollingWinControl() = default;

void TScrollingWinControl::CreateParams(TCreateParams& Params) { TWinControl::CreateParams(Params); }

void TScrollingWinControl::SetAutoScroll(bool value)
{
    FAutoScroll = value;
    Realign();
}

void TScrollingWinControl::ScrollBy(int DeltaX, int DeltaY)
{
    if (DeltaX == 0 && DeltaY == 0)
        return;
    DisableAlign();
    for (TControl* control : std::vector<TControl*>(FControls))
        control->SetBounds(control->Left() + DeltaX, control->Top() + DeltaY, control->Width(), control->Height());
    EnableAlign();
    Invalidate();
}

void TScrollingWinControl::ScrollInView(TControl* AControl)
{
    if (!AControl || !ContainsControl(AControl))
        return;
    TRect rect = AControl->BoundsRect();
    const TRect client = ClientRect();
    if (rect.Left < 0)
        FHorzScrollBar->SetPosition(FHorzScrollBar->Position() + rect.Left);
    else if (rect.Right > client.Right)
        FHorzScrollBar->SetPosition(FHorzScrollBar->Position() + rect.Right - client.Right);
    if (rect.Top < 0)
        FVertScrollBar->SetPosition(FVertScrollBar->Position() + rect.Top);
    else if (rect.Bottom > client.Bottom)
        FVertScrollBar->SetPosition(FVertScrollBar->Position() + rect.Bottom - client.Bottom);
}

void TScrollingWinControl::AlignControls(TControl* AControl, TRect& Rect)
{
    TWinControl::AlignControls(AControl, Rect);
    UpdateScrollBars();
}

void TScrollingWinControl::UpdateScrollBars()
{
    if (!FAutoScroll || FUpdatingScrollBars || !HandleAllocated())
        return;
    FUpdatingScrollBars = true;
    int right = 0;
    int bottom = 0;
    for (TControl* control : FControls) {
        if (!control->Visible() || control->Align() != alNone)
            continue;
        right = std::max(right, control->Left() + control->Width() + FHorzScrollBar->Position());
        bottom = std::max(bottom, control->Top() + control->Height() + FVertScrollBar->Position());
    }
    FHorzScrollBar->FRange = right;
    FVertScrollBar->FRange = bottom;
    FHorzScrollBar->Update();
    FVertScrollBar->Update();
    FUpdatingScrollBars = false;
}

void TScrollingWinControl::ScrollMessage(TControlScrollBar* bar, TMessage& Message)
{
    TWMScroll scroll(Message);
    const int client = bar->Kind() == sbHorizontal ? ClientWidth() : ClientHeight();
    int position = bar->Position();
    switch (static_cast<WORD>(scroll.ScrollCode)) {
    case SB_LINEUP:
        position -= bar->Increment;
        break;
    case SB_LINEDOWN:
        position += bar->Increment;
        break;
    case SB_PAGEUP:
        position -= client;
        break;
    case SB_PAGEDOWN:
        position += client;
        break;
    case SB_THUMBTRACK:
        if (!bar->Tracking)
            return;
        position = static_cast<SHORT>(scroll.Pos);
        break;
    case SB_THUMBPOSITION:
        position = static_cast<SHORT>(scroll.Pos);
        break;
    case SB_TOP:
        position = 0;
        break;
    case SB_BOTTOM:
        position = bar->Range();
        break;
    default:
        return;
    }
    bar->SetPosition(position);
}

void TScrollingWinControl::Dispatch(TMessage& Message)
{
    // A child scroll bar's messages (LParam its window) are reflected to it; only the window's
    // own bars scroll it.
    const bool ownBar = Message.LParam == 0;
    if (ownBar && Message.Msg == WM_HSCROLL) {
        ScrollMessage(FHorzScrollBar.get(), Message);
        return;
    }
    if (ownBar && Message.Msg == WM_VSCROLL) {
        ScrollMessage(FVertScrollBar.get(), Message);
        return;
    }
    TWinControl::Dispatch(Message);
}
