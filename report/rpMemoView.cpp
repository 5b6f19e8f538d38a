#include "report/rpMemoView.h"

#include "report/RP_DBRel.h"
#include "report/RP_Pars.h"
#include "report/RP_Utils.h"
#include "report/rpEngine.h"
#include "report/rpPages.h"
#include "report/rpReport.h"
#include "report/rpResources.h"
#include "report/rpStreams.h"

#include "platform/db/DataSet.h"
#include "platform/db/Field.h"
#include "platform/gui/Bitmap.h"
#include "platform/gui/CommonDialogs.h"
#include "platform/gui/Menus.h"
#include "platform/gui/TextOutput.h"
#include "platform/rtl/Codepage.h"
#include "platform/rtl/Formats.h"
#include "platform/rtl/Streams.h"
#include "platform/rtl/TextUtils.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

int WrappedHeight = 0;

namespace rpMemoView {
namespace {

constexpr std::uint16_t WordWrapBit = 2, WordBreakBit = 4, AutoWidthBit = 8;
constexpr int RightBit = 1, TurnedBit = 4;
enum TAlignment { AlignLeft = 0, AlignRight = 1, AlignCentre = 2, AlignJustified = 3 };
constexpr int VerticalMiddle = 8, VerticalBottom = 16, VerticalBits = 24;
constexpr char ParagraphMark = '\x01';
constexpr int MaxStoredWidth = 65535;
// Fonts are measured and drawn at no more than this many points, however large the stored size.
constexpr int MaxFontPoints = 1638;
constexpr std::uint8_t AddInType = 10;

// The pixel height of a font of that many points at 96 pixels per inch and the scale.
int PointsToPixels(int points, double scale)
{
    const int bounded = std::clamp(points, -MaxFontPoints, MaxFontPoints);
    return static_cast<int>(Round(bounded * 96.0 / 72 * scale));
}

bool IsLineBreak(char c) { return c == '\r' || c == '\n'; }

bool IsDelimiter(char c) { return c == ' ' || c == ',' || c == '-' || c == '.'; }

// The 1-based position of the first line break from position from, or the length + 1.
int FindLineBreak(const std::string& s, int from)
{
    // Two byte searches instead of a test per character: long lines are searched on every wrap.
    const char* start = s.data() + (from - 1);
    std::size_t length = s.size() - static_cast<std::size_t>(from - 1);
    if (const void* cr = std::memchr(start, '\r', length))
        length = static_cast<std::size_t>(static_cast<const char*>(cr) - start);
    const void* lf = std::memchr(start, '\n', length);
    return from + static_cast<int>(lf ? static_cast<const char*>(lf) - start : static_cast<std::ptrdiff_t>(length));
}

bool HoldsParagraphMark(const TStrings& lines)
{
    for (int n = 0; n < lines.Count(); ++n)
        if (lines.Strings(n).find(ParagraphMark) != std::string::npos)
            return true;
    return false;
}

std::vector<std::string> LinesOf(const TStrings& lines)
{
    std::vector<std::string> copy;
    copy.reserve(static_cast<std::size_t>(lines.Count()));
    for (int n = 0; n < lines.Count(); ++n)
        copy.push_back(lines.Strings(n));
    return copy;
}

std::string EncodeLine(std::string text, bool paragraphEnd, int width)
{
    const int stored = std::clamp(width, 0, MaxStoredWidth);
    if (paragraphEnd)
        text.push_back(ParagraphMark);
    text.push_back(static_cast<char>(stored >> 8));
    text.push_back(static_cast<char>(stored & 0xFF));
    return text;
}

struct TWrappedLine {
    std::string Text;
    int Width = 0;
    bool ParagraphEnd = false;
};

// A line shorter than its two width bytes (only in damaged pages) has width 0.
TWrappedLine DecodeLine(const std::string& line)
{
    TWrappedLine decoded;
    std::size_t size = line.size();
    if (size >= 2) {
        decoded.Width = (static_cast<unsigned char>(line[size - 2]) << 8) | static_cast<unsigned char>(line[size - 1]);
        size -= 2;
    }
    decoded.ParagraphEnd = size > 0 && line[size - 1] == ParagraphMark;
    if (decoded.ParagraphEnd)
        --size;
    decoded.Text = line.substr(0, size);
    return decoded;
}

// Breaks source lines into wrapped lines no wider than the available width. Each source line is
// measured once: the layer's widths add up character by character, so the width of any piece is
// a difference of running widths, the same as measuring the piece. Positions count from 1.
class TLineWrapper {
public:
    TLineWrapper(HDC dc, int available, bool wordBreak, TStrings& out)
        : FDc(dc), FAvailable(available), FWordBreak(wordBreak), FOut(out), FCharExtra(GetTextCharacterExtra(dc))
    {
        SIZE hyphen{};
        GetTextExtentPoint32A(dc, "-", -1, &hyphen);
        FHyphenWidth = hyphen.cx;
    }

    int Lines() const { return FLines; }

    void PutWhole(const std::string& s)
    {
        Measure(s);
        Put(s, 1, static_cast<int>(s.size()), true);
    }

    void Wrap(const std::string& s)
    {
        Measure(s);
        const int n = static_cast<int>(s.size());
        FNextLineBreak = FindLineBreak(s, 1);
        if (FNextLineBreak > n && (n <= 1 || Width(1, n) <= FAvailable)) {
            Put(s, 1, n, true);
            return;
        }
        int b = 1, k = 1, i = 1;
        while (i <= n) {
            i = SkipFitting(s, b, k, i);
            if (i > n)
                break;
            if (IsLineBreak(At(s, i))) {
                Put(s, b, i - 1, true);
                while (i < n && IsLineBreak(At(s, i)))
                    ++i;
                b = k = i;
                if (IsLineBreak(At(s, i)))
                    return;
                continue;
            }
            if (At(s, i) != ' ' && Width(b, i) > FAvailable && BreakLine(s, b, k, i))
                continue;
            if (IsDelimiter(At(s, i)))
                k = i;
            ++i;
        }
        if (b != i)
            Put(s, b, n, true);
    }

private:
    static char At(const std::string& s, int position) { return s[static_cast<std::size_t>(position - 1)]; }

    void Measure(const std::string& s)
    {
        // The buffer outlives the wrapper: long texts are wrapped again on every drawing.
        static std::vector<int> running;
        running.resize(s.size() + 1);
        running[0] = 0;
        if (!s.empty())
            GetTextExtentExPointA(FDc, s, -1, 0, nullptr, running.data() + 1, nullptr);
        FRunning = running.data();
        FMonotonic = FCharExtra >= 0;
    }

    // The first position from i that is a line break, or a character other than a blank that
    // overflows the line begun at b; k becomes the last delimiter passed on the way. What the scan
    // does character by character, found in a step where the widths only grow.
    int SkipFitting(const std::string& s, int b, int& k, int i)
    {
        const int n = static_cast<int>(s.size());
        if (FNextLineBreak < i)
            FNextLineBreak = FindLineBreak(s, i);
        const int limit = FAvailable + FRunning[b - 1];
        int stop = i;
        if (FMonotonic) {
            stop = static_cast<int>(std::upper_bound(FRunning + i, FRunning + n + 1, limit) - FRunning);
            while (stop <= n && At(s, stop) == ' ')
                ++stop;
        } else {
            while (stop <= n && (At(s, stop) == ' ' || FRunning[stop] <= limit))
                ++stop;
        }
        stop = std::min(stop, FNextLineBreak);
        for (int j = stop - 1; j >= i; --j)
            if (IsDelimiter(At(s, j))) {
                k = j;
                break;
            }
        return stop;
    }

    // The width of s[from .. to]; 0 when to is before from.
    int Width(int from, int to) const
    {
        return to < from ? 0 : FRunning[to] - FRunning[from - 1];
    }

    void Put(const std::string& s, int from, int to, bool paragraphEnd, bool hyphen = false)
    {
        std::string text;
        text.reserve(static_cast<std::size_t>(std::max(to - from + 1, 0)) + 4); // room for the hyphen, mark and width
        if (to >= from)
            text.append(s, static_cast<std::size_t>(from - 1), static_cast<std::size_t>(to - from + 1));
        int width = Width(from, to);
        if (hyphen) {
            text.push_back('-');
            width += FHyphenWidth;
        }
        FOut.Add(EncodeLine(std::move(text), paragraphEnd, width));
        ++FLines;
    }

    // The line overflows at i. Returns true when the scan goes on from i as it stands (a word
    // wider than the line was cut), false when the usual step at i follows.
    bool BreakLine(const std::string& s, int& b, int& k, int& i)
    {
        bool hyphen = false;
        if (FWordBreak) {
            int next = k + 1;
            while (next <= static_cast<int>(s.size()) && !IsDelimiter(At(s, next)))
                ++next;
            const std::string word = next - k - 1 > 0 ? s.substr(static_cast<std::size_t>(k), static_cast<std::size_t>(next - k - 1)) : std::string();
            int end = k;
            for (int point : rpHyphenationPoints(AnsiToUtf16(word))) {
                if (Width(b, k + point) + FHyphenWidth > FAvailable)
                    break;
                end = k + point;
                hyphen = true;
            }
            if (hyphen)
                k = i = end;
        }
        if (!hyphen && k == b) {
            // No delimiter since the line began: the line ends before the overflowing character,
            // holding at least one character, and the next line starts there.
            const int last = i > b ? i - 1 : b;
            Put(s, b, last, false);
            b = k = i = last + 1;
            return true;
        }
        if (hyphen)
            Put(s, b, k, false, true);
        else if (At(s, k) == ' ')
            Put(s, b, k - 1, false);
        else
            Put(s, b, k, false);
        b = k = k + 1;
        return false;
    }

    HDC FDc;
    int FAvailable;
    bool FWordBreak;
    TStrings& FOut;
    int FHyphenWidth = 0;
    int FLines = 0;
    // FRunning[j]: the width of the first j characters of the line being wrapped.
    const int* FRunning = nullptr;
    // The widths only grow along the line (no negative character spacing).
    bool FMonotonic = true;
    int FCharExtra = 0;
    int FNextLineBreak = 0;
};

// The highlight's look while its condition holds, for the life of the scope; the object's font
// and fill come back when it ends, also when an exception passes.
class THighlightScope {
public:
    explicit THighlightScope(TrpMemoView& memo)
        : FMemo(memo), FStyle(memo.Font->Style()), FColor(memo.Font->Color()), FFill(memo.FillColor)
    {
        if (memo.HighlightCondition.empty() || !rpParser)
            return;
        if (rpParser->Calc(memo.HighlightCondition) == Variant(0))
            return;
        memo.Font->SetStyle(rpSetFontStyle(memo.Highlight.FontStyle));
        memo.Font->SetColor(memo.Highlight.FontColor);
        memo.FillColor = memo.Highlight.FillColor;
    }
    ~THighlightScope()
    {
        FMemo.Font->SetStyle(FStyle);
        FMemo.Font->SetColor(FColor);
        FMemo.FillColor = FFill;
    }
    THighlightScope(const THighlightScope&) = delete;
    THighlightScope& operator=(const THighlightScope&) = delete;

private:
    TrpMemoView& FMemo;
    TFontStyles FStyle;
    TColor FColor;
    TColor FFill;
};

// The object scaled for drawing for the life of the scope.
class TGapsScope {
public:
    explicit TGapsScope(TrpView& view) : FView(view) { view.CalcGaps(); }
    ~TGapsScope() { FView.RestoreCoord(); }
    TGapsScope(const TGapsScope&) = delete;
    TGapsScope& operator=(const TGapsScope&) = delete;

private:
    TrpView& FView;
};

// Vertical alignment moves the object only while its lines are shown.
class TPlacementScope {
public:
    explicit TPlacementScope(TrpView& view) : FView(view), FLeft(view.Left), FTop(view.Top) {}
    ~TPlacementScope()
    {
        FView.Left = FLeft;
        FView.Top = FTop;
    }
    TPlacementScope(const TPlacementScope&) = delete;
    TPlacementScope& operator=(const TPlacementScope&) = delete;

private:
    TrpView& FView;
    int FLeft, FTop;
};

// A copy of the canvas's font turned by 90 degrees, selected into its context for the life of the
// scope.
class TTurnedFont {
public:
    explicit TTurnedFont(TCanvas& canvas) : FCanvas(canvas)
    {
        canvas.TextWidth(std::string());
        LOGFONTA logFont = FontToLogFont(*canvas.Font());
        logFont.lfEscapement = 900;
        logFont.lfOrientation = 900;
        FFont = CreateFontIndirectA(logFont);
        FPrevious = SelectObject(canvas.Handle(), FFont);
    }
    ~TTurnedFont()
    {
        SelectObject(FCanvas.Handle(), FPrevious);
        DeleteObject(FFont);
    }
    TTurnedFont(const TTurnedFont&) = delete;
    TTurnedFont& operator=(const TTurnedFont&) = delete;

private:
    TCanvas& FCanvas;
    HFONT FFont = nullptr;
    HGDIOBJ FPrevious = nullptr;
};

class TExportingScope {
public:
    explicit TExportingScope(bool& flag) : FFlag(flag) { flag = true; }
    ~TExportingScope() { FFlag = false; }
    TExportingScope(const TExportingScope&) = delete;
    TExportingScope& operator=(const TExportingScope&) = delete;

private:
    bool& FFlag;
};

int CountBlanks(const std::string& text) { return static_cast<int>(std::count(text.begin(), text.end(), ' ')); }

// Capitals of the letters the hyphenation rules know: Latin, Latin-1 and Cyrillic.
char16_t UpperLetter(char16_t c)
{
    if ((c >= u'a' && c <= u'z') || (c >= 0xE0 && c <= 0xFE && c != 0xF7) || (c >= 0x430 && c <= 0x44F))
        return static_cast<char16_t>(c - 0x20);
    if (c >= 0x450 && c <= 0x45F)
        return static_cast<char16_t>(c - 0x50);
    return c;
}

// \u0410 \u0415 \u0401 \u0418 \u041E \u0423 \u042B \u042D \u042E \u042F; the signs are the hard and the soft sign.
bool IsCyrillicVowel(char16_t c) { return std::u16string_view(u"\u0410\u0415\u0401\u0418\u041E\u0423\u042B\u042D\u042E\u042F").find(c) != std::u16string_view::npos; }

bool IsCyrillicSign(char16_t c) { return c == u'\u042A' || c == u'\u042C'; }

} // namespace
} // namespace rpMemoView

std::vector<int> rpHyphenationPoints(const std::u16string& word)
{
    using namespace rpMemoView;
    std::u16string capitals = word;
    for (char16_t& c : capitals)
        c = UpperLetter(c);
    std::vector<int> points;
    const int length = static_cast<int>(capitals.size());
    auto at = [&capitals](int position) { return capitals[static_cast<std::size_t>(position - 1)]; };
    for (int p = 2; p <= length - 2 && length > 4; ++p) {
        const bool vowelPair = IsCyrillicVowel(at(p)) && (IsCyrillicVowel(at(p + 1)) || IsCyrillicVowel(at(p + 2)));
        const bool consonantPair = !IsCyrillicVowel(at(p)) && !IsCyrillicVowel(at(p + 1)) &&
                                   !IsCyrillicSign(at(p + 1)) && IsCyrillicVowel(at(p + 2));
        if (vowelPair || consonantPair)
            points.push_back(p);
    }
    return points;
}

TrpMemoView::TrpMemoView() : Font(std::make_unique<TFont>())
{
    NamePrefix = "Memo";
    ObjectType = 0;
    Flags = 3;
    Font->SetName("Arial");
    Font->SetSize(10);
    Font->SetColor(clBlack);
    Font->SetCharset(rpCharset);
}

TrpMemoView::~TrpMemoView() = default;

void TrpMemoView::SetFont(TFont* font) { Font->Assign(font); }

void TrpMemoView::Assign(TrpView* from)
{
    TrpView::Assign(from);
    auto* memo = dynamic_cast<TrpMemoView*>(from);
    if (!memo)
        return;
    SetFont(memo->Font.get());
    Adjust = memo->Adjust;
    Highlight = memo->Highlight;
    HighlightCondition = memo->HighlightCondition;
    LineSpacing = memo->LineSpacing;
}

void TrpMemoView::SaveToStream(TStream& stream)
{
    TrpView::SaveToStream(stream);
    rpWriteString(stream, Font->Name());
    stream.WriteInt32(Font->Size());
    stream.WriteUInt16(static_cast<std::uint16_t>(rpGetFontStyle(Font->Style())));
    stream.WriteInt32(Font->Color());
    stream.WriteInt32(Adjust);
    stream.WriteUInt16(Font->Charset());
    if (StreamMode == smPrinting)
        return;
    stream.WriteUInt16(Highlight.FontStyle);
    stream.WriteInt32(Highlight.FontColor);
    stream.WriteInt32(Highlight.FillColor);
    rpWriteString(stream, HighlightCondition);
}

void TrpMemoView::LoadFromStream(TStream& stream)
{
    TrpView::LoadFromStream(stream);
    Font->SetName(rpReadVersionString(stream, rpVersion));
    Font->SetSize(stream.ReadInt32());
    Font->SetStyle(rpSetFontStyle(stream.ReadUInt16()));
    Font->SetColor(stream.ReadInt32());
    Adjust = stream.ReadInt32();
    const std::uint16_t charset = stream.ReadUInt16();
    Font->SetCharset(rpVersion < 23 ? rpCharset : static_cast<TFontCharset>(charset & 0xFF));
    if (rpVersion == 21)
        Flags |= rpMemoView::WordWrapBit;
    if (StreamMode == smPrinting)
        return;
    Highlight.FontStyle = stream.ReadUInt16();
    Highlight.FontColor = stream.ReadInt32();
    Highlight.FillColor = stream.ReadInt32();
    HighlightCondition = rpReadVersionString(stream, rpVersion);
}

void TrpMemoView::ExpandVariables()
{
    WorkMemo->Clear();
    TStringList pieces;
    for (int n = 0; n < Memo->Count(); ++n) {
        std::string line = Memo->Strings(n);
        if (line.empty()) {
            WorkMemo->Add("");
            continue;
        }
        // Inserted text is never expanded again; an unclosed "[" and what follows stay as they are.
        int i = 1;
        while (CurReport) {
            const int length = static_cast<int>(line.size());
            while (i < length && line[static_cast<std::size_t>(i - 1)] != '[')
                ++i;
            if (i > length || line[static_cast<std::size_t>(i - 1)] != '[')
                break;
            const int closing = FindClosingBracket(line, i);
            if (closing == 0)
                break;
            std::string value;
            CurReport->InternalOnGetValue(Copy(line, i + 1, closing - i - 1), value);
            line.replace(static_cast<std::size_t>(i - 1), static_cast<std::size_t>(closing - i + 1), value);
            i += static_cast<int>(value.size());
        }
        pieces.SetText(line);
        for (int p = 0; p < pieces.Count(); ++p)
            WorkMemo->Add(pieces.Strings(p));
    }
}

void TrpMemoView::WrapMemo()
{
    using namespace rpMemoView;
    TCanvas* canvas = ScratchBitmap->Canvas();
    canvas->Font()->Assign(Font.get());
    const int fontPixels = PointsToPixels(Font->Size(), 1.0);
    canvas->Font()->SetHeight(-fontPixels);
    canvas->TextWidth(std::string());
    HDC dc = canvas->Handle();
    SetTextCharacterExtra(dc, CharacterSpacing);
    SMemo->Clear();
    const int lineStep = LineSpacing + fontPixels;
    const bool turned = (Adjust & TurnedBit) != 0;
    TLineWrapper wrapper(dc, turned ? Height - 2 * GapY : Width - 2 * GapX, (Flags & WordBreakBit) != 0, *SMemo);
    for (int n = 0; n < WorkMemo->Count(); ++n) {
        if (Flags & WordWrapBit)
            wrapper.Wrap(WorkMemo->Strings(n));
        else
            wrapper.PutWhole(WorkMemo->Strings(n));
    }
    WrappedHeight = wrapper.Lines() * lineStep + 2 * (turned ? GapX : GapY);
    LineHeight = lineStep;
}

int TrpMemoView::CalcWidth(TStrings* lines)
{
    using namespace rpMemoView;
    TCanvas* canvas = ScratchBitmap->Canvas();
    canvas->Font()->Assign(Font.get());
    canvas->Font()->SetHeight(-PointsToPixels(Font->Size(), 1.0));
    canvas->TextWidth(std::string());
    const bool wrapped = HoldsParagraphMark(*lines);
    std::string text;
    for (int n = 0; n < lines->Count(); ++n) {
        if (n > 0)
            text += "\r\n";
        text += wrapped ? DecodeLine(lines->Strings(n)).Text : lines->Strings(n);
    }
    HDC dc = canvas->Handle();
    SetTextCharacterExtra(dc, static_cast<int>(Round(CharacterSpacing * ScaleX)));
    RECT rect{0, 0, Width, Height};
    DrawTextA(dc, text, -1, &rect, DT_CALCRECT | DT_NOPREFIX);
    return rect.Right + static_cast<int>(Round(FrameWidth * 2)) + 2;
}

void TrpMemoView::AssignFont(TCanvas* canvas)
{
    using namespace rpMemoView;
    canvas->Brush()->SetStyle(bsClear);
    canvas->Font()->Assign(Font.get());
    if (IsPrinting)
        canvas->Font()->SetSize(std::clamp(Font->Size(), -MaxFontPoints, MaxFontPoints));
    else
        canvas->Font()->SetHeight(-ScaledFontHeight());
}

int TrpMemoView::ScaledFontHeight() const { return rpMemoView::PointsToPixels(Font->Size(), ScaleY); }

void TrpMemoView::CalcGapsAtScaleOne()
{
    const double scaleX = ScaleX, scaleY = ScaleY;
    ScaleX = ScaleY = 1.0;
    CalcGaps();
    ScaleX = scaleX;
    ScaleY = scaleY;
    RestoreCoord();
}

void TrpMemoView::FillWorkingText(bool enterRectFirst)
{
    if (enterRectFirst && CurReport) {
        WorkMemo->Assign(Memo.get());
        const std::vector<std::string> before = rpMemoView::LinesOf(*WorkMemo);
        CurReport->InternalOnEnterRect(WorkMemo.get(), this);
        if (rpMemoView::LinesOf(*WorkMemo) != before)
            return;
    }
    ExpandVariables();
}

void TrpMemoView::Draw(TCanvas* canvas)
{
    using namespace rpMemoView;
    BeginDraw(canvas);
    if ((Flags & AutoWidthBit) && Memo->Count() > 0 && DocMode == dmPrinting) {
        const int width = CalcWidth(Memo.get());
        if (Adjust & RightBit)
            Left += Width - width;
        Width = width;
    }
    StopAtBottom = false;
    WorkMemo->Assign(Memo.get());
    CalcGapsAtScaleOne();
    if (WorkMemo->Count() > 0) {
        if (HoldsParagraphMark(*WorkMemo)) {
            if (WorkMemo->Strings(WorkMemo->Count() - 1) == std::string(1, ParagraphMark))
                WorkMemo->Delete(WorkMemo->Count() - 1);
            // A continued part keeps its lines: its block is as tall as they are.
            WrappedHeight = WorkMemo->Count() * (LineSpacing + PointsToPixels(Font->Size(), 1.0)) +
                            2 * ((Adjust & TurnedBit) ? GapX : GapY);
        } else {
            WrapMemo();
            WorkMemo->Assign(SMemo);
        }
    }
    TGapsScope gaps(*this);
    if (!Exporting) {
        ShowBackGround();
        ShowFrame();
    }
    if (WorkMemo->Count() > 0)
        ShowMemo();
}

void TrpMemoView::ShowMemo()
{
    using namespace rpMemoView;
    AssignFont(Canvas);
    Canvas->TextWidth(std::string());
    HDC dc = Canvas->Handle();
    SetTextCharacterExtra(dc, static_cast<int>(Round(CharacterSpacing * ScaleX)));
    SetBkMode(dc, TRANSPARENT);
    const RECT clip{DrawRect.Left + 1, DrawRect.Top, DrawRect.Right - 2, DrawRect.Bottom - 1};
    WrappedHeight = static_cast<int>(Round(WrappedHeight * ScaleY));

    const bool turned = (Adjust & TurnedBit) != 0;
    const int room = turned ? Width : Height;
    int shift = 0;
    if ((Adjust & VerticalBits) == VerticalMiddle)
        shift = (room - WrappedHeight) / 2;
    else if ((Adjust & VerticalBits) == VerticalBottom)
        shift = room - WrappedHeight;
    // Counting the lines of a part that fit starts at the top: moved up, the lines counted would
    // be drawn above the object and lost.
    if (StopAtBottom && shift < 0)
        shift = 0;
    TPlacementScope placement(*this);
    if (turned)
        Left += shift;
    else
        Top += shift;

    const int lineStep = static_cast<int>(Round(LineSpacing * ScaleY)) + std::abs(Canvas->Font()->Height());
    LinesDrawn = 0;
    if (turned) {
        ShowTurnedLines(clip, lineStep);
        return;
    }
    int y = Top + GapY;
    for (int n = 0; n < WorkMemo->Count(); ++n) {
        if (StopAtBottom && y + lineStep > clip.Bottom)
            break;
        const TWrappedLine line = DecodeLine(WorkMemo->Strings(n));
        ShowLine(line.Text, line.Width, line.ParagraphEnd, Left + GapX, y, clip);
        ++LinesDrawn;
        y += lineStep;
    }
}

void TrpMemoView::ShowLine(const std::string& text, int width, bool paragraphEnd, int x, int y, const RECT& clip)
{
    using namespace rpMemoView;
    HDC dc = Canvas->Handle();
    int lineWidth = Canvas->TextWidth(text);
    const int alignment = Adjust & 3;
    if (alignment == AlignJustified) {
        if (!Exporting) {
            const int blanks = CountBlanks(text);
            if (blanks > 0 && !paragraphEnd)
                SetTextJustification(dc, Width - 2 * GapX - lineWidth, blanks);
            ExtTextOutA(dc, x, y, ETO_CLIPPED, &clip, text);
            SetTextJustification(dc, 0, 0);
        }
    } else {
        // Each line takes on the device the width it was wrapped to: a smaller font when it is
        // wider, its characters spread when it is narrower.
        const int target = static_cast<int>(Round(width * ScaleX));
        const int fontHeight = Canvas->Font()->Height();
        while (lineWidth > target && std::abs(Canvas->Font()->Height()) > 1) {
            const int height = Canvas->Font()->Height();
            Canvas->Font()->SetHeight(height < 0 ? height + 1 : height - 1);
            lineWidth = Canvas->TextWidth(text);
        }
        std::vector<int> positions;
        if (lineWidth != target && !Exporting && !text.empty()) {
            GCP_RESULTSA placement;
            GetCharacterPlacementA(dc, text, -1, target, &placement, GCP_JUSTIFY | GCP_MAXEXTENT);
            positions = std::move(placement.lpDx);
        }
        if (alignment == AlignRight)
            x = Left + Width - GapX - target - 1;
        else if (alignment == AlignCentre)
            x = Left + GapX + (Width - 2 * GapX - target) / 2;
        if (!Exporting)
            ExtTextOutA(dc, x, y, ETO_CLIPPED, &clip, text, -1, positions.empty() ? nullptr : positions.data());
        if (Canvas->Font()->Height() != fontHeight)
            Canvas->Font()->SetHeight(fontHeight);
    }
    if (Exporting && CurReport)
        CurReport->InternalOnExportText(x, y, text, this);
}

void TrpMemoView::ShowTurnedLines(const RECT& clip, int lineStep)
{
    using namespace rpMemoView;
    TTurnedFont turnedFont(*Canvas);
    HDC dc = Canvas->Handle();
    int x = Left + GapX;
    for (int n = 0; n < WorkMemo->Count(); ++n) {
        const TWrappedLine line = DecodeLine(WorkMemo->Strings(n));
        const int lineWidth = Canvas->TextWidth(line.Text);
        int y = Top + Height - GapY;
        if ((Adjust & 3) == AlignRight)
            y = Top + GapY + lineWidth;
        else if ((Adjust & 3) == AlignCentre)
            y = Top + Height - GapY - (Height - 2 * GapY - lineWidth) / 2 - 1;
        if (Exporting) {
            if (CurReport)
                CurReport->InternalOnExportText(x, y, line.Text, this);
        } else {
            const int blanks = CountBlanks(line.Text);
            if ((Adjust & 3) == AlignJustified && blanks > 0 && !line.ParagraphEnd)
                SetTextJustification(dc, Height - 2 * GapY - lineWidth, blanks);
            ExtTextOutA(dc, x, y, ETO_CLIPPED, &clip, line.Text);
            SetTextJustification(dc, 0, 0);
        }
        ++LinesDrawn;
        x += lineStep;
    }
}

void TrpMemoView::Print(TStream& stream)
{
    using namespace rpMemoView;
    BeginDraw(ScratchBitmap->Canvas());
    StopAtBottom = true;
    const TrpDrawMode mode = DrawMode;
    DrawMode = drAll;
    if (mode == drAll)
        rpDoScript(Script.get());
    if (mode == drAll) {
        const bool boundBlob = DataSet && !DataField.empty() && rpIsBlob(DataSet->FindField(DataField));
        FillWorkingText(CurReport && (CurReport->OnEnterRect || boundBlob));
    } else if (mode == drCalcHeight) {
        ExpandVariables();
    }
    if (!Visible)
        return;
    THighlightScope highlight(*this);
    if (mode == drPart) {
        {
            TGapsScope gaps(*this);
            ShowMemo();
        }
        SMemo->Assign(WorkMemo.get());
        while (WorkMemo->Count() > LinesDrawn)
            WorkMemo->Delete(WorkMemo->Count() - 1);
        if (!HoldsParagraphMark(*WorkMemo))
            WorkMemo->Add(std::string(1, ParagraphMark));
    }
    stream.WriteUInt8(ObjectType);
    if (ObjectType == AddInType)
        rpWriteString(stream, ClassName());
    SaveToStream(stream);
    if (mode == drPart) {
        // What is left for the next sheet.
        TStringList rest;
        for (int n = LinesDrawn; n < SMemo->Count(); ++n)
            rest.Add(SMemo->Strings(n));
        WorkMemo->Assign(&rest);
    }
}

void TrpMemoView::ExportData()
{
    TrpView::ExportData();
    rpMemoView::TExportingScope exporting(Exporting);
    Draw(ScratchBitmap->Canvas());
}

int TrpMemoView::CalcHeight()
{
    using namespace rpMemoView;
    DrawMode = drAfterCalcHeight;
    BeginDraw(ScratchBitmap->Canvas());
    rpDoScript(Script.get());
    if (!Visible)
        return 0;
    FillWorkingText(true);
    THighlightScope highlight(*this);
    if ((Flags & AutoWidthBit) && WorkMemo->Count() > 0 && DocMode == dmPrinting)
        Width = CalcWidth(WorkMemo.get());
    CalcGapsAtScaleOne();
    if (WorkMemo->Count() == 0)
        return 0;
    WrapMemo();
    return WrappedHeight;
}

int TrpMemoView::MinHeight() { return LineHeight; }

int TrpMemoView::RemainHeight() { return WorkMemo->Count() * LineHeight; }

void TrpMemoView::GetBlob(TField* field) { WorkMemo->SetText(field->AsString()); }

void TrpMemoView::DefinePopupMenu(TPopupMenu* menu)
{
    using namespace rpMemoView;
    // The format window comes with the preview's dialogs; its entry does nothing until then.
    auto* format = new TMenuItem(menu);
    format->SetCaption(rpLoadStr(55334));
    menu->Items()->Add(format);
    auto* font = new TMenuItem(menu);
    font->SetCaption(rpLoadStr(55335));
    font->OnClick = [this](TObject*) { ChooseFont(); };
    menu->Items()->Add(font);

    TrpView::DefinePopupMenu(menu);
    AddFlagItem(menu, 55191, WordWrapBit);
    const std::string wordBreak = rpLoadStr(55192);
    if (!wordBreak.empty())
        AddFlagItem(menu, 55192, WordBreakBit)->SetEnabled((Flags & WordWrapBit) != 0);
    AddFlagItem(menu, 55193, AutoWidthBit);
}

void TrpMemoView::ChooseFont()
{
    TFontDialog dialog(nullptr);
    dialog.SetFont(Font.get());
    if (!dialog.Execute())
        return;
    // Only what the person changed reaches the selected texts; this one comes last, since the
    // changes are found against its font.
    const TFont& chosen = *dialog.Font();
    auto apply = [&](TrpMemoView* memo) {
        if (chosen.Name() != Font->Name())
            memo->Font->SetName(chosen.Name());
        if (chosen.Size() != Font->Size())
            memo->Font->SetSize(chosen.Size());
        if (chosen.Color() != Font->Color())
            memo->Font->SetColor(chosen.Color());
        if (!(chosen.Style() == Font->Style()))
            memo->Font->SetStyle(chosen.Style());
        if (chosen.Charset() != Font->Charset())
            memo->Font->SetCharset(chosen.Charset());
    };
    if (rpDesigner)
        rpDesigner->BeforeChange();
    if (rpDesigner && rpDesigner->Page) {
        for (const auto& view : rpDesigner->Page->Objects)
            if (auto* memo = dynamic_cast<TrpMemoView*>(view.get()); memo && memo != this && memo->Selected)
                apply(memo);
    }
    apply(this);
    if (rpDesigner)
        rpDesigner->AfterChange();
}
