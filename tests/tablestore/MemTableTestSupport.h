#pragma once
// Shared helpers of the memory table tests.

#include "tablestore/zelMemTable.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

// A table with Nome String(20) and Numero Integer, structure created.
inline std::unique_ptr<TzelMemTable> MakeNameTable(TComponent* owner = nullptr)
{
    auto table = std::make_unique<TzelMemTable>(owner);
    table->FieldDefs().Add("Nome", ftString, 20);
    table->FieldDefs().Add("Numero", ftInteger);
    table->CreateTable();
    return table;
}

inline void AddRow(TDataSet& table, const std::string& name, int number)
{
    table.Append();
    table.FieldByName("Nome")->SetAsString(name);
    table.FieldByName("Numero")->SetAsInteger(number);
    table.Post();
}

// The values of one field from the first record to the last; the cursor ends at the end.
inline std::vector<std::string> ScanField(TDataSet& table, const std::string& field)
{
    std::vector<std::string> values;
    table.First();
    while (!table.Eof()) {
        values.push_back(table.FieldByName(field)->AsString());
        table.Next();
    }
    return values;
}

// Runs action and checks the exception's class and message.
inline void ExpectFailure(const std::function<void()>& action, const std::string& className,
                          const std::string& message)
{
    try {
        action();
        ADD_FAILURE() << "no exception, expected: " << message;
    } catch (const Exception& e) {
        EXPECT_EQ(e.ClassName(), className) << e.Message;
        EXPECT_EQ(e.Message, message);
    }
}

// Counts the data-set change notices a control would receive.
class TCountingLink : public TDataLink {
public:
    int DataSetChanges = 0;

protected:
    void DataSetChanged() override { ++DataSetChanges; }
    void DataSetScrolled(int /*Distance*/) override {}
    void LayoutChanged() override {}
};
