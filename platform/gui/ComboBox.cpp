// Combo boxes.

#include "platform/gui/ComboBox.h"

#include "platform/gui/DeviceContext.h"
#include "platform/gui/GdiDraw.h"
#include "platform/gui/SystemMetrics.h"
#include "platform/gui/TextOutput.h"
#include "platform/gui/WindowFunctions.h"
#include "platform/gui/private/ControlHost.h"
#include "platform/gui/private/GdiInternals.h"
#include "platform/gui/private/QtBridge.h"
#include "platform/gui/private/StdCtrlSupport.h"
#include "platform/rtl/Collation.h"
#include "platform/rtl/TextUtils.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QKeyEvent>
#include <QLineEdit>
#include <QListView>
#include <QPainter>
#include <QSignalBlocker>
#include <QStyledItemDelegate>

#include <algorithm>
#include <cstring>

namespace {

int LocaleCompare(const std::string& a, const std::string& b)
{
    const int result = CompareStringA(LOCALE_USER_DEFAULT, NORM_IGNORECASE, a.c_str(), static_cast<int>(a.size()),
                                      b.c_str(), static_cast<int>(b.size()));
    if (result == 0)
        return AnsiCompareText(a, b);
    return result - CSTR_EQUAL;
}

// Draws an owner-drawn item into an image through a device context, then onto the painter.
void PaintOwnerDrawn(TCustomComboBox* combo, QPainter* painter, const QRect& rect, int index, UINT state)
{
    if (rect.isEmpty())
        return;
    QImage image(rect.size(), QImage::Format_RGB32);
    image.fill(ToQColor(combo->Color()));
    HDC dc = Gdi::CreateImageDC([&image](TDcSurface& surface) {
        surface.Image = &image;
        surface.Bounds = image.rect();
        return true;
    });
    combo->DrawItemOn(dc, index, Rect(0, 0, rect.width(), rect.height()), state);
    DeleteDC(dc);
    painter->drawImage(rect.topLeft(), image);
}

class TOwnerDrawDelegate : public QStyledItemDelegate {
public:
    TOwnerDrawDelegate(TCustomComboBox* combo, QObject* parent) : QStyledItemDelegate(parent), FCombo(combo) {}
    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        UINT state = 0;
        if (option.state & QStyle::State_Selected)
            state |= ODS_SELECTED;
        if (option.state & QStyle::State_HasFocus)
            state |= ODS_FOCUS;
        PaintOwnerDrawn(FCombo, painter, option.rect, index.row(), state);
    }
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        return QSize(option.rect.width(), FCombo->MeasuredHeight(index.row()));
    }

private:
    TCustomComboBox* FCombo;
};

// The classic combo box: a sunken field with, except in the simple style, a raised button holding
// a down arrow at its right; the simple style shows its list always, below the edit part.
class TComboHost : public TControlHost<QComboBox> {
public:
    TComboHost(TCustomComboBox* combo, QWidget* parent, TComboBoxStyle style)
        : TControlHost<QComboBox>(combo, parent), FCombo(combo), FStyle(style)
    {
        if (style == csSimple) {
            FList = new QListView(this);
            FList->setFocusPolicy(Qt::NoFocus);
            FList->setEditTriggers(QAbstractItemView::NoEditTriggers);
            FList->setUniformItemSizes(true);
            FList->setFrameShape(QFrame::NoFrame);
            FList->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
            FList->setModel(model());
            FList->setSelectionModel(view()->selectionModel());
        }
    }
    QListView* SimpleList() const { return FList; }
    // A rectangle set by the control's code for the edit part; a null one: the field's own.
    void SetEditPart(const QRect& rect)
    {
        FEditPart = rect;
        PlaceChildren();
    }
    QRect EditPart() const { return FEditPart.isNull() ? FieldRect().adjusted(1, 1, -1, -1) : FEditPart; }
    bool Simple() const { return FList != nullptr; }
    // The edit part's height: the whole control, except in the simple style.
    int EditHeight() const { return Simple() ? std::min(height(), StdCtrl::TextHeight(*FCombo->Font()) + 8) : height(); }
    QRect ButtonRect() const
    {
        if (Simple())
            return QRect();
        const int size = GetSystemMetrics(SM_CXVSCROLL);
        return QRect(width() - 2 - size, 2, size, height() - 4);
    }
    // Inside the edge, left of the button.
    QRect FieldRect() const
    {
        const int right = Simple() ? width() - 2 : ButtonRect().left();
        return QRect(2, 2, std::max(right - 2, 0), std::max(EditHeight() - 4, 0));
    }
    void showPopup() override
    {
        if (Simple())
            return;
        StdCtrl::NotifyParent(FCombo, CBN_DROPDOWN);
        FDropped = true;
        update();
        QComboBox::showPopup();
    }
    void hidePopup() override
    {
        if (Simple())
            return;
        QComboBox::hidePopup();
        FDropped = false;
        update();
        StdCtrl::NotifyParent(FCombo, CBN_CLOSEUP);
    }
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        // Keys typed in the edit part take the layer's key path through the host.
        if (watched == lineEdit() && (event->type() == QEvent::KeyPress || event->type() == QEvent::KeyRelease ||
                                      event->type() == QEvent::ShortcutOverride)) {
            QApplication::sendEvent(this, event);
            return true;
        }
        // Qt places the edit part by its own style whenever it likes; it goes back into the field.
        if (watched == lineEdit() && (event->type() == QEvent::Move || event->type() == QEvent::Resize))
            PlaceChildren();
        return TControlHost<QComboBox>::eventFilter(watched, event);
    }

protected:
    void resizeEvent(QResizeEvent* event) override
    {
        TControlHost<QComboBox>::resizeEvent(event);
        PlaceChildren();
    }
    void PaintWindowClass(QPaintEvent*) override
    {
        QPainter painter(this);
        const bool enabled = isEnabled();
        const QColor field = enabled ? palette().color(QPalette::Base) : ToQColor(clBtnFace);
        const QRect edit(0, 0, width(), EditHeight());
        painter.fillRect(edit.adjusted(2, 2, -2, -2), field);
        StdCtrl::DrawSunkenEdge(painter, edit);
        if (Simple())
            StdCtrl::DrawSunkenEdge(painter, FList->geometry().adjusted(-2, -2, 2, 2));
        else
            PaintButton(painter, enabled);
        if (isEditable())
            return;
        const QRect text = FieldRect().adjusted(1, 1, -1, -1);
        const bool focused = hasFocus() && !FDropped;
        if (FStyle == csOwnerDrawFixed || FStyle == csOwnerDrawVariable) {
            UINT state = ODS_COMBOBOXEDIT;
            if (focused)
                state |= ODS_SELECTED | ODS_FOCUS;
            PaintOwnerDrawn(FCombo, &painter, text, currentIndex(), state);
            return;
        }
        // A focused drop-down list shows its text selected, inside a focus rectangle.
        if (focused)
            painter.fillRect(text, ToQColor(clHighlight));
        const TColor color = !enabled ? clGrayText : focused ? clHighlightText : FCombo->Font()->Color();
        QRect caption = text.adjusted(2, 0, -1, 0);
        StdCtrl::DrawCaption(&painter, caption, ToAnsi(currentText()), DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX,
                             *FCombo->Font(), color);
        if (focused)
            StdCtrl::DrawFocusRect(painter, text);
    }

private:
    void PaintButton(QPainter& painter, bool enabled)
    {
        const QRect button = ButtonRect();
        painter.fillRect(button, ToQColor(clBtnFace));
        if (FDropped) {
            // Pressed: a flat shadow frame, the arrow one pixel down and right.
            painter.setPen(ToQColor(clBtnShadow));
            painter.drawRect(button.adjusted(0, 0, -1, -1));
        } else {
            StdCtrl::DrawArrowButtonEdge(painter, button);
        }
        const int shift = FDropped ? 1 : 0;
        const int x = button.left() + (button.width() - 7) / 2 + shift;
        const int y = button.top() + (button.height() - 4) / 2 + shift;
        auto arrow = [&painter, x, y](int dx, int dy, const QColor& color) {
            for (int row = 0; row < 4; ++row)
                painter.fillRect(QRect(x + dx + row, y + dy + row, 7 - 2 * row, 1), color);
        };
        if (!enabled) {
            arrow(1, 1, ToQColor(clBtnHighlight));
            arrow(0, 0, ToQColor(clBtnShadow));
        } else {
            arrow(0, 0, ToQColor(clBtnText));
        }
    }
    void PlaceChildren()
    {
        if (FPlacing)
            return;
        FPlacing = true;
        if (QLineEdit* edit = lineEdit(); edit && edit->geometry() != EditPart())
            edit->setGeometry(EditPart());
        if (FList)
            FList->setGeometry(QRect(2, EditHeight() + 2, std::max(width() - 4, 0), std::max(height() - EditHeight() - 4, 0)));
        FPlacing = false;
    }

    TCustomComboBox* FCombo;
    TComboBoxStyle FStyle;
    QListView* FList = nullptr;
    bool FDropped = false;
    bool FPlacing = false;
    QRect FEditPart;
};

} // namespace

// --- TComboBoxStrings -------------------------------------------------------------------------------

int TComboBoxStrings::GetCount() const { return FCombo->Count(); }

std::string TComboBoxStrings::Get(int index) const
{
    if (!FCombo->Valid(index))
        Error("List index out of bounds (%d)", index);
    return FCombo->FList[static_cast<std::size_t>(index)].Text;
}

void TComboBoxStrings::Put(int index, const std::string& s)
{
    if (!FCombo->Valid(index))
        Error("List index out of bounds (%d)", index);
    const std::uintptr_t data = FCombo->FList[static_cast<std::size_t>(index)].Data;
    const bool current = FCombo->FItemIndex == index;
    FCombo->DeleteItem(index);
    const int at = FCombo->InsertItem(index, s, false);
    FCombo->FList[static_cast<std::size_t>(at)].Data = data;
    if (current)
        FCombo->SetItemIndex(at);
}

TObject* TComboBoxStrings::GetObject(int index) const
{
    if (!FCombo->Valid(index))
        Error("List index out of bounds (%d)", index);
    return reinterpret_cast<TObject*>(FCombo->FList[static_cast<std::size_t>(index)].Data);
}

void TComboBoxStrings::PutObject(int index, TObject* object)
{
    if (!FCombo->Valid(index))
        Error("List index out of bounds (%d)", index);
    FCombo->FList[static_cast<std::size_t>(index)].Data = reinterpret_cast<std::uintptr_t>(object);
}

int TComboBoxStrings::Add(const std::string& s) { return FCombo->InsertItem(-1, s, true); }

void TComboBoxStrings::Insert(int index, const std::string& s)
{
    if (index < 0 || index > FCombo->Count())
        Error("List index out of bounds (%d)", index);
    FCombo->InsertItem(index, s, false);
}

void TComboBoxStrings::Delete(int index)
{
    if (!FCombo->Valid(index))
        Error("List index out of bounds (%d)", index);
    FCombo->DeleteItem(index);
}

void TComboBoxStrings::Clear() { FCombo->ResetContent(); }

int TComboBoxStrings::IndexOf(const std::string& s) const { return FCombo->FindString(-1, s, true); }

void TComboBoxStrings::SetUpdateState(bool updating)
{
    FCombo->FUpdateCount += updating ? 1 : -1;
    if (!updating)
        FCombo->SyncItems();
}

// --- TCustomComboBox ---------------------------------------------------------------------------------

TCustomComboBox::TCustomComboBox(TComponent* AOwner)
    : TWinControl(AOwner), FItems(std::make_unique<TComboBoxStrings>(this)), FCanvas(std::make_unique<TControlCanvas>())
{
    ControlStyle = TControlStyle{csSetCaption, csDoubleClicks, csFixedHeight};
    FCanvas->SetControl(this);
    SetTabStop(true);
    SetParentColor(false);
    SetBounds(0, 0, 145, StdCtrl::TextHeight(*Font()) + 10);
}

TCustomComboBox::~TCustomComboBox() = default;

QComboBox* TCustomComboBox::Combo() const { return FHost ? qobject_cast<QComboBox*>(FHost->Widget()) : nullptr; }

void TCustomComboBox::CreateParams(TCreateParams& Params)
{
    TWinControl::CreateParams(Params);
    Params.WinClassName = "COMBOBOX";
    Params.Style |= WS_VSCROLL | CBS_AUTOHSCROLL | CBS_HASSTRINGS | WS_TABSTOP;
    switch (FStyle) {
    case csDropDown:
        Params.Style |= CBS_DROPDOWN;
        break;
    case csSimple:
        Params.Style |= CBS_SIMPLE;
        break;
    case csDropDownList:
        Params.Style |= CBS_DROPDOWNLIST;
        break;
    case csOwnerDrawFixed:
        Params.Style |= CBS_DROPDOWNLIST | CBS_OWNERDRAWFIXED;
        break;
    case csOwnerDrawVariable:
        Params.Style |= CBS_DROPDOWNLIST | CBS_OWNERDRAWVARIABLE;
        break;
    }
    if (FSorted)
        Params.Style |= CBS_SORT;
}

IHostWidget* TCustomComboBox::CreateHost(const TCreateParams&, void* parentWidget)
{
    auto* host = new TComboHost(this, static_cast<QWidget*>(parentWidget), FStyle);
    host->setFocusPolicy(Qt::ClickFocus);
    host->setContextMenuPolicy(Qt::NoContextMenu);
    host->setEditable(Editable());
    host->setInsertPolicy(QComboBox::NoInsert);
    host->SetEditPart(ToQRect(FEditPartRect));
    if (QLineEdit* edit = host->lineEdit()) {
        edit->setFrame(false);
        edit->installEventFilter(host);
        QObject::connect(edit, &QLineEdit::textEdited, host, [this] { UserTyped(); });
    }
    if (OwnerDraw())
        host->setItemDelegate(new TOwnerDrawDelegate(this, host));
    QObject::connect(host, qOverload<int>(&QComboBox::activated), host, [this](int index) { UserPicked(index); });
    if (QListView* list = host->SimpleList()) {
        // The simple style's list: a click picks the item into the edit part, a double click
        // also tells the parent.
        QObject::connect(list, &QListView::clicked, host, [this, host](const QModelIndex& index) {
            host->setCurrentIndex(index.row());
            UserPicked(index.row());
        });
        QObject::connect(list, &QListView::doubleClicked, host,
                         [this] { StdCtrl::NotifyParent(this, CBN_DBLCLK); });
        QObject::connect(host, qOverload<int>(&QComboBox::currentIndexChanged), list, [host, list](int index) {
            list->setCurrentIndex(host->model()->index(index, 0));
        });
    }
    return host;
}

void TCustomComboBox::CreateWnd()
{
    TWinControl::CreateWnd();
    // WS_VSCROLL of a combo box is its list's scroll bar, never one beside the control.
    ShowScrollBar(Handle(), SB_VERT, FALSE);
    SyncItems();
    ApplyState();
}

void TCustomComboBox::SetEditPartRect(const TRect& rect)
{
    FEditPartRect = rect;
    FEditPartRect.Right = std::max(rect.Right, rect.Left);
    FEditPartRect.Bottom = std::max(rect.Bottom, rect.Top);
    if (auto* host = dynamic_cast<TComboHost*>(Combo()))
        host->SetEditPart(ToQRect(FEditPartRect));
}

TRect TCustomComboBox::EditPartRect() const
{
    if (!Editable())
        return TRect{};
    if (auto* host = dynamic_cast<TComboHost*>(Combo())) {
        const QRect rect = host->lineEdit() ? host->lineEdit()->geometry() : host->EditPart();
        return Rect(rect.left(), rect.top(), rect.left() + rect.width(), rect.top() + rect.height());
    }
    return FEditPartRect;
}

void TCustomComboBox::DestroyWnd()
{
    FText = GetText();
    TWinControl::DestroyWnd();
}

void TCustomComboBox::ApplyState()
{
    QComboBox* combo = Combo();
    if (!combo)
        return;
    combo->setFont(StdCtrl::QtFont(*Font()));
    combo->setMaxVisibleItems(FDropDownCount);
    QPalette palette = combo->palette();
    palette.setColor(QPalette::Base, ToQColor(Color()));
    palette.setColor(QPalette::Text, ToQColor(Font()->Color()));
    combo->setPalette(palette);
}

void TCustomComboBox::SyncItems()
{
    QComboBox* combo = Combo();
    if (!combo || FUpdateCount > 0)
        return;
    QSignalBlocker blocker(combo);
    FSyncing = true;
    const QString text = combo->isEditable() ? combo->lineEdit()->text() : QString();
    combo->clear();
    QStringList items;
    items.reserve(Count());
    for (const TItem& item : FList)
        items << ToQString(item.Text);
    combo->addItems(items);
    combo->setCurrentIndex(FItemIndex);
    if (combo->isEditable())
        combo->lineEdit()->setText(FItemIndex >= 0 ? ToQString(FList[static_cast<std::size_t>(FItemIndex)].Text)
                                                   : (text.isEmpty() ? ToQString(FText) : text));
    FSyncing = false;
}

std::string TCustomComboBox::GetText() const
{
    if (QComboBox* combo = Combo()) {
        if (combo->isEditable())
            return ToAnsi(combo->lineEdit()->text());
        return FItemIndex >= 0 ? FList[static_cast<std::size_t>(FItemIndex)].Text : "";
    }
    if (!Editable())
        return FItemIndex >= 0 ? FList[static_cast<std::size_t>(FItemIndex)].Text : "";
    return FText;
}

int TCustomComboBox::InsertItem(int index, const std::string& text, bool sortedAdd)
{
    if (index < 0 || index > Count())
        index = Count();
    if (sortedAdd && FSorted) {
        int low = 0, high = Count();
        while (low < high) {
            const int middle = (low + high) / 2;
            if (LocaleCompare(FList[static_cast<std::size_t>(middle)].Text, text) <= 0)
                low = middle + 1;
            else
                high = middle;
        }
        index = low;
    }
    FList.insert(FList.begin() + index, TItem{text, 0});
    if (FItemIndex >= index)
        ++FItemIndex;
    if (QComboBox* combo = Combo(); combo && FUpdateCount == 0) {
        QSignalBlocker blocker(combo);
        const QString edit = combo->isEditable() ? combo->lineEdit()->text() : QString();
        combo->insertItem(index, ToQString(text));
        combo->setCurrentIndex(FItemIndex);
        if (combo->isEditable())
            combo->lineEdit()->setText(edit);
    }
    return index;
}

void TCustomComboBox::DeleteItem(int index)
{
    FList.erase(FList.begin() + index);
    if (FItemIndex == index)
        FItemIndex = -1;
    else if (FItemIndex > index)
        --FItemIndex;
    if (QComboBox* combo = Combo(); combo && FUpdateCount == 0) {
        QSignalBlocker blocker(combo);
        combo->removeItem(index);
        combo->setCurrentIndex(FItemIndex);
    }
}

void TCustomComboBox::ResetContent()
{
    FList.clear();
    FItemIndex = -1;
    if (QComboBox* combo = Combo()) {
        QSignalBlocker blocker(combo);
        combo->clear();
        if (combo->isEditable())
            combo->lineEdit()->clear();
    }
    FText.clear();
}

void TCustomComboBox::Clear()
{
    ResetContent();
    SetText("");
}

void TCustomComboBox::SetItemIndex(int value)
{
    if (!Valid(value))
        value = -1;
    FItemIndex = value;
    if (value >= 0)
        FText = FList[static_cast<std::size_t>(value)].Text;
    if (QComboBox* combo = Combo()) {
        QSignalBlocker blocker(combo);
        combo->setCurrentIndex(value);
        if (combo->isEditable()) {
            QSignalBlocker editBlocker(combo->lineEdit());
            combo->lineEdit()->setText(value >= 0 ? ToQString(FText) : QString());
        }
        combo->update();
    }
}

void TCustomComboBox::SetStyle(TComboBoxStyle value)
{
    if (FStyle == value)
        return;
    FStyle = value;
    if (HandleAllocated())
        RecreateWnd();
}

void TCustomComboBox::SetSorted(bool value)
{
    if (FSorted == value)
        return;
    FSorted = value;
    if (!value)
        return;
    const std::string current = FItemIndex >= 0 ? FList[static_cast<std::size_t>(FItemIndex)].Text : "";
    std::stable_sort(FList.begin(), FList.end(),
                     [](const TItem& a, const TItem& b) { return LocaleCompare(a.Text, b.Text) < 0; });
    if (FItemIndex >= 0)
        FItemIndex = FindString(-1, current, true);
    SyncItems();
}

void TCustomComboBox::SetDropDownCount(int value)
{
    FDropDownCount = std::max(value, 1);
    ApplyState();
}

int TCustomComboBox::ItemHeight() const { return OwnerDraw() ? FItemHeight : StdCtrl::TextHeight(*Font()); }

void TCustomComboBox::SetItemHeight(int value)
{
    if (value > 0)
        FItemHeight = value;
}

bool TCustomComboBox::DroppedDown() const
{
    QComboBox* combo = Combo();
    return combo && combo->view() && combo->view()->isVisible();
}

void TCustomComboBox::SetDroppedDown(bool value)
{
    HandleNeeded();
    if (QComboBox* combo = Combo()) {
        if (value)
            combo->showPopup();
        else
            combo->hidePopup();
    }
}

int TCustomComboBox::SelStart() const
{
    QComboBox* combo = Combo();
    if (!combo || !combo->lineEdit())
        return 0;
    QLineEdit* edit = combo->lineEdit();
    return edit->hasSelectedText() ? edit->selectionStart() : edit->cursorPosition();
}

int TCustomComboBox::SelLength() const
{
    QComboBox* combo = Combo();
    if (!combo || !combo->lineEdit())
        return 0;
    return combo->lineEdit()->selectionLength();
}

void TCustomComboBox::SetSelStart(int value)
{
    if (QComboBox* combo = Combo(); combo && combo->lineEdit())
        combo->lineEdit()->setCursorPosition(value);
}

void TCustomComboBox::SetSelLength(int value)
{
    if (QComboBox* combo = Combo(); combo && combo->lineEdit())
        combo->lineEdit()->setSelection(SelStart(), value);
}

std::string TCustomComboBox::SelText() const
{
    return GetText().substr(static_cast<std::size_t>(std::min<int>(SelStart(), static_cast<int>(GetText().size()))),
                            static_cast<std::size_t>(SelLength()));
}

int TCustomComboBox::FindString(int start, const std::string& text, bool exact) const
{
    const int count = Count();
    for (int n = 1; n <= count; ++n) {
        int i = (start + n) % count;
        if (i < 0)
            i += count;
        const std::string& item = FList[static_cast<std::size_t>(i)].Text;
        if (exact ? AnsiCompareText(item, text) == 0 : AnsiCompareText(item.substr(0, text.size()), text) == 0)
            return i;
    }
    return -1;
}

void TCustomComboBox::UserPicked(int index)
{
    if (FSyncing || !Valid(index))
        return;
    FItemIndex = index;
    FText = FList[static_cast<std::size_t>(index)].Text;
    StdCtrl::NotifyParent(this, CBN_SELCHANGE);
}

void TCustomComboBox::UserTyped()
{
    QComboBox* combo = Combo();
    if (!combo || !combo->lineEdit())
        return;
    // Typing leaves the list's selection, as in the class library.
    FItemIndex = -1;
    StdCtrl::NotifyParent(this, CBN_EDITCHANGE);
}

void TCustomComboBox::Change()
{
    if (OnChange)
        OnChange(this);
}

void TCustomComboBox::DropDown()
{
    if (OnDropDown)
        OnDropDown(this);
}

void TCustomComboBox::MeasureItem(int Index, int& Height)
{
    if (OnMeasureItem)
        OnMeasureItem(this, Index, Height);
}

int TCustomComboBox::MeasuredHeight(int index)
{
    int height = ItemHeight();
    if (FStyle == csOwnerDrawVariable) {
        MEASUREITEMSTRUCT measure;
        measure.CtlType = ODT_COMBOBOX;
        measure.CtlID = static_cast<UINT>(StdCtrl::ControlId(this));
        measure.itemID = static_cast<UINT>(index);
        measure.itemHeight = static_cast<UINT>(height);
        measure.itemData = Valid(index) ? FList[static_cast<std::size_t>(index)].Data : 0;
        StdCtrl::SendToParent(this, WM_MEASUREITEM, measure.CtlID, reinterpret_cast<LPARAM>(&measure));
        height = static_cast<int>(measure.itemHeight);
    }
    return height;
}

void TCustomComboBox::DrawItem(int Index, TRect Rect, TOwnerDrawState State)
{
    if (OnDrawItem) {
        OnDrawItem(this, Index, Rect, State);
        return;
    }
    FCanvas->FillRect(Rect);
    if (!Valid(Index))
        return;
    FCanvas->TextHeight("0");
    HDC dc = FCanvas->Handle();
    SetTextColor(dc, ColorToRGB(FCanvas->Font()->Color()));
    const int mode = SetBkMode(dc, TRANSPARENT);
    TRect textRect = Rect;
    textRect.Left += 2;
    DrawTextA(dc, FList[static_cast<std::size_t>(Index)].Text, -1, &textRect, DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX);
    SetBkMode(dc, mode);
}

void TCustomComboBox::DrawItemOn(HDC dc, int index, const TRect& rect, UINT state)
{
    DRAWITEMSTRUCT draw;
    draw.CtlType = ODT_COMBOBOX;
    draw.CtlID = static_cast<UINT>(StdCtrl::ControlId(this));
    draw.itemID = static_cast<UINT>(index);
    draw.itemAction = ODA_DRAWENTIRE;
    draw.itemState = state | (Enabled() ? 0 : ODS_DISABLED);
    draw.hwndItem = HandleAllocated() ? Handle() : nullptr;
    draw.hDC = dc;
    draw.rcItem = rect;
    draw.itemData = Valid(index) ? FList[static_cast<std::size_t>(index)].Data : 0;
    StdCtrl::SendToParent(this, WM_DRAWITEM, draw.CtlID, reinterpret_cast<LPARAM>(&draw));
}

LRESULT TCustomComboBox::ComboMessage(TMessage& Message, bool& handled)
{
    handled = true;
    const int index = static_cast<int>(static_cast<std::intptr_t>(Message.WParam));
    const auto* text = reinterpret_cast<const char*>(Message.LParam);
    switch (Message.Msg) {
    case CB_ADDSTRING:
        return InsertItem(-1, text ? text : "", true);
    case CB_INSERTSTRING:
        if (index < -1 || index > Count())
            return CB_ERR;
        return InsertItem(index, text ? text : "", false);
    case CB_DELETESTRING:
        if (!Valid(index))
            return CB_ERR;
        DeleteItem(index);
        return Count();
    case CB_RESETCONTENT:
        ResetContent();
        return CB_OKAY;
    case CB_GETCOUNT:
        return Count();
    case CB_GETCURSEL:
        return FItemIndex;
    case CB_SETCURSEL:
        SetItemIndex(index);
        return Valid(index) ? index : CB_ERR;
    case CB_GETLBTEXT:
        if (!Valid(index))
            return CB_ERR;
        if (Message.LParam) {
            const std::string& item = FList[static_cast<std::size_t>(index)].Text;
            std::memcpy(reinterpret_cast<char*>(Message.LParam), item.c_str(), item.size() + 1);
        }
        return static_cast<LRESULT>(FList[static_cast<std::size_t>(index)].Text.size());
    case CB_GETLBTEXTLEN:
        return Valid(index) ? static_cast<LRESULT>(FList[static_cast<std::size_t>(index)].Text.size()) : CB_ERR;
    case CB_GETITEMDATA:
        return Valid(index) ? static_cast<LRESULT>(FList[static_cast<std::size_t>(index)].Data) : CB_ERR;
    case CB_SETITEMDATA:
        if (!Valid(index))
            return CB_ERR;
        FList[static_cast<std::size_t>(index)].Data = static_cast<std::uintptr_t>(Message.LParam);
        return CB_OKAY;
    case CB_FINDSTRING:
    case CB_FINDSTRINGEXACT:
        return FindString(index, text ? text : "", Message.Msg == CB_FINDSTRINGEXACT);
    case CB_SELECTSTRING: {
        const int found = FindString(index, text ? text : "", false);
        if (found >= 0)
            SetItemIndex(found);
        return found;
    }
    case CB_SHOWDROPDOWN:
        SetDroppedDown(Message.WParam != 0);
        return TRUE;
    case CB_GETDROPPEDSTATE:
        return DroppedDown() ? TRUE : FALSE;
    case CB_GETDROPPEDCONTROLRECT:
        if (auto* rect = reinterpret_cast<TRect*>(Message.LParam)) {
            const TPoint origin = ClientToScreen({0, 0});
            *rect = Bounds(origin.X, origin.Y, Width(), Height() + FDropDownCount * ItemHeight());
        }
        return TRUE;
    case CB_SETITEMHEIGHT:
        if (LOWORD(static_cast<std::uintptr_t>(Message.LParam)) == 0)
            return CB_ERR;
        if (index >= 0 || !Editable())
            SetItemHeight(LOWORD(static_cast<std::uintptr_t>(Message.LParam)));
        return CB_OKAY;
    case CB_GETITEMHEIGHT:
        return index == -1 ? Height() - 6 : ItemHeight();
    case CB_LIMITTEXT:
        SetMaxLength(index);
        if (QComboBox* combo = Combo(); combo && combo->lineEdit())
            combo->lineEdit()->setMaxLength(index > 0 ? index : 32767);
        return TRUE;
    case CB_GETEDITSEL: {
        const int start = SelStart();
        const int end = start + SelLength();
        if (Message.WParam)
            *reinterpret_cast<DWORD*>(Message.WParam) = static_cast<DWORD>(start);
        if (Message.LParam)
            *reinterpret_cast<DWORD*>(Message.LParam) = static_cast<DWORD>(end);
        return MAKELRESULT(static_cast<WORD>(start), static_cast<WORD>(end));
    }
    case CB_SETEDITSEL: {
        if (!Editable())
            return CB_ERR;
        const int start = static_cast<SHORT>(LOWORD(static_cast<std::uintptr_t>(Message.LParam)));
        int end = static_cast<SHORT>(HIWORD(static_cast<std::uintptr_t>(Message.LParam)));
        if (end < 0)
            end = static_cast<int>(GetText().size());
        if (start >= 0) {
            SetSelStart(start);
            SetSelLength(std::max(end - start, 0));
        }
        return TRUE;
    }
    case CB_SETDROPPEDWIDTH:
        if (QComboBox* combo = Combo(); combo && combo->view())
            combo->view()->setMinimumWidth(index);
        return index;
    default:
        handled = false;
        return 0;
    }
}

void TCustomComboBox::Dispatch(TMessage& Message)
{
    if (Message.Msg >= CB_GETEDITSEL && Message.Msg <= CB_SETDROPPEDWIDTH) {
        bool handled = false;
        const LRESULT result = ComboMessage(Message, handled);
        if (handled) {
            Message.Result = result;
            return;
        }
    }
    switch (Message.Msg) {
    case WM_SETTEXT: {
        const std::string value = Message.LParam ? reinterpret_cast<const char*>(Message.LParam) : "";
        FText = value;
        if (QComboBox* combo = Combo(); combo && combo->isEditable()) {
            QSignalBlocker blocker(combo->lineEdit());
            combo->lineEdit()->setText(ToQString(value));
        }
        if (!Editable()) {
            const int found = FindString(-1, value, true);
            if (found >= 0)
                SetItemIndex(found);
        } else {
            FItemIndex = FindString(-1, value, true);
            if (QComboBox* combo = Combo()) {
                QSignalBlocker blocker(combo);
                combo->setCurrentIndex(FItemIndex);
                QSignalBlocker editBlocker(combo->lineEdit());
                combo->lineEdit()->setText(ToQString(value));
            }
        }
        Message.Result = TRUE;
        return;
    }
    case WM_GETTEXTLENGTH:
        Message.Result = static_cast<LRESULT>(GetText().size());
        return;
    case WM_GETTEXT: {
        const std::string text = GetText();
        if (Message.WParam == 0 || Message.LParam == 0)
            return;
        const std::size_t count = std::min<std::size_t>(text.size(), Message.WParam - 1);
        std::memcpy(reinterpret_cast<char*>(Message.LParam), text.data(), count);
        reinterpret_cast<char*>(Message.LParam)[count] = 0;
        Message.Result = static_cast<LRESULT>(count);
        return;
    }
    case WM_CHAR: {
        if (DoKeyPress(Message))
            return;
        const unsigned char ch = static_cast<unsigned char>(Message.WParam & 0xFF);
        if (ch >= 0x20 && Editable()) {
            std::string converted(1, static_cast<char>(ch));
            if (FCharCase == ecUpperCase)
                converted = AnsiUpperCase(converted);
            else if (FCharCase == ecLowerCase)
                converted = AnsiLowerCase(converted);
            if (FMaxLength > 0 && static_cast<int>(GetText().size()) - SelLength() >= FMaxLength) {
                StdCtrl::Beep();
                return;
            }
            Message.WParam = static_cast<unsigned char>(converted[0]);
        }
        DefaultHandler(Message);
        return;
    }
    case WM_GETDLGCODE:
        Message.Result = DLGC_WANTARROWS | DLGC_WANTCHARS;
        return;
    case CN_COMMAND:
        StdCtrl::MarkReflected();
        switch (HIWORD(Message.WParam)) {
        case CBN_SELCHANGE:
            Change();
            Click();
            break;
        case CBN_EDITCHANGE:
            Change();
            break;
        case CBN_DROPDOWN:
            DropDown();
            break;
        case CBN_CLOSEUP:
            if (OnCloseUp)
                OnCloseUp(this);
            break;
        case CBN_DBLCLK:
            DblClick();
            break;
        default:
            break;
        }
        return;
    case CN_DRAWITEM: {
        StdCtrl::MarkReflected();
        auto* draw = reinterpret_cast<DRAWITEMSTRUCT*>(Message.LParam);
        if (!draw)
            return;
        const TOwnerDrawState state = TOwnerDrawState::FromBits(draw->itemState & 0xFFFF);
        FCanvas->SetHandle(draw->hDC);
        FCanvas->SetFont(Font());
        FCanvas->Brush()->SetColor(Color());
        FCanvas->Brush()->SetStyle(bsSolid);
        if (static_cast<int>(draw->itemID) >= 0 && state.Contains(odSelected)) {
            FCanvas->Brush()->SetColor(clHighlight);
            FCanvas->Font()->SetColor(clHighlightText);
        }
        if (static_cast<int>(draw->itemID) >= 0)
            DrawItem(static_cast<int>(draw->itemID), draw->rcItem, state);
        else
            FCanvas->FillRect(draw->rcItem);
        if (state.Contains(odFocused))
            DrawFocusRect(draw->hDC, &draw->rcItem);
        FCanvas->SetHandle(nullptr);
        Message.Result = TRUE;
        return;
    }
    case CN_MEASUREITEM: {
        StdCtrl::MarkReflected();
        if (auto* measure = reinterpret_cast<MEASUREITEMSTRUCT*>(Message.LParam)) {
            int height = static_cast<int>(measure->itemHeight);
            MeasureItem(static_cast<int>(measure->itemID), height);
            measure->itemHeight = static_cast<UINT>(height);
        }
        Message.Result = TRUE;
        return;
    }
    case CM_FONTCHANGED:
    case CM_COLORCHANGED:
        TWinControl::Dispatch(Message);
        ApplyState();
        return;
    default:
        TWinControl::Dispatch(Message);
    }
}
