// The barcode, shape and check-box report objects: their records in templates and prepared pages,
// how they draw at any scale and angle (read back by a real barcode reader), what they put into a
// prepared page when a report is built, and what the text export makes of a check box.

#include "AddInTestSupport.h"
#include "ExportFilterTestSupport.h"
#include "PdfTestSupport.h"

#include "reportexport/Barcode.h"
#include "reportexport/RP_BarC.h"
#include "reportexport/RP_ChBox.h"
#include "reportexport/RP_E_TXT.h"
#include "reportexport/RP_Shape.h"
#include "reportexport/ReportExportInit.h"

#include "report/rpBandView.h"

#include "platform/gui/Bitmap.h"
#include "platform/gui/Form.h"
#include "platform/gui/Grab.h"
#include "platform/gui/Image.h"
#include "platform/gui/ScriptedDialogs.h"
#include "platform/rtl/Streams.h"

#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <sstream>

namespace AddInObjectsTest {

using namespace AddInTestSupport;
using PdfTestSupport::TTestFolder;

std::string Hex(const std::string& bytes)
{
    static const char digits[] = "0123456789ABCDEF";
    std::string hex;
    for (unsigned char c : bytes) {
        hex += digits[c >> 4];
        hex += digits[c & 15];
    }
    return hex;
}

std::string DoubleBytes(double value)
{
    std::string bytes(8, '\0');
    std::memcpy(bytes.data(), &value, 8);
    return bytes;
}

// The width of the bars of a new barcode object showing code.
int Code39Width(const std::string& code)
{
    TBarcode barcode(nullptr);
    barcode.SetTyp(Barcode::bcCode39);
    barcode.SetChecksum(true);
    barcode.SetText(code);
    return barcode.GetWidth();
}

bool IsDark(TColor color)
{
    const int rgb = static_cast<int>(color);
    return (rgb & 0xFF) < 128 && ((rgb >> 8) & 0xFF) < 128 && ((rgb >> 16) & 0xFF) < 128;
}

int DarkPixelsIn(TBitmap& bitmap, const TRect& area)
{
    int dark = 0;
    for (int y = area.Top; y < area.Bottom; ++y)
        for (int x = area.Left; x < area.Right; ++x)
            dark += IsDark(ColorAt(bitmap, x, y)) ? 1 : 0;
    return dark;
}

class AddInObjects : public testing::Test {
protected:
    void SetUp() override { StartAddIns(); }
    void TearDown() override { DocMode = dmDesigning; }
};

// --- Records

TEST_F(AddInObjects, TheBarcodeBlockComesBackInBothFormsWithItsReservedByte)
{
    TrpBarCodeView stored;
    stored.Name = "Bar7";
    stored.SetBounds(10, 20, 30, 40);
    stored.Memo->SetText("[Codice]");
    stored.WorkMemo->SetText("[Codice]");
    stored.Param = {0, 0, 0xA5, 14, 7, 2.5, 270};
    for (TrpStreamMode mode : {smDesigning, smPrinting}) {
        const std::string record = Record(stored, mode);
        TrpBarCodeView read;
        LoadRecord(read, mode, record);
        // A prepared record's text is read into Memo; printing writes the working copy.
        read.WorkMemo->Assign(read.Memo.get());
        EXPECT_EQ(read.Param.CheckSum, 0);
        EXPECT_EQ(read.Param.ShowText, 0);
        EXPECT_EQ(read.Param.Reserved, 0xA5);
        EXPECT_EQ(read.Param.BarType, 14);
        EXPECT_EQ(read.Param.Modul, 7);
        EXPECT_EQ(read.Param.Ratio, 2.5);
        EXPECT_EQ(read.Param.Angle, 270);
        EXPECT_EQ(read.Memo->Strings(0), "[Codice]");
        EXPECT_EQ(Record(read, mode), record) << mode;
    }
    TrpBarCodeView copy;
    copy.Assign(&stored);
    EXPECT_EQ(Record(copy, smDesigning), Record(stored, smDesigning));
}

TEST_F(AddInObjects, EachObjectAppendsItsOwnBytesAfterTheCommonPart)
{
    TrpBarCodeView barcode;
    TrpShapeView shape;
    shape.ShapeType = RP_Shape::skEllipse;
    TrpCheckBoxView check;
    const struct {
        TrpView* View;
        std::string Tail;
    } cases[] = {
        {&barcode, std::string("\x01\x01\x00\x03\x01\x00\x00\x00", 8) + DoubleBytes(2.0) + DoubleBytes(0.0)},
        {&shape, std::string("\x02", 1)},
        {&check, ""},
    };
    for (const auto& c : cases)
        for (TrpStreamMode mode : {smDesigning, smPrinting}) {
            const std::string common = CommonPart(*c.View, mode), whole = Record(*c.View, mode);
            ASSERT_EQ(whole.compare(0, common.size(), common), 0) << c.View->ClassName();
            EXPECT_EQ(Hex(whole.substr(common.size())), Hex(c.Tail)) << c.View->ClassName() << " " << mode;
        }
    EXPECT_EQ(barcode.Memo->Text(), "12345678\r\n");
    EXPECT_EQ(barcode.NamePrefix, "Bar");
    EXPECT_EQ(shape.NamePrefix, "Shape");
    EXPECT_EQ(check.NamePrefix, "Check");
    EXPECT_EQ(check.FrameWidth, 2.0f);
    TrpShapeView copy;
    copy.Assign(&shape);
    EXPECT_EQ(copy.ShapeType, RP_Shape::skEllipse);
}

TEST_F(AddInObjects, RecordsCutAnywhereInTheirOwnBytesRaiseTheReadError)
{
    TrpBarCodeView barcode;
    TrpShapeView shape;
    for (TrpView* view : std::initializer_list<TrpView*>{&barcode, &shape}) {
        const std::string common = CommonPart(*view, smDesigning), whole = Record(*view, smDesigning);
        for (std::size_t size = common.size(); size < whole.size(); ++size) {
            std::unique_ptr<TrpView> read = rpCreateObject(10, view->ClassName());
            EXPECT_THROW(LoadRecord(*read, smDesigning, whole.substr(0, size)), EReadError) << size;
        }
    }

    // Through the template reader, which reports its own message and keeps one empty page.
    auto owner = std::make_unique<TComponent>(nullptr);
    auto* report = new TrpReport(owner.get());
    TrpPage* page = report->DesignPages->Add();
    auto view = std::make_unique<TrpBarCodeView>();
    view->Name = "Bar1";
    page->Objects.push_back(std::move(view));
    TMemoryStream saved;
    report->SaveToStream(saved);
    const std::string bytes(saved.Memory(), static_cast<std::size_t>(saved.Size()));
    const std::size_t block = bytes.find(std::string("\x01\x01\x00\x03", 4));
    ASSERT_NE(block, std::string::npos);
    auto dialogs = std::make_unique<TScriptedDialogs>();
    TScriptedDialogs* boxes = dialogs.get();
    boxes->AnswerAll(TDialogKind::MessageBox, TDialogAnswer::Code(IDOK));
    auto previous = SetDialogService(std::move(dialogs));
    for (std::size_t cut : {block + 3, block + 10, block + 23}) {
        TMemoryStream damaged;
        damaged.WriteBuffer(bytes.data(), static_cast<int>(cut));
        damaged.SetPosition(0);
        EXPECT_FALSE(report->LoadFromStream(damaged)) << cut;
    }
    const auto requests = boxes->Requests();
    SetDialogService(std::move(previous));
    ASSERT_EQ(requests.size(), 3u);
    EXPECT_EQ(requests[0].Text, "Unsupported FRF format");
}

TEST_F(AddInObjects, ATemplateOfTheThreeObjectsSavesLoadsAndSavesAgainByteForByte)
{
    TTestFolder folder;
    auto owner = std::make_unique<TComponent>(nullptr);
    auto* report = new TrpReport(owner.get());
    TrpPage* page = report->DesignPages->Add();
    auto barcode = std::make_unique<TrpBarCodeView>();
    barcode->Name = "Bar1";
    barcode->SetBounds(20, 30, 150, 60);
    barcode->Param = {1, 0, 9, Barcode::bcCode128B, 2, 3.0, 90};
    barcode->Memo->SetText("[Codice]");
    auto shape = std::make_unique<TrpShapeView>();
    shape->Name = "Shape1";
    shape->SetBounds(20, 100, 80, 40);
    shape->ShapeType = RP_Shape::skTriangle;
    shape->FillColor = clYellow;
    shape->FrameWidth = 1.5f;
    auto check = std::make_unique<TrpCheckBoxView>();
    check->Name = "Check1";
    check->SetBounds(120, 100, 16, 16);
    check->Memo->SetText("[Pagato]");
    check->Script->SetText("Visible := 1");
    page->Objects.push_back(std::move(barcode));
    page->Objects.push_back(std::move(shape));
    page->Objects.push_back(std::move(check));
    const std::string first = folder.Path() / "etichette.frf";
    report->SaveToFile(first);

    auto* again = new TrpReport(owner.get());
    ASSERT_TRUE(again->LoadFromFile(first));
    TrpPage* loaded = again->DesignPages->Pages(0);
    ASSERT_EQ(loaded->Objects.size(), 3u);
    auto* readBarcode = dynamic_cast<TrpBarCodeView*>(loaded->Objects[0].get());
    auto* readShape = dynamic_cast<TrpShapeView*>(loaded->Objects[1].get());
    ASSERT_TRUE(readBarcode && readShape && dynamic_cast<TrpCheckBoxView*>(loaded->Objects[2].get()));
    EXPECT_EQ(readBarcode->Param.BarType, Barcode::bcCode128B);
    EXPECT_EQ(readBarcode->Param.Angle, 90);
    EXPECT_EQ(readShape->ShapeType, RP_Shape::skTriangle);
    EXPECT_EQ(readShape->FrameWidth, 1.5f);
    const std::string second = folder.Path() / "di-nuovo.frf";
    again->SaveToFile(second);
    std::ifstream a(first, std::ios::binary), b(second, std::ios::binary);
    std::stringstream firstBytes, secondBytes;
    firstBytes << a.rdbuf();
    secondBytes << b.rdbuf();
    EXPECT_EQ(firstBytes.str(), secondBytes.str());
}

TEST_F(AddInObjects, TheEngineMakesEachByItsClassNameOnlyAndOffersItsToolOnce)
{
    InitReportExport();
    const struct {
        const char* ClassName;
        const char* Hint;
        TrpObjEditorForm* Editor;
    } cases[] = {
        {"TrpBarCodeView", "Codice a barre", rpBarCodeForm},
        {"TrpShapeView", "Forma", rpShapeForm},
        {"TrpCheckBoxView", "Casella di spunta", nullptr},
    };
    for (const auto& c : cases) {
        std::unique_ptr<TrpView> view = rpCreateObject(10, c.ClassName);
        ASSERT_TRUE(view);
        EXPECT_EQ(view->ClassName(), c.ClassName);
        EXPECT_EQ(view->ObjectType, 10);
        int entries = 0;
        for (const TrpAddInObjectInfo& addIn : rpAddIns) {
            if (addIn.ClassRef.ClassName != c.ClassName)
                continue;
            ++entries;
            EXPECT_EQ(addIn.ButtonHint, c.Hint);
            EXPECT_EQ(addIn.EditorForm, c.Editor);
            ASSERT_TRUE(addIn.ButtonBmp);
            EXPECT_EQ(addIn.ButtonBmp->Width(), 16);
            EXPECT_EQ(addIn.ButtonBmp->Height(), 16);
            // The olive corner is the transparent colour; the picture has black in it.
            EXPECT_EQ(ColorAt(*addIn.ButtonBmp, 0, 15), clOlive);
            EXPECT_GT(DarkPixelsIn(*addIn.ButtonBmp, Rect(0, 0, 16, 16)), 10);
        }
        EXPECT_EQ(entries, 1) << c.ClassName;
    }
    EXPECT_THROW(rpCreateObject(10, "TrpBarcodeView"), EClassNotFound);
}

// --- Barcode drawing

TEST_F(AddInObjects, ANewBarcodeDrawsCode39WithItsCheckCharacterAndCaption)
{
    TrpBarCodeView view;
    view.SetBounds(20, 20, 10, 70);
    auto bitmap = FilledBitmap(260, 110);
    DrawIn(view, bitmap->Canvas(), dmPrinting);
    const int width = Code39Width("12345678");
    EXPECT_EQ(view.Width, width);
    EXPECT_EQ(view.Height, 70);
    // Bars over the top 56 rows, the caption in the 12 rows under them, nothing outside.
    EXPECT_GT(DarkPixelsIn(*bitmap, Rect(20, 20, 20 + width, 20 + 56)), 56 * width / 4);
    EXPECT_GT(DarkPixelsIn(*bitmap, Rect(20, 20 + 58, 20 + width, 20 + 70)), 40);
    EXPECT_EQ(DarkPixelsIn(*bitmap, Rect(0, 0, 260, 19)), 0);
    EXPECT_EQ(DarkPixelsIn(*bitmap, Rect(20 + width + 2, 0, 260, 110)), 0);
    if (!HaveZbar())
        GTEST_SKIP() << "zbarimg is not installed";
    TTestFolder folder;
    // The reader keeps a Code 39 check character it does not verify.
    EXPECT_EQ(ReadBarcode(*bitmap, folder.Path(), "nuovo"), "12345678-");
}

TEST_F(AddInObjects, TurnedBarcodesReadTheSameAndTakeTheirLengthAsHeight)
{
    const int length = Code39Width("12345678");
    TTestFolder folder;
    for (double angle : {0.0, 90.0, 180.0, 270.0}) {
        TrpBarCodeView view;
        view.Param.Angle = angle;
        view.SetBounds(30, 30, 70, 70);
        auto bitmap = FilledBitmap(length + 60, length + 60);
        DrawIn(view, bitmap->Canvas(), dmPrinting);
        const bool upright = angle == 90 || angle == 270;
        EXPECT_EQ(upright ? view.Height : view.Width, length) << angle;
        EXPECT_EQ(upright ? view.Width : view.Height, 70) << angle;
        // The caption lies on the side away from the bars' origin.
        const TRect caption = angle == 0     ? Rect(30, 88, 30 + view.Width, 100)
                              : angle == 90  ? Rect(88, 30, 100, 30 + view.Height)
                              : angle == 180 ? Rect(30, 30, 30 + view.Width, 42)
                                             : Rect(30, 30, 42, 30 + view.Height);
        EXPECT_GT(DarkPixelsIn(*bitmap, caption), 40) << angle;
        if (HaveZbar()) {
            EXPECT_EQ(ReadBarcode(*bitmap, folder.Path(), "angolo" + std::to_string(int(angle))), "12345678-")
                << angle;
        }
    }
}

TEST_F(AddInObjects, APictureOfTheFourOrientationsAtScaleTwo)
{
    const int length = Code39Width("12345678");
    TForm form(nullptr);
    const int width = 2 * (length + 200), height = 2 * length + 60;
    form.SetBounds(0, 0, width, height);
    auto* image = new TImage(&form);
    image->SetParent(&form);
    image->SetBounds(0, 0, width, height);
    TCanvas* canvas = image->Canvas();
    canvas->Brush()->SetColor(clWhite);
    canvas->FillRect(Rect(0, 0, width, height));
    const struct {
        double Angle;
        int Left, Top;
    } places[] = {{0, 10, 10}, {180, 10, 110}, {90, length + 30, 10}, {270, length + 120, 10}};
    for (const auto& place : places) {
        TrpBarCodeView view;
        view.Param.Angle = place.Angle;
        view.FrameTyp = rpFrameAll;
        view.FrameColor = clGray;
        view.FrameWidth = 1;
        view.SetBounds(place.Left, place.Top, 70, 70);
        DrawIn(view, canvas, dmPrinting, 2.0);
    }
    form.Show();
    const std::string path = PictureFolder() + "/x11-barcode-orientations.png";
    ASSERT_TRUE(GrabToPng(&form, path));
}

// --- Shapes

TEST_F(AddInObjects, ARoundedRectangleHasCornersOfAQuarterOfItsShorterSide)
{
    // 20 x 50 at scale 2 is 40 x 100 on the canvas: corners of 10 x 10.
    TrpShapeView view;
    view.ShapeType = RP_Shape::skRoundRectangle;
    view.FrameColor = clRed;
    view.SetBounds(10, 10, 20, 50);
    view.FrameWidth = 0.5f;
    auto bitmap = FilledBitmap(140, 140);
    DrawIn(view, bitmap->Canvas(), dmPrinting, 2.0);
    const int left = 20, top = 20, right = 60, bottom = 120;
    // The straight edges begin five pixels from each corner; the corners themselves stay white.
    for (auto [x, y] : {std::pair{left + 6, top}, {right - 6, top}, {left, top + 6}, {left, bottom - 6},
                        {right, bottom - 6}, {right - 6, bottom}})
        EXPECT_EQ(ColorAt(*bitmap, x, y), clRed) << x << "," << y;
    for (auto [x, y] : {std::pair{left, top}, {left + 1, top}, {right, top}, {left, bottom}, {right, bottom},
                        {right - 1, bottom}})
        EXPECT_EQ(ColorAt(*bitmap, x, y), clWhite) << x << "," << y;
}

TEST_F(AddInObjects, ShapesFillWithTheirColourOrLetTheBackgroundShow)
{
    const struct {
        std::uint8_t Kind;
        TColor Fill;
    } cases[] = {
        {RP_Shape::skTriangle, clLime},  {RP_Shape::skTriangle, clNone}, {RP_Shape::skRectangle, clLime},
        {RP_Shape::skEllipse, clNone},   {RP_Shape::skRoundRectangle, clLime},
    };
    for (const auto& c : cases) {
        for (TrpDocMode mode : {dmPrinting, dmDesigning}) {
            TrpShapeView view;
            view.ShapeType = c.Kind;
            view.FillColor = c.Fill;
            view.FrameColor = clBlue;
            view.SetBounds(20, 20, 80, 60);
            auto bitmap = FilledBitmap(120, 100, clYellow);
            DrawIn(view, bitmap->Canvas(), mode);
            // A shape without fill shows what lies under it; while designing, the white box.
            const TColor under = mode == dmDesigning ? clWhite : clYellow;
            EXPECT_EQ(ColorAt(*bitmap, 60, 62), c.Fill == clNone ? under : c.Fill) << int(c.Kind) << " " << mode;
            EXPECT_EQ(ColorAt(*bitmap, 60, 80), clBlue) << int(c.Kind);
            EXPECT_EQ(ColorAt(*bitmap, 10, 10), clYellow) << int(c.Kind);
            if (c.Kind == RP_Shape::skTriangle) {
                EXPECT_EQ(ColorAt(*bitmap, 24, 24), under) << "beside the triangle " << mode;
            }
        }
    }
}

TEST_F(AddInObjects, AThinFrameDrawsOnePixelAndTheFrameLinesStayOff)
{
    TrpShapeView view;
    view.FrameWidth = 0.4f;
    view.FrameTyp = rpFrameAll;
    view.FrameColor = clRed;
    view.SetBounds(10, 10, 40, 30);
    auto bitmap = FilledBitmap(60, 60);
    DrawIn(view, bitmap->Canvas(), dmPrinting);
    EXPECT_EQ(view.FrameTyp, 0);
    EXPECT_EQ(view.FrameWidth, 0.4f);
    EXPECT_EQ(ColorAt(*bitmap, 30, 10), clRed);
    EXPECT_EQ(ColorAt(*bitmap, 30, 11), clWhite);
    EXPECT_EQ(ColorAt(*bitmap, 30, 9), clWhite);
    EXPECT_EQ(ColorAt(*bitmap, 10, 25), clRed);
    EXPECT_EQ(ColorAt(*bitmap, 11, 25), clWhite);
    EXPECT_EQ(ColorAt(*bitmap, 50, 25), clRed);
    EXPECT_EQ(ColorAt(*bitmap, 30, 40), clRed);
}

// --- Check boxes

TEST_F(AddInObjects, ACheckBoxShowsItsMarkByItsFirstLineAndAlwaysWhileDesigning)
{
    const struct {
        const char* Line; // nullptr: no line
        bool Marked;
    } cases[] = {{"2", true}, {"-1", true}, {"S\xEC", true}, {"0", false}, {"05", false}, {"", false}, {nullptr, false}};
    for (const auto& c : cases) {
        for (TrpDocMode mode : {dmPrinting, dmDesigning}) {
            TrpCheckBoxView view;
            view.SetBounds(10, 10, 30, 30);
            view.Memo->Clear();
            if (c.Line)
                view.Memo->Add(c.Line);
            auto bitmap = FilledBitmap(50, 50);
            DrawIn(view, bitmap->Canvas(), mode);
            const bool marked = c.Marked || mode == dmDesigning;
            EXPECT_EQ(IsDark(ColorAt(*bitmap, 25, 25)), marked) << (c.Line ? c.Line : "none") << " " << mode;
            EXPECT_EQ(IsDark(ColorAt(*bitmap, 17, 17)), marked) << (c.Line ? c.Line : "none") << " " << mode;
            EXPECT_FALSE(IsDark(ColorAt(*bitmap, 25, 15))) << "between the arms";
        }
    }
    // At scale 2 the arms stop 8 pixels inside the box and are 6 pixels wide.
    TrpCheckBoxView view;
    view.SetBounds(5, 5, 30, 30);
    view.Memo->SetText("1");
    auto bitmap = FilledBitmap(80, 80);
    DrawIn(view, bitmap->Canvas(), dmPrinting, 2.0);
    EXPECT_TRUE(IsDark(ColorAt(*bitmap, 20, 20)));
    EXPECT_FALSE(IsDark(ColorAt(*bitmap, 14, 14)));
    EXPECT_TRUE(IsDark(ColorAt(*bitmap, 40, 42)));
}

// --- Building and exporting

// A report "R" on a window with the table "Articoli" (Codice, Pagato) of one record; values and
// objects go on a title band.
class AddInBuild : public AddInObjects {
protected:
    void SetUp() override
    {
        AddInObjects::SetUp();
        Owner = new TComponent(nullptr);
        Report = new TrpReport(Owner);
        Report->SetName("R");
        Report->ShowProgress = false;
        Page = Report->DesignPages->Add();
        Page->UseMargins = -1;
        Page->Margins = TRect{0, 0, 0, 0};
        auto band = std::make_unique<TrpBandView>();
        band->SetBandType(btReportTitle);
        band->SetBounds(0, 20, 700, 300);
        band->Name = "Band1";
        Page->Objects.push_back(std::move(band));
    }
    void TearDown() override
    {
        TComponent::Free(Owner);
        AddInObjects::TearDown();
    }

    void AddValue(const std::string& name, const std::string& expression)
    {
        const int index = Report->Values->AddValue();
        Report->Values->Items->SetStrings(index, name);
        TrpValue& value = *Report->Values->GetValue(index);
        value.Kind = vtFRVar;
        value.FieldText = expression;
    }

    template <typename T>
    T* Add(const std::string& name, const char* line, int left, int top, int width = 16, int height = 16)
    {
        auto view = std::make_unique<T>();
        view->Name = name;
        view->SetBounds(left, top, width, height);
        view->Memo->Clear();
        if (line)
            view->Memo->Add(line);
        T* raw = view.get();
        Page->Objects.push_back(std::move(view));
        return raw;
    }

    // The objects of the first prepared sheet, by name order of placing.
    std::vector<TrpView*> Prepared()
    {
        TrpEMFPages& pages = *Report->PreparedPages;
        pages.ObjectsToPage(0);
        std::vector<TrpView*> views;
        for (const std::unique_ptr<TrpView>& view : pages.Pages(0)->Page->Objects)
            views.push_back(view.get());
        return views;
    }

    TComponent* Owner = nullptr;
    TrpReport* Report = nullptr;
    TrpPage* Page = nullptr;
};

TEST_F(AddInBuild, ABarcodePrintsTheValueOfItsBracketedLineAndDrawsWhatItCan)
{
    AddValue("Codice", "'98765'");
    AddValue("Lettere", "'ABC'");
    AddValue("Corto", "'123'");
    Add<TrpBarCodeView>("Bar1", "[Codice]", 20, 20, 10, 60);
    Add<TrpBarCodeView>("Bar2", "[Lettere]", 20, 100, 10, 60)->Param.BarType = Barcode::bcCodeEAN13;
    TrpBarCodeView* shortCode = Add<TrpBarCodeView>("Bar3", "[Corto]", 20, 180, 10, 60);
    shortCode->Param.BarType = Barcode::bcCodeEAN13;
    shortCode->Param.CheckSum = 0;
    shortCode->FrameTyp = rpFrameAll;
    Add<TrpBarCodeView>("Bar4", "[Codice]", 300, 20, 10, 60)->Script->SetText("Visible := 0");
    Add<TrpBarCodeView>("Bar5", "Codice", 300, 100, 10, 60);
    ASSERT_TRUE(Report->PrepareReport()) << Report->BuildErrorText;

    const std::vector<TrpView*> views = Prepared();
    ASSERT_EQ(views.size(), 4u) << "not the invisible one";
    EXPECT_EQ(views[0]->Memo->Strings(0), "98765");
    EXPECT_EQ(views[1]->Memo->Strings(0), "ABC");
    EXPECT_EQ(views[2]->Memo->Strings(0), "123");
    EXPECT_EQ(views[3]->Memo->Strings(0), "Codice") << "a line without brackets stays as it is";

    // EAN-13 of "ABC" shows the bars of 12345678; "123" without check digit cannot be drawn.
    auto* letters = dynamic_cast<TrpBarCodeView*>(views[1]);
    auto* tooShort = dynamic_cast<TrpBarCodeView*>(views[2]);
    ASSERT_TRUE(letters && tooShort);
    DocMode = dmPrinting;
    auto bitmap = FilledBitmap(200, 300);
    letters->Draw(bitmap->Canvas());
    EXPECT_EQ(letters->Width, 95);
    EXPECT_NO_THROW(tooShort->Draw(bitmap->Canvas()));
    EXPECT_EQ(tooShort->Width, 10) << "the box keeps its size";
    const int x = tooShort->Left, y = tooShort->Top;
    EXPECT_EQ(DarkPixelsIn(*bitmap, Rect(x + 1, y + 1, x + 10, y + 60)), 0) << "empty inside";
    EXPECT_TRUE(IsDark(ColorAt(*bitmap, x, y + 20))) << "framed";
    if (HaveZbar()) {
        TTestFolder folder;
        EXPECT_EQ(ReadBarcode(*bitmap, folder.Path(), "ean"), "0000123456784");
    }

    // A type or a module out of range read from a record: the module keeps 1, the type draws the
    // empty box.
    TrpBarCodeView stored;
    stored.Param.BarType = 200;
    stored.Param.Modul = 0;
    stored.SetBounds(10, 10, 40, 40);
    TrpBarCodeView read;
    LoadRecord(read, smPrinting, Record(stored, smPrinting));
    EXPECT_EQ(read.Param.BarType, 200);
    EXPECT_EQ(read.Param.Modul, 0);
    auto other = FilledBitmap(60, 60);
    EXPECT_NO_THROW(read.Draw(other->Canvas()));
    EXPECT_EQ(read.Width, 40);
    read.Param.BarType = Barcode::bcCode39;
    read.Draw(other->Canvas());
    EXPECT_EQ(read.Width, Code39Width("12345678")) << "module 1";
}

TEST_F(AddInBuild, CheckBoxesStoreTheirMarkAndExportAnXForTheMarkedOnes)
{
    AddValue("Pagato", "2.7");
    AddValue("Sospeso", "0");
    AddValue("Risposta", "'S\xEC'");
    // Booleans, as a boolean field gives them.
    Report->OnGetValue = [](const std::string& name, Variant& value) {
        if (name == "Vero" || name == "Falso")
            value = Variant(name == "Vero");
    };
    AddValue("Vuoto", "''");
    const struct {
        const char* Line;
        const char* Stored; // nullptr: no line
        const char* Exported;
    } cases[] = {
        {"[Pagato]", "2", "X"}, {"[Sospeso]", "0", ""}, {"[Risposta]", "S\xEC", "X"}, {"[Vero]", "-1", "X"},
        {"[Falso]", "0", ""},   {"[Vuoto]", "", ""},    {nullptr, nullptr, ""},
    };
    int top = 20;
    for (const auto& c : cases) {
        Add<TrpCheckBoxView>("Check" + std::to_string(top), c.Line, 200, top);
        top += 32;
    }
    ASSERT_TRUE(Report->PrepareReport()) << Report->BuildErrorText;
    const std::vector<TrpView*> views = Prepared();
    ASSERT_EQ(views.size(), std::size(cases));
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        TrpView* view = views[i];
        if (cases[i].Stored)
            EXPECT_EQ(view->Memo->Strings(0), cases[i].Stored) << i;
        else
            EXPECT_EQ(view->Memo->Count(), 0);
    }

    TTestFolder folder;
    const std::string file = (folder.Path() / "spunte.txt").string();
    Report->ExportTo(TrpTextExportFilter::ClassEntry(), file);
    std::ifstream in(file, std::ios::binary);
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);) {
        while (!line.empty() && (line.back() == '\r' || line.back() == ' '))
            line.pop_back();
        lines.push_back(line);
    }
    // One text line per 16 pixels of height.
    std::vector<std::string> marks;
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        const std::size_t line = static_cast<std::size_t>(views[i]->Top / 16);
        marks.push_back(line < lines.size() ? lines[line] : std::string());
    }
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        const std::string mark = marks[i].find_first_not_of(' ') == std::string::npos
                                     ? std::string()
                                     : marks[i].substr(marks[i].find_first_not_of(' '));
        EXPECT_EQ(mark, cases[i].Exported) << i;
        if (!mark.empty()) {
            EXPECT_EQ(marks[i].find('X'), marks[0].find('X')) << "at the boxes' column";
        }
    }
}

} // namespace AddInObjectsTest
