// Renaming entries and copying entries between two archives, without the engines: the stored
// bytes of every entry are copied into a new archive, whose central directory is written
// afresh. The new archive is put in place before anything of the old one goes, and the entries
// copied are deleted from their source only once the destination holds them.

#include "archive/ZipArchiver.h"

#include "archive/ZipDirectory.h"
#include "archive/ZipNames.h"
#include "platform/gui/Application.h"
#include "platform/os/FileApi.h"
#include "platform/rtl/Codepage.h"
#include "platform/os/MessageBox.h"
#include "platform/rtl/Files.h"
#include "platform/rtl/Formats.h"
#include "platform/rtl/TextUtils.h"

#include <algorithm>
#include <array>

#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr std::uint16_t MarkNew = 0x2000;
constexpr std::uint16_t MarkOverwrite = 0x4000;
constexpr std::uint16_t MarkKeep = 0x8000;
constexpr std::uint16_t MarkAsk = 0x6000;
constexpr std::uint16_t MarkBits = 0xE000;
constexpr std::uint32_t DescriptorSignature = 0x08074B50;

// An output archive being written, with the position of its next byte.
// Nothing reaches the file at once: written bytes are gathered, and copied ranges that follow one
// another in the input become one copy. An archive of thousands of entries would otherwise cost
// several system calls an entry, more than the bytes themselves.
class TZipWorkOutput {
public:
    explicit TZipWorkOutput(int handle) : FHandle(handle) {}
    int Handle() const { return FHandle; }
    std::int64_t Position() const { return FPosition; }
    // The position as a stored offset; 11009 when the archive outgrows four gigabytes.
    std::uint32_t Offset() const
    {
        if (FPosition > 0xFFFFFFFFll)
            throw EZipBuilder(11009, true);
        return static_cast<std::uint32_t>(FPosition);
    }
    void Write(const void* bytes, std::size_t size, int errorNumber)
    {
        PutRun();
        Gather(errorNumber).append(static_cast<const char*>(bytes), size);
        FPosition += static_cast<std::int64_t>(size);
        if (FPending.size() >= PendingLimit)
            WritePending();
    }
    void Write(const std::string& bytes, int errorNumber) { Write(bytes.data(), bytes.size(), errorNumber); }
    // Copies count bytes of a file from offset.
    void Copy(const TZipArchiveFile& file, std::int64_t offset, std::int64_t count, int errorNumber)
    {
        if (count < 0 || offset < 0 || offset > file.Size() || count > file.Size() - offset)
            throw EZipBuilder(errorNumber, true);
        FPosition += count;
        if (FRunFile == &file && offset == FRunOffset + FRunCount) {
            FRunCount += count;
            return;
        }
        PutRun();
        FRunFile = &file;
        FRunOffset = offset;
        FRunCount = count;
        FRunError = errorNumber;
    }
    // Puts everything gathered in the file; the error is the one of the first part not written.
    void Flush()
    {
        PutRun();
        WritePending();
    }

private:
    static constexpr std::int64_t SmallCopy = 256 * 1024;
    static constexpr std::size_t PendingLimit = 1024 * 1024;

    std::string& Gather(int errorNumber)
    {
        if (FPending.empty())
            FPendingError = errorNumber;
        return FPending;
    }
    void WritePending()
    {
        if (FPending.empty())
            return;
        const int size = static_cast<int>(FPending.size());
        const bool written = FileWrite(FHandle, FPending.data(), size) == size;
        FPending.clear();
        if (!written)
            throw EZipBuilder(FPendingError, true);
    }
    void PutRun()
    {
        if (!FRunFile)
            return;
        const TZipArchiveFile& file = *FRunFile;
        std::int64_t offset = FRunOffset, count = FRunCount;
        FRunFile = nullptr;
        if (count < SmallCopy) {
            std::string& pending = Gather(FRunError);
            const std::size_t at = pending.size();
            pending.resize(at + static_cast<std::size_t>(count));
            if (!file.ReadAt(offset, pending.data() + at, static_cast<std::size_t>(count)))
                throw EZipBuilder(FRunError, true);
            if (pending.size() >= PendingLimit)
                WritePending();
            return;
        }
        WritePending();
        // The kernel copies between the files without passing the bytes through here, as cp does.
        while (count > 0) {
            off_t from = offset;
            const ssize_t copied = copy_file_range(file.Handle(), &from, FHandle, nullptr,
                                                   static_cast<std::size_t>(count), 0);
            if (copied <= 0)
                break;
            offset += copied;
            count -= copied;
        }
        FBuffer.resize(TZipArchiver::SpanBufferSize);
        while (count > 0) {
            const std::size_t chunk = static_cast<std::size_t>(std::min<std::int64_t>(count, FBuffer.size()));
            if (!file.ReadAt(offset, FBuffer.data(), chunk) ||
                FileWrite(FHandle, FBuffer.data(), static_cast<int>(chunk)) != static_cast<int>(chunk))
                throw EZipBuilder(FRunError, true);
            offset += static_cast<std::int64_t>(chunk);
            count -= static_cast<std::int64_t>(chunk);
        }
    }

    int FHandle;
    std::int64_t FPosition = 0;
    std::vector<std::uint8_t> FBuffer;
    std::string FPending;
    int FPendingError = 0;
    const TZipArchiveFile* FRunFile = nullptr;
    std::int64_t FRunOffset = 0;
    std::int64_t FRunCount = 0;
    int FRunError = 0;
};

// The failure of reading a directory as the message of the operation.
int DirectoryFailureMessage(TZipDirectoryFailure failure)
{
    switch (failure) {
    case TZipDirectoryFailure::EndRecordMissing:
        return 11011;
    case TZipDirectoryFailure::ShortHeader:
        return 11013;
    case TZipDirectoryFailure::WrongSignature:
        return 11015;
    case TZipDirectoryFailure::ShortName:
        return 11017;
    case TZipDirectoryFailure::MultiDisk:
        return 10141;
    default:
        return 11008;
    }
}

void ReadDirectory(const TZipArchiveFile& file, TZipDirectory& directory)
{
    const TZipDirectoryFailure failure = ReadZipDirectory(file, directory);
    if (failure != TZipDirectoryFailure::None)
        throw EZipBuilder(DirectoryFailureMessage(failure), true);
}

// The stored bytes of an entry: its local header, name and extra field, its data and its data
// descriptor.
void EntryExtent(const TZipArchiveFile& file, const TZipCentralEntry& entry, std::int64_t& dataOffset,
                 std::int64_t& end, int errorNumber)
{
    if (!LocateZipEntryData(file, entry, dataOffset))
        throw EZipBuilder(errorNumber, true);
    end = dataOffset + entry.Header.CompressedSize;
    if (entry.Header.Flags & ZipFlagDataDescriptor) {
        std::uint8_t signature[4];
        const bool signed16 = file.ReadAt(end, signature, 4) && GetLE32(signature) == DescriptorSignature;
        end = std::min(end + (signed16 ? 16 : 12), entry.DataLimit);
    }
}

// The archive's comment as stored.
std::string RawCommentOf(const TZipArchiveFile& file, const TZipDirectory& directory, int errorNumber)
{
    std::string comment(directory.End.Record.CommentLength, '\0');
    if (!file.ReadAt(directory.End.EndRecordOffset + ZipEndRecordSize, comment.data(), comment.size()))
        throw EZipBuilder(errorNumber, true);
    return comment;
}

void WriteEndRecord(TZipWorkOutput& output, std::size_t entries, std::uint32_t directoryOffset,
                    const std::string& comment)
{
    if (entries > 0xFFFF)
        throw EZipBuilder(11030, true);
    const std::uint32_t directorySize = static_cast<std::uint32_t>(output.Position() - directoryOffset);
    std::uint8_t end[ZipEndRecordSize] = {};
    PutLE32(end, ZipEndRecordSignature);
    PutLE16(end + 8, static_cast<std::uint16_t>(entries));
    PutLE16(end + 10, static_cast<std::uint16_t>(entries));
    PutLE32(end + 12, directorySize);
    PutLE32(end + 16, directoryOffset);
    PutLE16(end + 20, static_cast<std::uint16_t>(comment.size()));
    output.Write(end, sizeof end, 11030);
    output.Write(comment, 11023);
}

// A central header with a new name, local offset and (when not 0) date and time.
void WriteCentralHeader(TZipWorkOutput& output, const TZipCentralEntry& entry, const std::string& name,
                        std::uint32_t localOffset, std::uint32_t dateTime)
{
    std::array<std::uint8_t, ZipCentralHeaderSize> header = entry.Raw;
    PutLE16(header.data() + 8, static_cast<std::uint16_t>(GetLE16(header.data() + 8) & ~MarkBits));
    if (dateTime != 0)
        PutLE32(header.data() + 12, dateTime);
    PutLE16(header.data() + 28, static_cast<std::uint16_t>(name.size()));
    PutLE32(header.data() + 42, localOffset);
    output.Write(header.data(), header.size(), 11029);
    output.Write(name, 11029);
    output.Write(entry.Extra, 11019);
    output.Write(entry.Comment, 11022);
}

std::string WithBackslashes(std::string name)
{
    std::replace(name.begin(), name.end(), '/', '\\');
    return name;
}

std::string WithSlashes(std::string name)
{
    std::replace(name.begin(), name.end(), '\\', '/');
    return name;
}

// The part after the last "\" or ":".
std::string NamePart(const std::string& path)
{
    const std::size_t separator = path.find_last_of("\\:");
    return separator == std::string::npos ? path : path.substr(separator + 1);
}

std::string FolderPart(const std::string& path)
{
    const std::size_t separator = path.find_last_of("\\:");
    return separator == std::string::npos ? "" : path.substr(0, separator + 1);
}

bool StartsWithText(const std::string& text, const std::string& prefix)
{
    return text.size() >= prefix.size() && SameText(text.substr(0, prefix.size()), prefix);
}

// The two names are one file (a link, or another letter case).
bool SameFile(const std::string& first, const std::string& second)
{
    struct stat a {}, b {};
    return stat(ResolvePath(first).c_str(), &a) == 0 && stat(ResolvePath(second).c_str(), &b) == 0 &&
           a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

int CreateWorkOutput(TZipArchiver& zip, std::string& temporary)
{
    temporary = zip.MakeTempFileName("zip", ".zip");
    if (temporary.empty())
        throw EZipBuilder(11027, true);
    const int handle = FileCreate(temporary);
    if (handle < 0)
        throw EZipBuilder(11009, true);
    return handle;
}

// Closes the output, stamps it with the archive's date, and removes it unless the work succeeded.
bool FinishWorkOutput(int& handle, const std::string& temporary, int archiveDate, bool succeeded)
{
    if (handle >= 0) {
        FileClose(handle);
        handle = -1;
    }
    if (temporary.empty())
        return false;
    if (succeeded && archiveDate > 0)
        FileSetDate(temporary, archiveDate);
    if (!succeeded)
        DeleteFile(temporary);
    return succeeded;
}

} // namespace

// --- Putting a new archive in place ------------------------------------------------------------

bool TZipArchiver::PlaceReplacing(const std::string& output, const std::string& target, DeleteOpts how)
{
    std::string aside;
    if (FileExists(target)) {
        aside = target + ".old";
        for (int n = 1; FileExists(aside); ++n)
            aside = target + ".old" + IntToStr(n);
        if (!MoveFileExA(target.c_str(), aside.c_str(), 0))
            return false;
    }
    if (!MoveFileExA(output.c_str(), target.c_str(), MOVEFILE_COPY_ALLOWED)) {
        if (!aside.empty())
            MoveFileExA(aside.c_str(), target.c_str(), 0);
        DeleteFile(output);
        return false;
    }
    if (!aside.empty())
        EraseFile(aside, how);
    return true;
}

// --- Rename ------------------------------------------------------------------------------------

int TZipArchiver::Rename(std::vector<RenamePair>& pairs, std::uint32_t dateTime)
{
    ZipBusy = true;
    ShowCopyProgress = false;
    WorkFileName = FZipFileName;
    TZipHourglass hourglass;
    std::vector<RenamePair> work;
    for (const RenamePair& pair : pairs) {
        RenamePair normal{WithBackslashes(pair.Source), WithBackslashes(pair.Dest), pair.DateTime};
        if (normal.Source.empty())
            continue; // renames nothing
        if (!NamePart(normal.Source).empty()) {
            if (NamePart(normal.Dest).empty()) {
                ZipBusy = false;
                return -10;
            }
        } else {
            normal.Dest = AppendSlash(FolderPart(normal.Dest));
            normal.Source = AppendSlash(normal.Source);
        }
        work.push_back(std::move(normal));
    }
    int out = -1;
    std::string temporary;
    int result = RunCaught([&] {
        if (!FileExists(FZipFileName))
            throw EZipBuilder(11001, true);
        out = CreateWorkOutput(*this, temporary);
        RenameEntries(work, dateTime, out);
    });
    if (OnProgress)
        OnProgress(this, EndOfBatch, "", 0);
    InHandle.reset();
    if (FinishWorkOutput(out, temporary, ArchiveDate, result == 0)) {
        if (!PlaceReplacing(temporary, FZipFileName, HowToDelete)) {
            ShowZipMessage(11009, "");
            result = -9;
        }
        List();
    }
    ZipBusy = false;
    return result;
}

void TZipArchiver::RenameEntries(std::vector<RenamePair>& pairs, std::uint32_t dateTime, int out)
{
    ZipEndOfCentral endRecord;
    CheckIfLastDisk(endRecord, true);
    ArchiveDate = FileGetDate(InHandle->Handle());
    if (endRecord.ThisDiskNo != 0)
        throw EZipBuilder(10141, true);
    TZipDirectory directory;
    ReadDirectory(*InHandle, directory);
    TZipWorkOutput output(out);
    output.Copy(*InHandle, 0, directory.PrefixSize, 10140);

    std::int64_t total = 0;
    for (const TZipCentralEntry& entry : directory.Entries)
        total += static_cast<std::int64_t>(entry.Name.size()) + entry.Header.CompressedSize + entry.Extra.size();
    ShowCopyProgress = true;
    if (OnProgress) {
        OnProgress(this, TotalFiles2Process, "", static_cast<std::int64_t>(directory.Entries.size()));
        OnProgress(this, TotalSize2Process, "", total);
    }
    AllocSpanMem(static_cast<int>(directory.Entries.size()));
    for (std::size_t i = 0; i < directory.Entries.size(); ++i) {
        const TZipCentralEntry& entry = directory.Entries[i];
        MDZipData& record = ZipData[i];
        record.DateTime = dateTime;
        std::int64_t dataOffset = 0, end = 0;
        EntryExtent(*InHandle, entry, dataOffset, end, 11012);
        std::uint8_t local[ZipLocalHeaderSize];
        if (!InHandle->ReadAt(entry.LocalOffset, local, sizeof local))
            throw EZipBuilder(11012, true);
        const std::uint16_t localNameLength = GetLE16(local + 26);
        std::string name(localNameLength, '\0');
        if (!InHandle->ReadAt(entry.LocalOffset + ZipLocalHeaderSize, name.data(), name.size()))
            throw EZipBuilder(11016, true);
        const std::string storedName = name;
        name = WithBackslashes(name);
        std::string report = LoadZipStr(10142, "Processing: ") + name;
        for (const RenamePair& pair : pairs) {
            const bool folder = pair.Source.back() == '\\';
            if (folder ? !StartsWithText(name, pair.Source) : !SameText(name, pair.Source))
                continue;
            name = pair.Dest + name.substr(pair.Source.size());
            report += LoadZipStr(10143, " renamed to: ") + name;
            if (pair.DateTime != 0)
                record.DateTime = pair.DateTime;
        }
        name = WithSlashes(name);
        if (name.size() > 0xFFFF)
            throw EZipBuilder(11028, true);
        record.FileName = name;
        record.FileNameLen = static_cast<std::uint32_t>(name.size());
        if (OnMessage)
            OnMessage(this, 0, report);
        record.RelOffLocal = output.Offset();
        if (OnProgress)
            OnProgress(this, NewFile, name, static_cast<std::int64_t>(end - entry.LocalOffset));
        const std::int64_t extraAt = entry.LocalOffset + ZipLocalHeaderSize + localNameLength;
        const bool sameDate = record.DateTime == 0 || record.DateTime == GetLE32(local + 10);
        if (sameDate && name == storedName) {
            output.Copy(*InHandle, entry.LocalOffset, extraAt - entry.LocalOffset, 11028);
        } else {
            if (record.DateTime != 0)
                PutLE32(local + 10, record.DateTime);
            PutLE16(local + 26, static_cast<std::uint16_t>(name.size()));
            output.Write(local, sizeof local, 11028);
            output.Write(name, 11028);
        }
        output.Copy(*InHandle, extraAt, dataOffset - extraAt, 11018);
        output.Copy(*InHandle, dataOffset, end - dataOffset, 11021);
    }
    ShowCopyProgress = false;
    const std::uint32_t directoryOffset = output.Offset();
    for (std::size_t i = 0; i < directory.Entries.size(); ++i)
        WriteCentralHeader(output, directory.Entries[i], ZipData[i].FileName, ZipData[i].RelOffLocal,
                           ZipData[i].DateTime);
    WriteEndRecord(output, directory.Entries.size(), directoryOffset, RawCommentOf(*InHandle, directory, 11023));
    output.Flush();
    DeleteSpanMem();
}

// --- Copying entries ---------------------------------------------------------------------------

namespace {

// One entry of the new destination archive: its place in the destination's or the source's
// directory, and what is done with it.
struct TZipCopyItem {
    std::string Name; // as listed, "\" separators
    std::uint16_t Mark = 0;
    const TZipCentralEntry* Destination = nullptr;
    const TZipCentralEntry* Source = nullptr;
    std::uint32_t Offset = 0;
};

} // namespace

int TZipArchiver::CopyZippedFiles(TZipArchiver* destination, bool deleteFromSource, OvrOpts mode)
{
    if (ZipBusy)
        return -6;
    ZipBusy = true;
    TZipHourglass hourglass;
    ShowCopyProgress = false;
    std::vector<std::string> notCopied;
    int out = -1;
    std::string temporary;
    int result = RunCaught([&] {
        if (!destination || destination == this || SameText(destination->ZipFileName(), FZipFileName) ||
            SameFile(destination->ZipFileName(), FZipFileName))
            throw EZipBuilder(10180, true);
        out = CreateWorkOutput(*this, temporary);
        CopyEntries(*destination, mode, out, notCopied);
    });
    InHandle.reset();
    if (destination && destination != this) {
        if (FinishWorkOutput(out, temporary, ArchiveDate, result == 0) &&
            !PlaceReplacing(temporary, destination->ZipFileName(), destination->HowToDelete)) {
            ShowZipMessage(11009, "");
            result = -9;
        }
        destination->List();
    } else {
        FinishWorkOutput(out, temporary, 0, false);
    }
    if (result == 0) {
        if (deleteFromSource && FFSpecArgs->Count() > 0) {
            ZipBusy = false;
            Delete();
        }
        FFSpecArgs->Clear();
        for (const std::string& name : notCopied)
            FFSpecArgs->Add(name);
    }
    ZipBusy = false;
    return result;
}

void TZipArchiver::CopyEntries(TZipArchiver& destination, OvrOpts mode, int out, std::vector<std::string>& notCopied)
{
    WorkFileName = FZipFileName;
    ZipEndOfCentral sourceEnd;
    CheckIfLastDisk(sourceEnd, true);
    TZipDirectory source;
    ReadDirectory(*InHandle, source);
    const TZipArchiveFile destinationFile(destination.ZipFileName());
    if (!destinationFile.IsOpen())
        throw EZipBuilder(10185, true);
    ArchiveDate = FileGetDate(destinationFile.Handle());
    TZipDirectory target;
    ReadDirectory(destinationFile, target);

    auto listedName = [this](const TZipCentralEntry& entry) {
        std::string name = entry.Name;
        if (entry.Header.Flags & ZipFlagUtf8)
            name = Utf8ToAnsi(name);
        else
            ConvertOem2Iso(name.data(), cpdOEM2ISO);
        return ReplaceForwardSlash(name.c_str());
    };
    std::vector<TZipCopyItem> items;
    for (const TZipCentralEntry& entry : target.Entries)
        items.push_back({listedName(entry), 0, &entry, nullptr, 0});
    for (int i = 0; i < FFSpecArgs->Count(); ++i) {
        const std::string name = WithBackslashes(FFSpecArgs->Strings(i));
        auto found = std::find_if(items.begin(), items.end(), [&](const TZipCopyItem& item) {
            return SameText(item.Name, name);
        });
        if (found == items.end())
            items.push_back({name, MarkNew, nullptr, nullptr, 0});
        else
            found->Mark = mode == OvrAlways ? MarkOverwrite : mode == OvrNever ? MarkKeep : MarkAsk;
    }
    // The destination's listing shows the marks while the copy runs; it is read again afterwards.
    for (const TZipCopyItem& item : items) {
        if (item.Mark == 0)
            continue;
        auto listed = std::find_if(destination.Entries.begin(), destination.Entries.end(),
                                   [&](const ZipDirEntry& entry) { return SameText(entry.FileName, item.Name); });
        if (listed == destination.Entries.end()) {
            ZipDirEntry added;
            added.FileName = item.Name;
            added.Header.FileNameLength = static_cast<std::uint16_t>(item.Name.size());
            listed = destination.Entries.insert(destination.Entries.end(), added);
        }
        listed->Header.Flag = static_cast<std::uint16_t>((listed->Header.Flag & ~MarkBits) | item.Mark);
    }
    for (TZipCopyItem& item : items) {
        if (item.Mark != MarkNew && item.Mark != MarkOverwrite && item.Mark != MarkAsk)
            continue;
        for (const TZipCentralEntry& entry : source.Entries)
            if (SameText(listedName(entry), item.Name))
                item.Source = &entry;
        if (!item.Source)
            throw EZipBuilder(10183, FZipFileName, item.Name);
    }

    TZipWorkOutput output(out);
    output.Copy(destinationFile, 0, target.PrefixSize, 10184);
    for (TZipCopyItem& item : items) {
        if (item.Mark == MarkAsk) {
            bool overwrite = false;
            if (destination.OnCopyZipOverwrite) {
                destination.OnCopyZipOverwrite(&destination, item.Name, overwrite);
            } else {
                const std::string question = Format(LoadZipStr(10181, "Overwrite %s in %s ?"),
                                                    {item.Name, destination.ZipFileName()});
                overwrite = MessageBoxA(ParentWindow, question.c_str(), Application->Title().c_str(),
                                        MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON2) == IDYES;
            }
            item.Mark = overwrite ? MarkOverwrite : MarkKeep;
        }
        item.Offset = output.Offset();
        const bool fromSource = item.Mark == MarkNew || item.Mark == MarkOverwrite;
        const TZipArchiveFile& file = fromSource ? *InHandle : destinationFile;
        const TZipCentralEntry& entry = fromSource ? *item.Source : *item.Destination;
        std::int64_t dataOffset = 0, end = 0;
        try {
            EntryExtent(file, entry, dataOffset, end, 10182);
            output.Copy(file, entry.LocalOffset, end - entry.LocalOffset, 10182);
        } catch (const EZipBuilder&) {
            throw EZipBuilder(10182, destination.ZipFileName(), fromSource ? FZipFileName : destination.ZipFileName());
        }
        if (item.Mark == MarkKeep) {
            notCopied.push_back(item.Name);
            const int index = FFSpecArgs->IndexOf(item.Name);
            if (index >= 0)
                FFSpecArgs->Delete(index);
        }
    }
    const std::uint32_t directoryOffset = output.Offset();
    for (const TZipCopyItem& item : items) {
        const bool fromSource = item.Mark == MarkNew || item.Mark == MarkOverwrite;
        const TZipCentralEntry& entry = fromSource ? *item.Source : *item.Destination;
        WriteCentralHeader(output, entry, entry.Name, item.Offset, 0);
    }
    WriteEndRecord(output, items.size(), directoryOffset, RawCommentOf(destinationFile, target, 11023));
    output.Flush();
}
