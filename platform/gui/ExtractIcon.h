#pragma once
// The icons a program file carries in its resources.

#include "platform/os/WinBase.h"

// The group icon number index of a program file as an icon (its best image, the one nearest
// 32 x 32 with the most colours), owned by the caller. Null when the file has no such icon or
// cannot be read; the value 1 when the file is not a program.
HICON ExtractIconA(HINSTANCE instance, const char* fileName, UINT index);
