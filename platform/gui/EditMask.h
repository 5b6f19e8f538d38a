#pragma once
// The class library's edit masks: "mask;save literals;blank". The engine knows, for each shown
// position, whether it is a literal or which characters it takes, and converts between the text
// the user sees (EditText) and the text the program reads (Text).

#include <string>
#include <vector>

class TEditMaskEngine {
public:
    TEditMaskEngine() = default;
    explicit TEditMaskEngine(const std::string& editMask);

    bool IsMasked() const { return !FPositions.empty(); }
    int Length() const { return static_cast<int>(FPositions.size()); }
    char Blank() const { return FBlank; }
    bool SaveLiterals() const { return FSaveLiterals; }

    bool IsLiteral(int pos) const;
    bool IsRequired(int pos) const;
    // The character the position shows as a literal.
    char LiteralAt(int pos) const;
    // True when the position takes c; c is converted to the position's letter case.
    bool Accepts(int pos, char& c) const;

    // Literals, and the blank character where nothing was typed.
    std::string EmptyEditText() const;
    // Fills the positions from a text (with or without literals).
    std::string TextToEditText(const std::string& text) const;
    // The program's text: literals only when saved, spaces for empty positions.
    std::string EditTextToText(const std::string& editText) const;
    // The first required position left blank, -1 when none.
    int FirstMissing(const std::string& editText) const;

    // Input positions: the first at or after pos, and the one before pos (-1 when none).
    int NextInput(int pos) const;
    int PreviousInput(int pos) const;

private:
    enum TKind { kLiteral, kLetter, kAlnum, kAny, kDigit, kDigitSign };
    enum TCase { caseNone, caseUpper, caseLower };
    struct TPosition {
        TKind Kind = kLiteral;
        bool Required = false;
        TCase Case = caseNone;
        char Literal = ' ';
    };
    bool IsBlankAt(const std::string& editText, int pos) const;

    std::vector<TPosition> FPositions;
    bool FLeadingBlanks = false;
    bool FSaveLiterals = true;
    char FBlank = '_';
};

// Splits an edit mask into its three fields; empty fields take the defaults.
void SplitEditMask(const std::string& editMask, std::string& mask, bool& saveLiterals, char& blank);
