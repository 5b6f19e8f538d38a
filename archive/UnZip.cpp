#include "archive/UnZip.h"

#include "archive/Explode.h"
#include "archive/Unreduce.h"
#include "archive/Unshrink.h"
#include "archive/ZipBitReader.h"
#include "archive/ZipFormat.h"
#include "archive/ZipNames.h"
#include "platform/rtl/Files.h"
#include "platform/rtl/Streams.h"
#include "platform/rtl/SysErrors.h"

#include <algorithm>
#include <vector>

#include <unistd.h>

namespace {

constexpr std::size_t MaxKeptName = 255;

// The run time's I/O number for the last error: a full disk is its write error, 101.
int LastInOutError()
{
    std::uint32_t code = GetLastError();
    if (code == ERROR_DISK_FULL || code == 39 /* ERROR_HANDLE_DISK_FULL */)
        return 101;
    return static_cast<int>(code);
}

class TArchiveSource : public TZipByteSource {
public:
    explicit TArchiveSource(int handle) : FHandle(handle)
    {
        FSize = FileSeek(handle, 0, fsFromEnd);
        FileSeek(handle, 0, fsFromBeginning);
    }

    std::size_t Read(std::uint8_t* buffer, std::size_t size) override
    {
        int count = FileRead(FHandle, buffer, static_cast<int>(size));
        if (count < 0)
            RAISE(EReadError("Stream read error"));
        return static_cast<std::size_t>(count);
    }

    bool Skip(std::uint64_t size) override
    {
        std::int64_t position = FileSeek(FHandle, 0, fsFromCurrent);
        if (position < 0)
            return false;
        std::int64_t target = position + static_cast<std::int64_t>(size);
        if (target > FSize) {
            FileSeek(FHandle, 0, fsFromEnd);
            return false;
        }
        FileSeek(FHandle, target, fsFromBeginning);
        return true;
    }

private:
    int FHandle;
    std::int64_t FSize = 0;
};

class THandleGuard {
public:
    explicit THandleGuard(int handle) : FHandle(handle) {}
    ~THandleGuard() { FileClose(FHandle); }
    THandleGuard(const THandleGuard&) = delete;
    THandleGuard& operator=(const THandleGuard&) = delete;

private:
    int FHandle;
};

// A member name or a mask as the mask test compares them, expanded against the current folder.
struct TMaskParts {
    std::string Folder;
    std::string Name;      // up to the first dot
    std::string Extension; // at most three characters after the last dot

    explicit TMaskParts(const std::string& text)
    {
        std::string expanded = ExpandFileName(text);
        Folder = ExtractFilePath(expanded);
        std::string fileName = expanded.substr(Folder.size());
        Name = fileName.substr(0, fileName.find('.'));
        std::string::size_type dot = fileName.rfind('.');
        if (dot != std::string::npos)
            Extension = fileName.substr(dot + 1, 3);
    }

    bool Matches(const TMaskParts& other) const
    {
        return Folder == other.Folder && MatchesBareName(other);
    }

    bool MatchesBareName(const TMaskParts& other) const
    {
        return ZipWildcardMatch(Name, other.Name) && ZipWildcardMatch(Extension, other.Extension);
    }
};

bool HasFolderPart(const std::string& name)
{
    return name.find_first_of("/\\") != std::string::npos;
}

// A stored folder ("sub/"): it holds no data of its own.
bool IsFolderEntry(const std::string& name)
{
    return !name.empty() && (name.back() == '/' || name.back() == '\\');
}

// How many held reports one warning box shows; the others go to the daily log.
constexpr std::size_t ReportsInOneBox = 10;

} // namespace

class TUnZip::TWalker {
public:
    explicit TWalker(TUnZip& unzip) : FUnZip(unzip) {}

    bool Run();

private:
    // False when the walk must end.
    bool NextMember(TZipInput& input, TZipBitReader& reader);
    bool ProcessMember(TZipBitReader& reader, const TZipLocalHeader& header,
                       const std::string& name);
    bool Wanted(const std::string& name) const;
    // Left out only because of its folder part: the masks would take its bare name.
    bool WantedButInSubFolder(const std::string& name) const;
    bool SkipMember(TZipBitReader& reader);
    // Decodes into the temporary file; true when the member came out whole and correct.
    bool ExtractWhole(TZipBitReader& reader, TZipMemberOutput& output,
                      const TZipLocalHeader& header, const std::string& name,
                      const std::string& target);
    TDecodeResult Decode(TZipBitReader& reader, TZipMemberOutput& output,
                         const TZipLocalHeader& header, const std::string& name);
    void LeftOut(const std::string& name);
    void Report(const std::string& message) { FUnZip.Report(message); }
    bool FlushToDisk();

    TUnZip& FUnZip;
    std::vector<TMaskParts> FMasks;
    TZipReport FReport;
    int FSubFolderMembers = 0;
    std::string FFirstSubFolderMember;
};

bool TUnZip::TWalker::Run()
{
    FReport = [this](const std::string& message) { Report(message); };
    if (!FileExists(FUnZip.ArcName()))
        return true;
    const std::string& folder = FUnZip.ExtrPath();
    if (folder.empty() || (!DirectoryExists(folder) && !ForceDirectories(folder)))
        return false;
    if (access(ResolvePath(folder).c_str(), W_OK | X_OK) != 0)
        return false; // nothing could be written there
    if (FUnZip.Files()->Count() == 0) {
        FMasks.emplace_back("*.*");
    } else {
        for (int i = 0; i < FUnZip.Files()->Count(); ++i)
            FMasks.emplace_back(FUnZip.Files()->Strings(i));
    }

    int handle = FileOpen(FUnZip.ArcName(), fmOpenRead | fmShareDenyWrite);
    if (handle < 0) {
        Report(ZipMessages::InOutError(LastInOutError()));
        return false;
    }
    THandleGuard guard(handle);
    TArchiveSource source(handle);
    TZipInput input(source);
    TZipProgressSink progress;
    if (FUnZip.OnProgress)
        progress = [this, handler = FUnZip.OnProgress](std::int16_t percent) {
            handler(&FUnZip, percent);
        };
    TZipBitReader reader(input, progress);
    while (NextMember(input, reader)) {
    }
    if (FSubFolderMembers > 0)
        Report(ZipMessages::SubFolderMembers(FSubFolderMembers, FFirstSubFolderMember));
    return FlushToDisk();
}

bool TUnZip::TWalker::FlushToDisk()
{
    if (FUnZip.StagingFolder || FUnZip.FExtractedFiles.empty())
        return true;
    if (SyncFileSystemOf(FUnZip.ExtrPath()))
        return true;
    Report(ZipMessages::InOutError(LastInOutError()));
    return false;
}

void TUnZip::TWalker::LeftOut(const std::string& name)
{
    ++FUnZip.FDamagedCount;
    FUnZip.FDamagedMembers.push_back(name);
}

bool TUnZip::TWalker::NextMember(TZipInput& input, TZipBitReader& reader)
{
    std::uint8_t signature[4];
    std::size_t got = input.Read(signature, sizeof signature);
    if (got == 0)
        return false;
    if (got == sizeof signature && GetLE32(signature) == ZipCentralHeaderSignature)
        return false; // the central directory is never read
    std::uint8_t fields[ZipLocalHeaderFieldsSize];
    if (got < sizeof signature || GetLE32(signature) != ZipLocalHeaderSignature) {
        // Whatever these bytes are, no file is made from them and the walk ends here.
        Report(ZipMessages::HeaderMissing + FUnZip.ArcName());
        input.Read(fields, sizeof fields);
        ++FUnZip.FDamagedCount;
        return false;
    }
    if (input.Read(fields, sizeof fields) < sizeof fields) {
        ++FUnZip.FDamagedCount;
        return false;
    }
    TZipLocalHeader header = DecodeLocalHeader(fields);
    std::string name(header.NameLength, '\0');
    if (input.Read(reinterpret_cast<std::uint8_t*>(name.data()), name.size()) < name.size()) {
        ++FUnZip.FDamagedCount;
        return false;
    }
    if (name.size() > MaxKeptName) {
        Report(ZipMessages::BadName);
        name.resize(MaxKeptName);
    }
    if (header.ExtraLength > MaxKeptName)
        Report(ZipMessages::BadName);
    if (!input.Skip(header.ExtraLength)) {
        ++FUnZip.FDamagedCount;
        return false;
    }
    return ProcessMember(reader, header, name);
}

bool TUnZip::TWalker::SkipMember(TZipBitReader& reader)
{
    reader.SkipRest();
    if (reader.Truncated()) {
        ++FUnZip.FDamagedCount;
        return false;
    }
    return true;
}

bool TUnZip::TWalker::Wanted(const std::string& name) const
{
    TMaskParts member(name);
    for (const TMaskParts& mask : FMasks)
        if (mask.Matches(member))
            return true;
    return false;
}

bool TUnZip::TWalker::WantedButInSubFolder(const std::string& name) const
{
    if (!HasFolderPart(name) || IsFolderEntry(name))
        return false;
    TMaskParts member(name);
    for (const TMaskParts& mask : FMasks)
        if (mask.MatchesBareName(member))
            return true;
    return false;
}

bool TUnZip::TWalker::ProcessMember(TZipBitReader& reader, const TZipLocalHeader& header,
                                    const std::string& name)
{
    reader.Start(header.CompressedSize);
    if (IsUnsafeZipName(name)) {
        Report(ZipMessages::BadName);
        LeftOut(name);
        reader.SkipRest();
        return !reader.Truncated();
    }
    if (!Wanted(name)) {
        if (WantedButInSubFolder(name)) {
            if (FSubFolderMembers++ == 0)
                FFirstSubFolderMember = name;
            LeftOut(name);
        }
        return SkipMember(reader);
    }
    const std::string target = FUnZip.ExtrPath() + name;
    if (!FUnZip.Overwrite && FileExists(target))
        return SkipMember(reader);

    std::unique_ptr<TAtomicFileStream> file;
    try {
        file = std::make_unique<TAtomicFileStream>(target);
    } catch (const Exception&) {
        Report(ZipMessages::InOutError(LastInOutError()));
        LeftOut(name);
        return SkipMember(reader);
    }
    TZipMemberOutput output([&file](const std::uint8_t* data, std::size_t size) {
        file->WriteBuffer(data, static_cast<int>(size));
    });
    if (!ExtractWhole(reader, output, header, name, target)) {
        // The temporary goes with the stream: an existing file of that name stays as it was.
        LeftOut(name);
        return !reader.Truncated();
    }
    output.Flush();
    FileSetDate(file->Handle(), static_cast<int>((static_cast<std::uint32_t>(header.Date) << 16) |
                                                 header.Time));
    try {
        // Scratch copies never need the disk; other folders are flushed once at the end. A file
        // renamed over another makes the file system write its data at once, which keeps a
        // user's file safe in a crash; a scratch copy is removed first and spares that wait.
        if (FUnZip.StagingFolder)
            DeleteFile(target);
        file->Commit(TAtomicCommit::Unflushed);
        FUnZip.FExtractedFiles.push_back(target);
    } catch (const Exception&) {
        Report(ZipMessages::InOutError(LastInOutError()));
        LeftOut(name);
    }
    return true;
}

bool TUnZip::TWalker::ExtractWhole(TZipBitReader& reader, TZipMemberOutput& output,
                                   const TZipLocalHeader& header, const std::string& name,
                                   const std::string& target)
{
    TDecodeResult result = Decode(reader, output, header, name);
    reader.SkipRest();
    // Unknown methods and tables that could not be allocated leave the data unread: no CRC.
    bool knownMethod = header.Method <= ZipMethodImploded;
    if (knownMethod && result != TDecodeResult::NoMemory && output.Crc() != header.Crc) {
        Report(ZipMessages::BadCrc(target, header.Crc, output.Crc()));
        return false;
    }
    if (result != TDecodeResult::Complete)
        return false; // the decoder has said why
    // The bytes may be right and still fewer or more than the header promised.
    if (reader.Truncated() || output.Written() != header.UncompressedSize) {
        Report(ZipMessages::BadSize(target));
        return false;
    }
    return true;
}

TDecodeResult TUnZip::TWalker::Decode(TZipBitReader& reader, TZipMemberOutput& output,
                                      const TZipLocalHeader& header, const std::string& name)
{
    switch (header.Method) {
    case ZipMethodStored:
        for (int byte = reader.ReadByte(); byte != TZipBitReader::EndMark;
             byte = reader.ReadByte())
            output.Put(static_cast<std::uint8_t>(byte));
        return TDecodeResult::Complete;
    case ZipMethodShrunk:
        return Unshrink(reader, output, header.UncompressedSize, FReport);
    case 2:
    case 3:
    case 4:
    case 5:
        return Unreduce(reader, output, header.Method, header.UncompressedSize, FReport);
    case ZipMethodImploded:
        return Explode(reader, output, header.Flags, header.UncompressedSize, FReport);
    default:
        Report(ZipMessages::UnknownMethod(header.Method, name));
        return TDecodeResult::Damaged;
    }
}

TUnZip::TUnZip(TComponent* AOwner) : TComponent(AOwner), FFiles(std::make_unique<TStringList>())
{
}

TUnZip::~TUnZip() = default;

void TUnZip::SetExtrPath(const std::string& value)
{
    FExtrPath = value;
    if (!FExtrPath.empty() && FExtrPath.back() != '\\' && FExtrPath.back() != '/')
        FExtrPath += '\\';
}

bool TUnZip::Extract()
{
    FDamagedCount = 0;
    FDamagedMembers.clear();
    FExtractedFiles.clear();
    FHeldReports.clear();
    bool done = false;
    try {
        TWalker walker(*this);
        done = walker.Run();
    } catch (...) {
        done = false;
    }
    ShowHeldReports();
    return done;
}

void TUnZip::Report(const std::string& message)
{
    if (OnError) {
        const TZipError handler = OnError; // the handler may reassign OnError while it runs
        handler(this, message);
    } else {
        FHeldReports.push_back(message);
    }
}

// One box for the whole archive, however many members were damaged: the first reports, and the
// others written to the daily log.
void TUnZip::ShowHeldReports()
{
    if (FHeldReports.empty())
        return;
    std::vector<std::string> held;
    held.swap(FHeldReports);
    std::string text;
    const std::size_t shown = std::min(held.size(), ReportsInOneBox);
    for (std::size_t i = 0; i < shown; ++i) {
        if (i > 0)
            text += '\n';
        text += held[i];
    }
    if (held.size() > shown) {
        text += '\n';
        text += ZipMessages::MoreInTheLog(static_cast<int>(held.size() - shown));
        std::vector<std::string> rest;
        for (std::size_t i = shown; i < held.size(); ++i)
            rest.push_back(FArcName + ": " + held[i]);
        try {
            ZipWriteLog(rest);
        } catch (...) {
            // A log that cannot be written must not hide the box.
        }
    }
    try {
        ZipShowWarning(text);
    } catch (...) {
    }
}
