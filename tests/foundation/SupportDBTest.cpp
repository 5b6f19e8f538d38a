#include "DataModuleTestUtils.h"

#include "foundation/DataWrappers.h"
#include "foundation/SupportDB.h"
#include "foundation/SupportFormDB.h"
#include "foundation/Supporto.h"
#include "platform/db/DB.h"

namespace fs = std::filesystem;

namespace {

// A memory table with the given fields (name, type, size), open.
std::unique_ptr<TzelMemTable> Tabella(const std::vector<std::tuple<std::string, TFieldType, int>>& campi)
{
    auto t = std::make_unique<TzelMemTable>(nullptr);
    for (const auto& [nome, tipo, dimensione] : campi)
        t->FieldDefs().Add(nome, tipo, dimensione);
    t->CreateTable();
    t->Open();
    return t;
}

std::unique_ptr<TzelMemTable> TabellaDocumenti()
{
    auto t = Tabella({{"Tipologia", ftString, 2}, {"Fattura", ftInteger, 0},
                      {"Denominazione", ftString, 40}});
    AggiungiRiga(*t, {{"Tipologia", "PV"}, {"Fattura", "10"}, {"Denominazione", "Bianchi Anna"}});
    AggiungiRiga(*t, {{"Tipologia", "FT"}, {"Fattura", "2"}, {"Denominazione", "Rossi Mario"}});
    AggiungiRiga(*t, {{"Tipologia", "FT"}, {"Fattura", "10"}, {"Denominazione", "Verdi Luca"}});
    return t;
}

} // namespace

TEST(SupportDB, CopiesByNameAndByStructure)
{
    auto sorgente = TabellaDocumenti();
    sorgente->First();
    auto destinazione = Tabella({{"denominazione", ftString, 40}, {"Note", ftString, 10},
                                 {"Fattura", ftString, 5}});
    EXPECT_TRUE(CopiaRecordPerNome(sorgente.get(), destinazione.get(), true));
    EXPECT_EQ(destinazione->State(), dsBrowse);
    ASSERT_EQ(destinazione->RecordCount(), 1);
    EXPECT_EQ(destinazione->FieldByName("denominazione")->AsString(), "Bianchi Anna");
    EXPECT_EQ(destinazione->FieldByName("Fattura")->AsString(), "10");
    EXPECT_TRUE(destinazione->FieldByName("Note")->IsNull());
    sorgente->Next();
    EXPECT_TRUE(CopiaRecordPerNome(sorgente.get(), destinazione.get(), false));
    EXPECT_EQ(destinazione->RecordCount(), 1);
    EXPECT_EQ(destinazione->FieldByName("denominazione")->AsString(), "Rossi Mario");
    EXPECT_TRUE(AccodaRecordMemTable(sorgente.get(), destinazione.get()));
    EXPECT_EQ(destinazione->RecordCount(), 2);

    auto stessa = Tabella({{"Tipologia", ftString, 2}, {"Fattura", ftInteger, 0},
                           {"Denominazione", ftString, 40}});
    EXPECT_TRUE(AccodaRecordStessaStruttura(sorgente.get(), stessa.get()));
    EXPECT_EQ(stessa->FieldByName("Denominazione")->AsString(), "Rossi Mario");

    auto diversa = Tabella({{"Tipologia", ftString, 2}, {"fattura", ftInteger, 0},
                            {"Denominazione", ftString, 40}});
    AggiungiRiga(*diversa, {{"Tipologia", "DT"}});
    EXPECT_FALSE(CopiaRecordStessaStruttura(sorgente.get(), diversa.get(), true));
    EXPECT_EQ(diversa->State(), dsBrowse);
    EXPECT_EQ(diversa->RecordCount(), 1);
    EXPECT_FALSE(CopiaRecordStessaStruttura(sorgente.get(), diversa.get(), false));
    EXPECT_EQ(diversa->FieldByName("Tipologia")->AsString(), "DT");
    auto corta = Tabella({{"Tipologia", ftString, 2}});
    EXPECT_FALSE(CopiaCampiStessaStruttura(sorgente.get(), corta.get()));
}

TEST(SupportDB, AccodaTuttiIRecordReturnsToTheSourceRecord)
{
    auto vuota = Tabella({{"Denominazione", ftString, 40}});
    auto destinazione = Tabella({{"Denominazione", ftString, 40}, {"Fattura", ftInteger, 0}});
    EXPECT_EQ(AccodaTuttiIRecord(vuota.get(), destinazione.get(), true), 0);
    EXPECT_TRUE(vuota->Eof());
    EXPECT_EQ(destinazione->RecordCount(), 0);

    auto sorgente = TabellaDocumenti();
    sorgente->First();
    sorgente->Next();
    EXPECT_EQ(AccodaTuttiIRecord(sorgente.get(), destinazione.get(), true), 3);
    EXPECT_EQ(sorgente->FieldByName("Denominazione")->AsString(), "Rossi Mario");
    EXPECT_EQ(ValoriDi(*destinazione, "Fattura"), (std::vector<std::string>{"10", "2", "10"}));
    // The empty flag never empties a memory table.
    EXPECT_EQ(AccodaTuttiIRecord(sorgente.get(), destinazione.get(), true), 3);
    EXPECT_EQ(destinazione->RecordCount(), 6);
}

TEST(SupportDB, CopyRecordByFieldName)
{
    TFormExceptMessage::AzzeraRapporti();
    TRegistraBox box;
    auto destinazione = Tabella({{"Denominazione", ftString, 40}, {"Fattura", ftInteger, 0},
                                 {"Extra", ftString, 5}});
    AggiungiRiga(*destinazione, {{"Denominazione", "vecchio"}});
    AggiungiRiga(*destinazione, {{"Denominazione", "vecchio"}});

    auto vuota = Tabella({{"Denominazione", ftString, 40}});
    EXPECT_TRUE(CopyRecordByFieldName(vuota.get(), destinazione.get()));
    ASSERT_EQ(destinazione->RecordCount(), 1);
    EXPECT_TRUE(destinazione->FieldByName("Denominazione")->IsNull());

    auto sorgente = TabellaDocumenti();
    sorgente->Last();
    EXPECT_TRUE(CopyRecordByFieldName(sorgente.get(), destinazione.get()));
    EXPECT_EQ(ValoriDi(*destinazione, "Denominazione"),
              (std::vector<std::string>{"Bianchi Anna", "Rossi Mario", "Verdi Luca"}));
    EXPECT_EQ(sorgente->FieldByName("Denominazione")->AsString(), "Verdi Luca");
    EXPECT_TRUE(box.Box.empty());

    auto testi = Tabella({{"Denominazione", ftString, 40}, {"Fattura", ftString, 5}});
    AggiungiRiga(*testi, {{"Denominazione", "uno"}, {"Fattura", "7"}});
    AggiungiRiga(*testi, {{"Denominazione", "due"}, {"Fattura", "abc"}});
    EXPECT_FALSE(CopyRecordByFieldName(testi.get(), destinazione.get()));
    EXPECT_EQ(destinazione->State(), dsBrowse);
    EXPECT_EQ(ValoriDi(*destinazione, "Denominazione"), std::vector<std::string>{"uno"});
    const auto rapporti = TFormExceptMessage::RapportiRegistrati();
    ASSERT_EQ(rapporti.size(), 1u);
    EXPECT_EQ(rapporti[0].Funzione, "CopyRecordByFieldName");
    EXPECT_EQ(rapporti[0].FileSorgente, "Supporto.cpp");
    EXPECT_EQ(rapporti[0].Livello, 1);
    ASSERT_EQ(box.Box.size(), 1u);
    EXPECT_EQ(box.Box[0].Titolo, "Errore nell'applicazione");
}

TEST(SupportDB, Locating)
{
    auto t = TabellaDocumenti();
    t->First();
    EXPECT_TRUE(LocalizzaRecordParziale(t.get(), "Denominazione", "ros"));
    EXPECT_EQ(t->FieldByName("Denominazione")->AsString(), "Rossi Mario");
    t->First();
    EXPECT_FALSE(LocalizzaRecord(t.get(), "Denominazione", "rossi mario"));
    EXPECT_EQ(t->FieldByName("Denominazione")->AsString(), "Bianchi Anna");
    EXPECT_TRUE(LocalizzaRecord(t.get(), "Denominazione", "Verdi Luca"));
    EXPECT_TRUE(LocalizzaRecordMultiplo(t.get(), "Tipologia;Fattura", {Variant("FT"), Variant(10)}, 2));
    EXPECT_EQ(t->FieldByName("Denominazione")->AsString(), "Verdi Luca");
    EXPECT_FALSE(LocalizzaRecordMultiplo(t.get(), "Tipologia;Fattura", {Variant("DT"), Variant(10)}, 2));
    EXPECT_EQ(t->FieldByName("Denominazione")->AsString(), "Verdi Luca");
}

TEST(SupportDB, FieldReaders)
{
    auto t = Tabella({{"Testo", ftString, 10}, {"Piccolo", ftSmallint, 0}, {"Intero", ftInteger, 0},
                      {"Parola", ftWord, 0}, {"Reale", ftFloat, 0}});
    AggiungiRiga(*t, {{"Testo", "abc"}, {"Intero", "42"}});
    const struct {
        const char* Campo;
        bool Intero;
        int Valore;
    } casi[] = {{"Testo", false, -1}, {"Piccolo", true, 0},  {"Intero", true, 42},
                {"Parola", false, 0}, {"Reale", false, 0}, {"Manca", false, -1}};
    for (const auto& caso : casi) {
        EXPECT_EQ(CampoIntero(t.get(), caso.Campo), caso.Intero) << caso.Campo;
        EXPECT_EQ(ValoreCampoIntero(t.get(), caso.Campo), caso.Valore) << caso.Campo;
    }
    EXPECT_TRUE(EsisteCampo(t.get(), "testo"));
    EXPECT_FALSE(EsisteCampo(t.get(), "Manca"));
    EXPECT_EQ(TipoCampo(t.get(), "Reale"), ftFloat);
    EXPECT_EQ(ValoreCampoTesto(t.get(), "Testo"), "abc");
    EXPECT_EQ(ValoreCampoTesto(t.get(), "Manca"), "");

    const Variant record = RecordComeVariant(t.get());
    ASSERT_TRUE(VarIsArray(record));
    EXPECT_EQ(VarArrayLowBound(record, 1), 0);
    EXPECT_EQ(VarArrayHighBound(record, 1), 4);
    EXPECT_EQ(static_cast<std::string>(record[0]), "abc");
    EXPECT_TRUE(VarIsNull(record[1]));
    EXPECT_EQ(static_cast<int>(record[2]), 42);
}

TEST_F(DataModuleFixture, ListsKeepTheCurrentRecord)
{
    TDC& dc = Avvia();
    TzelMemTable& aliquote = *dc.TabellaAliquoteIva;
    EXPECT_EQ(ElencoChiaveDescrizione(&aliquote, "CodiceIva", "DicituraIva")->Count(), 0);
    AggiungiRiga(aliquote, {{"CodiceIva", "22"}, {"IVA", "22"}, {"DicituraIva", "Aliquota ordinaria"}});
    AggiungiRiga(aliquote, {{"CodiceIva", "4"}, {"IVA", "4"}, {"DicituraIva", "Aliquota minima"}});
    AggiungiRiga(aliquote, {{"CodiceIva", "N1"}, {"DicituraIva", "Esente"}});
    aliquote.First();
    aliquote.Next();
    auto elenco = ElencoChiaveDescrizione(&aliquote, "CodiceIva", "DicituraIva");
    EXPECT_EQ(elenco->Text(), "22 - Aliquota ordinaria\r\n4 - Aliquota minima\r\nN1 - Esente\r\n");
    EXPECT_EQ(aliquote.FieldByName("CodiceIva")->AsString(), "4");
    auto conSeparatore = ElencoChiaveDescrizioneConSeparatore(&aliquote, "CodiceIva", "IVA", "|");
    EXPECT_EQ(conSeparatore->Strings(0), "22|22");
    auto valori = ValoriCampo(&aliquote, "CodiceIva");
    EXPECT_EQ(valori->CommaText(), "22,4,N1");
    EXPECT_EQ(aliquote.FieldByName("CodiceIva")->AsString(), "4");
    EXPECT_EQ(NomiCampi(&aliquote)->CommaText(), "CodiceIva,IVA,DicituraIva");
}

TEST_F(DataModuleFixture, CustomerSnapshotDataFolderAndInstallationPath)
{
    TDC& dc = Avvia();
    AggiungiRiga(*dc.TabellaClienti, {{"Denominazione", "Rossi Mario"}, {"Destinazione", "a=b"}});
    AggiungiRiga(*dc.TabellaClienti, {{"Denominazione", "Verdi Luca"}});
    dc.TabellaClienti->First();
    TDwCliente cliente;
    dc.TabellaClienti->Last();
    // The snapshot is the row current at construction, written into another table.
    dc.TabellaClienteInFattura->EmptyTable();
    EXPECT_TRUE(cliente.AggiungiRecord(dc.TabellaClienteInFattura));
    EXPECT_EQ(dc.TabellaClienteInFattura->FieldByName("Denominazione")->AsString(), "Rossi Mario");
    EXPECT_EQ(dc.TabellaClienteInFattura->FieldByName("Destinazione")->AsString(), "a=b");
    EXPECT_EQ(cliente.Leggi().Strings(0), "Denominazione=Verdi Luca");

    const std::string presets = SottocartellaDati("Presets");
    EXPECT_EQ(presets, dc.PercorsoDati + "Presets\\");
    EXPECT_TRUE(fs::is_directory(Nel("Shared/Presets")));

    EXPECT_TRUE(ScriviPercorsoInstallazione());
    EXPECT_EQ(LeggiImpostazione("Ventisca,Tessellarium,Install", "InstallationPath", ""),
              CartellaApplicazione());
    EXPECT_TRUE(ScriviPercorsoInstallazione("ignorato"));

    const std::string ini = Nel("Config/Ventisca/Tessellarium.ini");
    fs::remove(ini);
    fs::create_directory(ini);
    Box.Box.clear();
    EXPECT_FALSE(ScriviPercorsoInstallazione());
    EXPECT_TRUE(Box.Box.empty());
}
