#pragma once
// Window handles, window procedures and the synchronous message path: SendMessage enters at the
// handle's window procedure, which the program may replace with SetWindowLongPtr.

#include "platform/gui/Messages.h"
#include "platform/os/Atoms.h"

#include <string>

class TWinControl;

LRESULT SendMessageA(HWND handle, UINT message, WPARAM wParam, LPARAM lParam);
inline LRESULT SendMessage(HWND handle, UINT message, WPARAM wParam, LPARAM lParam)
{
    return SendMessageA(handle, message, wParam, lParam);
}

// The default processing of a window: text, close, erase, hit test, client size, system
// commands; the wheel and the context menu go to the parent; everything else answers 0.
LRESULT DefWindowProcA(HWND handle, UINT message, WPARAM wParam, LPARAM lParam);
inline LRESULT DefWindowProc(HWND handle, UINT message, WPARAM wParam, LPARAM lParam)
{
    return DefWindowProcA(handle, message, wParam, lParam);
}

// Calls procedure; a null procedure answers 0.
LRESULT CallWindowProcA(const WNDPROC& procedure, HWND handle, UINT message, WPARAM wParam, LPARAM lParam);
inline LRESULT CallWindowProc(const WNDPROC& procedure, HWND handle, UINT message, WPARAM wParam, LPARAM lParam)
{
    return CallWindowProcA(procedure, handle, message, wParam, lParam);
}

// GWL_WNDPROC: installs procedure and returns the previous one (null on a stale handle).
WNDPROC SetWindowLongPtrA(HWND handle, int index, WNDPROC procedure);
// The other indexes (GWL_STYLE, GWL_EXSTYLE, GWL_ID, GWL_USERDATA, GWL_HWNDPARENT and the extra
// bytes from 0): returns the previous value, 0 on a stale handle.
LONG_PTR SetWindowLongPtrA(HWND handle, int index, LONG_PTR value);
LONG_PTR GetWindowLongPtrA(HWND handle, int index);
// The current window procedure.
WNDPROC GetWindowProc(HWND handle);
inline WNDPROC SetWindowLongPtr(HWND h, int index, WNDPROC p) { return SetWindowLongPtrA(h, index, std::move(p)); }
inline LONG_PTR SetWindowLongPtr(HWND h, int index, LONG_PTR v) { return SetWindowLongPtrA(h, index, v); }
inline LONG_PTR GetWindowLongPtr(HWND h, int index) { return GetWindowLongPtrA(h, index); }
inline WNDPROC SetWindowLongA(HWND h, int index, WNDPROC p) { return SetWindowLongPtrA(h, index, std::move(p)); }
inline LONG_PTR SetWindowLongA(HWND h, int index, LONG_PTR v) { return SetWindowLongPtrA(h, index, v); }
inline LONG_PTR GetWindowLongA(HWND h, int index) { return GetWindowLongPtrA(h, index); }
inline WNDPROC SetWindowLong(HWND h, int index, WNDPROC p) { return SetWindowLongPtrA(h, index, std::move(p)); }
inline LONG_PTR SetWindowLong(HWND h, int index, LONG_PTR v) { return SetWindowLongPtrA(h, index, v); }
inline LONG_PTR GetWindowLong(HWND h, int index) { return GetWindowLongPtrA(h, index); }

// A window procedure that calls method with the message as a TMessage.
WNDPROC MakeObjectInstance(TWndMethod method);
// Releases what MakeObjectInstance made (the procedure becomes null).
void FreeObjectInstance(WNDPROC& procedure);

// A hidden utility window (class "TPUtilWindow") whose messages go to method.
HWND AllocateHWnd(TWndMethod method);
void DeallocateHWnd(HWND handle);

// The control a handle belongs to, nullptr for other handles.
TWinControl* FindControl(HWND handle);
BOOL IsWindow(HWND handle);
int GetClassNameA(HWND handle, char* buffer, int size);
std::string GetClassName(HWND handle);
// Searches this process's top-level windows; an empty or null argument matches any.
HWND FindWindowA(const char* className, const char* title);
inline HWND FindWindow(const char* className, const char* title) { return FindWindowA(className, title); }

struct WNDCLASSA {
    UINT style = 0;
    WNDPROC lpfnWndProc;
    int cbClsExtra = 0;
    int cbWndExtra = 0;
    HINSTANCE hInstance = nullptr;
    HICON hIcon = nullptr;
    HCURSOR hCursor = nullptr;
    HANDLE hbrBackground = nullptr;
    const char* lpszMenuName = nullptr;
    const char* lpszClassName = nullptr;
};
using WNDCLASS = WNDCLASSA;
using TWndClass = WNDCLASSA;

// Registers a window class for CreateWindowEx; 0 when the name is empty or already registered.
ATOM RegisterClassA(const WNDCLASSA& windowClass);
BOOL UnregisterClassA(const char* className, HINSTANCE instance);
BOOL GetClassInfoA(HINSTANCE instance, const char* className, WNDCLASSA& windowClass);
// Creates a window without a widget of a registered class (a hidden window).
HWND CreateWindowExA(DWORD exStyle, const char* className, const char* title, DWORD style, int x, int y,
                     int width, int height, HWND parent, HMENU menu, HINSTANCE instance, void* param);
inline HWND CreateWindowEx(DWORD exStyle, const char* className, const char* title, DWORD style, int x, int y,
                           int width, int height, HWND parent, HMENU menu, HINSTANCE instance, void* param)
{
    return CreateWindowExA(exStyle, className, title, style, x, y, width, height, parent, menu, instance, param);
}
// Destroys a window: a control's handle through its control, other handles after
// WM_DESTROY and WM_NCDESTROY.
BOOL DestroyWindow(HWND handle);

inline UINT RegisterWindowMessage(const char* name) { return RegisterWindowMessageA(name); }

struct CREATESTRUCTA {
    void* lpCreateParams = nullptr;
    HINSTANCE hInstance = nullptr;
    HMENU hMenu = nullptr;
    HWND hwndParent = nullptr;
    int cy = 0;
    int cx = 0;
    int y = 0;
    int x = 0;
    LONG_PTR style = 0;
    const char* lpszName = nullptr;
    const char* lpszClass = nullptr;
    DWORD dwExStyle = 0;
};
using CREATESTRUCT = CREATESTRUCTA;
