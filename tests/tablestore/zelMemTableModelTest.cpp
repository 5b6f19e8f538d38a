// Random operations on a table with a second table attached, checked after every step against a
// model of plain vectors: the row order of each table, the cursor of the first and the kept
// bookmarks.

#include "tests/TestScale.h"
#include "MemTableTestSupport.h"

#include <algorithm>
#include <map>
#include <random>
#include <sstream>

namespace {

struct Row {
    std::string Short;
    std::string Long;
};

class MemTableModel {
public:
    explicit MemTableModel(unsigned randomStart) : FRandom(randomStart)
    {
        A = std::make_unique<TzelMemTable>(nullptr);
        A->SetPerformance(mtpfBalanced);
        A->FieldDefs().Add("Short", ftString, 30);
        A->FieldDefs().Add("Id", ftInteger);
        A->FieldDefs().Add("Long", ftString, 200);
        A->CreateTable();
        A->SetAttachMaxCount(2);
        B = std::make_unique<TzelMemTable>(nullptr);
        B->SetAttachedTo(A.get());
        A->Open();
        B->Open();
    }

    // Runs one random operation and returns its name.
    std::string Step()
    {
        const int rows = static_cast<int>(FOrderA.size());
        // Keep the tables small so that the full checks after every step stay cheap.
        const int deleteWeight = rows > 30 ? 30 : 8;
        const std::vector<int> weights = {12, 12, 14, deleteWeight, 14, 6, 8, 8, 5, 1};
        std::discrete_distribution<int> pick(weights.begin(), weights.end());
        switch (pick(FRandom)) {
        case 0:
            return Append();
        case 1:
            return Insert();
        case 2:
            return EditField();
        case 3:
            return Delete();
        case 4:
            return Navigate();
        case 5:
            return MoveRecord();
        case 6:
            return TakeBookmark();
        case 7:
            return GotoBookmark();
        case 8:
            return CancelEdit();
        default:
            A->EmptyTable();
            FOrderA.clear();
            FOrderB.clear();
            FRows.clear();
            FCursor = -1;
            return "EmptyTable";
        }
    }

    // An empty text when the tables agree with the model, else what differs.
    std::string Check()
    {
        std::ostringstream out;
        if (A->RecordCount() != static_cast<int>(FOrderA.size()))
            out << "RecordCount " << A->RecordCount() << " expected " << FOrderA.size() << "; ";
        if (FOrderA.empty()) {
            if (!A->IsEmpty() || A->RecNo() != -1)
                out << "not empty; ";
        } else {
            if (A->RecNo() != FCursor + 1)
                out << "RecNo " << A->RecNo() << " expected " << FCursor + 1 << "; ";
            if (CurrentId() != FOrderA[static_cast<std::size_t>(FCursor)])
                out << "current " << CurrentId() << " expected "
                    << FOrderA[static_cast<std::size_t>(FCursor)] << "; ";
        }
        for (const auto& [bookmark, id] : FBookmarks)
            if (A->BookmarkValid(bookmark) != (FRows.count(id) > 0))
                out << "bookmark of " << id << " validity; ";

        const TBookmark current = A->GetBookmark();
        const std::string scanA = Compare(*A, FOrderA);
        if (!scanA.empty())
            out << "A: " << scanA;
        if (!current.empty())
            A->GotoBookmark(current);
        const std::string scanB = Compare(*B, FOrderB);
        if (!scanB.empty())
            out << "B: " << scanB;
        return out.str();
    }

    std::unique_ptr<TzelMemTable> A;
    std::unique_ptr<TzelMemTable> B;

private:
    int CurrentId() { return A->FieldByName("Id")->AsInteger(); }

    std::string RandomText(int maxLength)
    {
        std::uniform_int_distribution<int> length(0, maxLength);
        std::uniform_int_distribution<int> letter('a', 'z');
        std::string text(static_cast<std::size_t>(length(FRandom)), ' ');
        for (char& c : text)
            c = static_cast<char>(letter(FRandom));
        return text;
    }

    int RandomInt(int low, int high)
    {
        return std::uniform_int_distribution<int>(low, high)(FRandom);
    }

    void Fill(int id)
    {
        Row row{RandomText(30), RandomText(200)};
        A->FieldByName("Short")->SetAsString(row.Short);
        A->FieldByName("Id")->SetAsInteger(id);
        A->FieldByName("Long")->SetAsString(row.Long);
        FRows[id] = row;
    }

    std::string Append()
    {
        const int id = FNextId++;
        A->Append();
        Fill(id);
        A->Post();
        FOrderA.push_back(id);
        FOrderB.push_back(id);
        FCursor = static_cast<int>(FOrderA.size()) - 1;
        return "Append";
    }

    std::string Insert()
    {
        const int id = FNextId++;
        A->Insert();
        Fill(id);
        A->Post();
        const int at = std::max(FCursor, 0);
        FOrderA.insert(FOrderA.begin() + at, id);
        FOrderB.push_back(id);
        FCursor = at;
        return "Insert";
    }

    std::string EditField()
    {
        if (FOrderA.empty())
            return "Edit (empty)";
        const int id = FOrderA[static_cast<std::size_t>(FCursor)];
        A->Edit();
        Row& row = FRows[id];
        if (RandomInt(0, 1) == 0) {
            row.Short = RandomText(30);
            A->FieldByName("Short")->SetAsString(row.Short);
        } else {
            row.Long = RandomText(200);
            A->FieldByName("Long")->SetAsString(row.Long);
        }
        A->Post();
        return "Edit";
    }

    std::string Delete()
    {
        if (FOrderA.empty())
            return "Delete (empty)";
        const int id = FOrderA[static_cast<std::size_t>(FCursor)];
        A->Delete();
        FOrderA.erase(FOrderA.begin() + FCursor);
        FOrderB.erase(std::find(FOrderB.begin(), FOrderB.end(), id));
        FRows.erase(id);
        FCursor = std::min(FCursor, static_cast<int>(FOrderA.size()) - 1);
        return "Delete";
    }

    std::string Navigate()
    {
        const int last = static_cast<int>(FOrderA.size()) - 1;
        switch (RandomInt(0, 4)) {
        case 0:
            A->First();
            FCursor = last >= 0 ? 0 : -1;
            return "First";
        case 1:
            A->Last();
            FCursor = last;
            return "Last";
        case 2:
            A->Next();
            FCursor = std::min(FCursor + 1, last);
            return "Next";
        case 3:
            A->Prior();
            FCursor = last >= 0 ? std::max(FCursor - 1, 0) : -1;
            return "Prior";
        default: {
            const int distance = RandomInt(-7, 7);
            A->MoveBy(distance);
            if (last >= 0)
                FCursor = std::clamp(FCursor + distance, 0, last);
            return "MoveBy(" + std::to_string(distance) + ")";
        }
        }
    }

    std::string MoveRecord()
    {
        const int count = static_cast<int>(FOrderA.size());
        const int from = RandomInt(0, count + 1);
        const int to = RandomInt(0, count + 1);
        const bool expected = from != to && from >= 1 && to >= 1 && from <= count && to <= count;
        const bool moved = A->MoveRecord(from, to);
        const int current = FCursor >= 0 ? FOrderA[static_cast<std::size_t>(FCursor)] : -1;
        if (expected) {
            const int id = FOrderA[static_cast<std::size_t>(from - 1)];
            FOrderA.erase(FOrderA.begin() + from - 1);
            FOrderA.insert(FOrderA.begin() + (to > from ? to - 2 : to - 1), id);
        }
        A->Refresh();
        if (current >= 0)
            FCursor = static_cast<int>(std::find(FOrderA.begin(), FOrderA.end(), current) -
                                       FOrderA.begin());
        std::string name = "MoveRecord(" + std::to_string(from) + "," + std::to_string(to) + ")";
        return moved == expected ? name : name + " returned " + std::to_string(moved);
    }

    std::string TakeBookmark()
    {
        if (FOrderA.empty())
            return "Bookmark (empty)";
        const TBookmark bookmark = A->GetBookmark();
        const int id = FOrderA[static_cast<std::size_t>(FCursor)];
        if (FBookmarks.size() < 8)
            FBookmarks.emplace_back(bookmark, id);
        else
            FBookmarks[static_cast<std::size_t>(RandomInt(0, 7))] = {bookmark, id};
        return "Bookmark";
    }

    std::string GotoBookmark()
    {
        if (FBookmarks.empty() || FOrderA.empty())
            return "GotoBookmark (none)";
        const auto& [bookmark, id] = FBookmarks[static_cast<std::size_t>(
            RandomInt(0, static_cast<int>(FBookmarks.size()) - 1))];
        A->GotoBookmark(bookmark);
        if (FRows.count(id))
            FCursor = static_cast<int>(std::find(FOrderA.begin(), FOrderA.end(), id) -
                                       FOrderA.begin());
        return "GotoBookmark";
    }

    std::string CancelEdit()
    {
        if (FOrderA.empty())
            return "Cancel (empty)";
        A->Edit();
        A->FieldByName("Short")->SetAsString("cancelled");
        A->FieldByName("Long")->SetAsString(std::string(150, 'c'));
        A->Cancel();
        return "Cancel";
    }

    // The order always; the values on every sixteenth check, which keeps the test quick.
    std::string Compare(TzelMemTable& table, const std::vector<int>& order)
    {
        std::ostringstream out;
        TField* idField = table.FieldByName("Id");
        TField* shortField = table.FieldByName("Short");
        TField* longField = table.FieldByName("Long");
        const bool values = ++FChecks % 16 == 0;
        std::size_t i = 0;
        table.First();
        while (!table.Eof()) {
            const int id = idField->AsInteger();
            if (i >= order.size() || order[i] != id) {
                out << "row " << i << " is " << id << "; ";
                return out.str();
            }
            if (values && (shortField->AsString() != FRows[id].Short ||
                           longField->AsString() != FRows[id].Long))
                out << "values of " << id << "; ";
            ++i;
            table.Next();
        }
        if (i != order.size())
            out << i << " rows, expected " << order.size() << "; ";
        return out.str();
    }

    std::mt19937 FRandom;
    std::map<int, Row> FRows;
    std::vector<int> FOrderA;
    std::vector<int> FOrderB;
    int FCursor = -1;
    int FNextId = 1;
    int FChecks = 0;
    std::vector<std::pair<TBookmark, int>> FBookmarks;
};

TEST(MemTableModel, RandomOperationsMatchTheModel)
{
    for (unsigned randomStart = 1; randomStart <= 20u * TestScale(); ++randomStart) {
        MemTableModel model(randomStart);
        for (int step = 1; step <= 2000; ++step) {
            std::string operation;
            try {
                operation = model.Step();
            } catch (const Exception& e) {
                FAIL() << "random start " << randomStart << " step " << step << ": " << e.ClassName() << " "
                       << e.Message;
            }
            const std::string mismatch = model.Check();
            ASSERT_EQ(mismatch, "") << "random start " << randomStart << " step " << step << " " << operation;
        }
    }
}

} // namespace
