#pragma once
// Check boxes: OnClick fires whenever the state changes, by the user or by code.

#include "platform/gui/Button.h"
#include "platform/gui/Label.h"

enum TCheckBoxState { cbUnchecked, cbChecked, cbGrayed };

class TCustomCheckBox : public TButtonControl {
    TESS_CLASS(TCustomCheckBox, TButtonControl)
public:
    explicit TCustomCheckBox(TComponent* AOwner);

    bool Checked() const { return FState == cbChecked; }
    void SetChecked(bool value) override { SetState(value ? cbChecked : cbUnchecked); }
    TCheckBoxState State() const { return FState; }
    void SetState(TCheckBoxState value);
    bool AllowGrayed() const { return FAllowGrayed; }
    void SetAllowGrayed(bool value) { FAllowGrayed = value; }
    TAlignment Alignment() const { return FAlignment; }
    void SetAlignment(TAlignment value);
    void Dispatch(TMessage& Message) override;

protected:
    void CreateParams(TCreateParams& Params) override;
    bool GetChecked() const override { return Checked(); }
    // The user's click: the next state in the cycle.
    virtual void Toggle();
    void ButtonClicked() override { Toggle(); }
    void Paint() override;

private:
    TCheckBoxState FState = cbUnchecked;
    bool FAllowGrayed = false;
    TAlignment FAlignment = taRightJustify;
};

class TCheckBox : public TCustomCheckBox {
    TESS_CLASS(TCheckBox, TCustomCheckBox)
public:
    explicit TCheckBox(TComponent* AOwner) : TCustomCheckBox(AOwner) {}
};
