// A million evaluations of a price expression against python3 evaluating the same expression
// (compiled again on every call, as Calc translates again); a million amounts through a display
// format against FormatFloat called directly; and a script loop running into the step budget.

#include "report/RP_Class.h"
#include "report/RP_Intrp.h"

#include "platform/rtl/Formats.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

namespace expression_bench {

constexpr int Calls = 1000000;
const char* const PriceExpression = "[Qta] * [Prezzo] * (1 - [Sconto] / 100)";

void BM_CalcPriceExpression(benchmark::State& state)
{
    TrpParser parser;
    const Variant quantity(3), price(12.5), discount(10);
    parser.OnGetValue = [&](const std::string& name, Variant& value) {
        if (name == "Qta")
            value = quantity;
        else if (name == "Prezzo")
            value = price;
        else if (name == "Sconto")
            value = discount;
    };
    for (auto _ : state) {
        double total = 0;
        for (int i = 0; i < Calls; ++i)
            total += static_cast<double>(parser.Calc(PriceExpression));
        if (total != Calls * 33.75)
            state.SkipWithError("wrong value");
    }
    state.counters["calls"] = Calls;
}
BENCHMARK(BM_CalcPriceExpression)->Unit(benchmark::kMillisecond)->Iterations(3);

// The loop's own time, measured inside python3 so that its start is not counted.
void BM_PythonEvalPriceExpression(benchmark::State& state)
{
    const std::string command =
        "python3 -c \"import time\n"
        "names = {'Qta': 3, 'Prezzo': 12.5, 'Sconto': 10}\n"
        "expr = 'Qta * Prezzo * (1 - Sconto / 100)'\n"
        "start = time.perf_counter()\n"
        "for i in range(" + std::to_string(Calls) + "):\n"
        "    eval(compile(expr, '', 'eval'), names)\n"
        "print(time.perf_counter() - start)\"";
    for (auto _ : state) {
        std::unique_ptr<FILE, int (*)(FILE*)> pipe(popen(command.c_str(), "r"), pclose);
        double seconds = 0;
        if (!pipe || std::fscanf(pipe.get(), "%lf", &seconds) != 1) {
            state.SkipWithError("python3 did not answer");
            return;
        }
        state.SetIterationTime(seconds);
    }
    state.counters["calls"] = Calls;
}
BENCHMARK(BM_PythonEvalPriceExpression)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(3);

std::vector<double> Amounts()
{
    std::vector<double> amounts;
    for (int i = 0; i < 1000; ++i)
        amounts.push_back(i * 137.31 - 20000.5);
    return amounts;
}

void BM_FormatValueAmounts(benchmark::State& state)
{
    if (!rpEngineStarted())
        rpInitEngine();
    TrpReport report(nullptr);
    std::vector<Variant> amounts;
    for (double amount : Amounts())
        amounts.emplace_back(amount);
    for (auto _ : state) {
        std::size_t length = 0;
        for (int i = 0; i < Calls; ++i)
            length += report.FormatValue(amounts[static_cast<std::size_t>(i) % amounts.size()], 0x0104022C, ",0.00").size();
        benchmark::DoNotOptimize(length);
    }
    state.counters["calls"] = Calls;
}
BENCHMARK(BM_FormatValueAmounts)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_FormatFloatAmounts(benchmark::State& state)
{
    const std::vector<double> amounts = Amounts();
    for (auto _ : state) {
        std::size_t length = 0;
        for (int i = 0; i < Calls; ++i)
            length += FormatFloat(",0.00", amounts[static_cast<std::size_t>(i) % amounts.size()]).size();
        benchmark::DoNotOptimize(length);
    }
    state.counters["calls"] = Calls;
}
BENCHMARK(BM_FormatFloatAmounts)->Unit(benchmark::kMillisecond)->Iterations(3);

// An endless loop runs a million instructions before the budget stops it.
class TCountingInterpretator : public TrpInterpretator {
public:
    void GetValue(const std::string&, Variant& value) override { value = Counter; }
    void SetValue(const std::string&, const Variant& value) override { Counter = value; }
    Variant Counter = 0;
};

void BM_ScriptStepBudget(benchmark::State& state)
{
    TCountingInterpretator interpreter;
    TStringList script;
    script.Add("while 1 = 1 do i := i + 1");
    interpreter.PrepareScript(&script, &script, nullptr);
    for (auto _ : state) {
        try {
            interpreter.DoScript(&script);
            state.SkipWithError("the budget did not hold");
        } catch (const EParserError&) {
        }
    }
    state.counters["instructions"] = interpreter.MaxInstructions;
}
BENCHMARK(BM_ScriptStepBudget)->Unit(benchmark::kMillisecond)->Iterations(3);

} // namespace expression_bench
