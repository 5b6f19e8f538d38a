#pragma once
// TAHListBox: an owner-drawn list of single text lines, each with an optional image from an image
// list, rows in alternating colours, and a selected row drawn as a bar with its own colour, font
// and 3-D or coloured frame. The item height follows the fonts and the images.

#include "platform/gui/ImageList.h"
#include "platform/db/DBCommon.h"
#include "platform/gui/ListBox.h"

#include <functional>
#include <memory>

namespace AHListBox {
enum TBarStyle { tbsLowered, tbsRaised, tbsColor };
enum TImagePos { ipLeft, ipRight };
} // namespace AHListBox

using AHListBox::TBarStyle;
using AHListBox::TImagePos;
// Asks the owner for the image of row ItemIndex; idx arrives as -1 (no image).
using TAHGetIndexEvent = std::function<void(TObject* Sender, int ItemIndex, int& idx)>;

class TAHListBox : public TCustomListBox {
    TESS_CLASS(TAHListBox, TCustomListBox)
public:
    explicit TAHListBox(TComponent* AOwner);
    ~TAHListBox() override;

    TAlignment Alignment() const { return FAlignment; }
    void SetAlignment(TAlignment Value);
    TColor BarColor() const { return FBarColor; }
    void SetBarColor(TColor Value);
    TFont* BarFont() const { return FBarFont.get(); }
    void SetBarFont(TFont* Value);
    TBarStyle BarStyle() const { return FBarStyle; }
    void SetBarStyle(TBarStyle Value);
    TColor EvenColor() const { return FEvenColor; }
    void SetEvenColor(TColor Value);
    TColor OddColor() const { return FOddColor; }
    void SetOddColor(TColor Value);
    bool OddEvenColors() const { return FOddEvenColors; }
    void SetOddEvenColors(bool Value);
    TCustomImageList* Images() const { return FImages; }
    void SetImages(TCustomImageList* Value);
    TImagePos ImagePos() const { return FImagePos; }
    void SetImagePos(TImagePos Value);
    int Offset() const { return FOffset; }
    void SetOffset(int Value);

    TAHGetIndexEvent OnGetImageIndex;

    void Dispatch(TMessage& Message) override;

protected:
    void Notification(TComponent* AComponent, TOperation Operation) override;
    // Replaces the drawing of the list box: an OnDrawItem handler is not called.
    void DrawItem(int Index, TRect Rect, TOwnerDrawState State) override;

private:
    void AdjustItemHeight();
    void BarFontChanged(TObject* Sender);
    void ImageListChange(TObject* Sender);
    // Repaints only what shows the selection.
    void InvalidateSelection();
    void DrawRowFrame(TRect& Rect, bool Selected);
    void DrawRowImage(TRect& Rect, int ImageIndex);

    std::unique_ptr<TFont> FBarFont;
    TColor FBarColor = 14084567;
    int FOffset = 3;
    TBarStyle FBarStyle = AHListBox::tbsLowered;
    TImagePos FImagePos = AHListBox::ipLeft;
    TAlignment FAlignment = taLeftJustify;
    TCustomImageList* FImages = nullptr;
    std::unique_ptr<TChangeLink> FImageChangeLink;
    bool FOddEvenColors = false;
    TColor FOddColor = 13750737;
    TColor FEvenColor = 14803425;
};
