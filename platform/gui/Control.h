#pragma once
// The root of the visual classes: bounds, alignment, visibility, colours and fonts, text,
// mouse handling and the message path (Perform -> WindowProc -> WndProc -> Dispatch ->
// DefaultHandler). TGraphicControl draws on its parent without a window handle of its own.

#include "platform/gui/Colors.h"
#include "platform/gui/Font.h"
#include "platform/gui/InputTranslation.h"
#include "platform/gui/Messages.h"
#include "platform/rtl/Classes.h"

#include <functional>
#include <memory>
#include <string>

class TWinControl;
class TPopupMenu;
class IHostWidget;
class TSurface;
class TCanvas;
class TPaintCanvas;

enum TAlign { alNone, alTop, alBottom, alLeft, alRight, alClient };
enum TAnchorKind { akLeft, akTop, akRight, akBottom };
using TAnchors = TSet<TAnchorKind>;

enum TControlStyleFlag {
    csAcceptsControls,
    csCaptureMouse,
    csDesignInteractive,
    csClickEvents,
    csFramed,
    csSetCaption,
    csOpaque,
    csDoubleClicks,
    csFixedWidth,
    csFixedHeight,
    csNoDesignVisible,
    csReplicatable,
    csNoStdEvents,
    csDisplayDragImage,
    csReflector,
    csMenuEvents
};
using TControlStyle = TSet<TControlStyleFlag>;

enum TControlStateFlag {
    csLButtonDown,
    csClicked,
    csPalette,
    csReadingState,
    csAlignmentNeeded,
    csFocusing,
    csCreating,
    csPaintCopy,
    csCustomPaint,
    csDestroyingHandle
};
using TControlState = TSet<TControlStateFlag>;

enum TMouseButton { mbLeft, mbRight, mbMiddle };
enum TDragMode { dmManual, dmAutomatic };
using TCursor = int;
using TModalResult = int;

using TMouseEvent = std::function<void(TObject* Sender, TMouseButton Button, TShiftState Shift, int X, int Y)>;
using TMouseMoveEvent = std::function<void(TObject* Sender, TShiftState Shift, int X, int Y)>;
using TMouseWheelEvent =
    std::function<void(TObject* Sender, TShiftState Shift, int WheelDelta, TPoint MousePos, bool& Handled)>;
using TMouseWheelUpDownEvent = std::function<void(TObject* Sender, TShiftState Shift, TPoint MousePos, bool& Handled)>;
using TCanResizeEvent = std::function<void(TObject* Sender, int& NewWidth, int& NewHeight, bool& Resize)>;

// Drag and drop between controls (DragDrop unit).
class TDragObject;
enum TDragState { dsDragEnter, dsDragLeave, dsDragMove };
using TStartDragEvent = std::function<void(TObject* Sender, TDragObject*& DragObject)>;
using TDragOverEvent =
    std::function<void(TObject* Sender, TObject* Source, int X, int Y, TDragState State, bool& Accept)>;
using TDragDropEvent = std::function<void(TObject* Sender, TObject* Source, int X, int Y)>;
using TEndDragEvent = std::function<void(TObject* Sender, TObject* Target, int X, int Y)>;

// Minimum and maximum sizes of a control; 0 means no limit.
class TSizeConstraints : public TPersistent {
    TESS_CLASS(TSizeConstraints, TPersistent)
public:
    int MinWidth() const { return FMinWidth; }
    int MinHeight() const { return FMinHeight; }
    int MaxWidth() const { return FMaxWidth; }
    int MaxHeight() const { return FMaxHeight; }
    void SetMinWidth(int value);
    void SetMinHeight(int value);
    void SetMaxWidth(int value);
    void SetMaxHeight(int value);
    void Assign(TPersistent* Source) override;
    TNotifyEvent OnChange;

private:
    void Changed();
    int FMinWidth = 0;
    int FMinHeight = 0;
    int FMaxWidth = 0;
    int FMaxHeight = 0;
};

class TControl : public TComponent {
    TESS_CLASS(TControl, TComponent)
public:
    explicit TControl(TComponent* AOwner);
    ~TControl() override;

    // --- Parent and bounds ---
    TWinControl* Parent() const { return FParent; }
    // Raises EInvalidOperation for a control made its own parent or parented to its child.
    virtual void SetParent(TWinControl* AParent);
    int Left() const { return FLeft; }
    int Top() const { return FTop; }
    int Width() const { return FWidth; }
    int Height() const { return FHeight; }
    void SetLeft(int value) { SetBounds(value, FTop, FWidth, FHeight); }
    void SetTop(int value) { SetBounds(FLeft, value, FWidth, FHeight); }
    void SetWidth(int value) { SetBounds(FLeft, FTop, value, FHeight); }
    void SetHeight(int value) { SetBounds(FLeft, FTop, FWidth, value); }
    // Raises EInvalidOperation off the GUI thread.
    virtual void SetBounds(int ALeft, int ATop, int AWidth, int AHeight);
    TRect BoundsRect() const { return Bounds(FLeft, FTop, FWidth, FHeight); }
    void SetBoundsRect(const TRect& rect) { SetBounds(rect.Left, rect.Top, rect.Width(), rect.Height()); }
    virtual TRect ClientRect() const;
    int ClientWidth() const { return ClientRect().Width(); }
    int ClientHeight() const { return ClientRect().Height(); }
    void SetClientWidth(int value);
    void SetClientHeight(int value);
    // Where client (0, 0) lies on the screen.
    virtual TPoint ClientOrigin() const;
    TPoint ClientToScreen(const TPoint& point) const;
    TPoint ScreenToClient(const TPoint& point) const;

    TAlign Align() const { return FAlign; }
    void SetAlign(TAlign value);
    TAnchors Anchors() const { return FAnchors; }
    void SetAnchors(TAnchors value) { FAnchors = value; }
    TSizeConstraints* Constraints() const { return FConstraints.get(); }

    // --- State ---
    bool Visible() const { return FVisible; }
    virtual void SetVisible(bool value);
    // Visible together with every parent (a form: shown).
    virtual bool Showing() const;
    bool Enabled() const { return FEnabled; }
    virtual void SetEnabled(bool value);
    TColor Color() const { return FColor; }
    void SetColor(TColor value);
    bool ParentColor() const { return FParentColor; }
    void SetParentColor(bool value);
    TFont* Font() const { return FFont.get(); }
    void SetFont(TFont* value);
    bool ParentFont() const { return FParentFont; }
    void SetParentFont(bool value);
    const std::string& Hint() const { return FHint; }
    void SetHint(const std::string& value) { FHint = value; }
    bool ShowHint() const { return FShowHint; }
    void SetShowHint(bool value);
    bool ParentShowHint() const { return FParentShowHint; }
    void SetParentShowHint(bool value);
    TCursor Cursor() const { return FCursor; }
    void SetCursor(TCursor value);
    TPopupMenu* PopupMenu = nullptr;
    int HelpContext = 0;
    TDragMode DragMode = dmManual;
    TCursor DragCursor = -12;
    TControlStyle ControlStyle;
    TControlState ControlState;

    // --- Text: both are the text of WM_SETTEXT ---
    std::string Caption() const { return GetText(); }
    void SetCaption(const std::string& value) { SetText(value); }
    std::string Text() const { return GetText(); }
    virtual std::string GetText() const;
    virtual void SetText(const std::string& value);
    int GetTextBuf(char* buffer, int size) const;
    void SetTextBuf(const char* buffer);
    int GetTextLen() const;

    // --- Painting ---
    virtual void Invalidate();
    virtual void Update();
    void Repaint();
    void Refresh();

    // --- Order and visibility ---
    void BringToFront();
    void SendToBack();
    void Show();
    void Hide();

    // --- Messages ---
    LRESULT Perform(UINT Msg, WPARAM WParam, LPARAM LParam);
    // The replaceable entry of Perform and of the window procedure; defaults to WndProc.
    TWndMethod WindowProc;
    virtual void WndProc(TMessage& Message);
    // Calls the handler the class declares for the message, else DefaultHandler.
    virtual void Dispatch(TMessage& Message);
    virtual void DefaultHandler(TMessage& Message);

    bool MouseCapture() const;
    void SetMouseCapture(bool value);

    virtual void Click();
    virtual void DblClick();

    // --- Drag and drop ---
    // Immediate false: the drag starts once the mouse moves Threshold pixels (-1: 5).
    void BeginDrag(bool Immediate, int Threshold = -1);
    // Ends the control's drag, dropping on the current target when Drop is true.
    void EndDrag(bool Drop);
    bool Dragging() const;
    // Called by the drag (DragDrop unit): raise the events, each overridable.
    virtual void DoStartDrag(TDragObject*& DragObject);
    virtual void DragOver(TObject* Source, int X, int Y, TDragState State, bool& Accept);
    virtual void DragDrop(TObject* Source, int X, int Y);
    virtual void DoEndDrag(TObject* Target, int X, int Y);
    virtual void DragCanceled() {}

    bool HasParent() const override { return true; }
    TComponent* GetParentComponent() const override;

    // --- Events ---
    TNotifyEvent OnClick;
    TNotifyEvent OnDblClick;
    TMouseEvent OnMouseDown;
    TMouseMoveEvent OnMouseMove;
    TMouseEvent OnMouseUp;
    TMouseWheelEvent OnMouseWheel;
    TMouseWheelUpDownEvent OnMouseWheelDown;
    TMouseWheelUpDownEvent OnMouseWheelUp;
    TNotifyEvent OnResize;
    TCanResizeEvent OnCanResize;
    TStartDragEvent OnStartDrag;
    TDragOverEvent OnDragOver;
    TDragDropEvent OnDragDrop;
    TEndDragEvent OnEndDrag;

    // The layer's host widget (nullptr until one exists).
    IHostWidget* Host() const { return FHost; }
    // The retained image the control paints into (nullptr when it has none).
    TSurface* Surface() const { return FSurface.get(); }
    // The layer's painting: erase and Paint into the retained image for the pending update region.
    virtual void PaintControl();

protected:
    virtual void MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y);
    virtual void MouseMove(TShiftState Shift, int X, int Y);
    virtual void MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y);
    virtual bool DoMouseWheel(TShiftState Shift, int WheelDelta, TPoint MousePos);
    virtual bool DoMouseWheelDown(TShiftState Shift, TPoint MousePos);
    virtual bool DoMouseWheelUp(TShiftState Shift, TPoint MousePos);
    virtual void Resize();
    virtual bool CanResize(int& NewWidth, int& NewHeight);
    virtual void Paint() {}
    // Answers WM_PAINT: Paint, with the canvas bound to the paint context where the class has one.
    virtual void PaintMessage() { Paint(); }
    void Notification(TComponent* AComponent, TOperation Operation) override;

    // The control draws through a retained image (graphic and custom controls, forms).
    virtual bool HasRetainedImage() const { return false; }
    // Called when the size or position changed (after the fields changed).
    virtual void BoundsChanged(bool moved, bool resized);
    // Re-runs the parent's alignment when this control takes part in it.
    void RequestAlign();
    // Creates the host widget of a graphic control when its parent's window exists.
    virtual void UpdateHost();
    void DestroyHost();
    void ApplyHostGeometry();
    TSurface& EnsureSurface();

    // Handlers of the class library's messages.
    void WMMouse(TMessage& Message);
    void WMMouseWheel(TMessage& Message);
    void CMParentFontChanged(TMessage& Message);
    void CMParentColorChanged(TMessage& Message);
    void CMParentShowHintChanged(TMessage& Message);
    // CM_DRAG: DragOver for enter, move and leave, DragDrop for the drop.
    void CMDrag(TMessage& Message);
    // Pops up the popup menu of the control or of a parent for WM_CONTEXTMENU; true when shown.
    bool ShowContextMenu(TMessage& Message);

    TWinControl* FParent = nullptr;
    int FLeft = 0;
    int FTop = 0;
    int FWidth = 0;
    int FHeight = 0;
    IHostWidget* FHost = nullptr;
    std::unique_ptr<TSurface> FSurface;
    bool FVisible = true;

private:
    friend class TWinControl;
    friend class THostBridge;
    void FontChanged(TObject* Sender);
    void ClampToConstraints(int& width, int& height) const;

    TAlign FAlign = alNone;
    TAnchors FAnchors{akLeft, akTop};
    std::unique_ptr<TSizeConstraints> FConstraints;
    bool FEnabled = true;
    TColor FColor = clWindow;
    bool FParentColor = true;
    std::unique_ptr<TFont> FFont;
    bool FParentFont = true;
    bool FChangingFontFromParent = false;
    std::string FText;
    std::string FHint;
    bool FShowHint = false;
    bool FParentShowHint = true;
    TCursor FCursor = 0;
    int FWheelAccumulator = 0;
    // The parent's client size the anchors measure from.
    int FAnchorParentWidth = -1;
    int FAnchorParentHeight = -1;

    friend void DeliverWheel(TControl* control, int angleDelta, WPARAM keys, TPoint screenPos);
};

// A control without a window handle, painted on its parent (an alien widget below every windowed
// sibling, transparent where it has not drawn).
class TGraphicControl : public TControl {
    TESS_CLASS(TGraphicControl, TControl)
public:
    explicit TGraphicControl(TComponent* AOwner);
    ~TGraphicControl() override;
    // Draws on the paint context inside Paint, elsewhere on the parent's client context.
    TCanvas* Canvas();

protected:
    bool HasRetainedImage() const override { return true; }
    void PaintMessage() override;

private:
    std::unique_ptr<TPaintCanvas> FCanvas;
};

void DeliverWheel(TControl* control, int angleDelta, WPARAM keys, TPoint screenPos);
