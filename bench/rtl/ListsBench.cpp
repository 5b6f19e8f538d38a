#include "platform/rtl/Lists.h"

#include <benchmark/benchmark.h>

#include <random>
#include <string>
#include <vector>

namespace {

// Customer-like names: a surname and a first name with a few accented letters, in random order.
std::vector<std::string> RandomNames(int count)
{
    static const std::string letters = "abcdefghilmnoprstuvz\xE0\xE8\xE9\xEC\xF2\xF9";
    std::mt19937 random(1234);
    std::uniform_int_distribution<std::size_t> pickLetter(0, letters.size() - 1);
    std::uniform_int_distribution<int> pickLength(4, 10);
    auto word = [&] {
        std::string text(static_cast<std::size_t>(pickLength(random)), ' ');
        for (char& c : text)
            c = letters[pickLetter(random)];
        text[0] = static_cast<char>(text[0] >= 'a' && text[0] <= 'z' ? text[0] - 32 : text[0]);
        return text;
    };
    std::vector<std::string> names;
    names.reserve(static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i)
        names.push_back(word() + " " + word());
    return names;
}

void BM_StringListSortedInsertion(benchmark::State& state)
{
    const std::vector<std::string> names = RandomNames(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        TStringList list;
        list.SetSorted(true);
        list.SetDuplicates(dupAccept);
        for (const auto& name : names)
            list.Add(name);
        benchmark::DoNotOptimize(list.Count());
    }
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations() * names.size()));
}

} // namespace

BENCHMARK(BM_StringListSortedInsertion)->Arg(100000)->Unit(benchmark::kMillisecond);
