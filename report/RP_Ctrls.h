#pragma once
// The report engine's own speed button and its toolbar pieces. The button adds to the usual speed
// button a grey image shown while a flat button is not under the mouse, and mouse enter and leave
// events; the images of every button are kept in shared image lists, one list per glyph size.

#include "platform/gui/BitBtn.h"
#include "platform/gui/Control.h"
#include "platform/gui/ImageList.h"
#include "platform/gui/Panel.h"

#include <array>
#include <memory>
#include <string>
#include <vector>

namespace rpctrls {

enum TrpButtonState { fbsUp, fbsDisabled, fbsDown, fbsExclusive, fbsInactive };
constexpr int ButtonStateCount = 5;

// An image list of one glyph size whose slots are lent to the buttons one image at a time.
class TGlyphList : public TImageList {
    TESS_CLASS(TGlyphList, TImageList)
public:
    TGlyphList(int width, int height);
    // Puts the image into the first free slot (or a new one) and returns the slot.
    int AllocateMasked(TBitmap* image, TColor maskColor);
    // Gives the slot back; its image stays until the slot is lent again.
    void Release(int index);
    int UsedCount() const { return FUsedCount; }

private:
    std::vector<bool> FUsed;
    int FUsedCount = 0;
};

// The image lists of every glyph size in use.
class TGlyphCache {
public:
    // The list of that size, made when there is none.
    TGlyphList* GetList(int width, int height);
    // Frees the list once none of its slots is lent.
    void ReturnList(TGlyphList* list);
    bool Empty() const { return FLists.empty(); }
    int ListCount() const { return static_cast<int>(FLists.size()); }

private:
    std::vector<std::unique_ptr<TGlyphList>> FLists;
};

// The glyph of one button: its bitmap of one to four images side by side (up, disabled, down,
// exclusive) and the images of the five states, made on first use.
class TButtonGlyph {
public:
    TButtonGlyph();
    ~TButtonGlyph();
    TButtonGlyph(const TButtonGlyph&) = delete;
    TButtonGlyph& operator=(const TButtonGlyph&) = delete;

    TBitmap* Glyph() const { return FOriginal.get(); }
    // Takes a copy; the transparent colour becomes the bitmap's, and a width of 1 to 4 times the
    // height sets NumGlyphs.
    void SetGlyph(TBitmap* value);
    int NumGlyphs() const { return FNumGlyphs; }
    // Stored between 1 and 4.
    void SetNumGlyphs(int value);
    TColor TransparentColor() const { return FTransparentColor; }

    // The slot of the state's image in GlyphList(), -1 when the glyph has no image.
    int CreateButtonGlyph(TrpButtonState state);
    TGlyphList* GlyphList() const { return FGlyphList; }
    // Draws the state's image transparently, or with the button face behind it.
    void DrawButtonGlyph(TCanvas* canvas, TPoint glyphPos, TrpButtonState state, bool transparent);
    void DrawButtonText(TCanvas* canvas, const std::string& caption, TRect textBounds, TrpButtonState state);
    // Places glyph and caption in client; margin and spacing -1 share out the free room.
    void CalcButtonLayout(TCanvas* canvas, const TRect& client, const std::string& caption, TButtonLayout layout,
                          int margin, int spacing, TPoint& glyphPos, TRect& textBounds);
    // Lays out and draws glyph and caption; returns where the caption went.
    TRect Draw(TCanvas* canvas, const TRect& client, const std::string& caption, TButtonLayout layout, int margin,
               int spacing, TrpButtonState state, bool transparent);
    // Frees the five images (their slots go back to the list, the list back to the cache).
    void Invalidate();

    TNotifyEvent OnChange;

private:
    void GlyphChanged(TObject* Sender);
    // The state's image on a bitmap of one image's size.
    void MakeStateImage(TBitmap& image, TrpButtonState state, const TRect& source);
    void MakeDisabledImage(TBitmap& image, const TRect& source);
    void MakeInactiveImage(TBitmap& image, const TRect& source);

    std::unique_ptr<TBitmap> FOriginal;
    TGlyphList* FGlyphList = nullptr;
    std::array<int, ButtonStateCount> FIndexes;
    TColor FTransparentColor = clOlive;
    int FNumGlyphs = 1;
};

// For tests: the number of image lists in the shared cache (0 when there is no cache).
int CachedGlyphListCount();
bool GlyphCacheExists();

} // namespace rpctrls

using rpctrls::TrpButtonState;

class TrpSpeedButton : public TGraphicControl {
    TESS_CLASS(TrpSpeedButton, TGraphicControl)
public:
    explicit TrpSpeedButton(TComponent* AOwner);
    ~TrpSpeedButton() override;

    bool AllowAllUp() const { return FAllowAllUp; }
    void SetAllowAllUp(bool value);
    int GroupIndex() const { return FGroupIndex; }
    void SetGroupIndex(int value);
    bool Down() const { return FDown; }
    // Without a group always up; going up needs AllowAllUp; going down raises the group's other
    // buttons.
    void SetDown(bool value);
    bool Flat() const { return FFlat; }
    void SetFlat(bool value);
    TBitmap* GetGlyph() const { return FGlyph->Glyph(); }
    TBitmap* Glyph() const { return GetGlyph(); }
    void SetGlyph(TBitmap* value);
    bool GrayedInactive() const { return FGrayedInactive; }
    void SetInactiveGrayed(bool value);
    TButtonLayout Layout() const { return FLayout; }
    void SetLayout(TButtonLayout value);
    int Margin() const { return FMargin; }
    // Values below -1 are ignored.
    void SetMargin(int value);
    int NumGlyphs() const { return FGlyph->NumGlyphs(); }
    void SetNumGlyphs(int value);
    int Spacing() const { return FSpacing; }
    void SetSpacing(int value);
    TrpButtonState State() const { return FState; }
    bool MouseInControl() const { return FMouseInControl; }

    void Click() override;
    // Draws the up image (or the disabled one) with its top-left corner at (x, y).
    void DrawGlyph(TCanvas* canvas, int x, bool enabled, int y);
    HPALETTE GetPalette() const;
    // Makes the image the button shows first: the inactive one, or the disabled one.
    void Loaded() override;
    void Dispatch(TMessage& Message) override;

    TNotifyEvent OnMouseEnter;
    TNotifyEvent OnMouseLeave;

protected:
    void Paint() override;
    void MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) override;
    void MouseMove(TShiftState Shift, int X, int Y) override;
    void MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y) override;

private:
    // Tells the parent's controls that this button went down or changed its group settings.
    void UpdateExclusive();
    void ButtonPressed(TMessage& Message);
    void MouseEntered(bool entered);
    void DialogChar(TMessage& Message);
    void UpdateTracking();
    TrpButtonState PaintState() const;
    void PaintOn(TCanvas* canvas, TrpButtonState paintState);

    std::unique_ptr<rpctrls::TButtonGlyph> FGlyph;
    TrpButtonState FState = rpctrls::fbsUp;
    bool FTracking = false;
    bool FMouseInControl = false;
    bool FAllowAllUp = false;
    int FGroupIndex = 0;
    bool FDown = false;
    bool FFlat = false;
    bool FGrayedInactive = true;
    TButtonLayout FLayout = blGlyphLeft;
    int FMargin = -1;
    int FSpacing = 4;
};

// A flat speed button for toolbars.
class TrpTBButton : public TrpSpeedButton {
    TESS_CLASS(TrpTBButton, TrpSpeedButton)
public:
    explicit TrpTBButton(TComponent* AOwner);
    // Aligned top on a bar whose panel is aligned left or right, else left.
    void SetParent(TWinControl* AParent) override;
};

// The gap between groups of toolbar buttons, with an etched line unless DrawBevel is off.
class TrpTBSeparator : public TGraphicControl {
    TESS_CLASS(TrpTBSeparator, TGraphicControl)
public:
    explicit TrpTBSeparator(TComponent* AOwner);
    bool DrawBevel() const { return FDrawBevel; }
    void SetDrawBevel(bool value);
    void SetParent(TWinControl* AParent) override;

protected:
    void Paint() override;

private:
    bool FDrawBevel = true;
};

// A panel that holds other controls on a toolbar.
class TrpTBPanel : public TPanel {
    TESS_CLASS(TrpTBPanel, TPanel)
public:
    explicit TrpTBPanel(TComponent* AOwner);
    void SetParent(TWinControl* AParent) override;

protected:
    void Paint() override;
};
