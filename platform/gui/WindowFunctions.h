#pragma once
// The window functions on handles: geometry, visibility, state, z-order, focus, activation,
// capture, invalidation, scrolling, placement and the window scroll bars.

#include "platform/gui/Messages.h"

#include <functional>
#include <string>

BOOL ShowWindow(HWND handle, int command);
BOOL IsWindowVisible(HWND handle);
BOOL EnableWindow(HWND handle, BOOL enable);
BOOL IsWindowEnabled(HWND handle);
BOOL SetWindowPos(HWND handle, HWND insertAfter, int x, int y, int width, int height, UINT flags);
BOOL MoveWindow(HWND handle, int x, int y, int width, int height, BOOL repaint);
BOOL GetWindowRect(HWND handle, TRect& rect);
BOOL GetClientRect(HWND handle, TRect& rect);
BOOL ClientToScreen(HWND handle, TPoint& point);
BOOL ScreenToClient(HWND handle, TPoint& point);
int MapWindowPoints(HWND from, HWND to, TPoint* points, UINT count);
HWND GetParent(HWND handle);
HWND SetParent(HWND child, HWND newParent);
HWND GetWindow(HWND handle, UINT command);
HWND GetDesktopWindow();
HWND GetFocus();
HWND SetFocus(HWND handle);
HWND GetActiveWindow();
HWND SetActiveWindow(HWND handle);
HWND GetForegroundWindow();
BOOL SetForegroundWindow(HWND handle);
HWND GetLastActivePopup(HWND handle);
BOOL IsIconic(HWND handle);
BOOL IsZoomed(HWND handle);
BOOL IsChild(HWND parent, HWND handle);
BOOL BringWindowToTop(HWND handle);
HWND GetCapture();
HWND SetCapture(HWND handle);
BOOL ReleaseCapture();

// rect in client coordinates; nullptr means the whole client area.
BOOL InvalidateRect(HWND handle, const TRect* rect, BOOL erase);
BOOL ValidateRect(HWND handle, const TRect* rect);
BOOL UpdateWindow(HWND handle);
BOOL RedrawWindow(HWND handle, const TRect* rect, HRGN region, UINT flags);
BOOL GetUpdateRect(HWND handle, TRect* rect, BOOL erase);
BOOL ScrollWindow(HWND handle, int dx, int dy, const TRect* scrollRect, const TRect* clipRect);
int ScrollWindowEx(HWND handle, int dx, int dy, const TRect* scrollRect, const TRect* clipRect, HRGN update,
                   TRect* updateRect, UINT flags);

int GetWindowTextA(HWND handle, char* buffer, int size);
inline int GetWindowText(HWND handle, char* buffer, int size) { return GetWindowTextA(handle, buffer, size); }
BOOL SetWindowTextA(HWND handle, const char* text);
inline BOOL SetWindowText(HWND handle, const char* text) { return SetWindowTextA(handle, text); }
int GetWindowTextLengthA(HWND handle);
inline int GetWindowTextLength(HWND handle) { return GetWindowTextLengthA(handle); }

BOOL GetWindowPlacement(HWND handle, WINDOWPLACEMENT& placement);
// Keeps a top-level window reachable: a normal rectangle outside the work area of every screen
// moves onto the primary screen's work area, keeping its size (cut to the area when larger).
BOOL SetWindowPlacement(HWND handle, const WINDOWPLACEMENT& placement);

using WNDENUMPROC = std::function<BOOL(HWND, LPARAM)>;
BOOL EnumThreadWindows(DWORD threadId, const WNDENUMPROC& callback, LPARAM lParam);
BOOL EnumChildWindows(HWND parent, const WNDENUMPROC& callback, LPARAM lParam);

// The window scroll bars (SB_HORZ, SB_VERT): the largest position is nMax - max(nPage - 1, 0).
int SetScrollInfo(HWND handle, int bar, const SCROLLINFO& info, BOOL redraw);
BOOL GetScrollInfo(HWND handle, int bar, SCROLLINFO& info);
int SetScrollPos(HWND handle, int bar, int position, BOOL redraw);
int GetScrollPos(HWND handle, int bar);
BOOL SetScrollRange(HWND handle, int bar, int minimum, int maximum, BOOL redraw);
BOOL GetScrollRange(HWND handle, int bar, int* minimum, int* maximum);
BOOL ShowScrollBar(HWND handle, int bar, BOOL show);
BOOL EnableScrollBar(HWND handle, UINT bar, UINT arrows);
