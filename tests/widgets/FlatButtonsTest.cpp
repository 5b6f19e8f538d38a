#include "WidgetsTestSupport.h"

#include "platform/gui/Form.h"
#include "platform/gui/Grab.h"
#include "platform/gui/Panel.h"
#include "platform/gui/Timer.h"
#include "platform/gui/WindowFunctions.h"
#include "widgets/FlatButton.h"
#include "widgets/FlatSpeedButton.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace FlatButtonsTest {

using namespace FlatDrawing;

constexpr TColor FlatFace = 0xE1EAEB;
constexpr TColor MainWindowFocus = 16564924;
constexpr TColor RestBorder = 0x8396A0;
constexpr TColor DownFill = 0xC5D6D9;

LPARAM At(int x, int y) { return static_cast<LPARAM>((y << 16) | (x & 0xFFFF)); }

// A shown, active form with a panel the buttons stand on; the pointer is over UnderPointer.
struct TFlatScene {
    std::unique_ptr<TForm> Form = std::make_unique<TForm>(nullptr);
    TPanel* Panel = nullptr;
    TControl* UnderPointer = nullptr;

    explicit TFlatScene(bool show = true)
    {
        Form->SetBounds(60, 60, 360, 180);
        Panel = new TPanel(Form.get());
        Panel->SetParent(Form.get());
        Panel->SetBounds(0, 0, 340, 140);
        Panel->SetBevelOuter(bvNone);
        Panel->SetColor(clGreen);
        SetPointerLocator([this](TPoint, bool) { return UnderPointer; });
        if (show)
            Show();
    }
    ~TFlatScene() { SetPointerLocator({}); }

    void Show()
    {
        Form->Show();
        SetForegroundWindow(Form->Handle());
        PumpWhile([] { return GetActiveWindow() == nullptr; }, 2000);
        PumpFor(10);
    }

    // A 25 x 25 button with the main window's flat colours.
    template <class TButton>
    TButton* Add(int x, int y, int width = 25, int height = 25)
    {
        auto* button = new TButton(Form.get());
        button->SetParent(Panel);
        button->SetBounds(x, y, width, height);
        button->SetColor(FlatFace);
        button->SetColorFocused(MainWindowFocus);
        return button;
    }

    // Moves the pointer onto control (nullptr: off every control) with a mouse move on it.
    void PointAt(TControl* control)
    {
        UnderPointer = control;
        if (control)
            control->Perform(WM_MOUSEMOVE, 0, At(5, 5));
    }
};

void Press(TControl* button, int x = 5, int y = 5) { button->Perform(WM_LBUTTONDOWN, MK_LBUTTON, At(x, y)); }
void Release(TControl* button, int x = 5, int y = 5) { button->Perform(WM_LBUTTONUP, 0, At(x, y)); }
void ClickOn(TControl* button)
{
    Press(button);
    Release(button);
}

// The button's pixels, read from a picture of the panel it stands on.
struct TButtonPicture {
    TGrab Grab;
    TControl* Button;
    TButtonPicture(TPanel* panel, TControl* button) : Grab(panel), Button(button) {}
    TColor At(int x, int y) { return Grab.At(Button->Left() + x, Button->Top() + y); }
};

// A strip of count 16 x 16 images on white, image k a square of colours[k] with a black outline.
std::unique_ptr<TBitmap> GlyphStrip(const std::vector<TColor>& colours)
{
    auto strip = std::make_unique<TBitmap>();
    strip->SetSize(16 * static_cast<int>(colours.size()), 16);
    TCanvas* canvas = strip->Canvas();
    canvas->Brush()->SetColor(clWhite);
    canvas->FillRect(Rect(0, 0, strip->Width(), 16));
    for (std::size_t k = 0; k < colours.size(); ++k) {
        const int left = 16 * static_cast<int>(k);
        canvas->Brush()->SetColor(clBlack);
        canvas->FillRect(Rect(left + 3, 3, left + 13, 13));
        canvas->Brush()->SetColor(colours[k]);
        canvas->FillRect(Rect(left + 4, 4, left + 12, 12));
    }
    return strip;
}

template <class T>
class FlatButtonClasses : public testing::Test {};
using TFlatClasses = testing::Types<TFlatSpeedButton, TFlatButton>;
TYPED_TEST_SUITE(FlatButtonClasses, TFlatClasses);

TYPED_TEST(FlatButtonClasses, RestHoverAndPressedLooks)
{
    TFlatScene scene;
    auto* button = scene.Add<TypeParam>(20, 20);
    const std::vector<TPoint> corners{Point(0, 0), Point(24, 0), Point(0, 24), Point(24, 24)};
    {
        TButtonPicture rest(scene.Panel, button);
        for (TPoint p : corners)
            EXPECT_EQ(rest.At(p.X, p.Y), RestBorder) << p.X << "," << p.Y;
        EXPECT_EQ(rest.At(12, 12), FlatFace);
    }
    scene.PointAt(button);
    {
        TButtonPicture hovered(scene.Panel, button);
        EXPECT_EQ(hovered.At(0, 0), clWhite);
        EXPECT_EQ(hovered.At(24, 0), clBlack);
        EXPECT_EQ(hovered.At(24, 24), clBlack);
        EXPECT_EQ(hovered.At(12, 12), MainWindowFocus);
    }
    Press(button);
    {
        TButtonPicture pressed(scene.Panel, button);
        EXPECT_EQ(pressed.At(0, 0), clBlack);
        EXPECT_EQ(pressed.At(24, 0), clWhite);
        EXPECT_EQ(pressed.At(24, 24), clWhite);
        EXPECT_EQ(pressed.At(12, 12), DownFill);
    }
    Release(button);
}

TYPED_TEST(FlatButtonClasses, ADisabledCaptionIsEmbossed)
{
    TFlatScene scene;
    auto* button = scene.Add<TypeParam>(20, 20, 80, 25);
    button->SetCaption("Salva");
    button->Font()->SetColor(clBlack);
    // The centre of the pixels lighter (or darker) than the face; the text is smoothed, so its
    // colours are blends.
    auto centreOf = [&](bool lighter, double& x, double& y) {
        auto brightness = [](TColor c) { return (c & 0xFF) + ((c >> 8) & 0xFF) + ((c >> 16) & 0xFF); };
        TButtonPicture picture(scene.Panel, button);
        int count = 0;
        x = y = 0;
        for (int py = 1; py < 24; ++py)
            for (int px = 1; px < 79; ++px) {
                const int difference = brightness(picture.At(px, py)) - brightness(FlatFace);
                if (lighter ? difference > 30 : difference < -30) {
                    x += px;
                    y += py;
                    ++count;
                }
            }
        if (count) {
            x /= count;
            y /= count;
        }
        return count;
    };
    double x, y, shadowX, shadowY, lightX, lightY;
    EXPECT_EQ(centreOf(true, x, y), 0) << "an enabled caption has no highlight";
    button->SetEnabled(false);
    ASSERT_GT(centreOf(false, shadowX, shadowY), 5);
    ASSERT_GT(centreOf(true, lightX, lightY), 5);
    EXPECT_GT(lightX, shadowX);
    EXPECT_GT(lightY, shadowY);
    EXPECT_LT(lightX - shadowX, 2);
}

TYPED_TEST(FlatButtonClasses, GlyphStripsSetTheirImageCountAndPickTheImageOfTheState)
{
    TFlatScene scene;
    auto* button = scene.Add<TypeParam>(20, 20);
    struct TCase {
        int Width;
        int Expected;
    };
    button->SetNumGlyphs(2);
    for (const TCase& c : {TCase{64, 4}, TCase{80, 1}, TCase{32, 2}, TCase{40, 2}}) {
        TBitmap strip;
        strip.SetSize(c.Width, 16);
        button->SetGlyph(&strip);
        EXPECT_EQ(button->NumGlyphs(), c.Expected) << c.Width << " x 16";
    }
    button->SetNumGlyphs(3);
    button->SetGlyph(button->Glyph());
    EXPECT_EQ(button->NumGlyphs(), 3) << "assigning the glyph itself changes nothing";
    EXPECT_EQ(button->Glyph()->Width(), 40);
    button->SetNumGlyphs(0);
    EXPECT_EQ(button->NumGlyphs(), 1);
    button->SetNumGlyphs(9);
    EXPECT_EQ(button->NumGlyphs(), 4);

    // Images of a 4-image strip: up, disabled, down; the glyph stands at (5, 5), pressed one
    // pixel further.
    auto strip = GlyphStrip({clRed, clBlue, clYellow, clAqua});
    button->SetGlyph(strip.get());
    EXPECT_EQ(TButtonPicture(scene.Panel, button).At(12, 12), clRed);
    EXPECT_EQ(TButtonPicture(scene.Panel, button).At(5, 5), FlatFace) << "white is transparent";
    EXPECT_EQ(TButtonPicture(scene.Panel, button).At(8, 8), clBlack);
    Press(button);
    EXPECT_EQ(TButtonPicture(scene.Panel, button).At(8, 8), DownFill) << "moved by the press";
    EXPECT_EQ(TButtonPicture(scene.Panel, button).At(12, 12), clYellow);
    Release(button, 40, 40);
    button->SetEnabled(false);
    EXPECT_EQ(TButtonPicture(scene.Panel, button).At(12, 12), clBlue);
    // The glyph loader's two-image strips: the second image shows while disabled.
    auto pair = GlyphStrip({clRed, clGray});
    button->SetGlyph(pair.get());
    ASSERT_EQ(button->NumGlyphs(), 2);
    EXPECT_EQ(TButtonPicture(scene.Panel, button).At(12, 12), clGray);

    // A disabled one-image glyph is the embossed image.
    auto single = GlyphStrip({clRed});
    button->SetGlyph(single.get());
    ASSERT_EQ(button->NumGlyphs(), 1);
    std::unique_ptr<TBitmap> expected =
        CreateDisabledBitmap(single.get(), clBlack, clBtnFace, clBtnHighlight, clBtnShadow, true);
    TButtonPicture disabled(scene.Panel, button);
    const TColor face = static_cast<TColor>(ColorToRGB(clBtnFace));
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 16; ++x) {
            const TColor image = expected->Canvas()->Pixels(x, y);
            ASSERT_EQ(disabled.At(5 + x, 5 + y), image == face ? FlatFace : image) << x << "," << y;
        }
}

TYPED_TEST(FlatButtonClasses, PressReleaseAndGroups)
{
    TFlatScene scene;
    auto* button = scene.Add<TypeParam>(20, 20);
    int clicks = 0;
    button->OnClick = [&](TObject*) { ++clicks; };

    Press(button);
    button->Perform(WM_MOUSEMOVE, MK_LBUTTON, At(30, 30));
    Release(button, 30, 30);
    EXPECT_EQ(clicks, 0);
    {
        TButtonPicture rest(scene.Panel, button);
        EXPECT_EQ(rest.At(0, 0), RestBorder);
        EXPECT_EQ(rest.At(12, 12), FlatFace);
    }
    Press(button);
    Release(button, 12, 25);
    EXPECT_EQ(clicks, 1) << "the row at ClientHeight still counts";
    Press(button);
    Release(button, 25, 12);
    EXPECT_EQ(clicks, 1) << "the column at ClientWidth does not";

    std::vector<std::string> events;
    button->OnMouseEnter = [&](TObject* sender) { events.push_back(sender == button ? "enter" : "?"); };
    button->OnMouseLeave = [&](TObject* sender) { events.push_back(sender == button ? "leave" : "?"); };
    button->OnDblClick = [&](TObject*) { events.push_back("double"); };
    button->Perform(CM_MOUSEENTER, 0, 0);
    button->Perform(CM_MOUSELEAVE, 0, 0);
    button->Perform(WM_LBUTTONDBLCLK, MK_LBUTTON, At(5, 5));
    Release(button);
    EXPECT_EQ(events, (std::vector<std::string>{"enter", "leave"})) << "a double click counts only when down";

    TypeParam* group[3];
    for (int i = 0; i < 3; ++i) {
        group[i] = scene.Add<TypeParam>(60 + 30 * i, 20);
        group[i]->SetGroupIndex(1);
    }
    ClickOn(group[0]);
    EXPECT_TRUE(group[0]->Down());
    ClickOn(group[0]);
    EXPECT_TRUE(group[0]->Down()) << "the last down button stays down";
    ClickOn(group[1]);
    EXPECT_FALSE(group[0]->Down());
    EXPECT_TRUE(group[1]->Down());
    EXPECT_FALSE(group[2]->Down());
    {
        TButtonPicture held(scene.Panel, group[1]);
        EXPECT_EQ(held.At(0, 0), clBlack);
        EXPECT_EQ(held.At(12, 12), DownFill);
    }
    group[2]->SetAllowAllUp(true);
    EXPECT_TRUE(group[1]->AllowAllUp()) << "the group shares AllowAllUp";
    ClickOn(group[1]);
    EXPECT_FALSE(group[1]->Down());
    EXPECT_FALSE(button->Down()) << "an ungrouped button never stays down";
}

TYPED_TEST(FlatButtonClasses, HoverPassesBetweenButtonsAndEndsOnATick)
{
    TFlatHoverTracker& tracker = TypeParam::HoverTracker();
    {
        TFlatScene scene(false);
        auto* first = scene.Add<TypeParam>(20, 20);
        auto* second = scene.Add<TypeParam>(60, 20);
        ASSERT_EQ(GetActiveWindow(), nullptr);
        scene.PointAt(first);
        EXPECT_EQ(tracker.Owner(), nullptr) << "no takeover without an active window";

        scene.Show();
        scene.PointAt(first);
        EXPECT_EQ(tracker.Owner(), first);
        scene.PointAt(second);
        EXPECT_EQ(tracker.Owner(), second);
        {
            TGrab picture(scene.Panel);
            EXPECT_EQ(picture.At(first->Left(), first->Top()), RestBorder) << "the first lost its look at once";
            EXPECT_EQ(picture.At(second->Left(), second->Top()), clWhite);
        }
        scene.PointAt(nullptr);
        EXPECT_TRUE(PumpWhile([&] { return tracker.Owner() != nullptr; }, 2000)) << "a tick ends the hover";
        EXPECT_EQ(TButtonPicture(scene.Panel, second).At(0, 0), RestBorder);

        // The owner destroyed with its parent: the timer forgets it and runs on harmlessly.
        scene.PointAt(first);
        ASSERT_EQ(tracker.Owner(), first);
        auto* outer = new TPanel(scene.Form.get());
        outer->SetParent(scene.Panel);
        outer->SetBounds(100, 60, 60, 40);
        auto* inner = new TypeParam(scene.Form.get());
        inner->SetParent(outer);
        scene.PointAt(inner);
        ASSERT_EQ(tracker.Owner(), inner);
        scene.UnderPointer = nullptr;
        delete outer;
        EXPECT_EQ(tracker.Owner(), nullptr);
        PumpFor(250);
        scene.PointAt(second);
        EXPECT_EQ(tracker.Owner(), second);
    }
    EXPECT_EQ(tracker.Owner(), nullptr);
    EXPECT_EQ(tracker.InstanceCount(), 0);
    EXPECT_EQ(tracker.Timer(), nullptr) << "the last button frees the timer";
}

TYPED_TEST(FlatButtonClasses, ColoursAndTheirSteps)
{
    TFlatScene scene;
    scene.Panel->SetColor(static_cast<TColor>(FlatFace));
    auto* button = scene.Add<TypeParam>(20, 20);
    button->SetColors(7, clRed);
    button->SetAdvColors(5, 30);
    EXPECT_EQ(button->ColorFocused(), MainWindowFocus);
    EXPECT_EQ(button->ColorDown(), DownFill);
    EXPECT_EQ(button->ColorBorder(), RestBorder);
    EXPECT_EQ(button->AdvColorFocused(), 10);
    button->SetAdvColors(2, 150);
    EXPECT_EQ(button->AdvColorBorder(), 100);
    button->SetAdvColorBorder(50);

    button->SetUseAdvColors(true);
    EXPECT_TRUE(button->ParentColor());
    EXPECT_EQ(button->ColorFocused(), 0x557B80);
    EXPECT_EQ(button->ColorDown(), 0xE0EAEB);
    EXPECT_EQ(button->ColorBorder(), 0xADC6C9);
    scene.Panel->SetColor(clWhite);
    EXPECT_EQ(button->Color(), clWhite);
    EXPECT_EQ(button->ColorFocused(), 0x6A6A6A) << "the parent's new colour is followed";
    EXPECT_EQ(button->ColorBorder(), 0xD4D4D4);
}

TYPED_TEST(FlatButtonClasses, TransparentModesShowTheParent)
{
    TFlatScene scene;
    auto* button = scene.Add<TypeParam>(20, 20);
    button->SetTransparent(tmNotFocused);
    EXPECT_EQ(TButtonPicture(scene.Panel, button).At(12, 12), clGreen);
    scene.PointAt(button);
    EXPECT_EQ(TButtonPicture(scene.Panel, button).At(12, 12), MainWindowFocus);
    button->SetTransparent(tmAlways);
    EXPECT_EQ(TButtonPicture(scene.Panel, button).At(12, 12), clGreen);
    EXPECT_EQ(TButtonPicture(scene.Panel, button).At(0, 0), clWhite) << "hovered frame";
}

TYPED_TEST(FlatButtonClasses, BadGlyphsLongCaptionsAndTinyButtons)
{
    TFlatScene scene;
    auto* button = scene.Add<TypeParam>(20, 20, 40, 25);
    button->SetCaption("OK");
    struct TCase {
        int Width, Height, NumGlyphs;
    };
    for (const TCase& c : {TCase{0, 0, 1}, TCase{0, 16, 1}, TCase{16, 0, 1}, TCase{3, 16, 4}}) {
        TBitmap glyph;
        glyph.SetSize(c.Width, c.Height);
        button->SetGlyph(&glyph);
        button->SetNumGlyphs(c.NumGlyphs);
        TButtonPicture picture(scene.Panel, button);
        EXPECT_EQ(picture.At(0, 0), RestBorder) << c.Width << " x " << c.Height;
        EXPECT_GT(picture.Grab.Ink(Bounds(button->Left() + 1, button->Top() + 1, 38, 23), FlatFace), 0)
            << "the caption is drawn";
    }
    auto* tiny = scene.Add<TypeParam>(200, 20, 1, 1);
    tiny->SetCaption(std::string(10000, 'W'));
    tiny->SetGlyph(GlyphStrip({clRed}).get());
    TButtonPicture picture(scene.Panel, tiny);
    EXPECT_EQ(picture.At(0, 0), RestBorder);
    EXPECT_EQ(picture.At(1, 0), clGreen) << "nothing is drawn beside the button";
}

TEST(FlatButton, SpaceBarAcceleratorAndDefaultFrame)
{
    TFlatScene scene;
    auto* button = scene.Add<TFlatButton>(20, 20);
    auto* other = scene.Add<TFlatButton>(60, 20, 80, 25);
    other->SetCaption("&Salva");
    int clicks = 0, saves = 0;
    button->OnClick = [&](TObject*) { ++clicks; };
    other->OnClick = [&](TObject*) { ++saves; };

    Press(button);
    Release(button, 40, 40);
    EXPECT_TRUE(button->Focused()) << "a press takes the focus";
    other->SetFocus();
    button->SetFocus();
    EXPECT_EQ(TButtonPicture(scene.Panel, button).At(0, 0), clWhite) << "the focused button looks hovered";
    EXPECT_EQ(TButtonPicture(scene.Panel, other).At(0, 0), RestBorder) << "the one that lost the focus does not";
    button->Perform(WM_KEYDOWN, VK_SPACE, 0);
    EXPECT_EQ(TButtonPicture(scene.Panel, button).At(12, 12), DownFill);
    EXPECT_EQ(clicks, 0);
    button->Perform(WM_KEYUP, VK_SPACE, 0);
    EXPECT_EQ(clicks, 1);
    button->Perform(WM_KEYUP, 'A', 0);
    EXPECT_EQ(clicks, 1);

    const LPARAM altDown = 1 << 29;
    EXPECT_NE(scene.Form->Perform(CM_DIALOGCHAR, 's', altDown), 0);
    EXPECT_EQ(saves, 1);
    other->SetVisible(false);
    EXPECT_EQ(scene.Form->Perform(CM_DIALOGCHAR, 'S', altDown), 0);
    EXPECT_EQ(saves, 1) << "a hidden button does not answer its accelerator";

    button->Perform(WM_KILLFOCUS, 0, 0);
    button->SetDefault(true);
    TButtonPicture framed(scene.Panel, button);
    EXPECT_EQ(framed.At(1, 1), RestBorder);
    EXPECT_EQ(framed.At(23, 23), RestBorder);
    EXPECT_EQ(framed.At(2, 2), FlatFace);
}

TEST(FlatButton, TheGlyphLoaderFindsBothClassesByName)
{
    TFlatButton button(nullptr);
    TFlatSpeedButton speedButton(nullptr);
    EXPECT_EQ(button.ClassName(), "TFlatButton");
    EXPECT_TRUE(button.InheritsFrom("TCustomControl"));
    EXPECT_EQ(speedButton.ClassName(), "TFlatSpeedButton");
    EXPECT_TRUE(speedButton.InheritsFrom("TGraphicControl"));
}

TEST(FlatButton, AClickHandsTheModalResultToTheForm)
{
    TForm dialog(nullptr);
    dialog.SetBounds(100, 100, 200, 100);
    auto* stay = new TFlatButton(&dialog);
    stay->SetParent(&dialog);
    stay->SetBounds(10, 10, 25, 25);
    auto* ok = new TFlatButton(&dialog);
    ok->SetParent(&dialog);
    ok->SetBounds(50, 10, 25, 25);
    ok->SetModalResult(mrOk);
    TTimer clicker(nullptr);
    clicker.SetInterval(50);
    int ticks = 0;
    TModalResult afterStay = -1;
    clicker.OnTimer = [&](TObject*) {
        if (++ticks == 1) {
            ClickOn(stay);
            afterStay = dialog.ModalResult();
        } else {
            clicker.SetEnabled(false);
            ClickOn(ok);
        }
    };
    EXPECT_EQ(dialog.ShowModal(), mrOk);
    EXPECT_EQ(afterStay, mrNone) << "a button without a result leaves the form open";
}

TEST(FlatButtonsDemonstration, AllLooksSideBySide)
{
    TFlatScene scene;
    scene.Panel->SetColor(clBtnFace);
    auto* rest = scene.Add<TFlatButton>(10, 10, 70, 25);
    rest->SetCaption("Riposo");
    auto* hovered = scene.Add<TFlatButton>(90, 10, 70, 25);
    hovered->SetCaption("Sopra");
    auto* pressed = scene.Add<TFlatButton>(170, 10, 70, 25);
    pressed->SetCaption("Premuto");
    auto* defaulted = scene.Add<TFlatButton>(250, 10, 70, 25);
    defaulted->SetCaption("&Salva");
    defaulted->SetDefault(true);
    auto* disabled = scene.Add<TFlatButton>(10, 45, 70, 25);
    disabled->SetCaption("Spento");
    disabled->SetEnabled(false);
    auto* single = scene.Add<TFlatButton>(90, 45, 70, 40);
    single->SetCaption("Uno");
    single->SetGlyph(GlyphStrip({clRed}).get());
    single->SetEnabled(false);
    auto* pair = scene.Add<TFlatSpeedButton>(170, 45, 40, 40);
    pair->SetGlyph(GlyphStrip({clBlue, clGray}).get());
    auto* four = scene.Add<TFlatSpeedButton>(220, 45, 70, 40);
    four->SetCaption("Quattro");
    four->SetLayout(blGlyphLeft);
    four->SetGlyph(GlyphStrip({clRed, clGray, clYellow, clLime}).get());
    for (int i = 0; i < 3; ++i) {
        auto* member = scene.Add<TFlatSpeedButton>(10 + 30 * i, 95);
        member->SetGroupIndex(1);
        if (i == 1)
            member->SetDown(true);
    }
    scene.PointAt(hovered);
    Press(pressed);
    const std::string path = ScreenshotFolder() + "/flat-buttons.png";
    ASSERT_TRUE(GrabToPng(scene.Form.get(), path));
    Release(pressed, 500, 500);
}

} // namespace FlatButtonsTest
