// Controls painted by Qt (edits, memos) still hear WM_PAINT after their window class painted, so a
// handler can draw over them, and GetDC drawing on them shows until the area is invalidated.

#include "GuiTestSupport.h"

#include "platform/gui/Canvas.h"
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
