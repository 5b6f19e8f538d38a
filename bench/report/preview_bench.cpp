// The preview and printing of long reports: searching a word found only on the last of 1,000
// sheets (against pdftotext | grep on the same report printed to PDF), the layout after a
// resize and the paint of one scroll step with 1,000 sheets, and printing 100 sheets to a file
// printer, next to the engine's own drawing of the same sheets.

#include "report/RP_Class.h"
#include "report/RP_View.h"

#include "platform/gui/Application.h"
#include "platform/gui/Metafile.h"
#include "platform/gui/Printer.h"
#include "platform/gui/PrinterDevice.h"
#include "platform/gui/ScrollBar.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>

namespace preview_bench {

namespace fs = std::filesystem;

constexpr int LinesPerSheet = 30;

const fs::path& OutputFolder()
{
    static const fs::path folder = [] {
        fs::path path = fs::temp_directory_path() / ("tess-preview-bench-" + std::to_string(getpid()));
        fs::create_directories(path);
        return path;
    }();
    return folder;
}

void StartEngine()
{
    static const bool started = [] {
        setenv("QT_QPA_PLATFORM", "offscreen", 0);
        Application->Initialize();
        TPrinterCatalogue catalogue;
        catalogue.VirtualWhenEmpty = false;
        TPrinterInfo info;
        info.Name = "Archivio";
        info.Kind = TPrinterKind::File;
        info.Resolution = 600;
        info.Papers = {DMPAPER_A4};
        info.OutputFolder = OutputFolder().string();
        catalogue.Printers.push_back(info);
        SetPrinterCatalogue(catalogue);
        rpInitEngine();
        Printer()->SetPrinterIndex(0);
        rpPrinter()->SetPrinter(Printer());
        std::atexit([] { fs::remove_all(OutputFolder()); });
        return true;
    }();
    (void)started;
}

// Sheets of 30 invoice lines; "Parolarara" only on the last sheet, in its first line.
void FillSheets(TrpReport& report, int sheets)
{
    TrpPage* page = report.DesignPages->Add();
    for (int n = 1; n <= sheets; ++n) {
        report.PreparedPages->Add(page);
        TrpPageInfo* sheet = report.PreparedPages->Pages(n - 1);
        for (int line = 0; line < LinesPerSheet; ++line) {
            TrpMemoView memo;
            memo.SetBounds(40, 40 + line * 30, 600, 20);
            memo.Memo->Add(n == sheets && line == 0
                               ? std::string("Parolarara")
                               : "Riga " + std::to_string(line + 1) + " del foglio " + std::to_string(n) +
                                     ", articolo e importo 12,50");
            memo.StreamMode = smPrinting;
            memo.WorkMemo->Assign(memo.Memo.get());
            sheet->Stream->SetPosition(sheet->Stream->Size());
            sheet->Stream->WriteUInt8(memo.ObjectType);
            memo.SaveToStream(*sheet->Stream);
        }
    }
}

// A host window with a preview of 1,000 sheets at 100%.
struct TPreviewSetup {
    TPreviewSetup()
    {
        StartEngine();
        Host = TForm::Create<TForm>(nullptr);
        Host->SetClientWidth(840);
        Host->SetClientHeight(640);
        View = new TrpPreview(Host);
        View->SetParent(Host);
        View->SetAlign(alClient);
        Report = std::make_unique<TrpReport>(nullptr);
        Report->ShowProgress = false;
        Report->SetPreview(View);
        FillSheets(*Report, 1000);
        Host->Show();
        Report->ShowPreparedReport();
        View->SetZoom(100);
    }
    ~TPreviewSetup()
    {
        Report->SetPreview(nullptr);
        TComponent::Free(Host);
        DocMode = dmDesigning;
    }
    TForm* Host = nullptr;
    TrpPreview* View = nullptr;
    std::unique_ptr<TrpReport> Report;
};

std::string RunShell(const std::string& command)
{
    std::string output;
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe)
        return output;
    char buffer[4096];
    size_t n = 0;
    while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0)
        output.append(buffer, n);
    pclose(pipe);
    return output;
}

void BM_FindStringOnTheLastOf1000Sheets(benchmark::State& state)
{
    TPreviewSetup setup;
    for (auto _ : state) {
        const bool found = setup.View->FindString("parolarara", false, true);
        if (!found || setup.View->GetPage() != 1000)
            state.SkipWithError("not found on sheet 1000");
    }
}
BENCHMARK(BM_FindStringOnTheLastOf1000Sheets)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_PdftotextGrepPeer(benchmark::State& state)
{
    StartEngine();
    std::string pdf;
    {
        TrpReport report(nullptr);
        report.ShowProgress = false;
        report.Title = "Ricerca";
        FillSheets(report, 1000);
        report.PrintPreparedReport("", 1);
        pdf = Printer()->LastOutputFile();
    }
    for (auto _ : state) {
        const std::string count = RunShell("pdftotext '" + pdf + "' - | grep -c Parolarara");
        if (count != "1\n")
            state.SkipWithError("grep did not count one hit");
    }
    fs::remove(pdf);
}
BENCHMARK(BM_PdftotextGrepPeer)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_LayoutAfterAResizeWith1000Sheets(benchmark::State& state)
{
    TPreviewSetup setup;
    int width = 840;
    for (auto _ : state) {
        width = width == 840 ? 700 : 840;
        setup.Host->SetClientWidth(width);
        setup.View->PreviewForm->FormResize();
    }
}
BENCHMARK(BM_LayoutAfterAResizeWith1000Sheets)->Unit(benchmark::kMillisecond);

void BM_PaintOfOneScrollStepAt100(benchmark::State& state)
{
    TPreviewSetup setup;
    TScrollBar* bar = setup.View->GetVerticalScrollBar();
    TrpPBox* box = setup.View->PreviewForm->PageBox;
    box->Repaint();
    int position = 0;
    for (auto _ : state) {
        position = position + 10 > 20000 ? 0 : position + 10;
        bar->SetPosition(position);
        box->Update();
    }
}
BENCHMARK(BM_PaintOfOneScrollStepAt100)->Unit(benchmark::kMillisecond);

void BM_Print100SheetsToAFilePrinter(benchmark::State& state)
{
    StartEngine();
    TrpReport report(nullptr);
    report.ShowProgress = false;
    report.Title = "Cento fogli";
    FillSheets(report, 100);
    for (auto _ : state) {
        report.PrintPreparedReport("", 1);
        state.PauseTiming();
        fs::remove(Printer()->LastOutputFile());
        state.ResumeTiming();
    }
    state.counters["sheets/s"] = benchmark::Counter(100.0 * state.iterations(), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_Print100SheetsToAFilePrinter)->Unit(benchmark::kMillisecond)->Iterations(3);

// The engine's own part of printing: loading and drawing the same 100 sheets, into a recording.
void BM_Draw100SheetsIntoAMetafile(benchmark::State& state)
{
    StartEngine();
    TrpReport report(nullptr);
    FillSheets(report, 100);
    for (auto _ : state) {
        for (int i = 0; i < 100; ++i) {
            TrpPageInfo* sheet = report.PreparedPages->Pages(i);
            TMetafile metafile;
            metafile.SetWidth(4960);
            metafile.SetHeight(7016);
            {
                TMetafileCanvas canvas(&metafile, nullptr);
                sheet->Visible = true;
                report.PreparedPages->Draw(i, &canvas, Rect(0, 0, 4960, 7016));
            }
            sheet->Visible = false;
            report.PreparedPages->Draw(i, nullptr, TRect());
        }
    }
    DocMode = dmDesigning;
}
BENCHMARK(BM_Draw100SheetsIntoAMetafile)->Unit(benchmark::kMillisecond)->Iterations(3);

} // namespace preview_bench
