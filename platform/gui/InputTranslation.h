#pragma once
// Keyboard and mouse in the class library's terms: shift states, shortcuts, the key-state table
// kept from the events, the cursor position, the control under a point and dropped files.

#include "platform/gui/Messages.h"

#include <functional>
#include <vector>
#include <string>

enum TShiftStateFlag { ssShift, ssAlt, ssCtrl, ssLeft, ssRight, ssMiddle, ssDouble };
using TShiftState = TSet<TShiftStateFlag>;

using TShortCut = WORD;
constexpr TShortCut scShift = 0x2000, scCtrl = 0x4000, scAlt = 0x8000, scNone = 0;

TShortCut ShortCut(WORD key, TShiftState shift);
void ShortCutToKey(TShortCut shortCut, WORD& key, TShiftState& shift);
// "Ctrl+N", "Shift+Ins"; empty for an unknown key.
std::string ShortCutToText(TShortCut shortCut);
// The reverse of ShortCutToText; 0 when the text names no shortcut.
TShortCut TextToShortCut(const std::string& text);

// The state of a key from the layer's table: high bit set while the key is down.
SHORT GetKeyState(int virtualKey);
SHORT GetAsyncKeyState(int virtualKey);
// The shift state now, from the key-state table.
TShiftState GetShiftState();
TShiftState KeysToShiftState(WORD keys);
TShiftState KeyDataToShiftState(int keyData);

BOOL GetCursorPos(TPoint& point);
BOOL SetCursorPos(int x, int y);

class TControl;
class TWinControl;

// The window under a screen point (the innermost control's handle), nullptr for none.
HWND WindowFromPoint(TPoint point);
// The control under a screen point; disabled ones only when allowDisabled.
TControl* FindDragTarget(TPoint point, bool allowDisabled);
// Replaces how WindowFromPoint and FindDragTarget find the control (tests of hover polling);
// an empty locator restores the default.
using TPointerLocator = std::function<TControl*(TPoint point, bool allowDisabled)>;
void SetPointerLocator(TPointerLocator locator);

// File drops: a window accepts files from the desktop only after DragAcceptFiles(h, true).
void DragAcceptFiles(HWND handle, BOOL accept);
// index 0xFFFFFFFF gives the count; a null buffer gives the length of name index.
UINT DragQueryFileA(HDROP drop, UINT index, char* buffer, UINT size);
inline UINT DragQueryFile(HDROP drop, UINT index, char* buffer, UINT size)
{
    return DragQueryFileA(drop, index, buffer, size);
}
BOOL DragQueryPoint(HDROP drop, TPoint& point);
void DragFinish(HDROP drop);
// Makes the drop a WM_DROPFILES carries (the layer does it for a Qt drop; tests simulate one).
// names are Windows-1252 full paths; point in client coordinates of the window.
HDROP CreateDrop(const std::vector<std::string>& names, TPoint point);
