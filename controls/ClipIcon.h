#pragma once
// Icons on the clipboard (a bitmap of the icon and its icon-file bytes in the library's own
// format "Tessellarium Icon"), and icons rebuilt at the size of the image they really hold
// rather than the system icon size.

#include "platform/gui/Canvas.h"
#include "platform/gui/Icon.h"

#include <cstddef>
#include <cstdint>
#include <memory>

// The clipboard format of icon-file bytes, registered on first use.
UINT IconClipboardFormat();

// The directory entry of the icon-file bytes shown on a screen of that depth (planes x bits per
// pixel): an entry with exactly the screen's colour count, else the richest one within it; entry
// 0 when none is. True colour (24 bits and more) wants a colour count of 0. Entries whose offset,
// size or bitmap header do not fit the data are skipped; -1 when none is usable or the bytes are
// not an icon file.
int ChooseRealSizeIconEntry(const std::uint8_t* data, std::size_t size, int screenDepth);

// A new handle (the caller destroys it) of the image the icon holds for the screen, at its own
// size. An icon-file type of 0 gives the default application icon; anything that is not a usable
// icon file gives a copy of the icon's own handle. Raises EOutOfResources "Out of system
// resources" when the screen or the icon cannot be had.
HICON CreateRealSizeIcon(TIcon* Icon);
// The icon's size from its colour bitmap, else half its mask's height; the system icon size when
// the handle tells nothing.
void GetIconSize(HICON IconHandle, int& Width, int& Height);
// Draws the real-size icon at (X, Y) with its mask.
void DrawRealSizeIcon(TCanvas* Canvas, TIcon* Icon, int X, int Y);

// Puts a bitmap of the real-size icon over BackColor and the icon's bytes on the clipboard.
void CopyIconToClipboard(TIcon* Icon, TColor BackColor);
// Loads the icon from the clipboard's icon bytes; without them the icon stays as it was. Bytes
// that are not an icon raise the icon's load error and leave the icon unchanged.
void AssignClipboardIcon(TIcon* Icon);
// A new icon from the clipboard, nullptr when it holds none.
std::unique_ptr<TIcon> CreateIconFromClipboard();
