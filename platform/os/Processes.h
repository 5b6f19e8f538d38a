#pragma once
// Starting programs and waiting for them, with Windows command lines.

#include "platform/os/WinBase.h"

#include <functional>
#include <string>
#include <vector>

struct SECURITY_ATTRIBUTES {
    DWORD nLength = 0;
    void* lpSecurityDescriptor = nullptr;
    BOOL bInheritHandle = FALSE;
};

struct STARTUPINFOA {
    DWORD cb = 0;
    char* lpReserved = nullptr;
    char* lpDesktop = nullptr;
    char* lpTitle = nullptr;
    DWORD dwX = 0;
    DWORD dwY = 0;
    DWORD dwXSize = 0;
    DWORD dwYSize = 0;
    DWORD dwXCountChars = 0;
    DWORD dwYCountChars = 0;
    DWORD dwFillAttribute = 0;
    DWORD dwFlags = 0;
    WORD wShowWindow = 0;
    WORD cbReserved2 = 0;
    BYTE* lpReserved2 = nullptr;
    HANDLE hStdInput = nullptr;
    HANDLE hStdOutput = nullptr;
    HANDLE hStdError = nullptr;
};

struct PROCESS_INFORMATION {
    HANDLE hProcess = nullptr;
    HANDLE hThread = nullptr;
    DWORD dwProcessId = 0;
    DWORD dwThreadId = 0;
};

constexpr DWORD STARTF_USESHOWWINDOW = 0x1;
// Asks for the busy cursor while the program starts; the desktop gives its own feedback, so it
// changes nothing here.
constexpr DWORD STARTF_FORCEONFEEDBACK = 0x40;
constexpr DWORD NORMAL_PRIORITY_CLASS = 0x20;
constexpr DWORD CREATE_NEW_CONSOLE = 0x10;
constexpr DWORD CREATE_NO_WINDOW = 0x08000000;

// The program is applicationName, or the first token of commandLine. A name without a folder is
// searched in the program's folder, the current folder and PATH; "X.exe" that does not exist is
// tried as "X". environment is a Windows block ("A=1\0B=2\0\0") or null for ours. Without
// inheritHandles the child gets only descriptors 0 to 2.
BOOL CreateProcessA(const char* applicationName, char* commandLine, SECURITY_ATTRIBUTES* processAttributes,
                    SECURITY_ATTRIBUTES* threadAttributes, BOOL inheritHandles, DWORD creationFlags,
                    void* environment, const char* currentDirectory, STARTUPINFOA* startupInfo,
                    PROCESS_INFORMATION* processInformation);
// Waits for a process handle; WAIT_OBJECT_0 once it ended, WAIT_TIMEOUT, or WAIT_FAILED.
DWORD WaitForSingleObject(HANDLE handle, DWORD milliseconds);
// STILL_ACTIVE while running, then the exit status (128 + the signal for a signal).
BOOL GetExitCodeProcess(HANDLE process, DWORD* exitCode);
// Closing a running child hands it to a background reaper.
BOOL CloseHandle(HANDLE handle);

// The exit code of the process, or STILL_ACTIVE (259) when terminated() became true first or the
// application is quitting. With a QCoreApplication the interface keeps running meanwhile.
DWORD WaitForProcessWhileProcessingEvents(HANDLE process, const std::function<bool()>& terminated);

// The Windows C run time's splitting of a command line, the program first.
std::vector<std::string> SplitWindowsCommandLine(const std::string& text);
// The inverse, quoting as that run time expects.
std::string JoinWindowsCommandLine(const std::vector<std::string>& arguments);

// The program's own command line, rebuilt from its arguments.
const char* GetCommandLineA();
DWORD GetCurrentProcessId();

// Used by the shell: starts a program file (found by the rules above) with the given arguments.
// Returns 0 on success or the Windows error number; process receives the handle when asked.
DWORD StartProgram(const std::string& program, const std::vector<std::string>& arguments,
                   const std::string& directory, HANDLE* process);
// The same for a program file already found (UTF-8 path and arguments, after the program).
DWORD StartNativeProgram(const std::string& programFile, const std::vector<std::string>& argumentsUtf8,
                         const std::string& directoryNative, HANDLE* process);
// The program file a name stands for (native path), or "" with the Windows error number in error.
std::string FindProgramFile(const std::string& program, DWORD& error);
