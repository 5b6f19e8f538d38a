#pragma once
// TFlatPanel: a panel with a one-pixel frame of two colours (top and left, bottom and right) and
// a one-line caption, painted off screen and copied at once, optionally over its parent's
// background. The windows use it as a coloured section title and as a plain frame.

#include "platform/gui/Panel.h"

#include <memory>
#include <string>

class TBitmap;

class TFlatPanel : public TCustomPanel {
    TESS_CLASS(TFlatPanel, TCustomPanel)
public:
    explicit TFlatPanel(TComponent* AOwner);
    ~TFlatPanel() override;

    // Index 0 ColorHighLight, 1 ColorShadow; another index only repaints.
    void SetColors(int Index, TColor Value);
    TColor ColorHighLight() const { return FColorHighLight; }
    TColor ColorShadow() const { return FColorShadow; }
    void SetColorHighLight(TColor Value) { SetColors(0, Value); }
    void SetColorShadow(TColor Value) { SetColors(1, Value); }
    bool Transparent() const { return FTransparent; }
    void SetTransparent(bool Value);

    void Dispatch(TMessage& Message) override;

protected:
    void Paint() override;

private:
    // What the picture shows; a paint with the same key and font only copies the picture again.
    struct TImageKey {
        std::string Caption;
        TAlignment Alignment = taCenter;
        bool Enabled = true;
        COLORREF Color = 0, HighLight = 0, Shadow = 0, ButtonHighlight = 0, ButtonShadow = 0;
        int Width = 0, Height = 0;
        bool operator==(const TImageKey&) const = default;
    };
    TImageKey CurrentKey() const;
    void Render(TCanvas* canvas, const TRect& client);

    bool FTransparent = false;
    TColor FColorHighLight = 0x8396A0;
    TColor FColorShadow = 0x8396A0;
    // The off-screen picture, kept from one paint to the next while the size stays.
    std::unique_ptr<TBitmap> FImage;
    TImageKey FImageKey;
    bool FImageValid = false;
};
