#pragma once
// The status label of every window: validation messages in red, the offending control brought
// into view and focused, and the plain error box of operations without a label.

#include <string>

class TLabel;
class TWinControl;

// Red text on the label (when given); an empty message clears it. Returns the message.
std::string SegnalaErrore(TLabel* label, const std::string& messaggio);
// Focuses the control (when given) for a non-empty message, then SegnalaErrore.
std::string SegnalaErroreControllo(TLabel* label, const std::string& messaggio,
                                   TWinControl* controllo);
// Brings forward every tab page holding the control, then gives it the focus when it can take
// it. Never raises: it runs inside the failure path of a save.
void FocalizzaControllo(TWinControl* controllo);
// SegnalaErrore with the wrong-format message.
std::string SegnalaFormatoErrato(TLabel* label);
// Modal error box "Errore applicativo" with an OK button.
void MessaggioErrore(const std::string& messaggio);

// The text of SegnalaFormatoErrato.
inline constexpr const char* MessaggioFormatoErrato =
    "Il campo specificato non \xE8 nel formato corretto";
