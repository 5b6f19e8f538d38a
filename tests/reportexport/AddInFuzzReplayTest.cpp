// Replays the add-in record fuzz target over the records the other tests use and deterministic
// mutations of them, under the sanitizers.

#include "tests/TestScale.h"

#include "AddInTestSupport.h"
#include "fuzz/AddInRecordFuzzCase.h"

#include "reportexport/Barcode.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>

namespace AddInFuzzReplayTest {

using namespace AddInTestSupport;

// The fuzz input of an object's record: the selector byte, then the record.
std::string FuzzInput(TrpView& view, int kind, TrpStreamMode mode, int flags = 0)
{
    return std::string(1, static_cast<char>(kind | (mode == smPrinting ? 4 : 0) | flags)) + Record(view, mode);
}

// Byte flips, cuts, 32-bit and 64-bit fields set to extremes, and deleted bytes.
std::string Mutate(std::string input, std::mt19937& random)
{
    auto below = [&](std::size_t n) { return n == 0 ? 0 : static_cast<std::size_t>(random() % n); };
    static const std::uint32_t words[] = {0, 1, 49, 50, 0xFF, 0x7FFFFFFF, 0x80000000, 0xFFFFFFFF};
    static const double reals[] = {0.0, -1.0, 1e300, -1e300, 90.0, 270.0, 1e-300, std::numeric_limits<double>::quiet_NaN()};
    switch (random() % 5) {
    case 0:
        for (std::size_t i = 1 + below(4); i > 0 && input.size() > 1; --i)
            input[1 + below(input.size() - 1)] ^= static_cast<char>(1 + below(255));
        break;
    case 1:
        input.resize(1 + below(input.size()));
        break;
    case 2:
        if (input.size() > 5)
            std::memcpy(input.data() + 1 + below(input.size() - 4), &words[below(8)], 4);
        break;
    case 3:
        if (input.size() > 9)
            std::memcpy(input.data() + 1 + below(input.size() - 8), &reals[below(8)], 8);
        break;
    default:
        if (input.size() > 1)
            input.erase(1 + below(input.size() - 1), 1);
        break;
    }
    return input;
}

} // namespace AddInFuzzReplayTest

std::vector<std::string> AddInRecordCorpus()
{
    using namespace AddInFuzzReplayTest;
    std::vector<std::string> corpus;
    for (TrpStreamMode mode : {smDesigning, smPrinting}) {
        for (double angle : {0.0, 90.0, 180.0, 270.0}) {
            TrpBarCodeView barcode;
            barcode.SetBounds(4, 4, 20, 30);
            barcode.Param.Angle = angle;
            barcode.FrameTyp = rpFrameAll;
            corpus.push_back(FuzzInput(barcode, 0, mode, angle == 90 ? 8 : 16));
        }
        TrpBarCodeView ean;
        ean.SetBounds(2, 2, 40, 40);
        ean.Param = {0, 1, 7, Barcode::bcCodeEAN13, 2, 2.0, 0};
        ean.Memo->SetText("123");
        ean.WorkMemo->SetText("123");
        corpus.push_back(FuzzInput(ean, 0, mode, 8));
        for (std::uint8_t kind = 0; kind < 4; ++kind) {
            TrpShapeView shape;
            shape.SetBounds(3, 3, 30, 20);
            shape.ShapeType = kind;
            shape.FillColor = kind % 2 ? clRed : clNone;
            shape.FrameWidth = 1.5f;
            corpus.push_back(FuzzInput(shape, 1, mode, kind * 8));
        }
        TrpCheckBoxView check;
        check.SetBounds(5, 5, 16, 16);
        check.Memo->SetText("1");
        check.WorkMemo->SetText("1");
        corpus.push_back(FuzzInput(check, 2, mode, 8));
    }
    return corpus;
}

TEST(AddInFuzzReplay, RecordsAndTheirMutationsReadOrFailCleanlyAndAlwaysDraw)
{
    using namespace AddInFuzzReplayTest;
    StartAddIns();
    const std::vector<std::string> corpus = AddInRecordCorpus();
    for (const std::string& input : corpus)
        RunAddInRecordFuzzCase(reinterpret_cast<const std::uint8_t*>(input.data()), input.size());
    std::mt19937 random(20241211);
    const int rounds = 3000 * TestScale();
    for (int i = 0; i < rounds; ++i) {
        std::string input = corpus[random() % corpus.size()];
        for (int steps = 1 + static_cast<int>(random() % 3); steps > 0; --steps)
            input = Mutate(input, random);
        RunAddInRecordFuzzCase(reinterpret_cast<const std::uint8_t*>(input.data()), input.size());
    }
    DocMode = dmDesigning;
}
