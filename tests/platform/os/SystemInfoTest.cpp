#include "platform/os/SystemInfo.h"

#include "TestEnvironment.h"
#include "platform/rtl/SysErrors.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <filesystem>

TEST(SystemInfo, VersionIsLinuxAndNoWindowsPlatform)
{
    const std::string release = RunCommand("uname -r");
    const std::string expected = "Linux " + release.substr(0, release.find('\n'));
    OSVERSIONINFOA info {};
    info.dwOSVersionInfoSize = sizeof info;
    ASSERT_TRUE(GetVersionExA(&info));
    EXPECT_EQ(info.dwPlatformId, VER_PLATFORM_LINUX);
    EXPECT_EQ(std::string(info.szCSDVersion), expected.substr(0, 127));
    EXPECT_EQ(std::to_string(info.dwMajorVersion), release.substr(0, release.find('.')));

    OSVERSIONINFOEXA extended {};
    extended.dwOSVersionInfoSize = sizeof extended;
    ASSERT_TRUE(GetVersionExA(&extended));
    EXPECT_EQ(extended.wProductType, 1);
    EXPECT_EQ(extended.dwPlatformId, VER_PLATFORM_LINUX);

    info.dwOSVersionInfoSize = 100;
    EXPECT_FALSE(GetVersionExA(&info));
    EXPECT_EQ(GetLastError(), 122u);

    EXPECT_EQ(Win32Platform, 10);
    EXPECT_EQ(Win32CSDVersion, expected.substr(0, 127));
}

TEST(SystemInfo, WindowsAndSystemFoldersLiveInTheConfigurationFolder)
{
    const std::string windows = std::string(std::getenv("XDG_CONFIG_HOME")) + "/Tessellarium/Windows";
    char buffer[512];
    EXPECT_EQ(GetWindowsDirectoryA(buffer, sizeof buffer), windows.size());
    EXPECT_EQ(std::string(buffer), windows);
    EXPECT_EQ(GetSystemDirectoryA(buffer, sizeof buffer), windows.size() + 9);
    EXPECT_EQ(std::string(buffer), windows + "/System32");
    EXPECT_TRUE(std::filesystem::is_directory(windows + "/System32"));
    char small[2] = "z";
    EXPECT_EQ(GetWindowsDirectoryA(small, sizeof small), windows.size() + 1);
    EXPECT_STREQ(small, "z");
}

TEST(SystemInfo, EnvironmentVariables)
{
    ASSERT_TRUE(SetEnvironmentVariableA("TESS_PROVA", "caff\xE8"));
    char buffer[16];
    EXPECT_EQ(GetEnvironmentVariableA("TESS_PROVA", buffer, sizeof buffer), 5u);
    EXPECT_STREQ(buffer, "caff\xE8");
    EXPECT_STREQ(std::getenv("TESS_PROVA"), "caff\xC3\xA8");
    char small[3];
    EXPECT_EQ(GetEnvironmentVariableA("TESS_PROVA", small, sizeof small), 6u);
    ASSERT_TRUE(SetEnvironmentVariableA("TESS_PROVA", nullptr));
    EXPECT_EQ(GetEnvironmentVariableA("TESS_PROVA", buffer, sizeof buffer), 0u);
    EXPECT_EQ(GetLastError(), 203u);
}

TEST(SystemInfo, TimeZoneBiasesInTheWindowsForm)
{
    struct TCase {
        const char* Zone;
        LONG Bias;
        LONG DaylightBias;
    };
    // POSIX zone texts, so that no zone database is needed.
    const TCase cases[] = {
        {"CET-1CEST,M3.5.0,M10.5.0/3", -60, -60},
        {"IST-5:30", -330, 0},
        {"UTC0", 0, 0},
        {"EST5EDT,M3.2.0,M11.1.0", 300, -60},
    };
    const char* saved = std::getenv("TZ");
    const std::string savedZone = saved ? saved : "";
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Zone);
        setenv("TZ", c.Zone, 1);
        tzset();
        TIME_ZONE_INFORMATION info {};
        const DWORD period = GetTimeZoneInformation(&info);
        EXPECT_EQ(info.Bias, c.Bias);
        EXPECT_EQ(info.StandardBias, 0);
        EXPECT_EQ(info.DaylightBias, c.DaylightBias);
        const std::time_t now = std::time(nullptr);
        std::tm local {};
        localtime_r(&now, &local);
        EXPECT_EQ(period, local.tm_isdst > 0 ? TIME_ZONE_ID_DAYLIGHT : TIME_ZONE_ID_STANDARD);
        const LONG periodBias = period == TIME_ZONE_ID_DAYLIGHT ? info.DaylightBias : info.StandardBias;
        EXPECT_EQ(info.Bias + periodBias, -local.tm_gmtoff / 60);
    }
    if (saved)
        setenv("TZ", savedZone.c_str(), 1);
    else
        unsetenv("TZ");
    tzset();
}
