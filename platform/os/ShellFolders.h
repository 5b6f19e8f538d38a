#pragma once
// The shell's special folders, taken from the XDG folders of the user.

#include "platform/os/WinBase.h"

#include <cstddef>
#include <string>

constexpr int CSIDL_DESKTOP = 0x00;
constexpr int CSIDL_PROGRAMS = 0x02;
constexpr int CSIDL_CONTROLS = 0x03;
constexpr int CSIDL_PRINTERS = 0x04;
constexpr int CSIDL_PERSONAL = 0x05;
constexpr int CSIDL_FAVORITES = 0x06;
constexpr int CSIDL_STARTUP = 0x07;
constexpr int CSIDL_RECENT = 0x08;
constexpr int CSIDL_SENDTO = 0x09;
constexpr int CSIDL_BITBUCKET = 0x0A;
constexpr int CSIDL_STARTMENU = 0x0B;
constexpr int CSIDL_MYMUSIC = 0x0D;
constexpr int CSIDL_MYVIDEO = 0x0E;
constexpr int CSIDL_DESKTOPDIRECTORY = 0x10;
constexpr int CSIDL_DRIVES = 0x11;
constexpr int CSIDL_NETWORK = 0x12;
constexpr int CSIDL_FONTS = 0x14;
constexpr int CSIDL_TEMPLATES = 0x15;
constexpr int CSIDL_APPDATA = 0x1A;
constexpr int CSIDL_LOCAL_APPDATA = 0x1C;
constexpr int CSIDL_INTERNET_CACHE = 0x20;
constexpr int CSIDL_COMMON_APPDATA = 0x23;
constexpr int CSIDL_WINDOWS = 0x24;
constexpr int CSIDL_SYSTEM = 0x25;
constexpr int CSIDL_PROGRAM_FILES = 0x26;
constexpr int CSIDL_MYPICTURES = 0x27;
constexpr int CSIDL_PROFILE = 0x28;
constexpr int CSIDL_FLAG_CREATE = 0x8000;

constexpr DWORD SHGFP_TYPE_CURRENT = 0;

// An item list names a special folder; virtual folders (control panel, printers, recycle bin,
// computer, network) have one but no path. Free it with ILFree or CoTaskMemFree.
struct ITEMIDLIST {
    int Folder = 0;
    bool Virtual = false;
    std::string Path; // program text, without a final separator
};

HRESULT SHGetSpecialFolderLocation(HWND owner, int folder, LPITEMIDLIST* list);
// The item list of an existing file or folder (program text, either separator); nullptr when the path
// is empty or names nothing, as the shell cannot parse it then.
LPITEMIDLIST ILCreateFromPathA(const char* path);
// path receives at most MAX_PATH bytes; FALSE for a virtual folder or a longer path.
BOOL SHGetPathFromIDListA(LPCITEMIDLIST list, char* path);
BOOL SHGetSpecialFolderPathA(HWND owner, char* path, int folder, BOOL create);
HRESULT SHGetFolderPathA(HWND owner, int folder, HANDLE token, DWORD flags, char* path);
void ILFree(LPITEMIDLIST list);
void CoTaskMemFree(void* block);

// The shell's task allocator: Free releases item lists and the blocks of Alloc, as CoTaskMemFree.
class IMalloc {
public:
    virtual void* Alloc(std::size_t size) = 0;
    virtual void* Realloc(void* block, std::size_t size) = 0;
    virtual void Free(void* block) = 0;
    virtual ULONG AddRef() = 0;
    virtual ULONG Release() = 0;

protected:
    ~IMalloc() = default;
};
using LPMALLOC = IMalloc*;

// The one allocator of the process; E_INVALIDARG for a null pointer.
HRESULT SHGetMalloc(LPMALLOC* allocator);

// The same without the MAX_PATH limit. CSIDL_FLAG_CREATE in folder creates the folder.
// S_OK, E_FAIL (virtual folders, favourites, recent, send to) or E_INVALIDARG (unknown number).
HRESULT GetSpecialFolderPath(int folder, std::string& path);
bool PathFromIDList(LPCITEMIDLIST list, std::string& path);
