// Images and paint boxes.

#include "platform/gui/Image.h"

#include "platform/gui/private/QtBridge.h"
#include "platform/gui/private/StdCtrlSupport.h"
#include "platform/gui/private/Surfaces.h"

// --- TImage ---------------------------------------------------------------------------------------------

TImage::TImage(TComponent* AOwner) : TGraphicControl(AOwner), FPicture(std::make_unique<TPicture>())
{
    ControlStyle.Include(csReplicatable);
    FPicture->OnChange = [this](TObject* sender) { PictureChanged(sender); };
    SetBounds(0, 0, 105, 105);
}

TImage::~TImage() { FPicture->OnChange = nullptr; }

TCanvas* TImage::Canvas()
{
    TGraphic* graphic = FPicture->Graphic();
    if (!graphic) {
        TBitmap* bitmap = FPicture->Bitmap();
        bitmap->SetSize(Width(), Height());
        return bitmap->Canvas();
    }
    auto* bitmap = dynamic_cast<TBitmap*>(graphic);
    if (!bitmap)
        RAISE(EInvalidOperation("Can only modify an image if it contains a bitmap"));
    return bitmap->Canvas();
}

void TImage::PictureChanged(TObject*)
{
    if (FAutoSize && FPicture->Width() > 0 && FPicture->Height() > 0)
        SetBounds(Left(), Top(), FPicture->Width(), FPicture->Height());
    if (TGraphic* graphic = FPicture->Graphic())
        if (graphic->Transparent() != FTransparent && !dynamic_cast<TBitmap*>(graphic))
            graphic->SetTransparent(FTransparent);
    if (!FDrawing)
        Invalidate();
}

TRect TImage::DestRect() const
{
    int w = FPicture->Width();
    int h = FPicture->Height();
    if (FStretch)
        return Rect(0, 0, Width(), Height());
    int left = 0, top = 0;
    if (FCenter) {
        left = (Width() - w) / 2;
        top = (Height() - h) / 2;
    }
    return Rect(left, top, left + w, top + h);
}

void TImage::Paint()
{
    QPainter* painter = PaintPainter(this);
    if (!painter)
        return;
    TGraphic* graphic = FPicture->Graphic();
    if (!graphic || graphic->Empty())
        return;
    FDrawing = true;
    {
        StdCtrl::TClientPaintDC dc(this);
        TCanvas canvas;
        canvas.SetHandle(dc.Handle());
        canvas.StretchDraw(DestRect(), graphic);
        canvas.SetHandle(nullptr);
    }
    FDrawing = false;
}

void TImage::SetStretch(bool value)
{
    FStretch = value;
    Invalidate();
}

void TImage::SetCenter(bool value)
{
    FCenter = value;
    Invalidate();
}

void TImage::SetTransparent(bool value)
{
    FTransparent = value;
    if (TGraphic* graphic = FPicture->Graphic())
        graphic->SetTransparent(value);
    Invalidate();
}

void TImage::SetAutoSize(bool value)
{
    FAutoSize = value;
    PictureChanged(this);
}

// --- TPaintBox ----------------------------------------------------------------------------------------

TPaintBox::TPaintBox(TComponent* AOwner) : TGraphicControl(AOwner), FCanvas(std::make_unique<TControlCanvas>())
{
    FCanvas->SetControl(this);
    SetBounds(0, 0, 105, 105);
}

TPaintBox::~TPaintBox() = default;

void TPaintBox::Paint()
{
    if (!OnPaint)
        return;
    StdCtrl::TClientPaintDC dc(this);
    FCanvas->SetHandle(dc.Handle());
    FCanvas->SetFont(Font());
    FCanvas->Brush()->SetColor(Color());
    try {
        OnPaint(this);
    } catch (...) {
        FCanvas->SetHandle(nullptr);
        throw;
    }
    FCanvas->SetHandle(nullptr);
}
