// The hint manager (pauses, reshow and hide rules, refusals, faulty hint-window classes) and the
// hint window's measuring and placement.

#include "GuiTestSupport.h"

#include "platform/gui/Bitmap.h"
#include "platform/gui/Canvas.h"
#include "platform/gui/Form.h"
#include "platform/gui/Grab.h"
#include "platform/gui/HintWindow.h"
#include "platform/gui/Screen.h"
#include "platform/gui/TextOutput.h"
#include "platform/gui/private/ControlHost.h"
#include "platform/gui/private/QtBridge.h"

#include <QElapsedTimer>
#include <QImage>
#include <QTest>
#include <QWidget>

#include <gtest/gtest.h>

namespace {

// A hint window that records what it was asked to show; Fault makes one of its steps throw.
class TRecordingHint : public THintWindow {
    TESS_CLASS(TRecordingHint, THintWindow)
public:
    explicit TRecordingHint(TComponent* owner) : THintWindow(owner)
    {
        ++Created;
        Last = this;
    }
    ~TRecordingHint() override
    {
        if (Last == this)
            Last = nullptr;
    }
    enum TFault { None, InCalcHintRect, InPaint };
    static inline std::vector<std::string> Activated;
    static inline int Created = 0;
    static inline TRecordingHint* Last = nullptr;
    static inline TFault Fault = None;

    void ActivateHint(TRect rect, const std::string& hint) override
    {
        Activated.push_back(hint);
        THintWindow::ActivateHint(rect, hint);
    }
    TRect CalcHintRect(int maxWidth, const std::string& hint, void* data) override
    {
        if (Fault == InCalcHintRect)
            RAISE(EConvertError("misura rotta"));
        return THintWindow::CalcHintRect(maxWidth, hint, data);
    }

protected:
    void Paint() override
    {
        if (Fault == InPaint)
            RAISE(EConvertError("pittura rotta"));
        THintWindow::Paint();
    }
};

bool HintShowing()
{
    return TRecordingHint::Last && Widget(TRecordingHint::Last) && Widget(TRecordingHint::Last)->isVisible();
}

// A control that answers CM_HINTSHOW like a grid: one hint per half, each half its own cursor
// rectangle; Refuse answers non-zero, Reshow asks again after that many milliseconds.
class THalves : public TRecorder {
public:
    using TRecorder::TRecorder;
    bool Refuse = false;
    int Reshow = 0;
    int Asked = 0;

    void WndProc(TMessage& Message) override
    {
        if (Message.Msg != CM_HINTSHOW) {
            TRecorder::WndProc(Message);
            return;
        }
        ++Asked;
        THintInfo& info = *reinterpret_cast<THintInfo*>(Message.LParam);
        const bool left = info.CursorPos.X < Width() / 2;
        info.CursorRect = left ? Rect(0, 0, Width() / 2, Height()) : Rect(Width() / 2, 0, Width(), Height());
        info.HintStr = Reshow ? "Giro " + std::to_string(Asked) : left ? "Sinistra" : "Destra";
        info.ReshowTimeout = Reshow;
        Message.Result = Refuse ? 1 : 0;
    }
};

class HintManagerTest : public testing::Test {
public:
    void SetUp() override
    {
        Form = new TForm(nullptr);
        Form->SetBounds(100, 100, 400, 200);
        First = Make(10, 10, "Breve|Lunga");
        Second = Make(150, 10, "Secondo|Lungo secondo");
        Halves = new THalves(Form);
        Halves->SetParent(Form);
        Halves->SetBounds(280, 10, 100, 50);
        Halves->SetShowHint(true);
        ShowAndActivate(Form);
        Application->HintPause = 100;
        Application->HintShortPause = 20;
        Application->HintHidePause = 5000;
        Application->SetHintWindowClass([](TComponent* owner) { return new TRecordingHint(owner); });
        TRecordingHint::Activated.clear();
        TRecordingHint::Fault = TRecordingHint::None;
    }

    void TearDown() override
    {
        Application->CancelHint();
        Application->OnHint = nullptr;
        Application->OnShowHint = nullptr;
        Application->OnException = nullptr;
        Application->SetShowHint(true);
        Application->SetHintWindowClass(nullptr);
        Application->HintPause = 500;
        Application->HintShortPause = 50;
        Application->HintHidePause = 2500;
        TRecordingHint::Fault = TRecordingHint::None;
        TComponent::Free(Form);
    }

    TRecorder* Make(int left, int top, const std::string& hint)
    {
        auto* control = new TRecorder(Form);
        control->SetParent(Form);
        control->SetBounds(left, top, 100, 50);
        control->SetHint(hint);
        control->SetShowHint(true);
        return control;
    }

    // Moves over the form's empty part (no hint there), then onto control at point. Qt drops a
    // move to where the mouse already is, so every test starts its hover this way.
    void MoveOnto(TControl* control, QPoint point = QPoint(20, 20))
    {
        QTest::mouseMove(Widget(Form), QPoint(200, 150));
        QTest::mouseMove(Widget(control), point);
    }

    bool WaitForHint(std::size_t count = 1)
    {
        return PumpUntil([count] { return TRecordingHint::Activated.size() >= count && HintShowing(); });
    }

    TForm* Form = nullptr;
    TRecorder* First = nullptr;
    TRecorder* Second = nullptr;
    THalves* Halves = nullptr;
};

TEST_F(HintManagerTest, ShowsTheShortPartAfterThePauseAndHidesAfterTheHidePause)
{
    Application->HintHidePause = 200;
    QTest::mouseMove(Widget(Form), QPoint(200, 150));
    Application->SetHint("");
    int hintEvents = 0;
    Application->OnHint = [&](TObject*) { ++hintEvents; };
    QElapsedTimer clock;
    clock.start();
    QTest::mouseMove(Widget(First), QPoint(20, 20));
    ASSERT_TRUE(WaitForHint());
    EXPECT_GE(clock.elapsed(), 95); // HintPause, not the short pause (a millisecond of rounding allowed)
    EXPECT_EQ(TRecordingHint::Activated, std::vector<std::string>{"Breve"});
    EXPECT_EQ(Application->Hint(), "Lunga");
    EXPECT_EQ(hintEvents, 1);
    // The window sits 20 pixels below the cursor and never takes the focus.
    const QPoint cursor = Widget(First)->mapToGlobal(QPoint(20, 20));
    EXPECT_EQ(Widget(TRecordingHint::Last)->geometry().topLeft(), cursor + QPoint(0, 20));
    EXPECT_TRUE(Widget(Form)->isActiveWindow());
    EXPECT_TRUE(PumpUntil([] { return !HintShowing(); }));
    // Hidden by its timeout, it stays hidden while the mouse stays on the control.
    QTest::mouseMove(Widget(First), QPoint(30, 25));
    Pump(150);
    EXPECT_EQ(TRecordingHint::Activated.size(), 1u);
}

TEST_F(HintManagerTest, RefusedHintsShowNothing)
{
    struct TCase {
        const char* Name;
        std::function<void(HintManagerTest&)> Refuse;
    };
    const TCase cases[] = {
        {"OnShowHint sets CanShow false",
         [](HintManagerTest&) {
             Application->OnShowHint = [](std::string&, bool& canShow, THintInfo&) { canShow = false; };
         }},
        {"OnShowHint empties the text",
         [](HintManagerTest&) { Application->OnShowHint = [](std::string& text, bool&, THintInfo&) { text.clear(); }; }},
        {"the control's ShowHint is false", [](HintManagerTest& t) { t.First->SetShowHint(false); }},
        {"the control has no hint", [](HintManagerTest& t) { t.First->SetHint(""); }},
        {"the application's ShowHint is false", [](HintManagerTest&) { Application->SetShowHint(false); }},
    };
    for (const TCase& c : cases) {
        c.Refuse(*this);
        TRecordingHint::Activated.clear();
        MoveOnto(First);
        Pump(300);
        EXPECT_TRUE(TRecordingHint::Activated.empty()) << c.Name;
        Application->OnShowHint = nullptr;
        Application->SetShowHint(true);
        First->SetShowHint(true);
        First->SetHint("Breve|Lunga");
    }
    // A control answering CM_HINTSHOW with a non-zero result refuses too.
    Halves->Refuse = true;
    MoveOnto(Halves);
    EXPECT_TRUE(PumpUntil([this] { return Halves->Asked > 0; }));
    Pump(50);
    EXPECT_TRUE(TRecordingHint::Activated.empty());
}

TEST_F(HintManagerTest, TheNextHintComesAfterTheShortPauseWhileHintsAreActive)
{
    MoveOnto(First);
    ASSERT_TRUE(WaitForHint());
    // Straight from one hinted control to the next: the short pause.
    Application->HintPause = 60000;
    QTest::mouseMove(Widget(Second), QPoint(20, 20));
    ASSERT_TRUE(WaitForHint(2));
    EXPECT_EQ(TRecordingHint::Activated.back(), "Secondo");
    EXPECT_EQ(Application->Hint(), "Lungo secondo");
}

TEST_F(HintManagerTest, CancellingEndsTheActiveStateAndTheFullPauseApplies)
{
    struct TCase {
        const char* Name;
        std::function<void(HintManagerTest&)> Cancel;
    };
    const TCase cases[] = {
        {"a key", [](HintManagerTest& t) { QTest::keyClick(Widget(t.First), Qt::Key_A); }},
        {"a button", [](HintManagerTest& t) { QTest::mouseClick(Widget(t.First), Qt::LeftButton, {}, QPoint(20, 20)); }},
        {"CancelHint", [](HintManagerTest&) { Application->CancelHint(); }},
        {"leaving the program's windows",
         [](HintManagerTest& t) {
             QEvent leave(QEvent::Leave);
             QCoreApplication::sendEvent(Widget(t.First), &leave);
             Application->ProcessMessages();
         }},
        {"a control without hints", [](HintManagerTest& t) { QTest::mouseMove(Widget(t.Form), QPoint(200, 150)); }},
    };
    for (const TCase& c : cases) {
        TRecordingHint::Activated.clear();
        MoveOnto(First);
        ASSERT_TRUE(WaitForHint()) << c.Name;
        c.Cancel(*this);
        EXPECT_FALSE(HintShowing()) << c.Name;
        Application->HintPause = 150;
        QElapsedTimer clock;
        clock.start();
        QTest::mouseMove(Widget(Second), QPoint(25, 25));
        EXPECT_TRUE(WaitForHint(2)) << c.Name;
        EXPECT_GE(clock.elapsed(), 145) << c.Name; // HintPause, not the short pause of 20
        Application->HintPause = 100;
    }
}

TEST_F(HintManagerTest, LeavingTheCursorRectangleAsksForTheHintOfTheNewPlace)
{
    MoveOnto(Halves, QPoint(10, 20));
    ASSERT_TRUE(WaitForHint());
    EXPECT_EQ(TRecordingHint::Activated.back(), "Sinistra");
    QTest::mouseMove(Widget(Halves), QPoint(30, 25));
    Application->ProcessMessages();
    EXPECT_EQ(TRecordingHint::Activated.size(), 1u);
    QTest::mouseMove(Widget(Halves), QPoint(80, 25));
    ASSERT_TRUE(WaitForHint(2));
    EXPECT_EQ(TRecordingHint::Activated.back(), "Destra");
}

TEST_F(HintManagerTest, AReshowTimeoutAsksAgain)
{
    Halves->Reshow = 30;
    MoveOnto(Halves, QPoint(10, 20));
    ASSERT_TRUE(WaitForHint(3));
    EXPECT_EQ(TRecordingHint::Activated[0], "Giro 1");
    EXPECT_EQ(TRecordingHint::Activated[2], "Giro 3");
}

TEST_F(HintManagerTest, AControlWithoutItsOwnHintShowsItsParents)
{
    auto* panel = new TRecorder(Form);
    panel->SetParent(Form);
    panel->SetBounds(10, 100, 200, 80);
    panel->SetHint("Pannello|Pannello dei totali");
    panel->SetShowHint(true);
    auto* child = new TRecorder(Form);
    child->SetParent(panel);
    child->SetBounds(10, 10, 50, 30);
    ASSERT_TRUE(child->ShowHint());
    MoveOnto(child, QPoint(5, 5));
    ASSERT_TRUE(WaitForHint());
    EXPECT_EQ(TRecordingHint::Activated.back(), "Pannello");
    EXPECT_EQ(Application->Hint(), "Pannello dei totali");
}

TEST_F(HintManagerTest, ExceptionsInTheHintWindowClassReachHandleException)
{
    std::vector<std::pair<TObject*, std::string>> seen;
    Application->OnException = [&](TObject* sender, Exception& e) { seen.push_back({sender, e.Message}); };
    TRecordingHint::Fault = TRecordingHint::InCalcHintRect;
    MoveOnto(First);
    ASSERT_TRUE(PumpUntil([&] { return !seen.empty(); }));
    EXPECT_EQ(seen[0], std::make_pair(static_cast<TObject*>(First), std::string("misura rotta")));
    EXPECT_FALSE(HintShowing());

    TRecordingHint::Fault = TRecordingHint::InPaint;
    MoveOnto(Second);
    ASSERT_TRUE(PumpUntil([&] { return seen.size() >= 2; }));
    EXPECT_EQ(seen[1].second, "pittura rotta");

    // The loop goes on: the next hint shows.
    TRecordingHint::Fault = TRecordingHint::None;
    TRecordingHint::Activated.clear();
    MoveOnto(First);
    EXPECT_TRUE(WaitForHint());
}

TEST_F(HintManagerTest, SwitchingHintsOnMakesTheWindowAnewFromTheCurrentClass)
{
    TRecordingHint::Created = 0;
    MoveOnto(First);
    ASSERT_TRUE(WaitForHint());
    Application->SetShowHint(false);
    EXPECT_FALSE(HintShowing());
    Application->SetShowHint(true);
    TRecordingHint::Activated.clear();
    MoveOnto(Second);
    ASSERT_TRUE(WaitForHint());
    EXPECT_EQ(TRecordingHint::Created, 2);

    // A null class is the plain hint window again.
    Application->SetHintWindowClass(nullptr);
    MoveOnto(First);
    EXPECT_TRUE(PumpUntil([] {
        for (QWidget* w : QApplication::topLevelWidgets())
            if (auto* host = dynamic_cast<IHostWidget*>(w); host && host->Control() && w->isVisible() &&
                                                            host->Control()->ClassName() == "THintWindow")
                return true;
        return false;
    }));
}

// --- The hint window ----------------------------------------------------------------------------------------

TEST(HintWindowTest, CalcHintRectMeasuresAsPaintDrawsWithTheHintFont)
{
    std::string longText;
    for (int i = 0; i < 400; ++i)
        longText += "fattura\x80 n\x96" + std::to_string(i) + " ";
    struct TCase {
        std::string Text;
        int MaxWidth;
    };
    const TCase cases[] = {{"Breve", 1000}, {"Salva && chiudi & esci", 1000}, {"\x80\x85\x8A\x91\x92\x93\x99\x9F", 1000},
                           {"una riga che va a capo piu' volte", 60}, {longText, 300}};
    THintWindow hint(nullptr);
    EXPECT_EQ(hint.Font()->Name(), Screen->HintFont()->Name());
    EXPECT_EQ(hint.Font()->Height(), Screen->HintFont()->Height());
    TBitmap bitmap;
    bitmap.SetSize(10, 10);
    bitmap.Canvas()->Font()->Assign(Screen->HintFont());
    for (const TCase& c : cases) {
        RECT expected = Rect(0, 0, c.MaxWidth, 0);
        DrawTextA(bitmap.Canvas()->Handle(), c.Text, -1, &expected, DT_CALCRECT | DT_LEFT | DT_WORDBREAK | DT_NOPREFIX);
        EXPECT_EQ(hint.CalcHintRect(c.MaxWidth, c.Text, nullptr), Rect(0, 0, expected.Right + 6, expected.Bottom + 2))
            << c.Text.substr(0, 40);
    }
    // Ampersands are measured as they are shown, and a long text wraps to the width.
    EXPECT_GT(hint.CalcHintRect(1000, "a & b", nullptr).Width(), hint.CalcHintRect(1000, "a  b", nullptr).Width());
    const TRect wrapped = hint.CalcHintRect(300, longText, nullptr);
    EXPECT_LE(wrapped.Width(), 306);
    EXPECT_GT(wrapped.Height(), 20 * hint.CalcHintRect(300, "x", nullptr).Height() / 2);
}

TEST(HintWindowTest, AHintNearTheScreenEdgeIsMovedInsideTheWorkArea)
{
    const TRect area = Screen->WorkAreaRect();
    struct TCase {
        const char* Name;
        TRect Asked;
        QPoint Expected;
    };
    // Every window is 4 pixels taller than asked, as the class library makes it.
    const TCase cases[] = {
        {"inside", Bounds(area.Left + 50, area.Top + 60, 80, 20), QPoint(area.Left + 50, area.Top + 60)},
        {"past the right edge", Bounds(area.Right - 30, area.Top + 60, 80, 20), QPoint(area.Right - 80, area.Top + 60)},
        {"past the bottom", Bounds(area.Left + 50, area.Bottom - 5, 80, 20), QPoint(area.Left + 50, area.Bottom - 24)},
        {"past both", Bounds(area.Right + 100, area.Bottom + 100, 80, 20), QPoint(area.Right - 80, area.Bottom - 24)},
        {"before the left edge", Bounds(area.Left - 40, area.Top + 60, 80, 20), QPoint(area.Left, area.Top + 60)},
    };
    THintWindow hint(nullptr);
    for (const TCase& c : cases) {
        hint.ActivateHint(c.Asked, "Suggerimento");
        ASSERT_NE(Widget(&hint), nullptr);
        EXPECT_EQ(Widget(&hint)->geometry(), QRect(c.Expected, QSize(80, 24))) << c.Name;
        EXPECT_EQ(hint.BoundsRect(), Bounds(c.Expected.x(), c.Expected.y(), 80, 24)) << c.Name;
    }
    // The mouse passes through it to the control beneath.
    EXPECT_TRUE(Widget(&hint)->windowFlags() & Qt::WindowTransparentForInput);
    hint.ReleaseHandle();
    EXPECT_FALSE(Widget(&hint)->isVisible());
}

// The smallest rectangle holding the pixels of area whose colour is not background.
QRect HintTextInk(const std::function<TColor(int x, int y)>& pixel, const QRect& area, TColor background)
{
    QRect ink;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            if (pixel(x, y) != background)
                ink |= QRect(x, y, 1, 1);
    return ink;
}

TEST(HintWindowTest, TheTextShowsWholeWithTwoPixelsOfMarginAllRound)
{
    // The descenders of the last line are the first pixels a window too short loses.
    const std::string texts[] = {"Angolo", "Angolo in basso\r\na destra: gg"};
    THintWindow hint(nullptr);
    const TColor background = static_cast<TColor>(ColorToRGB(hint.Color()));
    for (const std::string& text : texts) {
        TRect rect = hint.CalcHintRect(1000, text, nullptr);
        OffsetRect(rect, 100, 100);
        hint.ActivateHint(rect, text);
        Pump(30);
        const std::string path = ScreenshotDir() + "/hint.png";
        ASSERT_TRUE(GrabToPng(&hint, path));
        const QImage shown(QString::fromStdString(path));
        EXPECT_EQ(shown.size(), QSize(rect.Width(), rect.Height() + 4)) << text;
        // Inside the 1-pixel border.
        const QRect inside = shown.rect().adjusted(1, 1, -1, -1);
        const QRect ink = HintTextInk([&shown](int x, int y) { return ToTColor(shown.pixelColor(x, y)); }, inside, background);

        // The same text drawn by DrawText at (0, 0) on a bitmap with room to spare.
        TBitmap bitmap;
        bitmap.SetSize(rect.Width() + 20, rect.Height() + 20);
        TCanvas* canvas = bitmap.Canvas();
        canvas->Brush()->SetColor(hint.Color());
        canvas->FillRect(Rect(0, 0, bitmap.Width(), bitmap.Height()));
        canvas->Font()->Assign(hint.Font());
        canvas->Font()->SetColor(clInfoText);
        canvas->Brush()->SetStyle(bsClear);
        RECT area = Rect(0, 0, rect.Width() - 6, bitmap.Height());
        DrawTextA(canvas->Handle(), text, -1, &area, DT_LEFT | DT_NOPREFIX | DT_WORDBREAK);
        const QRect expected = HintTextInk([canvas](int x, int y) { return canvas->Pixels(x, y); },
                                     QRect(0, 0, bitmap.Width(), bitmap.Height()), background);

        ASSERT_FALSE(expected.isEmpty()) << text;
        // Border, 2 pixels of margin, then the text as DrawText draws it, nothing cut off.
        EXPECT_EQ(ink, expected.translated(3, 3)) << text;
        EXPECT_GE(ink.left(), 3) << text;
        EXPECT_GE(ink.top(), 3) << text;
        EXPECT_LE(ink.right(), shown.width() - 4) << text;
        EXPECT_LE(ink.bottom(), shown.height() - 4) << text;
    }
    hint.ReleaseHandle();
}

TEST(HintWindowTest, TextsOfAnyLengthReachTheWindowWhole)
{
    std::string text;
    for (int i = 0; i < 3000; ++i)
        text += static_cast<char>(0x80 + i % 32);
    text += " & fine";
    THintWindow hint(nullptr);
    const TRect rect = hint.CalcHintRect(Screen->Width(), text, nullptr);
    hint.ActivateHint(rect, text);
    EXPECT_EQ(hint.Caption(), text);
    EXPECT_GT(rect.Height(), 2);
    hint.ReleaseHandle();
}

} // namespace
