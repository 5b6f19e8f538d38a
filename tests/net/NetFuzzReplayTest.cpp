// Replays the socket's fuzz targets over starting inputs and deterministic mutations: proxy
// replies of every kind and split, and receptions in line mode with switches of mode and line end.

#include "fuzz/LineModeFuzzCase.h"
#include "fuzz/SocksReplyFuzzCase.h"
#include "tests/TestScale.h"

#include <gtest/gtest.h>

#include <random>

namespace NetFuzzReplayTest {
namespace {

using TBytes = std::vector<std::uint8_t>;

TBytes Bytes(std::initializer_list<int> header, const std::string& rest = "")
{
    TBytes bytes;
    for (int b : header)
        bytes.push_back(static_cast<std::uint8_t>(b));
    bytes.insert(bytes.end(), rest.begin(), rest.end());
    return bytes;
}

std::string H(std::initializer_list<int> values)
{
    std::string text;
    for (int v : values)
        text += static_cast<char>(v);
    return text;
}

std::vector<TBytes> SocksInputs()
{
    const std::string granted5 = H({5, 0, 0, 1, 127, 0, 0, 1, 0x1f, 0x90});
    return {
        Bytes({2, 1}, H({5, 0}) + granted5 + "data"),
        Bytes({6, 7}, H({5, 2, 1, 0}) + granted5),
        Bytes({6, 3}, H({5, 2, 1, 1})),
        Bytes({2, 9}, H({5, 0, 5, 0, 0, 3, 200}) + std::string(200, 'n') + H({0, 80}) + "x"),
        Bytes({2, 4}, H({5, 0, 5, 5})),
        Bytes({2, 4}, H({5, 255})),
        Bytes({0, 2}, H({0, 90, 0, 0, 0, 0, 0, 0}) + "after"),
        Bytes({1, 2}, H({0, 91, 0, 0, 0, 0, 0, 0})),
        Bytes({0, 5}, H({0, 93, 0, 0, 0, 0, 0, 0})),
        Bytes({2, 0}, H({5, 0, 5, 0, 0, 7, 1, 2, 3})),
    };
}

std::vector<TBytes> LineInputs()
{
    return {
        Bytes({8, 0, 5, 1}, "one\r\ntwo\r\nthree\r"),
        Bytes({9, 1, 1, 2}, "a\nbb\n\x01raw bytes\x01\nline\n"),
        Bytes({11, 5, 2, 3}, "xxxxxxxxxxxxEND\x02yy\r\n\r\nzz"),
        Bytes({8, 2, 0, 4}, std::string(3000, 'q') + "\r\n"),
        Bytes({10, 6, 3, 5}, "no line end \x02 then\r\n one\x01 raw"),
        Bytes({8, 3, 4, 6}, "\r\n\r\n\r\n\x01\x01\r\n"),
    };
}

TBytes Mutate(TBytes bytes, std::mt19937& random)
{
    auto below = [&](std::size_t n) { return n == 0 ? 0 : static_cast<std::size_t>(random() % n); };
    switch (random() % 4) {
    case 0:
        for (std::size_t flips = 1 + below(6); flips > 0 && !bytes.empty(); --flips)
            bytes[below(bytes.size())] ^= static_cast<std::uint8_t>(1 + below(255));
        break;
    case 1:
        bytes.resize(below(bytes.size() + 1));
        break;
    case 2: {
        static const char pool[] = "\r\n\x01\x02" "abEND";
        for (std::size_t extra = below(200); extra > 0; --extra)
            bytes.push_back(random() % 3 == 0 ? static_cast<std::uint8_t>(random())
                                              : static_cast<std::uint8_t>(pool[below(sizeof pool - 1)]));
        break;
    }
    default:
        if (bytes.size() >= 4)
            bytes[below(4)] = static_cast<std::uint8_t>(random());
        break;
    }
    return bytes;
}

template <typename TRun>
void Replay(const std::vector<TBytes>& inputs, int mutations, TRun run)
{
    for (const TBytes& input : inputs)
        EXPECT_EQ(run(input.data(), input.size()), "");
    std::mt19937 random(20261211);
    for (int i = 0; i < mutations; ++i) {
        const TBytes mutated = Mutate(inputs[random() % inputs.size()], random);
        ASSERT_EQ(run(mutated.data(), mutated.size()), "") << "mutation " << i;
    }
}

TEST(SocksReplyFuzz, StartingInputsAndMutations)
{
    Replay(SocksInputs(), 3000 * TestScale(), SocksReplyFuzz::RunSocksReplyFuzzCase);
}

TEST(LineModeFuzz, StartingInputsAndMutations)
{
    Replay(LineInputs(), 3000 * TestScale(), LineModeFuzz::RunLineModeFuzzCase);
}

} // namespace
} // namespace NetFuzzReplayTest
