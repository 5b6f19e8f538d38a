#include "widgets/FlatSpeedButton.h"

TFlatSpeedButton::TFlatSpeedButton(TComponent* AOwner) : TFlatButtonBase<TGraphicControl>(AOwner, HoverTracker()) {}

TFlatSpeedButton::~TFlatSpeedButton() = default;

TFlatHoverTracker& TFlatSpeedButton::HoverTracker()
{
    static TFlatHoverTracker tracker;
    return tracker;
}

// Where nothing is filled the parent shows through the windowless control by itself.
void TFlatSpeedButton::Paint() { PaintFace(Canvas()); }
