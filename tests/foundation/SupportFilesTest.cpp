#include "foundation/SupportFiles.h"

#include "FoundationTestUtils.h"
#include "platform/rtl/Exceptions.h"
#include "platform/rtl/Files.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utime.h>

#include <array>
#include <ctime>
#include <sstream>

namespace {

namespace fs = std::filesystem;

std::vector<std::string> Parole(const std::string& testo)
{
    std::istringstream flusso(testo);
    std::vector<std::string> parole;
    for (std::string parola; flusso >> parola;)
        parole.push_back(parola);
    return parole;
}

// The program folder pointed at a temporary folder for the test's life.
class SupportFiles : public ::testing::Test {
protected:
    void SetUp() override { ImpostaCartellaApplicazione(Programma.Percorso()); }
    void TearDown() override { ImpostaCartellaApplicazione(""); }

    TCartellaTemporanea Programma;
};

} // namespace

TEST_F(SupportFiles, SubfoldersOfTheProgramFolderAreMadeOnce)
{
    EXPECT_EQ(CartellaApplicazione(), Programma.Percorso() + "\\");
    const std::string temp = SottocartellaApplicazione("Temp");
    EXPECT_EQ(temp, CartellaApplicazione() + "Temp\\");
    struct stat prima;
    ASSERT_EQ(stat((Programma.Percorso() + "/Temp").c_str(), &prima), 0);
    ASSERT_EQ(utimensat(AT_FDCWD, (Programma.Percorso() + "/Temp").c_str(),
                        std::array<timespec, 2>{timespec{1000, 0}, timespec{1000, 0}}.data(), 0),
              0);
    EXPECT_EQ(SottocartellaApplicazione("Temp"), temp);
    EXPECT_EQ(CartellaTemp(), CartellaApplicazione() + "Temp\\");
    struct stat dopo;
    ASSERT_EQ(stat((Programma.Percorso() + "/Temp").c_str(), &dopo), 0);
    EXPECT_EQ(dopo.st_ino, prima.st_ino);
    EXPECT_EQ(dopo.st_mtime, 1000);

    fs::create_directory(Programma.Percorso() + "/Libs");
    EXPECT_EQ(SottocartellaApplicazione("libs"), CartellaApplicazione() + "libs\\");
    EXPECT_FALSE(fs::exists(Programma.Percorso() + "/libs"));

    SottocartellaApplicazione("a\\b");
    EXPECT_TRUE(fs::is_directory(Programma.Percorso() + "/a/b"));

    // Without a folder of its own, the program folder is the one of the running program.
    ImpostaCartellaApplicazione("");
    EXPECT_EQ(CartellaApplicazione(),
              fs::read_symlink("/proc/self/exe").parent_path().string() + "\\");
}

TEST_F(SupportFiles, ASubfolderThatCannotBeMadeRaisesNamingIt)
{
    ScriviFile(Programma.Percorso() + "/file");
    ImpostaCartellaApplicazione(Programma.Percorso() + "/file/sotto");
    try {
        SottocartellaApplicazione("Temp");
        FAIL() << "no error";
    } catch (const EInOutError& errore) {
        EXPECT_NE(errore.Message.find("Temp"), std::string::npos) << errore.Message;
    }
}

TEST_F(SupportFiles, ListingFilesByMask)
{
    const std::string dati = Programma.Percorso() + "/dati";
    fs::create_directory(dati);
    for (const char* nome : {"Doc1.tsd", "doc2.TSD", ".nascosto.tsd", "x.txt", "Doc12.tsd"})
        ScriviFile(dati + "/" + nome);
    fs::create_directory(dati + "/FT.tsd");
    fs::create_symlink(dati + "/FT.tsd", dati + "/Cartella.tsd");
    const std::string cartella = Programma.Percorso() + "\\DATI\\";

    struct Caso {
        std::string Maschera;
        std::vector<std::string> Nomi;
    };
    const std::vector<Caso> casi = {
        {"*.tsd", {".nascosto.tsd", "Doc1.tsd", "Doc12.tsd", "doc2.TSD"}},
        {"Doc?.tsd", {"Doc1.tsd", "doc2.TSD"}},
        {"*.*", {".nascosto.tsd", "Doc1.tsd", "Doc12.tsd", "doc2.TSD", "x.txt"}},
        {"*", {".nascosto.tsd", "Doc1.tsd", "Doc12.tsd", "doc2.TSD", "x.txt"}},
        {"x.*", {"x.txt"}},
        {"FT.tsd", {}},
        {"", {}},
    };
    for (const Caso& caso : casi) {
        std::vector<std::string> attese;
        for (const std::string& nome : caso.Nomi)
            attese.push_back(cartella + nome);
        EXPECT_EQ(Righe(*ElencoFile(cartella + caso.Maschera)), attese) << caso.Maschera;
    }
    EXPECT_EQ(ElencoFile(Programma.Percorso() + "/manca/*.*")->Count(), 0);
    EXPECT_EQ(ElencoFile(Programma.Percorso() + "/dati/x.txt/*.*")->Count(), 0);

    // Without a folder part the current folder is listed.
    const std::string corrente = GetCurrentDir();
    ASSERT_TRUE(SetCurrentDir(dati));
    EXPECT_EQ(Righe(*ElencoFile("*.TXT")), std::vector<std::string>{"x.txt"});
    SetCurrentDir(corrente);
}

TEST_F(SupportFiles, MaskMatchingAgreesWithPythonFnmatch)
{
    const auto righe = RigheDi(FileDiPeer("maschere.txt"));
    ASSERT_GT(righe.size(), 1u);
    const std::string cartella = Programma.Percorso() + "/nomi";
    fs::create_directory(cartella);
    for (const std::string& nome : Parole(righe[0]))
        ScriviFile(cartella + "/" + nome);
    for (size_t i = 1; i < righe.size(); ++i) {
        const size_t tab = righe[i].find('\t');
        const std::string maschera = righe[i].substr(0, tab);
        std::vector<std::string> attese;
        for (const std::string& nome : Parole(righe[i].substr(tab + 1)))
            attese.push_back(cartella + "/" + nome);
        EXPECT_EQ(Righe(*ElencoFile(cartella + "/" + maschera)), attese) << maschera;
    }
}

TEST_F(SupportFiles, NamesOfFiles)
{
    EXPECT_EQ(NomeSenzaEstensione("C:\\x\\Doc12.A - Rossi (8-3-2009).tsd"),
              "Doc12.A - Rossi (8-3-2009)");
    EXPECT_EQ(NomeSenzaEstensione("/x/Doc12.A - Rossi (8-3-2009).tsd"),
              "Doc12.A - Rossi (8-3-2009)");
    EXPECT_EQ(NomeSenzaEstensione("README"), "README");
    EXPECT_EQ(NomeSenzaEstensione("a.b/README"), "README");
    EXPECT_EQ(NomeSenzaEstensione(""), "");

    EXPECT_TRUE(NomeFileNonValido("a>b"));
    EXPECT_TRUE(NomeFileNonValido("a\\b"));
    EXPECT_FALSE(NomeFileNonValido("a|b"));
    EXPECT_FALSE(NomeFileNonValido(""));

    struct Caso {
        int Anno, Mese, Giorno;
        std::string Testo;
    };
    for (const Caso& caso : std::vector<Caso>{{2009, 3, 8, "8_3_2009"},
                                              {2010, 1, 1, "1_1_2010"},
                                              {2009, 12, 18, "18_12_2009"}})
        EXPECT_EQ(DataPerNomeFile(EncodeDate(caso.Anno, caso.Mese, caso.Giorno) + 0.75),
                  caso.Testo);
}

TEST_F(SupportFiles, DateAndTimeOfAFile)
{
    const std::string file = Programma.Percorso() + "/Fattura.tsd";
    ScriviFile(file);
    std::tm locale{};
    locale.tm_year = 2009 - 1900;
    locale.tm_mon = 2;
    locale.tm_mday = 8;
    locale.tm_hour = 14;
    locale.tm_min = 5;
    locale.tm_sec = 7;
    locale.tm_isdst = -1;
    const utimbuf tempi{std::mktime(&locale), std::mktime(&locale)};
    ASSERT_EQ(utime(file.c_str(), &tempi), 0);
    EXPECT_EQ(DataOraFile(file), "08/03/2009 14.05.06");
    EXPECT_EQ(DataOraFile(Programma.Percorso() + "\\FATTURA.TSD"), "08/03/2009 14.05.06");
    EXPECT_EQ(DataOraFile(Programma.Percorso() + "/manca.tsd"), "");
    EXPECT_EQ(DataOraFile(Programma.Percorso()), "");
    EXPECT_EQ(DataOraFile(""), "");
}

TEST_F(SupportFiles, DeletingFilesCountsThoseThatWent)
{
    TStringList percorsi;
    percorsi.Add(Programma.Percorso() + "/uno");
    percorsi.Add(Programma.Percorso() + "/manca");
    percorsi.Add(Programma.Percorso() + "\\DUE");
    ScriviFile(Programma.Percorso() + "/uno");
    ScriviFile(Programma.Percorso() + "/due");
    EXPECT_EQ(CancellaFile(percorsi), 2);
    EXPECT_FALSE(fs::exists(Programma.Percorso() + "/uno"));
    EXPECT_FALSE(fs::exists(Programma.Percorso() + "/due"));
}

TEST_F(SupportFiles, CurrentFolder)
{
    const std::string corrente = GetCurrentDir();
    ASSERT_EQ(chdir(Programma.Percorso().c_str()), 0);
    EXPECT_EQ(CartellaCorrente(), fs::canonical(Programma.Percorso()).string());
    ASSERT_EQ(chdir("/"), 0);
    EXPECT_EQ(CartellaCorrente(), "/");
    ASSERT_EQ(chdir(corrente.c_str()), 0);
}

TEST_F(SupportFiles, CheckingAnInterfaceFile)
{
    TRegistraBox registro;
    EXPECT_FALSE(VerificaInterfaccia(Programma.Percorso() + "/Clienti.hdr"));
    ASSERT_EQ(registro.Box.size(), 1u);
    EXPECT_EQ(registro.Box[0].Titolo, "Interfacce non impostate");
    EXPECT_EQ(registro.Box[0].Tipo, MB_OK | MB_ICONERROR);
    EXPECT_EQ(registro.Box[0].Testo,
              "Nessuna interfaccia per CSV definita. Prima di procedere all'importazione \xE8 "
              "necessario impostare l'interfaccia CSV.");

    ScriviFile(Programma.Percorso() + "/Clienti.hdr");
    EXPECT_TRUE(VerificaInterfaccia(Programma.Percorso() + "/Clienti.hdr"));
    EXPECT_EQ(registro.Box.size(), 1u);
}
