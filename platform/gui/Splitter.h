#pragma once
// Splitters: dragging resizes the control aligned to the same edge just before the splitter.

#include "platform/gui/Control.h"

#include <memory>

enum TResizeStyle { rsNone, rsLine, rsUpdate, rsPattern };
using TCanResizeSplitterEvent = std::function<void(TObject* Sender, int& NewSize, bool& Accept)>;

class TSplitter : public TGraphicControl {
    TESS_CLASS(TSplitter, TGraphicControl)
public:
    explicit TSplitter(TComponent* AOwner);
    ~TSplitter() override;
    int MinSize = 30;
    bool Beveled = false;
    TResizeStyle ResizeStyle = rsPattern;
    bool AutoSnap = true;
    TCanResizeSplitterEvent OnCanResize;
    TNotifyEvent OnMoved;
    // Ends a drag without changing anything (Escape).
    void CancelDrag();
    void Dispatch(TMessage& Message) override;

protected:
    void Paint() override;
    void MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) override;
    void MouseMove(TShiftState Shift, int X, int Y) override;
    void MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y) override;

private:
    struct TEscapeWatch;
    TControl* FindControl() const;
    int MaxSize() const;
    int NewSize(int X, int Y) const;
    bool CanResize(int& size);
    void Apply(int size);
    void EndDrag();
    // The moving line, drawn inverted on the form's overlay: showing it again at the same place
    // removes it.
    bool ShowsLine() const { return ResizeStyle == rsLine || ResizeStyle == rsPattern; }
    void ToggleLine();
    void MoveLine(int size);
    TControl* FControl = nullptr;
    TPoint FDownPos;
    int FStartSize = 0;
    int FLineSize = 0;
    bool FLineShown = false;
    bool FDragging = false;
    std::unique_ptr<TEscapeWatch> FEscape;
};
