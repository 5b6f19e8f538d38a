#pragma once
// Folders, files and peers of the cabinet tests.

#include "ArchiveTestSupport.h"
#include "archive/CABArchiver.h"
#include "platform/os/TempFiles.h"

#include <random>

// A fresh temporary folder per test, with the three source files of the compression cases.
class CabTest : public testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_FALSE(folder.Path().empty());
        root = fs::path(folder.Path());
        fs::create_directories(root / "src");
        WriteBytes(Source("testo.txt"), LcgBytes(300 * 1000));
        WriteBytes(Source("casuale.bin"), RandomBytes(100 * 1000, 7));
        WriteBytes(Source("vuoto.dat"), {});
    }

    fs::path Source(const std::string& name) const { return root / "src" / name; }

    static TBytes RandomBytes(std::size_t size, unsigned seed)
    {
        std::mt19937 generator(seed);
        TBytes bytes(size);
        for (auto& byte : bytes)
            byte = static_cast<std::uint8_t>(generator());
        return bytes;
    }

    void AddSources(TCABArchiver& archiver) const
    {
        for (const char* name : {"testo.txt", "casuale.bin", "vuoto.dat"})
            archiver.Contents().AddFile(Source(name).string());
    }

    // Every regular file below folder, by its path relative to it.
    static std::map<std::string, TBytes> Tree(const fs::path& folder)
    {
        std::map<std::string, TBytes> files;
        for (const auto& entry : fs::recursive_directory_iterator(folder))
            if (entry.is_regular_file())
                files[fs::relative(entry.path(), folder).string()] = ReadBytes(entry.path());
        return files;
    }

    TTempFolder folder{"cabtest"};
    fs::path root;
};
