#pragma once
// Tables and helpers shared by the tests of sorting, locating and index maintenance.

#include "MemTableTestSupport.h"
#include "platform/rtl/TextUtils.h"

#include <string>
#include <vector>

// Denominazione String(40), Citta String(20), Note Memo; open, with the five customers of the
// locate and sort cases in row order.
inline std::unique_ptr<TzelMemTable> MakeCustomers()
{
    auto table = std::make_unique<TzelMemTable>(nullptr);
    table->FieldDefs().Add("Denominazione", ftString, 40);
    table->FieldDefs().Add("Citta", ftString, 20);
    table->FieldDefs().Add("Note", ftMemo, 0);
    table->CreateTable();
    table->Open();
    const std::vector<std::pair<std::string, std::string>> rows = {
        {"ROSSI MARIO", "Milano"}, {"Bianchi", "Roma"}, {"rossana", "Torino"},
        {"Verdi", "Bari"},         {"Rossetti", "Ancona"}};
    for (const auto& [name, city] : rows) {
        table->Append();
        table->FieldByName("Denominazione")->SetAsString(name);
        table->FieldByName("Citta")->SetAsString(city);
        table->Post();
    }
    table->First();
    return table;
}

// The values of a field for the references of an index, in its order, read from the stored
// records ("<null>" for a null value).
inline std::vector<std::string> IndexKeys(TzelMemTable& table, TzelIndex* index,
                                          const std::string& field)
{
    std::vector<std::string> keys;
    TField* target = table.FieldByName(field);
    for (int i = 0; i < index->Count(); ++i) {
        table.SetVersionReadRecord(index->Reference(i));
        keys.push_back(target->IsNull() ? std::string("<null>") : target->AsString());
    }
    table.SetVersionReadRecord(nullptr);
    return keys;
}

inline std::string Current(TDataSet& table, const std::string& field = "Denominazione")
{
    return table.FieldByName(field)->AsString();
}
