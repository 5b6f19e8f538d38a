#include "platform/gui/ExtractIcon.h"

#include "platform/gui/IcoCodec.h"
#include "platform/gui/private/IconTable.h"
#include "platform/os/PeImage.h"
#include "platform/rtl/Files.h"

#include <algorithm>
#include <cstring>
#include <fstream>
#include <iterator>

namespace {

constexpr std::uint16_t ResourceIcon = 3;
constexpr std::uint16_t ResourceGroupIcon = 14;
constexpr std::size_t GroupHeaderSize = 6;
constexpr std::size_t GroupEntrySize = 14;
constexpr std::size_t IcoEntrySize = 16;

void PutLE16(std::vector<std::uint8_t>& bytes, std::size_t at, std::uint16_t value)
{
    bytes[at] = static_cast<std::uint8_t>(value);
    bytes[at + 1] = static_cast<std::uint8_t>(value >> 8);
}

void PutLE32(std::vector<std::uint8_t>& bytes, std::size_t at, std::uint32_t value)
{
    PutLE16(bytes, at, static_cast<std::uint16_t>(value));
    PutLE16(bytes, at + 2, static_cast<std::uint16_t>(value >> 16));
}

// An icon file made of the group's images: each group entry is an icon directory entry whose last
// field names the RT_ICON resource instead of giving an offset.
std::vector<std::uint8_t> IconFileOfGroup(const TPeImage& image, const std::uint8_t* group, std::size_t size)
{
    std::vector<std::uint8_t> file;
    if (size < GroupHeaderSize)
        return file;
    const std::size_t declared = group[4] | group[5] << 8;
    const std::size_t count = std::min(declared, (size - GroupHeaderSize) / GroupEntrySize);
    std::vector<std::pair<const std::uint8_t*, TPeResourceData>> images;
    std::vector<const std::uint8_t*> entries;
    for (std::size_t i = 0; i < count; ++i) {
        const std::uint8_t* entry = group + GroupHeaderSize + i * GroupEntrySize;
        TPeResourceData data;
        if (!image.FindResource(ResourceIcon, static_cast<std::uint16_t>(entry[12] | entry[13] << 8), data))
            continue;
        if (!image.ResourceBytes(data))
            continue;
        entries.push_back(entry);
        images.push_back({image.ResourceBytes(data), data});
    }
    if (images.empty())
        return file;
    file.assign(GroupHeaderSize + IcoEntrySize * images.size(), 0);
    PutLE16(file, 2, 1);
    PutLE16(file, 4, static_cast<std::uint16_t>(images.size()));
    for (std::size_t i = 0; i < images.size(); ++i) {
        const std::size_t at = GroupHeaderSize + IcoEntrySize * i;
        std::memcpy(file.data() + at, entries[i], 8);
        PutLE32(file, at + 8, images[i].second.Size);
        PutLE32(file, at + 12, static_cast<std::uint32_t>(file.size()));
        file.insert(file.end(), images[i].first, images[i].first + images[i].second.Size);
    }
    return file;
}

} // namespace

HICON ExtractIconA(HINSTANCE, const char* fileName, UINT index)
{
    if (!fileName)
        return nullptr;
    std::ifstream stream(ResolvePath(fileName), std::ios::binary);
    if (!stream)
        return nullptr;
    const std::vector<std::uint8_t> bytes{std::istreambuf_iterator<char>(stream), std::istreambuf_iterator<char>()};
    const TPeImage image(bytes.data(), bytes.size());
    if (!image.IsProgram())
        return reinterpret_cast<HICON>(1);
    const std::vector<TPeResourceData> groups = image.ResourcesOfType(ResourceGroupIcon);
    if (index >= groups.size() || !image.ResourceBytes(groups[index]))
        return nullptr;
    const std::vector<std::uint8_t> file =
        IconFileOfGroup(image, image.ResourceBytes(groups[index]), groups[index].Size);
    if (file.empty())
        return nullptr;
    try {
        const std::vector<TIcoImage> images = IcoCodec::Read(file.data(), file.size());
        if (images.empty())
            return nullptr;
        return Icons::FromIco(images[IcoCodec::BestImage(images)]);
    } catch (...) {
        return nullptr;
    }
}
