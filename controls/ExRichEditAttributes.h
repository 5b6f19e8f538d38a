#pragma once
// The character and paragraph formats of the extended rich edit, read and written through the
// window's format records in points: nothing is kept here, every property is one message.

#include "controls/ExRichEdit.h"

class TExTextAttributes : public TPersistent {
    TESS_CLASS(TExTextAttributes, TPersistent)
public:
    TExTextAttributes(TExCustomRichEdit* AOwner, ExRichEd::TExAttributeType AttributeType);
    void Assign(TPersistent* Source) override;
    // One write of the font's size, colour, face, styles, character set, pitch and weight.
    void AssignFont(TFont* Font);

    BYTE Charset() const;
    void SetCharset(BYTE value);
    bool Protected() const;
    void SetProtected(bool value);
    bool Link() const;
    void SetLink(bool value);
    BYTE RevAuthorIndex() const;
    void SetRevAuthorIndex(BYTE value);
    bool Hidden() const;
    void SetHidden(bool value);
    bool Disabled() const;
    void SetDisabled(bool value);
    TColor Color() const;
    void SetColor(TColor value);
    TColor BackColor() const;
    void SetBackColor(TColor value);
    std::string Name() const;
    void SetName(const std::string& value);
    TFontStyles Style() const;
    void SetStyle(TFontStyles value);
    ExRichEd::TUnderlineType UnderlineType() const;
    void SetUnderlineType(ExRichEd::TUnderlineType value);
    int Offset() const;
    void SetOffset(int value);
    int Size() const;
    void SetSize(int value);
    int Height() const;
    void SetHeight(int value);
    TFontPitch Pitch() const;
    void SetPitch(TFontPitch value);
    ExRichEd::TSubscriptStyle SubscriptStyle() const;
    void SetSubscriptStyle(ExRichEd::TSubscriptStyle value);
    ExRichEd::TExConsistentAttributes ConsistentAttributes() const;

protected:
    void AssignTo(TPersistent* Dest) override;

private:
    // The record cleared and sized for the version, filled from the window when it exists.
    CHARFORMAT2A Read() const;
    CHARFORMAT2A Blank() const;
    void Write(CHARFORMAT2A& format) const;
    WPARAM Which() const;
    TExCustomRichEdit* FRichEdit;
    ExRichEd::TExAttributeType FType;
};

class TExParaAttributes : public TPersistent {
    TESS_CLASS(TExParaAttributes, TPersistent)
public:
    explicit TExParaAttributes(TExCustomRichEdit* AOwner);
    void Assign(TPersistent* Source) override;

    ExRichEd::TParaAlignment Alignment() const;
    void SetAlignment(ExRichEd::TParaAlignment value);
    ExRichEd::TExNumbering Numbering() const;
    void SetNumbering(ExRichEd::TExNumbering value);
    ExRichEd::TExNumberingStyle NumberingStyle() const;
    void SetNumberingStyle(ExRichEd::TExNumberingStyle value);
    int NumberingTab() const;
    void SetNumberingTab(int value);
    int FirstIndent() const;
    void SetFirstIndent(int value);
    int LeftIndent() const;
    void SetLeftIndent(int value);
    int RightIndent() const;
    void SetRightIndent(int value);
    int SpaceBefore() const;
    void SetSpaceBefore(int value);
    int SpaceAfter() const;
    void SetSpaceAfter(int value);
    int LineSpacing() const;
    void SetLineSpacing(int value);
    ExRichEd::TLineSpacingRule LineSpacingRule() const;
    void SetLineSpacingRule(ExRichEd::TLineSpacingRule value);
    ExRichEd::THeadingStyle HeadingStyle() const;
    void SetHeadingStyle(ExRichEd::THeadingStyle value);
    int Tab(int Index) const;
    void SetTab(int Index, int value);
    int TabCount() const;
    void SetTabCount(int value);
    ExRichEd::TParaTableStyle TableStyle() const;
    void SetTableStyle(ExRichEd::TParaTableStyle value);

protected:
    void AssignTo(TPersistent* Dest) override;

private:
    PARAFORMAT2 Read() const;
    PARAFORMAT2 Blank() const;
    void Write(PARAFORMAT2& format) const;
    TExCustomRichEdit* FRichEdit;
};
