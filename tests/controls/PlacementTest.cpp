// Window placement on real forms under the offscreen platform: the record written when a form
// closes, read back by python3's configparser; reopening, another resolution setting, form
// versions, forms never shown or destroyed while shown; the same in the layer's registry (a
// scratch file); unreachable rectangles, erasing sections, size limits through the window hook,
// hand-edited records and stores that cannot be written.

#include "ControlsTestSupport.h"

#include "controls/AppUtils.h"
#include "controls/Placemnt.h"
#include "platform/gui/Application.h"
#include "platform/gui/Edit.h"
#include "platform/gui/MessageQueue.h"
#include "platform/gui/Screen.h"
#include "platform/gui/SystemMetrics.h"
#include "platform/gui/WindowFunctions.h"
#include "platform/gui/WindowHandles.h"
#include "platform/os/RegistryStore.h"
#include "platform/rtl/Formats.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace PlacementTest {

namespace fs = std::filesystem;

const std::string RegistryKey = "Software\\Ventisca\\Tessellarium\\";

std::string ReadAll(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

void WriteAll(const std::string& path, const std::string& text)
{
    std::ofstream out(path, std::ios::binary);
    out << text;
}

// A window as the program builds one: its placement is made in the constructor and loaded
// with the form, pointed at the store the way the program's placement helper does it.
class TPlacedForm : public TForm {
    TESS_CLASS(TPlacedForm, TForm)
public:
    TPlacedForm(TComponent* AOwner, const std::string& IniFileName, bool UseRegistry, int Version = 0)
        : TForm(AOwner)
    {
        SetName("Form1_2");
        Edit1 = new TEdit(this);
        Edit1->SetName("Edit1");
        Edit1->SetParent(this);
        Edit2 = new TEdit(this);
        Edit2->SetName("Edit2");
        Edit2->SetParent(this);
        Edit2->SetTop(40);
        Placement = new TFormPlacement(this);
        Placement->SetIniFileName(IniFileName);
        Placement->UseRegistry = UseRegistry;
        Placement->SetIniSection("Form1");
        Placement->Version = Version;
    }
    TEdit* Edit1;
    TEdit* Edit2;
    TFormPlacement* Placement;
};

class PlacementFixture : public testing::Test {
protected:
    void SetUp() override
    {
        Folder = TestFolder();
        IniPath = Folder + "/Tessellarium.ini";
        SetRegistryFile(Folder + "/registry.reg");
        Previous = Application->OnException;
        Application->OnException = [this](TObject*, Exception& E) {
            Reported.push_back(E.ClassName() + ": " + E.Message);
        };
    }
    void TearDown() override
    {
        Application->OnException = Previous;
        Application->ProcessMessages();
        SetRegistryFile("");
    }

    TPlacedForm* NewForm(bool UseRegistry = false, int Version = 0)
    {
        return TForm::Create<TPlacedForm>(nullptr, UseRegistry ? RegistryKey : IniPath, UseRegistry, Version);
    }

    // The form's section as configparser reads it (cp1252, names as written, no interpolation).
    std::map<std::string, std::string> PythonSection(const std::string& Section)
    {
        const std::string script = R"(import configparser, sys
p = configparser.ConfigParser(interpolation=None)
p.optionxform = str
p.read(sys.argv[1], encoding='cp1252')
for k, v in p[')" + Section + R"('].items():
    print(k + '\t' + v)
)";
        std::map<std::string, std::string> values;
        std::istringstream lines(RunPython(script, ReadAll(IniPath)));
        std::string line;
        while (std::getline(lines, line)) {
            const auto tab = line.find('\t');
            if (tab != std::string::npos)
                values[line.substr(0, tab)] = line.substr(tab + 1);
        }
        return values;
    }

    std::string ScreenSuffix() const
    {
        return Format("(%dx%d)", {GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)});
    }

    std::string Folder;
    std::string IniPath;
    std::vector<std::string> Reported;
    TExceptionEvent Previous;
};

// Moves, sizes, shows and closes a form; the record goes to the store when it closes.
void ShowMovedAndClose(TPlacedForm* form)
{
    form->SetBounds(100, 120, 640, 480);
    form->Show();
    form->Close();
    TComponent::Free(form);
}

TEST_F(PlacementFixture, AClosedFormWritesItsRecordAndAFreshInstanceReopensThere)
{
    ShowMovedAndClose(NewForm());
    const auto values = PythonSection("Form1");
    EXPECT_EQ(values.at("FormVersion"), "0");
    EXPECT_EQ(values.count("Flags"), 1u);
    EXPECT_EQ(values.at("ShowCmd"), "1");
    EXPECT_EQ(values.at("PixelsPerInch"), "96");
    EXPECT_EQ(values.at("NormPos" + ScreenSuffix()), "100,120,740,600");
    EXPECT_EQ(values.at("NormPos"), "100,120,740,600");
    EXPECT_EQ(values.count("MinMaxPos"), 1u);
    EXPECT_EQ(values.at("Visible"), "0");
    EXPECT_TRUE(Reported.empty());

    TPlacedForm* again = NewForm();
    again->Show();
    EXPECT_EQ(again->BoundsRect(), Bounds(100, 120, 640, 480));
    EXPECT_EQ(again->WindowState(), wsNormal);
    TComponent::Free(again);
}

TEST_F(PlacementFixture, AnotherResolutionSettingKeepsTheDesignedGeometryButAppliesTheState)
{
    ShowMovedAndClose(NewForm());
    TIniFile ini(IniPath);
    ini.WriteInteger("Form1", "PixelsPerInch", 120);
    ini.WriteInteger("Form1", "ShowCmd", SW_SHOWMAXIMIZED);
    TPlacedForm* form = NewForm();
    form->SetBounds(10, 20, 300, 200);
    form->Show();
    EXPECT_EQ(form->WindowState(), wsMaximized);
    form->SetWindowState(wsNormal);
    Application->ProcessMessages();
    EXPECT_EQ(form->BoundsRect(), Bounds(10, 20, 300, 200));
    TComponent::Free(form);
}

TEST_F(PlacementFixture, ALowerStoredVersionRestoresNothingAndTheNextSaveWritesTheNewOne)
{
    ShowMovedAndClose(NewForm(false, 2));
    TPlacedForm* form = NewForm(false, 3);
    bool restoredEvent = false;
    form->Placement->OnRestorePlacement = [&](TObject*) { restoredEvent = true; };
    form->SetBounds(10, 20, 300, 200);
    form->Show();
    EXPECT_EQ(form->BoundsRect(), Bounds(10, 20, 300, 200));
    EXPECT_FALSE(restoredEvent);
    form->Close();
    TComponent::Free(form);
    EXPECT_EQ(PythonSection("Form1").at("FormVersion"), "3");
    EXPECT_EQ(PythonSection("Form1").at("NormPos"), "10,20,310,220");
}

TEST_F(PlacementFixture, AFormNeverShownWritesNothingAndOneDestroyedWhileShownWritesVisible)
{
    TComponent::Free(NewForm());
    EXPECT_FALSE(fs::exists(IniPath));

    TPlacedForm* form = NewForm();
    form->Show();
    TComponent::Free(form);
    EXPECT_EQ(PythonSection("Form1").at("Visible"), "1");
}

TEST_F(PlacementFixture, TheActiveControlComesBackWhenAsked)
{
    TPlacedForm* form = NewForm();
    form->Placement->Options = {fpState, fpPosition, fpActiveControl};
    form->Show();
    form->SetActiveControl(form->Edit2);
    form->Close();
    TComponent::Free(form);
    EXPECT_EQ(PythonSection("Form1").at("ActiveControl"), "Edit2");

    form = NewForm();
    form->Placement->Options = {fpState, fpPosition, fpActiveControl};
    form->Show();
    EXPECT_EQ(form->ActiveControl(), form->Edit2);
    TComponent::Free(form);
}

TEST_F(PlacementFixture, TheRegistryHoldsTheSameValuesUnderTheSectionsKey)
{
    ShowMovedAndClose(NewForm(true));
    EXPECT_FALSE(fs::exists(IniPath));
    {
        TRegIniFile registry(RegistryKey);
        EXPECT_EQ(registry.ReadInteger("Form1", "FormVersion", -1), 0);
        EXPECT_EQ(registry.ReadInteger("Form1", "ShowCmd", -1), 1);
        EXPECT_EQ(registry.ReadInteger("Form1", "PixelsPerInch", -1), 96);
        EXPECT_NE(registry.ReadInteger("Form1", "Flags", -1), -1);
        EXPECT_EQ(registry.ReadString("Form1", "NormPos" + ScreenSuffix(), ""), "100,120,740,600");
        EXPECT_EQ(registry.ReadString("Form1", "NormPos", ""), "100,120,740,600");
        EXPECT_NE(registry.ReadString("Form1", "MinMaxPos", ""), "");
        EXPECT_FALSE(registry.ReadBool("Form1", "Visible", true));
    }
    TPlacedForm* again = NewForm(true);
    again->Show();
    EXPECT_EQ(again->BoundsRect(), Bounds(100, 120, 640, 480));
    TComponent::Free(again);
}

TEST_F(PlacementFixture, ARectangleFarOutsideTheScreenOpensOnThePrimaryScreenWithItsSize)
{
    TIniFile ini(IniPath);
    ini.WriteString("Form1", "NormPos", "9000,7000,9400,7300");
    ini.WriteInteger("Form1", "ShowCmd", SW_SHOWNORMAL);
    TPlacedForm* form = NewForm();
    form->Show();
    const TRect area = Screen->WorkAreaRect();
    EXPECT_EQ(form->Width(), 400);
    EXPECT_EQ(form->Height(), 300);
    const TRect bounds = form->BoundsRect();
    EXPECT_TRUE(bounds.Left >= area.Left && bounds.Right <= area.Right) << bounds.Left;
    EXPECT_TRUE(bounds.Top >= area.Top && bounds.Bottom <= area.Bottom) << bounds.Top;
    TComponent::Free(form);
}

TEST_F(PlacementFixture, EraseSectionsTakesTheSectionAndItsSubsectionsOnly)
{
    WriteAll(IniPath, "[Form1]\r\nA=1\r\n[Form1.Grid]\r\nA=1\r\n[Form1\\Bar]\r\nA=1\r\n[Form10]\r\nA=1\r\n"
                      "[form1]\r\nA=1\r\n[Altro]\r\nA=1\r\n");
    TPlacedForm* form = NewForm();
    form->Placement->EraseSections();
    TComponent::Free(form);
    // INI sections compare without case, as Windows' do: [form1] stays as a second section.
    EXPECT_EQ(ReadAll(IniPath), "[Form10]\r\nA=1\r\n[form1]\r\nA=1\r\n[Altro]\r\nA=1\r\n");
}

TEST_F(PlacementFixture, SizeLimitsAttachTheHookAndPreventResizeFreezesTheBorders)
{
    TPlacedForm* form = NewForm();
    // The form's own procedure answers border hits, as a framed window's would.
    form->WindowProc = [form](TMessage& Msg) {
        if (Msg.Msg == WM_NCHITTEST) {
            Msg.Result = static_cast<LRESULT>(Msg.WParam);
            return;
        }
        form->WndProc(Msg);
    };
    form->Show();
    const WNDPROC original = GetWindowProc(form->Handle());
    form->Placement->MinMaxInfo()->SetMinTrackWidth(500);
    EXPECT_NE(GetWindowProc(form->Handle()), original);
    MINMAXINFO info;
    SendMessage(form->Handle(), WM_GETMINMAXINFO, 0, reinterpret_cast<LPARAM>(&info));
    EXPECT_EQ(info.ptMinTrackSize.X, 500);
    form->SetBounds(form->Left(), form->Top(), 200, 200);
    EXPECT_EQ(form->Width(), 500);
    form->Placement->MinMaxInfo()->SetMinTrackWidth(0);
    EXPECT_EQ(GetWindowProc(form->Handle()), original);

    form->Placement->SetPreventResize(true);
    EXPECT_NE(GetWindowProc(form->Handle()), original);
    EXPECT_FALSE(form->BorderIcons().Contains(biMaximize));
    for (LRESULT code : {HTLEFT, HTRIGHT, HTTOP, HTBOTTOM, HTTOPLEFT, HTBOTTOMRIGHT})
        EXPECT_EQ(SendMessage(form->Handle(), WM_NCHITTEST, static_cast<WPARAM>(code), 0), HTNOWHERE) << code;
    for (LRESULT code : {HTCLIENT, HTCAPTION, HTBORDER})
        EXPECT_EQ(SendMessage(form->Handle(), WM_NCHITTEST, static_cast<WPARAM>(code), 0), code) << code;
    MINMAXINFO frozen;
    SendMessage(form->Handle(), WM_GETMINMAXINFO, 0, reinterpret_cast<LPARAM>(&frozen));
    EXPECT_EQ(frozen.ptMinTrackSize.X, form->Width());
    EXPECT_EQ(frozen.ptMaxTrackSize.Y, form->Height());
    form->Placement->SetPreventResize(false);
    EXPECT_EQ(GetWindowProc(form->Handle()), original);
    EXPECT_TRUE(form->BorderIcons().Contains(biMaximize));
    TComponent::Free(form);
}

TEST_F(PlacementFixture, LinksSaveAndLoadWhileTheStoreIsOpen)
{
    TPlacedForm* form = NewForm();
    TIniLink first, second;
    std::vector<std::string> trace;
    first.SetStorage(form->Placement);
    second.SetStorage(form->Placement);
    EXPECT_EQ(first.GetIniObject(), nullptr);
    EXPECT_EQ(first.GetRootSection(), "Form1\\");
    first.OnSave = [&](TObject*) {
        trace.push_back("first save");
        IniWriteString(first.GetIniObject(), first.GetRootSection() + "Lista", "Stato", "aperto");
    };
    second.OnSave = [&](TObject*) { trace.push_back(second.GetIniObject() ? "second save" : "no store"); };
    first.OnLoad = [&](TObject*) {
        trace.push_back("first load " + IniReadString(first.GetIniObject(), first.GetRootSection() + "Lista",
                                                          "Stato", "?"));
    };
    form->Show();
    form->Close();
    form->Show();
    EXPECT_EQ(trace, (std::vector<std::string>{"first load ?", "first save", "second save", "first load aperto"}));
    second.SetStorage(nullptr);
    TComponent::Free(form);
    EXPECT_EQ(first.Storage(), nullptr);
}

// Hand-edited records: the defaults word by word, nothing reaches the window.
TEST_F(PlacementFixture, HandEditedRecordsFallBackToTheDefaults)
{
    struct TCase {
        std::string Lines;
        TRect Expected;
        TWindowState State;
    };
    const std::string longDigits(10000, '7');
    const TCase cases[] = {
        {"NormPos=abc,,,\r\nShowCmd=99\r\n", Bounds(10, 20, 300, 200), wsNormal},
        {"NormPos=50,60,40,500\r\nPixelsPerInch=\r\nFormVersion=x\r\n", Bounds(10, 20, 300, 200), wsNormal},
        {"NormPos=50,60\r\n", Bounds(50, 60, 260, 160), wsNormal},
        {"NormPos=" + longDigits + ",1,2,3\r\nFlags=" + longDigits + "\r\nShowCmd=" + longDigits + "\r\n",
         Bounds(10, 1, 0, 0), wsNormal},
        {"NormPos=" + std::string(10000, ',') + "\r\nMinMaxPos=" + std::string(10000, 'x') + "\r\n",
         Bounds(10, 20, 300, 200), wsNormal},
        {"FormVersion=x\r\nShowCmd=3\r\nNormPos=30,40,330,240\r\nPixelsPerInch=96\r\n", Bounds(30, 40, 300, 200),
         wsMaximized},
    };
    for (const TCase& c : cases) {
        WriteAll(IniPath, "[Form1]\r\n" + c.Lines);
        TPlacedForm* form = NewForm();
        form->SetBounds(10, 20, 300, 200);
        form->Show();
        EXPECT_EQ(form->WindowState(), c.State) << c.Lines.substr(0, 40);
        // An expected rectangle with no width means: nothing applied.
        const TRect expected = c.Expected.Right > c.Expected.Left ? c.Expected : Bounds(10, 20, 300, 200);
        if (c.State == wsNormal) {
            EXPECT_EQ(form->BoundsRect(), expected) << c.Lines.substr(0, 40);
        }
        TComponent::Free(form);
    }
    EXPECT_TRUE(Reported.empty()) << Reported.front();
}

TEST_F(PlacementFixture, TheSameHandEditedValuesInTheRegistry)
{
    {
        TRegIniFile registry(RegistryKey);
        registry.WriteString("Form1", "NormPos", "abc,,,");
        registry.WriteString("Form1", "ShowCmd", "99");
        registry.WriteString("Form1", "PixelsPerInch", "");
        registry.WriteString("Form1", "FormVersion", "x");
        registry.WriteString("Form1", "Flags", std::string(10000, '9'));
    }
    TPlacedForm* form = NewForm(true);
    form->SetBounds(10, 20, 300, 200);
    form->Show();
    EXPECT_EQ(form->BoundsRect(), Bounds(10, 20, 300, 200));
    EXPECT_EQ(form->WindowState(), wsNormal);
    TComponent::Free(form);
    EXPECT_TRUE(Reported.empty());
}

TEST_F(PlacementFixture, AStoreThatCannotBeWrittenReportsTheErrorAndTheWindowStillCloses)
{
    // A folder that does not exist holds no file: the save fails, the window closes.
    const std::string missing = Folder + "/manca/Tessellarium.ini";
    auto* form = TForm::Create<TPlacedForm>(nullptr, missing, false);
    form->Show();
    form->Close();
    EXPECT_FALSE(form->Visible());
    TComponent::Free(form);
    ASSERT_FALSE(Reported.empty());
    EXPECT_EQ(Reported.front().rfind("EIniFileException", 0), 0u) << Reported.front();
    EXPECT_FALSE(fs::exists(missing));
}

// Closes a folder to writing for its lifetime: by its permissions, or, for a user they do not
// bind (root), by the file system's immutable flag.
class TClosedFolder {
public:
    explicit TClosedFolder(const std::string& Path) : FPath(Path)
    {
        chmod(FPath.c_str(), 0555);
        if (!Writable())
            return;
        FImmutable = std::system(("chattr +i '" + FPath + "' 2>/dev/null").c_str()) == 0;
    }
    ~TClosedFolder()
    {
        if (FImmutable)
            std::system(("chattr -i '" + FPath + "' 2>/dev/null").c_str());
        chmod(FPath.c_str(), 0755);
    }
    TClosedFolder(const TClosedFolder&) = delete;
    TClosedFolder& operator=(const TClosedFolder&) = delete;
    // True when a file can still be made in the folder.
    bool Writable() const
    {
        const std::string probe = FPath + "/probe";
        const int fd = ::open(probe.c_str(), O_CREAT | O_WRONLY, 0644);
        if (fd < 0)
            return false;
        ::close(fd);
        ::unlink(probe.c_str());
        return true;
    }

private:
    std::string FPath;
    bool FImmutable = false;
};

TEST_F(PlacementFixture, AFileInAFolderWithoutWritePermissionStaysAsItWas)
{
    const std::string closed = Folder + "/chiusa";
    fs::create_directories(closed);
    const std::string stored = "[Form1]\r\nNormPos=1,2,300,400\r\n";
    WriteAll(closed + "/Tessellarium.ini", stored);
    TClosedFolder closing(closed);
    if (closing.Writable())
        GTEST_SKIP() << "the folder cannot be closed to writing here";
    auto* form = TForm::Create<TPlacedForm>(nullptr, closed + "/Tessellarium.ini", false);
    form->Show();
    EXPECT_EQ(form->BoundsRect(), Bounds(1, 2, 299, 398));
    form->Close();
    EXPECT_FALSE(form->Visible());
    TComponent::Free(form);
    ASSERT_FALSE(Reported.empty());
    EXPECT_EQ(Reported.front().rfind("EIniFileException", 0), 0u) << Reported.front();
    EXPECT_EQ(ReadAll(closed + "/Tessellarium.ini"), stored);
}

// The application's main form, made the way the program makes it (its store set by the test).
std::string mainFormStore;

class TMainPlacedForm : public TPlacedForm {
    TESS_CLASS(TMainPlacedForm, TPlacedForm)
public:
    explicit TMainPlacedForm(TComponent* AOwner) : TPlacedForm(AOwner, mainFormStore, false) {}
};

TEST_F(PlacementFixture, TheMainFormMinimisesThroughTheApplicationAndOpensMaximisedByDefault)
{
    mainFormStore = IniPath;
    Application->ClearMainForm();
    TMainPlacedForm* form = nullptr;

    WriteAll(IniPath, "[Form1]\r\nShowCmd=2\r\nNormPos=30,40,330,240\r\n");
    Application->CreateForm(form);
    ASSERT_EQ(Application->MainForm(), form);
    form->Show();
    MSG posted;
    ASSERT_TRUE(PeekMessage(posted, Application->Handle(), WM_SYSCOMMAND, WM_SYSCOMMAND, PM_REMOVE));
    EXPECT_EQ(posted.wParam, SC_MINIMIZE);
    EXPECT_EQ(form->BoundsRect(), Bounds(30, 40, 300, 200));
    Application->ClearMainForm();
    TComponent::Free(form);

    // No stored state: a main form with the default position opens maximised.
    WriteAll(IniPath, "[Form1]\r\nNormPos=30,40,330,240\r\n");
    form = nullptr;
    Application->CreateForm(form);
    form->Position = poDefault;
    form->Show();
    EXPECT_EQ(form->WindowState(), wsMaximized);
    Application->ClearMainForm();
    TComponent::Free(form);
}

TEST_F(PlacementFixture, APlacementMadeAfterTheFormDoesNotChainItsEvents)
{
    auto* form = new TForm(nullptr);
    form->AfterConstruction();
    auto* late = new TFormPlacement(form);
    late->SetIniFileName(IniPath);
    late->SetIniSection("Tardi");
    form->Show();
    form->Close();
    EXPECT_FALSE(fs::exists(IniPath));
    // Called directly, it restores and saves.
    late->RestoreFormPlacement();
    late->SaveFormPlacement();
    TComponent::Free(form);
    EXPECT_NE(ReadAll(IniPath).find("[Tardi]"), std::string::npos);
}

} // namespace PlacementTest
