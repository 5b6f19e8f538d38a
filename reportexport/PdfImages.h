#pragma once
// Pictures as PDF image external objects. An image creator turns a graphic into a TPdfImage:
// a palette bitmap becomes an indexed-colour image with its palette as lookup table, anything
// else a 24-bit RGB image. The pixel data is always deflated, whatever the document's
// compression. Creators are found in the class registry by name ("Pdf-Bitmap").

#include "reportexport/PdfObject.h"

#include "platform/rtl/Classes.h"

#include <memory>
#include <string>

class TBitmap;
class TGraphic;

TESS_EXCEPTION(EPdfInvalidImageFormat, Exception)

class TPdfImageCreator : public TPersistent {
    TESS_CLASS(TPdfImageCreator, TPersistent)
public:
    // nullptr in this base class.
    virtual std::unique_ptr<TPdfImage> CreateImage(TGraphic* graphic);
    // [/Indexed /DeviceRGB 255 <lookup>] of an 8-bit bitmap: 256 entries of six hexadecimal
    // digits and a blank, the entries beyond the palette black.
    std::unique_ptr<TPdfArray> CreateIndexedColorSpace(TBitmap& bitmap);
};

class TPdfBitmapImage : public TPdfImageCreator {
    TESS_CLASS(TPdfBitmapImage, TPdfImageCreator)
public:
    std::unique_ptr<TPdfImage> CreateImage(TGraphic* graphic) override;
};

// The image the creator registered under creatorName makes of graphic (EClassNotFound for a
// name that is not registered). The caller owns it until AddImage.
std::unique_ptr<TPdfImage> CreatePdfImage(TGraphic* graphic, const std::string& creatorName);

// "Pdf-Bitmap" in the class registry.
void RegisterPdfImages();
void UnRegisterPdfImages();
