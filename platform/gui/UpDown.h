#pragma once
// Up-down controls ("msctls_updown32"): two arrow buttons that step a position, show it in a
// buddy control and tell the parent with WM_VSCROLL or WM_HSCROLL.

#include "platform/gui/WinControl.h"

#include <memory>

constexpr UINT UDM_SETRANGE = WM_USER + 101, UDM_GETRANGE = WM_USER + 102, UDM_SETPOS = WM_USER + 103,
               UDM_GETPOS = WM_USER + 104, UDM_SETBUDDY = WM_USER + 105, UDM_GETBUDDY = WM_USER + 106;

enum TUDAlignButton { udLeft, udRight };
enum TUDOrientation { udHorizontal, udVertical };
enum TUDBtnType { btNext, btPrev };
using TUDClickEvent = std::function<void(TObject* Sender, TUDBtnType Button)>;
using TUDChangingEvent = std::function<void(TObject* Sender, bool& AllowChange)>;

class TCustomUpDown : public TWinControl {
    TESS_CLASS(TCustomUpDown, TWinControl)
public:
    explicit TCustomUpDown(TComponent* AOwner);
    ~TCustomUpDown() override;

    TWinControl* Associate() const { return FAssociate; }
    void SetAssociate(TWinControl* value);
    int Min() const { return FMin; }
    void SetMin(int value);
    int Max() const { return FMax; }
    void SetMax(int value);
    int Position() const { return FPosition; }
    void SetPosition(int value);
    int Increment = 1;
    TUDOrientation Orientation() const { return FOrientation; }
    void SetOrientation(TUDOrientation value);
    bool Wrap = false;
    bool ArrowKeys = true;
    bool Thousands = true;
    TUDAlignButton AlignButton = udRight;
    TUDClickEvent OnClick;
    TUDChangingEvent OnChanging;
    void Dispatch(TMessage& Message) override;
    // One press of a button, as a click does.
    void Press(TUDBtnType button);

protected:
    void Paint() override;
    void MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) override;
    void MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y) override;
    void Notification(TComponent* AComponent, TOperation Operation) override;
    virtual bool CanChange();

private:
    struct TRepeat;
    void UpdateBuddy();
    void PlaceBeside();
    TUDBtnType ButtonAt(int X, int Y) const;
    TWinControl* FAssociate = nullptr;
    int FMin = 0;
    int FMax = 100;
    int FPosition = 0;
    TUDOrientation FOrientation = udVertical;
    int FPressed = -1;
    std::unique_ptr<TRepeat> FRepeat;
};

class TUpDown : public TCustomUpDown {
    TESS_CLASS(TUpDown, TCustomUpDown)
public:
    explicit TUpDown(TComponent* AOwner) : TCustomUpDown(AOwner) {}
};
