#include "foundation/Configurazione.h"

#include "FoundationTestUtils.h"
#include "foundation/SecHash.h"
#include "foundation/SupportFiles.h"
#include "platform/os/Registry.h"
#include "platform/os/RegistryStore.h"
#include "platform/rtl/Files.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <utime.h>

#include <cstdio>
#include <filesystem>

namespace {

namespace fs = std::filesystem;

const std::string Generale = "Ventisca,Tessellarium,Generale";
const std::string Versioning = "Ventisca,Tessellarium,Versioning";

// A temporary program folder and a registry file of its own, for the test's life.
class Configurazione : public ::testing::Test {
protected:
    void SetUp() override
    {
        ImpostaCartellaApplicazione(Programma.Percorso());
        SetRegistryFile(Programma.Percorso() + "/registry.reg");
    }
    void TearDown() override
    {
        SetRegistryFile("");
        ImpostaCartellaApplicazione("");
    }

    std::string Nel(const std::string& nome) const { return Programma.Percorso() + "/" + nome; }
    std::string FileIni() const { return ResolvePath(PercorsoFileIni()); }
    void SupportoCon(const std::string& contenuto) const { ScriviFile(Nel("Support.dat"), contenuto); }

    TCartellaTemporanea Programma;
};

class ConfigurazionePortatile : public Configurazione {
protected:
    void SetUp() override
    {
        Configurazione::SetUp();
        InizializzaConfigurazione("Ventisca\\Tessellarium", 1);
    }
};

class ConfigurazioneRegistro : public Configurazione {
protected:
    void SetUp() override
    {
        Configurazione::SetUp();
        InizializzaConfigurazione("Ventisca\\Tessellarium", 0);
    }

    // Writes a string value straight into the registry, creating its key.
    static void Metti(const std::string& chiave, const std::string& nome, const std::string& valore)
    {
        TRegistry registro;
        ASSERT_TRUE(registro.OpenKey(chiave, true));
        registro.WriteString(nome, valore);
    }
};

} // namespace

TEST(ConfigurazioneNonAperta, ReadsGiveTheDefaultAndWritesFail)
{
    // In a process of its own, so that no other test has opened the store yet.
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            const bool giusto = LeggiImpostazione(Generale, "Valuta", "d") == "d" &&
                                !ScriviImpostazione(Generale, "Valuta", "x") && PercorsoFileIni().empty() &&
                                ChiaveRegistro().empty();
            std::exit(giusto ? 0 : 1);
        },
        ::testing::ExitedWithCode(0), "");
}

TEST_F(ConfigurazionePortatile, OpeningMakesTheConfigFolderAndTheKeyFile)
{
    EXPECT_EQ(ModoConfigurazione(), 1);
    EXPECT_TRUE(fs::is_directory(Nel("Config/Ventisca")));
    EXPECT_TRUE(fs::is_regular_file(Nel("Support.dat")));
    const std::string percorso = PercorsoFileIni();
    const std::string fine = "Config\\Ventisca\\Tessellarium.ini";
    ASSERT_GE(percorso.size(), fine.size());
    EXPECT_EQ(percorso.substr(percorso.size() - fine.size()), fine);
    EXPECT_EQ(ChiaveRegistro(), "");
}

TEST_F(ConfigurazionePortatile, WrittenValueIsAnIniLineThatPythonReads)
{
    EXPECT_TRUE(ScriviImpostazione(Versioning, "Database", "3.0.18"));
    EXPECT_EQ(ContenutoDi(FileIni()), "[Ventisca,Tessellarium,Versioning]\r\nDatabase=3.0.18\r\n");
    const std::string comando =
        "python3 -c \"import configparser as c; p=c.ConfigParser(interpolation=None); p.read('" + FileIni() +
        "'); print(p['Ventisca,Tessellarium,Versioning']['database'])\"";
    EXPECT_EQ(UscitaDi(comando), "3.0.18\n");
    EXPECT_EQ(LeggiImpostazione(Versioning, "Database", "1.0.0"), "3.0.18");
}

TEST_F(ConfigurazionePortatile, ValuesReadBackWholeOrAsTheDefault)
{
    ScriviFile(FileIni(), "[Ventisca,Tessellarium,Generale]\r\nSmtpPort=\r\n");
    EXPECT_EQ(LeggiImpostazione(Generale, "SmtpPort", "smtp"), "smtp");
    EXPECT_EQ(LeggiImpostazione(Generale, "SmtpHost", "assente"), "assente");

    EXPECT_TRUE(ScriviImpostazione(Generale, "Valuta", "\x80"));
    EXPECT_NE(ContenutoDi(FileIni()).find("Valuta=\x80\r\n"), std::string::npos);
    EXPECT_EQ(LeggiImpostazione(Generale, "Valuta", ""), "\x80");

    std::string lungo;
    for (int i = 0; i < 10000; ++i)
        lungo += static_cast<char>('a' + i % 26);
    EXPECT_TRUE(ScriviImpostazione(Generale, "Lungo", lungo));
    EXPECT_EQ(LeggiImpostazione(Generale, "Lungo", ""), lungo);
}

TEST_F(ConfigurazionePortatile, FailuresGiveFalseOrTheDefaultWithoutThrowing)
{
    ASSERT_TRUE(ScriviImpostazione(Generale, "Valuta", "EUR"));
    const std::string prima = ContenutoDi(FileIni());
    // A value the file cannot hold faithfully is refused and the file stays as it was.
    EXPECT_FALSE(ScriviImpostazione(Generale, "Firma", "riga\r\naltra"));
    EXPECT_EQ(ContenutoDi(FileIni()), prima);

    fs::remove(FileIni());
    fs::create_directory(FileIni());
    bool scritto = true;
    EXPECT_NO_THROW(scritto = ScriviImpostazione(Generale, "Valuta", "X"));
    EXPECT_FALSE(scritto);
    EXPECT_EQ(LeggiImpostazione(Generale, "Valuta", "d"), "d");
}

TEST_F(ConfigurazioneRegistro, KeyNameAndSectionsAsKeysOfTheirOwn)
{
    EXPECT_EQ(ModoConfigurazione(), 0);
    EXPECT_EQ(ChiaveRegistro(), "Software\\Ventisca\\Tessellarium\\");
    EXPECT_EQ(PercorsoFileIni(), "");

    EXPECT_TRUE(ScriviImpostazione(Generale, "Valuta", "\x80"));
    TRegistry registro;
    ASSERT_TRUE(registro.OpenKeyReadOnly("Software\\Ventisca\\Tessellarium\\Generale"));
    EXPECT_EQ(registro.ReadString("Valuta"), "\x80");
    registro.CloseKey();
    EXPECT_EQ(LeggiImpostazione(Generale, "Valuta", ""), "\x80");

    // The value is on disk: a new run reading the file finds it.
    SetRegistryFile(Nel("registry.reg"));
    EXPECT_EQ(LeggiImpostazione(Generale, "Valuta", ""), "\x80");
}

TEST_F(ConfigurazioneRegistro, MissingPartsAreSkippedWhenReading)
{
    struct Caso {
        const char* Chiave;
        const char* Valore;
        const char* Atteso;
    };
    const Caso casi[] = {
        {"Software\\Ventisca\\Generale", "Y", "Y"},
        {"Software\\Ventisca", "X", "X"},
        {"Software\\Ventisca\\Tessellarium\\Generale", "", "predefinito"},
    };
    for (const Caso& caso : casi) {
        SCOPED_TRACE(caso.Chiave);
        TRegistry().DeleteKey("\\Software");
        Metti(caso.Chiave, "Valuta", caso.Valore);
        EXPECT_EQ(LeggiImpostazione(Generale, "Valuta", "predefinito"), caso.Atteso);
    }
}

TEST_F(ConfigurazioneRegistro, UnreadableValuesAndUnwritableStoreAreQuiet)
{
    {
        TRegistry registro;
        ASSERT_TRUE(registro.OpenKey("Software\\Ventisca\\Tessellarium\\Generale", true));
        registro.WriteInteger("Valuta", 5);
    }
    EXPECT_EQ(LeggiImpostazione(Generale, "Valuta", "d"), "d");

    // A store whose file cannot be saved: the write reports it.
    ScriviFile(Nel("unfile"));
    SetRegistryFile(Nel("unfile/registry.reg"));
    bool scritto = true;
    EXPECT_NO_THROW(scritto = ScriviImpostazione(Generale, "Valuta", "X"));
    EXPECT_FALSE(scritto);
}

TEST_F(ConfigurazioneRegistro, ASecondOpeningReplacesTheStore)
{
    InizializzaConfigurazione("Ventisca\\Tessellarium", 1);
    EXPECT_EQ(ModoConfigurazione(), 1);
    EXPECT_EQ(ChiaveRegistro(), "");
    EXPECT_TRUE(ScriviImpostazione(Generale, "Valuta", "INI"));
    EXPECT_TRUE(fs::is_regular_file(FileIni()));
    TRegistry registro;
    EXPECT_FALSE(registro.KeyExists("\\Software\\Ventisca"));
}

// --- Key file and encrypted setting -------------------------------------------------------------

TEST_F(Configurazione, KeyFileIsMadeOnceWithWordsInRange)
{
    CreaFileSupporto("Support.dat");
    const std::string byte = ContenutoDi(Nel("Support.dat"));
    EXPECT_GE(byte.size(), 4096u);
    EXPECT_LE(byte.size(), 9210u);
    // Undo the text-mode line ends and check the words themselves.
    std::string parole;
    for (size_t i = 0; i < byte.size(); ++i) {
        if (byte[i] == '\n') {
            ASSERT_TRUE(i > 0 && byte[i - 1] == '\r') << "0A without 0D at " << i;
            parole.pop_back();
        }
        parole += byte[i];
    }
    ASSERT_EQ(parole.size() % 4, 0u);
    EXPECT_GE(parole.size() / 4, 1024u);
    EXPECT_LE(parole.size() / 4, 1535u);
    for (size_t i = 0; i < parole.size(); i += 4) {
        const uint32_t parola = static_cast<unsigned char>(parole[i]) |
                                static_cast<unsigned char>(parole[i + 1]) << 8 |
                                static_cast<unsigned char>(parole[i + 2]) << 16 |
                                static_cast<uint32_t>(static_cast<unsigned char>(parole[i + 3])) << 24;
        ASSERT_GE(parola, 50u);
        ASSERT_LE(parola, 23703u);
    }

    utimbuf vecchio{1000000, 1000000};
    ASSERT_EQ(utime(Nel("Support.dat").c_str(), &vecchio), 0);
    CreaFileSupporto("support.DAT");
    CreaFileSupporto("Support.dat");
    EXPECT_EQ(ContenutoDi(Nel("Support.dat")), byte);
    struct stat info;
    ASSERT_EQ(stat(Nel("Support.dat").c_str(), &info), 0);
    EXPECT_EQ(info.st_mtime, 1000000);
    int file = 0;
    for ([[maybe_unused]] const auto& voce : fs::directory_iterator(Programma.Percorso()))
        ++file;
    EXPECT_EQ(file, 1) << "no second key file and no temporary left";
}

TEST_F(ConfigurazionePortatile, DerivedKeyComesFromTheKeyFilesDigest)
{
    SupportoCon("");
    EXPECT_EQ(ChiaveDerivata(), "56018903255BFEF");
    SupportoCon("abc");
    EXPECT_EQ(ChiaveDerivata(), "850C26CBA3E2571");
}

TEST_F(ConfigurazionePortatile, EncryptedValuesAreStoredAsKnownLettersAndReadBack)
{
    struct Caso {
        const char* Supporto;
        std::string Valore;
        const char* Memorizzato;
    };
    const Caso casi[] = {
        {"", "segreto", "koidioplhclcbjnejdipaaagmhfm"},
        {"abc", "segreto", "cadfibfkalcjghadjapdcpogjnle"},
        {"", "Perch\xE9\x80", "kadejkcbgncfbibbiaolbcoaipop"},
        {"", "", ""},
    };
    for (const Caso& caso : casi) {
        SCOPED_TRACE(caso.Valore);
        SupportoCon(caso.Supporto);
        EXPECT_TRUE(ScriviImpostazioneCifrata(Generale, "SmtpPass", caso.Valore));
        EXPECT_EQ(LeggiImpostazione(Generale, "SmtpPass", ""), caso.Memorizzato);
        EXPECT_EQ(LeggiImpostazioneCifrata(Generale, "SmtpPass", ""), caso.Valore);
    }
    EXPECT_EQ(LeggiImpostazioneCifrata(Generale, "Assente", "x"), "x");
}

TEST_F(Configurazione, LongEncryptedValuesRoundTripInBothStores)
{
    std::string valore;
    for (int i = 0; i < 3000; ++i)
        valore += static_cast<char>(1 + (i * 37) % 255);
    for (uint8_t modo : {1, 0}) {
        SCOPED_TRACE(static_cast<int>(modo));
        InizializzaConfigurazione("Ventisca\\Tessellarium", modo);
        ASSERT_TRUE(ScriviImpostazioneCifrata(Generale, "SmtpPass", valore));
        const std::string lettere = LeggiImpostazione(Generale, "SmtpPass", "");
        EXPECT_EQ(lettere.size(), 12000u);
        EXPECT_EQ(lettere.find_first_not_of("abcdefghijklmnop"), std::string::npos);
        EXPECT_EQ(LeggiImpostazioneCifrata(Generale, "SmtpPass", ""), valore);
    }
}

TEST_F(ConfigurazionePortatile, OddStoredTextsDecipherWithoutErrors)
{
    ASSERT_TRUE(ScriviImpostazioneCifrata(Generale, "SmtpPass", "segreto"));
    SupportoCon("un altro file");
    std::string letto;
    EXPECT_NO_THROW(letto = LeggiImpostazioneCifrata(Generale, "SmtpPass", ""));
    EXPECT_NE(letto, "segreto");

    const std::string strani[] = {"abc", "zz!!QQ", std::string(100000, 'k'), "\x80\xFF"};
    for (const std::string& testo : strani) {
        ASSERT_TRUE(ScriviImpostazione(Generale, "SmtpPass", testo));
        EXPECT_NO_THROW(LeggiImpostazioneCifrata(Generale, "SmtpPass", ""));
    }
}

TEST_F(ConfigurazionePortatile, MissingKeyFileRaisesTheDigestError)
{
    ASSERT_TRUE(ScriviImpostazione(Generale, "SmtpPass", "abcd"));
    fs::remove(Nel("Support.dat"));
    for (int lettura = 0; lettura < 2; ++lettura) {
        try {
            if (lettura)
                LeggiImpostazioneCifrata(Generale, "SmtpPass", "");
            else
                ScriviImpostazioneCifrata(Generale, "SmtpPass", "x");
            ADD_FAILURE() << "no exception";
        } catch (const ESecHashException& e) {
            EXPECT_EQ(e.Message, "File not found !");
        }
    }
}
