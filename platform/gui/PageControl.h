#pragma once
// Tab controls and page controls, painted by the layer: the tabs along the top, the client area
// below them. Only the active sheet of a page control is visible.

#include "platform/gui/WinControl.h"
#include "platform/rtl/Lists.h"

#include <memory>
#include <vector>

enum TTabPosition { tpTop, tpBottom, tpLeft, tpRight };
using TTabChangingEvent = std::function<void(TObject* Sender, bool& AllowChange)>;

class TCustomTabControl : public TWinControl {
    TESS_CLASS(TCustomTabControl, TWinControl)
public:
    explicit TCustomTabControl(TComponent* AOwner);
    ~TCustomTabControl() override;

    int TabIndex() const { return FTabIndex; }
    void SetTabIndex(int value);
    bool MultiLine() const { return FMultiLine; }
    void SetMultiLine(bool value);
    TTabPosition TabPosition = tpTop;
    TNotifyEvent OnChange;
    TTabChangingEvent OnChanging;
    // The rectangle of a tab in client coordinates.
    TRect TabRect(int index) const;
    int IndexOfTabAt(int X, int Y) const;
    TRect DisplayRect() const;
    void Dispatch(TMessage& Message) override;

protected:
    // The captions of the visible tabs.
    virtual std::vector<std::string> TabCaptions() const = 0;
    virtual bool CanChange();
    virtual void Change();
    // Moves to the tab as a user action (asks OnChanging, fires OnChange).
    void SelectTab(int index);
    void AdjustClientRect(TRect& Rect) override;
    void Paint() override;
    void MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) override;
    void KeyDown(WORD& Key, TShiftState Shift) override;
    int TabHeight() const;
    void TabsChanged();
    int FTabIndex = -1;

private:
    bool FMultiLine = false;
};

class TTabControl : public TCustomTabControl {
    TESS_CLASS(TTabControl, TCustomTabControl)
public:
    explicit TTabControl(TComponent* AOwner);
    ~TTabControl() override;
    TStrings* Tabs() const { return FTabs.get(); }
    void SetTabs(TStrings* value) { FTabs->Assign(value); }

protected:
    std::vector<std::string> TabCaptions() const override;

private:
    std::unique_ptr<TStringList> FTabs;
};

class TPageControl;

class TTabSheet : public TWinControl {
    TESS_CLASS(TTabSheet, TWinControl)
public:
    explicit TTabSheet(TComponent* AOwner);
    ~TTabSheet() override;
    TPageControl* PageControl() const { return FPageControl; }
    void SetPageControl(TPageControl* value);
    int PageIndex() const;
    void SetPageIndex(int value);
    bool TabVisible() const { return FTabVisible; }
    void SetTabVisible(bool value);
    // The index among the visible tabs, -1 when its tab is hidden.
    int TabIndex() const;
    void Dispatch(TMessage& Message) override;

private:
    friend class TPageControl;
    TPageControl* FPageControl = nullptr;
    bool FTabVisible = true;
};

class TPageControl : public TCustomTabControl {
    TESS_CLASS(TPageControl, TCustomTabControl)
public:
    explicit TPageControl(TComponent* AOwner);
    ~TPageControl() override;
    int PageCount() const { return static_cast<int>(FPages.size()); }
    // Raises EStringListError "List index out of bounds (%d)" out of range.
    TTabSheet* Pages(int index) const;
    TTabSheet* ActivePage() const { return FActivePage; }
    void SetActivePage(TTabSheet* page);
    int ActivePageIndex() const;
    void SetActivePageIndex(int value);
    TTabSheet* FindNextPage(TTabSheet* current, bool goForward, bool checkTabVisible) const;
    void SelectNextPage(bool goForward);

protected:
    std::vector<std::string> TabCaptions() const override;
    void Change() override;

private:
    friend class TTabSheet;
    void InsertPage(TTabSheet* page);
    void RemovePage(TTabSheet* page);
    void ShowActive();
    void SyncTabIndex();
    std::vector<TTabSheet*> FPages;
    TTabSheet* FActivePage = nullptr;
};
