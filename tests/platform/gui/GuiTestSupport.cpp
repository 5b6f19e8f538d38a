#include "GuiTestSupport.h"

#include "platform/gui/private/ControlHost.h"
#include "platform/gui/private/Surfaces.h"
#include "platform/gui/private/QtBridge.h"
#include "platform/rtl/Threads.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTest>
#include <QWidget>

#include <cstdio>
#include <filesystem>
#include <gtest/gtest.h>

namespace {

// One QApplication and one initialised application object for the whole test run.
class TGuiEnvironment : public testing::Environment {
public:
    void SetUp() override
    {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        static int argc = 1;
        static char name[] = "platform_gui_tests";
        static char* argv[] = {name, nullptr};
        if (!QApplication::instance())
            new QApplication(argc, argv);
        Application->Initialize();
    }
};

const testing::Environment* const environment = testing::AddGlobalTestEnvironment(new TGuiEnvironment);

} // namespace

TScriptedScope::TScriptedScope() : FService(new TScriptedDialogs)
{
    FPrevious = SetDialogService(std::unique_ptr<IDialogService>(FService));
}

TScriptedScope::~TScriptedScope() { SetDialogService(std::move(FPrevious)); }

void TRecorder::WndProc(TMessage& Message)
{
    if (Watch.count(Message.Msg))
        Log.push_back({Message.Msg, Message.WParam, Message.LParam});
    if (Message.Msg == WM_GETDLGCODE) {
        Message.Result = DlgCode;
        return;
    }
    TCustomControl::WndProc(Message);
}

std::vector<UINT> TRecorder::Messages() const
{
    std::vector<UINT> messages;
    for (const TEntry& entry : Log)
        messages.push_back(entry.Msg);
    return messages;
}

void TRecorder::Paint()
{
    ++PaintCount;
    if (PaintColor == clNone)
        return;
    if (QPainter* painter = PaintPainter(this))
        painter->fillRect(ToQRect(ClientRect()), ToQColor(PaintColor));
}

void Pump(int ms)
{
    QElapsedTimer timer;
    timer.start();
    do {
        Application->ProcessMessages();
        QTest::qWait(5);
    } while (timer.elapsed() < ms);
}

bool PumpUntil(const std::function<bool()>& condition, int timeoutMs)
{
    QElapsedTimer timer;
    timer.start();
    while (!condition()) {
        if (timer.elapsed() > timeoutMs)
            return false;
        Application->ProcessMessages();
        QTest::qWait(5);
    }
    return true;
}

unsigned PictureRgb(TColor color)
{
    const COLORREF c = ColorToRGB(color);
    return qRgb(c & 0xFF, (c >> 8) & 0xFF, (c >> 16) & 0xFF) & 0xFFFFFF;
}

QWidget* Widget(TControl* control) { return WidgetOf(control); }

void ShowAndActivate(TCustomForm* form)
{
    form->Show();
    QWidget* widget = WidgetOf(form);
    widget->activateWindow();
    QApplication::setActiveWindow(widget);
    PumpUntil([widget] { return widget->isActiveWindow(); }, 2000);
    Application->ProcessMessages();
}

std::string ScreenshotDir()
{
    std::string dir;
    if (const char* env = std::getenv("TESS_SCREENSHOT_DIR"); env && *env)
        dir = env;
    else
        dir = (std::filesystem::current_path() / "screenshots").string();
    std::filesystem::create_directories(dir);
    return dir;
}

std::set<UINT> InputMessages()
{
    return {WM_KEYDOWN,      WM_KEYUP,        WM_CHAR,         WM_SYSKEYDOWN,  WM_SYSKEYUP,   WM_SYSCHAR,
            WM_LBUTTONDOWN,  WM_LBUTTONUP,    WM_LBUTTONDBLCLK, WM_RBUTTONDOWN, WM_RBUTTONUP,  WM_MOUSEWHEEL,
            CM_MOUSEENTER,   CM_MOUSELEAVE,   WM_SETFOCUS,     WM_KILLFOCUS,   CM_DIALOGKEY,  CM_DIALOGCHAR,
            CM_CANCELMODE,   WM_DROPFILES,    WM_CONTEXTMENU};
}

std::string RunCommand(const std::string& command)
{
    std::string output;
    FILE* pipe = popen((command + " 2>&1").c_str(), "r");
    if (!pipe)
        return output;
    char buffer[4096];
    std::size_t n;
    while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0)
        output.append(buffer, n);
    pclose(pipe);
    return output;
}
