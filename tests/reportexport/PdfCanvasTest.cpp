#include "PdfTestSupport.h"

#include <cmath>
#include <limits>

using namespace PdfTestSupport;

namespace {

// A document with one page whose content is read back after each step.
class PdfCanvasPage : public ::testing::Test {
protected:
    void SetUp() override
    {
        Doc.NewDocument();
        Doc.AddPage();
        Canvas().Contents()->Stream().Clear(); // drop the font selection of the new page
    }
    TPdfCanvas& Canvas() { return Doc.Canvas(); }
    std::string Content() { return PageContent(Doc); }

    TPdfDoc Doc;
};

TEST_F(PdfCanvasPage, ANewPageStartsWithArialAtTen)
{
    Doc.AddPage();
    EXPECT_EQ(Content(), "/F0 10 Tf\n");
    TPdfCanvasAttribute& state = Canvas().Attribute();
    EXPECT_EQ(state.Font()->Name(), "Arial");
    EXPECT_EQ(state.FontSize(), 10);
    EXPECT_EQ(state.CharSpace(), 0);
    EXPECT_EQ(state.WordSpace(), 0);
    EXPECT_EQ(state.HorizontalScaling(), 100);
    EXPECT_EQ(state.Leading(), 0);
}

TEST_F(PdfCanvasPage, TextWidthUsesTheStandardWidthsAndSpacing)
{
    EXPECT_NEAR(Canvas().TextWidth("Ab"), 12.23, 1e-4);
    EXPECT_EQ(FormatReal(Canvas().TextWidth("Ab")), "12.23");
    EXPECT_FLOAT_EQ(Canvas().TextWidth(""), 0);

    // CharSpace counts between characters only: once for two characters.
    Canvas().SetCharSpace(1);
    EXPECT_NEAR(Canvas().TextWidth("Ab"), 13.23, 1e-4);
    EXPECT_NEAR(Canvas().TextWidth(""), -1, 1e-6);
    Canvas().SetCharSpace(0);

    // WordSpace on inner blanks only.
    Canvas().SetWordSpace(3);
    EXPECT_NEAR(Canvas().TextWidth("a b"), 5.56 + 2.78 + 3 + 5.56, 1e-4);
    EXPECT_NEAR(Canvas().TextWidth("ab "), 5.56 + 5.56 + 2.78, 1e-4);
    Canvas().SetWordSpace(0);

    // A character without width gets no spacing.
    Canvas().SetCharSpace(2);
    EXPECT_NEAR(Canvas().TextWidth("A\tb"), 6.67 + 2 + 0 + 5.56, 1e-4);
    Canvas().SetCharSpace(0);

    Canvas().Attribute().SetHorizontalScaling(50);
    EXPECT_NEAR(Canvas().TextWidth("Ab"), 12.23 / 2, 1e-4);
    Canvas().Attribute().SetHorizontalScaling(100);

    Canvas().SetFont("Times-Roman", 20);
    EXPECT_NEAR(Canvas().TextWidth("\xE9" "1 "), (444 + 500 + 250) * 20 / 1000.0, 1e-4);
    EXPECT_EQ(Content(), "1 Tc\n0 Tc\n3 Tw\n0 Tw\n2 Tc\n0 Tc\n/F1 20 Tf\n");
}

TEST_F(PdfCanvasPage, MeasureTextCountsTheCharactersThatFit)
{
    // "Ab" is 12.23 wide at Arial 10; "A" alone 6.67.
    EXPECT_EQ(Canvas().MeasureText("Ab", 12.23f), 2);
    EXPECT_EQ(Canvas().MeasureText("Ab", 12.2f), 1);
    EXPECT_EQ(Canvas().MeasureText("Ab", 6), 0);
    EXPECT_EQ(Canvas().MeasureText("", 0), 0);
}

TEST_F(PdfCanvasPage, NextWordEndsAtABlankACrLfOrTheEnd)
{
    const std::string text = "one two\r\nthree\rfour\nfive";
    const char* words[] = {"one ", "two\r\n", "three\rfour\nfive"};
    int index = 1;
    for (const char* word : words)
        EXPECT_EQ(Canvas().NextWord(text, index), word);
    EXPECT_EQ(index, static_cast<int>(text.size()) + 1);
    EXPECT_EQ(Canvas().NextWord(text, index), "");
    EXPECT_EQ(index, static_cast<int>(text.size()) + 1);
}

TEST_F(PdfCanvasPage, SetterRangesAndTexts)
{
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const struct {
        std::function<void(TPdfCanvasAttribute&, float)> Set;
        float Low, High;
        std::string Message;
    } setters[] = {
        {[](TPdfCanvasAttribute& a, float v) { a.SetWordSpace(v); }, 0, 1e6f,
         "SetWordSpace --invalid word space"},
        {[](TPdfCanvasAttribute& a, float v) { a.SetCharSpace(v); }, -30, 300,
         "SetCharSpace --invalid char space"},
        {[](TPdfCanvasAttribute& a, float v) { a.SetFontSize(v); }, 0, 300,
         "SetCharSpace --invalid font size"},
        {[](TPdfCanvasAttribute& a, float v) { a.SetLeading(v); }, 0, 300,
         "SetLeading --invalid font size"},
        {[](TPdfCanvasAttribute& a, float v) { a.SetHorizontalScaling(static_cast<int>(v)); }, 10,
         300, "SetHorizontalScaling --invalid font size"},
    };
    TPdfCanvasAttribute attribute;
    for (const auto& setter : setters) {
        setter.Set(attribute, setter.Low);
        setter.Set(attribute, setter.High);
        std::vector<float> refused = {setter.Low - 1, nan};
        if (setter.High < 1e6f)
            refused.push_back(setter.High + 1);
        for (float value : refused) {
            if (std::isnan(value) && setter.Low == 10)
                continue; // the scaling is an integer
            try {
                setter.Set(attribute, value);
                ADD_FAILURE() << setter.Message << " accepted " << value;
            } catch (const EPdfInvalidValue& e) {
                EXPECT_EQ(e.Message, setter.Message);
            }
        }
    }
    // Refused values leave the last accepted ones.
    EXPECT_EQ(attribute.FontSize(), 300);
    EXPECT_EQ(attribute.CharSpace(), 300);
}

TEST_F(PdfCanvasPage, RefusedValuesChangeNeitherStateNorContent)
{
    Canvas().SetFont("Arial-Bold", 12);
    Canvas().Contents()->Stream().Clear();
    TPdfCanvasAttribute& state = Canvas().Attribute();
    TPdfFont* font = state.Font();

    EXPECT_THROW(Canvas().SetFont("Times-Roman", 301), EPdfInvalidValue);
    EXPECT_THROW(Canvas().SetFont("Arial", std::nanf("")), EPdfInvalidValue);
    EXPECT_THROW(Canvas().SetFont("Verdana", 10), EClassNotFound);
    EXPECT_THROW(Canvas().SetCharSpace(-31), EPdfInvalidValue);
    EXPECT_THROW(Canvas().SetWordSpace(-1), EPdfInvalidValue);
    EXPECT_THROW(Canvas().SetLeading(301), EPdfInvalidValue);
    try {
        Canvas().DrawXObject(0, 0, 1, 1, "Missing");
        ADD_FAILURE() << "an external object that does not exist";
    } catch (const EPdfInvalidValue& e) {
        EXPECT_EQ(e.Message, "DrawXObject --XObject not found: Missing");
    }
    try {
        Canvas().DrawXObjectEx(0, 0, 1, 1, 0, 0, 1, 1, "Missing");
        ADD_FAILURE() << "an external object that does not exist";
    } catch (const EPdfInvalidValue& e) {
        EXPECT_EQ(e.Message, "DrawXObjectEx --XObject not found: Missing");
    }
    EXPECT_EQ(Content(), "");
    EXPECT_EQ(state.Font(), font);
    EXPECT_EQ(state.FontSize(), 12);
    EXPECT_EQ(state.CharSpace(), 0);
    EXPECT_EQ(WrittenValue(*Canvas().Page().DictionaryOf("Resources")->DictionaryOf("Font")),
              "<<\r\n/F0 6 0 R\r\n/F1 7 0 R\r\n>>");
    Canvas().SetFont("Arial-Bold", 0); // zero is a valid size
    EXPECT_EQ(Content(), "/F1 0 Tf\n");
}

TEST_F(PdfCanvasPage, Operators)
{
    TPdfCanvas& c = Canvas();
    const struct {
        std::function<void()> Call;
        std::string Line;
    } cases[] = {
        {[&] { c.SaveState(); }, "q\n"},
        {[&] { c.RestoreState(); }, "Q\n"},
        {[&] { c.ConcatMatrix(1, 0, 0, 1.5f, -2.25f, 0.333f); }, "1 0 0 1.5 -2.24 0.33 cm\n"},
        {[&] { c.SetDash({16, 8}, 0); }, "[16 8 ] 0 d\n"},
        {[&] { c.SetDash({}, 0); }, "[] 0 d\n"},
        {[&] { c.SetDash({0, 3}, 2); }, "[] 2 d\n"},
        {[&] { c.SetLineWidth(0.5f); }, "0.5 w\n"},
        {[&] { c.MoveTo(10, 20); }, "10 20 m\n"},
        {[&] { c.LineTo(30.125f, 40); }, "30.13 40 l\n"},
        {[&] { c.Rectangle(1, 2, 3, 4); }, "1 2 3 4 re\n"},
        {[&] { c.ClosePath(); }, "h\n"},
        {[&] { c.NewPath(); }, "n\n"},
        {[&] { c.Stroke(); }, "S\n"},
        {[&] { c.ClosePathStroke(); }, "s\n"},
        {[&] { c.Fill(); }, "f\n"},
        {[&] { c.ClosePathFillStroke(); }, "b\n"},
        {[&] { c.Clip(); }, "W\n"},
        {[&] { c.BeginText(); }, "BT\n"},
        {[&] { c.EndText(); }, "ET\n"},
        {[&] { c.MoveTextPosition(5, 6); }, "5 6 Td\n"},
        {[&] { c.MoveToNextLine(); }, "T*\n"},
        {[&] { c.SetFontAndSize("/F3", 9.5f); }, "/F3 9.5 Tf\n"},
        {[&] { c.ShowText("a(b)\x80"); }, "(a\\(b\\)\x80) Tj\n"},
        {[&] { c.PaintXObject("Im 1"); }, "/Im#201 Do\n"},
        {[&] { c.SetRGBFillColor(0xFFFFFF); }, "1 1 1 rg\n"},
        {[&] { c.SetRGBFillColor(0x0000FF); }, "1 0 0 rg\n"},
        {[&] { c.SetRGBStrokeColor(0x808080); }, "0.5 0.5 0.5 RG\n"},
        {[&] { c.SetRGBStrokeColor(0xFF0000); }, "0 0 1 RG\n"},
        {[&] { c.SetRGBStrokeColor(-5); }, "0 0 0 RG\n"},
        {[&] { c.SetLeading(14); }, "14 TL\n"},
        {[&] { c.SetLeading(14); }, ""},
    };
    for (const auto& operation : cases) {
        c.Contents()->Stream().Clear();
        operation.Call();
        EXPECT_EQ(Content(), operation.Line);
    }
}

TEST_F(PdfCanvasPage, PageSize)
{
    Canvas().SetPageWidth(300);
    Canvas().SetPageHeight(400);
    EXPECT_EQ(Written(*Canvas().Page().ArrayOf("MediaBox")), "[0 0 300 400 ]");
    Canvas().Page().Remove("MediaBox");
    try {
        Canvas().SetPageHeight(10);
        ADD_FAILURE() << "a page without media box";
    } catch (const EPdfInvalidOperation& e) {
        EXPECT_EQ(e.Message, "Can not chenge width of this page..");
    }
}

TEST_F(PdfCanvasPage, WriteTextBlock)
{
    const struct {
        std::string Name;
        TPdfRect Rect;
        std::string Text;
        bool WordWrap;
        std::string Expected;
    } cases[] = {
        {"empty text", MakePdfRect(10, 100, 200, 0), "", false, "BT\n10 91.5 Td\nET\n"},
        {"two lines without wrap", MakePdfRect(10, 100, 200, 0), "one\r\ntwo", false,
         "BT\n10 91.5 Td\n(one) Tj\nT*\n(two) Tj\nET\n"},
        {"too low for the second line", MakePdfRect(10, 100, 200, 81), "one\r\ntwo three", false,
         "BT\n10 91.5 Td\n(one) Tj\nT*\nET\n"},
        // At Arial 10 "aaa " is 19.46 wide: the second word would end at 48.92, past 40.
        {"wrap at the right edge", MakePdfRect(10, 100, 40, 0), "aaa aaa aaa", true,
         "BT\n10 91.5 Td\n(aaa ) Tj\nT*\n(aaa ) Tj\nT*\n(aaa) Tj\nET\n"},
        {"line cut at the edge", MakePdfRect(10, 100, 40, 0), "aaa aaa aaa", false,
         "BT\n10 91.5 Td\n(aaa a) Tj\nET\n"},
        {"long word cut", MakePdfRect(0, 100, 10, 0), "WWWW", true, "BT\n0 91.5 Td\n(W) Tj\nET\n"},
        {"blank lines", MakePdfRect(0, 100, 100, 0), "a\r\n\r\nb", false,
         "BT\n0 91.5 Td\n(a) Tj\nT*\nT*\n(b) Tj\nET\n"},
    };
    Canvas().SetLeading(12);
    for (const auto& c : cases) {
        Canvas().Contents()->Stream().Clear();
        Canvas().WriteTextBlock(c.Rect, c.Text, c.WordWrap);
        EXPECT_EQ(Content(), c.Expected) << c.Name;
    }
}

TEST_F(PdfCanvasPage, TheTextStateTravelsWithItsPage)
{
    TPdfDictionary& first = Canvas().Page();
    Canvas().SetFont("Times-Italic", 14);
    Canvas().SetCharSpace(1.5f);
    Canvas().SetWordSpace(2);
    Canvas().SetLeading(16);
    Canvas().Attribute().SetHorizontalScaling(80);

    Doc.AddPage();
    TPdfDictionary& second = Canvas().Page();
    EXPECT_EQ(Canvas().Attribute().Font()->Name(), "Arial");
    EXPECT_EQ(Canvas().Attribute().CharSpace(), 0);
    // The stored state is never written.
    EXPECT_EQ(WrittenValue(first).find("_Font"), std::string::npos);

    Canvas().SetPage(first);
    Canvas().Contents()->Stream().Clear();
    TPdfCanvasAttribute& state = Canvas().Attribute();
    EXPECT_EQ(state.Font()->Name(), "Times-Italic");
    EXPECT_EQ(state.FontSize(), 14);
    EXPECT_EQ(state.CharSpace(), 1.5f);
    EXPECT_EQ(state.WordSpace(), 2);
    EXPECT_EQ(state.Leading(), 16);
    EXPECT_EQ(state.HorizontalScaling(), 80);
    Canvas().ShowText("back");
    EXPECT_EQ(Content(), "(back) Tj\n"); // no font selected again

    Canvas().SetPage(second);
    EXPECT_EQ(state.Font()->Name(), "Arial");
    EXPECT_EQ(state.FontSize(), 10);
}

TEST(PdfCanvasVirtual, AVirtualCanvasMeasuresButWritesNothing)
{
    TPdfDoc doc;
    TPdfCanvas& canvas = doc.NewVirtualDocument();
    ASSERT_TRUE(canvas.IsVirtual());
    std::string before = PageContent(doc);
    canvas.SetFont("Arial-Bold", 20);
    canvas.SetCharSpace(1);
    canvas.WriteTextBlock(MakePdfRect(0, 100, 100, 0), "text", true);
    canvas.MoveTo(1, 2);
    EXPECT_EQ(PageContent(doc), before);
    EXPECT_EQ(canvas.Attribute().FontSize(), 20);
    EXPECT_GT(canvas.TextWidth("text"), 0);
}

TEST(PdfCanvasVirtual, ACanvasWithoutDocumentOrPageSaysSo)
{
    TPdfCanvas canvas(nullptr);
    try {
        canvas.Doc();
        ADD_FAILURE() << "no document";
    } catch (const EPdfInvalidOperation& e) {
        EXPECT_EQ(e.Message, "ERROR: GetDoc documant is nil.");
    }
    try {
        canvas.SetFont("Arial", 10);
        ADD_FAILURE() << "no page";
    } catch (const EPdfInvalidOperation& e) {
        EXPECT_EQ(e.Message, "GetPage --the Page is nil");
    }
    canvas.MoveTo(1, 1); // nothing to write to, nothing written
    EXPECT_FLOAT_EQ(canvas.TextWidth("abc"), 0);
}

} // namespace
