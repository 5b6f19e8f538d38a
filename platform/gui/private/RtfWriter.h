#pragma once
// Writes formatted content as RTF in the dialect of the Windows rich edit control, which other
// RTF readers read back with the same text and formatting. Lists are written twice, in the
// control's own numbering words and in the list table that word processors read.

#include "platform/gui/private/RichContent.h"

#include <string>

// noObjects writes each embedded object as its result picture (or leaves it out without one).
std::string WriteRtf(const TRichContent& content, bool noObjects);
