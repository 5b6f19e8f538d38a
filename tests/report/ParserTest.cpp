// The expression parser: evaluation of every kind of operand and operator, the translated form
// byte for byte, the token readers, and expressions that must fail cleanly.

#include "ReportTestSupport.h"

#include "report/RP_Pars.h"

#include "platform/rtl/DateTime.h"

#include <map>

namespace ParserTest {

// A parser answering names from a table; unknown names stay unassigned.
struct TTestParser {
    TTestParser()
    {
        Parser.OnGetValue = [this](const std::string& name, Variant& value) {
            Asked.push_back(name);
            if (const auto found = Names.find(name); found != Names.end())
                value = found->second;
        };
    }
    TrpParser Parser;
    std::map<std::string, Variant> Names;
    std::vector<std::string> Asked;
};

struct TExpressionCase {
    const char* Expression;
    Variant Expected;
};

} // namespace ParserTest

using namespace ParserTest;

TEST(ReportParser, ExpressionsEvaluateAsTheirTranslationSays)
{
    const TDateTime nextDay = EncodeDate(1998, 11, 16);
    const TExpressionCase cases[] = {
        {"2 + 3 * 4", 14},
        {"(2 + 3) * 4", 20},
        {"10 / 0", 0},
        {"7 / 2", 3.5},
        {"-2 * 3", -6},
        {"2 * -3", -6},
        {"1 - -1", 2},
        {"2 * -3 + 4", -2},
        {"5 + (2 * -3)", -1},
        {"1 = 1", 1},
        {"2 >= 3", 0},
        {"2 <= 3", 1},
        {"2 <> 3", 1},
        {"'b' > 'a'", 1},
        {"NOT 0", 1},
        {"NOT 5", 0},
        {"INT 2.7 + 1", 3},
        {"FRAC 2.75", 0.75},
        {"ROUND(2.5)", 2},
        {"ROUND(3.5)", 4},
        {"7 MOD 3", 1},
        {"STR 5 + 'x'", "5x"},
        {"'it''s'", "it's"},
        {"'a' + 'b'", "ab"},
        {"IF(1, 'a', 'b')", "a"},
        {"IF(0.9, 'a', 'b')", "b"},
        {"IF([T], 'x', 'y')", "x"},
        {"IF([F], 'x', 'y')", "y"},
        {"IF([One], 'x', 'y')", "x"},
        {"IF([Zero], 'x', 'y')", "y"},
        {"if (2 > 1, 'si', 'no')", "si"},
        {"COPY('abcdef', 2, 3)", "bcd"},
        {"COPY('it''s me', 2, 3) + '!'", "t's!"},
        {"1.5", 1.5},
        {"1,5", 1.5},
        {"1 + 2; 5", 3},
        {"[A] = 1 OR [B] = 2", 0},
        {"[A] AND NOT [B]", 1},
        {"[a] * [Prezzo unitario]", 12.5},
        {"qta * 2", 6},
        {"[Missing] + 1", 1},
        {"(1 + 2", 3},
        {"1 + 2)", 3},
        {"1+(2+(3+(4+(5+(6+(7+(8+(9+10))))))))", 55},
        {"%d'15/11/1998' + 1", VarFromDateTime(nextDay)},
        {"", Variant()},
    };
    TTestParser test;
    test.Names = {{"T", true}, {"F", false}, {"One", 1}, {"Zero", 0}, {"A", 1}, {"B", 2},
                  {"a", 5},    {"Prezzo unitario", 2.5},            {"QTA", 3}};
    for (const TExpressionCase& c : cases) {
        if (std::string(c.Expression) == "[A] AND NOT [B]")
            test.Names["B"] = 0;
        const Variant value = test.Parser.Calc(c.Expression);
        EXPECT_EQ(VarType(value) == varString, VarType(c.Expected) == varString) << c.Expression;
        EXPECT_TRUE(value == c.Expected) << c.Expression << " gave " << VarToStr(value);
        test.Names["B"] = 2;
    }
    EXPECT_EQ(VarType(test.Parser.Calc("%d'15/11/1998' + 1")), varDate);
    EXPECT_DOUBLE_EQ(static_cast<double>(test.Parser.Calc("%t'02.43.35'")), EncodeTime(2, 43, 35, 0));
}

TEST(ReportParser, NamesReachTheHostInCapitalsAndBracketsAsWritten)
{
    TTestParser test;
    test.Parser.Calc("qta + [Prezzo unitario] + Tabella.\"Nome lungo\"");
    EXPECT_EQ(test.Asked, (std::vector<std::string>{"QTA", "Prezzo unitario", "TABELLA.\"NOME LUNGO\""}));
    // Without the event every name stays unassigned: 0 or "" in operations.
    TrpParser bare;
    EXPECT_TRUE(bare.Calc("[X] + 1") == Variant(1));
    EXPECT_TRUE(bare.Calc("x + 'a'") == Variant("a"));
}

TEST(ReportParser, BrokenExpressionsRaiseInsteadOfReadingOutsideTheStack)
{
    TTestParser test;
    for (const char* expression : {"2 +", "* 3", "+", "NOT", "1 + * 2", "(*)"}) {
        try {
            test.Parser.Calc(expression);
            ADD_FAILURE() << expression << " did not raise";
        } catch (const EParserError& e) {
            EXPECT_EQ(e.Message, "Espressione non valida: operando mancante") << expression;
        }
    }
    EXPECT_THROW(test.Parser.Calc("7 MOD 0"), EDivByZero);
    EXPECT_THROW(test.Parser.Calc("'abc' * 2"), EVariantError);
    EXPECT_THROW(test.Parser.Calc("1.2.3"), EConvertError);
    EXPECT_THROW(test.Parser.Calc("%d'32/13/1998'"), EConvertError);
    // An operator byte left in an operand is still an operator without operands.
    EXPECT_THROW(test.Parser.CalcOPZ("\x01"), EParserError);
    EXPECT_THROW(test.Parser.CalcOPZ("("), EParserError);
}

TEST(ReportParser, NamesThatKeepExpandingAreStoppedByTheNestingLimit)
{
    TTestParser test;
    // Every name is worked out as another expression that names a longer one.
    test.Parser.OnGetValue = [&](const std::string& name, Variant& value) { value = test.Parser.Calc("[" + name + "x]"); };
    EXPECT_THROW(test.Parser.Calc("[a]"), EParserError);
    // A function whose result calls it again.
    test.Parser.OnFunction = [](const std::string&, const Variant&, const Variant&, const Variant&, std::string& val) {
        val = "F(1) + 1";
    };
    EXPECT_THROW(test.Parser.Calc("F(1)"), EParserError);
    // The parser is usable afterwards.
    EXPECT_TRUE(test.Parser.Calc("1 + 1") == Variant(2));
}

TEST(ReportParser, FunctionsAreResolvedWhileTranslating)
{
    TTestParser test;
    std::vector<std::string> calls;
    test.Parser.OnFunction = [&](const std::string& name, const Variant& p1, const Variant& p2, const Variant& p3,
                                 std::string& val) {
        calls.push_back(name + "|" + VarToStr(p1) + "|" + VarToStr(p2) + "|" + VarToStr(p3));
        val = name == "QUOTE" ? "'it's'" : "2";
    };
    EXPECT_TRUE(test.Parser.Calc("Doppio(1, [x], 'a,b') * 3") == Variant(6));
    EXPECT_TRUE(test.Parser.Calc("quote()") == Variant("it's"));
    EXPECT_EQ(calls, (std::vector<std::string>{"DOPPIO|1| [x]| 'a,b'", "QUOTE|||"}));
    // Without the event a call leaves nothing.
    test.Parser.OnFunction = nullptr;
    EXPECT_EQ(test.Parser.Str2OPZ("F(1) + 2"), "2 \x0a");
    EXPECT_TRUE(VarIsEmpty(test.Parser.Calc("F(1)")));
}

TEST(ReportParser, TranslationsAreExact)
{
    const struct {
        const char* Expression;
        const char* Translation;
    } cases[] = {
        {"a = 1", "a 1 ="},
        {"2 * -3", "2 3 \x09*"},
        {"-2 * 3", "2 3 *\x09"},
        {"1 - -1", "1 1 \x09-"},
        {"INT 2.7 + 1", "2.7 \x06" "1 +"},
        {"[A] = 1 OR [B] = 2", "[A] 1 [B] \x04=2 ="},
        {"[A] AND NOT [B]", "[A] [B] \x0c\x05"},
        {"a >= b", "a b \x01"},
        {"ROUND(x) MOD 2", "x \x0e" "2 \x0d"},
        {"+x", "x \x0a"},
        {"IF(1, 'a', 'b')", "'a' "},
        {"COPY('abcdef', 2, 3)", "'bcd' "},
        {"%d'15/11/1998'", "%d'15/11/1998' "},
        {"(1 + 2", "1 2 +"},
        {"1 + 2; 5", "1 2 +"},
    };
    TTestParser test;
    for (const auto& c : cases)
        EXPECT_EQ(test.Parser.Str2OPZ(c.Expression), c.Translation) << c.Expression;
}

TEST(ReportParser, TokenReadersFollowQuotesAndParentheses)
{
    TrpParser parser;
    const std::string identifier = "  DataSet.\"Unit price\"*2";
    int i = 1;
    EXPECT_EQ(parser.GetIdentify(identifier, i), "DataSet.\"Unit price\"");
    EXPECT_EQ(i, 23);
    const std::string text = "x 'it''s' + 'open";
    i = 3;
    EXPECT_EQ(parser.GetString(text, i), "'it''s'");
    EXPECT_EQ(i, 10);
    i = 13;
    EXPECT_EQ(parser.GetString(text, i), "'open");
    EXPECT_EQ(i, 18);

    const std::string call = "F('a,b', (1, 2), 3, 4) + 1";
    i = 2;
    std::string p1, p2, p3;
    parser.Get3Parameters(call, i, p1, p2, p3);
    EXPECT_EQ(p1, "'a,b'");
    EXPECT_EQ(p2, " (1, 2)");
    EXPECT_EQ(p3, " 3");
    EXPECT_EQ(call.substr(static_cast<std::size_t>(i - 1)), " + 1");
    const std::string open = "(1";
    i = 1;
    parser.Get3Parameters(open, i, p1, p2, p3);
    EXPECT_EQ(p1, "1");
    EXPECT_EQ(p2, "");
    EXPECT_EQ(i, 3);
}

TEST(ReportParser, BracketedPartsNestAndIgnoreBracketsInQuotes)
{
    const struct {
        const char* Text;
        int Start;
        const char* Inner;
        int End;
    } cases[] = {
        {"[A[B]C] x", 1, "A[B]C", 7},
        {"a [b] c", 3, "b", 5},
        {"['x]' + \"y]\"] z", 1, "'x]' + \"y]\"", 13},
        {"[it's] ]", 1, "it's] ", 8}, // the single quote is never closed
        {"[abc", 1, "ab", 4},        // not closed: the end is the last position
        {"a [b]", 1, "", 1},         // the scan stops at once away from "["
        {"", 1, "", 1},
    };
    for (const auto& c : cases) {
        int start = c.Start, end = 0;
        EXPECT_EQ(GetBrackedVariable(c.Text, start, end), c.Inner) << c.Text;
        EXPECT_EQ(end, c.End) << c.Text;
        EXPECT_EQ(start, c.Start) << c.Text;
    }
}
