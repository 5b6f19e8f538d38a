#include "reportexport/Prgrs.h"

#include "platform/gui/Label.h"
#include "platform/gui/Panel.h"
#include "platform/gui/ScrollBar.h"

TFPrgrs::TFPrgrs(TComponent* AOwner) : TForm(AOwner)
{
    SetBorderStyle(bsDialog);
    SetBorderIcons({});
    Position = poScreenCenter;
    SetClientWidth(265);
    SetClientHeight(84);

    Panel1 = new TPanel(this);
    Panel1->SetName("Panel1");
    Panel1->SetParent(this);
    Panel1->SetAlign(alClient);
    Panel1->SetCaption("");

    Accion = new TLabel(this);
    Accion->SetName("Accion");
    Accion->SetParent(Panel1);
    Accion->SetAutoSize(false);
    Accion->SetAlignment(taCenter);
    Accion->SetBounds(8, 18, 249, 16);

    PB = new TProgressBar(this);
    PB->SetName("PB");
    PB->SetParent(Panel1);
    PB->SetBounds(16, 46, 233, 18);
    PB->SetMin(0);
    PB->SetMax(100);
    PB->Step = 1;
}
