#pragma once
// THlGutter: the memo's left margin with line numbers and a zone (its right third) where a click
// selects whole lines.

#include "platform/db/DBCommon.h"
#include "platform/gui/WinControl.h"

class THlCustomMemo;

class THlGutter : public TCustomControl {
    TESS_CLASS(THlGutter, TCustomControl)
    friend class THlGutterOptions;

public:
    THlGutter(TComponent* AOwner, THlCustomMemo* memo);
    ~THlGutter() override;

    THlCustomMemo* Memo() const { return FMemo; }
    bool ShowNum() const { return FShowNum; }
    void SetShowNum(bool value);
    int StartNum() const { return FStartNum; }
    // Values below 1 become 1; never repaints by itself.
    void SetStartNum(int value);
    bool Bevel() const { return FBevel; }
    void SetBevel(bool value);
    int Space() const { return FSpace; }
    // Kept within 1..width div 3.
    void SetSpace(int value);
    TAlignment Alignment() const { return FAlignment; }
    void SetAlignment(TAlignment value);
    bool ZeroStart() const { return FZeroStart; }
    void SetZeroStart(bool value);
    int Digits() const { return FDigits; }
    // Kept within 0..8.
    void SetDigits(int value);
    bool InSelectionZone() const { return FInSelZone; }

    void DrawLineNums();
    // The text of one line number: zero-padded to digits + 1 characters when it has no more.
    static std::string NumberText(int number, int digits);

protected:
    void Paint() override;
    void MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y) override;
    void MouseMove(TShiftState Shift, int X, int Y) override;

private:
    bool InZone(int X) const;
    void SelectRows(int Row, TShiftState Shift);

    THlCustomMemo* FMemo;
    bool FShowNum = false;
    int FStartNum = 1;
    bool FBevel = true;
    bool FInSelZone = false;
    TAlignment FAlignment = taLeftJustify;
    int FSpace = 2;
    bool FZeroStart = false;
    int FDigits = 0;
};
