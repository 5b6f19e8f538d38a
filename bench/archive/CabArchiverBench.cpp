// The CAB archiver on 100 MB of text: Compress with MSZIP beside gcab -cz on the same files, and
// ExtractAll of that cabinet beside cabextract -q.

#include "archive/CABArchiver.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

namespace ZipCoreBench {
const std::filesystem::path& Scratch();
}

namespace CabArchiverBench {

namespace fs = std::filesystem;

constexpr int TextFiles = 10;
constexpr std::size_t TextFileSize = 10'000'000;

void RunOrAbort(const std::string& command)
{
    if (std::system(command.c_str()) != 0)
        std::abort();
}

// Ten files of 10 MB of invoice-like lines in the folder "testi".
const fs::path& TextFolder()
{
    static const fs::path folder = [] {
        const fs::path path = ZipCoreBench::Scratch() / "cab" / "testi";
        fs::create_directories(path);
        std::uint64_t state = 12345;
        static const char* const words[] = {"fattura", "cliente", "importo", "euro", "aliquota", "iva",
                                            "scadenza", "pagamento", "bonifico", "totale", "sconto", "riga"};
        for (int file = 0; file < TextFiles; ++file) {
            std::string text;
            text.reserve(TextFileSize + 64);
            while (text.size() < TextFileSize) {
                state = 6364136223846793005ull * state + 1442695040888963407ull;
                text += words[(state >> 33) % 12];
                text += (state >> 40) % 9 == 0 ? "\r\n" : " ";
                if ((state >> 45) % 5 == 0)
                    text += std::to_string((state >> 20) % 100000);
            }
            text.resize(TextFileSize);
            std::ofstream(path / ("testo" + std::to_string(file) + ".txt"), std::ios::binary) << text;
        }
        return path;
    }();
    return folder;
}

fs::path ComponentCabinet()
{
    return ZipCoreBench::Scratch() / "cab" / "componente.cab";
}

void CompressWithComponent()
{
    TCABArchiver archiver(nullptr);
    archiver.SetFileDirExtraction(true);
    archiver.Compression = TCompression::MsZip;
    for (int file = 0; file < TextFiles; ++file)
        archiver.Contents().AddFile((TextFolder() / ("testo" + std::to_string(file) + ".txt")).string());
    archiver.FileName = ComponentCabinet().string();
    archiver.Compress();
}

void BM_CabCompressMsZipComponent(benchmark::State& state)
{
    TextFolder();
    for (auto _ : state)
        CompressWithComponent();
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * TextFiles * TextFileSize);
}
BENCHMARK(BM_CabCompressMsZipComponent)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(2);

void BM_CabCompressMsZipGcab(benchmark::State& state)
{
    const fs::path cabinet = ZipCoreBench::Scratch() / "cab" / "gcab.cab";
    const std::string command = "cd '" + TextFolder().string() + "' && rm -f '" + cabinet.string() + "' && gcab -cz '"
                                + cabinet.string() + "' testo*.txt";
    for (auto _ : state)
        RunOrAbort(command);
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * TextFiles * TextFileSize);
}
BENCHMARK(BM_CabCompressMsZipGcab)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(2);

void BM_CabExtractAllComponent(benchmark::State& state)
{
    if (!fs::exists(ComponentCabinet()))
        CompressWithComponent();
    const fs::path target = ZipCoreBench::Scratch() / "cab" / "estratti";
    for (auto _ : state) {
        TCABArchiver archiver(nullptr);
        archiver.FileName = ComponentCabinet().string();
        archiver.ExtractDir = target.string();
        archiver.ExtractAll();
    }
    fs::remove_all(target);
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * TextFiles * TextFileSize);
}
BENCHMARK(BM_CabExtractAllComponent)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(2);

void BM_CabExtractAllCabextract(benchmark::State& state)
{
    if (!fs::exists(ComponentCabinet()))
        CompressWithComponent();
    const fs::path target = ZipCoreBench::Scratch() / "cab" / "estratti-peer";
    const std::string command = "cabextract -q -d '" + target.string() + "' '" + ComponentCabinet().string() + "'";
    for (auto _ : state)
        RunOrAbort(command);
    fs::remove_all(target);
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * TextFiles * TextFileSize);
}
BENCHMARK(BM_CabExtractAllCabextract)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(2);

} // namespace CabArchiverBench
