#pragma once
// THlMemoSyntax: a companion of one memo editor that turns it into a small markup editor. It draws
// every row itself and recolours its keywords, offers the tags of a DTD file and their entries in
// the memo's drop list, and shows a colour swatch while Ctrl is pressed over an HTML colour code.

#include "widgets/HlMemo.h"

#include <memory>
#include <string>

// "#RGB" or "#RRGGBB" as a colour; anything else is clNone with Ok false.
TColor HTMLColorToColor(const std::string& S, bool& Ok);

// One tag of a DTD file with its drop-list entries ("display|description|inserted text").
class TDropItem : public TObject {
    TESS_CLASS(TDropItem, TObject)
public:
    TDropItem();
    ~TDropItem() override;
    TStringList* List() const { return FList.get(); }
    void SetList(TStrings* value);
    std::string Tag() const { return FTag; }
    void SetTag(const std::string& value) { FTag = value; }

private:
    std::unique_ptr<TStringList> FList;
    std::string FTag;
};

class THlMemoSyntax : public TComponent {
    TESS_CLASS(THlMemoSyntax, TComponent)
public:
    explicit THlMemoSyntax(TComponent* AOwner);
    ~THlMemoSyntax() override;

    THlMemo* HlMemo() const { return FHlMemo; }
    // Takes over the memo's OnMemoEvents, OnDrawLine and OnDropListDown.
    void SetGsMemo(THlMemo* Value);
    bool CodeHighlight() const { return FCodeHighlight; }
    void SetCodeHighlight(bool Value);
    TColor TagForeColor() const { return FTagForeColor; }
    void SetTagForeColor(TColor Value) { StoreColor(FTagForeColor, Value); }
    TColor TagBackColor() const { return FTagBackColor; }
    void SetTagBackColor(TColor Value) { StoreColor(FTagBackColor, Value); }
    TColor TagPropForeColor() const { return FTagPropForeColor; }
    void SetTagPropForeColor(TColor Value) { StoreColor(FTagPropForeColor, Value); }
    TColor TagPropBackColor() const { return FTagPropBackColor; }
    void SetTagPropBackColor(TColor Value) { StoreColor(FTagPropBackColor, Value); }
    TColor ValueForeColor() const { return FValueForeColor; }
    void SetValueForeColor(TColor Value) { StoreColor(FValueForeColor, Value); }
    TColor ValueBackColor() const { return FValueBackColor; }
    void SetValueBackColor(TColor Value) { StoreColor(FValueBackColor, Value); }
    TColor SpecTagsForeColor() const { return FSpecTagsForeColor; }
    void SSpecTagsForeColor(TColor Value) { StoreColor(FSpecTagsForeColor, Value); }
    TColor SpecTagsBackColor() const { return FSpecTagsBackColor; }
    void SSpecTagsBackColor(TColor Value) { StoreColor(FSpecTagsBackColor, Value); }
    TColor TagBRForeColor() const { return FTagBRForeColor; }
    void SBRTagForeColor(TColor Value) { StoreColor(FTagBRForeColor, Value); }
    TColor TagBRBackColor() const { return FTagBRBackColor; }
    void SBRTagBackColor(TColor Value) { StoreColor(FTagBRBackColor, Value); }
    bool UseSpecTagsHighlight() const { return FUseSpecTagsHighlight; }
    void SetUseSpecTagsHighlight(bool Value) { StoreFlag(FUseSpecTagsHighlight, Value); }
    bool UseBRTagHighlight() const { return FUseBRTagHighlight; }
    void SetUseBRTagHighlight(bool Value) { StoreFlag(FUseBRTagHighlight, Value); }
    TStrings* Keywords() const { return FKeywords.get(); }
    void SetKeywords(TStrings* Value);

    // The tags: upper-case names with their TDropItem objects (owned).
    TStringList* DropItems() const { return FDropItems.get(); }
    // Takes Item; -1 for none.
    int AddDropItem(TDropItem* Item);
    void DeleteDropItem(int Index);
    void ClearDropItems();
    // A missing file changes nothing.
    void GetDropItemsFromDTDFile(const std::string& FileName);
    // The same reading over lines already in memory.
    void GetDropItemsFromDTDLines(TStrings* Lines);
    void UpdateDropListForTag(const std::string& Tag);
    void UpdateDropList_AllTags();

    void MemoEvents(TObject* Sender, TShiftState Shift, THlKeyEvent KeyEvent, WORD Key, TPoint CaretPos,
                    TPoint MousePos);
    void MemoDrawLine(TObject* Sender, const std::string& LineText, int LineIndex, TBitmap* LineGlyph,
                      TRect& TextRect, bool& AllowSelfDraw);
    void DropListDown(TObject* Sender);
    void ShowColorHint(int X, int Y, TColor Colour);

protected:
    void Notification(TComponent* AComponent, TOperation Operation) override;
    virtual void ParseLine(const std::string& Line, TCanvas* Canvas);

private:
    void StoreColor(TColor& field, TColor value);
    void StoreFlag(bool& field, bool value);
    void InvalidateMemo();
    bool IsKeyword(const std::string& word) const;
    // The tag whose name starts two columns right of the "<" at column of row.
    std::string TagNameAfter(int Row, int Column);

    THlMemo* FHlMemo = nullptr;
    bool FCodeHighlight = true;
    TColor FTagForeColor = clNavy;
    TColor FTagBackColor = clWhite;
    TColor FTagPropForeColor = clPurple;
    TColor FTagPropBackColor = clWhite;
    TColor FValueForeColor = clGray;
    TColor FValueBackColor = clWhite;
    TColor FSpecTagsForeColor = clGreen;
    TColor FSpecTagsBackColor = clWhite;
    TColor FTagBRForeColor = clRed;
    TColor FTagBRBackColor = clWhite;
    bool FUseSpecTagsHighlight = true;
    bool FUseBRTagHighlight = true;
    std::unique_ptr<TStringList> FDropItems;
    std::unique_ptr<TStringList> FKeywords;
};
