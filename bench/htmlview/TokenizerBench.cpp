// The HTML tokenizer's throughput on a large generated page, against Python's html.parser over
// the same file (interpreter start included), and the cost of handing a page to the parser thread
// in batches of 1,000 characters against one batch.

#include "htmlview/PanePars.h"
#include "htmlview/PaneReadThd.h"
#include "platform/gui/Application.h"
#include "tests/htmlview/HtmlTestSupport.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

namespace TokenizerBench {

void EnsureApplication()
{
    static const bool initialized = [] {
        setenv("QT_QPA_PLATFORM", "offscreen", 0);
        Application->Initialize();
        return true;
    }();
    (void)initialized;
}

// Mixed markup: tags with quoted and bare attributes, entities, text, line ends and comments.
std::string GeneratedPage(std::size_t size)
{
    static const char* rows[] = {
        "<TR><TD ALIGN=right WIDTH=\"20%\">Fattura n. 1234</TD><TD VALIGN=top>Rossi &amp; figli s.r.l.</TD></TR>\r\n",
        "<P CLASS=nota>Totale imponibile &#8364; 1.234,56 &egrave; dovuto entro trenta giorni.</P>\r\n",
        "<!-- riga di servizio: non mostrata --><FONT SIZE=+1 COLOR=\"#336699\">Importo</FONT><BR>\r\n",
        "<A HREF=\"documento.htm?id=42&amp;anno=2024\" TARGET=_blank>Apri il documento</A> &copy; 2024\r\n",
        "<TABLE BORDER CELLPADDING=2><CAPTION>Righe</CAPTION><TR><TH>Codice</TH><TH>Descrizione</TH></TR>\r\n",
    };
    std::string page = "<!DOCTYPE html>\r\n<HTML><HEAD><TITLE>Prova</TITLE></HEAD><BODY>\r\n";
    for (std::size_t i = 0; page.size() < size; ++i)
        page += rows[i % (sizeof rows / sizeof rows[0])];
    page += "</BODY></HTML>\r\n";
    return page;
}

const std::string& TenMegabytePage()
{
    static const std::string page = GeneratedPage(10'000'000);
    return page;
}

void BM_TokenizerReadsPage(benchmark::State& state)
{
    const std::string& page = TenMegabytePage();
    std::unique_ptr<TParseThread> holder(new TParseThread(true)); // holds the text only
    holder->AddString(page);
    std::int64_t symbols = 0;
    for (auto _ : state) {
        ThlParser parser;
        parser.ParseThread = holder.get();
        parser.ParseInit(nullptr, nullptr, nullptr);
        parser.ReadThreadRange();
        parser.GetCh();
        do {
            parser.Next();
            ++symbols;
        } while (parser.CurSym != Symb::EofSy);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(page.size()) * state.iterations());
    state.counters["symbols"] = static_cast<double>(symbols) / static_cast<double>(state.iterations());
}
BENCHMARK(BM_TokenizerReadsPage)->Unit(benchmark::kMillisecond);

// The peer: python3 with html.parser.HTMLParser over the same bytes, started and timed here.
void BM_PythonHtmlParserReadsPage(benchmark::State& state)
{
    const std::filesystem::path file = std::filesystem::temp_directory_path() / "tokenizer-bench-page.htm";
    std::ofstream(file, std::ios::binary) << TenMegabytePage();
    const std::string command = "python3 -c \"import sys, html.parser; p = html.parser.HTMLParser(); "
                                "p.feed(open(sys.argv[1], encoding='latin-1').read()); p.close()\" '" +
                                file.string() + "'";
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        if (std::system(command.c_str()) != 0) {
            state.SkipWithError("python3 failed");
            break;
        }
        state.SetIterationTime(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    }
    std::filesystem::remove(file);
    state.SetBytesProcessed(static_cast<std::int64_t>(TenMegabytePage().size()) * state.iterations());
}
BENCHMARK(BM_PythonHtmlParserReadsPage)->UseManualTime()->Iterations(3)->Unit(benchmark::kMillisecond);

// A 5 MB page through the parser thread; range(0) is the batch size, 0 for the whole page at once.
void BM_ThreadedFeed(benchmark::State& state)
{
    EnsureApplication();
    const std::string page = GeneratedPage(5'000'000);
    const std::size_t batch = state.range(0) > 0 ? static_cast<std::size_t>(state.range(0)) : page.size();
    for (auto _ : state) {
        ThlParser parser;
        bool done = false;
        auto* thread = new TParseThread(true);
        thread->FParser = &parser;
        thread->OnTerminate = [&done](TObject*) { done = true; };
        parser.ParseThread = thread;
        parser.Threaded = true;
        thread->Resume();
        WaitForParse(*thread, done);
        for (std::size_t from = 0; from < page.size() && !done; from += batch) {
            thread->AddString(page.substr(from, batch));
            parser.Threaded = from + batch < page.size();
            thread->Resume();
            WaitForParse(*thread, done);
        }
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(page.size()) * state.iterations());
}
BENCHMARK(BM_ThreadedFeed)->Arg(0)->Arg(1000)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace TokenizerBench
