// The report component: its defaults and references, templates in tables, in template files and
// in a form's "ReportForm" value, the blob hook, the variables, object creation, registries and
// the designer's popup entries.

#include "ReportTestSupport.h"

#include "fuzz/TemplateFuzzCase.h"

#include "report/RP_DSet.h"

#include "platform/db/StdFields.h"
#include "platform/gui/Bitmap.h"
#include "platform/gui/Menus.h"
#include "tablestore/zelMemTable.h"

namespace {

std::unique_ptr<TzelMemTable> MakeTemplateTable()
{
    auto table = std::make_unique<TzelMemTable>(nullptr);
    table->FieldDefs().Add("Numero", ftInteger);
    table->FieldDefs().Add("Modello", ftBlob);
    table->CreateTable();
    table->Open();
    return table;
}

class TrpTestDesigner : public TrpReportDesigner {
    TESS_CLASS(TrpTestDesigner, TrpReportDesigner)
public:
    using TrpReportDesigner::TrpReportDesigner;
    void RegisterObject(TBitmap*, const std::string& hint, int tag) override { Registered.push_back(hint + "#" + std::to_string(tag)); }
    void RegisterTool(const std::string& caption, TBitmap*, TNotifyEvent) override { Registered.push_back(caption); }
    void BeforeChange() override { ++Changes; }
    void AfterChange() override { ++Changes; }
    void RedrawPage() override {}

    std::vector<std::string> Registered;
    int Changes = 0;
};

// Installs a designer editing one page for the object's life.
class TDesignerScope {
public:
    explicit TDesignerScope(TrpPage* page) : Designer(new TrpTestDesigner(nullptr))
    {
        Designer->Page = page;
        rpDesigner = Designer;
    }
    ~TDesignerScope()
    {
        rpDesigner = nullptr;
        TComponent::Free(Designer);
    }
    TDesignerScope(const TDesignerScope&) = delete;
    TDesignerScope& operator=(const TDesignerScope&) = delete;
    TrpTestDesigner* Designer;
};

std::vector<std::string> Captions(TPopupMenu& menu)
{
    std::vector<std::string> captions;
    for (int i = 0; i < menu.Items()->Count(); ++i)
        captions.push_back(menu.Items()->Items(i)->Caption());
    return captions;
}

class TrpTestLibrary : public TrpFunctionLibrary {
    TESS_CLASS(TrpTestLibrary, TrpFunctionLibrary)
public:
    TrpTestLibrary()
    {
        List->Add("DOPPIO");
        List->Add("ANNO");
    }
    void DoFunction(int index, const Variant& p1, const Variant&, const Variant&, std::string& val) override
    {
        val = List->Strings(index) + "(" + VarToStr(p1) + ")";
    }
};

class ReportComponent : public testing::Test {
protected:
    void SetUp() override { UseVirtualPrinterOnly(); }
};

} // namespace

TEST_F(ReportComponent, ANewReportHasItsDefaults)
{
    TrpReport report(nullptr);
    EXPECT_EQ(report.PreviewButtons, (TrpPreviewButtons{pbZoom, pbLoad, pbSave, pbPrint, pbFind, pbHelp, pbExit}));
    EXPECT_TRUE(report.ShowProgress);
    EXPECT_TRUE(report.ModalPreview);
    EXPECT_TRUE(report.ModifyPrepared);
    EXPECT_FALSE(report.GrayedButtons);
    EXPECT_FALSE(report.StoreInDFM);
    EXPECT_FALSE(report.PrintToDefaultPrinter);
    EXPECT_FALSE(report.TwoPass);
    EXPECT_FALSE(report.Terminated);
    EXPECT_EQ(report.InitialZoom, pzDefault);
    EXPECT_EQ(report.ReportType, rtSimple);
    EXPECT_EQ(report.FileName, "Senza titolo");
    EXPECT_EQ(report.Title, "");
    EXPECT_EQ(report.Dataset(), nullptr);
    EXPECT_EQ(report.Preview(), nullptr);
    EXPECT_EQ(report.DesignPages->Count(), 0);

    report.DesignReport();
    EXPECT_EQ(report.DesignPages->Count(), 1);
    EXPECT_EQ(CurReport, &report);
    report.DesignReport();
    EXPECT_EQ(report.DesignPages->Count(), 1);
}

TEST_F(ReportComponent, AFreedDataSetIsForgotten)
{
    TrpReport report(nullptr);
    auto* dataSet = new TrpUserDataset(nullptr);
    report.SetDataset(dataSet);
    EXPECT_EQ(report.Dataset(), dataSet);
    TComponent::Free(dataSet);
    EXPECT_EQ(report.Dataset(), nullptr);
}

TEST_F(ReportComponent, TemplatesKeptInATable)
{
    auto table = MakeTemplateTable();
    TrpReport sample(nullptr);
    BuildSampleReport(sample);
    sample.SaveToDB(table.get(), 7);
    TrpReport other(nullptr);
    other.DesignPages->Add();
    other.SaveToDB(table.get(), 3);
    sample.DesignPages->Pages(0)->Objects[0]->Name = "Prezzo";
    sample.SaveToDB(table.get(), 7);
    EXPECT_EQ(table->RecordCount(), 2);

    TrpReport loaded(nullptr);
    ASSERT_TRUE(loaded.LoadFromDB(table.get(), 7));
    EXPECT_NE(loaded.FindObject("Prezzo"), nullptr);
    ASSERT_TRUE(loaded.LoadFromDB(table.get(), 3));
    EXPECT_EQ(loaded.DesignPages->Count(), 1);
    EXPECT_TRUE(loaded.DesignPages->Pages(0)->Objects.empty());
    EXPECT_FALSE(loaded.LoadFromDB(table.get(), 99));
    EXPECT_EQ(loaded.DesignPages->Count(), 1);

    // A damaged blob is a damaged template.
    table->Append();
    table->FieldByName("Numero")->SetAsInteger(8);
    table->FieldByName("Modello")->SetAsString(std::string("\x17\xff\xff\x00", 4));
    table->Post();
    TBoxRecorder boxes;
    EXPECT_FALSE(loaded.LoadFromDB(table.get(), 8));
    EXPECT_EQ(boxes.Boxes().size(), 1u);
    EXPECT_EQ(loaded.DesignPages->Count(), 1);
}

TEST_F(ReportComponent, TheBlobHookLoadsABoundFieldThenRaisesTheEvent)
{
    auto table = std::make_unique<TzelMemTable>(nullptr);
    table->FieldDefs().Add("Logo", ftGraphic);
    table->FieldDefs().Add("Nome", ftString, 20);
    table->CreateTable();
    table->Open();
    TBitmap bitmap;
    bitmap.SetSize(4, 3);
    bitmap.Canvas()->SetPixels(2, 1, clRed);
    TMemoryStream bytes;
    bitmap.SaveToStream(bytes);
    bytes.SetPosition(0);
    table->Append();
    dynamic_cast<TBlobField*>(table->FieldByName("Logo"))->LoadFromStream(bytes);
    table->Post();

    TrpReport report(nullptr);
    std::vector<std::pair<TStrings*, TrpView*>> events;
    report.OnEnterRect = [&](TStrings* memo, TrpView* view) { events.push_back({memo, view}); };
    TrpPictureView bound;
    bound.DataSet = table.get();
    bound.DataField = "logo";
    report.InternalOnEnterRect(bound.WorkMemo.get(), &bound);
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].first, bound.WorkMemo.get());
    EXPECT_EQ(events[0].second, &bound);
    auto* loaded = dynamic_cast<TBitmap*>(bound.Picture->Graphic());
    ASSERT_NE(loaded, nullptr);
    EXPECT_EQ(loaded->Width(), 4);
    EXPECT_EQ(loaded->Canvas()->Pixels(2, 1), clRed);

    // A field that is no blob, and an unbound object, only raise the event.
    TrpPictureView byName;
    byName.DataSet = table.get();
    byName.DataField = "Nome";
    TrpPictureView unbound;
    report.InternalOnEnterRect(byName.WorkMemo.get(), &byName);
    report.InternalOnEnterRect(unbound.WorkMemo.get(), &unbound);
    EXPECT_EQ(events.size(), 3u);
    EXPECT_EQ(byName.Picture->Graphic(), nullptr);
    EXPECT_EQ(unbound.Picture->Graphic(), nullptr);

    // A text object takes the blob's text.
    table->Edit();
    table->FieldByName("Logo")->SetAsString("riga uno\r\nriga due");
    table->Post();
    TrpMemoView memo;
    memo.DataSet = table.get();
    memo.DataField = "Logo";
    report.InternalOnEnterRect(memo.WorkMemo.get(), &memo);
    EXPECT_EQ(memo.WorkMemo->Count(), 2);
}

TEST_F(ReportComponent, TemplateFilesWithADescriptionAndAPicture)
{
    TScratchFolder folder;
    const std::string file = folder.File("modello.frt");
    TrpReport report(nullptr);
    BuildSampleReport(report);
    TStringList description;
    description.Add("Fattura con logo");
    description.Add("Due colonne");
    TBitmap picture;
    picture.SetSize(5, 4);
    picture.Canvas()->SetPixels(3, 2, clGreen);
    report.SaveTemplate(file, &description, &picture);

    // The description, the offset of the report, the picture flag and the picture, the report.
    const TBytes bytes = ReadFileBytes(file);
    TMemoryStream pictureBytes;
    picture.SaveToStream(pictureBytes);
    const std::size_t descriptionSize = 2 + 2 + 16 + 1 + 2 + 11 + 1;
    const std::size_t offset = descriptionSize + 4 + 1 + static_cast<std::size_t>(pictureBytes.Size());
    std::uint32_t stored;
    std::memcpy(&stored, bytes.data() + descriptionSize, 4);
    EXPECT_EQ(stored, offset);
    EXPECT_EQ(bytes[descriptionSize + 4], 1);
    const TBytes sample = FromHex(SampleTemplateHex);
    EXPECT_EQ(TBytes(bytes.begin() + static_cast<std::ptrdiff_t>(offset), bytes.end()), TBytes(sample.begin() + 1, sample.end()));

    TrpReport loaded(nullptr);
    TStringList readDescription;
    readDescription.Add("vecchia");
    TBitmap readPicture;
    ASSERT_TRUE(loaded.LoadTemplate(file, &readDescription, &readPicture, false));
    EXPECT_TRUE(readDescription.Equals(&description));
    EXPECT_EQ(readPicture.Canvas()->Pixels(3, 2), clGreen);
    EXPECT_EQ(loaded.DesignPages->Count(), 0);

    TStringList untouched;
    untouched.Add("resta");
    ASSERT_TRUE(loaded.LoadTemplate(file, &untouched, nullptr, true));
    EXPECT_EQ(untouched.Text(), "resta\r\n");
    EXPECT_NE(loaded.FindObject("Memo1"), nullptr);

    // Without a picture the flag is 0; a description read after an old template is read in the
    // current form.
    report.SaveTemplate(file, &description, nullptr);
    EXPECT_EQ(ReadFileBytes(file)[descriptionSize + 4], 0);
    TrpReport old(nullptr);
    ASSERT_TRUE(LoadFromBytes(old, FromHex(SampleTemplate22Hex)));
    readPicture.SetSize(2, 2);
    ASSERT_TRUE(old.LoadTemplate(file, &readDescription, &readPicture, false));
    EXPECT_TRUE(readDescription.Equals(&description));
    EXPECT_TRUE(readPicture.Empty());

    TBoxRecorder boxes;
    WriteFileBytes(file, FromHex("02 00 01 00 61"));
    EXPECT_FALSE(old.LoadTemplate(file, &readDescription, &readPicture, false));
    EXPECT_EQ(readDescription.Count(), 0);
    EXPECT_FALSE(old.LoadTemplate(file, nullptr, nullptr, true));
    EXPECT_EQ(boxes.Boxes().size(), 1u);
    EXPECT_EQ(old.DesignPages->Count(), 1);
    EXPECT_THROW(old.LoadTemplate(folder.File("manca.frt"), nullptr, nullptr, true), EFOpenError);
    EXPECT_THROW(old.LoadFromFile(folder.File("manca.frf")), EFOpenError);
}

TEST_F(ReportComponent, TheReportFormValueOfAForm)
{
    TrpReport report(nullptr);
    BuildSampleReport(report);
    TMemoryStream plain;
    report.WriteReportForm(plain);
    EXPECT_EQ(plain.Size(), 4);
    EXPECT_EQ(plain.Memory()[0], 23);

    report.StoreInDFM = true;
    TMemoryStream embedded;
    embedded.WriteUInt8(0x99);
    report.WriteReportForm(embedded);
    ASSERT_EQ(embedded.Size(), 1 + 4 + 4 + 163);
    std::int32_t size;
    std::memcpy(&size, embedded.Memory() + 5, 4);
    EXPECT_EQ(size, 163);

    TrpReport fromPlain(nullptr);
    plain.SetPosition(0);
    fromPlain.StoreInDFM = true;
    EXPECT_THROW(fromPlain.ReadReportForm(plain), EReadError);
    fromPlain.StoreInDFM = false;
    plain.SetPosition(0);
    fromPlain.ReadReportForm(plain);
    EXPECT_EQ(fromPlain.DesignPages->Count(), 0);

    TrpReport fromEmbedded(nullptr);
    fromEmbedded.StoreInDFM = true;
    embedded.SetPosition(1);
    fromEmbedded.ReadReportForm(embedded);
    EXPECT_NE(fromEmbedded.FindObject("Memo1"), nullptr);
    EXPECT_EQ(embedded.Position(), embedded.Size());
}

TEST_F(ReportComponent, VariablesAreGroupedInCategories)
{
    TrpReport report(nullptr);
    TStringList vars;
    vars.SetText("Documento\r\n Numero\r\n Data\r\nVuota\r\nTotali\r\n Imponibile\r\n\r\n Orfana\r\n");
    report.SetVars(&vars);
    TStringList list;
    report.GetCategoryList(&list);
    EXPECT_EQ(list.CommaText(), "Documento,Vuota,Totali");
    report.GetVarList(0, &list);
    EXPECT_EQ(list.CommaText(), "Numero,Data");
    report.GetVarList(1, &list);
    EXPECT_EQ(list.Count(), 0);
    report.GetVarList(2, &list);
    EXPECT_EQ(list.CommaText(), "Imponibile");
    report.GetVarList(3, &list);
    EXPECT_EQ(list.Count(), 0);
    EXPECT_EQ(report.FindVariable("Data"), 2);
    EXPECT_EQ(report.FindVariable("data"), -1);
    EXPECT_EQ(report.FindVariable("Documento"), -1);
}

TEST_F(ReportComponent, ObjectsAreCreatedByTypeAndRegisteredClassName)
{
    RegisterStubAddIn();
    struct TCase {
        int Type;
        std::string Class;
    };
    for (const TCase& c : {TCase{0, "TrpMemoView"}, TCase{1, "TrpPictureView"}, TCase{2, "TrpBandView"},
                           TCase{3, "TrpSubReportView"}, TCase{4, "TrpLineView"}}) {
        auto view = rpCreateObject(static_cast<std::uint8_t>(c.Type), "");
        ASSERT_NE(view, nullptr);
        EXPECT_EQ(view->ClassName(), c.Class);
        EXPECT_EQ(view->ObjectType, c.Type);
    }
    for (int typ : {5, 9, 11, 255})
        EXPECT_EQ(rpCreateObject(static_cast<std::uint8_t>(typ), "TrpStubAddIn"), nullptr) << typ;

    auto first = rpCreateObject(10, "TrpStubAddIn");
    auto second = rpCreateObject(10, "TrpStubAddIn");
    EXPECT_EQ(first->ClassName(), "TrpStubAddIn");
    EXPECT_EQ(first->ObjectType, 10);
    EXPECT_GT(second->ID, first->ID);
    try {
        rpCreateObject(10, "TrpStubAddin");
        ADD_FAILURE() << "a class name in other letters is found";
    } catch (const EClassNotFound& e) {
        EXPECT_EQ(e.Message, "Ne nayden klass TrpStubAddin");
    }

    // New names skip every taken one, whatever the letter case.
    TrpReport report(nullptr);
    TrpPage* page = report.DesignPages->Add();
    for (const char* name : {"Memo1", "MEMO2", "Memo4"}) {
        page->Objects.push_back(std::make_unique<TrpMemoView>());
        page->Objects.back()->Name = name;
    }
    CurReport = &report;
    TrpMemoView fresh;
    fresh.CreateUniqueName();
    EXPECT_EQ(fresh.Name, "Memo3");
    EXPECT_EQ(page->FindObject("memo2"), page->Objects[1].get());
    EXPECT_EQ(page->FindObjectByID(page->Objects[2]->ID), 2);
    EXPECT_EQ(page->FindObjectByID(-5), -1);
}

TEST_F(ReportComponent, RegistriesKeepEveryEntryInOrder)
{
    TrpReport report(nullptr);
    TDesignerScope designer(report.DesignPages->Add());
    const std::size_t addIns = rpAddIns.size(), tools = rpTools.size(), filters = rpFilters.size();
    rpRegisterObject(rpViewClassOf<TrpLineView>(), nullptr, "Linea", nullptr);
    rpRegisterTool("Strumento", nullptr, nullptr);
    rpRegisterExportFilter({"TrpNessunFiltro", nullptr}, "File PDF", "*.pdf");
    EXPECT_EQ(designer.Designer->Registered,
              (std::vector<std::string>{"Linea#" + std::to_string(10 + addIns), "Strumento"}));
    EXPECT_EQ(rpFilters.back().FilterExt, "*.pdf");
    rpAddIns.resize(addIns);
    rpTools.resize(tools);
    rpFilters.resize(filters);

    rpRegisterFunctionLibrary([] { return std::make_unique<TrpTestLibrary>(); });
    TrpFunctionLibrary* library = rpFunctions.back().get();
    std::string val = "0";
    EXPECT_TRUE(library->OnFunction("doppio", Variant("[A]"), Variant(), Variant(), val));
    EXPECT_EQ(val, "DOPPIO([A])");
    EXPECT_TRUE(library->OnFunction("ANNO", Variant("x"), Variant(), Variant(), val));
    EXPECT_EQ(val, "ANNO(x)");
    EXPECT_FALSE(library->OnFunction("MESE", Variant(), Variant(), Variant(), val));
    rpFunctions.pop_back();
}

TEST_F(ReportComponent, PopupEntriesSetTheirFlagOnTheSelectedObjects)
{
    TrpReport report(nullptr);
    TrpPage* page = report.DesignPages->Add();
    for (bool selected : {true, true, false}) {
        page->Objects.push_back(std::make_unique<TrpMemoView>());
        page->Objects.back()->Selected = selected;
    }
    TDesignerScope designer(page);
    TrpView* clicked = page->Objects[0].get();

    TPopupMenu menu(nullptr);
    clicked->DefinePopupMenu(&menu);
    EXPECT_EQ(Captions(menu), (std::vector<std::string>{"Formato...", "Carattere...", "-", "Adatta altezza", "A capo",
                                                        "Sillabazione", "Larghezza automatica"}));
    TMenuItem* wordWrap = menu.Items()->Items(4);
    EXPECT_TRUE(wordWrap->Checked());
    EXPECT_TRUE(menu.Items()->Items(5)->Enabled());
    wordWrap->Click();
    EXPECT_FALSE(wordWrap->Checked());
    EXPECT_EQ(page->Objects[0]->Flags, 1);
    EXPECT_EQ(page->Objects[1]->Flags, 1);
    EXPECT_EQ(page->Objects[2]->Flags, 3);
    EXPECT_EQ(designer.Designer->Changes, 2);

    // Word break waits for word wrap.
    TPopupMenu again(nullptr);
    clicked->DefinePopupMenu(&again);
    EXPECT_FALSE(again.Items()->Items(5)->Enabled());

    // The font entry gives the selected texts only what was changed.
    auto* other = dynamic_cast<TrpMemoView*>(page->Objects[1].get());
    other->Font->SetName("Courier New");
    TBoxRecorder dialogs;
    TDialogAnswer answer;
    answer.Font.emplace();
    answer.Font->Assign(dynamic_cast<TrpMemoView*>(clicked)->Font.get());
    answer.Font->SetSize(14);
    dialogs.Dialogs().Expect(TDialogKind::ChooseFont, answer);
    again.Items()->Items(1)->Click();
    EXPECT_EQ(other->Font->Size(), 14);
    EXPECT_EQ(other->Font->Name(), "Courier New");
    EXPECT_EQ(dynamic_cast<TrpMemoView*>(clicked)->Font->Size(), 14);
    EXPECT_EQ(dynamic_cast<TrpMemoView*>(page->Objects[2].get())->Font->Size(), 10);

    // A page footer offers its two page flags, which belong to the band itself.
    TrpBandView footer;
    footer.SetBandType(btPageFooter);
    footer.Flags = 0;
    TPopupMenu bandMenu(nullptr);
    footer.DefinePopupMenu(&bandMenu);
    EXPECT_EQ(Captions(bandMenu), (std::vector<std::string>{"Sulla prima pagina", "Sull'ultima pagina"}));
    bandMenu.Items()->Items(1)->Click();
    EXPECT_EQ(footer.Flags, 32);
    EXPECT_EQ(page->Objects[0]->Flags, 1);

    TrpBandView masterData;
    masterData.SetBandType(btMasterData);
    TPopupMenu dataMenu(nullptr);
    masterData.DefinePopupMenu(&dataMenu);
    EXPECT_EQ(dataMenu.Items()->Count(), 5);

    TPopupMenu none(nullptr);
    TrpLineView().DefinePopupMenu(&none);
    TrpSubReportView().DefinePopupMenu(&none);
    EXPECT_EQ(none.Items()->Count(), 0);

    TrpPictureView picture;
    picture.Flags = 0;
    TPopupMenu pictureMenu(nullptr);
    picture.DefinePopupMenu(&pictureMenu);
    EXPECT_EQ(Captions(pictureMenu), (std::vector<std::string>{"-", "Adatta altezza", "Centra", "Mantieni proporzioni"}));
    EXPECT_FALSE(pictureMenu.Items()->Items(3)->Enabled());
}
