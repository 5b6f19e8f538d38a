// Report data sets: counting walks, the events, the walks over a memory table in every range and
// the data set a band's text names.

#include "ReportTestSupport.h"

#include "report/RP_DBRel.h"
#include "report/RP_DBSet.h"

#include "platform/db/DataSource.h"
#include "platform/db/StdFields.h"
#include "tablestore/zelMemTable.h"

namespace {

constexpr int WalkLimit = 100;

// Walks as a data band does and returns the records seen (the counter for a data set without
// data, the field Numero otherwise).
std::vector<int> Walk(TrpDataset& dataSet, TDataSet* table = nullptr)
{
    std::vector<int> seen;
    dataSet.Init();
    dataSet.First();
    while (!dataSet.Eof() && static_cast<int>(seen.size()) < WalkLimit) {
        seen.push_back(table ? table->FieldByName("Numero")->AsInteger() : dataSet.RecNo);
        dataSet.Next();
    }
    dataSet.Exit();
    return seen;
}

// Rows numbered 1 to 5, standing on the third.
std::unique_ptr<TzelMemTable> MakeFiveRows()
{
    auto table = std::make_unique<TzelMemTable>(nullptr);
    table->FieldDefs().Add("Numero", ftInteger);
    table->CreateTable();
    table->Open();
    for (int i = 1; i <= 5; ++i) {
        table->Append();
        table->FieldByName("Numero")->SetAsInteger(i);
        table->Post();
    }
    table->First();
    table->MoveBy(2);
    return table;
}

} // namespace

TEST(ReportDataSets, CountingDataSetsWalkTheirCount)
{
    TrpUserDataset counting(nullptr);
    counting.RangeEnd = reCount;
    counting.RangeEndCount = 3;
    int firsts = 0, nexts = 0;
    counting.OnFirst = [&](TObject* sender) { firsts += sender == &counting; };
    counting.OnNext = [&](TObject*) { ++nexts; };
    EXPECT_EQ(Walk(counting), (std::vector<int>{0, 1, 2}));
    EXPECT_EQ(firsts, 1);
    EXPECT_EQ(nexts, 3);

    counting.RangeEndCount = 0;
    EXPECT_TRUE(Walk(counting).empty());

    // The end test's event may end any walk.
    counting.RangeEndCount = 10;
    counting.OnCheckEOF = [](TObject* sender, bool& eof) { eof = eof || static_cast<TrpDataset*>(sender)->RecNo >= 2; };
    EXPECT_EQ(Walk(counting).size(), 2u);
    TrpUserDataset endless(nullptr);
    endless.OnCheckEOF = [](TObject*, bool& eof) { eof = true; };
    EXPECT_TRUE(Walk(endless).empty());
}

TEST(ReportDataSets, WalksOverATableFollowTheirRange)
{
    auto table = MakeFiveRows();
    TrpDBDataSet report(nullptr);
    report.SetDataSet(table.get());
    struct TCase {
        TRangeBegin Begin;
        TRangeEnd End;
        std::vector<int> Rows;
        int After;
    };
    const TCase cases[] = {
        {rbFirst, reLast, {1, 2, 3, 4, 5}, -1},
        {rbCurrent, reLast, {3, 4, 5}, 3},
        {rbCurrent, reCurrent, {3}, 3},
        {rbFirst, reCurrent, {1, 2, 3}, 3},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(testing::Message() << c.Begin << " " << c.End);
        table->First();
        table->MoveBy(2);
        report.RangeBegin = c.Begin;
        report.RangeEnd = c.End;
        EXPECT_EQ(Walk(report, table.get()), c.Rows);
        if (c.After > 0) {
            EXPECT_EQ(table->FieldByName("Numero")->AsInteger(), c.After);
        }
        EXPECT_TRUE(report.SavedPosition.empty());
    }

    // Through a data source, which replaces the data set.
    TDataSource source(nullptr);
    source.SetDataSet(table.get());
    report.SetDataSource(&source);
    EXPECT_EQ(report.DataSet(), nullptr);
    report.RangeBegin = rbFirst;
    report.RangeEnd = reCount;
    report.RangeEndCount = 2;
    EXPECT_EQ(Walk(report, table.get()), (std::vector<int>{1, 2}));
    report.SetDataSet(table.get());
    EXPECT_EQ(report.DataSource(), nullptr);
}

TEST(ReportDataSets, AMissingDataSetFailsAtInit)
{
    TrpDBDataSet report(nullptr);
    report.SetName("ReportDitta");
    try {
        report.Init();
        ADD_FAILURE() << "no failure";
    } catch (const EDSError& e) {
        EXPECT_EQ(e.Message, "Unable to open dataset ReportDitta");
    }
    TDataSource empty(nullptr);
    report.SetDataSource(&empty);
    EXPECT_THROW(report.Init(), EDatabaseError);
}

TEST(ReportDataSets, FreedDataSetsAndSourcesAreForgotten)
{
    TrpDBDataSet report(nullptr);
    auto table = MakeFiveRows();
    report.SetDataSet(table.get());
    table.reset();
    EXPECT_EQ(report.DataSet(), nullptr);
    auto* source = new TDataSource(nullptr);
    report.SetDataSource(source);
    TComponent::Free(source);
    EXPECT_EQ(report.DataSource(), nullptr);
}

TEST(ReportDataSets, ABandTextNamesItsDataSet)
{
    TComponent form(nullptr);
    auto* report = new TrpReport(&form);
    auto* articles = new TrpDBDataSet(&form);
    articles->SetName("ReportArticoli");
    auto table = MakeFiveRows();
    table->SetName("Tabella");
    articles->SetDataSet(table.get());
    auto* other = new TComponent(&form);
    other->SetName("Altro");
    CurReport = report;

    std::unique_ptr<TrpDataset> created;
    TrpDataset* counting = ResolveBandDataSet("5", created);
    ASSERT_NE(created, nullptr);
    EXPECT_EQ(counting, created.get());
    EXPECT_EQ(counting->RangeEnd, reCount);
    EXPECT_EQ(counting->RangeEndCount, 5);
    EXPECT_EQ(Walk(*counting).size(), 5u);

    EXPECT_EQ(ResolveBandDataSet("ReportArticoli", created), articles);
    EXPECT_EQ(created, nullptr);
    EXPECT_FALSE(articles->SavedPosition.empty()) << "the data set found is initialised";
    articles->Exit();
    EXPECT_EQ(ResolveBandDataSet("", created), nullptr);
    EXPECT_EQ(ResolveBandDataSet("Sconosciuto", created), nullptr);
    EXPECT_THROW(ResolveBandDataSet("Altro", created), EInvalidCast);
    CurReport = nullptr;
}

TEST(ReportDataSets, DataFunctions)
{
    auto table = MakeFiveRows();
    TBlobField* blob = nullptr;
    auto pictures = std::make_unique<TzelMemTable>(nullptr);
    pictures->FieldDefs().Add("Testo", ftString, 10);
    pictures->FieldDefs().Add("Immagine", ftGraphic);
    pictures->FieldDefs().Add("Note", ftMemo);
    pictures->CreateTable();
    pictures->Open();
    blob = dynamic_cast<TBlobField*>(pictures->FieldByName("Immagine"));
    ASSERT_NE(blob, nullptr);
    EXPECT_TRUE(rpIsBlob(blob));
    EXPECT_TRUE(rpIsBlob(pictures->FieldByName("Note")));
    EXPECT_FALSE(rpIsBlob(pictures->FieldByName("Testo")));
    EXPECT_FALSE(rpIsBlob(nullptr));

    TStringList names;
    rpGetFieldNames(pictures.get(), &names);
    EXPECT_EQ(names.CommaText(), "Testo,Immagine,Note");

    const TBookmark third = rpGetBookmark(table.get());
    table->Last();
    EXPECT_FALSE(rpIsBookmarksEqual(table.get(), rpGetBookmark(table.get()), third));
    rpGotoBookmark(table.get(), third);
    EXPECT_TRUE(rpIsBookmarksEqual(table.get(), rpGetBookmark(table.get()), third));
    TBookmark freed = third;
    rpFreeBookmark(table.get(), freed);
    EXPECT_TRUE(freed.empty());
}
