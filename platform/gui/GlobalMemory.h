#pragma once
// Global memory handles, as the clipboard and the printer's device modes carry them.

#include "platform/os/WinBase.h"

#include <cstddef>

using HGLOBAL = HANDLE;

constexpr UINT GMEM_FIXED = 0, GMEM_MOVEABLE = 2, GMEM_ZEROINIT = 0x40, GMEM_DDESHARE = 0x2000,
               GMEM_SHARE = 0x2000, GHND = GMEM_MOVEABLE | GMEM_ZEROINIT, GPTR = GMEM_FIXED | GMEM_ZEROINIT;

// nullptr when size is 0 and the block is not moveable, or on failure.
HGLOBAL GlobalAlloc(UINT flags, std::size_t size);
// Keeps the contents up to the smaller size; nullptr (and the old block intact) on failure.
HGLOBAL GlobalReAlloc(HGLOBAL memory, std::size_t size, UINT flags);
void* GlobalLock(HGLOBAL memory);
BOOL GlobalUnlock(HGLOBAL memory);
std::size_t GlobalSize(HGLOBAL memory);
// nullptr on success, the handle when it is unknown.
HGLOBAL GlobalFree(HGLOBAL memory);
// True for a live handle of GlobalAlloc.
bool IsGlobalHandle(HGLOBAL memory);
