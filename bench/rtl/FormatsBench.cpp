#include "platform/rtl/DateTime.h"
#include "platform/rtl/Formats.h"

#include <benchmark/benchmark.h>

#include <random>
#include <vector>

namespace {

// Amounts as invoices hold them: cents, up to a few million, some negative.
std::vector<double> RandomAmounts()
{
    std::mt19937_64 random(20261210);
    std::uniform_int_distribution<long long> cents(-100000000, 500000000);
    std::vector<double> amounts(4096);
    for (double& amount : amounts)
        amount = static_cast<double>(cents(random)) / 100.0;
    return amounts;
}

void BM_FormatFloat(benchmark::State& state)
{
    const std::vector<double> amounts = RandomAmounts();
    const std::string format = "#,##0.00;(#,##0.00);Zero";
    std::size_t i = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(FormatFloat(format, amounts[i++ & 4095]));
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_FormatFloat);

void BM_FloatToStrF_Number(benchmark::State& state)
{
    const std::vector<double> amounts = RandomAmounts();
    std::size_t i = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(FloatToStrF(amounts[i++ & 4095], ffNumber, 15, 2));
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_FloatToStrF_Number);

void BM_FloatToStrF_Currency(benchmark::State& state)
{
    const std::vector<double> amounts = RandomAmounts();
    std::size_t i = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(FloatToStrF(amounts[i++ & 4095], ffCurrency, 15, 2));
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_FloatToStrF_Currency);

void BM_FloatToStr(benchmark::State& state)
{
    const std::vector<double> amounts = RandomAmounts();
    std::size_t i = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(FloatToStr(amounts[i++ & 4095]));
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_FloatToStr);

void BM_StrToFloat(benchmark::State& state)
{
    std::vector<std::string> texts;
    for (const double amount : RandomAmounts())
        texts.push_back(FloatToStrF(amount, ffFixed, 15, 2));
    std::size_t i = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(StrToFloat(texts[i++ & 4095]));
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_StrToFloat);

void BM_FormatDateTime(benchmark::State& state)
{
    TDateTime value = EncodeDate(2026, 1, 5) + EncodeTime(9, 7, 3, 0);
    for (auto _ : state) {
        benchmark::DoNotOptimize(FormatDateTime("dd/mm/yyyy hh.nn", value));
        value += 1.37;
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_FormatDateTime);

} // namespace
