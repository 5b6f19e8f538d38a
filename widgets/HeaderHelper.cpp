#include "widgets/HeaderHelper.h"

THeaderHelper::THeaderHelper(TComponent* AOwner) : TPanel(AOwner)
{
    FTitlePanel = new TPanel(this);
    FTitlePanel->SetParent(this);
    FTitlePanel->SetAlign(alTop);
    FTitlePanel->SetHeight(20);
    FTitlePanel->SetCaption("");
    FTitlePanel->SetBevelInner(bvRaised);
    FTitlePanel->SetBevelOuter(bvLowered);

    FBodyPanel = new TPanel(this);
    FBodyPanel->SetParent(this);
    FBodyPanel->SetHeight(20);
    FBodyPanel->SetAlign(alClient);
    FBodyPanel->SetCaption("");
    FBodyPanel->SetBevelInner(bvRaised);
    FBodyPanel->SetBevelOuter(bvLowered);

    FButtonPanel = new TPanel(FTitlePanel);
    FButtonPanel->SetParent(FTitlePanel);
    FButtonPanel->SetAlign(alRight);
    FButtonPanel->SetWidth(19);
    FButtonPanel->SetBevelInner(bvNone);
    FButtonPanel->SetBevelOuter(bvNone);
    FButtonPanel->SetCaption("");

    FButtonHelp = new TSpeedButton(FButtonPanel);
    FButtonHelp->SetParent(FButtonPanel);
    FButtonHelp->SetCaption("H");
    TFontStyles style = FButtonHelp->Font()->Style();
    style.Include(fsBold);
    FButtonHelp->Font()->SetStyle(style);
    FButtonHelp->SetBounds(2, 1, 15, 14);
    FButtonHelp->SetLayout(blGlyphBottom);
    FButtonHelp->SetFlat(true);
    FButtonHelp->SetHint("Espande o minimizza l'aiuto rapido.");
    FButtonHelp->OnClick = [this](TObject* Sender) { ButtonHelpClick(Sender); };

    FHelpPanel = new TPanel(FBodyPanel);
    FHelpPanel->SetParent(FBodyPanel);
    FHelpPanel->SetAlign(alClient);
    FHelpPanel->SetBevelInner(bvNone);
    FHelpPanel->SetBevelOuter(bvNone);
    FHelpPanel->SetBorderWidth(3);
    FHelpPanel->SetCaption("");

    FHintBox = new THintBox(FHelpPanel);
    FHintBox->SetParent(FHelpPanel);
    FHintBox->SetAlign(alClient);

    FCollapsed = false;
    FBodyHeight = Height();
    FTitleHeight = Height() - FBodyPanel->Height();
}

TStrings* THeaderHelper::GetHelpLines() const { return FHintBox->Lines(); }

void THeaderHelper::SetHelpLines(TStrings* Value)
{
    FHintBox->Lines()->Assign(Value);
    FHintBox->Refresh();
}

void THeaderHelper::UpdateHelp() { FHintBox->Refresh(); }

void THeaderHelper::ResizeHeader(TObject* Sender)
{
    FCollapsed = !FCollapsed;
    if (FCollapsed) {
        SetHeight(FTitleHeight);
        FBodyPanel->Hide();
    } else {
        SetHeight(FBodyHeight);
        // Not Show: that would also make every parent visible, a dialog not yet shown included.
        FBodyPanel->SetVisible(true);
    }
    if (OnHelperResize)
        OnHelperResize(Sender);
}

void THeaderHelper::ButtonHelpClick(TObject* Sender) { ResizeHeader(Sender); }

void THeaderHelper::SetHeightBeforeResize(int Value)
{
    if (!FCollapsed)
        SetHeight(Value);
    FBodyHeight = Value;
}

void THeaderHelper::SetHeightAfterResize(int Value)
{
    if (FCollapsed)
        SetHeight(Value);
    FTitlePanel->SetHeight(Value);
    FTitleHeight = Value;
}
