// The error report's cost: a silent report kept in the log, a full report without its window,
// and the start of another program beside a plain posix_spawn of the same one.

#include "foundation/ExceptMessage.h"

#include "bench/foundation/ProgrammaTemporaneo.h"
#include "foundation/ScreenCapture.h"
#include "foundation/SupportFiles.h"
#include "foundation/SupportSystem.h"
#include "platform/gui/Application.h"
#include "platform/gui/SystemMetrics.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <fstream>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <vector>

extern char** environ;

namespace {

void BM_RapportoLivello2(benchmark::State& state)
{
    TProgrammaTemporaneo programma;
    for (auto _ : state)
        TFormExceptMessage::MostraErrore("", "Impossibile aprire il file", "ProcessHints", 412,
                                         "ImpostazioniFattura.cpp", nullptr, nullptr, "EFOpenError",
                                         "Streams.cpp", "88", 2);
    state.SetItemsProcessed(state.iterations());
    TFormExceptMessage::AzzeraRapporti();
}
BENCHMARK(BM_RapportoLivello2);

// Text file, memo, log and an 800 x 600 screen saved as a bitmap: every step but the window.
void BM_RapportoCompletoSenzaFinestra(benchmark::State& state)
{
    TProgrammaTemporaneo programma;
    const std::string schermo = programma.Percorso + "/schermo.json";
    std::ofstream(schermo) << R"({"screens": [{"name": "Schermo", "x": 0, "y": 0, "width": 800, "height": 600,
                                  "logicalDpi": 96, "logicalBaseDpi": 96, "dpr": 1}]})";
    setenv("QT_QPA_PLATFORM", ("offscreen:configfile=" + schermo).c_str(), 1);
    Application->Initialize();
    TFormExceptMessage* finestra = TFormExceptMessage::Create(nullptr);
    finestra->ScreenCapture->Delay = 0;
    const TFormExceptMessage::Rapporto rapporto{"Errore", "Impossibile aprire il file", "CaricaTabella", 412,
                                                "DataModule.cpp", nullptr, nullptr, "EFOpenError",
                                                "Streams.cpp", "88", 0};
    for (auto _ : state) {
        TFormExceptMessage::CancellaFileRapporto();
        finestra->ScriviRapporto(TFormExceptMessage::ComponiRapporto(rapporto));
        finestra->SalvaSchermata();
    }
    state.counters["larghezza"] = GetSystemMetrics(SM_CXSCREEN);
    state.counters["altezza"] = GetSystemMetrics(SM_CYSCREEN);
    TComponent::Free(finestra);
}
BENCHMARK(BM_RapportoCompletoSenzaFinestra)->Unit(benchmark::kMillisecond);

void BM_AvviaComando(benchmark::State& state)
{
    for (auto _ : state)
        benchmark::DoNotOptimize(AvviaComando("/bin/true"));
}
BENCHMARK(BM_AvviaComando)->Unit(benchmark::kMicrosecond);

void BM_PosixSpawn(benchmark::State& state)
{
    char programma[] = "/bin/true";
    char* argomenti[] = {programma, nullptr};
    // Only the start is measured, as for AvviaComando, whose children also run on while the
    // next ones start; they are collected outside the measure.
    std::vector<pid_t> figli;
    for (auto _ : state) {
        pid_t figlio = 0;
        if (posix_spawn(&figlio, programma, nullptr, nullptr, argomenti, environ) == 0)
            figli.push_back(figlio);
        if (figli.size() == 64) {
            state.PauseTiming();
            for (pid_t raccolto : figli)
                waitpid(raccolto, nullptr, 0);
            figli.clear();
            state.ResumeTiming();
        }
    }
    for (pid_t raccolto : figli)
        waitpid(raccolto, nullptr, 0);
}
BENCHMARK(BM_PosixSpawn)->Unit(benchmark::kMicrosecond);

} // namespace
