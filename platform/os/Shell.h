#pragma once
// The Windows shell: opening files, folders, programs and links through the desktop, the
// component library's start-up calls, and (through the headers below) special folders,
// shortcuts, file information and file operations.

#include "platform/os/ShellFileInfo.h"
#include "platform/os/ShellFileOperation.h"
#include "platform/os/ShellFolders.h"
#include "platform/os/ShellLink.h"
#include "platform/os/WinBase.h"

#include <functional>
#include <string>

constexpr int SE_ERR_FNF = 2;
constexpr int SE_ERR_PNF = 3;
constexpr int SE_ERR_ACCESSDENIED = 5;
constexpr int SE_ERR_OOM = 8;
constexpr int SE_ERR_BAD_FORMAT = 11; // ERROR_BAD_FORMAT: a Windows program file
constexpr int SE_ERR_NOASSOC = 31;

constexpr ULONG SEE_MASK_NOCLOSEPROCESS = 0x00000040;
constexpr ULONG SEE_MASK_FLAG_NO_UI = 0x00000400;

struct SHELLEXECUTEINFOA {
    DWORD cbSize = sizeof(SHELLEXECUTEINFOA);
    ULONG fMask = 0;
    HWND hwnd = nullptr;
    const char* lpVerb = nullptr;
    const char* lpFile = nullptr;
    const char* lpParameters = nullptr;
    const char* lpDirectory = nullptr;
    int nShow = SW_SHOWNORMAL;
    HINSTANCE hInstApp = nullptr;
    void* lpIDList = nullptr;
    const char* lpClass = nullptr;
    HKEY hkeyClass = nullptr;
    DWORD dwHotKey = 0;
    HANDLE hIcon = nullptr;
    HANDLE hProcess = nullptr;
};

// Above 32 (42) on success; otherwise 0, 2, 3, 5, 11 or 31, with the matching last error.
// The verb may be null, "", "open", or "explore" for a folder. Texts with a scheme ("mailto:",
// "http:") and files that are not programs go to the desktop opener.
HINSTANCE ShellExecuteA(HWND owner, const char* verb, const char* file, const char* parameters,
                        const char* directory, int showCommand);
// With SEE_MASK_NOCLOSEPROCESS, hProcess receives the handle of a started program.
BOOL ShellExecuteExA(SHELLEXECUTEINFOA* info);

// Opens a target (a URL, or an absolute UTF-8 path) with the desktop's handler: 0 when started,
// otherwise a Windows error number (1155 when there is no handler). The default starts xdg-open.
using TDesktopOpener = std::function<DWORD(const std::string& targetUtf8)>;
TDesktopOpener SetDesktopOpener(TDesktopOpener opener);

// Windows answers CoInitialize so when its component libraries do not match; never here.
constexpr HRESULT OLE_E_WRONGCOMPOBJ = static_cast<HRESULT>(0x8004000Eu);

// S_OK on a thread's first call, S_FALSE after; there is nothing to start or stop.
HRESULT CoInitialize(void* reserved);
void CoUninitialize();
