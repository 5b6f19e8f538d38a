#include "DocumentiTestSupport.h"

#include "platform/rtl/Exceptions.h"
#include "platform/rtl/Files.h"

#include <set>

class RegistroTest : public DocumentiFixture {
protected:
    void SetUp() override
    {
        DocumentiFixture::SetUp();
        ArchivioDocumenti().ImpostaTipoDocumento("FATTURE");
    }

    // A register row and a document file whose content names it.
    void Documento(int numero, const std::string& modificatore, const std::string& denominazione,
                   TDateTime data)
    {
        AggiungiRecord(Registro(), {{"Fattura", Variant(numero)},
                                    {"Modificatore", Variant(modificatore)},
                                    {"Data", VarFromDateTime(data)},
                                    {"Denominazione", Variant(denominazione)},
                                    {"Tipologia", Variant("FT")}});
        fs::create_directories(NeiDati("FT"));
        ScriviFile(ResolvePath(ArchivioDocumenti().PercorsoFattura(numero, modificatore, denominazione, data)),
                   denominazione);
    }

    // Documents 1-4 of the 2009 register, saved and loaded.
    void QuattroDocumenti()
    {
        Registro().EmptyTable();
        Documento(1, "", "Rossi Srl", EncodeDate(2009, 3, 5));
        Documento(2, "", "Bianchi", EncodeDate(2009, 3, 10));
        Documento(3, "", "Verdi", EncodeDate(2009, 4, 15));
        Documento(4, "", "Neri", EncodeDate(2009, 5, 20));
        Salva();
    }

    void Salva(int anno = 2009)
    {
        ArchivioDocumenti().SalvaElencoFatture(anno);
        ArchivioDocumenti().CaricaElencoFatture(std::to_string(anno));
    }

    std::vector<std::string> Righe()
    {
        std::vector<std::string> righe;
        Registro().First();
        while (!Registro().Eof()) {
            std::string riga = Registro().FieldByName("Fattura")->AsString();
            if (!Registro().FieldByName("Modificatore")->AsString().empty())
                riga += "." + Registro().FieldByName("Modificatore")->AsString();
            righe.push_back(riga + " " + Registro().FieldByName("Denominazione")->AsString());
            Registro().Next();
        }
        return righe;
    }

    // Every row has its file and every file of the series folder its row.
    void VerificaCoerenza()
    {
        std::set<std::string> attesi;
        Registro().First();
        while (!Registro().Eof()) {
            attesi.insert(ArchivioDocumenti().NomeFileFattura(
                              Registro().FieldByName("Fattura")->AsInteger(),
                              Registro().FieldByName("Modificatore")->AsString(),
                              Registro().FieldByName("Denominazione")->AsString(),
                              Registro().FieldByName("Data")->AsDateTime()) +
                          ".tsd");
            Registro().Next();
        }
        const auto presenti = Elenco(NeiDati("FT"));
        EXPECT_EQ(std::set<std::string>(presenti.begin(), presenti.end()), attesi);
    }

    std::string Contenuto(const std::string& nome) { return LeggiFile(NeiDati("FT/" + nome)); }
};

TEST_F(RegistroTest, NextNumbersAndLookups)
{
    TArchivioDocumenti& archivio = ArchivioDocumenti();
    EXPECT_EQ(archivio.ProssimoNumeroFattura("2009"), 1);
    EXPECT_EQ(archivio.AnnoCorrente, "2009");
    EXPECT_FALSE(fs::exists(NeiDati("Data")));

    Documento(3, "", "C", EncodeDate(2009, 1, 3));
    Documento(3, "bis", "D", EncodeDate(2009, 1, 3));
    Documento(1, "", "A", EncodeDate(2009, 1, 1));
    Documento(2, "", "B", EncodeDate(2009, 1, 2));
    archivio.SalvaElencoFatture(2009);
    EXPECT_TRUE(fs::exists(NeiDati("Data/FT2009.DAT")));
    EXPECT_EQ(archivio.ProssimoNumeroFattura(" 2009"), 4);
    EXPECT_EQ(Righe()[0], "1 A");
    ASSERT_TRUE(archivio.SelezionaFattura(3, ""));
    EXPECT_EQ(Registro().FieldByName("Denominazione")->AsString(), "C");
    ASSERT_TRUE(archivio.SelezionaFattura(3, "bis"));
    EXPECT_EQ(Registro().FieldByName("Denominazione")->AsString(), "D");

    Registro().EmptyTable();
    Documento(1, "", "A", EncodeDate(2010, 1, 1));
    Documento(2, "bis", "B", EncodeDate(2010, 1, 2));
    Documento(4, "", "D", EncodeDate(2010, 1, 4));
    Salva(2010);
    ASSERT_TRUE(archivio.SelezionaFattura(1, ""));
    EXPECT_FALSE(archivio.SelezionaFattura(2, ""));
    EXPECT_EQ(Registro().FieldByName("Denominazione")->AsString(), "A");
    EXPECT_FALSE(archivio.SelezionaFattura(2, "ter"));
    EXPECT_EQ(Registro().FieldByName("Denominazione")->AsString(), "A");

    Registro().EmptyTable();
    Documento(12, "bis", "B", EncodeDate(2011, 1, 2));
    Documento(12, "", "A", EncodeDate(2011, 1, 1));
    Salva(2011);
    EXPECT_EQ(archivio.ProssimoNumeroFattura("2011"), 13);
    // Each year starts again.
    EXPECT_EQ(archivio.ProssimoNumeroFattura("2012"), 1);
}

TEST_F(RegistroTest, YearTextsNameOneFileAndABadYearChangesNothing)
{
    QuattroDocumenti();
    ArchivioDocumenti().CaricaElencoFatture(" 2009 ");
    EXPECT_EQ(Registro().RecordCount(), 4);
    EXPECT_THROW(ArchivioDocumenti().CaricaElencoFatture("duemilanove"), EConvertError);
    EXPECT_THROW(ArchivioDocumenti().ProssimoNumeroFattura(""), EConvertError);
    EXPECT_EQ(Registro().RecordCount(), 4);
    EXPECT_EQ(ArchivioDocumenti().AnnoCorrente, "");
}

TEST_F(RegistroTest, AnUnreadableRegisterRaisesAndIsNeverOverwritten)
{
    fs::create_directories(NeiDati("Data"));
    ScriviFile(NeiDati("Data/FT2009.DAT"), "not a table");
    EXPECT_ANY_THROW(ArchivioDocumenti().CaricaElencoFatture("2009"));
    EXPECT_EQ(Registro().RecordCount(), 0);
    ArchivioDocumenti().SalvaElencoFatture(2009);
    EXPECT_EQ(LeggiFile(NeiDati("Data/FT2009.DAT.danneggiato")), "not a table");
}

TEST_F(RegistroTest, AmountsOfARegisterRowAreRoundedBeforeTheyAreSummed)
{
    AggiungiRecord(Registro(), {{"Fattura", Variant(1)},
                                {"ImportoTotale", Variant(1000.0)},
                                {"ScontoTotale", Variant(0.004)},
                                {"AliquotaTotale", Variant(40.004)},
                                {"IVATotale", Variant(208.004)},
                                {"RitenutaTotale", Variant(-200.0)}});
    ImportiDocumento importi;
    LeggiImportiDocumento(Registro(), importi);
    EXPECT_DOUBLE_EQ(importi.ImportoScontato, 1000);
    EXPECT_DOUBLE_EQ(importi.ScontoTotale, 0);
    EXPECT_DOUBLE_EQ(importi.ImportoTotale, 1000);
    EXPECT_DOUBLE_EQ(importi.Contributi, 40);
    EXPECT_DOUBLE_EQ(importi.IvaTotale, 208);
    EXPECT_DOUBLE_EQ(importi.RitenutaTotale, -200);
    EXPECT_DOUBLE_EQ(importi.RitenutaEnasarcoTotale, 0);
    EXPECT_DOUBLE_EQ(importi.ImportoComplessivo, 1048);
}

TEST_F(RegistroTest, TheExtraDataOfADocumentIsFoundByItsFourValues)
{
    TzelMemTable& altro = *DC->TabellaAltroFatture;
    AggiungiRecord(altro, {{"Tipologia", Variant("FT")}, {"Fattura", Variant(3)},
                           {"Modificatore", Variant("")}, {"Data", VarFromDateTime(EncodeDate(2009, 3, 5))}});
    AggiungiRecord(altro, {{"Tipologia", Variant("NA")}, {"Fattura", Variant(3)},
                           {"Modificatore", Variant("")}, {"Data", VarFromDateTime(EncodeDate(2009, 3, 5))},
                           {"DataInvioMail", VarFromDateTime(EncodeDate(2009, 3, 6))}});
    altro.First();
    EXPECT_TRUE(CercaAltroFattura("NA", 3, "", EncodeDate(2009, 3, 5)));
    EXPECT_EQ(altro.FieldByName("DataInvioMail")->AsDateTime(), EncodeDate(2009, 3, 6));
    EXPECT_FALSE(CercaAltroFattura("NA", 3, "", EncodeDate(2009, 3, 6)));
    EXPECT_FALSE(CercaAltroFattura("NA", 3, "bis", EncodeDate(2009, 3, 5)));
}

TEST_F(RegistroTest, DeletingWithRenumberingRenamesTheLaterFiles)
{
    QuattroDocumenti();
    const std::string verdi = Contenuto("Doc3 - Verdi (15-4-2009).tsd");
    EXPECT_TRUE(ArchivioDocumenti().EliminaFattura(2, "", true));
    EXPECT_EQ(Righe(), (std::vector<std::string>{"1 Rossi Srl", "2 Verdi", "3 Neri"}));
    EXPECT_EQ(Elenco(NeiDati("FT")), (std::vector<std::string>{"Doc1 - Rossi Srl (5-3-2009).tsd",
                                                                "Doc2 - Verdi (15-4-2009).tsd",
                                                                "Doc3 - Neri (20-5-2009).tsd"}));
    EXPECT_EQ(Contenuto("Doc2 - Verdi (15-4-2009).tsd"), verdi);
    VerificaCoerenza();
    ArchivioDocumenti().CaricaElencoFatture("2009");
    EXPECT_EQ(Righe(), (std::vector<std::string>{"1 Rossi Srl", "2 Verdi", "3 Neri"}));
    EXPECT_TRUE(Box.empty());
    EXPECT_TRUE(MessaggiErrore().empty());
}

TEST_F(RegistroTest, RenumberingTouchesOnlyTheDeletedModifier)
{
    QuattroDocumenti();
    Documento(5, "", "Gialli", EncodeDate(2009, 6, 1));
    Documento(6, "bis", "Blu", EncodeDate(2009, 6, 2));
    Documento(6, "", "Rosa", EncodeDate(2009, 6, 3));
    Salva();
    EXPECT_TRUE(ArchivioDocumenti().EliminaFattura(5, "", true));
    EXPECT_EQ(Righe(), (std::vector<std::string>{"1 Rossi Srl", "2 Bianchi", "3 Verdi", "4 Neri",
                                                 "5 Rosa", "6.bis Blu"}));
    VerificaCoerenza();
}

TEST_F(RegistroTest, DeletingWithoutRenumberingRenamesNothing)
{
    QuattroDocumenti();
    EXPECT_TRUE(ArchivioDocumenti().EliminaFattura(2, "", false));
    EXPECT_EQ(Righe(), (std::vector<std::string>{"1 Rossi Srl", "3 Verdi", "4 Neri"}));
    VerificaCoerenza();
    EXPECT_FALSE(ArchivioDocumenti().EliminaFattura(2, "", false));
    ASSERT_EQ(Box.size(), 1u);
    EXPECT_EQ(Box[0].Testo, "Impossibile trovare la fattura. ");
    EXPECT_EQ(Box[0].Titolo, "Errore (cod. CF1)");
    EXPECT_EQ(Box[0].Tipo, MB_OK | MB_ICONSTOP);
}

TEST_F(RegistroTest, TheRegisterOfTheDocumentsYearIsSaved)
{
    SetClock([] { return EncodeDate(2009, 6, 1); });
    Documento(1, "", "Rossi Srl", EncodeDate(2008, 12, 30));
    Documento(2, "", "Bianchi", EncodeDate(2008, 12, 31));
    Salva(2008);
    EXPECT_TRUE(ArchivioDocumenti().EliminaFattura(1, "", true));
    EXPECT_FALSE(fs::exists(NeiDati("Data/FT2009.DAT")));
    ArchivioDocumenti().CaricaElencoFatture("2008");
    EXPECT_EQ(Righe(), (std::vector<std::string>{"1 Bianchi"}));
    VerificaCoerenza();
}

TEST_F(RegistroTest, AFailedRenameUndoesTheRenumberingAndDeletesOnly)
{
    QuattroDocumenti();
    fs::create_directories(NeiDati("FT/Doc3 - Neri (20-5-2009).tsd"));
    const std::string verdi = Contenuto("Doc3 - Verdi (15-4-2009).tsd");
    EXPECT_TRUE(ArchivioDocumenti().EliminaFattura(2, "", true));
    ASSERT_EQ(Box.size(), 1u);
    EXPECT_EQ(Box[0].Testo, "Errore nella ridefinizione dei numeri di fattura.");
    EXPECT_EQ(Box[0].Titolo, "Errore");
    EXPECT_EQ(Box[0].Tipo, MB_OK | MB_ICONWARNING);
    EXPECT_EQ(Righe(), (std::vector<std::string>{"1 Rossi Srl", "3 Verdi", "4 Neri"}));
    EXPECT_EQ(Contenuto("Doc3 - Verdi (15-4-2009).tsd"), verdi);
    fs::remove(NeiDati("FT/Doc3 - Neri (20-5-2009).tsd"));
    VerificaCoerenza();
    ArchivioDocumenti().CaricaElencoFatture("2009");
    EXPECT_EQ(Righe(), (std::vector<std::string>{"1 Rossi Srl", "3 Verdi", "4 Neri"}));
}

TEST_F(RegistroTest, ARegisterThatCannotBeSavedLeavesEverythingAsItWas)
{
    QuattroDocumenti();
    const auto prima = Elenco(NeiDati("FT"));
    const std::string registro = LeggiFile(NeiDati("Data/FT2009.DAT"));
    fs::rename(NeiDati("Data"), NeiDati("Spostata"));
    ScriviFile(NeiDati("Data"), "x");
    EXPECT_FALSE(ArchivioDocumenti().EliminaFattura(2, "", true));
    EXPECT_EQ(MessaggiErrore(), (std::vector<std::string>{"Problema nell'eliminazione della fattura."}));
    EXPECT_EQ(TFormExceptMessage::RapportiRegistrati()[0].Funzione, "EliminaFattura");
    EXPECT_EQ(TFormExceptMessage::RapportiRegistrati()[0].FileSorgente, "CaricaFattura");
    EXPECT_EQ(Elenco(NeiDati("FT")), prima);
    EXPECT_EQ(Contenuto("Doc2 - Bianchi (10-3-2009).tsd"), "Bianchi");
    EXPECT_EQ(LeggiFile(NeiDati("Spostata/FT2009.DAT")), registro);
    EXPECT_EQ(Righe(), (std::vector<std::string>{"1 Rossi Srl", "2 Bianchi", "3 Verdi", "4 Neri"}));
}

TEST_F(RegistroTest, AMissingDocumentFileIsNoFailure)
{
    QuattroDocumenti();
    fs::remove(NeiDati("FT/Doc2 - Bianchi (10-3-2009).tsd"));
    fs::remove(NeiDati("FT/Doc4 - Neri (20-5-2009).tsd"));
    EXPECT_TRUE(ArchivioDocumenti().EliminaFattura(2, "", true));
    EXPECT_EQ(Righe(), (std::vector<std::string>{"1 Rossi Srl", "2 Verdi", "3 Neri"}));
    EXPECT_EQ(Elenco(NeiDati("FT")), (std::vector<std::string>{"Doc1 - Rossi Srl (5-3-2009).tsd",
                                                                "Doc2 - Verdi (15-4-2009).tsd"}));
    EXPECT_TRUE(MessaggiErrore().empty());
    EXPECT_TRUE(Box.empty());
}

TEST_F(RegistroTest, EliminaFilesFatturaDeletesOnlyTheFileOfTheRow)
{
    QuattroDocumenti();
    ArchivioDocumenti().EliminaFilesFattura(3, "");
    ArchivioDocumenti().EliminaFilesFattura(9, "");
    EXPECT_EQ(Registro().RecordCount(), 4);
    EXPECT_FALSE(fs::exists(NeiDati("FT/Doc3 - Verdi (15-4-2009).tsd")));
    EXPECT_EQ(Elenco(NeiDati("FT")).size(), 3u);
}
