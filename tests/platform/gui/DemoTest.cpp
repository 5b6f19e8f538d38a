#include "GuiTestSupport.h"

#include "platform/gui/Bitmap.h"
#include "platform/gui/Form.h"
#include "platform/gui/Grab.h"
#include "platform/gui/WindowFunctions.h"
#include "platform/gui/private/ControlHost.h"
#include "platform/gui/private/Overlay.h"
#include "platform/gui/private/QtBridge.h"
#include "platform/gui/private/Surfaces.h"

#include <QApplication>
#include <QImage>
#include <QTest>
#include <QWidget>

#include <filesystem>
#include <string>
#include <vector>
#include <gtest/gtest.h>
#include <iostream>

namespace {

class TScrolledPanel : public TRecorder {
public:
    using TRecorder::TRecorder;

protected:
    void CreateParams(TCreateParams& Params) override
    {
        TRecorder::CreateParams(Params);
        Params.Style |= WS_VSCROLL;
    }
};

class TDemoPopup : public TRecorder {
public:
    using TRecorder::TRecorder;

protected:
    void CreateParams(TCreateParams& Params) override
    {
        TRecorder::CreateParams(Params);
        Params.Style = WS_POPUP | WS_BORDER;
        Params.ExStyle = WS_EX_TOOLWINDOW;
        Params.WndParent = nullptr;
    }
};

class TFormDemoNucleo : public TForm {
    TESS_CLASS(TFormDemoNucleo, TForm)
public:
    explicit TFormDemoNucleo(TComponent* owner) : TForm(owner)
    {
        SetCaption("Dimostrazione nucleo");
        SetBounds(120, 80, 400, 300);
        RedTop = Make(clRed);
        RedTop->SetHeight(40);
        RedTop->SetAlign(alTop);
        GreenLeft = Make(clLime);
        GreenLeft->SetWidth(100);
        GreenLeft->SetAlign(alLeft);
        BlueClient = new TScrolledPanel(this);
        BlueClient->PaintColor = clBlue;
        BlueClient->SetParent(this);
        BlueClient->SetAlign(alClient);
        Corner = Make(clYellow);
        Corner->SetBounds(340, 250, 30, 20);
        Corner->SetAnchors({akRight, akBottom});
        Corner->BringToFront();
        Corner->SetHint("Angolo|Controllo ancorato in basso a destra");
        Corner->SetShowHint(true);
    }

    TRecorder* Make(TColor color)
    {
        auto* control = new TRecorder(this);
        control->PaintColor = color;
        control->SetParent(this);
        return control;
    }

    TRecorder* RedTop;
    TRecorder* GreenLeft;
    TScrolledPanel* BlueClient;
    TRecorder* Corner;
};

TEST(Demonstration, TheCoreFormIsGrabbedToAPicture)
{
    TFormDemoNucleo* form = TForm::Create<TFormDemoNucleo>(nullptr);
    ShowAndActivate(form);
    EXPECT_EQ(form->ClientWidth(), 400);
    EXPECT_EQ(form->ClientHeight(), 300);
    SCROLLINFO info;
    info.fMask = SIF_RANGE | SIF_PAGE | SIF_POS;
    info.nMin = 0;
    info.nMax = 999;
    info.nPage = 100;
    info.nPos = 250;
    SetScrollInfo(form->BlueClient->Handle(), SB_VERT, info, TRUE);
    EXPECT_EQ(form->BlueClient->ClientWidth(), 300 - 16);
    Application->ProcessMessages();
    for (TControl* control : std::initializer_list<TControl*>{form->RedTop, form->GreenLeft, form->BlueClient, form->Corner})
        control->Repaint();

    // A line drawn outside Paint stays on the retained image.
    QImage* image = RetainedImage(form->GreenLeft);
    ASSERT_NE(image, nullptr);
    {
        QPainter painter(image);
        painter.setPen(Qt::black);
        painter.drawLine(0, 0, 99, 99);
    }
    ShowDrawing(form->GreenLeft, QRect(0, 0, 100, 100));

    TOverlay::ForForm(form).ToggleFrame(QRect(150, 60, 120, 80), 2);

    // The hint comes 20 pixels below the cursor: resting on the corner's top row keeps it
    // inside the form, where the picture shows it whole.
    Application->HintPause = 50;
    QTest::mouseMove(Widget(form), QPoint(200, 150));
    QTest::mouseMove(Widget(form->Corner), QPoint(5, 1));
    QWidget* hint = nullptr;
    EXPECT_TRUE(PumpUntil([&hint] {
        for (QWidget* w : QApplication::topLevelWidgets())
            if (auto* host = dynamic_cast<IHostWidget*>(w); host && host->Control() &&
                                                            host->Control()->InheritsFrom("THintWindow") &&
                                                            w->isVisible())
                hint = w;
        return hint != nullptr;
    }));
    Application->HintPause = 500;

    auto* popup = new TDemoPopup(form);
    popup->PaintColor = clFuchsia;
    popup->SetVisible(false);
    popup->SetBounds(form->Left() + 160, form->Top() + 170, 90, 50);
    ShowWindow(popup->Handle(), SW_SHOWNOACTIVATE);
    Application->ProcessMessages();
    popup->Repaint();

    const std::string path = ScreenshotDir() + "/demo-nucleo.png";
    ASSERT_TRUE(GrabToPng(form, path));
    std::cout << "screenshot: " << path << std::endl;
    QImage png(QString::fromStdString(path));
    ASSERT_FALSE(png.isNull());
    EXPECT_EQ(png.pixelColor(10, 10), QColor(255, 0, 0));
    EXPECT_EQ(png.pixelColor(50, 150), QColor(0, 255, 0));
    EXPECT_EQ(png.pixelColor(30, 70), QColor(0, 0, 0));
    EXPECT_EQ(png.pixelColor(200, 150), QColor(0, 0, 255));
    EXPECT_NE(png.pixelColor(390, 150), QColor(0, 0, 255));
    EXPECT_EQ(png.pixelColor(383, 150), QColor(0, 0, 255));
    // The overlay frame shows the inverted blue, the popup its own colour, the hint whole.
    EXPECT_EQ(png.pixelColor(150, 100), QColor(255, 255, 0));
    EXPECT_EQ(png.pixelColor(200, 190), QColor(255, 0, 255));
    ASSERT_NE(hint, nullptr);
    const QRect hintInForm(Widget(form)->mapFromGlobal(hint->geometry().topLeft()), hint->size());
    EXPECT_TRUE(QRect(0, 0, 400, 300).contains(hintInForm)) << hintInForm.x() << "," << hintInForm.y();
    EXPECT_EQ(png.pixelColor(hintInForm.left() + 1, hintInForm.bottom() - 1), QColor(255, 255, 225));
    TComponent::Free(form);
}

// A picture that cannot be made or written is refused and leaves nothing behind.
TEST(Demonstration, GrabToPngRefusesWhatItCannotWrite)
{
    TForm form(nullptr);
    form.SetBounds(10, 10, 120, 80);
    auto* withoutHandle = new TRecorder(&form);
    ShowAndActivate(&form);
    const std::string dir = ScreenshotDir() + "/refused";
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir + "/cartella.png");
    struct TCase {
        const char* Name;
        TWinControl* Control;
        std::string Path;
    };
    const TCase cases[] = {
        {"no control", nullptr, dir + "/nessuno.png"},
        {"a control without a handle", withoutHandle, dir + "/senza-finestra.png"},
        {"a missing folder", &form, dir + "/manca/modulo.png"},
        {"a folder in place of the file", &form, dir + "/cartella.png"},
    };
    for (const TCase& c : cases)
        EXPECT_FALSE(GrabToPng(c.Control, c.Path)) << c.Name;
    EXPECT_FALSE(withoutHandle->HandleAllocated());
    std::vector<std::string> left;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(dir))
        left.push_back(entry.path().filename().string());
    EXPECT_EQ(left, std::vector<std::string>{"cartella.png"});
    EXPECT_TRUE(GrabToPng(&form, dir + "/modulo.png"));
    EXPECT_TRUE(std::filesystem::is_regular_file(dir + "/modulo.png"));
}

// The bitmap picture holds the window's pixels; a control without a window gives none.
TEST(Demonstration, GrabToBitmapGivesTheWindowsPixels)
{
    TForm form(nullptr);
    form.SetBounds(10, 10, 120, 80);
    form.SetColor(clYellow);
    auto* red = new TRecorder(&form);
    red->PaintColor = clRed;
    red->SetParent(&form);
    red->SetBounds(10, 20, 30, 15);
    auto* withoutHandle = new TRecorder(&form);
    TBitmap bitmap;
    bitmap.SetSize(3, 3);
    EXPECT_FALSE(GrabToBitmap(&form, &bitmap));
    ShowAndActivate(&form);
    EXPECT_FALSE(GrabToBitmap(withoutHandle, &bitmap));
    EXPECT_FALSE(GrabToBitmap(&form, nullptr));
    EXPECT_EQ(bitmap.Width(), 3);
    ASSERT_TRUE(GrabToBitmap(&form, &bitmap));
    EXPECT_EQ(bitmap.Width(), form.ClientWidth());
    EXPECT_EQ(bitmap.Height(), form.ClientHeight());
    EXPECT_EQ(bitmap.PixelFormat(), pf32bit);
    EXPECT_EQ(bitmap.Canvas()->Pixels(10, 20), clRed);
    EXPECT_EQ(bitmap.Canvas()->Pixels(39, 34), clRed);
    EXPECT_EQ(bitmap.Canvas()->Pixels(40, 20), clYellow);
    EXPECT_EQ(bitmap.Canvas()->Pixels(10, 35), clYellow);
}

} // namespace
