// Prepared pages and the prepared-report file: the known bytes of a one-sheet file, round trips
// checked by an independent reader, damaged and compressed files, the older layout, and drawing a
// sheet with culling on screen but not on a printer.

#include "ReportTestSupport.h"

#include "ModelJson.h"
#include "fuzz/TemplateFuzzCase.h"

#include "tests/TestFixtures.h"

#include "platform/gui/Bitmap.h"
#include "platform/gui/Metafile.h"
#include "platform/gui/Printer.h"
#include "platform/gui/PrinterDevice.h"
#include "platform/gui/Regions.h"

#include <fstream>

namespace {

const char* const OneSheetHex = R"(
00 00 00 00 01 00 00 00 5e 00 00 00 09 00 34 08 00 00 9a 0b 00 00 00 01 17 00 0a 00 00 00
14 00 00 00 64 00 00 00 12 00 00 00 03 00 00 00 01 00 00 00 00 00 00 00 00 00 ff ff ff 1f
01 00 05 00 31 32 2c 35 30 00 05 00 41 72 69 61 6c 00 0a 00 00 00 00 00 00 00 00 00 00 00
00 00 00 00
)";

TBytes StreamBytes(TMemoryStream& stream)
{
    return TBytes(stream.Memory(), stream.Memory() + stream.Size());
}

TBytes SavePrepared(TrpReport& report)
{
    TMemoryStream stream;
    report.PreparedPages->SaveToStream(stream);
    return StreamBytes(stream);
}

void LoadPrepared(TrpReport& report, const TBytes& bytes)
{
    TMemoryStream stream;
    if (!bytes.empty())
        stream.WriteBuffer(bytes.data(), static_cast<int>(bytes.size()));
    stream.SetPosition(0);
    report.PreparedPages->LoadFromStream(stream);
}

TrpPageInfo* AddSheet(TrpReport& report, TrpPage* page)
{
    report.PreparedPages->Add(page);
    return report.PreparedPages->Pages(report.PreparedPages->Count() - 1);
}

void BuildOneSheet(TrpReport& report)
{
    TrpPageInfo* sheet = AddSheet(report, report.DesignPages->Add());
    TrpMemoView memo;
    memo.SetBounds(10, 20, 100, 18);
    memo.Memo->Add("12,50");
    PutPreparedObject(*sheet, memo);
}

// Twenty sheets of two papers with every kind of object a sheet holds.
void BuildTwentySheets(TrpReport& report)
{
    TrpPage* portrait = report.DesignPages->Add();
    TrpPage* landscape = report.DesignPages->Add();
    landscape->ChangePaper(11, 0, 0, poLandscape);
    landscape->UseMargins = 0;
    for (int i = 0; i < 20; ++i) {
        TrpPageInfo* sheet = AddSheet(report, i % 3 == 2 ? landscape : portrait);
        TrpMemoView memo;
        memo.SetBounds(10, 20 + i, 200, 40);
        memo.Memo->Add("Fattura n. " + std::to_string(i + 1));
        memo.Memo->Add("Citt\xE0: Perch\xE9");
        memo.Font->SetName("Times New Roman");
        memo.Font->SetStyle({fsBold});
        memo.Adjust = i % 4;
        memo.FrameTyp = rpFrameAll;
        memo.FrameWidth = 1.5f;
        PutPreparedObject(*sheet, memo);
        TrpMemoView part;
        part.SetBounds(10, 80, 120, 30);
        part.Memo->Add(std::string("prima riga") + "\x00\x2a");
        part.Memo->Add(std::string("seconda\x01") + "\x0d\x0a");
        PutPreparedObject(*sheet, part);
        TrpLineView line;
        line.SetBounds(0, 120, 300, 0);
        PutPreparedObject(*sheet, line);
        TBitmap bitmap;
        bitmap.SetSize(3, 2);
        TrpPictureView picture;
        picture.SetBounds(400, 10, 30, 20);
        picture.Picture->SetGraphic(&bitmap);
        PutPreparedObject(*sheet, picture);
        TrpStubAddIn stub;
        stub.SetBounds(5, 5, 5, 5);
        stub.Extra = 0xA0B0C0D0u + static_cast<std::uint32_t>(i);
        PutPreparedObject(*sheet, stub);
    }
}

class PreparedPages : public testing::Test {
protected:
    void SetUp() override
    {
        UseVirtualPrinterOnly();
        RegisterStubAddIn();
    }
    TrpReport Report{nullptr};
    TScratchFolder Folder;
};

TEST_F(PreparedPages, OneSheetIsTheKnownNinetyFourBytes)
{
    BuildOneSheet(Report);
    EXPECT_EQ(ToHex(SavePrepared(Report)), ToHex(FromHex(OneSheetHex)));
    Report.SavePreparedReport(Folder.File("uno.frp"));
    EXPECT_EQ(ReadFileBytes(Folder.Path() / "uno.frp"), FromHex(OneSheetHex));

    TrpReport loaded(nullptr);
    loaded.CanRebuild = true;
    loaded.LoadPreparedReport(Folder.File("uno.frp"));
    EXPECT_FALSE(loaded.CanRebuild);
    ASSERT_EQ(loaded.PreparedPages->Count(), 1);
    TrpPageInfo* sheet = loaded.PreparedPages->Pages(0);
    EXPECT_EQ(sheet->PaperSize, 9);
    EXPECT_EQ(sheet->Width, 2100);
    EXPECT_EQ(sheet->Height, 2970);
    EXPECT_EQ(sheet->Orientation, 0);
    EXPECT_EQ(sheet->UseMargins, 1);
    EXPECT_EQ(sheet->PrinterInfo.PaperWidthPx, 752);
    EXPECT_EQ(sheet->PrinterInfo.PaperHeightPx, 1071);
    loaded.PreparedPages->ObjectsToPage(0);
    ASSERT_EQ(sheet->Page->Objects.size(), 1u);
    auto* memo = dynamic_cast<TrpMemoView*>(sheet->Page->Objects[0].get());
    ASSERT_NE(memo, nullptr);
    EXPECT_EQ(memo->Left, 10);
    EXPECT_EQ(memo->Top, 20);
    EXPECT_EQ(memo->Width, 100);
    EXPECT_EQ(memo->Height, 18);
    EXPECT_EQ(memo->Memo->Text(), "12,50\r\n");
    EXPECT_EQ(memo->Font->Name(), "Arial");
    EXPECT_EQ(memo->Font->Size(), 10);
    EXPECT_EQ(memo->StreamMode, smDesigning);
}

TEST_F(PreparedPages, AddingASheetTellsTheCurrentAndTheMasterReport)
{
    TrpReport master(nullptr);
    std::vector<std::string> calls;
    Report.OnBeginPage = [&calls](int page) { calls.push_back("current " + std::to_string(page)); };
    master.OnBeginPage = [&calls](int page) { calls.push_back("master " + std::to_string(page)); };
    CurReport = &Report;
    MasterReport = &master;
    PageNo = 4;
    Report.PreparedPages->Add(Report.DesignPages->Add());
    EXPECT_EQ(calls, (std::vector<std::string>{"current 4", "master 4"}));
    EXPECT_EQ(Report.PreparedPages->Pages(0)->Stream->Size(), 1);
    EXPECT_EQ(rpVersion, 23);
    PageNo = 0;
    CurReport = MasterReport = nullptr;
}

TEST_F(PreparedPages, TwentySheetsSaveLoadAndSaveTheSame)
{
    BuildTwentySheets(Report);
    Report.SavePreparedReport(Folder.File("venti.frp"));
    TrpReport loaded(nullptr);
    loaded.LoadPreparedReport(Folder.File("venti.frp"));
    ASSERT_EQ(loaded.PreparedPages->Count(), 20);
    EXPECT_EQ(loaded.PreparedPages->Pages(2)->PrinterInfo.PaperWidthPx, 752);
    EXPECT_EQ(loaded.PreparedPages->Pages(2)->PrinterInfo.PaperHeightPx, 534);
    loaded.SavePreparedReport(Folder.File("ancora.frp"));
    const std::string compare = "cmp -s " + Folder.File("venti.frp") + " " + Folder.File("ancora.frp");
    EXPECT_EQ(std::system(compare.c_str()), 0);

    std::ofstream(Folder.Path() / "model.json") << ReportJson::PreparedJson(*loaded.PreparedPages);
    const std::string command = std::string("python3 ") + TestFixtureDir() + "/frf_dump.py " + Folder.File("venti.frp") +
                                " --addin TrpStubAddIn=4 --expect " + Folder.File("model.json") + " > " +
                                Folder.File("differences.txt") + " 2>&1";
    EXPECT_EQ(std::system(command.c_str()), 0) << ReadText(Folder.Path() / "differences.txt");
}

TEST_F(PreparedPages, AnEmptyListIsCountZero)
{
    EXPECT_EQ(ToHex(SavePrepared(Report)), ToHex(FromHex("00 00 00 00 00 00 00 00")));
    BuildOneSheet(Report);
    LoadPrepared(Report, FromHex("00 00 00 00 00 00 00 00"));
    EXPECT_EQ(Report.PreparedPages->Count(), 0);
}

TEST_F(PreparedPages, DamagedAndCompressedFilesRaiseAndKeepTheSheets)
{
    const TBytes good = FromHex(OneSheetHex);
    std::vector<std::pair<std::string, TBytes>> cases;
    for (std::uint8_t first : {0x01, 0xFF}) {
        TBytes compressed = good;
        compressed[0] = first;
        cases.push_back({"compressed " + std::to_string(first), compressed});
    }
    auto withEnd = [&good](std::uint32_t end) {
        TBytes bytes = good;
        std::memcpy(bytes.data() + 8, &end, 4);
        return bytes;
    };
    cases.push_back({"end before its paper", withEnd(20)});
    cases.push_back({"end at the start", withEnd(0)});
    cases.push_back({"end past the file", withEnd(95)});
    cases.push_back({"end far away", withEnd(0xFFFFFFF0u)});
    TBytes huge = good;
    std::memset(huge.data() + 4, 0xFF, 4);
    cases.push_back({"count 0xFFFFFFFF", huge});
    TBytes twoSheets = good;
    twoSheets[4] = 2;
    cases.push_back({"a missing second sheet", twoSheets});
    for (std::size_t length = 0; length < good.size(); ++length)
        cases.push_back({"prefix " + std::to_string(length), TBytes(good.begin(), good.begin() + static_cast<std::ptrdiff_t>(length))});

    BuildTwentySheets(Report);
    const TBytes before = SavePrepared(Report);
    for (const auto& [name, bytes] : cases) {
        EXPECT_THROW(LoadPrepared(Report, bytes), EReadError) << name;
        EXPECT_EQ(Report.PreparedPages->Count(), 20) << name;
    }
    EXPECT_EQ(SavePrepared(Report), before);
    try {
        LoadPrepared(Report, cases[0].second);
    } catch (const EReadError& error) {
        EXPECT_EQ(error.Message, "File di report compresso: formato non supportato");
    }
}

// A file of the older layout: the printer name in a line list, then per sheet a metafile.
TBytes OldLayoutFile(std::vector<TBytes>& metafiles)
{
    TMemoryStream file;
    file.WriteBuffer("Ufficio\0", 8);
    file.WriteUInt32(2);
    for (int sheet = 0; sheet < 2; ++sheet) {
        TMetafile metafile;
        metafile.SetWidth(200 + sheet);
        metafile.SetHeight(300);
        {
            TMetafileCanvas canvas(&metafile, nullptr);
            canvas.TextOut(10, 10, "Foglio " + std::to_string(sheet + 1));
        }
        TMemoryStream bytes;
        metafile.SaveToStream(bytes);
        metafiles.push_back(StreamBytes(bytes));
        const std::int64_t placeholder = file.Position();
        file.WriteUInt32(0);
        file.WriteUInt16(9);
        file.WriteInt32(0);
        file.WriteInt32(0);
        file.WriteUInt8(static_cast<std::uint8_t>(sheet));
        file.WriteUInt8(1);
        file.WriteBuffer(bytes.Memory(), static_cast<int>(bytes.Size()));
        const std::int64_t end = file.Position();
        file.SetPosition(placeholder);
        file.WriteUInt32(static_cast<std::uint32_t>(end));
        file.SetPosition(end);
    }
    return StreamBytes(file);
}

TEST_F(PreparedPages, OldLayoutSheetsBecomePicturesFillingThem)
{
    const TMetafileWriter previous = SetMetafileWriter(true, WriteMinimalEmf);
    std::vector<TBytes> metafiles;
    const TBytes file = OldLayoutFile(metafiles);
    SetMetafileWriter(true, previous);
    LoadPrepared(Report, file);
    ASSERT_EQ(Report.PreparedPages->Count(), 2);
    TBitmap bitmap;
    bitmap.SetSize(100, 140);
    for (int i = 0; i < 2; ++i) {
        TrpPageInfo* sheet = Report.PreparedPages->Pages(i);
        Report.PreparedPages->ObjectsToPage(i);
        ASSERT_EQ(sheet->Page->Objects.size(), 1u);
        auto* picture = dynamic_cast<TrpPictureView*>(sheet->Page->Objects[0].get());
        ASSERT_NE(picture, nullptr);
        EXPECT_EQ(picture->Left, 0);
        EXPECT_EQ(picture->Top, 0);
        EXPECT_EQ(picture->Width, sheet->PrinterInfo.PaperWidthPx);
        EXPECT_EQ(picture->Height, sheet->PrinterInfo.PaperHeightPx);
        ASSERT_NE(dynamic_cast<TMetafile*>(picture->Picture->Graphic()), nullptr);
        TMemoryStream kept;
        picture->Picture->Graphic()->SaveToStream(kept);
        EXPECT_EQ(StreamBytes(kept), metafiles[static_cast<std::size_t>(i)]);
        sheet->Visible = true;
        Report.PreparedPages->Draw(i, bitmap.Canvas(), {0, 0, 100, 140});
    }
    EXPECT_EQ(Report.PreparedPages->Pages(0)->PrinterInfo.PaperWidthPx, 752);
    EXPECT_EQ(Report.PreparedPages->Pages(1)->PrinterInfo.PaperWidthPx, 1064);
}

TEST_F(PreparedPages, ObjectsBackToTheStreamGiveTheSameBytes)
{
    BuildTwentySheets(Report);
    for (int i : {0, 2}) {
        TrpPageInfo* sheet = Report.PreparedPages->Pages(i);
        const TBytes before = StreamBytes(*sheet->Stream);
        Report.PreparedPages->ObjectsToPage(i);
        Report.PreparedPages->PageToObjects(i);
        EXPECT_EQ(StreamBytes(*sheet->Stream), before) << i;
    }
}

// Counts its drawings and whether they went to a printer.
class TCountingView : public TrpView {
    TESS_CLASS(TCountingView, TrpView)
public:
    TCountingView() { ObjectType = 10; }
    void Draw(TCanvas* canvas) override
    {
        BeginDraw(canvas);
        ++Drawn;
        Printed += IsPrinting ? 1 : 0;
    }
    static inline int Drawn = 0;
    static inline int Printed = 0;
};

TEST_F(PreparedPages, ScreenDrawingSkipsObjectsOutsideTheClipButAPrinterDrawsAll)
{
    bool registered = false;
    for (const TrpAddInObjectInfo& addIn : rpAddIns)
        registered = registered || addIn.ClassRef.ClassName == "TCountingView";
    if (!registered)
        rpRegisterObject(rpViewClassOf<TCountingView>(), nullptr, "Conta", nullptr);
    TrpPageInfo* sheet = AddSheet(Report, Report.DesignPages->Add());
    // Inside the clip; 6 pixels right of it (the 10-pixel margin takes it in); far outside.
    for (int left : {10, 106, 200}) {
        TCountingView view;
        view.SetBounds(left, 10, 20, 20);
        PutPreparedObject(*sheet, view);
    }
    TBitmap bitmap;
    bitmap.SetSize(300, 300);
    IntersectClipRect(bitmap.Canvas()->Handle(), 0, 0, 100, 100);
    const TRect sheetRect{0, 0, 752, 1071};

    TCountingView::Drawn = TCountingView::Printed = 0;
    Report.PreparedPages->Draw(0, bitmap.Canvas(), sheetRect);
    EXPECT_EQ(TCountingView::Drawn, 0);
    EXPECT_EQ(sheet->Page, nullptr);
    sheet->Visible = true;
    Report.PreparedPages->Draw(0, bitmap.Canvas(), sheetRect);
    EXPECT_EQ(TCountingView::Drawn, 2);
    EXPECT_EQ(TCountingView::Printed, 0);

    TPrinterCatalogue catalogue;
    catalogue.VirtualWhenEmpty = false;
    TPrinterInfo file;
    file.Name = "Archivio";
    file.Kind = TPrinterKind::File;
    file.Papers = {DMPAPER_A4};
    file.OutputFolder = Folder.Path().string();
    catalogue.Printers.push_back(file);
    SetPrinterCatalogue(catalogue);
    Printer()->SetPrinterIndex(0);
    Printer()->BeginDoc();
    TCountingView::Drawn = TCountingView::Printed = 0;
    Report.PreparedPages->Draw(0, Printer()->Canvas(), {0, 0, 100, 100});
    Printer()->Abort();
    EXPECT_EQ(TCountingView::Drawn, 3);
    EXPECT_EQ(TCountingView::Printed, 3);

    sheet->Visible = false;
    Report.PreparedPages->Draw(0, bitmap.Canvas(), sheetRect);
    EXPECT_EQ(sheet->Page, nullptr);
    UseVirtualPrinterOnly();
}

// Where a sheet's texts show: their ink inside each object's rectangle scaled into the target.
TEST_F(PreparedPages, ASheetDrawsScaledIntoItsRectangle)
{
    TrpPageInfo* sheet = AddSheet(Report, Report.DesignPages->Add());
    const struct {
        const char* Text;
        int Adjust;
        TRect Bounds;
    } texts[] = {
        {"Fattura n. 12 del 15/03/2024", 0, {40, 40, 340, 70}},
        {"Totale documento 1.234,50", 1, {360, 40, 710, 70}},
        {"Centrato", 2 + 8, {40, 100, 340, 160}},
        {"Una riga giustificata che va a capo e resta allineata ai due lati dell'oggetto.", 3, {360, 100, 710, 190}},
        {"Girato in su", 4, {40, 200, 70, 400}},
        {"Girato centrato", 4 + 2, {90, 200, 120, 400}},
        {"In basso a destra", 1 + 16, {360, 220, 710, 400}},
    };
    for (const auto& t : texts) {
        TrpMemoView memo;
        memo.SetBounds(t.Bounds.Left, t.Bounds.Top, t.Bounds.Width(), t.Bounds.Height());
        memo.Memo->Add(t.Text);
        memo.Adjust = t.Adjust;
        memo.FrameTyp = rpFrameAll;
        memo.FillColor = static_cast<TColor>(0xE0FFFF);
        PutPreparedObject(*sheet, memo);
    }
    sheet->Visible = true;
    for (double scale : {1.0, 0.5}) {
        TBitmap bitmap;
        bitmap.SetPixelFormat(pf24bit);
        const int width = static_cast<int>(752 * scale), height = static_cast<int>(460 * scale);
        bitmap.SetSize(width, height);
        bitmap.Canvas()->Brush()->SetColor(clWhite);
        bitmap.Canvas()->FillRect({0, 0, width, height});
        const TRect target{0, 0, static_cast<int>(752 * scale), static_cast<int>(1071 * scale)};
        Report.PreparedPages->Draw(0, bitmap.Canvas(), target);
        for (const auto& t : texts) {
            // The fill shows inside every object and nothing is drawn just outside it.
            const int left = static_cast<int>(Round(t.Bounds.Left * scale)), top = static_cast<int>(Round(t.Bounds.Top * scale));
            const int right = static_cast<int>(Round(t.Bounds.Right * scale)), bottom = static_cast<int>(Round(t.Bounds.Bottom * scale));
            EXPECT_EQ(bitmap.Canvas()->Pixels(left - 2, top - 2), clWhite) << t.Text << scale;
            EXPECT_EQ(bitmap.Canvas()->Pixels(right + 2, bottom + 2), clWhite) << t.Text << scale;
            EXPECT_EQ(bitmap.Canvas()->Pixels(left, (top + bottom) / 2), clBlack) << t.Text << scale;
            bool text = false;
            for (int y = top + 2; y < bottom - 1 && !text; ++y)
                for (int x = left + 2; x < right - 1 && !text; ++x)
                    text = (ColorToRGB(bitmap.Canvas()->Pixels(x, y)) & 0xFF) < 100;
            EXPECT_TRUE(text) << t.Text << scale;
        }
        bitmap.SaveToFile(ScreenshotFolder() + "/r04-sheet-" + std::to_string(static_cast<int>(scale * 100)) + ".bmp");
    }
}

TEST_F(PreparedPages, ABrokenObjectRecordRaisesWhenTheSheetIsDrawn)
{
    BuildOneSheet(Report);
    TrpPageInfo* sheet = Report.PreparedPages->Pages(0);
    sheet->Visible = true;
    TBitmap bitmap;
    bitmap.SetSize(100, 140);
    const TBytes whole = StreamBytes(*sheet->Stream);
    const std::vector<std::pair<std::size_t, TBytes>> damage = {
        {1, {7}},                      // an unknown object type
        {1, {10}},                     // an add-in whose name runs past the end
        {5, {0x7F}},                   // placed 2 billion units to the right
        {54, {0xA0, 0x86, 0x01, 0x00}}, // a font of 100,000 points
    };
    for (const auto& [at, bytes] : damage) {
        TBytes broken = whole;
        std::copy(bytes.begin(), bytes.end(), broken.begin() + static_cast<std::ptrdiff_t>(at));
        sheet->Stream->Clear();
        sheet->Stream->WriteBuffer(broken.data(), static_cast<int>(broken.size()));
        sheet->Page.reset();
        EXPECT_ANY_THROW(Report.PreparedPages->Draw(0, bitmap.Canvas(), {0, 0, 100, 140})) << at;
    }
    sheet->Stream->Clear();
    sheet->Stream->WriteBuffer(whole.data(), static_cast<int>(whole.size() - 3));
    sheet->Page.reset();
    EXPECT_THROW(Report.PreparedPages->Draw(0, bitmap.Canvas(), {0, 0, 100, 140}), EReadError);
}

} // namespace
