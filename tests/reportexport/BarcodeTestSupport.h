#pragma once
// What the barcode tests share: the application the canvases need, barcodes set up in one call,
// and white bitmaps whose pixels the tests read.

#include "reportexport/Barcode.h"

#include "platform/gui/Bitmap.h"

#include <memory>
#include <string>

namespace BarcodeTestSupport {

// The visual layer's application, made once (canvases and fonts need it).
void EnsureApplication();

struct TBarcodeSetup {
    TBarcodeType Type = Barcode::bcCodeEAN13;
    std::string Text;
    bool Checksum = false;
    int Modul = 1;
    double Ratio = 2.0;
};

std::unique_ptr<TBarcode> MakeBarcode(const TBarcodeSetup& setup);

// A white 24-bit bitmap.
std::unique_ptr<TBitmap> WhiteBitmap(int width, int height);
TColor PixelAt(TBitmap& bitmap, int x, int y);

} // namespace BarcodeTestSupport
