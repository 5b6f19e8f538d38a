// The memo editor: loading a large file and showing its end beside the layer's TMemo doing the
// same, a full repaint of a large view with a selection, line breaks inserted into a long text,
// a repaint of a view full of addresses with and without link marking, a search for a missing word
// in 10 MB beside grep doing the same, and typing at the end of a text.

#include "platform/gui/Application.h"
#include "platform/gui/Edit.h"
#include "platform/gui/Form.h"
#include "platform/gui/Memo.h"
#include "platform/gui/Messages.h"
#include "platform/gui/WindowHandles.h"
#include "widgets/HlMemo.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <memory>
#include <string>
#include <unistd.h>

namespace {

void EnsureHlMemoBenchApplication()
{
    static const bool initialized = [] {
        setenv("QT_QPA_PLATFORM", "offscreen", 0);
        Application->Initialize();
        return true;
    }();
    (void)initialized;
}

// 100,000 lines of about 100 Windows-1252 bytes (10 MB), written once per run.
const std::string& LargeTextFile()
{
    static const std::string path = [] {
        const std::string name = "/tmp/hlmemo-bench-" + std::to_string(getpid()) + ".txt";
        std::ofstream out(name, std::ios::binary);
        for (int i = 0; i < 100000; ++i) {
            std::string line = "Riga " + std::to_string(i) + " della fattura \xE8 pi\xF9 lunga \x80 ";
            while (line.size() < 98)
                line += "importo ";
            line.resize(98);
            out << line << "\r\n";
        }
        return name;
    }();
    return path;
}

struct THlMemoBenchForm {
    std::unique_ptr<TForm> Form;
    THlMemo* Memo = nullptr;
    THlMemoBenchForm(int width, int height)
    {
        Form = std::make_unique<TForm>(nullptr);
        Form->SetBounds(0, 0, width + 40, height + 60);
        Memo = new THlMemo(Form.get());
        Memo->SetParent(Form.get());
        Memo->SetBounds(0, 0, width, height);
        Form->Show();
        Application->ProcessMessages();
    }
};

void BM_HlMemoLoadAndShowEnd(benchmark::State& state)
{
    EnsureHlMemoBenchApplication();
    const std::string& path = LargeTextFile();
    THlMemoBenchForm f(600, 400);
    for (auto _ : state) {
        f.Memo->LoadFromFile(path);
        // The scroll bars learn the new line count from the first paint.
        f.Memo->PaintControl();
        f.Memo->ScrollTo(0, 1000000000);
        f.Memo->Invalidate();
        f.Memo->PaintControl();
    }
    state.counters["top row"] = f.Memo->TopRow();
}
BENCHMARK(BM_HlMemoLoadAndShowEnd)->Unit(benchmark::kMillisecond);

void BM_LayerMemoLoadAndShowEnd(benchmark::State& state)
{
    EnsureHlMemoBenchApplication();
    const std::string& path = LargeTextFile();
    TForm form(nullptr);
    form.SetBounds(0, 0, 640, 460);
    auto* memo = new TMemo(&form);
    memo->SetParent(&form);
    memo->SetBounds(0, 0, 600, 400);
    form.Show();
    Application->ProcessMessages();
    for (auto _ : state) {
        memo->Lines()->LoadFromFile(path);
        SendMessageA(memo->Handle(), WM_VSCROLL, SB_BOTTOM, 0);
        memo->Repaint();
        Application->ProcessMessages();
    }
}
BENCHMARK(BM_LayerMemoLoadAndShowEnd)->Unit(benchmark::kMillisecond);

// state.range(0): 1 with a selection over half the rows, 0 without.
void BM_HlMemoRepaint60Rows(benchmark::State& state)
{
    EnsureHlMemoBenchApplication();
    THlMemoBenchForm f(1200, 800);
    THlMemo* memo = f.Memo;
    // Sixty rows in view, each of 200 characters.
    memo->SetHeight(memo->Height() + 59 * memo->LineHeight() + memo->LineHeight() / 2 - memo->ClientHeight());
    for (int i = 0; i < 100; ++i) {
        std::string line = "riga " + std::to_string(i) + " ";
        while (line.size() < 200)
            line += "testo\tdella riga ";
        line.resize(200);
        memo->Lines()->Add(line);
    }
    memo->SetSelBegin(Point(10, 30));
    memo->SetSelEnd(Point(40, 120));
    memo->SetSelectionPresent(state.range(0) != 0);
    memo->Invalidate();
    memo->PaintControl();
    for (auto _ : state) {
        memo->Invalidate();
        memo->PaintControl();
    }
    state.counters["rows"] = memo->VisibleRows();
}
BENCHMARK(BM_HlMemoRepaint60Rows)->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond);

void BM_HlMemo1000LineBreaksInto100000Lines(benchmark::State& state)
{
    EnsureHlMemoBenchApplication();
    THlMemo memo(nullptr);
    for (auto _ : state) {
        state.PauseTiming();
        memo.Lines()->Clear();
        for (int i = 0; i < 100000; ++i)
            memo.Lines()->Add("riga di testo numero " + std::to_string(i));
        state.ResumeTiming();
        for (int i = 0; i < 1000; ++i)
            memo.InsertTextAtPos("\r\n", 5, 50000);
    }
    state.counters["lines"] = memo.Lines()->Count();
}
BENCHMARK(BM_HlMemo1000LineBreaksInto100000Lines)->Unit(benchmark::kMillisecond);

// 60 rows of 200 characters, each with a web and an e-mail address; the argument turns marking on.
void BM_HlMemoRepaintWithLinks(benchmark::State& state)
{
    EnsureHlMemoBenchApplication();
    THlMemoBenchForm f(800, 600);
    for (int i = 0; i < 60; ++i) {
        std::string row = "riga " + std::to_string(i) + " vedi http://www.ditta" + std::to_string(i) +
                          ".it/listino/prezzi.html e scrivi a ufficio.vendite@ditta.it per ";
        while (row.size() < 200)
            row += "ordini ";
        row.resize(200);
        f.Memo->Lines()->Add(row);
    }
    f.Memo->GutterOptions()->SetVisible(false);
    f.Memo->SetClientWidth(200 * f.Memo->CharWidth());
    f.Memo->SetClientHeight(60 * f.Memo->LineHeight());
    Application->ProcessMessages();
    f.Memo->SetShowHyperlinks(state.range(0) != 0);
    for (auto _ : state) {
        f.Memo->Invalidate();
        f.Memo->PaintControl();
    }
}
BENCHMARK(BM_HlMemoRepaintWithLinks)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

double SecondsOf(const std::function<void()>& work)
{
    const auto start = std::chrono::steady_clock::now();
    work();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

void BM_HlMemoFindMissingWordIn10MB(benchmark::State& state)
{
    EnsureHlMemoBenchApplication();
    const std::string& path = LargeTextFile();
    THlMemoBenchForm f(600, 400);
    f.Memo->LoadFromFile(path);
    double memoSeconds = 0;
    double grepSeconds = 0;
    int rounds = 0;
    bool found = true;
    for (auto _ : state) {
        memoSeconds += SecondsOf([&] {
            f.Memo->OnSearchEnd = [&](TObject*, bool findIt, bool) { found = findIt; };
            f.Memo->FindText("assente", {}, false);
        });
        state.PauseTiming();
        grepSeconds += SecondsOf([&] {
            const std::string command = "grep -F -i -c assente " + path + " > /dev/null";
            if (std::system(command.c_str()) == -1)
                state.SkipWithError("grep could not be started");
        });
        state.ResumeTiming();
        ++rounds;
    }
    state.counters["found"] = found;
    state.counters["grep ms"] = grepSeconds * 1000 / rounds;
    state.counters["memo/grep"] = memoSeconds / grepSeconds;
}
BENCHMARK(BM_HlMemoFindMissingWordIn10MB)->Unit(benchmark::kMillisecond);

// 10,000 characters typed at the end of 1,000 lines; the argument ends a row with Enter after
// every 70 characters (0: one row takes them all). Each character redraws its row; each Enter
// redraws the view.
void BM_HlMemoType10000CharactersAtTheEnd(benchmark::State& state)
{
    EnsureHlMemoBenchApplication();
    THlMemoBenchForm f(600, 400);
    const std::string words = "Fattura numero 12 del cliente Rossi, importo \xE8 pari a 100 \x80. ";
    const int rowLength = static_cast<int>(state.range(0));
    double characterSeconds = 0, enterSeconds = 0, characters = 0, enters = 0;
    for (auto _ : state) {
        state.PauseTiming();
        f.Memo->Lines()->Clear();
        for (int i = 0; i < 1000; ++i)
            f.Memo->Lines()->Add("riga " + std::to_string(i) + " del testo gi\xE0 scritto");
        f.Memo->PaintControl();
        f.Memo->Perform(WM_KEYDOWN, VK_END, 0);
        f.Memo->Perform(WM_KEYDOWN, VK_DOWN, 0);
        state.ResumeTiming();
        for (int i = 0; i < 10000; ++i) {
            const bool enter = rowLength > 0 && i % (rowLength + 1) == rowLength;
            const char c = enter ? '\r' : words[static_cast<std::size_t>(i) % words.size()];
            const double key = SecondsOf([&] { f.Memo->Perform(WM_CHAR, static_cast<unsigned char>(c), 1); });
            (enter ? enterSeconds : characterSeconds) += key;
            (enter ? enters : characters) += 1;
        }
    }
    state.counters["us per key"] = (characterSeconds + enterSeconds) * 1e6 / (enters + characters);
    state.counters["us per character"] = characterSeconds * 1e6 / std::max(characters, 1.0);
    state.counters["us per Enter"] = enterSeconds * 1e6 / std::max(enters, 1.0);
    state.counters["lines"] = f.Memo->Lines()->Count();
}
BENCHMARK(BM_HlMemoType10000CharactersAtTheEnd)->Arg(0)->Arg(70)->Unit(benchmark::kMillisecond);

} // namespace
