#include "widgets/HlRegExp.h"

#include "platform/rtl/Exceptions.h"
#include "platform/rtl/Formats.h"
#include "platform/rtl/TextUtils.h"

#include <cstring>
#include <memory>
#include <string_view>

namespace HlRegExp {

namespace {

TRegExprCharSet MakeSpaceSet()
{
    TRegExprCharSet set;
    for (int c : {9, 10, 12, 13, 32})
        set.set(c);
    return set;
}

} // namespace

const TRegExprCharSet RegExprSpaceCharSet = MakeSpaceSet();

} // namespace HlRegExp

namespace {

// Opcodes of the program.
enum : std::uint8_t {
    RxEnd = 0,
    RxBol = 1,
    RxEol = 2,
    RxAny = 3,
    RxAnyOf = 4,
    RxAnyBut = 5,
    RxBranch = 6,
    RxBack = 7,
    RxExactly = 8,
    RxNothing = 9,
    RxStar = 10,
    RxPlus = 11,
    RxAnyDigit = 12,
    RxNotDigit = 13,
    RxAnyLetter = 14,
    RxNotLetter = 15,
    RxAnySpace = 16,
    RxNotSpace = 17,
    RxOpen = 20,  // + group number 1 to 9
    RxClose = 30, // + group number 1 to 9
};

// Parse flags.
constexpr int RxHasWidth = 1;    // cannot match the empty string
constexpr int RxSimple = 2;      // matches exactly one character
constexpr int RxRepeatStart = 4; // begins with a "*" or "?" repetition

constexpr std::size_t RxMaxProgram = 65536;

// The nesting of the matcher is bounded so that a pattern with a complex repetition over a long
// line raises instead of running out of stack: a level takes about 430 bytes in the unoptimised
// build with the address sanitizer, so 6,000 levels stay within 2.6 MB of the 8 MB stack.
constexpr int RxMaxDepth = 6000;

const char* const RxDigits = "0123456789";
const char* const RxLetters = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ_";

bool RxIsSpecial(char c)
{
    return c != 0 && std::strchr("^$.[()|?+*\\", c) != nullptr;
}

bool RxIsRepeat(char c)
{
    return c == '*' || c == '+' || c == '?';
}

bool RxIsDigit(std::uint8_t c)
{
    return c >= '0' && c <= '9';
}

bool RxIsLetter(std::uint8_t c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_';
}

// The byte a control escape stands for, or 0 when the letter is not one.
std::uint8_t RxControlEscape(char letter)
{
    switch (letter) {
    case 't': return 9;
    case 'n': return 10;
    case 'r': return 13;
    case 'f': return 12;
    case 'a': return 7;
    case 'e': return 27;
    case 'b': return 8;
    default: return 0;
    }
}

[[noreturn]] void RxSyntaxError(const std::string& message)
{
    RAISE(Exception(message));
}

} // namespace

// --- Expression and options ---------------------------------------------------------------------

void TRegExpHlMemo::SetExpression(const std::string& text)
{
    // The expression is a text of the program, so it ends at a zero byte.
    const std::string expression = text.substr(0, text.find('\0'));
    if (expression == FExpression)
        return;
    FExpression = expression;
    if (expression.empty()) {
        Program.clear();
        return;
    }
    CompileRegExpr(expression);
}

void TRegExpHlMemo::SetExtSyntax(bool value)
{
    if (value == FExtSyntax)
        return;
    FExtSyntax = value;
    if (!Program.empty() && !FExpression.empty())
        CompileRegExpr(FExpression);
}

std::string TRegExpHlMemo::MustHave() const
{
    if (FMustHave == 0)
        return {};
    return std::string(reinterpret_cast<const char*>(Program.data()) + FMustHave,
                       static_cast<std::size_t>(FMustHaveLen));
}

void TRegExpHlMemo::Error(const std::string& message)
{
    RAISE(Exception(message));
}

// --- Compiler -------------------------------------------------------------------------------------

bool TRegExpHlMemo::CompileRegExpr(const std::string& expression)
{
    Program.clear();
    FFirstChar = 0;
    FAnchored = false;
    FMustHave = 0;
    FMustHaveLen = 0;
    FHasStartBytes = false;

    // Sizing pass: nothing is written, only counted.
    FParseText = expression;
    FParsePos = 0;
    FNextGroup = 1;
    FSizing = true;
    FProgramSize = 0;
    int flags = 0;
    EmitC(ProgramMagic);
    if (ParseReg(false, flags) == 0)
        return false;
    if (FProgramSize >= RxMaxProgram)
        RxSyntaxError("regexp too big");

    // Emitting pass over an exactly sized program.
    std::vector<std::uint8_t> emitted;
    emitted.reserve(FProgramSize);
    Program.swap(emitted);
    FParsePos = 0;
    FNextGroup = 1;
    FSizing = false;
    try {
        EmitC(ProgramMagic);
        if (ParseReg(false, flags) == 0) {
            Program.clear();
            return false;
        }
    } catch (...) {
        Program.clear();
        throw;
    }
    Analyse(flags);
    return true;
}

void TRegExpHlMemo::Analyse(int topFlags)
{
    // Not part of the program's own hints: the search uses it only to skip positions where no
    // match can begin, which keeps the link search fast on lines without links.
    FStartBytes.reset();
    FHasStartBytes = !CollectStartBytes(1, FStartBytes, 0);

    const int first = 1;
    if (Program[static_cast<std::size_t>(RegNext(first))] != RxEnd)
        return; // more than one top-level alternative
    const int start = first + 3;
    if (Program[static_cast<std::size_t>(start)] == RxExactly)
        FFirstChar = Program[static_cast<std::size_t>(start + 3)];
    else if (Program[static_cast<std::size_t>(start)] == RxBol)
        FAnchored = true;
    if ((topFlags & RxRepeatStart) == 0)
        return;
    // A match starting with a repetition is found faster by a literal it must contain: the
    // longest on the main chain, the later one on a tie.
    int longest = 0;
    int longestLength = 0;
    for (int node = start; node != 0; node = RegNext(node)) {
        if (Program[static_cast<std::size_t>(node)] != RxExactly)
            continue;
        const char* operand = reinterpret_cast<const char*>(Program.data()) + node + 3;
        const int length = static_cast<int>(std::strlen(operand));
        if (length >= longestLength) {
            longest = node + 3;
            longestLength = length;
        }
    }
    FMustHave = longest;
    FMustHaveLen = longest != 0 ? longestLength : 0;
}

// Adds the bytes a match of the chain from node can begin with. True when the chain may match
// without taking a byte, or when it cannot tell (a loop back, a deep nesting): then any position
// must be tried.
bool TRegExpHlMemo::CollectStartBytes(int node, TRegExprCharSet& bytes, int depth) const
{
    if (depth > 64)
        return true;
    for (int scan = node; scan != 0;) {
        const std::uint8_t opcode = Program[static_cast<std::size_t>(scan)];
        const int next = RegNext(scan);
        const char* operand = reinterpret_cast<const char*>(Program.data()) + scan + 3;
        switch (opcode) {
        case RxEnd:
        case RxBack:
            return true;
        case RxExactly:
            bytes.set(static_cast<std::uint8_t>(operand[0]));
            return false;
        case RxAnyOf:
            for (const char* c = operand; *c != '\0'; ++c)
                bytes.set(static_cast<std::uint8_t>(*c));
            return false;
        case RxStar:
        case RxPlus: {
            TRegExprCharSet repeated;
            if (CollectStartBytes(scan + 3, repeated, depth + 1))
                return true;
            bytes |= repeated;
            if (opcode == RxPlus)
                return false;
            scan = next;
            continue;
        }
        case RxBranch:
            if (next == 0 || Program[static_cast<std::size_t>(next)] != RxBranch) {
                scan += 3;
                continue;
            }
            for (int alternative = scan; alternative != 0 && Program[static_cast<std::size_t>(alternative)] == RxBranch;
                 alternative = RegNext(alternative)) {
                if (CollectStartBytes(alternative + 3, bytes, depth + 1))
                    return true;
            }
            return false;
        default:
            break;
        }
        if (opcode == RxAny || opcode == RxAnyBut || (opcode >= RxAnyDigit && opcode <= RxNotSpace)) {
            for (int c = 1; c < 256; ++c) {
                const bool member = opcode == RxAny ||
                                    (opcode == RxAnyBut ? std::strchr(operand, c) == nullptr
                                                        : MatchesClass(opcode, static_cast<std::uint8_t>(c)));
                if (member)
                    bytes.set(static_cast<std::size_t>(c));
            }
            return false;
        }
        scan = next; // begin and end of the line, nothing and group boundaries take no byte
    }
    return true;
}

char TRegExpHlMemo::ExpressionAt(std::size_t position) const
{
    return position < FParseText.size() ? FParseText[position] : '\0';
}

int TRegExpHlMemo::EmitNode(std::uint8_t opcode)
{
    if (Sizing()) {
        FProgramSize += 3;
        return 1; // any node will do while sizing: nothing is linked
    }
    const int node = static_cast<int>(Program.size());
    Program.push_back(opcode);
    Program.push_back(0);
    Program.push_back(0);
    return node;
}

void TRegExpHlMemo::EmitC(std::uint8_t byte)
{
    if (Sizing())
        ++FProgramSize;
    else
        Program.push_back(byte);
}

void TRegExpHlMemo::InsertOperator(std::uint8_t opcode, int operand)
{
    if (Sizing()) {
        FProgramSize += 3;
        return;
    }
    const std::uint8_t header[3] = {opcode, 0, 0};
    Program.insert(Program.begin() + operand, header, header + 3);
}

int TRegExpHlMemo::RegNext(int node) const
{
    if (Sizing() || node == 0)
        return 0;
    const std::size_t at = static_cast<std::size_t>(node);
    const int offset = Program[at + 1] * 256 + Program[at + 2];
    if (offset == 0)
        return 0;
    return Program[at] == RxBack ? node - offset : node + offset;
}

void TRegExpHlMemo::Tail(int node, int target)
{
    if (Sizing() || node == 0)
        return;
    int last = node;
    for (int next = RegNext(last); next != 0; next = RegNext(next))
        last = next;
    const std::size_t at = static_cast<std::size_t>(last);
    const int offset = Program[at] == RxBack ? last - target : target - last;
    Program[at + 1] = static_cast<std::uint8_t>((offset >> 8) & 0xFF);
    Program[at + 2] = static_cast<std::uint8_t>(offset & 0xFF);
}

void TRegExpHlMemo::OpTail(int node, int target)
{
    if (Sizing() || node == 0 || Program[static_cast<std::size_t>(node)] != RxBranch)
        return;
    Tail(node + 3, target);
}

int TRegExpHlMemo::ParseReg(bool inGroup, int& flags)
{
    flags = RxHasWidth;
    int result = 0;
    int group = 0;
    if (inGroup) {
        if (FNextGroup >= GroupCount)
            RxSyntaxError("too many ()");
        group = FNextGroup++;
        result = EmitNode(static_cast<std::uint8_t>(RxOpen + group));
    }

    int branchFlags = 0;
    int branch = ParseBranch(branchFlags);
    if (branch == 0)
        return 0;
    if (inGroup)
        Tail(result, branch);
    else
        result = branch;
    auto combine = [&] {
        if ((branchFlags & RxHasWidth) == 0)
            flags &= ~RxHasWidth;
        flags |= branchFlags & RxRepeatStart;
    };
    combine();
    while (ExpressionAt(FParsePos) == '|') {
        ++FParsePos;
        branch = ParseBranch(branchFlags);
        if (branch == 0)
            return 0;
        Tail(result, branch);
        combine();
    }

    // The end of every alternative leads to the closing node.
    const int ender = EmitNode(static_cast<std::uint8_t>(inGroup ? RxClose + group : RxEnd));
    Tail(result, ender);
    for (int node = result; node != 0; node = RegNext(node))
        OpTail(node, ender);

    if (inGroup) {
        if (ExpressionAt(FParsePos) != ')')
            RxSyntaxError("unmatched ()");
        ++FParsePos;
    } else if (ExpressionAt(FParsePos) == ')') {
        RxSyntaxError("unmatched ()");
    }
    return result;
}

int TRegExpHlMemo::ParseBranch(int& flags)
{
    flags = 0;
    const int result = EmitNode(RxBranch);
    int chain = 0;
    for (char c = ExpressionAt(FParsePos); c != '\0' && c != '|' && c != ')'; c = ExpressionAt(FParsePos)) {
        int pieceFlags = 0;
        const int latest = ParsePiece(pieceFlags);
        if (latest == 0)
            return 0;
        flags |= pieceFlags & RxHasWidth;
        if (chain == 0)
            flags |= pieceFlags & RxRepeatStart;
        else
            Tail(chain, latest);
        chain = latest;
    }
    if (chain == 0)
        EmitNode(RxNothing);
    return result;
}

int TRegExpHlMemo::ParsePiece(int& flags)
{
    int atomFlags = 0;
    const int atom = ParseAtom(atomFlags);
    if (atom == 0)
        return 0;
    const char op = ExpressionAt(FParsePos);
    if (!RxIsRepeat(op)) {
        flags = atomFlags;
        return atom;
    }
    if ((atomFlags & RxHasWidth) == 0 && op != '?')
        RxSyntaxError("*+ operand could be empty");
    flags = op == '+' ? RxHasWidth : RxRepeatStart;

    const bool simple = (atomFlags & RxSimple) != 0;
    if (op == '*' && simple) {
        InsertOperator(RxStar, atom);
    } else if (op == '*') {
        // Either the atom followed by a jump back to this choice, or nothing.
        InsertOperator(RxBranch, atom);
        OpTail(atom, EmitNode(RxBack));
        OpTail(atom, atom);
        Tail(atom, EmitNode(RxBranch));
        Tail(atom, EmitNode(RxNothing));
    } else if (op == '+' && simple) {
        InsertOperator(RxPlus, atom);
    } else if (op == '+') {
        // The atom, then a choice between looping back to it and going on.
        const int next = EmitNode(RxBranch);
        Tail(atom, next);
        Tail(EmitNode(RxBack), atom);
        Tail(next, EmitNode(RxBranch));
        Tail(atom, EmitNode(RxNothing));
    } else {
        InsertOperator(RxBranch, atom);
        Tail(atom, EmitNode(RxBranch));
        const int nothing = EmitNode(RxNothing);
        Tail(atom, nothing);
        OpTail(atom, nothing);
    }
    ++FParsePos;
    if (RxIsRepeat(ExpressionAt(FParsePos)))
        RxSyntaxError("nested *?+");
    return atom;
}

int TRegExpHlMemo::ParseAtom(int& flags)
{
    flags = 0;
    const char c = ExpressionAt(FParsePos++);
    switch (c) {
    case '^':
        return EmitNode(RxBol);
    case '$':
        return EmitNode(RxEol);
    case '.':
        flags |= RxHasWidth | RxSimple;
        return EmitNode(RxAny);
    case '[':
        flags |= RxHasWidth | RxSimple;
        return ParseClass();
    case '(': {
        int groupFlags = 0;
        const int group = ParseReg(true, groupFlags);
        if (group == 0)
            return 0;
        flags |= groupFlags & (RxHasWidth | RxRepeatStart);
        return group;
    }
    case '*':
    case '+':
    case '?':
        RxSyntaxError("?+* follows nothing");
    case '\\':
        return ParseEscape(flags);
    default:
        --FParsePos;
        return ParseLiteralRun(flags);
    }
}

int TRegExpHlMemo::ParseLiteralRun(int& flags)
{
    std::size_t length = 0;
    while (FParsePos + length < FParseText.size() && !RxIsSpecial(FParseText[FParsePos + length]))
        ++length;
    // A repetition after a run applies to its last character alone.
    if (length > 1 && RxIsRepeat(ExpressionAt(FParsePos + length)))
        --length;
    flags |= RxHasWidth;
    if (length == 1)
        flags |= RxSimple;
    const int node = EmitNode(RxExactly);
    for (std::size_t i = 0; i < length; ++i)
        EmitC(static_cast<std::uint8_t>(FParseText[FParsePos + i]));
    EmitC(0);
    FParsePos += length;
    return node;
}

std::uint8_t TRegExpHlMemo::ParseHexByte()
{
    int value = 0;
    for (int digit = 0; digit < 2; ++digit) {
        const char c = ExpressionAt(FParsePos);
        if (c == '\0')
            RxSyntaxError("No hex code after \\x");
        const int v = HexDigitValue(c);
        if (v < 0)
            RxSyntaxError(std::string("Bad hex digit \"") + c + "\"");
        value = value * 16 + v;
        ++FParsePos;
    }
    return static_cast<std::uint8_t>(value);
}

int TRegExpHlMemo::ParseEscape(int& flags)
{
    const char letter = ExpressionAt(FParsePos);
    if (letter == '\0')
        RxSyntaxError("Trailing \\");
    ++FParsePos;
    flags |= RxHasWidth | RxSimple;
    switch (letter) {
    case 'd': return EmitNode(RxAnyDigit);
    case 'D': return EmitNode(RxNotDigit);
    case 's': return EmitNode(RxAnySpace);
    case 'S': return EmitNode(RxNotSpace);
    case 'w': return EmitNode(RxAnyLetter);
    case 'W': return EmitNode(RxNotLetter);
    default: break;
    }
    std::uint8_t byte = static_cast<std::uint8_t>(letter);
    if (letter == 'x')
        byte = ParseHexByte();
    else if (RxControlEscape(letter) != 0)
        byte = RxControlEscape(letter);
    const int node = EmitNode(RxExactly);
    EmitC(byte);
    EmitC(0);
    return node;
}

// The byte an escape inside brackets stands for, the escape letter already consumed; "\d" and
// "\w" stand for their letter here (their sets are added by the caller).
std::uint8_t TRegExpHlMemo::ClassEscapeByte(std::uint8_t letter)
{
    if (letter == 'x')
        return ParseHexByte();
    if (RxControlEscape(static_cast<char>(letter)) != 0)
        return RxControlEscape(static_cast<char>(letter));
    return letter;
}

void TRegExpHlMemo::EmitClassRange(int start, int end, bool startEmitted)
{
    static const std::uint8_t lowerCyrillicBreak = 184; // the letter yo, outside 224..255
    static const std::uint8_t upperCyrillicBreak = 168;
    auto emitCyrillic = [this](int first, int yo) {
        for (int c = first; c <= first + 5; ++c)
            EmitC(static_cast<std::uint8_t>(c));
        EmitC(static_cast<std::uint8_t>(yo));
        for (int c = first + 6; c <= first + 31; ++c)
            EmitC(static_cast<std::uint8_t>(c));
    };
    if (FExtSyntax && start == 224 && end == 255) {
        emitCyrillic(224, lowerCyrillicBreak);
        return;
    }
    if (FExtSyntax && start == 192 && end == 223) {
        emitCyrillic(192, upperCyrillicBreak);
        return;
    }
    if (FExtSyntax && start == 224 && end == 223) {
        emitCyrillic(224, lowerCyrillicBreak);
        emitCyrillic(192, upperCyrillicBreak);
        return;
    }
    if (start > end)
        RxSyntaxError("Invalid [] range");
    for (int c = startEmitted ? start + 1 : start; c <= end; ++c)
        EmitC(static_cast<std::uint8_t>(c));
}

int TRegExpHlMemo::ParseClass()
{
    int node = 0;
    if (ExpressionAt(FParsePos) == '^') {
        node = EmitNode(RxAnyBut);
        ++FParsePos;
    } else {
        node = EmitNode(RxAnyOf);
    }

    // The last member read: its byte, and whether that byte itself was added (after "\d" and
    // "\w" only their sets were, and a range starting there takes the letter too).
    int last = -1;
    bool lastEmitted = false;
    const char first = ExpressionAt(FParsePos);
    if (first == ']' || first == '-') {
        EmitC(static_cast<std::uint8_t>(first));
        last = static_cast<std::uint8_t>(first);
        lastEmitted = true;
        ++FParsePos;
    }
    for (char c = ExpressionAt(FParsePos); c != '\0' && c != ']'; c = ExpressionAt(FParsePos)) {
        ++FParsePos;
        if (c == '-' && last >= 0 && ExpressionAt(FParsePos) != ']' && ExpressionAt(FParsePos) != '\0') {
            int end = static_cast<std::uint8_t>(ExpressionAt(FParsePos++));
            if (end == '\\') {
                const char letter = ExpressionAt(FParsePos);
                if (letter == '\0')
                    RxSyntaxError("Trailing \\");
                ++FParsePos;
                end = ClassEscapeByte(static_cast<std::uint8_t>(letter));
            }
            EmitClassRange(last, end, lastEmitted);
            last = end;
            lastEmitted = true;
            continue;
        }
        if (c != '\\') {
            EmitC(static_cast<std::uint8_t>(c));
            last = static_cast<std::uint8_t>(c);
            lastEmitted = true;
            continue;
        }
        const char letter = ExpressionAt(FParsePos);
        if (letter == '\0')
            RxSyntaxError("Trailing \\");
        ++FParsePos;
        const char* set = letter == 'd' ? RxDigits : (letter == 'w' ? RxLetters : nullptr);
        if (set != nullptr) {
            for (const char* member = set; *member != '\0'; ++member)
                EmitC(static_cast<std::uint8_t>(*member));
            last = static_cast<std::uint8_t>(letter);
            lastEmitted = false;
            continue;
        }
        last = ClassEscapeByte(static_cast<std::uint8_t>(letter));
        lastEmitted = true;
        EmitC(static_cast<std::uint8_t>(last));
    }
    if (ExpressionAt(FParsePos) != ']')
        RxSyntaxError("Unmatched []");
    ++FParsePos;
    EmitC(0);
    return node;
}

// --- Listing --------------------------------------------------------------------------------------

std::string TRegExpHlMemo::DumpOp(std::uint8_t opcode)
{
    static const char* const names[] = {"END",     "BOL",      "EOL",       "ANY",       "ANYOF",
                                        "ANYBUT",  "BRANCH",   "BACK",      "EXACTLY",   "NOTHING",
                                        "STAR",    "PLUS",     "ANYDIGIT",  "NOTDIGIT",  "ANYLETTER",
                                        "NOTLETTER", "ANYSPACE", "NOTSPACE"};
    if (opcode <= RxNotSpace)
        return std::string(":") + names[opcode];
    if (opcode > RxOpen && opcode < RxOpen + GroupCount)
        return ":" + Format("OPEN%d", {opcode - RxOpen});
    if (opcode > RxClose && opcode < RxClose + GroupCount)
        return ":" + Format("CLOSE%d", {opcode - RxClose});
    Error("corrupted opcode");
    return ":";
}

std::string TRegExpHlMemo::Dump()
{
    std::string listing;
    if (Program.empty())
        return listing;
    std::size_t at = 1;
    std::uint8_t opcode = RxBranch;
    while (opcode != RxEnd && at + 3 <= Program.size()) {
        opcode = Program[at];
        listing += Format("%2d%s", {static_cast<int>(at), DumpOp(opcode)});
        const int next = RegNext(static_cast<int>(at));
        listing += Format("(%d)", {next});
        at += 3;
        if (opcode == RxAnyOf || opcode == RxAnyBut || opcode == RxExactly) {
            while (at < Program.size() && Program[at] != 0)
                listing += static_cast<char>(Program[at++]);
            ++at;
        }
        listing += "\r\n";
    }
    if (FFirstChar != 0)
        listing += std::string("start ") + static_cast<char>(FFirstChar);
    if (FAnchored)
        listing += "anchored ";
    if (FMustHave != 0)
        listing += "must have " + MustHave();
    listing += "\r\n";
    return listing;
}

// --- Matcher --------------------------------------------------------------------------------------

bool TRegExpHlMemo::ProgramUsable(const char* missing, const char* corrupted)
{
    if (Program.empty()) {
        Error(missing);
        return false;
    }
    if (Program[0] != ProgramMagic) {
        Error(corrupted);
        return false;
    }
    return true;
}

bool TRegExpHlMemo::TakeSubject(const std::string& subject)
{
    if (!ProgramUsable("Exec: Not assigned expression property", "Exec: Corrupted program"))
        return false;
    // The subject is a text of the program, so it ends at a zero byte.
    FSubject.assign(subject, 0, subject.find('\0'));
    FExecuted = true;
    UnsetGroups();
    return true;
}

void TRegExpHlMemo::UnsetGroups()
{
    for (int i = 0; i < GroupCount; ++i)
        FGroupStart[i] = FGroupEnd[i] = -1;
}

bool TRegExpHlMemo::Exec(const std::string& subject, int offset)
{
    if (!TakeSubject(subject))
        return false;
    if (offset < 1) {
        Error("Exec: Invalid offset parameter");
        return false;
    }
    if (static_cast<std::size_t>(offset) > FSubject.size())
        return false;
    return Search(static_cast<std::size_t>(offset) - 1, 0);
}

bool TRegExpHlMemo::Search(std::size_t start, std::size_t begin)
{
    UnsetGroups();
    if (FMustHave != 0) {
        const std::string_view literal(reinterpret_cast<const char*>(Program.data()) + FMustHave,
                                       static_cast<std::size_t>(FMustHaveLen));
        if (std::string_view(FSubject).find(literal, start) == std::string_view::npos)
            return false;
    }
    FInputBegin = begin;
    if (FAnchored)
        return RegMatch(start);
    if (FFirstChar != 0) {
        for (std::size_t at = FSubject.find(static_cast<char>(FFirstChar), start); at != std::string::npos;
             at = FSubject.find(static_cast<char>(FFirstChar), at + 1)) {
            if (RegMatch(at))
                return true;
        }
        return false;
    }
    for (std::size_t at = start; at < FSubject.size(); ++at) {
        if (FHasStartBytes && !FStartBytes.test(static_cast<std::uint8_t>(FSubject[at])))
            continue;
        if (RegMatch(at))
            return true;
    }
    return false;
}

bool TRegExpHlMemo::RegMatch(std::size_t start)
{
    UnsetGroups();
    FInputPos = start;
    FDepth = 0;
    if (!MatchPrim(1))
        return false;
    FGroupStart[0] = static_cast<int>(start);
    FGroupEnd[0] = static_cast<int>(FInputPos);
    return true;
}

bool TRegExpHlMemo::MatchesClass(std::uint8_t opcode, std::uint8_t c) const
{
    switch (opcode) {
    case RxAnyDigit: return RxIsDigit(c);
    case RxNotDigit: return !RxIsDigit(c);
    case RxAnyLetter: return RxIsLetter(c);
    case RxNotLetter: return !RxIsLetter(c);
    case RxAnySpace: return HlRegExp::RegExprSpaceCharSet.test(c);
    case RxNotSpace: return !HlRegExp::RegExprSpaceCharSet.test(c);
    default: return false;
    }
}

bool TRegExpHlMemo::InOperand(int node, std::uint8_t c) const
{
    const char* operand = reinterpret_cast<const char*>(Program.data()) + node + 3;
    return c != 0 && std::strchr(operand, static_cast<char>(c)) != nullptr;
}

// One node that consumes input, at the current position: false when it does not match there.
bool TRegExpHlMemo::MatchOne(int node)
{
    const std::uint8_t opcode = Program[static_cast<std::size_t>(node)];
    const std::uint8_t c = FInputPos < FSubject.size() ? static_cast<std::uint8_t>(FSubject[FInputPos]) : 0;
    switch (opcode) {
    case RxBol:
        return FInputPos == FInputBegin;
    case RxEol:
        return c == 0;
    case RxExactly: {
        const char* operand = reinterpret_cast<const char*>(Program.data()) + node + 3;
        const std::size_t length = std::strlen(operand);
        if (static_cast<std::uint8_t>(operand[0]) != c)
            return false;
        if (length > 1 && FSubject.compare(FInputPos, length, operand, length) != 0)
            return false;
        FInputPos += length;
        return true;
    }
    case RxAny:
        break;
    case RxAnyOf:
        if (!InOperand(node, c))
            return false;
        break;
    case RxAnyBut:
        if (InOperand(node, c))
            return false;
        break;
    default:
        if (!MatchesClass(opcode, c))
            return false;
        break;
    }
    if (c == 0)
        return false;
    ++FInputPos;
    return true;
}

// Walks the chain from node. Only alternatives, repetitions and group boundaries call back in, so
// the frame of this function is what a complex repetition costs per step.
bool TRegExpHlMemo::MatchPrim(int node)
{
    if (++FDepth > RxMaxDepth)
        Error("regexp recursion too deep");
    for (int scan = node; scan != 0;) {
        const int next = RegNext(scan);
        const std::uint8_t opcode = Program[static_cast<std::size_t>(scan)];
        if (opcode == RxEnd) {
            --FDepth;
            return true;
        }
        if (opcode == RxBranch && next != 0 && Program[static_cast<std::size_t>(next)] == RxBranch) {
            const bool matched = MatchAlternatives(scan);
            --FDepth;
            return matched;
        }
        if (opcode == RxStar || opcode == RxPlus) {
            const bool matched = MatchRepeat(scan, next);
            --FDepth;
            return matched;
        }
        if ((opcode > RxOpen && opcode < RxOpen + GroupCount) || (opcode > RxClose && opcode < RxClose + GroupCount)) {
            const bool matched = MatchGroupBoundary(opcode, next);
            --FDepth;
            return matched;
        }
        if (opcode > RxNotSpace) {
            Error("MatchPrim: Memory corruption");
            --FDepth;
            return false;
        }
        if (opcode != RxNothing && opcode != RxBack && opcode != RxBranch && !MatchOne(scan)) {
            --FDepth;
            return false;
        }
        scan = opcode == RxBranch ? scan + 3 : next; // a lone alternative: no choice to make
    }
    Error("MatchPrim: Corrupted pointers");
    --FDepth;
    return false;
}

bool TRegExpHlMemo::MatchAlternatives(int node)
{
    for (int alternative = node; alternative != 0 && Program[static_cast<std::size_t>(alternative)] == RxBranch;
         alternative = RegNext(alternative)) {
        const std::size_t saved = FInputPos;
        if (MatchPrim(alternative + 3))
            return true;
        FInputPos = saved;
    }
    return false;
}

// The rest matches first, so the last pass through a repeated group sets it.
bool TRegExpHlMemo::MatchGroupBoundary(std::uint8_t opcode, int next)
{
    const int saved = static_cast<int>(FInputPos);
    if (!MatchPrim(next))
        return false;
    int* positions = opcode > RxClose ? FGroupEnd : FGroupStart;
    const int group = opcode > RxClose ? opcode - RxClose : opcode - RxOpen;
    if (positions[group] < 0)
        positions[group] = saved;
    return true;
}

// A one-character operand repeated greedily: the longest run is counted in a loop and shortened
// until the rest of the program matches, trying it only where the next literal fits.
bool TRegExpHlMemo::MatchRepeat(int node, int next)
{
    const std::uint8_t nextChar =
        next != 0 && Program[static_cast<std::size_t>(next)] == RxExactly ? Program[static_cast<std::size_t>(next) + 3] : 0;
    const int minimum = Program[static_cast<std::size_t>(node)] == RxStar ? 0 : 1;
    const std::size_t saved = FInputPos;
    for (int count = RegRepeat(node + 3); count >= minimum; --count) {
        FInputPos = saved + static_cast<std::size_t>(count);
        const std::uint8_t c = FInputPos < FSubject.size() ? static_cast<std::uint8_t>(FSubject[FInputPos]) : 0;
        if ((nextChar == 0 || c == nextChar) && MatchPrim(next))
            return true;
    }
    return false;
}

int TRegExpHlMemo::RegRepeat(int node)
{
    const std::uint8_t opcode = Program[static_cast<std::size_t>(node)];
    const std::size_t end = FSubject.size();
    std::size_t at = FInputPos;
    switch (opcode) {
    case RxAny:
        at = end;
        break;
    case RxExactly: {
        const char wanted = static_cast<char>(Program[static_cast<std::size_t>(node) + 3]);
        while (at < end && FSubject[at] == wanted)
            ++at;
        break;
    }
    case RxAnyOf:
        while (at < end && InOperand(node, static_cast<std::uint8_t>(FSubject[at])))
            ++at;
        break;
    case RxAnyBut:
        while (at < end && !InOperand(node, static_cast<std::uint8_t>(FSubject[at])))
            ++at;
        break;
    case RxAnyDigit:
    case RxNotDigit:
    case RxAnyLetter:
    case RxNotLetter:
    case RxAnySpace:
    case RxNotSpace:
        while (at < end && MatchesClass(opcode, static_cast<std::uint8_t>(FSubject[at])))
            ++at;
        break;
    default:
        Error("Internal foulup");
        return 0;
    }
    const int count = static_cast<int>(at - FInputPos);
    FInputPos = at;
    return count;
}

// --- Results --------------------------------------------------------------------------------------

bool TRegExpHlMemo::GroupSet(int index) const
{
    return index >= 0 && index < GroupCount && FGroupStart[index] >= 0 && FGroupEnd[index] >= 0;
}

int TRegExpHlMemo::GetMatchCount() const
{
    if (!FExecuted)
        return 0;
    int count = 0;
    while (count < GroupCount && GroupSet(count))
        ++count;
    return count;
}

int TRegExpHlMemo::GetMatchPos(int index) const
{
    return GroupSet(index) ? FGroupStart[index] + 1 : -1;
}

int TRegExpHlMemo::GetMatchLen(int index) const
{
    return GroupSet(index) ? FGroupEnd[index] - FGroupStart[index] : -1;
}

std::string TRegExpHlMemo::GetMatch(int index) const
{
    if (!GroupSet(index) || FGroupEnd[index] < FGroupStart[index])
        return {};
    return FSubject.substr(static_cast<std::size_t>(FGroupStart[index]),
                           static_cast<std::size_t>(FGroupEnd[index] - FGroupStart[index]));
}

std::string TRegExpHlMemo::Substitute(const std::string& templateText)
{
    std::string result;
    if (!ProgramUsable("Not assigned expression property", "Substitute: Corrupted programm"))
        return result;
    for (std::size_t i = 0; i < templateText.size(); ++i) {
        char ch = templateText[i];
        const char following = i + 1 < templateText.size() ? templateText[i + 1] : '\0';
        int group = -1;
        if (ch == '&') {
            group = 0;
        } else if (ch == '\\' && RxIsDigit(static_cast<std::uint8_t>(following))) {
            group = following - '0';
            ++i;
        } else if (ch == '\\' && (following == '\\' || following == '&')) {
            ch = following;
            ++i;
        }
        if (group < 0)
            result += ch;
        else
            result += GetMatch(group); // any set group, even after an unset one
    }
    return result;
}

// Both search the rest of the text after each match as a subject of its own ("^" is where the rest
// begins) without copying it again, so a long line with many matches costs no more than one
// search over it. After a match of length 0 the character at the match goes with the text around
// it, so the search always moves on.
void TRegExpHlMemo::Split(const std::string& text, TStrings& list)
{
    if (!TakeSubject(text)) {
        list.Add(text);
        return;
    }
    std::string piece;
    std::size_t rest = 0;
    while (rest < FSubject.size() && Search(rest, rest)) {
        const auto position = static_cast<std::size_t>(FGroupStart[0]);
        const auto end = static_cast<std::size_t>(FGroupEnd[0]);
        if (end == position) {
            piece.append(FSubject, rest, position + 1 - rest);
            rest = position + 1;
            continue;
        }
        list.Add(piece + FSubject.substr(rest, position - rest));
        piece.clear();
        rest = end;
    }
    // As after a search that found nothing.
    UnsetGroups();
    list.Add(piece + text.substr(rest));
}

std::string TRegExpHlMemo::Replace(const std::string& text, const std::string& replacement)
{
    if (!TakeSubject(text))
        return text;
    std::string result;
    std::size_t rest = 0;
    while (rest < FSubject.size() && Search(rest, rest)) {
        const auto position = static_cast<std::size_t>(FGroupStart[0]);
        const auto end = static_cast<std::size_t>(FGroupEnd[0]);
        result.append(FSubject, rest, position - rest);
        result += replacement;
        if (end == position) {
            result += FSubject[position];
            rest = position + 1;
        } else {
            rest = end;
        }
    }
    UnsetGroups();
    result.append(text, rest, std::string::npos);
    return result;
}

// --- One-shot functions ---------------------------------------------------------------------------

namespace HlRegExp {

bool ExecRegExpr(const std::string& expression, const std::string& subject)
{
    auto engine = std::make_unique<TRegExpHlMemo>();
    engine->SetExpression(expression);
    return engine->Exec(subject, 1);
}

void SplitRegExpr(const std::string& expression, const std::string& text, TStrings& list)
{
    list.Clear();
    auto engine = std::make_unique<TRegExpHlMemo>();
    engine->SetExpression(expression);
    engine->Split(text, list);
}

std::string ReplaceRegExpr(const std::string& expression, const std::string& text,
                           const std::string& replacement)
{
    auto engine = std::make_unique<TRegExpHlMemo>();
    engine->SetExpression(expression);
    return engine->Replace(text, replacement);
}

} // namespace HlRegExp
