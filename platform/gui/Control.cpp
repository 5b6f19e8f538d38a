#include "platform/gui/Control.h"

#include "platform/gui/DeviceContext.h"
#include "platform/gui/DragDrop.h"
#include "platform/gui/Menus.h"
#include "platform/gui/WinControl.h"
#include "platform/gui/WindowHandles.h"
#include "platform/gui/private/ControlHost.h"
#include "platform/gui/private/CursorTable.h"
#include "platform/gui/private/EventLoop.h"
#include "platform/gui/private/HandleTable.h"
#include "platform/gui/private/PaintCanvas.h"
#include "platform/gui/private/StdCtrlSupport.h"
#include "platform/gui/private/Surfaces.h"

#include <QWidget>

#include <algorithm>
#include <cstring>

// --- TSizeConstraints --------------------------------------------------------------------------------

void TSizeConstraints::Changed()
{
    if (OnChange)
        OnChange(this);
}

void TSizeConstraints::SetMinWidth(int value)
{
    if (value == FMinWidth)
        return;
    FMinWidth = std::max(value, 0);
    Changed();
}

void TSizeConstraints::SetMinHeight(int value)
{
    if (value == FMinHeight)
        return;
    FMinHeight = std::max(value, 0);
    Changed();
}

void TSizeConstraints::SetMaxWidth(int value)
{
    if (value == FMaxWidth)
        return;
    FMaxWidth = std::max(value, 0);
    Changed();
}

void TSizeConstraints::SetMaxHeight(int value)
{
    if (value == FMaxHeight)
        return;
    FMaxHeight = std::max(value, 0);
    Changed();
}

void TSizeConstraints::Assign(TPersistent* Source)
{
    if (auto* other = dynamic_cast<TSizeConstraints*>(Source)) {
        FMinWidth = other->FMinWidth;
        FMinHeight = other->FMinHeight;
        FMaxWidth = other->FMaxWidth;
        FMaxHeight = other->FMaxHeight;
        Changed();
        return;
    }
    TPersistent::Assign(Source);
}

// --- Surfaces -----------------------------------------------------------------------------------------

void TSurface::EnsureSize(const QSize& size)
{
    const QSize wanted(std::max(size.width(), 0), std::max(size.height(), 0));
    if (Image.size() == wanted && !Image.isNull())
        return;
    QImage resized(wanted.isEmpty() ? QSize(1, 1) : wanted, QImage::Format_ARGB32_Premultiplied);
    resized.fill(Qt::transparent);
    if (!Image.isNull()) {
        QPainter copy(&resized);
        copy.setCompositionMode(QPainter::CompositionMode_Source);
        copy.drawImage(0, 0, Image);
    }
    Image = resized;
    Pending = QRegion(0, 0, wanted.width(), wanted.height());
}

QPainter* PaintPainter(TControl* control)
{
    return control && control->Surface() ? control->Surface()->PaintPainter : nullptr;
}

QImage* RetainedImage(TControl* control)
{
    if (!control || !control->Host() || !control->Surface())
        return nullptr;
    TSurface* surface = control->Surface();
    if (QWidget* widget = WidgetOf(control))
        surface->EnsureSize(widget->size());
    return &surface->Image;
}

QPoint ClientOffset(TControl* control)
{
    if (auto* win = dynamic_cast<TWinControl*>(control)) {
        const TRect client = win->ClientRectInWindow();
        return QPoint(client.Left, client.Top);
    }
    return QPoint(0, 0);
}

void ShowDrawing(TControl* control, const QRect& clientRect)
{
    IHostWidget* host = control ? control->Host() : nullptr;
    if (!host)
        return;
    const QRect rect = clientRect.translated(ClientOffset(control));
    if (!host->GatherDrawing(rect))
        host->Widget()->update(rect);
}

void InvalidateClientRect(TControl* control, const QRect& clientRect)
{
    QWidget* widget = WidgetOf(control);
    if (!widget || !control->Surface())
        return;
    const QRect rect = clientRect.translated(ClientOffset(control));
    control->Surface()->Pending += rect;
    widget->update(rect);
}

// --- TControl --------------------------------------------------------------------------------------------

TControl::TControl(TComponent* AOwner)
    : TComponent(AOwner), FConstraints(std::make_unique<TSizeConstraints>()), FFont(std::make_unique<TFont>())
{
    WindowProc = [this](TMessage& Message) { WndProc(Message); };
    ControlStyle = {csCaptureMouse, csClickEvents, csSetCaption, csDoubleClicks};
    FFont->OnChange = [this](TObject* Sender) { FontChanged(Sender); };
    FConstraints->OnChange = [this](TObject*) { SetBounds(FLeft, FTop, FWidth, FHeight); };
}

TControl::~TControl()
{
    ForgetControl(this);
    if (FParent)
        FParent->RemoveControl(this);
    DestroyHost();
}

TComponent* TControl::GetParentComponent() const { return FParent; }

void TControl::SetParent(TWinControl* AParent)
{
    if (AParent == FParent)
        return;
    CheckGuiThread();
    if (AParent == this)
        RAISE(EInvalidOperation("A control cannot have itself as its parent"));
    if (auto* self = dynamic_cast<TWinControl*>(this); self && AParent && self->ContainsControl(AParent))
        RAISE(EInvalidOperation("A control cannot have itself as its parent"));
    if (FParent)
        FParent->RemoveControl(this);
    if (AParent) {
        AParent->InsertControl(this);
        if (FParentFont)
            Perform(CM_PARENTFONTCHANGED, 0, 0);
        if (FParentColor)
            Perform(CM_PARENTCOLORCHANGED, 0, 0);
        if (FParentShowHint)
            Perform(CM_PARENTSHOWHINTCHANGED, 0, 0);
        UpdateHost();
        RequestAlign();
    }
}

void TControl::ClampToConstraints(int& width, int& height) const
{
    if (FConstraints->MaxWidth() > 0)
        width = std::min(width, FConstraints->MaxWidth());
    if (FConstraints->MaxHeight() > 0)
        height = std::min(height, FConstraints->MaxHeight());
    width = std::max(width, FConstraints->MinWidth());
    height = std::max(height, FConstraints->MinHeight());
    width = std::max(width, 0);
    height = std::max(height, 0);
}

bool TControl::CanResize(int& NewWidth, int& NewHeight)
{
    bool resize = true;
    if (OnCanResize)
        OnCanResize(this, NewWidth, NewHeight, resize);
    return resize;
}

void TControl::SetBounds(int ALeft, int ATop, int AWidth, int AHeight)
{
    CheckGuiThread();
    ClampToConstraints(AWidth, AHeight);
    if ((AWidth != FWidth || AHeight != FHeight) && !CanResize(AWidth, AHeight)) {
        AWidth = FWidth;
        AHeight = FHeight;
    }
    ClampToConstraints(AWidth, AHeight);
    const bool moved = ALeft != FLeft || ATop != FTop;
    const bool resized = AWidth != FWidth || AHeight != FHeight;
    if (!moved && !resized)
        return;
    FLeft = ALeft;
    FTop = ATop;
    FWidth = AWidth;
    FHeight = AHeight;
    if (FParent) {
        FAnchorParentWidth = FParent->ClientWidth();
        FAnchorParentHeight = FParent->ClientHeight();
    }
    ApplyHostGeometry();
    BoundsChanged(moved, resized);
    RequestAlign();
}

void TControl::BoundsChanged(bool, bool resized)
{
    if (resized) {
        if (FSurface)
            Invalidate();
        if (!ComponentState().Contains(csLoading))
            Resize();
    }
}

void TControl::Resize()
{
    if (OnResize)
        OnResize(this);
}

void TControl::RequestAlign()
{
    if (FParent)
        FParent->Realign();
}

TRect TControl::ClientRect() const { return Rect(0, 0, FWidth, FHeight); }

void TControl::SetClientWidth(int value) { SetWidth(value + (FWidth - ClientWidth())); }

void TControl::SetClientHeight(int value) { SetHeight(value + (FHeight - ClientHeight())); }

TPoint TControl::ClientOrigin() const
{
    if (!FParent)
        return {FLeft, FTop};
    TPoint origin = FParent->ClientOrigin();
    return {origin.X + FLeft, origin.Y + FTop};
}

TPoint TControl::ClientToScreen(const TPoint& point) const
{
    const TPoint origin = ClientOrigin();
    return {point.X + origin.X, point.Y + origin.Y};
}

TPoint TControl::ScreenToClient(const TPoint& point) const
{
    const TPoint origin = ClientOrigin();
    return {point.X - origin.X, point.Y - origin.Y};
}

void TControl::SetAlign(TAlign value)
{
    if (value == FAlign)
        return;
    FAlign = value;
    RequestAlign();
}

bool TControl::Showing() const { return FVisible && FParent && FParent->Showing(); }

void TControl::SetVisible(bool value)
{
    if (value == FVisible)
        return;
    CheckGuiThread();
    FVisible = value;
    Perform(CM_VISIBLECHANGED, value ? 1 : 0, 0);
    if (QWidget* widget = WidgetOf(this))
        widget->setVisible(value);
    RequestAlign();
}

void TControl::SetEnabled(bool value)
{
    if (value == FEnabled)
        return;
    CheckGuiThread();
    FEnabled = value;
    if (QWidget* widget = WidgetOf(this))
        widget->setEnabled(value);
    Perform(CM_ENABLEDCHANGED, 0, 0);
}

void TControl::SetColor(TColor value)
{
    if (value == FColor) {
        FParentColor = false;
        return;
    }
    FColor = value;
    FParentColor = false;
    Perform(CM_COLORCHANGED, 0, 0);
    Invalidate();
}

void TControl::SetParentColor(bool value)
{
    if (value == FParentColor)
        return;
    FParentColor = value;
    if (value && FParent)
        Perform(CM_PARENTCOLORCHANGED, 0, 0);
}

void TControl::SetFont(TFont* value)
{
    if (value)
        FFont->Assign(value);
}

void TControl::FontChanged(TObject*)
{
    if (!FChangingFontFromParent)
        FParentFont = false;
    Perform(CM_FONTCHANGED, 0, 0);
    Invalidate();
}

void TControl::SetParentFont(bool value)
{
    if (value == FParentFont)
        return;
    FParentFont = value;
    if (value && FParent)
        Perform(CM_PARENTFONTCHANGED, 0, 0);
}

void TControl::SetShowHint(bool value)
{
    FParentShowHint = false;
    if (value == FShowHint)
        return;
    FShowHint = value;
    Perform(CM_SHOWHINTCHANGED, 0, 0);
}

void TControl::SetParentShowHint(bool value)
{
    if (value == FParentShowHint)
        return;
    FParentShowHint = value;
    if (value && FParent)
        Perform(CM_PARENTSHOWHINTCHANGED, 0, 0);
}

void TControl::SetCursor(TCursor value)
{
    if (value == FCursor)
        return;
    FCursor = value;
    ApplyControlCursor(this);
    Perform(CM_CURSORCHANGED, 0, 0);
}

std::string TControl::GetText() const { return FText; }

void TControl::SetText(const std::string& value)
{
    if (value == GetText())
        return;
    Perform(WM_SETTEXT, 0, reinterpret_cast<LPARAM>(value.c_str()));
    Perform(CM_TEXTCHANGED, 0, 0);
}

int TControl::GetTextBuf(char* buffer, int size) const
{
    if (!buffer || size <= 0)
        return 0;
    const std::string text = GetText();
    const int count = std::min<int>(static_cast<int>(text.size()), size - 1);
    std::memcpy(buffer, text.data(), count);
    buffer[count] = 0;
    return count;
}

void TControl::SetTextBuf(const char* buffer) { SetText(buffer ? buffer : ""); }

int TControl::GetTextLen() const { return static_cast<int>(GetText().size()); }

void TControl::Invalidate()
{
    QWidget* widget = WidgetOf(this);
    if (!widget)
        return;
    if (FSurface)
        FSurface->Pending = QRegion(0, 0, std::max(widget->width(), 1), std::max(widget->height(), 1));
    widget->update();
}

void TControl::Update()
{
    QWidget* widget = WidgetOf(this);
    if (!widget)
        return;
    PaintControl();
    widget->update();
}

void TControl::Repaint()
{
    Invalidate();
    Update();
}

void TControl::Refresh() { Repaint(); }

TSurface& TControl::EnsureSurface()
{
    if (!FSurface) {
        FSurface = std::make_unique<TSurface>();
        FSurface->Transparent = dynamic_cast<TWinControl*>(this) == nullptr;
    }
    return *FSurface;
}

void TControl::PaintControl()
{
    QWidget* widget = WidgetOf(this);
    if (!widget || !FSurface)
        return;
    TSurface& surface = *FSurface;
    surface.EnsureSize(widget->size());
    if (surface.Pending.isEmpty())
        return;
    const QRegion region = surface.Pending;
    surface.Pending = QRegion();
    QPainter painter(&surface.Image);
    painter.setClipRegion(region);
    if (surface.Transparent) {
        painter.setCompositionMode(QPainter::CompositionMode_Source);
        painter.fillRect(region.boundingRect(), Qt::transparent);
        painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
    }
    surface.ClientRect = QRect(QPoint(0, 0), widget->size());
    surface.PaintRect = region.boundingRect();
    surface.PaintErase = true;
    QPainter* previous = surface.PaintPainter;
    surface.PaintPainter = &painter;
    try {
        Perform(WM_PAINT, 0, 0);
    } catch (...) {
        surface.PaintPainter = previous;
        throw;
    }
    surface.PaintPainter = previous;
}

void TControl::BringToFront()
{
    if (FParent) {
        auto& list = FParent->FControls;
        list.erase(std::remove(list.begin(), list.end(), this), list.end());
        list.push_back(this);
    }
    if (QWidget* widget = WidgetOf(this)) {
        if (dynamic_cast<TWinControl*>(this) || !FParent) {
            RaiseWidget(widget);
        } else {
            // Graphic controls stay below every windowed sibling.
            RaiseWidget(widget);
            for (TControl* sibling : FParent->FControls)
                if (dynamic_cast<TWinControl*>(sibling))
                    if (QWidget* w = WidgetOf(sibling))
                        RaiseWidget(w);
        }
    }
}

void TControl::SendToBack()
{
    if (FParent) {
        auto& list = FParent->FControls;
        list.erase(std::remove(list.begin(), list.end(), this), list.end());
        list.insert(list.begin(), this);
    }
    if (QWidget* widget = WidgetOf(this))
        widget->lower();
}

void TControl::Show()
{
    if (FParent)
        FParent->Show();
    SetVisible(true);
}

void TControl::Hide() { SetVisible(false); }

LRESULT TControl::Perform(UINT Msg, WPARAM WParam, LPARAM LParam)
{
    TMessage Message{Msg, WParam, LParam, 0};
    if (WindowProc)
        WindowProc(Message);
    else
        WndProc(Message);
    return Message.Result;
}

void TControl::WndProc(TMessage& Message) { Dispatch(Message); }

void TControl::Dispatch(TMessage& Message)
{
    switch (Message.Msg) {
    case WM_LBUTTONDOWN:
    case WM_LBUTTONUP:
    case WM_LBUTTONDBLCLK:
    case WM_RBUTTONDOWN:
    case WM_RBUTTONUP:
    case WM_RBUTTONDBLCLK:
    case WM_MBUTTONDOWN:
    case WM_MBUTTONUP:
    case WM_MBUTTONDBLCLK:
    case WM_MOUSEMOVE:
        WMMouse(Message);
        return;
    case WM_MOUSEWHEEL:
        WMMouseWheel(Message);
        return;
    case WM_CONTEXTMENU:
        // Otherwise the default handling passes it on to the parent.
        if (ShowContextMenu(Message))
            return;
        break;
    case WM_PAINT:
        if (!dynamic_cast<TWinControl*>(this)) {
            // With a device context (a control painting what lies under it) the control paints
            // into that context instead of its own image.
            if (HDC dc = reinterpret_cast<HDC>(Message.WParam); dc && IsDeviceContext(dc))
                TWinControl::PaintClientInto(this, dc);
            else
                PaintMessage();
            return;
        }
        break;
    case CM_PARENTFONTCHANGED:
        CMParentFontChanged(Message);
        return;
    case CM_PARENTCOLORCHANGED:
        CMParentColorChanged(Message);
        return;
    case CM_PARENTSHOWHINTCHANGED:
        CMParentShowHintChanged(Message);
        return;
    case CM_DRAG:
        CMDrag(Message);
        return;
    default:
        break;
    }
    DefaultHandler(Message);
}

// --- Drag and drop ---------------------------------------------------------------------------------------

void TControl::BeginDrag(bool Immediate, int Threshold) { ::BeginDrag(this, Immediate, Threshold); }

void TControl::EndDrag(bool Drop) { ::EndDrag(this, Drop); }

bool TControl::Dragging() const { return ::Dragging(this); }

void TControl::DoStartDrag(TDragObject*& DragObject)
{
    if (OnStartDrag)
        OnStartDrag(this, DragObject);
}

void TControl::DragOver(TObject* Source, int X, int Y, TDragState State, bool& Accept)
{
    Accept = false;
    if (OnDragOver) {
        Accept = true;
        OnDragOver(this, Source, X, Y, State, Accept);
    }
}

void TControl::DragDrop(TObject* Source, int X, int Y)
{
    if (OnDragDrop)
        OnDragDrop(this, Source, X, Y);
}

void TControl::DoEndDrag(TObject* Target, int X, int Y)
{
    if (OnEndDrag)
        OnEndDrag(this, Target, X, Y);
}

void TControl::CMDrag(TMessage& Message)
{
    auto* rec = reinterpret_cast<TDragRec*>(Message.LParam);
    if (!rec)
        return;
    // The events name the dragged control when a control is dragged, else the drag object.
    TObject* source = rec->Source;
    if (auto* controlObject = dynamic_cast<TDragControlObject*>(rec->Source))
        source = controlObject->Control;
    const TPoint local = ScreenToClient(rec->Pos);
    switch (static_cast<TDragMessage>(Message.WParam)) {
    case dmDragEnter:
    case dmDragLeave:
    case dmDragMove: {
        const TDragState state = Message.WParam == dmDragEnter   ? dsDragEnter
                                 : Message.WParam == dmDragLeave ? dsDragLeave
                                                                 : dsDragMove;
        bool accept = false;
        DragOver(source, local.X, local.Y, state, accept);
        rec->Accept = accept;
        Message.Result = accept ? 1 : 0;
        return;
    }
    case dmDragDrop:
        DragDrop(source, local.X, local.Y);
        return;
    default:
        return;
    }
}

void TControl::DefaultHandler(TMessage& Message)
{
    switch (Message.Msg) {
    case WM_SETTEXT:
        FText = Message.LParam ? reinterpret_cast<const char*>(Message.LParam) : "";
        Message.Result = 1;
        break;
    case WM_GETTEXT: {
        if (Message.WParam == 0 || Message.LParam == 0)
            break;
        const std::size_t count = std::min<std::size_t>(FText.size(), Message.WParam - 1);
        std::memcpy(reinterpret_cast<char*>(Message.LParam), FText.data(), count);
        reinterpret_cast<char*>(Message.LParam)[count] = 0;
        Message.Result = static_cast<LRESULT>(count);
        break;
    }
    case WM_GETTEXTLENGTH:
        Message.Result = static_cast<LRESULT>(FText.size());
        break;
    default:
        break;
    }
}

namespace {

TShiftState MouseShift(const TMessage& Message)
{
    return KeysToShiftState(static_cast<WORD>(Message.WParam & 0xFFFF));
}

} // namespace

void TControl::WMMouse(TMessage& Message)
{
    DefaultHandler(Message);
    const int x = GET_X_LPARAM(Message.LParam);
    const int y = GET_Y_LPARAM(Message.LParam);
    TShiftState shift = MouseShift(Message);
    switch (Message.Msg) {
    case WM_LBUTTONDOWN:
        if (ControlStyle.Contains(csCaptureMouse))
            SetMouseCapture(true);
        if (ControlStyle.Contains(csClickEvents))
            ControlState.Include(csClicked);
        MouseDown(mbLeft, shift, x, y);
        break;
    case WM_LBUTTONDBLCLK:
        if (ControlStyle.Contains(csCaptureMouse))
            SetMouseCapture(true);
        if (ControlStyle.Contains(csClickEvents))
            DblClick();
        shift.Include(ssDouble);
        MouseDown(mbLeft, shift, x, y);
        break;
    case WM_LBUTTONUP:
        if (ControlStyle.Contains(csCaptureMouse))
            SetMouseCapture(false);
        if (ControlState.Contains(csClicked)) {
            ControlState.Exclude(csClicked);
            if (PtInRect(ClientRect(), Point(x, y)))
                Click();
        }
        MouseUp(mbLeft, shift, x, y);
        break;
    case WM_RBUTTONDOWN:
        MouseDown(mbRight, shift, x, y);
        break;
    case WM_RBUTTONDBLCLK:
        shift.Include(ssDouble);
        MouseDown(mbRight, shift, x, y);
        break;
    case WM_RBUTTONUP:
        MouseUp(mbRight, shift, x, y);
        break;
    case WM_MBUTTONDOWN:
        MouseDown(mbMiddle, shift, x, y);
        break;
    case WM_MBUTTONDBLCLK:
        shift.Include(ssDouble);
        MouseDown(mbMiddle, shift, x, y);
        break;
    case WM_MBUTTONUP:
        MouseUp(mbMiddle, shift, x, y);
        break;
    case WM_MOUSEMOVE:
        MouseMove(shift, x, y);
        break;
    default:
        break;
    }
}

void TControl::MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y)
{
    if (OnMouseDown)
        OnMouseDown(this, Button, Shift, X, Y);
}

void TControl::MouseMove(TShiftState Shift, int X, int Y)
{
    if (OnMouseMove)
        OnMouseMove(this, Shift, X, Y);
}

void TControl::MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y)
{
    if (OnMouseUp)
        OnMouseUp(this, Button, Shift, X, Y);
}

void TControl::WMMouseWheel(TMessage& Message)
{
    TWMMouseWheel wheel(Message);
    const TShiftState shift = KeysToShiftState(static_cast<WORD>(wheel.Keys));
    const TPoint pos{static_cast<SHORT>(wheel.XPos), static_cast<SHORT>(wheel.YPos)};
    if (DoMouseWheel(shift, static_cast<SHORT>(wheel.WheelDelta), pos)) {
        Message.Result = 1;
        return;
    }
    DefaultHandler(Message);
}

bool TControl::DoMouseWheel(TShiftState Shift, int WheelDelta, TPoint MousePos)
{
    bool handled = false;
    if (OnMouseWheel)
        OnMouseWheel(this, Shift, WheelDelta, MousePos, handled);
    if (!handled) {
        if (WheelDelta < 0)
            handled = DoMouseWheelDown(Shift, MousePos);
        else if (WheelDelta > 0)
            handled = DoMouseWheelUp(Shift, MousePos);
    }
    return handled;
}

bool TControl::DoMouseWheelDown(TShiftState Shift, TPoint MousePos)
{
    bool handled = false;
    if (OnMouseWheelDown)
        OnMouseWheelDown(this, Shift, MousePos, handled);
    return handled;
}

bool TControl::DoMouseWheelUp(TShiftState Shift, TPoint MousePos)
{
    bool handled = false;
    if (OnMouseWheelUp)
        OnMouseWheelUp(this, Shift, MousePos, handled);
    return handled;
}

void DeliverWheel(TControl* control, int angleDelta, WPARAM keys, TPoint screenPos)
{
    control->FWheelAccumulator += angleDelta;
    while (control->FWheelAccumulator >= 120 || control->FWheelAccumulator <= -120) {
        const int notch = control->FWheelAccumulator > 0 ? 120 : -120;
        control->FWheelAccumulator -= notch;
        const WPARAM wParam = MAKEWPARAM(static_cast<WORD>(keys), static_cast<WORD>(static_cast<SHORT>(notch)));
        const LPARAM lParam = MAKELPARAM(static_cast<WORD>(screenPos.X), static_cast<WORD>(screenPos.Y));
        MSG msg;
        auto* win = dynamic_cast<TWinControl*>(control);
        msg.hwnd = win && win->HandleAllocated() ? win->Handle() : nullptr;
        msg.message = WM_MOUSEWHEEL;
        msg.wParam = wParam;
        msg.lParam = lParam;
        msg.pt = screenPos;
        if (EventLoop::FilterInput(msg))
            continue;
        if (msg.hwnd)
            SendMessageA(msg.hwnd, WM_MOUSEWHEEL, wParam, lParam);
        else
            control->Perform(WM_MOUSEWHEEL, wParam, lParam);
    }
}

void TControl::Click()
{
    if (OnClick)
        OnClick(this);
}

void TControl::DblClick()
{
    if (OnDblClick)
        OnDblClick(this);
}

void TControl::CMParentFontChanged(TMessage&)
{
    if (!FParentFont || !FParent)
        return;
    FChangingFontFromParent = true;
    try {
        FFont->Assign(FParent->Font());
    } catch (...) {
        FChangingFontFromParent = false;
        throw;
    }
    FChangingFontFromParent = false;
    FParentFont = true;
}

void TControl::CMParentColorChanged(TMessage&)
{
    if (!FParentColor || !FParent)
        return;
    SetColor(FParent->Color());
    FParentColor = true;
}

void TControl::CMParentShowHintChanged(TMessage&)
{
    if (!FParentShowHint || !FParent)
        return;
    SetShowHint(FParent->ShowHint());
    FParentShowHint = true;
}

void TControl::Notification(TComponent* AComponent, TOperation Operation)
{
    TComponent::Notification(AComponent, Operation);
    if (Operation == opRemove && reinterpret_cast<void*>(AComponent) == reinterpret_cast<void*>(PopupMenu))
        PopupMenu = nullptr;
}

bool TControl::MouseCapture() const { return GetCaptureControl() == this; }

void TControl::SetMouseCapture(bool value)
{
    if (value == MouseCapture())
        return;
    SetCaptureControl(value ? this : nullptr);
}

void TControl::UpdateHost()
{
    if (FHost || !FParent || !FParent->HandleAllocated())
        return;
    QWidget* parentWidget = WidgetOf(FParent);
    auto* host = new TControlHost<QWidget>(this, parentWidget);
    FHost = host;
    EnsureSurface();
    host->setMouseTracking(true);
    host->setFocusPolicy(Qt::NoFocus);
    ApplyHostGeometry();
    host->setEnabled(FEnabled);
    ApplyControlCursor(this);
    // Graphic controls lie under every windowed sibling.
    if (FParent->FWinControlCount > 0)
        for (TControl* sibling : FParent->FControls)
            if (auto* win = dynamic_cast<TWinControl*>(sibling); win && win->FHost) {
                host->stackUnder(WidgetOf(win));
                break;
            }
    host->setVisible(FVisible);
    Invalidate();
}

void TControl::DestroyHost()
{
    if (!FHost)
        return;
    IHostWidget* host = FHost;
    FHost = nullptr;
    host->Detach();
    QWidget* widget = host->Widget();
    widget->hide();
    if (host->InEvent() || AnyHostInEvent()) {
        widget->setParent(nullptr);
        widget->deleteLater();
    } else {
        delete widget;
    }
}

void TControl::ApplyHostGeometry()
{
    if (!FHost)
        return;
    QRect rect(FLeft, FTop, std::max(FWidth, 0), std::max(FHeight, 0));
    // A popup window with a parent is a window of its own, placed on the screen.
    if (FParent && !FHost->Widget()->isWindow())
        rect.translate(ClientOffset(FParent));
    FHost->SetGeometryFromCode(rect);
}

// --- TGraphicControl ---------------------------------------------------------------------------------------

TGraphicControl::TGraphicControl(TComponent* AOwner) : TControl(AOwner) {}

TGraphicControl::~TGraphicControl() = default;

bool TControl::ShowContextMenu(TMessage& Message)
{
    // The keyboard (Shift+F10, the menu key) sends the point (-1, -1).
    const bool fromKeyboard = Message.LParam == -1 || static_cast<DWORD>(Message.LParam) == 0xFFFFFFFFu;
    const TPoint screenPos{static_cast<short>(LOWORD(Message.LParam)), static_cast<short>(HIWORD(Message.LParam))};
    if (!ShowControlPopupMenu(this, screenPos, fromKeyboard))
        return false;
    Message.Result = 1;
    return true;
}

// --- The paint canvas ----------------------------------------------------------------------------------------------

TPaintCanvas::TPaintCanvas(TControl* control) { SetControl(control); }

TPaintCanvas::~TPaintCanvas() { EndPaint(); }

void TPaintCanvas::RunPaint(const std::function<void()>& paint)
{
    if (FPainting) {
        paint();
        return;
    }
    // A context taken outside Paint would draw beside the paint's painter; give it back first.
    FreeHandle();
    FPainting = true;
    try {
        paint();
    } catch (...) {
        EndPaint();
        throw;
    }
    EndPaint();
}

void TPaintCanvas::EndPaint()
{
    FPainting = false;
    if (!FPaintDC)
        return;
    SetHandle(nullptr);
    FPaintDC.reset();
}

void TPaintCanvas::CreateHandle()
{
    if (!FPainting || !Control() || !PaintPainter(Control())) {
        TControlCanvas::CreateHandle();
        return;
    }
    FPaintDC = std::make_unique<StdCtrl::TClientPaintDC>(Control());
    SetHandle(FPaintDC->Handle());
}

TCanvas* TGraphicControl::Canvas()
{
    if (!FCanvas)
        FCanvas = std::make_unique<TPaintCanvas>(this);
    return FCanvas.get();
}

void TGraphicControl::PaintMessage()
{
    Canvas();
    FCanvas->RunPaint([this] { Paint(); });
}
