// The PDF export of a 100-page prepared report (80 text lines, a 300 × 100 logo and a barcode on
// every page) through the engine's export pass into a memory stream, as the mail queue makes its
// attachments; the peak memory of the process is reported beside the time. The yardstick in the
// same run: qpdf reading and rewriting the exported file without object streams.

#include "reportexport/RP_BarC.h"
#include "reportexport/RP_E_PicPDF.h"
#include "reportexport/ReportExportInit.h"

#include "report/RP_Class.h"
#include "report/RP_Prntr.h"
#include "report/RP_Utils.h"
#include "report/rpEMFPages.h"
#include "report/rpReport.h"

#include "platform/gui/Application.h"
#include "platform/gui/Bitmap.h"
#include "platform/gui/Printer.h"
#include "platform/gui/PrinterDevice.h"
#include "platform/rtl/Streams.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

#include <sys/resource.h>
#include <unistd.h>

namespace PicPdfExportBench {

constexpr int PageCount = 100;
constexpr int MemosPerPage = 80;

void StartEngine()
{
    static const bool started = [] {
        setenv("QT_QPA_PLATFORM", "offscreen", 0);
        Application->Initialize();
        TPrinterCatalogue none;
        none.VirtualWhenEmpty = false;
        SetPrinterCatalogue(none);
        rpInitEngine();
        InitReportExport();
        rpPrinter()->SetPrinter(Printer());
        return true;
    }();
    (void)started;
}

void PutPrepared(TrpPageInfo& sheet, TrpView& view)
{
    view.StreamMode = smPrinting;
    view.WorkMemo->Assign(view.Memo.get());
    sheet.Stream->SetPosition(sheet.Stream->Size());
    sheet.Stream->WriteUInt8(view.ObjectType);
    if (view.ObjectType == 10)
        rpWriteString(*sheet.Stream, view.ClassName());
    view.SaveToStream(*sheet.Stream);
}

const char* const LineTexts[] = {"Consulenza tecnica", "1.234,56", "Fornitura di materiale vario", "IVA 22%",
                                 "Totale \x80 271,60", "Rossi & Bianchi \"SRL\""};

std::unique_ptr<TrpReport> MakeReport()
{
    StartEngine();
    auto report = std::make_unique<TrpReport>(nullptr);
    TrpPage* design = report->DesignPages->Add();
    TBitmap logo;
    logo.SetPixelFormat(pf24bit);
    logo.SetSize(300, 100);
    logo.Canvas()->Brush()->SetColor(0x804020);
    logo.Canvas()->FillRect(TRect{0, 0, 300, 100});
    logo.Canvas()->Brush()->SetColor(clWhite);
    logo.Canvas()->FillRect(TRect{20, 20, 280, 80});
    for (int page = 0; page < PageCount; ++page) {
        report->PreparedPages->Add(design);
        TrpPageInfo& sheet = *report->PreparedPages->Pages(page);
        TrpPictureView picture;
        picture.SetBounds(30, 20, 300, 100);
        picture.Picture->SetGraphic(&logo);
        PutPrepared(sheet, picture);
        TrpBarCodeView barcode;
        barcode.SetBounds(450, 20, 250, 80);
        PutPrepared(sheet, barcode);
        for (int line = 0; line < MemosPerPage; ++line) {
            TrpMemoView memo;
            memo.Font->SetName(line % 3 == 1 ? "Times New Roman" : "Arial");
            memo.Font->SetSize(9);
            memo.Font->SetStyle(rpSetFontStyle(line % 3 == 2 ? 2 : 0));
            memo.SetBounds(30 + 240 * (line % 3), 140 + 12 * (line / 3), 230, 12);
            memo.Memo->Add(LineTexts[line % 6]);
            PutPrepared(sheet, memo);
        }
    }
    return report;
}

TrpReport& SharedReport()
{
    static const std::unique_ptr<TrpReport> report = MakeReport();
    return *report;
}

// The export pass of the engine, into a memory stream in place of the file.
void ExportToMemory(TrpReport& report, TMemoryStream& stream)
{
    TrpPicPDFExportFilter filter(&stream);
    report.ActiveExportFilter = &filter;
    CurReport = &report;
    MasterReport = &report;
    DocMode = dmPrinting;
    filter.OnBeginDoc();
    for (int i = 0; i < report.PreparedPages->Count(); ++i) {
        filter.OnBeginPage();
        report.PreparedPages->ExportData(i);
        filter.OnEndPage();
    }
    filter.OnEndDoc();
    report.ActiveExportFilter = nullptr;
}

// The exported file, written once and removed when the program ends.
struct TExportedFile {
    std::filesystem::path Path;
    ~TExportedFile() { std::filesystem::remove(Path); }
};

const std::filesystem::path& ExportedFile()
{
    static const TExportedFile exported{[] {
        TMemoryStream stream;
        ExportToMemory(SharedReport(), stream);
        const std::filesystem::path file =
            std::filesystem::temp_directory_path() / ("picpdf-bench-" + std::to_string(getpid()) + ".pdf");
        std::ofstream(file, std::ios::binary)
            .write(static_cast<const char*>(stream.Memory()), static_cast<std::streamsize>(stream.Size()));
        return file;
    }()};
    return exported.Path;
}

double PeakMegabytes()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_maxrss) / 1024.0;
}

void BM_PdfExport100Pages(benchmark::State& state)
{
    TrpReport& report = SharedReport();
    std::int64_t bytes = 0;
    for (auto _ : state) {
        TMemoryStream stream;
        ExportToMemory(report, stream);
        bytes = stream.Size();
        benchmark::DoNotOptimize(stream.Memory());
    }
    state.counters["file_bytes"] = static_cast<double>(bytes);
    state.counters["peak_MB"] = PeakMegabytes();
}

void BM_QpdfRewrite(benchmark::State& state)
{
    const std::filesystem::path& input = ExportedFile();
    const std::filesystem::path output = input.string() + ".qpdf.pdf";
    const std::string command = "qpdf --object-streams=disable '" + input.string() + "' '" + output.string() + "'";
    for (auto _ : state) {
        if (std::system(command.c_str()) != 0)
            state.SkipWithError("qpdf failed");
    }
    std::filesystem::remove(output);
}

} // namespace PicPdfExportBench

using PicPdfExportBench::BM_PdfExport100Pages;
using PicPdfExportBench::BM_QpdfRewrite;

BENCHMARK(BM_PdfExport100Pages)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_QpdfRewrite)->Unit(benchmark::kMillisecond)->UseRealTime();
