#pragma once
// Find and replace in the extended rich edit: FindText, the find and replace dialogs wired to it,
// find next, replace all, and moving a dialog off the text it found. The members are
// TExCustomRichEdit's; this header names the unit.

#include "controls/ExRichEdit.h"
