#pragma once
// Images and paint boxes: graphic controls that show a picture or let the program paint.

#include "platform/gui/Bitmap.h"
#include "platform/gui/Canvas.h"
#include "platform/gui/Control.h"
#include "platform/gui/Graphic.h"

#include <memory>

class TImage : public TGraphicControl {
    TESS_CLASS(TImage, TGraphicControl)
public:
    explicit TImage(TComponent* AOwner);
    ~TImage() override;

    TPicture* Picture() const { return FPicture.get(); }
    void SetPicture(TPicture* value) { FPicture->Assign(value); }
    bool Stretch() const { return FStretch; }
    void SetStretch(bool value);
    bool Center() const { return FCenter; }
    void SetCenter(bool value);
    bool Transparent() const { return FTransparent; }
    void SetTransparent(bool value);
    bool AutoSize() const { return FAutoSize; }
    void SetAutoSize(bool value);
    bool IncrementalDisplay = false;
    // The picture's bitmap canvas: an empty picture gets a bitmap of the control's size; a
    // picture of another class raises EInvalidOperation.
    TCanvas* Canvas();

protected:
    void Paint() override;
    TRect DestRect() const;

private:
    void PictureChanged(TObject* Sender);
    std::unique_ptr<TPicture> FPicture;
    bool FStretch = false;
    bool FCenter = false;
    bool FTransparent = false;
    bool FAutoSize = false;
    bool FDrawing = false;
};

class TPaintBox : public TGraphicControl {
    TESS_CLASS(TPaintBox, TGraphicControl)
public:
    explicit TPaintBox(TComponent* AOwner);
    ~TPaintBox() override;
    // The paint context inside OnPaint; elsewhere a context on the control's image.
    TCanvas* Canvas() const { return FCanvas.get(); }
    TNotifyEvent OnPaint;

protected:
    void Paint() override;

private:
    std::unique_ptr<TControlCanvas> FCanvas;
};
