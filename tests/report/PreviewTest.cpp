// The preview control on a host window and the standalone preview window: layout, paging,
// zoom, the commands that hand the sheets back to the report, the text search and showing a
// report; each checked on a window under the offscreen platform.

#include "ReportTestSupport.h"
#include "PrintSupport.h"

#include "report/RP_Ctrls.h"
#include "report/RP_PrDlg.h"
#include "report/RP_View.h"

#include "platform/gui/Application.h"
#include "platform/gui/Button.h"
#include "platform/gui/ComboBox.h"
#include "platform/gui/Edit.h"
#include "platform/gui/Grab.h"
#include "platform/gui/Label.h"
#include "platform/gui/Menus.h"
#include "platform/gui/Screen.h"
#include "platform/gui/ScrollBar.h"
#include "platform/rtl/Exceptions.h"

#include <QApplication>
#include <QMenu>
#include <QTest>
#include <QTimer>

namespace PreviewTest {

// A host window with a preview filling it, its page box 800 x 600 client pixels.
class Preview : public testing::Test {
protected:
    void SetUp() override
    {
        UseVirtualPrinterOnly();
        SharedScale = 1.0;
        SharedScaleMode = mdNone;
        Host = TForm::Create<TForm>(nullptr);
        Host->SetCaption("Anteprima documento");
        Host->SetClientWidth(840);
        Host->SetClientHeight(640);
        View = new TrpPreview(Host);
        View->SetParent(Host);
        View->SetAlign(alClient);
        Report.SetPreview(View);
        Report.Title = "TS Stampa";
        Report.ShowProgress = false;
        Host->Show();
    }
    void TearDown() override
    {
        TComponent::Free(Host);
        SharedScale = 1.0;
        SharedScaleMode = mdNone;
        UseVirtualPrinterOnly();
        DocMode = dmDesigning;
    }

    void FitPageBox(int width, int height)
    {
        TrpPBox* box = Form()->PageBox;
        Host->SetClientWidth(Host->ClientWidth() + width - box->ClientWidth());
        Host->SetClientHeight(Host->ClientHeight() + height - box->ClientHeight());
        ASSERT_EQ(box->ClientWidth(), width);
        ASSERT_EQ(box->ClientHeight(), height);
    }

    // The sheets shown in the preview, whose page area comes with the first connect.
    void Show()
    {
        Report.ShowPreparedReport();
        FitPageBox(800, 600);
    }

    TrpPreviewForm* Form() const { return View->PreviewForm; }
    TrpPageInfo* Sheet(int index) const { return Form()->HeldPages->Pages(index); }

    void AddSheets(int count, const std::string& prefix = "Foglio ")
    {
        for (int i = 1; i <= count; ++i)
            AddTextSheet(Report, prefix + std::to_string(i));
    }

    TForm* Host = nullptr;
    TrpPreview* View = nullptr;
    TrpReport Report{nullptr};
    TBoxRecorder Boxes;
    TScratchFolder Folder;
};

TEST_F(Preview, TwoSheetsAtFullSizeLieInOneCentredColumn)
{
    AddSheets(2);
    Show();
    ASSERT_EQ(View->GetAllPages(), 2);
    EXPECT_EQ(Report.PreparedPages->Count(), 0) << "the preview holds the sheets";
    EXPECT_EQ(Sheet(0)->Bounds, Rect(24, 10, 776, 1081));
    EXPECT_EQ(Sheet(1)->Bounds, Rect(24, 1091, 776, 2162));
    EXPECT_FALSE(View->GetHorizontalScrollBar()->Enabled());
    EXPECT_TRUE(View->GetVerticalScrollBar()->Enabled());
    EXPECT_EQ(View->GetVerticalScrollBar()->Max(), 1572);
    EXPECT_EQ(Form()->Label1->Caption(), "Pagina 1/2");
    EXPECT_EQ(Form()->ZoomBtn->Caption(), "100%");

    View->SetPage(2);
    EXPECT_EQ(View->GetVerticalScrollBar()->Position(), 1081);
    EXPECT_EQ(View->GetPage(), 2);
    EXPECT_EQ(Form()->Label1->Caption(), "Pagina 2/2");
    View->SetPage(0);
    View->SetPage(3);
    EXPECT_EQ(View->GetPage(), 2);
    EXPECT_EQ(View->GetVerticalScrollBar()->Position(), 1081);
    View->Prev();
    EXPECT_EQ(View->GetPage(), 1);
    EXPECT_EQ(View->GetVerticalScrollBar()->Position(), 0);

    View->PageWidth();
    EXPECT_EQ(Form()->ZoomBtn->Caption(), "104%");
    EXPECT_NEAR(View->GetZoom(), 780.0 / 752 * 100, 1e-9);
    EXPECT_EQ(Sheet(0)->Bounds.Left, 10);
    View->TwoPages();
    EXPECT_EQ(Form()->ZoomBtn->Caption(), "51%");
    EXPECT_EQ(Sheet(0)->Bounds.Top, Sheet(1)->Bounds.Top) << "two columns";
    EXPECT_EQ(Sheet(1)->Bounds.Left, Sheet(0)->Bounds.Right + 10);

    View->SetZoom(100);
    View->GetVerticalScrollBar()->SetPosition(1090);
    EXPECT_EQ(View->GetPage(), 2);
    EXPECT_EQ(Form()->Label1->Caption(), "Pagina 2/2");
    View->GetVerticalScrollBar()->SetPosition(1070);
    EXPECT_EQ(View->GetPage(), 2) << "no sheet spans the line: the page stays";
    View->GetVerticalScrollBar()->SetPosition(100);
    EXPECT_EQ(View->GetPage(), 1);
}

TEST_F(Preview, ANarrowBoxGivesOneColumnAndPagingWorksAfterAResize)
{
    AddSheets(3);
    Show();
    View->SetZoom(25);
    // 188 pixels wide: four fit across 800.
    EXPECT_EQ(Sheet(2)->Bounds.Left, 10 + 2 * (188 + 10));
    FitPageBox(300, 400);
    View->SetZoom(50);
    EXPECT_EQ(Sheet(0)->Bounds.Left, 10) << "one column, no room to centre";
    EXPECT_EQ(Sheet(1)->Bounds.Top, 10 + 536 + 10);
    EXPECT_TRUE(View->GetHorizontalScrollBar()->Enabled());
    EXPECT_EQ(View->GetHorizontalScrollBar()->Max(), 10 + 376 - 300 + 10);
    View->Last();
    EXPECT_EQ(View->GetPage(), 3);
    View->First();
    EXPECT_EQ(View->GetPage(), 1);
    View->Next();
    EXPECT_EQ(View->GetPage(), 2);
}

TEST_F(Preview, TheZoomMenuChoiceCarriesToTheNextPreviewButSetZoomDoesNot)
{
    AddSheets(2);
    Show();
    Form()->N501->Click();
    EXPECT_EQ(View->GetZoom(), 50);
    EXPECT_TRUE(Form()->N501->Checked());
    EXPECT_FALSE(Form()->N1001->Checked());

    TrpPreview* other = new TrpPreview(Host);
    other->SetParent(Host);
    other->SetBounds(0, 0, 300, 300);
    TrpReport second(nullptr);
    second.SetPreview(other);
    AddTextSheet(second, "Altro");
    second.ShowPreparedReport();
    EXPECT_EQ(other->GetZoom(), 50);
    EXPECT_TRUE(other->PreviewForm->N501->Checked());

    View->SetZoom(75);
    other->PreviewForm->ConnectBack();
    AddTextSheet(second, "Altro ancora");
    second.ShowPreparedReport();
    EXPECT_EQ(other->GetZoom(), 50);
    EXPECT_EQ(other->GetAllPages(), 2);

    Form()->N1->Click();
    EXPECT_EQ(SharedScaleMode, mdPageWidth);
    EXPECT_TRUE(Form()->N1->Checked());
}

// Runs inspect on the popup menu once it shows, then closes it with Escape.
void OnPopupShown(std::function<void(QMenu*)> inspect)
{
    QTimer::singleShot(50, [inspect] {
        auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        if (!menu)
            return;
        inspect(menu);
        QTest::keyClick(menu, Qt::Key_Escape);
    });
}

TEST_F(Preview, ARightClickOpensTheHostMenuOrElseTheZoomMenu)
{
    AddSheets(1);
    Show();
    QStringList texts;
    OnPopupShown([&](QMenu* menu) {
        for (QAction* action : menu->actions())
            if (action->isVisible())
                texts << action->text();
        QPixmap picture = menu->grab();
        EXPECT_TRUE(picture.save(QString::fromStdString(ScreenshotFolder() + "/r06-zoom-menu.png")));
    });
    Form()->PageBox->Perform(WM_RBUTTONDOWN, MK_RBUTTON, MouseAt(50, 50));
    Form()->PageBox->Perform(WM_RBUTTONUP, 0, MouseAt(50, 50));
    ASSERT_EQ(texts.size(), 10);
    EXPECT_EQ(texts[0], "200%");
    EXPECT_EQ(texts[7], "&Larghezza pagina");

    TPopupMenu* hostMenu = new TPopupMenu(Host);
    auto* item = new TMenuItem(Host);
    item->SetCaption("Copia");
    hostMenu->Items()->Add(item);
    View->PopupMenu = hostMenu;
    texts.clear();
    OnPopupShown([&](QMenu* menu) {
        for (QAction* action : menu->actions())
            texts << action->text();
    });
    Form()->PageBox->Perform(WM_RBUTTONDOWN, MK_RBUTTON, MouseAt(50, 50));
    Form()->PageBox->Perform(WM_RBUTTONUP, 0, MouseAt(50, 50));
    EXPECT_EQ(texts, QStringList{"Copia"});
}

TEST_F(Preview, ALeftClickMakesTheSheetUnderItCurrent)
{
    AddSheets(3);
    Show();
    View->SetZoom(25);
    // Sheet 3 at x 406 in the first row.
    Form()->PageBox->Perform(WM_LBUTTONDOWN, MK_LBUTTON, MouseAt(420, 50));
    Form()->PageBox->Perform(WM_LBUTTONUP, 0, MouseAt(420, 50));
    EXPECT_EQ(View->GetPage(), 3);
    EXPECT_EQ(Form()->Label1->Caption(), "Pagina 3/3");
}

TEST_F(Preview, TheWindowKeysScrollPageAndPassTheRestOn)
{
    AddSheets(3);
    Show();
    struct TCase {
        WORD Key;
        bool Ctrl;
        int Position; // the vertical position after the key, -1 for unchanged
        int Page;
        bool Consumed;
    };
    const int page2 = Sheet(1)->Bounds.Top - 10, page3 = Sheet(2)->Bounds.Top - 10;
    const TCase cases[] = {
        {VK_DOWN, false, 10, 1, true},      {VK_NEXT, false, 210, 1, true}, {VK_UP, true, 200, 1, true},
        {VK_PRIOR, false, 0, 1, true},      {VK_NEXT, true, page2, 2, true}, {VK_END, true, page3, 3, true},
        {VK_PRIOR, true, page2, 2, true},   {VK_HOME, true, 0, 1, true},     {VK_HOME, false, -1, 1, false},
        {VK_INSERT, false, -1, 1, false},   {'X', true, -1, 1, true},        {'X', false, -1, 1, false},
        {VK_RIGHT, false, -1, 1, true},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE("key " + std::to_string(c.Key) + (c.Ctrl ? " with Ctrl" : ""));
        const int before = View->GetVerticalScrollBar()->Position();
        WORD key = c.Key;
        TShiftState shift;
        if (c.Ctrl)
            shift = TShiftState{ssCtrl};
        Form()->OnKeyDown(Form(), key, shift);
        EXPECT_EQ(key == 0, c.Consumed);
        EXPECT_EQ(View->GetVerticalScrollBar()->Position(), c.Position < 0 ? before : c.Position);
        EXPECT_EQ(View->GetPage(), c.Page);
    }
    EXPECT_EQ(View->GetHorizontalScrollBar()->Position(), 0) << "the horizontal bar has no range";
}

TEST_F(Preview, TheHelpButtonAsksForTheTopicOfTheControlClickedNext)
{
    AddSheets(1);
    Show();
    std::vector<std::pair<WORD, std::intptr_t>> asked;
    Application->OnHelp = [&](WORD command, std::intptr_t data, bool& callHelp) {
        asked.emplace_back(command, data);
        callHelp = false;
        return true;
    };
    TrpPreviewForm* window = TForm::Create<TrpPreviewForm>(nullptr);
    window->Show();
    window->HelpBtnClick();
    EXPECT_EQ(Screen->Cursor(), crHelp);
    const TPoint zoom = window->ScreenToClient(window->ZoomBtn->ClientToScreen(TPoint(5, 5)));
    window->Perform(WM_LBUTTONDOWN, MK_LBUTTON, MouseAt(zoom.X, zoom.Y));
    EXPECT_EQ(Screen->Cursor(), crDefault);
    window->HelpBtnClick();
    const TPoint help = window->ScreenToClient(window->HelpBtn->ClientToScreen(TPoint(5, 5)));
    window->Perform(WM_LBUTTONDOWN, MK_LBUTTON, MouseAt(help.X, help.Y));
    Application->OnHelp = nullptr;
    TComponent::Free(window);
    ASSERT_EQ(asked.size(), 1u);
    EXPECT_EQ(asked[0].first, HELP_CONTEXTPOPUP);
    EXPECT_EQ(asked[0].second, 200);
}

TEST_F(Preview, PaintingShowsTheSheetsOnGreyAndReleasesTheHiddenOnes)
{
    AddSheets(3);
    Show();
    View->PageWidth();
    TBitmap picture;
    GrabWindow(Host, picture);
    const TPoint box = Form()->PageBox->ClientToScreen(TPoint(0, 0));
    const TPoint host = Host->ClientToScreen(TPoint(0, 0));
    const int x = box.X - host.X, y = box.Y - host.Y;
    EXPECT_EQ(RgbAt(picture, x + 5, y + 5), (std::vector<int>{128, 128, 128}));
    EXPECT_EQ(RgbAt(picture, x + 400, y + 300), (std::vector<int>{255, 255, 255}));
    EXPECT_EQ(RgbAt(picture, x + 10, y + 300), (std::vector<int>{0, 0, 0})) << "the sheet's border";
    EXPECT_TRUE(Sheet(0)->Visible);
    EXPECT_NE(Sheet(0)->Page, nullptr);
    EXPECT_FALSE(Sheet(2)->Visible);
    EXPECT_EQ(Sheet(2)->Page, nullptr);

    // Scrolling moves the drawn pixels and paints what was uncovered: the end of sheet 1 and the
    // start of sheet 2.
    View->GetVerticalScrollBar()->SetPosition(Sheet(1)->Bounds.Top - 300);
    GrabWindow(Host, picture);
    EXPECT_EQ(RgbAt(picture, x + 400, y + 295), (std::vector<int>{128, 128, 128})) << "the gap between sheets";
    EXPECT_EQ(RgbAt(picture, x + 400, y + 250), (std::vector<int>{255, 255, 255}));
    EXPECT_EQ(RgbAt(picture, x + 400, y + 350), (std::vector<int>{255, 255, 255}));
    EXPECT_TRUE(Sheet(1)->Visible);
    EXPECT_TRUE(GrabToPng(Host, ScreenshotFolder() + "/r06-host-preview.png"));
}

TEST_F(Preview, SavingAndExportingKeepTheSheetsShown)
{
    AddSheets(2);
    Show();
    const std::string saved = Folder.File("copia.xyz");
    Boxes.Dialogs().Expect(TDialogKind::SaveFile, TDialogAnswer::File(saved, 1));
    View->SaveToFile();
    EXPECT_TRUE(fs::exists(Folder.File("copia.frp")));
    EXPECT_EQ(View->GetAllPages(), 2);
    EXPECT_EQ(Report.PreparedPages->Count(), 0);
    const std::vector<TDialogRequestRecord> requests = Boxes.Dialogs().Requests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].File.Filter.rfind("File di report (*.frp)|*.frp", 0), 0u) << requests[0].File.Filter;

    TrpReport loaded(nullptr);
    loaded.LoadPreparedReport(Folder.File("copia.frp"));
    ASSERT_EQ(loaded.PreparedPages->Count(), 2);
    EXPECT_EQ(loaded.PreparedPages->Pages(1)->PaperSize, 9);

    // The export filters follow the report files in the dialog.
    static std::vector<std::string>* exported = nullptr;
    std::vector<std::string> calls;
    exported = &calls;
    struct TCountingFilter : TrpExportFilter {
        explicit TCountingFilter(TStream* stream) : TrpExportFilter(stream) {}
        void OnBeginPage() override { exported->push_back("page"); }
    };
    int index = -1;
    for (std::size_t i = 0; i < rpFilters.size(); ++i)
        if (rpFilters[i].ClassRef.ClassName == "TCountingFilter")
            index = static_cast<int>(i);
    if (index < 0) {
        rpRegisterExportFilter({"TCountingFilter", [](TStream* s) { return new TCountingFilter(s); }},
                               "Conteggio (*.cnt)", "*.cnt");
        index = static_cast<int>(rpFilters.size()) - 1;
    }
    Boxes.Dialogs().Expect(TDialogKind::SaveFile, TDialogAnswer::File(Folder.File("conteggio.frp"), index + 2));
    View->SaveToFile();
    EXPECT_TRUE(fs::exists(Folder.File("conteggio.cnt")));
    EXPECT_EQ(calls, (std::vector<std::string>{"page", "page"}));
    EXPECT_EQ(View->GetAllPages(), 2);
    EXPECT_NE(Boxes.Dialogs().Requests().back().File.Filter.find("|Conteggio (*.cnt)|*.cnt"), std::string::npos);
    exported = nullptr;
}

TEST_F(Preview, LoadingADamagedFileKeepsTheSheetsAndAnEmptyFileShowsAnEmptyBox)
{
    AddSheets(2);
    Show();
    WriteFileBytes(Folder.File("rotto.frp"), {0, 5, 'A', 'B', 'C', 'D', 'E', 9, 9});
    Boxes.Dialogs().Expect(TDialogKind::OpenFile, TDialogAnswer::File(Folder.File("rotto.frp")));
    EXPECT_THROW(View->LoadFromFile(), EReadError);
    EXPECT_EQ(View->GetAllPages(), 2);
    EXPECT_EQ(Form()->Label1->Caption(), "Pagina 1/2");

    // A prepared file of three sheets replaces the two.
    {
        TrpReport other(nullptr);
        for (int i = 0; i < 3; ++i)
            AddTextSheet(other, "Altro");
        other.SavePreparedReport(Folder.File("tre.frp"));
        TrpReport none(nullptr);
        none.SavePreparedReport(Folder.File("vuoto.frp"));
    }
    Boxes.Dialogs().Expect(TDialogKind::OpenFile, TDialogAnswer::File(Folder.File("tre.frp")));
    View->LoadFromFile();
    EXPECT_EQ(View->GetAllPages(), 3);
    EXPECT_EQ(Form()->Label1->Caption(), "Pagina 1/3");
    EXPECT_FALSE(Report.CanRebuild);

    Form()->LoadFromFile(Folder.File("vuoto.frp"));
    EXPECT_EQ(View->GetAllPages(), 0);
    TBitmap picture;
    GrabWindow(Host, picture);
    const TPoint box = Form()->PageBox->ClientToScreen(TPoint(0, 0));
    const TPoint host = Host->ClientToScreen(TPoint(0, 0));
    const std::vector<int> face = RgbAt(picture, box.X - host.X + 400, box.Y - host.Y + 300);
    EXPECT_NE(face, (std::vector<int>{128, 128, 128}));
    EXPECT_NE(face, (std::vector<int>{255, 255, 255}));
    // Paging an empty list does nothing.
    View->Next();
    View->PageWidth();
    EXPECT_EQ(View->GetPage(), 1);
}

// --- Printing from the preview

// Answers the print dialog when it shows: the printer at printerIndex, the copies text, OK.
void AnswerPrintDialog(int printerIndex, const std::string& copies)
{
    SetModalStartHook([printerIndex, copies](TCustomForm* form) {
        auto* dialog = dynamic_cast<TrpPrintForm*>(form);
        if (!dialog)
            return;
        if (printerIndex != dialog->CB1->ItemIndex()) {
            dialog->CB1->SetItemIndex(printerIndex);
            dialog->CB1->Perform(CN_COMMAND, MAKEWPARAM(0, CBN_SELCHANGE), 0);
        }
        dialog->E1->SetText(copies);
        dialog->Button1->Click();
    });
}

class PreviewPrinting : public Preview {
protected:
    void SetUp() override
    {
        Preview::SetUp();
        UseFilePrinters({First.Path().string(), Second.Path().string()});
    }
    void TearDown() override
    {
        SetModalStartHook(nullptr);
        Preview::TearDown();
    }

    // A template of one page whose title band shows text; counts its builds.
    void MakeTemplate(const std::string& text)
    {
        TrpPage* page = Report.DesignPages->Add();
        auto band = std::make_unique<TrpBandView>();
        band->SetBandType(btReportTitle);
        band->SetBounds(0, 20, 700, 20);
        band->Name = "Titolo";
        page->Objects.push_back(std::move(band));
        auto memo = std::make_unique<TrpMemoView>();
        memo->SetBounds(20, 20, 300, 16);
        memo->Memo->SetText(text);
        memo->Name = "Testo";
        memo->Flags = 0;
        page->Objects.push_back(std::move(memo));
        Report.OnBeginDoc = [this] { ++Builds; };
    }

    TScratchFolder First, Second;
    int Builds = 0;
};

TEST_F(PreviewPrinting, ACopiesTextThatIsNoNumberLeavesTheSheetsShown)
{
    AddSheets(2);
    Show();
    AnswerPrintDialog(0, "abc");
    EXPECT_THROW(View->Print(), EConvertError);
    EXPECT_EQ(View->GetAllPages(), 2);
    EXPECT_TRUE(PdfFilesIn(First.Path()).empty());

    AnswerPrintDialog(0, "2");
    View->Print();
    const std::vector<std::string> pdfs = PdfFilesIn(First.Path());
    ASSERT_EQ(pdfs.size(), 1u);
    EXPECT_NE(RunShell("pdfinfo '" + pdfs[0] + "'").find("Pages:           4"), std::string::npos);
    EXPECT_EQ(View->GetAllPages(), 2);
    EXPECT_EQ(Report.PreparedPages->Count(), 0);
}

TEST_F(PreviewPrinting, AnotherPrinterRebuildsABuiltReportOnce)
{
    MakeTemplate("Totale");
    Report.ShowReport();
    FitPageBox(800, 600);
    ASSERT_EQ(Builds, 1);
    ASSERT_EQ(View->GetAllPages(), 1);
    AnswerPrintDialog(1, "1");
    View->Print();
    EXPECT_EQ(Builds, 2);
    EXPECT_TRUE(PdfFilesIn(First.Path()).empty());
    const std::vector<std::string> pdfs = PdfFilesIn(Second.Path());
    ASSERT_EQ(pdfs.size(), 1u);
    EXPECT_NE(RunShell("pdftotext '" + pdfs[0] + "' -").find("Totale"), std::string::npos);
    EXPECT_EQ(View->GetAllPages(), 1);
}

TEST_F(PreviewPrinting, ALoadedReportPrintsWithoutRebuilding)
{
    MakeTemplate("Caricato");
    ASSERT_TRUE(Report.PrepareReport());
    Report.SavePreparedReport(Folder.File("pronto.frp"));
    Report.PreparedPages->Clear();
    Report.LoadPreparedReport(Folder.File("pronto.frp"));
    Show();
    const int builds = Builds;
    AnswerPrintDialog(1, "1");
    View->Print();
    EXPECT_EQ(Builds, builds);
    ASSERT_EQ(PdfFilesIn(Second.Path()).size(), 1u);
    EXPECT_EQ(View->GetAllPages(), 1);
}

// --- Search

class Search : public Preview {
protected:
    void SetUp() override
    {
        Preview::SetUp();
        AddTextSheet(Report, "Intestazione", 10, 20);
        AddTextSheet(Report, "Totale fattura", 40, 300);
        AddTextSheet(Report, "TOTALE generale", 60, 500);
        Show();
    }
};

TEST_F(Search, FindsEachHitInTurnAndScrollsToIt)
{
    EXPECT_TRUE(View->FindString("totale", false, false));
    EXPECT_EQ(View->GetPage(), 2);
    EXPECT_EQ(Form()->Label1->Caption(), "Pagina 2/3");
    EXPECT_NEAR(Form()->MatchRect.Top, 300, 2) << "the text's place on its sheet";
    EXPECT_NEAR(Form()->MatchRect.Left, 40, 2);
    EXPECT_EQ(View->GetVerticalScrollBar()->Position(), Form()->MatchRect.Top + Sheet(1)->Bounds.Top - 10);

    EXPECT_TRUE(View->FindString("totale", false, false));
    EXPECT_EQ(View->GetPage(), 3);
    const int position = View->GetVerticalScrollBar()->Position();
    EXPECT_EQ(position, std::min(Form()->MatchRect.Top + Sheet(2)->Bounds.Top - 10, View->GetVerticalScrollBar()->Max()));
    // Sheets without a hit are released again.
    EXPECT_EQ(Sheet(0)->Page, nullptr);
    EXPECT_NE(Sheet(2)->Page, nullptr);

    EXPECT_FALSE(View->FindString("totale", false, false));
    EXPECT_EQ(View->GetVerticalScrollBar()->Position(), position);
    EXPECT_EQ(View->GetPage(), 3);
}

TEST_F(Search, CaseAndStartChoose)
{
    EXPECT_FALSE(View->FindString("totale", true, false));
    EXPECT_TRUE(View->FindString("TOTALE", true, true));
    EXPECT_EQ(View->GetPage(), 3);
    EXPECT_TRUE(View->FindString("totale", false, true));
    EXPECT_EQ(View->GetPage(), 2);
    EXPECT_FALSE(View->FindString("", false, true));
    EXPECT_FALSE(View->FindString(std::string("\0\xFF\x80", 3), false, true));
    EXPECT_TRUE(View->FindString("intestazione", false, true));
    EXPECT_EQ(View->GetPage(), 1);
}

TEST_F(Search, AHitLowOnTheLastSheetIsFoundOnce)
{
    Form()->ConnectBack();
    // Below the height of the offscreen screen (800), near the foot of an A4 sheet.
    AddTextSheet(Report, "Ultima riga", 40, 1040);
    Show();
    ASSERT_EQ(View->GetAllPages(), 4);
    EXPECT_TRUE(View->FindString("ultima", false, false));
    EXPECT_EQ(View->GetVerticalScrollBar()->Position(), View->GetVerticalScrollBar()->Max());
    EXPECT_EQ(View->GetPage(), 4);
    EXPECT_FALSE(View->FindString("ultima", false, false));
}

TEST_F(Search, F3GoesOnFromTheLastHit)
{
    Form()->KeyPreview = true;
    EXPECT_TRUE(View->FindString("totale", false, false));
    WORD key = VK_F3;
    Form()->OnKeyDown(Form(), key, {});
    EXPECT_EQ(key, 0);
    EXPECT_EQ(View->GetPage(), 3);
}

// --- Showing a report

TEST_F(PreviewPrinting, AFailedBuildShowsItsErrorAndLeavesNoSheets)
{
    MakeTemplate("[NoSuchName]");
    Report.ShowReport();
    const std::vector<TDialogRequestRecord> boxes = Boxes.Boxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_FALSE(Report.BuildErrorText.empty());
    EXPECT_EQ(boxes[0].Text, Report.BuildErrorText);
    EXPECT_EQ(boxes[0].Caption, "Errore");
    EXPECT_EQ(boxes[0].Icon, static_cast<UINT>(MB_ICONERROR));
    EXPECT_EQ(Report.PreparedPages->Count(), 0);
    EXPECT_EQ(View->GetAllPages(), 0);
}

TEST(PreviewWindow, AReportWithoutPreviewOpensTheModalWindow)
{
    UseVirtualPrinterOnly();
    TBoxRecorder boxes;
    TrpReport report(nullptr);
    report.Title = "TS Stampa";
    report.InitialZoom = pzPageWidth;
    report.PreviewButtons = TrpPreviewButtons{pbZoom, pbPrint, pbFind, pbExit};
    for (int i = 1; i <= 3; ++i)
        AddTextSheet(report, i == 3 ? "Totale" : "Foglio " + std::to_string(i));
    std::string caption;
    bool loadShown = true, findShown = false, separatorShown = false;
    int pageAfterF3 = 0;
    SetModalStartHook([&](TCustomForm* form) {
        auto* preview = dynamic_cast<TrpPreviewForm*>(form);
        if (!preview)
            return;
        caption = form->Caption();
        loadShown = preview->LoadBtn->Visible();
        findShown = preview->FindBtn->Visible();
        separatorShown = preview->rpTBSeparator3->Visible();
        EXPECT_TRUE(PumpUntil([form] { return form->Active(); }));
        EXPECT_EQ(preview->ScaleMode, mdPageWidth);
        EXPECT_TRUE(GrabToPng(form, ScreenshotFolder() + "/r06-preview-window.png"));
        preview->SearchText = "TOTALE";
        WORD key = VK_F3;
        preview->OnKeyDown(form, key, {});
        pageAfterF3 = preview->CurrentPage;
        key = VK_ESCAPE;
        preview->OnKeyDown(form, key, {});
    });
    report.ShowPreparedReport();
    SetModalStartHook(nullptr);
    SharedScaleMode = mdNone;
    EXPECT_EQ(caption, "Anteprima - TS Stampa");
    EXPECT_FALSE(loadShown);
    EXPECT_TRUE(findShown);
    EXPECT_TRUE(separatorShown);
    EXPECT_EQ(pageAfterF3, 3);
    DocMode = dmDesigning;
}

} // namespace PreviewTest
