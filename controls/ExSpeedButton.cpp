// The tool button: frame, states, mouse handling, groups, repeat clicks and drop-down menus.

#include "controls/ExSpeedButton.h"

#include "controls/VCLUtils.h"
#include "platform/gui/Form.h"
#include "platform/gui/MessageQueue.h"
#include "platform/rtl/Threads.h"

namespace ExSpeedButtonUnit {

// Shared by every button, GUI thread only: the checker behind a latched button and the number
// of live buttons, which frees the checker with the last one.
std::unique_ptr<TBitmap> ExclusivePattern;
int ButtonCount = 0;

TBitmap* NeedExclusivePattern()
{
    if (!ExclusivePattern)
        ExclusivePattern = CreateTwoColorsBrushPattern(clBtnFace, clBtnHighlight);
    return ExclusivePattern.get();
}

} // namespace ExSpeedButtonUnit

int ExSpeedButtonCount() { return ExSpeedButtonUnit::ButtonCount; }

TRect DrawButtonFrame(TCanvas* Canvas, const TRect& Client, bool IsDown, bool IsFlat, TButtonStyle Style)
{
    const bool newLook = Style == bsNew || (Style == bsAutoDetect && NewStyleControls);
    TRect rect = Client;
    if (!IsDown) {
        if (newLook) {
            if (IsFlat) {
                Frame3D(Canvas, rect, clBtnHighlight, clBtnShadow, 1);
            } else {
                Frame3D(Canvas, rect, clBtnHighlight, clWindowFrame, 1);
                Frame3D(Canvas, rect, clBtnFace, clBtnShadow, 1);
            }
        } else if (IsFlat) {
            Frame3D(Canvas, rect, clBtnHighlight, clWindowFrame, 1);
        } else {
            Frame3D(Canvas, rect, clWindowFrame, clWindowFrame, 1);
            Frame3D(Canvas, rect, clBtnHighlight, clBtnShadow, 1);
        }
    } else if (newLook) {
        Frame3D(Canvas, rect, clWindowFrame, clBtnHighlight, 1);
        if (!IsFlat)
            Frame3D(Canvas, rect, clBtnShadow, clBtnFace, 1);
    } else if (IsFlat) {
        Frame3D(Canvas, rect, clWindowFrame, clBtnHighlight, 1);
    } else {
        Frame3D(Canvas, rect, clWindowFrame, clWindowFrame, 1);
        Canvas->Pen()->SetColor(clBtnShadow);
        Canvas->MoveTo(rect.Left, rect.Bottom - 1);
        Canvas->LineTo(rect.Left, rect.Top);
        Canvas->LineTo(rect.Right, rect.Top);
    }
    InflateRect(rect, -1, -1);
    return rect;
}

// --- Construction -------------------------------------------------------------------------------

TExSpeedButton::TExSpeedButton(TComponent* AOwner)
    : TGraphicControl(AOwner), FGlyph(std::make_unique<TExButtonGlyph>()), FDrawImage(std::make_unique<TBitmap>())
{
    ControlStyle = TControlStyle{csCaptureMouse, csOpaque, csDoubleClicks, csReplicatable};
    SetBounds(Left(), Top(), 25, 25);
    SetParentShowHint(false);
    SetShowHint(true);
    FGlyph->OnChange = [this](TObject* Sender) { GlyphChanged(Sender); };
    ++ExSpeedButtonUnit::ButtonCount;
}

TExSpeedButton::~TExSpeedButton()
{
    *FAlive = false;
    FGlyph.reset();
    if (--ExSpeedButtonUnit::ButtonCount == 0)
        ExSpeedButtonUnit::ExclusivePattern.reset();
    FDrawImage.reset();
    FRepeatTimer.reset();
}

void TExSpeedButton::Loaded()
{
    TGraphicControl::Loaded();
    PrepareNextImage();
}

// The image the button shows next is made ahead of its first paint.
void TExSpeedButton::PrepareNextImage()
{
    FGlyph->CreateButtonGlyph(!Enabled() ? rbsDisabled : FFlat ? rbsInactive : rbsUp);
}

void TExSpeedButton::GlyphChanged(TObject*) { Invalidate(); }

// --- Properties ----------------------------------------------------------------------------------

void TExSpeedButton::SetAlignment(TAlignment Value)
{
    if (Value == FGlyph->Alignment())
        return;
    FGlyph->SetAlignment(Value);
    Invalidate();
}

void TExSpeedButton::SetAllowAllUp(bool Value)
{
    if (Value == FAllowAllUp)
        return;
    FAllowAllUp = Value;
    UpdateExclusive();
}

void TExSpeedButton::SetAllowTimer(bool Value)
{
    FAllowTimer = Value;
    if (!Value)
        DropRepeatTimer();
}

void TExSpeedButton::DropRepeatTimer()
{
    if (!FRepeatTimer)
        return;
    FRepeatTimer->SetEnabled(false);
    FRepeatTimer.reset();
}

void TExSpeedButton::SetGroupIndex(int Value)
{
    if (Value == FGroupIndex)
        return;
    FGroupIndex = Value;
    UpdateExclusive();
}

void TExSpeedButton::SetDown(bool Value)
{
    if (FGroupIndex == 0)
        Value = false;
    if (Value == FDown || (FDown && !FAllowAllUp))
        return;
    FDown = Value;
    if (Value) {
        if (FState == rbsUp)
            Invalidate();
        FState = rbsExclusive;
    } else {
        FState = rbsUp;
    }
    Repaint();
    if (Value)
        UpdateExclusive();
    Invalidate();
}

// The other buttons of the group hear that this one went down, and take its AllowAllUp.
void TExSpeedButton::UpdateExclusive()
{
    if (FGroupIndex == 0 || !Parent())
        return;
    TMessage message{CM_BUTTONPRESSED, static_cast<WPARAM>(FGroupIndex), reinterpret_cast<LPARAM>(this), 0};
    Parent()->Broadcast(message);
}

void TExSpeedButton::SetDropDownMenu(TPopupMenu* Value)
{
    if (Value == FDropDownMenu)
        return;
    if (FDropDownMenu)
        FDropDownMenu->RemoveFreeNotification(this);
    FDropDownMenu = Value;
    if (Value)
        Value->FreeNotification(this);
    if (FMarkDropDown)
        Invalidate();
}

void TExSpeedButton::Notification(TComponent* AComponent, TOperation Operation)
{
    TGraphicControl::Notification(AComponent, Operation);
    if (Operation == opRemove && AComponent == FDropDownMenu) {
        FDropDownMenu = nullptr;
        if (FMarkDropDown)
            Invalidate();
    }
}

void TExSpeedButton::SetFlat(bool Value)
{
    if (Value == FFlat)
        return;
    FFlat = Value;
    Invalidate();
}

void TExSpeedButton::SetGlyph(TBitmap* Value)
{
    FGlyph->SetGlyph(Value);
    Invalidate();
}

void TExSpeedButton::SetGrayedInactive(bool Value)
{
    if (Value == FGrayedInactive)
        return;
    FGrayedInactive = Value;
    Invalidate();
}

void TExSpeedButton::SetLayout(TButtonLayout Value)
{
    if (Value == FLayout)
        return;
    FLayout = Value;
    Invalidate();
}

void TExSpeedButton::SetMargin(int Value)
{
    if (Value == FMargin || Value < -1)
        return;
    FMargin = Value;
    Invalidate();
}

void TExSpeedButton::SetMarkDropDown(bool Value)
{
    if (Value == FMarkDropDown)
        return;
    FMarkDropDown = Value;
    Invalidate();
}

void TExSpeedButton::SetNumGlyphs(TExNumGlyphs Value)
{
    Value = std::min(Value, 5);
    if (Value == FGlyph->NumGlyphs())
        return;
    FGlyph->SetNumGlyphs(Value);
    Invalidate();
}

void TExSpeedButton::SetSpacing(int Value)
{
    if (Value == FSpacing)
        return;
    FSpacing = Value;
    Invalidate();
}

void TExSpeedButton::SetStyle(TButtonStyle Value)
{
    if (Value == FStyle)
        return;
    FStyle = Value;
    Invalidate();
}

void TExSpeedButton::SetTransparent(bool Value)
{
    if (Value == FTransparent)
        return;
    FTransparent = Value;
    Invalidate();
}

void TExSpeedButton::SetWordWrap(bool Value)
{
    if (Value == FGlyph->WordWrap())
        return;
    FGlyph->SetWordWrap(Value);
    Invalidate();
}

// --- Painting ------------------------------------------------------------------------------------

void TExSpeedButton::Paint()
{
    if (!Enabled()) {
        FState = rbsDisabled;
        FDragging = false;
    } else if (FState == rbsDisabled) {
        FState = FDown && FGroupIndex != 0 ? rbsExclusive : rbsUp;
    }
    const TExButtonState paintState = FFlat && !FMouseInControl ? rbsInactive : FState;
    FDrawImage->SetSize(Width(), Height());
    TCanvas* image = FDrawImage->Canvas();
    // The image keeps the font between paints: making it again each time would cost a font.
    if (FImageFontStale) {
        image->SetFont(Font());
        FImageFontStale = false;
    }
    image->Brush()->SetColor(clBtnFace);
    image->Brush()->SetStyle(bsSolid);
    image->FillRect(Rect(0, 0, Width(), Height()));
    if (FTransparent)
        CopyParentImage(this, image);
    TRect paintRect = Rect(0, 0, Width(), Height());
    if (paintState != rbsInactive || FState == rbsExclusive)
        paintRect = DrawButtonFrame(image, paintRect, FState == rbsDown || FState == rbsExclusive, FFlat, FStyle);
    else if (FFlat)
        InflateRect(paintRect, -2, -2);
    if (FState == rbsExclusive && !FTransparent && (!FFlat || paintState == rbsInactive)) {
        image->Brush()->SetBitmap(ExSpeedButtonUnit::NeedExclusivePattern());
        TRect checker = paintRect;
        InflateRect(checker, 1, 1);
        image->FillRect(checker);
        image->Brush()->SetBitmap(nullptr);
    }
    if (FState == rbsDown || FState == rbsExclusive)
        OffsetRect(paintRect, 1, 1);
    const TExButtonState glyphState = FState == rbsDisabled || !FGrayedInactive ? FState : paintState;
    PaintGlyph(image, paintRect, glyphState, FMarkDropDown && FDropDownMenu);
    Canvas()->Draw(0, 0, FDrawImage.get());
}

void TExSpeedButton::PaintGlyph(TCanvas* Canvas, const TRect& ARect, TExButtonState AState, bool DrawMark)
{
    FGlyph->Draw(Canvas, ARect, Caption(), FLayout, FMargin, FSpacing, DrawMark, AState,
                 TExButtonGlyph::AlignmentFlags(FGlyph->Alignment()));
}

// --- Mouse ---------------------------------------------------------------------------------------

// The bottom edge row counts as inside.
bool TExSpeedButton::Inside(int X, int Y) const
{
    return X >= 0 && X < ClientWidth() && Y >= 0 && Y <= ClientHeight();
}

void TExSpeedButton::MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y)
{
    if (FMenuTracking)
        return;
    TGraphicControl::MouseDown(Button, Shift, X, Y);
    if (Enabled() && !FMouseInControl) {
        FMouseInControl = true;
        Repaint();
    }
    if (Button != mbLeft || !Enabled())
        return;
    if (!FDown) {
        FState = rbsDown;
        Repaint();
    }
    FDragging = true;
    FMenuTracking = true;
    const std::shared_ptr<bool> alive = FAlive;
    try {
        if (CheckMenuDropDown(GetDropDownMenuPos(), false)) {
            // A command of the menu may have freed the button.
            if (!*alive)
                return;
            DoMouseUp(Button, Shift, X, Y);
        }
        // The press that closed the menu over the button must not open it again.
        MSG next;
        if (PeekMessage(next, nullptr, 0, 0, PM_NOREMOVE) &&
            (next.message == WM_LBUTTONDOWN || next.message == WM_LBUTTONDBLCLK) &&
            Inside(ScreenToClient(next.pt).X, ScreenToClient(next.pt).Y))
            KillMessage(nullptr, next.message);
    } catch (...) {
        if (*alive)
            FMenuTracking = false;
        throw;
    }
    FMenuTracking = false;
    if (FAllowTimer) {
        if (!FRepeatTimer)
            FRepeatTimer = std::make_unique<TTimer>(nullptr);
        FRepeatTimer->SetInterval(InitPause);
        FRepeatTimer->OnTimer = [this](TObject* Sender) { TimerExpired(Sender); };
        FRepeatTimer->SetEnabled(true);
    }
}

void TExSpeedButton::MouseMove(TShiftState Shift, int X, int Y)
{
    TGraphicControl::MouseMove(Shift, X, Y);
    if (!FDragging)
        return;
    TExButtonState newState = FDown ? rbsExclusive : rbsUp;
    if (Inside(X, Y))
        newState = FDown ? rbsExclusive : rbsDown;
    if (newState != FState) {
        FState = newState;
        Repaint();
    }
}

void TExSpeedButton::MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y)
{
    TGraphicControl::MouseUp(Button, Shift, X, Y);
    const std::shared_ptr<bool> alive = FAlive;
    DoMouseUp(Button, Shift, X, Y);
    if (*alive && FRepeatTimer)
        FRepeatTimer->SetEnabled(false);
}

void TExSpeedButton::DoMouseUp(TMouseButton Button, TShiftState, int X, int Y)
{
    if (FDragging && Button == mbLeft) {
        FDragging = false;
        const bool counts = Inside(X, Y);
        if (FGroupIndex == 0) {
            FState = rbsUp;
            FMouseInControl = false;
            if (counts)
                Repaint();
            else
                Invalidate();
        } else if (counts) {
            SetDown(!FDown);
            if (FDown)
                Repaint();
        } else {
            if (FDown)
                FState = rbsExclusive;
            Repaint();
        }
        if (counts && !FMenuTracking) {
            const std::shared_ptr<bool> alive = FAlive;
            Click();
            if (!*alive)
                return;
        }
    }
    UpdateTracking();
}

void TExSpeedButton::TimerExpired(TObject*)
{
    FRepeatTimer->SetInterval(RepeatInterval);
    if (FState != rbsDown || !MouseCapture())
        return;
    const std::shared_ptr<bool> alive = FAlive;
    try {
        Click();
    } catch (...) {
        if (*alive && FRepeatTimer)
            FRepeatTimer->SetEnabled(false);
        throw;
    }
}

void TExSpeedButton::ButtonClick()
{
    if (FMenuTracking || !Enabled() || (FDropDownMenu && FDropDownMenu->AutoPopup))
        return;
    if (!FDown) {
        FState = rbsDown;
        Repaint();
    }
    const std::shared_ptr<bool> alive = FAlive;
    const auto finish = [this] {
        FState = rbsUp;
        if (FGroupIndex == 0) {
            Repaint();
        } else {
            SetDown(!FDown);
            Click();
        }
    };
    try {
        // The pressed look shows for a moment, without taking the user's input meanwhile.
        Sleep(20);
        if (FGroupIndex == 0)
            Click();
    } catch (...) {
        if (*alive)
            finish();
        throw;
    }
    if (*alive)
        finish();
}

void TExSpeedButton::Click()
{
    if (TCustomForm* form = GetParentForm(this))
        form->SetModalResult(ModalResult);
    TGraphicControl::Click();
}

// --- Drop-down menu ------------------------------------------------------------------------------

TPoint TExSpeedButton::GetDropDownMenuPos()
{
    if (!FDropDownMenu)
        return Point(0, 0);
    if (MenuPosition == dmpBottom) {
        switch (FDropDownMenu->Alignment) {
        case paLeft:
            return Point(-1, Height());
        case paRight:
            return Point(Width() + 1, Height());
        case paCenter:
            return Point(Width() / 2, Height());
        }
    }
    switch (FDropDownMenu->Alignment) {
    case paLeft:
        return Point(Width(), -1);
    case paRight:
        return Point(-1, -1);
    case paCenter:
        break;
    }
    return Point(Width() / 2, Height());
}

bool TExSpeedButton::CheckMenuDropDown(TPoint Pos, bool Manual)
{
    if (!FDropDownMenu || (!Manual && !FDropDownMenu->AutoPopup))
        return false;
    if (TCustomForm* form = GetParentForm(this))
        form->Perform(CM_CANCELMODE, 0, reinterpret_cast<LPARAM>(this));
    FDropDownMenu->PopupComponent = this;
    // The point travels as a 16-bit point.
    const TPoint screen = ClientToScreen(Point(static_cast<SHORT>(Pos.X), static_cast<SHORT>(Pos.Y)));
    FDropDownMenu->Popup(screen.X, screen.Y);
    return true;
}

bool TExSpeedButton::CheckBtnMenuDropDown() { return CheckMenuDropDown(GetDropDownMenuPos(), true); }

// --- Hover ---------------------------------------------------------------------------------------

void TExSpeedButton::MouseEnter()
{
    if (OnMouseEnter)
        OnMouseEnter(this);
}

void TExSpeedButton::MouseLeave()
{
    if (OnMouseLeave)
        OnMouseLeave(this);
}

void TExSpeedButton::MouseEntered()
{
    FMouseInControl = true;
    if (FFlat)
        Repaint();
    MouseEnter();
}

void TExSpeedButton::MouseLeft()
{
    FMouseInControl = false;
    if (FFlat)
        Invalidate();
    MouseLeave();
}

void TExSpeedButton::UpdateTracking()
{
    TPoint cursor;
    GetCursorPos(cursor);
    const bool inside = Enabled() && FindDragTarget(cursor, true) == this && IsForegroundTask();
    if (inside == FMouseInControl)
        return;
    if (inside)
        MouseEntered();
    else
        MouseLeft();
}

// --- Messages ------------------------------------------------------------------------------------

void TExSpeedButton::ButtonPressed(TMessage& Message)
{
    TCMButtonPressed pressed(Message);
    if (static_cast<int>(pressed.Index) != FGroupIndex)
        return;
    auto* sender = dynamic_cast<TExSpeedButton*>(static_cast<TControl*>(pressed.Control));
    if (!sender || sender == this || !Parent() || !Parent()->HandleAllocated())
        return;
    if (sender->Down() && FDown) {
        FDown = false;
        FState = rbsUp;
        Repaint();
    }
    FAllowAllUp = sender->AllowAllUp();
}

void TExSpeedButton::Dispatch(TMessage& Message)
{
    switch (Message.Msg) {
    case CM_BUTTONPRESSED:
        ButtonPressed(Message);
        return;
    case CM_DIALOGCHAR: {
        TCMDialogChar key(Message);
        if (IsAccel(key.CharCode, Caption()) && Enabled()) {
            Click();
            Message.Result = 1;
            return;
        }
        break;
    }
    case CM_ENABLEDCHANGED:
        TGraphicControl::Dispatch(Message);
        PrepareNextImage();
        UpdateTracking();
        Repaint();
        return;
    case CM_FONTCHANGED:
        FImageFontStale = true;
        TGraphicControl::Dispatch(Message);
        Invalidate();
        return;
    case CM_TEXTCHANGED:
        TGraphicControl::Dispatch(Message);
        Invalidate();
        return;
    case CM_MOUSEENTER:
        TGraphicControl::Dispatch(Message);
        if (!FMouseInControl && Enabled() && IsForegroundTask())
            MouseEntered();
        return;
    case CM_MOUSELEAVE:
        TGraphicControl::Dispatch(Message);
        if (FMouseInControl && Enabled() && !FDragging)
            MouseLeft();
        return;
    case CM_SYSCOLORCHANGE:
        FGlyph->Invalidate();
        Invalidate();
        return;
    case CM_VISIBLECHANGED:
        TGraphicControl::Dispatch(Message);
        if (Visible())
            UpdateTracking();
        return;
    case WM_LBUTTONDBLCLK:
        if (FMenuTracking)
            return;
        TGraphicControl::Dispatch(Message);
        if (FDown)
            DblClick();
        return;
    case WM_MOUSEMOVE:
        if (FMenuTracking)
            return;
        break;
    case WM_RBUTTONDOWN:
    case WM_RBUTTONUP:
        TGraphicControl::Dispatch(Message);
        UpdateTracking();
        return;
    default:
        break;
    }
    TGraphicControl::Dispatch(Message);
}
