// Locating and looking up records of a memory table, in row order and in sorted orders, with
// the failures of wrong keys and values.

#include "IndexTestSupport.h"

#include "platform/db/StdFields.h"

namespace {

struct LocateCase {
    const char* Sort; // "" row order
    const char* Key;
    TLocateOptions Options;
    const char* Found; // nullptr: not found
};

TEST(MemTableLocate, OneFieldInEachOrderWithEachOption)
{
    const TLocateOptions both{loCaseInsensitive, loPartialKey};
    const LocateCase cases[] = {
        {"", "rossi mario", {}, nullptr},
        {"", "rossi mario", {loCaseInsensitive}, "ROSSI MARIO"},
        {"", "ROS", both, "ROSSI MARIO"},
        {"", "ros", {loPartialKey}, "rossana"},
        {"", "Ros", {}, nullptr},
        {"Denominazione", "ROS", both, "rossana"},
        {"Denominazione", "Verdi", {}, "Verdi"},
        {"Denominazione", "verdi", {}, nullptr},
        {"Citta", "ROS", both, "Rossetti"},
    };
    for (const LocateCase& c : cases) {
        SCOPED_TRACE(std::string(c.Sort) + " / " + c.Key);
        auto table = MakeCustomers();
        table->SortOn(c.Sort, {});
        table->Last();
        const std::string before = Current(*table);
        const bool found = table->Locate("Denominazione", Variant(c.Key), c.Options);
        EXPECT_EQ(found, c.Found != nullptr);
        EXPECT_EQ(table->Found(), found);
        EXPECT_EQ(Current(*table), c.Found ? c.Found : before.c_str());
    }
}

TEST(MemTableLocate, SeveralFieldsAndWrongValues)
{
    auto table = MakeCustomers();
    EXPECT_TRUE(table->Locate("Denominazione;Citta", VarArrayOf({"Verdi", "Bari"}), {}));
    EXPECT_EQ(Current(*table), "Verdi");
    EXPECT_FALSE(table->Locate("Denominazione;Citta", VarArrayOf({"Verdi", "Roma"}), {}));
    // Extra values are ignored.
    EXPECT_TRUE(table->Locate("Citta", VarArrayOf({"Roma", "x"}), {}));
    EXPECT_EQ(Current(*table), "Bianchi");

    ExpectFailure([&] { table->Locate("Denominazione;Citta", VarArrayOf({"Verdi"}), {}); },
                  "EMemTableError", "More fields than values");
    ExpectFailure([&] { table->Locate("Denominazione;Citta", Variant("Verdi"), {}); },
                  "EMemTableError", "More fields than values");
    ExpectFailure([&] { table->Locate("", Variant("Verdi"), {}); }, "EMemTableError",
                  "There must be at least one field");
    ExpectFailure([&] { table->Locate("Note", Variant("x"), {}); }, "EDatabaseError",
                  "Can't index on field Note");
    EXPECT_EQ(Current(*table), "Bianchi");
    EXPECT_EQ(table->State(), dsBrowse);
}

TEST(MemTableLocate, AKeyLongerThanTheFieldIsCutToItsSize)
{
    auto table = MakeCustomers();
    table->Append();
    table->FieldByName("Denominazione")->SetAsString(std::string(40, 'Z'));
    table->Post();
    table->First();
    EXPECT_TRUE(table->Locate("Denominazione", Variant(std::string(45, 'Z')), {}));
    EXPECT_EQ(table->RecNo(), 6);
}

TEST(MemTableLookup, ValuesOfTheRowFoundWithoutMovingTheCursor)
{
    auto table = std::make_unique<TzelMemTable>(nullptr);
    table->FieldDefs().Add("Denominazione", ftString, 40);
    table->FieldDefs().Add("Citta", ftString, 20);
    table->CreateTable();
    auto* calculated = new TStringField(table.get());
    calculated->SetFieldName("Etichetta");
    calculated->SetSize(70);
    calculated->SetFieldKind(fkCalculated);
    calculated->SetDataSet(table.get());
    table->OnCalcFields = [](TDataSet* DataSet) {
        DataSet->FieldByName("Etichetta")
            ->SetAsString(DataSet->FieldByName("Denominazione")->AsString() + " (" +
                          DataSet->FieldByName("Citta")->AsString() + ")");
    };
    table->Open();
    for (auto [name, city] : {std::pair{"Bianchi", "Roma"}, std::pair{"Verdi", "Bari"}}) {
        table->Append();
        table->FieldByName("Denominazione")->SetAsString(name);
        table->FieldByName("Citta")->SetAsString(city);
        table->Post();
    }
    table->First();

    EXPECT_EQ(VarToStr(table->Lookup("Denominazione", Variant("Verdi"), "Citta")), "Bari");
    EXPECT_TRUE(table->Found());
    const Variant both = table->Lookup("Denominazione", Variant("Verdi"), "Citta;Denominazione");
    ASSERT_TRUE(VarIsArray(both));
    EXPECT_EQ(VarArrayLowBound(both, 1), 0);
    EXPECT_EQ(VarToStr(VarArrayGet(both, 0)), "Bari");
    EXPECT_EQ(VarToStr(VarArrayGet(both, 1)), "Verdi");
    EXPECT_EQ(VarToStr(table->Lookup("Denominazione", Variant("Verdi"), "Etichetta")),
              "Verdi (Bari)");
    EXPECT_TRUE(VarIsNull(table->Lookup("Denominazione", Variant("Nessuno"), "Citta")));
    EXPECT_FALSE(table->Found());
    EXPECT_EQ(table->RecNo(), 1);
    EXPECT_EQ(table->State(), dsBrowse);
    EXPECT_EQ(table->FieldByName("Etichetta")->AsString(), "Bianchi (Roma)");
}

} // namespace
