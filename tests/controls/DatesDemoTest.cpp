// A form with a date edit whose calendar is open and two spin edits, and the date dialog
// beside it, grabbed to one picture for a person to look at.

#include "ButtonsTestSupport.h"

#include "controls/EXSpin.h"
#include "controls/ToolEdit.h"
#include "platform/gui/Grab.h"
#include "platform/rtl/DateTime.h"

#include <QImage>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <cstdio>

namespace DatesDemoTest {

TEST(DatesDemo, DateEditCalendarDialogAndSpinEditsInOnePicture)
{
    SetClock([] { return EncodeDate(2021, 3, 10) + 0.5; });
    TButtonScene scene(300, 260);
    TForm* form = scene.Form();
    AddLabel(form, 16, 24, "Data");
    auto* date = new TDateEdit(form);
    date->SetParent(form);
    date->SetBounds(110, 20, 150, 21);
    date->SetDate(EncodeDate(2021, 3, 25));
    AddLabel(form, 16, 184, "Colli");
    auto* parcels = new TExSpinEdit(form);
    parcels->SetParent(form);
    parcels->SetBounds(110, 180, 80, 21);
    parcels->SetValue(12);
    AddLabel(form, 16, 214, "Primo numero");
    auto* first = new TExSpinEdit(form);
    first->SetParent(form);
    first->SetBounds(110, 210, 80, 21);
    first->SetButtonKind(bkStandard);
    first->SetMinValue(1);
    first->SetMaxValue(2147483647);
    first->SetValue(1);
    scene.ShowAndActivate();
    date->SetFocus();
    PumpFor(10);
    QTest::keyClick(HostOf(date), Qt::Key_Down, Qt::AltModifier);
    PumpFor(20);
    ASSERT_TRUE(date->PopupVisible());

    TBitmap formPicture;
    TBitmap popupPicture;
    ASSERT_TRUE(GrabToBitmap(form, &formPicture));
    ASSERT_TRUE(GrabToBitmap(date->Popup(), &popupPicture));
    const TPoint popupOnForm = form->ScreenToClient(
        date->Parent()->ClientToScreen(Point(date->Left() + date->Width() - date->Popup()->Width(),
                                             date->Top() + date->Height())));
    QTest::keyClick(HostOf(date), Qt::Key_Escape);

    TBitmap dialogPicture;
    SetModalStartHook([&](TCustomForm* dialog) {
        QTimer::singleShot(20, [&, dialog] {
            PumpFor(10);
            GrabToBitmap(dialog, &dialogPicture);
            dialog->SetModalResult(mrCancel);
        });
    });
    TDateTime chosen = EncodeDate(2021, 3, 25);
    SelectDate(chosen, "", Mon, TDaysOfWeek{Sun}, clRed, nullptr);
    SetModalStartHook(nullptr);
    ResetClock();
    ASSERT_GT(dialogPicture.Width(), 0);

    const TRect client = form->ClientRectInWindow();
    TBitmap picture;
    picture.SetSize(formPicture.Width() + dialogPicture.Width() + 30,
                    std::max(formPicture.Height(), dialogPicture.Height()) + 20);
    TCanvas* canvas = picture.Canvas();
    canvas->Brush()->SetColor(clAppWorkSpace);
    canvas->FillRect(Rect(0, 0, picture.Width(), picture.Height()));
    canvas->Draw(10, 10, &formPicture);
    canvas->Draw(10 + client.Left + popupOnForm.X, 10 + client.Top + popupOnForm.Y, &popupPicture);
    canvas->Draw(formPicture.Width() + 20, 10, &dialogPicture);
    const std::string bmp = ButtonsPictureDir() + "/controls-dates.bmp";
    picture.SaveToFile(bmp);
    const std::string png = ButtonsPictureDir() + "/controls-dates.png";
    EXPECT_TRUE(QImage(QString::fromStdString(bmp)).save(QString::fromStdString(png)));
    std::remove(bmp.c_str());
}

} // namespace DatesDemoTest
