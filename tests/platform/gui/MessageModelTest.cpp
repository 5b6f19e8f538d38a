#include "GuiTestSupport.h"

#include "platform/gui/Form.h"
#include "platform/gui/MessageQueue.h"
#include "platform/gui/Timer.h"
#include "platform/gui/WindowFunctions.h"
#include "platform/gui/WindowHandles.h"
#include "platform/rtl/Threads.h"

#include <QTest>
#include <QWidget>

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

namespace {

class MessageModel : public testing::Test {
protected:
    void SetUp() override
    {
        form = new TForm(nullptr);
        form->SetBounds(100, 100, 300, 200);
        control = new TRecorder(form);
        control->SetParent(form);
        control->SetBounds(10, 10, 100, 50);
    }
    void TearDown() override { TComponent::Free(form); }

    TForm* form = nullptr;
    TRecorder* control = nullptr;
};

TEST_F(MessageModel, PerformReachesWndProcWithoutCreatingAHandle)
{
    control->WatchOnly({CM_TEXTCHANGED});
    control->Perform(CM_TEXTCHANGED, 0, 0);
    EXPECT_EQ(control->Messages(), std::vector<UINT>{CM_TEXTCHANGED});
    EXPECT_FALSE(control->HandleAllocated());
}

TEST_F(MessageModel, InstalledProcedureSeesSentPostedAndQtMessagesButNotPerform)
{
    ShowAndActivate(form);
    HWND handle = control->Handle();
    std::vector<UINT> seen;
    WNDPROC previous;
    previous = SetWindowLongPtrA(handle, GWL_WNDPROC,
                                 WNDPROC([&](HWND h, UINT msg, WPARAM w, LPARAM l) -> LRESULT {
                                     if (msg == WM_USER + 1 || msg == WM_USER + 2 || msg == WM_USER + 3 ||
                                         msg == WM_LBUTTONDOWN)
                                         seen.push_back(msg);
                                     return CallWindowProcA(previous, h, msg, w, l);
                                 }));
    control->WatchOnly({WM_USER + 1, WM_USER + 2, WM_USER + 3, WM_LBUTTONDOWN});
    SendMessageA(handle, WM_USER + 1, 0, 0);
    PostMessageA(handle, WM_USER + 2, 0, 0);
    Application->ProcessMessages();
    QTest::mousePress(Widget(control), Qt::LeftButton, {}, QPoint(5, 5));
    QTest::mouseRelease(Widget(control), Qt::LeftButton, {}, QPoint(5, 5));
    control->Perform(WM_USER + 3, 0, 0);
    EXPECT_EQ(seen, (std::vector<UINT>{WM_USER + 1, WM_USER + 2, WM_LBUTTONDOWN}));
    // The control's handler ran for all four because the procedure called the previous one.
    EXPECT_EQ(control->Messages(), (std::vector<UINT>{WM_USER + 1, WM_USER + 2, WM_LBUTTONDOWN, WM_USER + 3}));
}

TEST_F(MessageModel, ProcedureThatDoesNotCallThePreviousStopsTheMessageAndLastInstalledRunsFirst)
{
    HWND handle = control->Handle();
    std::vector<std::string> order;
    WNDPROC first;
    first = SetWindowLongPtrA(handle, GWL_WNDPROC, WNDPROC([&](HWND h, UINT msg, WPARAM w, LPARAM l) -> LRESULT {
                                  if (msg == WM_USER + 5)
                                      order.push_back("first");
                                  if (msg == WM_USER + 6)
                                      return 42;
                                  return CallWindowProcA(first, h, msg, w, l);
                              }));
    WNDPROC second;
    second = SetWindowLongPtrA(handle, GWL_WNDPROC, WNDPROC([&](HWND h, UINT msg, WPARAM w, LPARAM l) -> LRESULT {
                                   if (msg == WM_USER + 5)
                                       order.push_back("second");
                                   return CallWindowProcA(second, h, msg, w, l);
                               }));
    control->WatchOnly({WM_USER + 5, WM_USER + 6});
    SendMessageA(handle, WM_USER + 5, 0, 0);
    EXPECT_EQ(order, (std::vector<std::string>{"second", "first"}));
    EXPECT_EQ(SendMessageA(handle, WM_USER + 6, 0, 0), 42);
    EXPECT_EQ(control->Messages(), std::vector<UINT>{WM_USER + 5});
    EXPECT_EQ(GetWindowProc(handle), second == first ? first : GetWindowProc(handle));
}

TEST_F(MessageModel, RecreateWndLosesTheInstalledProcedureAndKeepsTheProperties)
{
    ShowAndActivate(form);
    control->SetText("Prova");
    HWND handle = control->Handle();
    int hooked = 0;
    WNDPROC previous;
    previous = SetWindowLongPtrA(handle, GWL_WNDPROC, WNDPROC([&](HWND h, UINT msg, WPARAM w, LPARAM l) -> LRESULT {
                                     if (msg == WM_USER + 7)
                                         ++hooked;
                                     return CallWindowProcA(previous, h, msg, w, l);
                                 }));
    int windowProcCalls = 0;
    control->WindowProc = [&](TMessage& M) {
        if (M.Msg == WM_USER + 7)
            ++windowProcCalls;
        control->WndProc(M);
    };
    control->WatchOnly({WM_DESTROY, WM_NCDESTROY});
    control->RecreateWnd();
    EXPECT_EQ(control->Messages(), (std::vector<UINT>{WM_DESTROY, WM_NCDESTROY}));
    EXPECT_FALSE(IsWindow(handle));
    HWND recreated = control->Handle();
    EXPECT_NE(recreated, handle);
    SendMessageA(recreated, WM_USER + 7, 0, 0);
    EXPECT_EQ(hooked, 0);
    EXPECT_EQ(windowProcCalls, 1);
    EXPECT_EQ(control->Text(), "Prova");
    EXPECT_EQ(control->BoundsRect(), Bounds(10, 10, 100, 50));
    EXPECT_TRUE(control->Visible());
    EXPECT_TRUE(Widget(control)->isVisible());
}

// A per-control before/after hook chain built on the two primitives, as the program builds one.
struct THookChain {
    struct THook {
        std::string Name;
        bool HandleBefore = false;
    };
    HWND Handle;
    WNDPROC Original;
    std::vector<THook> Hooks; // attach order
    std::vector<std::string>* Trace;

    void Install()
    {
        Original = SetWindowLongPtrA(Handle, GWL_WNDPROC, WNDPROC([this](HWND h, UINT msg, WPARAM w, LPARAM l) {
                                         return Run(h, msg, w, l);
                                     }));
    }
    LRESULT Run(HWND h, UINT msg, WPARAM w, LPARAM l)
    {
        if (msg != WM_USER + 9 && msg != WM_DESTROY)
            return CallWindowProcA(Original, h, msg, w, l);
        for (auto it = Hooks.rbegin(); it != Hooks.rend(); ++it) {
            Trace->push_back("before " + it->Name);
            if (it->HandleBefore && msg != WM_DESTROY)
                return 0;
        }
        const LRESULT result = CallWindowProcA(Original, h, msg, w, l);
        for (auto it = Hooks.rbegin(); it != Hooks.rend(); ++it)
            Trace->push_back("after " + it->Name);
        return result;
    }
};

TEST_F(MessageModel, HookChainOnThePrimitivesKeepsItsOrder)
{
    std::vector<std::string> trace;
    control->WindowProc = [&](TMessage& M) {
        if (M.Msg == WM_USER + 9 || M.Msg == WM_DESTROY)
            trace.push_back("control");
        control->WndProc(M);
    };
    THookChain chain{control->Handle(), nullptr, {{"A"}, {"B"}}, &trace};
    chain.Install();
    SendMessageA(control->Handle(), WM_USER + 9, 0, 0);
    EXPECT_EQ(trace, (std::vector<std::string>{"before B", "before A", "control", "after B", "after A"}));
    trace.clear();
    chain.Hooks[0].HandleBefore = true;
    chain.Hooks[1].HandleBefore = false;
    SendMessageA(control->Handle(), WM_USER + 9, 0, 0);
    EXPECT_EQ(trace, (std::vector<std::string>{"before B", "before A"}));
    trace.clear();
    chain.Hooks[1].HandleBefore = true;
    control->RecreateWnd();
    ASSERT_FALSE(trace.empty());
    EXPECT_NE(std::find(trace.begin(), trace.end(), "control"), trace.end());
}

TEST(MessageQueueTest, PostedMessagesFromBothThreadsArriveAndKeepTheirOrder)
{
    std::vector<WPARAM> fromGui;
    std::atomic<int> fromWorker{0};
    HWND window = AllocateHWnd([&](TMessage& M) {
        if (M.Msg == WM_USER + 1)
            fromGui.push_back(M.WParam);
        else if (M.Msg == WM_USER + 2)
            ++fromWorker;
    });
    std::thread worker([window] {
        for (int i = 0; i < 1000; ++i)
            PostMessageA(window, WM_USER + 2, static_cast<WPARAM>(i), 0);
    });
    for (int i = 0; i < 1000; ++i)
        PostMessageA(window, WM_USER + 1, static_cast<WPARAM>(i), 0);
    worker.join();
    EXPECT_TRUE(PumpUntil([&] { return fromGui.size() == 1000 && fromWorker == 1000; }));
    ASSERT_EQ(fromGui.size(), 1000u);
    for (std::size_t i = 0; i < fromGui.size(); ++i)
        ASSERT_EQ(fromGui[i], i);
    DeallocateHWnd(window);
}

TEST(MessageQueueTest, PeekFiltersAndQuit)
{
    HWND window = AllocateHWnd([](TMessage&) {});
    PostMessageA(window, WM_USER + 10, 1, 0);
    PostMessageA(window, WM_USER + 11, 2, 0);
    MSG msg;
    ASSERT_TRUE(PeekMessageA(msg, window, 0, 0, PM_NOREMOVE));
    EXPECT_EQ(msg.message, WM_USER + 10u);
    ASSERT_TRUE(PeekMessageA(msg, window, WM_USER + 11, WM_USER + 11, PM_REMOVE));
    EXPECT_EQ(msg.wParam, 2u);
    ASSERT_TRUE(PeekMessageA(msg, window, 0, 0, PM_REMOVE));
    EXPECT_EQ(msg.message, WM_USER + 10u);
    EXPECT_FALSE(PeekMessageA(msg, window, 0, 0, PM_REMOVE));
    PostQuitMessage(3);
    EXPECT_FALSE(GetMessageA(msg, nullptr, 0, 0));
    EXPECT_EQ(msg.wParam, 3u);
    DeallocateHWnd(window);
}

TEST(MessageQueueTest, RegisteredMessagesAreSharedAndStable)
{
    const UINT open = RegisterWindowMessage("TESSELLARIUM_OPEN_THIS_FATTURA");
    EXPECT_GE(open, 0xC000u);
    EXPECT_EQ(RegisterWindowMessage("TESSELLARIUM_OPEN_THIS_FATTURA"), open);
    EXPECT_EQ(RegisterWindowMessage("tessellarium_open_this_fattura"), open);
    EXPECT_NE(RegisterWindowMessage("TESSELLARIUM_UPDATE_TABLE"), open);
}

TEST(MessageQueueTest, StaleHandlesAndNullArgumentsDoNothing)
{
    HWND window = AllocateHWnd([](TMessage& M) { M.Result = 7; });
    EXPECT_EQ(SendMessageA(window, WM_USER, 0, 0), 7);
    DeallocateHWnd(window);
    EXPECT_FALSE(IsWindow(window));
    EXPECT_EQ(SendMessageA(window, WM_USER, 0, 0), 0);
    EXPECT_FALSE(PostMessageA(window, WM_USER, 0, 0));
    EXPECT_FALSE(static_cast<bool>(SetWindowLongPtrA(window, GWL_WNDPROC, WNDPROC(&DefWindowProcA))));
    EXPECT_EQ(CallWindowProcA(nullptr, window, WM_USER, 0, 0), 0);
    EXPECT_FALSE(KillTimer(window, 99));
    DeallocateHWnd(nullptr);
}

TEST(MessageQueueTest, UtilityWindowsAndRegisteredClassesNameThemselves)
{
    HWND utility = AllocateHWnd([](TMessage&) {});
    EXPECT_EQ(GetClassName(utility), "TPUtilWindow");
    WNDCLASSA windowClass;
    windowClass.lpszClassName = "XSocketWindowClass";
    int created = 0;
    windowClass.lpfnWndProc = WNDPROC([&](HWND h, UINT msg, WPARAM w, LPARAM l) -> LRESULT {
        if (msg == WM_CREATE)
            ++created;
        return DefWindowProcA(h, msg, w, l);
    });
    ASSERT_NE(RegisterClassA(windowClass), 0);
    HWND socketWindow = CreateWindowExA(0, "XSocketWindowClass", "", 0, 0, 0, 0, 0, nullptr, nullptr, nullptr, nullptr);
    ASSERT_TRUE(IsWindow(socketWindow));
    EXPECT_EQ(created, 1);
    EXPECT_EQ(GetClassName(socketWindow), "XSocketWindowClass");
    EXPECT_EQ(FindWindowA("XSocketWindowClass", nullptr), socketWindow);
    EXPECT_EQ(GetClassName(Application->Handle()), "TApplication");
    DestroyWindow(socketWindow);
    UnregisterClassA("XSocketWindowClass", nullptr);
    DeallocateHWnd(utility);
}

TEST(ExceptionRouteTest, ExceptionInOnClickReachesOnExceptionOrTheStopBox)
{
    TScriptedScope scripted;
    scripted.Dialogs().Expect(TDialogKind::MessageBox, TDialogAnswer::Code(IDOK));
    auto* form = new TForm(nullptr);
    auto* button = new TRecorder(form);
    button->SetParent(form);
    button->SetBounds(0, 0, 50, 20);
    ShowAndActivate(form);
    button->OnClick = [](TObject*) { RAISE(EConvertError("Valore non valido")); };
    TObject* sender = nullptr;
    std::string message;
    Application->OnException = [&](TObject* s, Exception& e) {
        sender = s;
        message = e.Message;
    };
    QTest::mouseClick(Widget(button), Qt::LeftButton, {}, QPoint(5, 5));
    EXPECT_EQ(sender, button);
    EXPECT_EQ(message, "Valore non valido");
    Application->OnException = nullptr;
    const std::string title = Application->Title();
    Application->SetTitle("Fatture");
    QTest::mouseClick(Widget(button), Qt::LeftButton, {}, QPoint(5, 5));
    auto requests = scripted.Dialogs().Requests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].Text, "Valore non valido.");
    EXPECT_EQ(requests[0].Caption, "Fatture");
    EXPECT_EQ(requests[0].Icon, MB_ICONSTOP);
    button->OnClick = [](TObject*) { RAISE(EAbort("")); };
    QTest::mouseClick(Widget(button), Qt::LeftButton, {}, QPoint(5, 5));
    EXPECT_EQ(scripted.Dialogs().Requests().size(), 1u);
    Application->SetTitle(title);
    TComponent::Free(form);
}

} // namespace
