// Splitters.

#include "platform/gui/Splitter.h"

#include "platform/gui/Form.h"
#include "platform/gui/WinControl.h"
#include "platform/gui/private/Overlay.h"
#include "platform/gui/private/QtBridge.h"
#include "platform/gui/private/Surfaces.h"

#include <QApplication>
#include <QKeyEvent>

#include <algorithm>

// Escape during a drag cancels it, whichever widget has the keyboard.
struct TSplitter::TEscapeWatch : QObject {
    explicit TEscapeWatch(TSplitter* splitter) : Splitter(splitter) { qApp->installEventFilter(this); }
    ~TEscapeWatch() override { qApp->removeEventFilter(this); }
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() == QEvent::KeyPress && static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape) {
            Splitter->CancelDrag();
            return true;
        }
        return false;
    }
    TSplitter* Splitter;
};

TSplitter::TSplitter(TComponent* AOwner) : TGraphicControl(AOwner)
{
    SetAlign(alLeft);
    SetBounds(0, 0, 3, 100);
    SetCursor(-14); // crHSplit
}

TSplitter::~TSplitter() = default;

TControl* TSplitter::FindControl() const
{
    TWinControl* parent = Parent();
    if (!parent)
        return nullptr;
    TControl* best = nullptr;
    for (int i = 0; i < parent->ControlCount(); ++i) {
        TControl* c = parent->Controls(i);
        if (c == this || !c->Visible() || c->Align() != Align())
            continue;
        bool before = false;
        switch (Align()) {
        case alLeft:
            before = c->Left() + c->Width() <= Left();
            if (before && (!best || c->Left() > best->Left()))
                best = c;
            break;
        case alRight:
            before = c->Left() >= Left() + Width();
            if (before && (!best || c->Left() < best->Left()))
                best = c;
            break;
        case alTop:
            before = c->Top() + c->Height() <= Top();
            if (before && (!best || c->Top() > best->Top()))
                best = c;
            break;
        case alBottom:
            before = c->Top() >= Top() + Height();
            if (before && (!best || c->Top() < best->Top()))
                best = c;
            break;
        default:
            break;
        }
    }
    return best;
}

// The largest size the control may take: the parent's extent less the other controls aligned
// along the same axis (this splitter included) and the minimum left to the rest.
int TSplitter::MaxSize() const
{
    TWinControl* parent = Parent();
    if (!parent || !FControl)
        return FStartSize;
    const bool horizontal = Align() == alLeft || Align() == alRight;
    int size = (horizontal ? parent->ClientWidth() : parent->ClientHeight()) - MinSize;
    for (int i = 0; i < parent->ControlCount(); ++i) {
        TControl* c = parent->Controls(i);
        if (!c->Visible())
            continue;
        if (horizontal && (c->Align() == alLeft || c->Align() == alRight))
            size -= c->Width();
        else if (!horizontal && (c->Align() == alTop || c->Align() == alBottom))
            size -= c->Height();
    }
    return size + (horizontal ? FControl->Width() : FControl->Height());
}

int TSplitter::NewSize(int X, int Y) const
{
    int delta = 0;
    switch (Align()) {
    case alLeft:
        delta = X - FDownPos.X;
        break;
    case alRight:
        delta = FDownPos.X - X;
        break;
    case alTop:
        delta = Y - FDownPos.Y;
        break;
    case alBottom:
        delta = FDownPos.Y - Y;
        break;
    default:
        break;
    }
    int size = std::min(FStartSize + delta, MaxSize());
    if (size <= MinSize)
        size = AutoSnap ? 0 : MinSize;
    return std::max(size, 0);
}

bool TSplitter::CanResize(int& size)
{
    bool accept = true;
    if (OnCanResize)
        OnCanResize(this, size, accept);
    return accept;
}

void TSplitter::Apply(int size)
{
    if (!FControl)
        return;
    if (Align() == alLeft || Align() == alRight)
        FControl->SetWidth(size);
    else
        FControl->SetHeight(size);
}

void TSplitter::ToggleLine()
{
    TCustomForm* form = GetParentForm(this);
    TWinControl* parent = Parent();
    if (!form || !parent)
        return;
    const int shift = FLineSize - FStartSize;
    TRect line = BoundsRect();
    switch (Align()) {
    case alLeft:
        OffsetRect(line, shift, 0);
        break;
    case alRight:
        OffsetRect(line, -shift, 0);
        break;
    case alTop:
        OffsetRect(line, 0, shift);
        break;
    case alBottom:
        OffsetRect(line, 0, -shift);
        break;
    default:
        break;
    }
    const TPoint parentOrigin = parent->ClientToScreen({0, 0});
    const TPoint formOrigin = form->ClientOrigin();
    OffsetRect(line, parentOrigin.X - formOrigin.X, parentOrigin.Y - formOrigin.Y);
    TOverlay::ForForm(form).ToggleRect(ToQRect(line));
    FLineShown = !FLineShown;
}

void TSplitter::MoveLine(int size)
{
    if (size == FLineSize && FLineShown)
        return;
    if (FLineShown)
        ToggleLine();
    FLineSize = size;
    ToggleLine();
}

void TSplitter::MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y)
{
    TGraphicControl::MouseDown(Button, Shift, X, Y);
    if (Button != mbLeft)
        return;
    FControl = FindControl();
    if (!FControl)
        return;
    FDownPos = ClientToScreen({X, Y});
    FStartSize = Align() == alLeft || Align() == alRight ? FControl->Width() : FControl->Height();
    FLineSize = FStartSize;
    FDragging = true;
    SetMouseCapture(true);
    FEscape = std::make_unique<TEscapeWatch>(this);
    if (ShowsLine())
        MoveLine(FStartSize);
}

void TSplitter::MouseMove(TShiftState Shift, int X, int Y)
{
    TGraphicControl::MouseMove(Shift, X, Y);
    if (!FDragging)
        return;
    const TPoint screen = ClientToScreen({X, Y});
    int size = NewSize(screen.X, screen.Y);
    if (!CanResize(size))
        return;
    if (ResizeStyle == rsUpdate)
        Apply(size);
    else if (ShowsLine())
        MoveLine(size);
    else
        FLineSize = size;
}

void TSplitter::MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y)
{
    TGraphicControl::MouseUp(Button, Shift, X, Y);
    if (!FDragging || Button != mbLeft)
        return;
    const TPoint screen = ClientToScreen({X, Y});
    int size = NewSize(screen.X, screen.Y);
    if (!CanResize(size))
        size = FLineSize;
    EndDrag();
    if (ResizeStyle != rsUpdate)
        Apply(size);
    FControl = nullptr;
    if (OnMoved)
        OnMoved(this);
}

void TSplitter::EndDrag()
{
    FDragging = false;
    if (FLineShown)
        ToggleLine();
    FEscape.reset();
    SetMouseCapture(false);
}

void TSplitter::CancelDrag()
{
    if (!FDragging)
        return;
    EndDrag();
    if (FControl && ResizeStyle == rsUpdate)
        Apply(FStartSize);
    FControl = nullptr;
}

void TSplitter::Dispatch(TMessage& Message)
{
    if (Message.Msg == CM_CANCELMODE || Message.Msg == WM_CANCELMODE)
        CancelDrag();
    TGraphicControl::Dispatch(Message);
}

void TSplitter::Paint()
{
    QPainter* painter = PaintPainter(this);
    if (!painter)
        return;
    painter->fillRect(QRect(0, 0, Width(), Height()), ToQColor(Color()));
    if (Beveled) {
        painter->setPen(ToQColor(clBtnHighlight));
        painter->drawLine(0, 0, 0, Height() - 1);
        painter->setPen(ToQColor(clBtnShadow));
        painter->drawLine(Width() - 1, 0, Width() - 1, Height() - 1);
    }
}
