#include "FoundationTestUtils.h"

#include "foundation/SupportExport.h"
#include "foundation/SupportFiles.h"
#include "platform/db/DB.h"
#include "platform/gui/DBGrid.h"
#include "platform/gui/Form.h"
#include "platform/os/Libraries.h"
#include "platform/rtl/Exceptions.h"
#include "tablestore/zelMemTable.h"

#include <gtest/gtest.h>

#include <limits>

namespace fs = std::filesystem;

namespace {

// A memory table with a field of each kind the export tells apart, three records, on the second.
std::unique_ptr<TzelMemTable> TabellaMista()
{
    auto t = std::make_unique<TzelMemTable>(nullptr);
    TFieldDefs& d = t->FieldDefs();
    d.Add("Nome", ftString, 20);
    d.Add("Attivo", ftBoolean);
    d.Add("Pezzi", ftInteger);
    d.Add("Peso", ftFloat);
    d.Add("Prezzo", ftCurrency);
    d.Add("Data", ftDate);
    d.Add("Foto", ftBlob);
    t->CreateTable();
    t->Open();
    const char* nomi[] = {"Vite", "Caff\xE8", "Dado"};
    for (int i = 0; i < 3; ++i) {
        t->Append();
        t->FieldByName("Nome")->SetAsString(nomi[i]);
        t->FieldByName("Attivo")->SetAsBoolean(i != 1);
        t->FieldByName("Pezzi")->SetAsInteger(10 * (i + 1));
        t->FieldByName("Peso")->SetAsFloat(0.5 + i);
        t->FieldByName("Prezzo")->SetAsFloat(2.25 * (i + 1));
        t->FieldByName("Data")->SetAsString("0" + std::to_string(i + 1) + "/03/2009");
        t->FieldByName("Foto")->SetAsString("\x01\x02");
        t->Post();
    }
    t->First();
    t->Next();
    return t;
}

class Esportazione : public ::testing::Test {
protected:
    void SetUp() override
    {
        AvviaApplicazioneVisuale();
        ImpostaCartellaApplicazione(Programma.Percorso());
        Registro = Programma.Percorso() + "/chiamate.txt";
        setenv("TABULINO_REGISTRO", Registro.c_str(), 1);
        Tabella = TabellaMista();
    }
    void TearDown() override
    {
        unsetenv("TABULINO_REGISTRO");
        unsetenv("TABULINO_NON_SALVA");
        ImpostaScrittoriEsportazione({});
        ImpostaCartellaApplicazione("");
    }
    void InstallaLibreria(const char* sorgente)
    {
        fs::create_directories(Programma.Percorso() + "/Libs");
        fs::remove(Libreria());
        fs::copy_file(sorgente, Libreria());
    }
    // The real library is large in a debug build: it is linked, not copied.
    void CollegaLibreriaVera()
    {
        fs::create_directories(Programma.Percorso() + "/Libs");
        fs::remove(Libreria());
        fs::create_symlink(TABULINO_SO, Libreria());
    }
    std::string Libreria() const { return Programma.Percorso() + "/Libs/libtabulino.so"; }
    std::string Uscita() const { return Programma.Percorso() + "/uscita.xls"; }
    std::string MessaggioDi(const std::function<void()>& operazione)
    {
        try {
            operazione();
        } catch (const Exception& e) {
            return e.Message;
        }
        return "";
    }

    TCartellaTemporanea Programma;
    std::string Registro;
    std::unique_ptr<TzelMemTable> Tabella;
};

} // namespace

TEST_F(Esportazione, TheLibraryGetsEveryCallInOrder)
{
    InstallaLibreria(TABULINO_REGISTRO_SO);
    TDialoghiScritti dialoghi;
    dialoghi.Servizio().Expect(TDialogKind::SaveFile, TDialogAnswer::File(Uscita()));
    SalvaComeXls(Tabella.get());
    EXPECT_EQ(Tabella->FieldByName("Nome")->AsString(), "Caff\xE8");
    const std::string testa = "BorderLeft,BorderRight,BorderTop,BorderBottom,Shaded,MS Sans Serif,8,Bold,,0,";
    const std::string corpo = "BorderLeft,BorderRight,BorderTop,BorderBottom,MS Sans Serif,8,,";
    std::vector<std::string> attese = {"XlsInit(" + Uscita() + ")"};
    for (const char* nome : {"Nome", "Attivo", "Pezzi", "Peso", "Prezzo", "Data", "Foto"})
        attese.push_back("AddStringCell(1," + std::to_string(attese.size()) + "," + testa + nome + ")");
    const char* nomi[] = {"Vite", "Caff\xE8", "Dado"};
    const char* pesi[] = {"0.5", "1.5", "2.5"};
    const char* prezzi[] = {"2.25", "4.5", "6.75"};
    for (int i = 0; i < 3; ++i) {
        const std::string r = std::to_string(i + 2) + ",";
        attese.push_back("AddStringCell(" + r + "1," + corpo + "0," + nomi[i] + ")");
        attese.push_back("AddStringCell(" + r + "2," + corpo + "0," + (i != 1 ? "True" : "False") + ")");
        attese.push_back("AddIntegerCell(" + r + "3," + corpo + "0," + std::to_string(10 * (i + 1)) + ")");
        attese.push_back("AddDoubleCell(" + r + "4," + corpo + "-1," + pesi[i] + ")");
        attese.push_back("AddDoubleCell(" + r + "5," + corpo + "-1," + prezzi[i] + ")");
        attese.push_back("AddStringCell(" + r + "6," + corpo + "0,0" + std::to_string(i + 1) + "/03/2009)");
    }
    attese.push_back("SaveToFile(" + Uscita() + ")");
    attese.push_back("XlsDeinit()");
    EXPECT_EQ(RigheDi(Registro), attese);

    ASSERT_EQ(dialoghi.Servizio().Requests().size(), 1u);
    EXPECT_EQ(dialoghi.Servizio().Requests()[0].File.DefaultExt, "XLS");
    EXPECT_EQ(dialoghi.Servizio().Requests()[0].File.Filter,
              "File Excel (*.xls)|*.XLS|Tutti i file (*.*)|*.*");
    EXPECT_EQ(GetModuleHandleA(Libreria().c_str()), nullptr);
}

TEST_F(Esportazione, LibraryFailuresSayWhatIsMissing)
{
    EXPECT_EQ(MessaggioDi([&] { EsportaXls(Tabella.get(), Uscita()); }),
              "Impossibile trovare la libreria di esportazione.\nLibreria 'Tabulino.dll' non trovata");
    EXPECT_TRUE(fs::is_directory(Programma.Percorso() + "/Libs"));

    InstallaLibreria(TABULINO_MONCO_SO);
    EXPECT_EQ(MessaggioDi([&] { EsportaXls(Tabella.get(), Uscita()); }),
              "Impossibile trovare la funzione di esportazione.\nFunzione 'AddStringCell' non trovata");
    EXPECT_FALSE(fs::exists(Registro));
    EXPECT_EQ(GetModuleHandleA(Libreria().c_str()), nullptr);
    EXPECT_EQ(Tabella->FieldByName("Nome")->AsString(), "Caff\xE8");

    // A save the library did not make is not passed off as done.
    InstallaLibreria(TABULINO_REGISTRO_SO);
    setenv("TABULINO_NON_SALVA", "1", 1);
    EXPECT_EQ(MessaggioDi([&] { EsportaXls(Tabella.get(), Uscita()); }),
              "Impossibile salvare il file '" + Uscita() + "'.");
    EXPECT_EQ(Tabella->FieldByName("Nome")->AsString(), "Caff\xE8");
}

TEST_F(Esportazione, EmptyDataSetsWriteTheHeaderAndHugeOnesAreRefused)
{
    InstallaLibreria(TABULINO_REGISTRO_SO);
    TzelMemTable vuota(nullptr);
    vuota.FieldDefs().Add("Codice", ftString, 5);
    vuota.CreateTable();
    vuota.Open();
    EXPECT_EQ(EsportaXls(&vuota, Uscita()), 0);
    EXPECT_EQ(RigheDi(Registro).size(), 4u);

    for (int i = 0; i < MassimoRigheXls + 1; ++i)
        vuota.AppendRecord({Variant("x")});
    fs::remove(Registro);
    EXPECT_EQ(MessaggioDi([&] { EsportaXls(&vuota, Uscita()); }),
              "Impossibile esportare pi\xF9 di 65534 righe in un foglio di calcolo.");
    EXPECT_FALSE(fs::exists(Registro));
}

TEST_F(Esportazione, CancelledDialogsWriteNothing)
{
    InstallaLibreria(TABULINO_REGISTRO_SO);
    int chiamate = 0;
    TScrittoriEsportazione scrittori;
    scrittori.EsportaCSV = [&](TDataSet*, const std::string&, const std::string&) { ++chiamate; };
    scrittori.SalvaHtml = [&](TDataSet*, const std::string&) { ++chiamate; };
    scrittori.StampaGriglia = [&](TCustomDBGrid*, const std::string&, const std::string&,
                                  const std::string&) { ++chiamate; };
    ImpostaScrittoriEsportazione(scrittori);
    TDialoghiScritti dialoghi;
    TDialogAnswer annulla;
    annulla.Accepted = false;
    dialoghi.Servizio().AnswerAll(TDialogKind::SaveFile, annulla);
    dialoghi.Servizio().AnswerAll(TDialogKind::Print, annulla);
    TForm form(nullptr);
    auto* griglia = new TDBGrid(&form);
    SalvaComeXls(Tabella.get());
    EXPECT_EQ(SalvaComeHtml(Tabella.get()), "");
    SalvaComeCsvPredefinito(Tabella.get());
    EsportaGriglia(griglia, "Clienti", "CSV");
    EsportaGriglia(griglia, "Clienti", "printer");
    EXPECT_EQ(chiamate, 0);
    EXPECT_FALSE(fs::exists(Registro));
    EXPECT_EQ(dialoghi.Servizio().Requests().size(), 5u);
}

TEST_F(Esportazione, DialogsAndWritersOfTheOtherFormats)
{
    std::vector<std::string> chiamate;
    TScrittoriEsportazione scrittori;
    scrittori.EsportaCSV = [&](TDataSet* d, const std::string& interfaccia, const std::string& file) {
        chiamate.push_back("csv " + std::to_string(d == Tabella.get()) + " [" + interfaccia + "] " + file);
    };
    scrittori.SalvaHtml = [&](TDataSet* d, const std::string& file) {
        chiamate.push_back("html " + std::to_string(d == Tabella.get()) + " " + file);
    };
    TCustomDBGrid* attesa = nullptr;
    scrittori.StampaGriglia = [&](TCustomDBGrid* g, const std::string& titolo, const std::string& formato,
                                  const std::string& file) {
        chiamate.push_back("griglia " + std::to_string(g == attesa) + " " + titolo + " " + formato + " [" +
                           file + "]");
    };
    ImpostaScrittoriEsportazione(scrittori);
    TForm form(nullptr);
    auto* griglia = new TDBGrid(&form);
    attesa = griglia;

    TDialoghiScritti dialoghi;
    dialoghi.Servizio()
        .Expect(TDialogKind::SaveFile, TDialogAnswer::File("/tmp/a.html"))
        .Expect(TDialogKind::SaveFile, TDialogAnswer::File("/tmp/b.csv"))
        .Expect(TDialogKind::SaveFile, TDialogAnswer::File("/tmp/c.csv"))
        .Expect(TDialogKind::SaveFile, TDialogAnswer::File("/tmp/d.csv"))
        .Expect(TDialogKind::Print, TDialogAnswer())
        .Expect(TDialogKind::SaveFile, TDialogAnswer::File("/tmp/e.pdf"));
    EXPECT_EQ(SalvaComeHtml(Tabella.get()), "/tmp/a.html");
    SalvaComeCsv(Tabella.get(), "Interfacce\\Clienti.ini");
    SalvaComeCsvPredefinito(Tabella.get());
    EsportaGriglia(griglia, "Clienti", "CSV");
    EsportaGriglia(griglia, "Clienti", "printer");
    EsportaGriglia(griglia, "Clienti", "PDF");
    EXPECT_EQ(chiamate, (std::vector<std::string>{
                            "html 1 /tmp/a.html", "csv 1 [Interfacce\\Clienti.ini] /tmp/b.csv",
                            "csv 1 [] /tmp/c.csv", "griglia 1 Clienti CSV [/tmp/d.csv]",
                            "griglia 1 Clienti PRINTER []"}));

    struct TAtteso {
        TDialogKind Tipo;
        const char* Estensione;
        const char* Filtro;
    };
    const TAtteso attesi[] = {
        {TDialogKind::SaveFile, "HTML", "File HTML (*.html)|*.HTML;*.HTM;|Tutti i file (*.*)|*.*"},
        {TDialogKind::SaveFile, "CSV", "File CSV (*.csv)|*.CSV|Tutti i file (*.*)|*.*"},
        {TDialogKind::SaveFile, "CSV", "File CSV (*.csv)|*.CSV|Tutti i file (*.*)|*.*"},
        {TDialogKind::SaveFile, "CSV", "File CSV (*.CSV)|*.CSV;|Tutti i file (*.*)|*.*"},
        {TDialogKind::Print, "", ""},
        {TDialogKind::SaveFile, "PDF", "File PDF (*.PDF)|*.PDF;|Tutti i file (*.*)|*.*"},
    };
    const auto& richieste = dialoghi.Servizio().Requests();
    ASSERT_EQ(richieste.size(), std::size(attesi));
    for (size_t i = 0; i < richieste.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(richieste[i].Kind, attesi[i].Tipo);
        EXPECT_EQ(richieste[i].File.DefaultExt, attesi[i].Estensione);
        EXPECT_EQ(richieste[i].File.Filter, attesi[i].Filtro);
    }
}

TEST_F(Esportazione, WithoutWritersTheCommandSaysItIsMissing)
{
    TDialoghiScritti dialoghi;
    dialoghi.Servizio().AnswerAll(TDialogKind::SaveFile, TDialogAnswer::File("/tmp/x.csv"));
    EXPECT_THROW(SalvaComeCsvPredefinito(Tabella.get()), EInvalidOperation);
    EXPECT_THROW(SalvaComeHtml(Tabella.get()), EInvalidOperation);
    EXPECT_FALSE(fs::exists("/tmp/x.csv"));
}

namespace {

// The sheet as xlrd reads it: one line per row, cells as T:text, N:number or E (empty).
std::string LettoDaXlrd(const std::string& file)
{
    const std::string script =
        "import sys, xlrd\n"
        "s = xlrd.open_workbook(sys.argv[1], encoding_override='cp1252').sheet_by_index(0)\n"
        "for r in range(s.nrows):\n"
        "    celle = []\n"
        "    for c in s.row(r):\n"
        "        celle.append({0: 'E', 1: 'T:%s' % c.value, 2: 'N:%r' % c.value}.get(c.ctype, '?'))\n"
        "    sys.stdout.buffer.write(('|'.join(celle) + '\\n').encode('utf-8'))\n";
    return UscitaDi("/usr/bin/python3 -c \"" + script + "\" '" + file + "' 2>&1");
}

} // namespace

TEST_F(Esportazione, TheRealLibraryWritesASheetThatXlrdReads)
{
    CollegaLibreriaVera();
    TDialoghiScritti dialoghi;
    dialoghi.Servizio().Expect(TDialogKind::SaveFile, TDialogAnswer::File(Uscita()));
    SalvaComeXls(Tabella.get());
    const std::string atteso =
        "T:Nome|T:Attivo|T:Pezzi|T:Peso|T:Prezzo|T:Data|T:Foto\n"
        "T:Vite|T:True|N:10.0|N:0.5|N:2.25|T:01/03/2009|E\n"
        "T:Caff\xC3\xA8|T:False|N:20.0|N:1.5|N:4.5|T:02/03/2009|E\n"
        "T:Dado|T:True|N:30.0|N:2.5|N:6.75|T:03/03/2009|E\n";
    EXPECT_EQ(LettoDaXlrd(Uscita()), atteso);
    fs::remove(Uscita());
    EXPECT_EQ(EsportaXls(Tabella.get(), Uscita()), 3);
    EXPECT_EQ(LettoDaXlrd(Uscita()), atteso);
    EXPECT_EQ(Tabella->FieldByName("Nome")->AsString(), "Caff\xE8");
    EXPECT_EQ(GetModuleHandleA(Libreria().c_str()), nullptr);
}

TEST_F(Esportazione, OddValuesAndUnwritableTargets)
{
    CollegaLibreriaVera();
    TzelMemTable strana(nullptr);
    strana.FieldDefs().Add("Testo", ftString, 300);
    strana.FieldDefs().Add("Valore", ftFloat);
    strana.CreateTable();
    strana.Open();
    const double valori[] = {std::numeric_limits<double>::quiet_NaN(),
                             std::numeric_limits<double>::infinity(),
                             -std::numeric_limits<double>::infinity()};
    for (double valore : valori) {
        strana.Append();
        strana.FieldByName("Testo")->SetAsString(std::string("a\0b", 3) + std::string(280, '\xE0'));
        strana.FieldByName("Valore")->SetAsFloat(valore);
        strana.Post();
    }
    EXPECT_EQ(EsportaXls(&strana, Uscita()), 3);
    const std::string letto = LettoDaXlrd(Uscita());
    EXPECT_NE(letto.find("|N:nan\n"), std::string::npos) << letto;
    EXPECT_NE(letto.find("|N:inf\n"), std::string::npos) << letto;
    EXPECT_NE(letto.find("|N:-inf\n"), std::string::npos) << letto;

    const std::string cartella = Programma.Percorso() + "/manca/";
    EXPECT_EQ(MessaggioDi([&] { EsportaXls(&strana, cartella + "x.xls"); }),
              "Impossibile salvare il file '" + cartella + "x.xls'.");
    EXPECT_FALSE(fs::exists(cartella));
}
