#include "controls/ExCheckListBox.h"

#include "controls/AppUtils.h"
#include "controls/ExResources.h"
#include "controls/Placemnt.h"
#include "controls/VCLUtils.h"
#include "platform/gui/Bitmap.h"
#include "platform/gui/GdiDraw.h"
#include "platform/gui/Messages.h"
#include "platform/gui/Resources.h"
#include "platform/gui/WinTypes.h"
#include "platform/gui/WindowFunctions.h"
#include "platform/os/IniFiles.h"
#include "platform/os/Registry.h"
#include "platform/rtl/Exceptions.h"
#include "platform/rtl/Formats.h"
#include "platform/rtl/TypInfo.h"
#include "tablestore/Filer.h"

#include <algorithm>
#include <mutex>
#include <string>
#include <vector>

TBitmap* CheckBitmap()
{
    // Loaded once for the whole program and kept until it ends.
    static TBitmap* bitmap = [] {
        RegisterExResources();
        auto* loaded = new TBitmap;
        loaded->LoadFromResourceName(MainInstance(), "CHECK_IMAGES");
        return loaded;
    }();
    return bitmap;
}

namespace ExCheckListBoxDetail {

[[noreturn]] void RaiseIndexError(int index)
{
    RAISE(EStringListError(Format(ResStr("List index out of bounds (%d)"), {index})));
}

std::string ItemKey(int index) { return "Item" + std::to_string(index); }

} // namespace ExCheckListBoxDetail

using namespace ExCheckListBoxDetail;

void RegisterCheckListBoxProperties()
{
    static std::once_flag once;
    std::call_once(once, [] {
        RegisterListBoxProperties();
        RegisterPropInfos(
            "TExCheckListBox", "TExCustomListBox",
            {OrdProp<TExCheckListBox>(
                 "AllowGrayed", TypeInfoBoolean(), [](TExCheckListBox& b) -> std::int64_t { return b.AllowGrayed(); },
                 [](TExCheckListBox& b, std::int64_t v) { b.SetAllowGrayed(v != 0); }),
             OrdProp<TExCheckListBox>(
                 "CheckKind", EnumTypeInfo("TCheckKind", {"ckCheckBoxes", "ckRadioButtons", "ckCheckMarks"}),
                 [](TExCheckListBox& b) -> std::int64_t { return b.CheckKind(); },
                 [](TExCheckListBox& b, std::int64_t v) { b.SetCheckKind(static_cast<TCheckKind>(v)); }),
             OrdProp<TExCheckListBox>(
                 "CheckedIndex", TypeInfoInteger(), [](TExCheckListBox& b) -> std::int64_t { return b.CheckedIndex(); },
                 [](TExCheckListBox& b, std::int64_t v) { b.SetCheckedIndex(static_cast<int>(v)); }),
             ObjectProp<TExCheckListBox>(
                 "IniStorage", "TFormPlacement", [](TExCheckListBox& b) -> TObject* { return b.IniStorage(); },
                 [](TExCheckListBox& b, TObject* v) { b.SetIniStorage(dynamic_cast<TFormPlacement*>(v)); })});
    });
}

// --- TCheckListBoxStrings --------------------------------------------------------------------------

// The check object leaves the old item before it is deleted, so that it is not freed with it.
void TCheckListBoxStrings::Move(int curIndex, int newIndex)
{
    if (curIndex == newIndex)
        return;
    auto* box = static_cast<TExCheckListBox*>(ListBox());
    const std::string text = Get(curIndex);
    const std::intptr_t check = box->TExCustomListBox::GetItemData(curIndex);
    BeginUpdate();
    try {
        box->TExCustomListBox::SetItemData(curIndex, 0);
        box->TExCustomListBox::DeleteString(curIndex);
        const LRESULT at = box->SendList(LB_INSERTSTRING, static_cast<WPARAM>(newIndex),
                                         reinterpret_cast<LPARAM>(text.c_str()));
        if (at >= 0)
            box->TExCustomListBox::SetItemData(static_cast<int>(at), check);
        else
            delete reinterpret_cast<TCheckListBoxItem*>(check);
    } catch (...) {
        EndUpdate();
        throw;
    }
    EndUpdate();
}

void TCheckListBoxStrings::Exchange(int index1, int index2)
{
    if (index1 == index2)
        return;
    const int count = GetCount();
    if (index1 < 0 || index1 >= count)
        Error(ResStr("List index out of bounds (%d)"), index1);
    if (index2 < 0 || index2 >= count)
        Error(ResStr("List index out of bounds (%d)"), index2);
    const int low = std::min(index1, index2);
    const int high = std::max(index1, index2);
    Move(high, low);
    Move(low + 1, high);
}

// --- TExCheckListBox -------------------------------------------------------------------------------

TExCheckListBox::TExCheckListBox(TComponent* AOwner)
    : TExCustomListBox(AOwner), FDrawBitmap(std::make_unique<TBitmap>()), FIniLink(std::make_unique<TIniLink>())
{
    RegisterCheckListBoxProperties();
    FItems = std::make_unique<TCheckListBoxStrings>(this);
    FAutoScroll = true;
    FCheckWidth = CheckBitmap()->Width() / 6;
    FCheckHeight = CheckBitmap()->Height() / 3;
    FIniLink->OnSave = [this](TObject* Sender) { IniSave(Sender); };
    FIniLink->OnLoad = [this](TObject* Sender) { IniLoad(Sender); };
}

TExCheckListBox::~TExCheckListBox()
{
    FreeCheckObjects();
    FSaveStates.clear();
    FIniLink.reset();
}

void TExCheckListBox::FreeCheckObjects()
{
    if (!HandleAllocated())
        return;
    const int count = static_cast<int>(Perform(LB_GETCOUNT, 0, 0));
    for (int i = 0; i < count; ++i) {
        delete FindCheckObject(i);
        TExCustomListBox::SetItemData(i, 0);
    }
}

void TExCheckListBox::CreateParams(TCreateParams& Params)
{
    TExCustomListBox::CreateParams(Params);
    if ((Params.Style & (LBS_OWNERDRAWFIXED | LBS_OWNERDRAWVARIABLE)) == 0)
        Params.Style |= LBS_OWNERDRAWFIXED;
}

void TExCheckListBox::CreateWnd()
{
    TExCustomListBox::CreateWnd();
    FSaveStates.clear();
    ApplyItemHeight();
    UpdateCheckStates();
}

void TExCheckListBox::DestroyWnd()
{
    std::vector<TCheckListBoxItem*> checks;
    if (HandleAllocated()) {
        const int count = static_cast<int>(Perform(LB_GETCOUNT, 0, 0));
        FSaveStates.clear();
        for (int i = 0; i < count; ++i) {
            TCheckListBoxItem* check = FindCheckObject(i);
            checks.push_back(check);
            const TCheckBoxState state = check ? check->State : cbUnchecked;
            const bool enabled = check ? check->Enabled : true;
            FSaveStates.push_back(static_cast<std::uint32_t>(state) << 16 | (enabled ? 1u : 0u));
        }
    }
    // The list box keeps the items and their user data, which the check objects still hold.
    TExCustomListBox::DestroyWnd();
    for (TCheckListBoxItem* check : checks)
        delete check;
}

int TExCheckListBox::GetItemHeight()
{
    if (FStyle == lbStandard || (FStyle == lbOwnerDrawFixed && !OnDrawItem())) {
        int height = std::max(FCanvas->TextHeight("Wg"), FCheckHeight);
        if (FStyle == lbOwnerDrawFixed)
            height = std::max(height, FItemHeight);
        return height;
    }
    return TExCustomListBox::GetItemHeight();
}

void TExCheckListBox::ApplyItemHeight()
{
    if (!HandleAllocated())
        return;
    if (FStyle == lbStandard || (FStyle == lbOwnerDrawFixed && !OnDrawItem()))
        Perform(LB_SETITEMHEIGHT, 0, GetItemHeight());
}

void TExCheckListBox::FontChanged()
{
    TExCustomListBox::FontChanged();
    ApplyItemHeight();
}

int TExCheckListBox::GetItemWidth(int Index) { return TExCustomListBox::GetItemWidth(Index) + CheckWidth(); }

// --- Check objects ---------------------------------------------------------------------------------

TCheckListBoxItem* TExCheckListBox::FindCheckObject(int Index)
{
    const std::intptr_t data = TExCustomListBox::GetItemData(Index);
    if (data == LB_ERR)
        RaiseIndexError(Index);
    return reinterpret_cast<TCheckListBoxItem*>(data);
}

TCheckListBoxItem* TExCheckListBox::GetCheckObject(int Index)
{
    TCheckListBoxItem* check = FindCheckObject(Index);
    if (!check) {
        auto created = std::make_unique<TCheckListBoxItem>();
        TExCustomListBox::SetItemData(Index, reinterpret_cast<std::intptr_t>(created.get()));
        check = created.release();
    }
    return check;
}

std::intptr_t TExCheckListBox::GetItemData(int Index)
{
    const TCheckListBoxItem* check = FindCheckObject(Index);
    return check ? check->Data : 0;
}

// While the window is made again, each item put back takes the next saved state.
void TExCheckListBox::SetItemData(int Index, std::intptr_t Data)
{
    TCheckListBoxItem* check = GetCheckObject(Index);
    check->Data = Data;
    if (!FSaveStates.empty()) {
        const std::uint32_t saved = FSaveStates.front();
        FSaveStates.pop_front();
        const int state = static_cast<int>(saved >> 16);
        check->State = state >= cbUnchecked && state <= cbGrayed ? static_cast<TCheckBoxState>(state) : cbUnchecked;
        check->Enabled = (saved & 0xFFFF) != 0;
    }
}

void TExCheckListBox::DeleteString(int Index)
{
    if (HandleAllocated() && Index >= 0 && Index < FItems->Count()) {
        delete FindCheckObject(Index);
        TExCustomListBox::SetItemData(Index, 0);
    }
    TExCustomListBox::DeleteString(Index);
}

void TExCheckListBox::ResetContent()
{
    FreeCheckObjects();
    TExCustomListBox::ResetContent();
}

// --- States ----------------------------------------------------------------------------------------

TCheckBoxState TExCheckListBox::State(int Index)
{
    const TCheckListBoxItem* check = FindCheckObject(Index);
    if (!check)
        return cbUnchecked;
    if (FCheckKind == ckRadioButtons && check->State != cbChecked)
        return cbUnchecked;
    return check->State;
}

void TExCheckListBox::SetState(int Index, TCheckBoxState Value)
{
    if (Value == State(Index) && !FInUpdateStates)
        return;
    if (FCheckKind == ckRadioButtons && Value != cbChecked && Checked(Index))
        return;
    GetCheckObject(Index)->State = Value;
    if (FCheckKind == ckRadioButtons && Value == cbChecked) {
        const int count = FItems->Count();
        for (int i = 0; i < count; ++i)
            if (i != Index)
                if (TCheckListBoxItem* other = FindCheckObject(i); other && other->State == cbChecked) {
                    other->State = cbUnchecked;
                    InvalidateCheck(i);
                }
    }
    InvalidateCheck(Index);
    if (!ComponentState().Contains(csReading))
        ChangeItemState(Index);
}

bool TExCheckListBox::Checked(int Index) { return State(Index) == cbChecked; }

void TExCheckListBox::SetChecked(int Index, bool Value) { SetState(Index, Value ? cbChecked : cbUnchecked); }

bool TExCheckListBox::ItemEnabled(int Index)
{
    const TCheckListBoxItem* check = FindCheckObject(Index);
    return !check || check->Enabled;
}

void TExCheckListBox::SetItemEnabled(int Index, bool Value)
{
    if (ItemEnabled(Index) == Value)
        return;
    GetCheckObject(Index)->Enabled = Value;
    const TRect rect = ItemRect(Index);
    InvalidateRect(Handle(), &rect, FALSE);
}

void TExCheckListBox::InvalidateCheck(int Index)
{
    if (!HandleAllocated())
        return;
    TRect rect = ItemRect(Index);
    rect.Right = rect.Left + CheckWidth();
    InvalidateRect(Handle(), &rect, FALSE);
    Update();
}

int TExCheckListBox::CheckedIndex()
{
    if (FCheckKind != ckRadioButtons)
        return -1;
    const int count = FItems->Count();
    for (int i = 0; i < count; ++i)
        if (State(i) == cbChecked)
            return i;
    return -1;
}

void TExCheckListBox::SetCheckedIndex(int Value)
{
    if (FCheckKind == ckRadioButtons && FItems->Count() > 0)
        SetState(std::max(Value, 0), cbChecked);
}

// Radio buttons: exactly one item is checked, the first one when none was.
// Without a window there are no items yet: the window made later puts them back and checks again.
// Asking for one here could make the parent's window from inside its own making.
void TExCheckListBox::UpdateCheckStates()
{
    if (FCheckKind != ckRadioButtons || !HandleAllocated() || FItems->Count() == 0)
        return;
    FInUpdateStates = true;
    try {
        SetState(std::max(CheckedIndex(), 0), cbChecked);
    } catch (...) {
        FInUpdateStates = false;
        throw;
    }
    FInUpdateStates = false;
}

void TExCheckListBox::SetCheckKind(TCheckKind Value)
{
    if (FCheckKind == Value)
        return;
    FCheckKind = Value;
    UpdateCheckStates();
    Invalidate();
}

void TExCheckListBox::SetAllowGrayed(bool Value)
{
    if (FAllowGrayed == Value)
        return;
    FAllowGrayed = Value;
    Invalidate();
}

void TExCheckListBox::ApplyState(TCheckBoxState Value, bool EnabledOnly)
{
    if (FCheckKind == ckRadioButtons)
        return;
    const int count = FItems->Count();
    for (int i = 0; i < count; ++i)
        if (!EnabledOnly || ItemEnabled(i))
            SetState(i, Value);
}

void TExCheckListBox::ToggleClickCheck(int Index)
{
    if (Index < 0 || Index >= FItems->Count() || !ItemEnabled(Index))
        return;
    const bool grayedAllowed = FAllowGrayed && FCheckKind != ckRadioButtons;
    switch (State(Index)) {
    case cbUnchecked:
        SetState(Index, grayedAllowed ? cbGrayed : cbChecked);
        break;
    case cbChecked:
        SetState(Index, cbUnchecked);
        break;
    case cbGrayed:
        SetState(Index, cbChecked);
        break;
    }
    ClickCheck();
}

void TExCheckListBox::ClickCheck()
{
    if (OnClickCheck)
        OnClickCheck(this);
}

void TExCheckListBox::ChangeItemState(int Index)
{
    if (OnStateChange)
        OnStateChange(this, Index);
}

void TExCheckListBox::Loaded()
{
    TExCustomListBox::Loaded();
    UpdateCheckStates();
}

// --- Input -----------------------------------------------------------------------------------------

void TExCheckListBox::KeyPress(char& Key)
{
    TExCustomListBox::KeyPress(Key);
    switch (Key) {
    case ' ':
        ToggleClickCheck(ItemIndex());
        Key = 0;
        break;
    case '+':
        ApplyState(cbChecked, true);
        ClickCheck();
        break;
    case '-':
        ApplyState(cbUnchecked, true);
        ClickCheck();
        break;
    default:
        break;
    }
}

void TExCheckListBox::MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y)
{
    TExCustomListBox::MouseDown(Button, Shift, X, Y);
    if (Button != mbLeft)
        return;
    const int index = ItemAtPos({X, Y}, true);
    if (index >= 0 && X - ItemRect(index).Left < CheckWidth())
        ToggleClickCheck(index);
}

// --- Drawing ---------------------------------------------------------------------------------------

void TExCheckListBox::DrawItemNotification(DRAWITEMSTRUCT& Draw)
{
    Draw.rcItem.Left += CheckWidth();
    TExCustomListBox::DrawItemNotification(Draw);
}

void TExCheckListBox::DrawItem(int Index, TRect Rect, TOwnerDrawState State)
{
    if (Index < FItems->Count()) {
        const bool enabled = Enabled() && ItemEnabled(Index);
        TRect check = Rect;
        check.Right = Rect.Left;
        check.Left = check.Right - CheckWidth();
        DrawCheck(check, this->State(Index), enabled);
        if (!enabled)
            FCanvas->Font()->SetColor(State.Contains(odSelected) ? clInactiveCaptionText : clGrayText);
    }
    if (FStyle == lbStandard || !OnDrawItem())
        DrawItemText(Index, Rect);
    else
        OnDrawItem()(this, Index, Rect, State);
}

// The cell of the check picture, centred in rect, over the list box colour.
void TExCheckListBox::DrawCheck(TRect Rect, TCheckBoxState State, bool Enabled)
{
    const TColor savedBrush = FCanvas->Brush()->Color();
    FCanvas->Brush()->SetColor(Color());
    FCanvas->FillRect(Rect);
    const int cell = 6 * static_cast<int>(FCheckKind) + static_cast<int>(State) + (Enabled ? 0 : 3);
    AssignBitmapCell(CheckBitmap(), FDrawBitmap.get(), 6, 3, cell);
    FDrawBitmap->SetTransparentColor(static_cast<TColor>(CheckBitmap()->TransparentColor() & ~0x02000000));
    FDrawBitmap->SetTransparentMode(tmFixed);
    FDrawBitmap->SetTransparent(true);
    const int x = Rect.Left + (Rect.Right - Rect.Left - FCheckWidth) / 2;
    const int y = Rect.Top + (Rect.Bottom - Rect.Top - FCheckHeight) / 2;
    FCanvas->Draw(x, y, FDrawBitmap.get());
    FCanvas->Brush()->SetColor(savedBrush);
}

// --- Persistence -----------------------------------------------------------------------------------

void TExCheckListBox::InternalSaveStates(TObject* IniFile, const std::string& Section)
{
    IniEraseSection(IniFile, Section);
    const int count = FItems->Count();
    IniWriteInteger(IniFile, Section, "Count", count);
    for (int i = 0; i < count; ++i)
        IniWriteInteger(IniFile, Section, ItemKey(i), static_cast<int>(State(i)));
}

// Counts beyond the list and states outside the three are ignored.
void TExCheckListBox::InternalRestoreStates(TObject* IniFile, const std::string& Section)
{
    const int count = std::min(IniReadInteger(IniFile, Section, "Count", 0), FItems->Count());
    for (int i = 0; i < count; ++i) {
        const int state = IniReadInteger(IniFile, Section, ItemKey(i), 0);
        if (state < cbUnchecked || state > cbGrayed)
            continue;
        SetState(i, static_cast<TCheckBoxState>(state));
        if (FCheckKind == ckRadioButtons && state == cbChecked)
            break;
    }
}

void TExCheckListBox::SaveStates(TIniFile* IniFile) { InternalSaveStates(IniFile, GetDefaultSection(this)); }

void TExCheckListBox::RestoreStates(TIniFile* IniFile) { InternalRestoreStates(IniFile, GetDefaultSection(this)); }

void TExCheckListBox::SaveStatesReg(TRegIniFile* IniFile) { InternalSaveStates(IniFile, GetDefaultSection(this)); }

void TExCheckListBox::RestoreStatesReg(TRegIniFile* IniFile)
{
    InternalRestoreStates(IniFile, GetDefaultSection(this));
}

void TExCheckListBox::IniSave(TObject*)
{
    if (Name().empty())
        return;
    if (TObject* ini = FIniLink->GetIniObject())
        InternalSaveStates(ini, FIniLink->GetRootSection() + GetDefaultSection(this));
}

void TExCheckListBox::IniLoad(TObject*)
{
    if (Name().empty())
        return;
    if (TObject* ini = FIniLink->GetIniObject())
        InternalRestoreStates(ini, FIniLink->GetRootSection() + GetDefaultSection(this));
}

TFormPlacement* TExCheckListBox::IniStorage() const { return FIniLink->Storage(); }

void TExCheckListBox::SetIniStorage(TFormPlacement* Value)
{
    if (Value == FIniLink->Storage())
        return;
    if (FIniLink->Storage())
        FIniLink->Storage()->RemoveFreeNotification(this);
    FIniLink->SetStorage(Value);
    if (Value)
        Value->FreeNotification(this);
}

void TExCheckListBox::Notification(TComponent* AComponent, TOperation Operation)
{
    TExCustomListBox::Notification(AComponent, Operation);
    if (Operation == opRemove && FIniLink && AComponent == FIniLink->Storage())
        FIniLink->SetStorage(nullptr);
}

// --- "Strings" -------------------------------------------------------------------------------------

void TExCheckListBox::WriteStrings(TWriter& Writer)
{
    Writer.WriteListBegin();
    const int count = FItems->Count();
    for (int i = 0; i < count; ++i) {
        Writer.WriteString(FItems->Strings(i));
        Writer.WriteInteger(static_cast<int>(State(i)));
        Writer.WriteBoolean(ItemEnabled(i));
    }
    Writer.WriteListEnd();
}

namespace ExCheckListBoxDetail {

struct TStreamedItem {
    std::string Text;
    TCheckBoxState State = cbUnchecked;
    bool Enabled = true;
};

TCheckBoxState StreamedState(std::int32_t value)
{
    return value >= cbUnchecked && value <= cbGrayed ? static_cast<TCheckBoxState>(value) : cbUnchecked;
}

} // namespace ExCheckListBoxDetail

void TExCheckListBox::ReadStrings(TReader& Reader, int Version)
{
    FItems->BeginUpdate();
    try {
        FItems->Clear();
        // The whole list is read before any item is added: a damaged stream leaves it empty.
        std::vector<TStreamedItem> items;
        Reader.ReadListBegin();
        while (!Reader.EndOfList()) {
            TStreamedItem item;
            item.Text = Reader.ReadString();
            if (Version < CheckListBoxStreamVersion) {
                item.State = Reader.ReadBoolean() ? cbChecked : cbUnchecked;
                item.Enabled = Reader.ReadBoolean();
                if (Version > 0)
                    item.State = StreamedState(Reader.ReadInteger());
            } else {
                item.State = StreamedState(Reader.ReadInteger());
                item.Enabled = Reader.ReadBoolean();
            }
            items.push_back(std::move(item));
        }
        Reader.ReadListEnd();
        for (const TStreamedItem& item : items) {
            const int index = FItems->Add(item.Text);
            TCheckListBoxItem* check = GetCheckObject(index);
            check->State = item.State;
            check->Enabled = item.Enabled;
        }
    } catch (...) {
        FItems->Clear();
        FItems->EndUpdate();
        throw;
    }
    FItems->EndUpdate();
    UpdateCheckStates();
}
