#include "HtmlTestSupport.h"

#include <gtest/gtest.h>

namespace {

class BlockSectionsTest : public testing::Test {
protected:
    TFixedMetricsScope FMetrics;
    TTestDocument FDoc;
};

TEST_F(BlockSectionsTest, GapsAndRulesScaleWithTheBaseSize)
{
    const struct {
        int Base;
        int Paragraph;
        int Headings[8];
        int Rule;
    } cases[] = {
        {12, 14, {8, 16, 12, 10, 8, 6, 4, 8}, 20},
        {10, 12, {7, 13, 10, 8, 7, 5, 3, 7}, 17},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Base);
        TTestDocument doc;
        doc.Doc.SetFonts("Arial", "Courier New", c.Base, clBlack, clBlue, clPurple, clRed, clWhite, false);
        auto* paragraph = new TParagraphSpace(&doc.Doc);
        auto* rule = new THorzLine(&doc.Doc, doc.Attrs("<HR>"));
        doc.Doc.Add(paragraph);
        doc.Doc.Add(rule);
        EXPECT_EQ(paragraph->FlowHeight, c.Paragraph);
        EXPECT_EQ(rule->FlowHeight, c.Rule);
        for (int level = 0; level < 8; ++level) {
            auto* heading = new THeadingSpace(&doc.Doc, level);
            doc.Doc.Add(heading);
            EXPECT_EQ(heading->FlowHeight, c.Headings[level]) << "level " << level;
        }
    }
}

TEST_F(BlockSectionsTest, ANewBaseSizeReachesTheGapsThroughUpdateFonts)
{
    auto* paragraph = new TParagraphSpace(&FDoc.Doc);
    auto* rule = new THorzLine(&FDoc.Doc, FDoc.Attrs("<HR SIZE=8>"));
    FDoc.Doc.Add(paragraph);
    FDoc.Doc.Add(rule);
    EXPECT_EQ(rule->FlowHeight, 26);
    FDoc.Doc.SetFonts("Arial", "Courier New", 24, clBlack, clBlue, clPurple, clRed, clWhite, false);
    EXPECT_EQ(paragraph->FlowHeight, 28);
    EXPECT_EQ(rule->FlowHeight, 46);
}

TEST_F(BlockSectionsTest, RuleAttributes)
{
    const struct {
        const char* Tag;
        const char* Dump;
    } cases[] = {
        {"<HR>", "height=20 thickness=2 width=-1 percent=no align=2 color=none noshade=no"},
        {"<HR SIZE=0>", "thickness=2 "},
        {"<HR SIZE=21>", "thickness=2 "},
        {"<HR SIZE=-2147483648>", "thickness=2 "},
        {"<HR SIZE=8>", "height=26 thickness=8 "},
        {"<HR SIZE=20>", "height=38 thickness=20 "},
        {"<HR WIDTH=\"50%\">", "width=50 percent=yes"},
        {"<HR WIDTH=\"150%\">", "width=-1 percent=yes"},
        {"<HR WIDTH=300>", "width=300 percent=no"},
        {"<HR WIDTH=0>", "width=-1 percent=no"},
        {"<HR WIDTH=\"-5%\">", "width=-1 percent=no"},
        {"<HR WIDTH=2147483647>", "width=2147483647 percent=no"},
        {"<HR COLOR=red>", "color=000000FF"},
        {"<HR COLOR=\"#102030\">", "color=00302010"},
        {"<HR COLOR=nothing>", "color=none"},
        {"<HR ALIGN=left>", "align=1 "},
        {"<HR ALIGN=RIGHT>", "align=3 "},
        {"<HR ALIGN=left ALIGN=middle>", "align=1 "},
        {"<HR NOSHADE>", "noshade=yes"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Tag);
        TTestDocument doc;
        doc.Doc.Add(new THorzLine(&doc.Doc, doc.Attrs(c.Tag)));
        EXPECT_NE(DumpDocument(doc.Doc).find(c.Dump), std::string::npos) << DumpDocument(doc.Doc);
    }
}

TEST_F(BlockSectionsTest, CopyingASelectionGivesOneEmptyLineForEachGapAndRule)
{
    auto* paragraph = new TParagraphSpace(&FDoc.Doc);
    auto* heading = new THeadingSpace(&FDoc.Doc, 2);
    auto* rule = new THorzLine(&FDoc.Doc, nullptr);
    FDoc.Doc.Add(paragraph);
    FDoc.Doc.Add(heading);
    FDoc.Doc.Add(rule);
    SelTextCount count;
    FDoc.Doc.SelectionBuffer = &count;
    paragraph->CopyToClipboard();
    heading->CopyToClipboard();
    rule->CopyToClipboard();
    EXPECT_EQ(count.Terminate(), 6);
    char text[16] = {};
    SelTextBuf buffer(text, sizeof text);
    FDoc.Doc.SelectionBuffer = &buffer;
    rule->CopyToClipboard();
    heading->CopyToClipboard();
    EXPECT_EQ(buffer.Terminate(), 5);
    EXPECT_STREQ(text, "\r\n\r\n");
    FDoc.Doc.SelectionBuffer = nullptr;
    rule->CopyToClipboard();
}

TEST_F(BlockSectionsTest, PreformattedTextKeepsItsBlanksUpToTheCap)
{
    auto* pre = new TPreFormated(&FDoc.Doc, 0, &FDoc.BaseFont, nullptr, PaneUn2::Left);
    AddText(*pre, "  a  ", 0);
    AddText(*pre, " ", 5);
    AddText(*pre, "", 6);
    AddText(*pre, "b\x05", 6, true);
    FDoc.Doc.Add(pre);
    EXPECT_EQ(ShownChars(pre->Chars), "  a   b«5»");
    EXPECT_EQ(pre->FindSourcePos(7), 7);

    auto* capped = new TPreFormated(&FDoc.Doc, 0, &FDoc.BaseFont, nullptr, PaneUn2::Left);
    for (int i = 0; i < 300; ++i)
        AddText(*capped, std::string(100, static_cast<char>('a' + i % 26)), i * 100);
    FDoc.Doc.Add(capped);
    EXPECT_EQ(capped->CharCount, 20100);
    EXPECT_EQ(capped->Chars.size(), 20100u);
    EXPECT_EQ(capped->FindSourcePos(20099), 20099);
}

TEST_F(BlockSectionsTest, ListItems)
{
    for (int number = 3; number <= 5; ++number)
        FDoc.Doc.Add(new TOListItem(&FDoc.Doc, 1, number, 'i', &FDoc.BaseFont, nullptr));
    auto* bullet = new TUListItem(&FDoc.Doc, 2, &FDoc.BaseFont, nullptr);
    bullet->PlainItem = true;
    FDoc.Doc.Add(bullet);
    FDoc.Doc.Add(new TDListItem(&FDoc.Doc, 0, &FDoc.BaseFont, nullptr));
    PaneUn2::ListIndent = IndentManagerBasic::StrayItemIndent;
    FDoc.Doc.Add(new TUListItem(&FDoc.Doc, 1, &FDoc.BaseFont, nullptr));
    PaneUn2::ListIndent = 35;
    const std::string dump = DumpDocument(FDoc.Doc);
    const char* const expected[] = {
        "TOListItem level=1 indent=35 align=left clear=none number=3 style=i\n",
        "TOListItem level=1 indent=35 align=left clear=none number=4 style=i\n",
        "TOListItem level=1 indent=35 align=left clear=none number=5 style=i\n",
        "TUListItem level=2 indent=70 align=left clear=none plain=yes\n",
        "TDListItem level=0 indent=0 align=left clear=none plain=no\n",
        "TUListItem level=1 indent=15 align=left clear=none plain=no\n",
    };
    for (const char* line : expected)
        EXPECT_NE(dump.find(line), std::string::npos) << line << dump;
    EXPECT_EQ(static_cast<TSection*>(FDoc.Doc.Section(0))->ListKind, ListTypeType::Ordered);
    EXPECT_EQ(static_cast<TSection*>(FDoc.Doc.Section(3))->ListKind, ListTypeType::Unordered);
    EXPECT_EQ(static_cast<TSection*>(FDoc.Doc.Section(4))->ListKind, ListTypeType::Definition);
}

} // namespace
