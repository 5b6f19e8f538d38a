#include "platform/rtl/Files.h"

#include "platform/rtl/Codepage.h"
#include "platform/rtl/Exceptions.h"
#include "platform/rtl/Streams.h"
#include "platform/rtl/SysErrors.h"

#include <algorithm>
#include <cerrno>
#include <ctime>
#include <climits>
#include <map>
#include <mutex>
#include <unordered_map>
#include <unordered_set>

#include <dirent.h>
#include <fcntl.h>
#include <stdio.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

bool IsSeparator(char c)
{
    return c == '\\' || c == '/';
}

// Upper case over the whole code page, for comparing names without regard to case.
char FoldChar(char c)
{
    const auto u = static_cast<unsigned char>(c);
    if (u >= 'a' && u <= 'z')
        return static_cast<char>(u - 32);
    if (u >= 0xE0 && u <= 0xFE && u != 0xF7)
        return static_cast<char>(u - 32);
    switch (u) {
    case 0x9A: return '\x8A';
    case 0x9C: return '\x8C';
    case 0x9E: return '\x8E';
    case 0xFF: return '\x9F';
    default: return c;
    }
}

std::string FoldName(std::string_view name)
{
    std::string folded(name);
    for (char& c : folded)
        c = FoldChar(c);
    return folded;
}

bool EntryExists(const std::string& nativePath)
{
    struct stat info;
    return lstat(nativePath.c_str(), &info) == 0;
}

// --- The cache of folder listings ---------------------------------------------------------------
//
// Each folder a path went through keeps its listing, so that resolving a known path costs no
// system call beyond one look at the change notices. Where the kernel offers change notices
// (inotify) each listing follows the entries created, removed and renamed in its folder, and the
// listings below an entry that changed are dropped; elsewhere a listing is checked against the
// folder's modification time whenever a path does not resolve to an existing entry.

struct TFolderListing {
    timespec ModifiedAt{};
    // Listed so soon after a change that a later change may carry the same time stamp.
    bool Racy = false;
    std::unordered_set<std::string> Names;                       // native names
    std::unordered_multimap<std::string, std::string> ByFolded;  // folded Windows-1252 -> native

    void Add(const std::string& name)
    {
        if (Names.insert(name).second)
            ByFolded.emplace(FoldName(Utf8ToAnsi(name)), name);
    }
    void Remove(const std::string& name)
    {
        if (Names.erase(name) == 0)
            return;
        auto [first, last] = ByFolded.equal_range(FoldName(Utf8ToAnsi(name)));
        for (auto it = first; it != last; ++it)
            if (it->second == name) {
                ByFolded.erase(it);
                return;
            }
    }
};

constexpr size_t MaxCachedFolders = 2000;
constexpr uint32_t WatchedChanges =
    IN_CREATE | IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO | IN_DELETE_SELF | IN_MOVE_SELF | IN_ONLYDIR;

std::mutex cacheLock;
// Keyed by native folder path ("" for the current folder); ordered so that a subtree is a range.
std::map<std::string, TFolderListing> folderCache;
int notifyHandle = -1;
bool notifyUnavailable = false;
// The cached folders each watch stands for (one folder may be reached by several paths).
std::unordered_map<int, std::vector<std::string>> watchedFolders;
// A listing that could not be watched, valid for the lookup that read it.
TFolderListing uncachedListing;

void ResetCache()
{
    folderCache.clear();
    watchedFolders.clear();
    if (notifyHandle >= 0) {
        close(notifyHandle); // drops every watch
        notifyHandle = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
        notifyUnavailable = notifyHandle < 0;
    }
}

bool NotifyAvailable()
{
    if (notifyHandle < 0 && !notifyUnavailable) {
        notifyHandle = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
        notifyUnavailable = notifyHandle < 0;
    }
    return notifyHandle >= 0;
}

std::string AppendPart(const std::string& folder, const std::string& part)
{
    if (folder.empty())
        return part;
    if (folder.back() == '/')
        return folder + part;
    return folder + "/" + part;
}

// Drops the listing of the folder at path and of every folder below it.
void ForgetSubtree(const std::string& path)
{
    folderCache.erase(path);
    const std::string below = path.empty() || path.back() == '/' ? path : path + "/";
    auto it = folderCache.lower_bound(below);
    while (it != folderCache.end() && it->first.compare(0, below.size(), below) == 0)
        it = folderCache.erase(it);
}

void ReadChangeNotices()
{
    alignas(inotify_event) char buffer[16384];
    for (;;) {
        const ssize_t got = read(notifyHandle, buffer, sizeof buffer);
        if (got <= 0)
            return;
        for (ssize_t pos = 0; pos < got;) {
            const auto* event = reinterpret_cast<const inotify_event*>(buffer + pos);
            pos += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
            if (event->mask & IN_Q_OVERFLOW) {
                ResetCache();
                return;
            }
            auto watched = watchedFolders.find(event->wd);
            if (watched == watchedFolders.end())
                continue;
            for (const std::string& folder : watched->second) {
                auto listing = folderCache.find(folder);
                if (event->len > 0) {
                    if (listing != folderCache.end() && (event->mask & (IN_CREATE | IN_MOVED_TO)))
                        listing->second.Add(event->name);
                    if (listing != folderCache.end() && (event->mask & (IN_DELETE | IN_MOVED_FROM)))
                        listing->second.Remove(event->name);
                    ForgetSubtree(AppendPart(folder, event->name));
                }
                if (event->mask & (IN_DELETE_SELF | IN_MOVE_SELF | IN_IGNORED))
                    ForgetSubtree(folder);
            }
            if (event->mask & IN_IGNORED)
                watchedFolders.erase(watched);
        }
        if (static_cast<size_t>(got) < sizeof buffer - sizeof(inotify_event) - NAME_MAX - 1)
            return;
    }
}

std::string OpenableFolder(const std::string& folder)
{
    return folder.empty() ? std::string(".") : folder;
}

bool ReadListing(const std::string& folder, TFolderListing& listing)
{
    const std::string path = OpenableFolder(folder);
    struct stat info;
    if (stat(path.c_str(), &info) != 0 || !S_ISDIR(info.st_mode))
        return false;
    DIR* dir = opendir(path.c_str());
    if (!dir)
        return false;
    listing = TFolderListing();
    listing.ModifiedAt = info.st_mtim;
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    listing.Racy = now.tv_sec - info.st_mtim.tv_sec < 2;
    while (dirent* entry = readdir(dir)) {
        const std::string name = entry->d_name;
        if (name == "." || name == "..")
            continue;
        listing.Add(name);
    }
    closedir(dir);
    return true;
}

bool ListingIsCurrent(const std::string& folder, const TFolderListing& listing)
{
    if (listing.Racy)
        return false;
    struct stat info;
    if (stat(OpenableFolder(folder).c_str(), &info) != 0)
        return false;
    return info.st_mtim.tv_sec == listing.ModifiedAt.tv_sec &&
           info.st_mtim.tv_nsec == listing.ModifiedAt.tv_nsec;
}

void MakeRoomInCache()
{
    if (folderCache.size() >= MaxCachedFolders)
        ResetCache();
}

// Without change notices; with validate, a listing that may be out of date is read again.
const TFolderListing* FindCheckedListing(const std::string& folder, bool validate)
{
    auto found = folderCache.find(folder);
    if (found != folderCache.end() && (!validate || ListingIsCurrent(folder, found->second)))
        return &found->second;
    TFolderListing listing;
    if (!ReadListing(folder, listing)) {
        if (found != folderCache.end())
            folderCache.erase(found);
        return nullptr;
    }
    if (found != folderCache.end())
        return &(found->second = std::move(listing));
    MakeRoomInCache();
    return &(folderCache[folder] = std::move(listing));
}

// With change notices: the watch goes on before the folder is read, so no change is missed.
const TFolderListing* FindWatchedListing(const std::string& folder)
{
    auto found = folderCache.find(folder);
    if (found != folderCache.end())
        return &found->second;
    MakeRoomInCache();
    if (notifyHandle < 0)
        return FindCheckedListing(folder, true);
    const int watch = inotify_add_watch(notifyHandle, OpenableFolder(folder).c_str(), WatchedChanges);
    TFolderListing listing;
    if (!ReadListing(folder, listing))
        return nullptr;
    if (watch < 0) {
        uncachedListing = std::move(listing);
        return &uncachedListing;
    }
    std::vector<std::string>& folders = watchedFolders[watch];
    if (std::find(folders.begin(), folders.end(), folder) == folders.end())
        folders.push_back(folder);
    return &(folderCache[folder] = std::move(listing));
}

// The listing of a folder (native path, "" for the current folder); nullptr when it cannot be read.
const TFolderListing* FindListing(const std::string& folder, bool validate)
{
    if (notifyHandle >= 0)
        return FindWatchedListing(folder);
    return FindCheckedListing(folder, validate);
}

void ForgetFolderOf(const std::string& nativePath)
{
    std::string path = nativePath;
    while (path.size() > 1 && path.back() == '/')
        path.pop_back();
    const auto slash = path.rfind('/');
    const std::string folder =
        slash == std::string::npos ? std::string() : path.substr(0, slash == 0 ? 1 : slash);
    std::lock_guard<std::mutex> guard(cacheLock);
    if (notifyHandle >= 0)
        return; // the change notices tell
    folderCache.erase(folder);
    ForgetSubtree(path);
}

// Walks the parts of a Windows-1252 path, matching each against the cached listings.
std::string ResolveParts(std::string_view fileName, bool validate)
{
    std::string result;
    size_t pos = 0;
    if (!fileName.empty() && IsSeparator(fileName[0])) {
        result = "/";
        while (pos < fileName.size() && IsSeparator(fileName[pos]))
            ++pos;
    }
    bool folderExists = true;
    while (pos < fileName.size()) {
        size_t end = pos;
        while (end < fileName.size() && !IsSeparator(fileName[end]))
            ++end;
        const std::string_view part = fileName.substr(pos, end - pos);
        std::string native = AnsiToUtf8(part);
        if (folderExists && part != "." && part != "..") {
            const TFolderListing* listing = FindListing(result, validate);
            if (!listing) {
                folderExists = false;
            } else if (!listing->Names.count(native)) {
                auto match = listing->ByFolded.find(FoldName(part));
                if (match != listing->ByFolded.end())
                    native = match->second;
                else
                    folderExists = false;
            }
        }
        result = AppendPart(result, native);
        pos = end;
        if (pos < fileName.size()) {
            while (pos < fileName.size() && IsSeparator(fileName[pos]))
                ++pos;
            result += '/';
        }
    }
    return result;
}

// --- DOS dates ----------------------------------------------------------------------------------

int PackDosDate(int year, int month, int day, int hour, int min, int sec)
{
    if (year < 1980 || year > 2107)
        return 0;
    const unsigned low = (sec >> 1) | (min << 5) | (hour << 11);
    const unsigned high = day | (month << 5) | ((year - 1980) << 9);
    return static_cast<int>((high << 16) | low);
}

int TimeToDosDate(time_t seconds)
{
    tm local{};
    if (!localtime_r(&seconds, &local))
        return -1;
    return PackDosDate(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour,
                       local.tm_min, local.tm_sec);
}

bool DosDateToTime(int fileDate, time_t& seconds)
{
    const unsigned value = static_cast<unsigned>(fileDate);
    tm local{};
    local.tm_year = static_cast<int>(value >> 25) + 80;
    local.tm_mon = static_cast<int>((value >> 21) & 15) - 1;
    local.tm_mday = static_cast<int>((value >> 16) & 31);
    local.tm_hour = static_cast<int>((value >> 11) & 31);
    local.tm_min = static_cast<int>((value >> 5) & 63);
    local.tm_sec = static_cast<int>(value & 31) * 2;
    local.tm_isdst = -1;
    if (local.tm_mon < 0 || local.tm_mon > 11 || local.tm_mday < 1)
        return false;
    seconds = mktime(&local);
    return seconds != static_cast<time_t>(-1);
}

int SetNativeFileTime(const std::string& nativePath, int handle, int age)
{
    time_t seconds;
    if (!DosDateToTime(age, seconds))
        return static_cast<int>(ERROR_INVALID_PARAMETER);
    timespec times[2];
    times[0].tv_sec = 0;
    times[0].tv_nsec = UTIME_OMIT;
    times[1].tv_sec = seconds;
    times[1].tv_nsec = 0;
    const int rc = handle >= 0 ? futimens(handle, times)
                               : utimensat(AT_FDCWD, nativePath.c_str(), times, 0);
    if (rc != 0)
        return static_cast<int>(SetLastErrorFromErrno(errno, nativePath));
    return 0;
}

// --- Masks --------------------------------------------------------------------------------------

bool MatchFolded(std::string_view name, std::string_view mask)
{
    size_t n = 0, m = 0;
    size_t starMask = std::string_view::npos, starName = 0;
    while (n < name.size()) {
        if (m < mask.size() && (mask[m] == '?' || mask[m] == name[n])) {
            ++n;
            ++m;
        } else if (m < mask.size() && mask[m] == '*') {
            starMask = m++;
            starName = n;
        } else if (starMask != std::string_view::npos) {
            m = starMask + 1;
            n = ++starName;
        } else {
            return false;
        }
    }
    while (m < mask.size() && mask[m] == '*')
        ++m;
    return m == mask.size();
}

} // namespace

// Windows treats a name without a point as ending in one: "*.*" and "name.*" match it.
bool MatchesMask(const std::string& name, const std::string& mask)
{
    const std::string folded = FoldName(name);
    const std::string foldedMask = FoldName(mask);
    if (MatchFolded(folded, foldedMask))
        return true;
    return folded.find('.') == std::string::npos && MatchFolded(folded + ".", foldedMask);
}

namespace {

int AttributesOf(const std::string& name, const struct stat& info)
{
    int attr = S_ISDIR(info.st_mode) ? faDirectory : faArchive;
    if ((info.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0)
        attr |= faReadOnly;
    if (name.size() > 1 && name[0] == '.' && name != "..")
        attr |= faHidden;
    return attr;
}

// Fills the record with the next pending entry that the attributes allow.
int FindMatchingEntry(TSearchRec& searchRec)
{
    while (!searchRec.Pending.empty()) {
        const std::string native = std::move(searchRec.Pending.back());
        searchRec.Pending.pop_back();
        struct stat info;
        if (stat(AppendPart(searchRec.FolderNative, native).c_str(), &info) != 0)
            continue;
        const int attr = AttributesOf(native, info);
        if (attr & searchRec.ExcludeAttr)
            continue;
        searchRec.Name = Utf8ToAnsi(native);
        searchRec.Attr = attr;
        searchRec.Size = S_ISDIR(info.st_mode) ? 0 : static_cast<std::int64_t>(info.st_size);
        searchRec.Time = TimeToDosDate(info.st_mtim.tv_sec);
        return 0;
    }
    return static_cast<int>(ERROR_NO_MORE_FILES);
}

// --- Copying ------------------------------------------------------------------------------------

bool CopyContents(int from, int to)
{
    std::vector<char> buffer(1 << 16);
    for (;;) {
        const ssize_t got = read(from, buffer.data(), buffer.size());
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            return false;
        if (got == 0)
            return true;
        ssize_t done = 0;
        while (done < got) {
            const ssize_t put = write(to, buffer.data() + done, static_cast<size_t>(got - done));
            if (put < 0 && errno == EINTR)
                continue;
            if (put <= 0)
                return false;
            done += put;
        }
    }
}

bool SameEntry(const struct stat& a, const struct stat& b)
{
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

bool IsReadOnly(const struct stat& info)
{
    return (info.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0;
}

} // namespace

// --- The path resolver ------------------------------------------------------------------------

std::string ResolvePath(std::string_view fileName)
{
    if (fileName.empty())
        return {};
    std::lock_guard<std::mutex> guard(cacheLock);
    if (NotifyAvailable()) {
        // The listings are current: the walk alone gives the answer.
        ReadChangeNotices();
        return ResolveParts(fileName, false);
    }
    std::string direct = AnsiToUtf8(fileName);
    std::replace(direct.begin(), direct.end(), '\\', '/');
    if (EntryExists(direct))
        return direct;
    std::string resolved = ResolveParts(fileName, false);
    if (EntryExists(resolved))
        return resolved;
    return ResolveParts(fileName, true);
}

void ClearPathCache()
{
    std::lock_guard<std::mutex> guard(cacheLock);
    ResetCache();
}

// --- Names --------------------------------------------------------------------------------------

namespace {
size_t LastSeparator(const std::string& fileName)
{
    const auto found = fileName.find_last_of("\\/");
    return found;
}
} // namespace

std::string ExtractFilePath(const std::string& fileName)
{
    const size_t sep = LastSeparator(fileName);
    return sep == std::string::npos ? std::string() : fileName.substr(0, sep + 1);
}

std::string ExtractFileDir(const std::string& fileName)
{
    size_t sep = LastSeparator(fileName);
    if (sep == std::string::npos)
        return {};
    // "/a/b" gives "/a", but the root and a doubled separator keep their separator.
    if (sep > 0 && !IsSeparator(fileName[sep - 1]))
        return fileName.substr(0, sep);
    return fileName.substr(0, sep + 1);
}

std::string ExtractFileName(const std::string& fileName)
{
    const size_t sep = LastSeparator(fileName);
    return sep == std::string::npos ? fileName : fileName.substr(sep + 1);
}

std::string ExtractFileExt(const std::string& fileName)
{
    const size_t found = fileName.find_last_of(".\\/");
    if (found == std::string::npos || fileName[found] != '.')
        return {};
    return fileName.substr(found);
}

std::string ChangeFileExt(const std::string& fileName, const std::string& extension)
{
    const size_t found = fileName.find_last_of(".\\/");
    if (found == std::string::npos || fileName[found] != '.')
        return fileName + extension;
    return fileName.substr(0, found) + extension;
}

std::string ExpandFileName(const std::string& fileName)
{
    if (fileName.empty())
        return {};
    std::string full = fileName;
    if (!IsSeparator(full[0]))
        full = IncludeTrailingPathDelimiter(GetCurrentDir()) + full;
    std::vector<std::string> parts;
    size_t pos = 0;
    while (pos <= full.size()) {
        size_t end = pos;
        while (end < full.size() && !IsSeparator(full[end]))
            ++end;
        const std::string part = full.substr(pos, end - pos);
        if (part == "..") {
            if (!parts.empty())
                parts.pop_back();
        } else if (!part.empty() && part != ".") {
            parts.push_back(part);
        }
        pos = end + 1;
    }
    std::string result;
    for (const std::string& part : parts)
        result += "/" + part;
    if (result.empty() || IsSeparator(fileName.back()))
        result += "/";
    return result;
}

std::string IncludeTrailingPathDelimiter(const std::string& path)
{
    if (!path.empty() && IsSeparator(path.back()))
        return path;
    return path + PathDelim;
}

std::string ExcludeTrailingPathDelimiter(const std::string& path)
{
    if (!path.empty() && IsSeparator(path.back()))
        return path.substr(0, path.size() - 1);
    return path;
}

std::string IncludeTrailingBackslash(const std::string& path)
{
    return IncludeTrailingPathDelimiter(path);
}

std::string ExcludeTrailingBackslash(const std::string& path)
{
    return ExcludeTrailingPathDelimiter(path);
}

// --- Files and folders --------------------------------------------------------------------------

bool FileExists(const std::string& fileName)
{
    struct stat info;
    const std::string native = ResolvePath(fileName);
    if (stat(native.c_str(), &info) != 0) {
        SetLastErrorFromErrno(errno, native);
        return false;
    }
    return !S_ISDIR(info.st_mode);
}

bool DirectoryExists(const std::string& directory)
{
    struct stat info;
    const std::string native = ResolvePath(directory);
    if (stat(native.c_str(), &info) != 0) {
        SetLastErrorFromErrno(errno, native);
        return false;
    }
    return S_ISDIR(info.st_mode);
}

bool CreateDir(const std::string& directory)
{
    const std::string native = ResolvePath(directory);
    if (mkdir(native.c_str(), 0777) != 0) {
        SetLastErrorFromErrno(errno, native, TErrnoContext::CreateFolder);
        return false;
    }
    ForgetFolderOf(ExcludeTrailingPathDelimiter(native));
    return true;
}

bool ForceDirectories(const std::string& directory)
{
    const std::string native = ExcludeTrailingPathDelimiter(ResolvePath(directory));
    if (native.empty()) {
        SetLastError(ERROR_INVALID_NAME);
        return false;
    }
    // Creates each missing part from the top; a part made meanwhile by someone else is fine.
    size_t pos = native[0] == '/' ? 1 : 0;
    while (pos <= native.size()) {
        size_t end = native.find('/', pos);
        if (end == std::string::npos)
            end = native.size();
        const std::string prefix = native.substr(0, end);
        struct stat info;
        if (stat(prefix.c_str(), &info) != 0) {
            if (mkdir(prefix.c_str(), 0777) != 0 && errno != EEXIST) {
                SetLastErrorFromErrno(errno, prefix, TErrnoContext::CreateFolder);
                return false;
            }
            ForgetFolderOf(prefix);
        } else if (!S_ISDIR(info.st_mode)) {
            SetLastError(ERROR_ALREADY_EXISTS);
            return false;
        }
        pos = end + 1;
    }
    return true;
}

void ForceDirectoriesOrRaise(const std::string& directory)
{
    if (!ForceDirectories(directory))
        RAISE(EInOutError("Impossibile creare la cartella " + directory));
}

bool RemoveDir(const std::string& directory)
{
    const std::string native = ExcludeTrailingPathDelimiter(ResolvePath(directory));
    if (rmdir(native.c_str()) != 0) {
        SetLastErrorFromErrno(errno, native);
        return false;
    }
    ForgetFolderOf(native);
    return true;
}

bool DeleteFile(const std::string& fileName)
{
    const std::string native = ResolvePath(fileName);
    struct stat info;
    // A folder is not a file, and a read-only file is protected from deletion as on Windows.
    if (lstat(native.c_str(), &info) == 0 &&
        (S_ISDIR(info.st_mode) || (S_ISREG(info.st_mode) && IsReadOnly(info)))) {
        SetLastError(ERROR_ACCESS_DENIED);
        return false;
    }
    if (unlink(native.c_str()) != 0) {
        SetLastErrorFromErrno(errno, native);
        return false;
    }
    ForgetFolderOf(native);
    return true;
}

bool RenameFile(const std::string& oldName, const std::string& newName)
{
    const std::string oldNative = ResolvePath(oldName);
    // The new name keeps the case it was given; only its folder is resolved. An entry that
    // matches it in another case is the target already there, unless it is the source itself
    // (a rename that changes only the case).
    const std::string newExisting = ResolvePath(newName);
    const std::string newNative =
        AppendPart(ExtractFilePath(newExisting), AnsiToUtf8(ExtractFileName(newName)));
    // No entry of the new name in another case: the kernel alone refuses to replace one, so the
    // usual rename costs one system call. Any failure takes the careful way below.
    if (newExisting == newNative &&
        renameat2(AT_FDCWD, oldNative.c_str(), AT_FDCWD, newNative.c_str(), RENAME_NOREPLACE) == 0) {
        ForgetFolderOf(oldNative);
        ForgetFolderOf(newNative);
        return true;
    }
    struct stat oldInfo;
    if (lstat(oldNative.c_str(), &oldInfo) != 0) {
        SetLastErrorFromErrno(errno, oldNative);
        return false;
    }
    struct stat newInfo;
    const bool targetExists = lstat(newExisting.c_str(), &newInfo) == 0;
    if (targetExists && !SameEntry(oldInfo, newInfo)) {
        SetLastError(ERROR_ALREADY_EXISTS);
        return false;
    }
    const bool targetIsSource = targetExists;
    int rc;
    if (targetIsSource)
        rc = rename(oldNative.c_str(), newNative.c_str());
    else
        rc = renameat2(AT_FDCWD, oldNative.c_str(), AT_FDCWD, newNative.c_str(), RENAME_NOREPLACE);
    if (rc != 0 && errno == EINVAL && !targetIsSource) {
        // A file system without RENAME_NOREPLACE: link and unlink never replace either.
        if (!S_ISDIR(oldInfo.st_mode) && link(oldNative.c_str(), newNative.c_str()) == 0)
            rc = unlink(oldNative.c_str());
        else if (S_ISDIR(oldInfo.st_mode) && !EntryExists(newNative))
            rc = rename(oldNative.c_str(), newNative.c_str());
    }
    if (rc != 0 && errno == EXDEV && S_ISREG(oldInfo.st_mode)) {
        // Another file system: a file moves by copy, as Windows moves it across volumes.
        if (!CopyFile(oldName, newName, true))
            return false;
        rc = unlink(oldNative.c_str());
    }
    if (rc != 0) {
        SetLastErrorFromErrno(errno, newNative, TErrnoContext::CreateFolder);
        return false;
    }
    ForgetFolderOf(oldNative);
    ForgetFolderOf(newNative);
    return true;
}

bool CopyFile(const std::string& existingFileName, const std::string& newFileName,
              bool failIfExists)
{
    const std::string sourceNative = ResolvePath(existingFileName);
    const std::string targetNative = ResolvePath(newFileName);
    const int source = open(sourceNative.c_str(), O_RDONLY | O_CLOEXEC);
    if (source < 0) {
        SetLastErrorFromErrno(errno, sourceNative);
        return false;
    }
    struct stat sourceInfo;
    struct stat targetInfo;
    uint32_t error = ERROR_SUCCESS;
    if (fstat(source, &sourceInfo) != 0 || S_ISDIR(sourceInfo.st_mode))
        error = ERROR_ACCESS_DENIED;
    else if (stat(targetNative.c_str(), &targetInfo) == 0) {
        if (SameEntry(sourceInfo, targetInfo))
            error = ERROR_SHARING_VIOLATION;
        else if (failIfExists)
            error = ERROR_FILE_EXISTS;
        else if (S_ISDIR(targetInfo.st_mode) || IsReadOnly(targetInfo))
            error = ERROR_ACCESS_DENIED;
    }
    if (error != ERROR_SUCCESS) {
        close(source);
        SetLastError(error);
        return false;
    }
    try {
        TAtomicFileStream target(newFileName);
        const bool copied = CopyContents(source, target.Handle());
        const int copyErrno = errno;
        if (copied) {
            fchmod(target.Handle(), sourceInfo.st_mode & 07777);
            timespec times[2] = {sourceInfo.st_atim, sourceInfo.st_mtim};
            futimens(target.Handle(), times);
            target.Commit();
        }
        close(source);
        if (!copied) {
            SetLastErrorFromErrno(copyErrno, targetNative);
            return false;
        }
    } catch (const Exception&) {
        close(source);
        return false;
    }
    return true;
}

// --- Dates and attributes -----------------------------------------------------------------------

TDateTime FileDateToDateTime(int fileDate)
{
    const unsigned value = static_cast<unsigned>(fileDate);
    const int high = static_cast<int>(value >> 16);
    const int low = static_cast<int>(value & 0xFFFF);
    return EncodeDate((high >> 9) + 1980, (high >> 5) & 15, high & 31) +
           EncodeTime(low >> 11, (low >> 5) & 63, (low & 31) * 2, 0);
}

int DateTimeToFileDate(TDateTime dateTime)
{
    int year, month, day, hour, min, sec, msec;
    DecodeDate(dateTime, year, month, day);
    if (year < 1980 || year > 2107)
        return 0;
    DecodeTime(dateTime, hour, min, sec, msec);
    return PackDosDate(year, month, day, hour, min, sec);
}

int FileAge(const std::string& fileName)
{
    const std::string native = ResolvePath(fileName);
    struct stat info;
    if (stat(native.c_str(), &info) != 0) {
        SetLastErrorFromErrno(errno, native);
        return -1;
    }
    if (S_ISDIR(info.st_mode))
        return -1;
    return TimeToDosDate(info.st_mtim.tv_sec);
}

bool FileAge(const std::string& fileName, TDateTime& fileDateTime)
{
    const std::string native = ResolvePath(fileName);
    struct stat info;
    if (stat(native.c_str(), &info) != 0 || S_ISDIR(info.st_mode))
        return false;
    tm local{};
    const time_t seconds = info.st_mtim.tv_sec;
    if (!localtime_r(&seconds, &local))
        return false;
    TDateTime date;
    TDateTime time;
    if (!TryEncodeDate(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, date) ||
        !TryEncodeTime(local.tm_hour, local.tm_min, std::min(local.tm_sec, 59),
                       static_cast<int>(info.st_mtim.tv_nsec / 1000000), time))
        return false;
    fileDateTime = date + time;
    return true;
}

int FileGetDate(int handle)
{
    struct stat info;
    if (fstat(handle, &info) != 0) {
        SetLastErrorFromErrno(errno);
        return -1;
    }
    return TimeToDosDate(info.st_mtim.tv_sec);
}

int FileSetDate(const std::string& fileName, int age)
{
    return SetNativeFileTime(ResolvePath(fileName), -1, age);
}

int FileSetDate(int handle, int age)
{
    return SetNativeFileTime(std::string(), handle, age);
}

int FileGetAttr(const std::string& fileName)
{
    const std::string native = ExcludeTrailingPathDelimiter(ResolvePath(fileName));
    struct stat info;
    if (stat(native.c_str(), &info) != 0) {
        SetLastErrorFromErrno(errno, native);
        return -1;
    }
    return AttributesOf(Utf8ToAnsi(ExtractFileName(native)), info);
}

int FileSetAttr(const std::string& fileName, int attr)
{
    const std::string native = ResolvePath(fileName);
    struct stat info;
    if (stat(native.c_str(), &info) != 0)
        return static_cast<int>(SetLastErrorFromErrno(errno, native));
    mode_t mode = info.st_mode & 07777;
    if (attr & faReadOnly)
        mode &= ~static_cast<mode_t>(S_IWUSR | S_IWGRP | S_IWOTH);
    else if (IsReadOnly(info))
        mode |= S_IWUSR;
    if (mode != (info.st_mode & 07777) && chmod(native.c_str(), mode) != 0)
        return static_cast<int>(SetLastErrorFromErrno(errno, native));
    return 0;
}

// --- Searching ----------------------------------------------------------------------------------

int FindFirst(const std::string& path, int attr, TSearchRec& searchRec)
{
    searchRec = TSearchRec();
    searchRec.ExcludeAttr = ~attr & (faHidden | faSysFile | faVolumeID | faDirectory);
    searchRec.Mask = ExtractFileName(path);
    const std::string folder = ExtractFilePath(path);
    searchRec.FolderNative = folder.empty() ? std::string() : ResolvePath(folder);
    DIR* dir = opendir(OpenableFolder(searchRec.FolderNative).c_str());
    if (!dir) {
        const int err = errno;
        if (err == ENOENT) {
            SetLastError(ERROR_PATH_NOT_FOUND);
            return static_cast<int>(ERROR_PATH_NOT_FOUND);
        }
        return static_cast<int>(SetLastErrorFromErrno(err, searchRec.FolderNative));
    }
    // Folders on Windows list their entries in the order of their upper-case names.
    std::vector<std::pair<std::string, std::string>> matches; // folded name, native name
    while (dirent* entry = readdir(dir)) {
        const std::string name = Utf8ToAnsi(entry->d_name);
        if (MatchesMask(name, searchRec.Mask))
            matches.emplace_back(FoldName(name), entry->d_name);
    }
    closedir(dir);
    if (matches.empty()) {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return static_cast<int>(ERROR_FILE_NOT_FOUND);
    }
    std::sort(matches.begin(), matches.end(), [](const auto& a, const auto& b) {
        return std::lexicographical_compare(
            a.first.begin(), a.first.end(), b.first.begin(), b.first.end(),
            [](char x, char y) { return static_cast<unsigned char>(x) < static_cast<unsigned char>(y); });
    });
    for (auto it = matches.rbegin(); it != matches.rend(); ++it)
        searchRec.Pending.push_back(std::move(it->second));
    const int result = FindMatchingEntry(searchRec);
    if (result != 0)
        SetLastError(static_cast<std::uint32_t>(result));
    return result;
}

int FindNext(TSearchRec& searchRec)
{
    const int result = FindMatchingEntry(searchRec);
    if (result != 0)
        SetLastError(static_cast<std::uint32_t>(result));
    return result;
}

void FindClose(TSearchRec& searchRec)
{
    searchRec.Pending.clear();
}

// --- Current folder -----------------------------------------------------------------------------

std::string GetCurrentDir()
{
    std::vector<char> buffer(4096);
    while (!getcwd(buffer.data(), buffer.size())) {
        if (errno != ERANGE)
            return {};
        buffer.resize(buffer.size() * 2);
    }
    return Utf8ToAnsi(buffer.data());
}

bool SetCurrentDir(const std::string& directory)
{
    const std::string native = ResolvePath(directory);
    if (chdir(native.c_str()) != 0) {
        SetLastErrorFromErrno(errno, native);
        return false;
    }
    // Relative folders are cached under their relative names.
    ClearPathCache();
    return true;
}

// --- Handles ------------------------------------------------------------------------------------

int FileOpen(const std::string& fileName, int mode)
{
    static const int accessFlags[] = {O_RDONLY, O_WRONLY, O_RDWR};
    const int access = mode & 3;
    if (access > 2) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return -1;
    }
    const std::string native = ResolvePath(fileName);
    const int handle = open(native.c_str(), accessFlags[access] | O_CLOEXEC);
    if (handle < 0) {
        SetLastErrorFromErrno(errno, native);
        return -1;
    }
    // Folders cannot be opened as files; read-only files not for writing, even by root.
    struct stat info;
    if (fstat(handle, &info) == 0 &&
        (S_ISDIR(info.st_mode) || (access != 0 && IsReadOnly(info)))) {
        close(handle);
        SetLastError(ERROR_ACCESS_DENIED);
        return -1;
    }
    return handle;
}

int FileCreate(const std::string& fileName)
{
    const std::string native = ResolvePath(fileName);
    struct stat info;
    if (stat(native.c_str(), &info) == 0 && S_ISREG(info.st_mode) && IsReadOnly(info)) {
        SetLastError(ERROR_ACCESS_DENIED);
        return -1;
    }
    const int handle = open(native.c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (handle < 0) {
        SetLastErrorFromErrno(errno, native, TErrnoContext::CreateFile);
        return -1;
    }
    ForgetFolderOf(native);
    return handle;
}

int FileRead(int handle, void* buffer, int count)
{
    if (count <= 0)
        return 0;
    char* bytes = static_cast<char*>(buffer);
    int done = 0;
    while (done < count) {
        const ssize_t got = read(handle, bytes + done, static_cast<size_t>(count - done));
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0) {
            SetLastErrorFromErrno(errno);
            return done > 0 ? done : -1;
        }
        if (got == 0)
            break;
        done += static_cast<int>(got);
    }
    return done;
}

int FileWrite(int handle, const void* buffer, int count)
{
    if (count <= 0)
        return 0;
    const char* bytes = static_cast<const char*>(buffer);
    int done = 0;
    while (done < count) {
        const ssize_t put = write(handle, bytes + done, static_cast<size_t>(count - done));
        if (put < 0 && errno == EINTR)
            continue;
        if (put <= 0) {
            SetLastErrorFromErrno(put < 0 ? errno : ENOSPC);
            return done > 0 ? done : -1;
        }
        done += static_cast<int>(put);
    }
    return done;
}

std::int64_t FileSeek(int handle, std::int64_t offset, int origin)
{
    static const int whence[] = {SEEK_SET, SEEK_CUR, SEEK_END};
    if (origin < 0 || origin > 2) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return -1;
    }
    const off_t result = lseek(handle, static_cast<off_t>(offset), whence[origin]);
    if (result < 0) {
        SetLastErrorFromErrno(errno);
        return -1;
    }
    return result;
}

void FileClose(int handle)
{
    if (handle >= 0)
        close(handle);
}

// --- Atomic writing -----------------------------------------------------------------------------

void WriteFileAtomically(const std::string& fileName, std::string_view bytes)
{
    TAtomicFileStream stream(fileName);
    size_t done = 0;
    while (done < bytes.size()) {
        const int chunk = static_cast<int>(std::min<size_t>(bytes.size() - done, 1 << 20));
        if (stream.Write(bytes.data() + done, chunk) != chunk)
            RAISE(EFCreateError("Cannot create file \"" + ExpandFileName(fileName) + "\". " +
                                SysErrorMessage(GetLastError())));
        done += static_cast<size_t>(chunk);
    }
    stream.Commit();
}

bool SyncFileSystemOf(const std::string& path)
{
    const std::string native = ResolvePath(path);
    const int handle = open(native.c_str(), O_RDONLY | O_CLOEXEC);
    if (handle < 0) {
        SetLastErrorFromErrno(errno, native);
        return false;
    }
    const bool synced = syncfs(handle) == 0;
    if (!synced)
        SetLastErrorFromErrno(errno, native);
    close(handle);
    return synced;
}

void ForgetCachedFolder(const std::string& nativePath)
{
    ForgetFolderOf(nativePath);
}
