// The ZIP component's own listing of a 20,000-entry archive beside zipinfo -1 on the same file,
// and the archive comment written into a 200 MB archive.

#include "archive/ZipArchiver.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <string>

// The scratch folder the engine benchmarks of this executable share, removed at exit.
namespace ZipCoreBench {
const std::filesystem::path& Scratch();
}

namespace ZipArchiverBench {

namespace fs = std::filesystem;
using ZipCoreBench::Scratch;

constexpr int ListedEntries = 20000;

void RunOrAbort(const std::string& command)
{
    if (std::system(command.c_str()) != 0)
        std::abort();
}

// 20,000 small entries in 40 folders, written by python's zipfile.
const fs::path& ManyEntriesArchive()
{
    static const fs::path archive = [] {
        const fs::path path = Scratch() / "many.zip";
        RunOrAbort("python3 -c 'import sys, zipfile\n"
                   "with zipfile.ZipFile(sys.argv[1], \"w\", zipfile.ZIP_DEFLATED) as z:\n"
                   "    for i in range(20000): z.writestr(\"Cartella%02d/Voce%05d.txt\" % (i % 40, i), \"voce \" * (20 + i % 400))\n' '" +
                   path.string() + "'");
        return path;
    }();
    return archive;
}

// One stored entry of 200 MB.
const fs::path& LargeArchive()
{
    static const fs::path archive = [] {
        const fs::path path = Scratch() / "large.zip";
        RunOrAbort("python3 -c 'import sys, zipfile\n"
                   "with zipfile.ZipFile(sys.argv[1], \"w\") as z:\n"
                   "    with z.open(\"dati.bin\", \"w\", force_zip64=False) as f:\n"
                   "        block = bytes(range(256)) * 4096\n"
                   "        for i in range(200): f.write(block[:1000000])\n' '" +
                   path.string() + "'");
        return path;
    }();
    return archive;
}

void BM_ListWithComponent(benchmark::State& state)
{
    const std::string archive = ManyEntriesArchive().string();
    TZipArchiver zip(nullptr);
    zip.Unattended = true;
    for (auto _ : state) {
        zip.SetZipFileName(archive);
        if (zip.GetCount() != ListedEntries)
            state.SkipWithError("listing failed");
    }
    state.counters["entries"] = ListedEntries;
}
BENCHMARK(BM_ListWithComponent)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_ListWithZipinfo(benchmark::State& state)
{
    const std::string command = "zipinfo -1 '" + ManyEntriesArchive().string() + "' > /dev/null";
    for (auto _ : state)
        if (std::system(command.c_str()) != 0)
            state.SkipWithError("zipinfo failed");
}
BENCHMARK(BM_ListWithZipinfo)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_SetZipCommentOnLargeArchive(benchmark::State& state)
{
    TZipArchiver zip(nullptr);
    zip.Unattended = true;
    zip.SetZipFileName(LargeArchive().string());
    bool longer = false;
    for (auto _ : state) {
        longer = !longer;
        zip.SetZipComment(longer ? "Tessellarium_3.0.18" : "Tessellarium");
        if (zip.ErrCode != 0)
            state.SkipWithError("comment not written");
    }
    state.counters["archive_MB"] = static_cast<double>(fs::file_size(LargeArchive())) / 1e6;
}
BENCHMARK(BM_SetZipCommentOnLargeArchive)->Unit(benchmark::kMicrosecond)->UseRealTime();

} // namespace ZipArchiverBench
