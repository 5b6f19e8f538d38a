// The text object: expansion of bracketed expressions, word wrapping into the wrapped-line form,
// the hyphenation finder, drawing with every alignment at any scale, the highlight, and printing
// whole or in parts into a prepared page.

#include "ReportTestSupport.h"

#include "LiteralWrap.h"

#include "report/RP_Intrp.h"

#include "platform/gui/Bitmap.h"
#include "platform/gui/FontEngine.h"
#include "platform/rtl/Codepage.h"
#include "platform/rtl/Variants.h"

#include <algorithm>
#include <climits>
#include <random>

namespace {

std::vector<std::string> LinesOf(TStrings& lines)
{
    std::vector<std::string> copy;
    for (int n = 0; n < lines.Count(); ++n)
        copy.push_back(lines.Strings(n));
    return copy;
}

void SetLines(TStrings& lines, const std::vector<std::string>& text)
{
    lines.Clear();
    for (const std::string& line : text)
        lines.Add(line);
}

// A wrapped line: the text, the paragraph mark when it ends one, the width high byte first.
std::string WrappedLine(const std::string& text, bool paragraphEnd, int width)
{
    std::string line = text;
    if (paragraphEnd)
        line.push_back('\x01');
    line.push_back(static_cast<char>(width >> 8));
    line.push_back(static_cast<char>(width & 0xFF));
    return line;
}

// The width of text in Arial at 10 points (13 pixels) on the engine's scratch canvas.
int ArialWidth(const std::string& text, TFontStyles style = {})
{
    TCanvas* canvas = ScratchBitmap->Canvas();
    canvas->Font()->SetName("Arial");
    canvas->Font()->SetStyle(style);
    canvas->Font()->SetHeight(-13);
    canvas->TextWidth(std::string());
    SetTextCharacterExtra(canvas->Handle(), 0);
    return canvas->TextWidth(text);
}

struct TInk {
    int Left = INT_MAX, Top = INT_MAX, Right = -1, Bottom = -1;
    bool Any() const { return Right >= 0; }
    int Width() const { return Right - Left + 1; }
};

// A pixel with a channel below the threshold; at 160 half-covered edge pixels count, at 80 only
// the pixels a glyph covers nearly whole.
bool IsInk(TColor color, int threshold)
{
    const COLORREF c = ColorToRGB(color);
    return static_cast<int>(c & 0xFF) < threshold || static_cast<int>((c >> 8) & 0xFF) < threshold ||
           static_cast<int>((c >> 16) & 0xFF) < threshold;
}

// Where the bitmap holds ink within area.
TInk InkIn(TBitmap& bitmap, const TRect& area, int threshold = 160)
{
    TInk ink;
    for (int y = area.Top; y < area.Bottom; ++y)
        for (int x = area.Left; x < area.Right; ++x)
            if (IsInk(bitmap.Canvas()->Pixels(x, y), threshold)) {
                ink.Left = std::min(ink.Left, x);
                ink.Right = std::max(ink.Right, x);
                ink.Top = std::min(ink.Top, y);
                ink.Bottom = std::max(ink.Bottom, y);
            }
    return ink;
}

void ClearBitmap(TBitmap& bitmap, int width, int height)
{
    bitmap.SetPixelFormat(pf24bit);
    bitmap.SetSize(width, height);
    bitmap.Canvas()->Brush()->SetStyle(bsSolid);
    bitmap.Canvas()->Brush()->SetColor(clWhite);
    bitmap.Canvas()->FillRect({0, 0, width, height});
}

// A text object as a prepared page holds it, drawn at a scale on a fresh white bitmap.
void DrawPrepared(TrpMemoView& memo, TBitmap& bitmap, double scale = 1.0, int width = 400, int height = 300)
{
    ClearBitmap(bitmap, width, height);
    memo.ScaleX = memo.ScaleY = scale;
    memo.OriginX = memo.OriginY = 0;
    memo.Draw(bitmap.Canvas());
}

std::unique_ptr<TrpMemoView> MakeMemo(const std::vector<std::string>& text, int left, int top, int width, int height)
{
    auto memo = std::make_unique<TrpMemoView>();
    memo->SetBounds(left, top, width, height);
    SetLines(*memo->Memo, text);
    return memo;
}

class MemoText : public ::testing::Test {
protected:
    void SetUp() override
    {
        UseVirtualPrinterOnly();
        Report.OnGetValue = [](const std::string& name, Variant& value) {
            if (name == "A")
                value = Variant(12.5);
            else if (name == "B")
                value = Variant(std::string("x"));
            else if (name == "Ricorsivo")
                value = Variant(std::string("[A]"));
            else if (name == "Vuoto")
                value = Variant(std::string());
            else if (name == "DueRighe")
                value = Variant(std::string("a\r\nb"));
        };
        Report.BeginPrepare();
        DocMode = dmPrinting;
    }
    void TearDown() override { DocMode = dmDesigning; }

    TrpReport Report{nullptr};
};

// --- The font the measures rest on

TEST_F(MemoText, ArialIsDrawnWithItsMetricTwin)
{
    ASSERT_EQ(SubstituteFontName("Arial"), "Liberation Sans");
    const std::vector<std::string> fonts = ScreenFonts();
    ASSERT_NE(std::find(fonts.begin(), fonts.end(), "Liberation Sans"), fonts.end())
        << "fonts-liberation2 is missing: every line break would move";
    TCanvas* canvas = ScratchBitmap->Canvas();
    canvas->Font()->SetName("Liberation Sans");
    canvas->Font()->SetHeight(-13);
    const int twin = canvas->TextWidth("Totale documento");
    EXPECT_EQ(ArialWidth("Totale documento"), twin);
    // What Liberation Sans measures at 13 pixels; another face would measure otherwise.
    EXPECT_EQ(twin, 104);
}

// --- Expansion

TEST_F(MemoText, BracketedExpressionsExpandThroughTheReport)
{
    const struct {
        std::vector<std::string> Design;
        std::vector<std::string> Expanded;
    } cases[] = {
        {{"Totale: [A]"}, {"Totale: 12,5"}},
        {{"[A][B]"}, {"12,5x"}},
        {{"[Ricorsivo]"}, {"[A]"}},
        {{"[Vuoto]", "", "fine"}, {"", "fine"}},
        {{"[Vuoto]"}, {}},
        {{"[DueRighe]"}, {"a", "b"}},
        {{"abc [def"}, {"abc [def"}},
        {{"[A] [", "]"}, {"12,5 [", "]"}},
    };
    for (const auto& c : cases) {
        auto memo = MakeMemo(c.Design, 0, 0, 100, 20);
        memo->BeginDraw(ScratchBitmap->Canvas());
        memo->ExpandVariables();
        EXPECT_EQ(LinesOf(*memo->WorkMemo), c.Expanded) << c.Design[0];
    }
}

// --- Wrapping

TEST_F(MemoText, LineStepAndHeightFollowFontSpacingAndFrame)
{
    auto memo = MakeMemo({"uno", "due", "tre"}, 0, 0, 200, 20);
    EXPECT_EQ(memo->CalcHeight(), 47);
    EXPECT_EQ(memo->LineHeight, 15);
    EXPECT_EQ(WrappedHeight, 47);
    EXPECT_EQ(memo->MinHeight(), 15);
    EXPECT_EQ(SMemo->Count(), 3);
}

TEST_F(MemoText, ALineBreaksAtTheLastBlankIntoTheWrappedForm)
{
    const int w1 = ArialWidth("Totale"), w2 = ArialWidth("documento"), whole = ArialWidth("Totale documento");
    ASSERT_LT(w1, whole - 1);
    // Gaps of 2 on each side with frame width 1: room for all but the last pixel of the text.
    auto memo = MakeMemo({"Totale documento"}, 0, 0, whole - 1 + 4, 20);
    memo->CalcHeight();
    EXPECT_EQ(LinesOf(*SMemo), (std::vector<std::string>{WrappedLine("Totale", false, w1), WrappedLine("documento", true, w2)}));
}

TEST_F(MemoText, WithoutWordWrapEachSourceLineIsOneParagraph)
{
    const std::string wide = "una riga molto piu larga dell'oggetto, che non va a capo";
    auto memo = MakeMemo({wide, "corta"}, 0, 0, 60, 20);
    memo->Flags = 1;
    memo->CalcHeight();
    EXPECT_EQ(LinesOf(*SMemo), (std::vector<std::string>{WrappedLine(wide, true, ArialWidth(wide)),
                                                          WrappedLine("corta", true, ArialWidth("corta"))}));
}

TEST_F(MemoText, AWordWiderThanTheObjectLosesNoCharacter)
{
    std::string word;
    for (int i = 0; i < 60; ++i)
        word.push_back(static_cast<char>('a' + i % 26));
    for (std::uint16_t flags : {3, 7}) {
        auto memo = MakeMemo({word}, 0, 0, 100, 20);
        memo->Flags = flags;
        memo->CalcHeight();
        const int available = 100 - 2 * memo->GapX;
        std::string joined;
        ASSERT_GT(SMemo->Count(), 2);
        for (int n = 0; n < SMemo->Count(); ++n) {
            const std::string line = SMemo->Strings(n);
            const bool last = n == SMemo->Count() - 1;
            const std::string text = line.substr(0, line.size() - (last ? 3 : 2));
            const int width = (static_cast<unsigned char>(line[line.size() - 2]) << 8) | static_cast<unsigned char>(line.back());
            EXPECT_EQ(line[line.size() - 3] == '\x01', last) << n;
            EXPECT_TRUE(width <= available || text.size() == 1) << text;
            EXPECT_EQ(width, ArialWidth(text));
            joined += text;
        }
        EXPECT_EQ(joined, word) << flags;
    }
    // A character wider than the line stands alone on its line.
    auto narrow = MakeMemo({"WWW"}, 0, 0, 6, 20);
    narrow->CalcHeight();
    EXPECT_EQ(SMemo->Count(), 3);
}

TEST(HyphenationPoints, RussianRulesOnCyrillicWordsOnly)
{
    const struct {
        std::u16string Word;
        std::vector<int> Points;
    } cases[] = {
        {u"\u041C\u041E\u041B\u041E\u041A\u041E", {2, 4}},                   // MOLOKO
        {u"\u043C\u043E\u043B\u043E\u043A\u043E", {2, 4}},                   // in small letters
        {u"\u041A\u041E\u041D\u0422\u0420\u0410\u041A\u0422", {4}},           // KONTRAKT
        {u"\u041F\u041E\u0414\u042A\u0415\u0417\u0414", {}},                   // the hard sign holds
        {u"\u0414\u041E\u041C\u0410", {}},                                     // four letters
        {AnsiToUtf16("CITT\xC0"), {}},
        {AnsiToUtf16("PERCH\xC9"), {}},
        {AnsiToUtf16("CONTRATTO"), {}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(rpHyphenationPoints(c.Word), c.Points) << Utf16ToAnsi(c.Word);
}

// The wrapper measures each source line once and works on running widths; the transcription of
// the rules measures every piece again. Their break positions and bytes must be the same.
TEST_F(MemoText, WrappingMatchesTheRulesMeasuredPieceByPiece)
{
    std::mt19937 random(68);
    const std::vector<std::string> pieces = {"fattura", "n.", "12", "Rossi", "S.r.l.", "via", "Garibaldi,", "IVA",
                                             "pro-forma", "totale", "documento", "CITT\xC0", "perch\xE9", "a",
                                             "precipitevolissimevolmente", "-", ",", ".", "  ", "\r\n", "\n",
                                             "\r", "\x01", "WWWWWWWW"};
    for (int round = 0; round < 300; ++round) {
        std::string text;
        const int count = 1 + static_cast<int>(random() % 40);
        for (int p = 0; p < count; ++p) {
            text += pieces[random() % pieces.size()];
            if (random() % 3 != 0)
                text += ' ';
        }
        auto memo = MakeMemo({}, 0, 0, 8 + static_cast<int>(random() % 300), 20);
        memo->WorkMemo->Add(text);
        memo->WorkMemo->Add(pieces[random() % pieces.size()]);
        memo->Flags = random() % 2 ? 3 : 7;
        memo->CharacterSpacing = static_cast<int>(random() % 5) - 1;
        memo->Font->SetSize(6 + static_cast<int>(random() % 10));
        memo->CalcGaps();
        memo->RestoreCoord();
        memo->WrapMemo();
        ASSERT_EQ(LinesOf(*SMemo), LiteralWrap::Wrap(*memo)) << round << ": " << text;
    }
}

// --- Drawing

class MemoDrawing : public MemoText {
protected:
    TBitmap Bitmap;
};

TEST_F(MemoDrawing, TheFourAlignmentsPlaceALine)
{
    const int width = ArialWidth("Totale");
    const struct {
        int Adjust;
        int X; // where the line starts
    } cases[] = {
        {0, 20 + 2},
        {1, 20 + 200 - 2 - width - 1},
        {2, 20 + 2 + (200 - 4 - width) / 2},
        {3, 20 + 2},
    };
    for (const auto& c : cases) {
        auto memo = MakeMemo({"Totale"}, 20, 20, 200, 20);
        memo->Adjust = c.Adjust;
        DrawPrepared(*memo, Bitmap);
        const TInk ink = InkIn(Bitmap, {20, 20, 221, 41});
        ASSERT_TRUE(ink.Any());
        EXPECT_GE(ink.Left, c.X) << c.Adjust;
        EXPECT_LE(ink.Left, c.X + 2) << c.Adjust;
        EXPECT_LE(ink.Right, c.X + width) << c.Adjust;
        EXPECT_GE(ink.Right, c.X + width - 3) << c.Adjust;
    }
}

TEST_F(MemoDrawing, AJustifiedParagraphLeavesItsLastLineAsItIs)
{
    auto memo = MakeMemo({"uno due tre quattro cinque sei sette otto nove dieci undici"}, 10, 10, 150, 100);
    memo->Adjust = 3;
    DrawPrepared(*memo, Bitmap);
    const int lines = SMemo->Count(), right = 10 + 150 - 2;
    ASSERT_GE(lines, 3);
    const TInk first = InkIn(Bitmap, {10, 11, 161, 11 + 15});
    const TInk middle = InkIn(Bitmap, {10, 11 + 15, 161, 11 + 2 * 15});
    const TInk last = InkIn(Bitmap, {10, 11 + (lines - 1) * 15, 161, 11 + lines * 15});
    ASSERT_TRUE(last.Any());
    ASSERT_FALSE(InkIn(Bitmap, {10, 11 + lines * 15, 161, 110}).Any());
    EXPECT_GE(middle.Right, right - 3);
    EXPECT_GE(first.Right, right - 3);
    EXPECT_LT(last.Right, right - 20);
    memo->Adjust = 0;
    DrawPrepared(*memo, Bitmap);
    EXPECT_LT(InkIn(Bitmap, {10, 11, 161, 11 + 15}).Right, first.Right);
    EXPECT_EQ(InkIn(Bitmap, {10, 11 + (lines - 1) * 15, 161, 11 + lines * 15}).Right, last.Right);
}

TEST_F(MemoDrawing, AutomaticWidthKeepsARightAlignedTextsRightEdge)
{
    TInk inks[2];
    for (int autoWidth = 0; autoWidth < 2; ++autoWidth) {
        auto memo = MakeMemo({"12,50"}, 20, 20, 200, 20);
        memo->Adjust = 1;
        memo->FrameTyp = rpFrameAll;
        if (autoWidth)
            memo->Flags |= 8;
        DrawPrepared(*memo, Bitmap);
        inks[autoWidth] = InkIn(Bitmap, {memo->Left + 2, 22, 218, 39});
        EXPECT_EQ(Bitmap.Canvas()->Pixels(220, 30), clBlack);
        if (autoWidth) {
            const int width = ArialWidth("12,50") + 2 + 2;
            EXPECT_EQ(memo->Left, 20 + 200 - width);
            EXPECT_EQ(Bitmap.Canvas()->Pixels(memo->Left, 30), clBlack);
            EXPECT_NE(Bitmap.Canvas()->Pixels(20, 30), clBlack);
        }
    }
    ASSERT_TRUE(inks[0].Any());
    EXPECT_EQ(inks[1].Right, inks[0].Right);
    EXPECT_EQ(inks[1].Left, inks[0].Left);
    EXPECT_EQ(inks[1].Top, inks[0].Top);
}

TEST_F(MemoDrawing, VerticalAlignmentPlacesALine)
{
    // One line of 10 points: a block of 15 + 2 pixels in a 100-pixel object.
    int tops[4];
    const int adjusts[4] = {0, 8, 16, 24};
    for (int i = 0; i < 4; ++i) {
        auto memo = MakeMemo({"Totale"}, 20, 20, 200, 100);
        memo->Adjust = adjusts[i];
        DrawPrepared(*memo, Bitmap);
        tops[i] = InkIn(Bitmap, {20, 20, 221, 121}).Top;
    }
    EXPECT_EQ(tops[1] - tops[0], (100 - 17) / 2);
    EXPECT_EQ(tops[2] - tops[0], 100 - 17);
    EXPECT_EQ(tops[3], tops[0]);
    EXPECT_GE(tops[0], 21);
}

TEST_F(MemoDrawing, TurnedTextRunsUpwardFromTheBottom)
{
    const int width = ArialWidth("Totale");
    auto memo = MakeMemo({"Totale"}, 20, 20, 40, 150);
    memo->Adjust = 4;
    DrawPrepared(*memo, Bitmap);
    const TInk ink = InkIn(Bitmap, {20, 20, 61, 171});
    ASSERT_TRUE(ink.Any());
    const int baseline = 20 + 150 - 1;
    EXPECT_LE(ink.Bottom, baseline);
    EXPECT_GE(ink.Bottom, baseline - 2);
    EXPECT_LE(baseline - ink.Top, width);
    EXPECT_GE(baseline - ink.Top, width - 3);
    EXPECT_LE(ink.Width(), 14);
    EXPECT_GE(ink.Left, 22);
}

TEST_F(MemoDrawing, AtScaleTwoALineTakesTwiceItsWrappedWidth)
{
    // Underscores fill their cells from edge to edge, so the pixels they cover whole show where
    // the line starts and ends.
    const std::string text = "_Totale documento n. 12_";
    const int width = ArialWidth(text);
    for (double scale : {1.0, 2.0, 1.5})
        for (int adjust : {0, 1, 2}) {
            auto memo = MakeMemo({text}, 10, 10, 300, 20);
            memo->Adjust = adjust;
            DrawPrepared(*memo, Bitmap, scale, 700, 100);
            const int left = static_cast<int>(Round(10 * scale)), right = static_cast<int>(Round(310 * scale));
            const TInk ink = InkIn(Bitmap, {left, left, right + 1, static_cast<int>(Round(30 * scale)) + 1}, 80);
            EXPECT_NEAR(ink.Width(), Round(scale * width), 1) << scale << " " << adjust;
        }
}

TEST_F(MemoDrawing, TheHighlightAppliesWhileItsConditionHolds)
{
    for (const char* condition : {"1", "0"}) {
        auto memo = MakeMemo({"Totale"}, 20, 20, 200, 20);
        memo->HighlightCondition = condition;
        memo->Highlight.FillColor = clYellow;
        memo->Highlight.FontColor = clRed;
        memo->StreamMode = smPrinting;
        TMemoryStream page;
        memo->Print(page);
        EXPECT_EQ(memo->Font->Color(), clBlack);
        EXPECT_EQ(memo->FillColor, clNone);
        EXPECT_TRUE(memo->Font->Style().Empty());

        page.SetPosition(0);
        ASSERT_EQ(page.ReadUInt8(), 0);
        TrpMemoView prepared;
        prepared.StreamMode = smPrinting;
        prepared.LoadFromStream(page);
        DrawPrepared(prepared, Bitmap);
        const bool on = condition[0] == '1';
        EXPECT_EQ(Bitmap.Canvas()->Pixels(150, 30), on ? clYellow : clWhite) << condition;
        EXPECT_EQ(prepared.Font->Style().Contains(fsBold), on);
        bool red = false;
        for (int y = 20; y < 40; ++y)
            for (int x = 20; x < 80; ++x)
                red = red || Bitmap.Canvas()->Pixels(x, y) == clRed;
        EXPECT_EQ(red, on) << condition;
    }
}

class TFailingStream : public TMemoryStream {
public:
    int Write(const void*, int) override { RAISE(EWriteError("Stream write error")); }
};

TEST_F(MemoDrawing, TheFontComesBackWhenAPrintFails)
{
    auto memo = MakeMemo({"Totale"}, 20, 20, 200, 20);
    memo->HighlightCondition = "1";
    memo->Highlight.FillColor = clYellow;
    TFailingStream failing;
    EXPECT_THROW(memo->Print(failing), EWriteError);
    EXPECT_TRUE(memo->Font->Style().Empty());
    EXPECT_EQ(memo->FillColor, clNone);
    EXPECT_EQ(memo->DrawMode, drAll);
}

// --- Printing into a prepared page

std::vector<std::string> PreparedLines(TMemoryStream& page)
{
    page.SetPosition(0);
    EXPECT_EQ(page.ReadUInt8(), 0);
    TrpMemoView prepared;
    prepared.StreamMode = smPrinting;
    prepared.LoadFromStream(page);
    return LinesOf(*prepared.Memo);
}

TEST_F(MemoText, APartPrintWritesTheLinesThatFitAndKeepsTheRest)
{
    // Ten wrapped lines of one paragraph; four fit a height of 65 (15 each below a gap of 1).
    std::string paragraph;
    for (int i = 0; i < 10; ++i)
        paragraph += "parola" + std::to_string(i) + " ";
    const struct {
        int Adjust;
        bool EndsEarly; // the fourth line ends a paragraph
    } cases[] = {{0, false}, {16, false}, {8, false}, {0, true}};
    for (const auto& c : cases) {
        auto memo = MakeMemo({}, 0, 0, ArialWidth("parola0 ") + 4, 65);
        memo->Adjust = c.Adjust;
        memo->WorkMemo->Add(paragraph);
        memo->CalcGaps();
        memo->RestoreCoord();
        memo->WrapMemo();
        std::vector<std::string> wrapped = LinesOf(*SMemo);
        ASSERT_EQ(wrapped.size(), 10u);
        if (c.EndsEarly)
            wrapped[3] = WrappedLine("parola3", true, ArialWidth("parola3"));
        SetLines(*memo->WorkMemo, wrapped);
        memo->DrawMode = drPart;
        memo->StreamMode = smPrinting;
        TMemoryStream page;
        memo->Print(page);

        std::vector<std::string> written(wrapped.begin(), wrapped.begin() + 4);
        if (!c.EndsEarly)
            written.push_back("\x01");
        EXPECT_EQ(PreparedLines(page), written) << c.Adjust;
        EXPECT_EQ(memo->LinesDrawn, 4);
        EXPECT_EQ(LinesOf(*memo->WorkMemo), std::vector<std::string>(wrapped.begin() + 4, wrapped.end()));
        EXPECT_EQ(memo->RemainHeight(), 6 * 15);
        EXPECT_EQ(memo->DrawMode, drAll);
    }
}

// Counts the scripts it is asked to run.
class TCountingInterpreter : public TrpInterpretator {
public:
    void DoScript(TStrings*) override { ++Runs; }
    int Runs = 0;
};

TEST_F(MemoText, AnInvisibleObjectRunsItsScriptAndWritesNothing)
{
    TCountingInterpreter counting;
    TrpInterpretator* previous = rpInterpretator;
    rpInterpretator = &counting;
    auto memo = MakeMemo({"[A]"}, 0, 0, 100, 20);
    memo->Visible = 0;
    memo->StreamMode = smPrinting;
    TMemoryStream page;
    memo->Print(page);
    EXPECT_EQ(memo->CalcHeight(), 0);
    rpInterpretator = previous;
    EXPECT_EQ(counting.Runs, 2);
    EXPECT_EQ(page.Size(), 0);
}

TEST_F(MemoText, APrintedTextIsExpandedAndDrawsAgainFromThePage)
{
    auto memo = MakeMemo({"Totale: [A]"}, 0, 0, 100, 20);
    memo->StreamMode = smPrinting;
    TMemoryStream page;
    memo->Print(page);
    EXPECT_EQ(PreparedLines(page), std::vector<std::string>{"Totale: 12,5"});
    // A height computed first leaves the expansion to CalcHeight.
    memo->CalcHeight();
    memo->Memo->Clear();
    TMemoryStream again;
    memo->Print(again);
    EXPECT_EQ(PreparedLines(again), std::vector<std::string>{"Totale: 12,5"});
}

TEST_F(MemoText, AnyBytesWrapAndDraw)
{
    std::string noise;
    std::mt19937 random(5);
    for (int i = 0; i < 5000; ++i)
        noise.push_back(static_cast<char>(random() % 256));
    TBitmap bitmap;
    for (const std::vector<std::string>& text :
         {std::vector<std::string>{noise}, {"\x01", "\x01\x01", "a\x01"}, {std::string(70000, 'x')}, {"\r\n\r\n"}, {"\x01\xff"}}) {
        for (int adjust : {0, 3, 4 + 3, 16}) {
            auto memo = MakeMemo(text, 5, 5, 90, 90);
            memo->Adjust = adjust;
            DrawPrepared(*memo, bitmap, 1.0, 100, 100);
            DrawPrepared(*memo, bitmap, 3.0, 100, 100);
        }
    }
}

} // namespace
