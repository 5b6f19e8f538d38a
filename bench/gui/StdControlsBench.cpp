// The standard controls at volume: list and combo boxes filling, list painting far down, masked
// typing, memo lines and the clipboard, beside the plain Qt work where there is one.

#include "BenchApplication.h"

#include "platform/gui/Application.h"
#include "platform/gui/Clipboard.h"
#include "platform/gui/ComboBox.h"
#include "platform/gui/Form.h"
#include "platform/gui/ListBox.h"
#include "platform/gui/MaskEdit.h"
#include "platform/gui/Memo.h"
#include "platform/gui/private/ControlHost.h"

#include <QApplication>
#include <QKeyEvent>
#include <QListWidget>

#include <benchmark/benchmark.h>

namespace {

std::vector<std::string> Items(int count)
{
    std::vector<std::string> items;
    items.reserve(static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i)
        items.push_back("Articolo numero " + std::to_string(i));
    return items;
}

void BM_ListBoxAdd100000(benchmark::State& state)
{
    EnsureBenchApplication();
    const auto items = Items(100000);
    for (auto _ : state) {
        TForm form(nullptr);
        auto* list = new TListBox(&form);
        list->SetParent(&form);
        list->HandleNeeded();
        list->Items()->BeginUpdate();
        for (const std::string& item : items)
            list->Items()->Add(item);
        list->Items()->EndUpdate();
        benchmark::DoNotOptimize(list->Items()->Count());
    }
}
BENCHMARK(BM_ListBoxAdd100000)->Unit(benchmark::kMillisecond);

void BM_QListWidgetAdd100000(benchmark::State& state)
{
    EnsureBenchApplication();
    const auto items = Items(100000);
    QStringList strings;
    for (const std::string& item : items)
        strings << QString::fromStdString(item);
    for (auto _ : state) {
        QListWidget widget;
        for (const QString& item : strings)
            widget.addItem(item);
        benchmark::DoNotOptimize(widget.count());
    }
}
BENCHMARK(BM_QListWidgetAdd100000)->Unit(benchmark::kMillisecond);

void BM_ListBoxPaintAt50000(benchmark::State& state)
{
    EnsureBenchApplication();
    TForm form(nullptr);
    form.SetBounds(0, 0, 300, 460);
    auto* list = new TListBox(&form);
    list->SetParent(&form);
    list->SetBounds(0, 0, 280, 400);
    list->Items()->BeginUpdate();
    for (const std::string& item : Items(100000))
        list->Items()->Add(item);
    list->Items()->EndUpdate();
    form.Show();
    list->SetTopIndex(50000);
    for (auto _ : state) {
        list->Invalidate();
        list->PaintControl();
    }
    form.Hide();
}
BENCHMARK(BM_ListBoxPaintAt50000)->Unit(benchmark::kMicrosecond);

void BM_ComboBoxAdd10000(benchmark::State& state)
{
    EnsureBenchApplication();
    const auto items = Items(10000);
    for (auto _ : state) {
        TForm form(nullptr);
        auto* combo = new TComboBox(&form);
        combo->SetParent(&form);
        combo->HandleNeeded();
        combo->Items()->BeginUpdate();
        for (const std::string& item : items)
            combo->Items()->Add(item);
        combo->Items()->EndUpdate();
        benchmark::DoNotOptimize(combo->Items()->Count());
    }
}
BENCHMARK(BM_ComboBoxAdd10000)->Unit(benchmark::kMillisecond);

void BM_MaskEditKeystroke(benchmark::State& state)
{
    EnsureBenchApplication();
    TForm form(nullptr);
    auto* edit = new TMaskEdit(&form);
    edit->SetParent(&form);
    edit->SetEditMask("!99/99/0000;1;_");
    edit->HandleNeeded();
    const std::string keys = "31122024";
    std::size_t next = 0;
    for (auto _ : state) {
        if (next % keys.size() == 0)
            edit->SetSelStart(0);
        edit->Perform(WM_CHAR, static_cast<unsigned char>(keys[next % keys.size()]), 0);
        ++next;
    }
}
BENCHMARK(BM_MaskEditKeystroke)->Unit(benchmark::kMicrosecond);

void MemoLines(benchmark::State& state, int count)
{
    EnsureBenchApplication();
    std::string text;
    for (int i = 0; i < count; ++i)
        text += "Riga di testo numero " + std::to_string(i) + "\r\n";
    TForm form(nullptr);
    auto* memo = new TMemo(&form);
    memo->SetParent(&form);
    memo->HandleNeeded();
    for (auto _ : state) {
        memo->Lines()->SetText(text);
        std::size_t total = 0;
        for (int i = 0; i < memo->Lines()->Count(); ++i)
            total += memo->Lines()->Strings(i).size();
        benchmark::DoNotOptimize(total);
        // The next round starts from an empty memo, as a new one would.
        state.PauseTiming();
        memo->Lines()->Clear();
        state.ResumeTiming();
    }
}

void BM_MemoLines100000(benchmark::State& state) { MemoLines(state, 100000); }
void BM_MemoLines50000(benchmark::State& state) { MemoLines(state, 50000); }
BENCHMARK(BM_MemoLines100000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_MemoLines50000)->Unit(benchmark::kMillisecond);

void BM_ClipboardText1MB(benchmark::State& state)
{
    EnsureBenchApplication();
    std::string text;
    while (text.size() < 1024 * 1024)
        text += "Caff\xE8 e cornetto, riga di prova\r\n";
    for (auto _ : state) {
        Clipboard()->SetAsText(text);
        benchmark::DoNotOptimize(Clipboard()->AsText().size());
    }
}
BENCHMARK(BM_ClipboardText1MB)->Unit(benchmark::kMillisecond);

} // namespace
