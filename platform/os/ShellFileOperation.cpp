#include "platform/os/ShellFileOperation.h"

#include "platform/os/MessageBox.h"
#include "platform/os/OsPaths.h"
#include "platform/os/TempFiles.h"
#include "platform/rtl/Files.h"
#include "platform/rtl/Streams.h"
#include "platform/rtl/SysErrors.h"
#include "platform/rtl/TextUtils.h"

#include <QFile>
#include <QFileInfo>
#include <QString>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <dirent.h>
#include <fcntl.h>
#include <filesystem>
#include <mutex>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

std::mutex uiMutex;
std::shared_ptr<TFileOperationUi> installedUi;

struct TCancelled {};

std::vector<std::string> SplitList(const char* list)
{
    std::vector<std::string> names;
    while (list != nullptr && *list != '\0') {
        names.emplace_back(list);
        list += names.back().size() + 1;
    }
    return names;
}

std::string FolderPart(const std::string& native)
{
    const auto slash = native.rfind('/');
    return slash == std::string::npos ? "." : (slash == 0 ? "/" : native.substr(0, slash));
}

std::string NamePart(const std::string& native)
{
    const auto slash = native.rfind('/');
    return slash == std::string::npos ? native : native.substr(slash + 1);
}

bool HasWildcards(const std::string& name)
{
    return name.find_first_of("*?") != std::string::npos;
}

// Windows-style matching without regard to case; "*.*" also matches names without a point.
bool Matches(const std::string& mask, const std::string& name)
{
    if (mask == "*.*")
        return true;
    const std::string m = AnsiUpperCase(mask);
    const std::string n = AnsiUpperCase(name);
    size_t mi = 0, ni = 0, star = std::string::npos, mark = 0;
    while (ni < n.size()) {
        if (mi < m.size() && (m[mi] == '?' || m[mi] == n[ni])) {
            ++mi;
            ++ni;
        } else if (mi < m.size() && m[mi] == '*') {
            star = mi++;
            mark = ni;
        } else if (star != std::string::npos) {
            mi = star + 1;
            ni = ++mark;
        } else {
            return false;
        }
    }
    while (mi < m.size() && m[mi] == '*')
        ++mi;
    return mi == m.size();
}

bool Lstat(const std::string& native, struct stat& info)
{
    return lstat(native.c_str(), &info) == 0;
}

bool Exists(const std::string& native)
{
    struct stat info {};
    return Lstat(native, info);
}

bool IsFolder(const std::string& native)
{
    struct stat info {};
    return Lstat(native, info) && S_ISDIR(info.st_mode);
}

// Qt hides a file in a "files" folder under the current directory when it cannot make the home
// trash (its parent folder missing) and still reports success. The home trash is made here first,
// and a move that did not land in an absolute trash folder is put back and reported as a failure.
bool MoveToTrash(const std::string& native)
{
    const std::string trash = DataHomeFolder() + "/Trash";
    for (const std::string& part : {trash + "/files", trash + "/info"}) {
        std::error_code ignored;
        std::filesystem::create_directories(part, ignored);
    }
    chmod(trash.c_str(), 0700);
    QString trashed;
    if (!QFile::moveToTrash(QString::fromStdString(native), &trashed))
        return false;
    if (QFileInfo(trashed).isAbsolute())
        return true;
    const QString lost = QFileInfo(trashed).absoluteFilePath();
    if (std::rename(lost.toStdString().c_str(), native.c_str()) == 0) {
        const QString info = QFileInfo(lost).absolutePath() + "/../info/" + QFileInfo(lost).fileName() + ".trashinfo";
        QFile::remove(info);
    }
    return false;
}

// The sources as system paths, wildcards expanded in their last part.
std::vector<std::string> ExpandSources(const std::vector<std::string>& names, bool filesOnly)
{
    std::vector<std::string> result;
    for (const std::string& name : names) {
        const std::string native = NativePath(name);
        const std::string mask = NamePart(native);
        if (!HasWildcards(mask)) {
            result.push_back(native);
            continue;
        }
        const std::string folder = FolderPart(native);
        DIR* listing = opendir(folder.c_str());
        if (listing == nullptr)
            continue;
        std::vector<std::string> found;
        while (dirent* entry = readdir(listing)) {
            const std::string entryName = entry->d_name;
            if (entryName == "." || entryName == ".." || !Matches(AnsiFromNative(mask), AnsiFromNative(entryName)))
                continue;
            const std::string path = folder + "/" + entryName;
            if (filesOnly && IsFolder(path))
                continue;
            found.push_back(path);
        }
        closedir(listing);
        std::sort(found.begin(), found.end());
        result.insert(result.end(), found.begin(), found.end());
    }
    return result;
}

// Copies one file to a temporary name in the target's folder and renames it into place.
int CopyFileContents(const std::string& source, const std::string& target)
{
    const int in = open(source.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
    if (in < 0)
        return static_cast<int>(WindowsErrorFromErrno(errno));
    struct stat info {};
    fstat(in, &info);
    std::string temporary;
    const int out = CreateAtomicTemporary(target, temporary);
    if (out < 0) {
        const int error = static_cast<int>(WindowsErrorFromErrno(errno));
        close(in);
        return error;
    }
    // A private file stays private while its copy is being written.
    fchmod(out, info.st_mode & 0700);
    bool ok = true;
    char buffer[65536];
    for (;;) {
        ssize_t got = read(in, buffer, sizeof buffer);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0) {
            ok = got == 0;
            break;
        }
        for (ssize_t done = 0; done < got && ok;) {
            const ssize_t written = write(out, buffer + done, static_cast<size_t>(got - done));
            if (written < 0 && errno == EINTR)
                continue;
            ok = written > 0;
            done += written > 0 ? written : 0;
        }
        if (!ok)
            break;
    }
    int savedErrno = errno;
    ok = ok && fchmod(out, info.st_mode & 07777) == 0 && fsync(out) == 0;
    if (!ok)
        savedErrno = errno;
    close(out);
    close(in);
    if (ok && WriteFaultInjected(target)) {
        ok = false;
        savedErrno = EIO;
    }
    if (ok && rename(temporary.c_str(), target.c_str()) != 0) {
        ok = false;
        savedErrno = errno;
    }
    if (!ok) {
        unlink(temporary.c_str());
        return static_cast<int>(WindowsErrorFromErrno(savedErrno));
    }
    return 0;
}

int CopyLink(const std::string& source, const std::string& target)
{
    char buffer[4096];
    const ssize_t length = readlink(source.c_str(), buffer, sizeof buffer - 1);
    if (length < 0)
        return static_cast<int>(WindowsErrorFromErrno(errno));
    buffer[length] = '\0';
    const std::size_t slash = target.rfind('/');
    const std::string temporary = target.substr(0, slash + 1) + AtomicTemporaryName(target.substr(slash + 1));
    unlink(temporary.c_str());
    if (symlink(buffer, temporary.c_str()) != 0 || rename(temporary.c_str(), target.c_str()) != 0) {
        const int error = static_cast<int>(WindowsErrorFromErrno(errno));
        unlink(temporary.c_str());
        return error;
    }
    return 0;
}

class TShellOperation {
public:
    TShellOperation(SHFILEOPSTRUCTA& request, std::shared_ptr<TFileOperationUi> ui) : request_(request), ui_(std::move(ui)) {}

    int Run()
    {
        const std::vector<std::string> names = SplitList(request_.pFrom);
        if (names.empty())
            return static_cast<int>(ERROR_INVALID_PARAMETER);
        try {
            switch (request_.wFunc) {
            case FO_DELETE:
                return Delete(ExpandSources(names, Flag(FOF_FILESONLY)));
            case FO_COPY:
            case FO_MOVE:
            case FO_RENAME:
                return Transfer(ExpandSources(names, Flag(FOF_FILESONLY)));
            default:
                return static_cast<int>(ERROR_INVALID_PARAMETER);
            }
        } catch (const TCancelled&) {
            request_.fAnyOperationsAborted = TRUE;
            return static_cast<int>(ERROR_CANCELLED);
        }
    }

private:
    bool Flag(FILEOP_FLAGS flag) const { return (request_.fFlags & flag) != 0; }
    bool Asking() const { return ui_ && !Flag(FOF_NOCONFIRMATION); }

    void Progress(const std::string& item)
    {
        if (ui_ && ui_->Progress && !Flag(FOF_SILENT) && !ui_->Progress(AnsiFromNative(item), done_, total_))
            throw TCancelled{};
        ++done_;
    }

    void Fail(int code)
    {
        if (firstError_ == 0)
            firstError_ = code;
    }

    int Delete(const std::vector<std::string>& sources)
    {
        total_ = static_cast<int>(sources.size());
        for (const std::string& source : sources) {
            Progress(source);
            if (!Exists(source)) {
                Fail(static_cast<int>(ERROR_FILE_NOT_FOUND));
                continue;
            }
            if (Flag(FOF_ALLOWUNDO)) {
                if (!MoveToTrash(source))
                    Fail(static_cast<int>(ERROR_ACCESS_DENIED));
            } else if (!RemoveTreeNoFollow(source)) {
                Fail(static_cast<int>(WindowsErrorFromErrno(errno)));
            }
        }
        return firstError_;
    }

    // Where a source goes, or "" when the request names no destination for it.
    std::vector<std::string> Destinations(const std::vector<std::string>& sources)
    {
        const std::vector<std::string> targets = SplitList(request_.pTo);
        std::vector<std::string> result;
        if (Flag(FOF_MULTIDESTFILES) && targets.size() == sources.size()) {
            for (const std::string& target : targets)
                result.push_back(NativePath(target));
            return result;
        }
        if (targets.empty())
            return result;
        std::string target = NativePath(targets[0]);
        if (request_.wFunc == FO_RENAME) {
            if (targets[0].find_first_of("\\/") == std::string::npos && !sources.empty())
                target = FolderPart(sources[0]) + "/" + NativePath(targets[0]);
            result.push_back(target);
            return result;
        }
        const bool intoFolder = sources.size() > 1 || IsFolder(target);
        if (!intoFolder) {
            result.push_back(target);
            return result;
        }
        if (!IsFolder(target)) {
            if (Asking() && !Flag(FOF_NOCONFIRMMKDIR) && ui_->ConfirmCreateFolder) {
                const int answer = ui_->ConfirmCreateFolder(AnsiFromNative(target));
                if (answer == IDCANCEL)
                    throw TCancelled{};
                if (answer == IDNO)
                    return {};
            }
            if (!MakeFolders(target)) {
                Fail(static_cast<int>(WindowsErrorFromErrno(errno)));
                return {};
            }
        }
        for (const std::string& source : sources)
            result.push_back(target + "/" + NamePart(source));
        return result;
    }

    // "name (2).ext", "name (3).ext", ... beside the target.
    static std::string FreeName(const std::string& target)
    {
        const std::string folder = FolderPart(target);
        const std::string name = NamePart(target);
        const auto dot = name.rfind('.');
        const std::string stem = dot == std::string::npos || dot == 0 ? name : name.substr(0, dot);
        const std::string extension = dot == std::string::npos || dot == 0 ? "" : name.substr(dot);
        for (int n = 2;; ++n) {
            const std::string candidate = folder + "/" + stem + " (" + std::to_string(n) + ")" + extension;
            if (!Exists(candidate))
                return candidate;
        }
    }

    int Transfer(const std::vector<std::string>& sources)
    {
        const std::vector<std::string> targets = Destinations(sources);
        if (targets.size() != sources.size())
            return firstError_ != 0 ? firstError_ : static_cast<int>(ERROR_INVALID_PARAMETER);
        total_ = static_cast<int>(sources.size());
        for (size_t i = 0; i < sources.size(); ++i) {
            Progress(sources[i]);
            TransferOne(sources[i], targets[i]);
        }
        return firstError_;
    }

    void TransferOne(const std::string& source, std::string target)
    {
        struct stat sourceInfo {};
        if (!Lstat(source, sourceInfo)) {
            Fail(static_cast<int>(ERROR_FILE_NOT_FOUND));
            return;
        }
        struct stat targetInfo {};
        if (Lstat(target, targetInfo)) {
            if (targetInfo.st_dev == sourceInfo.st_dev && targetInfo.st_ino == sourceInfo.st_ino) {
                Fail(DE_SAMEFILE);
                return;
            }
            if (Flag(FOF_RENAMEONCOLLISION)) {
                target = FreeName(target);
            } else if (request_.wFunc == FO_RENAME) {
                Fail(static_cast<int>(ERROR_ALREADY_EXISTS));
                return;
            } else if (!(S_ISDIR(sourceInfo.st_mode) && S_ISDIR(targetInfo.st_mode))) {
                if (S_ISDIR(sourceInfo.st_mode) != S_ISDIR(targetInfo.st_mode)) {
                    Fail(static_cast<int>(ERROR_ALREADY_EXISTS));
                    return;
                }
                if (Asking() && ui_->ConfirmReplace) {
                    const int answer = ui_->ConfirmReplace(AnsiFromNative(target));
                    if (answer == IDCANCEL)
                        throw TCancelled{};
                    if (answer != IDYES) {
                        request_.fAnyOperationsAborted = TRUE;
                        return;
                    }
                }
            }
        }
        if (S_ISDIR(sourceInfo.st_mode) && (target + "/").compare(0, source.size() + 1, source + "/") == 0) {
            Fail(DE_DESTSUBTREE);
            return;
        }
        if (request_.wFunc == FO_COPY) {
            CopyEntry(source, target);
            return;
        }
        if (rename(source.c_str(), target.c_str()) == 0)
            return;
        if (errno != EXDEV) {
            Fail(static_cast<int>(WindowsErrorFromErrno(errno, TErrnoContext::CreateFolder)));
            return;
        }
        const int before = firstError_;
        CopyEntry(source, target);
        if (firstError_ == before && !RemoveTreeNoFollow(source))
            Fail(static_cast<int>(WindowsErrorFromErrno(errno)));
    }

    void CopyEntry(const std::string& source, const std::string& target)
    {
        struct stat info {};
        if (!Lstat(source, info)) {
            Fail(static_cast<int>(WindowsErrorFromErrno(errno)));
            return;
        }
        if (S_ISLNK(info.st_mode)) {
            if (const int error = CopyLink(source, target))
                Fail(error);
            return;
        }
        if (!S_ISDIR(info.st_mode)) {
            if (const int error = CopyFileContents(source, target))
                Fail(error);
            return;
        }
        if (!IsFolder(target) && mkdir(target.c_str(), info.st_mode & 07777) != 0) {
            Fail(static_cast<int>(WindowsErrorFromErrno(errno, TErrnoContext::CreateFolder)));
            return;
        }
        DIR* listing = opendir(source.c_str());
        if (listing == nullptr) {
            Fail(static_cast<int>(WindowsErrorFromErrno(errno)));
            return;
        }
        std::vector<std::string> names;
        while (dirent* entry = readdir(listing)) {
            const std::string name = entry->d_name;
            if (name != "." && name != "..")
                names.push_back(name);
        }
        closedir(listing);
        for (const std::string& name : names)
            CopyEntry(source + "/" + name, target + "/" + name);
    }

    SHFILEOPSTRUCTA& request_;
    std::shared_ptr<TFileOperationUi> ui_;
    int firstError_ = 0;
    int done_ = 0;
    int total_ = 0;
};

} // namespace

int SHFileOperationA(SHFILEOPSTRUCTA* operation)
{
    if (operation == nullptr)
        return static_cast<int>(ERROR_INVALID_PARAMETER);
    operation->fAnyOperationsAborted = FALSE;
    std::shared_ptr<TFileOperationUi> ui;
    {
        std::lock_guard<std::mutex> lock(uiMutex);
        ui = installedUi;
    }
    TShellOperation run(*operation, ui);
    return run.Run();
}

void SetFileOperationUi(std::shared_ptr<TFileOperationUi> ui)
{
    std::lock_guard<std::mutex> lock(uiMutex);
    installedUi = std::move(ui);
}
