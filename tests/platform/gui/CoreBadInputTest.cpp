// Bad input to the core of the visual layer: refused calls change nothing, and exceptions in
// hooks reach the application's exception route while the message loop goes on.

#include "GuiTestSupport.h"

#include "platform/gui/Form.h"
#include "platform/gui/MessageQueue.h"
#include "platform/gui/WindowHandles.h"

#include <gtest/gtest.h>

namespace {

TEST(CoreBadInput, ShowModalOnAVisibleFormIsRefused)
{
    TForm* form = TForm::Create<TForm>(nullptr);
    form->Show();
    try {
        form->ShowModal();
        ADD_FAILURE() << "ShowModal on a visible form returned";
    } catch (const EInvalidOperation& e) {
        EXPECT_EQ(e.Message, "Cannot make a visible window modal");
    }
    EXPECT_TRUE(form->Visible());
    EXPECT_EQ(form->ModalResult(), mrNone);
    TComponent::Free(form);
}

TEST(CoreBadInput, ExceptionsInHooksReachOnExceptionAndTheLoopGoesOn)
{
    TForm* form = TForm::Create<TForm>(nullptr);
    auto* control = new TRecorder(form);
    control->SetParent(form);
    const UINT message = RegisterWindowMessage("TESSELLARIUM_CORE_HOOK_TEST");
    std::vector<std::string> errors;
    Application->OnException = [&](TObject*, Exception& e) { errors.push_back(e.Message); };

    // A hook on the application window.
    const int hook = Application->HookMainWindow([&](TMessage& m) {
        if (m.Msg == message && m.WParam == 1)
            RAISE(EConvertError("dal gancio"));
        return false;
    });
    // A window procedure installed on a control.
    HWND window = control->Handle();
    WNDPROC previous;
    previous = SetWindowLongPtrA(window, GWL_WNDPROC, WNDPROC([&](HWND h, UINT msg, WPARAM w, LPARAM l) -> LRESULT {
                                     if (msg == message && w == 1)
                                         RAISE(EConvertError("dalla procedura"));
                                     return CallWindowProcA(previous, h, msg, w, l);
                                 }));
    control->WatchOnly({message});

    PostMessageA(Application->Handle(), message, 1, 0);
    PostMessageA(window, message, 1, 0);
    PostMessageA(window, message, 2, 0);
    Application->ProcessMessages();
    EXPECT_EQ(errors, (std::vector<std::string>{"dal gancio", "dalla procedura"}));
    ASSERT_EQ(control->Log.size(), 1u);
    EXPECT_EQ(control->Log[0].WParam, 2u);


    Application->UnhookMainWindow(hook);
    Application->OnException = nullptr;
    TComponent::Free(form);
}

} // namespace
