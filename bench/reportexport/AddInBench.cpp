// A page of labels: 1,000 barcode objects (Code 128B) drawn through their metafiles onto a page
// bitmap at scale 1, as the preview and the picture export draw them.

#include "reportexport/Barcode.h"
#include "reportexport/RP_BarC.h"

#include "report/rpEngine.h"

#include "platform/gui/Application.h"
#include "platform/gui/Bitmap.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

namespace {

void BM_DrawThousandBarcodeObjects(benchmark::State& state)
{
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    Application->Initialize();
    std::vector<std::unique_ptr<TrpBarCodeView>> views;
    for (int i = 0; i < 1000; ++i) {
        auto view = std::make_unique<TrpBarCodeView>();
        view->Param.BarType = Barcode::bcCode128B;
        view->Memo->SetText("FT " + std::to_string(10000 + i));
        view->SetBounds(10 + (i % 4) * 190, 10 + (i / 4 % 25) * 44, 10, 40);
        views.push_back(std::move(view));
    }
    TBitmap page;
    page.SetPixelFormat(pf24bit);
    page.SetSize(794, 1123);
    DocMode = dmPrinting;
    for (auto _ : state)
        for (const auto& view : views)
            view->Draw(page.Canvas());
    DocMode = dmDesigning;
    state.counters["objects"] = 1000;
}
BENCHMARK(BM_DrawThousandBarcodeObjects)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace
