// The flat buttons: repainting hovered speed buttons beside the layer's flat speed button, one
// tick of the hover poll on a crowded form, and the tint arithmetic every flat control repeats.
// The flat edits and combo box beside the layer's: focus changes and repaints. The flat hint
// beside the layer's hint window: a thousand hints shown one after the other and painted. The
// flat panel beside the layer's raised panel: repainting a captioned strip.

#include "platform/gui/Application.h"
#include "platform/gui/ComboBox.h"
#include "platform/gui/Edit.h"
#include "platform/gui/Form.h"
#include "platform/gui/HintWindow.h"
#include "platform/gui/InputTranslation.h"
#include "platform/gui/Panel.h"
#include "platform/gui/SpeedButton.h"
#include "platform/gui/Timer.h"
#include "platform/gui/WindowFunctions.h"
#include "widgets/FlatButton.h"
#include "widgets/FlatComboBox.h"
#include "widgets/FlatDrawing.h"
#include "widgets/FlatEdit.h"
#include "widgets/FlatHint.h"
#include "widgets/FlatPanel.h"
#include "widgets/FlatSpeedButton.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <memory>
#include <string>
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

// A thousand hint texts of one to a dozen words, some long enough to wrap.
const std::vector<std::string>& HintTexts()
{
    static const std::vector<std::string> texts = [] {
        const char* words[] = {"Salva", "il", "documento", "corrente", "e", "stampa", "la", "fattura", "del", "cliente"};
        std::vector<std::string> result;
        for (int i = 0; i < 1000; ++i) {
            std::string text;
            for (int w = 0; w <= i % 12; ++w)
                text += std::string(w ? " " : "") + words[(i + w) % 10];
            result.push_back(text);
        }
        return result;
    }();
    return texts;
}

void BM_FlatHintWindowShowsThousandHints(benchmark::State& state)
{
    EnsureApplication();
    TFlatHintWindow window(nullptr);
    SetCursorPos(100, 100);
    for (auto _ : state)
        for (const std::string& text : HintTexts()) {
            window.ActivateHint(Bounds(100, 120, 1, 1), text);
            window.PaintControl();
        }
    window.ReleaseHandle();
    state.SetItemsProcessed(state.iterations() * 1000);
}
BENCHMARK(BM_FlatHintWindowShowsThousandHints)->Unit(benchmark::kMillisecond);

void BM_LayerHintWindowShowsThousandHints(benchmark::State& state)
{
    EnsureApplication();
    THintWindow window(nullptr);
    SetCursorPos(100, 100);
    for (auto _ : state)
        for (const std::string& text : HintTexts()) {
            // As the hint manager asks: measure, then show at the proposed place.
            TRect rect = window.CalcHintRect(200, text, nullptr);
            OffsetRect(rect, 100, 120);
            window.ActivateHint(rect, text);
            window.PaintControl();
        }
    window.ReleaseHandle();
    state.SetItemsProcessed(state.iterations() * 1000);
}
BENCHMARK(BM_LayerHintWindowShowsThousandHints)->Unit(benchmark::kMillisecond);

// A shown form with one 400 x 30 captioned panel of class T.
template <class T>
struct TPanelForm {
    TForm Form{nullptr};
    T* Panel = nullptr;
    TPanelForm()
    {
        Form.SetBounds(100, 100, 440, 80);
        Panel = new T(&Form);
        Panel->SetParent(&Form);
        Panel->SetBounds(10, 10, 400, 30);
        Panel->SetCaption("Dati del cliente");
        Form.Show();
        Application->ProcessMessages();
    }
};

void BM_FlatPanelRepaint(benchmark::State& state)
{
    EnsureApplication();
    TPanelForm<TFlatPanel> form;
    form.Panel->SetAlignment(taLeftJustify);
    for (auto _ : state) {
        form.Panel->Invalidate();
        form.Panel->PaintControl();
    }
}
BENCHMARK(BM_FlatPanelRepaint)->Unit(benchmark::kMicrosecond);

void BM_LayerPanelRepaint(benchmark::State& state)
{
    EnsureApplication();
    TPanelForm<TPanel> form;
    form.Panel->SetAlignment(taLeftJustify);
    form.Panel->SetBevelOuter(bvRaised);
    for (auto _ : state) {
        form.Panel->Invalidate();
        form.Panel->PaintControl();
    }
}
BENCHMARK(BM_LayerPanelRepaint)->Unit(benchmark::kMicrosecond);

} // namespace FlatBench
