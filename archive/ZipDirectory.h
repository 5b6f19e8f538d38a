#pragma once
// Reading the directory of a ZIP archive: the end record, found from the end of the file, and
// every central directory header with its name, extra field and comment. Each length read from
// the file is checked against the file before anything is allocated or read, and entries whose
// data would overlap are refused, so that a hostile directory can neither read out of bounds nor
// make one entry's bytes count many times.

#include "archive/ZipFormat.h"

#include <array>
#include <cstdint>
#include <string>
#include <vector>

// An archive file open for reading at any offset.
class TZipArchiveFile {
public:
    explicit TZipArchiveFile(const std::string& fileName);
    ~TZipArchiveFile();
    TZipArchiveFile(const TZipArchiveFile&) = delete;
    TZipArchiveFile& operator=(const TZipArchiveFile&) = delete;

    bool IsOpen() const { return FHandle >= 0; }
    int Handle() const { return FHandle; }
    std::int64_t Size() const { return FSize; }
    // Exactly size bytes at offset; false when the file has fewer there or the read fails.
    bool ReadAt(std::int64_t offset, void* buffer, std::size_t size) const;

private:
    int FHandle = -1;
    std::int64_t FSize = 0;
};

enum class TZipDirectoryFailure {
    None,
    EndRecordMissing, // no end record whose comment fits in the file: not a ZIP archive
    Seek,             // the central directory lies outside the file
    ShortHeader,      // a central header is cut short
    WrongSignature,   // a central header has the wrong signature
    ShortName,
    ShortExtra,
    ShortComment,
    MultiDisk,        // a part of an archive spanned over several disks
    Overlapping,      // two entries claim the same bytes, or an entry lies outside the entries' area
};

constexpr std::uint32_t ZipSpanSignature = 0x08074B50;
constexpr std::size_t ZipMaxCommentLength = 0xFFFF;

// The end record in file order, after its signature.
struct TZipEndRecord {
    std::uint16_t DiskNumber = 0;
    std::uint16_t DirectoryDisk = 0;
    std::uint16_t EntriesOnDisk = 0;
    std::uint16_t TotalEntries = 0;
    std::uint32_t DirectorySize = 0;
    std::uint32_t DirectoryOffset = 0;
    std::uint16_t CommentLength = 0;
};

struct TZipEndOfArchive {
    TZipEndRecord Record;
    std::int64_t EndRecordOffset = 0;
    std::int64_t ArchiveSize = 0;  // up to the end of the comment
    std::int64_t PhysicalSize = 0; // the file's size
    std::string RawComment;        // as stored, up to its first NUL
};

// Searches the last 22 bytes, then backwards over at most 65,557 bytes, for an end record whose
// record and comment fit inside the file.
TZipDirectoryFailure FindZipEndRecord(const TZipArchiveFile& file, TZipEndOfArchive& end);

// One central directory header.
struct TZipCentralEntry {
    std::array<std::uint8_t, ZipCentralHeaderSize> Raw{}; // signature included
    std::uint8_t MadeByVersion = 0;
    std::uint8_t MadeBySystem = 0;
    TZipLocalHeader Header; // version needed to extra length, as in the local header
    std::uint16_t CommentLength = 0;
    std::uint16_t StartDisk = 0;
    std::uint16_t InternalAttributes = 0;
    std::uint32_t ExternalAttributes = 0;
    std::uint32_t StoredOffset = 0; // the local header offset as written
    std::int64_t LocalOffset = 0;   // where the local header really is
    std::int64_t DataLimit = 0;     // where the next entry, or the directory, begins
    std::string Name;               // as stored
    std::string Extra;
    std::string Comment;
};

struct TZipDirectory {
    TZipEndOfArchive End;
    std::int64_t DirectoryOffset = 0; // where the central directory really begins
    // Real minus stored offsets: the length of bytes put in front of an archive whose offsets
    // were not adjusted.
    std::int64_t Shift = 0;
    // Bytes in front of the first entry (a self-extractor's stub), or of the directory when there
    // is no entry.
    std::int64_t PrefixSize = 0;
    std::vector<TZipCentralEntry> Entries;
};

TZipDirectoryFailure ReadZipDirectory(const TZipArchiveFile& file, TZipDirectory& directory);

// Where an entry's data begins, read from its local header; false when the header is not there
// or the data would run past the entry's room.
bool LocateZipEntryData(const TZipArchiveFile& file, const TZipCentralEntry& entry,
                        std::int64_t& dataOffset);
