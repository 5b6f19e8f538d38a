#include "platform/gui/InputTranslation.h"

#include "platform/gui/WinControl.h"
#include "platform/gui/WindowHandles.h"
#include "platform/gui/private/ControlHost.h"
#include "platform/gui/private/HandleTable.h"
#include "platform/gui/private/QtBridge.h"
#include "platform/rtl/Codepage.h"
#include "platform/rtl/TextUtils.h"

#include <QApplication>
#include <QCursor>
#include <QWidget>

#include <cstring>
#include <atomic>
#include <mutex>

// --- Conversions -----------------------------------------------------------------------------------------

QColor ToQColor(TColor color)
{
    const COLORREF rgb = ColorToRGB(color);
    return QColor(GetRValue(rgb), GetGValue(rgb), GetBValue(rgb));
}

TColor ToTColor(const QColor& color) { return static_cast<TColor>(RGB(color.red(), color.green(), color.blue())); }

QString ToQString(const std::string& ansi)
{
    const std::u16string text = AnsiToUtf16(ansi);
    return QString::fromUtf16(text.data(), static_cast<qsizetype>(text.size()));
}

std::string ToAnsi(const QString& text)
{
    return Utf16ToAnsi(std::u16string_view(reinterpret_cast<const char16_t*>(text.utf16()), text.size()));
}

// --- The key-state table -----------------------------------------------------------------------------------

namespace {

std::atomic<bool> keyDown[256] = {};

bool IsKeyDown(int key) { return key >= 0 && key < 256 && keyDown[key].load(std::memory_order_relaxed); }

void SetKeyDown(int key, bool down)
{
    if (key >= 0 && key < 256)
        keyDown[key].store(down, std::memory_order_relaxed);
}

} // namespace

void RecordKeyState(WORD virtualKey, bool down)
{
    if (virtualKey != 0)
        SetKeyDown(virtualKey, down);
}

void RecordModifiers(Qt::KeyboardModifiers modifiers, Qt::MouseButtons buttons)
{
    SetKeyDown(VK_SHIFT, modifiers & Qt::ShiftModifier);
    SetKeyDown(VK_CONTROL, modifiers & Qt::ControlModifier);
    SetKeyDown(VK_MENU, modifiers & Qt::AltModifier);
    SetKeyDown(VK_LBUTTON, buttons & Qt::LeftButton);
    SetKeyDown(VK_RBUTTON, buttons & Qt::RightButton);
    SetKeyDown(VK_MBUTTON, buttons & Qt::MiddleButton);
}

SHORT GetKeyState(int virtualKey) { return IsKeyDown(virtualKey) ? static_cast<SHORT>(0x8000) : 0; }

SHORT GetAsyncKeyState(int virtualKey) { return GetKeyState(virtualKey); }

TShiftState GetShiftState()
{
    TShiftState shift;
    if (IsKeyDown(VK_SHIFT))
        shift.Include(ssShift);
    if (IsKeyDown(VK_CONTROL))
        shift.Include(ssCtrl);
    if (IsKeyDown(VK_MENU))
        shift.Include(ssAlt);
    if (IsKeyDown(VK_LBUTTON))
        shift.Include(ssLeft);
    if (IsKeyDown(VK_RBUTTON))
        shift.Include(ssRight);
    if (IsKeyDown(VK_MBUTTON))
        shift.Include(ssMiddle);
    return shift;
}

TShiftState KeysToShiftState(WORD keys)
{
    TShiftState shift;
    if (keys & MK_SHIFT)
        shift.Include(ssShift);
    if (keys & MK_CONTROL)
        shift.Include(ssCtrl);
    if (keys & MK_LBUTTON)
        shift.Include(ssLeft);
    if (keys & MK_RBUTTON)
        shift.Include(ssRight);
    if (keys & MK_MBUTTON)
        shift.Include(ssMiddle);
    if (IsKeyDown(VK_MENU))
        shift.Include(ssAlt);
    return shift;
}

TShiftState KeyDataToShiftState(int keyData)
{
    TShiftState shift;
    if (IsKeyDown(VK_SHIFT))
        shift.Include(ssShift);
    if (IsKeyDown(VK_CONTROL))
        shift.Include(ssCtrl);
    if (keyData & 0x20000000)
        shift.Include(ssAlt);
    return shift;
}

TShiftState ShiftStateOf(Qt::KeyboardModifiers modifiers, Qt::MouseButtons buttons)
{
    TShiftState shift;
    if (modifiers & Qt::ShiftModifier)
        shift.Include(ssShift);
    if (modifiers & Qt::ControlModifier)
        shift.Include(ssCtrl);
    if (modifiers & Qt::AltModifier)
        shift.Include(ssAlt);
    if (buttons & Qt::LeftButton)
        shift.Include(ssLeft);
    if (buttons & Qt::RightButton)
        shift.Include(ssRight);
    if (buttons & Qt::MiddleButton)
        shift.Include(ssMiddle);
    return shift;
}

WPARAM MouseKeysOf(Qt::KeyboardModifiers modifiers, Qt::MouseButtons buttons)
{
    WPARAM keys = 0;
    if (buttons & Qt::LeftButton)
        keys |= MK_LBUTTON;
    if (buttons & Qt::RightButton)
        keys |= MK_RBUTTON;
    if (buttons & Qt::MiddleButton)
        keys |= MK_MBUTTON;
    if (modifiers & Qt::ShiftModifier)
        keys |= MK_SHIFT;
    if (modifiers & Qt::ControlModifier)
        keys |= MK_CONTROL;
    return keys;
}

// --- Keys ------------------------------------------------------------------------------------------------------

namespace {

struct TKeyPair {
    int QtKey;
    WORD VirtualKey;
};

const TKeyPair keyTable[] = {
    {Qt::Key_Backspace, VK_BACK},   {Qt::Key_Tab, VK_TAB},           {Qt::Key_Backtab, VK_TAB},
    {Qt::Key_Return, VK_RETURN},    {Qt::Key_Enter, VK_RETURN},      {Qt::Key_Shift, VK_SHIFT},
    {Qt::Key_Control, VK_CONTROL},  {Qt::Key_Alt, VK_MENU},          {Qt::Key_AltGr, VK_MENU},
    {Qt::Key_Pause, VK_PAUSE},      {Qt::Key_CapsLock, VK_CAPITAL},  {Qt::Key_Escape, VK_ESCAPE},
    {Qt::Key_Space, VK_SPACE},      {Qt::Key_PageUp, VK_PRIOR},      {Qt::Key_PageDown, VK_NEXT},
    {Qt::Key_End, VK_END},          {Qt::Key_Home, VK_HOME},         {Qt::Key_Left, VK_LEFT},
    {Qt::Key_Up, VK_UP},            {Qt::Key_Right, VK_RIGHT},       {Qt::Key_Down, VK_DOWN},
    {Qt::Key_Print, VK_SNAPSHOT},   {Qt::Key_Insert, VK_INSERT},     {Qt::Key_Delete, VK_DELETE},
    {Qt::Key_Help, VK_HELP},        {Qt::Key_Meta, VK_LWIN},         {Qt::Key_Menu, VK_APPS},
    {Qt::Key_NumLock, VK_NUMLOCK},  {Qt::Key_ScrollLock, VK_SCROLL}, {Qt::Key_Semicolon, VK_OEM_1},
    {Qt::Key_Colon, VK_OEM_1},      {Qt::Key_Equal, VK_OEM_PLUS},    {Qt::Key_Plus, VK_OEM_PLUS},
    {Qt::Key_Comma, VK_OEM_COMMA},  {Qt::Key_Less, VK_OEM_COMMA},    {Qt::Key_Minus, VK_OEM_MINUS},
    {Qt::Key_Underscore, VK_OEM_MINUS}, {Qt::Key_Period, VK_OEM_PERIOD}, {Qt::Key_Greater, VK_OEM_PERIOD},
    {Qt::Key_Slash, VK_OEM_2},      {Qt::Key_Question, VK_OEM_2},    {Qt::Key_QuoteLeft, VK_OEM_3},
    {Qt::Key_AsciiTilde, VK_OEM_3}, {Qt::Key_BracketLeft, VK_OEM_4}, {Qt::Key_BraceLeft, VK_OEM_4},
    {Qt::Key_Backslash, VK_OEM_5},  {Qt::Key_Bar, VK_OEM_5},         {Qt::Key_BracketRight, VK_OEM_6},
    {Qt::Key_BraceRight, VK_OEM_6}, {Qt::Key_Apostrophe, VK_OEM_7},  {Qt::Key_QuoteDbl, VK_OEM_7},
};

WORD VirtualKeyOf(int key, Qt::KeyboardModifiers modifiers)
{
    if (modifiers & Qt::KeypadModifier) {
        if (key >= Qt::Key_0 && key <= Qt::Key_9)
            return static_cast<WORD>(VK_NUMPAD0 + (key - Qt::Key_0));
        switch (key) {
        case Qt::Key_Plus:
            return VK_ADD;
        case Qt::Key_Minus:
            return VK_SUBTRACT;
        case Qt::Key_Asterisk:
            return VK_MULTIPLY;
        case Qt::Key_Slash:
            return VK_DIVIDE;
        case Qt::Key_Period:
        case Qt::Key_Comma:
            return VK_DECIMAL;
        default:
            break;
        }
    }
    if ((key >= Qt::Key_A && key <= Qt::Key_Z) || (key >= Qt::Key_0 && key <= Qt::Key_9))
        return static_cast<WORD>(key);
    if (key >= Qt::Key_F1 && key <= Qt::Key_F24)
        return static_cast<WORD>(VK_F1 + (key - Qt::Key_F1));
    for (const TKeyPair& pair : keyTable)
        if (pair.QtKey == key)
            return pair.VirtualKey;
    return 0;
}

bool IsExtendedKey(WORD vk, Qt::KeyboardModifiers modifiers)
{
    if (modifiers & Qt::KeypadModifier)
        return vk == VK_DIVIDE;
    switch (vk) {
    case VK_LEFT:
    case VK_UP:
    case VK_RIGHT:
    case VK_DOWN:
    case VK_INSERT:
    case VK_DELETE:
    case VK_HOME:
    case VK_END:
    case VK_PRIOR:
    case VK_NEXT:
        return true;
    default:
        return false;
    }
}

} // namespace

int QtKeyOfVirtualKey(WORD virtualKey)
{
    if ((virtualKey >= 'A' && virtualKey <= 'Z') || (virtualKey >= '0' && virtualKey <= '9'))
        return virtualKey;
    if (virtualKey >= VK_F1 && virtualKey <= VK_F24)
        return Qt::Key_F1 + (virtualKey - VK_F1);
    if (virtualKey >= VK_NUMPAD0 && virtualKey <= VK_NUMPAD9)
        return Qt::Key_0 + (virtualKey - VK_NUMPAD0);
    for (const TKeyPair& pair : keyTable)
        if (pair.VirtualKey == virtualKey)
            return pair.QtKey;
    return Qt::Key_unknown;
}

TKeyTranslation TranslateKey(const QKeyEvent* event)
{
    TKeyTranslation t;
    Qt::KeyboardModifiers modifiers = event->modifiers();
    const QString text = event->text();
    const bool printable = !text.isEmpty() && text.at(0).unicode() >= 32 && text.at(0).unicode() != 127;
    // AltGr (or Ctrl+Alt producing a character) types plain characters.
    const bool altGr = (modifiers & Qt::GroupSwitchModifier) ||
                       (printable && (modifiers & Qt::ControlModifier) && (modifiers & Qt::AltModifier));
    if (altGr)
        modifiers &= ~(Qt::ControlModifier | Qt::AltModifier);
    const int key = event->key();
    t.VirtualKey = VirtualKeyOf(key, modifiers);
    t.Alt = (modifiers & Qt::AltModifier) != 0;
    t.Shift = ShiftStateOf(modifiers, Qt::NoButton);
    t.KeyData = 1;
    if (IsExtendedKey(t.VirtualKey, modifiers))
        t.KeyData |= 1 << 24;
    if (t.Alt)
        t.KeyData |= 1 << 29;
    if (event->isAutoRepeat())
        t.KeyData |= 1 << 30;
    if (event->type() == QEvent::KeyRelease)
        t.KeyData |= static_cast<int>(0x80000000u);

    const bool ctrl = (modifiers & Qt::ControlModifier) != 0;
    if (ctrl && !t.Alt && key >= Qt::Key_A && key <= Qt::Key_Z) {
        t.HasChar = true;
        t.Char = static_cast<unsigned char>(key - Qt::Key_A + 1);
    } else if (key == Qt::Key_Return || key == Qt::Key_Enter) {
        t.HasChar = true;
        t.Char = 13;
    } else if (key == Qt::Key_Backspace) {
        t.HasChar = true;
        t.Char = ctrl ? 127 : 8;
    } else if (key == Qt::Key_Tab || key == Qt::Key_Backtab) {
        t.HasChar = !ctrl;
        t.Char = 9;
    } else if (key == Qt::Key_Escape) {
        t.HasChar = true;
        t.Char = 27;
    } else if (!text.isEmpty() && !(ctrl && !printable)) {
        const char32_t code = text.at(0).isHighSurrogate() && text.size() > 1
                                  ? QChar::surrogateToUcs4(text.at(0), text.at(1))
                                  : text.at(0).unicode();
        const char ansi = UnicodeToAnsiChar(code);
        if (ansi != '?' || code == U'?') {
            t.HasChar = true;
            t.Char = static_cast<unsigned char>(ansi);
        }
    }
    return t;
}

// --- Shortcuts ---------------------------------------------------------------------------------------------------

TShortCut ShortCut(WORD key, TShiftState shift)
{
    TShortCut result = static_cast<TShortCut>(key & 0xFF);
    if (shift.Contains(ssShift))
        result |= scShift;
    if (shift.Contains(ssCtrl))
        result |= scCtrl;
    if (shift.Contains(ssAlt))
        result |= scAlt;
    return result;
}

void ShortCutToKey(TShortCut shortCut, WORD& key, TShiftState& shift)
{
    key = shortCut & 0xFF;
    shift = TShiftState{};
    if (shortCut & scShift)
        shift.Include(ssShift);
    if (shortCut & scCtrl)
        shift.Include(ssCtrl);
    if (shortCut & scAlt)
        shift.Include(ssAlt);
}

namespace {

struct TKeyName {
    WORD Key;
    const char* Name;
};

const TKeyName keyNames[] = {
    {VK_BACK, "BkSp"}, {VK_TAB, "Tab"},  {VK_ESCAPE, "Esc"}, {VK_RETURN, "Enter"}, {VK_SPACE, "Space"},
    {VK_PRIOR, "PgUp"}, {VK_NEXT, "PgDn"}, {VK_END, "End"},  {VK_HOME, "Home"},    {VK_LEFT, "Left"},
    {VK_UP, "Up"},     {VK_RIGHT, "Right"}, {VK_DOWN, "Down"}, {VK_INSERT, "Ins"},  {VK_DELETE, "Del"},
};

std::string KeyName(WORD key)
{
    for (const TKeyName& name : keyNames)
        if (name.Key == key)
            return name.Name;
    if ((key >= 'A' && key <= 'Z') || (key >= '0' && key <= '9'))
        return std::string(1, static_cast<char>(key));
    if (key >= VK_F1 && key <= VK_F24)
        return "F" + std::to_string(key - VK_F1 + 1);
    return {};
}

} // namespace

std::string ShortCutToText(TShortCut shortCut)
{
    const std::string name = KeyName(shortCut & 0xFF);
    if (name.empty())
        return {};
    std::string text;
    if (shortCut & scShift)
        text += "Shift+";
    if (shortCut & scCtrl)
        text += "Ctrl+";
    if (shortCut & scAlt)
        text += "Alt+";
    return text + name;
}

TShortCut TextToShortCut(const std::string& text)
{
    TShortCut shift = 0;
    std::string rest = text;
    const struct {
        const char* Prefix;
        TShortCut Flag;
    } prefixes[] = {{"Shift+", scShift}, {"Ctrl+", scCtrl}, {"Alt+", scAlt}};
    bool found = true;
    while (found) {
        found = false;
        for (const auto& prefix : prefixes) {
            const std::size_t length = std::strlen(prefix.Prefix);
            if (rest.size() > length && SameText(rest.substr(0, length), prefix.Prefix)) {
                shift |= prefix.Flag;
                rest = rest.substr(length);
                found = true;
            }
        }
    }
    for (WORD key = 1; key < 256; ++key) {
        const std::string name = KeyName(key);
        if (!name.empty() && SameText(name, rest))
            return static_cast<TShortCut>(key | shift);
    }
    return 0;
}

// --- Cursor position and the control under a point ------------------------------------------------------------

BOOL GetCursorPos(TPoint& point)
{
    const QPoint pos = QCursor::pos();
    point = {pos.x(), pos.y()};
    return TRUE;
}

BOOL SetCursorPos(int x, int y)
{
    QCursor::setPos(x, y);
    return TRUE;
}

namespace {

TPointerLocator& Locator()
{
    static TPointerLocator locator;
    return locator;
}

TControl* DefaultLocate(TPoint point, bool allowDisabled)
{
    QWidget* widget = QApplication::widgetAt(point.X, point.Y);
    for (QWidget* w = widget; w; w = w->parentWidget()) {
        auto* host = dynamic_cast<IHostWidget*>(w);
        if (!host || !host->Control())
            continue;
        TControl* control = host->Control();
        if (!allowDisabled && !control->Enabled())
            continue;
        return control;
    }
    return nullptr;
}

} // namespace

void SetPointerLocator(TPointerLocator locator) { Locator() = std::move(locator); }

TControl* FindDragTarget(TPoint point, bool allowDisabled)
{
    if (Locator())
        return Locator()(point, allowDisabled);
    return DefaultLocate(point, allowDisabled);
}

HWND WindowFromPoint(TPoint point)
{
    for (TControl* control = FindDragTarget(point, true); control; control = control->Parent())
        if (auto* win = dynamic_cast<TWinControl*>(control); win && win->HandleAllocated())
            return win->Handle();
    return nullptr;
}

// --- Dropped files --------------------------------------------------------------------------------------------------

namespace {

struct TDropData {
    std::vector<std::string> Names;
    TPoint Point;
};

} // namespace

void DragAcceptFiles(HWND handle, BOOL accept)
{
    std::shared_ptr<TWindowRecord> record = HandleTable::Find(handle);
    if (!record)
        return;
    record->AcceptsFiles = accept != FALSE;
    if (record->Widget)
        record->Widget->setAcceptDrops(record->AcceptsFiles);
}

HDROP CreateDrop(const std::vector<std::string>& names, TPoint point)
{
    return new TDropData{names, point};
}

UINT DragQueryFileA(HDROP drop, UINT index, char* buffer, UINT size)
{
    auto* data = static_cast<TDropData*>(drop);
    if (!data)
        return 0;
    if (index == 0xFFFFFFFF)
        return static_cast<UINT>(data->Names.size());
    if (index >= data->Names.size())
        return 0;
    const std::string& name = data->Names[index];
    if (!buffer)
        return static_cast<UINT>(name.size());
    if (size == 0)
        return 0;
    const std::size_t count = std::min<std::size_t>(name.size(), size - 1);
    std::memcpy(buffer, name.data(), count);
    buffer[count] = 0;
    return static_cast<UINT>(count);
}

BOOL DragQueryPoint(HDROP drop, TPoint& point)
{
    auto* data = static_cast<TDropData*>(drop);
    if (!data)
        return FALSE;
    point = data->Point;
    return TRUE;
}

void DragFinish(HDROP drop) { delete static_cast<TDropData*>(drop); }
