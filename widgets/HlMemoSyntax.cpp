#include "widgets/HlMemoSyntax.h"

#include "platform/gui/Colors.h"
#include "platform/gui/HintWindow.h"
#include "platform/rtl/Exceptions.h"
#include "platform/rtl/Files.h"
#include "platform/rtl/TextUtils.h"

#include <algorithm>

namespace {

bool SyntaxIsLetter(char c)
{
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

bool SyntaxIsHexDigit(char c)
{
    return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f');
}

// Before a tag's attribute: a blank or a letter left of the caret.
bool SyntaxOpensEntry(char c)
{
    return c == ' ' || SyntaxIsLetter(c);
}

} // namespace

TColor HTMLColorToColor(const std::string& S, bool& Ok)
{
    Ok = false;
    if ((S.size() != 4 && S.size() != 7) || S[0] != '#')
        return clNone;
    std::string red, green, blue;
    if (S.size() == 4) {
        red = std::string(2, S[1]);
        green = std::string(2, S[2]);
        blue = std::string(2, S[3]);
    } else {
        red = S.substr(1, 2);
        green = S.substr(3, 2);
        blue = S.substr(5, 2);
    }
    const std::string number = "$00" + blue + green + red;
    // Only hexadecimal digits reach the conversion, which would take signs and blanks too.
    if (!std::all_of(number.begin() + 3, number.end(), SyntaxIsHexDigit))
        return clNone;
    try {
        const TColor color = StringToColor(number);
        Ok = true;
        return color;
    } catch (const Exception&) {
        return clNone;
    }
}

// --- TDropItem ---

TDropItem::TDropItem() : FList(std::make_unique<TStringList>()) {}

TDropItem::~TDropItem() = default;

void TDropItem::SetList(TStrings* value)
{
    FList->Assign(value);
}

// --- THlMemoSyntax ---

THlMemoSyntax::THlMemoSyntax(TComponent* AOwner)
    : TComponent(AOwner), FDropItems(std::make_unique<TStringList>()), FKeywords(std::make_unique<TStringList>())
{
}

THlMemoSyntax::~THlMemoSyntax()
{
    ClearDropItems();
    if (FHlMemo) {
        // The memo outlives the component: its handlers must not call into a freed one.
        FHlMemo->OnMemoEvents = nullptr;
        FHlMemo->OnDrawLine = nullptr;
        FHlMemo->OnDropListDown = nullptr;
        FHlMemo->RemoveFreeNotification(this);
    }
}

void THlMemoSyntax::Notification(TComponent* AComponent, TOperation Operation)
{
    TComponent::Notification(AComponent, Operation);
    if (Operation == opRemove && AComponent == FHlMemo)
        FHlMemo = nullptr;
}

void THlMemoSyntax::SetGsMemo(THlMemo* Value)
{
    FHlMemo = Value;
    if (!Value)
        return;
    Value->FreeNotification(this);
    Value->OnMemoEvents = [this](TObject* sender, TShiftState shift, THlKeyEvent event, WORD key, TPoint caret,
                                 TPoint mouse) { MemoEvents(sender, shift, event, key, caret, mouse); };
    Value->OnDrawLine = [this](TObject* sender, const std::string& text, int row, TBitmap* glyph, TRect& rect,
                               bool& selfDraw) { MemoDrawLine(sender, text, row, glyph, rect, selfDraw); };
    Value->OnDropListDown = [this](TObject* sender) { DropListDown(sender); };
}

void THlMemoSyntax::InvalidateMemo()
{
    if (FHlMemo)
        FHlMemo->Invalidate();
}

void THlMemoSyntax::SetCodeHighlight(bool Value)
{
    FCodeHighlight = Value;
    InvalidateMemo();
}

void THlMemoSyntax::StoreColor(TColor& field, TColor value)
{
    field = value;
    if (FCodeHighlight)
        InvalidateMemo();
}

void THlMemoSyntax::StoreFlag(bool& field, bool value)
{
    field = value;
    if (FCodeHighlight)
        InvalidateMemo();
}

void THlMemoSyntax::SetKeywords(TStrings* Value)
{
    FKeywords->Assign(Value);
    InvalidateMemo();
}

// --- Drop items ---

int THlMemoSyntax::AddDropItem(TDropItem* Item)
{
    if (!Item)
        return -1;
    return FDropItems->AddObject(AnsiUpperCase(Item->Tag()), Item);
}

void THlMemoSyntax::DeleteDropItem(int Index)
{
    if (Index < 0 || Index >= FDropItems->Count())
        return;
    delete FDropItems->Objects(Index);
    FDropItems->Delete(Index);
}

void THlMemoSyntax::ClearDropItems()
{
    for (int i = FDropItems->Count() - 1; i >= 0; --i)
        DeleteDropItem(i);
}

void THlMemoSyntax::GetDropItemsFromDTDFile(const std::string& FileName)
{
    if (!FileExists(FileName))
        return;
    TStringList lines;
    lines.LoadFromFile(FileName);
    GetDropItemsFromDTDLines(&lines);
}

void THlMemoSyntax::GetDropItemsFromDTDLines(TStrings* Lines)
{
    ClearDropItems();
    std::unique_ptr<TDropItem> collecting;
    for (int i = 0; i < Lines->Count(); ++i) {
        const std::string line = Lines->Strings(i);
        if (line.size() < 2)
            continue;
        if (line[0] == '#') {
            if (collecting)
                AddDropItem(collecting.release());
            collecting = std::make_unique<TDropItem>();
            collecting->SetTag(line.substr(1));
        } else if (line[0] == '\t' && collecting) {
            collecting->List()->Add(line.substr(1));
        }
    }
    if (collecting)
        AddDropItem(collecting.release());
}

void THlMemoSyntax::UpdateDropListForTag(const std::string& Tag)
{
    if (!FHlMemo)
        return;
    const int index = FDropItems->IndexOf(AnsiUpperCase(Tag));
    if (index >= 0)
        FHlMemo->GetDropList()->Assign(static_cast<TDropItem*>(FDropItems->Objects(index))->List());
}

void THlMemoSyntax::UpdateDropList_AllTags()
{
    if (!FHlMemo)
        return;
    TStrings* list = FHlMemo->GetDropList();
    list->BeginUpdate();
    for (int i = 0; i < FDropItems->Count(); ++i) {
        const std::string name = AnsiLowerCase(static_cast<TDropItem*>(FDropItems->Objects(i))->Tag());
        list->Add("<" + name + ">|HTML tag|" + name + " ");
    }
    list->Add("<!--|HTML comment|!-- ");
    list->EndUpdate();
}

// --- Memo events ---

void THlMemoSyntax::MemoDrawLine(TObject* /*Sender*/, const std::string& LineText, int /*LineIndex*/,
                                 TBitmap* LineGlyph, TRect& TextRect, bool& AllowSelfDraw)
{
    if (!FHlMemo)
        return;
    AllowSelfDraw = !FCodeHighlight;
    if (!FCodeHighlight)
        return;
    TCanvas* canvas = LineGlyph->Canvas();
    canvas->Brush()->SetColor(FHlMemo->EnvironmentOptions()->TextBackground());
    canvas->Font()->SetColor(FHlMemo->EnvironmentOptions()->TextColor());
    HlMemo::DrawRowText(canvas, LineText, TextRect);
    ParseLine(LineText, canvas);
}

bool THlMemoSyntax::IsKeyword(const std::string& word) const
{
    for (int i = 0; i < FKeywords->Count(); ++i)
        if (AnsiSameText(FKeywords->Strings(i), word))
            return true;
    return false;
}

void THlMemoSyntax::ParseLine(const std::string& Line, TCanvas* Canvas)
{
    if (!FUseSpecTagsHighlight || !FHlMemo)
        return;
    Canvas->Font()->SetColor(FSpecTagsForeColor);
    Canvas->Brush()->SetColor(FSpecTagsBackColor);
    const int charWidth = FHlMemo->CharWidth();
    const int lineHeight = FHlMemo->LineHeight();
    const int length = static_cast<int>(Line.size());
    for (int start = 0; start < length;) {
        if (!SyntaxIsLetter(Line[start])) {
            ++start;
            continue;
        }
        int end = start;
        while (end < length && SyntaxIsLetter(Line[end]))
            ++end;
        const std::string word = Line.substr(static_cast<std::size_t>(start), static_cast<std::size_t>(end - start));
        if (IsKeyword(word))
            HlMemo::DrawRowText(Canvas, word, Rect(charWidth * start, 0, charWidth * end, lineHeight));
        start = end;
    }
    Canvas->Font()->SetColor(FHlMemo->EnvironmentOptions()->TextColor());
    Canvas->Brush()->SetColor(FHlMemo->EnvironmentOptions()->TextBackground());
}

void THlMemoSyntax::MemoEvents(TObject* /*Sender*/, TShiftState Shift, THlKeyEvent KeyEvent, WORD /*Key*/,
                               TPoint /*CaretPos*/, TPoint MousePos)
{
    if (!FHlMemo || KeyEvent != HlMemo::k_Down || !Shift.Contains(ssCtrl))
        return;
    int row = 0, col = 0;
    FHlMemo->GetRowColAtPos(FHlMemo->GetHScrollPos() * FHlMemo->CharWidth() + MousePos.X,
                            FHlMemo->GetVScrollPos() * FHlMemo->LineHeight() + MousePos.Y, row, col);
    std::string word;
    int start = -1;
    FHlMemo->GetWordAtPos(col, row, word, start);
    if (word.empty())
        return;
    word = AnsiUpperCase(word);
    bool ok = false;
    const TColor colour = word[0] == '#' ? HTMLColorToColor(word, ok) : clNone;
    if (ok)
        ShowColorHint(MousePos.X + 4, MousePos.Y + 4, colour);
    FHlMemo->SetColorHintShown(ok);
}

void THlMemoSyntax::ShowColorHint(int X, int Y, TColor Colour)
{
    if (!FHlMemo || FHlMemo->HintWindow())
        return;
    // The memo owns its hint window, whoever shows it.
    auto* hint = new THintWindow(FHlMemo);
    FHlMemo->SetHintWindow(hint);
    const TPoint screen = FHlMemo->ClientToScreen(Point(X, Y));
    hint->SetColor(Colour);
    hint->ActivateHint(Rect(screen.X, screen.Y, screen.X + 18, screen.Y + 14), "");
}

std::string THlMemoSyntax::TagNameAfter(int Row, int Column)
{
    std::string word;
    int start = -1;
    FHlMemo->GetWordAtPos(Column + 2, Row, word, start);
    return word;
}

void THlMemoSyntax::DropListDown(TObject* /*Sender*/)
{
    if (!FHlMemo)
        return;
    FHlMemo->GetDropList()->Clear();
    TStrings* lines = FHlMemo->Lines();
    const int row = FHlMemo->GetCaretVPos();
    const int col = FHlMemo->GetCaretHPos();
    if (row < 0 || row >= lines->Count())
        return;
    const std::string line = lines->Strings(row);
    const int length = static_cast<int>(line.size());
    // Left of the caret there is nothing at column 0.
    const char left = col > 0 && col <= length ? line[col - 1] : '\0';
    const char at = col >= 0 && col < length ? line[col] : '\0';
    const bool entryPlace = SyntaxOpensEntry(left) && (at == ' ' || at == '>');
    if (col >= 0 && col < length) {
        const std::size_t open = line.rfind('<', static_cast<std::size_t>(col));
        if (open != std::string::npos) {
            const int openCol = static_cast<int>(open);
            if (openCol == col || line[open + 1] == '/')
                return;
            if (entryPlace)
                UpdateDropListForTag(TagNameAfter(row, openCol));
            else if (left == '<')
                UpdateDropList_AllTags();
            return;
        }
    }
    // Inside a tag opened on a row above.
    for (int above = row - 1; above >= 0; --above) {
        const std::string text = lines->Strings(above);
        for (int i = static_cast<int>(text.size()) - 1; i >= 0; --i) {
            if (text[i] == '>')
                return;
            if (text[i] != '<')
                continue;
            if (i + 1 < static_cast<int>(text.size()) && text[i + 1] == '/')
                return;
            const std::string tag = TagNameAfter(above, i);
            const bool atRowEnd = col == length && length >= 1 && SyntaxOpensEntry(left);
            if ((col < length && entryPlace) || atRowEnd)
                UpdateDropListForTag(tag);
            return;
        }
    }
}
