#pragma once
// The small window that names the page being written while prepared pages are exported as
// pictures. It is shown without blocking: the export runs on the same thread and repaints the
// label and the bar itself after every change.

#include "platform/gui/Form.h"

class TLabel;
class TPanel;
class TProgressBar;

class TFPrgrs : public TForm {
    TESS_CLASS(TFPrgrs, TForm)
public:
    explicit TFPrgrs(TComponent* AOwner);

    TPanel* Panel1 = nullptr;
    TLabel* Accion = nullptr;
    TProgressBar* PB = nullptr;
};
