// The wildcard matcher against the C library's fnmatch on the same pairs, and ReplaceStr against
// a plain find-and-append loop on texts of one and two megabytes.

#include "controls/StrUtils.h"

#include <benchmark/benchmark.h>

#include <fnmatch.h>

#include <random>
#include <string>
#include <utility>
#include <vector>

namespace {

std::string StrUtilsBenchText(std::mt19937& random, const char* alphabet, int alphabetSize, int maxLength)
{
    std::string text;
    for (int n = static_cast<int>(random() % (maxLength + 1)); n > 0; --n)
        text += alphabet[random() % alphabetSize];
    return text;
}

const std::vector<std::pair<std::string, std::string>>& StrUtilsBenchPairs()
{
    static const auto pairs = [] {
        std::mt19937 random(41);
        std::vector<std::pair<std::string, std::string>> result;
        for (int i = 0; i < 10000; ++i)
            result.emplace_back(StrUtilsBenchText(random, "abx", 3, 16), StrUtilsBenchText(random, "abx?*", 5, 8));
        return result;
    }();
    return pairs;
}

void BM_IsWild(benchmark::State& state)
{
    const auto& pairs = StrUtilsBenchPairs();
    for (auto _ : state)
        for (const auto& [text, pattern] : pairs)
            benchmark::DoNotOptimize(IsWild(text, pattern, false));
    state.SetItemsProcessed(state.iterations() * static_cast<long>(pairs.size()));
}
BENCHMARK(BM_IsWild);

void BM_Fnmatch(benchmark::State& state)
{
    const auto& pairs = StrUtilsBenchPairs();
    for (auto _ : state)
        for (const auto& [text, pattern] : pairs)
            benchmark::DoNotOptimize(fnmatch(pattern.c_str(), text.c_str(), 0));
    state.SetItemsProcessed(state.iterations() * static_cast<long>(pairs.size()));
}
BENCHMARK(BM_Fnmatch);

// A text of megabytes MB with 10,000 matches of "needle" per megabyte.
std::string StrUtilsBenchHaystack(int megabytes)
{
    std::string text;
    const std::string filler(1048576 / 10000 - 6, 'x');
    for (int i = 0; i < 10000 * megabytes; ++i)
        text += filler + "needle";
    return text;
}

void BM_ReplaceStr(benchmark::State& state)
{
    const std::string text = StrUtilsBenchHaystack(static_cast<int>(state.range(0)));
    for (auto _ : state)
        benchmark::DoNotOptimize(ReplaceStr(text, "needle", "pin"));
    state.SetBytesProcessed(state.iterations() * static_cast<long>(text.size()));
}
BENCHMARK(BM_ReplaceStr)->Arg(1)->Arg(2);

void BM_PlainReplaceLoop(benchmark::State& state)
{
    const std::string text = StrUtilsBenchHaystack(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        std::string result;
        std::size_t start = 0;
        for (std::size_t found; (found = text.find("needle", start)) != std::string::npos; start = found + 6) {
            result.append(text, start, found - start);
            result += "pin";
        }
        result.append(text, start);
        benchmark::DoNotOptimize(result);
    }
    state.SetBytesProcessed(state.iterations() * static_cast<long>(text.size()));
}
BENCHMARK(BM_PlainReplaceLoop)->Arg(1)->Arg(2);

} // namespace
