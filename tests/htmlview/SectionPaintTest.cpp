#include "HtmlTestSupport.h"
#include "platform/gui/Form.h"
#include "platform/gui/Grab.h"
#include "tests/TestFixtures.h"
#include "tests/TickSource.h"
#include "tests/htmlview/GifTestSupport.h"
#include "htmlview/panegif1.h"
#include "platform/gui/Timer.h"
#include "platform/gui/WindowFunctions.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

namespace {

// A document built in code whose painting surface is the host, so that its form controls have a
// window to stand on.
struct THostedDocument {
    explicit THostedDocument(TWinControl* Surface) : Doc(&Viewer, Surface)
    {
        Doc.SetFonts("Arial", "Courier New", 12, clBlack, clBlue, clPurple, clRed, clWhite, false);
        Doc.CurrentParser = &Parser;
        Font.SetName(Doc.BaseFontName);
        Font.SetNormalSize(&Doc, 12);
    }
    ~THostedDocument() { Doc.Clear(); }
    // A new section with Text, not yet added.
    TSection* NewSection(const std::string& Text)
    {
        auto* section = new TSection(&Doc, 0, &Font, nullptr, PaneUn2::Left);
        AddText(*section, Text, 0);
        return section;
    }

    TFakeViewer Viewer;
    ThlParser Parser;
    TSectionList Doc;
    TMyFont Font;
};

// Documents painted with the real fonts into the host control on a shown form, and read back.
class SectionPaintTest : public testing::Test {
protected:
    SectionPaintTest()
    {
        FForm->SetBounds(0, 0, 520, 640);
        FHost->SetParent(FForm);
        FHost->SetBounds(0, 0, 400, 600);
    }
    ~SectionPaintTest() override { delete FForm; }

    // Shows Doc (laid out at the host's width) and grabs what was painted.
    TBitmap& Paint(TSectionList& Doc)
    {
        FHost->Show(&Doc);
        Repaint();
        return *FPicture;
    }
    TBitmap& Repaint()
    {
        FForm->Show();
        FHost->Invalidate();
        Application->ProcessMessages();
        FPicture = std::make_unique<TBitmap>();
        EXPECT_TRUE(GrabToBitmap(FHost, FPicture.get()));
        return *FPicture;
    }
    TColor At(int X, int Y) { return static_cast<TColor>(FPicture->Canvas()->Pixels(X, Y) & 0xFFFFFF); }
    // Pixels of Color in the rectangle.
    int Count(const TRect& Area, TColor Color)
    {
        int n = 0;
        for (int y = Area.Top; y < Area.Bottom; ++y)
            for (int x = Area.Left; x < Area.Right; ++x)
                n += At(x, y) == Color ? 1 : 0;
        return n;
    }
    // The window rectangle of characters From..To-1 of a one-line section.
    TRect Box(TSectionList& Doc, TSection& Section, int From, int To)
    {
        int x1 = 0, x2 = 0, y = 0;
        EXPECT_TRUE(Section.CursorToXY(FHost->Canvas(), Section.FirstPos + From, x1, y));
        if (To < Section.CharCount)
            EXPECT_TRUE(Section.CursorToXY(FHost->Canvas(), Section.FirstPos + To, x2, y));
        else
            x2 = x1 + Section.FindTextWidth(FHost->Canvas(), From, To - From, false);
        const LineRec& line = *Section.Line(0);
        const int top = line.DrawY - Doc.ScrollTop;
        return Rect(x1, top, x2, top + line.TextHeight);
    }
    static TSection* TextSection(TSectionList& Doc, int Index) { return dynamic_cast<TSection*>(Doc.Section(Index)); }

    TForm* FForm = new TForm(nullptr);
    TDocumentHost* FHost = new TDocumentHost(FForm);
    std::unique_ptr<TBitmap> FPicture = std::make_unique<TBitmap>();
};

TEST_F(SectionPaintTest, TheCustomerCardKeepsInsideItsWidthWithBlueUnderlinedLinks)
{
    auto page = ParseHtmlHere(CustomerCard(5));
    TBitmap& picture = Paint(page->Doc);
    ASSERT_GT(page->Doc.Links->Count(), 0);
    auto* link = static_cast<TFontObj*>(static_cast<TObject*>(page->Doc.Links->Items(0)));
    TSection& section = *link->OwnerSection;
    const TRect box = Box(page->Doc, section, link->StartPos, link->StartPos + 4);
    EXPECT_GT(Count(Rect(box.Left, box.Top, box.Right, box.Bottom + 2), clBlue), 20) << "Apri in pure blue";
    int underline = 0;
    for (int y = box.Top; y < box.Bottom + 2; ++y)
        underline = std::max(underline, Count(Rect(box.Left, y, box.Right, y + 1), clBlue));
    EXPECT_GE(underline, box.Right - box.Left - 2) << "an underline as wide as the word";
    EXPECT_EQ(InkIn(picture, Rect(400 - FHost->Margin, 0, 400, 600), clWhite), 0);
    EXPECT_GT(InkIn(picture, Rect(0, 0, 400 - FHost->Margin, 600), clWhite), 500);
}

TEST_F(SectionPaintTest, SelectionIsInverseVideoAndTheEmptyCaretIsABar)
{
    auto page = ParseHtmlHere("hello&nbsp;&nbsp;&nbsp;world");
    TSection& section = *TextSection(page->Doc, 0);
    page->Doc.SelStart = 0;
    page->Doc.SelEnd = 5;
    Paint(page->Doc);
    const TRect word = Box(page->Doc, section, 0, 5);
    const int area = (word.Right - word.Left) * (word.Bottom - word.Top);
    EXPECT_GT(Count(word, clBlack), area / 2) << "the font colour is the background";
    EXPECT_GT(Count(word, clWhite), area / 20) << "the text in the background colour";
    const TRect other = Box(page->Doc, section, 8, 13);
    EXPECT_LT(Count(other, clBlack), area / 3);

    page->Doc.SelStart = page->Doc.SelEnd = 6;
    page->Doc.DrawEmptyCaret = true;
    Repaint();
    const TRect caret = Box(page->Doc, section, 6, 7);
    EXPECT_GE(Count(Rect(caret.Left, caret.Top, caret.Left + 1, caret.Bottom), clBlack),
              caret.Bottom - caret.Top - 2);
    EXPECT_EQ(Count(Rect(caret.Left + 2, caret.Top, caret.Right, caret.Bottom), clBlack), 0) << "a blank";
}

TEST_F(SectionPaintTest, BulletsByLevelAndBackground)
{
    const std::string lists = "<UL><LI>uno<UL><LI>due<UL><LI>tre</UL></UL></UL>";
    struct TCase {
        std::string Body;
        TColor Background;
        std::vector<TColor> Centres;
    };
    const TCase cases[] = {
        {"<BODY BGCOLOR=white>", clWhite, {clRed, clNavy, clMaroon}},
        {"<BODY BGCOLOR=black TEXT=white>", clBlack, {clBlack, clBlack, clBlack}},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Body);
        auto page = ParseHtmlHere(c.Body + lists);
        Paint(page->Doc);
        std::vector<TColor> centres;
        int rings = 0;
        for (int i = 0; i < page->Doc.Count(); ++i) {
            TSection* item = TextSection(page->Doc, i);
            if (item == nullptr || item->ListKind != ListTypeType::Unordered || item->CharCount == 0)
                continue;
            const LineRec& line = *item->Line(0);
            const int b = item->LeftEdge + FHost->Margin;
            const int centre = line.DrawY + line.TextHeight - line.TextHeight / 2;
            centres.push_back(At(b - 8, centre));
            rings += Count(Rect(b - 10, centre - 2, b - 5, centre + 3), clWhite);
        }
        EXPECT_EQ(centres, c.Centres);
        if (c.Background == clBlack) {
            EXPECT_GT(rings, 6) << "hollow rings in the text colour";
        }
    }
}

TEST_F(SectionPaintTest, SubscriptsSitLowerAndSuperscriptsHigher)
{
    auto page = ParseHtmlHere("H<SUB>2</SUB>O x<SUP>3</SUP>");
    Paint(page->Doc);
    TSection& section = *TextSection(page->Doc, 0);
    // The lowest and highest row with ink in the columns of characters From..To-1.
    auto inkRows = [&](int From, int To, int& Top, int& Bottom) {
        const TRect box = Box(page->Doc, section, From, To);
        Top = 10000;
        Bottom = -1;
        for (int y = box.Top - 10; y < box.Bottom + 10; ++y)
            if (InkIn(*FPicture, Rect(box.Left, y, box.Right, y + 1), clWhite) > 0) {
                Top = std::min(Top, y);
                Bottom = std::max(Bottom, y);
            }
    };
    int hTop = 0, hBottom = 0, subTop = 0, subBottom = 0, supTop = 0, supBottom = 0;
    inkRows(0, 1, hTop, hBottom);
    inkRows(1, 2, subTop, subBottom);
    inkRows(5, 6, supTop, supBottom);
    EXPECT_GT(subBottom, hBottom) << "the subscript goes below the baseline";
    EXPECT_LT(supBottom, hBottom - 2) << "the superscript stands above it";
    EXPECT_LT(supTop, hTop + 3);
}

TEST_F(SectionPaintTest, FormControlsStandWhereTheirLineIsPaintedAndGoWhenScrolledAway)
{
    THostedDocument hosted(FHost);
    TSectionList& doc = hosted.Doc;
    TSection* section = hosted.NewSection("Nome: ");
    auto attributes = TagAttributes("<INPUT TYPE=text NAME=nome>");
    TFormControlObj* field = section->AddFormControl(Symb::InputSy, &doc, attributes.get(), &doc, 6, false);
    doc.Add(section);
    Paint(doc);
    ASSERT_NE(field->WinControl, nullptr);
    const LineRec& line = *section->Line(0);
    EXPECT_TRUE(field->WinControl->Visible());
    EXPECT_EQ(field->WinControl->Left(), line.DrawX + section->FindTextWidth(FHost->Canvas(), 0, 6, false));
    EXPECT_EQ(field->WinControl->Top() + field->WinControl->Height(), line.DrawY + line.TextHeight);

    doc.SetYOffset(5000);
    Repaint();
    EXPECT_FALSE(field->WinControl->Visible());
}

TEST_F(SectionPaintTest, HoverPaintsALinkInTheHoverColour)
{
    auto page = ParseHtmlHere("<A HREF=\"x.htm\">collegamento</A>");
    page->Doc.HoverLinksOn = true;
    page->Doc.HoverLinkColor = clRed;
    page->Doc.PaintSurface = FHost;
    Paint(page->Doc);
    TSection& section = *TextSection(page->Doc, 0);
    const TRect word = Box(page->Doc, section, 0, 12);
    ASSERT_GT(Count(word, clBlue), 20);
    TUrlTarget* link = nullptr;
    TImageFormControlObj* control = nullptr;
    ASSERT_TRUE(page->Doc.GetURL(FHost->Canvas(), word.Left + 3, word.Top + 3, link, control));
    delete link;
    Repaint();
    EXPECT_GT(Count(word, clRed), 20);
    EXPECT_EQ(Count(word, clBlue), 0);
    page->Doc.CancelActives();
    Repaint();
    EXPECT_EQ(Count(word, clRed), 0);
    EXPECT_GT(Count(word, clBlue), 20);
}

TEST_F(SectionPaintTest, ALookAtAPage)
{
    auto page = ParseHtmlHere(
        "<BODY BGCOLOR=white><H2>Scheda cliente</H2>"
        "<IMG SRC=nothing.gif ALIGN=left WIDTH=60 HEIGHT=60>Un paragrafo con un'immagine a sinistra e del "
        "testo che le scorre accanto su diverse righe, fino a passarle sotto quando la riga finisce.<P>"
        "<IMG SRC=other.gif ALIGN=right WIDTH=50 HEIGHT=40 ALT=\"Logo\">Testo con un'immagine a destra, "
        "H<SUB>2</SUB>O e x<SUP>2</SUP>, e un <A HREF=\"doc.htm\">collegamento</A> sottolineato."
        "<BR CLEAR=all><UL><LI>Primo<UL><LI>Secondo<UL><LI>Terzo</UL></UL><LI>Quarto</UL>"
        "<OL TYPE=A><LI>Alfa<LI>Beta</OL><OL TYPE=i><LI>uno<LI>due</OL>"
        "<FORM>Nome: <INPUT TYPE=text NAME=n> <INPUT TYPE=checkbox NAME=c> Privato "
        "<INPUT TYPE=submit VALUE=Invia></FORM>");
    page->Doc.PaintSurface = FHost;
    FHost->SetBounds(0, 0, 500, 600);
    Paint(page->Doc);
    const char* folder = std::getenv("TESS_SCREENSHOT_DIR");
    const std::string dir = folder != nullptr && *folder != '\0' ? folder : std::string(TestBinaryDir());
    std::filesystem::create_directories(dir);
    EXPECT_TRUE(GrabToPng(FHost, dir + "/h07-page.png"));
    EXPECT_GT(InkIn(*FPicture, Rect(0, 0, 500, 600), clWhite), 2000);
    page->Doc.Clear();
}

} // namespace

namespace {

// The parser thread measures the text and is gone by the time the page is painted.
TEST_F(SectionPaintTest, APageParsedOnTheParserThreadPaints)
{
    auto page = ParseHtml("<B>Fattura</B> n. 12 del 01/02/2024");
    Paint(page->Doc);
    EXPECT_GT(InkIn(*FPicture, Rect(0, 0, 400, 40), clWhite), 100);
}

} // namespace

namespace {

TEST_F(SectionPaintTest, AnAnimatedGifStepsOneFrameAndRepaintsOnlyItself)
{
    PaneUn2::HtmlViewStartup();
    std::uint32_t now = 100000;
    TTickSourceScope ticks([&now] { return now; });
    TTestGif picture{20, 20, {0x000000, 0x0000FF, 0x00FF00, 0xFF0000}, {}, 0};
    for (int i = 0; i < 3; ++i)
        picture.Frames.push_back({0, 0, 20, 20, std::vector<std::uint8_t>(400, static_cast<std::uint8_t>(i + 1)), 1,
                                  10, -1, false, true});
    TMemoryStream data;
    StreamOf(data, MakeGif(picture));

    THostedDocument hosted(FHost);
    TSectionList& doc = hosted.Doc;
    doc.ImagesOn = true;
    doc.ImageRequest = [&data](TObject*, const std::string&, TMemoryStream*& stream) { stream = &data; };
    TSection* section = hosted.NewSection("ab ");
    auto attributes = TagAttributes("<IMG SRC=anim.gif>");
    TImageObj* image = section->AddImage(attributes.get(), &doc, 3, false);
    AddText(*section, " cd", 4);
    doc.Add(section);
    Paint(doc);

    ASSERT_NE(doc.AnimationTimer, nullptr);
    EXPECT_TRUE(doc.AnimationTimer->Enabled());
    EXPECT_EQ(doc.AnimationTimer->Interval(), 50u);
    auto* gif = dynamic_cast<TGIFImage*>(image->Picture.get());
    ASSERT_NE(gif, nullptr);
    EXPECT_EQ(gif->FCurrentFrame, 1);
    EXPECT_TRUE(gif->FShowIt);

    now += 1000;
    const int paints = FHost->Paints;
    doc.CheckGIFList(doc.AnimationTimer);
    EXPECT_EQ(gif->FCurrentFrame, 2);
    TRect invalid;
    ASSERT_TRUE(GetUpdateRect(FHost->Handle(), &invalid, FALSE));
    EXPECT_EQ(invalid, gif->FDrawRect) << "only the picture is painted again";
    Application->ProcessMessages();
    EXPECT_EQ(FHost->Paints, paints + 1);
    EXPECT_EQ(gif->FDrawRect.Right - gif->FDrawRect.Left, 20);

    // A section that fails to paint must not stop the animation for good.
    struct TFailingSection : TSectionBase {
        using TSectionBase::TSectionBase;
        int Draw(TCanvas*, const TRect&, IndentManager*, int, int) override { throw Exception("paint failed"); }
    };
    doc.Add(new TFailingSection(&doc));
    auto canvas = NewFilledBitmap(400, 600, clWhite);
    EXPECT_THROW(doc.Draw(canvas->Canvas(), Rect(0, 0, 400, 600), 400, 0, 0), Exception);
    EXPECT_TRUE(doc.AnimationTimer->Enabled());
}

} // namespace
