#include "foundation/SupportSystem.h"

#include "FoundationTestUtils.h"
#include "platform/gui/ImageList.h"
#include "platform/os/ShellFileInfo.h"
#include "platform/os/ShellFolders.h"
#include "platform/rtl/SysErrors.h"
#include "platform/rtl/Threads.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <sys/stat.h>

namespace {

namespace fs = std::filesystem;

// The user's home is a temporary folder with a desktop for the test's life.
class TCasaTemporanea {
public:
    TCasaTemporanea()
    {
        if (const char* casa = std::getenv("HOME"))
            FPrecedente = casa;
        setenv("HOME", FCartella.Percorso().c_str(), 1);
        fs::create_directories(FCartella.Percorso() + "/Desktop");
    }
    ~TCasaTemporanea()
    {
        if (FPrecedente.empty())
            unsetenv("HOME");
        else
            setenv("HOME", FPrecedente.c_str(), 1);
    }
    TCasaTemporanea(const TCasaTemporanea&) = delete;
    TCasaTemporanea& operator=(const TCasaTemporanea&) = delete;

private:
    TCartellaTemporanea FCartella;
    std::string FPrecedente;
};

class SupportSystem : public ::testing::Test {
protected:
    static void SetUpTestSuite() { AvviaApplicazioneVisuale(); }

    TCartellaTemporanea Cartella;
    TDialoghiScritti Dialoghi;
};

TEST_F(SupportSystem, AProgramThatCannotStartGivesTheWarningBoxAndZero)
{
    const std::string mancante = "\"" + Cartella.Percorso() + "/Manca.exe\" \"pagina 1.html\"";
    const std::string enorme(100 * 1024, 'x');
    struct Caso {
        std::string Riga;
        bool ConCodice; // the box ends with the text of "file not found"
    };
    const Caso casi[] = {
        {mancante, true},
        {"", false},
        {"\"senza fine", false},
        {enorme, false},
    };
    for (const Caso& caso : casi) {
        SCOPED_TRACE(caso.Riga.substr(0, 40));
        const size_t prima = Dialoghi.Box().size();
        EXPECT_EQ(AvviaComando(caso.Riga), nullptr);
        const auto box = Dialoghi.Box();
        ASSERT_EQ(box.size(), prima + 1);
        EXPECT_EQ(box.back().Caption, "Error executing command");
        EXPECT_EQ(box.back().Icon, MB_ICONWARNING);
        EXPECT_EQ(box.back().Buttons, MB_OK);
        const std::string inizio = "Trying to open \"" + caso.Riga + "\"\r\n";
        EXPECT_EQ(box.back().Text.substr(0, inizio.size()), inizio);
        if (caso.ConCodice) {
            EXPECT_EQ(box.back().Text, inizio + FormatSystemMessage(ERROR_FILE_NOT_FOUND));
        }
    }
}

TEST_F(SupportSystem, TheHelpViewerGetsThePageAsOneArgument)
{
    const std::string aiuto = Cartella.Percorso() + "/Help";
    fs::create_directories(aiuto);
    const std::string argomenti = Cartella.Percorso() + "/argomenti.txt";
    ScriviFile(aiuto + "/Guidello", "#!/bin/sh\nprintf '%s\\n' \"$@\" > '" + argomenti + ".tmp'\nmv '" + argomenti +
                                        ".tmp' '" + argomenti + "'\n");
    chmod((aiuto + "/Guidello").c_str(), 0755);
    const std::string pagina = Cartella.Percorso() + "/Help/Guida in linea.html";

    const HANDLE processo = AvviaComando("\"" + aiuto + "/Guidello.exe\" \"" + pagina + "\"");
    EXPECT_NE(processo, nullptr);
    for (int attesa = 0; attesa < 500 && !fs::exists(argomenti); ++attesa)
        Sleep(10);
    EXPECT_EQ(ContenutoDi(argomenti), pagina + "\n");
    EXPECT_TRUE(Dialoghi.Box().empty());
}

TEST_F(SupportSystem, TheDesktopFolderWithItsIconsAndAnUnknownFolderLeftEmpty)
{
    TCasaTemporanea casa;
    char atteso[MAX_PATH] = {};
    ASSERT_TRUE(SHGetSpecialFolderPathA(nullptr, atteso, CSIDL_DESKTOPDIRECTORY, FALSE));
    StructSysPathInfo desktop(CSIDL_DESKTOPDIRECTORY);
    EXPECT_EQ(desktop.Path, atteso);
    EXPECT_GE(desktop.IconIndex, 0);
    EXPECT_GE(desktop.OpenIconIndex, 0);
    EXPECT_NE(desktop.ItemIdList, nullptr);

    for (int numero : {0x7777, -1, 0x3F}) {
        SCOPED_TRACE(numero);
        const StructSysPathInfo ignota(numero);
        EXPECT_EQ(ignota.Path, "");
        EXPECT_EQ(ignota.IconIndex, 0);
        EXPECT_EQ(ignota.OpenIconIndex, 0);
        EXPECT_EQ(ignota.ItemIdList, nullptr);
    }

    // Moving keeps one owner of the item list.
    StructSysPathInfo spostata(std::move(desktop));
    EXPECT_EQ(desktop.ItemIdList, nullptr);
    EXPECT_NE(spostata.ItemIdList, nullptr);
}

TEST_F(SupportSystem, SystemImageListsAreSharedAndOutliveEachOther)
{
    TCasaTemporanea casa;
    TComponent proprietario(nullptr);
    EXPECT_EQ(ImmaginiDiSistema("large", &proprietario), nullptr);
    EXPECT_EQ(ImmaginiDiSistema("", &proprietario), nullptr);
    EXPECT_EQ(ImmaginiDiSistema("LARGE ", &proprietario), nullptr);
    EXPECT_EQ(proprietario.ComponentCount(), 0);

    TImageList* grandi = ImmaginiDiSistema("LARGE", &proprietario);
    TImageList* piccole = ImmaginiDiSistema("SMALL", &proprietario);
    ASSERT_NE(grandi, nullptr);
    ASSERT_NE(piccole, nullptr);
    EXPECT_EQ(grandi->Owner(), &proprietario);
    EXPECT_TRUE(grandi->ShareImages());
    EXPECT_FALSE(grandi->Masked());
    EXPECT_EQ(grandi->Handle(), reinterpret_cast<HIMAGELIST>(SystemImageListLarge));
    EXPECT_EQ(piccole->Handle(), reinterpret_cast<HIMAGELIST>(SystemImageListSmall));
    EXPECT_EQ(piccole->Width(), 16);

    // Without a desktop folder the lists still show the system's icons.
    fs::remove(std::string(std::getenv("HOME")) + "/Desktop");
    TImageList* senzaDesktop = ImmaginiDiSistema("LARGE", &proprietario);
    EXPECT_EQ(senzaDesktop->Handle(), reinterpret_cast<HIMAGELIST>(SystemImageListLarge));

    // A second list on the same system list, then the first one freed.
    TImageList* altre = ImmaginiDiSistema("SMALL", &proprietario);
    const int icona = StructSysPathInfo(CSIDL_DESKTOPDIRECTORY).IconIndex;
    ASSERT_GT(piccole->Count(), icona);
    TComponent::Free(piccole);
    ASSERT_GT(altre->Count(), icona);
    TBitmap disegno;
    disegno.SetSize(16, 16);
    disegno.Canvas()->Brush()->SetColor(clWhite);
    disegno.Canvas()->FillRect(Rect(0, 0, 16, 16));
    altre->Draw(disegno.Canvas(), 0, 0, icona);
    int inchiostro = 0;
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 16; ++x)
            inchiostro += disegno.Canvas()->Pixels(x, y) != clWhite;
    EXPECT_GT(inchiostro, 0);
}

} // namespace
