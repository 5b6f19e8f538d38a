#include "report/rpLineView.h"

#include "platform/gui/Regions.h"
#include "platform/rtl/Formats.h"

TrpLineView::TrpLineView()
{
    NamePrefix = "Line";
    ObjectType = 4;
    FrameTyp = rpFrameLeft;
}

void TrpLineView::Draw(TCanvas* canvas)
{
    BeginDraw(canvas);
    if (Height < Width) {
        Height = 0;
        FrameTyp = rpFrameTop;
    } else {
        Width = 0;
        FrameTyp = rpFrameLeft;
    }
    CalcGaps();
    ShowFrame();
    RestoreCoord();
}

HRGN TrpLineView::GetClipRgn(TrpRgnType rgnType)
{
    const double factor = FrameStyle == rpDoubleFrame ? 1.5 : 0.5;
    const int d = static_cast<int>(Round(FrameWidth * factor));
    TRect box;
    if (FrameTyp == rpFrameLeft)
        box = {Left - d, Top, Left + Width + 1 + d, Top + Height + 1};
    else
        box = {Left, Top - d, Left + Width + 1, Top + Height + 1 + d};
    if (rgnType == rtExtended)
        box = {box.Left - 10, box.Top - 10, box.Right + 10, box.Bottom + 10};
    return CreateRectRgn(box.Left, box.Top, box.Right, box.Bottom);
}

void TrpLineView::DefinePopupMenu(TPopupMenu*) {}
