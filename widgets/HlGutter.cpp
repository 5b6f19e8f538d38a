#include "widgets/HlGutter.h"

#include "platform/gui/Resources.h"
#include "platform/gui/Screen.h"
#include "platform/gui/TextOutput.h"
#include "widgets/HlMemo.h"

#include <algorithm>

THlGutter::THlGutter(TComponent* AOwner, THlCustomMemo* memo) : TCustomControl(AOwner), FMemo(memo)
{
    SetParentColor(false);
    SetParentShowHint(false);
    SetColor(clBtnFace);
    Font()->SetColor(clBtnText);
    SetWidth(26);
    HlMemo::RegisterCursors();
    Screen->SetCursors(crLINESEL, LoadCursor(MainInstance(), "LINESEL"));
}

THlGutter::~THlGutter() = default;

void THlGutter::SetShowNum(bool value)
{
    if (FShowNum == value)
        return;
    FShowNum = value;
    Invalidate();
}

void THlGutter::SetStartNum(int value)
{
    FStartNum = std::max(value, 1);
}

void THlGutter::SetBevel(bool value)
{
    if (FBevel == value)
        return;
    FBevel = value;
    Invalidate();
}

void THlGutter::SetSpace(int value)
{
    value = std::max(std::min(value, Width() / 3), 1);
    if (FSpace == value)
        return;
    FSpace = value;
    Invalidate();
}

void THlGutter::SetAlignment(TAlignment value)
{
    if (FAlignment == value)
        return;
    FAlignment = value;
    Invalidate();
}

void THlGutter::SetZeroStart(bool value)
{
    if (FZeroStart == value)
        return;
    FZeroStart = value;
    Invalidate();
}

void THlGutter::SetDigits(int value)
{
    value = std::clamp(value, 0, 8);
    if (FDigits == value)
        return;
    FDigits = value;
    Invalidate();
}

void THlGutter::Paint()
{
    if (Width() / 3 < FSpace)
        FSpace = Width() / 3;
    if (Width() < 14)
        SetWidth(14);
    TCanvas* canvas = Canvas();
    canvas->Brush()->SetColor(Color());
    canvas->FillRect(ClientRect());
    const int w = ClientWidth();
    const int h = ClientHeight();
    auto verticalLine = [&](int x, TColor color) {
        canvas->Pen()->SetColor(color);
        canvas->MoveTo(x, 0);
        canvas->LineTo(x, h);
    };
    if (FMemo) {
        verticalLine(w - 1, FMemo->Color());
        if (FBevel) {
            verticalLine(w - 3, clBtnHighlight);
            verticalLine(w - 2, clBtnShadow);
        }
    }
    DrawLineNums();
}

std::string THlGutter::NumberText(int number, int digits)
{
    std::string text = std::to_string(number);
    if (digits >= static_cast<int>(text.size()))
        text.insert(0, static_cast<std::size_t>(digits) + 1 - text.size(), '0');
    return text;
}

void THlGutter::DrawLineNums()
{
    if (!FShowNum || !FMemo || !HandleAllocated())
        return;
    const int right = ClientWidth() - (FSpace + 1) - (FBevel ? 3 : 0);
    TCanvas* canvas = Canvas();
    canvas->Font()->SetName("MS Sans Serif");
    canvas->Font()->SetSize(8);
    canvas->Font()->SetStyle(TFontStyles{});
    canvas->Font()->SetColor(Font()->Color());
    canvas->Brush()->SetColor(Color());
    UINT format = DT_LEFT;
    if (FAlignment == taRightJustify)
        format |= DT_RIGHT;
    else if (FAlignment == taCenter)
        format |= DT_CENTER;
    const int lineHeight = FMemo->LineHeight();
    for (int i = 0; i <= FMemo->VisibleRows(); ++i) {
        const int number = FStartNum + i - (FZeroStart ? 1 : 0);
        const TRect cell = Rect(2, i * lineHeight, right, (i + 1) * lineHeight);
        canvas->FillRect(cell);
        HlMemo::DrawRowText(canvas, NumberText(number, FDigits), cell, format);
    }
}

bool THlGutter::InZone(int X) const
{
    return 2 * (Width() / 3) < X && X < Width() - 1;
}

void THlGutter::MouseMove(TShiftState Shift, int X, int Y)
{
    TCustomControl::MouseMove(Shift, X, Y);
    FInSelZone = InZone(X);
    SetCursor(FInSelZone ? crLINESEL : crDefault);
    ::SetCursor(Screen->Cursors(Cursor()));
}

void THlGutter::MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y)
{
    TCustomControl::MouseUp(Button, Shift, X, Y);
    FInSelZone = InZone(X);
    if (!FInSelZone || !FMemo)
        return;
    int row = 0;
    int col = 0;
    FMemo->GetRowColAtPos(X, Y + FMemo->TopRow() * FMemo->LineHeight(), row, col);
    SelectRows(row, Shift);
}

void THlGutter::SelectRows(int Row, TShiftState Shift)
{
    THlCustomMemo& memo = *FMemo;
    const int length = Row < memo.FLines->Count() ? static_cast<int>(memo.FLines->Strings(Row).size()) : 0;
    if (!Shift.Contains(ssShift)) {
        memo.FSelAnchorRow = Row;
        memo.FSelAnchorCol = 0;
        memo.FSelEndRow = Row;
        memo.FSelEndCol = length;
        memo.FCaretRow = Row;
        memo.FCaretCol = 0;
        memo.DrawCaret(Row, 0, false);
        memo.FSelected = length > 0;
    } else {
        int firstRow = 0, lastRow = 0, firstCol = 0, lastCol = 0;
        memo.GetSelBounds(firstRow, lastRow, firstCol, lastCol);
        if (Row < firstRow) {
            memo.FSelAnchorRow = Row;
            memo.FSelAnchorCol = 0;
            memo.FSelEndRow = lastRow;
            memo.FSelEndCol = lastCol;
        } else if (Row > lastRow) {
            memo.FSelAnchorRow = firstRow;
            memo.FSelAnchorCol = 0;
            memo.FSelEndRow = Row;
            memo.FSelEndCol = length;
        } else {
            return;
        }
        memo.FCaretRow = Row;
        memo.FCaretCol = 0;
        memo.DrawCaret(Row, 0, false);
        memo.FSelected = true;
    }
    memo.DrawVisible();
    if (memo.CanFocus())
        memo.SetFocus();
}
