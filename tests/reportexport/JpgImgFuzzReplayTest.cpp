// Replays the JPEG decoding and BMP reader fuzz targets over their starting inputs and
// deterministic mutations of them.

#include "tests/TestScale.h"

#include "JpegFuzzCorpus.h"
#include "JpegTestSupport.h"

#include "fuzz/BmpReaderFuzzCase.h"
#include "fuzz/JpegDecodeFuzzCase.h"

#include "platform/gui/BmpCodec.h"

#include <fstream>
#include <random>

using namespace JpegTestSupport;

namespace {

// A small BMP of 8 or 24 bits with stripes, made by the layer's BMP writer.
std::string SmallBmp(int width, int height, int bits)
{
    TDibImage image;
    image.Width = width;
    image.Height = height;
    image.Bits = bits;
    if (bits == 8)
        for (int i = 0; i < 256; ++i)
            image.Palette.push_back(RGB(i, 255 - i, (i * 7) & 255));
    image.Rows.assign(static_cast<std::size_t>(image.RowSize()) * height, 0);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < image.RowSize(); ++x)
            image.Row(y)[x] = static_cast<std::uint8_t>(x * 9 + y * 13);
    const std::vector<std::uint8_t> bytes = BmpCodec::Write(image);
    return std::string(bytes.begin(), bytes.end());
}

void Patch32(std::string& bytes, std::size_t at, std::uint32_t value)
{
    for (int i = 0; i < 4; ++i)
        bytes[at + i] = static_cast<char>(value >> (8 * i));
}

std::string Mutate(std::string input, std::mt19937& random)
{
    auto below = [&](std::size_t n) { return n == 0 ? 0 : static_cast<std::size_t>(random() % n); };
    const int steps = 1 + static_cast<int>(below(4));
    for (int i = 0; i < steps; ++i) {
        switch (random() % 7) {
        case 0:
            if (!input.empty())
                input[below(input.size())] ^= static_cast<char>(1 + below(255));
            break;
        case 1:
            input.resize(below(input.size() + 1));
            break;
        case 2:
            input.insert(below(input.size() + 1), 1, '\xFF');
            break;
        case 3: {
            const std::size_t at = below(input.size() + 1);
            input.insert(at, input.substr(at, below(64)));
            break;
        }
        case 4:
            if (input.size() >= 2) {
                const std::size_t at = below(input.size() - 1);
                input[at] = static_cast<char>(random() % 2 ? 0xFF : 0x00);
                input[at + 1] = static_cast<char>(random());
            }
            break;
        case 5:
            if (!input.empty())
                input.erase(below(input.size()), below(32));
            break;
        default:
            if (!input.empty())
                input[below(input.size())] = static_cast<char>(random());
            break;
        }
    }
    return input;
}

void Replay(const std::vector<std::string>& corpus, void (*run)(const std::uint8_t*, std::size_t), unsigned randomStart,
            int rounds)
{
    for (const std::string& input : corpus)
        run(reinterpret_cast<const std::uint8_t*>(input.data()), input.size());
    std::mt19937 random(randomStart);
    for (int i = 0; i < rounds; ++i) {
        const std::string input = Mutate(corpus[random() % corpus.size()], random);
        run(reinterpret_cast<const std::uint8_t*>(input.data()), input.size());
    }
}

} // namespace

std::vector<std::string> JpegDecodeCorpus(const fs::path& scratch)
{
    fs::create_directories(scratch);
    const fs::path colour = scratch / "colour.bmp";
    const fs::path grey = scratch / "palette.bmp";
    std::ofstream(colour, std::ios::binary) << SmallBmp(24, 16, 24);
    std::ofstream(grey, std::ios::binary) << SmallBmp(17, 9, 8);
    std::vector<std::string> corpus;
    const char* switches[] = {"",          "-progressive", "-grayscale", "-optimize -quality 10",
                              "-restart 1", "-arithmetic",  "-sample 1x1", "-smooth 50 -dct fast"};
    int n = 0;
    for (const char* with : switches)
        for (const fs::path& source : {colour, grey}) {
            const fs::path jpeg = scratch / ("c" + std::to_string(n++) + ".jpg");
            Cjpeg(source, with, jpeg);
            corpus.push_back(ReadFile(jpeg));
        }
    const std::string good = corpus.front();
    corpus.push_back("");
    corpus.push_back(good.substr(0, good.size() / 2));
    corpus.push_back(good.substr(0, good.size() - 20));
    std::string huge = good;
    const std::size_t sof = huge.find("\xFF\xC0", 0, 2);
    huge[sof + 5] = huge[sof + 6] = huge[sof + 7] = huge[sof + 8] = '\x7F';
    corpus.push_back(huge);
    corpus.push_back(std::string("\xFF\xD8\xFF\xFE\xFF\xFF", 6) + "short");
    std::string comments = "\xFF\xD8";
    for (int i = 0; i < 50; ++i)
        comments += std::string("\xFF\xFE\x00\x04xy", 6);
    corpus.push_back(comments + good.substr(2));
    corpus.push_back("\xFF\xD8" + std::string("\xFF\xFE\x00\x12", 4) + "Fattura di prova" + good.substr(2));
    std::mt19937 random(11);
    std::string noise(400, '\0');
    for (char& c : noise)
        c = static_cast<char>(random());
    corpus.push_back(noise);
    return corpus;
}

std::vector<std::string> BmpReaderCorpus()
{
    std::vector<std::string> corpus = {SmallBmp(5, 3, 24), SmallBmp(7, 4, 8), SmallBmp(1, 1, 24)};
    std::string os2 = "BM";
    os2.resize(14 + 12 + 768 + 4, '\0');
    Patch32(os2, 2, static_cast<std::uint32_t>(os2.size()));
    Patch32(os2, 10, 14 + 12 + 768);
    os2[14] = 12;
    os2[18] = 2;  // width
    os2[20] = 1;  // height
    os2[22] = 1;  // planes
    os2[24] = 8;  // bits
    os2[26 + 5] = '\x7F';
    corpus.push_back(os2);
    std::string colours = SmallBmp(7, 4, 8);
    Patch32(colours, 46, 300);
    corpus.push_back(colours);
    std::string deep = SmallBmp(5, 3, 24);
    deep[28] = 32;
    corpus.push_back(deep);
    std::string rle = SmallBmp(7, 4, 8);
    Patch32(rle, 30, 1);
    corpus.push_back(rle);
    std::string large = SmallBmp(5, 3, 24);
    Patch32(large, 18, 16000);
    Patch32(large, 22, 16000);
    corpus.push_back(large);
    corpus.push_back(SmallBmp(5, 3, 24).substr(0, 40));
    return corpus;
}

TEST(JpgImgFuzzReplay, DecoderCorpusAndMutationsEndInItsErrorsOrReadableBitmaps)
{
    TTestFolder folder;
    Replay(JpegDecodeCorpus(folder.Path()), RunJpegDecodeFuzzCase, 20240801, 5000 * TestScale());
}

TEST(JpgImgFuzzReplay, BmpReaderCorpusAndMutationsEndInItsErrorsOrJpegsOfTheirSize)
{
    Replay(BmpReaderCorpus(), RunBmpReaderFuzzCase, 20240802, 10000 * TestScale());
}
