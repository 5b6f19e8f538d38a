// Text in 10,000 grid cells, left aligned without wrapping, through WriteText against ExtTextOutA
// of the same texts into the same rectangles on the same canvas.

#include "controls/VCLUtils.h"
#include "platform/gui/Application.h"
#include "platform/gui/TextOutput.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <string>
#include <vector>

namespace {

constexpr int DrawingBenchColumns = 10;
constexpr int DrawingBenchRows = 25;
constexpr int DrawingBenchCellWidth = 80;
constexpr int DrawingBenchCellHeight = 18;
constexpr int DrawingBenchPasses = 40; // 10 x 25 cells, 40 times: 10,000 cells

struct TDrawingBenchGrid {
    TBitmap Bitmap;
    std::vector<TRect> Cells;
    std::vector<std::string> Texts;

    TDrawingBenchGrid()
    {
        setenv("QT_QPA_PLATFORM", "offscreen", 0);
        Application->Initialize();
        Bitmap.SetSize(DrawingBenchColumns * DrawingBenchCellWidth, DrawingBenchRows * DrawingBenchCellHeight);
        TCanvas* canvas = Bitmap.Canvas();
        canvas->Font()->SetName("Arial");
        canvas->Font()->SetSize(9);
        canvas->Brush()->SetColor(clWindow);
        for (int row = 0; row < DrawingBenchRows; ++row)
            for (int column = 0; column < DrawingBenchColumns; ++column) {
                Cells.push_back(Bounds(column * DrawingBenchCellWidth, row * DrawingBenchCellHeight,
                                       DrawingBenchCellWidth, DrawingBenchCellHeight));
                Texts.push_back("Articolo " + std::to_string(row * DrawingBenchColumns + column) + " pz.");
            }
    }
};

TDrawingBenchGrid& DrawingBenchGrid()
{
    static TDrawingBenchGrid grid;
    return grid;
}

void BM_WriteTextCells(benchmark::State& state)
{
    TDrawingBenchGrid& grid = DrawingBenchGrid();
    TCanvas* canvas = grid.Bitmap.Canvas();
    for (auto _ : state)
        for (int pass = 0; pass < DrawingBenchPasses; ++pass)
            for (std::size_t i = 0; i < grid.Cells.size(); ++i)
                WriteText(canvas, grid.Cells[i], 2, 2, grid.Texts[i], taLeftJustify, false);
    state.SetItemsProcessed(state.iterations() * DrawingBenchPasses * static_cast<long>(grid.Cells.size()));
}
BENCHMARK(BM_WriteTextCells)->Unit(benchmark::kMillisecond);

void BM_ExtTextOutCells(benchmark::State& state)
{
    TDrawingBenchGrid& grid = DrawingBenchGrid();
    TCanvas* canvas = grid.Bitmap.Canvas();
    // The canvas selects its font and brush, as WriteText's drawing does.
    canvas->TextWidth("W");
    canvas->FillRect(Rect(0, 0, 1, 1));
    HDC dc = canvas->Handle();
    SetBkColor(dc, ColorToRGB(canvas->Brush()->Color()));
    for (auto _ : state)
        for (int pass = 0; pass < DrawingBenchPasses; ++pass)
            for (std::size_t i = 0; i < grid.Cells.size(); ++i) {
                const TRect& cell = grid.Cells[i];
                ExtTextOutA(dc, cell.Left + 2, cell.Top + 2, ETO_OPAQUE | ETO_CLIPPED, &cell, grid.Texts[i]);
            }
    state.SetItemsProcessed(state.iterations() * DrawingBenchPasses * static_cast<long>(grid.Cells.size()));
}
BENCHMARK(BM_ExtTextOutCells)->Unit(benchmark::kMillisecond);

} // namespace
