#include "platform/os/PeImage.h"

#include <algorithm>
#include <set>

namespace {

constexpr std::uint32_t DosHeaderSize = 64;
constexpr std::uint32_t NewHeaderOffsetField = 60;
constexpr std::uint32_t FileHeaderSize = 20;
constexpr std::uint32_t SectionHeaderSize = 40;
constexpr std::uint16_t Pe32Magic = 0x10B;
constexpr std::uint16_t Pe32PlusMagic = 0x20B;
constexpr std::uint32_t ResourceDirectorySize = 16;
constexpr std::uint32_t ResourceEntrySize = 8;
constexpr std::uint32_t ResourceDataEntrySize = 16;
constexpr std::uint32_t HighBit = 0x80000000u;
constexpr int ResourceLevels = 3;

} // namespace

TPeImage::TPeImage(const std::uint8_t* data, std::size_t size) : FData(data), FSize(data ? size : 0)
{
    if (!ReadHeaders())
        return;
    FStatus = TPeImageStatus::NoResources;
    ReadResources();
}

std::uint16_t TPeImage::Get16(std::size_t offset) const
{
    return static_cast<std::uint16_t>(FData[offset] | FData[offset + 1] << 8);
}

std::uint32_t TPeImage::Get32(std::size_t offset) const
{
    return static_cast<std::uint32_t>(Get16(offset)) | static_cast<std::uint32_t>(Get16(offset + 2)) << 16;
}

bool TPeImage::ReadHeaders()
{
    if (!Fits(0, DosHeaderSize) || FData[0] != 'M' || FData[1] != 'Z')
        return false;
    const std::uint32_t pe = Get32(NewHeaderOffsetField);
    if (!Fits(pe, 4 + FileHeaderSize) || FData[pe] != 'P' || FData[pe + 1] != 'E' || FData[pe + 2] != 0 ||
        FData[pe + 3] != 0)
        return false;
    FHeaderOffset = pe;
    const std::uint32_t fileHeader = pe + 4;
    const std::uint16_t sectionCount = Get16(fileHeader + 2);
    const std::uint16_t optionalSize = Get16(fileHeader + 16);
    const std::uint32_t optional = fileHeader + FileHeaderSize;
    if (optionalSize < 2 || !Fits(optional, optionalSize))
        return false;
    const std::uint16_t magic = Get16(optional);
    if (magic != Pe32Magic && magic != Pe32PlusMagic)
        return false;
    FIs64 = magic == Pe32PlusMagic;
    const std::uint32_t countField = FIs64 ? 108 : 92;
    const std::uint32_t directories = countField + 4;
    if (optionalSize >= directories) {
        const std::uint32_t room = (optionalSize - directories) / 8;
        const std::uint32_t count = std::min(Get32(optional + countField), room);
        for (std::uint32_t i = 0; i < count; ++i)
            FDirectories.push_back({Get32(optional + directories + 8 * i), Get32(optional + directories + 8 * i + 4)});
    }
    // The section table follows the optional header, whatever its size says it is.
    const std::uint64_t table = static_cast<std::uint64_t>(optional) + optionalSize;
    if (!Fits(table, static_cast<std::uint64_t>(sectionCount) * SectionHeaderSize))
        return false;
    for (std::uint16_t i = 0; i < sectionCount; ++i) {
        const std::size_t at = static_cast<std::size_t>(table) + i * SectionHeaderSize;
        TPeSection section;
        const char* name = reinterpret_cast<const char*>(FData + at);
        section.Name.assign(name, static_cast<std::size_t>(std::find(name, name + 8, '\0') - name));
        section.VirtualSize = Get32(at + 8);
        section.VirtualAddress = Get32(at + 12);
        section.RawSize = Get32(at + 16);
        section.RawOffset = Get32(at + 20);
        FSections.push_back(section);
    }
    FStatus = TPeImageStatus::Ok;
    return true;
}

const TPeSection* TPeImage::FindSection(const std::string& name) const
{
    for (const TPeSection& section : FSections)
        if (section.Name == name)
            return &section;
    return nullptr;
}

const TPeSection* TPeImage::SectionOf(std::uint32_t rva) const
{
    for (const TPeSection& section : FSections) {
        const std::uint64_t extent = std::max(section.VirtualSize, section.RawSize);
        if (rva >= section.VirtualAddress && rva - static_cast<std::uint64_t>(section.VirtualAddress) < extent)
            return &section;
    }
    return nullptr;
}

bool TPeImage::RvaToOffset(std::uint32_t rva, std::uint32_t size, std::uint32_t& offset) const
{
    const TPeSection* section = SectionOf(rva);
    if (!section)
        return false;
    const std::uint64_t delta = rva - section->VirtualAddress;
    if (delta + size > section->RawSize)
        return false;
    const std::uint64_t at = section->RawOffset + delta;
    if (!Fits(at, size))
        return false;
    offset = static_cast<std::uint32_t>(at);
    return true;
}

void TPeImage::ReadResources()
{
    if (FDirectories.size() <= ResourceDirectoryIndex)
        return;
    const std::uint32_t rva = FDirectories[ResourceDirectoryIndex].VirtualAddress;
    if (rva == 0)
        return;
    FResourceSection = SectionOf(rva);
    std::uint32_t base = 0;
    if (!FResourceSection || !RvaToOffset(rva, ResourceDirectorySize, base)) {
        FResourceSection = nullptr;
        return;
    }
    FResourceBase = base;
    const std::uint64_t sectionEnd =
        std::min<std::uint64_t>(static_cast<std::uint64_t>(FResourceSection->RawOffset) + FResourceSection->RawSize, FSize);
    FResourceLimit = static_cast<std::uint32_t>(sectionEnd - base);
    std::set<std::uint32_t> visited;
    if (ReadResourceDirectory(0, 0, visited) < 0) {
        FResources.clear();
        FStatus = TPeImageStatus::BadResources;
        return;
    }
    FStatus = TPeImageStatus::Ok;
}

// Reads the directory at offset (from the start of the resource directory) and everything below
// it; its index, or -1 when the tree is malformed. A directory met twice is a loop.
int TPeImage::ReadResourceDirectory(std::uint32_t offset, int level, std::set<std::uint32_t>& visited)
{
    if (level >= ResourceLevels || !visited.insert(offset).second)
        return -1;
    if (static_cast<std::uint64_t>(offset) + ResourceDirectorySize > FResourceLimit)
        return -1;
    const std::size_t at = FResourceBase + offset;
    const std::uint32_t count = static_cast<std::uint32_t>(Get16(at + 12)) + Get16(at + 14);
    // A tree whose directories share their entries could otherwise make a small image read
    // entries without end: the whole tree holds no more entries than its bytes can.
    FEntriesRead += count;
    if (static_cast<std::uint64_t>(FEntriesRead) * ResourceEntrySize > FResourceLimit)
        return -1;
    if (static_cast<std::uint64_t>(offset) + ResourceDirectorySize + static_cast<std::uint64_t>(count) * ResourceEntrySize >
        FResourceLimit)
        return -1;
    const int index = static_cast<int>(FResources.size());
    FResources.push_back({level, {}});
    for (std::uint32_t i = 0; i < count; ++i) {
        const std::size_t entryAt = at + ResourceDirectorySize + i * ResourceEntrySize;
        const std::uint32_t name = Get32(entryAt);
        const std::uint32_t target = Get32(entryAt + 4);
        TPeResourceEntry entry;
        entry.Named = (name & HighBit) != 0;
        if (entry.Named) {
            const std::uint32_t nameOffset = name & ~HighBit;
            if (static_cast<std::uint64_t>(nameOffset) + 2 > FResourceLimit)
                return -1;
            const std::uint16_t length = Get16(FResourceBase + nameOffset);
            if (static_cast<std::uint64_t>(nameOffset) + 2 + 2u * length > FResourceLimit)
                return -1;
            for (std::uint16_t c = 0; c < length; ++c)
                entry.Name.push_back(static_cast<char16_t>(Get16(FResourceBase + nameOffset + 2 + 2u * c)));
        } else {
            entry.Id = static_cast<std::uint16_t>(name);
        }
        if (target & HighBit) {
            entry.Directory = ReadResourceDirectory(target & ~HighBit, level + 1, visited);
            if (entry.Directory < 0)
                return -1;
        } else {
            if (static_cast<std::uint64_t>(target) + ResourceDataEntrySize > FResourceLimit)
                return -1;
            entry.Data.Rva = Get32(FResourceBase + target);
            entry.Data.Size = Get32(FResourceBase + target + 4);
            entry.Data.InFile = RvaToOffset(entry.Data.Rva, entry.Data.Size, entry.Data.FileOffset);
        }
        FResources[static_cast<std::size_t>(index)].Entries.push_back(std::move(entry));
    }
    return index;
}

const std::uint8_t* TPeImage::ResourceBytes(const TPeResourceData& data) const
{
    if (!data.InFile || !Fits(data.FileOffset, data.Size))
        return nullptr;
    return FData + data.FileOffset;
}

const TPeResourceEntry* TPeImage::FirstData(const TPeResourceEntry& entry) const
{
    const TPeResourceEntry* at = &entry;
    while (at->Directory >= 0) {
        const TPeResourceDirectory& directory = FResources[static_cast<std::size_t>(at->Directory)];
        if (directory.Entries.empty())
            return nullptr;
        at = &directory.Entries.front();
    }
    return at;
}

std::vector<TPeResourceData> TPeImage::ResourcesOfType(std::uint16_t type) const
{
    std::vector<TPeResourceData> found;
    if (FResources.empty())
        return found;
    for (const TPeResourceEntry& typeEntry : FResources.front().Entries) {
        if (typeEntry.Named || typeEntry.Id != type || typeEntry.Directory < 0)
            continue;
        for (const TPeResourceEntry& entry : FResources[static_cast<std::size_t>(typeEntry.Directory)].Entries)
            if (const TPeResourceEntry* data = FirstData(entry))
                found.push_back(data->Data);
    }
    return found;
}

bool TPeImage::FindResource(std::uint16_t type, std::uint16_t id, TPeResourceData& data) const
{
    if (FResources.empty())
        return false;
    for (const TPeResourceEntry& typeEntry : FResources.front().Entries) {
        if (typeEntry.Named || typeEntry.Id != type || typeEntry.Directory < 0)
            continue;
        for (const TPeResourceEntry& entry : FResources[static_cast<std::size_t>(typeEntry.Directory)].Entries) {
            if (entry.Named || entry.Id != id)
                continue;
            if (const TPeResourceEntry* found = FirstData(entry)) {
                data = found->Data;
                return true;
            }
        }
    }
    return false;
}
