#include "archive/ZipNames.h"

#include "platform/rtl/Codepage.h"
#include "platform/rtl/Files.h"
#include "platform/rtl/TextUtils.h"

#include <algorithm>
#include <vector>

namespace {

constexpr char32_t MalformedUtf8 = 0xFFFF;

// The code page 850 byte of a character, or 0 when the page has none.
char OemByteOf(char32_t c)
{
    if (c < 0x80)
        return static_cast<char>(c);
    const char ansi = UnicodeToAnsiChar(c);
    if (ansi == '?')
        return 0;
    char oem = 0;
    CharToOemBuffA(&ansi, &oem, 1);
    return oem == '?' ? 0 : oem;
}

bool IsValidUtf8(std::string_view text)
{
    std::size_t i = 0;
    while (i < text.size())
        if (DecodeUtf8(text, i) == MalformedUtf8)
            return false;
    return true;
}

std::string AnsiFromUtf8Name(std::string_view utf8, bool& lostCharacters)
{
    std::string result;
    result.reserve(utf8.size());
    std::size_t i = 0;
    while (i < utf8.size()) {
        const char32_t c = DecodeUtf8(utf8, i);
        const char ansi = c == MalformedUtf8 ? '?' : UnicodeToAnsiChar(c);
        if (ansi == '?' && c != U'?') {
            result += '_';
            lostCharacters = true;
        } else {
            result += ansi;
        }
    }
    return result;
}

std::string AnsiFromOemName(std::string_view oem, bool& lostCharacters)
{
    std::string result(oem);
    for (char& c : result) {
        if (static_cast<unsigned char>(c) < 0x80)
            continue;
        char ansi = 0;
        OemToCharBuffA(&c, &ansi, 1);
        if (ansi == '?') {
            ansi = '_';
            lostCharacters = true;
        }
        c = ansi;
    }
    return result;
}

bool IsZipSeparator(char c)
{
    return c == '/' || c == '\\';
}

std::vector<std::string> ZipPathParts(std::string_view path)
{
    std::vector<std::string> parts;
    std::string part;
    for (char c : path) {
        if (IsZipSeparator(c)) {
            parts.push_back(part);
            part.clear();
        } else {
            part += c;
        }
    }
    parts.push_back(part);
    return parts;
}

} // namespace

TZipStoredName ZipStoredNameFromUtf8(std::string_view utf8Name)
{
    TZipStoredName stored;
    std::size_t i = 0;
    while (i < utf8Name.size()) {
        const char oem = OemByteOf(DecodeUtf8(utf8Name, i));
        if (oem == 0)
            return {std::string(utf8Name), true};
        stored.Bytes += oem;
    }
    return stored;
}

TZipStoredName ZipStoredNameFromAnsi(std::string_view ansiName)
{
    TZipStoredName stored;
    stored.Bytes.resize(ansiName.size());
    CharToOemBuffA(ansiName.data(), stored.Bytes.data(), ansiName.size());
    for (std::size_t i = 0; i < ansiName.size(); ++i)
        if (stored.Bytes[i] == '?' && ansiName[i] != '?')
            return {AnsiToUtf8(ansiName), true};
    return stored;
}

std::string ZipNameToAnsi(std::string_view stored, std::uint16_t flags, std::uint8_t hostSystem,
                          std::uint8_t hostVersion, TZipCodePage codePage, bool& lostCharacters)
{
    if (flags & ZipFlagUtf8)
        return AnsiFromUtf8Name(stored, lostCharacters);
    bool fromOem = false;
    switch (codePage) {
    case TZipCodePage::Oem:
        fromOem = true;
        break;
    case TZipCodePage::None:
        break;
    case TZipCodePage::Automatic:
        fromOem = hostSystem == ZipHostFat || hostSystem == ZipHostHpfs ||
                  (hostSystem == ZipHostNtfs && hostVersion == 50);
        break;
    }
    if (fromOem)
        return AnsiFromOemName(stored, lostCharacters);
    if (hostSystem == ZipHostUnix && IsValidUtf8(stored))
        return AnsiFromUtf8Name(stored, lostCharacters);
    return std::string(stored);
}

bool IsUnsafeZipName(std::string_view name)
{
    if (name.empty())
        return false;
    if (IsZipSeparator(name[0]) || (name.size() >= 2 && name[1] == ':'))
        return true;
    if (name.find('\0') != std::string_view::npos)
        return true;
    for (const std::string& part : ZipPathParts(name))
        if (part == "..")
            return true;
    return false;
}

std::string RelativeZipPath(std::string_view path)
{
    if (path.size() >= 2 && path[1] == ':')
        path.remove_prefix(2);
    std::vector<std::string> kept;
    for (const std::string& part : ZipPathParts(path)) {
        if (part.empty() || part == ".")
            continue;
        if (part == "..") {
            if (!kept.empty())
                kept.pop_back();
            continue;
        }
        kept.push_back(part);
    }
    std::string result;
    for (const std::string& part : kept) {
        if (!result.empty())
            result += '/';
        result += part;
    }
    return result;
}

std::string ForceDosZipName(const std::string& ansiName)
{
    std::string result;
    const std::vector<std::string> parts = ZipPathParts(ansiName);
    for (std::size_t n = 0; n < parts.size(); ++n) {
        const std::string& part = parts[n];
        const std::string::size_type dot = part.rfind('.');
        std::string base = part.substr(0, std::min<std::size_t>(dot, part.size())).substr(0, 8);
        std::string dosPart = base;
        if (dot != std::string::npos)
            dosPart += "." + part.substr(dot + 1, 3);
        if (n > 0)
            result += '/';
        result += AnsiUpperCase(dosPart);
    }
    return result;
}

std::string ZipForwardSlashes(std::string name)
{
    std::replace(name.begin(), name.end(), '\\', '/');
    return name;
}

std::string ZipBareName(const std::string& name)
{
    const std::string::size_type last = name.find_last_of("/\\");
    return last == std::string::npos ? name : name.substr(last + 1);
}

bool ZipNameMatches(const std::string& name, const std::string& mask)
{
    return MatchesMask(ZipForwardSlashes(name), ZipForwardSlashes(mask));
}
