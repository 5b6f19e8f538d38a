#include "net/QuzUrl.h"

#include "platform/rtl/TextUtils.h"

#include <algorithm>

namespace QuzUrlUnit {

// The characters a URL scheme is made of, once in lower case.
bool IsSchemeChar(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '+' || c == '-' || c == '.';
}

bool StartsWithNoCase(const std::string& s, const std::string& prefix)
{
    return s.size() >= prefix.size() && SameText(s.substr(0, prefix.size()), prefix);
}

// The folder of a document path with its final "/", or "/" when the path has none.
std::string DirectoryOf(const std::string& path)
{
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? "/" : path.substr(0, slash + 1);
}

// The folder above a folder that ends with "/": its last part is removed.
std::string ParentOf(const std::string& directory)
{
    std::string parent = directory;
    const std::size_t last = parent.rfind('/');
    if (last != std::string::npos)
        parent.erase(last);
    const std::size_t slash = parent.rfind('/');
    return slash == std::string::npos ? "/" : parent.substr(0, slash + 1);
}

// "user:pass" or "user".
void SplitUser(const std::string& userPart, std::string& User, std::string& Pass)
{
    const std::size_t colon = userPart.find(':');
    if (colon == std::string::npos) {
        User = userPart;
        return;
    }
    User = userPart.substr(0, colon);
    Pass = userPart.substr(colon + 1);
}

} // namespace QuzUrlUnit

namespace QuzUrl {

int Posn(const std::string& s, const std::string& t, int count)
{
    if (count > 0) {
        std::size_t from = 0;
        std::size_t found = std::string::npos;
        for (int i = 0; i < count; ++i) {
            found = s.empty() ? std::string::npos : t.find(s, from);
            if (found == std::string::npos)
                return static_cast<int>(t.size()) + 1;
            from = found + 1;
        }
        return static_cast<int>(found) + 1;
    }
    if (count == 0 || s.empty() || s.size() > t.size())
        return 0;
    const long long wanted = -static_cast<long long>(count);
    long long seen = 0;
    for (std::size_t start = t.size() - s.size() + 1; start-- > 0;) {
        if (t.compare(start, s.size(), s) == 0 && ++seen == wanted)
            return static_cast<int>(start) + 1;
    }
    return 0;
}

void ParseURL(const std::string& URL, std::string& Proto, std::string& User, std::string& Pass, std::string& Host,
              std::string& Port, std::string& Path)
{
    using namespace QuzUrlUnit;
    const std::string current = Path;
    Proto.clear();
    User.clear();
    Pass.clear();
    Host.clear();
    Port.clear();
    Path.clear();
    if (URL.empty())
        return;

    if (URL.compare(0, 2, "./") == 0) {
        Path = DirectoryOf(current) + URL.substr(2);
        return;
    }
    if (URL.compare(0, 3, "../") == 0) {
        std::string directory = DirectoryOf(current);
        std::size_t rest = 0;
        while (URL.compare(rest, 3, "../") == 0) {
            directory = ParentOf(directory);
            rest += 3;
        }
        Path = directory + URL.substr(rest);
        return;
    }

    std::string hostPart;
    bool schemeFound = false;
    const std::size_t separator = URL.find("://");
    if (separator != std::string::npos) {
        const std::string scheme = LowerCase(URL.substr(0, separator));
        // A "://" after a "/" or "?" belongs to the path or the query, not to the scheme.
        if (std::all_of(scheme.begin(), scheme.end(), IsSchemeChar)) {
            Proto = scheme;
            hostPart = URL.substr(separator + 3);
            schemeFound = true;
        } else {
            Proto = "http";
        }
    }
    if (!schemeFound) {
        if (URL[0] == '/') {
            Proto = "http";
            if (URL.size() > 1 && URL[1] != '/') {
                Path = URL;
                return;
            }
            hostPart = URL.substr(1);
        } else if (StartsWithNoCase(URL, "http:")) {
            Proto = "http";
            if (URL.size() > 6 && URL[6] != '/') {
                Path = URL.substr(5);
                return;
            }
            hostPart = URL.substr(std::min<std::size_t>(6, URL.size()));
        } else if (StartsWithNoCase(URL, "mailto:")) {
            Proto = "mailto";
            hostPart = URL.substr(URL.find(':') + 1);
        } else {
            hostPart = URL;
        }
    }

    const std::size_t pathStart = hostPart.find_first_of("/?");
    const std::string authority = hostPart.substr(0, pathStart);
    if (pathStart != std::string::npos)
        Path = hostPart.substr(pathStart);

    const std::size_t colon = authority.rfind(':');
    const std::size_t at = authority.rfind('@');
    if (colon == std::string::npos && at == std::string::npos) {
        Host = authority;
    } else if (colon != std::string::npos && (at == std::string::npos || colon > at)) {
        Port = authority.substr(colon + 1);
        const std::size_t hostStart = at == std::string::npos ? 0 : at + 1;
        Host = authority.substr(hostStart, colon - hostStart);
        if (at != std::string::npos)
            SplitUser(authority.substr(0, at), User, Pass);
    } else {
        Host = authority.substr(at + 1);
        SplitUser(authority.substr(0, at), User, Pass);
    }
}

std::string UrlEncode(const std::string& S)
{
    static const char digits[] = "0123456789ABCDEF";
    std::string result;
    result.reserve(S.size());
    for (char c : S) {
        if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9')) {
            result += c;
        } else {
            const auto byte = static_cast<unsigned char>(c);
            result += '%';
            result += digits[byte >> 4];
            result += digits[byte & 15];
        }
    }
    return result;
}

std::string UrlDecode(const std::string& S)
{
    std::string result;
    for (std::size_t i = 0; i < S.size() && S[i] != '&'; ++i) {
        const char c = S[i];
        if (c == '+') {
            result += ' ';
        } else if (c == '%') {
            result += static_cast<char>(htoi2(S.c_str() + i + 1));
            i += std::min<std::size_t>(2, S.size() - i - 1);
        } else {
            result += c;
        }
    }
    return result;
}

bool IsDigit(char Ch) { return Ch >= '0' && Ch <= '9'; }

bool IsXDigit(char Ch) { return IsDigit(Ch) || (Ch >= 'A' && Ch <= 'F') || (Ch >= 'a' && Ch <= 'f'); }

int XDigit(char Ch)
{
    if (IsDigit(Ch))
        return Ch - '0';
    return (static_cast<unsigned char>(Ch) & 15) + 9;
}

int htoin(const char* Value, int Len)
{
    if (!Value)
        return 0;
    int i = 0;
    while (i < Len && Value[i] == ' ')
        ++i;
    unsigned result = 0;
    for (; i < Len && IsXDigit(Value[i]); ++i)
        result = result * 16 + static_cast<unsigned>(XDigit(Value[i]));
    return static_cast<int>(result);
}

int htoi2(const char* Value) { return htoin(Value, 2); }

} // namespace QuzUrl
