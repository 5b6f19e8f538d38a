#pragma once
// File utilities: the shell's folder dialog and file operations as components, copying and moving
// files with progress, deleting by mask, clearing folders, folder names with their separators,
// long and short names, byte-range locks and shell links.
//
// Copies are written under a temporary name beside the destination and renamed over it only when
// complete, so a failed copy leaves an existing destination as it was; a file is never copied
// onto itself. Clearing and deleting never follow symbolic links: a link is removed as an entry.

#include "platform/gui/Control.h"
#include "platform/rtl/DateTime.h"
#include "platform/rtl/Files.h"

#include <cstdint>
#include <string>
#include <vector>

enum TBrowseKind { bfFolders, bfComputers };
enum TDialogPosition { dpDefault, dpScreenCenter };

// The shell's folder dialog.
class TBrowseFolderDlg : public TComponent {
    TESS_CLASS(TBrowseFolderDlg, TComponent)
public:
    explicit TBrowseFolderDlg(TComponent* AOwner);
    ~TBrowseFolderDlg() override;

    TBrowseKind BrowseKind = bfFolders;
    bool DesktopRoot = true;
    std::string DialogText;
    // The folder offered first and, after Execute, the one chosen (without a final separator).
    std::string FolderName;
    int HelpContext = 0;
    // Centring has no effect: the dialog is placed by the desktop.
    TDialogPosition Position = dpScreenCenter;
    TNotifyEvent OnInitialized;
    TNotifyEvent OnSelChanged;

    // True when a folder was chosen. There is no network neighbourhood to browse: browsing for
    // computers answers false without showing anything.
    virtual bool Execute();
    // The dialog's window while it is open.
    HWND Handle() const { return FHandle; }
    // The selection as the dialog shows it.
    const std::string& SelectionPath() const { return FSelectionPath; }

protected:
    // The dialog's messages: the help button's command and the end of the window; everything else
    // goes to the dialog's own procedure.
    virtual void DialogWndProc(TMessage& Message);

private:
    int Callback(HWND window, UINT message, LPARAM lParam);
    void Initialized(HWND window);
    void SelectionChanged(HWND window, LPARAM itemList);

    WNDPROC FDefWndProc;
    WNDPROC FObjectInstance;
    HWND FHandle = nullptr;
    std::string FDisplayName;
    std::string FSelectionPath;
    int FImageIndex = 0;
};

enum TFileOperation { foCopy, foDelete, foMove, foRename };
enum TFileOperFlag {
    flAllowUndo, flConfirmMouse, flFilesOnly, flMultiDest, flNoConfirmation, flNoConfirmMkDir, flRenameOnCollision,
    flSilent, flSimpleProgress, flNoErrorUI
};
using TFileOperFlags = TSet<TFileOperFlag>;

// One shell file operation on the names of Source and Destination (several separated by ";" or
// "|"), with the confirmations and progress of the visual layer.
class TExFileOperator : public TComponent {
    TESS_CLASS(TExFileOperator, TComponent)
public:
    explicit TExFileOperator(TComponent* AOwner);

    std::string Destination;
    TFileOperation Operation = foCopy;
    TFileOperFlags Options{flAllowUndo, flNoConfirmMkDir};
    std::string ProgressTitle;
    std::string Source;
    // After Execute: whether the user cancelled a part of the operation.
    bool Aborted() const { return FAborted; }

    // True when the shell reported success.
    virtual bool Execute();

private:
    bool FAborted = false;
};

// The folder dialog on Folder (which takes the choice, without a final separator).
bool BrowseDirectory(std::string& AFolderName, const std::string& DlgText, int AHelpContext);
// Always false here: there is no network neighbourhood.
bool BrowseComputer(std::string& ComputerName, const std::string& DlgText, int AHelpContext);

// "" stays ""; a name ending in ":", "\" or "/" is unchanged; a drive letter gets ":\"; any other
// name gets "\" when its last separator is "\" and "/" otherwise.
std::string NormalDir(const std::string& DirName);
// One final "\" or "/" less, except for a drive root ("C:\") and "/".
std::string RemoveBackSlash(const std::string& DirName);
bool DirExists(const std::string& Name);

// Copies with progress in 8192-byte blocks: the control's maximum becomes the size, its value the
// bytes copied after each block and 0 at the end (also after a failure). A destination that is a
// folder receives the source's name. The copy takes the source's modification time.
// Raises EFCreateError "Cannot create file %s" for a copy onto the source itself or onto a
// read-only file (unless OverwriteReadOnly), EFOpenError "Cannot open file %s" for an unreadable
// source, EReadError and EWriteError for failed blocks. With ShellDialog the shell copies, and a
// failure or a cancel raises EAbort.
void CopyFile(const std::string& FileName, const std::string& DestName, TControl* ProgressControl);
void CopyFileEx(const std::string& FileName, const std::string& DestName, bool OverwriteReadOnly, bool ShellDialog,
                TControl* ProgressControl);
// Renames, or else copies and deletes the source.
void MoveFile(const std::string& FileName, const std::string& DestName);
void MoveFileEx(const std::string& FileName, const std::string& DestName, bool ShellDialog);

// -1 when nothing is found (the name may be a mask: the first match counts).
std::int64_t GetFileSize(const std::string& FileName);
// The modification time, NullDate when the file does not exist.
TDateTime FileDateTime(const std::string& FileName);
// The file exists and has every bit of Attr.
bool HasAttr(const std::string& FileName, int Attr);
// Deletes the files matching the mask (not folders); false when nothing matched or a deletion
// failed, which stops it.
bool DeleteFiles(const std::string& FileMask);
// DeleteFiles on each mask while all succeed; true for no masks.
bool DeleteFilesEx(const std::vector<std::string>& FileMasks);
// Deletes what the folder holds (names starting with "." stay), going into its subfolders; with
// Delete the folders themselves go too when all their content went. False for a missing folder or
// when anything could not be removed.
bool ClearDir(const std::string& Path, bool Delete);
// The layer's temporary (with a final "/"), Windows and system folders.
std::string GetTempDir();
std::string GetWindowsDir();
std::string GetSystemDir();
// False for "" and for names holding < > " [ ] or |.
bool ValidFileName(const std::string& FileName);
// Byte-range locks on a handle of FileOpen; 0 on success, otherwise the system's error number.
int FileLock(int Handle, std::int64_t Offset, std::int64_t LockSize);
int FileUnlock(int Handle, std::int64_t Offset, std::int64_t LockSize);
// A name is its own long and short name here: the last element of an existing entry, "" when
// there is none.
std::string ShortToLongFileName(const std::string& ShortName);
std::string LongToShortFileName(const std::string& LongName);
// Each element converted, joined with the separators found.
std::string ShortToLongPath(const std::string& ShortName);
std::string LongToShortPath(const std::string& LongName);
// Writes a link to FileName named DisplayName + ".lnk" into the special folder (a CSIDL_ number).
void CreateFileLink(const std::string& FileName, const std::string& DisplayName, int Folder);
void DeleteFileLink(const std::string& DisplayName, int Folder);
