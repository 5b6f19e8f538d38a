// Starting programs and documents through the shell, file icons, the about box and the tray
// icon through a recording notification area.

#include "ControlsTestSupport.h"

#include "controls/EXShell.h"
#include "platform/gui/Application.h"
#include "platform/gui/ImageList.h"
#include "platform/gui/Resources.h"
#include "platform/gui/ScriptedDialogs.h"
#include "platform/os/Shell.h"
#include "platform/os/ShellFileInfo.h"
#include "platform/rtl/Exceptions.h"

#include <QApplication>
#include <QMenu>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <sys/resource.h>
#include <thread>

namespace fs = std::filesystem;
using namespace EXShell;

namespace {

void Pump(int ms)
{
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (std::chrono::steady_clock::now() < end) {
        Application->ProcessMessages();
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
}

double CpuSeconds()
{
    rusage usage {};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

void WriteText(const std::string& path, const std::string& text)
{
    std::ofstream out(path, std::ios::binary);
    out << text;
}

std::unique_ptr<TIcon> SystemIcon(int id)
{
    auto icon = std::make_unique<TIcon>();
    icon->SetHandle(CopyIcon(LoadIcon(nullptr, MAKEINTRESOURCE(id))));
    return icon;
}

} // namespace

TEST(FileExecuteWait, ReturnsTheExitCodeOrMinusOne)
{
    struct TCase {
        const char* Program;
        const char* Params;
        int Expected;
    };
    // The parameters are split by the Windows rules: double quotes group.
    const TCase cases[] = {
        {"sh", "-c \"exit 3\"", 3},
        {"/bin/sh", "-c \"exit 255\"", 255},
        {"sh", "-c \"exit 0\"", 0},
        {"programma-che-non-esiste", "", -1},
        {"/non/esiste/Stampigno.exe", "\"a.frf\"", -1},
    };
    for (const TCase& c : cases)
        EXPECT_EQ(FileExecuteWait(c.Program, c.Params, "", esMaximized), c.Expected) << c.Program << " " << c.Params;
}

TEST(FileExecuteWait, TimersTickWithoutBusyWaiting)
{
    TTimer timer(nullptr);
    timer.SetInterval(50);
    int ticks = 0;
    timer.OnTimer = [&](TObject*) { ++ticks; };
    timer.SetEnabled(true);
    const double cpuBefore = CpuSeconds();
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(FileExecuteWait("sh", "-c \"sleep 1\"", "", esNormal), 0);
    const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    const double cpu = CpuSeconds() - cpuBefore;
    timer.SetEnabled(false);
    EXPECT_GE(wall, 1.0);
    EXPECT_GE(ticks, 15);
    EXPECT_LT(cpu, 0.15 * wall) << "cpu " << cpu << " s over " << wall << " s";
}

TEST(FileExecuteWait, TerminatingApplicationStopsWaitingAndLeavesTheProgram)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    // The child process runs this body again: it takes the parent's file name from the
    // environment.
    if (!std::getenv("TESS_SLEEPER_PID_FILE"))
        setenv("TESS_SLEEPER_PID_FILE", (ControlsScratchDir() + "/sleeper.pid").c_str(), 1);
    const std::string pidFile = std::getenv("TESS_SLEEPER_PID_FILE");
    fs::remove(pidFile);
    // In a process of its own: the application stays terminated afterwards.
    EXPECT_EXIT(
        {
            TTimer stopper(nullptr);
            stopper.SetInterval(300);
            stopper.OnTimer = [](TObject*) { Application->Terminate(); };
            stopper.SetEnabled(true);
            const int code =
                FileExecuteWait("sh", "-c \"echo $$ > '" + pidFile + "'; exec sleep 30\" ignorato", "", esNormal);
            std::_Exit(code == 259 ? 0 : 1);
        },
        testing::ExitedWithCode(0), "");
    std::ifstream in(pidFile);
    int pid = 0;
    in >> pid;
    ASSERT_GT(pid, 0);
    EXPECT_EQ(kill(pid, 0), 0) << "the program goes on running";
    kill(pid, SIGKILL);
}

TEST(FileExecute, DocumentsGoToTheDesktopOpener)
{
    const std::string folder = TestFolder();
    WriteText(folder + "/fattura.pdf", "%PDF-1.4\n");
    std::vector<std::string> opened;
    TDesktopOpener previous = SetDesktopOpener([&](const std::string& target) {
        opened.push_back(target);
        return DWORD{0};
    });
    EXPECT_GT(reinterpret_cast<std::uintptr_t>(FileExecute(folder + "/fattura.pdf", "", "", esNormal)), 32u);
    EXPECT_GT(reinterpret_cast<std::uintptr_t>(FileExecute("fattura.pdf", "", folder, esMinimized)), 32u);
    EXPECT_LE(reinterpret_cast<std::uintptr_t>(FileExecute(folder + "/manca.pdf", "", "", esNormal)), 32u);
    SetDesktopOpener(previous);
    EXPECT_EQ(opened, (std::vector<std::string>{folder + "/fattura.pdf", folder + "/fattura.pdf"}));
}

TEST(IconExtract, IconFilesTypesAndMissingFiles)
{
    const std::string folder = TestFolder();
    auto application = SystemIcon(IDI_APPLICATION);
    application->SaveToFile(folder + "/app.ico");
    WriteText(folder + "/nota.txt", "testo\n");

    std::unique_ptr<TIcon> icon = IconExtract(folder + "/app.ico", 0);
    ASSERT_NE(icon, nullptr);
    EXPECT_EQ(icon->Width(), 32);
    // A text file holds no icon: the desktop's icon of its type stands in.
    std::unique_ptr<TIcon> textIcon = IconExtract(folder + "/nota.txt", 0);
    ASSERT_NE(textIcon, nullptr);
    EXPECT_FALSE(textIcon->Empty());
    EXPECT_EQ(IconExtract(folder + "/manca.txt", 0), nullptr);
    // Without the desktop's icons the text file is refused.
    TShellIconFactory factory = SetShellIconFactory(nullptr);
    try {
        IconExtract(folder + "/nota.txt", 0);
        ADD_FAILURE() << "no exception";
    } catch (const EResNotFound& error) {
        EXPECT_EQ(error.Message, "File specified is not an executable file, dynamic-link library, or icon file");
    }
    SetShellIconFactory(factory);
    // A long name is taken whole.
    const std::string deep = folder + "/" + std::string(200, 'c') + "/" + std::string(200, 'd') + ".ico";
    fs::create_directories(fs::path(deep).parent_path());
    application->SaveToFile(deep);
    EXPECT_NE(IconExtract(deep, 0), nullptr);
}

TEST(WinAbout, ShowsTheAboutBoxThroughTheDialogService)
{
    auto* scripted = new TScriptedDialogs;
    auto previous = SetDialogService(std::unique_ptr<IDialogService>(scripted));
    scripted->Expect(TDialogKind::MessageBox, TDialogAnswer::Code(IDOK));
    WinAbout("Tessellarium", "Versione 3");
    auto restored = SetDialogService(std::move(previous));
    ASSERT_EQ(scripted->Requests().size(), 1u);
    EXPECT_EQ(scripted->Requests()[0].Caption, "About Tessellarium");
    EXPECT_EQ(scripted->Requests()[0].Text, "Tessellarium\r\nVersione 3");
}

namespace {

// Records what reaches the notification area.
class TrayIcon : public testing::Test {
protected:
    struct TCall {
        DWORD Message;
        HICON Icon;
        std::string Tip;
        UINT Callback;
        std::thread::id Thread;
    };
    void SetUp() override
    {
        previous = SetNotifyIconBackend([this](DWORD message, const NOTIFYICONDATAA& data) {
            calls.push_back({message, data.hIcon, data.szTip, data.uCallbackMessage, std::this_thread::get_id()});
            return TRUE;
        });
    }
    void TearDown() override { SetNotifyIconBackend(previous); }
    std::vector<DWORD> Messages() const
    {
        std::vector<DWORD> result;
        for (const TCall& call : calls)
            result.push_back(call.Message);
        return result;
    }

    std::vector<TCall> calls;
    TNotifyIconBackend previous;
};

// Closes the open popup menu once it shows; counts the popups seen.
void EscapeFromPopup(int& seen)
{
    QTimer::singleShot(60, [&seen] {
        if (auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget())) {
            ++seen;
            QTest::keyClick(menu, Qt::Key_Escape);
        }
    });
}

} // namespace

TEST_F(TrayIcon, AddsModifiesAndDeletesWithTheShortHint)
{
    auto tray = std::make_unique<TExTrayIcon>(nullptr);
    tray->SetHint("Tessellarium|Il programma di fatturazione");
    EXPECT_TRUE(calls.empty()) << "nothing to show without an icon";
    auto icon = SystemIcon(IDI_APPLICATION);
    tray->SetIcon(icon.get());
    ASSERT_EQ(Messages(), std::vector<DWORD>{NIM_ADD});
    EXPECT_EQ(calls[0].Tip, "Tessellarium");
    EXPECT_EQ(calls[0].Callback, CM_BASE + 84);
    EXPECT_EQ(calls[0].Icon, tray->Icon()->Handle());
    EXPECT_TRUE(tray->InTray());

    tray->SetHint(std::string(100, 'x'));
    ASSERT_EQ(calls.size(), 2u);
    EXPECT_EQ(calls[1].Message, NIM_MODIFY);
    EXPECT_EQ(calls[1].Tip, std::string(63, 'x'));
    tray->SetHint(std::string(100, 'x'));
    EXPECT_EQ(calls.size(), 2u) << "the same hint changes nothing";

    tray->Hide();
    EXPECT_FALSE(tray->InTray());
    tray->Show();
    EXPECT_EQ(Messages(), (std::vector<DWORD>{NIM_ADD, NIM_MODIFY, NIM_DELETE, NIM_ADD}));
    tray.reset();
    EXPECT_EQ(calls.back().Message, NIM_DELETE);
}

TEST_F(TrayIcon, AnimationStepsOnTheGuiThread)
{
    TExTrayIcon tray(nullptr);
    tray.SetAnimated(true);
    EXPECT_FALSE(tray.Animated()) << "no icons, no animation";
    TIconList frames;
    for (int id : {IDI_APPLICATION, IDI_HAND, IDI_QUESTION})
        frames.Add(SystemIcon(id).get());
    tray.SetIcons(&frames);
    tray.SetInterval(40);
    tray.SetAnimated(true);
    ASSERT_TRUE(tray.Animated());
    ASSERT_TRUE(tray.InTray());
    calls.clear();
    Pump(600);
    std::vector<HICON> shown;
    for (const TCall& call : calls) {
        EXPECT_EQ(call.Message, NIM_MODIFY);
        EXPECT_EQ(call.Thread, std::this_thread::get_id());
        shown.push_back(call.Icon);
    }
    ASSERT_GE(shown.size(), 4u);
    for (std::size_t i = 0; i + 1 < shown.size(); ++i)
        EXPECT_NE(shown[i], shown[i + 1]);
    EXPECT_EQ(shown[0], tray.Icons()->Get(1)->Handle());
    tray.SetAnimated(false);
    calls.clear();
    Pump(200);
    EXPECT_TRUE(calls.empty());
}

TEST_F(TrayIcon, ClicksPopTheMenuOrFireTheEvents)
{
    TExTrayIcon tray(nullptr);
    auto icon = SystemIcon(IDI_APPLICATION);
    tray.SetIcon(icon.get());
    std::vector<std::string> events;
    tray.OnClick = [&](TObject* sender, TMouseButton button, TShiftState, int, int) {
        EXPECT_EQ(sender, &tray);
        events.push_back(button == mbRight ? "click right" : "click left");
    };
    tray.OnDblClick = [&](TObject*) { events.push_back("double"); };
    tray.OnMouseDown = [&](TObject*, TMouseButton, TShiftState shift, int, int) {
        events.push_back(shift.Contains(ssDouble) ? "down double" : "down");
    };
    tray.OnMouseUp = [&](TObject*, TMouseButton, TShiftState, int, int) { events.push_back("up"); };

    TPopupMenu menu(nullptr);
    TMenuItem* open = NewItem("Apri", 0, false, true, [&](TObject*) { events.push_back("apri"); }, 0, "Apri");
    menu.Items()->Add(open);
    int popups = 0;
    menu.OnPopup = [&](TObject*) { events.push_back("popup"); };
    tray.SetPopupMenu(&menu);

    auto inject = [&](TNotifyIconActivation activation) {
        events.clear();
        ASSERT_TRUE(NotifyIconActivated(tray.Handle(), 0, activation));
        Pump(300);
    };
    EscapeFromPopup(popups);
    inject(TNotifyIconActivation::Context);
    EXPECT_EQ(events, (std::vector<std::string>{"down", "popup", "up"}));
    EXPECT_EQ(popups, 1);
    EXPECT_EQ(menu.PopupComponent, &tray);

    menu.AutoPopup = false;
    inject(TNotifyIconActivation::Context);
    EXPECT_EQ(events, (std::vector<std::string>{"down", "click right", "up"}));
    inject(TNotifyIconActivation::Click);
    EXPECT_EQ(events, (std::vector<std::string>{"down", "click left", "up"}));

    // A double click clicks the menu's enabled default item, else fires OnDblClick.
    menu.AutoPopup = true;
    inject(TNotifyIconActivation::DoubleClick);
    EXPECT_EQ(events, (std::vector<std::string>{"double", "down double", "up"}));
    open->SetDefault(true);
    inject(TNotifyIconActivation::DoubleClick);
    EXPECT_EQ(events, (std::vector<std::string>{"apri", "down double", "up"}));

    tray.Enabled = false;
    inject(TNotifyIconActivation::Click);
    EXPECT_TRUE(events.empty());
    tray.SetPopupMenu(nullptr);
}

TEST(TrayIconDesktop, WithoutANotificationAreaTheIconIsNotAdded)
{
    // Qt's offscreen platform has no tray.
    TExTrayIcon tray(nullptr);
    auto icon = SystemIcon(IDI_APPLICATION);
    tray.SetIcon(icon.get());
    EXPECT_TRUE(tray.Active());
    EXPECT_FALSE(tray.InTray());
}
