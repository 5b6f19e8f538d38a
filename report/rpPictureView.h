#pragma once
// The picture object: a bitmap, a metafile or an icon, drawn at its size or stretched into the
// object, centred and with its proportions kept on request.

#include "report/rpView.h"

#include "platform/gui/Graphic.h"

#include <memory>

// Flags: bit 0 stretch to the object, bit 1 centre, bit 2 keep the aspect ratio.
class TrpPictureView : public TrpView {
    TESS_CLASS(TrpPictureView, TrpView)
public:
    TrpPictureView();
    ~TrpPictureView() override;

    void Assign(TrpView* from) override;
    void Draw(TCanvas* canvas) override;
    void LoadFromStream(TStream& stream) override;
    // A graphic that is no bitmap, metafile or icon is written as a bitmap of its picture.
    void SaveToStream(TStream& stream) override;
    // A null field empties the picture.
    void GetBlob(TField* field) override;
    void DefinePopupMenu(TPopupMenu* menu) override;

    const std::unique_ptr<TPicture> Picture;

private:
    void DrawStretched(TGraphic* graphic);
    void DrawBitmapForPrinter(TBitmap* bitmap, const TRect& rect);
};

namespace rpPictureView {
// True when the graphic has a picture of some size.
bool Drawable(TGraphic* graphic);
// A BMP file of the graphic: a bitmap as it is, any other class drawn on white at its size.
void WriteAsBitmap(TGraphic* graphic, TStream& stream);
} // namespace rpPictureView
