#include "platform/gui/RasterOps.h"

namespace RasterOps {

namespace {
constexpr std::uint32_t Opaque = 0xFF000000u;
constexpr std::uint32_t ColourBits = 0x00FFFFFFu;
} // namespace

std::uint32_t Rop2(int code, std::uint32_t pen, std::uint32_t destination)
{
    if (code < 1 || code > 16)
        return destination;
    const unsigned table = static_cast<unsigned>(code - 1);
    const std::uint32_t p = pen, d = destination;
    std::uint32_t result = 0;
    if (table & 1)
        result |= ~p & ~d;
    if (table & 2)
        result |= ~p & d;
    if (table & 4)
        result |= p & ~d;
    if (table & 8)
        result |= p & d;
    return (result & ColourBits) | Opaque;
}

std::uint32_t Rop3(DWORD code, std::uint32_t pattern, std::uint32_t source, std::uint32_t destination)
{
    const unsigned table = (code >> 16) & 0xFF;
    switch (table) {
    case 0xCC:
        return source | Opaque;
    case 0x00:
        return Opaque;
    case 0xFF:
        return 0xFFFFFFFFu;
    case 0xF0:
        return pattern | Opaque;
    case 0xAA:
        return destination | Opaque;
    default:
        break;
    }
    const std::uint32_t p = pattern, s = source, d = destination;
    std::uint32_t result = 0;
    for (unsigned term = 0; term < 8; ++term) {
        if (!(table & (1u << term)))
            continue;
        const std::uint32_t pp = (term & 4) ? p : ~p;
        const std::uint32_t ss = (term & 2) ? s : ~s;
        const std::uint32_t dd = (term & 1) ? d : ~d;
        result |= pp & ss & dd;
    }
    return (result & ColourBits) | Opaque;
}

// The operation reads an operand when flipping it changes the truth table.
static bool Depends(DWORD code, unsigned shift)
{
    const unsigned table = (code >> 16) & 0xFF;
    for (unsigned term = 0; term < 8; ++term) {
        const unsigned other = term ^ (1u << shift);
        if (((table >> term) & 1) != ((table >> other) & 1))
            return true;
    }
    return false;
}

bool UsesSource(DWORD code) { return Depends(code, 1); }
bool UsesPattern(DWORD code) { return Depends(code, 2); }
bool UsesDestination(DWORD code) { return Depends(code, 0); }

void Rop3Row(DWORD code, std::uint32_t* destination, const std::uint32_t* source, const std::uint32_t* pattern,
             std::uint32_t patternColor, int count)
{
    const unsigned table = (code >> 16) & 0xFF;
    if (table == 0xCC && source) {
        for (int i = 0; i < count; ++i)
            destination[i] = source[i] | Opaque;
        return;
    }
    if (table == 0x88 && source) {
        for (int i = 0; i < count; ++i)
            destination[i] = (destination[i] & source[i]) | Opaque;
        return;
    }
    if (table == 0xEE && source) {
        for (int i = 0; i < count; ++i)
            destination[i] = (destination[i] | source[i]) | Opaque;
        return;
    }
    if (table == 0x66 && source) {
        for (int i = 0; i < count; ++i)
            destination[i] = ((destination[i] ^ source[i]) & ColourBits) | Opaque;
        return;
    }
    if (table == 0xE2 && source) {
        for (int i = 0; i < count; ++i) {
            const std::uint32_t p = pattern ? pattern[i] : patternColor;
            const std::uint32_t d = destination[i];
            destination[i] = ((d ^ (source[i] & (p ^ d))) & ColourBits) | Opaque;
        }
        return;
    }
    for (int i = 0; i < count; ++i)
        destination[i] = Rop3(code, pattern ? pattern[i] : patternColor, source ? source[i] : 0, destination[i]);
}

std::uint32_t ColorToMono(std::uint32_t pixel, std::uint32_t sourceBackground)
{
    return ((pixel & ColourBits) == (sourceBackground & ColourBits)) ? 0xFFFFFFFFu : Opaque;
}

std::uint32_t MonoToColor(std::uint32_t pixel, std::uint32_t textColor, std::uint32_t backgroundColor)
{
    return ((pixel & ColourBits) != 0 ? backgroundColor : textColor) | Opaque;
}

} // namespace RasterOps
