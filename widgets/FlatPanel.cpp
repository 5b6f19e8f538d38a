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

TFlatPanel::~TFlatPanel() = default;

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

TFlatPanel::TImageKey TFlatPanel::CurrentKey() const
{
    TImageKey key;
    key.Caption = Caption();
    key.Alignment = Alignment();
    key.Enabled = Enabled();
    key.Color = ColorToRGB(Color());
    key.HighLight = ColorToRGB(FColorHighLight);
    key.Shadow = ColorToRGB(FColorShadow);
    key.ButtonHighlight = ColorToRGB(clBtnHighlight);
    key.ButtonShadow = ColorToRGB(clBtnShadow);
    key.Width = ClientWidth();
    key.Height = ClientHeight();
    return key;
}

void TFlatPanel::Paint()
{
    const TRect client = ClientRect();
    if (client.Width() <= 0 || client.Height() <= 0)
        return;
    // Drawn off screen and copied at once, so the caption never flickers over the background.
    // While nothing it shows has changed, a repaint only copies the picture again; over the
    // parent's background it is always drawn afresh.
    const TImageKey key = CurrentKey();
    if (!FImage)
        FImage = std::make_unique<TBitmap>();
    TCanvas* canvas = FImage->Canvas();
    if (FTransparent || !FImageValid || !(key == FImageKey) || !(*canvas->Font() == *Font())) {
        if (FImage->Width() != client.Width() || FImage->Height() != client.Height())
            FImage->SetSize(client.Width(), client.Height());
        Render(canvas, client);
        FImageKey = key;
        FImageValid = !FTransparent;
    }
    Canvas()->CopyRect(client, canvas, client);
}

void TFlatPanel::Render(TCanvas* canvas, const TRect& client)
{
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
    if (FTransparent) {
        FlatDrawing::DrawParentImage(this, canvas);
    } else {
        canvas->Brush()->SetStyle(bsSolid);
        canvas->Brush()->SetColor(Color());
        canvas->FillRect(client);
    }
    FlatDrawing::Frame3DBorder(canvas, client, FColorHighLight, FColorShadow, 1);

    if (!(*canvas->Font() == *Font()))
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
        FlatDrawing::DrawDisabledText(dc, caption, area, format);
    }
}
