// The tolerant date parser against the run-time layer's StrToDate on the same 100,000 texts.

#include "controls/DateUtil.h"

#include <benchmark/benchmark.h>

#include <string>
#include <vector>

namespace {

const std::vector<std::string>& DateUtilBenchTexts()
{
    static const auto texts = [] {
        std::vector<std::string> result;
        TDateTime date = EncodeDate(1990, 1, 1);
        for (int i = 0; i < 100000; ++i, date += 1)
            result.push_back(FormatDateTime("dd/mm/yyyy", date));
        return result;
    }();
    return texts;
}

void BM_StrToDateFmt(benchmark::State& state)
{
    const auto& texts = DateUtilBenchTexts();
    // The date edit keeps its format as a text of its own.
    const std::string format = "DD/MM/YYYY";
    for (auto _ : state)
        for (const std::string& text : texts)
            benchmark::DoNotOptimize(StrToDateFmt(format, text));
    state.SetItemsProcessed(state.iterations() * static_cast<long>(texts.size()));
}
BENCHMARK(BM_StrToDateFmt)->Unit(benchmark::kMillisecond);

void BM_LayerStrToDate(benchmark::State& state)
{
    const auto& texts = DateUtilBenchTexts();
    for (auto _ : state)
        for (const std::string& text : texts)
            benchmark::DoNotOptimize(StrToDate(text));
    state.SetItemsProcessed(state.iterations() * static_cast<long>(texts.size()));
}
BENCHMARK(BM_LayerStrToDate)->Unit(benchmark::kMillisecond);

} // namespace
