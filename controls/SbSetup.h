#pragma once
// The setup window of a speed bar: the bar's sections on the left, the buttons of the chosen
// section on the right. While it is open the bar is in its customise state; the user drags hidden
// buttons from the list onto the bar. Closing it ends the customise state.

#include "controls/EXCtrls.h"
#include "platform/gui/Bevel.h"
#include "platform/gui/Button.h"
#include "platform/gui/Form.h"
#include "platform/gui/Grid.h"
#include "platform/gui/Label.h"

#include <memory>

class TSpeedBar;
class TSpeedItem;
class TBtnControl;

class TSpeedbarSetupWindow : public TForm {
    TESS_CLASS(TSpeedbarSetupWindow, TForm)
public:
    explicit TSpeedbarSetupWindow(TComponent* AOwner);
    ~TSpeedbarSetupWindow() override;

    TBevel* Bevel1 = nullptr;
    TLabel* CategoriesLabel = nullptr;
    TDrawGrid* SectionList = nullptr;
    TLabel* ButtonsLabel = nullptr;
    TDrawGrid* ButtonsList = nullptr;
    TLabel* HintLabel = nullptr;
    TButton* CloseBtn = nullptr;
    TButton* HelpBtn = nullptr;

    TSpeedBar* SpeedBar() const { return FBar; }
    // The old bar leaves the customise state, the new one enters it; the lists are refilled.
    void SetSpeedBar(TSpeedBar* Value);
    // The section row shown, -1 without a valid bar or sections.
    int CurrentSection() const;
    // The item of the current buttons row, nullptr when none.
    TSpeedItem* CurrentItem() const;
    // Refills both lists; Index, when within the rows, becomes the selected section.
    void UpdateData(int Index);
    void UpdateListHeight();
    // Whether an item is being dragged from the list and its drag image (tests).
    TSpeedItem* DragItem() const { return FDragItem; }
    TBtnControl* DragImage() const { return FDrag; }

    void Dispatch(TMessage& Message) override;

protected:
    void Notification(TComponent* AComponent, TOperation Operation) override;
    void DoShow() override;
    void DoClose(TCloseAction& Action) override;

private:
    bool CheckSpeedBar() const;
    void SetSection(int Section);
    void ListMouseDown(TMouseButton Button, int X, int Y);
    void ListMouseMove(TShiftState Shift, int X, int Y);
    void ListMouseUp(TMouseButton Button, int X, int Y);
    void DrawSection(int ARow, const TRect& Rect);
    void DrawButton(int ARow, const TRect& Rect);
    void ForgetDragItem();
    void LeaveBar();

    TBtnControl* FDrag = nullptr;
    std::unique_ptr<TButtonImage> FImage;
    TSpeedBar* FBar = nullptr;
    bool FDragging = false;
    TSpeedItem* FDragItem = nullptr;
    TCursor FListCursor = 0;
};

// Opens (or brings up) the setup window of the bar; nothing for nullptr.
void ShowSpeedbarSetupWindow(TSpeedBar* Speedbar, int HelpCtx);
// One row of the buttons list: the item's button picture and its caption to the right.
void DrawCellButton(TDrawGrid* Grid, const TRect& ARect, TSpeedItem* Item, TButtonImage* Image);
