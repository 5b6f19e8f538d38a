#pragma once
// The standard Type 1 fonts every PDF reader provides: Courier, Helvetica and Times in four
// styles each, found by the names the report components ask for ("Arial-Bold", "Times-Roman",
// "FixedWidth-Italic", ...). No font program is embedded; the widths measure text on the canvas.

#include "reportexport/PdfDoc.h"

#include <array>
#include <cstdint>
#include <string>

namespace PdfFontWidths {

// Widths of the codes 32 to 255 in thousandths of the font size.
using TWidthTable = std::array<std::uint16_t, 224>;

extern const TWidthTable FixedWidth;
extern const TWidthTable FixedWidthBold;
extern const TWidthTable FixedWidthItalic;
extern const TWidthTable FixedWidthBoldItalic;
extern const TWidthTable Arial;
extern const TWidthTable ArialBold;
extern const TWidthTable ArialItalic;
extern const TWidthTable ArialBoldItalic;
extern const TWidthTable TimesRoman;
extern const TWidthTable TimesBold;
extern const TWidthTable TimesItalic;
extern const TWidthTable TimesBoldItalic;

} // namespace PdfFontWidths

class TPdfType1Font : public TPdfFont {
    TESS_CLASS(TPdfType1Font, TPdfFont)
public:
    // Takes the widths from the dictionary's "Widths" array (from FirstChar on), the others
    // being its "MissingWidth" or 0.
    void SetData(TPdfDictionary* data) override;
    int GetCharWidth(const std::string& text, int position) const override;

    std::uint8_t FirstChar() const { return FFirstChar; }
    std::uint8_t LastChar() const { return FLastChar; }

protected:
    // Registers the font dictionary: Type, Subtype, Encoding, FirstChar, LastChar, BaseFont,
    // and the widths as an internal entry that is never written.
    void CreateStandardFont(TPdfXref& table, const std::string& name, const std::string& baseFont,
                            const PdfFontWidths::TWidthTable& widths);

private:
    std::uint8_t FFirstChar = 0;
    std::uint8_t FLastChar = 0;
    std::array<std::uint16_t, 256> FWidths{};
};

#define TESS_PDF_STANDARD_FONT(ClassName)                                                  \
    class ClassName : public TPdfType1Font {                                               \
        TESS_CLASS(ClassName, TPdfType1Font)                                               \
    public:                                                                                \
        void Create(TPdfXref& table, const std::string& name) override;                    \
    };

TESS_PDF_STANDARD_FONT(TPdfFixedWidth)
TESS_PDF_STANDARD_FONT(TPdfFixedWidthBold)
TESS_PDF_STANDARD_FONT(TPdfFixedWidthItalic)
TESS_PDF_STANDARD_FONT(TPdfFixedWidthBoldItalic)
TESS_PDF_STANDARD_FONT(TPdfArial)
TESS_PDF_STANDARD_FONT(TPdfArialBold)
TESS_PDF_STANDARD_FONT(TPdfArialItalic)
TESS_PDF_STANDARD_FONT(TPdfArialBoldItalic)
TESS_PDF_STANDARD_FONT(TPdfTimesRoman)
TESS_PDF_STANDARD_FONT(TPdfTimesBold)
TESS_PDF_STANDARD_FONT(TPdfTimesItalic)
TESS_PDF_STANDARD_FONT(TPdfTimesBoldItalic)

#undef TESS_PDF_STANDARD_FONT

// Registers the twelve font classes under their names in the class registry; idempotent.
void RegisterPdfFonts();
void UnRegisterPdfFonts();
