#pragma once
// The viewer's block sections and form fields in one header for the units that use them.

#include "htmlview/BlockSections.h"
#include "htmlview/FormControls.h"
