#pragma once
// A reader of a Windows program image held in memory: its headers, section table, data
// directories and resource tree. The image is untrusted: every offset and length is checked
// against the bytes that are there, and a resource tree that loops or goes deeper than three
// levels (type, name, language) is refused.

#include <cstddef>
#include <cstdint>
#include <set>
#include <string>
#include <vector>

struct TPeSection {
    std::string Name; // up to 8 characters
    std::uint32_t VirtualAddress = 0;
    std::uint32_t VirtualSize = 0;
    std::uint32_t RawOffset = 0;
    std::uint32_t RawSize = 0;
};

struct TPeDataDirectory {
    std::uint32_t VirtualAddress = 0;
    std::uint32_t Size = 0;
};

// A resource's data: where it is in memory and, when the whole of it lies in the image's
// bytes, where it is in the file.
struct TPeResourceData {
    std::uint32_t Rva = 0;
    std::uint32_t Size = 0;
    std::uint32_t FileOffset = 0;
    bool InFile = false;
};

struct TPeResourceEntry {
    bool Named = false;
    std::uint16_t Id = 0;
    std::u16string Name;
    int Directory = -1; // index of the sub-directory, or -1 for a data entry
    TPeResourceData Data;
};

struct TPeResourceDirectory {
    int Level = 0; // 0 types, 1 names, 2 languages
    std::vector<TPeResourceEntry> Entries;
};

enum class TPeImageStatus {
    Ok,
    NotProgram,    // no "MZ", no "PE\0\0" where the header says, or headers cut short
    NoResources,   // a program without a resource directory, or one outside every section
    BadResources,  // a resource tree that loops, goes too deep or lies outside the image
};

class TPeImage {
public:
    // Reads the image; the bytes must live as long as the reader.
    TPeImage(const std::uint8_t* data, std::size_t size);

    TPeImageStatus Status() const { return FStatus; }
    bool IsProgram() const { return FStatus != TPeImageStatus::NotProgram; }
    bool Is64() const { return FIs64; }
    std::uint32_t HeaderOffset() const { return FHeaderOffset; } // of "PE\0\0"
    const std::vector<TPeSection>& Sections() const { return FSections; }
    const std::vector<TPeDataDirectory>& DataDirectories() const { return FDirectories; }
    const TPeSection* FindSection(const std::string& name) const;
    // The section whose address range holds rva, or null.
    const TPeSection* SectionOf(std::uint32_t rva) const;
    // The file offset of size bytes at rva; false when they do not lie wholly in the image's bytes.
    bool RvaToOffset(std::uint32_t rva, std::uint32_t size, std::uint32_t& offset) const;

    // The resource tree; directory 0 is the root (empty when there is none).
    const std::vector<TPeResourceDirectory>& ResourceDirectories() const { return FResources; }
    const TPeSection* ResourceSection() const { return FResourceSection; }
    // The bytes of a resource whose data lies in the image, else null.
    const std::uint8_t* ResourceBytes(const TPeResourceData& data) const;
    // The data of the first language of the resource type/id, or false.
    bool FindResource(std::uint16_t type, std::uint16_t id, TPeResourceData& data) const;
    // The data entries of the first language of every resource of a type, in directory order.
    std::vector<TPeResourceData> ResourcesOfType(std::uint16_t type) const;

    static constexpr int ResourceDirectoryIndex = 2;

private:
    bool ReadHeaders();
    void ReadResources();
    int ReadResourceDirectory(std::uint32_t offset, int level, std::set<std::uint32_t>& visited);
    bool Fits(std::uint64_t offset, std::uint64_t size) const { return offset <= FSize && size <= FSize - offset; }
    std::uint16_t Get16(std::size_t offset) const;
    std::uint32_t Get32(std::size_t offset) const;
    const TPeResourceEntry* FirstData(const TPeResourceEntry& entry) const;

    const std::uint8_t* FData;
    std::size_t FSize;
    TPeImageStatus FStatus = TPeImageStatus::NotProgram;
    bool FIs64 = false;
    std::uint32_t FHeaderOffset = 0;
    std::vector<TPeSection> FSections;
    std::vector<TPeDataDirectory> FDirectories;
    std::vector<TPeResourceDirectory> FResources;
    const TPeSection* FResourceSection = nullptr;
    std::uint32_t FResourceBase = 0;  // file offset of the resource directory
    std::uint32_t FResourceLimit = 0; // bytes of the resource section available from there
    std::uint64_t FEntriesRead = 0;
};
