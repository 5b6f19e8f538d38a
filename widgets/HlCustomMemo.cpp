// THlCustomMemo: construction, options and properties, selection storage, scroll bars and the
// children that scroll with the text.
#include "widgets/HlMemo.h"

#include "platform/gui/IcoCodec.h"
#include "platform/gui/ListBox.h"
#include "platform/gui/HintWindow.h"
#include "platform/gui/Resources.h"
#include "platform/gui/Screen.h"
#include "platform/gui/Timer.h"
#include "platform/gui/WindowFunctions.h"
#include "platform/gui/WindowHandles.h"
#include "widgets/HlRegExp.h"

#include <algorithm>
#include <climits>
#include <mutex>
#include <vector>

namespace {

// The arrow of a drag with the outline of the dragged text below it; the hot spot is the tip.
const std::vector<std::string> HlMemoDragArrow = {
    "#",
    "##",
    "#.#",
    "#..#",
    "#...#",
    "#....#",
    "#.....#",
    "#......#",
    "#.......#",
    "#........#",
    "#.....#####",
    "#..#..#",
    "#.# #..#",
    "##  #..#",
    "#    #..#",
    "     #..#",
    "      ##",
    "",
    "  # # # # #",
    "           ",
    "  #       #",
    "",
    "  #       #",
    "",
    "  # # # # #",
};

// The same arrow with a plus sign: the dragged text is copied.
std::vector<std::string> HlMemoDragCopyArrow()
{
    std::vector<std::string> rows = HlMemoDragArrow;
    const std::vector<std::string> plus = {
        "#######", "#..#..#", "#..#..#", "#.....#", "#..#..#", "#..#..#", "#######",
    };
    for (std::size_t i = 0; i < plus.size(); ++i) {
        std::string& row = rows[18 + i];
        row.resize(14, ' ');
        row += plus[i];
    }
    return rows;
}

// A hand pointing up with its index finger; the hot spot is the finger tip.
const std::vector<std::string> HlMemoPointingHand = {
    "      ##",
    "     #..#",
    "     #..#",
    "     #..#",
    "     #..#",
    "     #..###",
    "     #..#..###",
    "     #..#..#..##",
    "  ## #..#..#..#.#",
    " #..##........#.#",
    " #...#..........#",
    "  #.............#",
    "   #............#",
    "   #............#",
    "    #...........#",
    "    #..........#",
    "     #.........#",
    "     #........#",
    "      #.......#",
    "      #########",
};

// An arrow pointing right, for selecting whole lines; the hot spot is the tip.
const std::vector<std::string> HlMemoLineArrow = {
    "          #",
    "          ##",
    "          #.#",
    "          #..#",
    "          #...#",
    "          #....#",
    "          #.....#",
    " ##########......#",
    " #................#",
    " #.................#",
    " #................#",
    " ##########......#",
    "          #.....#",
    "          #....#",
    "          #...#",
    "          #..#",
    "          #.#",
    "          ##",
    "          #",
};

} // namespace

void HlMemo::RegisterCursors()
{
    static std::once_flag registered;
    std::call_once(registered, [] {
        RegisterCursorResource(MainInstance(), "SELDRAG", IcoCodec::CursorFromDrawing(HlMemoDragArrow), 0, 0);
        RegisterCursorResource(MainInstance(), "SELDRAGCOPY", IcoCodec::CursorFromDrawing(HlMemoDragCopyArrow()), 0, 0);
        RegisterCursorResource(MainInstance(), "HANDPOINT", IcoCodec::CursorFromDrawing(HlMemoPointingHand), 6, 0);
        RegisterCursorResource(MainInstance(), "LINESEL", IcoCodec::CursorFromDrawing(HlMemoLineArrow), 19, 9);
    });
}

THlCustomMemo::THlCustomMemo(TComponent* AOwner) : TCustomControl(AOwner)
{
    ControlStyle.Include(csReplicatable);
    ControlStyle.Include(csDisplayDragImage);
    FCaretWindow = AllocateHWnd([this](TMessage& Message) { CaretBlinkingTimeProc(Message); });
    SetBounds(Left(), Top(), 320, 240);
    SetTabStop(true);
    FLines = std::make_unique<TStringList>();
    Font()->SetName("Fixedsys");
    Font()->SetSize(10);
    Font()->SetColor(clWindowText);
    SetColor(clWindow);
    SetParentColor(false);
    SetCursor(crIBeam);
    InitMemoObjects();
    UpdateCharBounds();
}

THlCustomMemo::~THlCustomMemo()
{
    FreeAndNil(FAutoScrollTimer);
    KillTimer(FCaretWindow, 1);
    DeallocateHWnd(FCaretWindow);
    FreeAndNil(FHintWindow);
    FreeAndNil(FDropList);
    FreeAndNil(FGutter);
}

void THlCustomMemo::InitMemoObjects()
{
    HlMemo::RegisterCursors();
    FGutter = new THlGutter(this, this);
    FGutter->SetVisible(false);
    FGutter->SetParent(this);
    FGutter->SetLeft(-(FGutter->Width() + 1));
    FRegExp = std::make_unique<TRegExpHlMemo>();
    FEnvironment = std::make_unique<THlMemoEnvironment>(this);
    FGutterOptions = std::make_unique<THlGutterOptions>(this);
    Screen->SetCursors(crSELDRAG, LoadCursor(MainInstance(), "SELDRAG"));
    Screen->SetCursors(crSELDRAGCOPY, LoadCursor(MainInstance(), "SELDRAGCOPY"));
    Screen->SetCursors(crHANDPOINT, LoadCursor(MainInstance(), "HANDPOINT"));
    FDropList = new TListBox(this);
    FDropList->SetVisible(false);
    FDropList->SetParent(this);
    FDropList->SetLeft(-200);
    FDropList->Ctl3D = false;
    FDropList->IntegralHeight = true;
    FDropList->SetSorted(true);
    FDropList->SetStyle(lbOwnerDrawFixed);
    BindDropList();
}

void THlCustomMemo::CreateParams(TCreateParams& Params)
{
    TCustomControl::CreateParams(Params);
    Params.Style |= WS_CLIPCHILDREN | WS_HSCROLL | WS_VSCROLL;
    if (FBorderStyle == bsSingle) {
        if (Ctl3D)
            Params.ExStyle |= WS_EX_CLIENTEDGE;
        else
            Params.Style |= WS_BORDER;
    }
    Params.WindowClassStyle &= ~(CS_HREDRAW | CS_VREDRAW);
}

void THlCustomMemo::CreateWnd()
{
    TCustomControl::CreateWnd();
    FHScrollPos = 0;
    FVScrollPos = 0;
    UpdateCharBounds();
    UpdateScrollBars();
    if (!FAutoScrollTimer) {
        FAutoScrollTimer = new TTimer(this);
        FAutoScrollTimer->SetEnabled(false);
        FAutoScrollTimer->SetInterval(100);
        FAutoScrollTimer->OnTimer = [this](TObject*) { ScrollOnTimer(); };
    }
    UpdateTimer();
}

void THlCustomMemo::Dispatch(TMessage& Message)
{
    switch (Message.Msg) {
    case WM_HSCROLL:
        WMHScroll(Message);
        return;
    case WM_VSCROLL:
        WMVScroll(Message);
        return;
    case WM_GETDLGCODE:
        WMGetDlgCode(Message);
        return;
    case WM_KEYDOWN:
        WMKeyDown(Message);
        return;
    case WM_KEYUP:
        WMKeyUp(Message);
        return;
    default:
        TCustomControl::Dispatch(Message);
    }
}

void THlCustomMemo::WMGetDlgCode(TMessage& Message)
{
    TCustomControl::Dispatch(Message);
    Message.Result |= DLGC_WANTARROWS | DLGC_WANTTAB;
}

// --- Options and properties ---

void THlCustomMemo::SetRightEdge(bool value)
{
    if (FRightEdge == value)
        return;
    FRightEdge = value;
    Invalidate();
}

void THlCustomMemo::SetRightEdgeCol(int value)
{
    value = std::clamp(value, 20, 160);
    if (FRightEdgeCol == value)
        return;
    FRightEdgeCol = value;
    if (FRightEdge)
        Invalidate();
}

void THlCustomMemo::SetShowHyperlinks(bool value)
{
    if (FShowHyperlinks == value)
        return;
    FShowHyperlinks = value;
    Invalidate();
}

void THlCustomMemo::SetBorderStyle(TBorderStyle value)
{
    if (FBorderStyle == value)
        return;
    FBorderStyle = value;
    if (HandleAllocated())
        RecreateWnd();
}

void THlCustomMemo::SetLines(TStrings* value)
{
    FLines->Assign(value);
    Invalidate();
}

void THlCustomMemo::SetTabWidth(int value)
{
    if (value >= 1)
        FTabWidth = value;
}

void THlCustomMemo::SetScrollBars(THlScrolls value)
{
    if (FScrollBars == value)
        return;
    FScrollBars = value;
    FVertBarShown = value == HlMemo::sbBoth || value == HlMemo::sbVertical;
    FHorzBarShown = value == HlMemo::sbBoth || value == HlMemo::sbHorizontal;
    if (HandleAllocated()) {
        ShowScrollBar(Handle(), SB_VERT, FVertBarShown);
        ShowScrollBar(Handle(), SB_HORZ, FHorzBarShown);
    }
}

TStrings* THlCustomMemo::GetDropList() const
{
    return FDropList->Items();
}

void THlCustomMemo::SetDropList(TStrings* value)
{
    FDropList->Items()->Assign(value);
}

void THlCustomMemo::SetDropTime(int value)
{
    FDropListTimeDelay = std::clamp(value, 0, 10);
}

// --- Selection storage ---

void THlCustomMemo::SetSelBegin(TPoint value)
{
    FSelAnchorRow = std::max(std::min(value.X, FLines->Count() - 1), 0);
    FSelAnchorCol = std::max(value.Y, 0);
}

void THlCustomMemo::SetSelEnd(TPoint value)
{
    FSelEndRow = std::max(std::min(value.X, FLines->Count() - 1), 0);
    FSelEndCol = std::max(value.Y, 0);
}

void THlCustomMemo::GetSelBounds(int& StartRow, int& EndRow, int& StartCol, int& EndCol) const
{
    const bool endFirst =
        FSelEndRow < FSelAnchorRow || (FSelEndRow == FSelAnchorRow && FSelEndCol < FSelAnchorCol);
    StartRow = endFirst ? FSelEndRow : FSelAnchorRow;
    StartCol = endFirst ? FSelEndCol : FSelAnchorCol;
    EndRow = endFirst ? FSelAnchorRow : FSelEndRow;
    EndCol = endFirst ? FSelAnchorCol : FSelEndCol;
}

// --- Metrics ---

int THlCustomMemo::GutterOffset() const
{
    return FGutterOptions->Visible() ? FGutter->Width() : 0;
}

void THlCustomMemo::UpdateCharBounds()
{
    TCanvas* canvas = FRowBitmap.Canvas();
    canvas->Font()->Assign(Font());
    if (HandleAllocated())
        Canvas()->Font()->Assign(Font());
    // A font too small or too large to measure still divides by at least 1.
    FCharWidth = std::max(canvas->TextWidth("W"), 1);
    FLineHeight = std::max(canvas->TextHeight("Wp"), 1);
    FVisibleRows = ClientHeight() / FLineHeight + 1;
    FVisibleCols = std::max(ClientWidth() - GutterOffset(), 0) / FCharWidth;
}

// --- Scroll bars ---

void THlCustomMemo::UpdateScrollBars()
{
    if (HandleAllocated()) {
        SCROLLINFO info;
        info.fMask = SIF_ALL | SIF_DISABLENOSCROLL;
        info.nMin = 0;
        info.nMax = FLines->Count() + 1;
        info.nPage = static_cast<UINT>(std::max(FVisibleRows - 2, 0));
        info.nPos = FVScrollPos;
        SetScrollInfo(Handle(), SB_VERT, info, TRUE);
        info.nMax = FMaxLineLength;
        info.nPage = static_cast<UINT>(FMaxLineLength / 4);
        info.nPos = FHScrollPos;
        SetScrollInfo(Handle(), SB_HORZ, info, TRUE);
        if (!FVertBarShown)
            ShowScrollBar(Handle(), SB_VERT, FALSE);
        if (!FHorzBarShown)
            ShowScrollBar(Handle(), SB_HORZ, FALSE);
    }
    UpdateChildren();
}

int THlCustomMemo::GetVScrollMax()
{
    if (!HandleAllocated())
        return FLines->Count() + 1 - std::max(FVisibleRows - 2, 0) + 1;
    SCROLLINFO info;
    info.fMask = SIF_ALL;
    GetScrollInfo(Handle(), SB_VERT, info);
    return info.nMax - static_cast<int>(info.nPage) + 1;
}

int THlCustomMemo::GetHScrollMax()
{
    if (!HandleAllocated())
        return FMaxLineLength - FMaxLineLength / 4 + 1;
    SCROLLINFO info;
    info.fMask = SIF_ALL;
    GetScrollInfo(Handle(), SB_HORZ, info);
    return info.nMax - static_cast<int>(info.nPage) + 1;
}

int THlCustomMemo::StoreBarPosition(int bar, int value)
{
    if (!HandleAllocated()) {
        // No bar yet: clamp as the bar would with the values it is going to get.
        const bool vertical = bar == SB_VERT;
        const int maximum = vertical ? FLines->Count() + 1 : FMaxLineLength;
        const int page = vertical ? std::max(FVisibleRows - 2, 0) : FMaxLineLength / 4;
        return std::clamp(value, 0, std::max(maximum - std::max(page - 1, 0), 0));
    }
    SCROLLINFO info;
    info.fMask = SIF_POS;
    info.nPos = value;
    SetScrollInfo(Handle(), bar, info, TRUE);
    GetScrollInfo(Handle(), bar, info);
    return info.nPos;
}

void THlCustomMemo::RaiseTextScrolled(int BottomRow)
{
    if (OnTextScrolled)
        OnTextScrolled(this, FTopRow, BottomRow, FHScrollPos, FMaxLineLength);
}

void THlCustomMemo::SetVPos(int Value)
{
    const int old = FVScrollPos;
    FVScrollPos = StoreBarPosition(SB_VERT, Value);
    if (FVScrollPos != old) {
        const int dy = HlMemo::Pixels(static_cast<long long>(old - FVScrollPos) * FLineHeight);
        ScrollChildren(0, dy);
        FTopRow = FVScrollPos;
        if (FFullRedraw || !HandleAllocated()) {
            Invalidate();
        } else if (FTopRow + FVisibleRows < FLines->Count() - 1) {
            DrawVisible();
        } else {
            const TRect client = ClientRect();
            ScrollWindowEx(Handle(), 0, dy, &client, &client, nullptr, nullptr, SW_INVALIDATE);
        }
    }
    if (OnScrolled_V)
        OnScrolled_V(this);
    RaiseTextScrolled(FTopRow + FVisibleRows + 1);
}

void THlCustomMemo::SetHPos(int Value)
{
    const int old = FHScrollPos;
    FHScrollPos = StoreBarPosition(SB_HORZ, Value);
    if (FHScrollPos != old) {
        ScrollChildren(HlMemo::Pixels(static_cast<long long>(old - FHScrollPos) * FCharWidth), 0);
        if (FFullRedraw || !HandleAllocated())
            Invalidate();
        else
            DrawVisible();
    }
    if (OnScrolled_H)
        OnScrolled_H(this);
    RaiseTextScrolled(FTopRow + FVisibleRows);
}

void THlCustomMemo::ScrollTo(int X, int Y)
{
    SetVPos(Y / FLineHeight);
    SetHPos(X / FCharWidth);
}

void THlCustomMemo::ResetDropList()
{
    if (FDropList->Visible())
        FDropList->SetVisible(false);
    FDropCountdown = 0;
    FDropRow = -1;
    FDropCol = -1;
}

bool THlCustomMemo::ScrollTarget(TMessage& Message, int bar, int current, int& target)
{
    TWMScroll scroll(Message);
    switch (static_cast<WORD>(scroll.ScrollCode)) {
    case SB_LINEUP:
        target = current - 1;
        return true;
    case SB_LINEDOWN:
        target = current + 1;
        return true;
    case SB_PAGEUP:
        target = current - FVisibleRows;
        return true;
    case SB_PAGEDOWN:
        // The horizontal bar also pages by rows.
        target = current + FVisibleRows;
        return true;
    case SB_THUMBPOSITION:
        target = scroll.Pos;
        return true;
    case SB_THUMBTRACK:
        target = scroll.Pos;
        return FTracking;
    case SB_TOP:
        target = 0;
        return true;
    case SB_BOTTOM:
        target = bar == SB_VERT ? FLines->Count() + 1 : FMaxLineLength;
        return true;
    default:
        return false;
    }
}

void THlCustomMemo::WMVScroll(TMessage& Message)
{
    ResetDropList();
    int target = 0;
    if (ScrollTarget(Message, SB_VERT, FVScrollPos, target))
        SetVPos(target);
}

void THlCustomMemo::WMHScroll(TMessage& Message)
{
    ResetDropList();
    int target = 0;
    if (ScrollTarget(Message, SB_HORZ, FHScrollPos, target))
        SetHPos(target);
}

// --- Children that scroll with the text ---

namespace {

bool HlMemoScrollsWithText(const THlCustomMemo* memo, TControl* child)
{
    return child != static_cast<TControl*>(memo->Gutter()) && child != static_cast<TControl*>(memo->DropList());
}

int HlMemoChildTop(std::intptr_t tag)
{
    return static_cast<int>(std::clamp<std::intptr_t>(tag, -10000, 10000));
}

} // namespace

void THlCustomMemo::ScrollChildren(int DX, int DY)
{
    for (int i = 0; i < ControlCount(); ++i) {
        TControl* child = Controls(i);
        if (!HlMemoScrollsWithText(this, child))
            continue;
        if (DY != 0) {
            child->Tag += DY;
            child->SetTop(HlMemoChildTop(child->Tag));
        }
        if (DX != 0)
            child->SetLeft(child->Left() + DX);
    }
}

void THlCustomMemo::UpdateChildren()
{
    for (int i = 0; i < ControlCount(); ++i) {
        TControl* child = Controls(i);
        if (HlMemoScrollsWithText(this, child))
            child->SetTop(HlMemoChildTop(child->Tag));
    }
}
