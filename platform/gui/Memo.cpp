// Multi-line edits.

#include "platform/gui/Memo.h"

#include "platform/gui/InputTranslation.h"
#include "platform/gui/WindowFunctions.h"
#include "platform/gui/private/ControlHost.h"
#include "platform/gui/private/QtBridge.h"
#include "platform/gui/private/StdCtrlSupport.h"

#include <QPlainTextEdit>
#include <QScrollBar>
#include <QSignalBlocker>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>

#include <algorithm>
#include <cstring>
#include <utility>
#include <vector>

namespace {

std::vector<std::string> SplitLines(const std::string& text)
{
    std::vector<std::string> lines;
    std::size_t start = 0;
    for (;;) {
        const std::size_t end = text.find("\r\n", start);
        if (end == std::string::npos) {
            lines.push_back(text.substr(start));
            return lines;
        }
        lines.push_back(text.substr(start, end - start));
        start = end + 2;
    }
}

std::string JoinLines(const std::vector<std::string>& lines)
{
    std::string text;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (i > 0)
            text += "\r\n";
        text += lines[i];
    }
    return text;
}

QString ToQtText(const std::string& text)
{
    QString q = ToQString(text);
    q.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    q.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return q;
}

// The memo's window takes the text that waited for it before it shows or paints.
class TMemoHost : public TControlHost<QPlainTextEdit> {
public:
    TMemoHost(TCustomMemo* memo, QWidget* parent) : TControlHost<QPlainTextEdit>(memo, parent), FMemo(memo) {}

protected:
    void showEvent(QShowEvent* event) override
    {
        FMemo->FlushPending();
        TControlHost<QPlainTextEdit>::showEvent(event);
    }
    void paintEvent(QPaintEvent* event) override
    {
        FMemo->FlushPending();
        TControlHost<QPlainTextEdit>::paintEvent(event);
    }
    // The text shows in the client rectangle only: the frame and the window's scroll bars are the
    // non-client area's, as on Windows.
    void ClientAreaChanged(const TRect& client, int width, int height) override
    {
        setViewportMargins(std::max(client.Left, 0), std::max(client.Top, 0), std::max(width - client.Right, 0),
                           std::max(height - client.Bottom, 0));
    }

private:
    TCustomMemo* FMemo;
};

// The lines as TStrings counts them: a last empty line after a line break does not count.
int StringsCount(int lineCount, bool lastEmpty) { return lastEmpty ? lineCount - 1 : lineCount; }

} // namespace

// --- TMemoStrings -----------------------------------------------------------------------------------

int TMemoStrings::GetCount() const
{
    if (FBuffering)
        return static_cast<int>(FBuffer.size());
    const int lines = FMemo->LineCount();
    return StringsCount(lines, FMemo->LineText(lines - 1).empty());
}

std::string TMemoStrings::Get(int index) const
{
    if (index < 0 || index >= GetCount())
        Error("List index out of bounds (%d)", index);
    if (FBuffering)
        return FBuffer[static_cast<std::size_t>(index)];
    return FMemo->LineText(index);
}

void TMemoStrings::Put(int index, const std::string& s)
{
    if (index < 0 || index >= GetCount())
        Error("List index out of bounds (%d)", index);
    if (FBuffering) {
        FBuffer[static_cast<std::size_t>(index)] = s;
        return;
    }
    if (QPlainTextEdit* memo = FMemo->EnsureMemo()) {
        QTextCursor cursor(memo->document()->findBlockByNumber(index));
        cursor.movePosition(QTextCursor::EndOfBlock, QTextCursor::KeepAnchor);
        cursor.insertText(ToQtText(s));
        return;
    }
    auto lines = FMemo->CachedLines();
    lines[static_cast<std::size_t>(index)] = s;
    FMemo->SetText(JoinLines(lines));
}

void TMemoStrings::Insert(int index, const std::string& s)
{
    const int count = GetCount();
    if (index < 0 || index > count)
        Error("List index out of bounds (%d)", index);
    if (FBuffering) {
        FBuffer.insert(FBuffer.begin() + index, s);
        return;
    }
    if (QPlainTextEdit* memo = FMemo->EnsureMemo()) {
        QTextDocument* document = memo->document();
        const QString line = ToQtText(s);
        if (index < count) {
            QTextCursor cursor(document->findBlockByNumber(index));
            cursor.insertText(line + QLatin1Char('\n'));
        } else if (document->isEmpty() || document->lastBlock().text().isEmpty()) {
            QTextCursor cursor(document->lastBlock());
            cursor.insertText(line);
        } else {
            QTextCursor cursor(document);
            cursor.movePosition(QTextCursor::End);
            cursor.insertText(QLatin1Char('\n') + line);
        }
        return;
    }
    auto lines = FMemo->CachedLines();
    if (index == count && lines.back().empty())
        lines.back() = s;
    else
        lines.insert(lines.begin() + index, s);
    FMemo->SetText(JoinLines(lines));
}

void TMemoStrings::Delete(int index)
{
    const int count = GetCount();
    if (index < 0 || index >= count)
        Error("List index out of bounds (%d)", index);
    if (FBuffering) {
        FBuffer.erase(FBuffer.begin() + index);
        return;
    }
    if (QPlainTextEdit* memo = FMemo->EnsureMemo()) {
        QTextDocument* document = memo->document();
        QTextBlock block = document->findBlockByNumber(index);
        QTextCursor cursor(block);
        if (block.next().isValid()) {
            cursor.setPosition(block.next().position(), QTextCursor::KeepAnchor);
        } else {
            if (block.previous().isValid())
                cursor.setPosition(block.position() - 1);
            cursor.movePosition(QTextCursor::End, QTextCursor::KeepAnchor);
        }
        cursor.removeSelectedText();
        return;
    }
    auto lines = FMemo->CachedLines();
    lines.erase(lines.begin() + index);
    if (lines.empty())
        lines.emplace_back();
    FMemo->SetText(JoinLines(lines));
}

void TMemoStrings::Clear()
{
    if (FBuffering)
        FBuffer.clear();
    else
        FMemo->SetText("");
}

void TMemoStrings::SetUpdateState(bool updating)
{
    if (updating) {
        FBuffer.clear();
        const int count = GetCount();
        FBuffer.reserve(static_cast<std::size_t>(count));
        for (int i = 0; i < count; ++i)
            FBuffer.push_back(FMemo->LineText(i));
        FBuffering = true;
        return;
    }
    FBuffering = false;
    std::vector<std::string> lines = std::move(FBuffer);
    FBuffer.clear();
    FMemo->SetText(JoinLines(lines));
    FMemo->SeedLines(std::move(lines));
}

// --- TCustomMemo ------------------------------------------------------------------------------------

TCustomMemo::TCustomMemo(TComponent* AOwner) : TCustomEdit(AOwner), FLines(std::make_unique<TMemoStrings>(this))
{
    SetAutoSize(false);
    SetBounds(Left(), Top(), 185, 89);
    AutoSelect = false;
    ControlStyle.Exclude(csFixedHeight);
}

TCustomMemo::~TCustomMemo() = default;

QPlainTextEdit* TCustomMemo::HostMemo() const
{
    return FHost ? qobject_cast<QPlainTextEdit*>(FHost->Widget()) : nullptr;
}

QPlainTextEdit* TCustomMemo::Memo() const
{
    FlushPending();
    return HostMemo();
}

void TCustomMemo::FlushPending() const
{
    QPlainTextEdit* memo = HostMemo();
    if (!FPending || !memo)
        return;
    FPending = false;
    {
        QSignalBlocker blocker(memo);
        memo->setPlainText(ToQtText(FMemoText));
    }
    const_cast<TCustomMemo*>(this)->SetSelection(FMemoSelStart, FMemoSelLength);
}

void TCustomMemo::SetMemoText(const std::string& text)
{
    FMemoText = text;
    FLineCacheValid = false;
}

void TCustomMemo::SeedLines(std::vector<std::string> lines)
{
    // The lines just joined into the text split back into themselves unless one holds a line break.
    if (!TextHeldHere() || FLineCacheValid)
        return;
    if (lines.empty())
        lines.emplace_back();
    for (const std::string& line : lines)
        if (line.find("\r\n") != std::string::npos || (!line.empty() && line.back() == '\r'))
            return;
    FLineCache = std::move(lines);
    FLineCacheValid = true;
}

const std::vector<std::string>& TCustomMemo::CachedLines() const
{
    if (!FLineCacheValid) {
        FLineCache = SplitLines(FMemoText);
        FLineCacheValid = true;
    }
    return FLineCache;
}

QPlainTextEdit* TCustomMemo::EnsureMemo()
{
    if (!HandleAllocated() && Parent())
        HandleNeeded();
    return Memo();
}

void TCustomMemo::CreateParams(TCreateParams& Params)
{
    TCustomEdit::CreateParams(Params);
    Params.Style &= ~ES_AUTOHSCROLL;
    Params.Style |= ES_MULTILINE | ES_AUTOVSCROLL | ES_WANTRETURN;
    if (!FWordWrap)
        Params.Style |= ES_AUTOHSCROLL;
    if (FScrollBars == ssVertical || FScrollBars == ssBoth)
        Params.Style |= WS_VSCROLL;
    if (FScrollBars == ssHorizontal || FScrollBars == ssBoth)
        Params.Style |= WS_HSCROLL;
}

IHostWidget* TCustomMemo::CreateHost(const TCreateParams&, void* parentWidget)
{
    auto* host = new TMemoHost(this, static_cast<QWidget*>(parentWidget));
    host->setFocusPolicy(Qt::ClickFocus);
    host->setContextMenuPolicy(Qt::NoContextMenu);
    host->setTabChangesFocus(true);
    QObject::connect(host, &QPlainTextEdit::textChanged, host, [this] { StdCtrl::NotifyParent(this, EN_CHANGE); });
    // Qt's own bars stay hidden and keep the text's scroll position; the window's bars show it.
    for (QScrollBar* bar : {host->verticalScrollBar(), host->horizontalScrollBar()}) {
        const int which = bar == host->verticalScrollBar() ? SB_VERT : SB_HORZ;
        QObject::connect(bar, &QAbstractSlider::rangeChanged, host, [this, which] { ShowEditorScroll(which); });
        QObject::connect(bar, &QAbstractSlider::valueChanged, host, [this, which] { ShowEditorScroll(which); });
    }
    return host;
}

void TCustomMemo::CreateWnd()
{
    TWinControl::CreateWnd();
    const int selStart = FMemoSelStart, selLength = FMemoSelLength;
    SetEditorText(std::string(FMemoText));
    ApplyEditorState();
    SetSelection(selStart, selLength);
    ShowEditorScroll(SB_VERT);
    ShowEditorScroll(SB_HORZ);
}

void TCustomMemo::DestroyWnd()
{
    if (!TextHeldHere()) {
        FMemoSelStart = SelStart();
        FMemoSelLength = SelLength();
        SetMemoText(GetText());
    }
    FPending = false;
    TWinControl::DestroyWnd();
}

void TCustomMemo::ApplyEditorState()
{
    QPlainTextEdit* memo = HostMemo();
    if (!memo)
        return;
    memo->setFont(StdCtrl::QtFont(*Font()));
    QPalette palette = memo->palette();
    palette.setColor(QPalette::Base, ToQColor(Color()));
    palette.setColor(QPalette::Text, ToQColor(Font()->Color()));
    memo->setPalette(palette);
    memo->setReadOnly(ReadOnly());
    // The classic style draws the sunken edge as the frame; a memo without a border answers its
    // own non-client area, and the text keeps inside the client rectangle it answered.
    memo->setFrameShape(BorderStyle() == bsNone ? QFrame::NoFrame : QFrame::StyledPanel);
    if (Host())
        Host()->ClientAreaChanged(ClientRectInWindow(), Width(), Height());
    memo->setLineWrapMode(FWordWrap ? QPlainTextEdit::WidgetWidth : QPlainTextEdit::NoWrap);
    memo->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    memo->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    QTextOption option = memo->document()->defaultTextOption();
    option.setAlignment(FAlignment == taRightJustify ? Qt::AlignRight : FAlignment == taCenter ? Qt::AlignHCenter : Qt::AlignLeft);
    memo->document()->setDefaultTextOption(option);
}

std::string TCustomMemo::GetText() const
{
    if (TextHeldHere())
        return FMemoText;
    QPlainTextEdit* memo = Memo();
    QString text = memo->toPlainText();
    text.replace(QLatin1Char('\n'), QStringLiteral("\r\n"));
    return ToAnsi(text);
}

void TCustomMemo::SetEditorText(const std::string& text)
{
    if (!HandleAllocated() && Parent())
        HandleNeeded();
    QPlainTextEdit* memo = HostMemo();
    if (!memo || !memo->isVisible()) {
        // Hidden: the window takes the text when it is shown or used.
        SetMemoText(text);
        FMemoSelStart = 0;
        FMemoSelLength = 0;
        FPending = memo != nullptr;
        return;
    }
    FPending = false;
    QSignalBlocker blocker(memo);
    memo->setPlainText(ToQtText(text));
}

int TCustomMemo::LineCount() const
{
    if (TextHeldHere())
        return static_cast<int>(CachedLines().size());
    return Memo()->document()->blockCount();
}

std::string TCustomMemo::LineText(int index) const
{
    if (index < 0)
        return "";
    if (!TextHeldHere()) {
        const QTextBlock block = Memo()->document()->findBlockByNumber(index);
        return block.isValid() ? ToAnsi(block.text()) : "";
    }
    const auto& lines = CachedLines();
    return index < static_cast<int>(lines.size()) ? lines[static_cast<std::size_t>(index)] : "";
}

int TCustomMemo::LineIndex(int line) const
{
    if (line < 0 || line >= LineCount())
        return -1;
    if (!TextHeldHere())
        return Memo()->document()->findBlockByNumber(line).position() + line;
    const auto& lines = CachedLines();
    int index = 0;
    for (int i = 0; i < line; ++i)
        index += static_cast<int>(lines[static_cast<std::size_t>(i)].size()) + 2;
    return index;
}

int TCustomMemo::LineFromChar(int pos) const
{
    int low = 0, high = LineCount() - 1;
    while (low < high) {
        const int middle = (low + high + 1) / 2;
        if (LineIndex(middle) <= pos)
            low = middle;
        else
            high = middle - 1;
    }
    return low;
}

int TCustomMemo::ToQtPos(int pos) const
{
    const int line = LineFromChar(pos);
    const int column = std::min(pos - LineIndex(line), static_cast<int>(LineText(line).size()));
    if (!TextHeldHere())
        return Memo()->document()->findBlockByNumber(line).position() + column;
    return pos;
}

int TCustomMemo::ToWinPos(int qtPos) const
{
    if (!TextHeldHere())
        return qtPos + Memo()->document()->findBlock(qtPos).blockNumber();
    return qtPos;
}

int TCustomMemo::SelStart() const
{
    if (TextHeldHere())
        return FMemoSelStart;
    return ToWinPos(Memo()->textCursor().selectionStart());
}

int TCustomMemo::SelLength() const
{
    if (TextHeldHere())
        return FMemoSelLength;
    const QTextCursor cursor = Memo()->textCursor();
    return ToWinPos(cursor.selectionEnd()) - ToWinPos(cursor.selectionStart());
}

void TCustomMemo::SetSelection(int start, int length)
{
    const int total = static_cast<int>(GetText().size());
    start = std::clamp(start, 0, total);
    length = std::clamp(length, 0, total - start);
    if (TextHeldHere()) {
        FMemoSelStart = start;
        FMemoSelLength = length;
        return;
    }
    QPlainTextEdit* memo = Memo();
    QTextCursor cursor = memo->textCursor();
    cursor.setPosition(ToQtPos(start));
    cursor.setPosition(ToQtPos(start + length), QTextCursor::KeepAnchor);
    memo->setTextCursor(cursor);
}

void TCustomMemo::SetSelStart(int value) { SetSelection(value, 0); }

void TCustomMemo::SetSelLength(int value) { SetSelection(SelStart(), value); }

void TCustomMemo::SelectAll() { SetSelection(0, static_cast<int>(GetText().size())); }

TPoint TCustomMemo::CaretPos() const
{
    const int pos = SelStart() + SelLength();
    const int line = LineFromChar(pos);
    return {pos - LineIndex(line), line};
}

void TCustomMemo::SetCaretPos(TPoint value)
{
    const int index = LineIndex(std::clamp(value.Y, 0, LineCount() - 1));
    SetSelStart(index + value.X);
}

void TCustomMemo::Undo()
{
    if (QPlainTextEdit* memo = Memo())
        memo->undo();
}

bool TCustomMemo::CanUndo() const
{
    QPlainTextEdit* memo = Memo();
    return memo && memo->document()->isUndoAvailable();
}

void TCustomMemo::ClearUndo()
{
    if (QPlainTextEdit* memo = Memo())
        memo->document()->clearUndoRedoStacks();
}

void TCustomMemo::ReplaceSelection(const std::string& value, bool limit)
{
    std::string insert = ConvertCase(value);
    const int length = static_cast<int>(GetText().size());
    if (limit && MaxLength() > 0) {
        const int room = MaxLength() - (length - SelLength());
        if (room <= 0 && !insert.empty()) {
            StdCtrl::Beep();
            return;
        }
        if (static_cast<int>(insert.size()) > room)
            insert.resize(static_cast<std::size_t>(std::max(room, 0)));
        // Never half a line break.
        if (!insert.empty() && insert.back() == '\r')
            insert.pop_back();
    }
    FModified = true;
    QPlainTextEdit* memo = EnsureMemo();
    if (!memo) {
        std::string text = FMemoText;
        text.replace(static_cast<std::size_t>(FMemoSelStart), static_cast<std::size_t>(FMemoSelLength), insert);
        const int caret = FMemoSelStart + static_cast<int>(insert.size());
        SetMemoText(text);
        FMemoSelStart = caret;
        FMemoSelLength = 0;
        StdCtrl::NotifyParent(this, EN_CHANGE);
        return;
    }
    QTextCursor cursor = memo->textCursor();
    cursor.insertText(ToQtText(insert));
    memo->setTextCursor(cursor);
}

void TCustomMemo::PasteFromClipboard()
{
    if (!ReadOnly())
        ReplaceSelection(StdCtrl::ClipboardText(), true);
}

void TCustomMemo::SetWordWrap(bool value)
{
    FWordWrap = value;
    ApplyEditorState();
}

void TCustomMemo::SetScrollBars(TScrollStyle value)
{
    FScrollBars = value;
    ApplyEditorState();
    if (!HandleAllocated())
        return;
    SetScrollBarState(SB_VERT, value == ssVertical || value == ssBoth, false);
    SetScrollBarState(SB_HORZ, value == ssHorizontal || value == ssBoth, false);
    ShowEditorScroll(SB_VERT);
    ShowEditorScroll(SB_HORZ);
}

void TCustomMemo::ShowEditorScroll(int bar)
{
    QPlainTextEdit* memo = HostMemo();
    if (!memo || !HandleAllocated() || !ScrollBarShown(bar))
        return;
    const QScrollBar* source = bar == SB_VERT ? memo->verticalScrollBar() : memo->horizontalScrollBar();
    SCROLLINFO info{};
    info.cbSize = sizeof(info);
    info.fMask = SIF_RANGE | SIF_PAGE | SIF_POS | SIF_DISABLENOSCROLL;
    info.nMin = source->minimum();
    info.nPage = static_cast<UINT>(std::max(source->pageStep(), 1));
    info.nMax = source->maximum() + static_cast<int>(info.nPage) - 1;
    info.nPos = source->value();
    SetScrollInfo(Handle(), bar, info, TRUE);
}

void TCustomMemo::ScrollEditor(int bar, WPARAM request)
{
    QPlainTextEdit* memo = Memo();
    if (!memo)
        return;
    QScrollBar* target = bar == SB_VERT ? memo->verticalScrollBar() : memo->horizontalScrollBar();
    const WORD code = LOWORD(request);
    if (code == SB_THUMBTRACK || code == SB_THUMBPOSITION) {
        target->setValue(HIWORD(request));
    } else {
        static const std::pair<WORD, QAbstractSlider::SliderAction> actions[] = {
            {SB_LINEUP, QAbstractSlider::SliderSingleStepSub}, {SB_LINEDOWN, QAbstractSlider::SliderSingleStepAdd},
            {SB_PAGEUP, QAbstractSlider::SliderPageStepSub},   {SB_PAGEDOWN, QAbstractSlider::SliderPageStepAdd},
            {SB_TOP, QAbstractSlider::SliderToMinimum},        {SB_BOTTOM, QAbstractSlider::SliderToMaximum},
        };
        for (const auto& [scrollCode, action] : actions)
            if (scrollCode == code)
                target->triggerAction(action);
    }
    // The window's bar is told at once, whether or not the hidden bar reported the change.
    ShowEditorScroll(bar);
}

void TCustomMemo::SetAlignment(TAlignment value)
{
    FAlignment = value;
    ApplyEditorState();
}

void TCustomMemo::Dispatch(TMessage& Message)
{
    // A rich edit window answers the text, selection and line messages itself; keys and the
    // mouse take the control's path first and reach it through the default handling.
    const bool input = Message.Msg == WM_CHAR || Message.Msg == WM_KEYDOWN ||
                       (Message.Msg >= WM_MOUSEFIRST && Message.Msg <= WM_MOUSELAST);
    if (HasRichEditWindow() && !input && RichEditWindowMessage(Message))
        return;
    switch (Message.Msg) {
    case WM_CHAR: {
        const unsigned char ch = static_cast<unsigned char>(Message.WParam & 0xFF);
        if (ch != '\r' && ch != '\t') {
            TCustomEdit::Dispatch(Message);
            return;
        }
        if (DoKeyPress(Message) || ReadOnly())
            return;
        if ((ch == '\r' && WantReturns) || (ch == '\t' && WantTabs))
            ReplaceSelection(ch == '\r' ? "\r\n" : "\t", true);
        return;
    }
    case WM_GETDLGCODE: {
        LRESULT code = DLGC_WANTCHARS | DLGC_WANTARROWS | DLGC_HASSETSEL;
        if (WantReturns)
            code |= DLGC_WANTALLKEYS;
        if (WantTabs)
            code |= DLGC_WANTTAB;
        Message.Result = code;
        return;
    }
    case WM_VSCROLL:
    case WM_HSCROLL:
        // The window's own bars (no bar window in LParam) scroll the text.
        if (Message.LParam == 0) {
            ScrollEditor(Message.Msg == WM_VSCROLL ? SB_VERT : SB_HORZ, Message.WParam);
            Message.Result = 0;
            return;
        }
        TCustomEdit::Dispatch(Message);
        return;
    case EM_GETLINECOUNT:
        Message.Result = LineCount();
        return;
    case EM_LINEINDEX: {
        int line = static_cast<int>(static_cast<std::intptr_t>(Message.WParam));
        if (line < 0)
            line = LineFromChar(SelStart());
        Message.Result = LineIndex(line);
        return;
    }
    case EM_LINELENGTH: {
        const int pos = static_cast<int>(static_cast<std::intptr_t>(Message.WParam));
        if (pos < 0) {
            Message.Result = 0;
            return;
        }
        Message.Result = static_cast<LRESULT>(LineText(LineFromChar(pos)).size());
        return;
    }
    case EM_LINEFROMCHAR: {
        int pos = static_cast<int>(static_cast<std::intptr_t>(Message.WParam));
        if (pos < 0)
            pos = SelStart();
        Message.Result = LineFromChar(pos);
        return;
    }
    case EM_GETLINE: {
        const int line = static_cast<int>(Message.WParam);
        auto* buffer = reinterpret_cast<char*>(Message.LParam);
        if (!buffer || line < 0 || line >= LineCount()) {
            Message.Result = 0;
            return;
        }
        WORD size = 0;
        std::memcpy(&size, buffer, sizeof(size));
        const std::string text = LineText(line);
        const std::size_t count = std::min<std::size_t>(text.size(), size);
        std::memcpy(buffer, text.data(), count);
        Message.Result = static_cast<LRESULT>(count);
        return;
    }
    case EM_GETFIRSTVISIBLELINE:
        if (QPlainTextEdit* memo = Memo())
            Message.Result = memo->cursorForPosition(QPoint(2, 2)).blockNumber();
        else
            Message.Result = 0;
        return;
    case EM_LINESCROLL:
        if (QPlainTextEdit* memo = Memo())
            memo->verticalScrollBar()->setValue(memo->verticalScrollBar()->value() + static_cast<int>(Message.LParam));
        Message.Result = 1;
        return;
    case EM_SCROLLCARET:
        if (QPlainTextEdit* memo = Memo())
            memo->ensureCursorVisible();
        Message.Result = 1;
        return;
    case EM_SETSEL: {
        const int total = static_cast<int>(GetText().size());
        int start = static_cast<int>(static_cast<std::intptr_t>(Message.WParam));
        int end = static_cast<int>(Message.LParam);
        if (start < 0)
            start = end = SelStart();
        if (end < 0 || end > total)
            end = total;
        SetSelection(std::min(start, end), std::abs(end - start));
        return;
    }
    default:
        TCustomEdit::Dispatch(Message);
    }
}
