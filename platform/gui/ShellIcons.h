#pragma once
// The shell's icon extraction and its about box.

#include "platform/gui/Icon.h"

#include <string>

// An icon the caller destroys: image index of an ICO file, or group icon index of a Windows
// program (its best image, the one nearest 32 x 32 with the most colours). An existing file that
// holds no icons (a text file, a program of this system) gives 1; a missing file, or an index past
// the icons, gives nullptr. Index -1 gives the number of icons as a handle value.
HICON ExtractIconA(HINSTANCE instance, const char* fileName, UINT index);
// The icon of the file itself when it has one (index picks it), else the desktop's icon for the
// file's type; nullptr when there is none or the file is missing.
HICON ExtractAssociatedIconA(HINSTANCE instance, const char* fileName, WORD* index);
// An information box through the dialog service: caption "About " + application, text the
// application, CR LF and the other text. The icon is not shown by the service.
int ShellAboutA(HWND owner, const char* application, const char* otherText, HICON icon);
