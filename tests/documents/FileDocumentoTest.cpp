#include "DocumentiTestSupport.h"

#include "documents/FileDocumento.h"
#include "platform/rtl/Streams.h"

#include <sys/inotify.h>
#include <unistd.h>

namespace {

// Field definitions and every value (null marked) of a table, for comparing two states.
std::vector<std::string> Istantanea(TzelMemTable& tabella)
{
    std::vector<std::string> righe;
    for (int i = 0; i < tabella.FieldDefs().Count(); ++i) {
        TFieldDef* d = tabella.FieldDefs().Items(i);
        righe.push_back(d->Name() + ":" + std::to_string(d->DataType()) + ":" + std::to_string(d->Size()));
    }
    tabella.First();
    while (!tabella.Eof()) {
        std::string riga;
        for (int i = 0; i < tabella.FieldCount(); ++i) {
            TField* campo = tabella.Fields()[i];
            riga += campo->IsNull() ? std::string("<null>") : campo->AsString();
            riga += "|";
        }
        righe.push_back(riga);
        tabella.Next();
    }
    return righe;
}

const char* const FILE_NA = "FT/Doc7 - Rossi Srl (5-3-2009).tsd";

} // namespace

class FileDocumentoTest : public DocumentiFixture {
protected:
    void SetUp() override
    {
        DocumentiFixture::SetUp();
        ArchivioDocumenti().ImpostaTipoDaTipologia("NA");
    }

    void AggiungiCampoUtente()
    {
        for (TzelMemTable* tabella : {DC->TabellaArticoliInFattura, DC->TabellaClienteInFattura}) {
            tabella->Close();
            tabella->FieldDefs().Add("CstTs_Colore", ftString, 20);
            tabella->CreateTable();
            tabella->Open();
        }
    }

    // The credit note 7 of Rossi Srl, dated 5/3/2009.
    void Documento(int numeroNelFile = 7)
    {
        DocumentoVettore("NA");
        Testata().Edit();
        ImpostaCampi(Testata(), {{"Numero", Variant(numeroNelFile)},
                                 {"Data", VarFromDateTime(EncodeDate(2009, 3, 5))}});
        Testata().Post();
    }

    bool Salva() { return ArchivioDocumenti().SalvaFattura(2009, 3, "Rossi Srl", "", 7, 5); }
    bool Carica()
    {
        return ArchivioDocumenti().CaricaFattura(7, "", EncodeDate(2009, 3, 5), "Rossi Srl");
    }
    std::string Temp(const std::string& nome) { return NelProgramma("Temp/" + nome); }
};

TEST_F(FileDocumentoTest, ACreditNoteIsStoredInTheInvoiceSeriesAsAZipOfTwoTables)
{
    Documento();
    ASSERT_TRUE(Salva());
    const std::string file = NeiDati(FILE_NA);
    ASSERT_TRUE(fs::exists(file));
    EXPECT_EQ(Comando("zipinfo -1 '" + file + "'"), "Articoli.aft\nCliente.cft\n");
    EXPECT_NE(Comando("unzip -t '" + file + "'").find("No errors detected"), std::string::npos);
    EXPECT_EQ(Comando("unzip -p '" + file + "' Cliente.cft | head -c 7"),
              std::string("\x54\x50\x46\x30\x03\xFB\x00", 7));
    EXPECT_FALSE(fs::exists(Temp("Articoli.aft")));
    EXPECT_FALSE(fs::exists(Temp("Cliente.cft")));
    EXPECT_TRUE(MessaggiErrore().empty());
}

TEST_F(FileDocumentoTest, EveryTemporaryOfASaveIsHiddenAndRecognisable)
{
    Documento();
    ASSERT_TRUE(Salva());
    // Every name that appears in the series folder while the document is saved again.
    const int avvisi = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    ASSERT_GE(avvisi, 0);
    ASSERT_GE(inotify_add_watch(avvisi, NeiDati("FT").c_str(), IN_CREATE | IN_MOVED_TO), 0);
    ASSERT_TRUE(Salva());
    std::vector<std::string> nomi;
    alignas(inotify_event) char buffer[16384];
    for (ssize_t letti; (letti = read(avvisi, buffer, sizeof buffer)) > 0;)
        for (ssize_t pos = 0; pos < letti;) {
            const auto* evento = reinterpret_cast<const inotify_event*>(buffer + pos);
            nomi.push_back(evento->name);
            pos += static_cast<ssize_t>(sizeof(inotify_event) + evento->len);
        }
    close(avvisi);
    ASSERT_FALSE(nomi.empty());
    for (const std::string& nome : nomi)
        EXPECT_TRUE(nome == "Doc7 - Rossi Srl (5-3-2009).tsd" || IsAtomicTemporaryName(nome)) << nome;
    EXPECT_EQ(Elenco(NeiDati("FT")), std::vector<std::string>{"Doc7 - Rossi Srl (5-3-2009).tsd"});
}

TEST_F(FileDocumentoTest, ANameWithAccentsIsStoredInUtf8AndForbiddenCharactersAreLeftOut)
{
    Documento();
    ASSERT_TRUE(ArchivioDocumenti().SalvaFattura(2009, 12, "Caff\xE8 Rossi & C.", "", 12, 18));
    EXPECT_TRUE(fs::exists(NeiDati("FT/Doc12 - Caff\xC3\xA8 Rossi & C. (18-12-2009).tsd")));
    ASSERT_TRUE(ArchivioDocumenti().SalvaFattura(2010, 1, "Rossi/Bianchi: \"Srl\"", "", 3, 1));
    EXPECT_EQ(Elenco(NeiDati("FT")),
              (std::vector<std::string>{"Doc12 - Caff\xC3\xA8 Rossi & C. (18-12-2009).tsd",
                                        "Doc3 - RossiBianchi Srl (1-1-2010).tsd"}));
    EXPECT_TRUE(ArchivioDocumenti().CaricaFattura(3, "", EncodeDate(2010, 1, 1), "Rossi/Bianchi: \"Srl\""));
}

TEST_F(FileDocumentoTest, LoadingByNumberGivesBackTheDocumentWithTheNumberAsked)
{
    AggiungiCampoUtente();
    Documento(99);
    Testata().Edit();
    Testata().FieldByName("CstTs_Colore")->SetAsString("blu");
    Testata().Post();
    Righe().First();
    Righe().Edit();
    Righe().FieldByName("CstTs_Colore")->SetAsString("rosso");
    Righe().Post();
    // A line with only a quantity of 0 stays; a line of nulls goes.
    AggiungiRecord(Righe(), {{"Quantita", Variant(0.0)}});
    AggiungiRecord(Righe(), {{"Descrittivo", Variant(false)}});
    const auto righePrima = Istantanea(Righe());
    ASSERT_TRUE(Salva());

    Testata().Edit();
    Testata().FieldByName("Numero")->SetAsInteger(7);
    Testata().Post();
    const auto testataAttesa = Istantanea(Testata());
    Testata().EmptyTable();
    Righe().EmptyTable();
    ASSERT_TRUE(Carica());
    EXPECT_EQ(Istantanea(Testata()), testataAttesa);
    auto righeAttese = righePrima;
    righeAttese.pop_back();
    EXPECT_EQ(Istantanea(Righe()), righeAttese);
    EXPECT_EQ(Righe().RecordCount(), 5);
    Righe().First();
    EXPECT_EQ(Righe().FieldByName("CstTs_Colore")->AsString(), "rosso");
    EXPECT_EQ(Testata().FieldByName("CstTs_Colore")->AsString(), "blu");
}

TEST_F(FileDocumentoTest, AMissingDocumentLeavesBothTablesAndShowsTheEmptyPreview)
{
    Documento();
    const auto testata = Istantanea(Testata());
    const auto righe = Istantanea(Righe());
    int vuote = 0;
    int mostrati = 0;
    ArchivioDocumenti().OnMostraDocumentoVuoto = [&] { ++vuote; };
    ArchivioDocumenti().OnMostraDocumento = [&](int, const std::string&, const std::string&, TDateTime) {
        ++mostrati;
    };
    EXPECT_FALSE(ArchivioDocumenti().CaricaAnteprimaFattura(7, "", EncodeDate(2009, 3, 5), "Rossi Srl"));
    EXPECT_EQ(MessaggiErrore(),
              (std::vector<std::string>{"Impossibile trovare il file relativo alla fattura selezionata\n"
                                        "Il file potrebbe essere stato eliminato"}));
    EXPECT_EQ(TFormExceptMessage::RapportiRegistrati()[0].FileSorgente, "CaricaFattura");
    EXPECT_EQ(TFormExceptMessage::RapportiRegistrati()[0].Livello, 1);
    EXPECT_EQ(Istantanea(Testata()), testata);
    EXPECT_EQ(Istantanea(Righe()), righe);
    EXPECT_EQ(vuote, 1);
    EXPECT_EQ(mostrati, 0);

    ASSERT_TRUE(Salva());
    EXPECT_TRUE(ArchivioDocumenti().CaricaAnteprimaFattura(7, "", EncodeDate(2009, 3, 5), "Rossi Srl"));
    EXPECT_EQ(mostrati, 1);
}

TEST_F(FileDocumentoTest, ADamagedMemberGivesOneMessageAndChangesNothing)
{
    Documento();
    ASSERT_TRUE(Salva());
    const std::string file = NeiDati(FILE_NA);
    const std::string integro = LeggiFile(file);
    const auto u16 = [](const std::string& zip, size_t at) {
        return static_cast<unsigned char>(zip[at]) | static_cast<unsigned char>(zip[at + 1]) << 8;
    };
    ASSERT_EQ(integro.substr(30, 12), "Articoli.aft");
    const size_t dati = 30 + u16(integro, 26) + u16(integro, 28);
    const size_t compresso = u16(integro, 18) | static_cast<size_t>(u16(integro, 20)) << 16;
    // A whole third member, which a rejected document must not leave in the staging folder.
    const std::string cartella = NelProgramma("pacco");
    fs::create_directories(cartella);
    ScriviFile(cartella + "/Extra.txt", "extra");
    std::string conExtra = NeiDati("FT/extra.zip");
    ScriviFile(conExtra, integro);
    Comando("cd '" + cartella + "' && zip -q -0 '" + conExtra + "' Extra.txt");

    NuovaTestata({{"Denominazione", Variant("Altro")}, {"Tipologia", Variant("FT")}});
    Righe().EmptyTable();
    AggiungiRecord(Righe(), {{"Nome", Variant("X")}});
    const auto testata = Istantanea(Testata());
    const auto righe = Istantanea(Righe());
    const auto registro = Istantanea(Registro());
    // One byte flipped in the shrunk data of Articoli.aft; the same data read as imploded,
    // which makes the decoder report every inconsistent tree it meets.
    struct TCaso {
        const char* Cosa;
        size_t Posizione;
        char Maschera;
        char Valore;
    } casi[] = {
        {"byte flipped", dati + compresso / 2, 0x5A, 0},
        {"imploded", 8, 0, 6},
    };
    for (const TCaso& caso : casi) {
        std::string zip = LeggiFile(conExtra);
        zip[caso.Posizione] = caso.Maschera != 0 ? static_cast<char>(zip[caso.Posizione] ^ caso.Maschera)
                                                 : caso.Valore;
        ScriviFile(file, zip);
        ScriviFile(Temp("Cliente.cft"), "scarto di un documento precedente");
        TFormExceptMessage::AzzeraRapporti();
        Box.clear();
        EXPECT_FALSE(Carica()) << caso.Cosa;
        ASSERT_EQ(Box.size(), 1u) << caso.Cosa;
        const std::string atteso = "Impossibile caricare i dati della fattura.\n"
                                   "Il file \"Doc7 - Rossi Srl (5-3-2009).tsd\" \xE8 danneggiato: "
                                   "non si possono leggere Articoli.aft.";
        EXPECT_EQ(Box[0].Testo, atteso) << caso.Cosa;
        EXPECT_EQ(MessaggiErrore(), std::vector<std::string>{atteso}) << caso.Cosa;
        EXPECT_EQ(TFormExceptMessage::RapportiRegistrati().back().Funzione, "EstraiFileFattura");
        EXPECT_EQ(TFormExceptMessage::RapportiRegistrati().back().Livello, 1);
        EXPECT_NE(TFormExceptMessage::RapportiRegistrati().back().TestoEccezione, "");
        EXPECT_EQ(Istantanea(Testata()), testata);
        EXPECT_EQ(Istantanea(Righe()), righe);
        EXPECT_EQ(Istantanea(Registro()), registro);
        EXPECT_EQ(Elenco(NelProgramma("Temp")), std::vector<std::string>{}) << caso.Cosa;
    }
}

TEST_F(FileDocumentoTest, ADamagedTableInsideAWholeArchiveIsReportedAndChangesNothing)
{
    // A header table that is no table file, packed as a proper archive.
    fs::create_directories(NeiDati("FT"));
    const std::string cartella = NelProgramma("pacco");
    fs::create_directories(cartella);
    ScriviFile(cartella + "/Cliente.cft", "TPF0 not a table");
    ScriviFile(cartella + "/Articoli.aft", "");
    Comando("cd '" + cartella + "' && zip -q '" + NeiDati(FILE_NA) + "' Articoli.aft Cliente.cft");
    ASSERT_TRUE(fs::exists(NeiDati(FILE_NA)));
    Documento();
    const auto testata = Istantanea(Testata());
    const auto righe = Istantanea(Righe());
    EXPECT_FALSE(Carica());
    EXPECT_EQ(MessaggiErrore(),
              (std::vector<std::string>{"Impossibile caricare il file relativo alla fattura selezionata.\n"
                                        "Il file potrebbe essere danneggiato"}));
    EXPECT_EQ(Istantanea(Testata()), testata);
    EXPECT_EQ(Istantanea(Righe()), righe);
}

TEST_F(FileDocumentoTest, AFailedWriteKeepsThePreviousDocumentByteForByte)
{
    Documento();
    ASSERT_TRUE(Salva());
    const std::string file = NeiDati(FILE_NA);
    const std::string prima = LeggiFile(file);
    fs::create_directories(Temp("Articoli.aft"));
    Righe().EmptyTable();
    EXPECT_FALSE(Salva());
    EXPECT_EQ(MessaggiErrore(), (std::vector<std::string>{"Impossibile salvare i dati della fattura."}));
    EXPECT_EQ(TFormExceptMessage::RapportiRegistrati()[0].Funzione, "ComprimiFileFattura");
    EXPECT_EQ(TFormExceptMessage::RapportiRegistrati()[0].FileSorgente, "FileDocumento");
    EXPECT_EQ(LeggiFile(file), prima);
    EXPECT_EQ(Elenco(NeiDati("FT")), (std::vector<std::string>{"Doc7 - Rossi Srl (5-3-2009).tsd"}));
}

TEST_F(FileDocumentoTest, UnpackingRemovesStaleMembersOfAnEarlierDocument)
{
    fs::create_directories(NeiDati("FT"));
    const std::string cartella = NelProgramma("pacco");
    fs::create_directories(cartella);
    ScriviFile(cartella + "/Articoli.aft", "a");
    Comando("cd '" + cartella + "' && zip -q '" + NeiDati("solo.zip") + "' Articoli.aft");
    const std::string temp = CartellaTemp();
    ScriviFile(Temp("Cliente.cft"), "stale");
    EXPECT_TRUE(EstraiFileFattura(NeiDati("solo.zip"), temp, true));
    EXPECT_TRUE(fs::exists(Temp("Articoli.aft")));
    EXPECT_FALSE(fs::exists(Temp("Cliente.cft")));
    // A missing archive extracts nothing and still answers true.
    EXPECT_TRUE(EstraiFileFattura(NeiDati("manca.tsd"), temp, true));
    EXPECT_FALSE(fs::exists(Temp("Articoli.aft")));
    EXPECT_TRUE(MessaggiErrore().empty());
}

TEST_F(FileDocumentoTest, EmptyAndForeignFilesNeverChangeTheCurrentDocument)
{
    fs::create_directories(NeiDati("FT"));
    Documento();
    const auto testata = Istantanea(Testata());
    const auto righe = Istantanea(Righe());
    std::string casuale;
    for (int i = 0; i < 4096; ++i)
        casuale += static_cast<char>((i * 7919 + 13) & 0xFF);
    for (const std::string& contenuto : {std::string(), std::string("PK\x03\x04", 4) + casuale, casuale}) {
        ScriviFile(NeiDati(FILE_NA), contenuto);
        TFormExceptMessage::AzzeraRapporti();
        EXPECT_FALSE(Carica());
        EXPECT_FALSE(MessaggiErrore().empty());
        EXPECT_EQ(Istantanea(Testata()), testata);
        EXPECT_EQ(Istantanea(Righe()), righe);
    }
}
