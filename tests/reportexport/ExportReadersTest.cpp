// Reports exported through the engine's export pass and read back by real readers: python's csv
// and html.parser, xmllint, unrtf and xlrd. Also the folders around an export, and random pages.

#include "ExportFilterTestSupport.h"

#include "PdfTestSupport.h"

#include "reportexport/RP_E_CSV.h"
#include "reportexport/RP_E_HTM.h"
#include "reportexport/RP_E_RTF.h"
#include "reportexport/RP_E_XLS.h"

#include "platform/gui/Bitmap.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <map>
#include <random>
#include <set>

#include <unistd.h>

using namespace ExportFilterTestSupport;
using PdfTestSupport::TTestFolder;

namespace {

struct TFormat {
    TrpExportFilterClass FilterClass;
    std::string FileName;
};

const std::vector<TFormat>& Formats()
{
    static const std::vector<TFormat> formats = {
        {TrpTextExportFilter::ClassEntry(), "fattura.txt"}, {TrpCSVExportFilter::ClassEntry(), "fattura.csv"},
        {TrpHTMExportFilter::ClassEntry(), "fattura.htm"}, {TrpRTFExportFilter::ClassEntry(), "fattura.rtf"},
        {TrpXLSExportFilter::ClassEntry(), "fattura.xls"}};
    return formats;
}

void AddText(TrpPageInfo& sheet, int x, int y, const std::string& text, int style = 0)
{
    auto memo = MakeMemo("Arial", 10, style);
    memo->SetBounds(x, y, 250, 18);
    memo->Memo->Add(text);
    PutPreparedObject(sheet, *memo);
}

// Three sheets: texts with the characters each format treats specially, styled pieces and a
// picture on the second sheet.
void BuildThreeSheets(TrpReport& report)
{
    AddSheets(report, 3);
    TrpPageInfo& first = *report.PreparedPages->Pages(0);
    AddText(first, 20, 20, "Rossi; Bianchi \"SRL\"");
    AddText(first, 300, 20, "A & B <x>", 2);
    AddText(first, 20, 60, "{a}\\b", 1);
    AddText(first, 300, 60, "\xE8 \x80", 4);
    TrpPageInfo& second = *report.PreparedPages->Pages(1);
    AddText(second, 20, 20, "Pagina due");
    TBitmap bitmap;
    bitmap.SetPixelFormat(pf24bit);
    bitmap.SetSize(40, 20);
    bitmap.Canvas()->Brush()->SetColor(clBlue);
    bitmap.Canvas()->FillRect({0, 0, 40, 20});
    TrpPictureView picture;
    picture.SetBounds(300, 100, 80, 40);
    picture.Picture->SetGraphic(&bitmap);
    PutPreparedObject(second, picture);
    TrpPageInfo& third = *report.PreparedPages->Pages(2);
    AddText(third, 20, 20, "Fine");
    AddText(third, 300, 20, "ultima riga", 2);
}

const TReadLines ExpectedLines = {{"Rossi; Bianchi \"SRL\"", "A & B <x>"},
                                  {"{a}\\b", "\u00E8 \u20AC"},
                                  {"Pagina due"},
                                  {"Fine", "ultima riga"}};

// The export runs with a fresh current folder, which must stay empty.
class ExportReaders : public testing::Test {
protected:
    void SetUp() override
    {
        StartEngine();
        FSavedFolder = fs::current_path();
        fs::current_path(CurrentFolder.Path());
    }
    void TearDown() override
    {
        fs::current_path(FSavedFolder);
        DocMode = dmDesigning;
    }

    // Exports every format into Folder and checks that nothing else appeared anywhere.
    void ExportAll(TrpReport& report)
    {
        const fs::path programFolder = fs::read_symlink("/proc/self/exe").parent_path();
        const std::set<std::string> programBefore = Listing(programFolder);
        for (const TFormat& format : Formats()) {
            report.ExportTo(format.FilterClass, (Folder.Path() / format.FileName).string());
            EXPECT_EQ(Listing(Folder.Path()), std::set<std::string>{format.FileName});
            EXPECT_TRUE(Listing(CurrentFolder.Path()).empty());
            Files[format.FileName] = ReadAll(Folder.Path() / format.FileName);
            fs::rename(Folder.Path() / format.FileName, Kept.Path() / format.FileName);
        }
        EXPECT_EQ(Listing(programFolder), programBefore);
    }
    fs::path KeptFile(const std::string& name) const { return Kept.Path() / name; }

    TTestFolder CurrentFolder, Folder, Kept;
    std::map<std::string, std::string> Files;

private:
    fs::path FSavedFolder;
};

TEST_F(ExportReaders, EveryReaderGetsEveryTextBack)
{
    TrpReport report(nullptr);
    BuildThreeSheets(report);
    ExportAll(report);

    const std::string& text = Files["fattura.txt"];
    EXPECT_EQ(std::count(text.begin(), text.end(), '\x0C'), 3);
    EXPECT_NE(text.find("Rossi; Bianchi \"SRL\""), std::string::npos);
    EXPECT_NE(text.find("\xE8 \x80"), std::string::npos);

    EXPECT_EQ(ReadCsv(KeptFile("fattura.csv")), ExpectedLines);

    ExpectXmllintSilent(KeptFile("fattura.htm"));
    EXPECT_EQ(ReadHtml(KeptFile("fattura.htm")), ExpectedLines);

    // unrtf writes the euro sign's code point cut to one byte.
    TReadLines rtfLines = ExpectedLines;
    rtfLines[1][1] = "\u00E8 \u00AC";
    EXPECT_EQ(ReadRtf(KeptFile("fattura.rtf")), rtfLines);
    ExpectBalancedRtfBraces(KeptFile("fattura.rtf"));
    EXPECT_EQ(RtfUnderlinedPieces(KeptFile("fattura.rtf")), std::vector<std::string>{"\u00E8 \u20AC"});
    const std::string& rtf = Files["fattura.rtf"];
    EXPECT_NE(rtf.find("{\\pict\\wmetafile8\\picw2118\\pich1059 \\picbmp\\picbpp4\r\n"), std::string::npos);

    EXPECT_EQ(ReadXls(KeptFile("fattura.xls")), ExpectedLines);

    // For a look at the files in other programs.
    if (const char* keep = std::getenv("TESS_EXPORT_SAMPLE_DIR"))
        for (const TFormat& format : Formats())
            fs::copy_file(KeptFile(format.FileName), fs::path(keep) / format.FileName,
                          fs::copy_options::overwrite_existing);
}

TEST_F(ExportReaders, AReportWithoutPagesGivesTheMinimalFiles)
{
    TrpReport report(nullptr);
    ExportAll(report);
    EXPECT_EQ(Files["fattura.txt"], "");
    EXPECT_EQ(Files["fattura.csv"], "");
    EXPECT_EQ(Files["fattura.htm"], "<HTML>\r\n<Body bgColor=\"#FFFFFF\">\r\n<Table>\r\n</Table>\r\n</Body>\r\n</HTML>\r\n");
    EXPECT_EQ(Files["fattura.rtf"], "{\\rtf1\\ansi\r\n{\\fonttbl}\r\n{\\colortbl;}\r\n\\par}");
    EXPECT_EQ(Files["fattura.xls"].size(), 28u);
    ExpectXmllintSilent(KeptFile("fattura.htm"));
    EXPECT_TRUE(ReadRtf(KeptFile("fattura.rtf")).empty());
    EXPECT_TRUE(ReadXls(KeptFile("fattura.xls")).empty());
}

std::string RandomText(std::mt19937& random)
{
    std::string text(random() % 40, '\0');
    for (char& c : text)
        c = static_cast<char>(random() % 256);
    return text;
}

// 200 pages of random pieces with any bytes; page 197 has pieces far outside the page, page 9
// has 1,000 pieces on one line and every tenth page is empty.
TEST_F(ExportReaders, RandomPagesGiveFilesTheReadersAccept)
{
    std::mt19937 random(4242);
    std::vector<std::unique_ptr<TrpMemoView>> views;
    for (int style = 0; style < 8; ++style)
        views.push_back(MakeMemo(style % 2 ? "Arial" : "Courier New", 6 + 5 * style, style,
                                 static_cast<TColor>(random() & 0xFFFFFF)));
    std::vector<std::unique_ptr<TFilterRun>> runs;
    for (const TFormat& format : Formats())
        runs.push_back(std::make_unique<TFilterRun>(format.FilterClass));
    for (int page = 0; page < 200; ++page) {
        std::vector<std::tuple<int, int, std::string, TrpMemoView*>> pieces;
        if (page == 197) {
            for (int x : {-2147483647 - 1, -5000, 2147483647})
                for (int y : {-2147483647 - 1, -20, 2147483647})
                    pieces.emplace_back(x, y, RandomText(random), views[0].get());
        } else if (page == 9) {
            for (int i = 0; i < 1000; ++i)
                pieces.emplace_back(static_cast<int>(random() % 2000), 100, RandomText(random), views[1].get());
        } else if (page % 10 != 0) {
            for (int i = 0; i < 60; ++i)
                pieces.emplace_back(static_cast<int>(random() % 900) - 50, static_cast<int>(random() % 1200) - 50,
                                    RandomText(random), views[random() % views.size()].get());
        }
        for (auto& run : runs) {
            run->Filter().OnBeginPage();
            for (const auto& [x, y, text, view] : pieces)
                run->Text(x, y, text, view);
            run->Filter().OnEndPage();
        }
    }
    for (std::size_t i = 0; i < runs.size(); ++i) {
        std::ofstream(Kept.Path() / Formats()[i].FileName, std::ios::binary) << runs[i]->Finish();
    }
    if (const char* keep = std::getenv("TESS_EXPORT_SAMPLE_DIR"))
        for (const TFormat& format : Formats())
            fs::copy_file(KeptFile(format.FileName), fs::path(keep) / ("random-" + format.FileName),
                          fs::copy_options::overwrite_existing);
    ReadCsv(KeptFile("fattura.csv"), "latin-1");
    ExpectXmllintSilent(KeptFile("fattura.htm"));
    ReadHtml(KeptFile("fattura.htm"), "latin-1");
    ReadRtf(KeptFile("fattura.rtf"));
    ExpectBalancedRtfBraces(KeptFile("fattura.rtf"));
    EXPECT_FALSE(ReadXls(KeptFile("fattura.xls"), "latin-1").empty());
}

} // namespace
