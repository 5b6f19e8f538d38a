// The settings store, the encrypted setting and the key file's digest at the sizes the program meets.

#include "foundation/Configurazione.h"
#include "foundation/SecHash.h"
#include "foundation/SupportFiles.h"
#include "platform/rtl/Files.h"

#include "bench/foundation/ProgrammaTemporaneo.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>

namespace {

namespace fs = std::filesystem;

std::string File64MiB(const std::string& cartella)
{
    const std::string percorso = cartella + "/grande.bin";
    std::mt19937_64 casuale(64);
    std::string byte(64 << 20, '\0');
    for (size_t i = 0; i + 8 <= byte.size(); i += 8) {
        const uint64_t valore = casuale();
        std::memcpy(&byte[i], &valore, 8);
    }
    std::ofstream(percorso, std::ios::binary) << byte;
    return percorso;
}

// HashFile and sha1sum on the same 64 MiB file, side by side.
void BM_HashFile64MiB(benchmark::State& state)
{
    TProgrammaTemporaneo programma;
    const std::string percorso = File64MiB(programma.Percorso);
    TSecHash hash(nullptr);
    for (auto _ : state)
        benchmark::DoNotOptimize(hash.HashFile(percorso));
}
BENCHMARK(BM_HashFile64MiB)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_Sha1sum64MiB(benchmark::State& state)
{
    TProgrammaTemporaneo programma;
    const std::string comando = "sha1sum '" + File64MiB(programma.Percorso) + "' > /dev/null";
    for (auto _ : state)
        if (std::system(comando.c_str()) != 0)
            state.SkipWithError("sha1sum failed");
}
BENCHMARK(BM_Sha1sum64MiB)->Unit(benchmark::kMillisecond)->UseRealTime();

// One write and one read of a 500-byte password, key digest and INI access included.
void BM_ImpostazioneCifrata500(benchmark::State& state)
{
    TProgrammaTemporaneo programma;
    InizializzaConfigurazione("Ventisca\\Tessellarium", 1);
    std::string valore;
    for (int i = 0; i < 500; ++i)
        valore += static_cast<char>('!' + i % 90);
    for (auto _ : state) {
        ScriviImpostazioneCifrata("Ventisca,Tessellarium,Generale", "SmtpPass", valore);
        benchmark::DoNotOptimize(LeggiImpostazioneCifrata("Ventisca,Tessellarium,Generale", "SmtpPass", ""));
    }
}
BENCHMARK(BM_ImpostazioneCifrata500)->Unit(benchmark::kMicrosecond)->UseRealTime();

// 10,000 reads from a 2 KiB INI file.
void BM_LeggiImpostazione10000(benchmark::State& state)
{
    TProgrammaTemporaneo programma;
    InizializzaConfigurazione("Ventisca\\Tessellarium", 1);
    int chiavi = 0;
    do
        ScriviImpostazione("Ventisca,Tessellarium,Generale", "Chiave" + std::to_string(chiavi++), std::string(40, 'v'));
    while (fs::file_size(ResolvePath(PercorsoFileIni())) < 2048);
    for (auto _ : state)
        for (int i = 0; i < 10000; ++i)
            benchmark::DoNotOptimize(LeggiImpostazione("Ventisca,Tessellarium,Generale", "Chiave7", ""));
}
BENCHMARK(BM_LeggiImpostazione10000)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace
