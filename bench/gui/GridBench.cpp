// Grids: painting one screen of a large draw grid, opening and paging a data grid over large
// array-backed data sets (its cost must not grow with the record count), and looking up the
// selected rows.

#include "BenchApplication.h"

#include "platform/gui/Application.h"
#include "platform/gui/DBGrid.h"
#include "platform/gui/Form.h"

// The tests' array-backed data set, compiled into the benchmark as well.
#include "tests/platform/gui/GridDataSet.cpp"

#include <QApplication>

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <memory>

namespace {

std::unique_ptr<TForm> ShownForm()
{
    auto form = std::make_unique<TForm>(nullptr);
    form->SetBounds(0, 0, 840, 660);
    form->Show();
    return form;
}

void PaintNow(TControl* control)
{
    control->Invalidate();
    control->Update();
}

void BM_DrawGridPaintScreen(benchmark::State& state)
{
    EnsureBenchApplication();
    auto form = ShownForm();
    auto* grid = new TDrawGrid(form.get());
    grid->SetBorderStyle(bsNone);
    grid->SetParent(form.get());
    grid->SetBounds(0, 0, 800, 600);
    grid->SetColCount(100);
    grid->SetRowCount(100000);
    grid->OnDrawCell = [grid](TObject*, int col, int row, TRect rect, TGridDrawState) {
        grid->Canvas()->TextRect(rect, rect.Left + 2, rect.Top + 2, std::to_string(col) + "," + std::to_string(row));
    };
    PaintNow(grid);
    for (auto _ : state)
        PaintNow(grid);
}
BENCHMARK(BM_DrawGridPaintScreen)->Unit(benchmark::kMillisecond);

void BM_DrawGridLastRowAndPaint(benchmark::State& state)
{
    EnsureBenchApplication();
    auto form = ShownForm();
    auto* grid = new TDrawGrid(form.get());
    grid->SetBorderStyle(bsNone);
    grid->SetParent(form.get());
    grid->SetBounds(0, 0, 800, 600);
    grid->SetColCount(100);
    grid->SetRowCount(100000);
    for (auto _ : state) {
        grid->SetRow(1);
        grid->SetRow(99999);
        grid->Update();
    }
}
BENCHMARK(BM_DrawGridLastRowAndPaint)->Unit(benchmark::kMillisecond);

struct TDataGridSetup {
    TGridDataSet Data;
    TDataSource Source{nullptr};
    std::unique_ptr<TForm> Form = ShownForm();
    TDBGrid* Grid;

    explicit TDataGridSetup(int records) : Data(nullptr, records)
    {
        Source.SetDataSet(&Data);
        Grid = new TDBGrid(Form.get());
        Grid->SetParent(Form.get());
        Grid->SetBounds(0, 0, 800, 600);
        Grid->SetDataSource(&Source);
    }
    ~TDataGridSetup() { Form.reset(); }
};

void BM_DataGridOpenAndPaint(benchmark::State& state)
{
    EnsureBenchApplication();
    TDataGridSetup setup(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        setup.Data.Open();
        PaintNow(setup.Grid);
        state.PauseTiming();
        setup.Data.Close();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_DataGridOpenAndPaint)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);

void BM_DataGridThousandPageDowns(benchmark::State& state)
{
    EnsureBenchApplication();
    TDataGridSetup setup(static_cast<int>(state.range(0)));
    setup.Data.Open();
    // 400 down, 400 up and 200 down again: every press moves a page, even over 10,000 records
    // (a screen holds about 23 rows), so both sizes do the same work.
    for (auto _ : state) {
        setup.Data.First();
        for (int i = 0; i < 1000; ++i)
            setup.Grid->Perform(WM_KEYDOWN, i >= 400 && i < 800 ? VK_PRIOR : VK_NEXT, 0);
        setup.Grid->Update();
    }
    state.counters["record"] = setup.Data.RecNo();
}
BENCHMARK(BM_DataGridThousandPageDowns)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);

void BM_SelectedRowsLookup(benchmark::State& state)
{
    EnsureBenchApplication();
    TDataGridSetup setup(20000);
    setup.Grid->SetOptions(setup.Grid->Options() + TDBGridOptions{dgMultiSelect});
    setup.Data.Open();
    setup.Data.DisableControls();
    for (int i = 0; i < 10000; ++i) {
        setup.Grid->SelectedRows()->SetCurrentRowSelected(true);
        setup.Data.MoveBy(2);
    }
    setup.Data.First();
    setup.Data.EnableControls();
    bool selected = false;
    for (auto _ : state) {
        selected ^= setup.Grid->SelectedRows()->CurrentRowSelected();
        benchmark::DoNotOptimize(selected);
    }
}
BENCHMARK(BM_SelectedRowsLookup)->Unit(benchmark::kMicrosecond);

} // namespace
