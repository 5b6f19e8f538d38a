#pragma once
// What the ZIP library component and its two engines, "ZIPCORE.DLL" (adding and deleting
// entries) and "UNZCORE.DLL" (extracting and testing), hand each other: the command records, the
// file request records, the callback record, the entry points and the codes they report.
// Each record keeps the order and the meaning of the fields the Windows libraries read, at this
// platform's widths: pointers are pointers, flags and counts 32 bits, a few flags 16 bits. The
// zero areas stay, so that a caller that zeroes a record leaves every field it does not know at 0.

#include <cstdint>

struct TZCallBackStruct;

// The component's callback: called after every action with the callback record; 1 asks the
// engine to stop, 0 to go on.
using TZipCallback = int (*)(TZCallBackStruct* callbackRecord);

constexpr std::uint32_t ZipCoreRecordVersion = 160;
constexpr std::uint32_t ZipCoreEndMarker = 7;
constexpr int ZipCoreLibraryVersion = 160;

// Room of the callback's text field; for the file comment action the comment starts at
// ZCallBackCommentOffset inside it.
constexpr int ZCallBackTextSize = 512;
constexpr int ZCallBackCommentOffset = 256;
// The longest password the component hands over or takes from a prompt.
constexpr int ZipPasswordMaxLength = 81;

struct TZCallBackStruct {
    void* Handle = nullptr; // the component's window; not read back
    void* Caller = nullptr; // the component, as the command record gave it
    std::uint32_t Reserved[2] = {};
    std::uint32_t ActionCode = 0;
    std::uint32_t ErrorCode = 0; // in and out
    std::uint32_t Size = 0;      // size or count, in and out
    char Text[ZCallBackTextSize] = {}; // Windows-1252, NUL-terminated, in and out
};

// One request of an Add: a path relative to RootDir, a folder or a mask.
struct TZipFileSpec {
    const char* FileSpec = nullptr;
    std::uint32_t Reserved1[2] = {};
    const char* Password = nullptr; // this request's own password
    std::uint32_t Encrypt = 0;
    std::uint16_t Recurse = 0;
    std::uint16_t Reserved2 = 0;
    std::uint32_t Reserved3[3] = {};
    const char* RootDir = nullptr; // base folder; null means the current folder
    std::uint32_t Reserved4[16] = {};
};

// The command record of ZipCoreExec.
struct TZipCmdRecord {
    void* Handle = nullptr;
    void* Caller = nullptr;
    std::uint32_t Version = 0; // ZipCoreRecordVersion
    TZipCallback Callback = nullptr;
    std::uint32_t Trace = 0;
    const char* Password = nullptr;      // null when there is none
    const char* StoreSuffixes = nullptr; // ".gif:.png:...", null when none
    std::uint32_t Encrypt = 0;
    std::uint32_t AddHiddenFiles = 0;
    std::uint32_t AddVolume = 0;
    std::uint32_t Reserved1 = 0;
    std::uint32_t NoDirEntries = 0; // no "folder/" entries
    std::uint32_t Reserved2 = 0;
    std::uint32_t Verbose = 0;
    std::uint32_t Reserved3 = 1; // always 1
    std::uint32_t Level = 9;     // 0 stored, 1 to 9 deflated
    std::uint32_t Reserved4[2] = {};
    std::uint32_t NoDirNames = 0; // store bare names
    std::uint16_t Recurse = 0;
    std::uint16_t Reserved5 = 0;
    std::uint32_t Grow = 1; // add to an existing archive
    std::uint32_t ForceDOS = 0;
    std::uint32_t Move = 0;
    std::uint32_t DeleteEntries = 0; // 1: the call deletes the specified entries
    std::uint32_t Update = 0;
    std::uint32_t Freshen = 0;
    std::uint32_t Reserved6 = 0;
    std::uint32_t ZipTime = 0; // the archive takes the time of its newest entry
    std::uint32_t Reserved7[2] = {};
    std::uint32_t FileSpecCount = 0;
    const char* ArchiveName = nullptr;
    const char* TempDir = nullptr;    // where the new archive is written first; null: beside it
    const char* RawComment = nullptr; // the archive comment as stored; null keeps the old one
    std::uint16_t ArchiveOnly = 0;
    std::uint16_t ResetArchive = 0;
    TZipFileSpec* FileSpecs = nullptr;
    std::uint32_t Reserved8 = 0;
    std::uint32_t ExcludeCount = 0;
    const char* const* Excludes = nullptr;
    std::uint32_t Reserved9[14] = {};
    std::uint32_t Seven = 0; // ZipCoreEndMarker
};

// One request of an extraction: a mask of the stored names.
struct TUnzipFileSpec {
    const char* FileSpec = nullptr;
    std::uint32_t Reserved[17] = {};
};

// The command record of UnzCoreExec.
struct TUnzipCmdRecord {
    void* Handle = nullptr;
    void* Caller = nullptr;
    std::uint32_t Version = 0; // ZipCoreRecordVersion
    TZipCallback Callback = nullptr;
    std::uint32_t Trace = 0;
    std::uint16_t CodePage = 0; // 0 automatic, 1 none, 2 OEM
    std::uint16_t Reserved1 = 0;
    const char* Password = nullptr;
    std::uint32_t Test = 0;
    std::uint32_t Reserved2[2] = {};
    std::uint32_t Reserved3 = 1; // always 1
    std::uint32_t Verbose = 0;
    std::uint32_t Update = 0;
    std::uint32_t Freshen = 0;
    std::uint32_t DirNames = 0;
    std::uint32_t OverWrite = 0;
    std::uint32_t FileSpecCount = 0; // 0: every entry
    const char* ArchiveName = nullptr;
    TUnzipFileSpec* FileSpecs = nullptr;
    std::uint32_t Reserved4 = 0;
    std::uint32_t ExtractToMemory = 0;
    void* MemoryBlock = nullptr;
    std::uint32_t MemorySize = 0;
    std::uint32_t Reserved5[3] = {};
    std::uint32_t PasswordReqCount = 0; // how often a password may be asked per entry
    const char* ExtrBaseDir = nullptr;  // folder to extract into; null: the current folder
    std::uint32_t Reserved6[7] = {};
    std::uint32_t Seven = 0; // ZipCoreEndMarker
};

// The records of libraries up to version 1.50 (zip) and 1.51 (unzip): the same first fields, the
// end marker, then one request text per entry.
constexpr int ZipOldRecordSpecRoom = 4097;

struct TZipCmdRecordV150 {
    void* Handle = nullptr;
    void* Caller = nullptr;
    std::uint32_t Version = 0;
    TZipCallback Callback = nullptr;
    std::uint32_t Trace = 0;
    const char* Password = nullptr;
    const char* StoreSuffixes = nullptr;
    std::uint32_t Encrypt = 0;
    std::uint32_t AddHiddenFiles = 0;
    std::uint32_t AddVolume = 0;
    std::uint32_t Reserved1 = 0;
    std::uint32_t NoDirEntries = 0;
    std::uint32_t Reserved2 = 0;
    std::uint32_t Verbose = 0;
    std::uint32_t Reserved3 = 1;
    std::uint32_t Level = 9;
    std::uint32_t Reserved4[2] = {};
    std::uint32_t NoDirNames = 0;
    std::uint16_t Recurse = 0;
    std::uint16_t Reserved5 = 0;
    std::uint32_t Grow = 1;
    std::uint32_t ForceDOS = 0;
    std::uint32_t Move = 0;
    std::uint32_t DeleteEntries = 0;
    std::uint32_t Update = 0;
    std::uint32_t Freshen = 0;
    std::uint32_t Reserved6 = 0;
    std::uint32_t ZipTime = 0;
    std::uint32_t Reserved7[2] = {};
    std::uint32_t FileSpecCount = 0;
    const char* ArchiveName = nullptr;
    std::uint32_t Seven = 0;
    const char* FileSpecs[ZipOldRecordSpecRoom] = {};
};

struct TUnzipCmdRecordV151 {
    void* Handle = nullptr;
    void* Caller = nullptr;
    std::uint32_t Version = 0;
    TZipCallback Callback = nullptr;
    std::uint32_t Trace = 0;
    std::uint16_t CodePage = 0;
    std::uint16_t Reserved1 = 0;
    const char* Password = nullptr;
    std::uint32_t Test = 0;
    std::uint32_t Reserved2[2] = {};
    std::uint32_t Reserved3 = 1;
    std::uint32_t Verbose = 0;
    std::uint32_t Update = 0;
    std::uint32_t Freshen = 0;
    std::uint32_t DirNames = 0;
    std::uint32_t OverWrite = 0;
    std::uint32_t FileSpecCount = 0;
    const char* ArchiveName = nullptr;
    std::uint32_t Seven = 0;
    const char* FileSpecs[ZipOldRecordSpecRoom] = {};
};

// The entry points, as GetProcAddress hands them out.
using TZipCoreExec = int (*)(TZipCmdRecord* record);
using TUnzCoreExec = int (*)(TUnzipCmdRecord* record);
using TGetCoreVersion = int (*)();

namespace ZipCoreApi {

// The actions of the callback.
enum TZipCallbackAction : std::uint32_t {
    zcaFileBegins = 1,    // text: the name, size: its bytes
    zcaBytesDone = 2,     // size: bytes processed since the last report
    zcaBatchEnds = 3,
    zcaMessage = 4,       // error code and text
    zcaFilesToDo = 5,     // size: the number of files
    zcaBytesToDo = 6,     // size: the number of bytes
    zcaNewName = 7,       // text in and out; error code out 1 when changed
    zcaPassword = 8,      // error code in bit 0: for adding; out 1 with the password in the text
    zcaCrcError = 9,      // error code: CRC found, size: CRC expected; out 0 deletes the file
    zcaOverwrite = 10,    // error code 1: the existing file is older; size in and out: the answer
    zcaSkipped = 11,      // size: the skip type in its low byte; error code: the reason
    zcaFileComment = 12,  // comment in and out from ZCallBackCommentOffset; error code out 1 when changed
};

// Why an extraction skipped an entry (low byte of the size of action 11).
enum UnZipSkipTypes : std::uint8_t {
    stFileExists = 1,
    stNotNewer = 2,
    stUnsafeName = 3,
    stUnsupportedMethod = 4,
    stPassword = 5,
    stCrcError = 6, // the file was removed
    stWriteError = 7,
};

// The error codes of action 4 (and of action 11).
enum TZipCoreError : std::uint32_t {
    zceNote = 0,             // Verbose: one note per file
    zceCannotRead = 1,       // a file to add cannot be read; it is skipped
    zceBadArchive = 2,       // not a ZIP archive, or damaged beyond reading
    zceCannotWriteArchive = 3,
    zceNoMemory = 4,
    zceNothingToDo = 5,      // no file matched the specifications
    zceStopped = 6,          // stopped by the callback
    zcePassword = 7,         // password missing or wrong; entry skipped
    zceCrc = 8,
    zceMethod = 9,           // unsupported method; entry skipped
    zceUnsafeName = 10,
    zceCannotWriteFile = 11, // an extracted file cannot be written
    zceBadRecord = 12,       // invalid command record
};

} // namespace ZipCoreApi
