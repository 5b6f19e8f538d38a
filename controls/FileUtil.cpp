#include "controls/FileUtil.h"

#include "controls/DateUtil.h"
#include "controls/ExPrgrss.h"
#include "controls/VCLUtils.h"
#include "platform/gui/Application.h"
#include "platform/gui/CommonDialogs.h"
#include "platform/gui/Screen.h"
#include "platform/gui/WindowFunctions.h"
#include "platform/gui/WindowHandles.h"
#include "platform/os/FileApi.h"
#include "platform/os/ShellFileOperation.h"
#include "platform/os/ShellFolders.h"
#include "platform/os/ShellLink.h"
#include "platform/os/SystemInfo.h"
#include "platform/os/TempFiles.h"
#include "platform/rtl/Formats.h"
#include "platform/rtl/Streams.h"
#include "platform/rtl/TextUtils.h"
#include "platform/rtl/TypInfo.h"

#include <cerrno>
#include <dirent.h>
#include <mutex>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr int FileUtilChunkSize = 8192;

bool FileUtilIsSeparator(char c) { return c == '\\' || c == '/'; }

// Disables the application's windows while a shell dialog or operation runs, and gives the
// activation back to the window that had it.
class FileUtilTaskWindows {
public:
    FileUtilTaskWindows() : FActive(GetActiveWindow())
    {
        for (int i = 0; Screen && i < Screen->CustomFormCount(); ++i) {
            TCustomForm* form = Screen->CustomForms(i);
            if (form->HandleAllocated() && IsWindowVisible(form->Handle()) && IsWindowEnabled(form->Handle())) {
                EnableWindow(form->Handle(), FALSE);
                FDisabled.push_back(form->Handle());
            }
        }
    }
    ~FileUtilTaskWindows()
    {
        for (HWND window : FDisabled)
            if (IsWindow(window))
                EnableWindow(window, TRUE);
        if (FActive && IsWindow(FActive))
            SetActiveWindow(FActive);
    }
    FileUtilTaskWindows(const FileUtilTaskWindows&) = delete;
    FileUtilTaskWindows& operator=(const FileUtilTaskWindows&) = delete;

private:
    HWND FActive;
    std::vector<HWND> FDisabled;
};

// A file descriptor of FileOpen closed however the copy ends.
class FileUtilOpenFile {
public:
    explicit FileUtilOpenFile(int handle) : FHandle(handle) {}
    ~FileUtilOpenFile()
    {
        if (FHandle >= 0)
            FileClose(FHandle);
    }
    FileUtilOpenFile(const FileUtilOpenFile&) = delete;
    FileUtilOpenFile& operator=(const FileUtilOpenFile&) = delete;
    int Handle() const { return FHandle; }

private:
    int FHandle;
};

// Both names lead to the same file: the same device and inode, whatever the names look like.
bool FileUtilSameFile(const std::string& a, const std::string& b)
{
    struct stat first, second;
    return stat(ResolvePath(a).c_str(), &first) == 0 && stat(ResolvePath(b).c_str(), &second) == 0 &&
           first.st_dev == second.st_dev && first.st_ino == second.st_ino;
}

// "a;b|c" as the shell's list of names: each ended by a zero, the list by a second one.
std::string FileUtilNameList(const std::string& names)
{
    std::string list = names;
    for (char& c : list)
        if (c == ';' || c == '|')
            c = '\0';
    list.push_back('\0');
    list.push_back('\0');
    return list;
}

void FileUtilShellCopyMove(const std::string& fileName, const std::string& destName, bool overwriteReadOnly,
                           bool move)
{
    TExFileOperator operation(nullptr);
    operation.Source = fileName;
    operation.Destination = destName;
    if (move)
        operation.Operation = AnsiSameText(ExtractFilePath(fileName), ExtractFilePath(destName)) ? foRename : foMove;
    else
        operation.Operation = foCopy;
    operation.Options.Exclude(flAllowUndo);
    if (move || overwriteReadOnly)
        operation.Options.Include(flNoConfirmation);
    if (!operation.Execute() || operation.Aborted())
        RAISE(EAbort(""));
}

// Sets the progress back to 0 after a failure without hiding the failure.
void FileUtilResetProgressQuietly(TControl* control)
{
    try {
        SetProgressValue(control, 0);
    } catch (...) {
    }
}

// Copies from the current offset of source to that of destination: inside the kernel when both
// lie on one file system, else through a buffer (also once the kernel refuses). The bytes copied,
// 0 at the end of the source. A failure raises the read or the write error.
class FileUtilBlockCopier {
public:
    FileUtilBlockCopier(int source, TAtomicFileStream& destination) : FSource(source), FDestination(destination)
    {
        struct stat from, to;
        FInKernel = fstat(source, &from) == 0 && fstat(destination.Handle(), &to) == 0 && S_ISREG(from.st_mode) &&
                    from.st_dev == to.st_dev;
    }

    long Next()
    {
        if (FInKernel) {
            const ssize_t copied = copy_file_range(FSource, nullptr, FDestination.Handle(), nullptr, IoSize, 0);
            if (copied >= 0)
                return static_cast<long>(copied);
            // Nothing was copied: the buffer takes over and tells a real failure apart.
            FInKernel = false;
        }
        FBuffer.resize(IoSize);
        const int got = FileRead(FSource, FBuffer.data(), IoSize);
        if (got < 0)
            RAISE(EReadError("Stream read error"));
        FDestination.WriteBuffer(FBuffer.data(), got);
        return got;
    }

private:
    static constexpr int IoSize = 1 << 20;
    int FSource;
    TAtomicFileStream& FDestination;
    bool FInKernel = false;
    std::vector<char> FBuffer;
};

// The progress moves as if the file were read in blocks of FileUtilChunkSize bytes: after every
// whole block, and once more for the last, shorter (possibly empty) one. The disk is read and
// written in larger pieces.
void FileUtilCopyBlocks(int source, TAtomicFileStream& destination, TControl* progress)
{
    FileUtilBlockCopier copier(source, destination);
    long total = 0;
    long reported = 0;
    for (long got = copier.Next(); got > 0; got = copier.Next()) {
        total += got;
        for (; total - reported >= FileUtilChunkSize; reported += FileUtilChunkSize)
            SetProgressValue(progress, reported + FileUtilChunkSize);
    }
    SetProgressValue(progress, total);
}

void FileUtilCopy(const std::string& fileName, std::string destination, bool overwriteReadOnly, TControl* progress)
{
    if (DirExists(destination))
        destination = NormalDir(destination) + ExtractFileName(fileName);
    // Writing the copy over its own source would empty it.
    if (FileUtilSameFile(fileName, destination))
        RAISE(EFCreateError(Format("Cannot create file %s", {destination})));
    const std::int64_t size = GetFileSize(fileName);
    FileUtilOpenFile source(DirExists(fileName) ? -1 : FileOpen(fileName, fmOpenRead | fmShareDenyWrite));
    if (source.Handle() < 0)
        RAISE(EFOpenError(Format("Cannot open file %s", {fileName})));
    SetProgressMax(progress, static_cast<long>(size));
    SetProgressMin(progress, 0);
    SetProgressValue(progress, 0);
    ForceDirectories(ExtractFilePath(destination));
    const int attr = FileGetAttr(destination);
    if (attr >= 0 && (attr & faReadOnly)) {
        if (!overwriteReadOnly)
            RAISE(EFCreateError(Format("Cannot create file %s", {destination})));
        FileSetAttr(destination, attr & ~faReadOnly);
    }
    // The copy grows under a temporary name and replaces the destination only when complete. It
    // is not flushed to the disk, as no copy command does: the source is still there; a move
    // flushes before it deletes the source.
    TAtomicFileStream copy(destination);
    FileUtilCopyBlocks(source.Handle(), copy, progress);
    struct stat sourceInfo;
    if (fstat(source.Handle(), &sourceInfo) == 0) {
        const timespec times[2] = {sourceInfo.st_atim, sourceInfo.st_mtim};
        futimens(copy.Handle(), times);
    }
    copy.Commit(TAtomicCommit::Unflushed);
}

// Removes what the open folder holds, without following links; true when everything went.
// With removeFolders the emptied subfolders go too.
bool FileUtilClearFolder(int folder, bool removeFolders)
{
    const int listing = dup(folder);
    DIR* dir = listing >= 0 ? fdopendir(listing) : nullptr;
    if (!dir) {
        if (listing >= 0)
            close(listing);
        return false;
    }
    bool result = true;
    for (;;) {
        errno = 0;
        const dirent* entry = readdir(dir);
        if (!entry) {
            result = result && errno == 0;
            break;
        }
        const std::string name = entry->d_name;
        if (name[0] == '.')
            continue;
        bool isFolder = entry->d_type == DT_DIR;
        if (entry->d_type == DT_UNKNOWN) {
            struct stat info;
            if (fstatat(folder, name.c_str(), &info, AT_SYMLINK_NOFOLLOW) != 0) {
                result = false;
                continue;
            }
            isFolder = S_ISDIR(info.st_mode);
        }
        if (!isFolder) {
            // A file, or a link that is removed as a link whatever it leads to.
            result = unlinkat(folder, name.c_str(), 0) == 0 && result;
            continue;
        }
        const int sub = openat(folder, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        if (sub < 0) {
            result = false;
            continue;
        }
        const bool cleared = FileUtilClearFolder(sub, removeFolders);
        close(sub);
        if (cleared && removeFolders)
            result = unlinkat(folder, name.c_str(), AT_REMOVEDIR) == 0 && result;
        else
            result = cleared && result;
    }
    closedir(dir);
    return result;
}

using FileUtilNameConversion = std::string (*)(const std::string&);

std::string FileUtilConvertPath(const std::string& path, FileUtilNameConversion convert)
{
    std::string result;
    std::string rest = path;
    for (auto separator = rest.find_last_of("\\/"); separator != std::string::npos;
         separator = rest.find_last_of("\\/")) {
        result = rest[separator] + convert(rest) + result;
        rest.resize(separator);
    }
    return rest + result;
}

std::string FileUtilLinkName(const std::string& displayName, int folder)
{
    std::string path;
    if (GetSpecialFolderPath(folder, path) != S_OK)
        RaiseWin32Error(ERROR_PATH_NOT_FOUND);
    return path + "/" + displayName + ".lnk";
}

// The published properties of the two components, for the property storage; events are not stored.
void FileUtilRegisterProperties()
{
    static std::once_flag registered;
    std::call_once(registered, [] {
        RegisterPropInfos(
            "TBrowseFolderDlg", "",
            {OrdProp<TBrowseFolderDlg>(
                 "BrowseKind", EnumTypeInfo("TBrowseKind", {"bfFolders", "bfComputers"}),
                 [](TBrowseFolderDlg& d) -> std::int64_t { return d.BrowseKind; },
                 [](TBrowseFolderDlg& d, std::int64_t v) { d.BrowseKind = static_cast<TBrowseKind>(v); }),
             OrdProp<TBrowseFolderDlg>(
                 "DesktopRoot", TypeInfoBoolean(), [](TBrowseFolderDlg& d) -> std::int64_t { return d.DesktopRoot; },
                 [](TBrowseFolderDlg& d, std::int64_t v) { d.DesktopRoot = v != 0; }),
             StrProp<TBrowseFolderDlg>(
                 "DialogText", [](TBrowseFolderDlg& d) { return d.DialogText; },
                 [](TBrowseFolderDlg& d, const std::string& v) { d.DialogText = v; }),
             StrProp<TBrowseFolderDlg>(
                 "FolderName", [](TBrowseFolderDlg& d) { return d.FolderName; },
                 [](TBrowseFolderDlg& d, const std::string& v) { d.FolderName = v; }),
             OrdProp<TBrowseFolderDlg>(
                 "HelpContext", IntegerTypeInfo("THelpContext"),
                 [](TBrowseFolderDlg& d) -> std::int64_t { return d.HelpContext; },
                 [](TBrowseFolderDlg& d, std::int64_t v) { d.HelpContext = static_cast<int>(v); }),
             OrdProp<TBrowseFolderDlg>(
                 "Position", EnumTypeInfo("TDialogPosition", {"dpDefault", "dpScreenCenter"}),
                 [](TBrowseFolderDlg& d) -> std::int64_t { return d.Position; },
                 [](TBrowseFolderDlg& d, std::int64_t v) { d.Position = static_cast<TDialogPosition>(v); })});
        RegisterPropInfos(
            "TExFileOperator", "",
            {StrProp<TExFileOperator>(
                 "Destination", [](TExFileOperator& o) { return o.Destination; },
                 [](TExFileOperator& o, const std::string& v) { o.Destination = v; }),
             OrdProp<TExFileOperator>(
                 "Operation", EnumTypeInfo("TFileOperation", {"foCopy", "foDelete", "foMove", "foRename"}),
                 [](TExFileOperator& o) -> std::int64_t { return o.Operation; },
                 [](TExFileOperator& o, std::int64_t v) { o.Operation = static_cast<TFileOperation>(v); }),
             OrdProp<TExFileOperator>(
                 "Options",
                 SetTypeInfo("TFileOperFlags",
                             EnumTypeInfo("TFileOperFlag", {"flAllowUndo", "flConfirmMouse", "flFilesOnly",
                                                            "flMultiDest", "flNoConfirmation", "flNoConfirmMkDir",
                                                            "flRenameOnCollision", "flSilent", "flSimpleProgress",
                                                            "flNoErrorUI"})),
                 [](TExFileOperator& o) { return static_cast<std::int64_t>(o.Options.Bits()); },
                 [](TExFileOperator& o, std::int64_t v) { o.Options = TFileOperFlags::FromBits(v & 0x3FF); }),
             StrProp<TExFileOperator>(
                 "ProgressTitle", [](TExFileOperator& o) { return o.ProgressTitle; },
                 [](TExFileOperator& o, const std::string& v) { o.ProgressTitle = v; }),
             StrProp<TExFileOperator>(
                 "Source", [](TExFileOperator& o) { return o.Source; },
                 [](TExFileOperator& o, const std::string& v) { o.Source = v; })});
    });
}

} // namespace

// --- TBrowseFolderDlg ---

TBrowseFolderDlg::TBrowseFolderDlg(TComponent* AOwner) : TComponent(AOwner)
{
    FileUtilRegisterProperties();
    FObjectInstance = MakeObjectInstance([this](TMessage& Message) { DialogWndProc(Message); });
}

TBrowseFolderDlg::~TBrowseFolderDlg() { FreeObjectInstance(FObjectInstance); }

bool TBrowseFolderDlg::Execute()
{
    if (BrowseKind == bfComputers)
        return false;
    const int rootFolder = DesktopRoot ? CSIDL_DESKTOP : CSIDL_DRIVES;
    LPITEMIDLIST root = nullptr;
    if (FAILED(SHGetSpecialFolderLocation(nullptr, rootFolder, &root)))
        RaiseWin32Error(ERROR_PATH_NOT_FOUND);
    struct TRootEnd {
        LPITEMIDLIST Root;
        ~TRootEnd() { ILFree(Root); }
    } rootEnd{root};

    char displayName[MAX_PATH] = {};
    BROWSEINFOA info;
    info.hwndOwner = Application->Handle();
    info.pidlRoot = root;
    info.pszDisplayName = displayName;
    info.lpszTitle = DialogText.empty() ? nullptr : DialogText.c_str();
    info.ulFlags = BIF_RETURNONLYFSDIRS | BIF_RETURNFSANCESTORS;
    info.lpfn = [this](HWND window, UINT message, LPARAM lParam, LPARAM) { return Callback(window, message, lParam); };
    LPITEMIDLIST chosen;
    {
        FileUtilTaskWindows disabled;
        struct TForget {
            HWND& Handle;
            ~TForget() { Handle = nullptr; }
        } forget{FHandle};
        chosen = SHBrowseForFolderA(&info);
    }
    if (!chosen)
        return false;
    struct TChosenEnd {
        LPITEMIDLIST Item;
        ~TChosenEnd() { ILFree(Item); }
    } chosenEnd{chosen};
    char path[MAX_PATH] = {};
    if (!SHGetPathFromIDListA(chosen, path))
        RaiseWin32Error(GetLastError() ? GetLastError() : ERROR_PATH_NOT_FOUND);
    FDisplayName = displayName;
    FolderName = RemoveBackSlash(path);
    FSelectionPath = FolderName;
    FImageIndex = info.iImage;
    return true;
}

int TBrowseFolderDlg::Callback(HWND window, UINT message, LPARAM lParam)
{
    if (message == BFFM_INITIALIZED)
        Initialized(window);
    else if (message == BFFM_SELCHANGED)
        SelectionChanged(window, lParam);
    return 0;
}

void TBrowseFolderDlg::Initialized(HWND window)
{
    FHandle = window;
    FDefWndProc = GetWindowProc(window);
    SetWindowLongPtr(window, GWL_WNDPROC, FObjectInstance);
    if (DirExists(FolderName))
        SendMessageA(window, BFFM_SETSELECTION, TRUE, reinterpret_cast<LPARAM>(FolderName.c_str()));
    // The dialog has no button row to put a help button in; HelpContext still answers its command.
    if (OnInitialized)
        OnInitialized(this);
}

void TBrowseFolderDlg::SelectionChanged(HWND window, LPARAM itemList)
{
    FHandle = window;
    char path[MAX_PATH] = {};
    if (itemList && SHGetPathFromIDListA(reinterpret_cast<LPCITEMIDLIST>(itemList), path)) {
        FSelectionPath = path;
        SendMessageA(window, BFFM_ENABLEOK, 0, DirExists(FSelectionPath) ? 1 : 0);
    } else {
        FSelectionPath.clear();
        SendMessageA(window, BFFM_ENABLEOK, 0, 0);
    }
    if (OnSelChanged)
        OnSelChanged(this);
}

void TBrowseFolderDlg::DialogWndProc(TMessage& Message)
{
    if (Message.Msg == WM_COMMAND && LOWORD(Message.WParam) == 0xFFFF && HIWORD(Message.WParam) == 0 &&
        HelpContext != 0) {
        Application->HelpContext(HelpContext);
        return;
    }
    if (FHandle && FDefWndProc)
        Message.Result = CallWindowProcA(FDefWndProc, FHandle, Message.Msg, Message.WParam, Message.LParam);
    if (Message.Msg == WM_NCDESTROY)
        FHandle = nullptr;
}

// --- TExFileOperator ---

TExFileOperator::TExFileOperator(TComponent* AOwner) : TComponent(AOwner) { FileUtilRegisterProperties(); }

bool TExFileOperator::Execute()
{
    static const UINT operations[] = {FO_COPY, FO_DELETE, FO_MOVE, FO_RENAME};
    static const FILEOP_FLAGS flags[] = {FOF_ALLOWUNDO,         FOF_CONFIRMMOUSE,   FOF_FILESONLY,     FOF_MULTIDESTFILES,
                                         FOF_NOCONFIRMATION,    FOF_NOCONFIRMMKDIR, FOF_RENAMEONCOLLISION,
                                         FOF_SILENT,            FOF_SIMPLEPROGRESS, FOF_NOERRORUI};
    FAborted = false;
    SHFILEOPSTRUCTA operation;
    TCustomForm* mainForm = Application->MainForm();
    operation.hwnd = mainForm && mainForm->HandleAllocated() ? mainForm->Handle() : Application->Handle();
    operation.wFunc = operations[Operation];
    for (int flag = flAllowUndo; flag <= flNoErrorUI; ++flag)
        if (Options.Contains(static_cast<TFileOperFlag>(flag)))
            operation.fFlags |= flags[flag];
    const std::string from = FileUtilNameList(Source);
    const std::string to = FileUtilNameList(Destination);
    operation.pFrom = from.c_str();
    operation.pTo = to.c_str();
    operation.lpszProgressTitle = ProgressTitle.c_str();
    int result;
    {
        FileUtilTaskWindows disabled;
        result = SHFileOperationA(&operation);
    }
    FAborted = operation.fAnyOperationsAborted;
    return result == 0;
}

// --- Dialogs ---

bool BrowseDirectory(std::string& AFolderName, const std::string& DlgText, int AHelpContext)
{
    TBrowseFolderDlg dialog(nullptr);
    dialog.DialogText = DlgText;
    dialog.FolderName = AFolderName;
    dialog.HelpContext = AHelpContext;
    if (!dialog.Execute())
        return false;
    AFolderName = dialog.FolderName;
    return true;
}

bool BrowseComputer(std::string&, const std::string&, int) { return false; }

// --- Folder names ---

std::string NormalDir(const std::string& DirName)
{
    if (DirName.empty())
        return DirName;
    const char last = DirName.back();
    if (last == ':' || FileUtilIsSeparator(last))
        return DirName;
    if (DirName.size() == 1 && std::isalpha(static_cast<unsigned char>(last)))
        return DirName + ":\\";
    const auto separator = DirName.find_last_of("\\/");
    return DirName + (separator != std::string::npos && DirName[separator] == '\\' ? '\\' : '/');
}

std::string RemoveBackSlash(const std::string& DirName)
{
    if (DirName.size() <= 1 || !FileUtilIsSeparator(DirName.back()))
        return DirName;
    const bool driveRoot = DirName.size() == 3 && DirName[1] == ':';
    return driveRoot ? DirName : DirName.substr(0, DirName.size() - 1);
}

bool DirExists(const std::string& Name) { return !Name.empty() && DirectoryExists(Name); }

// --- Copying and moving ---

void CopyFile(const std::string& FileName, const std::string& DestName, TControl* ProgressControl)
{
    CopyFileEx(FileName, DestName, false, false, ProgressControl);
}

void CopyFileEx(const std::string& FileName, const std::string& DestName, bool OverwriteReadOnly, bool ShellDialog,
                TControl* ProgressControl)
{
    if (ShellDialog) {
        FileUtilShellCopyMove(FileName, DestName, OverwriteReadOnly, false);
        return;
    }
    try {
        FileUtilCopy(FileName, DestName, OverwriteReadOnly, ProgressControl);
    } catch (...) {
        FileUtilResetProgressQuietly(ProgressControl);
        throw;
    }
    SetProgressValue(ProgressControl, 0);
}

void MoveFile(const std::string& FileName, const std::string& DestName)
{
    const std::string destination = ExpandFileName(DestName);
    if (MoveFileExA(FileName.c_str(), destination.c_str(), 0))
        return;
    if (!FileExists(FileName))
        return;
    const int attr = FileGetAttr(FileName);
    if (attr >= 0 && (attr & faReadOnly))
        FileSetAttr(FileName, attr & ~faReadOnly);
    CopyFile(FileName, destination, nullptr);
    // The copy must be on the disk before the only other copy of the data goes.
    if (!SyncFileSystemOf(destination))
        RAISE(EWriteError("Stream write error"));
    DeleteFile(FileName);
}

void MoveFileEx(const std::string& FileName, const std::string& DestName, bool ShellDialog)
{
    if (ShellDialog)
        FileUtilShellCopyMove(FileName, DestName, false, true);
    else
        MoveFile(FileName, DestName);
}

// --- Files ---

std::int64_t GetFileSize(const std::string& FileName)
{
    TSearchRec search;
    if (FindFirst(ExpandFileName(FileName), faAnyFile, search) != 0)
        return -1;
    const std::int64_t size = search.Size;
    FindClose(search);
    return size;
}

TDateTime FileDateTime(const std::string& FileName)
{
    const int age = FileAge(FileName);
    return age == -1 ? NullDate : FileDateToDateTime(age);
}

bool HasAttr(const std::string& FileName, int Attr)
{
    const int attr = FileGetAttr(FileName);
    return attr != -1 && (attr & Attr) == Attr;
}

bool DeleteFiles(const std::string& FileMask)
{
    const std::string mask = ExpandFileName(FileMask);
    const std::string folder = ExtractFilePath(mask);
    TSearchRec search;
    if (FindFirst(mask, faAnyFile, search) != 0)
        return false;
    bool result = true;
    do {
        if (search.Name.empty() || search.Name[0] == '.' || (search.Attr & faVolumeID))
            continue;
        const std::string native = ResolvePath(folder + search.Name);
        struct stat info;
        if (lstat(native.c_str(), &info) != 0)
            continue;
        // A link goes as a link, wherever it leads; folders stay.
        if (S_ISLNK(info.st_mode)) {
            result = unlink(native.c_str()) == 0;
            ForgetCachedFolder(native);
        } else if (S_ISDIR(info.st_mode)) {
            continue;
        } else {
            result = DeleteFile(folder + search.Name);
        }
    } while (result && FindNext(search) == 0);
    FindClose(search);
    return result;
}

bool DeleteFilesEx(const std::vector<std::string>& FileMasks)
{
    for (const std::string& mask : FileMasks)
        if (!DeleteFiles(mask))
            return false;
    return true;
}

bool ClearDir(const std::string& Path, bool Delete)
{
    if (!DirExists(Path))
        return false;
    const std::string native = ResolvePath(Path);
    const int folder = open(native.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folder < 0)
        return false;
    bool result = FileUtilClearFolder(folder, Delete);
    close(folder);
    ClearPathCache();
    const bool bareDrive = Path.size() == 2 && Path[1] == ':';
    if (Delete && result && !bareDrive) {
        result = rmdir(native.c_str()) == 0;
        ForgetCachedFolder(native);
    }
    return result;
}

std::string GetTempDir() { return GetTempPath(); }
std::string GetWindowsDir() { return GetWindowsDirectory(); }
std::string GetSystemDir() { return GetSystemDirectory(); }

bool ValidFileName(const std::string& FileName)
{
    return !FileName.empty() && FileName.find_first_of("<>\"[]|") == std::string::npos;
}

int FileLock(int Handle, std::int64_t Offset, std::int64_t LockSize)
{
    const auto offset = static_cast<std::uint64_t>(Offset);
    const auto size = static_cast<std::uint64_t>(LockSize);
    if (LockFile(Handle, static_cast<DWORD>(offset), static_cast<DWORD>(offset >> 32), static_cast<DWORD>(size),
                 static_cast<DWORD>(size >> 32)))
        return 0;
    return static_cast<int>(GetLastError());
}

int FileUnlock(int Handle, std::int64_t Offset, std::int64_t LockSize)
{
    const auto offset = static_cast<std::uint64_t>(Offset);
    const auto size = static_cast<std::uint64_t>(LockSize);
    if (UnlockFile(Handle, static_cast<DWORD>(offset), static_cast<DWORD>(offset >> 32), static_cast<DWORD>(size),
                   static_cast<DWORD>(size >> 32)))
        return 0;
    return static_cast<int>(GetLastError());
}

// --- Long and short names ---

std::string ShortToLongFileName(const std::string& ShortName)
{
    const std::string name = GetLongPathName(ShortName);
    return name.empty() ? std::string() : ExtractFileName(name);
}

std::string LongToShortFileName(const std::string& LongName)
{
    const std::string name = GetShortPathName(LongName);
    return name.empty() ? std::string() : ExtractFileName(name);
}

std::string ShortToLongPath(const std::string& ShortName)
{
    return FileUtilConvertPath(ShortName, ShortToLongFileName);
}

std::string LongToShortPath(const std::string& LongName)
{
    return FileUtilConvertPath(LongName, LongToShortFileName);
}

// --- Shell links ---

void CreateFileLink(const std::string& FileName, const std::string& DisplayName, int Folder)
{
    const std::string linkName = FileUtilLinkName(DisplayName, Folder);
    TShellLink link;
    link.SetPath(FileName);
    link.SetIconLocation(FileName, 0);
    if (link.Save(linkName) != S_OK)
        RAISE(EFCreateError(Format("Cannot create file %s", {linkName})));
}

void DeleteFileLink(const std::string& DisplayName, int Folder)
{
    DeleteFile(FileUtilLinkName(DisplayName, Folder));
}
