// Splitters.

#include "platform/gui/Splitter.h"

#include "platform/gui/WinControl.h"
#include "platform/gui/private/QtBridge.h"
#include "platform/gui/private/Surfaces.h"

#include <QApplication>
#include <QKeyEvent>

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
    return std::max(FStartSize + delta, MinSize);
}

void TSplitter::Apply(int size)
{
    if (!FControl)
        return;
    bool accept = true;
    if (OnCanResize)
        OnCanResize(this, size, accept);
    if (!accept)
        return;
    if (Align() == alLeft || Align() == alRight)
        FControl->SetWidth(size);
    else
        FControl->SetHeight(size);
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
    FDragging = true;
    SetMouseCapture(true);
    FEscape = std::make_unique<TEscapeWatch>(this);
}

void TSplitter::MouseMove(TShiftState Shift, int X, int Y)
{
    TGraphicControl::MouseMove(Shift, X, Y);
    if (FDragging && ResizeStyle == rsUpdate)
    {
        const TPoint screen = ClientToScreen({X, Y});
        Apply(NewSize(screen.X, screen.Y));
    }
}

void TSplitter::MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y)
{
    TGraphicControl::MouseUp(Button, Shift, X, Y);
    if (!FDragging || Button != mbLeft)
        return;
    FDragging = false;
    FEscape.reset();
    SetMouseCapture(false);
    if (ResizeStyle != rsUpdate) {
        const TPoint screen = ClientToScreen({X, Y});
        Apply(NewSize(screen.X, screen.Y));
    }
    FControl = nullptr;
    if (OnMoved)
        OnMoved(this);
}

void TSplitter::CancelDrag()
{
    if (!FDragging)
        return;
    FDragging = false;
    if (FControl && ResizeStyle == rsUpdate) {
        if (Align() == alLeft || Align() == alRight)
            FControl->SetWidth(FStartSize);
        else
            FControl->SetHeight(FStartSize);
    }
    FControl = nullptr;
    SetMouseCapture(false);
    FEscape.reset();
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
