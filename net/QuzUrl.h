#pragma once
// URL functions of the Internet components: splitting a URL into its parts (also relative to the
// current document), encoding and decoding query text, hexadecimal digits. Plain functions
// without state; positions count from 1 as the HTTP client's parsing does.

#include <string>

namespace QuzUrl {

// count > 0: the position of the count-th occurrence of s in t from the left, or the length of t
// plus 1 when there are fewer. count < 0: the |count|-th occurrence from the right (-1 the last),
// or 0 when there are fewer. count 0: 0.
int Posn(const std::string& s, const std::string& t, int count);

// Splits URL into protocol (lower case), user, password, host, port and path. Path is also an
// input: on entry it is the current document's path, against which "./x" and "../x" resolve.
// Parts the URL does not name come back empty.
void ParseURL(const std::string& URL, std::string& Proto, std::string& User, std::string& Pass, std::string& Host,
              std::string& Port, std::string& Path);

// Letters and digits stay, every other byte becomes "%" and two upper-case hexadecimal digits.
std::string UrlEncode(const std::string& S);
// Decodes the first field of a query: stops at the first "&"; "+" is a space, "%xx" a byte.
std::string UrlDecode(const std::string& S);

bool IsDigit(char Ch);
bool IsXDigit(char Ch);
// The value of a hexadecimal digit; for any other character its low four bits plus 9.
int XDigit(char Ch);
// Skips leading spaces and reads hexadecimal digits, never more than Len characters and never
// past a terminating zero byte.
int htoin(const char* Value, int Len);
int htoi2(const char* Value);

} // namespace QuzUrl
