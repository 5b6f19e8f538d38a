#include "HtmlTestSupport.h"

#include <gtest/gtest.h>

#include <memory>

namespace {

// Documents laid out with the fixed metrics and painted once at X 10, so that the hit tests know
// where the lines went.
class SectionHitTest : public testing::Test {
protected:
    static constexpr int Left = 10;

    void LayOutAndPaint(TSectionList& Doc, int Width)
    {
        int position = 0, maxWidth = 0;
        Doc.DoLogic(FCanvas->Canvas(), 0, Width, maxWidth, position, 0, 0);
        Doc.Draw(FCanvas->Canvas(), Rect(0, 0, 400, 300), 6000, Left, 0);
    }
    TSection* Text(const std::string& Text, int Level = 0)
    {
        TSection* section = FDoc.NewSection(Level);
        AddText(*section, Text, 0);
        FDoc.Doc.Add(section);
        return section;
    }
    std::string Selected(TSectionList& Doc, int Start, int End)
    {
        Doc.SelStart = Start;
        Doc.SelEnd = End;
        const int length = Doc.GetSelLength();
        std::string text(static_cast<std::size_t>(length) + 1, '#');
        const int written = Doc.GetSelTextBuf(text.data(), length + 1);
        EXPECT_EQ(written, length + 1);
        text.resize(static_cast<std::size_t>(length));
        return text;
    }
    // The link under a point, "" when none; the caller's copy is freed here.
    static std::string UrlAt(TSectionList& Doc, TCanvas* Canvas, int X, int Y, std::string* Target = nullptr)
    {
        TUrlTarget* link = nullptr;
        TImageFormControlObj* control = nullptr;
        if (!Doc.GetURL(Canvas, X, Y, link, control) || link == nullptr)
            return "";
        std::unique_ptr<TUrlTarget> owned(link);
        if (Target != nullptr)
            *Target = owned->Target;
        return owned->Url;
    }

    TFixedMetricsScope FMetrics;
    TTestDocument FDoc;
    std::unique_ptr<TBitmap> FCanvas = NewFilledBitmap(400, 300, clWhite);
};

TEST_F(SectionHitTest, EveryCharacterRoundTripsThroughItsPoint)
{
    TSection* section = Text("aaa bbb ccc ddd eee");
    LayOutAndPaint(FDoc.Doc, 56);
    ASSERT_EQ(section->LineList->Count(), 3);
    for (int pos = 0; pos < section->CharCount; ++pos) {
        SCOPED_TRACE(pos);
        int x = 0, y = 0;
        ASSERT_TRUE(FDoc.Doc.CursorToXY(FCanvas->Canvas(), pos, x, y));
        int caretX = -1, caretY = -1, caretHeight = -1;
        TCell* cell = nullptr;
        bool inText = false;
        EXPECT_EQ(FDoc.Doc.FindCursor(FCanvas->Canvas(), x + 1, y + 1, caretX, caretY, caretHeight, cell, inText),
                  pos);
        EXPECT_EQ(caretX, x);
        EXPECT_EQ(caretY, y);
        EXPECT_EQ(caretHeight, 13);
        EXPECT_EQ(cell, &FDoc.Doc);
    }
    int x = 0, y = 0;
    EXPECT_FALSE(FDoc.Doc.CursorToXY(FCanvas->Canvas(), section->CharCount, x, y)) << "the end has no line";
    EXPECT_FALSE(FDoc.Doc.CursorToXY(FCanvas->Canvas(), 500, x, y));
    EXPECT_FALSE(FDoc.Doc.CursorToXY(FCanvas->Canvas(), -3, x, y));

    // Left of the line: not in the text, at the line's first character.
    int caretX = -7, caretY = 0, caretHeight = 0;
    TCell* cell = nullptr;
    bool inText = true;
    EXPECT_EQ(FDoc.Doc.FindCursor(FCanvas->Canvas(), Left - 4, 14, caretX, caretY, caretHeight, cell, inText), 8);
    EXPECT_FALSE(inText);
    EXPECT_EQ(caretX, -7);
    // Past the end of a line: its end, not in the text.
    inText = true;
    EXPECT_EQ(FDoc.Doc.FindCursor(FCanvas->Canvas(), Left + 300, 30, caretX, caretY, caretHeight, cell, inText), 19);
    EXPECT_FALSE(inText);
    EXPECT_EQ(FDoc.Doc.FindCursor(FCanvas->Canvas(), Left, 39, caretX, caretY, caretHeight, cell, inText), -1)
        << "below the document";

    char ch = 0;
    TObject* owner = nullptr;
    EXPECT_TRUE(FDoc.Doc.GetChAtPos(4, ch, owner));
    EXPECT_EQ(ch, 'b');
    EXPECT_EQ(owner, section);
    EXPECT_FALSE(FDoc.Doc.GetChAtPos(19, ch, owner));
    EXPECT_FALSE(FDoc.Doc.GetChAtPos(-1, ch, owner));
}

TEST_F(SectionHitTest, LinksUnderThePoint)
{
    auto page = ParseHtmlHere("<A HREF=\"card.htm\" TARGET=\"_top\">Apri</A> scheda");
    LayOutAndPaint(page->Doc, 300);
    std::string target;
    EXPECT_EQ(UrlAt(page->Doc, FCanvas->Canvas(), Left + 3, 5, &target), "card.htm");
    EXPECT_EQ(target, "_top");
    EXPECT_EQ(UrlAt(page->Doc, FCanvas->Canvas(), Left + 4 * 7 + 10, 5), "") << "plain text after the link";
    EXPECT_EQ(UrlAt(page->Doc, FCanvas->Canvas(), Left - 3, 5), "") << "left of the line";
}

TEST_F(SectionHitTest, ImageMapsAndImageButtons)
{
    auto page = ParseHtmlHere("<MAP NAME=m><AREA SHAPE=rect COORDS=\"0,0,20,20\" HREF=\"area.htm\"></MAP>"
                              "<IMG SRC=a.gif USEMAP=#m WIDTH=40 HEIGHT=40 BORDER=0>"
                              "<A HREF=\"map.cgi\"><IMG SRC=b.gif ISMAP WIDTH=40 HEIGHT=40 BORDER=0></A>"
                              "<FORM><INPUT TYPE=image SRC=c.gif WIDTH=40 HEIGHT=40></FORM>");
    LayOutAndPaint(page->Doc, 390);
    TCanvas* canvas = FCanvas->Canvas();
    TImageObj* client = nullptr;
    TImageObj* server = nullptr;
    TImageObj* button = nullptr;
    for (int i = 0; i < page->Doc.Count(); ++i)
        if (auto* section = dynamic_cast<TSection*>(page->Doc.Section(i)))
            for (int k = 0; k < section->ImageObjs->Count(); ++k) {
                TImageObj* image = section->ImageObjs->Image(k);
                (image->ClientMap ? client : image->ServerMap ? server : button) = image;
            }
    ASSERT_TRUE(client != nullptr && server != nullptr && button != nullptr);

    EXPECT_EQ(UrlAt(page->Doc, canvas, client->PaintX + 5, client->PaintY + 5), "area.htm");
    EXPECT_EQ(UrlAt(page->Doc, canvas, client->PaintX + 30, client->PaintY + 30), "") << "outside every area";
    EXPECT_EQ(UrlAt(page->Doc, canvas, server->PaintX + 5, server->PaintY + 6), "map.cgi?5,6");

    TUrlTarget* link = nullptr;
    TImageFormControlObj* control = nullptr;
    EXPECT_TRUE(page->Doc.GetURL(canvas, button->PaintX + 7, button->PaintY + 8, link, control));
    EXPECT_EQ(link, nullptr);
    ASSERT_EQ(control, button->InputControl);
    EXPECT_EQ(control->HoverX, 7);
    EXPECT_EQ(control->HoverY, 8);
    EXPECT_EQ(page->Doc.HoverImage, button);
}

TEST_F(SectionHitTest, AnImageHangingBelowItsSectionStillAnswers)
{
    auto page = ParseHtmlHere("<A HREF=\"pic.htm\"><IMG SRC=a.gif ALIGN=left WIDTH=40 HEIGHT=100 BORDER=0></A>a"
                              "<P>b");
    LayOutAndPaint(page->Doc, 300);
    const TSectionBase* first = page->Doc.Section(0);
    ASSERT_LT(first->FlowHeight, 30);
    ASSERT_GE(first->PaintHeight, 100);
    EXPECT_EQ(UrlAt(page->Doc, FCanvas->Canvas(), Left + 5, first->FlowHeight + 5), "pic.htm");
}

TEST_F(SectionHitTest, LinksDeepInALongDocumentAndBelowATallPicture)
{
    std::string html = "<A HREF=\"pic.htm\"><IMG SRC=a.gif ALIGN=left WIDTH=40 HEIGHT=2000 BORDER=0></A>";
    for (int k = 0; k < 400; ++k)
        html += "<P><A HREF=\"" + std::to_string(k) + ".htm\">Voce " + std::to_string(k) + "</A>";
    auto page = ParseHtmlHere(html);
    LayOutAndPaint(page->Doc, 300);
    TCanvas* canvas = FCanvas->Canvas();
    // Hit tests answer for painted lines, so the whole document is painted once.
    page->Doc.Draw(canvas, Rect(0, 0, 400, 1000000), 6000, Left, 0);
    const auto checkEveryLink = [&](const char* when) {
        SCOPED_TRACE(when);
        int found = 0;
        for (int i = 0; i < page->Doc.Count(); ++i) {
            const auto* section = dynamic_cast<const TSection*>(page->Doc.Section(i));
            if (section == nullptr || section->LineList->Count() == 0 || section->FontRuns->Count() == 0)
                continue;
            const std::string url = section->FontRuns->Run(0)->GetURL();
            if (url == "pic.htm" || i % 37 != 0)
                continue;
            const LineRec* line = section->Line(0);
            const int y = section->TopY + line->AboveText + line->TextHeight / 2;
            EXPECT_EQ(UrlAt(page->Doc, canvas, Left + line->LineX + 3, y), url) << i;
            ++found;
        }
        EXPECT_GE(found, 10);
        EXPECT_EQ(UrlAt(page->Doc, canvas, Left + 5, 1900), "pic.htm") << "the picture reaches over many bands";
    };
    checkEveryLink("after the layout");
    page->Doc.UpdateFonts();
    checkEveryLink("after a font update, before the next layout");
}

TEST_F(SectionHitTest, Search)
{
    TSection* section = Text("xhELLOy " + std::string(255, 'a') + "b");
    LayOutAndPaint(FDoc.Doc, 300);
    struct TCase {
        std::string Wanted;
        bool MatchCase;
        int From;
        int Expected;
    };
    const TCase cases[] = {
        {"Hello", false, 0, 1},
        {"Hello", true, 0, -1},
        {"hELLO", true, 0, 1},
        {"ELLO", false, 2, 2},
        {"Hello", false, 2, -1},
        {"yb", false, 0, -1},
        {std::string(255, 'a') + std::string(45, 'x'), false, 0, 8},
        {std::string(256, 'a'), true, 0, -1},
        {"a", false, section->CharCount, -1},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Wanted.substr(0, 10));
        EXPECT_EQ(FDoc.Doc.FindString(c.From, c.Wanted.c_str(), c.MatchCase), c.Expected);
    }
}

TEST_F(SectionHitTest, CopyingTheSelection)
{
    Text("aaa bbb ccc");
    FDoc.Doc.Add(new TParagraphSpace(&FDoc.Doc));
    Text("item", 2);
    LayOutAndPaint(FDoc.Doc, 56);
    EXPECT_EQ(Selected(FDoc.Doc, 2, 9), "a bbb \r\nc") << "the tail of a line, a line break, no indent";
    EXPECT_EQ(Selected(FDoc.Doc, 0, 15), "aaa bbb \r\nccc\r\n\r\n      item\r\n") << "a gap, a list item";
    EXPECT_EQ(Selected(FDoc.Doc, 11, 13), "      it") << "from the start of an item: its indent";
    EXPECT_EQ(Selected(FDoc.Doc, 12, 14), "te");

    FDoc.Doc.SelStart = FDoc.Doc.SelEnd = 4;
    EXPECT_EQ(FDoc.Doc.GetSelLength(), 0);
    char buffer[2] = {'#', '#'};
    EXPECT_EQ(FDoc.Doc.GetSelTextBuf(buffer, 0), 0);
    EXPECT_EQ(buffer[0], '#') << "nothing written";
    EXPECT_EQ(FDoc.Doc.GetSelTextBuf(buffer, 1), 1);
    EXPECT_EQ(buffer[0], '\0');
    EXPECT_EQ(buffer[1], '#');
    FDoc.Doc.SelStart = 9;
    FDoc.Doc.SelEnd = 2;
    EXPECT_EQ(FDoc.Doc.GetSelLength(), 0) << "a selection with its start after its end is empty";
}

} // namespace
