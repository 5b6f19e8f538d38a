// Item lists made from paths, read back as paths and freed through the shell's allocator.

#include "platform/os/ShellFolders.h"

#include "TestEnvironment.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

TEST(ShellItemLists, PathsRoundTripAndMissingOnesGiveNone)
{
    const std::string folder = NewTestFolder("itemlists");
    WriteTestFile(folder + "/nota.txt", "x");
    struct TCase {
        std::string Given;
        const char* Expected; // nullptr: no item list
    };
    const std::string expectedFolder = folder;
    const std::string expectedFile = folder + "/nota.txt";
    const TCase cases[] = {
        {folder, expectedFolder.c_str()},
        {folder + "/", expectedFolder.c_str()},
        {folder + "/nota.txt", expectedFile.c_str()},
        {folder + "/manca", nullptr},
        {"", nullptr},
    };
    for (const TCase& c : cases) {
        LPITEMIDLIST list = ILCreateFromPathA(c.Given.c_str());
        if (!c.Expected) {
            EXPECT_EQ(list, nullptr) << c.Given;
            continue;
        }
        ASSERT_NE(list, nullptr) << c.Given;
        char buffer[MAX_PATH];
        ASSERT_TRUE(SHGetPathFromIDListA(list, buffer)) << c.Given;
        EXPECT_STREQ(buffer, c.Expected);
        ILFree(list);
    }
    EXPECT_EQ(ILCreateFromPathA(nullptr), nullptr);
}

TEST(ShellItemLists, TheAllocatorFreesItemListsAndItsOwnBlocks)
{
    EXPECT_EQ(SHGetMalloc(nullptr), E_INVALIDARG);
    LPMALLOC allocator = nullptr;
    ASSERT_EQ(SHGetMalloc(&allocator), S_OK);
    ASSERT_NE(allocator, nullptr);
    LPITEMIDLIST list = ILCreateFromPathA(NewTestFolder("allocator").c_str());
    ASSERT_NE(list, nullptr);
    // Freed through the allocator: the sanitizers report a leak or a wrong free otherwise.
    allocator->Free(list);
    void* block = allocator->Alloc(16);
    ASSERT_NE(block, nullptr);
    std::memset(block, 0xAB, 16);
    block = allocator->Realloc(block, 64);
    ASSERT_NE(block, nullptr);
    EXPECT_EQ(static_cast<unsigned char*>(block)[15], 0xAB);
    CoTaskMemFree(block);
    allocator->Free(nullptr);
    allocator->Release();
}

} // namespace
