#pragma once
// TFlatButton: the windowed twin of the flat speed button. It takes the focus (and shows the
// hover look while focused), answers the space bar, can be marked Default (a 2-pixel frame at
// rest) and paints through an off-screen bitmap, with its parent's image under it when its
// background is transparent.

#include "widgets/FlatButtonBase.h"

class TFlatButton : public TFlatButtonBase<TCustomControl> {
    TESS_CLASS(TFlatButton, TFlatButtonBase<TCustomControl>)
public:
    explicit TFlatButton(TComponent* AOwner);
    ~TFlatButton() override;

    bool Default() const { return FDefault; }
    // The look only: Enter does not click a default flat button.
    void SetDefault(bool Value);
    void Dispatch(TMessage& Message) override;

    // The hover poll shared by every flat button.
    static TFlatHoverTracker& HoverTracker();

protected:
    void Paint() override;
    int RestBorderWidth() const override { return FDefault ? 2 : 1; }
    void Pressed() override;
    void AcceleratorPressed() override;

private:
    void SpaceKey(bool down);
    bool FDefault = false;
};
