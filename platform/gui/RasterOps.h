#pragma once
// The raster operation engines: the 16 binary ROP2 codes (pen modes) and all 256 ternary ROP3
// codes, applied bitwise to 32-bit pixels; and the monochrome/colour conversion rules.

#include "platform/os/WinBase.h"

#include <cstdint>

constexpr DWORD SRCCOPY = 0x00CC0020, SRCPAINT = 0x00EE0086, SRCAND = 0x008800C6, SRCINVERT = 0x00660046,
                SRCERASE = 0x00440328, NOTSRCCOPY = 0x00330008, NOTSRCERASE = 0x001100A6,
                MERGECOPY = 0x00C000CA, MERGEPAINT = 0x00BB0226, PATCOPY = 0x00F00021, PATPAINT = 0x00FB0A09,
                PATINVERT = 0x005A0049, DSTINVERT = 0x00550009, BLACKNESS = 0x00000042,
                WHITENESS = 0x00FF0062;

namespace RasterOps {
// Result bit = bit (P*2 + D) of (code - 1), for every bit of the colour; the top byte of the
// result is 0xFF. Codes outside 1..16 act as R2_NOP.
std::uint32_t Rop2(int code, std::uint32_t pen, std::uint32_t destination);
// Result bit = bit (P*4 + S*2 + D) of bits 16..23 of code.
std::uint32_t Rop3(DWORD code, std::uint32_t pattern, std::uint32_t source, std::uint32_t destination);
// True when the operation reads the source / the pattern / the destination.
bool UsesSource(DWORD code);
bool UsesPattern(DWORD code);
bool UsesDestination(DWORD code);

// Applies Rop3 to a row of count pixels; pattern may be null when the code does not use it
// (then patternColor is used), source may be null when the code does not use it.
void Rop3Row(DWORD code, std::uint32_t* destination, const std::uint32_t* source, const std::uint32_t* pattern,
             std::uint32_t patternColor, int count);

// Copying a colour pixel to a monochrome one: white when it equals the source's background.
std::uint32_t ColorToMono(std::uint32_t pixel, std::uint32_t sourceBackground);
// Copying a monochrome pixel to a colour one: 0 bits (black) take the text colour, 1 bits the
// background.
std::uint32_t MonoToColor(std::uint32_t pixel, std::uint32_t textColor, std::uint32_t backgroundColor);
} // namespace RasterOps
