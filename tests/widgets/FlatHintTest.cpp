#include "WidgetsTestSupport.h"

#include "platform/gui/Application.h"
#include "platform/gui/Button.h"
#include "platform/gui/Canvas.h"
#include "platform/gui/Form.h"
#include "platform/gui/Grab.h"
#include "platform/gui/Screen.h"
#include "platform/gui/TextOutput.h"
#include "platform/gui/WindowFunctions.h"
#include "platform/gui/WindowHandles.h"
#include "widgets/FlatHint.h"

#include <gtest/gtest.h>

#include <string>

namespace FlatHintTest {

constexpr TColor MainWindowBand = 14981751;

// The window a hint of this class shows, nullptr when none is visible.
THintWindow* ShownHint(const char* className)
{
    HWND handle = FindWindowA(className, nullptr);
    auto* window = dynamic_cast<THintWindow*>(FindControl(handle));
    return window && IsWindowVisible(handle) ? window : nullptr;
}

// What DrawTextA makes of text in a rectangle width wide, with the flat hint's flags.
TRect Measured(TFont* font, const std::string& text, int width)
{
    TBitmap bitmap;
    bitmap.SetSize(10, 10);
    bitmap.Canvas()->Font()->Assign(font);
    TRect area = Rect(0, 0, width, 0);
    bitmap.Canvas()->TextWidth(std::string()); // selects the font
    DrawTextA(bitmap.Canvas()->Handle(), text, -1, &area, DT_CALCRECT | DT_WORDBREAK | DT_NOPREFIX);
    return area;
}

// The main form holds a TFlatHint with the main window's band colour; the application's hint
// settings come back as they were.
class FlatHintTest : public testing::Test {
public:
    void SetUp() override
    {
        Application->ClearMainForm();
        Application->CreateForm(Form);
        Form->SetBounds(100, 100, 300, 200);
        Hint = new TFlatHint(Form);
        Hint->SetColorArrowBackground(MainWindowBand);
        Hint->SetColorBorder(clBlue);
        Hint->SetColorArrow(clRed);
    }

    void TearDown() override
    {
        Application->CancelHint();
        TComponent::Free(Form);
        Application->ClearMainForm();
        Application->SetHintWindowClass(nullptr);
        Application->OnShowHint = nullptr;
        Application->HintPause = 500;
        Application->HintShortPause = 50;
        Application->HintHidePause = 2500;
        SetCursorPos(0, 0);
    }

    TForm* Form = nullptr;
    TFlatHint* Hint = nullptr;
};

TEST_F(FlatHintTest, TheComponentSetsTheApplicationUp)
{
    EXPECT_EQ(Application->HintShortPause, 25);
    EXPECT_EQ(Application->HintPause, 500);
    EXPECT_EQ(Application->HintHidePause, 5000);
    ASSERT_TRUE(Application->HintWindowClass());
    std::unique_ptr<THintWindow> window(Application->HintWindowClass()(nullptr));
    EXPECT_NE(dynamic_cast<TFlatHintWindow*>(window.get()), nullptr);
    EXPECT_EQ(TFlatHint::FindOnMainForm(), Hint);
    EXPECT_EQ(Hint->MaxHintWidth(), 200);
    EXPECT_EQ(Hint->ColorBackground(), clWhite);
    // An index outside the table changes nothing.
    Hint->SetColors(9, clLime);
    EXPECT_EQ(Hint->ColorBackground(), clWhite);
    EXPECT_EQ(Hint->ColorBorder(), clBlue);
    EXPECT_EQ(Hint->ColorArrowBackground(), MainWindowBand);
    EXPECT_EQ(Hint->ColorArrow(), clRed);
}

TEST_F(FlatHintTest, TheWindowSitsBesideTheCursorTowardsTheMiddleOfTheScreen)
{
    // The offscreen screen: (700, 500) lies in its bottom-right quarter.
    const int midX = Screen->Width() / 2;
    const int midY = Screen->Height() / 2;
    ASSERT_LT(midX, 700);
    ASSERT_LT(midY, 500);
    TFlatHintWindow window(nullptr);
    const TRect text = Measured(Hint->Font(), "Prova", 178);
    const int width = text.Width() + 22;
    const int height = text.Height() + 6;

    SetCursorPos(100, 100);
    window.ActivateHint(Rect(0, 0, 1, 1), "Prova");
    EXPECT_EQ(window.BoundsRect(), Bounds(112, 112, width, height));
    EXPECT_TRUE(window.Visible());
    {
        TGrab grab(&window);
        ASSERT_TRUE(grab.Valid());
        EXPECT_EQ(window.ArrowPos(), FlatDrawing::NW);
        EXPECT_EQ(window.ArrowAnchor(), Point(3, 3));
        struct TCase {
            int X, Y;
            TColor Expected;
        };
        const TCase cases[] = {{0, 0, clBlue},
                               {width - 1, height - 1, clBlue},
                               {1, height - 2, MainWindowBand},
                               {14, height - 2, MainWindowBand},
                               {15, 1, clWhite},
                               {width - 2, height - 2, clWhite},
                               {3, 3, clRed},
                               {3, 8, clRed},
                               {8, 3, clRed}};
        for (const TCase& c : cases)
            EXPECT_EQ(grab.At(c.X, c.Y), c.Expected) << c.X << "," << c.Y;
        EXPECT_GT(grab.Ink(Rect(16, 2, width - 2, height - 2), clWhite), 0) << "the text";
    }

    // Bottom-right quarter: above and left of the cursor, the band on the right.
    SetCursorPos(700, 500);
    window.ActivateHint(Rect(0, 0, 1, 1), "Prova");
    EXPECT_EQ(window.Left() + window.Width(), 695);
    EXPECT_EQ(window.Top() + window.Height(), 495);
    EXPECT_EQ(window.ArrowPos(), FlatDrawing::SE);
    TGrab grab(&window);
    EXPECT_EQ(grab.At(width - 2, 1), MainWindowBand);
    EXPECT_EQ(grab.At(width - 15, 1), MainWindowBand);
    EXPECT_EQ(grab.At(width - 16, 1), clWhite);
    EXPECT_EQ(window.ArrowAnchor(), Point(width - 4, height - 4));
    EXPECT_EQ(grab.At(width - 4, height - 4), clRed);

    // The other two quarters, by the same rule (right and bottom edges of a quarter excluded).
    struct TQuarter {
        TPoint Cursor;
        FlatDrawing::TArrowPos Arrow;
        TPoint TopLeft;
    };
    const TQuarter quarters[] = {
        {Point(midX - 1, midY - 1), FlatDrawing::NW, Point(midX + 11, midY + 11)},
        {Point(midX, 100), FlatDrawing::NE, Point(midX - 5 - width, 105)},
        {Point(100, midY), FlatDrawing::SW, Point(105, midY - 5 - height)},
        {Point(midX, midY), FlatDrawing::SE, Point(midX - 5 - width, midY - 5 - height)}};
    for (const TQuarter& q : quarters) {
        SetCursorPos(q.Cursor.X, q.Cursor.Y);
        window.ActivateHint(Rect(0, 0, 1, 1), "Prova");
        EXPECT_EQ(window.ArrowPos(), q.Arrow) << q.Cursor.X << "," << q.Cursor.Y;
        EXPECT_EQ(Point(window.Left(), window.Top()), q.TopLeft) << q.Cursor.X << "," << q.Cursor.Y;
    }
    window.ReleaseHandle();
}

TEST_F(FlatHintTest, LongTextsWrapAndAmpersandsShowAsWritten)
{
    TFlatHintWindow window(nullptr);
    SetCursorPos(100, 100);
    std::string words;
    for (int i = 0; i < 60; ++i)
        words += "parola ";
    window.ActivateHint(Rect(0, 0, 1, 1), words);
    const TRect wrapped = Measured(Hint->Font(), words, 178);
    EXPECT_LE(window.Width(), 200);
    EXPECT_EQ(window.Width(), wrapped.Width() + 22);
    EXPECT_EQ(window.Height(), wrapped.Height() + 6);
    EXPECT_GT(window.Height(), 3 * Measured(Hint->Font(), "parola", 178).Height());

    // The text area shows exactly what DrawTextA draws without prefixes: "&" and no underline.
    window.ActivateHint(Rect(0, 0, 1, 1), "A & B");
    TGrab grab(&window);
    TBitmap expected;
    expected.SetSize(window.Width(), window.Height());
    TCanvas* canvas = expected.Canvas();
    canvas->Brush()->SetColor(clWhite);
    canvas->FillRect(Rect(0, 0, window.Width(), window.Height()));
    canvas->Font()->Assign(Hint->Font());
    canvas->Brush()->SetStyle(bsClear);
    TRect text = Rect(18, 2, window.Width() - 4, window.Height() - 2);
    canvas->TextWidth(std::string()); // selects the font
    DrawTextA(canvas->Handle(), "A & B", -1, &text, DT_WORDBREAK | DT_NOPREFIX);
    int differing = 0, ink = 0;
    for (int y = 1; y < window.Height() - 1; ++y)
        for (int x = 15; x < window.Width() - 1; ++x) {
            differing += grab.At(x, y) != canvas->Pixels(x, y);
            ink += grab.At(x, y) != clWhite;
        }
    EXPECT_EQ(differing, 0);
    EXPECT_GT(ink, 0);
    window.ReleaseHandle();
}

TEST_F(FlatHintTest, BadTextsGiveWindowsOfSensibleSize)
{
    TFlatHintWindow window(nullptr);
    SetCursorPos(100, 100);
    const std::string texts[] = {"", std::string(10000, 'W'), "     ", std::string(3000, ' ')};
    for (const std::string& text : texts) {
        window.ActivateHint(Rect(0, 0, 1, 1), text);
        EXPECT_GE(window.Width(), 22) << text.size();
        EXPECT_LE(window.Width(), 200) << text.size();
        EXPECT_GE(window.Height(), 6) << text.size();
        EXPECT_LE(window.Height(), Screen->Height() + 6) << text.size();
    }
    // A maximum narrower than the band still leaves a window, never a negative size.
    Hint->SetMaxHintWidth(5);
    window.ActivateHint(Rect(0, 0, 1, 1), "Prova");
    EXPECT_GT(window.Width(), 0);
    window.ReleaseHandle();
}

TEST_F(FlatHintTest, ThroughTheHintManagerAndBackToThePlainWindow)
{
    auto* button = new TButton(Form);
    button->SetParent(Form);
    button->SetBounds(20, 20, 100, 30);
    button->SetCaption("Salva");
    button->SetHint("Salva il documento");
    button->SetShowHint(true);
    Form->Show();
    SetForegroundWindow(Form->Handle());
    PumpWhile([] { return GetActiveWindow() == nullptr; }, 2000);
    Application->HintPause = 50;

    std::string shownText;
    bool shownCanShow = false;
    TControl* shownControl = nullptr;
    int calls = 0;
    Hint->OnShowHint = [&](std::string& text, bool& canShow, THintInfo& info) {
        ++calls;
        shownText = text;
        shownCanShow = canShow;
        shownControl = info.HintControl;
    };
    const TPoint onButton = button->ClientToScreen(Point(10, 10));
    SetCursorPos(onButton.X - 60, onButton.Y + 100);
    PumpFor(20);
    SetCursorPos(onButton.X, onButton.Y);
    ASSERT_TRUE(PumpWhile([] { return ShownHint("TFlatHintWindow") == nullptr; }, 3000));
    THintWindow* shown = ShownHint("TFlatHintWindow");
    EXPECT_EQ(shown->ClassName(), "TFlatHintWindow");
    EXPECT_EQ(shown->Left(), onButton.X + 12);
    EXPECT_EQ(shown->Top(), onButton.Y + 12);
    EXPECT_EQ(calls, 1);
    EXPECT_EQ(shownText, "Salva il documento");
    EXPECT_TRUE(shownCanShow);
    EXPECT_EQ(shownControl, button);
    EXPECT_EQ(GetActiveWindow(), Form->Handle()) << "the hint never takes the focus";
    // The hint over the button, for looking at (a picture of a form shows the hints over it).
    EXPECT_TRUE(GrabToPng(Form, ScreenshotFolder() + "/flat-hint.png"));

    // Freed, the component gives the application its plain hint window back.
    Application->CancelHint();
    TComponent::Free(Hint);
    Hint = nullptr;
    EXPECT_FALSE(Application->HintWindowClass());
    EXPECT_FALSE(Application->OnShowHint);
    Application->HintPause = 50;
    SetCursorPos(onButton.X - 60, onButton.Y + 100);
    PumpFor(20);
    SetCursorPos(onButton.X + 5, onButton.Y);
    ASSERT_TRUE(PumpWhile([] { return ShownHint("THintWindow") == nullptr; }, 3000));
    EXPECT_EQ(ShownHint("TFlatHintWindow"), nullptr);
}

TEST_F(FlatHintTest, WithoutTheComponentTheWindowUsesItsDefaults)
{
    // The component on another form than the main one is not found.
    auto* other = new TForm(nullptr);
    auto* elsewhere = new TFlatHint(other);
    elsewhere->SetColorArrowBackground(clLime);
    TComponent::Free(Hint);
    Hint = nullptr;
    TFlatHintWindow window(nullptr);
    SetCursorPos(100, 100);
    window.ActivateHint(Rect(0, 0, 1, 1), "Prova");
    TGrab grab(&window);
    EXPECT_EQ(grab.At(1, window.Height() - 2), 0x53D2FF);
    EXPECT_EQ(grab.At(0, 0), clBlack);
    EXPECT_EQ(grab.At(3, 8), clBlack);
    EXPECT_EQ(grab.At(20, 1), clWhite);
    window.ReleaseHandle();
    TComponent::Free(other);
    // A program that replaced the hint class after the component keeps its choice.
    Hint = new TFlatHint(Form);
    Application->SetHintWindowClass([](TComponent* owner) { return new THintWindow(owner); });
    TComponent::Free(Hint);
    Hint = nullptr;
    EXPECT_TRUE(Application->HintWindowClass());
}

} // namespace FlatHintTest
