// A small backtracking regular-expression engine over Windows-1252 text, used by the memo editor to
// find web and e-mail addresses. An expression is compiled once into a byte program of linked
// nodes; Exec runs it against a subject from a 1-based offset.
#pragma once

#include "platform/rtl/Lists.h"
#include "platform/rtl/System.h"

#include <bitset>
#include <cstdint>
#include <string>
#include <vector>

// A set of bytes.
using TRegExprCharSet = std::bitset<256>;

namespace HlRegExp {

// Tab, line feed, form feed, carriage return and space: what "\s" matches.
extern const TRegExprCharSet RegExprSpaceCharSet;

// One-shot operations with an engine of their own; syntax errors raise.
bool ExecRegExpr(const std::string& expression, const std::string& subject);
// Clears the list first, then appends the pieces of text between matches.
void SplitRegExpr(const std::string& expression, const std::string& text, TStrings& list);
std::string ReplaceRegExpr(const std::string& expression, const std::string& text,
                           const std::string& replacement);

} // namespace HlRegExp

class TRegExpHlMemo : public TObject {
    TESS_CLASS(TRegExpHlMemo, TObject)
public:
    static constexpr int GroupCount = 10; // group 0 is the whole match
    static constexpr std::uint8_t ProgramMagic = 0x9C;

    TRegExpHlMemo() = default;

    std::string GetExpression() const { return FExpression; }
    // Compiles a changed, non-empty expression (syntax errors raise); "" leaves no program.
    void SetExpression(const std::string& text);
    bool ExtSyntax() const { return FExtSyntax; }
    void SetExtSyntax(bool value);

    // Searches the subject from the 1-based offset for the leftmost match.
    bool Exec(const std::string& subject, int offset);
    int GetMatchCount() const;
    int GetMatchPos(int index) const; // 1-based, or -1 when the group is not set
    int GetMatchLen(int index) const;
    std::string GetMatch(int index) const;

    // The template with "&" and "\0" to "\9" replaced from the last match ("\\" and "\&" are
    // literal).
    std::string Substitute(const std::string& templateText);
    void Split(const std::string& text, TStrings& list);
    std::string Replace(const std::string& text, const std::string& replacement);

    // A listing of the compiled program, one node a line.
    std::string Dump();

    // The compiled program's hints for the search.
    std::uint8_t FirstChar() const { return FFirstChar; }
    bool Anchored() const { return FAnchored; }
    std::string MustHave() const;

protected:
    // Run-time faults come here; it raises Exception with the message.
    virtual void Error(const std::string& message);

    bool CompileRegExpr(const std::string& expression);

    // The compiled program: byte 0 is ProgramMagic, the first node starts at byte 1.
    std::vector<std::uint8_t> Program;

private:
    // Node offsets into Program; 0 means none.
    int ParseReg(bool inGroup, int& flags);
    int ParseBranch(int& flags);
    int ParsePiece(int& flags);
    int ParseAtom(int& flags);
    int ParseClass();
    int ParseLiteralRun(int& flags);
    int ParseEscape(int& flags);
    std::uint8_t ParseHexByte();
    std::uint8_t ClassEscapeByte(std::uint8_t letter);
    void EmitClassRange(int start, int end, bool startEmitted);
    int EmitNode(std::uint8_t opcode);
    void EmitC(std::uint8_t byte);
    void InsertOperator(std::uint8_t opcode, int operand);
    int RegNext(int node) const;
    void Tail(int node, int target);
    void OpTail(int node, int target);
    char ExpressionAt(std::size_t position) const;
    bool Sizing() const { return FSizing; }
    void Analyse(int topFlags);
    bool CollectStartBytes(int node, TRegExprCharSet& bytes, int depth) const;
    std::string DumpOp(std::uint8_t opcode);

    // Exec's checks; keeps the subject up to its first zero byte with no group set.
    bool TakeSubject(const std::string& subject);
    void UnsetGroups();
    // The leftmost match from start on, "^" matching at begin.
    bool Search(std::size_t start, std::size_t begin);
    bool RegMatch(std::size_t start);
    bool MatchPrim(int node);
    bool MatchOne(int node);
    bool MatchAlternatives(int node);
    bool MatchGroupBoundary(std::uint8_t opcode, int next);
    bool MatchRepeat(int node, int next);
    int RegRepeat(int node);
    bool MatchesClass(std::uint8_t opcode, std::uint8_t c) const;
    bool InOperand(int node, std::uint8_t c) const;
    bool GroupSet(int index) const;
    bool ProgramUsable(const char* missing, const char* corrupted);

    std::string FExpression;
    bool FExtSyntax = false;

    // Compilation state.
    std::string FParseText;
    std::size_t FParsePos = 0;
    int FNextGroup = 1;
    bool FSizing = false;
    std::size_t FProgramSize = 0;

    // What the search may skip.
    std::uint8_t FFirstChar = 0;
    bool FAnchored = false;
    int FMustHave = 0; // offset of the literal in Program, 0 when none
    int FMustHaveLen = 0;
    // The bytes a match can begin with, when every match takes at least one byte.
    TRegExprCharSet FStartBytes;
    bool FHasStartBytes = false;

    // The last subject and match; positions are offsets into FSubject, -1 when unset.
    std::string FSubject;
    bool FExecuted = false;
    std::size_t FInputPos = 0;
    std::size_t FInputBegin = 0;
    int FGroupStart[GroupCount] = {-1, -1, -1, -1, -1, -1, -1, -1, -1, -1};
    int FGroupEnd[GroupCount] = {-1, -1, -1, -1, -1, -1, -1, -1, -1, -1};
    int FDepth = 0;
};
