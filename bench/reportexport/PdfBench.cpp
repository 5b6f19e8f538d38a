// The PDF writer against qpdf reading and rewriting the same file, and the canvas measuring text.

#include "reportexport/PdfDoc.h"
#include "reportexport/ReportExportInit.h"

#include "platform/gui/Application.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include <unistd.h>

namespace fs = std::filesystem;
using namespace PdfObject;

namespace {

// The report export library's dialogs need the application.
void StartReportExport()
{
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    Application->Initialize();
    InitReportExport();
}

const char* const BenchLines[] = {
    "Consulenza tecnica per l'impianto elettrico del capannone",
    "Fornitura di materiale vario come da preventivo n. 42",
    "Totale imponibile 1.234,56 \x80 IVA 22% 271,60 \x80",
    "Trasporto a cura del mittente, porto franco",
};

// A document of 100 pages with 80 text blocks each, alternating Helvetica and Times.
std::string InvoiceDocument()
{
    TPdfDoc doc;
    doc.NewDocument();
    for (int page = 0; page < 100; ++page) {
        doc.AddPage();
        TPdfCanvas& canvas = doc.Canvas();
        for (int block = 0; block < 80; ++block) {
            canvas.SetFont(block % 2 ? "Times-Roman" : "Arial", 9);
            float top = 830 - 10 * static_cast<float>(block);
            float left = block % 4 < 2 ? 30 : 300;
            canvas.WriteTextBlock(MakePdfRect(left, top, left + 260, top - 10),
                                  BenchLines[block % 4], block % 3 == 0);
        }
    }
    TMemoryStream stream;
    doc.SaveToStream(stream);
    return std::string(stream.Memory(), static_cast<std::size_t>(stream.Size()));
}

void BM_BuildAndSave100Pages(benchmark::State& state)
{
    StartReportExport();
    std::size_t size = 0;
    for (auto _ : state) {
        std::string file = InvoiceDocument();
        size = file.size();
        benchmark::DoNotOptimize(file.data());
    }
    state.counters["file_bytes"] = static_cast<double>(size);
}
BENCHMARK(BM_BuildAndSave100Pages)->Unit(benchmark::kMillisecond)->UseRealTime();

// The same file read and written again by qpdf, as the yardstick of the writer.
void BM_QpdfRewrite100Pages(benchmark::State& state)
{
    StartReportExport();
    fs::path folder = fs::temp_directory_path() / ("tess-pdf-bench-" + std::to_string(getpid()));
    fs::create_directories(folder);
    std::ofstream(folder / "in.pdf", std::ios::binary) << InvoiceDocument();
    std::string command = "qpdf --object-streams=disable '" + (folder / "in.pdf").string() +
                          "' '" + (folder / "out.pdf").string() + "'";
    for (auto _ : state) {
        if (std::system(command.c_str()) != 0) {
            state.SkipWithError("qpdf failed");
            break;
        }
    }
    fs::remove_all(folder);
}
BENCHMARK(BM_QpdfRewrite100Pages)->Unit(benchmark::kMillisecond)->UseRealTime();

std::string BenchText(std::size_t size)
{
    std::string text;
    for (std::size_t i = 0; text.size() < size; ++i)
        text += std::string(BenchLines[i % 4]) + " ";
    text.resize(size);
    return text;
}

void BM_TextWidth(benchmark::State& state)
{
    StartReportExport();
    TPdfDoc doc;
    TPdfCanvas& canvas = doc.NewVirtualDocument();
    canvas.SetWordSpace(1);
    std::string text = BenchText(static_cast<std::size_t>(state.range(0)));
    for (auto _ : state)
        benchmark::DoNotOptimize(canvas.TextWidth(text));
    state.SetBytesProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_TextWidth)->Arg(1 << 18)->Arg(1 << 20)->Arg(1 << 22);

void BM_MeasureText(benchmark::State& state)
{
    StartReportExport();
    TPdfDoc doc;
    TPdfCanvas& canvas = doc.NewVirtualDocument();
    std::string text = BenchText(static_cast<std::size_t>(state.range(0)));
    for (auto _ : state)
        benchmark::DoNotOptimize(canvas.MeasureText(text, 1e30f));
    state.SetBytesProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_MeasureText)->Arg(1 << 18)->Arg(1 << 20)->Arg(1 << 22);

} // namespace
