// Painting 1,000 flat speed buttons in their grey inactive look, against the layer's flat speed
// button with the same glyph, once every image exists.

#include "report/RP_Ctrls.h"

#include "platform/gui/Application.h"
#include "platform/gui/Bitmap.h"
#include "platform/gui/Form.h"
#include "platform/gui/InputTranslation.h"
#include "platform/gui/SpeedButton.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <memory>
#include <vector>

namespace SpeedButtonBench {

constexpr int ButtonCount = 1000;
constexpr int Columns = 40;

void EnsureApplication()
{
    static const bool initialized = [] {
        setenv("QT_QPA_PLATFORM", "offscreen", 0);
        Application->Initialize();
        return true;
    }();
    (void)initialized;
}

// A 16 x 16 glyph: a black-outlined navy square with a white centre on olive.
std::unique_ptr<TBitmap> ToolbarGlyph()
{
    auto glyph = std::make_unique<TBitmap>();
    glyph->SetSize(16, 16);
    TCanvas* canvas = glyph->Canvas();
    canvas->Brush()->SetColor(clOlive);
    canvas->FillRect(Rect(0, 0, 16, 16));
    canvas->Brush()->SetColor(clBlack);
    canvas->FillRect(Rect(1, 1, 15, 15));
    canvas->Brush()->SetColor(clNavy);
    canvas->FillRect(Rect(2, 2, 14, 14));
    canvas->Brush()->SetColor(clWhite);
    canvas->FillRect(Rect(5, 5, 11, 11));
    return glyph;
}

// A shown form with 1,000 flat buttons of class T in rows of 40, each painted once.
template <class T>
struct TButtonGrid {
    TForm Form{nullptr};
    std::vector<T*> Buttons;
    explicit TButtonGrid(TBitmap* glyph)
    {
        // Away from the cursor, so that no button is under it.
        SetCursorPos(0, 0);
        Form.SetBounds(200, 200, Columns * 24 + 20, (ButtonCount / Columns) * 24 + 40);
        for (int i = 0; i < ButtonCount; ++i) {
            auto* button = new T(&Form);
            button->SetParent(&Form);
            button->SetBounds(4 + (i % Columns) * 24, 4 + (i / Columns) * 24, 22, 22);
            button->SetFlat(true);
            button->SetGlyph(glyph);
            Buttons.push_back(button);
        }
        Form.Show();
        Application->ProcessMessages();
        PaintAll();
    }
    void PaintAll()
    {
        for (T* button : Buttons) {
            button->Invalidate();
            button->PaintControl();
        }
    }
};

void BM_EngineSpeedButtonsPaintInactive(benchmark::State& state)
{
    EnsureApplication();
    auto glyph = ToolbarGlyph();
    TButtonGrid<TrpSpeedButton> grid(glyph.get());
    for (TrpSpeedButton* button : grid.Buttons)
        if (button->MouseInControl()) {
            state.SkipWithError("the buttons must be painted without the mouse over them");
            return;
        }
    for (auto _ : state)
        grid.PaintAll();
    state.SetItemsProcessed(state.iterations() * ButtonCount);
}
BENCHMARK(BM_EngineSpeedButtonsPaintInactive)->Unit(benchmark::kMillisecond);

void BM_LayerSpeedButtonsPaintFlat(benchmark::State& state)
{
    EnsureApplication();
    auto glyph = ToolbarGlyph();
    TButtonGrid<TSpeedButton> grid(glyph.get());
    for (auto _ : state)
        grid.PaintAll();
    state.SetItemsProcessed(state.iterations() * ButtonCount);
}
BENCHMARK(BM_LayerSpeedButtonsPaintFlat)->Unit(benchmark::kMillisecond);

} // namespace SpeedButtonBench
