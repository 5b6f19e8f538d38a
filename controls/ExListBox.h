#pragma once
// List boxes of the control library: TTextListBox is the class library's list box whose
// horizontal scroll range always fits its widest item; TExCustomListBox is a list box of its own
// over the "LISTBOX" window, with the same horizontal range, a grey selection while unfocused,
// owner drawing, a per-item width callback and items that survive re-creation of its window.

#include "platform/gui/Canvas.h"
#include "platform/gui/ListBox.h"
#include "platform/gui/WinControl.h"
#include "platform/rtl/Lists.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

using TGetItemWidthEvent = std::function<void(TWinControl* Control, int Index, int& Width)>;

// The width an item takes on canvas: its text followed by "x", tab-expanded with one stop every
// round(width of "0" x tabWidth x 0.25) pixels when tabWidth (dialog units) is positive.
int ListItemTextWidth(TCanvas* canvas, const std::string& text, int tabWidth);

class TTextListBox : public TCustomListBox {
    TESS_CLASS(TTextListBox, TCustomListBox)
public:
    explicit TTextListBox(TComponent* AOwner);
    void Dispatch(TMessage& Message) override;

private:
    int MeasureText(const std::string& text);
    void SetExtent();
    void ScrollLeft();
    void RecomputeWidest();
    void RemeasureAll();

    int FMaxItemWidth = 0;
    // The width of each item in list order, so that the widest is found again without measuring.
    std::vector<int> FWidths;
};

class TExCustomListBox;

// The items of a TExCustomListBox, kept in its window and reached through the list box messages.
class TExListBoxStrings : public TStrings {
    TESS_CLASS(TExListBoxStrings, TStrings)
public:
    explicit TExListBoxStrings(TExCustomListBox* listBox) : FListBox(listBox) {}
    int Add(const std::string& s) override;
    void Clear() override;
    void Delete(int index) override;
    void Insert(int index, const std::string& s) override;
    TExCustomListBox* ListBox() const { return FListBox; }

protected:
    std::string Get(int index) const override;
    TObject* GetObject(int index) const override;
    void PutObject(int index, TObject* object) override;
    int GetCount() const override;
    void SetUpdateState(bool updating) override;

private:
    TExCustomListBox* FListBox;
};

class TExCustomListBox : public TWinControl {
    TESS_CLASS(TExCustomListBox, TWinControl)
public:
    explicit TExCustomListBox(TComponent* AOwner);
    ~TExCustomListBox() override;

    TStrings* Items() const { return FItems.get(); }
    void AssignItems(TStrings* Value) { SetItems(Value); }
    TBorderStyle BorderStyle() const { return FBorderStyle; }
    void SetBorderStyle(TBorderStyle Value);
    int Columns() const { return FColumns; }
    void SetColumns(int Value);
    bool ExtendedSelect() const { return FExtendedSelect; }
    void SetExtendedSelect(bool Value);
    bool IntegralHeight() const { return FIntegralHeight; }
    void SetIntegralHeight(bool Value);
    int ItemHeight();
    void SetItemHeight(int Value);
    bool MultiSelect() const { return FMultiSelect; }
    void SetMultiSelect(bool Value);
    bool Sorted() const { return FSorted; }
    void SetSorted(bool Value);
    TListBoxStyle Style() const { return FStyle; }
    void SetStyle(TListBoxStyle Value);
    int TabWidth() const { return FTabWidth; }
    void SetTabWidth(int Value);
    bool AutoScroll() const { return FAutoScroll; }
    void SetAutoScroll(bool Value);
    bool GraySelection() const { return FGraySelection; }
    void SetGraySelection(bool Value);

    int ItemIndex();
    void SetItemIndex(int Value);
    int TopIndex();
    void SetTopIndex(int Value);
    int SelCount();
    bool Selected(int Index);
    void SetSelected(int Index, bool Value);

    void Clear();
    // -1 outside the client area; below the items the item count, or -1 when existing is true.
    int ItemAtPos(TPoint Pos, bool Existing);
    TRect ItemRect(int Index);
    TCanvas* Canvas() const { return FCanvas.get(); }

    TDrawItemEvent OnDrawItem() const { return FOnDrawItem; }
    void SetOnDrawItem(TDrawItemEvent Value);
    TMeasureItemEvent OnMeasureItem;
    TGetItemWidthEvent OnGetItemWidth() const { return FOnGetItemWidth; }
    void SetOnGetItemWidth(TGetItemWidthEvent Value);

    void Dispatch(TMessage& Message) override;
    // Sends a message to the list box window, which is made first when it does not exist yet.
    LRESULT SendList(UINT Msg, WPARAM WParam = 0, LPARAM LParam = 0);

protected:
    void CreateParams(TCreateParams& Params) override;
    void CreateWnd() override;
    void DestroyWnd() override;
    void DragCanceled() override;

    virtual int GetItemHeight();
    virtual std::unique_ptr<TExListBoxStrings> CreateItemList();
    virtual int GetItemWidth(int Index);
    virtual void DrawItem(int Index, TRect Rect, TOwnerDrawState State);
    // The default drawing: the rectangle filled and the text 2 pixels in, centred vertically.
    void DrawItemText(int Index, TRect Rect);
    virtual void MeasureItem(int Index, int& Height);
    virtual void SetItems(TStrings* Value);
    virtual std::intptr_t GetItemData(int Index);
    virtual void SetItemData(int Index, std::intptr_t Data);
    virtual void ResetContent();
    virtual void DeleteString(int Index);
    // The draw-item notification (CN_DRAWITEM); descendants may move the rectangle first.
    virtual void DrawItemNotification(DRAWITEMSTRUCT& Draw);
    virtual void FontChanged();
    // Selection changed by the user.
    virtual void Changed() {}

    // The horizontal range: the widest item recomputed, scrolled fully left.
    void ResetHorizontalExtent();
    void SetHorizontalExtent();
    bool HorizontalExtentOn() const { return FAutoScroll && FColumns == 0; }
    void ScrollFullyLeft();
    bool UpdatingItems() const { return FItems->UpdateCount() > 0; }

    std::unique_ptr<TExListBoxStrings> FItems;
    TBorderStyle FBorderStyle = bsSingle;
    std::unique_ptr<TControlCanvas> FCanvas;
    int FColumns = 0;
    int FItemHeight = 16;
    TListBoxStyle FStyle = lbStandard;
    bool FIntegralHeight = false;
    bool FMultiSelect = false;
    bool FSorted = false;
    bool FExtendedSelect = true;
    int FTabWidth = 0;
    std::unique_ptr<TStringList> FSaveItems;
    int FSaveTopIndex = 0;
    int FSaveItemIndex = -1;
    bool FAutoScroll = false;
    bool FGraySelection = false;
    int FMaxItemWidth = 0;
    // Set while the control itself goes: its items are not kept for a new window.
    bool FDestroyingList = false;

private:
    friend class TExListBoxStrings;
    void MouseButtonDown(TMessage& Message);
    void SetColumnWidth();
    void SetTabStops();
    bool AutomaticDrag() const;
    int TabStopPixels();

    TDrawItemEvent FOnDrawItem;
    TGetItemWidthEvent FOnGetItemWidth;
};

class TExListBox : public TExCustomListBox {
    TESS_CLASS(TExListBox, TExCustomListBox)
public:
    explicit TExListBox(TComponent* AOwner) : TExCustomListBox(AOwner) {}
};

// Registers the published properties of the list boxes with the type information.
void RegisterListBoxProperties();
