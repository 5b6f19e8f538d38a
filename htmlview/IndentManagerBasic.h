#pragma once
// The margin keeper of one cell of a viewer document: for any vertical position, where text may
// start and where it must end, given the open list levels and the objects floating at a side.

#include "htmlview/Symbols.h"
#include "htmlview/TokenObj.h"

#include <memory>

namespace PaneUn2 {

// The indent of one list level in pixels. Each thread has its own: the parser thread sets it to
// 15 while it builds a list item that stands outside any list, and that must neither leak into
// the layout on the GUI thread nor into another viewer's parse.
extern thread_local int ListIndent;

} // namespace PaneUn2

// One indent over a vertical range: a list level or a floating object.
class IndentRec : public TObject {
    TESS_CLASS(IndentRec, TObject)
public:
    // Left records: distance from the left edge (positive). Right records: offset from the right
    // edge (negative or zero).
    int Indent = 0;
    // The record covers TopY <= Y < BottomY; an open list level reaches down to OpenLevelBottom.
    int TopY = 0;
    int BottomY = 0;
    // The list level the record stands for; 0 for a floating object and for a closed level.
    int LevelId = 0;
};

class IndentManagerBasic : public TObject {
    TESS_CLASS(IndentManagerBasic, TObject)
public:
    static constexpr int OpenLevelBottom = 9999999;
    // The indent of a list item outside any list.
    static constexpr int StrayItemIndent = 15;

    IndentManagerBasic();
    IndentManagerBasic(const IndentManagerBasic&) = delete;
    IndentManagerBasic& operator=(const IndentManagerBasic&) = delete;

    // Frees every record of both lists.
    void Clear();
    // New edges and no list level; the records stay.
    void Reset(int Lf, int Rt);
    // The x where text may start at Y.
    int LeftIndent(int Y) const;
    // The x where text must end at Y.
    int RightSide(int Y) const;
    // The lowest bottom of all floating objects (closed list levels included); 0 when none.
    int ImageBottom() const;
    // The first Y below the left floats and below the right floats; 0 for a side without any.
    void GetClearY(int& CL, int& CR) const;
    // The first Y below the left records that reach further in than the current level.
    int GetLevelClear() const;
    // Opens the list levels up to Level, or closes those above it, at Y.
    void SetLevel(int Y, int Level);
    // The same for a list item outside any list: one level at a time, 15 pixels a level.
    void SetLevelSmall(int Y, int Level);
    // A table IW wide and IH high floating at the left or right from Y; other justifications
    // register nothing.
    void UpdateTable(int Y, int IW, int IH, JustifyType Justify);

    int CellWidth = 0;
    int DrawClipWidth = 0;
    std::unique_ptr<TFreeList> LeftList;
    std::unique_ptr<TFreeList> RightList;
    int CurrentLevel = 0;
    int LeftLimit = 0;
    int RightLimit = 0;

protected:
    static IndentRec* Rec(const TFreeList& List, int Index)
    {
        return static_cast<IndentRec*>(static_cast<TObject*>(List.Items(Index)));
    }
    // Adds a record to List and returns it.
    static IndentRec* AddRec(TFreeList& List, int Indent, int TopY, int BottomY, int LevelId);

private:
    void OpenLevel(int Y, int Level, int Indent);
    void CloseLevelsAbove(int Y, int Level);
};
