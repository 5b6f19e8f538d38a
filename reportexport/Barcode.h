#pragma once
// TBarcode: turns a text into the bars and spaces of one of fifteen linear symbologies and paints
// them on a canvas at a position, a bar height and an angle.
//
// The encoders make a bar string, one character per element:
//   "0" to "3"  a space of module width 0 to 3
//   "5" to "8"  a full-height bar of module width 0 to 3
//   "A" to "D"  a short bar (two fifths of the height) of module width 0 to 3
// Module width 0 is Modul, 1 is Modul × Ratio, 2 is one and a half times width 1 and 3 twice it.

#include "platform/rtl/Classes.h"

#include <string>

class TCanvas;

namespace Barcode {

enum TBarcodeType {
    bcCode_2_5_interleaved,
    bcCode_2_5_industrial,
    bcCode_2_5_matrix,
    bcCode39,
    bcCode39Extended,
    bcCode128A,
    bcCode128B,
    bcCode128C,
    bcCode93,
    bcCode93Extended,
    bcCodeMSI,
    bcCodePostNet,
    bcCodeCodabar,
    bcCodeEAN8,
    bcCodeEAN13
};

enum TBarLineType { white, black, black_half };

} // namespace Barcode

using Barcode::TBarcodeType;
using Barcode::TBarLineType;

class TBarcode : public TComponent {
    TESS_CLASS(TBarcode, TComponent)
public:
    explicit TBarcode(TComponent* AOwner);

    // Bar height in canvas units.
    int Height() const { return FHeight; }
    void SetHeight(int value) { FHeight = value; }
    const std::string& Text() const { return FText; }
    void SetText(const std::string& value) { FText = value; }
    // The origin of the bars on the canvas.
    int Top() const { return FTop; }
    void SetTop(int value) { FTop = value; }
    int Left() const { return FLeft; }
    void SetLeft(int value) { FLeft = value; }
    // Width of the narrowest element: 1 to 49; any other value is ignored.
    int Modul() const { return FModul; }
    void SetModul(int value);
    // Wide-to-narrow ratio. Encoding clamps it in place for the symbologies that limit it.
    double Ratio() const { return FRatio; }
    void SetRatio(double value) { FRatio = value; }
    TBarcodeType Typ() const { return FTyp; }
    void SetTyp(TBarcodeType value) { FTyp = value; }
    // Adds the optional check character of Code 39, EAN-8 and EAN-13.
    bool Checksum() const { return FCheckSum; }
    void SetChecksum(bool value) { FCheckSum = value; }
    // Rotation in degrees, counter-clockwise on the screen.
    double Angle() const { return FAngle; }
    void SetAngle(double value) { FAngle = value; }
    // Writes the text and the name of the symbology at the origin after the bars.
    bool ShowText() const { return FShowText; }
    void SetShowText(bool value) { FShowText = value; }
    int Width() { return GetWidth(); }

    // The total width of the bars and spaces in canvas units.
    int GetWidth();
    // The bar string of Text. Text that the symbology cannot encode raises Exception
    // "TBarcode: bad Data <text>" ("TBarcode:Code93 bad Data <text>" for Code 93); a non-digit
    // in the digits of an EAN raises EConvertError. Nothing is painted before this succeeds.
    std::string MakeData();
    // Paints the bars (and the text with ShowText); the canvas gets its font, pen and brush
    // back, also when painting fails.
    void DrawBarcode(TCanvas* canvas);
    // The display name of Typ.
    std::string GetTypText() const;

protected:
    // Width in canvas units and line type of one bar-string character; any other character
    // raises "TBarcode: internal Error".
    void OneBarProps(char code, int& width, TBarLineType& lineType) const;
    void DoLines(const std::string& data, TCanvas* canvas);
    void DrawText(TCanvas* canvas);
    // Clamps Ratio for the symbologies that limit it and computes the four module widths.
    void MakeModules();

private:
    [[noreturn]] void BadData() const;
    std::string Code_2_5_interleaved() const;
    std::string Code_2_5_industrial() const;
    std::string Code_2_5_matrix() const;
    std::string Code_39(const std::string& text) const;
    std::string Code_39Extended() const;
    std::string Code_128() const;
    std::string Code_93(const std::string& text) const;
    std::string Code_93Extended() const;
    std::string Code_MSI() const;
    std::string Code_PostNet() const;
    std::string Code_Codabar() const;
    std::string Code_EAN8() const;
    std::string Code_EAN13() const;
    // The digits of an EAN with its check digit when Checksum is set; length is 8 or 13.
    std::string EanDigits(int length) const;
    void RequireDigits() const;

    int FHeight = 0;
    std::string FText;
    int FTop = 0;
    int FLeft = 0;
    int FModul = 1;
    double FRatio = 2.0;
    TBarcodeType FTyp = Barcode::bcCodeEAN13;
    bool FCheckSum = false;
    double FAngle = 0.0;
    bool FShowText = false;
    int FModules[4] = {1, 2, 3, 4};
};
