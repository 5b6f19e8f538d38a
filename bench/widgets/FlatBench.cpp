// The flat buttons: repainting hovered speed buttons beside the layer's flat speed button, one
// tick of the hover poll on a crowded form, and the tint arithmetic every flat control repeats.
// The flat edits and combo box beside the layer's: focus changes and repaints.

#include "platform/gui/Application.h"
#include "platform/gui/ComboBox.h"
#include "platform/gui/Edit.h"
#include "platform/gui/Form.h"
#include "platform/gui/InputTranslation.h"
#include "platform/gui/SpeedButton.h"
#include "platform/gui/Timer.h"
#include "platform/gui/WindowFunctions.h"
#include "widgets/FlatButton.h"
#include "widgets/FlatComboBox.h"
#include "widgets/FlatDrawing.h"
#include "widgets/FlatEdit.h"
#include "widgets/FlatSpeedButton.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <memory>
#include <vector>

namespace FlatBench {

void EnsureApplication()
{
    static const bool initialized = [] {
        setenv("QT_QPA_PLATFORM", "offscreen", 0);
        Application->Initialize();
        return true;
    }();
    (void)initialized;
}

LPARAM At(int x, int y) { return static_cast<LPARAM>((y << 16) | (x & 0xFFFF)); }

// A two-image strip of 16 x 16 images: a square on white, then its greyed copy.
std::unique_ptr<TBitmap> TwoImageGlyph()
{
    auto glyph = std::make_unique<TBitmap>();
    glyph->SetSize(32, 16);
    TCanvas* canvas = glyph->Canvas();
    canvas->Brush()->SetColor(clWhite);
    canvas->FillRect(Rect(0, 0, 32, 16));
    canvas->Brush()->SetColor(clNavy);
    canvas->FillRect(Rect(3, 3, 13, 13));
    canvas->Brush()->SetColor(clGray);
    canvas->FillRect(Rect(19, 3, 29, 13));
    return glyph;
}

// A shown form with 100 buttons of class T in rows of ten, each with the glyph and a caption.
template <class T>
struct TButtonRows {
    TForm Form{nullptr};
    std::vector<T*> Buttons;
    explicit TButtonRows(TBitmap* glyph)
    {
        Form.SetBounds(200, 200, 10 * 70 + 20, 10 * 50 + 40);
        for (int i = 0; i < 100; ++i) {
            auto* button = new T(&Form);
            button->SetParent(&Form);
            button->SetBounds(10 + (i % 10) * 70, 10 + (i / 10) * 50, 66, 46);
            button->SetCaption("Salva");
            button->SetGlyph(glyph);
            button->SetNumGlyphs(2);
            Buttons.push_back(button);
        }
        Form.Show();
        Application->ProcessMessages();
    }
};

void BM_FlatSpeedButtonsRepaintHovered(benchmark::State& state)
{
    EnsureApplication();
    auto glyph = TwoImageGlyph();
    TButtonRows<TFlatSpeedButton> rows(glyph.get());
    TControl* underPointer = nullptr;
    SetPointerLocator([&](TPoint, bool) { return underPointer; });
    SetForegroundWindow(rows.Form.Handle());
    for (auto _ : state) {
        // One hover owner per class: the pointer visits each button and it repaints hovered.
        for (TFlatSpeedButton* button : rows.Buttons) {
            underPointer = button;
            button->Perform(WM_MOUSEMOVE, 0, At(5, 5));
            button->Invalidate();
            button->PaintControl();
        }
    }
    SetPointerLocator({});
    state.SetItemsProcessed(state.iterations() * 100);
}
BENCHMARK(BM_FlatSpeedButtonsRepaintHovered)->Unit(benchmark::kMicrosecond);

void BM_LayerSpeedButtonsRepaintHovered(benchmark::State& state)
{
    EnsureApplication();
    auto glyph = TwoImageGlyph();
    TButtonRows<TSpeedButton> rows(glyph.get());
    for (TSpeedButton* button : rows.Buttons)
        button->SetFlat(true);
    TSpeedButton* previous = nullptr;
    for (auto _ : state) {
        for (TSpeedButton* button : rows.Buttons) {
            if (previous)
                previous->Perform(CM_MOUSELEAVE, 0, 0);
            button->Perform(CM_MOUSEENTER, 0, 0);
            previous = button;
            button->Invalidate();
            button->PaintControl();
        }
    }
    state.SetItemsProcessed(state.iterations() * 100);
}
BENCHMARK(BM_LayerSpeedButtonsRepaintHovered)->Unit(benchmark::kMicrosecond);

// One tick with the pointer over none of 200 buttons: the owner loses its look.
void BM_FlatHoverTickOver200Buttons(benchmark::State& state)
{
    EnsureApplication();
    TForm form(nullptr);
    form.SetBounds(300, 300, 20 * 30 + 20, 10 * 30 + 40);
    std::vector<TFlatButton*> buttons;
    for (int i = 0; i < 200; ++i) {
        auto* button = new TFlatButton(&form);
        button->SetParent(&form);
        button->SetBounds(10 + (i % 20) * 30, 10 + (i / 20) * 30, 25, 25);
        buttons.push_back(button);
    }
    form.Show();
    SetForegroundWindow(form.Handle());
    Application->ProcessMessages();
    SetCursorPos(5, 5);
    TFlatHoverTracker& tracker = TFlatButton::HoverTracker();
    TControl* underPointer = nullptr;
    for (auto _ : state) {
        state.PauseTiming();
        underPointer = buttons[100];
        SetPointerLocator([&](TPoint, bool) { return underPointer; });
        buttons[100]->Perform(WM_MOUSEMOVE, 0, At(5, 5));
        SetPointerLocator({});
        state.ResumeTiming();
        tracker.Timer()->OnTimer(tracker.Timer());
    }
    if (tracker.Owner())
        state.SkipWithError("the tick did not end the hover");
}
BENCHMARK(BM_FlatHoverTickOver200Buttons)->Unit(benchmark::kMicrosecond);

void BM_CalcAdvancedColorMillion(benchmark::State& state)
{
    std::vector<TColor> colours(1000000);
    std::uint32_t next = 12345;
    for (TColor& c : colours) {
        next = next * 1664525u + 1013904223u;
        c = static_cast<TColor>(next >> 8);
    }
    for (auto _ : state) {
        TColor sum = 0;
        for (TColor c : colours)
            sum ^= FlatDrawing::CalcAdvancedColor(c, 0, 10, FlatDrawing::lighten);
        benchmark::DoNotOptimize(sum);
    }
    state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(colours.size()));
}
BENCHMARK(BM_CalcAdvancedColorMillion)->Unit(benchmark::kMillisecond);

// Two edits of class T on a shown, active form; each iteration moves the focus there and back,
// letting the repaints of each change run.
template <class T>
void FocusBackAndForth(benchmark::State& state)
{
    EnsureApplication();
    TForm form(nullptr);
    form.SetBounds(100, 100, 300, 120);
    T* edits[2];
    for (int i = 0; i < 2; ++i) {
        edits[i] = new T(&form);
        edits[i]->SetParent(&form);
        edits[i]->SetBounds(10, 10 + 30 * i, 121, 19);
        edits[i]->SetText("Fattura 12");
    }
    form.Show();
    SetForegroundWindow(form.Handle());
    Application->ProcessMessages();
    for (auto _ : state) {
        for (T* edit : edits) {
            edit->SetFocus();
            Application->ProcessMessages();
        }
    }
    state.SetItemsProcessed(state.iterations() * 2);
}

void BM_FlatEditFocusChanges(benchmark::State& state) { FocusBackAndForth<TFlatEdit>(state); }
BENCHMARK(BM_FlatEditFocusChanges)->Iterations(5000)->Unit(benchmark::kMicrosecond);

void BM_LayerEditFocusChanges(benchmark::State& state) { FocusBackAndForth<TEdit>(state); }
BENCHMARK(BM_LayerEditFocusChanges)->Iterations(5000)->Unit(benchmark::kMicrosecond);

// A focused drop-down list of class T, 145 x 25 with three items, repainted whole.
template <class T>
void RepaintFocusedCombo(benchmark::State& state)
{
    EnsureApplication();
    TForm form(nullptr);
    form.SetBounds(100, 100, 300, 120);
    auto* combo = new T(&form);
    combo->SetParent(&form);
    combo->SetStyle(csDropDownList);
    combo->SetBounds(10, 10, 145, 25);
    for (const char* item : {"Fattura", "Nota di credito", "Preventivo"})
        combo->Items()->Add(item);
    combo->SetItemIndex(1);
    form.Show();
    SetForegroundWindow(form.Handle());
    combo->SetFocus();
    Application->ProcessMessages();
    for (auto _ : state) {
        combo->Repaint();
        Application->ProcessMessages();
    }
}

void BM_FlatComboRepaintFocused(benchmark::State& state) { RepaintFocusedCombo<TFlatComboBox>(state); }
BENCHMARK(BM_FlatComboRepaintFocused)->Unit(benchmark::kMicrosecond);

void BM_LayerComboRepaintFocused(benchmark::State& state) { RepaintFocusedCombo<TComboBox>(state); }
BENCHMARK(BM_LayerComboRepaintFocused)->Unit(benchmark::kMicrosecond);

} // namespace FlatBench
