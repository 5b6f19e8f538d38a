// Tool buttons: repainting 100 flat buttons with a two-cell glyph and a caption against the
// layer's own flat speed button with the same glyph and caption; and making and painting many
// buttons that share one glyph, whose images are made once for all of them.

#include "controls/EXCtrls.h"
#include "controls/private/ExGlyphCache.h"
#include "platform/gui/Application.h"
#include "platform/gui/Form.h"
#include "platform/gui/SpeedButton.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <memory>
#include <vector>

namespace {

constexpr int ButtonsBenchRepainted = 100;

// A 16 x 16 cell per state: a red square with a black outline on magenta.
std::unique_ptr<TBitmap> ButtonsBenchGlyph(int cells)
{
    auto glyph = std::make_unique<TBitmap>();
    glyph->SetSize(16 * cells, 16);
    TCanvas* canvas = glyph->Canvas();
    canvas->Brush()->SetColor(static_cast<TColor>(0xFF00FF));
    canvas->FillRect(Rect(0, 0, 16 * cells, 16));
    for (int cell = 0; cell < cells; ++cell) {
        canvas->Brush()->SetColor(clBlack);
        canvas->FillRect(Rect(16 * cell + 3, 3, 16 * cell + 13, 13));
        canvas->Brush()->SetColor(cell == 0 ? clRed : clGray);
        canvas->FillRect(Rect(16 * cell + 4, 4, 16 * cell + 12, 12));
    }
    return glyph;
}

// A shown form whose buttons stand in rows of 20.
struct TButtonsBenchForm {
    std::unique_ptr<TForm> Form;
    TButtonsBenchForm()
    {
        setenv("QT_QPA_PLATFORM", "offscreen", 0);
        Application->Initialize();
        Form = std::make_unique<TForm>(nullptr);
        Form->SetBounds(0, 0, 20 * 72 + 20, 8 * 26 + 60);
        Form->Show();
        Application->ProcessMessages();
    }
    static TRect Place(int index) { return Bounds(4 + (index % 20) * 72, 4 + (index / 20 % 8) * 26, 70, 25); }
};

template <typename TButton>
void RepaintFlatButtons(benchmark::State& state)
{
    TButtonsBenchForm scene;
    auto glyph = ButtonsBenchGlyph(2);
    std::vector<TButton*> buttons;
    for (int i = 0; i < ButtonsBenchRepainted; ++i) {
        auto* button = new TButton(scene.Form.get());
        button->SetParent(scene.Form.get());
        button->SetBoundsRect(TButtonsBenchForm::Place(i));
        button->SetFlat(true);
        button->SetGlyph(glyph.get());
        button->SetNumGlyphs(2);
        button->SetCaption("Salva");
        buttons.push_back(button);
    }
    Application->ProcessMessages();
    for (auto _ : state)
        for (TButton* button : buttons)
            button->Repaint();
    state.SetItemsProcessed(state.iterations() * ButtonsBenchRepainted);
}

void BM_RepaintFlatExSpeedButtons(benchmark::State& state) { RepaintFlatButtons<TExSpeedButton>(state); }
BENCHMARK(BM_RepaintFlatExSpeedButtons)->Unit(benchmark::kMillisecond);

void BM_RepaintFlatLayerSpeedButtons(benchmark::State& state) { RepaintFlatButtons<TSpeedButton>(state); }
BENCHMARK(BM_RepaintFlatLayerSpeedButtons)->Unit(benchmark::kMillisecond);

// Makes state.range(0) buttons with one shared 16 x 16 glyph and paints each once; the counter
// "perButton" is the time per button, "lists" the lists the cache holds with the buttons alive.
void BM_MakeAndPaintButtonsSharingAGlyph(benchmark::State& state)
{
    TButtonsBenchForm scene;
    auto glyph = ButtonsBenchGlyph(1);
    const int count = static_cast<int>(state.range(0));
    double lists = 0;
    for (auto _ : state) {
        std::vector<TExSpeedButton*> buttons;
        buttons.reserve(static_cast<std::size_t>(count));
        // As while a form is built: the form aligns its children once, not at each new one.
        scene.Form->DisableAlign();
        for (int i = 0; i < count; ++i) {
            auto* button = new TExSpeedButton(scene.Form.get());
            button->SetParent(scene.Form.get());
            button->SetBoundsRect(TButtonsBenchForm::Place(i));
            button->SetGlyph(glyph.get());
            button->Repaint();
            buttons.push_back(button);
        }
        scene.Form->EnableAlign();
        state.PauseTiming();
        lists = static_cast<double>(exctrls::QueryGlyphCache().UsedCounts.size());
        for (TExSpeedButton* button : buttons)
            TComponent::Free(button);
        Application->ProcessMessages();
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * count);
    state.counters["perButton"] =
        benchmark::Counter(static_cast<double>(state.iterations() * count), benchmark::Counter::kIsRate |
                                                                                benchmark::Counter::kInvert);
    state.counters["lists"] = lists;
}
BENCHMARK(BM_MakeAndPaintButtonsSharingAGlyph)->Arg(10)->Arg(1000)->Unit(benchmark::kMillisecond);

} // namespace
