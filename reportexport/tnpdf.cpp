#include "reportexport/tnpdf.h"

#include "reportexport/JpgImg.h"
#include "reportexport/PdfObject.h"

#include "platform/gui/Bitmap.h"
#include "platform/gui/Image.h"
#include "platform/gui/Memo.h"
#include "platform/gui/Screen.h"
#include "platform/os/TempFiles.h"
#include "platform/rtl/DateTime.h"
#include "platform/rtl/Files.h"
#include "platform/rtl/SysErrors.h"

#include <cmath>

#include <zlib.h>

namespace tnpdfWriter {

const char* const BaseFontNames[] = {
    "Helvetica",   "Helvetica-Bold",   "Helvetica-Oblique",   "Helvetica-BoldOblique", "Courier",
    "Courier-Bold", "Courier-Oblique", "Courier-BoldOblique", "Times-Roman",           "Times-Bold",
    "Times-Italic", "Times-BoldItalic", "Symbol",              "ZapfDingbats"};
constexpr int StandardFontCount = 14;

// zlib format at the default level.
std::string Deflate(const char* data, std::size_t size)
{
    uLongf packedSize = compressBound(static_cast<uLong>(size));
    std::string packed(packedSize, '\0');
    if (compress2(reinterpret_cast<Bytef*>(packed.data()), &packedSize, reinterpret_cast<const Bytef*>(data),
                  static_cast<uLong>(size), Z_DEFAULT_COMPRESSION) != Z_OK)
        RAISE(EOutOfMemory("Out of memory"));
    packed.resize(packedSize);
    return packed;
}

void Append(TMemoryStream& target, const std::string& bytes)
{
    target.WriteBuffer(bytes.data(), static_cast<int>(bytes.size()));
}

void Append(TMemoryStream& target, TMemoryStream& source)
{
    target.WriteBuffer(source.Memory(), static_cast<int>(source.Size()));
}

std::string HexByte(unsigned value)
{
    static const char digits[] = "0123456789ABCDEF";
    return {digits[(value >> 4) & 15], digits[value & 15]};
}

// 256 entries "RRGGBB ", missing entries black.
std::string PaletteText(const std::vector<COLORREF>& colors)
{
    std::string text;
    text.reserve(256 * 7);
    for (std::size_t i = 0; i < 256; ++i) {
        const COLORREF color = i < colors.size() ? colors[i] : 0;
        text += HexByte(GetRValue(color)) + HexByte(GetGValue(color)) + HexByte(GetBValue(color)) + " ";
    }
    return text;
}

} // namespace tnpdfWriter

using namespace tnpdfWriter;

TPrintPDF::TPrintPDF(TComponent* AOwner) : TComponent(AOwner), FFont(std::make_unique<TPDFFont>()) {}

TPrintPDF::~TPrintPDF() = default;

// ---- Lines, objects and offsets ------------------------------------------------------------

void TPrintPDF::StreamWriteStr(TMemoryStream& buffer, const std::string& text)
{
    Append(buffer, text + "\r\n");
}

void TPrintPDF::AddToOffset(std::int64_t size)
{
    RunningOffset += size;
    Offsets.push_back(RunningOffset);
}

void TPrintPDF::BeginObject()
{
    ++ObjectCount;
    StreamWriteStr(ObjectBuffer, std::to_string(ObjectCount) + " 0 obj");
}

void TPrintPDF::FlushObject()
{
    AddToOffset(ObjectBuffer.Size());
    Append(FileBuffer, ObjectBuffer);
    ObjectBuffer.Clear();
}

std::string TPrintPDF::GetOffsetNumber(const std::string& text)
{
    return text.size() >= 10 ? text : std::string(10 - text.size(), '0') + text;
}

// ---- Document ------------------------------------------------------------------------------

void TPrintPDF::BeginDoc()
{
    FPictureFolder.reset();
    FPageNumber = 1;
    ObjectCount = 0;
    RunningOffset = 0;
    ImageCount = 0;
    FontCount = 0;
    PageObjectIndex = 0;
    StreamHeaderSize = 0;
    Offsets.clear();
    ContentObjects.clear();
    FontObjects.clear();
    FileBuffer.Clear();
    ObjectBuffer.Clear();
    ContentBuffer.Clear();
    ImageBuffer.Clear();
    DataBuffer.Clear();
    SetPDFHeader();
    SetDocInfo();
    StartStream();
}

void TPrintPDF::NewPage()
{
    EndStream();
    ++FPageNumber;
    StartStream();
}

void TPrintPDF::EndDoc()
{
    try {
        FinishDocument();
        TAtomicFileStream file(FileName);
        file.WriteBuffer(FileBuffer.Memory(), static_cast<int>(FileBuffer.Size()));
        file.Commit();
    } catch (...) {
        FPictureFolder.reset();
        throw;
    }
    FPictureFolder.reset();
}

void TPrintPDF::FinishDocument()
{
    EndStream();
    SetOutLine();
    SetFontType();
    SetPages();
    SetArray();
    for (int number = 1; number <= ImageCount; ++number)
        WriteBitmap(number);
    SetPageObject();
    SetCatalog();
    SetXref();
}

void TPrintPDF::SetPDFHeader()
{
    StreamWriteStr(FileBuffer, "%PDF-1.4");
    AddToOffset(FileBuffer.Size());
}

void TPrintPDF::SetDocInfo()
{
    using PdfObject::EscapeText;
    BeginObject();
    StreamWriteStr(ObjectBuffer, "<<");
    StreamWriteStr(ObjectBuffer, "/Producer (" + EscapeText(Producer) + ")");
    StreamWriteStr(ObjectBuffer, "/Author (" + EscapeText(Author) + ")");
    StreamWriteStr(ObjectBuffer, "/CreationDate (" + PdfObject::FormatPdfDate(Now()) + ")");
    StreamWriteStr(ObjectBuffer, "/Creator (" + EscapeText(Creator) + ")");
    StreamWriteStr(ObjectBuffer, "/Keywords (" + EscapeText(Keywords) + ")");
    StreamWriteStr(ObjectBuffer, "/Subject (" + EscapeText(Subject) + ")");
    StreamWriteStr(ObjectBuffer, "/Title (" + EscapeText(TITLE) + ")");
    StreamWriteStr(ObjectBuffer, "/ModDate ()");
    StreamWriteStr(ObjectBuffer, ">>");
    StreamWriteStr(ObjectBuffer, "endobj");
    FlushObject();
}

// The content stream of the current page stays in ObjectBuffer until the page ends.
void TPrintPDF::StartStream()
{
    BeginObject();
    StreamWriteStr(ObjectBuffer, "<< /Length " + std::to_string(ObjectCount + 1) + " 0 R");
    if (Compress)
        StreamWriteStr(ObjectBuffer, "/Filter [/FlateDecode]");
    StreamWriteStr(ObjectBuffer, " >>");
    StreamHeaderSize = ObjectBuffer.Size();
    StreamWriteStr(ObjectBuffer, "stream");
    ContentBuffer.Clear();
}

void TPrintPDF::EndStream()
{
    if (Compress)
        Append(ObjectBuffer, Deflate(ContentBuffer.Memory(), static_cast<std::size_t>(ContentBuffer.Size())));
    else
        Append(ObjectBuffer, ContentBuffer);
    ContentBuffer.Clear();
    Append(ObjectBuffer, "endstream\r\n");
    StreamWriteStr(ObjectBuffer, "endobj");
    // Without "stream" and "endstream", "endobj" and their line ends.
    const std::int64_t length = ObjectBuffer.Size() - StreamHeaderSize - 27;
    FlushObject();
    BeginObject();
    StreamWriteStr(ObjectBuffer, std::to_string(length));
    StreamWriteStr(ObjectBuffer, "endobj");
    FlushObject();
}

void TPrintPDF::SetOutLine()
{
    BeginObject();
    OutlinesObject = ObjectCount;
    StreamWriteStr(ObjectBuffer, "<< /Type /Outlines");
    StreamWriteStr(ObjectBuffer, "/Count 0");
    StreamWriteStr(ObjectBuffer, ">>");
    StreamWriteStr(ObjectBuffer, "endobj");
    FlushObject();
}

void TPrintPDF::SetFontType()
{
    for (const char* name : BaseFontNames)
        CreateFont("Type1", name, "WinAnsiEncoding");
}

void TPrintPDF::CreateFont(const std::string& subtype, const std::string& baseFont, const std::string& encoding)
{
    ++FontCount;
    BeginObject();
    FontObjects.push_back(ObjectCount);
    StreamWriteStr(ObjectBuffer, "<< /Type /Font");
    StreamWriteStr(ObjectBuffer, "/Subtype /" + subtype);
    StreamWriteStr(ObjectBuffer, "/Name /F" + std::to_string(FontCount));
    StreamWriteStr(ObjectBuffer, "/BaseFont /" + baseFont);
    StreamWriteStr(ObjectBuffer, "/Encoding /" + encoding);
    StreamWriteStr(ObjectBuffer, ">>");
    StreamWriteStr(ObjectBuffer, "endobj");
    FlushObject();
}

// The page objects follow the resources and the pictures.
void TPrintPDF::SetPages()
{
    BeginObject();
    PagesObject = ObjectCount;
    ResourcesObject = PagesObject + 1;
    const int firstPage = ResourcesObject + ImageCount + 1;
    StreamWriteStr(ObjectBuffer, "<< /Type /Pages");
    StreamWriteStr(ObjectBuffer, "/Kids [");
    ContentObjects.clear();
    for (int page = 0; page < FPageNumber; ++page) {
        StreamWriteStr(ObjectBuffer, std::to_string(firstPage + page) + " 0 R");
        ContentObjects.push_back(2 * (page + 1));
    }
    StreamWriteStr(ObjectBuffer, "]");
    StreamWriteStr(ObjectBuffer, "/Count " + std::to_string(FPageNumber));
    StreamWriteStr(ObjectBuffer, ">>");
    StreamWriteStr(ObjectBuffer, "endobj");
    FlushObject();
}

void TPrintPDF::SetArray()
{
    BeginObject();
    StreamWriteStr(ObjectBuffer, "<< /ProcSet [ /PDF /Text /ImageC]");
    StreamWriteStr(ObjectBuffer, "/XObject << ");
    for (int number = 1; number <= ImageCount; ++number)
        StreamWriteStr(ObjectBuffer,
                       "/Im" + std::to_string(number) + " " + std::to_string(ResourcesObject + number) + " 0 R");
    StreamWriteStr(ObjectBuffer, ">>");
    StreamWriteStr(ObjectBuffer, "/Font << ");
    for (int k = 0; k < StandardFontCount; ++k)
        StreamWriteStr(ObjectBuffer,
                       "/F" + std::to_string(k + 1) + " " + std::to_string(FontObjects[static_cast<std::size_t>(k)]) + " 0 R ");
    StreamWriteStr(ObjectBuffer, ">>");
    StreamWriteStr(ObjectBuffer, ">>");
    StreamWriteStr(ObjectBuffer, "endobj");
    FlushObject();
}

void TPrintPDF::WriteBitmap(int number)
{
    BeginObject();
    {
        TFileStream picture(PicturePath(number), fmOpenRead);
        ObjectBuffer.CopyFrom(picture, 0);
    }
    Append(ObjectBuffer, "\r\n");
    StreamWriteStr(ObjectBuffer, "endstream");
    StreamWriteStr(ObjectBuffer, "endobj");
    FlushObject();
}

void TPrintPDF::SetPageObject()
{
    for (PageObjectIndex = 0; PageObjectIndex < FPageNumber; ++PageObjectIndex) {
        BeginObject();
        StreamWriteStr(ObjectBuffer, "<< /Type /Page");
        StreamWriteStr(ObjectBuffer, "/Parent " + std::to_string(PagesObject) + " 0 R");
        StreamWriteStr(ObjectBuffer, "/MediaBox [ 0 0 " + std::to_string(PageWidth) + " " + std::to_string(PageHeight) + "]");
        StreamWriteStr(ObjectBuffer,
                       "/Contents " + std::to_string(ContentObjects[static_cast<std::size_t>(PageObjectIndex)]) + " 0 R");
        StreamWriteStr(ObjectBuffer, "/Resources " + std::to_string(ResourcesObject) + " 0 R");
        StreamWriteStr(ObjectBuffer, ">>");
        StreamWriteStr(ObjectBuffer, "endobj");
        FlushObject();
    }
}

void TPrintPDF::SetCatalog()
{
    BeginObject();
    CatalogObject = ObjectCount;
    StreamWriteStr(ObjectBuffer, "<< /Type /Catalog");
    StreamWriteStr(ObjectBuffer, "/Pages " + std::to_string(PagesObject) + " 0 R");
    StreamWriteStr(ObjectBuffer, "/Outlines " + std::to_string(OutlinesObject) + " 0 R");
    StreamWriteStr(ObjectBuffer, ">>");
    StreamWriteStr(ObjectBuffer, "endobj");
    FlushObject();
}

void TPrintPDF::SetXref()
{
    const std::string size = std::to_string(ObjectCount + 1);
    StreamWriteStr(FileBuffer, "xref");
    StreamWriteStr(FileBuffer, "0 " + size);
    StreamWriteStr(FileBuffer, "0000000000 65535 f");
    for (int number = 1; number <= ObjectCount; ++number)
        StreamWriteStr(FileBuffer, GetOffsetNumber(std::to_string(Offsets[static_cast<std::size_t>(number - 1)])) + " 00000 n");
    StreamWriteStr(FileBuffer, "trailer");
    StreamWriteStr(FileBuffer, "<< /Size " + size);
    StreamWriteStr(FileBuffer, "/Root " + std::to_string(CatalogObject) + " 0 R");
    StreamWriteStr(FileBuffer, "/Info 1 0 R");
    StreamWriteStr(FileBuffer, ">>");
    StreamWriteStr(FileBuffer, "startxref");
    StreamWriteStr(FileBuffer, std::to_string(Offsets.back()));
    StreamWriteStr(FileBuffer, "%%EOF");
}

// ---- Drawing -------------------------------------------------------------------------------

void TPrintPDF::DrawLine(int x1, int y1, int x2, int y2)
{
    StreamWriteStr(ContentBuffer, std::to_string(x1) + " " + std::to_string(PageHeight - y1) + " m");
    StreamWriteStr(ContentBuffer, std::to_string(x2) + " " + std::to_string(PageHeight - y2) + " l");
    StreamWriteStr(ContentBuffer, std::to_string(LineWidth) + " w");
    StreamWriteStr(ContentBuffer, "S");
}

void TPrintPDF::DrawRectangle(int x1, int y1, int x2, int y2)
{
    DrawLine(x1, y1, x1, y2);
    DrawLine(x1, y2, x2, y2);
    DrawLine(x2, y2, x2, y1);
    DrawLine(x2, y1, x1, y1);
}

void TPrintPDF::TextOut(int x, int y, const std::string& text)
{
    StreamWriteStr(ContentBuffer, "BT");
    StreamWriteStr(ContentBuffer, "/F" + std::to_string(FFont->Name + 1) + " " + std::to_string(FFont->Size) + " Tf");
    StreamWriteStr(ContentBuffer, std::to_string(x) + " " + std::to_string(PageHeight - y) + " Td");
    StreamWriteStr(ContentBuffer, "(" + PdfObject::EscapeText(text) + ") Tj");
    StreamWriteStr(ContentBuffer, "ET");
}

void TPrintPDF::MemoOut(int x, int y, TMemo* memo)
{
    StreamWriteStr(ContentBuffer, "BT");
    StreamWriteStr(ContentBuffer, "/F" + std::to_string(FFont->Name + 1) + " " + std::to_string(FFont->Size) + " Tf");
    StreamWriteStr(ContentBuffer, std::to_string(x) + " " + std::to_string(PageHeight - y) + " Td");
    TStrings* lines = memo->Lines();
    for (int i = 0; i < lines->Count(); ++i) {
        StreamWriteStr(ContentBuffer, "(" + PdfObject::EscapeText(lines->Strings(i)) + ") Tj");
        StreamWriteStr(ContentBuffer, "0 -12.5 TD");
    }
    StreamWriteStr(ContentBuffer, "ET");
}

// The picture of the screen-sized bitmap fills the page at the screen's resolution: 10 × 11.9
// inches of picture for a portrait page; DrawBitmap and DrawJPEG take 13 × 8 on a page that is
// not taller than wide.
void TPrintPDF::PlacePicture(int x, int y, int width, int height, TPictureScale scale)
{
    const double dpi = Screen->PixelsPerInch();
    double across = 10 * dpi;
    double down = 11.9 * dpi;
    if (scale == TPictureScale::PageShape && PageWidth >= PageHeight) {
        across = 13 * dpi;
        down = 8 * dpi;
    }
    const int w = static_cast<int>(std::trunc(width * static_cast<double>(PageWidth) / across));
    const int h = static_cast<int>(std::trunc(height * static_cast<double>(PageHeight) / down));
    ++ImageCount;
    StreamWriteStr(ContentBuffer, "q");
    StreamWriteStr(ContentBuffer, std::to_string(w) + " 0 0 " + std::to_string(h) + " " + std::to_string(x) + " " +
                                      std::to_string(PageHeight - y - h) + " cm");
    StreamWriteStr(ContentBuffer, "/Im" + std::to_string(ImageCount) + " Do");
    StreamWriteStr(ContentBuffer, "Q");
}

void TPrintPDF::ImageOut(int x, int y, TImage* image)
{
    TBitmap* bitmap = image->Picture()->Bitmap();
    PlacePicture(x, y, bitmap->Width(), bitmap->Height(), TPictureScale::Portrait);
    SetBitmap(bitmap);
}

void TPrintPDF::DrawBitmap(int x, int y, TBitmap* bitmap)
{
    PlacePicture(x, y, bitmap->Width(), bitmap->Height(), TPictureScale::PageShape);
    SetBitmap(bitmap);
}

void TPrintPDF::DrawJPEG(int x, int y, TBitmap* bitmap)
{
    PlacePicture(x, y, bitmap->Width(), bitmap->Height(), TPictureScale::PageShape);
    SetJPEG(bitmap);
}

// ---- Pictures ------------------------------------------------------------------------------

std::string TPrintPDF::PicturePath(int number)
{
    if (!FPictureFolder) {
        FPictureFolder = std::make_unique<TTempFolder>("tess-pdf");
        if (FPictureFolder->Path().empty()) {
            const std::string reason = SysErrorMessage(GetLastError());
            FPictureFolder.reset();
            RAISE(EFCreateError("Cannot create a temporary folder. " + reason));
        }
    }
    return IncludeTrailingBackslash(FPictureFolder->Path()) + "~tmpim" + std::to_string(number);
}

void TPrintPDF::SavePicture(int number)
{
    TFileStream file(PicturePath(number), fmCreate);
    file.WriteBuffer(ImageBuffer.Memory(), static_cast<int>(ImageBuffer.Size()));
    ImageBuffer.Clear();
}

// 8 bits per pixel: the rows' palette indices without padding, top row first, and the palette.
void TPrintPDF::SetBitmap(TBitmap* bitmap)
{
    std::unique_ptr<TBitmap> converted;
    if (bitmap->PixelFormat() != pf8bit) {
        converted = std::make_unique<TBitmap>();
        converted->Assign(bitmap);
        converted->SetPixelFormat(pf8bit);
        bitmap = converted.get();
    }
    const int width = bitmap->Width();
    const int height = bitmap->Height();
    DataBuffer.Clear();
    for (int row = 0; row < height; ++row)
        DataBuffer.WriteBuffer(bitmap->ScanLine(row), width);
    const std::string data = Compress ? Deflate(DataBuffer.Memory(), static_cast<std::size_t>(DataBuffer.Size()))
                                      : std::string(DataBuffer.Memory(), static_cast<std::size_t>(DataBuffer.Size()));
    DataBuffer.Clear();

    ImageBuffer.Clear();
    StreamWriteStr(ImageBuffer, "<< /Type /XObject");
    StreamWriteStr(ImageBuffer, "/Subtype /Image");
    StreamWriteStr(ImageBuffer, "/Width " + std::to_string(width));
    StreamWriteStr(ImageBuffer, "/Height " + std::to_string(height));
    StreamWriteStr(ImageBuffer, "/ColorSpace [/Indexed /DeviceRGB 255 <" + PaletteText(bitmap->PaletteColors()) + ">]");
    StreamWriteStr(ImageBuffer, "/BitsPerComponent 8");
    StreamWriteStr(ImageBuffer, "/Length " + std::to_string(data.size()));
    StreamWriteStr(ImageBuffer, "/Name /Im" + std::to_string(ImageCount));
    if (Compress)
        StreamWriteStr(ImageBuffer, "/Filter [/FlateDecode]");
    StreamWriteStr(ImageBuffer, ">>");
    StreamWriteStr(ImageBuffer, "stream");
    Append(ImageBuffer, data);
    SavePicture(ImageCount);
}

void TPrintPDF::SetJPEG(TBitmap* bitmap)
{
    TJPEGImage jpeg(nullptr);
    jpeg.Picture()->SetGraphic(bitmap);
    DataBuffer.Clear();
    jpeg.SaveToStream(&DataBuffer);

    ImageBuffer.Clear();
    StreamWriteStr(ImageBuffer, "<< /Type /XObject");
    StreamWriteStr(ImageBuffer, "/Subtype /Image");
    StreamWriteStr(ImageBuffer, "/Width " + std::to_string(bitmap->Width()));
    StreamWriteStr(ImageBuffer, "/Height " + std::to_string(bitmap->Height()));
    StreamWriteStr(ImageBuffer, "/ColorSpace /DeviceRGB");
    StreamWriteStr(ImageBuffer, "/BitsPerComponent 8");
    StreamWriteStr(ImageBuffer, "/Length " + std::to_string(DataBuffer.Size()));
    StreamWriteStr(ImageBuffer, "/Name /Im" + std::to_string(ImageCount));
    StreamWriteStr(ImageBuffer, "/Filter [/DCTDecode]");
    StreamWriteStr(ImageBuffer, ">>");
    StreamWriteStr(ImageBuffer, "stream");
    Append(ImageBuffer, DataBuffer);
    DataBuffer.Clear();
    SavePicture(ImageCount);
}
