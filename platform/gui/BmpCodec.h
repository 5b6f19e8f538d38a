#pragma once
// The BMP reader and writer. Pixels stay in their Windows DIB layout: 1, 4 and 8 bits index a
// palette, 15 bits are x-R5-G5-B5 and 16 bits R5-G6-B5 little-endian words, 24 bits B, G, R and
// 32 bits B, G, R, unused. Malformed data raises EInvalidGraphic "Bitmap image is not valid".

#include "platform/gui/GdiObjects.h"

#include <cstddef>
#include <cstdint>
#include <vector>

struct TDibImage {
    int Width = 0;
    int Height = 0;
    int Bits = 32;          // 1, 4, 8, 15, 16, 24 or 32
    std::vector<COLORREF> Palette;
    std::vector<std::uint8_t> Rows; // top row first, each RowSize() bytes

    int RowSize() const { return ((Width * (Bits == 15 ? 16 : Bits) + 31) / 32) * 4; }
    std::uint8_t* Row(int y) { return Rows.data() + static_cast<std::size_t>(y) * RowSize(); }
    const std::uint8_t* Row(int y) const { return Rows.data() + static_cast<std::size_t>(y) * RowSize(); }
};

namespace BmpCodec {
// Reads a whole BMP file (with its 14-byte file header).
TDibImage Read(const std::uint8_t* data, std::size_t size);
// Reads a DIB without the file header (a BITMAPINFOHEADER or core header first), as the
// clipboard and icons hold them.
TDibImage ReadDib(const std::uint8_t* data, std::size_t size);
// Writes a BMP file: BITMAPINFOHEADER, bottom-up rows, BI_BITFIELDS for 16 bits.
std::vector<std::uint8_t> Write(const TDibImage& image);
// Raises EOutOfResources for a side above 32,767 or an area above 2^28 pixels.
void CheckSize(int width, int height);
} // namespace BmpCodec
