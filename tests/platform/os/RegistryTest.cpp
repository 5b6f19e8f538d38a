#include "platform/os/Registry.h"
#include "platform/os/OsPaths.h"
#include "platform/rtl/Lists.h"

#include "TestEnvironment.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

namespace {

class Registry : public testing::Test {
protected:
    void SetUp() override
    {
        folder = NewTestFolder("registry");
        file = folder + "/registry.reg";
        SetRegistryFile(file);
    }
    void TearDown() override
    {
        SetWriteFaultHook({});
        SetRegistryFile("");
    }

    // Drops the store and reads the file again, as a new run of the program would.
    void Reload() { SetRegistryFile(file); }

    std::string folder;
    std::string file;
};

} // namespace

TEST_F(Registry, OpensRelativeAndAbsoluteKeysAndCreatesLevels)
{
    {
        TRegistry setup;
        ASSERT_TRUE(setup.CreateKey("Software\\Ventisca"));
    }
    TRegistry reg;
    ASSERT_TRUE(reg.OpenKey("Software", false));
    const HKEY before = reg.CurrentKey();
    EXPECT_FALSE(reg.OpenKey("Software\\Ventisca\\Tessellarium", false));
    EXPECT_EQ(reg.CurrentKey(), before);
    EXPECT_EQ(reg.CurrentPath(), "Software");
    ASSERT_TRUE(reg.OpenKey("\\Software\\Ventisca", false));
    EXPECT_EQ(reg.CurrentPath(), "Software\\Ventisca");
    EXPECT_TRUE(reg.CreateKey("Tessellarium\\Generale"));
    EXPECT_TRUE(reg.KeyExists("Tessellarium\\Generale"));
    EXPECT_TRUE(reg.KeyExists("\\SOFTWARE\\ventisca\\tessellarium"));
    const std::string text = ReadTestFile(file);
    EXPECT_NE(text.find("[HKEY_CURRENT_USER\\Software\\Ventisca\\Tessellarium]\r\n"), std::string::npos) << text;
    EXPECT_NE(text.find("[HKEY_CURRENT_USER\\Software\\Ventisca\\Tessellarium\\Generale]\r\n"), std::string::npos);
}

TEST_F(Registry, ValuesSurviveAReloadAndTheFileHasTheExpectedText)
{
    {
        TRegistry reg;
        ASSERT_TRUE(reg.OpenKey("Software\\Ventisca", true));
        reg.WriteString("SmtpHost", "mail.esempio.it");
        reg.WriteInteger("Count", 16);
        const unsigned char blob[] = {1, 2, 0xFF};
        reg.WriteBinaryData("Blob", blob, 3);
        reg.WriteString("", "predefinito \"tra\" \\ virgolette\t\x01\x7F\x80");
        reg.WriteBinaryData("Vuoto", blob, 0);
        ASSERT_TRUE(reg.OpenKey("\\Software\\Ventisca\\Vuota", true));
    }
    EXPECT_EQ(ReadTestFile(file), "TESSELLARIUM REGISTRY 1\r\n"
                                  "[HKEY_CURRENT_USER\\Software]\r\n"
                                  "[HKEY_CURRENT_USER\\Software\\Ventisca]\r\n"
                                  "\"SmtpHost\"=sz:\"mail.esempio.it\"\r\n"
                                  "\"Count\"=dword:00000010\r\n"
                                  "\"Blob\"=hex:01,02,ff\r\n"
                                  "@=sz:\"predefinito \\\"tra\\\" \\\\ virgolette\\t\\x01\\x7f\x80\"\r\n"
                                  "\"Vuoto\"=hex:\r\n"
                                  "[HKEY_CURRENT_USER\\Software\\Ventisca\\Vuota]\r\n"
                                  "[HKEY_LOCAL_MACHINE\\Software]\r\n");
    Reload();
    TRegistry reg;
    ASSERT_TRUE(reg.OpenKey("Software\\Ventisca", false));
    EXPECT_EQ(reg.ReadString("smtphost"), "mail.esempio.it");
    EXPECT_EQ(reg.ReadInteger("Count"), 16);
    unsigned char blob[8] = {};
    EXPECT_EQ(reg.ReadBinaryData("Blob", blob, sizeof blob), 3);
    EXPECT_EQ(blob[2], 0xFF);
    EXPECT_EQ(reg.ReadString(""), "predefinito \"tra\" \\ virgolette\t\x01\x7F\x80");
    EXPECT_EQ(reg.GetDataType("Count"), rdInteger);
    EXPECT_EQ(reg.GetDataType("Blob"), rdBinary);
    EXPECT_EQ(reg.GetDataSize("SmtpHost"), 16);
    EXPECT_EQ(reg.GetDataSize("Assente"), -1);
    EXPECT_EQ(reg.ValueNames(), (std::vector<std::string>{"SmtpHost", "Count", "Blob", "", "Vuoto"}));
    EXPECT_TRUE(reg.KeyExists("Vuota"));
    EXPECT_TRUE(LoadProblems().empty());
}

TEST_F(Registry, KeyNamesAreSortedAndDeleteKeyRemovesTheSubtree)
{
    TRegistry reg;
    ASSERT_TRUE(reg.OpenKey("Software\\Prova", true));
    for (const char* name : {"beta", "Alfa", "gamma", "Beta2", "alfa2"})
        reg.CreateKey(std::string(name) + "\\Figlio");
    EXPECT_EQ(reg.KeyNames(), (std::vector<std::string>{"Alfa", "alfa2", "beta", "Beta2", "gamma"}));
    EXPECT_TRUE(reg.HasSubKeys());
    EXPECT_TRUE(reg.DeleteKey("beta"));
    EXPECT_FALSE(reg.KeyExists("beta\\Figlio"));
    EXPECT_FALSE(reg.DeleteKey("beta"));
    EXPECT_EQ(reg.KeyNames(), (std::vector<std::string>{"Alfa", "alfa2", "Beta2", "gamma"}));
    reg.CloseKey();
    Reload();
    ASSERT_TRUE(reg.OpenKey("Software\\Prova", false));
    EXPECT_EQ(reg.KeyNames(), (std::vector<std::string>{"Alfa", "alfa2", "Beta2", "gamma"}));
}

TEST_F(Registry, ReadsAndWritesOfTheWrongKindRaise)
{
    TRegistry reg;
    ASSERT_TRUE(reg.OpenKey("Software\\Prova", true));
    reg.WriteInteger("X", 5);
    reg.WriteString("S", "testo");
    reg.WriteFloat("F", 1.5);
    auto message = [&](auto call) {
        try {
            call();
        } catch (const ERegistryException& e) {
            return e.Message;
        }
        return std::string("(no exception)");
    };
    EXPECT_EQ(message([&] { reg.ReadString("X"); }), "Invalid data type for 'X'");
    EXPECT_EQ(message([&] { reg.ReadInteger("Y"); }), "Failed to get data for 'Y'");
    EXPECT_EQ(message([&] { reg.ReadInteger("S"); }), "Invalid data type for 'S'");
    EXPECT_EQ(message([&] { reg.ReadFloat("X"); }), "Invalid data type for 'X'");
    EXPECT_EQ(reg.ReadFloat("F"), 1.5);
    EXPECT_EQ(reg.ReadString("Assente"), "");
    reg.CloseKey();
    EXPECT_EQ(message([&] { reg.WriteString("X", "v"); }), "Failed to set data for 'X'");
    ASSERT_TRUE(reg.OpenKeyReadOnly("Software\\Prova"));
    EXPECT_EQ(reg.ReadInteger("X"), 5);
    EXPECT_EQ(message([&] { reg.WriteString("X", "v"); }), "Failed to set data for 'X'");
    EXPECT_EQ(message([&] { reg.CreateKey("Cattivo\x01Nome"); }), "Failed to create key Cattivo\x01Nome");
}

TEST_F(Registry, ApiFollowsTheWindowsContract)
{
    HKEY key = nullptr;
    DWORD disposition = 0;
    ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\Api", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                              &disposition), 0);
    EXPECT_EQ(disposition, REG_CREATED_NEW_KEY);
    const char text[] = "valore";
    ASSERT_EQ(RegSetValueExA(key, "Nome", 0, REG_SZ, reinterpret_cast<const BYTE*>(text), sizeof text), 0);
    char small[3] = "xx";
    DWORD size = sizeof small;
    DWORD type = 0;
    EXPECT_EQ(RegQueryValueExA(key, "Nome", nullptr, &type, reinterpret_cast<BYTE*>(small), &size), 234);
    EXPECT_EQ(size, 7u);
    EXPECT_STREQ(small, "xx");
    char name[4];
    DWORD nameSize = sizeof name;
    EXPECT_EQ(RegEnumValueA(key, 0, name, &nameSize, nullptr, nullptr, nullptr, nullptr), 234);
    EXPECT_EQ(RegEnumValueA(key, 1, name, &nameSize, nullptr, nullptr, nullptr, nullptr), 259);
    const std::string longName(16384, 'n');
    EXPECT_EQ(RegSetValueExA(key, longName.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(text), sizeof text), 87);
    EXPECT_EQ(RegSetValueExA(key, "D", 0, REG_DWORD, reinterpret_cast<const BYTE*>(text), 3), 87);
    HKEY child = nullptr;
    EXPECT_EQ(RegCreateKeyExA(key, std::string(256, 'k').c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &child,
                              nullptr), 87);
    EXPECT_EQ(RegOpenKeyExA(key, "Manca", 0, KEY_READ, &child), 2);
    ASSERT_EQ(RegCreateKeyExA(key, "Figlio\\Nipote", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &child, nullptr), 0);
    EXPECT_EQ(RegDeleteKeyA(key, "Figlio"), 5);
    EXPECT_EQ(RegDeleteTreeA(key, "Figlio"), 0);
    EXPECT_EQ(RegSetValueExA(child, "X", 0, REG_SZ, reinterpret_cast<const BYTE*>(text), sizeof text), 1018);
    EXPECT_EQ(RegCloseKey(child), 0);
    EXPECT_EQ(RegCloseKey(child), 6);
    EXPECT_EQ(RegCloseKey(key), 0);
}

TEST_F(Registry, RegIniFileKeepsSectionsAsSubkeys)
{
    TRegIniFile ini("Software\\Prova");
    ini.WriteInteger("Form1", "Count", 12);
    ini.WriteBool("Form1\\Grid", "Visible", false);
    ini.WriteString("Form10", "Nome", "dieci");
    ini.WriteString("", "Radice", "r");
    {
        TRegistry reg;
        ASSERT_TRUE(reg.OpenKey("Software\\Prova\\Form1", false));
        EXPECT_EQ(reg.GetDataType("Count"), rdString);
        EXPECT_EQ(reg.ReadString("Count"), "12");
        reg.WriteInteger("Dword", 5);
    }
    EXPECT_EQ(ini.ReadInteger("Form1", "Dword", 0), 5);
    EXPECT_EQ(ini.ReadString("Form1", "Dword", "def"), "def");
    EXPECT_EQ(ini.ReadInteger("Form1", "Count", 0), 12);
    EXPECT_FALSE(ini.ReadBool("Form1\\Grid", "Visible", true));
    EXPECT_EQ(ini.ReadString("", "Radice", ""), "r");
    EXPECT_EQ(ini.ReadString("Manca", "Nome", "def"), "def");
    TStringList sections;
    ini.ReadSections(sections);
    EXPECT_EQ(sections.CommaText(), "Form1,Form10");
    EXPECT_EQ(ini.SectionIdents("Form1"), (std::vector<std::string>{"Count", "Dword"}));
    EXPECT_EQ(ini.SectionValues("Form1"), (std::vector<std::string>{"Count=12", "Dword=5"}));
    ini.EraseSection("Form1");
    EXPECT_EQ(ini.SectionNames(), (std::vector<std::string>{"Form10"}));
    TRegistry reg;
    EXPECT_FALSE(reg.KeyExists("Software\\Prova\\Form1\\Grid"));
    ini.DeleteKey("Form10", "Nome");
    EXPECT_EQ(ini.ReadString("Form10", "Nome", "def"), "def");
}

TEST_F(Registry, DamagedLinesAreSkippedListedAndKept)
{
    const std::string original = "TESSELLARIUM REGISTRY 1\r\n"
                                 "[HKEY_CURRENT_USER\\Software\\A]\r\n"
                                 "\"Buono\"=sz:\"1\"\r\n"
                                 "\"Rotto\"=dword:12\r\n"
                                 "[HKEY_CURRENT_USER\\Software\\B]\r\n"
                                 "\"Altro\"=sz:\"2\"\r\n";
    WriteTestFile(file, original);
    Reload();
    TRegistry reg;
    ASSERT_TRUE(reg.OpenKey("Software\\A", false));
    EXPECT_EQ(reg.ReadString("Buono"), "1");
    EXPECT_FALSE(reg.ValueExists("Rotto"));
    EXPECT_EQ(LoadProblems(), (std::vector<std::string>{"line 4: \"Rotto\"=dword:12"}));
    reg.WriteString("Nuovo", "3");
    reg.CloseKey();
    EXPECT_EQ(ReadTestFile(file + ".bad"), original);
    ASSERT_TRUE(reg.OpenKey("Software\\B", false));
    EXPECT_EQ(reg.ReadString("Altro"), "2");
}

TEST_F(Registry, AnUnreadableFileMakesTheStoreReadOnly)
{
    std::filesystem::create_directory(file); // exists, but cannot be read as a file
    Reload();
    HKEY key = nullptr;
    EXPECT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\X", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr), 5);
    EXPECT_TRUE(TRegistryStore::Instance().ReadOnly());
    EXPECT_TRUE(std::filesystem::is_directory(file));
}

TEST_F(Registry, AFailedSaveKeepsTheFileAndTheChanges)
{
    TRegistry reg;
    ASSERT_TRUE(reg.OpenKey("Software\\Prova", true));
    reg.WriteString("Primo", "1");
    reg.CloseKey();
    const std::string before = ReadTestFile(file);
    SetWriteFaultHook([](const std::string&) { return true; });
    ASSERT_TRUE(reg.OpenKey("Software\\Prova", false));
    reg.WriteString("Secondo", "2");
    reg.CloseKey();
    EXPECT_EQ(ReadTestFile(file), before);
    EXPECT_TRUE(TRegistryStore::Instance().HasPendingChanges());
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder), {}), 2); // the file and its lock
    SetWriteFaultHook({});
    EXPECT_TRUE(TRegistryStore::Instance().Save());
    Reload();
    ASSERT_TRUE(reg.OpenKey("Software\\Prova", false));
    EXPECT_EQ(reg.ReadString("Secondo"), "2");
}

TEST_F(Registry, ChangesOfAnotherProcessAreMergedNotLost)
{
    // Another running copy writes its value after we loaded the file; our save keeps it.
    TRegistry reg;
    ASSERT_TRUE(reg.OpenKey("Software\\Prova", true));
    reg.WriteString("Nostro", "1");
    reg.CloseKey();
    const std::string self = std::filesystem::read_symlink("/proc/self/exe");
    const std::string run = "TESS_REG_CHILD_FILE='" + file + "' TESS_REG_CHILD_VALUE=";
    const std::string filter = " '" + self + "' --gtest_filter=RegistryChild.WritesOneValue >/dev/null 2>&1";
    RunCommand("(" + run + "Primo" + filter + " & " + run + "Secondo" + filter + " & wait)");
    ASSERT_TRUE(reg.OpenKey("Software\\Prova", false));
    reg.WriteString("Terzo", "3");
    reg.CloseKey();
    const std::string text = ReadTestFile(file);
    for (const char* name : {"Nostro", "Primo", "Secondo", "Terzo"})
        EXPECT_NE(text.find(std::string("\"") + name + "\""), std::string::npos) << name << "\n" << text;
}

TEST(RegistryChild, WritesOneValue)
{
    const char* file = std::getenv("TESS_REG_CHILD_FILE");
    const char* value = std::getenv("TESS_REG_CHILD_VALUE");
    if (file == nullptr || value == nullptr)
        GTEST_SKIP() << "started only by the merge test";
    SetRegistryFile(file);
    TRegistry reg;
    ASSERT_TRUE(reg.OpenKey("Software\\Prova", true));
    reg.WriteString(value, "figlio");
    reg.CloseKey();
}
