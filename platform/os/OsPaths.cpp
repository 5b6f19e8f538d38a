#include "platform/os/OsPaths.h"

#include "platform/os/private/OsSupport.h"

#include "platform/rtl/Codepage.h"
#include "platform/rtl/Files.h"
#include "platform/rtl/Streams.h"

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <mutex>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

std::mutex hookMutex;
TWriteFaultHook writeFaultHook;

std::string EnvFolder(const char* name, const std::string& fallbackBelowHome)
{
    const char* value = std::getenv(name);
    if (value != nullptr && value[0] == '/')
        return value;
    return HomeFolder() + "/" + fallbackBelowHome;
}

bool WriteAll(int fd, const std::string& bytes)
{
    size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t written = write(fd, bytes.data() + done, bytes.size() - done);
        if (written < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        done += static_cast<size_t>(written);
    }
    return true;
}

} // namespace

std::string NativePath(const std::string& ansiPath)
{
    return ResolvePath(ansiPath);
}

std::string AnsiFromNative(const std::string& nativePath)
{
    return Utf8ToAnsi(nativePath);
}

std::string HomeFolder()
{
    const char* home = std::getenv("HOME");
    if (home != nullptr && home[0] != '\0')
        return home;
    if (const passwd* entry = getpwuid(getuid()))
        return entry->pw_dir;
    return "/tmp";
}

std::string ConfigHomeFolder()
{
    return EnvFolder("XDG_CONFIG_HOME", ".config");
}

std::string DataHomeFolder()
{
    return EnvFolder("XDG_DATA_HOME", ".local/share");
}

std::string CacheHomeFolder()
{
    return EnvFolder("XDG_CACHE_HOME", ".cache");
}

std::string WindowsFolder()
{
    const std::string folder = ConfigHomeFolder() + "/Tessellarium/Windows";
    MakeFolders(folder, 0700);
    return folder;
}

bool MakeFolders(const std::string& nativePath, mode_t mode)
{
    struct stat info {};
    if (nativePath.empty())
        return false;
    if (stat(nativePath.c_str(), &info) == 0) {
        if (S_ISDIR(info.st_mode))
            return true;
        errno = ENOTDIR;
        return false;
    }
    const std::string parent = OsSupport::FolderOf(nativePath);
    if (parent != nativePath && parent != "." && !MakeFolders(parent, mode))
        return false;
    return mkdir(nativePath.c_str(), mode) == 0 || errno == EEXIST;
}

TFileIdentity FileIdentityOf(const std::string& nativePath)
{
    TFileIdentity identity;
    struct stat info {};
    if (stat(nativePath.c_str(), &info) != 0)
        return identity;
    identity.Exists = true;
    identity.Device = info.st_dev;
    identity.Inode = info.st_ino;
    identity.Size = info.st_size;
    identity.ModifiedNs = static_cast<std::int64_t>(info.st_mtim.tv_sec) * 1000000000 + info.st_mtim.tv_nsec;
    return identity;
}

bool ReplaceFileContents(const std::string& nativePath, const std::string& bytes, mode_t newFileMode)
{
    std::string temporary;
    const int fd = CreateAtomicTemporary(nativePath, temporary);
    if (fd < 0)
        return false;

    mode_t mode;
    struct stat existing {};
    if (stat(nativePath.c_str(), &existing) == 0) {
        mode = existing.st_mode & 07777;
    } else {
        const mode_t mask = umask(0);
        umask(mask);
        mode = newFileMode & ~mask;
    }

    bool ok = fchmod(fd, mode) == 0 && WriteAll(fd, bytes) && fsync(fd) == 0;
    int savedErrno = errno;
    if (close(fd) != 0 && ok) {
        ok = false;
        savedErrno = errno;
    }
    if (ok && WriteFaultInjected(nativePath)) {
        ok = false;
        savedErrno = EIO;
    }
    if (ok && rename(temporary.c_str(), nativePath.c_str()) != 0) {
        ok = false;
        savedErrno = errno;
    }
    if (!ok) {
        unlink(temporary.c_str());
        errno = savedErrno;
        return false;
    }
    // The folder is not flushed: after a crash the rename may be lost, which leaves the old
    // complete file in place, never a partial one; flushing it would double the cost of a save.
    return true;
}

void SetWriteFaultHook(TWriteFaultHook hook)
{
    std::lock_guard<std::mutex> lock(hookMutex);
    writeFaultHook = std::move(hook);
}

bool WriteFaultInjected(const std::string& nativePath)
{
    std::lock_guard<std::mutex> lock(hookMutex);
    return writeFaultHook && writeFaultHook(nativePath);
}

TReadResult ReadWholeFile(const std::string& nativePath, std::string& bytes)
{
    const int fd = open(nativePath.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return errno == ENOENT || errno == ENOTDIR ? TReadResult::Missing : TReadResult::Failed;
    bytes.clear();
    char buffer[65536];
    for (;;) {
        const ssize_t got = read(fd, buffer, sizeof buffer);
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0) {
            close(fd);
            return TReadResult::Failed;
        }
        if (got == 0)
            break;
        bytes.append(buffer, static_cast<size_t>(got));
    }
    close(fd);
    return TReadResult::Ok;
}

bool StartsWithMZ(const std::string& nativePath)
{
    const int fd = open(nativePath.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    char head[2] = {};
    const bool mz = read(fd, head, 2) == 2 && head[0] == 'M' && head[1] == 'Z';
    close(fd);
    return mz;
}

