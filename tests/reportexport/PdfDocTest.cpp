#include "PdfTestSupport.h"

#include "reportexport/PdfFonts.h"

#include "platform/rtl/DateTime.h"

#include <regex>

using namespace PdfTestSupport;

namespace {

// Checks the cross-reference table against the bytes: each offset names its "n 0 obj", each
// line is 20 bytes, startxref names "xref".
const char* const XrefCheckScript = R"PY(
import re, sys
data = open(sys.argv[1], 'rb').read()
start = int(re.search(rb'startxref\r\n(\d+)\r\n%%EOF\r\n$', data).group(1))
assert data[start:start + 4] == b'xref', 'startxref does not name xref'
head = re.match(rb'xref\r\n0 (\d+)\r\n', data[start:])
count = int(head.group(1))
table = start + head.end()
for number in range(count):
    line = data[table + 20 * number: table + 20 * (number + 1)]
    assert re.fullmatch(rb'\d{10} \d{5} [nf]\r\n', line), line
    offset = int(line[:10])
    if line[17:18] == b'n':
        expected = b'%d 0 obj' % number
        assert data[offset:offset + len(expected)] == expected, (number, offset)
assert data[table + 20 * count: table + 20 * count + 7] == b'trailer'
print('xref ok', count)
)PY";

std::string ObjectText(const std::string& file, int number)
{
    std::string head = std::to_string(number) + " 0 obj\r\n";
    std::size_t start = file.find(head);
    if (start == std::string::npos)
        return {};
    std::size_t end = file.find("endobj\r\n", start);
    return file.substr(start, end + 8 - start);
}

TEST(PdfDocFile, EmptyPageByteForByte)
{
    TFixedClock clock;
    TPdfDoc doc;
    doc.NewDocument();
    doc.AddPage();
    std::string file = SavedBytes(doc);

    EXPECT_EQ(file.substr(0, 11), "%PDF-1.2 \r\n");
    EXPECT_EQ(ObjectText(file, 1), "1 0 obj\r\n<<\r\n/Type /Catalog\r\n/Pages 3 0 R\r\n>>\r\nendobj\r\n");
    EXPECT_EQ(ObjectText(file, 2),
              "2 0 obj\r\n<<\r\n/Producer (Cartolux version 0.9)\r\n"
              "/CreationDate (D:20240102030405)\r\n/ModDate (D:20240102030405)\r\n>>\r\nendobj\r\n");
    EXPECT_EQ(ObjectText(file, 3),
              "3 0 obj\r\n<<\r\n/Type /Pages\r\n/Kids [4 0 R ]\r\n/Count 1\r\n>>\r\nendobj\r\n");
    EXPECT_EQ(ObjectText(file, 4),
              "4 0 obj\r\n<<\r\n/Type /Page\r\n/Parent 3 0 R\r\n/MediaBox [0 0 596 842 ]\r\n"
              "/Resources <<\r\n/Font <<\r\n/F0 6 0 R\r\n>>\r\n/XObject <<\r\n>>\r\n"
              "/ProcSet [/PDF /Text /ImageC ]\r\n>>\r\n/Contents 5 0 R\r\n>>\r\nendobj\r\n");
    EXPECT_EQ(ObjectText(file, 5), "5 0 obj\r\n<<\r\n/Length 10\r\n/Filter []\r\n>>\r\nstream\r\n"
                                   "/F0 10 Tf\n\nendstream\r\nendobj\r\n");
    EXPECT_EQ(ObjectText(file, 6),
              "6 0 obj\r\n<<\r\n/Type /Font\r\n/Subtype /Type1\r\n/Encoding /WinAnsiEncoding\r\n"
              "/FirstChar 32\r\n/LastChar 255\r\n/BaseFont /Helvetica\r\n/Name /F0\r\n>>\r\n"
              "endobj\r\n");
    EXPECT_EQ(ObjectText(file, 7), "");
    EXPECT_EQ(file.find("1 0 obj"), 11u);

    std::size_t xref = file.find("xref\r\n");
    EXPECT_EQ(file.substr(xref, 51), "xref\r\n0 7\r\n0000000000 65535 f\r\n0000000011 00000 n\r\n");
    EXPECT_EQ(file.substr(file.find("trailer")),
              "trailer\r\n<<\r\n/Size 7\r\n/Root 1 0 R\r\n/Info 2 0 R\r\n>>\r\nstartxref\r\n" +
                  std::to_string(xref) + "\r\n%%EOF\r\n");

    TTestFolder folder;
    auto path = folder.Write("empty.pdf", file);
    std::string output;
    auto script = folder.Write("xref_check.py", XrefCheckScript);
    EXPECT_EQ(RunCommand("python3 " + Quoted(script) + " " + Quoted(path), &output), 0) << output;
    ExpectQpdfAccepts(path);
    ASSERT_EQ(RunCommand("pdfinfo " + Quoted(path), &output), 0) << output;
    EXPECT_TRUE(std::regex_search(output, std::regex("Producer: +Cartolux version 0.9"))) << output;
    EXPECT_TRUE(std::regex_search(output, std::regex("PDF version: +1.2"))) << output;
    EXPECT_TRUE(std::regex_search(output, std::regex("Page size: +596 x 842 pts"))) << output;
}

TEST(PdfDocFile, SavingAgainRewritesTheWholeFileWithALaterModDate)
{
    TPdfDoc doc;
    doc.NewDocument();
    doc.AddPage();
    doc.Canvas().SetFont("Times-Roman", 12);
    doc.Canvas().WriteTextBlock(MakePdfRect(50, 800, 500, 700), "A longer first version", false);

    TMemoryStream stream;
    SetClock([] { return EncodeDate(2024, 1, 2); });
    doc.SaveToStream(stream);
    std::string first(stream.Memory(), static_cast<std::size_t>(stream.Size()));
    stream.Seek(0, soFromEnd);
    stream.WriteBuffer("tail", 4); // a target that held more than the file

    SetClock([] { return EncodeDate(2024, 1, 3); });
    doc.SaveToStream(stream);
    ResetClock();
    std::string second(stream.Memory(), static_cast<std::size_t>(stream.Size()));
    EXPECT_EQ(second.size(), first.size());
    EXPECT_NE(first.find("/ModDate (D:20240102000000)"), std::string::npos);
    EXPECT_NE(second.find("/ModDate (D:20240103000000)"), std::string::npos);
    // Only the date differs.
    std::size_t at = first.find("/ModDate (D:202401020");
    EXPECT_EQ(first.substr(0, at), second.substr(0, at));
    EXPECT_EQ(first.substr(at + 22), second.substr(at + 22));
}

TEST(PdfDocFile, SaveReportsProgressPerObject)
{
    TPdfDoc doc;
    TAbstractPReport report(nullptr);
    std::vector<std::pair<int, int>> calls;
    report.OnSaveStream = [&calls, &report](TObject* sender, int progress, int completion) {
        EXPECT_EQ(sender, &report);
        calls.emplace_back(progress, completion);
    };
    doc.SetReport(&report);
    doc.NewDocument();
    doc.AddPage();
    SavedBytes(doc);
    ASSERT_EQ(calls.size(), 6u);
    EXPECT_EQ(calls.front(), std::make_pair(1, 6));
    EXPECT_EQ(calls.back(), std::make_pair(6, 6));
}

TEST(PdfDocFile, CompressedPagesAndOutlinesPassQpdf)
{
    TPdfDoc doc;
    doc.SetCompressionMethod(cmFlateDecode);
    doc.SetUseOutlines(true);
    doc.NewDocument();
    doc.AddPage();
    doc.Canvas().WriteTextBlock(MakePdfRect(50, 800, 500, 700), "Compressed text", false);
    doc.AddPage();
    std::string file = SavedBytes(doc);

    // catalog, outline root, information, page tree, then the pages.
    EXPECT_EQ(ObjectText(file, 2),
              "2 0 obj\r\n<<\r\n/Type /Outlines\r\n/Count 0\r\n>>\r\nendobj\r\n");
    EXPECT_NE(ObjectText(file, 1).find("/Outlines 2 0 R"), std::string::npos);
    EXPECT_NE(ObjectText(file, 6).find("/Filter [/FlateDecode ]"), std::string::npos);

    TTestFolder folder;
    auto path = folder.Write("compressed.pdf", file);
    ExpectQpdfAccepts(path);
    std::string text;
    ASSERT_EQ(RunCommand("pdftotext " + Quoted(path) + " -", &text), 0) << text;
    EXPECT_NE(text.find("Compressed text"), std::string::npos) << text;
}

TEST(PdfDocFile, OutlineEntriesLinkToTheirParentAndSiblings)
{
    TPdfDoc doc;
    doc.SetUseOutlines(true);
    doc.NewDocument();
    doc.AddPage();
    TPdfOutlineRoot& root = doc.OutlineRoot();
    TPdfOutlineEntry& first = TPdfOutlineEntry::CreateEntry(&root);
    first.Title = "Fattura 1";
    first.SetDest(std::make_unique<TPdfDestination>(doc.Canvas().Page()));
    TPdfOutlineEntry& second = TPdfOutlineEntry::CreateEntry(&root);
    second.Title = "Fattura 2";
    EXPECT_EQ(root.First(), &first);
    EXPECT_EQ(root.Last(), &second);
    EXPECT_EQ(first.Next(), &second);
    EXPECT_EQ(second.Prev(), &first);
    try {
        TPdfOutlineEntry::CreateEntry(nullptr);
        ADD_FAILURE() << "an entry without parent";
    } catch (const Exception& e) {
        EXPECT_EQ(e.Message, "CreateEntry --invalid parent.");
    }

    std::string file = SavedBytes(doc);
    // catalog 1, outline root 2, information 3, pages 4, page 5, content 6, font 7, entries 8, 9
    EXPECT_EQ(ObjectText(file, 8), "8 0 obj\r\n<<\r\n/Count 0\r\n/Title (Fattura 1)\r\n/Parent 2 0 R\r\n"
                                   "/Dest [5 0 R /XYZ null null 0 ]\r\n/Next 9 0 R\r\n>>\r\nendobj\r\n");
    EXPECT_NE(ObjectText(file, 9).find("/Prev 8 0 R"), std::string::npos);
    EXPECT_NE(ObjectText(file, 2).find("/First 8 0 R\r\n/Last 9 0 R"), std::string::npos);
    TTestFolder folder;
    ExpectQpdfAccepts(folder.Write("outlines.pdf", file));
}

TEST(PdfDocState, OperationsNeedAnOpenDocumentWithAPage)
{
    TPdfDoc doc;
    TMemoryStream stream;
    const struct {
        std::function<void()> Call;
        std::string Message;
    } cases[] = {
        {[&] { doc.SaveToStream(stream); }, "SaveToStream --there is no document to save."},
        {[&] { doc.AddPage(); }, "AddPage --current pages null."},
        {[&] { doc.Canvas(); }, "GetCanvas --Document is null"},
        {[&] { doc.Info(); }, "GetInfo --this method can not use this state.."},
        {[&] { doc.Root(); }, "GetRoot --this method can not use this state.."},
        {[&] { doc.OutlineRoot(); }, "GetOutlineRoot --document is null.."},
        {[&] { doc.GetFont("Arial"); }, "GetFont --document is null."},
        {[&] { doc.CreateFont("Arial"); }, "CreateFont --document is null."},
        {[&] { doc.AddImage("Logo", SmallImage()); }, "RegisterXObject --document is null."},
    };
    for (const auto& c : cases) {
        try {
            c.Call();
            ADD_FAILURE() << "no error: " << c.Message;
        } catch (const EPdfInvalidOperation& e) {
            EXPECT_EQ(e.Message, c.Message);
        }
    }
    doc.NewDocument();
    try {
        doc.SaveToStream(stream);
        ADD_FAILURE() << "a document without pages was saved";
    } catch (const EPdfInvalidOperation& e) {
        EXPECT_EQ(e.Message, "GetPage --the Page is nil");
    }
    EXPECT_EQ(stream.Size(), 0);
    try {
        doc.OutlineRoot();
        ADD_FAILURE() << "outline root without outlines";
    } catch (const EPdfInvalidOperation& e) {
        EXPECT_EQ(e.Message, "GetOutlineRoot --not use outline mode..");
    }
}

TEST(PdfDocState, ANewDocumentForgetsTheOldOneAndItsPage)
{
    TPdfDoc doc;
    doc.NewVirtualDocument();
    EXPECT_TRUE(doc.Canvas().IsVirtual());
    doc.FreeDocument();
    EXPECT_FALSE(doc.HasDoc());
    doc.NewDocument();
    EXPECT_FALSE(doc.Canvas().IsVirtual());
    EXPECT_THROW(doc.Canvas().Page(), EPdfInvalidOperation);
    doc.AddPage();
    EXPECT_EQ(PageContent(doc), "/F0 10 Tf\n");
}

TEST(PdfDocFonts, FontsAreNumberedInOrderOfFirstUse)
{
    TPdfDoc doc;
    doc.NewDocument();
    TPdfFont& arial = doc.GetFont("Arial");
    TPdfFont& times = doc.GetFont("Times-Bold");
    EXPECT_EQ(&doc.GetFont("Arial"), &arial);
    EXPECT_EQ(arial.Data()->NameOf("Name")->Value(), "F0");
    EXPECT_EQ(times.Data()->NameOf("Name")->Value(), "F1");
    EXPECT_EQ(times.Data()->NameOf("BaseFont")->Value(), "Times-Bold");
    // The registry finds classes whatever the case; the document compares names exactly.
    TPdfFont& lower = doc.GetFont("arial");
    EXPECT_NE(&lower, &arial);
    EXPECT_EQ(lower.Data()->NameOf("BaseFont")->Value(), "Helvetica");

    EXPECT_THROW(doc.GetFont("Verdana"), EClassNotFound);
    // A registered class that is not a font is not a font.
    RegisterClass("NotAPdfFont", [](TComponent*) -> TPersistent* { return new TPersistent; });
    EXPECT_THROW(doc.GetFont("NotAPdfFont"), EClassNotFound);
    UnRegisterClass("NotAPdfFont");
}

TEST(PdfDocImages, ImagesAreRegisteredOnceByName)
{
    TPdfDoc doc;
    doc.NewDocument();
    doc.AddPage();
    doc.AddImage("Logo", SmallImage());
    TPdfXObject* logo = doc.FindXObject("Logo");
    ASSERT_NE(logo, nullptr);
    EXPECT_EQ(logo->ObjectType(), okIndirect);
    EXPECT_EQ(logo->Attributes().NameOf("Name")->Value(), "Logo");
    EXPECT_EQ(doc.FindXObject("logo"), nullptr);

    try {
        doc.AddImage("Logo", SmallImage());
        ADD_FAILURE() << "a second image under the same name";
    } catch (const Exception& e) {
        EXPECT_EQ(e.Message, "AddImage --the image named Logo is already exists..");
    }
    try {
        doc.AddImage("Other", std::make_unique<TPdfImage>());
        ADD_FAILURE() << "an image without its attributes";
    } catch (const Exception& e) {
        EXPECT_EQ(e.Message, "AddImage --the image is not valid TPdfImage..");
    }

    // An object that already has a name keeps it.
    doc.RegisterXObject(logo, "Renamed");
    EXPECT_EQ(doc.FindXObject("Renamed"), nullptr);

    auto duplicate = std::make_unique<TPdfXObject>();
    duplicate->Attributes().Add("Type", std::make_unique<TPdfName>("XObject"));
    try {
        doc.RegisterXObject(std::move(duplicate), "Logo");
        ADD_FAILURE() << "a duplicate name";
    } catch (const EPdfInvalidValue& e) {
        EXPECT_EQ(e.Message, "RegisterXObject --dupulicate name: Logo");
    }
    try {
        doc.RegisterXObject(std::make_unique<TPdfXObject>(), "Plain");
        ADD_FAILURE() << "a stream that is not an external object";
    } catch (const EPdfInvalidValue& e) {
        EXPECT_EQ(e.Message, "RegisterXObject --not XObject");
    }
    EXPECT_THROW(doc.RegisterXObject(static_cast<TPdfXObject*>(nullptr), "None"), EPdfInvalidValue);

    doc.Canvas().DrawXObject(10, 20, 30, 40, "Logo");
    EXPECT_NE(PageContent(doc).find("q\n30 0 0 40 10 20 cm\n/Logo Do\nQ\n"), std::string::npos);
    TTestFolder folder;
    auto path = folder.Write("image.pdf", SavedBytes(doc));
    ExpectQpdfAccepts(path);
}

TEST(PdfDocCatalog, ViewerSettings)
{
    TPdfDoc doc;
    doc.NewDocument();
    TPdfCatalog& root = doc.Root();
    root.SetPageMode(pmUseOutlines);
    root.SetPageLayout(plTwoColumnLeft);
    root.SetPageMode(pmFullScreen); // changed in place: the key keeps its place
    root.SetNonFullScreenPageMode(pmUseThumbs);
    root.SetViewerPreference({vpHideToolbar, vpCenterWindow});
    root.SetViewerPreference({vpFitWindow});
    EXPECT_EQ(WrittenValue(*root.Data()),
              "<<\r\n/Type /Catalog\r\n/Pages 3 0 R\r\n/PageMode /FullScreen\r\n"
              "/PageLayout /TwoColumnLeft\r\n/ViewerPreferences <<\r\n"
              "/NonFullScreenPageMode /UseThumbs\r\n/FitWindow true\r\n>>\r\n>>");
    root.SetNonFullScreenPageMode(pmUseNone);
    root.SetViewerPreference({});
    EXPECT_EQ(Written(*root.Data()->DictionaryOf("ViewerPreferences")), "<<\r\n>>");

    TPdfDoc plain;
    plain.NewDocument();
    plain.Root().SetViewerPreference({});
    EXPECT_EQ(plain.Root().Data()->ValueOf("ViewerPreferences"), nullptr);
}

TEST(PdfDocCatalog, DestinationsWriteNullForUnsetCoordinates)
{
    TPdfDoc doc;
    doc.NewDocument();
    doc.AddPage();
    const TPdfDictionary& page = doc.Canvas().Page();
    const struct {
        TPdfDestinationType Type;
        float Left, Top, Right, Bottom, Zoom;
        std::string Expected;
    } cases[] = {
        {dtXYZ, 10, 800, 0, 0, 1.5f, "[4 0 R /XYZ 10 800 1.5 ]"},
        {dtXYZ, -101, -200, 0, 0, -2, "[4 0 R /XYZ null null 0 ]"},
        {dtXYZ, -100, 0, 0, 0, 0, "[4 0 R /XYZ -100 0 0 ]"},
        {dtFit, 1, 2, 3, 4, 1, "[4 0 R /Fit ]"},
        {dtFitB, 1, 2, 3, 4, 1, "[4 0 R /FitB ]"},
        {dtFitH, 1, 700, 3, 4, 1, "[4 0 R /FitH 700 ]"},
        {dtFitBH, 1, -500, 3, 4, 1, "[4 0 R /FitBH null ]"},
        {dtFitV, 20, 2, 3, 4, 1, "[4 0 R /FitV 20 ]"},
        {dtFitBV, 20, 2, 3, 4, 1, "[4 0 R /FitBV 20 ]"},
        {dtFitR, 10, 800, 500, -101, 1, "[4 0 R /FitR 10 null 500 800 ]"},
    };
    for (const auto& c : cases) {
        TPdfDestination destination(page);
        destination.DestinationType = c.Type;
        destination.Left = c.Left;
        destination.Top = c.Top;
        destination.Right = c.Right;
        destination.Bottom = c.Bottom;
        destination.Zoom = c.Zoom;
        EXPECT_EQ(Written(*destination.GetValue()), c.Expected);
    }

    auto open = std::make_unique<TPdfDestination>(page);
    open->DestinationType = dtFit;
    doc.Root().SetOpenAction(std::move(open));
    std::string file = SavedBytes(doc);
    EXPECT_NE(file.find("/OpenAction [4 0 R /Fit ]"), std::string::npos);
    doc.Root().SetOpenAction(nullptr);
    EXPECT_EQ(SavedBytes(doc).find("/OpenAction"), std::string::npos);
}

} // namespace
