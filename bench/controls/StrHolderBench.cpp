// Expanding macros: a text of 1 MB with 10,000 references to 100 macros against 2 MB with twice
// the references; the expansion should grow linearly with the text.

#include "controls/StrHlder.h"

#include <benchmark/benchmark.h>

#include <string>

namespace {

// The name of macro i: three digits, so that no name is the start of another.
std::string StrHolderBenchName(int i) { return "m" + std::to_string(100 + i); }

// Lines of about 100 characters, each with one reference.
void FillStrHolderBench(TStrHolder& holder, int lines)
{
    holder.Strings()->BeginUpdate();
    const std::string filler(88, 'x');
    for (int i = 0; i < lines; ++i)
        holder.Strings()->Add(filler + " %" + StrHolderBenchName(i % 100) + " y");
    holder.Strings()->EndUpdate();
    for (int i = 0; i < 100; ++i)
        holder.MacroByName(StrHolderBenchName(i))->SetValue("valore" + std::to_string(i));
}

void BM_StrHolderExpandMacros(benchmark::State& state)
{
    TStrHolder holder(nullptr);
    FillStrHolderBench(holder, static_cast<int>(state.range(0)) * 10000);
    std::size_t size = 0;
    for (auto _ : state) {
        std::string text = holder.ExpandMacros();
        size = text.size();
        benchmark::DoNotOptimize(text.data());
    }
    state.counters["megabytes"] = static_cast<double>(holder.Strings()->Text().size()) / 1e6;
    state.counters["expanded"] = static_cast<double>(size);
}
BENCHMARK(BM_StrHolderExpandMacros)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond);

} // namespace
