#pragma once
// A flat multi-line edit; with both scroll bars the corner between them takes the band's colour.

#include "platform/gui/Memo.h"
#include "widgets/FlatEdit.h"

class TFlatMemo : public TFlatEditFamily<TCustomMemo> {
    TESS_CLASS(TFlatMemo, TFlatEditFamily<TCustomMemo>)
public:
    explicit TFlatMemo(TComponent* AOwner);
};
