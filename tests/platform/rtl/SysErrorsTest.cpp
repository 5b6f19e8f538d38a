#include "platform/rtl/SysErrors.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdlib>
#include <string>
#include <thread>
#include <unistd.h>

TEST(SysErrors, LastErrorIsKeptPerThread)
{
    SetLastError(5);
    std::uint32_t seenByOther = 99;
    std::thread other([&] {
        seenByOther = GetLastError();
        SetLastError(87);
    });
    other.join();
    EXPECT_EQ(seenByOther, 0u);
    EXPECT_EQ(GetLastError(), 5u);
}

TEST(SysErrors, ErrnoMapsToWindowsCodes)
{
    struct Case {
        int Err;
        TErrnoContext Context;
        std::uint32_t Code;
    };
    const Case cases[] = {
        {ENOENT, TErrnoContext::General, 2},       {ENOTDIR, TErrnoContext::General, 3},
        {EMFILE, TErrnoContext::General, 4},       {ENFILE, TErrnoContext::General, 4},
        {EACCES, TErrnoContext::General, 5},       {EPERM, TErrnoContext::General, 5},
        {EBADF, TErrnoContext::General, 6},        {ENOMEM, TErrnoContext::General, 8},
        {EXDEV, TErrnoContext::General, 17},       {EROFS, TErrnoContext::General, 19},
        {EBUSY, TErrnoContext::General, 32},       {ETXTBSY, TErrnoContext::General, 32},
        {EAGAIN, TErrnoContext::Lock, 33},         {EACCES, TErrnoContext::Lock, 33},
        {ENOSYS, TErrnoContext::General, 50},      {ENOTSUP, TErrnoContext::General, 50},
        {EEXIST, TErrnoContext::CreateFile, 80},   {EEXIST, TErrnoContext::CreateFolder, 183},
        {EINVAL, TErrnoContext::General, 87},      {ENOSPC, TErrnoContext::General, 112},
        {EDQUOT, TErrnoContext::General, 112},     {ENOTEMPTY, TErrnoContext::General, 145},
        {ENOEXEC, TErrnoContext::General, 193},    {ENAMETOOLONG, TErrnoContext::General, 206},
        {EIO, TErrnoContext::General, 1117},       {ECONNRESET, TErrnoContext::General, 31},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(SetLastErrorFromErrno(c.Err, c.Context), c.Code) << "errno " << c.Err;
        EXPECT_EQ(GetLastError(), c.Code);
    }
}

TEST(SysErrors, MissingParentFolderGivesPathNotFound)
{
    char pattern[] = "/tmp/syserrXXXXXX";
    const char* folder = mkdtemp(pattern);
    ASSERT_NE(folder, nullptr);
    const std::string base = folder;
    EXPECT_EQ(SetLastErrorFromErrno(ENOENT, base + "/missing.txt"), 2u);
    EXPECT_EQ(SetLastErrorFromErrno(ENOENT, base + "/nofolder/missing.txt"), 3u);
    EXPECT_EQ(SetLastErrorFromErrno(ENOENT, std::string("bare.txt")), 2u);
    rmdir(folder);
}

TEST(SysErrors, MessagesAreItalianWithAFallback)
{
    EXPECT_EQ(SysErrorMessage(0), "Operazione completata.");
    EXPECT_EQ(SysErrorMessage(2), "Il file indicato non esiste.");
    EXPECT_EQ(SysErrorMessage(183), "Il file o la cartella esiste gi\xE0.");
    EXPECT_EQ(SysErrorMessage(1223), "Operazione annullata dall'utente.");
    EXPECT_EQ(SysErrorMessage(4242), "Errore di sistema 4242.");
}

TEST(SysErrors, FormatMessageEndsWithCrLfAndRespectsTheBuffer)
{
    char buffer[64];
    const std::string expected = "Il file indicato non esiste.\r\n";
    EXPECT_EQ(FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM, nullptr, 2, 0, buffer, sizeof buffer, nullptr),
              expected.size());
    EXPECT_EQ(std::string(buffer), expected);

    char small[8] = "xxxxxxx";
    EXPECT_EQ(FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM, nullptr, 2, 0, small, sizeof small, nullptr), 0u);
    EXPECT_EQ(GetLastError(), 122u);
    EXPECT_EQ(std::string(small), "xxxxxxx");

    char* allocated = nullptr;
    EXPECT_EQ(FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_ALLOCATE_BUFFER, nullptr, 5, 0,
                             reinterpret_cast<char*>(&allocated), 0, nullptr),
              17u);
    ASSERT_NE(allocated, nullptr);
    EXPECT_EQ(std::string(allocated), "Accesso negato.\r\n");
    EXPECT_EQ(LocalFree(allocated), nullptr);
}
