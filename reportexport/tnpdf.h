#pragma once
// TPrintPDF: writes a PDF 1.4 file directly, line by line, without an object model. A document
// is begun, its pages get lines, rectangles, texts and pictures, and at the end the remaining
// objects, the cross-reference table and the trailer are appended and the file is saved at once.
//
// Layout for P pages and I pictures, N = 3P + 19 + I objects: 1 information; 2p the content
// stream of page p and 2p + 1 its length; 2P + 2 the outline root; 2P + 3 to 2P + 16 the 14
// standard fonts; 2P + 17 the page tree; 2P + 18 the resources shared by all pages; 2P + 18 + i
// picture i; 2P + 18 + I + p page p; N the catalog.
//
// Pictures wait in files "~tmpim" + number inside a temporary folder of the document until the
// end, so that many full-page pictures are not held in memory twice. The folder goes away at
// EndDoc, at the next BeginDoc, with the writer and after a failure.

#include "platform/rtl/Classes.h"
#include "platform/rtl/Streams.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class TBitmap;
class TImage;
class TMemo;
class TTempFolder;

namespace tnpdf {
enum TPDFFontName {
    poHelvetica,
    poHelveticaBold,
    poHelveticaOblique,
    poHelveticaBoldOblique,
    poCourier,
    poCourierBold,
    poCourierOblique,
    poCourierBoldOblique,
    poTimesRoman,
    poTimesBold,
    poTimesItalic,
    poTimesBoldItalic,
    poSymbol,
    poZapfDingbats
};
} // namespace tnpdf

using tnpdf::TPDFFontName;

class TPDFFont : public TObject {
    TESS_CLASS(TPDFFont, TObject)
public:
    TPDFFontName Name = tnpdf::poCourier;
    int Size = 12;
};

class TPrintPDF : public TComponent {
    TESS_CLASS(TPrintPDF, TComponent)
public:
    explicit TPrintPDF(TComponent* AOwner);
    ~TPrintPDF() override;

    std::string FileName;
    std::string TITLE;
    std::string Author;
    std::string Creator;
    std::string Keywords;
    std::string Subject;
    std::string Producer;
    // Page size in PDF units (1/72 inch); the size in force at EndDoc applies to every page.
    int PageWidth = 612;
    int PageHeight = 792;
    int LineWidth = 1;
    // Deflates the content streams and the indexed pictures.
    bool Compress = true;
    TPDFFont* Font() const { return FFont.get(); }
    int PageNumber() const { return FPageNumber; }

    void BeginDoc();
    void NewPage();
    // Saves the file through a temporary name: a failure leaves any previous file as it was.
    void EndDoc();

    // Coordinates are PDF units with y from the top of the page.
    void DrawLine(int x1, int y1, int x2, int y2);
    void DrawRectangle(int x1, int y1, int x2, int y2);
    void TextOut(int x, int y, const std::string& text);
    void MemoOut(int x, int y, TMemo* memo);
    void Draw(int x, int y, TImage* image) { ImageOut(x, y, image); }
    void ImageOut(int x, int y, TImage* image);
    // A picture of the bitmap as 8-bit indexed colours, or as a JPEG.
    void DrawBitmap(int x, int y, TBitmap* bitmap);
    void DrawJPEG(int x, int y, TBitmap* bitmap);

protected:
    void SetPDFHeader();
    void SetDocInfo();
    void StartStream();
    void EndStream();
    void SetOutLine();
    void SetFontType();
    void CreateFont(const std::string& subtype, const std::string& baseFont, const std::string& encoding);
    void SetPages();
    void SetArray();
    void WriteBitmap(int number);
    void SetPageObject();
    void SetCatalog();
    void SetXref();
    void SetBitmap(TBitmap* bitmap);
    void SetJPEG(TBitmap* bitmap);
    static std::string GetOffsetNumber(const std::string& text);

private:
    enum class TPictureScale { Portrait, PageShape };
    void StreamWriteStr(TMemoryStream& buffer, const std::string& text);
    void AddToOffset(std::int64_t size);
    // The object in ObjectBuffer goes to the file, its size to the offsets.
    void FlushObject();
    void BeginObject();
    void PlacePicture(int x, int y, int width, int height, TPictureScale scale);
    void FinishDocument();
    void SavePicture(int number);
    std::string PicturePath(int number);

    std::unique_ptr<TPDFFont> FFont;
    int FPageNumber = 0;

    TMemoryStream FileBuffer;
    TMemoryStream ObjectBuffer;
    TMemoryStream ContentBuffer;
    TMemoryStream ImageBuffer;
    TMemoryStream DataBuffer;
    std::vector<std::int64_t> Offsets;
    std::vector<int> ContentObjects;
    std::vector<int> FontObjects;
    int ObjectCount = 0;
    std::int64_t RunningOffset = 0;
    int ImageCount = 0;
    int FontCount = 0;
    int PageObjectIndex = 0;
    int PagesObject = 0;
    int ResourcesObject = 0;
    int OutlinesObject = 0;
    int CatalogObject = 0;
    std::int64_t StreamHeaderSize = 0;
    std::unique_ptr<TTempFolder> FPictureFolder;
};
