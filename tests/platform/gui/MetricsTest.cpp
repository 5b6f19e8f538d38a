#include "GuiTestSupport.h"

#include "platform/gui/Colors.h"
#include "platform/gui/Font.h"
#include "platform/gui/Form.h"
#include "platform/gui/Grab.h"
#include "platform/gui/IcoCodec.h"
#include "platform/gui/Overlay.h"
#include "platform/gui/Screen.h"
#include "platform/gui/SystemMetrics.h"
#include "platform/gui/Timer.h"
#include "platform/gui/WindowHandles.h"
#include "platform/gui/WinTypes.h"
#include "platform/gui/private/ControlHost.h"
#include "platform/gui/private/Overlay.h"

#include <QCursor>
#include <QElapsedTimer>
#include <QImage>
#include <QPainter>
#include <QTest>
#include <QWidget>

#include <gtest/gtest.h>

namespace {

TEST(WinTypesTest, RectanglesFollowWindowsRules)
{
    const TRect r = Rect(10, 20, 30, 40);
    EXPECT_TRUE(PtInRect(r, Point(10, 20)));
    EXPECT_FALSE(PtInRect(r, Point(30, 25)));
    EXPECT_FALSE(PtInRect(r, Point(15, 40)));
    TRect out;
    EXPECT_FALSE(IntersectRect(out, r, Rect(30, 20, 50, 40)));
    EXPECT_TRUE(IsRectEmpty(out));
    EXPECT_TRUE(IntersectRect(out, r, Rect(25, 0, 50, 30)));
    EXPECT_EQ(out, Rect(25, 20, 30, 30));
    EXPECT_TRUE(UnionRect(out, r, Rect(0, 0, 5, 5)));
    EXPECT_EQ(out, Rect(0, 0, 30, 40));
    TRect moved = r;
    OffsetRect(moved, 5, -5);
    InflateRect(moved, 1, 2);
    EXPECT_EQ(moved, Rect(14, 13, 36, 37));
    EXPECT_EQ(Bounds(1, 2, 3, 4), Rect(1, 2, 4, 6));
}

TEST(WinTypesTest, MulDivRoundsHalfAwayFromZero)
{
    struct TCase {
        int A, B, C, Expected;
    };
    const TCase cases[] = {{8, 96, 72, 11}, {9, 96, 72, 12}, {5, 1, 2, 3}, {-5, 1, 2, -3}, {5, -1, 2, -3},
                           {7, 1, 0, -1}, {0x7FFFFFFF, 2, 1, -1}, {1000000, 1000000, 1000000, 1000000}, {3, 1, 2, 2}};
    for (const TCase& c : cases)
        EXPECT_EQ(MulDiv(c.A, c.B, c.C), c.Expected) << c.A << "*" << c.B << "/" << c.C;
}

TEST(MetricsAndColors, FixedTables)
{
    const TRect work = Screen->WorkAreaRect();
    const std::pair<int, int> metrics[] = {
        {SM_CXSCREEN, Screen->Width()},
        {SM_CYSCREEN, Screen->Height()},
        {SM_CXVSCROLL, 16},
        {SM_CYHSCROLL, 16},
        {SM_CYVSCROLL, 16},
        {SM_CXHSCROLL, 16},
        {SM_CYCAPTION, 18},
        {SM_CXBORDER, 1},
        {SM_CYBORDER, 1},
        {SM_CXDLGFRAME, 3},
        {SM_CYDLGFRAME, 3},
        {SM_CXFRAME, 4},
        {SM_CYFRAME, 4},
        {SM_CXEDGE, 2},
        {SM_CYEDGE, 2},
        {SM_CYMENU, 19},
        {SM_CXICON, 32},
        {SM_CYICON, 32},
        {SM_CXSMICON, 16},
        {SM_CYSMICON, 16},
        {SM_CXCURSOR, 32},
        {SM_CYCURSOR, 32},
        {SM_CXDOUBLECLK, 4},
        {SM_CYDOUBLECLK, 4},
        {SM_CXDRAG, 4},
        {SM_CYDRAG, 4},
        {SM_CXMENUCHECK, 13},
        {SM_CYMENUCHECK, 13},
        {SM_CXMIN, 112},
        {SM_CYMIN, 27},
        {SM_CXMINTRACK, 112},
        {SM_CYMINTRACK, 27},
        {SM_MOUSEPRESENT, 1},
        {SM_SWAPBUTTON, 0},
        {SM_CXFULLSCREEN, work.Width()},
        {SM_CYFULLSCREEN, work.Height() - 18},
    };
    for (const auto& [index, value] : metrics)
        EXPECT_EQ(GetSystemMetrics(index), value) << index;
    EXPECT_EQ(GetMenuCheckMarkDimensions(), MAKELONG(13, 13));
    EXPECT_EQ(GetDoubleClickTime(), 500u);
    TRect area;
    EXPECT_TRUE(SystemParametersInfoA(SPI_GETWORKAREA, 0, &area, 0));
    EXPECT_EQ(area, work);
    NONCLIENTMETRICSA nonClient;
    EXPECT_TRUE(SystemParametersInfoA(SPI_GETNONCLIENTMETRICS, sizeof nonClient, &nonClient, 0));
    EXPECT_STREQ(nonClient.lfCaptionFont.lfFaceName, "MS Sans Serif");
    EXPECT_EQ(nonClient.lfCaptionFont.lfHeight, -11);
    EXPECT_EQ(nonClient.lfCaptionFont.lfWeight, 700);
    EXPECT_EQ(nonClient.lfMessageFont.lfWeight, 400);
    BOOL fullWindows = TRUE;
    EXPECT_TRUE(SystemParametersInfoA(SPI_GETDRAGFULLWINDOWS, 0, &fullWindows, 0));
    EXPECT_FALSE(fullWindows);

    // The system colours, 0x80000000 + index, and named colours with the palette flag.
    const COLORREF system[] = {
        RGB(212, 208, 200), RGB(58, 110, 165),  RGB(10, 36, 106),   RGB(128, 128, 128), RGB(212, 208, 200),
        RGB(255, 255, 255), RGB(0, 0, 0),       RGB(0, 0, 0),       RGB(0, 0, 0),       RGB(255, 255, 255),
        RGB(212, 208, 200), RGB(212, 208, 200), RGB(128, 128, 128), RGB(10, 36, 106),   RGB(255, 255, 255),
        RGB(212, 208, 200), RGB(128, 128, 128), RGB(128, 128, 128), RGB(0, 0, 0),       RGB(212, 208, 200),
        RGB(255, 255, 255), RGB(64, 64, 64),    RGB(212, 208, 200), RGB(0, 0, 0),       RGB(255, 255, 225),
        0,                  RGB(0, 0, 128),     RGB(166, 202, 240), RGB(192, 192, 192)};
    for (int index = 0; index < static_cast<int>(std::size(system)); ++index) {
        if (index == 25)
            continue; // no colour of the table
        EXPECT_EQ(ColorToRGB(static_cast<TColor>(0x80000000u + index)), system[index]) << index;
    }
    EXPECT_EQ(static_cast<unsigned>(clBtnFace), 0x8000000Fu);
    EXPECT_EQ(static_cast<unsigned>(clInfoBk), 0x80000018u);
    const std::pair<TColor, COLORREF> named[] = {{clRed, 0x0000FF}, {clNavy, 0x800000}, {0x02000080, 0x000080},
                                                 {clLtGray, 0xC0C0C0}, {clDkGray, 0x808080}};
    for (const auto& [color, rgb] : named)
        EXPECT_EQ(ColorToRGB(color), rgb) << std::hex << color;
    EXPECT_EQ(StringToColor("clBtnFace"), static_cast<TColor>(0x8000000F));
    EXPECT_EQ(StringToColor("$00888888"), 0x888888);
    EXPECT_THROW(StringToColor("rosso"), EConvertError);
    EXPECT_EQ(ColorToString(clRed), "clRed");
    EXPECT_EQ(ColorToString(clInfoBk), "clInfoBk");
    EXPECT_EQ(ColorToString(0x123456), "$00123456");
    EXPECT_EQ(StringToColor(ColorToString(0x123456)), 0x123456);
    TFont font;
    font.SetSize(8);
    EXPECT_EQ(font.Height(), -11);
    font.SetSize(9);
    EXPECT_EQ(font.Height(), -12);
}

TEST(Cursors, OneOverrideAndUnassignedSlotsAnswerTheDefault)
{
    Screen->SetCursor(crHourGlass);
    Screen->SetCursor(crSQLWait);
    Screen->SetCursor(crDefault);
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
    EXPECT_EQ(Screen->Cursors(101), Screen->Cursors(crDefault));
    Screen->SetCursors(1, Screen->Cursors(crHandPoint));
    EXPECT_EQ(static_cast<QCursor*>(Screen->Cursors(1))->shape(), Qt::PointingHandCursor);
}

TEST(Cursors, TheTableTakesSystemAndProgramCursorHandles)
{
    Screen->SetCursors(2, LoadCursorA(nullptr, MAKEINTRESOURCE(IDC_CROSS)));
    EXPECT_EQ(static_cast<QCursor*>(Screen->Cursors(2))->shape(), Qt::CrossCursor);

    // A 16 x 16 cursor: a black square in the top-left quarter, the rest transparent.
    TIcoImage image;
    image.Width = image.Height = 16;
    image.Pixels.assign(256, 0xFF000000u);
    image.Transparent.assign(256, 1);
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x)
            image.Transparent[y * 16 + x] = 0;
    RegisterCursorResource(MainInstance(), "TEST_SQUARE", IcoCodec::Write(image, 32), 3, 4);
    Screen->SetCursors(3, LoadCursorA(MainInstance(), "TEST_SQUARE"));
    const QCursor* cursor = static_cast<QCursor*>(Screen->Cursors(3));
    EXPECT_EQ(cursor->shape(), Qt::BitmapCursor);
    EXPECT_EQ(cursor->hotSpot(), QPoint(3, 4));
    const QImage picture = cursor->pixmap().toImage();
    EXPECT_EQ(qAlpha(picture.pixel(2, 2)), 255);
    EXPECT_EQ(qAlpha(picture.pixel(12, 12)), 0);
}

TEST(Overlays, ToggledTwiceLeavesNothingAndShowsInvertedColoursOnce)
{
    TForm form(nullptr);
    form.SetBounds(100, 100, 200, 100);
    auto* red = new TRecorder(&form);
    red->SetParent(&form);
    red->SetBounds(0, 0, 200, 100);
    red->PaintColor = clRed;
    ShowAndActivate(&form);
    red->Repaint();
    TOverlay& overlay = TOverlay::ForForm(&form);
    overlay.ToggleFrame(QRect(10, 10, 50, 30));
    EXPECT_FALSE(overlay.Coverage().isEmpty());
    QImage grabbed = Widget(&form)->grab().toImage();
    EXPECT_EQ(grabbed.pixelColor(10, 10), QColor(0, 255, 255));
    EXPECT_EQ(grabbed.pixelColor(30, 25), QColor(255, 0, 0));
    overlay.ToggleFrame(QRect(10, 10, 50, 30));
    EXPECT_TRUE(overlay.Coverage().isEmpty());
    overlay.ToggleRect(QRect(0, 50, 20, 1));
    overlay.ToggleRect(QRect(0, 50, 20, 1));
    EXPECT_TRUE(overlay.Coverage().isEmpty());
}

// What is drawn on the screen overlay (a toggled rectangle or a line with a copying pen) is part of
// a form's picture, and goes when the overlay is cleared.
TEST(Overlays, TheScreenOverlayIsInTheFormsPicture)
{
    TForm form(nullptr);
    form.SetBounds(100, 100, 200, 100);
    auto* red = new TRecorder(&form);
    red->SetParent(&form);
    red->SetAlign(alClient);
    red->PaintColor = clRed;
    ShowAndActivate(&form);
    red->Repaint();
    const QPoint origin = Widget(&form)->mapToGlobal(QPoint(0, 0));
    TOverlay::ForScreen().PaintPlain([&](QPainter& painter) {
        painter.fillRect(QRect(origin + QPoint(20, 20), QSize(10, 10)), Qt::green);
    });
    const std::string path = ScreenshotDir() + "/overlay-schermo.png";
    ASSERT_TRUE(GrabToPng(&form, path));
    EXPECT_EQ(QImage(QString::fromStdString(path)).pixelColor(25, 25), QColor(0, 255, 0));
    EXPECT_EQ(QImage(QString::fromStdString(path)).pixelColor(50, 50), QColor(255, 0, 0));
    ClearScreenOverlay();
    ASSERT_TRUE(GrabToPng(&form, path));
    EXPECT_EQ(QImage(QString::fromStdString(path)).pixelColor(25, 25), QColor(255, 0, 0));
}

// Timers given bad input: an interval below the Windows minimum runs at that minimum (a zero
// interval would fire at every pass of the loop), killing an unknown timer changes nothing, and a
// timer procedure that throws reaches HandleException while the timer goes on.
int faultyProcCalls = 0;

void FaultyTimerProc(HWND, UINT, UINT_PTR, DWORD)
{
    ++faultyProcCalls;
    RAISE(EConvertError("procedura del timer"));
}

TEST(TimersBadInput, ShortIntervalsUnknownTimersAndFaultyProcedures)
{
    QElapsedTimer clock;
    std::vector<qint64> fired;
    HWND window = AllocateHWnd([&](TMessage& m) {
        if (m.Msg == WM_TIMER && m.WParam == 3)
            fired.push_back(clock.elapsed());
    });
    clock.start();
    EXPECT_EQ(SetTimer(window, 3, 0, nullptr), 3u);
    EXPECT_FALSE(KillTimer(window, 4));
    EXPECT_FALSE(KillTimer(nullptr, 3));
    ASSERT_TRUE(PumpUntil([&] { return fired.size() >= 4; }));
    EXPECT_GE(fired[3], 4 * static_cast<qint64>(USER_TIMER_MINIMUM) - 1);
    EXPECT_TRUE(KillTimer(window, 3));
    EXPECT_FALSE(KillTimer(window, 3));

    std::vector<std::string> messages;
    Application->OnException = [&](TObject*, Exception& e) { messages.push_back(e.Message); };
    faultyProcCalls = 0;
    const UINT_PTR id = SetTimer(nullptr, 0, 10, &FaultyTimerProc);
    EXPECT_NE(id, 0u);
    EXPECT_TRUE(PumpUntil([] { return faultyProcCalls >= 2; }));
    Application->OnException = nullptr;
    EXPECT_TRUE(KillTimer(nullptr, id));
    ASSERT_FALSE(messages.empty());
    EXPECT_EQ(messages.front(), "procedura del timer");
    DeallocateHWnd(window);
}

} // namespace
