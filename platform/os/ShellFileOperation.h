#pragma once
// The shell's file operation: copy, move, rename and delete of files and folders, with the
// confirmations and progress of the visual layer when it installed them.

#include "platform/os/WinBase.h"

#include <functional>
#include <memory>
#include <string>

constexpr UINT FO_MOVE = 0x1;
constexpr UINT FO_COPY = 0x2;
constexpr UINT FO_DELETE = 0x3;
constexpr UINT FO_RENAME = 0x4;

using FILEOP_FLAGS = WORD;
constexpr FILEOP_FLAGS FOF_MULTIDESTFILES = 0x1;
constexpr FILEOP_FLAGS FOF_CONFIRMMOUSE = 0x2;
constexpr FILEOP_FLAGS FOF_SILENT = 0x4;
constexpr FILEOP_FLAGS FOF_RENAMEONCOLLISION = 0x8;
constexpr FILEOP_FLAGS FOF_NOCONFIRMATION = 0x10;
constexpr FILEOP_FLAGS FOF_WANTMAPPINGHANDLE = 0x20;
constexpr FILEOP_FLAGS FOF_ALLOWUNDO = 0x40;
constexpr FILEOP_FLAGS FOF_FILESONLY = 0x80;
constexpr FILEOP_FLAGS FOF_SIMPLEPROGRESS = 0x100;
constexpr FILEOP_FLAGS FOF_NOCONFIRMMKDIR = 0x200;
constexpr FILEOP_FLAGS FOF_NOERRORUI = 0x400;

// Copying or moving a file onto itself, or a folder into itself.
constexpr int DE_SAMEFILE = 0x71;
constexpr int DE_DESTSUBTREE = 0x76;

struct SHFILEOPSTRUCTA {
    HWND hwnd = nullptr;
    UINT wFunc = 0;
    const char* pFrom = nullptr; // names separated by zeros, ending with two zeros
    const char* pTo = nullptr;
    FILEOP_FLAGS fFlags = 0;
    BOOL fAnyOperationsAborted = FALSE;
    void* hNameMappings = nullptr;
    const char* lpszProgressTitle = nullptr;
};

// 0 on success, 1223 when the user cancelled, 87 for an empty source list, otherwise the code
// of the first failure. No symbolic link is followed: links are copied or removed as links.
int SHFileOperationA(SHFILEOPSTRUCTA* operation);

// What the visual layer shows during an operation. Each part may be left empty.
struct TFileOperationUi {
    // Replace an existing target? IDYES, IDNO (skip it) or IDCANCEL.
    std::function<int(const std::string& target)> ConfirmReplace;
    // Create a missing destination folder? IDYES, IDNO or IDCANCEL.
    std::function<int(const std::string& folder)> ConfirmCreateFolder;
    // Before each item; false cancels the operation.
    std::function<bool(const std::string& item, int done, int total)> Progress;
};
// Without a UI nothing is asked and no progress is shown.
void SetFileOperationUi(std::shared_ptr<TFileOperationUi> ui);
