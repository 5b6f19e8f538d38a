// The building pass: sheets, page footers and two passes, aggregates, groups, data levels,
// splitting, columns, cross-tabs, subreports, continuing pages, multiple and composite reports,
// failures, scripts and the standard functions. Templates are put together in code and the
// prepared sheets are read back object by object.

#include "ReportTestSupport.h"

#include "report/Interpretator.h"
#include "report/RP_DBSet.h"
#include "report/RP_progr.h"
#include "report/rpBand.h"
#include "report/rpCompositeReport.h"
#include "report/rpMemoView.h"
#include "report/rpSubReportView.h"

#include "platform/db/StdFields.h"
#include "platform/gui/Button.h"
#include "platform/gui/Label.h"
#include "platform/rtl/DateTime.h"
#include "tablestore/zelMemTable.h"

#include <map>

namespace BuildTest {

constexpr int Top0 = 18, Bottom0 = 1053, Left0 = 18;

// One object of a prepared sheet: its text (wrapped lines joined by "|") and where it stands.
struct TPlaced {
    std::string Text;
    int Left = 0;
    int Top = 0;
    int Height = 0;
};
using TSheet = std::vector<TPlaced>;

std::string PreparedText(TrpView* view)
{
    std::string text;
    for (int i = 0; i < view->Memo->Count(); ++i) {
        std::string line = view->Memo->Strings(i);
        const std::size_t mark = line.find('\x01');
        if (mark != std::string::npos)
            line.erase(mark);
        if (line.empty() && i + 1 == view->Memo->Count() && i > 0)
            continue;
        text += (i > 0 ? "|" : "") + line;
    }
    return text;
}

// A report "R" on a window with the table "Tabella" (Val, Chiave, Importo) behind the report
// data set "Dati", and a template builder.
class TBuildFixture : public testing::Test {
protected:
    TBuildFixture() : Owner(new TComponent(nullptr))
    {
        Table = new TzelMemTable(Owner);
        Table->SetName("Tabella");
        Table->FieldDefs().Add("Val", ftInteger);
        Table->FieldDefs().Add("Chiave", ftString, 10);
        Table->FieldDefs().Add("Importo", ftFloat);
        Table->CreateTable();
        Table->Open();
        Data = new TrpDBDataSet(Owner);
        Data->SetName("Dati");
        Data->SetDataSet(Table);
        Report = NewReport("R");
    }
    ~TBuildFixture() override
    {
        rpVariables->Clear();
        TComponent::Free(Owner);
    }

    TrpReport* NewReport(const std::string& name)
    {
        auto* report = new TrpReport(Owner);
        report->SetName(name);
        report->ShowProgress = false;
        return report;
    }

    TrpPage* NewPage(TrpReport* report = nullptr)
    {
        TrpPage* page = (report ? report : Report)->DesignPages->Add();
        page->UseMargins = -1;
        page->Margins = TRect{0, 0, 0, 0};
        return page;
    }

    TrpBandView* AddBand(TrpPage* page, TrpBandType type, int top, int height, const std::string& source = "",
                         std::uint16_t flags = 0, const std::string& name = "")
    {
        auto band = std::make_unique<TrpBandView>();
        band->SetBandType(type);
        band->SetBounds(0, top, 700, height);
        band->FormatText = source;
        band->Flags = flags;
        band->Name = name.empty() ? "Band" + std::to_string(++Names) : name;
        TrpBandView* raw = band.get();
        page->Objects.push_back(std::move(band));
        return raw;
    }

    TrpMemoView* AddText(TrpPage* page, const std::string& text, int top, int left = 20, int width = 300,
                         int height = 16, const std::string& name = "")
    {
        auto memo = std::make_unique<TrpMemoView>();
        memo->SetBounds(left, top, width, height);
        memo->Memo->SetText(text);
        memo->Name = name.empty() ? "Memo" + std::to_string(++Names) : name;
        memo->Flags = 0;
        TrpMemoView* raw = memo.get();
        page->Objects.push_back(std::move(memo));
        return raw;
    }

    void Fill(const std::vector<int>& values, const std::vector<std::string>& keys = {})
    {
        for (std::size_t i = 0; i < values.size(); ++i) {
            Table->Append();
            Table->FieldByName("Val")->SetAsInteger(values[i]);
            Table->FieldByName("Importo")->SetAsFloat(values[i]);
            if (i < keys.size())
                Table->FieldByName("Chiave")->SetAsString(keys[i]);
            Table->Post();
        }
        Table->First();
    }

    void FillCount(int count)
    {
        std::vector<int> values;
        for (int i = 1; i <= count; ++i)
            values.push_back(i);
        Fill(values);
    }

    std::vector<TSheet> Sheets(TrpReport* report = nullptr)
    {
        TrpEMFPages& pages = *(report ? report : Report)->PreparedPages;
        std::vector<TSheet> sheets;
        for (int i = 0; i < pages.Count(); ++i) {
            pages.ObjectsToPage(i);
            TSheet sheet;
            for (const std::unique_ptr<TrpView>& view : pages.Pages(i)->Page->Objects)
                sheet.push_back({PreparedText(view.get()), view->Left, view->Top, view->Height});
            sheets.push_back(sheet);
        }
        return sheets;
    }

    static std::vector<std::string> Texts(const TSheet& sheet)
    {
        std::vector<std::string> texts;
        for (const TPlaced& placed : sheet)
            texts.push_back(placed.Text);
        return texts;
    }

    // Every text of every sheet in order.
    std::vector<std::string> AllTexts()
    {
        std::vector<std::string> texts;
        for (const TSheet& sheet : Sheets())
            for (const TPlaced& placed : sheet)
                texts.push_back(placed.Text);
        return texts;
    }

    // A master band of height 20 at y 100 over "Dati" showing text.
    TrpPage* ListPage(const std::string& text = "[Val]", std::uint16_t flags = 0)
    {
        TrpPage* page = NewPage();
        AddBand(page, btMasterData, 100, 20, "Dati", flags, "MasterData1");
        AddText(page, text, 100);
        return page;
    }

    TComponent* Owner;
    TzelMemTable* Table;
    TrpDBDataSet* Data;
    TrpReport* Report;
    int Names = 0;
};

// --- Sheets

TEST_F(TBuildFixture, MasterRecordsFillSheetsAndPageFootersNumberThem)
{
    FillCount(100);
    TrpPage* page = ListPage();
    ASSERT_TRUE(Report->PrepareReport());
    auto sheets = Sheets();
    ASSERT_EQ(sheets.size(), 2u);
    ASSERT_EQ(sheets[0].size(), 51u);
    EXPECT_EQ(sheets[1].size(), 49u);
    for (int k = 0; k < 51; ++k) {
        EXPECT_EQ(sheets[0][static_cast<std::size_t>(k)].Top, Top0 + 20 * k);
        EXPECT_EQ(sheets[0][static_cast<std::size_t>(k)].Text, std::to_string(k + 1));
    }
    EXPECT_EQ(sheets[1][0].Text, "52");
    EXPECT_EQ(sheets[1][0].Top, Top0);

    // A page footer of 30 on the first and the last sheet.
    TrpBandView* footer = AddBand(page, btPageFooter, 900, 30, "", rpBandOnFirstPage | rpBandOnLastPage);
    AddText(page, "[PAGE#]", 905);
    std::vector<int> endedPages;
    Report->OnEndPage = [&](int pgNo) { endedPages.push_back(pgNo); };
    ASSERT_TRUE(Report->PrepareReport());
    sheets = Sheets();
    ASSERT_EQ(sheets.size(), 2u);
    for (int i = 0; i < 2; ++i) {
        ASSERT_EQ(sheets[static_cast<std::size_t>(i)].size(), 51u);
        EXPECT_EQ(sheets[static_cast<std::size_t>(i)].back().Text, std::to_string(i + 1));
        EXPECT_EQ(sheets[static_cast<std::size_t>(i)].back().Top, Bottom0 - 30 + 5);
    }
    EXPECT_EQ(endedPages, (std::vector<int>{0, 1}));

    // Without "on the last sheet" the last sheet has no footer and no end event.
    footer->Flags = rpBandOnFirstPage;
    endedPages.clear();
    ASSERT_TRUE(Report->PrepareReport());
    sheets = Sheets();
    ASSERT_EQ(sheets.size(), 2u);
    EXPECT_EQ(sheets[0].back().Text, "1");
    EXPECT_EQ(sheets[1].size(), 50u);
    EXPECT_EQ(sheets[1].back().Text, "100");
    EXPECT_EQ(endedPages, (std::vector<int>{0}));
}

TEST_F(TBuildFixture, TwoPassesKnowTheTotalPages)
{
    FillCount(100);
    TrpPage* page = ListPage();
    AddBand(page, btPageFooter, 900, 30, "", rpBandOnFirstPage | rpBandOnLastPage);
    AddText(page, "[PAGE#]/[TOTALPAGES]", 905);
    Report->TwoPass = true;
    Report->ShowProgress = true;
    ASSERT_TRUE(Report->PrepareReport());
    const auto sheets = Sheets();
    ASSERT_EQ(sheets.size(), 2u);
    EXPECT_EQ(sheets[0].back().Text, "1/2");
    EXPECT_EQ(sheets[1].back().Text, "2/2");
    EXPECT_EQ(rpProgressForm->Label1->Caption(), "Elaborazione pagina:  2 from 2");
    EXPECT_TRUE(Report->TwoPass);
    EXPECT_FALSE(rpProgressForm->Visible());
}

// --- Aggregates

TEST_F(TBuildFixture, AggregatesOfAMasterFooter)
{
    struct TCase {
        std::vector<int> Values;
        std::string Expression;
        std::string BandScript;
        std::string Expected;
    };
    const std::string hideSecond = "if [Val] = 2 then Visible := 0 else Visible := 1";
    const std::vector<TCase> cases = {
        {{1, 2, 3}, "[SUM([Val])]", "", "6"},
        {{1, 2, 3}, "[AVG([Val])]", "", "2"},
        {{1, 2, 3}, "[COUNT(MasterData1)]", "", "3"},
        {{1, 2, 3}, "[MAX([Val])]", "", "3"},
        {{1, 2, 3}, "[MIN([Val])]", "", "1"},
        // A hidden record counts only when asked for.
        {{1, 2, 3}, "[SUM([Val])]", hideSecond, "4"},
        {{1, 2, 3}, "[SUM([Val], MasterData1, 1)]", hideSecond, "6"},
        {{1, 2, 3}, "[AVG([Val], MasterData1, 0)]", hideSecond, "2"},
        {{1, 2, 3}, "[COUNT(Tabella)]", "", "3"},
        {{1, 2, 3}, "[SUM(Tabella.\"Importo\")]", "", "6"},
    };
    for (const TCase& test : cases) {
        SCOPED_TRACE(test.Expression + " " + test.BandScript);
        Table->EmptyTable();
        Report->DesignPages->Clear();
        Fill(test.Values);
        TrpPage* page = NewPage();
        TrpBandView* master = AddBand(page, btMasterData, 100, 20, "Dati", 0, "MasterData1");
        master->Script->SetText(test.BandScript);
        AddText(page, "[Val]", 100);
        AddBand(page, btMasterFooter, 200, 20);
        AddText(page, test.Expression, 200, 20, 300, 16, "Totale");
        ASSERT_TRUE(Report->PrepareReport()) << Report->BuildErrorText;
        const auto texts = AllTexts();
        ASSERT_FALSE(texts.empty());
        EXPECT_EQ(texts.back(), test.Expected);
    }
}

TEST_F(TBuildFixture, AggregatesOverNothingAndOverTheWalkedTable)
{
    TrpPage* page = ListPage();
    AddBand(page, btReportSummary, 300, 20);
    AddText(page, "[MIN([Val])]:[MAX([Val])]:[AVG([Val])]:[SUM([Val])]", 300);
    ASSERT_TRUE(Report->PrepareReport());
    EXPECT_EQ(AllTexts(), (std::vector<std::string>{"0:0:0:0"}));

    // A page footer summing the table the master band walks leaves every record printed.
    Report->DesignPages->Clear();
    FillCount(100);
    page = ListPage();
    AddBand(page, btPageFooter, 900, 30, "", rpBandOnFirstPage | rpBandOnLastPage);
    AddText(page, "[SUM(Tabella.\"Importo\")]", 905);
    ASSERT_TRUE(Report->PrepareReport());
    const auto sheets = Sheets();
    ASSERT_EQ(sheets.size(), 2u);
    EXPECT_EQ(sheets[0].size() + sheets[1].size(), 102u);
    EXPECT_EQ(sheets[1][sheets[1].size() - 2].Text, "100");
    EXPECT_EQ(sheets[0].back().Text, "5050");
}

// --- Groups and levels

TEST_F(TBuildFixture, GroupHeadersAndFootersComeInOrder)
{
    Fill({1, 2, 3}, {"A", "A", "B"});
    TrpPage* page = NewPage();
    AddBand(page, btGroupHeader, 40, 18, "[Chiave]");
    AddText(page, "O[Chiave]", 40);
    AddBand(page, btMasterData, 100, 20, "Dati", 0, "MasterData1");
    AddText(page, "D[Val]", 100);
    AddBand(page, btMasterFooter, 200, 20);
    AddText(page, "MF", 200);
    TrpBandView* outerFooter = AddBand(page, btGroupFooter, 320, 20);
    AddText(page, "OF[SUM([Val])]", 320);
    ASSERT_TRUE(Report->PrepareReport()) << Report->BuildErrorText;
    EXPECT_EQ(AllTexts(), (std::vector<std::string>{"OA", "D1", "D2", "MF", "OF3", "OB", "D3", "MF", "OF3"}));

    // An inner group on the value: its footer comes first, and the last group's footers once.
    AddBand(page, btGroupHeader, 70, 20, "[Val]");
    AddText(page, "I[Val]", 70);
    outerFooter->Top = 340;
    for (const auto& object : page->Objects)
        if (object->Memo->Count() > 0 && object->Memo->Strings(0) == "OF[SUM([Val])]")
            object->Top = 340;
    AddBand(page, btGroupFooter, 300, 20);
    AddText(page, "IF", 300);
    ASSERT_TRUE(Report->PrepareReport()) << Report->BuildErrorText;
    EXPECT_EQ(AllTexts(), (std::vector<std::string>{"OA", "I1", "D1", "MF", "IF", "I2", "D2", "MF", "IF", "OF3",
                                                    "OB", "I3", "D3", "MF", "IF", "OF3"}));
}

TEST_F(TBuildFixture, MasterRecordsWithoutDetailsAreDropped)
{
    Fill({1, 2, 3});
    auto* details = new TrpUserDataset(Owner);
    details->SetName("Dettagli");
    details->RangeEnd = reCount;
    details->OnFirst = [&](TObject*) { details->RangeEndCount = Table->FieldByName("Val")->AsInteger() == 2 ? 0 : 2; };
    TrpPage* page = NewPage();
    TrpBandView* master = AddBand(page, btMasterData, 100, 20, "Dati", 0, "MasterData1");
    AddText(page, "M[Val]", 100);
    AddBand(page, btDetailHeader, 130, 20);
    AddText(page, "DH", 130);
    AddBand(page, btDetailData, 160, 20, "Dettagli");
    AddText(page, "d[LINE#]", 160);
    ASSERT_TRUE(Report->PrepareReport()) << Report->BuildErrorText;
    EXPECT_EQ(AllTexts(), (std::vector<std::string>{"M1", "DH", "d1", "d2", "M3", "DH", "d1", "d2"}));

    master->Flags = rpBandPrintWhenDetailEmpty;
    ASSERT_TRUE(Report->PrepareReport());
    EXPECT_EQ(AllTexts(), (std::vector<std::string>{"M1", "DH", "d1", "d2", "M2", "M3", "DH", "d1", "d2"}));
}

TEST_F(TBuildFixture, AMasterBandWithoutRecordsPrintsOnlyTheReportAndPageBands)
{
    TrpPage* page = NewPage();
    AddBand(page, btReportTitle, 20, 20);
    AddText(page, "T", 20);
    AddBand(page, btPageHeader, 50, 20, "", rpBandOnFirstPage);
    AddText(page, "PH", 50);
    AddBand(page, btMasterHeader, 80, 20);
    AddText(page, "MH", 80);
    AddBand(page, btMasterData, 110, 20, "Dati");
    AddText(page, "M", 110);
    AddBand(page, btMasterFooter, 140, 20);
    AddText(page, "MF", 140);
    AddBand(page, btReportSummary, 170, 20);
    AddText(page, "S", 170);
    AddBand(page, btPageFooter, 900, 20, "", rpBandOnFirstPage | rpBandOnLastPage);
    AddText(page, "PF", 900);
    ASSERT_TRUE(Report->PrepareReport());
    EXPECT_EQ(AllTexts(), (std::vector<std::string>{"T", "PH", "S", "PF"}));
}

// --- Splitting and columns

TEST_F(TBuildFixture, ASplitTextIsDrawnInPartsAndPushesWhatIsBelowIt)
{
    std::string text;
    for (int i = 1; i <= 150; ++i)
        text += "Riga " + std::to_string(i) + "\r\n";
    TrpPage* page = NewPage();
    AddBand(page, btReportTitle, 0, 40, "", rpBandStretch | rpBandSplit);
    TrpMemoView* long_ = AddText(page, text, 0);
    long_->Flags = 1;
    AddText(page, "Sotto", 20);
    ASSERT_TRUE(Report->PrepareReport()) << Report->BuildErrorText;
    const auto sheets = Sheets();
    ASSERT_EQ(sheets.size(), 3u);
    int lines = 0;
    for (const TSheet& sheet : sheets) {
        ASSERT_FALSE(sheet.empty());
        EXPECT_EQ(sheet[0].Text.rfind("Riga ", 0), 0u);
        std::size_t count = 1;
        for (char c : sheet[0].Text)
            count += c == '|';
        lines += static_cast<int>(count);
    }
    EXPECT_EQ(lines, 150);
    EXPECT_EQ(Texts(sheets[0])[0].substr(0, 7), "Riga 1|");
    ASSERT_EQ(sheets[2].size(), 2u);
    EXPECT_EQ(sheets[2][1].Text, "Sotto");
    // The object below keeps its distance of 4 under the grown text.
    EXPECT_EQ(sheets[2][1].Top, sheets[2][0].Top + sheets[2][0].Height + 4);
}

TEST_F(TBuildFixture, ColumnsShiftByWidthAndGapAndRepeatHeaders)
{
    FillCount(60);
    TrpPage* page = ListPage();
    page->ColumnCount = 2;
    page->ColumnGap = 10;
    AddBand(page, btGroupHeader, 60, 20, "'x'", rpBandRepeatHeader);
    AddText(page, "GH", 60);
    ASSERT_TRUE(Report->PrepareReport()) << Report->BuildErrorText;
    const auto sheets = Sheets();
    ASSERT_EQ(sheets.size(), 1u);
    const TSheet& sheet = sheets[0];
    ASSERT_EQ(sheet.size(), 62u);
    EXPECT_EQ(sheet[0].Text, "GH");
    EXPECT_EQ(sheet[0].Left, 20);
    EXPECT_EQ(sheet[1].Text, "1");
    EXPECT_EQ(sheet[51].Text, "GH");
    EXPECT_EQ(sheet[51].Left, 20 + 368);
    EXPECT_EQ(sheet[51].Top, Top0);
    EXPECT_EQ(sheet[52].Text, "51");
    EXPECT_EQ(sheet[52].Left, 20 + 368);
    EXPECT_EQ(sheet[52].Top, Top0 + 20);
}

// --- Cross-tabs and subreports

TEST_F(TBuildFixture, ACrossTabWiderThanTheSheetContinuesOnSheetsToTheRight)
{
    TrpPage* page = NewPage();
    AddBand(page, btMasterData, 100, 20, "2", 0, "Righe");
    TrpBandView* crossHeader = AddBand(page, btCrossHeader, 0, 0);
    crossHeader->SetBounds(40, 0, 60, 1000);
    AddText(page, "H", 100, 45, 50);
    TrpBandView* crossData = AddBand(page, btCrossData, 0, 0, "8");
    crossData->SetBounds(100, 0, 200, 1000);
    AddText(page, "C[COLUMN#]", 100, 110, 150);
    ASSERT_TRUE(Report->PrepareReport()) << Report->BuildErrorText;
    auto sheets = Sheets();
    ASSERT_EQ(sheets.size(), 3u);
    EXPECT_EQ(Texts(sheets[0]), (std::vector<std::string>{"H", "C1", "C2", "C3", "H", "C1", "C2", "C3"}));
    EXPECT_EQ(Texts(sheets[1]), (std::vector<std::string>{"C4", "C5", "C6", "C4", "C5", "C6"}));
    EXPECT_EQ(Texts(sheets[2]), (std::vector<std::string>{"C7", "C8", "C7", "C8"}));
    EXPECT_EQ(sheets[0][1].Left, 110);
    EXPECT_EQ(sheets[0][3].Left, 510);
    EXPECT_EQ(sheets[1][0].Left, Left0 + 10);
    EXPECT_EQ(sheets[0][4].Top, Top0 + 20);
    EXPECT_EQ(sheets[2][2].Top, Top0 + 20);

    // The header repeats on each further sheet when asked to.
    crossHeader->Flags = rpBandRepeatHeader;
    ASSERT_TRUE(Report->PrepareReport()) << Report->BuildErrorText;
    sheets = Sheets();
    ASSERT_EQ(sheets.size(), 3u);
    EXPECT_EQ(Texts(sheets[1]), (std::vector<std::string>{"H", "C4", "C5", "C6", "H", "C4", "C5", "C6"}));
    EXPECT_EQ(sheets[1][0].Left, Left0 + 5);
    EXPECT_EQ(sheets[1][1].Left, Left0 + 60 + 10);
}

TEST_F(TBuildFixture, ASubreportContinuesOnTheNextSheet)
{
    FillCount(80);
    TrpPage* host = NewPage();
    AddBand(host, btReportTitle, 0, 40);
    AddText(host, "Titolo", 0);
    auto frame = std::make_unique<TrpSubReportView>();
    frame->SetBounds(0, 20, 300, 20);
    frame->SubPage = 1;
    host->Objects.push_back(std::move(frame));
    TrpPage* listed = NewPage();
    AddBand(listed, btMasterData, 100, 20, "Dati");
    AddText(listed, "[Val]", 100);
    ASSERT_TRUE(Report->PrepareReport()) << Report->BuildErrorText;
    const auto sheets = Sheets();
    ASSERT_EQ(sheets.size(), 2u);
    ASSERT_EQ(sheets[0].size(), 51u);
    EXPECT_EQ(sheets[0][0].Text, "Titolo");
    EXPECT_EQ(sheets[0][1].Text, "1");
    EXPECT_EQ(sheets[0][1].Top, Top0 + 20);
    ASSERT_EQ(sheets[1].size(), 30u);
    EXPECT_EQ(sheets[1][0].Text, "51");
    EXPECT_EQ(sheets[1][0].Top, Top0);
    EXPECT_EQ(sheets[1].back().Text, "80");
}

// --- Continuing pages, multiple and composite reports

TEST_F(TBuildFixture, ASecondPageContinuesUnderTheFirstUnlessItEndedAtTheBottom)
{
    TrpPage* first = NewPage();
    TrpBandView* master = AddBand(first, btMasterData, 100, 20, "3");
    AddText(first, "A", 100);
    TrpPage* second = NewPage();
    second->ContinuePreviousPage = 1;
    AddBand(second, btReportTitle, 0, 20);
    AddText(second, "B", 0);
    ASSERT_TRUE(Report->PrepareReport()) << Report->BuildErrorText;
    auto sheets = Sheets();
    ASSERT_EQ(sheets.size(), 1u);
    EXPECT_EQ(Texts(sheets[0]), (std::vector<std::string>{"A", "A", "A", "B"}));
    EXPECT_EQ(sheets[0][3].Top, Top0 + 60);

    // 23 records of 45 end exactly at the bottom: the second page starts a sheet.
    master->Height = 45;
    master->FormatText = "23";
    ASSERT_TRUE(Report->PrepareReport());
    sheets = Sheets();
    ASSERT_EQ(sheets.size(), 2u);
    EXPECT_EQ(sheets[0].size(), 23u);
    EXPECT_EQ(Texts(sheets[1]), (std::vector<std::string>{"B"}));
    EXPECT_EQ(sheets[1][0].Top, Top0);
}

TEST_F(TBuildFixture, MultipleCompositeAndManualBuilds)
{
    Fill({1, 2, 3});
    TrpPage* page = NewPage();
    AddBand(page, btReportTitle, 0, 20);
    AddText(page, "T[Tabella.\"Val\"]", 0);
    Report->ReportType = rtMultiple;
    Report->SetDataset(Data);
    ASSERT_TRUE(Report->PrepareReport()) << Report->BuildErrorText;
    EXPECT_EQ(AllTexts(), (std::vector<std::string>{"T1", "T2", "T3"}));
    EXPECT_EQ(Report->PreparedPages->Count(), 3);

    // Two reports composed, the second continuing the first, share a sheet.
    TrpReport* one = NewReport("Uno");
    AddBand(NewPage(one), btReportTitle, 0, 20);
    AddText(one->DesignPages->Pages(0), "Uno", 0);
    TrpReport* two = NewReport("Due");
    TrpPage* continuing = NewPage(two);
    continuing->ContinuePreviousPage = 1;
    AddBand(continuing, btReportTitle, 0, 20);
    AddText(continuing, "Due", 0);
    auto* composite = new TrpCompositeReport(Owner);
    composite->ShowProgress = false;
    composite->Reports = {one, two};
    ASSERT_TRUE(composite->PrepareReport());
    auto sheets = Sheets(composite);
    ASSERT_EQ(sheets.size(), 1u);
    EXPECT_EQ(Texts(sheets[0]), (std::vector<std::string>{"Uno", "Due"}));
    EXPECT_EQ(sheets[0][1].Top, Top0 + 20);

    // A manual build replaces the page's own.
    int calls = 0;
    Report->ReportType = rtSimple;
    Report->OnManualBuild = [&](TrpPage* built) {
        ++calls;
        EXPECT_EQ(built, page);
        built->NewPage();
        built->ShowBandByType(btReportTitle);
        built->ShowBandByType(btReportTitle);
    };
    AddBand(page, btMasterData, 100, 20, "Dati");
    AddText(page, "M", 100);
    Table->First();
    ASSERT_TRUE(Report->PrepareReport());
    EXPECT_EQ(calls, 1);
    sheets = Sheets();
    ASSERT_EQ(sheets.size(), 1u);
    EXPECT_EQ(Texts(sheets[0]), (std::vector<std::string>{"T1", "T1"}));
    EXPECT_EQ(sheets[0][1].Top, Top0 + 20);
}

// --- Failures

TEST_F(TBuildFixture, AFailingObjectStopsTheBuildInEveryMode)
{
    Fill({1, 2, 3});
    TrpPage* page = ListPage("[NoSuchName]");
    AddBand(page, btReportTitle, 20, 20);
    AddText(page, "Titolo", 20);
    const std::string expected = "Si \xE8 verificato un errore durante i calcoli\r[NoSuchName]\rReport: R\rBanda: Dati master";
    struct TMode {
        bool ShowProgress;
        bool TwoPass;
    };
    for (const TMode mode : {TMode{false, false}, TMode{true, false}, TMode{false, true}, TMode{true, true}}) {
        SCOPED_TRACE(std::to_string(mode.ShowProgress) + std::to_string(mode.TwoPass));
        Report->ShowProgress = mode.ShowProgress;
        Report->TwoPass = mode.TwoPass;
        EXPECT_FALSE(Report->PrepareReport());
        EXPECT_TRUE(Report->BuildFailed);
        EXPECT_EQ(Report->BuildErrorText, expected);
        ASSERT_EQ(Report->PreparedPages->Count(), 1);
        EXPECT_EQ(AllTexts(), (std::vector<std::string>{"Titolo"}));
        EXPECT_FALSE(rpEngineBusy());
        EXPECT_EQ(CurBand, nullptr);
        EXPECT_FALSE(rpProgressForm->Visible());
    }
}

TEST_F(TBuildFixture, BandsThatCanNeverFitEndWithoutHanging)
{
    FillCount(100);
    TrpPage* page = ListPage();
    TrpBandView* footer = AddBand(page, btPageFooter, 300, 2000, "", rpBandOnFirstPage | rpBandOnLastPage);
    AddText(page, "PF", 300);
    EXPECT_FALSE(Report->PrepareReport());
    EXPECT_TRUE(Report->BuildFailed);

    // A page header taller than the page is drawn where it is and cut by the paper; each record
    // after the first sheet then starts a sheet of its own.
    footer->SetBandType(btPageHeader);
    footer->Flags = 0;
    EXPECT_TRUE(Report->PrepareReport());
    EXPECT_EQ(Report->PreparedPages->Count(), 50);
    const auto sheets = Sheets();
    EXPECT_EQ(Texts(sheets[1]), (std::vector<std::string>{"PF", "52"}));

    // A split band whose text can never start: the usable height is gone.
    Report->DesignPages->Clear();
    page = NewPage();
    page->Margins = TRect{0, 1060, 0, 0};
    AddBand(page, btReportTitle, 0, 40, "", rpBandStretch | rpBandSplit);
    AddText(page, "Uno\r\nDue\r\nTre", 0)->Flags = 1;
    EXPECT_FALSE(Report->PrepareReport());
    EXPECT_TRUE(Report->BuildFailed);
}

TEST_F(TBuildFixture, DataThatCannotOpenReachesTheCallerAndTheNextBuildIsClean)
{
    auto* empty = new TrpDBDataSet(Owner);
    empty->SetName("Vuoto");
    TrpPage* page = NewPage();
    AddBand(page, btMasterData, 100, 20, "Vuoto");
    AddText(page, "x", 100);
    for (const bool progress : {false, true}) {
        Report->ShowProgress = progress;
        try {
            Report->PrepareReport();
            ADD_FAILURE() << "no error";
        } catch (const Exception& error) {
            EXPECT_EQ(error.Message, "Unable to open dataset Vuoto");
        }
        EXPECT_FALSE(rpEngineBusy());
        EXPECT_EQ(CurBand, nullptr);
        EXPECT_EQ(CurPage, nullptr);
        EXPECT_TRUE(page->RunObjects.empty());
        EXPECT_FALSE(rpProgressForm->Visible());
    }

    Report->DesignPages->Clear();
    Fill({7});
    ListPage();
    ASSERT_TRUE(Report->PrepareReport());
    EXPECT_EQ(AllTexts(), (std::vector<std::string>{"7"}));
}

TEST_F(TBuildFixture, OneReportAtATime)
{
    FillCount(60);
    ListPage();
    ASSERT_TRUE(Report->PrepareReport());
    const auto alone = AllTexts();
    TrpReport* other = NewReport("Altro");
    NewPage(other);
    std::vector<bool> nested;
    Report->OnBeginPage = [&](int) { nested.push_back(other->PrepareReport() || Report->PrepareReport()); };
    ASSERT_TRUE(Report->PrepareReport());
    EXPECT_EQ(nested, (std::vector<bool>{false, false}));
    EXPECT_EQ(AllTexts(), alone);
    EXPECT_EQ(other->PreparedPages->Count(), 0);
}

TEST_F(TBuildFixture, CancelInTheProgressWindow)
{
    FillCount(100);
    ListPage();
    Report->ShowProgress = true;
    Report->OnBeginPage = [&](int pgNo) {
        if (pgNo == 0)
            rpProgressForm->Button1->Click();
    };
    EXPECT_FALSE(Report->PrepareReport());
    EXPECT_FALSE(Report->BuildFailed);

    // Cancel in the first pass stops only the counting; in the second it fails the build.
    Report->TwoPass = true;
    Report->OnBeginPage = [&](int pgNo) {
        if (pgNo == 0 && !Report->FinalPass)
            rpProgressForm->Button1->Click();
    };
    ASSERT_TRUE(Report->PrepareReport());
    EXPECT_EQ(Report->PreparedPages->Count(), 2);
    EXPECT_EQ(AllTexts().size(), 100u);
    Report->OnBeginPage = [&](int pgNo) {
        if (pgNo == 0 && Report->FinalPass)
            rpProgressForm->Button1->Click();
    };
    EXPECT_FALSE(Report->PrepareReport());
}

// --- Scripts

TEST_F(TBuildFixture, ScriptsReachObjectsBandsAndTheSheet)
{
    Fill({1, 2, 3});
    TrpPage* page = NewPage();
    TrpBandView* title = AddBand(page, btReportTitle, 20, 20, "", 0, "Band1");
    AddText(page, "Primo\r\nSecondo", 20, 20, 100, 16, "Memo1");
    AddText(page, "-", 20, 200, 100, 16, "Memo2");
    AddText(page, "", 20, 400, 100, 16, "Memo4")->Script->SetText("Text := Memo1.Text");
    title->Script->SetText("begin Memo1.Left := 50; Memo2.Text := FREESPACE; Somm.Visible := 0 end");
    TrpBandView* master = AddBand(page, btMasterData, 100, 20, "Dati", 0, "MasterData1");
    master->Script->SetText("if [Val] = 3 then NEWPAGE;");
    TrpMemoView* value = AddText(page, "[Val]", 100, 20, 100, 16, "Memo3");
    value->Script->SetText("begin if [Val] = 2 then FillColor := clRed else FillColor := clWhite; FontStyle := 3 end");
    AddText(page, "nascosto", 100, 200)->Script->SetText("Visible := 0");
    AddBand(page, btReportSummary, 300, 20, "", 0, "Somm");
    AddText(page, "S", 300);
    ASSERT_TRUE(Report->PrepareReport()) << Report->BuildErrorText;
    const auto sheets = Sheets();
    ASSERT_EQ(sheets.size(), 2u);
    EXPECT_EQ(Texts(sheets[0]),
              (std::vector<std::string>{"Primo|Secondo", std::to_string(Bottom0 - Top0), "Primo|Secondo", "1", "2"}));
    EXPECT_EQ(Texts(sheets[1]), (std::vector<std::string>{"3"}));
    EXPECT_EQ(sheets[0][0].Left, 50);
    EXPECT_EQ(sheets[1][0].Top, Top0);

    TrpEMFPages& pages = *Report->PreparedPages;
    auto* first = dynamic_cast<TrpMemoView*>(pages.Pages(0)->Page->Objects[3].get());
    auto* second = dynamic_cast<TrpMemoView*>(pages.Pages(0)->Page->Objects[4].get());
    ASSERT_TRUE(first && second);
    EXPECT_EQ(first->FillColor, clWhite);
    EXPECT_EQ(second->FillColor, clRed);
    EXPECT_EQ(second->Font->Style(), (TFontStyles{fsBold, fsItalic}));
}

// --- Functions and the default data set

TEST_F(TBuildFixture, StandardFunctions)
{
    TBoxRecorder boxes;
    boxes.Dialogs().Expect(TDialogKind::InputQuery, TDialogAnswer::Input("y"));
    const TDateTime day = EncodeDate(1998, 11, 15);
    Report->OnGetValue = [&](const std::string& name, Variant& value) {
        if (name == "D")
            value = VarFromDateTime(day);
    };
    Report->BeginPrepare();
    struct TCase {
        std::string Call;
        Variant Expected;
    };
    const std::vector<TCase> cases = {
        {"FORMATFLOAT('#,##0.00', 1234.5)", Variant("1.234,50")},
        {"FORMATDATETIME('d mmmm yyyy', D)", Variant("15 novembre 1998")},
        {"LOWERCASE('CITT\xC0')", Variant("citt\xE0")},
        {"UPPERCASE('citt\xE0')", Variant("CITT\xC0")},
        {"NAMECASE('mARIO')", Variant("Mario")},
        {"NAMECASE('')", Variant("")},
        {"UPPERCASE('l''acqua')", Variant("L'ACQUA")},
        {"INPUT('Nome', 'x')", Variant("y")},
    };
    for (const TCase& test : cases)
        EXPECT_TRUE(rpParser->Calc(test.Call) == test.Expected) << test.Call << " gives " << VarToStr(rpParser->Calc(test.Call));
    EXPECT_EQ(VarToDateTime(rpParser->Calc("STRTODATE('15/11/1998')")), day);
    EXPECT_NEAR(VarToDateTime(rpParser->Calc("STRTOTIME('10.30')")), 10.5 / 24, 1e-9);
    ASSERT_EQ(boxes.Boxes().size(), 1u);
    EXPECT_EQ(boxes.Boxes()[0].Caption, "");
    EXPECT_EQ(boxes.Boxes()[0].Value, "x");
    Report->OnGetValue = nullptr;
}

TEST_F(TBuildFixture, CountersAndTheDefaultDataSet)
{
    Fill({10, 20, 30});
    auto* lines = new TzelMemTable(Owner);
    lines->SetName("Righe");
    lines->FieldDefs().Add("Qta", ftInteger);
    lines->CreateTable();
    lines->Open();
    for (int i = 1; i <= 2; ++i) {
        lines->Append();
        lines->FieldByName("Qta")->SetAsInteger(i);
        lines->Post();
    }
    auto* lineData = new TrpDBDataSet(Owner);
    lineData->SetName("DatiRighe");
    lineData->SetDataSet(lines);
    TrpPage* page = ListPage("[LINE#]:[Val]");
    AddBand(page, btDetailData, 200, 20, "DatiRighe");
    AddText(page, "[LINE#]/[LINETHROUGH#]:[Qta]", 200);
    std::vector<TDataSet*> defaults;
    Report->OnBeginBand = [&](TrpBand* band) {
        if (band->BandType == btDetailData || band->BandType == btMasterData)
            defaults.push_back(GetDefaultDataSet());
    };
    EXPECT_EQ(GetDefaultDataSet(), nullptr);
    ASSERT_TRUE(Report->PrepareReport()) << Report->BuildErrorText;
    EXPECT_EQ(GetDefaultDataSet(), nullptr);
    EXPECT_EQ(AllTexts(), (std::vector<std::string>{"1:10", "1/1:1", "2/2:2", "2:20", "1/3:1", "2/4:2", "3:30",
                                                    "1/5:1", "2/6:2"}));
    ASSERT_EQ(defaults.size(), 9u);
    EXPECT_EQ(defaults[0], Table);
    EXPECT_EQ(defaults[1], lines);
}

// --- Any template

// Templates made of random bands, texts, scripts, frames and flags: each build ends, and leaves
// the engine free and without pointers into the freed bands. TESS_FUZZ_TEMPLATES sets how many.
TEST_F(TBuildFixture, RandomTemplatesAlwaysEnd)
{
    FillCount(25);
    const char* count = std::getenv("TESS_FUZZ_TEMPLATES");
    const int templates = count ? std::atoi(count) : 150;
    const std::vector<std::string> texts = {"[Val]", "[SUM([Val])]", "[PAGE#] [TOTALPAGES]", "x", "[LINE#]",
                                            "[COUNT(Dati)]", "[NoSuchName]", "[AVG([Val], , 1)]",
                                            "a\r\nb\r\nc\r\nd\r\ne\r\nf", "[COLUMN#] [CURRENT#]", ""};
    const std::vector<std::string> scripts = {"", "", "", "NEWPAGE;", "NEWCOLUMN;", "Visible := 0",
                                              "Height := 3000", "Top := 900", "begin NEWPAGE; NEWCOLUMN end",
                                              "Text := FREESPACE"};
    const std::vector<std::string> sources = {"", "Dati", "3", "Dati", "[Val]", "x;y", "12"};
    std::uint32_t state = 12345;
    auto next = [&state](int bound) {
        state = state * 1664525u + 1013904223u;
        return static_cast<int>((state >> 8) % static_cast<std::uint32_t>(bound));
    };
    for (int t = 0; t < templates; ++t) {
        SCOPED_TRACE(t);
        Report->DesignPages->Clear();
        const int pageCount = 1 + next(3);
        for (int p = 0; p < pageCount; ++p) {
            TrpPage* page = NewPage();
            page->ColumnCount = 1 + next(3);
            page->ColumnGap = next(20);
            page->ContinuePreviousPage = static_cast<std::int16_t>(next(3) == 0);
            const int bands = 1 + next(8);
            for (int b = 0; b < bands; ++b) {
                const auto type = static_cast<TrpBandType>(next(rpBandTypeCount));
                const int top = next(1200) - 50;
                const int height = next(6) == 0 ? 1500 + next(1000) : next(80);
                TrpBandView* band = AddBand(page, type, top, height, sources[next(static_cast<int>(sources.size()))],
                                            static_cast<std::uint16_t>(next(128)));
                if (band->IsCrossBand())
                    band->SetBounds(next(700), 0, next(300), 1100);
                band->Script->SetText(scripts[next(static_cast<int>(scripts.size()))]);
                const int objects = next(4);
                for (int o = 0; o < objects; ++o) {
                    TrpMemoView* memo = AddText(page, texts[next(static_cast<int>(texts.size()))],
                                                top + next(height + 1), next(700), 1 + next(300), 1 + next(60));
                    memo->Flags = static_cast<std::uint16_t>(next(4));
                    memo->Script->SetText(scripts[next(static_cast<int>(scripts.size()))]);
                }
                if (next(8) == 0) {
                    auto frame = std::make_unique<TrpSubReportView>();
                    frame->SetBounds(next(300), top + next(height + 1), 200, 20);
                    frame->SubPage = next(4) - 1;
                    page->Objects.push_back(std::move(frame));
                }
            }
        }
        Report->TwoPass = next(4) == 0;
        Report->PrepareReport();
        EXPECT_FALSE(rpEngineBusy());
        EXPECT_EQ(CurBand, nullptr);
        EXPECT_EQ(CurView, nullptr);
        EXPECT_EQ(AggregateBand, nullptr);
    }
}

} // namespace BuildTest
