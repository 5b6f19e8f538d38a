// A text list box with 10,000 (and 20,000) items of random widths: adding them all, then deleting
// the widest item 1,000 times, against the same adds and deletes on the layer's list box, which
// keeps no horizontal range of its own.

#include "controls/ExListBox.h"
#include "platform/gui/Application.h"
#include "platform/gui/Form.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <memory>
#include <random>
#include <string>
#include <vector>

namespace {

constexpr int ListBoxBenchDeletes = 1000;

struct TListBoxBenchData {
    std::vector<std::string> Texts;
    // The index of the widest item at each delete, in order.
    std::vector<int> Widest;
};

const TListBoxBenchData& ListBoxBenchData(int count)
{
    static std::vector<std::unique_ptr<TListBoxBenchData>> made(3);
    const std::size_t slot = count == 10000 ? 0 : count == 20000 ? 1 : 2;
    if (made[slot] && static_cast<int>(made[slot]->Texts.size()) == count)
        return *made[slot];
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    Application->Initialize();
    auto data = std::make_unique<TListBoxBenchData>();
    std::mt19937 random(20210310);
    std::uniform_int_distribution<int> length(1, 300);
    std::vector<int> lengths;
    for (int i = 0; i < count; ++i) {
        // One letter repeated: a longer text is a wider one.
        const int n = length(random);
        data->Texts.push_back(std::string(static_cast<std::size_t>(n), 'm'));
        lengths.push_back(n);
    }
    for (int d = 0; d < ListBoxBenchDeletes; ++d) {
        const auto widest = std::max_element(lengths.begin(), lengths.end());
        data->Widest.push_back(static_cast<int>(widest - lengths.begin()));
        lengths.erase(widest);
    }
    made[slot] = std::move(data);
    return *made[slot];
}

template <class TBox>
void ListBoxBenchAddAndDelete(benchmark::State& state)
{
    const TListBoxBenchData& data = ListBoxBenchData(static_cast<int>(state.range(0)));
    double deleteSeconds = 0;
    for (auto _ : state) {
        state.PauseTiming();
        auto form = std::make_unique<TForm>(nullptr);
        auto* box = new TBox(form.get());
        box->SetParent(form.get());
        box->SetBounds(0, 0, 200, 300);
        box->HandleNeeded();
        state.ResumeTiming();
        for (const std::string& text : data.Texts)
            box->Items()->Add(text);
        const auto start = std::chrono::steady_clock::now();
        for (int index : data.Widest)
            box->Items()->Delete(index);
        deleteSeconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        state.PauseTiming();
        form.reset();
        state.ResumeTiming();
    }
    state.counters["us_per_delete"] =
        benchmark::Counter(deleteSeconds * 1e6 / ListBoxBenchDeletes / static_cast<double>(state.iterations()));
}

void BM_TextListBoxAddAndDeleteWidest(benchmark::State& state) { ListBoxBenchAddAndDelete<TTextListBox>(state); }
void BM_LayerListBoxAddAndDeleteWidest(benchmark::State& state) { ListBoxBenchAddAndDelete<TListBox>(state); }

} // namespace

BENCHMARK(BM_TextListBoxAddAndDeleteWidest)->Arg(10000)->Arg(20000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LayerListBoxAddAndDeleteWidest)->Arg(10000)->Arg(20000)->Unit(benchmark::kMillisecond);
