#include "reportexport/PdfImages.h"

#include "platform/gui/Bitmap.h"
#include "platform/rtl/Formats.h"

#include <cstdio>

namespace {

constexpr int LookupEntries = 256;

void AddImageHeader(TPdfImage& image)
{
    TPdfDictionary& attributes = image.Attributes();
    attributes.Add("Type", std::make_unique<TPdfName>("XObject"));
    attributes.Add("Subtype", std::make_unique<TPdfName>("Image"));
}

// The class library keeps 1 and 4-bit pictures as palette indices once widened to 8 bits; every
// other format is read as blue, green, red triples.
TPixelFormat ImageFormatOf(TPixelFormat format)
{
    switch (format) {
    case pf1bit:
    case pf4bit:
    case pf8bit:
        return pf8bit;
    default:
        return pf24bit;
    }
}

void WriteIndexedRows(TBitmap& bitmap, TMemoryStream& data)
{
    const int width = bitmap.Width();
    for (int row = 0; row < bitmap.Height(); ++row)
        data.WriteBuffer(bitmap.ScanLine(row), width);
}

void WriteRgbRows(TBitmap& bitmap, TMemoryStream& data)
{
    const int width = bitmap.Width();
    std::string row(static_cast<std::size_t>(width) * 3, '\0');
    for (int y = 0; y < bitmap.Height(); ++y) {
        const std::uint8_t* pixels = bitmap.ScanLine(y);
        for (int x = 0; x < width; ++x) {
            row[x * 3] = static_cast<char>(pixels[x * 3 + 2]);
            row[x * 3 + 1] = static_cast<char>(pixels[x * 3 + 1]);
            row[x * 3 + 2] = static_cast<char>(pixels[x * 3]);
        }
        data.WriteBuffer(row.data(), static_cast<int>(row.size()));
    }
}

} // namespace

std::unique_ptr<TPdfImage> TPdfImageCreator::CreateImage(TGraphic* /*graphic*/) { return nullptr; }

std::unique_ptr<TPdfArray> TPdfImageCreator::CreateIndexedColorSpace(TBitmap& bitmap)
{
    if (bitmap.PixelFormat() != pf8bit)
        RAISE(EPdfInvalidImageFormat("only 8 bit color image is allowed."));
    const std::vector<COLORREF>& palette = bitmap.PaletteColors();
    if (palette.empty())
        RAISE(EPdfInvalidImageFormat("failed to get Palette.."));

    std::string lookup = "<";
    for (int i = 0; i < LookupEntries; ++i) {
        const COLORREF colour = i < static_cast<int>(palette.size()) ? palette[static_cast<std::size_t>(i)] : 0;
        char entry[8];
        std::snprintf(entry, sizeof entry, "%02X%02X%02X ", static_cast<unsigned>(colour & 0xFF),
                      static_cast<unsigned>((colour >> 8) & 0xFF), static_cast<unsigned>((colour >> 16) & 0xFF));
        lookup += entry;
    }
    lookup += '>';
    auto lookupObject = std::make_unique<TPdfBinary>();
    lookupObject->Stream().WriteBuffer(lookup.data(), static_cast<int>(lookup.size()));

    auto colorSpace = std::make_unique<TPdfArray>();
    colorSpace->Add(std::make_unique<TPdfName>("Indexed"));
    colorSpace->Add(std::make_unique<TPdfName>("DeviceRGB"));
    colorSpace->Add(std::make_unique<TPdfNumber>(LookupEntries - 1));
    colorSpace->Add(std::move(lookupObject));
    return colorSpace;
}

std::unique_ptr<TPdfImage> TPdfBitmapImage::CreateImage(TGraphic* graphic)
{
    auto image = std::make_unique<TPdfImage>();
    AddImageHeader(*image);
    TBitmap bitmap;
    bitmap.Assign(graphic);
    TPdfDictionary& attributes = image->Attributes();
    if (ImageFormatOf(bitmap.PixelFormat()) == pf8bit) {
        bitmap.SetPixelFormat(pf8bit);
        WriteIndexedRows(bitmap, image->Stream());
        attributes.Add("ColorSpace", CreateIndexedColorSpace(bitmap));
    } else {
        bitmap.SetPixelFormat(pf24bit);
        WriteRgbRows(bitmap, image->Stream());
        attributes.Add("ColorSpace", std::make_unique<TPdfName>("DeviceRGB"));
    }
    attributes.Add("Width", std::make_unique<TPdfNumber>(bitmap.Width()));
    attributes.Add("Height", std::make_unique<TPdfNumber>(bitmap.Height()));
    attributes.Add("BitsPerComponent", std::make_unique<TPdfNumber>(8));
    attributes.ArrayOf("Filter")->Add(std::make_unique<TPdfName>("FlateDecode"));
    return image;
}

std::unique_ptr<TPdfImage> CreatePdfImage(TGraphic* graphic, const std::string& creatorName)
{
    const TPersistentClass& creatorClass = FindClass(creatorName);
    std::unique_ptr<TPersistent> instance(creatorClass.Create(nullptr));
    auto* creator = dynamic_cast<TPdfImageCreator*>(instance.get());
    if (!creator)
        RAISE(EClassNotFound(Format("Class %s not found", {creatorName})));
    return creator->CreateImage(graphic);
}

void RegisterPdfImages()
{
    RegisterClass("Pdf-Bitmap", [](TComponent*) -> TPersistent* { return new TPdfBitmapImage; });
}

void UnRegisterPdfImages() { UnRegisterClass("Pdf-Bitmap"); }
