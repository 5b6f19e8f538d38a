// Controls painted by Qt (edits, memos) still hear WM_PAINT after their window class painted, so a
// handler can draw over them, and GetDC drawing on them shows until the area is invalidated.

#include "GuiTestSupport.h"

#include "platform/gui/Canvas.h"
#include "platform/gui/ComboBox.h"
#include "platform/gui/DeviceContext.h"
#include "platform/gui/GdiDraw.h"
#include "platform/gui/GdiObjects.h"
#include "platform/gui/Form.h"
#include "platform/gui/Messages.h"
#include "platform/gui/Edit.h"
#include "platform/gui/ListView.h"
#include "platform/gui/Memo.h"

#include <QImage>
#include <QWidget>
#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// An edit that draws a red square in its top-left corner after the inherited paint, as a flat
// control draws its frame.
class TMarkedEdit : public TEdit {
    TESS_CLASS(TMarkedEdit, TEdit)
public:
    explicit TMarkedEdit(TComponent* AOwner) : TEdit(AOwner) {}
    int Paints = 0;

    void WndProc(TMessage& Message) override
    {
        TEdit::WndProc(Message);
        if (Message.Msg != WM_PAINT)
            return;
        ++Paints;
        TControlCanvas canvas;
        canvas.SetControl(this);
        canvas.Brush()->SetColor(clRed);
        canvas.FillRect(Rect(0, 0, 6, 6));
    }
};

std::vector<std::string> paintOverWarnings;

void RecordPaintOverWarning(QtMsgType, const QMessageLogContext&, const QString& message)
{
    paintOverWarnings.push_back(message.toStdString());
}

QRgb PixelOf(TControl* control, int x, int y)
{
    return Widget(control)->grab().toImage().pixel(x, y) & 0xFFFFFFu;
}

} // namespace

TEST(PaintOverQtControls, AHandlerDrawsOverTheInheritedPaint)
{
    TForm form(nullptr);
    form.SetBounds(0, 0, 300, 200);
    auto* edit = new TMarkedEdit(&form);
    edit->SetParent(&form);
    edit->SetBounds(10, 10, 120, 24);
    edit->SetText("Totale");
    ShowAndActivate(&form);
    ASSERT_TRUE(PumpUntil([&] { return edit->Paints > 0; }));

    const QImage image = Widget(edit)->grab().toImage();
    const QPoint client(edit->ClientOrigin().X - form.ClientOrigin().X - edit->Left(),
                        edit->ClientOrigin().Y - form.ClientOrigin().Y - edit->Top());
    EXPECT_EQ(image.pixel(client + QPoint(2, 2)) & 0xFFFFFFu, 0xFF0000u);
    // Away from the square the edit's own painting (its white field) shows through.
    EXPECT_EQ(image.pixel(image.width() - 6, image.height() / 2) & 0xFFFFFFu, 0xFFFFFFu);
}

// A combo box paints its own classic look; a handler still draws over it after the inherited paint.
class TMarkedCombo : public TComboBox {
    TESS_CLASS(TMarkedCombo, TComboBox)
public:
    explicit TMarkedCombo(TComponent* AOwner) : TComboBox(AOwner) {}
    int Paints = 0;

    void WndProc(TMessage& Message) override
    {
        TComboBox::WndProc(Message);
        if (Message.Msg != WM_PAINT)
            return;
        ++Paints;
        TControlCanvas canvas;
        canvas.SetControl(this);
        canvas.Brush()->SetColor(clRed);
        canvas.FillRect(Rect(Width() - 10, 0, Width(), 6));
    }
};

TEST(PaintOverQtControls, AComboBoxHandlerDrawsOverItsButton)
{
    for (TComboBoxStyle style : {csDropDown, csDropDownList}) {
        SCOPED_TRACE(style);
        TForm form(nullptr);
        form.SetBounds(0, 0, 300, 200);
        auto* combo = new TMarkedCombo(&form);
        combo->SetParent(&form);
        combo->SetStyle(style);
        combo->SetBounds(10, 10, 145, 25);
        ShowAndActivate(&form);
        ASSERT_TRUE(PumpUntil([&] { return combo->Paints > 0; }));
        const QImage image = Widget(combo)->grab().toImage();
        EXPECT_EQ(image.pixel(140, 2) & 0xFFFFFFu, 0xFF0000u) << "over the button";
        EXPECT_NE(image.pixel(140, 12) & 0xFFFFFFu, 0xFF0000u) << "the button below the square";
    }
}

// An edit paints itself; a memo paints its text in a viewport child: both show the drawing.
TEST(PaintOverQtControls, DrawingOutsidePaintStaysUntilInvalidated)
{
    for (bool memo : {false, true}) {
        SCOPED_TRACE(memo ? "memo" : "edit");
        TForm form(nullptr);
        form.SetBounds(0, 0, 300, 200);
        TWinControl* edit = memo ? static_cast<TWinControl*>(new TMemo(&form)) : new TEdit(&form);
        edit->SetParent(&form);
        edit->SetBounds(10, 10, 150, 60);
        ShowAndActivate(&form);
        Pump(50);

        const QPoint client(edit->ClientOrigin().X - form.ClientOrigin().X - edit->Left(),
                            edit->ClientOrigin().Y - form.ClientOrigin().Y - edit->Top());
        HDC dc = GetDC(edit->Handle());
        HBRUSH blue = CreateSolidBrush(clBlue);
        RECT box{20, 20, 40, 40};
        FillRect(dc, &box, blue);
        ReleaseDC(edit->Handle(), dc);
        DeleteObject(blue);
        Pump(50);
        EXPECT_EQ(PixelOf(edit, client.x() + 30, client.y() + 30), 0x0000FFu);

        edit->Invalidate();
        Pump(50);
        EXPECT_EQ(PixelOf(edit, client.x() + 30, client.y() + 30), 0xFFFFFFu);
    }
}

// A memo or a list view paints its text in a viewport child: the drawing over it happens in the
// viewport's paint, and nothing tries to paint the window outside the window's own paint.
TEST(PaintOverQtControls, ScrollAreasPaintOnlyInsideTheirPaintEvents)
{
    for (bool memo : {false, true}) {
        SCOPED_TRACE(memo ? "memo" : "list view");
        TForm form(nullptr);
        form.SetBounds(0, 0, 300, 200);
        TWinControl* area = memo ? static_cast<TWinControl*>(new TMemo(&form)) : new TListView(&form);
        area->SetParent(&form);
        area->SetBounds(10, 10, 150, 60);
        ShowAndActivate(&form);
        Pump(20);
        paintOverWarnings.clear();
        const QtMessageHandler previous = qInstallMessageHandler(RecordPaintOverWarning);
        area->Repaint();
        Widget(area)->grab();
        Pump(20);
        qInstallMessageHandler(previous);
        EXPECT_EQ(paintOverWarnings, std::vector<std::string>{});
    }
}

namespace {

// A Qt-painted control that keeps a 3-pixel frame of its own in the non-client area, drawn in
// red on the whole-window context, as the flat edits do (they have no border style of their own).
template <class TBase>
class TRingedControl : public TBase {
public:
    explicit TRingedControl(TComponent* AOwner) : TBase(AOwner) { this->SetBorderStyle(bsNone); }

    void WndProc(TMessage& Message) override
    {
        TBase::WndProc(Message);
        if (Message.Msg == WM_NCCALCSIZE) {
            if (auto* params = reinterpret_cast<NCCALCSIZE_PARAMS*>(Message.LParam))
                InflateRect(params->rgrc[0], -3, -3);
        } else if (Message.Msg == WM_NCPAINT) {
            HDC dc = GetWindowDC(this->Handle());
            HBRUSH red = CreateSolidBrush(0x0000FF);
            TRect frame = Rect(0, 0, this->Width(), this->Height());
            for (int ring = 0; ring < 3; ++ring) {
                FrameRect(dc, &frame, red);
                InflateRect(frame, -1, -1);
            }
            DeleteObject(red);
            ReleaseDC(this->Handle(), dc);
        }
    }
};

void ExpectRedRing(TWinControl* control)
{
    Pump(20);
    const QImage image = Widget(control)->grab().toImage();
    const int w = image.width(), h = image.height();
    for (int ring = 0; ring < 3; ++ring)
        for (const QPoint& at : {QPoint(ring, h / 2), QPoint(w - 1 - ring, h / 2), QPoint(w / 2, ring),
                                 QPoint(w / 2, h - 1 - ring)})
            EXPECT_EQ(image.pixel(at) & 0xFFFFFFu, 0xFF0000u) << "ring " << ring << " at " << at.x() << "," << at.y();
}

} // namespace

TEST(PaintOverQtControls, AnOwnNonClientFrameStaysOverTheTextAfterTypingFocusAndScrolling)
{
    TForm form(nullptr);
    form.SetBounds(0, 0, 400, 300);
    auto* edit = new TRingedControl<TEdit>(&form);
    edit->SetParent(&form);
    edit->SetBounds(10, 10, 121, 21);
    auto* memo = new TRingedControl<TMemo>(&form);
    memo->SetParent(&form);
    memo->SetBounds(10, 50, 185, 89);
    for (int i = 0; i < 40; ++i)
        memo->Lines()->Add("riga " + std::to_string(i));
    ShowAndActivate(&form);
    edit->FrameChanged();
    memo->FrameChanged();
    EXPECT_EQ(edit->ClientRectInWindow(), Rect(3, 3, 118, 18));
    {
        SCOPED_TRACE("shown");
        ExpectRedRing(edit);
        ExpectRedRing(memo);
    }
    edit->SetFocus();
    for (int i = 0; i < 40; ++i)
        edit->Perform(WM_CHAR, 'W', 0);
    {
        SCOPED_TRACE("typed");
        ExpectRedRing(edit);
    }
    memo->SetFocus();
    memo->Perform(WM_VSCROLL, SB_PAGEDOWN, 0);
    memo->Invalidate();
    {
        SCOPED_TRACE("memo focused and scrolled");
        ExpectRedRing(memo);
        ExpectRedRing(edit);
    }
}
