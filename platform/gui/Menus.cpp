// Menu components.

#include "platform/gui/Menus.h"

#include "platform/gui/Application.h"
#include "platform/gui/Form.h"
#include "platform/gui/GdiDraw.h"
#include "platform/gui/TextOutput.h"
#include "platform/gui/WinControl.h"
#include "platform/gui/WindowHandles.h"
#include "platform/rtl/TextUtils.h"

#include <algorithm>
#include <set>

namespace {

std::set<UINT>& UsedCommands()
{
    static std::set<UINT> used;
    return used;
}

UINT NewCommand()
{
    static UINT next = 0;
    for (;;) {
        next = next >= 0xFFF0 ? 1 : next + 1;
        if (UsedCommands().insert(next).second)
            return next;
    }
}

TMenuItem* FindIn(TMenuItem* item, const std::function<bool(TMenuItem*)>& match)
{
    for (int i = 0; i < item->Count(); ++i) {
        TMenuItem* child = item->Items(i);
        if (match(child))
            return child;
        if (TMenuItem* found = FindIn(child, match))
            return found;
    }
    return nullptr;
}

// The menu canvas for owner drawing on a device context.
TCanvas& MenuCanvas()
{
    static TCanvas canvas;
    return canvas;
}

} // namespace

// --- TMenuItem ---------------------------------------------------------------------------------------

TMenuItem::TMenuItem(TComponent* AOwner) : TComponent(AOwner), FCommand(NewCommand()) {}

TMenuItem::~TMenuItem()
{
    FDestroying = true;
    if (FParent)
        FParent->Remove(this);
    while (!FItems.empty()) {
        TMenuItem* child = FItems.back();
        FItems.pop_back();
        child->FParent = nullptr;
        TComponent::Free(child);
    }
    if (FHandle)
        DestroyMenu(FHandle);
    UsedCommands().erase(FCommand);
}

TMenuItem* TMenuItem::Items(int index) const
{
    if (index < 0 || index >= Count())
        RAISE(EMenuError("List index out of bounds (" + std::to_string(index) + ")"));
    return FItems[static_cast<std::size_t>(index)];
}

void TMenuItem::Add(TMenuItem* item) { Insert(Count(), item); }

void TMenuItem::Insert(int index, TMenuItem* item)
{
    if (!item)
        return;
    if (item->FParent)
        RAISE(EMenuError("Menu inserted twice"));
    if (index < 0 || index > Count())
        RAISE(EMenuError("List index out of bounds (" + std::to_string(index) + ")"));
    FItems.insert(FItems.begin() + index, item);
    item->FParent = this;
    Changed();
}

void TMenuItem::Delete(int index)
{
    TMenuItem* item = Items(index);
    FItems.erase(FItems.begin() + index);
    item->FParent = nullptr;
    if (!FDestroying)
        Changed();
}

void TMenuItem::Remove(TMenuItem* item)
{
    const int index = IndexOf(item);
    if (index < 0)
        RAISE(EMenuError("Menu item not found"));
    Delete(index);
}

void TMenuItem::Clear()
{
    while (!FItems.empty())
        TComponent::Free(FItems.back());
}

int TMenuItem::IndexOf(TMenuItem* item) const
{
    auto it = std::find(FItems.begin(), FItems.end(), item);
    return it == FItems.end() ? -1 : static_cast<int>(it - FItems.begin());
}

TMenuItem* TMenuItem::Find(const std::string& caption) const
{
    const std::string wanted = StripHotkey(caption);
    for (TMenuItem* item : FItems)
        if (AnsiSameText(StripHotkey(item->FCaption), wanted))
            return item;
    return nullptr;
}

int TMenuItem::MenuIndex() const { return FParent ? FParent->IndexOf(const_cast<TMenuItem*>(this)) : -1; }

void TMenuItem::SetMenuIndex(int value)
{
    if (!FParent)
        return;
    TMenuItem* parent = FParent;
    const int count = parent->Count();
    value = std::clamp(value, 0, count - 1);
    parent->Delete(MenuIndex());
    parent->Insert(value, this);
}

TMenu* TMenuItem::GetParentMenu() const
{
    const TMenuItem* item = this;
    while (item->FParent)
        item = item->FParent;
    return item->FMenu;
}

HMENU TMenuItem::Handle()
{
    if (!FHandle || !IsMenu(FHandle)) {
        FHandle = CreatePopupMenu();
        RebuildHandle();
    }
    return FHandle;
}

bool TMenuItem::IsOwnerDraw() const
{
    TMenu* menu = GetParentMenu();
    return (menu && menu->OwnerDraw()) || OnDrawItem || OnAdvancedDrawItem || OnMeasureItem;
}

std::string TMenuItem::EntryText() const
{
    if (FShortCut == 0)
        return FCaption;
    return FCaption + "\t" + ShortCutToText(FShortCut);
}

void TMenuItem::RebuildHandle()
{
    if (!FHandle)
        return;
    while (GetMenuItemCount(FHandle) > 0)
        RemoveMenu(FHandle, 0, MF_BYPOSITION);
    for (TMenuItem* item : FItems) {
        if (!item->FVisible)
            continue;
        UINT flags = MF_STRING;
        UINT_PTR id = item->FCommand;
        if (item->IsLine()) {
            flags = MF_SEPARATOR;
        } else {
            if (!item->FItems.empty()) {
                flags |= MF_POPUP;
                id = reinterpret_cast<UINT_PTR>(item->Handle());
            }
            if (item->FChecked)
                flags |= MF_CHECKED;
            if (!item->FEnabled)
                flags |= MF_GRAYED;
            if (item->FDefault)
                flags |= MF_DEFAULT;
            if (item->Break)
                flags |= MF_MENUBREAK;
        }
        const std::string text = item->EntryText();
        if (!item->IsLine() && item->IsOwnerDraw())
            AppendMenuData(FHandle, flags, id, reinterpret_cast<std::uintptr_t>(item));
        else
            AppendMenuA(FHandle, flags, id, text.c_str());
        if (item->FRadioItem) {
            MENUITEMINFOA info;
            info.fMask = MIIM_FTYPE;
            const int position = GetMenuItemCount(FHandle) - 1;
            GetMenuItemInfoA(FHandle, static_cast<UINT>(position), TRUE, &info);
            info.fType |= MFT_RADIOCHECK;
            SetMenuItemInfoA(FHandle, static_cast<UINT>(position), TRUE, &info);
        }
        if (!item->IsOwnerDraw() || item->IsLine()) {
            // The string of owner-drawn entries is kept for GetMenuString.
        } else {
            MENUITEMINFOA info;
            info.fMask = MIIM_STRING;
            std::string copy = text;
            info.dwTypeData = copy.data();
            SetMenuItemInfoA(FHandle, static_cast<UINT>(GetMenuItemCount(FHandle) - 1), TRUE, &info);
        }
    }
}

void TMenuItem::Changed()
{
    if (FDestroying)
        return;
    RebuildHandle();
    if (FParent)
        FParent->RebuildHandle();
}

void TMenuItem::SetCaption(const std::string& value)
{
    FCaption = value;
    Changed();
}

void TMenuItem::SetChecked(bool value)
{
    if (FChecked == value)
        return;
    FChecked = value;
    if (value && FRadioItem && FParent)
        for (TMenuItem* sibling : FParent->FItems)
            if (sibling != this && sibling->FRadioItem && sibling->FGroupIndex == FGroupIndex && sibling->FChecked) {
                sibling->FChecked = false;
            }
    Changed();
}

void TMenuItem::SetRadioItem(bool value)
{
    FRadioItem = value;
    Changed();
}

void TMenuItem::SetGroupIndex(int value)
{
    FGroupIndex = value;
    Changed();
}

void TMenuItem::SetDefault(bool value)
{
    if (value && FParent)
        for (TMenuItem* sibling : FParent->FItems)
            sibling->FDefault = false;
    FDefault = value;
    Changed();
}

void TMenuItem::SetEnabled(bool value)
{
    FEnabled = value;
    Changed();
}

void TMenuItem::SetVisible(bool value)
{
    FVisible = value;
    Changed();
}

void TMenuItem::SetShortCut(TShortCut value)
{
    FShortCut = value;
    Changed();
}

void TMenuItem::Click()
{
    if (!FEnabled || !OnClick)
        return;
    // A copy runs: the handler may free this item (or its whole menu) and its own closure with it.
    const TNotifyEvent handler = OnClick;
    handler(this);
}

void TMenuItem::MeasureItem(TCanvas* ACanvas, int& Width, int& Height)
{
    if (OnMeasureItem) {
        OnMeasureItem(this, ACanvas, Width, Height);
        return;
    }
    if (IsLine()) {
        Height = 8;
        Width = 10;
        return;
    }
    const int textWidth = ACanvas->TextWidth(StripHotkey(FCaption));
    const int shortCutWidth = FShortCut ? ACanvas->TextWidth(ShortCutToText(FShortCut)) + 20 : 0;
    Width = 25 + textWidth + shortCutWidth + 10;
    Height = std::max(ACanvas->TextHeight("W") + 6, 19);
}

void TMenuItem::DrawItem(TCanvas* ACanvas, TRect ARect, TOwnerDrawState State)
{
    if (OnAdvancedDrawItem) {
        OnAdvancedDrawItem(this, ACanvas, ARect, State);
        return;
    }
    const bool selected = State.Contains(odSelected);
    if (OnDrawItem) {
        OnDrawItem(this, ACanvas, ARect, selected);
        return;
    }
    ACanvas->Brush()->SetColor(selected ? clHighlight : clMenu);
    ACanvas->FillRect(ARect);
    if (IsLine()) {
        const int y = (ARect.Top + ARect.Bottom) / 2;
        ACanvas->Pen()->SetColor(clBtnShadow);
        ACanvas->MoveTo(ARect.Left + 2, y);
        ACanvas->LineTo(ARect.Right - 2, y);
        ACanvas->Pen()->SetColor(clBtnHighlight);
        ACanvas->MoveTo(ARect.Left + 2, y + 1);
        ACanvas->LineTo(ARect.Right - 2, y + 1);
        return;
    }
    const TColor textColor = !FEnabled ? clGrayText : selected ? clHighlightText : clMenuText;
    ACanvas->Font()->SetColor(textColor);
    if (FDefault)
        ACanvas->Font()->SetStyle(TFontStyles{fsBold});
    ACanvas->TextHeight("0");
    HDC dc = ACanvas->Handle();
    SetTextColor(dc, ColorToRGB(textColor));
    const int mode = SetBkMode(dc, TRANSPARENT);
    if (FChecked) {
        TRect mark = Rect(ARect.Left + 4, ARect.Top, ARect.Left + 20, ARect.Bottom);
        DrawTextA(dc, FRadioItem ? "\x95" : "\x96", -1, &mark, DT_SINGLELINE | DT_VCENTER | DT_CENTER);
    }
    TRect text = Rect(ARect.Left + 25, ARect.Top, ARect.Right - 4, ARect.Bottom);
    DrawTextA(dc, FCaption, -1, &text, DT_SINGLELINE | DT_VCENTER | DT_LEFT);
    if (FShortCut) {
        TRect shortcut = Rect(ARect.Left + 25, ARect.Top, ARect.Right - 10, ARect.Bottom);
        DrawTextA(dc, ShortCutToText(FShortCut), -1, &shortcut, DT_SINGLELINE | DT_VCENTER | DT_RIGHT);
    }
    SetBkMode(dc, mode);
}

void TMenuItem::DrawItemStruct(DRAWITEMSTRUCT& draw)
{
    TCanvas& canvas = MenuCanvas();
    canvas.SetHandle(draw.hDC);
    TFont font;
    font.SetName("MS Sans Serif");
    canvas.SetFont(&font);
    canvas.Brush()->SetStyle(bsSolid);
    DrawItem(&canvas, draw.rcItem, TOwnerDrawState::FromBits(draw.itemState & 0xFFFF));
    canvas.SetHandle(nullptr);
}

void TMenuItem::MeasureItemStruct(MEASUREITEMSTRUCT& measure)
{
    TCanvas& canvas = MenuCanvas();
    HDC dc = CreateCompatibleDC(nullptr);
    canvas.SetHandle(dc);
    TFont font;
    canvas.SetFont(&font);
    int width = static_cast<int>(measure.itemWidth);
    int height = static_cast<int>(measure.itemHeight);
    MeasureItem(&canvas, width, height);
    canvas.SetHandle(nullptr);
    DeleteDC(dc);
    measure.itemWidth = static_cast<UINT>(std::max(width, 0));
    measure.itemHeight = static_cast<UINT>(std::max(height, 0));
}

// --- TMenu ----------------------------------------------------------------------------------------------

TMenu::TMenu(TComponent* AOwner) : TComponent(AOwner), FItems(new TMenuItem(nullptr))
{
    FItems->FMenu = this;
}

TMenu::~TMenu() { TComponent::Free(FItems); }

void TMenu::SetOwnerDraw(bool value)
{
    FOwnerDraw = value;
    std::function<void(TMenuItem*)> rebuild = [&](TMenuItem* item) {
        for (int i = 0; i < item->Count(); ++i)
            rebuild(item->Items(i));
        item->RebuildHandle();
    };
    rebuild(FItems);
}

TMenuItem* TMenu::FindItem(std::uintptr_t value, TFindItemKind kind) const
{
    if (kind == fkHandle && FItems->FHandle == reinterpret_cast<HMENU>(value))
        return FItems;
    return FindIn(FItems, [&](TMenuItem* item) {
        switch (kind) {
        case fkCommand:
            return item->Command() == value;
        case fkHandle:
            return item->FHandle == reinterpret_cast<HMENU>(value);
        case fkShortCut:
            return item->ShortCut() == value;
        }
        return false;
    });
}

bool TMenu::DispatchCommand(UINT command)
{
    TMenuItem* item = FindItem(command, fkCommand);
    if (!item)
        return false;
    item->Click();
    return true;
}

bool TMenu::DispatchPopup(HMENU menu)
{
    TMenuItem* item = FindItem(reinterpret_cast<std::uintptr_t>(menu), fkHandle);
    if (!item)
        return false;
    if (item != FItems)
        item->Click();
    return true;
}

bool TMenu::IsShortCut(TMessage& Message)
{
    const WORD key = static_cast<WORD>(Message.WParam);
    TShiftState shift = KeyDataToShiftState(static_cast<int>(Message.LParam)) + GetShiftState();
    shift = shift * TShiftState{ssShift, ssCtrl, ssAlt};
    const TShortCut shortCut = ::ShortCut(key, shift);
    if (shortCut == 0)
        return false;
    TMenuItem* item = FindIn(FItems, [&](TMenuItem* i) { return i->ShortCut() == shortCut && i->Visible(); });
    if (!item)
        return false;
    // Every parent must be enabled and visible; the parents hear OnClick first, so that menus
    // that update their items on opening do so before the shortcut runs.
    std::vector<TMenuItem*> parents;
    for (TMenuItem* p = item->Parent(); p && p != FItems; p = p->Parent())
        parents.insert(parents.begin(), p);
    for (TMenuItem* p : parents) {
        if (!p->Enabled() || !p->Visible())
            return false;
        p->Click();
    }
    if (!item->Enabled())
        return false;
    item->Click();
    return true;
}

int TMenu::GetHelpContext(UINT value, bool byCommand) const
{
    TMenuItem* item = FindItem(value, byCommand ? fkCommand : fkHandle);
    while (item && item->HelpContext == 0)
        item = item->Parent();
    return item ? item->HelpContext : 0;
}

bool TMenu::ProcessMenuMessage(TMessage& Message)
{
    switch (Message.Msg) {
    case WM_COMMAND:
        return Message.LParam == 0 && DispatchCommand(LOWORD(Message.WParam));
    case WM_INITMENUPOPUP:
        return DispatchPopup(reinterpret_cast<HMENU>(Message.WParam));
    case WM_MENUSELECT: {
        if (HIWORD(Message.WParam) == 0xFFFF && Message.LParam == 0) {
            if (Application)
                Application->SetHint("");
            return false;
        }
        TMenuItem* item = nullptr;
        if (HIWORD(Message.WParam) & MF_POPUP) {
            HMENU sub = GetSubMenu(reinterpret_cast<HMENU>(Message.LParam), LOWORD(Message.WParam));
            item = FindItem(reinterpret_cast<std::uintptr_t>(sub), fkHandle);
        } else {
            item = FindItem(LOWORD(Message.WParam), fkCommand);
        }
        if (!item)
            return false;
        if (Application)
            Application->SetHint(item->Hint);
        return true;
    }
    case WM_DRAWITEM: {
        auto* draw = reinterpret_cast<DRAWITEMSTRUCT*>(Message.LParam);
        if (!draw || draw->CtlType != ODT_MENU)
            return false;
        auto* item = reinterpret_cast<TMenuItem*>(draw->itemData);
        if (!item || item->GetParentMenu() != this)
            return false;
        item->DrawItemStruct(*draw);
        Message.Result = TRUE;
        return true;
    }
    case WM_MEASUREITEM: {
        auto* measure = reinterpret_cast<MEASUREITEMSTRUCT*>(Message.LParam);
        if (!measure || measure->CtlType != ODT_MENU)
            return false;
        auto* item = reinterpret_cast<TMenuItem*>(measure->itemData);
        if (!item || item->GetParentMenu() != this)
            return false;
        item->MeasureItemStruct(*measure);
        Message.Result = TRUE;
        return true;
    }
    default:
        return false;
    }
}

// --- TPopupMenu and TPopupList ----------------------------------------------------------------------------

namespace {

// The hidden window that owns the tracking of popup menus.
class TPopupListWindow : public TWinControl {
    TESS_CLASS(TPopupListWindow, TWinControl)
public:
    explicit TPopupListWindow(TComponent* AOwner) : TWinControl(AOwner) { FVisible = false; }
    void WndProc(TMessage& Message) override
    {
        if (TPopupList::Instance().Dispatch(Message))
            return;
        TWinControl::WndProc(Message);
    }
};

} // namespace

TPopupList& TPopupList::Instance()
{
    static TPopupList list;
    return list;
}

void TPopupList::Add(TPopupMenu* menu) { FMenus.push_back(menu); }

void TPopupList::Remove(TPopupMenu* menu) { FMenus.erase(std::remove(FMenus.begin(), FMenus.end(), menu), FMenus.end()); }

HWND TPopupList::Window()
{
    if (!FWindow)
        FWindow = new TPopupListWindow(nullptr);
    return FWindow->Handle();
}

bool TPopupList::Dispatch(TMessage& Message)
{
    for (TPopupMenu* menu : std::vector<TPopupMenu*>(FMenus))
        if (std::find(FMenus.begin(), FMenus.end(), menu) != FMenus.end() && menu->ProcessMenuMessage(Message))
            return true;
    return false;
}

TPopupMenu::TPopupMenu(TComponent* AOwner) : TMenu(AOwner) { TPopupList::Instance().Add(this); }

TPopupMenu::~TPopupMenu() { TPopupList::Instance().Remove(this); }

void TPopupMenu::Popup(int X, int Y)
{
    if (OnPopup)
        OnPopup(this);
    UINT flags = TPM_RIGHTBUTTON;
    if (Alignment == paRight)
        flags |= TPM_RIGHTALIGN;
    else if (Alignment == paCenter)
        flags |= TPM_CENTERALIGN;
    TrackPopupMenu(Handle(), flags, X, Y, 0, TPopupList::Instance().Window(), nullptr);
}

bool ShowControlPopupMenu(TControl* control, TPoint screenPos, bool fromKeyboard)
{
    for (TControl* c = control; c; c = c->Parent()) {
        TPopupMenu* menu = c->PopupMenu;
        if (!menu || !menu->AutoPopup)
            continue;
        menu->PopupComponent = control;
        if (fromKeyboard)
            screenPos = control->ClientToScreen({0, 0});
        menu->Popup(screenPos.X, screenPos.Y);
        return true;
    }
    return false;
}

bool MenuKeyShortCut(TWinControl* focused, TMessage& Message)
{
    // F10 selects the form's menu bar, as Alt alone does.
    if (Message.WParam == VK_F10 && GetKeyState(VK_SHIFT) >= 0 && GetKeyState(VK_CONTROL) >= 0)
        if (TCustomForm* form = focused ? GetParentForm(focused) : nullptr;
            form && form->HandleAllocated() && GetMenuBarHeight(form->Handle()) > 0) {
            SendMessageA(form->Handle(), WM_SYSCOMMAND, SC_KEYMENU, 0);
            return true;
        }
    for (TControl* c = focused; c; c = c->Parent())
        if (c->PopupMenu && c->PopupMenu->IsShortCut(Message))
            return true;
    TCustomForm* form = focused ? GetParentForm(focused) : nullptr;
    return form && form->Menu && form->Menu->IsShortCut(Message);
}

// --- Helpers ------------------------------------------------------------------------------------------

TMenuItem* NewItem(const std::string& caption, TShortCut shortCut, bool checked, bool enabled, TNotifyEvent onClick,
                   int helpContext, const std::string& name)
{
    auto* item = new TMenuItem(nullptr);
    item->SetName(name);
    item->SetCaption(caption);
    item->SetShortCut(shortCut);
    item->SetChecked(checked);
    item->SetEnabled(enabled);
    item->OnClick = std::move(onClick);
    item->HelpContext = helpContext;
    return item;
}

TMenuItem* NewLine() { return NewItem("-", 0, false, true, nullptr, 0, ""); }

TMenuItem* NewSubMenu(const std::string& caption, int helpContext, const std::string& name,
                      const std::vector<TMenuItem*>& items, bool enabled)
{
    TMenuItem* item = NewItem(caption, 0, false, enabled, nullptr, helpContext, name);
    for (TMenuItem* child : items)
        item->Add(child);
    return item;
}

TMainMenu* NewMenu(TComponent* owner, const std::string& name, const std::vector<TMenuItem*>& items)
{
    auto* menu = new TMainMenu(owner);
    menu->SetName(name);
    for (TMenuItem* item : items)
        menu->Items()->Add(item);
    return menu;
}

TPopupMenu* NewPopupMenu(TComponent* owner, const std::string& name, TPopupAlignment alignment, bool autoPopup,
                         const std::vector<TMenuItem*>& items)
{
    auto* menu = new TPopupMenu(owner);
    menu->SetName(name);
    menu->Alignment = alignment;
    menu->AutoPopup = autoPopup;
    for (TMenuItem* item : items)
        menu->Items()->Add(item);
    return menu;
}

std::string StripHotkey(const std::string& text)
{
    std::string result;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '&' && i + 1 < text.size())
            ++i;
        else if (text[i] == '&')
            continue;
        result += text[i];
    }
    return result;
}

std::string GetHotkey(const std::string& text)
{
    for (std::size_t i = 0; i + 1 < text.size(); ++i) {
        if (text[i] != '&')
            continue;
        if (text[i + 1] != '&')
            return std::string(1, text[i + 1]);
        ++i;
    }
    return "";
}
