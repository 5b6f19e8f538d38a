// The settings helpers: the adapters on a real INI file and on the layer's registry (pointed at a
// scratch file), line-break escaping, the default names and sections, the grid layout, unique
// file names and the MDI functions on a program without MDI forms.

#include "ControlsTestSupport.h"

#include "controls/AppUtils.h"
#include "platform/gui/Application.h"
#include "platform/gui/Edit.h"
#include "platform/gui/Timer.h"
#include "platform/os/RegistryStore.h"
#include "platform/rtl/Files.h"
#include "platform/rtl/Lists.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace AppUtilsTest {

namespace fs = std::filesystem;

std::string ReadAll(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// A scratch INI file and the registry pointed at a scratch file, for one test.
class SettingsFixture : public testing::Test {
protected:
    void SetUp() override
    {
        Folder = TestFolder();
        IniPath = Folder + "/settings.ini";
        SetRegistryFile(Folder + "/registry.reg");
    }
    void TearDown() override { SetRegistryFile(""); }

    std::string Folder;
    std::string IniPath;
};

TEST_F(SettingsFixture, QuotedValuesKeepTheirQuotesInAnIniFileAndStayAsTheyAreInTheRegistry)
{
    const std::string values[] = {"\"quoted\"", "'single'", "\"", "plain", "", "\"half"};
    {
        TIniFile ini(IniPath);
        for (std::size_t i = 0; i < std::size(values); ++i)
            IniWriteString(&ini, "S", "K" + std::to_string(i), values[i]);
        for (std::size_t i = 0; i < std::size(values); ++i)
            EXPECT_EQ(IniReadString(&ini, "S", "K" + std::to_string(i), "?"), values[i]) << values[i];
    }
    EXPECT_NE(ReadAll(IniPath).find("K0=\"\"quoted\"\""), std::string::npos);
    {
        TRegIniFile registry("Software\\Ventisca\\Tessellarium\\");
        IniWriteString(&registry, "S", "K0", values[0]);
        EXPECT_EQ(IniReadString(&registry, "S", "K0", "?"), values[0]);
        TRegistry raw;
        raw.SetRootKey(HKEY_CURRENT_USER);
        ASSERT_TRUE(raw.OpenKeyReadOnly("Software\\Ventisca\\Tessellarium\\S"));
        EXPECT_EQ(raw.ReadString("K0"), "\"quoted\"");
    }
    // Any other object reads the default and takes no write.
    TObject other;
    IniWriteString(&other, "S", "K", "v");
    EXPECT_EQ(IniReadString(&other, "S", "K", "default"), "default");
    EXPECT_EQ(IniReadInteger(&other, "S", "K", 5), 5);
    EXPECT_TRUE(IniReadBool(&other, "S", "K", true));
    IniEraseSection(nullptr, "S");
}

TEST_F(SettingsFixture, IntegersBooleansSectionsAndKeysGoThroughEitherStore)
{
    TIniFile ini(IniPath);
    TRegIniFile registry("Software\\Prova");
    for (TObject* store : {static_cast<TObject*>(&ini), static_cast<TObject*>(&registry)}) {
        IniWriteInteger(store, "Uno", "N", -12);
        IniWriteBool(store, "Uno", "B", true);
        IniWriteString(store, "Due", "T", "x");
        EXPECT_EQ(IniReadInteger(store, "Uno", "N", 0), -12);
        EXPECT_TRUE(IniReadBool(store, "Uno", "B", false));
        TStringList sections;
        IniReadSections(store, &sections);
        EXPECT_GE(sections.IndexOf("Uno"), 0);
        EXPECT_GE(sections.IndexOf("Due"), 0);
        IniDeleteKey(store, "Uno", "N");
        EXPECT_EQ(IniReadInteger(store, "Uno", "N", 99), 99);
        IniEraseSection(store, "Due");
        EXPECT_EQ(IniReadString(store, "Due", "T", "gone"), "gone");
    }
    EXPECT_NE(ReadAll(IniPath).find("B=1"), std::string::npos);
}

TEST(IniEscaping, LineBreaksBecomeBackslashNAndComeBackAsCrLf)
{
    struct TCase {
        std::string Text;
        std::string Escaped;
    };
    const TCase cases[] = {
        {"a\r\nb", "a\\nb"},   {"a\n\rb", "a\\nb"},       {"a\rb", "a\\nb"},     {"a\nb", "a\\nb"},
        {"a\r\n\r\nb", "a\\n\\nb"}, {"\n\n", "\\n\\n"}, {"a\r\r\nb", "a\\n\\nb"}, {"", ""},
        {"c:\\nuovo", "c:\\nuovo"},
    };
    for (const TCase& c : cases)
        EXPECT_EQ(StrToIniStr(c.Text), c.Escaped) << c.Text;
    EXPECT_EQ(IniStrToStr("a\\nb\\n"), "a\r\nb\r\n");
    EXPECT_EQ(IniStrToStr("a\\tb\\"), "a\\tb\\");
    // Every break doubles in the escaped text: no limit of the input's length applies to it.
    const std::string breaks(4096, '\n');
    EXPECT_EQ(StrToIniStr(breaks).size(), 8192u);
    const std::string tooLong(4097, 'x');
    for (auto convert : {&StrToIniStr, &IniStrToStr}) {
        try {
            convert(tooLong);
            ADD_FAILURE() << "no exception";
        } catch (const Exception& e) {
            EXPECT_EQ(e.Message, "Line too long");
        }
    }
}

class TForm1 : public TForm {
    TESS_CLASS(TForm1, TForm)
public:
    explicit TForm1(TComponent* AOwner) : TForm(AOwner)
    {
        Edit1 = new TEdit(this);
        Edit1->SetName("Edit1");
        Edit1->SetParent(this);
        Timer1 = new TTimer(this);
        Timer1->SetName("Timer1");
        Timer1->SetEnabled(false);
    }
    TEdit* Edit1;
    TTimer* Timer1;
};

TEST(DefaultNames, ProgramFileNameCompanyAndTitle)
{
    const std::string base = ChangeFileExt(ExtractFileName(Application->ExeName()), "");
    const std::string savedTitle = Application->Title();
    EXPECT_EQ(GetDefaultIniName(), base + ".INI");
    EXPECT_EQ(GetDefaultIniRegKey(), "Software\\" + base);
    DefCompanyName = "Acme";
    EXPECT_EQ(GetDefaultIniRegKey(), "Software\\Acme\\" + base);
    Application->SetTitle("Tool");
    EXPECT_EQ(GetDefaultIniRegKey(), "Software\\Acme\\" + base);
    RegUseAppTitle = true;
    EXPECT_EQ(GetDefaultIniRegKey(), "Software\\Acme\\Tool");
    Application->SetTitle("");
    EXPECT_EQ(GetDefaultIniRegKey(), "Software\\Acme\\" + base);
    OnGetDefaultIniName = [] { return std::string("Scelto.ini"); };
    EXPECT_EQ(GetDefaultIniName(), "Scelto.ini");
    OnGetDefaultIniName = nullptr;
    RegUseAppTitle = false;
    DefCompanyName.clear();
    Application->SetTitle(savedTitle);
}

TEST(DefaultNames, SectionsOfAFormItsControlsAndOtherComponents)
{
    auto* form = TForm::Create<TForm1>(nullptr);
    EXPECT_EQ(GetDefaultSection(form), "TForm1");
    EXPECT_EQ(GetDefaultSection(form->Edit1), "TForm1Edit1");
    EXPECT_EQ(GetDefaultSection(form->Timer1), "TForm1.Timer1");
    EXPECT_EQ(GetDefaultSection(nullptr), "");
    TEdit loose(nullptr);
    loose.SetName("Sola");
    EXPECT_EQ(GetDefaultSection(&loose), "Sola");
    TTimer free(nullptr);
    free.SetName("Libero");
    free.SetEnabled(false);
    EXPECT_EQ(GetDefaultSection(&free), "Libero");

    std::string fileName, section;
    GetDefaultIniData(form->Edit1, fileName, section, false);
    EXPECT_EQ(fileName, GetDefaultIniName());
    EXPECT_EQ(section, "TForm1Edit1");
    GetDefaultIniData(form->Edit1, fileName, section, true);
    EXPECT_EQ(fileName, GetDefaultIniRegKey());
    TComponent::Free(form);
}

TEST_F(SettingsFixture, GridColumnWidthsRoundTripUnderTheGridsSection)
{
    auto* form = TForm::Create<TForm1>(nullptr);
    auto* grid = new TDrawGrid(form);
    grid->SetName("Griglia");
    grid->SetParent(form);
    grid->SetColCount(4);
    const int widths[] = {30, 120, 7, 64};
    for (int i = 0; i < 4; ++i)
        grid->SetColWidths(i, widths[i]);
    {
        TIniFile ini(IniPath);
        SaveGridLayout(grid, &ini);
        TRegIniFile registry("Software\\Prova");
        SaveGridLayoutReg(grid, &registry);
    }
    EXPECT_NE(ReadAll(IniPath).find("[TForm1Griglia]\r\nItem0=30\r\nItem1=120\r\nItem2=7\r\nItem3=64"),
              std::string::npos)
        << ReadAll(IniPath);
    for (bool registry : {false, true}) {
        for (int i = 0; i < 4; ++i)
            grid->SetColWidths(i, 50);
        if (registry) {
            TRegIniFile store("Software\\Prova");
            RestoreGridLayoutReg(grid, &store);
        } else {
            TIniFile store(IniPath);
            RestoreGridLayout(grid, &store);
        }
        for (int i = 0; i < 4; ++i)
            EXPECT_EQ(grid->ColWidths(i), widths[i]) << i << (registry ? " registry" : " ini");
    }
    TComponent::Free(form);
}

TEST_F(SettingsFixture, UniqueFileNamesSkipExistingFiles)
{
    for (const char* name : {"doc0.txt", "doc1.txt", "doc3.txt"})
        std::ofstream(Folder + "/" + name) << "x";
    EXPECT_EQ(GetUniqueFileNameInDir(Folder, "doc%d.txt"), "doc2.txt");
    EXPECT_EQ(GetUniqueFileNameInDir(Folder + "/", "altro%d.txt"), "altro0.txt");
    // A mask without a number names one file: taken when free, "" when not.
    EXPECT_EQ(GetUniqueFileNameInDir(Folder, "fisso.txt"), "fisso.txt");
    std::ofstream(Folder + "/fisso.txt") << "x";
    EXPECT_EQ(GetUniqueFileNameInDir(Folder, "fisso.txt"), "");
}

TEST_F(SettingsFixture, TheMdiFunctionsRefuseAFormThatIsNoMdiMainForm)
{
    auto* form = TForm::Create<TForm1>(nullptr);
    TIniFile ini(IniPath);
    TRegIniFile registry("Software\\Prova");
    const std::function<void()> calls[] = {
        [&] { SaveMDIChildren(form, &ini); }, [&] { SaveMDIChildrenReg(form, &registry); },
        [&] { RestoreMDIChildren(form, &ini); }, [&] { RestoreMDIChildrenReg(form, &registry); }};
    for (const auto& call : calls) {
        try {
            call();
            ADD_FAILURE() << "no exception";
        } catch (const EInvalidOperation& e) {
            EXPECT_EQ(e.Message, "Cannot create form. No MDI forms are currently active");
        }
    }
    EXPECT_FALSE(fs::exists(IniPath));
    TComponent::Free(form);
}

TEST(FormHelpers, FindFormFindsByClassAndFindShowFormMakesOneWhenNone)
{
    RegisterClass("TForm1", [](TComponent* owner) -> TPersistent* { return new TForm1(owner); });
    EXPECT_EQ(FindForm("TForm1"), nullptr);
    TCustomForm* shown = FindShowForm(*GetClass("TForm1"), "Prima");
    ASSERT_NE(shown, nullptr);
    EXPECT_EQ(shown->ClassName(), "TForm1");
    EXPECT_EQ(shown->GetText(), "Prima");
    EXPECT_TRUE(shown->Visible());
    EXPECT_EQ(FindForm("TForm1"), shown);
    EXPECT_EQ(FindShowForm(*GetClass("TForm1"), "Prima"), shown);
    TCustomForm* second = FindShowForm(*GetClass("TForm1"), "Seconda");
    EXPECT_NE(second, shown);
    TComponent::Free(second);
    TComponent::Free(shown);
    UnRegisterClass("TForm1");
}

} // namespace AppUtilsTest
