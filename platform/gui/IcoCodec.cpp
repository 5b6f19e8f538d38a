#include "platform/gui/IcoCodec.h"

#include "platform/gui/private/DibLayout.h"
#include "platform/gui/private/GdiInternals.h"

#include <QByteArray>
#include <QImage>

#include <algorithm>
#include <unordered_map>

namespace {

[[noreturn]] void Invalid() { RAISE(EInvalidGraphic("Icon image is not valid")); }

std::uint16_t U16(const std::uint8_t* p) { return static_cast<std::uint16_t>(p[0] | (p[1] << 8)); }
std::uint32_t U32(const std::uint8_t* p)
{
    return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
           (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}
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

bool ReadPng(const std::uint8_t* data, std::size_t size, TIcoImage& image)
{
    QImage png = QImage::fromData(QByteArray(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size)), "PNG");
    if (png.isNull())
        return false;
    png = png.convertToFormat(QImage::Format_ARGB32);
    image.Width = png.width();
    image.Height = png.height();
    image.Bits = 32;
    for (int y = 0; y < png.height(); ++y) {
        const auto* row = reinterpret_cast<const std::uint32_t*>(png.constScanLine(y));
        for (int x = 0; x < png.width(); ++x) {
            const bool clear = (row[x] >> 24) < 128;
            image.Pixels.push_back(clear ? 0xFF000000u : (row[x] | 0xFF000000u));
            image.Transparent.push_back(clear ? 1 : 0);
        }
    }
    return true;
}

bool ReadDibImage(const std::uint8_t* data, std::size_t size, int entryWidth, int entryHeight, TIcoImage& image)
{
    if (size < 40 || U32(data) != 40)
        return false;
    const int width = static_cast<std::int32_t>(U32(data + 4));
    const int doubled = static_cast<std::int32_t>(U32(data + 8));
    const int bits = U16(data + 14);
    const std::uint32_t compression = U32(data + 16);
    const std::uint32_t used = U32(data + 32);
    if (width <= 0 || width > 256 || doubled <= 0 || doubled % 2 != 0 || doubled / 2 > 256)
        return false;
    const int height = doubled / 2;
    if (width != entryWidth || height != entryHeight)
        return false;
    if ((bits != 1 && bits != 4 && bits != 8 && bits != 24 && bits != 32) || compression != BI_RGB)
        return false;
    std::size_t paletteCount = bits <= 8 ? (used ? used : (std::size_t(1) << bits)) : 0;
    if (paletteCount > 256)
        return false;
    std::size_t at = 40;
    if (at + paletteCount * 4 > size)
        return false;
    std::vector<COLORREF> palette;
    for (std::size_t i = 0; i < paletteCount; ++i) {
        const std::uint8_t* e = data + at + i * 4;
        palette.push_back(RGB(e[2], e[1], e[0]));
    }
    at += paletteCount * 4;
    const std::size_t colorRow = static_cast<std::size_t>(Dib::RowSize(width, bits));
    const std::size_t maskRow = static_cast<std::size_t>(Dib::RowSize(width, 1));
    const bool hasMask = at + colorRow * height + maskRow * height <= size;
    if (at + colorRow * height > size || (bits != 32 && !hasMask))
        return false;
    image.Width = width;
    image.Height = height;
    image.Bits = bits;
    image.ColorCount = bits <= 4 ? (1 << bits) : 0;
    image.Pixels.assign(static_cast<std::size_t>(width) * height, 0);
    image.Transparent.assign(static_cast<std::size_t>(width) * height, 0);
    bool anyAlpha = false;
    for (int y = 0; y < height; ++y) {
        const std::uint8_t* row = data + at + colorRow * static_cast<std::size_t>(height - 1 - y);
        Dib::DecodeRow(row, width, bits, palette, nullptr, image.Pixels.data() + static_cast<std::size_t>(y) * width);
        if (bits == 32)
            for (int x = 0; x < width; ++x)
                anyAlpha = anyAlpha || row[x * 4 + 3] != 0;
    }
    const std::size_t maskAt = at + colorRow * height;
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            bool clear = false;
            if (bits == 32 && anyAlpha)
                clear = data[at + colorRow * static_cast<std::size_t>(height - 1 - y) + x * 4 + 3] < 128;
            else if (hasMask)
                clear = (data[maskAt + maskRow * static_cast<std::size_t>(height - 1 - y) + x / 8] >> (7 - x % 8)) & 1;
            image.Transparent[static_cast<std::size_t>(y) * width + x] = clear ? 1 : 0;
        }
    }
    return true;
}

} // namespace

namespace IcoCodec {

std::vector<TIcoImage> Read(const std::uint8_t* data, std::size_t size, bool allowCursor)
{
    if (!data || size < 6 || U16(data) != 0)
        Invalid();
    const int type = U16(data + 2);
    if (type != 1 && !(allowCursor && type == 2))
        Invalid();
    const std::size_t count = U16(data + 4);
    if (count == 0 || 6 + count * 16 > size)
        Invalid();
    std::vector<TIcoImage> images;
    for (std::size_t i = 0; i < count; ++i) {
        const std::uint8_t* entry = data + 6 + i * 16;
        const int width = entry[0] ? entry[0] : 256, height = entry[1] ? entry[1] : 256;
        const std::uint32_t bytes = U32(entry + 8), offset = U32(entry + 12);
        if (offset >= size || bytes > size - offset || bytes == 0)
            continue;
        TIcoImage image;
        const std::uint8_t* payload = data + offset;
        bool ok;
        if (bytes >= 8 && payload[0] == 0x89 && payload[1] == 'P' && payload[2] == 'N' && payload[3] == 'G')
            ok = ReadPng(payload, bytes, image);
        else
            ok = ReadDibImage(payload, bytes, width, height, image);
        if (!ok)
            continue;
        if (type == 2) {
            image.HotX = U16(entry + 4);
            image.HotY = U16(entry + 6);
        }
        images.push_back(std::move(image));
    }
    if (images.empty())
        Invalid();
    return images;
}

std::size_t BestImage(const std::vector<TIcoImage>& images)
{
    std::size_t best = 0;
    auto score = [](const TIcoImage& image) {
        const int distance = std::abs(image.Width - 32) + std::abs(image.Height - 32);
        return std::make_pair(-distance, image.Bits);
    };
    for (std::size_t i = 1; i < images.size(); ++i)
        if (score(images[i]) > score(images[best]))
            best = i;
    return best;
}

std::vector<std::uint8_t> Write(const TIcoImage& image, int bits, bool cursor)
{
    if (bits != 1 && bits != 4 && bits != 8 && bits != 24 && bits != 32)
        bits = 32;
    std::vector<COLORREF> palette;
    if (bits == 1)
        palette = {0x000000, 0xFFFFFF};
    else if (bits == 4)
        palette = VgaPalette();
    else if (bits == 8) {
        std::unordered_map<std::uint32_t, bool> seen;
        for (std::uint32_t pixel : image.Pixels)
            if (seen.emplace(pixel & 0xFFFFFF, true).second)
                palette.push_back(Gdi::ToColor(pixel));
        if (palette.size() > 256)
            palette = HalftonePalette();
        palette.resize(256, 0);
    }
    const int width = image.Width, height = image.Height;
    const std::size_t colorRow = static_cast<std::size_t>(Dib::RowSize(width, bits));
    const std::size_t maskRow = static_cast<std::size_t>(Dib::RowSize(width, 1));
    const std::uint32_t imageSize = static_cast<std::uint32_t>((colorRow + maskRow) * height);
    const std::uint32_t bytes = 40 + static_cast<std::uint32_t>(palette.size()) * 4 + imageSize;
    std::vector<std::uint8_t> out;
    Put16(out, 0);
    Put16(out, cursor ? 2 : 1);
    Put16(out, 1);
    out.push_back(static_cast<std::uint8_t>(width >= 256 ? 0 : width));
    out.push_back(static_cast<std::uint8_t>(height >= 256 ? 0 : height));
    out.push_back(static_cast<std::uint8_t>(bits == 1 ? 2 : (bits == 4 ? 16 : 0)));
    out.push_back(0);
    Put16(out, cursor ? static_cast<std::uint32_t>(image.HotX) : 1);
    Put16(out, cursor ? static_cast<std::uint32_t>(image.HotY) : static_cast<std::uint32_t>(bits));
    Put32(out, bytes);
    Put32(out, 22);
    Put32(out, 40);
    Put32(out, static_cast<std::uint32_t>(width));
    Put32(out, static_cast<std::uint32_t>(height * 2));
    Put16(out, 1);
    Put16(out, static_cast<std::uint32_t>(bits));
    Put32(out, BI_RGB);
    Put32(out, imageSize);
    Put32(out, 0);
    Put32(out, 0);
    Put32(out, 0);
    Put32(out, 0);
    for (COLORREF c : palette) {
        out.push_back(GetBValue(c));
        out.push_back(GetGValue(c));
        out.push_back(GetRValue(c));
        out.push_back(0);
    }
    std::vector<std::uint8_t> row(colorRow);
    for (int y = height - 1; y >= 0; --y) {
        std::fill(row.begin(), row.end(), 0);
        const std::uint32_t* pixels = image.Pixels.data() + static_cast<std::size_t>(y) * width;
        Dib::EncodeRow(pixels, width, bits, palette, row.data());
        if (bits == 32)
            for (int x = 0; x < width; ++x)
                row[static_cast<std::size_t>(x) * 4 + 3] =
                    image.Transparent[static_cast<std::size_t>(y) * width + x] ? 0 : 0xFF;
        out.insert(out.end(), row.begin(), row.end());
    }
    std::vector<std::uint8_t> mask(maskRow);
    for (int y = height - 1; y >= 0; --y) {
        std::fill(mask.begin(), mask.end(), 0);
        for (int x = 0; x < width; ++x)
            if (image.Transparent[static_cast<std::size_t>(y) * width + x])
                mask[static_cast<std::size_t>(x / 8)] |= static_cast<std::uint8_t>(0x80 >> (x % 8));
        out.insert(out.end(), mask.begin(), mask.end());
    }
    return out;
}

std::vector<std::uint8_t> CursorFromDrawing(const std::vector<std::string>& rows)
{
    constexpr int Size = 32;
    TIcoImage image;
    image.Width = Size;
    image.Height = Size;
    image.Pixels.assign(Size * Size, 0xFF000000u);
    image.Transparent.assign(Size * Size, 1);
    for (int y = 0; y < static_cast<int>(rows.size()) && y < Size; ++y)
        for (int x = 0; x < static_cast<int>(rows[y].size()) && x < Size; ++x) {
            const char c = rows[y][x];
            if (c != '#' && c != '.')
                continue;
            image.Pixels[y * Size + x] = c == '#' ? 0xFF000000u : 0xFFFFFFFFu;
            image.Transparent[y * Size + x] = 0;
        }
    return Write(image, 1, true);
}

} // namespace IcoCodec
