// The worksheet writer's records byte for byte, its current cell at the sheet's edges, and the
// spreadsheet filter's one worksheet for a whole report.

#include "ExportFilterTestSupport.h"

#include "PdfTestSupport.h"

#include "reportexport/RP_E_XLS.h"
#include "reportexport/mxNativeExcel.h"

#include "platform/rtl/Streams.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

using namespace ExportFilterTestSupport;
using namespace mxNativeExcel;

namespace {

const std::string Header("\x09\x08\x06\x00\x00\x02\x10\x00\x00\x00"
                         "\x00\x02\x0A\x00\x00\x00\xFF\xFF\x00\x00\x00\x01\x00\x00",
                         24);
const std::string EndOfFile("\x0A\x00\x00\x00", 4);

std::string BufferOf(TmxNativeExcel& sheet)
{
    return std::string(sheet.Buffer()->Memory(), static_cast<std::size_t>(sheet.Buffer()->Size()));
}

// A text cell record at row and column counted from 0, default attributes.
std::string Label(int row, int column, const std::string& text)
{
    std::string record("\x04\x00", 2);
    record += static_cast<char>((text.size() + 8) & 0xFF);
    record += static_cast<char>((text.size() + 8) >> 8);
    record += static_cast<char>(row & 0xFF);
    record += static_cast<char>(row >> 8);
    record += static_cast<char>(column & 0xFF);
    record += static_cast<char>(column >> 8);
    record += std::string("\x40\x00\x00", 3);
    record += static_cast<char>(text.size());
    return record + text;
}

TEST(NativeExcel, AnEmptyFileAndATextCellByteForByte)
{
    PdfTestSupport::TTestFolder folder;
    TmxNativeExcel sheet(nullptr);
    EXPECT_EQ(sheet.Version(), "1.24");
    sheet.SetFileName((folder.Path() / "vuoto").string());
    EXPECT_EQ(sheet.FileName(), (folder.Path() / "vuoto.XLS").string());
    sheet.CloseFile();
    sheet.SaveFile();
    std::ifstream in(folder.Path() / "vuoto.XLS", std::ios::binary);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), Header + EndOfFile);
    EXPECT_EQ(std::distance(fs::directory_iterator(folder.Path()), fs::directory_iterator()), 1);

    sheet.WriteTextCell(1, 1, "Totale");
    EXPECT_EQ(BufferOf(sheet), Header + std::string("\x04\x00\x0E\x00\x00\x00\x00\x00\x40\x00\x00\x06Totale", 18))
        << "a record after the end starts a new file";
    sheet.WriteTextCell(3, 2, std::string(300, 'x'));
    EXPECT_EQ(BufferOf(sheet).substr(42), Label(2, 1, std::string(255, 'x')));
}

TEST(NativeExcel, ANumberCellByteForByte)
{
    TmxNativeExcel sheet(nullptr);
    sheet.BeginFile();
    sheet.WriteNumberCell(1, 1, 1.5);
    EXPECT_EQ(BufferOf(sheet).substr(Header.size()),
              std::string("\x03\x00\x0F\x00\x00\x00\x00\x00\x40\x00\x00"
                          "\x00\x00\x00\x00\x00\x00\xF8\x3F", 19));
    EXPECT_EQ(sheet.Row(), 1);
    EXPECT_EQ(sheet.Column(), 2);
    sheet.Borders = TmxExcelBorderSet{ebLeft, ebTop};
    sheet.Shading = true;
    sheet.WriteNumberCell(2, 3, -2.0);
    EXPECT_EQ(BufferOf(sheet).substr(Header.size() + 19),
              std::string("\x03\x00\x0F\x00\x01\x00\x02\x00\x40\x00\xA8"
                          "\x00\x00\x00\x00\x00\x00\x00\xC0", 19));
}

TEST(NativeExcel, FileNamesGetTheSpreadsheetExtension)
{
    TmxNativeExcel sheet(nullptr);
    const std::pair<const char*, const char*> cases[] = {
        {"conti.xls", "conti.xls"}, {"conti.XlS", "conti.XlS"}, {"conti.txt", "conti.XLS"}, {"conti", "conti.XLS"}};
    for (const auto& [given, expected] : cases) {
        sheet.SetFileName(given);
        EXPECT_EQ(sheet.FileName(), expected);
    }
}

TEST(NativeExcel, TheCurrentCellMovesAndTurnsAtTheSheetsEdges)
{
    struct TCase {
        TmxMoveAfterEnter Move;
        int Row, Column;
        int NextRow, NextColumn;
    };
    const TCase cases[] = {
        {maRight, 5, 7, 5, 8},      {maRight, 5, 256, 6, 1},     {maRight, 65535, 256, 65535, 256},
        {maLeft, 5, 7, 5, 6},       {maLeft, 5, 1, 4, 256},      {maLeft, 1, 1, 1, 1},
        {maDown, 5, 7, 6, 7},       {maDown, 65535, 7, 1, 8},    {maDown, 65535, 256, 65535, 256},
        {maUp, 5, 7, 4, 7},         {maUp, 1, 7, 65535, 6},      {maUp, 1, 1, 1, 1},
        {maNone, 5, 7, 5, 7},
    };
    for (const TCase& test : cases) {
        TmxNativeExcel sheet(nullptr);
        sheet.MoveAfterEnter = test.Move;
        sheet.WriteTextCell(test.Row, test.Column, "v");
        EXPECT_EQ(BufferOf(sheet).substr(24), Label(test.Row - 1, test.Column - 1, "v"));
        EXPECT_EQ(std::make_pair(sheet.Row(), sheet.Column()), std::make_pair(test.NextRow, test.NextColumn))
            << test.Move << " from " << test.Row << "," << test.Column;
    }
    TmxNativeExcel sheet(nullptr);
    for (int refused : {0, 65536})
        sheet.SetRow(refused);
    for (int refused : {0, 257})
        sheet.SetColumn(refused);
    sheet.SetActiveFont(1);
    EXPECT_EQ(sheet.Row(), 1);
    EXPECT_EQ(sheet.Column(), 1);
    EXPECT_EQ(sheet.ActiveFont(), 0);
}

TEST(NativeExcel, CellAttributesAndTheOlderFileForms)
{
    TmxNativeExcel sheet(nullptr);
    sheet.Hidden = true;
    sheet.Shading = true;
    sheet.Alignment = eaRight;
    sheet.Borders = {ebTop, ebLeft};
    sheet.WriteTextCell(1, 1, "");
    EXPECT_EQ(BufferOf(sheet).substr(24), std::string("\x04\x00\x08\x00\x00\x00\x00\x00\xC0\x00\xAB\x00", 12));
    sheet.SetBIFF(bvBIFF2);
    EXPECT_EQ(BufferOf(sheet), std::string("\x09\x00\x04\x00\x00\x02\x10\x00"
                                           "\x00\x00\x08\x00\x00\x00\xFF\xFF\x00\x00\x00\x01",
                                           20));
}

TEST(NativeExcel, TheFilterWritesOneSheetWithTheRowsOfEveryPage)
{
    StartEngine();
    auto memo = MakeMemo();
    TFilterRun run(TrpXLSExportFilter::ClassEntry());
    run.Filter().OnBeginPage();
    run.Text(100, 0, "B1", memo.get());
    run.Text(0, 0, "A1", memo.get());
    run.Text(0, 16, "A2", memo.get());
    run.Filter().OnEndPage();
    run.Filter().OnBeginPage();
    run.Filter().OnEndPage();
    run.Filter().OnBeginPage();
    run.Text(0, 32, "A5", memo.get());
    for (int i = 0; i < 300; ++i)
        run.Text(10 * i, 48, "c", memo.get());
    run.Filter().OnEndPage();
    const std::string file = run.Finish();
    std::string expected = Header + Label(0, 0, "A1") + Label(0, 1, "B1") + Label(1, 0, "A2") + Label(4, 0, "A5");
    for (int column = 0; column < 256; ++column)
        expected += Label(5, column, "c");
    EXPECT_EQ(file, expected + EndOfFile);
}

} // namespace
