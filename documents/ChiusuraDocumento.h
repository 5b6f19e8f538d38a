#pragma once
// The closing of a composed document: the totals into the header, the register row, the
// document file, and the document shown.

#include "foundation/ClassiSupporto.h"

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
