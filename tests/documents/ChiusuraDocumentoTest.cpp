#include "DocumentiTestSupport.h"

#include "documents/ChiusuraDocumento.h"
#include "platform/rtl/Exceptions.h"
#include "platform/rtl/Files.h"
#include "tablestore/zelMemBinaryStreamFormat.h"

#include <map>

namespace {

struct TMostrato {
    int Numero;
    std::string Modificatore;
    std::string Denominazione;
    TDateTime Data;
};

// Every file under a folder with its bytes.
std::map<std::string, std::string> Contenuti(const std::string& cartella)
{
    std::map<std::string, std::string> contenuti;
    std::error_code errore;
    for (const auto& voce : fs::recursive_directory_iterator(cartella, errore))
        if (voce.is_regular_file())
            contenuti[voce.path().string()] = LeggiFile(voce.path().string());
    return contenuti;
}

} // namespace

class ChiusuraTest : public DocumentiFixture {
protected:
    void SetUp() override
    {
        DocumentiFixture::SetUp();
        ArchivioDocumenti().ImpostaTipoDocumento("FATTURE");
        ArchivioDocumenti().OnMostraDocumento = [this](int numero, const std::string& modificatore,
                                                       const std::string& denominazione, TDateTime data) {
            Mostrati.push_back({numero, modificatore, denominazione, data});
        };
    }

    // A one-line document of the customer under that number, closed with that date text.
    bool Chiudi(int numero, const std::string& denominazione, const std::string& data,
                int sostituito = -1)
    {
        NuovaTestata({{"Denominazione", Variant(denominazione)}, {"Tipologia", Variant("FT")},
                      {"Numero", Variant(numero)}, {"Modificatore", Variant("")}});
        Righe().EmptyTable();
        AggiungiRecord(Righe(), {{"Nome", Variant("A")}, {"Prezzo", Variant(100.0 * numero)},
                                 {"Quantita", Variant(1.0)}, {"IVA", Variant(20.0)}});
        TDatiChiusura dati;
        dati.DataDocumento = data;
        dati.NumeroSostituito = sostituito;
        return ChiudiFattura(dati);
    }

    // Documents 1..n of "Cliente n", dated n/3/2009.
    void Documenti(int n)
    {
        ArchivioDocumenti().ProssimoNumeroFattura("2009");
        for (int i = 1; i <= n; ++i)
            ASSERT_TRUE(Chiudi(i, "Cliente " + std::to_string(i), std::to_string(i) + "/03/2009"));
    }

    std::string FileDi(int numero)
    {
        return NeiDati("FT/Doc" + std::to_string(numero) + " - Cliente " + std::to_string(numero) +
                       " (" + std::to_string(numero) + "-3-2009).tsd");
    }

    std::vector<int> Numeri()
    {
        std::vector<int> numeri;
        Registro().First();
        while (!Registro().Eof()) {
            numeri.push_back(Registro().FieldByName("Fattura")->AsInteger());
            Registro().Next();
        }
        return numeri;
    }

    // The register file as stored.
    std::unique_ptr<TzelMemTable> RegistroSalvato(int anno = 2009)
    {
        auto tabella = std::make_unique<TzelMemTable>(nullptr);
        tabella->LoadFromFileViaFormat(NeiDati("Data/FT" + std::to_string(anno) + ".DAT"), DC->SaveFormat);
        return tabella;
    }

    std::vector<TMostrato> Mostrati;
};

TEST_F(ChiusuraTest, ANewInvoiceIsStoredRegisteredAndShown)
{
    ArchivioDocumenti().ProssimoNumeroFattura("2009");
    DocumentoVettore();
    Testata().Edit();
    ImpostaCampi(Testata(), {{"Numero", Variant(1)}, {"Modificatore", Variant("")}});
    Testata().Post();
    AggiungiRecord(Righe(), {{"Descrittivo", Variant(false)}});
    TDatiChiusura dati;
    dati.DataDocumento = "05/03/2009";
    dati.Protetta = true;
    ASSERT_TRUE(ChiudiFattura(dati));

    auto registro = RegistroSalvato();
    ASSERT_EQ(registro->RecordCount(), 1);
    registro->First();
    TzelMemTable& r = *registro;
    EXPECT_EQ(r.FieldByName("Fattura")->AsInteger(), 1);
    EXPECT_EQ(r.FieldByName("Modificatore")->AsString(), "");
    EXPECT_EQ(r.FieldByName("Data")->AsDateTime(), EncodeDate(2009, 3, 5));
    EXPECT_EQ(r.FieldByName("Denominazione")->AsString(), "Rossi Srl");
    EXPECT_TRUE(r.FieldByName("Ritenuta")->IsNull());
    EXPECT_NEAR(r.FieldByName("ImportoTotale")->AsFloat(), 418, 1e-9);
    EXPECT_NEAR(r.FieldByName("ScontoTotale")->AsFloat(), 32, 1e-9);
    EXPECT_NEAR(r.FieldByName("AliquotaTotale")->AsFloat(), 14.72, 1e-9);
    EXPECT_DOUBLE_EQ(r.FieldByName("IVATotale")->AsFloat(), Testata().FieldByName("IVATotale")->AsFloat());
    EXPECT_NEAR(r.FieldByName("IVATotale")->AsFloat(), 84.1984, 1e-9);
    EXPECT_NEAR(r.FieldByName("RitenutaTotale")->AsFloat(), -76.544, 1e-9);
    EXPECT_NEAR(r.FieldByName("RitenutaEnasarcoTotale")->AsFloat(), -15.64, 1e-9);
    EXPECT_FALSE(r.FieldByName("Pagato")->AsBoolean());
    EXPECT_FALSE(r.FieldByName("Pagato")->IsNull());
    EXPECT_TRUE(r.FieldByName("DataScadenza")->IsNull());
    EXPECT_EQ(r.FieldByName("Tipologia")->AsString(), "FT");
    EXPECT_TRUE(r.FieldByName("Protetta")->AsBoolean());
    EXPECT_TRUE(r.FieldByName("Aliquota")->IsNull());
    EXPECT_TRUE(r.FieldByName("IVA")->IsNull());
    EXPECT_TRUE(r.FieldByName("DataPagamento")->IsNull());

    ImportiDocumento importi;
    LeggiImportiDocumento(r, importi);
    const double attesi[] = {418, 32, 450, 14.72, 84.20, -76.54, -15.64, 424.74};
    const double letti[] = {importi.ImportoScontato, importi.ScontoTotale, importi.ImportoTotale,
                            importi.Contributi, importi.IvaTotale, importi.RitenutaTotale,
                            importi.RitenutaEnasarcoTotale, importi.ImportoComplessivo};
    for (int i = 0; i < 8; ++i)
        EXPECT_NEAR(letti[i], attesi[i], 1e-9) << i;

    EXPECT_EQ(Elenco(NeiDati("FT")), (std::vector<std::string>{"Doc1 - Rossi Srl (5-3-2009).tsd"}));
    ASSERT_EQ(Mostrati.size(), 1u);
    EXPECT_EQ(Mostrati[0].Numero, 1);
    EXPECT_EQ(Mostrati[0].Modificatore, "");
    EXPECT_EQ(Mostrati[0].Denominazione, "Rossi Srl");
    EXPECT_EQ(Mostrati[0].Data, EncodeDate(2009, 3, 5));

    Righe().EmptyTable();
    ASSERT_TRUE(ArchivioDocumenti().CaricaFattura(1, "", EncodeDate(2009, 3, 5), "Rossi Srl"));
    EXPECT_EQ(Righe().RecordCount(), 4);
    EXPECT_NEAR(Testata().FieldByName("ImportoTotale")->AsFloat(), 418, 1e-9);
}

TEST_F(ChiusuraTest, AWithholdingTextAndADueDateReachTheRow)
{
    ArchivioDocumenti().ProssimoNumeroFattura("2009");
    NuovaTestata({{"Denominazione", Variant("Rossi Srl")}, {"Tipologia", Variant("FT")},
                  {"Numero", Variant(1)}, {"DataScadenza", VarFromDateTime(EncodeDate(2009, 4, 30))}});
    TDatiChiusura dati;
    dati.DataDocumento = "05/03/2009";
    dati.RitenutaDocumento = "20,5";
    ASSERT_TRUE(ChiudiFattura(dati));
    auto registro = RegistroSalvato();
    registro->First();
    EXPECT_EQ(registro->FieldByName("Ritenuta")->AsFloat(), 20.5);
    EXPECT_EQ(registro->FieldByName("DataScadenza")->AsDateTime(), EncodeDate(2009, 4, 30));
}

TEST_F(ChiusuraTest, ModifyingADocumentUnderAFreeNumber)
{
    Documenti(8);
    ASSERT_TRUE(Chiudi(9, "Cliente 5", "05/03/2009", 5));
    EXPECT_EQ(Numeri(), (std::vector<int>{1, 2, 3, 4, 6, 7, 8, 9}));
    EXPECT_FALSE(fs::exists(FileDi(5)));
    EXPECT_TRUE(fs::exists(NeiDati("FT/Doc9 - Cliente 5 (5-3-2009).tsd")));
    for (int i : {6, 7, 8})
        EXPECT_TRUE(fs::exists(FileDi(i)));
    EXPECT_EQ(Elenco(NeiDati("FT")).size(), 8u);
    ArchivioDocumenti().CaricaElencoFatture("2009");
    EXPECT_EQ(Numeri(), (std::vector<int>{1, 2, 3, 4, 6, 7, 8, 9}));
}

TEST_F(ChiusuraTest, ModifyingADocumentUnderItsOwnNumberKeepsItsPayment)
{
    Documenti(6);
    ASSERT_TRUE(ArchivioDocumenti().SelezionaFattura(5, ""));
    Registro().Edit();
    ImpostaCampi(Registro(), {{"Pagato", Variant(true)},
                              {"DataPagamento", VarFromDateTime(EncodeDate(2009, 4, 10))},
                              {"IVA", Variant(20.0)}});
    Registro().Post();
    ArchivioDocumenti().SalvaElencoFatture(2009);

    ASSERT_TRUE(Chiudi(5, "Cliente 5", "05/03/2009", 5));
    EXPECT_EQ(Numeri(), (std::vector<int>{1, 2, 3, 4, 5, 6}));
    EXPECT_EQ(Elenco(NeiDati("FT")).size(), 6u);
    EXPECT_TRUE(fs::exists(FileDi(5)));
    auto registro = RegistroSalvato();
    ASSERT_TRUE(registro->Locate("Fattura", Variant(5), TLocateOptions()));
    EXPECT_TRUE(registro->FieldByName("Pagato")->AsBoolean());
    EXPECT_EQ(registro->FieldByName("DataPagamento")->AsDateTime(), EncodeDate(2009, 4, 10));
    EXPECT_EQ(registro->FieldByName("IVA")->AsFloat(), 20);
    EXPECT_NEAR(registro->FieldByName("ImportoTotale")->AsFloat(), 500, 1e-9);

    // Under another number the modified document starts unpaid.
    ASSERT_TRUE(Chiudi(7, "Cliente 5", "05/03/2009", 5));
    registro = RegistroSalvato();
    ASSERT_TRUE(registro->Locate("Fattura", Variant(7), TLocateOptions()));
    EXPECT_FALSE(registro->FieldByName("Pagato")->AsBoolean());
    EXPECT_TRUE(registro->FieldByName("DataPagamento")->IsNull());
}

TEST_F(ChiusuraTest, ReusingARegisteredNumberReplacesItsFileAndKeepsThePayment)
{
    ArchivioDocumenti().ProssimoNumeroFattura("2009");
    ASSERT_TRUE(Chiudi(3, "Verdi", "15/04/2009"));
    ASSERT_TRUE(ArchivioDocumenti().SelezionaFattura(3, ""));
    Registro().Edit();
    Registro().FieldByName("DataPagamento")->SetAsDateTime(EncodeDate(2009, 5, 1));
    Registro().Post();
    ArchivioDocumenti().SalvaElencoFatture(2009);

    ASSERT_TRUE(Chiudi(3, "Rossi Srl", "20/04/2009"));
    EXPECT_EQ(Elenco(NeiDati("FT")), (std::vector<std::string>{"Doc3 - Rossi Srl (20-4-2009).tsd"}));
    auto registro = RegistroSalvato();
    ASSERT_EQ(registro->RecordCount(), 1);
    registro->First();
    EXPECT_EQ(registro->FieldByName("Denominazione")->AsString(), "Rossi Srl");
    EXPECT_EQ(registro->FieldByName("DataPagamento")->AsDateTime(), EncodeDate(2009, 5, 1));
}

TEST_F(ChiusuraTest, ABadDateChangesNothingOnDisk)
{
    Documenti(2);
    const auto dati = Contenuti(Dati.Percorso());
    const auto temp = Contenuti(NelProgramma("Temp"));
    for (const std::string errata : {"31/02/2009", "ieri"}) {
        EXPECT_THROW(Chiudi(3, "Rossi Srl", errata), EConvertError) << errata;
        EXPECT_EQ(Contenuti(Dati.Percorso()), dati);
        EXPECT_EQ(Contenuti(NelProgramma("Temp")), temp);
    }
    NuovaTestata({{"Denominazione", Variant("Rossi Srl")}, {"Tipologia", Variant("FT")}, {"Numero", Variant(3)}});
    TDatiChiusura chiusura;
    chiusura.DataDocumento = "01/03/2009";
    chiusura.RitenutaDocumento = "venti";
    EXPECT_THROW(ChiudiFattura(chiusura), EConvertError);
    EXPECT_EQ(Contenuti(Dati.Percorso()), dati);
    EXPECT_EQ(Numeri(), (std::vector<int>{1, 2}));
}

TEST_F(ChiusuraTest, AFailedDocumentWriteLeavesTheRegisterAndTheReplacedDocument)
{
    Documenti(2);
    const std::string registro = LeggiFile(NeiDati("Data/FT2009.DAT"));
    fs::create_directories(NelProgramma("Temp/Articoli.aft"));
    EXPECT_FALSE(Chiudi(5, "Cliente 2", "02/03/2009", 2));
    EXPECT_EQ(LeggiFile(NeiDati("Data/FT2009.DAT")), registro);
    EXPECT_TRUE(fs::exists(FileDi(2)));
    EXPECT_EQ(Numeri(), (std::vector<int>{1, 2}));
    EXPECT_EQ(MessaggiErrore(), (std::vector<std::string>{"Impossibile salvare i dati della fattura."}));
    EXPECT_EQ(Mostrati.size(), 2u);
}

TEST_F(ChiusuraTest, AReplacedRowThatIsMissingIsReportedAndTheClosingGoesOn)
{
    Documenti(1);
    ASSERT_TRUE(Chiudi(2, "Cliente 2", "02/03/2009", 7));
    ASSERT_EQ(Box.size(), 1u);
    EXPECT_EQ(Box[0].Testo, "Impossibile trovare la fattura. ");
    EXPECT_EQ(Box[0].Titolo, "Errore (cod. CF1)");
    EXPECT_EQ(Numeri(), (std::vector<int>{1, 2}));
}

TEST_F(ChiusuraTest, TheDocumentDiscountReplacesEveryLineDiscount)
{
    DocumentoVettore();
    AggiungiRecord(Righe(), {{"Descrittivo", Variant(false)}});
    ApplicaSconto(10);
    EXPECT_EQ(Righe().RecordCount(), 4);
    Righe().First();
    while (!Righe().Eof()) {
        EXPECT_EQ(Righe().FieldByName("Sconto")->AsFloat(), 10);
        EXPECT_TRUE(Righe().FieldByName("ScontoPercentuale")->AsBoolean());
        Righe().Next();
    }
}

TEST_F(ChiusuraTest, ARegisterThatCannotBeSavedLeavesTheOldDocumentsAndNoNewFile)
{
    Documenti(2);
    const auto dati = Contenuti(NeiDati("FT"));
    fs::rename(NeiDati("Data"), NeiDati("Spostata"));
    ScriviFile(NeiDati("Data"), "x");
    EXPECT_ANY_THROW(Chiudi(3, "Cliente 2", "02/03/2009", 2));
    EXPECT_EQ(Contenuti(NeiDati("FT")), dati);
    EXPECT_EQ(Numeri(), (std::vector<int>{1, 2}));
    EXPECT_EQ(Mostrati.size(), 2u);
}
