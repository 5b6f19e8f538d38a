// List views.

#include "platform/gui/ListView.h"

#include "platform/gui/DeviceContext.h"
#include "platform/gui/private/ControlHost.h"
#include "platform/gui/private/GdiInternals.h"
#include "platform/gui/private/QtBridge.h"
#include "platform/gui/private/StdCtrlSupport.h"
#include "platform/rtl/TextUtils.h"

#include <QHeaderView>
#include <QSignalBlocker>
#include <QTreeWidget>

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

QTreeWidget* TCustomListView::Tree() const { return FHost ? qobject_cast<QTreeWidget*>(FHost->Widget()) : nullptr; }

void TCustomListView::CreateParams(TCreateParams& Params)
{
    TWinControl::CreateParams(Params);
    Params.WinClassName = "SysListView32";
    Params.ExStyle |= WS_EX_CLIENTEDGE;
}

IHostWidget* TCustomListView::CreateHost(const TCreateParams&, void* parentWidget)
{
    auto* host = new TControlHost<QTreeWidget>(this, static_cast<QWidget*>(parentWidget));
    host->setFocusPolicy(Qt::ClickFocus);
    host->setRootIsDecorated(false);
    host->setUniformRowHeights(true);
    host->setContextMenuPolicy(Qt::NoContextMenu);
    QObject::connect(host, &QTreeWidget::itemSelectionChanged, host, [this] { SelectionFromWidget(); });
    QObject::connect(host->header(), &QHeaderView::sectionClicked, host, [this](int section) {
        if (ColumnClick && OnColumnClick && FColumns && section < FColumns->Count())
            OnColumnClick(this, FColumns->Items(section));
    });
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

void TCustomListView::Rebuild()
{
    QTreeWidget* tree = Tree();
    if (!tree || !FItems)
        return;
    FSyncing = true;
    QSignalBlocker blocker(tree);
    tree->clear();
    tree->setFont(StdCtrl::QtFont(*Font()));
    const bool report = FViewStyle == vsReport;
    const int columns = report ? std::max(FColumns->Count(), 1) : 1;
    tree->setColumnCount(columns);
    tree->setHeaderHidden(!report);
    tree->setSelectionMode(FMultiSelect ? QAbstractItemView::ExtendedSelection : QAbstractItemView::SingleSelection);
    tree->setSelectionBehavior(FRowSelect || !report ? QAbstractItemView::SelectRows : QAbstractItemView::SelectItems);
    QStringList headers;
    for (int c = 0; c < FColumns->Count(); ++c) {
        headers << ToQString(FColumns->Items(c)->Caption());
    }
    if (report) {
        tree->setHeaderLabels(headers);
        for (int c = 0; c < FColumns->Count(); ++c)
            tree->setColumnWidth(c, FColumns->Items(c)->Width());
    }
    TCustomImageList* images = FViewStyle == vsIcon ? LargeImages : SmallImages;
    if (images)
        tree->setIconSize(QSize(images->Width(), images->Height()));
    QList<QTreeWidgetItem*> rows;
    for (int i = 0; i < FItems->Count(); ++i) {
        TListItem* item = FItems->Item(i);
        auto* row = new QTreeWidgetItem;
        row->setText(0, ToQString(item->Caption()));
        if (report)
            for (int s = 0; s < item->SubItems()->Count() && s + 1 < columns; ++s)
                row->setText(s + 1, ToQString(item->SubItems()->Strings(s)));
        if (images)
            row->setIcon(0, IconOf(images, item->ImageIndex()));
        for (int c = 0; c < columns && report && c < FColumns->Count(); ++c) {
            const TAlignment alignment = FColumns->Items(c)->Alignment();
            row->setTextAlignment(c, (alignment == taRightJustify ? Qt::AlignRight
                                      : alignment == taCenter     ? Qt::AlignHCenter
                                                                  : Qt::AlignLeft) |
                                         Qt::AlignVCenter);
        }
        rows << row;
    }
    tree->addTopLevelItems(rows);
    for (int i = 0; i < FItems->Count(); ++i) {
        TListItem* item = FItems->Item(i);
        rows[i]->setSelected(item->FSelected);
        if (item->FFocused)
            tree->setCurrentItem(rows[i], 0, QItemSelectionModel::NoUpdate);
    }
    FSyncing = false;
}

void TCustomListView::SelectionFromWidget()
{
    QTreeWidget* tree = Tree();
    if (!tree || FSyncing || !FItems)
        return;
    std::vector<std::pair<TListItem*, bool>> changes;
    for (int i = 0; i < FItems->Count() && i < tree->topLevelItemCount(); ++i) {
        TListItem* item = FItems->Item(i);
        const bool selected = tree->topLevelItem(i)->isSelected();
        if (selected != item->FSelected) {
            item->FSelected = selected;
            changes.emplace_back(item, selected);
        }
        item->FFocused = tree->currentItem() == tree->topLevelItem(i);
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
    FViewStyle = value;
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
