#include "archive/Zip.h"

#include "archive/ZipFormat.h"
#include "platform/rtl/Files.h"
#include "platform/rtl/Streams.h"

#include <algorithm>
#include <map>
#include <new>
#include <vector>

#include <sys/stat.h>

namespace {

constexpr std::size_t BufferSize = 10240;
constexpr std::int64_t MaxMemberSize = 0xFFFFFFFFll;
constexpr std::uint16_t MaxMembers = 0xFFFF;
constexpr std::size_t MaxNameLength = 0xFFFF;
// Plain, read-only, hidden and archive files; no system files, no folders.
constexpr int ListedAttributes = faReadOnly | faHidden | faArchive;

struct TMember {
    std::string Folder; // with its trailing separator
    std::string Name;   // the bare name, as the archive stores it
    std::int64_t Size = 0;
    std::uint16_t Date = 0;
    std::uint16_t Time = 0;
};

struct TWrittenMember {
    TZipLocalHeader Header;
    std::string Name;
    std::int64_t Offset = 0;
};

// A file is the archive itself when it is the same file on disk, whatever its name.
struct TFileIdentity {
    dev_t Device = 0;
    ino_t Inode = 0;
    bool Valid = false;

    bool operator==(const TFileIdentity& other) const
    {
        return Valid && other.Valid && Device == other.Device && Inode == other.Inode;
    }
};

TFileIdentity IdentityOfPath(const std::string& fileName)
{
    struct stat info;
    if (stat(ResolvePath(fileName).c_str(), &info) != 0)
        return {};
    return {info.st_dev, info.st_ino, true};
}

TFileIdentity IdentityOfHandle(int handle)
{
    struct stat info;
    if (fstat(handle, &info) != 0)
        return {};
    return {info.st_dev, info.st_ino, true};
}

// The folder part of a Files line: up to and including its last separator or colon.
std::string LineFolder(const std::string& line)
{
    std::string::size_type last = line.find_last_of("\\/:");
    return last == std::string::npos ? std::string() : line.substr(0, last + 1);
}

// The percentage of a member's bytes taken so far, taken * 100 / size rounded with halves to
// even as the run time's Round does. It is asked once per byte, so the division is done only
// where the value can change.
class TProgressPercent {
public:
    explicit TProgressPercent(std::int64_t size) : FSize(size) {}

    std::int16_t At(std::int64_t taken)
    {
        if (taken >= FNextCheck) {
            FPercent = Exact(taken);
            // Below (percent + 0.5) * size / 100 bytes the value cannot grow.
            std::int64_t growth = ((2 * FPercent + 1) * FSize + 199) / 200;
            FNextCheck = std::max(taken + 1, growth);
        }
        return static_cast<std::int16_t>(FPercent);
    }

private:
    std::int64_t Exact(std::int64_t taken) const
    {
        if (FSize <= 0)
            return 100;
        std::int64_t scaled = taken * 100;
        std::int64_t percent = scaled / FSize;
        std::int64_t twiceRest = 2 * (scaled % FSize);
        if (twiceRest > FSize || (twiceRest == FSize && (percent & 1) != 0))
            ++percent;
        return percent;
    }

    std::int64_t FSize;
    std::int64_t FPercent = 0;
    std::int64_t FNextCheck = 0;
};

} // namespace

class TZip::TWriter {
public:
    explicit TWriter(TZip& zip) : FZip(zip) {}

    bool Run();
    TShrinkStatistics Statistics() const
    {
        return FEncoder ? FEncoder->Statistics() : TShrinkStatistics{};
    }

private:
    bool Collect(std::map<std::string, TMember>& members);
    bool WriteMember(const TMember& member);
    void WriteDirectory();
    void WriteHeader(const TZipLocalHeader& header, const std::string& name);
    void Write(const void* data, std::size_t size);
    void CutBack(std::int64_t position);

    TZip& FZip;
    std::unique_ptr<TShrinkEncoder> FEncoder;
    std::unique_ptr<TAtomicFileStream> FArchive;
    std::vector<std::uint8_t> FInput;
    std::vector<TWrittenMember> FWritten;
    TFileIdentity FArchiveIdentity;
    TFileIdentity FTempIdentity;
};

bool TZip::TWriter::Run()
{
    const std::string& arcName = FZip.ArcName();
    if (FileExists(arcName) && !FZip.Overwrite) {
        FZip.Report(ZipMessages::NoOverwrite(arcName));
        return false;
    }
    if (FZip.Files()->Count() == 0) {
        FZip.Report(ZipMessages::NoFilesForCompress);
        return false;
    }
    FArchiveIdentity = IdentityOfPath(arcName);
    std::map<std::string, TMember> members;
    bool allListed = Collect(members);

    try {
        FInput.resize(BufferSize);
    } catch (const std::bad_alloc&) {
        return false;
    }
    try {
        FEncoder = std::make_unique<TShrinkEncoder>(
            [this](const std::uint8_t* data, std::size_t size) { Write(data, size); });
    } catch (const std::bad_alloc&) {
        FZip.Report(ZipMessages::NoMemoryForLzw);
        return false;
    }
    if (members.empty()) {
        FZip.Report(ZipMessages::NoFilesForCompress);
        return false;
    }

    try {
        FArchive = std::make_unique<TAtomicFileStream>(arcName);
    } catch (const Exception&) {
        FZip.Report(ZipMessages::CannotOpenArchive(arcName));
        return false;
    }
    FTempIdentity = IdentityOfHandle(FArchive->Handle());

    bool complete = allListed;
    for (const auto& entry : members)
        if (!WriteMember(entry.second))
            complete = false;
    WriteDirectory();
    FArchive->Commit();
    return complete;
}

bool TZip::TWriter::Collect(std::map<std::string, TMember>& members)
{
    bool allListed = true;
    TStringList& files = *FZip.Files();
    for (int i = 0; i < files.Count(); ++i) {
        const std::string line = files.Strings(i);
        if (line.empty())
            continue;
        TSearchRec search;
        if (FindFirst(line, ListedAttributes, search) != 0)
            continue; // a line naming nothing is dropped without a word
        const std::string folder = LineFolder(line);
        do {
            if (search.Attr & faDirectory)
                continue;
            std::string path = ExpandFileName(folder + search.Name);
            if (IdentityOfPath(path) == FArchiveIdentity)
                continue;
            try {
                TMember& member = members[search.Name];
                member.Folder = ExtractFilePath(path);
                member.Name = search.Name;
                member.Size = search.Size;
                member.Date = static_cast<std::uint16_t>(static_cast<unsigned>(search.Time) >> 16);
                member.Time = static_cast<std::uint16_t>(search.Time & 0xFFFF);
            } catch (const std::bad_alloc&) {
                FZip.Report(ZipMessages::NoMemoryForNames);
                allListed = false;
            }
        } while (FindNext(search) == 0);
        FindClose(search);
    }
    return allListed;
}

bool TZip::TWriter::WriteMember(const TMember& member)
{
    const std::string path = member.Folder + member.Name;
    std::int64_t listedSize = member.Size;
    if (FZip.Seams.ChangeListedSize)
        FZip.Seams.ChangeListedSize(path, listedSize);

    auto refuse = [&] {
        FZip.Report(ZipMessages::CannotOpenMember(member.Name));
        return false;
    };
    if (listedSize < 0 || listedSize > MaxMemberSize || member.Name.size() > MaxNameLength ||
        (FZip.Seams.RefuseOpen && FZip.Seams.RefuseOpen(path)))
        return refuse();
    // Only regular files: opening a pipe or a device for reading could wait forever.
    struct stat info;
    if (stat(ResolvePath(path).c_str(), &info) != 0 || !S_ISREG(info.st_mode))
        return refuse();
    std::unique_ptr<TFileStream> input;
    try {
        input = std::make_unique<TFileStream>(path, fmOpenRead | fmShareDenyWrite);
    } catch (const EStreamError&) {
        return refuse();
    }
    TFileIdentity identity = IdentityOfHandle(input->Handle());
    if (identity == FTempIdentity || identity == FArchiveIdentity)
        return true;
    if (FWritten.size() >= MaxMembers)
        RAISE(EWriteError("Too many members for a ZIP archive"));

    const std::int64_t headerPosition = FArchive->Position();
    if (headerPosition > MaxMemberSize)
        RAISE(EWriteError("ZIP archive larger than 4 GiB"));
    TZipLocalHeader header;
    header.Method = ZipMethodShrunk;
    header.Time = member.Time;
    header.Date = member.Date;
    header.UncompressedSize = static_cast<std::uint32_t>(listedSize);
    header.NameLength = static_cast<std::uint16_t>(member.Name.size());
    WriteHeader(header, member.Name);

    FEncoder->Reset();
    TZipCrc32 crc;
    TProgressPercent progress(FZip.OnProgress ? input->Size() : 0);
    std::int64_t taken = 0;
    for (;;) {
        int count = input->Read(FInput.data(), static_cast<int>(BufferSize));
        if (count < 0)
            RAISE(EReadError("Stream read error"));
        if (count == 0)
            break;
        if (FZip.OnProgress) {
            // A copy: the handler may reassign OnProgress while it runs.
            const TZipProgress onProgress = FZip.OnProgress;
            for (int i = 0; i < count; ++i)
                onProgress(&FZip, progress.At(taken + i + 1));
        }
        taken += count;
        crc.Update(FInput.data(), static_cast<std::size_t>(count));
        FEncoder->Put(FInput.data(), static_cast<std::size_t>(count));
    }
    FEncoder->Finish();
    if (taken != listedSize) {
        // The file changed while it was being packed: its listed size no longer tells the truth.
        CutBack(headerPosition);
        return refuse();
    }

    header.Crc = crc.Value();
    const std::int64_t dataStart = headerPosition + ZipLocalHeaderSize + member.Name.size();
    const std::int64_t compressedSize = FArchive->Position() - dataStart;
    if (compressedSize >= listedSize) {
        header.Method = ZipMethodStored;
        header.CompressedSize = static_cast<std::uint32_t>(listedSize);
        FArchive->SetPosition(headerPosition);
        WriteHeader(header, member.Name);
        input->SetPosition(0);
        TZipCrc32 copyCrc;
        std::int64_t copied = 0;
        for (;;) {
            int count = input->Read(FInput.data(), static_cast<int>(BufferSize));
            if (count < 0)
                RAISE(EReadError("Stream read error"));
            if (count == 0)
                break;
            copyCrc.Update(FInput.data(), static_cast<std::size_t>(count));
            Write(FInput.data(), static_cast<std::size_t>(count));
            copied += count;
        }
        if (copied != listedSize || copyCrc.Value() != header.Crc) {
            CutBack(headerPosition);
            return refuse();
        }
        FArchive->SetSize(FArchive->Position());
    } else {
        header.CompressedSize = static_cast<std::uint32_t>(compressedSize);
        FArchive->SetPosition(headerPosition);
        WriteHeader(header, member.Name);
        FArchive->Seek(0, soFromEnd);
    }
    FWritten.push_back({header, member.Name, headerPosition});
    return true;
}

void TZip::TWriter::WriteDirectory()
{
    const std::int64_t directoryOffset = FArchive->Position();
    if (directoryOffset > MaxMemberSize)
        RAISE(EWriteError("ZIP archive larger than 4 GiB"));
    std::uint32_t directorySize = 0;
    for (const TWrittenMember& member : FWritten) {
        std::uint8_t record[ZipCentralHeaderSize];
        EncodeCentralHeader(member.Header, static_cast<std::uint32_t>(member.Offset), record);
        Write(record, sizeof record);
        Write(member.Name.data(), member.Name.size());
        directorySize += static_cast<std::uint32_t>(ZipCentralHeaderSize + member.Name.size());
    }
    std::uint8_t end[ZipEndRecordSize];
    EncodeEndRecord(static_cast<std::uint16_t>(FWritten.size()), directorySize,
                    static_cast<std::uint32_t>(directoryOffset), end);
    Write(end, sizeof end);
}

void TZip::TWriter::WriteHeader(const TZipLocalHeader& header, const std::string& name)
{
    std::uint8_t bytes[ZipLocalHeaderSize];
    EncodeLocalHeader(header, bytes);
    Write(bytes, sizeof bytes);
    Write(name.data(), name.size());
}

void TZip::TWriter::Write(const void* data, std::size_t size)
{
    if (FZip.Seams.FailWrite && FZip.Seams.FailWrite(FArchive->Position()))
        RAISE(EWriteError("Stream write error"));
    FArchive->WriteBuffer(data, static_cast<int>(size));
}

void TZip::TWriter::CutBack(std::int64_t position)
{
    FArchive->SetSize(position);
    FArchive->SetPosition(position);
}

TZip::TZip(TComponent* AOwner) : TComponent(AOwner), FFiles(std::make_unique<TStringList>()) {}

TZip::~TZip() = default;

bool TZip::Compress()
{
    TWriter writer(*this);
    bool result = false;
    try {
        result = writer.Run();
    } catch (...) {
        result = false;
    }
    FStatistics = writer.Statistics();
    return result;
}

void TZip::Report(const std::string& message)
{
    if (OnError) {
        const TZipError handler = OnError; // the handler may reassign OnError while it runs
        handler(this, message);
    } else {
        ZipShowWarning(message);
    }
}
