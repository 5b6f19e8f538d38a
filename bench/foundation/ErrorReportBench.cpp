// The error report's cost: a silent report kept in the log, a full report without its window,
// and the start of another program beside a plain posix_spawn of the same one.

#include "foundation/ExceptMessage.h"
#include "foundation/ScreenCapture.h"
#include "foundation/SupportFiles.h"
#include "foundation/SupportSystem.h"
#include "platform/gui/Application.h"
#include "platform/gui/SystemMetrics.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <spawn.h>
#include <string>
#include <sys/wait.h>

extern char** environ;

namespace {

namespace fs = std::filesystem;

// A program folder of its own, removed at the end.
class TCartellaProgramma {
public:
    TCartellaProgramma()
    {
        std::string modello = (fs::temp_directory_path() / "f01-bench-XXXXXX").string();
        Percorso = mkdtemp(modello.data());
        ImpostaCartellaApplicazione(Percorso);
    }
    ~TCartellaProgramma()
    {
        ImpostaCartellaApplicazione("");
        std::error_code ignorato;
        fs::remove_all(Percorso, ignorato);
    }
    TCartellaProgramma(const TCartellaProgramma&) = delete;
    TCartellaProgramma& operator=(const TCartellaProgramma&) = delete;

    std::string Percorso;
};

void BM_RapportoLivello2(benchmark::State& state)
{
    TCartellaProgramma programma;
    for (auto _ : state)
        TFormExceptMessage::MostraErrore("", "Impossibile aprire il file", "ProcessHints", 412,
                                         "ImpostazioniFattura.cpp", nullptr, nullptr, "EFOpenError",
                                         "Streams.cpp", "88", 2);
    state.SetItemsProcessed(state.iterations());
    TFormExceptMessage::AzzeraRapporti();
}
BENCHMARK(BM_RapportoLivello2);

// Text file, memo, log and the screen saved as a bitmap: every step but the window itself.
void BM_RapportoCompletoSenzaFinestra(benchmark::State& state)
{
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    Application->Initialize();
    TCartellaProgramma programma;
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
    for (auto _ : state) {
        pid_t figlio = 0;
        benchmark::DoNotOptimize(posix_spawn(&figlio, programma, nullptr, nullptr, argomenti, environ));
        // Only the start is measured, as for AvviaComando; the child is collected outside.
        state.PauseTiming();
        waitpid(figlio, nullptr, 0);
        state.ResumeTiming();
    }
}
BENCHMARK(BM_PosixSpawn)->Unit(benchmark::kMicrosecond);

} // namespace
