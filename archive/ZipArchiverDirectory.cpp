// Reading the central directory into the entry list, the archive comment, and the drive checks
// that listing and the disk operations share.

#include "archive/ZipArchiver.h"

#include "archive/ZipDirectory.h"
#include "archive/ZipNames.h"
#include "platform/gui/Screen.h"
#include "platform/os/Libraries.h"
#include "platform/os/Volumes.h"
#include "platform/rtl/Codepage.h"
#include "platform/rtl/Files.h"

#include <cstring>

#include <unistd.h>

namespace {

constexpr std::uint32_t ZipListedEndRecordSize = 22;
constexpr std::size_t ZipListWindow = 64 * 1024;
constexpr std::int64_t ZipSectorSize = 512;

// Sequential reads of the directory through a window of the file, so that a directory of
// thousands of entries costs a few reads; nothing is ever read or allocated past the file's end.
class TZipListReader {
public:
    explicit TZipListReader(const TZipArchiveFile& file) : FFile(file) {}

    bool Read(std::int64_t offset, void* out, std::size_t size)
    {
        if (offset < 0 || offset > FFile.Size() || static_cast<std::uint64_t>(FFile.Size() - offset) < size)
            return false;
        if (offset < FStart || offset + static_cast<std::int64_t>(size) > FStart + static_cast<std::int64_t>(FWindow.size())) {
            const std::size_t wanted = std::max(size, ZipListWindow);
            FWindow.resize(static_cast<std::size_t>(std::min<std::int64_t>(wanted, FFile.Size() - offset)));
            FStart = offset;
            if (!FFile.ReadAt(offset, FWindow.data(), FWindow.size())) {
                FWindow.clear();
                return false;
            }
        }
        if (size > 0)
            std::memcpy(out, FWindow.data() + (offset - FStart), size);
        return true;
    }

private:
    const TZipArchiveFile& FFile;
    std::vector<std::uint8_t> FWindow;
    std::int64_t FStart = 0;
};

// The disk number a "PKBACK# nnn" label gives; 0 for any other label.
int ZipLabelDiskNumber(const std::string& label)
{
    const std::string prefix = "PKBACK# ";
    if (label.compare(0, prefix.size(), prefix) != 0 || label.size() < prefix.size() + 3)
        return 0;
    int number = 0;
    for (std::size_t i = prefix.size(); i < prefix.size() + 3; ++i) {
        if (label[i] < '0' || label[i] > '9')
            return 0;
        number = number * 10 + (label[i] - '0');
    }
    return number;
}

bool ZipHasDriveLetter(const std::string& drive) { return drive.size() >= 2 && drive[1] == ':'; }

// The free and total bytes as the system measures them: the extended query when the system
// offers it, else clusters times their size.
bool ZipSystemFreeAndTotal(const std::string& root, std::int64_t& freeBytes, std::int64_t& totalBytes)
{
    using TFreeSpaceEx = BOOL (*)(const char*, ULONGLONG*, ULONGLONG*, ULONGLONG*);
    const HMODULE kernel = LoadLibraryA("kernel32");
    const auto extended = kernel ? reinterpret_cast<TFreeSpaceEx>(GetProcAddress(kernel, "GetDiskFreeSpaceExA")) : nullptr;
    ULONGLONG available = 0;
    ULONGLONG total = 0;
    ULONGLONG free = 0;
    const bool measured = extended && extended(root.c_str(), &available, &total, &free);
    if (kernel)
        FreeLibrary(kernel);
    if (measured) {
        freeBytes = static_cast<std::int64_t>(available);
        totalBytes = static_cast<std::int64_t>(total);
        return true;
    }
    DWORD sectorsPerCluster = 0;
    DWORD bytesPerSector = 0;
    DWORD freeClusters = 0;
    DWORD totalClusters = 0;
    if (!GetDiskFreeSpaceA(root.c_str(), &sectorsPerCluster, &bytesPerSector, &freeClusters, &totalClusters))
        return false;
    const std::int64_t cluster = static_cast<std::int64_t>(sectorsPerCluster) * bytesPerSector;
    freeBytes = cluster * freeClusters;
    totalBytes = cluster * totalClusters;
    return true;
}

ZipEndOfCentral ZipListedEndRecord(const TZipEndRecord& record)
{
    ZipEndOfCentral end;
    end.ThisDiskNo = record.DiskNumber;
    end.CentralDiskNo = record.DirectoryDisk;
    end.CentralEntries = record.EntriesOnDisk;
    end.TotalEntries = record.TotalEntries;
    end.CentralSize = record.DirectorySize;
    end.CentralOffset = record.DirectoryOffset;
    end.ZipCommentLen = record.CommentLength;
    return end;
}

// True when the bytes after the comment are a sector's zero padding, which needs no warning.
bool ZipTrailIsPadding(const TZipArchiveFile& file, std::int64_t archiveSize)
{
    const std::int64_t trail = file.Size() - archiveSize;
    if (file.Size() % ZipSectorSize != 0 || trail >= ZipSectorSize)
        return false;
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(trail));
    if (!file.ReadAt(archiveSize, bytes.data(), bytes.size()))
        return false;
    for (std::uint8_t b : bytes)
        if (b != 0)
            return false;
    return true;
}

} // namespace

TZipHourglass::TZipHourglass() : FSaved(Screen ? Screen->Cursor() : crDefault)
{
    if (Screen)
        Screen->SetCursor(crHourGlass);
}

TZipHourglass::~TZipHourglass()
{
    if (Screen)
        Screen->SetCursor(FSaved);
}

TZipDriveServices TZipDriveServices::System()
{
    TZipDriveServices services;
    services.VolumeRoot = [](const std::string& path) {
        std::string root;
        return GetVolumePathName(path, root) ? root : std::string();
    };
    // A mounted medium is not swapped under a running program and its label cannot be written:
    // a removable drive is used as a fixed one.
    services.DriveType = [](const std::string& root) {
        const UINT type = GetDriveTypeA(root.c_str());
        return type == DRIVE_REMOVABLE ? DRIVE_FIXED : type;
    };
    services.FreeAndTotal = ZipSystemFreeAndTotal;
    services.VolumeInformation = [](const std::string& root, std::string& label, DWORD& serial) -> DWORD {
        TVolumeInformation information;
        if (!GetVolumeInformation(root, information))
            return GetLastError() != 0 ? GetLastError() : ERROR_GEN_FAILURE;
        label = information.Label;
        serial = information.SerialNumber;
        return 0;
    };
    services.SetLabel = [](const std::string& root, const std::string& label) {
        return SetVolumeLabelA(root.c_str(), label.c_str()) != FALSE;
    };
    return services;
}

// --- Drives ------------------------------------------------------------------------------------

void TZipArchiver::DiskFreeAndSize(int which)
{
    std::int64_t freeBytes = -1;
    std::int64_t totalBytes = -1;
    if (DriveServices.FreeAndTotal && !DriveServices.FreeAndTotal(WorkDrive, freeBytes, totalBytes)) {
        freeBytes = -1;
        totalBytes = -1;
    }
    if (which & 1)
        DiskFree = freeBytes;
    if (which & 2)
        DiskSize = totalBytes;
}

bool TZipArchiver::IsDiskPresent()
{
    // Only a path with a drive letter has a drive to check; others are checked as a share is.
    const bool lettered = ZipHasDriveLetter(WorkDrive);
    if (lettered) {
        const char letter = static_cast<char>(std::toupper(static_cast<unsigned char>(WorkDrive[0])));
        if (letter < 'A' || letter > 'Z')
            throw EZipBuilder(11003, WorkDrive);
        const UINT type = DriveServices.DriveType ? DriveServices.DriveType(WorkDrive) : DRIVE_UNKNOWN;
        if (type == DRIVE_UNKNOWN || type == DRIVE_NO_ROOT_DIR)
            throw EZipBuilder(11004, WorkDrive);
    }
    const UINT savedMode = SetErrorMode(SEM_FAILCRITICALERRORS);
    DiskFreeAndSize(3);
    std::string label;
    DWORD serial = 0;
    const DWORD failure = DriveServices.VolumeInformation ? DriveServices.VolumeInformation(WorkDrive, label, serial)
                                                          : ERROR_NOT_SUPPORTED;
    SetErrorMode(savedMode);
    if (failure != 0)
        return failure == ERROR_GEN_FAILURE && AddOptions.Contains(AddDiskSpanErase);
    VolumeLabel = label;
    VolumeSerial = serial;
    return !lettered || DiskSize != -1;
}

// --- End record --------------------------------------------------------------------------------

bool TZipArchiver::CheckIfLastDisk(ZipEndOfCentral& endRecord, bool raise)
{
    RawComment.clear();
    EndRecordOffset = 0;
    InHandle = std::make_unique<TZipArchiveFile>(WorkFileName);
    if (!InHandle->IsOpen()) {
        if (raise)
            throw EZipBuilder(11001, true);
        ShowZipMessage(11002, "");
        return false;
    }
    const int labelDisk = ZipLabelDiskNumber(VolumeLabel);
    std::uint8_t start[8];
    const bool firstDisk = InHandle->ReadAt(0, start, sizeof start) && GetLE32(start) == ZipSpanSignature &&
                           GetLE32(start + 4) == ZipLocalHeaderSignature;
    if (firstDisk)
        Spanned = true;
    TZipEndOfArchive end;
    const TZipDirectoryFailure failure = FindZipEndRecord(*InHandle, end);
    ArchiveSize = static_cast<std::uint32_t>(end.PhysicalSize);
    PhysicalSize = static_cast<std::uint32_t>(end.PhysicalSize);
    if (failure == TZipDirectoryFailure::None) {
        endRecord = ZipListedEndRecord(end.Record);
        EndRecordOffset = static_cast<std::uint32_t>(end.EndRecordOffset);
        ArchiveSize = static_cast<std::uint32_t>(end.ArchiveSize);
        if (end.ArchiveSize != end.PhysicalSize && !ZipTrailIsPadding(*InHandle, end.ArchiveSize))
            ShowZipMessage(10204, "");
        RawComment = end.RawComment;
        return true;
    }
    if (!raise)
        return false;
    if (failure != TZipDirectoryFailure::EndRecordMissing)
        throw EZipBuilder(11011, true);
    if (!firstDisk && labelDisk != 0)
        throw EZipBuilder(11038, labelDisk);
    if (!firstDisk)
        throw EZipBuilder(11036, true);
    throw EZipBuilder(labelDisk == 1 ? 11037 : 11045, true);
}

// --- Listing -----------------------------------------------------------------------------------

void TZipArchiver::List()
{
    if (ComponentState().Contains(csDesigning))
        return;
    FreeZipDirEntryRecords();
    PhysicalSize = 0;
    CentralDirOffset = 0;
    FirstHeaderOffset = 0;
    DirOnlyCount = 0;
    Spanned = false;
    if (!FileExists(FZipFileName)) {
        if (OnDirUpdate)
            OnDirUpdate(this);
        return;
    }
    bool failed = true;
    {
        TZipHourglass hourglass;
        try {
            WorkFileName = FZipFileName;
            WorkDrive = DriveServices.VolumeRoot ? DriveServices.VolumeRoot(ExpandFileName(FZipFileName)) : "";
            if (!IsDiskPresent())
                throw EZipBuilder(11004, WorkDrive);
            ZipEndOfCentral end;
            CheckIfLastDisk(end, true);
            LastDiskNumber = end.ThisDiskNo;
            if (LastDiskNumber != 0)
                Spanned = true;
            ReadCentralDirectory(end);
            failed = false;
        } catch (const EZipBuilder& error) {
            ShowExceptionError(error);
        } catch (const std::bad_alloc&) {
            ShowZipMessage(10103, "");
        } catch (const Exception& error) {
            ShowZipMessage(10202, "\n" + error.Message);
        } catch (...) {
            ShowZipMessage(10202, "");
        }
        if (failed) {
            FZipFileName.clear();
            FirstHeaderOffset = 0;
        }
        InHandle.reset();
    }
    if (OnDirUpdate)
        OnDirUpdate(this);
}

void TZipArchiver::ReadCentralDirectory(const ZipEndOfCentral& end)
{
    DiskNumber = end.ThisDiskNo;
    std::int64_t directory = 0;
    if (end.CentralDiskNo == end.ThisDiskNo) {
        directory = static_cast<std::int64_t>(ArchiveSize) - end.CentralSize - end.ZipCommentLen - ZipListedEndRecordSize;
    } else {
        GetNewDisk(end.CentralDiskNo);
        ArchiveSize = static_cast<std::uint32_t>(InHandle->Size());
        directory = end.CentralOffset;
    }
    PrefixMismatch = directory != static_cast<std::int64_t>(end.CentralOffset);
    if (PrefixMismatch)
        ShowZipMessage(10203, "");
    if (directory < 0 || directory > InHandle->Size())
        throw EZipBuilder(10201, true);
    CentralDirOffset = static_cast<std::uint32_t>(directory);
    FirstHeaderOffset = ArchiveSize == ZipListedEndRecordSize ? 0 : ArchiveSize;
    auto reader = std::make_unique<TZipListReader>(*InHandle);
    std::int64_t at = directory;
    for (int i = 0; i < end.TotalEntries; ++i) {
        std::uint8_t header[ZipCentralHeaderSize];
        while (!reader->Read(at, header, sizeof header)) {
            if (DiskNumber >= LastDiskNumber)
                throw EZipBuilder(11013, true);
            GetNewDisk(DiskNumber + 1);
            reader = std::make_unique<TZipListReader>(*InHandle);
            at = 0;
        }
        if (GetLE32(header) != ZipCentralHeaderSignature)
            throw EZipBuilder(11015, true);
        ZipDirEntry entry;
        std::memcpy(&entry.Header, header + 4, sizeof entry.Header);
        at += ZipCentralHeaderSize;
        std::string name(entry.Header.FileNameLength, '\0');
        if (!reader->Read(at, name.data(), name.size()))
            throw EZipBuilder(11017, true);
        at += static_cast<std::int64_t>(name.size());
        HostVersion = entry.Header.MadeByVersion;
        HostSystem = entry.Header.HostSystem;
        if (entry.Header.Flag & ZipFlagUtf8)
            name = Utf8ToAnsi(name);
        else
            ConvertOem2Iso(name.data(), cpdOEM2ISO);
        entry.FileName = ReplaceForwardSlash(name.c_str());
        entry.Encrypted = (entry.Header.Flag & ZipFlagEncrypted) != 0;
        entry.ExtraData.resize(entry.Header.ExtraFieldLength);
        if (!reader->Read(at, entry.ExtraData.data(), entry.ExtraData.size()))
            throw EZipBuilder(10201, true);
        at += static_cast<std::int64_t>(entry.ExtraData.size());
        std::string comment(entry.Header.FileCommentLen, '\0');
        if (!reader->Read(at, comment.data(), comment.size()))
            throw EZipBuilder(11022, true);
        at += static_cast<std::int64_t>(comment.size());
        ConvertOem2Iso(comment.data(), cpdOEM2ISO);
        entry.FileComment = comment.c_str();
        const std::uint32_t localOffset = entry.Header.RelOffLocalHdr;
        const std::size_t lastSeparator = entry.FileName.find_last_of("\\:");
        const bool folderOnly = lastSeparator != std::string::npos && lastSeparator + 1 == entry.FileName.size();
        if (UseDirOnlyEntries || !(folderOnly || entry.FileName.empty())) {
            Entries.push_back(std::move(entry));
            if (OnNewName)
                OnNewName(this, static_cast<int>(Entries.size()), Entries.back());
        } else {
            ++DirOnlyCount;
        }
        FirstHeaderOffset = std::min(FirstHeaderOffset, localOffset);
    }
    LastDiskNumber = end.ThisDiskNo;
    const std::int64_t prefix = directory - static_cast<std::int64_t>(end.CentralOffset);
    if (prefix > 0)
        FirstHeaderOffset += static_cast<std::uint32_t>(prefix);
}

// --- Comment -----------------------------------------------------------------------------------

std::string TZipArchiver::GetZipComment() const
{
    std::string comment = RawComment;
    ConvertOem2Iso(comment.data(), cpdOEM2ISO);
    return comment;
}

void TZipArchiver::WriteComment(const std::string& text, bool& modified)
{
    if (text.size() > ZipMaxCommentLength)
        throw EZipBuilder(11010, true);
    std::string raw = text;
    ConvertOem2Iso(raw.data(), cpdISO2OEM);
    RawComment = raw;
    if (FZipFileName.empty())
        throw EZipBuilder(11001, true);
    const int handle = FileOpen(FZipFileName, fmOpenReadWrite | fmShareDenyWrite);
    if (handle < 0)
        throw EZipBuilder(11002, true);
    struct THandleCloser {
        int Handle;
        ~THandleCloser() { FileClose(Handle); }
    } closer{handle};
    if (FileSeek(handle, EndRecordOffset, 0) != EndRecordOffset)
        throw EZipBuilder(11008, true);
    std::uint8_t record[ZipListedEndRecordSize];
    if (FileRead(handle, record, sizeof record) != static_cast<int>(sizeof record) ||
        GetLE32(record) != ZipEndRecordSignature)
        throw EZipBuilder(11011, true);
    PutLE16(record + 20, static_cast<std::uint16_t>(raw.size()));
    if (FileSeek(handle, EndRecordOffset, 0) != EndRecordOffset)
        throw EZipBuilder(11008, true);
    modified = true;
    if (FileWrite(handle, record, sizeof record) != static_cast<int>(sizeof record))
        throw EZipBuilder(11030, true);
    if (FileWrite(handle, raw.data(), static_cast<int>(raw.size())) != static_cast<int>(raw.size()))
        throw EZipBuilder(11010, true);
    if (ftruncate(handle, static_cast<off_t>(EndRecordOffset) + ZipListedEndRecordSize + static_cast<off_t>(raw.size())) != 0)
        throw EZipBuilder(11010, true);
    modified = false;
}

void TZipArchiver::SetZipComment(const std::string& text)
{
    bool modified = false;
    try {
        WriteComment(text, modified);
        return;
    } catch (const EZipBuilder& error) {
        ShowExceptionError(error);
    } catch (const std::bad_alloc&) {
        ShowZipMessage(10103, "");
    }
    RawComment.clear();
    if (modified)
        List();
}
