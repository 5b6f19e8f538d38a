// A flat single-line edit with an input mask.

#include "widgets/FlatMaskEdit.h"

TFlatMaskEdit::TFlatMaskEdit(TComponent* AOwner) : TFlatEditFamily<TCustomMaskEdit>(AOwner)
{
    SetBounds(Left(), Top(), 121, 19);
}

void TFlatMaskEdit::NewAdjustHeight() { SetHeight(FlatEditHeight(Font())); }

void TFlatMaskEdit::Loaded()
{
    TFlatEditFamily<TCustomMaskEdit>::Loaded();
    NewAdjustHeight();
}

void TFlatMaskEdit::Dispatch(TMessage& Message)
{
    TFlatEditFamily<TCustomMaskEdit>::Dispatch(Message);
    if (Message.Msg == CM_FONTCHANGED)
        NewAdjustHeight();
}
