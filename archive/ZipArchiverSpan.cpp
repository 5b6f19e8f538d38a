// Spanned sets: an archive copied onto several removable disks, or into numbered part files on
// any other drive, and such a set joined again into one archive. A block that must not be split
// (a header with its name, extra field and comment; the end record with the comment) always
// starts on a part with room for all of it, and every disk number and offset is taken where its
// block really landed, so that other tools join the set too.

#include "archive/ZipArchiver.h"

#include "archive/ZipDirectory.h"
#include "platform/gui/Application.h"
#include "platform/os/FileApi.h"
#include "platform/os/MessageBox.h"
#include "platform/os/Volumes.h"
#include "platform/rtl/Files.h"
#include "platform/rtl/Formats.h"
#include "platform/rtl/Streams.h"
#include "platform/rtl/TextUtils.h"
#include "platform/rtl/Threads.h"

#include <algorithm>
#include <cctype>
#include <cstring>

#include <unistd.h>

namespace {

// Larger than the 8,192 bytes of old: on today's disks the copy then runs near the speed of cp.
constexpr std::uint32_t SpanChunk = TZipArchiver::SpanBufferSize;
constexpr std::uint32_t SpanPumpInterval = 20; // milliseconds
constexpr std::uint16_t SpanDescriptorFlag = 0x0008;
constexpr std::uint32_t SpanDescriptorSize = 16;
constexpr const char* SpanLabelPrefix = "PKBACK# ";

std::string SpanDigits(int number) { return Format("%.3d", {number}); }

std::string SpanLabel(int number) { return SpanLabelPrefix + SpanDigits(number); }

// The name and the extension of a file name, split before the extension.
void SpanSplitName(const std::string& fileName, std::string& stem, std::string& extension)
{
    extension = ExtractFileExt(fileName);
    stem = fileName.substr(0, fileName.size() - extension.size());
}

// True when the three characters before the extension are digits: a part's number.
bool SpanHasNumber(const std::string& fileName)
{
    std::string stem, extension;
    SpanSplitName(fileName, stem, extension);
    const std::string name = ExtractFileName(stem);
    if (name.size() < 3)
        return false;
    return std::all_of(name.end() - 3, name.end(), [](char c) { return c >= '0' && c <= '9'; });
}

int SpanNumberOf(const std::string& fileName)
{
    std::string stem, extension;
    SpanSplitName(fileName, stem, extension);
    return std::atoi(stem.substr(stem.size() - 3).c_str());
}

// The file of part n: the number replaces the one a part's name has, or is added before the
// extension of a name without one.
std::string SpanPartName(const std::string& fileName, int number)
{
    std::string stem, extension;
    SpanSplitName(fileName, stem, extension);
    if (SpanHasNumber(fileName))
        stem.erase(stem.size() - 3);
    return stem + SpanDigits(number) + extension;
}

// The number a "PKBACK# nnn" label carries in its characters 9 to 11; 1 for any other label.
int SpanLabelNumber(const std::string& label)
{
    if (label.size() < 11)
        return 1;
    const std::string digits = label.substr(8, 3);
    if (!std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; }))
        return 1;
    return std::atoi(digits.c_str());
}

std::int64_t SpanPosition(int handle) { return FileSeek(handle, 0, fsFromCurrent); }

void SpanReadExactly(int handle, void* buffer, std::uint32_t size, int errorNumber)
{
    if (size > 0 && FileRead(handle, buffer, static_cast<int>(size)) != static_cast<int>(size))
        throw EZipBuilder(errorNumber, true);
}

void SpanSeek(int handle, std::int64_t offset, int origin)
{
    if (FileSeek(handle, offset, origin) < 0)
        throw EZipBuilder(11008, true);
}

} // namespace

// A local or central header with its name, as read from the input.
struct TZipSpanHeader {
    std::uint8_t Bytes[ZipCentralHeaderSize] = {};
    std::uint32_t Size = 0;
    std::uint16_t Flags = 0;
    std::uint16_t NameLength = 0;
    std::uint16_t ExtraLength = 0;
    std::uint16_t CommentLength = 0; // central headers only
    std::uint32_t Compressed = 0;
    std::uint32_t DateTime = 0;
    std::string Name;
};

// Reads a header and its name; acrossParts reads a header cut by the end of a part again from
// the next part.
void TZipArchiver::ReadEntryHeader(TZipSpanHeader& header, bool central, bool acrossParts)
{
    header.Size = central ? ZipCentralHeaderSize : ZipLocalHeaderSize;
    const int unreadable = central ? 11013 : 11012;
    if (acrossParts)
        ReadSpanHeader(header.Bytes, header.Size, unreadable);
    else
        SpanReadExactly(InHandle->Handle(), header.Bytes, header.Size, unreadable);
    if (GetLE32(header.Bytes) != (central ? ZipCentralHeaderSignature : ZipLocalHeaderSignature))
        throw EZipBuilder(central ? 11015 : 11014, true);
    // A central header has the fields of a local one two bytes further on.
    const std::uint8_t* fields = header.Bytes + (central ? 2 : 0);
    header.Flags = GetLE16(fields + 6);
    header.DateTime = GetLE32(fields + 10);
    header.Compressed = GetLE32(fields + 18);
    header.NameLength = GetLE16(fields + 26);
    header.ExtraLength = GetLE16(fields + 28);
    header.CommentLength = central ? GetLE16(header.Bytes + 32) : 0;
    header.Name.assign(header.NameLength, '\0');
    SpanReadExactly(InHandle->Handle(), header.Name.data(), header.NameLength, central ? 11017 : 11016);
}

// --- Shared by the operations on archive files ---------------------------------------------------

int TZipArchiver::RunCaught(const std::function<void()>& work)
{
    try {
        work();
        return 0;
    } catch (const EZipBuilder& error) {
        ShowExceptionError(error);
        return -7;
    } catch (const std::bad_alloc&) {
        ShowZipMessage(10103, "");
        return -8;
    } catch (const Exception& error) {
        ShowZipMessage(11024, "\n" + error.Message);
        return -9;
    } catch (...) {
        ShowZipMessage(11024, "");
        return -9;
    }
}

bool TZipArchiver::IsRemovableSpanDrive(UINT driveType) const { return driveType == DRIVE_REMOVABLE; }

void TZipArchiver::AllocSpanMem(int count) { ZipData.assign(static_cast<std::size_t>(std::max(count, 0)), MDZipData()); }

void TZipArchiver::DeleteSpanMem()
{
    ZipData.clear();
    ZipData.shrink_to_fit();
}

MDZipData& TZipArchiver::FindZipEntry(const std::string& name)
{
    for (MDZipData& record : ZipData)
        if (record.FileNameLen == name.size() && SameText(record.FileName, name))
            return record;
    throw EZipBuilder(11026, true);
}

// --- Disks -------------------------------------------------------------------------------------

UINT TZipArchiver::CheckForDisk()
{
    const UINT driveType = DriveServices.DriveType ? DriveServices.DriveType(WorkDrive) : DRIVE_UNKNOWN;
    Application->ProcessMessages();
    int answer = IDOK;
    while ((answer == IDOK && !IsDiskPresent()) || NewDiskPending) {
        if (!IsRemovableSpanDrive(driveType)) {
            NewDiskPending = false;
            break;
        }
        if (Unattended)
            throw EZipBuilder(11025, true);
        std::string text;
        UINT icon = 0;
        if (DiskNumber < 0) {
            text = LoadZipStr(11033, "Please insert last disk in set");
            icon = MB_ICONSTOP;
        } else if (ZipBusy) {
            std::int64_t size = DiskSize;
            if (MaxVolumeSize() > 0)
                size = std::min(size, MaxVolumeSize());
            if (size > 0) {
                const std::int64_t last = (static_cast<std::int64_t>(ArchiveSize) + 4 + KeepFreeOnDisk1()) / size;
                LastDiskNumber = static_cast<std::uint16_t>(std::max<std::int64_t>(DiskNumber, last));
                text = Format(LoadZipStr(11034, "Please insert disk volume %.1d of %.1d"),
                              {DiskNumber + 1, LastDiskNumber + 1});
            } else {
                LastDiskNumber = 65535;
                text = Format(LoadZipStr(11046, "Please insert disk volume %.1d"), {DiskNumber + 1});
            }
        } else {
            text = Format(LoadZipStr(11034, "Please insert disk volume %.1d of %.1d"),
                          {DiskNumber + 1, LastDiskNumber + 1});
        }
        const std::string drive = WorkDrive.substr(0, 1);
        text += Format(LoadZipStr(11035, "\nin drive: %s"), {drive});
        if (OnGetNextDisk) {
            bool cancel = false;
            OnGetNextDisk(this, DiskNumber + 1, LastDiskNumber + 1, drive, cancel);
            answer = cancel ? IDCANCEL : IDOK;
        } else {
            answer = MessageBoxA(ParentWindow, text, Application->Title(), MB_OKCANCEL | icon);
        }
        NewDiskPending = false;
    }
    if (answer != IDOK)
        throw EZipBuilder(11007, false);
    return driveType;
}

bool TZipArchiver::IsRightDisk(UINT driveType)
{
    if (!IsRemovableSpanDrive(driveType)) {
        WorkFileName = SpanPartName(WorkFileName, DiskNumber + 1);
        return true;
    }
    return VolumeLabel == SpanLabel(DiskNumber + 1);
}

void TZipArchiver::GetNewDisk(int diskNumber)
{
    InHandle.reset();
    DiskNumber = diskNumber;
    // A disk beyond the set's last would be some other file of the same name.
    if (diskNumber < 0 || diskNumber > LastDiskNumber)
        throw EZipBuilder(11001, true);
    bool failed = false;
    for (;;) {
        UINT driveType = DRIVE_UNKNOWN;
        do {
            NewDiskPending = true;
            driveType = CheckForDisk();
        } while (!IsRightDisk(driveType));
        auto input = std::make_unique<TZipArchiveFile>(WorkFileName);
        if (input->IsOpen()) {
            InHandle = std::move(input);
            return;
        }
        if (failed || !IsRemovableSpanDrive(driveType))
            throw EZipBuilder(11001, true);
        ShowZipMessage(11001, "");
        failed = true;
    }
}

// --- Writing a set -----------------------------------------------------------------------------

int TZipArchiver::WriteSpan(const std::string& source, const std::string& output)
{
    ZipBusy = true;
    const std::string folder = ExtractFilePath(ExpandFileName(output));
    WorkDrive = DriveServices.VolumeRoot ? DriveServices.VolumeRoot(folder.empty() ? "." : folder) : "";
    DiskNumber = 0;
    DiskFree = 0;
    NewDiskPending = true;
    BytesOnDisk = 0;
    WorkFileName = source;
    SpanOutName = output;
    DiscardSpanOutput();
    ShowCopyProgress = false;
    int result = 0;
    {
        TZipHourglass hourglass;
        result = RunCaught([&] { WriteSpanParts(source); });
        ShowCopyProgress = false;
        if (result != 0 && OnProgress)
            OnProgress(this, EndOfBatch, "", 0);
        DeleteSpanMem();
        // The part being written when the work failed is incomplete; the finished ones stay.
        DiscardSpanOutput();
        InHandle.reset();
    }
    ZipBusy = false;
    return result;
}

void TZipArchiver::WriteSpanParts(const std::string& source)
{
    if (!FileExists(source))
        throw EZipBuilder(11001, true);
    ZipEndOfCentral end;
    CheckIfLastDisk(end, true);
    const int in = InHandle->Handle();
    ArchiveDate = FileGetDate(in);
    SpanSeek(in, 0, fsFromBeginning);
    AllocSpanMem(end.TotalEntries);
    std::uint8_t signature[4];
    PutLE32(signature, ZipSpanSignature);
    WriteSplit(signature, sizeof signature, 0);
    ShowCopyProgress = true;
    if (OnProgress) {
        OnProgress(this, TotalFiles2Process, "", end.TotalEntries);
        OnProgress(this, TotalSize2Process, "", ArchiveSize);
    }
    std::vector<std::uint8_t> buffer(SpanChunk);
    const std::string copying = LoadZipStr(10105, "Copying: ");
    for (MDZipData& record : ZipData) {
        TZipSpanHeader header;
        ReadEntryHeader(header, false, false);
        std::uint32_t compressed = header.Compressed;
        if ((header.Flags & SpanDescriptorFlag) && compressed == 0)
            compressed = InputCompressedSize(header.Name);
        record.FileName = header.Name;
        record.FileNameLen = header.NameLength;
        record.ComprSize = compressed;
        record.DateTime = header.DateTime;
        const std::string shown = ReplaceForwardSlash(header.Name.c_str());
        if (OnMessage)
            OnMessage(this, 0, copying + shown);
        const std::uint32_t descriptor = (header.Flags & SpanDescriptorFlag) ? SpanDescriptorSize : 0;
        if (OnProgress)
            OnProgress(this, NewFile, shown, header.Size + header.NameLength + header.ExtraLength + compressed + descriptor);
        const std::uint32_t minimum = header.Size + header.NameLength + header.ExtraLength;
        MakeRoomInSpan(minimum);
        record.DiskStart = static_cast<std::uint16_t>(DiskNumber);
        record.RelOffLocal = BytesOnDisk;
        WriteSplit(header.Bytes, header.Size, minimum);
        WriteSplit(header.Name.data(), header.NameLength, 0);
        RWSplitData(buffer.data(), header.ExtraLength, 11018);
        RWSplitData(buffer.data(), compressed, 11021);
        RWSplitData(buffer.data(), descriptor, 11020);
    }

    const std::string directoryText = copying + LoadZipStr(11047, "central directory");
    if (OnMessage)
        OnMessage(this, 0, directoryText);
    if (OnProgress)
        OnProgress(this, NewFile, directoryText, end.CentralSize + end.ZipCommentLen + ZipEndRecordSize);
    SpanSeek(in, static_cast<std::int64_t>(EndRecordOffset) - end.CentralSize, fsFromBeginning);
    std::uint32_t directoryDisk = static_cast<std::uint32_t>(DiskNumber);
    std::uint32_t directoryOffset = BytesOnDisk;
    for (std::size_t i = 0; i < end.TotalEntries; ++i) {
        TZipSpanHeader header;
        ReadEntryHeader(header, true, false);
        // Entries of the same name keep their own places when the directory lists them in order.
        MDZipData& record = ZipData[i].FileName == header.Name ? ZipData[i] : FindZipEntry(header.Name);
        PutLE16(header.Bytes + 34, record.DiskStart);
        PutLE32(header.Bytes + 42, record.RelOffLocal);
        const std::uint32_t minimum = header.Size + header.NameLength + header.ExtraLength + header.CommentLength;
        MakeRoomInSpan(minimum);
        if (i == 0) {
            directoryDisk = static_cast<std::uint32_t>(DiskNumber);
            directoryOffset = BytesOnDisk;
        }
        WriteSplit(header.Bytes, header.Size, minimum);
        WriteSplit(header.Name.data(), header.NameLength, 0);
        RWSplitData(buffer.data(), header.ExtraLength, 11019);
        RWSplitData(buffer.data(), header.CommentLength, 11022);
    }

    std::uint8_t record[ZipEndRecordSize];
    PutLE32(record, ZipEndRecordSignature);
    PutLE16(record + 6, static_cast<std::uint16_t>(directoryDisk));
    PutLE16(record + 8, end.CentralEntries);
    PutLE16(record + 10, end.TotalEntries);
    PutLE32(record + 12, end.CentralSize);
    PutLE32(record + 16, directoryOffset);
    PutLE16(record + 20, end.ZipCommentLen);
    const std::uint32_t minimum = ZipEndRecordSize + end.ZipCommentLen;
    MakeRoomInSpan(minimum);
    PutLE16(record + 4, static_cast<std::uint16_t>(DiskNumber));
    WriteSplit(record, sizeof record, minimum);
    SpanSeek(in, static_cast<std::int64_t>(EndRecordOffset) + ZipEndRecordSize, fsFromBeginning);
    RWSplitData(buffer.data(), end.ZipCommentLen, 11023);
    FinishSpanPart();
    ShowCopyProgress = false;
    if (OnProgress)
        OnProgress(this, EndOfBatch, "", 0);
}

// An entry whose sizes follow its data has none in its local header: the directory has them.
std::uint32_t TZipArchiver::InputCompressedSize(const std::string& name)
{
    TZipDirectory directory;
    if (ReadZipDirectory(*InHandle, directory) != TZipDirectoryFailure::None)
        throw EZipBuilder(11021, true);
    for (const TZipCentralEntry& entry : directory.Entries)
        if (entry.Name == name)
            return entry.Header.CompressedSize;
    throw EZipBuilder(11026, true);
}

int TZipArchiver::WriteSplit(const void* block, std::uint32_t length, std::uint32_t minimum)
{
    const auto* bytes = static_cast<const std::uint8_t*>(block);
    std::uint32_t written = 0;
    for (;;) {
        MakeRoomInSpan(minimum);
        const std::uint32_t n =
            static_cast<std::uint32_t>(std::min<std::int64_t>(length - written, std::max<std::int64_t>(DiskFree, 0)));
        // The layer's writes move fewer bytes only when they fail.
        if (n > 0 && FileWrite(OutHandle, bytes + written, static_cast<int>(n)) != static_cast<int>(n))
            throw EZipBuilder(11010, true);
        if (ShowCopyProgress && OnProgress)
            OnProgress(this, ProgressUpdate, "", n);
        BytesOnDisk += n;
        DiskFree -= n;
        written += n;
        if (written == length)
            return static_cast<int>(length);
        FinishSpanPart();
        BytesOnDisk = 0;
        ++DiskNumber;
        NewDiskPending = true;
        DiskFree = 0;
    }
}

// Steps to a part with room for minimum bytes, opening one when none is open.
void TZipArchiver::MakeRoomInSpan(std::uint32_t minimum)
{
    for (;;) {
        // Often enough for the interface to stay alive, not once for every chunk of a large copy.
        const std::uint32_t now = GetTickCount();
        if (now - FSpanPumpedAt >= SpanPumpInterval) {
            Application->ProcessMessages();
            FSpanPumpedAt = now;
        }
        if (CancelRequested)
            throw EZipBuilder(11007, false);
        if (OutHandle < 0)
            OpenSpanPart();
        if (minimum == 0 || DiskFree >= static_cast<std::int64_t>(minimum))
            return;
        // A block larger than a whole part would otherwise make empty parts for ever.
        if (BytesOnDisk == 0 && !FSpanRemovable)
            throw EZipBuilder(11010, true);
        FinishSpanPart();
        BytesOnDisk = 0;
        ++DiskNumber;
        NewDiskPending = true;
    }
}

void TZipArchiver::OpenSpanPart()
{
    for (;;) {
        std::string partName = SpanOutName;
        const UINT driveType = CheckForDisk();
        FSpanRemovable = IsRemovableSpanDrive(driveType);
        if (!FSpanRemovable)
            partName = SpanPartName(SpanOutName, DiskNumber + 1);
        if (FSpanRemovable && AddOptions.Contains(AddDiskSpanErase) && (!OnGetNextDisk || DiskAction == zdaErase)) {
            FormatDriveIndex = std::toupper(static_cast<unsigned char>(WorkDrive.empty() ? 'A' : WorkDrive[0])) - 'A';
            VolumeLabel = SpanLabel(DiskNumber + 1);
            // Only a disk that was formatted is written on.
            const int formatted = ZipFormat();
            if (formatted == -2)
                throw EZipBuilder(11007, false);
            if (formatted < 0)
                throw EZipBuilder(11007, true);
        }
        if (FileExists(partName) && !SpanPartMayBeOverwritten(partName)) {
            BytesOnDisk = 0;
            NewDiskPending = true;
            continue;
        }
        FOutName = partName;
        OutHandle = CreateAtomicTemporary(ResolvePath(partName), FOutTemporary);
        if (OutHandle < 0)
            throw EZipBuilder(11009, true);
        DiskFreeAndSize(1);
        if (MaxVolumeSize() > 0)
            DiskFree = std::min(DiskFree, MaxVolumeSize());
        if (DiskNumber == 0)
            DiskFree -= KeepFreeOnDisk1();
        if (!SpanDiskHasRoom(partName)) {
            BytesOnDisk = 0;
            NewDiskPending = true;
            continue;
        }
        if (FSpanRemovable) {
            VolumeLabel = SpanLabel(DiskNumber + 1);
            if (!DriveServices.SetLabel || !DriveServices.SetLabel(WorkDrive, VolumeLabel))
                throw EZipBuilder(11005, true);
        }
        return;
    }
}

// Asks whether an existing part may be overwritten; false asks for another disk.
bool TZipArchiver::SpanPartMayBeOverwritten(const std::string& partName)
{
    const int n = SpanLabelNumber(VolumeLabel);
    if (Unattended)
        throw EZipBuilder(11025, true);
    DiskStatus = TZipDiskStatus();
    std::string question;
    if (FileAge(partName) == ArchiveDate && n - 1 < DiskNumber) {
        question = Format(LoadZipStr(11040, "Overwrite previous disk no %d"), {n});
        DiskStatus.Include(zdsPreviousDisk);
    } else {
        question = Format(LoadZipStr(11039, "Overwrite previous file %s"), {partName});
        DiskStatus.Include(zdsSameFileName);
    }
    DiskStatus.Include(DiskFree == DiskSize ? zdsEmpty : zdsHasFiles);
    TZipDiskAction action = zdaOk;
    if (OnStatusDisk) {
        DiskAction = zdaOk;
        OnStatusDisk(this, n, partName, DiskStatus, DiskAction);
        action = DiskAction;
    } else {
        const int answer =
            MessageBoxA(ParentWindow, question, "Confirm", MB_YESNOCANCEL | MB_ICONWARNING | MB_DEFBUTTON2);
        action = answer == IDYES ? zdaOk : (answer == IDNO ? zdaReject : zdaCancel);
    }
    if (action == zdaCancel)
        throw EZipBuilder(11007, false);
    return action != zdaReject;
}

// Refuses a disk with less room than MinFreeVolumeSize, asking for another; false asks again.
bool TZipArchiver::SpanDiskHasRoom(const std::string& partName)
{
    if (DiskFree >= MinFreeVolumeSize())
        return true;
    DiscardSpanOutput();
    if (Unattended)
        throw EZipBuilder(11025, true);
    if (OnStatusDisk) {
        DiskAction = zdaOk;
        DiskStatus = TZipDiskStatus{zdsNotEnoughSpace};
        OnStatusDisk(this, SpanLabelNumber(VolumeLabel), partName, DiskStatus, DiskAction);
        if (DiskAction == zdaCancel)
            throw EZipBuilder(11007, false);
        return false;
    }
    const int answer = MessageBoxA(ParentWindow, LoadZipStr(11032, "This disk has not enough free space available"),
                                   Application->Title(), MB_RETRYCANCEL | MB_ICONERROR);
    if (answer == 0)
        throw EZipBuilder(11006, true);
    if (answer != IDRETRY)
        throw EZipBuilder(11007, false);
    return false;
}

// The open part or joined archive gets ArchiveDate and replaces the file of its name.
void TZipArchiver::FinishSpanPart()
{
    if (OutHandle < 0)
        return;
    FileSetDate(OutHandle, ArchiveDate);
    FileClose(OutHandle);
    OutHandle = -1;
    const std::string temporary = FOutTemporary;
    FOutTemporary.clear();
    if (!MoveFileExA(temporary.c_str(), ResolvePath(FOutName).c_str(), MOVEFILE_REPLACE_EXISTING)) {
        unlink(temporary.c_str());
        throw EZipBuilder(11009, true);
    }
}

void TZipArchiver::DiscardSpanOutput()
{
    if (OutHandle >= 0)
        FileClose(OutHandle);
    OutHandle = -1;
    if (!FOutTemporary.empty())
        unlink(FOutTemporary.c_str());
    FOutTemporary.clear();
}

void TZipArchiver::RWSplitData(std::uint8_t* buffer, std::uint32_t count, int errorNumber)
{
    while (count > 0) {
        const std::uint32_t chunk = std::min(count, SpanChunk);
        SpanReadExactly(InHandle->Handle(), buffer, chunk, errorNumber);
        WriteSplit(buffer, chunk, 0);
        count -= chunk;
    }
}

// --- Joining a set -----------------------------------------------------------------------------

int TZipArchiver::ReadSpan(const std::string& firstName, std::string& output)
{
    UnzipBusy = true;
    WorkDrive = DriveServices.VolumeRoot ? DriveServices.VolumeRoot(ExpandFileName(firstName)) : "";
    DiskNumber = -1;
    NewDiskPending = false;
    ShowCopyProgress = false;
    WorkFileName = firstName;
    InHandle.reset();
    DiscardSpanOutput();
    FOutReserved.clear();
    int result = 0;
    {
        TZipHourglass hourglass;
        result = RunCaught([&] { ReadSpanParts(output); });
        ShowCopyProgress = false;
        DeleteSpanMem();
        InHandle.reset();
        if (result != 0) {
            DiscardSpanOutput();
            if (!FOutReserved.empty())
                DeleteFile(FOutReserved);
            output.clear();
        }
        FOutReserved.clear();
    }
    UnzipBusy = false;
    return result;
}

void TZipArchiver::ReadSpanParts(std::string& output)
{
    // Only the joined archive's own name is replaced, and only once the archive is complete.
    std::string target;
    if (!ExtractFileName(output).empty()) {
        target = ChangeFileExt(output, ".zip");
    } else {
        target = MakeTempFileName("zip", ".zip");
        if (target.empty())
            throw EZipBuilder(11027, true);
        FOutReserved = target;
    }
    FOutName = target;
    OutHandle = CreateAtomicTemporary(ResolvePath(target), FOutTemporary);
    if (OutHandle < 0)
        throw EZipBuilder(11009, true);

    ZipEndOfCentral end;
    for (;;) {
        const UINT driveType = CheckForDisk();
        NewDiskPending = true;
        const bool removable = IsRemovableSpanDrive(driveType);
        if (!removable && !FileExists(WorkFileName))
            throw EZipBuilder(11001, true);
        if (CheckIfLastDisk(end, false))
            break;
        if (!removable) {
            if (!SpanHasNumber(WorkFileName))
                throw EZipBuilder(11036, true);
            const int number = SpanNumberOf(WorkFileName);
            if (number == 1)
                throw EZipBuilder(11037, true);
            throw EZipBuilder(11038, number);
        }
    }
    ArchiveDate = FileGetDate(InHandle->Handle());
    LastDiskNumber = end.ThisDiskNo;
    DiskNumber = end.ThisDiskNo;
    std::string comment(end.ZipCommentLen, '\0');
    if (!InHandle->ReadAt(static_cast<std::int64_t>(EndRecordOffset) + ZipEndRecordSize, comment.data(), comment.size()))
        throw EZipBuilder(11023, true);
    if (end.CentralDiskNo != DiskNumber)
        GetNewDisk(end.CentralDiskNo);
    SpanSeek(InHandle->Handle(), end.CentralOffset, fsFromBeginning);

    AllocSpanMem(end.TotalEntries);
    FPlaced.assign(ZipData.size(), false);
    std::uint64_t total = 0;
    for (MDZipData& record : ZipData) {
        TZipSpanHeader header;
        ReadEntryHeader(header, true, true);
        record.FileName = header.Name;
        record.FileNameLen = header.NameLength;
        record.ComprSize = header.Compressed;
        record.DateTime = header.DateTime;
        total += header.NameLength + header.Compressed + header.ExtraLength + header.CommentLength;
        const std::int64_t skipped = SpanPosition(InHandle->Handle()) + header.ExtraLength + header.CommentLength;
        if (skipped > InHandle->Size())
            throw EZipBuilder(11008, true);
        SpanSeek(InHandle->Handle(), skipped, fsFromBeginning);
    }

    GetNewDisk(0);
    ShowCopyProgress = true;
    if (OnProgress) {
        OnProgress(this, TotalFiles2Process, "", end.TotalEntries);
        OnProgress(this, TotalSize2Process, "", static_cast<std::int64_t>(total));
    }
    std::uint8_t signature[4];
    if (FileRead(InHandle->Handle(), signature, sizeof signature) != static_cast<int>(sizeof signature) ||
        GetLE32(signature) != ZipSpanSignature)
        throw EZipBuilder(11031, true);
    std::vector<std::uint8_t> buffer(SpanChunk);
    CopySpanLocalEntries(buffer.data(), end.TotalEntries);

    // The entries must end where the directory begins: otherwise a part was cut short or swapped.
    while (DiskNumber < end.CentralDiskNo && SpanPosition(InHandle->Handle()) == InHandle->Size())
        GetNewDisk(DiskNumber + 1);
    if (DiskNumber != end.CentralDiskNo || SpanPosition(InHandle->Handle()) != end.CentralOffset)
        throw EZipBuilder(11021, true);

    ShowCopyProgress = false;
    std::uint32_t directoryOffset = 0;
    CopySpanCentralDirectory(buffer.data(), end, directoryOffset);
    // And the directory must end where the end record begins.
    while (DiskNumber < LastDiskNumber && SpanPosition(InHandle->Handle()) == InHandle->Size())
        GetNewDisk(DiskNumber + 1);
    if (DiskNumber != LastDiskNumber || SpanPosition(InHandle->Handle()) != EndRecordOffset)
        throw EZipBuilder(11013, true);
    std::uint8_t record[ZipEndRecordSize];
    PutLE32(record, ZipEndRecordSignature);
    PutLE16(record + 4, 0);
    PutLE16(record + 6, 0);
    PutLE16(record + 8, end.CentralEntries);
    PutLE16(record + 10, end.TotalEntries);
    PutLE32(record + 12, end.CentralSize);
    PutLE32(record + 16, directoryOffset);
    PutLE16(record + 20, end.ZipCommentLen);
    WriteJoin(record, sizeof record, 11030);
    WriteJoin(comment.data(), static_cast<std::uint32_t>(comment.size()), 11023);
    if (OnProgress)
        OnProgress(this, EndOfBatch, "", 0);
    FinishSpanPart();
    output = target;
}

void TZipArchiver::CopySpanLocalEntries(std::uint8_t* buffer, std::uint32_t entries)
{
    const std::string copying = LoadZipStr(10105, "Copying: ");
    for (std::uint32_t i = 0; i < entries; ++i) {
        TZipSpanHeader header;
        ReadEntryHeader(header, false, true);
        MDZipData& record = ZipData[i].FileName == header.Name ? ZipData[i] : FindZipEntry(header.Name);
        record.DiskStart = 0;
        record.RelOffLocal = static_cast<std::uint32_t>(SpanPosition(OutHandle));
        // The directory may not name an entry whose local header was never found.
        FPlaced[static_cast<std::size_t>(&record - ZipData.data())] = true;
        const std::string shown = ReplaceForwardSlash(header.Name.c_str());
        if (OnMessage)
            OnMessage(this, 0, copying + shown);
        const std::uint32_t compressed = header.Compressed != 0 ? header.Compressed : record.ComprSize;
        const std::uint32_t descriptor = (header.Flags & SpanDescriptorFlag) ? SpanDescriptorSize : 0;
        if (OnProgress)
            OnProgress(this, NewFile, shown, header.Size + header.NameLength + header.ExtraLength + compressed + descriptor);
        WriteJoin(header.Bytes, header.Size, 11028);
        WriteJoin(header.Name.data(), header.NameLength, 11028);
        RWJoinData(buffer, header.ExtraLength, 11018);
        RWJoinData(buffer, compressed, 11021);
        RWJoinData(buffer, descriptor, 11020);
    }
}

void TZipArchiver::CopySpanCentralDirectory(std::uint8_t* buffer, const ZipEndOfCentral& end,
                                            std::uint32_t& directoryOffset)
{
    directoryOffset = static_cast<std::uint32_t>(SpanPosition(OutHandle));
    for (std::size_t i = 0; i < end.TotalEntries; ++i) {
        TZipSpanHeader header;
        ReadEntryHeader(header, true, true);
        if (!FPlaced[i] || ZipData[i].FileName != header.Name)
            throw EZipBuilder(11026, true);
        PutLE16(header.Bytes + 34, 0);
        PutLE32(header.Bytes + 42, ZipData[i].RelOffLocal);
        WriteJoin(header.Bytes, header.Size, 11029);
        WriteJoin(header.Name.data(), header.NameLength, 11029);
        RWJoinData(buffer, header.ExtraLength, 11019);
        RWJoinData(buffer, header.CommentLength, 11022);
    }
}

// Reads a header that never crosses parts: a read cut short by the end of a part is made again
// at the start of the next one; past the last part, or cut short elsewhere, it raises.
void TZipArchiver::ReadSpanHeader(std::uint8_t* buffer, std::uint32_t size, int errorNumber)
{
    for (;;) {
        const int handle = InHandle->Handle();
        const std::int64_t at = SpanPosition(handle);
        const int got = FileRead(handle, buffer, static_cast<int>(size));
        if (got == static_cast<int>(size))
            return;
        if (got < 0 || at + got != InHandle->Size() || DiskNumber >= LastDiskNumber)
            throw EZipBuilder(errorNumber, true);
        GetNewDisk(DiskNumber + 1);
    }
}

void TZipArchiver::RWJoinData(std::uint8_t* buffer, std::uint32_t count, int errorNumber)
{
    while (count > 0) {
        if (!InHandle)
            throw EZipBuilder(errorNumber, true);
        const std::uint32_t chunk = std::min(count, SpanChunk);
        const int handle = InHandle->Handle();
        const int got = FileRead(handle, buffer, static_cast<int>(chunk));
        if (got < 0)
            throw EZipBuilder(errorNumber, true);
        WriteJoin(buffer, static_cast<std::uint32_t>(got), errorNumber);
        count -= static_cast<std::uint32_t>(got);
        if (static_cast<std::uint32_t>(got) < chunk) {
            if (SpanPosition(handle) != InHandle->Size() || DiskNumber >= LastDiskNumber)
                throw EZipBuilder(errorNumber, true);
            GetNewDisk(DiskNumber + 1);
        }
    }
}

void TZipArchiver::WriteJoin(const void* block, std::uint32_t length, int errorNumber)
{
    if (length > 0 && FileWrite(OutHandle, block, static_cast<int>(length)) != static_cast<int>(length))
        throw EZipBuilder(errorNumber, true);
    if (ShowCopyProgress && OnProgress)
        OnProgress(this, ProgressUpdate, "", length);
}
