#pragma once
// The viewer's vocabulary, margin keeping, small value classes, helpers and image cache, in one
// header for the units that use them.

#include "htmlview/ImageCache.h"
#include "htmlview/IndentManagerBasic.h"
#include "htmlview/MapItem.h"
#include "htmlview/PaneUtils.h"
#include "htmlview/Symbols.h"
#include "htmlview/TokenObj.h"
