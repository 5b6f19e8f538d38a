#include "ButtonsTestSupport.h"

#include "ControlsTestSupport.h"

#include "platform/gui/Application.h"
#include "platform/gui/Grab.h"
#include "platform/gui/Label.h"
#include "platform/gui/WindowFunctions.h"
#include "platform/gui/private/ControlHost.h"

#include <QApplication>
#include <QTest>

#include <gtest/gtest.h>

#include <filesystem>

std::unique_ptr<TBitmap> MakeGlyph(int cells, int size, const std::vector<TColor>& fills)
{
    auto glyph = std::make_unique<TBitmap>();
    glyph->SetSize(cells * size, size);
    TCanvas* canvas = glyph->Canvas();
    canvas->Brush()->SetColor(GlyphTransparent);
    canvas->FillRect(Rect(0, 0, cells * size, size));
    for (int k = 0; k < cells; ++k) {
        const int left = k * size;
        canvas->Brush()->SetColor(GlyphOutline);
        canvas->FillRect(Rect(left + size / 4 - 1, size / 4 - 1, left + size * 3 / 4 + 1, size * 3 / 4 + 1));
        canvas->Brush()->SetColor(k < static_cast<int>(fills.size()) ? fills[k] : GlyphFill);
        canvas->FillRect(Rect(left + size / 4, size / 4, left + size * 3 / 4, size * 3 / 4));
        canvas->Brush()->SetColor(clBtnFace);
        canvas->FillRect(Rect(left, 0, left + 2, 2));
        canvas->SetPixels(left + size - 1, 0, GlyphBlue);
    }
    return glyph;
}

TButtonScene::TButtonScene(int width, int height, int left, int top) : FForm(std::make_unique<TForm>(nullptr))
{
    FForm->SetBounds(left, top, width, height);
    SetPointerLocator([this](TPoint, bool) { return UnderPointer; });
}

TButtonScene::~TButtonScene()
{
    SetPointerLocator({});
    FForm.reset();
    Application->ProcessMessages();
}

void TButtonScene::ShowAndActivate()
{
    FForm->Show();
    QWidget* widget = WidgetOf(FForm.get());
    widget->activateWindow();
    QApplication::setActiveWindow(widget);
    for (int i = 0; i < 200 && !widget->isActiveWindow(); ++i)
        PumpFor(10);
    PumpFor(10);
}

void PumpFor(int ms)
{
    Application->ProcessMessages();
    QTest::qWait(ms);
    Application->ProcessMessages();
}

QWidget* HostOf(TControl* control) { return WidgetOf(control); }

void PressOn(TControl* control, int x, int y) { QTest::mousePress(HostOf(control), Qt::LeftButton, {}, QPoint(x, y)); }

void ReleaseOn(TControl* control, int x, int y)
{
    QTest::mouseRelease(HostOf(control), Qt::LeftButton, {}, QPoint(x, y));
}

void MoveOn(TControl* control, int x, int y) { QTest::mouseMove(HostOf(control), QPoint(x, y)); }

void ClickOn(TControl* control, int x, int y)
{
    PressOn(control, x, y);
    ReleaseOn(control, x, y);
}

TControlPicture::TControlPicture(TControl* control)
{
    TWinControl* window = dynamic_cast<TWinControl*>(control);
    FOffset = Point(0, 0);
    if (!window) {
        window = control->Parent();
        FOffset = Point(control->Left(), control->Top());
    }
    const TRect client = window->ClientRectInWindow();
    FOffset.X += client.Left;
    FOffset.Y += client.Top;
    EXPECT_TRUE(GrabToBitmap(window, &FBitmap));
}

TColor TControlPicture::At(int x, int y) { return FBitmap.Canvas()->Pixels(FOffset.X + x, FOffset.Y + y); }

void AddLabel(TWinControl* parent, int x, int y, const std::string& text)
{
    auto* label = new TLabel(parent);
    label->SetParent(parent);
    label->SetLeft(x);
    label->SetTop(y);
    label->SetCaption(text);
}

std::string ButtonsPictureDir()
{
    const std::string folder = ControlsPictureDir();
    std::filesystem::create_directories(folder);
    return folder;
}
