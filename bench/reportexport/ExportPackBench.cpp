// Picture export of a 50-page report (each page: memos of invoice lines, a logo and a barcode)
// as a PDF of 8-bit indexed pictures, as a PDF of JPEG pictures and as 50 JPEG files. Beside the
// whole exports, one pass over the same pages times rendering, converting and encoding apart.

#include "reportexport/Barcode.h"
#include "reportexport/ExportPack.h"
#include "reportexport/JpgImg.h"
#include "reportexport/ReportExportInit.h"
#include "reportexport/tnpdf.h"

#include "report/RP_Class.h"
#include "report/RP_Prntr.h"
#include "report/RP_Utils.h"

#include "platform/gui/Application.h"
#include "platform/gui/Bitmap.h"
#include "platform/gui/DialogService.h"
#include "platform/gui/Printer.h"
#include "platform/gui/PrinterDevice.h"
#include "platform/os/TempFiles.h"
#include "platform/rtl/Files.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdlib>
#include <memory>
#include <string>

namespace {

constexpr int PageCount = 50;

void EnsureExportBenchEngine()
{
    static const bool started = [] {
        setenv("QT_QPA_PLATFORM", "offscreen", 0);
        Application->Initialize();
        TPrinterCatalogue none;
        none.VirtualWhenEmpty = false;
        SetPrinterCatalogue(none);
        rpInitEngine();
        rpPrinter()->SetPrinter(Printer());
        InitReportExport();
        return true;
    }();
    (void)started;
}

void PutObject(TrpPageInfo& sheet, TrpView& view)
{
    view.StreamMode = smPrinting;
    view.WorkMemo->Assign(view.Memo.get());
    sheet.Stream->SetPosition(sheet.Stream->Size());
    sheet.Stream->WriteUInt8(view.ObjectType);
    view.SaveToStream(*sheet.Stream);
}

void PutMemo(TrpPageInfo& sheet, int x, int y, int width, const std::string& text, TColor fill = clNone)
{
    TrpMemoView memo;
    memo.Font->SetName("Arial");
    memo.Font->SetSize(10);
    memo.SetBounds(x, y, width, 18);
    memo.FillColor = fill;
    memo.FrameTyp = 15;
    memo.Memo->Add(text);
    PutObject(sheet, memo);
}

void PutPicture(TrpPageInfo& sheet, int x, int y, TBitmap& bitmap)
{
    TrpPictureView picture;
    picture.SetBounds(x, y, bitmap.Width(), bitmap.Height());
    picture.Picture->SetGraphic(&bitmap);
    PutObject(sheet, picture);
}

std::unique_ptr<TBitmap> Logo()
{
    auto logo = std::make_unique<TBitmap>();
    logo->SetPixelFormat(pf24bit);
    logo->SetSize(160, 60);
    for (int y = 0; y < 60; ++y) {
        std::uint8_t* row = logo->ScanLine(y);
        for (int x = 0; x < 160; ++x) {
            row[3 * x] = static_cast<std::uint8_t>(120 + x / 2);
            row[3 * x + 1] = static_cast<std::uint8_t>(60 + y * 2);
            row[3 * x + 2] = static_cast<std::uint8_t>(200 - x / 3);
        }
    }
    return logo;
}

std::unique_ptr<TBitmap> BarcodePicture(int page)
{
    auto bitmap = std::make_unique<TBitmap>();
    bitmap->SetPixelFormat(pf24bit);
    bitmap->SetSize(240, 50);
    TBarcode barcode(nullptr);
    barcode.SetTyp(Barcode::bcCode128B);
    barcode.SetText("FATT-2024-" + std::to_string(1000 + page));
    barcode.SetHeight(46);
    barcode.SetLeft(4);
    barcode.SetTop(2);
    barcode.SetModul(1);
    barcode.DrawBarcode(bitmap->Canvas());
    return bitmap;
}

// The report of 50 invoice pages, built once.
TrpReport& BenchReport()
{
    static TrpReport* report = [] {
        EnsureExportBenchEngine();
        auto* built = new TrpReport(nullptr);
        TrpPage* page = built->DesignPages->Count() > 0 ? built->DesignPages->Pages(0) : built->DesignPages->Add();
        const std::unique_ptr<TBitmap> logo = Logo();
        for (int i = 0; i < PageCount; ++i) {
            built->PreparedPages->Add(page);
            TrpPageInfo& sheet = *built->PreparedPages->Pages(i);
            PutPicture(sheet, 30, 30, *logo);
            PutMemo(sheet, 400, 40, 300, "Fattura n. " + std::to_string(1000 + i) + " del 11/12/2024", clSilver);
            PutMemo(sheet, 400, 70, 300, "Spett.le Rossi Mario S.r.l.");
            for (int line = 0; line < 30; ++line)
                PutMemo(sheet, 30, 160 + 24 * line, 690,
                        "Articolo " + std::to_string(line + 1) + "   Descrizione del servizio reso   " +
                            std::to_string(line + 2) + " x 12,50 \x80",
                        line % 2 ? clNone : clCream);
            const std::unique_ptr<TBitmap> barcode = BarcodePicture(i);
            PutPicture(sheet, 30, 920, *barcode);
        }
        return built;
    }();
    return *report;
}

// The stages of the exports, timed page by page in one pass: rendering into a 24-bit bitmap,
// converting to 8 bits, then encoding as a deflated indexed picture of a PDF and as a JPEG.
void BM_PageStages(benchmark::State& state)
{
    using Clock = std::chrono::steady_clock;
    TrpReport& report = BenchReport();
    TTempFolder folder("exportbench");
    double render = 0, convert = 0, indexed = 0, jpeg = 0;
    for (auto _ : state) {
        TPrintPDF pdf(nullptr);
        pdf.FileName = IncludeTrailingBackslash(folder.Path()) + "Stadi.PDF";
        pdf.BeginDoc();
        for (int i = 0; i < report.PreparedPages->Count(); ++i) {
            TrpPageInfo& sheet = *report.PreparedPages->Pages(i);
            const int width = sheet.PrinterInfo.PaperWidthPx, height = sheet.PrinterInfo.PaperHeightPx;
            const auto t0 = Clock::now();
            TBitmap bitmap;
            bitmap.SetPixelFormat(pf24bit);
            bitmap.SetSize(width, height);
            sheet.Visible = true;
            report.PreparedPages->Draw(i, bitmap.Canvas(), Rect(0, 0, width, height));
            sheet.Visible = false;
            sheet.Page.reset();
            const auto t1 = Clock::now();
            bitmap.SetPixelFormat(pf8bit);
            const auto t2 = Clock::now();
            pdf.DrawBitmap(52, 0, &bitmap);
            pdf.NewPage();
            const auto t3 = Clock::now();
            TJPEGImage encoder(nullptr);
            encoder.Picture()->Assign(&bitmap);
            TMemoryStream out;
            encoder.SaveToStream(&out);
            const auto t4 = Clock::now();
            render += std::chrono::duration<double, std::milli>(t1 - t0).count();
            convert += std::chrono::duration<double, std::milli>(t2 - t1).count();
            indexed += std::chrono::duration<double, std::milli>(t3 - t2).count();
            jpeg += std::chrono::duration<double, std::milli>(t4 - t3).count();
        }
        pdf.EndDoc();
    }
    const auto perRun = benchmark::Counter::kAvgIterations;
    state.counters["render_ms"] = benchmark::Counter(render, perRun);
    state.counters["convert_ms"] = benchmark::Counter(convert, perRun);
    state.counters["encode_indexed_ms"] = benchmark::Counter(indexed, perRun);
    state.counters["encode_jpeg_ms"] = benchmark::Counter(jpeg, perRun);
}
BENCHMARK(BM_PageStages)->Unit(benchmark::kMillisecond)->Iterations(3);

// 0: PDF of indexed pictures, 1: PDF of JPEG pictures, 2: 50 JPEG files.
void BM_ExportReport(benchmark::State& state)
{
    TrpReport& report = BenchReport();
    TTempFolder folder("exportbench");
    TExportRP exporter(nullptr);
    exporter.Report = &report;
    const std::string base = IncludeTrailingBackslash(folder.Path()) + "Fattura";
    for (auto _ : state) {
        switch (state.range(0)) {
        case 0:
            exporter.ExportRPPDF(base, true, false);
            break;
        case 1:
            exporter.ExportRPPDF(base, false, false);
            break;
        default:
            exporter.ExportRPJPG(base, false);
            break;
        }
    }
}
BENCHMARK(BM_ExportReport)->Arg(0)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond)->Iterations(3);

} // namespace
