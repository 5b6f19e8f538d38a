#pragma once
// The viewer's document model in one header for the units that use it: fonts and runs, the
// section interface and cells, the document, text sections, tables and images.

#include "htmlview/FontObj.h"
#include "htmlview/HtmlTable.h"
#include "htmlview/ImageObj.h"
#include "htmlview/PaneMetrics.h"
#include "htmlview/Section.h"
#include "htmlview/SectionBase.h"
#include "htmlview/SectionList.h"
