#pragma once
// The expression parser of report texts, highlight and group conditions and scripts: an
// expression is translated to a reverse-Polish form and evaluated; names and function calls it
// cannot resolve itself go to its two events.
//
// The translated form: operands are followed by one blank, operators are one byte each (1 ">=",
// 2 "<=", 3 "<>", 4 OR, 5 AND, 6 INT, 7 FRAC, 9 unary minus, 10 unary plus, 11 STR, 12 NOT,
// 13 MOD, 14 ROUND, and * + - / < = > as themselves). IF, COPY and function calls are resolved
// while translating. Text positions are counted from 1.

#include "platform/rtl/System.h"
#include "platform/rtl/Variants.h"

#include <functional>
#include <string>

// Asks the value of a name the parser cannot resolve; a name left unassigned counts as 0 or "".
using TGetPValueEvent = std::function<void(const std::string& Name, Variant& Value)>;
// Computes a function call while translating: the arguments are the raw texts of the argument
// expressions, the result is expression text.
using TFunctionEvent = std::function<void(const std::string& Name, const Variant& p1, const Variant& p2,
                                          const Variant& p3, std::string& Val)>;

class TrpParser : public TObject {
    TESS_CLASS(TrpParser, TObject)
public:
    // Translates and evaluates. An operator without its operands, a token that reads nothing,
    // nesting deeper than the parser allows or an expression that keeps expanding raise
    // EParserError; conversions raise the layer's conversion errors.
    Variant Calc(const std::string& expression);
    // The translated form; the text after a ";" is ignored.
    std::string Str2OPZ(std::string expression);
    // Evaluates a translated form; an empty form gives an unassigned value.
    Variant CalcOPZ(const std::string& opz);

    // From position i, after blanks, up to the first blank, ( ) * + - / < = > or ; outside
    // double quotes; i is left on that character or past the end.
    std::string GetIdentify(const std::string& s, int& i) const;
    // The quoted string at position i, quotes included (a doubled quote does not end it; an
    // unclosed one runs to the end); i is left after it.
    std::string GetString(const std::string& s, int& i) const;
    // i on the "(" of an argument list: the first three arguments, untrimmed ("" when missing);
    // i is left after the closing parenthesis.
    void Get3Parameters(const std::string& s, int& i, std::string& p1, std::string& p2, std::string& p3) const;

    TGetPValueEvent OnGetValue;
    TFunctionEvent OnFunction;

private:
    std::string ReplaceCall(const std::string& name, const std::string& p1, const std::string& p2,
                            const std::string& p3);
    Variant ValueOf(const std::string& name);
};

// The bracketed part starting at position start: end becomes the position of the matching "]"
// (brackets inside either kind of quotes do not count; nested ones stay inside), or the last
// position when it is not closed; the result is the text strictly between start and end. When
// the character at start is not "[", end = start and the result is "".
std::string GetBrackedVariable(const std::string& s, int& start, int& end);
// The position of the "]" that closes the "[" at position start, by the same rules; 0 when the
// text ends first.
int FindClosingBracket(const std::string& s, int start);
