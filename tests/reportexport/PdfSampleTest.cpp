#include "PdfTestSupport.h"

#include <cstdlib>
#include <fstream>

using namespace PdfTestSupport;

namespace {

const char* const SampleParagraph =
    "Fattura n. 12/2024 del 02/01/2024. Il pagamento \xE8 dovuto entro trenta giorni dalla data "
    "della fattura; oltre tale termine si applicano gli interessi di mora. Totale: 1.234,56 \x80 "
    "(IVA inclusa).";

void DrawSamplePage(TPdfCanvas& canvas, int page)
{
    // Frame and header band.
    canvas.SetLineWidth(1);
    canvas.SetRGBStrokeColor(0x000000);
    canvas.Rectangle(40, 40, 516, 762);
    canvas.Stroke();
    canvas.SetRGBFillColor(0xF0E0D0);
    canvas.Rectangle(40, 742, 516, 60);
    canvas.Fill();

    canvas.SetRGBFillColor(0x000000);
    canvas.SetFont("Arial-Bold", 20);
    canvas.WriteTextBlock(MakePdfRect(50, 790, 540, 750), "Pagina " + std::to_string(page), false);

    // Dashed lines of every pattern the report rectangles use.
    const std::vector<std::vector<std::uint8_t>> dashes = {
        {}, {16, 8}, {3}, {8, 7, 2, 7}, {8, 4, 2, 4, 2, 4}};
    float y = 720;
    for (const auto& dash : dashes) {
        canvas.SetDash(dash, 0);
        canvas.MoveTo(50, y);
        canvas.LineTo(300, y);
        canvas.Stroke();
        y -= 12;
    }
    canvas.SetDash({}, 0);

    // Filled and stroked rectangles.
    canvas.SetRGBFillColor(0x0000FF);
    canvas.SetRGBStrokeColor(0x800000);
    canvas.SetLineWidth(2);
    canvas.Rectangle(330, 650, 80, 70);
    canvas.ClosePathFillStroke();
    canvas.SetRGBFillColor(0x00C000);
    canvas.Rectangle(430, 650, 100, 70);
    canvas.Fill();

    // Text blocks in several fonts, framed by their rectangles.
    const char* fonts[] = {"Times-Roman", "Arial", "FixedWidth", "Times-BoldItalic"};
    canvas.SetRGBFillColor(0x000000);
    canvas.SetRGBStrokeColor(0x808080);
    canvas.SetLineWidth(0.5f);
    float top = 620;
    for (int i = 0; i < 4; ++i) {
        const char* font = fonts[(i + page) % 4];
        float width = 200 + 60.0f * i;
        canvas.Rectangle(50, top - 110, width, 110);
        canvas.Stroke();
        canvas.SetFont(font, 10 + static_cast<float>(i));
        canvas.SetLeading(13 + static_cast<float>(i));
        canvas.WriteTextBlock(MakePdfRect(52, top - 2, 50 + width, top - 110),
                              std::string(font) + ": " + SampleParagraph, true);
        top -= 125;
    }

    canvas.DrawXObject(420, 80, 100, 50, "Bars");
    canvas.DrawXObjectEx(300, 80, 100, 50, 320, 90, 40, 30, "Bars");
}

TEST(PdfSample, AThreePageDocumentRendersAndPassesQpdf)
{
    TPdfDoc doc;
    doc.NewDocument();
    doc.AddPage();
    doc.AddImage("Bars", SmallImage());
    for (int page = 1; page <= 3; ++page) {
        if (page > 1)
            doc.AddPage();
        DrawSamplePage(doc.Canvas(), page);
    }

    TTestFolder folder;
    // TESS_PDF_SAMPLE_DIR keeps the file and its pictures for a person to look at.
    const char* keep = std::getenv("TESS_PDF_SAMPLE_DIR");
    fs::path target = keep ? fs::path(keep) : folder.Path();
    fs::create_directories(target);
    auto path = target / "sample.pdf";
    std::ofstream(path, std::ios::binary) << SavedBytes(doc);
    ExpectQpdfAccepts(path);

    std::string output;
    ASSERT_EQ(RunCommand("pdftoppm -r 100 -png " + Quoted(path) + " " + Quoted(target / "sample"),
                         &output),
              0)
        << output;
    EXPECT_EQ(output, "");
    for (int page = 1; page <= 3; ++page)
        EXPECT_TRUE(fs::exists(target / ("sample-" + std::to_string(page) + ".png"))) << page;

    ASSERT_EQ(RunCommand("pdftotext -layout " + Quoted(path) + " -", &output), 0) << output;
    EXPECT_NE(output.find("Pagina 3"), std::string::npos);
    EXPECT_NE(output.find("Totale: 1.234,56 \xE2\x82\xAC"), std::string::npos) << output;
}

} // namespace
