#pragma once
// String helpers of the CAB archiver.

#include "platform/rtl/Formats.h"

#include <initializer_list>
#include <string>

// count characters from start (1 for the first); count -1 takes the rest.
std::string SubString(const std::string& text, int start, int count = -1);
// AnsiUpperCase, then accented letters folded to their base letter, so that names compare alike
// with or without accents.
std::string FoldedUpperCase(const std::string& text);
// Format with up to 15 arguments; more raise EConvertError.
std::string FormatText(const std::string& format, std::initializer_list<TVarRec> args);
