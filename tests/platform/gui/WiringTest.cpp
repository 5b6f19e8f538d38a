// How the window layer is wired to its neighbours: the canvases that Paint draws on, the screen
// overlay's life, hint painting, menus and the reflection of notifications to child controls.

#include "GuiTestSupport.h"

#include "platform/gui/Bitmap.h"
#include "platform/gui/Canvas.h"
#include "platform/gui/FontEngine.h"
#include "platform/gui/Form.h"
#include "platform/gui/HintWindow.h"
#include "platform/gui/Menus.h"
#include "platform/gui/Screen.h"
#include "platform/gui/SystemMetrics.h"
#include "platform/gui/TextOutput.h"
#include "platform/gui/WindowFunctions.h"
#include "platform/gui/WindowHandles.h"
#include "platform/gui/private/StdCtrlSupport.h"
#include "platform/os/ShellFileInfo.h"
#include "platform/gui/GdiDraw.h"

#include <QApplication>
#include <QTest>
#include <QTimer>
#include <QWidget>

#include <gtest/gtest.h>

#include <cstdlib>

namespace {

// What the screen shows at a point of a control's client area.
TColor ScreenPixel(TControl* control, int x, int y)
{
    const TPoint at = control->ClientToScreen(Point(x, y));
    TBitmap grab;
    grab.SetSize(1, 1);
    HDC screen = GetDC(nullptr);
    BitBlt(grab.Canvas()->Handle(), 0, 0, 1, 1, screen, at.X, at.Y, SRCCOPY);
    ReleaseDC(nullptr, screen);
    return grab.Canvas()->Pixels(0, 0);
}

// Paints a red square at (5, 5)-(15, 15) through its canvas and remembers whether the canvas
// had a context while Paint ran.
template <typename TBase>
class TCanvasPainter : public TBase {
public:
    explicit TCanvasPainter(TComponent* AOwner) : TBase(AOwner) {}
    bool HadContext = false;
    bool PaintedDirectly = false;

protected:
    void Paint() override
    {
        TCanvas* canvas = this->Canvas();
        canvas->Brush()->SetColor(clRed);
        canvas->FillRect(Rect(5, 5, 15, 15));
        HadContext = canvas->HandleAllocated();
    }
};

TEST(PaintCanvas, CustomGraphicControlsAndFormsDrawThroughTheirCanvasInPaint)
{
    TCanvasPainter<TForm> form(nullptr);
    form.SetBounds(40, 40, 240, 160);
    form.SetColor(clWhite);
    auto* custom = new TCanvasPainter<TCustomControl>(&form);
    custom->SetBounds(100, 10, 40, 40);
    custom->SetColor(clWhite);
    custom->SetParent(&form);
    auto* graphic = new TCanvasPainter<TGraphicControl>(&form);
    graphic->SetBounds(160, 10, 40, 40);
    graphic->SetParent(&form);
    ShowAndActivate(&form);
    Pump(100);

    for (TControl* control : std::vector<TControl*>{&form, custom, graphic}) {
        SCOPED_TRACE(control->ClassName());
        EXPECT_EQ(ScreenPixel(control, 10, 10), clRed);
        EXPECT_NE(ScreenPixel(control, 20, 20), clRed);
    }
    EXPECT_TRUE(form.HadContext && custom->HadContext && graphic->HadContext);
    // After Paint the canvases hold no paint context any more.
    EXPECT_FALSE(form.Canvas()->HandleAllocated());
    EXPECT_FALSE(custom->Canvas()->HandleAllocated());
    EXPECT_FALSE(graphic->Canvas()->HandleAllocated());

    // Outside Paint the canvas draws on the client context, and it shows.
    custom->Canvas()->Brush()->SetColor(clBlue);
    custom->Canvas()->FillRect(Rect(20, 20, 30, 30));
    EXPECT_EQ(custom->Canvas()->Pixels(25, 25), clBlue);
    static_cast<TControlCanvas*>(custom->Canvas())->FreeHandle();
    Pump(50);
    EXPECT_EQ(ScreenPixel(custom, 25, 25), clBlue);
}

TEST(PaintCanvas, TheDesktopWindowsContextIsTheScreen)
{
    TCanvasPainter<TForm> form(nullptr);
    form.SetBounds(60, 50, 120, 80);
    form.SetColor(clWhite);
    ShowAndActivate(&form);
    Pump(100);

    const HWND desktop = GetDesktopWindow();
    TRect area;
    ASSERT_TRUE(GetWindowRect(desktop, area));
    EXPECT_EQ(area, Rect(0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)));
    const TPoint at = form.ClientToScreen(Point(10, 10));
    TBitmap grab;
    grab.SetSize(area.Width(), area.Height());
    HDC screen = GetDC(desktop);
    EXPECT_TRUE(BitBlt(grab.Canvas()->Handle(), 0, 0, area.Width(), area.Height(), screen, 0, 0, SRCCOPY));
    EXPECT_EQ(ReleaseDC(desktop, screen), 1);
    EXPECT_EQ(grab.Canvas()->Pixels(at.X, at.Y), clRed);
}

// Windows without a parent that never take input: the screen overlay's.
int OverlayWindows()
{
    int count = 0;
    for (QWidget* widget : QApplication::topLevelWidgets())
        if (widget->windowFlags().testFlag(Qt::WindowTransparentForInput))
            ++count;
    return count;
}

void InvertOnScreen(int left, int top)
{
    HDC screen = GetDC(nullptr);
    RECT area{left, top, left + 20, top + 20};
    InvertRect(screen, &area);
    ReleaseDC(nullptr, screen);
}

TEST(ScreenOverlay, XorDrawingOnTheScreenLeavesAProgramThatEndsCleanly)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    // Ending the process after drawing on the screen once tore Qt's widgets down twice.
    EXPECT_EXIT(
        {
            InvertOnScreen(10, 10);
            Pump(20);
            std::exit(0);
        },
        testing::ExitedWithCode(0), "");
    // The event loop's end takes the overlay's window away while Qt is still there.
    EXPECT_EXIT(
        {
            InvertOnScreen(10, 10);
            Pump(20);
            const bool shown = OverlayWindows() == 1;
            QTimer::singleShot(0, qApp, [] { QCoreApplication::quit(); });
            QApplication::exec();
            std::exit(shown && OverlayWindows() == 0 ? 0 : 1);
        },
        testing::ExitedWithCode(0), "");
}

TEST(HintWindowPaint, DrawsTheTextAsDrawTextDoesAtTwoTwo)
{
    THintWindow hint(nullptr);
    const std::string text = "Salva && chiudi la &fattura corrente";
    hint.ActivateHint(Bounds(50, 50, 90, 40), text);
    Pump(100);
    ASSERT_TRUE(Widget(&hint) && Widget(&hint)->isVisible());

    // The same drawing on a bitmap: the hint's colour, then the text word-wrapped at (2, 2),
    // ampersands shown as they are.
    TBitmap expected;
    expected.SetSize(hint.ClientWidth(), hint.ClientHeight());
    TCanvas* canvas = expected.Canvas();
    canvas->Brush()->SetColor(hint.Color());
    canvas->FillRect(Rect(0, 0, hint.ClientWidth(), hint.ClientHeight()));
    canvas->Font()->Assign(hint.Font());
    canvas->Font()->SetColor(clInfoText);
    canvas->Brush()->SetStyle(bsClear);
    RECT area = Rect(2, 2, hint.ClientWidth(), hint.ClientHeight());
    DrawTextA(canvas->Handle(), text, -1, &area, DT_LEFT | DT_NOPREFIX | DT_WORDBREAK);

    TBitmap shownImage;
    shownImage.SetSize(hint.ClientWidth(), hint.ClientHeight());
    const TPoint origin = hint.ClientToScreen(Point(0, 0));
    HDC screen = GetDC(nullptr);
    BitBlt(shownImage.Canvas()->Handle(), 0, 0, hint.ClientWidth(), hint.ClientHeight(), screen, origin.X, origin.Y,
           SRCCOPY);
    ReleaseDC(nullptr, screen);
    int differences = 0;
    int textPixels = 0;
    for (int y = 0; y < hint.ClientHeight(); ++y)
        for (int x = 0; x < hint.ClientWidth(); ++x) {
            const TColor shown = shownImage.Canvas()->Pixels(x, y);
            differences += shown != canvas->Pixels(x, y);
            textPixels += shown != static_cast<TColor>(ColorToRGB(hint.Color()));
        }
    EXPECT_EQ(differences, 0);
    EXPECT_GT(textPixels, 20);
}

TEST(StartUp, ScreenFontsDialogUnitsAndShellIcons)
{
    EXPECT_EQ(Screen->Fonts, ScreenFonts());
    EXPECT_GT(Screen->Fonts.size(), 3u);
    EXPECT_EQ(GetDialogBaseUnits(), FontDialogBaseUnits());
    // Only start-up installs the icons in a process that has used no image list.
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            SHFILEINFOA info;
            SHGetFileInfoA("fattura.txt", 0, &info, sizeof(info), SHGFI_ICON | SHGFI_USEFILEATTRIBUTES);
            std::exit(info.hIcon ? 0 : 1);
        },
        testing::ExitedWithCode(0), "");
}

// Closes the popup menu once it shows.
void EscapePopupSoon()
{
    QTimer::singleShot(50, [] {
        if (QWidget* popup = QApplication::activePopupWidget())
            QTest::keyClick(popup, Qt::Key_Escape);
    });
}

TEST(FormMenus, CommandsShortCutsAndContextMenusReachTheMenus)
{
    TForm form(nullptr);
    form.SetBounds(60, 60, 300, 200);
    auto* menu = new TMainMenu(&form);
    int saves = 0;
    TMenuItem* save = NewItem("&Salva", ShortCut('S', TShiftState{ssCtrl}), false, true, [&](TObject*) { ++saves; }, 0, "");
    menu->Items()->Add(NewSubMenu("&File", 0, "", {save}));
    form.Menu = menu;
    auto* control = new TRecorder(&form);
    control->SetBounds(10, 10, 100, 60);
    control->DlgCode = DLGC_WANTALLKEYS;
    control->SetParent(&form);
    auto* popup = new TPopupMenu(&form);
    popup->Items()->Add(NewItem("&Copia", 0, false, true, nullptr, 0, ""));
    int popups = 0;
    popup->OnPopup = [&](TObject*) { ++popups; };
    form.PopupMenu = popup;
    ShowAndActivate(&form);
    control->SetFocus();
    Pump(50);

    // A menu command reaches the item once; a control's notification (LParam set) does not.
    form.Perform(WM_COMMAND, save->Command(), 0);
    EXPECT_EQ(saves, 1);
    form.Perform(WM_COMMAND, save->Command(), reinterpret_cast<LPARAM>(control->Handle()));
    EXPECT_EQ(saves, 1);
    // The shortcut from the focused control's key path, once.
    QTest::keyClick(Widget(control), Qt::Key_S, Qt::ControlModifier);
    EXPECT_EQ(saves, 2);

    // The right button, Shift+F10 and the menu key pop up the parent's popup menu for the control.
    const struct {
        const char* Name;
        std::function<void()> Trigger;
    } triggers[] = {
        {"WM_CONTEXTMENU", [&] {
             const TPoint at = control->ClientToScreen(Point(5, 5));
             control->Perform(WM_CONTEXTMENU, 0, MAKELONG(at.X, at.Y));
         }},
        {"Shift+F10", [&] { QTest::keyClick(Widget(control), Qt::Key_F10, Qt::ShiftModifier); }},
        {"menu key", [&] { QTest::keyClick(Widget(control), Qt::Key_Menu); }},
    };
    for (const auto& trigger : triggers) {
        SCOPED_TRACE(trigger.Name);
        const int before = popups;
        popup->PopupComponent = nullptr;
        EscapePopupSoon();
        trigger.Trigger();
        Pump(100);
        EXPECT_EQ(popups, before + 1);
        EXPECT_EQ(popup->PopupComponent, control);
    }
}

TEST(Reflection, NotificationsGoBackToTheChildThatSentThemOnce)
{
    TForm form(nullptr);
    form.SetBounds(60, 60, 300, 200);
    auto* child = new TRecorder(&form);
    child->SetBounds(10, 10, 100, 60);
    child->SetParent(&form);
    ShowAndActivate(&form);
    HWND handle = child->Handle();
    SetWindowLongPtrA(handle, GWL_ID, 7);
    const LPARAM window = reinterpret_cast<LPARAM>(handle);
    NMHDR notify;
    notify.hwndFrom = handle;
    DRAWITEMSTRUCT draw;
    draw.CtlType = ODT_BUTTON;
    draw.hwndItem = handle;
    MEASUREITEMSTRUCT measure;
    measure.CtlType = ODT_LISTBOX;
    measure.CtlID = 7;
    DRAWITEMSTRUCT menuDraw;
    menuDraw.CtlType = ODT_MENU;
    menuDraw.hwndItem = handle;

    const struct {
        UINT Msg;
        LPARAM LParam;
        bool Reflected;
    } cases[] = {
        {WM_COMMAND, window, true},
        {WM_COMMAND, 0, false},
        {WM_NOTIFY, reinterpret_cast<LPARAM>(&notify), true},
        {WM_DRAWITEM, reinterpret_cast<LPARAM>(&draw), true},
        {WM_DRAWITEM, reinterpret_cast<LPARAM>(&menuDraw), false},
        {WM_MEASUREITEM, reinterpret_cast<LPARAM>(&measure), true},
        {WM_HSCROLL, window, true},
        {WM_VSCROLL, 0, false},
        {WM_CTLCOLOREDIT, window, true},
        {WM_CTLCOLORSTATIC, window, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Msg);
        child->WatchOnly({c.Msg, CN_BASE + c.Msg});
        form.Perform(c.Msg, 3, c.LParam);
        const std::vector<UINT> expected = c.Reflected ? std::vector<UINT>{CN_BASE + c.Msg} : std::vector<UINT>{};
        EXPECT_EQ(child->Messages(), expected);
    }

    // A control that sends its notification through its parent sees the reflection once.
    child->WatchOnly({CN_COMMAND});
    StdCtrl::SendToParent(child, WM_COMMAND, MAKEWPARAM(7, 0), window);
    EXPECT_EQ(child->Messages(), std::vector<UINT>{CN_COMMAND});
}

} // namespace
