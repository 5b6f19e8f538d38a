#include "platform/os/TempFiles.h"

#include "TestEnvironment.h"
#include "platform/rtl/SysErrors.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fcntl.h>
#include <set>
#include <unistd.h>

namespace {

class TempFiles : public testing::Test {
protected:
    void SetUp() override { folder = NewTestFolder("temp"); }
    std::string folder;
};

} // namespace

TEST_F(TempFiles, TempPathComesFromTmpdirWithAFinalSlash)
{
    const std::string saved = std::getenv("TMPDIR");
    setenv("TMPDIR", folder.c_str(), 1);
    char buffer[512];
    EXPECT_EQ(GetTempPathA(sizeof buffer, buffer), folder.size() + 1);
    EXPECT_EQ(std::string(buffer), folder + "/");
    char small[3] = "ab";
    EXPECT_EQ(GetTempPathA(sizeof small, small), folder.size() + 2);
    EXPECT_STREQ(small, "ab");
    setenv("TMPDIR", "/x/y/non/esiste", 1);
    EXPECT_EQ(GetTempPath(), "/tmp/");
    setenv("TMPDIR", saved.c_str(), 1);
}

TEST_F(TempFiles, TempFileNamesAreNewFilesOrJustNames)
{
    std::set<std::string> names;
    char name[MAX_PATH];
    for (int i = 0; i < 1000; ++i) {
        ASSERT_NE(GetTempFileNameA(folder.c_str(), "ANIMA", 0, name), 0u);
        names.insert(name);
        ASSERT_EQ(std::string(name).rfind(folder + "/ANI", 0), 0u) << name;
        ASSERT_TRUE(std::string(name).ends_with(".TMP"));
        ASSERT_EQ(std::filesystem::file_size(name), 0u);
    }
    EXPECT_EQ(names.size(), 1000u);

    EXPECT_EQ(GetTempFileNameA(folder.c_str(), "ANIMA", 0x1A2B, name), 0x1A2Bu);
    EXPECT_EQ(std::string(name), folder + "/ANI1A2B.TMP");
    EXPECT_FALSE(std::filesystem::exists(name));

    EXPECT_EQ(GetTempFileNameA((folder + "/manca").c_str(), "X", 0, name), 0u);
    EXPECT_EQ(GetLastError(), 3u);
}

TEST_F(TempFiles, AllNamesTakenGivesFileExists)
{
    for (unsigned n = 1; n <= 0xFFFF; ++n) {
        char hex[8];
        std::snprintf(hex, sizeof hex, "%X", n);
        close(open((folder + "/T" + hex + ".TMP").c_str(), O_CREAT | O_WRONLY, 0644));
    }
    char name[MAX_PATH];
    EXPECT_EQ(GetTempFileNameA(folder.c_str(), "T", 0, name), 0u);
    EXPECT_EQ(GetLastError(), 80u);
}

TEST_F(TempFiles, SuffixFilesAndFoldersAreNewAndTempFolderCleansUpWithoutFollowingLinks)
{
    const std::string first = CreateTempFileWithSuffix(folder, "zip", ".ZIP");
    const std::string second = CreateTempFileWithSuffix(folder, "zip", ".ZIP");
    ASSERT_FALSE(first.empty());
    EXPECT_NE(first, second);
    EXPECT_TRUE(first.ends_with(".ZIP"));
    EXPECT_TRUE(std::filesystem::is_regular_file(first));

    const std::string outside = folder + "/fuori";
    std::filesystem::create_directory(outside);
    WriteTestFile(outside + "/prezioso.txt", "resta");
    std::string inside;
    {
        TTempFolder temporary("prova");
        inside = temporary.Path();
        ASSERT_TRUE(std::filesystem::is_directory(inside));
        std::filesystem::create_directories(inside + "/a/b");
        WriteTestFile(inside + "/a/b/f.txt", "x");
        std::filesystem::create_directory_symlink(outside, inside + "/a/collegamento");
    }
    EXPECT_FALSE(std::filesystem::exists(inside));
    EXPECT_EQ(ReadTestFile(outside + "/prezioso.txt"), "resta");
}
