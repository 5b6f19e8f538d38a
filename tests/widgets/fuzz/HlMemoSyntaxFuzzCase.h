#pragma once
// One run of the tag highlighter's fuzz target: the bytes are read as a DTD file's text and as an
// HTML colour code. Neither may raise, crash or read outside its buffers; a colour is accepted
// only for "#" and 3 or 6 hexadecimal digits.

#include "widgets/HlMemoSyntax.h"

#include <cstdint>
#include <cstdlib>
#include <string>

inline bool HlMemoSyntaxFuzzIsColourCode(const std::string& text)
{
    if ((text.size() != 4 && text.size() != 7) || text[0] != '#')
        return false;
    for (std::size_t i = 1; i < text.size(); ++i) {
        const char c = text[i];
        if (!((c >= '0' && c <= '9') || (c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f')))
            return false;
    }
    return true;
}

inline void RunHlMemoSyntaxFuzzCase(const std::uint8_t* data, std::size_t size)
{
    const std::string input(reinterpret_cast<const char*>(data), size);
    bool ok = true;
    const TColor colour = HTMLColorToColor(input, ok);
    if (ok != HlMemoSyntaxFuzzIsColourCode(input) || (!ok && colour != clNone) || (ok && (colour & ~0xFFFFFF) != 0))
        std::abort();
    THlMemoSyntax syntax(nullptr);
    TStringList lines;
    lines.SetText(input);
    syntax.GetDropItemsFromDTDLines(&lines);
    for (int i = 0; i < syntax.DropItems()->Count(); ++i)
        if (!syntax.DropItems()->Objects(i))
            std::abort();
}
