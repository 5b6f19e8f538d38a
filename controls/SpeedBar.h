#pragma once
// The tool bar of the program's windows: a panel whose buttons belong to non-visual items grouped
// in named sections. The bar lays the buttons out on a snap grid, docks to an edge of its parent
// (the user may drag it to another one), paints bound lines and a wallpaper, and keeps its layout
// in an INI file or the registry. In the customise state, while its setup window is open, the
// buttons are dragged between the bar and the window and the bar is resized by whole rows.

#include "controls/EXCtrls.h"
#include "controls/Placemnt.h"
#include "platform/gui/Graphic.h"
#include "platform/gui/ImageList.h"
#include "platform/gui/Menus.h"
#include "platform/gui/Panel.h"
#include "platform/os/IniFiles.h"
#include "platform/os/Registry.h"
#include "platform/rtl/Exceptions.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

class TSpeedBar;
class TSpeedItem;
class TSpeedbarSection;
class TSpeedbarButton;
class TBtnControl;

enum TBarOrientation { boHorizontal, boVertical };
enum TBarPosition { bpAuto, bpCustom };
enum TSpeedbarOption { sbAllowDrag, sbAllowResize, sbFlatBtns, sbGrayedBtns, sbTransparentBtns, sbStretchBitmap };
using TSpeedbarOptions = TSet<TSpeedbarOption>;
enum TBoundLine { blTop, blBottom, blLeft, blRight };
using TBoundLines = TSet<TBoundLine>;
// Which sizes were given explicitly and so take part in scaling.
enum TSbScaleFlag { sfOffsetX, sfOffsetY, sfBtnSizeX, sfBtnSizeY };
using TSbScaleFlags = TSet<TSbScaleFlag>;

using TForEachItem = std::function<void(TSpeedItem* Item, std::intptr_t Data)>;
using TApplyAlignEvent = std::function<void(TObject* Sender, TAlign Align, bool& Apply)>;

TESS_EXCEPTION(ESpeedbarError, Exception)

// Sent by a bar to its setup window: WParam the code, LParam the bar.
constexpr UINT CM_SPEEDBARCHANGED = CM_BASE + 80;
constexpr WPARAM SBR_CHANGED = 0;
constexpr WPARAM SBR_DESTROYED = 1;
constexpr WPARAM SBR_BTNSIZECHANGED = 3;

class TSpeedbarSection : public TComponent {
    TESS_CLASS(TSpeedbarSection, TComponent)
public:
    explicit TSpeedbarSection(TComponent* AOwner);
    ~TSpeedbarSection() override;

    int Count() const { return static_cast<int>(FList.size()); }
    TSpeedItem* Items(int Index) const;
    const std::string& Caption() const { return FCaption; }
    // Raises ESpeedbarError "String list does not allow duplicates" when another section of the
    // bar has the caption.
    void SetCaption(const std::string& Value);
    // The position in the bar's section list, -1 while detached.
    int Index() const;
    // Clamped into the list; moves the section.
    void SetIndex(int Value);
    TSpeedBar* SpeedBar() const { return FSpeedbar; }
    // Detaches from the current bar and appends to the new one, keeping the former index.
    void SetSpeedbar(TSpeedBar* Value);
    // Destroys every item.
    void Clear();
    void RemoveItem(TSpeedItem* Item);

    bool HasParent() const override { return true; }
    TComponent* GetParentComponent() const override;
    void SetParentComponent(TComponent* Value);

private:
    friend class TSpeedBar;
    friend class TSpeedItem;
    std::vector<TSpeedItem*> FList;
    std::string FCaption;
    TSpeedBar* FSpeedbar = nullptr;
};

class TSpeedItem : public TComponent {
    TESS_CLASS(TSpeedItem, TComponent)
public:
    explicit TSpeedItem(TComponent* AOwner);
    ~TSpeedItem() override;

    // The button's own properties, read and written through.
    bool AllowAllUp() const;
    void SetAllowAllUp(bool Value);
    bool AllowTimer() const;
    void SetAllowTimer(bool Value);
    std::string BtnCaption() const;
    void SetBtnCaption(const std::string& Value);
    int GroupIndex() const;
    void SetGroupIndex(int Value);
    bool Down() const;
    void SetDown(bool Value);
    TPopupMenu* DropDownMenu() const;
    void SetDropDownMenu(TPopupMenu* Value);
    TFont* Font() const;
    void SetFont(TFont* Value);
    bool ParentFont() const;
    void SetParentFont(bool Value);
    TCursor Cursor() const;
    void SetCursor(TCursor Value);
    TBitmap* Glyph() const;
    void SetGlyph(TBitmap* Value);
    std::string Hint() const;
    void SetHint(const std::string& Value);
    TButtonLayout Layout() const;
    void SetLayout(TButtonLayout Value);
    int Margin() const;
    void SetMargin(int Value);
    bool MarkDropDown() const;
    void SetMarkDropDown(bool Value);
    TExNumGlyphs NumGlyphs() const;
    void SetNumGlyphs(TExNumGlyphs Value);
    bool ParentShowHint() const;
    void SetParentShowHint(bool Value);
    bool ShowHint() const;
    void SetShowHint(bool Value);
    int Spacing() const;
    void SetSpacing(int Value);
    bool WordWrap() const;
    void SetWordWrap(bool Value);
    int Left() const;
    void SetLeft(int Value);
    int Top() const;
    void SetTop(int Value);
    TNotifyEvent& OnClick();
    TNotifyEvent& OnDblClick();
    TMouseEvent& OnMouseDown();
    TMouseMoveEvent& OnMouseMove();
    TMouseEvent& OnMouseUp();
    TNotifyEvent& OnMouseEnter();
    TNotifyEvent& OnMouseLeave();

    // The item's own properties.
    const std::string& Caption() const { return FCaption; }
    // The hint follows the caption (see the rules in the source).
    void SetCaption(const std::string& Value);
    bool Enabled() const { return FEnabled; }
    void SetEnabled(bool Value);
    int ImageIndex() const { return FImageIndex; }
    void SetImageIndex(int Value);
    bool Stored() const { return FStored; }
    void SetStored(bool Value) { FStored = Value; }
    bool Visible() const { return FVisible; }
    void SetVisible(bool Value);
    std::intptr_t GetTag() const { return Tag; }
    // Written to the item and to the button.
    void SetTag(std::intptr_t Value);
    // Renaming an item whose caption is its name renames the caption too.
    void SetName(const std::string& NewName);

    virtual void Click();
    void ButtonClick();
    bool CheckBtnMenuDropDown();
    // The index of its section on the bar, -1 when unknown; set only while detached.
    int Section() const;
    void SetSection(int Value);
    // The caption of its section, or the name kept while detached.
    std::string SectionName() const;
    void SetSectionName(const std::string& Value);
    // Forgets the section index.
    void InvalidateItem() { FSection = -1; }
    bool Editing() const { return FEditing; }
    void SetEditing(bool Value);
    TSpeedBar* SpeedBar() const { return FSpeedBar; }
    // The item's button (a TExSpeedButton), for tests and drawing.
    TExSpeedButton* Button() const;

    bool HasParent() const override { return true; }
    TComponent* GetParentComponent() const override;
    // Leaves the old bar and joins the section of the new one named by SectionName (by index
    // when no section has that caption).
    void SetParentComponent(TComponent* Value);

protected:
    void Notification(TComponent* AComponent, TOperation Operation) override;

private:
    friend class TSpeedBar;
    friend class TSpeedbarSection;
    friend class TSpeedbarButton;
    void UpdateButton();
    void UpdateEnabled();
    void SetSpeedBarPrivate(TSpeedBar* Value) { FSpeedBar = Value; }

    std::string FCaption;
    bool FEditing = false;
    bool FEnabled = true;
    TSpeedbarButton* FButton = nullptr;
    bool FVisible = false;
    bool FStored = true;
    TSpeedBar* FSpeedBar = nullptr;
    int FSection = -1;
    std::string FSectionName;
    int FImageIndex = -1;
};

class TSpeedBar : public TCustomPanel {
    TESS_CLASS(TSpeedBar, TCustomPanel)
public:
    explicit TSpeedBar(TComponent* AOwner);
    ~TSpeedBar() override;

    // --- Sections and items ---
    int AddSection(const std::string& ACaption);
    virtual int AppendSection(TSpeedbarSection* Section);
    // nullptr when SectionIndex is out of range.
    TSpeedItem* NewItem(TComponent* AOwner, int SectionIndex, const std::string& AName);
    int AddItem(int SectionIndex, TSpeedItem* Item);
    void RemoveItem(TSpeedItem* Item);
    void RemoveSection(int Index);
    void DeleteSection(int Index);
    void ClearSections();
    int SearchSection(const std::string& ACaption) const;
    TSpeedItem* SearchItem(const std::string& ItemName) const;
    bool FindItem(TSpeedItem* Item, int& Section, int& Index) const;
    TSpeedItem* Items(int Section, int Index) const;
    int ItemsCount(int Section) const;
    TSpeedbarSection* GetSection(int Index) const;
    int GetSectionCount() const { return static_cast<int>(FSections.size()); }
    virtual void ForEachItem(const TForEachItem& Proc, std::intptr_t Data);
    void AlignItemsToGrid();
    // Opens the setup window.
    void Customize(int HelpCtx);

    // --- Layout storage ---
    void SaveLayout(TIniFile* IniFile);
    void RestoreLayout(TIniFile* IniFile);
    void SaveLayoutReg(TRegIniFile* IniFile);
    void RestoreLayoutReg(TRegIniFile* IniFile);

    // --- Properties ---
    TBoundLines BoundLines() const { return FBoundLines; }
    void SetBoundLines(TBoundLines Value);
    TBarPosition Position() const { return FPosition; }
    void SetPosition(TBarPosition Value);
    // Hides the control's SetAlign: the bar's own rules apply.
    void SetAlign(TAlign Value);
    TSpeedbarOptions Options() const { return FOptions; }
    void SetOptions(TSpeedbarOptions Value);
    int BtnOffsetHorz() const { return GetButtonsOffset(0); }
    void SetBtnOffsetHorz(int Value) { SetButtonsOffset(0, Value); }
    int BtnOffsetVert() const { return GetButtonsOffset(1); }
    void SetBtnOffsetVert(int Value) { SetButtonsOffset(1, Value); }
    int BtnWidth() const { return GetButtonSize(0); }
    void SetBtnWidth(int Value) { SetButtonSize(0, Value); }
    int BtnHeight() const { return GetButtonSize(1); }
    void SetBtnHeight(int Value) { SetButtonSize(1, Value); }
    int GetButtonsOffset(int Index) const { return Index == 0 ? FOffsetX : FOffsetY; }
    void SetButtonsOffset(int Index, int Value);
    int GetButtonSize(int Index) const { return Index == 0 ? FButtonSize.X : FButtonSize.Y; }
    void SetButtonSize(int Index, int Value);
    TFormPlacement* IniStorage() const { return FIniLink->Storage(); }
    void SetIniStorage(TFormPlacement* Value);
    int Version = 0;
    TPicture* Wallpaper() const { return FWallpaper.get(); }
    void SetWallpaper(TPicture* Value) { FWallpaper->Assign(Value); }
    TImageList* Images() const { return FImages; }
    void SetImages(TImageList* Value);
    TBarOrientation Orientation() const { return GetOrientation(); }
    TBarOrientation GetOrientation() const;
    void SetOrientation(TBarOrientation Value);
    bool Editing() const { return FEditWin != nullptr; }
    // The setup window's handle while customising, nullptr otherwise.
    HWND EditWindow() const { return FEditWin; }
    void SetEditing(HWND Win);
    // The grid steps and the smallest allowed offset.
    int GridStepX() const { return FGridSize.X; }
    int GridStepY() const { return FGridSize.Y; }
    int MinButtonsOffset() const;
    TSbScaleFlags ScaleFlags() const { return FScaleFlags; }

    // Whether the item stays on the bar after a drop at client point (X, Y).
    bool AcceptDropItem(TSpeedItem* Item, int X, int Y);
    // Scales the flagged sizes (all of them outside loading) by M / D.
    virtual void ChangeScale(int M, int D);
    virtual void SetFontDefault();

    // The state of a drag to another edge: the frame on the screen and the proposed align.
    bool DraggingBar() const { return FDrag; }
    bool ResizingBar() const { return FResizing; }
    TRect DragFrame() const { return FDragRect; }
    TAlign DragAlign() const { return FPrevAlign; }

    TApplyAlignEvent OnApplyAlign;
    TNotifyEvent OnCustomize;
    TNotifyEvent OnPosChanged;
    TNotifyEvent OnVisibleChanged;

    void Loaded() override;
    void Dispatch(TMessage& Message) override;

    // The bar's own helpers for items and the setup window.
    void SetItemParams(TSpeedItem* Item, bool InitBounds);
    void AlignItemToGrid(TSpeedItem* Item);
    // Tells the setup window (when one is open).
    void NotifyEditWindow(WPARAM Code);
    // Whether the user is resizing the bar would start at client point (X, Y); sets the cursor.
    bool CheckResize(TShiftState Shift, int X, int Y);

protected:
    virtual void PosChanged();
    virtual void AfterCustomize();
    void Notification(TComponent* AComponent, TOperation Operation) override;
    void AlignControls(TControl* AControl, TRect& Rect) override;
    void Paint() override;
    void MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) override;
    void MouseMove(TShiftState Shift, int X, int Y) override;
    void MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y) override;

private:
    friend class TSpeedbarSection;
    void UpdateGridSize();
    void ApplyOrientation(TBarOrientation Value);
    void SnapPoint(int& X, int& Y) const;
    void MoveItems(int DX, int DY);
    void InvalidateItems();
    bool AllowAlign(TAlign Value);
    TAlign TargetAlign(TPoint ScreenPoint) const;
    TRect FrameFor(TAlign Target) const;
    void StartDragFrame();
    void StopDragFrame();
    void ResizeTo(int X, int Y);
    void WriteLayout(TObject* IniFile, const std::string& Section);
    void ReadLayout(TObject* IniFile, const std::string& Section);
    void ShowStoredItems(TObject* IniFile, const std::string& Section, int Count);
    void IniSave(TObject* Sender);
    void IniLoad(TObject* Sender);
    void VisibleChanged();
    void EnabledChanged();
    bool Loading() const { return ComponentState().Contains(csLoading); }

    std::vector<TSpeedbarSection*> FSections;
    TBarPosition FPosition = bpAuto;
    TBarOrientation FOrientation = boHorizontal;
    TAlign FAlign = alTop;
    TPoint FButtonSize{24, 23};
    TButtonStyle FButtonStyle = bsNew;
    TPoint FGridSize{8, 23};
    int FOffsetX = 3;
    int FOffsetY = 3;
    HWND FEditWin = nullptr;
    TRect FDragRect;
    TAlign FPrevAlign = alTop;
    TSpeedbarOptions FOptions{sbAllowDrag, sbGrayedBtns};
    bool FLocked = false;
    bool FDrag = false;
    bool FResizing = false;
    TPoint FStartDrag;
    bool FMouseDown = false;
    std::unique_ptr<TPicture> FWallpaper;
    TBoundLines FBoundLines;
    std::unique_ptr<TIniLink> FIniLink;
    TSbScaleFlags FScaleFlags;
    TImageList* FImages = nullptr;
    std::unique_ptr<TChangeLink> FImageChangeLink;
};

int NewSpeedSection(TSpeedBar* ASpeedbar, const std::string& ACaption);
TSpeedItem* NewSpeedItem(TComponent* AOwner, TSpeedBar* ASpeedbar, int Section, const std::string& AName);
// The speed bar under a screen point, nullptr when none.
TSpeedBar* FindSpeedBar(const TPoint& Pos);

// The drag image of a button (declared in the source): made for an item, shown at a screen
// rectangle, destroyed when the drag ends. The setup window uses these.
TBtnControl* CreateDragImage(TSpeedItem* Item);
void ShowDragImage(TBtnControl* Image, const TRect& ScreenRect);
void HideDragImage(TBtnControl* Image);
void FreeDragImage(TBtnControl*& Image);
TPoint DragImageSize(TBtnControl* Image);
// Whether a drag image is shown on the screen (tests).
bool DragImageShown(TBtnControl* Image);
