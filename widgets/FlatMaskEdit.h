#pragma once
// A flat single-line edit with an input mask.

#include "platform/gui/MaskEdit.h"
#include "widgets/FlatEdit.h"

#include <functional>

using TValidateEvent = std::function<void(TObject* Sender)>;

class TFlatMaskEdit : public TFlatEditFamily<TCustomMaskEdit> {
    TESS_CLASS(TFlatMaskEdit, TFlatEditFamily<TCustomMaskEdit>)
public:
    explicit TFlatMaskEdit(TComponent* AOwner);
    void Loaded() override;
    void Dispatch(TMessage& Message) override;
    void NewAdjustHeight();

    // Stored for the forms that set it; the control itself never raises it.
    TValidateEvent OnValidate;
};
