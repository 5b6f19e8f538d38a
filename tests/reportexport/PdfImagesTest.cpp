// Pictures turned into PDF image objects: the pixel bytes before compression, the colour space of
// palette and true-colour bitmaps, the dictionary as it is written, and the refusals.

#include "PdfTestSupport.h"

#include "reportexport/PdfImages.h"

#include "platform/gui/Bitmap.h"

#include <gtest/gtest.h>

#include <zlib.h>

using namespace PdfTestSupport;

namespace {

std::string Inflate(const std::string& deflated)
{
    std::string result(1 << 20, '\0');
    uLongf size = static_cast<uLongf>(result.size());
    const int status = uncompress(reinterpret_cast<Bytef*>(result.data()), &size,
                                  reinterpret_cast<const Bytef*>(deflated.data()), static_cast<uLong>(deflated.size()));
    EXPECT_EQ(status, Z_OK);
    result.resize(size);
    return result;
}

// The dictionary text and the inflated data of an image as a document writes it.
struct TWrittenImage {
    std::string Dictionary;
    std::string Data;
    std::string Deflated;
};

TWrittenImage WriteImage(TPdfImage& image)
{
    const std::string text = WrittenValue(image);
    const std::size_t start = text.find("stream\r\n");
    const std::size_t end = text.rfind("endstream");
    EXPECT_NE(start, std::string::npos);
    EXPECT_NE(end, std::string::npos);
    TWrittenImage written;
    written.Dictionary = text.substr(0, start);
    written.Deflated = text.substr(start + 8, end - start - 8);
    while (!written.Deflated.empty() && (written.Deflated.back() == '\n' || written.Deflated.back() == '\r'))
        written.Deflated.pop_back();
    written.Data = Inflate(written.Deflated);
    return written;
}

void PaintPixels(TBitmap& bitmap, const std::vector<TColor>& colours)
{
    for (std::size_t i = 0; i < colours.size(); ++i)
        bitmap.Canvas()->SetPixels(static_cast<int>(i) % bitmap.Width(), static_cast<int>(i) / bitmap.Width(),
                                   colours[i]);
}

} // namespace

TEST(PdfImages, TrueColourBitmapGivesRgbBytesTopRowFirst)
{
    TBitmap bitmap;
    bitmap.SetPixelFormat(pf24bit);
    bitmap.SetSize(2, 1);
    PaintPixels(bitmap, {clRed, clBlue});
    std::unique_ptr<TPdfImage> image = CreatePdfImage(&bitmap, "Pdf-Bitmap");
    const TWrittenImage written = WriteImage(*image);
    EXPECT_EQ(written.Data, std::string("\xFF\x00\x00\x00\x00\xFF", 6));
    const std::string expected = "<<\r\n/Length " + std::to_string(written.Deflated.size()) +
                                 "\r\n/Filter [/FlateDecode ]\r\n/Type /XObject\r\n/Subtype /Image\r\n"
                                 "/ColorSpace /DeviceRGB\r\n/Width 2\r\n/Height 1\r\n/BitsPerComponent 8\r\n>>\r\n";
    EXPECT_EQ(written.Dictionary, expected);
}

TEST(PdfImages, RowsComeTopFirstInEveryFormat)
{
    struct TCase {
        TPixelFormat Format;
        bool Indexed;
    };
    const TCase cases[] = {{pfDevice, false}, {pf1bit, true},   {pf4bit, true},   {pf8bit, true},
                           {pf15bit, false},  {pf16bit, false}, {pf24bit, false}, {pf32bit, false}};
    for (const TCase& c : cases) {
        TBitmap bitmap;
        bitmap.SetPixelFormat(pf24bit);
        bitmap.SetSize(3, 2);
        PaintPixels(bitmap, {clBlack, clBlack, clBlack, clWhite, clWhite, clWhite});
        bitmap.SetPixelFormat(c.Format);
        std::unique_ptr<TPdfImage> image = CreatePdfImage(&bitmap, "Pdf-Bitmap");
        const TWrittenImage written = WriteImage(*image);
        SCOPED_TRACE(static_cast<int>(c.Format));
        if (c.Indexed) {
            ASSERT_EQ(written.Data.size(), 6u);
            const std::string& lookup = written.Dictionary;
            // The top row's index names black in the lookup, the bottom row's white.
            const std::size_t table = lookup.find('<', lookup.find("/Indexed"));
            ASSERT_NE(table, std::string::npos);
            const auto entry = [&](char index) {
                return lookup.substr(table + 1 + static_cast<unsigned char>(index) * 7, 6);
            };
            EXPECT_EQ(entry(written.Data[0]), "000000");
            EXPECT_EQ(entry(written.Data[5]), "FFFFFF");
        } else {
            EXPECT_EQ(written.Data, std::string(9, '\0') + std::string(9, '\xFF'));
            EXPECT_NE(written.Dictionary.find("/ColorSpace /DeviceRGB"), std::string::npos);
        }
    }
}

TEST(PdfImages, MonochromeBitmapBecomesIndexedWithFullLookup)
{
    TBitmap bitmap;
    bitmap.SetPixelFormat(pf1bit);
    bitmap.SetSize(4, 1);
    std::unique_ptr<TPdfImage> image = CreatePdfImage(&bitmap, "Pdf-Bitmap");
    const TWrittenImage written = WriteImage(*image);
    const std::size_t start = written.Dictionary.find("/ColorSpace [/Indexed /DeviceRGB 255 <");
    ASSERT_NE(start, std::string::npos) << written.Dictionary;
    const std::size_t open = written.Dictionary.find('<', start);
    const std::size_t close = written.Dictionary.find('>', open);
    const std::string lookup = written.Dictionary.substr(open, close - open + 1);
    EXPECT_EQ(lookup.size(), 1794u);
    // A new bitmap is white: every pixel names a white entry.
    EXPECT_EQ(written.Data, std::string(4, written.Data[0]));
    EXPECT_EQ(lookup.substr(1 + static_cast<unsigned char>(written.Data[0]) * 7, 7), "FFFFFF ");
    // Entries beyond the palette are black.
    EXPECT_EQ(lookup.substr(lookup.size() - 8), "000000 >");
    EXPECT_EQ(written.Dictionary.substr(close, 4), "> ]\r");
    EXPECT_EQ(written.Data.size(), 4u);
}

TEST(PdfImages, Refusals)
{
    TBitmap trueColour;
    trueColour.SetPixelFormat(pf24bit);
    trueColour.SetSize(1, 1);
    TPdfBitmapImage creator;
    try {
        creator.CreateIndexedColorSpace(trueColour);
        ADD_FAILURE() << "no exception";
    } catch (const EPdfInvalidImageFormat& e) {
        EXPECT_STREQ(e.what(), "only 8 bit color image is allowed.");
    }
    EXPECT_THROW(CreatePdfImage(&trueColour, "Pdf-Nothing"), EClassNotFound);
    EXPECT_EQ(TPdfImageCreator().CreateImage(&trueColour), nullptr);
}
