// THlCustomMemo: keyboard and mouse editing, caret movement and selection, dragging a selection,
// auto-scrolling while the mouse selects, and the blinking caret with the drop-list countdown.
#include "widgets/HlMemo.h"

#include "platform/gui/Application.h"
#include "platform/gui/InputTranslation.h"
#include "platform/gui/Screen.h"
#include "platform/gui/Timer.h"
#include "platform/gui/WindowHandles.h"
#include "platform/rtl/Exceptions.h"

#include <algorithm>

namespace {

// The first word character from index on, after skipping the word characters at index when
// skipWord; -1 when the line has none.
int HlMemoWordStartFrom(const std::string& line, int index, bool skipWord)
{
    const int length = static_cast<int>(line.size());
    int i = std::max(index, 0);
    if (skipWord)
        while (i < length && HlMemo::IsWordChar(line[i]))
            ++i;
    while (i < length && !HlMemo::IsWordChar(line[i]))
        ++i;
    return i < length ? i : -1;
}

} // namespace

// --- Helpers ---

std::string THlCustomMemo::RowText(int Row) const
{
    return Row >= 0 && Row < FLines->Count() ? FLines->Strings(Row) : std::string();
}

int THlCustomMemo::RowLength(int Row) const
{
    return static_cast<int>(RowText(Row).size());
}

void THlCustomMemo::RedrawRow(int Row)
{
    if (!HandleAllocated() || Row < FTopRow || Row >= FTopRow + FVisibleRows)
        return;
    GetSelBounds(FSelFirstRow, FSelLastRow, FSelFirstCol, FSelLastCol);
    DrawLine(Canvas(), Row, (Row - FTopRow) * FLineHeight);
}

void THlCustomMemo::RedrawVisible()
{
    DrawVisible();
}

void THlCustomMemo::MakeCaretVisible()
{
    if (FCaretCol > FHScrollPos + FVisibleCols)
        SetHPos(FCaretCol - FVisibleCols);
    else if (FCaretCol < FHScrollPos)
        SetHPos(FCaretCol);
    if (FCaretRow < FTopRow)
        SetVPos(FCaretRow);
    else if (FCaretRow > FTopRow + FVisibleRows - 2)
        SetVPos(FCaretRow - FVisibleRows + 2);
}

void THlCustomMemo::RaiseMemoEvent(THlKeyEvent KeyEvent, WORD Key, TPoint Mouse)
{
    if (OnMemoEvents)
        OnMemoEvents(this, FShiftState, KeyEvent, Key, Point(FCaretRow, FCaretCol), Mouse);
}

void THlCustomMemo::PositionAtClientPoint(int X, int Y, int& Row, int& Col)
{
    const long long x = X + static_cast<long long>(FHScrollPos) * FCharWidth;
    const long long y = Y + static_cast<long long>(FTopRow) * FLineHeight;
    GetRowColAtPos(HlMemo::Pixels(x), HlMemo::Pixels(y), Row, Col);
}

int THlCustomMemo::NextWordStartInRow(int Row, int Col) const
{
    return HlMemoWordStartFrom(RowText(Row), Col, true);
}

// --- Keys ---

void THlCustomMemo::WMKeyDown(TMessage& Message)
{
    const WORD key = static_cast<WORD>(Message.WParam);
    FDropCountdown = 0;
    FDropRow = -1;
    FDropCol = -1;
    FShiftState = KeyDataToShiftState(static_cast<int>(Message.LParam));
    RaiseMemoEvent(HlMemo::k_Down, key, FMousePos);
    const bool ctrl = FShiftState.Contains(ssCtrl);
    if (ctrl && !FDraggingSelection) {
        std::string link;
        if (GetHyperlinksAtPos(FMousePos.X, FMousePos.Y, link)) {
            Screen->SetCursor(crHANDPOINT);
            if (FHintWindow)
                return;
            ShowLinkHint(link);
        } else {
            Screen->SetCursor(crIBeam);
        }
    } else if (ctrl) {
        Screen->SetCursor(crSELDRAGCOPY);
        DestroyHintWindow();
    }
    if (key >= VK_PRIOR && key <= VK_DOWN) {
        KeyboardCaretNav(FShiftState, key);
        MakeCaretVisible();
    } else if (key == VK_DELETE) {
        if (FSelected) {
            DeleteSelection();
            return;
        }
        if (FCaretRow >= FLines->Count())
            return;
        DeleteAtCaret();
    }
    TCustomControl::Dispatch(Message);
}

void THlCustomMemo::DeleteAtCaret()
{
    DrawCaret(FCaretRow, FCaretCol, false);
    const std::string line = FLines->Strings(FCaretRow);
    if (FCaretCol >= static_cast<int>(line.size())) {
        if (FCaretRow + 1 < FLines->Count()) {
            FLines->SetStrings(FCaretRow, line + FLines->Strings(FCaretRow + 1));
            FLines->Delete(FCaretRow + 1);
            RedrawVisible();
            UpdateScrollBars();
        }
    } else {
        FLines->SetStrings(FCaretRow, line.substr(0, static_cast<std::size_t>(FCaretCol)) +
                                          line.substr(static_cast<std::size_t>(FCaretCol) + 1));
        RedrawRow(FCaretRow);
    }
    DrawCaret(FCaretRow, FCaretCol, true);
}

void THlCustomMemo::WMKeyUp(TMessage& Message)
{
    FShiftState = KeyDataToShiftState(static_cast<int>(Message.LParam));
    RaiseMemoEvent(HlMemo::k_Up, static_cast<WORD>(Message.WParam), FMousePos);
    Screen->SetCursor(FDraggingSelection && !FShiftState.Contains(ssCtrl) ? crSELDRAG : crIBeam);
    DestroyHintWindow();
    FColorHintShown = false;
    TCustomControl::Dispatch(Message);
}

void THlCustomMemo::KeyboardCaretNav(TShiftState Shift, WORD Key)
{
    const bool shift = Shift.Contains(ssShift);
    const bool ctrl = Shift.Contains(ssCtrl);
    const bool wasSelected = FSelected;
    DrawCaret(FCaretRow, FCaretCol, false);
    // Home, End, Up and Down: the caret's new place, then the selection rule of the key.
    auto extendTo = [&](int anchorRow, int anchorCol) {
        if (!FSelected) {
            FSelAnchorRow = anchorRow;
            FSelAnchorCol = anchorCol;
        }
        FSelEndRow = FCaretRow;
        FSelEndCol = FCaretCol;
        FSelected = FSelAnchorRow != FSelEndRow || FSelAnchorCol != FSelEndCol;
    };
    const int row = FCaretRow;
    const int col = FCaretCol;
    switch (Key) {
    case VK_HOME:
        if (ctrl) {
            FCaretRow = 0;
            FCaretCol = 0;
        } else {
            FCaretCol = 0;
        }
        if (shift)
            extendTo(row, col);
        break;
    case VK_END: {
        if (ctrl) {
            FCaretRow = std::max(FLines->Count() - 1, 0);
            FCaretCol = RowLength(FCaretRow);
        } else {
            FCaretCol = RowLength(row);
        }
        if (shift)
            extendTo(row, std::min(col, RowLength(row)));
        break;
    }
    case VK_UP:
    case VK_DOWN: {
        const bool up = Key == VK_UP;
        if (ctrl && shift)
            break;
        if (up && FCaretRow > 0)
            --FCaretRow;
        if (!up && FCaretRow <= FLines->Count())
            ++FCaretRow;
        if (shift) {
            extendTo(row, col);
        } else if (ctrl) {
            FSelAnchorRow = FCaretRow;
            Perform(WM_VSCROLL, up ? SB_LINEUP : SB_LINEDOWN, 0);
        } else {
            FSelected = false;
        }
        break;
    }
    case VK_LEFT:
        NavigateLeft(Shift);
        break;
    case VK_RIGHT:
        NavigateRight(Shift);
        break;
    case VK_PRIOR:
    case VK_NEXT:
        NavigatePage(Shift, Key == VK_PRIOR);
        break;
    default:
        break;
    }
    if (!FSelected) {
        FSelAnchorRow = FCaretRow;
        FSelAnchorCol = FCaretCol;
    }
    if (wasSelected || FSelected)
        RedrawVisible();
    DrawCaret(FCaretRow, FCaretCol, true);
    FCaretPhase = true;
}

void THlCustomMemo::NavigateLeft(TShiftState Shift)
{
    const bool shift = Shift.Contains(ssShift);
    const bool ctrl = Shift.Contains(ssCtrl);
    const int length = RowLength(FCaretRow);
    if (shift && !FSelected && FCaretCol > length) {
        // From virtual space the selection starts at the row's end.
        FSelAnchorRow = FCaretRow;
        FSelAnchorCol = length;
        FCaretCol = std::max(length - 1, 0);
    } else {
        if (shift && !FSelected) {
            FSelAnchorRow = FCaretRow;
            FSelAnchorCol = FCaretCol;
        }
        bool wrapped = false;
        if (FCaretCol > 0) {
            --FCaretCol;
        } else if (FCaretRow > 0) {
            --FCaretRow;
            FCaretCol = RowLength(FCaretRow);
            wrapped = true;
        }
        if (ctrl && !wrapped) {
            std::string word;
            int start = -1;
            GetWordAtPos(FCaretCol, FCaretRow, word, start);
            FCaretCol = start >= 0 ? start : 0;
        }
    }
    if (!shift) {
        FSelected = false;
        return;
    }
    FSelEndRow = FCaretRow;
    FSelEndCol = FCaretCol;
    if (FSelEndRow >= FLines->Count()) {
        FSelEndCol = FCaretCol = 0;
    } else if (FSelEndCol > RowLength(FSelEndRow)) {
        FSelEndCol = FCaretCol = std::max(RowLength(FSelEndRow) - 1, 0);
    }
    FSelected = FSelAnchorRow != FSelEndRow || FSelAnchorCol != FSelEndCol;
}

void THlCustomMemo::NavigateRight(TShiftState Shift)
{
    const bool shift = Shift.Contains(ssShift);
    if (shift && !FSelected) {
        FSelAnchorRow = FCaretRow;
        FSelAnchorCol = FCaretCol;
    }
    if (Shift.Contains(ssCtrl)) {
        int start = NextWordStartInRow(FCaretRow, FCaretCol);
        int row = FCaretRow;
        while (start < 0 && row + 1 < FLines->Count()) {
            ++row;
            start = NextWordStartInRow(row, 0);
        }
        if (start < 0) {
            FCaretRow = std::max(FCaretRow, FLines->Count());
            FCaretCol = 0;
        } else {
            FCaretRow = row;
            FCaretCol = start;
        }
    } else {
        ++FCaretCol;
        if (FCaretCol > FMaxLineLength) {
            FMaxLineLength += 2;
            UpdateScrollBars();
        }
    }
    if (!shift) {
        FSelected = false;
        return;
    }
    FSelEndRow = FCaretRow;
    FSelEndCol = FCaretCol;
    FSelected = FSelAnchorRow != FSelEndRow || FSelAnchorCol != FSelEndCol;
}

void THlCustomMemo::NavigatePage(TShiftState Shift, bool Up)
{
    if (!FSelected) {
        FSelAnchorRow = FCaretRow;
        FSelAnchorCol = FCaretCol;
    }
    const int offset = FCaretRow - FTopRow;
    if (Up) {
        if (FVScrollPos == 0) {
            FCaretRow = 0;
            FCaretCol = 0;
        } else {
            Perform(WM_VSCROLL, SB_PAGEUP, 0);
            FCaretRow = FTopRow + offset;
        }
    } else if (FLines->Count() - FVisibleRows < FVScrollPos) {
        FCaretRow = std::max(FLines->Count() - 1, 0);
        FCaretCol = RowLength(FCaretRow);
    } else {
        Perform(WM_VSCROLL, SB_PAGEDOWN, 0);
        FCaretRow = FTopRow + offset;
    }
    // The caret never goes further than one row past the row after the text.
    FCaretRow = std::clamp(FCaretRow, 0, FLines->Count() + 1);
    if (Shift.Contains(ssShift)) {
        FSelEndRow = FCaretRow;
        FSelEndCol = FCaretCol;
        FSelected = true;
    }
}

// --- Characters ---

void THlCustomMemo::KeyPress(char& Key)
{
    TCustomControl::KeyPress(Key);
    if (FCaretRow >= FLines->Count())
        FLines->Add("");
    const TShiftState shift = GetShiftState();
    // Ctrl+Alt is AltGr, which types characters of its own.
    const bool ctrlOnly = shift.Contains(ssCtrl) && !shift.Contains(ssAlt);
    if (FCaretRow >= FLines->Count() || Key == 27 || ctrlOnly)
        return;
    const unsigned char c = static_cast<unsigned char>(Key);
    DrawCaret(FCaretRow, FCaretCol, false);
    bool handled = true;
    if (FSelected) {
        DeleteSelection();
        if (c == 8)
            handled = false;
    }
    if (handled) {
        if (c == 8)
            TypeBackspace();
        else if (c == 9)
            TypeTab();
        else if (c == 13)
            TypeEnter();
        else if (c >= 32)
            TypeCharacter(Key);
    }
    FSelAnchorRow = FCaretRow;
    FSelAnchorCol = FCaretCol;
    MakeCaretVisible();
    DrawCaret(FCaretRow, FCaretCol, true);
}

void THlCustomMemo::TypeBackspace()
{
    FCaretCol = std::min(FCaretCol, RowLength(FCaretRow));
    if (FCaretCol > 0) {
        std::string line = FLines->Strings(FCaretRow);
        line.erase(static_cast<std::size_t>(FCaretCol) - 1, 1);
        FLines->SetStrings(FCaretRow, line);
        --FCaretCol;
        RedrawRow(FCaretRow);
    } else if (FCaretRow > 0) {
        const int previousLength = RowLength(FCaretRow - 1);
        FLines->SetStrings(FCaretRow - 1, FLines->Strings(FCaretRow - 1) + FLines->Strings(FCaretRow));
        FLines->Delete(FCaretRow);
        --FCaretRow;
        FCaretCol = previousLength;
        RedrawVisible();
        UpdateScrollBars();
    }
}

void THlCustomMemo::TypeTab()
{
    std::string line = FLines->Strings(FCaretRow);
    if (FCaretCol >= static_cast<int>(line.size()))
        line.resize(static_cast<std::size_t>(FCaretCol) + 2, ' ');
    int count = FTabWidth;
    if (FCaretRow > 0) {
        // Aligned to the next word of the row above.
        const int start = NextWordStartInRow(FCaretRow - 1, FCaretCol);
        if (start > FCaretCol)
            count = start - FCaretCol;
    }
    line.insert(static_cast<std::size_t>(FCaretCol), static_cast<std::size_t>(count), ' ');
    FLines->SetStrings(FCaretRow, line);
    FCaretCol += count;
    RedrawRow(FCaretRow);
}

void THlCustomMemo::TypeEnter()
{
    const std::string line = FLines->Strings(FCaretRow);
    const std::size_t cut = std::min(static_cast<std::size_t>(FCaretCol), line.size());
    FLines->SetStrings(FCaretRow, line.substr(0, cut));
    FLines->Insert(FCaretRow + 1, line.substr(cut));
    ++FCaretRow;
    FCaretCol = 0;
    RedrawVisible();
    UpdateScrollBars();
}

void THlCustomMemo::TypeCharacter(char Key)
{
    std::string line = FLines->Strings(FCaretRow);
    // Typing past the end pads two blanks beyond the caret; saving strips them.
    if (FCaretCol >= static_cast<int>(line.size()))
        line.resize(static_cast<std::size_t>(FCaretCol) + 2, ' ');
    line.insert(static_cast<std::size_t>(FCaretCol), 1, Key);
    FLines->SetStrings(FCaretRow, line);
    ++FCaretCol;
    RedrawRow(FCaretRow);
}

// --- Mouse ---

bool THlCustomMemo::PressInsideSelection(int Row, int Col) const
{
    if (!FSelected)
        return false;
    int firstRow = 0, lastRow = 0, firstCol = 0, lastCol = 0;
    GetSelBounds(firstRow, lastRow, firstCol, lastCol);
    if (firstRow == lastRow)
        return Row == firstRow && Col >= firstCol && Col <= lastCol;
    if (Row < firstRow || Row > lastRow)
        return false;
    return !(Row == firstRow && Col < firstCol) && !(Row == lastRow && Col > lastCol);
}

bool THlCustomMemo::DropInsideSelection(int Row, int Col) const
{
    int firstRow = 0, lastRow = 0, firstCol = 0, lastCol = 0;
    GetSelBounds(firstRow, lastRow, firstCol, lastCol);
    if (firstRow == lastRow)
        return Row == firstRow && Col >= firstCol && Col <= lastCol;
    return (Row == firstRow && Col >= firstCol) || (Row > firstRow && Row < lastRow) ||
           (Row == lastRow && Col < lastCol);
}

void THlCustomMemo::MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y)
{
    TCustomControl::MouseDown(Button, Shift, X, Y);
    if (CanFocus())
        SetFocus();
    if (FDropList->Visible())
        FDropList->SetVisible(false);
    FDropCountdown = 0;
    FShiftState = Shift;
    if (Button != mbLeft) {
        RaiseMemoEvent(Button == mbRight ? HlMemo::k_Mouse2 : HlMemo::k_Mouse3, 0, Point(X, Y));
        return;
    }
    if (FJustDoubleClicked || (FGutterOptions->Visible() && X <= FGutter->Width()))
        return;
    DrawCaret(FCaretRow, FCaretCol, false);
    PositionAtClientPoint(X, Y, FCaretRow, FCaretCol);
    RaiseMemoEvent(HlMemo::k_Mouse1, 0, Point(X, Y));
    if (PressInsideSelection(FCaretRow, FCaretCol)) {
        FDraggingSelection = true;
        return;
    }
    if (Shift.Contains(ssShift)) {
        FSelEndRow = FCaretRow;
        FSelEndCol = FCaretCol;
        FSelected = true;
    } else {
        if (FSelected) {
            FSelected = false;
            RedrawVisible();
        } else {
            FCaretBlinking = true;
            UpdateTimer();
        }
        FSelAnchorRow = FSelEndRow = FCaretRow;
        FSelAnchorCol = FSelEndCol = FCaretCol;
        FSelected = true;
        FMouseSelecting = true;
        if (FAutoScrollTimer)
            FAutoScrollTimer->SetEnabled(true);
    }
    RedrawVisible();
    DrawCaret(FCaretRow, FCaretCol, true);
}

void THlCustomMemo::MouseMove(TShiftState Shift, int X, int Y)
{
    TCustomControl::MouseMove(Shift, X, Y);
    FShiftState = Shift;
    FMousePos = Point(X, Y);
    RaiseMemoEvent(HlMemo::k_None, 0, FMousePos);
    const bool ctrl = Shift.Contains(ssCtrl);
    if (FDraggingSelection) {
        Screen->SetCursor(ctrl ? crSELDRAGCOPY : crSELDRAG);
    } else {
        auto step = [](int value, int size, int unit) {
            if (value < -unit)
                return -2;
            if (value < 0)
                return -1;
            if (value > size + unit)
                return 2;
            if (value > size)
                return 1;
            return 0;
        };
        FAutoScrollRows = step(Y, ClientHeight(), FLineHeight);
        FAutoScrollCols = step(X, ClientWidth(), FCharWidth);
    }
    // While the press that started it lasts, the selection follows the pointer (even after the
    // caret timer found it empty).
    if (FMouseSelecting) {
        FAutoScrollPos = Point(X, Y);
        DrawCaret(FCaretRow, FCaretCol, false);
        PositionAtClientPoint(X, std::clamp(Y, 0, ClientHeight()), FCaretRow, FCaretCol);
        FSelEndRow = FCaretRow;
        FSelEndCol = FCaretCol;
        FSelected = true;
        RedrawVisible();
    }
    SetCursor(FGutterOptions->Visible() && X <= FGutter->Width() ? crArrow : crIBeam);
    if (!ctrl) {
        DestroyHintWindow();
        return;
    }
    std::string link;
    if (GetHyperlinksAtPos(X, Y, link)) {
        SetCursor(crHANDPOINT);
    } else if (!FColorHintShown) {
        DestroyHintWindow();
    }
}

void THlCustomMemo::ScrollOnTimer()
{
    if (FAutoScrollRows != 0) {
        SetVPos(FVScrollPos + FAutoScrollRows);
        MouseMove(TShiftState{}, FAutoScrollPos.X, FAutoScrollPos.Y);
    }
    if (FAutoScrollCols != 0) {
        SetHPos(FHScrollPos + FAutoScrollCols);
        MouseMove(TShiftState{}, FAutoScrollPos.X, FAutoScrollPos.Y);
    }
}

void THlCustomMemo::MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y)
{
    TCustomControl::MouseUp(Button, Shift, X, Y);
    FShiftState = Shift;
    const THlKeyEvent event = Button == mbLeft    ? HlMemo::k_Mouse1
                              : Button == mbRight ? HlMemo::k_Mouse2
                                                  : HlMemo::k_Mouse3;
    RaiseMemoEvent(event, 0, Point(X, Y));
    if (Button != mbLeft)
        return;
    const bool ctrl = Shift.Contains(ssCtrl);
    if (FDraggingSelection) {
        Screen->SetCursor(crIBeam);
        int row = 0, col = 0;
        PositionAtClientPoint(X, Y, row, col);
        DragDropSelection(Point(row, col), ctrl);
        FDraggingSelection = false;
        RedrawVisible();
        return;
    }
    if (FJustDoubleClicked) {
        FJustDoubleClicked = false;
        return;
    }
    FMouseSelecting = false;
    if (FAutoScrollTimer)
        FAutoScrollTimer->SetEnabled(false);
    if (!FGutterOptions->Visible() || X > FGutter->Width()) {
        PositionAtClientPoint(X, Y, FSelEndRow, FSelEndCol);
        FSelected = FSelAnchorRow != FSelEndRow || FSelAnchorCol != FSelEndCol;
        std::string link;
        if (ctrl && GetHyperlinksAtPos(X, Y, link) && OnHyperlinkClick)
            OnHyperlinkClick(this, link);
    }
    if (!FSelected && FSelAnchorRow == 0 && FSelAnchorCol == 0) {
        FSelEndRow = 0;
        FSelEndCol = 0;
        FCaretPhase = true;
        FCaretBlinking = true;
        UpdateTimer();
    }
    RedrawVisible();
    DrawCaret(FCaretRow, FCaretCol, true);
}

void THlCustomMemo::DblClick()
{
    TCustomControl::DblClick();
    FShiftState.Include(ssDouble);
    RaiseMemoEvent(HlMemo::k_None, 0, FMousePos);
    std::string word;
    int start = -1;
    GetWordAtPos(FCaretCol, FCaretRow, word, start);
    if (word.empty()) {
        const std::string line = RowText(FCaretRow);
        const int next = FCaretCol > 0 ? HlMemoWordStartFrom(line, FCaretCol - 1, true)
                                       : HlMemoWordStartFrom(line, 0, false);
        if (next >= 0)
            GetWordAtPos(next, FCaretRow, word, start);
    }
    FJustDoubleClicked = true;
    if (word.empty())
        return;
    DrawCaret(FCaretRow, FCaretCol, false);
    FSelAnchorRow = FSelEndRow = FCaretRow;
    FSelAnchorCol = start;
    FSelEndCol = start + static_cast<int>(word.size());
    FCaretCol = start;
    FSelected = true;
    FMouseSelecting = false;
    if (FAutoScrollTimer)
        FAutoScrollTimer->SetEnabled(false);
    RedrawVisible();
}

void THlCustomMemo::DragDropSelection(TPoint Target, bool Copy)
{
    int row = Target.X;
    int col = Target.Y;
    if (DropInsideSelection(row, col))
        return;
    const std::string text = GetSelText();
    if (text.empty()) {
        FSelected = false;
        return;
    }
    if (!Copy) {
        int firstRow = 0, lastRow = 0, firstCol = 0, lastCol = 0;
        GetSelBounds(firstRow, lastRow, firstCol, lastCol);
        // A target behind the selection moves with the text that is taken out before it.
        if (row > lastRow || (row == lastRow && col >= lastCol)) {
            if (row == lastRow)
                col = col - lastCol + firstCol;
            row -= lastRow - firstRow;
        }
        DeleteSelection();
    }
    InsertTextAtPos(text, col, std::clamp(row, 0, FLines->Count()));
}

// --- The caret ---

void THlCustomMemo::BlinkCaret()
{
    if (Screen->Cursor() == crIBeam)
        Screen->SetCursor(crDefault);
    if (ComponentState().Contains(csDesigning))
        return;
    FCaretPhase = !FCaretPhase;
    if (FSelAnchorRow == FSelEndRow && FSelAnchorCol == FSelEndCol)
        FSelected = false;
    if (FSelected)
        FCaretPhase = false;
    DrawCaret(FCaretRow, FCaretCol, FCaretPhase);
    const bool atDropPlace = FCaretRow == FDropRow && FCaretCol == FDropCol;
    if (FDropListTimeDelay != 0 && !FDropList->Visible() && !atDropPlace) {
        // 500 per 450 ms tick: the delay in seconds is a little shorter than it says.
        FDropCountdown += 500;
        if (FDropCountdown >= FDropListTimeDelay * 1000) {
            FDropCountdown = 0;
            ShowDropWindow();
        }
    }
}

void THlCustomMemo::CaretBlinkingTimeProc(TMessage& Message)
{
    if (Message.Msg != WM_TIMER) {
        Message.Result = DefWindowProcA(FCaretWindow, Message.Msg, Message.WParam, Message.LParam);
        return;
    }
    try {
        BlinkCaret();
    } catch (...) {
        Application->HandleException(this);
    }
}

void THlCustomMemo::UpdateTimer()
{
    KillTimer(FCaretWindow, 1);
    if (FCaretBlinking && SetTimer(FCaretWindow, 1, 450, nullptr) == 0)
        throw EOutOfResources("Caret timer error");
}
