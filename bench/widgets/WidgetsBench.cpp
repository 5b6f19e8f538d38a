// Painting the components that show long help texts and the notes list, each beside the layer's
// own control doing the same work: a word-wrapping label, a plain owner-drawn list box.

#include "platform/gui/Application.h"
#include "platform/gui/Form.h"
#include "platform/gui/Label.h"
#include "platform/gui/ListBox.h"
#include "widgets/AHListBox.h"
#include "widgets/HintBox.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

namespace {

void EnsureWidgetsBenchApplication()
{
    static const bool initialized = [] {
        setenv("QT_QPA_PLATFORM", "offscreen", 0);
        Application->Initialize();
        return true;
    }();
    (void)initialized;
}

// Paints the control again and again through the layer's own painting.
void RepaintLoop(benchmark::State& state, TControl* control)
{
    for (auto _ : state) {
        control->Invalidate();
        control->PaintControl();
    }
}

// Forty help lines of 200 characters of words.
std::vector<std::string> HelpLines()
{
    static const char* words[] = {"documento", "fattura", "cliente", "articolo", "aliquota", "il", "di", "e",
                                  "conferma", "modulo", "campo", "stampa"};
    std::vector<std::string> lines;
    for (int i = 0; i < 40; ++i) {
        std::string line;
        for (int w = i; line.size() < 200; ++w)
            line += std::string(words[w % 12]) + " ";
        line.resize(200);
        lines.push_back(line);
    }
    return lines;
}

void BM_HintBoxPaint40Lines(benchmark::State& state)
{
    EnsureWidgetsBenchApplication();
    TForm form(nullptr);
    form.SetBounds(0, 0, 340, 440);
    auto* box = new THintBox(&form);
    box->SetParent(&form);
    box->SetBounds(0, 0, 300, 400);
    TStringList lines;
    for (const std::string& line : HelpLines())
        lines.Add(line);
    box->SetLines(&lines);
    form.Show();
    RepaintLoop(state, box);
}
BENCHMARK(BM_HintBoxPaint40Lines)->Unit(benchmark::kMicrosecond);

void BM_WordWrapLabelPaint40Lines(benchmark::State& state)
{
    EnsureWidgetsBenchApplication();
    TForm form(nullptr);
    form.SetBounds(0, 0, 340, 440);
    auto* label = new TLabel(&form);
    label->SetParent(&form);
    label->SetAutoSize(false);
    label->SetWordWrap(true);
    label->SetBounds(0, 0, 300, 400);
    std::string text;
    for (const std::string& line : HelpLines())
        text += line + "\r\n";
    label->SetCaption(text);
    form.Show();
    RepaintLoop(state, label);
}
BENCHMARK(BM_WordWrapLabelPaint40Lines)->Unit(benchmark::kMicrosecond);

std::unique_ptr<TImageList> BenchImages()
{
    auto images = std::make_unique<TImageList>(16, 16);
    TBitmap strip;
    strip.SetSize(48, 16);
    for (int i = 0; i < 3; ++i) {
        strip.Canvas()->Brush()->SetColor(i == 0 ? clGreen : i == 1 ? clYellow : clRed);
        strip.Canvas()->FillRect(Rect(16 * i, 0, 16 * i + 16, 16));
    }
    images->Add(&strip, nullptr);
    return images;
}

void FillNotes(TStrings* items)
{
    for (int i = 0; i < 40; ++i)
        items->Add("Appunto numero " + std::to_string(i) + " da ricordare");
}

void BM_AHListBoxPaint40Rows(benchmark::State& state)
{
    EnsureWidgetsBenchApplication();
    auto images = BenchImages();
    TForm form(nullptr);
    form.SetBounds(0, 0, 300, 900);
    auto* list = new TAHListBox(&form);
    list->SetParent(&form);
    list->SetBorderStyle(bsNone);
    list->SetOddEvenColors(true);
    list->SetOddColor(15912375);
    list->SetEvenColor(16244694);
    list->SetImages(images.get());
    list->OnGetImageIndex = [](TObject*, int row, int& idx) { idx = row % 3; };
    FillNotes(list->Items());
    list->SetBounds(0, 0, 240, 40 * list->ItemHeight());
    form.Show();
    RepaintLoop(state, list);
}
BENCHMARK(BM_AHListBoxPaint40Rows)->Unit(benchmark::kMicrosecond);

void BM_OwnerDrawListBoxPaint40Rows(benchmark::State& state)
{
    EnsureWidgetsBenchApplication();
    TForm form(nullptr);
    form.SetBounds(0, 0, 300, 900);
    auto* list = new TListBox(&form);
    list->SetParent(&form);
    list->SetBorderStyle(bsNone);
    list->SetStyle(lbOwnerDrawFixed);
    list->SetItemHeight(21);
    list->OnDrawItem = [list](TWinControl*, int index, TRect rect, TOwnerDrawState) {
        TCanvas* canvas = list->Canvas();
        canvas->Brush()->SetColor(index % 2 ? 15912375 : 16244694);
        canvas->FillRect(rect);
        canvas->TextOut(rect.Left + 3, rect.Top + 3, list->Items()->Strings(index));
    };
    FillNotes(list->Items());
    list->SetBounds(0, 0, 240, 40 * 21);
    form.Show();
    RepaintLoop(state, list);
}
BENCHMARK(BM_OwnerDrawListBoxPaint40Rows)->Unit(benchmark::kMicrosecond);

} // namespace
