#include "platform/os/Shell.h"

#include "platform/os/private/OsSupport.h"

#include "platform/os/OsPaths.h"
#include "platform/os/Processes.h"
#include "platform/rtl/Codepage.h"
#include "platform/rtl/Files.h"
#include "platform/rtl/SysErrors.h"
#include "platform/rtl/TextUtils.h"

#include <cctype>
#include <cerrno>
#include <fcntl.h>
#include <mutex>
#include <sys/stat.h>
#include <unistd.h>

namespace {

DWORD OpenWithXdgOpen(const std::string& target)
{
    DWORD error = 0;
    const std::string program = FindProgramFile("xdg-open", error);
    if (program.empty())
        return ERROR_NO_ASSOCIATION;
    // Started detached: its handle goes to the background reaper at once.
    return StartNativeProgram(program, {target}, "", nullptr) == 0 ? 0 : ERROR_NO_ASSOCIATION;
}

std::mutex openerMutex;
TDesktopOpener& Opener()
{
    static TDesktopOpener opener = OpenWithXdgOpen;
    return opener;
}

int ShellCodeFor(DWORD error)
{
    switch (error) {
    case ERROR_FILE_NOT_FOUND:
        return SE_ERR_FNF;
    case ERROR_PATH_NOT_FOUND:
    case ERROR_DIRECTORY:
        return SE_ERR_PNF;
    case ERROR_ACCESS_DENIED:
        return SE_ERR_ACCESSDENIED;
    case ERROR_NOT_ENOUGH_MEMORY:
        return 0;
    case ERROR_BAD_EXE_FORMAT:
        return SE_ERR_BAD_FORMAT;
    default:
        return SE_ERR_NOASSOC;
    }
}

// "mailto:", "http:", "file:": two or more letters (then letters, digits, "+", "-", ".") before ":".
bool HasScheme(const std::string& text)
{
    const auto colon = text.find(':');
    if (colon == std::string::npos || colon < 2)
        return false;
    if (!std::isalpha(static_cast<unsigned char>(text[0])))
        return false;
    for (size_t i = 1; i < colon; ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (!std::isalnum(c) && c != '+' && c != '-' && c != '.')
            return false;
    }
    return true;
}

// An ELF binary or a "#!" script.
bool LooksRunnable(const std::string& native)
{
    const int fd = open(native.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    unsigned char head[4] = {};
    const ssize_t got = read(fd, head, 4);
    close(fd);
    return (got == 4 && head[0] == 0x7F && head[1] == 'E' && head[2] == 'L' && head[3] == 'F') ||
           (got >= 2 && head[0] == '#' && head[1] == '!');
}

bool StartsWith4C(const std::string& native)
{
    const int fd = open(native.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    unsigned char head[4] = {};
    const bool windowsLink = read(fd, head, 4) == 4 && head[0] == 0x4C && head[1] == 0 && head[2] == 0 && head[3] == 0;
    close(fd);
    return windowsLink;
}

bool IsAbsolute(const std::string& path)
{
    return !path.empty() && (path[0] == '/' || path[0] == '\\');
}

struct TResult {
    DWORD Error = 0;
    HANDLE Process = nullptr;
};


// Starts a program file with the parameters split by the Windows rules.
TResult StartProgramFile(const std::string& program, const char* parametersText, const std::string& directory,
                         bool wantProcess)
{
    std::vector<std::string> argumentsUtf8;
    if (parametersText != nullptr) {
        std::vector<std::string> arguments = SplitWindowsCommandLine(std::string("x ") + parametersText);
        for (size_t i = 1; i < arguments.size(); ++i)
            argumentsUtf8.push_back(AnsiToUtf8(arguments[i]));
    }
    TResult result;
    result.Error = StartNativeProgram(program, argumentsUtf8, directory.empty() ? "" : NativePath(directory),
                                      wantProcess ? &result.Process : nullptr);
    return result;
}

DWORD CallOpener(const std::string& target)
{
    TDesktopOpener opener;
    {
        std::lock_guard<std::mutex> lock(openerMutex);
        opener = Opener();
    }
    return opener ? opener(target) : ERROR_NO_ASSOCIATION;
}

TResult Execute(const char* verbText, const char* fileText, const char* parametersText, const char* directoryText,
                bool wantProcess)
{
    const std::string verb = LowerCase(verbText != nullptr ? verbText : "");
    const std::string file = fileText != nullptr ? fileText : "";
    const std::string directory = directoryText != nullptr ? directoryText : "";
    if (verb != "" && verb != "open" && verb != "explore")
        return {ERROR_NO_ASSOCIATION};
    if (file.empty())
        return {ERROR_FILE_NOT_FOUND};
    if (HasScheme(file)) {
        if (verb == "explore")
            return {ERROR_NO_ASSOCIATION};
        return {CallOpener(AnsiToUtf8(file))};
    }

    std::string path = file;
    if (!IsAbsolute(path)) {
        const std::string besideDirectory = directory.empty() ? "" : IncludeTrailingPathDelimiter(directory) + path;
        struct stat info {};
        if (!besideDirectory.empty() && stat(NativePath(besideDirectory).c_str(), &info) == 0)
            path = besideDirectory;
        else
            path = ExpandFileName(path);
    }
    std::string native = NativePath(path);
    struct stat info {};
    if (stat(native.c_str(), &info) != 0) {
        // "Help\Guidello.exe" stands for the program "Help/Guidello".
        if (OsSupport::HasWindowsProgramExtension(path)) {
            const std::string twin = NativePath(path.substr(0, path.size() - 4));
            if (stat(twin.c_str(), &info) == 0 && S_ISREG(info.st_mode))
                return StartProgramFile(twin, parametersText, directory, wantProcess);
        }
        // A bare program name ("sh", "notepad") is looked for on the search path, as Windows does.
        if (file.find_first_of("/\\") == std::string::npos) {
            DWORD searchError = 0;
            const std::string program = FindProgramFile(file, searchError);
            if (!program.empty())
                return StartProgramFile(program, parametersText, directory, wantProcess);
        }
        return {SetLastErrorFromErrno(errno, native) == ERROR_PATH_NOT_FOUND ? ERROR_PATH_NOT_FOUND
                                                                            : ERROR_FILE_NOT_FOUND};
    }
    if (S_ISDIR(info.st_mode))
        return {CallOpener(native)};
    if (verb == "explore")
        return {ERROR_NO_ASSOCIATION};

    // One level of shortcut is followed.
    if (IsShellLinkFile(native)) {
        std::string target;
        if (!ResolveShellLink(path, target))
            return {ERROR_FILE_NOT_FOUND};
        native = NativePath(target);
        if (stat(native.c_str(), &info) != 0)
            return {SetLastErrorFromErrno(errno, native) == ERROR_PATH_NOT_FOUND ? ERROR_PATH_NOT_FOUND
                                                                                 : ERROR_FILE_NOT_FOUND};
        if (S_ISDIR(info.st_mode))
            return {CallOpener(native)};
    } else if (StartsWith4C(native)) {
        return {ERROR_FILE_NOT_FOUND}; // a Windows shortcut: its target is a Windows path
    }

    // FAT keys and shares mark every file executable: only a real program or script is run.
    const bool executable = S_ISREG(info.st_mode) && (info.st_mode & (S_IXUSR | S_IXGRP | S_IXOTH)) != 0 &&
                            LooksRunnable(native);
    if (executable || (OsSupport::HasWindowsProgramExtension(AnsiFromNative(native)) && StartsWithMZ(native)))
        return StartProgramFile(native, parametersText, directory, wantProcess);
    return {CallOpener(native)};
}

} // namespace

TDesktopOpener SetDesktopOpener(TDesktopOpener opener)
{
    std::lock_guard<std::mutex> lock(openerMutex);
    TDesktopOpener previous = std::move(Opener());
    Opener() = std::move(opener);
    return previous;
}

HINSTANCE ShellExecuteA(HWND, const char* verb, const char* file, const char* parameters, const char* directory, int)
{
    const TResult result = Execute(verb, file, parameters, directory, false);
    if (result.Error != 0) {
        SetLastError(result.Error);
        return reinterpret_cast<HINSTANCE>(static_cast<std::uintptr_t>(ShellCodeFor(result.Error)));
    }
    return reinterpret_cast<HINSTANCE>(static_cast<std::uintptr_t>(42));
}

BOOL ShellExecuteExA(SHELLEXECUTEINFOA* info)
{
    if (info == nullptr || info->cbSize != sizeof(SHELLEXECUTEINFOA)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    const bool wantProcess = (info->fMask & SEE_MASK_NOCLOSEPROCESS) != 0;
    const TResult result = Execute(info->lpVerb, info->lpFile, info->lpParameters, info->lpDirectory, wantProcess);
    info->hProcess = wantProcess ? result.Process : nullptr;
    if (result.Error != 0) {
        SetLastError(result.Error);
        info->hInstApp = reinterpret_cast<HINSTANCE>(static_cast<std::uintptr_t>(ShellCodeFor(result.Error)));
        return FALSE;
    }
    info->hInstApp = reinterpret_cast<HINSTANCE>(static_cast<std::uintptr_t>(42));
    return TRUE;
}

HRESULT CoInitialize(void*)
{
    thread_local bool initialised = false;
    if (initialised)
        return S_FALSE;
    initialised = true;
    return S_OK;
}

void CoUninitialize() {}
