// The speed bar, its sections and items, the items' buttons and the drag image of a button.

#include "controls/SpeedBar.h"

#include "controls/AppUtils.h"
#include "controls/ExConst.h"
#include "controls/SbSetup.h"
#include "controls/StrUtils.h"
#include "controls/VCLUtils.h"
#include "platform/gui/Application.h"
#include "platform/gui/Canvas.h"
#include "platform/gui/DeviceContext.h"
#include "platform/gui/Form.h"
#include "platform/gui/PublishedProperties.h"
#include "platform/gui/Regions.h"
#include "platform/gui/Screen.h"
#include "platform/gui/SystemMetrics.h"
#include "platform/gui/WindowFunctions.h"
#include "platform/gui/WindowHandles.h"
#include "platform/gui/WinTypes.h"
#include "platform/rtl/Formats.h"
#include "platform/rtl/TextUtils.h"
#include "platform/rtl/TypInfo.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace {

const char* const SAutoBarPosition = "Cannot set this property value while Position is bpAuto";
const char* const SDuplicateString = "String list does not allow duplicates";

// A drag that starts only after the mouse moved more than this from the press.
constexpr int DragThreshold = 4;
constexpr int DragFrameWidth = 3;

bool IsHorizontalAlign(TAlign Value) { return Value == alTop || Value == alBottom; }
bool IsVerticalAlign(TAlign Value) { return Value == alLeft || Value == alRight; }

// The grid step along the buttons' long side: a divisor of the size near a third of it, at most 8.
int GridStep(int Size)
{
    int step = std::max(1, std::min(8, Size / 3));
    while (Size % step != 0)
        ++step;
    if (step == Size && Size > 1) {
        --step;
        while (step > 1 && Size % step != 0)
            --step;
    }
    return step;
}

// Rounds a quotient to the nearest integer, halves to even, as the class library's Round does.
int RoundHalfEven(int Numerator, int Denominator)
{
    const double value = static_cast<double>(Numerator) / Denominator;
    const double floorValue = std::floor(value);
    const double fraction = value - floorValue;
    int result = static_cast<int>(floorValue);
    if (fraction > 0.5 || (fraction == 0.5 && (result % 2) != 0))
        ++result;
    return result;
}

int TruncDiv(int Numerator, int Denominator) { return Numerator / Denominator; }

} // namespace

// --- The drag image ------------------------------------------------------------------------------

class TBtnControl : public TCustomControl {
    TESS_CLASS(TBtnControl, TCustomControl)
public:
    explicit TBtnControl(TComponent* AOwner) : TCustomControl(AOwner), FImage(std::make_unique<TButtonImage>())
    {
        InstallExCursors();
        FVisible = false;
        SetEnabled(false);
        SetCursor(crDragCursor);
    }

    void AssignSpeedItem(TSpeedItem* Item)
    {
        TExSpeedButton* button = Item->Button();
        FImage->SetAlignment(button->Alignment());
        FImage->SetGlyph(button->Glyph());
        FImage->SetNumGlyphs(button->NumGlyphs());
        FImage->SetWordWrap(button->WordWrap());
        FImage->Caption = button->Caption();
        FSpacing = button->Spacing();
        FMargin = button->Margin();
        FLayout = button->Layout();
        FImageIndex = Item->ImageIndex();
        TSpeedBar* bar = Item->SpeedBar();
        FImages = bar ? bar->Images() : nullptr;
        Font()->Assign(button->Font());
        FSize = bar ? Point(bar->BtnWidth(), bar->BtnHeight()) : Point(button->Width(), button->Height());
        SetBounds(0, 0, FSize.X, FSize.Y);
    }

    // The size it was made for (a window system may give a small top-level window more).
    TPoint ButtonSize() const { return FSize; }

    void Activate(const TRect& ScreenRect)
    {
        if (Width() == 0 || Height() == 0)
            SetBoundsRect(ScreenRect);
        SetWindowPos(Handle(), HWND_TOPMOST, ScreenRect.Left, ScreenRect.Top, 0, 0,
                     SWP_NOSIZE | SWP_NOACTIVATE | SWP_SHOWWINDOW);
        SetBounds(ScreenRect.Left, ScreenRect.Top, Width(), Height());
        SetVisible(true);
        SetCursor(crDragCursor);
    }

    void ReleaseHandle() { SetVisible(false); }

protected:
    void CreateParams(TCreateParams& Params) override
    {
        TCustomControl::CreateParams(Params);
        Params.Style = WS_POPUP | WS_DISABLED;
        Params.ExStyle = WS_EX_TOOLWINDOW;
        Params.WindowClassStyle |= CS_SAVEBITS;
        Params.WndParent = nullptr;
    }

    void BoundsChanged(bool moved, bool resized) override
    {
        TCustomControl::BoundsChanged(moved, resized);
        FImage->ButtonSize = Point(ClientWidth(), ClientHeight());
    }

    void Paint() override
    {
        FImage->ButtonSize = Point(ClientWidth(), ClientHeight());
        FImage->DrawEx(Canvas(), 0, 0, FMargin, FSpacing, FLayout, Font(), FImages, FImageIndex,
                       TExButtonGlyph::AlignmentFlags(FImage->Alignment()));
    }

private:
    std::unique_ptr<TButtonImage> FImage;
    int FSpacing = 1;
    int FMargin = -1;
    TButtonLayout FLayout = blGlyphTop;
    int FImageIndex = -1;
    TImageList* FImages = nullptr;
    TPoint FSize{24, 23};
};

TBtnControl* CreateDragImage(TSpeedItem* Item)
{
    auto* image = new TBtnControl(nullptr);
    image->AssignSpeedItem(Item);
    return image;
}

void ShowDragImage(TBtnControl* Image, const TRect& ScreenRect)
{
    if (Image)
        Image->Activate(ScreenRect);
}

void HideDragImage(TBtnControl* Image)
{
    if (Image)
        Image->ReleaseHandle();
}

void FreeDragImage(TBtnControl*& Image)
{
    TBtnControl* image = Image;
    Image = nullptr;
    TComponent::Free(image);
}

TPoint DragImageSize(TBtnControl* Image) { return Image ? Image->ButtonSize() : Point(0, 0); }

bool DragImageShown(TBtnControl* Image) { return Image && Image->Visible(); }

// --- The item's button ---------------------------------------------------------------------------

class TSpeedbarButton : public TExSpeedButton {
    TESS_CLASS(TSpeedbarButton, TExSpeedButton)
public:
    explicit TSpeedbarButton(TSpeedItem* AItem) : TExSpeedButton(AItem), FItem(AItem)
    {
        FVisible = false;
        SetStyle(bsNew);
        SetParentShowHint(true);
        SetParentFont(true);
        ControlStyle.Include(csOpaque);
        SetBounds(0, 0, 24, 23);
    }
    ~TSpeedbarButton() override { FreeDragImage(FBtn); }

    void SetBounds(int ALeft, int ATop, int AWidth, int AHeight) override
    {
        if (TSpeedBar* bar = FItem ? FItem->SpeedBar() : nullptr) {
            if (bar->Orientation() == boHorizontal)
                ATop = std::max(ATop, bar->BtnOffsetVert());
            else
                ALeft = std::max(ALeft, bar->BtnOffsetHorz());
        }
        TExSpeedButton::SetBounds(ALeft, ATop, AWidth, AHeight);
    }

    // Forgets the images made so far (another image index or list) and repaints.
    void ImagesChanged()
    {
        ButtonGlyph()->Invalidate();
        Invalidate();
    }

    void Detach() { FItem = nullptr; }

protected:
    void PaintGlyph(TCanvas* Canvas, const TRect& ARect, TExButtonState AState, bool DrawMark) override
    {
        TSpeedBar* bar = FItem ? FItem->SpeedBar() : nullptr;
        if (bar && bar->Images() && FItem->ImageIndex() >= 0)
            ButtonGlyph()->DrawEx(Canvas, ARect, Caption(), Layout(), Margin(), Spacing(), DrawMark, bar->Images(),
                                  FItem->ImageIndex(), AState, TExButtonGlyph::AlignmentFlags(Alignment()));
        else
            TExSpeedButton::PaintGlyph(Canvas, ARect, AState, DrawMark);
    }

    void Paint() override
    {
        if (Visible())
            TExSpeedButton::Paint();
    }

    void MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) override
    {
        if (!EditingDrag(Button)) {
            TExSpeedButton::MouseDown(Button, Shift, X, Y);
            return;
        }
        if (!FBtn) {
            const TPoint corner = ClientToScreen(Point(Width(), Height()));
            SetCursorPos(corner.X, corner.Y);
            FBtn = CreateDragImage(FItem);
        }
        BringToFront();
    }

    void MouseMove(TShiftState Shift, int X, int Y) override
    {
        if (!FBtn || !FItem || !FItem->Editing()) {
            TExSpeedButton::MouseMove(Shift, X, Y);
            return;
        }
        TSpeedBar* bar = FItem->SpeedBar();
        const TPoint size = DragImageSize(FBtn);
        TPoint topLeft = ClientToScreen(Point(X, Y));
        topLeft.X -= size.X;
        topLeft.Y -= size.Y;
        SetVisible(false);
        const TPoint onBar = bar->ScreenToClient(topLeft);
        if (PtInRect(bar->ClientRect(), onBar))
            ShowDragImage(FBtn, Bounds(topLeft.X, topLeft.Y, size.X, size.Y));
        else
            HideDragImage(FBtn);
    }

    void MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y) override
    {
        if (!FBtn || !EditingDrag(Button)) {
            TExSpeedButton::MouseUp(Button, Shift, X, Y);
            return;
        }
        TSpeedBar* bar = FItem->SpeedBar();
        const TPoint size = DragImageSize(FBtn);
        FreeDragImage(FBtn);
        TPoint drop = ClientToScreen(Point(X, Y));
        drop.X -= size.X;
        drop.Y -= size.Y;
        drop = bar->ScreenToClient(drop);
        if (PtInRect(bar->ClientRect(), drop)) {
            if (bar->AcceptDropItem(FItem, drop.X, drop.Y)) {
                Invalidate();
                return;
            }
        } else {
            SendToBack();
            FItem->SetVisible(false);
        }
        bar->NotifyEditWindow(SBR_CHANGED);
    }

private:
    bool EditingDrag(TMouseButton Button) const
    {
        return Button == mbLeft && FItem && FItem->Editing() && FItem->SpeedBar();
    }

    TSpeedItem* FItem;
    TBtnControl* FBtn = nullptr;
};

// --- Published properties ------------------------------------------------------------------------

namespace SpeedBarUnit {

PTypeInfo AlignTypeInfo()
{
    static PTypeInfo info =
        EnumTypeInfo("TAlign", {"alNone", "alTop", "alBottom", "alLeft", "alRight", "alClient"});
    return info;
}

void RegisterProperties()
{
    static std::once_flag once;
    std::call_once(once, [] {
        RegisterPropInfos(
            "TSpeedBar", "TCustomPanel",
            {OrdProp<TSpeedBar>(
                 "BoundLines",
                 SetTypeInfo("TBoundLines", EnumTypeInfo("TBoundLine", {"blTop", "blBottom", "blLeft", "blRight"})),
                 [](TSpeedBar& b) -> std::int64_t { return static_cast<std::int64_t>(b.BoundLines().Bits()); },
                 [](TSpeedBar& b, std::int64_t v) { b.SetBoundLines(TBoundLines::FromBits(v)); }),
             OrdProp<TSpeedBar>(
                 "Position", EnumTypeInfo("TBarPosition", {"bpAuto", "bpCustom"}),
                 [](TSpeedBar& b) -> std::int64_t { return b.Position(); },
                 [](TSpeedBar& b, std::int64_t v) { b.SetPosition(static_cast<TBarPosition>(v)); }),
             OrdProp<TSpeedBar>(
                 "Align", AlignTypeInfo(), [](TSpeedBar& b) -> std::int64_t { return b.Align(); },
                 [](TSpeedBar& b, std::int64_t v) { b.SetAlign(static_cast<TAlign>(v)); }),
             OrdProp<TSpeedBar>(
                 "Options",
                 SetTypeInfo("TSpeedbarOptions",
                             EnumTypeInfo("TSpeedbarOption", {"sbAllowDrag", "sbAllowResize", "sbFlatBtns",
                                                              "sbGrayedBtns", "sbTransparentBtns",
                                                              "sbStretchBitmap"})),
                 [](TSpeedBar& b) -> std::int64_t { return static_cast<std::int64_t>(b.Options().Bits()); },
                 [](TSpeedBar& b, std::int64_t v) { b.SetOptions(TSpeedbarOptions::FromBits(v)); }),
             IntProp<TSpeedBar>("BtnOffsetHorz", &TSpeedBar::BtnOffsetHorz, &TSpeedBar::SetBtnOffsetHorz),
             IntProp<TSpeedBar>("BtnOffsetVert", &TSpeedBar::BtnOffsetVert, &TSpeedBar::SetBtnOffsetVert),
             IntProp<TSpeedBar>("BtnWidth", &TSpeedBar::BtnWidth, &TSpeedBar::SetBtnWidth),
             IntProp<TSpeedBar>("BtnHeight", &TSpeedBar::BtnHeight, &TSpeedBar::SetBtnHeight),
             OrdProp<TSpeedBar>(
                 "Version", TypeInfoInteger(), [](TSpeedBar& b) -> std::int64_t { return b.Version; },
                 [](TSpeedBar& b, std::int64_t v) { b.Version = static_cast<int>(v); }),
             ObjectProp<TSpeedBar>(
                 "IniStorage", "TFormPlacement", [](TSpeedBar& b) -> TObject* { return b.IniStorage(); },
                 [](TSpeedBar& b, TObject* v) { b.SetIniStorage(dynamic_cast<TFormPlacement*>(v)); }),
             ObjectProp<TSpeedBar>(
                 "Wallpaper", "TPicture", [](TSpeedBar& b) -> TObject* { return b.Wallpaper(); },
                 [](TSpeedBar& b, TObject* v) { b.SetWallpaper(dynamic_cast<TPicture*>(v)); }),
             ObjectProp<TSpeedBar>(
                 "Images", "TImageList", [](TSpeedBar& b) -> TObject* { return b.Images(); },
                 [](TSpeedBar& b, TObject* v) { b.SetImages(dynamic_cast<TImageList*>(v)); })});
        RegisterPropInfos(
            "TSpeedItem", "",
            {BoolProp<TSpeedItem>("AllowAllUp", &TSpeedItem::AllowAllUp, &TSpeedItem::SetAllowAllUp),
             BoolProp<TSpeedItem>("AllowTimer", &TSpeedItem::AllowTimer, &TSpeedItem::SetAllowTimer),
             StrProp<TSpeedItem>(
                 "BtnCaption", [](TSpeedItem& i) { return i.BtnCaption(); },
                 [](TSpeedItem& i, const std::string& v) { i.SetBtnCaption(v); }),
             StrProp<TSpeedItem>(
                 "Caption", [](TSpeedItem& i) { return i.Caption(); },
                 [](TSpeedItem& i, const std::string& v) { i.SetCaption(v); }),
             IntProp<TSpeedItem>("GroupIndex", &TSpeedItem::GroupIndex, &TSpeedItem::SetGroupIndex),
             BoolProp<TSpeedItem>("Down", &TSpeedItem::Down, &TSpeedItem::SetDown),
             ObjectProp<TSpeedItem>(
                 "DropDownMenu", "TPopupMenu", [](TSpeedItem& i) -> TObject* { return i.DropDownMenu(); },
                 [](TSpeedItem& i, TObject* v) { i.SetDropDownMenu(dynamic_cast<TPopupMenu*>(v)); }),
             BoolProp<TSpeedItem>("Enabled", &TSpeedItem::Enabled, &TSpeedItem::SetEnabled),
             ObjectProp<TSpeedItem>(
                 "Font", "TFont", [](TSpeedItem& i) -> TObject* { return i.Font(); },
                 [](TSpeedItem& i, TObject* v) { i.SetFont(dynamic_cast<TFont*>(v)); }),
             IntProp<TSpeedItem>("Cursor", &TSpeedItem::Cursor, &TSpeedItem::SetCursor),
             ObjectProp<TSpeedItem>(
                 "Glyph", "TBitmap", [](TSpeedItem& i) -> TObject* { return i.Glyph(); },
                 [](TSpeedItem& i, TObject* v) { i.SetGlyph(dynamic_cast<TBitmap*>(v)); }),
             StrProp<TSpeedItem>(
                 "Hint", [](TSpeedItem& i) { return i.Hint(); },
                 [](TSpeedItem& i, const std::string& v) { i.SetHint(v); }),
             IntProp<TSpeedItem>("ImageIndex", &TSpeedItem::ImageIndex, &TSpeedItem::SetImageIndex),
             OrdProp<TSpeedItem>(
                 "Layout",
                 EnumTypeInfo("TButtonLayout", {"blGlyphLeft", "blGlyphRight", "blGlyphTop", "blGlyphBottom"}),
                 [](TSpeedItem& i) -> std::int64_t { return i.Layout(); },
                 [](TSpeedItem& i, std::int64_t v) { i.SetLayout(static_cast<TButtonLayout>(v)); }),
             IntProp<TSpeedItem>("Margin", &TSpeedItem::Margin, &TSpeedItem::SetMargin),
             BoolProp<TSpeedItem>("MarkDropDown", &TSpeedItem::MarkDropDown, &TSpeedItem::SetMarkDropDown),
             IntProp<TSpeedItem>("NumGlyphs", &TSpeedItem::NumGlyphs, &TSpeedItem::SetNumGlyphs),
             BoolProp<TSpeedItem>("ParentShowHint", &TSpeedItem::ParentShowHint, &TSpeedItem::SetParentShowHint),
             BoolProp<TSpeedItem>("ParentFont", &TSpeedItem::ParentFont, &TSpeedItem::SetParentFont),
             BoolProp<TSpeedItem>("ShowHint", &TSpeedItem::ShowHint, &TSpeedItem::SetShowHint),
             IntProp<TSpeedItem>("Spacing", &TSpeedItem::Spacing, &TSpeedItem::SetSpacing),
             BoolProp<TSpeedItem>("Stored", &TSpeedItem::Stored, &TSpeedItem::SetStored),
             OrdProp<TSpeedItem>(
                 "Tag", TypeInfoInteger(), [](TSpeedItem& i) -> std::int64_t { return i.GetTag(); },
                 [](TSpeedItem& i, std::int64_t v) { i.SetTag(static_cast<std::intptr_t>(v)); }),
             IntProp<TSpeedItem>("Left", &TSpeedItem::Left, &TSpeedItem::SetLeft),
             IntProp<TSpeedItem>("Top", &TSpeedItem::Top, &TSpeedItem::SetTop),
             BoolProp<TSpeedItem>("Visible", &TSpeedItem::Visible, &TSpeedItem::SetVisible),
             BoolProp<TSpeedItem>("WordWrap", &TSpeedItem::WordWrap, &TSpeedItem::SetWordWrap)});
        RegisterPropInfos("TSpeedbarSection", "",
                          {StrProp<TSpeedbarSection>(
                               "Caption", [](TSpeedbarSection& s) { return s.Caption(); },
                               [](TSpeedbarSection& s, const std::string& v) { s.SetCaption(v); }),
                           IntProp<TSpeedbarSection>("Index", &TSpeedbarSection::Index, &TSpeedbarSection::SetIndex)});
    });
}

} // namespace SpeedBarUnit

// --- TSpeedbarSection ----------------------------------------------------------------------------

TSpeedbarSection::TSpeedbarSection(TComponent* AOwner) : TComponent(AOwner) { SpeedBarUnit::RegisterProperties(); }

TSpeedbarSection::~TSpeedbarSection()
{
    if (FSpeedbar) {
        const int index = Index();
        if (index >= 0)
            FSpeedbar->DeleteSection(index);
    }
    for (TSpeedItem* item : FList)
        item->FSection = -1;
    FList.clear();
}

TSpeedItem* TSpeedbarSection::Items(int Index) const
{
    if (Index < 0 || Index >= Count())
        return nullptr;
    return FList[static_cast<std::size_t>(Index)];
}

void TSpeedbarSection::SetCaption(const std::string& Value)
{
    if (Value == FCaption)
        return;
    if (FSpeedbar && !ComponentState().Contains(csLoading)) {
        const int found = FSpeedbar->SearchSection(Value);
        if (found >= 0 && FSpeedbar->GetSection(found) != this)
            throw ESpeedbarError(SDuplicateString);
    }
    FCaption = Value;
    if (FSpeedbar)
        FSpeedbar->NotifyEditWindow(SBR_CHANGED);
}

int TSpeedbarSection::Index() const
{
    if (!FSpeedbar)
        return -1;
    const auto& list = FSpeedbar->FSections;
    const auto it = std::find(list.begin(), list.end(), this);
    return it == list.end() ? -1 : static_cast<int>(it - list.begin());
}

void TSpeedbarSection::SetIndex(int Value)
{
    const int current = Index();
    if (current < 0)
        return;
    auto& list = FSpeedbar->FSections;
    Value = std::clamp(Value, 0, static_cast<int>(list.size()) - 1);
    if (Value == current)
        return;
    list.erase(list.begin() + current);
    list.insert(list.begin() + Value, this);
    for (std::size_t s = 0; s < list.size(); ++s)
        for (TSpeedItem* item : list[s]->FList)
            item->FSection = static_cast<int>(s);
    FSpeedbar->NotifyEditWindow(SBR_CHANGED);
}

void TSpeedbarSection::SetSpeedbar(TSpeedBar* Value)
{
    if (Value == FSpeedbar)
        return;
    const int oldIndex = Index();
    if (FSpeedbar && oldIndex >= 0) {
        auto& list = FSpeedbar->FSections;
        list.erase(list.begin() + oldIndex);
        FSpeedbar = nullptr;
    }
    if (!Value)
        return;
    const int index = Value->AppendSection(this);
    if (oldIndex >= 0)
        SetIndex(std::min(oldIndex, index));
}

void TSpeedbarSection::Clear()
{
    while (!FList.empty()) {
        TSpeedItem* item = FList.back();
        FList.pop_back();
        if (item->FSpeedBar == FSpeedbar && FSpeedbar)
            item->FSpeedBar = nullptr;
        TComponent::Free(item);
    }
}

void TSpeedbarSection::RemoveItem(TSpeedItem* Item)
{
    const auto it = std::find(FList.begin(), FList.end(), Item);
    if (it == FList.end())
        return;
    if (Item->FButton)
        Item->FButton->SetParent(nullptr);
    Item->FSpeedBar = nullptr;
    Item->FSection = -1;
    FList.erase(it);
}

TComponent* TSpeedbarSection::GetParentComponent() const { return FSpeedbar; }

void TSpeedbarSection::SetParentComponent(TComponent* Value)
{
    SetSpeedbar(dynamic_cast<TSpeedBar*>(Value));
}

// --- TSpeedItem ----------------------------------------------------------------------------------

TSpeedItem::TSpeedItem(TComponent* AOwner) : TComponent(AOwner)
{
    SpeedBarUnit::RegisterProperties();
    FButton = new TSpeedbarButton(this);
}

TSpeedItem::~TSpeedItem()
{
    if (FButton)
        FButton->SetVisible(false);
    if (FSpeedBar)
        FSpeedBar->RemoveItem(this);
    TSpeedbarButton* button = FButton;
    FButton = nullptr;
    if (button) {
        button->Detach();
        TComponent::Free(button);
    }
}

TExSpeedButton* TSpeedItem::Button() const { return FButton; }

bool TSpeedItem::AllowAllUp() const { return FButton->AllowAllUp(); }
void TSpeedItem::SetAllowAllUp(bool Value) { FButton->SetAllowAllUp(Value); }
bool TSpeedItem::AllowTimer() const { return FButton->AllowTimer(); }
void TSpeedItem::SetAllowTimer(bool Value) { FButton->SetAllowTimer(Value); }
std::string TSpeedItem::BtnCaption() const { return FButton->Caption(); }
void TSpeedItem::SetBtnCaption(const std::string& Value) { FButton->SetCaption(Value); }
int TSpeedItem::GroupIndex() const { return FButton->GroupIndex(); }
void TSpeedItem::SetGroupIndex(int Value) { FButton->SetGroupIndex(Value); }
bool TSpeedItem::Down() const { return FButton->Down(); }
void TSpeedItem::SetDown(bool Value) { FButton->SetDown(Value); }
TPopupMenu* TSpeedItem::DropDownMenu() const { return FButton->DropDownMenu(); }
void TSpeedItem::SetDropDownMenu(TPopupMenu* Value) { FButton->SetDropDownMenu(Value); }
TFont* TSpeedItem::Font() const { return FButton->Font(); }
void TSpeedItem::SetFont(TFont* Value) { FButton->SetFont(Value); }
bool TSpeedItem::ParentFont() const { return FButton->ParentFont(); }
void TSpeedItem::SetParentFont(bool Value) { FButton->SetParentFont(Value); }
TCursor TSpeedItem::Cursor() const { return FButton->Cursor(); }
void TSpeedItem::SetCursor(TCursor Value) { FButton->SetCursor(Value); }
TBitmap* TSpeedItem::Glyph() const { return FButton->Glyph(); }
void TSpeedItem::SetGlyph(TBitmap* Value) { FButton->SetGlyph(Value); }
std::string TSpeedItem::Hint() const { return FButton->Hint(); }
void TSpeedItem::SetHint(const std::string& Value) { FButton->SetHint(Value); }
TButtonLayout TSpeedItem::Layout() const { return FButton->Layout(); }
void TSpeedItem::SetLayout(TButtonLayout Value) { FButton->SetLayout(Value); }
int TSpeedItem::Margin() const { return FButton->Margin(); }
void TSpeedItem::SetMargin(int Value) { FButton->SetMargin(Value); }
bool TSpeedItem::MarkDropDown() const { return FButton->MarkDropDown(); }
void TSpeedItem::SetMarkDropDown(bool Value) { FButton->SetMarkDropDown(Value); }
TExNumGlyphs TSpeedItem::NumGlyphs() const { return FButton->NumGlyphs(); }
void TSpeedItem::SetNumGlyphs(TExNumGlyphs Value) { FButton->SetNumGlyphs(Value); }
bool TSpeedItem::ParentShowHint() const { return FButton->ParentShowHint(); }
void TSpeedItem::SetParentShowHint(bool Value) { FButton->SetParentShowHint(Value); }
bool TSpeedItem::ShowHint() const { return FButton->ShowHint(); }
void TSpeedItem::SetShowHint(bool Value) { FButton->SetShowHint(Value); }
int TSpeedItem::Spacing() const { return FButton->Spacing(); }
void TSpeedItem::SetSpacing(int Value) { FButton->SetSpacing(Value); }
bool TSpeedItem::WordWrap() const { return FButton->WordWrap(); }
void TSpeedItem::SetWordWrap(bool Value) { FButton->SetWordWrap(Value); }
int TSpeedItem::Left() const { return FButton->Left(); }
void TSpeedItem::SetLeft(int Value) { FButton->SetLeft(Value); }
int TSpeedItem::Top() const { return FButton->Top(); }
void TSpeedItem::SetTop(int Value) { FButton->SetTop(Value); }
TNotifyEvent& TSpeedItem::OnClick() { return FButton->OnClick; }
TNotifyEvent& TSpeedItem::OnDblClick() { return FButton->OnDblClick; }
TMouseEvent& TSpeedItem::OnMouseDown() { return FButton->OnMouseDown; }
TMouseMoveEvent& TSpeedItem::OnMouseMove() { return FButton->OnMouseMove; }
TMouseEvent& TSpeedItem::OnMouseUp() { return FButton->OnMouseUp; }
TNotifyEvent& TSpeedItem::OnMouseEnter() { return FButton->OnMouseEnter; }
TNotifyEvent& TSpeedItem::OnMouseLeave() { return FButton->OnMouseLeave; }

void TSpeedItem::SetCaption(const std::string& Value)
{
    const std::string oldHint = Hint();
    bool follow = true;
    TComponent* owner = Owner();
    if (dynamic_cast<TControl*>(owner) && !owner->ComponentState().Contains(csLoading))
        follow = FCaption == GetShortHint(oldHint);
    FCaption = Value;
    if (!follow)
        return;
    const bool oldHasLong = oldHint.find('|') != std::string::npos;
    if (Value.find('|') != std::string::npos) {
        if (!GetLongHint(Value).empty())
            SetHint(Value);
        else
            SetHint(GetShortHint(Value) + "|" + GetLongHint(oldHint));
    } else if (oldHasLong) {
        SetHint(Value + "|" + GetLongHint(oldHint));
    } else {
        SetHint(Value + "|");
    }
}

void TSpeedItem::SetEnabled(bool Value)
{
    if (Value == FEnabled)
        return;
    FEnabled = Value;
    UpdateEnabled();
}

void TSpeedItem::UpdateEnabled()
{
    if (FEditing)
        FButton->SetEnabled(true);
    else
        FButton->SetEnabled(FEnabled && (!FSpeedBar || FSpeedBar->Enabled()));
}

void TSpeedItem::SetImageIndex(int Value)
{
    if (Value == FImageIndex)
        return;
    FImageIndex = Value;
    FButton->ImagesChanged();
}

void TSpeedItem::SetVisible(bool Value)
{
    if (Value == FVisible)
        return;
    FVisible = Value;
    UpdateButton();
}

void TSpeedItem::UpdateButton()
{
    const bool show = FVisible && (!FSpeedBar || FSpeedBar->Visible());
    if (show && FSpeedBar && FButton->Parent() != FSpeedBar)
        FButton->SetParent(FSpeedBar);
    FButton->SetVisible(show);
}

void TSpeedItem::SetTag(std::intptr_t Value)
{
    Tag = Value;
    FButton->Tag = Value;
}

void TSpeedItem::SetName(const std::string& NewName)
{
    const bool followName = FCaption == Name() &&
                            !(dynamic_cast<TControl*>(Owner()) && Owner()->ComponentState().Contains(csLoading));
    TComponent::SetName(NewName);
    if (followName)
        SetCaption(NewName);
}

void TSpeedItem::Click() { FButton->Click(); }
void TSpeedItem::ButtonClick() { FButton->ButtonClick(); }
bool TSpeedItem::CheckBtnMenuDropDown() { return FButton->CheckBtnMenuDropDown(); }

int TSpeedItem::Section() const
{
    int section = -1;
    int index = -1;
    if (FSpeedBar && FSpeedBar->FindItem(const_cast<TSpeedItem*>(this), section, index))
        return section;
    return FSection;
}

void TSpeedItem::SetSection(int Value)
{
    if (!FSpeedBar)
        FSection = Value;
}

std::string TSpeedItem::SectionName() const
{
    const int section = Section();
    if (FSpeedBar && section >= 0)
        return FSpeedBar->GetSection(section)->Caption();
    return FSectionName;
}

void TSpeedItem::SetSectionName(const std::string& Value)
{
    if (!FSpeedBar)
        FSectionName = Value;
}

void TSpeedItem::SetEditing(bool Value)
{
    FEditing = Value;
    if (FEditing) {
        FButton->SetEnabled(true);
        FButton->SetFlat(false);
    } else {
        UpdateEnabled();
        FButton->SetFlat(FSpeedBar && FSpeedBar->Options().Contains(sbFlatBtns));
    }
}

TComponent* TSpeedItem::GetParentComponent() const { return FSpeedBar; }

void TSpeedItem::SetParentComponent(TComponent* Value)
{
    auto* bar = dynamic_cast<TSpeedBar*>(Value);
    if (bar == FSpeedBar)
        return;
    if (FSpeedBar)
        FSpeedBar->RemoveItem(this);
    if (!bar)
        return;
    int section = bar->SearchSection(FSectionName);
    if (section < 0)
        section = std::max(FSection, 0);
    bar->AddItem(section, this);
}

void TSpeedItem::Notification(TComponent* AComponent, TOperation Operation)
{
    TComponent::Notification(AComponent, Operation);
    if (Operation == opRemove && AComponent == FButton)
        FButton = nullptr;
}

// --- TSpeedBar: construction ---------------------------------------------------------------------

TSpeedBar::TSpeedBar(TComponent* AOwner)
    : TCustomPanel(AOwner), FWallpaper(std::make_unique<TPicture>()), FIniLink(std::make_unique<TIniLink>()),
      FImageChangeLink(std::make_unique<TChangeLink>())
{
    SpeedBarUnit::RegisterProperties();
    FWallpaper->OnChange = [this](TObject*) { Invalidate(); };
    FIniLink->OnSave = [this](TObject* Sender) { IniSave(Sender); };
    FIniLink->OnLoad = [this](TObject* Sender) { IniLoad(Sender); };
    FOffsetX = MinButtonsOffset();
    FOffsetY = FOffsetX;
    SetHeight(2 * FOffsetY + FButtonSize.Y);
    ControlStyle.Exclude(csSetCaption);
    SetParentShowHint(false);
    SetShowHint(true);
    SetFontDefault();
    TControl::SetAlign(alTop);
    FAlign = alTop;
    UpdateGridSize();
    FImageChangeLink->OnChange = [this](TObject*) { InvalidateItems(); };
}

TSpeedBar::~TSpeedBar()
{
    OnVisibleChanged = nullptr;
    OnApplyAlign = nullptr;
    OnPosChanged = nullptr;
    if (FDrag)
        StopDragFrame();
    FIniLink.reset();
    FWallpaper.reset();
    NotifyEditWindow(SBR_DESTROYED);
    ClearSections();
    if (FImages)
        FImages->UnRegisterChanges(FImageChangeLink.get());
    FImages = nullptr;
    FImageChangeLink.reset();
}

void TSpeedBar::SetFontDefault()
{
    SetParentFont(false);
    NONCLIENTMETRICS metrics;
    if (SystemParametersInfo(SPI_GETNONCLIENTMETRICS, 0, &metrics, 0)) {
        Font()->SetHandle(CreateFontIndirect(metrics.lfMenuFont));
        Font()->SetCharset(DEFAULT_CHARSET);
    } else {
        Font()->SetName("MS Sans Serif");
        Font()->SetSize(8);
        Font()->SetStyle({});
        Font()->SetColor(clBtnText);
    }
}

int TSpeedBar::MinButtonsOffset() const
{
    int result = (FOptions.Contains(sbFlatBtns) ? 0 : 2) + TCustomPanel::BorderWidth();
    if (BevelOuter() != bvNone)
        result += BevelWidth();
    if (BevelInner() != bvNone)
        result += BevelWidth();
    return result;
}

void TSpeedBar::Loaded()
{
    TCustomPanel::Loaded();
    UpdateGridSize();
    ForEachItem(
        [this](TSpeedItem* Item, std::intptr_t) {
            TExSpeedButton* button = Item->Button();
            button->SetBounds(button->Left(), button->Top(), FButtonSize.X, FButtonSize.Y);
            Item->UpdateButton();
        },
        0);
}

void TSpeedBar::Notification(TComponent* AComponent, TOperation Operation)
{
    TCustomPanel::Notification(AComponent, Operation);
    if (Operation != opRemove)
        return;
    if (AComponent == FImages)
        SetImages(nullptr);
    if (FIniLink && AComponent == FIniLink->Storage())
        FIniLink->SetStorage(nullptr);
}

// --- Sections and items --------------------------------------------------------------------------

int TSpeedBar::AddSection(const std::string& ACaption)
{
    auto* section = new TSpeedbarSection(Owner() ? Owner() : this);
    section->FCaption = ACaption;
    return AppendSection(section);
}

int TSpeedBar::AppendSection(TSpeedbarSection* Section)
{
    std::string caption = Section->FCaption;
    for (int n = 1; SearchSection(caption) >= 0; ++n)
        caption = Format("%s (%d)", {Section->FCaption, n});
    Section->FCaption = caption;
    FSections.push_back(Section);
    Section->FSpeedbar = this;
    const int index = static_cast<int>(FSections.size()) - 1;
    for (TSpeedItem* item : Section->FList) {
        item->FSection = index;
        SetItemParams(item, !Loading());
    }
    NotifyEditWindow(SBR_CHANGED);
    return index;
}

TSpeedItem* TSpeedBar::NewItem(TComponent* AOwner, int SectionIndex, const std::string& AName)
{
    if (SectionIndex < 0 || SectionIndex >= GetSectionCount())
        return nullptr;
    auto* item = new TSpeedItem(AOwner);
    try {
        FSections[static_cast<std::size_t>(SectionIndex)]->FList.push_back(item);
        item->FSection = SectionIndex;
        SetItemParams(item, true);
        if (!AName.empty()) {
            item->SetName(AName);
            item->SetCaption(AName);
            item->FButton->SetParent(this);
        }
    } catch (...) {
        TComponent::Free(item);
        throw;
    }
    NotifyEditWindow(SBR_CHANGED);
    return item;
}

int TSpeedBar::AddItem(int SectionIndex, TSpeedItem* Item)
{
    int section = -1;
    int index = -1;
    if (FindItem(Item, section, index)) {
        const int target = std::clamp(SectionIndex, 0, GetSectionCount() - 1);
        auto& from = FSections[static_cast<std::size_t>(section)]->FList;
        from.erase(from.begin() + index);
        auto& to = FSections[static_cast<std::size_t>(target)]->FList;
        to.push_back(Item);
        Item->FSection = target;
        return static_cast<int>(to.size()) - 1;
    }
    if (SectionIndex < 0 || !Item)
        return -1;
    if (Item->FSpeedBar)
        Item->FSpeedBar->RemoveItem(Item);
    if (FSections.empty())
        AddSection("");
    const int target = std::min(SectionIndex, GetSectionCount() - 1);
    auto& list = FSections[static_cast<std::size_t>(target)]->FList;
    list.push_back(Item);
    Item->FSection = target;
    SetItemParams(Item, !Loading());
    Item->FButton->SetVisible(false);
    Item->FButton->SetParent(this);
    if (!Loading())
        Item->UpdateButton();
    NotifyEditWindow(SBR_CHANGED);
    return static_cast<int>(list.size()) - 1;
}

void TSpeedBar::RemoveItem(TSpeedItem* Item)
{
    int section = -1;
    int index = -1;
    if (!FindItem(Item, section, index))
        return;
    FSections[static_cast<std::size_t>(section)]->RemoveItem(Item);
    NotifyEditWindow(SBR_CHANGED);
}

void TSpeedBar::RemoveSection(int Index)
{
    if (Index < 0 || Index >= GetSectionCount())
        return;
    TSpeedbarSection* section = FSections[static_cast<std::size_t>(Index)];
    while (!section->FList.empty())
        TComponent::Free(section->FList.back());
    section->FSpeedbar = nullptr;
    FSections.erase(FSections.begin() + Index);
    TComponent::Free(section);
    NotifyEditWindow(SBR_CHANGED);
}

void TSpeedBar::DeleteSection(int Index)
{
    if (Index < 0 || Index >= GetSectionCount())
        return;
    TSpeedbarSection* section = FSections[static_cast<std::size_t>(Index)];
    const std::vector<TSpeedItem*> items = section->FList;
    for (TSpeedItem* item : items)
        section->RemoveItem(item);
    section->FSpeedbar = nullptr;
    FSections.erase(FSections.begin() + Index);
    NotifyEditWindow(SBR_CHANGED);
}

void TSpeedBar::ClearSections()
{
    for (int i = GetSectionCount() - 1; i >= 0; --i)
        RemoveSection(i);
}

int TSpeedBar::SearchSection(const std::string& ACaption) const
{
    for (std::size_t i = 0; i < FSections.size(); ++i)
        if (FSections[i]->FCaption == ACaption)
            return static_cast<int>(i);
    return -1;
}

TSpeedItem* TSpeedBar::SearchItem(const std::string& ItemName) const
{
    for (TSpeedbarSection* section : FSections)
        for (TSpeedItem* item : section->FList)
            if (SameText(item->Name(), ItemName))
                return item;
    return nullptr;
}

bool TSpeedBar::FindItem(TSpeedItem* Item, int& Section, int& Index) const
{
    for (std::size_t s = 0; s < FSections.size(); ++s) {
        const auto& list = FSections[s]->FList;
        const auto it = std::find(list.begin(), list.end(), Item);
        if (it != list.end()) {
            Section = static_cast<int>(s);
            Index = static_cast<int>(it - list.begin());
            return true;
        }
    }
    Section = -1;
    Index = -1;
    return false;
}

TSpeedItem* TSpeedBar::Items(int Section, int Index) const
{
    TSpeedbarSection* section = GetSection(Section);
    return section ? section->Items(Index) : nullptr;
}

int TSpeedBar::ItemsCount(int Section) const
{
    TSpeedbarSection* section = GetSection(Section);
    return section ? section->Count() : 0;
}

TSpeedbarSection* TSpeedBar::GetSection(int Index) const
{
    if (Index < 0 || Index >= GetSectionCount())
        return nullptr;
    return FSections[static_cast<std::size_t>(Index)];
}

void TSpeedBar::ForEachItem(const TForEachItem& Proc, std::intptr_t Data)
{
    // A copy: the procedure may move items between sections.
    std::vector<TSpeedItem*> items;
    for (TSpeedbarSection* section : FSections)
        items.insert(items.end(), section->FList.begin(), section->FList.end());
    for (TSpeedItem* item : items)
        Proc(item, Data);
}

void TSpeedBar::SetItemParams(TSpeedItem* Item, bool InitBounds)
{
    Item->FSpeedBar = this;
    TSpeedbarButton* button = Item->FButton;
    if (InitBounds)
        button->SetBounds(0, 0, FButtonSize.X, FButtonSize.Y);
    button->SetStyle(FButtonStyle);
    button->SetFlat(FOptions.Contains(sbFlatBtns));
    button->SetTransparent(FOptions.Contains(sbTransparentBtns));
    button->SetGrayedInactive(FOptions.Contains(sbGrayedBtns));
    Item->SetEditing(Editing());
}

// --- Grid and layout -----------------------------------------------------------------------------

void TSpeedBar::UpdateGridSize()
{
    if (Orientation() == boHorizontal) {
        FGridSize.X = GridStep(FButtonSize.X);
        FGridSize.Y = FButtonSize.Y;
    } else {
        FGridSize.X = FButtonSize.X;
        FGridSize.Y = GridStep(FButtonSize.Y);
    }
}

void TSpeedBar::SnapPoint(int& X, int& Y) const
{
    int k;
    int m;
    if (Orientation() == boHorizontal) {
        k = RoundHalfEven(X - FOffsetX, FGridSize.X);
        m = TruncDiv(Y - FOffsetY, FGridSize.Y);
    } else {
        k = TruncDiv(X - FOffsetX, FGridSize.X);
        m = RoundHalfEven(Y - FOffsetY, FGridSize.Y);
    }
    X = FOffsetX + FGridSize.X * k;
    Y = FOffsetY + FGridSize.Y * m;
}

void TSpeedBar::AlignItemToGrid(TSpeedItem* Item)
{
    if (!Item->Visible())
        return;
    int x = Item->Left();
    int y = Item->Top();
    SnapPoint(x, y);
    Item->FButton->SetBounds(x, y, FButtonSize.X, FButtonSize.Y);
}

void TSpeedBar::AlignItemsToGrid()
{
    ForEachItem([this](TSpeedItem* Item, std::intptr_t) { AlignItemToGrid(Item); }, 0);
}

void TSpeedBar::MoveItems(int DX, int DY)
{
    if (DX == 0 && DY == 0)
        return;
    ForEachItem(
        [DX, DY](TSpeedItem* Item, std::intptr_t) {
            TExSpeedButton* button = Item->Button();
            button->SetBounds(button->Left() + DX, button->Top() + DY, button->Width(), button->Height());
        },
        0);
}

void TSpeedBar::InvalidateItems()
{
    ForEachItem([](TSpeedItem* Item, std::intptr_t) { Item->FButton->ImagesChanged(); }, 0);
}

void TSpeedBar::SetButtonsOffset(int Index, int Value)
{
    Value = std::max(Value, MinButtonsOffset());
    if (Index == 0) {
        const int delta = Value - FOffsetX;
        FOffsetX = Value;
        FScaleFlags.Include(sfOffsetX);
        MoveItems(delta, 0);
    } else {
        const int delta = Value - FOffsetY;
        FOffsetY = Value;
        FScaleFlags.Include(sfOffsetY);
        MoveItems(0, delta);
    }
}

void TSpeedBar::SetButtonSize(int Index, int Value)
{
    // A zero size would divide by zero in the grid and in resizing.
    Value = std::max(Value, 1);
    if (Index == 0) {
        FButtonSize.X = Value;
        FScaleFlags.Include(sfBtnSizeX);
    } else {
        FButtonSize.Y = Value;
        FScaleFlags.Include(sfBtnSizeY);
    }
    UpdateGridSize();
    if (!ComponentState().Contains(csReading)) {
        if (Orientation() == boHorizontal) {
            if (ClientHeight() < 2 * FOffsetY + FButtonSize.Y)
                SetClientHeight(2 * FOffsetY + FButtonSize.Y);
        } else if (ClientWidth() < 2 * FOffsetX + FButtonSize.X) {
            SetClientWidth(2 * FOffsetX + FButtonSize.X);
        }
    }
    ForEachItem(
        [this](TSpeedItem* Item, std::intptr_t) {
            TExSpeedButton* button = Item->Button();
            button->SetBounds(button->Left(), button->Top(), FButtonSize.X, FButtonSize.Y);
        },
        0);
    NotifyEditWindow(SBR_BTNSIZECHANGED);
}

void TSpeedBar::AlignControls(TControl* AControl, TRect& Rect)
{
    if (FBoundLines.Contains(blTop))
        Rect.Top += 2;
    if (FBoundLines.Contains(blBottom))
        Rect.Bottom -= 2;
    if (FBoundLines.Contains(blLeft))
        Rect.Left += 2;
    if (FBoundLines.Contains(blRight))
        Rect.Right -= 2;
    TCustomPanel::AlignControls(AControl, Rect);
    const int minOffset = MinButtonsOffset();
    const int dx = std::max(minOffset - FOffsetX, 0);
    const int dy = std::max(minOffset - FOffsetY, 0);
    FOffsetX += dx;
    FOffsetY += dy;
    if (!Loading())
        MoveItems(dx, dy);
}

void TSpeedBar::SetOptions(TSpeedbarOptions Value)
{
    if (Value == FOptions)
        return;
    const bool flatChanged = Value.Contains(sbFlatBtns) != FOptions.Contains(sbFlatBtns);
    FOptions = Value;
    ForEachItem(
        [this](TSpeedItem* Item, std::intptr_t) {
            TExSpeedButton* button = Item->Button();
            if (!Item->Editing())
                button->SetFlat(FOptions.Contains(sbFlatBtns));
            button->SetTransparent(FOptions.Contains(sbTransparentBtns));
            button->SetGrayedInactive(FOptions.Contains(sbGrayedBtns));
        },
        0);
    UpdateGridSize();
    if (flatChanged)
        Realign();
    Invalidate();
}

void TSpeedBar::SetBoundLines(TBoundLines Value)
{
    if (Value == FBoundLines)
        return;
    FBoundLines = Value;
    Realign();
    Invalidate();
}

void TSpeedBar::SetImages(TImageList* Value)
{
    if (Value == FImages)
        return;
    if (FImages) {
        FImages->UnRegisterChanges(FImageChangeLink.get());
        FImages->RemoveFreeNotification(this);
    }
    FImages = Value;
    if (FImages) {
        FImages->RegisterChanges(FImageChangeLink.get());
        FImages->FreeNotification(this);
    }
    InvalidateItems();
}

void TSpeedBar::SetIniStorage(TFormPlacement* Value)
{
    if (Value == FIniLink->Storage())
        return;
    if (FIniLink->Storage())
        FIniLink->Storage()->RemoveFreeNotification(this);
    FIniLink->SetStorage(Value);
    if (Value)
        Value->FreeNotification(this);
}

// --- Orientation and align -----------------------------------------------------------------------

TBarOrientation TSpeedBar::GetOrientation() const
{
    if (FPosition == bpCustom)
        return FOrientation;
    const TAlign align = TControl::Align();
    if (IsHorizontalAlign(align))
        return boHorizontal;
    if (IsVerticalAlign(align))
        return boVertical;
    return FOrientation;
}

void TSpeedBar::SetOrientation(TBarOrientation Value)
{
    if (Value == GetOrientation())
        return;
    if (FPosition == bpAuto)
        throw ESpeedbarError(SAutoBarPosition);
    ApplyOrientation(Value);
}

void TSpeedBar::ApplyOrientation(TBarOrientation Value)
{
    if (ComponentState().Contains(csReading) || Value == FOrientation)
        return;
    FLocked = true;
    try {
        FOrientation = Value;
        std::swap(FButtonSize.X, FButtonSize.Y);
        std::swap(FGridSize.X, FGridSize.Y);
        std::swap(FOffsetX, FOffsetY);
        ForEachItem(
            [this](TSpeedItem* Item, std::intptr_t) {
                TExSpeedButton* button = Item->Button();
                button->SetBounds(button->Top(), button->Left(), FButtonSize.X, FButtonSize.Y);
            },
            0);
    } catch (...) {
        FLocked = false;
        Invalidate();
        throw;
    }
    FLocked = false;
    Invalidate();
    NotifyEditWindow(SBR_BTNSIZECHANGED);
}

void TSpeedBar::SetPosition(TBarPosition Value)
{
    if (Value == FPosition)
        return;
    FPosition = Value;
    if (FPosition == bpAuto) {
        if (IsHorizontalAlign(Align()))
            ApplyOrientation(boHorizontal);
        else if (IsVerticalAlign(Align()))
            ApplyOrientation(boVertical);
    }
}

void TSpeedBar::SetAlign(TAlign Value)
{
    const TAlign old = TControl::Align();
    if (Value == old)
        return;
    if (FPosition == bpAuto && (Value == alNone || Value == alClient))
        throw ESpeedbarError(SAutoBarPosition);
    const int width = Width();
    const int height = Height();
    // Moving between a horizontal and a vertical edge turns the bar's thickness with it.
    const bool turns = !Loading() && ((IsHorizontalAlign(old) && IsVerticalAlign(Value)) ||
                                      (IsVerticalAlign(old) && IsHorizontalAlign(Value)));
    TWinControl* parent = Parent();
    if (parent)
        parent->DisableAlign();
    try {
        TControl::SetAlign(Value);
        if (turns)
            SetBounds(Left(), Top(), height, width);
        else if (Loading())
            SetBounds(Left(), Top(), width, height);
        if (FPosition == bpAuto) {
            if (IsHorizontalAlign(Value))
                ApplyOrientation(boHorizontal);
            else if (IsVerticalAlign(Value))
                ApplyOrientation(boVertical);
        }
    } catch (...) {
        if (parent)
            parent->EnableAlign();
        throw;
    }
    FAlign = Value;
    if (parent)
        parent->EnableAlign();
}

// --- Scaling -------------------------------------------------------------------------------------

void TSpeedBar::ChangeScale(int M, int D)
{
    if (M == D || D == 0)
        return;
    const TSbScaleFlags flags =
        Loading() ? FScaleFlags : TSbScaleFlags{sfOffsetX, sfOffsetY, sfBtnSizeX, sfBtnSizeY};
    if (flags.Contains(sfBtnSizeX) && !ControlStyle.Contains(csFixedWidth))
        FButtonSize.X = std::max(MulDiv(FButtonSize.X, M, D), 1);
    if (flags.Contains(sfBtnSizeY) && !ControlStyle.Contains(csFixedHeight))
        FButtonSize.Y = std::max(MulDiv(FButtonSize.Y, M, D), 1);
    if (flags.Contains(sfOffsetX))
        FOffsetX = MulDiv(FOffsetX, M, D);
    if (flags.Contains(sfOffsetY))
        FOffsetY = MulDiv(FOffsetY, M, D);
    UpdateGridSize();
    // What the control's own scaling does: its bounds, its font and its children's places.
    SetBounds(MulDiv(Left(), M, D), MulDiv(Top(), M, D), MulDiv(Width(), M, D), MulDiv(Height(), M, D));
    if (!ParentFont())
        Font()->SetHeight(MulDiv(Font()->Height(), M, D));
    ForEachItem(
        [this, M, D](TSpeedItem* Item, std::intptr_t) {
            TExSpeedButton* button = Item->Button();
            button->SetBounds(MulDiv(button->Left(), M, D), MulDiv(button->Top(), M, D), FButtonSize.X,
                              FButtonSize.Y);
            AlignItemToGrid(Item);
        },
        0);
    FScaleFlags = {};
}

// --- Visibility and enabling ---------------------------------------------------------------------

void TSpeedBar::Dispatch(TMessage& Message)
{
    TCustomPanel::Dispatch(Message);
    if (Message.Msg == CM_VISIBLECHANGED)
        VisibleChanged();
    else if (Message.Msg == CM_ENABLEDCHANGED)
        EnabledChanged();
}

void TSpeedBar::VisibleChanged()
{
    if (Loading())
        return;
    ForEachItem([](TSpeedItem* Item, std::intptr_t) { Item->UpdateButton(); }, 0);
    if (OnVisibleChanged)
        OnVisibleChanged(this);
}

void TSpeedBar::EnabledChanged()
{
    if (Loading() || ComponentState().Contains(csDesigning))
        return;
    ForEachItem([](TSpeedItem* Item, std::intptr_t) { Item->UpdateEnabled(); }, 0);
}

// --- Painting ------------------------------------------------------------------------------------

void TSpeedBar::Paint()
{
    if (FLocked)
        return;
    TCustomPanel::Paint();
    int inset = TCustomPanel::BorderWidth();
    if (BevelOuter() != bvNone)
        inset += BevelWidth();
    if (BevelInner() != bvNone)
        inset += BevelWidth();
    TRect inner = ClientRect();
    InflateRect(inner, -inset, -inset);
    TCanvas* canvas = Canvas();
    TGraphic* graphic = FWallpaper->Graphic();
    if (graphic && graphic->Width() > 0 && graphic->Height() > 0) {
        HDC dc = canvas->Handle();
        const int saved = SaveDC(dc);
        IntersectClipRect(dc, inner.Left, inner.Top, inner.Right, inner.Bottom);
        if (FOptions.Contains(sbStretchBitmap)) {
            canvas->StretchDraw(inner, graphic);
        } else {
            const int border = TCustomPanel::BorderWidth();
            const int w = ClientWidth() - 2 * border;
            const int h = ClientHeight() - 2 * border;
            const int cols = w / graphic->Width() + 1;
            const int rows = h / graphic->Height() + 1;
            for (int row = 0; row < rows; ++row)
                for (int col = 0; col < cols; ++col)
                    canvas->Draw(inner.Left + col * graphic->Width(), inner.Top + row * graphic->Height(), graphic);
        }
        RestoreDC(dc, saved);
    }
    const auto line = [canvas](TColor color, int x1, int y1, int x2, int y2) {
        canvas->Pen()->SetColor(color);
        canvas->MoveTo(x1, y1);
        canvas->LineTo(x2, y2);
    };
    const int right = inner.Right;
    const int bottom = inner.Bottom;
    if (FBoundLines.Contains(blTop)) {
        line(clBtnShadow, inner.Left, inner.Top, right, inner.Top);
        line(clBtnHighlight, inner.Left, inner.Top + 1, right, inner.Top + 1);
    }
    if (FBoundLines.Contains(blLeft)) {
        const int top = inner.Top + (FBoundLines.Contains(blTop) ? 1 : 0);
        line(clBtnShadow, inner.Left, top, inner.Left, bottom);
        line(clBtnHighlight, inner.Left + 1, top, inner.Left + 1, bottom);
    }
    if (FBoundLines.Contains(blBottom)) {
        line(clBtnShadow, inner.Left, bottom - 2, right, bottom - 2);
        line(clBtnHighlight, inner.Left, bottom - 1, right, bottom - 1);
    }
    if (FBoundLines.Contains(blRight)) {
        const int end = bottom - (FBoundLines.Contains(blBottom) ? 1 : 0);
        line(clBtnShadow, right - 2, inner.Top, right - 2, end);
        line(clBtnHighlight, right - 1, inner.Top, right - 1, end);
    }
}

// --- Dragging the bar and resizing it ------------------------------------------------------------

TAlign TSpeedBar::TargetAlign(TPoint ScreenPoint) const
{
    TWinControl* parent = Parent();
    const TPoint p = parent->ScreenToClient(ScreenPoint);
    const double w = std::max(parent->ClientWidth(), 1);
    const double h = parent->ClientHeight();
    const double x = p.X;
    const double y = p.Y;
    if (y > h * x / w)
        return y < h * (1 - x / w) ? alLeft : alBottom;
    return y < h * (1 - x / w) ? alTop : alRight;
}

TRect TSpeedBar::FrameFor(TAlign Target) const
{
    TWinControl* parent = Parent();
    TRect rect = parent->ClientRect();
    const auto order = [](TAlign a) { return static_cast<int>(a) - static_cast<int>(alTop); };
    for (int i = 0; i < parent->ControlCount(); ++i) {
        TControl* child = parent->Controls(i);
        const TAlign align = child->Align();
        if (child == this || !child->Visible() || align < alTop || align > alRight)
            continue;
        bool before = order(align) < order(Target);
        if (align == Target) {
            switch (align) {
            case alTop:
                before = child->Top() < Top();
                break;
            case alBottom:
                before = child->Top() + child->Height() > Top() + Height();
                break;
            case alLeft:
                before = child->Left() < Left();
                break;
            default:
                before = child->Left() + child->Width() > Left() + Width();
                break;
            }
        }
        if (!before)
            continue;
        switch (align) {
        case alTop:
            rect.Top = std::max(rect.Top, child->Top() + child->Height());
            break;
        case alBottom:
            rect.Bottom = std::min(rect.Bottom, child->Top());
            break;
        case alLeft:
            rect.Left = std::max(rect.Left, child->Left() + child->Width());
            break;
        default:
            rect.Right = std::min(rect.Right, child->Left());
            break;
        }
    }
    const int thickness = Orientation() == boHorizontal ? Height() : Width();
    switch (Target) {
    case alTop:
        rect.Bottom = rect.Top + thickness;
        break;
    case alBottom:
        rect.Top = rect.Bottom - thickness;
        break;
    case alLeft:
        rect.Right = rect.Left + thickness;
        break;
    default:
        rect.Left = rect.Right - thickness;
        break;
    }
    const TPoint origin = parent->ClientOrigin();
    OffsetRect(rect, origin.X, origin.Y);
    return rect;
}

void TSpeedBar::StartDragFrame()
{
    FDrag = true;
    const TPoint origin = ClientOrigin();
    FDragRect = Bounds(origin.X, origin.Y, Width(), Height());
    FPrevAlign = Align();
    DrawInvertFrame(FDragRect, DragFrameWidth);
    InstallExCursors();
    Screen->SetCursor(crDragCursor);
}

void TSpeedBar::StopDragFrame()
{
    DrawInvertFrame(FDragRect, DragFrameWidth);
    Screen->SetCursor(crDefault);
    FDrag = false;
}

bool TSpeedBar::AllowAlign(TAlign Value)
{
    bool apply = true;
    if (OnApplyAlign)
        OnApplyAlign(this, Value, apply);
    return apply;
}

bool TSpeedBar::CheckResize(TShiftState, int X, int Y)
{
    if (!FOptions.Contains(sbAllowResize) || FDrag || !Editing())
        return false;
    const int cw = ClientWidth();
    const int ch = ClientHeight();
    bool hot = false;
    TCursor cursor = crSizeNS;
    switch (Align()) {
    case alTop:
        hot = X > 0 && X <= cw && Y > ch - 4 && Y <= ch + 4;
        break;
    case alBottom:
        hot = X > 0 && X <= cw && Y >= -3 && Y <= 4;
        break;
    case alLeft:
        hot = Y > 0 && Y <= ch && X > cw - 4 && X <= cw + 4;
        cursor = crSizeWE;
        break;
    case alRight:
        hot = Y > 0 && Y <= ch && X >= -3 && X <= 4;
        cursor = crSizeWE;
        break;
    default:
        break;
    }
    if (hot)
        Screen->SetCursor(cursor);
    else if (!FResizing)
        Screen->SetCursor(crDefault);
    return hot;
}

void TSpeedBar::ResizeTo(int X, int Y)
{
    TWinControl* parent = Parent();
    if (!parent)
        return;
    const TPoint p = parent->ScreenToClient(ClientToScreen(Point(X, Y)));
    if (!PtInRect(parent->ClientRect(), p))
        return;
    int rows = 0;
    switch (Align()) {
    case alTop:
        rows = std::abs(Y - 2 * FOffsetY) / FButtonSize.Y;
        break;
    case alBottom:
        rows = std::abs(ClientHeight() - 2 * FOffsetY - Y) / FButtonSize.Y;
        break;
    case alLeft:
        rows = std::abs(X - 2 * FOffsetX) / FButtonSize.X;
        break;
    case alRight:
        rows = std::abs(ClientWidth() - 2 * FOffsetX - X) / FButtonSize.X;
        break;
    default:
        return;
    }
    rows = std::max(rows, 1);
    if (IsHorizontalAlign(Align())) {
        SetHeight(std::min(FButtonSize.Y * rows + 2 * FOffsetY, parent->ClientHeight()));
        Screen->SetCursor(crSizeNS);
    } else {
        SetWidth(std::min(FButtonSize.X * rows + 2 * FOffsetX, parent->ClientWidth()));
        Screen->SetCursor(crSizeWE);
    }
}

void TSpeedBar::MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y)
{
    TCustomPanel::MouseDown(Button, Shift, X, Y);
    if (Button != mbLeft)
        return;
    if (CheckResize(Shift, X, Y)) {
        FResizing = true;
        SetMouseCapture(true);
        return;
    }
    if (FOptions.Contains(sbAllowDrag) && Parent() && Align() >= alTop && Align() <= alRight) {
        FMouseDown = true;
        FStartDrag = Point(X, Y);
        SetMouseCapture(true);
    }
}

void TSpeedBar::MouseMove(TShiftState Shift, int X, int Y)
{
    TCustomPanel::MouseMove(Shift, X, Y);
    if (FResizing) {
        if (Shift.Contains(ssLeft))
            ResizeTo(X, Y);
        return;
    }
    if (!FDrag)
        CheckResize(Shift, X, Y);
    if (!FMouseDown || !Shift.Contains(ssLeft) || !Parent())
        return;
    if (!FDrag) {
        if (std::abs(X - FStartDrag.X) > DragThreshold || std::abs(Y - FStartDrag.Y) > DragThreshold)
            StartDragFrame();
        return;
    }
    const TAlign target = TargetAlign(ClientToScreen(Point(X, Y)));
    if (!AllowAlign(target))
        return;
    const TRect frame = FrameFor(target);
    FPrevAlign = target;
    if (frame == FDragRect)
        return;
    DrawInvertFrame(FDragRect, DragFrameWidth);
    FDragRect = frame;
    DrawInvertFrame(FDragRect, DragFrameWidth);
}

void TSpeedBar::MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y)
{
    const bool wasResizing = FResizing;
    const bool wasDragging = FDrag;
    FMouseDown = false;
    FResizing = false;
    if (wasResizing || wasDragging)
        SetMouseCapture(false);
    if (wasResizing)
        Screen->SetCursor(crDefault);
    if (wasDragging) {
        StopDragFrame();
        TWinControl* parent = Parent();
        if (parent) {
            const TAlign target = TargetAlign(ClientToScreen(Point(X, Y)));
            const TAlign chosen = AllowAlign(target) ? target : FPrevAlign;
            parent->DisableAlign();
            try {
                SetAlign(chosen);
            } catch (...) {
                parent->EnableAlign();
                throw;
            }
            parent->EnableAlign();
            PosChanged();
        }
    }
    TCustomPanel::MouseUp(Button, Shift, X, Y);
}

void TSpeedBar::PosChanged()
{
    if (OnPosChanged)
        OnPosChanged(this);
}

void TSpeedBar::AfterCustomize()
{
    if (OnCustomize)
        OnCustomize(this);
}

// --- Customising ---------------------------------------------------------------------------------

void TSpeedBar::SetEditing(HWND Win)
{
    const bool wasEditing = FEditWin != nullptr;
    FEditWin = Win;
    const bool editing = Win != nullptr;
    ForEachItem([editing](TSpeedItem* Item, std::intptr_t) { Item->SetEditing(editing); }, 0);
    if (wasEditing && !editing && !ComponentState().Contains(csDesigning))
        AfterCustomize();
}

void TSpeedBar::NotifyEditWindow(WPARAM Code)
{
    if (FEditWin)
        SendMessage(FEditWin, CM_SPEEDBARCHANGED, Code, reinterpret_cast<LPARAM>(this));
}

bool TSpeedBar::AcceptDropItem(TSpeedItem* Item, int X, int Y)
{
    if (!Item || Item->SpeedBar() != this)
        return false;
    SnapPoint(X, Y);
    Item->FButton->SetBounds(X, Y, FButtonSize.X, FButtonSize.Y);
    const bool inside = PtInRect(ClientRect(), Point(X, Y));
    if (inside)
        Item->FButton->BringToFront();
    else
        Item->FButton->SendToBack();
    Item->SetVisible(inside);
    return inside;
}

void TSpeedBar::Customize(int HelpCtx) { ShowSpeedbarSetupWindow(this, HelpCtx); }

// --- Layout storage ------------------------------------------------------------------------------

void TSpeedBar::WriteLayout(TObject* IniFile, const std::string& Section)
{
    IniEraseSection(IniFile, Section);
    const TAlign align = Align();
    IniWriteInteger(IniFile, Section, "Position", static_cast<int>(align));
    if (IsHorizontalAlign(align))
        IniWriteInteger(IniFile, Section, "Width", Height());
    else if (IsVerticalAlign(align))
        IniWriteInteger(IniFile, Section, "Width", Width());
    IniWriteInteger(IniFile, Section, "Version", Version);
    IniWriteInteger(IniFile, Section, "PixelsPerInch", Screen->PixelsPerInch());
    IniWriteInteger(IniFile, Section, "BtnWidth", FButtonSize.X);
    IniWriteInteger(IniFile, Section, "BtnHeight", FButtonSize.Y);
    int count = 0;
    ForEachItem(
        [&](TSpeedItem* Item, std::intptr_t) {
            if (!Item->Visible() || !Item->Stored())
                return;
            ++count;
            IniWriteString(IniFile, Section, "Button" + std::to_string(count),
                           Format("%s,%d,%d", {Item->Name(), Item->Left(), Item->Top()}));
        },
        0);
    IniWriteInteger(IniFile, Section, "Count", count);
}

namespace {

// How many "Button" keys the section holds, so that a hand-edited "Count" reads only those.
int ButtonKeysPresent(TObject* IniFile, const std::string& Section)
{
    TStringList idents;
    if (auto* reg = dynamic_cast<TRegIniFile*>(IniFile))
        reg->ReadSection(Section, idents);
    else if (auto* ini = dynamic_cast<TIniFile*>(IniFile))
        ini->ReadSection(Section, idents);
    else
        return 0;
    int count = 0;
    for (int i = 0; i < idents.Count(); ++i)
        if (SameText(Copy(idents.Strings(i), 1, 6), "Button") && idents.Strings(i).size() > 6)
            ++count;
    return count;
}

} // namespace

void TSpeedBar::ReadLayout(TObject* IniFile, const std::string& Section)
{
    const TAlign oldAlign = Align();
    if (IniReadInteger(IniFile, Section, "Version", Version) < Version)
        return;
    if (FOptions.Contains(sbAllowDrag)) {
        const int position = IniReadInteger(IniFile, Section, "Position", static_cast<int>(oldAlign));
        try {
            if (position < alNone || position > alClient)
                throw ESpeedbarError(SAutoBarPosition);
            SetAlign(static_cast<TAlign>(position));
        } catch (const Exception&) {
            SetAlign(alTop);
        }
    }
    int ownerPixels = 0;
    if (auto* form = dynamic_cast<TCustomForm*>(Owner()))
        ownerPixels = form->PixelsPerInch;
    if (IniReadInteger(IniFile, Section, "PixelsPerInch", ownerPixels) != Screen->PixelsPerInch()) {
        if (Align() != oldAlign)
            PosChanged();
        return;
    }
    if (FOptions.Contains(sbAllowResize)) {
        const bool horizontal = IsHorizontalAlign(Align());
        const int current = horizontal ? Height() : Width();
        // A thickness edited to nothing or less keeps the bar as it is.
        const int thickness = IniReadInteger(IniFile, Section, "Width", current);
        if (thickness > 0) {
            if (horizontal)
                SetHeight(thickness);
            else if (IsVerticalAlign(Align()))
                SetWidth(thickness);
        }
    }
    if (Align() != oldAlign)
        PosChanged();
    const int count = IniReadInteger(IniFile, Section, "Count", 0);
    if (count > 0)
        ShowStoredItems(IniFile, Section, count);
    Invalidate();
}

// Every item is hidden and those the "Button" keys name are shown at their places. An item keeps
// its window state unless it changes, and the bar aligns its children once at the end.
void TSpeedBar::ShowStoredItems(TObject* IniFile, const std::string& Section, int Count)
{
    const TCharSet delims{' ', ','};
    std::vector<TSpeedItem*> shown;
    int remaining = ButtonKeysPresent(IniFile, Section);
    for (int n = 1; n <= Count && remaining > 0; ++n) {
        const std::string value = IniReadString(IniFile, Section, "Button" + std::to_string(n), "");
        if (value.empty())
            continue;
        --remaining;
        const std::string name = ExtractWord(1, value, delims);
        TSpeedItem* item = name.empty() ? nullptr : SearchItem(name);
        if (!item)
            continue;
        const int left = std::max(StrToIntDef(ExtractWord(2, value, delims), item->Left()), FOffsetX);
        const int top = std::max(StrToIntDef(ExtractWord(3, value, delims), item->Top()), FOffsetY);
        item->FButton->SetBounds(left, top, item->FButton->Width(), item->FButton->Height());
        shown.push_back(item);
    }
    DisableAlign();
    try {
        ForEachItem(
            [&shown](TSpeedItem* Item, std::intptr_t) {
                if (std::find(shown.begin(), shown.end(), Item) == shown.end())
                    Item->SetVisible(false);
            },
            0);
        for (TSpeedItem* item : shown)
            item->SetVisible(true);
    } catch (...) {
        EnableAlign();
        throw;
    }
    EnableAlign();
}

void TSpeedBar::SaveLayout(TIniFile* IniFile) { WriteLayout(IniFile, GetDefaultSection(this)); }
void TSpeedBar::RestoreLayout(TIniFile* IniFile) { ReadLayout(IniFile, GetDefaultSection(this)); }
void TSpeedBar::SaveLayoutReg(TRegIniFile* IniFile) { WriteLayout(IniFile, GetDefaultSection(this)); }
void TSpeedBar::RestoreLayoutReg(TRegIniFile* IniFile) { ReadLayout(IniFile, GetDefaultSection(this)); }

void TSpeedBar::IniSave(TObject*)
{
    TObject* ini = FIniLink->GetIniObject();
    if (!Name().empty() && ini)
        WriteLayout(ini, FIniLink->GetRootSection() + GetDefaultSection(this));
}

void TSpeedBar::IniLoad(TObject*)
{
    TObject* ini = FIniLink->GetIniObject();
    if (!Name().empty() && ini)
        ReadLayout(ini, FIniLink->GetRootSection() + GetDefaultSection(this));
}

// --- Plain functions -----------------------------------------------------------------------------

int NewSpeedSection(TSpeedBar* ASpeedbar, const std::string& ACaption) { return ASpeedbar->AddSection(ACaption); }

TSpeedItem* NewSpeedItem(TComponent* AOwner, TSpeedBar* ASpeedbar, int Section, const std::string& AName)
{
    return ASpeedbar->NewItem(AOwner, Section, AName);
}

TSpeedBar* FindSpeedBar(const TPoint& Pos)
{
    HWND window = WindowFromPoint(Pos);
    while (window && !FindControl(window))
        window = GetParent(window);
    return window ? dynamic_cast<TSpeedBar*>(FindControl(window)) : nullptr;
}
