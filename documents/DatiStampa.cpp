#include "documents/DatiStampa.h"

#include "documents/CalcolaImporti.h"
#include "foundation/ContabilitaTools.h"
#include "foundation/DataModule.h"
#include "foundation/Supporto.h"
#include "platform/db/DB.h"
#include "platform/rtl/Formats.h"
#include "platform/rtl/Lists.h"
#include "platform/rtl/TextUtils.h"
#include "tablestore/zelMemTable.h"

#include <algorithm>

namespace {

void CopiaCampo(TDataSet& sorgente, TDataSet& destinazione, const char* nome)
{
    TField* da = sorgente.FieldByName(nome);
    TField* a = destinazione.FieldByName(nome);
    if (da->IsNull())
        a->Clear();
    else
        a->SetAsVariant(da->AsVariant());
}

// The currency sign of the last line, which the totals and the body rows print.
std::string ValutaUltimaRiga()
{
    TzelMemTable* righe = DC->TabellaArticoliInFattura;
    if (righe->IsEmpty())
        return {};
    righe->Last();
    return righe->FieldByName("Valuta")->AsString();
}

std::string TestoRitenuta(const char* titolo, double aliquota, const std::string& valuta, double base)
{
    return std::string(titolo) + " (" + FloatToStr(aliquota) + "% su " + valuta +
           FormattaImporto(base) + ")";
}

} // namespace

void PreparaStampaArticoli()
{
    TzelMemTable* righe = DC->TabellaArticoliInFattura;
    TzelMemTable* stampa = DC->TabellaStampaArticoli;
    TzelMemTable* testata = DC->TabellaClienteInFattura;
    stampa->EmptyTable();
    TElencoContributi contributi;
    const double aliquotaContributo = testata->FieldByName("Aliquota")->AsFloat();
    const bool ivaSuContributi = testata->FieldByName("IvaSuContributi")->AsBoolean();

    righe->First();
    while (!righe->Eof()) {
        stampa->Append();
        for (const char* nome : {"Nome", "Descrizione", "Descrittivo", "Quantita", "Misura",
                                 "ScontoPercentuale", "Sconto", "Valuta", "IVA", "Ivato",
                                 "CodiceIva"})
            CopiaCampo(*righe, *stampa, nome);
        double p = righe->FieldByName("Prezzo")->AsFloat();
        const double s = righe->FieldByName("Sconto")->AsFloat();
        const double v = righe->FieldByName("IVA")->AsFloat();
        const bool percentuale = righe->FieldByName("ScontoPercentuale")->AsBoolean();
        double ivato = 0;
        double scontato = 0;
        if (righe->FieldByName("Ivato")->AsBoolean()) {
            ivato = p;
            p = p * 100 / (v + 100);
            scontato = percentuale ? p - p * s * 0.01 : p - s;
        } else {
            scontato = percentuale ? p - p * s * 0.01 : p - s;
            ivato = scontato + scontato * v * 0.01;
        }
        stampa->FieldByName("Prezzo")->SetAsFloat(p);
        stampa->FieldByName("PrezzoScontato")->SetAsFloat(scontato);
        stampa->FieldByName("PrezzoIvato")->SetAsFloat(ivato);
        if (!righe->FieldByName("NoContributi")->AsBoolean()) {
            const double contributo = scontato * righe->FieldByName("Quantita")->AsFloat() *
                                      aliquotaContributo * 0.01;
            if (ivaSuContributi)
                AggiungiRiepilogoContributo(contributi, contributo,
                                            righe->FieldByName("CodiceIva")->AsString(), v,
                                            righe->FieldByName("DicituraIva")->AsString());
            else
                AggiungiRiepilogoContributo(contributi, contributo, "0", 0, "");
        }
        DC->CopiaCampiAggiuntivi(righe, stampa);
        stampa->Post();
        righe->Next();
    }
    StampaContributiInCorpo(contributi);
}

void AggiungiRiepilogoContributo(TElencoContributi& elenco, double importo,
                                 const std::string& codiceIva, double aliquotaIva,
                                 const std::string& dicituraIva)
{
    if (importo == 0)
        return;
    bool trovata = false;
    for (auto& riga : elenco) {
        if (riga->CodiceIva == codiceIva) {
            riga->ImportoContributo += importo;
            trovata = true;
        }
    }
    if (!trovata)
        elenco.push_back(
            std::make_unique<TRiepilogoContributo>(importo, codiceIva, aliquotaIva, dicituraIva));
}

void StampaContributiInCorpo(const TElencoContributi& elenco)
{
    TzelMemTable* testata = DC->TabellaClienteInFattura;
    if (!testata->FieldByName("ContributiCorpoFattura")->AsBoolean())
        return;
    TzelMemTable* stampa = DC->TabellaStampaArticoli;
    const std::string dicitura = testata->FieldByName("Dicitura")->AsString();
    const std::string valuta = ValutaUltimaRiga();
    for (const auto& riga : elenco) {
        const double importo = riga->ImportoContributo;
        stampa->Append();
        stampa->FieldByName("Nome")->SetAsString("---");
        stampa->FieldByName("Descrizione")->SetAsString(dicitura);
        stampa->FieldByName("Descrittivo")->SetAsBoolean(true);
        stampa->FieldByName("Quantita")->SetAsFloat(1);
        stampa->FieldByName("Misura")->SetAsString("");
        stampa->FieldByName("ScontoPercentuale")->SetAsBoolean(false);
        stampa->FieldByName("Sconto")->SetAsFloat(0);
        stampa->FieldByName("Valuta")->SetAsString(valuta);
        stampa->FieldByName("CodiceIva")->SetAsString(riga->CodiceIva);
        stampa->FieldByName("IVA")->SetAsFloat(riga->Iva);
        stampa->FieldByName("Ivato")->SetAsBoolean(false);
        stampa->FieldByName("Prezzo")->SetAsFloat(importo);
        stampa->FieldByName("PrezzoScontato")->SetAsFloat(importo);
        stampa->FieldByName("PrezzoIvato")->SetAsFloat(importo + importo * riga->Iva * 0.01);
        stampa->Post();
    }
}

void AggiornaTotaliStampa(TStringList& variabiliReport)
{
    PreparaTotaliStampa(variabiliReport);
}

void PreparaTotaliStampa(TStringList& variabiliReport)
{
    TAggregazioneImporti importi;
    TStringList calcolo;
    try {
        CalcolaTotali(importi, calcolo);
        PreparaDettaglioCalcolo(calcolo);
    } catch (...) {
        LiberaCalcolo(calcolo);
        throw;
    }
    LiberaCalcolo(calcolo);

    const double i = ArrotondaImporto(importi.ImportoScontato);
    const double s = ArrotondaImporto(importi.ScontoTotale);
    const double c = ArrotondaImporto(importi.AliquotaTotale);
    const double v = ArrotondaImporto(importi.IvaTotale);
    const double r = ArrotondaImporto(importi.RitenutaTotale);
    const double e = ArrotondaImporto(importi.RitenutaEnasarcoTotale);
    const double baseRitenuta = ArrotondaImporto(importi.RitenutaTotaleApplicataSu);
    const double baseEnasarco = ArrotondaImporto(importi.RitenutaEnasarcoApplicataSu);
    const double t = i + s;
    const double daPagare = i + c + v + r + e;

    variabiliReport.Clear();
    PreparaRiepilogoIva(importi.RiepiloghiIva, variabiliReport);

    TzelMemTable* testata = DC->TabellaClienteInFattura;
    const bool inCorpo = testata->FieldByName("ContributiCorpoFattura")->AsBoolean();
    const std::string dicitura = testata->FieldByName("Dicitura")->AsString();
    const std::string valuta = ValutaUltimaRiga();
    int contatore = 1;
    DC->TabellaRiepilogo->EmptyTable();
    // The contribution is printed once: in the body, or as its own line before the VAT. Either
    // way the invoice total includes it, so that the printed lines add up.
    AggiungiRigaRiepilogo("Totale", inCorpo ? t + c : t, true, contatore, variabiliReport);
    AggiungiRigaRiepilogo("Sconto Totale", -s, false, contatore, variabiliReport);
    if (!inCorpo)
        AggiungiRigaRiepilogo(dicitura, c, false, contatore, variabiliReport);
    AggiungiRigaRiepilogo("Iva Totale", v, false, contatore, variabiliReport);
    AggiungiRigaRiepilogo("Totale Fattura", t - s + v + c, false, contatore, variabiliReport);
    AggiungiRigaRiepilogo(TestoRitenuta("Rit. d'acconto", testata->FieldByName("Ritenuta")->AsFloat(),
                                        valuta, baseRitenuta),
                          r, false, contatore, variabiliReport);
    AggiungiRigaRiepilogo(TestoRitenuta("Rit. Enasarco",
                                        testata->FieldByName("RitenutaEnasarco")->AsFloat(), valuta,
                                        baseEnasarco),
                          e, false, contatore, variabiliReport);
    ImpostaValore(variabiliReport, "Dicitura8", "Totale a Pagare");
    ImpostaValore(variabiliReport, "Importo8", FormattaImporto(daPagare));
}

void AggiungiRigaRiepilogo(const std::string& testo, double importo, bool forzata, int& contatore,
                           TStringList& variabiliReport)
{
    if (importo == 0 && !forzata)
        return;
    TzelMemTable* riepilogo = DC->TabellaRiepilogo;
    riepilogo->Append();
    riepilogo->FieldByName("Descrizione")->SetAsString(testo);
    riepilogo->FieldByName("Importo")->SetAsFloat(importo);
    riepilogo->Post();
    ImpostaValore(variabiliReport, "Dicitura" + IntToStr(contatore), testo);
    ImpostaValore(variabiliReport, "Importo" + IntToStr(contatore), FormattaImporto(importo));
    ++contatore;
}

void PreparaRiepilogoIva(const std::vector<std::unique_ptr<TRiepilogoIva>>& riepiloghi,
                         TStringList& variabiliReport)
{
    TzelMemTable* tabella = DC->TabellaRiepilogoIva;
    tabella->EmptyTable();
    std::vector<const TRiepilogoIva*> ordinati;
    for (const auto& riga : riepiloghi)
        ordinati.push_back(riga.get());
    // Higher rates first; rows of equal rate keep the order in which they were met.
    std::stable_sort(ordinati.begin(), ordinati.end(),
                     [](const TRiepilogoIva* a, const TRiepilogoIva* b) {
                         return a->Aliquota > b->Aliquota;
                     });
    int n = 1;
    for (const TRiepilogoIva* riga : ordinati) {
        tabella->Append();
        tabella->FieldByName("CodiceIva")->SetAsString(riga->CodiceIva);
        tabella->FieldByName("DescrizioneIva")->SetAsString(riga->DicituraIva);
        tabella->FieldByName("Aliquota")->SetAsFloat(riga->Aliquota);
        tabella->FieldByName("Imponibile")->SetAsFloat(riga->Imponibile);
        tabella->FieldByName("Importo")->SetAsFloat(riga->Importo);
        tabella->Post();
        const std::string indice = IntToStr(n);
        ImpostaValore(variabiliReport, "CodiceIva" + indice, riga->CodiceIva);
        ImpostaValore(variabiliReport, "AliquotaIva" + indice, riga->DicituraIva);
        ImpostaValore(variabiliReport, "ImponibileIva" + indice, FormattaImporto(riga->Imponibile));
        ImpostaValore(variabiliReport, "ImpostaIva" + indice, FormattaImporto(riga->Importo));
        ++n;
    }
    ImpostaValore(variabiliReport, "ZeroString", FormattaImporto(0));
}

void PreparaDettaglioCalcolo(const TStringList& calcolo)
{
    TzelMemTable* tabella = DC->TabellaDettaglioCalcolo;
    tabella->Close();
    tabella->FieldDefs().Clear();
    for (int i = 0; i < calcolo.Count(); ++i)
        tabella->FieldDefs().Add(calcolo.Strings(i), ftFloat);
    tabella->CreateTable();
    tabella->Open();
    tabella->EmptyTable();
    tabella->Append();
    for (int i = 0; i < calcolo.Count(); ++i) {
        const auto* valore = dynamic_cast<const TOggettoFloat*>(calcolo.Objects(i));
        tabella->FieldByName(calcolo.Strings(i))->SetAsFloat(valore != nullptr ? valore->Valore : 0);
    }
    tabella->Post();
}
