#pragma once
// The system's error numbers as Windows knows them: the last error of each thread, the map from
// errno, and the texts shown to the user.

#include <cstdint>
#include <string>

// The last error of the calling thread (a Windows error number).
std::uint32_t GetLastError();
void SetLastError(std::uint32_t code);

// What a call was doing when errno was set: some errno values mean different things.
enum class TErrnoContext {
    General,
    CreateFile,   // EEXIST is 80 (file exists)
    CreateFolder, // EEXIST is 183 (already exists); also used for renames
    Lock,         // EAGAIN and EACCES are a refused lock (33)
};

// The Windows error number for an errno value. ENOENT gives 2; pass parentMissing to get 3.
std::uint32_t WindowsErrorFromErrno(int err, TErrnoContext context = TErrnoContext::General,
                                    bool parentMissing = false);

// Sets the last error from errno and returns the Windows code.
std::uint32_t SetLastErrorFromErrno(int err);
std::uint32_t SetLastErrorFromErrno(int err, TErrnoContext context);
// As above; for ENOENT the parent folder of nativePath (UTF-8) is checked, giving 3 when it is missing.
std::uint32_t SetLastErrorFromErrno(int err, const std::string& nativePath,
                                    TErrnoContext context = TErrnoContext::General);

// Windows error numbers the layer uses by name.
constexpr std::uint32_t ERROR_SUCCESS = 0;
constexpr std::uint32_t ERROR_FILE_NOT_FOUND = 2;
constexpr std::uint32_t ERROR_PATH_NOT_FOUND = 3;
constexpr std::uint32_t ERROR_TOO_MANY_OPEN_FILES = 4;
constexpr std::uint32_t ERROR_ACCESS_DENIED = 5;
constexpr std::uint32_t ERROR_INVALID_HANDLE = 6;
constexpr std::uint32_t ERROR_NOT_ENOUGH_MEMORY = 8;
constexpr std::uint32_t ERROR_NOT_SAME_DEVICE = 17;
constexpr std::uint32_t ERROR_NO_MORE_FILES = 18;
constexpr std::uint32_t ERROR_WRITE_PROTECT = 19;
constexpr std::uint32_t ERROR_GEN_FAILURE = 31;
constexpr std::uint32_t ERROR_SHARING_VIOLATION = 32;
constexpr std::uint32_t ERROR_LOCK_VIOLATION = 33;
constexpr std::uint32_t ERROR_NOT_SUPPORTED = 50;
constexpr std::uint32_t ERROR_FILE_EXISTS = 80;
constexpr std::uint32_t ERROR_INVALID_PARAMETER = 87;
constexpr std::uint32_t ERROR_DISK_FULL = 112;
constexpr std::uint32_t ERROR_INSUFFICIENT_BUFFER = 122;
constexpr std::uint32_t ERROR_INVALID_NAME = 123;
constexpr std::uint32_t ERROR_MOD_NOT_FOUND = 126;
constexpr std::uint32_t ERROR_PROC_NOT_FOUND = 127;
constexpr std::uint32_t ERROR_DIR_NOT_EMPTY = 145;
constexpr std::uint32_t ERROR_NOT_LOCKED = 158;
constexpr std::uint32_t ERROR_ALREADY_EXISTS = 183;
constexpr std::uint32_t ERROR_BAD_EXE_FORMAT = 193;
constexpr std::uint32_t ERROR_ENVVAR_NOT_FOUND = 203;
constexpr std::uint32_t ERROR_FILENAME_EXCED_RANGE = 206;
constexpr std::uint32_t ERROR_MORE_DATA = 234;
constexpr std::uint32_t ERROR_NO_MORE_ITEMS = 259;
constexpr std::uint32_t ERROR_DIRECTORY = 267;
constexpr std::uint32_t ERROR_KEY_DELETED = 1018;
constexpr std::uint32_t ERROR_IO_DEVICE = 1117;
constexpr std::uint32_t ERROR_NO_ASSOCIATION = 1155;
constexpr std::uint32_t ERROR_CANCELLED = 1223;

// The user-facing text of a Windows error number (Windows-1252), without a final line break.
std::string SysErrorMessage(std::uint32_t code);

constexpr std::uint32_t FORMAT_MESSAGE_ALLOCATE_BUFFER = 0x00000100;
constexpr std::uint32_t FORMAT_MESSAGE_IGNORE_INSERTS = 0x00000200;
constexpr std::uint32_t FORMAT_MESSAGE_FROM_STRING = 0x00000400;
constexpr std::uint32_t FORMAT_MESSAGE_FROM_HMODULE = 0x00000800;
constexpr std::uint32_t FORMAT_MESSAGE_FROM_SYSTEM = 0x00001000;
constexpr std::uint32_t FORMAT_MESSAGE_ARGUMENT_ARRAY = 0x00002000;
constexpr std::uint32_t FORMAT_MESSAGE_MAX_WIDTH_MASK = 0x000000FF;

// Only FORMAT_MESSAGE_FROM_SYSTEM is served: the text of messageId followed by CR LF.
// Without FORMAT_MESSAGE_ALLOCATE_BUFFER the text goes into buffer (size bytes, zero included);
// when it does not fit, nothing is written, the last error is 122 and 0 is returned.
// With FORMAT_MESSAGE_ALLOCATE_BUFFER, buffer is really a char** that receives a block the
// caller releases with LocalFree. Returns the number of characters, without the zero.
std::uint32_t FormatMessageA(std::uint32_t flags, const void* source, std::uint32_t messageId,
                             std::uint32_t languageId, char* buffer, std::uint32_t size,
                             void* arguments);
// Releases a block handed out by FormatMessageA; returns nullptr as Windows does on success.
void* LocalFree(void* block);

// The same text as FormatMessageA, as a string (CR LF included).
std::string FormatSystemMessage(std::uint32_t code);
