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

} // namespace BuildTest
