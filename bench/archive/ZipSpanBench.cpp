// A 500 MB archive written as a set of 100 MB parts beside cp of the same file, and the set
// joined again beside cat of its parts into one file, measured in the same run.

#include "archive/ZipArchiver.h"

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

namespace ZipSpanBench {

namespace fs = std::filesystem;
using ZipArchiverBench::RunOrAbort;
using ZipCoreBench::Scratch;

constexpr std::int64_t PartSize = 100000000;

// Five stored entries of 100 MB each.
const fs::path& Source500MB()
{
    static const fs::path archive = [] {
        const fs::path path = Scratch() / "span-source.zip";
        RunOrAbort("python3 -c 'import sys, zipfile\n"
                   "block = bytes(range(256)) * 4096\n"
                   "with zipfile.ZipFile(sys.argv[1], \"w\") as z:\n"
                   "    for n in range(5):\n"
                   "        with z.open(\"dati%d.bin\" % n, \"w\", force_zip64=False) as f:\n"
                   "            for i in range(100): f.write(block[:1000000])\n' '" +
                   path.string() + "'");
        return path;
    }();
    return archive;
}

fs::path SetFolder() { return Scratch() / "span-set"; }

// The set written once, for the joins.
const std::vector<fs::path>& WrittenSet()
{
    static const std::vector<fs::path> parts = [] {
        fs::create_directories(SetFolder());
        TZipArchiver zip(nullptr);
        zip.Unattended = true;
        zip.SetMaxVolumeSize(PartSize);
        if (zip.WriteSpan(Source500MB().string(), (SetFolder() / "set.zip").string()) != 0)
            std::abort();
        std::vector<fs::path> found;
        for (int n = 1; fs::exists(SetFolder() / ("set00" + std::to_string(n) + ".zip")); ++n)
            found.push_back(SetFolder() / ("set00" + std::to_string(n) + ".zip"));
        return found;
    }();
    return parts;
}

void BM_WriteSpan500MB(benchmark::State& state)
{
    const fs::path folder = Scratch() / "span-write";
    TZipArchiver zip(nullptr);
    zip.Unattended = true;
    zip.SetMaxVolumeSize(PartSize);
    Source500MB();
    for (auto _ : state) {
        state.PauseTiming();
        fs::remove_all(folder);
        fs::create_directories(folder);
        state.ResumeTiming();
        if (zip.WriteSpan(Source500MB().string(), (folder / "parte.zip").string()) != 0)
            state.SkipWithError("WriteSpan failed");
    }
    fs::remove_all(folder);
}
BENCHMARK(BM_WriteSpan500MB)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

void BM_CopyWithCp500MB(benchmark::State& state)
{
    const fs::path copy = Scratch() / "span-copy.zip";
    const std::string command = "cp '" + Source500MB().string() + "' '" + copy.string() + "'";
    for (auto _ : state) {
        state.PauseTiming();
        fs::remove(copy);
        state.ResumeTiming();
        if (std::system(command.c_str()) != 0)
            state.SkipWithError("cp failed");
    }
    fs::remove(copy);
}
BENCHMARK(BM_CopyWithCp500MB)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

void BM_ReadSpan500MB(benchmark::State& state)
{
    const fs::path folder = Scratch() / "span-join";
    fs::create_directories(folder);
    const std::string last = WrittenSet().back().string();
    TZipArchiver zip(nullptr);
    zip.Unattended = true;
    for (auto _ : state) {
        std::string joined = (folder / "unito.zip").string();
        if (zip.ReadSpan(last, joined) != 0)
            state.SkipWithError("ReadSpan failed");
        state.PauseTiming();
        fs::remove(joined);
        state.ResumeTiming();
    }
    state.counters["parts"] = static_cast<double>(WrittenSet().size());
    fs::remove_all(folder);
}
BENCHMARK(BM_ReadSpan500MB)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

void BM_CatParts500MB(benchmark::State& state)
{
    const fs::path joined = Scratch() / "span-cat.zip";
    std::string command = "cat";
    for (const fs::path& part : WrittenSet())
        command += " '" + part.string() + "'";
    command += " > '" + joined.string() + "'";
    for (auto _ : state) {
        if (std::system(command.c_str()) != 0)
            state.SkipWithError("cat failed");
        state.PauseTiming();
        fs::remove(joined);
        state.ResumeTiming();
    }
}
BENCHMARK(BM_CatParts500MB)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

} // namespace ZipSpanBench
