#include "platform/os/IniFiles.h"
#include "platform/rtl/Lists.h"
#include "platform/rtl/Streams.h"

#include "TestEnvironment.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <vector>
#include <sys/stat.h>

namespace {

class IniFiles : public testing::Test {
protected:
    void SetUp() override { folder = NewTestFolder("ini"); }
    void TearDown() override { SetWriteFaultHook({}); }
    std::string folder;
};

std::string PythonRead(const std::string& path, const std::string& section, const std::string& key)
{
    const std::string script =
        "import configparser,sys\n"
        "c=configparser.ConfigParser(interpolation=None,strict=False,delimiters=('=',))\n"
        "c.optionxform=str\n"
        "c.read(sys.argv[1],encoding='cp1252')\n"
        "sys.stdout.buffer.write(c[sys.argv[2]][sys.argv[3]].encode('cp1252'))\n";
    WriteTestFile(path + ".py", script);
    return RunCommand("python3 '" + path + ".py' '" + path + "' '" + section + "' '" + key + "'");
}

} // namespace

TEST_F(IniFiles, ReadsByTheWindowsRules)
{
    const std::string path = folder + "/read.ini";
    const std::string longValue(3000, 'k');
    WriteTestFile(path, "\xEF\xBB\xBF[Prova]\r\n"
                        "  Key  =  value  \r\n"
                        "Quoted=\"quoted value\"\r\n"
                        "Single='x'\r\n"
                        "Inner=\"a\"b\"\r\n"
                        "Open=\"abc\r\n"
                        "Empty=\r\n"
                        "Database=3.0.18\r\n"
                        "Database=9.9.9\r\n"
                        ";Commento=1\r\n"
                        "riga senza uguale\r\n"
                        "Long=" + longValue + "\r\n"
                        "Int1= 12 \r\nInt2=$1F\r\nInt3=0x1F\r\nInt4=abc\r\nBool=2\r\n"
                        "[Ventisca,Tessellarium,Versioning]\r\nDatabase=3.0.18\r\n");
    TIniFile ini(path);
    struct Case {
        const char* Section;
        const char* Key;
        std::string Expected;
    };
    const Case cases[] = {
        {"Prova", "Key", "value"},
        {"Prova", "Quoted", "quoted value"},
        {"Prova", "Single", "x"},
        {"Prova", "Inner", "a\"b"},
        {"Prova", "Open", "\"abc"},
        {"Prova", "Empty", ""},
        {"prova", "database", "3.0.18"},
        {"ventisca,tessellarium,versioning", "Database", "3.0.18"},
        {"Prova", ";Commento", "(default)"},
        {"Prova", "Missing", "(default)"},
        {"Missing", "Key", "(default)"},
        {"Prova", "Long", longValue},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ini.ReadString(c.Section, c.Key, "(default)"), c.Expected) << c.Section << "/" << c.Key;
    EXPECT_EQ(ini.ReadInteger("Prova", "Int1", 7), 12);
    EXPECT_EQ(ini.ReadInteger("Prova", "Int2", 7), 31);
    EXPECT_EQ(ini.ReadInteger("Prova", "Int3", 7), 31);
    EXPECT_EQ(ini.ReadInteger("Prova", "Int4", 7), 7);
    EXPECT_TRUE(ini.ReadBool("Prova", "Bool", false));
    EXPECT_TRUE(ini.SectionExists("PROVA"));
    EXPECT_TRUE(ini.ValueExists("Prova", "Empty"));
    EXPECT_FALSE(ini.ValueExists("Prova", "Missing"));
    EXPECT_EQ(ini.SectionNames(), (std::vector<std::string>{"Prova", "Ventisca,Tessellarium,Versioning"}));
}

TEST_F(IniFiles, LineEndingsOfEveryKindReadAlike)
{
    for (const std::string end : {"\r\n", "\n", "\r"}) {
        const std::string path = folder + "/ends.ini";
        WriteTestFile(path, "[A]" + end + "One=1" + end + "Two=2" + end);
        TIniFile ini(path);
        EXPECT_EQ(ini.ReadString("A", "One", ""), "1");
        EXPECT_EQ(ini.ReadString("A", "Two", ""), "2");
    }
}

TEST_F(IniFiles, WritesTheExpectedBytesAndConfigparserAgrees)
{
    const std::string path = folder + "/Tessellarium.ini";
    TIniFile ini(path);
    ini.WriteString("Ventisca,Tessellarium,Versioning", "Database", "3.0.18");
    ini.WriteString("Ventisca,Tessellarium,Generale", "SmtpHost", "mail.esempio.it");
    ini.WriteString("Ventisca,Tessellarium,Versioning", "Database", "3.0.19");
    ini.WriteString("Ventisca,Tessellarium,Generale", "Valuta", "\x80.");
    EXPECT_EQ(ReadTestFile(path), "[Ventisca,Tessellarium,Versioning]\r\nDatabase=3.0.19\r\n\r\n"
                                  "[Ventisca,Tessellarium,Generale]\r\nSmtpHost=mail.esempio.it\r\nValuta=\x80.\r\n");
    EXPECT_EQ(PythonRead(path, "Ventisca,Tessellarium,Versioning", "Database"), "3.0.19");
    EXPECT_EQ(PythonRead(path, "Ventisca,Tessellarium,Generale", "Valuta"), "\x80.");
}

TEST_F(IniFiles, ReadsWhatConfigparserWrites)
{
    const std::string path = folder + "/python.ini";
    WriteTestFile(path + ".py", "import configparser,sys\n"
                                "c=configparser.ConfigParser(interpolation=None)\n"
                                "c.optionxform=str\n"
                                "c['Ventisca,Tessellarium,Generale']={'SmtpHost':'mail.esempio.it','Valuta':'\\u20ac'}\n"
                                "c.write(open(sys.argv[1],'w',encoding='cp1252'))\n");
    RunCommand("python3 '" + path + ".py' '" + path + "'");
    TIniFile ini(path);
    EXPECT_EQ(ini.ReadString("Ventisca,Tessellarium,Generale", "SmtpHost", ""), "mail.esempio.it");
    EXPECT_EQ(ini.ReadString("Ventisca,Tessellarium,Generale", "Valuta", ""), "\x80");
}

TEST_F(IniFiles, UnknownLinesSurviveWritesAndDeletes)
{
    const std::string path = folder + "/hand.ini";
    WriteTestFile(path, "; intestazione\n[A]\n  ; nota  \nstrana riga\nX = 1\n\n[B]\nY=2\n[C]\nZ=3\n");
    TIniFile ini(path);
    ini.WriteString("A", "x", "5");
    ini.WriteString("A", "New", "n");
    ini.WriteString("B", "Y2", "y");
    ini.DeleteKey("B", "Y");
    ini.EraseSection("C");
    EXPECT_EQ(ReadTestFile(path), "; intestazione\r\n[A]\r\n  ; nota  \r\nstrana riga\r\nx=5\r\nNew=n\r\n\r\n"
                                  "[B]\r\nY2=y\r\n");
    EXPECT_EQ(ini.SectionIdents("A"), (std::vector<std::string>{"x", "New"}));
    EXPECT_EQ(ini.SectionValues("A"), (std::vector<std::string>{"x=5", "New=n"}));
    TStringList list;
    ini.ReadSectionValues("a", list);
    EXPECT_EQ(list.Text(), "x=5\r\nNew=n\r\n");
    ini.ReadSections(list);
    EXPECT_EQ(list.CommaText(), "A,B");
}

TEST_F(IniFiles, RefusedAndFailedWritesChangeNothing)
{
    const std::string path = folder + "/keep.ini";
    const std::string original = "[A]\r\nK=1\r\n";
    WriteTestFile(path, original);
    TIniFile ini(path);
    const std::pair<std::string, std::string> refused[] = {
        {"Se]zione", "K"}, {"A", "K=2"}, {"A", "[K"}, {"A", ";K"}, {"A\r\nB", "K"}, {"A", "K\n"}};
    for (const auto& [section, key] : refused)
        EXPECT_THROW(ini.WriteString(section, key, "v"), EIniFileException) << section << "/" << key;
    EXPECT_THROW(ini.WriteString("A", "K", "due\nrighe"), EIniFileException);

    // The temporary of the save follows the rule of every atomic save.
    std::vector<std::string> beside;
    SetWriteFaultHook([&](const std::string&) {
        for (const auto& entry : std::filesystem::directory_iterator(folder))
            beside.push_back(entry.path().filename().string());
        return true;
    });
    try {
        ini.WriteString("A", "K", "2");
        FAIL() << "the write should fail";
    } catch (const EIniFileException& e) {
        EXPECT_EQ(e.Message, "Unable to write to " + path);
    }
    SetWriteFaultHook({});
    ASSERT_EQ(beside.size(), 2u);
    EXPECT_EQ(std::count_if(beside.begin(), beside.end(), IsAtomicTemporaryName), 1);
    EXPECT_EQ(ReadTestFile(path), original);
    EXPECT_EQ(ini.ReadString("A", "K", ""), "1");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder), {}), 1);

    const std::string missing = folder + "/nessuna/cartella.ini";
    TIniFile inMissingFolder(missing);
    EXPECT_THROW(inMissingFolder.WriteString("A", "K", "v"), EIniFileException);
    EXPECT_FALSE(std::filesystem::exists(folder + "/nessuna"));
}

TEST_F(IniFiles, UnreadableFileGivesDefaultsAndIsNotOverwritten)
{
    // A folder in place of the file exists but cannot be read as one, even by root.
    const std::string path = folder + "/locked.ini";
    std::filesystem::create_directory(path);
    WriteTestFile(path + "/inside", "dato");
    TIniFile ini(path);
    EXPECT_EQ(ini.ReadString("A", "K", "def"), "def");
    EXPECT_THROW(ini.WriteString("A", "K", "2"), EIniFileException);
    EXPECT_EQ(ReadTestFile(path + "/inside"), "dato");
}

TEST_F(IniFiles, SeesChangesMadeByAnotherProcess)
{
    const std::string path = folder + "/shared.ini";
    TIniFile ini(path);
    ini.WriteString("A", "K", "1");
    EXPECT_EQ(ini.ReadString("A", "K", ""), "1");
    RunCommand("python3 -c \"open('" + path + "','w').write('[A]\\nK=changed by python\\n')\"");
    EXPECT_EQ(ini.ReadString("A", "K", ""), "changed by python");
}

TEST_F(IniFiles, BareNameLivesInTheWindowsFolder)
{
    TIniFile ini("ZAVOVUR.INI");
    ini.WriteString("S", "K", "v");
    const std::string expected = std::string(getenv("XDG_CONFIG_HOME")) + "/Tessellarium/Windows/ZAVOVUR.INI";
    EXPECT_EQ(ReadTestFile(expected), "[S]\r\nK=v\r\n");
    EXPECT_EQ(TIniFile("ZAVOVUR.INI").ReadString("S", "K", ""), "v");
}
