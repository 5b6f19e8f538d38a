// Message pumps that keep timers and posted work alive but hold back the user's input.

#include "GuiTestSupport.h"

#include "platform/gui/Form.h"
#include "platform/gui/MessageQueue.h"
#include "platform/gui/Timer.h"
#include "platform/gui/WindowHandles.h"

#include <QCoreApplication>
#include <QWidget>
#include <QKeyEvent>
#include <QMouseEvent>

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

namespace {

class ExcludingInput : public testing::Test {
protected:
    void SetUp() override
    {
        form = TForm::Create<TForm>(nullptr);
        form->SetBounds(100, 100, 300, 200);
        recorder = new TRecorder(form);
        recorder->SetParent(form);
        recorder->SetBounds(10, 10, 100, 100);
        recorder->SetTabStop(true);
        ShowAndActivate(form);
        recorder->SetFocus();
        Application->ProcessMessages();
        recorder->WatchOnly({WM_KEYDOWN, WM_CHAR, WM_KEYUP, WM_LBUTTONDOWN, WM_USER + 5});
    }
    void TearDown() override { TComponent::Free(form); }

    TForm* form = nullptr;
    TRecorder* recorder = nullptr;
};

// Input reaches the layer three ways: as Qt's posted input events, as keyboard and mouse messages
// in the layer's own queue, and from the window system (held back by Qt itself).
TEST_F(ExcludingInput, QueuedKeyPressWaitsForTheNextFullPass)
{
    QCoreApplication::postEvent(Widget(recorder), new QKeyEvent(QEvent::KeyPress, Qt::Key_A, Qt::NoModifier, "a"));
    QCoreApplication::postEvent(Widget(recorder), new QKeyEvent(QEvent::KeyRelease, Qt::Key_A, Qt::NoModifier, "a"));
    PostMessageA(recorder->Handle(), WM_USER + 5, 0, 0);

    Application->ProcessMessagesExcludingInput();
    EXPECT_EQ(recorder->Messages(), std::vector<UINT>{WM_USER + 5});

    Application->ProcessMessages();
    EXPECT_EQ(recorder->Messages(), (std::vector<UINT>{WM_USER + 5, WM_KEYDOWN, WM_CHAR, WM_KEYUP}));
}

TEST_F(ExcludingInput, QueuedInputMessagesStayInTheQueueInOrder)
{
    PostMessageA(recorder->Handle(), WM_KEYDOWN, 'B', 1);
    PostMessageA(recorder->Handle(), WM_USER + 5, 0, 0);
    PostMessageA(recorder->Handle(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(3, 4));

    Application->ProcessMessagesExcludingInput();
    EXPECT_EQ(recorder->Messages(), std::vector<UINT>{WM_USER + 5});
    EXPECT_EQ(PostedMessageCount(), 2);

    Application->ProcessMessages();
    EXPECT_EQ(recorder->Messages(), (std::vector<UINT>{WM_USER + 5, WM_KEYDOWN, WM_LBUTTONDOWN}));
}

TEST_F(ExcludingInput, TimersAndMouseEventsFollowTheSameRule)
{
    int ticks = 0;
    TTimer timer(nullptr);
    timer.SetInterval(10);
    timer.OnTimer = [&](TObject*) { ++ticks; };
    const QPointF global = Widget(recorder)->mapToGlobal(QPointF(5, 5));
    QCoreApplication::postEvent(Widget(recorder), new QMouseEvent(QEvent::MouseButtonPress, QPointF(5, 5), global,
                                                                  Qt::LeftButton, Qt::LeftButton, Qt::NoModifier));
    for (int round = 0; round < 600 && ticks == 0; ++round) {
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
        Application->ProcessMessagesExcludingInput();
    }
    EXPECT_GT(ticks, 0);
    EXPECT_TRUE(recorder->Messages().empty());
    timer.SetEnabled(false);
    Application->ProcessMessages();
    EXPECT_EQ(recorder->Messages(), std::vector<UINT>{WM_LBUTTONDOWN});
    QCoreApplication::postEvent(Widget(recorder), new QMouseEvent(QEvent::MouseButtonRelease, QPointF(5, 5), global,
                                                                  Qt::LeftButton, Qt::NoButton, Qt::NoModifier));
    Application->ProcessMessages();
}

// A handler that runs a message loop still gets the later ticks of its own timer, as the version
// check's download inside the first tick is aborted by a later one.
TEST(TimerTicks, ComeAgainWhileTheirHandlerRunsAMessageLoop)
{
    TTimer timer(nullptr);
    timer.SetInterval(50);
    int depth = 0;
    int nestedTicks = 0;
    bool done = false;
    timer.OnTimer = [&](TObject*) {
        if (depth > 0) {
            ++nestedTicks;
            return;
        }
        ++depth;
        const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(400);
        while (std::chrono::steady_clock::now() < end)
            MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
        --depth;
        done = true;
    };
    for (int round = 0; round < 400 && !done; ++round)
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
    timer.SetEnabled(false);
    EXPECT_TRUE(done);
    EXPECT_GE(nestedTicks, 3);
}

} // namespace
