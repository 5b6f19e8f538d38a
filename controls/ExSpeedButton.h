#pragma once
// The tool button of the control library: a windowless button that draws its glyph, caption and
// drop-down mark in five looks, and works as a plain button, a latching button of an exclusive
// group, a flat hot-tracking button, an auto-repeat button and a drop-down-menu button.

#include "controls/ExButtonGlyph.h"
#include "platform/gui/Control.h"
#include "platform/gui/Menus.h"
#include "platform/gui/Timer.h"

#include <memory>

enum TExDropDownMenuPos { dmpBottom, dmpRight };

// Draws the 3-D frame of a button, up or down; returns the rectangle inside it.
TRect DrawButtonFrame(TCanvas* Canvas, const TRect& Client, bool IsDown, bool IsFlat, TButtonStyle Style);

class TExSpeedButton : public TGraphicControl {
    TESS_CLASS(TExSpeedButton, TGraphicControl)
public:
    explicit TExSpeedButton(TComponent* AOwner);
    ~TExSpeedButton() override;

    TAlignment Alignment() const { return FGlyph->Alignment(); }
    void SetAlignment(TAlignment Value);
    bool AllowAllUp() const { return FAllowAllUp; }
    void SetAllowAllUp(bool Value);
    // Off frees the repeat timer.
    bool AllowTimer() const { return FAllowTimer; }
    void SetAllowTimer(bool Value);
    int GroupIndex() const { return FGroupIndex; }
    void SetGroupIndex(int Value);
    bool Down() const { return FDown; }
    // Latches the button of a group (releasing the others) or raises it when AllowAllUp lets it.
    void SetDown(bool Value);
    TPopupMenu* DropDownMenu() const { return FDropDownMenu; }
    void SetDropDownMenu(TPopupMenu* Value);
    TExDropDownMenuPos MenuPosition = dmpBottom;
    bool Flat() const { return FFlat; }
    void SetFlat(bool Value);
    TBitmap* Glyph() const { return FGlyph->Glyph(); }
    // Copies the bitmap; its width and height may set NumGlyphs.
    void SetGlyph(TBitmap* Value);
    bool GrayedInactive() const { return FGrayedInactive; }
    void SetGrayedInactive(bool Value);
    // Milliseconds to the first repeat and between repeats.
    WORD InitPause = 500;
    WORD RepeatInterval = 100;
    TButtonLayout Layout() const { return FLayout; }
    void SetLayout(TButtonLayout Value);
    int Margin() const { return FMargin; }
    // Values below -1 are ignored.
    void SetMargin(int Value);
    bool MarkDropDown() const { return FMarkDropDown; }
    void SetMarkDropDown(bool Value);
    // Given to the parent form on every click (0 too).
    TModalResult ModalResult = 0;
    TExNumGlyphs NumGlyphs() const { return FGlyph->NumGlyphs(); }
    void SetNumGlyphs(TExNumGlyphs Value);
    int Spacing() const { return FSpacing; }
    void SetSpacing(int Value);
    TButtonStyle Style() const { return FStyle; }
    void SetStyle(TButtonStyle Value);
    bool Transparent() const { return FTransparent; }
    void SetTransparent(bool Value);
    bool WordWrap() const { return FGlyph->WordWrap(); }
    void SetWordWrap(bool Value);
    TNotifyEvent OnMouseEnter;
    TNotifyEvent OnMouseLeave;

    // Press and release by program.
    void ButtonClick();
    // Opens the drop-down menu at its place whatever its AutoPopup; true when it opened.
    bool CheckBtnMenuDropDown();
    // Pops the menu up at Pos (client coordinates) unless it has AutoPopup off and Manual is
    // false; returns once the menu has closed, true when it opened.
    bool CheckMenuDropDown(TPoint Pos, bool Manual);
    // Where the drop-down menu opens, in client coordinates; (0, 0) without a menu.
    TPoint GetDropDownMenuPos();
    // Follows the pointer: enters or leaves the button's hover look.
    void UpdateTracking();
    void Click() override;
    void Loaded() override;
    void Dispatch(TMessage& Message) override;

    TExButtonState State() const { return FState; }
    bool MouseInControl() const { return FMouseInControl; }
    TTimer* RepeatTimer() const { return FRepeatTimer.get(); }

protected:
    virtual void PaintGlyph(TCanvas* Canvas, const TRect& ARect, TExButtonState AState, bool DrawMark);
    virtual void MouseEnter();
    virtual void MouseLeave();
    void Paint() override;
    void MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) override;
    void MouseMove(TShiftState Shift, int X, int Y) override;
    void MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y) override;
    void Notification(TComponent* AComponent, TOperation Operation) override;
    void DoMouseUp(TMouseButton Button, TShiftState Shift, int X, int Y);
    void UpdateExclusive();
    TExButtonGlyph* ButtonGlyph() const { return FGlyph.get(); }
    bool MenuTracking() const { return FMenuTracking; }

    TExButtonState FState = rbsUp;
    bool FDragging = false;

private:
    bool Inside(int X, int Y) const;
    void TimerExpired(TObject* Sender);
    void GlyphChanged(TObject* Sender);
    void ButtonPressed(TMessage& Message);
    void MouseEntered();
    void MouseLeft();
    void PrepareNextImage();
    void DropRepeatTimer();

    int FGroupIndex = 0;
    TButtonStyle FStyle = bsAutoDetect;
    std::unique_ptr<TExButtonGlyph> FGlyph;
    std::unique_ptr<TBitmap> FDrawImage;
    bool FDown = false;
    bool FFlat = false;
    bool FMouseInControl = false;
    bool FAllowAllUp = false;
    TButtonLayout FLayout = blGlyphTop;
    int FSpacing = 1;
    int FMargin = -1;
    bool FTransparent = false;
    bool FMarkDropDown = true;
    TPopupMenu* FDropDownMenu = nullptr;
    bool FGrayedInactive = true;
    bool FMenuTracking = false;
    std::unique_ptr<TTimer> FRepeatTimer;
    bool FAllowTimer = false;
    bool FImageFontStale = true;
    // Cleared by the destructor: a click handler that frees the button is noticed afterwards.
    std::shared_ptr<bool> FAlive = std::make_shared<bool>(true);
};

// The number of live TExSpeedButtons, for tests.
int ExSpeedButtonCount();
