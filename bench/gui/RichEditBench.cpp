// The rich edit's format range and lines: the report object's height search beside one Qt layout
// of the same text, and reading every line of a long document.

#include "BenchApplication.h"

#include "platform/gui/DeviceContext.h"
#include "platform/gui/Form.h"
#include "platform/gui/RichEdit.h"
#include "platform/gui/WindowHandles.h"
#include "platform/gui/private/QtBridge.h"

#include <QAbstractTextDocumentLayout>
#include <QTextDocument>

#include <benchmark/benchmark.h>

#include <vector>

namespace {

std::string Paragraphs(int count)
{
    std::string text;
    for (int p = 0; p < count; ++p) {
        if (p > 0)
            text += "\r\n";
        text += "Paragrafo " + std::to_string(p + 1) + ": la fattura riporta imponibile, IVA e totale da pagare";
        for (int w = 0; w < p % 9; ++w)
            text += " con una scadenza";
    }
    return text;
}

struct TBenchEdit {
    TForm Form{nullptr};
    TRichEdit* Edit;
    explicit TBenchEdit(const std::string& text)
    {
        EnsureBenchApplication();
        Edit = new TRichEdit(&Form);
        Edit->SetParent(&Form);
        Edit->SetWordWrap(false);
        Edit->SetText(text);
    }
};

// The report object's bisection: 20 measurements of one text at 96 dpi, then the null request.
void BM_RichHeightSearch(benchmark::State& state)
{
    TBenchEdit bench(Paragraphs(200));
    HWND window = bench.Edit->Handle();
    HDC screen = GetDC(nullptr);
    const int length = static_cast<int>(SendMessageA(window, WM_GETTEXTLENGTH, 0, 0));
    for (auto _ : state) {
        int lo = 0, hi = 1000000;
        while (hi - lo > 1) {
            const int mid = lo + (hi - lo) / 2;
            FORMATRANGE format;
            format.hdc = format.hdcTarget = screen;
            format.rc = format.rcPage = RECT{0, 0, 400 * 1440 / 96, static_cast<int>(mid * 1440LL / 96)};
            format.chrg = {0, -1};
            const auto r = SendMessageA(window, EM_FORMATRANGE, 0, reinterpret_cast<LPARAM>(&format));
            if (r >= length || r == -1 || r == 0)
                hi = mid;
            else
                lo = mid;
        }
        SendMessageA(window, EM_FORMATRANGE, 0, 0);
        benchmark::DoNotOptimize(hi);
    }
    ReleaseDC(nullptr, screen);
}
BENCHMARK(BM_RichHeightSearch)->Unit(benchmark::kMillisecond);

void BM_QtDocumentLayout(benchmark::State& state)
{
    EnsureBenchApplication();
    std::string text = Paragraphs(200);
    QString plain = ToQString(text);
    plain.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    for (auto _ : state) {
        QTextDocument document;
        document.setPlainText(plain);
        document.setTextWidth(400);
        benchmark::DoNotOptimize(document.documentLayout()->documentSize());
    }
}
BENCHMARK(BM_QtDocumentLayout)->Unit(benchmark::kMillisecond);

// Every line through EM_GETLINE: twice the paragraphs should take about twice as long.
void BM_RichReadAllLines(benchmark::State& state)
{
    TBenchEdit bench(Paragraphs(static_cast<int>(state.range(0))));
    HWND window = bench.Edit->Handle();
    std::vector<char> buffer(4096);
    for (auto _ : state) {
        const auto lines = SendMessageA(window, EM_GETLINECOUNT, 0, 0);
        long total = 0;
        for (LRESULT i = 0; i < lines; ++i) {
            const WORD size = 4000;
            std::memcpy(buffer.data(), &size, sizeof(size));
            total += static_cast<long>(SendMessageA(window, EM_GETLINE, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(buffer.data())));
        }
        benchmark::DoNotOptimize(total);
    }
}
BENCHMARK(BM_RichReadAllLines)->Arg(10000)->Arg(20000)->Unit(benchmark::kMillisecond);

} // namespace
