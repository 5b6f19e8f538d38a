#pragma once
// Menu components over the menu handles: items, main and popup menus, shortcuts, owner drawing.

#include "platform/gui/Canvas.h"
#include "platform/gui/InputTranslation.h"
#include "platform/gui/ListBox.h"
#include "platform/gui/MenuApi.h"
#include "platform/rtl/Classes.h"
#include "platform/rtl/Exceptions.h"

#include <functional>
#include <string>
#include <vector>

TESS_EXCEPTION(EMenuError, Exception)

class TMenu;
class TMenuItem;
class TControl;

using TMenuDrawItemEvent = std::function<void(TObject* Sender, TCanvas* ACanvas, TRect ARect, bool Selected)>;
using TAdvancedMenuDrawItemEvent =
    std::function<void(TObject* Sender, TCanvas* ACanvas, TRect ARect, TOwnerDrawState State)>;
using TMenuMeasureItemEvent = std::function<void(TObject* Sender, TCanvas* ACanvas, int& Width, int& Height)>;

enum TFindItemKind { fkCommand, fkHandle, fkShortCut };
enum TPopupAlignment { paLeft, paRight, paCenter };

class TMenuItem : public TComponent {
    TESS_CLASS(TMenuItem, TComponent)
public:
    explicit TMenuItem(TComponent* AOwner);
    ~TMenuItem() override;

    const std::string& Caption() const { return FCaption; }
    void SetCaption(const std::string& value);
    bool Checked() const { return FChecked; }
    // Checking a radio item unchecks the radio items of its group in the same parent.
    void SetChecked(bool value);
    bool RadioItem() const { return FRadioItem; }
    void SetRadioItem(bool value);
    int GroupIndex() const { return FGroupIndex; }
    void SetGroupIndex(int value);
    bool Default() const { return FDefault; }
    void SetDefault(bool value);
    bool Enabled() const { return FEnabled; }
    void SetEnabled(bool value);
    bool Visible() const { return FVisible; }
    void SetVisible(bool value);
    TShortCut ShortCut() const { return FShortCut; }
    void SetShortCut(TShortCut value);
    std::string Hint;
    int HelpContext = 0;
    bool Break = false;

    int Count() const { return static_cast<int>(FItems.size()); }
    // Raises EMenuError "List index out of bounds (%d)" out of range.
    TMenuItem* Items(int index) const;
    // Raises EMenuError "Menu inserted twice" for an item that already has a parent.
    void Add(TMenuItem* item);
    void Insert(int index, TMenuItem* item);
    // Takes the item out (it is not freed).
    void Delete(int index);
    void Remove(TMenuItem* item);
    // Frees the sub-items.
    void Clear();
    int IndexOf(TMenuItem* item) const;
    // The sub-item whose caption, without "&", equals caption (case ignored); nullptr when none.
    TMenuItem* Find(const std::string& caption) const;
    TMenuItem* Parent() const { return FParent; }
    int MenuIndex() const;
    void SetMenuIndex(int value);
    UINT Command() const { return FCommand; }
    // The sub-menu's handle, made when first asked.
    HMENU Handle();
    bool HasHandle() const { return FHandle != nullptr; }
    // The menu that holds the item (through its parents), nullptr when none.
    TMenu* GetParentMenu() const;
    virtual void Click();
    bool IsLine() const { return FCaption == "-"; }

    TNotifyEvent OnClick;
    TMenuDrawItemEvent OnDrawItem;
    TAdvancedMenuDrawItemEvent OnAdvancedDrawItem;
    TMenuMeasureItemEvent OnMeasureItem;

    // Owner drawing requested through the menu handle.
    void DrawItemStruct(DRAWITEMSTRUCT& draw);
    void MeasureItemStruct(MEASUREITEMSTRUCT& measure);
    // Rebuilds the entries of the sub-menu handle from the sub-items.
    void RebuildHandle();

protected:
    virtual void DrawItem(TCanvas* ACanvas, TRect ARect, TOwnerDrawState State);
    virtual void MeasureItem(TCanvas* ACanvas, int& Width, int& Height);
    bool IsOwnerDraw() const;

private:
    friend class TMenu;
    void Changed();
    std::string EntryText() const;

    std::string FCaption;
    bool FChecked = false;
    bool FRadioItem = false;
    int FGroupIndex = 0;
    bool FDefault = false;
    bool FEnabled = true;
    bool FVisible = true;
    TShortCut FShortCut = 0;
    std::vector<TMenuItem*> FItems;
    TMenuItem* FParent = nullptr;
    TMenu* FMenu = nullptr;
    UINT FCommand = 0;
    HMENU FHandle = nullptr;
    bool FDestroying = false;
};

class TMenu : public TComponent {
    TESS_CLASS(TMenu, TComponent)
public:
    explicit TMenu(TComponent* AOwner);
    ~TMenu() override;

    TMenuItem* Items() const { return FItems; }
    HMENU Handle() { return FItems->Handle(); }
    bool OwnerDraw() const { return FOwnerDraw; }
    void SetOwnerDraw(bool value);
    TMenuItem* FindItem(std::uintptr_t value, TFindItemKind kind) const;
    // Clicks the item with the command; false when none has it.
    bool DispatchCommand(UINT command);
    // Fires the OnClick of the item whose sub-menu opens.
    bool DispatchPopup(HMENU menu);
    // Fires the item whose shortcut the key message (WM_KEYDOWN, WM_SYSKEYDOWN) gives, after the
    // OnClick of its parents; true when one took the key.
    bool IsShortCut(TMessage& Message);
    int GetHelpContext(UINT value, bool byCommand) const;
    // The menu messages a window receives for this menu (WM_COMMAND, WM_INITMENUPOPUP,
    // WM_MENUSELECT, WM_DRAWITEM and WM_MEASUREITEM of ODT_MENU); true when handled.
    bool ProcessMenuMessage(TMessage& Message);

private:
    TMenuItem* FItems;
    bool FOwnerDraw = false;
};

class TMainMenu : public TMenu {
    TESS_CLASS(TMainMenu, TMenu)
public:
    explicit TMainMenu(TComponent* AOwner) : TMenu(AOwner) {}
};

class TPopupMenu : public TMenu {
    TESS_CLASS(TPopupMenu, TMenu)
public:
    explicit TPopupMenu(TComponent* AOwner);
    ~TPopupMenu() override;
    // At (X, Y) in screen coordinates; returns after the menu closed and its command ran.
    virtual void Popup(int X, int Y);
    bool AutoPopup = true;
    TComponent* PopupComponent = nullptr;
    TPopupAlignment Alignment = paLeft;
    TNotifyEvent OnPopup;
};

// The popup menus alive and the hidden window that owns their tracking.
class TPopupList {
public:
    static TPopupList& Instance();
    void Add(TPopupMenu* menu);
    void Remove(TPopupMenu* menu);
    HWND Window();
    bool Dispatch(TMessage& Message);

private:
    std::vector<TPopupMenu*> FMenus;
    TWinControl* FWindow = nullptr;
};

// Shows the popup menu of the control or of its nearest parent that has one; true when shown.
// The control layer calls it for WM_CONTEXTMENU.
bool ShowControlPopupMenu(TControl* control, TPoint screenPos, bool fromKeyboard);
// The form's main menu and the popup menus of the focused control and its parents answer a key
// message; the key path calls it before the control sees the key.
bool MenuKeyShortCut(TWinControl* focused, TMessage& Message);

TMenuItem* NewItem(const std::string& caption, TShortCut shortCut, bool checked, bool enabled, TNotifyEvent onClick,
                   int helpContext, const std::string& name);
TMenuItem* NewLine();
TMenuItem* NewSubMenu(const std::string& caption, int helpContext, const std::string& name,
                      const std::vector<TMenuItem*>& items, bool enabled = true);
TMainMenu* NewMenu(TComponent* owner, const std::string& name, const std::vector<TMenuItem*>& items);
TPopupMenu* NewPopupMenu(TComponent* owner, const std::string& name, TPopupAlignment alignment, bool autoPopup,
                         const std::vector<TMenuItem*>& items);
// "&Salva" -> "Salva", "&&" -> "&".
std::string StripHotkey(const std::string& text);
// The accelerator character of a caption, "" when none.
std::string GetHotkey(const std::string& text);
