// Prepared pages exported as pictures: page files checked by identify, file, wmf2svg and python's
// struct, picture PDFs by qpdf and poppler, the save dialog and failures through the scripted
// dialog service, and the progress window grabbed in the middle of an export.

#include "ExportFilterTestSupport.h"

#include "PdfTestSupport.h"

#include "reportexport/ExportPack.h"
#include "reportexport/MetafileWriter.h"
#include "reportexport/Prgrs.h"

#include "report/RP_View.h"
#include "report/rpBandView.h"

#include "platform/gui/Form.h"
#include "platform/gui/Grab.h"
#include "platform/gui/Label.h"
#include "platform/gui/Metafile.h"
#include "platform/gui/ScriptedDialogs.h"
#include "platform/gui/ScrollBar.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <set>

using namespace ExportFilterTestSupport;

namespace ExportPackTest {
using PdfTestSupport::ExpectQpdfAccepts;
using PdfTestSupport::Quoted;
using PdfTestSupport::RunCommand;
using PdfTestSupport::TTestFolder;

namespace {

std::string Checked(const std::string& command)
{
    std::string output;
    EXPECT_EQ(RunCommand(command, &output), 0) << command << "\n" << output;
    return output;
}

// Copies a picture to the folder named by TESS_KEEP_SCREENSHOTS, to be looked at.
void Keep(const fs::path& picture, const std::string& name)
{
    if (const char* keep = std::getenv("TESS_KEEP_SCREENSHOTS"))
        fs::copy_file(picture, fs::path(keep) / name, fs::copy_options::overwrite_existing);
}

// The text with every run of blanks made one space.
std::string Squeezed(const std::string& text)
{
    std::string squeezed;
    for (char c : text)
        if (c != ' ' || squeezed.empty() || squeezed.back() != ' ')
            squeezed += c;
    return squeezed;
}

// Runs a python3 script on the arguments; the script fails the test by exiting non-zero.
std::string RunPython(const TTestFolder& folder, const std::string& script, const std::string& arguments)
{
    const fs::path file = folder.Write("check.py", script);
    return Checked("python3 " + Quoted(file) + " " + arguments);
}

void AddBox(TrpPageInfo& sheet, int x, int y, int width, int height, TColor fill, const std::string& text)
{
    auto memo = MakeMemo("Arial", 10);
    memo->SetBounds(x, y, width, height);
    memo->FillColor = fill;
    memo->Memo->Add(text);
    PutPreparedObject(sheet, *memo);
}

// Each sheet: a black square at the top left corner, a coloured box and a line of text.
void FillSheets(TrpReport& report)
{
    for (int i = 0; i < report.PreparedPages->Count(); ++i) {
        TrpPageInfo& sheet = *report.PreparedPages->Pages(i);
        AddBox(sheet, 0, 0, 30, 30, clBlack, "");
        AddBox(sheet, 100, 120, 300, 40, i == 1 ? clRed : clAqua, "Pagina " + std::to_string(i + 1));
        AddBox(sheet, 100, 300, 400, 20, clNone, "Fattura n\xB0 " + std::to_string(100 + i) + " \x80 12,50");
    }
}

// The installed dialog service for one test; the engine's standing one comes back afterwards.
class TDialogScope {
public:
    TDialogScope()
    {
        auto dialogs = std::make_unique<TScriptedDialogs>();
        Dialogs = dialogs.get();
        FPrevious = SetDialogService(std::move(dialogs));
    }
    ~TDialogScope() { SetDialogService(std::move(FPrevious)); }
    int MessageBoxes(const std::string& text) const
    {
        int count = 0;
        for (const TDialogRequestRecord& request : Dialogs->Requests())
            if (request.Kind == TDialogKind::MessageBox && request.Text == text)
                ++count;
        return count;
    }
    TScriptedDialogs* Dialogs = nullptr;

private:
    std::unique_ptr<IDialogService> FPrevious;
};

const std::string ErrorText = "Errore nell'esportazione della stampa";

class ExportPack : public testing::Test {
protected:
    void SetUp() override
    {
        StartEngine();
        Export.Report = &Report;
    }
    void TearDown() override { DocMode = dmDesigning; }

    // A report of count sheets of the sample paper (portrait), filled.
    void BuildSheets(int count)
    {
        AddSheets(Report, count);
        FillSheets(Report);
    }
    std::string Base() const { return (Folder.Path() / "Out" / "Fattura").string(); }
    void MakeOut() const { fs::create_directory(Folder.Path() / "Out"); }
    fs::path Out(const std::string& name) const { return Folder.Path() / "Out" / name; }
    // The export that writes files of the extension (a PDF of indexed pictures for ".PDF").
    void ExportAs(const std::string& extension, const std::string& base)
    {
        if (extension == ".BMP")
            Export.ExportRPBMP(base, false);
        else if (extension == ".JPG")
            Export.ExportRPJPG(base, false);
        else if (extension == ".EMF")
            Export.ExportRPEMF(base, false);
        else if (extension == ".WMF")
            Export.ExportRPWMF(base, false);
        else
            Export.ExportRPPDF(base, true, false);
    }
    int PageWidth(int index) const { return Report.PreparedPages->Pages(index)->PrinterInfo.PaperWidthPx; }
    int PageHeight(int index) const { return Report.PreparedPages->Pages(index)->PrinterInfo.PaperHeightPx; }

    TrpReport Report{nullptr};
    TExportRP Export{nullptr};
    TTestFolder Folder;
};

TEST(ExportPackNames, PageFilesAndBaseNames)
{
    struct TPageCase {
        std::string Base;
        int Page;
        std::string Extension, Expected;
    };
    for (const TPageCase& c : std::vector<TPageCase>{{"/tmp/Out/Fattura", 1, ".BMP", "/tmp/Out/Fattura00001.BMP"},
                                                     {"Fattura", 42, ".JPG", "Fattura00042.JPG"},
                                                     {"Fattura", 99999, ".EMF", "Fattura99999.EMF"},
                                                     {"Fattura", 123456, ".WMF", "Fattura123456.WMF"}})
        EXPECT_EQ(TExportRP::PageFileName(c.Base, c.Page, c.Extension), c.Expected);

    // Only the last extension goes, so that two exports never share their files.
    const std::vector<std::pair<std::string, std::string>> bases = {
        {"/tmp/Out/Fattura.2024.pdf", "/tmp/Out/Fattura.2024"},
        {"/tmp/Out/Fattura", "/tmp/Out/Fattura"},
        {"/tmp/v1.2/Fattura", "/tmp/v1.2/Fattura"},
        {"C:\\Out\\Fattura.pdf", "C:\\Out\\Fattura"},
        {"/tmp/Out/Nota di credito \xE8 n.3.jpg", "/tmp/Out/Nota di credito \xE8 n.3"},
        {"/tmp/Out/.pdf", "/tmp/Out/.pdf"},
    };
    for (const auto& [chosen, expected] : bases)
        EXPECT_EQ(TExportRP::BaseName(chosen), expected) << chosen;
}

TEST_F(ExportPack, BmpPagesAreEightBitFilesWithTheirPalette)
{
    BuildSheets(3);
    MakeOut();
    TDialogScope dialogs;
    Export.ExportRPBMP(Base(), false);
    EXPECT_EQ(Listing(Folder.Path() / "Out"),
              (std::set<std::string>{"Fattura00001.BMP", "Fattura00002.BMP", "Fattura00003.BMP"}));
    EXPECT_EQ(dialogs.MessageBoxes(ErrorText), 0);
    EXPECT_EQ(Export.ComponentCount(), 0);

    const std::string identified = Squeezed(Checked("identify -verbose " + Quoted(Out("Fattura00002.BMP"))));
    for (const std::string line : {"Format: BMP3 ", "Depth: 8-bit", "Colormap entries: 256"})
        EXPECT_NE(identified.find(line), std::string::npos) << line;
    EXPECT_NE(identified.find("Geometry: " + std::to_string(PageWidth(1)) + "x" + std::to_string(PageHeight(1)) + "+0+0"),
              std::string::npos);
    RunPython(Folder, R"(import struct, sys
data = open(sys.argv[1], 'rb').read()
magic, size, _, _, offset = struct.unpack('<2sIHHI', data[:14])
header, w, h, planes, bits, compression, image, _, _, used, _ = struct.unpack('<IiiHHIIiiII', data[14:54])
assert magic == b'BM' and size == len(data), (magic, size, len(data))
assert header == 40 and bits == 8 and compression == 0, (header, bits, compression)
assert used in (0, 256) and offset == 14 + 40 + 1024, (used, offset)
assert size == offset + ((w + 3) // 4 * 4) * h, size
)",
              Quoted(Out("Fattura00001.BMP")));

    // With 24 bits the page is kept as drawn: the black corner, the red box of page 2.
    Export.PixelFormat = pf24bit;
    Export.ExportRPBMP((Folder.Path() / "Vero").string(), false);
    const std::string pixels =
        Checked("convert " + Quoted(Folder.Path() / "Vero00002.BMP") + " -format '%[pixel:p{5,5}] %[pixel:p{200,125}]' info:");
    EXPECT_EQ(pixels, "srgb(0,0,0) srgb(255,0,0)");
    Keep(Folder.Path() / "Vero00002.BMP", "export-page.bmp");
}

TEST_F(ExportPack, JpegPagesAreWrittenAtQuality75)
{
    BuildSheets(2);
    MakeOut();
    Export.ExportRPJPG(Base(), false);
    EXPECT_EQ(Listing(Folder.Path() / "Out"), (std::set<std::string>{"Fattura00001.JPG", "Fattura00002.JPG"}));
    EXPECT_EQ(Checked("identify -format '%m %Q %w %h\\n' " + Quoted(Out("Fattura00002.JPG"))),
              "JPEG 75 " + std::to_string(PageWidth(1)) + " " + std::to_string(PageHeight(1)) + "\n");
}

// The DIB inside an EMF and a WMF file, found by walking their records.
const char* const MetafileWalker = R"(import struct, sys
kind, path = sys.argv[1], sys.argv[2]
data = open(path, 'rb').read()
if kind == 'emf':
    at, records, dib = 0, 0, None
    nbytes, nrecords = struct.unpack('<II', data[48:56])
    assert data[40:44] == b' EMF', data[40:44]
    while True:
        rtype, rsize = struct.unpack('<II', data[at:at + 8])
        assert rsize >= 8 and rsize % 4 == 0 and at + rsize <= len(data), (at, rsize)
        records += 1
        if rtype == 81:
            off_bmi, cb_bmi, off_bits, cb_bits = struct.unpack('<IIII', data[at + 48:at + 64])
            rop, cx, cy = struct.unpack('<III', data[at + 68:at + 80])
            assert rop == 0x00CC0020, hex(rop)
            dib = data[at + off_bmi:at + off_bmi + cb_bmi] + data[at + off_bits:at + off_bits + cb_bits]
        at += rsize
        if rtype == 14:
            break
    assert at == len(data) == nbytes and records == nrecords == 3, (at, len(data), nbytes, records, nrecords)
else:
    key, _, left, top, right, bottom, inch, _, checksum = struct.unpack('<IHhhhhHIH', data[:22])
    words = struct.unpack('<10H', data[:20])
    check = 0
    for word in words:
        check ^= word
    assert key == 0x9AC6CDD7 and inch == 96 and check == checksum, (hex(key), inch, check, checksum)
    kind_, header_words, version, total_words, _, max_record, _ = struct.unpack('<HHHIHIH', data[22:40])
    assert header_words == 9 and total_words * 2 == len(data) - 22, (header_words, total_words, len(data))
    at, dib, functions = 40, None, []
    while True:
        size, function = struct.unpack('<IH', data[at:at + 6])
        functions.append(function)
        assert size <= max_record
        if function == 0x0F43:
            rop, usage = struct.unpack('<IH', data[at + 6:at + 12])
            assert rop == 0x00CC0020 and usage == 0
            dib = data[at + 28:at + size * 2]
        at += size * 2
        if function == 0:
            break
    assert at == len(data) and functions == [0x020B, 0x020C, 0x0F43, 0], (at, len(data), functions)
    print(right - left, bottom - top)
sys.stdout.buffer.write(b'') if dib is None else open(sys.argv[3], 'wb').write(dib)
)";

TEST_F(ExportPack, MetafilePagesOpenElsewhereAndHoldThePageAsDrawn)
{
    BuildSheets(2);
    MakeOut();
    Export.PixelFormat = pf24bit;
    Export.ExportRPBMP((Folder.Path() / "Vero").string(), false);
    Export.ExportRPEMF(Base(), false);
    Export.ExportRPWMF(Base(), false);
    EXPECT_EQ(Listing(Folder.Path() / "Out"), (std::set<std::string>{"Fattura00001.EMF", "Fattura00002.EMF",
                                                                      "Fattura00001.WMF", "Fattura00002.WMF"}));
    EXPECT_NE(Checked("file " + Quoted(Out("Fattura00002.EMF"))).find("Windows Enhanced Metafile (EMF) image data"),
              std::string::npos);
    EXPECT_NE(Checked("file " + Quoted(Out("Fattura00002.WMF"))).find("Windows metafile"), std::string::npos);

    // The picture inside both is the page drawn straight into a 24-bit bitmap, byte for byte.
    const std::string drawn = ReadAll(Folder.Path() / "Vero00002.BMP").substr(14);
    RunPython(Folder, MetafileWalker, "emf " + Quoted(Out("Fattura00002.EMF")) + " " + Quoted(Folder.Path() / "emf.dib"));
    const std::string size = RunPython(Folder, MetafileWalker,
                                       "wmf " + Quoted(Out("Fattura00002.WMF")) + " " + Quoted(Folder.Path() / "wmf.dib"));
    EXPECT_EQ(size, std::to_string(PageWidth(1)) + " " + std::to_string(PageHeight(1)) + "\n");
    EXPECT_TRUE(ReadAll(Folder.Path() / "emf.dib") == drawn);
    EXPECT_TRUE(ReadAll(Folder.Path() / "wmf.dib") == drawn);

    // The layer reads its own files back at the page's size.
    TMetafile emf;
    emf.LoadFromFile(Out("Fattura00002.EMF").string());
    EXPECT_EQ(emf.Width(), PageWidth(1));
    EXPECT_EQ(emf.Height(), PageHeight(1));

    Checked("wmf2svg --maxwidth=" + std::to_string(PageWidth(1)) + " --maxheight=" + std::to_string(PageHeight(1)) + " -o " + Quoted(Folder.Path() / "page.svg") + " " + Quoted(Out("Fattura00002.WMF")));
    const std::string svg = ReadAll(Folder.Path() / "page.svg");
    EXPECT_NE(svg.find("<image"), std::string::npos) << svg.substr(0, 600);
    EXPECT_NE(svg.find("width=\"" + std::to_string(PageWidth(1))), std::string::npos) << svg.substr(0, 600);
    EXPECT_NE(svg.find("height=\"" + std::to_string(PageHeight(1))), std::string::npos) << svg.substr(0, 600);
}

struct TPdfCase {
    bool BitmapPictures;
    bool LandscapeFirst;
    std::string ImageKind, PageSize;
};

class PicturePdf : public ExportPack, public testing::WithParamInterface<TPdfCase> {};

TEST_P(PicturePdf, EveryPageIsOnePictureOnAPageTheFirstPageDecides)
{
    const TPdfCase& c = GetParam();
    TrpPage landscape(9, 0, 0, poLandscape);
    TrpPage portrait(9, 0, 0, poPortrait);
    Report.PreparedPages->Add(c.LandscapeFirst ? &landscape : &portrait);
    Report.PreparedPages->Add(&landscape);
    Report.PreparedPages->Add(&portrait);
    FillSheets(Report);
    MakeOut();
    Export.ExportRPPDF(Base(), c.BitmapPictures, false);
    ASSERT_EQ(Listing(Folder.Path() / "Out"), std::set<std::string>{"Fattura.PDF"});
    const fs::path pdf = Out("Fattura.PDF");
    ExpectQpdfAccepts(pdf);

    const std::string info = Squeezed(Checked("pdfinfo -l 3 " + Quoted(pdf)));
    EXPECT_NE(info.find("Pages: 3\n"), std::string::npos) << info;
    for (int page = 1; page <= 3; ++page)
        EXPECT_NE(info.find("Page " + std::to_string(page) + " size: " + c.PageSize), std::string::npos) << info;
    const std::string images = Checked("pdfimages -list " + Quoted(pdf));
    int pictures = 0;
    for (std::size_t at = images.find('\n', images.find("-----")); at != std::string::npos;
         at = images.find('\n', at + 1)) {
        std::istringstream line(images.substr(at + 1, images.find('\n', at + 1) - at - 1));
        std::string page, number, type, width, height, color, components, bits, encoding;
        if (!(line >> page >> number >> type >> width >> height >> color >> components >> bits >> encoding))
            continue;
        ++pictures;
        EXPECT_EQ(type, "image");
        EXPECT_EQ(encoding, c.ImageKind);
        if (c.BitmapPictures) {
            EXPECT_EQ(color, "index");
            EXPECT_EQ(bits, "8");
        }
    }
    EXPECT_EQ(pictures, 3) << images;

    // At 72 dpi the picture starts 52 points from the left at the top edge: its black corner.
    Checked("pdftoppm -r 72 -f 1 -l 1 -png " + Quoted(pdf) + " " + Quoted(Folder.Path() / "page"));
    const std::string pixels = Checked("convert " + Quoted(Folder.Path() / "page-1.png") +
                                   " -format '%[pixel:p{50,0}] %[pixel:p{53,0}] %[pixel:p{53,5}]' info:");
    EXPECT_EQ(pixels.substr(0, pixels.find(' ')), "srgb(255,255,255)") << pixels;
    EXPECT_EQ(pixels.substr(pixels.find(' ') + 1), "srgb(0,0,0) srgb(0,0,0)") << pixels;
    Keep(Folder.Path() / "page-1.png", "export-picture-pdf-" + c.ImageKind + (c.LandscapeFirst ? "-landscape" : "") + ".png");
}

INSTANTIATE_TEST_SUITE_P(Kinds, PicturePdf,
                         testing::Values(TPdfCase{true, false, "image", "612 x 792 pts (letter)"},
                                         TPdfCase{false, false, "jpeg", "612 x 792 pts (letter)"},
                                         TPdfCase{true, true, "image", "792 x 612 pts (letter)"},
                                         TPdfCase{false, true, "jpeg", "792 x 612 pts (letter)"}));

TEST_F(ExportPack, AReportWithoutPagesGivesAOnePagePdfAndNoPageFiles)
{
    MakeOut();
    TDialogScope dialogs;
    Export.ExportRPBMP(Base(), false);
    Export.ExportRPEMF(Base(), false);
    EXPECT_TRUE(Listing(Folder.Path() / "Out").empty());
    Export.ExportRPPDF(Base(), true, false);
    ASSERT_EQ(Listing(Folder.Path() / "Out"), std::set<std::string>{"Fattura.PDF"});
    ExpectQpdfAccepts(Out("Fattura.PDF"));
    EXPECT_NE(Squeezed(Checked("pdfinfo " + Quoted(Out("Fattura.PDF")))).find("Pages: 1\n"), std::string::npos);
    EXPECT_EQ(dialogs.MessageBoxes(ErrorText), 0);
}

TEST_F(ExportPack, TheDialogChoosesTheKindAndKeepsAllButTheLastExtension)
{
    struct TDialogCase {
        int FilterIndex;
        std::string Chosen;
        std::set<std::string> Files;
    };
    const std::vector<TDialogCase> cases = {
        {1, "Fattura.2024.pdf", {"Fattura.2024.PDF"}}, {2, "Fattura.pdf", {"Fattura.PDF"}},
        {3, "Fattura.jpg", {"Fattura00001.JPG"}},      {4, "Fattura", {"Fattura00001.BMP"}},
        {5, "Fattura.emf", {"Fattura00001.EMF"}},      {6, "Fattura.wmf", {"Fattura00001.WMF"}},
        // Names as users type them: blanks, accents, several dots, a Windows separator.
        {4, "Nota di credito \xE8 n.3.bmp", {"Nota di credito \xC3\xA8 n.300001.BMP"}},
        {1, "\\Fattura.pdf", {"Fattura.PDF"}},
    };
    // A title band with one text: the report prepares to one page.
    Report.ShowProgress = false;
    TrpPage* page = Report.DesignPages->Count() > 0 ? Report.DesignPages->Pages(0) : Report.DesignPages->Add();
    auto band = std::make_unique<TrpBandView>();
    band->SetBandType(btReportTitle);
    band->SetBounds(0, 20, 700, 40);
    band->Name = "Titolo";
    page->Objects.push_back(std::move(band));
    auto memo = std::make_unique<TrpMemoView>();
    memo->SetBounds(20, 20, 300, 18);
    memo->Memo->Add("Fattura");
    memo->Name = "Testo";
    page->Objects.push_back(std::move(memo));

    for (const TDialogCase& c : cases) {
        TTestFolder out;
        TDialogScope dialogs;
        dialogs.Dialogs->Expect(TDialogKind::SaveFile, TDialogAnswer::File(
            out.Path().string() + (c.Chosen[0] == '\\' ? "" : "/") + c.Chosen, c.FilterIndex));
        Export.ExportFR();
        EXPECT_EQ(Listing(out.Path()), c.Files) << c.FilterIndex;
        const std::vector<TDialogRequestRecord> requests = dialogs.Dialogs->Requests();
        ASSERT_EQ(requests.size(), 1u) << c.FilterIndex;
        EXPECT_EQ(requests[0].File.Title, "Salva come");
        EXPECT_EQ(requests[0].File.Filter, TExportRP::DialogFilter);
        EXPECT_EQ(requests[0].File.FilterIndex, 1);
    }

    // Cancel writes nothing and says nothing.
    TDialogScope dialogs;
    TDialogAnswer cancel;
    cancel.Accepted = false;
    dialogs.Dialogs->Expect(TDialogKind::SaveFile, cancel);
    Export.ExportFR();
    EXPECT_TRUE(Listing(Folder.Path()).empty());
    EXPECT_EQ(dialogs.Dialogs->Requests().size(), 1u);

    // Without a report nothing is asked.
    TExportRP alone(nullptr);
    alone.ExportFR();
    alone.ExportRPFromPreview();
    EXPECT_EQ(dialogs.Dialogs->Requests().size(), 1u);
}

TEST_F(ExportPack, AFailureEndsWithOneMessageAndLeavesOnlyTheCompleteFiles)
{
    BuildSheets(3);
    {
        // A base name in a folder that does not exist.
        TDialogScope dialogs;
        Export.ExportRPJPG((Folder.Path() / "Manca" / "Fattura").string(), false);
        EXPECT_EQ(dialogs.MessageBoxes(ErrorText), 1);
        const TDialogRequestRecord request = dialogs.Dialogs->Requests().at(0);
        EXPECT_EQ(request.Icon, static_cast<UINT>(MB_ICONERROR));
        EXPECT_EQ(request.Buttons, static_cast<UINT>(MB_OK));
        EXPECT_EQ(Export.ComponentCount(), 0);
    }
    // The second page's file name is a folder: the first page stays, nothing half written.
    for (const std::string extension : {".BMP", ".JPG", ".EMF", ".WMF"}) {
        TTestFolder out;
        fs::create_directory(out.Path() / ("Fattura00002" + extension));
        TDialogScope dialogs;
        const std::string base = (out.Path() / "Fattura").string();
        ExportAs(extension, base);
        EXPECT_EQ(dialogs.MessageBoxes(ErrorText), 1) << extension;
        EXPECT_EQ(Listing(out.Path()), (std::set<std::string>{"Fattura00001" + extension, "Fattura00002" + extension}))
            << extension;
        EXPECT_TRUE(fs::is_regular_file(out.Path() / ("Fattura00001" + extension)));
        EXPECT_EQ(Export.ComponentCount(), 0);
    }
    // A PDF whose name is taken by a folder.
    TTestFolder out;
    fs::create_directory(out.Path() / "Fattura.PDF");
    TDialogScope dialogs;
    Export.ExportRPPDF((out.Path() / "Fattura").string(), true, false);
    EXPECT_EQ(dialogs.MessageBoxes(ErrorText), 1);
    EXPECT_EQ(Listing(out.Path()), std::set<std::string>{"Fattura.PDF"});
    EXPECT_EQ(Export.ComponentCount(), 0);
}

TEST_F(ExportPack, PagesOfZeroOrHugeSizes)
{
    BuildSheets(3);
    Report.PreparedPages->Pages(0)->PrinterInfo.PaperWidthPx = 0;
    Report.PreparedPages->Pages(0)->PrinterInfo.PaperHeightPx = 0;
    Report.PreparedPages->Pages(2)->PrinterInfo.PaperWidthPx = 40000;
    for (const std::string extension : {".BMP", ".EMF", ".PDF"}) {
        TTestFolder out;
        TDialogScope dialogs;
        const std::string base = (out.Path() / "Fattura").string();
        ExportAs(extension, base);
        // The page the layer refuses ends the export; the pages before it are written.
        EXPECT_EQ(dialogs.MessageBoxes(ErrorText), 1) << extension;
        if (extension == ".PDF") {
            EXPECT_TRUE(Listing(out.Path()).empty());
            continue;
        }
        EXPECT_EQ(Listing(out.Path()), (std::set<std::string>{"Fattura00001" + extension, "Fattura00002" + extension}));
        if (extension == ".BMP") {
            EXPECT_EQ(Checked("identify -format '%w %h' " + Quoted(out.Path() / "Fattura00001.BMP")), "1 1");
        }
    }
}

TEST_F(ExportPack, ProgressWindowNamesThePageBeingWritten)
{
    BuildSheets(3);
    MakeOut();
    std::vector<std::string> captions;
    std::vector<int> positions;
    TFPrgrs* shown = nullptr;
    const fs::path grab = Folder.Path() / "progress.png";
    // The writer of the metafiles runs while the page is being written: the window is on show.
    TMetafileWriter real = SetMetafileWriter(true, nullptr);
    SetMetafileWriter(true, [&](const TMetafile& metafile, TStream& stream) {
        for (int i = 0; i < Export.ComponentCount(); ++i) {
            if (auto* progress = dynamic_cast<TFPrgrs*>(Export.Components(i)))
                shown = progress;
        }
        if (shown) {
            captions.push_back(shown->Accion->Caption());
            positions.push_back(shown->PB->Position());
            EXPECT_TRUE(shown->Visible());
            EXPECT_EQ(shown->Caption(), "Esportazione in corso...");
            EXPECT_EQ(shown->ClientWidth(), 265);
            EXPECT_EQ(shown->ClientHeight(), 84);
            EXPECT_EQ(shown->PB->Max(), 3);
            if (captions.size() == 2) {
                EXPECT_TRUE(GrabToPng(shown, grab.string()));
            }
        }
        real(metafile, stream);
    });
    Export.ExportRPEMF(Base(), false);
    SetMetafileWriter(true, real);
    EXPECT_EQ(captions, (std::vector<std::string>{"Pagina... 1 di 3", "Pagina... 2 di 3", "Pagina... 3 di 3"}));
    EXPECT_EQ(positions, (std::vector<int>{0, 1, 2}));
    EXPECT_EQ(Export.ComponentCount(), 0);
    EXPECT_TRUE(fs::exists(grab));
    Keep(grab, "export-progress.png");
}

TEST_F(ExportPack, FromThePreviewThePagesComeBackToItAndBitmapsHaveEightBits)
{
    TForm* host = TForm::Create<TForm>(nullptr);
    host->SetClientWidth(600);
    host->SetClientHeight(400);
    auto* preview = new TrpPreview(host);
    preview->SetParent(host);
    preview->SetAlign(alClient);
    BuildSheets(2);
    preview->Connect(&Report);
    ASSERT_EQ(Report.PreparedPages->Count(), 0);
    Export.Preview = preview;
    Export.PixelFormat = pf24bit;
    MakeOut();
    {
        TDialogScope dialogs;
        dialogs.Dialogs->Expect(TDialogKind::SaveFile, TDialogAnswer::File(Base() + ".bmp", 4));
        Export.ExportRPFromPreview();
        EXPECT_EQ(dialogs.MessageBoxes(ErrorText), 0);
    }
    EXPECT_EQ(Listing(Folder.Path() / "Out"), (std::set<std::string>{"Fattura00001.BMP", "Fattura00002.BMP"}));
    EXPECT_EQ(Checked("identify -format '%z' " + Quoted(Out("Fattura00002.BMP"))), "8");
    EXPECT_EQ(preview->GetAllPages(), 2);
    EXPECT_EQ(Report.PreparedPages->Count(), 0);

    // Also after a failure the preview shows its pages again.
    {
        TDialogScope dialogs;
        Export.ExportRPPDF((Folder.Path() / "Manca" / "Fattura").string(), false, true);
        EXPECT_EQ(dialogs.MessageBoxes(ErrorText), 1);
    }
    EXPECT_EQ(preview->GetAllPages(), 2);
    TComponent::Free(host);
}

} // namespace
} // namespace ExportPackTest
