#include "foundation/ShortCut.h"

#include "FoundationTestUtils.h"
#include "platform/os/Shell.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <set>

namespace {

namespace fs = std::filesystem;

// Every entry below a folder, for comparing a tree before and after.
std::set<std::string> AlberoDi(const std::string& radice)
{
    std::set<std::string> voci;
    for (const auto& voce : fs::recursive_directory_iterator(radice))
        voci.insert(voce.path().string());
    return voci;
}

class CreaCollegamentoTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        Bersaglio = Base.Percorso() + "/x/Fattura.pdf";
        Collegamenti = Base.Percorso() + "/y";
        fs::create_directories(Base.Percorso() + "/x");
        fs::create_directories(Collegamenti);
        ScriviFile(Bersaglio, "%PDF-1.4");
    }

    TCartellaTemporanea Base;
    TRegistraBox Box;
    std::string Bersaglio;
    std::string Collegamenti;
};

TEST_F(CreaCollegamentoTest, TheLinkIsNamedAfterTheFileAndPointsToIt)
{
    CreaCollegamento(Bersaglio, "Fattura.pdf", Collegamenti);
    const std::string collegamento = Collegamenti + "/Fattura.pdf.lnk";
    ASSERT_TRUE(fs::is_regular_file(collegamento));
    std::string destinazione;
    ASSERT_TRUE(ResolveShellLink(collegamento, destinazione));
    EXPECT_EQ(destinazione, Bersaglio);
    TShellLink letto;
    ASSERT_EQ(letto.Load(collegamento), S_OK);
    EXPECT_EQ(letto.GetDescription(), "Fattura.pdf");
    EXPECT_TRUE(Box.Box.empty());

    // A folder given with its final separator gets no second one.
    CreaCollegamento(Bersaglio, "Copia", Collegamenti + "\\");
    EXPECT_TRUE(fs::is_regular_file(Collegamenti + "/Copia.lnk"));
}

TEST_F(CreaCollegamentoTest, WithoutAFolderTheLinkGoesOnTheDesktop)
{
    const std::string casaPrecedente = std::getenv("HOME") != nullptr ? std::getenv("HOME") : "";
    setenv("HOME", Base.Percorso().c_str(), 1);
    fs::create_directories(Base.Percorso() + "/Desktop");
    char desktop[MAX_PATH] = {};
    const bool trovato = SHGetSpecialFolderPathA(nullptr, desktop, CSIDL_DESKTOPDIRECTORY, FALSE);
    CreaCollegamento(Bersaglio, "Fattura.pdf", "");
    setenv("HOME", casaPrecedente.c_str(), 1);
    ASSERT_TRUE(trovato);
    EXPECT_TRUE(fs::is_regular_file(std::string(desktop) + "/Fattura.pdf.lnk"));
    EXPECT_TRUE(Box.Box.empty());
}

TEST_F(CreaCollegamentoTest, ATargetWithoutFileNameDoesNothing)
{
    const auto prima = AlberoDi(Base.Percorso());
    CreaCollegamento(Base.Percorso() + "/x/", "Fattura.pdf", Collegamenti);
    CreaCollegamento("", "Fattura.pdf", Collegamenti);
    EXPECT_EQ(AlberoDi(Base.Percorso()), prima);
    EXPECT_TRUE(Box.Box.empty());
}

TEST_F(CreaCollegamentoTest, AFolderThatCannotBeWrittenShowsTheBoxOnce)
{
    // A plain file where the folder should be: no user, not even the administrator, writes there.
    const std::string file = Base.Percorso() + "/non-cartella";
    ScriviFile(file, "testo");
    CreaCollegamento(Bersaglio, "Fattura.pdf", file);
    ASSERT_EQ(Box.Box.size(), 1u);
    EXPECT_EQ(Box.Box[0].Testo, "Could not create shortcut");
    EXPECT_EQ(Box.Box[0].Titolo, "");
    EXPECT_EQ(Box.Box[0].Tipo, MB_OK);
    EXPECT_EQ(ContenutoDi(file), "testo");
}

TEST_F(CreaCollegamentoTest, NamesWithSeparatorsAreRefusedAndWriteNothingAnywhere)
{
    // The folder lies two levels down, so that "..\.." would still land inside the walked tree.
    const std::string profonda = Collegamenti + "/a/b";
    fs::create_directories(profonda);
    const auto prima = AlberoDi(Base.Percorso());
    for (const char* nome : {"a\\..\\..\\x", "../../x", "a/b", "\\", "x\\"}) {
        SCOPED_TRACE(nome);
        Box.Box.clear();
        CreaCollegamento(Bersaglio, nome, profonda);
        EXPECT_EQ(Box.Box.size(), 1u);
        EXPECT_EQ(AlberoDi(Base.Percorso()), prima);
    }

    // Control bytes make an odd name, but the link stays in the folder.
    Box.Box.clear();
    CreaCollegamento(Bersaglio, "riga\x01\t\x7F..", profonda);
    auto dopo = AlberoDi(Base.Percorso());
    for (const std::string& voce : prima)
        dopo.erase(voce);
    EXPECT_LE(dopo.size() + Box.Box.size(), 1u);
    for (const std::string& nuova : dopo)
        EXPECT_EQ(fs::path(nuova).parent_path().string(), profonda);
}

} // namespace
