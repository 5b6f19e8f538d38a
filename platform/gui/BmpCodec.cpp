#include "platform/gui/BmpCodec.h"

#include "platform/gui/private/DibLayout.h"
#include "platform/gui/private/GdiInternals.h"

#include <algorithm>
#include <cstring>

namespace {

[[noreturn]] void Invalid() { RAISE(EInvalidGraphic("Bitmap image is not valid")); }

std::uint16_t U16(const std::uint8_t* p) { return static_cast<std::uint16_t>(p[0] | (p[1] << 8)); }
std::uint32_t U32(const std::uint8_t* p)
{
    return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
           (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}
std::int32_t S32(const std::uint8_t* p) { return static_cast<std::int32_t>(U32(p)); }

void Put16(std::vector<std::uint8_t>& out, std::uint32_t v)
{
    out.push_back(static_cast<std::uint8_t>(v));
    out.push_back(static_cast<std::uint8_t>(v >> 8));
}
void Put32(std::vector<std::uint8_t>& out, std::uint32_t v)
{
    Put16(out, v & 0xFFFF);
    Put16(out, v >> 16);
}

int MaskShift(DWORD mask)
{
    int shift = 0;
    while (mask && !(mask & 1)) {
        mask >>= 1;
        ++shift;
    }
    return shift;
}

int MaskBits(DWORD mask)
{
    mask >>= MaskShift(mask);
    int bits = 0;
    while (mask & 1) {
        mask >>= 1;
        ++bits;
    }
    return bits;
}

BYTE Channel(DWORD value, DWORD mask)
{
    if (!mask)
        return 0;
    const int bits = MaskBits(mask);
    const DWORD raw = (value & mask) >> MaskShift(mask);
    if (bits >= 8)
        return static_cast<BYTE>(raw >> (bits - 8));
    return static_cast<BYTE>((raw * 255 + ((1u << bits) - 1) / 2) / ((1u << bits) - 1));
}

// Decodes RLE8 or RLE4 data into top-down index rows of image (8 or 4 bits), whose rows start
// as zeros.
void DecodeRle(const std::uint8_t* data, std::size_t size, bool rle4, TDibImage& image, bool topDown)
{
    const int width = image.Width, height = image.Height;
    int x = 0, y = 0; // y counts rows in file order
    std::size_t pos = 0;
    auto put = [&](int value) {
        if (x >= width || y >= height)
            Invalid();
        std::uint8_t* row = image.Row(topDown ? y : height - 1 - y);
        if (rle4)
            row[x / 2] |= static_cast<std::uint8_t>(x % 2 == 0 ? (value & 0x0F) << 4 : (value & 0x0F));
        else
            row[x] = static_cast<std::uint8_t>(value);
        ++x;
    };
    while (true) {
        if (pos + 2 > size)
            Invalid();
        const int count = data[pos], value = data[pos + 1];
        pos += 2;
        if (count > 0) {
            for (int i = 0; i < count; ++i)
                put(rle4 ? ((i % 2 == 0) ? (value >> 4) : (value & 0x0F)) : value);
            continue;
        }
        if (value == 0) { // end of line
            x = 0;
            ++y;
            continue;
        }
        if (value == 1) // end of bitmap
            break;
        if (value == 2) { // delta
            if (pos + 2 > size)
                Invalid();
            x += data[pos];
            y += data[pos + 1];
            pos += 2;
            if (x > width || y > height)
                Invalid();
            continue;
        }
        // Absolute run of value pixels, padded to a 16-bit boundary.
        const std::size_t bytes = rle4 ? (static_cast<std::size_t>(value) + 1) / 2 : static_cast<std::size_t>(value);
        if (pos + bytes > size)
            Invalid();
        for (int i = 0; i < value; ++i)
            put(rle4 ? ((i % 2 == 0) ? (data[pos + i / 2] >> 4) : (data[pos + i / 2] & 0x0F)) : data[pos + i]);
        pos += bytes + (bytes & 1);
    }
}

TDibImage ReadInfo(const std::uint8_t* data, std::size_t size, std::size_t headerAt, std::size_t pixelsAt,
                   bool hasFileHeader)
{
    if (headerAt + 4 > size)
        Invalid();
    const std::uint32_t headerSize = U32(data + headerAt);
    if (headerSize != 12 && headerSize != 40 && headerSize != 108 && headerSize != 124)
        Invalid();
    if (headerAt + headerSize > size)
        Invalid();
    const std::uint8_t* h = data + headerAt;
    int width, height, bits;
    DWORD compression = BI_RGB, colorsUsed = 0;
    std::size_t paletteEntrySize = 4;
    if (headerSize == 12) {
        width = U16(h + 4);
        height = static_cast<std::int16_t>(U16(h + 6));
        bits = U16(h + 10);
        paletteEntrySize = 3;
    } else {
        width = S32(h + 4);
        height = S32(h + 8);
        bits = U16(h + 14);
        compression = U32(h + 16);
        colorsUsed = U32(h + 32);
    }
    const bool topDown = height < 0;
    if (height == INT32_MIN)
        Invalid();
    height = std::abs(height);
    if (width <= 0 || height <= 0 || width > 32767 || height > 32767 ||
        static_cast<std::int64_t>(width) * height > (std::int64_t(1) << 28))
        Invalid();
    if (bits != 1 && bits != 4 && bits != 8 && bits != 16 && bits != 24 && bits != 32)
        Invalid();
    if (compression == BI_RLE8 && bits != 8)
        Invalid();
    if (compression == BI_RLE4 && bits != 4)
        Invalid();
    if (compression == BI_BITFIELDS && bits != 16 && bits != 32)
        Invalid();
    if (compression > BI_BITFIELDS || (topDown && (compression == BI_RLE8 || compression == BI_RLE4)))
        Invalid();
    DWORD masks[3] = {0, 0, 0};
    std::size_t paletteAt = headerAt + headerSize;
    if (compression == BI_BITFIELDS) {
        const std::uint8_t* m = headerSize >= 108 ? h + 40 : h + headerSize;
        if (headerSize < 108) {
            if (paletteAt + 12 > size)
                Invalid();
            paletteAt += 12;
        }
        masks[0] = U32(m);
        masks[1] = U32(m + 4);
        masks[2] = U32(m + 8);
    }
    TDibImage image;
    image.Width = width;
    image.Height = height;
    std::size_t paletteCount = 0;
    if (bits <= 8) {
        paletteCount = colorsUsed == 0 ? (std::size_t(1) << bits) : colorsUsed;
        if (paletteCount > 256 || (headerSize == 12 && colorsUsed != 0))
            Invalid();
    } else if (colorsUsed > 256) {
        Invalid();
    }
    if (paletteAt + paletteCount * paletteEntrySize > size)
        Invalid();
    for (std::size_t i = 0; i < paletteCount; ++i) {
        const std::uint8_t* e = data + paletteAt + i * paletteEntrySize;
        image.Palette.push_back(RGB(e[2], e[1], e[0]));
    }
    if (!hasFileHeader)
        pixelsAt = paletteAt + (bits <= 8 ? paletteCount : colorsUsed) * paletteEntrySize;
    if (pixelsAt >= size)
        Invalid();
    const std::uint8_t* pixels = data + pixelsAt;
    const std::size_t available = size - pixelsAt;

    // The layout the bitmap keeps: indexed as read, 15/16 bits as standard words, 24 and 32 bits.
    const bool standard565 = masks[0] == 0xF800 && masks[1] == 0x07E0 && masks[2] == 0x001F;
    const bool standard555 = masks[0] == 0x7C00 && masks[1] == 0x03E0 && masks[2] == 0x001F;
    const bool standard888 = masks[0] == 0xFF0000 && masks[1] == 0xFF00 && masks[2] == 0xFF;
    if (bits == 16)
        image.Bits = (compression == BI_BITFIELDS && !standard555) ? (standard565 ? 16 : 32) : 15;
    else if (bits == 32)
        image.Bits = 32;
    else
        image.Bits = bits;
    if (image.Bits <= 8 && image.Palette.empty())
        Invalid();
    // Uncompressed rows must all be in the data before the image is allocated: a header may claim
    // any size.
    const bool rle = compression == BI_RLE8 || compression == BI_RLE4;
    const int fileRowSize = Dib::RowSize(width, bits);
    if (!rle && static_cast<std::uint64_t>(fileRowSize) * height > available)
        Invalid();
    image.Rows.assign(static_cast<std::size_t>(image.RowSize()) * height, 0);

    if (rle) {
        DecodeRle(pixels, available, compression == BI_RLE4, image, topDown);
        return image;
    }
    const bool convert = (bits == 16 && image.Bits == 32) || (bits == 32 && compression == BI_BITFIELDS && !standard888);
    std::vector<std::uint32_t> converted(convert ? static_cast<std::size_t>(width) : 0);
    for (int row = 0; row < height; ++row) {
        const int fileRow = topDown ? row : height - 1 - row;
        const std::uint8_t* in = pixels + static_cast<std::size_t>(fileRow) * fileRowSize;
        std::uint8_t* out = image.Row(row);
        if (!convert) {
            std::memcpy(out, in, static_cast<std::size_t>(std::min(fileRowSize, image.RowSize())));
            continue;
        }
        Dib::DecodeRow(in, width, bits == 16 && compression != BI_BITFIELDS ? 15 : bits, {}, masks, converted.data());
        for (int x = 0; x < width; ++x) {
            const std::uint32_t p = converted[static_cast<std::size_t>(x)];
            out[x * 4] = static_cast<std::uint8_t>(p);
            out[x * 4 + 1] = static_cast<std::uint8_t>(p >> 8);
            out[x * 4 + 2] = static_cast<std::uint8_t>(p >> 16);
            out[x * 4 + 3] = 0;
        }
    }
    return image;
}

} // namespace

namespace BmpCodec {

void CheckSize(int width, int height)
{
    if (width > 32767 || height > 32767 || static_cast<std::int64_t>(width) * height > (std::int64_t(1) << 28))
        RAISE(EOutOfResources("Out of system resources"));
}

TDibImage Read(const std::uint8_t* data, std::size_t size)
{
    if (!data || size < 14 + 12 || data[0] != 'B' || data[1] != 'M')
        Invalid();
    const std::uint32_t offset = U32(data + 10);
    if (offset >= size)
        Invalid();
    return ReadInfo(data, size, 14, offset, true);
}

TDibImage ReadDib(const std::uint8_t* data, std::size_t size)
{
    if (!data)
        Invalid();
    return ReadInfo(data, size, 0, 0, false);
}

std::vector<std::uint8_t> Write(const TDibImage& image)
{
    const int fileBits = image.Bits == 15 ? 16 : image.Bits;
    const bool bitfields = image.Bits == 16;
    const std::size_t paletteCount = image.Bits <= 8 ? image.Palette.size() : 0;
    const std::uint32_t offset = static_cast<std::uint32_t>(14 + 40 + 4 * paletteCount + (bitfields ? 12 : 0));
    const std::uint32_t imageSize = static_cast<std::uint32_t>(image.RowSize()) * static_cast<std::uint32_t>(image.Height);
    std::vector<std::uint8_t> out;
    out.reserve(offset + imageSize);
    out.push_back('B');
    out.push_back('M');
    Put32(out, offset + imageSize);
    Put32(out, 0);
    Put32(out, offset);
    Put32(out, 40);
    Put32(out, static_cast<std::uint32_t>(image.Width));
    Put32(out, static_cast<std::uint32_t>(image.Height));
    Put16(out, 1);
    Put16(out, static_cast<std::uint32_t>(fileBits));
    Put32(out, bitfields ? BI_BITFIELDS : BI_RGB);
    Put32(out, imageSize);
    Put32(out, 0);
    Put32(out, 0);
    Put32(out, static_cast<std::uint32_t>(paletteCount));
    Put32(out, 0);
    if (bitfields) {
        Put32(out, 0xF800);
        Put32(out, 0x07E0);
        Put32(out, 0x001F);
    }
    for (std::size_t i = 0; i < paletteCount; ++i) {
        const COLORREF c = image.Palette[i];
        out.push_back(GetBValue(c));
        out.push_back(GetGValue(c));
        out.push_back(GetRValue(c));
        out.push_back(0);
    }
    for (int row = image.Height - 1; row >= 0; --row) {
        const std::uint8_t* in = image.Row(row);
        out.insert(out.end(), in, in + image.RowSize());
    }
    return out;
}

} // namespace BmpCodec

namespace Dib {

std::vector<COLORREF> PaletteOf(const BITMAPINFO* info)
{
    std::vector<COLORREF> palette;
    if (!info || info->bmiHeader.biBitCount > 8)
        return palette;
    std::size_t count = info->bmiHeader.biClrUsed ? info->bmiHeader.biClrUsed : (std::size_t(1) << info->bmiHeader.biBitCount);
    count = std::min<std::size_t>(count, 256);
    for (std::size_t i = 0; i < count; ++i) {
        const RGBQUAD& q = info->bmiColors[i];
        palette.push_back(RGB(q.rgbRed, q.rgbGreen, q.rgbBlue));
    }
    return palette;
}

const DWORD* MasksOf(const BITMAPINFO* info)
{
    if (!info || info->bmiHeader.biCompression != BI_BITFIELDS)
        return nullptr;
    return reinterpret_cast<const DWORD*>(info->bmiColors);
}

int NearestIndex(const std::vector<COLORREF>& palette, std::uint32_t pixel)
{
    const int r = (pixel >> 16) & 0xFF, g = (pixel >> 8) & 0xFF, b = pixel & 0xFF;
    int best = 0;
    long bestDistance = -1;
    for (std::size_t i = 0; i < palette.size(); ++i) {
        const COLORREF c = palette[i];
        const long dr = GetRValue(c) - r, dg = GetGValue(c) - g, db = GetBValue(c) - b;
        const long distance = dr * dr + dg * dg + db * db;
        if (bestDistance < 0 || distance < bestDistance) {
            bestDistance = distance;
            best = static_cast<int>(i);
            if (distance == 0)
                break;
        }
    }
    return best;
}

void DecodeRow(const std::uint8_t* row, int width, int bits, const std::vector<COLORREF>& palette, const DWORD* masks,
               std::uint32_t* pixels)
{
    auto fromPalette = [&](unsigned index) {
        return index < palette.size() ? Gdi::ToPixel(palette[index]) : 0xFF000000u;
    };
    switch (bits) {
    case 1:
        for (int x = 0; x < width; ++x)
            pixels[x] = fromPalette((row[x / 8] >> (7 - x % 8)) & 1);
        break;
    case 4:
        for (int x = 0; x < width; ++x)
            pixels[x] = fromPalette(x % 2 == 0 ? row[x / 2] >> 4 : row[x / 2] & 0x0F);
        break;
    case 8:
        for (int x = 0; x < width; ++x)
            pixels[x] = fromPalette(row[x]);
        break;
    case 15:
    case 16: {
        static const DWORD standard555[3] = {0x7C00, 0x03E0, 0x001F};
        static const DWORD standard565[3] = {0xF800, 0x07E0, 0x001F};
        const DWORD* m = masks ? masks : (bits == 16 ? standard565 : standard555);
        for (int x = 0; x < width; ++x) {
            const DWORD v = U16(row + x * 2);
            pixels[x] = 0xFF000000u | (Channel(v, m[0]) << 16) | (Channel(v, m[1]) << 8) | Channel(v, m[2]);
        }
        break;
    }
    case 24:
        for (int x = 0; x < width; ++x)
            pixels[x] = 0xFF000000u | (row[x * 3 + 2] << 16) | (row[x * 3 + 1] << 8) | row[x * 3];
        break;
    case 32:
        for (int x = 0; x < width; ++x) {
            if (masks) {
                const DWORD v = U32(row + x * 4);
                pixels[x] = 0xFF000000u | (Channel(v, masks[0]) << 16) | (Channel(v, masks[1]) << 8) |
                            Channel(v, masks[2]);
            } else {
                pixels[x] = 0xFF000000u | (row[x * 4 + 2] << 16) | (row[x * 4 + 1] << 8) | row[x * 4];
            }
        }
        break;
    default:
        std::fill(pixels, pixels + width, 0xFF000000u);
    }
}

void EncodeRow(const std::uint32_t* pixels, int width, int bits, const std::vector<COLORREF>& palette,
               std::uint8_t* row)
{
    switch (bits) {
    case 1:
    case 4:
    case 8: {
        // Runs of one colour are common: remember the last lookup.
        std::uint32_t lastPixel = 0;
        int lastIndex = -1;
        for (int x = 0; x < width; ++x) {
            const std::uint32_t p = pixels[x] & 0xFFFFFF;
            if (lastIndex < 0 || p != lastPixel) {
                lastIndex = NearestIndex(palette, p);
                lastPixel = p;
            }
            if (bits == 1)
                row[x / 8] = static_cast<std::uint8_t>((row[x / 8] & ~(0x80 >> (x % 8))) | ((lastIndex & 1) << (7 - x % 8)));
            else if (bits == 4)
                row[x / 2] = static_cast<std::uint8_t>(x % 2 == 0 ? (row[x / 2] & 0x0F) | (lastIndex << 4)
                                                                  : (row[x / 2] & 0xF0) | lastIndex);
            else
                row[x] = static_cast<std::uint8_t>(lastIndex);
        }
        break;
    }
    case 15:
    case 16:
        for (int x = 0; x < width; ++x) {
            const std::uint32_t p = pixels[x];
            const unsigned r = (p >> 16) & 0xFF, g = (p >> 8) & 0xFF, b = p & 0xFF;
            const unsigned v = bits == 16 ? ((r >> 3) << 11) | ((g >> 2) << 5) | (b >> 3)
                                          : ((r >> 3) << 10) | ((g >> 3) << 5) | (b >> 3);
            row[x * 2] = static_cast<std::uint8_t>(v);
            row[x * 2 + 1] = static_cast<std::uint8_t>(v >> 8);
        }
        break;
    case 24:
        for (int x = 0; x < width; ++x) {
            row[x * 3] = static_cast<std::uint8_t>(pixels[x]);
            row[x * 3 + 1] = static_cast<std::uint8_t>(pixels[x] >> 8);
            row[x * 3 + 2] = static_cast<std::uint8_t>(pixels[x] >> 16);
        }
        break;
    case 32:
        for (int x = 0; x < width; ++x) {
            row[x * 4] = static_cast<std::uint8_t>(pixels[x]);
            row[x * 4 + 1] = static_cast<std::uint8_t>(pixels[x] >> 8);
            row[x * 4 + 2] = static_cast<std::uint8_t>(pixels[x] >> 16);
            row[x * 4 + 3] = 0;
        }
        break;
    default:
        break;
    }
}

bool ToImage(const BITMAPINFOHEADER& header, const std::vector<COLORREF>& palette, const DWORD* masks,
             const void* bits, std::size_t available, QImage& image)
{
    const int width = header.biWidth, height = std::abs(header.biHeight);
    const int bitCount = header.biBitCount;
    if (width <= 0 || height <= 0 || width > 32767 || height > 32767 || !bits)
        return false;
    if (header.biCompression != BI_RGB && header.biCompression != BI_BITFIELDS)
        return false;
    if (bitCount != 1 && bitCount != 4 && bitCount != 8 && bitCount != 16 && bitCount != 24 && bitCount != 32)
        return false;
    const int rowSize = RowSize(width, bitCount);
    if (available != SIZE_MAX && static_cast<std::uint64_t>(rowSize) * height > available)
        return false;
    const int decodeBits = (bitCount == 16 && !masks) ? 15 : bitCount;
    image = QImage(width, height, QImage::Format_RGB32);
    for (int y = 0; y < height; ++y) {
        const int fileRow = header.biHeight > 0 ? height - 1 - y : y;
        DecodeRow(static_cast<const std::uint8_t*>(bits) + static_cast<std::size_t>(fileRow) * rowSize, width,
                  decodeBits, palette, masks, reinterpret_cast<std::uint32_t*>(image.scanLine(y)));
    }
    return true;
}

} // namespace Dib
