// The text-based export filters fed directly: the bytes each writes for pieces of text at given
// positions, fonts and styles, for pictures and for page and document ends.

#include "ExportFilterTestSupport.h"

#include "reportexport/RP_E_CSV.h"
#include "reportexport/RP_E_HTM.h"
#include "reportexport/RP_E_RTF.h"
#include "reportexport/RP_E_XLS.h"
#include "reportexport/ReportExportInit.h"

#include "report/rpPictureView.h"

#include "platform/gui/Bitmap.h"
#include "platform/gui/Icon.h"
#include "platform/rtl/Streams.h"

#include <gtest/gtest.h>

using namespace ExportFilterTestSupport;

namespace {

std::string EmptyLines(int count)
{
    std::string lines;
    for (int i = 0; i < count; ++i)
        lines += "\r\n";
    return lines;
}

struct TPiece {
    int X;
    int Y;
    std::string Text;
};

class ExportFilters : public testing::Test {
protected:
    void SetUp() override { StartEngine(); }

    // One page of pieces in the default font, through a filter of the class.
    std::string OnePage(const TrpExportFilterClass& filterClass, const std::vector<TPiece>& pieces)
    {
        TFilterRun run(filterClass);
        run.Filter().OnBeginPage();
        for (const TPiece& piece : pieces)
            run.Text(piece.X, piece.Y, piece.Text, Memo.get());
        run.Filter().OnEndPage();
        return run.Written();
    }

    std::unique_ptr<TrpMemoView> Memo = MakeMemo();
};

TEST_F(ExportFilters, TextPiecesTakeTheirLineAndColumn)
{
    struct TCase {
        const char* Name;
        std::vector<TPiece> Pieces;
        std::string Expected;
    };
    const std::vector<TCase> cases = {
        {"y 100 and 103 share a line; a half goes to the even line",
         {{0, 100, "a"}, {13, 103, "b"}, {39, 104, "c"}, {52, 88, "d"}, {0, 105, "e"}},
         "\r\n\r\n\r\n\r\n\r\n\r\na b   c d\r\ne\r\n\x0C\r\n"},
        {"x 0 and 65 are columns 0 and 10; the first text at y 40 follows two empty lines",
         {{65, 40, "dieci"}, {0, 40, "zero"}}, "\r\n\r\nzero      dieci\r\n\x0C\r\n"},
        {"an overlapping piece follows without a blank; the later of two at one x comes first",
         {{0, 0, "lungo"}, {13, 0, "x"}, {13, 0, "y"}}, "lungoyx\r\n\x0C\r\n"},
        {"text above the page goes to the first line, text far below grows the page",
         {{0, -500, "su"}, {0, 3300, "giu"}}, "su\r\n" + EmptyLines(205) + "giu\r\n\x0C\r\n"},
        {"a page without text is the form-feed line alone", {}, "\x0C\r\n"},
    };
    for (const TCase& test : cases)
        EXPECT_EQ(OnePage(TrpTextExportFilter::ClassEntry(), test.Pieces), test.Expected) << test.Name;
}

TEST_F(ExportFilters, TextIgnoresPiecesWithoutAnObjectAndEndsEveryPage)
{
    TFilterRun run(TrpTextExportFilter::ClassEntry());
    TrpPictureView picture;
    for (int page = 0; page < 2; ++page) {
        run.Filter().OnBeginPage();
        run.Text(0, 0, "orfano", nullptr);
        run.Text(0, 16, "X", &picture);
        run.Filter().OnData(0, 0, &picture);
        run.Filter().OnEndPage();
    }
    EXPECT_EQ(run.Finish(), "\r\nX\r\n\x0C\r\n\r\nX\r\n\x0C\r\n");
}

TEST_F(ExportFilters, CsvPutsPiecesInColumnsAndQuotesOnlyWhatNeedsIt)
{
    struct TCase {
        std::vector<TPiece> Pieces;
        std::string Expected;
    };
    const std::vector<TCase> cases = {
        {{{10, 0, "a"}, {70, 0, "b"}, {200, 0, "c"}}, "a;b;;c\r\n"},
        {{{0, 0, "a"}, {30, 0, "b"}, {64, 0, "c"}}, "ab;c\r\n"},
        {{{0, 0, "Rossi; Bianchi \"SRL\""}, {64, 0, "riga\r\ndue"}, {128, 0, "A & B <x>"}},
         "\"Rossi; Bianchi \"\"SRL\"\"\";\"riga\r\ndue\";A & B <x>\r\n"},
        {{{0, 32, "x"}}, "\r\n\r\nx\r\n"},
        {{}, ""},
    };
    for (const TCase& test : cases)
        EXPECT_EQ(OnePage(TrpCSVExportFilter::ClassEntry(), test.Pieces), test.Expected) << test.Expected;
}

TEST_F(ExportFilters, HtmlWritesATableRowPerLineWithFontAndStyleTags)
{
    TFilterRun run(TrpHTMExportFilter::ClassEntry());
    EXPECT_EQ(run.Written(), "<HTML>\r\n<Body bgColor=\"#FFFFFF\">\r\n<Table>\r\n");
    auto redBold = MakeMemo("Arial", 12, 2, clRed);
    auto smallWhite = MakeMemo("Arial", 8, 0, clWhite);
    auto largeBlueAll = MakeMemo("Arial", 40, 7, clBlue);
    TrpPictureView other;
    run.Filter().OnBeginPage();
    run.Text(0, 0, "x", Memo.get());
    run.Text(100, 0, "y", redBold.get());
    run.Text(0, 16, "A & B <x>", smallWhite.get());
    run.Text(100, 16, "z", largeBlueAll.get());
    run.Text(0, 48, "X", &other);
    run.Text(100, 48, std::string("a\x01", 2) + "\t", Memo.get());
    run.Filter().OnEndPage();
    run.Filter().OnBeginPage();
    run.Filter().OnEndPage();
    EXPECT_EQ(run.Finish(),
              "<HTML>\r\n<Body bgColor=\"#FFFFFF\">\r\n<Table>\r\n"
              "<tr><td>x</td><td><Font Color=\"#FF0000\"><b>y</b></Font></td></tr>\r\n"
              "<tr><td><Font  Size=2>A &amp; B &lt;x&gt;</Font></td>"
              "<td><Font Color=\"#0000FF\" Size=7><i><b><u>z</u></b></i></Font></td></tr>\r\n"
              "<tr></tr>\r\n"
              "<tr><td>X</td><td>a&#xFFFD;\t</td></tr>\r\n"
              "</Table>\r\n</Body>\r\n</HTML>\r\n");
}

TEST_F(ExportFilters, RtfWritesTabStopsFontsAndStylesPerLine)
{
    TFilterRun run(TrpRTFExportFilter::ClassEntry());
    auto boldRed = MakeMemo("Times New Roman", 12, 2, clRed);
    auto underlined = MakeMemo("Times New Roman", 12, 4, clRed);
    auto white = MakeMemo("Arial", 10, 0, clWhite);
    run.Filter().OnBeginPage();
    run.Text(130, 0, "first", Memo.get());
    run.Text(260, 0, "second", Memo.get());
    run.Text(0, 16, "grassetto", boldRed.get());
    run.Text(100, 16, "sottolineato", underlined.get());
    run.Text(200, 16, "{a}\\b \xE8\x80", white.get());
    run.Filter().OnEndPage();
    run.Filter().OnBeginPage();
    run.Filter().OnEndPage();
    EXPECT_EQ(run.Finish(),
              "{\\rtf1\\ansi\r\n"
              "{\\fonttbl{\\f0 Arial}{\\f1 Times New Roman}}\r\n"
              "{\\colortbl;\\red0\\green0\\blue0;\\red255\\green0\\blue0;}\r\n"
              "\\pard\\tx2000\\tx4000{\\tab\\f0\\fs20\\cf1 first\\tab second\\par}\r\n"
              "\\pard\\tx0\\tx1538\\tx3077{\\tab\\f1\\fs24\\b\\cf2 grassetto\\tab\\b0\\ul sottolineato"
              "\\tab\\f0\\fs20\\ulnone\\cf1 \\{a\\}\\\\b \\'e8\\'80\\par}\r\n"
              "\\sect\r\n"
              "\\par}");
}

TEST_F(ExportFilters, RtfTablesWrapBefore255Characters)
{
    TFilterRun run(TrpRTFExportFilter::ClassEntry());
    run.Filter().OnBeginPage();
    std::vector<std::unique_ptr<TrpMemoView>> memos;
    for (int i = 0; i < 30; ++i) {
        memos.push_back(MakeMemo("Carattere" + std::to_string(i), 10, 0, 0x10101 * i));
        run.Text(0, 16 * i, "t", memos.back().get());
    }
    run.Filter().OnEndPage();
    const std::string file = run.Finish();
    const std::string tables = file.substr(0, file.find("\\pard"));
    std::string gathered;
    for (std::size_t start = 0, end; (end = tables.find("\r\n", start)) != std::string::npos; start = end + 2) {
        const std::string line = tables.substr(start, end - start);
        EXPECT_LE(line.size(), start == 0 ? 12u : 255u) << line; // the header, then at most 254 and "}"
        gathered += line;
    }
    std::string expectedFonts = "{\\fonttbl";
    std::string expectedColors = "{\\colortbl;";
    for (int i = 0; i < 30; ++i) {
        expectedFonts += "{\\f" + std::to_string(i) + " Carattere" + std::to_string(i) + "}";
        expectedColors += "\\red" + std::to_string(i) + "\\green" + std::to_string(i) + "\\blue" + std::to_string(i) + ";";
    }
    EXPECT_EQ(gathered, "{\\rtf1\\ansi" + expectedFonts + "}" + expectedColors + "}");
    EXPECT_GT(std::count(tables.begin(), tables.end(), '\n'), 4); // both tables did wrap
}

// A 2 × 2 picture view at (130, 65), 26 × 13 pixels, of the graphic.
std::string PictureWrapper(TGraphic& graphic, std::string* bitmapFile)
{
    TrpPictureView view;
    view.SetBounds(130, 65, 26, 13);
    view.Picture->SetGraphic(&graphic);
    TMemoryStream bmp;
    rpPictureView::WriteAsBitmap(view.Picture->Graphic(), bmp);
    bitmapFile->assign(bmp.Memory(), static_cast<std::size_t>(bmp.Size()));
    TFilterRun run(TrpRTFExportFilter::ClassEntry());
    run.Filter().OnBeginPage();
    run.Filter().OnData(view.Left, view.Top, &view);
    run.Filter().OnEndPage();
    const std::string file = run.Finish();
    return file.substr(file.find("\\pard"));
}

std::string UpperHex(const std::string& bytes)
{
    static const char digits[] = "0123456789ABCDEF";
    std::string hex;
    for (char c : bytes) {
        hex += digits[static_cast<unsigned char>(c) >> 4];
        hex += digits[static_cast<unsigned char>(c) & 15];
    }
    return hex;
}

TEST_F(ExportFilters, RtfWrapsAPictureInAPositionedMetafileFrame)
{
    TBitmap bitmap;
    bitmap.SetPixelFormat(pf24bit);
    bitmap.SetSize(2, 2);
    std::string bmp;
    const std::string wrapper = PictureWrapper(bitmap, &bmp);
    // 14 + 40 + 2 rows of 8 bytes: 70 bytes, so 35 + 7 = 42 (2A) words of DIB record, 78 (4E) in all.
    ASSERT_EQ(bmp.size(), 70u);
    EXPECT_EQ(wrapper, "\\pard\\phmrg\\posx2000\\posy1000\\absh200\\absw400{\\pict\\wmetafile8\\picw688\\pich344"
                       " \\picbmp\\picbpp4\r\n"
                       "010009000003" "4E000000" "0000" "2A000000" "0000"
                       "050000000b0200000000" "050000000c02" "0200" "0200"
                       "05000000090200000000" "050000000102ffffff00" "0400000007010300"
                       "2A000000" "430F2000CC000000" "0200" "0200" "00000000" "0200" "0200" "00000000\r\n" +
                           UpperHex(bmp.substr(14)) + "030000000000}\\par\r\n\\par}");
    // 56 bytes of DIB make one partial line of 112 digits.
    EXPECT_EQ(UpperHex(bmp.substr(14)).size(), 112u);
}

TEST_F(ExportFilters, RtfDrawsAnIconIntoA24BitBitmapAndBreaksLongHexLines)
{
    TBitmap image, mask;
    image.SetSize(32, 32);
    image.Canvas()->Brush()->SetColor(clRed);
    image.Canvas()->FillRect({0, 0, 32, 32});
    mask.SetMonochrome(true);
    mask.SetSize(32, 32);
    ICONINFO info;
    info.hbmColor = image.Handle();
    info.hbmMask = mask.Handle();
    TIcon icon;
    icon.SetHandle(CreateIconIndirect(&info));
    std::string bmp;
    const std::string wrapper = PictureWrapper(icon, &bmp);
    ASSERT_GT(bmp.size(), 54u);
    EXPECT_EQ(static_cast<unsigned char>(bmp[28]), 24u) << "bits per pixel";
    const std::string hex = UpperHex(bmp.substr(14));
    ASSERT_GT(hex.size(), 256u);
    std::string expected;
    for (std::size_t at = 0; at < hex.size(); at += 128)
        expected += hex.substr(at, 128) + (at + 128 <= hex.size() ? "\r\n" : "");
    EXPECT_NE(wrapper.find("00000000\r\n" + expected + "030000000000}\\par\r\n"), std::string::npos);
}

TEST_F(ExportFilters, ZeroPagesGiveTheMinimalFiles)
{
    struct TCase {
        TrpExportFilterClass FilterClass;
        std::string Expected;
    };
    const std::vector<TCase> cases = {
        {TrpTextExportFilter::ClassEntry(), ""},
        {TrpCSVExportFilter::ClassEntry(), ""},
        {TrpHTMExportFilter::ClassEntry(),
         "<HTML>\r\n<Body bgColor=\"#FFFFFF\">\r\n<Table>\r\n</Table>\r\n</Body>\r\n</HTML>\r\n"},
        {TrpRTFExportFilter::ClassEntry(), "{\\rtf1\\ansi\r\n{\\fonttbl}\r\n{\\colortbl;}\r\n\\par}"},
        {TrpXLSExportFilter::ClassEntry(),
         std::string("\x09\x08\x06\x00\x00\x02\x10\x00\x00\x00"
                     "\x00\x02\x0A\x00\x00\x00\xFF\xFF\x00\x00\x00\x01\x00\x00"
                     "\x0A\x00\x00\x00",
                     28)},
    };
    for (const TCase& test : cases) {
        TFilterRun run(test.FilterClass);
        run.Filter().OnBeginDoc();
        EXPECT_EQ(run.Finish(), test.Expected) << test.FilterClass.ClassName;
    }
}

} // namespace

namespace {

TEST(ExportFilterRegistry, TheSixFiltersAreOfferedOnceEach)
{
    InitReportExport();
    InitReportExport();
    const std::vector<std::vector<std::string>> expected = {
        {"TrpTextExportFilter", "File di testo (*.txt)", "*.txt"},
        {"TrpCSVExportFilter", "File CSV (delimitato dal separatore di elenco) (*.csv)", "*.csv"},
        {"TrpHTMExportFilter", "File HTML (*.htm)", "*.htm"},
        {"TrpRTFExportFilter", "File RTF (Rich Text Format) (*.rtf)", "*.rtf"},
        {"TrpXLSExportFilter", "Foglio di calcolo (*.xls)", "*.xls"},
        {"TrpPicPDFExportFilter", "Adobe Acrobat Pdf  (*.pdf)", "*.pdf"}};
    std::vector<std::vector<std::string>> offered;
    for (const TrpExportFilterInfo& filter : rpFilters)
        offered.push_back({filter.ClassRef.ClassName, filter.FilterDesc, filter.FilterExt});
    EXPECT_EQ(offered, expected);
}

} // namespace
