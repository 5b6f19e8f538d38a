#include "archive/ZipDirectory.h"

#include "platform/rtl/Files.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

#include <sys/stat.h>
#include <unistd.h>

namespace {

// The end record and its comment, searched backwards from the end of the file.
constexpr std::int64_t ZipEndSearchSpan = ZipEndRecordSize + ZipMaxCommentLength;

TZipEndRecord DecodeEndRecord(const std::uint8_t* p)
{
    TZipEndRecord record;
    record.DiskNumber = GetLE16(p + 4);
    record.DirectoryDisk = GetLE16(p + 6);
    record.EntriesOnDisk = GetLE16(p + 8);
    record.TotalEntries = GetLE16(p + 10);
    record.DirectorySize = GetLE32(p + 12);
    record.DirectoryOffset = GetLE32(p + 16);
    record.CommentLength = GetLE16(p + 20);
    return record;
}

// A record at position p of a tail of t bytes counts only when it and its comment fit in it.
bool EndRecordFits(const std::uint8_t* tail, std::int64_t p, std::int64_t t)
{
    if (p + static_cast<std::int64_t>(ZipEndRecordSize) > t || GetLE32(tail + p) != ZipEndRecordSignature)
        return false;
    return p + static_cast<std::int64_t>(ZipEndRecordSize) + GetLE16(tail + p + 20) <= t;
}

void TakeEndRecord(const std::uint8_t* tail, std::int64_t p, std::int64_t tailStart,
                   TZipEndOfArchive& end)
{
    end.Record = DecodeEndRecord(tail + p);
    end.EndRecordOffset = tailStart + p;
    end.ArchiveSize = end.EndRecordOffset + ZipEndRecordSize + end.Record.CommentLength;
    const char* comment = reinterpret_cast<const char*>(tail + p + ZipEndRecordSize);
    end.RawComment.assign(comment, strnlen(comment, end.Record.CommentLength));
}

TZipCentralEntry DecodeCentralHeader(const std::uint8_t* p)
{
    TZipCentralEntry entry;
    std::memcpy(entry.Raw.data(), p, ZipCentralHeaderSize);
    entry.MadeByVersion = p[4];
    entry.MadeBySystem = p[5];
    entry.Header = DecodeLocalHeader(p + 6);
    entry.CommentLength = GetLE16(p + 32);
    entry.StartDisk = GetLE16(p + 34);
    entry.InternalAttributes = GetLE16(p + 36);
    entry.ExternalAttributes = GetLE32(p + 38);
    entry.StoredOffset = GetLE32(p + 42);
    return entry;
}

// Reads the central headers from a buffer holding the whole directory.
TZipDirectoryFailure DecodeCentralHeaders(const std::vector<std::uint8_t>& bytes,
                                          std::uint16_t count, std::int64_t shift,
                                          std::vector<TZipCentralEntry>& entries)
{
    entries.reserve(std::min<std::size_t>(count, bytes.size() / ZipCentralHeaderSize));
    std::size_t at = 0;
    auto take = [&](std::string& field, std::size_t length) {
        if (bytes.size() - at < length)
            return false;
        field.assign(reinterpret_cast<const char*>(bytes.data() + at), length);
        at += length;
        return true;
    };
    for (std::uint16_t n = 0; n < count; ++n) {
        if (bytes.size() - at < ZipCentralHeaderSize)
            return TZipDirectoryFailure::ShortHeader;
        if (GetLE32(bytes.data() + at) != ZipCentralHeaderSignature)
            return TZipDirectoryFailure::WrongSignature;
        TZipCentralEntry entry = DecodeCentralHeader(bytes.data() + at);
        at += ZipCentralHeaderSize;
        if (!take(entry.Name, entry.Header.NameLength))
            return TZipDirectoryFailure::ShortName;
        if (!take(entry.Extra, entry.Header.ExtraLength))
            return TZipDirectoryFailure::ShortExtra;
        if (!take(entry.Comment, entry.CommentLength))
            return TZipDirectoryFailure::ShortComment;
        entry.LocalOffset = static_cast<std::int64_t>(entry.StoredOffset) + shift;
        entries.push_back(std::move(entry));
    }
    return TZipDirectoryFailure::None;
}

// Each entry's local header and data, at their smallest, must end before the next entry begins,
// and the last before the directory: overlapping entries are how compression bombs multiply.
bool SetDataLimits(std::vector<TZipCentralEntry>& entries, std::int64_t directoryOffset)
{
    std::vector<TZipCentralEntry*> byOffset;
    byOffset.reserve(entries.size());
    for (TZipCentralEntry& entry : entries)
        byOffset.push_back(&entry);
    std::sort(byOffset.begin(), byOffset.end(),
              [](const TZipCentralEntry* a, const TZipCentralEntry* b) { return a->LocalOffset < b->LocalOffset; });
    for (std::size_t i = 0; i < byOffset.size(); ++i) {
        TZipCentralEntry& entry = *byOffset[i];
        entry.DataLimit = i + 1 < byOffset.size() ? byOffset[i + 1]->LocalOffset : directoryOffset;
        const std::int64_t smallestEnd = entry.LocalOffset + static_cast<std::int64_t>(ZipLocalHeaderSize) +
                                         entry.Header.NameLength + entry.Header.CompressedSize;
        if (entry.LocalOffset < 0 || smallestEnd > entry.DataLimit)
            return false;
    }
    return true;
}

} // namespace

TZipArchiveFile::TZipArchiveFile(const std::string& fileName)
{
    const int handle = FileOpen(fileName, fmOpenRead | fmShareDenyWrite);
    if (handle < 0)
        return;
    struct stat info {};
    if (fstat(handle, &info) != 0 || !S_ISREG(info.st_mode)) {
        FileClose(handle);
        return;
    }
    FHandle = handle;
    FSize = info.st_size;
}

TZipArchiveFile::~TZipArchiveFile()
{
    if (FHandle >= 0)
        FileClose(FHandle);
}

bool TZipArchiveFile::ReadAt(std::int64_t offset, void* buffer, std::size_t size) const
{
    if (offset < 0 || offset > FSize || static_cast<std::uint64_t>(FSize - offset) < size)
        return false;
    auto* out = static_cast<char*>(buffer);
    while (size > 0) {
        const ssize_t got = pread(FHandle, out, size, offset);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            return false;
        out += got;
        offset += got;
        size -= static_cast<std::size_t>(got);
    }
    return true;
}

TZipDirectoryFailure FindZipEndRecord(const TZipArchiveFile& file, TZipEndOfArchive& end)
{
    end = TZipEndOfArchive();
    end.PhysicalSize = file.Size();
    end.ArchiveSize = file.Size();
    const std::int64_t size = file.Size();
    if (size < static_cast<std::int64_t>(ZipEndRecordSize))
        return TZipDirectoryFailure::EndRecordMissing;
    // Most archives have no comment: the record is the last 22 bytes.
    std::uint8_t last[ZipEndRecordSize];
    if (!file.ReadAt(size - ZipEndRecordSize, last, sizeof last))
        return TZipDirectoryFailure::Seek;
    if (EndRecordFits(last, 0, ZipEndRecordSize)) {
        TakeEndRecord(last, 0, size - ZipEndRecordSize, end);
        return TZipDirectoryFailure::None;
    }
    const std::int64_t t = std::min(size, ZipEndSearchSpan);
    std::vector<std::uint8_t> tail(static_cast<std::size_t>(t));
    if (!file.ReadAt(size - t, tail.data(), tail.size()))
        return TZipDirectoryFailure::Seek;
    for (std::int64_t p = t - ZipEndRecordSize; p >= 0; --p) {
        if (EndRecordFits(tail.data(), p, t)) {
            TakeEndRecord(tail.data(), p, size - t, end);
            return TZipDirectoryFailure::None;
        }
    }
    return TZipDirectoryFailure::EndRecordMissing;
}

TZipDirectoryFailure ReadZipDirectory(const TZipArchiveFile& file, TZipDirectory& directory)
{
    directory = TZipDirectory();
    TZipDirectoryFailure failure = FindZipEndRecord(file, directory.End);
    if (failure != TZipDirectoryFailure::None)
        return failure;
    const TZipEndRecord& record = directory.End.Record;
    if (record.DiskNumber != 0 || record.DirectoryDisk != 0)
        return TZipDirectoryFailure::MultiDisk;
    const std::int64_t start = directory.End.EndRecordOffset - record.DirectorySize;
    if (start < 0)
        return TZipDirectoryFailure::Seek;
    directory.DirectoryOffset = start;
    directory.Shift = start - static_cast<std::int64_t>(record.DirectoryOffset);
    // The directory lies inside the file (checked above), so this never allocates beyond it.
    std::vector<std::uint8_t> bytes(record.DirectorySize);
    if (!file.ReadAt(start, bytes.data(), bytes.size()))
        return TZipDirectoryFailure::Seek;
    failure = DecodeCentralHeaders(bytes, record.TotalEntries, directory.Shift, directory.Entries);
    if (failure != TZipDirectoryFailure::None)
        return failure;
    if (!SetDataLimits(directory.Entries, start))
        return TZipDirectoryFailure::Overlapping;
    directory.PrefixSize = start;
    for (const TZipCentralEntry& entry : directory.Entries)
        directory.PrefixSize = std::min(directory.PrefixSize, entry.LocalOffset);
    return TZipDirectoryFailure::None;
}

bool LocateZipEntryData(const TZipArchiveFile& file, const TZipCentralEntry& entry,
                        std::int64_t& dataOffset)
{
    std::uint8_t local[ZipLocalHeaderSize];
    if (!file.ReadAt(entry.LocalOffset, local, sizeof local) || GetLE32(local) != ZipLocalHeaderSignature)
        return false;
    const TZipLocalHeader header = DecodeLocalHeader(local + 4);
    dataOffset = entry.LocalOffset + static_cast<std::int64_t>(ZipLocalHeaderSize) + header.NameLength +
                 header.ExtraLength;
    return dataOffset + static_cast<std::int64_t>(entry.Header.CompressedSize) <= entry.DataLimit;
}
