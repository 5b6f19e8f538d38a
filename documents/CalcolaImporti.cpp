#include "documents/CalcolaImporti.h"

#include "foundation/DataModule.h"
#include "platform/db/DB.h"
#include "platform/rtl/Formats.h"
#include "platform/rtl/Lists.h"
#include "platform/rtl/TextUtils.h"
#include "tablestore/zelMemTable.h"

namespace {

// A computed zero is stored as +0, so that no "-0,00" reaches a field or a report.
double SenzaZeroNegativo(double valore) { return valore == 0 ? 0.0 : valore; }

double Numero(TDataSet& dati, const char* campo) { return dati.FieldByName(campo)->AsFloat(); }
bool Flag(TDataSet& dati, const char* campo) { return dati.FieldByName(campo)->AsBoolean(); }
std::string Testo(TDataSet& dati, const char* campo) { return dati.FieldByName(campo)->AsString(); }

// The VAT summary being built, with the upper-cased code and wording of each row kept beside it
// so that a line is compared without upper-casing every row again.
class TRiepilogoInCorso {
public:
    explicit TRiepilogoInCorso(std::vector<std::unique_ptr<TRiepilogoIva>>& lista) : FLista(lista)
    {
        for (const auto& riga : lista)
            FChiavi.push_back({AnsiUpperCase(riga->CodiceIva), AnsiUpperCase(riga->DicituraIva)});
    }

    void Aggiungi(const std::string& codice, const std::string& dicitura, double aliquota,
                  double imponibile, double importo)
    {
        const std::string testo = dicitura.empty() ? DicituraAliquota(aliquota) : dicitura;
        const TChiave chiave{AnsiUpperCase(codice), AnsiUpperCase(testo)};
        bool trovata = false;
        for (size_t i = 0; i < FLista.size(); ++i) {
            TRiepilogoIva& riga = *FLista[i];
            if (riga.Aliquota == aliquota && FChiavi[i].Codice == chiave.Codice &&
                FChiavi[i].Dicitura == chiave.Dicitura) {
                riga.Imponibile += imponibile;
                riga.Importo += importo;
                trovata = true;
            }
        }
        if (trovata)
            return;
        FLista.push_back(std::make_unique<TRiepilogoIva>(imponibile, aliquota, importo, codice, testo));
        FChiavi.push_back(chiave);
    }

private:
    struct TChiave {
        std::string Codice;
        std::string Dicitura;
    };
    std::vector<std::unique_ptr<TRiepilogoIva>>& FLista;
    std::vector<TChiave> FChiavi;
};

struct TRitenuta {
    double Base = 0;
    double Importo = 0;
};

TRitenuta CalcolaRitenuta(double scontato, double escluso, double contributi, bool suContributi,
                          double aliquota, double quota)
{
    TRitenuta ritenuta;
    const double soggetto = suContributi ? scontato - escluso + contributi : scontato - escluso;
    ritenuta.Base = soggetto * quota * 0.01;
    ritenuta.Importo = -(ritenuta.Base * aliquota * 0.01);
    return ritenuta;
}

} // namespace

std::string DicituraAliquota(double aliquota)
{
    return "Aliquota IVA " + FloatToStrF(aliquota, ffFixed, 15, 2) + "%";
}

void AggiungiRiepilogoIva(std::vector<std::unique_ptr<TRiepilogoIva>>& lista,
                          const std::string& codice, const std::string& dicitura, double aliquota,
                          double imponibile, double importo)
{
    TRiepilogoInCorso(lista).Aggiungi(codice, dicitura, aliquota, imponibile, importo);
}

void LiberaCalcolo(TStringList& calcolo)
{
    for (int i = 0; i < calcolo.Count(); ++i) {
        delete calcolo.Objects(i);
        calcolo.SetObjects(i, nullptr);
    }
    calcolo.Clear();
}

bool CalcolaTotali(TAggregazioneImporti& importi, TStringList& calcolo)
{
    return CalcolaTotali(*DC->TabellaClienteInFattura, *DC->TabellaArticoliInFattura, importi,
                         calcolo);
}

void CalcolaImportiDocumento(TDataSet& testata, TDataSet& righe, TAggregazioneImporti& importi,
                             bool ogniRigaNelRiepilogo)
{
    const double segno = AnsiUpperCase(Testo(testata, "Tipologia")) == "NA" ? -1.0 : 1.0;
    const double aliquotaContributo = Numero(testata, "Aliquota");
    const bool ivaSuContributi = Flag(testata, "IvaSuContributi");
    double esclusoRitenuta = 0;
    double esclusoEnasarco = 0;

    TField* prezzo = righe.FieldByName("Prezzo");
    TField* quantita = righe.FieldByName("Quantita");
    TField* sconto = righe.FieldByName("Sconto");
    TField* scontoPercentuale = righe.FieldByName("ScontoPercentuale");
    TField* iva = righe.FieldByName("IVA");
    TField* ivato = righe.FieldByName("Ivato");
    TField* noContributi = righe.FieldByName("NoContributi");
    TField* noRitenuta = righe.FieldByName("NoRitenuta");
    TField* noEnasarco = righe.FieldByName("NoRitenutaEnasarco");
    TField* codiceIva = righe.FieldByName("CodiceIva");
    TField* dicituraIva = righe.FieldByName("DicituraIva");

    TRiepilogoInCorso riepilogo(importi.RiepiloghiIva);
    righe.First();
    while (!righe.Eof()) {
        double p = prezzo->AsFloat() * segno;
        const double q = quantita->AsFloat();
        const double v = iva->AsFloat();
        if (ivato->AsBoolean())
            p = p * 100 / (v + 100);
        const double d = scontoPercentuale->AsBoolean() ? p - p * sconto->AsFloat() * 0.01
                                                        : p - sconto->AsFloat() * segno;
        importi.ScontoTotale += (p - d) * q;
        importi.ImportoScontato += d * q;
        const bool conContributo = !noContributi->AsBoolean();
        if (conContributo)
            importi.AliquotaTotale += d * aliquotaContributo * 0.01 * q;
        if (noRitenuta->AsBoolean())
            esclusoRitenuta += d * q;
        if (noEnasarco->AsBoolean())
            esclusoEnasarco += d * q;
        const double base = ivaSuContributi && conContributo
                                ? (d * aliquotaContributo * 0.01 + d) * q
                                : d * q;
        const double imposta = base * v * 0.01;
        importi.IvaTotale += imposta;
        const std::string codice = codiceIva->AsString();
        const std::string dicitura = dicituraIva->AsString();
        if (ogniRigaNelRiepilogo || !codice.empty() || !dicitura.empty() || base != 0)
            riepilogo.Aggiungi(codice, dicitura, v, base, imposta);
        righe.Next();
    }

    const TRitenuta ritenuta =
        CalcolaRitenuta(importi.ImportoScontato, esclusoRitenuta, importi.AliquotaTotale,
                        Flag(testata, "RitenutaSuContributi"), Numero(testata, "Ritenuta"),
                        Numero(testata, "RitenutaSul"));
    importi.RitenutaTotaleApplicataSu = ritenuta.Base;
    importi.RitenutaTotale = ritenuta.Importo;
    const TRitenuta enasarco =
        CalcolaRitenuta(importi.ImportoScontato, esclusoEnasarco, importi.AliquotaTotale,
                        Flag(testata, "RitenutaEnasarcoSuContributi"),
                        Numero(testata, "RitenutaEnasarco"), Numero(testata, "RitenutaEnasarcoSul"));
    importi.RitenutaEnasarcoApplicataSu = enasarco.Base;
    importi.RitenutaEnasarcoTotale = enasarco.Importo;

    for (double* valore : {&importi.ImportoScontato, &importi.IvaTotale, &importi.AliquotaTotale,
                           &importi.RitenutaTotale, &importi.RitenutaTotaleApplicataSu,
                           &importi.RitenutaEnasarcoTotale, &importi.RitenutaEnasarcoApplicataSu,
                           &importi.ScontoTotale})
        *valore = SenzaZeroNegativo(*valore);
    for (auto& riga : importi.RiepiloghiIva) {
        riga->Imponibile = SenzaZeroNegativo(riga->Imponibile);
        riga->Importo = SenzaZeroNegativo(riga->Importo);
    }
}

bool CalcolaTotali(TDataSet& testata, TDataSet& righe, TAggregazioneImporti& importi,
                   TStringList& calcolo)
{
    CalcolaImportiDocumento(testata, righe, importi, false);

    const std::pair<const char*, double> voci[] = {
        {"ScontoTotale", importi.ScontoTotale},
        {"ImportoScontato", importi.ImportoScontato},
        {"ImportoTotale", importi.ImportoScontato + importi.ScontoTotale},
        {"AliquotaTotale", importi.AliquotaTotale},
        {"IvaTotale", importi.IvaTotale},
        {"ImportoComplessivo", importi.ImportoScontato + importi.AliquotaTotale +
                                   importi.IvaTotale + importi.RitenutaTotale +
                                   importi.RitenutaEnasarcoTotale},
        {"Ritenuta", Numero(testata, "Ritenuta")},
        {"RitenutaSul", Numero(testata, "RitenutaSul")},
        {"RitenutaEnasarco", Numero(testata, "RitenutaEnasarco")},
        {"RitenutaEnasarcoSul", Numero(testata, "RitenutaEnasarcoSul")},
        {"RitenutaTotaleApplicataSu", importi.RitenutaTotaleApplicataSu},
        {"RitenutaTotale", importi.RitenutaTotale},
        {"RitenutaEnasarcoApplicataSu", importi.RitenutaEnasarcoApplicataSu},
        {"RitenutaEnasarcoTotale", importi.RitenutaEnasarcoTotale},
    };
    for (const auto& [nome, valore] : voci) {
        auto oggetto = std::make_unique<TOggettoFloat>(SenzaZeroNegativo(valore));
        calcolo.AddObject(nome, oggetto.get());
        oggetto.release();
    }
    return true;
}
