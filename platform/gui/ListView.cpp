// List views.

#include "platform/gui/ListView.h"

#include "platform/gui/DeviceContext.h"
#include "platform/gui/private/ControlHost.h"
#include "platform/gui/private/GdiInternals.h"
#include "platform/gui/private/QtBridge.h"
#include "platform/gui/private/StdCtrlSupport.h"
#include "platform/rtl/TextUtils.h"

#include <QHeaderView>
#include <QListView>
#include <QSignalBlocker>
#include <QStandardItemModel>
#include <QTreeView>

#include <algorithm>

namespace {

[[noreturn]] void OutOfBounds(int index)
{
    RAISE(EStringListError("List index out of bounds (" + std::to_string(index) + ")"));
}

QIcon IconOf(TCustomImageList* images, int index)
{
    if (!images || index < 0 || index >= images->Count())
        return QIcon();
    QImage image(images->Width(), images->Height(), QImage::Format_RGB32);
    image.fill(ToQColor(clWindow));
    HDC dc = Gdi::CreateImageDC([&image](TDcSurface& surface) {
        surface.Image = &image;
        surface.Bounds = image.rect();
        return true;
    });
    ImageList_Draw(images->Handle(), index, dc, 0, 0, 0);
    DeleteDC(dc);
    return QIcon(QPixmap::fromImage(image));
}

// A column's alignment, which its heading follows as well as its cells.
Qt::Alignment ListViewColumnAlignment(TAlignment alignment)
{
    const Qt::Alignment horizontal = alignment == taRightJustify ? Qt::AlignRight
                                     : alignment == taCenter    ? Qt::AlignHCenter
                                                                : Qt::AlignLeft;
    return horizontal | Qt::AlignVCenter;
}

} // namespace

// --- Columns ---------------------------------------------------------------------------------------------

void TListColumn::SetCaption(const std::string& value)
{
    FCaption = value;
    FOwner->ItemsChanged();
}

void TListColumn::SetWidth(int value)
{
    FWidth = value;
    FOwner->ItemsChanged();
}

void TListColumn::SetAlignment(TAlignment value)
{
    FAlignment = value;
    FOwner->ItemsChanged();
}

TListColumns::~TListColumns() = default;

TListColumn* TListColumns::Add()
{
    FItems.push_back(std::make_unique<TListColumn>(FOwner));
    FOwner->ItemsChanged();
    return FItems.back().get();
}

TListColumn* TListColumns::Items(int index) const
{
    if (index < 0 || index >= Count())
        OutOfBounds(index);
    return FItems[static_cast<std::size_t>(index)].get();
}

void TListColumns::Delete(int index)
{
    Items(index);
    FItems.erase(FItems.begin() + index);
    FOwner->ItemsChanged();
}

void TListColumns::Clear()
{
    FItems.clear();
    FOwner->ItemsChanged();
}

// --- Items ---------------------------------------------------------------------------------------------

TListItem::TListItem(TListItems* owner) : FOwner(owner), FSubItems(std::make_unique<TStringList>())
{
    FSubItems->OnChange = [this](TObject*) {
        if (FOwner)
            FOwner->FOwner->ItemsChanged();
    };
}

TListItem::~TListItem() { FSubItems->OnChange = nullptr; }

void TListItem::SetCaption(const std::string& value)
{
    FCaption = value;
    FOwner->FOwner->ItemsChanged();
    if (FOwner->FOwner->OnItemChange)
        FOwner->FOwner->OnItemChange(FOwner->FOwner, this, ctText);
}

void TListItem::SetImageIndex(int value)
{
    FImageIndex = value;
    FOwner->FOwner->ItemsChanged();
}

bool TListItem::Selected() const { return FSelected; }

void TListItem::SetSelected(bool value)
{
    if (FSelected == value)
        return;
    TCustomListView* view = FOwner->FOwner;
    if (value && !view->MultiSelect())
        for (auto& item : FOwner->FItems)
            item->FSelected = false;
    FSelected = value;
    view->ItemsChanged();
    if (view->OnSelectItem)
        view->OnSelectItem(view, this, value);
}

bool TListItem::Focused() const { return FFocused; }

void TListItem::SetFocused(bool value)
{
    if (value)
        for (auto& item : FOwner->FItems)
            item->FFocused = false;
    FFocused = value;
    FOwner->FOwner->ItemsChanged();
}

int TListItem::Index() const { return FOwner->IndexOf(this); }

void TListItem::Delete() { FOwner->Delete(Index()); }

TListItems::~TListItems() = default;

TListItem* TListItems::Add() { return Insert(Count()); }

TListItem* TListItems::Insert(int index)
{
    if (index < 0 || index > Count())
        OutOfBounds(index);
    FItems.insert(FItems.begin() + index, std::make_unique<TListItem>(this));
    FOwner->ItemsChanged();
    return FItems[static_cast<std::size_t>(index)].get();
}

void TListItems::Delete(int index)
{
    Item(index);
    FItems.erase(FItems.begin() + index);
    FOwner->ItemsChanged();
}

void TListItems::Clear()
{
    FItems.clear();
    FOwner->ItemsChanged();
}

TListItem* TListItems::Item(int index) const
{
    if (index < 0 || index >= Count())
        OutOfBounds(index);
    return FItems[static_cast<std::size_t>(index)].get();
}

int TListItems::IndexOf(const TListItem* item) const
{
    for (int i = 0; i < Count(); ++i)
        if (FItems[static_cast<std::size_t>(i)].get() == item)
            return i;
    return -1;
}

void TListItems::BeginUpdate() { ++FUpdateCount; }

void TListItems::EndUpdate()
{
    if (FUpdateCount > 0 && --FUpdateCount == 0)
        FOwner->ItemsChanged();
}

// --- TCustomListView ---------------------------------------------------------------------------------------

TCustomListView::TCustomListView(TComponent* AOwner)
    : TWinControl(AOwner), FColumns(std::make_unique<TListColumns>(this)), FItems(std::make_unique<TListItems>(this))
{
    ControlStyle = TControlStyle{csCaptureMouse, csClickEvents, csDoubleClicks};
    SetTabStop(true);
    SetParentColor(false);
    SetBounds(0, 0, 250, 150);
}

TCustomListView::~TCustomListView()
{
    // The items go before the widget, without telling it.
    FSyncing = true;
    FItems.reset();
    FColumns.reset();
}

QAbstractItemView* TCustomListView::View() const
{
    return FHost ? qobject_cast<QAbstractItemView*>(FHost->Widget()) : nullptr;
}

void TCustomListView::CreateParams(TCreateParams& Params)
{
    TWinControl::CreateParams(Params);
    Params.WinClassName = "SysListView32";
    Params.ExStyle |= WS_EX_CLIENTEDGE;
}

IHostWidget* TCustomListView::CreateHost(const TCreateParams&, void* parentWidget)
{
    // The report view is a tree view with a header; the other views lay the items out in a list
    // view. Changing between the two kinds makes the window again.
    QAbstractItemView* view = nullptr;
    IHostWidget* host = nullptr;
    if (FViewStyle == vsReport) {
        auto* tree = new TControlHost<QTreeView>(this, static_cast<QWidget*>(parentWidget));
        tree->setRootIsDecorated(false);
        tree->setUniformRowHeights(true);
        tree->setItemsExpandable(false);
        tree->setAllColumnsShowFocus(true);
        tree->header()->setStretchLastSection(false);
        tree->header()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
        QObject::connect(tree->header(), &QHeaderView::sectionClicked, tree, [this](int section) {
            if (ColumnClick && OnColumnClick && FColumns && section < FColumns->Count())
                OnColumnClick(this, FColumns->Items(section));
        });
        view = tree;
        host = tree;
    } else {
        auto* list = new TControlHost<QListView>(this, static_cast<QWidget*>(parentWidget));
        view = list;
        host = list;
    }
    view->setFocusPolicy(Qt::ClickFocus);
    view->setContextMenuPolicy(Qt::NoContextMenu);
    view->setEditTriggers(QAbstractItemView::NoEditTriggers);
    view->setModel(new QStandardItemModel(view));
    QObject::connect(view->selectionModel(), &QItemSelectionModel::selectionChanged, view,
                     [this] { SelectionFromWidget(); });
    QObject::connect(view->selectionModel(), &QItemSelectionModel::currentChanged, view,
                     [this] { SelectionFromWidget(); });
    return host;
}

void TCustomListView::CreateWnd()
{
    TWinControl::CreateWnd();
    Rebuild();
}

void TCustomListView::ItemsChanged()
{
    if (!FSyncing && FItems && FItems->FUpdateCount == 0)
        Rebuild();
}

void TCustomListView::ApplyViewMode()
{
    auto* list = qobject_cast<QListView*>(View());
    if (!list)
        return;
    TCustomImageList* images = FViewStyle == vsIcon ? LargeImages : SmallImages;
    const int textHeight = StdCtrl::TextHeight(*Font());
    list->setMovement(QListView::Static);
    list->setResizeMode(QListView::Adjust);
    list->setWrapping(true);
    list->setUniformItemSizes(FViewStyle != vsIcon);
    if (FViewStyle == vsIcon) {
        // Large icons: a grid of cells 75 pixels wide, the caption centred under the icon.
        const QSize icon = images ? QSize(images->Width(), images->Height()) : QSize(32, 32);
        list->setViewMode(QListView::IconMode);
        list->setFlow(QListView::LeftToRight);
        list->setIconSize(icon);
        list->setGridSize(QSize(std::max(75, icon.width() + 8), icon.height() + 2 * textHeight + 10));
        list->setWordWrap(true);
        list->setSpacing(0);
        return;
    }
    const QSize icon = images ? QSize(images->Width(), images->Height()) : QSize(16, 16);
    list->setViewMode(QListView::ListMode);
    list->setIconSize(icon);
    list->setGridSize(QSize());
    list->setWordWrap(false);
    list->setSpacing(1);
    // Small icons fill rows from left to right; the list view fills columns from top to bottom.
    list->setFlow(FViewStyle == vsSmallIcon ? QListView::LeftToRight : QListView::TopToBottom);
}

void TCustomListView::Rebuild()
{
    QAbstractItemView* view = View();
    auto* model = view ? qobject_cast<QStandardItemModel*>(view->model()) : nullptr;
    if (!model || !FItems)
        return;
    FSyncing = true;
    QSignalBlocker viewBlocker(view);
    QSignalBlocker selectionBlocker(view->selectionModel());
    view->setFont(StdCtrl::QtFont(*Font()));
    const bool report = FViewStyle == vsReport;
    const int columns = report ? std::max(FColumns->Count(), 1) : 1;
    model->clear();
    model->setColumnCount(columns);
    view->setSelectionMode(FMultiSelect ? QAbstractItemView::ExtendedSelection : QAbstractItemView::SingleSelection);
    view->setSelectionBehavior(QAbstractItemView::SelectRows);
    TCustomImageList* images = FViewStyle == vsIcon ? LargeImages : SmallImages;
    if (auto* tree = qobject_cast<QTreeView*>(view)) {
        for (int c = 0; c < FColumns->Count(); ++c) {
            const TListColumn* column = FColumns->Items(c);
            model->setHeaderData(c, Qt::Horizontal, ToQString(column->Caption()));
            model->setHeaderData(c, Qt::Horizontal, QVariant::fromValue(ListViewColumnAlignment(column->Alignment())),
                                 Qt::TextAlignmentRole);
            tree->setColumnWidth(c, column->Width());
        }
        tree->header()->setSectionsClickable(ColumnClick);
        if (images)
            tree->setIconSize(QSize(images->Width(), images->Height()));
    } else {
        ApplyViewMode();
    }
    for (int i = 0; i < FItems->Count(); ++i) {
        TListItem* item = FItems->Item(i);
        QList<QStandardItem*> row;
        auto* first = new QStandardItem(ToQString(item->Caption()));
        if (images)
            first->setIcon(IconOf(images, item->ImageIndex()));
        if (FViewStyle == vsIcon)
            first->setTextAlignment(Qt::AlignHCenter | Qt::AlignTop);
        row << first;
        for (int s = 0; report && s + 1 < columns; ++s)
            row << new QStandardItem(s < item->SubItems()->Count() ? ToQString(item->SubItems()->Strings(s)) : QString());
        if (report)
            for (int c = 0; c < columns && c < FColumns->Count(); ++c)
                row[c]->setTextAlignment(ListViewColumnAlignment(FColumns->Items(c)->Alignment()));
        model->appendRow(row);
    }
    QItemSelection selection;
    for (int i = 0; i < FItems->Count(); ++i) {
        TListItem* item = FItems->Item(i);
        if (item->FSelected)
            selection.select(model->index(i, 0), model->index(i, columns - 1));
        if (item->FFocused)
            view->selectionModel()->setCurrentIndex(model->index(i, 0), QItemSelectionModel::NoUpdate);
    }
    view->selectionModel()->select(selection, QItemSelectionModel::ClearAndSelect);
    FSyncing = false;
}

void TCustomListView::SelectionFromWidget()
{
    QAbstractItemView* view = View();
    if (!view || FSyncing || !FItems)
        return;
    QItemSelectionModel* selection = view->selectionModel();
    const QModelIndex current = selection->currentIndex();
    std::vector<std::pair<TListItem*, bool>> changes;
    for (int i = 0; i < FItems->Count() && i < view->model()->rowCount(); ++i) {
        TListItem* item = FItems->Item(i);
        const bool selected = selection->isSelected(view->model()->index(i, 0));
        if (selected != item->FSelected) {
            item->FSelected = selected;
            changes.emplace_back(item, selected);
        }
        item->FFocused = current.isValid() && current.row() == i;
    }
    for (const auto& [item, selected] : changes) {
        if (OnSelectItem)
            OnSelectItem(this, item, selected);
        if (OnItemChange)
            OnItemChange(this, item, ctState);
    }
    if (!changes.empty() && OnChange)
        OnChange(this);
}

TListItem* TCustomListView::Selected() const
{
    for (int i = 0; i < FItems->Count(); ++i)
        if (FItems->Item(i)->FSelected)
            return FItems->Item(i);
    return nullptr;
}

void TCustomListView::SetSelected(TListItem* item)
{
    for (int i = 0; i < FItems->Count(); ++i)
        FItems->Item(i)->FSelected = false;
    if (item)
        item->SetSelected(true);
    else
        ItemsChanged();
}

int TCustomListView::ItemIndex() const
{
    TListItem* item = Selected();
    return item ? item->Index() : -1;
}

void TCustomListView::SetItemIndex(int value)
{
    SetSelected(value >= 0 && value < FItems->Count() ? FItems->Item(value) : nullptr);
}

void TCustomListView::SetViewStyle(TViewStyle value)
{
    if (FViewStyle == value)
        return;
    const bool kindChanges = (FViewStyle == vsReport) != (value == vsReport);
    FViewStyle = value;
    if (kindChanges && HandleAllocated())
        RecreateWnd();
    else
        ItemsChanged();
}

void TCustomListView::SetSortType(TSortType value)
{
    FSortType = value;
    if (value != stNone)
        AlphaSort();
}

void TCustomListView::SetRowSelect(bool value)
{
    FRowSelect = value;
    ItemsChanged();
}

void TCustomListView::SetMultiSelect(bool value)
{
    FMultiSelect = value;
    ItemsChanged();
}

bool TCustomListView::AlphaSort()
{
    auto& items = FItems->FItems;
    std::stable_sort(items.begin(), items.end(), [this](const auto& a, const auto& b) {
        int compare = 0;
        if (OnCompare)
            OnCompare(this, a.get(), b.get(), 0, compare);
        else if (FSortType == stData)
            compare = a->Data < b->Data ? -1 : a->Data > b->Data ? 1 : 0;
        else
            compare = AnsiCompareText(a->Caption(), b->Caption());
        return compare < 0;
    });
    ItemsChanged();
    return true;
}
