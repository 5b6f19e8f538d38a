// Text metrics, measuring, DrawText layout and turned fonts.

#include "platform/gui/Bitmap.h"
#include "platform/gui/FontEngine.h"
#include "platform/gui/Metafile.h"
#include "platform/gui/Regions.h"
#include "platform/gui/TextOutput.h"
#include "platform/gui/private/MetafileRecording.h"
#include "platform/rtl/Codepage.h"
#include "platform/rtl/TextUtils.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <random>

namespace {

struct TTextFixture : testing::Test {
    TBitmap Bitmap;
    HDC Dc = nullptr;
    HFONT Font = nullptr;
    void SetUp() override
    {
        Bitmap.SetSize(200, 100);
        Dc = Bitmap.Canvas()->Handle();
    }
    void TearDown() override
    {
        SelectObject(Dc, GetStockObject(SYSTEM_FONT));
        if (Font)
            DeleteObject(Font);
    }
    void Use(const char* face, int height, int escapement = 0)
    {
        SelectObject(Dc, GetStockObject(SYSTEM_FONT));
        if (Font)
            DeleteObject(Font);
        Font = CreateFontA(height, 0, escapement, escapement, FW_NORMAL, 0, 0, 0, ANSI_CHARSET, 0, 0, 0, 0, face);
        SelectObject(Dc, Font);
    }
    int Width(const std::string& text)
    {
        SIZE size;
        GetTextExtentPoint32A(Dc, text, -1, &size);
        return size.cx;
    }
    TEXTMETRICA Metrics()
    {
        TEXTMETRICA tm;
        GetTextMetricsA(Dc, &tm);
        return tm;
    }
};

TEST_F(TTextFixture, MetricsOfTheSubstitutedFonts)
{
    const struct {
        const char* Face;
        int Height;
        bool Variable;
    } fonts[] = {{"Arial", -11, true}, {"Arial", -13, true}, {"Courier New", -13, false}};
    for (const auto& f : fonts) {
        Use(f.Face, f.Height);
        const TEXTMETRICA tm = Metrics();
        EXPECT_EQ(tm.tmHeight, tm.tmAscent + tm.tmDescent) << f.Face;
        EXPECT_EQ(tm.tmInternalLeading, tm.tmHeight + f.Height) << f.Face;
        EXPECT_GE(tm.tmInternalLeading, 0);
        EXPECT_EQ((tm.tmPitchAndFamily & 1) != 0, f.Variable) << f.Face;
        char face[64];
        GetTextFaceA(Dc, sizeof(face), face);
        EXPECT_STREQ(face, f.Face);
    }
    Use("Arial", -13);
    const int arial = Width("Fattura n. 12");
    Use("Liberation Sans", -13);
    EXPECT_EQ(Width("Fattura n. 12"), arial);
    Use("aRIAL", -13);
    EXPECT_EQ(Width("Fattura n. 12"), arial);
}

TEST_F(TTextFixture, WidthsAddUpAndFitExactly)
{
    Use("Arial", -13);
    std::mt19937 random(7);
    for (int round = 0; round < 50; ++round) {
        std::string a, b;
        for (int i = 0; i < 1 + int(random() % 12); ++i)
            a.push_back(static_cast<char>(32 + random() % 224));
        for (int i = 0; i < 1 + int(random() % 12); ++i)
            b.push_back(static_cast<char>(32 + random() % 224));
        EXPECT_EQ(Width(a + b), Width(a) + Width(b));
        const std::string text = a + b;
        const int k = 1 + static_cast<int>(random() % text.size());
        int fit = -1;
        std::vector<int> partial(text.size());
        GetTextExtentExPointA(Dc, text, -1, Width(text.substr(0, k)), &fit, partial.data(), nullptr);
        EXPECT_EQ(fit, k) << text;
        EXPECT_EQ(partial.back(), Width(text));
        SetTextCharacterExtra(Dc, 2);
        const int extra = Width(text);
        SetTextCharacterExtra(Dc, 0);
        EXPECT_EQ(extra, Width(text) + 2 * static_cast<int>(text.size()));
    }
}

TEST_F(TTextFixture, CharacterPlacementSpreadsOverBlanks)
{
    Use("Arial", -13);
    const std::string text = "Totale da pagare ora";
    GCP_RESULTSA results;
    const int natural = Width(text);
    GetCharacterPlacementA(Dc, text, -1, natural + 7, &results, GCP_JUSTIFY | GCP_MAXEXTENT);
    int sum = 0;
    for (int dx : results.lpDx)
        sum += dx;
    EXPECT_EQ(sum, natural + 7);
    int widths[256];
    GetCharWidthA(Dc, 0, 255, widths);
    std::vector<int> added;
    for (std::size_t i = 0; i < text.size(); ++i)
        if (text[i] == ' ')
            added.push_back(results.lpDx[i] - widths[' ']);
        else
            EXPECT_EQ(results.lpDx[i], widths[static_cast<unsigned char>(text[i])]);
    EXPECT_EQ(added, (std::vector<int>{3, 2, 2}));
    GetCharacterPlacementA(Dc, text, -1, natural + 7, &results, 0);
    EXPECT_EQ(results.lpDx[6], widths[' ']);
}

TEST_F(TTextFixture, DrawTextWrapsAtBlanks)
{
    Use("Arial", -13);
    const int tmHeight = Metrics().tmHeight;
    const int width = std::max(Width("uno due"), Width("tre quattro"));
    ASSERT_GT(Width("uno due tre"), width);
    RECT r{10, 10, 10 + width, 10};
    EXPECT_EQ(DrawTextA(Dc, "uno due tre quattro", -1, &r, DT_CALCRECT | DT_WORDBREAK), 2 * tmHeight);
    EXPECT_EQ(r.Bottom, 10 + 2 * tmHeight);
    EXPECT_EQ(r.Right, 10 + width);

    RECT narrow{0, 0, 5, 0};
    EXPECT_EQ(DrawTextA(Dc, "precipitevolissimevolmente", -1, &narrow, DT_CALCRECT | DT_WORDBREAK), tmHeight);
    EXPECT_EQ(narrow.Right, Width("precipitevolissimevolmente"));

    RECT prefix{0, 0, 100, 0};
    DrawTextA(Dc, "&Salva", -1, &prefix, DT_CALCRECT);
    EXPECT_EQ(prefix.Right, Width("Salva"));
    DrawTextA(Dc, "&Salva", -1, &prefix, DT_CALCRECT | DT_NOPREFIX);
    EXPECT_EQ(prefix.Right, Width("&Salva"));
    DrawTextA(Dc, "A && B", -1, &prefix, DT_CALCRECT);
    EXPECT_EQ(prefix.Right, Width("A & B"));
}

TEST_F(TTextFixture, PrefixUnderlinesTheNextCharacter)
{
    Use("Arial", -13);
    TCanvas* canvas = Bitmap.Canvas();
    canvas->Brush()->SetColor(clWhite);
    canvas->FillRect(Rect(0, 0, 200, 100));
    SetBkMode(Dc, TRANSPARENT);
    RECT r{0, 0, 200, 40};
    DrawTextA(Dc, "&Salva", -1, &r, DT_LEFT);
    const int line = Metrics().tmAscent + 1;
    const int s = Width("S");
    for (int x = 0; x < s; ++x)
        EXPECT_EQ(canvas->Pixels(x, line), clBlack) << x;
    EXPECT_EQ(canvas->Pixels(s + 1, line), clWhite);
}

// Text positions as a recording canvas sees them.
std::vector<const TEmrRecord*> TextRecords(TMetafile& metafile)
{
    std::vector<const TEmrRecord*> texts;
    for (const TEmrRecord& record : metafile.Records())
        if (record.Type == EMR_EXTTEXTOUTW)
            texts.push_back(&record);
    return texts;
}

TEST(DrawTextLayout, CentredAndEllipsisedLines)
{
    TMetafile metafile;
    int tmHeight = 0, width = 0;
    {
        TMetafileCanvas canvas(&metafile, nullptr);
        canvas.Font()->SetName("Arial");
        canvas.Font()->SetHeight(-13);
        tmHeight = canvas.TextHeight("X");
        width = canvas.TextWidth("Totale");
        RECT r{10, 10, 210, 60};
        DrawTextA(canvas.Handle(), "Totale", -1, &r, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
        RECT cut{0, 0, canvas.TextWidth("Totale docu"), 20};
        DrawTextA(canvas.Handle(), "Totale documento", -1, &cut, DT_END_ELLIPSIS | DT_SINGLELINE);
        RECT right{0, 0, 100, 20};
        DrawTextA(canvas.Handle(), "Totale", -1, &right, DT_RIGHT | DT_BOTTOM | DT_SINGLELINE);
    }
    auto texts = TextRecords(metafile);
    ASSERT_EQ(texts.size(), 3u);
    EXPECT_EQ(texts[0]->Values[0], 10 + (200 - width) / 2);
    EXPECT_EQ(texts[0]->Values[1], 10 + (50 - tmHeight) / 2);
    const std::u16string cut = texts[1]->Text;
    ASSERT_GE(cut.size(), 3u);
    EXPECT_EQ(cut.substr(cut.size() - 3), u"...");
    EXPECT_EQ(texts[2]->Values[0], 100 - width);
    EXPECT_EQ(texts[2]->Values[1], 20 - tmHeight);
}

// Each case: the text, the format, the part whose width (plus "...") is the rectangle's width, and
// the text drawn.
TEST(DrawTextLayout, EllipsisKindsCutWhereWindowsCuts)
{
    struct TCase {
        const char* Text;
        UINT Format;
        const char* FitsWithDots;
        const char* Drawn;
    };
    const TCase cases[] = {
        {"Totale documento", DT_END_ELLIPSIS, "Totale doc", "Totale doc..."},
        {"Totale documento fattura", DT_WORD_ELLIPSIS, "Totale documento fa", "Totale documento..."},
        {"Imponibilecomplessivo", DT_WORD_ELLIPSIS, "Imponibile", "Imponibile..."},
        {"C:\\Documenti\\Fatture\\fattura.pdf", DT_PATH_ELLIPSIS, "C:\\Docu\\fattura.pdf", "C:\\Docu...\\fattura.pdf"},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Text);
        TMetafile metafile;
        {
            TMetafileCanvas canvas(&metafile, nullptr);
            canvas.Font()->SetName("Arial");
            canvas.Font()->SetHeight(-13);
            RECT r{0, 0, canvas.TextWidth(std::string(c.FitsWithDots) + "..."), 20};
            DrawTextA(canvas.Handle(), c.Text, -1, &r, c.Format | DT_SINGLELINE);
        }
        auto texts = TextRecords(metafile);
        ASSERT_EQ(texts.size(), 1u);
        EXPECT_EQ(texts[0]->Text, AnsiToUtf16(c.Drawn));
    }
}

TEST_F(TTextFixture, TurnedTextGoesUpward)
{
    TCanvas* canvas = Bitmap.Canvas();
    canvas->Brush()->SetColor(clWhite);
    canvas->FillRect(Rect(0, 0, 200, 100));
    Use("Arial", -20, 900);
    SetBkMode(Dc, TRANSPARENT);
    const int tmHeight = Metrics().tmHeight;
    TextOutA(Dc, 50, 80, "AB");
    int dark = 0;
    for (int y = 0; y < 100; ++y)
        for (int x = 0; x < 200; ++x)
            if ((canvas->Pixels(x, y) & 0xFF) < 0x80) {
                ++dark;
                EXPECT_LT(x, 50 + tmHeight);
                EXPECT_GE(x, 50 - 1);
                EXPECT_LE(y, 80);
            }
    EXPECT_GT(dark, 10);
}

// Glyphs are drawn only where the clip lets them through; what shows is the same as without the
// clip, also for a line far wider than the bitmap and for turned text.
TEST_F(TTextFixture, ClippedTextShowsWhatTheWholeLineShows)
{
    const std::string line = "Fattura " + std::string(5000, 'W');
    for (int escapement : {0, 900}) {
        Bitmap.Canvas()->Brush()->SetColor(clWhite);
        Bitmap.Canvas()->FillRect({0, 0, 200, 100});
        TBitmap whole;
        whole.SetSize(200, 100);
        whole.Canvas()->Brush()->SetColor(clWhite);
        whole.Canvas()->FillRect({0, 0, 200, 100});
        Use("Arial", -40, escapement);
        SelectObject(whole.Canvas()->Handle(), Font);
        SetBkMode(whole.Canvas()->Handle(), TRANSPARENT);
        TextOutA(whole.Canvas()->Handle(), 20, escapement ? 90 : 10, line);
        SelectObject(whole.Canvas()->Handle(), GetStockObject(SYSTEM_FONT));

        SetBkMode(Dc, TRANSPARENT);
        IntersectClipRect(Dc, 30, 20, 90, 70);
        TextOutA(Dc, 20, escapement ? 90 : 10, line);
        SelectClipRgn(Dc, nullptr);
        int differences = 0, inked = 0;
        for (int y = 0; y < 100; ++y)
            for (int x = 0; x < 200; ++x) {
                const bool inside = x >= 30 && x < 90 && y >= 20 && y < 70;
                const TColor expected = inside ? whole.Canvas()->Pixels(x, y) : clWhite;
                differences += Bitmap.Canvas()->Pixels(x, y) != expected ? 1 : 0;
                inked += inside && expected != clWhite ? 1 : 0;
            }
        EXPECT_EQ(differences, 0) << escapement;
        EXPECT_GT(inked, 100) << escapement;
    }
}

TEST(FontList, ScreenFontsHoldTheWindowsNamesOnce)
{
    const std::vector<std::string> fonts = ScreenFonts();
    for (const char* name : {"Arial", "Courier New", "Times New Roman", "Liberation Sans"})
        EXPECT_EQ(std::count(fonts.begin(), fonts.end(), std::string(name)), 1) << name;
    EXPECT_TRUE(std::is_sorted(fonts.begin(), fonts.end(),
                               [](const std::string& a, const std::string& b) { return CompareText(a, b) < 0; }));
    EXPECT_GT(LOWORD(static_cast<std::uintptr_t>(FontDialogBaseUnits())), 0);
}

} // namespace
