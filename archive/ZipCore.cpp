#include "archive/ZipCore.h"

#include "archive/UnzCore.h"
#include "archive/ZipCoreCallback.h"
#include "archive/ZipCrypt.h"
#include "archive/ZipDirectory.h"
#include "archive/ZipNames.h"
#include "platform/os/Libraries.h"
#include "platform/os/TempFiles.h"
#include "platform/rtl/Codepage.h"
#include "platform/rtl/Files.h"
#include "platform/rtl/Streams.h"
#include "platform/rtl/TextUtils.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>
#include <map>
#include <memory>
#include <new>
#include <optional>
#include <set>
#include <vector>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zlib.h>

using namespace ZipCoreApi;

namespace {

constexpr std::size_t ZcrReadChunk = 256 * 1024;
constexpr std::size_t ZcrOutputBufferSize = 1024 * 1024;
constexpr std::int64_t ZcrLargestSize = 0xFFFFFFFFll; // no ZIP64
constexpr std::size_t ZcrMostEntries = 0xFFFF;
constexpr std::uint16_t ZcrVersionStored = 10;
constexpr std::uint16_t ZcrVersionDeflated = 20;
constexpr std::uint32_t ZcrDescriptorSignature = 0x08074B50;

// Ends the whole call: the old archive stays as it was.
struct TZcrAbort {
    std::uint32_t Code;
    std::string Text;
};

// Leaves one file out: it could not be read.
struct TZcrUnreadable {};

struct TZcrIdentity {
    dev_t Device = 0;
    ino_t Inode = 0;
};

bool SameFile(const TZcrIdentity& identity, const struct stat& info)
{
    return identity.Device == info.st_dev && identity.Inode == info.st_ino;
}

// The key under which a name is compared with the names of the archive: without regard to case,
// or byte for byte when the name has characters that Windows-1252 lacks.
std::string EntryKey(const std::string& stored, bool utf8, std::string& ansiName)
{
    bool lost = false;
    ansiName = ZipNameToAnsi(stored, utf8 ? ZipFlagUtf8 : 0, ZipHostFat, 20, TZipCodePage::Automatic, lost);
    return lost ? "\x01" + stored : AnsiUpperCase(ZipForwardSlashes(ansiName));
}

// The new archive: a temporary file beside the archive, or in the temporary folder, written
// through a buffer; earlier bytes can be patched and the end cut off.
class TZcrOutput {
public:
    TZcrOutput(const std::string& archiveName, const std::string& tempDir)
        : FArchiveName(archiveName), FBuffer(ZcrOutputBufferSize)
    {
        try {
            if (tempDir.empty()) {
                FBeside = std::make_unique<TAtomicFileStream>(archiveName);
                FHandle = FBeside->Handle();
            } else {
                FTempName = CreateTempFileWithSuffix(tempDir, "zip", ".tmp");
                if (!FTempName.empty())
                    FHandle = FileOpen(FTempName, fmOpenReadWrite);
            }
        } catch (const Exception&) {
            FHandle = -1;
        }
        struct stat info {};
        if (FHandle < 0 || fstat(FHandle, &info) != 0)
            Fail();
        FIdentity = {info.st_dev, info.st_ino};
    }

    ~TZcrOutput()
    {
        if (!FTempName.empty()) {
            if (FHandle >= 0)
                FileClose(FHandle);
            unlink(ResolvePath(FTempName).c_str());
        }
    }

    TZcrOutput(const TZcrOutput&) = delete;
    TZcrOutput& operator=(const TZcrOutput&) = delete;

    const TZcrIdentity& Identity() const { return FIdentity; }
    std::int64_t Position() const { return FPosition; }

    void Write(const void* data, std::size_t size)
    {
        const auto* bytes = static_cast<const std::uint8_t*>(data);
        while (size > 0) {
            if (FCount == FBuffer.size())
                Flush();
            const std::size_t take = std::min(size, FBuffer.size() - FCount);
            std::memcpy(FBuffer.data() + FCount, bytes, take);
            FCount += take;
            FPosition += static_cast<std::int64_t>(take);
            bytes += take;
            size -= take;
        }
    }

    void Patch(std::int64_t offset, const void* data, std::size_t size)
    {
        Flush();
        if (pwrite(FHandle, data, size, offset) != static_cast<ssize_t>(size))
            Fail();
    }

    void Truncate(std::int64_t offset)
    {
        Flush();
        if (ftruncate(FHandle, offset) != 0 || lseek(FHandle, offset, SEEK_SET) != offset)
            Fail();
        FPosition = offset;
    }

    // Flushes the new archive to the disk and puts it in the old one's place.
    void Commit()
    {
        Flush();
        try {
            if (FBeside) {
                FBeside->Commit(TAtomicCommit::Flushed);
                return;
            }
            if (fsync(FHandle) != 0)
                Fail();
            FileClose(FHandle);
            FHandle = -1;
            const std::string target = ResolvePath(FArchiveName);
            const std::string temp = ResolvePath(FTempName);
            if (rename(temp.c_str(), target.c_str()) == 0) {
                FTempName.clear();
                ForgetCachedFolder(target);
                SyncFileSystemOf(FArchiveName);
                return;
            }
            if (errno != EXDEV)
                Fail();
            CopyBesideTheArchive();
        } catch (const Exception&) {
            Fail();
        }
    }

private:
    void Flush()
    {
        std::size_t done = 0;
        while (done < FCount) {
            const ssize_t written = write(FHandle, FBuffer.data() + done, FCount - done);
            if (written < 0 && errno == EINTR)
                continue;
            if (written <= 0) {
                FCount = 0;
                Fail();
            }
            done += static_cast<std::size_t>(written);
        }
        FCount = 0;
    }

    // The temporary folder lies on another file system: the archive is copied to a temporary
    // name beside the old one first, and that is renamed over it.
    void CopyBesideTheArchive()
    {
        TAtomicFileStream copy(FArchiveName);
        const int source = FileOpen(FTempName, fmOpenRead);
        if (source < 0)
            Fail();
        std::vector<std::uint8_t> chunk(ZcrReadChunk);
        int got = 0;
        while ((got = FileRead(source, chunk.data(), static_cast<int>(chunk.size()))) > 0)
            copy.WriteBuffer(chunk.data(), got);
        FileClose(source);
        if (got < 0)
            Fail();
        copy.Commit(TAtomicCommit::Flushed);
    }

    [[noreturn]] void Fail() { throw TZcrAbort{zceCannotWriteArchive, ZipCoreTexts::CannotWriteArchive(FArchiveName)}; }

    std::string FArchiveName;
    std::unique_ptr<TAtomicFileStream> FBeside;
    std::string FTempName;
    int FHandle = -1;
    TZcrIdentity FIdentity;
    std::vector<std::uint8_t> FBuffer;
    std::size_t FCount = 0;
    std::int64_t FPosition = 0;
};

// A file (or a folder entry) to store.
struct TZcrSource {
    std::string NativePath;
    TZipStoredName Stored;
    std::string AnsiName; // the stored name in Windows-1252, for messages and the callback
    std::string Key;
    bool Folder = false;
    std::int64_t Size = 0;
    std::time_t Modified = 0;
    mode_t Mode = 0;
    bool Encrypt = false;
    std::string Password; // this request's own
};

void SetStoredName(TZcrSource& source, const TZipStoredName& stored)
{
    source.Stored = stored;
    source.Key = EntryKey(stored.Bytes, stored.Utf8, source.AnsiName);
}

bool HasWildcard(const std::string& text)
{
    return text.find_first_of("*?") != std::string::npos;
}

std::vector<std::string> NativeParts(const std::string& path)
{
    std::vector<std::string> parts;
    std::string::size_type start = 0;
    while (start <= path.size()) {
        std::string::size_type end = path.find('/', start);
        if (end == std::string::npos)
            end = path.size();
        if (end > start)
            parts.push_back(path.substr(start, end - start));
        start = end + 1;
    }
    return parts;
}

// The stored form of folder relative to base (both native, absolute): "../" parts that would
// lead out of the base are dropped.
std::string StoredFolder(const std::string& folder, const std::string& base)
{
    const std::vector<std::string> folderParts = NativeParts(folder);
    const std::vector<std::string> baseParts = NativeParts(base);
    std::size_t common = 0;
    while (common < folderParts.size() && common < baseParts.size() && folderParts[common] == baseParts[common])
        ++common;
    std::string relative;
    for (std::size_t i = common; i < folderParts.size(); ++i)
        relative += folderParts[i] + "/";
    return relative;
}

bool IsHiddenName(const std::string& storedUtf8)
{
    for (const std::string& part : NativeParts(storedUtf8))
        if (part[0] == '.')
            return true;
    return false;
}

// Finds the files the specifications name.
class TZcrCollector {
public:
    TZcrCollector(const TZipCmdRecord& record, TZipCoreCallback& callback, std::vector<TZcrIdentity> leftOut)
        : FRecord(record), FCallback(callback), FLeftOut(std::move(leftOut))
    {
        if (record.Excludes != nullptr)
            for (std::uint32_t i = 0; i < record.ExcludeCount; ++i)
                if (record.Excludes[i] != nullptr)
                    FExcludes.push_back(ZipForwardSlashes(record.Excludes[i]));
    }

    std::vector<TZcrSource> Collect()
    {
        if (FRecord.FileSpecs != nullptr)
            for (std::uint32_t i = 0; i < FRecord.FileSpecCount; ++i)
                if (FRecord.FileSpecs[i].FileSpec != nullptr)
                    CollectSpec(FRecord.FileSpecs[i]);
        return std::move(FSources);
    }

private:
    void CollectSpec(const TZipFileSpec& spec)
    {
        const std::string root = spec.RootDir && spec.RootDir[0] ? spec.RootDir : GetCurrentDir();
        const std::string baseAnsi = IncludeTrailingPathDelimiter(ExpandFileName(ZipForwardSlashes(root)));
        const std::string text = ZipForwardSlashes(spec.FileSpec);
        const bool absolute = !text.empty() && (text[0] == '/' || (text.size() >= 2 && text[1] == ':'));
        const std::string full = absolute ? text : baseAnsi + text;
        std::string folder = ExtractFilePath(full);
        std::string mask = ExtractFileName(full);
        if (text.empty() || text == "." || text == "./" || mask == "." || mask.empty()) {
            folder = full;
            mask = "*";
        } else if (!HasWildcard(mask)) {
            struct stat info {};
            if (lstat(ResolvePath(ExpandFileName(full)).c_str(), &info) == 0 && S_ISDIR(info.st_mode)) {
                folder = full;
                mask = "*";
            }
        }
        const std::string nativeBase = ResolvePath(baseAnsi);
        const std::string nativeFolder = ResolvePath(IncludeTrailingPathDelimiter(ExpandFileName(folder)));
        if (nativeBase.empty() || nativeFolder.empty())
            return;
        Walk(nativeFolder, StoredFolder(nativeFolder, nativeBase), mask, spec.Recurse != 0, spec);
    }

    void Walk(const std::string& nativeFolder, const std::string& storedPrefix, const std::string& mask,
              bool recurse, const TZipFileSpec& spec)
    {
        DIR* folder = opendir(nativeFolder.c_str());
        if (folder == nullptr)
            return;
        std::vector<std::string> names;
        while (dirent* entry = readdir(folder)) {
            const std::string name = entry->d_name;
            if (name != "." && name != "..")
                names.push_back(name);
        }
        closedir(folder);
        std::sort(names.begin(), names.end());
        const std::string prefix = IncludeTrailingPathDelimiter(nativeFolder);
        for (const std::string& name : names) {
            const std::string path = prefix + name;
            struct stat info {};
            if (lstat(path.c_str(), &info) != 0)
                continue;
            const std::string stored = storedPrefix + name;
            if (S_ISDIR(info.st_mode)) {
                if (recurse && (FRecord.AddHiddenFiles || !IsHiddenName(stored))) {
                    if (!FRecord.NoDirEntries)
                        Consider(path, stored + "/", info, spec);
                    Walk(path, stored + "/", mask, recurse, spec);
                }
                continue;
            }
            if (MatchesMask(Utf8ToAnsi(name), mask))
                Consider(path, stored, info, spec);
        }
    }

    void Consider(const std::string& path, const std::string& storedUtf8, const struct stat& info,
                  const TZipFileSpec& spec)
    {
        if (!FRecord.AddHiddenFiles && IsHiddenName(storedUtf8))
            return;
        for (const TZcrIdentity& identity : FLeftOut)
            if (SameFile(identity, info))
                return; // the archive itself, or the new one
        const bool folder = S_ISDIR(info.st_mode);
        if (!folder && (!S_ISREG(info.st_mode) || info.st_size > ZcrLargestSize)) {
            FCallback.Message(zceCannotRead, ZipCoreTexts::CannotRead(Utf8ToAnsi(path)));
            return;
        }
        TZcrSource source;
        source.NativePath = path;
        source.Folder = folder;
        source.Size = folder ? 0 : info.st_size;
        source.Modified = info.st_mtime;
        source.Mode = info.st_mode;
        source.Encrypt = !folder && spec.Encrypt != 0;
        source.Password = spec.Password ? spec.Password : "";
        std::string name = storedUtf8;
        if (FRecord.NoDirNames && !folder)
            name = ZipBareName(name);
        if (FRecord.ForceDOS) {
            SetStoredName(source, ZipStoredNameFromAnsi(ForceDosZipName(Utf8ToAnsi(name))));
        } else {
            SetStoredName(source, ZipStoredNameFromUtf8(name));
        }
        if (Excluded(source.AnsiName))
            return;
        // A later file of the same stored name takes the place of the earlier.
        const auto known = FIndex.find(source.Key);
        if (known != FIndex.end()) {
            FSources[known->second] = std::move(source);
            return;
        }
        FIndex[source.Key] = FSources.size();
        FSources.push_back(std::move(source));
    }

    bool Excluded(const std::string& ansiName) const
    {
        const std::string bare = ZipBareName(ansiName);
        for (const std::string& mask : FExcludes)
            if (ZipNameMatches(ansiName, mask) || MatchesMask(bare, mask))
                return true;
        return false;
    }

    const TZipCmdRecord& FRecord;
    TZipCoreCallback& FCallback;
    std::vector<TZcrIdentity> FLeftOut;
    std::vector<std::string> FExcludes;
    std::vector<TZcrSource> FSources;
    std::map<std::string, std::size_t> FIndex;
};

class TZcrDeflater {
public:
    explicit TZcrDeflater(int level)
    {
        if (deflateInit2(&FStream, level, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY) != Z_OK)
            throw std::bad_alloc();
    }
    ~TZcrDeflater() { deflateEnd(&FStream); }
    TZcrDeflater(const TZcrDeflater&) = delete;
    TZcrDeflater& operator=(const TZcrDeflater&) = delete;

    z_stream& Stream() { return FStream; }

private:
    z_stream FStream{};
};

// An open file to store, read in pieces.
class TZcrInputFile {
public:
    explicit TZcrInputFile(const std::string& nativePath)
        : FHandle(open(nativePath.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC))
    {
        struct stat info {};
        if (FHandle < 0 || fstat(FHandle, &info) != 0 || !S_ISREG(info.st_mode))
            throw TZcrUnreadable();
    }
    ~TZcrInputFile()
    {
        if (FHandle >= 0)
            close(FHandle);
    }
    TZcrInputFile(const TZcrInputFile&) = delete;
    TZcrInputFile& operator=(const TZcrInputFile&) = delete;

    void Rewind()
    {
        if (lseek(FHandle, 0, SEEK_SET) != 0)
            throw TZcrUnreadable();
    }

    std::size_t Read(std::uint8_t* buffer, std::size_t size)
    {
        for (;;) {
            const ssize_t got = read(FHandle, buffer, size);
            if (got >= 0)
                return static_cast<std::size_t>(got);
            if (errno != EINTR)
                throw TZcrUnreadable();
        }
    }

private:
    int FHandle;
};

// What storing one file gave.
struct TZcrStored {
    TZipLocalHeader Header;
    std::int64_t Offset = 0;
};

// The work of one call of ZipCoreExec.
class TZcrJob {
public:
    explicit TZcrJob(const TZipCmdRecord& record)
        : FRecord(record), FCallback(record.Callback, record.Handle, record.Caller),
          FArchiveName(record.ArchiveName ? record.ArchiveName : "")
    {
        if (record.StoreSuffixes != nullptr) {
            std::string list = record.StoreSuffixes;
            std::string::size_type start = 0;
            while (start <= list.size()) {
                std::string::size_type end = list.find(':', start);
                if (end == std::string::npos)
                    end = list.size();
                if (end > start)
                    FStoreSuffixes.push_back(list.substr(start, end - start));
                start = end + 1;
            }
        }
    }

    int Run()
    {
        try {
            if (!OpenExistingArchive())
                throw TZcrAbort{zceBadArchive, ZipCoreTexts::BadArchive(FArchiveName)};
            return FRecord.DeleteEntries ? RunDelete() : RunAdd();
        } catch (const TZcrAbort& abort) {
            FCallback.Message(abort.Code, abort.Text);
            return 0;
        }
    }

private:
    struct TPlanItem {
        const TZipCentralEntry* Existing = nullptr;
        const TZcrSource* Source = nullptr; // stored anew (replacing Existing when both are set)
    };

    // False when the archive exists and is not one that can be read.
    bool OpenExistingArchive()
    {
        if (FArchiveName.empty())
            throw TZcrAbort{zceCannotWriteArchive, ZipCoreTexts::CannotWriteArchive(FArchiveName)};
        struct stat info {};
        if (lstat(ResolvePath(FArchiveName).c_str(), &info) != 0)
            return true; // a new archive
        FExisting = std::make_unique<TZipArchiveFile>(FArchiveName);
        if (!FExisting->IsOpen() || ReadZipDirectory(*FExisting, FDirectory) != TZipDirectoryFailure::None)
            return false;
        FArchiveIdentity = {info.st_dev, info.st_ino};
        return true;
    }

    int RunAdd()
    {
        TZcrOutput output(FArchiveName, FRecord.TempDir ? FRecord.TempDir : "");
        std::vector<TZcrIdentity> leftOut{output.Identity()};
        if (FExisting)
            leftOut.push_back(FArchiveIdentity);
        TZcrCollector collector(FRecord, FCallback, leftOut);
        std::vector<TZcrSource> sources = collector.Collect();
        if (sources.empty())
            throw TZcrAbort{zceNothingToDo, ZipCoreTexts::NothingToDo()};
        for (TZcrSource& source : sources)
            OfferNewName(source);
        const std::vector<TPlanItem> plan = PlanAdd(sources);
        std::uint32_t toStore = 0;
        std::uint64_t bytes = 0;
        for (const TPlanItem& item : plan)
            if (item.Source) {
                ++toStore;
                bytes += static_cast<std::uint64_t>(item.Source->Size);
            }
        if (toStore == 0)
            return 0; // nothing newer: the archive stays as it is
        if (FCallback.Notify(zcaFilesToDo, 0, toStore) ||
            FCallback.Notify(zcaBytesToDo, 0, static_cast<std::uint32_t>(std::min<std::uint64_t>(bytes, 0xFFFFFFFFu))))
            throw TZcrAbort{zceStopped, ZipCoreTexts::Stopped()};
        const int stored = WriteArchive(output, plan);
        if (FRecord.Move)
            for (const TPlanItem& item : plan)
                if (item.Source && !item.Source->Folder && FStoredSources.count(item.Source))
                    unlink(item.Source->NativePath.c_str());
        FCallback.Notify(zcaBatchEnds);
        return stored;
    }

    int RunDelete()
    {
        if (!FExisting)
            throw TZcrAbort{zceBadArchive, ZipCoreTexts::BadArchive(FArchiveName)};
        std::vector<std::string> masks;
        if (FRecord.FileSpecs != nullptr)
            for (std::uint32_t i = 0; i < FRecord.FileSpecCount; ++i)
                if (FRecord.FileSpecs[i].FileSpec != nullptr)
                    masks.emplace_back(FRecord.FileSpecs[i].FileSpec);
        std::vector<TPlanItem> plan;
        std::vector<std::string> deleted;
        for (const TZipCentralEntry& entry : FDirectory.Entries) {
            std::string name;
            ExistingKey(entry, name);
            bool matched = false;
            for (const std::string& mask : masks)
                matched = matched || ZipNameMatches(name, mask);
            if (matched)
                deleted.push_back(name);
            else
                plan.push_back({&entry, nullptr});
        }
        if (deleted.empty())
            throw TZcrAbort{zceNothingToDo, ZipCoreTexts::NothingToDo()};
        if (FCallback.Notify(zcaFilesToDo, 0, static_cast<std::uint32_t>(deleted.size())))
            throw TZcrAbort{zceStopped, ZipCoreTexts::Stopped()};
        for (const std::string& name : deleted) {
            if (FCallback.Notify(zcaFileBegins, 0, 0, name))
                throw TZcrAbort{zceStopped, ZipCoreTexts::Stopped()};
            if (Verbose())
                FCallback.Message(zceNote, ZipCoreTexts::Deleted(name));
        }
        TZcrOutput output(FArchiveName, FRecord.TempDir ? FRecord.TempDir : "");
        WriteArchive(output, plan);
        FCallback.Notify(zcaBatchEnds);
        return static_cast<int>(deleted.size());
    }

    std::string ExistingKey(const TZipCentralEntry& entry, std::string& ansiName) const
    {
        bool lost = false;
        ansiName = ZipNameToAnsi(entry.Name, entry.Header.Flags, entry.MadeBySystem, entry.MadeByVersion,
                                 TZipCodePage::Automatic, lost);
        return lost ? "\x01" + entry.Name : AnsiUpperCase(ZipForwardSlashes(ansiName));
    }

    bool Verbose() const { return FRecord.Verbose != 0 || FRecord.Trace != 0; }

    // Action 7: the caller may change the stored name.
    void OfferNewName(TZcrSource& source)
    {
        if (FCallback.Notify(zcaNewName, 0, 0, source.AnsiName))
            throw TZcrAbort{zceStopped, ZipCoreTexts::Stopped()};
        if (FCallback.AnswerCode() != 1)
            return;
        std::string name = RelativeZipPath(FCallback.AnswerText());
        if (name.empty() || name == source.AnsiName)
            return;
        if (source.Folder)
            name += "/";
        SetStoredName(source, ZipStoredNameFromAnsi(name));
    }

    bool Newer(const TZcrSource& source, const TZipCentralEntry& entry) const
    {
        std::uint16_t date = 0;
        std::uint16_t time = 0;
        UnixTimeToDos(source.Modified, date, time);
        return ZipDosStamp(date, time) > ZipDosStamp(entry.Header.Date, entry.Header.Time);
    }

    std::vector<TPlanItem> PlanAdd(const std::vector<TZcrSource>& sources)
    {
        std::map<std::string, const TZcrSource*> byKey;
        for (const TZcrSource& source : sources)
            byKey[source.Key] = &source;
        const bool onlyNewer = FRecord.Update || FRecord.Freshen;
        std::vector<TPlanItem> plan;
        for (const TZipCentralEntry& entry : FDirectory.Entries) {
            std::string name;
            const auto found = byKey.find(ExistingKey(entry, name));
            TPlanItem item{&entry, nullptr};
            if (found != byKey.end()) {
                const TZcrSource* source = found->second;
                if (!source->Folder && (!onlyNewer || Newer(*source, entry)))
                    item.Source = source;
                byKey.erase(found);
            }
            plan.push_back(item);
        }
        if (!FRecord.Freshen || FRecord.Update)
            for (const TZcrSource& source : sources)
                if (byKey.count(source.Key))
                    plan.push_back({nullptr, &source});
        return plan;
    }

    int WriteArchive(TZcrOutput& output, const std::vector<TPlanItem>& plan)
    {
        if (plan.size() > ZcrMostEntries)
            throw TZcrAbort{zceCannotWriteArchive, ZipCoreTexts::CannotWriteArchive(FArchiveName)};
        if (FExisting)
            CopyRange(output, 0, FDirectory.PrefixSize);
        std::vector<std::uint8_t> central;
        int stored = 0;
        std::uint16_t entries = 0;
        for (const TPlanItem& item : plan) {
            if (item.Source) {
                if (StoreSource(output, *item.Source, item.Existing, central)) {
                    ++stored;
                    ++entries;
                } else if (item.Existing) {
                    CopyEntry(output, *item.Existing, central); // unreadable now: the old entry stays
                    ++entries;
                }
            } else {
                CopyEntry(output, *item.Existing, central);
                ++entries;
            }
        }
        if (stored == 0 && !FRecord.DeleteEntries)
            return 0; // every file to store was unreadable: the archive stays as it is
        WriteDirectory(output, central, entries);
        output.Commit();
        if (FRecord.ZipTime && FNewestStamp != 0)
            FileSetDate(FArchiveName, static_cast<int>(FNewestStamp));
        return stored;
    }

    void WriteDirectory(TZcrOutput& output, const std::vector<std::uint8_t>& central, std::uint16_t entries)
    {
        const std::int64_t directoryOffset = output.Position();
        if (directoryOffset > ZcrLargestSize)
            throw TZcrAbort{zceCannotWriteArchive, ZipCoreTexts::CannotWriteArchive(FArchiveName)};
        output.Write(central.data(), central.size());
        std::string comment = FRecord.RawComment ? FRecord.RawComment : FDirectory.End.RawComment;
        comment.resize(std::min(comment.size(), ZipMaxCommentLength));
        std::uint8_t end[ZipEndRecordSize];
        EncodeEndRecord(entries, static_cast<std::uint32_t>(central.size()), static_cast<std::uint32_t>(directoryOffset),
                        end, static_cast<std::uint16_t>(comment.size()));
        output.Write(end, sizeof end);
        output.Write(comment.data(), comment.size());
    }

    void CopyRange(TZcrOutput& output, std::int64_t offset, std::int64_t size)
    {
        std::vector<std::uint8_t> chunk(ZcrReadChunk);
        while (size > 0) {
            const std::size_t take = static_cast<std::size_t>(std::min<std::int64_t>(size, chunk.size()));
            if (!FExisting->ReadAt(offset, chunk.data(), take))
                throw TZcrAbort{zceBadArchive, ZipCoreTexts::BadArchive(FArchiveName)};
            output.Write(chunk.data(), take);
            offset += static_cast<std::int64_t>(take);
            size -= static_cast<std::int64_t>(take);
        }
    }

    // An entry that stays: its local header, data and descriptor as they are, and its central
    // header with the new offset.
    void CopyEntry(TZcrOutput& output, const TZipCentralEntry& entry, std::vector<std::uint8_t>& central)
    {
        std::int64_t dataOffset = 0;
        if (!LocateZipEntryData(*FExisting, entry, dataOffset))
            throw TZcrAbort{zceBadArchive, ZipCoreTexts::BadArchive(FArchiveName)};
        std::int64_t end = dataOffset + entry.Header.CompressedSize;
        if (entry.Header.Flags & ZipFlagDataDescriptor) {
            std::uint8_t signature[4];
            const bool signed16 = FExisting->ReadAt(end, signature, sizeof signature) &&
                                  GetLE32(signature) == ZcrDescriptorSignature;
            end = std::min(end + (signed16 ? 16 : 12), entry.DataLimit);
        }
        const std::int64_t offset = output.Position();
        if (offset > ZcrLargestSize)
            throw TZcrAbort{zceCannotWriteArchive, ZipCoreTexts::CannotWriteArchive(FArchiveName)};
        CopyRange(output, entry.LocalOffset, end - entry.LocalOffset);
        std::array<std::uint8_t, ZipCentralHeaderSize> header = entry.Raw;
        PutLE32(header.data() + 42, static_cast<std::uint32_t>(offset));
        central.insert(central.end(), header.begin(), header.end());
        central.insert(central.end(), entry.Name.begin(), entry.Name.end());
        central.insert(central.end(), entry.Extra.begin(), entry.Extra.end());
        central.insert(central.end(), entry.Comment.begin(), entry.Comment.end());
        FNewestStamp = std::max(FNewestStamp, ZipDosStamp(entry.Header.Date, entry.Header.Time));
    }

    std::optional<std::string> PasswordFor(const TZcrSource& source)
    {
        if (!source.Password.empty())
            return source.Password;
        if (FRecord.Password != nullptr && FRecord.Password[0] != '\0')
            return std::string(FRecord.Password);
        if (!FAskedPassword) {
            FAskedPassword = true;
            FCallback.Notify(zcaPassword, 1, 1, source.AnsiName);
            if (FCallback.Stopped())
                throw TZcrAbort{zceStopped, ZipCoreTexts::Stopped()};
            if (FCallback.Assigned() && FCallback.AnswerCode() == 1)
                FAnsweredPassword = FCallback.AnswerText();
        }
        if (FAnsweredPassword.empty())
            return std::nullopt;
        return FAnsweredPassword;
    }

    bool StoreWithoutDeflate(const TZcrSource& source) const
    {
        if (FRecord.Level == 0 || source.Size == 0)
            return true;
        const std::string extension = ExtractFileExt(source.AnsiName);
        for (const std::string& suffix : FStoreSuffixes)
            if (AnsiSameText(suffix, extension))
                return true;
        return false;
    }

    // False when the file could not be read (reported and left out).
    bool StoreSource(TZcrOutput& output, const TZcrSource& source, const TZipCentralEntry* replaced,
                     std::vector<std::uint8_t>& central)
    {
        std::optional<std::string> password;
        if (source.Encrypt) {
            password = PasswordFor(source);
            if (!password) {
                FCallback.Message(zcePassword, ZipCoreTexts::Password(source.AnsiName));
                return false;
            }
        }
        if (FCallback.Notify(zcaFileBegins, 0, static_cast<std::uint32_t>(source.Size), source.AnsiName))
            throw TZcrAbort{zceStopped, ZipCoreTexts::Stopped()};
        const std::int64_t offset = output.Position();
        if (offset > ZcrLargestSize)
            throw TZcrAbort{zceCannotWriteArchive, ZipCoreTexts::CannotWriteArchive(FArchiveName)};
        TZcrStored stored;
        try {
            stored = WriteEntryData(output, source, password);
        } catch (const TZcrUnreadable&) {
            output.Truncate(offset);
            FCallback.Message(zceCannotRead, ZipCoreTexts::CannotRead(Utf8ToAnsi(source.NativePath)));
            return false;
        }
        FCallback.FlushBytesDone();
        std::string comment = replaced ? replaced->Comment : std::string();
        if (FCallback.NotifyComment(source.AnsiName, comment))
            throw TZcrAbort{zceStopped, ZipCoreTexts::Stopped()};
        if (FCallback.AnswerCode() == 1) {
            comment = FCallback.AnswerText();
            CharToOemBuffA(comment.data(), comment.data(), comment.size());
        }
        AppendCentral(central, source, stored, comment);
        FStoredSources.insert(&source);
        if (Verbose())
            FCallback.Message(zceNote, replaced ? ZipCoreTexts::Updated(source.AnsiName)
                                                : ZipCoreTexts::Added(source.AnsiName, SavedPercent(stored.Header)));
        return true;
    }

    static int SavedPercent(const TZipLocalHeader& header)
    {
        if (header.UncompressedSize == 0 || header.CompressedSize >= header.UncompressedSize)
            return 0;
        return static_cast<int>(100 - static_cast<std::uint64_t>(header.CompressedSize) * 100 / header.UncompressedSize);
    }

    void AppendCentral(std::vector<std::uint8_t>& central, const TZcrSource& source, const TZcrStored& stored,
                       const std::string& comment)
    {
        TZipCentralFields fields;
        const std::uint16_t host = source.Stored.Utf8 ? ZipHostUnix : ZipHostFat;
        fields.VersionMadeBy = static_cast<std::uint16_t>((host << 8) | ZcrVersionDeflated);
        std::uint32_t attributes = ZipArchiveAttribute;
        if (source.Folder)
            attributes |= faDirectory;
        if (!(source.Mode & S_IWUSR))
            attributes |= faReadOnly;
        if (host == ZipHostUnix)
            attributes |= static_cast<std::uint32_t>(source.Mode & 0xFFFF) << 16;
        fields.ExternalAttributes = attributes;
        const std::string trimmed = comment.substr(0, ZipMaxCommentLength);
        fields.CommentLength = static_cast<std::uint16_t>(trimmed.size());
        std::uint8_t header[ZipCentralHeaderSize];
        EncodeCentralHeader(stored.Header, fields, static_cast<std::uint32_t>(stored.Offset), header);
        central.insert(central.end(), header, header + sizeof header);
        central.insert(central.end(), source.Stored.Bytes.begin(), source.Stored.Bytes.end());
        central.insert(central.end(), trimmed.begin(), trimmed.end());
        FNewestStamp = std::max(FNewestStamp, ZipDosStamp(stored.Header.Date, stored.Header.Time));
    }

    TZcrStored WriteEntryData(TZcrOutput& output, const TZcrSource& source, const std::optional<std::string>& password)
    {
        TZcrStored stored;
        stored.Offset = output.Position();
        TZipLocalHeader& header = stored.Header;
        UnixTimeToDos(source.Modified, header.Date, header.Time);
        header.NameLength = static_cast<std::uint16_t>(source.Stored.Bytes.size());
        if (source.Stored.Utf8)
            header.Flags |= ZipFlagUtf8;
        if (password)
            header.Flags |= ZipFlagEncrypted;
        header.VersionNeeded = password ? ZcrVersionDeflated : ZcrVersionStored;
        std::uint8_t local[ZipLocalHeaderSize];
        EncodeLocalHeader(header, local);
        output.Write(local, sizeof local);
        output.Write(source.Stored.Bytes.data(), source.Stored.Bytes.size());
        if (source.Folder)
            return stored;

        TZcrInputFile input(source.NativePath);
        std::optional<std::uint32_t> knownCrc;
        if (password)
            knownCrc = CrcOfFile(input); // the encryption header carries the CRC's high byte
        const std::int64_t dataOffset = output.Position();
        bool deflated = !StoreWithoutDeflate(source);
        if (deflated) {
            deflated = WriteDeflated(output, input, header, password, knownCrc);
            if (!deflated) {
                output.Truncate(dataOffset); // not smaller: stored after all
                input.Rewind();
                FSecondReading = true;
            }
        }
        if (!deflated)
            WriteStored(output, input, header, password, knownCrc);
        FSecondReading = false;
        if (deflated) {
            header.Method = ZipMethodDeflated;
            header.VersionNeeded = ZcrVersionDeflated;
            if (FRecord.Level <= 2)
                header.Flags |= 0x0004; // fast
            else if (FRecord.Level >= 8)
                header.Flags |= 0x0002; // maximum
        }
        EncodeLocalHeader(header, local);
        output.Patch(stored.Offset, local, sizeof local);
        return stored;
    }

    std::uint32_t CrcOfFile(TZcrInputFile& input)
    {
        std::vector<std::uint8_t> chunk(ZcrReadChunk);
        TZipCrc32 crc;
        while (std::size_t got = input.Read(chunk.data(), chunk.size()))
            crc.Update(chunk.data(), got);
        input.Rewind();
        return crc.Value();
    }

    std::optional<TZipCryptKeys> StartEncryption(TZcrOutput& output, const std::optional<std::string>& password,
                                                 std::optional<std::uint32_t> crc)
    {
        if (!password)
            return std::nullopt;
        TZipCryptKeys keys(*password);
        std::uint8_t header[ZipCryptHeaderSize];
        keys.MakeHeader(static_cast<std::uint8_t>(*crc >> 24), header);
        output.Write(header, sizeof header);
        return keys;
    }

    void WriteProtected(TZcrOutput& output, std::optional<TZipCryptKeys>& keys, std::uint8_t* data, std::size_t size)
    {
        if (keys)
            keys->Encrypt(data, size);
        output.Write(data, size);
    }

    void CountInput(std::uint64_t& total, std::size_t got)
    {
        total += got;
        if (total > static_cast<std::uint64_t>(ZcrLargestSize))
            throw TZcrUnreadable(); // grew past what an entry can hold while it was read
        if (!FSecondReading && FCallback.BytesDone(got))
            throw TZcrAbort{zceStopped, ZipCoreTexts::Stopped()};
    }

    void WriteStored(TZcrOutput& output, TZcrInputFile& input, TZipLocalHeader& header,
                     const std::optional<std::string>& password, std::optional<std::uint32_t> knownCrc)
    {
        std::optional<TZipCryptKeys> keys = StartEncryption(output, password, knownCrc);
        std::vector<std::uint8_t> chunk(ZcrReadChunk);
        TZipCrc32 crc;
        std::uint64_t total = 0;
        while (std::size_t got = input.Read(chunk.data(), chunk.size())) {
            CountInput(total, got);
            crc.Update(chunk.data(), got);
            WriteProtected(output, keys, chunk.data(), got);
        }
        header.Method = ZipMethodStored;
        header.Crc = crc.Value();
        header.UncompressedSize = static_cast<std::uint32_t>(total);
        header.CompressedSize = static_cast<std::uint32_t>(total + (keys ? ZipCryptHeaderSize : 0));
        if (knownCrc && *knownCrc != header.Crc)
            throw TZcrUnreadable(); // changed between the two readings
    }

    // False when the deflated data is not smaller than the file.
    bool WriteDeflated(TZcrOutput& output, TZcrInputFile& input, TZipLocalHeader& header,
                       const std::optional<std::string>& password, std::optional<std::uint32_t> knownCrc)
    {
        if (!FDeflater)
            FDeflater = std::make_unique<TZcrDeflater>(static_cast<int>(std::min<std::uint32_t>(FRecord.Level, 9)));
        z_stream& stream = FDeflater->Stream();
        deflateReset(&stream);
        std::optional<TZipCryptKeys> keys = StartEncryption(output, password, knownCrc);
        std::vector<std::uint8_t> chunk(ZcrReadChunk);
        std::vector<std::uint8_t> packed(ZcrReadChunk);
        TZipCrc32 crc;
        std::uint64_t total = 0;
        std::uint64_t written = 0;
        int flush = Z_NO_FLUSH;
        do {
            const std::size_t got = input.Read(chunk.data(), chunk.size());
            CountInput(total, got);
            crc.Update(chunk.data(), got);
            flush = got == 0 ? Z_FINISH : Z_NO_FLUSH;
            stream.next_in = chunk.data();
            stream.avail_in = static_cast<uInt>(got);
            do {
                stream.next_out = packed.data();
                stream.avail_out = static_cast<uInt>(packed.size());
                deflate(&stream, flush);
                const std::size_t produced = packed.size() - stream.avail_out;
                written += produced;
                WriteProtected(output, keys, packed.data(), produced);
            } while (stream.avail_out == 0);
        } while (flush != Z_FINISH);
        header.Crc = crc.Value();
        if (knownCrc && *knownCrc != header.Crc)
            throw TZcrUnreadable();
        if (written >= total)
            return false;
        header.UncompressedSize = static_cast<std::uint32_t>(total);
        header.CompressedSize = static_cast<std::uint32_t>(written + (keys ? ZipCryptHeaderSize : 0));
        return true;
    }

    const TZipCmdRecord& FRecord;
    TZipCoreCallback FCallback;
    std::string FArchiveName;
    std::vector<std::string> FStoreSuffixes;
    std::unique_ptr<TZipArchiveFile> FExisting;
    TZipDirectory FDirectory;
    TZcrIdentity FArchiveIdentity;
    std::unique_ptr<TZcrDeflater> FDeflater;
    std::set<const TZcrSource*> FStoredSources;
    std::uint32_t FNewestStamp = 0;
    bool FAskedPassword = false;
    bool FSecondReading = false; // the progress has counted these bytes already
    std::string FAnsweredPassword;
};

template <typename F>
FARPROC ZcrEntryPoint(F* function)
{
    return reinterpret_cast<FARPROC>(function);
}

} // namespace

int ZipCoreExec(TZipCmdRecord* record)
{
    if (record == nullptr)
        return 0;
    if (record->Version != ZipCoreRecordVersion || record->Seven != ZipCoreEndMarker) {
        TZipCoreCallback(record->Callback, record->Handle, record->Caller)
            .Message(zceBadRecord, ZipCoreTexts::BadRecord());
        return 0;
    }
    try {
        TZcrJob job(*record);
        return job.Run();
    } catch (const std::bad_alloc&) {
        TZipCoreCallback(record->Callback, record->Handle, record->Caller)
            .Message(zceNoMemory, ZipCoreTexts::NoMemory());
    } catch (...) {
        // Nothing may cross the library's edge; the old archive is still in place.
        TZipCoreCallback(record->Callback, record->Handle, record->Caller)
            .Message(zceCannotWriteArchive, ZipCoreTexts::CannotWriteArchive(record->ArchiveName ? record->ArchiveName : ""));
    }
    return 0;
}

int GetZipCoreVersion()
{
    return ZipCoreLibraryVersion;
}

void RegisterZipCoreModules()
{
    RegisterSystemModule("ZIPCORE.DLL", {{"ZipCoreExec", ZcrEntryPoint(&ZipCoreExec)},
                                         {"GetZipCoreVersion", ZcrEntryPoint(&GetZipCoreVersion)}});
    RegisterSystemModule("UNZCORE.DLL", {{"UnzCoreExec", ZcrEntryPoint(&UnzCoreExec)},
                                         {"GetUnzCoreVersion", ZcrEntryPoint(&GetUnzCoreVersion)}});
}
