#pragma once
// List views: the report view over a Qt tree view with a header, the icon, small-icon and list
// views over a Qt list view, both showing one model of the items with their sub-items.

#include "platform/gui/ImageList.h"
#include "platform/gui/Label.h"
#include "platform/gui/WinControl.h"
#include "platform/rtl/Lists.h"

#include <memory>
#include <vector>

enum TViewStyle { vsIcon, vsSmallIcon, vsList, vsReport };
enum TSortType { stNone, stData, stText, stBoth };
enum TItemChange { ctText, ctImage, ctState };

class TCustomListView;
class TListItems;

class TListColumn : public TPersistent {
    TESS_CLASS(TListColumn, TPersistent)
public:
    explicit TListColumn(TCustomListView* owner) : FOwner(owner) {}
    const std::string& Caption() const { return FCaption; }
    void SetCaption(const std::string& value);
    int Width() const { return FWidth; }
    void SetWidth(int value);
    TAlignment Alignment() const { return FAlignment; }
    void SetAlignment(TAlignment value);

private:
    TCustomListView* FOwner;
    std::string FCaption;
    int FWidth = 50;
    TAlignment FAlignment = taLeftJustify;
};

class TListColumns : public TPersistent {
    TESS_CLASS(TListColumns, TPersistent)
public:
    explicit TListColumns(TCustomListView* owner) : FOwner(owner) {}
    ~TListColumns() override;
    TListColumn* Add();
    int Count() const { return static_cast<int>(FItems.size()); }
    // Raises EStringListError "List index out of bounds (%d)" out of range.
    TListColumn* Items(int index) const;
    void Delete(int index);
    void Clear();

private:
    TCustomListView* FOwner;
    std::vector<std::unique_ptr<TListColumn>> FItems;
};

class TListItem : public TPersistent {
    TESS_CLASS(TListItem, TPersistent)
public:
    explicit TListItem(TListItems* owner);
    ~TListItem() override;
    const std::string& Caption() const { return FCaption; }
    void SetCaption(const std::string& value);
    int ImageIndex() const { return FImageIndex; }
    void SetImageIndex(int value);
    TStrings* SubItems() const { return FSubItems.get(); }
    bool Selected() const;
    void SetSelected(bool value);
    bool Focused() const;
    void SetFocused(bool value);
    void* Data = nullptr;
    int Index() const;
    // Removes the item from its list and frees it.
    void Delete();
    TListItems* Owner() const { return FOwner; }

private:
    friend class TCustomListView;
    friend class TListItems;
    TListItems* FOwner;
    std::string FCaption;
    int FImageIndex = -1;
    std::unique_ptr<TStringList> FSubItems;
    bool FSelected = false;
    bool FFocused = false;
};

class TListItems : public TPersistent {
    TESS_CLASS(TListItems, TPersistent)
public:
    explicit TListItems(TCustomListView* owner) : FOwner(owner) {}
    ~TListItems() override;
    TListItem* Add();
    TListItem* Insert(int index);
    void Delete(int index);
    void Clear();
    int Count() const { return static_cast<int>(FItems.size()); }
    // Raises EStringListError "List index out of bounds (%d)" out of range.
    TListItem* Item(int index) const;
    int IndexOf(const TListItem* item) const;
    void BeginUpdate();
    void EndUpdate();
    TCustomListView* Owner() const { return FOwner; }

private:
    friend class TCustomListView;
    friend class TListItem;
    TCustomListView* FOwner;
    std::vector<std::unique_ptr<TListItem>> FItems;
    int FUpdateCount = 0;
};

using TLVSelectItemEvent = std::function<void(TObject* Sender, TListItem* Item, bool Selected)>;
using TLVCompareEvent = std::function<void(TObject* Sender, TListItem* Item1, TListItem* Item2, int Data, int& Compare)>;
using TLVColumnClickEvent = std::function<void(TObject* Sender, TListColumn* Column)>;
using TLVChangeEvent = std::function<void(TObject* Sender, TListItem* Item, TItemChange Change)>;

class QAbstractItemView;

class TCustomListView : public TWinControl {
    TESS_CLASS(TCustomListView, TWinControl)
public:
    explicit TCustomListView(TComponent* AOwner);
    ~TCustomListView() override;

    TViewStyle ViewStyle() const { return FViewStyle; }
    void SetViewStyle(TViewStyle value);
    TListColumns* Columns() const { return FColumns.get(); }
    TListItems* Items() const { return FItems.get(); }
    // The first selected item, nullptr when none.
    TListItem* Selected() const;
    void SetSelected(TListItem* item);
    int ItemIndex() const;
    void SetItemIndex(int value);
    TCustomImageList* LargeImages = nullptr;
    TCustomImageList* SmallImages = nullptr;
    TSortType SortType() const { return FSortType; }
    void SetSortType(TSortType value);
    bool AlphaSort();
    bool ReadOnly = false;
    bool RowSelect() const { return FRowSelect; }
    void SetRowSelect(bool value);
    bool MultiSelect() const { return FMultiSelect; }
    void SetMultiSelect(bool value);
    bool HideSelection = true;
    bool ColumnClick = true;
    TNotifyEvent OnChange;
    TLVSelectItemEvent OnSelectItem;
    TLVCompareEvent OnCompare;
    TLVColumnClickEvent OnColumnClick;
    TLVChangeEvent OnItemChange;

    // Puts the items, columns and selection on the Qt widget again.
    void Rebuild();

protected:
    IHostWidget* CreateHost(const TCreateParams& Params, void* parentWidget) override;
    void CreateParams(TCreateParams& Params) override;
    void CreateWnd() override;

private:
    friend class TListItem;
    friend class TListItems;
    friend class TListColumn;
    friend class TListColumns;
    QAbstractItemView* View() const;
    // Sets the list view's mode, flow and spacing for the icon, small-icon and list views.
    void ApplyViewMode();
    void ItemsChanged();
    void SelectionFromWidget();
    std::unique_ptr<TListColumns> FColumns;
    std::unique_ptr<TListItems> FItems;
    TViewStyle FViewStyle = vsIcon;
    TSortType FSortType = stNone;
    bool FRowSelect = false;
    bool FMultiSelect = false;
    bool FSyncing = false;
};

class TListView : public TCustomListView {
    TESS_CLASS(TListView, TCustomListView)
public:
    explicit TListView(TComponent* AOwner) : TCustomListView(AOwner) {}
};
