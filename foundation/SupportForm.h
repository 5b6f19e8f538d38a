#pragma once
// What every window shares: its placement stored per window name, the hint of the focused
// control, the F1 help page, the collapsible help header, and a few lookups over its controls.

#include "platform/rtl/Classes.h"

#include <functional>
#include <string>

class TComponent;
class TControl;
class TCustomForm;
class TFormPlacement;
class THeaderHelper;
class TLabel;
class TWinControl;

// Points the placement at the settings store (the INI file in portable mode, the registry key
// otherwise), under the window's name cut at its first underscore, so that every instance of one
// window shares one placement.
void PreparaPlacement(TFormPlacement* placement, TComponent* finestra);
void PreparaPlacementArticoli(TFormPlacement* placement, TComponent* finestra);
// Gives every edit, date editor, check box, data grid, bitmap button and combo box owned by the
// window these enter and leave handlers, replacing those set before.
void AgganciaEventiFocus(TComponent* finestra, TNotifyEvent uscita, TNotifyEvent entrata);
// The control's hint from Helper.ini (section: the window's name, key: the control's name), shown
// in blue on the label when one is given; "" when there is none.
std::string TestoAiuto(TComponent* finestra, TComponent* controllo, TLabel* label);
// Follows the help header: shorter while it is collapsed, taller once it is expanded.
void AdeguaIntestazione(TControl* finestra, THeaderHelper* intestazione);
void RiduciIntestazione(TControl* controllo, THeaderHelper* intestazione);
void EspandiIntestazione(TControl* controllo, THeaderHelper* intestazione);
// F1: starts the help viewer on the window's page, or writes a placeholder page the first time.
void MostraAiuto(TCustomForm* finestra);
// Writes the placeholder help page of the window into the folder (which ends with a separator).
void ScriviPaginaAiuto(TCustomForm* finestra, const std::string& cartellaAiuto);
// The direct child of the parent with exactly that name, or nullptr.
TControl* TrovaControllo(const std::string& nome, TWinControl* genitore);
// Enables or disables every control and menu item the owner owns.
void AbilitaComponenti(TComponent* proprietario, bool abilitato);
// The text the user sees on the component; "" for one without text.
std::string TestoControllo(TComponent* componente);
// Shows the report layout in the preview window, modally. Raises EInvalidOperation when no
// preview window has been installed.
void MostraReport(const std::string& fileLayout);
// Installed at start-up by the preview window's unit.
void ImpostaMostraReport(std::function<void(const std::string& fileLayout)> mostra);
// The edition switch of this build.
constexpr bool EdizioneEstesa() { return false; }

// The text of an operation whose implementation is not part of this build.
inline constexpr const char* MessaggioFunzioneNonDisponibile =
    "Funzione non disponibile in questa versione.";
