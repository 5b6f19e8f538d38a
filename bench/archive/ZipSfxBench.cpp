// Renaming one entry of a 200 MB archive of 5,000 entries beside cp of that archive, and making
// a self-extractor of it beside cat of the stub and the archive, measured in the same run.

#include "archive/ZipArchiver.h"
#include "tests/TestFixtures.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <string>

namespace ZipCoreBench {
const std::filesystem::path& Scratch();
}
namespace ZipArchiverBench {
void RunOrAbort(const std::string& command);
}

namespace ZipSfxBench {

namespace fs = std::filesystem;
using ZipArchiverBench::RunOrAbort;
using ZipCoreBench::Scratch;

// 5,000 stored entries of 40,000 bytes each.
const fs::path& Source200MB()
{
    static const fs::path archive = [] {
        const fs::path path = Scratch() / "sfx-source.zip";
        RunOrAbort("python3 -c 'import sys, zipfile\n"
                   "block = bytes(range(256)) * 160\n"
                   "with zipfile.ZipFile(sys.argv[1], \"w\") as z:\n"
                   "    for n in range(5000): z.writestr(\"dati/voce%04d.bin\" % n, block[:40000])\n' '" +
                   path.string() + "'");
        return path;
    }();
    return archive;
}

const fs::path& Stub()
{
    static const fs::path stub = [] {
        const fs::path path = Scratch() / "ZipSFX.bin";
        RunOrAbort("python3 '" + (fs::path(TestFixtureDir()) / ".." / ".." / "tests" / "tools" / "pestub.py").string() +
                   "' exe '" + path.string() + "'");
        return path;
    }();
    return stub;
}

void Fresh(const fs::path& copy)
{
    fs::remove(copy);
    fs::copy_file(Source200MB(), copy);
}

void BM_Rename200MB(benchmark::State& state)
{
    const fs::path archive = Scratch() / "sfx-rename.zip";
    TZipArchiver zip(nullptr);
    zip.Unattended = true;
    zip.HowToDelete = htdFinal;
    zip.TempDir = Scratch().string();
    for (auto _ : state) {
        state.PauseTiming();
        Fresh(archive);
        zip.SetZipFileName(archive.string());
        std::vector<RenamePair> pairs = {{"dati\\voce2500.bin", "dati\\rinominata.bin"}};
        state.ResumeTiming();
        if (zip.Rename(pairs, 0) != 0)
            state.SkipWithError("Rename failed");
    }
    fs::remove(archive);
}
BENCHMARK(BM_Rename200MB)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

void BM_CopyWithCp200MB(benchmark::State& state)
{
    const fs::path copy = Scratch() / "sfx-copy.zip";
    const std::string command = "cp '" + Source200MB().string() + "' '" + copy.string() + "'";
    for (auto _ : state) {
        state.PauseTiming();
        fs::remove(copy);
        state.ResumeTiming();
        if (std::system(command.c_str()) != 0)
            state.SkipWithError("cp failed");
    }
    fs::remove(copy);
}
BENCHMARK(BM_CopyWithCp200MB)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

void BM_ConvertSFX200MB(benchmark::State& state)
{
    const fs::path archive = Scratch() / "sfx-convert.zip";
    TZipArchiver zip(nullptr);
    zip.Unattended = true;
    zip.HowToDelete = htdFinal;
    zip.SFXPath = Stub().string();
    for (auto _ : state) {
        state.PauseTiming();
        fs::remove(Scratch() / "sfx-convert.exe");
        Fresh(archive);
        zip.SetZipFileName(archive.string());
        state.ResumeTiming();
        if (zip.ConvertSFX() != 0)
            state.SkipWithError("ConvertSFX failed");
    }
    fs::remove(Scratch() / "sfx-convert.exe");
}
BENCHMARK(BM_ConvertSFX200MB)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

void BM_CatStubAndArchive200MB(benchmark::State& state)
{
    const fs::path out = Scratch() / "sfx-cat.exe";
    const std::string command = "cat '" + Stub().string() + "' '" + Source200MB().string() + "' > '" + out.string() + "'";
    for (auto _ : state) {
        state.PauseTiming();
        fs::remove(out);
        state.ResumeTiming();
        if (std::system(command.c_str()) != 0)
            state.SkipWithError("cat failed");
    }
    fs::remove(out);
}
BENCHMARK(BM_CatStubAndArchive200MB)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

} // namespace ZipSfxBench
