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

enum TQuery { qLeftAt, qRightAt, qClearLeft, qClearRight, qBottom, qLevelClear, qLeftRecords, qRightRecords, qLevel,
              qRecIndent, qRecBottom, qRecLevel };

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
    case qLeftAt:
        return margins.LeftIndent(argument);
    case qRightAt:
        return margins.RightSide(argument);
    case qClearLeft:
        return left;
    case qClearRight:
        return right;
    case qBottom:
        return margins.ImageBottom();
    case qLevelClear:
        return margins.GetLevelClear();
    case qLeftRecords:
        return margins.LeftList->Count();
    case qRightRecords:
        return margins.RightList->Count();
    case qLevel:
        return margins.CurrentLevel;
    case qRecIndent:
        return margins.LeftRec(argument)->Indent;
    case qRecBottom:
        return margins.LeftRec(argument)->BottomY;
    case qRecLevel:
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
         {{qLeftAt, 0, 10}, {qLeftAt, -7, 10}, {qLeftAt, 20000000, 10}, {qRightAt, 0, 500}, {qRightAt, 9999999, 500},
          {qClearLeft, 0, 0}, {qClearRight, 0, 0}, {qBottom, 0, 0}, {qLevelClear, 0, 1}}},
        {"two list levels open and close",
         [](IndentManagerBasic& m) {
             m.SetLevel(100, 2);
             m.SetLevel(300, 0);
         },
         {{qLeftRecords, 0, 2}, {qRecIndent, 0, 35}, {qRecIndent, 1, 70}, {qRecBottom, 0, 299}, {qRecBottom, 1, 299},
          {qRecLevel, 0, 0}, {qRecLevel, 1, 0}, {qLeftAt, 99, 10}, {qLeftAt, 150, 80}, {qLeftAt, 298, 80},
          {qLeftAt, 299, 10}, {qLeftAt, 300, 10}, {qLevel, 0, 0}, {qBottom, 0, 299}}},
        {"open levels reach down to 9999999",
         [](IndentManagerBasic& m) { m.SetLevel(100, 2); },
         {{qLevel, 0, 2}, {qRecBottom, 1, 9999999}, {qRecLevel, 0, 1}, {qRecLevel, 1, 2}, {qLeftAt, 9999998, 80},
          {qLeftAt, 9999999, 10}, {qBottom, 0, 0}}},
        {"closing to level 1 keeps level 1",
         [](IndentManagerBasic& m) {
             m.SetLevel(0, 3);
             m.SetLevel(40, 1);
         },
         {{qRecLevel, 0, 1}, {qRecLevel, 1, 0}, {qRecLevel, 2, 0}, {qLeftAt, 40, 45}, {qLeftAt, 38, 115}, {qLevel, 0, 1}}},
        {"small step from level 0 to 2 changes nothing",
         [](IndentManagerBasic& m) { m.SetLevelSmall(50, 2); },
         {{qLeftRecords, 0, 0}, {qLevel, 0, 0}, {qLeftAt, 60, 10}}},
        {"small steps open and close one level of 15",
         [](IndentManagerBasic& m) {
             m.SetLevelSmall(50, 1);
             m.SetLevelSmall(80, 0);
         },
         {{qRecIndent, 0, 15}, {qRecBottom, 0, 79}, {qLeftAt, 60, 25}, {qLeftAt, 79, 10}, {qLevel, 0, 0}}},
        {"left float from 10 of height 40",
         [](IndentManagerBasic& m) { m.UpdateTable(10, 100, 40, Left); },
         {{qLeftAt, 9, 10}, {qLeftAt, 10, 110}, {qLeftAt, 49, 110}, {qLeftAt, 50, 10}, {qRightAt, 20, 500},
          {qClearLeft, 0, 51}, {qClearRight, 0, 0}, {qBottom, 0, 50}}},
        {"right float from 10 of height 40",
         [](IndentManagerBasic& m) { m.UpdateTable(10, 100, 40, Right); },
         {{qRightAt, 10, 400}, {qRightAt, 50, 500}, {qLeftAt, 10, 10}, {qClearLeft, 0, 0}, {qClearRight, 0, 51}}},
        {"centred and unjustified tables register nothing",
         [](IndentManagerBasic& m) {
             m.UpdateTable(10, 100, 40, Centered);
             m.UpdateTable(10, 100, 40, NoJustify);
         },
         {{qLeftRecords, 0, 0}, {qRightRecords, 0, 0}, {qLeftAt, 20, 10}, {qRightAt, 20, 500}}},
        {"an empty range never covers",
         [](IndentManagerBasic& m) {
             m.UpdateTable(10, 100, 0, Left);
             m.UpdateTable(10, 100, -5, Right);
         },
         {{qLeftRecords, 0, 1}, {qLeftAt, 10, 10}, {qLeftAt, 9, 10}, {qRightAt, 10, 500}, {qRightAt, 7, 500}}},
        {"a float beside a list level adds to it",
         [](IndentManagerBasic& m) {
             m.SetLevel(0, 1);
             m.UpdateTable(20, 50, 30, Left);
         },
         {{qRecIndent, 1, 85}, {qLeftAt, 25, 95}, {qLeftAt, 60, 45}, {qLevelClear, 0, 51}, {qClearLeft, 0, 51}}},
        {"left records pointing out and right records pointing in count as none",
         [](IndentManagerBasic& m) {
             m.UpdateTable(0, -50, 10, Left);
             m.UpdateTable(0, -50, 10, Right);
         },
         {{qLeftAt, 5, 10}, {qRightAt, 5, 500}}},
        {"the widest of overlapping floats wins",
         [](IndentManagerBasic& m) {
             m.UpdateTable(0, 30, 100, Left);
             m.UpdateTable(0, 80, 20, Right);
             m.UpdateTable(50, 20, 100, Right);
         },
         {{qLeftAt, 60, 40}, {qRightAt, 10, 420}, {qRightAt, 60, 480}, {qClearRight, 0, 151}, {qBottom, 0, 150}}},
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
