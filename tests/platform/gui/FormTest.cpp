#include "GuiTestSupport.h"

#include "platform/gui/Form.h"
#include "platform/gui/MessageQueue.h"
#include "platform/gui/Screen.h"
#include "platform/gui/Timer.h"
#include "platform/gui/WindowFunctions.h"
#include "platform/gui/WindowHandles.h"
#include "platform/rtl/Threads.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QTest>
#include <QTimer>
#include <QWidget>

#include <gtest/gtest.h>

#include <thread>

namespace {

std::vector<std::string>* loadTrace = nullptr;

class TTracedComponent : public TComponent {
    TESS_CLASS(TTracedComponent, TComponent)
public:
    TTracedComponent(TComponent* owner, std::string name) : TComponent(owner), Label(std::move(name)) {}
    void Loaded() override
    {
        loadTrace->push_back(Label + (ComponentState().Contains(csLoading) ? " loading" : " ready"));
        TComponent::Loaded();
    }
    std::string Label;
};

class TTracedForm : public TForm {
    TESS_CLASS(TTracedForm, TForm)
public:
    explicit TTracedForm(TComponent* owner) : TForm(owner)
    {
        new TTracedComponent(this, "uno");
        new TTracedComponent(this, "due");
        new TTracedComponent(this, "tre");
        OnCreate = [](TObject*) { loadTrace->push_back("OnCreate"); };
    }
    void Loaded() override
    {
        loadTrace->push_back("form");
        TForm::Loaded();
    }
};

TEST(FormConstruction, LoadedRunsInCreationOrderThenTheFormThenOnCreate)
{
    std::vector<std::string> trace;
    loadTrace = &trace;
    TTracedForm* form = TForm::Create<TTracedForm>(nullptr);
    EXPECT_EQ(trace, (std::vector<std::string>{"uno loading", "due loading", "tre loading", "form", "OnCreate"}));
    EXPECT_FALSE(form->ComponentState().Contains(csLoading));
    TComponent::Free(form);
    loadTrace = nullptr;
}

class ModalForms : public testing::Test {
protected:
    void TearDown() override { SetModalStartHook(nullptr); }
};

TEST_F(ModalForms, HookSetsTheResult)
{
    TForm form(nullptr);
    SetModalStartHook([](TCustomForm* f) { f->SetModalResult(mrOk); });
    EXPECT_EQ(form.ShowModal(), mrOk);
    EXPECT_FALSE(form.Visible());
    EXPECT_THROW(([&] {
                     form.Show();
                     form.ShowModal();
                 }()),
                 EInvalidOperation);
    form.Hide();
}

TEST_F(ModalForms, FourNestedModalFormsReturnInOrder)
{
    std::vector<int> returned;
    TForm* forms[4];
    for (auto& f : forms)
        f = new TForm(nullptr);
    int depth = 0;
    SetModalStartHook([&](TCustomForm* f) {
        const int level = depth++;
        if (level < 3) {
            returned.push_back(forms[level + 1]->ShowModal());
        }
        f->SetModalResult(level == 3 ? mrYes : mrOk);
    });
    returned.push_back(forms[0]->ShowModal());
    EXPECT_EQ(returned, (std::vector<int>{mrYes, mrOk, mrOk, mrOk}));
    for (auto* f : forms)
        TComponent::Free(f);
}

TEST_F(ModalForms, CloseBoxCancelsAndCaNoneKeepsTheLoopRunning)
{
    TForm form(nullptr);
    int closeCalls = 0;
    form.OnClose = [&](TObject*, TCloseAction& action) {
        if (++closeCalls == 1)
            action = caNone;
    };
    SetModalStartHook([&](TCustomForm* f) {
        QTimer::singleShot(10, [f] {
            QCloseEvent close;
            QCoreApplication::sendEvent(Widget(f), &close);
        });
        QTimer::singleShot(60, [f] { f->SetModalResult(mrAbort); });
    });
    EXPECT_EQ(form.ShowModal(), mrAbort);
    EXPECT_EQ(closeCalls, 2);
}

TEST_F(ModalForms, CloseQueryFalseKeepsANonModalFormOpen)
{
    TForm form(nullptr);
    form.Show();
    form.OnCloseQuery = [](TObject*, bool& canClose) { canClose = false; };
    form.Close();
    EXPECT_TRUE(Widget(&form)->isVisible());
    form.OnCloseQuery = nullptr;
    form.Close();
    EXPECT_FALSE(Widget(&form)->isVisible());
}

class TSelfFreeing : public TForm {
    TESS_CLASS(TSelfFreeing, TForm)
public:
    using TForm::TForm;
    int Field = 5;
    int ReadAfterRelease = 0;
};

TEST(FormRelease, AFormFreedFromItsOwnHandlerStaysValidUntilTheHandlerReturns)
{
    for (bool useCaFree : {false, true}) {
        auto* form = new TSelfFreeing(nullptr);
        auto* button = new TRecorder(form);
        button->SetParent(form);
        button->SetBounds(0, 0, 40, 20);
        ShowAndActivate(form);
        int read = 0;
        bool destroyed = false;
        form->OnDestroy = [&](TObject*) { destroyed = true; };
        if (useCaFree)
            form->OnClose = [](TObject*, TCloseAction& action) { action = caFree; };
        button->OnClick = [form, &read, useCaFree](TObject*) {
            if (useCaFree)
                form->Close();
            else
                form->Release();
            read = form->Field;
        };
        QTest::mouseClick(Widget(button), Qt::LeftButton, {}, QPoint(5, 5));
        EXPECT_EQ(read, 5);
        EXPECT_TRUE(PumpUntil([&] { return destroyed; }));
        EXPECT_EQ(Screen->IndexOfForm(form), -1);
    }
}

TEST(ApplicationMessages, OnMessageSeesPostsToTheApplicationWindowBeforeTheHooks)
{
    const UINT message = RegisterWindowMessage("TESSELLARIUM_UPDATE_TABLE");
    std::vector<std::string> seen;
    bool handle = true;
    Application->OnMessage = [&](TMsg& msg, bool& handled) {
        if (msg.message == message) {
            seen.push_back("OnMessage");
            handled = handle;
        }
    };
    const int first = Application->HookMainWindow([&](TMessage& m) {
        if (m.Msg == message)
            seen.push_back("first hook");
        return false;
    });
    const int second = Application->HookMainWindow([&](TMessage& m) {
        if (m.Msg == message)
            seen.push_back("second hook");
        return false;
    });
    PostMessageA(Application->Handle(), message, 0, 0);
    Application->ProcessMessages();
    EXPECT_EQ(seen, std::vector<std::string>{"OnMessage"});
    seen.clear();
    handle = false;
    PostMessageA(Application->Handle(), message, 0, 0);
    Application->ProcessMessages();
    EXPECT_EQ(seen, (std::vector<std::string>{"OnMessage", "second hook", "first hook"}));
    Application->UnhookMainWindow(first);
    Application->UnhookMainWindow(second);
    Application->OnMessage = nullptr;
}

TEST(ApplicationMessages, OnIdleWithDoneFalseRunsAgainWithoutWaiting)
{
    int calls = 0;
    Application->OnIdle = [&](TObject*, bool& done) {
        ++calls;
        done = false;
    };
    // None of these waits: each round runs OnIdle and returns because it asked for more.
    for (int i = 0; i < 3; ++i)
        Application->HandleMessage();
    EXPECT_EQ(calls, 3);
    // With Done left true the loop waits, until a posted message wakes it.
    Application->OnIdle = [&](TObject*, bool&) { ++calls; };
    HWND window = AllocateHWnd([](TMessage&) {});
    QTimer::singleShot(20, [window] { PostMessageA(window, WM_USER, 0, 0); });
    Application->HandleMessage();
    EXPECT_EQ(calls, 4);
    DeallocateHWnd(window);
    Application->OnIdle = nullptr;
}

TEST(Timers, TimerFiresWhileMessagesAreProcessedAndInsideModalLoops)
{
    TTimer timer(nullptr);
    int fired = 0;
    TObject* sender = nullptr;
    timer.SetInterval(50);
    timer.OnTimer = [&](TObject* s) {
        ++fired;
        sender = s;
    };
    Pump(500);
    EXPECT_GE(fired, 3);
    EXPECT_EQ(sender, &timer);
    TForm form(nullptr);
    const int before = fired;
    SetModalStartHook([&](TCustomForm* f) { QTimer::singleShot(300, [f] { f->SetModalResult(mrOk); }); });
    form.ShowModal();
    SetModalStartHook(nullptr);
    EXPECT_GT(fired, before);
    timer.SetEnabled(false);
    const int stopped = fired;
    Pump(200);
    EXPECT_EQ(fired, stopped);
}

TEST(Timers, SetTimerOnAUtilityWindowDeliversItsId)
{
    std::vector<WPARAM> ids;
    HWND window = AllocateHWnd([&](TMessage& m) {
        if (m.Msg == WM_TIMER)
            ids.push_back(m.WParam);
    });
    EXPECT_EQ(SetTimer(window, 7, 20, nullptr), 7u);
    EXPECT_TRUE(PumpUntil([&] { return !ids.empty(); }));
    EXPECT_EQ(ids.front(), 7u);
    EXPECT_TRUE(KillTimer(window, 7));
    DeallocateHWnd(window);
}

class TSyncThread : public TThread {
public:
    TSyncThread() : TThread(true) {}
    std::uint32_t RanOn = 0;

protected:
    void Execute() override
    {
        Synchronize([this] { RanOn = GetCurrentThreadId(); });
    }
};

TEST(Threads, SynchronizeRunsWhileAModalFormIsOpen)
{
    TForm form(nullptr);
    TSyncThread thread;
    SetModalStartHook([&](TCustomForm* f) {
        thread.Start();
        QTimer::singleShot(10, [&, f] {
            PumpUntil([&] { return thread.RanOn != 0; }, 3000);
            f->SetModalResult(mrOk);
        });
    });
    form.ShowModal();
    SetModalStartHook(nullptr);
    thread.WaitFor();
    EXPECT_EQ(thread.RanOn, GetCurrentThreadId());
}

TEST(Threads, WidgetWorkOffTheGuiThreadRaises)
{
    TCustomControl control(nullptr);
    control.SetBounds(1, 2, 3, 4);
    bool raised = false;
    std::thread worker([&] {
        try {
            control.SetBounds(10, 20, 30, 40);
        } catch (const EInvalidOperation&) {
            raised = true;
        }
    });
    worker.join();
    EXPECT_TRUE(raised);
    EXPECT_EQ(control.BoundsRect(), Bounds(1, 2, 3, 4));
}

} // namespace

namespace {

TEST(ApplicationRun, TerminateEndsTheLoopAndPlacementRoundTrips)
{
    TForm form(nullptr);
    form.SetBounds(40, 30, 220, 160);
    form.Show();
    WINDOWPLACEMENT placement;
    ASSERT_TRUE(GetWindowPlacement(form.Handle(), placement));
    EXPECT_EQ(placement.length, 44u);
    EXPECT_EQ(placement.rcNormalPosition, Bounds(40, 30, 220, 160));
    placement.rcNormalPosition = Bounds(60, 50, 300, 200);
    ASSERT_TRUE(SetWindowPlacement(form.Handle(), placement));
    EXPECT_EQ(form.BoundsRect(), Bounds(60, 50, 300, 200));
    EXPECT_EQ(Widget(&form)->geometry(), QRect(60, 50, 300, 200));
    form.Hide();
}

} // namespace

namespace {

class TBoundedForm : public TForm {
public:
    using TForm::TForm;
    void Dispatch(TMessage& Message) override
    {
        if (Message.Msg == WM_GETMINMAXINFO) {
            auto* info = reinterpret_cast<MINMAXINFO*>(Message.LParam);
            info->ptMinTrackSize = {200, 150};
            info->ptMaxTrackSize = {500, 400};
            return;
        }
        TForm::Dispatch(Message);
    }
};

TEST(FormSizes, MinMaxInfoBoundsTheWindow)
{
    TBoundedForm form(nullptr);
    form.Show();
    form.SetBounds(0, 0, 100, 100);
    EXPECT_EQ(form.Width(), 200);
    EXPECT_EQ(form.Height(), 150);
    form.SetBounds(0, 0, 900, 900);
    EXPECT_EQ(form.Width(), 500);
    EXPECT_EQ(form.Height(), 400);
    EXPECT_EQ(Widget(&form)->minimumSize(), QSize(200, 150));
    EXPECT_EQ(Widget(&form)->maximumSize(), QSize(500, 400));
    form.Hide();
}

TEST(ExceptionRoute, TimerAndIdleHandlersReachOnException)
{
    std::vector<std::string> messages;
    Application->OnException = [&](TObject*, Exception& e) { messages.push_back(e.Message); };
    TTimer timer(nullptr);
    timer.SetInterval(10);
    timer.OnTimer = [&](TObject*) {
        timer.SetEnabled(false);
        RAISE(EConvertError("dal timer"));
    };
    Application->OnIdle = [](TObject*, bool& done) {
        done = false;
        RAISE(EConvertError("dal riposo"));
    };
    Application->HandleMessage();
    Application->OnIdle = nullptr;
    PumpUntil([&] { return messages.size() >= 2; }, 2000);
    Application->OnException = nullptr;
    EXPECT_NE(std::find(messages.begin(), messages.end(), "dal timer"), messages.end());
    EXPECT_NE(std::find(messages.begin(), messages.end(), "dal riposo"), messages.end());
}

} // namespace

namespace {

TEST(FormRelease, WidgetsOfAFormFreedInsideAnEventOutliveTheEvent)
{
    auto* form = new TForm(nullptr);
    auto* button = new TRecorder(form);
    button->SetParent(form);
    button->SetBounds(0, 0, 40, 20);
    ShowAndActivate(form);
    // The last handler of the release frees the whole form with the widget still in its event.
    button->OnMouseUp = [form](TObject*, TMouseButton, TShiftState, int, int) { TComponent::Free(form); };
    QTest::mouseClick(Widget(button), Qt::LeftButton, {}, QPoint(5, 5));
    Application->ProcessMessages();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_EQ(Screen->IndexOfForm(form), -1);
}

} // namespace
