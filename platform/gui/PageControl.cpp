// Tab controls and page controls.

#include "platform/gui/PageControl.h"

#include "platform/gui/Form.h"
#include "platform/gui/TextOutput.h"
#include "platform/gui/private/QtBridge.h"
#include "platform/gui/private/StdCtrlSupport.h"
#include "platform/gui/private/Surfaces.h"

#include <algorithm>

// --- TCustomTabControl -------------------------------------------------------------------------------

TCustomTabControl::TCustomTabControl(TComponent* AOwner) : TWinControl(AOwner)
{
    ControlStyle = TControlStyle{csAcceptsControls, csDoubleClicks, csOpaque};
    SetTabStop(true);
    SetColor(clBtnFace);
    SetBounds(0, 0, 289, 193);
}

TCustomTabControl::~TCustomTabControl() = default;

int TCustomTabControl::TabHeight() const { return StdCtrl::TextHeight(*Font()) + 6; }

TRect TCustomTabControl::TabRect(int index) const
{
    const std::vector<std::string> captions = TabCaptions();
    if (index < 0 || index >= static_cast<int>(captions.size()))
        return TRect();
    int left = 2;
    for (int i = 0; i < index; ++i)
        left += StdCtrl::TextWidth(*Font(), StdCtrl::StripAccel(captions[static_cast<std::size_t>(i)])) + 12;
    const int width = StdCtrl::TextWidth(*Font(), StdCtrl::StripAccel(captions[static_cast<std::size_t>(index)])) + 12;
    return Rect(left, 2, left + width, 2 + TabHeight());
}

int TCustomTabControl::IndexOfTabAt(int X, int Y) const
{
    const int count = static_cast<int>(TabCaptions().size());
    for (int i = 0; i < count; ++i)
        if (PtInRect(TabRect(i), Point(X, Y)))
            return i;
    return -1;
}

TRect TCustomTabControl::DisplayRect() const
{
    TRect rect = Rect(0, 0, ClientWidth(), ClientHeight());
    const_cast<TCustomTabControl*>(this)->AdjustClientRect(rect);
    return rect;
}

void TCustomTabControl::AdjustClientRect(TRect& Rect)
{
    TWinControl::AdjustClientRect(Rect);
    Rect.Top += TabHeight() + 2;
    InflateRect(Rect, -4, -4);
    Rect.Top -= 2;
}

void TCustomTabControl::TabsChanged()
{
    const int count = static_cast<int>(TabCaptions().size());
    if (FTabIndex >= count)
        FTabIndex = count - 1;
    Invalidate();
}

void TCustomTabControl::SetTabIndex(int value)
{
    const int count = static_cast<int>(TabCaptions().size());
    if (value < -1 || value >= count)
        value = -1;
    FTabIndex = value;
    Invalidate();
}

void TCustomTabControl::SetMultiLine(bool value)
{
    FMultiLine = value;
    Invalidate();
}

bool TCustomTabControl::CanChange()
{
    bool allow = true;
    if (OnChanging)
        OnChanging(this, allow);
    return allow;
}

void TCustomTabControl::Change()
{
    if (OnChange)
        OnChange(this);
}

void TCustomTabControl::SelectTab(int index)
{
    if (index == FTabIndex || index < 0 || index >= static_cast<int>(TabCaptions().size()))
        return;
    if (!CanChange())
        return;
    FTabIndex = index;
    Invalidate();
    Change();
}

void TCustomTabControl::MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y)
{
    if (Button == mbLeft) {
        const int index = IndexOfTabAt(X, Y);
        if (index >= 0) {
            if (CanFocus())
                SetFocus();
            SelectTab(index);
        }
    }
    TWinControl::MouseDown(Button, Shift, X, Y);
}

void TCustomTabControl::KeyDown(WORD& Key, TShiftState Shift)
{
    TWinControl::KeyDown(Key, Shift);
    const int count = static_cast<int>(TabCaptions().size());
    if (count == 0)
        return;
    if (Key == VK_RIGHT)
        SelectTab(std::min(FTabIndex + 1, count - 1));
    else if (Key == VK_LEFT)
        SelectTab(std::max(FTabIndex - 1, 0));
    else if (Key == VK_TAB && Shift.Contains(ssCtrl))
        SelectTab(Shift.Contains(ssShift) ? (FTabIndex + count - 1) % count : (FTabIndex + 1) % count);
}

void TCustomTabControl::Paint()
{
    QPainter* painter = PaintPainter(this);
    if (!painter)
        return;
    painter->fillRect(QRect(0, 0, ClientWidth(), ClientHeight()), ToQColor(Color()));
    const int tabBottom = 2 + TabHeight();
    QRect body(0, tabBottom, ClientWidth(), ClientHeight() - tabBottom);
    StdCtrl::DrawRaisedEdge(*painter, body, false);
    const std::vector<std::string> captions = TabCaptions();
    for (int i = 0; i < static_cast<int>(captions.size()); ++i) {
        QRect tab = ToQRect(TabRect(i));
        const bool active = i == FTabIndex;
        if (active)
            tab.adjust(-2, -2, 2, 1);
        painter->fillRect(tab, ToQColor(Color()));
        painter->setPen(ToQColor(clBtnHighlight));
        painter->drawLine(tab.left(), tab.bottom(), tab.left(), tab.top() + 2);
        painter->drawLine(tab.left() + 2, tab.top(), tab.right() - 2, tab.top());
        painter->drawPoint(tab.left() + 1, tab.top() + 1);
        painter->setPen(ToQColor(cl3DDkShadow));
        painter->drawLine(tab.right(), tab.top() + 2, tab.right(), tab.bottom() - (active ? 1 : 0));
        painter->drawPoint(tab.right() - 1, tab.top() + 1);
        painter->setPen(ToQColor(clBtnShadow));
        painter->drawLine(tab.right() - 1, tab.top() + 2, tab.right() - 1, tab.bottom() - (active ? 1 : 0));
        QRect text = tab.adjusted(0, active ? 1 : 0, 0, 0);
        StdCtrl::DrawCaption(painter, text, captions[static_cast<std::size_t>(i)], DT_CENTER | DT_VCENTER | DT_SINGLELINE,
                             *Font(), Enabled() ? Font()->Color() : clGrayText);
        if (active && Focused())
            StdCtrl::DrawFocusRect(*painter, tab.adjusted(3, 3, -3, -2));
    }
}

void TCustomTabControl::Dispatch(TMessage& Message)
{
    switch (Message.Msg) {
    case WM_GETDLGCODE:
        Message.Result = DLGC_WANTARROWS;
        return;
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
    case CM_FONTCHANGED:
        TWinControl::Dispatch(Message);
        Invalidate();
        if (Message.Msg == CM_FONTCHANGED)
            Realign();
        return;
    case CM_DIALOGKEY:
        if (static_cast<WORD>(Message.WParam) == VK_TAB && GetKeyState(VK_CONTROL) < 0 && ContainsControl(
                GetParentForm(this) ? GetParentForm(this)->ActiveControl() : nullptr)) {
            WORD key = VK_TAB;
            KeyDown(key, GetShiftState());
            Message.Result = 1;
            return;
        }
        TWinControl::Dispatch(Message);
        return;
    default:
        TWinControl::Dispatch(Message);
    }
}

// --- TTabControl ---------------------------------------------------------------------------------------

TTabControl::TTabControl(TComponent* AOwner) : TCustomTabControl(AOwner), FTabs(std::make_unique<TStringList>())
{
    FTabs->OnChange = [this](TObject*) {
        if (FTabIndex < 0 && FTabs->Count() > 0)
            FTabIndex = 0;
        TabsChanged();
    };
}

TTabControl::~TTabControl() { FTabs->OnChange = nullptr; }

std::vector<std::string> TTabControl::TabCaptions() const
{
    std::vector<std::string> captions;
    for (int i = 0; i < FTabs->Count(); ++i)
        captions.push_back(FTabs->Strings(i));
    return captions;
}

// --- TTabSheet -----------------------------------------------------------------------------------------

TTabSheet::TTabSheet(TComponent* AOwner) : TWinControl(AOwner)
{
    ControlStyle = TControlStyle{csAcceptsControls};
    FVisible = false;
    SetAlign(alClient);
}

TTabSheet::~TTabSheet() { SetPageControl(nullptr); }

void TTabSheet::SetPageControl(TPageControl* value)
{
    if (FPageControl == value)
        return;
    if (FPageControl)
        FPageControl->RemovePage(this);
    FPageControl = value;
    SetParent(value);
    if (value)
        value->InsertPage(this);
}

int TTabSheet::PageIndex() const
{
    if (!FPageControl)
        return -1;
    const auto& pages = FPageControl->FPages;
    return static_cast<int>(std::find(pages.begin(), pages.end(), this) - pages.begin());
}

void TTabSheet::SetPageIndex(int value)
{
    if (!FPageControl)
        return;
    auto& pages = FPageControl->FPages;
    value = std::clamp(value, 0, static_cast<int>(pages.size()) - 1);
    pages.erase(std::find(pages.begin(), pages.end(), this));
    pages.insert(pages.begin() + value, this);
    FPageControl->SyncTabIndex();
}

void TTabSheet::SetTabVisible(bool value)
{
    FTabVisible = value;
    if (FPageControl)
        FPageControl->SyncTabIndex();
}

int TTabSheet::TabIndex() const
{
    if (!FPageControl || !FTabVisible)
        return -1;
    int index = 0;
    for (TTabSheet* page : FPageControl->FPages) {
        if (page == this)
            return index;
        if (page->FTabVisible)
            ++index;
    }
    return -1;
}

void TTabSheet::Dispatch(TMessage& Message)
{
    if (Message.Msg == CM_TEXTCHANGED && FPageControl)
        FPageControl->Invalidate();
    TWinControl::Dispatch(Message);
}

// --- TPageControl ---------------------------------------------------------------------------------------

TPageControl::TPageControl(TComponent* AOwner) : TCustomTabControl(AOwner) {}

TPageControl::~TPageControl()
{
    for (TTabSheet* page : FPages)
        page->FPageControl = nullptr;
}

TTabSheet* TPageControl::Pages(int index) const
{
    if (index < 0 || index >= PageCount())
        RAISE(EStringListError("List index out of bounds (" + std::to_string(index) + ")"));
    return FPages[static_cast<std::size_t>(index)];
}

std::vector<std::string> TPageControl::TabCaptions() const
{
    std::vector<std::string> captions;
    for (TTabSheet* page : FPages)
        if (page->TabVisible())
            captions.push_back(page->Caption());
    return captions;
}

void TPageControl::InsertPage(TTabSheet* page)
{
    FPages.push_back(page);
    if (!FActivePage)
        SetActivePage(page);
    SyncTabIndex();
}

void TPageControl::RemovePage(TTabSheet* page)
{
    FPages.erase(std::remove(FPages.begin(), FPages.end(), page), FPages.end());
    if (FActivePage == page) {
        FActivePage = nullptr;
        if (!FPages.empty())
            SetActivePage(FPages.front());
    }
    SyncTabIndex();
}

void TPageControl::SyncTabIndex()
{
    FTabIndex = FActivePage ? FActivePage->TabIndex() : -1;
    Invalidate();
}

void TPageControl::ShowActive()
{
    for (TTabSheet* page : FPages)
        if (page != FActivePage)
            page->SetVisible(false);
    if (FActivePage) {
        FActivePage->BringToFront();
        FActivePage->SetVisible(true);
    }
}

void TPageControl::SetActivePage(TTabSheet* page)
{
    if (page && page->FPageControl != this)
        return;
    // The focus leaves a sheet that is hidden.
    if (FActivePage && FActivePage != page)
        if (TCustomForm* form = GetParentForm(this))
            if (form->ActiveControl() && FActivePage->ContainsControl(form->ActiveControl()) && CanFocus())
                form->SetActiveControl(this);
    FActivePage = page;
    ShowActive();
    SyncTabIndex();
}

int TPageControl::ActivePageIndex() const { return FActivePage ? FActivePage->PageIndex() : -1; }

void TPageControl::SetActivePageIndex(int value)
{
    if (value < 0 || value >= PageCount())
        SetActivePage(nullptr);
    else
        SetActivePage(FPages[static_cast<std::size_t>(value)]);
}

void TPageControl::Change()
{
    int index = 0;
    for (TTabSheet* page : FPages) {
        if (!page->TabVisible())
            continue;
        if (index++ == FTabIndex) {
            FActivePage = page;
            ShowActive();
            break;
        }
    }
    TCustomTabControl::Change();
}

TTabSheet* TPageControl::FindNextPage(TTabSheet* current, bool goForward, bool checkTabVisible) const
{
    const int count = PageCount();
    if (count == 0)
        return nullptr;
    int start = current ? current->PageIndex() : (goForward ? count - 1 : 0);
    for (int n = 1; n <= count; ++n) {
        const int i = ((start + (goForward ? n : -n)) % count + count) % count;
        TTabSheet* page = FPages[static_cast<std::size_t>(i)];
        if (!checkTabVisible || page->TabVisible())
            return page;
    }
    return nullptr;
}

void TPageControl::SelectNextPage(bool goForward)
{
    TTabSheet* page = FindNextPage(FActivePage, goForward, true);
    if (page && page != FActivePage && CanChange()) {
        SetActivePage(page);
        TCustomTabControl::Change();
    }
}
