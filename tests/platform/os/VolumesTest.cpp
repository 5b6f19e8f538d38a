#include "platform/os/Volumes.h"

#include "TestEnvironment.h"
#include "platform/rtl/SysErrors.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>

namespace fs = std::filesystem;

namespace {

class Volumes : public testing::Test {
protected:
    void SetUp() override
    {
        root = NewTestFolder("volumes");
        for (const char* name : {"ext4", "usb key", "cifs", "tmp", "cd", "dev", "sys/block/sda/sda1",
                                 "sys/block/sdb/sdb1", "sys/dev/block", "by-label"})
            fs::create_directories(root + "/" + name);
        WriteTestFile(root + "/sys/block/sda/removable", "0\n");
        WriteTestFile(root + "/sys/block/sdb/removable", "1\n");
        fs::create_directory_symlink("../../block/sda/sda1", root + "/sys/dev/block/8:1");
        fs::create_directory_symlink("../../block/sdb/sdb1", root + "/sys/dev/block/8:17");
        WriteTestFile(root + "/dev/sdb1", "");
        fs::create_symlink("../dev/sdb1", root + "/by-label/USB\\x20KEY");
        const std::string m = root + "/";
        WriteTestFile(root + "/mountinfo",
                      "20 1 8:2 / / rw,relatime - ext4 /dev/sda2 rw\n"
                      "21 20 8:1 / " + m + "ext4 rw - ext4 /dev/sda1 rw\n"
                      "22 20 8:17 / " + m + "usb\\040key rw shared:5 - vfat " + m + "dev/sdb1 rw\n"
                      "23 20 0:50 / " + m + "cifs rw - cifs //server/share rw\n"
                      "24 20 0:51 / " + m + "tmp rw - tmpfs tmpfs rw\n"
                      "25 20 11:0 / " + m + "cd ro - iso9660 /dev/sr0 ro\n");
        SetVolumeService(std::make_unique<TVolumeService>(root + "/mountinfo", root + "/sys", root + "/by-label"));
    }
    void TearDown() override { SetVolumeService(nullptr); }
    std::string root;
};

} // namespace

TEST_F(Volumes, DriveTypesComeFromTheMountTableAndSysfs)
{
    struct Case {
        std::string Path;
        UINT Type;
    };
    const Case cases[] = {
        {root + "/ext4", DRIVE_FIXED},     {root + "/usb key", DRIVE_REMOVABLE}, {root + "/cifs", DRIVE_REMOTE},
        {root + "/tmp", DRIVE_RAMDISK},    {root + "/cd", DRIVE_CDROM},          {root + "/manca", DRIVE_NO_ROOT_DIR},
        {"C:\\", DRIVE_NO_ROOT_DIR},
    };
    for (const Case& c : cases)
        EXPECT_EQ(GetDriveTypeA(c.Path.c_str()), c.Type) << c.Path;
    char path[512];
    fs::create_directory(root + "/usb key/sub");
    ASSERT_TRUE(GetVolumePathNameA((root + "/usb key/sub").c_str(), path, sizeof path));
    EXPECT_EQ(std::string(path), root + "/usb key/");
    EXPECT_EQ(GetLogicalDrives(), 0u);
    EXPECT_FALSE(SetVolumeLabelA((root + "/ext4").c_str(), "X"));
    EXPECT_EQ(GetLastError(), 50u);
    const UINT previous = SetErrorMode(SEM_FAILCRITICALERRORS);
    EXPECT_EQ(SetErrorMode(previous), SEM_FAILCRITICALERRORS);
}

TEST_F(Volumes, LabelAndFileSystemName)
{
    char label[64];
    char fileSystem[16];
    DWORD serial = 0, maxLength = 0, flags = 0;
    ASSERT_TRUE(GetVolumeInformationA((root + "/usb key").c_str(), label, sizeof label, &serial, &maxLength, &flags,
                                      fileSystem, sizeof fileSystem));
    EXPECT_STREQ(label, "USB KEY");
    EXPECT_STREQ(fileSystem, "FAT32");
    EXPECT_EQ(flags, 3u);
    EXPECT_GT(maxLength, 0u);
    ASSERT_TRUE(GetVolumeInformationA((root + "/ext4").c_str(), label, sizeof label, nullptr, nullptr, nullptr,
                                      fileSystem, sizeof fileSystem));
    EXPECT_STREQ(label, "");
    EXPECT_STREQ(fileSystem, "EXT4");
}

TEST_F(Volumes, SizesAndSerialMatchPythonStatvfs)
{
    std::istringstream python(RunCommand(
        "python3 -c \"import os; s=os.statvfs('" + root + "'); "
        "print(s.f_bavail*s.f_frsize, s.f_blocks*s.f_frsize, (s.f_fsid & 0xffffffff) ^ (s.f_fsid >> 32))\""));
    unsigned long long pythonFree = 0, pythonTotal = 0, pythonSerial = 0;
    python >> pythonFree >> pythonTotal >> pythonSerial;
    ULONGLONG available = 0, total = 0, totalFree = 0;
    ASSERT_TRUE(GetDiskFreeSpaceExA(root.c_str(), &available, &total, &totalFree));
    EXPECT_EQ(total, pythonTotal);
    // Other programs write meanwhile: allow a little drift in the free space.
    EXPECT_NEAR(static_cast<double>(available), static_cast<double>(pythonFree), 64.0 * 1024 * 1024);
    EXPECT_GE(totalFree, available);
    DWORD serial = 0;
    ASSERT_TRUE(GetVolumeInformationA(root.c_str(), nullptr, 0, &serial, nullptr, nullptr, nullptr, 0));
    EXPECT_EQ(serial, pythonSerial);
    DWORD sectorsPerCluster = 0, bytesPerSector = 0, freeClusters = 0, clusters = 0;
    ASSERT_TRUE(GetDiskFreeSpaceA(root.c_str(), &sectorsPerCluster, &bytesPerSector, &freeClusters, &clusters));
    EXPECT_EQ(bytesPerSector, 512u);
    EXPECT_GT(clusters, 0u);
}
