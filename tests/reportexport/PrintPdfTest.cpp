// The direct PDF writer: its object layout, its operators and its pictures, checked against qpdf,
// poppler's tools and a python reading of the cross-reference table.

#include "BarcodeTestSupport.h"
#include "JpegTestSupport.h"

#include "reportexport/JpgImg.h"
#include "reportexport/tnpdf.h"

#include "platform/gui/Image.h"
#include "platform/gui/Memo.h"

#include <cstdlib>
#include <fstream>
#include <map>
#include <regex>

#include <zlib.h>

using namespace JpegTestSupport;
using PdfTestSupport::ExpectQpdfAccepts;
using PdfTestSupport::TFixedClock;

namespace {

std::string Inflate(const std::string& packed)
{
    std::string out(packed.size() * 4 + 64, '\0');
    for (;;) {
        uLongf size = out.size();
        const int result = uncompress(reinterpret_cast<Bytef*>(out.data()), &size,
                                      reinterpret_cast<const Bytef*>(packed.data()), packed.size());
        if (result == Z_BUF_ERROR) {
            out.resize(out.size() * 2);
            continue;
        }
        EXPECT_EQ(result, Z_OK);
        out.resize(size);
        return out;
    }
}

// The objects of a file by number, each from its first line to its "endobj" line, found through
// the cross-reference table.
std::map<int, std::string> ObjectsOf(const std::string& pdf)
{
    std::map<int, std::string> objects;
    const std::size_t startxref = pdf.rfind("startxref\r\n");
    const std::size_t xref = std::stoul(pdf.substr(startxref + 11));
    const std::size_t count = std::stoul(pdf.substr(xref + 8));
    std::vector<std::size_t> offsets;
    for (std::size_t n = 1; n < count; ++n)
        offsets.push_back(std::stoul(pdf.substr(xref + 8 + std::to_string(count).size() + 2 + 20 * n, 10)));
    offsets.push_back(xref);
    for (std::size_t n = 0; n + 1 < offsets.size(); ++n)
        objects[static_cast<int>(n + 1)] = pdf.substr(offsets[n], offsets[n + 1] - offsets[n]);
    return objects;
}

// The data of a stream object, inflated when it says FlateDecode.
std::string StreamData(const std::string& object)
{
    const std::size_t start = object.find("stream\r\n") + 8;
    std::size_t end = object.rfind("endstream");
    std::string data = object.substr(start, end - start);
    if (object.find("/FlateDecode") != std::string::npos) {
        if (data.size() >= 2 && data.substr(data.size() - 2) == "\r\n" && object.find("/XObject") != std::string::npos)
            data.resize(data.size() - 2);
        return Inflate(data);
    }
    return data;
}

// Runs the python check: every cross-reference offset points at "<n> 0 obj".
void ExpectOffsetsAtObjects(const fs::path& pdf, const fs::path& folder)
{
    const fs::path script = folder / "offsets.py";
    std::ofstream(script) << R"(import re, sys
data = open(sys.argv[1], 'rb').read()
start = int(data[data.rindex(b'startxref') + 9:].split()[0])
assert data[start:start + 4] == b'xref', 'startxref'
lines = data[start:].split(b'\r\n')
count = int(lines[1].split()[1])
bad = 0
for n in range(1, count):
    offset = int(lines[2 + n][:10])
    if not data[offset:].startswith(b'%d 0 obj\r\n' % n):
        print('object', n, 'not at', offset); bad += 1
print('checked', count - 1)
sys.exit(1 if bad else 0)
)";
    std::string output;
    EXPECT_EQ(RunCommand("python3 " + Quoted(script) + " " + Quoted(pdf), &output), 0) << output;
}

class PrintPdfTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        BarcodeTestSupport::EnsureApplication();
        const char* previous = std::getenv("TMPDIR");
        FPreviousTmp = previous ? previous : "";
        FHadTmp = previous != nullptr;
        fs::create_directories(Temp());
        setenv("TMPDIR", Temp().c_str(), 1);
    }
    void TearDown() override
    {
        if (FHadTmp)
            setenv("TMPDIR", FPreviousTmp.c_str(), 1);
        else
            unsetenv("TMPDIR");
    }
    fs::path Temp() const { return Folder.Path() / "tmp"; }

    // The "~tmpim" files under the temporary folder and the folder of the targets.
    int Leftovers() const
    {
        int count = 0;
        for (const auto& entry : fs::recursive_directory_iterator(Folder.Path()))
            if (entry.path().filename().string().rfind("~tmpim", 0) == 0)
                ++count;
        return count;
    }
    bool TempIsEmpty() const { return fs::is_empty(Temp()); }

    fs::path Save(TPrintPDF& pdf, const std::string& name)
    {
        pdf.FileName = (Folder.Path() / name).string();
        pdf.EndDoc();
        return pdf.FileName;
    }

    TTestFolder Folder;
    TFixedClock Clock;

private:
    std::string FPreviousTmp;
    bool FHadTmp = false;
};

const char* const FontNames[] = {
    "Helvetica",   "Helvetica-Bold",   "Helvetica-Oblique",   "Helvetica-BoldOblique", "Courier",
    "Courier-Bold", "Courier-Oblique", "Courier-BoldOblique", "Times-Roman",           "Times-Bold",
    "Times-Italic", "Times-BoldItalic", "Symbol",              "ZapfDingbats"};

} // namespace

// ---- Layout --------------------------------------------------------------------------------

TEST_F(PrintPdfTest, EmptyDocumentHasTwentyTwoObjectsAndAnEmptyDeflatedPage)
{
    TPrintPDF pdf(nullptr);
    pdf.BeginDoc();
    EXPECT_EQ(pdf.PageNumber(), 1);
    const std::string file = ReadFile(Save(pdf, "empty.pdf"));
    EXPECT_EQ(file.substr(0, 10), "%PDF-1.4\r\n");
    const auto objects = ObjectsOf(file);
    ASSERT_EQ(objects.size(), 22u);
    EXPECT_NE(file.find("xref\r\n0 23\r\n0000000000 65535 f\r\n0000000010 00000 n\r\n"), std::string::npos);
    EXPECT_NE(file.find("trailer\r\n<< /Size 23\r\n/Root 22 0 R\r\n/Info 1 0 R\r\n>>\r\nstartxref\r\n"), std::string::npos);
    EXPECT_EQ(file.substr(file.size() - 7), "%%EOF\r\n");

    EXPECT_EQ(objects.at(1), "1 0 obj\r\n<<\r\n/Producer ()\r\n/Author ()\r\n/CreationDate (D:20240102030405)\r\n"
                             "/Creator ()\r\n/Keywords ()\r\n/Subject ()\r\n/Title ()\r\n/ModDate ()\r\n>>\r\nendobj\r\n");
    const std::string& content = objects.at(2);
    const std::string header = "2 0 obj\r\n<< /Length 3 0 R\r\n/Filter [/FlateDecode]\r\n >>\r\nstream\r\n";
    ASSERT_EQ(content.substr(0, header.size()), header);
    const std::string packed = content.substr(header.size(), content.size() - header.size() - 19);
    EXPECT_EQ(content.substr(content.size() - 19), "endstream\r\nendobj\r\n");
    EXPECT_EQ(Inflate(packed), "");
    EXPECT_EQ(objects.at(3), "3 0 obj\r\n" + std::to_string(packed.size()) + "\r\nendobj\r\n");
    EXPECT_EQ(objects.at(4), "4 0 obj\r\n<< /Type /Outlines\r\n/Count 0\r\n>>\r\nendobj\r\n");
    for (int k = 1; k <= 14; ++k)
        EXPECT_EQ(objects.at(4 + k), std::to_string(4 + k) + " 0 obj\r\n<< /Type /Font\r\n/Subtype /Type1\r\n/Name /F" +
                                         std::to_string(k) + "\r\n/BaseFont /" + FontNames[k - 1] +
                                         "\r\n/Encoding /WinAnsiEncoding\r\n>>\r\nendobj\r\n");
    EXPECT_EQ(objects.at(19), "19 0 obj\r\n<< /Type /Pages\r\n/Kids [\r\n21 0 R\r\n]\r\n/Count 1\r\n>>\r\nendobj\r\n");
    std::string resources = "20 0 obj\r\n<< /ProcSet [ /PDF /Text /ImageC]\r\n/XObject << \r\n>>\r\n/Font << \r\n";
    for (int k = 1; k <= 14; ++k)
        resources += "/F" + std::to_string(k) + " " + std::to_string(4 + k) + " 0 R \r\n";
    EXPECT_EQ(objects.at(20), resources + ">>\r\n>>\r\nendobj\r\n");
    EXPECT_EQ(objects.at(21), "21 0 obj\r\n<< /Type /Page\r\n/Parent 19 0 R\r\n/MediaBox [ 0 0 612 792]\r\n"
                              "/Contents 2 0 R\r\n/Resources 20 0 R\r\n>>\r\nendobj\r\n");
    EXPECT_EQ(objects.at(22), "22 0 obj\r\n<< /Type /Catalog\r\n/Pages 19 0 R\r\n/Outlines 4 0 R\r\n>>\r\nendobj\r\n");
}

TEST_F(PrintPdfTest, ThreePagesWithAPictureEachAreNumberedAsTheLayoutSays)
{
    auto page = PagePicture(75, 107);
    for (bool jpeg : {false, true}) {
        TPrintPDF pdf(nullptr);
        pdf.BeginDoc();
        for (int p = 0; p < 3; ++p) {
            if (p > 0)
                pdf.NewPage();
            jpeg ? pdf.DrawJPEG(52, 0, page.get()) : pdf.DrawBitmap(52, 0, page.get());
        }
        EXPECT_EQ(pdf.PageNumber(), 3);
        const fs::path path = Save(pdf, jpeg ? "three-jpeg.pdf" : "three.pdf");
        const std::string file = ReadFile(path);
        const auto objects = ObjectsOf(file);
        ASSERT_EQ(objects.size(), 31u);
        EXPECT_NE(file.find("<< /Size 32\r\n/Root 31 0 R\r\n"), std::string::npos);
        auto has = [&](int n, const std::string& text) {
            EXPECT_NE(objects.at(n).find(text), std::string::npos) << "object " << n << " lacks " << text;
        };
        auto starts = [&](int n, const std::string& text) {
            EXPECT_EQ(objects.at(n).rfind(std::to_string(n) + " 0 obj\r\n" + text, 0), 0u) << "object " << n;
        };
        starts(1, "<<\r\n/Producer");
        for (int p = 1; p <= 3; ++p) {
            starts(2 * p, "<< /Length " + std::to_string(2 * p + 1) + " 0 R\r\n");
            EXPECT_EQ(StreamData(objects.at(2 * p)), "q\r\n47 0 0 74 52 718 cm\r\n/Im" + std::to_string(p) + " Do\r\nQ\r\n");
            EXPECT_TRUE(std::regex_match(objects.at(2 * p + 1), std::regex(std::to_string(2 * p + 1) + " 0 obj\r\n[0-9]+\r\nendobj\r\n")));
            starts(27 + p, "<< /Type /Page\r\n/Parent 23 0 R\r\n/MediaBox [ 0 0 612 792]\r\n/Contents " +
                               std::to_string(2 * p) + " 0 R\r\n/Resources 24 0 R\r\n");
            starts(24 + p, "<< /Type /XObject\r\n/Subtype /Image\r\n/Width 75\r\n/Height 107\r\n");
            has(24 + p, "/Name /Im" + std::to_string(p) + "\r\n");
            has(24, "/Im" + std::to_string(p) + " " + std::to_string(24 + p) + " 0 R\r\n");
        }
        starts(8, "<< /Type /Outlines");
        for (int k = 1; k <= 14; ++k)
            has(8 + k, "/Name /F" + std::to_string(k) + "\r\n/BaseFont /" + FontNames[k - 1] + "\r\n");
        starts(23, "<< /Type /Pages\r\n/Kids [\r\n28 0 R\r\n29 0 R\r\n30 0 R\r\n]\r\n/Count 3\r\n");
        has(24, "/F14 22 0 R \r\n");
        starts(31, "<< /Type /Catalog\r\n/Pages 23 0 R\r\n/Outlines 8 0 R\r\n");
        ExpectOffsetsAtObjects(path, Folder.Path());
        ExpectQpdfAccepts(path);
    }
}

TEST_F(PrintPdfTest, StreamLengthsAndUncompressedContent)
{
    TPrintPDF pdf(nullptr);
    pdf.Compress = false;
    pdf.BeginDoc();
    pdf.DrawLine(10, 20, 110, 20);
    pdf.NewPage();
    pdf.LineWidth = 3;
    pdf.DrawRectangle(10, 20, 30, 40);
    auto page = PagePicture(30, 20);
    pdf.DrawBitmap(0, 0, page.get());
    const fs::path path = Save(pdf, "plain.pdf");
    const auto objects = ObjectsOf(ReadFile(path));
    const std::string line = "10 772 m\r\n110 772 l\r\n1 w\r\nS\r\n";
    EXPECT_EQ(objects.at(2), "2 0 obj\r\n<< /Length 3 0 R\r\n >>\r\nstream\r\n" + line + "endstream\r\nendobj\r\n");
    EXPECT_EQ(objects.at(3), "3 0 obj\r\n" + std::to_string(line.size()) + "\r\nendobj\r\n");
    EXPECT_EQ(StreamData(objects.at(4)), "10 772 m\r\n10 752 l\r\n3 w\r\nS\r\n"
                                         "10 752 m\r\n30 752 l\r\n3 w\r\nS\r\n"
                                         "30 752 m\r\n30 772 l\r\n3 w\r\nS\r\n"
                                         "30 772 m\r\n10 772 l\r\n3 w\r\nS\r\n"
                                         "q\r\n19 0 0 13 0 779 cm\r\n/Im1 Do\r\nQ\r\n");
    const std::string& picture = objects.at(23);
    EXPECT_EQ(picture.find("/Filter"), std::string::npos);
    EXPECT_NE(picture.find("/Length 600\r\n"), std::string::npos);
    EXPECT_EQ(picture.substr(picture.size() - 21), "\r\nendstream\r\nendobj\r\n");
    ExpectQpdfAccepts(path);
}

TEST_F(PrintPdfTest, TextsAreEscapedOnlyWhereTheyNeedIt)
{
    TPrintPDF pdf(nullptr);
    pdf.Compress = false;
    pdf.TITLE = "Fattura (prova) \\ 1";
    pdf.Author = "Ditta";
    pdf.BeginDoc();
    pdf.Font()->Name = tnpdf::poHelveticaBold;
    pdf.Font()->Size = 10;
    pdf.TextOut(100, 92, "Totale (IVA inclusa) a\\b");
    pdf.TextOut(100, 120, "Senza simboli: 12,50");
    TMemo memo(nullptr);
    memo.Lines()->Add("Riga uno");
    memo.Lines()->Add("Riga (due)");
    pdf.MemoOut(100, 200, &memo);
    const fs::path path = Save(pdf, "texts.pdf");
    const std::string file = ReadFile(path);
    EXPECT_NE(file.find("/Title (Fattura \\(prova\\) \\\\ 1)\r\n/ModDate"), std::string::npos);
    EXPECT_NE(file.find("/Author (Ditta)\r\n"), std::string::npos);
    EXPECT_NE(file.find("BT\r\n/F2 10 Tf\r\n100 700 Td\r\n(Totale \\(IVA inclusa\\) a\\\\b) Tj\r\nET\r\n"),
              std::string::npos);
    EXPECT_NE(file.find("(Senza simboli: 12,50) Tj\r\n"), std::string::npos);
    EXPECT_NE(file.find("BT\r\n/F2 10 Tf\r\n100 592 Td\r\n(Riga uno) Tj\r\n0 -12.5 TD\r\n(Riga \\(due\\)) Tj\r\n"
                        "0 -12.5 TD\r\nET\r\n"),
              std::string::npos);

    ExpectQpdfAccepts(path);
    std::string text;
    ASSERT_EQ(RunCommand("pdftotext " + Quoted(path) + " -", &text), 0) << text;
    EXPECT_NE(text.find("Totale (IVA inclusa) a\\b"), std::string::npos) << text;
    EXPECT_NE(text.find("Riga (due)"), std::string::npos) << text;
    std::string info;
    ASSERT_EQ(RunCommand("pdfinfo " + Quoted(path), &info), 0) << info;
    EXPECT_NE(info.find("Title:           Fattura (prova) \\ 1"), std::string::npos) << info;
}

TEST_F(PrintPdfTest, PictureScaleFollowsThePageShapeAndTheCall)
{
    auto portrait = PagePicture(753, 1072);
    auto landscape = PagePicture(1072, 753);
    struct TCase {
        const char* Name;
        int Width, Height;
        TBitmap* Picture;
        int Call; // 0 DrawBitmap, 1 DrawJPEG, 2 ImageOut
        const char* Expected;
    };
    const TCase cases[] = {
        {"portrait bitmap", 612, 792, portrait.get(), 0, "480 0 0 743 52 49 cm"},
        {"portrait jpeg", 612, 792, portrait.get(), 1, "480 0 0 743 52 49 cm"},
        {"portrait image", 612, 792, portrait.get(), 2, "480 0 0 743 52 49 cm"},
        {"landscape bitmap", 792, 612, landscape.get(), 0, "680 0 0 600 52 12 cm"},
        {"landscape jpeg", 792, 612, landscape.get(), 1, "680 0 0 600 52 12 cm"},
        {"landscape image", 792, 612, landscape.get(), 2, "884 0 0 403 52 209 cm"},
        {"square bitmap", 600, 600, portrait.get(), 0, "362 0 0 837 52 -237 cm"},
    };
    for (const TCase& c : cases) {
        TPrintPDF pdf(nullptr);
        pdf.Compress = false;
        pdf.PageWidth = c.Width;
        pdf.PageHeight = c.Height;
        pdf.BeginDoc();
        TImage image(nullptr);
        image.Picture()->SetGraphic(c.Picture);
        if (c.Call == 0)
            pdf.DrawBitmap(52, 0, c.Picture);
        else if (c.Call == 1)
            pdf.DrawJPEG(52, 0, c.Picture);
        else
            pdf.Draw(52, 0, &image);
        const std::string file = ReadFile(Save(pdf, "scale.pdf"));
        EXPECT_NE(file.find(std::string("q\r\n") + c.Expected + "\r\n/Im1 Do\r\nQ\r\n"), std::string::npos) << c.Name;
        EXPECT_NE(file.find("/MediaBox [ 0 0 " + std::to_string(c.Width) + " " + std::to_string(c.Height) + "]"),
                  std::string::npos);
    }
}

// ---- Peers ---------------------------------------------------------------------------------

TEST_F(PrintPdfTest, PopplerReadsBothPictureModes)
{
    auto page = PagePicture(753, 1072);
    const fs::path source = SaveBitmap(*page, Folder.Path() / "page.bmp");
    for (bool jpeg : {false, true}) {
        TPrintPDF pdf(nullptr);
        pdf.BeginDoc();
        jpeg ? pdf.DrawJPEG(52, 0, page.get()) : pdf.DrawBitmap(52, 0, page.get());
        const fs::path path = Save(pdf, jpeg ? "jpeg.pdf" : "bitmap.pdf");
        ExpectQpdfAccepts(path);

        std::string info;
        ASSERT_EQ(RunCommand("pdfinfo " + Quoted(path), &info), 0) << info;
        EXPECT_NE(info.find("PDF version:     1.4"), std::string::npos) << info;
        EXPECT_NE(info.find("Page size:       612 x 792 pts"), std::string::npos) << info;

        std::string list;
        ASSERT_EQ(RunCommand("pdfimages -list " + Quoted(path), &list), 0) << list;
        const std::regex row(jpeg ? R"(\n\s+1\s+0\s+image\s+753\s+1072\s+rgb\s+3\s+8\s+jpeg\s)"
                                  : R"(\n\s+1\s+0\s+image\s+753\s+1072\s+index\s+1\s+8\s+image\s)");
        EXPECT_TRUE(std::regex_search(list, row)) << list;

        const fs::path prefix = Folder.Path() / (jpeg ? "x-jpeg" : "x-bitmap");
        std::string output;
        ASSERT_EQ(RunCommand("pdfimages -j -png " + Quoted(path) + " " + Quoted(prefix), &output), 0) << output;
        if (jpeg) {
            TJPEGImage encoder(nullptr);
            encoder.Picture()->SetGraphic(page.get());
            TMemoryStream expected;
            encoder.SaveToStream(&expected);
            EXPECT_EQ(ReadFile(prefix.string() + "-000.jpg"),
                      std::string(expected.Memory(), static_cast<std::size_t>(expected.Size())));
        } else {
            EXPECT_EQ(DifferentPixels(prefix.string() + "-000.png", source), 0);
        }
    }
}

TEST_F(PrintPdfTest, PagePictureLandsAtItsPlaceWhenRendered)
{
    auto page = PagePicture(753, 1072);
    for (bool jpeg : {false, true}) {
        TPrintPDF pdf(nullptr);
        pdf.BeginDoc();
        jpeg ? pdf.DrawJPEG(52, 0, page.get()) : pdf.DrawBitmap(52, 0, page.get());
        const fs::path path = Save(pdf, "placed.pdf");
        const fs::path prefix = Folder.Path() / (jpeg ? "placed-jpeg" : "placed-bitmap");
        std::string output;
        ASSERT_EQ(RunCommand("pdftoppm -r 72 -singlefile " + Quoted(path) + " " + Quoted(prefix), &output), 0) << output;
        const std::string ppm = ReadFile(prefix.string() + ".ppm");
        int width = 0, height = 0, maxValue = 0, consumed = 0;
        ASSERT_EQ(std::sscanf(ppm.c_str(), "P6 %d %d %d%n", &width, &height, &maxValue, &consumed), 3);
        ASSERT_EQ(width, 612);
        ASSERT_EQ(height, 792);
        const std::size_t start = static_cast<std::size_t>(consumed) + 1;
        int left = width, top = height, right = -1, bottom = -1;
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x) {
                const auto* pixel = reinterpret_cast<const unsigned char*>(ppm.data() + start + 3 * (y * width + x));
                if (pixel[0] < 128 && pixel[1] < 128 && pixel[2] > 64) { // the frame's dark blue
                    left = std::min(left, x);
                    top = std::min(top, y);
                    right = std::max(right, x);
                    bottom = std::max(bottom, y);
                }
            }
        EXPECT_NEAR(left, 52, 1) << jpeg;
        EXPECT_NEAR(top, 0, 1) << jpeg;
        EXPECT_NEAR(right - left + 1, 480, 1) << jpeg;
        EXPECT_NEAR(bottom - top + 1, 743, 1) << jpeg;
    }
}

// ---- Temporary pictures and failures -------------------------------------------------------

TEST_F(PrintPdfTest, NoPictureFileOutlivesTheDocument)
{
    auto page = PagePicture(40, 50);
    const fs::path existing = Folder.Write("existing.pdf", "previous bytes");
    const fs::path folderTarget = Folder.Path() / "a-folder";
    fs::create_directories(folderTarget);
    struct TCase {
        const char* Name;
        fs::path Target;
        bool RemovePicture; // the picture file vanishes before EndDoc
        bool Fails;
    };
    const TCase cases[] = {
        {"saved", Folder.Path() / "ok.pdf", false, false},
        {"missing folder", Folder.Path() / "missing" / "x.pdf", false, true},
        {"target is a folder", folderTarget, false, true},
        {"picture gone", existing, true, true},
    };
    for (const TCase& c : cases) {
        TPrintPDF pdf(nullptr);
        pdf.BeginDoc();
        pdf.DrawBitmap(52, 0, page.get());
        pdf.NewPage();
        pdf.DrawJPEG(52, 0, page.get());
        EXPECT_EQ(Leftovers(), 2) << c.Name;
        if (c.RemovePicture)
            for (const auto& entry : fs::recursive_directory_iterator(Temp()))
                if (entry.path().filename() == "~tmpim1")
                    fs::remove(entry.path());
        pdf.FileName = c.Target.string();
        if (c.Fails)
            EXPECT_THROW(pdf.EndDoc(), EStreamError) << c.Name;
        else
            EXPECT_NO_THROW(pdf.EndDoc()) << c.Name;
        EXPECT_EQ(Leftovers(), 0) << c.Name;
        EXPECT_TRUE(TempIsEmpty()) << c.Name;
    }
    EXPECT_EQ(ReadFile(existing), "previous bytes");
    EXPECT_TRUE(fs::is_directory(folderTarget));
    EXPECT_TRUE(fs::is_empty(folderTarget));
    EXPECT_FALSE(fs::exists(Folder.Path() / "missing"));
    ExpectQpdfAccepts(Folder.Path() / "ok.pdf");
    for (const auto& entry : fs::directory_iterator(Folder.Path()))
        EXPECT_FALSE(IsAtomicTemporaryName(entry.path().filename().string())) << entry.path();
}

TEST_F(PrintPdfTest, DestroyingOrRestartingADocumentRemovesItsPictures)
{
    auto page = PagePicture(40, 50);
    {
        TPrintPDF pdf(nullptr);
        pdf.BeginDoc();
        pdf.DrawBitmap(52, 0, page.get());
        EXPECT_EQ(Leftovers(), 1);
    }
    EXPECT_TRUE(TempIsEmpty());

    TPrintPDF pdf(nullptr);
    pdf.BeginDoc();
    pdf.DrawJPEG(52, 0, page.get());
    pdf.NewPage();
    pdf.BeginDoc();
    EXPECT_TRUE(TempIsEmpty());
    EXPECT_EQ(pdf.PageNumber(), 1);
    pdf.DrawBitmap(52, 0, page.get());
    const fs::path path = Save(pdf, "second.pdf");
    EXPECT_EQ(ObjectsOf(ReadFile(path)).size(), 23u);
    EXPECT_TRUE(TempIsEmpty());
    ExpectQpdfAccepts(path);
}
