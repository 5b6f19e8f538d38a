#pragma once
// Reads RTF, as Windows rich edit controls, word processors and pandoc write it, into formatted
// content. What it cannot show (pictures, embedded objects, field instructions) is kept so that
// it is written back unchanged.

#include "platform/gui/private/RichContent.h"

#include <string>
#include <string_view>

// The largest text a rich edit control holds.
constexpr int RichMaxTextLimit = 16777215;
// Deeper nesting fails the read instead of taking memory or stack without bound.
constexpr int RtfMaxGroupDepth = 256;

// True when data starts with "{\rtf" after optional white space.
bool LooksLikeRtf(std::string_view data);

// The code page of a font's character set, 0 for those that take the document's code page.
int RtfCodePageOfCharset(int charset);

// Reads data into content (which it clears). The text stops after maxChars characters (each
// paragraph break counting one). False, with error set, when data is not RTF or nests too deep;
// content is then left empty.
bool ReadRtf(std::string_view data, TRichContent& content, int maxChars, std::string& error);
