#pragma once
// The closing of a composed document: the totals into the header, the register row, the
// document file, and the document shown.

#include "foundation/ClassiSupporto.h"
#include "platform/rtl/DateTime.h"

#include <functional>

#include <string>

// What the lines window hands over to the closing.
struct TDatiChiusura {
    std::string ModificatoreDocumento;
    std::string DataDocumento;     // short date text
    std::string RitenutaDocumento; // withholding rate text; "" for none
    int NumeroSostituito = -1;     // the stored document this one replaces; -1 for none
    std::string ModificatoreSostituito;
    bool Protetta = false;
};

// Deletes the empty lines and gives every other line a percentage discount.
void ApplicaSconto(double percentuale);
// Writes the totals into the header record (unrounded).
void SalvaDatiInFattura(const TAggregazioneImporti& importi);
// Writes the register row of the header's number and modifier (edited when it exists, appended
// otherwise) and answers the number. A date or rate text that is not valid raises EConvertError
// before the register changes.
int SalvaDatiInArchivio(const TAggregazioneImporti& importi, const TDatiChiusura& dati);
// Closes the document: true when it was stored, registered and shown. A date or rate text that
// is not valid raises EConvertError before anything on disk changes.
bool ChiudiFattura(const TDatiChiusura& dati);

// The document being stored, besides its header's number and modifier.
struct TDocumentoChiuso {
    std::string Denominazione;
    TDateTime Data = 0;
    int NumeroSostituito = -1; // the stored document this one replaces; -1 for none
    std::string ModificatoreSostituito;
};
// Stores the current document, totals already in its header, under the header's number and
// modifier, in the register loaded for the document's year: the new document file first; then the
// replaced row deleted, the row written by scriviRiga (a replacement under the same key keeps its
// payment) and the register saved; then the files the new one replaced; then the document shown.
// False when the document file could not be written (reported): nothing else changed. A failure
// of the register puts it back, removes the new file and reaches the caller.
bool SalvaDocumentoChiuso(const TDocumentoChiuso& documento, const std::function<void()>& scriviRiga);
