#include "archive/UnzCore.h"

#include "archive/Explode.h"
#include "archive/Unreduce.h"
#include "archive/Unshrink.h"
#include "archive/ZipBitReader.h"
#include "archive/ZipCoreCallback.h"
#include "archive/ZipCrypt.h"
#include "archive/ZipDirectory.h"
#include "archive/ZipNames.h"
#include "platform/rtl/Files.h"
#include "platform/rtl/Streams.h"

#include <algorithm>
#include <cstring>
#include <functional>
#include <memory>
#include <new>
#include <optional>
#include <vector>

#include <sys/stat.h>
#include <zlib.h>

using namespace ZipCoreApi;

namespace {

constexpr std::size_t UnzReadChunk = 256 * 1024;
constexpr std::size_t UnzWriteChunk = 64 * 1024;

// How the decoding of one entry ended.
enum class TUnzOutcome { Whole, Damaged, WriteFailed, Stopped };

// Thrown through a decoder to end the entry.
struct TUnzAbort {
    TUnzOutcome Outcome;
};

// The entry's compressed bytes, read in pieces and decrypted when the entry is encrypted.
class TUnzEntryBytes {
public:
    TUnzEntryBytes(const TZipArchiveFile& file, std::int64_t offset, std::uint32_t size,
                   std::optional<TZipCryptKeys> keys)
        : FFile(file), FOffset(offset), FRemaining(size), FKeys(std::move(keys))
    {
    }

    // Up to size bytes; 0 at the end of the entry's data.
    std::size_t Read(std::uint8_t* buffer, std::size_t size)
    {
        const std::size_t take = static_cast<std::size_t>(std::min<std::uint64_t>(size, FRemaining));
        if (take == 0)
            return 0;
        if (!FFile.ReadAt(FOffset, buffer, take))
            throw TUnzAbort{TUnzOutcome::Damaged};
        if (FKeys)
            FKeys->Decrypt(buffer, take);
        FOffset += static_cast<std::int64_t>(take);
        FRemaining -= take;
        return take;
    }

    std::uint32_t Remaining() const { return FRemaining; }

private:
    const TZipArchiveFile& FFile;
    std::int64_t FOffset;
    std::uint32_t FRemaining;
    std::optional<TZipCryptKeys> FKeys;
};

// The same bytes for the old-method decoders.
class TUnzByteSource : public TZipByteSource {
public:
    explicit TUnzByteSource(TUnzEntryBytes& bytes) : FBytes(bytes) {}

    std::size_t Read(std::uint8_t* buffer, std::size_t size) override { return FBytes.Read(buffer, size); }

    bool Skip(std::uint64_t size) override
    {
        std::uint8_t scratch[4096];
        while (size > 0) {
            const std::size_t got = FBytes.Read(scratch, static_cast<std::size_t>(std::min<std::uint64_t>(size, sizeof scratch)));
            if (got == 0)
                return false;
            size -= got;
        }
        return true;
    }

private:
    TUnzEntryBytes& FBytes;
};

// Where an entry's decoded bytes go: the CRC, the count, never more than the declared size, the
// progress, and the file, the memory block or nothing.
class TUnzOutput {
public:
    using TWriter = std::function<void(const std::uint8_t* data, std::size_t size)>;

    TUnzOutput(std::uint32_t declaredSize, TWriter writer, TZipCoreCallback& callback)
        : FDeclared(declaredSize), FWriter(std::move(writer)), FCallback(callback)
    {
    }

    void Put(const std::uint8_t* data, std::size_t size)
    {
        if (size > FDeclared - FWritten)
            throw TUnzAbort{TUnzOutcome::Damaged}; // more than the header promised
        FCrc.Update(data, size);
        FWritten += size;
        if (FWriter) {
            try {
                FWriter(data, size);
            } catch (const Exception&) {
                throw TUnzAbort{TUnzOutcome::WriteFailed};
            }
        }
        if (FCallback.BytesDone(size))
            throw TUnzAbort{TUnzOutcome::Stopped};
    }

    std::uint32_t Crc() const { return FCrc.Value(); }
    std::uint64_t Written() const { return FWritten; }

private:
    std::uint64_t FDeclared;
    std::uint64_t FWritten = 0;
    TZipCrc32 FCrc;
    TWriter FWriter;
    TZipCoreCallback& FCallback;
};

bool IsSupportedMethod(std::uint16_t method)
{
    return method <= ZipMethodImploded || method == ZipMethodDeflated;
}

bool IsFolderName(const std::string& name)
{
    return !name.empty() && (name.back() == '/' || name.back() == '\\');
}

bool IsSymbolicLinkEntry(const TZipCentralEntry& entry)
{
    return entry.MadeBySystem == ZipHostUnix && ((entry.ExternalAttributes >> 16) & S_IFMT) == S_IFLNK;
}

// Anything at the path, a symbolic link included.
bool SomethingAt(const std::string& path)
{
    struct stat info {};
    return lstat(ResolvePath(path).c_str(), &info) == 0;
}

void DecodeStored(TUnzEntryBytes& bytes, TUnzOutput& output)
{
    std::vector<std::uint8_t> buffer(UnzReadChunk);
    while (std::size_t got = bytes.Read(buffer.data(), buffer.size()))
        output.Put(buffer.data(), got);
}

class TUnzInflater {
public:
    TUnzInflater()
    {
        if (inflateInit2(&FStream, -MAX_WBITS) != Z_OK)
            throw std::bad_alloc();
    }
    ~TUnzInflater() { inflateEnd(&FStream); }
    TUnzInflater(const TUnzInflater&) = delete;
    TUnzInflater& operator=(const TUnzInflater&) = delete;

    z_stream& Stream() { return FStream; }

private:
    z_stream FStream{};
};

void DecodeDeflated(TUnzEntryBytes& bytes, TUnzOutput& output)
{
    TUnzInflater inflater;
    z_stream& stream = inflater.Stream();
    std::vector<std::uint8_t> input(UnzReadChunk);
    std::vector<std::uint8_t> decoded(UnzWriteChunk);
    for (;;) {
        if (stream.avail_in == 0) {
            stream.avail_in = static_cast<uInt>(bytes.Read(input.data(), input.size()));
            stream.next_in = input.data();
        }
        const bool inputLeft = stream.avail_in > 0;
        stream.next_out = decoded.data();
        stream.avail_out = static_cast<uInt>(decoded.size());
        const int result = inflate(&stream, Z_NO_FLUSH);
        const std::size_t produced = decoded.size() - stream.avail_out;
        if (produced > 0)
            output.Put(decoded.data(), produced);
        if (result == Z_STREAM_END)
            return;
        if (result != Z_OK && result != Z_BUF_ERROR)
            throw TUnzAbort{TUnzOutcome::Damaged};
        // The data ended before the stream did.
        if (!inputLeft && produced == 0)
            throw TUnzAbort{TUnzOutcome::Damaged};
    }
}

void DecodeOldMethod(TUnzEntryBytes& bytes, TUnzOutput& output, const TZipLocalHeader& header)
{
    TUnzByteSource source(bytes);
    TZipInput input(source);
    const TZipProgressSink noProgress;
    TZipBitReader reader(input, noProgress);
    reader.Start(bytes.Remaining());
    TZipMemberOutput member([&output](const std::uint8_t* data, std::size_t size) { output.Put(data, size); });
    const TZipReport quiet = [](const std::string&) {};
    TDecodeResult result = TDecodeResult::Damaged;
    switch (header.Method) {
    case ZipMethodShrunk:
        result = Unshrink(reader, member, header.UncompressedSize, quiet);
        break;
    case ZipMethodImploded:
        result = Explode(reader, member, header.Flags, header.UncompressedSize, quiet);
        break;
    default:
        result = Unreduce(reader, member, header.Method, header.UncompressedSize, quiet);
        break;
    }
    member.Flush();
    if (result != TDecodeResult::Complete)
        throw TUnzAbort{TUnzOutcome::Damaged};
}

class TUnzCoreJob {
public:
    explicit TUnzCoreJob(const TUnzipCmdRecord& record)
        : FRecord(record), FCallback(record.Callback, record.Handle, record.Caller)
    {
    }

    int Run();

private:
    bool ReadArchive();
    std::vector<const TZipCentralEntry*> SelectedEntries();
    std::string AnsiName(const TZipCentralEntry& entry);
    int ExtractToMemory(const std::vector<const TZipCentralEntry*>& entries);
    // True when the entry was extracted (or tested) whole.
    bool ProcessEntry(const TZipCentralEntry& entry);
    bool WantedOnDisk(const TZipCentralEntry& entry, const std::string& name, const std::string& path);
    std::optional<TZipCryptKeys> KeysFor(const TZipCentralEntry& entry, const std::string& name,
                                         std::int64_t dataOffset, bool& found);
    TUnzOutcome Decode(const TZipCentralEntry& entry, std::int64_t dataOffset,
                       std::optional<TZipCryptKeys> keys, const TUnzOutput::TWriter& writer,
                       std::uint32_t& crc);
    bool Verbose() const { return FRecord.Verbose != 0 || FRecord.Trace != 0; }
    void Skip(UnZipSkipTypes type, std::uint32_t code, const std::string& message, const std::string& name);
    // Action 9 after a CRC error: true when the file is to be kept.
    bool KeepAfterCrcError(const TZipCentralEntry& entry, std::uint32_t crc, const std::string& name);

    const TUnzipCmdRecord& FRecord;
    TZipCoreCallback FCallback;
    std::string FArchiveName;
    std::unique_ptr<TZipArchiveFile> FFile;
    TZipDirectory FDirectory;
    std::string FBase;
    std::string FGoodPassword;
    bool FHaveGoodPassword = false;
    bool FWroteFiles = false;
};

int TUnzCoreJob::Run()
{
    FArchiveName = FRecord.ArchiveName ? FRecord.ArchiveName : "";
    if (!ReadArchive()) {
        FCallback.Message(zceBadArchive, ZipCoreTexts::BadArchive(FArchiveName));
        return 0;
    }
    const std::string base = FRecord.ExtrBaseDir && FRecord.ExtrBaseDir[0] ? FRecord.ExtrBaseDir : GetCurrentDir();
    FBase = IncludeTrailingPathDelimiter(ZipForwardSlashes(base));
    const std::vector<const TZipCentralEntry*> entries = SelectedEntries();
    if (entries.empty()) {
        FCallback.Message(zceNothingToDo, ZipCoreTexts::NothingToDo());
        return 0;
    }
    if (FRecord.ExtractToMemory)
        return ExtractToMemory(entries);

    std::uint64_t totalBytes = 0;
    for (const TZipCentralEntry* entry : entries)
        totalBytes += entry->Header.UncompressedSize;
    if (FCallback.Notify(zcaFilesToDo, 0, static_cast<std::uint32_t>(entries.size())) ||
        FCallback.Notify(zcaBytesToDo, 0, static_cast<std::uint32_t>(std::min<std::uint64_t>(totalBytes, 0xFFFFFFFFu)))) {
        FCallback.Message(zceStopped, ZipCoreTexts::Stopped());
        return 0;
    }
    int done = 0;
    for (const TZipCentralEntry* entry : entries) {
        if (ProcessEntry(*entry))
            ++done;
        if (FCallback.Stopped()) {
            FCallback.Message(zceStopped, ZipCoreTexts::Stopped());
            break;
        }
    }
    // The files were renamed into place unflushed: one flush of the file system for all of them.
    if (FWroteFiles && !SyncFileSystemOf(FBase))
        FCallback.Message(zceCannotWriteFile, ZipCoreTexts::CannotWriteFile(FBase));
    FCallback.FlushBytesDone();
    FCallback.Notify(zcaBatchEnds);
    return done;
}

bool TUnzCoreJob::ReadArchive()
{
    if (FArchiveName.empty())
        return false;
    FFile = std::make_unique<TZipArchiveFile>(FArchiveName);
    return FFile->IsOpen() && ReadZipDirectory(*FFile, FDirectory) == TZipDirectoryFailure::None;
}

std::string TUnzCoreJob::AnsiName(const TZipCentralEntry& entry)
{
    bool lost = false;
    std::string name = ZipNameToAnsi(entry.Name, entry.Header.Flags, entry.MadeBySystem, entry.MadeByVersion,
                                     static_cast<TZipCodePage>(FRecord.CodePage), lost);
    if (lost)
        FCallback.Message(zceNote, ZipCoreTexts::NameAdapted(name));
    return name;
}

std::vector<const TZipCentralEntry*> TUnzCoreJob::SelectedEntries()
{
    std::vector<std::string> masks;
    if (FRecord.FileSpecs != nullptr)
        for (std::uint32_t i = 0; i < FRecord.FileSpecCount; ++i)
            if (FRecord.FileSpecs[i].FileSpec != nullptr)
                masks.emplace_back(FRecord.FileSpecs[i].FileSpec);
    if (FRecord.ExtractToMemory)
        masks.resize(std::min<std::size_t>(masks.size(), 1));
    std::vector<const TZipCentralEntry*> selected;
    for (const TZipCentralEntry& entry : FDirectory.Entries) {
        bool lost = false;
        const std::string name = ZipNameToAnsi(entry.Name, entry.Header.Flags, entry.MadeBySystem,
                                               entry.MadeByVersion, static_cast<TZipCodePage>(FRecord.CodePage), lost);
        bool wanted = masks.empty() && FRecord.FileSpecCount == 0;
        for (const std::string& mask : masks)
            wanted = wanted || ZipNameMatches(name, mask);
        if (wanted)
            selected.push_back(&entry);
        if (wanted && FRecord.ExtractToMemory)
            break;
    }
    return selected;
}

int TUnzCoreJob::ExtractToMemory(const std::vector<const TZipCentralEntry*>& entries)
{
    const TZipCentralEntry& entry = *entries.front();
    const std::string name = AnsiName(entry);
    if (IsUnsafeZipName(name) || IsSymbolicLinkEntry(entry)) {
        Skip(stUnsafeName, zceUnsafeName, ZipCoreTexts::UnsafeName(name), name);
        return 0;
    }
    if (FRecord.MemoryBlock == nullptr || FRecord.MemorySize != entry.Header.UncompressedSize) {
        FCallback.Message(zceCannotWriteFile, ZipCoreTexts::CannotWriteFile(name));
        return 0;
    }
    if (FCallback.Notify(zcaFileBegins, 0, entry.Header.UncompressedSize, name))
        return 0;
    if (!IsSupportedMethod(entry.Header.Method)) {
        Skip(stUnsupportedMethod, zceMethod, ZipCoreTexts::Method(entry.Header.Method, name), name);
        return 0;
    }
    std::int64_t dataOffset = 0;
    if (!LocateZipEntryData(*FFile, entry, dataOffset)) {
        FCallback.Message(zceBadArchive, ZipCoreTexts::BadArchive(FArchiveName));
        return 0;
    }
    bool found = true;
    std::optional<TZipCryptKeys> keys = KeysFor(entry, name, dataOffset, found);
    if (!found)
        return 0;
    auto* block = static_cast<std::uint8_t*>(FRecord.MemoryBlock);
    std::size_t at = 0;
    const TUnzOutput::TWriter toBlock = [block, &at](const std::uint8_t* data, std::size_t size) {
        std::memcpy(block + at, data, size);
        at += size;
    };
    std::uint32_t crc = 0;
    const TUnzOutcome outcome = Decode(entry, dataOffset, std::move(keys), toBlock, crc);
    FCallback.FlushBytesDone();
    if (outcome == TUnzOutcome::Damaged) {
        FCallback.Message(zceCrc, ZipCoreTexts::Crc(name));
        FCallback.Notify(zcaCrcError, crc, entry.Header.Crc, name);
    }
    if (outcome == TUnzOutcome::Stopped)
        FCallback.Message(zceStopped, ZipCoreTexts::Stopped());
    return outcome == TUnzOutcome::Whole ? 1 : 0;
}

void TUnzCoreJob::Skip(UnZipSkipTypes type, std::uint32_t code, const std::string& message, const std::string& name)
{
    FCallback.Message(code, message);
    FCallback.Notify(zcaSkipped, code, type, name);
}

bool TUnzCoreJob::WantedOnDisk(const TZipCentralEntry& entry, const std::string& name, const std::string& path)
{
    const bool exists = SomethingAt(path);
    const std::uint32_t stamp = ZipDosStamp(entry.Header.Date, entry.Header.Time);
    const int age = exists ? FileAge(path) : -1;
    const bool existingOlder = exists && age != -1 && static_cast<std::uint32_t>(age) < stamp;
    if (FRecord.Update || FRecord.Freshen) {
        if (!exists)
            return FRecord.Update != 0;
        if (!existingOlder) {
            FCallback.Notify(zcaSkipped, 0, stNotNewer, name);
            return false;
        }
        return true;
    }
    if (!exists || FRecord.OverWrite)
        return true;
    FCallback.Notify(zcaOverwrite, existingOlder ? 1 : 0, 0, name);
    if (FCallback.AnswerSize() != 0)
        return true;
    FCallback.Notify(zcaSkipped, 0, stFileExists, name);
    return false;
}

std::optional<TZipCryptKeys> TUnzCoreJob::KeysFor(const TZipCentralEntry& entry, const std::string& name,
                                                  std::int64_t dataOffset, bool& found)
{
    found = true;
    if (!(entry.Header.Flags & ZipFlagEncrypted))
        return std::nullopt;
    std::uint8_t header[ZipCryptHeaderSize];
    if (entry.Header.CompressedSize < ZipCryptHeaderSize || !FFile->ReadAt(dataOffset, header, sizeof header)) {
        found = false;
        FCallback.Message(zceBadArchive, ZipCoreTexts::BadArchive(FArchiveName));
        return std::nullopt;
    }
    const std::uint8_t check = ZipCryptCheckByte(entry.Header.Flags, entry.Header.Crc, entry.Header.Time);
    auto tryPassword = [&](const std::string& password) -> std::optional<TZipCryptKeys> {
        TZipCryptKeys keys(password);
        std::uint8_t copy[ZipCryptHeaderSize];
        std::memcpy(copy, header, sizeof copy);
        if (!keys.CheckHeader(copy, check))
            return std::nullopt;
        FGoodPassword = password;
        FHaveGoodPassword = true;
        return keys;
    };
    std::vector<std::string> known;
    if (FHaveGoodPassword)
        known.push_back(FGoodPassword);
    if (FRecord.Password != nullptr && FRecord.Password[0] != '\0')
        known.emplace_back(FRecord.Password);
    for (const std::string& password : known)
        if (std::optional<TZipCryptKeys> keys = tryPassword(password))
            return keys;
    for (std::uint32_t asked = 0; asked < FRecord.PasswordReqCount && !FCallback.Stopped(); ++asked) {
        FCallback.Notify(zcaPassword, 0, FRecord.PasswordReqCount - asked, name);
        if (FCallback.AnswerCode() != 1)
            break;
        if (std::optional<TZipCryptKeys> keys = tryPassword(FCallback.AnswerText()))
            return keys;
    }
    found = false;
    if (!FCallback.Stopped())
        Skip(stPassword, zcePassword, ZipCoreTexts::Password(name), name);
    return std::nullopt;
}

TUnzOutcome TUnzCoreJob::Decode(const TZipCentralEntry& entry, std::int64_t dataOffset,
                                std::optional<TZipCryptKeys> keys, const TUnzOutput::TWriter& writer,
                                std::uint32_t& crc)
{
    const bool encrypted = keys.has_value();
    const std::uint32_t headerBytes = encrypted ? ZipCryptHeaderSize : 0;
    TUnzEntryBytes bytes(*FFile, dataOffset + headerBytes, entry.Header.CompressedSize - headerBytes, std::move(keys));
    TUnzOutput output(entry.Header.UncompressedSize, writer, FCallback);
    TUnzOutcome outcome = TUnzOutcome::Whole;
    try {
        switch (entry.Header.Method) {
        case ZipMethodStored:
            DecodeStored(bytes, output);
            break;
        case ZipMethodDeflated:
            DecodeDeflated(bytes, output);
            break;
        default:
            DecodeOldMethod(bytes, output, entry.Header);
            break;
        }
    } catch (const TUnzAbort& abort) {
        outcome = abort.Outcome;
    }
    crc = output.Crc();
    if (outcome == TUnzOutcome::Whole &&
        (output.Written() != entry.Header.UncompressedSize || crc != entry.Header.Crc))
        outcome = TUnzOutcome::Damaged;
    return outcome;
}

bool TUnzCoreJob::KeepAfterCrcError(const TZipCentralEntry& entry, std::uint32_t crc, const std::string& name)
{
    FCallback.Message(zceCrc, ZipCoreTexts::Crc(name));
    FCallback.Notify(zcaCrcError, crc, entry.Header.Crc, name);
    // Without a handler the answer is 2: the file stays, as the Windows library left it.
    const std::uint32_t answer = FCallback.Assigned() ? FCallback.AnswerCode() : 2;
    return answer == 1 || answer == 2;
}

// The file whose data is being decoded, committed only when it is whole (or kept on request).
class TUnzTarget {
public:
    explicit TUnzTarget(const std::string& path) : FFile(std::make_unique<TAtomicFileStream>(path)) {}

    TUnzOutput::TWriter Writer()
    {
        return [this](const std::uint8_t* data, std::size_t size) {
            FFile->WriteBuffer(data, static_cast<int>(size));
        };
    }

    // Time and permissions, then the rename over the target.
    void Commit(const TZipCentralEntry& entry)
    {
        const int handle = FFile->Handle();
        FileSetDate(handle, static_cast<int>(ZipDosStamp(entry.Header.Date, entry.Header.Time)));
        const std::uint32_t unixMode = entry.ExternalAttributes >> 16;
        struct stat info {};
        if (entry.MadeBySystem == ZipHostUnix && unixMode != 0)
            fchmod(handle, unixMode & 0777);
        else if ((entry.ExternalAttributes & faReadOnly) && fstat(handle, &info) == 0)
            fchmod(handle, info.st_mode & 0777 & ~S_IWUSR);
        FFile->Commit(TAtomicCommit::Unflushed);
    }

private:
    std::unique_ptr<TAtomicFileStream> FFile;
};

bool TUnzCoreJob::ProcessEntry(const TZipCentralEntry& entry)
{
    const std::string name = AnsiName(entry);
    const bool toDisk = !FRecord.Test;
    if (IsUnsafeZipName(name) || IsSymbolicLinkEntry(entry)) {
        Skip(stUnsafeName, zceUnsafeName, ZipCoreTexts::UnsafeName(name), name);
        return false;
    }
    if (IsFolderName(name)) {
        if (toDisk && FRecord.DirNames)
            ForceDirectories(FBase + ZipForwardSlashes(name));
        return false;
    }
    const std::string relative = FRecord.DirNames ? ZipForwardSlashes(name) : ZipBareName(name);
    const std::string path = FBase + relative;
    if (relative.empty() || (toDisk && !WantedOnDisk(entry, name, path)))
        return false;
    if (FCallback.Stopped() || FCallback.Notify(zcaFileBegins, 0, entry.Header.UncompressedSize, name))
        return false;
    if (!IsSupportedMethod(entry.Header.Method)) {
        Skip(stUnsupportedMethod, zceMethod, ZipCoreTexts::Method(entry.Header.Method, name), name);
        return false;
    }
    std::int64_t dataOffset = 0;
    if (!LocateZipEntryData(*FFile, entry, dataOffset)) {
        FCallback.Message(zceBadArchive, ZipCoreTexts::BadArchive(FArchiveName));
        return false;
    }
    bool found = true;
    std::optional<TZipCryptKeys> keys = KeysFor(entry, name, dataOffset, found);
    if (!found)
        return false;

    std::unique_ptr<TUnzTarget> target;
    if (toDisk) {
        try {
            ForceDirectoriesOrRaise(ExtractFilePath(path));
            target = std::make_unique<TUnzTarget>(path);
        } catch (const Exception&) {
            Skip(stWriteError, zceCannotWriteFile, ZipCoreTexts::CannotWriteFile(path), name);
            return false;
        }
    }
    std::uint32_t crc = 0;
    const TUnzOutcome outcome = Decode(entry, dataOffset, std::move(keys),
                                       target ? target->Writer() : TUnzOutput::TWriter(), crc);
    if (outcome == TUnzOutcome::Stopped)
        return false; // the temporary goes with the target
    if (outcome == TUnzOutcome::WriteFailed) {
        Skip(stWriteError, zceCannotWriteFile, ZipCoreTexts::CannotWriteFile(path), name);
        return false;
    }
    const bool whole = outcome == TUnzOutcome::Whole;
    if (!whole && !KeepAfterCrcError(entry, crc, name)) {
        if (toDisk)
            FCallback.Notify(zcaSkipped, zceCrc, stCrcError, name);
        return false;
    }
    if (target) {
        try {
            target->Commit(entry);
            FWroteFiles = true;
        } catch (const Exception&) {
            Skip(stWriteError, zceCannotWriteFile, ZipCoreTexts::CannotWriteFile(path), name);
            return false;
        }
    }
    if (whole && Verbose())
        FCallback.Message(zceNote, toDisk ? ZipCoreTexts::Extracted(name) : ZipCoreTexts::Tested(name));
    return whole;
}

} // namespace

int UnzCoreExec(TUnzipCmdRecord* record)
{
    if (record == nullptr)
        return 0;
    if (record->Version != ZipCoreRecordVersion || record->Seven != ZipCoreEndMarker) {
        TZipCoreCallback(record->Callback, record->Handle, record->Caller)
            .Message(zceBadRecord, ZipCoreTexts::BadRecord());
        return 0;
    }
    try {
        TUnzCoreJob job(*record);
        return job.Run();
    } catch (const std::bad_alloc&) {
        TZipCoreCallback(record->Callback, record->Handle, record->Caller)
            .Message(zceNoMemory, ZipCoreTexts::NoMemory());
    } catch (...) {
        // Nothing may cross the library's edge.
        TZipCoreCallback(record->Callback, record->Handle, record->Caller)
            .Message(zceBadArchive, ZipCoreTexts::BadArchive(record->ArchiveName ? record->ArchiveName : ""));
    }
    return 0;
}

int GetUnzCoreVersion()
{
    return ZipCoreLibraryVersion;
}
