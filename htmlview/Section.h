#pragma once
// A block of running text: its characters with the source position of each, its
// font runs and links, and the images and form controls anchored at placeholder
// characters. The parser builds it token by token; the document positions of
// its characters map back to the HTML source.

#include "htmlview/FontObj.h"
#include "htmlview/SectionBase.h"

#include <memory>
#include <string>

class TImageObj;
class TImageObjList;
class TFormControlObj;
class TFormControlList;
class TList;

// One line of a text section's last layout. Its height in the flow is
// TextHeight + AboveText + BelowText; the text band begins AboveText below the
// line's top and the baseline lies LineDescent above the band's bottom.
class LineRec : public TObject {
    TESS_CLASS(LineRec, TObject)
public:
    // Index of the line's first character in the section.
    int LineStart = 0;
    // Room above the text for inline images and form controls.
    int AboveText = 0;
    // Room below the text for images aligned top or middle.
    int BelowText = 0;
    // The tallest font of the line; 0 for a line of objects only; the blank
    // height for the blank line of a clear.
    int TextHeight = 0;
    // Height painted from the line's top, more than the flow height when a
    // float starts on or below it.
    int LinePaintHeight = 0;
    int LineChars = 0;
    int LineDescent = 0;
    // Where the line starts, relative to the cell's left edge at layout.
    int LineX = 0;
    // Window X of the line's start at the last paint.
    int DrawX = 0;
    // Document Y of the top of the line's text at the last paint.
    int DrawY = 0;
};

enum class ListTypeType { None, Ordered, Unordered, Definition };
enum ClearAttrType { clrNone, clLeft, clRight, clAll };

// Characters of a section that are not plain text.
namespace SectionChars {
constexpr char FormControl = 2;
constexpr char Image = 4;
// A blank inside no-break text, only on its way in.
constexpr char NoBreakBlank = 5;
constexpr char NoBreakFormControl = 6;
constexpr char NoBreakImage = 7;
constexpr char NoBreakSpace = static_cast<char>(160);

inline bool IsImage(char C) { return C == Image || C == NoBreakImage; }
inline bool IsFormControl(char C) { return C == FormControl || C == NoBreakFormControl; }
} // namespace SectionChars

// A run of characters whose source positions rise by one per character.
class IndexObj : public TObject {
    TESS_CLASS(IndexObj, TObject)
public:
    IndexObj(int AFirstChar, int AFirstSource) : FirstChar(AFirstChar), FirstSource(AFirstSource) {}
    int FirstChar;
    int FirstSource;
};

class TSection : public TSectionBase {
    TESS_CLASS(TSection, TSectionBase)
public:
    // Link may be nullptr.
    TSection(TSectionList* Doc, int ALevel, TMyFont* Font, const TUrlTarget* Link, JustifyType Justify);
    ~TSection() override;
    TSection(const TSection&) = delete;
    TSection& operator=(const TSection&) = delete;

    void AddChar(char C, int SourcePos, bool NoBreak);
    // Appends Token's text with its source positions, folding white space.
    virtual void AddTokenObj(const TokenObj& Token, bool NoBreak);
    // Makes room for N characters.
    void Allocate(int N);
    // A line break: an empty section gets one space so that its line keeps its
    // height.
    JustifyType BreakInfo(int SourcePos, bool NoBreak);
    void ChangeFont(TSectionList* Doc, TMyFont* NewFont);
    // Starts (HrefSy) or ends (any other symbol) a link at the end of the text.
    void HRef(Symb Sy, TSectionList* Doc, const TUrlTarget* Link, TMyFont* NewFont);
    void ChangeStyle(Symb Sy);
    TImageObj* AddImage(const TAttributeList* Attrs, TCell* Cell, int SourcePos, bool NoBreak);
    TFormControlObj* AddFormControl(Symb Which, TSectionList* Doc, const TAttributeList* Attrs, TCell* Cell,
                                    int SourcePos, bool NoBreak);
    void DoClearAttribute(const TAttributeList* Attrs);
    // Called once when the section joins a cell: compresses the source positions.
    void Finish();
    IndexObj* GetIndexObj(int I) const;
    int FindSourcePos(int DocPos) override;
    int FindDocPos(int SourcePos, bool Backward) override;
    void UpdateFonts() override;

    // Layout (SectionLayout.cpp).
    // Breaks the text into lines within Margins from document Y; returns the
    // height in the flow.
    int DrawLogic(TCanvas* Canvas, int Y, IndentManager* Margins, int& MaxWidth, int& Pos) override;
    void MinMaxWidth(TCanvas* Canvas, int& Min, int& Max) override;
    // How many of the Max characters from Start fit in Width on one line at Y;
    // floats met at the line's start are registered in Margins, later ones are
    // collected in Deferred. FloatHeight: the tallest float registered.
    int FindCountThatFits1(TCanvas* Canvas, int Width, int Start, int Max, int Y, IndentManager* Margins,
                           int& FloatHeight, TList* Deferred);
    // The width of N characters from Start, inline objects included.
    int FindTextWidth(TCanvas* Canvas, int Start, int N, bool DropTrailingBlanks);
    LineRec* Line(int Index) const { return static_cast<LineRec*>(static_cast<TObject*>(LineList->Items(Index))); }

    // Painting and hit tests (SectionPaint.cpp).
    int Draw(TCanvas* Canvas, const TRect& Clip, IndentManager* Margins, int X, int Y) override;
    // Y is relative to the section's top; the caller owns Link.
    bool GetURL(TCanvas* Canvas, int X, int Y, TUrlTarget*& Link, TImageFormControlObj*& ImageControl) override;
    bool PtInObject(int X, int Y, TObject*& Obj, int& ObjX, int& ObjY) override;
    int FindCursor(TCanvas* Canvas, int X, int Y, int& CaretX, int& CaretY, int& CaretHeight, TCell*& InCell,
                   bool& InText) override;
    bool CursorToXY(TCanvas* Canvas, int Cursor, int& X, int& Y) override;
    bool GetChAtPos(int Pos, char& Ch, TObject*& Obj) override;
    int FindString(int FromPos, const char* Text, bool MatchCase) override;
    void CopyToClipboard() override;
    // Like the line fitting, without margins: how many of Max characters from
    // Start fit in Width.
    int FindCountThatFits(TCanvas* Canvas, int Width, int Start, int Max);

    // CharCount characters; the terminating zero follows.
    std::string Chars;
    // The source position of each character, until Finish.
    std::unique_ptr<IndexArray> SourceIndex;
    int Capacity = 0;
    std::unique_ptr<TFontList> FontRuns;
    std::unique_ptr<TImageObjList> ImageObjs;
    std::unique_ptr<TFormControlList> Controls;
    // Of IndexObj; made by Finish.
    std::unique_ptr<TFreeList> SourceRuns;
    int Level;
    int LevelIndent;
    int ItemNumber = 0;
    // Of LineRec, the lines of the last layout.
    std::unique_ptr<TFreeList> LineList;
    std::unique_ptr<TMyFont> MarkerFont;
    ListTypeType ListKind = ListTypeType::None;
    JustifyType Alignment;
    ClearAttrType ClearKind = clrNone;
    int LeftEdge = 0;

protected:
    // Appends characters and their positions as they are.
    void AppendRaw(const std::string& Text, const int* Positions);
    // Room for N more characters, grown geometrically.
    void GrowFor(int N);

private:
    TFontObj* LastRun() const { return FontRuns->Run(FontRuns->Count() - 1); }
    // A run at the end of the text in NewFont with the parser's style and script state: the last
    // run when it starts there, else a new one, which keeps the link before it when CarryLink.
    TFontObj* StartRun(TSectionList* Doc, TMyFont* NewFont, bool CarryLink);
    void AddLink(TFontObj* Run);
    bool OnlyFloatingImagesSoFar() const;
    int LastSourcePos() const;
    // Measuring selects the runs' fonts into the canvas's context behind the canvas's back; the
    // canvas selects its own again when this goes.
    struct TCanvasRefresh {
        TCanvas* Canvas;
        ~TCanvasRefresh() { Canvas->Refresh(); }
    };
    // Layout helpers (SectionLayout.cpp).
    int ClearHeight(IndentManager* Margins, int Y) const;
    // The characters the next line takes from Start, I of N having fitted.
    int LineLength(TCanvas* Canvas, int Start, int I, int N, int& MaxWidth);
    void FinishLine(TCanvas* Canvas, IndentManager* Margins, int Start, int N, int& Y, int FloatHeight,
                    TList& Deferred);
    // The largest n in 0..L of the characters at Start in Run whose width is at
    // most Room; RunWidth := their width.
    int FitInRoom(TCanvas* Canvas, TFontObj* Run, int Start, int L, int Room, int& RunWidth);
    // The text run at P: the characters to the next font change, image or
    // control, at most Limit.
    int TextRunLength(int P, int Limit) const;
    // Line painting (SectionPaint.cpp).
    void DrawMarker(TCanvas* Canvas, const LineRec& Line, int X, int Y);
    void DrawLine(TCanvas* Canvas, IndentManager* Margins, LineRec& Line, int X, int Y, int S, int E);
    // The line under section-relative Y; C := the characters of the lines above
    // it, Top := its top.
    int LineAtY(int Y, int& C, int& Top) const;
    // Index of the last source run whose FirstSource is at most SourcePos; -1
    // when none.
    int SourceRunAt(int SourcePos) const;
};
