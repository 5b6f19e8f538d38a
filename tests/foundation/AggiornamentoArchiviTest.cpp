// Bringing stored tables and documents to the current layouts: one table file, the start-up
// upgrade of a whole data folder, the user fields added from the article window, and the two ZIP
// helpers over file lists. Data folders are built through the table store and a plain writer of
// stored ZIP archives; unzip and zipinfo check what is written.

#include "DataModuleTestUtils.h"

#include "foundation/Supporto.h"
#include "platform/rtl/DateTime.h"
#include "platform/rtl/Streams.h"
#include "platform/rtl/Variants.h"
#include "tablestore/Filer.h"

#include <sys/stat.h>
#include <utime.h>

#include <cstring>
#include <functional>
#include <map>
#include <set>

namespace fs = std::filesystem;

// A row as field name and value; a field left out stays null.
using TRigaProva = std::vector<std::pair<std::string, Variant>>;

class AggiornamentoArchivi : public DataModuleFixture {
protected:
    void SetUp() override
    {
        DataModuleFixture::SetUp();
        setenv("TZ", "UTC", 1);
        ImpostaDati(Nel("dati"));
        ImpostaVersione("3.0.18");
        Avvia();
    }

    TDC& Dc() { return *Modulo; }
    std::string Dati(const std::string& relativo) const { return Nel("dati/" + relativo); }

    // Definitions as "Nome:S20,Prezzo:F,Data:D" (S<n> text, F float, D date, I integer, B flag,
    // T time).
    static void Definisci(TzelMemTable& tabella, const std::string& definizioni)
    {
        std::stringstream elenco(definizioni);
        for (std::string voce; std::getline(elenco, voce, ',');) {
            const std::string nome = voce.substr(0, voce.find(':'));
            const std::string tipo = voce.substr(voce.find(':') + 1);
            switch (tipo[0]) {
            case 'S': tabella.FieldDefs().Add(nome, ftString, std::stoi(tipo.substr(1))); break;
            case 'F': tabella.FieldDefs().Add(nome, ftFloat); break;
            case 'D': tabella.FieldDefs().Add(nome, ftDate); break;
            case 'I': tabella.FieldDefs().Add(nome, ftInteger); break;
            case 'B': tabella.FieldDefs().Add(nome, ftBoolean); break;
            case 'T': tabella.FieldDefs().Add(nome, ftTime); break;
            }
        }
        tabella.CreateTable();
        tabella.Open();
    }

    // The definitions of a table in the form Definisci takes.
    static std::string Struttura(TzelMemTable& tabella)
    {
        std::string testo;
        for (int i = 0; i < tabella.FieldDefs().Count(); ++i) {
            const TFieldDef* d = tabella.FieldDefs().Items(i);
            testo += (i > 0 ? "," : "") + d->Name() + ":";
            switch (d->DataType()) {
            case ftString: testo += "S" + std::to_string(d->Size()); break;
            case ftFloat: testo += "F"; break;
            case ftDate: testo += "D"; break;
            case ftInteger: testo += "I"; break;
            case ftBoolean: testo += "B"; break;
            case ftTime: testo += "T"; break;
            default: testo += "?"; break;
            }
        }
        return testo;
    }

    static void Aggiungi(TzelMemTable& tabella, const std::vector<TRigaProva>& righe)
    {
        for (const TRigaProva& riga : righe) {
            tabella.Append();
            for (const auto& [nome, valore] : riga)
                tabella.FieldByName(nome)->SetAsVariant(valore);
            tabella.Post();
        }
    }

    void ScriviTabella(const std::string& file, const std::string& definizioni,
                       const std::vector<TRigaProva>& righe = {})
    {
        fs::create_directories(fs::path(file).parent_path());
        ScriviFile(file, BytesTabella(definizioni, righe));
    }

    // The definitions of a live table, without some of them, with more after them.
    static std::string DefinizioniDi(TzelMemTable& tabella, const std::set<std::string>& senza = {},
                                     const std::string& aggiunte = "")
    {
        TzelMemTable copia(nullptr);
        copia.CreateTableAs(&tabella, TzelMemTableCopyTableOptions());
        std::string testo;
        std::stringstream elenco(Struttura(copia));
        for (std::string voce; std::getline(elenco, voce, ',');)
            if (senza.count(voce.substr(0, voce.find(':'))) == 0)
                testo += (testo.empty() ? "" : ",") + voce;
        return aggiunte.empty() ? testo : testo + "," + aggiunte;
    }

    std::unique_ptr<TzelMemTable> Leggi(const std::string& file)
    {
        auto tabella = std::make_unique<TzelMemTable>(nullptr);
        tabella->LoadFromFileViaFormat(file, Dc().SaveFormat);
        return tabella;
    }

    // A member of a document read back through unzip and the table store.
    std::unique_ptr<TzelMemTable> LeggiMembro(const std::string& documento, const std::string& membro)
    {
        const std::string file = Nel("membro-letto");
        EXPECT_EQ(std::system(("unzip -p '" + documento + "' '" + membro + "' > '" + file + "'").c_str()), 0);
        return Leggi(file);
    }

    // A ZIP archive of stored members, written here byte by byte (unzip reads it back in the
    // tests of the archive): pairs of member name and bytes.
    static void ScriviArchivio(const std::string& archivio,
                               const std::vector<std::pair<std::string, std::string>>& membri)
    {
        auto parola = [](std::string& uscita, std::uint32_t valore, int byte) {
            for (int i = 0; i < byte; ++i)
                uscita += static_cast<char>((valore >> (8 * i)) & 0xFF);
        };
        auto crc32 = [](const std::string& dati) {
            std::uint32_t crc = 0xFFFFFFFF;
            for (const char c : dati) {
                crc ^= static_cast<unsigned char>(c);
                for (int k = 0; k < 8; ++k)
                    crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
            }
            return ~crc;
        };
        std::string zip;
        std::string centrale;
        for (const auto& [nome, dati] : membri) {
            const auto posizione = static_cast<std::uint32_t>(zip.size());
            std::string intestazione;
            parola(intestazione, 10, 2);     // version needed
            parola(intestazione, 0, 2);      // flags
            parola(intestazione, 0, 2);      // stored
            parola(intestazione, 0, 2);      // time
            parola(intestazione, 0x3A65, 2); // date: 5 March 2009
            parola(intestazione, crc32(dati), 4);
            parola(intestazione, static_cast<std::uint32_t>(dati.size()), 4);
            parola(intestazione, static_cast<std::uint32_t>(dati.size()), 4);
            parola(intestazione, static_cast<std::uint32_t>(nome.size()), 2);
            parola(intestazione, 0, 2); // extra field
            parola(zip, 0x04034B50, 4);
            zip += intestazione + nome + dati;
            parola(centrale, 0x02014B50, 4);
            parola(centrale, 20, 2); // made by
            centrale += intestazione;
            parola(centrale, 0, 2); // comment
            parola(centrale, 0, 2); // disk
            parola(centrale, 0, 2); // internal attributes
            parola(centrale, 0, 4); // external attributes
            parola(centrale, posizione, 4);
            centrale += nome;
        }
        const auto inizioCentrale = static_cast<std::uint32_t>(zip.size());
        zip += centrale;
        parola(zip, 0x06054B50, 4);
        parola(zip, 0, 4);
        parola(zip, static_cast<std::uint32_t>(membri.size()), 2);
        parola(zip, static_cast<std::uint32_t>(membri.size()), 2);
        parola(zip, static_cast<std::uint32_t>(centrale.size()), 4);
        parola(zip, inizioCentrale, 4);
        parola(zip, 0, 2);
        fs::create_directories(fs::path(archivio).parent_path());
        ScriviFile(archivio, zip);
    }

    // The bytes of a table file of the given definitions and rows.
    std::string BytesTabella(const std::string& definizioni, const std::vector<TRigaProva>& righe = {})
    {
        TzelMemTable tabella(nullptr);
        Definisci(tabella, definizioni);
        Aggiungi(tabella, righe);
        TMemoryStream flusso;
        tabella.SaveToStreamViaFormat(&flusso, Dc().SaveFormat);
        return std::string(static_cast<const char*>(flusso.Memory()), static_cast<size_t>(flusso.Size()));
    }

    // A document whose members have the given definitions.
    void ScriviDocumento(const std::string& documento, const std::string& righe,
                         const std::string& testata, const std::vector<TRigaProva>& valoriRighe = {})
    {
        ScriviArchivio(documento, {{"Articoli.aft", BytesTabella(righe, valoriRighe)},
                                   {"Cliente.cft", BytesTabella(testata, {{{"Denominazione", Variant("Cliente")}}})}});
    }

    static void Invecchia(const std::string& file)
    {
        utimbuf tempi{978307200, 978307200}; // 1 January 2001
        ASSERT_EQ(utime(file.c_str(), &tempi), 0);
    }
    static std::int64_t Modificato(const std::string& file)
    {
        struct stat info {};
        stat(file.c_str(), &info);
        return static_cast<std::int64_t>(info.st_mtim.tv_sec) * 1000000000 + info.st_mtim.tv_nsec;
    }

    static std::set<std::string> FileIn(const std::string& cartella)
    {
        std::set<std::string> nomi;
        std::error_code errore;
        for (const auto& voce : fs::directory_iterator(cartella, errore))
            nomi.insert(voce.path().filename().string());
        return nomi;
    }

    static std::vector<std::string> Valori(TzelMemTable& tabella, const std::string& campo)
    {
        return ValoriDi(tabella, campo);
    }

    std::vector<std::string> RapportiDi(const std::string& funzione)
    {
        std::vector<std::string> messaggi;
        for (const auto& rapporto : TFormExceptMessage::RapportiRegistrati())
            if (rapporto.Funzione == funzione)
                messaggi.push_back(rapporto.Messaggio);
        return messaggi;
    }

    std::string Versione() { return LeggiImpostazione("Ventisca,Tessellarium,Versioning", "Database", ""); }

    // A stored start with an older version, answered Yes.
    TDC& AvviaAggiornamento()
    {
        Modulo.reset();
        ImpostaVersione("2.9.0");
        Box.Risposta = IDYES;
        Box.Box.clear();
        TFormExceptMessage::AzzeraRapporti();
        return Avvia();
    }
};

// --- One table file ------------------------------------------------------------------------------

TEST_F(AggiornamentoArchivi, OneTableFileAgainstTheCurrentDefinitions)
{
    const std::string corrente = "Nome:S20,Prezzo:F,Data:D";
    const TDateTime marzo = EncodeDate(2009, 3, 5);
    const std::vector<TRigaProva> tre = {
        {{"Nome", Variant("vite")}, {"Prezzo", Variant(1.5)}, {"Data", VarFromDateTime(marzo)}},
        {{"Nome", Variant("dado")}, {"Prezzo", Variant(0.25)}},
        {{"Nome", Variant("bullone lungo")}}};
    const std::vector<TRigaProva> treSenzaData = {
        {{"Nome", Variant("vite")}, {"Prezzo", Variant(1.5)}},
        {{"Nome", Variant("dado")}},
        {{"Nome", Variant("chiodo")}, {"Prezzo", Variant(-2.0)}}};
    struct TCaso {
        const char* Nome;
        std::string Definizioni;
        std::vector<TRigaProva> Righe;
        bool Riscritto;
        std::string StrutturaDopo;
        std::string CorrenteDopo;
    };
    const std::vector<TCaso> casi = {
        {"the same definitions", corrente, tre, false, corrente, corrente},
        {"no Data", "Nome:S20,Prezzo:F", treSenzaData, true, corrente, corrente},
        {"a user field", corrente + ",CstTs_Colore:S10",
         {{{"Nome", Variant("vite")}, {"CstTs_Colore", Variant("rosso")}},
          {{"Nome", Variant("dado")}, {"CstTs_Colore", Variant("blu")}},
          {{"Nome", Variant("chiodo")}}},
         true, corrente + ",CstTs_Colore:S10", corrente + ",CstTs_Colore:S10"},
        {"a shorter Nome", "Nome:S10,Prezzo:F,Data:D",
         {{{"Nome", Variant("vite")}}, {{"Nome", Variant("dado")}}, {{"Nome", Variant("0123456789")}}},
         true, corrente, corrente},
        {"no Data and no rows", "Nome:S20,Prezzo:F", {}, true, corrente, corrente},
        {"names in another case", "nome:S20,PREZZO:F,data:D", tre, false, "nome:S20,PREZZO:F,data:D",
         corrente},
        {"another type", "Nome:S20,Prezzo:I,Data:D",
         {{{"Nome", Variant("vite")}, {"Prezzo", Variant(12)}}}, true, corrente, corrente},
    };
    for (const TCaso& caso : casi) {
        SCOPED_TRACE(caso.Nome);
        const std::string file = Dati("Data/Prova.dat");
        ScriviTabella(file, caso.Definizioni, caso.Righe);
        Invecchia(file);
        const std::string prima = ContenutoDi(file);
        const std::unique_ptr<TzelMemTable> attesa = Leggi(file);

        TzelMemTable tabella(nullptr);
        Definisci(tabella, corrente);
        EXPECT_EQ(AggiornaFileTabella(&tabella, file, Dc().SaveFormat), caso.Riscritto);
        EXPECT_EQ(Struttura(tabella), caso.CorrenteDopo);
        EXPECT_TRUE(tabella.Active());
        // A rewrite leaves the records copied in the current table.
        EXPECT_EQ(tabella.RecordCount(), caso.Riscritto ? attesa->RecordCount() : 0);

        if (!caso.Riscritto) {
            EXPECT_EQ(ContenutoDi(file), prima);
            EXPECT_EQ(Modificato(file), 978307200LL * 1000000000);
            continue;
        }
        const std::unique_ptr<TzelMemTable> dopo = Leggi(file);
        EXPECT_EQ(Struttura(*dopo), caso.StrutturaDopo);
        ASSERT_EQ(dopo->RecordCount(), attesa->RecordCount());
        for (int i = 0; i < attesa->FieldDefs().Count(); ++i) {
            const std::string campo = attesa->FieldDefs().Items(i)->Name();
            if (dopo->FindField(campo) != nullptr) {
                EXPECT_EQ(Valori(*dopo, campo), Valori(*attesa, campo)) << campo;
            }
        }
        if (attesa->FindField("Data") == nullptr) {
            for (dopo->First(); !dopo->Eof(); dopo->Next())
                EXPECT_TRUE(dopo->FieldByName("Data")->IsNull());
        }
    }
    EXPECT_TRUE(Box.Box.empty());
}

TEST_F(AggiornamentoArchivi, ValuesTravelBitForBit)
{
    const double prezzo = 1234.5678901234567;
    const std::string file = Dati("Data/Prova.dat");
    ScriviTabella(file, "Nome:S10,Prezzo:F,Data:D,Quando:D,Numero:I",
                  {{{"Nome", Variant("x")}, {"Prezzo", Variant(prezzo)},
                    {"Data", VarFromDateTime(0.0)}, {"Quando", VarFromDateTime(EncodeDate(2009, 6, 10))},
                    {"Numero", Variant(2147483647)}}});
    TzelMemTable tabella(nullptr);
    Definisci(tabella, "Nome:S20,Prezzo:F,Data:D,Quando:D,Numero:F");
    ASSERT_TRUE(AggiornaFileTabella(&tabella, file, Dc().SaveFormat));
    const std::unique_ptr<TzelMemTable> dopo = Leggi(file);
    const double letto = dopo->FieldByName("Prezzo")->AsFloat();
    EXPECT_EQ(std::memcmp(&letto, &prezzo, sizeof prezzo), 0);
    ASSERT_FALSE(dopo->FieldByName("Data")->IsNull());
    EXPECT_EQ(dopo->FieldByName("Data")->AsDateTime(), 0.0);
    EXPECT_EQ(dopo->FieldByName("Quando")->AsDateTime(), EncodeDate(2009, 6, 10));
    EXPECT_EQ(dopo->FieldByName("Numero")->AsFloat(), 2147483647.0);
}

TEST_F(AggiornamentoArchivi, AMissingFileIsNotCreated)
{
    TzelMemTable tabella(nullptr);
    Definisci(tabella, "Nome:S20");
    EXPECT_FALSE(AggiornaFileTabella(&tabella, Dati("Data/Nessuna.dat"), Dc().SaveFormat));
    EXPECT_FALSE(fs::exists(Dati("Data/Nessuna.dat")));
}

namespace {

// A table file written value by value: definitions of one integer field each, in a given version.
std::string FileDiCampi(int versione, int campi)
{
    TMemoryStream flusso;
    {
        TWriter scrittore(&flusso, 16384);
        scrittore.WriteSignature();
        scrittore.WriteInteger(versione);
        scrittore.WriteListBegin();
        for (int i = 0; i < campi; ++i) {
            const std::string nome = "C" + std::to_string(i);
            scrittore.WriteString(nome);
            scrittore.WriteString("Integer");
            scrittore.WriteInteger(0);
            scrittore.WriteString(nome);
            scrittore.WriteString("");
            scrittore.WriteInteger(10);
            scrittore.WriteBoolean(false);
            scrittore.WriteBoolean(false);
            scrittore.WriteString("Data");
            scrittore.WriteString("");
        }
        scrittore.WriteListEnd();
        scrittore.WriteListBegin();
        scrittore.WriteListEnd();
        scrittore.WriteListBegin();
        scrittore.WriteListEnd();
        scrittore.FlushBuffer();
    }
    return std::string(static_cast<const char*>(flusso.Memory()), static_cast<size_t>(flusso.Size()));
}

} // namespace

TEST_F(AggiornamentoArchivi, AFileTheTableStoreRefusesRaisesAndStaysAsItWas)
{
    const std::string buona = BytesTabella("Nome:S20", {{{"Nome", Variant("vite")}}});
    ASSERT_NO_THROW(FileDiCampi(251, 2));
    const std::pair<const char*, std::string> casi[] = {
        {"truncated", buona.substr(0, buona.size() / 2)},
        {"foreign", "PK\x03\x04 non una tabella"},
        {"empty", ""},
        {"of a future version", FileDiCampi(252, 1)},
        {"with 257 field definitions", FileDiCampi(251, 257)},
    };
    for (const auto& [nome, byte] : casi) {
        SCOPED_TRACE(nome);
        const std::string file = Dati("Data/Rotta.dat");
        fs::create_directories(Dati("Data"));
        ScriviFile(file, byte);
        TzelMemTable tabella(nullptr);
        Definisci(tabella, "Nome:S20");
        EXPECT_THROW(AggiornaFileTabella(&tabella, file, Dc().SaveFormat), Exception);
        EXPECT_EQ(ContenutoDi(file), byte);
        EXPECT_EQ(FileIn(Dati("Data")), (std::set<std::string>{"Rotta.dat"}));
    }
}

TEST_F(AggiornamentoArchivi, ARecordThatCannotBeCopiedLeavesTheFileAsItWas)
{
    const std::string file = Dati("Data/Prova.dat");
    ScriviTabella(file, "Nome:S20,Quantita:F", {{{"Nome", Variant("vite")}, {"Quantita", Variant(1.0)}},
                                                {{"Nome", Variant("dado")}, {"Quantita", Variant(2.5)}}});
    const std::string prima = ContenutoDi(file);
    TzelMemTable tabella(nullptr);
    Definisci(tabella, "Nome:S20,Quantita:I,Data:D");
    EXPECT_THROW(AggiornaFileTabella(&tabella, file, Dc().SaveFormat), Exception);
    EXPECT_EQ(ContenutoDi(file), prima);
    EXPECT_EQ(tabella.RecordCount(), 0);
}

TEST_F(AggiornamentoArchivi, EveryFileOfAMaskInTurnAndOldFieldsKept)
{
    ScriviTabella(Dati("Data/FT2008.dat"), "Fattura:I");
    ScriviTabella(Dati("Data/FT2009.dat"), "Fattura:I,CstTs_Nota:S8");
    TzelMemTable registro(nullptr);
    Definisci(registro, "Fattura:I,Protetta:B");
    AggiornaFileTabelle(Dati("Data/FT*.dat"), &registro, Dc().SaveFormat);
    EXPECT_EQ(Struttura(*Leggi(Dati("Data/FT2008.dat"))), "Fattura:I,Protetta:B");
    EXPECT_EQ(Struttura(*Leggi(Dati("Data/FT2009.dat"))), "Fattura:I,Protetta:B,CstTs_Nota:S8");
    EXPECT_EQ(Struttura(registro), "Fattura:I,Protetta:B,CstTs_Nota:S8");
    EXPECT_EQ(IntegraCampiVecchi(Leggi(Dati("Data/FT2009.dat")).get(), &registro), 0);
}

// --- Start-up upgrade ------------------------------------------------------------------------

TEST_F(AggiornamentoArchivi, TheStartUpUpgradeOfAWholeDataFolder)
{
    TDC& dc = Dc();
    const std::string righe = DefinizioniDi(*dc.TabellaArticoliInFattura, {"NoRitenutaEnasarco"},
                                            "CstTs_Colore:S20");
    const std::string testata = DefinizioniDi(*dc.TabellaClienteInFattura);
    ScriviTabella(Dati("Data/Clienti.dat"), DefinizioniDi(*dc.TabellaClienti, {"Destinazione"}),
                  {{{"Denominazione", Variant("Rossi Srl")}, {"Citta", Variant("Como")}},
                   {{"Denominazione", Variant("Bianchi")}},
                   {{"Denominazione", Variant("Verdi")}}});
    ScriviTabella(Dati("Data/Articoli.dat"), DefinizioniDi(*dc.TabellaArticoli),
                  {{{"Nome", Variant("vite")}, {"Prezzo", Variant(0.1)}}});
    ScriviTabella(Dati("Data/FT2009.dat"), DefinizioniDi(*dc.TabellaFatture, {"Protetta"}),
                  {{{"Fattura", Variant(1)}, {"Denominazione", Variant("Rossi Srl")}}});
    ScriviTabella(Dati("Data/FT2008.dat"), DefinizioniDi(*dc.TabellaFatture),
                  {{{"Fattura", Variant(7)}}});
    const std::string doc1 = Dati("FT/Doc1 - Rossi Srl (5-3-2009).tsd");
    const std::string doc2 = Dati("FT/Doc2 - Bianchi (6-3-2009).tsd");
    const std::string doc3 = Dati("FT/Doc3 - Verdi (7-3-2009).tsd");
    const std::string neri = Dati("PV/Doc1 - Neri (1-2-2009).tsd");
    ScriviDocumento(doc1, righe, testata,
                    {{{"Nome", Variant("vite")}, {"CstTs_Colore", Variant("rosso")}},
                     {{"Nome", Variant("dado")}, {"CstTs_Colore", Variant("verde")}}});
    ScriviDocumento(doc2, righe, testata, {{{"Nome", Variant("chiodo")}}});
    std::string rovinato = ContenutoDi(doc2);
    rovinato[30 + std::strlen("Articoli.aft") + 20] ^= 0x55;
    ScriviFile(doc2, rovinato);
    ScriviArchivio(doc3, {{"Articoli.aft", BytesTabella(righe)}, {"Cliente.cft", "non una tabella"}});
    ScriviDocumento(neri, DefinizioniDi(*dc.TabellaArticoliInFattura), testata);
    // A folder named as a document is no document.
    fs::create_directories(Dati("FT/Doc9.tsd"));
    const std::vector<std::string> intatti = {Dati("Data/Articoli.dat"), Dati("Data/FT2008.dat"), neri,
                                              doc2, doc3};
    std::map<std::string, std::string> contenuti;
    for (const std::string& file : intatti) {
        Invecchia(file);
        contenuti[file] = ContenutoDi(file);
    }
    const std::string percorsoDati = dc.PercorsoDati;

    TDC& dopo = AvviaAggiornamento();
    ASSERT_EQ(Box.Box.size(), 1u);
    EXPECT_TRUE(TFormExceptMessage::RapportiRegistrati().empty());
    EXPECT_EQ(Versione(), "3.0.18");
    for (const std::string& file : intatti) {
        EXPECT_EQ(ContenutoDi(file), contenuti[file]) << file;
        EXPECT_EQ(Modificato(file), 978307200LL * 1000000000) << file;
    }

    const auto clienti = Leggi(Dati("Data/Clienti.dat"));
    EXPECT_EQ(Struttura(*clienti), DefinizioniDi(*dopo.TabellaClienti));
    EXPECT_EQ(Valori(*clienti, "Denominazione"), (std::vector<std::string>{"Rossi Srl", "Bianchi", "Verdi"}));
    EXPECT_EQ(Valori(*clienti, "Citta"), (std::vector<std::string>{"Como", "", ""}));
    EXPECT_EQ(Valori(*clienti, "Destinazione"), (std::vector<std::string>{"", "", ""}));
    EXPECT_EQ(Leggi(Dati("Data/FT2009.dat"))->FieldDefs().IndexOf("Protetta"), 17);

    EXPECT_NE(UscitaDi("unzip -t '" + doc1 + "'").find("No errors detected"), std::string::npos);
    EXPECT_EQ(UscitaDi("zipinfo -1 '" + doc1 + "'"), "Articoli.aft\nCliente.cft\n");
    const auto articoli = LeggiMembro(doc1, "Articoli.aft");
    EXPECT_NE(articoli->FieldDefs().IndexOf("NoRitenutaEnasarco"), -1);
    EXPECT_EQ(Valori(*articoli, "CstTs_Colore"), (std::vector<std::string>{"rosso", "verde"}));
    EXPECT_EQ(Valori(*articoli, "Nome"), (std::vector<std::string>{"vite", "dado"}));

    // The templates follow the first invoice's layouts, empty; the tables load them at start-up.
    const auto modelloRighe = Leggi(Dati("TableSamples/Articoli.aft"));
    EXPECT_EQ(Struttura(*modelloRighe), Struttura(*articoli));
    EXPECT_EQ(modelloRighe->RecordCount(), 0);
    const auto modelloTestata = Leggi(Dati("TableSamples/Cliente.cft"));
    EXPECT_EQ(Struttura(*modelloTestata), testata);
    EXPECT_EQ(modelloTestata->RecordCount(), 0);
    EXPECT_NE(dopo.TabellaArticoliInFattura->FindField("CstTs_Colore"), nullptr);

    EXPECT_EQ(ContenutoDi(Nel("logs/import.err")),
              "Impossibile aprire il file '" + percorsoDati + "FT\\Doc2 - Bianchi (6-3-2009).tsd'.\r\n"
              "Impossibile aprire il file '" + percorsoDati + "FT\\Doc3 - Verdi (7-3-2009).tsd'.\r\n");
    EXPECT_EQ(FileIn(Nel("ImportsTemp")), std::set<std::string>());
    EXPECT_EQ(FileIn(Dati("FT")), (std::set<std::string>{"Doc1 - Rossi Srl (5-3-2009).tsd",
                                                          "Doc2 - Bianchi (6-3-2009).tsd",
                                                          "Doc3 - Verdi (7-3-2009).tsd", "Doc9.tsd"}));
    // The tables were loaded from the upgraded files.
    EXPECT_EQ(dopo.TabellaClienti->RecordCount(), 3);
}

TEST_F(AggiornamentoArchivi, ADamagedTableIsNamedOnceAndTheOthersGoOn)
{
    TDC& dc = Dc();
    ScriviTabella(Dati("Data/Clienti.dat"), DefinizioniDi(*dc.TabellaClienti, {"Destinazione"}),
                  {{{"Denominazione", Variant("Rossi Srl")}}});
    ScriviTabella(Dati("Data/FT2009.dat"), DefinizioniDi(*dc.TabellaFatture, {"Protetta"}));
    ScriviTabella(Dati("Data/Contributi.dat"), DefinizioniDi(*dc.TabellaContributi),
                  {{{"IdContributo", Variant(1)}, {"DescContributo", Variant(std::string(60, 'c').c_str())}}});
    const std::string contributi = Dati("Data/Contributi.dat");
    fs::resize_file(contributi, fs::file_size(contributi) * 6 / 10);
    const std::string rotto = ContenutoDi(contributi);
    const std::string percorso = dc.PercorsoDati + "Data\\Contributi.dat";

    AvviaAggiornamento();
    const std::vector<std::string> rapporti = RapportiDi("AggiornaTabelle");
    ASSERT_EQ(rapporti.size(), 1u);
    EXPECT_EQ(rapporti[0].rfind("Si \xE8 verificato un errore nell'importazione delle tabelle.\n\n"
                                "Eccezione: '" + percorso + ": ", 0),
              0u)
        << rapporti[0];
    EXPECT_EQ(rapporti[0].find("Eccezione", 70), std::string::npos) << rapporti[0];
    EXPECT_EQ(ContenutoDi(contributi), rotto);
    EXPECT_NE(Leggi(Dati("Data/Clienti.dat"))->FindField("Destinazione"), nullptr);
    EXPECT_NE(Leggi(Dati("Data/FT2009.dat"))->FindField("Protetta"), nullptr);
    EXPECT_EQ(Versione(), "2.9.0");
}

TEST_F(AggiornamentoArchivi, AnEmptyDataFolderChangesNothingAndStoresTheVersion)
{
    const std::set<std::string> prima = FileIn(Nel("dati"));
    AvviaAggiornamento();
    EXPECT_EQ(FileIn(Nel("dati")), prima);
    EXPECT_EQ(Versione(), "3.0.18");
    EXPECT_EQ(ContenutoDi(Nel("logs/import.err")), "");
    EXPECT_TRUE(TFormExceptMessage::RapportiRegistrati().empty());
}

TEST_F(AggiornamentoArchivi, AnUnwritableLogFolderChangesNoDocument)
{
    TDC& dc = Dc();
    const std::string documento = Dati("FT/Doc1 - Rossi Srl (5-3-2009).tsd");
    ScriviDocumento(documento, DefinizioniDi(*dc.TabellaArticoliInFattura, {"Valuta"}),
                    DefinizioniDi(*dc.TabellaClienteInFattura));
    const std::string prima = ContenutoDi(documento);
    for (const char* cartella : {"logs", "ImportsTemp"}) {
        SCOPED_TRACE(cartella);
        fs::remove_all(Nel("logs"));
        fs::remove_all(Nel("ImportsTemp"));
        ScriviFile(Nel(cartella), "un file al posto della cartella");
        AvviaAggiornamento();
        const std::vector<std::string> rapporti = RapportiDi("AggiornaTabelle");
        ASSERT_EQ(rapporti.size(), 1u);
        EXPECT_NE(rapporti[0].find(cartella), std::string::npos) << rapporti[0];
        EXPECT_EQ(ContenutoDi(documento), prima);
        EXPECT_EQ(Versione(), "2.9.0");
        fs::remove(Nel(cartella));
    }
}

TEST_F(AggiornamentoArchivi, DocumentsThatCannotBeConvertedAreLoggedAndKeptWhole)
{
    TDC& dc = Dc();
    const std::string vecchie = DefinizioniDi(*dc.TabellaArticoliInFattura, {"Valuta"});
    const std::string testata = DefinizioniDi(*dc.TabellaClienteInFattura);
    const std::string cartella = Dati("DT/");
    ScriviArchivio(cartella + "A.tsd", {{"Articoli.aft", BytesTabella(vecchie)},
                                        {"Cliente.cft", BytesTabella(testata)},
                                        {"Leggimi.txt", "un terzo membro"}});
    ScriviArchivio(cartella + "B.tsd", {{"../Articoli.aft", BytesTabella(vecchie)},
                                        {"Cliente.cft", BytesTabella(testata)}});
    ScriviFile(cartella + "C.tsd", "non un archivio");
    ScriviDocumento(cartella + "D.tsd", vecchie, testata);
    fs::permissions(cartella + "D.tsd", fs::perms::owner_read | fs::perms::group_read);
    ScriviArchivio(cartella + "E.tsd", {{"Cliente.cft", BytesTabella(testata)},
                                        {"Articoli.aft", BytesTabella(vecchie)}});
    const std::set<std::string> documenti = FileIn(cartella);
    std::map<std::string, std::string> prima;
    for (const std::string& nome : documenti)
        prima[nome] = ContenutoDi(cartella + nome);

    TStringList membri;
    membri.AddObject(Nel("staging/Articoli.aft"), dc.TabellaArticoliInFattura);
    membri.AddObject(Nel("staging/Cliente.cft"), dc.TabellaClienteInFattura);
    fs::create_directories(Nel("staging"));
    EXPECT_EQ(AggiornaFileDocumenti(dc.PercorsoDati + "DT\\*.tsd", Nel("staging/"), membri, dc.SaveFormat,
                                    false, ""),
              2);
    for (const std::string nome : {"A.tsd", "B.tsd", "C.tsd", "D.tsd"})
        EXPECT_EQ(ContenutoDi(cartella + nome), prima[nome]) << nome;
    EXPECT_EQ(FileIn(cartella), documenti);
    EXPECT_EQ(FileIn(Nel("staging")), std::set<std::string>());
    const std::string serie = dc.PercorsoDati + "DT\\";
    EXPECT_EQ(ContenutoDi(Nel("logs/import.err")),
              "Impossibile aprire il file '" + serie + "A.tsd'.\r\n"
              "Impossibile aprire il file '" + serie + "B.tsd'.\r\n"
              "Impossibile aprire il file '" + serie + "C.tsd'.\r\n"
              "Impossibile chiudere il file '" + serie + "D.tsd'.\r\n");
    // The last one was converted, its members in the order a document keeps them.
    EXPECT_EQ(UscitaDi("zipinfo -1 '" + cartella + "E.tsd'"), "Articoli.aft\nCliente.cft\n");
    EXPECT_NE(LeggiMembro(cartella + "E.tsd", "Articoli.aft")->FindField("Valuta"), nullptr);
    // The given tables were not touched.
    EXPECT_EQ(dc.TabellaArticoliInFattura->FieldDefs().Count(), 16);
    EXPECT_TRUE(Box.Box.empty());
}

// --- User fields -----------------------------------------------------------------------------

namespace {

class TAvanzamentoRegistrato : public TAvanzamento {
public:
    explicit TAvanzamentoRegistrato(std::vector<std::string>& chiamate) : FChiamate(chiamate) {}
    void Mostra(const std::string& titolo, const std::string& messaggio) override
    {
        FChiamate.push_back(titolo + " | " + messaggio);
    }
    void Aggiorna(const std::string& messaggio, int posizione, int massimo) override
    {
        FChiamate.push_back(messaggio + " " + std::to_string(posizione) + "/" + std::to_string(massimo));
    }
    void Chiudi() override { FChiamate.push_back("Chiudi"); }

private:
    std::vector<std::string>& FChiamate;
};

} // namespace

class CampiUtente : public AggiornamentoArchivi {
protected:
    void SetUp() override
    {
        AggiornamentoArchivi::SetUp();
        TDC& dc = Dc();
        dc.TabellaArticoli->Close();
        dc.TabellaArticoli->FieldDefs().Add("CstTs_Colore", ftString, 20);
        dc.TabellaArticoli->CreateTable();
        dc.TabellaArticoli->Open();
        const std::string righe = DefinizioniDi(*dc.TabellaArticoliInFattura);
        const std::string testata = DefinizioniDi(*dc.TabellaClienteInFattura);
        for (const char* nome : {"FT/Doc1 - Rossi Srl (5-3-2009).tsd", "FT/Doc2 - Bianchi (6-3-2009).tsd"})
            ScriviDocumento(Dati(nome), righe, testata, {{{"Nome", Variant("vite")}}});
        Aggiungi(*dc.TabellaArticoliInFattura,
                 {{{"Nome", Variant("A1")}, {"Prezzo", Variant(100.0)}}, {{"Nome", Variant("A2")}}});
        Aggiungi(*dc.TabellaClienteInFattura, {{{"Denominazione", Variant("Rossi Srl")}}});
        dc.CreaAvanzamento = [this] { return std::make_unique<TAvanzamentoRegistrato>(Chiamate); };
        dc.ModificaCampi = [this](TzelMemTable* tabella, const std::string& titolo,
                                  const std::string& chiave, const TStrings& progettati) {
            Dialogo.push_back(tabella->Name() + " " + titolo + " " + chiave + " " +
                              std::to_string(progettati.Count()));
            auto elenco = std::make_unique<TStringList>();
            for (const std::string& campo : Scelti)
                elenco->Add(campo);
            return elenco;
        };
    }

    std::vector<std::string> Scelti{"Colore"};
    std::vector<std::string> Chiamate;
    std::vector<std::string> Dialogo;
};

TEST_F(CampiUtente, AnAddedArticleFieldReachesTheDocumentTablesAndEveryDocument)
{
    TDC& dc = Dc();
    dc.AggiungiCampiArticoli();
    EXPECT_EQ(Dialogo, (std::vector<std::string>{"TabellaArticoli Articoli Nome 16"}));
    ASSERT_EQ(Box.Box.size(), 1u);
    EXPECT_EQ(Box.Box[0].Testo, "Prima di procedere \xE8 necessario convertire eventuali documenti "
                                "precedenti. L'operazione potrebbe richiedere diversi minuti.");
    EXPECT_EQ(Box.Box[0].Titolo, "Conversione archivi");
    EXPECT_EQ(Box.Box[0].Tipo, static_cast<UINT>(MB_OK | MB_ICONEXCLAMATION));
    EXPECT_EQ(Chiamate, (std::vector<std::string>{"Stato aggiornamento | In attesa", "Aggiunta campi 0/4",
                                                  "Aggiunta campi 1/4", "Salvataggio campi 2/4",
                                                  "Importazione tabelle 3/4", "Finalizzazione 4/4",
                                                  "Chiudi"}));
    EXPECT_NE(dc.TabellaArticoliInFattura->FindField("CstTs_Colore"), nullptr);
    EXPECT_NE(dc.TabellaStampaArticoli->FindField("CstTs_Colore"), nullptr);
    EXPECT_EQ(Valori(*dc.TabellaArticoliInFattura, "Nome"), (std::vector<std::string>{"A1", "A2"}));
    EXPECT_EQ(Valori(*dc.TabellaArticoliInFattura, "Prezzo"), (std::vector<std::string>{"100", ""}));
    EXPECT_EQ(Valori(*dc.TabellaClienteInFattura, "Denominazione"), (std::vector<std::string>{"Rossi Srl"}));
    // The print rows keep the label of their quantity.
    EXPECT_EQ(dc.TabellaStampaArticoli->FieldByName("Quantita")->DisplayLabel(), "QUANTc");

    const auto stampa = Leggi(Dati("TableSamples/StampaArticoli.DAT"));
    EXPECT_NE(stampa->FindField("CstTs_Colore"), nullptr);
    EXPECT_EQ(stampa->FieldByName("Quantita")->DisplayLabel(), "QUANTc");
    for (const char* nome : {"FT/Doc1 - Rossi Srl (5-3-2009).tsd", "FT/Doc2 - Bianchi (6-3-2009).tsd"}) {
        const auto righe = LeggiMembro(Dati(nome), "Articoli.aft");
        EXPECT_NE(righe->FindField("CstTs_Colore"), nullptr) << nome;
        EXPECT_EQ(Valori(*righe, "Nome"), (std::vector<std::string>{"vite"})) << nome;
    }
    EXPECT_EQ(ContenutoDi(Nel("logs/import.err")), "");
}

TEST_F(CampiUtente, ACustomerFieldTakesTwoSteps)
{
    TDC& dc = Dc();
    dc.TabellaClienti->Close();
    dc.TabellaClienti->FieldDefs().Add("CstTs_Zona", ftInteger);
    dc.TabellaClienti->CreateTable();
    dc.TabellaClienti->Open();
    Scelti = {"Zona"};
    dc.AggiungiCampiClienti();
    EXPECT_EQ(Dialogo, (std::vector<std::string>{"TabellaClienti Clienti Denominazione 51"}));
    EXPECT_EQ(Chiamate, (std::vector<std::string>{"Stato aggiornamento | In attesa", "Aggiunta campi 0/2",
                                                  "Importazione tabelle 1/2", "Finalizzazione 2/2",
                                                  "Chiudi"}));
    EXPECT_EQ(dc.TabellaClienteInFattura->FieldByName("CstTs_Zona")->DataType(), ftInteger);
    EXPECT_EQ(Valori(*dc.TabellaClienteInFattura, "Denominazione"), (std::vector<std::string>{"Rossi Srl"}));
    EXPECT_NE(LeggiMembro(Dati("FT/Doc1 - Rossi Srl (5-3-2009).tsd"), "Cliente.cft")->FindField("CstTs_Zona"),
              nullptr);
}

TEST_F(CampiUtente, AnEmptyListChangesNothing)
{
    Scelti.clear();
    const std::string documento = Dati("FT/Doc1 - Rossi Srl (5-3-2009).tsd");
    const std::string prima = ContenutoDi(documento);
    Dc().AggiungiCampiArticoli();
    EXPECT_TRUE(Box.Box.empty());
    EXPECT_TRUE(Chiamate.empty());
    EXPECT_EQ(Dc().TabellaArticoliInFattura->FindField("CstTs_Colore"), nullptr);
    EXPECT_EQ(ContenutoDi(documento), prima);
    EXPECT_FALSE(fs::exists(Dati("TableSamples/StampaArticoli.DAT")));
}

TEST_F(CampiUtente, AFieldTheArticlesLackRaisesWithTheProgressWindowClosed)
{
    Scelti = {"Peso"};
    try {
        Dc().AggiungiCampiArticoli();
        ADD_FAILURE() << "no error";
    } catch (const Exception& e) {
        EXPECT_EQ(e.Message, "TabellaArticoli: Field 'CstTs_Peso' not found");
    }
    ASSERT_FALSE(Chiamate.empty());
    EXPECT_EQ(Chiamate.back(), "Chiudi");
    EXPECT_EQ(Dc().TabellaArticoliInFattura->RecordCount(), 2);
}

TEST_F(CampiUtente, WithoutTheDialogOrTheProgressWindowNothingStarts)
{
    Dc().CreaAvanzamento = nullptr;
    EXPECT_THROW(Dc().AggiungiCampiArticoli(), EInvalidOperation);
    EXPECT_TRUE(Dialogo.empty());
    EXPECT_TRUE(Box.Box.empty());
}

TEST_F(CampiUtente, AnExistingFieldTakesTheSourceDefinitionAndKeepsItsValues)
{
    TDC& dc = Dc();
    TzelMemTable destinazione(nullptr);
    Definisci(destinazione, "Nome:S20,CstTs_Colore:S5");
    Aggiungi(destinazione, {{{"Nome", Variant("vite")}, {"CstTs_Colore", Variant("rosso")}}});
    TStringList nomi;
    nomi.Add("Colore");
    AggiungiCampiUtente(dc.TabellaArticoli, &destinazione, nomi);
    EXPECT_EQ(Struttura(destinazione), "Nome:S20,CstTs_Colore:S20");
    EXPECT_EQ(Valori(destinazione, "CstTs_Colore"), (std::vector<std::string>{"rosso"}));
}

// --- ZIP helpers -----------------------------------------------------------------------------

class AiutiZip : public AggiornamentoArchivi {
protected:
    void SetUp() override
    {
        AggiornamentoArchivi::SetUp();
        fs::create_directories(Nel("staging"));
        ScriviFile(Nel("staging/Articoli.aft"), std::string(3000, 'a') + "fine righe");
        ScriviFile(Nel("staging/Cliente.cft"), "testata");
        Elenco.Add(Nel("staging/Articoli.aft"));
        Elenco.Add(Nel("staging/Cliente.cft"));
        Box.Box.clear();
    }
    TStringList Elenco;
};

TEST_F(AiutiZip, PacksTheListedFilesUnderTheirBareNamesAndDeletesThem)
{
    const std::string archivio = Nel("archivi/doc.tsd");
    fs::create_directories(Nel("archivi"));
    ScriviFile(archivio, "vecchio documento");
    ASSERT_TRUE(ComprimiFiles(archivio, Elenco, "", true, false));
    EXPECT_EQ(UscitaDi("zipinfo -1 '" + archivio + "'"), "Articoli.aft\nCliente.cft\n");
    EXPECT_EQ(UscitaDi("unzip -p '" + archivio + "' Articoli.aft"), std::string(3000, 'a') + "fine righe");
    EXPECT_EQ(UscitaDi("unzip -p '" + archivio + "' Cliente.cft"), "testata");
    EXPECT_EQ(FileIn(Nel("staging")), std::set<std::string>());
    EXPECT_EQ(FileIn(Nel("archivi")), std::set<std::string>{"doc.tsd"});
    EXPECT_TRUE(Box.Box.empty());
}

TEST_F(AiutiZip, AMissingFileOrAReadOnlyArchiveLeavesEverythingAsItWas)
{
    const std::string archivio = Nel("archivi/doc.tsd");
    fs::create_directories(Nel("archivi"));
    ScriviFile(archivio, "vecchio documento");
    fs::remove(Nel("staging/Cliente.cft"));
    EXPECT_FALSE(ComprimiFiles(archivio, Elenco, "", true, false));
    EXPECT_EQ(ContenutoDi(archivio), "vecchio documento");
    EXPECT_EQ(FileIn(Nel("staging")), std::set<std::string>{"Articoli.aft"});
    EXPECT_EQ(FileIn(Nel("archivi")), std::set<std::string>{"doc.tsd"});

    ScriviFile(Nel("staging/Cliente.cft"), "testata");
    fs::permissions(archivio, fs::perms::owner_read);
    EXPECT_FALSE(ComprimiFiles(archivio, Elenco, "", true, true));
    EXPECT_EQ(ContenutoDi(archivio), "vecchio documento");
    EXPECT_EQ(FileIn(Nel("staging")).size(), 2u);
    EXPECT_EQ(FileIn(Nel("archivi")), std::set<std::string>{"doc.tsd"});
    ASSERT_EQ(Box.Box.size(), 1u);
    EXPECT_EQ(Box.Box[0].Testo, "Impossibile comprimere il file.");
    EXPECT_EQ(Box.Box[0].Titolo, "Errore compressione");
    EXPECT_EQ(Box.Box[0].Tipo, static_cast<UINT>(MB_OK | MB_ICONERROR));
}

TEST_F(AiutiZip, AnUnwritableFolderGivesFalseAndShowsNothing)
{
    ScriviFile(Nel("un-file"), "x");
    EXPECT_FALSE(ComprimiFiles(Nel("un-file/doc.tsd"), Elenco, "", false, false));
    EXPECT_TRUE(Box.Box.empty());
    EXPECT_TRUE(TFormExceptMessage::RapportiRegistrati().empty());
    EXPECT_EQ(FileIn(Nel("staging")).size(), 2u);
}

TEST_F(AiutiZip, ExtractsEveryMemberAndReplacesTheStaleListedFiles)
{
    const std::string archivio = Nel("tre.zip");
    ScriviArchivio(archivio, {{"Articoli.aft", "righe nuove"}, {"Cliente.cft", "testata nuova"},
                              {"Altro.txt", "terzo"}});
    EXPECT_TRUE(EstraiFiles(archivio, Elenco, Nel("staging"), false));
    EXPECT_EQ(ContenutoDi(Nel("staging/Articoli.aft")), "righe nuove");
    EXPECT_EQ(ContenutoDi(Nel("staging/Cliente.cft")), "testata nuova");
    EXPECT_EQ(ContenutoDi(Nel("staging/Altro.txt")), "terzo");
}

TEST_F(AiutiZip, ADamagedMemberLeavesNoListedFile)
{
    const std::string archivio = Nel("rotto.zip");
    ScriviArchivio(archivio, {{"Articoli.aft", "righe nuove, abbastanza lunghe da rovinare"},
                              {"Cliente.cft", "testata nuova"}});
    std::string byte = ContenutoDi(archivio);
    byte[30 + std::strlen("Articoli.aft") + 5] ^= 0x20;
    ScriviFile(archivio, byte);
    EXPECT_FALSE(EstraiFiles(archivio, Elenco, Nel("staging"), false));
    EXPECT_EQ(FileIn(Nel("staging")), std::set<std::string>());
    EXPECT_TRUE(Box.Box.empty());
}
