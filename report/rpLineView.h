#pragma once
// The line object: an object whose frame has one side, horizontal or vertical.

#include "report/rpView.h"

class TrpLineView : public TrpView {
    TESS_CLASS(TrpLineView, TrpView)
public:
    // A vertical line (left side) until it is drawn.
    TrpLineView();

    // A line lower than wide becomes horizontal (height 0, top side), any other vertical (width 0,
    // left side); the change stays.
    void Draw(TCanvas* canvas) override;
    HRGN GetClipRgn(TrpRgnType rgnType) override;
    void DefinePopupMenu(TPopupMenu* menu) override;
};
