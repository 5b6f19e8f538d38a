#pragma once
// RTF export of a prepared report: one paragraph per text line with a tab stop per piece, the
// pieces' fonts, sizes, styles and colours, and the pictures of each page in positioned frames.
// The body waits in memory until the document ends, when the font and colour tables are known.

#include "reportexport/RP_E_TXT.h"

#include <cstdint>
#include <string>
#include <vector>

class TrpRTFExportFilter : public TrpTextExportFilter {
    TESS_CLASS(TrpRTFExportFilter, TrpTextExportFilter)
public:
    // Writes the document's header.
    explicit TrpRTFExportFilter(TStream* stream);

    void OnData(int x, int y, TrpView* view) override;
    void OnEndPage() override;
    // Writes the tables and the body.
    void OnEndDoc() override;

    static TrpExportFilterClass ClassEntry();

private:
    // A picture of the page: the object's position and size in page pixels, the graphic's size
    // and the graphic as a BMP file.
    struct TPagePicture {
        int X = 0, Y = 0, Width = 0, Height = 0;
        int PictureWidth = 0, PictureHeight = 0;
        std::string Bitmap;
    };

    void WritePicture(const TPagePicture& picture);
    void WriteTextLine(const TextLineItem* first);
    int FontIndex(const std::string& name);
    int ColorIndex(TColor color);
    std::string FontTable() const;
    std::string ColorTable() const;

    std::string Body;
    std::vector<std::string> FontList;
    std::vector<TColor> ColorList;
    std::vector<TPagePicture> Pictures;
    bool PageWritten = false;
};

class TrpRTFExport : public TComponent {
    TESS_CLASS(TrpRTFExport, TComponent)
public:
    explicit TrpRTFExport(TComponent* owner) : TComponent(owner) {}
};
