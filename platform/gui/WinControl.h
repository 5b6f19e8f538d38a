#pragma once
// Windowed controls: handles created on demand, the control tree, alignment and anchors, focus
// and tab order, keys, the non-client area and the window scroll bars; TCustomControl paints
// itself into its retained image; TScrollingWinControl scrolls its children.

#include "platform/gui/Control.h"

#include <memory>
#include <vector>

struct TWindowRecord;
class TListBoxWindow;
class TRichEditWindow;

struct TCreateParams {
    std::string Caption;
    DWORD Style = 0;
    DWORD ExStyle = 0;
    int X = 0;
    int Y = 0;
    int Width = 0;
    int Height = 0;
    HWND WndParent = nullptr;
    void* Param = nullptr;
    // The window class: its name ("" = the control's class name) and class style.
    std::string WinClassName;
    UINT WindowClassStyle = 0;
};

using TKeyEvent = std::function<void(TObject* Sender, WORD& Key, TShiftState Shift)>;
using TKeyPressEvent = std::function<void(TObject* Sender, char& Key)>;

enum TBorderStyle { bsNone, bsSingle, bsSizeable, bsDialog, bsToolWindow, bsSizeToolWin };

// The scroll bars a memo or a grid shows.
enum TScrollStyle { ssNone, ssHorizontal, ssVertical, ssBoth };

class TWinControl : public TControl {
    TESS_CLASS(TWinControl, TControl)
public:
    explicit TWinControl(TComponent* AOwner);
    ~TWinControl() override;

    // --- The window handle ---
    // Creates the handle when it does not exist yet.
    HWND Handle();
    bool HandleAllocated() const { return FHandle != nullptr; }
    void HandleNeeded();
    void RecreateWnd();
    // The window's style as the handle holds it (CreateParams until the handle exists).
    DWORD WindowStyle() const;
    DWORD WindowExStyle() const;

    // --- Children ---
    int ControlCount() const { return static_cast<int>(FControls.size()); }
    TControl* Controls(int index) const { return FControls.at(static_cast<std::size_t>(index)); }
    bool ContainsControl(TControl* control) const;
    TControl* ControlAtPos(const TPoint& pos, bool allowDisabled, bool allowWinControls = true) const;
    TControl* FindChildControl(const std::string& name) const;
    // Performs the message on each child in order until one sets a non-zero result.
    void Broadcast(TMessage& Message);
    void InsertControl(TControl* control);
    void RemoveControl(TControl* control);

    // --- Focus and tab order ---
    int TabOrder() const;
    void SetTabOrder(int value);
    bool TabStop() const { return FTabStop; }
    void SetTabStop(bool value);
    virtual bool CanFocus() const;
    bool Focused() const;
    // Raises EInvalidOperation "Cannot focus a disabled or invisible window".
    virtual void SetFocus();
    void SelectFirst();
    void SelectNext(TWinControl* CurControl, bool GoForward, bool CheckTabStop);
    TWinControl* FindNextControl(TWinControl* CurControl, bool GoForward, bool CheckTabStop, bool CheckParent) const;
    void GetTabOrderList(std::vector<TWinControl*>& list) const;

    // --- Alignment ---
    void DisableAlign();
    void EnableAlign();
    // Waits while the control loads (its form is being built) and runs in Loaded.
    void Realign();
    void Loaded() override;
    int BorderWidth() const { return FBorderWidth; }
    void SetBorderWidth(int value);
    bool Ctl3D = true;
    bool ParentCtl3D = true;
    bool DoubleBuffered = false;

    // Paints the control and its children into the device context at (X, Y).
    void PaintTo(HDC DC, int X, int Y);
    // Paints the window alone, without its graphic children, into DC at the context's logical
    // (0, 0), as the window's own painting draws it.
    void PaintWindow(HDC DC) { PaintClientInto(this, DC); }
    void Invalidate() override;
    void Update() override;
    TRect ClientRect() const override;
    TPoint ClientOrigin() const override;
    void SetBounds(int ALeft, int ATop, int AWidth, int AHeight) override;
    void SetVisible(bool value) override;
    void SetEnabled(bool value) override;
    void SetParent(TWinControl* AParent) override;
    void Dispatch(TMessage& Message) override;
    void DefaultHandler(TMessage& Message) override;
    void PaintControl() override;

    // --- The window scroll bars (SB_HORZ, SB_VERT) ---
    SCROLLINFO& ScrollInfo(int bar) { return FScrollInfo[bar == SB_VERT ? 1 : 0]; }
    bool ScrollBarShown(int bar) const { return FScrollShown[bar == SB_VERT ? 1 : 0]; }
    bool ScrollBarEnabled(int bar) const { return FScrollEnabled[bar == SB_VERT ? 1 : 0]; }
    void SetScrollBarState(int bar, bool shown, bool enabled);

    TNotifyEvent OnEnter;
    TNotifyEvent OnExit;
    TKeyEvent OnKeyDown;
    TKeyPressEvent OnKeyPress;
    TKeyEvent OnKeyUp;

    // Asks WM_NCCALCSIZE again and lays out the frame (SetWindowPos with SWP_FRAMECHANGED).
    void FrameChanged();
    // The client rectangle inside the window, as WM_NCCALCSIZE answered it.
    TRect ClientRectInWindow() const;
    // The retained image of the non-client frame is redrawn (WM_NCPAINT) after each paint.
    void SendNcPaint();

protected:
    virtual void CreateParams(TCreateParams& Params);
    virtual void CreateWnd();
    virtual void DestroyWnd();
    virtual void CreateHandle();
    virtual void DestroyHandle();
    // Makes the host widget for the parameters; Visual layer III hosts Qt controls here.
    virtual IHostWidget* CreateHost(const TCreateParams& Params, void* parentWidget);
    bool HasRetainedImage() const override { return true; }

    virtual void AlignControls(TControl* AControl, TRect& Rect);
    virtual void AdjustClientRect(TRect& Rect);
    void BoundsChanged(bool moved, bool resized) override;
    void UpdateHost() override;

    virtual void KeyDown(WORD& Key, TShiftState Shift);
    virtual void KeyPress(char& Key);
    virtual void KeyUp(WORD& Key, TShiftState Shift);
    virtual void DoEnter();
    virtual void DoExit();
    bool DoKeyDown(TMessage& Message);
    bool DoKeyPress(TMessage& Message);
    bool DoKeyUp(TMessage& Message);

    // Menus of Visual layer III answer shortcuts here; true when one took the key.
    virtual bool IsMenuKey(TMessage& Message);
    // The child a notification message names (its window, NMHDR or item structure), or nullptr.
    TWinControl* NotifyingChild(const TMessage& Message) const;
    void NcCalcSize(TRect& windowRect) const;
    // The default processing DefWindowProc does for this control's handle.
    virtual bool DefaultWindowMessage(TMessage& Message);
    void PaintNonClient();
    // A control whose window class is "RICHEDIT" or "RichEdit20A" has the rich edit's window
    // processing: its text, selection, lines and undo live there and are reached by messages.
    bool HasRichEditWindow() const { return FRichEditWindow != nullptr; }
    // The rich edit window's answer to a message; false when it is not one of its messages.
    bool RichEditWindowMessage(TMessage& Message);

    HWND FHandle = nullptr;
    std::vector<TControl*> FControls;
    std::shared_ptr<TWindowRecord> FRecord;

private:
    friend class TControl;
    friend class THostBridge;
    friend void DestroyControlWindow(TWinControl* control);
    friend void ApplyWindowStyle(HWND handle, LONG_PTR oldStyle, LONG_PTR oldExStyle);
    void CreateChildHandles();
    // WM_PAINT with a device context (a control painting its parent's image under itself): the
    // client area, then each visible graphic child, painted into the context.
    void PaintIntoContext(HDC dc);
    // Paints control's client area into dc at the context's logical (0, 0).
    static void PaintClientInto(TControl* control, HDC dc);
    void UpdateNcLayout();
    void LayoutScrollBars();
    void ApplyAnchors(int oldClientWidth, int oldClientHeight);

    // How many of FControls are windowed: a new graphic child looks for the first of them only
    // when there is one, so adding many graphic controls does not scan them all each time.
    int FWinControlCount = 0;
    int FTabOrder = -1;
    bool FTabStop = false;
    int FBorderWidth = 0;
    int FAlignLevel = 0;
    bool FAlignPending = false;
    bool FAligning = false;
    int FAnchorBaseWidth = -1;
    int FAnchorBaseHeight = -1;
    TRect FClientInWindow;
    bool FClientValid = false;
    SCROLLINFO FScrollInfo[2];
    bool FScrollShown[2] = {false, false};
    bool FScrollEnabled[2] = {true, true};
    void* FScrollBars[2] = {nullptr, nullptr};
    // A plain control of the "SCROLLBAR" window class: its whole window is one bar (index 1 for
    // SBS_VERT) that answers the SBM_* messages and tells the parent of the user's actions.
    int FBareScrollBar = -1;
    // A plain control of the "LISTBOX" window class: the list box's window processing.
    std::unique_ptr<TListBoxWindow> FListBoxWindow;
    std::unique_ptr<TRichEditWindow> FRichEditWindow;
    bool BareScrollBarMessage(TMessage& Message);
    // Reports a user action on the window's bars (WM_HSCROLL or WM_VSCROLL).
    void SendScrollAction(UINT message, WPARAM wParam);
};

// A windowed control that paints itself through Paint into its retained image.
class TCustomControl : public TWinControl {
    TESS_CLASS(TCustomControl, TWinControl)
public:
    explicit TCustomControl(TComponent* AOwner);
    ~TCustomControl() override;
    // Draws on the paint context inside Paint, elsewhere on the client context.
    TCanvas* Canvas();

protected:
    void PaintMessage() override;

private:
    std::unique_ptr<TPaintCanvas> FCanvas;
};

class TScrollingWinControl;

enum TScrollBarKind { sbHorizontal, sbVertical };

// The scroll bar of a scrolling control: range and position in pixels.
class TControlScrollBar : public TPersistent {
    TESS_CLASS(TControlScrollBar, TPersistent)
public:
    TControlScrollBar(TScrollingWinControl* control, TScrollBarKind kind);
    TScrollBarKind Kind() const { return FKind; }
    int Range() const { return FRange; }
    void SetRange(int value);
    int Position() const { return FPosition; }
    void SetPosition(int value);
    bool Visible() const { return FVisible; }
    void SetVisible(bool value);
    int Increment = 8;
    bool Tracking = false;
    int Margin = 0;
    int ButtonSize = 0;
    bool IsScrollBarVisible() const;
    void Update();

private:
    friend class TScrollingWinControl;
    TScrollingWinControl* FControl;
    TScrollBarKind FKind;
    int FRange = 0;
    int FPosition = 0;
    bool FVisible = true;
    bool FRangeFromChildren = false;
};

class TScrollingWinControl : public TWinControl {
    TESS_CLASS(TScrollingWinControl, TWinControl)
public:
    explicit TScrollingWinControl(TComponent* AOwner);
    ~TScrollingWinControl() override;

    TControlScrollBar* HorzScrollBar() const { return FHorzScrollBar.get(); }
    TControlScrollBar* VertScrollBar() const { return FVertScrollBar.get(); }
    bool AutoScroll() const { return FAutoScroll; }
    void SetAutoScroll(bool value);
    void ScrollInView(TControl* AControl);
    void ScrollBy(int DeltaX, int DeltaY);
    void Dispatch(TMessage& Message) override;

protected:
    void CreateParams(TCreateParams& Params) override;
    void AlignControls(TControl* AControl, TRect& Rect) override;
    void UpdateScrollBars();

private:
    friend class TControlScrollBar;
    void ScrollMessage(TControlScrollBar* bar, TMessage& Message);
    std::unique_ptr<TControlScrollBar> FHorzScrollBar;
    std::unique_ptr<TControlScrollBar> FVertScrollBar;
    bool FAutoScroll = true;
    bool FUpdatingScrollBars = false;
};
