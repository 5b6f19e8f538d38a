#include "platform/os/SystemInfo.h"

#include "TestEnvironment.h"
#include "platform/rtl/SysErrors.h"

#include <gtest/gtest.h>

#include <cstdlib>
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
