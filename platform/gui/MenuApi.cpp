// Menu handles and menu tracking.

#include "platform/gui/MenuApi.h"

#include "platform/gui/DeviceContext.h"
#include "platform/gui/ListBox.h"
#include "platform/gui/MessageQueue.h"
#include "platform/gui/Screen.h"
#include "platform/gui/SystemMetrics.h"
#include "platform/gui/WinControl.h"
#include "platform/gui/WindowHandles.h"
#include "platform/gui/private/GdiInternals.h"
#include "platform/gui/private/ControlHost.h"
#include "platform/gui/private/QtBridge.h"
#include "platform/gui/private/StdCtrlSupport.h"
#include "platform/rtl/Codepage.h"

#include <QAction>
#include <QApplication>
#include <QKeyEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QPointer>
#include <QProxyStyle>
#include <QStyleOptionMenuItem>
#include <QTimer>

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

std::map<HMENU, std::unique_ptr<TMenuRecord>>& MenuTable()
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
    MenuTable()[handle] = std::move(record);
    return handle;
}

TMenuRecord* FindMenu(HMENU menu)
{
    auto it = MenuTable().find(menu);
    return it == MenuTable().end() ? nullptr : it->second.get();
}

// The entry at a position, or with a command (searched in sub-menus too, as Windows does).
TEntry* Locate(HMENU menu, UINT item, bool byPosition, HMENU* owner = nullptr, int* position = nullptr)
{
    TMenuRecord* record = FindMenu(menu);
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

// Asks the owner to draw an owner-drawn entry into rect of the painter (WM_DRAWITEM, ODT_MENU).
void DrawEntry(HWND owner, HMENU menu, const TEntry& entry, QPainter* painter, const QRect& rect, UINT state)
{
    if (rect.isEmpty())
        return;
    // As on Windows, the context covers the whole menu window and the item rectangle lies where
    // the item is, so an owner may draw across items (a strip beside them all); only the item's
    // rectangle is shown.
    // The image is kept from one entry to the next (a menu draws many); only the entry's
    // rectangle is cleared, since only that is shown.
    QSize whole = rect.size();
    if (QPaintDevice* device = painter->device())
        whole = QSize(std::max(device->width(), rect.right() + 1), std::max(device->height(), rect.bottom() + 1));
    static QImage shared;
    static int depth = 0;
    QImage local;
    QImage& image = depth == 0 ? shared : local;
    if (image.size() != whole)
        image = QImage(whole, QImage::Format_RGB32);
    QPainter clear(&image);
    clear.fillRect(rect, ToQColor(clMenu));
    clear.end();
    ++depth;
    HDC dc = Gdi::CreateImageDC([&image](TDcSurface& surface) {
        surface.Image = &image;
        surface.Bounds = image.rect();
        return true;
    });
    DRAWITEMSTRUCT draw;
    draw.CtlType = ODT_MENU;
    draw.itemID = entry.ID;
    draw.itemAction = ODA_DRAWENTIRE;
    draw.itemState = state;
    if ((entry.State & MFS_GRAYED) == MFS_GRAYED)
        draw.itemState |= ODS_GRAYED | ODS_DISABLED;
    if (entry.State & MFS_CHECKED)
        draw.itemState |= ODS_CHECKED;
    if (entry.State & MFS_DEFAULT)
        draw.itemState |= ODS_DEFAULT;
    draw.hwndItem = reinterpret_cast<HWND>(menu);
    draw.hDC = dc;
    draw.rcItem = Rect(rect.left(), rect.top(), rect.right() + 1, rect.bottom() + 1);
    draw.itemData = entry.Data;
    SendOwner(owner, WM_DRAWITEM, 0, reinterpret_cast<LPARAM>(&draw));
    --depth;
    DeleteDC(dc);
    painter->drawImage(rect.topLeft(), image, rect);
}

// The owner's size for an owner-drawn entry (WM_MEASUREITEM, ODT_MENU).
QSize MeasureEntry(HWND owner, const TEntry& entry)
{
    MEASUREITEMSTRUCT measure;
    measure.CtlType = ODT_MENU;
    measure.itemID = entry.ID;
    measure.itemWidth = 0;
    measure.itemHeight = 16;
    measure.itemData = entry.Data;
    SendOwner(owner, WM_MEASUREITEM, 0, reinterpret_cast<LPARAM>(&measure));
    return QSize(static_cast<int>(measure.itemWidth), static_cast<int>(measure.itemHeight));
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
    // Tracking a drop-down of the menu bar: Left and Right ask for the neighbouring drop-down
    // (BarMove), Escape returns to the bar.
    bool FromBar = false;
    int BarMove = 0;
    bool Escaped = false;
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
        const QSize size = MeasureEntry(Owner, entry);
        Measured[key] = size;
        return size;
    }
    void DrawOwnerDrawn(QPainter* painter, const QStyleOptionMenuItem* option, HMENU menu, int position)
    {
        TMenuRecord* record = FindMenu(menu);
        if (!record || position < 0 || position >= static_cast<int>(record->Entries.size()))
            return;
        const TEntry entry = record->Entries[static_cast<std::size_t>(position)];
        UINT state = 0;
        if (option->state & QStyle::State_Selected)
            state |= ODS_SELECTED;
        DrawEntry(Owner, menu, entry, painter, option->rect, state);
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
                    if (TMenuRecord* record = FindMenu(menu); record && position < static_cast<int>(record->Entries.size())) {
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

private:
    TTracker* FTracker;
};

QMenu* BuildMenu(TTracker& tracker, HMENU handle, QWidget* parent, int positionInParent);

bool HasOwnerDrawn(HMENU handle)
{
    TMenuRecord* record = FindMenu(handle);
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
    TMenuRecord* record = FindMenu(handle);
    if (!record)
        return;
    for (std::size_t i = 0; i < record->Entries.size(); ++i) {
        const TEntry entry = record->Entries[i];
        const int position = static_cast<int>(i);
        const bool ownerDrawn = (entry.Type & MFT_OWNERDRAW) != 0;
        if ((entry.Type & MFT_SEPARATOR) && !ownerDrawn) {
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
        // An owner-drawn separator is drawn by the owner and never chosen.
        const bool separator = (entry.Type & MFT_SEPARATOR) != 0;
        action->setEnabled(!separator && (entry.State & MFS_GRAYED) != MFS_GRAYED);
        if (entry.State & MFS_CHECKED) {
            action->setCheckable(true);
            action->setChecked(true);
        }
        if (entry.State & MFS_DEFAULT) {
            QFont font = action->font();
            font.setBold(true);
            action->setFont(font);
        }
        if (!entry.Sub && !separator) {
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
    TMenuRecord* record = FindMenu(handle);
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
        if (event->type() != QEvent::KeyPress)
            return false;
        auto* menu = static_cast<QMenu*>(watched);
        auto* key = static_cast<QKeyEvent*>(event);
        if (FTracker.FromBar && BarKey(menu, key))
            return true;
        return MenuChar(FTracker, menu, FHandle, key);
    }

private:
    // Left and Right in the drop-down of a menu bar move to the neighbouring drop-down.
    bool BarKey(QMenu* menu, QKeyEvent* key)
    {
        if (menu != FTracker.Top)
            return false;
        switch (key->key()) {
        case Qt::Key_Left:
            FTracker.BarMove = -1;
            menu->close();
            return true;
        case Qt::Key_Right: {
            QAction* active = menu->activeAction();
            if (active && active->menu() && active->isEnabled())
                return false;
            FTracker.BarMove = 1;
            menu->close();
            return true;
        }
        case Qt::Key_Escape:
            FTracker.Escaped = true;
            return false;
        default:
            return false;
        }
    }

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
        TMenuRecord* record = FindMenu(handle);
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

// --- Menu bars ----------------------------------------------------------------------------------------------

// A window's menu bar (SetMenu): a strip above the client area that shows the top entries of the
// menu, opens their drop-downs on a click, and takes the keyboard after F10 or Alt alone.
class TMenuBar : public QWidget {
public:
    TMenuBar(HWND window, QWidget* parent);
    ~TMenuBar() override;

    HWND Window() const { return FWindow; }
    HMENU Menu() const { return FMenu; }
    void SetMenu(HMENU menu);
    // The menu changed: the bar lays itself out again at the next event-loop turn.
    void Changed();
    int BarHeight();
    // SC_KEYMENU: 0 selects the first entry for the keyboard, a character opens its entry.
    bool Key(char key);
    bool HasAccelerator(char key);
    bool InKeyboardMode() const { return FKeyboard; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // Computes the entries' rectangles and the height; true when the height changed.
    bool Layout();
    void Refresh();
    std::vector<TEntry> Entries() const;
    int EntryAt(const QPoint& point);
    int Neighbour(int index, int step);
    int AcceleratorIndex(char key);
    void Select(int index);
    void EnterKeyboardMode(int index);
    void LeaveKeyboardMode();
    // Opens the drop-down of the entry (or chooses a command entry) and tracks it to the end.
    void Track(int index, bool byKeyboard);

    HWND FWindow;
    HMENU FMenu = nullptr;
    std::vector<QRect> FRects;
    bool FDirty = true;
    bool FRefreshPosted = false;
    int FHeight = 0;
    int FSelected = -1;
    bool FKeyboard = false;
    bool FTracking = false;
};

std::map<HWND, TMenuBar*>& Bars()
{
    static std::map<HWND, TMenuBar*> bars;
    return bars;
}

TMenuBar* BarOf(HWND window)
{
    auto it = Bars().find(window);
    return it == Bars().end() ? nullptr : it->second;
}

void NotifyBars(HMENU menu)
{
    for (auto& [window, bar] : Bars())
        if (bar->Menu() == menu)
            bar->Changed();
}

// Watches the application's keys for Alt pressed and released alone over a window with a menu
// bar: that selects the bar, as F10 does.
class TAltWatcher : public QObject {
public:
    static void Install()
    {
        static TAltWatcher* watcher = nullptr;
        if (!watcher && qApp) {
            watcher = new TAltWatcher(qApp);
            qApp->installEventFilter(watcher);
        }
    }

protected:
    explicit TAltWatcher(QObject* parent) : QObject(parent) {}
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        switch (event->type()) {
        case QEvent::KeyPress: {
            auto* key = static_cast<QKeyEvent*>(event);
            const bool altAlone = key->key() == Qt::Key_Alt && !key->isAutoRepeat() &&
                                  (key->modifiers() & ~(Qt::AltModifier | Qt::KeypadModifier)) == 0;
            FPending = altAlone ? BarUnder(watched) : nullptr;
            break;
        }
        case QEvent::KeyRelease: {
            auto* key = static_cast<QKeyEvent*>(event);
            if (key->key() != Qt::Key_Alt || key->isAutoRepeat() || !FPending || FPending != BarUnder(watched))
                break;
            const HWND window = FPending->Window();
            QTimer::singleShot(0, FPending.data(), [window] {
                if (IsWindow(window))
                    SendMessageA(window, WM_SYSCOMMAND, SC_KEYMENU, 0);
            });
            FPending = nullptr;
            break;
        }
        case QEvent::MouseButtonPress:
        case QEvent::FocusOut:
            FPending = nullptr;
            break;
        default:
            break;
        }
        return false;
    }

private:
    // The menu bar of the window the widget is in, unless the bar has the keyboard already or a
    // menu is open.
    static TMenuBar* BarUnder(QObject* watched)
    {
        auto* widget = qobject_cast<QWidget*>(watched);
        if (!widget || dynamic_cast<TMenuBar*>(widget) || QApplication::activePopupWidget())
            return nullptr;
        QWidget* window = widget->window();
        for (auto& [handle, bar] : Bars())
            if (bar->parentWidget() == window && bar->isVisible() && !bar->InKeyboardMode())
                return bar;
        return nullptr;
    }

    QPointer<TMenuBar> FPending;
};

TMenuBar::TMenuBar(HWND window, QWidget* parent) : QWidget(parent), FWindow(window)
{
    setAttribute(Qt::WA_NoMousePropagation);
    setFocusPolicy(Qt::NoFocus);
    if (Screen && Screen->MenuFont())
        setFont(StdCtrl::QtFont(*Screen->MenuFont()));
    parent->installEventFilter(this);
    TAltWatcher::Install();
}

TMenuBar::~TMenuBar()
{
    if (FKeyboard) {
        releaseKeyboard();
        qApp->removeEventFilter(this);
    }
    auto it = Bars().find(FWindow);
    if (it != Bars().end() && it->second == this)
        Bars().erase(it);
}

void TMenuBar::SetMenu(HMENU menu)
{
    FMenu = menu;
    FSelected = -1;
    FDirty = true;
    Layout();
    setGeometry(0, 0, parentWidget()->width(), FHeight);
    raise();
    show();
    update();
}

void TMenuBar::Changed()
{
    FDirty = true;
    update();
    if (FRefreshPosted)
        return;
    FRefreshPosted = true;
    QTimer::singleShot(0, this, [this] {
        FRefreshPosted = false;
        Refresh();
    });
}

void TMenuBar::Refresh()
{
    const bool taller = Layout();
    setGeometry(0, 0, parentWidget()->width(), FHeight);
    update();
    if (taller)
        if (TWinControl* control = FindControl(FWindow))
            control->FrameChanged();
}

int TMenuBar::BarHeight()
{
    if (FDirty)
        Layout();
    return FHeight;
}

std::vector<TEntry> TMenuBar::Entries() const
{
    TMenuRecord* record = FindMenu(FMenu);
    return record ? record->Entries : std::vector<TEntry>();
}

bool TMenuBar::Layout()
{
    FDirty = false;
    const std::vector<TEntry> entries = Entries();
    const QFontMetrics metrics(font());
    int height = GetSystemMetrics(SM_CYMENU);
    std::vector<QSize> sizes;
    for (const TEntry& entry : entries) {
        QSize size;
        if (entry.Type & MFT_OWNERDRAW) {
            size = MeasureEntry(FWindow, entry);
        } else if (!(entry.Type & MFT_SEPARATOR)) {
            const QString text = ToQString(entry.Text).section(QLatin1Char('\t'), 0, 0);
            size = QSize(metrics.size(Qt::TextShowMnemonic, text).width() + 12, 0);
        }
        height = std::max(height, size.height());
        sizes.push_back(size);
    }
    FRects.clear();
    int x = 0;
    for (const QSize& size : sizes) {
        FRects.emplace_back(x, 0, size.width(), height);
        x += size.width();
    }
    const bool changed = height != FHeight;
    FHeight = height;
    return changed;
}

void TMenuBar::paintEvent(QPaintEvent*)
{
    if (FDirty)
        Layout();
    QPainter painter(this);
    painter.fillRect(rect(), ToQColor(clMenu));
    const std::vector<TEntry> entries = Entries();
    for (std::size_t i = 0; i < entries.size() && i < FRects.size(); ++i) {
        const TEntry& entry = entries[i];
        const QRect box = FRects[i];
        const bool selected = static_cast<int>(i) == FSelected;
        if (box.isEmpty())
            continue;
        if (entry.Type & MFT_OWNERDRAW) {
            DrawEntry(FWindow, FMenu, entry, &painter, box, selected ? ODS_SELECTED : 0);
            continue;
        }
        const bool grayed = (entry.State & MFS_GRAYED) == MFS_GRAYED;
        if (selected)
            painter.fillRect(box, ToQColor(clHighlight));
        painter.setPen(ToQColor(grayed ? clGrayText : selected ? clHighlightText : clMenuText));
        const QString text = ToQString(entry.Text).section(QLatin1Char('\t'), 0, 0);
        painter.drawText(box, Qt::AlignCenter | Qt::TextShowMnemonic, text);
    }
}

int TMenuBar::EntryAt(const QPoint& point)
{
    if (FDirty)
        Layout();
    for (std::size_t i = 0; i < FRects.size(); ++i)
        if (FRects[i].contains(point))
            return static_cast<int>(i);
    return -1;
}

int TMenuBar::Neighbour(int index, int step)
{
    if (FDirty)
        Layout();
    const int count = static_cast<int>(FRects.size());
    for (int tries = 0; tries < count; ++tries) {
        index = ((index + step) % count + count) % count;
        if (!FRects[static_cast<std::size_t>(index)].isEmpty())
            return index;
    }
    return -1;
}

int TMenuBar::AcceleratorIndex(char key)
{
    const std::vector<TEntry> entries = Entries();
    const QChar wanted = QChar(AnsiCharToUnicode(static_cast<unsigned char>(key))).toLower();
    bool ownerDrawn = false;
    for (std::size_t i = 0; i < entries.size(); ++i) {
        if (entries[i].Type & MFT_OWNERDRAW) {
            ownerDrawn = true;
            continue;
        }
        const QString caption = ToQString(entries[i].Text);
        for (int at = caption.indexOf(QLatin1Char('&')); at >= 0 && at + 1 < caption.size();
             at = caption.indexOf(QLatin1Char('&'), at + 2)) {
            if (caption[at + 1] == QLatin1Char('&'))
                continue;
            if (caption[at + 1].toLower() == wanted)
                return static_cast<int>(i);
            break;
        }
    }
    if (!ownerDrawn)
        return -1;
    // Owner-drawn entries have no text: the owner answers the menu-character query.
    LRESULT answer = 0;
    SendOwner(FWindow, WM_MENUCHAR, MAKEWPARAM(static_cast<unsigned char>(key), 0), reinterpret_cast<LPARAM>(FMenu),
              &answer);
    const WORD command = HIWORD(static_cast<std::uintptr_t>(answer));
    const int position = LOWORD(static_cast<std::uintptr_t>(answer));
    if ((command == MNC_EXECUTE || command == MNC_SELECT) && position < static_cast<int>(entries.size()))
        return position;
    return -1;
}

bool TMenuBar::HasAccelerator(char key) { return AcceleratorIndex(key) >= 0; }

void TMenuBar::Select(int index)
{
    if (index == FSelected)
        return;
    FSelected = index;
    update();
    if (!FKeyboard || index < 0)
        return;
    const std::vector<TEntry> entries = Entries();
    if (index >= static_cast<int>(entries.size()))
        return;
    const TEntry& entry = entries[static_cast<std::size_t>(index)];
    const WORD item = entry.Sub ? static_cast<WORD>(index) : static_cast<WORD>(entry.ID);
    SendOwner(FWindow, WM_MENUSELECT, MAKEWPARAM(item, static_cast<WORD>(FlagsOf(entry) | MF_HILITE)),
              reinterpret_cast<LPARAM>(FMenu));
}

bool TMenuBar::Key(char key)
{
    if (FTracking || currentTracker || !isVisible())
        return false;
    if (key == 0) {
        const int first = Neighbour(-1, 1);
        if (first < 0)
            return false;
        EnterKeyboardMode(first);
        return true;
    }
    const int index = AcceleratorIndex(key);
    if (index < 0) {
        QApplication::beep();
        return true;
    }
    LeaveKeyboardMode();
    Track(index, true);
    return true;
}

void TMenuBar::EnterKeyboardMode(int index)
{
    if (!FKeyboard) {
        FKeyboard = true;
        grabKeyboard();
        qApp->installEventFilter(this);
        SendOwner(FWindow, WM_ENTERMENULOOP, FALSE, 0);
    }
    Select(index);
}

void TMenuBar::LeaveKeyboardMode()
{
    if (!FKeyboard)
        return;
    FKeyboard = false;
    releaseKeyboard();
    qApp->removeEventFilter(this);
    Select(-1);
    QPointer<TMenuBar> self(this);
    SendOwner(FWindow, WM_MENUSELECT, MAKEWPARAM(0, 0xFFFF), 0);
    if (self)
        SendOwner(FWindow, WM_EXITMENULOOP, FALSE, 0);
}

void TMenuBar::keyPressEvent(QKeyEvent* event)
{
    if (!FKeyboard || FTracking) {
        QWidget::keyPressEvent(event);
        return;
    }
    switch (event->key()) {
    case Qt::Key_Left:
    case Qt::Key_Right:
        Select(Neighbour(FSelected, event->key() == Qt::Key_Left ? -1 : 1));
        return;
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Down:
    case Qt::Key_Up: {
        const int index = FSelected;
        LeaveKeyboardMode();
        if (index >= 0)
            Track(index, true);
        return;
    }
    case Qt::Key_Escape:
    case Qt::Key_Alt:
    case Qt::Key_F10:
        LeaveKeyboardMode();
        return;
    default:
        break;
    }
    const std::string typed = ToAnsi(event->text());
    if (typed.size() == 1 && static_cast<unsigned char>(typed[0]) >= 32) {
        const int index = AcceleratorIndex(typed[0]);
        if (index < 0) {
            QApplication::beep();
            return;
        }
        LeaveKeyboardMode();
        Track(index, true);
    }
}

void TMenuBar::mousePressEvent(QMouseEvent* event)
{
    const int index = EntryAt(event->position().toPoint());
    LeaveKeyboardMode();
    if (index >= 0 && event->button() == Qt::LeftButton)
        Track(index, false);
}

bool TMenuBar::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == parentWidget() && event->type() == QEvent::Resize) {
        setGeometry(0, 0, parentWidget()->width(), BarHeight());
        return false;
    }
    // While the bar has the keyboard, a click elsewhere or leaving the window ends that.
    if (FKeyboard && watched != this) {
        const QEvent::Type type = event->type();
        if (type == QEvent::MouseButtonPress || (type == QEvent::WindowDeactivate && watched == window()))
            LeaveKeyboardMode();
    }
    return false;
}

void TMenuBar::Track(int index, bool byKeyboard)
{
    if (FTracking || currentTracker)
        return;
    QPointer<TMenuBar> self(this);
    const HWND owner = FWindow;
    const HMENU barMenu = FMenu;
    FTracking = true;
    SendOwner(owner, WM_ENTERMENULOOP, FALSE, 0);
    UINT chosen = 0;
    bool choseEntry = false;
    bool escaped = false;
    while (self && index >= 0) {
        const std::vector<TEntry> entries = Entries();
        if (index >= static_cast<int>(entries.size()))
            break;
        const TEntry entry = entries[static_cast<std::size_t>(index)];
        FSelected = index;
        repaint();
        const WORD item = entry.Sub ? static_cast<WORD>(index) : static_cast<WORD>(entry.ID);
        SendOwner(owner, WM_MENUSELECT, MAKEWPARAM(item, static_cast<WORD>(FlagsOf(entry) | MF_HILITE)),
                  reinterpret_cast<LPARAM>(barMenu));
        if (!self || (entry.State & MFS_GRAYED) == MFS_GRAYED)
            break;
        if (!entry.Sub) {
            // A command on the bar itself.
            chosen = entry.ID;
            choseEntry = true;
            break;
        }
        TTracker tracker;
        tracker.Owner = owner;
        tracker.FromBar = true;
        currentTracker = &tracker;
        trackingMenu = entry.Sub;
        QMenu* qmenu = BuildMenu(tracker, entry.Sub, nullptr, index);
        tracker.Top = qmenu;
        if (byKeyboard)
            QTimer::singleShot(0, qmenu, [qmenu] {
                for (QAction* action : qmenu->actions())
                    if (!action->isSeparator() && action->isEnabled()) {
                        qmenu->setActiveAction(action);
                        break;
                    }
            });
        const QRect box = index < static_cast<int>(FRects.size()) ? FRects[static_cast<std::size_t>(index)] : QRect();
        const QPoint position = mapToGlobal(QPoint(box.left(), height()));
        try {
            qmenu->exec(position);
        } catch (...) {
            currentTracker = nullptr;
            trackingMenu = nullptr;
            delete qmenu;
            if (self)
                FTracking = false;
            throw;
        }
        delete qmenu;
        currentTracker = nullptr;
        trackingMenu = nullptr;
        if (tracker.ChoseEntry) {
            chosen = tracker.Chosen;
            choseEntry = true;
            break;
        }
        if (tracker.BarMove == 0 || !self) {
            escaped = tracker.Escaped;
            break;
        }
        index = Neighbour(index, tracker.BarMove);
        byKeyboard = true;
    }
    if (self) {
        FTracking = false;
        FSelected = -1;
        update();
    }
    SendOwner(owner, WM_MENUSELECT, MAKEWPARAM(0, 0xFFFF), 0);
    SendOwner(owner, WM_EXITMENULOOP, FALSE, 0);
    // The command is posted, as Windows does for the menu bar: it runs outside the bar's own
    // event, so that it may free the window and the bar with it.
    if (choseEntry && IsWindow(owner))
        PostMessageA(owner, WM_COMMAND, MAKEWPARAM(static_cast<WORD>(chosen), 0), 0);
    // Escape in a drop-down opened from the keyboard leaves its entry selected on the bar.
    if (self && escaped && byKeyboard)
        EnterKeyboardMode(index);
}

// Shows, changes or removes the bar of a window after SetMenu or DestroyMenu.
void ShowMenuBar(HWND window, HMENU menu)
{
    TWinControl* control = FindControl(window);
    QWidget* widget = control ? WidgetOf(control) : nullptr;
    TMenuBar* bar = BarOf(window);
    if (bar && bar->parentWidget() != widget) {
        Bars().erase(window);
        bar->hide();
        bar->deleteLater();
        bar = nullptr;
    }
    if (!menu || !widget) {
        if (bar) {
            Bars().erase(window);
            bar->hide();
            bar->deleteLater();
        }
    } else {
        if (!bar) {
            bar = new TMenuBar(window, widget);
            Bars()[window] = bar;
        }
        bar->SetMenu(menu);
    }
    if (control && !control->ComponentState().Contains(csDestroying))
        control->FrameChanged();
}

} // namespace

// --- Handles --------------------------------------------------------------------------------------------------

HMENU CreateMenu() { return NewMenu(false); }
HMENU CreatePopupMenu() { return NewMenu(true); }

BOOL DestroyMenu(HMENU menu)
{
    auto it = MenuTable().find(menu);
    if (it == MenuTable().end())
        return FALSE;
    std::unique_ptr<TMenuRecord> record = std::move(it->second);
    MenuTable().erase(it);
    for (const TEntry& entry : record->Entries)
        if (entry.Sub)
            DestroyMenu(entry.Sub);
    for (auto& [window, handle] : WindowMenus())
        if (handle == menu) {
            handle = nullptr;
            ShowMenuBar(window, nullptr);
        }
    return TRUE;
}

BOOL IsMenu(HMENU menu) { return FindMenu(menu) ? TRUE : FALSE; }

BOOL AppendMenuA(HMENU menu, UINT flags, UINT_PTR newItem, const char* text)
{
    TMenuRecord* record = FindMenu(menu);
    if (!record)
        return FALSE;
    record->Entries.push_back(EntryFromFlags(flags, newItem, text));
    NotifyBars(menu);
    return TRUE;
}

BOOL AppendMenuData(HMENU menu, UINT flags, UINT_PTR newItem, std::uintptr_t data)
{
    return AppendMenuA(menu, flags | MF_OWNERDRAW, newItem, reinterpret_cast<const char*>(data));
}

BOOL InsertMenuA(HMENU menu, UINT position, UINT flags, UINT_PTR newItem, const char* text)
{
    NotifyBars(menu);
    TMenuRecord* record = FindMenu(menu);
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
    TMenuRecord* target = FindMenu(owner);
    target->Entries.insert(target->Entries.begin() + at, entry);
    return TRUE;
}

BOOL ModifyMenuA(HMENU menu, UINT position, UINT flags, UINT_PTR newItem, const char* text)
{
    NotifyBars(menu);
    TEntry* entry = Locate(menu, position, (flags & MF_BYPOSITION) != 0);
    if (!entry)
        return FALSE;
    *entry = EntryFromFlags(flags & ~MF_BYPOSITION, newItem, text);
    return TRUE;
}

BOOL InsertMenuItemA(HMENU menu, UINT item, BOOL byPosition, const MENUITEMINFOA* info)
{
    NotifyBars(menu);
    TMenuRecord* record = FindMenu(menu);
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
    TMenuRecord* target = FindMenu(owner);
    target->Entries.insert(target->Entries.begin() + at, entry);
    return TRUE;
}

BOOL SetMenuItemInfoA(HMENU menu, UINT item, BOOL byPosition, const MENUITEMINFOA* info)
{
    NotifyBars(menu);
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
    NotifyBars(menu);
    HMENU owner = nullptr;
    int at = 0;
    if (!Locate(menu, position, (flags & MF_BYPOSITION) != 0, &owner, &at))
        return FALSE;
    TMenuRecord* record = FindMenu(owner);
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
    TMenuRecord* record = FindMenu(menu);
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
    NotifyBars(menu);
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
    NotifyBars(menu);
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
    ShowMenuBar(window, menu);
    return TRUE;
}

HMENU GetMenu(HWND window)
{
    auto it = WindowMenus().find(window);
    return it == WindowMenus().end() ? nullptr : it->second;
}

BOOL DrawMenuBar(HWND window)
{
    if (!window)
        return FALSE;
    if (TMenuBar* bar = BarOf(window))
        bar->Changed();
    return TRUE;
}

int GetMenuBarHeight(HWND window)
{
    TMenuBar* bar = BarOf(window);
    return bar && bar->Menu() ? bar->BarHeight() : 0;
}

bool MenuBarKey(HWND window, char key)
{
    TMenuBar* bar = BarOf(window);
    return bar && bar->Key(key);
}

bool MenuBarHasAccelerator(HWND window, char key)
{
    TMenuBar* bar = BarOf(window);
    return bar && bar->isVisible() && bar->HasAccelerator(key);
}

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
