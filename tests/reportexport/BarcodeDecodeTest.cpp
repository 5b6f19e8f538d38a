// What the painter draws is read back by a real barcode reader (zbarimg, when it is installed),
// and one picture shows every symbology with its text.

#include "BarcodeTestSupport.h"
#include "PdfTestSupport.h"

#include "platform/gui/Form.h"
#include "platform/gui/Grab.h"
#include "platform/gui/Image.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <numbers>
#include <string>

using namespace Barcode;
using namespace BarcodeTestSupport;
using PdfTestSupport::Quoted;
using PdfTestSupport::RunCommand;
using PdfTestSupport::TTestFolder;

namespace {

constexpr int QuietZone = 20;
constexpr int BarHeight = 80;

bool HaveZbar()
{
    return std::system("command -v zbarimg > /dev/null 2>&1") == 0;
}

// The lines zbarimg reads from the picture, without the line ends.
std::string Decode(const std::filesystem::path& picture)
{
    std::string output;
    // The reader's image library talks on stderr about a desktop bus this machine may lack.
    RunCommand("{ zbarimg -q --raw -Scodabar.enable " + Quoted(picture) + " 2>/dev/null; }", &output);
    while (!output.empty() && (output.back() == '\n' || output.back() == '\r'))
        output.pop_back();
    return output;
}

std::string Characters(int first, int last)
{
    std::string text;
    for (int c = first; c <= last; ++c)
        text += static_cast<char>(c);
    return text;
}

std::string DigitPairs()
{
    std::string text;
    for (int pair = 0; pair < 100; ++pair)
        text += std::to_string(pair / 10) + std::to_string(pair % 10);
    return text;
}

// The reader may show the start and stop letters of Codabar (A to D).
std::string WithoutCodabarGuards(std::string text)
{
    auto guard = [](char c) { return c >= 'A' && c <= 'D'; };
    if (text.size() >= 2 && guard(text.front()) && guard(text.back()))
        text = text.substr(1, text.size() - 2);
    return text;
}

// Paints the barcode at an angle with the origin placed so that the bars stay inside a white
// bitmap with quiet zones all round, and saves it as a BMP file.
std::filesystem::path PaintToFile(TBarcode& barcode, double angle, const TTestFolder& folder,
                                  const std::string& name)
{
    barcode.SetModul(2);
    barcode.SetHeight(BarHeight);
    barcode.SetAngle(angle);
    const double length = barcode.GetWidth();
    // The turned corners of the bars, as the painter turns them (y pointing down).
    const double radians = angle * std::numbers::pi / 180.0;
    const double c = std::cos(radians), s = std::sin(radians);
    double minX = 0, maxX = 0, minY = 0, maxY = 0;
    for (auto [x, y] : {std::pair{length, 0.0}, {0.0, double(BarHeight)}, {length, double(BarHeight)}}) {
        minX = std::min(minX, x * c + y * s);
        maxX = std::max(maxX, x * c + y * s);
        minY = std::min(minY, -x * s + y * c);
        maxY = std::max(maxY, -x * s + y * c);
    }
    barcode.SetLeft(QuietZone + static_cast<int>(std::ceil(-minX)));
    barcode.SetTop(QuietZone + static_cast<int>(std::ceil(-minY)));
    auto bitmap = WhiteBitmap(static_cast<int>(maxX - minX) + 2 * QuietZone + 2,
                              static_cast<int>(maxY - minY) + 2 * QuietZone + 2);
    barcode.DrawBarcode(bitmap->Canvas());
    const std::filesystem::path file = folder.Path() / (name + ".bmp");
    bitmap->SaveToFile(file.string());
    return file;
}

TEST(BarcodeDecode, ARealReaderReadsEachSymbology)
{
    if (!HaveZbar())
        GTEST_SKIP() << "zbarimg is not installed";
    const struct {
        TBarcodeSetup Setup;
        std::string Read;
    } cases[] = {
        {{bcCodeEAN13, "123456789012", true}, "1234567890128"},
        {{bcCodeEAN8, "1234567", true}, "12345670"},
        {{bcCode128A, "ABC-123"}, "ABC-123"},
        {{bcCode128B, "Fattura 12/2024"}, "Fattura 12/2024"},
        {{bcCode128C, "12345678"}, "12345678"},
        {{bcCode93, "TEST93"}, "TEST93"},
        {{bcCode93Extended, "ab"}, "ab"},
        {{bcCode39, "AB", true}, "ABL"}, // the reader keeps a check it does not verify
        {{bcCode_2_5_interleaved, "123456"}, "123456"},
        {{bcCodeCodabar, "1234"}, "1234"},
        // Every character of each table, through the reader.
        {{bcCode128A, Characters(32, 95)}, Characters(32, 95)},
        {{bcCode128B, Characters(32, 126)}, Characters(32, 126)},
        {{bcCode128C, DigitPairs()}, DigitPairs()},
        {{bcCode39, "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ-. $/+%"}, "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ-. $/+%"},
        {{bcCode93, "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ-. $/+%"}, "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ-. $/+%"},
        {{bcCode93Extended, Characters(33, 126)}, Characters(33, 126)},
        {{bcCodeCodabar, "0123456789-$:/.+"}, "0123456789-$:/.+"},
        {{bcCode_2_5_interleaved, "0123456789"}, "0123456789"},
        {{bcCodeEAN13, "012345678901", true}, "0123456789012"},
        {{bcCodeEAN13, "234567890123", true}, "2345678901234"},
        {{bcCodeEAN13, "345678901234", true}, "3456789012340"},
        {{bcCodeEAN13, "456789012345", true}, "4567890123456"},
        {{bcCodeEAN13, "567890123456", true}, "5678901234562"},
        {{bcCodeEAN13, "678901234567", true}, "6789012345678"},
        {{bcCodeEAN13, "789012345678", true}, "7890123456784"},
        {{bcCodeEAN13, "890123456789", true}, "8901234567890"},
        {{bcCodeEAN13, "901234567890", true}, "9012345678906"},
        {{bcCodeEAN8, "9876543", true}, "98765430"},
    };
    TTestFolder folder;
    for (const auto& c : cases) {
        auto barcode = MakeBarcode(c.Setup);
        const auto file = PaintToFile(*barcode, 0, folder, barcode->GetTypText());
        std::string read = Decode(file);
        if (c.Setup.Type == bcCodeCodabar)
            read = WithoutCodabarGuards(read);
        EXPECT_EQ(read, c.Read) << barcode->GetTypText();
    }
}

TEST(BarcodeDecode, TurnedBarsStillRead)
{
    if (!HaveZbar())
        GTEST_SKIP() << "zbarimg is not installed";
    TTestFolder folder;
    // 15 degrees turns every bar into a polygon of its own.
    for (double angle : {90.0, 180.0, 270.0, 15.0, -10.0}) {
        auto barcode = MakeBarcode({bcCodeEAN13, "123456789012", true});
        const auto file = PaintToFile(*barcode, angle, folder, "ean13-" + std::to_string(int(angle)));
        EXPECT_EQ(Decode(file), "1234567890128") << angle;
    }
}

std::string ScreenshotFolder()
{
    std::string folder = "screenshots";
    if (const char* env = std::getenv("TESS_SCREENSHOT_DIR"); env && *env)
        folder = env;
    std::filesystem::create_directories(folder);
    return folder;
}

TEST(BarcodeDecode, ASheetOfEverySymbologyWithItsText)
{
    EnsureApplication();
    const struct {
        TBarcodeType Type;
        const char* Text;
    } rows[] = {
        {bcCode_2_5_interleaved, "123456"}, {bcCode_2_5_industrial, "1234"}, {bcCode_2_5_matrix, "1234"},
        {bcCode39, "FATTURA"},             {bcCode39Extended, "Fattura"},   {bcCode128A, "ABC-123"},
        {bcCode128B, "Fattura 12/2024"},   {bcCode128C, "12345678"},        {bcCode93, "TEST93"},
        {bcCode93Extended, "Prova"},        {bcCodeMSI, "1234567"},          {bcCodePostNet, "12345"},
        {bcCodeCodabar, "1234"},            {bcCodeEAN8, "1234567"},         {bcCodeEAN13, "123456789012"},
    };
    TForm form(nullptr);
    form.SetBounds(0, 0, 760, 560);
    auto* image = new TImage(&form);
    image->SetParent(&form);
    image->SetBounds(0, 0, 760, 560);
    TCanvas* canvas = image->Canvas();
    canvas->Brush()->SetColor(clWhite);
    canvas->FillRect(Rect(0, 0, 760, 560));
    for (int i = 0; i < 15; ++i) {
        auto barcode = MakeBarcode({rows[i].Type, rows[i].Text, true});
        barcode->SetModul(1);
        barcode->SetHeight(40);
        barcode->SetLeft(20 + (i % 3) * 250);
        barcode->SetTop(20 + (i / 3) * 105);
        barcode->SetShowText(true);
        barcode->DrawBarcode(canvas);
        EXPECT_GT(barcode->GetWidth(), 0);
    }
    form.Show();
    const std::string path = ScreenshotFolder() + "/barcode-symbologies.png";
    ASSERT_TRUE(GrabToPng(&form, path));
    EXPECT_TRUE(std::filesystem::exists(path));
}

} // namespace
