// Throughput of the built-in archiver: shrinking the 50 MB LCG text with and without a progress
// handler, extracting it and an archive of 2,000 small members beside the unzip tool, and the
// round trip of a document-sized archive.

#include "archive/UnZip.h"
#include "archive/Zip.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <sys/resource.h>

namespace fs = std::filesystem;

namespace {

// User and system CPU of this process or of its finished children, in milliseconds.
struct TCpuTimes {
    double User = 0;
    double System = 0;
};

TCpuTimes CpuTimes(int who)
{
    rusage usage{};
    getrusage(who, &usage);
    auto ms = [](const timeval& t) { return t.tv_sec * 1e3 + t.tv_usec / 1e3; };
    return {ms(usage.ru_utime), ms(usage.ru_stime)};
}

// Sets the counters user_ms and sys_ms per iteration from the CPU used since start.
void SetCpuCounters(benchmark::State& state, int who, const TCpuTimes& start)
{
    const TCpuTimes end = CpuTimes(who);
    const double rounds = static_cast<double>(state.iterations());
    state.counters["user_ms"] = (end.User - start.User) / rounds;
    state.counters["sys_ms"] = (end.System - start.System) / rounds;
}

constexpr std::size_t LcgSize = 50000000;

// Removed when the benchmark ends.
struct TBenchFolder {
    fs::path Path;

    TBenchFolder()
    {
        char pattern[] = "/tmp/tess-archive-bench-XXXXXX";
        if (mkdtemp(pattern) == nullptr)
            std::abort();
        Path = pattern;
    }
    ~TBenchFolder()
    {
        std::error_code ignored;
        fs::remove_all(Path, ignored);
    }
};

const fs::path& BenchDir()
{
    static const TBenchFolder folder;
    return folder.Path;
}

void WriteFile(const fs::path& path, const std::vector<char>& bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

const fs::path& LcgText()
{
    static const fs::path path = [] {
        std::vector<char> text(LcgSize);
        std::uint64_t x = 1;
        for (char& c : text) {
            x = (1103515245ull * x + 12345ull) % (1ull << 31);
            c = "abcdefgh "[(x >> 16) % 9];
        }
        fs::path file = BenchDir() / "lcg50.txt";
        WriteFile(file, text);
        return file;
    }();
    return path;
}

bool CompressTo(const fs::path& archive, const std::vector<fs::path>& files, bool withProgress)
{
    TZip zip(nullptr);
    zip.SetArcName(archive.string());
    zip.Overwrite = true;
    for (const fs::path& file : files)
        zip.Files()->Add(file.string());
    if (withProgress)
        zip.OnProgress = [](TObject*, std::int16_t) {};
    zip.OnError = [](TObject*, const std::string& message) { std::fprintf(stderr, "%s\n", message.c_str()); };
    return zip.Compress();
}

const fs::path& LcgArchive()
{
    static const fs::path path = [] {
        fs::path archive = BenchDir() / "lcg50.zip";
        CompressTo(archive, {LcgText()}, false);
        return archive;
    }();
    return path;
}

void BM_CompressLcg(benchmark::State& state)
{
    const bool withProgress = state.range(0) != 0;
    const fs::path& text = LcgText();
    for (auto _ : state)
        if (!CompressTo(BenchDir() / "out.zip", {text}, withProgress))
            state.SkipWithError("Compress failed");
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * LcgSize));
    state.SetLabel(withProgress ? "no-op OnProgress" : "no OnProgress");
}
BENCHMARK(BM_CompressLcg)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->Iterations(3);

// The built-in reader and the unzip tool extract into the same folder, replacing the same files,
// so that both meet the same file-system state (new files in a folder full of recently deleted
// ones cost the file system more than in a fresh one).
fs::path LcgOutput()
{
    return BenchDir() / "lcg-out";
}

fs::path SmallMembersOutput()
{
    return BenchDir() / "small-out";
}

// Argument 0: into a folder of the user's, flushed to the disk before Extract answers;
// 1: into a staging folder, never flushed.
bool ExtractInto(const fs::path& archive, const fs::path& folder, bool staging)
{
    TUnZip unzip(nullptr);
    unzip.SetArcName(archive.string());
    unzip.SetExtrPath(folder.string());
    unzip.Overwrite = true;
    unzip.StagingFolder = staging;
    return unzip.Extract() && unzip.DamagedCount() == 0;
}

const char* FolderLabel(const benchmark::State& state)
{
    return state.range(0) != 0 ? "staging folder" : "user folder, flushed";
}

void BM_ExtractLcg(benchmark::State& state)
{
    const fs::path& archive = LcgArchive();
    const TCpuTimes start = CpuTimes(RUSAGE_SELF);
    for (auto _ : state)
        if (!ExtractInto(archive, LcgOutput(), state.range(0) != 0))
            state.SkipWithError("Extract failed");
    SetCpuCounters(state, RUSAGE_SELF, start);
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * LcgSize));
    state.SetLabel(FolderLabel(state));
}
BENCHMARK(BM_ExtractLcg)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();

// The unzip tool never flushes what it wrote; argument 1 adds the flush of the folder's file
// system that an extraction into a user folder makes before it answers.
std::string UnzipCommand(const fs::path& archive, const fs::path& folder, const benchmark::State& state)
{
    std::string command = "unzip -o -qq '" + archive.string() + "' -d '" + folder.string() + "'";
    if (state.range(0) != 0)
        command += " && sync -f '" + folder.string() + "'";
    return command;
}

const char* UnzipLabel(const benchmark::State& state)
{
    return state.range(0) != 0 ? "then sync -f" : "unflushed";
}

void BM_ExtractLcgWithUnzipTool(benchmark::State& state)
{
    const fs::path& archive = LcgArchive();
    const std::string command = UnzipCommand(archive, LcgOutput(), state);
    const TCpuTimes start = CpuTimes(RUSAGE_CHILDREN);
    for (auto _ : state)
        if (std::system(command.c_str()) != 0)
            state.SkipWithError("unzip failed");
    SetCpuCounters(state, RUSAGE_CHILDREN, start);
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * LcgSize));
    state.SetLabel(UnzipLabel(state));
}
BENCHMARK(BM_ExtractLcgWithUnzipTool)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();

constexpr int SmallMembers = 2000;

// 2,000 members of 2 to 40 KB of varied table-like text, shrunk by the built-in writer.
const fs::path& SmallMembersArchive()
{
    static const fs::path path = [] {
        fs::path folder = BenchDir() / "small-sources";
        fs::create_directories(folder);
        std::uint64_t x = 7;
        auto next = [&x] {
            x = (6364136223846793005ull * x + 1442695040888963407ull);
            return static_cast<std::uint32_t>(x >> 33);
        };
        std::vector<fs::path> files;
        for (int i = 0; i < SmallMembers; ++i) {
            std::vector<char> bytes(2048 + next() % (38 * 1024));
            for (std::size_t at = 0; at < bytes.size(); ++at)
                bytes[at] = (at % 61 == 60) ? '\n' : "Articolo;Prezzo;IVA 22;0123456789 "[next() % 34];
            char name[32];
            std::snprintf(name, sizeof name, "m%04d.dat", i);
            files.push_back(folder / name);
            WriteFile(files.back(), bytes);
        }
        fs::path archive = BenchDir() / "small.zip";
        if (!CompressTo(archive, files, false))
            std::abort();
        return archive;
    }();
    return path;
}

void BM_ExtractSmallMembers(benchmark::State& state)
{
    const fs::path& archive = SmallMembersArchive();
    const TCpuTimes start = CpuTimes(RUSAGE_SELF);
    for (auto _ : state)
        if (!ExtractInto(archive, SmallMembersOutput(), state.range(0) != 0))
            state.SkipWithError("Extract failed");
    SetCpuCounters(state, RUSAGE_SELF, start);
    state.SetItemsProcessed(state.iterations() * SmallMembers);
    state.SetLabel(FolderLabel(state));
}
BENCHMARK(BM_ExtractSmallMembers)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->Iterations(5)->UseRealTime();

void BM_ExtractSmallMembersWithUnzipTool(benchmark::State& state)
{
    const fs::path& archive = SmallMembersArchive();
    const std::string command = UnzipCommand(archive, SmallMembersOutput(), state);
    const TCpuTimes start = CpuTimes(RUSAGE_CHILDREN);
    for (auto _ : state)
        if (std::system(command.c_str()) != 0)
            state.SkipWithError("unzip failed");
    SetCpuCounters(state, RUSAGE_CHILDREN, start);
    state.SetItemsProcessed(state.iterations() * SmallMembers);
    state.SetLabel(UnzipLabel(state));
}
BENCHMARK(BM_ExtractSmallMembersWithUnzipTool)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->Iterations(5)->UseRealTime();

// Two 20 KiB members written and read back: the median of 1,000 round trips.
void BM_DocumentRoundTrip(benchmark::State& state)
{
    fs::path folder = BenchDir() / "doc";
    fs::create_directories(folder);
    std::vector<char> table(20 * 1024);
    for (std::size_t i = 0; i < table.size(); ++i)
        table[i] = static_cast<char>("Articolo;1,00;IVA 22\n"[i % 21]);
    WriteFile(folder / "Articoli.aft", table);
    std::reverse(table.begin(), table.end());
    WriteFile(folder / "Cliente.cft", table);
    for (auto _ : state) {
        std::vector<double> times;
        for (int round = 0; round < 1000; ++round) {
            auto start = std::chrono::steady_clock::now();
            CompressTo(folder / "doc.tsd", {folder / "Articoli.aft", folder / "Cliente.cft"}, false);
            TUnZip unzip(nullptr);
            unzip.SetArcName((folder / "doc.tsd").string());
            unzip.SetExtrPath((folder / "Temp").string());
            unzip.Overwrite = true;
            unzip.Extract();
            times.push_back(std::chrono::duration<double, std::milli>(
                                std::chrono::steady_clock::now() - start).count());
        }
        std::nth_element(times.begin(), times.begin() + 500, times.end());
        state.counters["median_ms"] = times[500];
    }
}
BENCHMARK(BM_DocumentRoundTrip)->Unit(benchmark::kMillisecond)->Iterations(1);

} // namespace
