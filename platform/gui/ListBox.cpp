// List boxes.

#include "platform/gui/ListBox.h"

#include "platform/gui/DeviceContext.h"
#include "platform/gui/GdiDraw.h"
#include "platform/gui/InputTranslation.h"
#include "platform/gui/TextOutput.h"
#include "platform/gui/WindowFunctions.h"
#include "platform/gui/private/QtBridge.h"
#include "platform/gui/private/StdCtrlSupport.h"
#include "platform/gui/private/Surfaces.h"
#include "platform/rtl/TextUtils.h"

#include <algorithm>
#include <cmath>
#include <cstring>

// --- TListBoxStrings -------------------------------------------------------------------------------

int TListBoxStrings::GetCount() const { return FListBox->Count(); }

std::string TListBoxStrings::Get(int index) const
{
    if (!FListBox->Valid(index))
        Error("List index out of bounds (%d)", index);
    return FListBox->FList[static_cast<std::size_t>(index)].Text;
}

void TListBoxStrings::Put(int index, const std::string& s)
{
    if (!FListBox->Valid(index))
        Error("List index out of bounds (%d)", index);
    const int selected = FListBox->ItemIndex();
    const std::uintptr_t data = FListBox->FList[static_cast<std::size_t>(index)].Data;
    FListBox->DeleteItem(index);
    const int at = FListBox->InsertItem(index, s, false);
    FListBox->FList[static_cast<std::size_t>(at)].Data = data;
    if (selected == index)
        FListBox->SetItemIndex(at);
}

TObject* TListBoxStrings::GetObject(int index) const
{
    if (!FListBox->Valid(index))
        Error("List index out of bounds (%d)", index);
    return reinterpret_cast<TObject*>(FListBox->FList[static_cast<std::size_t>(index)].Data);
}

void TListBoxStrings::PutObject(int index, TObject* object)
{
    if (!FListBox->Valid(index))
        Error("List index out of bounds (%d)", index);
    FListBox->FList[static_cast<std::size_t>(index)].Data = reinterpret_cast<std::uintptr_t>(object);
}

// The changes of the list go to the list box as its messages, so that a descendant's message
// handling sees every item added or removed.
int TListBoxStrings::Add(const std::string& s)
{
    return static_cast<int>(FListBox->Perform(LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(s.c_str())));
}

void TListBoxStrings::Insert(int index, const std::string& s)
{
    if (index < 0 || index > FListBox->Count())
        Error("List index out of bounds (%d)", index);
    FListBox->Perform(LB_INSERTSTRING, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(s.c_str()));
}

void TListBoxStrings::Delete(int index)
{
    if (!FListBox->Valid(index))
        Error("List index out of bounds (%d)", index);
    FListBox->Perform(LB_DELETESTRING, static_cast<WPARAM>(index), 0);
}

void TListBoxStrings::Clear() { FListBox->Perform(LB_RESETCONTENT, 0, 0); }

int TListBoxStrings::IndexOf(const std::string& s) const { return FListBox->FindString(-1, s, true); }

void TListBoxStrings::SetUpdateState(bool updating)
{
    FListBox->FUpdateCount += updating ? 1 : -1;
    if (!updating)
        FListBox->Changed();
}

// --- TCustomListBox --------------------------------------------------------------------------------

TCustomListBox::TCustomListBox(TComponent* AOwner)
    : TWinControl(AOwner), FItems(std::make_unique<TListBoxStrings>(this)), FCanvas(std::make_unique<TControlCanvas>())
{
    ControlStyle = TControlStyle{csSetCaption, csDoubleClicks, csOpaque};
    FCanvas->SetControl(this);
    SetTabStop(true);
    SetParentColor(false);
    SetBounds(0, 0, 121, 97);
}

TCustomListBox::~TCustomListBox() = default;

void TCustomListBox::CreateParams(TCreateParams& Params)
{
    TWinControl::CreateParams(Params);
    Params.WinClassName = "LISTBOX";
    Params.Style |= LBS_NOTIFY | LBS_HASSTRINGS | LBS_NOINTEGRALHEIGHT | WS_TABSTOP;
    if (FSorted)
        Params.Style |= LBS_SORT;
    if (FMultiSelect)
        Params.Style |= FExtendedSelect ? LBS_EXTENDEDSEL : LBS_MULTIPLESEL;
    if (FStyle == lbOwnerDrawFixed)
        Params.Style |= LBS_OWNERDRAWFIXED;
    else if (FStyle == lbOwnerDrawVariable)
        Params.Style |= LBS_OWNERDRAWVARIABLE;
    if (FTabWidth > 0)
        Params.Style |= LBS_USETABSTOPS;
    if (FColumns > 0)
        Params.Style |= LBS_MULTICOLUMN | WS_HSCROLL;
    if (FBorderStyle == bsSingle)
        Params.ExStyle |= WS_EX_CLIENTEDGE;
}

int TCustomListBox::ItemHeight() const
{
    if (FItemHeightSet || OwnerDraw())
        return FItemHeight;
    return StdCtrl::TextHeight(*FWindow->Font());
}

void TCustomListBox::SetItemHeight(int value)
{
    if (value <= 0)
        return;
    FItemHeight = value;
    FItemHeightSet = true;
    Changed();
}

int TCustomListBox::HeightOf(int index) const
{
    if (FStyle == lbOwnerDrawVariable && Valid(index) && FList[static_cast<std::size_t>(index)].Height > 0)
        return FList[static_cast<std::size_t>(index)].Height;
    return ItemHeight();
}

int TCustomListBox::VisibleHeight() const { return FWindow->ClientHeight(); }

void TCustomListBox::Changed()
{
    if (FUpdateCount > 0)
        return;
    UpdateScrollBars();
    FWindow->Invalidate();
}

int TCustomListBox::InsertItem(int index, const std::string& text, bool sortedAdd)
{
    if (index < 0 || index > Count())
        index = Count();
    if (sortedAdd && FSorted) {
        index = 0;
        // After the equal ones, as the Windows list box does.
        int low = 0, high = Count();
        while (low < high) {
            const int middle = (low + high) / 2;
            if (AnsiCompareText(FList[static_cast<std::size_t>(middle)].Text, text) <= 0)
                low = middle + 1;
            else
                high = middle;
        }
        index = low;
    }
    TItem item;
    item.Text = text;
    FList.insert(FList.begin() + index, item);
    if (FCaret >= index)
        ++FCaret;
    if (FStyle == lbOwnerDrawVariable) {
        MEASUREITEMSTRUCT measure;
        measure.CtlType = ODT_LISTBOX;
        measure.CtlID = static_cast<UINT>(StdCtrl::ControlId(FWindow));
        measure.itemID = static_cast<UINT>(index);
        measure.itemHeight = static_cast<UINT>(ItemHeight());
        StdCtrl::SendToParent(FWindow, WM_MEASUREITEM, measure.CtlID, reinterpret_cast<LPARAM>(&measure));
        FList[static_cast<std::size_t>(index)].Height = static_cast<int>(measure.itemHeight);
    }
    Changed();
    return index;
}

void TCustomListBox::DeleteItem(int index)
{
    FList.erase(FList.begin() + index);
    if (FCaret == index)
        FCaret = -1;
    else if (FCaret > index)
        --FCaret;
    if (FAnchor >= Count())
        FAnchor = -1;
    FTopIndex = std::clamp(FTopIndex, 0, std::max(Count() - 1, 0));
    Changed();
}

void TCustomListBox::ResetContent()
{
    FList.clear();
    FCaret = -1;
    FAnchor = -1;
    FTopIndex = 0;
    Changed();
}

void TCustomListBox::Clear() { FItems->Clear(); }

void TCustomListBox::Notify(WORD code)
{
    if (FNotify)
        StdCtrl::NotifyParent(FWindow, code);
}

int TCustomListBox::ItemIndex() const
{
    if (FMultiSelect)
        return FCaret;
    return Valid(FCaret) && FList[static_cast<std::size_t>(FCaret)].Selected ? FCaret : -1;
}

void TCustomListBox::SetItemIndex(int value)
{
    if (!Valid(value))
        value = -1;
    if (!FMultiSelect)
        for (TItem& item : FList)
            item.Selected = false;
    if (value >= 0 && !FMultiSelect)
        FList[static_cast<std::size_t>(value)].Selected = true;
    FCaret = value;
    if (value >= 0)
        MakeVisible(value);
    FWindow->Invalidate();
}

bool TCustomListBox::Selected(int index) const
{
    if (!Valid(index))
        RAISE(EListError("List index out of bounds (" + std::to_string(index) + ")"));
    return FList[static_cast<std::size_t>(index)].Selected;
}

void TCustomListBox::SetSelected(int index, bool value)
{
    if (!Valid(index))
        RAISE(EListError("List index out of bounds (" + std::to_string(index) + ")"));
    if (!FMultiSelect) {
        if (value)
            SetItemIndex(index);
        else if (ItemIndex() == index)
            SetItemIndex(-1);
        return;
    }
    FList[static_cast<std::size_t>(index)].Selected = value;
    FWindow->Invalidate();
}

int TCustomListBox::SelCount() const
{
    if (!FMultiSelect)
        return -1;
    return static_cast<int>(std::count_if(FList.begin(), FList.end(), [](const TItem& i) { return i.Selected; }));
}

void TCustomListBox::SetMultiSelect(bool value)
{
    FMultiSelect = value;
    if (FWindow->HandleAllocated())
        RecreateWnd();
}

void TCustomListBox::SetSorted(bool value)
{
    if (FSorted == value)
        return;
    FSorted = value;
    if (value) {
        std::stable_sort(FList.begin(), FList.end(),
                         [](const TItem& a, const TItem& b) { return AnsiCompareText(a.Text, b.Text) < 0; });
        Changed();
    }
}

void TCustomListBox::SetStyle(TListBoxStyle value)
{
    FStyle = value;
    Changed();
}

void TCustomListBox::SetColumns(int value)
{
    FColumns = std::max(value, 0);
    Changed();
}

void TCustomListBox::SetTabWidth(int value)
{
    FTabWidth = std::max(value, 0);
    FTabStops.clear();
    if (FTabWidth > 0)
        FTabStops.push_back(FTabWidth);
    FWindow->Invalidate();
}

void TCustomListBox::SetBorderStyle(TBorderStyle value)
{
    FBorderStyle = value;
    if (FWindow->HandleAllocated())
        RecreateWnd();
}

void TCustomListBox::SetTopIndex(int value)
{
    value = std::clamp(value, 0, std::max(Count() - 1, 0));
    if (value == FTopIndex)
        return;
    FTopIndex = value;
    UpdateScrollBars();
    FWindow->Invalidate();
}

TRect TCustomListBox::ItemRect(int index) const
{
    const int width = std::max(FWindow->ClientWidth(), FHorizontalExtent);
    if (index < 0 || index > Count())
        return TRect();
    int top = 0;
    if (index >= FTopIndex) {
        for (int i = FTopIndex; i < index; ++i)
            top += HeightOf(i);
    } else {
        for (int i = index; i < FTopIndex; ++i)
            top -= HeightOf(i);
    }
    return Rect(-FLeftOffset, top, width - FLeftOffset, top + HeightOf(index));
}

int TCustomListBox::ItemAtPos(TPoint pos, bool existing) const
{
    if (pos.Y < 0 || pos.X < 0 || pos.X >= FWindow->ClientWidth()) {
        if (existing)
            return -1;
    }
    int top = 0;
    for (int i = FTopIndex; i < Count(); ++i) {
        const int height = HeightOf(i);
        if (pos.Y >= top && pos.Y < top + height)
            return i;
        top += height;
        if (top > FWindow->ClientHeight() && pos.Y < top)
            break;
    }
    return existing ? -1 : Count();
}

int TCustomListBox::FindString(int start, const std::string& text, bool exact) const
{
    const int count = Count();
    if (count == 0)
        return -1;
    for (int n = 1; n <= count; ++n) {
        const int i = (start + n) % count;
        const std::string& item = FList[static_cast<std::size_t>(i < 0 ? i + count : i)].Text;
        if (exact ? AnsiCompareText(item, text) == 0 : AnsiCompareText(item.substr(0, text.size()), text) == 0)
            return i < 0 ? i + count : i;
    }
    return -1;
}

void TCustomListBox::MakeVisible(int index)
{
    if (!Valid(index))
        return;
    if (index < FTopIndex) {
        SetTopIndex(index);
        return;
    }
    int height = 0;
    for (int i = FTopIndex; i <= index; ++i)
        height += HeightOf(i);
    int top = FTopIndex;
    while (height > VisibleHeight() && top < index) {
        height -= HeightOf(top);
        ++top;
    }
    SetTopIndex(top);
}

void TCustomListBox::UpdateScrollBars()
{
    if (!FWindow->HandleAllocated() || FUpdateCount > 0)
        return;
    int perPage = 0;
    for (int i = FTopIndex, h = 0; i < Count(); ++i) {
        h += HeightOf(i);
        if (h > FWindow->ClientHeight())
            break;
        ++perPage;
    }
    int total = 0;
    for (int i = 0; i < Count() && total <= FWindow->ClientHeight(); ++i)
        total += HeightOf(i);
    const bool vertical = total > FWindow->ClientHeight();
    SCROLLINFO info;
    info.fMask = SIF_ALL;
    info.nMin = 0;
    info.nMax = std::max(Count() - 1, 0);
    info.nPage = static_cast<UINT>(std::max(perPage, 1));
    info.nPos = FTopIndex;
    ShowScrollBar(FWindow->Handle(), SB_VERT, vertical ? TRUE : FALSE);
    if (vertical)
        SetScrollInfo(FWindow->Handle(), SB_VERT, info, TRUE);
    const bool horizontal = FHorizontalExtent > FWindow->ClientWidth();
    ShowScrollBar(FWindow->Handle(), SB_HORZ, horizontal ? TRUE : FALSE);
    if (horizontal) {
        SCROLLINFO h;
        h.fMask = SIF_ALL;
        h.nMin = 0;
        h.nMax = FHorizontalExtent - 1;
        h.nPage = static_cast<UINT>(FWindow->ClientWidth());
        h.nPos = FLeftOffset;
        SetScrollInfo(FWindow->Handle(), SB_HORZ, h, TRUE);
    } else {
        FLeftOffset = 0;
    }
}

void TCustomListBox::CreateWnd()
{
    TWinControl::CreateWnd();
    UpdateScrollBars();
}

void TCustomListBox::BoundsChanged(bool moved, bool resized)
{
    TWinControl::BoundsChanged(moved, resized);
    if (resized)
        UpdateScrollBars();
}

void TCustomListBox::SetCaret(int index)
{
    FCaret = index;
    MakeVisible(index);
    FWindow->Invalidate();
}

void TCustomListBox::SelectRange(int from, int to, bool value)
{
    if (from > to)
        std::swap(from, to);
    for (int i = std::max(from, 0); i <= to && i < Count(); ++i)
        FList[static_cast<std::size_t>(i)].Selected = value;
}

void TCustomListBox::UserSelect(int index, TShiftState shift, bool fromMouse)
{
    if (!Valid(index))
        return;
    if (!FMultiSelect) {
        const bool changed = ItemIndex() != index;
        SetItemIndex(index);
        if (changed)
            Notify(LBN_SELCHANGE);
        return;
    }
    if (!FExtendedSelect) {
        if (fromMouse || shift.Contains(ssCtrl))
            FList[static_cast<std::size_t>(index)].Selected = !FList[static_cast<std::size_t>(index)].Selected;
        SetCaret(index);
        Notify(LBN_SELCHANGE);
        return;
    }
    if (shift.Contains(ssShift) && FAnchor >= 0) {
        if (!shift.Contains(ssCtrl))
            for (TItem& item : FList)
                item.Selected = false;
        SelectRange(FAnchor, index, true);
    } else if (shift.Contains(ssCtrl)) {
        if (fromMouse)
            FList[static_cast<std::size_t>(index)].Selected = !FList[static_cast<std::size_t>(index)].Selected;
        FAnchor = index;
    } else {
        for (TItem& item : FList)
            item.Selected = false;
        FList[static_cast<std::size_t>(index)].Selected = true;
        FAnchor = index;
    }
    SetCaret(index);
    Notify(LBN_SELCHANGE);
}

void TCustomListBox::MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y)
{
    if (Button == mbLeft) {
        if (FWindow->CanFocus() && !FWindow->Focused())
            FWindow->SetFocus();
        if (Shift.Contains(ssDouble)) {
            Notify(LBN_DBLCLK);
        } else {
            const int index = ItemAtPos({X, Y}, true);
            if (index >= 0)
                UserSelect(index, Shift, true);
            FMouseSelecting = true;
            FWindow->SetMouseCapture(true);
        }
    }
    TWinControl::MouseDown(Button, Shift, X, Y);
}

void TCustomListBox::MouseMove(TShiftState Shift, int X, int Y)
{
    if (FMouseSelecting && Shift.Contains(ssLeft) && FWindow->DragMode == dmManual) {
        const int index = ItemAtPos({X, std::clamp(Y, 0, std::max(FWindow->ClientHeight() - 1, 0))}, true);
        if (index >= 0 && index != FCaret) {
            if (FMultiSelect && FExtendedSelect)
                UserSelect(index, TShiftState{ssShift}, true);
            else if (!FMultiSelect)
                UserSelect(index, {}, true);
        }
    }
    TWinControl::MouseMove(Shift, X, Y);
}

void TCustomListBox::MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y)
{
    if (Button == mbLeft && FMouseSelecting) {
        FMouseSelecting = false;
        FWindow->SetMouseCapture(false);
    }
    TWinControl::MouseUp(Button, Shift, X, Y);
}

void TCustomListBox::KeyDown(WORD& Key, TShiftState Shift)
{
    TWinControl::KeyDown(Key, Shift);
    if (Count() == 0)
        return;
    int perPage = std::max(VisibleHeight() / std::max(ItemHeight(), 1), 1);
    int target = -2;
    const int current = std::max(FCaret, 0);
    switch (Key) {
    case VK_UP:
        target = std::max(FCaret - 1, 0);
        break;
    case VK_DOWN:
        target = std::min(FCaret + 1, Count() - 1);
        break;
    case VK_PRIOR:
        target = std::max(current - perPage + 1, 0);
        break;
    case VK_NEXT:
        target = std::min(current + perPage - 1, Count() - 1);
        break;
    case VK_HOME:
        target = 0;
        break;
    case VK_END:
        target = Count() - 1;
        break;
    case VK_SPACE:
        if (FMultiSelect && Valid(FCaret)) {
            FList[static_cast<std::size_t>(FCaret)].Selected = !FList[static_cast<std::size_t>(FCaret)].Selected;
            FAnchor = FCaret;
            FWindow->Invalidate();
            Notify(LBN_SELCHANGE);
        }
        return;
    default:
        return;
    }
    if (FMultiSelect && !FExtendedSelect)
        SetCaret(target);
    else if (FMultiSelect && Shift.Contains(ssCtrl) && !Shift.Contains(ssShift))
        SetCaret(target);
    else
        UserSelect(target, Shift * TShiftState{ssShift}, false);
}

void TCustomListBox::KeyPress(char& Key)
{
    TWinControl::KeyPress(Key);
    if (static_cast<unsigned char>(Key) <= ' ')
        return;
    const int index = FindString(FCaret, std::string(1, Key), false);
    if (index >= 0)
        UserSelect(index, {}, false);
}

void TCustomListBox::MeasureItem(int Index, int& Height)
{
    if (OnMeasureItem)
        OnMeasureItem(this, Index, Height);
}

void TCustomListBox::DrawItem(int Index, TRect Rect, TOwnerDrawState State)
{
    if (OnDrawItem) {
        OnDrawItem(this, Index, Rect, State);
        return;
    }
    FCanvas->FillRect(Rect);
    if (!Valid(Index))
        return;
    const std::string& text = FList[static_cast<std::size_t>(Index)].Text;
    if (!FTabStops.empty() && text.find('\t') != std::string::npos) {
        DrawTabbedText(text, Rect);
        return;
    }
    UINT flags = DT_SINGLELINE | DT_NOPREFIX | DT_VCENTER;
    if (FTabWidth > 0 || text.find('\t') != std::string::npos)
        flags |= DT_EXPANDTABS;
    TRect textRect = Rect;
    textRect.Left += 2;
    // The canvas selects its font on first use; the text colour is set here for DrawText.
    FCanvas->TextHeight("0");
    HDC dc = FCanvas->Handle();
    SetTextColor(dc, ColorToRGB(FCanvas->Font()->Color()));
    const int mode = SetBkMode(dc, TRANSPARENT);
    DrawTextA(dc, text, -1, &textRect, flags);
    SetBkMode(dc, mode);
}

// Tab stops are in dialog units, a quarter of the width of "0" each.
void TCustomListBox::DrawTabbedText(const std::string& text, const TRect& rect)
{
    const int quarter = FCanvas->TextWidth("0");
    std::vector<int> stops;
    for (int stop : FTabStops)
        stops.push_back(static_cast<int>(std::lround(stop * quarter * 0.25)));
    HDC dc = FCanvas->Handle();
    SetTextColor(dc, ColorToRGB(FCanvas->Font()->Color()));
    const int mode = SetBkMode(dc, TRANSPARENT);
    const int y = std::max(rect.Top, (rect.Top + rect.Bottom - FCanvas->TextHeight("Wy")) / 2);
    TabbedTextOutA(dc, rect.Left + 2, y, text, static_cast<int>(text.size()), static_cast<int>(stops.size()),
                   stops.data(), rect.Left + 2);
    SetBkMode(dc, mode);
}

void TCustomListBox::DrawItemStruct(DRAWITEMSTRUCT& draw)
{
    const TOwnerDrawState state = TOwnerDrawState::FromBits(draw.itemState & 0xFFFF);
    FCanvas->SetHandle(draw.hDC);
    FCanvas->SetFont(FWindow->Font());
    FCanvas->Brush()->SetColor(FWindow->Color());
    FCanvas->Brush()->SetStyle(bsSolid);
    const int index = static_cast<int>(draw.itemID);
    if (index >= 0 && state.Contains(odSelected)) {
        FCanvas->Brush()->SetColor(clHighlight);
        FCanvas->Font()->SetColor(clHighlightText);
    }
    if (index >= 0)
        DrawItem(index, draw.rcItem, state);
    else
        FCanvas->FillRect(draw.rcItem);
    if (state.Contains(odFocused))
        DrawFocusRect(draw.hDC, &draw.rcItem);
    FCanvas->SetHandle(nullptr);
}

void TCustomListBox::MeasureItemStruct(MEASUREITEMSTRUCT& measure)
{
    int height = static_cast<int>(measure.itemHeight);
    MeasureItem(static_cast<int>(measure.itemID), height);
    measure.itemHeight = static_cast<UINT>(height);
}

void TCustomListBox::Paint()
{
    if (!FWindow->HandleAllocated())
        return;
    StdCtrl::TClientPaintDC paintDC(FWindow);
    HDC dc = paintDC.Handle();
    const int clientHeight = FWindow->ClientHeight();
    int bottom = 0;
    for (int i = FTopIndex; i < Count() && bottom < clientHeight; ++i) {
        DRAWITEMSTRUCT draw;
        draw.CtlType = ODT_LISTBOX;
        draw.CtlID = static_cast<UINT>(StdCtrl::ControlId(FWindow));
        draw.itemID = static_cast<UINT>(i);
        draw.itemAction = ODA_DRAWENTIRE;
        const TItem& item = FList[static_cast<std::size_t>(i)];
        if (item.Selected)
            draw.itemState |= ODS_SELECTED;
        if (i == FCaret && FWindow->Focused())
            draw.itemState |= ODS_FOCUS;
        if (!FWindow->Enabled())
            draw.itemState |= ODS_DISABLED;
        draw.hwndItem = FWindow->Handle();
        draw.hDC = dc;
        draw.rcItem = ItemRect(i);
        draw.itemData = item.Data;
        bottom = draw.rcItem.Bottom;
        if (OwnerDraw())
            StdCtrl::SendToParent(FWindow, WM_DRAWITEM, draw.CtlID, reinterpret_cast<LPARAM>(&draw));
        else
            DrawItemStruct(draw);
    }
    if (bottom < clientHeight) {
        FCanvas->SetHandle(dc);
        FCanvas->Brush()->SetColor(FWindow->Color());
        FCanvas->Brush()->SetStyle(bsSolid);
        FCanvas->FillRect(Rect(0, bottom, FWindow->ClientWidth(), clientHeight));
        FCanvas->SetHandle(nullptr);
    }
    if (Count() == 0 && FWindow->Focused()) {
        const TRect focus = Rect(0, 0, FWindow->ClientWidth(), ItemHeight());
        DrawFocusRect(dc, &focus);
    }
}

LRESULT TCustomListBox::ListMessage(TMessage& Message, bool& handled)
{
    handled = true;
    const int index = static_cast<int>(static_cast<std::intptr_t>(Message.WParam));
    const auto* text = reinterpret_cast<const char*>(Message.LParam);
    switch (Message.Msg) {
    case LB_ADDSTRING:
        return InsertItem(-1, text ? text : "", true);
    case LB_INSERTSTRING:
        if (index < -1 || index > Count())
            return LB_ERR;
        return InsertItem(index, text ? text : "", false);
    case LB_DELETESTRING:
        if (!Valid(index))
            return LB_ERR;
        DeleteItem(index);
        return Count();
    case LB_RESETCONTENT:
        ResetContent();
        return 0;
    case LB_GETCOUNT:
        return Count();
    case LB_GETTEXT:
        if (!Valid(index))
            return LB_ERR;
        if (Message.LParam) {
            const std::string& item = FList[static_cast<std::size_t>(index)].Text;
            std::memcpy(reinterpret_cast<char*>(Message.LParam), item.c_str(), item.size() + 1);
        }
        return static_cast<LRESULT>(FList[static_cast<std::size_t>(index)].Text.size());
    case LB_GETTEXTLEN:
        return Valid(index) ? static_cast<LRESULT>(FList[static_cast<std::size_t>(index)].Text.size()) : LB_ERR;
    case LB_GETITEMDATA:
        return Valid(index) ? static_cast<LRESULT>(FList[static_cast<std::size_t>(index)].Data) : LB_ERR;
    case LB_SETITEMDATA:
        if (!Valid(index))
            return LB_ERR;
        FList[static_cast<std::size_t>(index)].Data = static_cast<std::uintptr_t>(Message.LParam);
        return 0;
    case LB_GETCURSEL:
        return FMultiSelect ? FCaret : ItemIndex();
    case LB_SETCURSEL:
        if (FMultiSelect)
            return LB_ERR;
        SetItemIndex(index);
        return Valid(index) ? index : LB_ERR;
    case LB_GETSEL:
        return Valid(index) ? (FList[static_cast<std::size_t>(index)].Selected ? 1 : 0) : LB_ERR;
    case LB_SETSEL: {
        if (!FMultiSelect)
            return LB_ERR;
        const int item = static_cast<int>(Message.LParam);
        if (item == -1) {
            for (TItem& i : FList)
                i.Selected = Message.WParam != 0;
        } else if (Valid(item)) {
            FList[static_cast<std::size_t>(item)].Selected = Message.WParam != 0;
        } else {
            return LB_ERR;
        }
        FWindow->Invalidate();
        return 0;
    }
    case LB_SELITEMRANGE:
    case LB_SELITEMRANGEEX: {
        if (!FMultiSelect)
            return LB_ERR;
        int first = Message.Msg == LB_SELITEMRANGE ? LOWORD(static_cast<std::uintptr_t>(Message.LParam)) : index;
        int last = Message.Msg == LB_SELITEMRANGE ? HIWORD(static_cast<std::uintptr_t>(Message.LParam))
                                                  : static_cast<int>(Message.LParam);
        bool value = Message.Msg == LB_SELITEMRANGE ? Message.WParam != 0 : first <= last;
        SelectRange(first, last, value);
        FWindow->Invalidate();
        return 0;
    }
    case LB_GETSELCOUNT:
        return FMultiSelect ? SelCount() : LB_ERR;
    case LB_GETSELITEMS: {
        if (!FMultiSelect)
            return LB_ERR;
        auto* out = reinterpret_cast<int*>(Message.LParam);
        int n = 0;
        for (int i = 0; i < Count() && n < index; ++i)
            if (FList[static_cast<std::size_t>(i)].Selected) {
                if (out)
                    out[n] = i;
                ++n;
            }
        return n;
    }
    case LB_FINDSTRING:
    case LB_FINDSTRINGEXACT:
        return FindString(index, text ? text : "", Message.Msg == LB_FINDSTRINGEXACT);
    case LB_SELECTSTRING: {
        const int found = FindString(index, text ? text : "", false);
        if (found >= 0 && !FMultiSelect)
            SetItemIndex(found);
        return found;
    }
    case LB_GETTOPINDEX:
        return FTopIndex;
    case LB_SETTOPINDEX:
        if (!Valid(index) && !(index == 0 && Count() == 0))
            return LB_ERR;
        SetTopIndex(index);
        return 0;
    case LB_GETITEMRECT: {
        if (index < 0 || index > Count() || (index == Count() && Count() > 0 && false))
            return LB_ERR;
        if (auto* rect = reinterpret_cast<TRect*>(Message.LParam))
            *rect = ItemRect(index);
        return 1;
    }
    case LB_ITEMFROMPOINT: {
        const TPoint point{GET_X_LPARAM(Message.LParam), GET_Y_LPARAM(Message.LParam)};
        int item = ItemAtPos(point, true);
        bool outside = item < 0;
        if (outside)
            item = std::max(std::min(ItemAtPos(point, false), Count() - 1), 0);
        return MAKELRESULT(static_cast<WORD>(item), outside ? 1 : 0);
    }
    case LB_SETITEMHEIGHT: {
        const int height = LOWORD(static_cast<std::uintptr_t>(Message.LParam));
        if (height <= 0 || height > 255)
            return LB_ERR;
        if (FStyle == lbOwnerDrawVariable && Valid(index))
            FList[static_cast<std::size_t>(index)].Height = height;
        else
            SetItemHeight(height);
        FWindow->Invalidate();
        return 0;
    }
    case LB_GETITEMHEIGHT:
        return HeightOf(index);
    case LB_SETCARETINDEX:
        if (!Valid(index))
            return LB_ERR;
        SetCaret(index);
        return 0;
    case LB_GETCARETINDEX:
        return FCaret;
    case LB_SETANCHORINDEX:
        if (!Valid(index))
            return LB_ERR;
        FAnchor = index;
        return 0;
    case LB_GETANCHORINDEX:
        return FAnchor;
    case LB_SETHORIZONTALEXTENT:
        FHorizontalExtent = index;
        UpdateScrollBars();
        FWindow->Invalidate();
        return 0;
    case LB_GETHORIZONTALEXTENT:
        return FHorizontalExtent;
    case LB_SETTABSTOPS: {
        // No stops: one every 32 dialog units; one: every that many; more: each where it says.
        const auto* stops = reinterpret_cast<const int*>(Message.LParam);
        const int count = static_cast<int>(Message.WParam);
        FTabStops.clear();
        if (count <= 0 || !stops)
            FTabStops.push_back(32);
        else
            FTabStops.assign(stops, stops + count);
        FWindow->Invalidate();
        return 1;
    }
    case LB_SETCOLUMNWIDTH:
        return 0;
    default:
        handled = false;
        return 0;
    }
}

void TCustomListBox::Dispatch(TMessage& Message)
{
    if (Message.Msg >= LB_ADDSTRING && Message.Msg <= LB_ITEMFROMPOINT) {
        bool handled = false;
        const LRESULT result = ListMessage(Message, handled);
        if (handled) {
            Message.Result = result;
            return;
        }
    }
    switch (Message.Msg) {
    case CN_COMMAND:
        StdCtrl::MarkReflected();
        switch (HIWORD(Message.WParam)) {
        case LBN_SELCHANGE:
            Click();
            break;
        case LBN_DBLCLK:
            DblClick();
            break;
        default:
            break;
        }
        return;
    case CN_DRAWITEM:
        StdCtrl::MarkReflected();
        if (auto* draw = reinterpret_cast<DRAWITEMSTRUCT*>(Message.LParam))
            DrawItemStruct(*draw);
        Message.Result = 1;
        return;
    case CN_MEASUREITEM:
        StdCtrl::MarkReflected();
        if (auto* measure = reinterpret_cast<MEASUREITEMSTRUCT*>(Message.LParam))
            MeasureItemStruct(*measure);
        Message.Result = 1;
        return;
    case WM_VSCROLL: {
        const int perPage = std::max(VisibleHeight() / std::max(ItemHeight(), 1), 1);
        switch (LOWORD(Message.WParam)) {
        case SB_LINEUP:
            SetTopIndex(FTopIndex - 1);
            break;
        case SB_LINEDOWN:
            SetTopIndex(std::min(FTopIndex + 1, std::max(Count() - perPage, 0)));
            break;
        case SB_PAGEUP:
            SetTopIndex(FTopIndex - perPage);
            break;
        case SB_PAGEDOWN:
            SetTopIndex(std::min(FTopIndex + perPage, std::max(Count() - perPage, 0)));
            break;
        case SB_THUMBTRACK:
        case SB_THUMBPOSITION: {
            SCROLLINFO info;
            info.fMask = SIF_TRACKPOS;
            if (FWindow->HandleAllocated() && GetScrollInfo(FWindow->Handle(), SB_VERT, info))
                SetTopIndex(info.nTrackPos);
            else
                SetTopIndex(static_cast<SHORT>(HIWORD(Message.WParam)));
            break;
        }
        case SB_TOP:
            SetTopIndex(0);
            break;
        case SB_BOTTOM:
            SetTopIndex(std::max(Count() - perPage, 0));
            break;
        default:
            break;
        }
        return;
    }
    case WM_HSCROLL: {
        const int maxOffset = std::max(FHorizontalExtent - FWindow->ClientWidth(), 0);
        int offset = FLeftOffset;
        switch (LOWORD(Message.WParam)) {
        case SB_LINELEFT:
            offset -= 8;
            break;
        case SB_LINERIGHT:
            offset += 8;
            break;
        case SB_PAGELEFT:
            offset -= FWindow->ClientWidth();
            break;
        case SB_PAGERIGHT:
            offset += FWindow->ClientWidth();
            break;
        case SB_THUMBTRACK:
        case SB_THUMBPOSITION: {
            SCROLLINFO info;
            info.fMask = SIF_TRACKPOS;
            if (FWindow->HandleAllocated() && GetScrollInfo(FWindow->Handle(), SB_HORZ, info))
                offset = info.nTrackPos;
            break;
        }
        case SB_LEFT:
            offset = 0;
            break;
        case SB_RIGHT:
            offset = maxOffset;
            break;
        default:
            break;
        }
        FLeftOffset = std::clamp(offset, 0, maxOffset);
        UpdateScrollBars();
        FWindow->Invalidate();
        return;
    }
    case WM_GETDLGCODE:
        Message.Result = DLGC_WANTARROWS | DLGC_WANTCHARS;
        return;
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
        TWinControl::Dispatch(Message);
        FWindow->Invalidate();
        return;
    case CM_FONTCHANGED:
    case CM_ENABLEDCHANGED:
        TWinControl::Dispatch(Message);
        Changed();
        return;
    case WM_SIZE:
        TWinControl::Dispatch(Message);
        UpdateScrollBars();
        return;
    default:
        TWinControl::Dispatch(Message);
    }
}

// --- TListBoxWindow --------------------------------------------------------------------------------

TListBoxWindow::TListBoxWindow(TWinControl* window, DWORD style) : TCustomListBox(nullptr)
{
    FWindow = window;
    FCanvas->SetControl(window);
    FNotify = (style & LBS_NOTIFY) != 0;
    FSorted = (style & LBS_SORT) != 0;
    FMultiSelect = (style & (LBS_MULTIPLESEL | LBS_EXTENDEDSEL)) != 0;
    FExtendedSelect = (style & LBS_EXTENDEDSEL) != 0;
    if (style & LBS_OWNERDRAWVARIABLE)
        FStyle = lbOwnerDrawVariable;
    else if (style & LBS_OWNERDRAWFIXED)
        FStyle = lbOwnerDrawFixed;
    if (FStyle == lbOwnerDrawFixed)
        AskItemHeight();
}

// A fixed owner-drawn list asks its parent once, while its window is made, how high its items are.
void TListBoxWindow::AskItemHeight()
{
    MEASUREITEMSTRUCT measure;
    measure.CtlType = ODT_LISTBOX;
    measure.CtlID = static_cast<UINT>(StdCtrl::ControlId(FWindow));
    measure.itemID = 0;
    measure.itemHeight = static_cast<UINT>(ItemHeight());
    StdCtrl::SendToParent(FWindow, WM_MEASUREITEM, measure.CtlID, reinterpret_cast<LPARAM>(&measure));
    if (measure.itemHeight > 0 && measure.itemHeight <= 255)
        SetItemHeight(static_cast<int>(measure.itemHeight));
}

bool TListBoxWindow::WindowMessage(TMessage& Message)
{
    if (Message.Msg >= LB_ADDSTRING && Message.Msg <= LB_ITEMFROMPOINT) {
        bool handled = false;
        const LRESULT result = ListMessage(Message, handled);
        if (handled)
            Message.Result = result;
        return handled;
    }
    const int x = GET_X_LPARAM(Message.LParam);
    const int y = GET_Y_LPARAM(Message.LParam);
    TShiftState shift = KeysToShiftState(static_cast<WORD>(Message.WParam & 0xFFFF));
    switch (Message.Msg) {
    case WM_LBUTTONDOWN:
        MouseDown(mbLeft, shift, x, y);
        return true;
    case WM_LBUTTONDBLCLK:
        shift.Include(ssDouble);
        MouseDown(mbLeft, shift, x, y);
        return true;
    case WM_MOUSEMOVE:
        MouseMove(shift, x, y);
        return true;
    case WM_LBUTTONUP:
        MouseUp(mbLeft, shift, x, y);
        return true;
    case WM_KEYDOWN: {
        WORD key = static_cast<WORD>(Message.WParam);
        KeyDown(key, KeyDataToShiftState(static_cast<int>(Message.LParam)));
        return true;
    }
    case WM_CHAR: {
        char key = static_cast<char>(Message.WParam);
        KeyPress(key);
        return true;
    }
    case WM_GETDLGCODE:
        Message.Result = DLGC_WANTARROWS | DLGC_WANTCHARS;
        return true;
    case WM_VSCROLL:
    case WM_HSCROLL:
        // Only the window's own bars; a scroll-bar child's reports belong to the control.
        if (Message.LParam != 0)
            return false;
        Dispatch(Message);
        return true;
    case WM_SIZE:
        UpdateScrollBars();
        return true;
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
        FWindow->Invalidate();
        Notify(Message.Msg == WM_SETFOCUS ? LBN_SETFOCUS : LBN_KILLFOCUS);
        return true;
    default:
        return false;
    }
}
