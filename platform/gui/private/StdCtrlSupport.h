#pragma once
// What the standard controls share: their fonts realised for Qt, the classic 3-D frames, captions
// with "&" accelerators, and the notifications a control sends its parent.

#include "platform/gui/Label.h"
#include "platform/gui/WinControl.h"

#include <QFont>
#include <QImage>
#include <QPainter>
#include <QRect>

#include <string>

namespace StdCtrl {

// The Qt font a control's font is drawn with (the layer's realised font).
QFont QtFont(const TFont& font);
int TextHeight(const TFont& font);
int TextWidth(const TFont& font, const std::string& text);

// Draws a raised or sunken edge of width pixels and shrinks rect inside it.
void Frame3D(QPainter& painter, QRect& rect, TColor topLeft, TColor bottomRight, int width);
// The 2-pixel edges of the classic look. A raised edge is a push button's: white outermost.
void DrawRaisedEdge(QPainter& painter, const QRect& rect, bool pressed);
// The raised edge of an arrow button (combo drop button, up-down and scroll-bar arrows), as Qt's
// classic style draws its own: the white line inside a 3-D light one.
void DrawArrowButtonEdge(QPainter& painter, const QRect& rect);
void DrawSunkenEdge(QPainter& painter, const QRect& rect);
void DrawFocusRect(QPainter& painter, const QRect& rect);

// Draws text with DrawText-like flags (DT_*); "&" marks the accelerator unless DT_NOPREFIX.
// Returns the height of the text drawn (or measured, with DT_CALCRECT in flags: rect grows).
int DrawCaption(QPainter* painter, QRect& rect, const std::string& text, unsigned flags, const TFont& font,
                TColor color);
// The caption with "&" removed ("&&" stays as "&").
std::string StripAccel(const std::string& text);
// True when key is the "&" accelerator of text (letters compared without case).
bool IsAccel(unsigned char key, const std::string& text);

// Sends WM_COMMAND (id, code, handle) to the parent; the parent reflects it to the control as
// CN_COMMAND. When the parent does not reflect it, the control is told directly.
void NotifyParent(TWinControl* control, WORD code);
// Sends a message to the parent with reflection as CN_BASE + message to the control.
LRESULT SendToParent(TWinControl* control, UINT message, WPARAM wParam, LPARAM lParam);
// Called by a control when it receives a reflected notification.
void MarkReflected();

// Draws the caption of a check box or radio button beside its 13-pixel mark; returns the
// caption's rectangle.
QRect DrawMarkCaption(TWinControl* control, QPainter& painter, TAlignment alignment, const std::string& caption,
                      bool enabled, bool focused);

// The control's window identifier (GWL_ID; 0 when none).
int ControlId(TWinControl* control);

// A device context for drawing inside Paint (owner-drawn items get it as their hDC): it draws on a
// copy of the client area that is painted back when the object goes, because the paint's own
// painter holds the retained image meanwhile.
class TClientPaintDC {
public:
    explicit TClientPaintDC(TControl* control);
    ~TClientPaintDC();
    TClientPaintDC(const TClientPaintDC&) = delete;
    TClientPaintDC& operator=(const TClientPaintDC&) = delete;
    HDC Handle() const { return FHandle; }

private:
    TControl* FControl;
    QImage FImage;
    // For a retained image with transparent parts: the client area as it was, so that only the
    // pixels drawn are painted back.
    QImage FOriginal;
    // The client area was fully transparent: the pixels not drawn stay so.
    bool FStartsClear = false;
    HDC FHandle = nullptr;
};

// The clipboard's text as the program sees it (CR LF line ends, Windows-1252), and setting it.
std::string ClipboardText();
void SetClipboardText(const std::string& text);
void Beep();

} // namespace StdCtrl
