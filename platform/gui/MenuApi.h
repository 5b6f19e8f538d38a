#pragma once
// Menu handles as Windows has them: an HMENU is a list of entries (type, state, command, sub-menu,
// item data, text). Tracking a menu shows it as a Qt menu built from the entries when it opens and
// sends the owner window the menu messages in Windows' order.

#include "platform/gui/Messages.h"

#include <string>

constexpr UINT MFT_STRING = 0, MFT_BITMAP = 4, MFT_MENUBARBREAK = 0x20, MFT_MENUBREAK = 0x40, MFT_OWNERDRAW = 0x100,
               MFT_RADIOCHECK = 0x200, MFT_SEPARATOR = 0x800, MFT_RIGHTORDER = 0x2000, MFT_RIGHTJUSTIFY = 0x4000;
constexpr UINT MFS_GRAYED = 3, MFS_DISABLED = 3, MFS_CHECKED = 8, MFS_HILITE = 0x80, MFS_ENABLED = 0,
               MFS_UNCHECKED = 0, MFS_UNHILITE = 0, MFS_DEFAULT = 0x1000;
constexpr UINT MF_INSERT = 0, MF_CHANGE = 0x80, MF_APPEND = 0x100, MF_DELETE = 0x200, MF_REMOVE = 0x1000,
               MF_BYCOMMAND = 0, MF_BYPOSITION = 0x400, MF_SEPARATOR = 0x800, MF_ENABLED = 0, MF_GRAYED = 1,
               MF_DISABLED = 2, MF_UNCHECKED = 0, MF_CHECKED = 8, MF_USECHECKBITMAPS = 0x200, MF_STRING = 0,
               MF_BITMAP = 4, MF_OWNERDRAW = 0x100, MF_POPUP = 0x10, MF_MENUBARBREAK = 0x20, MF_MENUBREAK = 0x40,
               MF_UNHILITE = 0, MF_HILITE = 0x80, MF_DEFAULT = 0x1000, MF_SYSMENU = 0x2000, MF_HELP = 0x4000,
               MF_RIGHTJUSTIFY = 0x4000, MF_MOUSESELECT = 0x8000;
constexpr UINT MIIM_STATE = 1, MIIM_ID = 2, MIIM_SUBMENU = 4, MIIM_CHECKMARKS = 8, MIIM_TYPE = 0x10, MIIM_DATA = 0x20,
               MIIM_STRING = 0x40, MIIM_BITMAP = 0x80, MIIM_FTYPE = 0x100;
constexpr UINT TPM_LEFTBUTTON = 0, TPM_RIGHTBUTTON = 2, TPM_LEFTALIGN = 0, TPM_CENTERALIGN = 4, TPM_RIGHTALIGN = 8,
               TPM_TOPALIGN = 0, TPM_VCENTERALIGN = 0x10, TPM_BOTTOMALIGN = 0x20, TPM_NONOTIFY = 0x80,
               TPM_RETURNCMD = 0x100;
constexpr WORD MNC_IGNORE = 0, MNC_CLOSE = 1, MNC_EXECUTE = 2, MNC_SELECT = 3;

struct MENUITEMINFOA {
    UINT cbSize = 48;
    UINT fMask = 0;
    UINT fType = 0;
    UINT fState = 0;
    UINT wID = 0;
    HMENU hSubMenu = nullptr;
    void* hbmpChecked = nullptr;
    void* hbmpUnchecked = nullptr;
    std::uintptr_t dwItemData = 0;
    // In: the text (MFT_STRING). Out: the buffer GetMenuItemInfo fills, of cch characters.
    char* dwTypeData = nullptr;
    UINT cch = 0;
};
using MENUITEMINFO = MENUITEMINFOA;
using TMenuItemInfo = MENUITEMINFOA;

struct TPMPARAMS {
    UINT cbSize = 20;
    TRect rcExclude;
};

HMENU CreateMenu();
HMENU CreatePopupMenu();
// Destroys the menu and its sub-menus.
BOOL DestroyMenu(HMENU menu);
BOOL IsMenu(HMENU menu);
// newItem is the command id, or the sub-menu with MF_POPUP; text is the string (or item data with
// MF_OWNERDRAW, as a number in dataOrText).
BOOL AppendMenuA(HMENU menu, UINT flags, UINT_PTR newItem, const char* text);
BOOL InsertMenuA(HMENU menu, UINT position, UINT flags, UINT_PTR newItem, const char* text);
BOOL ModifyMenuA(HMENU menu, UINT position, UINT flags, UINT_PTR newItem, const char* text);
// The owner-drawn forms carry item data instead of text.
BOOL AppendMenuData(HMENU menu, UINT flags, UINT_PTR newItem, std::uintptr_t data);
BOOL InsertMenuItemA(HMENU menu, UINT item, BOOL byPosition, const MENUITEMINFOA* info);
BOOL SetMenuItemInfoA(HMENU menu, UINT item, BOOL byPosition, const MENUITEMINFOA* info);
BOOL GetMenuItemInfoA(HMENU menu, UINT item, BOOL byPosition, MENUITEMINFOA* info);
// DeleteMenu destroys an entry's sub-menu; RemoveMenu keeps it.
BOOL DeleteMenu(HMENU menu, UINT position, UINT flags);
BOOL RemoveMenu(HMENU menu, UINT position, UINT flags);
int GetMenuItemCount(HMENU menu);
UINT GetMenuItemID(HMENU menu, int position);
HMENU GetSubMenu(HMENU menu, int position);
// The MF_* flags of the entry (the sub-menu's count in the high byte for popups); -1 when none.
UINT GetMenuState(HMENU menu, UINT id, UINT flags);
int GetMenuStringA(HMENU menu, UINT item, char* buffer, int size, UINT flags);
std::string GetMenuString(HMENU menu, UINT item, UINT flags);
DWORD CheckMenuItem(HMENU menu, UINT item, UINT check);
BOOL EnableMenuItem(HMENU menu, UINT item, UINT enable);
BOOL SetMenu(HWND window, HMENU menu);
HMENU GetMenu(HWND window);
// Lays the window's menu bar out again after its menu changed.
BOOL DrawMenuBar(HWND window);
// The window's menu bar (shown by SetMenu above the client area): its height, 0 without one.
int GetMenuBarHeight(HWND window);
// The menu-bar keys (SC_KEYMENU): 0 selects the first entry for the keyboard (F10, Alt alone), a
// character opens the entry with that "&" accelerator; false when the window has no bar.
bool MenuBarKey(HWND window, char key);
// True when a character opens an entry of the window's bar.
bool MenuBarHasAccelerator(HWND window, char key);
// A handle whose changes are accepted and not shown (the window manager owns the system menu).
HMENU GetSystemMenu(HWND window, BOOL revert);
// Returns the command with TPM_RETURNCMD, else nonzero when an entry was chosen.
BOOL TrackPopupMenu(HMENU menu, UINT flags, int x, int y, int reserved, HWND owner, const TRect* rect);
BOOL TrackPopupMenuEx(HMENU menu, UINT flags, int x, int y, HWND owner, const TPMPARAMS* params);
// The menu being tracked (nullptr when none) and its highlighted position.
HMENU TrackingMenu();
