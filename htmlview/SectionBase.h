#pragma once
// The interface of every block of a viewer document, with the behaviour of a
// block that has no text, and the cell: a vertical list of blocks laid out top
// to bottom within one width. The document itself, every table cell and every
// table caption are cells.

#include "htmlview/PaneUn2.h"
#include "platform/gui/Canvas.h"
#include "platform/rtl/Exceptions.h"

#include <memory>
#include <vector>

class TSectionList;
class TCell;
class TImageFormControlObj;

// A block that cannot be laid out; the cell layout reports it and drops the
// block.
TESS_EXCEPTION(EProcessError, Exception)

// The margins of one cell, narrowed by floating images and tables. Registering
// the floating objects of a line comes with the line layout.
class TFloatingObj;

class IndentManager : public IndentManagerBasic {
    TESS_CLASS(IndentManager, IndentManagerBasic)
public:
    // Registers a floating image at Y: it narrows the lines beside it down to
    // its bottom, and its FloatX is set. Nothing for nullptr or an image that
    // does not float.
    void Update(int Y, TFloatingObj* Float);
};

class TSectionBase : public TObject {
    TESS_CLASS(TSectionBase, TObject)
public:
    explicit TSectionBase(TSectionList* Doc);

    // Appends the selected text to the document's selection buffer.
    virtual void CopyToClipboard();
    // Lays the section out at document Y; returns its height and advances Pos
    // past its characters.
    virtual int DrawLogic(TCanvas* Canvas, int Y, IndentManager* Margins, int& MaxWidth, int& Pos);
    // Paints the section; returns the Y below it.
    virtual int Draw(TCanvas* Canvas, const TRect& Clip, IndentManager* Margins, int X, int Y);
    virtual bool GetURL(TCanvas* Canvas, int X, int Y, TUrlTarget*& Link, TImageFormControlObj*& ImageControl);
    virtual bool PtInObject(int X, int Y, TObject*& Obj, int& ObjX, int& ObjY);
    virtual int FindCursor(TCanvas* Canvas, int X, int Y, int& CaretX, int& CaretY, int& CaretHeight, TCell*& InCell,
                           bool& InText);
    virtual int FindString(int FromPos, const char* Text, bool MatchCase);
    // The source position of a document position; -1 when the section does not
    // hold it.
    virtual int FindSourcePos(int DocPos);
    // The document position of a source position, snapping backward or forward
    // over markup.
    virtual int FindDocPos(int SourcePos, bool Backward);
    virtual bool CursorToXY(TCanvas* Canvas, int Cursor, int& X, int& Y);
    virtual bool GetChAtPos(int Pos, char& Ch, TObject*& Obj);
    // Takes the document's fonts and base size again.
    virtual void UpdateFonts();
    // Recomputes sizes that follow the document's base size.
    virtual void UpdateSpacing();
    virtual void MinMaxWidth(TCanvas* Canvas, int& Min, int& Max);

    void SetParent(TSectionList* List);

    TSectionList* Document;
    int FlowHeight = 0;
    int PaintHeight = 0;
    int TopY = 0;
    int FirstPos = 0;
    int CharCount = 0;
};

// A list of sections that owns them.
class TCell : public TFreeList {
    TESS_CLASS(TCell, TFreeList)
public:
    explicit TCell(TSectionList* Doc);
    ~TCell() override;

    TSectionBase* Section(int Index) const { return static_cast<TSectionBase*>(static_cast<TObject*>(Items(Index))); }
    // Appends Item (nullptr is ignored); a text section is finished first.
    void Add(TSectionBase* Item);
    void UpdateFonts();
    // Lays out the sections from FirstIndex on, from Y + FirstY, within Width;
    // returns the cell's height. A section that cannot be laid out is reported
    // and dropped.
    virtual int DoLogic(TCanvas* Canvas, int Y, int Width, int& MaxWidth, int& Pos, int FirstY, int FirstIndex);
    virtual void MinMaxWidth(TCanvas* Canvas, int& Min, int& Max);
    // Paints the sections from Y; returns the Y below the last.
    virtual int Draw(TCanvas* Canvas, const TRect& Clip, int ClipWidth, int X, int Y);
    virtual bool GetURL(TCanvas* Canvas, int X, int Y, TUrlTarget*& Link, TImageFormControlObj*& ImageControl);
    // The section whose band holds the cell-relative Pos, Top := the band's top;
    // nullptr below the last band.
    TSectionBase* FindSectionAtPosition(int Pos, int& Top, int& Index) const;
    bool PtInObject(int X, int Y, TObject*& Obj, int& ObjX, int& ObjY);
    int FindCursor(TCanvas* Canvas, int X, int Y, int& CaretX, int& CaretY, int& CaretHeight, TCell*& InCell,
                   bool& InText);
    int FindString(int FromPos, const char* Text, bool MatchCase);
    bool CursorToXY(TCanvas* Canvas, int Cursor, int& X, int& Y);
    bool GetChAtPos(int Pos, char& Ch, TObject*& Obj);
    // Appends the selected text of the sections to the document's selection
    // buffer.
    void CopyToClipboard();
    // The first section's answer that is a position, asking in order; -1 when
    // none.
    int FindSourcePos(int DocPos) const;
    // Backward asks from the last section to the first, otherwise from the first.
    int FindDocPos(int SourcePos, bool Backward) const;

    TSectionList* Document;
    int TopY = 0;
    int FirstPos = 0;
    int CharCount = 0;
    std::unique_ptr<IndentManager> Margins;
    bool HasBackColor = false;
    TColor BackColor = clNone;

private:
    // Each section's band as the last layout left it, so that a point deep in a long document
    // is found without walking every section before it.
    struct TSectionBand {
        int Top;
        int ReachBottom; // the lowest painted pixel of this section and of all before it
    };
    void RecordBands();
    // The first section whose painting can reach Y, with its band's top.
    int FirstSectionReaching(int Y, int& Top) const;
    bool BandsKnown() const;
    std::vector<TSectionBand> FBands;
    bool FBandsValid = false;
};
