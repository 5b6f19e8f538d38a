// Drawing that involves windows and the screen: the parent's image under a control, text in grid
// cells, inverted frames on the screen, the extra cursor slots and the nested wait cursor.

#include "ControlsTestSupport.h"

#include "controls/ExResources.h"
#include "controls/VCLUtils.h"
#include "platform/gui/Application.h"
#include "platform/gui/GdiDraw.h"
#include "platform/gui/Grab.h"
#include "platform/gui/Label.h"
#include "platform/gui/Panel.h"
#include "platform/gui/Screen.h"

#include <gtest/gtest.h>

#include <functional>

namespace ControlDrawingTest {

void PumpBriefly()
{
    for (int i = 0; i < 5; ++i)
        Application->ProcessMessages();
}

// A graphic control that paints itself red: what must never show in the image under it.
class TRedProbe : public TGraphicControl {
    TESS_CLASS(TRedProbe, TGraphicControl)
public:
    explicit TRedProbe(TComponent* AOwner) : TGraphicControl(AOwner) {}

protected:
    void Paint() override
    {
        Canvas()->Brush()->SetColor(clRed);
        Canvas()->FillRect(ClientRect());
    }
};

// A custom control whose Paint runs the drawing the test gives it.
class TCellHost : public TCustomControl {
    TESS_CLASS(TCellHost, TCustomControl)
public:
    explicit TCellHost(TComponent* AOwner) : TCustomControl(AOwner) {}
    std::function<void(TCellHost*)> Drawing;

protected:
    void Paint() override
    {
        Canvas()->Brush()->SetColor(clWhite);
        Canvas()->FillRect(ClientRect());
        if (Drawing)
            Drawing(this);
    }
};

TLabel* MakeLabel(TForm& form, TWinControl* parent, const TRect& bounds, const std::string& text, TColor color)
{
    auto* label = new TLabel(&form);
    label->SetParent(parent);
    label->SetAutoSize(false);
    label->SetBoundsRect(bounds);
    label->Font()->SetName("Arial");
    label->Font()->SetSize(12);
    label->Font()->SetColor(color);
    label->SetCaption(text);
    return label;
}

TEST(ParentImage, ALabelOverAGreenPanelIsCopiedUnderTheControlAndNothingAboveIt)
{
    TForm form(nullptr);
    form.SetBounds(40, 40, 260, 160);
    auto* panel = new TPanel(&form);
    panel->SetParent(&form);
    panel->SetBounds(10, 10, 220, 110);
    panel->SetBevelOuter(bvNone);
    panel->SetColor(clLime);
    panel->SetCaption("");
    MakeLabel(form, panel, Rect(12, 12, 130, 36), "WWWWWW", clBlack);
    form.Show();
    PumpBriefly();
    TBitmap before;
    ASSERT_TRUE(GrabToBitmap(panel, &before));

    auto* probe = new TRedProbe(&form);
    probe->SetParent(panel);
    probe->SetBounds(6, 6, 140, 44);
    // Created after the probe, so above it: not part of what lies under the probe.
    MakeLabel(form, panel, Rect(20, 20, 140, 44), "MMMM", clRed);
    PumpBriefly();

    TBitmap copy;
    copy.SetSize(probe->Width(), probe->Height());
    copy.Canvas()->Brush()->SetColor(clBlue);
    copy.Canvas()->FillRect(Rect(0, 0, copy.Width(), copy.Height()));
    CopyParentImage(probe, copy.Canvas());
    copy.SaveToFile(ControlsPictureDir() + "/parent_image.bmp");

    int ink = 0;
    for (int y = 0; y < copy.Height(); ++y)
        for (int x = 0; x < copy.Width(); ++x) {
            const TColor under = before.Canvas()->Pixels(probe->Left() + x, probe->Top() + y);
            ASSERT_EQ(copy.Canvas()->Pixels(x, y), under) << x << "," << y;
            ink += under != clLime;
        }
    EXPECT_GT(ink, 30) << "the label's text is in the copy";
    EXPECT_FALSE(probe->ControlState.Contains(csPaintCopy));
    EXPECT_FALSE(panel->ControlState.Contains(csPaintCopy));

    // Without a parent nothing is drawn.
    TRedProbe orphan(nullptr);
    CopyParentImage(&orphan, copy.Canvas());
    CopyParentImage(nullptr, copy.Canvas());
}

// Rows of the host that hold any dark pixel.
std::vector<int> InkRows(TBitmap& picture, const TRect& area)
{
    std::vector<int> rows;
    for (int y = area.Top; y < area.Bottom; ++y)
        for (int x = area.Left; x < area.Right; ++x)
            if ((picture.Canvas()->Pixels(x, y) & 0xFF) < 0x80) {
                rows.push_back(y);
                break;
            }
    return rows;
}

TEST(GridCells, CentredTextWrapsLeftTextStaysOnOneLineAtItsVerticalPlace)
{
    TForm form(nullptr);
    form.SetBounds(30, 30, 300, 200);
    auto* host = new TCellHost(&form);
    host->SetParent(&form);
    host->SetBounds(0, 0, 280, 180);
    host->Canvas()->Font()->SetName("Arial");
    host->Canvas()->Font()->SetSize(10);
    const TRect centred = Rect(0, 0, 70, 90);
    const TRect left = Rect(80, 0, 150, 90);
    const TRect bottom = Rect(160, 0, 230, 90);
    const std::string text = "uno due tre quattro";
    host->Drawing = [&](TCellHost* self) {
        self->Canvas()->Font()->SetColor(clBlack);
        self->Canvas()->Brush()->SetColor(clWhite);
        DrawCellText(self, 0, 0, text, centred, taCenter, vaTopJustify);
        DrawCellText(self, 1, 0, text, left, taLeftJustify, vaTopJustify);
        DrawCellText(self, 2, 0, "W", bottom, taLeftJustify, vaBottomJustify);
    };
    form.Show();
    PumpBriefly();
    host->Repaint();
    TBitmap picture;
    ASSERT_TRUE(GrabToBitmap(host, &picture));
    picture.SaveToFile(ControlsPictureDir() + "/grid_cells.bmp");

    const int line = host->Canvas()->TextHeight("W");
    const auto wrapped = InkRows(picture, centred);
    const auto single = InkRows(picture, left);
    const auto low = InkRows(picture, bottom);
    ASSERT_FALSE(wrapped.empty());
    ASSERT_FALSE(single.empty());
    ASSERT_FALSE(low.empty());
    EXPECT_GE(wrapped.back() - wrapped.front(), line) << "more than one line";
    EXPECT_LT(single.back() - single.front(), line) << "one line";
    EXPECT_GE(single.front(), 2);
    EXPECT_GE(low.front(), 90 - line) << "at the bottom of the cell";
    // Left text is clipped to its cell: nothing of it beyond the cell's right edge.
    EXPECT_TRUE(InkRows(picture, Rect(150, 0, 160, 90)).empty());
}

TEST(ScreenDrawing, InvertedFramesAndRectanglesVanishWhenDrawnTwice)
{
    TForm form(nullptr);
    form.SetBounds(60, 60, 200, 120);
    form.SetColor(clGray);
    form.Show();
    PumpBriefly();
    TBitmap plain;
    ASSERT_TRUE(GrabToBitmap(&form, &plain));
    const TPoint origin = form.ClientOrigin();
    const TRect frame = Bounds(origin.X + 20, origin.Y + 20, 60, 40);

    const auto changedPixels = [&](TBitmap& picture, const TRect& area) {
        int changed = 0;
        for (int y = area.Top; y < area.Bottom; ++y)
            for (int x = area.Left; x < area.Right; ++x)
                changed += picture.Canvas()->Pixels(x, y) != plain.Canvas()->Pixels(x, y);
        return changed;
    };
    const TRect whole = Rect(0, 0, plain.Width(), plain.Height());
    // The picture of the form is its client area.
    const TRect inside = Bounds(23, 23, 54, 34);

    DrawInvertFrame(frame, 2);
    TBitmap framed;
    ASSERT_TRUE(GrabToBitmap(&form, &framed));
    EXPECT_GT(changedPixels(framed, whole), 60);
    EXPECT_EQ(changedPixels(framed, inside), 0) << "only the frame's two rings";
    DrawInvertFrame(frame, 2);
    TBitmap cleared;
    ASSERT_TRUE(GrabToBitmap(&form, &cleared));
    EXPECT_EQ(changedPixels(cleared, whole), 0);

    PaintInverseRect(Point(origin.X + 10, origin.Y + 10), Point(origin.X + 30, origin.Y + 20));
    TBitmap inverted;
    ASSERT_TRUE(GrabToBitmap(&form, &inverted));
    EXPECT_EQ(changedPixels(inverted, whole), 200);
    PaintInverseRect(Point(origin.X + 10, origin.Y + 10), Point(origin.X + 30, origin.Y + 20));
    ASSERT_TRUE(GrabToBitmap(&form, &inverted));
    EXPECT_EQ(changedPixels(inverted, whole), 0);

    TScreenCanvas screen;
    screen.SetOrigin(origin.X, origin.Y);
    const TRect local = Rect(5, 5, 15, 9);
    InvertRect(screen.Handle(), &local);
    ASSERT_TRUE(GrabToBitmap(&form, &inverted));
    EXPECT_EQ(changedPixels(inverted, whole), 40) << "the canvas's (0, 0) is the form's client origin";
    EXPECT_EQ(changedPixels(inverted, Bounds(5, 5, 10, 4)), 40);
    InvertRect(screen.Handle(), &local);
    screen.FreeHandle();
}

TEST(Cursors, NestedWaitsKeepTheHourglassUntilTheLastStop)
{
    Screen->SetCursor(crDefault);
    StopWait(); // an extra stop changes nothing
    EXPECT_EQ(Screen->Cursor(), crDefault);
    StartWait();
    EXPECT_EQ(Screen->Cursor(), crHourGlass);
    StartWait();
    StopWait();
    EXPECT_EQ(Screen->Cursor(), crHourGlass);
    StopWait();
    EXPECT_EQ(Screen->Cursor(), crDefault);
    StopWait();
    EXPECT_EQ(Screen->Cursor(), crDefault);

    // The cursor in place when the first wait began comes back.
    Screen->SetCursor(crCross);
    const TCursor saved = WaitCursor;
    WaitCursor = crAppStart;
    StartWait();
    EXPECT_EQ(Screen->Cursor(), crAppStart);
    StopWait();
    EXPECT_EQ(Screen->Cursor(), crCross);
    WaitCursor = saved;
    Screen->SetCursor(crDefault);
}

TEST(Cursors, DefinedCursorsTakeTheFreeSlotsFromOneHundred)
{
    RegisterExResources();
    const TCursor first = DefineCursor(MainInstance(), "EX_HANDCUR");
    const TCursor second = DefineCursor(MainInstance(), "EX_DRAGCUR");
    EXPECT_EQ(first, 100);
    EXPECT_EQ(second, 101);
    EXPECT_NE(Screen->Cursors(first), Screen->Cursors(crDefault));
    try {
        DefineCursor(MainInstance(), "NESSUN_CURSORE");
        FAIL();
    } catch (const EResNotFound& e) {
        EXPECT_EQ(e.Message, "Resource NESSUN_CURSORE not found");
    }
    EXPECT_EQ(LoadAniCursor(MainInstance(), "EX_HANDCUR"), nullptr);

    // A full table: every slot up to 32767 taken.
    const HCURSOR arrow = Screen->Cursors(crArrow);
    for (int slot = 102; slot <= 32767; ++slot)
        Screen->SetCursors(slot, arrow);
    try {
        DefineCursor(MainInstance(), "EX_HANDCUR");
        FAIL();
    } catch (const EOutOfResources& e) {
        EXPECT_EQ(e.Message, "Out of system resources");
    }
    for (int slot = 100; slot <= 32767; ++slot)
        Screen->SetCursors(slot, nullptr);
    EXPECT_EQ(DefineCursor(MainInstance(), "EX_DRAGCUR"), 100) << "freed slots are taken again";
    Screen->SetCursors(100, nullptr);
}

} // namespace ControlDrawingTest
