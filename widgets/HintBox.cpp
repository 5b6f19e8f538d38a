#include "widgets/HintBox.h"

#include "platform/gui/TextOutput.h"
#include "platform/rtl/TextUtils.h"

namespace HintBox {

namespace {

// The tag found by a scan: its name between L and R (1-based positions of "<" and ">").
struct TTagScan {
    int L = 0;
    int R = 0;
    std::string Name;
};

// Looks for the next tag at or after position p; a ">" before the next "<" is plain text and is
// stepped over. False when the rest holds no complete tag.
bool NextTag(const std::string& s, int& p, TTagScan& tag)
{
    for (;;) {
        tag.L = FindNext(s, "<", p);
        tag.R = FindNext(s, ">", p);
        if (tag.L == 0 || tag.R == 0)
            return false;
        if (tag.R > tag.L)
            break;
        p = tag.R + 1;
    }
    tag.Name = UpperCase(Copy(s, tag.L + 1, tag.R - tag.L - 1));
    return true;
}

// The style a style tag switches, and whether it switches it on.
bool StyleTag(const std::string& name, TFontStyle& style, bool& on)
{
    static const struct {
        const char* Name;
        TFontStyle Style;
    } tags[] = {{"B", fsBold}, {"I", fsItalic}, {"U", fsUnderline}, {"STRIKE", fsStrikeOut}};
    on = name.empty() || name[0] != '/';
    const std::string bare = on ? name : name.substr(1);
    for (const auto& tag : tags) {
        if (bare == tag.Name) {
            style = tag.Style;
            return true;
        }
    }
    return false;
}

void ApplyStyle(TFont* font, TFontStyle style, bool on)
{
    TFontStyles styles = font->Style();
    if (on)
        styles.Include(style);
    else
        styles.Exclude(style);
    font->SetStyle(styles);
}

// Walks text run by run: run(text) for the text before each style tag (and for the rest), then
// style(style, on) for the tag itself. Other tags stay in the runs as text.
template <typename RunFn, typename StyleFn>
void WalkStyledRuns(const std::string& text, RunFn run, StyleFn style)
{
    std::string rest = text;
    int p = 1;
    while (!rest.empty()) {
        TTagScan tag;
        if (!NextTag(rest, p, tag)) {
            run(rest);
            return;
        }
        TFontStyle changed = fsBold;
        bool on = false;
        if (!StyleTag(tag.Name, changed, on)) {
            p = tag.L + 1;
            continue;
        }
        if (tag.L > 1)
            run(Copy(rest, 1, tag.L - 1));
        style(changed, on);
        rest = Copy(rest, tag.R + 1);
        p = 1;
    }
}

} // namespace

int FindNext(const std::string& s, const std::string& sub, int from)
{
    if (from < 1 || from > static_cast<int>(s.size()))
        return 0;
    return Pos(sub, s, from);
}

std::vector<TDisplayLine> SplitLine(const std::string& line)
{
    std::vector<TDisplayLine> lines;
    std::string s = line;
    int current = AlignLeft;
    int opened = AlignLeft;
    int p = 1;
    if (s.empty()) {
        lines.push_back({"", current});
        return lines;
    }
    for (;;) {
        TTagScan tag;
        if (!NextTag(s, p, tag)) {
            lines.push_back({s, current});
            return lines;
        }
        const std::string before = Copy(s, 1, tag.L - 1);
        if (tag.Name == "CENTER" || tag.Name == "RIGHT") {
            const int code = tag.Name == "CENTER" ? AlignCenter : AlignRight;
            if (tag.L > 1)
                lines.push_back({before, current});
            opened = code;
            current = code;
        } else if (tag.Name == "BR") {
            lines.push_back({before, current});
        } else if (tag.Name == "/CENTER" || tag.Name == "/RIGHT") {
            lines.push_back({before, opened});
            current = AlignLeft;
            if (TrimLeft(Copy(s, tag.R + 1)).empty())
                return lines;
        } else {
            p = tag.L + 1;
            continue;
        }
        s = TrimLeft(Copy(s, tag.R + 1));
        p = 1;
    }
}

bool OnlyContainsTags(const std::string& s)
{
    bool styled = false;
    std::string rest = s;
    if (rest.empty())
        return false;
    while (!rest.empty()) {
        if (rest[0] != '<')
            return false;
        const int r = FindNext(rest, ">", 1);
        if (r == 0)
            return false;
        TFontStyle style = fsBold;
        bool on = false;
        if (StyleTag(UpperCase(Copy(rest, 2, r - 2)), style, on))
            styled = true;
        rest = Copy(rest, r + 1);
    }
    return styled;
}

} // namespace HintBox

// The rows used so far while painting, and the height of the latest measurement.
struct THintBox::TWrapState {
    int Row = 0;
    int Height = 0;
};

THintBox::THintBox(TComponent* AOwner) : TCustomControl(AOwner), FLines(std::make_unique<TStringList>())
{
    SetBounds(Left(), Top(), 200, 200);
}

THintBox::~THintBox() = default;

void THintBox::PaintNow()
{
    // Without a window there is nothing to draw on; the first paint draws everything.
    if (HandleAllocated())
        Paint();
}

void THintBox::SetColor(TColor value)
{
    if (value == FColor)
        return;
    FColor = value;
    PaintNow();
}

void THintBox::SetShadowColor(TColor value)
{
    if (value == FShadowColor)
        return;
    FShadowColor = value;
    PaintNow();
}

void THintBox::SetHintBox(bool value)
{
    if (value == FDrawHintBox)
        return;
    FDrawHintBox = value;
    PaintNow();
}

void THintBox::SetLines(TStrings* value)
{
    FLines->Assign(value);
    if (FHTMLFormatting)
        Parse();
    PaintNow();
}

void THintBox::SetShadowSize(int value)
{
    if (value == FShadowSize || value < 0)
        return;
    const int change = value - FShadowSize;
    SetWidth(Width() + change);
    SetHeight(Height() + change);
    FShadowSize = value;
    PaintNow();
}

void THintBox::SetHTMLFormatting(bool value)
{
    if (value == FHTMLFormatting)
        return;
    FHTMLFormatting = value;
    if (value)
        Parse();
    PaintNow();
}

void THintBox::Update()
{
    if (FHTMLFormatting)
        Parse();
    PaintNow();
}

bool THintBox::OnlyContainsTags(const std::string& S) { return HintBox::OnlyContainsTags(S); }

void THintBox::Parse()
{
    if (!FParsedLines)
        FParsedLines = std::make_unique<TStringList>();
    FParsedLines->Clear();
    FLineAlignments.clear();
    for (int i = 0; i < FLines->Count(); ++i)
        ParseLine(FLines->Strings(i));
}

void THintBox::ParseLine(const std::string& S)
{
    if (!FParsedLines)
        FParsedLines = std::make_unique<TStringList>();
    for (const HintBox::TDisplayLine& line : HintBox::SplitLine(S)) {
        FParsedLines->Add(line.Text);
        FLineAlignments.push_back(line.Alignment);
    }
}

TSize THintBox::TextExtentEx(const std::string& S)
{
    TFont* font = Canvas()->Font();
    const TFontStyles entry = font->Style();
    TSize size{0, 0};
    HintBox::WalkStyledRuns(
        S,
        [&](const std::string& run) {
            const TSize extent = Canvas()->TextExtent(run);
            size.cx += extent.cx;
            size.cy = std::max(size.cy, extent.cy);
        },
        [&](TFontStyle style, bool on) { HintBox::ApplyStyle(font, style, on); });
    font->SetStyle(entry);
    return size;
}

void THintBox::TextOutEx(int X, int Y, const std::string& S)
{
    TFont* font = Canvas()->Font();
    int x = X;
    HintBox::WalkStyledRuns(
        S,
        [&](const std::string& run) {
            Canvas()->TextOut(x, Y, run);
            x += Canvas()->TextWidth(run);
        },
        [&](TFontStyle style, bool on) { HintBox::ApplyStyle(font, style, on); });
}

TSize THintBox::GetTextExtentRH(const std::string& S)
{
    // Measuring through the canvas first selects its font into the context.
    Canvas()->TextHeight(S);
    const DWORD extent = GetTabbedTextExtentA(Canvas()->Handle(), S, static_cast<int>(S.size()), 0, nullptr);
    return {static_cast<int>(LOWORD(extent)), static_cast<int>(HIWORD(extent))};
}

void THintBox::Paint()
{
    FCharWidths.clear();
    if (FHTMLFormatting)
        DrawBoxEx();
    else
        DrawBox();
}

TRect THintBox::PaintBackground()
{
    TCanvas* canvas = Canvas();
    TRect area = ClientRect();
    canvas->Brush()->SetStyle(bsSolid);
    if (FDrawHintBox) {
        canvas->Brush()->SetColor(FShadowColor);
        canvas->FillRect(Rect(area.Left + FShadowSize, area.Top + FShadowSize, area.Right, area.Bottom));
        area.Right -= FShadowSize;
        area.Bottom -= FShadowSize;
        canvas->Brush()->SetColor(FColor);
        canvas->Rectangle(area);
        canvas->Font()->SetColor(Font()->Color());
    } else {
        canvas->Font()->SetColor(Font()->Color());
        canvas->Brush()->SetColor(TControl::Color());
        canvas->FillRect(canvas->ClipRect());
    }
    return area;
}

void THintBox::DrawBox()
{
    TRect area = PaintBackground();
    if (FLines->Count() == 0)
        return;
    if (FDrawHintBox) {
        area.Left += 4;
        area.Top += 4;
    }
    TWrapState state;
    for (int i = 0; i < FLines->Count(); ++i) {
        const std::string line = FLines->Strings(i);
        if (line.empty()) {
            ++state.Row;
            continue;
        }
        if (!DrawWrapped(line, HintBox::AlignLeft, false, area, state))
            return;
    }
}

void THintBox::DrawBoxEx()
{
    if (!FParsedLines)
        Parse();
    TRect area = PaintBackground();
    if (FParsedLines->Count() == 0)
        return;
    if (FDrawHintBox) {
        area.Left += 4;
        area.Top += 4;
    }
    Canvas()->Font()->SetStyle({});
    TWrapState state;
    for (int i = 0; i < FParsedLines->Count(); ++i) {
        const std::string line = FParsedLines->Strings(i);
        if (line.empty()) {
            ++state.Row;
            continue;
        }
        if (OnlyContainsTags(line)) {
            TextOutEx(-1, -1, line);
            continue;
        }
        const int alignment = i < static_cast<int>(FLineAlignments.size()) ? FLineAlignments[i] : HintBox::AlignLeft;
        if (!DrawWrapped(line, alignment, true, area, state))
            return;
    }
}

bool THintBox::DrawWrapped(const std::string& line, int alignment, bool formatted, const TRect& area,
                           TWrapState& state)
{
    const int avail = area.Right - area.Left - FShadowSize;
    auto fits = [&] { return (state.Row + 1) * state.Height + area.Top < area.Bottom; };
    auto rowTop = [&] { return area.Top + state.Row * state.Height; };
    if (formatted) {
        const TSize whole = TextExtentEx(line);
        state.Height = whole.cy;
        if (whole.cx <= avail) {
            if (fits())
                DrawSegment(line, alignment, whole.cx, true, area, rowTop());
            ++state.Row;
            return true;
        }
    }
    // Wrapped at the last blank that fits; a run without a blank breaks before the character
    // that overflowed, which starts the next row. A character wider than the room stands alone.
    const int length = static_cast<int>(line.size());
    const int height = Canvas()->TextHeight(" ");
    int start = 1, i = 1, space = 0;
    do {
        ++i;
        const int width = PlainWidth(line, start, i - start);
        state.Height = height;
        if (line[static_cast<std::size_t>(i - 2)] == ' ')
            space = i - 1;
        if (width > avail) {
            int last, next;
            if (space > 0) {
                last = space - 1;
                next = space + 1;
            } else if (i - 1 > start) {
                last = i - 2;
                next = i - 1;
            } else {
                last = start;
                next = start + 1;
            }
            if (!fits())
                return false;
            const std::string segment = Copy(line, start, last - start + 1);
            DrawSegment(segment, alignment, formatted ? TextExtentEx(segment).cx : 0, formatted, area, rowTop());
            start = next;
            i = next;
            space = 0;
            ++state.Row;
        }
    } while (i <= length);
    const std::string rest = Copy(line, start);
    if (fits())
        DrawSegment(rest, alignment, PlainWidth(line, start, length - start + 1), formatted, area, rowTop());
    ++state.Row;
    return true;
}

void THintBox::DrawSegment(const std::string& text, int alignment, int width, bool formatted, const TRect& area,
                           int top)
{
    if (!formatted) {
        Canvas()->TextOut(area.Left, top, text);
        return;
    }
    int x = area.Left;
    if (alignment == HintBox::AlignCenter)
        x = area.Left + (area.Right - area.Left - width) / 2 - 4;
    else if (alignment == HintBox::AlignRight)
        x = area.Right - width - 4;
    TextOutEx(x, top, text);
}

int THintBox::PlainWidth(const std::string& text, int first, int count)
{
    // The layer's widths add up character by character, so a sum of cached widths measures any
    // piece of a line exactly as measuring the piece itself would.
    const auto styleIndex = static_cast<std::size_t>(Canvas()->Font()->Style().Bits());
    if (FCharWidths.size() <= styleIndex)
        FCharWidths.resize(styleIndex + 1);
    std::vector<int>& widths = FCharWidths[styleIndex];
    if (widths.empty())
        widths.assign(256, -1);
    int sum = 0;
    const int end = std::min(first - 1 + count, static_cast<int>(text.size()));
    for (int k = std::max(first - 1, 0); k < end; ++k) {
        const auto c = static_cast<unsigned char>(text[static_cast<std::size_t>(k)]);
        if (widths[c] < 0)
            widths[c] = Canvas()->TextWidth(std::string(1, static_cast<char>(c)));
        sum += widths[c];
    }
    return sum;
}
