// Window hooks on a real control: the order of the before and after stages, handling, the window
// being made again, detaching, the deferred free of the per-control object, exceptions in
// handlers and controls that go away while hooked.

#include "ControlsTestSupport.h"

#include "controls/ExHook.h"
#include "platform/gui/Application.h"
#include "platform/gui/Form.h"
#include "platform/gui/MessageQueue.h"
#include "platform/gui/WindowHandles.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace ExHookTest {

constexpr UINT WM_PROBE = WM_USER + 17;

// A control that writes the messages its own procedure sees into a shared trace.
class TTracedControl : public TCustomControl {
    TESS_CLASS(TTracedControl, TCustomControl)
public:
    TTracedControl(TComponent* AOwner, std::vector<std::string>& Trace) : TCustomControl(AOwner), FTrace(Trace) {}
    void WndProc(TMessage& Message) override
    {
        if (Message.Msg == WM_PROBE) {
            FTrace.push_back("own");
            Message.Result = 42;
            return;
        }
        if (Message.Msg == WM_DESTROY)
            FTrace.push_back("own destroy");
        TCustomControl::WndProc(Message);
    }

private:
    std::vector<std::string>& FTrace;
};

class HookFixture : public testing::Test {
protected:
    void SetUp() override
    {
        Form = new TForm(nullptr);
        Form->SetBounds(10, 10, 300, 200);
        Control = new TTracedControl(Form, Trace);
        Control->SetParent(Form);
        Control->SetBounds(5, 5, 100, 50);
        Form->Show();
    }
    void TearDown() override
    {
        for (TExWindowHook* hook : Hooks)
            TComponent::Free(hook);
        TComponent::Free(Form);
        Application->ProcessMessages();
    }

    // A hook that traces its stages as "<name> before" and "<name> after"; HandleBefore makes it
    // handle the probe in its before stage.
    TExWindowHook* AddHook(const std::string& Name, TWinControl* Target)
    {
        auto* hook = new TExWindowHook(nullptr);
        hook->BeforeMessage = [this, Name](TObject*, TMessage& Msg, bool& Handled) {
            if (Msg.Msg != WM_PROBE && Msg.Msg != WM_DESTROY)
                return;
            Trace.push_back(Name + " before");
            if (Name == HandleBefore) {
                Handled = true;
                Msg.Result = 7;
            }
        };
        hook->AfterMessage = [this, Name](TObject*, TMessage& Msg, bool&) {
            if (Msg.Msg == WM_PROBE)
                Trace.push_back(Name + " after");
        };
        hook->SetWinControl(Target);
        Hooks.push_back(hook);
        return hook;
    }

    LRESULT Probe()
    {
        Trace.clear();
        return SendMessage(Control->Handle(), WM_PROBE, 0, 0);
    }

    TForm* Form = nullptr;
    TTracedControl* Control = nullptr;
    std::vector<std::string> Trace;
    std::vector<TExWindowHook*> Hooks;
    std::string HandleBefore;
};

using Strings = std::vector<std::string>;

TEST_F(HookFixture, TheLastAttachedSeesMessagesFirstAndHandlingStopsTheRest)
{
    AddHook("A", Control);
    AddHook("B", Control);
    EXPECT_EQ(Probe(), 42);
    EXPECT_EQ(Trace, (Strings{"B before", "A before", "own", "B after", "A after"}));

    HandleBefore = "B";
    EXPECT_EQ(Probe(), 7);
    EXPECT_EQ(Trace, (Strings{"B before"}));

    // Posted messages pass through the hooks too.
    HandleBefore.clear();
    Trace.clear();
    PostMessage(Control->Handle(), WM_PROBE, 0, 0);
    Application->ProcessMessages();
    EXPECT_EQ(Trace, (Strings{"B before", "A before", "own", "B after", "A after"}));
}

TEST_F(HookFixture, AHandledDestroyReachesTheControlAndANewWindowKeepsBothHooks)
{
    AddHook("A", Control);
    AddHook("B", Control);
    HandleBefore = "B";
    Trace.clear();
    Control->RecreateWnd();
    EXPECT_EQ(Trace, (Strings{"B before", "own destroy"}));

    // The re-hook is posted: once it has run, the new window's messages reach both hooks.
    Application->ProcessMessages();
    HandleBefore.clear();
    EXPECT_EQ(Probe(), 42);
    EXPECT_EQ(Trace, (Strings{"B before", "A before", "own", "B after", "A after"}));
}

TEST_F(HookFixture, DetachingEveryHookPutsBackTheControlsOwnProcedure)
{
    const WNDPROC original = GetWindowProc(Control->Handle());
    TExWindowHook* a = AddHook("A", Control);
    TExWindowHook* b = AddHook("B", Control);
    EXPECT_NE(GetWindowProc(Control->Handle()), original);
    a->SetActive(false);
    EXPECT_NE(GetWindowProc(Control->Handle()), original);
    EXPECT_EQ(Probe(), 42);
    EXPECT_EQ(Trace, (Strings{"B before", "own", "B after"}));
    b->SetWinControl(nullptr);
    EXPECT_EQ(GetWindowProc(Control->Handle()), original);
    EXPECT_EQ(Probe(), 42);
    EXPECT_EQ(Trace, (Strings{"own"}));
    // Active again: attached again.
    a->SetActive(true);
    EXPECT_EQ(Probe(), 42);
    EXPECT_EQ(Trace, (Strings{"A before", "own", "A after"}));
}

TEST_F(HookFixture, MovingTheHookAwayFreesTheOldObjectOnlyThroughThePostedMessage)
{
    auto* other = new TTracedControl(Form, Trace);
    other->SetParent(Form);
    TExWindowHook* hook = AddHook("A", Control);
    const WNDPROC first = GetWindowProc(Control->Handle());

    // Back before the posted free has run: the same object is found again and kept.
    hook->SetWinControl(other);
    hook->SetWinControl(Control);
    Application->ProcessMessages();
    EXPECT_EQ(GetWindowProc(Control->Handle()), first);

    // Back after it has run: a new object with a procedure of its own.
    hook->SetWinControl(other);
    EXPECT_EQ(hook->WinControl(), other);
    Application->ProcessMessages();
    hook->SetWinControl(Control);
    EXPECT_NE(GetWindowProc(Control->Handle()), first);
    EXPECT_EQ(Probe(), 42);
    EXPECT_EQ(Trace, (Strings{"A before", "own", "A after"}));
}

TEST_F(HookFixture, AnExceptionInAHandlerReachesOnExceptionAndTheMessageCompletes)
{
    AddHook("A", Control);
    TExWindowHook* b = AddHook("B", Control);
    b->BeforeMessage = [this](TObject*, TMessage& Msg, bool&) {
        if (Msg.Msg != WM_PROBE)
            return;
        Trace.push_back("B throws");
        RAISE(Exception("Gancio rotto"));
    };
    std::vector<std::string> reported;
    const TExceptionEvent previous = Application->OnException;
    Application->OnException = [&](TObject*, Exception& E) { reported.push_back(E.Message); };
    const LRESULT result = Probe();
    Application->OnException = previous;
    EXPECT_EQ(result, 42);
    EXPECT_EQ(reported, (Strings{"Gancio rotto"}));
    EXPECT_EQ(Trace, (Strings{"B throws", "A before", "own", "B after", "A after"}));
}

TEST_F(HookFixture, AControlFreedWhileHookedAndLateDeferredMessagesTouchNothing)
{
    TExWindowHook* a = AddHook("A", Control);
    TExWindowHook* b = AddHook("B", Control);
    // The new window's re-hook is posted, then the control goes before it runs.
    Control->RecreateWnd();
    MSG pending;
    ASSERT_TRUE(PeekMessage(pending, TExWindowHook::GetHookHandle(), CM_REHOOKCONTROL, CM_REHOOKCONTROL, PM_NOREMOVE));
    TComponent::Free(Control);
    Control = nullptr;
    EXPECT_EQ(a->WinControl(), nullptr);
    EXPECT_EQ(b->WinControl(), nullptr);
    Application->ProcessMessages();

    // The object is freed by now; a re-hook or a free for it finds it no more in the list.
    PostMessage(TExWindowHook::GetHookHandle(), CM_REHOOKCONTROL, 0, pending.lParam);
    PostMessage(TExWindowHook::GetHookHandle(), CM_FREECONTROLHOOK, 0, pending.lParam);
    Application->ProcessMessages();

    // The hooks still work on another control.
    std::vector<std::string> trace;
    auto* next = new TTracedControl(Form, trace);
    next->SetParent(Form);
    b->SetWinControl(next);
    b->SetActive(true);
    Trace.clear();
    EXPECT_EQ(SendMessage(next->Handle(), WM_PROBE, 0, 0), 42);
    EXPECT_EQ(Trace, (Strings{"B before", "B after"}));
    EXPECT_EQ(trace, (Strings{"own"}));
}

TEST_F(HookFixture, AHookFreedWhileAttachedLeavesTheControlAsItWas)
{
    const WNDPROC original = GetWindowProc(Control->Handle());
    AddHook("A", Control);
    TComponent::Free(Hooks.back());
    Hooks.pop_back();
    EXPECT_EQ(GetWindowProc(Control->Handle()), original);
    Application->ProcessMessages();
    EXPECT_EQ(Probe(), 42);
    EXPECT_EQ(Trace, (Strings{"own"}));
}

} // namespace ExHookTest
