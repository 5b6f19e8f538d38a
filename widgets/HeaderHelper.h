#pragma once
// THeaderHelper: a panel docked at the top of a dialog that shows quick help in a tagged hint
// box under a 20-pixel title strip; the strip's "H" button collapses the header to the strip and
// expands it again, and OnHelperResize lets the dialog grow or shrink with it.

#include "platform/gui/Panel.h"
#include "platform/gui/SpeedButton.h"
#include "widgets/HintBox.h"

class THeaderHelper : public TPanel {
    TESS_CLASS(THeaderHelper, TPanel)
public:
    explicit THeaderHelper(TComponent* AOwner);

    // Raised after every collapse or expand, with the sender given to ResizeHeader.
    TNotifyEvent OnHelperResize;

    // The hint box's own lines: edits in place show after UpdateHelp.
    TStrings* GetHelpLines() const;
    TStrings* HelpLines() const { return GetHelpLines(); }
    void SetHelpLines(TStrings* Value);
    // Height of the whole header while expanded.
    int BodyHeight() const { return FBodyHeight; }
    void SetBodyHeight(int Value) { SetHeightBeforeResize(Value); }
    // Height of the whole header while collapsed, and of the title strip.
    int TitleHeight() const { return FTitleHeight; }
    void SetTitleHeight(int Value) { SetHeightAfterResize(Value); }
    bool Collapsed() const { return FCollapsed; }

    // Collapses the header, or expands it when collapsed, then raises OnHelperResize(Sender).
    void ResizeHeader(TObject* Sender);
    // Parses the help lines again and repaints them.
    void UpdateHelp();

    TPanel* BodyPanel() const { return FBodyPanel; }
    TSpeedButton* ButtonHelp() const { return FButtonHelp; }

private:
    void ButtonHelpClick(TObject* Sender);
    void SetHeightBeforeResize(int Value);
    void SetHeightAfterResize(int Value);

    TPanel* FTitlePanel = nullptr;
    TPanel* FBodyPanel = nullptr;
    TPanel* FHelpPanel = nullptr;
    TPanel* FButtonPanel = nullptr;
    TSpeedButton* FButtonHelp = nullptr;
    THintBox* FHintBox = nullptr;
    int FTitleHeight = 0;
    int FBodyHeight = 0;
    bool FCollapsed = false;
};
