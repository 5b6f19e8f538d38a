#pragma once
// File information as the shell gives it: display names, type names, attributes and icons from
// the system image list, a process-wide list of freedesktop icon names.

#include "platform/os/WinBase.h"

#include <cstdint>
#include <functional>
#include <string>

using DWORD_PTR = std::uintptr_t;

struct SHFILEINFOA {
    HICON hIcon = nullptr;
    int iIcon = 0;
    DWORD dwAttributes = 0;
    char szDisplayName[MAX_PATH] = {};
    char szTypeName[80] = {};
};

constexpr UINT SHGFI_LARGEICON = 0x0;
constexpr UINT SHGFI_SMALLICON = 0x1;
constexpr UINT SHGFI_OPENICON = 0x2;
constexpr UINT SHGFI_SHELLICONSIZE = 0x4;
constexpr UINT SHGFI_PIDL = 0x8;
constexpr UINT SHGFI_USEFILEATTRIBUTES = 0x10;
constexpr UINT SHGFI_ICON = 0x100;
constexpr UINT SHGFI_DISPLAYNAME = 0x200;
constexpr UINT SHGFI_TYPENAME = 0x400;
constexpr UINT SHGFI_ATTRIBUTES = 0x800;
constexpr UINT SHGFI_ICONLOCATION = 0x1000;
constexpr UINT SHGFI_EXETYPE = 0x2000;
constexpr UINT SHGFI_SYSICONINDEX = 0x4000;

constexpr DWORD SFGAO_LINK = 0x00010000;
constexpr DWORD SFGAO_READONLY = 0x00040000;
constexpr DWORD SFGAO_HIDDEN = 0x00080000;
constexpr DWORD SFGAO_FOLDER = 0x20000000;
constexpr DWORD SFGAO_FILESYSTEM = 0x40000000;

// The handles of the system image list that SHGFI_SYSICONINDEX returns.
constexpr DWORD_PTR SystemImageListLarge = 1;
constexpr DWORD_PTR SystemImageListSmall = 2;

// path is a file name, or an item list with SHGFI_PIDL. With SHGFI_USEFILEATTRIBUTES only the name
// and fileAttributes are used and the disk is not touched. Returns the image list handle with
// SHGFI_SYSICONINDEX, otherwise non-zero on success; 0 for a missing file.
DWORD_PTR SHGetFileInfoA(const char* path, DWORD fileAttributes, SHFILEINFOA* info, UINT infoSize, UINT flags);

// The freedesktop icon name of an index of the system image list ("" when unknown).
std::string SystemImageListIconName(int index);
// The number of icons the list holds so far.
int SystemImageListCount();

// Turns an icon name into an icon of the visual layer (small or large); installed by that layer.
using TShellIconFactory = std::function<HICON(const std::string& iconName, bool small)>;
TShellIconFactory SetShellIconFactory(TShellIconFactory factory);

// The Italian description of a MIME type from the shared MIME database ("" when unknown).
std::string MimeTypeComment(const std::string& mimeType);
