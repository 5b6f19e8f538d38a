#include "controls/ExListBox.h"

#include "controls/VCLUtils.h"
#include "platform/gui/DragDrop.h"
#include "platform/gui/GdiDraw.h"
#include "platform/gui/GdiObjects.h"
#include "platform/gui/InputTranslation.h"
#include "platform/gui/Messages.h"
#include "platform/gui/PublishedProperties.h"
#include "platform/gui/TextOutput.h"
#include "platform/gui/WindowFunctions.h"
#include "platform/rtl/Exceptions.h"
#include "platform/rtl/Formats.h"
#include "platform/rtl/TypInfo.h"

#include <algorithm>
#include <cmath>
#include <mutex>

int ListItemTextWidth(TCanvas* canvas, const std::string& text, int tabWidth)
{
    const std::string measured = text + "x";
    if (tabWidth <= 0)
        return canvas->TextWidth(measured);
    const int tabStop = static_cast<int>(std::lround(canvas->TextWidth("0") * tabWidth * 0.25));
    const DWORD extent =
        GetTabbedTextExtentA(canvas->Handle(), measured, static_cast<int>(measured.size()), 1, &tabStop);
    return LOWORD(extent);
}

namespace ExListBoxDetail {

[[noreturn]] void RaiseInsertFailed() { RAISE(EOutOfResources(ResStr("Unable to insert a line"))); }

int MessageIndex(const TMessage& Message) { return static_cast<int>(static_cast<std::intptr_t>(Message.WParam)); }

PTypeInfo ListBorderStyleType()
{
    static PTypeInfo info = EnumTypeInfo("TBorderStyle", {"bsNone", "bsSingle"});
    return info;
}

PTypeInfo ListBoxStyleType()
{
    static PTypeInfo info = EnumTypeInfo("TListBoxStyle", {"lbStandard", "lbOwnerDrawFixed", "lbOwnerDrawVariable"});
    return info;
}

} // namespace ExListBoxDetail

using namespace ExListBoxDetail;

void RegisterListBoxProperties()
{
    static std::once_flag once;
    std::call_once(once, [] {
        RegisterPublishedProperties();
        RegisterPropInfos(
            "TExCustomListBox", "TWinControl",
            {BoolProp<TExCustomListBox>("AutoScroll", &TExCustomListBox::AutoScroll, &TExCustomListBox::SetAutoScroll),
             OrdProp<TExCustomListBox>(
                 "BorderStyle", ListBorderStyleType(),
                 [](TExCustomListBox& b) -> std::int64_t { return b.BorderStyle() == bsSingle ? 1 : 0; },
                 [](TExCustomListBox& b, std::int64_t v) { b.SetBorderStyle(v ? bsSingle : bsNone); }),
             IntProp<TExCustomListBox>("Columns", &TExCustomListBox::Columns, &TExCustomListBox::SetColumns),
             BoolProp<TExCustomListBox>("ExtendedSelect", &TExCustomListBox::ExtendedSelect,
                                        &TExCustomListBox::SetExtendedSelect),
             BoolProp<TExCustomListBox>("GraySelection", &TExCustomListBox::GraySelection,
                                        &TExCustomListBox::SetGraySelection),
             BoolProp<TExCustomListBox>("IntegralHeight", &TExCustomListBox::IntegralHeight,
                                        &TExCustomListBox::SetIntegralHeight),
             OrdProp<TExCustomListBox>(
                 "ItemHeight", TypeInfoInteger(), [](TExCustomListBox& b) -> std::int64_t { return b.ItemHeight(); },
                 [](TExCustomListBox& b, std::int64_t v) { b.SetItemHeight(static_cast<int>(v)); }),
             BoolProp<TExCustomListBox>("MultiSelect", &TExCustomListBox::MultiSelect, &TExCustomListBox::SetMultiSelect),
             BoolProp<TExCustomListBox>("Sorted", &TExCustomListBox::Sorted, &TExCustomListBox::SetSorted),
             OrdProp<TExCustomListBox>(
                 "Style", ListBoxStyleType(),
                 [](TExCustomListBox& b) -> std::int64_t { return b.Style(); },
                 [](TExCustomListBox& b, std::int64_t v) { b.SetStyle(static_cast<TListBoxStyle>(v)); }),
             IntProp<TExCustomListBox>("TabWidth", &TExCustomListBox::TabWidth, &TExCustomListBox::SetTabWidth)});
        RegisterPropInfos("TExListBox", "TExCustomListBox", {});
        RegisterPropInfos(
            "TTextListBox", "TWinControl",
            {OrdProp<TTextListBox>(
                 "BorderStyle", ListBorderStyleType(),
                 [](TTextListBox& b) -> std::int64_t { return b.BorderStyle() == bsSingle ? 1 : 0; },
                 [](TTextListBox& b, std::int64_t v) { b.SetBorderStyle(v ? bsSingle : bsNone); }),
             IntProp<TCustomListBox>("Columns", &TCustomListBox::Columns, &TCustomListBox::SetColumns),
             BoolProp<TCustomListBox>("ExtendedSelect", &TCustomListBox::ExtendedSelect,
                                      &TCustomListBox::SetExtendedSelect),
             OrdProp<TTextListBox>(
                 "IntegralHeight", TypeInfoBoolean(), [](TTextListBox& b) -> std::int64_t { return b.IntegralHeight; },
                 [](TTextListBox& b, std::int64_t v) { b.IntegralHeight = v != 0; }),
             IntProp<TCustomListBox>("ItemHeight", &TCustomListBox::ItemHeight, &TCustomListBox::SetItemHeight),
             BoolProp<TCustomListBox>("MultiSelect", &TCustomListBox::MultiSelect, &TCustomListBox::SetMultiSelect),
             BoolProp<TCustomListBox>("Sorted", &TCustomListBox::Sorted, &TCustomListBox::SetSorted),
             OrdProp<TTextListBox>(
                 "Style", ListBoxStyleType(),
                 [](TTextListBox& b) -> std::int64_t { return b.Style(); },
                 [](TTextListBox& b, std::int64_t v) { b.SetStyle(static_cast<TListBoxStyle>(v)); }),
             IntProp<TCustomListBox>("TabWidth", &TCustomListBox::TabWidth, &TCustomListBox::SetTabWidth)});
    });
}

// --- TTextListBox ----------------------------------------------------------------------------------

TTextListBox::TTextListBox(TComponent* AOwner) : TCustomListBox(AOwner) { RegisterListBoxProperties(); }

int TTextListBox::MeasureText(const std::string& text) { return ListItemTextWidth(Canvas(), text, TabWidth()); }

void TTextListBox::SetExtent()
{
    TMessage message{LB_SETHORIZONTALEXTENT, static_cast<WPARAM>(FMaxItemWidth), 0, 0};
    TCustomListBox::Dispatch(message);
}

void TTextListBox::ScrollLeft() { Perform(WM_HSCROLL, SB_TOP, 0); }

void TTextListBox::RecomputeWidest()
{
    FMaxItemWidth = FWidths.empty() ? 0 : *std::max_element(FWidths.begin(), FWidths.end());
    SetExtent();
}

void TTextListBox::RemeasureAll()
{
    Canvas()->SetFont(Font());
    FWidths.clear();
    for (int i = 0; i < Items()->Count(); ++i)
        FWidths.push_back(MeasureText(Items()->Strings(i)));
    RecomputeWidest();
}

void TTextListBox::Dispatch(TMessage& Message)
{
    switch (Message.Msg) {
    case CM_FONTCHANGED:
    case WM_SETFONT:
        TCustomListBox::Dispatch(Message);
        RemeasureAll();
        return;
    case LB_ADDSTRING:
    case LB_INSERTSTRING: {
        TCustomListBox::Dispatch(Message);
        const int index = static_cast<int>(Message.Result);
        if (index < 0)
            return;
        if (FWidths.empty() && Items()->Count() == 1)
            Canvas()->SetFont(Font());
        const int width = MeasureText(reinterpret_cast<const char*>(Message.LParam));
        FWidths.insert(FWidths.begin() + std::min<std::size_t>(static_cast<std::size_t>(index), FWidths.size()), width);
        if (width > FMaxItemWidth) {
            FMaxItemWidth = width;
            SetExtent();
        }
        return;
    }
    case LB_DELETESTRING: {
        const int index = MessageIndex(Message);
        if (index < 0 || index >= static_cast<int>(FWidths.size())) {
            TCustomListBox::Dispatch(Message);
            return;
        }
        const bool widest = FWidths[static_cast<std::size_t>(index)] >= FMaxItemWidth;
        if (widest)
            ScrollLeft();
        TCustomListBox::Dispatch(Message);
        FWidths.erase(FWidths.begin() + index);
        if (widest)
            RecomputeWidest();
        return;
    }
    case LB_RESETCONTENT:
        FMaxItemWidth = 0;
        FWidths.clear();
        SetExtent();
        ScrollLeft();
        TCustomListBox::Dispatch(Message);
        return;
    default:
        TCustomListBox::Dispatch(Message);
    }
}

// --- TExListBoxStrings -----------------------------------------------------------------------------

int TExListBoxStrings::GetCount() const { return static_cast<int>(FListBox->SendList(LB_GETCOUNT)); }

// The length is asked first, so that an item of any length is read whole.
std::string TExListBoxStrings::Get(int index) const
{
    const LRESULT length = FListBox->SendList(LB_GETTEXTLEN, static_cast<WPARAM>(index));
    if (length < 0)
        Error(ResStr("List index out of bounds (%d)"), index);
    std::string text(static_cast<std::size_t>(length) + 1, '\0');
    const LRESULT read = FListBox->SendList(LB_GETTEXT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(text.data()));
    if (read < 0)
        Error(ResStr("List index out of bounds (%d)"), index);
    text.resize(static_cast<std::size_t>(std::min(read, length)));
    return text;
}

TObject* TExListBoxStrings::GetObject(int index) const
{
    const std::intptr_t data = FListBox->GetItemData(index);
    if (data == LB_ERR)
        Error(ResStr("List index out of bounds (%d)"), index);
    return reinterpret_cast<TObject*>(data);
}

void TExListBoxStrings::PutObject(int index, TObject* object)
{
    FListBox->SetItemData(index, reinterpret_cast<std::intptr_t>(object));
}

int TExListBoxStrings::Add(const std::string& s)
{
    const LRESULT result = FListBox->SendList(LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(s.c_str()));
    if (result < 0)
        RaiseInsertFailed();
    return static_cast<int>(result);
}

void TExListBoxStrings::Insert(int index, const std::string& s)
{
    const LRESULT result =
        FListBox->SendList(LB_INSERTSTRING, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(s.c_str()));
    if (result < 0)
        RaiseInsertFailed();
}

void TExListBoxStrings::Delete(int index)
{
    if (index < 0 || index >= GetCount())
        Error(ResStr("List index out of bounds (%d)"), index);
    FListBox->DeleteString(index);
}

void TExListBoxStrings::Clear() { FListBox->ResetContent(); }

void TExListBoxStrings::SetUpdateState(bool updating)
{
    FListBox->SendList(WM_SETREDRAW, updating ? 0 : 1);
    if (!updating)
        FListBox->Invalidate();
}

// --- TExCustomListBox ------------------------------------------------------------------------------

TExCustomListBox::TExCustomListBox(TComponent* AOwner)
    : TWinControl(AOwner), FItems(std::make_unique<TExListBoxStrings>(this)),
      FCanvas(std::make_unique<TControlCanvas>())
{
    RegisterListBoxProperties();
    ControlStyle = TControlStyle{csSetCaption, csDoubleClicks};
    if (!NewStyleControls)
        ControlStyle.Include(csFramed);
    SetBounds(Left(), Top(), 121, 97);
    SetTabStop(true);
    SetParentColor(false);
    FCanvas->SetControl(this);
}

TExCustomListBox::~TExCustomListBox()
{
    // The window goes first, while this class can still answer its messages; nothing is kept.
    FSaveItems.reset();
    if (HandleAllocated()) {
        FDestroyingList = true;
        DestroyHandle();
    }
}

std::unique_ptr<TExListBoxStrings> TExCustomListBox::CreateItemList()
{
    return std::make_unique<TExListBoxStrings>(this);
}

LRESULT TExCustomListBox::SendList(UINT Msg, WPARAM WParam, LPARAM LParam)
{
    HandleNeeded();
    return Perform(Msg, WParam, LParam);
}

void TExCustomListBox::CreateParams(TCreateParams& Params)
{
    TWinControl::CreateParams(Params);
    Params.WinClassName = "LISTBOX";
    Params.Style |= WS_HSCROLL | WS_VSCROLL | LBS_NOTIFY | LBS_HASSTRINGS;
    if (FStyle == lbOwnerDrawFixed)
        Params.Style |= LBS_OWNERDRAWFIXED;
    else if (FStyle == lbOwnerDrawVariable)
        Params.Style |= LBS_OWNERDRAWVARIABLE;
    if (FSorted)
        Params.Style |= LBS_SORT;
    if (FMultiSelect)
        Params.Style |= FExtendedSelect ? LBS_EXTENDEDSEL : LBS_MULTIPLESEL;
    if (!FIntegralHeight)
        Params.Style |= LBS_NOINTEGRALHEIGHT;
    if (FColumns > 0)
        Params.Style |= LBS_MULTICOLUMN;
    if (FTabWidth > 0)
        Params.Style |= LBS_USETABSTOPS;
    if (FBorderStyle == bsSingle) {
        if (NewStyleControls && Ctl3D)
            Params.ExStyle |= WS_EX_CLIENTEDGE;
        else
            Params.Style |= WS_BORDER;
    }
    Params.WindowClassStyle &= ~static_cast<UINT>(CS_HREDRAW | CS_VREDRAW);
}

void TExCustomListBox::CreateWnd()
{
    const int width = Width();
    const int height = Height();
    TWinControl::CreateWnd();
    FCanvas->SetFont(Font());
    SetBounds(Left(), Top(), width, height);
    SetTabStops();
    SetColumnWidth();
    if (FSaveItems) {
        std::unique_ptr<TStringList> saved = std::move(FSaveItems);
        FItems->Assign(saved.get());
        SetTopIndex(FSaveTopIndex);
        SetItemIndex(FSaveItemIndex);
    }
}

void TExCustomListBox::DestroyWnd()
{
    if (!FDestroyingList && FItems && FItems->Count() > 0) {
        FSaveItems = std::make_unique<TStringList>();
        FSaveItems->Assign(FItems.get());
        FSaveTopIndex = TopIndex();
        FSaveItemIndex = ItemIndex();
    }
    TWinControl::DestroyWnd();
}

void TExCustomListBox::SetTabStops()
{
    if (FTabWidth > 0)
        Perform(LB_SETTABSTOPS, 1, reinterpret_cast<LPARAM>(&FTabWidth));
}

void TExCustomListBox::SetColumnWidth()
{
    if (FColumns > 0 && HandleAllocated())
        Perform(LB_SETCOLUMNWIDTH, static_cast<WPARAM>((Width() + FColumns - 3) / FColumns), 0);
}

void TExCustomListBox::SetItems(TStrings* Value) { FItems->Assign(Value); }

std::intptr_t TExCustomListBox::GetItemData(int Index)
{
    return static_cast<std::intptr_t>(SendList(LB_GETITEMDATA, static_cast<WPARAM>(Index)));
}

void TExCustomListBox::SetItemData(int Index, std::intptr_t Data)
{
    SendList(LB_SETITEMDATA, static_cast<WPARAM>(Index), static_cast<LPARAM>(Data));
}

void TExCustomListBox::ResetContent() { SendList(LB_RESETCONTENT); }

void TExCustomListBox::DeleteString(int Index) { SendList(LB_DELETESTRING, static_cast<WPARAM>(Index)); }

void TExCustomListBox::Clear() { FItems->Clear(); }

// --- Properties that re-make the window ------------------------------------------------------------

void TExCustomListBox::SetBorderStyle(TBorderStyle Value)
{
    if (FBorderStyle == Value)
        return;
    FBorderStyle = Value;
    RecreateWnd();
}

void TExCustomListBox::SetColumns(int Value)
{
    Value = std::max(Value, 0);
    if (FColumns == Value)
        return;
    const bool styleChanges = FColumns == 0 || Value == 0;
    FColumns = Value;
    if (styleChanges)
        RecreateWnd();
    else
        SetColumnWidth();
}

void TExCustomListBox::SetExtendedSelect(bool Value)
{
    if (FExtendedSelect == Value)
        return;
    FExtendedSelect = Value;
    RecreateWnd();
}

void TExCustomListBox::SetIntegralHeight(bool Value)
{
    if (FIntegralHeight == Value)
        return;
    FIntegralHeight = Value;
    RecreateWnd();
}

int TExCustomListBox::GetItemHeight()
{
    if (HandleAllocated() && FStyle == lbStandard) {
        TRect rect;
        Perform(LB_GETITEMRECT, 0, reinterpret_cast<LPARAM>(&rect));
        return rect.Bottom - rect.Top;
    }
    return FItemHeight;
}

int TExCustomListBox::ItemHeight() { return GetItemHeight(); }

void TExCustomListBox::SetItemHeight(int Value)
{
    if (Value < 1 || FItemHeight == Value)
        return;
    FItemHeight = Value;
    RecreateWnd();
}

void TExCustomListBox::SetTabWidth(int Value)
{
    Value = std::max(Value, 0);
    if (FTabWidth == Value)
        return;
    FTabWidth = Value;
    RecreateWnd();
}

void TExCustomListBox::SetMultiSelect(bool Value)
{
    if (FMultiSelect == Value)
        return;
    FMultiSelect = Value;
    RecreateWnd();
}

void TExCustomListBox::SetSorted(bool Value)
{
    if (FSorted == Value)
        return;
    FSorted = Value;
    RecreateWnd();
}

void TExCustomListBox::SetStyle(TListBoxStyle Value)
{
    if (FStyle == Value)
        return;
    FStyle = Value;
    RecreateWnd();
}

// --- Selection and position ------------------------------------------------------------------------

int TExCustomListBox::ItemIndex()
{
    if (FMultiSelect)
        return static_cast<int>(SendList(LB_GETCARETINDEX));
    return static_cast<int>(SendList(LB_GETCURSEL));
}

void TExCustomListBox::SetItemIndex(int Value)
{
    if (ItemIndex() == Value)
        return;
    if (FMultiSelect)
        SendList(LB_SETCARETINDEX, static_cast<WPARAM>(Value));
    else
        SendList(LB_SETCURSEL, static_cast<WPARAM>(Value));
}

int TExCustomListBox::TopIndex() { return static_cast<int>(SendList(LB_GETTOPINDEX)); }

void TExCustomListBox::SetTopIndex(int Value)
{
    if (TopIndex() != Value)
        SendList(LB_SETTOPINDEX, static_cast<WPARAM>(Value));
}

int TExCustomListBox::SelCount() { return static_cast<int>(SendList(LB_GETSELCOUNT)); }

bool TExCustomListBox::Selected(int Index)
{
    const LRESULT result = SendList(LB_GETSEL, static_cast<WPARAM>(Index));
    if (result < 0)
        RAISE(EStringListError(Format(ResStr("List index out of bounds (%d)"), {Index})));
    return result != 0;
}

void TExCustomListBox::SetSelected(int Index, bool Value)
{
    if (FMultiSelect) {
        if (SendList(LB_SETSEL, Value ? 1 : 0, Index) < 0)
            RAISE(EStringListError(Format(ResStr("List index out of bounds (%d)"), {Index})));
        return;
    }
    if (Value)
        SetItemIndex(Index);
    else if (ItemIndex() == Index)
        SetItemIndex(-1);
}

void TExCustomListBox::SetGraySelection(bool Value)
{
    if (FGraySelection == Value)
        return;
    FGraySelection = Value;
    if (!Focused())
        Invalidate();
}

TRect TExCustomListBox::ItemRect(int Index)
{
    TRect rect;
    const int count = FItems->Count();
    if (Index == 0 || Index < count) {
        SendList(LB_GETITEMRECT, static_cast<WPARAM>(Index), reinterpret_cast<LPARAM>(&rect));
    } else if (Index == count) {
        SendList(LB_GETITEMRECT, static_cast<WPARAM>(Index - 1), reinterpret_cast<LPARAM>(&rect));
        OffsetRect(rect, 0, rect.Bottom - rect.Top);
    }
    return rect;
}

int TExCustomListBox::ItemAtPos(TPoint Pos, bool Existing)
{
    if (!PtInRect(ClientRect(), Pos))
        return -1;
    const int count = FItems->Count();
    const int clientHeight = ClientHeight();
    for (int i = std::max(TopIndex(), 0); i < count; ++i) {
        TRect rect;
        SendList(LB_GETITEMRECT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(&rect));
        if (PtInRect(rect, Pos))
            return i;
        // Items further down lie below the client area, where Pos is not.
        if (rect.Top >= clientHeight)
            break;
    }
    return Existing ? -1 : count;
}

// --- Horizontal extent ---------------------------------------------------------------------------------

int TExCustomListBox::GetItemWidth(int Index)
{
    if (FStyle != lbStandard && FOnGetItemWidth && FOnDrawItem) {
        int width = 0;
        FOnGetItemWidth(this, Index, width);
        return width;
    }
    return ListItemTextWidth(FCanvas.get(), FItems->Strings(Index), FTabWidth);
}

void TExCustomListBox::SetHorizontalExtent() { Perform(LB_SETHORIZONTALEXTENT, static_cast<WPARAM>(FMaxItemWidth), 0); }

void TExCustomListBox::ScrollFullyLeft() { Perform(WM_HSCROLL, SB_TOP, 0); }

void TExCustomListBox::ResetHorizontalExtent()
{
    if (!HandleAllocated())
        return;
    FMaxItemWidth = 0;
    if (HorizontalExtentOn()) {
        const int count = FItems->Count();
        for (int i = 0; i < count; ++i)
            FMaxItemWidth = std::max(FMaxItemWidth, GetItemWidth(i));
    }
    ScrollFullyLeft();
    SetHorizontalExtent();
}

void TExCustomListBox::SetAutoScroll(bool Value)
{
    if (FAutoScroll == Value)
        return;
    FAutoScroll = Value;
    ResetHorizontalExtent();
}

void TExCustomListBox::SetOnDrawItem(TDrawItemEvent Value)
{
    FOnDrawItem = std::move(Value);
    ResetHorizontalExtent();
}

void TExCustomListBox::SetOnGetItemWidth(TGetItemWidthEvent Value)
{
    FOnGetItemWidth = std::move(Value);
    ResetHorizontalExtent();
}

void TExCustomListBox::FontChanged()
{
    FCanvas->SetFont(Font());
    ResetHorizontalExtent();
}

// --- Drawing ---------------------------------------------------------------------------------------

void TExCustomListBox::DrawItemNotification(DRAWITEMSTRUCT& Draw)
{
    const TOwnerDrawState state = TOwnerDrawState::FromBits(Draw.itemState & 0xFFFF);
    FCanvas->SetHandle(Draw.hDC);
    FCanvas->SetFont(Font());
    FCanvas->Brush()->SetColor(Color());
    FCanvas->Brush()->SetStyle(bsSolid);
    const int index = static_cast<int>(Draw.itemID);
    if (index >= 0 && state.Contains(odSelected)) {
        if (FGraySelection && !Focused() && !ComponentState().Contains(csDesigning)) {
            FCanvas->Brush()->SetColor(clBtnFace);
            if (ColorToRGB(Font()->Color()) == ColorToRGB(clBtnFace))
                FCanvas->Font()->SetColor(clBtnText);
        } else {
            FCanvas->Brush()->SetColor(clHighlight);
            FCanvas->Font()->SetColor(clHighlightText);
        }
    }
    if (index >= 0)
        DrawItem(index, Draw.rcItem, state);
    else
        FCanvas->FillRect(Draw.rcItem);
    if (state.Contains(odFocused))
        DrawFocusRect(Draw.hDC, &Draw.rcItem);
    FCanvas->SetHandle(nullptr);
}

void TExCustomListBox::DrawItem(int Index, TRect Rect, TOwnerDrawState State)
{
    if (FOnDrawItem) {
        FOnDrawItem(this, Index, Rect, State);
        return;
    }
    DrawItemText(Index, Rect);
}

void TExCustomListBox::DrawItemText(int Index, TRect Rect)
{
    FCanvas->FillRect(Rect);
    if (Index >= FItems->Count())
        return;
    const std::string text = FItems->Strings(Index);
    const int y = std::max(Rect.Top, (Rect.Top + Rect.Bottom - FCanvas->TextHeight("Wy")) / 2);
    if (FTabWidth > 0) {
        const int tabStop = TabStopPixels();
        HDC dc = FCanvas->Handle();
        SetTextColor(dc, ColorToRGB(FCanvas->Font()->Color()));
        SetBkColor(dc, ColorToRGB(FCanvas->Brush()->Color()));
        TabbedTextOutA(dc, Rect.Left + 2, y, text, static_cast<int>(text.size()), 1, &tabStop, Rect.Left + 2);
    } else {
        FCanvas->TextOut(Rect.Left + 2, y, text);
    }
}

int TExCustomListBox::TabStopPixels()
{
    return static_cast<int>(std::lround(FCanvas->TextWidth("0") * FTabWidth * 0.25));
}

void TExCustomListBox::MeasureItem(int Index, int& Height)
{
    if (OnMeasureItem)
        OnMeasureItem(this, Index, Height);
}

// --- Mouse and dragging ----------------------------------------------------------------------------

bool TExCustomListBox::AutomaticDrag() const
{
    return DragMode == dmAutomatic && !ComponentState().Contains(csDesigning);
}

// With automatic dragging the list decides itself when a press begins a drag, so that a press on
// a selected item of a multiple selection keeps the selection for the drag.
void TExCustomListBox::MouseButtonDown(TMessage& Message)
{
    // The application's automatic drag start has no say here: the rules below decide.
    ::EndDrag(this, false);
    const TShiftState shift = KeysToShiftState(static_cast<WORD>(Message.WParam & 0xFFFF));
    const TPoint pos{GET_X_LPARAM(Message.LParam), GET_Y_LPARAM(Message.LParam)};
    if (FMultiSelect && (!shift.Contains(ssShift) || shift.Contains(ssCtrl))) {
        const int item = ItemAtPos(pos, true);
        if (item >= 0 && Selected(item)) {
            BeginDrag(false);
            return;
        }
    }
    TWinControl::Dispatch(Message);
    if (!(FMultiSelect && (shift.Contains(ssCtrl) || shift.Contains(ssShift))))
        BeginDrag(false);
}

void TExCustomListBox::DragCanceled()
{
    TPoint cursor;
    GetCursorPos(cursor);
    const TPoint pos = ScreenToClient(cursor);
    const LPARAM where = MAKELPARAM(static_cast<WORD>(pos.X), static_cast<WORD>(pos.Y));
    TMessage down{WM_LBUTTONDOWN, 0, where, 0};
    DefaultHandler(down);
    TMessage up{WM_LBUTTONUP, 0, where, 0};
    DefaultHandler(up);
}

// --- Messages --------------------------------------------------------------------------------------

void TExCustomListBox::Dispatch(TMessage& Message)
{
    switch (Message.Msg) {
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
        if (AutomaticDrag() && !Dragging()) {
            MouseButtonDown(Message);
            return;
        }
        break;
    case LB_ADDSTRING:
    case LB_INSERTSTRING:
        TWinControl::Dispatch(Message);
        if (HorizontalExtentOn() && Message.Result >= 0) {
            FMaxItemWidth = std::max(FMaxItemWidth, GetItemWidth(static_cast<int>(Message.Result)));
            SetHorizontalExtent();
        }
        return;
    case LB_DELETESTRING: {
        const int index = MessageIndex(Message);
        if (HorizontalExtentOn() && index >= 0 && index < FItems->Count() && GetItemWidth(index) >= FMaxItemWidth) {
            ScrollFullyLeft();
            TWinControl::Dispatch(Message);
            ResetHorizontalExtent();
            return;
        }
        break;
    }
    case LB_RESETCONTENT:
        if (HorizontalExtentOn()) {
            FMaxItemWidth = 0;
            SetHorizontalExtent();
            ScrollFullyLeft();
        }
        break;
    case CM_FONTCHANGED:
    case WM_SETFONT:
        TWinControl::Dispatch(Message);
        if (HandleAllocated())
            FontChanged();
        return;
    case CN_COMMAND:
        switch (HIWORD(Message.WParam)) {
        case LBN_SELCHANGE:
            Changed();
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
        if (auto* draw = reinterpret_cast<DRAWITEMSTRUCT*>(Message.LParam))
            DrawItemNotification(*draw);
        Message.Result = 1;
        return;
    case CN_MEASUREITEM:
        if (auto* measure = reinterpret_cast<MEASUREITEMSTRUCT*>(Message.LParam)) {
            int height = FItemHeight;
            if (FStyle == lbOwnerDrawVariable)
                MeasureItem(static_cast<int>(measure->itemID), height);
            measure->itemHeight = static_cast<UINT>(height);
        }
        Message.Result = 1;
        return;
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
        TWinControl::Dispatch(Message);
        if (FGraySelection && FMultiSelect && SelCount() > 1)
            Invalidate();
        return;
    case WM_SIZE:
        TWinControl::Dispatch(Message);
        SetColumnWidth();
        return;
    default:
        break;
    }
    TWinControl::Dispatch(Message);
}
