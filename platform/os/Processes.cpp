#include "platform/os/Processes.h"

#include "platform/os/private/OsSupport.h"

#include "platform/os/OsPaths.h"
#include "platform/rtl/Codepage.h"
#include "platform/rtl/Files.h"
#include "platform/rtl/SysErrors.h"
#include "platform/rtl/System.h"
#include "platform/rtl/TextUtils.h"

#include <QAbstractEventDispatcher>
#include <QCoreApplication>
#include <QEventLoop>
#include <QSocketNotifier>
#include <QTimer>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <map>
#include <memory>
#include <mutex>
#include <poll.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

namespace {

struct TProcess {
    pid_t Pid = 0;
    int PidFd = -1;
    bool Ended = false;
    DWORD ExitCode = STILL_ACTIVE;
    std::mutex ReapMutex;
};

std::mutex tableMutex;
std::map<std::uintptr_t, std::shared_ptr<TProcess>> processes;
std::map<std::uintptr_t, bool> threadHandles;
std::uintptr_t nextProcessHandle = 0x40000;

HANDLE NewHandleValue()
{
    nextProcessHandle += 4;
    return reinterpret_cast<HANDLE>(nextProcessHandle);
}

std::shared_ptr<TProcess> ProcessOf(HANDLE handle)
{
    std::lock_guard<std::mutex> lock(tableMutex);
    const auto found = processes.find(reinterpret_cast<std::uintptr_t>(handle));
    return found == processes.end() ? nullptr : found->second;
}

DWORD StatusToExitCode(int status)
{
    if (WIFEXITED(status))
        return static_cast<DWORD>(WEXITSTATUS(status));
    if (WIFSIGNALED(status))
        return 128 + static_cast<DWORD>(WTERMSIG(status));
    return STILL_ACTIVE;
}

// Collects the child's status if it has ended, without waiting.
bool Reap(TProcess& process)
{
    std::lock_guard<std::mutex> lock(process.ReapMutex);
    if (process.Ended)
        return true;
    int status = 0;
    pid_t result;
    do {
        result = waitpid(process.Pid, &status, WNOHANG);
    } while (result < 0 && errno == EINTR);
    if (result == process.Pid) {
        process.Ended = true;
        process.ExitCode = StatusToExitCode(status);
        if (process.PidFd >= 0) {
            close(process.PidFd);
            process.PidFd = -1;
        }
        return true;
    }
    if (result < 0) {
        // Nobody else reaps our children; treat a lost child as ended.
        process.Ended = true;
        return true;
    }
    return false;
}

// Waits for the end without holding the process's lock, so that others may still ask for its
// exit code meanwhile. The poll has a timeout because another thread may close the descriptor.
void WaitUntilEnded(TProcess& process)
{
    while (!Reap(process)) {
        int pidFd;
        {
            std::lock_guard<std::mutex> lock(process.ReapMutex);
            pidFd = process.PidFd;
        }
        if (pidFd >= 0) {
            pollfd ready{pidFd, POLLIN, 0};
            poll(&ready, 1, 100);
        } else {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
    }
}

int OpenPidFd(pid_t pid)
{
#ifdef SYS_pidfd_open
    const long fd = syscall(SYS_pidfd_open, pid, 0);
    if (fd >= 0) {
        fcntl(static_cast<int>(fd), F_SETFD, FD_CLOEXEC);
        return static_cast<int>(fd);
    }
#endif
    (void)pid;
    return -1;
}

bool IsBlankChar(char c)
{
    return c == ' ' || c == '\t';
}

bool IsExecutableFile(const std::string& native)
{
    struct stat info {};
    return stat(native.c_str(), &info) == 0 && S_ISREG(info.st_mode) && access(native.c_str(), X_OK) == 0;
}

bool ExistsAsFile(const std::string& native)
{
    struct stat info {};
    return stat(native.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}


// The file a program name given with a folder stands for, or "".
std::string ProgramFileAt(const std::string& ansiName)
{
    const std::string native = NativePath(ansiName);
    if (ExistsAsFile(native))
        return native;
    if (OsSupport::HasWindowsProgramExtension(ansiName)) {
        const std::string twin = NativePath(ansiName.substr(0, ansiName.size() - 4));
        if (ExistsAsFile(twin))
            return twin;
    }
    return "";
}

std::vector<std::string> EnvironmentFromBlock(const char* block)
{
    std::vector<std::string> result;
    while (block != nullptr && *block != '\0') {
        const std::string entry = block;
        result.push_back(AnsiToUtf8(entry));
        block += entry.size() + 1;
    }
    return result;
}

DWORD Spawn(const std::string& programFile, const std::vector<std::string>& argumentsUtf8,
            const std::vector<std::string>* environmentUtf8, const std::string& directoryNative, bool inherit,
            pid_t& pid)
{
    if (StartsWithMZ(programFile))
        return ERROR_BAD_EXE_FORMAT;
    std::vector<char*> argv;
    for (const std::string& argument : argumentsUtf8)
        argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);
    std::vector<char*> envp;
    if (environmentUtf8 != nullptr) {
        for (const std::string& entry : *environmentUtf8)
            envp.push_back(const_cast<char*>(entry.c_str()));
        envp.push_back(nullptr);
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (!directoryNative.empty())
        posix_spawn_file_actions_addchdir_np(&actions, directoryNative.c_str());
    if (!inherit)
        posix_spawn_file_actions_addclosefrom_np(&actions, 3);
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    // The child starts with default signal handling whatever the parent changed.
    sigset_t all;
    sigfillset(&all);
    posix_spawnattr_setsigdefault(&attributes, &all);
    sigset_t none;
    sigemptyset(&none);
    posix_spawnattr_setsigmask(&attributes, &none);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSIGMASK);
    const int error = posix_spawn(&pid, programFile.c_str(), &actions, &attributes, argv.data(),
                                  environmentUtf8 != nullptr ? envp.data() : environ);
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
    if (error == 0)
        return 0;
    if (error == ENOENT && !directoryNative.empty()) {
        struct stat info {};
        if (stat(directoryNative.c_str(), &info) != 0)
            return ERROR_DIRECTORY;
    }
    return WindowsErrorFromErrno(error);
}

HANDLE RegisterProcess(pid_t pid)
{
    auto process = std::make_shared<TProcess>();
    process->Pid = pid;
    process->PidFd = OpenPidFd(pid);
    std::lock_guard<std::mutex> lock(tableMutex);
    const HANDLE handle = NewHandleValue();
    processes[reinterpret_cast<std::uintptr_t>(handle)] = process;
    return handle;
}

} // namespace

std::string FindProgramFile(const std::string& program, DWORD& error)
{
    error = 0;
    if (program.empty()) {
        error = ERROR_FILE_NOT_FOUND;
        return "";
    }
    if (program.find_first_of("\\/") != std::string::npos) {
        const std::string found = ProgramFileAt(program);
        if (found.empty()) {
            struct stat info {};
            const std::string native = NativePath(program);
            const std::string folder = native.substr(0, native.rfind('/') + 1);
            error = folder.empty() || stat(folder.c_str(), &info) == 0 ? ERROR_FILE_NOT_FOUND : ERROR_PATH_NOT_FOUND;
        }
        return found;
    }
    std::vector<std::string> folders;
    const std::string self = ParamStr(0);
    if (self.find_first_of("\\/") != std::string::npos)
        folders.push_back(ExtractFilePath(self));
    folders.push_back(GetCurrentDir() + "/");
    if (const char* path = std::getenv("PATH")) {
        std::string list = path;
        size_t start = 0;
        while (start <= list.size()) {
            size_t colon = list.find(':', start);
            if (colon == std::string::npos)
                colon = list.size();
            if (colon > start)
                folders.push_back(Utf8ToAnsi(list.substr(start, colon - start)) + "/");
            start = colon + 1;
        }
    }
    for (const std::string& folder : folders) {
        const std::string found = ProgramFileAt(folder + program);
        // In the search folders only a file we may run counts, as the shell's search does.
        if (!found.empty() && (IsExecutableFile(found) || StartsWithMZ(found)))
            return found;
    }
    error = ERROR_FILE_NOT_FOUND;
    return "";
}

// An unquoted program path with blanks, as Windows reads it: the prefixes of the line that end at
// a blank, shortest first, then the whole line; the first naming a program file wins, and the rest
// of the line gives the arguments. "" when none does (error and arguments left as they were).
static std::string FindProgramInBlankedLine(const std::string& line, std::vector<std::string>& arguments, DWORD& error)
{
    size_t start = 0;
    while (start < line.size() && IsBlankChar(line[start]))
        ++start;
    if (start >= line.size() || line[start] == '"')
        return "";
    for (size_t end = start; end <= line.size(); ++end) {
        if (end < line.size() && !IsBlankChar(line[end]))
            continue;
        const std::string candidate = line.substr(start, end - start);
        DWORD ignored = 0;
        const std::string file = FindProgramFile(candidate, ignored);
        if (file.empty())
            continue;
        std::vector<std::string> rest = SplitWindowsCommandLine("x" + line.substr(end));
        rest[0] = candidate;
        arguments = rest;
        error = 0;
        return file;
    }
    return "";
}

DWORD StartNativeProgram(const std::string& programFile, const std::vector<std::string>& argumentsUtf8,
                         const std::string& directoryNative, HANDLE* process)
{
    std::vector<std::string> argv{programFile};
    argv.insert(argv.end(), argumentsUtf8.begin(), argumentsUtf8.end());
    pid_t pid = 0;
    const DWORD error = Spawn(programFile, argv, nullptr, directoryNative, false, pid);
    if (error != 0)
        return error;
    const HANDLE handle = RegisterProcess(pid);
    if (process != nullptr)
        *process = handle;
    else
        CloseHandle(handle);
    return 0;
}

DWORD StartProgram(const std::string& program, const std::vector<std::string>& arguments,
                   const std::string& directory, HANDLE* process)
{
    DWORD error = 0;
    const std::string file = FindProgramFile(program, error);
    if (file.empty())
        return error;
    std::vector<std::string> argumentsUtf8;
    for (const std::string& argument : arguments)
        argumentsUtf8.push_back(AnsiToUtf8(argument));
    return StartNativeProgram(file, argumentsUtf8, directory.empty() ? "" : NativePath(directory), process);
}

BOOL CreateProcessA(const char* applicationName, char* commandLine, SECURITY_ATTRIBUTES*, SECURITY_ATTRIBUTES*,
                    BOOL inheritHandles, DWORD, void* environment, const char* currentDirectory, STARTUPINFOA*,
                    PROCESS_INFORMATION* processInformation)
{
    const std::string line = commandLine != nullptr ? std::string(commandLine) : std::string();
    std::vector<std::string> arguments = SplitWindowsCommandLine(line);
    std::string program = applicationName != nullptr ? std::string(applicationName)
                                                      : (arguments.empty() ? std::string() : arguments[0]);
    if (arguments.empty())
        arguments.push_back(program);
    DWORD error = 0;
    std::string file = FindProgramFile(program, error);
    if (file.empty() && applicationName == nullptr)
        file = FindProgramInBlankedLine(line, arguments, error);
    if (file.empty()) {
        SetLastError(error);
        return FALSE;
    }
    std::vector<std::string> argv;
    for (const std::string& argument : arguments)
        argv.push_back(AnsiToUtf8(argument));
    std::vector<std::string> environmentUtf8;
    if (environment != nullptr)
        environmentUtf8 = EnvironmentFromBlock(static_cast<const char*>(environment));
    const std::string directory =
        currentDirectory != nullptr && currentDirectory[0] != '\0' ? NativePath(currentDirectory) : "";
    pid_t pid = 0;
    error = Spawn(file, argv, environment != nullptr ? &environmentUtf8 : nullptr, directory, inheritHandles != FALSE,
                  pid);
    if (error != 0) {
        SetLastError(error);
        return FALSE;
    }
    const HANDLE process = RegisterProcess(pid);
    HANDLE thread;
    {
        std::lock_guard<std::mutex> lock(tableMutex);
        thread = NewHandleValue();
        threadHandles[reinterpret_cast<std::uintptr_t>(thread)] = true;
    }
    if (processInformation != nullptr) {
        processInformation->hProcess = process;
        processInformation->hThread = thread;
        processInformation->dwProcessId = static_cast<DWORD>(pid);
        processInformation->dwThreadId = static_cast<DWORD>(pid);
    } else {
        CloseHandle(process);
        CloseHandle(thread);
    }
    return TRUE;
}

DWORD WaitForSingleObject(HANDLE handle, DWORD milliseconds)
{
    const std::shared_ptr<TProcess> process = ProcessOf(handle);
    if (!process) {
        SetLastError(ERROR_INVALID_HANDLE);
        return WAIT_FAILED;
    }
    if (milliseconds == INFINITE) {
        WaitUntilEnded(*process);
        return WAIT_OBJECT_0;
    }
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
    for (;;) {
        if (Reap(*process))
            return WAIT_OBJECT_0;
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0)
            return WAIT_TIMEOUT;
        int pidFd;
        {
            std::lock_guard<std::mutex> lock(process->ReapMutex);
            pidFd = process->PidFd;
        }
        if (pidFd >= 0) {
            pollfd ready{pidFd, POLLIN, 0};
            poll(&ready, 1, static_cast<int>(left.count()));
        } else {
            std::this_thread::sleep_for(std::min(left, std::chrono::milliseconds(10)));
        }
    }
}

BOOL GetExitCodeProcess(HANDLE handle, DWORD* exitCode)
{
    const std::shared_ptr<TProcess> process = ProcessOf(handle);
    if (!process || exitCode == nullptr) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    Reap(*process);
    std::lock_guard<std::mutex> lock(process->ReapMutex);
    *exitCode = process->Ended ? process->ExitCode : STILL_ACTIVE;
    return TRUE;
}

BOOL CloseHandle(HANDLE handle)
{
    std::shared_ptr<TProcess> process;
    {
        std::lock_guard<std::mutex> lock(tableMutex);
        const auto key = reinterpret_cast<std::uintptr_t>(handle);
        if (threadHandles.erase(key) > 0)
            return TRUE;
        const auto found = processes.find(key);
        if (found == processes.end()) {
            SetLastError(ERROR_INVALID_HANDLE);
            return FALSE;
        }
        process = found->second;
        processes.erase(found);
    }
    if (!Reap(*process))
        std::thread([process] { WaitUntilEnded(*process); }).detach();
    return TRUE;
}

DWORD WaitForProcessWhileProcessingEvents(HANDLE handle, const std::function<bool()>& terminated)
{
    const std::shared_ptr<TProcess> process = ProcessOf(handle);
    if (!process) {
        SetLastError(ERROR_INVALID_HANDLE);
        return WAIT_FAILED;
    }
    QCoreApplication* application = QCoreApplication::instance();
    if (application == nullptr) {
        WaitForSingleObject(handle, INFINITE);
        DWORD code = STILL_ACTIVE;
        GetExitCodeProcess(handle, &code);
        return code;
    }

    QEventLoop loop;
    bool gaveUp = false;
    auto check = [&] {
        if (Reap(*process)) {
            loop.quit();
        } else if (terminated && terminated()) {
            gaveUp = true;
            loop.quit();
        }
    };
    std::unique_ptr<QSocketNotifier> notifier;
    std::unique_ptr<QTimer> poller;
    int pidFd;
    {
        std::lock_guard<std::mutex> lock(process->ReapMutex);
        pidFd = process->PidFd;
    }
    if (pidFd >= 0) {
        notifier = std::make_unique<QSocketNotifier>(pidFd, QSocketNotifier::Read);
        QObject::connect(notifier.get(), &QSocketNotifier::activated, &loop, [&] {
            notifier->setEnabled(false);
            check();
        });
    } else {
        poller = std::make_unique<QTimer>();
        poller->setInterval(50);
        QObject::connect(poller.get(), &QTimer::timeout, &loop, check);
        poller->start();
    }
    if (QAbstractEventDispatcher* dispatcher = QAbstractEventDispatcher::instance())
        QObject::connect(dispatcher, &QAbstractEventDispatcher::awake, &loop, check);
    QObject::connect(application, &QCoreApplication::aboutToQuit, &loop, [&] {
        gaveUp = true;
        loop.quit();
    });
    QTimer::singleShot(0, &loop, check);
    loop.exec();
    // The notifier must go before the descriptor it watches is closed by a later reap.
    notifier.reset();
    if (gaveUp && !Reap(*process))
        return STILL_ACTIVE;
    WaitUntilEnded(*process);
    std::lock_guard<std::mutex> lock(process->ReapMutex);
    return process->ExitCode;
}

std::vector<std::string> SplitWindowsCommandLine(const std::string& text)
{
    std::vector<std::string> result;
    size_t i = 0;
    const size_t n = text.size();
    while (i < n && IsBlankChar(text[i]))
        ++i;
    if (i >= n)
        return result;

    // The program: quotes group, backslashes are plain characters.
    std::string program;
    bool inQuote = false;
    for (; i < n; ++i) {
        const char c = text[i];
        if (c == '"')
            inQuote = !inQuote;
        else if (IsBlankChar(c) && !inQuote)
            break;
        else
            program += c;
    }
    result.push_back(program);

    for (;;) {
        while (i < n && IsBlankChar(text[i]))
            ++i;
        if (i >= n)
            break;
        std::string argument;
        inQuote = false;
        while (i < n) {
            const char c = text[i];
            if (IsBlankChar(c) && !inQuote)
                break;
            if (c == '\\') {
                size_t count = 0;
                while (i < n && text[i] == '\\') {
                    ++count;
                    ++i;
                }
                if (i < n && text[i] == '"') {
                    argument.append(count / 2, '\\');
                    if (count % 2 == 1) {
                        argument += '"';
                        ++i;
                    }
                } else {
                    argument.append(count, '\\');
                }
                continue;
            }
            if (c == '"') {
                if (inQuote && i + 1 < n && text[i + 1] == '"') {
                    argument += '"';
                    i += 2;
                    continue;
                }
                inQuote = !inQuote;
                ++i;
                continue;
            }
            argument += c;
            ++i;
        }
        result.push_back(argument);
    }
    return result;
}

std::string JoinWindowsCommandLine(const std::vector<std::string>& arguments)
{
    std::string result;
    for (const std::string& argument : arguments) {
        if (!result.empty())
            result += ' ';
        const bool quote = argument.empty() || argument.find_first_of(" \t") != std::string::npos;
        if (quote)
            result += '"';
        size_t backslashes = 0;
        for (const char c : argument) {
            if (c == '\\') {
                ++backslashes;
            } else if (c == '"') {
                result.append(backslashes * 2, '\\');
                backslashes = 0;
                result += "\\\"";
            } else {
                result.append(backslashes, '\\');
                backslashes = 0;
                result += c;
            }
        }
        result.append(backslashes, '\\');
        if (quote) {
            result.append(backslashes, '\\');
            result += '"';
        }
    }
    return result;
}

const char* GetCommandLineA()
{
    static std::string commandLine;
    static std::once_flag built;
    std::call_once(built, [] {
        std::vector<std::string> arguments;
        for (int i = 0; i <= ParamCount(); ++i)
            arguments.push_back(ParamStr(i));
        commandLine = JoinWindowsCommandLine(arguments);
    });
    return commandLine.c_str();
}

DWORD GetCurrentProcessId()
{
    return static_cast<DWORD>(getpid());
}
