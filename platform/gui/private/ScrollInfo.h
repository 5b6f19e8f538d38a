#pragma once
// The scroll values of a window's bars and of a bare scroll-bar window follow one set of rules.

#include "platform/gui/WindowFunctions.h"

// Takes the fields source.fMask names and keeps the position inside the range, as Windows does.
void MergeScrollInfo(SCROLLINFO& info, const SCROLLINFO& source);
// Fills the fields target.fMask asks for.
void ReadScrollInfo(const SCROLLINFO& info, SCROLLINFO& target);
