#include "DocumentiTestSupport.h"

#include "documents/DatiStampa.h"
#include "platform/rtl/Lists.h"

class DatiStampaTest : public DocumentiFixture {
protected:
    void Prepara()
    {
        PreparaStampaArticoli();
        AggiornaTotaliStampa(Variabili);
    }
    std::string Var(const std::string& nome) { return Variabili.Values(nome); }
    bool HaVar(const std::string& nome) { return Variabili.IndexOfName(nome) >= 0; }

    // (Dicitura n, Importo n) for n = 1..8 where present.
    std::vector<std::tuple<int, std::string, std::string>> Totali()
    {
        std::vector<std::tuple<int, std::string, std::string>> totali;
        for (int n = 1; n <= 8; ++n)
            if (HaVar("Dicitura" + std::to_string(n)))
                totali.push_back({n, Var("Dicitura" + std::to_string(n)),
                                  Var("Importo" + std::to_string(n))});
        return totali;
    }

    TStringList Variabili;
};

TEST_F(DatiStampaTest, PrintRowsOfTheVectorWithTheContributionInTheBody)
{
    DocumentoVettore();
    Prepara();
    TzelMemTable& stampa = *DC->TabellaStampaArticoli;
    ASSERT_EQ(stampa.RecordCount(), 5);
    const double prezzi[4][3] = {{100, 90, 109.8}, {50, 49, 61}, {50, 50, 50}, {0, 0, 0}};
    stampa.First();
    for (const auto& attesi : prezzi) {
        EXPECT_NEAR(stampa.FieldByName("Prezzo")->AsFloat(), attesi[0], 1e-9);
        EXPECT_NEAR(stampa.FieldByName("PrezzoScontato")->AsFloat(), attesi[1], 1e-9);
        EXPECT_NEAR(stampa.FieldByName("PrezzoIvato")->AsFloat(), attesi[2], 1e-9);
        stampa.Next();
    }
    EXPECT_EQ(stampa.FieldByName("Nome")->AsString(), "---");
    EXPECT_EQ(stampa.FieldByName("Descrizione")->AsString(), "Contributo INPS");
    EXPECT_TRUE(stampa.FieldByName("Descrittivo")->AsBoolean());
    EXPECT_EQ(stampa.FieldByName("Quantita")->AsFloat(), 1);
    EXPECT_EQ(stampa.FieldByName("Misura")->AsString(), "");
    EXPECT_FALSE(stampa.FieldByName("ScontoPercentuale")->AsBoolean());
    EXPECT_EQ(stampa.FieldByName("Sconto")->AsFloat(), 0);
    EXPECT_EQ(stampa.FieldByName("Valuta")->AsString(), "\x80.");
    EXPECT_EQ(stampa.FieldByName("CodiceIva")->AsString(), "22");
    EXPECT_EQ(stampa.FieldByName("IVA")->AsFloat(), 22);
    EXPECT_FALSE(stampa.FieldByName("Ivato")->AsBoolean());
    EXPECT_NEAR(stampa.FieldByName("Prezzo")->AsFloat(), 14.72, 1e-9);
    EXPECT_NEAR(stampa.FieldByName("PrezzoScontato")->AsFloat(), 14.72, 1e-9);
    EXPECT_NEAR(stampa.FieldByName("PrezzoIvato")->AsFloat(), 17.9584, 1e-9);

    using T = std::tuple<int, std::string, std::string>;
    EXPECT_EQ(Totali(), (std::vector<T>{{1, "Totale", "464,72"},
                                        {2, "Sconto Totale", "-32,00"},
                                        {3, "Iva Totale", "84,20"},
                                        {4, "Totale Fattura", "516,92"},
                                        {5, "Rit. d'acconto (20% su \x80.382,72)", "-76,54"},
                                        {6, "Rit. Enasarco (8,5% su \x80.184,00)", "-15,64"},
                                        {8, "Totale a Pagare", "424,74"}}));
    TzelMemTable& riepilogo = *DC->TabellaRiepilogo;
    ASSERT_EQ(riepilogo.RecordCount(), 6);
    riepilogo.First();
    for (const double importo : {464.72, -32.0, 84.2, 516.92, -76.54, -15.64}) {
        EXPECT_NEAR(riepilogo.FieldByName("Importo")->AsFloat(), importo, 1e-9);
        riepilogo.Next();
    }

    EXPECT_EQ(Var("CodiceIva1"), "22");
    EXPECT_EQ(Var("AliquotaIva1"), "Aliquota IVA 22,00%");
    EXPECT_EQ(Var("ImponibileIva1"), "382,72");
    EXPECT_EQ(Var("ImpostaIva1"), "84,20");
    EXPECT_EQ(Var("CodiceIva2"), "N4");
    EXPECT_EQ(Var("AliquotaIva2"), "Esente art.10");
    EXPECT_EQ(Var("ImponibileIva2"), "50,00");
    EXPECT_EQ(Var("ImpostaIva2"), "0,00");
    EXPECT_EQ(Var("ZeroString"), "0,00");
    TzelMemTable& iva = *DC->TabellaRiepilogoIva;
    ASSERT_EQ(iva.RecordCount(), 2);
    iva.First();
    EXPECT_EQ(iva.FieldByName("CodiceIva")->AsString(), "22");
    EXPECT_EQ(iva.FieldByName("DescrizioneIva")->AsString(), "Aliquota IVA 22,00%");
    EXPECT_NEAR(iva.FieldByName("Imponibile")->AsFloat(), 382.72, 1e-9);
    iva.Next();
    EXPECT_EQ(iva.FieldByName("CodiceIva")->AsString(), "N4");

    TzelMemTable& dettaglio = *DC->TabellaDettaglioCalcolo;
    EXPECT_EQ(dettaglio.RecordCount(), 1);
    const std::vector<std::pair<std::string, double>> campi = {
        {"ScontoTotale", 32}, {"ImportoScontato", 418}, {"ImportoTotale", 450},
        {"AliquotaTotale", 14.72}, {"IvaTotale", 84.1984}, {"ImportoComplessivo", 424.7344},
        {"Ritenuta", 20}, {"RitenutaSul", 100}, {"RitenutaEnasarco", 8.5},
        {"RitenutaEnasarcoSul", 50}, {"RitenutaTotaleApplicataSu", 382.72},
        {"RitenutaTotale", -76.544}, {"RitenutaEnasarcoApplicataSu", 184},
        {"RitenutaEnasarcoTotale", -15.64}};
    ASSERT_EQ(dettaglio.FieldCount(), 14);
    for (int i = 0; i < 14; ++i) {
        TField* campo = dettaglio.Fields()[i];
        EXPECT_EQ(campo->FieldName(), campi[i].first);
        EXPECT_EQ(campo->DataType(), ftFloat);
        EXPECT_NEAR(campo->AsFloat(), campi[i].second, 1e-9);
    }
}

TEST_F(DatiStampaTest, UserFieldsOfTheLinesAreCopied)
{
    for (TzelMemTable* tabella : {DC->TabellaArticoliInFattura, DC->TabellaStampaArticoli}) {
        tabella->Close();
        tabella->FieldDefs().Add("CstTs_Colore", ftString, 20);
        tabella->CreateTable();
        tabella->Open();
    }
    DocumentoVettore();
    Righe().First();
    Righe().Edit();
    Righe().FieldByName("CstTs_Colore")->SetAsString("rosso");
    Righe().Post();
    PreparaStampaArticoli();
    DC->TabellaStampaArticoli->First();
    EXPECT_EQ(DC->TabellaStampaArticoli->FieldByName("CstTs_Colore")->AsString(), "rosso");
}

TEST_F(DatiStampaTest, AContributionOutsideTheBodyIsPrintedOnceAndAddsUp)
{
    DocumentoVettore("FT", false);
    Prepara();
    EXPECT_EQ(DC->TabellaStampaArticoli->RecordCount(), 4);
    using T = std::tuple<int, std::string, std::string>;
    EXPECT_EQ(Totali(), (std::vector<T>{{1, "Totale", "450,00"},
                                        {2, "Sconto Totale", "-32,00"},
                                        {3, "Contributo INPS", "14,72"},
                                        {4, "Iva Totale", "84,20"},
                                        {5, "Totale Fattura", "516,92"},
                                        {6, "Rit. d'acconto (20% su \x80.382,72)", "-76,54"},
                                        {7, "Rit. Enasarco (8,5% su \x80.184,00)", "-15,64"},
                                        {8, "Totale a Pagare", "424,74"}}));
}

TEST_F(DatiStampaTest, ThePrintCasesOfSimpleDocuments)
{
    using T = std::tuple<int, std::string, std::string>;
    // Without discount, contribution or withholding.
    NuovaTestata({{"Tipologia", Variant("FT")}});
    Righe().EmptyTable();
    AggiungiRecord(Righe(), {{"Prezzo", Variant(100.0)}, {"Quantita", Variant(2.0)}, {"IVA", Variant(20.0)}});
    Prepara();
    EXPECT_EQ(Totali(), (std::vector<T>{{1, "Totale", "200,00"},
                                        {2, "Iva Totale", "40,00"},
                                        {3, "Totale Fattura", "240,00"},
                                        {8, "Totale a Pagare", "240,00"}}));

    // All zero: the forced "Totale" only.
    Righe().EmptyTable();
    Prepara();
    EXPECT_EQ(Totali(), (std::vector<T>{{1, "Totale", "0,00"}, {8, "Totale a Pagare", "0,00"}}));
    EXPECT_EQ(DC->TabellaRiepilogoIva->RecordCount(), 0);

    // A VAT-inclusive line.
    AggiungiRecord(Righe(), {{"Prezzo", Variant(122.0)}, {"Quantita", Variant(1.0)}, {"IVA", Variant(22.0)},
                             {"Ivato", Variant(true)}, {"Sconto", Variant(10.0)},
                             {"ScontoPercentuale", Variant(true)}});
    Prepara();
    DC->TabellaStampaArticoli->First();
    EXPECT_NEAR(DC->TabellaStampaArticoli->FieldByName("Prezzo")->AsFloat(), 100, 1e-9);
    EXPECT_NEAR(DC->TabellaStampaArticoli->FieldByName("PrezzoScontato")->AsFloat(), 90, 1e-9);
    EXPECT_NEAR(DC->TabellaStampaArticoli->FieldByName("PrezzoIvato")->AsFloat(), 122, 1e-9);
}

TEST_F(DatiStampaTest, TheVatSummaryListsHigherRatesFirstInAStableOrder)
{
    struct Caso {
        std::vector<double> Aliquote;
        std::vector<double> Ordine;
        std::vector<std::string> Codici; // of the rows in print order
    };
    const Caso casi[] = {
        {{4, 20}, {20, 4}, {"b", "a"}},
        {{4, 4.5}, {4.5, 4}, {"b", "a"}},
        {{4, 5.2, 4.5, 20}, {20, 5.2, 4.5, 4}, {"d", "b", "c", "a"}},
        {{10, 22, 10}, {22, 10, 10}, {"b", "a", "c"}},
    };
    for (const Caso& caso : casi) {
        std::vector<std::unique_ptr<TRiepilogoIva>> riepiloghi;
        std::string codice = "a";
        for (const double aliquota : caso.Aliquote) {
            riepiloghi.push_back(std::make_unique<TRiepilogoIva>(100, aliquota, aliquota, codice, ""));
            ++codice[0];
        }
        PreparaRiepilogoIva(riepiloghi, Variabili);
        std::vector<double> ordine;
        std::vector<std::string> codici;
        DC->TabellaRiepilogoIva->First();
        while (!DC->TabellaRiepilogoIva->Eof()) {
            ordine.push_back(DC->TabellaRiepilogoIva->FieldByName("Aliquota")->AsFloat());
            codici.push_back(DC->TabellaRiepilogoIva->FieldByName("CodiceIva")->AsString());
            DC->TabellaRiepilogoIva->Next();
        }
        EXPECT_EQ(ordine, caso.Ordine);
        EXPECT_EQ(codici, caso.Codici);
        EXPECT_EQ(Var("CodiceIva1"), caso.Codici[0]);
    }
}

TEST_F(DatiStampaTest, ACreditNotePrintsPositivePricesAndNegativeTotals)
{
    DocumentoVettore("NA");
    Prepara();
    DC->TabellaStampaArticoli->First();
    EXPECT_NEAR(DC->TabellaStampaArticoli->FieldByName("Prezzo")->AsFloat(), 100, 1e-9);
    EXPECT_EQ(Var("Importo1"), "-464,72");
    EXPECT_EQ(Var("Importo8"), "-424,74");
    EXPECT_EQ(Var("ImponibileIva1"), "-382,72");
}
