// Application events shared by several components: the order of the handlers, the components
// that stop the walk, exceptions from a real timer, messages posted to the application, the
// mirrored hint settings and the application window's messages.

#include "ControlsTestSupport.h"

#include "controls/AppEvent.h"
#include "platform/gui/Application.h"
#include "platform/gui/MessageQueue.h"
#include "platform/gui/Screen.h"
#include "platform/gui/ScriptedDialogs.h"
#include "platform/gui/Timer.h"
#include "platform/gui/WindowHandles.h"

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <string>
#include <vector>

namespace AppEventTest {

bool PumpUntil(const std::function<bool()>& condition, int ms = 2000)
{
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (std::chrono::steady_clock::now() < end) {
        Application->ProcessMessages();
        if (condition())
            return true;
    }
    return condition();
}

bool AllEventsEmpty()
{
    return !Application->OnActivate && !Application->OnDeactivate && !Application->OnException &&
           !Application->OnIdle && !Application->OnHelp && !Application->OnHint && !Application->OnMessage &&
           !Application->OnMinimize && !Application->OnRestore && !Application->OnShowHint &&
           !Screen->OnActiveControlChange && !Screen->OnActiveFormChange;
}

class AppEventsFixture : public testing::Test {
protected:
    void SetUp() override
    {
        auto dialogs = std::make_unique<TScriptedDialogs>();
        Dialogs = dialogs.get();
        Dialogs->AnswerAll(TDialogKind::MessageBox, TDialogAnswer::Code(IDOK));
        Previous = SetDialogService(std::move(dialogs));
    }
    void TearDown() override
    {
        for (auto it = Components.rbegin(); it != Components.rend(); ++it)
            TComponent::Free(*it);
        SetDialogService(std::move(Previous));
        Application->OnException = nullptr;
        Application->OnHint = nullptr;
        Application->OnMessage = nullptr;
        Application->OnHelp = nullptr;
    }
    TAppEvents* Make()
    {
        Components.push_back(new TAppEvents(nullptr));
        return Components.back();
    }
    int MessageBoxCount() const
    {
        int count = 0;
        for (const auto& request : Dialogs->Requests())
            count += request.Kind == TDialogKind::MessageBox;
        return count;
    }

    TScriptedDialogs* Dialogs = nullptr;
    std::unique_ptr<IDialogService> Previous;
    std::vector<TAppEvents*> Components;
};

// A timer whose handler throws: the exception travels the application's route.
void FireThrowingTimer(bool& fired)
{
    TTimer timer(nullptr);
    timer.SetInterval(5);
    timer.OnTimer = [&](TObject*) {
        if (fired)
            return;
        fired = true;
        throw Exception("Errore nel timer");
    };
    timer.SetEnabled(true);
    PumpUntil([&] { return fired; });
    timer.SetEnabled(false);
    Application->ProcessMessages();
}

TEST_F(AppEventsFixture, ExceptionFromATimerReachesTheComponentAndNotTheStandardDisplay)
{
    TAppEvents* events = Make();
    std::string caught;
    events->OnException = [&](TObject*, Exception& E) { caught = E.Message; };
    bool fired = false;
    FireThrowingTimer(fired);
    ASSERT_TRUE(fired);
    EXPECT_EQ(caught, "Errore nel timer");
    EXPECT_EQ(MessageBoxCount(), 0);

    // With no handler anywhere the standard display shows the message.
    events->OnException = nullptr;
    fired = false;
    FireThrowingTimer(fired);
    ASSERT_EQ(MessageBoxCount(), 1);
    EXPECT_NE(Dialogs->Requests()[0].Text.find("Errore nel timer"), std::string::npos);
}

TEST_F(AppEventsFixture, LaterComponentsRunFirstAndAnUnchainedOneStopsTheWalk)
{
    std::vector<std::string> trace;
    Application->OnHint = [&](TObject* Sender) { trace.push_back(Sender == Application ? "previous" : "?"); };
    TAppEvents* a = Make();
    TAppEvents* b = Make();
    a->OnHint = [&](TObject* Sender) { trace.push_back(Sender == Application ? "A" : "?"); };
    b->OnHint = [&](TObject* Sender) { trace.push_back(Sender == Application ? "B" : "?"); };

    Application->SetHint("primo");
    EXPECT_EQ(trace, (std::vector<std::string>{"B", "A", "previous"}));

    trace.clear();
    b->Chained = false;
    Application->SetHint("secondo");
    EXPECT_EQ(trace, (std::vector<std::string>{"B"}));

    // An unchained component without an exception handler: nobody handled it, so it is shown.
    bool previousCalled = false;
    a->OnException = [&](TObject*, Exception&) { previousCalled = true; };
    Exception error("Nessuno la gestisce");
    Application->OnException(Application, error);
    EXPECT_FALSE(previousCalled);
    EXPECT_EQ(MessageBoxCount(), 1);

    // OnHelp answers what the last handler called answered.
    b->Chained = true;
    a->OnHelp = [](WORD, std::intptr_t, bool&) { return true; };
    b->OnHelp = [](WORD, std::intptr_t, bool&) { return false; };
    EXPECT_TRUE(Application->HelpContext(7));
    a->OnHelp = nullptr;
    EXPECT_FALSE(Application->HelpContext(7));
}

TEST_F(AppEventsFixture, MessagesPostedToTheApplicationReachOnMessageAndHandledStopsTheWalk)
{
    const UINT probe = RegisterWindowMessage("TessAppEventsProbe");
    std::vector<std::string> trace;
    TAppEvents* a = Make();
    TAppEvents* b = Make();
    a->OnMessage = [&](TMsg& Msg, bool&) {
        if (Msg.message == probe)
            trace.push_back("A " + std::to_string(Msg.wParam));
    };
    b->OnMessage = [&](TMsg& Msg, bool& Handled) {
        if (Msg.message == probe) {
            trace.push_back("B " + std::to_string(Msg.wParam));
            Handled = Msg.wParam == 2;
        }
    };
    PostMessage(Application->Handle(), probe, 1, 0);
    PostMessage(Application->Handle(), probe, 2, 0);
    PumpUntil([&] { return trace.size() >= 3; }, 500);
    EXPECT_EQ(trace, (std::vector<std::string>{"B 1", "A 1", "B 2"}));
}

TEST_F(AppEventsFixture, DestroyingTheOnlyComponentLeavesTheTwelveEventsEmpty)
{
    Application->OnHint = [](TObject*) {};
    Application->OnIdle = [](TObject*, bool&) {};
    Screen->OnActiveFormChange = [](TObject*) {};
    TAppEvents* events = Make();
    EXPECT_TRUE(Application->OnException);
    TComponent::Free(events);
    Components.clear();
    EXPECT_TRUE(AllEventsEmpty());
}

TEST_F(AppEventsFixture, MirroredSettingsReadTheApplicationAtRunTime)
{
    TAppEvents* events = Make();
    events->SetHintPause(800);
    EXPECT_EQ(Application->HintPause, 800);
    Application->HintPause = 1234;
    EXPECT_EQ(events->HintPause(), 1234);
    events->SetShowHint(false);
    EXPECT_FALSE(Application->ShowHint());
    events->SetShowHint(true);
    Application->HintPause = 500;
}

TEST_F(AppEventsFixture, ApplicationWindowMessages)
{
    // A hook installed before the component sees what the component does not consume.
    std::vector<UINT> seenLater;
    const int hook = Application->HookMainWindow([&](TMessage& Msg) {
        seenLater.push_back(Msg.Msg);
        return false;
    });
    TAppEvents* events = Make();
    bool painted = false;
    events->OnPaintIcon = [&](TObject*) { painted = true; };
    int settings = 0;
    events->OnSettingsChanged = [&](TObject*) {
        if (++settings == 2)
            throw Exception("Impostazioni illeggibili");
    };
    std::string caught;
    events->OnException = [&](TObject* Sender, Exception& E) { caught = Sender == events ? E.Message : "?"; };

    SendMessage(Application->Handle(), WM_PAINT, 0, 0);
    EXPECT_FALSE(painted);
    SendMessage(Application->Handle(), WM_WININICHANGE, 0, 0);
    SendMessage(Application->Handle(), WM_WININICHANGE, 0, 0);
    EXPECT_EQ(settings, 2);
    EXPECT_EQ(caught, "Impostazioni illeggibili");
    EXPECT_EQ(seenLater, (std::vector<UINT>{WM_PAINT, WM_WININICHANGE, WM_WININICHANGE}));
    Application->UnhookMainWindow(hook);
}

} // namespace AppEventTest
