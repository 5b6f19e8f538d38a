#pragma once
// The print data of the current document: the print rows, the contribution rows of the body,
// the VAT summary, the totals lines, the one-row computation table and the report variables.

#include "foundation/ClassiSupporto.h"

#include <memory>
#include <string>
#include <vector>

class TStringList;

using TElencoContributi = std::vector<std::unique_ptr<TRiepilogoContributo>>;

// Fills TabellaStampaArticoli from the lines and adds the contribution rows of the body.
void PreparaStampaArticoli();
// Fills the VAT summary, the totals lines, the computation table and the name=value variables.
void AggiornaTotaliStampa(TStringList& variabiliReport);
void PreparaTotaliStampa(TStringList& variabiliReport);
// Fills TabellaRiepilogoIva, higher rates first, and its variables.
void PreparaRiepilogoIva(const std::vector<std::unique_ptr<TRiepilogoIva>>& riepiloghi,
                         TStringList& variabiliReport);
// Adds a totals line numbered by the counter when the amount is not 0 or it is forced.
void AggiungiRigaRiepilogo(const std::string& testo, double importo, bool forzata, int& contatore,
                           TStringList& variabiliReport);
// Adds a non-zero amount to the row of that code (exact), or appends a row.
void AggiungiRiepilogoContributo(TElencoContributi& elenco, double importo,
                                 const std::string& codiceIva, double aliquotaIva,
                                 const std::string& dicituraIva);
// Appends the contribution rows to TabellaStampaArticoli when the header prints them in the body.
void StampaContributiInCorpo(const TElencoContributi& elenco);
// Rebuilds TabellaDettaglioCalcolo: one float field per list entry, one row.
void PreparaDettaglioCalcolo(const TStringList& calcolo);
