// The tool button: its looks, groups, repeat clicks, modal results, drop-down menus, and buttons
// and menus freed while they work.

#include "ButtonsTestSupport.h"

#include "controls/EXCtrls.h"
#include "controls/private/ExGlyphCache.h"
#include "platform/gui/Application.h"
#include "platform/gui/Panel.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QMenu>
#include <QTest>
#include <QTimer>
#include <QWindow>

#include <gtest/gtest.h>

namespace SpeedButtonTest {

TColor Rgb(TColor color) { return static_cast<TColor>(ColorToRGB(color)); }

TColor Grey(int level) { return static_cast<TColor>(level | (level << 8) | (level << 16)); }

// A 25 x 25 button with a 16 x 16 one-cell glyph on a panel of the scene's form.
struct TButtonFixture {
    TButtonScene Scene;
    TPanel* Panel;
    std::unique_ptr<TBitmap> Glyph = MakeGlyph(1);

    TButtonFixture()
    {
        Panel = new TPanel(Scene.Form());
        Panel->SetParent(Scene.Form());
        Panel->SetBounds(0, 0, 300, 150);
        Panel->SetBevelOuter(bvNone);
        Panel->SetColor(clTeal);
    }
    TExSpeedButton* Add(int x, int y)
    {
        auto* button = new TExSpeedButton(Scene.Form());
        button->SetParent(Panel);
        button->SetBounds(x, y, 25, 25);
        button->SetGlyph(Glyph.get());
        return button;
    }
};

TEST(SpeedButtonLooks, UpDownDisabledFlatHoveredAndLatched)
{
    struct TLook {
        const char* Name;
        std::function<void(TExSpeedButton*, TButtonScene&)> Prepare;
        TColor TopLeft;
        TColor BottomRight;
        TColor GlyphCentre; // the red square's middle, one pixel lower right when pressed
        bool Pressed;
    };
    const TColor red = GlyphFill;
    const std::vector<TLook> looks{
        {"up", [](TExSpeedButton*, TButtonScene&) {}, Rgb(clBtnHighlight), Rgb(clWindowFrame), red, false},
        {"down", [](TExSpeedButton* b, TButtonScene&) { PressOn(b); }, Rgb(clWindowFrame), Rgb(clBtnHighlight), red,
         true},
        {"disabled", [](TExSpeedButton* b, TButtonScene&) { b->SetEnabled(false); }, Rgb(clBtnHighlight),
         Rgb(clWindowFrame), Rgb(clBtnFace), false},
        {"flat at rest", [](TExSpeedButton* b, TButtonScene&) { b->SetFlat(true); }, Rgb(clBtnFace), Rgb(clBtnFace),
         Grey(255 * 77 >> 8), false},
        {"flat hovered",
         [](TExSpeedButton* b, TButtonScene& scene) {
             b->SetFlat(true);
             scene.UnderPointer = b;
             b->UpdateTracking();
         },
         Rgb(clBtnHighlight), Rgb(clBtnShadow), red, false},
        {"latched",
         [](TExSpeedButton* b, TButtonScene&) {
             b->SetGroupIndex(1);
             b->SetDown(true);
         },
         Rgb(clWindowFrame), Rgb(clBtnHighlight), red, true},
    };
    for (const TLook& look : looks) {
        TButtonFixture fixture;
        TExSpeedButton* button = fixture.Add(20, 20);
        fixture.Scene.ShowAndActivate();
        look.Prepare(button, fixture.Scene);
        PumpFor(10);
        TControlPicture picture(button);
        EXPECT_EQ(picture.At(0, 0), look.TopLeft) << look.Name;
        EXPECT_EQ(picture.At(24, 24), look.BottomRight) << look.Name;
        const int offset = look.Pressed ? 1 : 0;
        EXPECT_EQ(picture.At(12 + offset, 12 + offset), look.GlyphCentre) << look.Name;
        if (std::string(look.Name) == "disabled") {
            EXPECT_EQ(picture.At(7, 7), Rgb(clBtnShadow)) << "the outline is embossed";
        }
        if (std::string(look.Name) == "latched") {
            // The checker shows beside the glyph: neighbours alternate face and highlight.
            for (int x = 3; x < 21; ++x) {
                const TColor here = picture.At(x, 21), next = picture.At(x + 1, 21);
                ASSERT_TRUE((here == Rgb(clBtnFace) && next == Rgb(clBtnHighlight)) ||
                            (here == Rgb(clBtnHighlight) && next == Rgb(clBtnFace)))
                    << x;
            }
        }
        if (std::string(look.Name) == "down")
            ReleaseOn(button, 40, 40);
    }
}

TEST(SpeedButtonLooks, ALatchedFlatButtonIsSunkenWithTheCheckerOnlyWhileThePointerIsElsewhere)
{
    TButtonFixture fixture;
    TExSpeedButton* button = fixture.Add(20, 20);
    button->SetFlat(true);
    button->SetGroupIndex(1);
    button->SetDown(true);
    fixture.Scene.ShowAndActivate();
    const auto checkerAt = [](TControlPicture& picture) { return picture.At(3, 21) != picture.At(4, 21); };
    {
        TControlPicture picture(button);
        EXPECT_EQ(picture.At(0, 0), Rgb(clWindowFrame));
        EXPECT_TRUE(checkerAt(picture));
        EXPECT_EQ(picture.At(13, 13), Grey(255 * 77 >> 8));
    }
    fixture.Scene.UnderPointer = button;
    button->UpdateTracking();
    PumpFor(10);
    TControlPicture picture(button);
    EXPECT_EQ(picture.At(0, 0), Rgb(clWindowFrame));
    EXPECT_FALSE(checkerAt(picture));
    EXPECT_EQ(picture.At(13, 13), GlyphFill);
}

TEST(SpeedButtonGroups, ButtonsOfAGroupLatchOneAtATime)
{
    TButtonFixture fixture;
    TExSpeedButton* first = fixture.Add(10, 10);
    TExSpeedButton* second = fixture.Add(40, 10);
    int clicks = 0;
    for (TExSpeedButton* button : {first, second}) {
        button->SetGroupIndex(1);
        button->OnClick = [&clicks](TObject*) { ++clicks; };
    }
    fixture.Scene.ShowAndActivate();
    first->SetDown(true);
    ClickOn(first);
    EXPECT_TRUE(first->Down()) << "without AllowAllUp a latched button stays down";
    ClickOn(second);
    EXPECT_TRUE(second->Down());
    EXPECT_FALSE(first->Down());
    EXPECT_EQ(first->State(), rbsUp);
    EXPECT_EQ(clicks, 2);

    first->SetAllowAllUp(true);
    EXPECT_TRUE(second->AllowAllUp()) << "the group takes the setting";
    ClickOn(second);
    EXPECT_FALSE(second->Down());

    first->SetDown(true);
    second->SetDown(true);
    EXPECT_FALSE(first->Down()) << "down by code releases the others";

    clicks = 0;
    first->ButtonClick();
    EXPECT_TRUE(first->Down());
    EXPECT_FALSE(second->Down());
    EXPECT_EQ(clicks, 1);
    EXPECT_EQ(first->State(), rbsExclusive);
}

TEST(SpeedButtonClicks, TheBottomEdgeCountsAndAReleaseOutsideDoesNot)
{
    TButtonFixture fixture;
    TExSpeedButton* button = fixture.Add(10, 10);
    int clicks = 0;
    button->OnClick = [&clicks](TObject*) { ++clicks; };
    fixture.Scene.ShowAndActivate();
    const struct {
        int X;
        int Y;
        int Clicks;
    } releases[] = {{5, 25, 1}, {5, 26, 0}, {25, 5, 0}, {-1, 5, 0}, {24, 0, 1}};
    for (const auto& r : releases) {
        clicks = 0;
        PressOn(button);
        EXPECT_EQ(button->State(), rbsDown);
        MoveOn(button, r.X, r.Y);
        ReleaseOn(button, r.X, r.Y);
        EXPECT_EQ(clicks, r.Clicks) << r.X << "," << r.Y;
        EXPECT_EQ(button->State(), rbsUp);
    }
}

TEST(SpeedButtonClicks, ButtonClickPressesForAMomentAndClicksOnce)
{
    TButtonFixture fixture;
    TExSpeedButton* button = fixture.Add(10, 10);
    std::vector<TExButtonState> seen;
    button->OnClick = [&](TObject*) { seen.push_back(button->State()); };
    fixture.Scene.ShowAndActivate();
    button->ButtonClick();
    EXPECT_EQ(seen, std::vector<TExButtonState>{rbsDown});
    EXPECT_EQ(button->State(), rbsUp);

    button->OnClick = [](TObject*) { throw EAbort("fermato"); };
    EXPECT_THROW(button->ButtonClick(), EAbort);
    EXPECT_EQ(button->State(), rbsUp) << "the state is reset when the click raises";

    button->SetEnabled(false);
    seen.clear();
    button->OnClick = [&](TObject*) { seen.push_back(button->State()); };
    button->ButtonClick();
    EXPECT_TRUE(seen.empty());
}

TEST(SpeedButtonClicks, AClickEndsAModalFormWithTheButtonsModalResult)
{
    TForm* form = new TForm(nullptr);
    form->SetBounds(100, 100, 200, 100);
    auto* button = new TExSpeedButton(form);
    button->SetParent(form);
    button->ModalResult = mrOk;
    SetModalStartHook([button](TCustomForm*) { QTimer::singleShot(20, [button] { ClickOn(button); }); });
    const int result = form->ShowModal();
    SetModalStartHook(nullptr);
    EXPECT_EQ(result, mrOk);
    TComponent::Free(form);
}

TEST(SpeedButtonRepeat, AHeldButtonClicksAfterTheFirstPauseThenEveryInterval)
{
    TButtonFixture fixture;
    TExSpeedButton* button = fixture.Add(10, 10);
    button->SetAllowTimer(true);
    QElapsedTimer clock;
    std::vector<qint64> times;
    button->OnClick = [&](TObject*) { times.push_back(clock.elapsed()); };
    fixture.Scene.ShowAndActivate();
    clock.start();
    PressOn(button);
    while (clock.elapsed() < 1000)
        PumpFor(5);
    const std::size_t held = times.size();
    ReleaseOn(button);
    // 500, 600, ..., 1000 ms on an idle machine; a busy one may tick late but never ahead of that
    // schedule (a late tick may be followed closely by the next one on time).
    ASSERT_GE(held, 3u);
    EXPECT_LE(held, 6u);
    EXPECT_GE(times[0], 480);
    for (std::size_t i = 1; i < held; ++i)
        EXPECT_GE(times[i] - times[0], static_cast<qint64>(90 * i)) << i;
    EXPECT_EQ(times.size(), held + 1) << "the release over the button clicks once more";
    EXPECT_FALSE(button->RepeatTimer()->Enabled());

    // Moving out stops the repeats; the release outside does not click.
    times.clear();
    clock.restart();
    PressOn(button);
    while (clock.elapsed() < 700)
        PumpFor(5);
    MoveOn(button, 60, 60);
    const std::size_t beforeLeaving = times.size();
    EXPECT_GE(beforeLeaving, 1u);
    PumpFor(400);
    EXPECT_EQ(times.size(), beforeLeaving);
    ReleaseOn(button, 60, 60);
    EXPECT_EQ(times.size(), beforeLeaving);

    button->SetAllowTimer(false);
    EXPECT_EQ(button->RepeatTimer(), nullptr);
}

TEST(SpeedButtonRepeat, AButtonFreedByItsOwnRepeatedClickIsNotTouchedAgain)
{
    TButtonFixture fixture;
    TExSpeedButton* button = fixture.Add(10, 10);
    button->SetAllowTimer(true);
    button->InitPause = 50;
    bool freed = false;
    button->OnClick = [&](TObject*) {
        freed = true;
        TComponent::Free(button);
    };
    fixture.Scene.ShowAndActivate();
    PressOn(button);
    for (int i = 0; i < 100 && !freed; ++i)
        PumpFor(5);
    EXPECT_TRUE(freed);
    PumpFor(200);
    QTest::mouseRelease(HostOf(fixture.Panel), Qt::LeftButton, {}, QPoint(15, 15));
    PumpFor(20);
}

// --- Drop-down menus -----------------------------------------------------------------------------

struct TDropDownFixture : TButtonFixture {
    TPopupMenu* Menu;
    TExSpeedButton* Button;
    int Opened = 0;
    TDropDownFixture()
    {
        Menu = NewPopupMenu(Scene.Form(), "MenuStampa", paLeft, true,
                            {NewItem("Anteprima", 0, false, true, nullptr, 0, "Anteprima")});
        Menu->OnPopup = [this](TObject*) { ++Opened; };
        Button = Add(30, 20);
        Button->SetWidth(60);
        Button->SetDropDownMenu(Menu);
        Scene.ShowAndActivate();
    }
};

// Runs action on the open menu once it shows.
void OnOpenMenu(std::function<void(QMenu*)> action)
{
    QTimer::singleShot(60, [action] {
        if (auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget()))
            action(menu);
    });
}

TEST(SpeedButtonDropDown, APressOpensTheMenuBelowTheButtonAndLeavesItUp)
{
    TDropDownFixture fixture;
    int clicks = 0;
    fixture.Button->OnClick = [&clicks](TObject*) { ++clicks; };
    QPoint shownAt;
    OnOpenMenu([&](QMenu* menu) {
        shownAt = menu->geometry().topLeft();
        QTest::keyClick(menu, Qt::Key_Escape);
    });
    PressOn(fixture.Button);
    EXPECT_EQ(fixture.Opened, 1);
    const TPoint expected = fixture.Button->ClientToScreen(Point(-1, fixture.Button->Height()));
    EXPECT_EQ(shownAt, QPoint(expected.X, expected.Y));
    EXPECT_EQ(fixture.Button->State(), rbsUp);
    EXPECT_EQ(fixture.Menu->PopupComponent, fixture.Button);
    ReleaseOn(fixture.Button);
    EXPECT_EQ(clicks, 0) << "a drop-down press is not a click";
    EXPECT_EQ(fixture.Button->State(), rbsUp);
}

TEST(SpeedButtonDropDown, APressOnTheButtonWhileItsMenuIsOpenClosesItWithoutReopening)
{
    TDropDownFixture fixture;
    // Through the form's window, as the window system delivers it: the open menu sees it first.
    OnOpenMenu([&](QMenu*) {
        QWidget* form = HostOf(fixture.Scene.Form());
        const QPoint at = HostOf(fixture.Button)->mapTo(form, QPoint(5, 5));
        QTest::mousePress(form->windowHandle(), Qt::LeftButton, {}, at);
        QTest::mouseRelease(form->windowHandle(), Qt::LeftButton, {}, at);
    });
    PressOn(fixture.Button);
    ReleaseOn(fixture.Button);
    PumpFor(150);
    EXPECT_EQ(fixture.Opened, 1);
    EXPECT_EQ(QApplication::activePopupWidget(), nullptr);
    EXPECT_EQ(fixture.Button->State(), rbsUp);
}

TEST(SpeedButtonDropDown, TheMenuOpensAtOneOfSixPlaces)
{
    TDropDownFixture fixture;
    TExSpeedButton* button = fixture.Button;
    const int w = button->Width(), h = button->Height();
    const struct {
        TExDropDownMenuPos Position;
        TPopupAlignment Alignment;
        TPoint Expected;
    } cases[] = {{dmpBottom, paLeft, Point(-1, h)},  {dmpBottom, paRight, Point(w + 1, h)},
                 {dmpBottom, paCenter, Point(w / 2, h)}, {dmpRight, paLeft, Point(w, -1)},
                 {dmpRight, paRight, Point(-1, -1)}, {dmpRight, paCenter, Point(w / 2, h)}};
    for (const auto& c : cases) {
        button->MenuPosition = c.Position;
        fixture.Menu->Alignment = c.Alignment;
        EXPECT_EQ(button->GetDropDownMenuPos(), c.Expected) << c.Position << "/" << c.Alignment;
    }
    button->SetDropDownMenu(nullptr);
    EXPECT_EQ(button->GetDropDownMenuPos(), Point(0, 0));
}

TEST(SpeedButtonDropDown, WithoutAutoPopupOnlyTheProgramOpensTheMenu)
{
    TDropDownFixture fixture;
    fixture.Menu->AutoPopup = false;
    int clicks = 0;
    fixture.Button->OnClick = [&clicks](TObject*) { ++clicks; };
    ClickOn(fixture.Button);
    EXPECT_EQ(fixture.Opened, 0);
    EXPECT_EQ(clicks, 1);
    OnOpenMenu([](QMenu* menu) { QTest::keyClick(menu, Qt::Key_Escape); });
    EXPECT_TRUE(fixture.Button->CheckBtnMenuDropDown());
    EXPECT_EQ(fixture.Opened, 1);
}

TEST(SpeedButtonDropDown, AFreedMenuIsForgotten)
{
    TDropDownFixture fixture;
    TComponent::Free(fixture.Menu);
    EXPECT_EQ(fixture.Button->DropDownMenu(), nullptr);
    ClickOn(fixture.Button);
    EXPECT_FALSE(fixture.Button->CheckBtnMenuDropDown());
}

TEST(SpeedButtonDropDown, AButtonFreedByACommandOfItsMenuIsNotTouchedAgain)
{
    TDropDownFixture fixture;
    bool freed = false;
    fixture.Menu->Items()->Items(0)->OnClick = [&](TObject*) {
        freed = true;
        TComponent::Free(fixture.Button);
    };
    OnOpenMenu([](QMenu* menu) {
        QTest::keyClick(menu, Qt::Key_Down);
        QTest::keyClick(menu, Qt::Key_Return);
    });
    PressOn(fixture.Button);
    PumpFor(20);
    EXPECT_TRUE(freed);
}

TEST(SpeedButtonBadInput, AHugeCaptionInASmallButtonIsCutAndPainted)
{
    TButtonFixture fixture;
    TExSpeedButton* button = fixture.Add(10, 10);
    button->SetCaption(std::string(10000, 'M'));
    fixture.Scene.ShowAndActivate();
    button->Repaint();
    TControlPicture picture(button);
    EXPECT_EQ(picture.At(0, 0), Rgb(clBtnHighlight));
}

TEST(SpeedButtonBadInput, TheSharedCheckerGoesWithTheLastButton)
{
    {
        TButtonFixture fixture;
        TExSpeedButton* button = fixture.Add(10, 10);
        button->SetGroupIndex(3);
        button->SetDown(true);
        fixture.Scene.ShowAndActivate();
        EXPECT_EQ(ExSpeedButtonCount(), 1);
    }
    EXPECT_EQ(ExSpeedButtonCount(), 0);
    EXPECT_FALSE(exctrls::QueryGlyphCache().Exists);
}

} // namespace SpeedButtonTest
