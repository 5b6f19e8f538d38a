#include "report/RP_Intrp.h"

#include "platform/rtl/Lists.h"
#include "platform/rtl/TextUtils.h"

#include <algorithm>
#include <utility>

namespace RP_Intrp {
namespace {

constexpr char ConditionLine = 1, JumpLine = 2, EvaluateLine = 3;
// An unresolved target: jumping there leaves the script.
constexpr unsigned char OpenTarget = 0xFF;
// Targets are 16-bit, so a script compiles to at most this many lines.
constexpr std::size_t MaxLines = 0xFFFF;
constexpr int MaxNesting = 200;

const char* const ThenExpected = "Zdes' trebuyetsya \"then\"";
const char* const DoExpected = "Zdes' trebuyetsya \"do\"";
const char* const SemicolonOrEndExpected = "Zdes' trebuyetsya \";\" ili \"end\"";
const char* const SemicolonOrUntilExpected = "Zdes' trebuyetsya \";\" ili \"until\"";
const char* const LabelNotNumber = "Metka v goto dolzhna byt' chislom";
const char* const AssignExpected = "Zdes' trebuyetsya \":=\"";
const char* const ParenthesisExpected = "Zdes' trebuyetsya \")\"";
const char* const BracketExpected = "Zdes' trebuyetsya \"]\"";
const char* const CommaOrParenthesisExpected = "Zdes' trebuyetsya \",\" ili \")\"";
const char* const LabelUndefined = "Metka ne opredelena";

// A syntax error at a position of the cleaned text (from 0).
struct TScriptError {
    int Position;
    std::string Message;
};

bool IsLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }
bool IsNameChar(char c) { return IsLetter(c) || IsDigit(c) || c == '_' || c == '.'; }

// Where the comment of a source line starts: at the first "//" or "{", whichever comes first.
std::size_t CommentStart(const std::string& line)
{
    return std::min({line.find("//"), line.find('{'), line.size()});
}

// One blank in front, the comment cut off, tabs made blanks and each run of blanks made one.
std::string CleanLine(const std::string& line)
{
    const std::size_t cut = CommentStart(line);
    std::string cleaned = " ";
    for (std::size_t i = 0; i < cut; ++i) {
        const char c = line[i] == '\t' ? ' ' : line[i];
        if (c == ' ' && cleaned.back() == ' ')
            continue;
        cleaned += c;
    }
    return cleaned;
}

std::string TargetBytes(std::size_t target)
{
    return {static_cast<char>(target & 0xFF), static_cast<char>((target >> 8) & 0xFF)};
}

// "Stroka L/C: message": the error names the last non-blank source character before its
// position, counted over the source lines without their comments.
std::string ErrorLine(const std::vector<std::string>& source, const std::string& text, const TScriptError& error)
{
    const auto before = std::count_if(text.begin(), text.begin() + error.Position, [](char c) { return c != ' '; });
    int line = 1, column = 0;
    long seen = 0;
    for (std::size_t k = 0; k < source.size() && seen < before; ++k) {
        const std::string& sourceLine = source[k];
        const std::size_t cut = CommentStart(sourceLine);
        for (std::size_t i = 0; i < cut && seen < before; ++i) {
            if (sourceLine[i] != ' ' && sourceLine[i] != '\t' && ++seen == before) {
                line = static_cast<int>(k) + 1;
                column = static_cast<int>(i) + 1;
            }
        }
    }
    return "Stroka " + IntToStr(line) + "/" + IntToStr(column) + ": " + error.Message;
}

// A word: from the next non-blank character up to the next character below 33.
struct TWord {
    int Start = 0;
    int End = 0;
    std::string Upper;

    bool StartsWith(const char* prefix) const { return Upper.rfind(prefix, 0) == 0; }
};

// Compiles one statement of a cleaned script into lines; errors are thrown as TScriptError.
class TScriptCompiler {
public:
    explicit TScriptCompiler(const std::string& text) : Text(text), Length(static_cast<int>(text.size())) {}

    void CompileStatement();
    // Gives every goto its label's line; an undefined label is an error and ends the script.
    void ResolveLabels(std::vector<TScriptError>& errors);

    std::vector<std::string> Lines;

private:
    struct TLabelJump {
        std::size_t Line;
        std::string Label;
        int Position;
    };

    class TNesting {
    public:
        explicit TNesting(TScriptCompiler& compiler) : Compiler(compiler)
        {
            if (Compiler.Depth >= MaxNesting)
                throw TScriptError{Compiler.SkipBlanks(Compiler.Cur), "Annidamento troppo profondo"};
            ++Compiler.Depth;
        }
        ~TNesting() { --Compiler.Depth; }
        TNesting(const TNesting&) = delete;
        TNesting& operator=(const TNesting&) = delete;

    private:
        TScriptCompiler& Compiler;
    };

    char At(int position) const { return position < Length ? Text[static_cast<std::size_t>(position)] : '\0'; }
    int SkipBlanks(int position) const
    {
        while (position < Length && Text[static_cast<std::size_t>(position)] == ' ')
            ++position;
        return position;
    }
    TWord PeekWord() const;
    // The letters, digits, "_" and "." from position, in capitals.
    std::string NameAt(int position, int& end) const;
    std::string Source(int from, int to) const
    {
        return Trim(Text.substr(static_cast<std::size_t>(from), static_cast<std::size_t>(to - from)));
    }

    std::size_t AddLine(std::string line);
    void SetTarget(std::size_t line, std::size_t target);
    std::string CheckedCondition();

    void CompileBegin();
    void CompileIf();
    void CompileWhile();
    void CompileRepeat();
    void CompileGoto();
    void CompileOther();
    void CompileAssignmentOrCall(int start);

    // The syntax check of an expression: it only finds where the expression ends.
    void CheckExpression();
    void CheckSimpleExpression();
    void CheckTerm();
    void CheckFactor();
    void CheckBracketed(int start);
    void CheckArguments();
    bool KeywordAt(int position, const char* keyword, int& end) const;

    const std::string& Text;
    const int Length;
    int Cur = 0;
    int Depth = 0;
    std::vector<std::pair<std::string, std::size_t>> Labels;
    std::vector<TLabelJump> Jumps;
};

TWord TScriptCompiler::PeekWord() const
{
    TWord word;
    word.Start = SkipBlanks(Cur);
    word.End = word.Start;
    while (word.End < Length && static_cast<unsigned char>(Text[static_cast<std::size_t>(word.End)]) >= 33)
        ++word.End;
    word.Upper = AnsiUpperCase(Text.substr(static_cast<std::size_t>(word.Start),
                                           static_cast<std::size_t>(word.End - word.Start)));
    return word;
}

std::string TScriptCompiler::NameAt(int position, int& end) const
{
    end = position;
    while (end < Length && IsNameChar(Text[static_cast<std::size_t>(end)]))
        ++end;
    return AnsiUpperCase(Text.substr(static_cast<std::size_t>(position), static_cast<std::size_t>(end - position)));
}

bool TScriptCompiler::KeywordAt(int position, const char* keyword, int& end) const
{
    if (!IsLetter(At(position)))
        return false;
    return NameAt(position, end) == keyword;
}

std::size_t TScriptCompiler::AddLine(std::string line)
{
    if (Lines.size() >= MaxLines)
        throw TScriptError{SkipBlanks(Cur), "Lo script \xE8 troppo lungo"};
    Lines.push_back(std::move(line));
    return Lines.size() - 1;
}

void TScriptCompiler::SetTarget(std::size_t line, std::size_t target)
{
    Lines[line].replace(1, 2, TargetBytes(target));
}

std::string TScriptCompiler::CheckedCondition()
{
    const int start = Cur;
    CheckExpression();
    return Source(start, Cur);
}

void TScriptCompiler::CompileStatement()
{
    TNesting nesting(*this);
    const TWord word = PeekWord();
    if (word.Upper == "BEGIN") {
        Cur = word.End;
        CompileBegin();
    } else if (word.Upper == "IF") {
        Cur = word.End;
        CompileIf();
    } else if (word.Upper == "WHILE") {
        Cur = word.End;
        CompileWhile();
    } else if (word.Upper == "REPEAT") {
        Cur = word.End;
        CompileRepeat();
    } else if (word.Upper == "GOTO") {
        Cur = word.End;
        CompileGoto();
    } else if (!word.StartsWith("END")) { // "end" is an empty statement and stays for the caller
        CompileOther();
    }
}

void TScriptCompiler::CompileBegin()
{
    for (;;) {
        CompileStatement();
        const TWord word = PeekWord();
        if (word.StartsWith(";")) {
            Cur = word.Start + 1;
        } else if (word.StartsWith("END")) {
            Cur = word.Start + 3;
            return;
        } else {
            throw TScriptError{word.Start, SemicolonOrEndExpected};
        }
    }
}

void TScriptCompiler::CompileIf()
{
    const std::size_t condition = AddLine(std::string(1, ConditionLine) + TargetBytes(0xFFFF) + CheckedCondition());
    const TWord then = PeekWord();
    if (then.Upper != "THEN")
        throw TScriptError{then.Start, ThenExpected};
    Cur = then.End;
    CompileStatement();
    const TWord elseWord = PeekWord();
    if (elseWord.Upper != "ELSE") {
        SetTarget(condition, Lines.size());
        return;
    }
    Cur = elseWord.End;
    const std::size_t jump = AddLine(std::string(1, JumpLine) + TargetBytes(0xFFFF));
    SetTarget(condition, Lines.size());
    CompileStatement();
    SetTarget(jump, Lines.size());
}

void TScriptCompiler::CompileWhile()
{
    const std::size_t start = Lines.size();
    const std::size_t condition = AddLine(std::string(1, ConditionLine) + TargetBytes(0xFFFF) + CheckedCondition());
    const TWord doWord = PeekWord();
    if (doWord.Upper != "DO")
        throw TScriptError{doWord.Start, DoExpected};
    Cur = doWord.End;
    CompileStatement();
    AddLine(std::string(1, JumpLine) + TargetBytes(start));
    SetTarget(condition, Lines.size());
}

void TScriptCompiler::CompileRepeat()
{
    const std::size_t start = Lines.size();
    for (;;) {
        CompileStatement();
        const TWord word = PeekWord();
        if (!word.StartsWith(";"))
            break;
        Cur = word.Start + 1;
    }
    const TWord until = PeekWord();
    if (until.Upper != "UNTIL")
        throw TScriptError{until.Start, SemicolonOrUntilExpected};
    Cur = until.End;
    AddLine(std::string(1, ConditionLine) + TargetBytes(start) + CheckedCondition());
}

void TScriptCompiler::CompileGoto()
{
    const int start = SkipBlanks(Cur);
    int end = start;
    while (IsDigit(At(end)))
        ++end;
    if (end == start)
        throw TScriptError{start, LabelNotNumber};
    const std::string digits = Text.substr(static_cast<std::size_t>(start), static_cast<std::size_t>(end - start));
    Jumps.push_back({AddLine(std::string(1, JumpLine) + digits), digits + ":", start});
    Cur = end;
}

void TScriptCompiler::CompileOther()
{
    const int start = SkipBlanks(Cur);
    int end = start;
    while (IsDigit(At(end)))
        ++end;
    if (end > start && At(end) == ':') {
        const std::string label = Text.substr(static_cast<std::size_t>(start), static_cast<std::size_t>(end - start + 1));
        const bool known = std::any_of(Labels.begin(), Labels.end(), [&](const auto& entry) { return entry.first == label; });
        if (!known)
            Labels.emplace_back(label, Lines.size());
        Cur = end + 1;
        CompileStatement();
        return;
    }
    if (IsLetter(At(start))) {
        CompileAssignmentOrCall(start);
        return;
    }
    Cur = start;
    const std::string expression = CheckedCondition();
    if (!expression.empty())
        AddLine(std::string(1, EvaluateLine) + expression);
}

void TScriptCompiler::CompileAssignmentOrCall(int start)
{
    int nameEnd = start;
    NameAt(start, nameEnd);
    const std::string name = Text.substr(static_cast<std::size_t>(start), static_cast<std::size_t>(nameEnd - start));
    Cur = nameEnd;
    std::string index;
    const bool indexed = At(nameEnd) == '[';
    if (indexed) {
        Cur = nameEnd + 1;
        index = CheckedCondition();
        const int close = SkipBlanks(Cur);
        if (At(close) != ']')
            throw TScriptError{close, BracketExpected};
        Cur = close + 1;
    }
    const std::string variable = Text.substr(static_cast<std::size_t>(start), static_cast<std::size_t>(Cur - start));
    const TWord word = PeekWord();
    if (word.Start >= Length || word.StartsWith(";")) {
        AddLine(std::string(1, EvaluateLine) + variable + "(0)");
        return;
    }
    if (!word.StartsWith(":="))
        throw TScriptError{word.Start, AssignExpected};
    Cur = word.Start + 2;
    const std::string expression = CheckedCondition();
    if (indexed)
        AddLine(std::string(1, EvaluateLine) + "SETARRAY(" + name + ", " + index + ", " + expression + ")");
    else
        AddLine(name + " " + expression);
}

void TScriptCompiler::CheckExpression()
{
    TNesting nesting(*this);
    CheckSimpleExpression();
    const int position = SkipBlanks(Cur);
    const char c = At(position);
    if (c != '<' && c != '>' && c != '=')
        return;
    const char next = At(position + 1);
    const bool twoChars = (c == '<' && (next == '=' || next == '>')) || (c == '>' && next == '=');
    Cur = position + (twoChars ? 2 : 1);
    CheckSimpleExpression();
}

void TScriptCompiler::CheckSimpleExpression()
{
    CheckTerm();
    for (;;) {
        const int position = SkipBlanks(Cur);
        int end = position;
        if (At(position) == '+' || At(position) == '-')
            end = position + 1;
        else if (!KeywordAt(position, "OR", end))
            return;
        Cur = end;
        CheckTerm();
    }
}

void TScriptCompiler::CheckTerm()
{
    CheckFactor();
    for (;;) {
        const int position = SkipBlanks(Cur);
        int end = position;
        if (At(position) == '*' || At(position) == '/')
            end = position + 1;
        else if (!KeywordAt(position, "AND", end) && !KeywordAt(position, "MOD", end))
            return;
        Cur = end;
        CheckFactor();
    }
}

void TScriptCompiler::CheckFactor()
{
    const int position = SkipBlanks(Cur);
    const char c = At(position);
    int end = position;
    if (position >= Length)
        return;
    if (c == '(') {
        Cur = position + 1;
        CheckExpression();
        const int close = SkipBlanks(Cur);
        if (At(close) != ')')
            throw TScriptError{close, ParenthesisExpected};
        Cur = close + 1;
    } else if (c == '[') {
        CheckBracketed(position);
    } else if (c == '+' || c == '-') {
        Cur = position + 1;
        CheckExpression();
    } else if (KeywordAt(position, "NOT", end)) {
        Cur = end;
        CheckExpression();
    } else if (c == '\'') {
        const std::size_t close = Text.find('\'', static_cast<std::size_t>(position) + 1);
        Cur = close == std::string::npos ? Length : static_cast<int>(close) + 1;
    } else if (IsDigit(c)) {
        while (IsDigit(At(end)))
            ++end;
        if (At(end) == '.')
            for (++end; IsDigit(At(end)); ++end) {
            }
        Cur = end;
    } else if (IsLetter(c)) {
        NameAt(position, end);
        Cur = end;
        const int open = SkipBlanks(end);
        if (At(open) == '(') {
            Cur = open + 1;
            CheckArguments();
        }
    }
}

// A bracketed part: brackets nest, and those inside quotes do not count.
void TScriptCompiler::CheckBracketed(int start)
{
    const int closing = FindClosingBracket(Text, start + 1);
    if (closing == 0)
        throw TScriptError{Length, BracketExpected};
    Cur = closing;
}

void TScriptCompiler::CheckArguments()
{
    for (;;) {
        CheckExpression();
        const int position = SkipBlanks(Cur);
        if (At(position) == ',') {
            Cur = position + 1;
        } else if (At(position) == ')') {
            Cur = position + 1;
            return;
        } else {
            throw TScriptError{position, CommaOrParenthesisExpected};
        }
    }
}

void TScriptCompiler::ResolveLabels(std::vector<TScriptError>& errors)
{
    for (const TLabelJump& jump : Jumps) {
        const auto label = std::find_if(Labels.begin(), Labels.end(), [&](const auto& entry) { return entry.first == jump.Label; });
        if (label == Labels.end())
            errors.push_back({jump.Position, LabelUndefined});
        Lines[jump.Line] = std::string(1, JumpLine) + TargetBytes(label == Labels.end() ? Lines.size() : label->second);
    }
}

std::size_t JumpTarget(const std::string& line, std::size_t end)
{
    if (line.size() < 3)
        return end;
    return static_cast<unsigned char>(line[1]) | static_cast<std::size_t>(static_cast<unsigned char>(line[2])) << 8;
}

} // namespace
} // namespace RP_Intrp

// --- TrpVariables

int TrpVariables::IndexOf(const std::string& name) const
{
    for (std::size_t i = 0; i < FItems.size(); ++i)
        if (FItems[i].Name == name || AnsiSameText(FItems[i].Name, name))
            return static_cast<int>(i);
    return -1;
}

void TrpVariables::SetVariable(const std::string& name, const Variant& value)
{
    const int index = IndexOf(name);
    if (index < 0)
        FItems.push_back({name, value});
    else
        FItems[static_cast<std::size_t>(index)].Value = value;
}

Variant TrpVariables::GetVariable(const std::string& name) const
{
    const int index = IndexOf(name);
    return index < 0 ? Null() : FItems[static_cast<std::size_t>(index)].Value;
}

Variant TrpVariables::GetValue(int index) const
{
    return InRange(index) ? FItems[static_cast<std::size_t>(index)].Value : Variant(0);
}

void TrpVariables::SetValue(int index, const Variant& value)
{
    if (InRange(index))
        FItems[static_cast<std::size_t>(index)].Value = value;
}

std::string TrpVariables::GetName(int index) const
{
    return InRange(index) ? FItems[static_cast<std::size_t>(index)].Name : std::string();
}

void TrpVariables::Delete(int index)
{
    if (InRange(index))
        FItems.erase(FItems.begin() + index);
}

// --- TrpInterpretator

TrpInterpretator::TrpInterpretator() : Parser(std::make_unique<TrpParser>())
{
    Parser->OnGetValue = [this](const std::string& name, Variant& value) { GetValue(name, value); };
    Parser->OnFunction = [this](const std::string& name, const Variant& p1, const Variant& p2, const Variant& p3,
                                std::string& val) { DoFunction(name, p1, p2, p3, val); };
}

TrpInterpretator::~TrpInterpretator() = default;

void TrpInterpretator::GetValue(const std::string&, Variant&) {}

void TrpInterpretator::SetValue(const std::string&, const Variant&) {}

void TrpInterpretator::DoFunction(const std::string&, const Variant&, const Variant&, const Variant&, std::string&) {}

void TrpInterpretator::PrepareScript(TStrings* memoFrom, TStrings* memoTo, TStrings* memoErr)
{
    using namespace RP_Intrp;
    std::vector<std::string> source;
    std::string text;
    for (int i = 0; memoFrom && i < memoFrom->Count(); ++i) {
        source.push_back(memoFrom->Strings(i));
        text += CleanLine(source.back());
    }
    if (memoTo)
        memoTo->Clear();
    if (memoErr)
        memoErr->Clear();

    TScriptCompiler compiler(text);
    std::vector<TScriptError> errors;
    if (!text.empty()) {
        try {
            compiler.CompileStatement();
        } catch (const TScriptError& error) {
            errors.push_back(error);
        }
    }
    compiler.ResolveLabels(errors);
    for (std::size_t i = 0; memoTo && i < compiler.Lines.size(); ++i)
        memoTo->Add(compiler.Lines[i]);
    for (std::size_t i = 0; memoErr && i < errors.size(); ++i)
        memoErr->Add(ErrorLine(source, text, errors[i]));
}

void TrpInterpretator::DoScript(TStrings* memo)
{
    using namespace RP_Intrp;
    if (!memo)
        return;
    std::size_t i = 0;
    int steps = 0;
    while (i < static_cast<std::size_t>(memo->Count())) {
        if (++steps > MaxInstructions)
            RAISE(EParserError("Lo script supera il numero massimo di istruzioni"));
        const std::string line = memo->Strings(static_cast<int>(i));
        const std::size_t end = static_cast<std::size_t>(memo->Count());
        switch (line.empty() ? EvaluateLine : line[0]) {
        case ConditionLine:
            i = Parser->Calc(line.size() > 3 ? line.substr(3) : std::string()) == Variant(0) ? JumpTarget(line, end) : i + 1;
            break;
        case JumpLine:
            i = JumpTarget(line, end);
            break;
        case EvaluateLine:
            Parser->Calc(line.empty() ? line : line.substr(1));
            ++i;
            break;
        default: {
            const std::size_t blank = line.find(' ');
            SetValue(line.substr(0, blank), Parser->Calc(blank == std::string::npos ? std::string() : line.substr(blank + 1)));
            ++i;
        }
        }
    }
}
