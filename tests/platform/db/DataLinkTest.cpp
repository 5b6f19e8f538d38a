// Data sources and data links: the notices a link receives, master-detail links and field links.

#include "ReferenceDataSet.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>

namespace {

using Notices = std::vector<std::string>;

class DataLinkTest : public ::testing::Test {
protected:
    std::unique_ptr<TComponent> Owner = std::make_unique<TComponent>(nullptr);
    TReferenceDataSet* Data = new TReferenceDataSet(
        Owner.get(), {{"ID", ftInteger}, {"Name", ftString, 20}, {"Amount", ftFloat}});
    TDataSource* Source = new TDataSource(Owner.get());
    TRecordingLink Link;

    void SetUp() override
    {
        Link.SetBufferCount(3);
        Link.SetDataSource(Source);
        Source->SetDataSet(Data);
    }
    void OpenWith(int rows)
    {
        Data->Open();
        Data->AddRows(rows);
        Link.Notices.clear();
    }
};

TEST_F(DataLinkTest, ActiveChangedOnOpenAndClose)
{
    std::vector<TDataSetState> states;
    Source->OnStateChange = [&](TObject*) { states.push_back(Source->State()); };
    Data->Open();
    EXPECT_TRUE(Link.Active());
    EXPECT_EQ(Link.Notices, Notices{"ActiveChanged(on)"});
    Data->Close();
    EXPECT_FALSE(Link.Active());
    EXPECT_EQ(Link.Notices, (Notices{"ActiveChanged(on)", "ActiveChanged(off)"}));
    EXPECT_EQ(states, (std::vector<TDataSetState>{dsBrowse, dsInactive}));
}

TEST_F(DataLinkTest, ScrollDistances)
{
    OpenWith(10);
    Data->Next();
    Data->Next();
    Data->Next(); // the ring moves one record
    Data->MoveBy(3);
    Data->Prior();
    Data->Prior();
    Data->Prior();
    // Every move first asks the links to leave editing.
    EXPECT_EQ(std::count(Link.Notices.begin(), Link.Notices.end(), "CheckBrowseMode"), 7);
    std::erase(Link.Notices, "CheckBrowseMode");
    EXPECT_EQ(Link.Notices, (Notices{"DataSetScrolled(0)", "DataSetScrolled(0)", "DataSetScrolled(-1)",
                                     "DataSetScrolled(-3)", "DataSetScrolled(0)", "DataSetScrolled(0)",
                                     "DataSetScrolled(1)"}));
    EXPECT_EQ(Link.ActiveRecord(), 0);
    EXPECT_EQ(Link.RecordCount(), 3);
    EXPECT_EQ(Data->FieldByName("ID")->AsInteger(), 4);
    Link.Notices.clear();
    Data->Last();
    EXPECT_EQ(Link.Notices, (Notices{"CheckBrowseMode", "DataSetChanged"}));
    EXPECT_EQ(Link.ActiveRecord(), 2);
}

TEST_F(DataLinkTest, EditingAndFieldNotices)
{
    OpenWith(3);
    std::vector<std::string> changes;
    Source->OnDataChange = [&](TObject*, TField* field) {
        changes.push_back(field ? field->FieldName() : "nil");
    };
    Data->Edit();
    EXPECT_TRUE(Link.Editing());
    Data->FieldByName("Name")->SetAsString("Nuovo");
    Data->Post();
    EXPECT_FALSE(Link.Editing());
    EXPECT_EQ(Link.Notices, (Notices{"CheckBrowseMode", "EditingChanged(on)", "RecordChanged(nil)", "RecordChanged(Name)",
                                     "UpdateData", "CheckBrowseMode", "EditingChanged(off)",
                                     "DataSetChanged"}));
    EXPECT_EQ(changes, (std::vector<std::string>{"nil", "Name", "nil"}));
}

TEST_F(DataLinkTest, LayoutChangedOnFieldChanges)
{
    OpenWith(2);
    Data->FieldByName("Amount")->SetVisible(false);
    Data->FieldByName("Name")->SetDisplayLabel("Nome");
    Data->FieldByName("Name")->SetIndex(0);
    static_cast<TFloatField*>(Data->FieldByName("Amount"))->SetDisplayFormat("0.00");
    EXPECT_EQ(Link.Notices, (Notices{"LayoutChanged", "LayoutChanged", "LayoutChanged",
                                     "DataSetChanged"}));
}

TEST_F(DataLinkTest, DisableControlsNestedDeliversOneNoticeAtTheEnd)
{
    OpenWith(10);
    Data->DisableControls();
    Data->DisableControls();
    Data->DisableControls();
    Data->Next();
    Data->Last();
    Data->First();
    Data->EnableControls();
    Data->EnableControls();
    EXPECT_TRUE(Data->ControlsDisabled());
    EXPECT_TRUE(Link.Notices.empty());
    Data->EnableControls();
    EXPECT_FALSE(Data->ControlsDisabled());
    EXPECT_EQ(Link.Notices, Notices{"DataSetChanged"});

    // A state change while disabled turns the final notice into a layout change.
    Link.Notices.clear();
    Data->DisableControls();
    Data->Edit();
    Data->FieldByName("Name")->SetAsString("x");
    Data->Post();
    Data->EnableControls();
    EXPECT_EQ(Link.Notices, Notices{"LayoutChanged"});
}

TEST_F(DataLinkTest, ClosingWhileDisabledDeactivatesTheLinksAtOnce)
{
    OpenWith(3);
    Data->DisableControls();
    Data->Close();
    EXPECT_FALSE(Link.Active());
    Data->Open();
    Data->EnableControls();
    EXPECT_TRUE(Link.Active());
    EXPECT_EQ(Link.Notices, (Notices{"ActiveChanged(off)", "ActiveChanged(on)", "LayoutChanged"}));
}

TEST_F(DataLinkTest, DisabledSourceAndDestroyedDataSet)
{
    OpenWith(2);
    Source->SetEnabled(false);
    EXPECT_FALSE(Link.Active());
    Source->SetEnabled(true);
    EXPECT_TRUE(Link.Active());
    TComponent::Free(Data);
    EXPECT_EQ(Source->DataSet(), nullptr);
    EXPECT_FALSE(Link.Active());
}

TEST_F(DataLinkTest, DataSetDeletedDirectlyDetachesItsSources)
{
    auto* other = new TReferenceDataSet(nullptr, {{"ID", ftInteger}});
    TDataSource source(nullptr);
    TRecordingLink link;
    link.SetDataSource(&source);
    source.SetDataSet(other);
    other->Open();
    EXPECT_TRUE(link.Active());
    delete other;
    EXPECT_EQ(source.DataSet(), nullptr);
    EXPECT_FALSE(link.Active());
}

TEST_F(DataLinkTest, DataSourceEditHonoursAutoEdit)
{
    OpenWith(2);
    Source->SetAutoEdit(false);
    Source->Edit();
    EXPECT_EQ(Data->State(), dsBrowse);
    Source->SetAutoEdit(true);
    EXPECT_TRUE(Link.Edit());
    EXPECT_EQ(Data->State(), dsEdit);
}

TEST_F(DataLinkTest, MasterLinkFollowsTheMaster)
{
    auto* detail = new TReferenceDataSet(Owner.get(), {{"Master", ftInteger}});
    TMasterDataLink master(detail);
    int changes = 0;
    int disables = 0;
    master.OnMasterChange = [&](TObject*) { ++changes; };
    master.OnMasterDisable = [&](TObject*) { ++disables; };
    master.SetFieldNames("ID");
    master.SetDataSource(Source);
    detail->Open();
    OpenWith(5);
    EXPECT_EQ(master.Fields(), std::vector<TField*>{Data->FieldByName("ID")});
    changes = 0;
    Data->Next();
    EXPECT_EQ(changes, 1);
    Data->Edit();
    const int beforeEdits = changes;
    Data->FieldByName("Name")->SetAsString("non una chiave");
    EXPECT_EQ(changes, beforeEdits);
    Data->FieldByName("ID")->SetAsInteger(42);
    EXPECT_EQ(changes, beforeEdits + 1);
    Data->Cancel();
    Data->Close();
    EXPECT_EQ(disables, 1);
    EXPECT_TRUE(master.Fields().empty());
}

TEST_F(DataLinkTest, MasterDetailToItselfIsRefused)
{
    TMasterDataLink master(Data);
    ExpectDatabaseError([&] { master.SetDataSource(Source); },
                        "Selfreferencing master/detail relations not allowed.");
    EXPECT_EQ(master.DataSource(), nullptr);

    // A source whose data set leads back through its master source is circular.
    auto* detail = new TReferenceDataSet(Owner.get(), {{"ID", ftInteger}});
    detail->MasterSource = Source;
    TDataSource detailSource(nullptr);
    Data->MasterSource = &detailSource;
    ExpectDatabaseError([&] { detailSource.SetDataSet(detail); }, "Circular datalinks are not allowed");
    Data->MasterSource = nullptr;
}

TEST_F(DataLinkTest, FieldLinkShowsAndWritesItsField)
{
    TFieldDataLink fieldLink;
    std::vector<std::string> shown;
    int editingChanges = 0;
    int updates = 0;
    int activeChanges = 0;
    fieldLink.OnDataChange = [&](TObject*) {
        shown.push_back(fieldLink.Field() ? fieldLink.Field()->AsString() : "(none)");
    };
    fieldLink.OnEditingChange = [&](TObject*) { ++editingChanges; };
    fieldLink.OnActiveChange = [&](TObject*) { ++activeChanges; };
    fieldLink.OnUpdateData = [&](TObject*) {
        ++updates;
        fieldLink.Field()->SetAsString("Dal controllo");
    };
    fieldLink.SetFieldName("Name");
    fieldLink.SetDataSource(Source);
    OpenWith(3);
    EXPECT_EQ(activeChanges, 1);
    ASSERT_EQ(fieldLink.Field(), Data->FieldByName("Name"));
    shown.clear();
    Data->Next();
    EXPECT_EQ(shown, std::vector<std::string>{"Name2"});
    EXPECT_TRUE(fieldLink.CanModify());
    EXPECT_TRUE(fieldLink.Edit());
    EXPECT_EQ(editingChanges, 1);
    fieldLink.Modified();
    Data->Post();
    EXPECT_EQ(updates, 1);
    EXPECT_EQ(Data->FieldByName("Name")->AsString(), "Dal controllo");
    Data->FieldByName("Name")->SetReadOnly(true);
    EXPECT_FALSE(fieldLink.CanModify());
    EXPECT_FALSE(fieldLink.Edit());
    fieldLink.SetDataSource(nullptr);
    EXPECT_EQ(fieldLink.Field(), nullptr);
}

} // namespace
