#include "widgets/FlatButtonBase.h"

#include "platform/gui/Form.h"
#include "platform/gui/ImageList.h"
#include "platform/gui/TextOutput.h"

#include <algorithm>

namespace FlatButtonBase {
namespace {

// The image of a glyph strip that shows a state (NumGlyphs images side by side).
int ImageForState(int numGlyphs, TButtonState state)
{
    switch (state) {
    case bsDisabled:
        return numGlyphs >= 2 ? 1 : 0;
    case bsDown:
        return numGlyphs >= 3 ? 2 : 0;
    case bsExclusive:
        return numGlyphs == 4 ? 3 : numGlyphs == 3 ? 2 : 0;
    default:
        return 0;
    }
}

} // namespace
} // namespace FlatButtonBase

template <class TBase>
TFlatButtonBase<TBase>::TFlatButtonBase(TComponent* AOwner, TFlatHoverTracker& tracker)
    : TBase(AOwner), FHover(tracker), FGlyph(std::make_unique<TBitmap>())
{
    FGlyph->OnChange = [this](TObject*) { FGlyphImage.reset(); };
    this->ControlStyle = TControlStyle{csCaptureMouse, csDoubleClicks};
    this->SetBounds(this->Left(), this->Top(), 25, 25);
    FHover.AddInstance();
}

template <class TBase>
TFlatButtonBase<TBase>::~TFlatButtonBase()
{
    FGlyph->OnChange = nullptr;
    FHover.RemoveInstance(this);
}

// --- Properties ----------------------------------------------------------------------------------------------

template <class TBase>
void TFlatButtonBase<TBase>::SetTransparent(FlatDrawing::TTransparentMode Value)
{
    FTransparentMode = Value;
    this->Invalidate();
}

template <class TBase>
void TFlatButtonBase<TBase>::SetAllowAllUp(bool Value)
{
    if (Value == FAllowAllUp)
        return;
    FAllowAllUp = Value;
    UpdateExclusive();
}

template <class TBase>
void TFlatButtonBase<TBase>::SetColors(int Index, TColor Value)
{
    switch (Index) {
    case 0:
        FColorFocused = Value;
        break;
    case 1:
        FColorDown = Value;
        break;
    case 2:
        FColorBorder = Value;
        break;
    case 3:
        FColorHighLight = Value;
        break;
    case 4:
        FColorShadow = Value;
        break;
    default:
        break;
    }
    this->Invalidate();
}

template <class TBase>
void TFlatButtonBase<TBase>::SetAdvColors(int Index, int Value)
{
    const auto step = static_cast<FlatDrawing::TAdvColors>(std::clamp(Value, 0, 100));
    switch (Index) {
    case 0:
        FAdvColorFocused = step;
        break;
    case 1:
        FAdvColorDown = step;
        break;
    case 2:
        FAdvColorBorder = step;
        break;
    default:
        break;
    }
    CalcAdvancedColors();
    this->Invalidate();
}

template <class TBase>
void TFlatButtonBase<TBase>::SetUseAdvColors(bool Value)
{
    if (Value == FUseAdvColors)
        return;
    FUseAdvColors = Value;
    this->SetParentColor(Value);
    CalcAdvancedColors();
    this->Invalidate();
}

template <class TBase>
void TFlatButtonBase<TBase>::CalcAdvancedColors()
{
    if (!FUseAdvColors)
        return;
    using FlatDrawing::CalcAdvancedColor;
    FColorFocused = CalcAdvancedColor(this->Color(), FColorFocused, FAdvColorFocused, FlatDrawing::lighten);
    FColorDown = CalcAdvancedColor(this->Color(), FColorDown, FAdvColorDown, FlatDrawing::darken);
    FColorBorder = CalcAdvancedColor(this->Color(), FColorBorder, FAdvColorBorder, FlatDrawing::darken);
}

template <class TBase>
void TFlatButtonBase<TBase>::SetGroupIndex(int Value)
{
    if (Value == FGroupIndex)
        return;
    FGroupIndex = Value;
    UpdateExclusive();
}

template <class TBase>
void TFlatButtonBase<TBase>::SetDown(bool Value)
{
    if (FGroupIndex == 0)
        Value = false;
    if (Value == FDown || (FDown && !FAllowAllUp))
        return;
    FDown = Value;
    if (Value) {
        if (FState == bsUp)
            this->Invalidate();
        FState = bsExclusive;
        UpdateExclusive();
    } else {
        FState = bsUp;
        this->Repaint();
    }
}

template <class TBase>
void TFlatButtonBase<TBase>::UpdateExclusive()
{
    TWinControl* parent = this->Parent();
    if (FGroupIndex == 0 || !parent)
        return;
    TMessage message{CM_BUTTONPRESSED, static_cast<WPARAM>(FGroupIndex), reinterpret_cast<LPARAM>(this), 0};
    parent->Broadcast(message);
}

template <class TBase>
void TFlatButtonBase<TBase>::ButtonPressed(TMessage& Message)
{
    if (static_cast<int>(Message.WParam) != FGroupIndex)
        return;
    // Groups form among buttons of one class: anything else in the parent is left alone.
    auto* sender = dynamic_cast<TFlatButtonBase*>(reinterpret_cast<TControl*>(Message.LParam));
    if (!sender || sender == this)
        return;
    if (sender->Down() && FDown) {
        FDown = false;
        FState = bsUp;
        this->Invalidate();
    }
    FAllowAllUp = sender->AllowAllUp();
}

template <class TBase>
void TFlatButtonBase<TBase>::SetGlyph(TBitmap* Value)
{
    if (Value != FGlyph.get()) {
        FGlyph->Assign(Value);
        const int width = FGlyph->Width();
        const int height = FGlyph->Height();
        if (!FGlyph->Empty() && height > 0 && width % height == 0) {
            FNumGlyphs = width / height;
            if (FNumGlyphs > 4)
                FNumGlyphs = 1;
        }
    }
    this->Invalidate();
}

template <class TBase>
void TFlatButtonBase<TBase>::SetNumGlyphs(int Value)
{
    // Images exist for strips of 1 to 4 only; 0 would divide the strip by zero.
    Value = std::clamp(Value, 1, 4);
    if (Value == FNumGlyphs)
        return;
    FNumGlyphs = Value;
    FGlyphImage.reset();
    this->Invalidate();
}

template <class TBase>
void TFlatButtonBase<TBase>::SetLayout(TButtonLayout Value)
{
    if (Value == FLayout)
        return;
    FLayout = Value;
    this->Invalidate();
}

template <class TBase>
void TFlatButtonBase<TBase>::SetMargin(int Value)
{
    if (Value == FMargin || Value < -1)
        return;
    FMargin = Value;
    this->Invalidate();
}

template <class TBase>
void TFlatButtonBase<TBase>::SetSpacing(int Value)
{
    if (Value == FSpacing)
        return;
    FSpacing = Value;
    this->Invalidate();
}

template <class TBase>
HPALETTE TFlatButtonBase<TBase>::GetPalette() const
{
    return FGlyph->Palette();
}

// --- Click and messages --------------------------------------------------------------------------------------

template <class TBase>
void TFlatButtonBase<TBase>::Click()
{
    if (this->Parent())
        if (TCustomForm* form = GetParentForm(this))
            form->SetModalResult(FModalResult);
    TBase::Click();
}

template <class TBase>
void TFlatButtonBase<TBase>::Loaded()
{
    TBase::Loaded();
    this->Invalidate();
}

template <class TBase>
void TFlatButtonBase<TBase>::Dispatch(TMessage& Message)
{
    switch (Message.Msg) {
    case WM_LBUTTONDBLCLK:
        TBase::Dispatch(Message);
        if (FDown)
            this->DblClick();
        return;
    case CM_ENABLEDCHANGED:
        TBase::Dispatch(Message);
        EnabledChanged();
        return;
    case CM_BUTTONPRESSED:
        ButtonPressed(Message);
        return;
    case CM_DIALOGCHAR:
        // A hidden button does not answer its accelerator.
        if (this->Enabled() && this->Showing() && IsAccel(static_cast<WORD>(Message.WParam), this->Caption())) {
            AcceleratorPressed();
            Message.Result = 1;
            return;
        }
        TBase::Dispatch(Message);
        return;
    case CM_FONTCHANGED:
    case CM_TEXTCHANGED:
        TBase::Dispatch(Message);
        this->Invalidate();
        return;
    case CM_SYSCOLORCHANGE:
    case CM_PARENTCOLORCHANGED:
        TBase::Dispatch(Message);
        if (Message.Msg == CM_SYSCOLORCHANGE)
            FGlyphImage.reset(); // the embossed image is made of system colours
        ColorsFollowParent();
        return;
    case CM_MOUSEENTER:
        TBase::Dispatch(Message);
        if (OnMouseEnter)
            OnMouseEnter(this);
        return;
    case CM_MOUSELEAVE:
        TBase::Dispatch(Message);
        if (OnMouseLeave)
            OnMouseLeave(this);
        return;
    default:
        TBase::Dispatch(Message);
    }
}

template <class TBase>
void TFlatButtonBase<TBase>::ColorsFollowParent()
{
    if (FUseAdvColors) {
        this->SetParentColor(true);
        CalcAdvancedColors();
    }
    this->Invalidate();
}

template <class TBase>
void TFlatButtonBase<TBase>::EnabledChanged()
{
    if (!this->Enabled()) {
        FMouseInControl = false;
        FState = bsDisabled;
        FHover.Release(this);
    }
    UpdateTracking();
    this->Invalidate();
}

// --- Mouse and hover -----------------------------------------------------------------------------------------

template <class TBase>
bool TFlatButtonBase<TBase>::InsideForPress(int X, int Y) const
{
    // The bottom edge still counts: a release on the row just below the button clicks.
    return X >= 0 && X < this->ClientWidth() && Y >= 0 && Y <= this->ClientHeight();
}

template <class TBase>
void TFlatButtonBase<TBase>::MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y)
{
    TBase::MouseDown(Button, Shift, X, Y);
    if (Button != mbLeft || !this->Enabled())
        return;
    if (!FDown) {
        FState = bsDown;
        this->Invalidate();
    }
    FDragging = true;
    Pressed();
}

template <class TBase>
void TFlatButtonBase<TBase>::MouseMove(TShiftState Shift, int X, int Y)
{
    TBase::MouseMove(Shift, X, Y);
    if (FDragging) {
        TButtonState state = FDown ? bsExclusive : bsUp;
        if (InsideForPress(X, Y))
            state = FDown ? bsExclusive : bsDown;
        if (state != FState) {
            FState = state;
            this->Invalidate();
        }
    }
    FHover.MouseMoved(this, [this] { MouseEnterStep(); }, [this] { MouseLeaveStep(); });
}

template <class TBase>
void TFlatButtonBase<TBase>::MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y)
{
    TBase::MouseUp(Button, Shift, X, Y);
    if (!FDragging)
        return;
    FDragging = false;
    const bool inside = InsideForPress(X, Y);
    if (FGroupIndex == 0) {
        FState = bsUp;
        FMouseInControl = false;
        // Also outside: a release without a move off the button still shows the raised look.
        this->Invalidate();
    } else if (inside) {
        SetDown(!FDown);
        if (FDown)
            this->Repaint();
    } else {
        if (FDown)
            FState = bsExclusive;
        this->Invalidate();
    }
    if (inside)
        Click();
    else
        MouseLeaveStep();
    UpdateTracking();
}

template <class TBase>
void TFlatButtonBase<TBase>::MouseEnterStep()
{
    if (!this->Enabled() || FMouseInControl)
        return;
    FMouseInControl = true;
    this->Invalidate();
}

template <class TBase>
void TFlatButtonBase<TBase>::MouseLeaveStep()
{
    // While the mouse button is held the hover look stays.
    if (!this->Enabled() || !FMouseInControl || FDragging)
        return;
    FMouseInControl = false;
    FHover.Release(this);
    this->Invalidate();
}

template <class TBase>
void TFlatButtonBase<TBase>::UpdateTracking()
{
    if (!this->Enabled())
        return;
    if (!TFlatHoverTracker::PointerIsOver(this)) {
        MouseLeaveStep();
        return;
    }
    // Entering takes the poll over, so that the look goes again when the pointer leaves.
    if (FHover.Owner() == this)
        MouseEnterStep();
    else
        FHover.MouseMoved(this, [this] { MouseEnterStep(); }, [this] { MouseLeaveStep(); });
}

// --- Painting ------------------------------------------------------------------------------------------------

template <class TBase>
bool TFlatButtonBase<TBase>::ShowsParent() const
{
    return FTransparentMode == FlatDrawing::tmAlways ||
           (FTransparentMode == FlatDrawing::tmNotFocused && !FMouseInControl);
}

template <class TBase>
void TFlatButtonBase<TBase>::PaintFace(TCanvas* canvas)
{
    if (!(*canvas->Font() == *this->Font()))
        canvas->SetFont(this->Font());
    const bool pressedLook = FState == bsDown || FState == bsExclusive;
    const TRect client = this->ClientRect();
    FlatDrawing::CalcButtonLayout(canvas, client, pressedLook ? Point(1, 1) : Point(0, 0), FLayout, FSpacing,
                                  FMargin, FGlyph.get(), FNumGlyphs, this->Caption(), FTextBounds, FGlyphPos);

    if (!this->Enabled()) {
        FState = bsDisabled;
        FDragging = false;
    } else if (FState == bsDisabled) {
        FState = FDown && FGroupIndex != 0 ? bsExclusive : bsUp;
    }

    if (!ShowsParent()) {
        TColor fill = this->Color();
        if (FState == bsDown)
            fill = FColorDown;
        else if (FState == bsExclusive)
            fill = FMouseInControl ? FColorFocused : FColorDown;
        else if (FState == bsUp && FMouseInControl)
            fill = FColorFocused;
        canvas->Brush()->SetStyle(bsSolid);
        canvas->Brush()->SetColor(fill);
        canvas->FillRect(client);
    }

    using FlatDrawing::Frame3DBorder;
    switch (FState) {
    case bsUp:
        if (FMouseInControl)
            Frame3DBorder(canvas, client, FColorHighLight, FColorShadow, 1);
        else
            Frame3DBorder(canvas, client, FColorBorder, FColorBorder, RestBorderWidth());
        break;
    case bsDisabled:
        Frame3DBorder(canvas, client, FColorBorder, FColorBorder, 1);
        break;
    default:
        Frame3DBorder(canvas, client, FColorShadow, FColorHighLight, 1);
        break;
    }

    if (!FGlyph->Empty())
        DrawGlyph(canvas);

    canvas->Brush()->SetStyle(bsClear);
    if (this->Caption().empty())
        return;
    if (FState == bsDisabled) {
        TRect raised = FTextBounds;
        OffsetRect(raised, 1, 1);
        DrawCaption(canvas, raised, clBtnHighlight);
        DrawCaption(canvas, FTextBounds, clBtnShadow);
    } else {
        DrawCaption(canvas, FTextBounds, this->Font()->Color());
    }
}

template <class TBase>
void TFlatButtonBase<TBase>::DrawGlyph(TCanvas* canvas)
{
    const int stripWidth = FGlyph->Width();
    const int height = FGlyph->Height();
    const int imageWidth = stripWidth / FNumGlyphs;
    // A strip narrower than its image count has no image to draw.
    if (imageWidth <= 0 || height <= 0)
        return;
    const int index = FlatButtonBase::ImageForState(FNumGlyphs, FState);
    const bool embossed = FNumGlyphs == 1 && FState == bsDisabled;
    const int key = index * 2 + (embossed ? 1 : 0);
    if (!FGlyphImage || FGlyphImageKey != key) {
        // The strip's bottom-left pixel is transparent in every image.
        TColor transparentColor = FGlyph->Canvas()->Pixels(0, height - 1);
        const int left = index * imageWidth;
        const int right = index == FNumGlyphs - 1 ? stripWidth : left + imageWidth;
        auto image = std::make_unique<TBitmap>();
        image->SetSize(imageWidth, height);
        image->Canvas()->CopyRect(Rect(0, 0, imageWidth, height), FGlyph->Canvas(), Rect(left, 0, right, height));
        if (embossed) {
            image = FlatDrawing::CreateDisabledBitmap(image.get(), clBlack, clBtnFace, clBtnHighlight, clBtnShadow, true);
            transparentColor = image->Canvas()->Pixels(0, height - 1);
        }
        auto images = std::make_unique<TCustomImageList>(imageWidth, height);
        images->AddMasked(image.get(), transparentColor);
        FGlyphImage = std::move(images);
        FGlyphImageKey = key;
    }
    FGlyphImage->Draw(canvas, FGlyphPos.X, FGlyphPos.Y, 0);
}

template <class TBase>
void TFlatButtonBase<TBase>::DrawCaption(TCanvas* canvas, TRect bounds, TColor color)
{
    // The font was selected when the layout measured the caption; nothing since has changed it.
    HDC dc = canvas->Handle();
    SetTextColor(dc, ColorToRGB(color));
    SetBkMode(dc, TRANSPARENT);
    DrawTextA(dc, this->Caption(), -1, &bounds, DT_SINGLELINE | DT_VCENTER | DT_CENTER);
}

template class TFlatButtonBase<TGraphicControl>;
template class TFlatButtonBase<TCustomControl>;
