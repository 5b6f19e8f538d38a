// The notification area: the checks of Shell_NotifyIconA, the recording back end, the callback
// messages of the activations, and the desktop back end without a tray.

#include "GuiTestSupport.h"

#include "platform/gui/NotifyIcon.h"
#include "platform/gui/Resources.h"
#include "platform/gui/WindowHandles.h"

#include <QSystemTrayIcon>

#include <gtest/gtest.h>

#include <cstring>
#include <utility>
#include <vector>

namespace {

class NotifyIcon : public testing::Test {
protected:
    void SetUp() override
    {
        window = AllocateHWnd([this](TMessage& message) {
            if (message.Msg == callback)
                received.emplace_back(static_cast<UINT>(message.WParam), static_cast<UINT>(message.LParam));
        });
        previous = SetNotifyIconBackend([this](DWORD message, const NOTIFYICONDATAA& data) {
            recorded.push_back(message);
            tips.push_back(data.szTip);
            return answer;
        });
        data.hWnd = window;
        data.uID = 7;
        data.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
        data.uCallbackMessage = callback;
        data.hIcon = LoadIcon(nullptr, MAKEINTRESOURCE(IDI_APPLICATION));
        std::strcpy(data.szTip, "Tessellarium");
    }
    void TearDown() override
    {
        Shell_NotifyIconA(NIM_DELETE, &data);
        SetNotifyIconBackend(previous);
        DeallocateHWnd(window);
    }

    const UINT callback = WM_USER + 42;
    HWND window = nullptr;
    NOTIFYICONDATAA data;
    BOOL answer = TRUE;
    std::vector<DWORD> recorded;
    std::vector<std::string> tips;
    std::vector<std::pair<UINT, UINT>> received;
    TNotifyIconBackend previous;
};

} // namespace

TEST_F(NotifyIcon, AddModifyDeleteFollowTheIconsState)
{
    EXPECT_FALSE(Shell_NotifyIconA(NIM_MODIFY, &data)) << "not added yet";
    EXPECT_FALSE(Shell_NotifyIconA(NIM_DELETE, &data));
    EXPECT_TRUE(Shell_NotifyIconA(NIM_ADD, &data));
    EXPECT_FALSE(Shell_NotifyIconA(NIM_ADD, &data)) << "added twice";
    std::strcpy(data.szTip, "Altro");
    EXPECT_TRUE(Shell_NotifyIconA(NIM_MODIFY, &data));
    EXPECT_TRUE(Shell_NotifyIconA(NIM_DELETE, &data));
    EXPECT_FALSE(Shell_NotifyIconA(NIM_DELETE, &data));
    EXPECT_EQ(recorded, (std::vector<DWORD>{NIM_ADD, NIM_MODIFY, NIM_DELETE}));
    EXPECT_EQ(tips, (std::vector<std::string>{"Tessellarium", "Altro", "Altro"}));

    // A tip of 64 characters without its zero is cut to 63; a short record is refused.
    std::memset(data.szTip, 'x', sizeof data.szTip);
    EXPECT_TRUE(Shell_NotifyIconA(NIM_ADD, &data));
    EXPECT_EQ(tips.back(), std::string(63, 'x'));
    NOTIFYICONDATAA small = data;
    small.cbSize = 88;
    EXPECT_FALSE(Shell_NotifyIconA(NIM_MODIFY, &small));
    EXPECT_FALSE(Shell_NotifyIconA(NIM_ADD, nullptr));

    // A back end that fails leaves the icon out.
    Shell_NotifyIconA(NIM_DELETE, &data);
    answer = FALSE;
    EXPECT_FALSE(Shell_NotifyIconA(NIM_ADD, &data));
    answer = TRUE;
    EXPECT_FALSE(Shell_NotifyIconA(NIM_MODIFY, &data));
}

TEST_F(NotifyIcon, ActivationsBecomeMousePairsOfTheCallbackMessage)
{
    EXPECT_FALSE(NotifyIconActivated(window, 7, TNotifyIconActivation::Click)) << "not added";
    ASSERT_TRUE(Shell_NotifyIconA(NIM_ADD, &data));
    const std::pair<TNotifyIconActivation, std::pair<UINT, UINT>> cases[] = {
        {TNotifyIconActivation::Click, {WM_LBUTTONDOWN, WM_LBUTTONUP}},
        {TNotifyIconActivation::DoubleClick, {WM_LBUTTONDBLCLK, WM_LBUTTONUP}},
        {TNotifyIconActivation::Context, {WM_RBUTTONDOWN, WM_RBUTTONUP}},
        {TNotifyIconActivation::MiddleClick, {WM_MBUTTONDOWN, WM_MBUTTONUP}},
    };
    for (const auto& [activation, pair] : cases) {
        received.clear();
        ASSERT_TRUE(NotifyIconActivated(window, 7, activation));
        EXPECT_TRUE(received.empty()) << "posted, not sent";
        PumpUntil([&] { return received.size() >= 2; });
        EXPECT_EQ(received, (std::vector<std::pair<UINT, UINT>>{{7u, pair.first}, {7u, pair.second}}));
    }
    // A changed callback message is the one used from then on.
    data.uFlags = NIF_MESSAGE;
    data.uCallbackMessage = WM_USER + 43;
    ASSERT_TRUE(Shell_NotifyIconA(NIM_MODIFY, &data));
    received.clear();
    NotifyIconActivated(window, 7, TNotifyIconActivation::Click);
    Pump(50);
    EXPECT_TRUE(received.empty());
}

TEST(NotifyIconDesktop, WithoutATrayAddingFails)
{
    ASSERT_FALSE(QSystemTrayIcon::isSystemTrayAvailable()) << "the offscreen platform has no tray";
    NOTIFYICONDATAA data;
    data.hWnd = reinterpret_cast<HWND>(0x1234);
    data.uFlags = NIF_ICON | NIF_TIP;
    data.hIcon = LoadIcon(nullptr, MAKEINTRESOURCE(IDI_APPLICATION));
    EXPECT_FALSE(Shell_NotifyIconA(NIM_ADD, &data));
    EXPECT_FALSE(Shell_NotifyIconA(NIM_DELETE, &data));
}
