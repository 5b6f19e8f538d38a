#pragma once
// The text object: lines with bracketed expressions, its font, alignment and highlight.

#include "report/rpView.h"

#include "platform/gui/Font.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class TStrings;

// The height of the text block of the last wrap, in pixels at 96 pixels per inch.
extern int WrappedHeight;

// The look of a text object while its highlight condition holds.
struct TrpHighlightAttr {
    std::uint16_t FontStyle = 2; // the engine's style code: bold
    TColor FontColor = clBlack;
    TColor FillColor = clWhite;
};

// Adjust: bits 0-1 horizontal alignment (left, right, centre, justified), bit 2 turned text,
// bits 3-4 vertical alignment (middle 8, bottom 16, anything else top).
//
// Wrapped lines, as SMemo, a split object's WorkMemo and a continued part in a prepared page hold
// them: the characters, a byte 1 when the line ends a paragraph, then the width in pixels at 96
// pixels per inch in two bytes, high byte first. A working text holding a byte 1 anywhere is
// already wrapped. Such lines must never go through TStrings::Text, which would split them at
// width bytes 10 and 13.
class TrpMemoView : public TrpStretcheable {
    TESS_CLASS(TrpMemoView, TrpStretcheable)
public:
    // Arial 10 black in the engine's character set, Flags 3 (stretch and word wrap).
    TrpMemoView();
    ~TrpMemoView() override;

    void Assign(TrpView* from) override;
    void LoadFromStream(TStream& stream) override;
    void SaveToStream(TStream& stream) override;
    // Draws Memo (expanded text, or wrapped lines of a continued part) scaled on the canvas.
    void Draw(TCanvas* canvas) override;
    // The print step of a build: script, expansion, highlight, then the prepared form. A drPart
    // print writes the wrapped lines that fit the current height and keeps the rest in WorkMemo.
    void Print(TStream& stream) override;
    // The object to the running export, then every line it shows to its text hook.
    void ExportData() override;
    // Script, expansion and highlight, then the height of the wrapped text (0 when invisible).
    int CalcHeight() override;
    int MinHeight() override;
    int RemainHeight() override;
    // The blob field's text becomes the working text.
    void GetBlob(TField* field) override;
    void DefinePopupMenu(TPopupMenu* menu) override;
    // Takes name, size, style, colour and character set of font.
    void SetFont(TFont* font);

    // WorkMemo from Memo with every bracketed expression replaced by its display text.
    void ExpandVariables();
    // Wraps WorkMemo into SMemo at 96 pixels per inch; sets LineHeight and WrappedHeight.
    void WrapMemo();
    // The width the lines need, frame and gaps included, in pixels at 96 pixels per inch.
    int CalcWidth(TStrings* lines);
    // Puts out the wrapped lines of WorkMemo on the canvas, or to the export while Exporting.
    void ShowMemo();
    // The canvas takes the object's font, scaled unless printing, and a clear brush.
    void AssignFont(TCanvas* canvas);

    const std::unique_ptr<TFont> Font;
    int Adjust = 0;
    TrpHighlightAttr Highlight;
    std::string HighlightCondition;
    // Extra pixels between lines and between characters; not stored in streams.
    int LineSpacing = 2;
    int CharacterSpacing = 0;
    int LineHeight = 0;
    int LinesDrawn = 0;
    bool StopAtBottom = false;
    bool Exporting = false;

private:
    void ChooseFont();
    // Expands unless the enter-rectangle hook supplied the text (returns whether it ran).
    void FillWorkingText(bool enterRectFirst);
    void CalcGapsAtScaleOne();
    void ShowLine(const std::string& text, int width, bool paragraphEnd, int x, int y, const RECT& clip);
    void ShowTurnedLines(const RECT& clip, int lineStep);
    int ScaledFontHeight() const;
};

// The hyphenation points of a word (1-based positions after which it may break), by the rules of
// Russian words: the word in capitals, Cyrillic vowels and the hard and soft signs. Words of other
// letters, every word of this program's Windows-1252 texts among them, have none.
std::vector<int> rpHyphenationPoints(const std::u16string& word);
