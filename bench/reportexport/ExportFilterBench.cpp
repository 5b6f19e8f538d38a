// The text-based export filters writing pages of 60 pieces each into a memory stream, at 500 and
// 1,000 and 2,000 pages, so that the time per page can be compared.

#include "reportexport/RP_E_CSV.h"
#include "reportexport/RP_E_HTM.h"
#include "reportexport/RP_E_RTF.h"
#include "reportexport/RP_E_TXT.h"
#include "reportexport/RP_E_XLS.h"

#include "report/RP_Class.h"
#include "report/RP_Utils.h"

#include "platform/gui/Application.h"
#include "platform/rtl/Streams.h"

#include <benchmark/benchmark.h>

#include <memory>
#include <string>
#include <vector>

namespace {

const char* const PieceTexts[] = {
    "Consulenza tecnica", "1.234,56", "Fornitura di materiale vario", "IVA 22%", "Totale \x80 271,60",
    "Rossi & Bianchi; \"SRL\"",
};

// Three fonts and styles taking turns, as an invoice's lines do.
std::vector<std::unique_ptr<TrpMemoView>>& Views()
{
    static std::vector<std::unique_ptr<TrpMemoView>> views = [] {
        Application->Initialize();
        rpInitEngine();
        std::vector<std::unique_ptr<TrpMemoView>> made;
        for (int i = 0; i < 3; ++i) {
            auto memo = std::make_unique<TrpMemoView>();
            memo->Font->SetName(i == 1 ? "Times New Roman" : "Arial");
            memo->Font->SetSize(8 + 2 * i);
            memo->Font->SetStyle(rpSetFontStyle(i));
            memo->Font->SetColor(i == 2 ? clRed : clBlack);
            made.push_back(std::move(memo));
        }
        return made;
    }();
    return views;
}

// Pages of 60 pieces: 20 lines of three pieces each.
void ExportPages(benchmark::State& state, const TrpExportFilterClass& filterClass)
{
    const int pages = static_cast<int>(state.range(0));
    std::vector<std::unique_ptr<TrpMemoView>>& views = Views();
    std::int64_t bytes = 0;
    for (auto _ : state) {
        TMemoryStream stream;
        std::unique_ptr<TrpExportFilter> filter(filterClass.Create(&stream));
        filter->OnBeginDoc();
        for (int page = 0; page < pages; ++page) {
            filter->OnBeginPage();
            for (int piece = 0; piece < 60; ++piece)
                filter->OnText(30 + 250 * (piece % 3), 40 + 18 * (piece / 3), PieceTexts[piece % 6],
                               views[static_cast<std::size_t>(piece % 3)].get());
            filter->OnEndPage();
        }
        filter->OnEndDoc();
        filter.reset();
        bytes = stream.Size();
        benchmark::DoNotOptimize(stream.Memory());
    }
    state.counters["file_bytes"] = static_cast<double>(bytes);
}

void BM_ExportText(benchmark::State& state) { ExportPages(state, TrpTextExportFilter::ClassEntry()); }
void BM_ExportCsv(benchmark::State& state) { ExportPages(state, TrpCSVExportFilter::ClassEntry()); }
void BM_ExportHtml(benchmark::State& state) { ExportPages(state, TrpHTMExportFilter::ClassEntry()); }
void BM_ExportRtf(benchmark::State& state) { ExportPages(state, TrpRTFExportFilter::ClassEntry()); }
void BM_ExportXls(benchmark::State& state) { ExportPages(state, TrpXLSExportFilter::ClassEntry()); }

BENCHMARK(BM_ExportText)->Arg(500)->Arg(1000)->Arg(2000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ExportCsv)->Arg(500)->Arg(1000)->Arg(2000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ExportHtml)->Arg(500)->Arg(1000)->Arg(2000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ExportRtf)->Arg(500)->Arg(1000)->Arg(2000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ExportXls)->Arg(500)->Arg(1000)->Arg(2000)->Unit(benchmark::kMillisecond);

} // namespace
