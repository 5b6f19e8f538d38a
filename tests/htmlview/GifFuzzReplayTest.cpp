// Replays the picture fuzz target over the test pictures and deterministic mutations of them:
// flipped bytes, cuts, sizes set to 0, 0xFF and 0xFFFF, and every code size byte from 0 to 255.

#include "GifTestSupport.h"
#include "tests/TestFixtures.h"
#include "tests/TestScale.h"

#include "fuzz/GifFuzzCase.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

namespace {

struct TGifLayout {
    std::vector<std::size_t> SizeFields; // 16-bit little-endian sizes and positions
    std::vector<std::size_t> CodeSizes;  // LZW minimum code size bytes
};

// Skips data sub-blocks from pos; returns the position after the terminator (or the end).
std::size_t SkipSubBlocks(const std::string& gif, std::size_t pos)
{
    while (pos < gif.size() && gif[pos] != '\0')
        pos += 1 + static_cast<std::uint8_t>(gif[pos]);
    return pos + 1;
}

// Where the sizes and code size bytes of a well-formed GIF are.
TGifLayout LayoutOf(const std::string& gif)
{
    TGifLayout layout;
    if (gif.size() < 13 || gif.compare(0, 3, "GIF") != 0)
        return layout;
    layout.SizeFields = {6, 8};
    const auto tableBytes = [&gif](std::size_t packedAt) {
        const auto packed = static_cast<std::uint8_t>(gif[packedAt]);
        return (packed & 0x80) ? 3 * (std::size_t{1} << ((packed & 7) + 1)) : 0;
    };
    std::size_t pos = 13 + tableBytes(10);
    while (pos < gif.size()) {
        const auto block = static_cast<std::uint8_t>(gif[pos]);
        if (block == 0x21) {
            pos = SkipSubBlocks(gif, pos + 2);
        } else if (block == 0x2C && pos + 10 < gif.size()) {
            for (std::size_t field = pos + 1; field < pos + 9; field += 2)
                layout.SizeFields.push_back(field);
            pos += 10 + tableBytes(pos + 9);
            if (pos < gif.size())
                layout.CodeSizes.push_back(pos);
            pos = SkipSubBlocks(gif, pos + 1);
        } else
            break;
    }
    return layout;
}

std::vector<std::string> SmallGifs()
{
    TTestGif interlaced{1, 16, std::vector<std::uint32_t>(16, 0x123456), {}, -1};
    interlaced.Frames.push_back({0, 0, 1, 16, {}, 0, 0, -1, true, false});
    for (int i = 0; i < 16; ++i)
        interlaced.Frames.back().Pixels.push_back(static_cast<std::uint8_t>(i));
    TTestGif layered{30, 20, {0x0000FF, 0x00FF00, 0xFF0000, 0xFFFFFF}, {}, 2};
    layered.Frames.push_back({0, 0, 30, 20, std::vector<std::uint8_t>(600, 1), 2, 0, 0, false, true});
    layered.Frames.push_back({10, 10, 8, 6, std::vector<std::uint8_t>(48, 0), 1, 50, 0, false, true});
    layered.Frames.push_back({25, 15, 10, 10, std::vector<std::uint8_t>(100, 3), 3, 1, -1, false, true});
    return {
        HexBytes("47 49 46 38 37 61 04 00 01 00 81 00 00 00 00 00 FF 00 00 00 FF 00 00 00 FF 2C 00 00 00 00 04 00 01 "
                 "00 00 02 02 8C 53 00 3B"),
        HexBytes("47 49 46 38 39 61 01 00 01 00 80 00 00 FF FF FF 00 00 00 21 F9 04 01 00 00 00 00 2C 00 00 00 00 01 "
                 "00 01 00 00 02 02 44 01 00 3B"),
        HexBytes("47 49 46 38 37 61 04 00 01 00 81 00 00 00 00 00 FF 00 00 00 FF 00 00 00 FF 2C 00 00 00 00 04 00 01 "
                 "00 00 02 02 71 0A 00 3B"),
        MakeGif(interlaced),
        MakeGif(layered),
    };
}

std::string GifFuzzFixture(const std::string& name)
{
    return ReadFileBytes(std::string(TestFixtureDir()) + "/data/" + name);
}

void PutGifWord(std::string& gif, std::size_t at, int value)
{
    gif[at] = static_cast<char>(value & 0xFF);
    gif[at + 1] = static_cast<char>((value >> 8) & 0xFF);
}

std::string MutateGif(std::string gif, std::mt19937& random)
{
    const auto below = [&random](std::size_t n) { return n == 0 ? 0 : static_cast<std::size_t>(random() % n); };
    const TGifLayout layout = LayoutOf(gif);
    const int steps = 1 + static_cast<int>(below(3));
    for (int step = 0; step < steps && !gif.empty(); ++step) {
        switch (random() % 5) {
        case 0: // flip one byte
            gif[below(gif.size())] ^= static_cast<char>(1 + below(255));
            break;
        case 1: // cut
            gif.resize(below(gif.size()));
            break;
        case 2: { // a size or position set to 0, 0xFF or 0xFFFF
            if (layout.SizeFields.empty())
                break;
            const std::size_t at = layout.SizeFields[below(layout.SizeFields.size())];
            const int values[] = {0, 0xFF, 0xFFFF};
            if (at + 1 < gif.size())
                PutGifWord(gif, at, values[below(3)]);
            break;
        }
        case 3: // any code size byte
            if (!layout.CodeSizes.empty()) {
                const std::size_t at = layout.CodeSizes[below(layout.CodeSizes.size())];
                if (at < gif.size())
                    gif[at] = static_cast<char>(below(256));
            }
            break;
        default: { // a run of random bytes in the data
            const std::size_t at = below(gif.size());
            for (std::size_t i = at; i < gif.size() && i < at + 8; ++i)
                gif[i] = static_cast<char>(below(256));
            break;
        }
        }
    }
    return gif;
}

void RunGifFuzzOn(const std::string& bytes)
{
    RunGifFuzzCase(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
}

TEST(GifFuzzReplay, CorpusAndMutations)
{
    std::vector<std::string> corpus = SmallGifs();
    for (const char* name : {"anim.gif", "t3.png", "t2.png", "t6.png", "idatfirst.png", "long.png"})
        corpus.push_back(GifFuzzFixture(name));
    // The large pictures run as they are; their mutations would only make the run longer.
    for (const char* name : {"big.gif", "il.gif", "noclear.gif"})
        RunGifFuzzOn(GifFuzzFixture(name));
    for (const std::string& bytes : corpus) {
        ASSERT_FALSE(bytes.empty());
        RunGifFuzzOn(bytes);
    }
    // Every code size byte on every small picture.
    for (const std::string& bytes : corpus)
        for (std::size_t at : LayoutOf(bytes).CodeSizes)
            for (int value = 0; value < 256; ++value) {
                std::string changed = bytes;
                changed[at] = static_cast<char>(value);
                RunGifFuzzOn(changed);
            }
    std::mt19937 random(56);
    const int rounds = 20000 * TestScale();
    for (int i = 0; i < rounds; ++i)
        RunGifFuzzOn(MutateGif(corpus[random() % corpus.size()], random));
}

} // namespace
