// Replays the barcode fuzz target over the encodings the other tests use and deterministic
// mutations of them. Run as "reportexport_tests --write-corpus <folder>" it writes the starting
// inputs of every fuzz target of the folder instead, named after their target ("barcode-",
// "jpeg-", "bmp-", "addin-").

#include "tests/TestScale.h"

#include "AddInTestSupport.h"
#include "JpegFuzzCorpus.h"
#include "fuzz/BarcodeFuzzCase.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

using namespace Barcode;

namespace {

std::string FuzzInput(TBarcodeType type, bool checksum, const std::string& text)
{
    return std::string(1, static_cast<char>(type | (checksum ? 16 : 0))) + text;
}

std::vector<std::string> BarcodeCorpus()
{
    return {
        FuzzInput(bcCodeEAN13, true, "123456789012"),
        FuzzInput(bcCodeEAN13, true, "12345"),
        FuzzInput(bcCodeEAN13, false, "1234567890128"),
        FuzzInput(bcCodeEAN8, true, "1234567"),
        FuzzInput(bcCodeEAN8, false, "12345670"),
        FuzzInput(bcCode39, true, "AB"),
        FuzzInput(bcCode39Extended, false, "a"),
        FuzzInput(bcCode128A, false, "ABC-123"),
        FuzzInput(bcCode128B, false, "Fattura 12/2024, \xE8"),
        FuzzInput(bcCode128C, false, "12345"),
        FuzzInput(bcCode93, false, "TEST93"),
        FuzzInput(bcCode93, false, "ab"),
        FuzzInput(bcCode93Extended, false, "ab"),
        FuzzInput(bcCode_2_5_interleaved, false, "123"),
        FuzzInput(bcCode_2_5_industrial, false, "1"),
        FuzzInput(bcCode_2_5_matrix, false, "1234"),
        FuzzInput(bcCodeMSI, false, "1234567"),
        FuzzInput(bcCodePostNet, false, "12345"),
        FuzzInput(bcCodeCodabar, false, "1234"),
        FuzzInput(static_cast<TBarcodeType>(15), false, "1"),
    };
}

// Byte flips, a new first byte, insertions of digits, letters and other bytes, truncations and
// repeats.
std::string MutateBarcodeInput(std::string input, std::mt19937& random)
{
    auto below = [&](std::size_t n) { return n == 0 ? 0 : static_cast<std::size_t>(random() % n); };
    static const char pieces[] = "0123456789AZaz-.$/+%[]{}:\xFF\x80 ";
    const int steps = 1 + static_cast<int>(below(4));
    for (int i = 0; i < steps; ++i) {
        switch (random() % 5) {
        case 0:
            if (!input.empty())
                input[below(input.size())] ^= static_cast<char>(1 + below(255));
            break;
        case 1:
            if (!input.empty())
                input[0] = static_cast<char>(random());
            break;
        case 2:
            input.insert(below(input.size() + 1), 1, pieces[below(sizeof pieces)]);
            break;
        case 3:
            input.resize(below(input.size() + 1));
            break;
        default:
            input += input.substr(std::min<std::size_t>(1, input.size()));
            break;
        }
    }
    return input;
}

} // namespace

TEST(BarcodeFuzzReplay, CorpusAndMutationsGiveBarsOrTheirOwnErrors)
{
    const std::vector<std::string> corpus = BarcodeCorpus();
    for (const std::string& input : corpus)
        RunBarcodeFuzzCase(reinterpret_cast<const std::uint8_t*>(input.data()), input.size());
    std::mt19937 random(20240722);
    const int rounds = 20000 * TestScale();
    for (int i = 0; i < rounds; ++i) {
        const std::string input = MutateBarcodeInput(corpus[random() % corpus.size()], random);
        RunBarcodeFuzzCase(reinterpret_cast<const std::uint8_t*>(input.data()), input.size());
    }
}

int main(int argc, char** argv)
{
    for (int i = 1; i + 1 < argc; ++i) {
        if (std::strcmp(argv[i], "--write-corpus") == 0) {
            const std::filesystem::path folder = argv[i + 1];
            std::filesystem::create_directories(folder);
            std::size_t written = 0;
            auto write = [&](const std::string& prefix, const std::vector<std::string>& corpus) {
                for (std::size_t n = 0; n < corpus.size(); ++n)
                    std::ofstream(folder / (prefix + std::to_string(n) + ".bin"), std::ios::binary) << corpus[n];
                written += corpus.size();
            };
            write("barcode-", BarcodeCorpus());
            write("jpeg-", JpegDecodeCorpus(folder / "scratch"));
            write("bmp-", BmpReaderCorpus());
            write("addin-", AddInRecordCorpus());
            std::filesystem::remove_all(folder / "scratch");
            std::printf("%zu starting inputs written to %s\n", written, folder.c_str());
            return 0;
        }
    }
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
