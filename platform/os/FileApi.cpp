#include "platform/os/FileApi.h"

#include "platform/os/OsPaths.h"
#include "platform/rtl/Files.h"
#include "platform/rtl/SysErrors.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <mutex>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

struct THeldLock {
    int File;
    dev_t Device;
    ino_t Inode;
    std::uint64_t Offset;
    std::uint64_t Length;
};

std::mutex lockMutex;
std::vector<THeldLock> heldLocks;

std::uint64_t Combine(DWORD low, DWORD high)
{
    return (static_cast<std::uint64_t>(high) << 32) | low;
}

bool Overlaps(const THeldLock& held, std::uint64_t offset, std::uint64_t length)
{
    return offset < held.Offset + held.Length && held.Offset < offset + length;
}

bool SetRangeLock(int file, short type, std::uint64_t offset, std::uint64_t length)
{
    struct flock range {};
    range.l_type = type;
    range.l_whence = SEEK_SET;
    range.l_start = static_cast<off_t>(offset);
    range.l_len = static_cast<off_t>(length);
    range.l_pid = 0;
    return fcntl(file, F_OFD_SETLK, &range) == 0;
}

DWORD ExistingNameCopy(const char* source, char* target, DWORD size)
{
    if (source == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    struct stat info {};
    const std::string native = NativePath(source);
    if (stat(native.c_str(), &info) != 0) {
        SetLastErrorFromErrno(errno, native);
        return 0;
    }
    return CopyToBuffer(source, target, size);
}

// Copies the file to a temporary name beside the target and renames it over the target.
bool CopyOver(const std::string& source, const std::string& target)
{
    const int in = open(source.c_str(), O_RDONLY | O_CLOEXEC);
    if (in < 0)
        return false;
    std::string bytes;
    char buffer[65536];
    ssize_t got;
    while ((got = read(in, buffer, sizeof buffer)) > 0)
        bytes.append(buffer, static_cast<size_t>(got));
    const int readErrno = errno;
    struct stat info {};
    fstat(in, &info);
    close(in);
    if (got < 0) {
        errno = readErrno;
        return false;
    }
    if (!ReplaceFileContents(target, bytes, info.st_mode & 07777))
        return false;
    chmod(target.c_str(), info.st_mode & 07777);
    return true;
}

} // namespace

DWORD CopyToBuffer(const std::string& text, char* buffer, DWORD size)
{
    const auto needed = static_cast<DWORD>(text.size() + 1);
    if (buffer == nullptr || size < needed)
        return needed;
    std::memcpy(buffer, text.c_str(), needed);
    return needed - 1;
}

DWORD GetFileAttributesA(const char* fileName)
{
    if (fileName == nullptr || fileName[0] == '\0') {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return INVALID_FILE_ATTRIBUTES;
    }
    const int attributes = FileGetAttr(fileName);
    if (attributes == -1) {
        struct stat info {};
        const std::string native = NativePath(fileName);
        if (stat(native.c_str(), &info) != 0)
            SetLastErrorFromErrno(errno, native);
        return INVALID_FILE_ATTRIBUTES;
    }
    return static_cast<DWORD>(attributes) & ~FILE_ATTRIBUTE_SYSTEM;
}

BOOL SetFileAttributesA(const char* fileName, DWORD attributes)
{
    if (fileName == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    const int code = FileSetAttr(fileName, static_cast<int>(attributes & FILE_ATTRIBUTE_READONLY));
    if (code != 0) {
        SetLastError(static_cast<DWORD>(code));
        return FALSE;
    }
    return TRUE;
}

DWORD GetShortPathNameA(const char* longPath, char* shortPath, DWORD size)
{
    return ExistingNameCopy(longPath, shortPath, size);
}

DWORD GetLongPathNameA(const char* shortPath, char* longPath, DWORD size)
{
    return ExistingNameCopy(shortPath, longPath, size);
}

std::string GetShortPathName(const std::string& longPath)
{
    struct stat info {};
    const std::string native = NativePath(longPath);
    if (stat(native.c_str(), &info) != 0) {
        SetLastErrorFromErrno(errno, native);
        return "";
    }
    return longPath;
}

std::string GetLongPathName(const std::string& shortPath)
{
    return GetShortPathName(shortPath);
}

BOOL LockFile(int file, DWORD offsetLow, DWORD offsetHigh, DWORD lengthLow, DWORD lengthHigh)
{
    const std::uint64_t offset = Combine(offsetLow, offsetHigh);
    const std::uint64_t length = Combine(lengthLow, lengthHigh);
    struct stat info {};
    if (fstat(file, &info) != 0) {
        SetLastErrorFromErrno(errno);
        return FALSE;
    }
    if (length == 0)
        return TRUE; // POSIX would read 0 as "to the end of the file"
    if (offset > static_cast<std::uint64_t>(INT64_MAX) || length > static_cast<std::uint64_t>(INT64_MAX) - offset) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    std::lock_guard<std::mutex> lock(lockMutex);
    for (const THeldLock& held : heldLocks)
        if (held.File == file && held.Device == info.st_dev && held.Inode == info.st_ino &&
            Overlaps(held, offset, length)) {
            SetLastError(ERROR_LOCK_VIOLATION);
            return FALSE;
        }
    if (!SetRangeLock(file, F_WRLCK, offset, length)) {
        SetLastErrorFromErrno(errno, TErrnoContext::Lock);
        return FALSE;
    }
    heldLocks.push_back({file, info.st_dev, info.st_ino, offset, length});
    return TRUE;
}

BOOL UnlockFile(int file, DWORD offsetLow, DWORD offsetHigh, DWORD lengthLow, DWORD lengthHigh)
{
    const std::uint64_t offset = Combine(offsetLow, offsetHigh);
    const std::uint64_t length = Combine(lengthLow, lengthHigh);
    struct stat info {};
    if (fstat(file, &info) != 0) {
        SetLastErrorFromErrno(errno);
        return FALSE;
    }
    std::lock_guard<std::mutex> lock(lockMutex);
    for (auto it = heldLocks.begin(); it != heldLocks.end(); ++it)
        if (it->File == file && it->Device == info.st_dev && it->Inode == info.st_ino && it->Offset == offset &&
            it->Length == length) {
            if (!SetRangeLock(file, F_UNLCK, offset, length)) {
                SetLastErrorFromErrno(errno);
                return FALSE;
            }
            heldLocks.erase(it);
            return TRUE;
        }
    SetLastError(ERROR_NOT_LOCKED);
    return FALSE;
}

BOOL MoveFileA(const char* existingFileName, const char* newFileName)
{
    return MoveFileExA(existingFileName, newFileName, MOVEFILE_COPY_ALLOWED);
}

BOOL MoveFileExA(const char* existingFileName, const char* newFileName, DWORD flags)
{
    if (existingFileName == nullptr || newFileName == nullptr || newFileName[0] == '\0') {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    const std::string source = NativePath(existingFileName);
    const std::string target = NativePath(newFileName);
    struct stat sourceInfo {};
    if (lstat(source.c_str(), &sourceInfo) != 0) {
        SetLastErrorFromErrno(errno, source);
        return FALSE;
    }
    const bool replace = (flags & MOVEFILE_REPLACE_EXISTING) != 0;
    if (replace) {
        if (rename(source.c_str(), target.c_str()) == 0)
            return TRUE;
    } else if (renameat2(AT_FDCWD, source.c_str(), AT_FDCWD, target.c_str(), RENAME_NOREPLACE) == 0) {
        return TRUE;
    }
    int err = errno;
    if (err == EINVAL && !replace) {
        // The file system cannot refuse to replace by itself: check, then rename.
        struct stat targetInfo {};
        if (lstat(target.c_str(), &targetInfo) == 0) {
            SetLastError(ERROR_ALREADY_EXISTS);
            return FALSE;
        }
        if (rename(source.c_str(), target.c_str()) == 0)
            return TRUE;
        err = errno;
    }
    if (err == EXDEV && (flags & MOVEFILE_COPY_ALLOWED) != 0 && S_ISREG(sourceInfo.st_mode)) {
        struct stat targetInfo {};
        if (!replace && lstat(target.c_str(), &targetInfo) == 0) {
            SetLastError(ERROR_ALREADY_EXISTS);
            return FALSE;
        }
        if (!CopyOver(source, target)) {
            SetLastErrorFromErrno(errno, target);
            return FALSE;
        }
        if (unlink(source.c_str()) != 0) {
            SetLastErrorFromErrno(errno, source);
            return FALSE;
        }
        return TRUE;
    }
    SetLastErrorFromErrno(err, target, TErrnoContext::CreateFolder);
    return FALSE;
}

namespace {

// FILETIME counts from 1601; Unix time from 1970.
constexpr std::int64_t fileTimeUnixEpoch = 116444736000000000LL;
constexpr std::int64_t ticksPerSecond = 10000000LL;

FILETIME FileTimeFromTimespec(const timespec& moment)
{
    const std::uint64_t ticks = static_cast<std::uint64_t>(
        fileTimeUnixEpoch + static_cast<std::int64_t>(moment.tv_sec) * ticksPerSecond + moment.tv_nsec / 100);
    FILETIME result;
    result.dwLowDateTime = static_cast<DWORD>(ticks & 0xFFFFFFFFu);
    result.dwHighDateTime = static_cast<DWORD>(ticks >> 32);
    return result;
}

timespec TimespecFromFileTime(const FILETIME& fileTime)
{
    const std::int64_t ticks = static_cast<std::int64_t>(Combine(fileTime.dwLowDateTime, fileTime.dwHighDateTime))
                               - fileTimeUnixEpoch;
    timespec result{};
    result.tv_sec = static_cast<time_t>(ticks / ticksPerSecond);
    std::int64_t rest = ticks % ticksPerSecond;
    if (rest < 0) {
        rest += ticksPerSecond;
        --result.tv_sec;
    }
    result.tv_nsec = static_cast<long>(rest * 100);
    return result;
}

} // namespace

BOOL GetFileTime(int file, FILETIME* creationTime, FILETIME* lastAccessTime, FILETIME* lastWriteTime)
{
    struct stat info {};
    if (fstat(file, &info) != 0) {
        SetLastErrorFromErrno(errno);
        return FALSE;
    }
    if (creationTime)
        *creationTime = FileTimeFromTimespec(info.st_ctim);
    if (lastAccessTime)
        *lastAccessTime = FileTimeFromTimespec(info.st_atim);
    if (lastWriteTime)
        *lastWriteTime = FileTimeFromTimespec(info.st_mtim);
    return TRUE;
}

BOOL SetFileTime(int file, const FILETIME*, const FILETIME* lastAccessTime, const FILETIME* lastWriteTime)
{
    timespec times[2];
    times[0].tv_sec = 0;
    times[0].tv_nsec = UTIME_OMIT;
    times[1] = times[0];
    if (lastAccessTime)
        times[0] = TimespecFromFileTime(*lastAccessTime);
    if (lastWriteTime)
        times[1] = TimespecFromFileTime(*lastWriteTime);
    if (futimens(file, times) != 0) {
        SetLastErrorFromErrno(errno);
        return FALSE;
    }
    return TRUE;
}

BOOL FileTimeToDosDateTime(const FILETIME* fileTime, WORD* fatDate, WORD* fatTime)
{
    const time_t seconds = TimespecFromFileTime(*fileTime).tv_sec;
    tm parts{};
    if (!gmtime_r(&seconds, &parts) || parts.tm_year < 80 || parts.tm_year > 207) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    *fatDate = static_cast<WORD>(((parts.tm_year - 80) << 9) | ((parts.tm_mon + 1) << 5) | parts.tm_mday);
    *fatTime = static_cast<WORD>((parts.tm_hour << 11) | (parts.tm_min << 5) | (parts.tm_sec / 2));
    return TRUE;
}

BOOL DosDateTimeToFileTime(WORD fatDate, WORD fatTime, FILETIME* fileTime)
{
    tm parts{};
    parts.tm_year = 80 + (fatDate >> 9);
    parts.tm_mon = ((fatDate >> 5) & 0x0F) - 1;
    parts.tm_mday = fatDate & 0x1F;
    parts.tm_hour = fatTime >> 11;
    parts.tm_min = (fatTime >> 5) & 0x3F;
    parts.tm_sec = (fatTime & 0x1F) * 2;
    if (parts.tm_mon < 0 || parts.tm_mon > 11 || parts.tm_mday < 1 || parts.tm_hour > 23 || parts.tm_min > 59
        || parts.tm_sec > 59) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    timespec moment{};
    moment.tv_sec = timegm(&parts);
    *fileTime = FileTimeFromTimespec(moment);
    return TRUE;
}
