#pragma once
// The control library's unit of buttons and lists, one header per class.

#include "controls/ExButtonGlyph.h"
#include "controls/ExCheckListBox.h"
#include "controls/ExListBox.h"
#include "controls/ExSpeedButton.h"
