// A document handed over by another program as a lines file and a header file: the request, the
// checks that refuse a bad one with nothing changed, the numbering, storing and confirmation, and
// the computation that puts every line into the VAT summary.

#include "DocumentiTestSupport.h"

#include "documents/DocumentoEsterno.h"
#include "platform/gui/Application.h"
#include "platform/gui/Form.h"
#include "platform/gui/Screen.h"
#include "platform/rtl/Exceptions.h"
#include "platform/rtl/Streams.h"
#include "tablestore/zelMemBinaryStreamFormat.h"

#include <cmath>
#include <map>

class DocumentoEsternoTest : public DocumentiFixture {
protected:
    struct TMostrato {
        int Numero;
        std::string Modificatore;
        std::string Denominazione;
        TDateTime Data;
    };

    void SetUp() override
    {
        DocumentiFixture::SetUp();
        ArchivioDocumenti().OnMostraDocumento = [this](int numero, const std::string& modificatore,
                                                       const std::string& denominazione, TDateTime data) {
            Mostrati.push_back({numero, modificatore, denominazione, data});
        };
        // The 2009 invoices end at 41; the register of another year is the one in memory.
        ArchivioDocumenti().ImpostaTipoDocumento("FATTURE");
        Registro().EmptyTable();
        for (int numero : {1, 2, 40, 41})
            AggiungiRecord(Registro(), {{"Fattura", Variant(numero)}, {"Tipologia", Variant("FT")},
                                        {"Data", VarFromDateTime(EncodeDate(2009, 1, numero % 28 + 1))},
                                        {"Denominazione", Variant("Altro")}});
        ArchivioDocumenti().SalvaElencoFatture(2009);
        ArchivioDocumenti().CaricaElencoFatture("2008");

        // The other program's two files, then another document in the live tables.
        DocumentoVettore();
        Testata().Edit();
        ImpostaCampi(Testata(), {{"Data", VarFromDateTime(EncodeDate(2009, 6, 10))},
                                 {"Modificatore", Variant("x")}, {"Numero", Variant(7)}});
        Testata().Post();
        fs::create_directories(NelProgramma("esterno"));
        Righe().SaveToFileViaFormat(FileRighe, DC->SaveFormat);
        Testata().SaveToFileViaFormat(FileTestata, DC->SaveFormat);
        NuovaTestata({{"Denominazione", Variant("Documento aperto")}, {"Tipologia", Variant("PV")}});
        Righe().EmptyTable();
        AggiungiRecord(Righe(), {{"Nome", Variant("riga aperta")}});
        Box.clear();
    }

    std::string Richiesta() const { return "\"" + FileRighe + "%$%" + FileTestata + "\""; }

    // The live tables as the table store writes them, the register file and the series folders.
    std::string Stato()
    {
        TMemoryStream flusso;
        Testata().SaveToStreamViaFormat(&flusso, DC->SaveFormat);
        Righe().SaveToStreamViaFormat(&flusso, DC->SaveFormat);
        std::string stato(static_cast<const char*>(flusso.Memory()), static_cast<size_t>(flusso.Size()));
        stato += Comando("cd '" + Dati.Percorso() + "' && find . -type f | sort | xargs -r sha1sum");
        return stato;
    }

    // The register file of 2009 as stored.
    std::unique_ptr<TzelMemTable> Registro2009()
    {
        auto registro = std::make_unique<TzelMemTable>(nullptr);
        registro->LoadFromFileViaFormat(NeiDati("Data/FT2009.DAT"), DC->SaveFormat);
        return registro;
    }

    const std::string FileRighe = NelProgramma("esterno/righe.aft");
    const std::string FileTestata = NelProgramma("esterno/testata.cft");
    std::vector<TMostrato> Mostrati;
};

TEST_F(DocumentoEsternoTest, AnImportedDocumentIsNumberedStoredAndConfirmedOnce)
{
    ArchivioDocumenti().ImportaFatturaEsterna(Richiesta());
    ConfermaDocumento("Normale", -1, "");

    EXPECT_TRUE(Box.empty());
    EXPECT_TRUE(MessaggiErrore().empty());
    const auto registro = Registro2009();
    EXPECT_EQ(registro->RecordCount(), 5);
    int trovate = 0;
    for (registro->First(); !registro->Eof(); registro->Next()) {
        if (registro->FieldByName("Fattura")->AsInteger() != 42)
            continue;
        ++trovate;
        EXPECT_EQ(registro->FieldByName("Modificatore")->AsString(), "");
        EXPECT_EQ(registro->FieldByName("Tipologia")->AsString(), "FT");
        EXPECT_EQ(registro->FieldByName("Denominazione")->AsString(), "Rossi Srl");
        EXPECT_EQ(registro->FieldByName("Data")->AsDateTime(), EncodeDate(2009, 6, 10));
        EXPECT_FALSE(registro->FieldByName("Pagato")->IsNull());
        EXPECT_FALSE(registro->FieldByName("Pagato")->AsBoolean());
        EXPECT_NEAR(registro->FieldByName("ImportoTotale")->AsFloat(), 418, 1e-9);
        EXPECT_NEAR(registro->FieldByName("IVATotale")->AsFloat(), 84.1984, 1e-9);
        EXPECT_NEAR(registro->FieldByName("AliquotaTotale")->AsFloat(), 14.72, 1e-9);
        EXPECT_NEAR(registro->FieldByName("RitenutaTotale")->AsFloat(), -76.544, 1e-9);
        EXPECT_NEAR(registro->FieldByName("ScontoTotale")->AsFloat(), 32, 1e-9);
        EXPECT_NEAR(registro->FieldByName("Ritenuta")->AsFloat(), 20, 1e-9);
    }
    EXPECT_EQ(trovate, 1);

    const std::string documento = "Doc42 - Rossi Srl (10-6-2009).tsd";
    EXPECT_EQ(Elenco(NeiDati("FT")), std::vector<std::string>{documento});
    EXPECT_NE(Comando("unzip -t '" + NeiDati("FT/" + documento) + "'").find("No errors detected"),
              std::string::npos);
    ASSERT_FALSE(Mostrati.empty());
    EXPECT_EQ(Mostrati.back().Numero, 42);
    EXPECT_EQ(Mostrati.back().Modificatore, "");
    EXPECT_EQ(Mostrati.back().Denominazione, "Rossi Srl");
    EXPECT_EQ(Mostrati.back().Data, EncodeDate(2009, 6, 10));

    // The stored header carries the number, no modifier and the totals.
    ASSERT_TRUE(ArchivioDocumenti().CaricaFattura(42, "", EncodeDate(2009, 6, 10), "Rossi Srl"));
    EXPECT_EQ(Testata().FieldByName("Modificatore")->AsString(), "");
    EXPECT_NEAR(Testata().FieldByName("ImportoTotale")->AsFloat(), 418, 1e-9);
    EXPECT_TRUE(Testata().FieldByName("RitenutaEnasarcoTotale")->IsNull());
    EXPECT_EQ(Righe().RecordCount(), 4);
}

TEST_F(DocumentoEsternoTest, EveryLineReachesTheVatSummary)
{
    for (const char* tipologia : {"FT", "NA"}) {
        SCOPED_TRACE(tipologia);
        DocumentoVettore(tipologia);
        const double segno = std::string(tipologia) == "NA" ? -1 : 1;
        double scontato = 0;
        double iva = 0;
        double contributi = 0;
        double ritenuta = 0;
        double sconto = 0;
        const auto riepilogo = CalcolaTotaliDocumento(scontato, iva, contributi, ritenuta, sconto);
        EXPECT_NEAR(scontato, 418 * segno, 1e-9);
        EXPECT_NEAR(iva, 84.1984 * segno, 1e-9);
        EXPECT_NEAR(contributi, 14.72 * segno, 1e-9);
        EXPECT_NEAR(ritenuta, -76.544 * segno, 1e-9);
        EXPECT_NEAR(sconto, 32 * segno, 1e-9);
        ASSERT_EQ(riepilogo.size(), 3u);
        const std::tuple<std::string, std::string, double, double, double> attese[] = {
            {"22", "Aliquota IVA 22,00%", 22, 382.72, 84.1984},
            {"N4", "Esente art.10", 0, 50, 0},
            {"", "Aliquota IVA 0,00%", 0, 0, 0}};
        for (size_t i = 0; i < 3; ++i) {
            EXPECT_EQ(riepilogo[i]->CodiceIva, std::get<0>(attese[i]));
            EXPECT_EQ(riepilogo[i]->DicituraIva, std::get<1>(attese[i]));
            EXPECT_EQ(riepilogo[i]->Aliquota, std::get<2>(attese[i]));
            EXPECT_NEAR(riepilogo[i]->Imponibile, std::get<3>(attese[i]) * segno, 1e-9);
            EXPECT_NEAR(riepilogo[i]->Importo, std::get<4>(attese[i]) * segno, 1e-9);
            EXPECT_FALSE(std::signbit(riepilogo[i]->Importo) && riepilogo[i]->Importo == 0);
        }
    }
    // The amounts are added to what the caller passes.
    DocumentoVettore();
    double scontato = 1;
    double zero = 0;
    CalcolaTotaliDocumento(scontato, zero, zero, zero, zero);
    EXPECT_NEAR(scontato, 419, 1e-9);
}

TEST_F(DocumentoEsternoTest, WhileAnotherWindowIsActiveNothingIsImported)
{
    TForm* principale = nullptr;
    Application->CreateForm(principale);
    ASSERT_EQ(Application->MainForm(), principale);
    auto* altra = new TForm(Application);
    Screen->SetActiveFormInternal(altra);
    const std::string prima = Stato();
    ArchivioDocumenti().ImportaFatturaEsterna(Richiesta());
    Screen->SetActiveFormInternal(nullptr);
    TComponent::Free(altra);
    TComponent::Free(principale);
    ASSERT_EQ(Box.size(), 1u);
    EXPECT_EQ(Box[0].Testo, "Per poter importare delle fatture \xE8 necessario tornare nella schermata principale");
    EXPECT_EQ(Box[0].Titolo, "Impossibile importare");
    EXPECT_EQ(Box[0].Tipo, static_cast<UINT>(MB_OK | MB_ICONINFORMATION));
    EXPECT_EQ(Stato(), prima);
    EXPECT_TRUE(Mostrati.empty());
}

TEST_F(DocumentoEsternoTest, ARequestThatCannotBeTakenChangesNothing)
{
    fs::create_directories(NelProgramma("una cartella"));
    ScriviFile(NelProgramma("testo.cft"), "non una tabella");
    // A table of another kind: the customers.
    DC->TabellaClienti->SaveToFileViaFormat(NelProgramma("clienti.cft"), DC->SaveFormat);
    // A header without a date.
    {
        TzelMemTable senzaData(nullptr);
        senzaData.LoadFromFileViaFormat(FileTestata, DC->SaveFormat);
        senzaData.Edit();
        senzaData.FieldByName("Data")->Clear();
        senzaData.Post();
        senzaData.SaveToFileViaFormat(NelProgramma("senzadata.cft"), DC->SaveFormat);
    }
    const std::string righe = FileRighe;
    const std::pair<const char*, std::string> richieste[] = {
        {"empty", ""},
        {"empty quotes", "\"\""},
        {"no separator", righe},
        {"no lines file", "%$%" + FileTestata},
        {"an unclosed quote", "\"" + righe + "%$%" + FileTestata},
        {"100 KiB long", righe + "%$%" + std::string(100 * 1024, 'x')},
        {"a folder", righe + "%$%" + NelProgramma("una cartella")},
        {"a missing file", righe + "%$%" + NelProgramma("manca.cft")},
        {"a file that is no table", righe + "%$%" + NelProgramma("testo.cft")},
        {"lines that are no table", NelProgramma("testo.cft") + "%$%" + FileTestata},
        {"a table of another kind", righe + "%$%" + NelProgramma("clienti.cft")},
        {"header and lines swapped", FileTestata + "%$%" + righe},
        {"a header without a date", righe + "%$%" + NelProgramma("senzadata.cft")},
    };
    const std::string prima = Stato();
    for (const auto& [nome, richiesta] : richieste) {
        SCOPED_TRACE(nome);
        try {
            ArchivioDocumenti().ImportaFatturaEsterna(richiesta);
            ADD_FAILURE() << "imported";
        } catch (const Exception& e) {
            EXPECT_EQ(e.Message.rfind("Impossibile importare il documento: ", 0), 0u) << e.Message;
            EXPECT_LT(e.Message.size(), 600u);
        }
        EXPECT_EQ(Stato(), prima);
    }
    EXPECT_TRUE(Box.empty());
    EXPECT_TRUE(Mostrati.empty());
    EXPECT_EQ(Registro().RecordCount(), 0); // the 2008 register, still the one in memory
}
