// The parser thread: the handshake with the GUI thread, include directives run on the GUI thread,
// symbols that do not depend on where the batches end, stopping, and freeing itself.

#include "HtmlTestSupport.h"

#include "platform/rtl/Threads.h"
#include "tests/TestScale.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <random>
#include <set>
#include <string>
#include <thread>
#include <vector>

namespace {

using namespace std::chrono_literals;

// A page with comments, a DOCTYPE, quoted attributes, entities, line ends and paragraph and line
// breaks that may end a batch.
const std::string BatchFixture =
    "<!DOCTYPE html>\n<HTML><HEAD><TITLE>Fattura &amp; ricevuta</TITLE></HEAD>\r\n"
    "<BODY BGCOLOR=\"#FFFFFF\" TEXT='black'><!-- intestazione -- >\n"
    "<H2 ALIGN=center>Ditta Rossi &egrave; qui</H2><P>Prima riga<BR>seconda\triga</P>\n"
    "<TABLE BORDER WIDTH=\"80%\"><TR><TD>&#8364; 12,50</TD><TD VALIGN=top>a &lt; b &hellip;</TD></TR>"
    "</TABLE>\n<A HREF=\"doc.htm?a=1&amp;b=2\">vai</A> &copy; 2024 &#1234567 <!-- fine --></P>\r\n"
    "<BR>\tultimo <P>x</P><!--- y ---></BODY></HTML>";

std::vector<TRecordedSymbol> ParseWhole(const std::string& html) { return ParseInBatches(html, {}); }

// The stream a split parse must give: where a batch ends right after "</P>" or "<BR>", a space
// stands in for the character still to come. That is the stream of the text with a space put
// there, with positions counted in the original text (the space takes the position of the ">").
std::vector<TRecordedSymbol> ExpectedForCuts(const std::string& html, const std::vector<std::size_t>& cuts,
                                             const std::vector<TRecordedSymbol>& whole, int& spacesSeen)
{
    std::set<std::size_t> breakEnds;
    for (const TRecordedSymbol& symbol : whole)
        if (symbol.Sym == Symb::PEndSy || symbol.Sym == Symb::BRSy)
            breakEnds.insert(static_cast<std::size_t>(symbol.TagPos) + 4); // the fixture writes them bare
    std::string widened;
    std::vector<int> inserted;
    std::size_t from = 0;
    for (std::size_t cut : cuts) {
        if (breakEnds.count(cut) == 0 || (!inserted.empty() && cut == from))
            continue;
        widened += html.substr(from, cut - from) + ' ';
        inserted.push_back(static_cast<int>(widened.size()) - 1);
        from = cut;
    }
    if (inserted.empty())
        return whole;
    spacesSeen += static_cast<int>(inserted.size());
    widened += html.substr(from);
    auto original = [&inserted](int position) {
        int shift = 0;
        for (int at : inserted)
            shift += at <= position ? 1 : 0;
        return position - shift;
    };
    std::vector<TRecordedSymbol> expected = ParseWhole(widened);
    for (TRecordedSymbol& symbol : expected) {
        for (int& position : symbol.Positions)
            position = original(position);
        if (IsTagSymbol(symbol.Sym))
            symbol.TagPos = original(symbol.TagPos);
    }
    return expected;
}

TEST(ParseThread, SymbolsDoNotDependOnWhereBatchesEnd)
{
    const std::vector<TRecordedSymbol> whole = ParseWhole(BatchFixture);
    ASSERT_EQ(whole, TokenizeHere(BatchFixture)) << "the thread reads as the calling thread does";
    ASSERT_EQ(whole.back().Sym, Symb::EofSy);
    int spacesSeen = 0;
    for (std::size_t cut = 0; cut <= BatchFixture.size(); ++cut) {
        const std::vector<std::size_t> cuts{cut};
        ASSERT_EQ(ParseInBatches(BatchFixture, cuts), ExpectedForCuts(BatchFixture, cuts, whole, spacesSeen))
            << "split at " << cut;
    }
    const auto breaks = std::count_if(whole.begin(), whole.end(), [](const TRecordedSymbol& symbol) {
        return symbol.Sym == Symb::PEndSy || symbol.Sym == Symb::BRSy;
    });
    EXPECT_EQ(spacesSeen, breaks) << "each bare </P> and <BR> ended a batch once";

    std::mt19937 random(5171);
    for (int round = 0; round < 50; ++round) {
        std::vector<std::size_t> cuts(2 + random() % 12);
        for (std::size_t& cut : cuts)
            cut = random() % (BatchFixture.size() + 1);
        std::sort(cuts.begin(), cuts.end());
        ASSERT_EQ(ParseInBatches(BatchFixture, cuts), ExpectedForCuts(BatchFixture, cuts, whole, spacesSeen))
            << "round " << round;
    }
}

TEST(ParseThread, BatchEndingInsideATagContinuesIt)
{
    const std::string html = "<P ALIGN=\"cen<!-- x -->ter\">a&am";
    const std::vector<TRecordedSymbol> stream = ParseInBatches(html + "p;b", {6, 15, html.size()});
    ASSERT_EQ(stream.size(), 5u);
    EXPECT_EQ(stream[0].Sym, Symb::PSy);
    EXPECT_EQ(stream[0].Attributes, (std::vector<TRecordedAttribute>{{Symb::AlignSy, 0, "center"}}));
    EXPECT_EQ(stream[2].Text, "&");
    EXPECT_EQ(stream[3].Text, "b");
}

// A thread that tells when it is freed.
class TObservedParseThread : public TParseThread {
public:
    explicit TObservedParseThread(std::atomic<int>& freed)
        : TParseThread(true), FFreed(freed)
    {
    }
    ~TObservedParseThread() override { ++FFreed; }

private:
    std::atomic<int>& FFreed;
};

bool WaitUntilFreed(const std::atomic<int>& freed)
{
    for (int i = 0; i < 5000 && freed == 0; ++i)
        std::this_thread::sleep_for(1ms);
    return freed == 1;
}

struct TObservedParse {
    ThlParser Parser;
    std::vector<TRecordedSymbol> Stream;
    std::atomic<int> Freed{0};
    int Terminations = 0;
    bool TerminatedOnGuiThread = false;
    bool Done = false;
    TObservedParseThread* Thread = nullptr;

    TObservedParse()
    {
        Parser.OnSymbol = [this](const ThlParser& p) { Stream.push_back(RecordSymbol(p)); };
        Thread = new TObservedParseThread(Freed);
        Thread->FParser = &Parser;
        Thread->OnTerminate = [this](TObject*) {
            ++Terminations;
            TerminatedOnGuiThread = GetCurrentThreadId() == MainThreadID();
            Done = true;
        };
        Parser.ParseThread = Thread;
        Parser.Threaded = true;
    }
    void Start()
    {
        Thread->Resume();
        WaitForParse(*Thread, Done);
    }
    void Hand(const std::string& text, bool last)
    {
        Thread->AddString(text);
        Parser.Threaded = !last;
        Thread->Resume();
        WaitForParse(*Thread, Done);
    }
};

TEST(ParseThread, EmptyDocumentWaitsAtOnceAndEndsWithAnEmptyLastBatch)
{
    TObservedParse parse;
    parse.Start();
    ASSERT_FALSE(parse.Done);
    EXPECT_TRUE(parse.Thread->Waiting());
    EXPECT_TRUE(parse.Stream.empty());
    parse.Hand("", false);
    ASSERT_FALSE(parse.Done) << "an empty batch that is not the last one ends nothing";
    parse.Hand("", true);
    ASSERT_TRUE(parse.Done);
    EXPECT_EQ(parse.Stream.size(), 1u);
    EXPECT_EQ(parse.Stream.back().Sym, Symb::EofSy);
    EXPECT_TRUE(WaitUntilFreed(parse.Freed));
}

TEST(ParseThread, StopWhileWaitingEndsQuietlyAndFreesTheThread)
{
    TObservedParse parse;
    parse.Start();
    parse.Hand("<B>bold", false);
    ASSERT_FALSE(parse.Done);
    bool applicationSawError = false;
    Application->OnException = [&applicationSawError](TObject*, const Exception&) { applicationSawError = true; };
    parse.Thread->Terminate();
    parse.Thread->Resume();
    WaitForParse(*parse.Thread, parse.Done);
    ASSERT_TRUE(parse.Done);
    EXPECT_EQ(parse.Terminations, 1);
    EXPECT_TRUE(parse.TerminatedOnGuiThread);
    EXPECT_TRUE(WaitUntilFreed(parse.Freed));
    for (int i = 0; i < 5; ++i)
        Application->ProcessMessages();
    Application->OnException = nullptr;
    EXPECT_FALSE(applicationSawError);
    EXPECT_EQ(parse.Terminations, 1);
    ASSERT_EQ(parse.Stream.size(), 1u) << "the text run still waited for its end";
    EXPECT_EQ(parse.Stream[0].Sym, Symb::BSy);

    // A new load right after: a new thread works as the first did.
    TObservedParse next;
    next.Start();
    next.Hand("<I>x", true);
    ASSERT_TRUE(next.Done);
    EXPECT_EQ(next.Stream.size(), 3u);
    EXPECT_TRUE(WaitUntilFreed(next.Freed));
}

int NoLostWakeUpParses()
{
    return 500 * TestScale();
}

TEST(ParseThread, NoWakeUpIsLost)
{
    std::string text;
    while (text.size() < 2048)
        text += BatchFixture;
    text.resize(2048);
    const std::vector<TRecordedSymbol> whole = ParseWhole(text);

    // A lost wake-up would block for ever; the watchdog turns that into a failure. It watches for a
    // parse that makes no progress, not for the whole run, so a slow or busy machine is not a failure.
    std::mutex lock;
    std::condition_variable finished;
    bool allDone = false;
    std::atomic<int> parsesDone{0};
    std::thread watchdog([&] {
        std::unique_lock<std::mutex> guard(lock);
        int seen = -1;
        while (!finished.wait_for(guard, 15s, [&] { return allDone; })) {
            if (parsesDone.load() == seen) {
                std::fprintf(stderr, "no parse ended in 15 s after %d parses: a wake-up was lost\n", seen);
                std::abort();
            }
            seen = parsesDone.load();
        }
    });
    std::mt19937 random(77);
    int mismatches = 0;
    for (int parse = 0; parse < NoLostWakeUpParses(); ++parse) {
        std::vector<std::size_t> cuts;
        for (std::size_t at = 1 + random() % 7; at < text.size(); at += 1 + random() % 7)
            cuts.push_back(at);
        const std::vector<TRecordedSymbol> stream = ParseInBatches(text, cuts);
        mismatches += stream.empty() || stream.back().Sym != Symb::EofSy ? 1 : 0;
        ++parsesDone;
    }
    {
        std::lock_guard<std::mutex> guard(lock);
        allDone = true;
    }
    finished.notify_all();
    watchdog.join();
    EXPECT_EQ(mismatches, 0);
    EXPECT_EQ(whole.back().Sym, Symb::EofSy);
}

// --- Include directives -------------------------------------------------------------------------

struct TIncludeCall {
    std::string Command;
    std::vector<std::string> Params;
    bool OnGuiThread = false;
    TObject* Sender = nullptr;
};

TIncludeType RecordingInclude(std::vector<TIncludeCall>& calls, const std::string& result)
{
    return [&calls, result](TObject* Sender, const std::string& Command, TStrings* Params, std::string& IString) {
        TIncludeCall call{Command, {}, GetCurrentThreadId() == MainThreadID(), Sender};
        for (int i = 0; i < Params->Count(); ++i)
            call.Params.push_back(Params->Strings(i));
        calls.push_back(call);
        IString = result;
    };
}

TEST(ParseThread, IncludeDirectiveRunsOnTheGuiThreadAndItsTextIsReadNext)
{
    std::vector<TIncludeCall> calls;
    TObject viewer;
    const std::string html = "a<!--#Include File=\"x.htm\" depth=2 -->b";
    const std::vector<TRecordedSymbol> stream =
        ParseInBatches(html, {7, 20}, RecordingInclude(calls, "<I>in<!--#include x -->c</I>"), &viewer);

    ASSERT_EQ(calls.size(), 1u) << "a directive inside included text is a plain comment";
    EXPECT_EQ(calls[0].Command, "Include");
    EXPECT_EQ(calls[0].Params, (std::vector<std::string>{"FILE=\"x.htm\"", "DEPTH=\"2\""}));
    EXPECT_TRUE(calls[0].OnGuiThread);
    EXPECT_EQ(calls[0].Sender, &viewer);

    // Included characters keep the position of the directive's last character.
    const int end = static_cast<int>(html.find("->")) + 1;
    ASSERT_EQ(stream.size(), 6u);
    EXPECT_EQ(stream[0].Text, "a");
    EXPECT_EQ(stream[1].Sym, Symb::ISy);
    EXPECT_EQ(stream[1].TagPos, end);
    EXPECT_EQ(stream[2].Text, "inc");
    EXPECT_EQ(stream[2].Positions, (std::vector<int>{end, end, end}));
    EXPECT_EQ(stream[3].Sym, Symb::IEndSy);
    EXPECT_EQ(stream[4].Text, "b");
    EXPECT_EQ(stream[4].Positions, std::vector<int>{end + 1});
    EXPECT_EQ(stream[5].Sym, Symb::EofSy);
}

TEST(ParseThread, DirectiveWithoutHandlerOrWithEmptyResultLeavesTheDocumentText)
{
    const std::string html = "a<!--#include file=x -->b";
    const std::vector<TRecordedSymbol> plain = ParseInBatches(html, {3});
    ASSERT_EQ(plain.size(), 2u);
    EXPECT_EQ(plain[0].Text, "ab");

    std::vector<TIncludeCall> calls;
    EXPECT_EQ(ParseInBatches(html, {3}, RecordingInclude(calls, "")), plain);
    EXPECT_EQ(calls.size(), 1u);

    // A directive inside another one's parameters is a plain comment there.
    calls.clear();
    ParseInBatches("<!--#outer x=\"<!--#inner -->\" -->", {}, RecordingInclude(calls, ""));
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].Command, "outer");
    EXPECT_EQ(calls[0].Params, std::vector<std::string>{"X=\"\""});
}

TEST(ParseThread, FailingIncludeHandlerEndsTheParseQuietly)
{
    bool applicationSawError = false;
    Application->OnException = [&applicationSawError](TObject*, const Exception&) { applicationSawError = true; };
    const TIncludeType failing = [](TObject*, const std::string&, TStrings*, std::string&) {
        throw Exception("no such file");
    };
    const std::vector<TRecordedSymbol> stream = ParseInBatches("<B>a</B><!--#include-->b", {}, failing);
    Application->OnException = nullptr;
    // The symbol being read when the handler failed is lost with the rest.
    ASSERT_EQ(stream.size(), 2u);
    EXPECT_EQ(stream[0].Sym, Symb::BSy);
    EXPECT_EQ(stream[1].Text, "a");
    EXPECT_FALSE(applicationSawError);
}

} // namespace
