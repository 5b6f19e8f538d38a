// Replays the host-entry packer's fuzz target over starting inputs and deterministic mutations.

#include "fuzz/HostentPackFuzzCase.h"
#include "tests/TestScale.h"

#include <gtest/gtest.h>

#include <random>

namespace HostentPackReplayTest {
namespace {

using TBytes = std::vector<std::uint8_t>;

TBytes Input(int bufferLength, int offset, const std::vector<std::uint32_t>& addresses, const std::string& name)
{
    TBytes bytes = {static_cast<std::uint8_t>(bufferLength), static_cast<std::uint8_t>(bufferLength >> 8),
                    static_cast<std::uint8_t>(offset), static_cast<std::uint8_t>(addresses.size())};
    for (std::uint32_t address : addresses)
        for (int i = 0; i < 4; ++i)
            bytes.push_back(static_cast<std::uint8_t>(address >> (8 * i)));
    bytes.insert(bytes.end(), name.begin(), name.end());
    return bytes;
}

std::vector<TBytes> StartingInputs()
{
    const std::vector<std::uint32_t> ten = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10};
    return {
        Input(1025, 0, {0x0100007F}, "localhost"),
        Input(1025, 0, ten, "mail.example.test"),
        Input(120, 0, ten, "mail.example.test"),
        Input(40, 0, ten, "mail.example.test"),
        Input(0, 0, ten, "x"),
        Input(1025, 3, ten, "unaligned.example.test"),
        Input(64, 0, {}, "no-addresses"),
        Input(1025, 0, {7}, std::string("with\0zero", 9)),
        Input(1025, 0, {7}, std::string(1200, 'n')),
        Input(2047, 5, std::vector<std::uint32_t>(255, 0xFFFFFFFF), ""),
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
    case 2:
        for (std::size_t extra = below(300); extra > 0; --extra)
            bytes.push_back(static_cast<std::uint8_t>(random()));
        break;
    default:
        if (bytes.size() >= 4)
            bytes[static_cast<std::size_t>(below(4))] = static_cast<std::uint8_t>(random());
        break;
    }
    return bytes;
}

TEST(HostentPackFuzz, StartingInputsAndMutationsStayInsideTheBuffer)
{
    const std::vector<TBytes> inputs = StartingInputs();
    for (const TBytes& input : inputs)
        EXPECT_EQ(HostentPackFuzz::RunHostentPackFuzzCase(input.data(), input.size()), "");
    const int mutations = 20000 * TestScale();
    std::mt19937 random(20240611);
    for (int i = 0; i < mutations; ++i) {
        const TBytes mutated = Mutate(inputs[random() % inputs.size()], random);
        const std::string fault = HostentPackFuzz::RunHostentPackFuzzCase(mutated.data(), mutated.size());
        ASSERT_EQ(fault, "") << "mutation " << i;
    }
}

} // namespace
} // namespace HostentPackReplayTest
