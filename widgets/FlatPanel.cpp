#include "widgets/FlatPanel.h"

#include "platform/gui/Bitmap.h"
#include "platform/gui/DeviceContext.h"
#include "platform/gui/TextOutput.h"
#include "widgets/FlatDrawing.h"

TFlatPanel::TFlatPanel(TComponent* AOwner) : TCustomPanel(AOwner)
{
    SetParentFont(true);
    SetParentColor(true);
    ControlStyle.Include(csAcceptsControls);
    ControlStyle.Include(csOpaque);
    SetBounds(Left(), Top(), 185, 41);
}

void TFlatPanel::SetColors(int Index, TColor Value)
{
    switch (Index) {
    case 0:
        FColorHighLight = Value;
        break;
    case 1:
        FColorShadow = Value;
        break;
    default:
        break;
    }
    Invalidate();
}

void TFlatPanel::SetTransparent(bool Value)
{
    FTransparent = Value;
    Invalidate();
}

void TFlatPanel::Dispatch(TMessage& Message)
{
    switch (Message.Msg) {
    case CM_ENABLEDCHANGED:
    case CM_TEXTCHANGED:
        TCustomPanel::Dispatch(Message);
        Invalidate();
        return;
    default:
        TCustomPanel::Dispatch(Message);
    }
}

void TFlatPanel::Paint()
{
    const TRect client = ClientRect();
    if (client.Width() <= 0 || client.Height() <= 0)
        return;
    UINT format = DT_SINGLELINE | DT_VCENTER;
    switch (Alignment()) {
    case taLeftJustify:
        format |= DT_LEFT;
        break;
    case taRightJustify:
        format |= DT_RIGHT;
        break;
    default:
        format |= DT_CENTER;
        break;
    }

    // Drawn off screen and copied at once, so the caption never flickers over the background.
    TBitmap image;
    image.SetSize(client.Width(), client.Height());
    TCanvas* canvas = image.Canvas();
    if (FTransparent) {
        FlatDrawing::DrawParentImage(this, canvas);
    } else {
        canvas->Brush()->SetStyle(bsSolid);
        canvas->Brush()->SetColor(Color());
        canvas->FillRect(client);
    }
    FlatDrawing::Frame3DBorder(canvas, client, FColorHighLight, FColorShadow, 1);

    canvas->Font()->Assign(Font());
    canvas->Brush()->SetStyle(bsClear);
    const std::string caption = Caption();
    HDC dc = FlatDrawing::TextContext(canvas);
    SetBkMode(dc, TRANSPARENT);
    TRect area = client;
    if (Enabled()) {
        SetTextColor(dc, ColorToRGB(Font()->Color()));
        DrawTextA(dc, caption, -1, &area, format);
    } else {
        TRect raised = client;
        OffsetRect(raised, 1, 1);
        SetTextColor(dc, ColorToRGB(clBtnHighlight));
        DrawTextA(dc, caption, -1, &raised, format);
        SetTextColor(dc, ColorToRGB(clBtnShadow));
        DrawTextA(dc, caption, -1, &area, format);
    }
    Canvas()->CopyRect(client, canvas, client);
}
