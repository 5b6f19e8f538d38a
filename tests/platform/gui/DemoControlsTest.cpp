// The demonstration form with one of each standard control, grabbed to a PNG for a person to see.

#include "GuiTestSupport.h"

#include "platform/gui/Bevel.h"
#include "platform/gui/Button.h"
#include "platform/gui/CheckBox.h"
#include "platform/gui/Edit.h"
#include "platform/gui/Form.h"
#include "platform/gui/Grab.h"
#include "platform/gui/GroupBox.h"
#include "platform/gui/Label.h"
#include "platform/gui/ListBox.h"
#include "platform/gui/MaskEdit.h"
#include "platform/gui/Memo.h"
#include "platform/gui/Panel.h"
#include "platform/gui/RadioButton.h"

#include "platform/gui/private/QtBridge.h"

#include <QImage>

#include <gtest/gtest.h>

#include <filesystem>

namespace {

class TFormDemoControlli : public TForm {
    TESS_CLASS(TFormDemoControlli, TForm)
public:
    explicit TFormDemoControlli(TComponent* AOwner) : TForm(AOwner)
    {
        SetCaption("Dimostrazione controlli");
        SetClientWidth(800);
        SetClientHeight(600);
        SetLeft(50);
        SetTop(50);

        auto* label = Place(new TLabel(this), 8, 8);
        label->SetCaption("&Cliente:");
        Edit = Place(new TEdit(this), 8, 26);
        Edit->SetText("Rossi S.r.l.");
        label->SetFocusControl(Edit);

        auto* ok = Place(new TButton(this), 140, 24);
        ok->SetCaption("&Conferma");
        ok->SetDefault(true);

        Check = Place(new TCheckBox(this), 8, 56);
        Check->SetCaption("Fattura elettronica");
        Check->SetWidth(130);
        Check->SetChecked(true);
        auto* radio1 = Place(new TRadioButton(this), 8, 76);
        radio1->SetCaption("Privato");
        radio1->SetChecked(true);
        auto* radio2 = Place(new TRadioButton(this), 8, 96);
        radio2->SetCaption("Azienda");

        auto* group = Place(new TRadioGroup(this), 8, 120);
        group->SetCaption("Pagamento");
        group->SetBounds(8, 120, 200, 90);
        group->Items()->Add("Contanti");
        group->Items()->Add("Bonifico");
        group->Items()->Add("Ri.Ba.");
        group->SetItemIndex(1);

        auto* panel = Place(new TPanel(this), 220, 60);
        panel->SetBounds(220, 60, 150, 60);
        panel->SetBevelInner(bvLowered);
        panel->SetCaption("Pannello");

        auto* bevel = Place(new TBevel(this), 220, 130);
        bevel->SetBounds(220, 130, 150, 40);

        auto* mask = Place(new TMaskEdit(this), 8, 220);
        mask->SetEditMask("!99/99/0000;1;_");
        mask->SetText("15/03/2026");

        auto* memo = Place(new TMemo(this), 8, 250);
        memo->Lines()->Add("Prima riga");
        memo->Lines()->Add("Seconda riga");
        memo->Lines()->Add("Terza riga con l'euro \x80");

        List = Place(new TListBox(this), 220, 180);
        List->SetBounds(220, 180, 150, 120);
        for (int i = 1; i <= 10; ++i)
            List->Items()->Add("Articolo " + std::to_string(i));
        List->SetItemIndex(2);
    }

    template <typename T>
    T* Place(T* control, int left, int top)
    {
        control->SetParent(this);
        control->SetLeft(left);
        control->SetTop(top);
        return control;
    }

    TEdit* Edit = nullptr;
    TCheckBox* Check = nullptr;
    TListBox* List = nullptr;
};

TEST(DemoControls, FormWithOneOfEachControlIsGrabbed)
{
    auto* form = TForm::Create<TFormDemoControlli>(nullptr);
    ShowAndActivate(form);
    Pump(50);
    const std::string path = ScreenshotDir() + "/demo-controlli.png";
    ASSERT_TRUE(GrabToPng(form, path));
    QImage image(QString::fromStdString(path));
    ASSERT_FALSE(image.isNull());
    // The selected list item is painted in the highlight colour.
    const TRect item = form->List->ItemRect(2);
    const TPoint inList = form->List->ClientToScreen({item.Left + 100, item.Top + 3});
    const TPoint inForm = form->ScreenToClient(inList);
    const TPoint origin = form->ClientOrigin();
    (void)origin;
    const QColor pixel = image.pixelColor(inForm.X + (image.width() - form->ClientWidth()) / 2,
                                          inForm.Y + (image.height() - form->ClientHeight()));
    EXPECT_EQ(ToTColor(pixel), static_cast<TColor>(ColorToRGB(clHighlight)));
    TComponent::Free(form);
}

} // namespace
