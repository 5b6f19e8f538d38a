#pragma once
// Device-independent bitmap layouts: rows of ((width x bits + 31) div 32) x 4 bytes; 1, 4 and 8
// bits index a palette, 16 and 32 bits may carry bit-field masks.

#include "platform/gui/GdiObjects.h"

#include <QImage>

#include <cstddef>
#include <cstdint>
#include <vector>

namespace Dib {
inline int RowSize(int width, int bits) { return ((width * (bits == 15 ? 16 : bits) + 31) / 32) * 4; }
// Row codecs take 15 for x-R5-G5-B5 words and 16 for R5-G6-B5 (or the given masks).
// The colour table of an info block (biClrUsed entries, 0 meaning 2^bits up to 256).
std::vector<COLORREF> PaletteOf(const BITMAPINFO* info);
// The three masks of a BI_BITFIELDS header (null for others).
const DWORD* MasksOf(const BITMAPINFO* info);
// Decodes uncompressed rows (bottom-up for a positive height) into a Format_RGB32 image; false
// when the bits do not fit available bytes or the format is not handled.
bool ToImage(const BITMAPINFOHEADER& header, const std::vector<COLORREF>& palette, const DWORD* masks,
             const void* bits, std::size_t available, QImage& image);
// Decodes one row of pixels.
void DecodeRow(const std::uint8_t* row, int width, int bits, const std::vector<COLORREF>& palette,
               const DWORD* masks, std::uint32_t* pixels);
// Encodes one row of pixels; indexed formats take the nearest palette entry.
void EncodeRow(const std::uint32_t* pixels, int width, int bits, const std::vector<COLORREF>& palette,
               std::uint8_t* row);
// The nearest entry (least squared distance, first on ties).
int NearestIndex(const std::vector<COLORREF>& palette, std::uint32_t pixel);
} // namespace Dib
