#include "platform/os/SystemInfo.h"

#include "platform/os/FileApi.h"
#include "platform/os/OsPaths.h"
#include "platform/rtl/Codepage.h"
#include "platform/rtl/SysErrors.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <sys/utsname.h>

namespace {

void FillVersion(OSVERSIONINFOA& info)
{
    utsname names {};
    uname(&names);
    unsigned numbers[3] = {0, 0, 0};
    const char* p = names.release;
    for (int i = 0; i < 3 && *p != '\0'; ++i) {
        unsigned value = 0;
        while (*p >= '0' && *p <= '9')
            value = value * 10 + static_cast<unsigned>(*p++ - '0');
        numbers[i] = value;
        if (*p == '.')
            ++p;
        else
            break;
    }
    info.dwMajorVersion = numbers[0];
    info.dwMinorVersion = numbers[1];
    info.dwBuildNumber = numbers[2];
    info.dwPlatformId = VER_PLATFORM_LINUX;
    const std::string text = std::string("Linux ") + names.release;
    const size_t length = std::min(text.size(), sizeof info.szCSDVersion - 1);
    std::memcpy(info.szCSDVersion, text.data(), length);
    info.szCSDVersion[length] = '\0';
}

struct TVersionGlobals {
    TVersionGlobals()
    {
        OSVERSIONINFOA info {};
        info.dwOSVersionInfoSize = sizeof info;
        FillVersion(info);
        Win32Platform = static_cast<int>(info.dwPlatformId);
        Win32MajorVersion = static_cast<int>(info.dwMajorVersion);
        Win32MinorVersion = static_cast<int>(info.dwMinorVersion);
        Win32BuildNumber = static_cast<int>(info.dwBuildNumber);
        Win32CSDVersion = info.szCSDVersion;
    }
};

} // namespace

int Win32Platform = 0;
int Win32MajorVersion = 0;
int Win32MinorVersion = 0;
int Win32BuildNumber = 0;
std::string Win32CSDVersion;

namespace {
const TVersionGlobals versionGlobals;
}

BOOL GetVersionExA(OSVERSIONINFOA* info)
{
    if (info == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    const DWORD size = info->dwOSVersionInfoSize;
    if (size != sizeof(OSVERSIONINFOA) && size != sizeof(OSVERSIONINFOEXA)) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return FALSE;
    }
    FillVersion(*info);
    if (size == sizeof(OSVERSIONINFOEXA)) {
        auto* extended = reinterpret_cast<OSVERSIONINFOEXA*>(info);
        extended->wServicePackMajor = 0;
        extended->wServicePackMinor = 0;
        extended->wSuiteMask = 0;
        extended->wProductType = VER_NT_WORKSTATION;
        extended->wReserved = 0;
    }
    return TRUE;
}

BOOL GetVersionExA(OSVERSIONINFOEXA* info)
{
    return GetVersionExA(reinterpret_cast<OSVERSIONINFOA*>(info));
}

std::string GetWindowsDirectory()
{
    return AnsiFromNative(WindowsFolder());
}

std::string GetSystemDirectory()
{
    const std::string folder = WindowsFolder() + "/System32";
    MakeFolders(folder, 0700);
    return AnsiFromNative(folder);
}

UINT GetWindowsDirectoryA(char* buffer, UINT size)
{
    return CopyToBuffer(GetWindowsDirectory(), buffer, size);
}

UINT GetSystemDirectoryA(char* buffer, UINT size)
{
    return CopyToBuffer(GetSystemDirectory(), buffer, size);
}

DWORD GetEnvironmentVariableA(const char* name, char* buffer, DWORD size)
{
    if (name == nullptr || name[0] == '\0') {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    const char* value = std::getenv(AnsiToUtf8(name).c_str());
    if (value == nullptr) {
        SetLastError(ERROR_ENVVAR_NOT_FOUND);
        return 0;
    }
    return CopyToBuffer(Utf8ToAnsi(value), buffer, size);
}

bool GetEnvironmentVariable(const std::string& name, std::string& value)
{
    const char* found = name.empty() ? nullptr : std::getenv(AnsiToUtf8(name).c_str());
    if (found == nullptr) {
        SetLastError(name.empty() ? ERROR_INVALID_PARAMETER : ERROR_ENVVAR_NOT_FOUND);
        return false;
    }
    value = Utf8ToAnsi(found);
    return true;
}

BOOL SetEnvironmentVariableA(const char* name, const char* value)
{
    if (name == nullptr || name[0] == '\0' || std::strchr(name, '=') != nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    const std::string nativeName = AnsiToUtf8(name);
    const int result = value == nullptr ? unsetenv(nativeName.c_str())
                                        : setenv(nativeName.c_str(), AnsiToUtf8(value).c_str(), 1);
    if (result != 0) {
        SetLastErrorFromErrno(errno);
        return FALSE;
    }
    return TRUE;
}

DWORD GetTimeZoneInformation(TIME_ZONE_INFORMATION* info)
{
    const std::time_t now = std::time(nullptr);
    std::tm current{};
    localtime_r(&now, &current);
    const bool summer = current.tm_isdst > 0;
    // The other period's offset: the first month ahead in the other period, within a year.
    long otherOffset = summer ? current.tm_gmtoff - 3600 : current.tm_gmtoff;
    for (int month = 1; month <= 12; ++month) {
        const std::time_t probe = now + static_cast<std::time_t>(month) * 30 * 86400;
        std::tm other{};
        localtime_r(&probe, &other);
        if ((other.tm_isdst > 0) != summer) {
            otherOffset = other.tm_gmtoff;
            break;
        }
    }
    const long standardOffset = summer ? otherOffset : current.tm_gmtoff;
    const long daylightOffset = summer ? current.tm_gmtoff : otherOffset;
    if (info) {
        info->Bias = static_cast<LONG>(-standardOffset / 60);
        info->StandardBias = 0;
        info->DaylightBias = static_cast<LONG>(-(daylightOffset - standardOffset) / 60);
    }
    return summer ? TIME_ZONE_ID_DAYLIGHT : TIME_ZONE_ID_STANDARD;
}
