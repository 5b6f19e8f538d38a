#pragma once
// THintBox: lines of help text in a balloon with a drop shadow, word-wrapped, with a few tags:
// <center>, <right>, <br> and their closing forms split and align lines; <b>, <i>, <u>, <strike>
// and their closing forms switch the font style. Any other tag is shown as it stands.

#include "platform/gui/Canvas.h"
#include "platform/gui/WinControl.h"
#include "platform/rtl/Lists.h"

#include <memory>
#include <string>
#include <vector>

namespace HintBox {

// Alignment of a display line.
constexpr int AlignLeft = 0, AlignCenter = 1, AlignRight = 2;

struct TDisplayLine {
    std::string Text; // still holding the inline style tags
    int Alignment = AlignLeft;
    bool operator==(const TDisplayLine& other) const = default;
};

// 1-based position of the first exact occurrence of sub in s at or after from; 0 when there is
// none or from lies past the end.
int FindNext(const std::string& s, const std::string& sub, int from);
// The display lines of one source line: the block tags split it and set the alignment.
std::vector<TDisplayLine> SplitLine(const std::string& line);
// True for a non-empty run of tags and nothing else, at least one of them a style tag.
bool OnlyContainsTags(const std::string& s);

} // namespace HintBox

class THintBox : public TCustomControl {
    TESS_CLASS(THintBox, TCustomControl)
public:
    explicit THintBox(TComponent* AOwner);
    ~THintBox() override;

    // The balloon's fill. TControl::Color stays the window's own background, which follows the
    // parent and shows around the balloon and behind the text without a balloon.
    TColor Color() const { return FColor; }
    void SetColor(TColor value);
    TColor ShadowColor() const { return FShadowColor; }
    void SetShadowColor(TColor value);
    // The source lines. Editing them in place shows after the next Update or Refresh.
    TStrings* Lines() const { return FLines.get(); }
    void SetLines(TStrings* value);
    int ShadowSize() const { return FShadowSize; }
    // Ignored when negative or unchanged; otherwise the control grows or shrinks by the difference.
    void SetShadowSize(int value);
    bool HTMLFormatting() const { return FHTMLFormatting; }
    void SetHTMLFormatting(bool value);
    bool DrawHintBox() const { return FDrawHintBox; }
    void SetHintBox(bool value);

    // Parses the lines again (with formatting on) and paints.
    void Update() override;

    virtual bool OnlyContainsTags(const std::string& S);
    // Rebuilds the display lines from Lines.
    virtual void Parse();
    // Appends the display lines of one source line.
    virtual void ParseLine(const std::string& S);

    // Size of text with its style tags applied; the canvas style is left as it was.
    TSize TextExtentEx(const std::string& S);
    // Draws text run by run, switching the canvas style at each style tag; the last style stays.
    void TextOutEx(int X, int Y, const std::string& S);
    // Size of text as GetTabbedTextExtentA reports it without tab stops.
    TSize GetTextExtentRH(const std::string& S);

protected:
    void Paint() override;
    void DrawBox();
    void DrawBoxEx();

private:
    struct TWrapState;
    // Paints the balloon (or the plain background) and returns the text rectangle.
    TRect PaintBackground();
    // Wraps one line over the rows; false when the rows ran out and painting must end.
    bool DrawWrapped(const std::string& line, int alignment, bool formatted, const TRect& area, TWrapState& state);
    void DrawSegment(const std::string& text, int alignment, int width, bool formatted, const TRect& area, int top);
    // Width of text in the canvas's current font, adding cached character widths.
    int PlainWidth(const std::string& text, int first, int count);
    void PaintNow();

    TColor FColor = clInfoBk;
    TColor FShadowColor = clGray;
    std::unique_ptr<TStringList> FLines;
    int FShadowSize = 4;
    bool FHTMLFormatting = true;
    bool FDrawHintBox = true;
    std::unique_ptr<TStringList> FParsedLines;
    std::vector<int> FLineAlignments;
    // Character widths per font style, valid for one paint.
    std::vector<std::vector<int>> FCharWidths;
};
