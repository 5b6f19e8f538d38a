#include "BarcodeTestSupport.h"

#include "platform/gui/Application.h"

#include <cstdlib>

namespace BarcodeTestSupport {

void EnsureApplication()
{
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    Application->Initialize();
}

std::unique_ptr<TBarcode> MakeBarcode(const TBarcodeSetup& setup)
{
    auto barcode = std::make_unique<TBarcode>(nullptr);
    barcode->SetTyp(setup.Type);
    barcode->SetText(setup.Text);
    barcode->SetChecksum(setup.Checksum);
    barcode->SetModul(setup.Modul);
    barcode->SetRatio(setup.Ratio);
    return barcode;
}

std::unique_ptr<TBitmap> WhiteBitmap(int width, int height)
{
    EnsureApplication();
    auto bitmap = std::make_unique<TBitmap>();
    bitmap->SetPixelFormat(pf24bit);
    bitmap->SetSize(width, height);
    bitmap->Canvas()->Brush()->SetColor(clWhite);
    bitmap->Canvas()->FillRect(Rect(0, 0, width, height));
    return bitmap;
}

TColor PixelAt(TBitmap& bitmap, int x, int y)
{
    return bitmap.Canvas()->Pixels(x, y);
}

} // namespace BarcodeTestSupport
