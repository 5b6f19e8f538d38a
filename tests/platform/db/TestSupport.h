#pragma once
// Shared helpers of the data-set framework tests.

#include "platform/db/DB.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

// Runs action and checks that it raises EDatabaseError with exactly this message.
inline void ExpectDatabaseError(const std::function<void()>& action, const std::string& message)
{
    try {
        action();
        ADD_FAILURE() << "no exception, expected: " << message;
    } catch (const EDatabaseError& e) {
        EXPECT_EQ(e.Message, message);
    }
}

// A data link that writes down every notice it receives.
class TRecordingLink : public TDataLink {
public:
    std::vector<std::string> Notices;

protected:
    void ActiveChanged() override { Notices.push_back(Active() ? "ActiveChanged(on)" : "ActiveChanged(off)"); }
    void CheckBrowseMode() override { Notices.push_back("CheckBrowseMode"); }
    void DataSetChanged() override { Notices.push_back("DataSetChanged"); }
    void DataSetScrolled(int distance) override
    {
        Notices.push_back("DataSetScrolled(" + std::to_string(distance) + ")");
    }
    void EditingChanged() override { Notices.push_back(Editing() ? "EditingChanged(on)" : "EditingChanged(off)"); }
    void LayoutChanged() override { Notices.push_back("LayoutChanged"); }
    void RecordChanged(TField* field) override
    {
        Notices.push_back("RecordChanged(" + (field ? field->FieldName() : std::string("nil")) + ")");
    }
    void UpdateData() override { Notices.push_back("UpdateData"); }
};
