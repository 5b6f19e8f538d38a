#pragma once
// Deterministic mutations of binary inputs for the replays of the fuzz targets: byte flips,
// truncations, 16- and 32-bit fields set to extremes, pieces spliced from another input and
// deletions. TESS_FUZZ_MUTATIONS sets how many a replay runs.

#include "ReportTestSupport.h"

#include <cstdlib>
#include <cstring>
#include <random>

inline TBytes MutateBytes(TBytes bytes, const std::vector<TBytes>& all, std::mt19937& random)
{
    auto below = [&](std::size_t n) { return n == 0 ? 0 : static_cast<std::size_t>(random() % n); };
    switch (random() % 5) {
    case 0: {
        const std::size_t flips = 1 + below(6);
        for (std::size_t i = 0; i < flips && !bytes.empty(); ++i)
            bytes[below(bytes.size())] ^= static_cast<std::uint8_t>(1 + below(255));
        break;
    }
    case 1:
        bytes.resize(below(bytes.size()));
        break;
    case 2: {
        if (bytes.size() < 4)
            break;
        static const std::uint32_t values[] = {0, 1, 0xFF, 0xFFFF, 0x7FFFFFFF, 0x80000000, 0xFFFFFFFF};
        const std::uint32_t value = values[below(7)];
        std::memcpy(bytes.data() + below(bytes.size() - 3), &value, 1 + below(4));
        break;
    }
    case 3: {
        const TBytes& other = all[below(all.size())];
        const std::size_t from = below(other.size()), length = below(other.size() - from + 1);
        bytes.insert(bytes.begin() + static_cast<std::ptrdiff_t>(below(bytes.size() + 1)),
                     other.begin() + static_cast<std::ptrdiff_t>(from),
                     other.begin() + static_cast<std::ptrdiff_t>(from + length));
        break;
    }
    default:
        if (!bytes.empty())
            bytes.erase(bytes.begin() + static_cast<std::ptrdiff_t>(below(bytes.size())));
        break;
    }
    return bytes;
}

inline int MutationCount(int byDefault)
{
    const char* text = std::getenv("TESS_FUZZ_MUTATIONS");
    return text ? std::atoi(text) : byDefault;
}
