#pragma once
// One run of the extraction fuzz target: the input is written as an archive and extracted into
// a fresh folder; anything that appears outside that folder aborts the run.

#include "archive/UnZip.h"
#include "archive/ZipFormat.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

// Inputs whose local headers promise more than this are not run: the disk would fill up.
constexpr std::uint32_t FuzzMaxUncompressed = 4u << 20;

inline bool FuzzClaimsTooMuch(const std::uint8_t* data, std::size_t size)
{
    for (std::size_t i = 0; i + ZipLocalHeaderSize <= size; ++i)
        if (GetLE32(data + i) == ZipLocalHeaderSignature && GetLE32(data + i + 22) > FuzzMaxUncompressed)
            return true;
    return false;
}

// A private folder, removed when the process ends; in memory when there is such a file system.
struct TFuzzFolder {
    std::filesystem::path Path;

    TFuzzFolder()
    {
        for (std::string pattern : {"/dev/shm/tess-unzip-fuzz-XXXXXX", "/tmp/tess-unzip-fuzz-XXXXXX"}) {
            if (mkdtemp(pattern.data()) != nullptr) {
                Path = pattern;
                return;
            }
        }
        std::abort();
    }
    ~TFuzzFolder()
    {
        std::error_code ignored;
        std::filesystem::remove_all(Path, ignored);
    }
};

inline const std::filesystem::path& FuzzRoot()
{
    static const TFuzzFolder folder;
    return folder.Path;
}

inline void RunUnZipFuzzCase(const std::uint8_t* data, std::size_t size)
{
    namespace fs = std::filesystem;
    if (FuzzClaimsTooMuch(data, size))
        return;
    const fs::path& root = FuzzRoot();
    const fs::path archive = root / "input.zip";
    const fs::path work = root / "work";
    const fs::path into = work / "out";
    {
        std::ofstream out(archive, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    }
    fs::create_directories(into);

    TUnZip unzip(nullptr);
    unzip.SetArcName(archive.string());
    unzip.SetExtrPath(into.string() + "/");
    unzip.Overwrite = true;
    unzip.StagingFolder = true;
    unzip.OnError = [](TObject*, const std::string&) {};
    unzip.Extract();

    // Only the archive and the work folder in the root, only the extraction folder in work.
    for (const fs::path& folder : {root, work}) {
        for (const auto& entry : fs::directory_iterator(folder)) {
            const fs::path& path = entry.path();
            if (path != archive && path != work && path != into) {
                std::fprintf(stderr, "extraction escaped its folder: %s\n", path.c_str());
                std::abort();
            }
        }
    }
    std::error_code ignored;
    fs::remove_all(work, ignored);
}
