#include "PdfTestSupport.h"

#include <cstdlib>
#include <random>

using namespace PdfTestSupport;

namespace {

const char* const BadInputFonts[] = {
    "FixedWidth", "FixedWidth-Bold", "FixedWidth-Italic", "FixedWidth-BoldItalic",
    "Arial",      "Arial-Bold",      "Arial-Italic",      "Arial-BoldItalic",
    "Times-Roman", "Times-Bold",     "Times-Italic",      "Times-BoldItalic",
};

// Each block starts with a marker and a text full of delimiters, then random bytes of every
// value. The marker and the delimiters always fit the first line, so the text tool must give
// them back; the random tail must only keep the file sound.
std::string RandomBlockText(std::mt19937& random, int block, std::string& expected)
{
    expected = "M" + std::to_string(1000 + block) + " (a\\b)";
    std::string text = expected + " ";
    std::uniform_int_distribution<int> length(0, 120);
    std::uniform_int_distribution<int> byte(0, 255);
    std::uniform_int_distribution<int> special(0, 9);
    int count = length(random);
    for (int i = 0; i < count; ++i) {
        // Favour the bytes that need care.
        static const char tricky[] = {'(', ')', '\\', '\r', '\n', '\0', ' ', '\x80', '\xFF', '\t'};
        text += special(random) < 3 ? tricky[special(random)] : static_cast<char>(byte(random));
    }
    return text;
}

void WriteRandomDocument(unsigned sample, const TTestFolder& folder)
{
    std::mt19937 random(sample);
    std::uniform_real_distribution<float> left(20, 200), width(200, 350), height(5, 70);
    std::uniform_real_distribution<float> size(6, 12), leading(0, 14), spacing(-1, 3);
    std::uniform_int_distribution<int> font(0, 11), coin(0, 1);

    TPdfDoc doc;
    doc.NewDocument();
    std::vector<std::string> markers;
    for (int block = 0; block < 200; ++block) {
        if (block % 10 == 0)
            doc.AddPage();
        TPdfCanvas& canvas = doc.Canvas();
        canvas.SetFont(BadInputFonts[font(random)], size(random));
        canvas.SetLeading(leading(random));
        canvas.SetCharSpace(spacing(random) / 4);
        canvas.SetWordSpace(std::abs(spacing(random)));
        float top = 820 - 80 * static_cast<float>(block % 10);
        float x = left(random);
        TPdfRect rect = MakePdfRect(x, top, x + width(random), top - height(random));
        std::string marker;
        std::string text = RandomBlockText(random, block, marker);
        canvas.WriteTextBlock(rect, text, coin(random) == 1);
        markers.push_back(marker);
    }
    auto path = folder.Write("random-" + std::to_string(sample) + ".pdf", SavedBytes(doc));
    ExpectQpdfAccepts(path);
    std::string text;
    ASSERT_EQ(RunCommand("pdftotext -raw " + Quoted(path) + " -", &text), 0) << text;
    for (const auto& marker : markers)
        EXPECT_NE(text.find(marker), std::string::npos) << marker;
}

TEST(PdfBadInput, TextBlocksOfRandomBytesKeepTheFileSound)
{
    // TESS_PDF_STRESS_ROUNDS asks for more documents, each from its own sample of bytes.
    const char* rounds = std::getenv("TESS_PDF_STRESS_ROUNDS");
    int count = rounds ? std::max(1, std::atoi(rounds)) : 1;
    TTestFolder folder;
    for (int round = 0; round < count; ++round)
        WriteRandomDocument(20240102u + static_cast<unsigned>(round), folder);
}

TEST(PdfBadInput, NamesOfAnyBytesAreEscapedAlike)
{
    // Every byte but NUL, in names short enough for a reader's limit of 127 bytes.
    std::vector<std::string> names;
    for (int first = 1; first < 256; first += 85) {
        std::string name = "Im ";
        for (int byte = first; byte < first + 85; ++byte)
            name += static_cast<char>(byte);
        names.push_back(name);
    }
    TPdfDoc doc;
    doc.NewDocument();
    doc.AddPage();
    float y = 100;
    for (const auto& name : names) {
        doc.AddImage(name, SmallImage());
        doc.Canvas().DrawXObject(100, y, 200, 100, name);
        doc.Canvas().DrawXObjectEx(350, y, 200, 100, 370, y + 20, 50, 50, name);
        y += 150;
    }

    std::string content = PageContent(doc);
    std::string resources = WrittenValue(*doc.Canvas().Page().DictionaryOf("Resources"));
    for (const auto& name : names) {
        std::string escaped = EscapeName(name);
        EXPECT_EQ(escaped.find_first_of(std::string(" ()<>[]{}%\r\n\0", 13), 0), std::string::npos);
        EXPECT_NE(content.find(escaped + " Do\n"), std::string::npos);
        EXPECT_NE(resources.find(escaped + " "), std::string::npos) << resources;
    }

    TTestFolder folder;
    auto path = folder.Write("names.pdf", SavedBytes(doc));
    ExpectQpdfAccepts(path);
    std::string output;
    EXPECT_EQ(RunCommand("pdftoppm -r 20 -png " + Quoted(path) + " " + Quoted(folder.Path() / "p"),
                         &output),
              0)
        << output;
    EXPECT_EQ(output.find("rror"), std::string::npos) << output;
}

} // namespace
