// Tokens with their source positions, the owning lists and the colour parser.

#include "htmlview/TokenObj.h"

#include <gtest/gtest.h>

#include <string>

using namespace PaneUn2;

namespace {

TEST(GetColor, NamesAndHexadecimalValues)
{
    struct TColorCase {
        const char* Text;
        TColor Expected;
    };
    const TColorCase cases[] = {
        {"red", 0x0000FF},     {"Red", 0x0000FF},     {"RED", 0x0000FF},    {"#FF0000", 0x0000FF},
        {"#f00", 0x0000F0},    {"12#34", 0x003412},   {"#", 0x000000},      {"#1FF0000", 0x0000FF},
        {"navy", 0x800000},    {"Fuchsia", 0xFF00FF}, {"#00ff80", 0x80FF00}, {"abc", 0x00C0AB},
        {"FFFFFFFF", 0xFFFFFF}, {"white", 0xFFFFFF},
    };
    for (const TColorCase& c : cases) {
        TColor value = -1;
        EXPECT_TRUE(GetColor(c.Text, value)) << c.Text;
        EXPECT_EQ(value, c.Expected) << c.Text;
    }
}

TEST(GetColor, NoColourLeavesTheValueAlone)
{
    for (const char* text : {"123456789", "GREY", "none", "", "#12345G", "-1", "red ", "##FF0000"}) {
        TColor value = 0x123456;
        EXPECT_FALSE(GetColor(text, value)) << text;
        EXPECT_EQ(value, 0x123456) << text;
    }
}

std::string CharsOf(int count, char first)
{
    std::string text;
    for (int i = 0; i < count; ++i)
        text += static_cast<char>(first + i % 26);
    return text;
}

void ExpectPositions(const TokenObj& token, const std::vector<int>& expected)
{
    ASSERT_EQ(token.Chars.size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i)
        ASSERT_EQ(token.Positions[i], expected[i]) << "character " << i;
}

TEST(TokenObj, EveryCharacterKeepsItsSourcePositionAcrossGrowth)
{
    TokenObj token;
    std::vector<int> expected;
    const std::string text = CharsOf(301, 'a');
    for (int i = 0; i < 301; ++i) {
        token.AddChar(text[static_cast<std::size_t>(i)], 1000 + 3 * i);
        expected.push_back(1000 + 3 * i);
    }
    EXPECT_EQ(token.Chars, text);
    EXPECT_GE(token.Capacity, 301);
    ExpectPositions(token, expected);

    // Clear keeps the storage; new characters overwrite the old positions in order.
    token.Clear();
    EXPECT_TRUE(token.Chars.empty());
    token.AddChar('x', 7);
    token.AddChar('y', 9);
    ExpectPositions(token, {7, 9});
}

TEST(TokenObj, ConcatAppendsCharactersWithTheirPositions)
{
    TokenObj first, second;
    std::vector<int> expected;
    for (int i = 0; i < 200; ++i) {
        first.AddChar('a', i);
        expected.push_back(i);
    }
    for (int i = 0; i < 200; ++i) {
        second.AddChar('b', 5000 + i);
        expected.push_back(5000 + i);
    }
    first.Concat(&second);
    EXPECT_EQ(first.Chars, std::string(200, 'a') + std::string(200, 'b'));
    ExpectPositions(first, expected);

    first.Concat(&first);
    expected.insert(expected.end(), expected.begin(), expected.end());
    ExpectPositions(first, expected);
}

// Counts its own destruction, so that the tests see which list freed what.
class TCountedItem : public TObject {
public:
    explicit TCountedItem(int& freed) : FFreed(freed) {}
    ~TCountedItem() override { ++FFreed; }

private:
    int& FFreed;
};

TEST(TFreeList, ClearAndDestructionFreeTheItemsDeleteAndExtractDoNot)
{
    int freed = 0;
    auto* kept = new TCountedItem(freed);
    auto* extracted = new TCountedItem(freed);
    {
        TFreeList list;
        list.Add(new TCountedItem(freed));
        list.Add(kept);
        list.Add(extracted);
        list.Delete(1);
        EXPECT_EQ(list.Extract(extracted), extracted);
        EXPECT_EQ(freed, 0);
        list.Clear();
        EXPECT_EQ(freed, 1);
        EXPECT_EQ(list.Count(), 0);
        list.Add(new TCountedItem(freed));
        list.Insert(0, new TCountedItem(freed));
    }
    EXPECT_EQ(freed, 3);
    delete kept;
    delete extracted;
    EXPECT_EQ(freed, 5);
}

TEST(TAttributeList, FindGivesTheFirstOfEqualAttributes)
{
    auto list = std::make_unique<TAttributeList>();
    list->Add(new TAttribute(Symb::AlignSy, 0, "left"));
    list->Add(new TAttribute(Symb::BorderSy, 1, ""));
    list->Add(new TAttribute(Symb::AlignSy, 0, "right"));
    TAttribute* found = nullptr;
    ASSERT_TRUE(list->Find(Symb::AlignSy, found));
    EXPECT_EQ(found->Text, "left");
    ASSERT_TRUE(list->Find(Symb::BorderSy, found));
    EXPECT_EQ(found->Number, 1);
    TAttribute* untouched = found;
    EXPECT_FALSE(list->Find(Symb::WidthSy, untouched));
    EXPECT_EQ(untouched, found);
    // Freeing the list frees the attributes; the sanitizer build reports a leak otherwise.
    list.reset();
}

} // namespace
