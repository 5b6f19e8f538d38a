#pragma once
// The small encodings every stream of the report engine uses: strings and line lists, in the
// current form and in the zero-terminated form of files older than version 23.

#include <string>

class TStream;
class TStrings;

// A 16-bit length, the characters and one byte 0. A text longer than 65535 bytes raises
// EWriteError before anything is written.
void rpWriteString(TStream& stream, const std::string& s);
std::string rpReadString(TStream& stream);
// Characters up to a byte 0, which is consumed.
std::string rpReadString22(TStream& stream);

// A 16-bit count (at most 65535: readers only tell empty from not empty), then each line as a
// 16-bit length and its characters, a byte 13 between lines and a byte 0 after the last. A line
// longer than 65535 bytes raises EWriteError before anything is written.
void rpWriteMemo(TStream& stream, TStrings* lines);
void rpReadMemo(TStream& stream, TStrings* lines);
// Lines ended by 13 or by the final 0; an empty last segment adds no line.
void rpReadMemo22(TStream& stream, TStrings* lines);

// The string or line list in the form a stream of that version holds: the zero-terminated forms
// before version 23.
std::string rpReadVersionString(TStream& stream, int version);
void rpReadVersionMemo(TStream& stream, TStrings* lines, int version);
