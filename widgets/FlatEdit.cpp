// Flat single-line edits and the frame of the flat edit family.

#include "widgets/FlatEdit.h"

#include "platform/gui/Colors.h"
#include "platform/gui/DeviceContext.h"
#include "platform/gui/GdiDraw.h"
#include "platform/gui/GdiObjects.h"
#include "platform/gui/MaskEdit.h"
#include "platform/gui/Memo.h"
#include "platform/gui/Screen.h"
#include "platform/gui/WindowFunctions.h"

#include <algorithm>
#include <type_traits>

using namespace FlatDrawing;

template <class TBase>
TFlatEditFamily<TBase>::TFlatEditFamily(TComponent* AOwner) : TBase(AOwner)
{
    this->SetParentFont(true);
    TBase::SetParentColor(false);
    this->SetAutoSize(false);
    this->Ctl3D = false;
    this->SetBorderStyle(bsNone);
    this->ControlStyle.Exclude(csFramed);
}

template <class TBase>
void TFlatEditFamily<TBase>::SetColors(int Index, TColor Value)
{
    switch (Index) {
    case 0:
        FColorFocused = Value;
        break;
    case 1:
        FColorBorder = Value;
        break;
    case 2:
        FColorFlat = Value;
        FParentColor = false;
        break;
    default:
        break;
    }
    RedrawBorder();
}

template <class TBase>
void TFlatEditFamily<TBase>::SetAdvColors(int Index, int Value)
{
    const auto step = static_cast<TAdvColors>(std::clamp(Value, 0, 100));
    switch (Index) {
    case 0:
        FAdvColorFocused = step;
        break;
    case 1:
        FAdvColorBorder = step;
        break;
    default:
        break;
    }
    if (FUseAdvColors) {
        CalcAdvColors();
        RedrawBorder();
    } else if (Index < 0 || Index > 1) {
        RedrawBorder();
    }
}

template <class TBase>
void TFlatEditFamily<TBase>::SetUseAdvColors(bool Value)
{
    if (FUseAdvColors == Value)
        return;
    FUseAdvColors = Value;
    SetParentColor(Value);
    CalcAdvColors();
    RedrawBorder();
}

template <class TBase>
void TFlatEditFamily<TBase>::SetParentColor(bool Value)
{
    if (FParentColor == Value)
        return;
    FParentColor = Value;
    if (Value && this->Parent()) {
        FColorFlat = this->Parent()->Color();
        RedrawBorder();
    }
}

template <class TBase>
void TFlatEditFamily<TBase>::CalcAdvColors()
{
    if (!FUseAdvColors)
        return;
    FColorFocused = CalcAdvancedColor(FColorFlat, FColorFocused, FAdvColorFocused, lighten);
    FColorBorder = CalcAdvancedColor(FColorFlat, FColorBorder, FAdvColorBorder, darken);
}

template <class TBase>
void TFlatEditFamily<TBase>::ParentColorChanged()
{
    if (FUseAdvColors) {
        if (this->Parent())
            FColorFlat = this->Parent()->Color();
        CalcAdvColors();
    } else if (FParentColor && this->Parent()) {
        FColorFlat = this->Parent()->Color();
    }
    RedrawBorder();
}

template <class TBase>
bool TFlatEditFamily<TBase>::Highlighted() const
{
    if (this->HandleAllocated() && this->Focused())
        return true;
    if (!FMouseInControl)
        return false;
    const TWinControl* active = Screen ? Screen->ActiveControl() : nullptr;
    return !(active && active->InheritsFrom(this->ClassName()));
}

template <class TBase>
void TFlatEditFamily<TBase>::RedrawBorder()
{
    if (!this->HandleAllocated() || !this->Parent())
        return;
    const bool highlighted = Highlighted();
    const TColor fillColor = highlighted ? FColorFocused : FColorFlat;
    if (this->Color() != fillColor)
        this->SetColor(fillColor);

    HWND window = this->Handle();
    HDC dc = GetWindowDC(window);
    TRect frame;
    GetWindowRect(window, frame);
    OffsetRect(frame, -frame.Left, -frame.Top);
    DrawFlatFrame(dc, frame, FColorBorder, fillColor);
    if constexpr (std::is_same_v<TBase, TCustomMemo>) {
        const TRect corner = Rect(frame.Right - 17, frame.Bottom - 17, frame.Right - 1, frame.Bottom - 1);
        if (this->ScrollBars() == ssBoth && corner.Left >= frame.Left && corner.Top >= frame.Top) {
            HBRUSH fill = CreateSolidBrush(ColorToRGB(fillColor));
            FillRect(dc, &corner, fill);
            DeleteObject(fill);
        }
    }
    ReleaseDC(window, dc);
}

template <class TBase>
void TFlatEditFamily<TBase>::Dispatch(TMessage& Message)
{
    switch (Message.Msg) {
    case WM_NCCALCSIZE:
        TBase::Dispatch(Message);
        if (auto* params = reinterpret_cast<NCCALCSIZE_PARAMS*>(Message.LParam))
            InflateRect(params->rgrc[0], -3, -3);
        return;
    case WM_NCPAINT:
        TBase::Dispatch(Message);
        RedrawBorder();
        return;
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
    case CM_ENABLEDCHANGED:
        TBase::Dispatch(Message);
        RedrawBorder();
        return;
    case CM_MOUSEENTER:
        TBase::Dispatch(Message);
        if (GetActiveWindow() != nullptr) {
            FMouseInControl = true;
            RedrawBorder();
        }
        return;
    case CM_MOUSELEAVE:
        TBase::Dispatch(Message);
        FMouseInControl = false;
        RedrawBorder();
        return;
    case CM_SYSCOLORCHANGE:
    case CM_PARENTCOLORCHANGED:
        ParentColorChanged();
        return;
    default:
        TBase::Dispatch(Message);
    }
}

void DrawFlatFrame(HDC DC, TRect& Frame, TColor Border, TColor Band)
{
    HBRUSH border = CreateSolidBrush(ColorToRGB(Border));
    HBRUSH band = CreateSolidBrush(ColorToRGB(Band));
    const HBRUSH rings[] = {border, band, band};
    for (int ring = 0; ring < 3; ++ring) {
        if (ring > 0)
            InflateRect(Frame, -1, -1);
        if (Frame.Right > Frame.Left && Frame.Bottom > Frame.Top)
            FrameRect(DC, &Frame, rings[ring]);
    }
    DeleteObject(border);
    DeleteObject(band);
}

template class TFlatEditFamily<TCustomEdit>;
template class TFlatEditFamily<TCustomMaskEdit>;
template class TFlatEditFamily<TCustomMemo>;

int FlatEditHeight(TFont* Font)
{
    TEXTMETRICA metrics{};
    GetFontMetrics(Font, metrics);
    return metrics.tmHeight + 6;
}

TCustomFlatEdit::TCustomFlatEdit(TComponent* AOwner) : TFlatEditFamily<TCustomEdit>(AOwner)
{
    SetBounds(Left(), Top(), 121, 19);
}

void TCustomFlatEdit::NewAdjustHeight() { SetHeight(FlatEditHeight(Font())); }

void TCustomFlatEdit::Loaded()
{
    TFlatEditFamily<TCustomEdit>::Loaded();
    NewAdjustHeight();
}

void TCustomFlatEdit::Dispatch(TMessage& Message)
{
    TFlatEditFamily<TCustomEdit>::Dispatch(Message);
    if (Message.Msg == CM_FONTCHANGED)
        NewAdjustHeight();
}
