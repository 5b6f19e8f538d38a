#include "controls/ExMenus.h"

#include "controls/ClipIcon.h"
#include "controls/ExHook.h"
#include "controls/VCLUtils.h"
#include "platform/gui/Application.h"
#include "platform/gui/Bitmap.h"
#include "platform/gui/DeviceContext.h"
#include "platform/gui/Form.h"
#include "platform/gui/GdiObjects.h"
#include "platform/gui/Icon.h"
#include "platform/gui/Regions.h"
#include "platform/gui/Resources.h"
#include "platform/gui/Screen.h"
#include "platform/gui/SystemMetrics.h"
#include "platform/gui/TextOutput.h"
#include "platform/gui/WindowHandles.h"
#include "platform/rtl/TextUtils.h"

#include <algorithm>
#include <cmath>
#include <vector>

using namespace ExMenus;

namespace {

constexpr TMenuOwnerDrawState EmptyState{};

int CheckWidth() { return LOWORD(static_cast<DWORD>(GetMenuCheckMarkDimensions())); }
int CheckHeight() { return HIWORD(static_cast<DWORD>(GetMenuCheckMarkDimensions())); }
// The space between the columns of an item: 0.3 of the check-mark width, halves to even.
int Gap() { return static_cast<int>(std::nearbyint(CheckWidth() * 0.3)); }

bool IsTopLevel(TMenu* menu, TMenuItem* item) { return item->Parent() == menu->Items(); }

// Depth-first search for the item at an address, so that the address of a freed item is never
// followed.
bool ContainsItem(TMenuItem* root, std::uintptr_t address)
{
    if (reinterpret_cast<std::uintptr_t>(root) == address)
        return true;
    for (int i = 0; i < root->Count(); ++i)
        if (ContainsItem(root->Items(i), address))
            return true;
    return false;
}

// The canvas's context with the canvas's font and its colour selected, for DrawText.
HDC TextDC(TCanvas* canvas)
{
    canvas->TextExtent(" ");
    HDC dc = canvas->Handle();
    SetBkMode(dc, TRANSPARENT);
    return dc;
}

// The text with tabs expanded, as the caption is drawn.
int TextWidthExpanded(TCanvas* canvas, const std::string& text)
{
    TRect r(0, 0, 0, 0);
    DrawTextA(TextDC(canvas), text, -1, &r, DT_CALCRECT | DT_SINGLELINE | DT_EXPANDTABS | DT_NOPREFIX);
    return r.Width();
}

std::string CaptionForWidth(TMenuItem* item) { return StripHotkey(item->Caption()) + "\t\t"; }
std::string ShortCutForWidth(TMenuItem* item)
{
    return item->ShortCut() != 0 ? ShortCutToText(item->ShortCut()) + " " : std::string();
}

// The menu's check glyph, drawn in colour where its monochrome picture is black.
void DrawCheckGlyph(TCanvas* canvas, int x, int y, bool radio, TColor color)
{
    const int width = CheckWidth(), height = CheckHeight();
    if (radio) {
        // The layer has no bullet glyph: a filled circle in the middle of the glyph's cell.
        const int size = std::max(width / 2, 4);
        const int left = x + (width - size) / 2, top = y + (height - size) / 2;
        canvas->Pen()->SetColor(color);
        canvas->Brush()->SetStyle(bsSolid);
        canvas->Brush()->SetColor(color);
        canvas->Ellipse(left, top, left + size, top + size);
        return;
    }
    TBitmap glyph;
    glyph.SetHandle(LoadBitmap(nullptr, TResourceName::FromId(OBM_CHECK)));
    if (glyph.Empty())
        return;
    const COLORREF ink = ColorToRGB(clBlack);
    for (int row = 0; row < std::min(height, glyph.Height()); ++row)
        for (int col = 0; col < std::min(width, glyph.Width()); ++col)
            if (ColorToRGB(glyph.Canvas()->Pixels(col, row)) == ink)
                canvas->SetPixels(x + col, y + row, color);
}

// The drawing of one item, shared by the default drawing of both menus.
struct TItemPainter {
    TMenu* Menu;
    TMenuItem* Item;
    TCustomImageList* Images;
    int ImageIndex;
    TGraphic* Graphic;
    int NumGlyphs;
    TCanvas* Canvas;
    bool ShowCheck;
    TExMenuStyle Look;
    TRect R;
    TMenuOwnerDrawState State;
    int MinOffset;
    std::pair<int, int> Widths; // widest caption and shortcut among the siblings

    bool Selected() const { return State.Contains(mdSelected); }
    bool Disabled() const { return State.Contains(mdDisabled) || State.Contains(mdGrayed); }
    bool Checked() const { return State.Contains(mdChecked); }
    bool Plain() const { return Look != msBtnLowered && Look != msBtnRaised; }

    TColor GrayColor() const { return Selected() && Plain() ? clGrayText : clBtnShadow; }
    // Disabled pictures and text are embossed, except on a selected plain item whose gray text
    // would not show on the highlight.
    bool Emboss() const
    {
        return !(Selected() && Plain() && ColorToRGB(clGrayText) != ColorToRGB(clHighlight));
    }
    bool CheckedFrameMode(bool popup) const { return Checked() && popup && !ShowCheck && Plain(); }

    void CheckedFrame(const TRect& column)
    {
        TRect frame(column.Left, column.Top + 1, column.Right, column.Bottom - 1);
        std::unique_ptr<TBitmap> pattern;
        if (Selected()) {
            Canvas->Brush()->SetColor(clMenu);
        } else {
            pattern = CreateTwoColorsBrushPattern(clMenu, clBtnHighlight);
            Canvas->Brush()->SetBitmap(pattern.get());
        }
        Canvas->FillRect(frame);
        Canvas->Brush()->SetBitmap(nullptr);
        Frame3D(Canvas, frame, GrayColor(), clBtnHighlight, 1);
    }

    // Draws the picture and returns the width of its column.
    int DrawPicture(int x, int columnLeft, int minWidth, bool frameMode)
    {
        const int height = R.Height();
        auto* bitmap = dynamic_cast<TBitmap*>(Graphic);
        int cellWidth = Graphic->Width();
        int cell = 0;
        const bool cells = bitmap && NumGlyphs >= 2 && NumGlyphs <= 5;
        if (cells) {
            cellWidth = bitmap->Width() / NumGlyphs;
            cell = Disabled() ? 1 : Checked() ? 3 : Selected() ? 2 : 0;
            if (cell >= NumGlyphs)
                cell = 0;
        }
        const int column = std::max(cellWidth + 2, minWidth);
        if (frameMode)
            CheckedFrame(TRect(columnLeft, R.Top, columnLeft + column + 2, R.Top + height));
        const int px = x + (column - cellWidth) / 2;
        const int py = R.Top + (height - Graphic->Height()) / 2;
        if (cells) {
            DrawBitmapRectTransparent(Canvas, px, py,
                                      TRect(cell * cellWidth, 0, (cell + 1) * cellWidth, bitmap->Height()), bitmap,
                                      bitmap->TransparentColor());
        } else if (bitmap) {
            DrawWholeBitmap(bitmap, px, py, frameMode);
        } else if (auto* icon = dynamic_cast<TIcon*>(Graphic)) {
            DrawRealSizeIcon(Canvas, icon, px, py);
        } else {
            Canvas->Draw(px, py, Graphic);
        }
        return column;
    }

    void DrawWholeBitmap(TBitmap* bitmap, int px, int py, bool frameMode)
    {
        if (Disabled()) {
            if (bitmap->Monochrome()) {
                auto shape = [&](TColor color, int dx) {
                    auto copy = ChangeBitmapColor(bitmap, clBlack, color);
                    DrawBitmapTransparent(Canvas, px + dx, py + dx, copy.get(), clWhite);
                };
                if (Emboss())
                    shape(clBtnHighlight, 1);
                shape(GrayColor(), 0);
            } else {
                auto disabled = CreateDisabledBitmapEx(bitmap, clBlack, clMenu, clBtnHighlight, GrayColor(), Emboss());
                DrawBitmapTransparent(Canvas, px, py, disabled.get(), clMenu);
            }
        } else if (bitmap->Monochrome() && !frameMode) {
            Canvas->Draw(px, py, bitmap);
        } else {
            DrawBitmapTransparent(Canvas, px, py, bitmap, bitmap->TransparentColor());
        }
    }

    void DrawCaption(int x, bool popup)
    {
        const std::string& caption = Item->Caption();
        const int shortCutColumn = Item->ShortCut() != 0 ? Widths.first : TextWidthExpanded(Canvas, CaptionForWidth(Item));
        Canvas->Brush()->SetStyle(bsClear);
        const int y = R.Top + (R.Height() - Canvas->TextHeight("Ay")) / 2;
        const bool shortCut = popup && Item->ShortCut() != 0 && Item->Count() == 0;
        auto draw = [&](int dx, TColor color) {
            Canvas->Font()->SetColor(color);
            TRect textRect(x + dx, y + dx, R.Right + dx, R.Bottom + dx);
            DrawTextA(TextDC(Canvas), caption, -1, &textRect, DT_SINGLELINE | DT_EXPANDTABS | DT_LEFT);
            if (shortCut) {
                TRect keyRect(x + shortCutColumn + dx, y + dx, R.Right + dx, R.Bottom + dx);
                DrawTextA(TextDC(Canvas), ShortCutToText(Item->ShortCut()), -1, &keyRect,
                          DT_SINGLELINE | DT_LEFT | DT_NOPREFIX);
            }
        };
        if (Disabled()) {
            if (Emboss())
                draw(1, clBtnHighlight);
            draw(0, GrayColor());
        } else {
            draw(0, Canvas->Font()->Color());
        }
    }

    void DrawSeparator()
    {
        const int y = (R.Top + R.Bottom) / 2;
        Canvas->Pen()->SetWidth(1);
        Canvas->Pen()->SetColor(clBtnShadow);
        Canvas->MoveTo(R.Left, y - 1);
        Canvas->LineTo(R.Right, y - 1);
        Canvas->Pen()->SetColor(clBtnHighlight);
        Canvas->MoveTo(R.Left, y);
        Canvas->LineTo(R.Right, y);
    }

    void Paint()
    {
        const int gap = Gap();
        const bool popup = IsItemPopup(Item);
        int textOffset;
        int minWidth = MinOffset;
        const int checkWidth = popup && ShowCheck ? CheckWidth() : 2;
        if (popup) {
            textOffset = 2 * gap + checkWidth;
        } else {
            textOffset = gap + 2;
            minWidth = 0;
        }
        const bool frameMode = CheckedFrameMode(popup);
        if (Selected() && !Plain()) {
            const bool lowered = Look == msBtnLowered;
            TRect frame = R;
            Frame3D(Canvas, frame, lowered ? clBtnShadow : clBtnHighlight, lowered ? clBtnHighlight : clBtnShadow, 1);
            R = frame;
        }
        const int height = R.Height();
        if (Checked() && ShowCheck && popup)
            DrawCheckGlyph(Canvas, R.Left + (textOffset - checkWidth) / 2, R.Top + (height - CheckHeight()) / 2,
                           Item->RadioItem(), Canvas->Font()->Color());
        if (Images && popup)
            minWidth = std::max(minWidth, Images->Width() + 2);
        const bool hasPicture = Graphic && !Graphic->Empty();
        if (!ShowCheck && (hasPicture || minWidth > 0))
            textOffset = gap;
        const int columnLeft = R.Left + textOffset - 1;
        if (Images && ImageIndex >= 0 && ImageIndex < Images->Count() && Images->HandleAllocated()) {
            const int column = std::max(Images->Width() + 2, minWidth);
            if (frameMode)
                CheckedFrame(TRect(columnLeft, R.Top, columnLeft + column + 2, R.Top + height));
            const int x = R.Left + textOffset + (column - Images->Width()) / 2;
            const int y = R.Top + (height - Images->Height()) / 2;
            if (Disabled())
                ImageListDrawDisabled(Images, Canvas, x, y, ImageIndex, clBtnHighlight, GrayColor(), Emboss());
            else
                Images->Draw(Canvas, x, y, ImageIndex);
            textOffset += gap + column;
        } else if (hasPicture && !Item->IsLine()) {
            const int column = DrawPicture(R.Left + textOffset, columnLeft, minWidth, frameMode);
            textOffset += gap + column;
        } else if (minWidth > 0) {
            if (frameMode) {
                const TRect column(columnLeft, R.Top, columnLeft + minWidth + 2, R.Top + height);
                CheckedFrame(column);
                DrawCheckGlyph(Canvas, column.Left + (column.Width() - CheckWidth()) / 2,
                               R.Top + (height - CheckHeight()) / 2, Item->RadioItem(), Canvas->Font()->Color());
            }
            textOffset += minWidth + gap;
        }
        if (Item->IsLine())
            DrawSeparator();
        else
            DrawCaption(R.Left + textOffset, popup);
    }
};

// --- The shared window of the pop-up menus ---

class TExPopupList {
public:
    void Add(TExPopupMenu* menu)
    {
        if (FMenus.empty())
            FWindow = AllocateHWnd([this](TMessage& Msg) { WndProc(Msg); });
        FMenus.push_back(menu);
    }
    void Remove(TExPopupMenu* menu)
    {
        FMenus.erase(std::remove(FMenus.begin(), FMenus.end(), menu), FMenus.end());
        if (FMenus.empty() && FWindow) {
            DeallocateHWnd(FWindow);
            FWindow = nullptr;
        }
    }
    HWND Window() const { return FWindow; }

private:
    void WndProc(TMessage& Msg);
    void Help(TMessage& Msg);
    void MenuSelect(TMessage& Msg);
    // A copy, so that a handler that frees a menu does not disturb the walk.
    std::vector<TExPopupMenu*> Menus() const { return FMenus; }
    bool Alive(TExPopupMenu* menu) const { return std::find(FMenus.begin(), FMenus.end(), menu) != FMenus.end(); }

    std::vector<TExPopupMenu*> FMenus;
    HWND FWindow = nullptr;
    bool FCursorSet = false;
};

TExPopupList& PopupList()
{
    static TExPopupList list;
    return list;
}

TMenuItem* ItemOfSelect(TMenu* menu, const TMessage& Msg)
{
    const WORD flags = HIWORD(Msg.WParam);
    if (flags & MF_POPUP) {
        HMENU sub = GetSubMenu(reinterpret_cast<HMENU>(Msg.LParam), LOWORD(Msg.WParam));
        return sub ? menu->FindItem(reinterpret_cast<std::uintptr_t>(sub), fkHandle) : nullptr;
    }
    return menu->FindItem(LOWORD(Msg.WParam), fkCommand);
}

void TExPopupList::WndProc(TMessage& Msg)
{
    try {
        switch (Msg.Msg) {
        case WM_DRAWITEM:
        case WM_MEASUREITEM:
            for (TExPopupMenu* menu : Menus())
                if (Alive(menu) && menu->WndMessage(Msg))
                    return;
            break;
        case WM_HELP:
            Help(Msg);
            return;
        case WM_COMMAND:
            for (TExPopupMenu* menu : Menus())
                if (Alive(menu) && menu->DispatchCommand(LOWORD(Msg.WParam)))
                    return;
            break;
        case WM_INITMENUPOPUP:
            for (TExPopupMenu* menu : Menus())
                if (Alive(menu) && menu->DispatchPopup(reinterpret_cast<HMENU>(Msg.WParam)))
                    return;
            break;
        case WM_MENUSELECT:
            MenuSelect(Msg);
            return;
        case WM_MENUCHAR: {
            auto queried = reinterpret_cast<HMENU>(Msg.LParam);
            for (TExPopupMenu* menu : Menus())
                if (Alive(menu) &&
                    (menu->Handle() == queried || menu->FindItem(reinterpret_cast<std::uintptr_t>(queried), fkHandle))) {
                    Msg.Result = menu->MenuCharAnswer(queried, static_cast<char>(LOWORD(Msg.WParam)));
                    return;
                }
            break;
        }
        default:
            break;
        }
        Msg.Result = DefWindowProcA(FWindow, Msg.Msg, Msg.WParam, Msg.LParam);
    } catch (...) {
        if (Application)
            Application->HandleException(nullptr);
    }
}

void TExPopupList::Help(TMessage& Msg)
{
    auto* info = reinterpret_cast<HELPINFO*>(Msg.LParam);
    if (!info)
        return;
    for (TExPopupMenu* menu : Menus()) {
        if (reinterpret_cast<HANDLE>(menu->Handle()) != info->hItemHandle &&
            !menu->FindItem(reinterpret_cast<std::uintptr_t>(info->hItemHandle), fkHandle))
            continue;
        int context = menu->GetHelpContext(static_cast<UINT>(info->iCtrlId), true);
        if (context == 0)
            context = menu->GetHelpContext(static_cast<UINT>(reinterpret_cast<std::uintptr_t>(info->hItemHandle)), false);
        TCustomForm* form = Screen ? Screen->ActiveCustomForm() : nullptr;
        if (!form || !Application)
            return;
        if (form->BorderIcons().Contains(biHelp))
            Application->HelpCommand(HELP_CONTEXTPOPUP, context);
        else
            Application->HelpContext(context);
        return;
    }
}

void TExPopupList::MenuSelect(TMessage& Msg)
{
    for (TExPopupMenu* menu : Menus()) {
        TMenuItem* item = ItemOfSelect(menu, Msg);
        if (!item)
            continue;
        if (Application)
            Application->SetHint(item->Hint);
        if (menu->Cursor() != 0 && Screen) {
            const bool highlighted = (HIWORD(Msg.WParam) & MF_HILITE) != 0;
            Screen->SetCursor(highlighted ? menu->Cursor() : crDefault);
            FCursorSet = highlighted;
        }
        return;
    }
    if (Application)
        Application->SetHint("");
    // The menu closed or left its items: a cursor set for an item goes back.
    if (FCursorSet && Screen)
        Screen->SetCursor(crDefault);
    FCursorSet = false;
}

} // namespace

// --- Free functions ---

bool IsItemPopup(TMenuItem* Item)
{
    TMenuItem* parent = Item ? Item->Parent() : nullptr;
    if (!parent || parent->Parent())
        return true;
    return dynamic_cast<TMainMenu*>(parent->GetParentMenu()) == nullptr;
}

void SetDefaultMenuFont(TFont* AFont)
{
    NONCLIENTMETRICS metrics;
    if (SystemParametersInfo(SPI_GETNONCLIENTMETRICS, 0, &metrics, 0) && metrics.lfMenuFont.lfFaceName[0] != '\0') {
        AFont->SetName(metrics.lfMenuFont.lfFaceName);
        AFont->SetHeight(metrics.lfMenuFont.lfHeight);
    } else {
        AFont->SetName("MS Sans Serif");
        AFont->SetSize(8);
    }
    AFont->SetColor(clMenuText);
    AFont->SetStyle({});
}

// --- TExMenuLook ---

TExMenuLook::TExMenuLook(TMenu* AMenu, int LeftMargin)
    : FMenu(AMenu), FLeftMargin(LeftMargin), FCanvas(std::make_unique<TControlCanvas>()),
      FImageChangeLink(std::make_unique<TChangeLink>())
{
    FImageChangeLink->OnChange = [this](TObject* Sender) { ImageListChange(Sender); };
}

TExMenuLook::~TExMenuLook()
{
    if (FImages)
        FImages->UnRegisterChanges(FImageChangeLink.get());
}

bool TExMenuLook::IsOwnerDrawMenu() const
{
    return FStyle != msStandard || (FImages && FImages->Count() > 0);
}

void TExMenuLook::SetStyle(TExMenuStyle Value)
{
    if (FStyle == Value)
        return;
    FStyle = Value;
    Refresh();
}

void TExMenuLook::SetImages(TCustomImageList* Value)
{
    if (FImages == Value)
        return;
    const bool wasOwnerDraw = IsOwnerDrawMenu();
    if (FImages) {
        FImages->UnRegisterChanges(FImageChangeLink.get());
        FImages->RemoveFreeNotification(FMenu);
    }
    FImages = Value;
    if (FImages) {
        FImages->RegisterChanges(FImageChangeLink.get());
        FImages->FreeNotification(FMenu);
    }
    if (wasOwnerDraw != IsOwnerDrawMenu())
        Refresh();
}

void TExMenuLook::ImageListChange(TObject* Sender)
{
    if (Sender == FImages)
        Refresh();
}

void TExMenuLook::Refresh() { RefreshMenu(IsOwnerDrawMenu()); }

void TExMenuLook::RefreshMenu(bool AOwnerDraw)
{
    if (FMenu->ComponentState().Contains(csDesigning))
        return;
    // The layer rebuilds a menu's entries when its items change; it keeps them owner-drawn too.
    FMenu->SetOwnerDraw(AOwnerDraw);
    FWidths.clear();
    std::function<void(TMenuItem*)> walk = [&](TMenuItem* parent) {
        for (int i = 0; i < parent->Count(); ++i) {
            TMenuItem* item = parent->Items(i);
            RefreshItem(item, AOwnerDraw);
            walk(item);
        }
    };
    walk(FMenu->Items());
}

void TExMenuLook::RefreshItem(TMenuItem* Item, bool AOwnerDraw)
{
    HMENU parentMenu = Item->Parent()->Handle();
    UINT type = AOwnerDraw ? MFT_OWNERDRAW : MFT_STRING;
    if (Item->IsLine())
        type |= MFT_SEPARATOR;
    if (Item->RadioItem())
        type |= MFT_RADIOCHECK;
    if (Item->Break)
        type |= MFT_MENUBREAK;
    UINT state = 0;
    if (Item->Checked())
        state |= MFS_CHECKED;
    if (!Item->Enabled())
        state |= MFS_GRAYED | MFS_DISABLED;
    if (Item->Default())
        state |= MFS_DEFAULT;
    std::string text = Item->Caption();
    if (!AOwnerDraw && Item->ShortCut() != 0 && IsItemPopup(Item))
        text += "\t\t" + ShortCutToText(Item->ShortCut());

    const int count = GetMenuItemCount(parentMenu);
    if (Item->Count() > 0) {
        HMENU sub = Item->Handle();
        for (int position = 0; position < count; ++position)
            if (GetSubMenu(parentMenu, position) == sub) {
                MENUITEMINFOA info;
                info.fMask = MIIM_FTYPE | MIIM_DATA | (AOwnerDraw ? 0 : MIIM_STRING);
                info.fType = type;
                info.dwItemData = reinterpret_cast<std::uintptr_t>(Item);
                info.dwTypeData = text.data();
                SetMenuItemInfoA(parentMenu, static_cast<UINT>(position), TRUE, &info);
                return;
            }
        return;
    }
    int found = -1;
    for (int position = 0; position < count && found < 0; ++position)
        if (GetSubMenu(parentMenu, position) == nullptr && GetMenuItemID(parentMenu, position) == Item->Command())
            found = position;
    if (found < 0)
        return;
    DeleteMenu(parentMenu, static_cast<UINT>(found), MF_BYPOSITION);
    MENUITEMINFOA info;
    info.fMask = MIIM_FTYPE | MIIM_STATE | MIIM_ID | MIIM_DATA | MIIM_STRING;
    info.fType = type;
    info.fState = state;
    info.wID = Item->Command();
    info.dwItemData = reinterpret_cast<std::uintptr_t>(Item);
    // Owner-drawn entries keep their text too, for the layer's own accessibility and searching.
    info.dwTypeData = text.data();
    InsertMenuItemA(parentMenu, static_cast<UINT>(found), TRUE, &info);
}

TMenuItem* TExMenuLook::AcceptedItem(std::uintptr_t Data) const
{
    if (Data == 0 || !ContainsItem(FMenu->Items(), Data))
        return nullptr;
    auto* item = reinterpret_cast<TMenuItem*>(Data);
    return FMenu->FindItem(item->Command(), fkCommand) == item ? item : nullptr;
}

bool TExMenuLook::WndMessage(TMessage& Msg)
{
    switch (Msg.Msg) {
    case WM_DRAWITEM: {
        auto* draw = reinterpret_cast<DRAWITEMSTRUCT*>(Msg.LParam);
        if (!draw || draw->CtlType != ODT_MENU || !AcceptedItem(draw->itemData))
            return false;
        DrawMenuItemRequest(*draw);
        Msg.Result = 1;
        return true;
    }
    case WM_MEASUREITEM: {
        auto* measure = reinterpret_cast<MEASUREITEMSTRUCT*>(Msg.LParam);
        if (!measure || measure->CtlType != ODT_MENU || !AcceptedItem(measure->itemData))
            return false;
        MeasureMenuItemRequest(*measure);
        Msg.Result = 1;
        return true;
    }
    default:
        return false;
    }
}

void TExMenuLook::DrawMenuItemRequest(DRAWITEMSTRUCT& Draw)
{
    auto* item = reinterpret_cast<TMenuItem*>(Draw.itemData);
    const TMenuOwnerDrawState state = TMenuOwnerDrawState::FromBits(Draw.itemState);
    const int saved = SaveDC(Draw.hDC);
    FCanvas->SetHandle(Draw.hDC);
    try {
        const bool topLevel = IsTopLevel(FMenu, item);
        if (topLevel && FLeftMargin > 0 && (Draw.itemAction & ODA_DRAWENTIRE)) {
            TRect margin = FCanvas->ClipRect();
            margin.Left = 0;
            margin.Right = FLeftMargin;
            DrawMargin(margin);
        }
        SetDefaultMenuFont(FCanvas->Font());
        FCanvas->Font()->SetColor(clMenuText);
        FCanvas->Brush()->SetStyle(bsSolid);
        FCanvas->Brush()->SetColor(clMenu);
        if (state.Contains(mdDefault))
            FCanvas->Font()->SetStyle(FCanvas->Font()->Style() + TFontStyles{fsBold});
        if (state.Contains(mdSelected) && FStyle != msBtnLowered && FStyle != msBtnRaised) {
            FCanvas->Brush()->SetColor(clHighlight);
            FCanvas->Font()->SetColor(clHighlightText);
        }
        TRect rect = Draw.rcItem;
        if (topLevel && FLeftMargin > 0)
            rect.Left += FLeftMargin + 1;
        IntersectClipRect(Draw.hDC, rect.Left, rect.Top, rect.Right, rect.Bottom);
        DrawItem(item, rect, state);
    } catch (...) {
        FCanvas->SetHandle(nullptr);
        RestoreDC(Draw.hDC, saved);
        throw;
    }
    FCanvas->SetHandle(nullptr);
    RestoreDC(Draw.hDC, saved);
}

void TExMenuLook::DrawItem(TMenuItem* Item, TRect Rect, TMenuOwnerDrawState State)
{
    TGraphic* graphic = nullptr;
    TColor color = FCanvas->Brush()->Color();
    int numGlyphs = 1;
    GetItemParams(Item, State, FCanvas->Font(), color, graphic, numGlyphs);
    if (color != clNone) {
        FCanvas->Brush()->SetStyle(bsSolid);
        FCanvas->Brush()->SetColor(color);
        FCanvas->FillRect(Rect);
    }
    if (OnDrawItem)
        OnDrawItem(FMenu, Item, Rect, State);
    else
        PaintDefault(Item, Rect, State, graphic, numGlyphs);
}

void TExMenuLook::DefaultDrawItem(TMenuItem* Item, TRect Rect, TMenuOwnerDrawState State)
{
    TGraphic* graphic = nullptr;
    TColor color = FCanvas->Brush()->Color();
    int numGlyphs = 1;
    GetItemParams(Item, State, FCanvas->Font(), color, graphic, numGlyphs);
    PaintDefault(Item, Rect, State, graphic, numGlyphs);
}

void TExMenuLook::PaintDefault(TMenuItem* Item, const TRect& Rect, TMenuOwnerDrawState State, TGraphic* Graphic,
                               int NumGlyphs)
{
    int imageIndex = -1;
    GetImageIndex(Item, State, imageIndex);
    TItemPainter painter{FMenu, Item, FImages, imageIndex, Graphic, NumGlyphs, FCanvas.get(), FShowCheckMarks, FStyle,
                         Rect, State, FMinTextOffset, SiblingWidths(Item->Parent())};
    painter.Paint();
}

void TExMenuLook::GetImageIndex(TMenuItem* Item, TMenuOwnerDrawState State, int& ImageIndex)
{
    if (FImages && Item && !Item->IsLine() && OnGetImageIndex)
        OnGetImageIndex(FMenu, Item, State, ImageIndex);
}

void TExMenuLook::GetItemParams(TMenuItem* Item, TMenuOwnerDrawState State, TFont* AFont, TColor& Color,
                                TGraphic*& Graphic, int& NumGlyphs)
{
    if (OnGetItemParams)
        OnGetItemParams(FMenu, Item, State, AFont, Color, Graphic, NumGlyphs);
    if (Item && Item->IsLine())
        Graphic = nullptr;
}

void TExMenuLook::MeasureItem(TMenuItem* Item, int& Width, int& Height)
{
    if (OnMeasureItem)
        OnMeasureItem(FMenu, Item, Width, Height);
}

std::pair<int, int> TExMenuLook::SiblingWidths(TMenuItem* Parent)
{
    // Kept per menu between the requests of one popping up: each item's measure would otherwise
    // scan all its siblings again.
    const bool bold = FCanvas->Font()->Style().Contains(fsBold);
    const auto key = std::make_pair(Parent, bold);
    auto it = FWidths.find(key);
    if (it != FWidths.end())
        return it->second;
    int caption = 0, shortCut = 0;
    for (int i = 0; i < Parent->Count(); ++i) {
        TMenuItem* sibling = Parent->Items(i);
        caption = std::max(caption, TextWidthExpanded(FCanvas.get(), CaptionForWidth(sibling)));
        if (sibling->ShortCut() != 0)
            shortCut = std::max(shortCut, FCanvas->TextWidth(ShortCutForWidth(sibling)));
    }
    FWidths[key] = {caption, shortCut};
    return {caption, shortCut};
}

void TExMenuLook::MeasureMenuItemRequest(MEASUREITEMSTRUCT& Measure)
{
    auto* item = reinterpret_cast<TMenuItem*>(Measure.itemData);
    HDC dc = GetDC(nullptr);
    FCanvas->SetHandle(dc);
    try {
        SetDefaultMenuFont(FCanvas->Font());
        if (item->Default())
            FCanvas->Font()->SetStyle(FCanvas->Font()->Style() + TFontStyles{fsBold});
        TGraphic* graphic = nullptr;
        TColor color = clMenu;
        int numGlyphs = 1;
        GetItemParams(item, EmptyState, FCanvas->Font(), color, graphic, numGlyphs);
        int imageIndex = -1;
        GetImageIndex(item, EmptyState, imageIndex);

        const int gap = Gap();
        const bool popup = IsItemPopup(item);
        int height = GetSystemMetrics(SM_CYMENU) - 2;
        int width = 0;
        int minWidth = 0;
        if (popup) {
            width = 2 * gap;
            minWidth = FMinTextOffset;
            if (FImages)
                minWidth = std::max(minWidth, FImages->Width() + 2);
        }
        if (!popup) {
            // The caption starts Gap + 2 pixels into a bar item: the same room is left after it.
            width += FCanvas->TextWidth(StripHotkey(item->Caption())) + 2 * (gap + 2);
        } else if (item->ShortCut() != 0) {
            const std::pair<int, int> widest = SiblingWidths(item->Parent());
            width += widest.first + widest.second;
        } else {
            width += TextWidthExpanded(FCanvas.get(), CaptionForWidth(item));
        }
        if (popup && item->Count() > 0)
            width += TextWidthExpanded(FCanvas.get(), "\t\t");
        if (FShowCheckMarks && popup)
            width += CheckWidth();
        const int barGap = popup ? 0 : gap;
        if (item->IsLine()) {
            height = std::max(FCanvas->TextHeight("-") / 2, 9);
        } else {
            height = std::max(height, FCanvas->TextHeight(item->Caption()));
            const bool validIndex = FImages && imageIndex >= 0 && imageIndex < FImages->Count();
            if (FImages && (popup || validIndex)) {
                width += std::max(FImages->Width() + 2, minWidth) + barGap;
                if (validIndex)
                    height = std::max(height, FImages->Height() + 4);
            } else if (graphic && !graphic->Empty()) {
                int cellWidth = graphic->Width();
                if (dynamic_cast<TBitmap*>(graphic) && numGlyphs >= 2 && numGlyphs <= 5)
                    cellWidth /= numGlyphs;
                width += std::max(cellWidth + 2, minWidth) + barGap;
                height = std::max(height, graphic->Height() + 4);
            } else if (minWidth > 0) {
                width += minWidth + barGap;
            }
        }
        MeasureItem(item, width, height);
        if (IsTopLevel(FMenu, item) && FLeftMargin > 0)
            width += FLeftMargin + 1;
        Measure.itemWidth = static_cast<UINT>(std::max(width, 0));
        Measure.itemHeight = static_cast<UINT>(std::max(height, 0));
    } catch (...) {
        FCanvas->SetHandle(nullptr);
        ReleaseDC(nullptr, dc);
        throw;
    }
    FCanvas->SetHandle(nullptr);
    ReleaseDC(nullptr, dc);
}

LRESULT TExMenuLook::MenuCharAnswer(HMENU AMenu, char Key)
{
    const std::string key = AnsiUpperCase(std::string(1, Key));
    const int count = GetMenuItemCount(AMenu);
    for (const bool initial : {false, true}) {
        int first = -1, candidate = -1, matches = 0;
        bool highlighted = false, disabledMatch = false;
        for (int i = 0; i < count; ++i) {
            const UINT state = GetMenuState(AMenu, static_cast<UINT>(i), MF_BYPOSITION);
            const bool hilite = state != static_cast<UINT>(-1) && (state & MF_HILITE) != 0;
            HMENU sub = GetSubMenu(AMenu, i);
            TMenuItem* item = sub ? FMenu->FindItem(reinterpret_cast<std::uintptr_t>(sub), fkHandle)
                                  : FMenu->FindItem(GetMenuItemID(AMenu, i), fkCommand);
            bool match = false;
            if (item && !item->IsLine()) {
                const std::string caption = initial ? item->Caption().substr(0, 1) : GetHotkey(item->Caption());
                match = !caption.empty() && AnsiUpperCase(caption) == key;
            }
            if (match) {
                if ((state & (MF_GRAYED | MF_DISABLED)) != 0) {
                    if (initial)
                        return MAKELONG(0, MNC_CLOSE);
                    if (first < 0)
                        disabledMatch = true;
                } else {
                    ++matches;
                    if (first < 0)
                        first = i;
                    if (highlighted && candidate < 0 && !hilite)
                        candidate = i;
                }
            }
            if (hilite)
                highlighted = true;
        }
        if (matches == 1)
            return MAKELONG(static_cast<WORD>(first), MNC_EXECUTE);
        if (matches > 1)
            return MAKELONG(static_cast<WORD>(candidate >= 0 ? candidate : first), MNC_SELECT);
        if (disabledMatch)
            return MAKELONG(0, MNC_CLOSE);
    }
    return 0;
}

// --- TExMainMenu ---

TExMainMenu::TExMainMenu(TComponent* AOwner)
    : TMainMenu(AOwner), TExMenuLook(this, 0), FHook(std::make_unique<TExWindowHook>(nullptr))
{
    FHook->AfterMessage = [this](TObject* Sender, TMessage& Msg, bool& Handled) {
        HookAfterMessage(Sender, Msg, Handled);
    };
}

TExMainMenu::~TExMainMenu()
{
    // The form may be going away too: the hook is let go before the items become plain again.
    FHook->UnhookControl();
    TExMenuLook::SetStyle(msStandard);
    TExMenuLook::SetImages(nullptr);
    FHook.reset();
}

void TExMainMenu::Loaded()
{
    TMainMenu::Loaded();
    if (IsOwnerDrawMenu())
        Refresh();
}

TWinControl* TExMainMenu::FindForm() const
{
    if (Screen)
        for (int i = 0; i < Screen->CustomFormCount(); ++i) {
            TCustomForm* form = Screen->CustomForms(i);
            if (static_cast<TMainMenu*>(form->Menu) == this)
                return form;
        }
    return dynamic_cast<TWinControl*>(Owner());
}

void TExMainMenu::SetHook()
{
    FHook->SetWinControl(FindForm());
    if (IsOwnerDrawMenu())
        FHook->HookControl();
    else
        FHook->UnhookControl();
}

void TExMainMenu::SetStyle(TExMenuStyle Value)
{
    if (Style() == Value)
        return;
    TExMenuLook::SetStyle(Value);
    SetHook();
}

void TExMainMenu::SetImages(TCustomImageList* Value)
{
    TExMenuLook::SetImages(Value);
    SetHook();
}

void TExMainMenu::RefreshMenu(bool AOwnerDraw)
{
    // The owner drawing runs through the form's hook: without its window there is nothing to draw.
    if (AOwnerDraw && !FHook->WinControl())
        SetHook();
    TExMenuLook::RefreshMenu(AOwnerDraw);
    if (TWinControl* form = FHook->WinControl(); form && form->HandleAllocated())
        DrawMenuBar(form->Handle());
}

void TExMainMenu::Notification(TComponent* AComponent, TOperation Operation)
{
    TMainMenu::Notification(AComponent, Operation);
    if (Operation == opRemove && AComponent == Images()) {
        ImagesFreed();
        Refresh();
    }
}

void TExMainMenu::HookAfterMessage(TObject*, TMessage& Msg, bool& Handled)
{
    if (!IsOwnerDrawMenu())
        return;
    switch (Msg.Msg) {
    case WM_DRAWITEM:
    case WM_MEASUREITEM:
        if (TExMenuLook::WndMessage(Msg))
            Handled = true;
        break;
    case WM_INITMENUPOPUP:
        ForgetWidths();
        break;
    case WM_MENUSELECT:
        MenuSelect(Msg);
        break;
    case WM_MENUCHAR: {
        auto queried = reinterpret_cast<HMENU>(Msg.LParam);
        if (queried == Handle() || FindItem(reinterpret_cast<std::uintptr_t>(queried), fkHandle))
            Msg.Result = MenuCharAnswer(queried, static_cast<char>(LOWORD(Msg.WParam)));
        break;
    }
    default:
        break;
    }
}

void TExMainMenu::MenuSelect(TMessage& Msg)
{
    if (Cursor() == 0 || !Screen)
        return;
    TMenuItem* item = ItemOfSelect(this, Msg);
    const bool highlighted = (HIWORD(Msg.WParam) & MF_HILITE) != 0;
    const bool barWithSubItems = item && !IsItemPopup(item) && item->Count() > 0;
    Screen->SetCursor(highlighted && item && !barWithSubItems ? Cursor() : crDefault);
}

// --- TExPopupMenu ---

TExPopupMenu::TExPopupMenu(TComponent* AOwner) : TPopupMenu(AOwner), TExMenuLook(this, 0)
{
    PopupList().Add(this);
}

TExPopupMenu::~TExPopupMenu()
{
    TExMenuLook::SetStyle(msStandard);
    SetImages(nullptr);
    PopupList().Remove(this);
}

void TExPopupMenu::Loaded()
{
    TPopupMenu::Loaded();
    if (IsOwnerDrawMenu())
        Refresh();
}

void TExPopupMenu::SetImages(TCustomImageList* Value) { TExMenuLook::SetImages(Value); }

void TExPopupMenu::Popup(int X, int Y)
{
    if (OnPopup)
        OnPopup(this);
    if (IsOwnerDrawMenu())
        RefreshMenu(true);
    ForgetWidths();
    UINT flags = TPM_RIGHTBUTTON;
    if (Alignment == paRight)
        flags |= TPM_RIGHTALIGN;
    else if (Alignment == paCenter)
        flags |= TPM_CENTERALIGN;
    TrackPopupMenu(Handle(), flags, X, Y, 0, PopupList().Window(), nullptr);
}

void TExPopupMenu::DrawMargin(const TRect& ARect)
{
    if (OnDrawMargin)
        OnDrawMargin(this, ARect);
    else
        DefaultDrawMargin(ARect, clBlue, RGB(0, 0, 63));
}

void TExPopupMenu::DefaultDrawMargin(const TRect& ARect, TColor StartColor, TColor EndColor)
{
    TRect strip = ARect;
    strip.Right -= 3;
    GradientFillRect(Canvas(), strip, StartColor, EndColor, fdTopToBottom, 32);
    Canvas()->Pen()->SetWidth(1);
    Canvas()->Pen()->SetColor(clBtnShadow);
    Canvas()->MoveTo(strip.Right - 2, strip.Top);
    Canvas()->LineTo(strip.Right - 2, strip.Bottom);
    Canvas()->Pen()->SetColor(clBtnHighlight);
    Canvas()->MoveTo(strip.Right - 1, strip.Top);
    Canvas()->LineTo(strip.Right - 1, strip.Bottom);
}

void TExPopupMenu::Notification(TComponent* AComponent, TOperation Operation)
{
    TPopupMenu::Notification(AComponent, Operation);
    if (Operation == opRemove && AComponent == Images()) {
        ImagesFreed();
        Refresh();
    }
}
