#include "WidgetsTestSupport.h"

#include "platform/gui/Form.h"
#include "widgets/HintBox.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace {

using HintBox::TDisplayLine;

// A green form holding a white balloon with a grey shadow at its top-left corner.
struct THintBoxFixture {
    std::unique_ptr<TForm> Form;
    THintBox* Box = nullptr;

    explicit THintBoxFixture(int width = 200, int height = 200)
    {
        Form = std::make_unique<TForm>(nullptr);
        Form->SetBounds(50, 50, 320, 300);
        Form->SetColor(clGreen);
        Box = new THintBox(Form.get());
        Box->SetParent(Form.get());
        Box->SetBounds(0, 0, width, height);
        Box->SetColor(clWhite);
        Box->SetShadowColor(static_cast<TColor>(0x808080));
        Form->Show();
        PumpFor(10);
    }
    void SetLines(const std::vector<std::string>& lines)
    {
        Box->Lines()->Clear();
        for (const std::string& line : lines)
            Box->Lines()->Add(line);
        Box->Refresh();
    }
};

// The height of a text row in a new canvas's font.
int RowHeight()
{
    TTextSample sample(10, 10);
    return sample.Canvas()->TextHeight("Íy");
}

// The band of text row n inside the balloon's interior.
TRect RowBand(int n, int boxWidth = 200)
{
    const int h = RowHeight();
    return Rect(1, 4 + n * h, boxWidth - 5, 4 + (n + 1) * h);
}

TEST(HintBoxParsing, BlockTagsSplitAndAlignLines)
{
    const struct {
        std::string Line;
        std::vector<TDisplayLine> Expected;
    } cases[] = {
        {"<center>word</center>", {{"word", 1}}},
        {"word<br>", {{"word", 0}, {"", 0}}},
        {"<center><b>Verifica versione in corso...</b></center>", {{"<b>Verifica versione in corso...</b>", 1}}},
        {"a > b <c", {{"a > b <c", 0}}},
        {"<RIGHT>x</right>y", {{"x", 2}, {"y", 0}}},
        {"", {{"", 0}}},
        {"uno<br>  due<Center>tre<BR>quattro</CENTER>", {{"uno", 0}, {"due", 0}, {"tre", 1}, {"quattro", 1}}},
        {"<b >x</b>", {{"<b >x</b>", 0}}},
        {"fine<center>", {{"fine", 0}, {"", 1}}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(HintBox::SplitLine(c.Line), c.Expected) << c.Line;
}

TEST(HintBoxParsing, OnlyContainsTagsWantsAStyleTagAndNothingElse)
{
    const struct {
        std::string Text;
        bool Expected;
    } cases[] = {
        {"<b>", true}, {"<b><x>", true}, {"<x>", false},   {"", false},      {"<b>a", false},
        {"a<b>", false}, {"<b", false},  {"</STRIKE>", true}, {"<i> <u>", false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(HintBox::OnlyContainsTags(c.Text), c.Expected) << c.Text;
}

TEST(HintBoxParsing, FindNextCountsFromOneAndStopsAtTheEnd)
{
    EXPECT_EQ(HintBox::FindNext("a<b<", "<", 1), 2);
    EXPECT_EQ(HintBox::FindNext("a<b<", "<", 3), 4);
    EXPECT_EQ(HintBox::FindNext("a<b<", "<", 5), 0);
    EXPECT_EQ(HintBox::FindNext("a<b<", ">", 1), 0);
    EXPECT_EQ(HintBox::FindNext("", "<", 1), 0);
}

TEST(HintBoxPainting, BalloonShadowAndTextMargin)
{
    THintBoxFixture f;
    f.SetLines({"Testo di prova"});
    TGrab grab(f.Box);
    ASSERT_TRUE(grab.Valid());
    EXPECT_EQ(grab.At(0, 0), clBlack);
    EXPECT_EQ(grab.At(195, 195), clBlack);
    EXPECT_EQ(grab.At(2, 2), clWhite);
    EXPECT_EQ(grab.At(196, 100), 0x808080);
    EXPECT_EQ(grab.At(197, 197), 0x808080);
    EXPECT_EQ(grab.At(198, 1), clGreen);
    EXPECT_EQ(grab.At(1, 198), clGreen);
    const TRect row = RowBand(0);
    EXPECT_GT(grab.Ink(row, clWhite), 0);
    EXPECT_GE(grab.FirstInkColumn(row, clWhite), 4);
}

TEST(HintBoxPainting, StyleTagsSwitchTheFontAndStayInForceAcrossLines)
{
    THintBoxFixture f;
    f.SetLines({"<b>Salva</b> il file", "Salva il file", "<B>", "Salva", "</b>", "Salva", "<i>Salva</i>"});
    TGrab grab(f.Box);
    const int boldLine = grab.Ink(RowBand(0), clWhite);
    const int plainLine = grab.Ink(RowBand(1), clWhite);
    EXPECT_GT(boldLine, plainLine);
    // The tags themselves are not drawn: the bold line ends a few pixels after the plain one.
    const int boldEnd = grab.LastInkColumn(RowBand(0), clWhite);
    const int plainEnd = grab.LastInkColumn(RowBand(1), clWhite);
    EXPECT_GT(boldEnd, plainEnd);
    EXPECT_LT(boldEnd, plainEnd + 10);
    // "<B>" alone uses no row and makes the next line bold; "</b>" alone uses none either.
    const int boldWord = grab.Ink(RowBand(2), clWhite);
    const int plainWord = grab.Ink(RowBand(3), clWhite);
    EXPECT_GT(boldWord, plainWord);
    EXPECT_GT(plainWord, 0);
    EXPECT_GT(grab.Ink(RowBand(4), clWhite), 0);
    EXPECT_EQ(grab.Ink(RowBand(5), clWhite), 0);
}

TEST(HintBoxPainting, CentredAndRightAlignedLines)
{
    THintBoxFixture f;
    f.SetLines({"<center>Centro</center>", "<right>Destra</right>", "Sinistra"});
    TGrab grab(f.Box);
    TTextSample sample(100, 20);
    const int centreWidth = sample.Canvas()->TextWidth("Centro");
    const int rightWidth = sample.Canvas()->TextWidth("Destra");
    const int centreStart = grab.FirstInkColumn(RowBand(0), clWhite);
    const int rightEnd = grab.LastInkColumn(RowBand(1), clWhite);
    // Centred in the balloon less the margins; right-aligned 4 pixels inside its edge.
    EXPECT_NEAR(centreStart, 4 + (192 - centreWidth) / 2 - 4, 2);
    EXPECT_NEAR(rightEnd, 196 - 4 - 1, 2);
    EXPECT_LE(grab.FirstInkColumn(RowBand(1), clWhite), 196 - 4 - rightWidth + 2);
    EXPECT_LE(grab.FirstInkColumn(RowBand(2), clWhite), 6);
}

TEST(HintBoxPainting, ShadowSizeGrowsTheControlAndIgnoresNegatives)
{
    THintBoxFixture f;
    f.Box->SetShadowSize(-1);
    EXPECT_EQ(f.Box->ShadowSize(), 4);
    EXPECT_EQ(f.Box->Width(), 200);
    f.Box->SetShadowSize(6);
    EXPECT_EQ(f.Box->ShadowSize(), 6);
    EXPECT_EQ(f.Box->Width(), 202);
    EXPECT_EQ(f.Box->Height(), 202);
    PumpFor(10);
    TGrab grab(f.Box);
    EXPECT_EQ(grab.At(195, 195), clBlack);
    EXPECT_EQ(grab.At(196, 196), 0x808080);
    EXPECT_EQ(grab.At(5, 200), clGreen);
}

// The pieces a greedy wrap makes of text in room pixels: at the last blank that fits, or before
// the character that overflows when there is none.
std::vector<std::string> ExpectedRows(const std::string& text, int room)
{
    TTextSample sample(10, 10);
    std::vector<std::string> rows;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = start + 1;
        while (end < text.size() && sample.Canvas()->TextWidth(text.substr(start, end + 1 - start)) <= room)
            ++end;
        if (end == text.size()) {
            rows.push_back(text.substr(start));
            break;
        }
        const std::size_t blank = text.rfind(' ', end);
        if (blank != std::string::npos && blank >= start) {
            rows.push_back(text.substr(start, blank - start));
            start = blank + 1;
        } else {
            rows.push_back(text.substr(start, end - start));
            start = end;
        }
    }
    return rows;
}

void ExpectRowsMatch(THintBoxFixture& f, const std::string& text, int boxWidth)
{
    const int room = boxWidth - 4 - 4 - 4;
    const std::vector<std::string> rows = ExpectedRows(text, room);
    ASSERT_GE(rows.size(), 2u);
    TGrab grab(f.Box);
    const int h = RowHeight();
    for (std::size_t n = 0; n < rows.size(); ++n) {
        TTextSample sample(boxWidth, h);
        sample.Canvas()->TextOut(4, 0, rows[n]);
        const TRect band = RowBand(static_cast<int>(n), boxWidth);
        EXPECT_EQ(grab.Ink(band, clWhite), sample.Ink(Rect(1, 0, boxWidth - 5, h))) << "row " << n << ": " << rows[n];
        EXPECT_LE(grab.LastInkColumn(band, clWhite), 4 + room);
    }
    EXPECT_EQ(grab.Ink(RowBand(static_cast<int>(rows.size()), boxWidth), clWhite), 0);
}

TEST(HintBoxPainting, LongLinesWrapAtBlanks)
{
    THintBoxFixture f;
    const std::string text = "Questo modulo consente di compilare e impostare l'invio di una mail contenente "
                             "il documento corrente in allegato.";
    f.SetLines({text});
    ExpectRowsMatch(f, text, 200);
}

TEST(HintBoxPainting, AWordLongerThanTheBoxWrapsWithoutLosingACharacter)
{
    THintBoxFixture f(100, 200);
    std::string word;
    for (int i = 0; i < 60; ++i)
        word += static_cast<char>('a' + i % 26);
    f.SetLines({word});
    ExpectRowsMatch(f, word, 100);
    f.Box->SetHTMLFormatting(false);
    ExpectRowsMatch(f, word, 100);
}

TEST(HintBoxPainting, RowsThatRunOutAreNotDrawnAndTinyBoxesDoNotHang)
{
    THintBoxFixture f(120, 40);
    f.SetLines({"uno due tre quattro cinque sei sette otto nove dieci", "undici"});
    TGrab grab(f.Box);
    // Two rows fit above the shadow; nothing is drawn below them.
    EXPECT_GT(grab.Ink(RowBand(0, 120), clWhite), 0);
    EXPECT_GT(grab.Ink(RowBand(1, 120), clWhite), 0);
    EXPECT_EQ(grab.Ink(Rect(1, 4 + 2 * RowHeight(), 115, 35), clWhite), 0);
    for (int width : {12, 10, 1}) {
        f.Box->SetBounds(0, 0, width, 60);
        f.SetLines({"abc def", "<b>x</b>yz"});
        EXPECT_TRUE(TGrab(f.Box).Valid());
    }
}

TEST(HintBoxPainting, WithoutTheBalloonTextLiesOnTheParentsColour)
{
    THintBoxFixture f;
    f.SetLines({"<b>Salva</b>"});
    f.Box->SetHintBox(false);
    PumpFor(10);
    TGrab grab(f.Box);
    EXPECT_EQ(grab.At(0, 0), clGreen);
    EXPECT_EQ(grab.At(197, 197), clGreen);
    EXPECT_GT(grab.Ink(Rect(0, 0, 200, RowHeight()), clGreen), 0);
}

// Unclosed and stray brackets, huge tags, bytes above 0x7F and control characters are text.
TEST(HintBoxBadInput, OddLinesAreDrawnAsText)
{
    THintBoxFixture f;
    const std::vector<std::string> lines = {
        "a > b <c", "<", ">", "<<b>>", "<b", "x</", "<" + std::string(1000, 'b') + ">fine",
        std::string("\x80\x9F\xA0\xE0\xFF<b>\xE8</b>"), std::string("\x01\x02<\x7F>\t\r", 8), "<center>", "</right>",
    };
    for (bool formatting : {true, false}) {
        f.Box->SetHTMLFormatting(formatting);
        f.SetLines(lines);
        TGrab grab(f.Box);
        EXPECT_GT(grab.Ink(RowBand(0), clWhite), 0) << formatting;
    }
    // An unrecognised tag shows with its brackets: more ink than the bare word.
    f.Box->SetHTMLFormatting(true);
    f.SetLines({"<x>parola</x>", "parola"});
    TGrab grab(f.Box);
    EXPECT_GT(grab.Ink(RowBand(0), clWhite), grab.Ink(RowBand(1), clWhite));
}

} // namespace
