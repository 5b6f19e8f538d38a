// Replays the expression and script fuzz targets over the sample inputs of the parser and script
// tests and over deterministic mutations of them. TESS_FUZZ_MUTATIONS sets how many mutations run.

#include "ReportTestSupport.h"

#include "fuzz/ExpressionFuzzCase.h"
#include "fuzz/ScriptFuzzCase.h"

#include <cstdlib>
#include <random>

namespace ExpressionFuzzReplayTest {

const std::vector<std::string> SampleExpressions = {
    "2 + 3 * 4", "(2 + 3) * 4", "10 / 0", "-2 * 3", "2 * -3", "1 - -1", "5 + (2 * -3)", "1 = 1", "NOT 0", "NOT 5",
    "INT 2.7 + 1", "ROUND(2.5)", "ROUND(3.5)", "'it''s'", "IF(1, 'a', 'b')", "IF(0.9, 'a', 'b')",
    "IF([T], 'x', 'y')", "COPY('abcdef', 2, 3)", "1.5", "1,5", "1 + 2; 5", "[A] = 1 OR [B] = 2",
    "[A] AND NOT [B]", "(1 + 2", "1+(2+(3+(4+(5+(6+(7+(8+(9+10))))))))", "%d'15/11/1998' + 1", "2 +", "* 3",
    "FRAC 2.75 MOD 2 >= STR x <> 'a' <= b", "Tab.\"Unit price\" * [Qta]", "F([a], (1, 2), 'x,y', 4)",
    "%t'02.43.35' + %x", "[A[B]'C]'] ]", "COPY(IF(1, 'ab', 'c'), ROUND(1.5), 9)",
};

const std::vector<std::string> SampleScripts = {
    "begin a := 1; b := a + 1 end",
    "if a = 1 then b := 2 else b := 3",
    "while i < 3 do i := i + 1",
    "begin goto 10; a := 1; 10: b := 2 end",
    "begin i := 0; repeat i := i + 1 until i = 5 end",
    "NEWPAGE;",
    "if a = 1 b := 2",
    "begin // x := 1\n\tif a = 1 { nota\nb := (2 * [c]) mod F(1, 'x')\nend",
    "begin v[i] := -(1 + 2); while NOT (i >= 3) AND x do begin i := i + 1; goto 20 end; 20: end",
    "repeat a := 'p  q'; 3: b := a until a <> b",
    "while 1 = 1 do i := i + 1",
};

// Bytes and tokens that steer the mutations towards the languages' corners.
const std::vector<std::string> Tokens = {
    "(", ")", "[", "]", "'", "\"", "%d", "%t", ";", ",", " ", "-", "+", "*", "/", "<>", ">=", "<=", "=",
    "IF(", "COPY(", "INT ", "FRAC ", "ROUND(", "NOT ", " AND ", " OR ", " MOD ", "STR ", "\x01", "\x09",
    "begin ", " end", "if ", " then ", " else ", "while ", " do ", "repeat ", " until ", "goto ", "1:", ":=",
    "//", "{", "\n", "\t", "0", "9999999999999999999", "1e308", ".", ",5",
};

std::string Mutate(std::string text, const std::vector<std::string>& all, std::mt19937& random)
{
    auto below = [&](std::size_t n) { return n == 0 ? 0 : static_cast<std::size_t>(random() % n); };
    switch (random() % 5) {
    case 0:
        for (std::size_t i = 0, flips = 1 + below(4); i < flips && !text.empty(); ++i)
            text[below(text.size())] = static_cast<char>(random() % 256);
        break;
    case 1:
        text.resize(below(text.size() + 1));
        break;
    case 2:
        for (std::size_t i = 0, count = 1 + below(6); i < count; ++i)
            text.insert(below(text.size() + 1), Tokens[below(Tokens.size())]);
        break;
    case 3: {
        const std::string& other = all[below(all.size())];
        const std::size_t from = below(other.size() + 1);
        text.insert(below(text.size() + 1), other.substr(from, below(other.size() - from + 1)));
        break;
    }
    default:
        if (!text.empty())
            text.erase(below(text.size()), 1 + below(4));
        break;
    }
    return text;
}

int Mutations(int fallback)
{
    const char* text = std::getenv("TESS_FUZZ_MUTATIONS");
    return text ? std::atoi(text) : fallback;
}

template <typename TRun>
void Replay(const std::vector<std::string>& samples, int mutations, std::uint32_t start, TRun run)
{
    for (const std::string& sample : samples)
        run(reinterpret_cast<const std::uint8_t*>(sample.data()), sample.size());
    std::mt19937 random(start);
    for (int i = 0; i < mutations; ++i) {
        std::string text = samples[random() % samples.size()];
        for (std::uint32_t rounds = 1 + random() % 3; rounds > 0; --rounds)
            text = Mutate(text, samples, random);
        run(reinterpret_cast<const std::uint8_t*>(text.data()), text.size());
    }
}

} // namespace ExpressionFuzzReplayTest

using namespace ExpressionFuzzReplayTest;

TEST(ExpressionFuzzReplay, SamplesAndMutationsGiveAValueOrALayerError)
{
    Replay(SampleExpressions, Mutations(20000), 20240601, RunExpressionFuzzCase);
}

TEST(ScriptFuzzReplay, SamplesAndMutationsCompileAndRunWithinTheBudget)
{
    Replay(SampleScripts, Mutations(2000), 20240602, RunScriptFuzzCase);
}
