#include "platform/gui/ShellIcons.h"

#include "platform/gui/DialogService.h"
#include "platform/gui/IcoCodec.h"
#include "platform/gui/ImageList.h"
#include "platform/gui/private/IconTable.h"
#include "platform/os/PeImage.h"
#include "platform/os/ShellFileInfo.h"
#include "platform/rtl/Exceptions.h"
#include "platform/rtl/Files.h"
#include "platform/rtl/Streams.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

namespace {

// The file's bytes; false when it cannot be opened.
bool ReadWholeFile(const std::string& fileName, std::vector<std::uint8_t>& bytes)
{
    if (fileName.empty() || !FileExists(fileName))
        return false;
    try {
        TFileStream stream(fileName, fmOpenRead);
        const std::int64_t size = stream.Size();
        // An icon file is small; a large file is read only as far as a directory could reach.
        const std::int64_t wanted = size < (64 << 20) ? size : (64 << 20);
        bytes.resize(static_cast<std::size_t>(wanted));
        if (wanted > 0)
            stream.ReadBuffer(bytes.data(), static_cast<int>(wanted));
        return true;
    } catch (const Exception&) {
        return false;
    }
}

HICON CountAsHandle(std::size_t count)
{
    return reinterpret_cast<HICON>(static_cast<std::uintptr_t>(count));
}

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

// Group icon index of a program image as an icon: its best image, the one nearest 32 x 32 with
// the most colours. Index -1 gives the number of group icons as a handle value.
HICON ProgramIcon(const TPeImage& image, UINT index)
{
    const std::vector<TPeResourceData> groups = image.ResourcesOfType(ResourceGroupIcon);
    if (index == static_cast<UINT>(-1))
        return CountAsHandle(groups.size());
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

} // namespace

HICON ExtractIconA(HINSTANCE, const char* fileName, UINT index)
{
    std::vector<std::uint8_t> bytes;
    if (fileName == nullptr || !ReadWholeFile(fileName, bytes))
        return nullptr;
    const TPeImage program(bytes.data(), bytes.size());
    if (program.IsProgram())
        return ProgramIcon(program, index);
    std::vector<TIcoImage> images;
    try {
        images = IcoCodec::Read(bytes.data(), bytes.size());
    } catch (const Exception&) {
        return index == static_cast<UINT>(-1) ? nullptr : CountAsHandle(1);
    }
    if (index == static_cast<UINT>(-1))
        return CountAsHandle(images.size());
    if (index >= images.size())
        return nullptr;
    return Icons::FromIco(images[index]);
}

HICON ExtractAssociatedIconA(HINSTANCE instance, const char* fileName, WORD* index)
{
    if (fileName == nullptr)
        return nullptr;
    const UINT wanted = index != nullptr ? *index : 0;
    HICON own = ExtractIconA(instance, fileName, wanted);
    if (reinterpret_cast<std::uintptr_t>(own) > 1)
        return own;
    InstallShellIconFactory();
    SHFILEINFOA info;
    if (SHGetFileInfoA(fileName, 0, &info, sizeof info, SHGFI_ICON) == 0)
        return nullptr;
    return info.hIcon;
}

int ShellAboutA(HWND owner, const char* application, const char* otherText, HICON)
{
    const std::string name = application != nullptr ? application : "";
    const std::string other = otherText != nullptr ? otherText : "";
    Dialogs().MessageBox(owner, name + "\r\n" + other, "About " + name, MB_OK | MB_ICONINFORMATION);
    return TRUE;
}
