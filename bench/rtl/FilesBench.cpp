#include "platform/rtl/Files.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

namespace {

namespace fs = std::filesystem;

// A data folder as the program keeps it: a few hundred files beside the one looked up.
class TDataFolder {
public:
    TDataFolder()
    {
        std::string pattern = (fs::temp_directory_path() / "tess-bench-XXXXXX").string();
        if (!mkdtemp(pattern.data()))
            std::abort();
        Root = pattern;
        fs::create_directories(Root + "/Shared/Data");
        for (int i = 0; i < 300; ++i)
            std::ofstream(Root + "/Shared/Data/Tabella" + std::to_string(i) + ".DAT") << i;
        std::ofstream(Root + "/Shared/Data/CLIENTI.dat") << "x";
    }
    ~TDataFolder()
    {
        std::error_code ignored;
        fs::remove_all(Root, ignored);
    }
    std::string Root;
};

TDataFolder& Folder()
{
    static TDataFolder folder;
    return folder;
}

void BM_ResolveMixedCasePath(benchmark::State& state)
{
    const std::string name = Folder().Root + "\\shared\\DATA\\Clienti.DAT";
    if (ResolvePath(name) != Folder().Root + "/Shared/Data/CLIENTI.dat")
        state.SkipWithError("path not resolved");
    for (auto _ : state)
        benchmark::DoNotOptimize(ResolvePath(name));
}
BENCHMARK(BM_ResolveMixedCasePath);

void BM_ResolveExactPath(benchmark::State& state)
{
    const std::string name = Folder().Root + "/Shared/Data/CLIENTI.dat";
    for (auto _ : state)
        benchmark::DoNotOptimize(ResolvePath(name));
}
BENCHMARK(BM_ResolveExactPath);

void BM_FileExistsMixedCase(benchmark::State& state)
{
    const std::string name = Folder().Root + "\\shared\\DATA\\Clienti.DAT";
    for (auto _ : state)
        benchmark::DoNotOptimize(FileExists(name));
}
BENCHMARK(BM_FileExistsMixedCase);

} // namespace
