#pragma once
// The control library's editors with a button, one header per class.

#include "controls/ComboEdit.h"
#include "controls/DateEdit.h"
#include "controls/FileDirEdit.h"
