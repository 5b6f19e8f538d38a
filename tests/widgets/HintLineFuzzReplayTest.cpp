// Replays the hint-line fuzz target over the lines the other tests use and deterministic
// mutations of them, and paints a share of the mutated lines. Run as
// "widgets_tests --write-corpus <folder>" it writes those lines for the fuzzer instead.

#include "tests/TestScale.h"
#include "WidgetsTestSupport.h"

#include "fuzz/HintLineFuzzCase.h"
#include "platform/gui/Form.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

namespace {

std::vector<std::string> HintLineCorpus()
{
    return {
        "<center>word</center>",
        "word<br>",
        "<center><b>Verifica versione in corso...</b></center>",
        "a > b <c",
        "<RIGHT>x</right>y",
        "",
        "uno<br>  due<Center>tre<BR>quattro</CENTER>",
        "<b >x</b>",
        "<b>Salva</b> il file",
        "<i>Il modello si salva con</i> <u>Salva modello mail</u>.",
        "<strike>barrato</STRIKE><x>parola</x>",
        "<" + std::string(1000, 'b') + ">fine",
        std::string("\x80\x9F\xA0\xE0\xFF<b>\xE8</b>"),
        std::string("\x01\x02<\x7F>\t\r", 8),
        "Questo modulo consente di compilare e impostare l'invio di una mail contenente il documento.",
    };
}

// Byte flips, insertions of tag characters and known tag names, truncations and repeats.
std::string MutateHintLine(std::string line, std::mt19937& random)
{
    auto below = [&](std::size_t n) { return n == 0 ? 0 : static_cast<std::size_t>(random() % n); };
    static const char* pieces[] = {"<", ">", "</", "<b>", "</b>", "<center>", "</center>", "<right>",
                                   "</RIGHT>", "<br>", "<i>", "<u>", "<strike>", " ", "\xFF", "\0"};
    const int steps = 1 + static_cast<int>(below(4));
    for (int i = 0; i < steps; ++i) {
        switch (random() % 4) {
        case 0:
            if (!line.empty())
                line[below(line.size())] ^= static_cast<char>(1 + below(255));
            break;
        case 1: {
            const char* piece = pieces[below(sizeof pieces / sizeof pieces[0])];
            line.insert(below(line.size() + 1), piece, std::max<std::size_t>(std::strlen(piece), 1));
            break;
        }
        case 2:
            line.resize(below(line.size() + 1));
            break;
        default:
            line += line.substr(below(line.size() + 1));
            break;
        }
    }
    return line;
}

} // namespace

TEST(HintLineFuzzReplay, CorpusAndMutationsSplitAndPaint)
{
    const std::vector<std::string> corpus = HintLineCorpus();
    for (const std::string& line : corpus)
        RunHintLineFuzzCase(reinterpret_cast<const std::uint8_t*>(line.data()), line.size());
    TForm form(nullptr);
    form.SetBounds(0, 0, 300, 300);
    auto* box = new THintBox(&form);
    box->SetParent(&form);
    box->SetBounds(0, 0, 160, 120);
    form.Show();
    std::mt19937 random(20240517);
    std::vector<std::string> painted;
    const int rounds = 20000 * TestScale();
    for (int i = 0; i < rounds; ++i) {
        const std::string line = MutateHintLine(corpus[random() % corpus.size()], random);
        RunHintLineFuzzCase(reinterpret_cast<const std::uint8_t*>(line.data()), line.size());
        if (i % 100 == 0)
            painted.push_back(line);
        if (painted.size() == 8) {
            TStringList lines;
            for (const std::string& text : painted)
                lines.Add(text);
            box->SetHTMLFormatting(i % 200 != 0);
            box->SetLines(&lines);
            box->Repaint();
            painted.clear();
        }
    }
    EXPECT_TRUE(TGrab(box).Valid());
}

int main(int argc, char** argv)
{
    for (int i = 1; i + 1 < argc; ++i) {
        if (std::strcmp(argv[i], "--write-corpus") == 0) {
            const std::filesystem::path folder = argv[i + 1];
            std::filesystem::create_directories(folder);
            const std::vector<std::string> corpus = HintLineCorpus();
            for (std::size_t n = 0; n < corpus.size(); ++n)
                std::ofstream(folder / ("line-" + std::to_string(n) + ".txt"), std::ios::binary) << corpus[n];
            std::printf("%zu starting lines written to %s\n", corpus.size(), folder.c_str());
            return 0;
        }
    }
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
