// The regular-expression engine of the memo editor: its byte program, its analysis, its syntax
// errors, character classes, matching, substitution, split and replace.

#include "widgets/HlRegExp.h"

#include "platform/rtl/Exceptions.h"
#include "platform/rtl/Lists.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

#include <string>
#include <vector>

namespace {

// Access to the program, for tests that look at it or damage it.
class TRegExpProbe : public TRegExpHlMemo {
public:
    std::vector<std::uint8_t>& Bytes() { return Program; }
};

std::string CompileError(const std::string& expression, bool extSyntax = false)
{
    TRegExpHlMemo engine;
    engine.SetExtSyntax(extSyntax);
    try {
        engine.SetExpression(expression);
    } catch (const Exception& e) {
        return e.Message;
    }
    return "<compiled>";
}

std::string RunError(const std::function<void()>& action)
{
    try {
        action();
    } catch (const Exception& e) {
        return e.Message;
    }
    return "<no error>";
}

// The bytes 1 to 255 a one-character expression matches, as a string of those bytes.
std::string Members(const std::string& expression, bool extSyntax = false)
{
    TRegExpHlMemo engine;
    engine.SetExtSyntax(extSyntax);
    engine.SetExpression(expression);
    std::string members;
    for (int c = 1; c < 256; ++c)
        if (engine.Exec(std::string(1, static_cast<char>(c)), 1))
            members += static_cast<char>(c);
    return members;
}

std::string Range(int first, int last)
{
    std::string bytes;
    for (int c = first; c <= last; ++c)
        bytes += static_cast<char>(c);
    return bytes;
}

std::string Sorted(std::string text)
{
    std::sort(text.begin(), text.end(), [](char a, char b) {
        return static_cast<unsigned char>(a) < static_cast<unsigned char>(b);
    });
    text.erase(std::unique(text.begin(), text.end()), text.end());
    return text;
}

std::vector<std::string> Pieces(const TStrings& list)
{
    std::vector<std::string> pieces;
    for (int i = 0; i < list.Count(); ++i)
        pieces.push_back(list.Strings(i));
    return pieces;
}

} // namespace

TEST(HlRegExpProgram, TheProgramOfABStarCIsExact)
{
    TRegExpProbe engine;
    engine.SetExpression("ab*c");
    const std::vector<std::uint8_t> expected = {0x9C, 0x06, 0x00, 0x15, 0x08, 0x00, 0x05, 0x61, 0x00,
                                                0x0A, 0x00, 0x08, 0x08, 0x00, 0x00, 0x62, 0x00, 0x08,
                                                0x00, 0x05, 0x63, 0x00, 0x00, 0x00, 0x00};
    EXPECT_EQ(engine.Bytes(), expected);
    EXPECT_EQ(engine.FirstChar(), 'a');
    EXPECT_EQ(engine.Dump(), " 1:BRANCH(22)\r\n 4:EXACTLY(9)a\r\n 9:STAR(17)\r\n12:EXACTLY(0)b\r\n"
                             "17:EXACTLY(22)c\r\n22:END(0)\r\nstart a\r\n");
}

TEST(HlRegExpProgram, StructureAndAnalysis)
{
    struct TCase {
        const char* Expression;
        const char* DumpContains;
        char FirstChar;
        bool Anchored;
        const char* MustHave;
    };
    const TCase cases[] = {
        {"abc*", "EXACTLY(10)ab\r\n10:STAR", 'a', false, ""},
        {"a*", " 4:STAR(", 0, false, ""},
        {"(ab)*", "BACK", 0, false, ""},
        {"a*bcd", "STAR", 0, false, "bcd"},
        {"^ab", "BOL", 0, true, ""},
        {"x*abc|y", "BRANCH", 0, false, ""},
        {"ab+c", "PLUS", 'a', false, ""},
        {"a*b*cde*fg", "STAR", 0, false, "fg"}, // the longest literal on the chain, the later on a tie
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Expression);
        TRegExpHlMemo engine;
        engine.SetExpression(c.Expression);
        EXPECT_NE(engine.Dump().find(c.DumpContains), std::string::npos) << engine.Dump();
        EXPECT_EQ(engine.FirstChar(), static_cast<std::uint8_t>(c.FirstChar));
        EXPECT_EQ(engine.Anchored(), c.Anchored);
        EXPECT_EQ(engine.MustHave(), c.MustHave);
    }
    TRegExpHlMemo loop;
    loop.SetExpression("(ab)*");
    const std::string dump = loop.Dump();
    EXPECT_NE(dump.find("NOTHING"), std::string::npos);
    EXPECT_NE(dump.find("OPEN1"), std::string::npos);
    EXPECT_NE(dump.find("CLOSE1"), std::string::npos);
}

TEST(HlRegExpProgram, EveryBadExpressionHasItsMessage)
{
    struct TCase {
        std::string Expression;
        const char* Message;
    };
    const TCase cases[] = {
        {"(a*)*", "*+ operand could be empty"},
        {"(a*)+", "*+ operand could be empty"},
        {"^*", "*+ operand could be empty"},
        {"a**", "nested *?+"},
        {"a*?", "nested *?+"},
        {"*a", "?+* follows nothing"},
        {"(+a)", "?+* follows nothing"},
        {"a|?", "?+* follows nothing"},
        {"((((((((((a))))))))))", "too many ()"},
        {"(((((((((a)))))))))", "<compiled>"},
        {"a)", "unmatched ()"},
        {"(a", "unmatched ()"},
        {"[a", "Unmatched []"},
        {"\\x4g", "Bad hex digit \"g\""},
        {"\\x4", "No hex code after \\x"},
        {"[z-a]", "Invalid [] range"},
        {"a\\", "Trailing \\"},
        {"[a\\", "Trailing \\"},
        {"(a*)?", "<compiled>"},
        {std::string(70000, 'a'), "regexp too big"},
        {std::string(65520, 'a'), "<compiled>"},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Expression.substr(0, 40));
        EXPECT_EQ(CompileError(c.Expression), c.Message);
    }
}

TEST(HlRegExpProgram, AFailedExpressionLeavesNoProgramAndIsNotCompiledAgain)
{
    TRegExpHlMemo engine;
    engine.SetExpression("b");
    EXPECT_EQ(RunError([&] { engine.SetExpression("(b"); }), "unmatched ()");
    EXPECT_EQ(engine.GetExpression(), "(b");
    EXPECT_EQ(RunError([&] { engine.Exec("abc", 1); }), "Exec: Not assigned expression property");
    // The same text again is not compiled again, so it raises nothing.
    EXPECT_EQ(RunError([&] { engine.SetExpression("(b"); }), "<no error>");
}

TEST(HlRegExpProgram, AnEmptyExpressionLeavesNoProgram)
{
    TRegExpHlMemo engine;
    engine.SetExpression("b");
    ASSERT_TRUE(engine.Exec("abc", 1));
    engine.SetExpression("");
    EXPECT_EQ(engine.GetExpression(), "");
    EXPECT_EQ(RunError([&] { engine.Exec("abc", 1); }), "Exec: Not assigned expression property");
    EXPECT_EQ(RunError([&] { engine.Substitute("&"); }), "Not assigned expression property");
}

TEST(HlRegExpClasses, MembersOfClasses)
{
    const std::string digits = "0123456789";
    struct TCase {
        const char* Expression;
        std::string Members;
    };
    const TCase cases[] = {
        {"[]a]", "]a"},
        {"[a-]", "-a"},
        {"[-a]", "-a"},
        {"[x-x]", "x"},
        {"[a-c]", "abc"},
        {"[a-c-e]", "abcde"},
        {"[\\d-f]", digits + "def"},
        {"[\\x41-\\x43]", "ABC"},
        {"[a-\\x63]", "abc"},
        {"[\\]\\-\\\\.]", "-.\\]"},
        {"[\\s\\W]", "sW"},
        {"[\\t\\n]", "\t\n"},
        {"[\xF6]", "\xF6"},
        {"[\xFD-\xFF]", "\xFD\xFE\xFF"},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Expression);
        EXPECT_EQ(Members(c.Expression), Sorted(c.Members));
    }
    const std::string all = Range(1, 255);
    std::string notDashX = all;
    std::erase(notDashX, '-');
    std::erase(notDashX, 'x');
    EXPECT_EQ(Members("[^-x]"), notDashX);
    EXPECT_EQ(Members("\\w"), Sorted("abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ_"));
    EXPECT_EQ(Members("\\s"), std::string("\t\n\f\r "));
    EXPECT_EQ(Members("."), all);
}

TEST(HlRegExpClasses, CyrillicRangesOnlyWithTheExtendedSyntax)
{
    TRegExpHlMemo engine;
    EXPECT_FALSE(engine.ExtSyntax());
    EXPECT_EQ(Members("[\xE0-\xFF]"), Range(224, 255));
    EXPECT_EQ(CompileError("[\xE0-\xDF]"), "Invalid [] range");
    EXPECT_EQ(Members("[\xE0-\xFF]", true), Sorted(Range(224, 255) + "\xB8"));
    EXPECT_EQ(Members("[\xC0-\xDF]", true), Sorted(Range(192, 223) + "\xA8"));
    EXPECT_EQ(Members("[\xE0-\xDF]", true), Sorted(Range(192, 255) + "\xA8\xB8"));
}

TEST(HlRegExpClasses, ChangingTheSyntaxRecompilesOnlyAProgram)
{
    TRegExpHlMemo engine;
    engine.SetExpression("[\xE0-\xFF]");
    ASSERT_FALSE(engine.Exec("\xB8", 1));
    engine.SetExtSyntax(true);
    EXPECT_TRUE(engine.Exec("\xB8", 1));
    // Without a program nothing is compiled: the failed reversed range stays failed quietly.
    TRegExpHlMemo failed;
    EXPECT_EQ(RunError([&] { failed.SetExpression("[\xE0-\xDF]"); }), "Invalid [] range");
    EXPECT_EQ(RunError([&] { failed.SetExtSyntax(true); }), "<no error>");
    EXPECT_EQ(RunError([&] { failed.Exec("\xE0", 1); }), "Exec: Not assigned expression property");
}

TEST(HlRegExpMatcher, PositionsOfMatchesAndGroups)
{
    struct TCase {
        const char* Expression;
        std::string Subject;
        int Offset;
        bool Found;
        int Position;
        int Length;
        int Group;
        int GroupPosition;
        int GroupLength;
    };
    const TCase cases[] = {
        {"b", "abc", 1, true, 2, 1, 0, 2, 1},
        {"b", "abc", 3, false, -1, -1, 0, -1, -1},
        {"b", "abc", 4, false, -1, -1, 0, -1, -1},
        {"^b", "ab", 2, false, -1, -1, 0, -1, -1},
        {"^a", "ab", 1, true, 1, 1, 0, 1, 1},
        {"b$", "ab", 1, true, 2, 1, 0, 2, 1},
        {"$", "ab", 1, false, -1, -1, 0, -1, -1},
        {"a*", "", 1, false, -1, -1, 0, -1, -1},
        {"a*", "b", 1, true, 1, 0, 0, 1, 0},
        {"(a|ab)c", "abc", 1, true, 1, 3, 1, 1, 2},
        {"(a)*", "aaa", 1, true, 1, 3, 1, 3, 1},
        {"a.*c", "abcbc", 1, true, 1, 5, 0, 1, 5},
        {"(a)|(b)", "b", 1, true, 1, 1, 2, 1, 1},
        {"x(ab)+y", "xababy", 1, true, 1, 6, 1, 4, 2},
        {"a?b", "ab", 1, true, 1, 2, 0, 1, 2},
        {"[^x]+", "xxabx", 1, true, 3, 2, 0, 3, 2},
        {"\\d+\\s\\w", "n 12 a", 1, true, 3, 4, 0, 3, 4},
        {"a*bcd", "aabcbcd", 1, true, 5, 3, 0, 5, 3},
        {"a*bcd", "xaabcd", 1, true, 2, 5, 0, 2, 5},
        {"b", std::string("a\0b", 3), 1, false, -1, -1, 0, -1, -1},
        {"b", std::string("ab\0b", 4), 4, false, -1, -1, 0, -1, -1},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(std::string(c.Expression) + " on " + c.Subject + " from " + std::to_string(c.Offset));
        TRegExpHlMemo engine;
        engine.SetExpression(c.Expression);
        EXPECT_EQ(engine.Exec(c.Subject, c.Offset), c.Found);
        EXPECT_EQ(engine.GetMatchPos(0), c.Position);
        EXPECT_EQ(engine.GetMatchLen(0), c.Length);
        EXPECT_EQ(engine.GetMatchPos(c.Group), c.GroupPosition);
        EXPECT_EQ(engine.GetMatchLen(c.Group), c.GroupLength);
    }
}

TEST(HlRegExpMatcher, CountsAndTextsOfGroups)
{
    TRegExpHlMemo engine;
    EXPECT_EQ(engine.GetMatchCount(), 0);
    EXPECT_EQ(engine.GetMatchPos(0), -1);
    engine.SetExpression("(a|ab)c");
    ASSERT_TRUE(engine.Exec("abc", 1));
    EXPECT_EQ(engine.GetMatchCount(), 2);
    EXPECT_EQ(engine.GetMatch(0), "abc");
    EXPECT_EQ(engine.GetMatch(1), "ab");
    EXPECT_EQ(engine.GetMatch(2), "");
    EXPECT_EQ(engine.GetMatchPos(10), -1);
    EXPECT_EQ(engine.GetMatchPos(-1), -1);
    // A new expression keeps the old groups until the next search.
    engine.SetExpression("z");
    EXPECT_EQ(engine.GetMatch(1), "ab");
    EXPECT_FALSE(engine.Exec("abc", 1));
    EXPECT_EQ(engine.GetMatchPos(0), -1);
    EXPECT_EQ(engine.GetMatchCount(), 0);
    engine.SetExpression("(a)|(b)");
    ASSERT_TRUE(engine.Exec("b", 1));
    EXPECT_EQ(engine.GetMatchCount(), 1);
    EXPECT_EQ(engine.GetMatchPos(2), 1);
}

TEST(HlRegExpMatcher, OffsetBelowOneRaises)
{
    TRegExpHlMemo engine;
    engine.SetExpression("b");
    EXPECT_EQ(RunError([&] { engine.Exec("abc", 0); }), "Exec: Invalid offset parameter");
    EXPECT_EQ(RunError([&] { engine.Exec("abc", -5); }), "Exec: Invalid offset parameter");
}

TEST(HlRegExpMatcher, ADamagedProgramIsReported)
{
    TRegExpProbe engine;
    engine.SetExpression("b");
    engine.Bytes()[0] = 0;
    EXPECT_EQ(RunError([&] { engine.Exec("abc", 1); }), "Exec: Corrupted program");
    EXPECT_EQ(RunError([&] { engine.Substitute("&"); }), "Substitute: Corrupted programm");
}

TEST(HlRegExpMatcher, ALongRepeatedGroupRaisesInsteadOfExhaustingTheStack)
{
    TRegExpHlMemo engine;
    engine.SetExpression("(ab)*");
    std::string subject;
    for (int i = 0; i < 1000; ++i)
        subject += "ab";
    ASSERT_TRUE(engine.Exec(subject, 1));
    EXPECT_EQ(engine.GetMatchLen(0), 2000);
    std::string huge;
    for (int i = 0; i < 200000; ++i)
        huge += "ab";
    EXPECT_EQ(RunError([&] { engine.Exec(huge, 1); }), "regexp recursion too deep");
    // The engine is usable afterwards.
    EXPECT_TRUE(engine.Exec("xab", 1));
    EXPECT_EQ(engine.GetMatchPos(0), 1);
}

TEST(HlRegExpMatcher, OneCharacterRepetitionsNeedNoStack)
{
    TRegExpHlMemo engine;
    engine.SetExpression("a*b");
    const std::string subject = std::string(1000000, 'a') + "b";
    ASSERT_TRUE(engine.Exec(subject, 1));
    EXPECT_EQ(engine.GetMatchLen(0), 1000001);
}

TEST(HlRegExpTexts, Substitute)
{
    TRegExpHlMemo engine;
    engine.SetExpression("b(c)");
    ASSERT_TRUE(engine.Exec("abcd", 1));
    const std::pair<const char*, const char*> cases[] = {
        {"[&]", "[bc]"}, {"\\&", "&"},     {"\\\\", "\\"}, {"\\x", "\\x"},
        {"<\\1>", "<c>"}, {"\\2|", "|"},   {"\\", "\\"},   {"&&", "bcbc"},
    };
    for (const auto& [templateText, expected] : cases)
        EXPECT_EQ(engine.Substitute(templateText), expected) << templateText;
    // A set group after an unset one is substituted too.
    engine.SetExpression("(a)|(b)");
    ASSERT_TRUE(engine.Exec("b", 1));
    EXPECT_EQ(engine.Substitute("\\2"), "b");
    EXPECT_EQ(engine.Substitute("\\1"), "");
}

TEST(HlRegExpTexts, SplitAndReplace)
{
    struct TCase {
        const char* Expression;
        std::string Text;
        std::vector<std::string> Pieces;
    };
    const TCase splits[] = {
        {",", "a,b,,c", {"a", "b", "", "c"}},
        {",", "a,", {"a", ""}},
        {",", "", {""}},
        {"x*", "axbc", {"a", "bc"}},
        {",", std::string("a\0b,c", 5), {std::string("a\0b,c", 5)}},
    };
    for (const TCase& c : splits) {
        SCOPED_TRACE(c.Expression);
        TRegExpHlMemo engine;
        engine.SetExpression(c.Expression);
        TStringList list;
        list.Add("kept");
        engine.Split(c.Text, list);
        std::vector<std::string> expected = {"kept"};
        expected.insert(expected.end(), c.Pieces.begin(), c.Pieces.end());
        EXPECT_EQ(Pieces(list), expected);
    }
    EXPECT_EQ(HlRegExp::ReplaceRegExpr("b+", "abbcb", "&"), "a&c&");
    EXPECT_EQ(HlRegExp::ReplaceRegExpr("x*", "abc", "-"), "-a-b-c");
    EXPECT_EQ(HlRegExp::ReplaceRegExpr("z", "abc", "-"), "abc");
    // The rest after a match is searched as a subject of its own: "^" matches where it begins.
    EXPECT_EQ(HlRegExp::ReplaceRegExpr("^a", "aab", "-"), "--b");
    TStringList anchored;
    HlRegExp::SplitRegExpr("^a", "aab", anchored);
    EXPECT_EQ(Pieces(anchored), (std::vector<std::string>{"", "", "b"}));
    TStringList list;
    list.Add("dropped");
    HlRegExp::SplitRegExpr(";", "1;2", list);
    EXPECT_EQ(Pieces(list), (std::vector<std::string>{"1", "2"}));
    EXPECT_TRUE(HlRegExp::ExecRegExpr("b", "abc"));
    EXPECT_EQ(RunError([] { HlRegExp::ExecRegExpr("(", "abc"); }), "unmatched ()");
    // The list is cleared before the expression is compiled.
    TStringList failed;
    failed.Add("x");
    EXPECT_EQ(RunError([&] { HlRegExp::SplitRegExpr("[", "a", failed); }), "Unmatched []");
    EXPECT_EQ(failed.Count(), 0);
}

// A line of many matches is split and replaced in one pass over it, not one copy of the rest per
// match.
TEST(HlRegExpTexts, ALongLineOfManyMatches)
{
    std::string line;
    for (int i = 0; i < 200000; ++i)
        line += "ab,";
    TRegExpHlMemo engine;
    engine.SetExpression(",");
    TStringList pieces;
    engine.Split(line, pieces);
    ASSERT_EQ(pieces.Count(), 200001);
    EXPECT_EQ(pieces.Strings(0), "ab");
    EXPECT_EQ(pieces.Strings(199999), "ab");
    EXPECT_EQ(pieces.Strings(200000), "");
    EXPECT_EQ(engine.GetMatchCount(), 0);
    const std::string replaced = engine.Replace(line, "--");
    EXPECT_EQ(replaced.size(), line.size() + 200000);
    EXPECT_EQ(replaced.substr(0, 8), "ab--ab--");
    engine.SetExpression("x*");
    EXPECT_EQ(engine.Replace(line, "").size(), line.size());
}
