#include "DocumentiTestSupport.h"

#include "documents/CalcolaImporti.h"
#include "platform/rtl/Lists.h"

#include <cmath>
#include <map>

namespace {

struct TRisultato {
    TAggregazioneImporti Importi;
    std::vector<std::pair<std::string, double>> Voci;
};

TRisultato Calcola()
{
    TRisultato risultato;
    TStringList calcolo;
    EXPECT_TRUE(CalcolaTotali(risultato.Importi, calcolo));
    for (int i = 0; i < calcolo.Count(); ++i)
        risultato.Voci.push_back(
            {calcolo.Strings(i), static_cast<TOggettoFloat*>(calcolo.Objects(i))->Valore});
    LiberaCalcolo(calcolo);
    return risultato;
}

double Voce(const TRisultato& r, const std::string& nome)
{
    for (const auto& [n, v] : r.Voci)
        if (n == nome)
            return v;
    ADD_FAILURE() << "no entry " << nome;
    return NAN;
}

} // namespace

class CalcolaImportiTest : public DocumentiFixture {};

TEST_F(CalcolaImportiTest, TheVectorMatchesTheFiguresComputedByHand)
{
    DocumentoVettore();
    const TRisultato r = Calcola();
    const std::vector<std::pair<std::string, double>> attese = {
        {"ScontoTotale", 32},
        {"ImportoScontato", 418},
        {"ImportoTotale", 450},
        {"AliquotaTotale", 14.72},
        {"IvaTotale", 84.1984},
        {"ImportoComplessivo", 424.7344},
        {"Ritenuta", 20},
        {"RitenutaSul", 100},
        {"RitenutaEnasarco", 8.5},
        {"RitenutaEnasarcoSul", 50},
        {"RitenutaTotaleApplicataSu", 382.72},
        {"RitenutaTotale", -76.544},
        {"RitenutaEnasarcoApplicataSu", 184},
        {"RitenutaEnasarcoTotale", -15.64},
    };
    ASSERT_EQ(r.Voci.size(), attese.size());
    for (size_t i = 0; i < attese.size(); ++i) {
        EXPECT_EQ(r.Voci[i].first, attese[i].first);
        EXPECT_NEAR(r.Voci[i].second, attese[i].second, 1e-9) << attese[i].first;
    }
    EXPECT_NEAR(r.Importi.ImportoScontato, 418, 1e-9);
    EXPECT_NEAR(r.Importi.IvaTotale, 84.1984, 1e-9);
    EXPECT_NEAR(r.Importi.RitenutaEnasarcoApplicataSu, 184, 1e-9);

    ASSERT_EQ(r.Importi.RiepiloghiIva.size(), 2u);
    const TRiepilogoIva& primo = *r.Importi.RiepiloghiIva[0];
    EXPECT_EQ(primo.CodiceIva, "22");
    EXPECT_EQ(primo.DicituraIva, "Aliquota IVA 22,00%");
    EXPECT_EQ(primo.Aliquota, 22);
    EXPECT_NEAR(primo.Imponibile, 382.72, 1e-9);
    EXPECT_NEAR(primo.Importo, 84.1984, 1e-9);
    const TRiepilogoIva& secondo = *r.Importi.RiepiloghiIva[1];
    EXPECT_EQ(secondo.CodiceIva, "N4");
    EXPECT_EQ(secondo.DicituraIva, "Esente art.10");
    EXPECT_EQ(secondo.Aliquota, 0);
    EXPECT_NEAR(secondo.Imponibile, 50, 1e-9);
    EXPECT_EQ(secondo.Importo, 0);
    EXPECT_TRUE(Righe().Eof());
}

TEST_F(CalcolaImportiTest, ACreditNoteNegatesTheAmountsButNotTheRates)
{
    DocumentoVettore("NA");
    const TRisultato r = Calcola();
    const std::map<std::string, double> attese = {
        {"ScontoTotale", -32},          {"ImportoScontato", -418},
        {"ImportoTotale", -450},        {"AliquotaTotale", -14.72},
        {"IvaTotale", -84.1984},        {"ImportoComplessivo", -424.7344},
        {"Ritenuta", 20},               {"RitenutaSul", 100},
        {"RitenutaEnasarco", 8.5},      {"RitenutaEnasarcoSul", 50},
        {"RitenutaTotaleApplicataSu", -382.72}, {"RitenutaTotale", 76.544},
        {"RitenutaEnasarcoApplicataSu", -184},  {"RitenutaEnasarcoTotale", 15.64},
    };
    for (const auto& [nome, valore] : attese)
        EXPECT_NEAR(Voce(r, nome), valore, 1e-9) << nome;
    ASSERT_EQ(r.Importi.RiepiloghiIva.size(), 2u);
    EXPECT_NEAR(r.Importi.RiepiloghiIva[0]->Imponibile, -382.72, 1e-9);
    EXPECT_NEAR(r.Importi.RiepiloghiIva[0]->Importo, -84.1984, 1e-9);
    EXPECT_NEAR(r.Importi.RiepiloghiIva[1]->Imponibile, -50, 1e-9);
    EXPECT_FALSE(std::signbit(r.Importi.RiepiloghiIva[1]->Importo));
}

namespace {

struct TRiga {
    TRiga(double prezzo, double quantita = 1, double iva = 0, double sconto = 0,
          bool percentuale = false, bool ivato = false, bool noContributi = false,
          bool noRitenuta = false, std::string codice = "", std::string dicitura = "")
        : Prezzo(prezzo), Quantita(quantita), Iva(iva), Sconto(sconto), Percentuale(percentuale),
          Ivato(ivato), NoContributi(noContributi), NoRitenuta(noRitenuta), Codice(codice),
          Dicitura(dicitura)
    {
    }
    double Prezzo;
    double Quantita;
    double Iva;
    double Sconto;
    bool Percentuale;
    bool Ivato;
    bool NoContributi;
    bool NoRitenuta;
    std::string Codice;
    std::string Dicitura;
};

struct TTestataCaso {
    TTestataCaso(std::string tipologia = "FT", double aliquota = 0, bool ivaSuContributi = false,
                 double ritenuta = 0, double ritenutaSul = 0, bool ritenutaSuContributi = false)
        : Tipologia(tipologia), Aliquota(aliquota), IvaSuContributi(ivaSuContributi),
          Ritenuta(ritenuta), RitenutaSul(ritenutaSul), RitenutaSuContributi(ritenutaSuContributi)
    {
    }
    std::string Tipologia;
    double Aliquota;
    bool IvaSuContributi;
    double Ritenuta;
    double RitenutaSul;
    bool RitenutaSuContributi;
};

struct TCasoPiccolo {
    std::string Nome;
    TTestataCaso Testata;
    std::vector<TRiga> Righe;
    std::map<std::string, double> Attese;
    // code, wording, rate, base, VAT
    std::vector<std::tuple<std::string, std::string, double, double, double>> Riepilogo;
};

} // namespace

TEST_F(CalcolaImportiTest, TheSmallCases)
{
    const std::vector<TCasoPiccolo> casi = {
        {"plain line", TTestataCaso(), {{100, 2, 20}},
         {{"ImportoScontato", 200}, {"IvaTotale", 40}, {"ScontoTotale", 0}, {"ImportoComplessivo", 240}},
         {{"", "Aliquota IVA 20,00%", 20, 200, 40}}},
        {"VAT-inclusive price with a percentage discount", {}, {{120, 1, 20, 10, true, true}},
         {{"ImportoScontato", 90}, {"ScontoTotale", 10}, {"ImportoTotale", 100}}, {}},
        {"amount discount", {}, {{100, 1, 0, 5}}, {{"ImportoScontato", 95}, {"ScontoTotale", 5}}, {}},
        {"amount discount on a credit note", {"NA"}, {{100, 1, 0, 5}},
         {{"ImportoScontato", -95}, {"ScontoTotale", -5}}, {}},
        {"contribution with VAT on it", {"FT", 4, true}, {{1000, 1, 20}},
         {{"AliquotaTotale", 40}, {"IvaTotale", 208}}, {{"", "Aliquota IVA 20,00%", 20, 1040, 208}}},
        {"line without contribution", {"FT", 4, true}, {{1000, 1, 20, 0, false, false, true}},
         {{"AliquotaTotale", 0}, {"IvaTotale", 200}}, {{"", "Aliquota IVA 20,00%", 20, 1000, 200}}},
        {"withholding with an excluded line", {"FT", 0, false, 20, 100},
         {{800}, {200, 1, 0, 0, false, false, false, true}},
         {{"RitenutaTotaleApplicataSu", 800}, {"RitenutaTotale", -160}}, {}},
        {"withholding on the contribution", {"FT", 4, false, 20, 100, true},
         {{800}, {200, 1, 0, 0, false, false, false, true}},
         {{"AliquotaTotale", 40}, {"RitenutaTotaleApplicataSu", 840}, {"RitenutaTotale", -168}}, {}},
        {"wordings and codes differing in case merge", {},
         {{100, 1, 20, 0, false, false, false, false, "A", "Iva ordinaria"},
          {100, 1, 20, 0, false, false, false, false, "a", "IVA ORDINARIA"}},
         {}, {{"A", "Iva ordinaria", 20, 200, 40}}},
        {"rates 20 and 20.0001 stay apart", {},
         {{100, 1, 20, 0, false, false, false, false, "A"}, {100, 1, 20.0001, 0, false, false, false, false, "A"}},
         {}, {{"A", "Aliquota IVA 20,00%", 20, 100, 20}, {"A", "Aliquota IVA 20,00%", 20.0001, 100, 20.0001}}},
        {"empty code and wording merge by rate", {}, {{100, 1, 10}, {50, 1, 10}, {10, 1, 12.3}},
         {}, {{"", "Aliquota IVA 10,00%", 10, 150, 15}, {"", "Aliquota IVA 12,30%", 12.3, 10, 1.23}}},
        {"empty document", {"FT", 4, true, 20, 100, true}, {},
         {{"ImportoScontato", 0}, {"IvaTotale", 0}, {"RitenutaTotaleApplicataSu", 0}, {"ImportoComplessivo", 0}},
         {}},
    };
    for (const TCasoPiccolo& caso : casi) {
        SCOPED_TRACE(caso.Nome);
        NuovaTestata({{"Tipologia", Variant(caso.Testata.Tipologia)},
                      {"Aliquota", Variant(caso.Testata.Aliquota)},
                      {"IvaSuContributi", Variant(caso.Testata.IvaSuContributi)},
                      {"Ritenuta", Variant(caso.Testata.Ritenuta)},
                      {"RitenutaSul", Variant(caso.Testata.RitenutaSul)},
                      {"RitenutaSuContributi", Variant(caso.Testata.RitenutaSuContributi)}});
        Righe().EmptyTable();
        for (const TRiga& riga : caso.Righe)
            AggiungiRecord(Righe(), {{"Prezzo", Variant(riga.Prezzo)},
                                     {"Quantita", Variant(riga.Quantita)},
                                     {"IVA", Variant(riga.Iva)},
                                     {"Sconto", Variant(riga.Sconto)},
                                     {"ScontoPercentuale", Variant(riga.Percentuale)},
                                     {"Ivato", Variant(riga.Ivato)},
                                     {"NoContributi", Variant(riga.NoContributi)},
                                     {"NoRitenuta", Variant(riga.NoRitenuta)},
                                     {"CodiceIva", Variant(riga.Codice)},
                                     {"DicituraIva", Variant(riga.Dicitura)}});
        const TRisultato r = Calcola();
        for (const auto& [nome, valore] : caso.Attese)
            EXPECT_NEAR(Voce(r, nome), valore, 1e-9) << nome;
        if (caso.Riepilogo.empty() && !caso.Righe.empty())
            continue; // a case about the totals only
        ASSERT_EQ(r.Importi.RiepiloghiIva.size(), caso.Riepilogo.size());
        for (size_t i = 0; i < caso.Riepilogo.size(); ++i) {
            const auto& [codice, dicitura, aliquota, imponibile, importo] = caso.Riepilogo[i];
            const TRiepilogoIva& riga = *r.Importi.RiepiloghiIva[i];
            EXPECT_EQ(riga.CodiceIva, codice);
            EXPECT_EQ(riga.DicituraIva, dicitura);
            EXPECT_EQ(riga.Aliquota, aliquota);
            EXPECT_NEAR(riga.Imponibile, imponibile, 1e-9);
            EXPECT_NEAR(riga.Importo, importo, 1e-9);
        }
    }
}

TEST_F(CalcolaImportiTest, AZeroWithholdingIsAPositiveZero)
{
    NuovaTestata({{"Tipologia", Variant("FT")}, {"Ritenuta", Variant(0.0)},
                  {"RitenutaSul", Variant(100.0)}});
    Righe().EmptyTable();
    AggiungiRecord(Righe(), {{"Prezzo", Variant(100.0)}, {"Quantita", Variant(1.0)}});
    const TRisultato r = Calcola();
    EXPECT_EQ(r.Importi.RitenutaTotale, 0);
    EXPECT_FALSE(std::signbit(r.Importi.RitenutaTotale));
    EXPECT_FALSE(std::signbit(Voce(r, "RitenutaTotale")));
    EXPECT_FALSE(std::signbit(r.Importi.RitenutaEnasarcoTotale));
}
