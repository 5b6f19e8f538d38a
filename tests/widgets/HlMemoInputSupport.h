#pragma once
// Keys and mouse for the memo editing tests, sent as Qt events to the memo's host widget so that
// they travel the layer's real input path.

#include "HlMemoTestSupport.h"

#include "platform/gui/private/ControlHost.h"
#include "platform/gui/private/QtBridge.h"

#include <QApplication>
#include <QKeyEvent>
#include <QMouseEvent>

#include <string>
#include <vector>

struct TMemoKey {
    TMemoKey(int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier, std::string text = {})
        : Key(key), Modifiers(modifiers), Text(std::move(text))
    {
    }
    int Key;
    Qt::KeyboardModifiers Modifiers;
    std::string Text;
};

inline void SendMemoKey(TControl* control, const TMemoKey& key)
{
    QWidget* widget = WidgetOf(control);
    const QString text = ToQString(key.Text);
    QKeyEvent press(QEvent::KeyPress, key.Key, key.Modifiers, text);
    QCoreApplication::sendEvent(widget, &press);
    QKeyEvent release(QEvent::KeyRelease, key.Key, key.Modifiers, text);
    QCoreApplication::sendEvent(widget, &release);
}

// The key of a typed character: its letter or digit key, else a key that types only its text.
inline int QtKeyOfChar(char c)
{
    if (c >= 'a' && c <= 'z')
        return Qt::Key_A + (c - 'a');
    if (c >= 'A' && c <= 'Z')
        return Qt::Key_A + (c - 'A');
    if (c >= '0' && c <= '9')
        return Qt::Key_0 + (c - '0');
    if (c == ' ')
        return Qt::Key_Space;
    return Qt::Key_unknown;
}

inline void TypeIntoMemo(TControl* control, const std::string& text)
{
    for (char c : text)
        SendMemoKey(control, {QtKeyOfChar(c), Qt::NoModifier, std::string(1, c)});
}

inline void SendMemoMouse(TControl* control, QEvent::Type type, QPoint pos, Qt::MouseButton button,
                          Qt::MouseButtons buttons, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
{
    QWidget* widget = WidgetOf(control);
    QMouseEvent event(type, QPointF(pos), QPointF(widget->mapToGlobal(pos)), button, buttons, modifiers);
    QCoreApplication::sendEvent(widget, &event);
}

inline void PressMemo(TControl* c, QPoint p, Qt::KeyboardModifiers m = Qt::NoModifier)
{
    SendMemoMouse(c, QEvent::MouseButtonPress, p, Qt::LeftButton, Qt::LeftButton, m);
}
inline void DragMemo(TControl* c, QPoint p, Qt::KeyboardModifiers m = Qt::NoModifier)
{
    SendMemoMouse(c, QEvent::MouseMove, p, Qt::NoButton, Qt::LeftButton, m);
}
inline void HoverMemo(TControl* c, QPoint p, Qt::KeyboardModifiers m = Qt::NoModifier)
{
    SendMemoMouse(c, QEvent::MouseMove, p, Qt::NoButton, Qt::NoButton, m);
}
inline void ReleaseMemo(TControl* c, QPoint p, Qt::KeyboardModifiers m = Qt::NoModifier)
{
    SendMemoMouse(c, QEvent::MouseButtonRelease, p, Qt::LeftButton, Qt::NoButton, m);
}
// The events Qt delivers for a double click: press, release, double click, release.
inline void DoubleClickMemo(TControl* c, QPoint p)
{
    PressMemo(c, p);
    ReleaseMemo(c, p);
    SendMemoMouse(c, QEvent::MouseButtonDblClick, p, Qt::LeftButton, Qt::LeftButton);
    ReleaseMemo(c, p);
}

// A point inside the cell of (row, col) of a memo without gutter and scrolled to the top.
inline QPoint CellPoint(THlCustomMemo* memo, int row, int col)
{
    return QPoint(col * memo->CharWidth() + 1, row * memo->LineHeight() + memo->LineHeight() / 2);
}

inline std::vector<std::string> MemoLines(THlCustomMemo* memo)
{
    std::vector<std::string> lines;
    for (int i = 0; i < memo->Lines()->Count(); ++i)
        lines.push_back(memo->Lines()->Strings(i));
    return lines;
}

inline void SetMemoLines(THlCustomMemo* memo, const std::vector<std::string>& lines)
{
    memo->Lines()->Clear();
    for (const std::string& line : lines)
        memo->Lines()->Add(line);
}

// A memo fixture without gutter, for pointing at cells.
struct TEditFixture : TMemoFixture {
    explicit TEditFixture(const std::vector<std::string>& lines = {}, int width = 400, int height = 300)
        : TMemoFixture(lines, width, height)
    {
        Memo->GutterOptions()->SetVisible(false);
        Settle();
    }
};
