// THlCustomMemo: the text position under a pixel, words, the selected text, deletion, insertion,
// the clipboard, clearing, loading and saving.
#include "widgets/HlMemo.h"

#include "platform/gui/Clipboard.h"
#include "platform/rtl/Files.h"
#include "platform/rtl/TextUtils.h"

#include <algorithm>
#include <vector>

bool HlMemo::IsWordChar(char c)
{
    return c == '#' || (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

namespace {

// The pieces of text between its line breaks: CR LF when it holds any, else a lone CR. A lone LF
// is never a break.
std::vector<std::string> HlMemoSplitAtBreaks(const std::string& text)
{
    const std::string separator = text.find("\r\n") != std::string::npos ? "\r\n" : "\r";
    std::vector<std::string> pieces;
    std::size_t start = 0;
    for (;;) {
        const std::size_t found = text.find(separator, start);
        if (found == std::string::npos)
            break;
        pieces.push_back(text.substr(start, found - start));
        start = found + separator.size();
    }
    pieces.push_back(text.substr(start));
    return pieces;
}

std::string HlMemoStripTrailingBlanks(const std::string& line)
{
    const std::size_t end = line.find_last_not_of(' ');
    return end == std::string::npos ? std::string() : line.substr(0, end + 1);
}

} // namespace

void THlCustomMemo::GetRowColAtPos(int X, int Y, int& Row, int& Col)
{
    Row = std::clamp(Y / FLineHeight, 0, FLines->Count());
    const int gutter = GutterOffset();
    const int x = std::max(X, gutter) - gutter;
    Col = x / FCharWidth;
    if (x % FCharWidth >= FCharWidth / 2)
        ++Col;
}

void THlCustomMemo::GetWordAtPos(int Col, int Row, std::string& Word, int& Pos)
{
    Word.clear();
    Pos = -1;
    if (Row < 0 || Row >= FLines->Count())
        return;
    const std::string line = FLines->Strings(Row);
    const int length = static_cast<int>(line.size());
    if (length == 0)
        return;
    Col = std::clamp(Col, 0, length - 1);
    if (!HlMemo::IsWordChar(line[Col])) {
        // Column 0 is not looked at: a row starting with a word is reached from its right.
        int left = Col - 1;
        while (left >= 1 && !HlMemo::IsWordChar(line[left]))
            --left;
        if (left < 1)
            return;
        Col = left;
    }
    int start = Col;
    while (start > 0 && HlMemo::IsWordChar(line[start - 1]))
        --start;
    int end = Col + 1;
    while (end < length && HlMemo::IsWordChar(line[end]))
        ++end;
    Word = line.substr(start, end - start);
    Pos = start;
}

std::string THlCustomMemo::GetSelText()
{
    if (!FSelected)
        return {};
    int firstRow = 0, lastRow = 0, firstCol = 0, lastCol = 0;
    GetSelBounds(firstRow, lastRow, firstCol, lastCol);
    const int last = FLines->Count() - 1;
    if (firstRow > last)
        return {};
    lastRow = std::min(lastRow, last);
    if (firstRow == lastRow)
        return Copy(FLines->Strings(firstRow), firstCol + 1, lastCol - firstCol);
    std::string text = Copy(FLines->Strings(firstRow), firstCol + 1);
    for (int row = firstRow + 1; row < lastRow; ++row)
        text += "\r\n" + FLines->Strings(row);
    text += "\r\n" + Copy(FLines->Strings(lastRow), 1, lastCol);
    return text;
}

void THlCustomMemo::DeleteSelection()
{
    if (!FSelected)
        return;
    int firstRow = 0, lastRow = 0, firstCol = 0, lastCol = 0;
    GetSelBounds(firstRow, lastRow, firstCol, lastCol);
    lastRow = std::min(lastRow, FLines->Count() - 1);
    if (firstRow > FLines->Count() - 1 || lastRow < firstRow)
        return;
    const std::string joined = Copy(FLines->Strings(firstRow), 1, firstCol) + Copy(FLines->Strings(lastRow), lastCol + 1);
    FLines->BeginUpdate();
    for (int row = lastRow; row > firstRow; --row)
        FLines->Delete(row);
    FLines->SetStrings(firstRow, joined);
    FLines->EndUpdate();
    FCaretRow = firstRow;
    FCaretCol = firstCol;
    FSelected = false;
    if (HandleAllocated()) {
        if (firstRow == lastRow) {
            GetSelBounds(FSelFirstRow, FSelLastRow, FSelFirstCol, FSelLastCol);
            DrawLine(Canvas(), FCaretRow, (FCaretRow - FTopRow) * FLineHeight);
        } else {
            DrawVisible();
        }
        DrawCaret(FCaretRow, FCaretCol, true);
    }
    UpdateScrollBars();
}

void THlCustomMemo::InsertTextAtPos(const std::string& Text, int Col, int Row)
{
    if (Text.empty() || Row < 0 || Row > FLines->Count())
        return;
    Col = std::max(Col, 0);
    if (Row == FLines->Count())
        FLines->Add("");
    std::string line = FLines->Strings(Row);
    // The column stays one blank inside the padded line, behind the inserted text.
    if (static_cast<int>(line.size()) < Col)
        line.resize(static_cast<std::size_t>(Col) + 1, ' ');
    const std::string tail = Copy(line, Col + 1);
    const std::string combined = Copy(line, 1, Col) + Text + tail;
    FSelected = true;
    FSelAnchorRow = Row;
    FSelAnchorCol = Col;
    if (combined.find('\r') == std::string::npos) {
        FLines->SetStrings(Row, combined);
        FCaretRow = Row;
        FCaretCol = Col + static_cast<int>(Text.size());
    } else {
        const std::vector<std::string> pieces = HlMemoSplitAtBreaks(combined);
        const int inserted = static_cast<int>(pieces.size()) - 1;
        FLines->BeginUpdate();
        for (int i = 0; i < inserted; ++i)
            FLines->Insert(Row + i, pieces[static_cast<std::size_t>(i)]);
        FLines->SetStrings(Row + inserted, pieces.back());
        FLines->EndUpdate();
        FCaretRow = Row + inserted;
        FCaretCol = static_cast<int>(pieces.back().size()) - static_cast<int>(tail.size());
    }
    FSelEndRow = FCaretRow;
    FSelEndCol = FCaretCol;
    Invalidate();
}

void THlCustomMemo::CopyToClipboard()
{
    if (FSelected)
        Clipboard()->SetAsText(GetSelText());
}

void THlCustomMemo::CutToClipboard()
{
    if (!FSelected)
        return;
    CopyToClipboard();
    DeleteSelection();
}

void THlCustomMemo::PasteFromClipboard()
{
    if (FSelected)
        DeleteSelection();
    InsertTextAtPos(Clipboard()->AsText(), FCaretCol, FCaretRow);
}

void THlCustomMemo::Clear()
{
    FCaretRow = 0;
    FCaretCol = 0;
    ScrollTo(0, 0);
    FSelAnchorRow = FSelAnchorCol = FSelEndRow = FSelEndCol = 0;
    FLines->Clear();
    FSelected = false;
    Invalidate();
}

void THlCustomMemo::LoadFromFile(const std::string& FileName)
{
    if (!FileExists(FileName))
        return;
    Clear();
    FLines->LoadFromFile(FileName);
    Invalidate();
}

void THlCustomMemo::SaveToFile(const std::string& FileName)
{
    TStringList copy;
    copy.BeginUpdate();
    for (int row = 0; row < FLines->Count(); ++row)
        copy.Add(HlMemoStripTrailingBlanks(FLines->Strings(row)));
    copy.EndUpdate();
    copy.SaveToFile(FileName);
}
