// Repainting the month calendar against the layer's draw grid of 7 x 7 cells drawing the same
// texts in OnDrawCell.

#include "controls/PickDate.h"
#include "platform/gui/Application.h"
#include "platform/gui/Form.h"
#include "platform/gui/Grid.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <memory>

namespace {

constexpr int DatesBenchRepaints = 1000;

struct TDatesBenchForm {
    std::unique_ptr<TForm> Form;
    TDatesBenchForm()
    {
        setenv("QT_QPA_PLATFORM", "offscreen", 0);
        Application->Initialize();
        Form = std::make_unique<TForm>(nullptr);
        Form->SetBounds(0, 0, 300, 220);
        Form->Show();
        Application->ProcessMessages();
    }
};

template <typename TGridControl>
void RepaintGrid(benchmark::State& state, TGridControl* grid)
{
    grid->SetBounds(10, 10, 224, 140);
    grid->Repaint();
    for (auto _ : state)
        for (int i = 0; i < DatesBenchRepaints; ++i)
            grid->Repaint();
}

void BM_RepaintCalendar(benchmark::State& state)
{
    TDatesBenchForm scene;
    auto* calendar = new TExCalendar(scene.Form.get());
    calendar->SetParent(scene.Form.get());
    calendar->SetCalendarDate(EncodeDate(2021, 3, 10));
    RepaintGrid(state, calendar);
}

// The same texts drawn centred by an OnDrawCell handler, as a program would without the calendar.
void BM_RepaintDrawGrid(benchmark::State& state)
{
    TDatesBenchForm scene;
    auto* reference = new TExCalendar(nullptr);
    reference->SetCalendarDate(EncodeDate(2021, 3, 10));
    auto* grid = new TDrawGrid(scene.Form.get());
    grid->SetParent(scene.Form.get());
    grid->SetFixedCols(0);
    grid->SetColCount(7);
    grid->SetRowCount(7);
    grid->SetScrollBars(ssNone);
    grid->SetDefaultColWidth(31);
    grid->SetDefaultRowHeight(19);
    grid->OnDrawCell = [grid, reference](TObject*, int col, int row, TRect rect, TGridDrawState) {
        TCanvas* canvas = grid->Canvas();
        const std::string text = reference->CellText(col, row);
        canvas->TextRect(rect, (rect.Left + rect.Right - canvas->TextWidth(text)) / 2,
                         (rect.Top + rect.Bottom - canvas->TextHeight(text)) / 2, text);
    };
    RepaintGrid(state, grid);
    delete reference;
}

BENCHMARK(BM_RepaintCalendar)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RepaintDrawGrid)->Unit(benchmark::kMillisecond);

} // namespace
