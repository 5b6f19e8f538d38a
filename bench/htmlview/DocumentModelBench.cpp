// Building a viewer document as the parser does: a long text section from tokens with font
// changes, the position look-ups between the document and the HTML source, and turning a large
// table with spans into a regular grid. Fonts are measured on the screen, as in the program.

#include "htmlview/PaneSubs.h"
#include "platform/gui/Application.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <memory>
#include <random>
#include <string>
#include <vector>

namespace DocumentModelBench {

void EnsureApplication()
{
    static const bool initialized = [] {
        setenv("QT_QPA_PLATFORM", "offscreen", 0);
        Application->Initialize();
        return true;
    }();
    (void)initialized;
}

class TNoViewer : public TViewerServices {
public:
    TComponent* ViewerComponent() override { return nullptr; }
    std::string HTMLExpandFilename(const std::string& Filename) override { return Filename; }
    int ViewerClientHeight() override { return 0; }
    int MarginHeight() override { return 0; }
    void SetDocumentMarginWidth(int) override {}
    void SetDocumentMarginHeight(int) override {}
};

struct TBenchDocument {
    TBenchDocument()
    {
        EnsureApplication();
        Doc.SetFonts("Arial", "Courier New", 12, clBlack, clBlue, clPurple, clRed, clWhite, false);
        for (int i = 0; i < 2; ++i) {
            Fonts[i].SetName("Arial");
            Fonts[i].SetNormalSize(&Doc, i == 0 ? 12 : 14);
        }
    }

    // Chars characters in tokens of 100, each token 110 source positions after the one before
    // (markup in between), with a font change every fontEvery tokens (0: none).
    TSection* BuildSection(int chars, int fontEvery)
    {
        auto* section = new TSection(&Doc, 0, &Fonts[0], nullptr, PaneUn2::Left);
        TokenObj token;
        for (int t = 0; t * 100 < chars; ++t) {
            if (fontEvery > 0 && t % fontEvery == 0)
                section->ChangeFont(&Doc, &Fonts[(t / fontEvery) % 2]);
            token.Clear();
            for (int i = 0; i < 100; ++i)
                token.AddChar(static_cast<char>(i % 10 == 9 ? ' ' : 'a' + i % 26), t * 110 + i);
            section->AddTokenObj(token, false);
        }
        Doc.Add(section);
        return section;
    }

    TNoViewer Viewer;
    TSectionList Doc{&Viewer, nullptr};
    TMyFont Fonts[2];
};

void BM_BuildSection100k(benchmark::State& state)
{
    TBenchDocument bench;
    for (auto _ : state) {
        TSection* section = bench.BuildSection(100000, 10);
        benchmark::DoNotOptimize(section->CharCount);
        state.PauseTiming();
        bench.Doc.Clear();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_BuildSection100k)->Unit(benchmark::kMillisecond);

// Linear growth: the time per character stays the same from 1 MB to 10 MB.
void BM_BuildLongSection(benchmark::State& state)
{
    TBenchDocument bench;
    for (auto _ : state) {
        TSection* section = bench.BuildSection(static_cast<int>(state.range(0)), 0);
        benchmark::DoNotOptimize(section->CharCount);
        state.PauseTiming();
        bench.Doc.Clear();
        state.ResumeTiming();
    }
    state.SetComplexityN(state.range(0));
}
BENCHMARK(BM_BuildLongSection)
    ->Arg(1 << 20)
    ->Arg(4 << 20)
    ->Arg(10 << 20)
    ->Unit(benchmark::kMillisecond)
    ->Complexity(benchmark::oN);

// One look-up per iteration, at 10,000 random positions in turn.
void TimePositionLookUps(benchmark::State& state, bool toSource)
{
    TBenchDocument bench;
    TSection* section = bench.BuildSection(100000, 10);
    std::mt19937 random(7);
    std::vector<int> probes(10000);
    for (int& probe : probes)
        probe = static_cast<int>(random() % (toSource ? 100000u : 110000u));
    std::size_t next = 0;
    for (auto _ : state) {
        const int probe = probes[next];
        next = (next + 1) % probes.size();
        benchmark::DoNotOptimize(toSource ? section->FindSourcePos(probe)
                                          : section->FindDocPos(probe, (probe & 1) != 0));
    }
}

void BM_FindSourcePos(benchmark::State& state) { TimePositionLookUps(state, true); }
BENCHMARK(BM_FindSourcePos);

void BM_FindDocPos(benchmark::State& state) { TimePositionLookUps(state, false); }
BENCHMARK(BM_FindDocPos);

TAttributeList* SpanAttributes(Symb Sy, int Value)
{
    auto* attributes = new TAttributeList;
    attributes->Add(new TAttribute(Sy, Value, std::to_string(Value)));
    return attributes;
}

// 500 rows of a 200-column grid; every fifth row starts with a ROWSPAN=4 cell and holds one
// COLSPAN=3 cell, so the three rows below it are one cell short.
ThtmlTable* NewSpannedTable(TSectionList& doc, const TAttributeList* rowSpan, const TAttributeList* colSpan)
{
    auto* table = new ThtmlTable(&doc, nullptr, PaneUn2::Left, &doc, 0);
    for (int r = 0; r < 500; ++r) {
        auto* row = new TCellList;
        const int phase = r % 5;
        int columns = phase == 0 ? 0 : phase <= 3 ? 1 : 0;
        if (phase == 0) {
            row->Add(new TCellObj(&doc, PaneUn2::AMiddle, rowSpan));
            row->Add(new TCellObj(&doc, PaneUn2::AMiddle, colSpan));
            columns = 4;
        }
        for (; columns < 200; ++columns)
            row->Add(new TCellObj(&doc, PaneUn2::AMiddle, nullptr));
        table->Rows->Add(row);
    }
    return table;
}

void BM_AddDummyCells(benchmark::State& state)
{
    TBenchDocument bench;
    std::unique_ptr<TAttributeList> rowSpan(SpanAttributes(Symb::RowSpanSy, 4));
    std::unique_ptr<TAttributeList> colSpan(SpanAttributes(Symb::ColSpanSy, 3));
    for (auto _ : state) {
        state.PauseTiming();
        std::unique_ptr<ThtmlTable> table(NewSpannedTable(bench.Doc, rowSpan.get(), colSpan.get()));
        state.ResumeTiming();
        table->AddDummyCells();
        if (table->NumCols != 200)
            state.SkipWithError("the grid is not 200 columns wide");
        state.PauseTiming();
        table.reset();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_AddDummyCells)->Unit(benchmark::kMillisecond);

} // namespace DocumentModelBench
