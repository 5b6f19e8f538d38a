#pragma once
// Radio buttons: checking one unchecks the others of its parent.

#include "platform/gui/CheckBox.h"

class TRadioButton : public TButtonControl {
    TESS_CLASS(TRadioButton, TButtonControl)
public:
    explicit TRadioButton(TComponent* AOwner);

    bool Checked() const { return FChecked; }
    void SetChecked(bool value) override;
    TAlignment Alignment() const { return FAlignment; }
    void SetAlignment(TAlignment value);
    void Dispatch(TMessage& Message) override;

protected:
    void CreateParams(TCreateParams& Params) override;
    bool GetChecked() const override { return FChecked; }
    void ButtonClicked() override { SetChecked(true); }
    void Paint() override;

private:
    bool FChecked = false;
    TAlignment FAlignment = taRightJustify;
};
