#pragma once
// Overlays in place of XOR drawing: on the screen, or on one form over its children. Toggled
// pixels show the inverted colour of what lies beneath (from a grab made at the first toggle), so
// drawing the same figure twice leaves nothing, as on Windows.

#include "platform/gui/WinControl.h"

#include <QImage>
#include <QPointer>
#include <QRegion>

#include <functional>

class QPainter;
class QWidget;

class TOverlay {
public:
    // The overlay over the virtual desktop.
    static TOverlay& ForScreen();
    // The overlay over a form's client area, above its children (created on first use).
    static TOverlay& ForForm(TWinControl* form);
    // Drops the overlay of a form that goes away.
    static void Discard(TWinControl* form);

    // Toggles the pixels of region (overlay coordinates: screen, or the form's client area).
    void Toggle(const QRegion& region);
    void ToggleRect(const QRect& rect) { Toggle(QRegion(rect)); }
    // A frame of the given width along the inside of rect.
    void ToggleFrame(const QRect& rect, int width = 1);
    // Paints plainly on the overlay (drawing modes other than XOR and NOT).
    void PaintPlain(const std::function<void(QPainter&)>& paint);
    // Clears the plain drawing and the toggled pixels.
    void Clear();
    const QRegion& Coverage() const { return FCoverage; }
    // Renders the overlay (inverted coverage and plain drawing) over an image of the area it covers.
    void Render(QPainter& painter, const QPoint& origin) const;

    ~TOverlay();

private:
    TOverlay(TWinControl* form);
    void CaptureBase();
    void UpdateWidget();

    TWinControl* FForm = nullptr;
    QPointer<QWidget> FWidget;
    QRegion FCoverage;
    QImage FBase;
    QImage FPlain;
    QRect FArea;
};

// Draws the screen overlay's part that lies over control onto an image grabbed from it.
void OverlayPaintOver(TWinControl* control, QImage& image);
