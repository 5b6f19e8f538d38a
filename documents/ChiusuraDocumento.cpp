#include "documents/ChiusuraDocumento.h"

#include "documents/CalcolaImporti.h"
#include "documents/CaricaFattura.h"
#include "foundation/DataModule.h"
#include "foundation/SupportDate.h"
#include "platform/db/DB.h"
#include "platform/os/MessageBox.h"
#include "platform/rtl/DateTime.h"
#include "platform/rtl/Files.h"
#include "platform/rtl/Formats.h"
#include "platform/rtl/TextUtils.h"
#include "platform/rtl/Variants.h"
#include "tablestore/zelMemTable.h"

#include <vector>

namespace {

struct TValoriChiusura {
    TDateTime Data = 0;
    bool ConRitenuta = false;
    double Ritenuta = 0;
};

// Raises EConvertError for a text that is no date or no number.
TValoriChiusura ConvertiValori(const TDatiChiusura& dati)
{
    TValoriChiusura valori;
    valori.Data = StrToDate(dati.DataDocumento);
    const std::string ritenuta = Trim(dati.RitenutaDocumento);
    valori.ConRitenuta = !ritenuta.empty();
    if (valori.ConRitenuta)
        valori.Ritenuta = StrToFloat(ritenuta);
    return valori;
}

// The fields of a register row that the save of a document does not write.
struct TCampiConservati {
    Variant Pagato;
    Variant DataPagamento;
    Variant Aliquota;
    Variant IVA;
};
const char* const CAMPI_CONSERVATI[] = {"Pagato", "DataPagamento", "Aliquota", "IVA"};

TCampiConservati LeggiConservati(TDataSet& registro)
{
    return {registro.FieldByName("Pagato")->AsVariant(),
            registro.FieldByName("DataPagamento")->AsVariant(),
            registro.FieldByName("Aliquota")->AsVariant(), registro.FieldByName("IVA")->AsVariant()};
}

void ScriviConservati(TDataSet& registro, const TCampiConservati& campi)
{
    const Variant* valori[] = {&campi.Pagato, &campi.DataPagamento, &campi.Aliquota, &campi.IVA};
    registro.Edit();
    for (size_t i = 0; i < 4; ++i)
        registro.FieldByName(CAMPI_CONSERVATI[i])->SetAsVariant(*valori[i]);
    registro.Post();
}

// The file of the register's current row.
std::string FileDellaRiga(TDataSet& registro)
{
    return ArchivioDocumenti().PercorsoFattura(registro.FieldByName("Fattura")->AsInteger(),
                                               registro.FieldByName("Modificatore")->AsString(),
                                               registro.FieldByName("Denominazione")->AsString(),
                                               registro.FieldByName("Data")->AsDateTime());
}

} // namespace

void ApplicaSconto(double percentuale)
{
    TzelMemTable* righe = DC->TabellaArticoliInFattura;
    righe->First();
    while (!righe->Eof()) {
        if (RigaArticoloVuota(*righe)) {
            righe->Delete();
            continue;
        }
        righe->Edit();
        righe->FieldByName("Sconto")->SetAsFloat(percentuale);
        righe->FieldByName("ScontoPercentuale")->SetAsBoolean(true);
        righe->Post();
        righe->Next();
    }
}

void SalvaDatiInFattura(const TAggregazioneImporti& importi)
{
    TzelMemTable* testata = DC->TabellaClienteInFattura;
    testata->Edit();
    testata->FieldByName("ImportoTotale")->SetAsFloat(importi.ImportoScontato);
    testata->FieldByName("ScontoTotale")->SetAsFloat(importi.ScontoTotale);
    testata->FieldByName("AliquotaTotale")->SetAsFloat(importi.AliquotaTotale);
    testata->FieldByName("IVATotale")->SetAsFloat(importi.IvaTotale);
    testata->FieldByName("RitenutaTotale")->SetAsFloat(importi.RitenutaTotale);
    testata->FieldByName("RitenutaEnasarcoTotale")->SetAsFloat(importi.RitenutaEnasarcoTotale);
    testata->Post();
}

int SalvaDatiInArchivio(const TAggregazioneImporti& importi, const TDatiChiusura& dati)
{
    TzelMemTable* testata = DC->TabellaClienteInFattura;
    TzelMemTable* registro = DC->TabellaFatture;
    const TValoriChiusura valori = ConvertiValori(dati);
    const std::string tipologia = testata->FieldByName("Tipologia")->AsString();
    const int numero = testata->FieldByName("Numero")->AsInteger();
    const std::string modificatore = testata->FieldByName("Modificatore")->AsString();

    // An existing row is edited and keeps its payment; a new one starts unpaid.
    if (ArchivioDocumenti().SelezionaFattura(numero, modificatore)) {
        registro->Edit();
    } else {
        registro->Append();
        registro->FieldByName("Pagato")->SetAsBoolean(false);
    }
    registro->FieldByName("Fattura")->SetAsInteger(numero);
    registro->FieldByName("Modificatore")->SetAsString(dati.ModificatoreDocumento);
    registro->FieldByName("Data")->SetAsDateTime(valori.Data);
    registro->FieldByName("Denominazione")->SetAsString(testata->FieldByName("Denominazione")->AsString());
    if (valori.ConRitenuta)
        registro->FieldByName("Ritenuta")->SetAsFloat(valori.Ritenuta);
    else
        registro->FieldByName("Ritenuta")->Clear();
    registro->FieldByName("ImportoTotale")->SetAsFloat(importi.ImportoScontato);
    registro->FieldByName("ScontoTotale")->SetAsFloat(importi.ScontoTotale);
    registro->FieldByName("AliquotaTotale")->SetAsFloat(importi.AliquotaTotale);
    registro->FieldByName("IVATotale")->SetAsFloat(importi.IvaTotale);
    registro->FieldByName("RitenutaTotale")->SetAsFloat(importi.RitenutaTotale);
    registro->FieldByName("RitenutaEnasarcoTotale")->SetAsFloat(importi.RitenutaEnasarcoTotale);
    registro->FieldByName("Tipologia")->SetAsString(tipologia);
    // A header without a due date gives a row without one, not the date-time 0 (30/12/1899).
    TField* scadenza = testata->FieldByName("DataScadenza");
    if (scadenza->IsNull())
        registro->FieldByName("DataScadenza")->Clear();
    else
        registro->FieldByName("DataScadenza")->SetAsDateTime(scadenza->AsDateTime());
    registro->FieldByName("Protetta")->SetAsBoolean(dati.Protetta);
    registro->Post();
    return numero;
}

bool ChiudiFattura(const TDatiChiusura& dati)
{
    TzelMemTable* testata = DC->TabellaClienteInFattura;

    TAggregazioneImporti importi;
    const std::string denominazione = testata->FieldByName("Denominazione")->AsString();
    ArchivioDocumenti().EliminaRecordArticoliVuoti();
    {
        TStringList calcolo;
        try {
            CalcolaTotali(importi, calcolo);
        } catch (...) {
            LiberaCalcolo(calcolo);
            throw;
        }
        LiberaCalcolo(calcolo);
    }
    SalvaDatiInFattura(importi);

    // Everything that can be refused is checked before anything on disk changes.
    const TValoriChiusura valori = ConvertiValori(dati);
    return SalvaDocumentoChiuso({denominazione, valori.Data, dati.NumeroSostituito,
                                 dati.ModificatoreSostituito},
                                [&] { SalvaDatiInArchivio(importi, dati); });
}

bool SalvaDocumentoChiuso(const TDocumentoChiuso& documento, const std::function<void()>& scriviRiga)
{
    TArchivioDocumenti& archivio = ArchivioDocumenti();
    TzelMemTable* testata = DC->TabellaClienteInFattura;
    TzelMemTable* registro = DC->TabellaFatture;
    const std::string& denominazione = documento.Denominazione;
    int anno = 0;
    int mese = 0;
    int giorno = 0;
    DecodeDate(documento.Data, anno, mese, giorno);
    const int numero = testata->FieldByName("Numero")->AsInteger();
    const std::string modificatore = testata->FieldByName("Modificatore")->AsString();
    const std::string nuovoFile = archivio.PercorsoFattura(numero, modificatore, denominazione,
                                                           documento.Data);

    bool sostituitoTrovato = false;
    std::string fileSostituito;
    TCampiConservati conservati;
    int annoSostituito = 0;
    if (documento.NumeroSostituito >= 0) {
        sostituitoTrovato =
            archivio.SelezionaFattura(documento.NumeroSostituito, documento.ModificatoreSostituito);
        if (sostituitoTrovato) {
            fileSostituito = FileDellaRiga(*registro);
            conservati = LeggiConservati(*registro);
            annoSostituito = AnnoDi(registro->FieldByName("Data")->AsDateTime());
        } else {
            MessageBoxA(nullptr, "Impossibile trovare la fattura. ", "Errore (cod. CF1)",
                        MB_OK | MB_ICONSTOP);
        }
    }
    std::string fileEsistente;
    if (archivio.SelezionaFattura(numero, modificatore))
        fileEsistente = FileDellaRiga(*registro);

    // The new file first: when it cannot be written, the register and the old files stay.
    if (!archivio.SalvaFattura(anno, mese, denominazione, modificatore, numero, giorno))
        return false;

    TCopiaRegistro copia;
    try {
        if (sostituitoTrovato &&
            archivio.SelezionaFattura(documento.NumeroSostituito, documento.ModificatoreSostituito))
            registro->Delete();
        scriviRiga();
        // A modification stored under the same number keeps the payment of the row it replaces.
        const bool stessaChiave = sostituitoTrovato && documento.NumeroSostituito == numero &&
                                  documento.ModificatoreSostituito == modificatore &&
                                  annoSostituito == anno;
        if (stessaChiave && archivio.SelezionaFattura(numero, modificatore))
            ScriviConservati(*registro, conservati);
        archivio.SalvaElencoFatture(anno);
    } catch (...) {
        copia.Ripristina();
        if (!AnsiSameText(nuovoFile, fileSostituito) && !AnsiSameText(nuovoFile, fileEsistente))
            DeleteFile(nuovoFile);
        throw;
    }

    // Only now that the register lists the new file do the files it replaced go.
    for (const std::string& vecchio : {fileSostituito, fileEsistente})
        if (!vecchio.empty() && !AnsiSameText(vecchio, nuovoFile) && FileExists(vecchio))
            DeleteFile(vecchio);

    if (archivio.OnMostraDocumento)
        archivio.OnMostraDocumento(numero, modificatore, denominazione, documento.Data);
    return true;
}
