#pragma once
// The system's version, the Windows and system folders, and environment variables.

#include "platform/os/WinBase.h"

#include <string>

constexpr DWORD VER_PLATFORM_WIN32s = 0;
constexpr DWORD VER_PLATFORM_WIN32_WINDOWS = 1;
constexpr DWORD VER_PLATFORM_WIN32_NT = 2;
// None of the Windows platforms: the program must not mistake the kernel's version for Windows'.
constexpr DWORD VER_PLATFORM_LINUX = 10;
constexpr BYTE VER_NT_WORKSTATION = 1;

struct OSVERSIONINFOA {
    DWORD dwOSVersionInfoSize;
    DWORD dwMajorVersion;
    DWORD dwMinorVersion;
    DWORD dwBuildNumber;
    DWORD dwPlatformId;
    char szCSDVersion[128];
};

struct OSVERSIONINFOEXA {
    DWORD dwOSVersionInfoSize;
    DWORD dwMajorVersion;
    DWORD dwMinorVersion;
    DWORD dwBuildNumber;
    DWORD dwPlatformId;
    char szCSDVersion[128];
    WORD wServicePackMajor;
    WORD wServicePackMinor;
    WORD wSuiteMask;
    BYTE wProductType;
    BYTE wReserved;
};

static_assert(sizeof(OSVERSIONINFOA) == 148);
static_assert(sizeof(OSVERSIONINFOEXA) == 156);

// Accepts either structure by its dwOSVersionInfoSize; any other size gives FALSE with 122.
BOOL GetVersionExA(OSVERSIONINFOA* info);
BOOL GetVersionExA(OSVERSIONINFOEXA* info);

// The class library's copies of the version, filled from GetVersionExA at start-up.
extern int Win32Platform;
extern int Win32MajorVersion;
extern int Win32MinorVersion;
extern int Win32BuildNumber;
extern std::string Win32CSDVersion;

// $XDG_CONFIG_HOME/Tessellarium/Windows (created on demand) and its System32 folder. They hold
// no system files; INI files given by a bare name live there.
UINT GetWindowsDirectoryA(char* buffer, UINT size);
UINT GetSystemDirectoryA(char* buffer, UINT size);
std::string GetWindowsDirectory();
std::string GetSystemDirectory();

// The value's length, or the size needed when the buffer is too small; 0 with 203 when unset.
DWORD GetEnvironmentVariableA(const char* name, char* buffer, DWORD size);
// The same without a buffer; false with 203 when unset.
bool GetEnvironmentVariable(const std::string& name, std::string& value);
// A null value removes the variable.
BOOL SetEnvironmentVariableA(const char* name, const char* value);

// The time zone in the Windows form, in minutes: Bias is minus the standard time's offset from
// UTC, StandardBias 0, DaylightBias what summer time adds to Bias (0 in a zone without summer
// time). Bias plus the bias of the current period is minus the current offset, as on Windows.
struct TIME_ZONE_INFORMATION {
    LONG Bias;
    LONG StandardBias;
    LONG DaylightBias;
};
constexpr DWORD TIME_ZONE_ID_STANDARD = 1;
constexpr DWORD TIME_ZONE_ID_DAYLIGHT = 2;

// Fills info from the C library's local time of now; TIME_ZONE_ID_DAYLIGHT while summer time
// is in force, else TIME_ZONE_ID_STANDARD.
DWORD GetTimeZoneInformation(TIME_ZONE_INFORMATION* info);
