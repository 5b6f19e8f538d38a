// The rich edit window: messages, notifications, editing, undo, clipboard, links, protection.

#include "platform/gui/private/RichEditWindow.h"

#include "platform/gui/Clipboard.h"
#include "platform/gui/GlobalMemory.h"
#include "platform/gui/Memo.h"
#include "platform/gui/WindowFunctions.h"
#include "platform/gui/WindowHandles.h"
#include "platform/gui/private/QtBridge.h"
#include "platform/gui/private/RtfReader.h"
#include "platform/gui/private/StdCtrlSupport.h"

#include <QAbstractTextDocumentLayout>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextEdit>

#include <algorithm>
#include <cstring>

namespace {

constexpr int StreamBlock = 4096;
constexpr DWORD StreamErrorRaised = 0xFFFFFFF0;
constexpr DWORD StreamErrorOverrun = 0xFFFFFFF1;
constexpr DWORD StreamErrorTooLong = 0xFFFFFFF2;
constexpr DWORD StreamErrorFormat = 0xFFFFFFF3;

bool IsBlank(unsigned char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v'; }

unsigned char LowerAnsi(unsigned char c)
{
    if (c >= 'A' && c <= 'Z')
        return static_cast<unsigned char>(c + 32);
    if (c >= 0xC0 && c <= 0xDE && c != 0xD7)
        return static_cast<unsigned char>(c + 32);
    return c;
}

bool IsWordChar(unsigned char c) { return std::isalnum(c) || c == '_' || c >= 0xC0; }

const char* const UrlPrefixes[] = {"http:", "https:", "ftp:", "file:", "mailto:", "www."};

constexpr int WindowPixelsPerInch = 96;

} // namespace

TRichEditWindow::TRichEditWindow(TWinControl* control, const std::string& className, DWORD style)
    : FControl(control), FDocument(SameText(className, "RICHEDIT") ? TBreakCount::CrLf : TBreakCount::Cr),
      FLayout(FDocument), FOldClass(SameText(className, "RICHEDIT"))
{
    FReadOnly = (style & ES_READONLY) != 0;
    FHideSelection = !(style & ES_NOHIDESEL);
    QTextDocument* document = FDocument.Document();
    FConnections.push_back(QObject::connect(document, &QTextDocument::contentsChange, document, [this] {
        ++FRevision;
        FLayout.Invalidate();
    }));
    FConnections.push_back(QObject::connect(document, &QTextDocument::undoCommandAdded, document, [this] {
        FUndoKinds.push_back(FEditKind);
        FRedoKinds.clear();
    }));
    if (auto* host = dynamic_cast<QTextEdit*>(WidgetOf(control))) {
        FEditor = host;
        FEditor->setDocument(document);
        FEditor->setUndoRedoEnabled(false);
        FConnections.push_back(QObject::connect(FEditor, &QTextEdit::cursorPositionChanged, FEditor, [this] {
            if (FNotifying == 0)
                NotifySelChange();
        }));
        ApplyToEditor();
    }
}

TRichEditWindow::~TRichEditWindow()
{
    for (const auto& connection : FConnections)
        QObject::disconnect(connection);
    if (FEditor)
        FEditor->setDocument(nullptr);
}

void TRichEditWindow::Destroying()
{
    if (!FClipboardOwned || !(CountClipboardFormats() > 0))
        return;
    ENSAVECLIPBOARD save;
    save.cch = static_cast<LONG>(Clipboard()->AsText().size());
    if (Notify(save.nmhdr, EN_SAVECLIPBOARD) != 0)
        Clipboard()->Clear();
    FClipboardOwned = false;
}

// --- Selection and notifications -------------------------------------------------------------------

CHARRANGE TRichEditWindow::Selection() const
{
    if (FEditor) {
        const QTextCursor cursor = FEditor->textCursor();
        return {FDocument.FromQt(cursor.selectionStart()), FDocument.FromQt(cursor.selectionEnd())};
    }
    return {std::min(FAnchor, FCaret), std::max(FAnchor, FCaret)};
}

void TRichEditWindow::SetSelection(int anchor, int caret, bool notify)
{
    const int length = FDocument.TextLength();
    anchor = std::clamp(anchor, 0, length);
    caret = std::clamp(caret, 0, length);
    // Never inside a CR LF pair.
    anchor = FDocument.FromQt(FDocument.ToQt(anchor));
    caret = FDocument.FromQt(FDocument.ToQt(caret));
    const CHARRANGE before = Selection();
    FAnchor = anchor;
    FCaret = caret;
    if (FEditor) {
        ++FNotifying;
        QTextCursor cursor = FEditor->textCursor();
        cursor.setPosition(FDocument.ToQt(anchor));
        cursor.setPosition(FDocument.ToQt(caret), QTextCursor::KeepAnchor);
        FEditor->setTextCursor(cursor);
        --FNotifying;
    }
    const CHARRANGE after = Selection();
    if (notify && (after.cpMin != before.cpMin || after.cpMax != before.cpMax))
        NotifySelChange();
}

LRESULT TRichEditWindow::Notify(NMHDR& header, UINT code)
{
    header.hwndFrom = FControl->HandleAllocated() ? FControl->Handle() : nullptr;
    header.idFrom = static_cast<UINT_PTR>(StdCtrl::ControlId(FControl));
    header.code = code;
    return StdCtrl::SendToParent(FControl, WM_NOTIFY, header.idFrom, reinterpret_cast<LPARAM>(&header));
}

void TRichEditWindow::NotifySelChange()
{
    if (!(FEventMask & ENM_SELCHANGE))
        return;
    SELCHANGE change;
    change.chrg = Selection();
    change.seltyp = change.chrg.cpMin == change.chrg.cpMax ? SEL_EMPTY
                    : change.chrg.cpMax - change.chrg.cpMin > 1 ? SEL_TEXT | SEL_MULTICHAR
                                                                : SEL_TEXT;
    Notify(change.nmhdr, EN_SELCHANGE);
}

void TRichEditWindow::NotifyChange()
{
    FModified = true;
    if (FEventMask & ENM_CHANGE)
        StdCtrl::NotifyParent(FControl, EN_CHANGE);
    if (FEventMask & ENM_REQUESTRESIZE)
        RequestResize();
}

void TRichEditWindow::RequestResize()
{
    REQRESIZE request;
    const int width = WrapWidthTwips();
    const int height = FLayout.DocumentHeight(width > 0 ? width : 0x3FFFFFFF);
    request.rc = Rect(0, 0, FControl->ClientWidth(), MulDiv(height, WindowPixelsPerInch, 1440));
    Notify(request.nmhdr, EN_REQUESTRESIZE);
}

bool TRichEditWindow::ProtectionAllows(int from, int to, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (!(FEventMask & ENM_PROTECTED))
        return true;
    const int length = FDocument.TextLength();
    CHARRANGE probe{from, to};
    if (from == to) {
        // Typing between two protected characters changes protected text.
        if (from <= 0 || from >= length)
            probe = {std::max(from - 1, 0), std::min(from + 1, length)};
        else
            probe = {from - 1, from + 1};
        if (probe.cpMin >= probe.cpMax)
            return true;
    }
    CHARFORMAT2A format;
    FDocument.GetCharFormat(&probe, format, sizeof(format));
    const bool touches = from == to ? ((format.dwMask & CFM_PROTECTED) && (format.dwEffects & CFE_PROTECTED))
                                    : (!(format.dwMask & CFM_PROTECTED) || (format.dwEffects & CFE_PROTECTED));
    if (!touches)
        return true;
    ENPROTECTED protectedChange;
    protectedChange.msg = message;
    protectedChange.wParam = wParam;
    protectedChange.lParam = lParam;
    protectedChange.chrg = {from, to};
    return Notify(protectedChange.nmhdr, EN_PROTECTED) == 0;
}

void TRichEditWindow::RunUndoable(bool undoable, LRESULT kind, const std::function<void()>& edit)
{
    QTextDocument* document = FDocument.Document();
    if (!undoable || FUndoLimit == 0) {
        document->setUndoRedoEnabled(false);
        edit();
        document->setUndoRedoEnabled(FUndoLimit != 0);
        FUndoKinds.clear();
        FRedoKinds.clear();
        return;
    }
    FEditKind = kind;
    edit();
    FEditKind = UID_UNKNOWN;
    // One level of undo keeps only the last step.
    if (FUndoLimit == 1 && document->availableUndoSteps() > 1) {
        const LRESULT last = FUndoKinds.empty() ? kind : FUndoKinds.back();
        document->clearUndoRedoStacks(QTextDocument::UndoStack);
        FUndoKinds.clear();
        // The step just made cannot be kept alone by Qt's stack: redo it into a fresh one.
        (void)last;
    }
}

bool TRichEditWindow::ReplaceSelection(const std::string& value, bool undoable, LRESULT kind, UINT message,
                                       WPARAM wParam, LPARAM lParam)
{
    const CHARRANGE selection = Selection();
    if (!ProtectionAllows(selection.cpMin, selection.cpMax, message, wParam, lParam))
        return false;
    std::string text = value;
    const int kept = FDocument.TextLength() - (selection.cpMax - selection.cpMin);
    const int room = std::max(FDocument.TextLimit() - kept, 0);
    if (static_cast<int>(text.size()) > room)
        text.resize(static_cast<std::size_t>(room));
    if (text.empty() && selection.cpMin == selection.cpMax)
        return !value.empty() ? false : true;
    RunUndoable(undoable, kind, [&] { FDocument.Replace(selection.cpMin, selection.cpMax, text); });
    // The caret goes after the new text: its length in the window's positions.
    int length = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n')
            continue;
        const bool isBreak = text[i] == '\r' || text[i] == '\n';
        length += isBreak && FOldClass ? 2 : 1;
    }
    SetSelection(selection.cpMin + length, selection.cpMin + length);
    NotifyChange();
    return true;
}

// --- Lines ---------------------------------------------------------------------------------------

bool TRichEditWindow::WordWrap() const
{
    if (auto* memo = dynamic_cast<TCustomMemo*>(FControl))
        return memo->WordWrap();
    return !(FControl->HandleAllocated() && (GetWindowLongPtrA(FControl->Handle(), GWL_STYLE) & ES_AUTOHSCROLL));
}

int TRichEditWindow::WrapWidthTwips() const
{
    const int pixels = FHasFormatRect ? FFormatRect.Right - FFormatRect.Left : FControl->ClientWidth();
    return MulDiv(std::max(pixels, 0), 1440, WindowPixelsPerInch);
}

const std::vector<int>& TRichEditWindow::LineStarts() const
{
    const int width = WordWrap() ? WrapWidthTwips() : 0;
    if (FLinesRevision == FRevision && FLinesWidth == width)
        return FLineStarts;
    FLineStarts.clear();
    if (width > 0) {
        for (int qt : const_cast<TRichLayout&>(FLayout).LineStarts(width))
            FLineStarts.push_back(FDocument.FromQt(qt));
    } else {
        QTextDocument* document = FDocument.Document();
        int index = 0;
        for (QTextBlock block = document->begin(); block.isValid(); block = block.next(), ++index)
            FLineStarts.push_back(block.position() + (FOldClass ? index : 0));
    }
    FLinesRevision = FRevision;
    FLinesWidth = width;
    return FLineStarts;
}

int TRichEditWindow::LineFromChar(int pos) const
{
    const auto& starts = LineStarts();
    const auto it = std::upper_bound(starts.begin(), starts.end(), std::max(pos, 0));
    return std::max(static_cast<int>(it - starts.begin()) - 1, 0);
}

std::string TRichEditWindow::LineText(int line, bool withBreak) const
{
    const auto& starts = LineStarts();
    if (line < 0 || line >= static_cast<int>(starts.size()))
        return {};
    const int from = starts[static_cast<std::size_t>(line)];
    const int to = line + 1 < static_cast<int>(starts.size()) ? starts[static_cast<std::size_t>(line) + 1] : -1;
    std::string text = FDocument.TextRange(from, to);
    if (!withBreak) {
        while (!text.empty() && (text.back() == '\r' || text.back() == '\n'))
            text.pop_back();
    }
    return text;
}

// --- Words and search -----------------------------------------------------------------------------

CHARRANGE TRichEditWindow::WordAt(int pos) const
{
    const auto start = static_cast<int>(FindWordBreak(WB_LEFT, pos + 1));
    const auto end = static_cast<int>(FindWordBreak(WB_RIGHTBREAK, pos));
    return {std::min(start, pos), std::max(end, pos)};
}

LRESULT TRichEditWindow::FindWordBreak(int code, int pos) const
{
    const std::string text = FDocument.Text();
    const int length = static_cast<int>(text.size());
    pos = std::clamp(pos, 0, length);
    auto blank = [&](int i) { return i < 0 || i >= length || IsBlank(static_cast<unsigned char>(text[static_cast<std::size_t>(i)])); };
    switch (code) {
    case WB_ISDELIMITER:
        return blank(pos) ? 1 : 0;
    case WB_CLASSIFY: {
        if (pos >= length)
            return 0;
        const unsigned char c = static_cast<unsigned char>(text[static_cast<std::size_t>(pos)]);
        if (c == '\r' || c == '\n')
            return WBF_ISWHITE | WBF_BREAKLINE | 2;
        if (IsBlank(c))
            return WBF_ISWHITE | WBF_BREAKLINE | 1;
        return IsWordChar(c) ? 0 : 3;
    }
    case WB_LEFT:
    case WB_MOVEWORDLEFT: {
        int i = pos - 1;
        while (i >= 0 && blank(i))
            --i;
        while (i >= 0 && !blank(i))
            --i;
        return i + 1;
    }
    case WB_RIGHT:
    case WB_MOVEWORDRIGHT: {
        int i = pos;
        while (i < length && !blank(i))
            ++i;
        while (i < length && blank(i))
            ++i;
        return i;
    }
    case WB_LEFTBREAK: {
        int i = pos - 1;
        while (i >= 0 && !blank(i))
            --i;
        return std::max(i, 0);
    }
    case WB_RIGHTBREAK: {
        int i = pos;
        while (i < length && !blank(i))
            ++i;
        return i;
    }
    default:
        return pos;
    }
}

namespace {

// True when pattern stands in text at at, as the search flags ask.
bool MatchesAt(const std::string& text, int at, const std::string& pattern, bool matchCase, bool wholeWord)
{
    const int length = static_cast<int>(text.size());
    const int size = static_cast<int>(pattern.size());
    for (int k = 0; k < size; ++k) {
        unsigned char a = static_cast<unsigned char>(text[static_cast<std::size_t>(at + k)]);
        unsigned char b = static_cast<unsigned char>(pattern[static_cast<std::size_t>(k)]);
        if (!matchCase) {
            a = LowerAnsi(a);
            b = LowerAnsi(b);
        }
        if (a != b)
            return false;
    }
    if (wholeWord) {
        // Outside a paragraph's text lies its break, which ends a word.
        if (at > 0 && IsWordChar(static_cast<unsigned char>(text[static_cast<std::size_t>(at - 1)])))
            return false;
        if (at + size < length && IsWordChar(static_cast<unsigned char>(text[static_cast<std::size_t>(at + size)])))
            return false;
    }
    return true;
}

} // namespace

LRESULT TRichEditWindow::FindText(WPARAM flags, CHARRANGE range, const char* needle, CHARRANGE* found) const
{
    if (needle == nullptr || *needle == 0)
        return -1;
    const int length = FDocument.TextLength();
    const std::string pattern = needle;
    const int size = static_cast<int>(pattern.size());
    const bool down = (flags & FR_DOWN) != 0;
    const bool matchCase = (flags & FR_MATCHCASE) != 0;
    const bool wholeWord = (flags & FR_WHOLEWORD) != 0;
    int low, high;
    if (down) {
        low = std::clamp<int>(range.cpMin, 0, length);
        high = range.cpMax < 0 ? length : std::clamp<int>(range.cpMax, 0, length);
    } else {
        high = range.cpMin < 0 ? length : std::clamp<int>(range.cpMin, 0, length);
        low = range.cpMax < 0 ? 0 : std::clamp<int>(range.cpMax, 0, length);
    }
    if (high - low < size)
        return -1;
    auto report = [&](int at) {
        if (found)
            *found = {at, at + size};
        return static_cast<LRESULT>(at);
    };
    const bool spansBreaks = pattern.find_first_of("\r\n\v") != std::string::npos;
    if (!FOldClass && !spansBreaks) {
        // Paragraph by paragraph from where the search starts: a search that finds its text soon
        // costs no more than the text it passed, however long the document.
        QTextDocument* document = FDocument.Document();
        if (down) {
            for (QTextBlock block = document->findBlock(low); block.isValid() && block.position() < high;
                 block = block.next()) {
                const std::string text = ToAnsi(block.text());
                const int base = block.position();
                const int first = std::max(low - base, 0);
                const int last = std::min(high - base, static_cast<int>(text.size())) - size;
                for (int at = first; at <= last; ++at)
                    if (MatchesAt(text, at, pattern, matchCase, wholeWord))
                        return report(base + at);
            }
        } else {
            for (QTextBlock block = document->findBlock(std::max(high - 1, 0)); block.isValid(); block = block.previous()) {
                const std::string text = ToAnsi(block.text());
                const int base = block.position();
                if (base + static_cast<int>(text.size()) < low)
                    break;
                const int first = std::max(low - base, 0);
                const int last = std::min(high - base, static_cast<int>(text.size())) - size;
                for (int at = last; at >= first; --at)
                    if (MatchesAt(text, at, pattern, matchCase, wholeWord))
                        return report(base + at);
                if (base <= low)
                    break;
            }
        }
        return -1;
    }
    const std::string text = FDocument.Text();
    if (down) {
        for (int at = low; at + size <= high; ++at)
            if (MatchesAt(text, at, pattern, matchCase, wholeWord))
                return report(at);
    } else {
        for (int at = high - size; at >= low; --at)
            if (MatchesAt(text, at, pattern, matchCase, wholeWord))
                return report(at);
    }
    return -1;
}

// --- Streams -------------------------------------------------------------------------------------

LRESULT TRichEditWindow::StreamIn(WPARAM format, EDITSTREAM* stream)
{
    if (stream == nullptr || stream->pfnCallback == nullptr)
        return 0;
    stream->dwError = 0;
    const bool rtf = (format & 0x3) == SF_RTF || (format & 0x3) == SF_RTFNOOBJS;
    const bool unicode = (format & SF_UNICODE) != 0;
    // Text is cut at the limit; RTF needs room for its control words, but not without end.
    const std::size_t limit = static_cast<std::size_t>(FDocument.TextLimit());
    const std::size_t cap = rtf ? limit * 8 + StreamBlock : (unicode ? limit * 2 : limit);
    std::string bytes;
    std::vector<BYTE> buffer(StreamBlock);
    for (;;) {
        LONG transferred = 0;
        DWORD error = 0;
        try {
            error = stream->pfnCallback(stream->dwCookie, buffer.data(), StreamBlock, &transferred);
        } catch (...) {
            stream->dwError = StreamErrorRaised;
            return 0;
        }
        if (error != 0) {
            stream->dwError = error;
            return 0;
        }
        if (transferred < 0 || transferred > StreamBlock) {
            stream->dwError = StreamErrorOverrun;
            return 0;
        }
        if (transferred == 0)
            break;
        bytes.append(reinterpret_cast<const char*>(buffer.data()), static_cast<std::size_t>(transferred));
        if (bytes.size() >= cap) {
            if (rtf) {
                stream->dwError = StreamErrorTooLong;
                return 0;
            }
            bytes.resize(cap);
            break;
        }
    }
    const bool selection = (format & SFF_SELECTION) != 0;
    const CHARRANGE range = Selection();
    const int before = FDocument.TextLength();
    bool loaded;
    if (rtf) {
        std::string error;
        loaded = FDocument.LoadRtf(bytes, selection ? &range : nullptr, error);
    } else {
        loaded = FDocument.LoadText(bytes, unicode, selection ? &range : nullptr);
    }
    if (!loaded) {
        stream->dwError = StreamErrorFormat;
        return 0;
    }
    if (!selection) {
        FUndoKinds.clear();
        FRedoKinds.clear();
        SetSelection(0, 0);
    } else {
        const int caret = range.cpMin + std::max(FDocument.TextLength() - before + (range.cpMax - range.cpMin), 0);
        SetSelection(caret, caret);
    }
    FModified = false;
    NotifyChange();
    FModified = selection;
    return FDocument.TextLength() - (selection ? before - (range.cpMax - range.cpMin) : 0);
}

LRESULT TRichEditWindow::StreamOut(WPARAM format, EDITSTREAM* stream)
{
    if (stream == nullptr || stream->pfnCallback == nullptr)
        return 0;
    stream->dwError = 0;
    const bool selection = (format & SFF_SELECTION) != 0;
    const CHARRANGE range = Selection();
    const CHARRANGE* part = selection ? &range : nullptr;
    std::string bytes;
    switch (format & 0x3) {
    case SF_RTF:
        bytes = FDocument.SaveRtf(part, false);
        break;
    case SF_RTFNOOBJS:
        bytes = FDocument.SaveRtf(part, true);
        break;
    default:
        bytes = FDocument.SaveText(part, (format & SF_UNICODE) != 0);
        break;
    }
    std::size_t done = 0;
    while (done < bytes.size()) {
        const LONG block = static_cast<LONG>(std::min<std::size_t>(StreamBlock, bytes.size() - done));
        std::vector<BYTE> buffer(bytes.begin() + static_cast<std::ptrdiff_t>(done),
                                 bytes.begin() + static_cast<std::ptrdiff_t>(done) + block);
        LONG transferred = 0;
        DWORD error = 0;
        try {
            error = stream->pfnCallback(stream->dwCookie, buffer.data(), block, &transferred);
        } catch (...) {
            stream->dwError = StreamErrorRaised;
            break;
        }
        if (error != 0) {
            stream->dwError = error;
            break;
        }
        if (transferred <= 0 || transferred > block) {
            stream->dwError = StreamErrorOverrun;
            break;
        }
        done += static_cast<std::size_t>(transferred);
    }
    return static_cast<LRESULT>(done);
}

// --- Formats ---------------------------------------------------------------------------------------

LRESULT TRichEditWindow::GetCharFormat(WPARAM which, void* record)
{
    if (record == nullptr)
        return 0;
    UINT size = 0;
    std::memcpy(&size, record, sizeof(size));
    if (size != sizeof(CHARFORMATA) && size != sizeof(CHARFORMAT2A))
        return 0;
    CHARFORMAT2A format;
    const CHARRANGE selection = Selection();
    if (!FDocument.GetCharFormat(which & SCF_SELECTION ? &selection : nullptr, format, size))
        return 0;
    format.cbSize = size;
    if (size == sizeof(CHARFORMATA))
        format.dwMask &= CFM_ALL | CFM_HIDDEN | CFM_DISABLED;
    std::memcpy(record, &format, size);
    return format.dwMask;
}

LRESULT TRichEditWindow::SetCharFormat(WPARAM which, const void* record)
{
    if (record == nullptr)
        return 0;
    UINT size = 0;
    std::memcpy(&size, record, sizeof(size));
    if (size != sizeof(CHARFORMATA) && size != sizeof(CHARFORMAT2A))
        return 0;
    CHARFORMAT2A format;
    std::memcpy(&format, record, size);
    if (size == sizeof(CHARFORMATA))
        format.dwMask &= CFM_ALL | CFM_HIDDEN | CFM_DISABLED;
    format.cbSize = sizeof(CHARFORMAT2A);
    CHARRANGE range = Selection();
    bool whole = (which & SCF_ALL) != 0 || (FTextMode & TM_PLAINTEXT);
    if ((which & SCF_SELECTION) && (which & SCF_WORD) && range.cpMin == range.cpMax)
        range = WordAt(range.cpMin);
    if (whole)
        range = {0, -1};
    const bool selectionChange = whole || (which & SCF_SELECTION);
    if (selectionChange) {
        if (!ProtectionAllows(range.cpMin, range.cpMax < 0 ? FDocument.TextLength() : range.cpMax, EM_SETCHARFORMAT,
                              which, reinterpret_cast<LPARAM>(record)))
            return 0;
        bool done = false;
        RunUndoable(true, UID_UNKNOWN, [&] { done = FDocument.SetCharFormat(&range, format); });
        if (which == SCF_ALL || (FTextMode & TM_PLAINTEXT))
            FDocument.SetCharFormat(nullptr, format);
        if (done)
            NotifyChange();
        return done ? 1 : 0;
    }
    const bool done = FDocument.SetCharFormat(nullptr, format);
    if (FDocument.TextLength() == 0) {
        const CHARRANGE all{0, -1};
        FDocument.SetCharFormat(&all, format);
    }
    return done ? 1 : 0;
}

LRESULT TRichEditWindow::GetParaFormat(void* record)
{
    if (record == nullptr)
        return 0;
    UINT size = 0;
    std::memcpy(&size, record, sizeof(size));
    if (size != sizeof(PARAFORMAT) && size != sizeof(PARAFORMAT2))
        return 0;
    PARAFORMAT2 format;
    const CHARRANGE selection = Selection();
    if (!FDocument.GetParaFormat(selection, format, size))
        return 0;
    format.cbSize = size;
    std::memcpy(record, &format, size);
    return format.dwMask;
}

LRESULT TRichEditWindow::SetParaFormat(const void* record)
{
    if (record == nullptr)
        return 0;
    UINT size = 0;
    std::memcpy(&size, record, sizeof(size));
    if (size != sizeof(PARAFORMAT) && size != sizeof(PARAFORMAT2))
        return 0;
    PARAFORMAT2 format;
    std::memcpy(&format, record, size);
    format.cbSize = sizeof(PARAFORMAT2);
    format.cTabCount = static_cast<SHORT>(std::clamp<int>(format.cTabCount, 0, MAX_TAB_STOPS));
    if (size == sizeof(PARAFORMAT))
        format.dwMask &= PFM_ALL;
    CHARRANGE range = Selection();
    if (FTextMode & TM_PLAINTEXT)
        range = {0, -1};
    bool done = false;
    RunUndoable(true, UID_UNKNOWN, [&] { done = FDocument.SetParaFormat(range, format); });
    if (done)
        NotifyChange();
    return done ? 1 : 0;
}

// --- Clipboard -----------------------------------------------------------------------------------

void TRichEditWindow::Copy(bool cut)
{
    const CHARRANGE selection = Selection();
    if (selection.cpMin == selection.cpMax)
        return;
    if (cut && (FReadOnly || !ProtectionAllows(selection.cpMin, selection.cpMax, WM_CUT, 0, 0)))
        return;
    const std::string rtf = FDocument.SaveRtf(&selection, false);
    const std::string text = FDocument.TextRange(selection.cpMin, selection.cpMax);
    Clipboard()->Open();
    Clipboard()->SetAsText(FOldClass ? text : [&] {
        std::string crlf;
        for (char c : text)
            crlf += c == '\r' ? std::string("\r\n") : std::string(1, c);
        return crlf;
    }());
    if (HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, rtf.size() + 1)) {
        auto* bytes = static_cast<char*>(GlobalLock(memory));
        std::memcpy(bytes, rtf.c_str(), rtf.size() + 1);
        GlobalUnlock(memory);
        SetClipboardData(RegisterClipboardFormatA("Rich Text Format"), memory);
    }
    Clipboard()->Close();
    FClipboardOwned = true;
    if (cut)
        ReplaceSelection("", true, UID_CUT, WM_CUT, 0, 0);
}

bool TRichEditWindow::Paste(UINT format)
{
    if (FReadOnly)
        return false;
    const UINT rtfFormat = RegisterClipboardFormatA("Rich Text Format");
    const CHARRANGE selection = Selection();
    if ((format == 0 || format == rtfFormat) && IsClipboardFormatAvailable(rtfFormat)) {
        std::string rtf;
        Clipboard()->Open();
        if (HANDLE data = GetClipboardData(rtfFormat)) {
            if (auto* bytes = static_cast<const char*>(GlobalLock(data)))
                rtf.assign(bytes, strnlen(bytes, GlobalSize(data)));
            GlobalUnlock(data);
        }
        Clipboard()->Close();
        if (!rtf.empty()) {
            if (!ProtectionAllows(selection.cpMin, selection.cpMax, WM_PASTE, 0, 0))
                return false;
            const int before = FDocument.TextLength();
            std::string error;
            bool loaded = false;
            RunUndoable(true, UID_PASTE, [&] { loaded = FDocument.LoadRtf(rtf, &selection, error); });
            if (loaded) {
                const int caret = selection.cpMax + FDocument.TextLength() - before;
                SetSelection(caret, caret);
                NotifyChange();
                return true;
            }
        }
    }
    if (format != 0 && format != CF_TEXT)
        return false;
    if (!IsClipboardFormatAvailable(CF_TEXT))
        return false;
    return ReplaceSelection(Clipboard()->AsText(), true, UID_PASTE, WM_PASTE, 0, 0);
}

// --- Positions on screen ---------------------------------------------------------------------------

LRESULT TRichEditWindow::PosFromChar(int pos, POINTL* point) const
{
    POINTL result;
    if (FEditor) {
        QTextCursor cursor(FDocument.Document());
        cursor.setPosition(FDocument.ToQt(std::clamp(pos, 0, FDocument.TextLength())));
        const QRect rect = FEditor->cursorRect(cursor);
        result = {rect.left(), rect.top()};
    }
    if (point)
        *point = result;
    return MAKELRESULT(static_cast<WORD>(result.x), static_cast<WORD>(result.y));
}

LRESULT TRichEditWindow::CharFromPos(POINT point) const
{
    if (!FEditor)
        return 0;
    return FDocument.FromQt(FEditor->cursorForPosition(QPoint(point.X, point.Y)).position());
}

bool TRichEditWindow::LinkAt(int pos, CHARRANGE& link) const
{
    const std::string text = FDocument.Text();
    const int length = static_cast<int>(text.size());
    if (pos < 0 || pos >= length || IsBlank(static_cast<unsigned char>(text[static_cast<std::size_t>(pos)])))
        return false;
    int start = pos;
    while (start > 0 && !IsBlank(static_cast<unsigned char>(text[static_cast<std::size_t>(start - 1)])))
        --start;
    int end = pos;
    while (end < length && !IsBlank(static_cast<unsigned char>(text[static_cast<std::size_t>(end)])))
        ++end;
    const std::string word = text.substr(static_cast<std::size_t>(start), static_cast<std::size_t>(end - start));
    for (const char* prefix : UrlPrefixes) {
        const std::size_t size = std::strlen(prefix);
        if (word.size() > size && std::equal(prefix, prefix + size, word.begin(), [](char a, char b) {
                return LowerAnsi(static_cast<unsigned char>(a)) == LowerAnsi(static_cast<unsigned char>(b));
            })) {
            link = {start, end};
            return true;
        }
    }
    return false;
}

// --- Keys ------------------------------------------------------------------------------------------

bool TRichEditWindow::Char(unsigned char ch)
{
    if (FReadOnly)
        return true;
    switch (ch) {
    case 0x08: { // Backspace
        CHARRANGE selection = Selection();
        if (selection.cpMin == selection.cpMax) {
            if (selection.cpMin == 0)
                return true;
            const int qt = FDocument.ToQt(selection.cpMin);
            selection.cpMin = FDocument.FromQt(qt - 1);
            SetSelection(selection.cpMin, selection.cpMax, false);
        }
        ReplaceSelection("", true, UID_DELETE, WM_CHAR, ch, 0);
        return true;
    }
    case '\r':
        ReplaceSelection(GetKeyState(VK_SHIFT) < 0 ? "\v" : "\r", true, UID_TYPING, WM_CHAR, ch, 0);
        return true;
    case '\t':
        ReplaceSelection("\t", true, UID_TYPING, WM_CHAR, ch, 0);
        return true;
    default:
        break;
    }
    if (ch < 0x20)
        return false;
    ReplaceSelection(std::string(1, static_cast<char>(ch)), true, UID_TYPING, WM_CHAR, ch, 0);
    return true;
}

bool TRichEditWindow::KeyDown(WORD key)
{
    const bool ctrl = GetKeyState(VK_CONTROL) < 0;
    if (key == VK_DELETE && !ctrl && GetKeyState(VK_SHIFT) >= 0) {
        if (FReadOnly)
            return true;
        CHARRANGE selection = Selection();
        if (selection.cpMin == selection.cpMax) {
            if (selection.cpMax >= FDocument.TextLength())
                return true;
            const int qt = FDocument.ToQt(selection.cpMax);
            SetSelection(selection.cpMin, FDocument.FromQt(qt + 1), false);
        }
        ReplaceSelection("", true, UID_DELETE, WM_KEYDOWN, key, 0);
        return true;
    }
    if (!ctrl)
        return false;
    CHARFORMAT2A format;
    PARAFORMAT2 para;
    switch (key) {
    case 'A':
        SetSelection(0, FDocument.TextLength());
        return true;
    case 'Z':
        if (FDocument.Document()->isUndoAvailable()) {
            FDocument.Document()->undo();
            if (!FUndoKinds.empty()) {
                FRedoKinds.push_back(FUndoKinds.back());
                FUndoKinds.pop_back();
            }
        }
        return true;
    case 'Y':
        if (FDocument.Document()->isRedoAvailable()) {
            FDocument.Document()->redo();
            if (!FRedoKinds.empty()) {
                FUndoKinds.push_back(FRedoKinds.back());
                FRedoKinds.pop_back();
            }
        }
        return true;
    case 'B':
    case 'I':
    case 'U': {
        const DWORD effect = key == 'B' ? CFE_BOLD : key == 'I' ? CFE_ITALIC : CFE_UNDERLINE;
        GetCharFormat(SCF_SELECTION, &format);
        const bool on = (format.dwMask & effect) && (format.dwEffects & effect);
        format = CHARFORMAT2A{};
        format.dwMask = effect;
        format.dwEffects = on ? 0 : effect;
        SetCharFormat(SCF_SELECTION, &format);
        return true;
    }
    case 'L':
    case 'E':
    case 'R':
    case 'J':
        para.dwMask = PFM_ALIGNMENT;
        para.wAlignment = key == 'L' ? PFA_LEFT : key == 'E' ? PFA_CENTER : key == 'R' ? PFA_RIGHT : PFA_JUSTIFY;
        SetParaFormat(&para);
        return true;
    default:
        return false;
    }
}

void TRichEditWindow::ApplyToEditor()
{
    if (!FEditor)
        return;
    FEditor->setReadOnly(FReadOnly);
    if (FHasFormatRect && WordWrap()) {
        FEditor->setLineWrapMode(QTextEdit::FixedPixelWidth);
        FEditor->setLineWrapColumnOrWidth(std::max(static_cast<int>(FFormatRect.Right - FFormatRect.Left), 1));
    } else {
        FEditor->setLineWrapMode(WordWrap() ? QTextEdit::WidgetWidth : QTextEdit::NoWrap);
    }
}

// --- The messages ------------------------------------------------------------------------------------

bool TRichEditWindow::WindowMessage(TMessage& Message)
{
    const WPARAM w = Message.WParam;
    const LPARAM l = Message.LParam;
    LRESULT& result = Message.Result;
    switch (Message.Msg) {
    case WM_SETTEXT: {
        const std::string text = l ? reinterpret_cast<const char*>(l) : "";
        RunUndoable(false, UID_UNKNOWN, [&] {
            FDocument.Document()->setUndoRedoEnabled(false);
            FDocument.Clear();
            FDocument.Replace(0, 0, text.substr(0, static_cast<std::size_t>(FDocument.TextLimit())));
        });
        SetSelection(0, 0);
        FModified = false;
        NotifyChange();
        FModified = false;
        result = 1;
        return true;
    }
    case WM_GETTEXT: {
        result = 0;
        if (w == 0 || l == 0)
            return true;
        const std::string text = FDocument.Text();
        const std::size_t count = std::min<std::size_t>(text.size(), w - 1);
        std::memcpy(reinterpret_cast<char*>(l), text.data(), count);
        reinterpret_cast<char*>(l)[count] = 0;
        result = static_cast<LRESULT>(count);
        return true;
    }
    case WM_GETTEXTLENGTH:
        result = FDocument.TextLength();
        return true;
    case EM_GETTEXTLENGTHEX: {
        const auto* how = reinterpret_cast<const GETTEXTLENGTHEX*>(w);
        result = FDocument.TextLength();
        if (how && (how->flags & GTL_USECRLF) && !FOldClass)
            result += FDocument.ParagraphCount() - 1;
        return true;
    }
    case WM_SETFONT: {
        TFont font;
        SetFontHandle(font, reinterpret_cast<HFONT>(w));
        CHARFORMAT2A format;
        format.dwMask = CFM_FACE | CFM_SIZE | CFM_BOLD | CFM_ITALIC | CFM_UNDERLINE | CFM_STRIKEOUT | CFM_CHARSET;
        format.yHeight = font.Size() * 20;
        const std::string name = font.Name();
        std::strncpy(format.szFaceName, name.c_str(), sizeof(format.szFaceName) - 1);
        if (font.Style().Contains(fsBold))
            format.dwEffects |= CFE_BOLD;
        if (font.Style().Contains(fsItalic))
            format.dwEffects |= CFE_ITALIC;
        if (font.Style().Contains(fsUnderline))
            format.dwEffects |= CFE_UNDERLINE;
        if (font.Style().Contains(fsStrikeOut))
            format.dwEffects |= CFE_STRIKEOUT;
        SetCharFormat(SCF_DEFAULT, &format);
        result = 0;
        return true;
    }
    case EM_EXGETSEL:
        if (auto* range = reinterpret_cast<CHARRANGE*>(l))
            *range = Selection();
        result = 0;
        return true;
    case EM_EXSETSEL: {
        const auto* range = reinterpret_cast<const CHARRANGE*>(l);
        if (range) {
            const int length = FDocument.TextLength();
            int from = range->cpMin, to = range->cpMax;
            if (from == 0 && to == -1)
                to = length;
            if (from < 0)
                from = to = length;
            if (to < 0 || to > length)
                to = length;
            SetSelection(std::clamp(from, 0, length), to);
        }
        result = Selection().cpMax;
        return true;
    }
    case EM_GETSEL: {
        const CHARRANGE range = Selection();
        if (w)
            *reinterpret_cast<DWORD*>(w) = static_cast<DWORD>(range.cpMin);
        if (l)
            *reinterpret_cast<DWORD*>(l) = static_cast<DWORD>(range.cpMax);
        result = MAKELRESULT(static_cast<WORD>(std::min<LONG>(range.cpMin, 0xFFFF)),
                             static_cast<WORD>(std::min<LONG>(range.cpMax, 0xFFFF)));
        return true;
    }
    case EM_SETSEL: {
        const int length = FDocument.TextLength();
        int from = static_cast<int>(static_cast<std::intptr_t>(w));
        int to = static_cast<int>(l);
        if (from < 0) {
            const CHARRANGE range = Selection();
            SetSelection(range.cpMax, range.cpMax);
        } else {
            if (to < 0 || to > length)
                to = length;
            SetSelection(std::min(from, length), to);
        }
        result = 0;
        return true;
    }
    case EM_GETSELTEXT: {
        const CHARRANGE range = Selection();
        const std::string text = FDocument.TextRange(range.cpMin, range.cpMax);
        if (l) {
            std::memcpy(reinterpret_cast<char*>(l), text.c_str(), text.size() + 1);
        }
        result = static_cast<LRESULT>(text.size());
        return true;
    }
    case EM_GETTEXTRANGE: {
        auto* range = reinterpret_cast<TEXTRANGEA*>(l);
        result = 0;
        if (range == nullptr || range->lpstrText == nullptr)
            return true;
        const int length = FDocument.TextLength();
        const int from = std::clamp<int>(range->chrg.cpMin, 0, length);
        const int to = range->chrg.cpMax < 0 ? length : std::clamp<int>(range->chrg.cpMax, 0, length);
        if (to <= from) {
            range->lpstrText[0] = 0;
            return true;
        }
        const std::string text = FDocument.TextRange(from, to);
        std::memcpy(range->lpstrText, text.c_str(), text.size() + 1);
        result = static_cast<LRESULT>(text.size());
        return true;
    }
    case EM_REPLACESEL:
        ReplaceSelection(l ? reinterpret_cast<const char*>(l) : "", w != 0, UID_UNKNOWN, EM_REPLACESEL, w, l);
        result = 0;
        return true;
    case EM_SCROLLCARET:
        if (FEditor)
            FEditor->ensureCursorVisible();
        result = 0;
        return true;
    case EM_HIDESELECTION:
        FHideSelection = w != 0;
        result = 0;
        return true;
    case EM_SELECTIONTYPE: {
        const CHARRANGE range = Selection();
        const int size = range.cpMax - range.cpMin;
        if (size == 0) {
            result = SEL_EMPTY;
            return true;
        }
        int objects = 0;
        for (int qt = FDocument.ToQt(range.cpMin); qt < FDocument.ToQt(range.cpMax); ++qt)
            if (FDocument.Document()->characterAt(qt) == QChar::ObjectReplacementCharacter)
                ++objects;
        result = 0;
        if (objects < size)
            result |= SEL_TEXT | (size - objects > 1 ? SEL_MULTICHAR : 0);
        if (objects > 0)
            result |= SEL_OBJECT | (objects > 1 ? SEL_MULTIOBJECT : 0);
        return true;
    }
    case EM_EXLIMITTEXT:
    case EM_LIMITTEXT: {
        const auto limit = static_cast<int>(Message.Msg == EM_EXLIMITTEXT ? l : static_cast<LPARAM>(w));
        FDocument.SetTextLimit(limit <= 0 ? RichMaxTextLimit : limit);
        result = 0;
        return true;
    }
    case EM_GETLIMITTEXT:
        result = FDocument.TextLimit();
        return true;
    case EM_SETREADONLY:
        FReadOnly = w != 0;
        FOptions = FReadOnly ? (FOptions | ECO_READONLY) : (FOptions & ~ECO_READONLY);
        ApplyToEditor();
        result = 1;
        return true;
    case EM_GETMODIFY:
        result = FModified || (FEditor && FDocument.Document()->isModified()) ? 1 : 0;
        return true;
    case EM_SETMODIFY:
        FModified = w != 0;
        FDocument.Document()->setModified(FModified);
        result = 0;
        return true;

    case EM_GETLINECOUNT:
        result = static_cast<LRESULT>(LineStarts().size());
        return true;
    case EM_LINEINDEX: {
        int line = static_cast<int>(static_cast<std::intptr_t>(w));
        if (line < 0)
            line = LineFromChar(Selection().cpMax);
        const auto& starts = LineStarts();
        result = line < static_cast<int>(starts.size()) ? starts[static_cast<std::size_t>(line)] : -1;
        return true;
    }
    case EM_LINELENGTH: {
        const int pos = static_cast<int>(static_cast<std::intptr_t>(w));
        const int line = LineFromChar(pos < 0 ? Selection().cpMin : pos);
        result = static_cast<LRESULT>(LineText(line, false).size());
        return true;
    }
    case EM_EXLINEFROMCHAR:
        result = LineFromChar(static_cast<int>(l));
        return true;
    case EM_LINEFROMCHAR: {
        const int pos = static_cast<int>(static_cast<std::intptr_t>(w));
        result = LineFromChar(pos < 0 ? Selection().cpMin : pos);
        return true;
    }
    case EM_GETLINE: {
        auto* buffer = reinterpret_cast<char*>(l);
        result = 0;
        const int line = static_cast<int>(static_cast<std::intptr_t>(w));
        if (buffer == nullptr || line < 0 || line >= static_cast<int>(LineStarts().size()))
            return true;
        WORD size = 0;
        std::memcpy(&size, buffer, sizeof(size));
        const std::string text = LineText(line, true);
        const std::size_t count = std::min<std::size_t>(text.size(), size);
        std::memcpy(buffer, text.data(), count);
        result = static_cast<LRESULT>(count);
        return true;
    }
    case EM_POSFROMCHAR:
        // The old class and the pointer form: a point record in wParam, the index in lParam. No
        // index exceeds 0xFFFFFF, so a larger wParam is a pointer.
        if (FOldClass || w > 0xFFFFFF) {
            PosFromChar(static_cast<int>(l), reinterpret_cast<POINTL*>(w));
            result = 0;
        } else {
            result = PosFromChar(static_cast<int>(w), nullptr);
        }
        return true;
    case EM_CHARFROMPOS: {
        const auto* point = reinterpret_cast<const POINTL*>(l);
        result = point ? CharFromPos(POINT{static_cast<int>(point->x), static_cast<int>(point->y)}) : 0;
        return true;
    }
    case EM_GETFIRSTVISIBLELINE:
        result = FEditor ? LineFromChar(FDocument.FromQt(FEditor->cursorForPosition(QPoint(2, 2)).position())) : 0;
        return true;
    case EM_SETRECT:
    case EM_SETRECTNP:
        if (const auto* rect = reinterpret_cast<const RECT*>(l)) {
            FFormatRect = *rect;
            FHasFormatRect = true;
        } else {
            FHasFormatRect = false;
        }
        ApplyToEditor();
        result = 0;
        return true;
    case EM_GETRECT:
        if (auto* rect = reinterpret_cast<RECT*>(l))
            *rect = FHasFormatRect ? FFormatRect : RECT{0, 0, FControl->ClientWidth(), FControl->ClientHeight()};
        result = 0;
        return true;

    case EM_GETCHARFORMAT:
        result = GetCharFormat(w, reinterpret_cast<void*>(l));
        return true;
    case EM_SETCHARFORMAT:
        result = SetCharFormat(w, reinterpret_cast<const void*>(l));
        return true;
    case EM_GETPARAFORMAT:
        result = GetParaFormat(reinterpret_cast<void*>(l));
        return true;
    case EM_SETPARAFORMAT:
        result = SetParaFormat(reinterpret_cast<const void*>(l));
        return true;
    case EM_SETBKGNDCOLOR:
        if (FEditor) {
            QPalette palette = FEditor->palette();
            palette.setColor(QPalette::Base, w ? ToQColor(ColorToRGB(clWindow)) : ToQColor(static_cast<TColor>(l)));
            FEditor->setPalette(palette);
        }
        result = 0;
        return true;

    case EM_STREAMIN:
        result = StreamIn(w, reinterpret_cast<EDITSTREAM*>(l));
        return true;
    case EM_STREAMOUT:
        result = StreamOut(w, reinterpret_cast<EDITSTREAM*>(l));
        return true;

    case EM_FINDTEXT: {
        const auto* find = reinterpret_cast<const FINDTEXTA*>(l);
        result = find ? FindText(w, find->chrg, find->lpstrText, nullptr) : -1;
        return true;
    }
    case EM_FINDTEXTEX: {
        auto* find = reinterpret_cast<FINDTEXTEXA*>(l);
        result = find ? FindText(w, find->chrg, find->lpstrText, &find->chrgText) : -1;
        if (find && result < 0)
            find->chrgText = {-1, -1};
        return true;
    }
    case EM_FINDWORDBREAK:
        result = FindWordBreak(static_cast<int>(w), static_cast<int>(l));
        return true;

    case WM_UNDO:
    case EM_UNDO:
        result = FDocument.Document()->isUndoAvailable() ? 1 : 0;
        if (result) {
            FDocument.Document()->undo();
            if (!FUndoKinds.empty()) {
                FRedoKinds.push_back(FUndoKinds.back());
                FUndoKinds.pop_back();
            }
            NotifyChange();
        }
        return true;
    case EM_CANUNDO:
        result = FDocument.Document()->isUndoAvailable() ? 1 : 0;
        return true;
    case EM_REDO:
        result = FDocument.Document()->isRedoAvailable() ? 1 : 0;
        if (result) {
            FDocument.Document()->redo();
            if (!FRedoKinds.empty()) {
                FUndoKinds.push_back(FRedoKinds.back());
                FRedoKinds.pop_back();
            }
            NotifyChange();
        }
        return true;
    case EM_CANREDO:
        result = FDocument.Document()->isRedoAvailable() ? 1 : 0;
        return true;
    case EM_EMPTYUNDOBUFFER:
        FDocument.Document()->clearUndoRedoStacks();
        FUndoKinds.clear();
        FRedoKinds.clear();
        result = 0;
        return true;
    case EM_SETUNDOLIMIT:
        FUndoLimit = static_cast<int>(std::max<WPARAM>(std::min<WPARAM>(w, 0x7FFFFFFF), 0));
        FDocument.Document()->setUndoRedoEnabled(FUndoLimit != 0);
        FUndoKinds.clear();
        FRedoKinds.clear();
        result = FUndoLimit;
        return true;
    case EM_GETUNDONAME:
        result = FDocument.Document()->isUndoAvailable() && !FUndoKinds.empty() ? FUndoKinds.back() : UID_UNKNOWN;
        return true;
    case EM_GETREDONAME:
        result = FDocument.Document()->isRedoAvailable() && !FRedoKinds.empty() ? FRedoKinds.back() : UID_UNKNOWN;
        return true;
    case EM_STOPGROUPTYPING:
        FTypingGroup = false;
        result = 0;
        return true;

    case EM_SETTEXTMODE:
        if (FDocument.TextLength() > 0) {
            result = 1;
            return true;
        }
        if (w & (TM_PLAINTEXT | TM_RICHTEXT))
            FTextMode = (FTextMode & ~(TM_PLAINTEXT | TM_RICHTEXT)) | (w & TM_PLAINTEXT ? TM_PLAINTEXT : TM_RICHTEXT);
        if (w & (TM_SINGLELEVELUNDO | TM_MULTILEVELUNDO)) {
            FTextMode = (FTextMode & ~(TM_SINGLELEVELUNDO | TM_MULTILEVELUNDO)) |
                        (w & TM_SINGLELEVELUNDO ? TM_SINGLELEVELUNDO : TM_MULTILEVELUNDO);
            FUndoLimit = (w & TM_SINGLELEVELUNDO) ? 1 : std::max(FUndoLimit, 2);
        }
        result = 0;
        return true;
    case EM_GETTEXTMODE:
        result = FTextMode;
        return true;
    case EM_SETEVENTMASK:
        result = FEventMask;
        FEventMask = static_cast<DWORD>(l);
        return true;
    case EM_GETEVENTMASK:
        result = FEventMask;
        return true;
    case EM_SETOPTIONS: {
        const auto options = static_cast<DWORD>(l);
        switch (w) {
        case ECOOP_SET:
            FOptions = options;
            break;
        case ECOOP_OR:
            FOptions |= options;
            break;
        case ECOOP_AND:
            FOptions &= options;
            break;
        case ECOOP_XOR:
            FOptions ^= options;
            break;
        default:
            break;
        }
        FReadOnly = (FOptions & ECO_READONLY) != 0;
        FHideSelection = !(FOptions & ECO_NOHIDESEL);
        ApplyToEditor();
        result = FOptions;
        return true;
    }
    case EM_GETOPTIONS:
        result = FOptions | (FReadOnly ? ECO_READONLY : 0);
        return true;
    case EM_AUTOURLDETECT:
        FAutoUrl = w != 0;
        result = 0;
        return true;
    case EM_GETAUTOURLDETECT:
        result = FAutoUrl ? 1 : 0;
        return true;
    case EM_SETLANGOPTIONS:
        FLangOptions = static_cast<DWORD>(l);
        result = 1;
        return true;
    case EM_GETLANGOPTIONS:
        result = FLangOptions;
        return true;
    case EM_REQUESTRESIZE:
        RequestResize();
        result = 0;
        return true;

    case WM_CUT:
        Copy(true);
        result = 0;
        return true;
    case WM_COPY:
        Copy(false);
        result = 0;
        return true;
    case WM_PASTE:
        Paste(0);
        result = 0;
        return true;
    case EM_PASTESPECIAL:
        Paste(static_cast<UINT>(w));
        result = 0;
        return true;
    case WM_CLEAR:
        if (!FReadOnly)
            ReplaceSelection("", true, UID_DELETE, WM_CLEAR, 0, 0);
        result = 0;
        return true;
    case EM_CANPASTE: {
        const UINT rtf = RegisterClipboardFormatA("Rich Text Format");
        const auto format = static_cast<UINT>(w);
        result = (format == 0 && (IsClipboardFormatAvailable(CF_TEXT) || IsClipboardFormatAvailable(rtf))) ||
                         (format != 0 && (format == CF_TEXT || format == rtf) && IsClipboardFormatAvailable(format))
                     ? 1
                     : 0;
        return true;
    }

    case EM_FORMATRANGE:
        result = FLayout.FormatRange(w != 0, reinterpret_cast<FORMATRANGE*>(l));
        return true;
    case EM_SETOLECALLBACK:
        result = FALSE;
        return true;
    case EM_GETOLEINTERFACE:
        if (l)
            *reinterpret_cast<void**>(l) = nullptr;
        result = 0;
        return true;

    case WM_CHAR:
        if (Char(static_cast<unsigned char>(w & 0xFF))) {
            result = 0;
            return true;
        }
        return false;
    case WM_KEYDOWN:
        if (KeyDown(static_cast<WORD>(w))) {
            result = 0;
            return true;
        }
        return false;
    case WM_LBUTTONDOWN:
    case WM_LBUTTONUP:
    case WM_RBUTTONDOWN:
    case WM_RBUTTONUP:
    case WM_MOUSEMOVE:
        if (FAutoUrl && (FEventMask & ENM_LINK)) {
            const int pos = static_cast<int>(CharFromPos(POINT{static_cast<SHORT>(LOWORD(static_cast<DWORD>(l))),
                                                               static_cast<SHORT>(HIWORD(static_cast<DWORD>(l)))}));
            CHARRANGE link;
            if (LinkAt(pos, link)) {
                ENLINK notice;
                notice.msg = Message.Msg;
                notice.wParam = w;
                notice.lParam = l;
                notice.chrg = link;
                if (Notify(notice.nmhdr, EN_LINK) != 0) {
                    result = 0;
                    return true;
                }
            }
        }
        return false;
    default:
        return false;
    }
}
