// Up-down controls.

#include "platform/gui/UpDown.h"

#include "platform/gui/private/QtBridge.h"
#include "platform/gui/private/StdCtrlSupport.h"
#include "platform/gui/private/Surfaces.h"
#include "platform/rtl/FormatSettings.h"
#include "platform/rtl/TextUtils.h"

#include <QTimer>

#include <algorithm>

struct TCustomUpDown::TRepeat {
    QTimer Timer;
};

TCustomUpDown::TCustomUpDown(TComponent* AOwner) : TWinControl(AOwner), FRepeat(std::make_unique<TRepeat>())
{
    ControlStyle = TControlStyle{csOpaque, csDoubleClicks};
    SetColor(clBtnFace);
    SetBounds(0, 0, 15, 25);
    // Holding a button repeats after 500 ms, then every 100 ms.
    QObject::connect(&FRepeat->Timer, &QTimer::timeout, [this] {
        FRepeat->Timer.setInterval(100);
        if (FPressed >= 0)
            Press(static_cast<TUDBtnType>(FPressed));
    });
}

TCustomUpDown::~TCustomUpDown() { FRepeat->Timer.stop(); }

void TCustomUpDown::Notification(TComponent* AComponent, TOperation Operation)
{
    TWinControl::Notification(AComponent, Operation);
    if (Operation == opRemove && AComponent == FAssociate)
        FAssociate = nullptr;
}

void TCustomUpDown::SetAssociate(TWinControl* value)
{
    FAssociate = value;
    if (value) {
        value->FreeNotification(this);
        PlaceBeside();
        UpdateBuddy();
    }
}

void TCustomUpDown::PlaceBeside()
{
    if (!FAssociate || FAssociate->Parent() != Parent())
        return;
    const int left = AlignButton == udRight ? FAssociate->Left() + FAssociate->Width() : FAssociate->Left() - Width();
    SetBounds(left, FAssociate->Top(), Width(), FAssociate->Height());
}

void TCustomUpDown::UpdateBuddy()
{
    if (!FAssociate)
        return;
    std::string text = IntToStr(std::abs(FPosition));
    if (Thousands) {
        const char separator = FormatSettings().ThousandSeparator;
        for (int i = static_cast<int>(text.size()) - 3; i > 0; i -= 3)
            text.insert(static_cast<std::size_t>(i), 1, separator);
    }
    if (FPosition < 0)
        text = "-" + text;
    FAssociate->SetText(text);
}

void TCustomUpDown::SetMin(int value)
{
    FMin = value;
    SetPosition(FPosition);
}

void TCustomUpDown::SetMax(int value)
{
    FMax = value;
    SetPosition(FPosition);
}

void TCustomUpDown::SetPosition(int value)
{
    const int low = std::min(FMin, FMax), high = std::max(FMin, FMax);
    FPosition = std::clamp(value, low, high);
    UpdateBuddy();
}

void TCustomUpDown::SetOrientation(TUDOrientation value)
{
    FOrientation = value;
    Invalidate();
}

bool TCustomUpDown::CanChange()
{
    bool allow = true;
    if (OnChanging)
        OnChanging(this, allow);
    return allow;
}

void TCustomUpDown::Press(TUDBtnType button)
{
    if (!CanChange())
        return;
    const int low = std::min(FMin, FMax), high = std::max(FMin, FMax);
    const int direction = (button == btNext) == (FMax >= FMin) ? 1 : -1;
    int next = FPosition + direction * Increment;
    if (next > high)
        next = Wrap ? low : high;
    else if (next < low)
        next = Wrap ? high : low;
    FPosition = next;
    UpdateBuddy();
    const UINT message = FOrientation == udVertical ? WM_VSCROLL : WM_HSCROLL;
    const LPARAM handle = HandleAllocated() ? reinterpret_cast<LPARAM>(Handle()) : 0;
    if (TWinControl* parent = Parent()) {
        parent->Perform(message, MAKEWPARAM(SB_THUMBPOSITION, static_cast<WORD>(FPosition)), handle);
        parent->Perform(message, MAKEWPARAM(SB_ENDSCROLL, static_cast<WORD>(FPosition)), handle);
    }
    if (OnClick)
        OnClick(this, button);
}

TUDBtnType TCustomUpDown::ButtonAt(int X, int Y) const
{
    if (FOrientation == udVertical)
        return Y < Height() / 2 ? btNext : btPrev;
    return X >= Width() / 2 ? btNext : btPrev;
}

void TCustomUpDown::MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y)
{
    TWinControl::MouseDown(Button, Shift, X, Y);
    if (Button != mbLeft || !Enabled())
        return;
    FPressed = ButtonAt(X, Y);
    SetMouseCapture(true);
    Invalidate();
    Press(static_cast<TUDBtnType>(FPressed));
    FRepeat->Timer.start(500);
}

void TCustomUpDown::MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y)
{
    TWinControl::MouseUp(Button, Shift, X, Y);
    if (Button != mbLeft)
        return;
    FRepeat->Timer.stop();
    FPressed = -1;
    SetMouseCapture(false);
    Invalidate();
}

void TCustomUpDown::Paint()
{
    QPainter* painter = PaintPainter(this);
    if (!painter)
        return;
    const int w = Width(), h = Height();
    painter->fillRect(QRect(0, 0, w, h), ToQColor(Color()));
    const bool vertical = FOrientation == udVertical;
    const QRect first = vertical ? QRect(0, 0, w, h / 2) : QRect(0, 0, w / 2, h);
    const QRect second = vertical ? QRect(0, h / 2, w, h - h / 2) : QRect(w / 2, 0, w - w / 2, h);
    auto drawButton = [&](const QRect& rect, bool pressed, int direction) {
        if (pressed)
            StdCtrl::DrawRaisedEdge(*painter, rect, true);
        else
            StdCtrl::DrawArrowButtonEdge(*painter, rect);
        const QColor arrow = ToQColor(Enabled() ? clBtnText : clGrayText);
        const QPoint centre = rect.center() + (pressed ? QPoint(1, 1) : QPoint());
        for (int i = 0; i < 3; ++i) {
            if (vertical) {
                const int y = centre.y() + (direction < 0 ? -1 + i : 1 - i);
                painter->fillRect(QRect(centre.x() - i, y, 2 * i + 1, 1), arrow);
            } else {
                const int x = centre.x() + (direction < 0 ? -1 + i : 1 - i);
                painter->fillRect(QRect(x, centre.y() - i, 1, 2 * i + 1), arrow);
            }
        }
    };
    // Up (next) on top, or right when horizontal.
    if (vertical) {
        drawButton(first, FPressed == btNext, -1);
        drawButton(second, FPressed == btPrev, 1);
    } else {
        drawButton(first, FPressed == btPrev, -1);
        drawButton(second, FPressed == btNext, 1);
    }
}

void TCustomUpDown::Dispatch(TMessage& Message)
{
    switch (Message.Msg) {
    case UDM_SETRANGE:
        FMax = static_cast<SHORT>(LOWORD(static_cast<std::uintptr_t>(Message.LParam)));
        FMin = static_cast<SHORT>(HIWORD(static_cast<std::uintptr_t>(Message.LParam)));
        SetPosition(FPosition);
        return;
    case UDM_GETRANGE:
        Message.Result = MAKELRESULT(static_cast<WORD>(FMax), static_cast<WORD>(FMin));
        return;
    case UDM_SETPOS: {
        const LRESULT previous = FPosition;
        SetPosition(static_cast<SHORT>(LOWORD(static_cast<std::uintptr_t>(Message.LParam))));
        Message.Result = previous;
        return;
    }
    case UDM_GETPOS:
        Message.Result = static_cast<WORD>(FPosition);
        return;
    case UDM_GETBUDDY:
        Message.Result = FAssociate && FAssociate->HandleAllocated() ? reinterpret_cast<LRESULT>(FAssociate->Handle()) : 0;
        return;
    case WM_KEYDOWN:
        if (ArrowKeys && (Message.WParam == VK_UP || Message.WParam == VK_DOWN)) {
            Press(Message.WParam == VK_UP ? btNext : btPrev);
            return;
        }
        TWinControl::Dispatch(Message);
        return;
    default:
        TWinControl::Dispatch(Message);
    }
}
