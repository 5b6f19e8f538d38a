// RTF as the Windows control, pandoc and LibreOffice Writer write it, read into the document;
// written back in the control's dialect and read again without losing text, formats, pictures or
// objects.

#include "RtfTestSupport.h"

#include "platform/gui/private/RtfReader.h"
#include "platform/gui/private/RtfWriter.h"

#include <QTextBlock>

#include <gtest/gtest.h>

namespace {

struct TWordFormat {
    const char* Word;
    DWORD Effects;  // the effects the word must have (of bold, italic, underline)
};

void ExpectEffects(const TRichDocument& document, const std::vector<TWordFormat>& words)
{
    const DWORD checked = CFE_BOLD | CFE_ITALIC | CFE_UNDERLINE;
    for (const TWordFormat& word : words) {
        SCOPED_TRACE(word.Word);
        const int at = PositionOf(document, word.Word);
        ASSERT_GE(at, 0);
        const CHARFORMAT2A format = CharFormatAt(document, at, at + static_cast<int>(std::strlen(word.Word)));
        EXPECT_EQ(format.dwMask & checked, checked);
        EXPECT_EQ(format.dwEffects & checked, word.Effects);
    }
}

} // namespace

TEST(RtfReader, ReadsTheWindowsControlsDialect)
{
    const auto document = LoadRtfDocument(WindowsDialectSample);
    EXPECT_EQ(document->Text(), "Testo grassetto, corsivo, sottolineato e rosso.\rCentrato\rPunto\r"
                                "Prezzo:\t\x80 10, caff\xE8");
    ExpectEffects(*document, {{"grassetto", CFE_BOLD}, {"corsivo", CFE_ITALIC}, {"sottolineato", CFE_UNDERLINE},
                              {"Testo", 0}});
    const int red = PositionOf(*document, "rosso");
    const CHARFORMAT2A rosso = CharFormatAt(*document, red, red + 5);
    EXPECT_EQ(rosso.dwEffects & CFE_AUTOCOLOR, 0u);
    EXPECT_EQ(rosso.crTextColor, RGB(255, 0, 0));
    EXPECT_NE(CharFormatAt(*document, 0, 5).dwEffects & CFE_AUTOCOLOR, 0u);
    EXPECT_STREQ(rosso.szFaceName, "Arial");
    EXPECT_EQ(rosso.yHeight, 200);
    EXPECT_EQ(ParaFormatAt(*document, 0).wAlignment, PFA_LEFT);
    EXPECT_EQ(ParaFormatAt(*document, PositionOf(*document, "Centrato")).wAlignment, PFA_CENTER);
    const PARAFORMAT2 bullet = ParaFormatAt(*document, PositionOf(*document, "Punto"));
    EXPECT_EQ(bullet.wNumbering, PFN_BULLET);
    EXPECT_EQ(bullet.dxStartIndent, 0);
    EXPECT_EQ(bullet.dxOffset, 720);
    EXPECT_EQ(ParaFormatAt(*document, PositionOf(*document, "Prezzo")).wNumbering, 0);
}

TEST(RtfReader, ReadsPandocsOutput)
{
    // Made by "pandoc -s -t rtf" from rtf/pandoc.md.
    const auto document = LoadRtfDocument(RtfSampleFile("pandoc.rtf"));
    EXPECT_EQ(document->Text(), "Titolo\rHello bold and italic text.\r\x95\tuno\r\x95\tdue\r\x95\ttre\r"
                                "1.\tprimo\r2.\tsecondo\rPrezzo 5 \x80 \xE0\xE8\xEC\xF2\xF9");
    ExpectEffects(*document, {{"Titolo", CFE_BOLD}, {"bold", CFE_BOLD}, {"italic", CFE_ITALIC}, {"Hello", 0}});
    EXPECT_EQ(CharFormatAt(*document, 0, 6).yHeight, 360);
    EXPECT_STREQ(CharFormatAt(*document, 7, 12).szFaceName, "Helvetica");
    EXPECT_EQ(CharFormatAt(*document, 7, 12).yHeight, 240);
    const PARAFORMAT2 item = ParaFormatAt(*document, PositionOf(*document, "uno"));
    EXPECT_EQ(item.dxStartIndent + item.dxOffset, 360);
    EXPECT_EQ(item.dxOffset, 360);
    EXPECT_EQ(item.cTabCount, 1);
    EXPECT_EQ(ParaFormatAt(*document, 7).dySpaceAfter, 180);
}

TEST(RtfReader, ReadsLibreOfficeWriterFiles)
{
    const auto formats = LoadRtfDocument(RtfSampleFile("libreoffice-formats.rtf"));
    EXPECT_EQ(formats->Text(), "Testo grassetto, corsivo e sottolineato.\rParagrafo centrato\r"
                               "Prezzo \x80 10, \xE0\xE8\xEC\xF2\xF9.");
    ExpectEffects(*formats, {{"grassetto", CFE_BOLD}, {"corsivo", CFE_ITALIC}, {"sottolineato", CFE_UNDERLINE}});
    EXPECT_EQ(ParaFormatAt(*formats, PositionOf(*formats, "Paragrafo")).wAlignment, PFA_CENTER);
    EXPECT_STREQ(CharFormatAt(*formats, 0, 5).szFaceName, "Liberation Serif");

    const auto lists = LoadRtfDocument(RtfSampleFile("libreoffice-list-table.rtf"));
    EXPECT_EQ(lists->Text(), "Elenco:\rprimo\rsecondo\rterzo\rArticolo\tPrezzo\rVite\t1,50\rFine.");
    for (const char* item : {"primo", "secondo", "terzo"})
        EXPECT_EQ(ParaFormatAt(*lists, PositionOf(*lists, item)).wNumbering, PFN_BULLET) << item;
    EXPECT_EQ(ParaFormatAt(*lists, 0).wNumbering, 0);
    EXPECT_EQ(ParaFormatAt(*lists, PositionOf(*lists, "Vite")).wNumbering, 0);

    const auto picture = LoadRtfDocument(RtfSampleFile("libreoffice-picture.rtf"));
    EXPECT_EQ(picture->Text(), "Prima   dopo.\rSeconda riga.");
    const QTextBlock block = picture->Document()->firstBlock();
    QTextCharFormat objectFormat;
    for (auto it = block.begin(); !it.atEnd(); ++it)
        if (it.fragment().charFormat().objectType() == RichObjectType)
            objectFormat = it.fragment().charFormat();
    ASSERT_EQ(objectFormat.objectType(), RichObjectType);
    EXPECT_EQ(objectFormat.property(rpObjectWidth).toInt(), 360);
    EXPECT_EQ(TRichDocument::ObjectImage(objectFormat).size(), QSize(24, 16));
}

TEST(RtfReader, EveryFileComesBackTheSameAfterAWriteAndARead)
{
    const std::vector<std::pair<const char*, std::string>> samples = {
        {"dialect", WindowsDialectSample},
        {"objects", ObjectSample},
        {"pandoc", RtfSampleFile("pandoc.rtf")},
        {"libreoffice formats", RtfSampleFile("libreoffice-formats.rtf")},
        {"libreoffice lists", RtfSampleFile("libreoffice-list-table.rtf")},
        {"libreoffice picture", RtfSampleFile("libreoffice-picture.rtf")},
    };
    for (const auto& [name, rtf] : samples) {
        SCOPED_TRACE(name);
        ASSERT_GT(rtf.size(), 100u);
        const auto first = LoadRtfDocument(rtf);
        const std::string written = first->SaveRtf(nullptr, false);
        const auto second = LoadRtfDocument(written);
        EXPECT_EQ(second->SaveRtf(nullptr, false), written);
        EXPECT_EQ(DifferenceBetween(*first, *second), "");
    }
}

TEST(RtfReader, PicturesAndObjectsComeBackByteForByte)
{
    const std::string source = ObjectSample;
    const auto document = LoadRtfDocument(source);
    EXPECT_EQ(document->Text(), "Foto   e oggetto   fine.");
    const std::string written = document->SaveRtf(nullptr, false);
    const std::size_t pictureAt = source.find("{\\pict\\pngblip");
    const std::string picture = source.substr(pictureAt, source.find('}', pictureAt) + 1 - pictureAt);
    const std::size_t objectAt = source.find("{\\object");
    const std::string object = source.substr(objectAt, source.find(" fine") - objectAt);
    EXPECT_NE(written.find(picture), std::string::npos);
    EXPECT_NE(written.find(object), std::string::npos);
    // Without objects the object's result picture stands in its place.
    const std::string withoutObjects = document->SaveRtf(nullptr, true);
    EXPECT_EQ(withoutObjects.find("\\object"), std::string::npos);
    EXPECT_NE(withoutObjects.find("{\\pict\\wmetafile8\\picw100"), std::string::npos);
    EXPECT_NE(withoutObjects.find(picture), std::string::npos);
}

TEST(RtfReader, DeviceIndependentBitmapsShowAsImages)
{
    // Two pixels, blue then red, in one 24-bit row padded to four bytes.
    const std::string dib = "28000000020000000100000001001800000000000800000000000000000000000000000000000000"
                            "ff00000000ff0000";
    const auto document = LoadRtfDocument("{\\rtf1 {\\pict\\dibitmap0\\picw2\\pich1 " + dib + "}}");
    QTextCharFormat format;
    for (auto it = document->Document()->firstBlock().begin(); !it.atEnd(); ++it)
        format = it.fragment().charFormat();
    const QImage image = TRichDocument::ObjectImage(format);
    ASSERT_EQ(image.size(), QSize(2, 1));
    EXPECT_EQ(image.pixelColor(0, 0), QColor(Qt::blue));
    EXPECT_EQ(image.pixelColor(1, 0), QColor(Qt::red));
    EXPECT_EQ(format.property(rpObjectWidth).toInt(), 30);
}

TEST(RtfReader, CharactersAndCodePages)
{
    struct TCase {
        const char* Body;
        std::string Text;
    };
    const TCase cases[] = {
        // A character without a Windows-1252 form keeps its fallback.
        {"\\u8364?\\u232?\\u20013?x", "\x80\xE8?x"},
        {"\\uc2\\u8364??x\\uc0\\u20013 y", "\x80x?y"},            // two fallback characters; none at all
        {"\\u-4064?", "?"},                                       // negative values are UTF-16 units
        {"\\~\\_\\-\\{\\}\\\\", "\xA0-\xAD{}\\"},
        {"\\emdash\\endash\\bullet\\lquote\\rquote\\ldblquote\\rdblquote", "\x97\x96\x95\x91\x92\x93\x94"},
        {"{\\*\\unknown hidden}{\\info{\\title T}}{\\mystery shown}", "shown"},
        {"a\\line b\\tab c", "a\vb\tc"},
        {"\\trowd\\cellx100\\cellx200 a\\cell b\\cell\\row c", "a\tb\rc"},
        {"{\\field{\\*\\fldinst{HYPERLINK \"http://x.it\"}}{\\fldrslt{sito}}}", "sito"},
        {"x\\'", "x"},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Body);
        const auto document = LoadRtfDocument(std::string("{\\rtf1\\ansi ") + c.Body + "}");
        EXPECT_EQ(document->Text(), c.Text);
    }
    // Bytes of another code page, by the document's \ansicpg or by a font's character set.
    const auto greek = LoadRtfDocument("{\\rtf1\\ansi\\ansicpg1253 \\'e1\\'e2 \\'80}");
    EXPECT_EQ(greek->Text(), "?? \x80");
    const auto cyrillic =
        LoadRtfDocument("{\\rtf1\\ansi{\\fonttbl{\\f0 Arial;}{\\f1\\fcharset204 Arial Cyr;}}\\f0 \\'e8\\f1 \\'e8}");
    EXPECT_EQ(cyrillic->Text(), "\xE8?");
    const auto polish = LoadRtfDocument("{\\rtf1\\ansi\\ansicpg1250 \\'e8\\'e9}");
    EXPECT_EQ(polish->Text(), "?\xE9");
    const auto japanese = LoadRtfDocument("{\\rtf1\\ansi\\ansicpg932 \\'82\\'a0x\\'41}"); // one letter of two bytes
    EXPECT_EQ(japanese->Text(), "?xA");
    const auto dos = LoadRtfDocument("{\\rtf1\\pca \\'8a}");
    EXPECT_EQ(dos->Text(), "\xE8");
}

TEST(RtfReader, FieldsKeepTheirInstructionAndGiveLinks)
{
    const std::string rtf = "{\\rtf1\\ansi{\\fonttbl{\\f0\\fswiss Arial;}}\\f0\\fs20 Vai al "
                            "{\\field{\\*\\fldinst{HYPERLINK \"https://example.org\"}}{\\fldrslt{\\ul sito}}} ora.}";
    const auto document = LoadRtfDocument(rtf);
    EXPECT_EQ(document->Text(), "Vai al sito ora.");
    const int at = PositionOf(*document, "sito");
    EXPECT_NE(CharFormatAt(*document, at, at + 4).dwEffects & CFE_LINK, 0u);
    EXPECT_EQ(CharFormatAt(*document, 0, 3).dwEffects & CFE_LINK, 0u);
    const std::string written = document->SaveRtf(nullptr, false);
    EXPECT_NE(written.find("{\\field{\\*\\fldinst{HYPERLINK \"https://example.org\"}}{\\fldrslt{"), std::string::npos);
    EXPECT_EQ(written.find("\\link"), std::string::npos);
}

TEST(RtfReader, ASelectionIsReplacedAndWrittenAlone)
{
    TRichDocument document;
    document.Replace(0, 0, "uno due tre");
    const CHARRANGE middle{4, 7};
    std::string error;
    ASSERT_TRUE(document.LoadRtf("{\\rtf1\\ansi \\b DUE\\b0  e mezzo}", &middle, error));
    EXPECT_EQ(document.Text(), "uno DUE e mezzo tre");
    const CHARRANGE bold{4, 7};
    const auto part = LoadRtfDocument(document.SaveRtf(&bold, false));
    EXPECT_EQ(part->Text(), "DUE");
    EXPECT_NE(CharFormatAt(*part, 0, 3).dwEffects & CFE_BOLD, 0u);
}

TEST(RtfReader, DamagedInput)
{
    struct TCase {
        std::string Rtf;
        bool Read;
        std::string Text;
    };
    const TCase cases[] = {
        {"Ciao, non sono RTF", false, ""},
        {"  \r\n{\\rtf1 ok}", true, "ok"},
        {"{\\rtf1 {\\b aperto", true, "aperto"},
        {"{\\rtf1 dentro} fuori", true, "dentro"},
        {"{\\rtf1 a\\bin5 xyz", true, "a"},
        {"{\\rtf1 a\\bin-3 b}", true, "ab"},
        {"{\\rtf1 " + std::string(300, '{') + "x" + std::string(300, '}') + "}", false, ""},
        {"{\\rtf1 " + std::string(200, '{') + "x" + std::string(200, '}') + "}", true, "x"},
        {"{\\rtf1 \\f999\\cf999\\highlight7 a}", true, "a"},
        {"{\\rtf1 \\" + std::string(10000, 'x') + " a\\fs123456789012345678901 b}", true, "ab"},
        {std::string("{\\rtf1 a\0b}", 11), true, "ab"},
        {"{\\rtf1 {\\pict\\pngblip 12z4\\'}c}", true, " c"},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Rtf.substr(0, 40));
        TRichDocument document;
        document.Replace(0, 0, "prima");
        std::string error;
        EXPECT_EQ(document.LoadRtf(c.Rtf, nullptr, error), c.Read);
        EXPECT_EQ(document.Text(), c.Read ? c.Text : "prima");
    }
    TRichDocument limited;
    limited.SetTextLimit(5);
    std::string error;
    ASSERT_TRUE(limited.LoadRtf("{\\rtf1 abc\\par def\\par ghi}", nullptr, error));
    EXPECT_EQ(limited.Text(), "abc\rd");
}
