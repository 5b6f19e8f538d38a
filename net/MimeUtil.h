#pragma once
// The encodings the SMTP client needs: Base64 of texts (authentication) and of files line by line
// (attachments), quoted-printable, dot-escaping of multi-line text and the content type of a file
// name. Plain functions on Windows-1252 texts; the only state is the file stream the caller holds
// between the calls of the file encoder.

#include "platform/rtl/Streams.h"

#include <cstdint>
#include <memory>
#include <string>

// Standard Base64 (RFC 2045 alphabet, "=" padding), one line, no line breaks.
std::string Base64Encode(const std::string& S);
// The bytes of a Base64 text. Blanks and line breaks are skipped; an incomplete last group is
// dropped. Characters outside the alphabet are decoded as the table gives them (garbage bits),
// never skipped.
std::string Base64Decode(const std::string& S);

// "=", every character below a blank and every one above "~" become "=" and two upper-case
// hexadecimal digits.
std::string EncodeQuotedPrintable(const std::string& S);
// Undoes the escapes and the soft line breaks ("=" CR LF). An "=" (or "=" CR, or "=" and one
// character) at the very end ends the result; an invalid hexadecimal pair raises EConvertError.
std::string DecodeQuotedPrintable(const std::string& S);
// Cuts S into lines of at most 75 characters, each but the last ending with the soft line break
// "=" CR LF, never inside an escape. A text of 76 characters or fewer is returned unchanged.
std::string SplitQuotedPrintableString(const std::string& S);

// Doubles a dot at the start of S and every dot that follows a CR LF in it.
void DotEscape(std::string& S);

// The MIME type for a file name's extension (case ignored); "application/octet-stream" for
// anything unknown.
std::string FilenameToContentType(const std::string& FileName);

// The file encoder: InitFileEncBase64 opens the file for reading (raising the stream's exception
// when it cannot), each DoFileEncBase64 gives the next line of 72 characters (54 bytes of the
// file), More telling whether a full line was read; the last line is shorter, and empty when the
// file's length is a multiple of 54. EndFileEncBase64 closes the file and clears the variable.
std::unique_ptr<TFileStream> InitFileEncBase64(const std::string& FileName, std::uint16_t ShareMode);
std::string DoFileEncBase64(std::unique_ptr<TFileStream>& Stream, bool& More);
void EndFileEncBase64(std::unique_ptr<TFileStream>& Stream);
