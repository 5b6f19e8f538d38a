// Copying a 256 MiB file with a progress bar through the temporary name against
// std::filesystem::copy_file of the same file on the same disk, and clearing a tree of 20,000
// small files in 200 folders against std::filesystem::remove_all of an identical tree.

#include "controls/FileUtil.h"
#include "platform/gui/Application.h"
#include "platform/gui/ScrollBar.h"
#include "platform/os/TempFiles.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>

namespace {

namespace fs = std::filesystem;

// A folder below the temporary path for the run, removed at exit.
const fs::path& FileUtilBenchFolder()
{
    static const TTempFolder folder("fileutilbench");
    static const fs::path path(folder.Path());
    return path;
}

const fs::path& FileUtilBenchSource()
{
    static const fs::path source = [] {
        const fs::path name = FileUtilBenchFolder() / "source.bin";
        std::ofstream out(name, std::ios::binary);
        std::mt19937_64 random(7);
        std::vector<std::uint64_t> block(1 << 17); // 1 MiB
        for (int megabyte = 0; megabyte < 256; ++megabyte) {
            for (auto& word : block)
                word = random();
            out.write(reinterpret_cast<const char*>(block.data()), static_cast<std::streamsize>(block.size() * 8));
        }
        return name;
    }();
    return source;
}

void BM_CopyFileExWithProgress(benchmark::State& state)
{
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    Application->Initialize();
    const fs::path& source = FileUtilBenchSource();
    const fs::path target = FileUtilBenchFolder() / "copy_ex.bin";
    TProgressBar progress(nullptr);
    for (auto _ : state)
        CopyFileEx(source.string(), target.string(), false, false, &progress);
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(fs::file_size(source)));
    fs::remove(target);
}
BENCHMARK(BM_CopyFileExWithProgress)->Unit(benchmark::kMillisecond)->Iterations(5);

void BM_StdCopyFile(benchmark::State& state)
{
    const fs::path& source = FileUtilBenchSource();
    const fs::path target = FileUtilBenchFolder() / "copy_std.bin";
    for (auto _ : state)
        fs::copy_file(source, target, fs::copy_options::overwrite_existing);
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(fs::file_size(source)));
    fs::remove(target);
}
BENCHMARK(BM_StdCopyFile)->Unit(benchmark::kMillisecond)->Iterations(5);

// 200 folders of 100 files of 64 bytes.
fs::path FileUtilBenchTree(const std::string& name)
{
    const fs::path root = FileUtilBenchFolder() / name;
    const std::string bytes(64, 'x');
    for (int folder = 0; folder < 200; ++folder) {
        const fs::path sub = root / ("cartella" + std::to_string(folder));
        fs::create_directories(sub);
        for (int file = 0; file < 100; ++file)
            std::ofstream(sub / ("file" + std::to_string(file) + ".dat"), std::ios::binary) << bytes;
    }
    return root;
}

void BM_ClearDirTree(benchmark::State& state)
{
    for (auto _ : state) {
        state.PauseTiming();
        const fs::path root = FileUtilBenchTree("clear");
        state.ResumeTiming();
        if (!ClearDir(root.string(), true))
            state.SkipWithError("ClearDir failed");
    }
    state.SetItemsProcessed(state.iterations() * 20000);
}
BENCHMARK(BM_ClearDirTree)->Unit(benchmark::kMillisecond)->Iterations(5);

void BM_RemoveAllTree(benchmark::State& state)
{
    for (auto _ : state) {
        state.PauseTiming();
        const fs::path root = FileUtilBenchTree("remove");
        state.ResumeTiming();
        fs::remove_all(root);
    }
    state.SetItemsProcessed(state.iterations() * 20000);
}
BENCHMARK(BM_RemoveAllTree)->Unit(benchmark::kMillisecond)->Iterations(5);

} // namespace
