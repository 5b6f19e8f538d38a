#pragma once
// One run of the tokenizer fuzz target: any bytes are read as a page once on the calling thread and
// once through a parser thread, in batches cut where the first bytes say. Besides crashes and bad
// reads, anything that breaks what the tokenizer promises aborts the run: every symbol but the
// last consumes input, no text run passes 100 characters, source positions never go back and
// stay inside the text, and the batches change nothing unless one ends right after a ">" (where
// a "</P>" or "<BR>" may leave a space).

#include "HtmlTestSupport.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

inline void CheckTokenizerStream(const std::string& html, const std::vector<TRecordedSymbol>& stream)
{
    if (stream.size() > 2 * html.size() + 2)
        std::abort();
    int last = -1;
    for (const TRecordedSymbol& symbol : stream) {
        if (symbol.Text.size() > MaxTextRun && symbol.Sym != Symb::OtherSy)
            std::abort();
        std::vector<int> positions = symbol.Positions;
        if (IsTagSymbol(symbol.Sym))
            positions.insert(positions.begin(), symbol.TagPos);
        for (int position : positions) {
            if (position < last || position < 0 || position >= static_cast<int>(html.size()))
                std::abort();
            last = position;
        }
    }
}

// Up to four cuts, at offsets scaled from the bytes after the first.
inline std::vector<std::size_t> TokenizerFuzzCuts(const std::string& html)
{
    std::vector<std::size_t> cuts;
    if (html.empty())
        return cuts;
    const std::size_t count = static_cast<unsigned char>(html[0]) % 5;
    for (std::size_t i = 1; i <= count; ++i)
        cuts.push_back(static_cast<unsigned char>(html[std::min(i, html.size() - 1)]) * html.size() / 256);
    std::sort(cuts.begin(), cuts.end());
    return cuts;
}

inline void RunTokenizerFuzzCase(const std::uint8_t* data, std::size_t size, bool throughThread = true)
{
    const std::string html(reinterpret_cast<const char*>(data), size);
    std::vector<TRecordedSymbol> here = TokenizeHere(html);
    if (here.empty())
        std::abort();
    if (here.back().Sym == Symb::OtherSy)
        here.pop_back(); // the error that ended the input
    CheckTokenizerStream(html, here);
    if (!throughThread)
        return;
    const std::vector<std::size_t> cuts = TokenizerFuzzCuts(html);
    const std::vector<TRecordedSymbol> threaded = ParseInBatches(html, cuts);
    CheckTokenizerStream(html, threaded);
    const bool cutAfterTagEnd = std::any_of(cuts.begin(), cuts.end(), [&html](std::size_t cut) {
        return cut > 0 && cut < html.size() && html[cut - 1] == '>';
    });
    if (!cutAfterTagEnd && threaded != here)
        std::abort();
}
