#include "WidgetsTestSupport.h"

#include "platform/gui/Form.h"
#include "widgets/AHListBox.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

namespace {

constexpr TColor NoteOddColor = 15912375, NoteEvenColor = 16244694;
constexpr TColor ImageColors[] = {clRed, clYellow, clLime};

// Counts the rows it draws.
class TCountingListBox : public TAHListBox {
public:
    using TAHListBox::TAHListBox;
    int Drawn = 0;

protected:
    void DrawItem(int Index, TRect Rect, TOwnerDrawState State) override
    {
        ++Drawn;
        TAHListBox::DrawItem(Index, Rect, State);
    }
};

// Three 16 x 16 images in plain colours.
std::unique_ptr<TImageList> MakeImages()
{
    auto images = std::make_unique<TImageList>(16, 16);
    TBitmap strip;
    strip.SetSize(48, 16);
    for (int i = 0; i < 3; ++i) {
        strip.Canvas()->Brush()->SetColor(ImageColors[i]);
        strip.Canvas()->FillRect(Rect(16 * i, 0, 16 * i + 16, 16));
    }
    images->Add(&strip, nullptr);
    return images;
}

int FontTextHeight(TFont* font)
{
    TTextSample sample(10, 10, [font](TCanvas* canvas) { canvas->SetFont(font); });
    return sample.Canvas()->TextHeight("\xCDy");
}

// The notes list as the main window sets it up: row 3 has no image, row 4 asks for one past the
// list.
struct TNotesFixture {
    std::unique_ptr<TForm> Form;
    std::unique_ptr<TImageList> Images = MakeImages();
    TCountingListBox* List = nullptr;

    TNotesFixture()
    {
        Form = std::make_unique<TForm>(nullptr);
        Form->SetBounds(30, 30, 260, 200);
        Form->SetColor(clWhite);
        List = new TCountingListBox(Form.get());
        List->SetParent(Form.get());
        List->SetBounds(0, 0, 220, 150);
        List->SetBorderStyle(bsNone);
        List->SetColor(clWhite);
        List->SetBarColor(clBtnFace);
        TFont bar;
        bar.SetSize(8);
        bar.SetStyle({fsBold});
        bar.SetColor(clBtnText);
        List->SetBarFont(&bar);
        List->SetBarStyle(AHListBox::tbsLowered);
        List->SetOddEvenColors(true);
        List->SetOddColor(NoteOddColor);
        List->SetEvenColor(NoteEvenColor);
        List->SetImages(Images.get());
        List->OnGetImageIndex = [](TObject*, int row, int& idx) {
            if (row == 3)
                return;
            idx = row == 4 ? 99 : row % 3;
        };
        for (const char* note : {"Telefonare a Rossi", "Scadenza IVA", "Riunione", "Nota", "Fattura 12", "Banca"})
            List->Items()->Add(note);
        Form->Show();
        PumpFor(20);
    }
    int RowTop(int row) const { return List->ItemRect(row).Top; }
};

TEST(AHListBox, ItemHeightFollowsFontsAndImages)
{
    TNotesFixture f;
    const int fonts = std::max(FontTextHeight(f.List->Font()), FontTextHeight(f.List->BarFont()));
    EXPECT_EQ(f.List->ItemHeight(), std::max(fonts, 16) + 5);
    TImageList big(24, 30);
    f.List->SetImages(&big);
    EXPECT_EQ(f.List->ItemHeight(), 35);
    f.List->SetImages(f.Images.get());
    // Freeing the image list leaves the list without images, as high as its fonts.
    TComponent::Free(f.Images.release());
    EXPECT_EQ(f.List->Images(), nullptr);
    EXPECT_EQ(f.List->ItemHeight(), fonts + 5);
    PumpFor(20);
    EXPECT_TRUE(TGrab(f.List).Valid());
}

TEST(AHListBox, RowsAlternateAndTheSelectedRowIsALoweredBar)
{
    TNotesFixture f;
    bool handlerCalled = false;
    f.List->OnDrawItem = [&](TWinControl*, int, TRect, TOwnerDrawState) { handlerCalled = true; };
    f.List->SetItemIndex(2);
    PumpFor(20);
    TGrab grab(f.List);
    const int right = f.List->Width() - 3;
    EXPECT_EQ(grab.At(right, f.RowTop(0) + 10), NoteEvenColor);
    EXPECT_EQ(grab.At(right, f.RowTop(1) + 10), NoteOddColor);
    const TRect selected = f.List->ItemRect(2);
    EXPECT_EQ(grab.At(100, selected.Top), static_cast<TColor>(ColorToRGB(clBtnHighlight)));
    EXPECT_EQ(grab.At(0, selected.Top + 5), static_cast<TColor>(ColorToRGB(clBtnHighlight)));
    EXPECT_EQ(grab.At(100, selected.Bottom - 1), static_cast<TColor>(ColorToRGB(clBtnShadow)));
    EXPECT_EQ(grab.At(selected.Right - 1, selected.Top + 5), static_cast<TColor>(ColorToRGB(clBtnShadow)));
    EXPECT_EQ(grab.At(right - 2, selected.Top + 10), static_cast<TColor>(ColorToRGB(clBtnFace)));
    EXPECT_FALSE(handlerCalled);
}

TEST(AHListBox, ImagesStandAtTheRowStartAndMissingOnesLeaveNoGap)
{
    TNotesFixture f;
    TGrab grab(f.List);
    // Row 0: image 0 centred in the row, Offset pixels inside the frame.
    const int top = f.RowTop(0);
    EXPECT_EQ(grab.At(4, top + 2), clRed);
    EXPECT_EQ(grab.At(19, top + 17), clRed);
    EXPECT_EQ(grab.At(3, top + 10), NoteEvenColor);
    EXPECT_EQ(grab.At(20, top + 10), NoteEvenColor);
    EXPECT_EQ(grab.At(10, f.RowTop(1) + 10), clYellow);
    // Row 3 has no image: its text begins 3 pixels after the one-pixel frame.
    TTextSample sample(200, 30, [&](TCanvas* canvas) { canvas->SetFont(f.List->Font()); });
    sample.Canvas()->TextOut(4, 0, "Nota");
    const TRect row3 = f.List->ItemRect(3);
    EXPECT_EQ(grab.FirstInkColumn(row3, NoteOddColor), sample.FirstInkColumn(Rect(0, 0, 200, 30)));
    // Row 4 asks for an image the list does not have: none is drawn, its text stays in line.
    const TRect row4 = f.List->ItemRect(4);
    for (int x = 0; x < 26; ++x)
        for (int y = row4.Top; y < row4.Bottom; ++y)
            ASSERT_EQ(grab.At(x, y), NoteEvenColor) << x << "," << y;
    EXPECT_GE(grab.FirstInkColumn(row4, NoteEvenColor), 26);
}

TEST(AHListBox, BarChangesRepaintOnlyWhenARowIsSelected)
{
    TNotesFixture f;
    f.List->SetItemIndex(-1);
    PumpFor(20);
    f.List->Drawn = 0;
    f.List->SetBarColor(clRed);
    f.List->SetBarStyle(AHListBox::tbsRaised);
    PumpFor(20);
    EXPECT_EQ(f.List->Drawn, 0);
    f.List->SetItemIndex(1);
    PumpFor(20);
    f.List->Drawn = 0;
    f.List->SetBarColor(clBlue);
    PumpFor(20);
    EXPECT_GT(f.List->Drawn, 0);
    TGrab grab(f.List);
    const TRect selected = f.List->ItemRect(1);
    EXPECT_EQ(grab.At(100, selected.Top), static_cast<TColor>(ColorToRGB(clBtnShadow)));
    EXPECT_EQ(grab.At(f.List->Width() - 5, selected.Top + 10), clBlue);
}

} // namespace

namespace {

TEST(AHListBox, FocusFrameShowsOnlyOnAnUnselectedRow)
{
    TNotesFixture f;
    f.List->SetItemIndex(2);
    f.List->SetFocus();
    PumpFor(50);
    ASSERT_TRUE(f.List->Focused());
    TGrab selectedFocused(f.List);
    const TRect selected = f.List->ItemRect(2);
    for (int x = 1; x < selected.Right - 1; ++x)
        ASSERT_EQ(selectedFocused.At(x, selected.Top), static_cast<TColor>(ColorToRGB(clBtnHighlight))) << x;
    // The caret on a row that is not selected: the dotted frame shows on its top edge.
    f.List->SetMultiSelect(true);
    f.List->SetFocus();
    f.List->SetItemIndex(3);
    f.List->SetSelected(3, false);
    f.List->SetSelected(2, false);
    PumpFor(50);
    TGrab caret(f.List);
    const TRect row = f.List->ItemRect(3);
    int dotted = 0;
    for (int x = 1; x < row.Right - 1; ++x)
        dotted += caret.At(x, row.Top) != NoteOddColor;
    EXPECT_GT(dotted, 20);
}

} // namespace
