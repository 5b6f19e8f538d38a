// A template with every kind of object, values and variables: it saves, loads and saves to the
// same bytes, and an independent reader of the format finds in the file what the model holds.

#include "ReportTestSupport.h"

#include "ModelJson.h"

#include "fuzz/TemplateFuzzCase.h"

#include "report/RP_Utils.h"
#include "tests/TestFixtures.h"

#include "platform/gui/Bitmap.h"
#include "platform/gui/Icon.h"
#include "platform/gui/Metafile.h"
#include "platform/rtl/Codepage.h"


#include <cstdio>
#include <fstream>
#include <sstream>

namespace {

// --- Fixtures

TBitmap* MakeBitmap(TBitmap& bitmap, int width, int height, TColor color)
{
    bitmap.SetPixelFormat(pf24bit);
    bitmap.SetSize(width, height);
    bitmap.Canvas()->Brush()->SetColor(color);
    bitmap.Canvas()->FillRect({0, 0, width, height});
    bitmap.Canvas()->SetPixels(1, 1, clBlue);
    return &bitmap;
}

void AddObject(TrpPage* page, std::unique_ptr<TrpView> view, const std::string& name, int top)
{
    view->Name = name;
    view->SetBounds(10, top, 120, 20);
    page->Objects.push_back(std::move(view));
}

void BuildEveryKind(TrpReport& report)
{
    report.TwoPass = true;
    TrpPage* first = report.DesignPages->Add();
    first->Margins = {20, 30, 40, 50};
    first->ColumnCount = 2;
    first->ColumnGap = 15;
    TrpPage* second = report.DesignPages->Add();
    second->ChangePaper(11, 0, 0, poLandscape);
    second->UseMargins = 0;
    second->ContinuePreviousPage = -1;

    auto memo = std::make_unique<TrpMemoView>();
    memo->Memo->Add("Citt\xE0: [Cliente.\"Citt\xE0\"]");
    memo->Memo->Add("");
    memo->Memo->Add("Totale [Importo #N0.00]");
    memo->Script->Add("begin Visible := 1 end");
    memo->FormatText = ",0.00";
    memo->Format = 0x0104022C;
    memo->FrameTyp = rpFrameAll;
    memo->FrameWidth = 1.5f;
    memo->FrameStyle = rpDoubleFrame;
    memo->FrameColor = clNavy;
    memo->FillColor = clYellow;
    memo->Font->SetName("Times New Roman");
    memo->Font->SetSize(12);
    memo->Font->SetStyle({fsBold, fsItalic});
    memo->Font->SetColor(clMaroon);
    memo->Adjust = 10;
    memo->Highlight = {5, clRed, clLime};
    memo->HighlightCondition = "[Quantita] > 10";
    AddObject(first, std::move(memo), "MemoTotale", 10);

    TBitmap bitmap;
    auto bmpPicture = std::make_unique<TrpPictureView>();
    bmpPicture->Picture->SetGraphic(MakeBitmap(bitmap, 7, 5, clGreen));
    bmpPicture->Flags = 7;
    AddObject(first, std::move(bmpPicture), "ImgLogo", 40);

    TMetafile metafile;
    metafile.SetWidth(40);
    metafile.SetHeight(30);
    {
        TMetafileCanvas canvas(&metafile, nullptr);
        canvas.Rectangle(2, 2, 30, 20);
    }
    auto emfPicture = std::make_unique<TrpPictureView>();
    emfPicture->Picture->SetGraphic(&metafile);
    AddObject(first, std::move(emfPicture), "ImgMetafile", 70);

    TIcon icon;
    MakeTestIcon(icon, 16, clRed);
    auto icoPicture = std::make_unique<TrpPictureView>();
    icoPicture->Picture->SetGraphic(&icon);
    AddObject(first, std::move(icoPicture), "ImgIcon", 100);

    AddObject(first, std::make_unique<TrpPictureView>(), "ImgVuota", 130);

    const TrpBandType bands[] = {btPageHeader, btMasterData, btGroupHeader};
    for (int i = 0; i < 3; ++i) {
        auto band = std::make_unique<TrpBandView>();
        band->SetBandType(bands[i]);
        band->FormatText = i == 1 ? "ReportArticoli" : "[Gruppo" + std::to_string(i) + "]";
        AddObject(first, std::move(band), "Band" + std::to_string(i + 1), 160 + 30 * i);
    }

    auto subReport = std::make_unique<TrpSubReportView>();
    subReport->SubPage = 1;
    AddObject(first, std::move(subReport), "SubReport1", 260);

    auto line = std::make_unique<TrpLineView>();
    line->FrameWidth = 12;
    line->Visible = 0;
    AddObject(second, std::move(line), "Line1", 10);

    auto stub = std::make_unique<TrpStubAddIn>();
    stub->Extra = 0xCAFE0042;
    AddObject(second, std::move(stub), "Stub1", 40);

    const std::pair<TrpValueType, int> kinds[] = {{vtNotAssigned, 0}, {vtDBField, 0}, {vtOther, 1}, {vtFRVar, 0}, {vtOther, 8}};
    for (int i = 0; i < 5; ++i) {
        const int index = report.Values->AddValue();
        report.Values->Items->SetStrings(index, "Valore" + std::to_string(i));
        TrpValue* value = report.Values->GetValue(index);
        value->Kind = kinds[i].first;
        value->OtherKind = kinds[i].second;
        value->DataSetName = i == 1 ? "DC.TabellaDitta" : "";
        value->FieldText = i == 1 ? "Denominazione" : "[Importo] * 1.22";
    }
    for (const char* line : {"Documento", " Numero", " Data", "Totali", " Imponibile"})
        report.VariableList->Add(line);
}

// --- The model as JSON, in the shape the Python reader prints

using namespace ReportJson;

std::string ObjectJson(TrpView& view, int page)
{
    const std::string frameWidth = FrameWidthJson(view.FrameWidth);
    std::vector<std::pair<std::string, std::string>> members = {
        {"type", Json(view.ObjectType)}, {"class", Json(view.ObjectType == 10 ? view.ClassName() : "")},
        {"page", Json(page)}, {"name", Json(view.Name)}, {"left", Json(view.Left)}, {"top", Json(view.Top)},
        {"width", Json(view.Width)}, {"height", Json(view.Height)}, {"flags", Json(view.Flags)},
        {"frame_typ", Json(view.FrameTyp)}, {"frame_width", frameWidth},
        {"frame_color", Json(Unsigned(view.FrameColor))}, {"frame_style", Json(view.FrameStyle)},
        {"fill_color", Json(Unsigned(view.FillColor))}, {"format", Json(view.Format)},
        {"format_text", Json(view.FormatText)}, {"memo", Json(view.Memo.get())},
        {"script", Json(view.Script.get())}, {"visible", JsonBool(view.Visible != 0)}};
    if (auto* memo = dynamic_cast<TrpMemoView*>(&view)) {
        members.push_back({"font", Members({{"name", Json(memo->Font->Name())}, {"size", Json(memo->Font->Size())},
                                            {"style", Json(rpGetFontStyle(memo->Font->Style()))},
                                            {"color", Json(Unsigned(memo->Font->Color()))}, {"adjust", Json(memo->Adjust)},
                                            {"charset", Json(memo->Font->Charset())},
                                            {"highlight_style", Json(memo->Highlight.FontStyle)},
                                            {"highlight_color", Json(Unsigned(memo->Highlight.FontColor))},
                                            {"highlight_fill", Json(Unsigned(memo->Highlight.FillColor))},
                                            {"highlight_condition", Json(memo->HighlightCondition)}})});
    } else if (auto* picture = dynamic_cast<TrpPictureView*>(&view)) {
        members.push_back({"picture", PictureJson(*picture)});
    } else if (auto* subReport = dynamic_cast<TrpSubReportView*>(&view)) {
        members.push_back({"sub_page", Json(subReport->SubPage)});
    } else if (auto* stub = dynamic_cast<TrpStubAddIn*>(&view)) {
        members.push_back({"extra", StubExtraJson(stub->Extra)});
    }
    return Members(members);
}

std::string ModelJson(TrpReport& report)
{
    std::string pages = "[", objects = "[", values = "[";
    for (int p = 0; p < report.DesignPages->Count(); ++p) {
        TrpPage* page = report.DesignPages->Pages(p);
        const TRect& m = page->Margins;
        pages += (p ? "," : "") + Members({{"paper_size", Json(page->PaperSize)}, {"paper_width", Json(page->PaperWidth)},
                                          {"paper_height", Json(page->PaperHeight)},
                                          {"margins", "[" + Json(m.Left) + "," + Json(m.Top) + "," + Json(m.Right) + "," +
                                                          Json(m.Bottom) + "]"},
                                          {"orientation", Json(page->Orientation)},
                                          {"continue_previous", JsonBool(page->ContinuePreviousPage != 0)},
                                          {"use_margins", JsonBool(page->UseMargins != 0)},
                                          {"column_count", Json(page->ColumnCount)}, {"column_gap", Json(page->ColumnGap)}});
        for (const auto& view : page->Objects)
            objects += (objects.size() > 1 ? "," : "") + ObjectJson(*view, p);
    }
    for (int i = 0; i < report.Values->Count(); ++i) {
        TrpValue* value = report.Values->GetValue(i);
        values += (i ? "," : "") + Members({{"kind", Json(value->Kind)}, {"other_kind", Json(value->OtherKind)},
                                           {"dataset", Json(value->DataSetName)}, {"field", Json(value->FieldText)},
                                           {"name", Json(report.Values->Items->Strings(i))}});
    }
    TrpPrinter* printer = rpPrinter();
    return Members({{"version", "23"}, {"print_to_default", JsonBool(report.PrintToDefaultPrinter)},
                    {"two_pass", JsonBool(report.TwoPass)},
                    {"printer", Json(printer->Printers->Strings(printer->PrinterIndex()))}, {"pages", pages + "]"},
                    {"objects", objects + "]"}, {"values", values + "]"},
                    {"variables", Json(report.VariableList.get())}, {"data_manager", "false"}});
}

class RoundTrip : public testing::Test {
protected:
    void SetUp() override
    {
        UseVirtualPrinterOnly();
        RegisterStubAddIn();
        FPreviousWriter = SetMetafileWriter(true, WriteMinimalEmf);
    }
    void TearDown() override { SetMetafileWriter(true, FPreviousWriter); }

private:
    TMetafileWriter FPreviousWriter;
};

// A picture class of none of the three kinds the format names: left half red, right half blue.
class TTwoColourGraphic : public TGraphic {
    TESS_CLASS(TTwoColourGraphic, TGraphic)
public:
    bool Empty() const override { return false; }
    int Width() const override { return 6; }
    int Height() const override { return 4; }
    void SetWidth(int) override {}
    void SetHeight(int) override {}
    void Assign(TPersistent* Source) override
    {
        if (!dynamic_cast<TTwoColourGraphic*>(Source))
            TGraphic::Assign(Source);
    }
    void LoadFromStream(TStream&) override {}
    void SaveToStream(TStream&) override {}

protected:
    void Draw(TCanvas* canvas, const TRect& rect) override
    {
        canvas->Brush()->SetColor(clRed);
        canvas->FillRect({rect.Left, rect.Top, rect.Left + 3, rect.Bottom});
        canvas->Brush()->SetColor(clBlue);
        canvas->FillRect({rect.Left + 3, rect.Top, rect.Right, rect.Bottom});
    }
};

} // namespace

TEST_F(RoundTrip, EveryKindSavesLoadsAndSavesTheSameBytes)
{
    TrpReport built(nullptr);
    BuildEveryKind(built);
    const TBytes first = SaveToBytes(built);

    TrpReport loaded(nullptr);
    ASSERT_TRUE(LoadFromBytes(loaded, first));
    EXPECT_EQ(ToHex(SaveToBytes(loaded)), ToHex(first));

    auto* logo = dynamic_cast<TrpPictureView*>(loaded.FindObject("ImgLogo"));
    ASSERT_NE(logo, nullptr);
    ASSERT_NE(dynamic_cast<TBitmap*>(logo->Picture->Graphic()), nullptr);
    EXPECT_EQ(logo->Picture->Bitmap()->Canvas()->Pixels(1, 1), clBlue);
    EXPECT_NE(dynamic_cast<TMetafile*>(dynamic_cast<TrpPictureView*>(loaded.FindObject("ImgMetafile"))->Picture->Graphic()), nullptr);
    EXPECT_NE(dynamic_cast<TIcon*>(dynamic_cast<TrpPictureView*>(loaded.FindObject("ImgIcon"))->Picture->Graphic()), nullptr);
    EXPECT_EQ(dynamic_cast<TrpPictureView*>(loaded.FindObject("ImgVuota"))->Picture->Graphic(), nullptr);
    EXPECT_FLOAT_EQ(loaded.FindObject("Line1")->FrameWidth, 12.0f);
    EXPECT_EQ(loaded.DesignPages->Pages(1)->Orientation, poLandscape);
    EXPECT_EQ(loaded.DesignPages->Pages(1)->PaperWidth, 2100);
    EXPECT_EQ(dynamic_cast<TrpStubAddIn*>(loaded.FindObject("Stub1"))->Extra, 0xCAFE0042u);
    EXPECT_EQ(loaded.Values->FindVariable("valore1")->DataSetName, "DC.TabellaDitta");

    TScratchFolder folder;
    WriteFileBytes(folder.Path() / "every.frf", first);
    std::ofstream(folder.Path() / "model.json") << ModelJson(loaded);
    const std::string command = std::string("python3 ") + TestFixtureDir() + "/frf_dump.py " + folder.File("every.frf") +
                                " --addin TrpStubAddIn=4 --expect " + folder.File("model.json") + " > " +
                                folder.File("differences.txt") + " 2>&1";
    EXPECT_EQ(std::system(command.c_str()), 0) << ReadText(folder.Path() / "differences.txt");
}

TEST_F(RoundTrip, APictureOfAnotherClassIsKeptAsABitmap)
{
    TPicture::RegisterFileFormat("tcg", "Test", {"TTwoColourGraphic", [] { return std::make_unique<TTwoColourGraphic>(); }, {"TGraphic"}});
    TTwoColourGraphic graphic;
    TrpReport report(nullptr);
    auto picture = std::make_unique<TrpPictureView>();
    picture->Name = "Logo";
    picture->Picture->SetGraphic(&graphic);
    report.DesignPages->Add()->Objects.push_back(std::move(picture));

    TrpReport loaded(nullptr);
    ASSERT_TRUE(LoadFromBytes(loaded, SaveToBytes(report)));
    TGraphic* read = dynamic_cast<TrpPictureView*>(loaded.FindObject("Logo"))->Picture->Graphic();
    auto* bitmap = dynamic_cast<TBitmap*>(read);
    ASSERT_NE(bitmap, nullptr);
    ASSERT_EQ(bitmap->Width(), 6);
    ASSERT_EQ(bitmap->Height(), 4);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 6; ++x)
            EXPECT_EQ(bitmap->Canvas()->Pixels(x, y), x < 3 ? clRed : clBlue) << x << "," << y;
    TPicture::UnregisterGraphicClass("TTwoColourGraphic");
}

TEST_F(RoundTrip, AMetafileWhoseSizeIsUnknownKeepsItsBytes)
{
    // A plain Windows metafile without the placeable header: the layer cannot tell its size.
    const TBytes wmf = FromHex("01 00 09 00 00 03 0C 00 00 00 00 00 00 00 00 00 00 00 03 00 00 00 00 00");
    TMemoryStream data;
    data.WriteBuffer(wmf.data(), static_cast<int>(wmf.size()));
    data.SetPosition(0);
    TrpReport report(nullptr);
    auto picture = std::make_unique<TrpPictureView>();
    picture->Name = "Disegno";
    picture->Picture->Metafile()->LoadFromStream(data);
    report.DesignPages->Add()->Objects.push_back(std::move(picture));

    TrpReport loaded(nullptr);
    ASSERT_TRUE(LoadFromBytes(loaded, SaveToBytes(report)));
    auto* metafile = dynamic_cast<TMetafile*>(dynamic_cast<TrpPictureView*>(loaded.FindObject("Disegno"))->Picture->Graphic());
    ASSERT_NE(metafile, nullptr);
    TMemoryStream saved;
    metafile->SaveToStream(saved);
    EXPECT_EQ(TBytes(saved.Memory(), saved.Memory() + saved.Size()), wmf);
    // Nothing to draw, and no failure drawing it.
    TBitmap surface;
    surface.SetSize(50, 50);
    loaded.FindObject("Disegno")->SetBounds(0, 0, 40, 40);
    loaded.FindObject("Disegno")->Draw(surface.Canvas());
}
