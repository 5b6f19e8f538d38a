#include "foundation/SupportErrors.h"

#include "platform/gui/Form.h"
#include "platform/gui/Label.h"
#include "platform/gui/PageControl.h"
#include "platform/os/MessageBox.h"

std::string SegnalaErrore(TLabel* label, const std::string& messaggio)
{
    if (label) {
        label->Font()->SetColor(clRed);
        label->SetCaption(messaggio);
    }
    return messaggio;
}

std::string SegnalaErroreControllo(TLabel* label, const std::string& messaggio,
                                   TWinControl* controllo)
{
    if (!messaggio.empty() && controllo)
        FocalizzaControllo(controllo);
    return SegnalaErrore(label, messaggio);
}

void FocalizzaControllo(TWinControl* controllo)
{
    if (!controllo)
        return;
    try {
        TWinControl* figlio = controllo;
        for (TWinControl* genitore = controllo->Parent(); genitore;
             figlio = genitore, genitore = genitore->Parent()) {
            if (figlio->InheritsFrom("TCustomForm"))
                break;
            if (genitore->ClassName() == "TPageControl" && figlio->InheritsFrom("TTabSheet"))
                static_cast<TPageControl*>(genitore)->SetActivePage(static_cast<TTabSheet*>(figlio));
        }
        if (controllo->CanFocus())
            controllo->SetFocus();
    } catch (...) {
        // Focusing is a courtesy of the failure path; its own failure must not end that path.
    }
}

std::string SegnalaFormatoErrato(TLabel* label)
{
    return SegnalaErrore(label, MessaggioFormatoErrato);
}

void MessaggioErrore(const std::string& messaggio)
{
    MessageBoxA(0, messaggio, "Errore applicativo", MB_OK | MB_ICONERROR);
}
