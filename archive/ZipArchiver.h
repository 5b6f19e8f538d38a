#pragma once
// TZipArchiver makes and reads ZIP archives by driving the two engines loaded as "ZIPCORE.DLL"
// (adding and deleting entries) and "UNZCORE.DLL" (extracting and testing). It reads the central
// directory and the archive comment itself. Every failure and notice is reported by its message
// number, in a box unless Unattended; no operation lets an exception out.

#include "archive/ZipCoreApi.h"
#include "platform/gui/Icon.h"
#include "platform/os/WinBase.h"
#include "platform/rtl/Classes.h"
#include "platform/rtl/Exceptions.h"
#include "platform/rtl/Lists.h"
#include "platform/rtl/Sets.h"
#include "platform/rtl/Streams.h"

#include <atomic>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <vector>

class TZipArchiveFile;
class TPeImage;
struct TPeResourceEntry;
struct TZipSpanHeader;

using ZipCoreApi::UnZipSkipTypes;

enum AddOptsEnum {
    AddDirNames, AddRecurseDirs, AddMove, AddFreshen, AddUpdate, AddZipTime, AddForceDOS, AddHiddenFiles,
    AddArchiveOnly, AddResetArchive, AddEncrypt, AddSeparateDirs, AddVolume, AddDiskSpan, AddDiskSpanErase
};
using AddOpts = TSet<AddOptsEnum>;

enum ExtrOptsEnum { ExtrDirNames, ExtrOverWrite, ExtrFreshen, ExtrUpdate, ExtrTest };
using ExtrOpts = TSet<ExtrOptsEnum>;

enum SFXOptsEnum { SFXAskCmdLine, SFXAskFiles, SFXAutoRun, SFXHideOverWriteBox, SFXCheckSize, SFXNoSuccessMsg };
using SFXOpts = TSet<SFXOptsEnum>;

enum AddStoreSuffix { assGIF, assPNG, assZ, assZIP, assZOO, assARC, assLZH, assARJ, assTAZ, assTGZ, assLHA, assEXE };
using AddStoreExts = TSet<AddStoreSuffix>;

enum OvrOpts { OvrConfirm, OvrAlways, OvrNever };
enum CPOpts { cpAUTO, cpNone, cpOEM };
enum DeleteOpts { htdFinal, htdAllowUndo };
enum CodePageDirection { cpdOEM2ISO, cpdISO2OEM };

// The values of the callback's progress actions.
enum ProgressType { NewFile, ProgressUpdate, EndOfBatch, TotalFiles2Process, TotalSize2Process };

// The state of a disk offered for a spanned set: as a set, 1 empty, 2 holds data, 4 a previous disk
// of this set, 8 a previous file, 16 not enough room.
enum ZipDiskStatusEnum { zdsEmpty, zdsHasFiles, zdsPreviousDisk, zdsSameFileName, zdsNotEnoughSpace };
using TZipDiskStatus = TSet<ZipDiskStatusEnum>;
// The answer about such a disk: 0 or 1 overwrite (1 also lets the next disk be formatted), 2 another
// disk, 3 cancel.
enum TZipDiskAction : std::uint8_t { zdaOk, zdaErase, zdaReject, zdaCancel };

// The 42 bytes after the signature of a central directory header, as stored.
struct [[gnu::packed]] ZipDirEntryHeader {
    std::uint8_t MadeByVersion;
    std::uint8_t HostSystem;
    std::uint16_t VersionNeeded;
    std::uint16_t Flag;
    std::uint16_t ComprMethod;
    std::uint32_t DateTime;
    std::uint32_t CRC32;
    std::uint32_t CompressedSize;
    std::uint32_t UncompressedSize;
    std::uint16_t FileNameLength;
    std::uint16_t ExtraFieldLength;
    std::uint16_t FileCommentLen;
    std::uint16_t StartOnDisk;
    std::uint16_t IntFileAttrib;
    std::uint32_t ExtFileAttrib;
    std::uint32_t RelOffLocalHdr;
};
static_assert(sizeof(ZipDirEntryHeader) == 42);

// One listed entry.
struct ZipDirEntry {
    ZipDirEntryHeader Header{};
    std::string FileName;    // "\" separators, Windows-1252
    std::string FileComment; // Windows-1252
    bool Encrypted = false;
    std::vector<std::uint8_t> ExtraData; // as stored; empty when there is none
};

// The memory stream that receives an extraction into memory.
class TZipStream : public TMemoryStream {
    TESS_CLASS(TZipStream, TMemoryStream)
public:
    // Takes a copy of a memory block as the whole contents; the position goes to 0.
    void SetPointer(const void* block, std::int64_t size);
};

// The component's exception: a message number and whether a handler shows it.
class EZipBuilder : public Exception {
    TESS_CLASS(EZipBuilder, Exception)
public:
    EZipBuilder(int messageId, bool showToUser);
    EZipBuilder(int messageId, int argument);
    EZipBuilder(int messageId, const std::string& argument);
    EZipBuilder(int messageId, const std::string& argument1, const std::string& argument2);

    bool ShowToUser = true;
    int MessageId = 0;
};

class TZipArchiver;

using TZipProgressEvent =
    std::function<void(TObject* Sender, ProgressType ProgrType, const std::string& FileName, std::int64_t FileSize)>;
using TZipMessageEvent = std::function<void(TObject* Sender, int ErrCode, const std::string& Message)>;
using TZipSetNewNameEvent = std::function<void(TObject* Sender, std::string& OldFileName, bool& IsChanged)>;
using TZipNewNameEvent = std::function<void(TObject* Sender, int SeqNo, const ZipDirEntry& ZipEntry)>;
using TZipPasswordErrorEvent = std::function<void(TObject* Sender, std::string& NewPassword,
                                                  const std::string& ForFile, unsigned& RepeatCount)>;
using TZipCRC32ErrorEvent = std::function<void(TObject* Sender, const std::string& ForFile, unsigned FoundCRC,
                                               unsigned ExpectedCRC, bool& DoExtract)>;
using TZipExtractOverwriteEvent =
    std::function<void(TObject* Sender, const std::string& ForFile, bool IsOlder, bool& DoOverwrite)>;
using TZipExtractSkippedEvent =
    std::function<void(TObject* Sender, const std::string& ForFile, UnZipSkipTypes SkipType, int ExtError)>;
using TZipCopyOverwriteEvent = std::function<void(TObject* Sender, const std::string& ForFile, bool& DoOverwrite)>;
using TZipGetNextDiskEvent = std::function<void(TObject* Sender, int DiskSeqNo, int DiskTotal,
                                                const std::string& Drive, bool& Cancel)>;
using TZipStatusDiskEvent = std::function<void(TObject* Sender, int PreviousDisk, const std::string& PreviousFile,
                                               TZipDiskStatus Status, TZipDiskAction& Action)>;
using TZipFileCommentEvent = std::function<void(TObject* Sender, const std::string& ForFile,
                                                std::string& FileComment, bool& IsChanged)>;

// The drive queries of the component; tests replace them to simulate other drives.
struct TZipDriveServices {
    // The root of the volume holding a path, with a final separator; "" when unknown.
    std::function<std::string(const std::string& path)> VolumeRoot;
    std::function<UINT(const std::string& root)> DriveType;
    // Free bytes (for the caller) and total bytes; false when the drive cannot be measured.
    std::function<bool(const std::string& root, std::int64_t& freeBytes, std::int64_t& totalBytes)> FreeAndTotal;
    // Label and serial; 0, or the system error (ERROR_GEN_FAILURE for an unformatted disk).
    std::function<DWORD(const std::string& root, std::string& label, DWORD& serial)> VolumeInformation;
    std::function<bool(const std::string& root, const std::string& label)> SetLabel;

    // The layer's queries.
    static TZipDriveServices System();
};

// One entry's place while a spanned set is written or joined.
struct MDZipData {
    std::uint16_t DiskStart = 0;
    std::uint32_t RelOffLocal = 0;
    std::uint32_t FileNameLen = 0;
    std::string FileName; // as stored
    std::uint32_t ComprSize = 0;
    std::uint32_t DateTime = 0;
};

// One renaming of Rename: a file name or a folder (ending in "\\") and what it becomes; a DOS
// date and time to stamp on the entries it renames, 0 to keep theirs.
struct RenamePair {
    std::string Source;
    std::string Dest;
    std::uint32_t DateTime = 0;
};

// The end record as stored, after its signature.
struct ZipEndOfCentral {
    std::uint16_t ThisDiskNo = 0;
    std::uint16_t CentralDiskNo = 0;
    std::uint16_t CentralEntries = 0;
    std::uint16_t TotalEntries = 0;
    std::uint32_t CentralSize = 0;
    std::uint32_t CentralOffset = 0;
    std::uint16_t ZipCommentLen = 0;
};

class TZipArchiver : public TComponent {
    TESS_CLASS(TZipArchiver, TComponent)
public:
    explicit TZipArchiver(TComponent* AOwner);
    ~TZipArchiver() override;

    // --- Properties ---
    bool Verbose = false;
    bool Trace = false;
    int AddCompLevel = 9;
    AddOpts AddOptions;
    ExtrOpts ExtrOptions;
    SFXOpts SFXOptions{SFXCheckSize};
    std::string ExtrBaseDir;
    TStringList* FSpecArgs() const { return FFSpecArgs.get(); }
    void SetFSpecArgs(TStrings* value);
    const std::string& ZipFileName() const { return FZipFileName; }
    // Stores the name and lists the archive (not while designing).
    void SetZipFileName(const std::string& value);
    std::string Password;
    std::string SFXPath;
    const std::string& DLLDirectory() const { return FDLLDirectory; }
    void SetDLLDirectory(const std::string& value);
    OvrOpts SFXOverWriteMode = OvrConfirm;
    std::string SFXCaption = "Self-extracting Archive";
    std::string SFXDefaultDir;
    std::string SFXCommandLine;
    std::string SFXMessage;
    std::string TempDir;
    std::int64_t KeepFreeOnDisk1() const { return FKeepFreeOnDisk1; }
    void SetKeepFreeOnDisk1(std::int64_t value);
    std::int64_t MaxVolumeSize() const { return FMaxVolumeSize; }
    void SetMaxVolumeSize(std::int64_t value);
    int MinFreeVolumeSize() const { return FMinFreeVolumeSize; }
    void SetMinFreeVolumeSize(int value);
    bool ConfirmErase = true;
    bool Unattended = false;
    CPOpts CodePage = cpAUTO;
    DeleteOpts HowToDelete = htdAllowUndo;
    const std::string& VersionInfo() const { return FVersionInfo; }
    void SetVersionInfo(const std::string&) {}
    TIcon* SFXIcon() const { return FSFXIcon.get(); }
    void SetSFXIcon(TIcon* value);
    AddStoreExts AddStoreSuffixes{assGIF, assPNG, assZ, assZIP, assZOO, assARC,
                                  assLZH, assARJ, assTAZ, assTGZ, assLHA};
    unsigned PasswordReqCount() const { return FPasswordReqCount; }
    void SetPasswordReqCount(unsigned value);
    TStringList* FSpecArgsExcl() const { return FFSpecArgsExcl.get(); }
    void SetFSpecArgsExcl(TStrings* value);
    bool UseDirOnlyEntries = false;
    const std::string& RootDir() const { return FRootDir; }
    void SetRootDir(const std::string& value);

    TZipProgressEvent OnProgress;
    TZipMessageEvent OnMessage;
    TNotifyEvent OnDirUpdate;
    TZipSetNewNameEvent OnSetNewName;
    TZipNewNameEvent OnNewName;
    TZipPasswordErrorEvent OnPasswordError;
    TZipCRC32ErrorEvent OnCRC32Error;
    TZipExtractOverwriteEvent OnExtractOverwrite;
    TZipExtractSkippedEvent OnExtractSkipped;
    TZipCopyOverwriteEvent OnCopyZipOverwrite;
    TZipGetNextDiskEvent OnGetNextDisk;
    TZipStatusDiskEvent OnStatusDisk;
    TZipFileCommentEvent OnFileComment;

    // --- State ---
    HWND ParentWindow = nullptr;
    bool CancelRequested = false;
    bool ZipBusy = false;
    bool UnzipBusy = false;
    int ErrCode = 0;
    int FullErrorCode = 0;
    int SuccessCount = 0;
    std::string LastMessage;
    std::vector<ZipDirEntry> Entries;
    int DirOnlyCount = 0;
    std::uint32_t FirstHeaderOffset = 0;
    std::string RawComment;
    std::uint32_t TotalSize = 0;
    std::uint8_t HostSystem = 0;
    std::uint8_t HostVersion = 0;
    bool StorePassword = true;
    bool ShowCopyProgress = false;
    TZipStream* ZipStream() const { return FZipStream.get(); }
    void* CommandRecord = nullptr;
    void* UnzipCommandRecord = nullptr;

    // Listing and drive state.
    std::string WorkFileName;
    std::string WorkDrive;
    std::string VolumeLabel;
    DWORD VolumeSerial = 0;
    std::unique_ptr<TZipArchiveFile> InHandle;
    std::uint32_t ArchiveSize = 0;
    std::uint32_t PhysicalSize = 0;
    std::uint32_t EndRecordOffset = 0;
    std::uint32_t CentralDirOffset = 0;
    bool PrefixMismatch = false;
    bool Spanned = false;
    std::uint16_t LastDiskNumber = 0;
    int DiskNumber = 0;
    std::int64_t DiskFree = 0;
    std::int64_t DiskSize = 0;
    TZipDriveServices DriveServices = TZipDriveServices::System();

    // Spanned sets.
    std::string SpanOutName;
    std::uint32_t BytesOnDisk = 0;
    int ArchiveDate = 0; // DOS date of every part and of a joined archive
    bool NewDiskPending = false;
    int OutHandle = -1;  // the open part or joined archive
    TZipDiskStatus DiskStatus;
    TZipDiskAction DiskAction = zdaOk;
    int FormatDriveIndex = 0; // 0 for drive A
    std::vector<MDZipData> ZipData;

    // Formatting a disk: the format thread writes these while the interface thread reads them.
    HWND FormatDialog = nullptr;
    std::atomic<int> FormatState{0}; // 0 waiting, 1 dialog shown, 2 finished
    std::atomic<bool> AutoStartFormat{false};
    std::atomic<int> FormatResult{-3};

    // --- Operations ---
    void Add();
    void Delete();
    void Extract() { ExtExtract(false); }
    void ExtExtract(bool toMemory);
    // The stream (owned by the component) when exactly one entry came out, else null.
    TZipStream* ExtractFileToStream(const std::string& fileName);
    int GetZipVers();
    int GetUnzVers();
    int GetCount() const;
    void Load_Zip_Core();
    void Load_Unz_Core();
    void Unload_Zip_Core();
    void Unload_Unz_Core();
    void SetZipSwitches(TZipCmdRecord& record, const std::string& archiveName, int version);
    void SetUnZipSwitches(TUnzipCmdRecord& record, const std::string& archiveName, int version);
    static int ZCallback(TZCallBackStruct* callbackRecord);
    void ConvertOem2Iso(char* text, CodePageDirection direction) const;
    void FreeZipDirEntryRecords();

    // Listing and comment.
    void List();
    std::string GetZipComment() const;
    void SetZipComment(const std::string& text);
    bool CheckIfLastDisk(ZipEndOfCentral& endRecord, bool raise);
    bool IsDiskPresent();
    void DiskFreeAndSize(int which);
    // Closes the input and opens the part of disk n, asking for the disk until it is there.
    void GetNewDisk(int diskNumber);

    // Messages and file routines.
    static std::string LoadZipStr(int id, const std::string& defaultText);
    void ShowZipMessage(int id, const std::string& appended);
    void ShowExceptionError(const EZipBuilder& error);
    static std::string AppendSlash(const std::string& text);
    static std::string ReplaceForwardSlash(const char* text);
    int CopyBuffer(int inFile, int outFile, std::int64_t count);
    int CopyFile(const std::string& source, const std::string& destination);
    int EraseFile(const std::string& fileName, DeleteOpts how);
    std::string MakeTempFileName(const std::string& prefix, const std::string& extension);

    // Password prompts.
    bool GetPassword(const std::string& caption, const std::string& prompt, std::string& password);
    std::string GetExtrPassword();
    std::string GetAddPassword();

    // Spanned sets: 0, or -7, -8, -9 after the failure was reported.
    int WriteSpan(const std::string& source, const std::string& output);
    // Joins the set whose last part (or disk) is named into one archive; output is a folder or a
    // file name on entry and the joined archive's name on return ("" on failure).
    int ReadSpan(const std::string& firstName, std::string& output);
    // Writes a block into the parts, changing disks as needed; a block with a minimum starts on a
    // part with room for that many bytes. The number of bytes written.
    int WriteSplit(const void* block, std::uint32_t length, std::uint32_t minimum);
    // The chunk the copies between an archive and its parts move at a time.
    static constexpr std::uint32_t SpanBufferSize = 65536;
    // Copies count bytes from the input into the parts; buffer holds SpanBufferSize bytes.
    void RWSplitData(std::uint8_t* buffer, std::uint32_t count, int errorNumber);
    void WriteJoin(const void* block, std::uint32_t length, int errorNumber);
    // Copies count bytes from the parts to the joined output, moving to the next part at the end
    // of one; buffer holds SpanBufferSize bytes.
    void RWJoinData(std::uint8_t* buffer, std::uint32_t count, int errorNumber);
    UINT CheckForDisk();
    bool IsRightDisk(UINT driveType);
    void AllocSpanMem(int count);
    void DeleteSpanMem();
    MDZipData& FindZipEntry(const std::string& name);
    // Formats drive FormatDriveIndex on the format thread: 0 or more done, -1 failed, -2
    // cancelled, -3 not formatted.
    int ZipFormat();

    // Self-extracting archives: 0, or the failure after it was reported.
    int ConvertSFX() { return ConvertSFX(false); }
    int ConvertSFX(bool newArchive);
    int ConvertZIP();
    // Puts SFXIcon's image in place of the stub's 32 x 32 16-colour icon in an output open for
    // reading and writing: 0, 244 (the icon is not one such image), 245 (failure), 246 (no
    // program header or no such icon). The output's position is its end afterwards.
    int ReplaceIcon(int outFile, std::uint32_t stubSize);
    // Copies the central directory and the end record from the input's position to the output,
    // every offset moved by shift: 0 or -2.
    int RWCentralDir(int outFile, const ZipEndOfCentral& endRecord, std::int64_t shift);

    // Renaming and copying entries: 0, -10 (a file renamed to a folder), -6 (busy), or -7, -8, -9
    // after the failure was reported.
    int Rename(std::vector<RenamePair>& pairs, std::uint32_t dateTime);
    int CopyZippedFiles(TZipArchiver* destination, bool deleteFromSource, OvrOpts mode);

private:
    std::string FindSfxStub();
    std::string SfxHeaderBlock() const;
    int WriteSfx(bool newArchive, const std::string& output, std::string& temporary);
    int WriteZipFromSfx(const std::string& output, std::string& temporary);
    void ReadSfxBlock(const std::uint8_t* bytes, std::size_t size);
    // The data entry of the icon image the resource walk finds, or null.
    const TPeResourceEntry* SearchResDirEntry(const TPeImage& image, int directory, int level) const;
    const TPeResourceEntry* BrowseResDir(const TPeImage& image, const TPeResourceEntry& entry, int level) const;
    const TPeResourceEntry* LookForDirs(const TPeImage& image) const;
    // Puts a complete output in place of target: the old target goes aside under a unique
    // name, the output is renamed, and only then is the old one erased (moved back on failure).
    bool PlaceReplacing(const std::string& output, const std::string& target, DeleteOpts how);
    void RenameEntries(std::vector<RenamePair>& pairs, std::uint32_t dateTime, int out);
    void CopyEntries(TZipArchiver& destination, OvrOpts mode, int out, std::vector<std::string>& notCopied);
    int ActionCallback(TZCallBackStruct& callbackRecord);
    void AnswerPassword(TZCallBackStruct& callbackRecord, const std::string& text);
    // A NUL-terminated copy that lives until the running engine call ends.
    const char* KeepText(const std::string& text);
    int RunZipEngine(int version, const std::string& target, bool deleting);
    int RunUnzipEngine(int version, const std::string& archive, bool toMemory, bool& called);
    void ReadCentralDirectory(const ZipEndOfCentral& endRecord);
    void WriteComment(const std::string& text, bool& modified);
    // Runs the work of an archive operation and turns what it raises into -7, -8 or -9.
    int RunCaught(const std::function<void()>& work);
    void WriteSpanParts(const std::string& source);
    void ReadSpanParts(std::string& output);
    void CopySpanLocalEntries(std::uint8_t* buffer, std::uint32_t entries);
    void CopySpanCentralDirectory(std::uint8_t* buffer, const ZipEndOfCentral& end, std::uint32_t& directoryOffset);
    void MakeRoomInSpan(std::uint32_t minimum);
    void OpenSpanPart();
    bool SpanPartMayBeOverwritten(const std::string& partName);
    bool SpanDiskHasRoom(const std::string& partName);
    void FinishSpanPart();
    void DiscardSpanOutput();
    void ReadSpanHeader(std::uint8_t* buffer, std::uint32_t size, int errorNumber);
    void ReadEntryHeader(TZipSpanHeader& header, bool central, bool acrossParts);
    std::uint32_t InputCompressedSize(const std::string& name);
    bool IsRemovableSpanDrive(UINT driveType) const;

    std::string FOutTemporary; // the file OutHandle writes, renamed to FOutName when complete
    std::string FOutName;
    std::string FOutReserved;  // a temporary name reserved for a joined archive
    bool FSpanRemovable = false;
    std::uint32_t FSpanPumpedAt = 0;
    std::vector<bool> FPlaced; // the work records whose local header was found

    std::deque<std::string> FRecordTexts;
    std::vector<const char*> FRecordExcludes;

    std::unique_ptr<TStringList> FFSpecArgs;
    std::unique_ptr<TStringList> FFSpecArgsExcl;
    std::unique_ptr<TIcon> FSFXIcon;
    std::unique_ptr<TZipStream> FZipStream;
    std::string FZipFileName;
    std::string FDLLDirectory;
    std::string FRootDir;
    std::string FVersionInfo = "1.60 L";
    std::int64_t FKeepFreeOnDisk1 = 0;
    std::int64_t FMaxVolumeSize = 0;
    int FMinFreeVolumeSize = 65536;
    unsigned FPasswordReqCount = 1;
};

// Shows the hourglass for the life of the object.
class TZipHourglass {
public:
    TZipHourglass();
    ~TZipHourglass();
    TZipHourglass(const TZipHourglass&) = delete;
    TZipHourglass& operator=(const TZipHourglass&) = delete;

private:
    int FSaved;
};

// The fallback text of a message number that has no text of its own.
extern const char* const ZipMessageFallback;
