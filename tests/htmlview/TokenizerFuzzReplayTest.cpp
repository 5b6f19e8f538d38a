// Replays the tokenizer fuzz target over sample pages and deterministic mutations of them, and
// reads a few very long inputs that must take time in proportion to their length.

#include "tests/TestScale.h"

#include "fuzz/TokenizerFuzzCase.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>
#include <vector>

namespace {

std::vector<std::string> TokenizerCorpus()
{
    return {
        "<!DOCTYPE html><HTML><BODY BGCOLOR=\"#FFFFFF\">Ciao &amp; arrivederci</BODY></HTML>",
        "<P ALIGN=center>uno<BR>due</P>\r\n<H2 ALIGN='left'>titolo</H2>",
        "<TABLE BORDER WIDTH=\"50%\"><TR><TD WIDTH=12px>&#8364; 1,00</TD></TR></TABLE>",
        "a < b &lt; c &#1234567 &nbspxyz; &hellip; &AGRAVE; &#x41; &#65601;",
        "<!-- a -- > x <!-- b -- c --> y <!---->z",
        "<A HREF=\"x<!-- c -->y\" NAME='q\"r'>link</A>",
        "<FONT SIZE=+1 COLOR=red>x</FONT><H 3>h</h3>",
        "text\x1A" "<B>after",
        "\x01\x02<\x05>&#9;\t\n\r\n\n\r",
        "x<!-- never closed",
        "<!DOCTYPE",
        "</P>",
    };
}

std::string MutateTokenizerInput(std::string text, std::mt19937& random)
{
    static const char* const pieces[] = {"<", ">", "</P>", "<BR>", "<!--", "-->", "<!", "&", "&#", ";", "\"", "'",
                                         "=", " ", "\r", "\n", "\t", "\x1A", "H3", "&amp", "-", "%", "\0"};
    return MutateText(std::move(text), random, pieces, std::size(pieces));
}

void RunTokenizerOn(const std::string& text, bool throughThread)
{
    RunTokenizerFuzzCase(reinterpret_cast<const std::uint8_t*>(text.data()), text.size(), throughThread);
}

// Reads text on the calling thread, counting symbols; true when it ended with the given error.
bool ReadToTheEnd(const std::string& html, int& symbols, const std::string& expectedError = "")
{
    ThlParser parser;
    std::unique_ptr<TParseThread> holder(new TParseThread(true));
    holder->AddString(html);
    parser.ParseThread = holder.get();
    parser.OnSymbol = [&symbols](const ThlParser&) { ++symbols; };
    parser.ParseInit(nullptr, nullptr, nullptr);
    parser.ReadThreadRange();
    try {
        parser.GetCh();
        do
            parser.Next();
        while (parser.CurSym != Symb::EofSy);
    } catch (const EParseError& error) {
        return error.Message == expectedError;
    }
    return expectedError.empty();
}

} // namespace

TEST(TokenizerFuzzReplay, CorpusAndMutations)
{
    const std::vector<std::string> corpus = TokenizerCorpus();
    for (const std::string& text : corpus)
        RunTokenizerOn(text, true);
    // Starting a thread is dear under the sanitizers: one mutation in 40 also goes through one.
    std::mt19937 random(20261211);
    const int rounds = 20000 * TestScale();
    for (int i = 0; i < rounds; ++i)
        RunTokenizerOn(MutateTokenizerInput(corpus[random() % corpus.size()], random), i % 40 == 0);
}

TEST(TokenizerFuzzReplay, LongInputsFinish)
{
    int symbols = 0;
    std::string page;
    while (page.size() < 10'000'000)
        page += "<P ALIGN=center>testo &amp; altro testo</P>\r\n";
    EXPECT_TRUE(ReadToTheEnd(page + "<!-- never closed " + std::string(1000, 'x'), symbols,
                             "Open Comment at End of HTML File"));

    std::string quotes = "<P";
    for (int i = 0; i < 100'000; ++i)
        quotes += i % 2 ? " A='\"'" : " A=\"'\"";
    symbols = 0;
    EXPECT_TRUE(ReadToTheEnd(quotes + ">x", symbols));
    EXPECT_EQ(symbols, 3);

    symbols = 0;
    EXPECT_TRUE(ReadToTheEnd("<A HREF=\"" + std::string(1'000'000, 'v') + "\">x", symbols));
    EXPECT_EQ(symbols, 3);
    symbols = 0;
    EXPECT_TRUE(ReadToTheEnd("<A HREF=" + std::string(1'000'000, 'v') + ">x", symbols));
    EXPECT_EQ(symbols, 3);
}
