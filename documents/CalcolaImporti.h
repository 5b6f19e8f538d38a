#pragma once
// The amounts of the current document: discounts, contribution, VAT with its summary,
// withholding tax and Enasarco withholding. Nothing is rounded here.

#include "foundation/ClassiSupporto.h"

#include <memory>
#include <string>
#include <vector>

class TDataSet;
class TStringList;

// Computes from the data module's two current-document tables into a newly constructed record
// and an empty list, which gets the fourteen named amounts as TOggettoFloat objects that the
// caller frees (LiberaCalcolo). The lines table ends on its last record. Always true.
bool CalcolaTotali(TAggregazioneImporti& importi, TStringList& calcolo);
// The same from the given header (current record) and lines tables.
bool CalcolaTotali(TDataSet& testata, TDataSet& righe, TAggregazioneImporti& importi,
                   TStringList& calcolo);
// The amounts of CalcolaTotali without the computation list. With ogniRigaNelRiepilogo every line
// adds to the VAT summary, a descriptive one too (a row of rate 0 with zero amounts); otherwise
// only a line with a code, a wording or a base does.
void CalcolaImportiDocumento(TDataSet& testata, TDataSet& righe, TAggregazioneImporti& importi,
                             bool ogniRigaNelRiepilogo);
// Adds the amounts to the row of the same rate, code and wording (code and wording compared
// upper-cased), or appends a row. An empty wording becomes "Aliquota IVA " + rate + "%".
void AggiungiRiepilogoIva(std::vector<std::unique_ptr<TRiepilogoIva>>& lista,
                          const std::string& codice, const std::string& dicitura, double aliquota,
                          double imponibile, double importo);
// The wording of a VAT summary row without one: "Aliquota IVA 20,00%".
std::string DicituraAliquota(double aliquota);
// Frees the value objects of a computation list and empties it.
void LiberaCalcolo(TStringList& calcolo);
