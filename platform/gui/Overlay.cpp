#include "platform/gui/Overlay.h"

#include "platform/gui/private/ControlHost.h"
#include "platform/gui/private/Overlay.h"
#include "platform/gui/private/QtBridge.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QPainter>
#include <QPixmap>
#include <QScreen>
#include <QWidget>

#include <map>
#include <memory>

namespace {

// The widget that shows an overlay: transparent, without input, never activated.
class TOverlayWidget : public QWidget {
public:
    TOverlayWidget(TOverlay* overlay, QWidget* parent) : QWidget(parent), FOverlay(overlay)
    {
        setAttribute(Qt::WA_TransparentForMouseEvents);
        setAttribute(Qt::WA_NoSystemBackground);
        setAttribute(Qt::WA_TranslucentBackground);
        setAttribute(Qt::WA_ShowWithoutActivating);
        setFocusPolicy(Qt::NoFocus);
        if (!parent)
            setWindowFlags(Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint |
                           Qt::WindowDoesNotAcceptFocus | Qt::WindowTransparentForInput);
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        FOverlay->Render(painter, QPoint(0, 0));
    }

private:
    TOverlay* FOverlay;
};

// The overlays live on the heap without static destructors: a destructor run at exit would
// delete widgets after Qt itself has been torn down. The screen overlay goes with the
// application instead (see ForScreen); a form's goes with the form.
std::map<TWinControl*, std::unique_ptr<TOverlay>>& FormOverlays()
{
    static auto* overlays = new std::map<TWinControl*, std::unique_ptr<TOverlay>>;
    return *overlays;
}

std::unique_ptr<TOverlay>& ScreenOverlay()
{
    static auto* overlay = new std::unique_ptr<TOverlay>;
    return *overlay;
}

void DropScreenOverlay() { ScreenOverlay().reset(); }

} // namespace

TOverlay::TOverlay(TWinControl* form) : FForm(form) {}

TOverlay::~TOverlay() { delete FWidget; }

TOverlay& TOverlay::ForScreen()
{
    std::unique_ptr<TOverlay>& overlay = ScreenOverlay();
    if (!overlay) {
        overlay.reset(new TOverlay(nullptr));
        // Its window has no parent, so nothing else takes it away when the event loop ends. An
        // application torn down without its loop ending leaves the widget to the process's end.
        static QCoreApplication* connectedTo = nullptr;
        QCoreApplication* app = QCoreApplication::instance();
        if (app && app != connectedTo) {
            connectedTo = app;
            QObject::connect(app, &QCoreApplication::aboutToQuit, app, &DropScreenOverlay);
        }
    }
    return *overlay;
}

TOverlay& TOverlay::ForForm(TWinControl* form)
{
    std::unique_ptr<TOverlay>& overlay = FormOverlays()[form];
    if (!overlay)
        overlay.reset(new TOverlay(form));
    return *overlay;
}

void TOverlay::Discard(TWinControl* form) { FormOverlays().erase(form); }

void TOverlay::CaptureBase()
{
    if (FForm) {
        QWidget* widget = WidgetOf(FForm);
        if (!widget)
            return;
        const TRect client = FForm->ClientRectInWindow();
        FArea = ToQRect(client);
        if (FWidget)
            FWidget->hide();
        FBase = widget->grab(FArea).toImage().convertToFormat(QImage::Format_ARGB32_Premultiplied);
        return;
    }
    QScreen* screen = QGuiApplication::primaryScreen();
    FArea = screen ? screen->virtualGeometry() : QRect(0, 0, 1024, 768);
    if (FWidget)
        FWidget->hide();
    FBase = screen ? screen->grabWindow(0).toImage().convertToFormat(QImage::Format_ARGB32_Premultiplied)
                   : QImage(FArea.size(), QImage::Format_ARGB32_Premultiplied);
}

void TOverlay::UpdateWidget()
{
    if (!FWidget) {
        QWidget* parent = FForm ? WidgetOf(FForm) : nullptr;
        if (FForm && !parent)
            return;
        FWidget = new TOverlayWidget(this, parent);
    }
    FWidget->setGeometry(FArea);
    const bool visible = !FCoverage.isEmpty() || !FPlain.isNull();
    FWidget->setVisible(visible);
    if (visible) {
        FWidget->raise();
        FWidget->update();
    }
}

void TOverlay::Toggle(const QRegion& region)
{
    if (FCoverage.isEmpty() && FPlain.isNull())
        CaptureBase();
    FCoverage = FCoverage.xored(region & QRect(QPoint(0, 0), FArea.size()));
    UpdateWidget();
}

void TOverlay::ToggleFrame(const QRect& rect, int width)
{
    QRegion frame(rect);
    frame -= QRegion(rect.adjusted(width, width, -width, -width));
    Toggle(frame);
}

void TOverlay::PaintPlain(const std::function<void(QPainter&)>& paint)
{
    if (FCoverage.isEmpty() && FPlain.isNull())
        CaptureBase();
    if (FPlain.isNull()) {
        FPlain = QImage(FArea.size(), QImage::Format_ARGB32_Premultiplied);
        FPlain.fill(Qt::transparent);
    }
    QPainter painter(&FPlain);
    paint(painter);
    painter.end();
    UpdateWidget();
}

void TOverlay::Clear()
{
    FCoverage = QRegion();
    FPlain = QImage();
    if (FWidget)
        FWidget->hide();
}

void TOverlay::Render(QPainter& painter, const QPoint& origin) const
{
    if (!FCoverage.isEmpty() && !FBase.isNull()) {
        QImage inverted = FBase.convertToFormat(QImage::Format_RGB32);
        inverted.invertPixels();
        painter.save();
        painter.setClipRegion(FCoverage.translated(origin));
        painter.drawImage(origin, inverted);
        painter.restore();
    }
    if (!FPlain.isNull())
        painter.drawImage(origin, FPlain);
}

void OverlayPaintOver(TWinControl* control, QImage& image)
{
    // Both the toggled pixels and the plain drawing (a line drawn with a copying pen on the
    // screen) belong in the picture.
    std::unique_ptr<TOverlay>& overlay = ScreenOverlay();
    if (!overlay || !control)
        return;
    QWidget* widget = WidgetOf(control);
    if (!widget)
        return;
    const QPoint topLeft = widget->mapToGlobal(QPoint(0, 0));
    QPainter painter(&image);
    overlay->Render(painter, -topLeft);
}

void ClearScreenOverlay()
{
    if (ScreenOverlay())
        ScreenOverlay()->Clear();
}

void ClearFormOverlay(TWinControl* form)
{
    auto& overlays = FormOverlays();
    auto found = overlays.find(form);
    if (found != overlays.end())
        found->second->Clear();
}
