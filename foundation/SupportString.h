#pragma once
// Texts: cutting at a separator, replacing, removing characters, splitting into items.
// Every search is case-sensitive and finds the first occurrence; positions count from 1.

#include "platform/rtl/Lists.h"

#include <memory>
#include <string>

// The text before the first separator; when there is none, the whole text if tuttoIlTesto,
// otherwise "".
std::string TestoPrimaSeparatore(const std::string& testo, const std::string& separatore,
                                 bool tuttoIlTesto);
std::string TestoPrima(const std::string& testo, const std::string& separatore);
std::string TestoPrimaOVuoto(const std::string& testo, const std::string& separatore);
// The text after the first separator, "" when there is none.
std::string TestoDopo(const std::string& testo, const std::string& separatore);

// Replaces every occurrence of cercato. A shorter replacement also replaces the occurrences that
// it forms together with the text around it.
std::string SostituisciTesto(const std::string& testo, const std::string& cercato,
                             const std::string& sostituto);
void SostituisciInElenco(TStrings& elenco, const std::string& cercato, const std::string& sostituto);

// The position of the first character of the set found in the text, the set's characters tried
// in their order; 0 when none occurs.
int ContieneCaratteri(const std::string& testo, const std::string& caratteri);
std::string RimuoviCaratteri(const std::string& testo, const std::string& caratteri);

// The items between separators: two separators in a row give an empty item, a final separator
// adds none, an empty text gives no item.
std::unique_ptr<TStringList> DividiTesto(const std::string& testo, char separatore);
// The item of that index (from 0), "0" when there are fewer items. A negative index raises the
// list's index error.
std::string EstraiElemento(const std::string& testo, char separatore, int indice);
// The index of the first line that begins with the text, -1 when none.
int IndiceElemento(const TStrings& elenco, const std::string& testo);

// The customer name without the characters that file names cannot hold; says so in a message box
// when it removed any.
std::string PulisciDenominazione(const std::string& denominazione);
