#pragma once
// One run of the URL fuzz target: the first byte splits the rest into a current document path and
// a text given to ParseURL, UrlDecode, RFC1123_StrToDate and htoin. Each part ParseURL gives is
// bounded by what it was given, UrlDecode never grows its text, and a date that is read is written
// and read back to the same value.

#include "net/HttpProt.h"
#include "net/QuzUrl.h"

#include <cstdint>
#include <string>

namespace UrlFuzz {

// The fault found, "" when none.
inline std::string RunUrlFuzzCase(const std::uint8_t* data, std::size_t size)
{
    if (size < 1)
        return "";
    const std::string rest(reinterpret_cast<const char*>(data + 1), size - 1);
    const std::size_t cut = data[0] % (rest.size() + 1);
    const std::string current = rest.substr(0, cut);
    const std::string text = rest.substr(cut);

    std::string proto, user, pass, host, port, path = current;
    QuzUrl::ParseURL(text, proto, user, pass, host, port, path);
    for (const std::string* part : {&proto, &user, &pass, &host, &port})
        if (part->size() > text.size() + 6)
            return "a part longer than the URL";
    if (path.size() > text.size() + current.size() + 1)
        return "a path longer than the URL and the current path";

    if (QuzUrl::UrlDecode(text).size() > text.size())
        return "decoding made the text longer";
    QuzUrl::htoin(text.c_str(), static_cast<int>(text.size()) + 1);
    QuzUrl::Posn(current, text, static_cast<int>(static_cast<std::int8_t>(data[0])));

    try {
        const TDateTime date = HttpProt::RFC1123_StrToDate(text);
        if (HttpProt::RFC1123_StrToDate(HttpProt::RFC1123_Date(date)) != date)
            return "a date does not read back: " + HttpProt::RFC1123_Date(date);
    } catch (const EConvertError&) {
    }
    return "";
}

} // namespace UrlFuzz
