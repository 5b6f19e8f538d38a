// Single-line edits.

#include "platform/gui/Edit.h"

#include "platform/gui/Form.h"
#include "platform/gui/private/ControlHost.h"
#include "platform/gui/private/QtBridge.h"
#include "platform/gui/private/StdCtrlSupport.h"
#include "platform/rtl/Codepage.h"
#include "platform/rtl/TextUtils.h"

#include <QLineEdit>
#include <QSignalBlocker>

#include <algorithm>
#include <cstring>

TCustomEdit::TCustomEdit(TComponent* AOwner) : TWinControl(AOwner)
{
    ControlStyle = TControlStyle{csClickEvents, csSetCaption, csDoubleClicks, csFixedHeight};
    SetTabStop(true);
    SetParentColor(false);
    SetBounds(0, 0, 121, 25);
    AdjustHeight();
}

TCustomEdit::~TCustomEdit() = default;

QLineEdit* TCustomEdit::Editor() const { return FHost ? qobject_cast<QLineEdit*>(FHost->Widget()) : nullptr; }

void TCustomEdit::CreateParams(TCreateParams& Params)
{
    TWinControl::CreateParams(Params);
    Params.WinClassName = "EDIT";
    Params.Style |= ES_AUTOHSCROLL | WS_TABSTOP;
    if (FReadOnly)
        Params.Style |= ES_READONLY;
    if (FCharCase == ecUpperCase)
        Params.Style |= ES_UPPERCASE;
    else if (FCharCase == ecLowerCase)
        Params.Style |= ES_LOWERCASE;
    if (!HideSelection)
        Params.Style |= ES_NOHIDESEL;
}

IHostWidget* TCustomEdit::CreateHost(const TCreateParams&, void* parentWidget)
{
    auto* host = new TControlHost<QLineEdit>(this, static_cast<QWidget*>(parentWidget));
    host->setFocusPolicy(Qt::ClickFocus);
    host->setContextMenuPolicy(Qt::NoContextMenu);
    QObject::connect(host, &QLineEdit::textChanged, host, [this] { StdCtrl::NotifyParent(this, EN_CHANGE); });
    QObject::connect(host, &QLineEdit::textEdited, host, [this] { FModified = true; });
    return host;
}

void TCustomEdit::CreateWnd()
{
    TWinControl::CreateWnd();
    SetEditorText(FText);
    ApplyEditorState();
    if (QLineEdit* editor = Editor())
        editor->setSelection(FSelStart, FSelLength);
}

void TCustomEdit::DestroyWnd()
{
    if (QLineEdit* editor = Editor()) {
        FText = ToAnsi(editor->text());
        FSelStart = SelStart();
        FSelLength = SelLength();
    }
    TWinControl::DestroyWnd();
}

void TCustomEdit::ApplyEditorState()
{
    QLineEdit* editor = Editor();
    if (!editor)
        return;
    editor->setFont(StdCtrl::QtFont(*Font()));
    QPalette palette = editor->palette();
    palette.setColor(QPalette::Base, ToQColor(Color()));
    palette.setColor(QPalette::Text, ToQColor(Font()->Color()));
    editor->setPalette(palette);
    editor->setReadOnly(FReadOnly);
    editor->setFrame(FBorderStyle != bsNone);
    editor->setTextMargins(FLeftMargin, 0, FRightMargin, 0);
    const DWORD style = WindowStyle();
    Qt::Alignment alignment = Qt::AlignLeft;
    if ((style & 3) == ES_RIGHT)
        alignment = Qt::AlignRight;
    else if ((style & 3) == ES_CENTER)
        alignment = Qt::AlignHCenter;
    editor->setAlignment(alignment | Qt::AlignVCenter);
    if (FPasswordChar != 0) {
        editor->setStyleSheet(QStringLiteral("QLineEdit { lineedit-password-character: %1; }")
                                  .arg(static_cast<int>(AnsiCharToUnicode(static_cast<unsigned char>(FPasswordChar)))));
        editor->setEchoMode(QLineEdit::Password);
    } else {
        editor->setEchoMode(QLineEdit::Normal);
    }
}

std::string TCustomEdit::GetText() const
{
    if (QLineEdit* editor = Editor())
        return ToAnsi(editor->text());
    return FText;
}

void TCustomEdit::SetEditorText(const std::string& text)
{
    QLineEdit* editor = Editor();
    if (!editor) {
        FText = text;
        return;
    }
    QSignalBlocker blocker(editor);
    editor->setText(ToQString(text));
}

std::string TCustomEdit::ConvertCase(const std::string& text) const
{
    switch (FCharCase) {
    case ecUpperCase:
        return AnsiUpperCase(text);
    case ecLowerCase:
        return AnsiLowerCase(text);
    default:
        return text;
    }
}

void TCustomEdit::Change()
{
    if (OnChange)
        OnChange(this);
}

void TCustomEdit::DoEnter()
{
    if (AutoSelect && !(GetKeyState(VK_LBUTTON) < 0))
        SelectAll();
    TWinControl::DoEnter();
}

void TCustomEdit::AdjustHeight()
{
    if (!FAutoSize)
        return;
    const int border = FBorderStyle == bsNone ? 0 : 8;
    SetHeight(StdCtrl::TextHeight(*Font()) + border);
}

void TCustomEdit::SetAutoSize(bool value)
{
    FAutoSize = value;
    AdjustHeight();
}

void TCustomEdit::SetBorderStyle(TBorderStyle value)
{
    FBorderStyle = value;
    ApplyEditorState();
    AdjustHeight();
}

void TCustomEdit::SetMaxLength(int value) { FMaxLength = std::max(value, 0); }

void TCustomEdit::SetReadOnly(bool value)
{
    FReadOnly = value;
    ApplyEditorState();
}

void TCustomEdit::SetPasswordChar(char value)
{
    FPasswordChar = value;
    ApplyEditorState();
}

void TCustomEdit::SetCharCase(TEditCharCase value)
{
    if (FCharCase == value)
        return;
    FCharCase = value;
    const std::string text = GetText();
    const std::string converted = ConvertCase(text);
    if (converted != text)
        SetText(converted);
}

bool TCustomEdit::Modified() const { return FModified; }

void TCustomEdit::SetModified(bool value) { FModified = value; }

int TCustomEdit::SelStart() const
{
    if (QLineEdit* editor = Editor())
        return editor->hasSelectedText() ? editor->selectionStart() : editor->cursorPosition();
    return FSelStart;
}

int TCustomEdit::SelLength() const
{
    if (QLineEdit* editor = Editor())
        return editor->hasSelectedText() ? editor->selectionLength() : 0;
    return FSelLength;
}

void TCustomEdit::SetSelStart(int value)
{
    const int length = static_cast<int>(GetText().size());
    value = std::clamp(value, 0, length);
    if (QLineEdit* editor = Editor())
        editor->setCursorPosition(value);
    FSelStart = value;
    FSelLength = 0;
}

void TCustomEdit::SetSelLength(int value)
{
    const int start = SelStart();
    const int length = static_cast<int>(GetText().size());
    value = std::clamp(value, 0, length - start);
    if (QLineEdit* editor = Editor())
        editor->setSelection(start, value);
    FSelLength = value;
}

std::string TCustomEdit::SelText() const
{
    const std::string text = GetText();
    const int start = std::min(SelStart(), static_cast<int>(text.size()));
    return text.substr(static_cast<std::size_t>(start), static_cast<std::size_t>(SelLength()));
}

void TCustomEdit::SetSelText(const std::string& value) { ReplaceSelection(value, false); }

void TCustomEdit::ReplaceSelection(const std::string& value, bool limit)
{
    std::string insert = ConvertCase(value);
    const std::string text = GetText();
    const int start = std::min(SelStart(), static_cast<int>(text.size()));
    const int length = SelLength();
    if (limit && FMaxLength > 0) {
        const int room = FMaxLength - (static_cast<int>(text.size()) - length);
        if (room <= 0 && !insert.empty()) {
            StdCtrl::Beep();
            return;
        }
        if (static_cast<int>(insert.size()) > room)
            insert.resize(static_cast<std::size_t>(std::max(room, 0)));
    }
    std::string result = text;
    result.replace(static_cast<std::size_t>(start), static_cast<std::size_t>(length), insert);
    FModified = true;
    const int caret = start + static_cast<int>(insert.size());
    if (QLineEdit* editor = Editor()) {
        editor->setSelection(start, length);
        editor->insert(ToQString(insert));
        editor->setCursorPosition(caret);
    } else {
        FText = result;
        FSelStart = caret;
        FSelLength = 0;
        StdCtrl::NotifyParent(this, EN_CHANGE);
    }
}

void TCustomEdit::SelectAll()
{
    if (QLineEdit* editor = Editor())
        editor->selectAll();
    FSelStart = 0;
    FSelLength = static_cast<int>(GetText().size());
}

void TCustomEdit::ClearSelection()
{
    if (SelLength() > 0)
        ReplaceSelection("", false);
}

void TCustomEdit::CopyToClipboard()
{
    if (HasRichEditWindow()) {
        Perform(WM_COPY, 0, 0);
        return;
    }
    if (FPasswordChar != 0)
        return;
    const std::string selected = SelText();
    if (!selected.empty())
        StdCtrl::SetClipboardText(selected);
}

void TCustomEdit::CutToClipboard()
{
    if (HasRichEditWindow()) {
        Perform(WM_CUT, 0, 0);
        return;
    }
    if (FPasswordChar != 0 || FReadOnly)
        return;
    CopyToClipboard();
    ClearSelection();
}

void TCustomEdit::PasteFromClipboard()
{
    if (FReadOnly)
        return;
    std::string text = StdCtrl::ClipboardText();
    // A single-line edit takes the first line only.
    const std::size_t end = text.find_first_of("\r\n");
    if (end != std::string::npos)
        text.resize(end);
    ReplaceSelection(text, true);
}

void TCustomEdit::Undo()
{
    if (QLineEdit* editor = Editor())
        editor->undo();
}

bool TCustomEdit::CanUndo() const
{
    QLineEdit* editor = Editor();
    return editor && editor->isUndoAvailable();
}

void TCustomEdit::ClearUndo()
{
    QLineEdit* editor = Editor();
    if (!editor)
        return;
    const int start = SelStart();
    const int length = SelLength();
    SetEditorText(ToAnsi(editor->text()));
    editor->setSelection(start, length);
}

void TCustomEdit::Clear() { SetText(""); }

void TCustomEdit::WMChar(TMessage& Message)
{
    if (DoKeyPress(Message))
        return;
    const unsigned char ch = static_cast<unsigned char>(Message.WParam & 0xFF);
    switch (ch) {
    case 0x03:
        CopyToClipboard();
        return;
    case 0x16:
        PasteFromClipboard();
        return;
    case 0x18:
        CutToClipboard();
        return;
    case 0x1A:
        Undo();
        return;
    case VK_BACK:
        if (!FReadOnly)
            DefaultHandler(Message);
        return;
    default:
        break;
    }
    if (ch < 0x20 || FReadOnly)
        return;
    const std::string converted = ConvertCase(std::string(1, static_cast<char>(ch)));
    if (FMaxLength > 0 && static_cast<int>(GetText().size()) - SelLength() >= FMaxLength) {
        StdCtrl::Beep();
        return;
    }
    Message.WParam = static_cast<unsigned char>(converted[0]);
    DefaultHandler(Message);
}

bool TCustomEdit::EditKeyDown(TMessage& Message)
{
    const WORD key = static_cast<WORD>(Message.WParam);
    const bool shift = GetKeyState(VK_SHIFT) < 0;
    const bool ctrl = GetKeyState(VK_CONTROL) < 0;
    if (key == VK_INSERT && shift) {
        PasteFromClipboard();
        return true;
    }
    if (key == VK_INSERT && ctrl) {
        CopyToClipboard();
        return true;
    }
    if (key == VK_DELETE && shift) {
        CutToClipboard();
        return true;
    }
    if (key == VK_DELETE && FReadOnly)
        return true;
    return false;
}

void TCustomEdit::Dispatch(TMessage& Message)
{
    QLineEdit* editor = Editor();
    switch (Message.Msg) {
    case WM_SETTEXT: {
        const std::string value = ConvertCase(Message.LParam ? reinterpret_cast<const char*>(Message.LParam) : "");
        const bool changed = value != GetText();
        SetEditorText(value);
        FModified = false;
        if (!editor) {
            FSelStart = 0;
            FSelLength = 0;
        }
        Message.Result = 1;
        if (changed)
            StdCtrl::NotifyParent(this, EN_CHANGE);
        return;
    }
    case WM_GETTEXT: {
        const std::string text = GetText();
        if (Message.WParam == 0 || Message.LParam == 0)
            return;
        const std::size_t count = std::min<std::size_t>(text.size(), Message.WParam - 1);
        std::memcpy(reinterpret_cast<char*>(Message.LParam), text.data(), count);
        reinterpret_cast<char*>(Message.LParam)[count] = 0;
        Message.Result = static_cast<LRESULT>(count);
        return;
    }
    case WM_GETTEXTLENGTH:
        Message.Result = static_cast<LRESULT>(GetText().size());
        return;
    case WM_CHAR:
        WMChar(Message);
        return;
    case WM_KEYDOWN:
        if (DoKeyDown(Message))
            return;
        if (!EditKeyDown(Message))
            DefaultHandler(Message);
        return;
    case WM_GETDLGCODE:
        Message.Result = DLGC_WANTCHARS | DLGC_WANTARROWS | DLGC_HASSETSEL;
        // A multi-line edit keeps Enter and Escape for itself, as the system's edit class does.
        if (WindowStyle() & ES_MULTILINE)
            Message.Result |= DLGC_WANTALLKEYS;
        return;
    case CN_COMMAND:
        StdCtrl::MarkReflected();
        if (HIWORD(Message.WParam) == EN_CHANGE)
            Change();
        return;
    case CM_FONTCHANGED:
        TWinControl::Dispatch(Message);
        ApplyEditorState();
        AdjustHeight();
        return;
    case CM_COLORCHANGED:
    case CM_ENABLEDCHANGED:
        TWinControl::Dispatch(Message);
        ApplyEditorState();
        return;
    case WM_CUT:
        CutToClipboard();
        return;
    case WM_COPY:
        CopyToClipboard();
        return;
    case WM_PASTE:
        PasteFromClipboard();
        return;
    case WM_CLEAR:
        if (!FReadOnly)
            ClearSelection();
        return;
    case WM_UNDO:
    case EM_UNDO:
        Message.Result = CanUndo() ? 1 : 0;
        Undo();
        return;
    case EM_CANUNDO:
        Message.Result = CanUndo() ? 1 : 0;
        return;
    case EM_EMPTYUNDOBUFFER:
        ClearUndo();
        return;
    case EM_GETSEL: {
        const int start = SelStart();
        const int end = start + SelLength();
        if (Message.WParam)
            *reinterpret_cast<DWORD*>(Message.WParam) = static_cast<DWORD>(start);
        if (Message.LParam)
            *reinterpret_cast<DWORD*>(Message.LParam) = static_cast<DWORD>(end);
        Message.Result = MAKELRESULT(static_cast<WORD>(start), static_cast<WORD>(end));
        return;
    }
    case EM_SETSEL: {
        const int length = static_cast<int>(GetText().size());
        int start = static_cast<int>(static_cast<std::intptr_t>(Message.WParam));
        int end = static_cast<int>(Message.LParam);
        if (start < 0) {
            start = end = SelStart();
        }
        if (end < 0 || end > length)
            end = length;
        start = std::clamp(start, 0, length);
        SetSelStart(std::min(start, end));
        SetSelLength(std::abs(end - start));
        return;
    }
    case EM_GETMODIFY:
        Message.Result = FModified ? 1 : 0;
        return;
    case EM_SETMODIFY:
        FModified = Message.WParam != 0;
        return;
    case EM_LIMITTEXT:
        SetMaxLength(static_cast<int>(Message.WParam));
        return;
    case EM_GETLIMITTEXT:
        Message.Result = FMaxLength > 0 ? FMaxLength : 0x7FFFFFFE;
        return;
    case EM_REPLACESEL:
        ReplaceSelection(Message.LParam ? reinterpret_cast<const char*>(Message.LParam) : "", false);
        return;
    case EM_SETREADONLY:
        SetReadOnly(Message.WParam != 0);
        Message.Result = 1;
        return;
    case EM_SETPASSWORDCHAR:
        SetPasswordChar(static_cast<char>(Message.WParam & 0xFF));
        return;
    case EM_GETPASSWORDCHAR:
        Message.Result = static_cast<unsigned char>(FPasswordChar);
        return;
    case EM_SETMARGINS:
        if (Message.WParam & EC_LEFTMARGIN)
            FLeftMargin = LOWORD(static_cast<std::uintptr_t>(Message.LParam));
        if (Message.WParam & EC_RIGHTMARGIN)
            FRightMargin = HIWORD(static_cast<std::uintptr_t>(Message.LParam));
        ApplyEditorState();
        return;
    case EM_GETMARGINS:
        Message.Result = MAKELRESULT(static_cast<WORD>(FLeftMargin), static_cast<WORD>(FRightMargin));
        return;
    case EM_SETRECT:
    case EM_SETRECTNP:
        if (const auto* rect = reinterpret_cast<const TRect*>(Message.LParam)) {
            FLeftMargin = std::max(rect->Left, 0);
            FRightMargin = std::max(ClientWidth() - rect->Right, 0);
            ApplyEditorState();
        }
        return;
    case EM_GETRECT:
        if (auto* rect = reinterpret_cast<TRect*>(Message.LParam))
            *rect = Rect(FLeftMargin, 0, ClientWidth() - FRightMargin, ClientHeight());
        return;
    case EM_GETLINECOUNT:
        Message.Result = 1;
        return;
    case EM_LINEINDEX:
        Message.Result = (static_cast<std::intptr_t>(Message.WParam) <= 0) ? 0 : -1;
        return;
    case EM_LINEFROMCHAR:
    case EM_GETFIRSTVISIBLELINE:
        Message.Result = 0;
        return;
    case EM_LINELENGTH:
        Message.Result = static_cast<LRESULT>(GetText().size());
        return;
    case EM_GETLINE: {
        const std::string text = GetText();
        auto* buffer = reinterpret_cast<char*>(Message.LParam);
        if (!buffer)
            return;
        WORD size = 0;
        std::memcpy(&size, buffer, sizeof(size));
        const std::size_t count = std::min<std::size_t>(text.size(), size);
        std::memcpy(buffer, text.data(), count);
        Message.Result = static_cast<LRESULT>(count);
        return;
    }
    case EM_SCROLLCARET:
        Message.Result = 1;
        return;
    case EM_POSFROMCHAR: {
        const int index = static_cast<int>(Message.WParam);
        const std::string text = GetText();
        if (index < 0 || index > static_cast<int>(text.size())) {
            Message.Result = -1;
            return;
        }
        const int x = FLeftMargin + 2 + StdCtrl::TextWidth(*Font(), text.substr(0, static_cast<std::size_t>(index)));
        Message.Result = MAKELRESULT(static_cast<WORD>(x), 1);
        return;
    }
    case EM_CHARFROMPOS: {
        const int x = GET_X_LPARAM(Message.LParam) - FLeftMargin - 2;
        const std::string text = GetText();
        int index = 0;
        while (index < static_cast<int>(text.size()) &&
               StdCtrl::TextWidth(*Font(), text.substr(0, static_cast<std::size_t>(index + 1))) <= x)
            ++index;
        Message.Result = MAKELRESULT(static_cast<WORD>(index), 0);
        return;
    }
    default:
        TWinControl::Dispatch(Message);
    }
}
