// Table layout: nested tables of depth 1 to 16 (each level a 2 x 2 table whose one cell holds the
// next), a table of 50 columns and 1,000 rows of short texts against Qt's QTextDocument laying out
// the same HTML table, and 200 columns of 500 to 2,000 rows.

#include "htmlview/PanePars.h"
#include "tests/htmlview/HtmlTestSupport.h"

#include <benchmark/benchmark.h>

#include <QAbstractTextDocumentLayout>
#include <QFont>
#include <QString>
#include <QTextDocument>

#include <memory>
#include <string>

namespace TokenizerBench {
void EnsureApplication();
}

namespace TableLayoutBench {

using TokenizerBench::EnsureApplication;

constexpr int PageWidth = 800;

std::unique_ptr<TBitmap> WhiteBitmap(int Width, int Height)
{
    auto bitmap = std::make_unique<TBitmap>();
    bitmap->SetPixelFormat(pf24bit);
    bitmap->SetSize(Width, Height);
    return bitmap;
}

std::string NestedTables(int Depth)
{
    std::string html;
    for (int i = 0; i < Depth; ++i)
        html += "<TABLE BORDER=1><TR><TD>uno<TD>";
    html += "importo";
    for (int i = 0; i < Depth; ++i)
        html += "<TR><TD>tre<TD>quattro</TABLE>";
    return html;
}

std::string WideTable(int Columns, int Rows)
{
    std::string html = "<TABLE BORDER=1>";
    for (int r = 0; r < Rows; ++r) {
        html += "<TR>";
        for (int c = 0; c < Columns; ++c)
            html += "<TD>" + std::to_string(r * Columns + c);
    }
    return html + "</TABLE>";
}

void LayOut(benchmark::State& state, const std::string& html)
{
    EnsureApplication();
    auto page = ParseHtml(html);
    page->Doc.SetFonts("Arial", "Courier New", 8, clBlack, clBlue, clPurple, clRed, clWhite, false);
    auto canvas = WhiteBitmap(10, 10);
    for (auto _ : state) {
        int maxWidth = 0, position = 0;
        benchmark::DoNotOptimize(page->Doc.DoLogic(canvas->Canvas(), 0, PageWidth, maxWidth, position, 0, 0));
    }
    page->Doc.Clear();
}

void BM_NestedTables(benchmark::State& state) { LayOut(state, NestedTables(static_cast<int>(state.range(0)))); }

void BM_Table50x1000(benchmark::State& state) { LayOut(state, WideTable(50, 1000)); }

void BM_Table50x1000QTextDocument(benchmark::State& state)
{
    EnsureApplication();
    const QString html = QString::fromLatin1(WideTable(50, 1000).c_str());
    QFont font("Liberation Sans");
    font.setPointSize(8);
    for (auto _ : state) {
        state.PauseTiming();
        auto document = std::make_unique<QTextDocument>();
        document->setDefaultFont(font);
        document->setHtml(html);
        state.ResumeTiming();
        document->setTextWidth(PageWidth);
        benchmark::DoNotOptimize(document->documentLayout()->documentSize());
        state.PauseTiming();
        document.reset();
        state.ResumeTiming();
    }
}

// 200 columns and a growing number of rows: the time grows with the rows, not their square.
void BM_Table200Columns(benchmark::State& state) { LayOut(state, WideTable(200, static_cast<int>(state.range(0)))); }

BENCHMARK(BM_NestedTables)->DenseRange(1, 16)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Table50x1000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Table50x1000QTextDocument)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Table200Columns)->Arg(500)->Arg(1000)->Arg(2000)->Unit(benchmark::kMillisecond)->Iterations(2);

} // namespace TableLayoutBench
