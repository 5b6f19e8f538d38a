// Random inserts, edits, deletes and index switches on a table with three defined indexes and
// a second table attached, checked after every step: every index holds exactly the stored
// records, sorted indexes are in order and equal a fresh rebuild, the unique index has no equal
// neighbours, each row order equals its model, and a refused post changes nothing.

#include "IndexTestSupport.h"

#include <algorithm>
#include <random>
#include <set>
#include <sstream>

namespace {

const char* const SortChoices[] = {"Nome", "Prezzo:D", "Codice;Nome", "Nome:C;Prezzo", ""};
const char* const IndexChoices[] = {"IdxNome", "IdxPrezzo", "IdxCodice", ""};

class IndexModel {
public:
    explicit IndexModel(unsigned randomSeed) : FRandom(randomSeed)
    {
        A = std::make_unique<TzelMemTable>(nullptr);
        A->FieldDefs().Add("Nome", ftString, 20);
        A->FieldDefs().Add("Prezzo", ftFloat);
        A->FieldDefs().Add("Codice", ftInteger);
        A->CreateTable();
        A->SetAttachMaxCount(2);
        for (TIndexDefs* defs : {&A->IndexDefs()}) {
            defs->Add("IdxNome", "Nome:C", {});
            defs->Add("IdxPrezzo", "Prezzo", {ixDescending});
            defs->Add("IdxCodice", "Codice", {ixUnique});
        }
        B = std::make_unique<TzelMemTable>(nullptr);
        B->SetAttachedTo(A.get());
        B->SetIndexDefs(A->IndexDefs());
        A->Open();
        B->Open();
    }

    std::string Step()
    {
        // Tables of a few dozen rows keep the full checks after every step cheap.
        const int deletes = FOrderA.size() > 24 ? 40 : 8;
        switch (Pick({14, 10, 18, deletes, 8, 8, 10, 4, 3, 3})) {
        case 0:
            return Add(*A, false);
        case 1:
            return Add(*A, true);
        case 2:
            return Edit(*A);
        case 3:
            return Delete(*A);
        case 4:
            return SwitchByName();
        case 5:
            return SortOnFields();
        case 6:
            return Navigate();
        case 7:
            return Add(*B, false);
        case 8:
            return Edit(*B);
        default:
            return Delete(*B);
        }
    }

    // An empty text when everything holds, else what does not.
    std::string Check()
    {
        std::string problems = CheckTable(*A, FOrderA, "A") + CheckTable(*B, FOrderB, "B");
        if (A->State() != dsBrowse || B->State() != dsBrowse)
            problems += "a table is not browsing; ";
        return problems;
    }

private:
    int Pick(const std::vector<int>& weights)
    {
        std::discrete_distribution<int> pick(weights.begin(), weights.end());
        return pick(FRandom);
    }
    int Random(int below) { return static_cast<int>(FRandom() % static_cast<unsigned>(below)); }

    std::string RandomName()
    {
        static const char* const names[] = {"rossi", "Rossi", "ROSSI", "bianchi", "Verdi",
                                            "verdi", "Neri", "\xC8rba", "erba", "Zeta"};
        return names[Random(10)];
    }
    double RandomPrice() { return Random(12) * 0.5; }
    int RandomCode() { return Random(static_cast<int>(FOrderA.size()) * 2 + 8); }

    static int Code(TDataSet& table) { return table.FieldByName("Codice")->AsInteger(); }

    // Posts and reports whether it was refused for a duplicate code; a refusal changes nothing.
    bool PostOrRefuse(TzelMemTable& table, std::string& report)
    {
        const auto before = Snapshot();
        try {
            table.Post();
            return true;
        } catch (const EMemTableError& e) {
            if (e.Message != "Duplicate index value. Operation aborted.")
                report += " unexpected: " + e.Message;
            if (Snapshot() != before)
                report += " REFUSED POST CHANGED THE INDEXES";
            if (table.State() != dsEdit && table.State() != dsInsert)
                report += " REFUSED POST LEFT EDITING";
            table.Cancel();
            report += " refused";
            return false;
        }
    }

    std::string Add(TzelMemTable& table, bool insert)
    {
        const bool rowOrderActive = table.CurrentIndex() == table.Indexes().RowOrderIndex();
        const bool hasCurrent = !table.IsEmpty();
        const int before = hasCurrent ? Code(table) : -1;
        const int code = RandomCode();
        std::string report = std::string(&table == A.get() ? "A " : "B ") +
                             (insert ? "insert " : "append ") + std::to_string(code);
        if (insert)
            table.Insert();
        else
            table.Append();
        table.FieldByName("Nome")->SetAsString(RandomName());
        table.FieldByName("Prezzo")->SetAsFloat(RandomPrice());
        table.FieldByName("Codice")->SetAsInteger(code);
        if (!PostOrRefuse(table, report))
            return report;
        std::vector<int>& own = &table == A.get() ? FOrderA : FOrderB;
        std::vector<int>& other = &table == A.get() ? FOrderB : FOrderA;
        if (insert && rowOrderActive && hasCurrent)
            own.insert(std::find(own.begin(), own.end(), before), code);
        else
            own.push_back(code);
        other.push_back(code);
        return report;
    }

    void GoToRandomRow(TzelMemTable& table)
    {
        table.First();
        table.MoveBy(Random(table.RecordCount()));
    }

    std::string Edit(TzelMemTable& table)
    {
        if (table.IsEmpty())
            return "edit of nothing";
        GoToRandomRow(table);
        const int field = Random(3);
        std::string report = std::string(&table == A.get() ? "A " : "B ") + "edit " +
                             std::to_string(Code(table)) + " field " + std::to_string(field);
        const int oldCode = Code(table);
        table.Edit();
        int newCode = oldCode;
        if (field == 0) {
            table.FieldByName("Nome")->SetAsString(RandomName());
        } else if (field == 1) {
            table.FieldByName("Prezzo")->SetAsFloat(RandomPrice());
        } else {
            newCode = RandomCode();
            table.FieldByName("Codice")->SetAsInteger(newCode);
        }
        if (!PostOrRefuse(table, report))
            return report;
        for (std::vector<int>* order : {&FOrderA, &FOrderB})
            std::replace(order->begin(), order->end(), oldCode, newCode);
        return report;
    }

    std::string Delete(TzelMemTable& table)
    {
        if (table.IsEmpty())
            return "delete of nothing";
        GoToRandomRow(table);
        const int code = Code(table);
        table.Delete();
        for (std::vector<int>* order : {&FOrderA, &FOrderB})
            order->erase(std::find(order->begin(), order->end(), code));
        return "delete " + std::to_string(code);
    }

    std::string SwitchByName()
    {
        const char* name = IndexChoices[Random(4)];
        A->SetIndexName(name);
        return std::string("index ") + name;
    }

    std::string SortOnFields()
    {
        const char* names = SortChoices[Random(5)];
        A->SortOn(names, {});
        return std::string("sort on ") + names;
    }

    std::string Navigate()
    {
        TzelMemTable& table = Random(2) ? *A : *B;
        switch (Random(4)) {
        case 0:
            table.First();
            break;
        case 1:
            table.Last();
            break;
        default:
            table.MoveBy(Random(7) - 3);
            break;
        }
        return "navigate";
    }

    std::vector<std::vector<TzelRecord*>> Snapshot()
    {
        std::vector<std::vector<TzelRecord*>> all;
        for (TzelMemTable* table : {A.get(), B.get()})
            for (int i = 0; i < table->Indexes().Count(); ++i) {
                TzelIndex* index = table->Indexes().GetIndex(i);
                all.emplace_back();
                for (int k = 0; k < index->Count(); ++k)
                    all.back().push_back(index->Reference(k));
            }
        return all;
    }

    std::string CheckTable(TzelMemTable& table, const std::vector<int>& order,
                           const std::string& label)
    {
        std::ostringstream problems;
        std::multiset<TzelRecord*> stored;
        TzelCommon* storage = table.Common();
        for (int id = 0; id < storage->RecordCount(); ++id)
            if (storage->Records(id))
                stored.insert(storage->Records(id));
        for (int i = 0; i < table.Indexes().Count(); ++i) {
            TzelIndex* index = table.Indexes().GetIndex(i);
            std::multiset<TzelRecord*> held;
            for (int k = 0; k < index->Count(); ++k)
                held.insert(index->Reference(k));
            if (held != stored)
                problems << label << " " << index->Name() << " holds other records; ";
            if (index->IndexType() != mtitSorted)
                continue;
            TzelIndex fresh("Fresh", &table, index->FieldNames(), index->Options(), mtitSorted,
                            false);
            fresh.Rebuild();
            for (int k = 0; k < index->Count() && k < fresh.Count(); ++k) {
                if (k > 0 && index->CompareRecords(nullptr, index->Reference(k - 1),
                                                   index->Reference(k), false, false) > 0)
                    problems << label << " " << index->Name() << " out of order at " << k << "; ";
                if (index->CompareRecords(nullptr, index->Reference(k), fresh.Reference(k),
                                          false, false) != 0)
                    problems << label << " " << index->Name() << " differs from a rebuild at "
                             << k << "; ";
                if (k > 0 && index->Options().Contains(mtcoUnique) &&
                    index->CompareRecords(nullptr, index->Reference(k - 1), index->Reference(k),
                                          false, false) == 0)
                    problems << label << " " << index->Name() << " has equal keys at " << k
                             << "; ";
            }
        }
        std::vector<int> rowOrder;
        TField* code = table.FieldByName("Codice");
        TzelIndex* rows = table.Indexes().RowOrderIndex();
        for (int k = 0; k < rows->Count(); ++k) {
            table.SetVersionReadRecord(rows->Reference(k));
            rowOrder.push_back(code->AsInteger());
        }
        table.SetVersionReadRecord(nullptr);
        if (rowOrder != order)
            problems << label << " row order differs from the model; ";
        return problems.str();
    }

    std::mt19937 FRandom;
    std::unique_ptr<TzelMemTable> A;
    std::unique_ptr<TzelMemTable> B;
    std::vector<int> FOrderA;
    std::vector<int> FOrderB;
};

// One test per random start, so that they can run side by side.
class MemTableIndexModel : public testing::TestWithParam<unsigned> {};

TEST_P(MemTableIndexModel, RandomOperationsKeepEveryIndexInStep)
{
    const unsigned randomSeed = GetParam();
    IndexModel model(randomSeed);
    for (int step = 1; step <= 2000; ++step) {
        std::string operation;
        try {
            operation = model.Step();
        } catch (const Exception& e) {
            FAIL() << "randomSeed " << randomSeed << " operation " << step << ": " << e.ClassName() << " "
                   << e.Message;
        }
        const std::string problems = model.Check();
        ASSERT_EQ(problems, "") << "randomSeed " << randomSeed << " operation " << step << " ("
                                << operation << ")";
        ASSERT_EQ(operation.find("REFUSED POST"), std::string::npos)
            << "randomSeed " << randomSeed << " operation " << step << " (" << operation << ")";
    }
}

INSTANTIATE_TEST_SUITE_P(Seeds, MemTableIndexModel, testing::Range(1u, 21u));

} // namespace
