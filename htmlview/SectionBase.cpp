#include "htmlview/SectionBase.h"

#include "htmlview/Section.h"
#include "htmlview/SectionList.h"
#include "platform/gui/DialogService.h"

#include <algorithm>

TSectionBase::TSectionBase(TSectionList* Doc) : Document(Doc) {}

void TSectionBase::CopyToClipboard() {}

int TSectionBase::DrawLogic(TCanvas* /*Canvas*/, int /*Y*/, IndentManager* Margins, int& MaxWidth, int& Pos)
{
    FirstPos = Pos;
    PaintHeight = FlowHeight;
    MaxWidth = Margins->CellWidth;
    return FlowHeight;
}

int TSectionBase::Draw(TCanvas* /*Canvas*/, const TRect& /*Clip*/, IndentManager* /*Margins*/, int /*X*/, int Y)
{
    TopY = Y;
    return Y + FlowHeight;
}

bool TSectionBase::GetURL(TCanvas* /*Canvas*/, int /*X*/, int /*Y*/, TUrlTarget*& /*Link*/,
                          TImageFormControlObj*& /*ImageControl*/)
{
    return false;
}

bool TSectionBase::PtInObject(int /*X*/, int /*Y*/, TObject*& /*Obj*/, int& /*ObjX*/, int& /*ObjY*/) { return false; }

int TSectionBase::FindCursor(TCanvas* /*Canvas*/, int /*X*/, int /*Y*/, int& /*CaretX*/, int& /*CaretY*/,
                             int& /*CaretHeight*/, TCell*& /*InCell*/, bool& /*InText*/)
{
    return -1;
}

int TSectionBase::FindString(int /*FromPos*/, const char* /*Text*/, bool /*MatchCase*/) { return -1; }

int TSectionBase::FindSourcePos(int /*DocPos*/) { return -1; }

int TSectionBase::FindDocPos(int /*SourcePos*/, bool /*Backward*/) { return -1; }

bool TSectionBase::CursorToXY(TCanvas* /*Canvas*/, int /*Cursor*/, int& /*X*/, int& /*Y*/) { return false; }

bool TSectionBase::GetChAtPos(int /*Pos*/, char& /*Ch*/, TObject*& /*Obj*/) { return false; }

void TSectionBase::UpdateFonts() { UpdateSpacing(); }

void TSectionBase::UpdateSpacing() {}

void TSectionBase::MinMaxWidth(TCanvas* /*Canvas*/, int& Min, int& Max)
{
    Min = 0;
    Max = 0;
}

void TSectionBase::SetParent(TSectionList* List)
{
    Document = List;
    UpdateSpacing();
}

TCell::TCell(TSectionList* Doc) : Document(Doc), Margins(std::make_unique<IndentManager>()) {}

TCell::~TCell()
{
    Margins.reset();
    Clear();
}

void TCell::Add(TSectionBase* Item)
{
    if (Item == nullptr)
        return;
    TFreeList::Add(Item);
    if (auto* section = dynamic_cast<TSection*>(Item))
        section->Finish();
    Item->SetParent(Document);
}

void TCell::UpdateFonts()
{
    // Spacing follows the fonts, so the recorded bands no longer hold until the next layout.
    FBandsValid = false;
    for (int i = 0; i < Count(); ++i)
        Section(i)->UpdateFonts();
}

void TCell::RecordBands()
{
    FBands.clear();
    FBands.reserve(static_cast<std::size_t>(Count()));
    FBandsValid = true;
    int top = 0, reach = 0;
    for (int i = 0; i < Count(); ++i) {
        const TSectionBase* section = Section(i);
        if (section->FlowHeight < 0)
            FBandsValid = false; // tops would not grow in order
        reach = i == 0 ? top + section->PaintHeight : std::max(reach, top + section->PaintHeight);
        FBands.push_back({top, reach});
        top += section->FlowHeight;
    }
}

bool TCell::BandsKnown() const { return FBandsValid && FBands.size() == static_cast<std::size_t>(Count()); }

int TCell::FirstSectionReaching(int Y, int& Top) const
{
    Top = 0;
    if (!BandsKnown())
        return 0;
    const auto first = std::upper_bound(FBands.begin(), FBands.end(), Y,
                                        [](int y, const TSectionBand& band) { return y < band.ReachBottom; });
    if (first == FBands.end())
        return Count();
    Top = first->Top;
    return static_cast<int>(first - FBands.begin());
}

int TCell::FindSourcePos(int DocPos) const
{
    for (int i = 0; i < Count(); ++i) {
        const int answer = Section(i)->FindSourcePos(DocPos);
        if (answer >= 0)
            return answer;
    }
    return -1;
}

int TCell::FindDocPos(int SourcePos, bool Backward) const
{
    for (int k = 0; k < Count(); ++k) {
        const int answer = Section(Backward ? Count() - 1 - k : k)->FindDocPos(SourcePos, Backward);
        if (answer >= 0)
            return answer;
    }
    return -1;
}

int TCell::DoLogic(TCanvas* Canvas, int Y, int Width, int& MaxWidth, int& Pos, int FirstY, int FirstIndex)
{
    Margins->Clear();
    Margins->Reset(0, Width);
    Margins->CellWidth = Width;
    TopY = Y;
    FirstPos = Pos;
    int height = FirstY;
    for (int i = std::max(0, FirstIndex); i < Count();) {
        TSectionBase* section = Section(i);
        int width = 0;
        try {
            height += section->DrawLogic(Canvas, Y + height, Margins.get(), width, Pos);
        } catch (const EProcessError& error) {
            // The block is reported and dropped; the rest of the document still shows.
            MessageDlg(error.Message, mtError, TMsgDlgButtons{mbOK}, 0);
            TList::Delete(i);
            delete section;
            continue;
        }
        MaxWidth = std::max(MaxWidth, width);
        ++i;
    }
    CharCount = Pos - FirstPos;
    RecordBands();
    return std::max(height, Margins->ImageBottom() - Y);
}

void TCell::MinMaxWidth(TCanvas* Canvas, int& Min, int& Max)
{
    Min = 0;
    Max = 0;
    for (int i = 0; i < Count(); ++i) {
        int sectionMin = 0, sectionMax = 0;
        Section(i)->MinMaxWidth(Canvas, sectionMin, sectionMax);
        Min = std::max(Min, sectionMin);
        Max = std::max(Max, sectionMax);
    }
}

int TCell::Draw(TCanvas* Canvas, const TRect& Clip, int ClipWidth, int X, int Y)
{
    Margins->Reset(X, X + Margins->CellWidth);
    Margins->DrawClipWidth = ClipWidth;
    for (int i = 0; i < Count(); ++i)
        Y = Section(i)->Draw(Canvas, Clip, Margins.get(), X, Y);
    return Y;
}

TSectionBase* TCell::FindSectionAtPosition(int Pos, int& Top, int& Index) const
{
    int top = 0;
    for (int i = 0; i < Count(); ++i) {
        const int height = Section(i)->FlowHeight;
        if (Pos >= top && Pos < top + height) {
            Top = top;
            Index = i;
            return Section(i);
        }
        top += height;
    }
    return nullptr;
}

bool TCell::GetURL(TCanvas* Canvas, int X, int Y, TUrlTarget*& Link, TImageFormControlObj*& ImageControl)
{
    Link = nullptr;
    ImageControl = nullptr;
    const bool ordered = BandsKnown();
    int top = 0;
    for (int i = FirstSectionReaching(Y, top); i < Count(); ++i) {
        if (ordered && top > Y)
            break; // no later band starts above the point
        TSectionBase* section = Section(i);
        if (top <= Y && Y < top + section->PaintHeight && section->GetURL(Canvas, X, Y - top, Link, ImageControl))
            return true;
        top += section->FlowHeight;
    }
    return false;
}

bool TCell::PtInObject(int X, int Y, TObject*& Obj, int& ObjX, int& ObjY)
{
    Obj = nullptr;
    const bool ordered = BandsKnown();
    int top = 0;
    for (int i = FirstSectionReaching(Y, top); i < Count(); ++i) {
        if (ordered && top > Y)
            break;
        TSectionBase* section = Section(i);
        if (top <= Y && Y < top + section->PaintHeight && section->PtInObject(X, Y - top, Obj, ObjX, ObjY))
            return true;
        top += section->FlowHeight;
    }
    return false;
}

int TCell::FindCursor(TCanvas* Canvas, int X, int Y, int& CaretX, int& CaretY, int& CaretHeight, TCell*& InCell,
                      bool& InText)
{
    int top = 0, index = 0;
    TSectionBase* section = FindSectionAtPosition(Y, top, index);
    if (section == nullptr)
        return -1;
    const int position = section->FindCursor(Canvas, X, Y - top, CaretX, CaretY, CaretHeight, InCell, InText);
    CaretY += top;
    if (position >= 0 && InCell == nullptr)
        InCell = this;
    return position;
}

int TCell::FindString(int FromPos, const char* Text, bool MatchCase)
{
    for (int i = 0; i < Count(); ++i) {
        const int found = Section(i)->FindString(FromPos, Text, MatchCase);
        if (found >= 0)
            return found;
    }
    return -1;
}

bool TCell::CursorToXY(TCanvas* Canvas, int Cursor, int& X, int& Y)
{
    for (int i = 0; i < Count(); ++i)
        if (Section(i)->CursorToXY(Canvas, Cursor, X, Y))
            return true;
    return false;
}

bool TCell::GetChAtPos(int Pos, char& Ch, TObject*& Obj)
{
    if (Pos < FirstPos || Pos > FirstPos + CharCount)
        return false;
    for (int i = 0; i < Count(); ++i)
        if (Section(i)->GetChAtPos(Pos, Ch, Obj))
            return true;
    return false;
}

void TCell::CopyToClipboard()
{
    if (Document == nullptr || Document->SelStart >= Document->SelEnd)
        return;
    for (int i = 0; i < Count(); ++i) {
        TSectionBase* section = Section(i);
        if (section->FirstPos + section->CharCount <= Document->SelStart)
            continue;
        if (section->FirstPos >= Document->SelEnd)
            break;
        section->CopyToClipboard();
    }
}
