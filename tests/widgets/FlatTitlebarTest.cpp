#include "WidgetsTestSupport.h"

#include "platform/gui/Form.h"
#include "platform/gui/Grab.h"
#include "platform/gui/Label.h"
#include "platform/gui/Panel.h"
#include "platform/gui/WindowFunctions.h"
#include "platform/gui/WindowHandles.h"
#include "widgets/FlatCheckBox.h"
#include "widgets/FlatPanel.h"
#include "widgets/FlatTitlebar.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

namespace FlatTitlebarTest {

constexpr TColor ReminderTitle = 10307354;
constexpr TColor InactiveText = 16310998;

LPARAM At(int x, int y) { return static_cast<LPARAM>((y << 16) | (x & 0xFFFF)); }

// A borderless window like the reminder, built in its constructor so that its components are
// loaded as a form loads them: the caption bar, two section titles, a frame and two check boxes.
class TReminderForm : public TForm {
public:
    explicit TReminderForm(TComponent* owner, bool withContent = false) : TForm(owner)
    {
        SetBorderStyle(bsNone);
        SetBounds(80, 80, 320, 200);
        SetColor(clBtnFace);
        Titlebar = new TFlatTitlebar(this);
        Titlebar->SetParent(this);
        Titlebar->SetAlign(alTop);
        Titlebar->SetCaption("Promemoria");
        Titlebar->SetTitlebarColor(ReminderTitle);
        Titlebar->SetActiveTextColor(clWhite);
        Titlebar->SetInactiveTextColor(InactiveText);
        Titlebar->Font()->SetStyle(TFontStyles{fsBold});
        Titlebar->Font()->SetSize(8);
        if (withContent)
            AddContent();
    }

    void AddContent()
    {
        auto* frame = new TFlatPanel(this);
        frame->SetParent(this);
        frame->SetBounds(0, 19, 320, 181);
        frame->SetColors(0, clBtnShadow);
        frame->SetColors(1, clBtnShadow);
        const char* titles[] = {"Nota", "Avviso"};
        for (int i = 0; i < 2; ++i) {
            auto* title = new TFlatPanel(this);
            title->SetParent(frame);
            title->SetBounds(8, 8 + 80 * i, 304, 20);
            title->SetParentColor(false);
            title->SetColor(ReminderTitle);
            title->SetColors(0, 0xD08A4E);
            title->SetColors(1, 0x5A2A10);
            title->SetAlignment(taLeftJustify);
            title->SetParentFont(false);
            title->Font()->SetColor(clWhite);
            title->Font()->SetStyle(TFontStyles{fsBold});
            title->SetCaption(std::string("  ") + titles[i]);
        }
        auto* text = new TLabel(this);
        text->SetParent(frame);
        text->SetBounds(12, 36, 290, 36);
        text->SetCaption("Telefonare al fornitore per la consegna di lunedi'.");
        auto* alarm = new TFlatCheckBox(this);
        alarm->SetParent(frame);
        alarm->SetBounds(12, 116, 200, 17);
        alarm->SetCaption("&Allarme attivo");
        alarm->SetChecked(true);
        auto* repeat = new TFlatCheckBox(this);
        repeat->SetParent(frame);
        repeat->SetBounds(12, 140, 200, 17);
        repeat->SetCaption("Ripeti ogni giorno");
        repeat->SetChecked(true);
        repeat->SetEnabled(false);
    }

    TFlatTitlebar* Titlebar = nullptr;
};

// Made and loaded as the application makes a form.
TReminderForm* MakeReminder(bool withContent = false)
{
    auto* form = new TReminderForm(nullptr, withContent);
    form->AfterConstruction();
    return form;
}

void Activate(TForm* form)
{
    form->Show();
    SetForegroundWindow(form->Handle());
    PumpWhile([form] { return GetActiveWindow() != form->Handle(); }, 2000);
    PumpFor(10);
}

// Pixels of the title bar in exactly this colour.
int PixelsOf(TFlatTitlebar* bar, TColor color)
{
    TGrab grab(bar);
    int count = 0;
    for (int y = 0; y < grab.Height(); ++y)
        for (int x = 0; x < grab.Width(); ++x)
            count += grab.At(x, y) == color;
    return count;
}

TEST(FlatTitlebar, OnlyAFormCanBeItsParent)
{
    TForm form(nullptr);
    auto* panel = new TPanel(&form);
    panel->SetParent(&form);
    auto* bar = new TFlatTitlebar(&form);
    try {
        bar->SetParent(panel);
        ADD_FAILURE() << "no exception";
    } catch (const EInvalidOperation& e) {
        EXPECT_EQ(e.Message, "TFlatTitlebar can only be placed on a descndant of a TCustomForm");
    }
    EXPECT_EQ(bar->Parent(), nullptr);
    bar->SetParent(&form);
    EXPECT_EQ(bar->Parent(), &form);
    EXPECT_THROW(bar->SetParent(panel), EInvalidOperation);
    EXPECT_EQ(bar->Parent(), &form);
    EXPECT_EQ(bar->Width(), 100);
    EXPECT_EQ(bar->Height(), 19);
}

TEST(FlatTitlebar, TheCaptionFollowsTheFormsActivation)
{
    std::unique_ptr<TReminderForm> reminder(MakeReminder());
    TForm other(nullptr);
    other.SetBounds(450, 80, 200, 120);
    int activations = 0, deactivations = 0;
    TObject* sender = nullptr;
    reminder->Titlebar->OnActivate = [&](TObject* s) {
        ++activations;
        sender = s;
    };
    reminder->Titlebar->OnDeactivate = [&](TObject*) { ++deactivations; };

    Activate(reminder.get());
    EXPECT_TRUE(reminder->Titlebar->Active());
    EXPECT_EQ(sender, reminder->Titlebar);
    EXPECT_GT(PixelsOf(reminder->Titlebar, ReminderTitle), 0);
    EXPECT_GT(PixelsOf(reminder->Titlebar, clWhite), 0);
    EXPECT_EQ(PixelsOf(reminder->Titlebar, InactiveText), 0);

    activations = 0;
    Activate(&other);
    EXPECT_FALSE(reminder->Titlebar->Active());
    EXPECT_EQ(deactivations, 1);
    EXPECT_GT(PixelsOf(reminder->Titlebar, InactiveText), 0);
    EXPECT_EQ(PixelsOf(reminder->Titlebar, clWhite), 0);

    Activate(reminder.get());
    EXPECT_EQ(activations, 1);
    EXPECT_TRUE(reminder->Titlebar->Active());
    EXPECT_GT(PixelsOf(reminder->Titlebar, clWhite), 0);
    EXPECT_EQ(PixelsOf(reminder->Titlebar, InactiveText), 0);
}

TEST(FlatTitlebar, ALeftDragMovesTheOwnerForm)
{
    std::unique_ptr<TReminderForm> reminder(MakeReminder());
    Activate(reminder.get());
    TFlatTitlebar* bar = reminder->Titlebar;
    int mouseEvents = 0;
    bar->OnMouseDown = [&](TObject*, TMouseButton, TShiftState, int, int) { ++mouseEvents; };
    bar->OnMouseMove = [&](TObject*, TShiftState, int, int) { ++mouseEvents; };
    bar->OnMouseUp = [&](TObject*, TMouseButton, TShiftState, int, int) { ++mouseEvents; };

    bar->Perform(WM_RBUTTONDOWN, MK_RBUTTON, At(10, 5));
    bar->Perform(WM_MOUSEMOVE, MK_RBUTTON, At(40, 25));
    EXPECT_EQ(Point(reminder->Left(), reminder->Top()), Point(80, 80)) << "a right press drags nothing";
    bar->Perform(WM_RBUTTONUP, 0, At(40, 25));

    bar->Perform(WM_LBUTTONDOWN, MK_LBUTTON, At(10, 5));
    bar->Perform(WM_MOUSEMOVE, MK_LBUTTON, At(40, 25));
    EXPECT_EQ(Point(reminder->Left(), reminder->Top()), Point(110, 100));
    // The bar moved with the form: the start point is under the cursor again.
    bar->Perform(WM_MOUSEMOVE, MK_LBUTTON, At(10, 5));
    EXPECT_EQ(Point(reminder->Left(), reminder->Top()), Point(110, 100));
    bar->Perform(WM_LBUTTONUP, 0, At(10, 5));
    bar->Perform(WM_MOUSEMOVE, 0, At(50, 10));
    EXPECT_EQ(Point(reminder->Left(), reminder->Top()), Point(110, 100)) << "released, the drag is over";
    EXPECT_EQ(mouseEvents, 0) << "the mouse events of the title bar never fire";

    // Owned by a data module: dragging moves nothing and raises nothing.
    TDataModule module(nullptr);
    auto* loose = new TFlatTitlebar(&module);
    loose->SetParent(reminder.get());
    loose->SetBounds(0, 100, 100, 19);
    EXPECT_NO_THROW({
        loose->Perform(WM_LBUTTONDOWN, MK_LBUTTON, At(10, 5));
        loose->Perform(WM_MOUSEMOVE, MK_LBUTTON, At(40, 25));
        loose->Perform(WM_LBUTTONUP, 0, At(40, 25));
    });
    EXPECT_EQ(Point(reminder->Left(), reminder->Top()), Point(110, 100));
}

TEST(FlatTitlebar, FreedBeforeItsFormItUnhooksItself)
{
    std::unique_ptr<TReminderForm> reminder(MakeReminder());
    TForm other(nullptr);
    other.SetBounds(450, 80, 200, 120);
    int formActivations = 0;
    reminder->OnActivate = [&](TObject*) { ++formActivations; };
    Activate(reminder.get());

    // Freed while its hook is the form's procedure: the form's own procedure comes back.
    WNDPROC hooked = GetWindowProc(reminder->Handle());
    delete reminder->Titlebar;
    reminder->Titlebar = nullptr;
    EXPECT_NE(GetWindowProc(reminder->Handle()), hooked);
    Activate(&other);
    formActivations = 0;
    Activate(reminder.get());
    EXPECT_EQ(formActivations, 1);

    // Freed under a later hook: its own only passes the messages on from then on.
    auto* bar = new TFlatTitlebar(reminder.get());
    bar->SetParent(reminder.get());
    bar->Loaded();
    int laterHookActivations = 0;
    WNDPROC beneath = GetWindowProc(reminder->Handle());
    SetWindowLongPtrA(reminder->Handle(), GWL_WNDPROC,
                      WNDPROC([&](HWND handle, UINT message, WPARAM wParam, LPARAM lParam) -> LRESULT {
                          if (message == WM_ACTIVATE && LOWORD(wParam) != WA_INACTIVE)
                              ++laterHookActivations;
                          return CallWindowProcA(beneath, handle, message, wParam, lParam);
                      }));
    delete bar;
    Activate(&other);
    formActivations = 0;
    Activate(reminder.get());
    EXPECT_EQ(laterHookActivations, 1);
    EXPECT_EQ(formActivations, 1);
}

TEST(FlatTitlebarDemonstration, AReminderLikeWindow)
{
    std::unique_ptr<TReminderForm> reminder(MakeReminder(true));
    Activate(reminder.get());
    const std::string path = ScreenshotFolder() + "/flat-reminder.png";
    ASSERT_TRUE(GrabToPng(reminder.get(), path));
}

} // namespace FlatTitlebarTest
