#include "PdfTestSupport.h"

#include "reportexport/PdfFonts.h"

#include <fstream>
#include <map>
#include <regex>
#include <sstream>

using namespace PdfTestSupport;

namespace {

const char* const StandardFontNames[] = {
    "FixedWidth", "FixedWidth-Bold", "FixedWidth-Italic", "FixedWidth-BoldItalic",
    "Arial",      "Arial-Bold",      "Arial-Italic",      "Arial-BoldItalic",
    "Times-Roman", "Times-Bold",     "Times-Italic",      "Times-BoldItalic",
};

// The metric twins of fonts-urw-base35; none for Courier, whose widths are all 600.
const char* const AfmFiles[] = {
    nullptr,
    nullptr,
    nullptr,
    nullptr,
    "NimbusSans-Regular",
    "NimbusSans-Bold",
    "NimbusSans-Italic",
    "NimbusSans-BoldItalic",
    "NimbusRoman-Regular",
    "NimbusRoman-Bold",
    "NimbusRoman-Italic",
    "NimbusRoman-BoldItalic",
};

// The glyphs of WinAnsiEncoding at 32-255, "" where a code is unused. The no-break space and the
// soft hyphen are measured as the blank and the hyphen, as a viewer draws them.
const char* const WinAnsiGlyphs[224] = {
    "space", "exclam", "quotedbl", "numbersign", "dollar", "percent", "ampersand", "quotesingle",
    "parenleft", "parenright", "asterisk", "plus", "comma", "hyphen", "period", "slash", "zero",
    "one", "two", "three", "four", "five", "six", "seven", "eight", "nine", "colon", "semicolon",
    "less", "equal", "greater", "question", "at", "A", "B", "C", "D", "E", "F", "G", "H", "I",
    "J", "K", "L", "M", "N", "O", "P", "Q", "R", "S", "T", "U", "V", "W", "X", "Y", "Z",
    "bracketleft", "backslash", "bracketright", "asciicircum", "underscore", "grave", "a", "b",
    "c", "d", "e", "f", "g", "h", "i", "j", "k", "l", "m", "n", "o", "p", "q", "r", "s", "t",
    "u", "v", "w", "x", "y", "z", "braceleft", "bar", "braceright", "asciitilde", "",
    "Euro", "", "quotesinglbase", "florin", "quotedblbase", "ellipsis", "dagger", "daggerdbl",
    "circumflex", "perthousand", "Scaron", "guilsinglleft", "OE", "", "Zcaron", "", "",
    "quoteleft", "quoteright", "quotedblleft", "quotedblright", "bullet", "endash", "emdash",
    "tilde", "trademark", "scaron", "guilsinglright", "oe", "", "zcaron", "Ydieresis",
    "space", "exclamdown", "cent", "sterling", "currency", "yen", "brokenbar", "section",
    "dieresis", "copyright", "ordfeminine", "guillemotleft", "logicalnot", "hyphen",
    "registered", "macron", "degree", "plusminus", "twosuperior", "threesuperior", "acute", "mu",
    "paragraph", "periodcentered", "cedilla", "onesuperior", "ordmasculine", "guillemotright",
    "onequarter", "onehalf", "threequarters", "questiondown", "Agrave", "Aacute", "Acircumflex",
    "Atilde", "Adieresis", "Aring", "AE", "Ccedilla", "Egrave", "Eacute", "Ecircumflex",
    "Edieresis", "Igrave", "Iacute", "Icircumflex", "Idieresis", "Eth", "Ntilde", "Ograve",
    "Oacute", "Ocircumflex", "Otilde", "Odieresis", "multiply", "Oslash", "Ugrave", "Uacute",
    "Ucircumflex", "Udieresis", "Yacute", "Thorn", "germandbls", "agrave", "aacute",
    "acircumflex", "atilde", "adieresis", "aring", "ae", "ccedilla", "egrave", "eacute",
    "ecircumflex", "edieresis", "igrave", "iacute", "icircumflex", "idieresis", "eth", "ntilde",
    "ograve", "oacute", "ocircumflex", "otilde", "odieresis", "divide", "oslash", "ugrave",
    "uacute", "ucircumflex", "udieresis", "yacute", "thorn", "ydieresis",
};

std::map<std::string, int> ReadAfmWidths(const std::string& fontFile)
{
    std::ifstream afm("/usr/share/fonts/type1/urw-base35/" + fontFile + ".afm");
    std::map<std::string, int> widths;
    static const std::regex metrics(R"(^C -?\d+ ; WX (\d+) ; N (\S+) ;)");
    std::string line;
    std::smatch match;
    while (std::getline(afm, line)) {
        if (std::regex_search(line, match, metrics))
            widths[match[2]] = std::stoi(match[1]);
    }
    return widths;
}

// The width the document's font gives one character code.
int FontWidth(TPdfFont& font, int code)
{
    return font.GetCharWidth(std::string(1, static_cast<char>(code)), 1);
}

TEST(PdfFonts, WidthTablesMatchThePublishedMetrics)
{
    TPdfDoc doc;
    doc.NewDocument();
    for (int f = 0; f < 12; ++f) {
        SCOPED_TRACE(StandardFontNames[f]);
        TPdfFont& font = doc.GetFont(StandardFontNames[f]);
        std::map<std::string, int> afm;
        if (AfmFiles[f]) {
            afm = ReadAfmWidths(AfmFiles[f]);
            ASSERT_FALSE(afm.empty()) << "the AFM files of fonts-urw-base35 are missing "
                                         "(scripts/install-deps installs them)";
        }
        for (int code = 32; code <= 255; ++code) {
            std::string glyph = WinAnsiGlyphs[code - 32];
            int expected;
            if (!AfmFiles[f])
                expected = 600;
            else if (code == 128)
                expected = f < 8 ? 556 : 500;
            else if (glyph.empty())
                expected = 0;
            else
                expected = afm.at(glyph);
            EXPECT_EQ(FontWidth(font, code), expected) << "code " << code << " " << glyph;
        }
        for (int code = 0; code < 32; ++code)
            EXPECT_EQ(FontWidth(font, code), 0) << "code " << code;
    }
    EXPECT_EQ(FontWidth(doc.GetFont("Arial"), 233), 556);
    EXPECT_EQ(FontWidth(doc.GetFont("Times-Roman"), 233), 444);
    EXPECT_EQ(FontWidth(doc.GetFont("Arial"), 'A'), 667);
    EXPECT_EQ(FontWidth(doc.GetFont("Times-Roman"), ' '), 250);
}

TEST(PdfFonts, TheFontDictionaryNamesTheBaseFontAndKeepsItsWidthsInside)
{
    TPdfDoc doc;
    doc.NewDocument();
    for (int f = 0; f < 12; ++f) {
        TPdfFont& font = doc.GetFont(StandardFontNames[f]);
        EXPECT_EQ(font.Name(), StandardFontNames[f]);
        ASSERT_NE(font.Data()->ArrayOf("Widths"), nullptr);
        EXPECT_EQ(font.Data()->ArrayOf("Widths")->ItemCount(), 224);
        EXPECT_EQ(WrittenValue(*font.Data()).find("Widths"), std::string::npos);
    }
    EXPECT_EQ(WrittenValue(*doc.GetFont("Arial-BoldItalic").Data()),
              "<<\r\n/Type /Font\r\n/Subtype /Type1\r\n/Encoding /WinAnsiEncoding\r\n"
              "/FirstChar 32\r\n/LastChar 255\r\n/BaseFont /Helvetica-BoldOblique\r\n/Name /F7\r\n>>");
}

TEST(PdfFonts, WidthsComeFromTheDictionary)
{
    TPdfDictionary data;
    data.Add("FirstChar", std::make_unique<TPdfNumber>(65));
    data.Add("MissingWidth", std::make_unique<TPdfNumber>(250));
    data.AddInternal("Widths", TPdfArray::CreateNumberArray(nullptr, {700, 600}));
    TPdfType1Font font;
    font.SetData(&data);
    EXPECT_EQ(FontWidth(font, 'A'), 700);
    EXPECT_EQ(FontWidth(font, 'B'), 600);
    EXPECT_EQ(FontWidth(font, 'C'), 250);
    EXPECT_EQ(FontWidth(font, 0), 250);
    EXPECT_EQ(font.GetCharWidth("A", 2), 0); // past the end of the text
}

// Splits a text where pdftotext does: at blanks and no-break spaces.
std::vector<std::size_t> WordEnds(const std::string& text)
{
    std::vector<std::size_t> ends;
    for (std::size_t i = 0; i < text.size(); ++i) {
        bool separator = text[i] == ' ' || text[i] == '\xA0';
        bool nextSeparator = i + 1 == text.size() || text[i + 1] == ' ' || text[i + 1] == '\xA0';
        if (!separator && nextSeparator)
            ends.push_back(i + 1);
    }
    return ends;
}

TEST(PdfFonts, PopplerPlacesEveryWordWhereTheCanvasMeasuresIt)
{
    const std::string text = "0123456789 \xE0\xE8\xE9\xEC\xF2\xF9 \xC0\xC8\xC9\xD1 \x80 "
                             "10\xA0\x80 a-b fin";
    TPdfDoc doc;
    doc.NewDocument();
    doc.AddPage();
    TPdfCanvas& canvas = doc.Canvas();
    std::vector<double> expected;
    float y = 800;
    for (const char* name : StandardFontNames) {
        canvas.SetFont(name, 11);
        canvas.BeginText();
        canvas.MoveTextPosition(100, y);
        canvas.ShowText(text);
        canvas.EndText();
        y -= 30;
        for (std::size_t end : WordEnds(text))
            expected.push_back(100 + canvas.TextWidth(text.substr(0, end)));
    }

    TTestFolder folder;
    auto path = folder.Write("fonts.pdf", SavedBytes(doc));
    std::string output;
    ASSERT_EQ(RunCommand("pdftotext -bbox " + Quoted(path) + " -", &output), 0) << output;
    static const std::regex word(R"re(<word xMin="[^"]*" yMin="[^"]*" xMax="([^"]*)")re");
    std::vector<double> found;
    for (std::sregex_iterator it(output.begin(), output.end(), word), end; it != end; ++it)
        found.push_back(std::stod((*it)[1]));
    ASSERT_EQ(found.size(), expected.size()) << output;
    for (std::size_t i = 0; i < found.size(); ++i)
        EXPECT_NEAR(found[i], expected[i], 0.05) << "word " << i << " of " << StandardFontNames[i / 8];

    ASSERT_EQ(RunCommand("pdffonts " + Quoted(path), &output), 0) << output;
    static const char* const baseFonts[] = {
        "Courier", "Courier-Bold", "Courier-Oblique", "Courier-BoldOblique",
        "Helvetica", "Helvetica-Bold", "Helvetica-Oblique", "Helvetica-BoldOblique",
        "Times-Roman", "Times-Bold", "Times-Italic", "Times-BoldItalic"};
    for (const char* base : baseFonts) {
        std::regex row("\n" + std::string(base) + " +Type 1 +WinAnsi +no ");
        EXPECT_TRUE(std::regex_search(output, row)) << base << "\n" << output;
    }
}

} // namespace
