#pragma once
// List boxes painted by the layer, with the "LISTBOX" window class's messages: the items, their
// data, selection and drawing follow the list-box rules, and owner-drawn boxes draw through
// WM_DRAWITEM reflected as CN_DRAWITEM.

#include "platform/gui/Canvas.h"
#include "platform/gui/WinControl.h"
#include "platform/rtl/Lists.h"

#include <memory>
#include <vector>

constexpr UINT LB_ADDSTRING = 0x180, LB_INSERTSTRING = 0x181, LB_DELETESTRING = 0x182, LB_SELITEMRANGEEX = 0x183,
               LB_RESETCONTENT = 0x184, LB_SETSEL = 0x185, LB_SETCURSEL = 0x186, LB_GETSEL = 0x187,
               LB_GETCURSEL = 0x188, LB_GETTEXT = 0x189, LB_GETTEXTLEN = 0x18A, LB_GETCOUNT = 0x18B,
               LB_SELECTSTRING = 0x18C, LB_GETTOPINDEX = 0x18E, LB_FINDSTRING = 0x18F, LB_GETSELCOUNT = 0x190,
               LB_GETSELITEMS = 0x191, LB_SETTABSTOPS = 0x192, LB_GETHORIZONTALEXTENT = 0x193,
               LB_SETHORIZONTALEXTENT = 0x194, LB_SETCOLUMNWIDTH = 0x195, LB_SETTOPINDEX = 0x197,
               LB_GETITEMRECT = 0x198, LB_GETITEMDATA = 0x199, LB_SETITEMDATA = 0x19A, LB_SELITEMRANGE = 0x19B,
               LB_SETANCHORINDEX = 0x19C, LB_GETANCHORINDEX = 0x19D, LB_SETCARETINDEX = 0x19E,
               LB_GETCARETINDEX = 0x19F, LB_SETITEMHEIGHT = 0x1A0, LB_GETITEMHEIGHT = 0x1A1,
               LB_FINDSTRINGEXACT = 0x1A2, LB_ITEMFROMPOINT = 0x1A9;
constexpr LRESULT LB_OKAY = 0, LB_ERR = -1, LB_ERRSPACE = -2;
constexpr DWORD LBS_NOTIFY = 1, LBS_SORT = 2, LBS_NOREDRAW = 4, LBS_MULTIPLESEL = 8, LBS_OWNERDRAWFIXED = 0x10,
                LBS_OWNERDRAWVARIABLE = 0x20, LBS_HASSTRINGS = 0x40, LBS_USETABSTOPS = 0x80,
                LBS_NOINTEGRALHEIGHT = 0x100, LBS_MULTICOLUMN = 0x200, LBS_WANTKEYBOARDINPUT = 0x400,
                LBS_EXTENDEDSEL = 0x800, LBS_DISABLENOSCROLL = 0x1000;
constexpr WORD LBN_ERRSPACE = 0xFFFE, LBN_SELCHANGE = 1, LBN_DBLCLK = 2, LBN_SELCANCEL = 3, LBN_SETFOCUS = 4,
               LBN_KILLFOCUS = 5;

// Owner drawing, shared by list boxes, combo boxes and menus.
constexpr UINT ODT_MENU = 1, ODT_LISTBOX = 2, ODT_COMBOBOX = 3, ODT_BUTTON = 4;
constexpr UINT ODA_DRAWENTIRE = 1, ODA_SELECT = 2, ODA_FOCUS = 4;
constexpr UINT ODS_SELECTED = 1, ODS_GRAYED = 2, ODS_DISABLED = 4, ODS_CHECKED = 8, ODS_FOCUS = 0x10,
               ODS_DEFAULT = 0x20, ODS_HOTLIGHT = 0x40, ODS_INACTIVE = 0x80, ODS_NOACCEL = 0x100,
               ODS_NOFOCUSRECT = 0x200, ODS_COMBOBOXEDIT = 0x1000;
// Each member is the bit of the ODS_* value with its position.
enum TOwnerDrawStateFlag {
    odSelected, odGrayed, odDisabled, odChecked, odFocused, odDefault, odHotLight, odInactive, odNoAccel,
    odNoFocusRect, odReserved1, odReserved2, odComboBoxEdit
};
using TOwnerDrawState = TSet<TOwnerDrawStateFlag>;

class TWinControl;
using TDrawItemEvent = std::function<void(TWinControl* Control, int Index, TRect Rect, TOwnerDrawState State)>;
using TMeasureItemEvent = std::function<void(TWinControl* Control, int Index, int& Height)>;

enum TListBoxStyle { lbStandard, lbOwnerDrawFixed, lbOwnerDrawVariable };

class TCustomListBox;

class TListBoxStrings : public TStrings {
    TESS_CLASS(TListBoxStrings, TStrings)
public:
    explicit TListBoxStrings(TCustomListBox* listBox) : FListBox(listBox) {}
    int Add(const std::string& s) override;
    void Clear() override;
    void Delete(int index) override;
    void Insert(int index, const std::string& s) override;
    int IndexOf(const std::string& s) const override;

protected:
    std::string Get(int index) const override;
    void Put(int index, const std::string& s) override;
    TObject* GetObject(int index) const override;
    void PutObject(int index, TObject* object) override;
    int GetCount() const override;
    void SetUpdateState(bool updating) override;

private:
    TCustomListBox* FListBox;
};

class TCustomListBox : public TWinControl {
    TESS_CLASS(TCustomListBox, TWinControl)
public:
    explicit TCustomListBox(TComponent* AOwner);
    ~TCustomListBox() override;

    TStrings* Items() const { return FItems.get(); }
    void SetItems(TStrings* value) { FItems->Assign(value); }
    int ItemIndex() const;
    void SetItemIndex(int value);
    bool Selected(int index) const;
    void SetSelected(int index, bool value);
    int SelCount() const;
    bool MultiSelect() const { return FMultiSelect; }
    void SetMultiSelect(bool value);
    bool ExtendedSelect() const { return FExtendedSelect; }
    void SetExtendedSelect(bool value) { FExtendedSelect = value; }
    bool Sorted() const { return FSorted; }
    void SetSorted(bool value);
    TListBoxStyle Style() const { return FStyle; }
    void SetStyle(TListBoxStyle value);
    int ItemHeight() const;
    void SetItemHeight(int value);
    bool IntegralHeight = false;
    int Columns() const { return FColumns; }
    void SetColumns(int value);
    int TabWidth() const { return FTabWidth; }
    void SetTabWidth(int value);
    int TopIndex() const { return FTopIndex; }
    void SetTopIndex(int value);
    TBorderStyle BorderStyle() const { return FBorderStyle; }
    void SetBorderStyle(TBorderStyle value);
    // The item at pos (client coordinates); with existing false, one past the last below the items.
    int ItemAtPos(TPoint pos, bool existing) const;
    TRect ItemRect(int index) const;
    TCanvas* Canvas() const { return FCanvas.get(); }
    void Clear();

    TDrawItemEvent OnDrawItem;
    TMeasureItemEvent OnMeasureItem;
    void Dispatch(TMessage& Message) override;

protected:
    void CreateParams(TCreateParams& Params) override;
    virtual void DrawItem(int Index, TRect Rect, TOwnerDrawState State);
    virtual void MeasureItem(int Index, int& Height);
    void Paint() override;
    void MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) override;
    void MouseMove(TShiftState Shift, int X, int Y) override;
    void MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y) override;
    void KeyDown(WORD& Key, TShiftState Shift) override;
    void KeyPress(char& Key) override;
    void BoundsChanged(bool moved, bool resized) override;
    void CreateWnd() override;

private:
    friend class TListBoxStrings;
    friend class TListBoxWindow;
    // The window the list lives in: the list box itself, or the control a TListBoxWindow serves.
    TWinControl* FWindow = this;
    // Without LBS_NOTIFY the window tells its parent nothing.
    bool FNotify = true;
    void Notify(WORD code);
    struct TItem {
        std::string Text;
        std::uintptr_t Data = 0;
        bool Selected = false;
        int Height = 0;
    };
    bool MultiSel() const { return FMultiSelect; }
    bool OwnerDraw() const { return FStyle != lbStandard; }
    int Count() const { return static_cast<int>(FList.size()); }
    bool Valid(int index) const { return index >= 0 && index < Count(); }
    // Adds (index -1 or sorted) or inserts an item; returns its index.
    int InsertItem(int index, const std::string& text, bool sortedAdd);
    void DeleteItem(int index);
    void ResetContent();
    int HeightOf(int index) const;
    int VisibleHeight() const;
    int FindString(int start, const std::string& text, bool exact) const;
    // The user changed the selection: caret moves, LBN_SELCHANGE goes to the parent.
    void UserSelect(int index, TShiftState shift, bool fromMouse);
    void SetCaret(int index);
    void MakeVisible(int index);
    void Changed();
    void UpdateScrollBars();
    void SelectRange(int from, int to, bool value);
    void DrawItemStruct(DRAWITEMSTRUCT& draw);
    void DrawTabbedText(const std::string& text, const TRect& rect);
    void MeasureItemStruct(MEASUREITEMSTRUCT& measure);
    LRESULT ListMessage(TMessage& Message, bool& handled);

    std::unique_ptr<TListBoxStrings> FItems;
    std::unique_ptr<TControlCanvas> FCanvas;
    std::vector<TItem> FList;
    int FCaret = -1;
    int FAnchor = -1;
    int FTopIndex = 0;
    int FItemHeight = 16;
    bool FItemHeightSet = false;
    bool FMultiSelect = false;
    bool FExtendedSelect = true;
    bool FSorted = false;
    TListBoxStyle FStyle = lbStandard;
    int FColumns = 0;
    int FTabWidth = 0;
    // LB_SETTABSTOPS in dialog units; empty: tabs expand as DrawText does.
    std::vector<int> FTabStops;
    int FHorizontalExtent = 0;
    int FLeftOffset = 0;
    int FUpdateCount = 0;
    bool FMouseSelecting = false;
    TBorderStyle FBorderStyle = bsSingle;
};

// The "LISTBOX" window's own processing for a control that names the class in CreateParams
// without being a list box of the class library: the items and the list-box rules live here, while
// painting, input, scroll bars and notifications belong to the control's window.
class TListBoxWindow : public TCustomListBox {
    TESS_CLASS(TListBoxWindow, TCustomListBox)
public:
    TListBoxWindow(TWinControl* window, DWORD style);
    // Answers the message as the window's default processing does; false when it has no answer.
    bool WindowMessage(TMessage& Message);
    // Draws the items into the window's client area during its paint.
    void PaintWindow() { Paint(); }

private:
    void AskItemHeight();
};

class TListBox : public TCustomListBox {
    TESS_CLASS(TListBox, TCustomListBox)
public:
    explicit TListBox(TComponent* AOwner) : TCustomListBox(AOwner) {}
};
