// The PDF export of prepared reports, through the engine's export pass and read back by real
// PDF tools: qpdf, poppler's pdftotext, pdffonts, pdfimages, pdfinfo and pdftoppm, and zbarimg
// for the barcode on the rendered page.

#include "ExportFilterTestSupport.h"
#include "PdfTestSupport.h"

#include "reportexport/RP_BarC.h"
#include "reportexport/RP_E_PicPDF.h"

#include "report/rpEMFPages.h"
#include "report/rpReport.h"

#include "platform/gui/Bitmap.h"
#include "platform/rtl/System.h"

#include <gtest/gtest.h>

#include <iostream>
#include <random>
#include <sstream>

using namespace ExportFilterTestSupport;
using PdfTestSupport::ExpectQpdfAccepts;
using PdfTestSupport::Quoted;
using PdfTestSupport::RunCommand;
using PdfTestSupport::TTestFolder;

namespace {

void ExpectInOrder(const std::string& text, const std::vector<std::string>& pieces)
{
    std::size_t at = 0;
    for (const std::string& piece : pieces) {
        const std::size_t found = text.find(piece, at);
        ASSERT_NE(found, std::string::npos) << "\"" << piece << "\" after " << at;
        at = found + piece.size();
    }
}

std::string RunTool(const std::string& command)
{
    std::string output;
    EXPECT_EQ(RunCommand(command, &output), 0) << command << ": " << output;
    return output;
}

// Every image stream of the file, inflated, against its width, height and colour space:
// prints one line "W H kind ok" per image.
const char* const ImageChecker = R"(import re, sys, zlib
data = open(sys.argv[1], 'rb').read()
for m in re.finditer(rb'<<((?:(?!>>\r\nstream).)*?/Subtype /Image.*?)>>\r\nstream\r\n', data, re.S):
    d = m.group(1)
    length = int(re.search(rb'/Length (\d+)', d).group(1))
    w = int(re.search(rb'/Width (\d+)', d).group(1))
    h = int(re.search(rb'/Height (\d+)', d).group(1))
    kind = 'index' if b'/Indexed' in d else 'rgb'
    raw = zlib.decompress(data[m.end():m.end() + length])
    expected = w * h * (1 if kind == 'index' else 3)
    print(w, h, kind, 'ok' if len(raw) == expected else 'bad %d' % len(raw))
)";

std::unique_ptr<TBitmap> StripedBitmap(int width, int height, TPixelFormat format)
{
    auto bitmap = std::make_unique<TBitmap>();
    bitmap->SetPixelFormat(pf24bit);
    bitmap->SetSize(width, height);
    TCanvas& canvas = *bitmap->Canvas();
    const TColor colours[] = {clRed, clGreen, clBlue, clYellow};
    for (int i = 0; i < 4; ++i) {
        canvas.Brush()->SetColor(colours[i]);
        canvas.FillRect(TRect{i * width / 4, 0, (i + 1) * width / 4, height});
    }
    bitmap->SetPixelFormat(format);
    return bitmap;
}

void AddMemo(TrpPageInfo& sheet, int x, int y, int width, int height, const std::string& text,
             const std::string& font = "Arial", int size = 10, int style = 0, TColor colour = clBlack)
{
    auto memo = MakeMemo(font, size, style, colour);
    memo->SetBounds(x, y, width, height);
    if (!text.empty())
        memo->Memo->Add(text);
    PutPreparedObject(sheet, *memo);
}

void AddPicture(TrpPageInfo& sheet, int x, int y, int width, int height, TBitmap& bitmap)
{
    TrpPictureView picture;
    picture.SetBounds(x, y, width, height);
    picture.Picture->SetGraphic(&bitmap);
    PutPreparedObject(sheet, picture);
}

class PicPdfExport : public testing::Test {
protected:
    void SetUp() override { StartEngine(); }
    void TearDown() override { DocMode = dmDesigning; }

    fs::path Export(TrpReport& report, const std::string& name = "fattura.pdf",
                    const TrpExportFilterClass& filterClass = TrpPicPDFExportFilter::ClassEntry())
    {
        const fs::path path = Folder.Path() / name;
        report.ExportTo(filterClass, path.string());
        return path;
    }

    TTestFolder Folder;
};

// A filter over a memory stream for the bad-input cases, with no report around it.
class TDirectRun {
public:
    TDirectRun() : FFilter(&FStream)
    {
        CurReport = nullptr;
        FFilter.OnBeginDoc();
        FFilter.OnBeginPage();
    }
    TrpPicPDFExportFilter& Filter() { return FFilter; }
    void NextPage()
    {
        FFilter.OnEndPage();
        FFilter.OnBeginPage();
    }
    std::string Finish()
    {
        FFilter.OnEndPage();
        FFilter.OnEndDoc();
        return std::string(FStream.Memory(), static_cast<std::size_t>(FStream.Size()));
    }

private:
    TMemoryStream FStream;
    TrpPicPDFExportFilter FFilter;
};

} // namespace

TEST_F(PicPdfExport, RegisteredWithTwoBlanksBeforeTheMask)
{
    const auto found = std::find_if(rpFilters.begin(), rpFilters.end(), [](const TrpExportFilterInfo& filter) {
        return filter.ClassRef.ClassName == "TrpPicPDFExportFilter";
    });
    ASSERT_NE(found, rpFilters.end());
    EXPECT_EQ(found->FilterDesc, "Adobe Acrobat Pdf  (*.pdf)");
    EXPECT_EQ(found->FilterExt, "*.pdf");
}

TEST_F(PicPdfExport, OneBoldMemoGivesTheSmallestDocument)
{
    TrpReport report(nullptr);
    AddSheets(report, 1);
    AddMemo(*report.PreparedPages->Pages(0), 100, 50, 200, 20, "Total", "Arial", 10, 2);
    const std::string file = ReadAll(Export(report));
    ExpectInOrder(file, {"/Type /Catalog", "/Producer", "/Type /Pages", "/Type /Page\r", "stream",
                         "/F0 10 Tf", "/F1 10 Tf", "0 0 0 rg", "14 TL", "BT", " Td", "(Total) Tj", "ET",
                         "endstream", "/BaseFont /Helvetica\r", "/BaseFont /Helvetica-Bold\r", "/Size 8\r"});
    // The content is not compressed.
    EXPECT_EQ(file.find("/FlateDecode"), std::string::npos);
}

TEST_F(PicPdfExport, EndToEndThroughTheRealReaders)
{
    TrpReport report(nullptr);
    AddSheets(report, 1);
    TrpPageInfo& sheet = *report.PreparedPages->Pages(0);
    {
        // A filled background under the first memos.
        auto background = MakeMemo();
        background->SetBounds(20, 20, 700, 150);
        background->FillColor = 0xF0E0D0;
        PutPreparedObject(sheet, *background);
    }
    AddMemo(sheet, 40, 30, 300, 20, "Ragione sociale Arial", "Arial", 10, 2);
    AddMemo(sheet, 40, 60, 300, 20, "Via Roma Times", "Times New Roman", 10);
    AddMemo(sheet, 40, 90, 300, 20, "Codice Courier", "Courier New", 10);
    AddMemo(sheet, 40, 120, 300, 20, "Note Verdana", "Verdana", 10);
    AddMemo(sheet, 400, 30, 200, 20, "a(b)c\\", "Arial", 10);
    AddMemo(sheet, 400, 60, 200, 20, "Senza colore", "Arial", 10, 0, clNone);
    auto trueColour = StripedBitmap(60, 30, pf24bit);
    auto palette = StripedBitmap(60, 30, pf8bit);
    AddPicture(sheet, 40, 200, 120, 60, *trueColour);
    AddPicture(sheet, 200, 200, 120, 60, *palette);
    {
        TrpBarCodeView barcode;
        barcode.SetBounds(40, 320, 300, 80);
        PutPreparedObject(sheet, barcode);
    }
    {
        auto framed = MakeMemo();
        framed->SetBounds(400, 200, 200, 60);
        framed->FrameTyp = rpFrameAll;
        framed->FrameWidth = 2;
        PutPreparedObject(sheet, *framed);
        auto dashed = MakeMemo();
        dashed->SetBounds(400, 300, 200, 60);
        dashed->FrameTyp = rpFrameLeft;
        dashed->FrameStyle = psDash;
        dashed->FrameColor = clRed;
        PutPreparedObject(sheet, *dashed);
    }
    const fs::path pdf = Export(report);
    ExpectQpdfAccepts(pdf);

    const std::string text = RunTool("pdftotext -layout " + Quoted(pdf) + " -");
    for (const char* memo : {"Ragione sociale Arial", "Via Roma Times", "Codice Courier", "Note Verdana", "a(b)c\\",
                             "Senza colore"})
        EXPECT_NE(text.find(memo), std::string::npos) << memo << " in:\n" << text;

    const std::string fonts = RunTool("pdffonts " + Quoted(pdf));
    for (const char* font : {"Helvetica-Bold ", "Helvetica ", "Times-Roman ", "Courier "}) {
        std::istringstream lines(fonts);
        bool found = false;
        for (std::string line; std::getline(lines, line);) {
            if (line.rfind(font, 0) != 0)
                continue;
            found = true;
            EXPECT_NE(line.find("Type 1"), std::string::npos) << line;
            EXPECT_NE(line.find("WinAnsi"), std::string::npos) << line;
            EXPECT_NE(line.find(" no "), std::string::npos) << line;
        }
        EXPECT_TRUE(found) << font << " in:\n" << fonts;
    }

    const std::string images = RunTool("pdfimages -list " + Quoted(pdf));
    EXPECT_NE(images.find("image      60    30  rgb     3   8"), std::string::npos) << images;
    EXPECT_NE(images.find("image      60    30  index   1   8"), std::string::npos) << images;
    EXPECT_NE(images.find("image     300    80  rgb     3   8"), std::string::npos) << images;

    const fs::path checker = Folder.Write("images.py", ImageChecker);
    EXPECT_EQ(RunTool("python3 " + Quoted(checker) + " " + Quoted(pdf)),
              "60 30 rgb ok\n60 30 index ok\n300 80 rgb ok\n");

    const fs::path page = Folder.Path() / "pagina";
    RunTool("pdftoppm -r 200 -png -singlefile " + Quoted(pdf) + " " + Quoted(page));
    EXPECT_EQ(RunTool("{ zbarimg -q --raw " + Quoted(page.string() + ".png") + " 2>/dev/null; }"), "12345678-\n");
    const fs::path kept = fs::path(::testing::TempDir()) / "picpdf-page.png";
    fs::copy_file(page.string() + ".png", kept, fs::copy_options::overwrite_existing);
    std::cout << "rendered page: " << kept.string() << std::endl;
}

TEST_F(PicPdfExport, EveryPageTakesTheSizeOfTheFirst)
{
    TrpReport report(nullptr);
    AddSheets(report, 3);
    TrpPrnInfo& second = report.PreparedPages->Pages(1)->PrinterInfo;
    std::swap(second.PaperWidthPx, second.PaperHeightPx);
    report.PreparedPages->Pages(1)->Orientation = 1;
    for (int i = 0; i < 3; ++i)
        AddMemo(*report.PreparedPages->Pages(i), 50, 50, 200, 20, "Pagina " + std::to_string(i + 1));
    // The same picture on the first and the last page is stored once for each.
    auto logo = StripedBitmap(40, 20, pf24bit);
    AddPicture(*report.PreparedPages->Pages(0), 300, 50, 80, 40, *logo);
    AddPicture(*report.PreparedPages->Pages(2), 300, 50, 80, 40, *logo);
    const TrpPrnInfo& first = report.PreparedPages->Pages(0)->PrinterInfo;
    ASSERT_NE(first.PaperWidthPx, first.PaperHeightPx);
    const fs::path pdf = Export(report);
    ExpectQpdfAccepts(pdf);
    const std::string expected = std::to_string(first.PaperWidthPx * 596 / 753) + " x " +
                                 std::to_string(first.PaperHeightPx * 421 / 536) + " pts";
    const std::string info = RunTool("pdfinfo -f 1 -l 3 " + Quoted(pdf));
    for (int i = 1; i <= 3; ++i)
        EXPECT_NE(info.find("Page    " + std::to_string(i) + " size:  " + expected), std::string::npos) << info;

    std::istringstream images(RunTool("pdfimages -list " + Quoted(pdf)));
    std::vector<std::pair<std::string, std::string>> pagesAndObjects;
    for (std::string line; std::getline(images, line);) {
        std::istringstream fields(line);
        std::string page, number, type, width, height, colour, components, bits, encoding, interpolate, object;
        fields >> page >> number >> type >> width >> height >> colour >> components >> bits >> encoding >>
            interpolate >> object;
        if (type == "image")
            pagesAndObjects.emplace_back(page, object);
    }
    ASSERT_EQ(pagesAndObjects.size(), 2u);
    EXPECT_EQ(pagesAndObjects[0].first, "1");
    EXPECT_EQ(pagesAndObjects[1].first, "3");
    EXPECT_NE(pagesAndObjects[0].second, pagesAndObjects[1].second);
    ExpectInOrder(ReadAll(pdf), {"\nq\n", " cm\n", " Do\n", "\nQ\n"});
}

TEST_F(PicPdfExport, LinesAreCutAtTheirMemosWidth)
{
    TDirectRun run;
    auto memo = MakeMemo("Arial", 10);
    memo->SetBounds(50, 50, 60, 20);
    run.Filter().OnText(50, 50, "Corto", memo.get());
    run.Filter().OnText(50, 80, "Tagliato qui e non oltre", memo.get());
    const fs::path pdf = Folder.Write("cut.pdf", run.Finish());
    ExpectQpdfAccepts(pdf);
    const std::string text = RunTool("pdftotext " + Quoted(pdf) + " -");
    EXPECT_NE(text.find("Corto"), std::string::npos) << text;
    EXPECT_NE(text.find("Tagliato"), std::string::npos) << text;
    EXPECT_EQ(text.find("oltre"), std::string::npos) << text;
}

namespace {

class TFailingStream : public TMemoryStream {
    TESS_CLASS(TFailingStream, TMemoryStream)
public:
    int Write(const void*, int) override { RAISE(EWriteError("Stream write error")); }
};

// Checks in OnEndPage that neither the page nor its panel ever got a window.
class TNoWindowFilter : public TrpPicPDFExportFilter {
public:
    using TrpPicPDFExportFilter::TrpPicPDFExportFilter;
    void OnEndPage() override
    {
        EXPECT_FALSE(Page()->HandleAllocated());
        EXPECT_FALSE(Panel()->HandleAllocated());
        ++PagesChecked;
        TrpPicPDFExportFilter::OnEndPage();
    }
    static int PagesChecked;
};
int TNoWindowFilter::PagesChecked = 0;

} // namespace

TEST_F(PicPdfExport, AFailingSaveIsReportedAndKeepsThePreviousFile)
{
    {
        TFailingStream stream;
        auto filter = std::make_unique<TrpPicPDFExportFilter>(&stream);
        CurReport = nullptr;
        filter->OnBeginPage();
        filter->OnEndPage();
        EXPECT_THROW(filter->OnEndDoc(), EWriteError);
        EXPECT_NO_THROW(filter.reset());
    }
    TrpReport report(nullptr);
    const fs::path pdf = Folder.Write("fattura.pdf", "previous");
    try {
        report.ExportTo(TrpPicPDFExportFilter::ClassEntry(), pdf.string());
        ADD_FAILURE() << "no exception";
    } catch (const Exception& e) {
        EXPECT_STREQ(e.what(), "GetPage --the Page is nil");
    }
    EXPECT_EQ(ReadAll(pdf), "previous");
    EXPECT_EQ(Listing(Folder.Path()), std::set<std::string>{"fattura.pdf"});
}

TEST_F(PicPdfExport, NoPageOrPanelGetsAWindow)
{
    TrpReport report(nullptr);
    AddSheets(report, 2);
    for (int i = 0; i < 2; ++i)
        AddMemo(*report.PreparedPages->Pages(i), 50, 50, 200, 20, "Pagina");
    TNoWindowFilter::PagesChecked = 0;
    const TrpExportFilterClass filterClass{"TNoWindowFilter",
                                           [](TStream* stream) { return new TNoWindowFilter(stream); }};
    ExpectQpdfAccepts(Export(report, "fattura.pdf", filterClass));
    EXPECT_EQ(TNoWindowFilter::PagesChecked, 2);
}

TEST_F(PicPdfExport, BadInputStillGivesAValidDocument)
{
    TDirectRun run;
    TrpPicPDFExportFilter& filter = run.Filter();
    std::string everyByte;
    for (int c = 1; c < 256; ++c)
        everyByte += static_cast<char>(c);
    const struct {
        const char* Font;
        int Size;
        TColor Colour;
    } fonts[] = {{"", 10, clBlack},       {"Arial Narrow", 0, clNone}, {"Wingdings", 400, clBtnFace},
                 {"Courier", -12, 0x7FFFFFFF}, {"Times", 1, clWindowText}};
    int y = 10;
    for (const auto& f : fonts) {
        auto memo = MakeMemo(f.Font, 10, 3, f.Colour);
        memo->Font->SetSize(f.Size);
        memo->SetBounds(10, y, 600, 30);
        memo->FillColor = clBtnFace;
        memo->FrameTyp = rpFrameAll;
        memo->FrameColor = clNone;
        memo->FrameStyle = 99;
        filter.OnData(10, y, memo.get());
        filter.OnText(10, y, everyByte, memo.get());
        filter.OnText(10, y, "", memo.get());
        y += 40;
    }
    for (const int size : {0, -5}) {
        auto memo = MakeMemo();
        memo->SetBounds(10, 300, size, size);
        memo->FrameTyp = rpFrameAll;
        filter.OnData(10, 300, memo.get());
        filter.OnText(10, 300, "zero", memo.get());
        TrpBarCodeView barcode;
        barcode.SetBounds(10, 300, size, size);
        filter.OnData(10, 300, &barcode);
        TrpPictureView picture;
        picture.SetBounds(10, 300, size, size);
        filter.OnData(10, 300, &picture);
    }
    for (TPixelFormat format : {pfDevice, pf1bit, pf4bit, pf8bit, pf15bit, pf16bit, pf24bit, pf32bit}) {
        auto bitmap = StripedBitmap(7, 3, format);
        TrpPictureView picture;
        picture.SetBounds(100, 400, 40, 20);
        picture.Picture->SetGraphic(bitmap.get());
        filter.OnData(100, 400, &picture);
    }
    {
        TBitmap empty;
        TrpPictureView picture;
        picture.SetBounds(100, 400, 40, 20);
        picture.Picture->SetGraphic(&empty);
        filter.OnData(100, 400, &picture);
    }
    run.NextPage();
    auto bitmap = StripedBitmap(8, 8, pf24bit);
    TrpPictureView picture;
    picture.SetBounds(0, 0, 10, 10);
    picture.Picture->SetGraphic(bitmap.get());
    RandSeed = 3;
    for (int i = 0; i < 1000; ++i)
        filter.OnData((i % 40) * 18, (i / 40) * 40, &picture);
    run.NextPage(); // a page with nothing printable
    ExpectQpdfAccepts(Folder.Write("bad.pdf", run.Finish()));
}

TEST_F(PicPdfExport, RandomPagesPassQpdf)
{
    std::mt19937 random(20261211);
    const auto pick = [&random](int low, int high) { return std::uniform_int_distribution<int>(low, high)(random); };
    const char* const fontNames[] = {"Arial", "Times New Roman", "Courier New", "Verdana", "Symbol"};
    const TPixelFormat formats[] = {pf1bit, pf8bit, pf24bit, pf32bit};
    TDirectRun run;
    TrpPicPDFExportFilter& filter = run.Filter();
    RandSeed = 5;
    for (int page = 0; page < 50; ++page) {
        if (page > 0)
            run.NextPage();
        for (int object = pick(0, 12); object > 0; --object) {
            const int x = pick(-50, 800), y = pick(-50, 1100), w = pick(-5, 400), h = pick(-5, 200);
            switch (pick(0, 2)) {
            case 0: {
                auto memo = MakeMemo(fontNames[pick(0, 4)], pick(0, 40), pick(0, 7), pick(0, 0xFFFFFF));
                memo->SetBounds(x, y, w, h);
                memo->FillColor = pick(0, 1) ? clNone : pick(0, 0xFFFFFF);
                std::string text(static_cast<std::size_t>(pick(0, 40)), ' ');
                for (char& c : text)
                    c = static_cast<char>(pick(1, 255));
                filter.OnData(x, y, memo.get());
                filter.OnText(x, y, text, memo.get());
                break;
            }
            case 1: {
                auto rect = MakeMemo();
                rect->SetBounds(x, y, w, h);
                rect->FrameTyp = static_cast<std::uint16_t>(pick(0, 15));
                rect->FrameStyle = static_cast<std::uint16_t>(pick(0, 6));
                rect->FrameWidth = static_cast<float>(pick(0, 40)) / 10;
                filter.OnData(x, y, rect.get());
                break;
            }
            default: {
                auto bitmap = StripedBitmap(pick(1, 40), pick(1, 40), formats[pick(0, 3)]);
                TrpPictureView picture;
                picture.SetBounds(x, y, w, h);
                picture.Picture->SetGraphic(bitmap.get());
                filter.OnData(x, y, &picture);
            }
            }
        }
    }
    ExpectQpdfAccepts(Folder.Write("random.pdf", run.Finish()));
}
