#include "platform/os/ShellFolders.h"

#include "platform/os/OsPaths.h"
#include "platform/os/SystemInfo.h"
#include "platform/rtl/Files.h"
#include "platform/rtl/System.h"

#include <QStandardPaths>

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <memory>
#include <mutex>
#include <set>

namespace {

std::mutex listMutex;
std::set<const ITEMIDLIST*> liveLists;

std::string Writable(QStandardPaths::StandardLocation location)
{
    return QStandardPaths::writableLocation(location).toStdString();
}

std::string WithoutFinalSlash(std::string path)
{
    while (path.size() > 1 && path.back() == '/')
        path.pop_back();
    return path;
}

// XDG_TEMPLATES_DIR from user-dirs.dirs; Qt has no location for it.
std::string TemplatesFolder()
{
    std::ifstream in(ConfigHomeFolder() + "/user-dirs.dirs");
    std::string line;
    while (std::getline(in, line)) {
        const std::string key = "XDG_TEMPLATES_DIR=";
        if (line.compare(0, key.size(), key) != 0)
            continue;
        std::string value = line.substr(key.size());
        if (value.size() >= 2 && value.front() == '"' && value.back() == '"')
            value = value.substr(1, value.size() - 2);
        if (value.compare(0, 5, "$HOME") == 0)
            value = HomeFolder() + value.substr(5);
        if (!value.empty() && value[0] == '/')
            return value;
    }
    return HomeFolder() + "/Templates";
}

std::string FirstConfigDir()
{
    const char* dirs = std::getenv("XDG_CONFIG_DIRS");
    if (dirs != nullptr && dirs[0] != '\0') {
        const std::string list = dirs;
        return list.substr(0, list.find(':'));
    }
    return "/etc/xdg";
}

bool IsVirtual(int folder)
{
    return folder == CSIDL_CONTROLS || folder == CSIDL_PRINTERS || folder == CSIDL_BITBUCKET ||
           folder == CSIDL_DRIVES || folder == CSIDL_NETWORK;
}

// The folder's system path (UTF-8); false when it has none.
bool NativeFolder(int folder, std::string& path)
{
    switch (folder) {
    case CSIDL_DESKTOP:
    case CSIDL_DESKTOPDIRECTORY:
        path = Writable(QStandardPaths::DesktopLocation);
        return true;
    case CSIDL_PROGRAMS:
    case CSIDL_STARTMENU:
        path = DataHomeFolder() + "/applications";
        return true;
    case CSIDL_PERSONAL:
        path = Writable(QStandardPaths::DocumentsLocation);
        return true;
    case CSIDL_STARTUP:
        path = ConfigHomeFolder() + "/autostart";
        return true;
    case CSIDL_MYMUSIC:
        path = Writable(QStandardPaths::MusicLocation);
        return true;
    case CSIDL_MYVIDEO:
        path = Writable(QStandardPaths::MoviesLocation);
        return true;
    case CSIDL_MYPICTURES:
        path = Writable(QStandardPaths::PicturesLocation);
        return true;
    case CSIDL_FONTS:
        path = Writable(QStandardPaths::FontsLocation);
        return true;
    case CSIDL_TEMPLATES:
        path = TemplatesFolder();
        return true;
    case CSIDL_APPDATA:
        path = ConfigHomeFolder();
        return true;
    case CSIDL_LOCAL_APPDATA:
        path = DataHomeFolder();
        return true;
    case CSIDL_INTERNET_CACHE:
        path = CacheHomeFolder();
        return true;
    case CSIDL_COMMON_APPDATA:
        path = FirstConfigDir();
        return true;
    case CSIDL_WINDOWS:
        path = NativePath(GetWindowsDirectory());
        return true;
    case CSIDL_SYSTEM:
        path = NativePath(GetSystemDirectory());
        return true;
    case CSIDL_PROGRAM_FILES:
        path = NativePath(ExtractFileDir(ExtractFileDir(ExpandFileName(ParamStr(0)))));
        return true;
    case CSIDL_PROFILE:
        path = HomeFolder();
        return true;
    default:
        return false;
    }
}

bool IsKnownWithoutPath(int folder)
{
    return folder == CSIDL_FAVORITES || folder == CSIDL_RECENT || folder == CSIDL_SENDTO;
}

BOOL CopyPath(const std::string& path, char* buffer)
{
    if (buffer == nullptr || path.size() + 1 > MAX_PATH)
        return FALSE;
    std::memcpy(buffer, path.c_str(), path.size() + 1);
    return TRUE;
}

} // namespace

HRESULT GetSpecialFolderPath(int folder, std::string& path)
{
    const bool create = (folder & CSIDL_FLAG_CREATE) != 0;
    const int number = folder & 0xFF;
    if ((folder & ~(0xFF | CSIDL_FLAG_CREATE)) != 0)
        return E_INVALIDARG;
    std::string native;
    if (!NativeFolder(number, native))
        return IsVirtual(number) || IsKnownWithoutPath(number) ? E_FAIL : E_INVALIDARG;
    native = WithoutFinalSlash(native);
    if (create && !MakeFolders(native))
        return E_FAIL;
    path = AnsiFromNative(native);
    return S_OK;
}

HRESULT SHGetSpecialFolderLocation(HWND, int folder, LPITEMIDLIST* list)
{
    if (list == nullptr)
        return E_INVALIDARG;
    *list = nullptr;
    auto item = std::make_unique<ITEMIDLIST>();
    item->Folder = folder & 0xFF;
    if (IsVirtual(item->Folder)) {
        item->Virtual = true;
    } else {
        const HRESULT result = GetSpecialFolderPath(folder, item->Path);
        if (result != S_OK)
            return result;
    }
    std::lock_guard<std::mutex> lock(listMutex);
    liveLists.insert(item.get());
    *list = item.release();
    return S_OK;
}

LPITEMIDLIST ILCreateFromPathA(const char* path)
{
    if (path == nullptr || *path == 0)
        return nullptr;
    std::string text = path;
    if (!DirectoryExists(text) && !FileExists(text))
        return nullptr;
    while (text.size() > 1 && (text.back() == '/' || text.back() == '\\'))
        text.pop_back();
    auto item = std::make_unique<ITEMIDLIST>();
    item->Folder = -1;
    item->Path = text;
    std::lock_guard<std::mutex> lock(listMutex);
    liveLists.insert(item.get());
    return item.release();
}

bool PathFromIDList(LPCITEMIDLIST list, std::string& path)
{
    if (list == nullptr || list->Virtual)
        return false;
    path = list->Path;
    return true;
}

BOOL SHGetPathFromIDListA(LPCITEMIDLIST list, char* path)
{
    std::string text;
    return PathFromIDList(list, text) ? CopyPath(text, path) : FALSE;
}

BOOL SHGetSpecialFolderPathA(HWND, char* path, int folder, BOOL create)
{
    std::string text;
    if (GetSpecialFolderPath(folder | (create ? CSIDL_FLAG_CREATE : 0), text) != S_OK)
        return FALSE;
    return CopyPath(text, path);
}

HRESULT SHGetFolderPathA(HWND, int folder, HANDLE, DWORD, char* path)
{
    std::string text;
    const HRESULT result = GetSpecialFolderPath(folder, text);
    if (result != S_OK)
        return result;
    return CopyPath(text, path) ? S_OK : E_FAIL;
}

void ILFree(LPITEMIDLIST list)
{
    CoTaskMemFree(list);
}

void CoTaskMemFree(void* block)
{
    if (block == nullptr)
        return;
    {
        std::lock_guard<std::mutex> lock(listMutex);
        const auto found = liveLists.find(static_cast<const ITEMIDLIST*>(block));
        if (found != liveLists.end()) {
            liveLists.erase(found);
            delete static_cast<ITEMIDLIST*>(block);
            return;
        }
    }
    std::free(block);
}

namespace {

class TTaskAllocator : public IMalloc {
public:
    void* Alloc(std::size_t size) override { return std::malloc(size == 0 ? 1 : size); }
    void* Realloc(void* block, std::size_t size) override { return std::realloc(block, size == 0 ? 1 : size); }
    void Free(void* block) override { CoTaskMemFree(block); }
    // The allocator lives as long as the process; the count is kept for callers that check it.
    ULONG AddRef() override { return ++FCount; }
    ULONG Release() override { return FCount > 1 ? --FCount : 1; }

private:
    std::atomic<ULONG> FCount{1};
};

} // namespace

HRESULT SHGetMalloc(LPMALLOC* allocator)
{
    if (allocator == nullptr)
        return E_INVALIDARG;
    static TTaskAllocator taskAllocator;
    taskAllocator.AddRef();
    *allocator = &taskAllocator;
    return S_OK;
}
