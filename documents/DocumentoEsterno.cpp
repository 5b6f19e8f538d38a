#include "documents/DocumentoEsterno.h"

#include "documents/CalcolaImporti.h"
#include "documents/CaricaFattura.h"
#include "documents/ChiusuraDocumento.h"
#include "foundation/DataModule.h"
#include "platform/db/DB.h"
#include "platform/rtl/DateTime.h"
#include "platform/rtl/Formats.h"
#include "tablestore/zelMemTable.h"

void SommaRiepilogoIva(std::vector<std::unique_ptr<TRiepilogoIva>>& lista,
                       const std::string& codice, const std::string& dicitura, double aliquota,
                       double imponibile, double importo)
{
    AggiungiRiepilogoIva(lista, codice, dicitura, aliquota, imponibile, importo);
}

std::vector<std::unique_ptr<TRiepilogoIva>> CalcolaTotaliDocumento(double& importoScontato,
                                                                   double& ivaTotale,
                                                                   double& aliquotaTotale,
                                                                   double& ritenuta,
                                                                   double& scontoTotale)
{
    TAggregazioneImporti importi;
    CalcolaImportiDocumento(*DC->TabellaClienteInFattura, *DC->TabellaArticoliInFattura, importi,
                            true);
    importoScontato += importi.ImportoScontato;
    ivaTotale += importi.IvaTotale;
    aliquotaTotale += importi.AliquotaTotale;
    ritenuta += importi.RitenutaTotale;
    scontoTotale += importi.ScontoTotale;
    return std::move(importi.RiepiloghiIva);
}

void SalvaTotaliDocumento(double importoScontato, double ivaTotale, double aliquotaTotale,
                          double ritenuta, double scontoTotale)
{
    TzelMemTable* testata = DC->TabellaClienteInFattura;
    testata->Edit();
    testata->FieldByName("ImportoTotale")->SetAsFloat(importoScontato);
    testata->FieldByName("ScontoTotale")->SetAsFloat(scontoTotale);
    testata->FieldByName("AliquotaTotale")->SetAsFloat(aliquotaTotale);
    testata->FieldByName("IVATotale")->SetAsFloat(ivaTotale);
    testata->FieldByName("RitenutaTotale")->SetAsFloat(ritenuta);
    testata->Post();
}

int SalvaRigaElencoFatture(double importoScontato, double ivaTotale, double aliquotaTotale,
                           double ritenuta, double scontoTotale)
{
    TzelMemTable* testata = DC->TabellaClienteInFattura;
    TzelMemTable* registro = DC->TabellaFatture;
    auto dallaTestata = [testata](const char* campo) { return testata->FieldByName(campo)->AsString(); };
    const int numero = testata->FieldByName("Numero")->AsInteger();
    const std::string modificatore = dallaTestata("Modificatore");
    if (ArchivioDocumenti().SelezionaFattura(numero, modificatore))
        registro->Edit();
    else
        registro->Append();
    registro->FieldByName("Fattura")->SetAsInteger(numero);
    registro->FieldByName("Modificatore")->SetAsString(modificatore);
    registro->FieldByName("Data")->SetAsString(dallaTestata("Data"));
    registro->FieldByName("Denominazione")->SetAsString(dallaTestata("Denominazione"));
    registro->FieldByName("Ritenuta")->SetAsString(dallaTestata("Ritenuta"));
    // Without it the archive, which filters every register on Tipologia, would never list the
    // document again.
    registro->FieldByName("Tipologia")->SetAsString(dallaTestata("Tipologia"));
    registro->FieldByName("ImportoTotale")->SetAsFloat(importoScontato);
    registro->FieldByName("ScontoTotale")->SetAsFloat(scontoTotale);
    registro->FieldByName("AliquotaTotale")->SetAsFloat(aliquotaTotale);
    registro->FieldByName("IVATotale")->SetAsFloat(ivaTotale);
    registro->FieldByName("RitenutaTotale")->SetAsFloat(ritenuta);
    registro->FieldByName("Pagato")->SetAsBoolean(false);
    registro->Post();
    return numero;
}

void ConfermaDocumento(const std::string& /*modalita*/, int numeroSostituito,
                       const std::string& modificatoreSostituito)
{
    TArchivioDocumenti& archivio = ArchivioDocumenti();
    TzelMemTable* testata = DC->TabellaClienteInFattura;
    const std::string denominazione = testata->FieldByName("Denominazione")->AsString();
    archivio.EliminaRecordArticoliVuoti();
    double importoScontato = 0;
    double ivaTotale = 0;
    double aliquotaTotale = 0;
    double ritenuta = 0;
    double scontoTotale = 0;
    CalcolaTotaliDocumento(importoScontato, ivaTotale, aliquotaTotale, ritenuta, scontoTotale);
    SalvaTotaliDocumento(importoScontato, ivaTotale, aliquotaTotale, ritenuta, scontoTotale);

    // The row goes into the register of the document's own series and year, whichever was
    // loaded before: saving another year's rows under this year's name would lose a register.
    const TDateTime data = testata->FieldByName("Data")->AsDateTime();
    archivio.ImpostaTipoDaTipologia(testata->FieldByName("Tipologia")->AsString());
    archivio.CaricaElencoFatture(IntToStr(AnnoDi(data)));
    SalvaDocumentoChiuso({denominazione, data, numeroSostituito, modificatoreSostituito}, [&] {
        SalvaRigaElencoFatture(importoScontato, ivaTotale, aliquotaTotale, ritenuta, scontoTotale);
    });
}
