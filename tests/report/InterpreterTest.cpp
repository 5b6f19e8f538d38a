// The script interpreter: the compiled lines byte for byte and what running them does, the error
// lines with their line and column, the step budget, and the variables list.

#include "ReportTestSupport.h"

#include "fuzz/ScriptFuzzCase.h"


namespace InterpreterTest {

// Keeps the variables a script sets and records the functions it calls.
class TTestInterpretator : public TFuzzInterpretator {
    TESS_CLASS(TTestInterpretator, TFuzzInterpretator)
public:
    void DoFunction(const std::string& name, const Variant& p1, const Variant&, const Variant&, std::string& val) override
    {
        Functions.push_back(name + "(" + VarToStr(p1) + ")");
        val = "0";
    }

    std::vector<std::string> Functions;
};

std::vector<std::string> Lines(const TStrings& list)
{
    std::vector<std::string> lines;
    for (int i = 0; i < list.Count(); ++i)
        lines.push_back(list.Strings(i));
    return lines;
}

// Compiles a source of one or more lines; the error lines go to errors.
std::vector<std::string> Compile(TrpInterpretator& interpreter, const std::vector<std::string>& source,
                                 std::vector<std::string>* errors = nullptr)
{
    TStringList from, to, messages;
    for (const std::string& line : source)
        from.Add(line);
    interpreter.PrepareScript(&from, &to, &messages);
    if (errors)
        *errors = Lines(messages);
    else
        EXPECT_EQ(messages.Count(), 0) << source.front() << ": " << messages.Text();
    return Lines(to);
}

void RunScript(TrpInterpretator& interpreter, const std::vector<std::string>& compiled)
{
    TStringList lines;
    for (const std::string& line : compiled)
        lines.Add(line);
    interpreter.DoScript(&lines);
}

std::string Bytes(std::initializer_list<int> bytes, const std::string& text = "")
{
    std::string line;
    for (int b : bytes)
        line += static_cast<char>(b);
    return line + text;
}

} // namespace InterpreterTest

using namespace InterpreterTest;

TEST(ReportScripts, StatementsCompileToTheirLinesAndRun)
{
    const struct {
        const char* Source;
        std::vector<std::string> Compiled;
        std::vector<std::pair<std::string, Variant>> Before;
        std::vector<std::pair<std::string, Variant>> After;
    } cases[] = {
        {"begin a := 1; b := a + 1 end", {"a 1", "b a + 1"}, {}, {{"a", 1}, {"b", 2}}},
        {"if a = 1 then b := 2 else b := 3",
         {Bytes({1, 3, 0}, "a = 1"), "b 2", Bytes({2, 4, 0}), "b 3"},
         {{"a", 1}},
         {{"b", 2}}},
        {"if a = 1 then b := 2 else b := 3",
         {Bytes({1, 3, 0}, "a = 1"), "b 2", Bytes({2, 4, 0}), "b 3"},
         {{"a", 2}},
         {{"b", 3}}},
        {"IF a = 1 THEN b := 2", {Bytes({1, 2, 0}, "a = 1"), "b 2"}, {}, {{"b", Null()}}},
        {"while i < 3 do i := i + 1", {Bytes({1, 3, 0}, "i < 3"), "i i + 1", Bytes({2, 0, 0})}, {}, {{"i", 3}}},
        {"begin goto 10; a := 1; 10: b := 2 end", {Bytes({2, 2, 0}), "a 1", "b 2"}, {}, {{"a", Null()}, {"b", 2}}},
        {"begin i := 0; repeat i := i + 1 until i = 5 end",
         {"i 0", "i i + 1", Bytes({1, 1, 0}, "i = 5")},
         {},
         {{"i", 5}}},
        {"NEWPAGE;", {Bytes({3}, "NEWPAGE(0)")}, {}, {}},
        {"begin [a] + 1; x.y := 'p  q' end", {Bytes({3}, "[a] + 1"), "x.y 'p q'"}, {}, {{"x.y", "p q"}}},
        {"v[2] := 7", {Bytes({3}, "SETARRAY(v, 2, 7)")}, {}, {}},
        {"begin end", {}, {}, {}},
        {"a := 1; b := 2", {"a 1"}, {}, {{"b", Null()}}},
    };
    for (const auto& c : cases) {
        TTestInterpretator interpreter;
        const std::vector<std::string> compiled = Compile(interpreter, {c.Source});
        EXPECT_EQ(compiled, c.Compiled) << c.Source;
        for (const auto& [name, value] : c.Before)
            interpreter.Variables.SetVariable(name, value);
        RunScript(interpreter, compiled);
        for (const auto& [name, value] : c.After)
            EXPECT_TRUE(interpreter.Variables.GetVariable(name) == value) << c.Source << ": " << name;
    }
    TTestInterpretator interpreter;
    RunScript(interpreter, Compile(interpreter, {"begin NEWPAGE; NEWCOLUMN; v[2] := 7 end"}));
    EXPECT_EQ(interpreter.Functions, (std::vector<std::string>{"NEWPAGE(0)", "NEWCOLUMN(0)", "SETARRAY(v)"}));
}

TEST(ReportScripts, ExpressionsAreEvaluatedWhenTheScriptRuns)
{
    TTestInterpretator interpreter;
    const std::vector<std::string> compiled = Compile(interpreter, {"begin t := IF(n > 1, 'molti', 'uno'); u := H(n) end"});
    EXPECT_EQ(compiled, (std::vector<std::string>{"t IF(n > 1, 'molti', 'uno')", "u H(n)"}));
    EXPECT_TRUE(interpreter.Functions.empty());
    interpreter.Variables.SetVariable("n", 1);
    RunScript(interpreter, compiled);
    EXPECT_TRUE(interpreter.Variables.GetVariable("t") == Variant("uno"));
    interpreter.Variables.SetVariable("n", 5);
    RunScript(interpreter, compiled);
    EXPECT_TRUE(interpreter.Variables.GetVariable("t") == Variant("molti"));
    EXPECT_EQ(interpreter.Functions, (std::vector<std::string>{"H(n)", "H(n)"}));
}

TEST(ReportScripts, CommentsAreCutAndErrorsNameTheirLineAndColumn)
{
    const struct {
        std::vector<std::string> Source;
        std::vector<std::string> Errors;
    } cases[] = {
        {{"if a = 1 b := 2"}, {"Stroka 1/8: Zdes' trebuyetsya \"then\""}},
        {{"while i < 3 i := i + 1"}, {"Stroka 1/11: Zdes' trebuyetsya \"do\""}},
        {{"repeat i := 1 i = 5"}, {"Stroka 1/13: Zdes' trebuyetsya \";\" ili \"until\""}},
        {{"a = 1"}, {"Stroka 1/1: Zdes' trebuyetsya \":=\""}},
        {{"goto x"}, {"Stroka 1/4: Metka v goto dolzhna byt' chislom"}},
        {{"a := (1 + 2"}, {"Stroka 1/11: Zdes' trebuyetsya \")\""}},
        {{"a := [x"}, {"Stroka 1/7: Zdes' trebuyetsya \"]\""}},
        {{"a := F(1 2)"}, {"Stroka 1/8: Zdes' trebuyetsya \",\" ili \")\""}},
        {{"begin a := 1 b := 2 end"}, {"Stroka 1/12: Zdes' trebuyetsya \";\" ili \"end\""}},
        {{"begin goto 20 end"}, {"Stroka 1/10: Metka ne opredelena"}},
        {{"begin // x := 1", "\tif a = 1 { nota", "b := 2", "end"}, {"Stroka 2/9: Zdes' trebuyetsya \"then\""}},
        {{"", "begin", "  a := 1", "end"}, {}},
        {{"((("}, {"Stroka 1/3: Zdes' trebuyetsya \")\""}},
    };
    for (const auto& c : cases) {
        TTestInterpretator interpreter;
        std::vector<std::string> errors;
        Compile(interpreter, c.Source, &errors);
        EXPECT_EQ(errors, c.Errors) << c.Source.front();
    }
}

TEST(ReportScripts, WhatCompiledBeforeAnErrorStaysAndJumpsNeverLeadAstray)
{
    TTestInterpretator interpreter;
    std::vector<std::string> errors;
    // The missing "then": the condition line stays, its target leaves the script.
    EXPECT_EQ(Compile(interpreter, {"begin a := 1; if a = 1 b := 2 end"}, &errors),
              (std::vector<std::string>{"a 1", Bytes({1, 0xFF, 0xFF}, "a = 1")}));
    EXPECT_EQ(errors.size(), 1u);
    // An undefined label ends the script.
    const std::vector<std::string> compiled = Compile(interpreter, {"begin a := 1; goto 7; a := 2 end"}, &errors);
    EXPECT_EQ(compiled, (std::vector<std::string>{"a 1", Bytes({2, 3, 0}), "a 2"}));
    EXPECT_EQ(errors, (std::vector<std::string>{"Stroka 1/18: Metka ne opredelena"}));
    RunScript(interpreter, compiled);
    EXPECT_TRUE(interpreter.Variables.GetVariable("a") == Variant(1));
    // Comments and blank runs are cleaned; the first label of a name wins.
    EXPECT_EQ(Compile(interpreter, {"begin 5: a := 1 {x := 2", "; 5: a := 2; goto 5 // end", "end"}),
              (std::vector<std::string>{"a 1", "a 2", Bytes({2, 0, 0})}));
}

TEST(ReportScripts, TheSourceMayBeTheCompiledListAndDeepNestingIsAnError)
{
    TTestInterpretator interpreter;
    TStringList script;
    script.Add("begin");
    script.Add("  a := 2 * 3");
    script.Add("end");
    interpreter.PrepareScript(&script, &script, nullptr);
    EXPECT_EQ(Lines(script), (std::vector<std::string>{"a 2 * 3"}));
    interpreter.DoScript(&script);
    EXPECT_TRUE(interpreter.Variables.GetVariable("A") == Variant(6));

    std::vector<std::string> errors;
    Compile(interpreter, {std::string(5000, '(')}, &errors);
    EXPECT_EQ(errors, (std::vector<std::string>{"Stroka 1/199: Annidamento troppo profondo"}));
    std::string nested;
    for (int i = 0; i < 3000; ++i)
        nested += "begin ";
    Compile(interpreter, {nested}, &errors);
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_NE(errors[0].find("Annidamento troppo profondo"), std::string::npos);
}

TEST(ReportScripts, AnEndlessLoopStopsAtTheStepBudget)
{
    TTestInterpretator interpreter;
    const std::vector<std::string> compiled = Compile(interpreter, {"while 1 = 1 do i := i + 1"});
    try {
        RunScript(interpreter, compiled);
        FAIL() << "the loop did not stop";
    } catch (const EParserError& e) {
        EXPECT_EQ(e.Message, "Lo script supera il numero massimo di istruzioni");
    }
    // Three instructions a turn: the condition, the assignment and the jump back.
    EXPECT_TRUE(interpreter.Variables.GetVariable("i") == Variant(333333));
    // Damaged compiled lines run without reading past them.
    TTestInterpretator other;
    RunScript(other, {"x", Bytes({3}), "", Bytes({2, 9}), Bytes({1}), "y 1"});
    EXPECT_TRUE(VarIsEmpty(other.Variables.GetVariable("x")));
    EXPECT_TRUE(VarIsNull(other.Variables.GetVariable("y")));
}

TEST(ReportScripts, VariablesIgnoreCaseAndIndexesOutsideTheList)
{
    TrpVariables variables;
    variables.SetVariable("Totale", 1);
    variables.SetVariable("TOTALE", 2);
    variables.SetVariable("Citt\xE0", "Roma");
    EXPECT_EQ(variables.GetCount(), 2);
    EXPECT_TRUE(variables.GetVariable("totale") == Variant(2));
    EXPECT_EQ(variables.GetName(0), "Totale");
    EXPECT_EQ(variables.IndexOf("citt\xE0"), 1);
    EXPECT_TRUE(VarIsNull(variables.GetVariable("Sconosciuta")));
    EXPECT_EQ(variables.IndexOf("Sconosciuta"), -1);

    EXPECT_TRUE(variables.GetValue(-1) == Variant(0));
    EXPECT_TRUE(variables.GetValue(2) == Variant(0));
    EXPECT_EQ(variables.GetName(5), "");
    variables.SetValue(7, 9);
    variables.Delete(-1);
    variables.Delete(2);
    EXPECT_EQ(variables.GetCount(), 2);
    variables.SetValue(1, "Milano");
    EXPECT_TRUE(variables.GetValue(1) == Variant("Milano"));
    variables.Delete(0);
    EXPECT_EQ(variables.GetName(0), "Citt\xE0");
    variables.Clear();
    EXPECT_EQ(variables.GetCount(), 0);
}
