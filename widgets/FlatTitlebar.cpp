#include "widgets/FlatTitlebar.h"

#include "platform/gui/Canvas.h"
#include "platform/gui/Form.h"
#include "platform/gui/WindowHandles.h"

struct TFlatTitlebar::THookState {
    TFlatTitlebar* Titlebar = nullptr;
    HWND FormHandle = nullptr;
    WNDPROC Previous;
};

TFlatTitlebar::TFlatTitlebar(TComponent* AOwner) : TCustomControl(AOwner)
{
    SetBounds(Left(), Top(), 100, 19);
    ControlStyle.Include(csAcceptsControls);
    if (ComponentState().Contains(csDesigning))
        FActive = true;
}

TFlatTitlebar::~TFlatTitlebar() { Unhook(); }

void TFlatTitlebar::SetParent(TWinControl* AParent)
{
    if (AParent && !dynamic_cast<TCustomForm*>(AParent))
        RAISE(EInvalidOperation("TFlatTitlebar can only be placed on a descndant of a TCustomForm"));
    FForm = AParent;
    TCustomControl::SetParent(AParent);
}

void TFlatTitlebar::Loaded()
{
    TCustomControl::Loaded();
    if (ComponentState().Contains(csDesigning) || !FForm || FHook)
        return;
    auto state = std::make_shared<THookState>();
    state->FormHandle = FForm->Handle();
    // The procedure holds the shared state, never the title bar itself: once the title bar has
    // gone it only passes the form's messages on.
    FInstalled = WNDPROC([state](HWND handle, UINT message, WPARAM wParam, LPARAM lParam) -> LRESULT {
        if (message == WM_ACTIVATE && state->Titlebar)
            state->Titlebar->ActivationStep(wParam);
        return CallWindowProcA(state->Previous, handle, message, wParam, lParam);
    });
    state->Titlebar = this;
    state->Previous = SetWindowLongPtrA(state->FormHandle, GWL_WNDPROC, FInstalled);
    FHook = state;
}

void TFlatTitlebar::Unhook()
{
    if (!FHook)
        return;
    std::shared_ptr<THookState> state = std::move(FHook);
    state->Titlebar = nullptr;
    // Put the form's own procedure back when nobody has hooked it since; otherwise the later
    // hook calls ours, which now only forwards.
    if (GetWindowProc(state->FormHandle) == FInstalled)
        SetWindowLongPtrA(state->FormHandle, GWL_WNDPROC, state->Previous);
    FInstalled = WNDPROC();
}

void TFlatTitlebar::ActivationStep(WPARAM WParam)
{
    switch (LOWORD(WParam)) {
    case WA_INACTIVE:
        FActive = false;
        Invalidate();
        if (OnDeactivate)
            OnDeactivate(this);
        break;
    case WA_ACTIVE:
    case WA_CLICKACTIVE:
        FActive = true;
        Invalidate();
        if (OnActivate)
            OnActivate(this);
        break;
    default:
        break;
    }
}

void TFlatTitlebar::Dispatch(TMessage& Message)
{
    switch (Message.Msg) {
    case CM_FONTCHANGED:
    case CM_TEXTCHANGED:
        TCustomControl::Dispatch(Message);
        Invalidate();
        return;
    default:
        TCustomControl::Dispatch(Message);
    }
}

void TFlatTitlebar::SetActiveTextColor(TColor Value)
{
    if (Value == FActiveTextColor)
        return;
    FActiveTextColor = Value;
    Invalidate();
}

void TFlatTitlebar::SetInactiveTextColor(TColor Value)
{
    if (Value == FInactiveTextColor)
        return;
    FInactiveTextColor = Value;
    Invalidate();
}

void TFlatTitlebar::SetTitlebarColor(TColor Value)
{
    if (Value == FTitlebarColor)
        return;
    FTitlebarColor = Value;
    Invalidate();
}

// The mouse overrides replace the inherited handling: the drag is all the title bar does.
void TFlatTitlebar::MouseDown(TMouseButton Button, TShiftState, int X, int Y)
{
    if (Button == mbLeft && !FDragging)
        FDragging = true;
    FDragStartX = X;
    FDragStartY = Y;
}

void TFlatTitlebar::MouseMove(TShiftState, int X, int Y)
{
    if (!FDragging)
        return;
    // The form that owns the title bar moves; the start point stays under the cursor as the
    // title bar moves with it.
    if (auto* form = dynamic_cast<TCustomForm*>(Owner()))
        form->SetBounds(form->Left() + X - FDragStartX, form->Top() + Y - FDragStartY, form->Width(), form->Height());
}

void TFlatTitlebar::MouseUp(TMouseButton, TShiftState, int, int) { FDragging = false; }

void TFlatTitlebar::Paint()
{
    TCanvas* canvas = Canvas();
    canvas->Font()->Assign(Font());
    canvas->Font()->SetColor(FActive ? FActiveTextColor : FInactiveTextColor);
    const std::string caption = Caption();
    const int textWidth = canvas->TextWidth(caption);
    const int textHeight = canvas->TextHeight(caption);
    canvas->Brush()->SetStyle(bsSolid);
    canvas->Brush()->SetColor(FTitlebarColor);
    canvas->FillRect(ClientRect());
    canvas->TextOut(Width() / 2 - textWidth / 2, Height() / 2 - textHeight / 2, caption);
}
