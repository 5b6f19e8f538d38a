#include "platform/os/TempFiles.h"

#include "platform/os/FileApi.h"
#include "platform/os/OsPaths.h"
#include "platform/rtl/Codepage.h"
#include "platform/rtl/SysErrors.h"

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

std::string HexNumber(unsigned value)
{
    char text[16];
    std::snprintf(text, sizeof text, "%X", value);
    return text;
}

std::string WithSlash(std::string folder)
{
    if (folder.empty() || (folder.back() != '/' && folder.back() != '\\'))
        folder += '/';
    return folder;
}

bool RemoveBelow(int folderFd)
{
    DIR* listing = fdopendir(folderFd);
    if (listing == nullptr) {
        close(folderFd);
        return false;
    }
    bool ok = true;
    while (dirent* entry = readdir(listing)) {
        const std::string name = entry->d_name;
        if (name == "." || name == "..")
            continue;
        struct stat info {};
        if (fstatat(dirfd(listing), name.c_str(), &info, AT_SYMLINK_NOFOLLOW) != 0) {
            ok = false;
            continue;
        }
        if (S_ISDIR(info.st_mode)) {
            const int child = openat(dirfd(listing), name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
            if (child < 0 || !RemoveBelow(child))
                ok = false;
            if (unlinkat(dirfd(listing), name.c_str(), AT_REMOVEDIR) != 0)
                ok = false;
        } else if (unlinkat(dirfd(listing), name.c_str(), 0) != 0) {
            ok = false;
        }
    }
    closedir(listing);
    return ok;
}

} // namespace

std::string GetTempPath()
{
    const char* tmpdir = std::getenv("TMPDIR");
    struct stat info {};
    if (tmpdir != nullptr && tmpdir[0] != '\0' && stat(tmpdir, &info) == 0 && S_ISDIR(info.st_mode))
        return WithSlash(AnsiFromNative(tmpdir));
    return "/tmp/";
}

DWORD GetTempPathA(DWORD size, char* buffer)
{
    return CopyToBuffer(GetTempPath(), buffer, size);
}

namespace {

// Forms or creates the name; returns the number used, or 0 with the last error set.
UINT MakeTempFileName(const std::string& pathName, const std::string& prefixString, UINT unique, std::string& name)
{
    const std::string folder = WithSlash(pathName);
    const std::string prefix = prefixString.substr(0, 3);
    auto nameFor = [&](unsigned number) { return folder + prefix + HexNumber(number) + ".TMP"; };

    if (unique != 0) {
        name = nameFor(unique & 0xFFFF);
        return unique & 0xFFFF;
    }

    struct stat info {};
    const std::string nativeFolder = NativePath(folder);
    if (stat(nativeFolder.c_str(), &info) != 0 || !S_ISDIR(info.st_mode)) {
        SetLastError(ERROR_PATH_NOT_FOUND);
        return 0;
    }
    const auto ticks = static_cast<unsigned>(std::chrono::steady_clock::now().time_since_epoch().count());
    const unsigned start = (ticks ^ (static_cast<unsigned>(getpid()) << 8)) % 0xFFFF;
    for (unsigned attempt = 0; attempt < 0xFFFF; ++attempt) {
        const unsigned number = (start + attempt) % 0xFFFF + 1; // 1 .. 0xFFFF
        const std::string native = nativeFolder + "/" + AnsiToUtf8(prefix + HexNumber(number) + ".TMP");
        const int fd = open(native.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0) {
            close(fd);
            name = nameFor(number);
            return number;
        }
        if (errno != EEXIST) {
            SetLastErrorFromErrno(errno, native, TErrnoContext::CreateFile);
            return 0;
        }
    }
    SetLastError(ERROR_FILE_EXISTS);
    return 0;
}

} // namespace

std::string GetTempFileName(const std::string& pathName, const std::string& prefixString, UINT unique)
{
    std::string name;
    return MakeTempFileName(pathName, prefixString, unique, name) != 0 ? name : "";
}

UINT GetTempFileNameA(const char* pathName, const char* prefixString, UINT unique, char* tempFileName)
{
    if (pathName == nullptr || tempFileName == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    std::string name;
    const UINT number = MakeTempFileName(pathName, prefixString != nullptr ? prefixString : "", unique, name);
    if (number == 0)
        return 0;
    if (name.size() + 1 > MAX_PATH) {
        if (unique == 0)
            unlink(NativePath(name).c_str());
        SetLastError(ERROR_FILENAME_EXCED_RANGE);
        return 0;
    }
    CopyToBuffer(name, tempFileName, MAX_PATH);
    return number;
}

std::string CreateTempFileWithSuffix(const std::string& folder, const std::string& prefix, const std::string& suffix)
{
    std::string pattern = NativePath(WithSlash(folder)) + NativePath(prefix) + "XXXXXX" + NativePath(suffix);
    const int fd = mkostemps(pattern.data(), static_cast<int>(NativePath(suffix).size()), O_CLOEXEC);
    if (fd < 0) {
        SetLastErrorFromErrno(errno, pattern, TErrnoContext::CreateFile);
        return "";
    }
    close(fd);
    return AnsiFromNative(pattern);
}

std::string CreateTempDirectory(const std::string& prefix)
{
    std::string pattern = NativePath(GetTempPath()) + NativePath(prefix) + "XXXXXX";
    if (mkdtemp(pattern.data()) == nullptr) {
        SetLastErrorFromErrno(errno, pattern, TErrnoContext::CreateFolder);
        return "";
    }
    return AnsiFromNative(pattern);
}

bool RemoveTreeNoFollow(const std::string& nativePath)
{
    struct stat info {};
    if (lstat(nativePath.c_str(), &info) != 0)
        return errno == ENOENT;
    if (!S_ISDIR(info.st_mode))
        return unlink(nativePath.c_str()) == 0;
    const int folder = open(nativePath.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    const bool emptied = folder >= 0 && RemoveBelow(folder);
    return rmdir(nativePath.c_str()) == 0 && emptied;
}

TTempFolder::TTempFolder(const std::string& prefix) : path_(CreateTempDirectory(prefix)) {}

TTempFolder::~TTempFolder()
{
    if (!path_.empty())
        RemoveTreeNoFollow(NativePath(path_));
}
