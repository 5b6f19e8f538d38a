#pragma once
// TFlatSpeedButton: a windowless flat push button painted straight onto its parent: a thin
// one-colour frame at rest, raised with a highlight fill while the pointer is on it, sunken while
// pressed or held down in a group.

#include "widgets/FlatButtonBase.h"

class TFlatSpeedButton : public TFlatButtonBase<TGraphicControl> {
    TESS_CLASS(TFlatSpeedButton, TFlatButtonBase<TGraphicControl>)
public:
    explicit TFlatSpeedButton(TComponent* AOwner);
    ~TFlatSpeedButton() override;

    // The hover poll shared by every flat speed button.
    static TFlatHoverTracker& HoverTracker();

protected:
    void Paint() override;
};
