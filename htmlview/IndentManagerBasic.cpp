#include "htmlview/IndentManagerBasic.h"

#include <algorithm>

namespace PaneUn2 {

thread_local int ListIndent = 35;

} // namespace PaneUn2

namespace {

bool CoversY(const IndentRec* rec, int Y) { return rec->TopY <= Y && Y < rec->BottomY; }

} // namespace

IndentManagerBasic::IndentManagerBasic()
    : LeftList(std::make_unique<TFreeList>()), RightList(std::make_unique<TFreeList>())
{
}

void IndentManagerBasic::Clear()
{
    LeftList->Clear();
    RightList->Clear();
}

void IndentManagerBasic::Reset(int Lf, int Rt)
{
    LeftLimit = Lf;
    RightLimit = Rt;
    CurrentLevel = 0;
}

IndentRec* IndentManagerBasic::AddRec(TFreeList& List, int Indent, int TopY, int BottomY, int LevelId)
{
    auto* rec = new IndentRec;
    rec->Indent = Indent;
    rec->TopY = TopY;
    rec->BottomY = BottomY;
    rec->LevelId = LevelId;
    List.Add(rec);
    return rec;
}

int IndentManagerBasic::LeftIndent(int Y) const
{
    int indent = 0;
    for (int i = 0; i < LeftList->Count(); ++i) {
        const IndentRec* rec = Rec(*LeftList, i);
        if (CoversY(rec, Y))
            indent = std::max(indent, rec->Indent);
    }
    return indent + LeftLimit;
}

int IndentManagerBasic::RightSide(int Y) const
{
    int indent = 0;
    for (int i = 0; i < RightList->Count(); ++i) {
        const IndentRec* rec = Rec(*RightList, i);
        if (CoversY(rec, Y))
            indent = std::min(indent, rec->Indent);
    }
    return indent + RightLimit;
}

int IndentManagerBasic::ImageBottom() const
{
    int bottom = 0;
    for (const TFreeList* list : {LeftList.get(), RightList.get()})
        for (int i = 0; i < list->Count(); ++i)
            if (Rec(*list, i)->LevelId == 0)
                bottom = std::max(bottom, Rec(*list, i)->BottomY);
    return bottom;
}

void IndentManagerBasic::GetClearY(int& CL, int& CR) const
{
    auto clearBelow = [](const TFreeList& list) {
        int bottom = -1;
        for (int i = 0; i < list.Count(); ++i)
            if (Rec(list, i)->LevelId == 0)
                bottom = std::max(bottom, Rec(list, i)->BottomY);
        return bottom + 1;
    };
    CL = clearBelow(*LeftList);
    CR = clearBelow(*RightList);
}

int IndentManagerBasic::GetLevelClear() const
{
    int levelIndent = 0;
    for (int i = 0; i < LeftList->Count(); ++i)
        if (Rec(*LeftList, i)->LevelId == CurrentLevel)
            levelIndent = Rec(*LeftList, i)->Indent;
    int bottom = 0;
    for (int i = 0; i < LeftList->Count(); ++i)
        if (Rec(*LeftList, i)->Indent > levelIndent)
            bottom = std::max(bottom, Rec(*LeftList, i)->BottomY);
    return bottom + 1;
}

void IndentManagerBasic::OpenLevel(int Y, int Level, int Indent)
{
    AddRec(*LeftList, Indent, Y, OpenLevelBottom, Level);
}

void IndentManagerBasic::CloseLevelsAbove(int Y, int Level)
{
    for (int i = 0; i < LeftList->Count(); ++i) {
        IndentRec* rec = Rec(*LeftList, i);
        if (rec->LevelId > Level) {
            rec->LevelId = 0;
            rec->BottomY = Y - 1;
        }
    }
}

void IndentManagerBasic::SetLevel(int Y, int Level)
{
    if (CurrentLevel < Level) {
        // LeftIndent already holds the levels opened just before, so each adds one ListIndent.
        for (int level = CurrentLevel + 1; level <= Level; ++level)
            OpenLevel(Y, level, LeftIndent(Y) + PaneUn2::ListIndent - LeftLimit);
    } else if (Level < CurrentLevel && CurrentLevel > 0) {
        CloseLevelsAbove(Y, Level);
    }
    CurrentLevel = Level;
}

void IndentManagerBasic::SetLevelSmall(int Y, int Level)
{
    if (Level == CurrentLevel + 1) {
        OpenLevel(Y, Level, LeftIndent(Y) - LeftLimit + StrayItemIndent);
        CurrentLevel = Level;
    } else if (CurrentLevel == Level + 1 && CurrentLevel > 0) {
        CloseLevelsAbove(Y, Level);
        CurrentLevel = Level;
    }
}

void IndentManagerBasic::UpdateTable(int Y, int IW, int IH, JustifyType Justify)
{
    if (Justify == PaneUn2::Left)
        AddRec(*LeftList, LeftIndent(Y) - LeftLimit + IW, Y, Y + IH, 0);
    else if (Justify == PaneUn2::Right)
        AddRec(*RightList, RightSide(Y) - RightLimit - IW, Y, Y + IH, 0);
}
