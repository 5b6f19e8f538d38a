#pragma once
// The desktop's notification area (the tray): icons with a tip that report the user's clicks to
// a window as a callback message, the mouse message in LParam and the icon's identifier in
// WParam. A click gives WM_LBUTTONDOWN then WM_LBUTTONUP, a double click WM_LBUTTONDBLCLK then
// WM_LBUTTONUP, the context request WM_RBUTTONDOWN then WM_RBUTTONUP, the middle button
// WM_MBUTTONDOWN then WM_MBUTTONUP. The desktop reports no mouse moves.

#include "platform/gui/Icon.h"
#include "platform/gui/Messages.h"

#include <functional>

constexpr DWORD NIM_ADD = 0, NIM_MODIFY = 1, NIM_DELETE = 2;
constexpr UINT NIF_MESSAGE = 0x1, NIF_ICON = 0x2, NIF_TIP = 0x4;

struct NOTIFYICONDATAA {
    DWORD cbSize = sizeof(NOTIFYICONDATAA);
    HWND hWnd = nullptr;
    UINT uID = 0;
    UINT uFlags = 0;
    UINT uCallbackMessage = 0;
    HICON hIcon = nullptr;
    char szTip[64] = {}; // at most 63 characters and the terminating zero
};

// NIM_ADD fails for an icon (window, identifier) already added and when the desktop has no
// notification area; NIM_MODIFY and NIM_DELETE fail for an icon not added.
BOOL Shell_NotifyIconA(DWORD message, NOTIFYICONDATAA* data);
inline BOOL Shell_NotifyIcon(DWORD message, NOTIFYICONDATAA* data) { return Shell_NotifyIconA(message, data); }

// What shows the icons: it answers each call (after the checks above) with success or failure.
// The default one uses the desktop's tray and fails NIM_ADD when there is none. Setting a null
// back end restores the default.
using TNotifyIconBackend = std::function<BOOL(DWORD message, const NOTIFYICONDATAA& data)>;
TNotifyIconBackend SetNotifyIconBackend(TNotifyIconBackend backend);

enum class TNotifyIconActivation { Click, DoubleClick, Context, MiddleClick };
// The user acted on an added icon: posts its callback message pair to its window. False when no
// such icon is added or it has no callback message. The tray calls it; tests inject with it.
bool NotifyIconActivated(HWND window, UINT id, TNotifyIconActivation activation);
