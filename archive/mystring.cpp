#include "archive/mystring.h"

#include "platform/rtl/Exceptions.h"
#include "platform/rtl/TextUtils.h"

std::string SubString(const std::string& text, int start, int count)
{
    const std::size_t from = start < 1 ? 0 : static_cast<std::size_t>(start - 1);
    if (from >= text.size() || count == 0)
        return {};
    if (count < 0)
        return text.substr(from);
    return text.substr(from, static_cast<std::size_t>(count));
}

namespace {

char FoldedLetter(unsigned char letter)
{
    switch (letter) {
    case 0xC0: case 0xC4: case 0xE0: case 0xE1: case 0xE2: case 0xE4:
        return 'A';
    case 0xC8: case 0xC9: case 0xE8: case 0xE9: case 0xEA: case 0xEB:
        return 'E';
    case 0xD1: case 0xF1:
        return 'N';
    case 0xD4: case 0xD6: case 0xF2: case 0xF3: case 0xF4: case 0xF6:
        return 'O';
    case 0xD9: case 0xDC: case 0xFA: case 0xFB: case 0xFC:
        return 'U';
    case 0xE7:
        return 'C';
    case 0xEC: case 0xED: case 0xEE: case 0xEF:
        return 'I';
    case 0xFF:
        return 'Y';
    default:
        return static_cast<char>(letter);
    }
}

} // namespace

std::string FoldedUpperCase(const std::string& text)
{
    std::string result = AnsiUpperCase(text);
    for (char& letter : result)
        letter = FoldedLetter(static_cast<unsigned char>(letter));
    return result;
}

std::string FormatText(const std::string& format, std::initializer_list<TVarRec> args)
{
    if (args.size() > 15)
        throw EConvertError("Too many arguments for \"" + format + "\"");
    return Format(format, args);
}
