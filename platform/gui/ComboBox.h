#pragma once
// Combo boxes over a Qt combo box, with the "COMBOBOX" window class's messages. OnChange fires
// only for the user's typing and picking, as in the class library; owner-drawn styles draw each
// item (and the edit part of a drop-down list) through WM_DRAWITEM reflected as CN_DRAWITEM.

#include "platform/gui/Edit.h"
#include "platform/gui/ListBox.h"

constexpr UINT CB_GETEDITSEL = 0x140, CB_LIMITTEXT = 0x141, CB_SETEDITSEL = 0x142, CB_ADDSTRING = 0x143,
               CB_DELETESTRING = 0x144, CB_GETCOUNT = 0x146, CB_GETCURSEL = 0x147, CB_GETLBTEXT = 0x148,
               CB_GETLBTEXTLEN = 0x149, CB_INSERTSTRING = 0x14A, CB_RESETCONTENT = 0x14B, CB_FINDSTRING = 0x14C,
               CB_SELECTSTRING = 0x14D, CB_SETCURSEL = 0x14E, CB_SHOWDROPDOWN = 0x14F, CB_GETITEMDATA = 0x150,
               CB_SETITEMDATA = 0x151, CB_GETDROPPEDCONTROLRECT = 0x152, CB_SETITEMHEIGHT = 0x153,
               CB_GETITEMHEIGHT = 0x154, CB_GETDROPPEDSTATE = 0x157, CB_FINDSTRINGEXACT = 0x158,
               CB_SETDROPPEDWIDTH = 0x160;
constexpr LRESULT CB_OKAY = 0, CB_ERR = -1, CB_ERRSPACE = -2;
constexpr DWORD CBS_SIMPLE = 1, CBS_DROPDOWN = 2, CBS_DROPDOWNLIST = 3, CBS_OWNERDRAWFIXED = 0x10,
                CBS_OWNERDRAWVARIABLE = 0x20, CBS_AUTOHSCROLL = 0x40, CBS_OEMCONVERT = 0x80, CBS_SORT = 0x100,
                CBS_HASSTRINGS = 0x200, CBS_NOINTEGRALHEIGHT = 0x400, CBS_DISABLENOSCROLL = 0x800;
constexpr WORD CBN_ERRSPACE = 0xFFFF, CBN_SELCHANGE = 1, CBN_DBLCLK = 2, CBN_SETFOCUS = 3, CBN_KILLFOCUS = 4,
               CBN_EDITCHANGE = 5, CBN_EDITUPDATE = 6, CBN_DROPDOWN = 7, CBN_CLOSEUP = 8, CBN_SELENDOK = 9,
               CBN_SELENDCANCEL = 10;

enum TComboBoxStyle { csDropDown, csSimple, csDropDownList, csOwnerDrawFixed, csOwnerDrawVariable };

class TCustomComboBox;
class QComboBox;

class TComboBoxStrings : public TStrings {
    TESS_CLASS(TComboBoxStrings, TStrings)
public:
    explicit TComboBoxStrings(TCustomComboBox* combo) : FCombo(combo) {}
    int Add(const std::string& s) override;
    void Clear() override;
    void Delete(int index) override;
    void Insert(int index, const std::string& s) override;
    // Without regard to case.
    int IndexOf(const std::string& s) const override;

protected:
    std::string Get(int index) const override;
    void Put(int index, const std::string& s) override;
    TObject* GetObject(int index) const override;
    void PutObject(int index, TObject* object) override;
    int GetCount() const override;
    void SetUpdateState(bool updating) override;

private:
    TCustomComboBox* FCombo;
};

class TCustomComboBox : public TWinControl {
    TESS_CLASS(TCustomComboBox, TWinControl)
public:
    explicit TCustomComboBox(TComponent* AOwner);
    ~TCustomComboBox() override;

    TComboBoxStyle Style() const { return FStyle; }
    void SetStyle(TComboBoxStyle value);
    TStrings* Items() const { return FItems.get(); }
    void SetItems(TStrings* value) { FItems->Assign(value); }
    int ItemIndex() const { return FItemIndex; }
    // Out of range sets -1. No event fires.
    void SetItemIndex(int value);
    std::string GetText() const override;
    bool Sorted() const { return FSorted; }
    void SetSorted(bool value);
    int DropDownCount() const { return FDropDownCount; }
    void SetDropDownCount(int value);
    int ItemHeight() const;
    void SetItemHeight(int value);
    int MaxLength() const { return FMaxLength; }
    void SetMaxLength(int value) { FMaxLength = std::max(value, 0); }
    bool DroppedDown() const;
    void SetDroppedDown(bool value);
    int SelStart() const;
    void SetSelStart(int value);
    int SelLength() const;
    void SetSelLength(int value);
    std::string SelText() const;
    TEditCharCase CharCase() const { return FCharCase; }
    void SetCharCase(TEditCharCase value) { FCharCase = value; }
    TCanvas* Canvas() const { return FCanvas.get(); }
    void Clear();

    TNotifyEvent OnChange;
    TNotifyEvent OnDropDown;
    TNotifyEvent OnCloseUp;
    TDrawItemEvent OnDrawItem;
    TMeasureItemEvent OnMeasureItem;
    void Dispatch(TMessage& Message) override;

    // For the layer's Qt pieces: draws item index (-1: none) into dc within rect.
    void DrawItemOn(HDC dc, int index, const TRect& rect, UINT state);
    int MeasuredHeight(int index);
    // Where the edit part lies, in client coordinates; empty for the list styles.
    TRect EditPartRect() const;

protected:
    void CreateParams(TCreateParams& Params) override;
    IHostWidget* CreateHost(const TCreateParams& Params, void* parentWidget) override;
    void CreateWnd() override;
    void DestroyWnd() override;
    virtual void Change();
    virtual void DropDown();
    virtual void DrawItem(int Index, TRect Rect, TOwnerDrawState State);
    virtual void MeasureItem(int Index, int& Height);
    bool OwnerDraw() const { return FStyle == csOwnerDrawFixed || FStyle == csOwnerDrawVariable; }
    bool Editable() const { return FStyle == csDropDown || FStyle == csSimple; }
    // Keeps the edit part at rect (client coordinates, sizes below 0 taken as 0) through every
    // later resize and window re-creation, in place of the combo's own placement; a rect
    // of no size gives the placement back to the combo.
    void SetEditPartRect(const TRect& rect);

private:
    friend class TComboBoxStrings;
    struct TItem {
        std::string Text;
        std::uintptr_t Data = 0;
    };
    QComboBox* Combo() const;
    int Count() const { return static_cast<int>(FList.size()); }
    bool Valid(int index) const { return index >= 0 && index < Count(); }
    int InsertItem(int index, const std::string& text, bool sortedAdd);
    void DeleteItem(int index);
    void ResetContent();
    void SyncItems();
    void ApplyState();
    int FindString(int start, const std::string& text, bool exact) const;
    void UserPicked(int index);
    void UserTyped();
    LRESULT ComboMessage(TMessage& Message, bool& handled);

    std::unique_ptr<TComboBoxStrings> FItems;
    std::unique_ptr<TControlCanvas> FCanvas;
    std::vector<TItem> FList;
    TComboBoxStyle FStyle = csDropDown;
    int FItemIndex = -1;
    std::string FText;
    bool FSorted = false;
    int FDropDownCount = 8;
    int FItemHeight = 16;
    int FMaxLength = 0;
    TEditCharCase FCharCase = ecNormal;
    int FUpdateCount = 0;
    bool FSyncing = false;
    TRect FEditPartRect{};
};

class TComboBox : public TCustomComboBox {
    TESS_CLASS(TComboBox, TCustomComboBox)
public:
    explicit TComboBox(TComponent* AOwner) : TCustomComboBox(AOwner) {}
};
