// The barcode engine: bar strings with their check characters, widths, ratio limits, errors and
// the pixels the painter fills.

#include "BarcodeTestSupport.h"

#include "platform/rtl/Exceptions.h"

#include <gtest/gtest.h>

#include <functional>
#include <limits>
#include <string>
#include <vector>

using namespace Barcode;
using namespace BarcodeTestSupport;

namespace {

std::string BarsOf(const TBarcodeSetup& setup)
{
    return MakeBarcode(setup)->MakeData();
}

// A slice of a bar string; a negative start counts from the end.
std::string Slice(const std::string& bars, int start, int length)
{
    const int from = start < 0 ? static_cast<int>(bars.size()) + start : start;
    if (from < 0 || from > static_cast<int>(bars.size()))
        return "<outside " + std::to_string(bars.size()) + ">";
    return length < 0 ? bars.substr(from) : bars.substr(from, length);
}

// One encoding: the slice [At, At + Length) of its bars (all of them with Length -1) must equal
// the slice [ReferenceAt, ReferenceAt + Length) of the reference, an encoding of the expected
// characters; Width is GetWidth at Modul 1 and Ratio 2.
struct TEncodingCase {
    const char* Name;
    TBarcodeSetup Setup;
    int At;
    int Length;
    TBarcodeSetup Reference;
    int ReferenceAt;
    int Width;
};

TEST(BarcodeEncoding, CheckCharactersAndWidths)
{
    const TEncodingCase cases[] = {
        {"EAN-13 with check 8", {bcCodeEAN13, "123456789012", true}, 0, -1,
         {bcCodeEAN13, "1234567890128"}, 0, 95},
        {"EAN-13 short text padded", {bcCodeEAN13, "12345", true}, 0, -1,
         {bcCodeEAN13, "0000000123457"}, 0, 95},
        {"EAN-13 long text keeps the last twelve", {bcCodeEAN13, "98123456789012", true}, 0, -1,
         {bcCodeEAN13, "1234567890128"}, 0, 95},
        {"EAN-8 with check 0", {bcCodeEAN8, "1234567", true}, 0, -1, {bcCodeEAN8, "12345670"}, 0, 67},
        {"Code 39 check L", {bcCode39, "AB", true}, 0, -1, {bcCode39, "ABL"}, 0, 64},
        {"Code 39 Extended a", {bcCode39Extended, "a"}, 0, -1, {bcCode39, "+A"}, 0, 51},
        {"Code 128B comma is value 12", {bcCode128B, ","}, 6, 6, {bcCode128C, "12"}, 6, 46},
        {"Code 128C pairs 12 and 34", {bcCode128C, "12345"}, 6, 12, {bcCode128B, ",B"}, 6, 57},
        {"Code 128C check 82", {bcCode128C, "12345"}, -13, 6, {bcCode128B, "r"}, 6, 57},
        {"Code 93 ABC checks H K", {bcCode93, "ABC"}, -19, 12, {bcCode93, "HK"}, 6, 64},
        {"Code 93 TEST93 checks + 6", {bcCode93, "TEST93"}, -19, 12, {bcCode93, "+6"}, 6, 91},
        {"Code 93 Extended ab", {bcCode93Extended, "ab"}, 0, -1, {bcCode93, "}A}B"}, 0, 73},
        {"2 of 5 interleaved drops the odd digit", {bcCode_2_5_interleaved, "123"}, 0, -1,
         {bcCode_2_5_interleaved, "12"}, 0, 22},
        {"MSI check 4", {bcCodeMSI, "1234567"}, -11, 8, {bcCodeMSI, "4"}, 2, 103},
    };
    for (const TEncodingCase& c : cases) {
        SCOPED_TRACE(c.Name);
        auto barcode = MakeBarcode(c.Setup);
        const std::string bars = barcode->MakeData();
        const std::string reference = BarsOf(c.Reference);
        const int length = c.Length < 0 ? static_cast<int>(reference.size()) : c.Length;
        EXPECT_EQ(Slice(bars, c.At, c.Length), Slice(reference, c.ReferenceAt, length));
        EXPECT_EQ(barcode->GetWidth(), c.Width);
        EXPECT_EQ(barcode->Width(), c.Width);
        EXPECT_EQ(barcode->Text(), c.Setup.Text);
    }
}

TEST(BarcodeEncoding, HandBuiltBarsOfTheSymbologiesNoReaderKnows)
{
    const struct {
        TBarcodeType Type;
        const char* Text;
        const char* Bars;
    } cases[] = {
        // 1 is wide, narrow, narrow, narrow, wide; industrial writes every element as a bar.
        {bcCode_2_5_industrial, "1", "606050" "6050505060" "605060"},
        // Matrix: bars and spaces alternate, each digit closed by a narrow space.
        {bcCode_2_5_matrix, "1", "705050" "60506" "0" "70505"},
        // 3 is 0011: two narrow-bar-wide-space zeros, two wide-bar-narrow-space ones; the
        // check of 3 is 4 (3 doubled is 6).
        {bcCodeMSI, "3", "60" "51516060" "51605151" "515"},
        // 1 is three short bars and two full ones.
        {bcCodePostNet, "1", "51" "A1A1A15151" "5"},
        // Codabar always starts with A and stops with B.
        {bcCodeCodabar, "1", "5061515" "0" "5050615" "0" "5151506"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Text);
        EXPECT_EQ(BarsOf({c.Type, c.Text}), c.Bars);
    }
}

TEST(BarcodeEncoding, ForgivingSymbologiesKeepTheirRules)
{
    // Code 39 skips what it cannot encode; Code 128 A and B turn it into a space.
    EXPECT_EQ(BarsOf({bcCode39, "A?b\xE8" "B"}), BarsOf({bcCode39, "AB"}));
    EXPECT_EQ(BarsOf({bcCode128A, "a"}), BarsOf({bcCode128A, " "}));
    EXPECT_EQ(BarsOf({bcCode128B, std::string("\x7F\xE0\0", 3)}), BarsOf({bcCode128B, "   "}));
    // The extended symbologies drop bytes from 128 up.
    EXPECT_EQ(BarsOf({bcCode39Extended, "a\x80"}), BarsOf({bcCode39, "+A"}));
    EXPECT_EQ(BarsOf({bcCode93Extended, "\xFF" "ab"}), BarsOf({bcCode93, "}A}B"}));
    // An empty text still makes start, check and stop.
    EXPECT_EQ(BarsOf({bcCode128B, ""}).size(), 6u + 6u + 7u);
}

TEST(BarcodeEncoding, LongTextsKeepTheirWidthWithoutOverflow)
{
    auto barcode = MakeBarcode({bcCode128B, std::string(200000, 'z'), false, 49, 2.0});
    EXPECT_EQ(barcode->GetWidth(), (11 * 200002 + 13) * 49);
    barcode->SetTyp(bcCode128A);
    barcode->SetRatio(1e12);
    EXPECT_EQ(barcode->GetWidth(), std::numeric_limits<int>::max());
}

TEST(BarcodeProperties, RatioClampsAndModulLimits)
{
    const struct {
        TBarcodeType Type;
        double Ratio;
        double Expected;
    } cases[] = {
        {bcCode39, 1.0, 2.0},          {bcCode_2_5_matrix, 2.0, 2.25}, {bcCode128A, 1.0, 1.0},
        {bcCodeEAN13, 4.0, 3.0},       {bcCode_2_5_matrix, 3.5, 3.0},  {bcCodeCodabar, 2.5, 2.5},
        {bcCodePostNet, 7.0, 7.0},     {bcCodeMSI, 0.5, 0.5},
    };
    for (const auto& c : cases) {
        auto barcode = MakeBarcode({c.Type, "12", true});
        barcode->SetRatio(c.Ratio);
        barcode->GetWidth();
        EXPECT_DOUBLE_EQ(barcode->Ratio(), c.Expected) << barcode->GetTypText() << " " << c.Ratio;
    }

    TBarcode barcode(nullptr);
    EXPECT_EQ(barcode.Modul(), 1);
    barcode.SetModul(7);
    for (int refused : {0, 50, -3})
        barcode.SetModul(refused);
    EXPECT_EQ(barcode.Modul(), 7);
    barcode.SetModul(49);
    EXPECT_EQ(barcode.Modul(), 49);
}

TEST(BarcodeProperties, ModuleWidthsRoundHalvesToEvenAndNeverWrap)
{
    // An empty Code 39 is the start and stop characters with a gap: 13 narrow and 6 wide
    // elements. Module width 1 is Modul × Ratio rounded with halves to even.
    const struct {
        int Modul;
        double Ratio;
        int Width;
    } cases[] = {
        {1, 2.5, 13 + 6 * 2},        // 2.5 rounds to 2
        {3, 2.5, 13 * 3 + 6 * 8},    // 7.5 rounds to 8
        {1, 2.51, 13 + 6 * 3},
        {49, 3.0, 13 * 49 + 6 * 147}, // wider than a signed byte holds
    };
    for (const auto& c : cases) {
        auto barcode = MakeBarcode({bcCode39, "", false, c.Modul, c.Ratio});
        EXPECT_EQ(barcode->GetWidth(), c.Width) << c.Modul << " x " << c.Ratio;
    }
    auto notANumber = MakeBarcode({bcCode39, "", false, 1, std::numeric_limits<double>::quiet_NaN()});
    notANumber->GetWidth();
    EXPECT_DOUBLE_EQ(notANumber->Ratio(), 2.0);
}

TEST(BarcodeProperties, DefaultsAndDisplayNames)
{
    TBarcode barcode(nullptr);
    EXPECT_EQ(barcode.Typ(), bcCodeEAN13);
    EXPECT_DOUBLE_EQ(barcode.Ratio(), 2.0);
    EXPECT_EQ(barcode.Height(), 0);
    EXPECT_FALSE(barcode.Checksum());
    EXPECT_FALSE(barcode.ShowText());
    const char* names[] = {"2_5_interleaved", "2_5_industrial", "2_5_matrix", "Code39",
                           "Code39 Extended", "Code128A", "Code128B", "Code128C", "Code93",
                           "Code93 Extended", "MSI", "PostNet", "Codebar", "EAN8", "EAN13"};
    for (int type = 0; type < 15; ++type) {
        barcode.SetTyp(static_cast<TBarcodeType>(type));
        EXPECT_EQ(barcode.GetTypText(), names[type]);
    }
}

// Exposes the painting steps that the component keeps to itself.
class TOpenBarcode : public TBarcode {
public:
    TOpenBarcode() : TBarcode(nullptr) {}
    using TBarcode::DoLines;
    using TBarcode::MakeModules;
};

std::string MessageOf(const std::function<void()>& action, std::string* className = nullptr)
{
    try {
        action();
    } catch (const Exception& e) {
        if (className)
            *className = e.ClassName();
        return e.Message;
    }
    return "<no error>";
}

TEST(BarcodeErrors, TextsASymbologyCannotEncode)
{
    const struct {
        TBarcodeSetup Setup;
        const char* Message;
        const char* ClassName;
    } cases[] = {
        {{bcCode93, "ab"}, "TBarcode:Code93 bad Data <ab>", "Exception"},
        {{bcCode_2_5_interleaved, "12a4"}, "TBarcode: bad Data <12a4>", "Exception"},
        {{bcCode_2_5_interleaved, "123x"}, "TBarcode: bad Data <123x>", "Exception"},
        {{bcCode_2_5_industrial, " 1"}, "TBarcode: bad Data < 1>", "Exception"},
        {{bcCode_2_5_matrix, "1-2"}, "TBarcode: bad Data <1-2>", "Exception"},
        {{bcCodeMSI, "12.5"}, "TBarcode: bad Data <12.5>", "Exception"},
        {{bcCodePostNet, "\xE9"}, "TBarcode: bad Data <\xE9>", "Exception"},
        {{bcCodeEAN8, "1234567"}, "TBarcode: bad Data <1234567>", "Exception"},
        {{bcCodeEAN13, "12345678901234"}, "TBarcode: bad Data <12345678901234>", "Exception"},
        {{bcCodeEAN13, ""}, "TBarcode: bad Data <>", "Exception"},
        {{bcCodeCodabar, "12E4"}, "TBarcode: bad Data <12E4>", "Exception"},
        {{bcCode128C, "12a4"}, "TBarcode: bad Data <12a4>", "Exception"},
        {{bcCodeEAN13, "123456789O12", true}, "'O' is not a valid integer value", "EConvertError"},
        {{bcCodeEAN8, "1234567A"}, "'A' is not a valid integer value", "EConvertError"},
        {{bcCodeEAN13, "x234567890123"}, "'x' is not a valid integer value", "EConvertError"},
    };
    for (const auto& c : cases) {
        auto barcode = MakeBarcode(c.Setup);
        std::string className;
        EXPECT_EQ(MessageOf([&] { barcode->GetWidth(); }, &className), c.Message) << c.Setup.Text;
        EXPECT_EQ(className, c.ClassName) << c.Setup.Text;
    }
    // A trailing odd character is dropped before Code 128C looks at it.
    EXPECT_EQ(BarsOf({bcCode128C, "12x"}), BarsOf({bcCode128C, "12"}));
}

TEST(BarcodeErrors, WrongTypeAndUnknownBarCharacters)
{
    auto barcode = MakeBarcode({static_cast<TBarcodeType>(15), "1"});
    EXPECT_EQ(MessageOf([&] { barcode->MakeData(); }), "TBarcode: wrong BarcodeType");
    EXPECT_EQ(barcode->GetTypText(), "");

    auto bitmap = WhiteBitmap(20, 20);
    TOpenBarcode open;
    open.SetHeight(10);
    open.MakeModules();
    for (const char* bars : {"4", "9", "E", "a", " "})
        EXPECT_EQ(MessageOf([&] { open.DoLines(std::string("5") + bars, bitmap->Canvas()); }),
                  "TBarcode: internal Error")
            << bars;
}

TEST(BarcodePainting, ErrorsLeaveTheCanvasAsItWas)
{
    auto bitmap = WhiteBitmap(60, 30);
    TCanvas* canvas = bitmap->Canvas();
    canvas->Pen()->SetColor(clRed);
    canvas->Pen()->SetWidth(3);
    canvas->Brush()->SetColor(clLime);
    canvas->Font()->SetSize(12);

    // The text is refused before anything is painted.
    auto refused = MakeBarcode({bcCode93, "ab"});
    refused->SetHeight(20);
    EXPECT_THROW(refused->DrawBarcode(canvas), Exception);
    for (int x = 0; x < 60; ++x)
        ASSERT_EQ(PixelAt(*bitmap, x, 5), clWhite) << x;

    // An angle that is not a number fails in the middle of painting.
    auto failing = MakeBarcode({bcCode128B, "A"});
    failing->SetHeight(20);
    failing->SetShowText(true);
    failing->SetAngle(std::numeric_limits<double>::quiet_NaN());
    EXPECT_THROW(failing->DrawBarcode(canvas), Exception);
    EXPECT_EQ(canvas->Pen()->Color(), clRed);
    EXPECT_EQ(canvas->Pen()->Width(), 3);
    EXPECT_EQ(canvas->Brush()->Color(), clLime);
    EXPECT_EQ(canvas->Font()->Size(), 12);

    // And after a painting that succeeds, text included.
    failing->SetAngle(0);
    failing->DrawBarcode(canvas);
    EXPECT_EQ(canvas->Pen()->Color(), clRed);
    EXPECT_EQ(canvas->Brush()->Color(), clLime);
    EXPECT_EQ(canvas->Font()->Size(), 12);
}

// The rectangle of pixels that are not white, or an empty one.
TRect InkBox(TBitmap& bitmap)
{
    TRect box = Rect(bitmap.Width(), bitmap.Height(), -1, -1);
    for (int y = 0; y < bitmap.Height(); ++y)
        for (int x = 0; x < bitmap.Width(); ++x)
            if (PixelAt(bitmap, x, y) != clWhite) {
                box.Left = std::min(box.Left, x);
                box.Top = std::min(box.Top, y);
                box.Right = std::max(box.Right, x);
                box.Bottom = std::max(box.Bottom, y);
            }
    return box;
}

int InkCount(TBitmap& bitmap)
{
    int ink = 0;
    for (int y = 0; y < bitmap.Height(); ++y)
        for (int x = 0; x < bitmap.Width(); ++x)
            ink += PixelAt(bitmap, x, y) == clBlack ? 1 : 0;
    return ink;
}

TEST(BarcodePainting, ABarFillsItsWidthAndHeightAtEachAngle)
{
    // Origin (20, 20), Modul 2, Height 10. Box is left, top, right, bottom, all inclusive.
    const struct {
        const char* Bars;
        double Angle;
        TRect Box;
    } cases[] = {
        {"5", 0, Rect(20, 20, 21, 29)},
        {"5", 90, Rect(20, 19, 29, 20)},   // runs upwards, the bar grows to the right
        {"5", 180, Rect(19, 11, 20, 20)},  // mirrored through the origin
        {"5", 270, Rect(11, 20, 20, 21)},
        {"A", 0, Rect(20, 20, 21, 23)},    // two fifths of the height, next to the origin
        {"A", 180, Rect(19, 17, 20, 20)},
        {"05", 0, Rect(22, 20, 23, 29)},   // a space moves the next bar and paints white
        {"6", 0, Rect(20, 20, 23, 29)},    // module width 1 is Modul × Ratio
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.Bars) + " at " + std::to_string(c.Angle));
        auto bitmap = WhiteBitmap(40, 40);
        TOpenBarcode barcode;
        barcode.SetModul(2);
        barcode.SetHeight(10);
        barcode.SetLeft(20);
        barcode.SetTop(20);
        barcode.SetAngle(c.Angle);
        barcode.MakeModules();
        barcode.DoLines(c.Bars, bitmap->Canvas());
        EXPECT_EQ(InkBox(*bitmap), c.Box);
        const TRect& b = c.Box;
        EXPECT_EQ(InkCount(*bitmap), (b.Right - b.Left + 1) * (b.Bottom - b.Top + 1));
    }
}

// The rows of a 24-bit bitmap on which a whole barcode was painted, the canvas's pen in a given
// style.
std::string PaintedRows(const TBarcodeSetup& setup, double angle, TPenStyle penStyle)
{
    auto bitmap = WhiteBitmap(200, 200);
    bitmap->Canvas()->Brush()->SetColor(clYellow);
    bitmap->Canvas()->FillRect(Rect(0, 0, 200, 200));
    bitmap->Canvas()->Pen()->SetStyle(penStyle);
    auto barcode = MakeBarcode(setup);
    barcode->SetHeight(50);
    barcode->SetLeft(100);
    barcode->SetTop(100);
    barcode->SetAngle(angle);
    barcode->DrawBarcode(bitmap->Canvas());
    std::string rows;
    for (int y = 0; y < 200; ++y)
        rows.append(reinterpret_cast<const char*>(bitmap->ScanLine(y)), 3 * 200);
    return rows;
}

TEST(BarcodePainting, RectanglesAndPolygonsGiveTheSamePixels)
{
    // An inside-frame pen of width 1 draws as a solid one but makes every element a polygon.
    for (const TBarcodeSetup& setup : {TBarcodeSetup{bcCode128B, "Fattura 1"}, TBarcodeSetup{bcCodePostNet, "12345"},
                                       TBarcodeSetup{bcCodeEAN8, "1234567", true, 2}})
        for (double angle : {0.0, 90.0, 180.0, 270.0, -90.0, 1e-9, 30.0}) {
            SCOPED_TRACE(std::string(setup.Text) + " at " + std::to_string(angle));
            const std::string rows = PaintedRows(setup, angle, psSolid);
            EXPECT_NE(rows.find(std::string(3, '\0')), std::string::npos); // black was painted
            EXPECT_TRUE(rows == PaintedRows(setup, angle, psInsideFrame));
        }
}

TEST(BarcodePainting, NothingIsPaintedForEmptyElements)
{
    auto bitmap = WhiteBitmap(40, 40);
    TOpenBarcode barcode;
    barcode.SetHeight(2); // short bars of 2 × 2 div 5 = 0 rows
    barcode.SetRatio(0.2); // module width 1 rounds to 0
    barcode.SetTyp(bcCode128B);
    barcode.MakeModules();
    barcode.DoLines("A6B", bitmap->Canvas());
    EXPECT_EQ(InkCount(*bitmap), 0);
    barcode.SetHeight(0);
    barcode.DoLines("5", bitmap->Canvas());
    EXPECT_EQ(InkCount(*bitmap), 0);
}

} // namespace
