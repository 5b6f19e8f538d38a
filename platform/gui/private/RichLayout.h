#pragma once
// The rich edit control's own layout in twips: paragraphs broken into lines with the layer's font
// engine on a measuring context of 1,440 pixels per inch, so that a line breaks at the same
// character on the screen, a printer and a metafile. It answers the format-range request: how much
// of a range fits in a rectangle, and drawing it through the GDI calls of any device context.

#include "platform/gui/RichEditApi.h"
#include "platform/gui/private/RichDocument.h"

#include <map>
#include <memory>
#include <string>
#include <vector>

struct TRealizedFont;

// A stretch of one line in one character format.
struct TRichPiece {
    int QtFrom = 0;             // Qt position of the first character
    std::string Text;           // Windows-1252; a tab is '\t', an object ' '
    std::vector<int> Advances;  // each character's advance, twips
    int X = 0;                  // left edge from the paragraph's left, twips
    int Width = 0;
    int Format = 0;             // index into the paragraph's formats
    bool Object = false;
    int ObjectHeight = 0;
};

struct TRichLine {
    int QtStart = 0;  // first Qt position of the line
    int QtEnd = 0;    // first Qt position after it (the next line's start)
    int Top = 0;      // from the paragraph's top, twips
    int Height = 0;
    int Ascent = 0;   // baseline from the line's top
    std::vector<TRichPiece> Pieces;
    bool Bullet = false; // the first line of a bulleted paragraph
};

struct TRichParagraphLayout {
    std::vector<TRichLine> Lines;
    int Height = 0;                  // with the space before and after
    std::vector<CHARFORMAT2A> Formats;
    PARAFORMAT2 Para;
    int BulletX = 0;                 // where the bullet is drawn
    int BulletFormat = 0;
};

class TRichLayout {
public:
    explicit TRichLayout(const TRichDocument& document);
    ~TRichLayout();
    TRichLayout(const TRichLayout&) = delete;
    TRichLayout& operator=(const TRichLayout&) = delete;

    // The layout of a paragraph at a width, kept until Invalidate.
    const TRichParagraphLayout& Paragraph(int block, int width);
    // Forgets every kept layout (the text or a format changed).
    void Invalidate();
    // EM_FORMATRANGE: with range null frees the cache and answers 0.
    LRESULT FormatRange(bool render, FORMATRANGE* range);

    // The display lines of the whole document at a width (twips): each line's Qt start.
    std::vector<int> LineStarts(int width);
    // The height in twips of the whole document at a width.
    int DocumentHeight(int width);

private:
    const TRichDocument& FDocument;
    // width -> block -> layout
    std::map<int, std::vector<std::unique_ptr<TRichParagraphLayout>>> FCache;

    TRichParagraphLayout Build(int block, int width) const;
    void DrawLine(HDC dc, const TRichParagraphLayout& para, const TRichLine& line, int left, int top, int qtFrom,
                  int qtTo, const RECT& clip) const;
};

// The font of a character format for a context of pixelsPerInch.
LOGFONTA RichLogFont(const CHARFORMAT2A& format, int pixelsPerInch);
