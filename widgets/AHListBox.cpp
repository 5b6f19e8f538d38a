#include "widgets/AHListBox.h"

#include "platform/gui/DeviceContext.h"
#include "platform/gui/TextOutput.h"
#include "platform/gui/WindowFunctions.h"

using namespace AHListBox;

namespace {

// Height of "Íy" in a font: the tallest accent above the deepest descender.
int AHListBoxTextHeight(TFont* font)
{
    HDC dc = CreateCompatibleDC(nullptr);
    TCanvas canvas;
    canvas.SetHandle(dc);
    canvas.SetFont(font);
    const int height = canvas.TextHeight("\xCDy");
    canvas.SetHandle(nullptr);
    DeleteDC(dc);
    return height;
}

} // namespace

TAHListBox::TAHListBox(TComponent* AOwner)
    : TCustomListBox(AOwner), FBarFont(std::make_unique<TFont>()), FImageChangeLink(std::make_unique<TChangeLink>())
{
    SetStyle(lbOwnerDrawFixed);
    SetItemHeight(20);
    SetColor(14084567);
    FBarFont->SetName(Font()->Name());
    FBarFont->SetSize(8);
    FBarFont->SetColor(clRed);
    FBarFont->OnChange = [this](TObject* Sender) { BarFontChanged(Sender); };
    FImageChangeLink->OnChange = [this](TObject* Sender) { ImageListChange(Sender); };
}

TAHListBox::~TAHListBox()
{
    if (FImageChangeLink->Sender)
        FImageChangeLink->Sender->UnRegisterChanges(FImageChangeLink.get());
}

void TAHListBox::AdjustItemHeight()
{
    int height = AHListBoxTextHeight(Font());
    if (FImages)
        height = std::max(height, FImages->Height());
    height = std::max(height, AHListBoxTextHeight(FBarFont.get()));
    if (ItemHeight() != height + 5)
        SetItemHeight(height + 5);
}

void TAHListBox::SetImages(TCustomImageList* Value)
{
    // The link's sender is cleared by a list being destroyed, so it is the one to ask.
    if (FImageChangeLink->Sender)
        FImageChangeLink->Sender->UnRegisterChanges(FImageChangeLink.get());
    if (FImages && FImages != Value)
        FImages->RemoveFreeNotification(this);
    FImages = Value;
    if (FImages) {
        FImages->RegisterChanges(FImageChangeLink.get());
        FImages->FreeNotification(this);
    }
    AdjustItemHeight();
    Invalidate();
}

void TAHListBox::Notification(TComponent* AComponent, TOperation Operation)
{
    TCustomListBox::Notification(AComponent, Operation);
    if (Operation == opRemove && AComponent && AComponent == FImages) {
        // The list is on its way out: nothing more is asked of it.
        FImages = nullptr;
        SetImages(nullptr);
    }
}

void TAHListBox::SetBarFont(TFont* Value)
{
    if (Value == FBarFont.get())
        return;
    FBarFont->Assign(Value);
    AdjustItemHeight();
}

void TAHListBox::BarFontChanged(TObject*)
{
    AdjustItemHeight();
    InvalidateSelection();
}

void TAHListBox::ImageListChange(TObject*) { AdjustItemHeight(); }

void TAHListBox::InvalidateSelection()
{
    if (ItemIndex() < 0 || !HandleAllocated())
        return;
    if (MultiSelect() && SelCount() > 1) {
        Invalidate();
        return;
    }
    const TRect rect = ItemRect(ItemIndex());
    InvalidateRect(Handle(), &rect, FALSE);
}

void TAHListBox::SetBarColor(TColor Value)
{
    if (Value == FBarColor)
        return;
    FBarColor = Value;
    InvalidateSelection();
}

void TAHListBox::SetBarStyle(TBarStyle Value)
{
    if (Value == FBarStyle)
        return;
    FBarStyle = Value;
    InvalidateSelection();
}

void TAHListBox::SetOffset(int Value)
{
    // The margin is a byte.
    Value = std::clamp(Value, 0, 255);
    if (Value == FOffset)
        return;
    FOffset = Value;
    Invalidate();
}

void TAHListBox::SetAlignment(TAlignment Value)
{
    if (Value == FAlignment)
        return;
    FAlignment = Value;
    Invalidate();
}

void TAHListBox::SetOddEvenColors(bool Value)
{
    if (Value == FOddEvenColors)
        return;
    FOddEvenColors = Value;
    Invalidate();
}

void TAHListBox::SetOddColor(TColor Value)
{
    if (Value == FOddColor)
        return;
    FOddColor = Value;
    Invalidate();
}

void TAHListBox::SetEvenColor(TColor Value)
{
    if (Value == FEvenColor)
        return;
    FEvenColor = Value;
    Invalidate();
}

void TAHListBox::SetImagePos(TImagePos Value)
{
    if (Value == FImagePos)
        return;
    FImagePos = Value;
    if (FImages)
        Invalidate();
}

void TAHListBox::Dispatch(TMessage& Message)
{
    if (Message.Msg == CM_FONTCHANGED) {
        TCustomListBox::Dispatch(Message);
        Canvas()->SetFont(Font());
        AdjustItemHeight();
        return;
    }
    TCustomListBox::Dispatch(Message);
}

void TAHListBox::DrawRowFrame(TRect& Rect, bool Selected)
{
    TCanvas* canvas = Canvas();
    if (!Selected) {
        InflateRect(Rect, -1, -1);
        return;
    }
    switch (FBarStyle) {
    case tbsLowered:
        Frame3D(canvas, Rect, clBtnHighlight, clBtnShadow, 1);
        break;
    case tbsRaised:
        Frame3D(canvas, Rect, clBtnShadow, clBtnHighlight, 1);
        break;
    case tbsColor:
        canvas->Pen()->SetColor(FBarColor);
        canvas->Rectangle(Rect);
        break;
    }
}

void TAHListBox::DrawRowImage(TRect& Rect, int ImageIndex)
{
    const int width = FImages->Width();
    const int height = FImages->Height();
    if (ImageIndex >= 0) {
        // An index the list does not have draws nothing but keeps the rows' text in line.
        if (ImageIndex < FImages->Count()) {
            const int y = Rect.Top + (Rect.Bottom - Rect.Top) / 2 - height / 2;
            const int x = FImagePos == ipLeft ? Rect.Left + FOffset : Rect.Right - FOffset - width;
            FImages->Draw(Canvas(), x, y, ImageIndex);
        }
        if (FImagePos == ipLeft)
            Rect.Left += FOffset + width + 3;
        else
            Rect.Right -= FOffset + width + 3;
    }
    Rect.Left += FAlignment == taLeftJustify && FImagePos == ipRight ? FOffset : 3;
    Rect.Right -= FAlignment == taRightJustify && FImagePos == ipLeft ? FOffset : 3;
}

void TAHListBox::DrawItem(int Index, TRect Rect, TOwnerDrawState State)
{
    TCanvas* canvas = Canvas();
    const bool selected = State.Contains(odSelected);
    int imageIndex = -1;
    if (FImages && OnGetImageIndex)
        OnGetImageIndex(this, Index, imageIndex);

    if (selected)
        canvas->Brush()->SetColor(FBarColor);
    else if (FOddEvenColors)
        canvas->Brush()->SetColor(Index % 2 != 0 ? FOddColor : FEvenColor);
    else
        canvas->Brush()->SetColor(Color());
    canvas->FillRect(Rect);
    canvas->Pen()->SetMode(pmCopy);
    canvas->Pen()->SetWidth(1);
    canvas->Pen()->SetStyle(psSolid);
    const TRect received = Rect;

    DrawRowFrame(Rect, selected);
    if (FImages) {
        DrawRowImage(Rect, imageIndex);
    } else {
        if (FAlignment == taLeftJustify)
            Rect.Left += FOffset;
        Rect.Right -= FAlignment == taRightJustify ? FOffset + 1 : 1;
    }
    Rect.Bottom -= 1;
    if (selected || State.Contains(odFocused))
        canvas->SetFont(FBarFont.get());

    UINT format = DT_SINGLELINE | DT_VCENTER;
    if (FAlignment == taRightJustify)
        format |= DT_RIGHT;
    else if (FAlignment == taCenter)
        format |= DT_CENTER;
    // Measuring selects the canvas's font into the context; the text colour is the font's.
    canvas->TextHeight("0");
    HDC dc = canvas->Handle();
    SetTextColor(dc, ColorToRGB(canvas->Font()->Color()));
    const int mode = SetBkMode(dc, TRANSPARENT);
    const std::string text = Index >= 0 && Index < Items()->Count() ? Items()->Strings(Index) : std::string();
    DrawTextA(dc, text, -1, &Rect, format);
    SetBkMode(dc, mode);

    // The list box draws its own focus frame after this (an XOR): a second one here hides it on
    // the selected bar.
    if (selected && State.Contains(odFocused))
        canvas->DrawFocusRect(received);
}
