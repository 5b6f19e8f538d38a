// A flat multi-line edit.

#include "widgets/FlatMemo.h"

TFlatMemo::TFlatMemo(TComponent* AOwner) : TFlatEditFamily<TCustomMemo>(AOwner)
{
    SetBounds(Left(), Top(), 185, 89);
}
