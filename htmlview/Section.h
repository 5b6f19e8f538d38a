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
class LineRec;

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
    // Index of the last source run whose FirstSource is at most SourcePos; -1
    // when none.
    int SourceRunAt(int SourcePos) const;
};
