#include "GuiTestSupport.h"

#include "platform/gui/Form.h"
#include "platform/gui/InputTranslation.h"
#include "platform/gui/Screen.h"
#include "platform/gui/SystemMetrics.h"
#include "platform/gui/WindowFunctions.h"
#include "platform/gui/WindowHandles.h"
#include "platform/gui/private/ControlHost.h"

#include <QApplication>
#include <QLineEdit>
#include <QTest>
#include <QWheelEvent>

#include <gtest/gtest.h>

namespace {

class Input : public testing::Test {
protected:
    void SetUp() override
    {
        form = new TForm(nullptr);
        form->SetBounds(50, 50, 300, 200);
        control = new TRecorder(form);
        control->SetParent(form);
        control->SetBounds(10, 10, 100, 60);
        control->SetTabStop(true);
        ShowAndActivate(form);
        control->SetFocus();
        Application->ProcessMessages();
    }
    void TearDown() override { TComponent::Free(form); }

    void Send(QEvent::Type type, int key, Qt::KeyboardModifiers modifiers, const QString& text)
    {
        QKeyEvent event(type, key, modifiers, text);
        QCoreApplication::sendEvent(Widget(control), &event);
    }

    TForm* form = nullptr;
    TRecorder* control = nullptr;
};

struct TKeyCase {
    const char* Name;
    int Key;
    Qt::KeyboardModifiers Modifiers;
    QString Text;
    std::vector<std::pair<UINT, WPARAM>> Expected;
};

TEST_F(Input, KeysBecomeTheClassLibraryMessages)
{
    const TKeyCase cases[] = {
        {"a", Qt::Key_A, Qt::NoModifier, "a", {{WM_KEYDOWN, 65}, {WM_CHAR, 97}, {WM_KEYUP, 65}}},
        {"Shift+a", Qt::Key_A, Qt::ShiftModifier, "A", {{WM_KEYDOWN, 65}, {WM_CHAR, 65}, {WM_KEYUP, 65}}},
        {"Ctrl+a", Qt::Key_A, Qt::ControlModifier, "\x01", {{WM_KEYDOWN, 65}, {WM_CHAR, 1}, {WM_KEYUP, 65}}},
        {"Enter", Qt::Key_Return, Qt::NoModifier, "\r", {{WM_KEYDOWN, 13}, {WM_CHAR, 13}, {WM_KEYUP, 13}}},
        {"F1", Qt::Key_F1, Qt::NoModifier, "", {{WM_KEYDOWN, 112}, {WM_KEYUP, 112}}},
        {"pad +", Qt::Key_Plus, Qt::KeypadModifier, "+", {{WM_KEYDOWN, 107}, {WM_CHAR, 43}, {WM_KEYUP, 107}}},
        {"Alt+x", Qt::Key_X, Qt::AltModifier, "x", {{WM_SYSKEYDOWN, 88}, {WM_SYSCHAR, 120}, {WM_SYSKEYUP, 88}}},
        {"AltGr euro", Qt::Key_E, Qt::GroupSwitchModifier, QString(QChar(0x20AC)),
         {{WM_KEYDOWN, 69}, {WM_CHAR, 0x80}, {WM_KEYUP, 69}}},
        {"l stroke", Qt::Key_A, Qt::NoModifier, QString(QChar(0x0142)), {{WM_KEYDOWN, 65}, {WM_KEYUP, 65}}},
    };
    control->DlgCode = DLGC_WANTALLKEYS | DLGC_WANTCHARS;
    TShiftState shiftOfShiftA;
    TShiftState shiftOfCtrlA;
    TShiftState shiftOfEuro{ssAlt};
    control->OnKeyDown = [&](TObject*, WORD& key, TShiftState shift) {
        if (key == 65 && shift.Contains(ssShift))
            shiftOfShiftA = shift;
        if (key == 65 && shift.Contains(ssCtrl))
            shiftOfCtrlA = shift;
        if (key == 69)
            shiftOfEuro = shift;
    };
    for (const TKeyCase& c : cases) {
        control->WatchOnly({WM_KEYDOWN, WM_KEYUP, WM_CHAR, WM_SYSKEYDOWN, WM_SYSKEYUP, WM_SYSCHAR});
        Send(QEvent::KeyPress, c.Key, c.Modifiers, c.Text);
        Send(QEvent::KeyRelease, c.Key, c.Modifiers, c.Text);
        std::vector<std::pair<UINT, WPARAM>> seen;
        for (const auto& entry : control->Log)
            seen.emplace_back(entry.Msg, entry.WParam);
        EXPECT_EQ(seen, c.Expected) << c.Name;
    }
    EXPECT_TRUE(shiftOfShiftA.Contains(ssShift));
    EXPECT_TRUE(shiftOfCtrlA.Contains(ssCtrl));
    EXPECT_FALSE(shiftOfEuro.Contains(ssCtrl));
    EXPECT_FALSE(shiftOfEuro.Contains(ssAlt));
}

TEST_F(Input, KeyPreviewGivesTheFormTheKeyFirst)
{
    std::vector<std::string> order;
    form->KeyPreview = true;
    bool zero = false;
    form->OnKeyDown = [&](TObject*, WORD& key, TShiftState) {
        order.push_back("form");
        if (zero)
            key = 0;
    };
    WORD releasedOnForm = 0;
    form->OnKeyUp = [&](TObject*, WORD& key, TShiftState) { releasedOnForm = key; };
    control->OnKeyDown = [&](TObject*, WORD&, TShiftState) { order.push_back("control"); };
    QTest::keyClick(Widget(control), Qt::Key_B);
    EXPECT_EQ(order, (std::vector<std::string>{"form", "control"}));
    order.clear();
    zero = true;
    QTest::keyClick(Widget(control), Qt::Key_B);
    EXPECT_EQ(order, std::vector<std::string>{"form"});
    QTest::keyClick(Widget(control), Qt::Key_F1);
    EXPECT_EQ(releasedOnForm, VK_F1);
}

TEST_F(Input, ZeroingTheKeyInKeyDownStillDeliversTheCharacter)
{
    control->DlgCode = DLGC_WANTCHARS;
    control->OnKeyDown = [](TObject*, WORD& key, TShiftState) { key = 0; };
    char received = 0;
    control->OnKeyPress = [&](TObject*, char& key) { received = key; };
    QTest::keyClick(Widget(control), Qt::Key_A, Qt::NoModifier);
    EXPECT_EQ(received, 'a');
}

// A control hosted on QLineEdit through the host template.
class TLineEditControl : public TWinControl {
    TESS_CLASS(TLineEditControl, TWinControl)
public:
    using TWinControl::TWinControl;
    QLineEdit* Edit() const { return static_cast<QLineEdit*>(WidgetOf(this)); }

protected:
    IHostWidget* CreateHost(const TCreateParams&, void* parent) override
    {
        return new TControlHost<QLineEdit>(this, static_cast<QWidget*>(parent));
    }
    void KeyPress(char& key) override
    {
        if (key == '.')
            key = ',';
        TWinControl::KeyPress(key);
    }
    void Dispatch(TMessage& Message) override
    {
        if (Message.Msg == WM_GETDLGCODE) {
            Message.Result = DLGC_WANTCHARS | DLGC_WANTARROWS;
            return;
        }
        TWinControl::Dispatch(Message);
    }
};

TEST_F(Input, KeyPressOnAQtHostedControlChangesWhatTheWidgetTypes)
{
    auto* edit = new TLineEditControl(form);
    edit->SetParent(form);
    edit->SetBounds(10, 100, 120, 22);
    edit->SetFocus();
    Application->ProcessMessages();
    QTest::keyClicks(edit->Edit(), "1.5");
    EXPECT_EQ(edit->Edit()->text(), "1,5");
    edit->Perform(WM_KEYDOWN, VK_HOME, 0);
    edit->Perform(WM_CHAR, 'x', 0);
    EXPECT_EQ(edit->Edit()->text(), "x1,5");
}

TEST_F(Input, TabVisitsTheControlsInTabOrderAndWraps)
{
    auto* a = control;
    auto* b = new TRecorder(form);
    b->SetParent(form);
    b->SetTabStop(true);
    auto* c = new TRecorder(form);
    c->SetParent(form);
    c->SetTabStop(true);
    a->SetTabOrder(2);
    b->SetTabOrder(0);
    c->SetTabOrder(1);
    b->SetFocus();
    Application->ProcessMessages();
    std::vector<TWinControl*> visited;
    for (int i = 0; i < 3; ++i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        visited.push_back(form->ActiveControl());
    }
    EXPECT_EQ(visited, (std::vector<TWinControl*>{c, a, b}));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backtab, Qt::ShiftModifier);
    EXPECT_EQ(form->ActiveControl(), a);
    a->DlgCode = DLGC_WANTTAB;
    a->WatchOnly({WM_KEYDOWN});
    QTest::keyClick(Widget(a), Qt::Key_Tab);
    EXPECT_EQ(form->ActiveControl(), a);
    EXPECT_EQ(a->Messages(), std::vector<UINT>{WM_KEYDOWN});
}

class TAccelControl : public TRecorder {
public:
    using TRecorder::TRecorder;
    int Activated = 0;
    void WndProc(TMessage& Message) override
    {
        if (Message.Msg == CM_DIALOGCHAR) {
            const std::string caption = Caption();
            const std::size_t amp = caption.find('&');
            if (amp != std::string::npos && amp + 1 < caption.size() &&
                std::toupper(static_cast<unsigned char>(caption[amp + 1])) ==
                    std::toupper(static_cast<int>(Message.WParam & 0xFF))) {
                ++Activated;
                Message.Result = 1;
                return;
            }
        }
        TRecorder::WndProc(Message);
    }
};

TEST_F(Input, EnterReachesTheFormAndAltLetterReachesTheAccelerator)
{
    bool dialogKey = false;
    form->WindowProc = [&](TMessage& m) {
        if (m.Msg == CM_DIALOGKEY && m.WParam == VK_RETURN)
            dialogKey = true;
        form->WndProc(m);
    };
    QTest::keyClick(Widget(control), Qt::Key_Return);
    EXPECT_TRUE(dialogKey);
    auto* dati = new TAccelControl(form);
    dati->SetParent(form);
    dati->SetCaption("&Dati");
    QTest::keyClick(Widget(control), Qt::Key_D, Qt::AltModifier);
    EXPECT_EQ(dati->Activated, 1);
    form->WindowProc = [&](TMessage& m) { form->WndProc(m); };
}

// The events Qt delivers for a double click: press, release, double click, release.
void DoubleClick(QWidget* widget, QPoint pos)
{
    QTest::mousePress(widget, Qt::LeftButton, {}, pos);
    QTest::mouseRelease(widget, Qt::LeftButton, {}, pos);
    QMouseEvent dbl(QEvent::MouseButtonDblClick, pos, widget->mapToGlobal(pos), Qt::LeftButton, Qt::LeftButton,
                    Qt::NoModifier);
    QCoreApplication::sendEvent(widget, &dbl);
    QTest::mouseRelease(widget, Qt::LeftButton, {}, pos);
}

TEST_F(Input, MouseClicksDoubleClicksCaptureAndWheel)
{
    int clicks = 0;
    int doubleClicks = 0;
    control->OnClick = [&](TObject*) { ++clicks; };
    control->OnDblClick = [&](TObject*) { ++doubleClicks; };
    control->WatchOnly({WM_LBUTTONDOWN, WM_LBUTTONUP, WM_LBUTTONDBLCLK});
    QTest::mouseClick(Widget(control), Qt::LeftButton, {}, QPoint(5, 5));
    EXPECT_EQ(control->Messages(), (std::vector<UINT>{WM_LBUTTONDOWN, WM_LBUTTONUP}));
    EXPECT_EQ(clicks, 1);

    control->WatchOnly({WM_LBUTTONDOWN, WM_LBUTTONUP, WM_LBUTTONDBLCLK});
    DoubleClick(Widget(control), QPoint(5, 5));
    std::vector<UINT> withDouble = control->Messages();
    control->ControlStyle.Exclude(csDoubleClicks);
    control->WatchOnly({WM_LBUTTONDOWN, WM_LBUTTONUP, WM_LBUTTONDBLCLK});
    DoubleClick(Widget(control), QPoint(5, 5));
    EXPECT_EQ(control->Messages(), (std::vector<UINT>{WM_LBUTTONDOWN, WM_LBUTTONUP, WM_LBUTTONDOWN, WM_LBUTTONUP}));
    EXPECT_EQ(withDouble, (std::vector<UINT>{WM_LBUTTONDOWN, WM_LBUTTONUP, WM_LBUTTONDBLCLK, WM_LBUTTONUP}));
    EXPECT_EQ(doubleClicks, 1);

    std::vector<TPoint> moves;
    control->OnMouseMove = [&](TObject*, TShiftState, int x, int y) { moves.push_back({x, y}); };
    QTest::mousePress(Widget(control), Qt::LeftButton, {}, QPoint(5, 5));
    QMouseEvent move(QEvent::MouseMove, QPointF(-20, -5), Widget(control)->mapToGlobal(QPointF(-20, -5)),
                     Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(Widget(control), &move);
    QTest::mouseRelease(Widget(control), Qt::LeftButton, {}, QPoint(-20, -5));
    ASSERT_FALSE(moves.empty());
    EXPECT_EQ(moves.back(), (TPoint{-20, -5}));

    std::vector<int> deltas;
    control->OnMouseWheel = [&](TObject*, TShiftState, int delta, TPoint, bool& handled) {
        deltas.push_back(delta);
        handled = true;
    };
    auto wheel = [&](int delta) {
        const QPointF local(5, 5);
        QWheelEvent event(local, Widget(control)->mapToGlobal(local), QPoint(), QPoint(0, delta), Qt::NoButton,
                          Qt::NoModifier, Qt::NoScrollPhase, false);
        QCoreApplication::sendEvent(Widget(control), &event);
    };
    wheel(40);
    wheel(40);
    wheel(40);
    EXPECT_EQ(deltas, std::vector<int>{120});
    wheel(-240);
    EXPECT_EQ(deltas, (std::vector<int>{120, -120, -120}));
}

TEST_F(Input, EnterAndLeaveReachTheControlAndItsParent)
{
    std::vector<std::pair<TControl*, LPARAM>> seen;
    form->WindowProc = [&](TMessage& m) {
        if (m.Msg == CM_MOUSEENTER || m.Msg == CM_MOUSELEAVE)
            seen.emplace_back(form, m.LParam);
        form->WndProc(m);
    };
    control->WatchOnly({CM_MOUSEENTER, CM_MOUSELEAVE});
    QEvent enter(QEvent::Enter);
    QCoreApplication::sendEvent(Widget(control), &enter);
    QEvent leave(QEvent::Leave);
    QCoreApplication::sendEvent(Widget(control), &leave);
    EXPECT_EQ(control->Messages(), (std::vector<UINT>{CM_MOUSEENTER, CM_MOUSELEAVE}));
    ASSERT_EQ(seen.size(), 2u);
    EXPECT_EQ(seen[0].second, reinterpret_cast<LPARAM>(control));
    form->WindowProc = [&](TMessage& m) { form->WndProc(m); };
}

TEST_F(Input, FocusMovesWithExitBeforeEnter)
{
    auto* panelA = new TCustomControl(form);
    panelA->SetParent(form);
    panelA->SetBounds(0, 100, 100, 50);
    auto* panelB = new TCustomControl(form);
    panelB->SetParent(form);
    panelB->SetBounds(150, 100, 100, 50);
    auto* a = new TRecorder(form);
    a->SetParent(panelA);
    auto* b = new TRecorder(form);
    b->SetParent(panelB);
    a->SetFocus();
    Application->ProcessMessages();
    std::vector<std::string> order;
    a->WatchOnly({WM_KILLFOCUS});
    b->WatchOnly({WM_SETFOCUS});
    a->OnExit = [&](TObject*) { order.push_back("exit A"); };
    b->OnEnter = [&](TObject*) { order.push_back("enter B"); };
    int changes = 0;
    Screen->OnActiveControlChange = [&](TObject*) { ++changes; };
    b->SetFocus();
    Application->ProcessMessages();
    Screen->OnActiveControlChange = nullptr;
    EXPECT_EQ(a->Messages(), std::vector<UINT>{WM_KILLFOCUS});
    EXPECT_EQ(b->Messages(), std::vector<UINT>{WM_SETFOCUS});
    EXPECT_EQ(order, (std::vector<std::string>{"exit A", "enter B"}));
    EXPECT_EQ(form->ActiveControl(), b);
    EXPECT_EQ(changes, 1);
    b->SetVisible(false);
    try {
        b->SetFocus();
        ADD_FAILURE() << "no exception";
    } catch (const EInvalidOperation& e) {
        EXPECT_EQ(e.Message, "Cannot focus a disabled or invisible window");
    }
}

class TPopupControl : public TCustomControl {
public:
    using TCustomControl::TCustomControl;

protected:
    void CreateParams(TCreateParams& Params) override
    {
        TCustomControl::CreateParams(Params);
        Params.Style = WS_POPUP | WS_BORDER;
        Params.ExStyle = WS_EX_TOOLWINDOW;
        Params.WndParent = nullptr;
    }
};

TEST_F(Input, PopupDoesNotTakeTheFocusAndPressesElsewhereCancelMode)
{
    auto* other = new TRecorder(form);
    other->SetParent(form);
    other->SetBounds(150, 10, 50, 50);
    auto* popup = new TPopupControl(form);
    popup->SetVisible(false);
    popup->SetBounds(200, 200, 80, 80);
    popup->HandleNeeded();
    ShowWindow(popup->Handle(), SW_SHOWNOACTIVATE);
    Application->ProcessMessages();
    EXPECT_TRUE(Widget(popup)->isVisible());
    EXPECT_TRUE(control->Focused());
    control->WatchOnly({CM_CANCELMODE});
    QTest::mouseClick(Widget(other), Qt::LeftButton, {}, QPoint(5, 5));
    // Once as the form's active control, once as the control that opened the popup.
    ASSERT_EQ(control->Log.size(), 2u);
    EXPECT_EQ(control->Log[0].LParam, reinterpret_cast<LPARAM>(other));
    EXPECT_EQ(control->Log[1].LParam, reinterpret_cast<LPARAM>(other));
    control->WatchOnly({CM_CANCELMODE});
    QTest::mouseClick(Widget(popup), Qt::LeftButton, {}, QPoint(5, 5));
    EXPECT_TRUE(control->Log.empty());
    TComponent::Free(popup);
}

// A control whose client area lies inside a sunken edge.
class TEdgedControl : public TCustomControl {
public:
    using TCustomControl::TCustomControl;

protected:
    void CreateParams(TCreateParams& Params) override
    {
        TCustomControl::CreateParams(Params);
        Params.ExStyle |= WS_EX_CLIENTEDGE;
    }
};

TEST_F(Input, APopupWithAParentLiesOnTheScreenWhereItsBoundsSay)
{
    auto* parent = new TEdgedControl(form);
    parent->SetParent(form);
    parent->SetBounds(10, 80, 100, 30);
    auto* popup = new TPopupControl(form);
    popup->SetVisible(false);
    popup->SetParent(parent);
    popup->SetBounds(200, 210, 80, 60);
    ShowWindow(popup->Handle(), SW_SHOWNOACTIVATE);
    Application->ProcessMessages();
    EXPECT_TRUE(Widget(popup)->isWindow());
    EXPECT_EQ(Widget(popup)->geometry(), QRect(200, 210, 80, 60));
    EXPECT_EQ(popup->ClientToScreen(Point(0, 0)), Point(201, 211));
    popup->SetBounds(150, 160, 80, 60);
    EXPECT_EQ(Widget(popup)->geometry().topLeft(), QPoint(150, 160));
    EXPECT_TRUE(control->Focused());
    TComponent::Free(popup);
}

TEST_F(Input, DroppedFilesArriveWholeThroughDragQueryFile)
{
    const std::string longName = "/tmp/" + std::string(300, 'x') + ".txt";
    std::vector<std::string> names;
    UINT count = 0;
    control->WindowProc = [&](TMessage& m) {
        if (m.Msg == WM_DROPFILES) {
            auto drop = reinterpret_cast<HDROP>(m.WParam);
            count = DragQueryFileA(drop, 0xFFFFFFFF, nullptr, 0);
            for (UINT i = 0; i < count; ++i) {
                std::string name(DragQueryFileA(drop, i, nullptr, 0), '\0');
                DragQueryFileA(drop, i, name.data(), static_cast<UINT>(name.size() + 1));
                names.push_back(name);
            }
            DragFinish(drop);
        }
        control->WndProc(m);
    };
    DragAcceptFiles(control->Handle(), TRUE);
    SendMessageA(control->Handle(), WM_DROPFILES,
                 reinterpret_cast<WPARAM>(CreateDrop({"/tmp/fattura.txt", longName}, {3, 4})), 0);
    EXPECT_EQ(count, 2u);
    EXPECT_EQ(names, (std::vector<std::string>{"/tmp/fattura.txt", longName}));
}

TEST(ShortCuts, TextAndBack)
{
    EXPECT_EQ(ShortCutToText(ShortCut('N', {ssCtrl})), "Ctrl+N");
    EXPECT_EQ(ShortCutToText(ShortCut(VK_INSERT, {ssShift})), "Shift+Ins");
    EXPECT_EQ(TextToShortCut("Alt+F4"), 0x8073);
    EXPECT_EQ(TextToShortCut("Ctrl+Shift+Del"), scCtrl | scShift | VK_DELETE);
    EXPECT_EQ(TextToShortCut("Nulla"), 0);
}

} // namespace

namespace {

// A window enabled for the mouse while its control stays disabled for the keyboard: the
// window's state is the window system's, the control's Enabled property is the program's.
TEST_F(Input, EnableWindowChangesTheWindowNotTheControlsEnabledProperty)
{
    control->SetEnabled(false);
    EXPECT_FALSE(IsWindowEnabled(control->Handle()));
    EXPECT_EQ(EnableWindow(control->Handle(), TRUE), TRUE) << "it was disabled";
    EXPECT_FALSE(control->Enabled());
    EXPECT_TRUE(IsWindowEnabled(control->Handle()));
    EXPECT_EQ(GetWindowLongPtr(control->Handle(), GWL_STYLE) & static_cast<LONG_PTR>(WS_DISABLED), 0);
    int clicks = 0;
    control->OnClick = [&](TObject*) { ++clicks; };
    QTest::mouseClick(Widget(control), Qt::LeftButton, {}, QPoint(5, 5));
    EXPECT_EQ(clicks, 1);

    EXPECT_EQ(EnableWindow(control->Handle(), FALSE), FALSE);
    EXPECT_FALSE(IsWindowEnabled(control->Handle()));
    control->SetEnabled(true);
    EXPECT_TRUE(IsWindowEnabled(control->Handle())) << "enabling the control enables its window";
}

TEST(Beeps, AHookHearsEveryBeepUntilItIsTakenAway)
{
    std::vector<UINT> heard;
    SetBeepHook([&](UINT type) { heard.push_back(type); });
    MessageBeep(0);
    MessageBeep(0x30);
    Beep(440, 10);
    SetBeepHook({});
    MessageBeep(0);
    EXPECT_EQ(heard, (std::vector<UINT>{0, 0x30, 0}));
}

} // namespace
