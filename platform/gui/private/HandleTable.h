#pragma once
// The table of window handles: one record per handle, never reused during a run.

#include "platform/gui/Messages.h"

#include <memory>
#include <string>
#include <thread>
#include <vector>

class QWidget;
class TObject;
class TWinControl;

struct TWindowRecord {
    HWND Handle = nullptr;
    WNDPROC Proc;
    HWND Owner = nullptr;
    HWND Parent = nullptr;
    LONG_PTR Style = 0;
    LONG_PTR ExStyle = 0;
    LONG_PTR Id = 0;
    LONG_PTR UserData = 0;
    std::string ClassName;
    std::string Text;
    TWinControl* Control = nullptr;
    QWidget* Widget = nullptr;
    std::thread::id Thread;
    std::vector<LONG_PTR> Extra;
    // The default processing a control adds to DefWindowProc (erase, hit test, client size...);
    // true when it handled the message.
    std::function<bool(TMessage&)> DefaultHook;
    bool AcceptsFiles = false;
    bool Destroyed = false;
};

namespace HandleTable {
// Registers the record and gives it a new handle.
HWND Allocate(const std::shared_ptr<TWindowRecord>& record);
std::shared_ptr<TWindowRecord> Find(HWND handle);
// Removes the handle; the record stays alive while somebody holds it.
void Release(HWND handle);
// Every live handle in creation order.
std::vector<std::shared_ptr<TWindowRecord>> All();
} // namespace HandleTable

// DefWindowProc for a record already found.
LRESULT DefaultWindowProcedure(const std::shared_ptr<TWindowRecord>& record, UINT message, WPARAM wParam,
                               LPARAM lParam);

// Records the calling thread as the one that runs the Qt event loop.
void SetGuiThread();
bool IsGuiThreadId(std::thread::id thread);
// Stops every timer of a window (Timer unit).
void KillWindowTimers(HWND handle);
// Tells the control of a handle that its style changed (WinControl unit).
void ApplyWindowStyle(HWND handle, LONG_PTR oldStyle, LONG_PTR oldExStyle);
// Destroys a control's handle as DestroyWindow does (WinControl unit).
void DestroyControlWindow(TWinControl* control);

// The control of a handle as the sender of an exception (WinControl unit), nullptr for others.
TObject* SenderOf(HWND handle);

// True on the thread that runs the Qt event loop of the application.
bool IsGuiThread();
// Raises EInvalidOperation when called off the GUI thread.
void CheckGuiThread();
