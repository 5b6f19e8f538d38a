// The one classic look of every control, read from grabbed pictures: the sunken 2-pixel edge round
// every field whether it has the focus or not, arrow buttons raised alike, the classic radio mark.

#include "GuiTestSupport.h"

#include "platform/gui/ComboBox.h"
#include "platform/gui/DateTimePicker.h"
#include "platform/gui/Edit.h"
#include "platform/gui/Form.h"
#include "platform/gui/Grab.h"
#include "platform/gui/ListBox.h"
#include "platform/gui/ListView.h"
#include "platform/gui/MaskEdit.h"
#include "platform/gui/Memo.h"
#include "platform/gui/RadioButton.h"
#include "platform/gui/ScrollBar.h"
#include "platform/gui/UpDown.h"
#include "platform/gui/private/QtBridge.h"

#include <QImage>

#include <gtest/gtest.h>

#include <functional>
#include <string>

namespace {

class ClassicLook : public testing::Test {
protected:
    void SetUp() override
    {
        form = TForm::Create<TForm>(nullptr);
        form->SetBounds(100, 100, 400, 300);
    }
    void TearDown() override { TComponent::Free(form); }

    template <typename T>
    T* Make(int width, int height)
    {
        auto* control = new T(form);
        control->SetParent(form);
        control->SetBounds(20, 20, width, height);
        return control;
    }
    // The control as GrabToPng writes it, read back from the file.
    QImage Grab(TWinControl* control, const std::string& name)
    {
        Application->ProcessMessages();
        const std::string path = ScreenshotDir() + "/classic-" + name + ".png";
        EXPECT_TRUE(GrabToPng(control, path)) << name;
        return QImage(QString::fromStdString(path));
    }

    TForm* form = nullptr;
};

TColor LookRgb(TColor color) { return static_cast<TColor>(ColorToRGB(color)); }
TColor LookPixel(const QImage& image, int x, int y) { return ToTColor(image.pixelColor(x, y)); }

TEST_F(ClassicLook, FieldsHaveTheSunkenTwoPixelEdgeWithOrWithoutTheFocus)
{
    struct TCase {
        const char* Name;
        std::function<TWinControl*()> Make;
    };
    const TCase cases[] = {
        {"edit",
         [this] {
             auto* edit = Make<TEdit>(121, 25);
             edit->SetText("Rossi S.r.l.");
             return edit;
         }},
        {"maskedit", [this] { return Make<TMaskEdit>(121, 25); }},
        {"memo",
         [this] {
             auto* memo = Make<TMemo>(185, 89);
             memo->Lines()->Add("Prima riga");
             return memo;
         }},
        {"listbox",
         [this] {
             auto* list = Make<TListBox>(150, 80);
             list->Items()->Add("Articolo 1");
             return list;
         }},
        {"listview", [this] { return Make<TListView>(200, 80); }},
        {"combobox", [this] { return Make<TComboBox>(150, 21); }},
        {"datetimepicker", [this] { return Make<TDateTimePicker>(110, 21); }},
    };
    ShowAndActivate(form);
    for (const TCase& c : cases) {
        TWinControl* control = c.Make();
        for (bool focused : {false, true}) {
            if (focused) {
                control->SetFocus();
                ASSERT_TRUE(PumpUntil([control] { return control->Focused(); })) << c.Name;
            }
            const std::string name = std::string(c.Name) + (focused ? "-focused" : "");
            const QImage image = Grab(control, name);
            ASSERT_FALSE(image.isNull()) << name;
            const int w = image.width(), h = image.height(), mx = w / 2, my = h / 2;
            // Shadow over dark shadow at the top and left, white over 3-D light at the bottom and
            // right; a focus ring of another style would take the place of one of them.
            const struct {
                int X, Y;
                TColor Color;
                const char* Where;
            } edge[] = {
                {mx, 0, clBtnShadow, "outer top"},      {0, my, clBtnShadow, "outer left"},
                {mx, 1, cl3DDkShadow, "inner top"},     {1, my, cl3DDkShadow, "inner left"},
                {mx, h - 1, clBtnHighlight, "outer bottom"}, {w - 1, my, clBtnHighlight, "outer right"},
                {mx, h - 2, cl3DLight, "inner bottom"}, {w - 2, my, cl3DLight, "inner right"},
            };
            for (const auto& e : edge)
                EXPECT_EQ(LookPixel(image, e.X, e.Y), LookRgb(e.Color)) << name << ", " << e.Where;
        }
        TComponent::Free(control);
    }
}

TEST_F(ClassicLook, ArrowButtonsAreRaisedAlike)
{
    // The combo box paints its own button, the date picker and the scroll bar take Qt's classic
    // style, the up-down paints itself: all show the same edge, white inside a 3-D light line.
    auto* combo = Make<TComboBox>(150, 21);
    auto* picker = Make<TDateTimePicker>(110, 21);
    picker->SetTop(50);
    auto* bar = Make<TScrollBar>(200, 17);
    bar->SetTop(80);
    auto* updown = Make<TUpDown>(17, 24);
    updown->SetTop(110);
    struct TCase {
        const char* Name;
        TWinControl* Control;
        QRect Button;
    };
    const TCase cases[] = {
        {"combobox-button", combo, QRect(150 - 18, 2, 16, 17)},
        {"datetimepicker-button", picker, QRect(110 - 18, 2, 16, 17)},
        {"scrollbar-arrow", bar, QRect(200 - 16, 0, 16, 17)},
        {"updown-upper", updown, QRect(0, 0, 17, 12)},
    };
    ShowAndActivate(form);
    for (const TCase& c : cases) {
        const QImage image = Grab(c.Control, c.Name);
        ASSERT_FALSE(image.isNull()) << c.Name;
        const QRect& b = c.Button;
        const int x = b.left() + 3;
        EXPECT_EQ(LookPixel(image, x, b.top()), LookRgb(cl3DLight)) << c.Name << ", outer top";
        EXPECT_EQ(LookPixel(image, x, b.top() + 1), LookRgb(clBtnHighlight)) << c.Name << ", inner top";
        EXPECT_EQ(LookPixel(image, b.left() + 1, b.top() + 5), LookRgb(clBtnHighlight)) << c.Name << ", inner left";
        EXPECT_EQ(LookPixel(image, x, b.bottom()), LookRgb(cl3DDkShadow)) << c.Name << ", outer bottom";
        EXPECT_EQ(LookPixel(image, x, b.bottom() - 1), LookRgb(clBtnShadow)) << c.Name << ", inner bottom";
        EXPECT_EQ(LookPixel(image, b.right(), b.top() + 5), LookRgb(cl3DDkShadow)) << c.Name << ", outer right";
    }
}

TEST_F(ClassicLook, RadioButtonsShowTheClassicRoundMark)
{
    auto* checked = Make<TRadioButton>(113, 17);
    checked->SetCaption("Privato");
    checked->SetChecked(true);
    auto* unchecked = Make<TRadioButton>(113, 17);
    unchecked->SetTop(45);
    unchecked->SetCaption("Azienda");
    auto* disabled = Make<TRadioButton>(113, 17);
    disabled->SetTop(70);
    disabled->SetCaption("Estero");
    disabled->SetEnabled(false);
    ShowAndActivate(form);
    struct TCase {
        const char* Name;
        TRadioButton* Control;
        TColor Field, Dot;
    };
    const TCase cases[] = {
        {"radio-checked", checked, clWindow, clWindowText},
        {"radio-unchecked", unchecked, clWindow, clWindow},
        {"radio-disabled", disabled, clBtnFace, clBtnFace},
    };
    for (const TCase& c : cases) {
        const QImage image = Grab(c.Control, c.Name);
        ASSERT_FALSE(image.isNull()) << c.Name;
        // The 12-pixel mark, its top row 2 pixels below the top of a 17-pixel button.
        const int left = 0, top = 2;
        const struct {
            int X, Y;
            TColor Color;
            const char* Where;
        } marks[] = {
            {5, 0, clBtnShadow, "ring top"},          {0, 5, clBtnShadow, "ring left"},
            {5, 11, clBtnHighlight, "ring bottom"},   {11, 5, clBtnHighlight, "ring right"},
            {5, 1, cl3DDkShadow, "inner ring top"},   {1, 5, cl3DDkShadow, "inner ring left"},
            {5, 10, cl3DLight, "inner ring bottom"},  {10, 5, cl3DLight, "inner ring right"},
            {0, 0, clBtnFace, "outside the corner"},  {3, 3, c.Field, "field"},
            {5, 5, c.Dot, "centre"},                  {4, 4, c.Field, "cut corner of the dot"},
        };
        for (const auto& m : marks)
            EXPECT_EQ(LookPixel(image, left + m.X, top + m.Y), LookRgb(m.Color)) << c.Name << ", " << m.Where;
    }
}

} // namespace
