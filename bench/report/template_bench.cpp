// Loading and saving a generated template of 5,000 objects (about 1 MB), against the Python
// reader of the tests parsing the same file.

#include "report/RP_Class.h"

#include "platform/gui/PrinterDevice.h"
#include "platform/rtl/Streams.h"
#include "tests/TestFixtures.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <string>

namespace fs = std::filesystem;

namespace {

constexpr int ObjectCount = 5000;

void StartEngine()
{
    if (rpEngineStarted())
        return;
    TPrinterCatalogue none;
    none.VirtualWhenEmpty = false;
    SetPrinterCatalogue(none);
    rpInitEngine();
}

// Mostly text objects of two lines with a script, as invoices have them, and some of every
// other kind, on four pages.
TMemoryStream& GeneratedTemplate()
{
    static TMemoryStream bytes;
    if (bytes.Size() > 0)
        return bytes;
    StartEngine();
    TrpReport report(nullptr);
    for (int p = 0; p < 4; ++p)
        report.DesignPages->Add();
    for (int i = 0; i < ObjectCount; ++i) {
        std::unique_ptr<TrpView> view;
        switch (i % 50) {
        case 0:
            view = std::make_unique<TrpLineView>();
            break;
        case 1: {
            auto band = std::make_unique<TrpBandView>();
            band->SetBandType(btMasterData);
            band->FormatText = "ReportArticoliInFattura";
            view = std::move(band);
            break;
        }
        default: {
            auto memo = std::make_unique<TrpMemoView>();
            memo->Memo->Add("Articolo [ReportArticoli.\"Descrizione\"]");
            memo->Memo->Add("Quantit\xE0 [Quantita] prezzo unitario [PrezzoUnitario #N0,00]");
            memo->Script->Add("begin if [Quantita] = 0 then Visible := 0 end");
            memo->HighlightCondition = "[Quantita] < 0";
            memo->FrameTyp = rpFrameAll;
            memo->FrameWidth = 0.5f;
            view = std::move(memo);
        }
        }
        view->Name = view->NamePrefix + std::to_string(i + 1);
        view->SetBounds(10 + i % 7 * 90, 20 + i % 40 * 25, 85, 20);
        report.DesignPages->Pages(i % 4)->Objects.push_back(std::move(view));
    }
    report.SaveToStream(bytes);
    return bytes;
}

void BM_LoadTemplate(benchmark::State& state)
{
    TMemoryStream& source = GeneratedTemplate();
    TMemoryStream stream;
    stream.WriteBuffer(source.Memory(), static_cast<int>(source.Size()));
    TrpReport report(nullptr);
    for (auto _ : state) {
        stream.SetPosition(0);
        if (!report.LoadFromStream(stream))
            state.SkipWithError("the template did not load");
    }
    state.SetBytesProcessed(state.iterations() * source.Size());
    state.counters["objects"] = ObjectCount;
    state.counters["template_bytes"] = static_cast<double>(source.Size());
}
BENCHMARK(BM_LoadTemplate)->Unit(benchmark::kMillisecond);

void BM_SaveTemplate(benchmark::State& state)
{
    TMemoryStream& source = GeneratedTemplate();
    TMemoryStream stream;
    stream.WriteBuffer(source.Memory(), static_cast<int>(source.Size()));
    stream.SetPosition(0);
    TrpReport report(nullptr);
    report.LoadFromStream(stream);
    for (auto _ : state) {
        TMemoryStream target;
        report.SaveToStream(target);
        benchmark::DoNotOptimize(target.Memory());
    }
    state.SetBytesProcessed(state.iterations() * source.Size());
}
BENCHMARK(BM_SaveTemplate)->Unit(benchmark::kMillisecond);

// The whole run of the script: the interpreter's start, reading and the JSON it prints.
void BM_PythonReader(benchmark::State& state)
{
    TMemoryStream& source = GeneratedTemplate();
    const fs::path file = fs::temp_directory_path() / "tess-report-bench.frf";
    TFileStream(file.string(), fmCreate).WriteBuffer(source.Memory(), static_cast<int>(source.Size()));
    const std::string command = std::string("python3 ") + TestFixtureDir() + "/../../tests/report/frf_dump.py '" + file.string() + "' > /dev/null";
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        if (std::system(command.c_str()) != 0)
            state.SkipWithError("the Python reader failed");
        state.SetIterationTime(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    }
    state.SetBytesProcessed(state.iterations() * source.Size());
    fs::remove(file);
}
BENCHMARK(BM_PythonReader)->UseManualTime()->Iterations(5)->Unit(benchmark::kMillisecond);

} // namespace
