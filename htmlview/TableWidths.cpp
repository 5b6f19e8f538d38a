// The widths of a table's columns: from the minimum and maximum widths of the cells' contents,
// the widths cells and table ask for (pixels or per mille) and the space there is. Two ways: by
// shares, and by pixels when cells give pixel widths and the table none.

#include "htmlview/HtmlTable.h"

#include "htmlview/SectionList.h"

#include <algorithm>

namespace {

// No width or height of a table goes past this, so that sums over 200 columns and nested tables
// stay well inside 32 bits whatever the page asks for.
constexpr int MaxTableExtent = 1 << 22;

int Capped(int Value) { return std::clamp(Value, -MaxTableExtent, MaxTableExtent); }

// Passes of the share scaling in the width choice; each pass only shrinks the shares.
constexpr int MaxShareScalingPasses = 10;

// The space a cell adds around its content.
int CellFrame(int CellPadding, int CellSpacing) { return 2 * CellPadding + CellSpacing; }

// The cells of span level S: each at its grid index, whatever the row.
template <typename Visit> void ForEachCellOfSpan(const ThtmlTable& Table, int S, bool& More, Visit visit)
{
    More = false;
    for (int r = 0; r < Table.Rows->Count(); ++r) {
        TCellList* row = Table.Row(r);
        for (int i = 0; i < row->Count(); ++i) {
            TCellObj* cellObj = row->CellObj(i);
            if (cellObj == nullptr || cellObj->ColSpan <= 0)
                continue;
            if (cellObj->ColSpan > S)
                More = true;
            if (cellObj->ColSpan == S)
                visit(*cellObj, i, std::min(S, MaxRowEntries - i));
        }
    }
}

void MeasureCell(TCanvas* Canvas, TCellObj& CellObj, int Frame, int& m, int& M)
{
    CellObj.Cell->MinMaxWidth(Canvas, m, M);
    m = Capped(m) + Frame;
    M = Capped(M) + Frame;
}

int Sum(const TColumnWidths& W, int From, int To)
{
    int total = 0;
    for (int i = From; i < To; ++i)
        total += W[static_cast<std::size_t>(i)];
    return total;
}

} // namespace

int ThtmlTable::CellShare(const TCellObj& Cell, int TheWidth)
{
    if (Cell.SpecWidth <= 0)
        return 0;
    if (Cell.WidthAsPercent)
        return Cell.SpecWidth;
    if (TheWidth > 0)
        return std::min(1000, MulDiv(Capped(Cell.SpecWidth), 1000, TheWidth));
    return 0;
}

void ThtmlTable::SpreadSpanning(int I, int S, int m, int M, int cp, TColumnWidths& MinW, TColumnWidths& MaxW)
{
    int sMin = 0, sMax = 0, sP = 0, k = 0;
    for (int i = I; i < I + S; ++i) {
        sMin += MinW[i];
        sMax += MaxW[i];
        if (Percents[i] > 0)
            sP += Percents[i];
        else
            ++k;
    }
    const int xMin = m - sMin, xMax = M - sMax;
    if (cp < 1 && sP < 1) {
        for (int i = I; i < I + S; ++i) {
            if (xMin > 0)
                MinW[i] = sMin > 0 ? MulDiv(m, MinW[i], sMin) : m / S;
            if (xMax > 0)
                MaxW[i] = sMax > 0 ? MulDiv(M, MaxW[i], sMax) : M / S;
        }
        return;
    }
    const int share = k > 0 ? std::max(0, (cp - sP) / k) : 0;
    for (int i = I; i < I + S; ++i) {
        if (k == 0 && sP < cp)
            Percents[i] = MulDiv(Percents[i], cp, sP);
        else if (share > 0 && Percents[i] == 0)
            Percents[i] = share;
    }
    const int T = std::max(sP, cp);
    if (k == 0) {
        for (int i = I; i < I + S; ++i) {
            if (xMin > 0)
                MinW[i] = std::max(MulDiv(m, Percents[i], T), MinW[i]);
            if (xMax > 0)
                MaxW[i] = std::max(MulDiv(M, Percents[i], T), MaxW[i]);
        }
        return;
    }
    int unshared = 0, unsharedMax = 0, last = -1;
    for (int i = I; i < I + S; ++i)
        if (Percents[i] == 0) {
            ++unshared;
            unsharedMax += MaxW[i];
            last = i;
        }
    if (xMin > 0 && unshared > 0) {
        // Columns without any maximum width share the extra evenly, the last taking the rest.
        int given = 0;
        for (int i = I; i < I + S; ++i)
            if (Percents[i] == 0) {
                const int extra = unsharedMax > 0 ? MulDiv(xMin, MaxW[i], unsharedMax)
                                  : i == last     ? xMin - given
                                                  : xMin / unshared;
                MinW[i] += extra;
                given += extra;
            }
    }
    if (xMax > 0)
        for (int i = I; i < I + S; ++i)
            if (Percents[i] == 0)
                MaxW[i] += xMax / k;
}

void ThtmlTable::GetWidths(TCanvas* Canvas, int& TotalMin, int& TotalMax, TColumnWidths& MinW, TColumnWidths& MaxW,
                           int TheWidth)
{
    MinW.fill(0);
    MaxW.fill(0);
    Percents.fill(0);
    const int frame = CellFrame(CellPadding, CellSpacing);
    bool more = true;
    for (int S = 1; more; ++S)
        ForEachCellOfSpan(*this, S, more, [&](TCellObj& cellObj, int I, int span) {
            int m = 0, M = 0;
            MeasureCell(Canvas, cellObj, frame, m, M);
            const int cp = CellShare(cellObj, TheWidth);
            if (S == 1) {
                MaxW[I] = std::max(MaxW[I], M);
                MinW[I] = std::max(MinW[I], m);
                Percents[I] = std::max(Percents[I], cp);
            } else
                SpreadSpanning(I, span, m, M, cp, MinW, MaxW);
        });
    TotalMin = Sum(MinW, 0, NumCols);
    TotalMax = Sum(MaxW, 0, NumCols);
}

void ThtmlTable::xxx(const TColumnWidths& MaxW, const TColumnWidths& MinW, int TheWidth)
{
    if (NumCols == 0)
        return;
    std::array<bool, MaxRowEntries> pinned{};
    int n = 0, G = 0, Q = 0;
    for (int i = 0; i < NumCols; ++i) {
        if (Percents[i] <= 0) {
            Widths[i] = MinW[i];
            ++n;
            G += MaxW[i] - MinW[i];
            continue;
        }
        const int w = MulDiv(TheWidth, Percents[i], 1000);
        if (w > MinW[i]) {
            Widths[i] = w;
            Q += Percents[i];
        } else {
            Widths[i] = MinW[i];
            pinned[i] = true;
        }
    }
    const auto activeShare = [&](int i) { return Percents[i] > 0 && !pinned[i]; };
    int X = Sum(Widths, 0, NumCols) - TheWidth;
    if (X < 0) {
        if (n == 0) {
            // With no active share the spare goes to the first column when rounding.
            for (int i = 0; i < NumCols && Q > 0; ++i)
                if (activeShare(i))
                    Widths[i] += MulDiv(-X, Percents[i], Q);
        } else if (G > 0 && -X / 2 <= G) {
            for (int i = 0; i < NumCols; ++i)
                if (Percents[i] <= 0)
                    Widths[i] += MulDiv(-X, MaxW[i] - MinW[i], G);
        } else {
            for (int i = 0; i < NumCols; ++i)
                if (Percents[i] <= 0)
                    Widths[i] += -X / n;
        }
    } else if (X > 0) {
        for (int pass = 0; pass < 4; ++pass) {
            bool pinnedAny = false;
            for (int i = 0; i < NumCols && Q > 0; ++i) {
                if (!activeShare(i) || Widths[i] - MulDiv(X, Percents[i], Q) >= MinW[i])
                    continue;
                X -= Widths[i] - MinW[i];
                Widths[i] = MinW[i];
                pinned[i] = true;
                Q -= Percents[i];
                pinnedAny = true;
            }
            if (!pinnedAny)
                break;
        }
        for (int i = 0; i < NumCols && Q > 0; ++i)
            if (activeShare(i))
                Widths[i] -= MulDiv(X, Percents[i], Q);
    }
    X = Sum(Widths, 0, NumCols) - TheWidth;
    if (X <= 0)
        Widths[0] += -X;
    else // a column narrower than the excess would go negative: the next one loses it
        for (int i = 0; i < NumCols; ++i)
            if (!pinned[i] && Widths[i] >= X) {
                Widths[i] -= X;
                break;
            }
}

void ThtmlTable::GetMinMaxAbs(TCanvas* Canvas, int& TotalMin, int& TotalMax, TColumnWidths& MinW,
                              TColumnWidths& MaxW)
{
    MinW.fill(0);
    MaxW.fill(0);
    const int frame = CellFrame(CellPadding, CellSpacing);
    bool more = true;
    for (int S = 1; more; ++S)
        ForEachCellOfSpan(*this, S, more, [&](TCellObj& cellObj, int I, int span) {
            int m = 0, M = 0;
            MeasureCell(Canvas, cellObj, frame, m, M);
            if (cellObj.SpecWidth > 0 && !cellObj.WidthAsPercent) {
                m = std::max(m, Capped(cellObj.SpecWidth) + frame);
                M = m;
            }
            if (S == 1) {
                MinW[I] = std::max(MinW[I], m);
                MaxW[I] = std::max(MaxW[I], M);
                return;
            }
            const int sMin = Sum(MinW, I, I + span), sMax = Sum(MaxW, I, I + span);
            if (sMin < m) {
                if (sMin < 1)
                    MinW[I] = m;
                else
                    for (int i = I; i < I + span; ++i)
                        MinW[i] += MulDiv(MinW[i], m - sMin, sMin);
            }
            if (sMax < M) {
                if (sMax < 1)
                    MaxW[I] = M;
                else
                    for (int i = I; i < I + span; ++i)
                        MaxW[i] += MulDiv(MaxW[i], M - sMax, sMax);
            }
        });
    TotalMin = Sum(MinW, 0, NumCols);
    TotalMax = Sum(MaxW, 0, NumCols);
}

void ThtmlTable::GetWidthsAbs(TCanvas* Canvas, int TheWidth, bool Specified, TColumnWidths& MinW,
                              TColumnWidths& MaxW)
{
    int totalMin = 0, totalMax = 0;
    GetMinMaxAbs(Canvas, totalMin, totalMax, MinW, MaxW);
    if (!(totalMin < TheWidth && (TheWidth < totalMax || Specified))) {
        Widths = totalMin < TheWidth ? MaxW : MinW;
        return;
    }
    const int D = totalMax - totalMin, A = TheWidth - totalMin;
    int given = 0;
    for (int i = 0; i < NumCols; ++i) {
        if (D >= 1)
            Widths[i] = MinW[i] + MulDiv(MaxW[i] - MinW[i], A, D);
        else if (totalMin > 0)
            Widths[i] = MinW[i] + MulDiv(MinW[i], A, totalMin);
        else // no widths at all: the space is shared evenly, the last column taking the rest
            Widths[i] = MinW[i] + (i == NumCols - 1 ? A - given : A / NumCols);
        given += Widths[i] - MinW[i];
    }
}

void ThtmlTable::MinMaxWidth(TCanvas* Canvas, int& Min, int& Max)
{
    AddDummyCells();
    if (Document != nullptr && MeasuredPass == Document->LayoutPass) {
        Min = MeasuredMin;
        Max = MeasuredMax;
        return;
    }
    TColumnWidths minW, maxW;
    int totalMin = 0, totalMax = 0;
    if (HasAbsCellWidths && SpecWidth == 0)
        GetMinMaxAbs(Canvas, totalMin, totalMax, minW, maxW);
    else
        GetWidths(Canvas, totalMin, totalMax, minW, maxW, WidthAsPercent ? 0 : Capped(SpecWidth));
    Min = totalMin + CellSpacing;
    Max = totalMax + CellSpacing;
    if (!WidthAsPercent) {
        Min = std::max(Min, Capped(SpecWidth));
        Max = std::max(Max, Capped(SpecWidth));
    }
    int captionMax = 0;
    Caption->Cell->MinMaxWidth(Canvas, CaptionMinWidth, captionMax);
    CaptionMinWidth = Capped(CaptionMinWidth);
    Min = Capped(std::max(Min, CaptionMinWidth));
    Max = Capped(std::max(Max, CaptionMinWidth));
    MeasuredMin = Min;
    MeasuredMax = Max;
    MeasuredPass = Document != nullptr ? Document->LayoutPass : -1;
}

void ThtmlTable::ChooseWidths(TCanvas* Canvas, int Avail)
{
    const bool specified = SpecWidth >= 1;
    int theWidth = Avail;
    if (specified)
        theWidth = WidthAsPercent ? MulDiv(Avail, SpecWidth, 1000) : Capped(SpecWidth);
    theWidth = std::max(theWidth - CellSpacing, 20);
    AddDummyCells();
    Widths.fill(0);
    TColumnWidths minW, maxW;
    if (HasAbsCellWidths && SpecWidth == 0)
        GetWidthsAbs(Canvas, theWidth, false, minW, maxW);
    else {
        int totalMin = 0, totalMax = 0;
        GetWidths(Canvas, totalMin, totalMax, minW, maxW, theWidth);
        if (totalMin >= theWidth)
            Widths = minW;
        else if (specified)
            xxx(maxW, minW, theWidth);
        else {
            bool natural = false;
            FitShares(theWidth, totalMin, totalMax, minW, maxW, natural);
            if (!natural) {
                const int R = totalMax - totalMin;
                if (theWidth < totalMax && R != 0)
                    for (int i = 0; i < NumCols; ++i)
                        Widths[i] = minW[i] + MulDiv(maxW[i] - minW[i], theWidth - totalMin, R);
                else
                    Widths = maxW;
            }
        }
    }
    GridWidth = CellSpacing + Sum(Widths, 0, NumCols);
    int captionMax = 0;
    Caption->Cell->MinMaxWidth(Canvas, CaptionMinWidth, captionMax);
    CaptionMinWidth = Capped(CaptionMinWidth);
    TableWidth = std::max(GridWidth, CaptionMinWidth);
}

void ThtmlTable::FitShares(int TheWidth, int& TotalMin, int& TotalMax, TColumnWidths& MinW, TColumnWidths& MaxW,
                           bool& Natural)
{
    Natural = false;
    const int TP = Sum(Percents, 0, NumCols);
    if (TP < 1 || TP > 1000)
        return;
    int NP = 0, need = 0;
    for (int i = 0; i < NumCols; ++i) {
        if (Percents[i] > 0)
            need = std::max(need, MulDiv(MaxW[i], 1000, Percents[i]));
        else
            NP += MaxW[i];
    }
    const int need2 = TP < 1000 ? MulDiv(NP, 1000, 1000 - TP) : NP < 1 ? 0 : 30000;
    const int W = std::max(need, need2);
    if (W <= TheWidth) {
        const int rest = MulDiv(W, 1000 - TP, 1000);
        for (int i = 0; i < NumCols; ++i)
            Widths[i] = Percents[i] > 0 ? MulDiv(W, Percents[i], 1000) : NP < 1 ? 0 : MulDiv(MaxW[i], rest, NP);
        Natural = true;
        return;
    }
    std::array<bool, MaxRowEntries> keeps{};
    for (int i = 0; i < NumCols; ++i)
        keeps[i] = Percents[i] > 0;
    for (int pass = 0;; ++pass) {
        int PS = 0, NM = 0;
        bool anyKept = false;
        for (int i = 0; i < NumCols; ++i) {
            if (keeps[i] && MulDiv(TheWidth, Percents[i], 1000) - 1 < MinW[i])
                keeps[i] = false;
            if (keeps[i]) {
                PS += MulDiv(TheWidth, Percents[i], 1000) - 1;
                anyKept = true;
            } else
                NM += MinW[i];
        }
        if (!anyKept)
            return;
        // The scaling only shrinks the shares; once it has run its passes, or there is nothing
        // to scale by, the shares are fixed as they stand.
        if (PS + NM > TheWidth && PS > 0 && pass < MaxShareScalingPasses) {
            for (int i = 0; i < NumCols; ++i)
                if (keeps[i])
                    Percents[i] = static_cast<int>(
                        std::max(0LL, static_cast<long long>(Percents[i]) * (TheWidth - NM) / PS));
            continue;
        }
        for (int i = 0; i < NumCols; ++i)
            if (keeps[i])
                MinW[i] = MaxW[i] = MulDiv(TheWidth, Percents[i], 1000);
        TotalMin = Sum(MinW, 0, NumCols);
        TotalMax = Sum(MaxW, 0, NumCols);
        return;
    }
}
