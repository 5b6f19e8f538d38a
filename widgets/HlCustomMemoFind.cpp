// THlCustomMemo: find and replace, web and e-mail addresses in the text (marked, hinted while Ctrl
// is held, reported on Ctrl+click), the hint window, and the drop list that opens at the caret.
#include "widgets/HlMemo.h"

#include "platform/gui/HintWindow.h"
#include "platform/gui/TextOutput.h"
#include "platform/rtl/Exceptions.h"
#include "platform/rtl/TextUtils.h"
#include "widgets/HlRegExp.h"

#include <algorithm>

namespace {

const char* const HlMemoWebPattern =
    "([Ff][Tt][Pp]|[Hh][Tt][Tt][Pp])://([_a-zA-Z\\d\\-]+(\\.[_a-zA-Z\\d\\-]+)+)"
    "((/[_a-zA-Z\\d\\-\\\\\\.\\?\\&\\%\\\\~=]+)+)*";
const char* const HlMemoMailPattern = "[_a-zA-Z\\d\\-\\.]+@[_a-zA-Z\\d\\-]+(\\.[_a-zA-Z\\d\\-]+)+";

// What was typed while a drop list had the focus; only one list has the focus at a time, so one
// buffer serves every memo.
std::string HlMemoTypedAhead;

bool HlMemoIsLinkChar(char c)
{
    const unsigned char u = static_cast<unsigned char>(c);
    if (u < 32 || u > 127)
        return false;
    return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') ||
           std::string_view("#%&-./:=?@_").find(c) != std::string_view::npos;
}

bool HlMemoIsLetter(char c)
{
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

bool HlMemoEndsWith(const std::string& text, const std::string& suffix)
{
    return text.size() >= suffix.size() && text.compare(text.size() - suffix.size(), suffix.size(), suffix) == 0;
}

void HlMemoSetHintFont(TFont* font)
{
    font->SetName("MS Sans Serif");
    font->SetSize(8);
}

} // namespace

// --- Find and replace ---

bool THlCustomMemo::FindReplaceProc(const std::string& Text, THlFindOptions Options, bool Backward,
                                    bool ReplaceMode, bool& ReplaceFlag)
{
    const int last = FLines->Count() - 1;
    if (Text.empty() || last < 0)
        return false;
    const bool matchCase = Options.Contains(HlMemo::foMatchCase);
    const bool wholeWords = Options.Contains(HlMemo::foWholeWords);
    const std::string pattern = matchCase ? Text : AnsiUpperCase(Text);
    const std::size_t length = pattern.size();
    int first = FCaretRow;
    int stop = last;
    int step = 1;
    if (Options.Contains(HlMemo::foEntireScope)) {
        first = 0;
    } else if (Backward) {
        first = std::min(FCaretRow, last);
        stop = 0;
        step = -1;
    }
    for (int row = first; step > 0 ? row <= stop : row >= stop; row += step) {
        const std::string line = matchCase ? FLines->Strings(row) : AnsiUpperCase(FLines->Strings(row));
        std::size_t found = line.find(pattern);
        for (; found != std::string::npos; found = line.find(pattern, found + 1)) {
            const int column = static_cast<int>(found);
            if (row == FCaretRow && column < FCaretCol)
                continue;
            const std::size_t after = found + length;
            if (wholeWords && ((found > 0 && HlMemoIsLetter(line[found - 1])) ||
                               (after < line.size() && HlMemoIsLetter(line[after]))))
                continue;
            break;
        }
        if (found == std::string::npos)
            continue;
        const int column = static_cast<int>(found);
        FSelAnchorRow = FSelEndRow = FCaretRow = row;
        FSelAnchorCol = column;
        FSelEndCol = FCaretCol = column + static_cast<int>(length);
        FSelected = true;
        long long x = 0;
        if (static_cast<long long>(FSelEndCol) * FCharWidth > ClientWidth())
            x = static_cast<long long>(column - 1) * FCharWidth;
        long long y = static_cast<long long>(FTopRow) * FLineHeight;
        if (row < FTopRow || row > FTopRow + FVisibleRows - 2)
            y = static_cast<long long>(row) * FLineHeight;
        ScrollTo(HlMemo::Pixels(x), HlMemo::Pixels(y));
        Invalidate();
        const TPoint findPos = Point(column + 1, row);
        bool scrollToWord = true;
        if (ReplaceMode) {
            if (OnReplaceText)
                OnReplaceText(this, findPos, scrollToWord, ReplaceFlag);
        } else if (OnFindText) {
            OnFindText(this, findPos, scrollToWord);
        }
        return true;
    }
    return false;
}

void THlCustomMemo::FindText(const std::string& Text, THlFindOptions Options, bool Backward)
{
    bool unused = false;
    const bool found = FindReplaceProc(Text, Options, Backward, false, unused);
    if (OnSearchEnd)
        OnSearchEnd(this, found, false);
}

void THlCustomMemo::ReplaceText(const std::string& FindText, const std::string& ReplaceWith, THlFindOptions Options,
                                bool Backward)
{
    bool replace = true;
    const bool found = FindReplaceProc(FindText, Options, Backward, true, replace);
    if (found && replace) {
        DeleteSelection();
        InsertTextAtPos(ReplaceWith, FCaretCol, FCaretRow);
    }
    if (OnSearchEnd)
        OnSearchEnd(this, found, true);
}

// --- Links ---

TRegExpHlMemo* THlCustomMemo::WebEngine()
{
    if (FRegExp->GetExpression().empty())
        FRegExp->SetExpression(HlMemoWebPattern);
    return FRegExp.get();
}

TRegExpHlMemo* THlCustomMemo::MailEngine()
{
    if (!FMailRegExp) {
        FMailRegExp = std::make_unique<TRegExpHlMemo>();
        FMailRegExp->SetExpression(HlMemoMailPattern);
    }
    return FMailRegExp.get();
}

void THlCustomMemo::MarkHyperlinks(const std::string& Text, TBitmap* Bitmap)
{
    TCanvas* canvas = Bitmap->Canvas();
    for (TRegExpHlMemo* engine : {WebEngine(), MailEngine()}) {
        // The search goes on one character behind each match, as the row is taken apart.
        int offset = 0;
        try {
            while (offset < static_cast<int>(Text.size()) && engine->Exec(Text, offset + 1)) {
                const int start = engine->GetMatchPos(0) - 1;
                const int length = engine->GetMatchLen(0);
                if (length <= 0)
                    break;
                canvas->Font()->SetColor(FEnvironment->Hyperlink());
                canvas->Font()->SetStyle(TFontStyles{fsUnderline});
                canvas->Brush()->SetColor(FEnvironment->HyperlinkBackground());
                const TRect area = Rect(start * FCharWidth, 0, (start + length) * FCharWidth, FLineHeight);
                HlMemo::DrawRowText(canvas, Text.substr(static_cast<std::size_t>(start), static_cast<std::size_t>(length)),
                                    area);
                offset = start + length + 1;
            }
        } catch (const Exception&) {
            // Too deep for the engine: the rest of this row stays unmarked.
        }
    }
    canvas->Font()->SetStyle(TFontStyles{});
}

std::string THlCustomMemo::LinkRunAt(const std::string& Line, int Col) const
{
    if (Col < 0 || Col >= static_cast<int>(Line.size()) || !HlMemoIsLinkChar(Line[Col]))
        return {};
    int start = Col;
    while (start > 0 && HlMemoIsLinkChar(Line[start - 1]))
        --start;
    int end = Col + 1;
    while (end < static_cast<int>(Line.size()) && HlMemoIsLinkChar(Line[end]))
        ++end;
    return Line.substr(static_cast<std::size_t>(start), static_cast<std::size_t>(end - start));
}

bool THlCustomMemo::GetHyperlinksAtPos(int X, int Y, std::string& Hyperlink)
{
    int row = 0, col = 0;
    PositionAtClientPoint(X, std::clamp(Y, 0, ClientHeight()), row, col);
    if (row >= FLines->Count())
        return false;
    const std::string line = FLines->Strings(row);
    if (line.empty())
        return false;
    const std::string run = LinkRunAt(line, std::min(col, static_cast<int>(line.size()) - 1));
    if (run.empty())
        return false;
    try {
        if (WebEngine()->Exec(run, 1) || MailEngine()->Exec(run, 1)) {
            Hyperlink = run;
            return true;
        }
    } catch (const Exception&) {
        // Too deep for the engine: no link here.
    }
    return false;
}

void THlCustomMemo::ShowLinkHint(const std::string& Link)
{
    const std::string lower = AnsiLowerCase(Link);
    const bool image = HlMemoEndsWith(lower, ".jpg") || HlMemoEndsWith(lower, ".gif") || HlMemoEndsWith(lower, ".jpeg");
    ShowTextHint(FMousePos.X - 2, FMousePos.Y + 20, (image ? "Image: " : "Link to: ") + Link);
}

// --- The hint window ---

void THlCustomMemo::ShowTextHint(int X, int Y, const std::string& Text)
{
    if (FHintWindow)
        return;
    FHintWindow = new THintWindow(this);
    const TPoint screen = ClientToScreen(Point(X, Y));
    FHintWindow->SetColor(clInfoBk);
    HlMemoSetHintFont(FHintWindow->Font());
    TCanvas* canvas = FHintWindow->Canvas();
    HlMemoSetHintFont(canvas->Font());
    const int width = canvas->TextWidth(Text);
    const int height = canvas->TextHeight(Text);
    FHintWindow->ActivateHint(Rect(screen.X, screen.Y, screen.X + width + 8, screen.Y + height + 2), Text);
}

void THlCustomMemo::SetHintWindow(THintWindow* value)
{
    if (value == FHintWindow)
        return;
    DestroyHintWindow();
    FHintWindow = value;
}

void THlCustomMemo::DestroyHintWindow()
{
    FreeAndNil(FHintWindow);
}

// --- The drop list ---

void THlCustomMemo::BindDropList()
{
    FDropList->OnKeyPress = [this](TObject* sender, char& key) { DropListKeyPress(sender, key); };
    FDropList->OnExit = [this](TObject* sender) { DropListExit(sender); };
    FDropList->OnDrawItem = [this](TWinControl* control, int index, TRect rect, TOwnerDrawState state) {
        DropListDrawItem(control, index, rect, state);
    };
}

void THlCustomMemo::ShowDropWindow()
{
    if (OnDropListDown)
        OnDropListDown(this);
    if (ComponentState().Contains(csDesigning) || FDropList->Visible() || FSelected ||
        FDropList->Items()->Count() == 0)
        return;
    int top = HlMemo::Pixels(static_cast<long long>(FCaretRow - FTopRow + 1) * FLineHeight);
    int left = HlMemo::Pixels(static_cast<long long>(FCaretCol - FHScrollPos) * FCharWidth + GutterOffset());
    FDropList->SetClientHeight(FLineHeight * (FDropListCharHeight + 1));
    FDropList->SetClientWidth(FCharWidth * (FDropListCharWidth + 1));
    if (top + FDropList->Height() > ClientHeight())
        top = top - FLineHeight - FDropList->Height();
    if (left + FDropList->Width() > ClientWidth())
        left -= FDropList->Width();
    FDropList->SetTop(top);
    FDropList->SetLeft(left);
    if (FCaretRow < FLines->Count() && FCaretCol > RowLength(FCaretRow))
        return;
    FDropList->SetItemIndex(0);
    FDropList->SetVisible(true);
    FDropRow = FCaretRow;
    FDropCol = FCaretCol;
    if (FDropList->CanFocus())
        FDropList->SetFocus();
}

void THlCustomMemo::DropListKeyPress(TObject* /*Sender*/, char& Key)
{
    if (Key == 13) {
        FDropList->SetVisible(false);
        const int index = FDropList->ItemIndex();
        if (index >= 0) {
            std::string inserted = FDropList->Items()->Strings(index);
            for (int field = 0; field < 2; ++field) {
                const std::size_t bar = inserted.find('|');
                if (bar != std::string::npos)
                    inserted = inserted.substr(bar + 1);
            }
            // What was typed while the list was open is not typed twice.
            const std::string typed = Trim(HlMemoTypedAhead);
            for (std::size_t i = 0; i < inserted.size(); ++i) {
                if (i < typed.size() && AnsiUpperCase(typed.substr(i, 1)) == AnsiUpperCase(inserted.substr(i, 1)))
                    continue;
                char c = inserted[i];
                KeyPress(c);
            }
        }
        HlMemoTypedAhead.clear();
        if (CanFocus())
            SetFocus();
        Key = 0;
    } else if (Key == 27) {
        FDropList->SetVisible(false);
        HlMemoTypedAhead.clear();
        if (CanFocus())
            SetFocus();
        Key = 0;
    } else {
        char c = Key;
        KeyPress(c);
        HlMemoTypedAhead += Key;
    }
}

void THlCustomMemo::DropListExit(TObject* /*Sender*/)
{
    FDropList->SetVisible(false);
}

void THlCustomMemo::DropListDrawItem(TWinControl* /*Control*/, int Index, TRect Rect, TOwnerDrawState State)
{
    TCanvas* canvas = FDropList->Canvas();
    HlMemoSetHintFont(canvas->Font());
    canvas->Font()->SetStyle(TFontStyles{});
    const bool selected = State.Contains(odSelected);
    canvas->Font()->SetColor(selected ? clHighlightText : clWindowText);
    canvas->Brush()->SetColor(selected ? clHighlight : clWindow);
    canvas->FillRect(Rect);
    if (Index < 0 || Index >= FDropList->Items()->Count())
        return;
    const std::string entry = FDropList->Items()->Strings(Index);
    const std::size_t bar = entry.find('|');
    if (bar == std::string::npos) {
        HlMemo::DrawRowText(canvas, " " + entry, Rect);
        return;
    }
    const std::string display = entry.substr(0, bar);
    const std::string rest = entry.substr(bar + 1);
    const std::string description = rest.substr(0, rest.find('|'));
    HlMemo::DrawRowText(canvas, " " + description, Rect);
    Rect.Left = FCharWidth * (FDropListColumnCharWidth + 1);
    canvas->Font()->SetStyle(TFontStyles{fsBold});
    HlMemo::DrawRowText(canvas, "  " + display, Rect);
}
