#include "widgets/FlatButton.h"

#include "platform/gui/Form.h"

TFlatButton::TFlatButton(TComponent* AOwner) : TFlatButtonBase<TCustomControl>(AOwner, HoverTracker())
{
    ControlStyle = TControlStyle{csCaptureMouse, csOpaque, csDoubleClicks};
}

TFlatButton::~TFlatButton() = default;

TFlatHoverTracker& TFlatButton::HoverTracker()
{
    static TFlatHoverTracker tracker;
    return tracker;
}

void TFlatButton::SetDefault(bool Value)
{
    FDefault = Value;
    if (HandleAllocated())
        if (TCustomForm* form = GetParentForm(this))
            form->Perform(CM_FOCUSCHANGED, 0, reinterpret_cast<LPARAM>(form->ActiveControl()));
    Invalidate();
}

void TFlatButton::Dispatch(TMessage& Message)
{
    switch (Message.Msg) {
    case WM_SETFOCUS:
        TFlatButtonBase::Dispatch(Message);
        if (Enabled()) {
            FMouseInControl = true;
            Invalidate();
        }
        return;
    case WM_KILLFOCUS:
        TFlatButtonBase::Dispatch(Message);
        MouseLeaveStep();
        return;
    case WM_KEYDOWN:
    case WM_KEYUP:
        TFlatButtonBase::Dispatch(Message);
        if (Message.WParam == VK_SPACE)
            SpaceKey(Message.Msg == WM_KEYDOWN);
        return;
    case WM_SIZE:
    case WM_MOVE:
        TFlatButtonBase::Dispatch(Message);
        if (TransparentMode() != FlatDrawing::tmNone)
            Invalidate();
        return;
    default:
        TFlatButtonBase::Dispatch(Message);
    }
}

void TFlatButton::SpaceKey(bool down)
{
    if (GroupIndex() != 0)
        SetDown(down);
    else
        FState = down ? bsDown : bsUp;
    if (!down)
        Click();
    Invalidate();
}

void TFlatButton::Pressed()
{
    if (CanFocus())
        SetFocus();
}

void TFlatButton::AcceleratorPressed()
{
    if (GroupIndex() != 0)
        SetDown(true);
    Click();
}

void TFlatButton::Paint()
{
    const TRect client = ClientRect();
    if (client.Width() <= 0 || client.Height() <= 0)
        return;
    // Drawn off screen and copied at once, so the face never shows half painted.
    TBitmap face;
    face.SetSize(client.Width(), client.Height());
    if (ShowsParent())
        FlatDrawing::DrawParentImage(this, face.Canvas());
    PaintFace(face.Canvas());
    Canvas()->CopyRect(client, face.Canvas(), client);
}
