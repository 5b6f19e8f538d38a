#include "platform/os/Libraries.h"

#include "platform/os/FileApi.h"
#include "platform/os/OsPaths.h"
#include "platform/os/SystemInfo.h"
#include "platform/rtl/Codepage.h"
#include "platform/os/Volumes.h"
#include "platform/rtl/Files.h"
#include "platform/rtl/SysErrors.h"
#include "platform/rtl/System.h"
#include "platform/rtl/TextUtils.h"

#include <cerrno>
#include <cstring>
#include <dlfcn.h>
#include <elf.h>
#include <fcntl.h>
#include <link.h>
#include <memory>
#include <mutex>
#include <vector>
#include <sys/stat.h>
#include <unistd.h>

namespace {

struct TModule {
    std::string Name;     // registered name, or the loaded file's path
    void* Handle = nullptr; // dlopen handle; null for a registered module
    int References = 0;
    std::map<std::string, FARPROC> Functions;
    bool System = false;
};

std::recursive_mutex moduleMutex;
std::map<std::string, std::unique_ptr<TModule>> systemModules; // upper-case name without ".dll"
std::map<std::string, std::unique_ptr<TModule>> loadedModules; // native path
// Unregistered modules stay allocated, so that a handle taken before never comes to name a
// module registered later at the same address.
std::vector<std::unique_ptr<TModule>> retiredModules;

std::string BaseModuleName(const std::string& name)
{
    std::string upper = UpperCase(name);
    if (upper.ends_with(".DLL"))
        upper.resize(upper.size() - 4);
    return upper;
}

template <typename F>
FARPROC AsFarProc(F* function)
{
    return reinterpret_cast<FARPROC>(function);
}

void RegisterBuiltInModules()
{
    static std::once_flag done;
    std::call_once(done, [] {
        RegisterSystemModule("kernel32", {{"GetDiskFreeSpaceA", AsFarProc(&GetDiskFreeSpaceA)},
                                          {"GetDiskFreeSpaceExA", AsFarProc(&GetDiskFreeSpaceExA)}});
        RegisterSystemModule("shell32", {});
        RegisterSystemModule("oleaut32", {});
    });
}

TModule* FindSystemModule(const std::string& name)
{
    const auto found = systemModules.find(BaseModuleName(name));
    return found == systemModules.end() ? nullptr : found->second.get();
}

bool IsElfFile(const std::string& native)
{
    const int fd = open(native.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    unsigned char head[4] = {};
    const bool elf = read(fd, head, 4) == 4 && std::memcmp(head, ELFMAG, SELFMAG) == 0;
    close(fd);
    return elf;
}

bool IsRegularFile(const std::string& native)
{
    struct stat info {};
    return stat(native.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

// "Folder\Name.dll" -> "Folder/libname.so" beside it (program text).
std::string SharedObjectTwin(const std::string& ansiPath)
{
    const std::string folder = ExtractFilePath(ansiPath);
    std::string name = ExtractFileName(ansiPath);
    if (!UpperCase(name).ends_with(".DLL"))
        return "";
    name = LowerCase(name.substr(0, name.size() - 4));
    return folder + "lib" + name + ".so";
}

// The file a library name stands for, or "" when none exists.
std::string LibraryFile(const std::string& ansiPath)
{
    const std::string twin = SharedObjectTwin(ansiPath);
    if (!twin.empty()) {
        const std::string native = NativePath(twin);
        if (IsRegularFile(native))
            return native;
    }
    const std::string native = NativePath(ansiPath);
    return IsRegularFile(native) ? native : "";
}

HMODULE ModuleHandle(TModule* module)
{
    return reinterpret_cast<HMODULE>(module);
}

TModule* ModuleOf(HMODULE handle)
{
    auto* candidate = reinterpret_cast<TModule*>(handle);
    for (const auto& [name, module] : systemModules)
        if (module.get() == candidate)
            return candidate;
    for (const auto& [path, module] : loadedModules)
        if (module.get() == candidate)
            return candidate;
    return nullptr;
}

HMODULE LoadFile(const std::string& native)
{
    const auto found = loadedModules.find(native);
    if (found != loadedModules.end()) {
        ++found->second->References;
        return ModuleHandle(found->second.get());
    }
    // Only real shared objects reach the dynamic loader: anything else is refused up front.
    if (!IsElfFile(native)) {
        SetLastError(ERROR_BAD_EXE_FORMAT);
        return nullptr;
    }
    void* handle = dlopen(native.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (handle == nullptr) {
        SetLastError(ERROR_BAD_EXE_FORMAT);
        return nullptr;
    }
    auto module = std::make_unique<TModule>();
    module->Name = native;
    module->Handle = handle;
    module->References = 1;
    TModule* result = module.get();
    loadedModules[native] = std::move(module);
    return ModuleHandle(result);
}

} // namespace

void RegisterSystemModule(const std::string& name, const std::map<std::string, FARPROC>& functions)
{
    std::lock_guard<std::recursive_mutex> lock(moduleMutex);
    auto& slot = systemModules[BaseModuleName(name)];
    if (!slot) {
        slot = std::make_unique<TModule>();
        slot->Name = name;
        slot->System = true;
    }
    for (const auto& [symbol, function] : functions)
        slot->Functions[symbol] = function;
}

void UnregisterSystemModule(const std::string& name)
{
    std::lock_guard<std::recursive_mutex> lock(moduleMutex);
    const auto found = systemModules.find(BaseModuleName(name));
    if (found == systemModules.end())
        return;
    retiredModules.push_back(std::move(found->second));
    systemModules.erase(found);
}

HMODULE LoadLibraryA(const char* fileName)
{
    RegisterBuiltInModules();
    if (fileName == nullptr || fileName[0] == '\0') {
        SetLastError(ERROR_MOD_NOT_FOUND);
        return nullptr;
    }
    const std::string name = fileName;
    std::lock_guard<std::recursive_mutex> lock(moduleMutex);
    if (name.find_first_of("\\/") == std::string::npos) {
        if (TModule* module = FindSystemModule(name))
            return ModuleHandle(module);
        const std::string self = ParamStr(0);
        if (self.find_first_of("\\/") != std::string::npos) {
            const std::string beside = LibraryFile(ExtractFilePath(self) + name);
            if (!beside.empty())
                return LoadFile(beside);
        }
        // The normal library search, by the shared object's own name.
        const std::string twin = SharedObjectTwin(name);
        const std::string searched = AnsiToUtf8(twin.empty() ? name : twin);
        void* handle = dlopen(searched.c_str(), RTLD_NOW | RTLD_LOCAL | RTLD_NOLOAD);
        if (handle == nullptr)
            handle = dlopen(searched.c_str(), RTLD_NOW | RTLD_LOCAL);
        if (handle == nullptr) {
            SetLastError(ERROR_MOD_NOT_FOUND);
            return nullptr;
        }
        auto module = std::make_unique<TModule>();
        module->Name = searched;
        module->Handle = handle;
        module->References = 1;
        TModule* result = module.get();
        const auto existing = loadedModules.find(searched);
        if (existing != loadedModules.end()) {
            dlclose(handle);
            ++existing->second->References;
            return ModuleHandle(existing->second.get());
        }
        loadedModules[searched] = std::move(module);
        return ModuleHandle(result);
    }
    const std::string file = LibraryFile(name);
    if (file.empty()) {
        SetLastError(ERROR_MOD_NOT_FOUND);
        return nullptr;
    }
    return LoadFile(file);
}

FARPROC GetProcAddress(HMODULE handle, const char* procName)
{
    std::lock_guard<std::recursive_mutex> lock(moduleMutex);
    if (reinterpret_cast<std::uintptr_t>(procName) < 0x10000) {
        SetLastError(ERROR_PROC_NOT_FOUND);
        return nullptr;
    }
    TModule* module = ModuleOf(handle);
    if (module == nullptr && handle != GetModuleHandleA(nullptr)) {
        SetLastError(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    if (module == nullptr || module->System) {
        if (module != nullptr) {
            const auto found = module->Functions.find(procName);
            if (found != module->Functions.end())
                return found->second;
        }
        SetLastError(ERROR_PROC_NOT_FOUND);
        return nullptr;
    }
    void* symbol = dlsym(module->Handle, procName);
    if (symbol == nullptr) {
        SetLastError(ERROR_PROC_NOT_FOUND);
        return nullptr;
    }
    return reinterpret_cast<FARPROC>(symbol);
}

BOOL FreeLibrary(HMODULE handle)
{
    std::lock_guard<std::recursive_mutex> lock(moduleMutex);
    TModule* module = ModuleOf(handle);
    if (module == nullptr) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    if (module->System)
        return TRUE;
    if (--module->References == 0) {
        dlclose(module->Handle);
        loadedModules.erase(module->Name);
    }
    return TRUE;
}

HMODULE GetModuleHandleA(const char* moduleName)
{
    static TModule program;
    if (moduleName == nullptr)
        return ModuleHandle(&program);
    RegisterBuiltInModules();
    std::lock_guard<std::recursive_mutex> lock(moduleMutex);
    if (TModule* module = FindSystemModule(moduleName))
        return ModuleHandle(module);
    const std::string wanted = UpperCase(ExtractFileName(moduleName));
    const std::string twin = UpperCase(ExtractFileName(SharedObjectTwin(moduleName)));
    for (const auto& [path, module] : loadedModules) {
        const std::string loaded = UpperCase(ExtractFileName(AnsiFromNative(path)));
        if (loaded == wanted || (!twin.empty() && loaded == twin))
            return ModuleHandle(module.get());
    }
    SetLastError(ERROR_MOD_NOT_FOUND);
    return nullptr;
}

std::string GetModuleFileName(HMODULE handle)
{
    if (handle == nullptr || handle == GetModuleHandleA(nullptr))
        return ParamStr(0);
    std::lock_guard<std::recursive_mutex> lock(moduleMutex);
    TModule* module = ModuleOf(handle);
    if (module == nullptr) {
        SetLastError(ERROR_INVALID_HANDLE);
        return "";
    }
    return module->System ? GetSystemDirectory() + "/" + LowerCase(module->Name) + ".dll" : AnsiFromNative(module->Name);
}

DWORD GetModuleFileNameA(HMODULE handle, char* fileName, DWORD size)
{
    const std::string path = GetModuleFileName(handle);
    if (path.empty() && handle != nullptr && handle != GetModuleHandleA(nullptr))
        return 0;
    return CopyToBuffer(path, fileName, size);
}

namespace {

struct TSectionSearch {
    std::uintptr_t Base = 0;
    std::uintptr_t Address = 0;
    int Section = 0;
    std::uintptr_t Offset = 0;
    bool Program = false; // the object found is the program itself
};

int VisitObject(dl_phdr_info* info, size_t, void* data)
{
    auto* search = static_cast<TSectionSearch*>(data);
    if (info->dlpi_addr != search->Base) {
        // The main program may be loaded at 0 in the list while dladdr reports its mapped base.
        bool holds = false;
        for (int i = 0; i < info->dlpi_phnum && !holds; ++i) {
            const ElfW(Phdr)& header = info->dlpi_phdr[i];
            const std::uintptr_t start = info->dlpi_addr + header.p_vaddr;
            holds = header.p_type == PT_LOAD && search->Address >= start && search->Address < start + header.p_memsz;
        }
        if (!holds)
            return 0;
    }
    int loadable = 0;
    for (int i = 0; i < info->dlpi_phnum; ++i) {
        const ElfW(Phdr)& header = info->dlpi_phdr[i];
        if (header.p_type != PT_LOAD)
            continue;
        ++loadable;
        const std::uintptr_t start = info->dlpi_addr + header.p_vaddr;
        if (search->Address >= start && search->Address < start + header.p_memsz) {
            search->Section = loadable;
            search->Offset = search->Address - start;
            search->Program = info->dlpi_name == nullptr || info->dlpi_name[0] == '\0';
            return 1;
        }
    }
    return 0;
}

} // namespace

bool FindModuleSection(const void* address, TModuleSection& result)
{
    Dl_info info {};
    if (dladdr(address, &info) == 0)
        return false;
    TSectionSearch search;
    search.Base = reinterpret_cast<std::uintptr_t>(info.dli_fbase);
    search.Address = reinterpret_cast<std::uintptr_t>(address);
    dl_iterate_phdr(VisitObject, &search);
    if (search.Section == 0)
        return false;
    std::string path = info.dli_fname != nullptr ? info.dli_fname : "";
    // The program is named as it was started, possibly relative to a folder since left.
    if (search.Program || path.empty() || path.find('/') == std::string::npos) {
        char self[4096];
        const ssize_t length = readlink("/proc/self/exe", self, sizeof self - 1);
        if (length > 0)
            path.assign(self, static_cast<size_t>(length));
    }
    result.ModulePath = AnsiFromNative(path);
    result.Section = search.Section;
    result.Offset = search.Offset;
    return true;
}

std::string ExceptionErrorMessage(const Exception& e, const void* address)
{
    TModuleSection section;
    std::string module = FindModuleSection(address, section) ? section.ModulePath : GetModuleFileName(nullptr);
    const size_t separator = module.find_last_of("\\/");
    if (separator != std::string::npos)
        module.erase(0, separator + 1);
    std::string text = "Exception " + e.ClassName() + " in module " + module + " at " +
                       IntToHex(static_cast<std::uint64_t>(reinterpret_cast<std::uintptr_t>(address)), 8) + ".\n" +
                       e.Message;
    if (text.back() != '.')
        text += '.';
    return text;
}
