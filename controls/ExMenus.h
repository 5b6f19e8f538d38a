#pragma once
// Main and pop-up menus whose items are drawn by the menu itself or by the program: images from
// an image list or a picture, check marks or a sunken "checked" frame, the caption with its
// accelerator underline, a shortcut column and two-colour separators, in a plain, lowered or
// raised look. The menus answer the menu-character query themselves, so that accelerators and
// initial letters work on owner-drawn items. Every pop-up of this unit pops up through one shared
// hidden window that receives its commands, help requests, hints and drawing.

#include "platform/gui/Canvas.h"
#include "platform/gui/Graphic.h"
#include "platform/gui/ImageList.h"
#include "platform/gui/Menus.h"
#include "platform/rtl/Sets.h"

#include <functional>
#include <map>
#include <memory>
#include <utility>

class TExWindowHook;
class TWinControl;

namespace ExMenus {
enum TExMenuStyle { msStandard, msOwnerDraw, msBtnLowered, msBtnRaised };
// Bits as the owner-draw item state: selected 1, grayed 2, disabled 4, checked 8, focus 16,
// default 32.
enum TMenuOwnerDrawStateFlag { mdSelected, mdGrayed, mdDisabled, mdChecked, mdFocused, mdDefault };
} // namespace ExMenus

using TExMenuStyle = ExMenus::TExMenuStyle;
using TMenuOwnerDrawState = TSet<ExMenus::TMenuOwnerDrawStateFlag>;

using TDrawMenuItemEvent =
    std::function<void(TMenu* Sender, TMenuItem* Item, const TRect& Rect, TMenuOwnerDrawState State)>;
using TMeasureMenuItemEvent = std::function<void(TMenu* Sender, TMenuItem* Item, int& Width, int& Height)>;
using TDrawMarginEvent = std::function<void(TMenu* Sender, const TRect& Rect)>;
using TItemParamsEvent = std::function<void(TMenu* Sender, TMenuItem* Item, TMenuOwnerDrawState State, TFont* AFont,
                                            TColor& Color, TGraphic*& Graphic, int& NumGlyphs)>;
using TItemImageEvent =
    std::function<void(TMenu* Sender, TMenuItem* Item, TMenuOwnerDrawState State, int& ImageIndex)>;

// False only for an item on the bar of a main menu.
bool IsItemPopup(TMenuItem* Item);
// The system menu font, "MS Sans Serif" 8 when it cannot be read; colour clMenuText, no style.
void SetDefaultMenuFont(TFont* AFont);

// What the main and the pop-up menu share: the look, the images, the events and the drawing,
// measuring and menu-character answers for the items of one menu.
class TExMenuLook {
public:
    TExMenuLook(const TExMenuLook&) = delete;
    TExMenuLook& operator=(const TExMenuLook&) = delete;

    TExMenuStyle Style() const { return FStyle; }
    virtual void SetStyle(TExMenuStyle Value);
    bool ShowCheckMarks() const { return FShowCheckMarks; }
    void SetShowCheckMarks(bool Value) { FShowCheckMarks = Value; }
    // The least width of the image column.
    int MinTextOffset() const { return FMinTextOffset; }
    void SetMinTextOffset(int Value) { FMinTextOffset = Value; }
    // The cursor shown over a highlighted item; 0 leaves the cursor alone.
    TCursor Cursor() const { return FCursor; }
    void SetCursor(TCursor Value) { FCursor = Value; }
    TCustomImageList* Images() const { return FImages; }
    void SetImages(TCustomImageList* Value);
    // The canvas the program's OnDrawItem draws on.
    TCanvas* Canvas() { return FCanvas.get(); }

    void Refresh();
    // Rebuilds every item's entry as owner-drawn or as a plain text entry.
    virtual void RefreshMenu(bool AOwnerDraw);
    // The drawing of this unit alone, for a handler that wants it.
    void DefaultDrawItem(TMenuItem* Item, TRect Rect, TMenuOwnerDrawState State);
    // A menu is owner-drawn with a look of its own or with images in its list.
    bool IsOwnerDrawMenu() const;

    TDrawMenuItemEvent OnDrawItem;
    TMeasureMenuItemEvent OnMeasureItem;
    TItemParamsEvent OnGetItemParams;
    TItemImageEvent OnGetImageIndex;

    // Draw and measure requests of this menu's items (answered 1 and handled) and the
    // menu-character query of its menus; false for anything else.
    bool WndMessage(TMessage& Msg);
    // The answer to the menu-character query for Key in AMenu (one of this menu's handles).
    LRESULT MenuCharAnswer(HMENU AMenu, char Key);

protected:
    TExMenuLook(TMenu* AMenu, int LeftMargin);
    virtual ~TExMenuLook();

    virtual void DrawItem(TMenuItem* Item, TRect Rect, TMenuOwnerDrawState State);
    virtual void GetImageIndex(TMenuItem* Item, TMenuOwnerDrawState State, int& ImageIndex);
    virtual void GetItemParams(TMenuItem* Item, TMenuOwnerDrawState State, TFont* AFont, TColor& Color,
                               TGraphic*& Graphic, int& NumGlyphs);
    virtual void MeasureItem(TMenuItem* Item, int& Width, int& Height);
    virtual void DrawMargin(const TRect& /*ARect*/) {}
    // The menu's images changed or went away.
    void ImageListChange(TObject* Sender);
    void ImagesFreed() { FImages = nullptr; }
    // Forgets the widths measured for the menu's last popping up.
    void ForgetWidths() { FWidths.clear(); }
    // The item whose address a draw or measure request carries, when it belongs to this menu.
    TMenuItem* AcceptedItem(std::uintptr_t Data) const;

    TMenu* FMenu;
    int FLeftMargin;

private:
    void DrawMenuItemRequest(DRAWITEMSTRUCT& Draw);
    void MeasureMenuItemRequest(MEASUREITEMSTRUCT& Measure);
    void RefreshItem(TMenuItem* Item, bool AOwnerDraw);
    void PaintDefault(TMenuItem* Item, const TRect& Rect, TMenuOwnerDrawState State, TGraphic* Graphic,
                      int NumGlyphs);
    // The widest caption (with two tabs) and shortcut text among the sub-items of Parent.
    std::pair<int, int> SiblingWidths(TMenuItem* Parent);

    TExMenuStyle FStyle = ExMenus::msStandard;
    std::unique_ptr<TControlCanvas> FCanvas;
    bool FShowCheckMarks = true;
    int FMinTextOffset = 0;
    TCursor FCursor = 0;
    TCustomImageList* FImages = nullptr;
    std::unique_ptr<TChangeLink> FImageChangeLink;
    std::map<std::pair<TMenuItem*, bool>, std::pair<int, int>> FWidths;
};

class TExMainMenu : public TMainMenu, public TExMenuLook {
    TESS_CLASS(TExMainMenu, TMainMenu)
public:
    explicit TExMainMenu(TComponent* AOwner);
    ~TExMainMenu() override;

    void Loaded() override;
    void SetStyle(TExMenuStyle Value) override;
    void SetImages(TCustomImageList* Value);
    void RefreshMenu(bool AOwnerDraw) override;
    // The control that shows the menu's bar, else the owner when it is a windowed control.
    TWinControl* FindForm() const;

protected:
    void Notification(TComponent* AComponent, TOperation Operation) override;

private:
    // Runs after the form's own procedure for each of its messages.
    void HookAfterMessage(TObject* Sender, TMessage& Msg, bool& Handled);
    void MenuSelect(TMessage& Msg);
    void SetHook();

    std::unique_ptr<TExWindowHook> FHook;
};

class TExPopupMenu : public TPopupMenu, public TExMenuLook {
    TESS_CLASS(TExPopupMenu, TPopupMenu)
public:
    explicit TExPopupMenu(TComponent* AOwner);
    ~TExPopupMenu() override;

    void Loaded() override;
    void Popup(int X, int Y) override;
    void SetImages(TCustomImageList* Value);
    // Width of a margin strip left of the top-level items; 0 for none.
    int LeftMargin() const { return FLeftMargin; }
    void SetLeftMargin(int Value) { FLeftMargin = Value; }
    void DefaultDrawMargin(const TRect& ARect, TColor StartColor, TColor EndColor);

    TDrawMarginEvent OnDrawMargin;

protected:
    void DrawMargin(const TRect& ARect) override;
    void Notification(TComponent* AComponent, TOperation Operation) override;
};
