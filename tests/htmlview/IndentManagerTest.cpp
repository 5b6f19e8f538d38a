// The margins of a cell: list levels, floating tables and the clear positions below them.

#include "htmlview/IndentManagerBasic.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <thread>
#include <vector>

using namespace PaneUn2;

namespace {

class TTestableIndentManager : public IndentManagerBasic {
public:
    const IndentRec* LeftRec(int index) const { return Rec(*LeftList, index); }
};

enum TQuery { LeftAt, RightAt, ClearLeft, ClearRight, Bottom, LevelClear, LeftRecords, RightRecords, Level,
              RecIndent, RecBottom, RecLevel };

struct TExpectation {
    TQuery Query;
    int Argument; // Y, or the index of a left record
    int Expected;
};

struct TIndentCase {
    const char* Name;
    std::function<void(IndentManagerBasic&)> Steps;
    std::vector<TExpectation> Expectations;
};

int Answer(const TTestableIndentManager& margins, TQuery query, int argument)
{
    int left = 0, right = 0;
    margins.GetClearY(left, right);
    switch (query) {
    case LeftAt:
        return margins.LeftIndent(argument);
    case RightAt:
        return margins.RightSide(argument);
    case ClearLeft:
        return left;
    case ClearRight:
        return right;
    case Bottom:
        return margins.ImageBottom();
    case LevelClear:
        return margins.GetLevelClear();
    case LeftRecords:
        return margins.LeftList->Count();
    case RightRecords:
        return margins.RightList->Count();
    case Level:
        return margins.CurrentLevel;
    case RecIndent:
        return margins.LeftRec(argument)->Indent;
    case RecBottom:
        return margins.LeftRec(argument)->BottomY;
    case RecLevel:
        return margins.LeftRec(argument)->LevelId;
    }
    return -1;
}

// Every case starts with the edges at 10 and 500.
const std::vector<TIndentCase>& IndentCases()
{
    static const std::vector<TIndentCase> cases = {
        {"no records",
         [](IndentManagerBasic&) {},
         {{LeftAt, 0, 10}, {LeftAt, -7, 10}, {LeftAt, 20000000, 10}, {RightAt, 0, 500}, {RightAt, 9999999, 500},
          {ClearLeft, 0, 0}, {ClearRight, 0, 0}, {Bottom, 0, 0}, {LevelClear, 0, 1}}},
        {"two list levels open and close",
         [](IndentManagerBasic& m) {
             m.SetLevel(100, 2);
             m.SetLevel(300, 0);
         },
         {{LeftRecords, 0, 2}, {RecIndent, 0, 35}, {RecIndent, 1, 70}, {RecBottom, 0, 299}, {RecBottom, 1, 299},
          {RecLevel, 0, 0}, {RecLevel, 1, 0}, {LeftAt, 99, 10}, {LeftAt, 150, 80}, {LeftAt, 298, 80},
          {LeftAt, 299, 10}, {LeftAt, 300, 10}, {Level, 0, 0}, {Bottom, 0, 299}}},
        {"open levels reach down to 9999999",
         [](IndentManagerBasic& m) { m.SetLevel(100, 2); },
         {{Level, 0, 2}, {RecBottom, 1, 9999999}, {RecLevel, 0, 1}, {RecLevel, 1, 2}, {LeftAt, 9999998, 80},
          {LeftAt, 9999999, 10}, {Bottom, 0, 0}}},
        {"closing to level 1 keeps level 1",
         [](IndentManagerBasic& m) {
             m.SetLevel(0, 3);
             m.SetLevel(40, 1);
         },
         {{RecLevel, 0, 1}, {RecLevel, 1, 0}, {RecLevel, 2, 0}, {LeftAt, 40, 45}, {LeftAt, 38, 115}, {Level, 0, 1}}},
        {"small step from level 0 to 2 changes nothing",
         [](IndentManagerBasic& m) { m.SetLevelSmall(50, 2); },
         {{LeftRecords, 0, 0}, {Level, 0, 0}, {LeftAt, 60, 10}}},
        {"small steps open and close one level of 15",
         [](IndentManagerBasic& m) {
             m.SetLevelSmall(50, 1);
             m.SetLevelSmall(80, 0);
         },
         {{RecIndent, 0, 15}, {RecBottom, 0, 79}, {LeftAt, 60, 25}, {LeftAt, 79, 10}, {Level, 0, 0}}},
        {"left float from 10 of height 40",
         [](IndentManagerBasic& m) { m.UpdateTable(10, 100, 40, Left); },
         {{LeftAt, 9, 10}, {LeftAt, 10, 110}, {LeftAt, 49, 110}, {LeftAt, 50, 10}, {RightAt, 20, 500},
          {ClearLeft, 0, 51}, {ClearRight, 0, 0}, {Bottom, 0, 50}}},
        {"right float from 10 of height 40",
         [](IndentManagerBasic& m) { m.UpdateTable(10, 100, 40, Right); },
         {{RightAt, 10, 400}, {RightAt, 50, 500}, {LeftAt, 10, 10}, {ClearLeft, 0, 0}, {ClearRight, 0, 51}}},
        {"centred and unjustified tables register nothing",
         [](IndentManagerBasic& m) {
             m.UpdateTable(10, 100, 40, Centered);
             m.UpdateTable(10, 100, 40, NoJustify);
         },
         {{LeftRecords, 0, 0}, {RightRecords, 0, 0}, {LeftAt, 20, 10}, {RightAt, 20, 500}}},
        {"an empty range never covers",
         [](IndentManagerBasic& m) {
             m.UpdateTable(10, 100, 0, Left);
             m.UpdateTable(10, 100, -5, Right);
         },
         {{LeftRecords, 0, 1}, {LeftAt, 10, 10}, {LeftAt, 9, 10}, {RightAt, 10, 500}, {RightAt, 7, 500}}},
        {"a float beside a list level adds to it",
         [](IndentManagerBasic& m) {
             m.SetLevel(0, 1);
             m.UpdateTable(20, 50, 30, Left);
         },
         {{RecIndent, 1, 85}, {LeftAt, 25, 95}, {LeftAt, 60, 45}, {LevelClear, 0, 51}, {ClearLeft, 0, 51}}},
        {"left records pointing out and right records pointing in count as none",
         [](IndentManagerBasic& m) {
             m.UpdateTable(0, -50, 10, Left);
             m.UpdateTable(0, -50, 10, Right);
         },
         {{LeftAt, 5, 10}, {RightAt, 5, 500}}},
        {"the widest of overlapping floats wins",
         [](IndentManagerBasic& m) {
             m.UpdateTable(0, 30, 100, Left);
             m.UpdateTable(0, 80, 20, Right);
             m.UpdateTable(50, 20, 100, Right);
         },
         {{LeftAt, 60, 40}, {RightAt, 10, 420}, {RightAt, 60, 480}, {ClearRight, 0, 151}, {Bottom, 0, 150}}},
    };
    return cases;
}

TEST(IndentManagerBasic, EdgeCases)
{
    for (const TIndentCase& c : IndentCases()) {
        TTestableIndentManager margins;
        margins.Reset(10, 500);
        c.Steps(margins);
        for (const TExpectation& e : c.Expectations)
            EXPECT_EQ(Answer(margins, e.Query, e.Argument), e.Expected)
                << c.Name << ": query " << e.Query << " at " << e.Argument;
    }
}

TEST(IndentManagerBasic, ClearAndResetStartAgain)
{
    TTestableIndentManager margins;
    margins.Reset(0, 300);
    margins.SetLevel(0, 2);
    margins.UpdateTable(0, 40, 40, Right);
    margins.Reset(100, 400);
    EXPECT_EQ(margins.CurrentLevel, 0);
    EXPECT_EQ(margins.LeftIndent(10), 170); // the records stay, relative to the new edges
    EXPECT_EQ(margins.RightSide(10), 360);
    margins.Clear();
    EXPECT_EQ(margins.LeftList->Count() + margins.RightList->Count(), 0);
    EXPECT_EQ(margins.LeftIndent(10), 100);
}

TEST(IndentManagerBasic, ListIndentBelongsToEachThread)
{
    EXPECT_EQ(ListIndent, 35);
    int otherThreadIndent = 0, otherThreadLevel = 0;
    std::thread parser([&] {
        ListIndent = 15;
        IndentManagerBasic margins;
        margins.SetLevel(0, 1);
        otherThreadIndent = ListIndent;
        otherThreadLevel = margins.LeftIndent(0);
    });
    parser.join();
    EXPECT_EQ(otherThreadIndent, 15);
    EXPECT_EQ(otherThreadLevel, 15);
    EXPECT_EQ(ListIndent, 35);
    IndentManagerBasic margins;
    margins.SetLevel(0, 1);
    EXPECT_EQ(margins.LeftIndent(0), 35);
}

} // namespace
