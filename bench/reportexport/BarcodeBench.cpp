// Making and painting barcodes: 1,000 EAN-13 and 1,000 Code 128B codes on a 24-bit bitmap, about
// what a long export of invoices with a code on every page asks. The arguments are the module and
// the bar height: a small code as a page at screen resolution holds it, and one twice as large.

#include "reportexport/Barcode.h"

#include "platform/gui/Application.h"
#include "platform/gui/Bitmap.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <string>

namespace {

void EnsureBarcodeBenchApplication()
{
    static const bool initialized = [] {
        setenv("QT_QPA_PLATFORM", "offscreen", 0);
        Application->Initialize();
        return true;
    }();
    (void)initialized;
}

void BM_MakeAndPaintBarcodes(benchmark::State& state)
{
    EnsureBarcodeBenchApplication();
    TBitmap bitmap;
    bitmap.SetPixelFormat(pf24bit);
    const int modul = static_cast<int>(state.range(0));
    const int height = static_cast<int>(state.range(1));
    bitmap.SetSize(450, 120);
    TCanvas* canvas = bitmap.Canvas();
    TBarcode ean(nullptr);
    ean.SetTyp(Barcode::bcCodeEAN13);
    ean.SetChecksum(true);
    ean.SetModul(modul);
    ean.SetHeight(height);
    ean.SetLeft(10);
    ean.SetTop(10);
    TBarcode code128(nullptr);
    code128.SetTyp(Barcode::bcCode128B);
    code128.SetModul(modul);
    code128.SetHeight(height);
    code128.SetLeft(10);
    code128.SetTop(10);
    for (auto _ : state) {
        for (int i = 0; i < 1000; ++i) {
            ean.SetText(std::to_string(800000000000LL + i));
            ean.DrawBarcode(canvas);
            code128.SetText("Fattura " + std::to_string(i) + "/2024");
            code128.DrawBarcode(canvas);
        }
        benchmark::DoNotOptimize(canvas->Pixels(12, 12));
    }
}
BENCHMARK(BM_MakeAndPaintBarcodes)->Args({1, 40})->Args({2, 80})->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace
