// Text objects and prepared pages: wrapping a long paragraph against the transcription of the rules
// that measures every piece; saving and loading a prepared report of 1,000 sheets; drawing a sheet
// of 300 text objects as a preview repaint does.

#include "tests/report/LiteralWrap.h"

#include "platform/gui/Application.h"
#include "platform/gui/Bitmap.h"
#include "platform/gui/PrinterDevice.h"
#include "platform/rtl/Streams.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>

namespace prepared_bench {

constexpr int SheetCount = 1000, ObjectsPerSheet = 40, TextsOnTheDrawnSheet = 300;

// Fonts need the application; the engine works with its virtual printer alone.
void StartEngine()
{
    static const bool started = [] {
        setenv("QT_QPA_PLATFORM", "offscreen", 0);
        Application->Initialize();
        TPrinterCatalogue none;
        none.VirtualWhenEmpty = false;
        SetPrinterCatalogue(none);
        rpInitEngine();
        return true;
    }();
    (void)started;
}

// Words of invoice texts, with commas, full stops and hyphens, 20,000 characters in one line.
std::string LongParagraph()
{
    static const char* const words[] = {"Fattura", "n.", "12/2024", "del", "cliente", "Rossi", "S.r.l.,", "via",
                                        "Garibaldi", "14", "-", "consegna", "pro-forma", "imponibile", "IVA", "22%."};
    std::mt19937 random(20000);
    std::string text;
    while (text.size() < 20000) {
        text += words[random() % std::size(words)];
        text += ' ';
    }
    text.resize(20000);
    return text;
}

std::unique_ptr<TrpMemoView> ParagraphMemo()
{
    StartEngine();
    auto memo = std::make_unique<TrpMemoView>();
    memo->SetBounds(0, 0, 300 + 4, 20);
    memo->WorkMemo->Add(LongParagraph());
    memo->CalcGaps();
    memo->RestoreCoord();
    return memo;
}

std::vector<std::string> Lines(TStrings& lines)
{
    std::vector<std::string> copy;
    for (int n = 0; n < lines.Count(); ++n)
        copy.push_back(lines.Strings(n));
    return copy;
}

void BM_WrapParagraph(benchmark::State& state)
{
    auto memo = ParagraphMemo();
    memo->WrapMemo();
    if (Lines(*SMemo) != LiteralWrap::Wrap(*memo))
        state.SkipWithError("the wrapper and the rules break differently");
    for (auto _ : state)
        memo->WrapMemo();
    state.counters["lines"] = SMemo->Count();
}
BENCHMARK(BM_WrapParagraph)->Unit(benchmark::kMicrosecond);

void BM_WrapParagraphPieceByPiece(benchmark::State& state)
{
    auto memo = ParagraphMemo();
    for (auto _ : state)
        benchmark::DoNotOptimize(LiteralWrap::Wrap(*memo));
}
BENCHMARK(BM_WrapParagraphPieceByPiece)->Unit(benchmark::kMicrosecond);

void PutObject(TrpPageInfo& sheet, TrpView& view)
{
    view.StreamMode = smPrinting;
    view.WorkMemo->Assign(view.Memo.get());
    sheet.Stream->WriteUInt8(view.ObjectType);
    view.SaveToStream(*sheet.Stream);
}

// A sheet of an invoice: texts of one or two lines, some framed, a few lines.
void FillSheet(TrpReport& report, TrpPage* page, int sheetNumber, int texts, int lines)
{
    report.PreparedPages->Add(page);
    TrpPageInfo& sheet = *report.PreparedPages->Pages(report.PreparedPages->Count() - 1);
    for (int i = 0; i < texts; ++i) {
        TrpMemoView memo;
        memo.SetBounds(20 + i % 6 * 120, 20 + i / 6 * 20, 115, 18);
        memo.Memo->Add("Articolo " + std::to_string(sheetNumber * 100 + i) + " quantit\xE0 " + std::to_string(i % 7));
        if (i % 3 == 0)
            memo.Memo->Add("Totale 1.234,50");
        memo.Adjust = i % 4 == 1 ? 1 : 0;
        memo.FrameTyp = i % 5 == 0 ? rpFrameAll : 0;
        PutObject(sheet, memo);
    }
    for (int i = 0; i < lines; ++i) {
        TrpLineView line;
        line.SetBounds(20, 40 + i * 300, 700, 0);
        PutObject(sheet, line);
    }
}

TMemoryStream& PreparedReport()
{
    static TMemoryStream bytes;
    if (bytes.Size() > 0)
        return bytes;
    StartEngine();
    TrpReport report(nullptr);
    TrpPage* page = report.DesignPages->Add();
    for (int i = 0; i < SheetCount; ++i)
        FillSheet(report, page, i, ObjectsPerSheet - 3, 3);
    report.PreparedPages->SaveToStream(bytes);
    return bytes;
}

void BM_SavePrepared(benchmark::State& state)
{
    TMemoryStream& source = PreparedReport();
    source.SetPosition(0);
    TrpReport report(nullptr);
    report.PreparedPages->LoadFromStream(source);
    for (auto _ : state) {
        TMemoryStream target;
        report.PreparedPages->SaveToStream(target);
        benchmark::DoNotOptimize(target.Memory());
    }
    state.SetBytesProcessed(state.iterations() * source.Size());
    state.counters["file_bytes"] = static_cast<double>(source.Size());
}
BENCHMARK(BM_SavePrepared)->Unit(benchmark::kMillisecond);

void BM_LoadPrepared(benchmark::State& state)
{
    TMemoryStream& source = PreparedReport();
    TrpReport report(nullptr);
    for (auto _ : state) {
        source.SetPosition(0);
        report.PreparedPages->LoadFromStream(source);
    }
    if (report.PreparedPages->Count() != SheetCount)
        state.SkipWithError("the sheets did not load");
    state.SetBytesProcessed(state.iterations() * source.Size());
}
BENCHMARK(BM_LoadPrepared)->Unit(benchmark::kMillisecond);

// The same through SavePreparedReport and LoadPreparedReport: a file written by temporary name,
// flushed to the disk and renamed, and read back.
void BM_SaveAndLoadPreparedFile(benchmark::State& state)
{
    TMemoryStream& source = PreparedReport();
    source.SetPosition(0);
    TrpReport report(nullptr);
    report.PreparedPages->LoadFromStream(source);
    const std::string file = (std::filesystem::temp_directory_path() / "tess-prepared-bench.frp").string();
    const bool save = state.range(0) == 0;
    report.SavePreparedReport(file);
    for (auto _ : state) {
        if (save)
            report.SavePreparedReport(file);
        else
            report.LoadPreparedReport(file);
    }
    state.SetBytesProcessed(state.iterations() * source.Size());
    state.SetLabel(save ? "save" : "load");
    std::filesystem::remove(file);
}
BENCHMARK(BM_SaveAndLoadPreparedFile)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

// A repaint: the sheet's objects are loaded already, as they stay while the sheet shows.
void BM_DrawSheet(benchmark::State& state)
{
    StartEngine();
    TrpReport report(nullptr);
    FillSheet(report, report.DesignPages->Add(), 1, TextsOnTheDrawnSheet, 0);
    TBitmap bitmap;
    bitmap.SetPixelFormat(pf24bit);
    bitmap.SetSize(752, 1071);
    report.PreparedPages->Pages(0)->Visible = true;
    const bool loadFirst = state.range(0) == 1;
    for (auto _ : state) {
        if (loadFirst)
            report.PreparedPages->Pages(0)->Page.reset();
        report.PreparedPages->Draw(0, bitmap.Canvas(), {0, 0, 752, 1071});
    }
    state.SetLabel(loadFirst ? "objects loaded each time" : "repaint");
    DocMode = dmDesigning;
    if (const char* picture = std::getenv("TESS_BENCH_PICTURE"))
        bitmap.SaveToFile(picture);
}
BENCHMARK(BM_DrawSheet)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

} // namespace prepared_bench
