// The process's pseudo-random sequence: in range, repeatable from a set RandSeed.

#include "platform/rtl/System.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

namespace SystemTest {
namespace {

std::vector<int> Draw(int seedValue, int range, int count)
{
    RandSeed = seedValue;
    std::vector<int> values;
    for (int i = 0; i < count; ++i)
        values.push_back(Random(range));
    return values;
}

TEST(System, RandomStaysInRangeAndRepeatsFromTheSameSeed)
{
    for (const int range : {1, 2, 7, 1000, 2147483647}) {
        const std::vector<int> values = Draw(99, range, 2000);
        for (const int value : values) {
            ASSERT_GE(value, 0);
            ASSERT_LT(value, range);
        }
        EXPECT_EQ(Draw(99, range, 2000), values);
    }
    EXPECT_NE(Draw(1, 1000, 20), Draw(2, 1000, 20));
    // Every value of a small range comes up.
    const std::vector<int> dice = Draw(5, 6, 600);
    for (int face = 0; face < 6; ++face)
        EXPECT_NE(std::find(dice.begin(), dice.end(), face), dice.end()) << face;
    EXPECT_EQ(Random(0), 0);
    EXPECT_EQ(Random(-3), 0);
}

} // namespace
} // namespace SystemTest
