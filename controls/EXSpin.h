#pragma once
// The spin edit for whole numbers (also fixed-decimal and hexadecimal ones): stepped by its
// Increment with the arrow keys or a button at its right edge, clipped to MinValue/MaxValue.
// The button is the library's diagonal spin button (a square whose upper-left half steps up and
// lower-right half steps down, repeating while held) or a standard up-down control.

#include "platform/gui/Edit.h"
#include "platform/gui/Bitmap.h"
#include "platform/gui/Control.h"
#include "platform/gui/Timer.h"
#include "platform/gui/UpDown.h"

#include <memory>

enum TSpinButtonState { sbNotDown, sbTopDown, sbBottomDown };
enum TSpinButtonKind { bkStandard, bkDiagonal };

namespace EXSpin {
// In the unit's namespace: the filer declares another TValueType.
enum TValueType { vtInt, vtFloat, vtHex };
} // namespace EXSpin

// The up-down control's width: the smaller of the scroll bar's width and 15.
int DefaultUpDownWidth();

class TExSpinButton : public TGraphicControl {
    TESS_CLASS(TExSpinButton, TGraphicControl)
public:
    explicit TExSpinButton(TComponent* AOwner);
    ~TExSpinButton() override;

    TBitmap* UpGlyph() const { return FUpBitmap.get(); }
    // Copies Value; nullptr loads the library's arrow again.
    void SetUpGlyph(TBitmap* Value);
    TBitmap* DownGlyph() const { return FDownBitmap.get(); }
    void SetDownGlyph(TBitmap* Value);
    TWinControl* FocusControl() const { return FFocusControl; }
    void SetFocusControl(TWinControl* Value);
    TSpinButtonState Down() const { return FDown; }
    void SetDown(TSpinButtonState Value);
    TNotifyEvent OnTopClick;
    TNotifyEvent OnBottomClick;
    // The repeat timer, made on the first press (nullptr before).
    TTimer* RepeatTimer() const { return FRepeatTimer; }
    void Dispatch(TMessage& Message) override;

protected:
    void Paint() override;
    void MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) override;
    void MouseMove(TShiftState Shift, int X, int Y) override;
    void MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y) override;
    void Notification(TComponent* AComponent, TOperation Operation) override;
    void TopClick();
    void BottomClick();

private:
    // Below the drawn diagonal: the lower ("down") half.
    bool InBottomHalf(int X, int Y) const;
    void DrawAllBitmap();
    void DrawBitmap(TBitmap* Bitmap, TSpinButtonState State);
    void TimerExpired(TObject* Sender);
    void GlyphChanged(TObject* Sender);

    TSpinButtonState FDown = sbNotDown;
    std::unique_ptr<TBitmap> FUpBitmap;
    std::unique_ptr<TBitmap> FDownBitmap;
    bool FDragging = false;
    bool FInvalidate = false;
    std::unique_ptr<TBitmap> FTopDownImage;
    std::unique_ptr<TBitmap> FBottomDownImage;
    TTimer* FRepeatTimer = nullptr;
    std::unique_ptr<TBitmap> FNotDownImage;
    TSpinButtonState FLastDown = sbNotDown;
    TWinControl* FFocusControl = nullptr;
};

// An up-down control always DefaultUpDownWidth wide whose every press is one step.
class TExUpDown : public TCustomUpDown {
    TESS_CLASS(TExUpDown, TCustomUpDown)
public:
    explicit TExUpDown(TComponent* AOwner);
    void SetBounds(int ALeft, int ATop, int AWidth, int AHeight) override;
    void Dispatch(TMessage& Message) override;

private:
    bool FChanging = false;
};

class TExSpinEdit : public TCustomEdit {
    TESS_CLASS(TExSpinEdit, TCustomEdit)
public:
    explicit TExSpinEdit(TComponent* AOwner);
    ~TExSpinEdit() override;

    TAlignment Alignment() const { return FAlignment; }
    void SetAlignment(TAlignment Value);
    bool ArrowKeys() const { return FArrowKeys; }
    void SetArrowKeys(bool Value);
    TSpinButtonKind ButtonKind() const { return FButtonKind; }
    void SetButtonKind(TSpinButtonKind Value);
    int Decimal() const { return FDecimal; }
    void SetDecimal(int Value);
    bool EditorEnabled = true;
    double Increment() const { return FIncrement; }
    void SetIncrement(double Value) { FIncrement = Value; }
    double MaxValue() const { return FMaxValue; }
    void SetMaxValue(double Value) { FMaxValue = Value; }
    double MinValue() const { return FMinValue; }
    void SetMinValue(double Value) { FMinValue = Value; }
    EXSpin::TValueType ValueType() const { return FValueType; }
    void SetValueType(EXSpin::TValueType Value);
    // The text read as a number; MinValue (truncated for whole numbers) when it is none.
    double GetValue();
    void SetValue(double Value);
    double Value() { return GetValue(); }
    int AsInteger() { return static_cast<int>(GetValue()); }
    void SetAsInteger(int Value) { SetValue(Value); }
    TExSpinButton* SpinButton() const { return FButton; }
    TExUpDown* UpDown() const { return FUpDown; }
    TNotifyEvent OnTopClick;
    TNotifyEvent OnBottomClick;

    virtual void UpClick(TObject* Sender);
    virtual void DownClick(TObject* Sender);
    void PasteFromClipboard() override;
    void Dispatch(TMessage& Message) override;

protected:
    virtual bool IsValidChar(char Key);
    double CheckValue(double NewValue);
    void CreateParams(TCreateParams& Params) override;
    void CreateWnd() override;
    void Change() override;
    void KeyDown(WORD& Key, TShiftState Shift) override;
    void KeyPress(char& Key) override;

private:
    void Step(TObject* Sender, double Delta, const TNotifyEvent& Event);
    void RecreateButton();
    void ResizeButton();
    void SetEditRect();
    int GetMinHeight();
    void UpDownClick(TObject* Sender, TUDBtnType Button);
    void Resized();

    TAlignment FAlignment = taLeftJustify;
    double FMinValue = 0;
    double FMaxValue = 0;
    double FIncrement = 1;
    int FDecimal = 2;
    bool FChanging = false;
    EXSpin::TValueType FValueType = EXSpin::vtInt;
    TExSpinButton* FButton = nullptr;
    TWinControl* FBtnWindow = nullptr;
    bool FArrowKeys = true;
    TSpinButtonKind FButtonKind = bkDiagonal;
    TExUpDown* FUpDown = nullptr;
};
