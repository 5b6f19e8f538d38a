// A combo box with a flat frame and a narrow flat button.

#include "widgets/FlatComboBox.h"

#include "platform/gui/Canvas.h"
#include "platform/gui/Colors.h"
#include "platform/gui/DeviceContext.h"
#include "platform/gui/GdiDraw.h"
#include "platform/gui/Regions.h"
#include "platform/gui/SystemMetrics.h"
#include "platform/gui/WindowFunctions.h"
#include "widgets/FlatEdit.h"

#include <algorithm>

using namespace FlatDrawing;

namespace {

bool HasArea(const TRect& r) { return r.Right > r.Left && r.Bottom > r.Top; }

// The combo's canvas, released after each piece of painting so that no context outlives it.
class TCanvasUse {
public:
    explicit TCanvasUse(TCanvas* canvas) : FCanvas(static_cast<TControlCanvas*>(canvas)) {}
    ~TCanvasUse() { FCanvas->FreeHandle(); }
    TControlCanvas* operator->() const { return FCanvas; }

private:
    TControlCanvas* FCanvas;
};

} // namespace

TFlatComboBox::TFlatComboBox(TComponent* AOwner) : TCustomComboBox(AOwner)
{
    SetBounds(Left(), Top(), 145, 25);
    ControlStyle.Exclude(csFixedHeight);
    ControlStyle.Include(csOpaque);
    FSysBtnWidth = GetSystemMetrics(SM_CXVSCROLL);
    SetItemHeight(13);
}

void TFlatComboBox::SetColors(int Index, TColor Value)
{
    switch (Index) {
    case 0:
        FColorArrow = Value;
        break;
    case 1:
        FColorArrowBackground = Value;
        break;
    case 2:
        FColorBorder = Value;
        break;
    default:
        break;
    }
    Invalidate();
}

void TFlatComboBox::SetAdvColors(int Index, int Value)
{
    const auto step = static_cast<TAdvColors>(std::clamp(Value, 0, 100));
    switch (Index) {
    case 0:
        FAdvColorBorder = step;
        break;
    case 1:
        FAdvColorArrowBackground = step;
        break;
    default:
        break;
    }
    CalcAdvColors();
    Invalidate();
}

void TFlatComboBox::SetUseAdvColors(bool Value)
{
    if (FUseAdvColors == Value)
        return;
    FUseAdvColors = Value;
    CalcAdvColors();
    Invalidate();
}

void TFlatComboBox::CalcAdvColors()
{
    if (!FUseAdvColors || !Parent())
        return;
    const TColor parentColor = Parent()->Color();
    FColorBorder = CalcAdvancedColor(parentColor, FColorBorder, FAdvColorBorder, darken);
    FColorArrowBackground = CalcAdvancedColor(parentColor, FColorArrowBackground, FAdvColorArrowBackground, darken);
}

TRect TFlatComboBox::ButtonRect() const
{
    TRect button = Rect(0, 0, Width(), Height());
    button.Left += ClientWidth() - FButtonWidth;
    OffsetRect(button, -1, 0);
    InflateRect(button, 1, 0);
    return button;
}

void TFlatComboBox::CreateWnd()
{
    TCustomComboBox::CreateWnd();
    PlaceEditPart(ClientWidth(), Height());
}

// The edit part stops before the flat button, so typed text never runs under it. The simple
// style keeps the height the combo gives its edit part: its list lies below.
void TFlatComboBox::PlaceEditPart(int NewClientWidth, int NewHeight)
{
    if (!HandleAllocated() || (Style() != csDropDown && Style() != csSimple))
        return;
    const TRect part = EditPartRect();
    const int height = Style() == csSimple ? part.Height() : NewHeight - 6;
    SetEditPartRect(Bounds(part.Left, part.Top, std::max(NewClientWidth - FButtonWidth - 8, 0), std::max(height, 0)));
}

void TFlatComboBox::UpdateBorderState()
{
    const bool designing = ComponentState().Contains(csDesigning);
    bool active;
    if (designing)
        active = Enabled();
    else
        active = DroppedDown() || (HandleAllocated() && Focused());
    if (active == FBorderActive)
        return;
    FBorderActive = active;
    RedrawBorders();
}

void TFlatComboBox::RedrawBorders()
{
    if (!HandleAllocated())
        return;
    PaintBorder();
    if (Style() != csSimple)
        PaintButton();
}

void TFlatComboBox::PaintBorder()
{
    HWND window = Handle();
    HDC dc = GetWindowDC(window);
    TRect frame = Rect(0, 0, Width(), Height());
    frame.Right -= FButtonWidth + 1;
    DrawFlatFrame(dc, frame, FColorBorder, Color());
    ReleaseDC(window, dc);
}

void TFlatComboBox::PaintButton()
{
    TCanvasUse canvas(Canvas());
    const TRect button = ButtonRect();
    const int cw = ClientWidth(), ch = ClientHeight();
    if (HasArea(button)) {
        canvas->Brush()->SetStyle(bsSolid);
        canvas->Brush()->SetColor(FColorArrowBackground);
        canvas->FillRect(button);
        canvas->Brush()->SetColor(FColorBorder);
        canvas->FrameRect(button);

        const int x = (button.Right - button.Left) / 2 - 6 + button.Left;
        const int y = (button.Bottom - button.Top) / 2 - 1 + button.Top;
        const bool dropped = DroppedDown();
        auto triangle = [&](int dx, int dy, TColor color) {
            canvas->Pen()->SetColor(color);
            canvas->Brush()->SetColor(color);
            const int left = x + dx, top = y + dy;
            if (dropped)
                canvas->Polygon({Point(left + 4, top + 2), Point(left + 8, top + 2), Point(left + 6, top)});
            else
                canvas->Polygon({Point(left + 4, top), Point(left + 8, top), Point(left + 6, top + 2)});
        };
        if (Enabled()) {
            triangle(0, 0, FColorArrow);
        } else {
            triangle(1, 1, clWhite);
            triangle(0, 0, static_cast<TColor>(0x808080));
        }
    }
    ExcludeClipRect(canvas->Handle(), cw - FSysBtnWidth, 0, cw, ch);
}

// The strip between the layer's text area and the flat button takes the selection's colour, and
// a focused list style gets a frame around the text area that reaches the strip.
void TFlatComboBox::PaintSelection()
{
    if (!HandleAllocated())
        return;
    TCanvasUse canvas(Canvas());
    const int cw = ClientWidth(), ch = ClientHeight();
    TRect strip = Rect(2, 3, cw - 2, ch - 3);
    strip.Left = strip.Right - FButtonWidth - 8;
    strip.Right = strip.Right - FButtonWidth - 3;
    const bool focused = GetFocus() == Handle() && !DroppedDown();
    canvas->Brush()->SetStyle(bsSolid);
    canvas->Brush()->SetColor(focused ? clHighlight : Color());
    if (HasArea(strip))
        canvas->FillRect(strip);
    if (focused) {
        TRect frame = Rect(3, 3, cw - 3, ch - 3);
        frame.Right -= FButtonWidth + 2;
        canvas->Brush()->SetColor(clHighlight);
        if (HasArea(frame))
            canvas->FrameRect(frame);
        canvas->Brush()->SetColor(clWindow);
    }
    ExcludeClipRect(canvas->Handle(), cw - FSysBtnWidth - 2, 0, cw, ch);
}

void TFlatComboBox::PaintOverSystem()
{
    const int cw = ClientWidth(), ch = ClientHeight();
    {
        // The part of the layer's wider button that the flat button leaves uncovered.
        TCanvasUse canvas(Canvas());
        const TRect uncovered = Rect(cw - FSysBtnWidth - 2, 0, ButtonRect().Left, ch);
        canvas->Brush()->SetStyle(bsSolid);
        canvas->Brush()->SetColor(Color());
        if (HasArea(uncovered))
            canvas->FillRect(uncovered);
    }
    PaintButton();
    if (Style() == csDropDown && DroppedDown()) {
        TCanvasUse canvas(Canvas());
        TRect frame = Rect(2, 2, cw - 2, ch - 2);
        frame.Right = Width() - FButtonWidth - 3;
        canvas->Brush()->SetColor(clWindow);
        if (HasArea(frame))
            canvas->FrameRect(frame);
    } else if (Style() != csDropDown) {
        PaintSelection();
    }
    RedrawBorders();
}

void TFlatComboBox::Dispatch(TMessage& Message)
{
    switch (Message.Msg) {
    case WM_WINDOWPOSCHANGING:
        // The new size, when the position brings one: the edit part is sized for it.
        if (auto* pos = reinterpret_cast<WINDOWPOS*>(Message.LParam); pos && !(pos->flags & SWP_NOSIZE))
            PlaceEditPart(pos->cx - (Width() - ClientWidth()), pos->cy);
        TCustomComboBox::Dispatch(Message);
        return;
    case WM_PAINT:
        TCustomComboBox::Dispatch(Message);
        PaintOverSystem();
        Message.Result = 0;
        return;
    case WM_NCPAINT:
        TCustomComboBox::Dispatch(Message);
        RedrawBorders();
        return;
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
        TCustomComboBox::Dispatch(Message);
        if (!ComponentState().Contains(csDesigning)) {
            UpdateBorderState();
            if (ListStyle())
                PaintSelection();
        }
        return;
    case WM_KEYDOWN: {
        const std::string before = Text();
        TCustomComboBox::Dispatch(Message);
        if (ListStyle() && Text() != before)
            PaintSelection();
        return;
    }
    case CN_COMMAND:
        TCustomComboBox::Dispatch(Message);
        switch (HIWORD(Message.WParam)) {
        case CBN_SELCHANGE:
        case CBN_DROPDOWN:
        case CBN_SELENDOK:
            if (ListStyle())
                PaintSelection();
            break;
        case CBN_CLOSEUP:
            if (HandleAllocated()) {
                TRect button = ButtonRect();
                button.Left -= 2;
                InvalidateRect(Handle(), &button, FALSE);
            }
            break;
        default:
            break;
        }
        return;
    case CM_ENABLEDCHANGED:
        TCustomComboBox::Dispatch(Message);
        Invalidate();
        return;
    case CM_FONTCHANGED:
        TCustomComboBox::Dispatch(Message);
        SetItemHeight(13);
        if (HandleAllocated())
            RecreateWnd();
        return;
    case CM_SYSCOLORCHANGE:
    case CM_PARENTCOLORCHANGED:
        CalcAdvColors();
        Invalidate();
        return;
    default:
        TCustomComboBox::Dispatch(Message);
    }
}
