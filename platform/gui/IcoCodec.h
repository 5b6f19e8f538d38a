#pragma once
// The ICO reader and writer: a directory of images, each a BITMAPINFOHEADER image of doubled
// height (colour rows, then the 1-bit AND mask, both bottom-up) or a PNG payload.
// Malformed data raises EInvalidGraphic "Icon image is not valid".

#include "platform/gui/GdiObjects.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

struct TIcoImage {
    int Width = 0;
    int Height = 0;
    int Bits = 32;                     // depth of the stored colour image (32 for PNG)
    int ColorCount = 0;                // colours of the palette (0 for 8 bits and up)
    std::vector<std::uint32_t> Pixels; // 0xFFRRGGBB, rows from the top
    std::vector<std::uint8_t> Transparent; // 1 where the mask is set, rows from the top
    int HotX = 0, HotY = 0;            // cursors
};

namespace IcoCodec {
// Every readable image; entries that cannot be read are skipped when another one can.
// allowCursor accepts type 2 (cursor) files, whose entries carry hot spots.
std::vector<TIcoImage> Read(const std::uint8_t* data, std::size_t size, bool allowCursor = false);
// One image: bits 1 (black and white), 4 (the VGA palette), 8 (its own colours or the fixed
// palette), 24 or 32.
std::vector<std::uint8_t> Write(const TIcoImage& image, int bits, bool cursor = false);
// The index of the image shown: the one nearest 32 x 32, with the most colours.
std::size_t BestImage(const std::vector<TIcoImage>& images);
// A 32 x 32 black-and-white cursor drawn as text, one string a row from the top: '#' black, '.'
// white, anything else transparent, as are rows and columns beyond the drawing. The bytes of a
// one-bit cursor file without its hot spot (register it with RegisterCursorResource).
std::vector<std::uint8_t> CursorFromDrawing(const std::vector<std::string>& rows);
} // namespace IcoCodec
