#include "reportexport/PdfFonts.h"

#include <vector>

namespace {

struct TPdfStandardFontEntry {
    const char* RegisteredName;
    const char* BaseFont;
    const PdfFontWidths::TWidthTable* Widths;
    TClassFactory Factory;
};

template <typename TFont>
TPersistent* MakePdfStandardFont(TComponent* /*Owner*/)
{
    return new TFont;
}

const std::vector<TPdfStandardFontEntry>& PdfStandardFonts()
{
    using namespace PdfFontWidths;
    static const std::vector<TPdfStandardFontEntry> fonts = {
        {"FixedWidth", "Courier", &FixedWidth, MakePdfStandardFont<TPdfFixedWidth>},
        {"FixedWidth-Bold", "Courier-Bold", &FixedWidthBold, MakePdfStandardFont<TPdfFixedWidthBold>},
        {"FixedWidth-Italic", "Courier-Oblique", &FixedWidthItalic,
         MakePdfStandardFont<TPdfFixedWidthItalic>},
        {"FixedWidth-BoldItalic", "Courier-BoldOblique", &FixedWidthBoldItalic,
         MakePdfStandardFont<TPdfFixedWidthBoldItalic>},
        {"Arial", "Helvetica", &Arial, MakePdfStandardFont<TPdfArial>},
        {"Arial-Bold", "Helvetica-Bold", &ArialBold, MakePdfStandardFont<TPdfArialBold>},
        {"Arial-Italic", "Helvetica-Oblique", &ArialItalic, MakePdfStandardFont<TPdfArialItalic>},
        {"Arial-BoldItalic", "Helvetica-BoldOblique", &ArialBoldItalic,
         MakePdfStandardFont<TPdfArialBoldItalic>},
        {"Times-Roman", "Times-Roman", &TimesRoman, MakePdfStandardFont<TPdfTimesRoman>},
        {"Times-Bold", "Times-Bold", &TimesBold, MakePdfStandardFont<TPdfTimesBold>},
        {"Times-Italic", "Times-Italic", &TimesItalic, MakePdfStandardFont<TPdfTimesItalic>},
        {"Times-BoldItalic", "Times-BoldItalic", &TimesBoldItalic,
         MakePdfStandardFont<TPdfTimesBoldItalic>},
    };
    return fonts;
}

const TPdfStandardFontEntry& PdfStandardFont(int index)
{
    return PdfStandardFonts()[static_cast<std::size_t>(index)];
}

} // namespace

void TPdfType1Font::CreateStandardFont(TPdfXref& table, const std::string& name,
                                       const std::string& baseFont,
                                       const PdfFontWidths::TWidthTable& widths)
{
    TPdfFont::Create(table, name);
    auto dictionary = std::make_unique<TPdfDictionary>(&table);
    TPdfDictionary* data = dictionary.get();
    table.AddObject(std::move(dictionary));
    AddStrElements(*data, {{"Type", "Font"}, {"Subtype", "Type1"}, {"Encoding", "WinAnsiEncoding"}});
    AddIntElements(*data, {{"FirstChar", 32}, {"LastChar", 255}});
    data->Add("BaseFont", std::make_unique<TPdfName>(baseFont));
    data->AddInternal("Widths", TPdfArray::CreateNumberArray(
                                    &table, std::vector<int>(widths.begin(), widths.end())));
    SetData(data);
}

void TPdfType1Font::SetData(TPdfDictionary* data)
{
    TPdfFont::SetData(data);
    TPdfNumber* missingWidth = data->NumberOf("MissingWidth");
    FWidths.fill(static_cast<std::uint16_t>(missingWidth ? missingWidth->Value() : 0));
    TPdfNumber* firstChar = data->NumberOf("FirstChar");
    TPdfNumber* lastChar = data->NumberOf("LastChar");
    FFirstChar = static_cast<std::uint8_t>(firstChar ? firstChar->Value() : 0);
    FLastChar = static_cast<std::uint8_t>(lastChar ? lastChar->Value() : 0);
    TPdfArray* widths = data->ArrayOf("Widths");
    if (!widths)
        return;
    for (int i = 0; i < widths->ItemCount() && FFirstChar + i < 256; ++i) {
        if (auto* width = dynamic_cast<TPdfNumber*>(widths->Items(i)))
            FWidths[static_cast<std::size_t>(FFirstChar + i)] = static_cast<std::uint16_t>(width->Value());
    }
}

int TPdfType1Font::GetCharWidth(const std::string& text, int position) const
{
    if (position < 1 || position > static_cast<int>(text.size()))
        return 0;
    return FWidths[static_cast<unsigned char>(text[static_cast<std::size_t>(position - 1)])];
}

#define TESS_PDF_STANDARD_FONT_CREATE(ClassName, Index)                                    \
    void ClassName::Create(TPdfXref& table, const std::string& name)                       \
    {                                                                                      \
        const TPdfStandardFontEntry& font = PdfStandardFont(Index);                        \
        CreateStandardFont(table, name, font.BaseFont, *font.Widths);                      \
    }

TESS_PDF_STANDARD_FONT_CREATE(TPdfFixedWidth, 0)
TESS_PDF_STANDARD_FONT_CREATE(TPdfFixedWidthBold, 1)
TESS_PDF_STANDARD_FONT_CREATE(TPdfFixedWidthItalic, 2)
TESS_PDF_STANDARD_FONT_CREATE(TPdfFixedWidthBoldItalic, 3)
TESS_PDF_STANDARD_FONT_CREATE(TPdfArial, 4)
TESS_PDF_STANDARD_FONT_CREATE(TPdfArialBold, 5)
TESS_PDF_STANDARD_FONT_CREATE(TPdfArialItalic, 6)
TESS_PDF_STANDARD_FONT_CREATE(TPdfArialBoldItalic, 7)
TESS_PDF_STANDARD_FONT_CREATE(TPdfTimesRoman, 8)
TESS_PDF_STANDARD_FONT_CREATE(TPdfTimesBold, 9)
TESS_PDF_STANDARD_FONT_CREATE(TPdfTimesItalic, 10)
TESS_PDF_STANDARD_FONT_CREATE(TPdfTimesBoldItalic, 11)

#undef TESS_PDF_STANDARD_FONT_CREATE

void RegisterPdfFonts()
{
    for (const auto& font : PdfStandardFonts())
        RegisterClass(font.RegisteredName, font.Factory);
}

void UnRegisterPdfFonts()
{
    for (const auto& font : PdfStandardFonts())
        UnRegisterClass(font.RegisteredName);
}
