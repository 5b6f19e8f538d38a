#include "platform/gui/Grab.h"

#include "platform/gui/Bitmap.h"
#include "platform/gui/WinControl.h"
#include "platform/gui/private/GdiInternals.h"
#include "platform/gui/private/ControlHost.h"
#include "platform/gui/private/Overlay.h"
#include "platform/rtl/Codepage.h"

#include <QApplication>
#include <QFile>
#include <QImage>
#include <QPainter>
#include <QPixmap>
#include <QSaveFile>
#include <QWidget>

namespace {

bool GrabWindowImage(TWinControl* control, QImage& image)
{
    if (!control || !control->HandleAllocated())
        return false;
    QWidget* widget = WidgetOf(control);
    if (!widget)
        return false;
    image = widget->grab().toImage();
    OverlayPaintOver(control, image);
    if (widget->isWindow()) {
        // Hints and popups are windows of their own; a picture of the form shows those over it.
        QPainter painter(&image);
        const QRect area = widget->geometry();
        for (QWidget* other : QApplication::topLevelWidgets()) {
            if (other == widget || !other->isVisible() || other->windowType() != Qt::ToolTip)
                continue;
            if (!other->geometry().intersects(area))
                continue;
            painter.drawPixmap(other->geometry().topLeft() - area.topLeft(), other->grab());
        }
    }
    return true;
}

} // namespace

bool GrabToPng(TWinControl* control, const std::string& path)
{
    QImage image;
    if (!GrabWindowImage(control, image))
        return false;
    // Written under a temporary name and renamed, so that a failure leaves nothing behind.
    QSaveFile file(QString::fromStdString(AnsiToUtf8(path)));
    if (!file.open(QIODevice::WriteOnly))
        return false;
    if (!image.save(&file, "PNG")) {
        file.cancelWriting();
        return false;
    }
    return file.commit();
}

bool GrabToBitmap(TWinControl* control, TBitmap* bitmap)
{
    QImage image;
    if (!bitmap || !GrabWindowImage(control, image))
        return false;
    bitmap->SetHandle(Gdi::CreateBitmapFromImage(image, false));
    bitmap->SetPixelFormat(pf32bit);
    return true;
}
