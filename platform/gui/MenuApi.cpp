// Menu handles and menu tracking.

#include "platform/gui/MenuApi.h"

#include "platform/gui/DeviceContext.h"
#include "platform/gui/ListBox.h"
#include "platform/gui/WindowHandles.h"
#include "platform/gui/private/GdiInternals.h"
#include "platform/gui/private/QtBridge.h"

#include <QAction>
#include <QApplication>
#include <QKeyEvent>
#include <QMenu>
#include <QPainter>
#include <QPointer>
#include <QProxyStyle>
#include <QStyleOptionMenuItem>

#include <algorithm>
#include <cstring>
#include <map>
#include <memory>
#include <vector>

namespace {

struct TEntry {
    UINT Type = MFT_STRING;
    UINT State = 0;
    UINT ID = 0;
    HMENU Sub = nullptr;
    std::uintptr_t Data = 0;
    std::string Text;
};

struct TMenuRecord {
    std::vector<TEntry> Entries;
    bool Popup = false;
};

std::map<HMENU, std::unique_ptr<TMenuRecord>>& Table()
{
    static std::map<HMENU, std::unique_ptr<TMenuRecord>> table;
    return table;
}

std::map<HWND, HMENU>& WindowMenus()
{
    static std::map<HWND, HMENU> menus;
    return menus;
}

std::map<HWND, HMENU>& SystemMenus()
{
    static std::map<HWND, HMENU> menus;
    return menus;
}

HMENU NewMenu(bool popup)
{
    static std::uintptr_t next = 0x4000;
    next += 4;
    auto handle = reinterpret_cast<HMENU>(next);
    auto record = std::make_unique<TMenuRecord>();
    record->Popup = popup;
    Table()[handle] = std::move(record);
    return handle;
}

TMenuRecord* Find(HMENU menu)
{
    auto it = Table().find(menu);
    return it == Table().end() ? nullptr : it->second.get();
}

// The entry at a position, or with a command (searched in sub-menus too, as Windows does).
TEntry* Locate(HMENU menu, UINT item, bool byPosition, HMENU* owner = nullptr, int* position = nullptr)
{
    TMenuRecord* record = Find(menu);
    if (!record)
        return nullptr;
    if (byPosition) {
        if (item >= record->Entries.size())
            return nullptr;
        if (owner)
            *owner = menu;
        if (position)
            *position = static_cast<int>(item);
        return &record->Entries[item];
    }
    for (std::size_t i = 0; i < record->Entries.size(); ++i) {
        TEntry& entry = record->Entries[i];
        if (!entry.Sub && entry.ID == item) {
            if (owner)
                *owner = menu;
            if (position)
                *position = static_cast<int>(i);
            return &entry;
        }
        if (entry.Sub)
            if (TEntry* found = Locate(entry.Sub, item, false, owner, position))
                return found;
    }
    return nullptr;
}

TEntry EntryFromFlags(UINT flags, UINT_PTR newItem, const char* text)
{
    TEntry entry;
    if (flags & MF_SEPARATOR)
        entry.Type = MFT_SEPARATOR;
    else if (flags & MF_OWNERDRAW)
        entry.Type = MFT_OWNERDRAW;
    else if (flags & MF_BITMAP)
        entry.Type = MFT_BITMAP;
    entry.Type |= flags & (MF_MENUBARBREAK | MF_MENUBREAK | MF_RIGHTJUSTIFY);
    if (flags & (MF_GRAYED | MF_DISABLED))
        entry.State |= MFS_GRAYED;
    if (flags & MF_CHECKED)
        entry.State |= MFS_CHECKED;
    if (flags & MF_HILITE)
        entry.State |= MFS_HILITE;
    if (flags & MF_DEFAULT)
        entry.State |= MFS_DEFAULT;
    if (flags & MF_POPUP)
        entry.Sub = reinterpret_cast<HMENU>(newItem);
    else
        entry.ID = static_cast<UINT>(newItem);
    if (flags & MF_OWNERDRAW)
        entry.Data = reinterpret_cast<std::uintptr_t>(text);
    else if (!(flags & (MF_SEPARATOR | MF_BITMAP)) && text)
        entry.Text = text;
    return entry;
}

UINT FlagsOf(const TEntry& entry)
{
    UINT flags = 0;
    if (entry.Type & MFT_SEPARATOR)
        flags |= MF_SEPARATOR;
    if (entry.Type & MFT_OWNERDRAW)
        flags |= MF_OWNERDRAW;
    if (entry.Type & MFT_BITMAP)
        flags |= MF_BITMAP;
    flags |= entry.Type & (MF_MENUBARBREAK | MF_MENUBREAK);
    if ((entry.State & MFS_GRAYED) == MFS_GRAYED)
        flags |= MF_GRAYED | MF_DISABLED;
    if (entry.State & MFS_CHECKED)
        flags |= MF_CHECKED;
    if (entry.State & MFS_HILITE)
        flags |= MF_HILITE;
    if (entry.State & MFS_DEFAULT)
        flags |= MF_DEFAULT;
    if (entry.Sub)
        flags |= MF_POPUP;
    return flags;
}

void SendOwner(HWND owner, UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result = nullptr)
{
    if (!owner || !IsWindow(owner))
        return;
    const LRESULT r = SendMessageA(owner, message, wParam, lParam);
    if (result)
        *result = r;
}

// --- Tracking -------------------------------------------------------------------------------------------------

constexpr int CheckMarkWidth = 13;
const QChar OwnerDrawMark(0x0001);

struct TTracker;
TTracker* currentTracker = nullptr;
HMENU trackingMenu = nullptr;

struct TTracker {
    HWND Owner = nullptr;
    UINT Flags = 0;
    UINT Chosen = 0;
    bool ChoseEntry = false;
    QPointer<QMenu> Top;
    std::map<std::pair<HMENU, int>, QSize> Measured;
    std::vector<std::unique_ptr<QProxyStyle>> Styles;

    QString MarkerOf(HMENU menu, int position)
    {
        return QString(OwnerDrawMark) + QString::number(reinterpret_cast<qulonglong>(menu)) + QLatin1Char(':') +
               QString::number(position);
    }
    static bool ParseMarker(const QString& text, HMENU& menu, int& position)
    {
        if (!text.startsWith(OwnerDrawMark))
            return false;
        const QStringList parts = text.mid(1).split(QLatin1Char(':'));
        if (parts.size() != 2)
            return false;
        menu = reinterpret_cast<HMENU>(static_cast<std::uintptr_t>(parts[0].toULongLong()));
        position = parts[1].toInt();
        return true;
    }
    QSize MeasureOnce(HMENU menu, int position, const TEntry& entry)
    {
        const auto key = std::make_pair(menu, position);
        auto it = Measured.find(key);
        if (it != Measured.end())
            return it->second;
        MEASUREITEMSTRUCT measure;
        measure.CtlType = ODT_MENU;
        measure.itemID = entry.ID;
        measure.itemWidth = 0;
        measure.itemHeight = 16;
        measure.itemData = entry.Data;
        SendOwner(Owner, WM_MEASUREITEM, 0, reinterpret_cast<LPARAM>(&measure));
        const QSize size(static_cast<int>(measure.itemWidth), static_cast<int>(measure.itemHeight));
        Measured[key] = size;
        return size;
    }
    void DrawOwnerDrawn(QPainter* painter, const QStyleOptionMenuItem* option, HMENU menu, int position)
    {
        TMenuRecord* record = Find(menu);
        if (!record || position < 0 || position >= static_cast<int>(record->Entries.size()))
            return;
        const TEntry& entry = record->Entries[static_cast<std::size_t>(position)];
        const QRect rect = option->rect;
        if (rect.isEmpty())
            return;
        QImage image(rect.size(), QImage::Format_RGB32);
        image.fill(ToQColor(clMenu));
        HDC dc = Gdi::CreateImageDC([&image](TDcSurface& surface) {
            surface.Image = &image;
            surface.Bounds = image.rect();
            return true;
        });
        DRAWITEMSTRUCT draw;
        draw.CtlType = ODT_MENU;
        draw.itemID = entry.ID;
        draw.itemAction = ODA_DRAWENTIRE;
        if (option->state & QStyle::State_Selected)
            draw.itemState |= ODS_SELECTED;
        if ((entry.State & MFS_GRAYED) == MFS_GRAYED)
            draw.itemState |= ODS_GRAYED | ODS_DISABLED;
        if (entry.State & MFS_CHECKED)
            draw.itemState |= ODS_CHECKED;
        if (entry.State & MFS_DEFAULT)
            draw.itemState |= ODS_DEFAULT;
        draw.hwndItem = reinterpret_cast<HWND>(menu);
        draw.hDC = dc;
        draw.rcItem = Rect(0, 0, rect.width(), rect.height());
        draw.itemData = entry.Data;
        SendOwner(Owner, WM_DRAWITEM, 0, reinterpret_cast<LPARAM>(&draw));
        DeleteDC(dc);
        painter->drawImage(rect.topLeft(), image);
    }
};

class TMenuStyle : public QProxyStyle {
public:
    explicit TMenuStyle(TTracker* tracker) : FTracker(tracker) {}
    QSize sizeFromContents(ContentsType type, const QStyleOption* option, const QSize& size,
                           const QWidget* widget) const override
    {
        if (type == CT_MenuItem)
            if (const auto* item = qstyleoption_cast<const QStyleOptionMenuItem*>(option)) {
                HMENU menu = nullptr;
                int position = 0;
                if (TTracker::ParseMarker(item->text, menu, position))
                    if (TMenuRecord* record = Find(menu); record && position < static_cast<int>(record->Entries.size())) {
                        const QSize measured =
                            FTracker->MeasureOnce(menu, position, record->Entries[static_cast<std::size_t>(position)]);
                        return QSize(measured.width() + CheckMarkWidth, measured.height());
                    }
            }
        return QProxyStyle::sizeFromContents(type, option, size, widget);
    }
    void drawControl(ControlElement element, const QStyleOption* option, QPainter* painter,
                     const QWidget* widget) const override
    {
        if (element == CE_MenuItem)
            if (const auto* item = qstyleoption_cast<const QStyleOptionMenuItem*>(option)) {
                HMENU menu = nullptr;
                int position = 0;
                if (TTracker::ParseMarker(item->text, menu, position)) {
                    FTracker->DrawOwnerDrawn(painter, item, menu, position);
                    return;
                }
            }
        QProxyStyle::drawControl(element, option, painter, widget);
    }
    int pixelMetric(PixelMetric metric, const QStyleOption* option, const QWidget* widget) const override
    {
        if (metric == PM_MenuPanelWidth || metric == PM_MenuHMargin || metric == PM_MenuVMargin)
            return metric == PM_MenuPanelWidth ? 2 : 1;
        return QProxyStyle::pixelMetric(metric, option, widget);
    }

private:
    TTracker* FTracker;
};

QMenu* BuildMenu(TTracker& tracker, HMENU handle, QWidget* parent, int positionInParent);

bool HasOwnerDrawn(HMENU handle)
{
    TMenuRecord* record = Find(handle);
    if (!record)
        return false;
    return std::any_of(record->Entries.begin(), record->Entries.end(),
                       [](const TEntry& e) { return (e.Type & MFT_OWNERDRAW) != 0; });
}

// Fills the Qt menu from the handle's entries (after WM_INITMENUPOPUP, so that changes made there show).
void FillMenu(TTracker& tracker, QMenu* qmenu, HMENU handle, int positionInParent)
{
    SendOwner(tracker.Owner, WM_INITMENUPOPUP, reinterpret_cast<WPARAM>(handle),
              MAKELPARAM(static_cast<WORD>(positionInParent), 0));
    for (QAction* action : qmenu->actions())
        if (QMenu* sub = action->menu())
            sub->deleteLater();
    qmenu->clear();
    TMenuRecord* record = Find(handle);
    if (!record)
        return;
    for (std::size_t i = 0; i < record->Entries.size(); ++i) {
        const TEntry entry = record->Entries[i];
        const int position = static_cast<int>(i);
        if (entry.Type & MFT_SEPARATOR) {
            qmenu->addSeparator();
            continue;
        }
        QAction* action = nullptr;
        const QString text = (entry.Type & MFT_OWNERDRAW) ? tracker.MarkerOf(handle, position) : ToQString(entry.Text);
        if (entry.Sub) {
            QMenu* sub = BuildMenu(tracker, entry.Sub, qmenu, position);
            sub->setTitle(text);
            action = qmenu->addMenu(sub);
        } else {
            action = qmenu->addAction(text);
        }
        action->setData(position);
        action->setEnabled((entry.State & MFS_GRAYED) != MFS_GRAYED);
        if (entry.State & MFS_CHECKED) {
            action->setCheckable(true);
            action->setChecked(true);
        }
        if (entry.State & MFS_DEFAULT) {
            QFont font = action->font();
            font.setBold(true);
            action->setFont(font);
        }
        if (!entry.Sub) {
            const UINT id = entry.ID;
            QObject::connect(action, &QAction::triggered, qmenu, [&tracker, id] {
                tracker.Chosen = id;
                tracker.ChoseEntry = true;
            });
        }
    }
}

// Sends WM_MENUCHAR for a typed character and acts on the answer; true when the key was taken.
bool MenuChar(TTracker& tracker, QMenu* qmenu, HMENU handle, QKeyEvent* key)
{
    const QString text = key->text();
    if (text.size() != 1 || !text[0].isPrint() || (key->modifiers() & (Qt::ControlModifier | Qt::AltModifier)))
        return false;
    const std::string ansi = ToAnsi(text);
    const char typed = ansi.empty() ? '?' : ansi[0];
    TMenuRecord* record = Find(handle);
    if (!record)
        return false;
    if (!HasOwnerDrawn(handle)) {
        const QChar lower = text[0].toLower();
        for (const TEntry& entry : record->Entries) {
            const QString caption = ToQString(entry.Text);
            const int amp = caption.indexOf(QLatin1Char('&'));
            if (amp >= 0 && amp + 1 < caption.size() && caption[amp + 1].toLower() == lower)
                return false;
        }
    }
    LRESULT answer = 0;
    SendOwner(tracker.Owner, WM_MENUCHAR, MAKEWPARAM(static_cast<unsigned char>(typed), MF_POPUP),
              reinterpret_cast<LPARAM>(handle), &answer);
    const WORD command = HIWORD(static_cast<std::uintptr_t>(answer));
    const int position = LOWORD(static_cast<std::uintptr_t>(answer));
    auto actionAt = [&](int pos) -> QAction* {
        for (QAction* action : qmenu->actions())
            if (!action->isSeparator() && action->data().toInt() == pos)
                return action;
        return nullptr;
    };
    switch (command) {
    case MNC_CLOSE:
        if (tracker.Top)
            tracker.Top->close();
        break;
    case MNC_EXECUTE:
        if (QAction* action = actionAt(position)) {
            if (action->menu()) {
                qmenu->setActiveAction(action);
            } else if (action->isEnabled()) {
                action->trigger();
                if (tracker.Top)
                    tracker.Top->close();
            }
        }
        break;
    case MNC_SELECT:
        if (QAction* action = actionAt(position))
            qmenu->setActiveAction(action);
        break;
    default:
        QApplication::beep();
        break;
    }
    return true;
}

class TMenuKeyFilter : public QObject {
public:
    TMenuKeyFilter(TTracker& tracker, QMenu* menu, HMENU handle) : QObject(menu), FTracker(tracker), FHandle(handle) {}
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::KeyPress)
            return MenuChar(FTracker, static_cast<QMenu*>(watched), FHandle, static_cast<QKeyEvent*>(event));
        return false;
    }

private:
    TTracker& FTracker;
    HMENU FHandle;
};

QMenu* BuildMenu(TTracker& tracker, HMENU handle, QWidget* parent, int positionInParent)
{
    auto* qmenu = new QMenu(parent);
    qmenu->setAttribute(Qt::WA_NoMouseReplay);
    tracker.Styles.push_back(std::make_unique<TMenuStyle>(&tracker));
    qmenu->setStyle(tracker.Styles.back().get());
    qmenu->installEventFilter(new TMenuKeyFilter(tracker, qmenu, handle));
    QObject::connect(qmenu, &QMenu::aboutToShow, qmenu, [&tracker, qmenu, handle, positionInParent] {
        FillMenu(tracker, qmenu, handle, positionInParent);
    });
    QObject::connect(qmenu, &QMenu::hovered, qmenu, [&tracker, handle](QAction* action) {
        TMenuRecord* record = Find(handle);
        const int position = action->data().toInt();
        if (!record || position < 0 || position >= static_cast<int>(record->Entries.size()))
            return;
        const TEntry& entry = record->Entries[static_cast<std::size_t>(position)];
        const UINT flags = FlagsOf(entry) | MF_HILITE;
        const WORD item = entry.Sub ? static_cast<WORD>(position) : static_cast<WORD>(entry.ID);
        SendOwner(tracker.Owner, WM_MENUSELECT, MAKEWPARAM(item, static_cast<WORD>(flags)),
                  reinterpret_cast<LPARAM>(handle));
    });
    return qmenu;
}

} // namespace

// --- Handles --------------------------------------------------------------------------------------------------

HMENU CreateMenu() { return NewMenu(false); }
HMENU CreatePopupMenu() { return NewMenu(true); }

BOOL DestroyMenu(HMENU menu)
{
    auto it = Table().find(menu);
    if (it == Table().end())
        return FALSE;
    std::unique_ptr<TMenuRecord> record = std::move(it->second);
    Table().erase(it);
    for (const TEntry& entry : record->Entries)
        if (entry.Sub)
            DestroyMenu(entry.Sub);
    for (auto& [window, handle] : WindowMenus())
        if (handle == menu)
            handle = nullptr;
    return TRUE;
}

BOOL IsMenu(HMENU menu) { return Find(menu) ? TRUE : FALSE; }

BOOL AppendMenuA(HMENU menu, UINT flags, UINT_PTR newItem, const char* text)
{
    TMenuRecord* record = Find(menu);
    if (!record)
        return FALSE;
    record->Entries.push_back(EntryFromFlags(flags, newItem, text));
    return TRUE;
}

BOOL AppendMenuData(HMENU menu, UINT flags, UINT_PTR newItem, std::uintptr_t data)
{
    return AppendMenuA(menu, flags | MF_OWNERDRAW, newItem, reinterpret_cast<const char*>(data));
}

BOOL InsertMenuA(HMENU menu, UINT position, UINT flags, UINT_PTR newItem, const char* text)
{
    TMenuRecord* record = Find(menu);
    if (!record)
        return FALSE;
    const TEntry entry = EntryFromFlags(flags & ~MF_BYPOSITION, newItem, text);
    if (flags & MF_BYPOSITION) {
        const std::size_t at = std::min<std::size_t>(position, record->Entries.size());
        record->Entries.insert(record->Entries.begin() + static_cast<std::ptrdiff_t>(at), entry);
        return TRUE;
    }
    HMENU owner = nullptr;
    int at = 0;
    if (!Locate(menu, position, false, &owner, &at))
        return FALSE;
    TMenuRecord* target = Find(owner);
    target->Entries.insert(target->Entries.begin() + at, entry);
    return TRUE;
}

BOOL ModifyMenuA(HMENU menu, UINT position, UINT flags, UINT_PTR newItem, const char* text)
{
    TEntry* entry = Locate(menu, position, (flags & MF_BYPOSITION) != 0);
    if (!entry)
        return FALSE;
    *entry = EntryFromFlags(flags & ~MF_BYPOSITION, newItem, text);
    return TRUE;
}

BOOL InsertMenuItemA(HMENU menu, UINT item, BOOL byPosition, const MENUITEMINFOA* info)
{
    TMenuRecord* record = Find(menu);
    if (!record || !info)
        return FALSE;
    TEntry entry;
    if (info->fMask & (MIIM_TYPE | MIIM_FTYPE))
        entry.Type = info->fType;
    if (info->fMask & MIIM_STATE)
        entry.State = info->fState;
    if (info->fMask & MIIM_ID)
        entry.ID = info->wID;
    if (info->fMask & MIIM_SUBMENU)
        entry.Sub = info->hSubMenu;
    if (info->fMask & MIIM_DATA)
        entry.Data = info->dwItemData;
    if (((info->fMask & MIIM_TYPE) && !(info->fType & (MFT_SEPARATOR | MFT_OWNERDRAW | MFT_BITMAP))) ||
        (info->fMask & MIIM_STRING))
        entry.Text = info->dwTypeData ? info->dwTypeData : "";
    if (byPosition) {
        const std::size_t at = std::min<std::size_t>(item, record->Entries.size());
        record->Entries.insert(record->Entries.begin() + static_cast<std::ptrdiff_t>(at), entry);
        return TRUE;
    }
    HMENU owner = nullptr;
    int at = 0;
    if (!Locate(menu, item, false, &owner, &at)) {
        record->Entries.push_back(entry);
        return TRUE;
    }
    TMenuRecord* target = Find(owner);
    target->Entries.insert(target->Entries.begin() + at, entry);
    return TRUE;
}

BOOL SetMenuItemInfoA(HMENU menu, UINT item, BOOL byPosition, const MENUITEMINFOA* info)
{
    TEntry* entry = Locate(menu, item, byPosition != FALSE);
    if (!entry || !info)
        return FALSE;
    if (info->fMask & (MIIM_TYPE | MIIM_FTYPE))
        entry->Type = info->fType;
    if (info->fMask & MIIM_STATE)
        entry->State = info->fState;
    if (info->fMask & MIIM_ID)
        entry->ID = info->wID;
    if (info->fMask & MIIM_SUBMENU)
        entry->Sub = info->hSubMenu;
    if (info->fMask & MIIM_DATA)
        entry->Data = info->dwItemData;
    if (((info->fMask & MIIM_TYPE) && !(entry->Type & (MFT_SEPARATOR | MFT_OWNERDRAW | MFT_BITMAP))) ||
        (info->fMask & MIIM_STRING))
        entry->Text = info->dwTypeData ? info->dwTypeData : "";
    return TRUE;
}

BOOL GetMenuItemInfoA(HMENU menu, UINT item, BOOL byPosition, MENUITEMINFOA* info)
{
    const TEntry* entry = Locate(menu, item, byPosition != FALSE);
    if (!entry || !info)
        return FALSE;
    if (info->fMask & (MIIM_TYPE | MIIM_FTYPE))
        info->fType = entry->Type;
    if (info->fMask & MIIM_STATE)
        info->fState = entry->State;
    if (info->fMask & MIIM_ID)
        info->wID = entry->ID;
    if (info->fMask & MIIM_SUBMENU)
        info->hSubMenu = entry->Sub;
    if (info->fMask & MIIM_DATA)
        info->dwItemData = entry->Data;
    if (info->fMask & (MIIM_TYPE | MIIM_STRING)) {
        if (info->dwTypeData && info->cch > 0) {
            const std::size_t count = std::min<std::size_t>(entry->Text.size(), info->cch - 1);
            std::memcpy(info->dwTypeData, entry->Text.data(), count);
            info->dwTypeData[count] = 0;
        }
        info->cch = static_cast<UINT>(entry->Text.size());
    }
    return TRUE;
}

static BOOL RemoveEntry(HMENU menu, UINT position, UINT flags, bool destroy)
{
    HMENU owner = nullptr;
    int at = 0;
    if (!Locate(menu, position, (flags & MF_BYPOSITION) != 0, &owner, &at))
        return FALSE;
    TMenuRecord* record = Find(owner);
    const HMENU sub = record->Entries[static_cast<std::size_t>(at)].Sub;
    record->Entries.erase(record->Entries.begin() + at);
    if (destroy && sub)
        DestroyMenu(sub);
    return TRUE;
}

BOOL DeleteMenu(HMENU menu, UINT position, UINT flags) { return RemoveEntry(menu, position, flags, true); }
BOOL RemoveMenu(HMENU menu, UINT position, UINT flags) { return RemoveEntry(menu, position, flags, false); }

int GetMenuItemCount(HMENU menu)
{
    TMenuRecord* record = Find(menu);
    return record ? static_cast<int>(record->Entries.size()) : -1;
}

UINT GetMenuItemID(HMENU menu, int position)
{
    const TEntry* entry = position >= 0 ? Locate(menu, static_cast<UINT>(position), true) : nullptr;
    if (!entry || entry->Sub)
        return static_cast<UINT>(-1);
    return entry->ID;
}

HMENU GetSubMenu(HMENU menu, int position)
{
    const TEntry* entry = position >= 0 ? Locate(menu, static_cast<UINT>(position), true) : nullptr;
    return entry ? entry->Sub : nullptr;
}

UINT GetMenuState(HMENU menu, UINT id, UINT flags)
{
    const TEntry* entry = Locate(menu, id, (flags & MF_BYPOSITION) != 0);
    if (!entry)
        return static_cast<UINT>(-1);
    UINT state = FlagsOf(*entry);
    if (entry->Sub)
        state |= static_cast<UINT>(std::max(GetMenuItemCount(entry->Sub), 0)) << 8;
    return state;
}

std::string GetMenuString(HMENU menu, UINT item, UINT flags)
{
    const TEntry* entry = Locate(menu, item, (flags & MF_BYPOSITION) != 0);
    return entry ? entry->Text : "";
}

int GetMenuStringA(HMENU menu, UINT item, char* buffer, int size, UINT flags)
{
    const TEntry* entry = Locate(menu, item, (flags & MF_BYPOSITION) != 0);
    if (!entry)
        return 0;
    if (!buffer || size <= 0)
        return static_cast<int>(entry->Text.size());
    const std::size_t count = std::min<std::size_t>(entry->Text.size(), static_cast<std::size_t>(size - 1));
    std::memcpy(buffer, entry->Text.data(), count);
    buffer[count] = 0;
    return static_cast<int>(count);
}

DWORD CheckMenuItem(HMENU menu, UINT item, UINT check)
{
    TEntry* entry = Locate(menu, item, (check & MF_BYPOSITION) != 0);
    if (!entry)
        return static_cast<DWORD>(-1);
    const DWORD previous = (entry->State & MFS_CHECKED) ? MF_CHECKED : MF_UNCHECKED;
    if (check & MF_CHECKED)
        entry->State |= MFS_CHECKED;
    else
        entry->State &= ~MFS_CHECKED;
    return previous;
}

BOOL EnableMenuItem(HMENU menu, UINT item, UINT enable)
{
    TEntry* entry = Locate(menu, item, (enable & MF_BYPOSITION) != 0);
    if (!entry)
        return -1;
    const BOOL previous = static_cast<BOOL>(entry->State & MFS_GRAYED);
    entry->State &= ~MFS_GRAYED;
    if (enable & MF_GRAYED)
        entry->State |= MFS_GRAYED;
    else if (enable & MF_DISABLED)
        entry->State |= MF_DISABLED;
    return previous;
}

BOOL SetMenu(HWND window, HMENU menu)
{
    if (!window || (menu && !IsMenu(menu)))
        return FALSE;
    WindowMenus()[window] = menu;
    return TRUE;
}

HMENU GetMenu(HWND window)
{
    auto it = WindowMenus().find(window);
    return it == WindowMenus().end() ? nullptr : it->second;
}

BOOL DrawMenuBar(HWND window) { return window ? TRUE : FALSE; }

HMENU GetSystemMenu(HWND window, BOOL revert)
{
    auto& menus = SystemMenus();
    auto it = menus.find(window);
    if (revert) {
        if (it != menus.end()) {
            DestroyMenu(it->second);
            menus.erase(it);
        }
        return nullptr;
    }
    if (it != menus.end() && IsMenu(it->second))
        return it->second;
    HMENU menu = CreatePopupMenu();
    AppendMenuA(menu, MF_STRING, SC_RESTORE, "&Ripristina");
    AppendMenuA(menu, MF_STRING, SC_MOVE, "&Sposta");
    AppendMenuA(menu, MF_STRING, SC_SIZE, "Ridi&mensiona");
    AppendMenuA(menu, MF_STRING, SC_MINIMIZE, "Riduci a i&cona");
    AppendMenuA(menu, MF_STRING, SC_MAXIMIZE, "I&ngrandisci");
    AppendMenuA(menu, MF_SEPARATOR, 0, nullptr);
    AppendMenuA(menu, MF_STRING, SC_CLOSE, "&Chiudi\tAlt+F4");
    menus[window] = menu;
    return menu;
}

HMENU TrackingMenu() { return trackingMenu; }

BOOL TrackPopupMenu(HMENU menu, UINT flags, int x, int y, int, HWND owner, const TRect*)
{
    if (!IsMenu(menu) || currentTracker)
        return FALSE;
    TTracker tracker;
    tracker.Owner = owner;
    tracker.Flags = flags;
    currentTracker = &tracker;
    trackingMenu = menu;
    SendOwner(owner, WM_ENTERMENULOOP, TRUE, 0);
    QMenu* qmenu = BuildMenu(tracker, menu, nullptr, 0);
    tracker.Top = qmenu;
    QPoint position(x, y);
    if (flags & (TPM_CENTERALIGN | TPM_RIGHTALIGN)) {
        FillMenu(tracker, qmenu, menu, 0);
        const int width = qmenu->sizeHint().width();
        position.rx() -= (flags & TPM_RIGHTALIGN) ? width : width / 2;
    }
    try {
        qmenu->exec(position);
    } catch (...) {
        currentTracker = nullptr;
        trackingMenu = nullptr;
        delete qmenu;
        throw;
    }
    delete qmenu;
    currentTracker = nullptr;
    trackingMenu = nullptr;
    SendOwner(owner, WM_MENUSELECT, MAKEWPARAM(0, 0xFFFF), 0);
    if (tracker.ChoseEntry && !(flags & (TPM_RETURNCMD | TPM_NONOTIFY)))
        SendOwner(owner, WM_COMMAND, MAKEWPARAM(static_cast<WORD>(tracker.Chosen), 0), 0);
    SendOwner(owner, WM_EXITMENULOOP, TRUE, 0);
    if (flags & TPM_RETURNCMD)
        return tracker.ChoseEntry ? static_cast<BOOL>(tracker.Chosen) : 0;
    return tracker.ChoseEntry ? TRUE : FALSE;
}

BOOL TrackPopupMenuEx(HMENU menu, UINT flags, int x, int y, HWND owner, const TPMPARAMS*)
{
    return TrackPopupMenu(menu, flags, x, y, 0, owner, nullptr);
}
