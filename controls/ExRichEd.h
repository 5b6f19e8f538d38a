#pragma once
// The extended rich edit unit: the control, its attributes, lines and streams, objects, and find
// and replace.

#include "controls/ExRichEdit.h"
#include "controls/ExRichEditAttributes.h"
#include "controls/RichEditFind.h"
#include "controls/RichEditOle.h"
#include "controls/RichEditStrings.h"
