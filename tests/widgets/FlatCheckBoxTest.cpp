#include "WidgetsTestSupport.h"

#include "platform/gui/Form.h"
#include "platform/gui/Panel.h"
#include "platform/gui/TextOutput.h"
#include "platform/gui/WindowFunctions.h"
#include "widgets/FlatButton.h"
#include "widgets/FlatCheckBox.h"

#include <gtest/gtest.h>

#include <memory>
#include <set>
#include <string>
#include <utility>
#include <vector>

namespace FlatCheckBoxTest {

constexpr TColor Face = 0xE1EAEB;
constexpr TColor Border = 0x8396A0;
constexpr TColor Focused = 0xFFFFFF;
constexpr TColor Down = 0xC5D6D9;
TColor Rgb(TColor color) { return static_cast<TColor>(ColorToRGB(color)); }

LPARAM At(int x, int y) { return static_cast<LPARAM>((y << 16) | (x & 0xFFFF)); }

// A shown, active form with a panel in the flat face colour; the pointer is over UnderPointer.
struct TScene {
    std::unique_ptr<TForm> Form = std::make_unique<TForm>(nullptr);
    TPanel* Panel = nullptr;
    TControl* UnderPointer = nullptr;

    TScene()
    {
        Form->SetBounds(60, 60, 360, 180);
        Panel = new TPanel(Form.get());
        Panel->SetParent(Form.get());
        Panel->SetBounds(0, 0, 340, 140);
        Panel->SetBevelOuter(bvNone);
        Panel->SetColor(Face);
        SetPointerLocator([this](TPoint, bool) { return UnderPointer; });
        Form->Show();
        SetForegroundWindow(Form->Handle());
        PumpWhile([] { return GetActiveWindow() == nullptr; }, 2000);
        PumpFor(10);
    }
    ~TScene() { SetPointerLocator({}); }

    TFlatCheckBox* Add(int x, int y, const std::string& caption = "Allarme")
    {
        auto* box = new TFlatCheckBox(Form.get());
        box->SetParent(Panel);
        box->SetLeft(x);
        box->SetTop(y);
        box->SetCaption(caption);
        return box;
    }

    void PointAt(TControl* control)
    {
        UnderPointer = control;
        if (control)
            control->Perform(WM_MOUSEMOVE, 0, At(5, 5));
    }
};

// The box's pixels, read from a picture of its panel.
struct TBoxPicture {
    TGrab Grab;
    TControl* Box;
    TBoxPicture(TPanel* panel, TControl* box) : Grab(panel), Box(box) {}
    TColor At(int x, int y) { return Grab.At(Box->Left() + x, Box->Top() + y); }
    TRect OnPanel(const TRect& r) const
    {
        return Rect(Box->Left() + r.Left, Box->Top() + r.Top, Box->Left() + r.Right, Box->Top() + r.Bottom);
    }
    int Ink(const TRect& r, TColor background) { return Grab.Ink(OnPanel(r), background); }
};

const std::set<std::pair<int, int>> CheckMark{{3, 7}, {4, 8}, {5, 9}, {6, 10}, {3, 8}, {4, 9}, {5, 10},
                                              {3, 9}, {4, 10}, {5, 11}, {9, 5}, {8, 6}, {7, 7}, {6, 8},
                                              {9, 6}, {8, 7}, {7, 8}, {6, 9}, {9, 7}, {8, 8}, {7, 9}};

// Checks the square whose left column is at squareLeft: frame, fill and exactly the check mark.
void ExpectSquare(TBoxPicture& picture, int squareLeft, TColor fill, TColor mark, bool checked, const char* what)
{
    for (int y = 3; y <= 13; ++y)
        for (int x = 0; x <= 10; ++x) {
            const int px = squareLeft + x;
            const bool frame = x == 0 || x == 10 || y == 3 || y == 13;
            TColor expected = fill;
            if (frame)
                expected = Border;
            else if (checked && CheckMark.count({x + 1, y}))
                expected = mark;
            ASSERT_EQ(picture.At(px, y), expected) << what << " at " << px << "," << y;
        }
}

TEST(FlatCheckBox, SquareMarkAndFillFollowFocusHoverAndPress)
{
    TScene scene;
    auto* other = scene.Add(10, 60, "Altro");
    auto* box = scene.Add(10, 10);
    EXPECT_EQ(box->Width(), 121);
    EXPECT_EQ(box->Height(), 17);
    EXPECT_TRUE(box->TabStop());
    box->SetChecked(true);
    other->SetFocus();
    {
        TBoxPicture rest(scene.Panel, box);
        ExpectSquare(rest, 1, Face, clBlack, true, "at rest");
        EXPECT_GT(rest.Ink(Rect(16, 1, 120, 16), Face), 0) << "the caption beside the square";
        auto caption = DrawnCaption(121, 17, Face, box->Font(), "Allarme", Rect(16, 1, 120, 16), DT_WORDBREAK, false);
        EXPECT_EQ(DifferingPixels(rest.Grab, Point(box->Left(), box->Top()), *caption, Rect(13, 0, 121, 17)), 0)
            << "in the control's font";
    }
    box->SetFocus();
    {
        TBoxPicture focused(scene.Panel, box);
        ExpectSquare(focused, 1, Focused, clBlack, true, "focused");
    }
    other->SetFocus();
    scene.PointAt(box);
    {
        TBoxPicture hovered(scene.Panel, box);
        ExpectSquare(hovered, 1, Focused, clBlack, true, "hovered");
    }
    box->Perform(WM_LBUTTONDOWN, MK_LBUTTON, At(5, 8));
    EXPECT_TRUE(box->Focused()) << "a press takes the focus";
    {
        TBoxPicture pressed(scene.Panel, box);
        ExpectSquare(pressed, 1, Down, clBlack, true, "pressed");
    }
    box->Perform(WM_LBUTTONUP, 0, At(5, 8));
    EXPECT_FALSE(box->Checked());
    TBoxPicture unchecked(scene.Panel, box);
    ExpectSquare(unchecked, 1, Focused, clBlack, false, "unchecked");
}

TEST(FlatCheckBox, OnClickFiresOnceForEveryChangeAndSeesTheNewState)
{
    TScene scene;
    auto* other = scene.Add(10, 60, "Altro");
    auto* box = scene.Add(10, 10, "&Allarme");
    std::vector<bool> seen;
    box->OnClick = [&](TObject*) { seen.push_back(box->Checked()); };
    const LPARAM altDown = 1 << 29;
    struct TStep {
        const char* Name;
        std::function<void()> Act;
        std::vector<bool> Expected; // states seen by OnClick since the step began
    };
    const std::vector<TStep> steps{
        {"SetChecked(true)", [&] { box->SetChecked(true); }, {true}},
        {"SetChecked(true) again", [&] { box->SetChecked(true); }, {}},
        {"a click",
         [&] {
             box->Perform(WM_LBUTTONDOWN, MK_LBUTTON, At(5, 8));
             box->Perform(WM_LBUTTONUP, 0, At(5, 8));
         },
         {false}},
        {"a click on the caption",
         [&] {
             box->Perform(WM_LBUTTONDOWN, MK_LBUTTON, At(80, 8));
             box->Perform(WM_LBUTTONUP, 0, At(80, 8));
         },
         {true}},
        {"space while focused", [&] { box->Perform(WM_CHAR, ' ', 0); }, {false}},
        {"space as a dialog character while focused", [&] { scene.Form->Perform(CM_DIALOGCHAR, ' ', 0); }, {true}},
        {"space while unfocused",
         [&] {
             other->SetFocus();
             box->Perform(WM_CHAR, ' ', 0);
             scene.Form->Perform(CM_DIALOGCHAR, ' ', 0);
         },
         {}},
        {"the accelerator",
         [&] {
             EXPECT_NE(scene.Form->Perform(CM_DIALOGCHAR, 'a', altDown), 0);
             EXPECT_TRUE(box->Focused());
         },
         {false}},
        {"space taken by OnKeyPress",
         [&] {
             box->OnKeyPress = [](TObject*, char& key) { key = 0; };
             box->Perform(WM_CHAR, ' ', 0);
             box->OnKeyPress = nullptr;
         },
         {}},
        {"a press dragged off and released outside",
         [&] {
             box->Perform(WM_LBUTTONDOWN, MK_LBUTTON, At(5, 8));
             box->Perform(WM_MOUSEMOVE, MK_LBUTTON, At(200, 40));
             box->Perform(WM_LBUTTONUP, 0, At(200, 40));
         },
         {}},
        {"a right click",
         [&] {
             box->Perform(WM_RBUTTONDOWN, MK_RBUTTON, At(5, 8));
             box->Perform(WM_RBUTTONUP, 0, At(5, 8));
         },
         {}},
    };
    for (const TStep& step : steps) {
        seen.clear();
        step.Act();
        EXPECT_EQ(seen, step.Expected) << step.Name;
    }
    EXPECT_FALSE(box->Checked());
}

TEST(FlatCheckBox, DisabledLookRightLayoutAndAMouseThatIsIgnored)
{
    TScene scene;
    auto* box = scene.Add(10, 10, "Spento");
    box->SetChecked(true);
    box->SetEnabled(false);
    int clicks = 0, downs = 0;
    box->OnClick = [&](TObject*) { ++clicks; };
    box->OnMouseDown = [&](TObject*, TMouseButton, TShiftState, int, int) { ++downs; };
    box->Perform(WM_LBUTTONDOWN, MK_LBUTTON, At(5, 8));
    box->Perform(WM_LBUTTONUP, 0, At(5, 8));
    EXPECT_EQ(clicks, 0);
    EXPECT_EQ(downs, 0);
    EXPECT_TRUE(box->Checked());
    {
        TBoxPicture picture(scene.Panel, box);
        ExpectSquare(picture, 1, Face, Rgb(clBtnShadow), true, "disabled");
        const TRect caption = Rect(16, 1, 120, 16);
        EXPECT_GT(picture.Ink(caption, Face), 0);
        // Embossed: a highlight copy one pixel down and right under the shadow one.
        auto expected = DrawnCaption(121, 17, Face, box->Font(), "Spento", caption, DT_WORDBREAK, true);
        EXPECT_EQ(DifferingPixels(picture.Grab, Point(box->Left(), box->Top()), *expected, Rect(13, 0, 121, 17)), 0);
    }

    auto* right = scene.Add(10, 40, "Destra");
    right->SetLayout(FlatDrawing::checkboxRight);
    right->SetChecked(true);
    TBoxPicture picture(scene.Panel, right);
    ExpectSquare(picture, 121 - 12, Face, clBlack, true, "on the right");
    // The caption right-aligned against the square.
    auto expected = DrawnCaption(121, 17, Face, right->Font(), "Destra", Rect(1, 1, 105, 16), DT_WORDBREAK | DT_RIGHT,
                                 false);
    EXPECT_EQ(DifferingPixels(picture.Grab, Point(right->Left(), right->Top()), *expected, Rect(0, 0, 108, 17)), 0);
    EXPECT_GT(picture.Ink(Rect(60, 1, 105, 16), Face), 0);
    EXPECT_EQ(right->CheckRect(), Rect(109, 3, 120, 14));
}

TEST(FlatCheckBox, HoverHasItsOwnClassTimerAndEndsOnATick)
{
    TFlatHoverTracker& boxes = TFlatCheckBox::HoverTracker();
    TFlatHoverTracker& buttons = TFlatButton::HoverTracker();
    {
        TScene scene;
        auto* box = scene.Add(10, 10);
        auto* button = new TFlatButton(scene.Form.get());
        button->SetParent(scene.Panel);
        button->SetBounds(200, 10, 25, 25);
        ASSERT_NE(boxes.Timer(), nullptr);
        EXPECT_NE(boxes.Timer(), buttons.Timer());

        scene.PointAt(box);
        EXPECT_EQ(boxes.Owner(), box);
        EXPECT_EQ(TBoxPicture(scene.Panel, box).At(5, 8), Focused);
        // A flat button taking its own hover leaves the check box's alone.
        scene.PointAt(button);
        EXPECT_EQ(buttons.Owner(), button);
        EXPECT_EQ(boxes.Owner(), box);
        scene.PointAt(nullptr);
        EXPECT_TRUE(PumpWhile([&] { return boxes.Owner() != nullptr; }, 2000)) << "a tick ends the hover";
        EXPECT_EQ(TBoxPicture(scene.Panel, box).At(5, 8), Face);
    }
    EXPECT_EQ(boxes.InstanceCount(), 0);
    EXPECT_EQ(boxes.Timer(), nullptr) << "the last check box frees the timer";
}

TEST(FlatCheckBox, DerivedColoursAndATransparentBackground)
{
    using namespace FlatDrawing;
    TScene scene;
    auto* box = scene.Add(10, 10);
    box->SetParentColor(false);
    box->SetColor(clWhite);
    box->SetUseAdvColors(true);
    EXPECT_TRUE(box->ParentColor());
    EXPECT_EQ(box->Color(), Face);
    box->SetAdvColors(0, 40);
    struct TCase {
        const char* Name;
        TColor Actual;
        TColor Expected;
    };
    const TCase cases[] = {
        {"focused", box->ColorFocused(), CalcAdvancedColor(Face, Focused, 40, lighten)},
        {"down", box->ColorDown(), CalcAdvancedColor(Face, Down, 10, darken)},
        {"border", box->ColorBorder(), CalcAdvancedColor(Face, Border, 50, darken)},
    };
    for (const TCase& c : cases)
        EXPECT_EQ(c.Actual, c.Expected) << c.Name;

    auto* clear = scene.Add(10, 40, "");
    clear->SetParentColor(false);
    clear->SetColor(clRed);
    clear->SetTransparent(true);
    TBoxPicture picture(scene.Panel, clear);
    EXPECT_EQ(picture.At(60, 8), Face) << "the parent shows through";
    EXPECT_EQ(picture.At(5, 8), clRed) << "the square keeps the box's colour";
}

TEST(FlatCheckBox, ALongCaptionWrapsAndIsClipped)
{
    TScene scene;
    std::string caption;
    for (int i = 0; caption.size() < 5000; ++i)
        caption += "parola" + std::to_string(i) + " ";
    caption.resize(5000);
    auto* box = scene.Add(10, 10, caption);
    auto* below = scene.Add(10, 27, "");
    TBoxPicture picture(scene.Panel, box);
    EXPECT_GT(picture.Ink(Rect(16, 1, 120, 16), Face), 0);
    TBoxPicture next(scene.Panel, below);
    EXPECT_EQ(next.Ink(Rect(16, 0, 120, 17), Face), 0) << "nothing spills onto the control below";
    box->SetColors(7, clRed);
    EXPECT_EQ(box->ColorFocused(), Focused);
    EXPECT_EQ(box->ColorDown(), Down);
    EXPECT_EQ(box->ColorCheck(), clBlack);
    EXPECT_EQ(box->ColorBorder(), Border);
}

} // namespace FlatCheckBoxTest
