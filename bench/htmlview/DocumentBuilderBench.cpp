// The document builder through the parser thread: the customer card with 5,000 documents against
// Qt's QTextDocument::setHtml on the same text (no layout asked of either), and the throughput on
// a generated 10 MB page of mixed markup with the heap the finished document holds.

#include "htmlview/PanePars.h"
#include "tests/htmlview/HtmlTestSupport.h"

#include <benchmark/benchmark.h>

#include <QString>
#include <QTextDocument>

#include <malloc.h>
#include <string>

// The application under Qt's offscreen platform, set up once by the tokenizer's benchmark.
namespace TokenizerBench {
void EnsureApplication();
}

namespace DocumentBuilderBench {

using TokenizerBench::EnsureApplication;

const std::string& Card()
{
    static const std::string card = CustomerCard(5000);
    return card;
}

// Paragraphs, styles, fonts, links, lists, a table, preformatted text and entities.
const std::string& MixedPage()
{
    static const std::string page = [] {
        static const char* blocks[] = {
            "<P ALIGN=center>Totale imponibile &#8364; 1.234,56 &egrave; <B>dovuto</B> entro <I>trenta</I> giorni.\r\n",
            "<FONT SIZE=+1 COLOR=\"#336699\">Importo</FONT><BR>\r\n<A HREF=\"doc.htm?id=42\">Apri il documento</A>\r\n",
            "<UL><LI>prima voce<LI>seconda voce <TT>codice</TT></UL>\r\n",
            "<TABLE BORDER><TR><TD ALIGN=right>Fattura n. 1234</TD><TD>Rossi &amp; figli</TD></TR>"
            "<TR><TH>Codice</TH><TH>Descrizione</TH></TR></TABLE>\r\n",
            "<PRE>  riga    preformattata\r\n  seconda riga</PRE>\r\n",
        };
        std::string text = "<HTML><HEAD><TITLE>Prova</TITLE></HEAD><BODY>\r\n";
        for (std::size_t i = 0; text.size() < 10'000'000; ++i)
            text += blocks[i % (sizeof blocks / sizeof blocks[0])];
        return text + "</BODY></HTML>\r\n";
    }();
    return page;
}

void BM_CustomerCard5000Viewer(benchmark::State& state)
{
    EnsureApplication();
    const std::string& card = Card();
    for (auto _ : state) {
        auto page = ParseHtml(card);
        benchmark::DoNotOptimize(page->Doc.Count());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * static_cast<std::int64_t>(card.size()));
}

void BM_CustomerCard5000Qt(benchmark::State& state)
{
    EnsureApplication();
    const QString card = QString::fromLatin1(Card().data(), static_cast<qsizetype>(Card().size()));
    for (auto _ : state) {
        QTextDocument document;
        document.setHtml(card);
        benchmark::DoNotOptimize(document.blockCount());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * static_cast<std::int64_t>(Card().size()));
}

void BM_MixedPage10MB(benchmark::State& state)
{
    EnsureApplication();
    const std::string& text = MixedPage();
    double documentMB = 0;
    for (auto _ : state) {
        const std::size_t before = mallinfo2().uordblks;
        auto page = ParseHtml(text);
        documentMB = static_cast<double>(mallinfo2().uordblks - before) / 1e6;
        benchmark::DoNotOptimize(page->Doc.Count());
    }
    state.counters["document_MB"] = documentMB;
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * static_cast<std::int64_t>(text.size()));
}

BENCHMARK(BM_CustomerCard5000Viewer)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_CustomerCard5000Qt)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_MixedPage10MB)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

} // namespace DocumentBuilderBench
