// A form with a calculator edit whose calculator is open, a currency edit and the calculator
// dialog beside it, grabbed to one picture for a person to look at.

#include "ButtonsTestSupport.h"

#include "controls/CurrEdit.h"
#include "controls/ExCalc.h"
#include "platform/gui/Grab.h"
#include "platform/gui/Label.h"

#include <QImage>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <cstdio>

namespace CalculatorDemoTest {

TEST(CalculatorDemo, EditsPopupAndDialogInOnePicture)
{
    TButtonScene scene(300, 230);
    TForm* form = scene.Form();
    form->SetCaption("Importi");
    AddLabel(form, 16, 24, "Prezzo");
    auto* price = new TExCalcEdit(form);
    price->SetParent(form);
    price->SetBounds(110, 20, 150, 21);
    price->SetDecimalPlaces(5);
    price->SetDisplayFormat(",0.#####");
    price->SetValue(1234.5);
    AddLabel(form, 16, 180, "Totale");
    auto* total = new TCurrencyEdit(form);
    total->SetParent(form);
    total->SetBounds(110, 176, 150, 21);
    total->SetValue(-1250.75);
    scene.ShowAndActivate();
    price->SetFocus();
    PumpFor(10);
    QTest::keyClick(HostOf(price), Qt::Key_Down, Qt::AltModifier);
    QTest::keyClicks(HostOf(price), "*2");
    PumpFor(20);
    ASSERT_TRUE(price->PopupVisible());

    TBitmap formPicture;
    TBitmap popupPicture;
    ASSERT_TRUE(GrabToBitmap(form, &formPicture));
    ASSERT_TRUE(GrabToBitmap(price->Popup(), &popupPicture));

    TExCalculator calculator(nullptr);
    calculator.Value = 42;
    TBitmap dialogPicture;
    SetModalStartHook([&](TCustomForm*) {
        QTimer::singleShot(20, [&] {
            TExCalculatorForm* dialog = calculator.Dialog();
            QTest::keyClicks(HostOf(dialog), "+8");
            PumpFor(10);
            GrabToBitmap(dialog, &dialogPicture);
            dialog->SetModalResult(mrCancel);
        });
    });
    calculator.Execute();
    SetModalStartHook(nullptr);
    ASSERT_GT(dialogPicture.Width(), 0);

    // The popup lies where it is on the screen relative to the form's window.
    const TRect client = form->ClientRectInWindow();
    const TPoint popupOnForm = form->ScreenToClient(
        price->Parent()->ClientToScreen(Point(price->Left() + price->Width() - price->Popup()->Width(),
                                              price->Top() + price->Height())));
    TBitmap picture;
    picture.SetSize(formPicture.Width() + dialogPicture.Width() + 30,
                    std::max(formPicture.Height(), dialogPicture.Height()) + 20);
    TCanvas* canvas = picture.Canvas();
    canvas->Brush()->SetColor(clAppWorkSpace);
    canvas->FillRect(Rect(0, 0, picture.Width(), picture.Height()));
    canvas->Draw(10, 10, &formPicture);
    canvas->Draw(10 + client.Left + popupOnForm.X, 10 + client.Top + popupOnForm.Y, &popupPicture);
    canvas->Draw(formPicture.Width() + 20, 10, &dialogPicture);
    // The layer writes bitmaps; Qt turns the bitmap into the PNG a person looks at.
    const std::string bmp = ButtonsPictureDir() + "/controls-calculator.bmp";
    picture.SaveToFile(bmp);
    const std::string png = ButtonsPictureDir() + "/controls-calculator.png";
    EXPECT_TRUE(QImage(QString::fromStdString(bmp)).save(QString::fromStdString(png)));
    std::remove(bmp.c_str());
}

} // namespace CalculatorDemoTest
