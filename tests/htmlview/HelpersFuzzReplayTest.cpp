// Replays the helpers fuzz target over the values the other tests use and deterministic mutations
// of them. Run as "htmlview_tests --write-corpus <folder>" it writes those values for the fuzzer
// instead.

#include "tests/TestScale.h"

#include "fuzz/HelpersFuzzCase.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

namespace {

std::vector<std::string> HelpersCorpus()
{
    return {
        "rect\n0,0,9,9",
        "circle\n5,5,3",
        "CIRC\n5 5 3",
        "polygon\n0,0,9,0,9,9,6,9,6,3,3,3,3,9,0,9",
        "poly\n1 1 9 1 5 9",
        "rectangle\n10, 20 ,30,40",
        "default\n1,2,x,4",
        "poly\n$1F,2,0x1,-4,x5,6,7",
        "circle\n0,0,-5",
        "poly\n2000000000,-2000000000,-2000000000,2000000000,2000000000,2000000000",
        "file:///C|/dir/a%20b.htm",
        "file://server/x.htm",
        "/img/a.gif",
        "a%2541",
        "a%00b",
        "file:///home/u/a.htm",
        "#FF0000",
        "12#34",
        "red",
        "#1FF0000",
        std::string("poly\n\0,\xA0,1 2\t3,,,4", 18),
    };
}

// Byte flips, insertions of separators, a digit and escapes, truncations and repeats. The shapes
// of the corpus are small, so that a mutation seldom makes a region of many pixels, which the
// layer paints into a mask of its box and which would slow the run down.
std::string MutateHelpersInput(std::string text, std::mt19937& random)
{
    static const char* const pieces[] = {",", " ", "\n", "%", "%25", "%00", "#", "$", "-", "7", "/",
                                         "file:///", "|", "poly\n", "circ\n", "\xA0", "\0"};
    return MutateText(std::move(text), random, pieces, std::size(pieces));
}

void RunOn(const std::string& text)
{
    RunHelpersFuzzCase(reinterpret_cast<const std::uint8_t*>(text.data()), text.size());
}

} // namespace

TEST(HelpersFuzzReplay, CorpusAndMutations)
{
    const std::vector<std::string> corpus = HelpersCorpus();
    for (const std::string& text : corpus)
        RunOn(text);
    std::mt19937 random(20240611);
    const int rounds = 20000 * TestScale();
    for (int i = 0; i < rounds; ++i)
        RunOn(MutateHelpersInput(corpus[random() % corpus.size()], random));
}

TEST(HelpersFuzzReplay, LongValuesFinish)
{
    std::string coords;
    for (int i = 0; i < 150; ++i)
        coords += (i % 2 ? "-2000000000," : "2000000000,") + std::string(i % 3 ? "2000000000," : "-2000000000,");
    RunOn("polygon\n" + coords);
    RunOn("poly\n" + std::string(100000, '1'));
    RunOn("poly\n" + std::string(50000, ',') + std::string(50000, ' '));
    RunOn(std::string(10000, 'c') + "\n1,2,3,4");
    RunOn(std::string(30000, '%') + "2541");
    std::string escapes;
    for (int i = 0; i < 20000; ++i)
        escapes += "%41";
    RunOn("a" + escapes);
}

int main(int argc, char** argv)
{
    for (int i = 1; i + 1 < argc; ++i) {
        if (std::strcmp(argv[i], "--write-corpus") == 0) {
            const std::filesystem::path folder = argv[i + 1];
            std::filesystem::create_directories(folder);
            const std::vector<std::string> corpus = HelpersCorpus();
            for (std::size_t n = 0; n < corpus.size(); ++n)
                std::ofstream(folder / ("input-" + std::to_string(n) + ".txt"), std::ios::binary) << corpus[n];
            std::printf("%zu starting inputs written to %s\n", corpus.size(), folder.c_str());
            return 0;
        }
    }
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
