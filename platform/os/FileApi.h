#pragma once
// File attributes, names, byte-range locks and moves under their Windows names.

#include "platform/os/WinBase.h"

#include <string>

constexpr DWORD FILE_ATTRIBUTE_READONLY = 0x1;
constexpr DWORD FILE_ATTRIBUTE_HIDDEN = 0x2;
constexpr DWORD FILE_ATTRIBUTE_SYSTEM = 0x4;
constexpr DWORD FILE_ATTRIBUTE_DIRECTORY = 0x10;
constexpr DWORD FILE_ATTRIBUTE_ARCHIVE = 0x20;
constexpr DWORD FILE_ATTRIBUTE_NORMAL = 0x80;
constexpr DWORD INVALID_FILE_ATTRIBUTES = 0xFFFFFFFF;

DWORD GetFileAttributesA(const char* fileName);
// Only READONLY has an effect: set, it removes every write bit; cleared, it gives the owner one.
BOOL SetFileAttributesA(const char* fileName, DWORD attributes);

// Times of the handles of FileOpen/FileCreate (and TFileStream). The creation time is the time of
// the last status change, the only one the system keeps; SetFileTime ignores it. A null pointer
// leaves that time alone.
BOOL GetFileTime(int file, FILETIME* creationTime, FILETIME* lastAccessTime, FILETIME* lastWriteTime);
BOOL SetFileTime(int file, const FILETIME* creationTime, const FILETIME* lastAccessTime,
                 const FILETIME* lastWriteTime);

// MS-DOS date and time (two-second steps, years 1980 to 2107) to and from a FILETIME, without any
// time-zone shift: the caller converts to local time when it wants to. Out of range gives FALSE
// with 87.
BOOL FileTimeToDosDateTime(const FILETIME* fileTime, WORD* fatDate, WORD* fatTime);
BOOL DosDateTimeToFileTime(WORD fatDate, WORD fatTime, FILETIME* fileTime);

// The name unchanged when it names an existing entry; 0 with 2 otherwise.
DWORD GetShortPathNameA(const char* longPath, char* shortPath, DWORD size);
DWORD GetLongPathNameA(const char* shortPath, char* longPath, DWORD size);
// The same without a buffer: "" with 2 when the entry does not exist.
std::string GetShortPathName(const std::string& longPath);
std::string GetLongPathName(const std::string& shortPath);

// Byte-range locks on the handles of FileOpen/FileCreate; they belong to the handle.
// A range overlapping one this handle holds is refused with 33; a zero length locks nothing.
BOOL LockFile(int file, DWORD offsetLow, DWORD offsetHigh, DWORD lengthLow, DWORD lengthHigh);
// Must name exactly a range this handle holds; otherwise 158.
BOOL UnlockFile(int file, DWORD offsetLow, DWORD offsetHigh, DWORD lengthLow, DWORD lengthHigh);

constexpr DWORD MOVEFILE_REPLACE_EXISTING = 0x1;
constexpr DWORD MOVEFILE_COPY_ALLOWED = 0x2;
constexpr DWORD MOVEFILE_DELAY_UNTIL_REBOOT = 0x4;
constexpr DWORD MOVEFILE_WRITE_THROUGH = 0x8;

// As MoveFileExA with MOVEFILE_COPY_ALLOWED.
BOOL MoveFileA(const char* existingFileName, const char* newFileName);
// Without MOVEFILE_REPLACE_EXISTING an existing target gives 183 and stays as it was. Across file
// systems (with MOVEFILE_COPY_ALLOWED) a file is copied beside the target, renamed over it, and
// the source deleted.
BOOL MoveFileExA(const char* existingFileName, const char* newFileName, DWORD flags);

// Copies a string into a caller's buffer by the Windows contract: the length without the zero,
// or the size needed (zero included) when it does not fit, leaving the buffer untouched.
DWORD CopyToBuffer(const std::string& text, char* buffer, DWORD size);
