#include "platform/os/FileApi.h"

#include "TestEnvironment.h"
#include "platform/rtl/Files.h"
#include "platform/rtl/SysErrors.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <sys/stat.h>

namespace {

class FileApi : public testing::Test {
protected:
    void SetUp() override { folder = NewTestFolder("fileapi"); }
    std::string folder;
};

bool PythonCanLock(const std::string& path)
{
    const std::string script = "import fcntl,sys\n"
                               "f=open(sys.argv[1],'r+b')\n"
                               "try:\n"
                               "    fcntl.lockf(f.fileno(),fcntl.LOCK_EX|fcntl.LOCK_NB,100,0)\n"
                               "    print('locked')\n"
                               "except OSError:\n"
                               "    print('refused')\n";
    WriteTestFile(path + ".py", script);
    return RunCommand("python3 '" + path + ".py' '" + path + "'") == "locked\n";
}

} // namespace

TEST_F(FileApi, AttributesFollowPermissionsAndNames)
{
    WriteTestFile(folder + "/scrivibile.txt", "x");
    WriteTestFile(folder + "/sola.txt", "x");
    chmod((folder + "/sola.txt").c_str(), 0444);
    WriteTestFile(folder + "/.nascosto", "x");
    std::filesystem::create_directory(folder + "/cartella");
    struct Case {
        std::string Name;
        DWORD Attributes;
    };
    const Case cases[] = {
        {"/scrivibile.txt", 0x20}, {"/sola.txt", 0x21}, {"/.nascosto", 0x22}, {"/cartella", 0x10},
        {"/SCRIVIBILE.TXT", 0x20},
    };
    for (const Case& c : cases)
        EXPECT_EQ(GetFileAttributesA((folder + c.Name).c_str()), c.Attributes) << c.Name;
    EXPECT_EQ(GetFileAttributesA((folder + "/manca.txt").c_str()), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(GetLastError(), 2u);

    const std::string file = folder + "/scrivibile.txt";
    ASSERT_TRUE(SetFileAttributesA(file.c_str(), FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_ARCHIVE));
    struct stat info {};
    stat(file.c_str(), &info);
    EXPECT_EQ(info.st_mode & 0222, 0u);
    ASSERT_TRUE(SetFileAttributesA(file.c_str(), FILE_ATTRIBUTE_NORMAL));
    stat(file.c_str(), &info);
    EXPECT_NE(info.st_mode & 0200, 0u);
}

TEST_F(FileApi, ShortAndLongNamesAreTheNameItself)
{
    const std::string file = folder + "/Nome lungo.txt";
    WriteTestFile(file, "x");
    char buffer[512];
    EXPECT_EQ(GetShortPathNameA(file.c_str(), buffer, sizeof buffer), file.size());
    EXPECT_EQ(std::string(buffer), file);
    char small[4] = "abc";
    EXPECT_EQ(GetLongPathNameA(file.c_str(), small, sizeof small), file.size() + 1);
    EXPECT_STREQ(small, "abc");
    EXPECT_EQ(GetLongPathNameA((folder + "/manca").c_str(), buffer, sizeof buffer), 0u);
    EXPECT_EQ(GetLastError(), 2u);
}

TEST_F(FileApi, LocksBelongToTheHandleAndKeepWindowsRules)
{
    const std::string file = folder + "/dati.bin";
    WriteTestFile(file, std::string(200, 'd'));
    const int handle = FileOpen(file, fmOpenReadWrite);
    ASSERT_GE(handle, 0);
    ASSERT_TRUE(LockFile(handle, 0, 0, 100, 0));
    EXPECT_FALSE(PythonCanLock(file));

    // Another descriptor of the same file closed by us must not drop the lock.
    const int other = FileOpen(file, fmOpenRead);
    FileClose(other);
    EXPECT_FALSE(PythonCanLock(file));

    EXPECT_FALSE(LockFile(handle, 50, 0, 10, 0));
    EXPECT_EQ(GetLastError(), 33u);
    EXPECT_FALSE(UnlockFile(handle, 0, 0, 50, 0));
    EXPECT_EQ(GetLastError(), 158u);
    ASSERT_TRUE(UnlockFile(handle, 0, 0, 100, 0));
    EXPECT_TRUE(PythonCanLock(file));

    EXPECT_TRUE(LockFile(handle, 0, 0, 0, 0));
    EXPECT_TRUE(PythonCanLock(file));
    FileClose(handle);
}

TEST_F(FileApi, MoveReplacesOnlyWhenAsked)
{
    const std::string source = folder + "/sorgente.txt";
    const std::string target = folder + "/destinazione.txt";
    WriteTestFile(source, "nuovo");
    WriteTestFile(target, "vecchio");
    EXPECT_FALSE(MoveFileExA(source.c_str(), target.c_str(), 0));
    EXPECT_EQ(GetLastError(), 183u);
    EXPECT_EQ(ReadTestFile(target), "vecchio");
    EXPECT_FALSE(MoveFileA(source.c_str(), target.c_str()));
    EXPECT_TRUE(MoveFileExA(source.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING));
    EXPECT_EQ(ReadTestFile(target), "nuovo");
    EXPECT_FALSE(std::filesystem::exists(source));
    EXPECT_FALSE(MoveFileA(source.c_str(), target.c_str()));
    EXPECT_EQ(GetLastError(), 2u);
}

TEST_F(FileApi, MoveAcrossFileSystemsCopiesThenDeletes)
{
    // /dev/shm is a separate file system on Linux.
    const std::string shm = "/dev/shm/tess-move-" + std::to_string(getpid());
    if (!std::filesystem::is_directory("/dev/shm"))
        GTEST_SKIP() << "no /dev/shm";
    WriteTestFile(shm, "attraverso");
    const std::string target = folder + "/arrivato.txt";
    WriteTestFile(target, "vecchio");
    EXPECT_FALSE(MoveFileExA(shm.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING));
    EXPECT_EQ(GetLastError(), 17u);
    EXPECT_TRUE(MoveFileExA(shm.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_COPY_ALLOWED));
    EXPECT_EQ(ReadTestFile(target), "attraverso");
    EXPECT_FALSE(std::filesystem::exists(shm));
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder), {}), 1);
}

TEST_F(FileApi, FileTimesRoundTripThroughDosDateTimeWithoutZoneShift)
{
    // 2024-02-29 13:45:58 as MS-DOS date and time; the file is given it and read back.
    const WORD date = static_cast<WORD>(((2024 - 1980) << 9) | (2 << 5) | 29);
    const WORD time = static_cast<WORD>((13 << 11) | (45 << 5) | (58 / 2));
    FILETIME written;
    ASSERT_TRUE(DosDateTimeToFileTime(date, time, &written));
    const std::string path = folder + "/datato.txt";
    WriteTestFile(path, "x");
    const int file = FileOpen(path, fmOpenReadWrite);
    ASSERT_GE(file, 0);
    ASSERT_TRUE(SetFileTime(file, nullptr, nullptr, &written));
    FILETIME read;
    ASSERT_TRUE(GetFileTime(file, nullptr, nullptr, &read));
    FileClose(file);
    EXPECT_EQ(read.dwLowDateTime, written.dwLowDateTime);
    EXPECT_EQ(read.dwHighDateTime, written.dwHighDateTime);
    struct stat info {};
    ASSERT_EQ(stat(path.c_str(), &info), 0);
    EXPECT_EQ(info.st_mtime, 1709214358); // the same instant in UTC, whatever TZ says
    WORD dosDate = 0;
    WORD dosTime = 0;
    ASSERT_TRUE(FileTimeToDosDateTime(&read, &dosDate, &dosTime));
    EXPECT_EQ(dosDate, date);
    EXPECT_EQ(dosTime, time);

    FILETIME tooEarly; // 1601: before the MS-DOS calendar starts
    WORD unused = 0;
    EXPECT_FALSE(FileTimeToDosDateTime(&tooEarly, &unused, &unused));
    EXPECT_FALSE(DosDateTimeToFileTime(date, static_cast<WORD>(24 << 11), &written));
    EXPECT_FALSE(GetFileTime(-1, nullptr, nullptr, &read));
}
