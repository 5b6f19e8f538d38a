#pragma once
// Scroll bars as controls ("SCROLLBAR" window class with the SBM_* messages), scroll boxes and
// progress bars.

#include "platform/gui/WinControl.h"

constexpr UINT SBM_SETPOS = 0xE0, SBM_GETPOS = 0xE1, SBM_SETRANGE = 0xE2, SBM_GETRANGE = 0xE3,
               SBM_ENABLE_ARROWS = 0xE4, SBM_SETRANGEREDRAW = 0xE6, SBM_SETSCROLLINFO = 0xE9,
               SBM_GETSCROLLINFO = 0xEA;
constexpr DWORD SBS_HORZ = 0, SBS_VERT = 1;

enum TScrollCode { scLineUp, scLineDown, scPageUp, scPageDown, scPosition, scTrack, scTop, scBottom, scEndScroll };
using TScrollEvent = std::function<void(TObject* Sender, TScrollCode ScrollCode, int& ScrollPos)>;

class QScrollBar;

class TScrollBar : public TWinControl {
    TESS_CLASS(TScrollBar, TWinControl)
public:
    explicit TScrollBar(TComponent* AOwner);

    TScrollBarKind Kind() const { return FKind; }
    void SetKind(TScrollBarKind value);
    int Min() const { return FMin; }
    void SetMin(int value) { SetParams(FPosition, value, FMax); }
    int Max() const { return FMax; }
    void SetMax(int value) { SetParams(FPosition, FMin, value); }
    int Position() const { return FPosition; }
    void SetPosition(int value) { SetParams(value, FMin, FMax); }
    int PageSize() const { return FPageSize; }
    void SetPageSize(int value);
    int SmallChange = 1;
    int LargeChange = 1;
    // Raises EInvalidOperation "Scrollbar property out of range" when min > max; the position is
    // kept inside the range.
    void SetParams(int position, int min, int max);
    TNotifyEvent OnChange;
    TScrollEvent OnScroll;
    void Dispatch(TMessage& Message) override;

protected:
    void CreateParams(TCreateParams& Params) override;
    IHostWidget* CreateHost(const TCreateParams& Params, void* parentWidget) override;
    void CreateWnd() override;
    virtual void Change();
    virtual void Scroll(TScrollCode ScrollCode, int& ScrollPos);
    // The user's action: computes the new position, asks OnScroll and moves.
    void DoScroll(TScrollCode code, int trackPos);

private:
    QScrollBar* Bar() const;
    int LastPosition() const { return FMax - std::max(FPageSize - 1, 0); }
    void ApplyToBar();
    void UserAction(int action);

    TScrollBarKind FKind = sbHorizontal;
    int FMin = 0;
    int FMax = 100;
    int FPosition = 0;
    int FPageSize = 0;
    bool FApplying = false;
};

class TScrollBox : public TScrollingWinControl {
    TESS_CLASS(TScrollBox, TScrollingWinControl)
public:
    explicit TScrollBox(TComponent* AOwner);
    TBorderStyle BorderStyle() const { return FBorderStyle; }
    void SetBorderStyle(TBorderStyle value);

protected:
    void CreateParams(TCreateParams& Params) override;

private:
    TBorderStyle FBorderStyle = bsSingle;
};

enum TProgressBarOrientation { pbHorizontal, pbVertical };

class TProgressBar : public TWinControl {
    TESS_CLASS(TProgressBar, TWinControl)
public:
    explicit TProgressBar(TComponent* AOwner);
    int Min() const { return FMin; }
    void SetMin(int value);
    int Max() const { return FMax; }
    void SetMax(int value);
    int Position() const { return FPosition; }
    void SetPosition(int value);
    int Step = 10;
    void StepIt();
    void StepBy(int delta);
    TProgressBarOrientation Orientation() const { return FOrientation; }
    void SetOrientation(TProgressBarOrientation value);
    bool Smooth() const { return FSmooth; }
    void SetSmooth(bool value);

protected:
    void CreateParams(TCreateParams& Params) override;
    void Paint() override;

private:
    int FMin = 0;
    int FMax = 100;
    int FPosition = 0;
    TProgressBarOrientation FOrientation = pbHorizontal;
    bool FSmooth = false;
};
