// The rich document: formats read over ranges with their consistency masks, the two position
// conventions, replacement keeping the replaced text's format, and plain text in and out.

#include "platform/gui/private/RichDocument.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <random>

namespace {

CHARFORMAT2A CharFormatOf(const TRichDocument& document, int from, int to)
{
    CHARFORMAT2A format;
    const CHARRANGE range{from, to};
    EXPECT_TRUE(document.GetCharFormat(&range, format, sizeof format));
    return format;
}

PARAFORMAT2 ParaFormatOf(const TRichDocument& document, int from, int to)
{
    PARAFORMAT2 format;
    EXPECT_TRUE(document.GetParaFormat({from, to}, format, sizeof format));
    return format;
}

void SetChar(TRichDocument& document, int from, int to, DWORD mask, const std::function<void(CHARFORMAT2A&)>& fill)
{
    CHARFORMAT2A format;
    format.dwMask = mask;
    fill(format);
    const CHARRANGE range{from, to};
    ASSERT_TRUE(document.SetCharFormat(&range, format));
}

void SetPara(TRichDocument& document, int from, int to, DWORD mask, const std::function<void(PARAFORMAT2&)>& fill)
{
    PARAFORMAT2 format;
    format.dwMask = mask;
    fill(format);
    ASSERT_TRUE(document.SetParaFormat({from, to}, format));
}

} // namespace

TEST(RichDocument, FormatsReadBackWithTheirConsistencyMasks)
{
    struct TCase {
        const char* Name;
        std::function<void(TRichDocument&)> Change;
        std::function<void(const TRichDocument&)> Check;
    };
    const TCase cases[] = {
        {"bold over part of a range",
         [](TRichDocument& d) { SetChar(d, 2, 5, CFM_BOLD, [](CHARFORMAT2A& f) { f.dwEffects = CFE_BOLD; }); },
         [](const TRichDocument& d) {
             EXPECT_EQ(CharFormatOf(d, 0, 5).dwMask & CFM_BOLD, 0u);
             const CHARFORMAT2A bold = CharFormatOf(d, 2, 5);
             EXPECT_NE(bold.dwMask & CFM_BOLD, 0u);
             EXPECT_NE(bold.dwEffects & CFE_BOLD, 0u);
             EXPECT_NE(CharFormatOf(d, 0, 5).dwMask & CFM_ITALIC, 0u);
         }},
        {"size in twips",
         [](TRichDocument& d) { SetChar(d, 0, 3, CFM_SIZE, [](CHARFORMAT2A& f) { f.yHeight = 240; }); },
         [](const TRichDocument& d) {
             EXPECT_EQ(CharFormatOf(d, 0, 3).yHeight, 240);
             EXPECT_EQ(CharFormatOf(d, 0, 5).dwMask & CFM_SIZE, 0u);
             EXPECT_EQ(CharFormatOf(d, 4, 5).yHeight, 200);
         }},
        {"automatic colour after a red one",
         [](TRichDocument& d) {
             SetChar(d, 0, 5, CFM_COLOR, [](CHARFORMAT2A& f) { f.crTextColor = RGB(255, 0, 0); });
             SetChar(d, 0, 5, CFM_COLOR, [](CHARFORMAT2A& f) { f.dwEffects = CFE_AUTOCOLOR; });
         },
         [](const TRichDocument& d) {
             const CHARFORMAT2A f = CharFormatOf(d, 0, 5);
             EXPECT_NE(f.dwMask & CFM_COLOR, 0u);
             EXPECT_NE(f.dwEffects & CFE_AUTOCOLOR, 0u);
         }},
        {"attributes Qt's formats do not hold",
         [](TRichDocument& d) {
             SetChar(d, 1, 4, CFM_UNDERLINETYPE | CFM_OFFSET | CFM_PROTECTED | CFM_HIDDEN | CFM_REVAUTHOR,
                     [](CHARFORMAT2A& f) {
                         f.bUnderlineType = 3; // utDouble's ordinal
                         f.yOffset = 40;
                         f.dwEffects = CFE_PROTECTED | CFE_HIDDEN;
                         f.bRevAuthor = 3;
                     });
         },
         [](const TRichDocument& d) {
             const CHARFORMAT2A f = CharFormatOf(d, 1, 4);
             EXPECT_EQ(f.bUnderlineType, 3);
             EXPECT_NE(f.dwEffects & CFE_UNDERLINE, 0u);
             EXPECT_EQ(f.yOffset, 40);
             EXPECT_EQ(f.dwEffects & (CFE_PROTECTED | CFE_HIDDEN), CFE_PROTECTED | CFE_HIDDEN);
             EXPECT_EQ(f.bRevAuthor, 3);
             const DWORD all = CFM_UNDERLINETYPE | CFM_OFFSET | CFM_PROTECTED | CFM_HIDDEN | CFM_REVAUTHOR;
             EXPECT_EQ(f.dwMask & all, all);
             EXPECT_EQ(CharFormatOf(d, 0, 4).dwMask & all, 0u);
         }},
        {"a 60-byte record carries the old attributes only",
         [](TRichDocument& d) { SetChar(d, 0, 5, CFM_HIDDEN, [](CHARFORMAT2A& f) { f.dwEffects = CFE_HIDDEN; }); },
         [](const TRichDocument& d) {
             unsigned char bytes[sizeof(CHARFORMAT2A)];
             std::memset(bytes, 0xAB, sizeof bytes);
             auto& record = *reinterpret_cast<CHARFORMAT2A*>(bytes);
             const CHARRANGE range{0, 5};
             ASSERT_TRUE(d.GetCharFormat(&range, record, sizeof(CHARFORMATA)));
             EXPECT_EQ(record.cbSize, sizeof(CHARFORMATA));
             EXPECT_EQ(record.dwMask & ~CFM_ALL, 0u);
             EXPECT_EQ(bytes[sizeof(CHARFORMATA)], 0xAB); // nothing written past the smaller record
             EXPECT_FALSE(d.GetCharFormat(&range, record, 1000));
         }},
        {"paragraph attributes",
         [](TRichDocument& d) {
             SetPara(d, 0, 0,
                     PFM_ALIGNMENT | PFM_NUMBERING | PFM_STARTINDENT | PFM_OFFSET | PFM_RIGHTINDENT | PFM_LINESPACING |
                         PFM_TABSTOPS,
                     [](PARAFORMAT2& f) {
                         f.wAlignment = PFA_CENTER;
                         f.wNumbering = PFN_BULLET;
                         f.dxStartIndent = 360;
                         f.dxOffset = 200;
                         f.dxRightIndent = 100;
                         f.bLineSpacingRule = 4;
                         f.dyLineSpacing = 300;
                         f.cTabCount = 3;
                         f.rgxTabs[0] = 720;
                         f.rgxTabs[1] = 1440;
                         f.rgxTabs[2] = 2880;
                     });
         },
         [](const TRichDocument& d) {
             const PARAFORMAT2 f = ParaFormatOf(d, 1, 1);
             EXPECT_EQ(f.wAlignment, PFA_CENTER);
             EXPECT_EQ(f.wNumbering, PFN_BULLET);
             EXPECT_EQ(f.dxStartIndent, 360);
             EXPECT_EQ(f.dxOffset, 200);
             EXPECT_EQ(f.dxRightIndent, 100);
             EXPECT_EQ(f.bLineSpacingRule, 4);
             EXPECT_EQ(f.dyLineSpacing, 300);
             ASSERT_EQ(f.cTabCount, 3);
             EXPECT_EQ(f.rgxTabs[2], 2880);
             // Over both paragraphs only what they share stays in the mask.
             const PARAFORMAT2 both = ParaFormatOf(d, 0, 8);
             EXPECT_EQ(both.dwMask & PFM_ALIGNMENT, 0u);
             EXPECT_EQ(both.dwMask & PFM_TABSTOPS, 0u);
             EXPECT_NE(both.dwMask & PFM_SPACEBEFORE, 0u);
         }},
        {"relative start indent and hostile tab counts",
         [](TRichDocument& d) {
             SetPara(d, 0, 0, PFM_STARTINDENT, [](PARAFORMAT2& f) { f.dxStartIndent = 500; });
             SetPara(d, 0, 0, PFM_OFFSETINDENT, [](PARAFORMAT2& f) { f.dxStartIndent = -200; });
             SetPara(d, 0, 0, PFM_TABSTOPS, [](PARAFORMAT2& f) {
                 f.cTabCount = 1000;
                 for (int i = 0; i < MAX_TAB_STOPS; ++i)
                     f.rgxTabs[i] = (i + 1) * 100;
             });
         },
         [](const TRichDocument& d) {
             const PARAFORMAT2 f = ParaFormatOf(d, 0, 0);
             EXPECT_EQ(f.dxStartIndent, 300);
             EXPECT_EQ(f.cTabCount, MAX_TAB_STOPS);
             PARAFORMAT2 bad;
             bad.dwMask = PFM_ALIGNMENT;
             bad.wAlignment = 9;
             TRichDocument copy;
             EXPECT_FALSE(copy.SetParaFormat({0, 0}, bad));
         }},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        TRichDocument document;
        document.Replace(0, 0, "abcde\rfgh");
        c.Change(document);
        c.Check(document);
    }
}

TEST(RichDocument, PositionsFollowEitherConvention)
{
    for (const TBreakCount breaks : {TBreakCount::CrLf, TBreakCount::Cr}) {
        const bool crlf = breaks == TBreakCount::CrLf;
        TRichDocument document(breaks);
        document.Replace(0, 0, "ab\r\ncd");
        EXPECT_EQ(document.TextLength(), crlf ? 6 : 5);
        EXPECT_EQ(document.ParagraphStart(1), crlf ? 4 : 3);
        EXPECT_EQ(document.ParagraphOf(crlf ? 4 : 3), 1);
        EXPECT_EQ(document.TextRange(0, -1), crlf ? "ab\r\ncd" : "ab\rcd");
        EXPECT_EQ(document.TextRange(crlf ? 4 : 3, crlf ? 5 : 4), "c");
        EXPECT_EQ(document.TextRange(5, 1), crlf ? "b\r\nc" : "b\rcd");
        // Between CR and LF is the break itself.
        if (crlf) {
            EXPECT_EQ(document.ToQt(3), 2);
        }
    }
}

TEST(RichDocument, PositionMappingIsExactOverAThousandParagraphs)
{
    std::mt19937 random(1234);
    std::string text;
    std::vector<int> lengths;
    for (int i = 0; i < 1000; ++i) {
        const int length = static_cast<int>(random() % 40);
        lengths.push_back(length);
        text += std::string(static_cast<std::size_t>(length), static_cast<char>('a' + i % 26));
        if (i < 999)
            text += "\r\n";
    }
    TRichDocument document(TBreakCount::CrLf);
    document.Replace(0, 0, text);
    ASSERT_EQ(document.ParagraphCount(), 1000);
    // Each paragraph's first position in both counts, from the lengths alone.
    std::vector<int> windowsStart, qtStart;
    int windows = 0, qt = 0;
    for (int length : lengths) {
        windowsStart.push_back(windows);
        qtStart.push_back(qt);
        windows += length + 2;
        qt += length + 1;
    }
    for (int i = 0; i < 10000; ++i) {
        const std::size_t paragraph = random() % lengths.size();
        const int offset = static_cast<int>(random() % (lengths[paragraph] + 1));
        ASSERT_EQ(document.ToQt(windowsStart[paragraph] + offset), qtStart[paragraph] + offset);
        ASSERT_EQ(document.FromQt(qtStart[paragraph] + offset), windowsStart[paragraph] + offset);
    }
    EXPECT_EQ(document.TextLength(), windows - 2);
}

TEST(RichDocument, ReplacementTakesTheFormatOfTheReplacedText)
{
    TRichDocument document;
    document.Replace(0, 0, "Gentile [Nome],\rsaluti");
    SetChar(document, 8, 14, CFM_BOLD, [](CHARFORMAT2A& f) { f.dwEffects = CFE_BOLD; });
    document.Replace(8, 14, "Rossi");
    EXPECT_EQ(document.Text(), "Gentile Rossi,\rsaluti");
    const CHARFORMAT2A rossi = CharFormatOf(document, 8, 13);
    EXPECT_NE(rossi.dwMask & CFM_BOLD, 0u);
    EXPECT_NE(rossi.dwEffects & CFE_BOLD, 0u);
    EXPECT_EQ(CharFormatOf(document, 13, 14).dwEffects & CFE_BOLD, 0u);
    // Nothing replaced: the character before; at a paragraph's start the one after.
    document.Replace(13, 13, "!");
    EXPECT_NE(CharFormatOf(document, 13, 14).dwEffects & CFE_BOLD, 0u);
    SetChar(document, 16, 22, CFM_ITALIC, [](CHARFORMAT2A& f) { f.dwEffects = CFE_ITALIC; });
    document.Replace(16, 16, "Cari ");
    EXPECT_NE(CharFormatOf(document, 16, 21).dwEffects & CFE_ITALIC, 0u);
}

TEST(RichDocument, PlainTextInAndOut)
{
    struct TCase {
        std::string Bytes;
        bool Unicode;
        int Paragraphs;
    };
    auto utf16 = [](const std::string& ascii) {
        std::string bytes("\xFF\xFE", 2);
        for (char c : ascii)
            bytes += std::string{c, '\0'};
        return bytes;
    };
    const TCase cases[] = {
        {"a\r\nb", false, 2}, {"a\nb", false, 2}, {"a\rb", false, 2}, {"a\rb\r", false, 3},
        {utf16("a\r\nb"), true, 2}, {utf16("a\nb"), true, 2},
    };
    for (const TCase& c : cases) {
        for (const TBreakCount breaks : {TBreakCount::CrLf, TBreakCount::Cr}) {
            TRichDocument document(breaks);
            ASSERT_TRUE(document.LoadText(c.Bytes, c.Unicode, nullptr));
            EXPECT_EQ(document.ParagraphCount(), c.Paragraphs);
            EXPECT_EQ(document.SaveText(nullptr, false), c.Paragraphs == 3 ? "a\r\nb\r\n" : "a\r\nb");
        }
    }
    TRichDocument document;
    // è, a space and a letter Windows-1252 lacks (U+0100).
    document.LoadText(std::string("\xE8\0 \0\0\x01", 6), true, nullptr);
    EXPECT_EQ(document.Text(), "\xE8 ?");
    document.LoadText("x\vy", false, nullptr);
    EXPECT_EQ(document.ParagraphCount(), 1);
    EXPECT_EQ(document.SaveText(nullptr, true), std::string("x\0\v\0y\0", 6));
    const CHARRANGE selection{1, 2};
    ASSERT_TRUE(document.LoadText("\xE9", false, &selection));
    EXPECT_EQ(document.Text(), "x\xE9y");
    document.SetTextLimit(4);
    document.LoadText("123456", false, nullptr);
    EXPECT_EQ(document.Text(), "1234");
}
