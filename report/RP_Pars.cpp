#include "report/RP_Pars.h"

#include "platform/rtl/Formats.h"
#include "platform/rtl/TextUtils.h"

#include <cstring>
#include <vector>

namespace RP_Pars {
namespace {

constexpr char OpGreaterEqual = 1, OpLessEqual = 2, OpNotEqual = 3, OpOr = 4, OpAnd = 5, OpInt = 6,
               OpFrac = 7, OpUnaryMinus = 9, OpUnaryPlus = 10, OpStr = 11, OpNot = 12, OpMod = 13,
               OpRound = 14;

// Expressions reach the parser again through names, IF conditions and functions; a template that
// nests deeper than this is refused before the stack runs out.
constexpr int MaxNesting = 128;
// A function whose result calls itself again would expand for ever.
constexpr int MaxReplacements = 1000;

const char* const MissingOperandText = "Espressione non valida: operando mancante";

int Nesting = 0;

class TNestingGuard {
public:
    TNestingGuard()
    {
        if (Nesting >= MaxNesting)
            RAISE(EParserError("Espressione non valida: annidamento troppo profondo"));
        ++Nesting;
    }
    ~TNestingGuard() { --Nesting; }
    TNestingGuard(const TNestingGuard&) = delete;
    TNestingGuard& operator=(const TNestingGuard&) = delete;
};

int OperatorLevel(char op)
{
    switch (op) {
    case OpInt:
    case OpFrac:
    case OpStr:
    case OpRound:
        return 0;
    case '*':
    case '/':
    case OpAnd:
    case OpOr:
    case OpNot:
    case OpMod:
        return 1;
    case '+':
    case '-':
    case OpUnaryMinus:
    case OpUnaryPlus:
        return 2;
    case '<':
    case '=':
    case '>':
    case OpGreaterEqual:
    case OpLessEqual:
    case OpNotEqual:
        return 3;
    default: // "(" while on the stack
        return 5;
    }
}

bool IsPrefixOperator(char op)
{
    return op == OpUnaryMinus || op == OpUnaryPlus || op == OpNot || op == OpInt || op == OpFrac || op == OpStr ||
           op == OpRound;
}

bool IsUnaryOperator(char op) { return IsPrefixOperator(op); }

// The operator bytes of the translated form: 1 to 14 but 8, and * + - / < = >.
bool IsOperatorByte(char c)
{
    if (c >= OpGreaterEqual && c <= OpRound)
        return c != 8;
    return c != '\0' && std::strchr("*+-/<=>", c) != nullptr;
}

bool EndsIdentifier(char c) { return c != '\0' && std::strchr(" ()*+-/<=>;", c) != nullptr; }

bool StartsNumber(char c) { return (c >= '0' && c <= '9') || c == '.' || c == ','; }

// The keyword operators, from the token in capitals; 0 for any other token.
char KeywordOperator(const std::string& upper)
{
    static const struct {
        const char* Word;
        char Op;
    } keywords[] = {{"INT", OpInt}, {"FRAC", OpFrac}, {"ROUND", OpRound}, {"OR", OpOr},
                    {"AND", OpAnd}, {"NOT", OpNot},   {"STR", OpStr},     {"MOD", OpMod}};
    for (const auto& keyword : keywords)
        if (upper == keyword.Word)
            return keyword.Op;
    return 0;
}

// The translator's operator stack; its last character is the top.
class TOperatorStack {
public:
    explicit TOperatorStack(std::string& output) : Output(output) {}

    void PushOperator(char op, bool operandBefore)
    {
        if (!operandBefore && op == '-')
            op = OpUnaryMinus;
        else if (!operandBefore && op == '+')
            op = OpUnaryPlus;
        // A prefix operator with no operand before it waits for its own operand: popping here
        // would apply the operator below it before that operand exists ("2 * -3").
        if (operandBefore || !IsPrefixOperator(op)) {
            while (!Stack.empty() && OperatorLevel(op) >= OperatorLevel(Stack.back())) {
                Output += Stack.back();
                Stack.pop_back();
            }
        }
        Stack.push_back(op);
    }

    void PushOpen() { Stack.push_back('('); }

    // Moves the operators above the nearest "(" to the output and drops it; nothing without one.
    void Close()
    {
        const std::size_t open = Stack.rfind('(');
        if (open == std::string::npos)
            return;
        while (Stack.size() > open + 1) {
            Output += Stack.back();
            Stack.pop_back();
        }
        Stack.pop_back();
    }

    // The rest, top first; a "(" never closed is dropped.
    void Flush()
    {
        while (!Stack.empty()) {
            if (Stack.back() != '(')
                Output += Stack.back();
            Stack.pop_back();
        }
    }

private:
    std::string& Output;
    std::string Stack;
};

void RequireOperands(const std::vector<Variant>& stack, std::size_t count)
{
    if (stack.size() < count)
        RAISE(EParserError(MissingOperandText));
}

Variant Truth(bool holds) { return Variant(holds ? 1 : 0); }

Variant ApplyUnary(char op, const Variant& value)
{
    switch (op) {
    case OpInt:
        return Variant(Int(static_cast<double>(value)));
    case OpFrac:
        return Variant(Frac(static_cast<double>(value)));
    case OpRound:
        return Variant(static_cast<long long>(Round(static_cast<double>(value))));
    case OpStr:
        return Variant(VarToStr(value));
    case OpNot:
        return Truth(value == Variant(0));
    case OpUnaryMinus:
        return -value;
    default: // unary plus
        return value;
    }
}

Variant ApplyBinary(char op, const Variant& left, const Variant& right)
{
    switch (op) {
    case '+':
    case OpOr:
        return left + right;
    case '-':
        return left - right;
    case '*':
    case OpAnd:
        return left * right;
    case '/':
        // Division by zero gives 0 rather than an error.
        if (right == Variant(0))
            return Variant(0);
        return left / right;
    case OpMod:
        return VarMod(left, right);
    case '<':
        return Truth(left < right);
    case '=':
        return Truth(left == right);
    case '>':
        return Truth(left > right);
    case OpGreaterEqual:
        return Truth(left >= right);
    case OpLessEqual:
        return Truth(left <= right);
    default: // not equal
        return Truth(left != right);
    }
}

void ApplyOperator(char op, std::vector<Variant>& stack)
{
    if (IsUnaryOperator(op)) {
        RequireOperands(stack, 1);
        stack.back() = ApplyUnary(op, stack.back());
        return;
    }
    RequireOperands(stack, 2);
    const Variant right = std::move(stack.back());
    stack.pop_back();
    stack.back() = ApplyBinary(op, stack.back(), right);
}

// A quoted string without its outer quotes, each doubled quote made single.
std::string Unquote(const std::string& quoted)
{
    std::string text;
    text.reserve(quoted.size());
    std::size_t i = 1;
    while (i < quoted.size()) {
        if (quoted[i] == '\'') {
            if (i + 1 < quoted.size() && quoted[i + 1] == '\'') {
                text += '\'';
                i += 2;
                continue;
            }
            break; // the closing quote
        }
        text += quoted[i++];
    }
    return text;
}

std::string QuoteText(const std::string& text) { return "'" + StringReplace(text, "'", "''", {rfReplaceAll}) + "'"; }

// A function result that is a quoted string gets its inner quotes doubled, so that it reads back
// as one string.
std::string QuoteResult(const std::string& result)
{
    if (result.size() <= 2 || result.front() != '\'')
        return result;
    return "'" + StringReplace(result.substr(1, result.size() - 2), "'", "''", {rfReplaceAll}) + result.back();
}

// An IF condition holds when its integer part is above 0; a boolean counts by its truth, since a
// true boolean is -1 as a number.
bool ConditionHolds(const Variant& condition)
{
    if (VarType(condition) == varBoolean)
        return static_cast<bool>(condition);
    return Int(static_cast<double>(condition)) > 0;
}

int SkipBlanks(const std::string& s, int i)
{
    while (i <= static_cast<int>(s.size()) && s[static_cast<std::size_t>(i - 1)] == ' ')
        ++i;
    return i;
}

} // namespace
} // namespace RP_Pars

int FindClosingBracket(const std::string& s, int start)
{
    const int length = static_cast<int>(s.size());
    int depth = 0;
    bool inDouble = false, inSingle = false;
    for (int i = start; i >= 1 && i <= length; ++i) {
        const char c = s[static_cast<std::size_t>(i - 1)];
        if (c == '"' && !inSingle)
            inDouble = !inDouble;
        else if (c == '\'' && !inDouble)
            inSingle = !inSingle;
        else if (!inDouble && !inSingle && c == '[')
            ++depth;
        else if (!inDouble && !inSingle && c == ']' && --depth == 0)
            return i;
    }
    return 0;
}

std::string GetBrackedVariable(const std::string& s, int& start, int& end)
{
    const int length = static_cast<int>(s.size());
    if (start < 1 || start > length || s[static_cast<std::size_t>(start - 1)] != '[') {
        end = start;
        return "";
    }
    const int closing = FindClosingBracket(s, start);
    end = closing > 0 ? closing : length;
    return Copy(s, start + 1, end - start - 1);
}

std::string TrpParser::GetIdentify(const std::string& s, int& i) const
{
    const int length = static_cast<int>(s.size());
    i = RP_Pars::SkipBlanks(s, i);
    if (i < 1 || i > length)
        return "";
    const int start = i;
    bool inQuotes = false;
    while (i <= length) {
        const char c = s[static_cast<std::size_t>(i - 1)];
        if (c == '"')
            inQuotes = !inQuotes;
        else if (!inQuotes && RP_Pars::EndsIdentifier(c))
            break;
        ++i;
    }
    return s.substr(static_cast<std::size_t>(start - 1), static_cast<std::size_t>(i - start));
}

std::string TrpParser::GetString(const std::string& s, int& i) const
{
    const int length = static_cast<int>(s.size());
    if (i < 1 || i > length)
        return "";
    const int start = i++;
    while (i <= length) {
        if (s[static_cast<std::size_t>(i - 1)] == '\'') {
            if (i < length && s[static_cast<std::size_t>(i)] == '\'') {
                i += 2;
                continue;
            }
            ++i;
            break;
        }
        ++i;
    }
    return s.substr(static_cast<std::size_t>(start - 1), static_cast<std::size_t>(i - start));
}

void TrpParser::Get3Parameters(const std::string& s, int& i, std::string& p1, std::string& p2,
                               std::string& p3) const
{
    const int length = static_cast<int>(s.size());
    std::string* parameters[] = {&p1, &p2, &p3};
    p1.clear();
    p2.clear();
    p3.clear();
    std::string current;
    std::size_t index = 0;
    auto store = [&] {
        if (index < 3)
            *parameters[index] = current;
        ++index;
        current.clear();
    };
    int depth = 0;
    bool inQuote = false;
    for (; i <= length; ++i) {
        const char c = s[static_cast<std::size_t>(i - 1)];
        if (!inQuote) {
            if (c == '(' && ++depth == 1)
                continue;
            if (c == ')' && --depth == 0) {
                ++i;
                store();
                return;
            }
            if (c == ',' && depth == 1) {
                store();
                continue;
            }
        }
        if (c == '\'')
            inQuote = !inQuote;
        current += c;
    }
    store();
}

Variant TrpParser::Calc(const std::string& expression) { return CalcOPZ(Str2OPZ(expression)); }

std::string TrpParser::ReplaceCall(const std::string& name, const std::string& p1, const std::string& p2,
                                   const std::string& p3)
{
    using namespace RP_Pars;
    if (name == "IF")
        return "(" + (ConditionHolds(Calc(p1)) ? p2 : p3) + ")";
    if (name == "COPY") {
        const std::string text = VarToStr(Calc(p1));
        const int start = static_cast<int>(Calc(p2));
        const int count = static_cast<int>(Calc(p3));
        return "(" + QuoteText(Copy(text, start, count)) + ")";
    }
    if (!OnFunction)
        return "()";
    std::string result;
    OnFunction(name, Variant(p1), Variant(p2), Variant(p3), result);
    return "(" + QuoteResult(result) + ")";
}

std::string TrpParser::Str2OPZ(std::string s)
{
    using namespace RP_Pars;
    TNestingGuard nesting;
    std::string output;
    output.reserve(s.size() + 8);
    TOperatorStack operators(output);
    bool operandSeen = false;
    int replacements = 0;
    int i = 1;
    while (i <= static_cast<int>(s.size())) {
        const char c = s[static_cast<std::size_t>(i - 1)];
        if (c == ' ') {
            ++i;
            continue;
        }
        if (c == ';')
            break;
        if (c == '(') {
            operators.PushOpen();
            operandSeen = false;
            ++i;
            continue;
        }
        if (c == ')') {
            operators.Close();
            ++i;
            continue;
        }
        if (c == '*' || c == '+' || c == '-' || c == '/' || c == '<' || c == '=' || c == '>') {
            char op = c;
            const char next = i < static_cast<int>(s.size()) ? s[static_cast<std::size_t>(i)] : '\0';
            if (c == '>' && next == '=')
                op = OpGreaterEqual;
            else if (c == '<' && next == '=')
                op = OpLessEqual;
            else if (c == '<' && next == '>')
                op = OpNotEqual;
            i += op == c ? 1 : 2;
            operators.PushOperator(op, operandSeen);
            operandSeen = false;
            continue;
        }

        // An operand or a keyword.
        const bool operandBefore = operandSeen;
        operandSeen = true;
        const int tokenStart = i;
        std::string token;
        if (c == '%') {
            token = s.substr(static_cast<std::size_t>(i - 1), 2);
            i += 2;
        }
        bool isName = false;
        if (i <= static_cast<int>(s.size())) {
            const char first = s[static_cast<std::size_t>(i - 1)];
            if (first == '\'') {
                token += GetString(s, i);
            } else if (first == '[') {
                int end = i;
                GetBrackedVariable(s, i, end);
                token += Copy(s, i, end - i + 1);
                i = end + 1;
            } else {
                isName = token.empty();
                token += GetIdentify(s, i);
            }
        }
        if (i <= tokenStart)
            RAISE(EParserError(MissingOperandText));
        if (StartsNumber(token[0])) {
            output += token;
            output += ' ';
            continue;
        }
        // Keywords and function names are short or followed by "(": only those are put in
        // capitals.
        const int after = SkipBlanks(s, i);
        const bool callFollows = isName && after <= static_cast<int>(s.size()) &&
                                 s[static_cast<std::size_t>(after - 1)] == '(';
        const std::string upper = token.size() <= 5 || callFollows ? AnsiUpperCase(token) : std::string();
        if (const char op = KeywordOperator(upper)) {
            operators.PushOperator(op, operandBefore);
            operandSeen = false;
            continue;
        }
        // COPY and IF may have blanks before their arguments; other functions may not.
        const bool directCall = callFollows && after == i;
        if (callFollows && (upper == "COPY" || upper == "IF" || directCall)) {
            if (++replacements > MaxReplacements)
                RAISE(EParserError("Espressione non valida: troppe sostituzioni"));
            int position = after;
            std::string p1, p2, p3;
            Get3Parameters(s, position, p1, p2, p3);
            const std::string replacement = ReplaceCall(upper, p1, p2, p3);
            s = s.substr(0, static_cast<std::size_t>(tokenStart - 1)) + replacement +
                s.substr(static_cast<std::size_t>(position - 1));
            i = tokenStart;
            continue;
        }
        output += token;
        output += ' ';
    }
    operators.Flush();
    return output;
}

Variant TrpParser::ValueOf(const std::string& name)
{
    Variant value;
    if (OnGetValue)
        OnGetValue(name, value);
    return value;
}

Variant TrpParser::CalcOPZ(const std::string& s)
{
    using namespace RP_Pars;
    TNestingGuard nesting;
    std::vector<Variant> stack;
    char conversion = 0; // 'D' or 'T' after "%d" or "%t", for the next string only
    const int length = static_cast<int>(s.size());
    int i = 1;
    while (i <= length) {
        const char c = s[static_cast<std::size_t>(i - 1)];
        if (c == ' ') {
            ++i;
        } else if (IsOperatorByte(c)) {
            ApplyOperator(c, stack);
            ++i;
        } else if (StartsNumber(c)) {
            std::string number = GetIdentify(s, i);
            const char separator = FormatSettings().DecimalSeparator;
            for (char& digit : number)
                if (digit == '.' || digit == ',')
                    digit = separator;
            stack.emplace_back(StrToFloat(number));
        } else if (c == '\'') {
            const std::string text = Unquote(GetString(s, i));
            if (conversion == 'D')
                stack.push_back(VarFromDateTime(StrToDate(text)));
            else if (conversion == 'T')
                stack.push_back(VarFromDateTime(StrToTime(text)));
            else
                stack.emplace_back(text);
            conversion = 0;
        } else if (c == '%') {
            conversion = i < length ? AnsiUpperChar(s[static_cast<std::size_t>(i)]) : '\0';
            i += 2;
        } else if (c == '[') {
            int end = i;
            const std::string name = GetBrackedVariable(s, i, end);
            stack.push_back(ValueOf(name));
            i = end + 1;
        } else {
            const int start = i;
            const std::string name = GetIdentify(s, i);
            if (i <= start)
                RAISE(EParserError(MissingOperandText));
            stack.push_back(ValueOf(AnsiUpperCase(name)));
        }
    }
    if (stack.empty())
        return Variant();
    return stack.front();
}
