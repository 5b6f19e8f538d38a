#pragma once
// The per-thread queue of posted messages. Each post wakes the Qt event loop once, and each wake
// dispatches the oldest message, so posted messages keep their order among Qt's own events.

#include "platform/gui/Messages.h"

#include <functional>

// Safe from any thread. A null window posts a thread message to the calling thread's queue.
BOOL PostMessageA(HWND handle, UINT message, WPARAM wParam, LPARAM lParam);
inline BOOL PostMessage(HWND handle, UINT message, WPARAM wParam, LPARAM lParam)
{
    return PostMessageA(handle, message, wParam, lParam);
}
// threadId is the rtl's GetCurrentThreadId of the receiving thread.
BOOL PostThreadMessageA(DWORD threadId, UINT message, WPARAM wParam, LPARAM lParam);
inline BOOL PostThreadMessage(DWORD threadId, UINT message, WPARAM wParam, LPARAM lParam)
{
    return PostThreadMessageA(threadId, message, wParam, lParam);
}
void PostQuitMessage(int exitCode);

// Filters: a null window takes every message of the thread; min and max 0 take every number.
BOOL PeekMessageA(MSG& msg, HWND handle, UINT filterMin, UINT filterMax, UINT removeFlags);
inline BOOL PeekMessage(MSG& msg, HWND handle, UINT filterMin, UINT filterMax, UINT removeFlags)
{
    return PeekMessageA(msg, handle, filterMin, filterMax, removeFlags);
}
// Waits in the event loop for a message; FALSE for WM_QUIT.
BOOL GetMessageA(MSG& msg, HWND handle, UINT filterMin, UINT filterMax);
inline BOOL GetMessage(MSG& msg, HWND handle, UINT filterMin, UINT filterMax)
{
    return GetMessageA(msg, handle, filterMin, filterMax);
}
BOOL TranslateMessage(const MSG& msg);
LRESULT DispatchMessageA(const MSG& msg);
inline LRESULT DispatchMessage(const MSG& msg) { return DispatchMessageA(msg); }
// Blocks in the event loop until an event or a message arrives.
BOOL WaitMessage();
DWORD MsgWaitForMultipleObjects(DWORD count, const HANDLE* handles, BOOL waitAll, DWORD milliseconds, DWORD wakeMask);

// The application's look at each posted message before it is dispatched (OnMessage): true drops it.
using TPostedMessageFilter = std::function<bool(MSG& msg)>;
void SetPostedMessageFilter(TPostedMessageFilter filter);
// Called when a WM_QUIT is dispatched by the event loop (the application terminates).
void SetQuitHandler(std::function<void(int exitCode)> handler);

// Dispatches every message waiting in the calling thread's queue; true when one was dispatched.
bool DispatchPostedMessages();
// Processes what is pending except the user's input, which waits for the next full pass: input
// from the window system and posted input events stay queued, and so do the keyboard and mouse
// messages in the calling thread's queue; timers, painting and other messages go on.
void ProcessMessagesExcludingInput();
// The number of messages waiting in the calling thread's queue.
int PostedMessageCount();
