#include "htmlview/SectionBase.h"

#include "htmlview/Section.h"

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
    for (int i = 0; i < Count(); ++i)
        Section(i)->UpdateFonts();
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
