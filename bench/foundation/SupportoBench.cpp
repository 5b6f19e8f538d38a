// Texts, file lists, rounding and the daily log at the sizes the program meets.

#include "foundation/ContabilitaTools.h"
#include "foundation/Log.h"
#include "foundation/SupportFiles.h"
#include "foundation/SupportString.h"
#include "foundation/Supporto.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

// 1 MiB holding 50,000 occurrences of "[Var]".
std::string TestoConSegnaposto()
{
    std::string testo;
    testo.reserve(1 << 20);
    const std::string riempitivo(1048576 / 50000 - 5, 'a');
    for (int i = 0; i < 50000; ++i)
        testo += riempitivo + "[Var]";
    testo.resize(1 << 20, 'a');
    return testo;
}

void BM_SostituisciTesto(benchmark::State& state)
{
    const std::string testo = TestoConSegnaposto();
    for (auto _ : state)
        benchmark::DoNotOptimize(SostituisciTesto(testo, "[Var]", "x"));
}
BENCHMARK(BM_SostituisciTesto)->Unit(benchmark::kMillisecond);

void BM_DividiTesto(benchmark::State& state)
{
    std::string testo;
    const std::string elemento(1048576 / 100000 - 1, 'b');
    for (int i = 0; i < 100000; ++i)
        testo += elemento + ';';
    for (auto _ : state)
        benchmark::DoNotOptimize(DividiTesto(testo, ';'));
}
BENCHMARK(BM_DividiTesto)->Unit(benchmark::kMillisecond);

// A folder of 20,000 files, 10,000 of them documents.
const std::string& CartellaGrande()
{
    static const std::string cartella = [] {
        const std::string percorso = (fs::temp_directory_path() / "bench-foundation-elenco").string();
        if (!fs::exists(percorso + "/doc19999.TSD")) {
            fs::create_directories(percorso);
            for (int i = 0; i < 20000; ++i)
                std::ofstream(percorso + "/doc" + std::to_string(i) + (i % 2 ? ".TSD" : ".dat"));
        }
        return percorso;
    }();
    return cartella;
}

void BM_ElencoFile(benchmark::State& state)
{
    const std::string maschera = CartellaGrande() + "\\*.tsd";
    for (auto _ : state) {
        const auto elenco = ElencoFile(maschera);
        if (elenco->Count() != 10000)
            state.SkipWithError("wrong count");
    }
}
BENCHMARK(BM_ElencoFile)->Unit(benchmark::kMillisecond)->UseRealTime();

// The same listing by find(1), for comparison.
void BM_FindDiSistema(benchmark::State& state)
{
    const std::string comando =
        "find '" + CartellaGrande() + "' -maxdepth 1 -type f -iname '*.tsd' > /dev/null";
    for (auto _ : state)
        if (std::system(comando.c_str()) != 0)
            state.SkipWithError("find failed");
}
BENCHMARK(BM_FindDiSistema)->Unit(benchmark::kMillisecond)->UseRealTime();

std::vector<double> ImportiCasuali()
{
    std::mt19937_64 caso(18);
    std::uniform_int_distribution<long long> k(-10000000000LL, 10000000000LL);
    std::vector<double> importi(1000000);
    for (double& importo : importi)
        importo = static_cast<double>(k(caso)) / 1000.0;
    return importi;
}

void BM_Arrotonda(benchmark::State& state)
{
    const std::vector<double> importi = ImportiCasuali();
    size_t i = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(Arrotonda(importi[i], 2));
        i = (i + 1) % importi.size();
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_Arrotonda);

void BM_ArrotondaImporto(benchmark::State& state)
{
    const std::vector<double> importi = ImportiCasuali();
    ImpostaDecimali(2);
    size_t i = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(ArrotondaImporto(importi[i]));
        i = (i + 1) % importi.size();
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_ArrotondaImporto);

void BM_FormattaImporto(benchmark::State& state)
{
    const std::vector<double> importi = ImportiCasuali();
    ImpostaDecimali(2);
    size_t i = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(FormattaImporto(importi[i]));
        i = (i + 1) % importi.size();
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_FormattaImporto);

std::string CartellaLog()
{
    return (fs::temp_directory_path() / "bench-foundation-log").string();
}

void BM_ScriviElenco(benchmark::State& state)
{
    TStringList righe;
    for (int i = 0; i < 10000; ++i)
        righe.Add("Riga di prova del registro numero " + std::to_string(i));
    TLog log(CartellaLog());
    for (auto _ : state) {
        state.PauseTiming();
        fs::remove(log.Percorso());
        state.ResumeTiming();
        log.ScriviElenco(righe);
    }
}
BENCHMARK(BM_ScriviElenco)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_MilleScrivi(benchmark::State& state)
{
    TLog log(CartellaLog());
    for (auto _ : state) {
        state.PauseTiming();
        fs::remove(log.Percorso());
        state.ResumeTiming();
        for (int i = 0; i < 1000; ++i)
            log.Scrivi("Riga di prova del registro");
    }
}
BENCHMARK(BM_MilleScrivi)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace
