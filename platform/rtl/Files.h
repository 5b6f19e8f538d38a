#pragma once
// Files, folders and paths as the class library offers them, over POSIX.
//
// Every name passed in is Windows-1252 and may use "\" or "/" and any letter case: each function
// goes through ResolvePath, which turns the name into the UTF-8 path of the entry on disk. A part
// of the path that does not exist in any case keeps the case it was given, so a new file or folder
// is created with the name the caller wrote.

#include "platform/rtl/DateTime.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// The separator the layer writes; both "\" and "/" are accepted everywhere.
constexpr char PathDelim = '/';

// --- The path resolver ------------------------------------------------------------------------

// The native (UTF-8, "/"-separated) path of a Windows-1252 name. Each part that does not exist
// with its exact name is looked up in its folder without regard to case; the folder listings are
// cached and a listing is read again when its folder's modification time changes.
std::string ResolvePath(std::string_view fileName);
// Forgets every cached folder listing.
void ClearPathCache();
// Forgets the cached listing of the folder holding nativePath; for code that creates, renames or
// removes entries with system calls of its own.
void ForgetCachedFolder(const std::string& nativePath);

// --- Names --------------------------------------------------------------------------------------

// The folder part including the final separator ("" when there is none).
std::string ExtractFilePath(const std::string& fileName);
// The folder part without the final separator (kept for the root "/").
std::string ExtractFileDir(const std::string& fileName);
std::string ExtractFileName(const std::string& fileName);
// The extension with its point ("" when the name has none).
std::string ExtractFileExt(const std::string& fileName);
// extension includes the point; an empty extension removes the current one.
std::string ChangeFileExt(const std::string& fileName, const std::string& extension);
// The absolute form of fileName, relative names taken from the current folder; "." and ".."
// parts are removed and separators become "/".
std::string ExpandFileName(const std::string& fileName);
std::string IncludeTrailingBackslash(const std::string& path);
std::string ExcludeTrailingBackslash(const std::string& path);
std::string IncludeTrailingPathDelimiter(const std::string& path);
std::string ExcludeTrailingPathDelimiter(const std::string& path);

// --- Files and folders --------------------------------------------------------------------------
// The functions returning bool keep the reason of a failure for GetLastError.

bool FileExists(const std::string& fileName);
bool DirectoryExists(const std::string& directory);
// Creates the folder and any missing parents; true when the folder exists afterwards.
bool ForceDirectories(const std::string& directory);
// As ForceDirectories, raising EInOutError "Impossibile creare la cartella %s" on failure.
void ForceDirectoriesOrRaise(const std::string& directory);
bool CreateDir(const std::string& directory);
bool RemoveDir(const std::string& directory);
bool DeleteFile(const std::string& fileName);
// Fails when newName already exists: a rename never replaces a file.
bool RenameFile(const std::string& oldName, const std::string& newName);
// Copies contents, permissions and modification time. With failIfExists an existing target makes
// it fail; copying a file onto itself always fails. The target is written under a temporary name
// and renamed, so a failed copy leaves an existing target as it was.
bool CopyFile(const std::string& existingFileName, const std::string& newFileName,
              bool failIfExists);

// --- Dates and attributes -----------------------------------------------------------------------

// DOS file dates: the date in the high word (years from 1980), the time in the low word with a
// two-second resolution, local time.
TDateTime FileDateToDateTime(int fileDate);
int DateTimeToFileDate(TDateTime dateTime);

// The last-write time as a DOS date, -1 when the file does not exist.
int FileAge(const std::string& fileName);
bool FileAge(const std::string& fileName, TDateTime& fileDateTime);
// The DOS date of an open handle, -1 on failure.
int FileGetDate(int handle);
// Return 0 on success, otherwise the Windows error number.
int FileSetDate(const std::string& fileName, int age);
int FileSetDate(int handle, int age);

constexpr int faReadOnly = 0x01;
constexpr int faHidden = 0x02;
constexpr int faSysFile = 0x04;
constexpr int faVolumeID = 0x08;
constexpr int faDirectory = 0x10;
constexpr int faArchive = 0x20;
constexpr int faAnyFile = 0x3F;

// Read-only is the absence of write permission for the owner, hidden a name starting with a point;
// every file that is not a folder is faArchive. -1 when the entry does not exist.
int FileGetAttr(const std::string& fileName);
// Only faReadOnly has an effect (it removes or restores the write permissions). 0 on success,
// otherwise the Windows error number.
int FileSetAttr(const std::string& fileName, int attr);

// --- Searching ----------------------------------------------------------------------------------

struct TSearchRec {
    int Time = 0;         // DOS date of the last write
    std::int64_t Size = 0;
    int Attr = 0;
    std::string Name;     // Windows-1252
    int ExcludeAttr = 0;

    // Where the search stands; used by FindNext.
    std::string FolderNative;
    std::string Mask;
    std::vector<std::string> Pending; // native names still to report
};

// True when name matches mask ("*" any run of characters, separators included, "?" one
// character) without regard to case; a name without a point also matches as if it ended in one,
// so "*.*" takes every name. The mask test of FindFirst.
bool MatchesMask(const std::string& name, const std::string& mask);

// path is a folder followed by a mask with "*" and "?", matched without regard to case ("*.*"
// also matches names without a point). Entries with faHidden, faSysFile or faDirectory are
// reported only when attr asks for them. Returns 0 on success, otherwise the Windows error number
// (ERROR_FILE_NOT_FOUND / ERROR_NO_MORE_FILES when nothing matches).
int FindFirst(const std::string& path, int attr, TSearchRec& searchRec);
int FindNext(TSearchRec& searchRec);
void FindClose(TSearchRec& searchRec);

// --- Current folder -----------------------------------------------------------------------------

std::string GetCurrentDir();
bool SetCurrentDir(const std::string& directory);

// --- Handles ------------------------------------------------------------------------------------

constexpr int fmOpenRead = 0x0000;
constexpr int fmOpenWrite = 0x0001;
constexpr int fmOpenReadWrite = 0x0002;
// The share modes are accepted and advisory: nothing is locked.
constexpr int fmShareCompat = 0x0000;
constexpr int fmShareExclusive = 0x0010;
constexpr int fmShareDenyWrite = 0x0020;
constexpr int fmShareDenyRead = 0x0030;
constexpr int fmShareDenyNone = 0x0040;
// Creates the file or empties an existing one, open for reading and writing.
constexpr int fmCreate = 0xFFFF;

constexpr int fsFromBeginning = 0;
constexpr int fsFromCurrent = 1;
constexpr int fsFromEnd = 2;

// File handles are POSIX descriptors; every function returns -1 on failure, with the reason kept
// for GetLastError.
int FileOpen(const std::string& fileName, int mode);
int FileCreate(const std::string& fileName);
int FileRead(int handle, void* buffer, int count);
int FileWrite(int handle, const void* buffer, int count);
std::int64_t FileSeek(int handle, std::int64_t offset, int origin);
void FileClose(int handle);

// --- Atomic writing -----------------------------------------------------------------------------

// Writes bytes to a temporary file in the target's folder, flushes it to the disk and renames it
// over fileName. On any failure the previous file is untouched, the temporary is removed and
// EFCreateError or EWriteError is raised naming the file.
void WriteFileAtomically(const std::string& fileName, std::string_view bytes);
// Flushes to the disk every pending write of the file system that holds the path (a file or a
// folder): one flush after many files written without one. False, with the reason kept for
// GetLastError, when the path cannot be opened or the disk refuses the writes.
bool SyncFileSystemOf(const std::string& path);
