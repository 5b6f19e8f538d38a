#include "foundation/Log.h"

#include "FoundationTestUtils.h"
#include "platform/rtl/DateTime.h"
#include "platform/rtl/Exceptions.h"
#include "platform/rtl/Streams.h"

#include <gtest/gtest.h>

#include <sys/utsname.h>

#include <cstring>

namespace {

namespace fs = std::filesystem;

// The clock stands at 8 March 2009 14:05:07 and moves only when told.
class Log : public ::testing::Test {
protected:
    void SetUp() override
    {
        Adesso = EncodeDate(2009, 3, 8) + EncodeTime(14, 5, 7, 0);
        SetClock([this] { return Adesso; });
    }
    void TearDown() override { ResetClock(); }

    std::string Cartella() const { return Base.Percorso() + "/Debug/sotto"; }
    std::string FileDelGiorno() const { return Cartella() + "/Log_8_3_2009.log"; }

    TDateTime Adesso = 0;
    TCartellaTemporanea Base;
};

const std::string Timbro = "08/03/2009 14.05.07: ";

} // namespace

TEST_F(Log, TheFileOfTheDayInAFolderMadeLevelByLevel)
{
    TLog log(Cartella());
    EXPECT_TRUE(fs::is_directory(Cartella()));
    EXPECT_EQ(log.Percorso(), Cartella() + "\\Log_8_3_2009.log");
    EXPECT_FALSE(fs::exists(FileDelGiorno()));

    Adesso = EncodeDate(2009, 12, 18) + EncodeTime(0, 0, 1, 0);
    EXPECT_EQ(TLog(Cartella() + "\\").Percorso(), Cartella() + "\\Log_18_12_2009.log");
}

TEST_F(Log, LinesEndInCrCrLf)
{
    struct Caso {
        std::string Testo;
        std::string Byte;
    };
    const std::vector<Caso> casi = {
        {"x", Timbro + "x\r\r\n"},
        {"", Timbro + "\r\r\n"},
        {"a\nb", Timbro + "a\r\nb\r\r\n"},
        {"a\r\nb", Timbro + "a\r\r\nb\r\r\n"},
        {std::string("\0\xE8", 2), Timbro + std::string("\0\xE8\r\r\n", 5)},
    };
    for (const Caso& caso : casi) {
        fs::remove(FileDelGiorno());
        TLog(Cartella()).Scrivi(caso.Testo);
        EXPECT_EQ(ContenutoDi(FileDelGiorno()), caso.Byte);
    }
    // The exact bytes of one line, written out.
    const unsigned char attesi[] = {0x30, 0x38, 0x2f, 0x30, 0x33, 0x2f, 0x32, 0x30, 0x30,
                                    0x39, 0x20, 0x31, 0x34, 0x2e, 0x30, 0x35, 0x2e, 0x30,
                                    0x37, 0x3a, 0x20, 0x78, 0x0d, 0x0d, 0x0a};
    fs::remove(FileDelGiorno());
    TLog(Cartella()).Scrivi("x");
    const std::string scritto = ContenutoDi(FileDelGiorno());
    ASSERT_EQ(scritto.size(), sizeof attesi);
    EXPECT_EQ(std::memcmp(scritto.data(), attesi, sizeof attesi), 0);
}

TEST_F(Log, StampsFollowTheClock)
{
    TLog log(Cartella());
    TStringList elenco;
    elenco.Add("a");
    elenco.Add("b");
    elenco.Add("c");
    // A clock that moves at every reading still gives one stamp to the whole list.
    SetClock([this] { return Adesso += 1.0 / SecsPerDay; });
    log.ScriviElenco(elenco);
    EXPECT_EQ(ContenutoDi(FileDelGiorno()), "08/03/2009 14.05.08: a\r\r\n"
                                            "08/03/2009 14.05.08: b\r\r\n"
                                            "08/03/2009 14.05.08: c\r\r\n");
    log.Scrivi("d");
    log.Scrivi("e");
    EXPECT_EQ(ContenutoDi(FileDelGiorno()).substr(75), "08/03/2009 14.05.09: d\r\r\n"
                                                       "08/03/2009 14.05.10: e\r\r\n");
}

TEST_F(Log, EachCallOpensAndClosesTheFile)
{
    TLog log(Cartella());
    log.Scrivi("1");
    fs::rename(FileDelGiorno(), Cartella() + "/altrove.log");
    log.Scrivi("2");
    EXPECT_EQ(ContenutoDi(FileDelGiorno()), Timbro + "2\r\r\n");
    EXPECT_EQ(ContenutoDi(Cartella() + "/altrove.log"), Timbro + "1\r\r\n");
}

TEST_F(Log, FailuresReachTheCaller)
{
    ScriviFile(Base.Percorso() + "/file");
    try {
        TLog log(Base.Percorso() + "/file/Debug");
        FAIL() << "no error";
    } catch (const EInOutError& errore) {
        EXPECT_NE(errore.Message.find("Debug"), std::string::npos) << errore.Message;
    }

    TLog log(Cartella());
    fs::create_directory(FileDelGiorno());
    EXPECT_THROW(log.Scrivi("x"), EStreamError);
    TStringList elenco;
    elenco.Add("x");
    EXPECT_THROW(log.ScriviElenco(elenco), EStreamError);
    EXPECT_TRUE(fs::is_empty(FileDelGiorno()));
}

TEST(VersioneWindows, NamesOfTheVersions)
{
    struct Caso {
        uint32_t Piattaforma, Maggiore, Minore, Build;
        std::string Nome;
    };
    const std::vector<Caso> casi = {
        {1, 4, 0, 950, "Windows 95"},
        {1, 4, 0, 1000, "Windows 95 SP1"},
        {1, 4, 0, 1080, "Windows 95 SP1"},
        {1, 4, 0, 1111, "Windows 95 OSR2"},
        {1, 4, 0, 900, "unknown Windows version"},
        {1, 4, 0, 0x10000 + 950, "Windows 95"},
        {1, 4, 10, 1998, "Windows 98"},
        {1, 4, 10, 2000, "Windows 98 SP1"},
        {1, 4, 10, 2182, "Windows 98 SP1"},
        {1, 4, 10, 2222, "Windows 98 SE"},
        {1, 4, 10, 1997, "unknown Windows version"},
        {1, 4, 90, 3000, "Windows ME"},
        {1, 5, 0, 950, "unknown Windows version"},
        {2, 3, 51, 1057, "Windows NT 3.51"},
        {2, 4, 0, 1381, "Windows NT 4"},
        {2, 5, 0, 2195, "Windows 2000"},
        {2, 5, 1, 2600, "Windows XP"},
        {2, 5, 2, 3790, "Windows Server 2003"},
        {2, 6, 0, 6000, "unknown Windows version"},
        {3, 7, 3, 12, "Windows CE"},
        {10, 6, 1, 0, "unknown Windows version"},
        {0, 3, 10, 0, "unknown Windows version"},
    };
    for (const Caso& caso : casi)
        EXPECT_EQ(NomeVersioneWindows(caso.Piattaforma, caso.Maggiore, caso.Minore, caso.Build),
                  caso.Nome)
            << caso.Piattaforma << " " << caso.Maggiore << "." << caso.Minore << " " << caso.Build;
}

TEST(VersioneWindows, OnThisSystemTheVersionNamesLinux)
{
    ImpostaFonteVersione(nullptr);
    utsname sistema{};
    ASSERT_EQ(uname(&sistema), 0);
    EXPECT_EQ(NomeVersioneSistema(), "unknown Windows version");
    EXPECT_TRUE(VersioneSistema().Letta);
    EXPECT_EQ(VersioneSistema().ServicePack, std::string("Linux ") + sistema.release);
}

TEST(VersioneWindows, TheSystemIsAskedOnceAndTheExtendedFormOnlyAboveNt4)
{
    struct Caso {
        uint32_t Piattaforma, Maggiore;
        std::vector<DWORD> Richieste;
        std::string Nome;
    };
    const std::vector<Caso> casi = {
        {2, 5, {148, 156}, "Windows XP"},
        {2, 4, {148}, "unknown Windows version"},
        {1, 4, {148}, "Windows 95 OSR2"},
    };
    for (const Caso& caso : casi) {
        std::vector<DWORD> richieste;
        ImpostaFonteVersione([&](OSVERSIONINFOEXA& info) {
            richieste.push_back(info.dwOSVersionInfoSize);
            info.dwPlatformId = caso.Piattaforma;
            info.dwMajorVersion = caso.Maggiore;
            info.dwMinorVersion = 1;
            info.dwBuildNumber = 2600;
            std::memset(info.szCSDVersion, 'S', sizeof info.szCSDVersion); // not terminated
            return TRUE;
        });
        LeggiVersioneSistema();
        LeggiVersioneSistema();
        NomeVersioneSistema();
        EXPECT_EQ(richieste, caso.Richieste) << caso.Piattaforma << " " << caso.Maggiore;
        EXPECT_EQ(VersioneSistema().ServicePack, std::string(128, 'S'));
        EXPECT_EQ(NomeVersioneSistema(), caso.Nome);
    }

    int chiamate = 0;
    ImpostaFonteVersione([&](OSVERSIONINFOEXA&) {
        ++chiamate;
        return FALSE;
    });
    EXPECT_FALSE(VersioneSistema().Letta);
    EXPECT_FALSE(VersioneSistema().Letta);
    EXPECT_EQ(chiamate, 1);
    ImpostaFonteVersione(nullptr);
}
