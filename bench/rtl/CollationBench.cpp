#include "platform/rtl/Collation.h"

#include <benchmark/benchmark.h>

#include <random>
#include <string>
#include <vector>

namespace {

// 20-character names: letters, some accented, with the odd blank and apostrophe.
std::vector<std::string> RandomNames(std::size_t count)
{
    static const std::string alphabet =
        "abcdefghijklmnopqrstuvwxyzabcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ"
        "\xE0\xE8\xE9\xEC\xF2\xF9\xC0\xC8 '";
    std::mt19937 random(7);
    std::uniform_int_distribution<std::size_t> pick(0, alphabet.size() - 1);
    std::vector<std::string> names(count, std::string(20, ' '));
    for (std::string& name : names)
        for (char& c : name)
            c = alphabet[pick(random)];
    return names;
}

void CompareNames(benchmark::State& state, std::uint32_t flags)
{
    const std::vector<std::string> names = RandomNames(4096);
    std::size_t i = 0;
    for (auto _ : state) {
        const std::string& a = names[i];
        const std::string& b = names[(i + 1) % names.size()];
        benchmark::DoNotOptimize(CompareStringA(1040, flags, a.data(), 20, b.data(), 20));
        i = (i + 1) % names.size();
    }
    state.SetItemsProcessed(state.iterations());
}

void BM_CompareStringA_Italian(benchmark::State& state)
{
    CompareNames(state, 0);
}
BENCHMARK(BM_CompareStringA_Italian);

void BM_CompareStringA_ItalianIgnoreCase(benchmark::State& state)
{
    CompareNames(state, NORM_IGNORECASE);
}
BENCHMARK(BM_CompareStringA_ItalianIgnoreCase);

// Names that share a long prefix make the collator read further.
void BM_CompareStringA_CommonPrefix(benchmark::State& state)
{
    std::vector<std::string> names = RandomNames(4096);
    for (std::string& name : names)
        name.replace(0, 12, "Rossi Mario ");
    std::size_t i = 0;
    for (auto _ : state) {
        const std::string& a = names[i];
        const std::string& b = names[(i + 1) % names.size()];
        benchmark::DoNotOptimize(CompareStringA(1040, NORM_IGNORECASE, a.data(), 20, b.data(), 20));
        i = (i + 1) % names.size();
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_CompareStringA_CommonPrefix);

} // namespace
