#include "HtmlTestSupport.h"

#include <gtest/gtest.h>

namespace {

class ImageObjTest : public testing::Test {
protected:
    TFixedMetricsScope FMetrics;
    TTestDocument FDoc;

    std::unique_ptr<TImageObj> Image(const std::string& tag) { return std::make_unique<TImageObj>(3, FDoc.Attrs(tag)); }
};

TEST_F(ImageObjTest, Attributes)
{
    const struct {
        const char* Tag;
        const char* Dump;
    } cases[] = {
        {"<IMG>", "image at=0 src=\"\" alt=\"\" align=bottom width=0 height=0 hspace=0 vspace=0 borderoff=no ismap=no "
                  "usemap=no active=no transp=0 button=no"},
        {"<IMG SRC=\"pics/a.gif\" ALT='A picture' BORDER=0 ISMAP ACTIVE TRANSP>",
         "src=\"pics/a.gif\" alt=\"A picture\" align=bottom width=0 height=0 hspace=0 vspace=0 borderoff=yes "
         "ismap=yes usemap=no active=yes transp=1"},
        {"<IMG HEIGHT=0>", "height=1 "},
        {"<IMG HEIGHT=-2147483648>", "height=1 "},
        {"<IMG HSPACE=-60 VSPACE=-2147483648>", "hspace=40 vspace=40 "},
        {"<IMG HSPACE=7 VSPACE=3 ALIGN=left>", "align=left width=0 height=0 hspace=7 vspace=3 "},
        {"<IMG ALIGN=LEFT>", "align=left width=0 height=0 hspace=5 "},
        {"<IMG ALIGN=right HSPACE=0>", "align=right width=0 height=0 hspace=0 "},
        {"<IMG ALIGN=middle>", "align=middle width=0 height=0 hspace=0 "},
        {"<IMG ALIGN=absmiddle>", "align=middle "},
        {"<IMG ALIGN=top ALIGN=nonsense>", "align=top "},
        {"<IMG ALIGN=left ALIGN=top>", "align=top width=0 height=0 hspace=0 "},
        {"<IMG BORDER=2>", "borderoff=no "},
        {"<IMG WIDTH=\"50%\">", "width=50% "},
        {"<IMG WIDTH=\"0%\">", "width=0 "},
        {"<IMG WIDTH=\"101%\">", "width=0 "},
        {"<IMG WIDTH=120 HEIGHT=30>", "width=120 height=30 "},
        {"<IMG USEMAP=\"#map\">", "usemap=\"MAP\""},
        {"<IMG USEMAP=\"#\">", "usemap=\"#\""},
        {"<IMG USEMAP=\"  ##Two \">", "usemap=\"#TWO\""},
        {"<IMG USEMAP=plain>", "usemap=\"PLAIN\""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Tag);
        TTestDocument doc;
        TSection* section = doc.NewSection();
        section->AddImage(doc.Attrs(c.Tag), &doc.Doc, 0, false);
        doc.Doc.Add(section);
        EXPECT_NE(DumpDocument(doc.Doc).find(c.Dump), std::string::npos) << DumpDocument(doc.Doc);
    }
}

TEST_F(ImageObjTest, ExtremeNumbersStayInTheirRanges)
{
    for (const char* value : {"0", "-1", "2147483647", "-2147483648", "\"2147483647%\"", "\"-2147483648%\""}) {
        SCOPED_TRACE(value);
        const std::string v = value;
        auto image = Image("<IMG WIDTH=" + v + " HEIGHT=" + v + " HSPACE=" + v + " VSPACE=" + v + " BORDER=" + v + ">");
        EXPECT_GE(image->GivenHeight, 1);
        EXPECT_GE(image->HorzSpace, 0);
        EXPECT_LE(image->HorzSpace, MaxImageSpace);
        EXPECT_GE(image->VertSpace, 0);
        EXPECT_LE(image->VertSpace, MaxImageSpace);
        EXPECT_FALSE(image->WidthIsPercent);
    }
}

TEST_F(ImageObjTest, LongTextsAreKeptWhole)
{
    const std::string longName(10000, 'n');
    auto image = Image("<IMG SRC=\"" + longName + "\" ALT=\"" + longName + "\" USEMAP=\"#" + longName + "\">");
    EXPECT_EQ(image->SourceName, longName);
    EXPECT_EQ(image->AltText, longName);
    EXPECT_EQ(image->ClientMapName, std::string(10000, 'N'));
}

TEST_F(ImageObjTest, ListLookUps)
{
    TImageObjList list;
    const auto add = [&list, this](int position, const std::string& tag, int width, int height) {
        auto* image = new TImageObj(position, FDoc.Attrs(tag));
        image->BoxWidth = width;
        image->BoxHeight = height;
        list.Add(image);
    };
    AlignmentType align = PaneUn2::ATop;
    int hspace = -1;
    EXPECT_EQ(list.GetImageCountAt(0), NoObjectAhead);
    EXPECT_EQ(list.GetHeightAt(0, align), -1);
    add(2, "<IMG ALIGN=left>", 30, 40);
    add(6, "<IMG HSPACE=3>", 10, 20);
    EXPECT_EQ(list.FindImage(6), list.Image(1));
    EXPECT_EQ(list.FindImage(5), nullptr);
    EXPECT_EQ(list.GetHeightAt(2, align), 40);
    EXPECT_EQ(align, PaneUn2::ALeft);
    EXPECT_EQ(list.GetWidthAt(6, align, hspace), 10);
    EXPECT_EQ(align, PaneUn2::ABottom);
    EXPECT_EQ(hspace, 3);
    EXPECT_EQ(list.GetWidthAt(7, align, hspace), -1);
    EXPECT_EQ(list.GetImageCountAt(0), 2);
    EXPECT_EQ(list.GetImageCountAt(2), 0);
    EXPECT_EQ(list.GetImageCountAt(3), 3);
    EXPECT_EQ(list.GetImageCountAt(7), NoObjectAhead);
}

} // namespace
