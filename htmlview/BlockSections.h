#pragma once
// The simple blocks of a viewer document: the gap of a paragraph break, the
// gaps around a heading, a horizontal rule, a line of preformatted text that
// never wraps, and the three kinds of list items. Gaps and the rule scale with
// the document's base font size.

#include "htmlview/Section.h"

// A block of preformatted text stops taking tokens past this many characters.
constexpr int MaxPreformattedChars = 20000;
// The width preformatted text is laid out in, so that it never wraps.
constexpr int UnbrokenWidth = 32000;

class TParagraphSpace : public TSectionBase {
    TESS_CLASS(TParagraphSpace, TSectionBase)
public:
    using TSectionBase::TSectionBase;
    // One empty line in a copied selection.
    void CopyToClipboard() override;
    void UpdateSpacing() override;
};

class THeadingSpace : public TSectionBase {
    TESS_CLASS(THeadingSpace, TSectionBase)
public:
    THeadingSpace(TSectionList* Doc, int Level);
    void CopyToClipboard() override;
    void UpdateSpacing() override;

    int HeadingLevel;
};

enum TRuleAlign : std::uint8_t { raLeft = 1, raCentre = 2, raRight = 3 };

class THorzLine : public TSectionBase {
    TESS_CLASS(THorzLine, TSectionBase)
public:
    THorzLine(TSectionList* Doc, const TAttributeList* Attributes);
    void CopyToClipboard() override;
    void UpdateSpacing() override;
    // A sunken frame, or one band of RuleColor, across the margins at Y.
    int Draw(TCanvas* Canvas, const TRect& Clip, IndentManager* Margins, int X, int Y) override;

    int Thickness = 2;
    // -1: not given.
    int RuleWidth = -1;
    bool WidthIsPercent = false;
    TColor RuleColor = clNone;
    TRuleAlign RuleAlign = raCentre;
    bool Unshaded = false;
    bool ColorGiven = false;

private:
    void ReadAttribute(const TAttribute& Attribute);
};

class TPreFormated : public TSection {
    TESS_CLASS(TPreFormated, TSection)
public:
    using TSection::TSection;
    // Appends the token as it is, white space and all, up to a cap.
    void AddTokenObj(const TokenObj& Token, bool NoBreak) override;
    // Lines break only at their line ends; MaxWidth is the whole text's width.
    int DrawLogic(TCanvas* Canvas, int Y, IndentManager* Margins, int& MaxWidth, int& Pos) override;
    void MinMaxWidth(TCanvas* Canvas, int& Min, int& Max) override;
};

class TUListItem : public TSection {
    TESS_CLASS(TUListItem, TSection)
public:
    TUListItem(TSectionList* Doc, int ALevel, TMyFont* Font, const TUrlTarget* Link);

    // No bullet.
    bool PlainItem = false;
};

class TDListItem : public TUListItem {
    TESS_CLASS(TDListItem, TUListItem)
public:
    TDListItem(TSectionList* Doc, int ALevel, TMyFont* Font, const TUrlTarget* Link);
};

class TOListItem : public TUListItem {
    TESS_CLASS(TOListItem, TUListItem)
public:
    TOListItem(TSectionList* Doc, int ALevel, int Number, char ANumberStyle, TMyFont* Font, const TUrlTarget* Link);

    // "1", "a", "A", "i", "I" or any other character.
    char NumberStyle;
};
