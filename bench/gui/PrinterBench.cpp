// Printing 100 A4 pages of 60 ruled lines of Arial 10 to the virtual PDF printer, beside the same
// drawing done with a raw QPainter on a Qt PDF writer at 1200 dpi; the file sizes are counters.

#include "BenchApplication.h"

#include "platform/gui/PdfPrinter.h"
#include "platform/gui/Printer.h"
#include "platform/os/TempFiles.h"
#include "platform/rtl/Files.h"

#include <QApplication>
#include <QFile>
#include <QFont>
#include <QPainter>
#include <QPdfWriter>

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <memory>

namespace {

constexpr int Pages = 100;
constexpr int Lines = 60;

std::string LineText(int page, int line)
{
    return "Riga " + std::to_string(line + 1) + " della pagina " + std::to_string(page + 1) +
           ": Cliente di prova, importo 1.234,56";
}

void BM_VirtualPrinter100Pages(benchmark::State& state)
{
    EnsureBenchApplication();
    TTempFolder folder("tess-print-bench");
    SetPrinterCatalogue(TPrinterCatalogue{});
    SetVirtualPrinterFolder(folder.Path());
    auto previous = SetPrinter(std::make_unique<TPrinter>());
    TPrinter* printer = Printer();
    const int lineHeight = printer->PageHeight() / (Lines + 2);
    const int width = printer->PageWidth();
    std::int64_t size = 0;
    for (auto _ : state) {
        printer->Title = "bench";
        printer->BeginDoc();
        TCanvas* canvas = printer->Canvas();
        for (int page = 0; page < Pages; ++page) {
            if (page > 0)
                printer->NewPage();
            canvas->Font()->SetName("Arial");
            canvas->Font()->SetSize(10);
            for (int line = 0; line < Lines; ++line) {
                const int y = (line + 1) * lineHeight;
                canvas->MoveTo(0, y);
                canvas->LineTo(width, y);
                canvas->TextOut(20, y + 20, LineText(page, line));
            }
        }
        printer->EndDoc();
        state.PauseTiming();
        size = static_cast<std::int64_t>(std::filesystem::file_size(printer->LastOutputFile()));
        DeleteFile(printer->LastOutputFile());
        state.ResumeTiming();
    }
    state.counters["bytes"] = static_cast<double>(size);
    SetPrinter(std::move(previous));
    SetVirtualPrinterFolder("");
    ResetPrinterCatalogue();
}
BENCHMARK(BM_VirtualPrinter100Pages)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_RawQPainter100Pages(benchmark::State& state)
{
    EnsureBenchApplication();
    TTempFolder folder("tess-print-bench");
    const QString path = QString::fromStdString(folder.Path()) + "/raw.pdf";
    std::int64_t size = 0;
    for (auto _ : state) {
        {
            QPdfWriter writer(path);
            writer.setResolution(1200);
            writer.setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait, QMarginsF(0, 0, 0, 0)));
            QPainter painter(&writer);
            const int lineHeight = 13559 / (Lines + 2);
            QFont font("Liberation Sans");
            font.setPixelSize(167);
            for (int page = 0; page < Pages; ++page) {
                if (page > 0)
                    writer.newPage();
                painter.save();
                painter.translate(236, 236);
                painter.setFont(font);
                for (int line = 0; line < Lines; ++line) {
                    const int y = (line + 1) * lineHeight;
                    painter.drawLine(0, y, 9449, y);
                    painter.drawText(20, y + 20 + 151, QString::fromStdString(LineText(page, line)));
                }
                painter.restore();
            }
        }
        state.PauseTiming();
        size = QFile(path).size();
        QFile::remove(path);
        state.ResumeTiming();
    }
    state.counters["bytes"] = static_cast<double>(size);
}
BENCHMARK(BM_RawQPainter100Pages)->Unit(benchmark::kMillisecond)->Iterations(3);

} // namespace
