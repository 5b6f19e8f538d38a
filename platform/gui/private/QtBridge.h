#pragma once
// Conversions between the layer's values and Qt's.

#include "platform/gui/Colors.h"
#include "platform/gui/InputTranslation.h"

#include <QColor>
#include <QKeyEvent>
#include <QPoint>
#include <QRect>
#include <QString>

#include <string>

inline QRect ToQRect(const TRect& r) { return QRect(r.Left, r.Top, r.Width(), r.Height()); }
inline TRect ToTRect(const QRect& r) { return Bounds(r.x(), r.y(), r.width(), r.height()); }
inline QPoint ToQPoint(const TPoint& p) { return QPoint(p.X, p.Y); }
inline TPoint ToTPoint(const QPoint& p) { return {p.x(), p.y()}; }
QColor ToQColor(TColor color);
TColor ToTColor(const QColor& color);
QString ToQString(const std::string& ansi);
std::string ToAnsi(const QString& text);

// The key translation of one Qt key event.
struct TKeyTranslation {
    WORD VirtualKey = 0;   // 0: the key has no code
    int KeyData = 0;
    bool HasChar = false;
    unsigned char Char = 0;
    bool Alt = false;      // Alt held (not AltGr): system keys
    TShiftState Shift;
};
TKeyTranslation TranslateKey(const QKeyEvent* event);
TShiftState ShiftStateOf(Qt::KeyboardModifiers modifiers, Qt::MouseButtons buttons);
WPARAM MouseKeysOf(Qt::KeyboardModifiers modifiers, Qt::MouseButtons buttons);
// Records key and button states for GetKeyState.
void RecordKeyState(WORD virtualKey, bool down);
void RecordModifiers(Qt::KeyboardModifiers modifiers, Qt::MouseButtons buttons);
// The Qt key of a virtual key (for keys synthesised from messages), Qt::Key_unknown for none.
int QtKeyOfVirtualKey(WORD virtualKey);
