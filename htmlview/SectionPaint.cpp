// Painting of a laid-out text section (runs in their fonts, the selection in inverse video, the
// caret, list markers, images and form controls) and the questions the viewer asks about a point
// or a position: links, character positions, search and the selected text.

#include "htmlview/BlockSections.h"
#include "htmlview/FormControls.h"
#include "htmlview/ImageObj.h"
#include "htmlview/PaneMetrics.h"
#include "htmlview/Section.h"
#include "htmlview/SectionList.h"
#include "platform/gui/Colors.h"
#include "platform/gui/WinControl.h"
#include "platform/gui/GdiObjects.h"
#include "platform/gui/TextOutput.h"
#include "platform/rtl/TextUtils.h"

#include <algorithm>

namespace {

// Search texts are compared over at most this many characters.
constexpr int MaxSearchLength = 255;
// Roman numerals and letters of ordered lists stop here.
constexpr int MaxRomanNumber = 20;
constexpr int AlphabetLength = 26;

std::string RomanNumeral(int N)
{
    static const char* const units[] = {"", "I", "II", "III", "IV", "V", "VI", "VII", "VIII", "IX"};
    static const char* const tens[] = {"", "X", "XX"};
    N = std::min(N, MaxRomanNumber);
    return std::string(tens[N / 10]) + units[N % 10];
}

std::string MarkerText(char NumberStyle, int Number)
{
    const bool numberable = Number >= 1;
    switch (numberable ? NumberStyle : '1') {
    case 'A':
        return std::string(1, static_cast<char>('A' + std::min(Number, AlphabetLength) - 1)) + ".";
    case 'a':
        return std::string(1, static_cast<char>('a' + std::min(Number, AlphabetLength) - 1)) + ".";
    case 'I':
        return RomanNumeral(Number) + ".";
    case 'i':
        return LowerCase(RomanNumeral(Number)) + ".";
    default:
        return IntToStr(Number) + ".";
    }
}

// A background on which bullets are filled in colour.
bool IsLightBackground(TColor Color)
{
    const COLORREF rgb = ColorToRGB(static_cast<TColor>(Color & ~PaletteRelative)) & 0xFFFFFF;
    return rgb == 0xFFFFFF || rgb == 0xC0C0C0 || rgb == (ColorToRGB(clBtnFace) & 0xFFFFFF);
}

COLORREF GdiRgb(TColor Color) { return ColorToRGB(static_cast<TColor>(Color & ~PaletteRelative)) & 0xFFFFFF; }

} // namespace

int TSection::FindCountThatFits(TCanvas* Canvas, int Width, int Start, int Max)
{
    const TCanvasRefresh refresh{Canvas};
    int count = 0, x = 0;
    while (count < Max && Start + count < CharCount) {
        const int p = Start + count;
        const char c = Chars[static_cast<std::size_t>(p)];
        if (SectionChars::IsImage(c) || SectionChars::IsFormControl(c)) {
            if (SectionChars::IsImage(c)) {
                const TImageObj* image = ImageObjs->FindImage(p);
                if (image != nullptr && !image->IsFloating())
                    x += image->BoxWidth + 2 * image->HorzSpace;
            } else
                x += std::max(0, Controls->GetWidthAt(p));
            if (x > Width)
                return count;
            ++count;
            continue;
        }
        int index = 0;
        TFontObj* run = FontRuns->GetFontObjAt(p, index);
        const int length = TextRunLength(p, Max - count);
        int runWidth = 0;
        const int step = FitInRoom(Canvas, run, p, length, Width - x, runWidth);
        if (count + step >= Max)
            return Max;
        count += step;
        if (step < length)
            return count;
        x += runWidth;
    }
    return std::min(count, Max);
}

int TSection::Draw(TCanvas* Canvas, const TRect& Clip, IndentManager* Margins, int X, int Y)
{
    const int result = Y + FlowHeight;
    const int scrollTop = Document->ScrollTop;
    if (CharCount == 0 || Y + PaintHeight - scrollTop < Clip.Top || Y - scrollTop >= Clip.Bottom)
        return result;
    SetTextAlign(Canvas->Handle(), TA_BASELINE);
    const int s = Document->SelStart - FirstPos;
    const int e = Document->SelEnd - FirstPos;
    for (int i = 0; i < LineList->Count(); ++i) {
        LineRec& line = *Line(i);
        const int h = line.TextHeight + line.AboveText + line.BelowText;
        if (Y - scrollTop + line.LinePaintHeight < Clip.Top || Y - scrollTop >= Clip.Bottom) {
            Y += h;
            continue;
        }
        Y += line.TextHeight + line.AboveText;
        if (i == 0)
            DrawMarker(Canvas, line, X, Y);
        DrawLine(Canvas, Margins, line, X, Y, s, e);
        Y += line.BelowText;
    }
    return result;
}

void TSection::DrawMarker(TCanvas* Canvas, const LineRec& Line, int X, int Y)
{
    const int b = LeftEdge + X;
    const int scrollTop = Document->ScrollTop;
    if (ListKind == ListTypeType::Ordered) {
        const auto* item = dynamic_cast<TOListItem*>(this);
        const std::string text = MarkerText(item != nullptr ? item->NumberStyle : '1', ItemNumber);
        Canvas->Font()->Assign(MarkerFont.get());
        Canvas->Brush()->SetStyle(bsClear);
        const int width = Canvas->TextWidth(text);
        SetTextAlign(Canvas->Handle(), TA_BASELINE);
        Canvas->TextOut(b - width - 5, Y - Line.LineDescent - scrollTop, text);
        return;
    }
    const auto* item = dynamic_cast<TUListItem*>(this);
    if (ListKind != ListTypeType::Unordered || (item != nullptr && item->PlainItem))
        return;
    const int c = Y - Line.TextHeight / 2 - scrollTop;
    if (IsLightBackground(Document->BackgroundColor)) {
        static const TColor levelColors[] = {clRed, clNavy, clMaroon};
        const int index = Level - 1;
        if (index >= 0 && index <= 5) {
            Canvas->Pen()->SetColor(levelColors[index % 3]);
            Canvas->Brush()->SetColor(levelColors[index % 3]);
        }
        Canvas->Brush()->SetStyle(bsSolid);
    } else {
        Canvas->Brush()->SetStyle(bsClear);
        Canvas->Pen()->SetColor(Document->TextColor);
    }
    Canvas->Ellipse(b - 10, c - 2, b - 5, c + 3);
    Canvas->Brush()->SetColor(Document->BackgroundColor);
    Canvas->Brush()->SetStyle(bsSolid);
    Canvas->Pen()->SetColor(Document->TextColor);
}

void TSection::DrawLine(TCanvas* Canvas, IndentManager* Margins, LineRec& Line, int X, int Y, int S, int E)
{
    const int scrollTop = Document->ScrollTop;
    const bool preformatted = dynamic_cast<TPreFormated*>(this) != nullptr;
    int xx = X + Line.LineX;
    Line.DrawX = xx;
    Line.DrawY = Y - Line.TextHeight;
    bool atLineStart = true;
    const int end = Line.LineStart + Line.LineChars;
    for (int p = Line.LineStart; p < end;) {
        const char c = Chars[static_cast<std::size_t>(p)];
        int index = 0;
        TFontObj* run = FontRuns->GetFontObjAt(p, index);
        const int overhang = run->Overhang;
        if (SectionChars::IsImage(c)) {
            if (TImageObj* image = ImageObjs->FindImage(p)) {
                if (!image->IsFloating()) {
                    image->Draw(Canvas, xx + image->HorzSpace, Y - Line.TextHeight, Y - Line.LineDescent, run);
                    xx += image->BoxWidth + 2 * image->HorzSpace;
                    atLineStart = false;
                } else {
                    const int top = atLineStart ? Y - Line.TextHeight - Line.AboveText : Y;
                    image->Draw(Canvas, Margins->LeftLimit + image->FloatX, top, top, run);
                }
                SetTextAlign(Canvas->Handle(), TA_BASELINE);
            }
            ++p;
            continue;
        }
        if (SectionChars::IsFormControl(c)) {
            TFormControlObj* control = Controls->FindControl(p);
            if (control != nullptr && control->WinControl != nullptr) {
                TWinControl* window = control->WinControl;
                control->ShownInPaint = true;
                window->SetVisible(true);
                int top = Y - window->Height() - scrollTop;
                if (control->OnBaseline)
                    top -= Line.LineDescent;
                window->SetBounds(xx, top, window->Width(), window->Height());
                if (auto* radio = dynamic_cast<TRadioButtonFormControlObj*>(control)) {
                    if (radio->RadioButton != nullptr)
                        radio->RadioButton->SetVisible(true);
                    const TCell* cell = radio->OwnerCell;
                    window->SetColor(cell != nullptr && cell->HasBackColor ? cell->BackColor
                                                                            : Document->BackgroundColor);
                }
                xx += window->Width();
            }
            atLineStart = false;
            ++p;
            continue;
        }
        int length = TextRunLength(p, end - p);
        bool selected = false;
        if (S < E && p >= S && p < E) {
            selected = true;
            length = std::min(length, E - p);
        } else if (p < S)
            length = std::min(length, S - p);
        else if (Document->DrawEmptyCaret && S >= E)
            length = 1;
        std::string piece = Chars.substr(static_cast<std::size_t>(p), static_cast<std::size_t>(length));
        std::replace(piece.begin(), piece.end(), SectionChars::NoBreakSpace, ' ');

        HDC dc = Canvas->Handle();
        const TColor fontColor = run->RunFont->Color();
        SelectObject(dc, run->RunFont->Handle());
        if (selected) {
            SetBkMode(dc, OPAQUE);
            SetBkColor(dc, GdiRgb(fontColor));
            SetTextColor(dc, GdiRgb(Document->BackgroundColor));
        } else {
            SetBkMode(dc, TRANSPARENT);
            SetTextColor(dc, GdiRgb(fontColor));
        }
        int shift = 0;
        if (preformatted) {
            const RECT clip{X, Y - Line.TextHeight - Line.AboveText - scrollTop, X + Margins->DrawClipWidth,
                            Y - scrollTop + 1};
            ExtTextOutA(dc, xx - overhang / 2, Y - Line.LineDescent - scrollTop, ETO_CLIPPED, &clip, piece);
        } else {
            if (run->ScriptShift == SupSc)
                shift = -(run->LineHeight / 3);
            else if (run->ScriptShift == SubSc)
                shift = run->Descent / 2 + 1;
            TextOutA(dc, xx - overhang / 2, Y - Line.LineDescent + shift - scrollTop, piece);
        }
        const int width = PaneUn2::GetXExtent(dc, piece.data(), length);
        Canvas->Refresh();
        if (Document->DrawEmptyCaret && !selected && p == S) {
            const int bottom = Y - Line.LineDescent - scrollTop + run->Descent + shift;
            Canvas->Brush()->SetColor(fontColor);
            Canvas->Brush()->SetStyle(bsSolid);
            Canvas->FillRect(Rect(xx - overhang, bottom - run->LineHeight, xx - overhang + 1, bottom));
        }
        xx += width - overhang;
        atLineStart = false;
        p += length;
    }
}

int TSection::LineAtY(int Y, int& C, int& Top) const
{
    C = 0;
    Top = 0;
    for (int i = 0; i < LineList->Count(); ++i) {
        const LineRec* line = Line(i);
        const int h = line->TextHeight + line->AboveText + line->BelowText;
        if (Y < Top + h)
            return i;
        Top += h;
        C += line->LineChars;
    }
    return -1;
}

bool TSection::GetURL(TCanvas* Canvas, int X, int Y, TUrlTarget*& Link, TImageFormControlObj*& ImageControl)
{
    int ix = 0, iy = 0, position = 0;
    bool serverMap = false, clientMap = false;
    TMapItem* map = nullptr;
    TImageObj* image = nullptr;
    if (ImageObjs->Count() > 0 &&
        ImageObjs->PtInImage(X, Y + TopY, ix, iy, position, serverMap, clientMap, map, image)) {
        Document->HoverImage = image;
        if (image->InputControl != nullptr) {
            ImageControl = image->InputControl;
            ImageControl->HoverX = ix;
            ImageControl->HoverY = iy;
            return true;
        }
        if (clientMap)
            return map->GetURL(ix, iy, Link);
        int index = 0;
        TFontObj* run = FontRuns->GetFontObjAt(position, index);
        if (run->Link->Url.empty())
            return false;
        Link = new TUrlTarget;
        Link->Assign(run->Link->Url, run->Link->Target);
        Document->HoverLink = run;
        if (serverMap)
            Link->Url += "?" + IntToStr(ix) + "," + IntToStr(iy);
        return true;
    }
    int chars = 0, top = 0;
    const int i = LineAtY(Y, chars, top);
    if (i < 0 || X < Line(i)->DrawX)
        return false;
    const LineRec& line = *Line(i);
    const int n = FindCountThatFits(Canvas, X - line.DrawX, line.LineStart, line.LineChars);
    if (n >= line.LineChars || SectionChars::IsImage(Chars[static_cast<std::size_t>(line.LineStart + n)]))
        return false;
    int index = 0;
    TFontObj* run = FontRuns->GetFontObjAt(line.LineStart + n, index);
    if (run->Link->Url.empty())
        return false;
    Link = new TUrlTarget;
    Link->Assign(run->Link->Url, run->Link->Target);
    Document->HoverLink = run;
    return true;
}

bool TSection::PtInObject(int X, int Y, TObject*& Obj, int& ObjX, int& ObjY)
{
    return ImageObjs->Count() > 0 && ImageObjs->PtInObject(X, Y + TopY, Obj, ObjX, ObjY);
}

int TSection::FindCursor(TCanvas* Canvas, int X, int Y, int& CaretX, int& CaretY, int& CaretHeight,
                         TCell*& /*InCell*/, bool& InText)
{
    int chars = 0, top = 0;
    const int i = LineAtY(Y, chars, top);
    if (i < 0)
        return -1;
    const LineRec& line = *Line(i);
    InText = true;
    CaretHeight = line.TextHeight;
    CaretY = top + line.AboveText;
    if (X < line.DrawX) {
        InText = false;
        return FirstPos + chars;
    }
    int n = FindCountThatFits(Canvas, X - line.DrawX, line.LineStart, line.LineChars);
    const int before = FindTextWidth(Canvas, line.LineStart, n, false);
    CaretX = line.DrawX + before;
    if (n < line.LineChars) {
        const int w = FindTextWidth(Canvas, line.LineStart + n, 1, false);
        if (X - line.DrawX > before + w / 2) {
            CaretX += w;
            ++n;
        }
    }
    if (n == line.LineChars)
        InText = false;
    return FirstPos + chars + n;
}

bool TSection::CursorToXY(TCanvas* Canvas, int Cursor, int& X, int& Y)
{
    if (CharCount == 0 || Cursor < FirstPos || Cursor > FirstPos + CharCount)
        return false;
    const int offset = Cursor - FirstPos;
    int top = TopY;
    for (int i = 0; i < LineList->Count(); ++i) {
        const LineRec& line = *Line(i);
        if (offset >= line.LineStart && offset < line.LineStart + line.LineChars) {
            Y = top;
            X = line.DrawX + FindTextWidth(Canvas, line.LineStart, offset - line.LineStart, false);
            return true;
        }
        top += line.TextHeight + line.AboveText + line.BelowText;
    }
    return false;
}

bool TSection::GetChAtPos(int Pos, char& Ch, TObject*& Obj)
{
    if (Pos < FirstPos || Pos >= FirstPos + CharCount)
        return false;
    Ch = Chars[static_cast<std::size_t>(Pos - FirstPos)];
    Obj = this;
    return true;
}

int TSection::FindString(int FromPos, const char* Text, bool MatchCase)
{
    if (CharCount == 0 || FromPos >= FirstPos + CharCount || Text == nullptr || *Text == '\0')
        return -1;
    const std::size_t start = static_cast<std::size_t>(std::max(0, FromPos - FirstPos));
    const std::string text = Chars.substr(0, static_cast<std::size_t>(CharCount));
    if (MatchCase) {
        const std::size_t found = text.find(Text, start);
        return found == std::string::npos ? -1 : FirstPos + static_cast<int>(found);
    }
    const std::string wanted = std::string(Text).substr(0, MaxSearchLength);
    const std::size_t length = wanted.size();
    const char lower = AnsiLowerCase(wanted.substr(0, 1))[0];
    const char upper = AnsiUpperCase(wanted.substr(0, 1))[0];
    for (std::size_t p = start; p + length <= text.size(); ++p) {
        if (text[p] != lower && text[p] != upper)
            continue;
        if (AnsiCompareText(text.substr(p, length), wanted) == 0)
            return FirstPos + static_cast<int>(p);
    }
    return -1;
}

void TSection::CopyToClipboard()
{
    SelTextCount* buffer = Document->SelectionBuffer;
    if (buffer == nullptr)
        return;
    const int s = Document->SelStart - FirstPos;
    const int e = Document->SelEnd - FirstPos;
    const int listIndent = PaneUn2::ListIndent;
    for (int i = 0; i < LineList->Count(); ++i) {
        const LineRec& line = *Line(i);
        const int c = line.LineStart;
        if (c >= e || c + line.LineChars < s)
            continue;
        const int from = std::max(0, s - c);
        const int to = std::min(line.LineChars, e - c);
        if (from == 0 && listIndent > 0)
            for (int k = 0; k < line.LineX / listIndent; ++k)
                buffer->AddText("   ", 3);
        if (to > from)
            buffer->AddText(Chars.data() + c + from, to - from);
        if (to == line.LineChars)
            buffer->AddTextCR("", 0);
    }
}
