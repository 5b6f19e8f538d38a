#pragma once
// The script language of report objects and bands: a script is compiled once per build into
// instruction lines and run each time its object prints; and the list of variables scripts set.
//
// A compiled line is a byte string told by its first byte: 1, the jump target (16 bits, low byte
// first) and a condition, jumping when the condition equals 0; 2 and a jump target; 3 and an
// expression to evaluate; otherwise a variable name, one blank and the expression assigned to it.
// Expressions are kept as source text and evaluated when the line runs.

#include "report/RP_Pars.h"

#include "platform/rtl/System.h"
#include "platform/rtl/Variants.h"

#include <memory>
#include <string>
#include <vector>

class TStrings;

// Named values in the order they were first set; names compare without regard to case.
class TrpVariables : public TObject {
    TESS_CLASS(TrpVariables, TObject)
public:
    // Changes the first entry of that name, or appends one.
    void SetVariable(const std::string& name, const Variant& value);
    // Null when there is no such name.
    Variant GetVariable(const std::string& name) const;
    int IndexOf(const std::string& name) const;
    // Outside the list: GetValue gives the integer 0, GetName "", SetValue and Delete do nothing.
    Variant GetValue(int index) const;
    void SetValue(int index, const Variant& value);
    std::string GetName(int index) const;
    int GetCount() const { return static_cast<int>(FItems.size()); }
    void Delete(int index);
    void Clear() { FItems.clear(); }

private:
    struct TEntry {
        std::string Name;
        Variant Value;
    };
    bool InRange(int index) const { return index >= 0 && index < GetCount(); }

    std::vector<TEntry> FItems;
};

class TrpInterpretator : public TObject {
    TESS_CLASS(TrpInterpretator, TObject)
public:
    // Owns a parser whose names and functions come back to GetValue and DoFunction.
    TrpInterpretator();
    ~TrpInterpretator() override;
    TrpInterpretator(const TrpInterpretator&) = delete;
    TrpInterpretator& operator=(const TrpInterpretator&) = delete;

    // The meaning of names and functions; here they leave the value unchanged.
    virtual void GetValue(const std::string& Name, Variant& Value);
    virtual void SetValue(const std::string& Name, const Variant& Value);
    virtual void DoFunction(const std::string& Name, const Variant& p1, const Variant& p2, const Variant& p3,
                            std::string& Val);
    // Compiles memoFrom into memoTo (which may be the same list: the source is read first).
    // memoErr (may be nullptr) is emptied and gets one line "Stroka L/C: message" per error; a
    // syntax error stops the compilation and keeps what was compiled before it.
    virtual void PrepareScript(TStrings* memoFrom, TStrings* memoTo, TStrings* memoErr);
    // Runs compiled lines. More than MaxInstructions steps raise EParserError.
    virtual void DoScript(TStrings* memo);

    int MaxInstructions = 1000000;
    const std::unique_ptr<TrpParser> Parser;
};
