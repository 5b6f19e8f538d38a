#pragma once
// The totals and the storing of a document that another program handed over and that
// TArchivioDocumenti::ImportaFatturaEsterna has numbered and registered: the amounts computed with
// every line in the VAT summary, written into the header and the register row.

#include "foundation/ClassiSupporto.h"

#include <memory>
#include <string>
#include <vector>

// Drops the empty lines, computes the totals into the header and stores the document again under
// its header's number and modifier, in the order of the closing (SalvaDocumentoChiuso): the file
// first, then the register of the document's year, then the files it replaced, then the document
// shown. The mode plays no part; numeroSostituito -1 replaces nothing.
void ConfermaDocumento(const std::string& modalita, int numeroSostituito,
                       const std::string& modificatoreSostituito);
// Adds the amounts of the current document to the five given; Enasarco is not computed. Every
// line, a descriptive one too, adds to the returned VAT summary.
std::vector<std::unique_ptr<TRiepilogoIva>> CalcolaTotaliDocumento(double& importoScontato,
                                                                   double& ivaTotale,
                                                                   double& aliquotaTotale,
                                                                   double& ritenuta,
                                                                   double& scontoTotale);
// AggiungiRiepilogoIva under the name the import's computation gives it.
void SommaRiepilogoIva(std::vector<std::unique_ptr<TRiepilogoIva>>& lista,
                       const std::string& codice, const std::string& dicitura, double aliquota,
                       double imponibile, double importo);
// Writes the five totals into the header; the Enasarco withholding is left alone.
void SalvaTotaliDocumento(double importoScontato, double ivaTotale, double aliquotaTotale,
                          double ritenuta, double scontoTotale);
// Writes the register row of the header's number and modifier (edited when it exists, appended
// otherwise): number, modifier, date, customer, withholding rate, Tipologia, the five totals and
// Pagato false. The number.
int SalvaRigaElencoFatture(double importoScontato, double ivaTotale, double aliquotaTotale,
                           double ritenuta, double scontoTotale);
