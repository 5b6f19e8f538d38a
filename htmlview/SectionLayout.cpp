// Line layout of a text section: lines broken at spaces and object placeholders within the
// margins of the cell, floating images narrowing the lines beside them, and the widths a table
// asks for its columns.

#include "htmlview/BlockSections.h"
#include "htmlview/FormControls.h"
#include "htmlview/ImageObj.h"
#include "htmlview/PaneMetrics.h"
#include "htmlview/Section.h"
#include "htmlview/SectionList.h"
#include "platform/gui/WinControl.h"
#include "platform/gui/GdiObjects.h"

#include <algorithm>

namespace {

// Where a line may end: a space or an object that allows a break.
bool IsBreakChar(char C) { return C == ' ' || C == SectionChars::Image || C == SectionChars::FormControl; }

bool IsPlaceholder(char C) { return SectionChars::IsImage(C) || SectionChars::IsFormControl(C); }

// The first characters measured when fitting a run; the count doubles while they all fit, so a
// long run costs in proportion to what goes on the line.
constexpr int FirstFitProbe = 64;

} // namespace

void IndentManager::Update(int Y, TFloatingObj* Float)
{
    if (Float == nullptr)
        return;
    const int bottom = Y + Float->BoxHeight + 2 * Float->VertSpace;
    if (Float->Placement == PaneUn2::ALeft) {
        const int left = LeftIndent(Y);
        Float->FloatX = left - LeftLimit;
        AddRec(*LeftList, left - LeftLimit + Float->BoxWidth + Float->HorzSpace, Y, bottom, 0);
    } else if (Float->Placement == PaneUn2::ARight) {
        const int right = RightSide(Y);
        AddRec(*RightList, right - RightLimit - (Float->BoxWidth + Float->HorzSpace), Y, bottom, 0);
        Float->FloatX = right - Float->BoxWidth;
    }
}

int TSection::TextRunLength(int P, int Limit) const
{
    const int length = std::min({Limit, FontRuns->GetFontCountAt(P, CharCount), ImageObjs->GetImageCountAt(P),
                                 Controls->GetControlCountAt(P)});
    return std::max(1, length);
}

int TSection::FindTextWidth(TCanvas* Canvas, int Start, int N, bool DropTrailingBlanks)
{
    Start = std::max(0, Start);
    N = std::min(N, CharCount - Start);
    if (N <= 0)
        return 0;
    if (DropTrailingBlanks)
        while (N > 1 && Chars[static_cast<std::size_t>(Start + N - 1)] == ' ')
            --N;
    HDC dc = Canvas->Handle();
    int width = 0;
    const int end = Start + N;
    for (int p = Start; p < end;) {
        const char c = Chars[static_cast<std::size_t>(p)];
        if (SectionChars::IsImage(c)) {
            const TImageObj* image = ImageObjs->FindImage(p);
            if (image != nullptr && !image->IsFloating())
                width += image->BoxWidth + 2 * image->HorzSpace;
            ++p;
        } else if (SectionChars::IsFormControl(c)) {
            width += std::max(0, Controls->GetWidthAt(p));
            ++p;
        } else {
            int index = 0;
            TFontObj* run = FontRuns->GetFontObjAt(p, index);
            const int length = TextRunLength(p, end - p);
            SelectObject(dc, run->RunFont->Handle());
            width += PaneUn2::GetXExtent(dc, Chars.data() + p, length) - run->Overhang;
            p += length;
        }
    }
    Canvas->Refresh();
    return width;
}

int TSection::FitInRoom(TCanvas* Canvas, TFontObj* Run, int Start, int L, int Room, int& RunWidth)
{
    RunWidth = 0;
    const int limit = Room + Run->Overhang;
    if (limit < 0 || L <= 0)
        return 0;
    HDC dc = Canvas->Handle();
    SelectObject(dc, Run->RunFont->Handle());
    TPaneMetrics& metrics = PaneMetrics();
    const char* text = Chars.data() + Start;
    int probe = std::min(L, FirstFitProbe);
    while (probe < L && metrics.TextWidth(dc, text, probe) <= limit)
        probe = std::min(L, probe * 2);
    const int n = std::clamp(metrics.FitCount(dc, text, probe, limit), 0, probe);
    if (n == L)
        RunWidth = metrics.TextWidth(dc, text, L) - Run->Overhang;
    return n;
}

int TSection::FindCountThatFits1(TCanvas* Canvas, int Width, int Start, int Max, int Y, IndentManager* Margins,
                                 int& FloatHeight, TList* Deferred)
{
    const TCanvasRefresh refresh{Canvas};
    FloatHeight = 0;
    int count = 0, x = 0;
    bool atLineStart = true;
    while (count < Max && Start + count < CharCount) {
        const int p = Start + count;
        const char c = Chars[static_cast<std::size_t>(p)];
        if (SectionChars::IsImage(c) || SectionChars::IsFormControl(c)) {
            if (SectionChars::IsImage(c)) {
                TImageObj* image = ImageObjs->FindImage(p);
                if (image != nullptr && image->IsFloating()) {
                    if (atLineStart) {
                        Margins->Update(Y, image);
                        x += image->HorzSpace + image->BoxWidth;
                        FloatHeight = std::max(FloatHeight, image->BoxHeight + 2 * image->VertSpace);
                    } else
                        Deferred->Add(static_cast<TObject*>(image));
                } else {
                    if (image != nullptr)
                        x += image->BoxWidth + 2 * image->HorzSpace;
                    atLineStart = false;
                }
            } else {
                x += std::max(0, Controls->GetWidthAt(p));
                atLineStart = false;
            }
            if (x > Width)
                return count;
            ++count;
            continue;
        }
        int index = 0;
        TFontObj* run = FontRuns->GetFontObjAt(p, index);
        const int length = TextRunLength(p, Max - count);
        int runWidth = 0;
        const int step = FitInRoom(Canvas, run, p, length, Width - x, runWidth);
        if (count + step >= Max)
            return Max;
        count += step;
        if (step < length)
            return count;
        x += runWidth;
        atLineStart = false;
    }
    return Max;
}

int TSection::ClearHeight(IndentManager* Margins, int Y) const
{
    if (ClearKind == clrNone)
        return 0;
    int clearLeft = 0, clearRight = 0;
    Margins->GetClearY(clearLeft, clearRight);
    const int left = std::max(0, clearLeft - Y - 1);
    const int right = std::max(0, clearRight - Y - 1);
    if (ClearKind == clLeft)
        return left;
    if (ClearKind == clRight)
        return right;
    return std::max(left, right);
}

int TSection::LineLength(TCanvas* Canvas, int Start, int I, int N, int& MaxWidth)
{
    if (I >= N)
        return N;
    const auto at = [this](int P) { return Chars[static_cast<std::size_t>(P)]; };
    const int last = Start + I - 1;
    if (at(last) == ' ') {
        int end = last + 1;
        while (end < CharCount && at(end) == ' ')
            ++end;
        return end - Start;
    }
    if (at(last + 1) == SectionChars::Image || at(last + 1) == SectionChars::FormControl)
        return I;
    int back = last;
    while (back > Start && !IsBreakChar(at(back)))
        --back;
    if (back > Start)
        return back - Start + 1;
    // A word wider than the line goes on it whole, with the spaces after it.
    int wordEnd = last + 1;
    while (wordEnd < CharCount && !IsBreakChar(at(wordEnd)))
        ++wordEnd;
    int end = wordEnd;
    while (end < CharCount && at(end) == ' ')
        ++end;
    MaxWidth = std::max(MaxWidth, FindTextWidth(Canvas, Start, wordEnd - Start, true));
    return end - Start;
}

void TSection::FinishLine(TCanvas* Canvas, IndentManager* Margins, int Start, int N, int& Y, int FloatHeight,
                          TList& Deferred)
{
    auto* line = new LineRec;
    line->LineStart = Start;
    line->LineChars = N;
    const int end = Start + N;
    bool hasText = false;
    for (int p = Start; p < end && !hasText; ++p) {
        const char c = Chars[static_cast<std::size_t>(p)];
        hasText = !IsPlaceholder(c);
    }
    if (hasText) {
        int index = 0;
        FontRuns->GetFontObjAt(Start, index);
        for (int i = index; i < FontRuns->Count() && (i == index || FontRuns->Run(i)->StartPos < end); ++i) {
            line->TextHeight = std::max(line->TextHeight, FontRuns->Run(i)->LineHeight);
            line->LineDescent = std::max(line->LineDescent, FontRuns->Run(i)->Descent);
        }
    }
    const int textHeight = line->TextHeight;
    for (int i = 0; i < ImageObjs->Count(); ++i) {
        const TImageObj* image = ImageObjs->Image(i);
        if (image->SrcPos >= end)
            break;
        if (image->SrcPos < Start || image->IsFloating())
            continue;
        const int h = image->BoxHeight;
        if (image->Placement == PaneUn2::ATop)
            line->BelowText = std::max(line->BelowText, h - textHeight);
        else if (image->Placement == PaneUn2::AMiddle) {
            const int middle = (h - textHeight) / 2;
            line->BelowText = std::max(line->BelowText, middle);
            line->AboveText = std::max(line->AboveText, h - textHeight - middle);
        } else
            line->AboveText = std::max(line->AboveText, h + line->LineDescent - textHeight);
    }
    for (int i = 0; i < Controls->Count(); ++i) {
        TFormControlObj* control = Controls->Control(i);
        if (control->SrcPos >= end)
            break;
        if (control->SrcPos < Start || control->WinControl == nullptr)
            continue;
        const int h = control->WinControl->Height();
        const int above = control->OnBaseline ? h + line->LineDescent - textHeight : h - textHeight;
        line->AboveText = std::max(line->AboveText, above);
        control->DocY = Y;
    }
    const int t = FindTextWidth(Canvas, Start, N, true);
    const int left = Margins->LeftIndent(Y), right = Margins->RightSide(Y);
    if (Alignment == PaneUn2::Centered)
        line->LineX = std::max(left, (right + left - t) / 2);
    else if (Alignment == PaneUn2::Right)
        line->LineX = right - t - 1;
    else
        line->LineX = left;
    LineList->Add(line);
    const int h = line->TextHeight + line->AboveText + line->BelowText;
    FlowHeight += h;
    Y += h;
    line->LinePaintHeight = std::max(h, FloatHeight);
    for (int i = 0; i < Deferred.Count(); ++i) {
        auto* floating = static_cast<TFloatingObj*>(static_cast<TObject*>(Deferred.Items(i)));
        // A float the line stopped short of is met again on the next line.
        if (floating->SrcPos >= end)
            continue;
        Margins->Update(Y, floating);
        line->LinePaintHeight =
            std::max(line->LinePaintHeight, h + floating->BoxHeight + 2 * floating->VertSpace);
    }
    Deferred.Clear();
}

int TSection::DrawLogic(TCanvas* Canvas, int Y, IndentManager* Margins, int& MaxWidth, int& Pos)
{
    TopY = Y;
    FirstPos = Pos;
    FlowHeight = 0;
    LineList->Clear();
    if (LevelIndent == IndentManagerBasic::StrayItemIndent)
        Margins->SetLevelSmall(Y, Level);
    else
        Margins->SetLevel(Y, Level);
    if (CharCount == 0) {
        const int h = ClearHeight(Margins, Y);
        FlowHeight = PaintHeight = h;
        MaxWidth = 0;
        return h;
    }
    LeftEdge = Margins->LeftIndent(Y);
    MaxWidth = Margins->CellWidth;
    const int available = Margins->RightSide(Y) - Margins->LeftIndent(Y);
    for (int i = 0; i < ImageObjs->Count(); ++i) {
        TImageObj* image = ImageObjs->Image(i);
        int index = 0;
        image->DrawLogic(Document, Canvas, FontRuns->GetFontObjAt(image->SrcPos, index), available);
        MaxWidth = std::max(MaxWidth, image->BoxWidth + LevelIndent);
    }
    for (int i = 0; i < Controls->Count(); ++i)
        if (const TWinControl* window = Controls->Control(i)->WinControl)
            MaxWidth = std::max(MaxWidth, window->Width() + LevelIndent);

    TList deferred;
    int current = 0;
    const int clear = ClearHeight(Margins, Y);
    if (clear > 0) {
        auto* blank = new LineRec;
        blank->LineStart = current;
        blank->TextHeight = clear;
        blank->LinePaintHeight = clear;
        LineList->Add(blank);
        FlowHeight += clear;
        Y += clear;
    }
    while (current < CharCount) {
        const int width = Margins->RightSide(Y) - Margins->LeftIndent(Y);
        const int left = CharCount - current;
        int floatHeight = 0;
        const int fits =
            std::max(1, FindCountThatFits1(Canvas, width, current, left, Y, Margins, floatHeight, &deferred));
        const int n = LineLength(Canvas, current, fits, left, MaxWidth);
        FinishLine(Canvas, Margins, current, n, Y, floatHeight, deferred);
        current += n;
    }
    Pos = FirstPos + CharCount;
    if (Level > 0)
        FlowHeight = std::max(FlowHeight, Margins->GetLevelClear() - TopY);
    PaintHeight = std::max(FlowHeight, Margins->ImageBottom() - TopY);
    return FlowHeight;
}

void TSection::MinMaxWidth(TCanvas* Canvas, int& Min, int& Max)
{
    Min = 0;
    Max = 0;
    if (CharCount == 0)
        return;
    int floats = 0;
    for (int i = 0; i < ImageObjs->Count(); ++i) {
        TImageObj* image = ImageObjs->Image(i);
        int index = 0;
        image->DrawLogic(Document, Canvas, FontRuns->GetFontObjAt(image->SrcPos, index), 0);
        if (image->WidthIsPercent)
            continue;
        if (image->IsFloating())
            floats += image->BoxWidth + image->HorzSpace;
        else
            Min = std::max(Min, image->BoxWidth);
    }
    Max = floats + FindTextWidth(Canvas, 0, CharCount, false) + LevelIndent;
    for (int start = 0; start < CharCount;) {
        int end = start;
        while (end < CharCount && Chars[static_cast<std::size_t>(end)] != ' ' &&
               Chars[static_cast<std::size_t>(end)] != SectionChars::Image)
            ++end;
        if (end > start)
            Min = std::max(Min, FindTextWidth(Canvas, start, end - start, false));
        start = end + 1;
    }
    Min += floats + LevelIndent;
}
