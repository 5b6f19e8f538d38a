// The setup window of a speed bar, built in code to its dialog's geometry.

#include "controls/SbSetup.h"

#include "controls/ExConst.h"
#include "controls/SpeedBar.h"
#include "controls/VCLUtils.h"
#include "platform/gui/Application.h"
#include "platform/gui/Canvas.h"
#include "platform/gui/Screen.h"
#include "platform/gui/WinTypes.h"

#include <algorithm>

namespace {

// Text left-aligned and vertically centred in a cell, on the grid's own cell canvas.
void DrawGridText(TDrawGrid* Grid, const TRect& Rect, const std::string& Text)
{
    TCanvas* canvas = Grid->Canvas();
    const int dy = std::max(1, (Rect.Bottom - Rect.Top - canvas->TextHeight("W")) / 2);
    WriteText(canvas, Rect, 2, dy, Text, taLeftJustify, false);
}

// The tallest the two lists get, at 96 pixels per inch.
constexpr int MaxListHeight = 186;

TDrawGrid* NewList(TSpeedbarSetupWindow* Form, int Left, int Top, int Width, int Height)
{
    auto* grid = new TDrawGrid(Form);
    grid->SetParent(Form);
    grid->SetBounds(Left, Top, Width, Height);
    grid->SetFixedCols(0);
    grid->SetFixedRows(0);
    grid->SetColCount(1);
    grid->SetRowCount(1);
    grid->SetOptions({goRowSelect});
    grid->SetScrollBars(ssVertical);
    grid->SetTabStop(true);
    return grid;
}

TLabel* NewLabel(TSpeedbarSetupWindow* Form, int Left, int Top, const std::string& Caption)
{
    auto* label = new TLabel(Form);
    label->SetParent(Form);
    label->SetLeft(Left);
    label->SetTop(Top);
    label->SetCaption(Caption);
    return label;
}

TButton* NewButton(TSpeedbarSetupWindow* Form, int Left, int Top, const std::string& Caption)
{
    auto* button = new TButton(Form);
    button->SetParent(Form);
    button->SetBounds(Left, Top, 77, 25);
    button->SetCaption(Caption);
    return button;
}

} // namespace

TSpeedbarSetupWindow::TSpeedbarSetupWindow(TComponent* AOwner)
    : TForm(AOwner), FImage(std::make_unique<TButtonImage>())
{
    SetBorderStyle(bsDialog);
    SetBorderIcons({});
    SetFormStyle(fsStayOnTop);
    Position = poScreenCenter;
    Font()->SetName("MS Sans Serif");
    Font()->SetSize(8);
    Font()->SetStyle({});
    SetClientWidth(421);
    SetClientHeight(262);
    SetCaption(ExLoadStr(SCustomizeSpeedbar));

    Bevel1 = new TBevel(this);
    Bevel1->SetParent(this);
    Bevel1->SetBounds(4, 4, 328, 221);
    Bevel1->SetShape(bsFrame);
    CategoriesLabel = NewLabel(this, 12, 11, ExLoadStr(SSpeedbarCategories));
    SectionList = NewList(this, 12, 30, 129, 188);
    ButtonsLabel = NewLabel(this, 146, 11, ExLoadStr(SSpeedbarAvailButtons));
    ButtonsList = NewList(this, 146, 30, 179, 188);
    ButtonsList->SetDefaultRowHeight(26);
    ButtonsLabel->SetFocusControl(ButtonsList);
    CategoriesLabel->SetFocusControl(SectionList);
    HintLabel = NewLabel(this, 8, 231, ExLoadStr(SSpeedbarEditHint));
    HintLabel->SetAutoSize(false);
    HintLabel->SetBounds(8, 231, 407, 29);
    HintLabel->SetWordWrap(true);
    CloseBtn = NewButton(this, 339, 12, "OK");
    CloseBtn->SetCancel(true);
    CloseBtn->SetModalResult(mrOk);
    HelpBtn = NewButton(this, 339, 44, "&Help");

    SectionList->OnDrawCell = [this](TObject*, int, int ARow, TRect Rect, TGridDrawState) { DrawSection(ARow, Rect); };
    SectionList->OnSelectCell = [this](TObject*, int, int ARow, bool& CanSelect) {
        CanSelect = !FDragging;
        if (CanSelect && ARow != SectionList->Row())
            SetSection(ARow);
    };
    ButtonsList->OnDrawCell = [this](TObject*, int, int ARow, TRect Rect, TGridDrawState) { DrawButton(ARow, Rect); };
    ButtonsList->OnSelectCell = [this](TObject*, int, int ARow, bool& CanSelect) {
        CanSelect = !FDragging;
        if (!CanSelect) {
            SetHint("");
            return;
        }
        TSpeedItem* item = CheckSpeedBar() ? FBar->Items(CurrentSection(), ARow) : nullptr;
        SetHint(item ? item->Hint() : std::string());
    };
    ButtonsList->OnMouseDown = [this](TObject*, TMouseButton Button, TShiftState, int X, int Y) {
        ListMouseDown(Button, X, Y);
    };
    ButtonsList->OnMouseMove = [this](TObject*, TShiftState Shift, int X, int Y) { ListMouseMove(Shift, X, Y); };
    ButtonsList->OnMouseUp = [this](TObject*, TMouseButton Button, TShiftState, int X, int Y) {
        ListMouseUp(Button, X, Y);
    };
    CloseBtn->OnClick = [this](TObject*) { Close(); };
    HelpBtn->OnClick = [this](TObject*) { Application->HelpContext(HelpContext); };
}

TSpeedbarSetupWindow::~TSpeedbarSetupWindow()
{
    FreeDragImage(FDrag);
    LeaveBar();
}

bool TSpeedbarSetupWindow::CheckSpeedBar() const { return FBar && FBar->Owner() && FBar->Parent(); }

int TSpeedbarSetupWindow::CurrentSection() const
{
    if (CheckSpeedBar() && FBar->GetSectionCount() > 0)
        return SectionList->Row();
    return -1;
}

TSpeedItem* TSpeedbarSetupWindow::CurrentItem() const
{
    if (CurrentSection() < 0)
        return nullptr;
    return FBar->Items(CurrentSection(), ButtonsList->Row());
}

void TSpeedbarSetupWindow::LeaveBar()
{
    TSpeedBar* bar = FBar;
    if (!bar)
        return;
    FBar = nullptr;
    if (!bar->ComponentState().Contains(csDestroying))
        bar->RemoveFreeNotification(this);
    bar->SetEditing(nullptr);
}

void TSpeedbarSetupWindow::SetSpeedBar(TSpeedBar* Value)
{
    if (Value == FBar)
        return;
    LeaveBar();
    FBar = Value;
    if (FBar) {
        FBar->FreeNotification(this);
        FBar->SetEditing(Handle());
        UpdateListHeight();
    }
    UpdateData(-1);
}

void TSpeedbarSetupWindow::UpdateData(int Index)
{
    if (!CheckSpeedBar()) {
        SectionList->SetRowCount(1);
        ButtonsList->SetRowCount(1);
        SectionList->Invalidate();
        ButtonsList->Invalidate();
        return;
    }
    SectionList->SetRowCount(std::max(FBar->GetSectionCount(), 1));
    if (Index >= 0 && Index < FBar->GetSectionCount())
        SectionList->SetRow(Index);
    SetSection(CurrentSection());
    SectionList->Invalidate();
}

void TSpeedbarSetupWindow::SetSection(int Section)
{
    const int count = CheckSpeedBar() ? FBar->ItemsCount(Section) : 0;
    ButtonsList->SetRowCount(std::max(count, 1));
    SectionList->SetDefaultColWidth(SectionList->ClientWidth());
    ButtonsList->SetDefaultColWidth(ButtonsList->ClientWidth());
    TSpeedItem* item = CheckSpeedBar() ? FBar->Items(Section, ButtonsList->Row()) : nullptr;
    SetHint(item ? item->Hint() : std::string());
    ButtonsList->Invalidate();
}

void TSpeedbarSetupWindow::UpdateListHeight()
{
    if (!FBar)
        return;
    const int maxHeight = MulDiv(MaxListHeight, Screen->PixelsPerInch(), 96);
    const int rowHeight = FBar->BtnHeight() + 2;
    ButtonsList->SetDefaultRowHeight(rowHeight);
    const int available = std::min(std::max(ButtonsList->ClientHeight(), maxHeight), maxHeight);
    const int rows = std::max(available / rowHeight, 1);
    const int clientHeight = rows * rowHeight;
    const int frame = ButtonsList->Height() - ButtonsList->ClientHeight();
    ButtonsList->SetHeight(clientHeight + frame);
    SectionList->SetHeight(clientHeight + SectionList->Height() - SectionList->ClientHeight());
    SectionList->Canvas()->SetFont(SectionList->Font());
    SectionList->SetDefaultRowHeight(SectionList->Canvas()->TextHeight("Wg") + 2);
}

void TSpeedbarSetupWindow::DrawSection(int ARow, const TRect& Rect)
{
    if (CheckSpeedBar() && ARow < FBar->GetSectionCount())
        DrawGridText(SectionList, Rect, FBar->GetSection(ARow)->Caption());
}

void TSpeedbarSetupWindow::DrawButton(int ARow, const TRect& Rect)
{
    if (!CheckSpeedBar())
        return;
    if (TSpeedItem* item = FBar->Items(CurrentSection(), ARow))
        DrawCellButton(ButtonsList, Rect, item, FImage.get());
}

void TSpeedbarSetupWindow::ListMouseDown(TMouseButton Button, int X, int Y)
{
    if (Button != mbLeft || !CheckSpeedBar())
        return;
    int col = 0;
    int row = 0;
    ButtonsList->MouseToCell(X, Y, col, row);
    if (row != ButtonsList->Row())
        return;
    const TRect cell = ButtonsList->CellRect(col, row);
    if (X - cell.Left >= FBar->BtnWidth() + 2)
        return;
    TSpeedItem* item = CurrentItem();
    if (!item)
        return;
    FDragging = true;
    if (item->Visible())
        return; // already on the bar: noted, not dragged
    FDragItem = item;
    FDragItem->FreeNotification(this);
    FreeDragImage(FDrag);
    FDrag = CreateDragImage(item);
}

void TSpeedbarSetupWindow::ListMouseMove(TShiftState Shift, int X, int Y)
{
    if (!FDragging || !Shift.Contains(ssLeft))
        return;
    if (FDragItem && FDrag) {
        const TPoint size = DragImageSize(FDrag);
        const TPoint p = ButtonsList->ClientToScreen(Point(X, Y));
        ShowDragImage(FDrag, Rect(p.X - size.X, p.Y - size.Y, p.X, p.Y));
    } else if (!FDragItem) {
        if (ButtonsList->Cursor() != crNoDrop)
            FListCursor = ButtonsList->Cursor();
        ButtonsList->SetCursor(crNoDrop);
    }
}

void TSpeedbarSetupWindow::ListMouseUp(TMouseButton Button, int X, int Y)
{
    if (Button != mbLeft || !FDragging)
        return;
    if (FDragItem) {
        const TPoint size = DragImageSize(FDrag);
        TPoint drop = ButtonsList->ClientToScreen(Point(X, Y));
        drop.X -= size.X;
        drop.Y -= size.Y;
        FreeDragImage(FDrag);
        if (CheckSpeedBar() && FindSpeedBar(drop) == FBar) {
            const TPoint onBar = FBar->ScreenToClient(drop);
            if (FBar->AcceptDropItem(FDragItem, onBar.X, onBar.Y))
                UpdateData(CurrentSection());
        }
    } else {
        ButtonsList->SetCursor(FListCursor);
    }
    FDragging = false;
    ForgetDragItem();
}

void TSpeedbarSetupWindow::ForgetDragItem()
{
    if (FDragItem)
        FDragItem->RemoveFreeNotification(this);
    FDragItem = nullptr;
}

void TSpeedbarSetupWindow::Notification(TComponent* AComponent, TOperation Operation)
{
    TForm::Notification(AComponent, Operation);
    if (Operation != opRemove)
        return;
    if (AComponent == FDragItem) {
        FDragItem = nullptr;
        FreeDragImage(FDrag);
    }
    // A bar being destroyed closes its window first, while it still has its sections.
    if (AComponent == FBar && !ComponentState().Contains(csDestroying))
        Close();
    if (AComponent == FBar)
        FBar = nullptr;
}

void TSpeedbarSetupWindow::Dispatch(TMessage& Message)
{
    if (Message.Msg != CM_SPEEDBARCHANGED) {
        TForm::Dispatch(Message);
        return;
    }
    if (reinterpret_cast<TSpeedBar*>(Message.LParam) != FBar)
        return;
    switch (Message.WParam) {
    case SBR_CHANGED:
        UpdateData(CurrentSection());
        break;
    case SBR_DESTROYED:
        Close();
        break;
    case SBR_BTNSIZECHANGED:
        UpdateListHeight();
        break;
    default:
        break;
    }
}

void TSpeedbarSetupWindow::DoShow()
{
    if (FBar)
        UpdateListHeight();
    SectionList->SetDefaultColWidth(SectionList->ClientWidth());
    ButtonsList->SetDefaultColWidth(ButtonsList->ClientWidth());
    TForm::DoShow();
}

void TSpeedbarSetupWindow::DoClose(TCloseAction& Action)
{
    Action = caFree;
    TForm::DoClose(Action);
    FDragging = false;
    ForgetDragItem();
    FreeDragImage(FDrag);
    LeaveBar();
}

void ShowSpeedbarSetupWindow(TSpeedBar* Speedbar, int HelpCtx)
{
    if (!Speedbar)
        return;
    TSpeedbarSetupWindow* window = nullptr;
    for (int i = 0; i < Screen->CustomFormCount() && !window; ++i) {
        auto* form = dynamic_cast<TSpeedbarSetupWindow*>(Screen->CustomForms(i));
        if (form && form->SpeedBar() == Speedbar)
            window = form;
    }
    if (!window) {
        window = TForm::Create<TSpeedbarSetupWindow>(Application);
        window->SetSpeedBar(Speedbar);
    }
    try {
        if (HelpCtx > 0)
            window->HelpContext = HelpCtx;
        window->SetBorderIcons({biSystemMenu});
        window->HelpBtn->SetVisible(window->HelpContext > 0);
        window->Show();
        if (window->WindowState() == wsMinimized)
            window->SetWindowState(wsNormal);
    } catch (...) {
        TComponent::Free(window);
        throw;
    }
}

void DrawCellButton(TDrawGrid* Grid, const TRect& ARect, TSpeedItem* Item, TButtonImage* Image)
{
    if (!Item)
        return;
    TSpeedBar* bar = Item->SpeedBar();
    const bool fromImages = bar && bar->Images() && Item->ImageIndex() >= 0;
    TExSpeedButton* button = Item->Button();
    Image->SetGlyph(fromImages ? nullptr : Item->Glyph());
    Image->SetAlignment(button->Alignment());
    Image->SetNumGlyphs(Item->NumGlyphs());
    Image->Caption = Item->BtnCaption();
    Image->SetWordWrap(Item->WordWrap());
    const TPoint size = bar ? Point(bar->BtnWidth(), bar->BtnHeight()) : Point(button->Width(), button->Height());
    Image->ButtonSize = size;
    Image->DrawEx(Grid->Canvas(), ARect.Left + 1, ARect.Top + 1, Item->Margin(), Item->Spacing(), Item->Layout(),
                  bar ? bar->Font() : Item->Font(), fromImages ? bar->Images() : nullptr, Item->ImageIndex(),
                  TExButtonGlyph::AlignmentFlags(button->Alignment()));
    TRect text = ARect;
    text.Left += size.X + 3;
    DrawGridText(Grid, text, Item->Caption());
}
