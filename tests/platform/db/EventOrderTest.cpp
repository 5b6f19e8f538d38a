// Pins the order in which the framework calls a data set's virtual operations and raises its
// events, so that a data set written against the class library's contract sees that order.

#include "ReferenceDataSet.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <memory>

namespace {

class EventOrderTest : public ::testing::Test {
protected:
    std::unique_ptr<TComponent> Owner = std::make_unique<TComponent>(nullptr);
    TReferenceDataSet* Data = new TReferenceDataSet(Owner.get(), {{"ID", ftInteger}});
    std::vector<std::string> Log;
    TDataSource Source{nullptr};
    TRecordingLink Grid;

    void SetUp() override
    {
        Grid.SetBufferCount(10);
        Grid.SetDataSource(&Source);
        Source.SetDataSet(Data);
        auto note = [this](const char* name) {
            return [this, name](TDataSet*) { Log.push_back(name); };
        };
        Data->BeforeOpen = note("BeforeOpen");
        Data->AfterOpen = note("AfterOpen");
        Data->BeforeClose = note("BeforeClose");
        Data->AfterClose = note("AfterClose");
        Data->BeforeInsert = note("BeforeInsert");
        Data->AfterInsert = note("AfterInsert");
        Data->BeforeEdit = note("BeforeEdit");
        Data->AfterEdit = note("AfterEdit");
        Data->BeforePost = note("BeforePost");
        Data->AfterPost = note("AfterPost");
        Data->BeforeCancel = note("BeforeCancel");
        Data->AfterCancel = note("AfterCancel");
        Data->BeforeDelete = note("BeforeDelete");
        Data->AfterDelete = note("AfterDelete");
        Data->BeforeScroll = note("BeforeScroll");
        Data->AfterScroll = note("AfterScroll");
        Data->OnNewRecord = note("OnNewRecord");
    }

    // Three records, the second one current, then recording starts.
    void OpenOnSecond()
    {
        Data->Open();
        Data->AddRows(3);
        Data->Next();
        Start();
    }
    void Start()
    {
        Log.clear();
        Data->Log = &Log;
    }
    void TearDown() override { Data->Log = nullptr; }
};

using Calls = std::vector<std::string>;

Calls Repeat(const std::string& call, int times)
{
    return Calls(static_cast<std::size_t>(times), call);
}

Calls Join(std::initializer_list<Calls> parts)
{
    Calls all;
    for (const Calls& part : parts)
        all.insert(all.end(), part.begin(), part.end());
    return all;
}

// The ring of 10 buffers is refilled around the current record after a post, cancel or delete:
// the current record, the ones before it, then the ones after, then the start is checked again.
TEST_F(EventOrderTest, Open)
{
    Data->Open();
    Data->AddRows(3);
    Data->Close();
    Start();
    Data->Open();
    EXPECT_EQ(Log, Join({{"DoBeforeOpen", "BeforeOpen", "InternalOpen", "InternalInitFieldDefs"},
                         Repeat("AllocRecordBuffer", 11),
                         Repeat("GetRecord(next)", 4),
                         {"InternalSetToRecord", "GetRecord(prior)", "DoAfterOpen", "AfterOpen",
                          "AfterScroll"}}));
}

TEST_F(EventOrderTest, AppendPost)
{
    OpenOnSecond();
    Data->Append();
    Data->FieldByName("ID")->SetAsInteger(9);
    Data->Post();
    EXPECT_EQ(Log, Join({{"BeforeInsert", "BeforeScroll", "GetBookmarkData", "InternalInitRecord",
                          "InternalLast"},
                         Repeat("GetRecord(prior)", 4),
                         {"InternalInsert", "OnNewRecord", "AfterInsert", "AfterScroll", "DoBeforePost", "BeforePost",
                          "InternalLast", "InternalPost", "GetRecord(current)"},
                         Repeat("GetRecord(prior)", 3),
                         {"InternalSetToRecord", "GetRecord(next)", "InternalSetToRecord",
                          "GetRecord(prior)", "DoAfterPost", "AfterPost"}}));
}

TEST_F(EventOrderTest, EditPost)
{
    OpenOnSecond();
    Data->Edit();
    Data->FieldByName("ID")->SetAsInteger(9);
    Data->Post();
    EXPECT_EQ(Log, (Calls{"BeforeEdit", "InternalSetToRecord", "InternalEdit", "AfterEdit",
                          "DoBeforePost", "BeforePost", "InternalPost", "GetRecord(current)",
                          "GetRecord(prior)", "InternalSetToRecord", "GetRecord(next)",
                          "GetRecord(next)", "InternalSetToRecord", "GetRecord(prior)",
                          "DoAfterPost", "AfterPost"}));
}

TEST_F(EventOrderTest, InsertCancel)
{
    OpenOnSecond();
    Data->Insert();
    Data->Cancel();
    EXPECT_EQ(Log, (Calls{"BeforeInsert", "BeforeScroll", "GetBookmarkData", "InternalInitRecord",
                          "SetBookmarkData", "InternalInsert", "OnNewRecord", "AfterInsert", "AfterScroll",
                          "BeforeCancel", "BeforeScroll", "InternalSetToRecord", "InternalCancel",
                          "GetRecord(current)", "GetRecord(prior)", "InternalSetToRecord",
                          "GetRecord(next)", "GetRecord(next)", "InternalSetToRecord",
                          "GetRecord(prior)", "AfterCancel", "AfterScroll"}));
}

TEST_F(EventOrderTest, Delete)
{
    OpenOnSecond();
    Data->Delete();
    EXPECT_EQ(Log, (Calls{"BeforeDelete", "BeforeScroll", "InternalSetToRecord", "InternalDelete",
                          "GetRecord(current)", "GetRecord(prior)", "InternalSetToRecord",
                          "GetRecord(next)", "InternalSetToRecord", "GetRecord(prior)",
                          "AfterDelete", "AfterScroll"}));
}

TEST_F(EventOrderTest, Close)
{
    OpenOnSecond();
    Data->Close();
    EXPECT_EQ(Log, Join({{"BeforeClose"}, Repeat("FreeRecordBuffer", 11),
                         {"InternalClose", "AfterClose"}}));
}

// A failed InternalEdit, with the handler asking for a retry, runs the guarded call again after
// placing the cursor again; with abort the data set stays browsing.
TEST_F(EventOrderTest, EditErrorRetriesThroughTheGuardedCall)
{
    OpenOnSecond();
    Data->FailOperation = "InternalEdit";
    Data->FailCount = 1;
    Data->OnEditError = [&](TDataSet*, EDatabaseError& e, TDataAction& action) {
        Log.push_back("OnEditError:" + e.Message);
        action = daRetry;
    };
    Data->Edit();
    EXPECT_EQ(Log, (Calls{"BeforeEdit", "InternalSetToRecord", "InternalEdit",
                          "OnEditError:refused", "InternalEdit", "AfterEdit"}));
    EXPECT_EQ(Data->State(), dsEdit);
    Data->Cancel();

    Data->FailCount = 1;
    Data->OnEditError = [&](TDataSet*, EDatabaseError&, TDataAction& action) { action = daAbort; };
    EXPECT_THROW(Data->Edit(), EAbort);
    EXPECT_EQ(Data->State(), dsBrowse);

    Data->FailOperation = "InternalDelete";
    Data->FailCount = 1;
    Data->OnDeleteError = nullptr;
    ExpectDatabaseError([&] { Data->Delete(); }, "refused");
    EXPECT_EQ(Data->RecordCount(), 3);
    EXPECT_EQ(Data->FieldByName("ID")->AsInteger(), 2);
}

} // namespace
