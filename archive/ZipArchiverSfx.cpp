// Self-extracting archives: the stub program, a block with the extractor's settings and the
// archive with its offsets moved behind them; and the way back to a plain archive. The output is
// written under a temporary name beside its final one and put in place only once complete, so a
// failure leaves every file as it was.

#include "archive/ZipArchiver.h"

#include "archive/ZipDirectory.h"
#include "platform/gui/ShellIcons.h"
#include "platform/os/PeImage.h"
#include "platform/os/SystemInfo.h"
#include "platform/rtl/Files.h"
#include "platform/rtl/Streams.h"
#include "platform/rtl/System.h"
#include "platform/rtl/TextUtils.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr const char* SfxStubName = "ZipSFX.bin";
constexpr std::size_t SfxMaxText = 255;
constexpr std::size_t SfxFixedBytes = 12;
constexpr std::uint32_t SfxBlockSearch = 1032;
constexpr std::size_t SfxIconFileSize = 766;
constexpr std::size_t SfxIconHeaderSize = 22;
constexpr std::uint32_t SfxIconImageSize = 744;
constexpr std::uint16_t ResourceTypeIcon = 3;
constexpr std::uint16_t SfxIconId = 1;

enum SfxOptionBit : std::uint8_t {
    BitAskCmdLine = 0x01,
    BitAskFiles = 0x02,
    BitHideOverWriteBox = 0x04,
    BitOverwriteAlways = 0x08,
    BitOverwriteNever = 0x10,
    BitNoCheckSize = 0x20,
    BitAutoRun = 0x40,
    BitNoSuccessMsg = 0x80,
};

std::int64_t SfxFileSize(int handle)
{
    struct stat info {};
    return fstat(handle, &info) == 0 ? info.st_size : -1;
}

bool SfxWriteAll(int handle, const void* bytes, std::size_t size)
{
    return FileWrite(handle, bytes, static_cast<int>(size)) == static_cast<int>(size);
}

bool SfxHasExtension(const std::string& fileName, const char* extension)
{
    return UpperCase(ExtractFileExt(fileName)) == extension;
}

// The real start of the central directory: the offsets stored may not count bytes put in front.
std::int64_t SfxDirectoryStart(std::uint32_t archiveSize, const ZipEndOfCentral& end)
{
    return static_cast<std::int64_t>(archiveSize) - end.CentralSize - end.ZipCommentLen - ZipEndRecordSize;
}

// Copies count bytes (all to the end when negative) in large chunks: the archive part of a
// self-extractor then copies near the speed of cat. -2 when a write falls short.
int SfxCopy(int in, int out, std::int64_t count)
{
    std::vector<char> buffer(TZipArchiver::SpanBufferSize);
    for (;;) {
        int chunk = static_cast<int>(buffer.size());
        if (count >= 0 && count < chunk)
            chunk = static_cast<int>(count);
        const int got = chunk > 0 ? std::max(FileRead(in, buffer.data(), chunk), 0) : 0;
        if (got > 0 && FileWrite(out, buffer.data(), got) != got)
            return -2;
        if (count > 0)
            count -= got;
        if (got < chunk || count == 0)
            return 0;
    }
}

// Renames the complete temporary (a native path) to the output's name.
bool SfxPutInPlace(const std::string& temporary, const std::string& output)
{
    const std::string target = ResolvePath(output);
    const bool placed = rename(temporary.c_str(), target.c_str()) == 0;
    ForgetCachedFolder(target);
    return placed;
}

} // namespace

// --- The settings block ------------------------------------------------------------------------

std::string TZipArchiver::SfxHeaderBlock() const
{
    std::uint8_t options = 0;
    if (SFXOptions.Contains(SFXAskCmdLine))
        options |= BitAskCmdLine;
    if (SFXOptions.Contains(SFXAskFiles))
        options |= BitAskFiles;
    if (SFXOptions.Contains(SFXHideOverWriteBox))
        options |= BitHideOverWriteBox;
    if (SFXOverWriteMode == OvrAlways)
        options |= BitOverwriteAlways;
    if (SFXOverWriteMode == OvrNever)
        options |= BitOverwriteNever;
    if (!SFXOptions.Contains(SFXCheckSize))
        options |= BitNoCheckSize;
    if (SFXOptions.Contains(SFXAutoRun))
        options |= BitAutoRun;
    if (SFXOptions.Contains(SFXNoSuccessMsg))
        options |= BitNoSuccessMsg;
    const std::size_t texts = SFXCaption.size() + SFXDefaultDir.size() + SFXCommandLine.size() + SFXMessage.size();
    const std::size_t size = (texts + SfxFixedBytes + 3) / 4 * 4;
    std::string block = "MPV";
    block += static_cast<char>(options);
    block += '\0';
    block += '\1';
    block += static_cast<char>(size & 0xFF);
    block += static_cast<char>(size >> 8);
    for (const std::string* text : {&SFXCaption, &SFXDefaultDir, &SFXCommandLine, &SFXMessage}) {
        block += static_cast<char>(text->size());
        block += *text;
    }
    block.resize(size, '\0');
    return block;
}

// Reads the settings of a block found at the start of bytes; raises 10904 when the block claims
// more bytes than there are.
void TZipArchiver::ReadSfxBlock(const std::uint8_t* bytes, std::size_t size)
{
    const bool current = bytes[2] == 'V';
    std::size_t at = current ? 8 : 7;
    const std::size_t lengthsAt = current ? 0 : 4;
    const int textCount = current ? 4 : 3;
    std::string* targets[] = {&SFXCaption, &SFXDefaultDir, &SFXCommandLine, &SFXMessage};
    std::string texts[4];
    for (int i = 0; i < textCount; ++i) {
        std::size_t length = 0;
        if (current) {
            if (at >= size)
                throw EZipBuilder(10903, true);
            length = bytes[at++];
        } else {
            if (lengthsAt + static_cast<std::size_t>(i) >= size)
                throw EZipBuilder(10903, true);
            length = bytes[lengthsAt + static_cast<std::size_t>(i)];
        }
        if (length > size - std::min(at, size))
            throw EZipBuilder(10903, true);
        texts[i].assign(reinterpret_cast<const char*>(bytes + at), length);
        at += length;
    }
    const std::uint8_t options = bytes[3];
    SFXOptions = SFXOpts();
    SFXOverWriteMode = OvrConfirm;
    if (options & BitAskCmdLine)
        SFXOptions.Include(SFXAskCmdLine);
    if (options & BitAskFiles)
        SFXOptions.Include(SFXAskFiles);
    if (options & BitHideOverWriteBox)
        SFXOptions.Include(SFXHideOverWriteBox);
    if (options & BitOverwriteAlways)
        SFXOverWriteMode = OvrAlways;
    if (options & BitOverwriteNever)
        SFXOverWriteMode = OvrNever;
    if (!(options & BitNoCheckSize))
        SFXOptions.Include(SFXCheckSize);
    if (options & BitAutoRun)
        SFXOptions.Include(SFXAutoRun);
    if (current && (options & BitNoSuccessMsg))
        SFXOptions.Include(SFXNoSuccessMsg);
    for (int i = 0; i < textCount; ++i)
        *targets[i] = texts[i];
}

// --- The stub ----------------------------------------------------------------------------------

std::string TZipArchiver::FindSfxStub()
{
    std::vector<std::string> folders = {GetCurrentDir(), ExtractFilePath(ParamStr(0)), GetSystemDirectory(),
                                        GetWindowsDirectory()};
    if (!FDLLDirectory.empty())
        folders.push_back(FDLLDirectory);
    for (const std::string& folder : folders) {
        if (folder.empty())
            continue;
        const std::string candidate = IncludeTrailingBackslash(folder) + SfxStubName;
        if (FileExists(candidate))
            return candidate;
    }
    return "";
}

// --- Icon --------------------------------------------------------------------------------------

// Level 0 takes only the icons, level 1 only icon 1, level 2 any language; named entries are
// skipped. The first data entry of an image's size wins.
const TPeResourceEntry* TZipArchiver::SearchResDirEntry(const TPeImage& image, int directory, int level) const
{
    for (const TPeResourceEntry& entry : image.ResourceDirectories()[static_cast<std::size_t>(directory)].Entries) {
        if (entry.Named)
            continue;
        if ((level == 0 && entry.Id != ResourceTypeIcon) || (level == 1 && entry.Id != SfxIconId))
            continue;
        if (const TPeResourceEntry* found = BrowseResDir(image, entry, level))
            return found;
    }
    return nullptr;
}

const TPeResourceEntry* TZipArchiver::BrowseResDir(const TPeImage& image, const TPeResourceEntry& entry, int level) const
{
    if (entry.Directory >= 0)
        return level < 2 ? SearchResDirEntry(image, entry.Directory, level + 1) : nullptr;
    return level == 2 && entry.Data.Size == SfxIconImageSize ? &entry : nullptr;
}

const TPeResourceEntry* TZipArchiver::LookForDirs(const TPeImage& image) const
{
    return image.ResourceDirectories().empty() ? nullptr : SearchResDirEntry(image, 0, 0);
}

int TZipArchiver::ReplaceIcon(int outFile, std::uint32_t stubSize)
{
    int result = 245;
    try {
        std::vector<std::uint8_t> stub(stubSize);
        if (FileSeek(outFile, 0, fsFromBeginning) == 0 &&
            FileRead(outFile, stub.data(), static_cast<int>(stubSize)) == static_cast<int>(stubSize)) {
            const TPeImage image(stub.data(), stub.size());
            const TPeSection* resources = image.FindSection(".rsrc");
            if (!image.IsProgram() || !resources || image.Status() == TPeImageStatus::NoResources ||
                image.ResourceSection() != resources) {
                result = 246;
            } else if (image.Status() == TPeImageStatus::Ok) {
                const TPeResourceEntry* entry = LookForDirs(image);
                if (!entry) {
                    result = 246;
                } else if (entry->Data.InFile) {
                    TMemoryStream icon;
                    FSFXIcon->SaveToStream(icon);
                    if (icon.Size() != static_cast<std::int64_t>(SfxIconFileSize)) {
                        result = 244;
                    } else if (FileSeek(outFile, entry->Data.FileOffset, fsFromBeginning) == entry->Data.FileOffset &&
                               SfxWriteAll(outFile, reinterpret_cast<const std::uint8_t*>(icon.Memory()) + SfxIconHeaderSize,
                                           SfxIconImageSize)) {
                        result = 0;
                    }
                }
            }
        }
    } catch (...) {
        result = 245;
    }
    FileSeek(outFile, 0, fsFromEnd);
    return result;
}

// --- Central directory -------------------------------------------------------------------------

int TZipArchiver::RWCentralDir(int outFile, const ZipEndOfCentral& endRecord, std::int64_t shift)
{
    const int in = InHandle->Handle();
    auto shifted = [shift](std::uint32_t offset, std::uint32_t& moved) {
        const std::int64_t value = static_cast<std::int64_t>(offset) + shift;
        if (value < 0 || value > 0xFFFFFFFFll)
            return false;
        moved = static_cast<std::uint32_t>(value);
        return true;
    };
    std::vector<std::uint8_t> variable;
    for (int i = 0; i < endRecord.TotalEntries; ++i) {
        std::uint8_t header[ZipCentralHeaderSize];
        if (FileRead(in, header, sizeof header) != static_cast<int>(sizeof header) ||
            GetLE32(header) != ZipCentralHeaderSignature)
            return -2;
        std::uint32_t local = 0;
        if (!shifted(GetLE32(header + 42), local))
            return -2;
        PutLE32(header + 42, local);
        variable.resize(static_cast<std::size_t>(GetLE16(header + 28)) + GetLE16(header + 30) + GetLE16(header + 32));
        if (!SfxWriteAll(outFile, header, sizeof header) ||
            FileRead(in, variable.data(), static_cast<int>(variable.size())) != static_cast<int>(variable.size()) ||
            !SfxWriteAll(outFile, variable.data(), variable.size()))
            return -2;
    }
    std::uint8_t end[ZipEndRecordSize];
    if (FileRead(in, end, sizeof end) != static_cast<int>(sizeof end) || GetLE32(end) != ZipEndRecordSignature)
        return -2;
    std::uint32_t directory = 0;
    if (!shifted(endRecord.CentralOffset, directory))
        return -2;
    PutLE32(end + 16, directory);
    if (!SfxWriteAll(outFile, end, sizeof end))
        return -2;
    variable.resize(endRecord.ZipCommentLen);
    if (FileRead(in, variable.data(), static_cast<int>(variable.size())) != static_cast<int>(variable.size()) ||
        !SfxWriteAll(outFile, variable.data(), variable.size()))
        return -2;
    return 0;
}

// --- To a self-extractor -----------------------------------------------------------------------

int TZipArchiver::ConvertSFX(bool newArchive)
{
    ShowCopyProgress = false;
    if (!newArchive && !FileExists(FZipFileName)) {
        ShowZipMessage(10102, "");
        return -9;
    }
    for (const std::string* text : {&SFXCaption, &SFXDefaultDir, &SFXCommandLine, &SFXMessage}) {
        if (text->size() > SfxMaxText) {
            const std::size_t texts = SFXCaption.size() + SFXDefaultDir.size() + SFXCommandLine.size() + SFXMessage.size();
            const std::size_t blockSize = (texts + SfxFixedBytes + 3) / 4 * 4;
            ShowZipMessage(10801, "\r\nSFXCaption + SFXDefaultDir + SFXCommandLine + SFXMessage = " +
                                      std::to_string(blockSize + 1));
            return -9;
        }
    }
    if (!FileExists(SFXPath)) {
        SFXPath = FindSfxStub();
        if (SFXPath.empty()) {
            ShowZipMessage(10802, "");
            return -9;
        }
    }
    TZipHourglass hourglass;
    std::string output = FZipFileName;
    if (!newArchive) {
        if (!SfxHasExtension(FZipFileName, ".ZIP")) {
            ShowZipMessage(10803, "");
            return -9;
        }
        output = ChangeFileExt(FZipFileName, ".exe");
    }
    std::string temporary;
    int result = -3;
    try {
        result = WriteSfx(newArchive, output, temporary);
    } catch (const std::bad_alloc&) {
        ShowZipMessage(10103, "");
    } catch (...) {
        result = -3;
    }
    InHandle.reset();
    if (result == 0) {
        if (FileExists(output))
            EraseFile(output, HowToDelete);
        if (!SfxPutInPlace(temporary, output))
            result = -9;
    }
    if (result != 0) {
        if (!temporary.empty())
            unlink(temporary.c_str());
        return result;
    }
    if (!newArchive) {
        EraseFile(FZipFileName, HowToDelete);
        SetZipFileName(output);
    }
    return 0;
}

// Writes the self-extractor to a temporary beside output; 0 once it is complete and measured.
int TZipArchiver::WriteSfx(bool newArchive, const std::string& output, std::string& temporary)
{
    const std::string block = SfxHeaderBlock();
    const int out = CreateAtomicTemporary(ResolvePath(output), temporary);
    if (out < 0)
        return -1;
    struct TClose {
        int Handle;
        ~TClose() { FileClose(Handle); }
    } closeOut{out};
    const int stub = FileOpen(SFXPath, fmOpenRead | fmShareDenyWrite);
    if (stub < 0)
        return -3;
    int result = CopyBuffer(stub, out, -1);
    const std::int64_t stubSize = SfxFileSize(stub);
    FileClose(stub);
    if (result != 0)
        return result;
    if (stubSize < 0 || stubSize > 0x7FFFFFFF || SfxFileSize(out) != stubSize)
        return -3;
    if (!FSFXIcon->Empty()) {
        result = ReplaceIcon(out, static_cast<std::uint32_t>(stubSize));
        if (result != 0)
            return result;
    }
    if (!SfxWriteAll(out, block.data(), block.size()))
        return -2;
    const std::int64_t prefix = stubSize + static_cast<std::int64_t>(block.size());
    if (newArchive) {
        std::uint8_t end[ZipEndRecordSize] = {};
        PutLE32(end, ZipEndRecordSignature);
        PutLE32(end + 16, static_cast<std::uint32_t>(prefix));
        return SfxWriteAll(out, end, sizeof end) ? 0 : -2;
    }
    WorkFileName = FZipFileName;
    ZipEndOfCentral end;
    if (!CheckIfLastDisk(end, false) || end.ThisDiskNo != 0)
        return -9;
    const std::int64_t directory = SfxDirectoryStart(ArchiveSize, end);
    if (directory < 0)
        return -9;
    const bool copyWhole = directory != static_cast<std::int64_t>(end.CentralOffset);
    const int in = InHandle->Handle();
    if (FileSeek(in, 0, fsFromBeginning) != 0)
        return -3;
    if (copyWhole) {
        result = SfxCopy(in, out, -1);
    } else {
        result = SfxCopy(in, out, directory);
        if (result == 0)
            result = RWCentralDir(out, end, prefix);
    }
    if (result != 0)
        return result;
    const std::int64_t expected = prefix + (copyWhole ? PhysicalSize : ArchiveSize);
    return SfxFileSize(out) == expected ? 0 : -9;
}

// --- Back to a plain archive -------------------------------------------------------------------

int TZipArchiver::ConvertZIP()
{
    ShowCopyProgress = false;
    if (!FileExists(FZipFileName)) {
        ShowZipMessage(10901, "");
        return -3;
    }
    if (!SfxHasExtension(FZipFileName, ".EXE")) {
        ShowZipMessage(10902, "");
        return -3;
    }
    if (FirstHeaderOffset == 0) {
        ShowZipMessage(10903, "");
        return -9;
    }
    TZipHourglass hourglass;
    const std::string output = ChangeFileExt(FZipFileName, ".zip");
    std::string temporary;
    int result = -3;
    try {
        result = WriteZipFromSfx(output, temporary);
    } catch (const EZipBuilder&) {
        result = -9;
    } catch (const std::bad_alloc&) {
        result = -10;
    } catch (...) {
        result = -3;
    }
    InHandle.reset();
    if (result == 0) {
        if (FileExists(output))
            EraseFile(output, HowToDelete);
        if (!SfxPutInPlace(temporary, output))
            result = -9;
    }
    if (result != 0) {
        if (!temporary.empty())
            unlink(temporary.c_str());
        return result;
    }
    EraseFile(FZipFileName, HowToDelete);
    SetZipFileName(output);
    return 0;
}

int TZipArchiver::WriteZipFromSfx(const std::string& output, std::string& temporary)
{
    const int out = CreateAtomicTemporary(ResolvePath(output), temporary);
    if (out < 0)
        return -1;
    struct TClose {
        int Handle;
        ~TClose() { FileClose(Handle); }
    } closeOut{out};
    WorkFileName = FZipFileName;
    ZipEndOfCentral end;
    if (!CheckIfLastDisk(end, false) || end.ThisDiskNo != 0)
        return -3;
    const std::int64_t directory = SfxDirectoryStart(ArchiveSize, end);
    if (FirstHeaderOffset > PhysicalSize || directory < FirstHeaderOffset)
        return -9;
    const bool copyWhole = directory != static_cast<std::int64_t>(end.CentralOffset);
    const std::uint32_t searched = std::min(SfxBlockSearch, FirstHeaderOffset);
    std::vector<std::uint8_t> before(searched);
    if (!InHandle->ReadAt(FirstHeaderOffset - searched, before.data(), searched))
        return -3;
    for (std::uint32_t i = 0; i + 1 < searched; ++i) {
        if (before[i] != 'M' || before[i + 1] != 'P')
            continue;
        if (i + 2 >= searched)
            return -9; // a block cut short by the archive
        if (before[i + 2] != 'U' && before[i + 2] != 'V')
            continue;
        if (searched - i < 7u + (before[i + 2] == 'V' ? 1u : 0u))
            return -9;
        ReadSfxBlock(before.data() + i, searched - i);
        HICON icon = ExtractIconA(nullptr, FZipFileName.c_str(), 0);
        if (icon && icon != reinterpret_cast<HICON>(1))
            FSFXIcon->SetHandle(icon);
        break;
    }
    const int in = InHandle->Handle();
    if (FileSeek(in, FirstHeaderOffset, fsFromBeginning) != FirstHeaderOffset)
        return -3;
    int result = 0;
    if (copyWhole) {
        result = SfxCopy(in, out, -1);
    } else {
        result = SfxCopy(in, out, directory - FirstHeaderOffset);
        if (result == 0)
            result = RWCentralDir(out, end, -static_cast<std::int64_t>(FirstHeaderOffset));
    }
    if (result != 0)
        return result;
    const std::int64_t expected = static_cast<std::int64_t>(copyWhole ? PhysicalSize : ArchiveSize) - FirstHeaderOffset;
    return SfxFileSize(out) == expected ? 0 : -9;
}
