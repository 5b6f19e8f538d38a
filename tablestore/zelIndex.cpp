#include "tablestore/zelIndex.h"

#include "platform/rtl/Collation.h"
#include "tablestore/zelMemTable.h"

#include <algorithm>
#include <cstring>
#include <deque>
#include <functional>
#include <string_view>
#include <utility>

namespace {

// Options an index hands down to every field of its list.
constexpr TzelMemTableCompareOption InheritedOptions[] = {
    mtcoDescending, mtcoCaseInsensitive, mtcoPartialKey, mtcoIgnoreNullKey, mtcoIgnoreLocale};

// Below this many references a search scans instead of bisecting.
constexpr int BisectThreshold = 20;

// Equal keys told apart by the records: identifiers when neither has a position, a record with
// a position above one without; reversed when the first field is descending.
int BreakTie(TzelRecord* KeyRecord, TzelRecord* Record, bool Descending)
{
    const bool keyPlaced = KeyRecord->Position != -1;
    const bool recordPlaced = Record->Position != -1;
    int result = 0;
    if (!keyPlaced && !recordPlaced)
        result = KeyRecord->RecordID < Record->RecordID   ? -1
                 : KeyRecord->RecordID > Record->RecordID ? 1
                                                          : 0;
    else if (keyPlaced != recordPlaced)
        result = keyPlaced ? 1 : -1;
    return Descending ? -result : result;
}

// The index's sort over First..Last: a median-of-three quicksort that leaves ranges of five or
// fewer items alone, then one insertion sort over the whole range. Compare(a, b) is negative,
// zero or positive.
template <typename Item, typename Compare>
void QuickSortRanges(std::vector<Item>& items, int first, int last, Compare& compare)
{
    auto at = [&items](int i) -> Item& { return items[static_cast<std::size_t>(i)]; };
    while (last - first > 4) {
        const int middle = (first + last) / 2;
        if (compare(at(first), at(middle)) > 0)
            std::swap(at(first), at(middle));
        if (compare(at(first), at(last)) > 0)
            std::swap(at(first), at(last));
        if (compare(at(middle), at(last)) > 0)
            std::swap(at(middle), at(last));
        std::swap(at(middle), at(last - 1));
        const Item pivot = at(last - 1);
        int i = first + 1;
        int j = last - 2;
        for (;;) {
            while (compare(at(i), pivot) < 0)
                ++i;
            while (compare(at(j), pivot) > 0)
                --j;
            if (j < i)
                break;
            std::swap(at(i), at(j));
            ++i;
            --j;
        }
        std::swap(at(i), at(last - 1));
        // Recursing into the smaller side keeps the stack shallow whatever the input.
        if (j - first < last - (i + 1)) {
            QuickSortRanges(items, first, j, compare);
            first = i + 1;
        } else {
            QuickSortRanges(items, i + 1, last, compare);
            last = j;
        }
    }
}

template <typename Item, typename Compare>
void SortItems(std::vector<Item>& items, int first, int last, Compare compare)
{
    QuickSortRanges(items, first, last, compare);
    for (int k = first + 1; k <= last; ++k) {
        const Item item = items[static_cast<std::size_t>(k)];
        int gap = k;
        while (gap > first && compare(items[static_cast<std::size_t>(gap - 1)], item) > 0) {
            items[static_cast<std::size_t>(gap)] = items[static_cast<std::size_t>(gap - 1)];
            --gap;
        }
        items[static_cast<std::size_t>(gap)] = item;
    }
}

// Ranks of one field's values from 1 upwards in ascending order as the field comparison
// orders them, equal values sharing a rank; null values keep rank 0.
void RankValues(const std::vector<std::string_view>& values, const std::vector<char>& nulls,
                std::size_t width, std::size_t field, TFieldType type,
                TzelMemTableCompareOptions options, std::uint32_t locale, std::vector<int>& ranks)
{
    options.Exclude(mtcoDescending);
    auto compare = [&](int a, int b) {
        bool full = true;
        return CompareFields(values[static_cast<std::size_t>(a) * width + field].data(),
                             values[static_cast<std::size_t>(b) * width + field].data(), type,
                             full, options, locale);
    };
    std::vector<int> present;
    const std::size_t count = nulls.size() / width;
    for (std::size_t i = 0; i < count; ++i)
        if (!nulls[i * width + field])
            present.push_back(static_cast<int>(i));
    if (present.empty())
        return;
    SortItems(present, 0, static_cast<int>(present.size()) - 1, compare);
    int rank = 1;
    for (std::size_t k = 0; k < present.size(); ++k) {
        if (k > 0 && compare(present[k - 1], present[k]) != 0)
            ++rank;
        ranks[static_cast<std::size_t>(present[k]) * width + field] = rank;
    }
}

// The same for texts: each distinct text gets its sort key once, and the keys are ranked. The
// keys lie one after the other in one buffer. False when the locale cannot be served.
bool RankTexts(const std::vector<std::string_view>& values, const std::vector<char>& nulls,
               std::size_t width, std::size_t field, TzelMemTableCompareOptions options,
               std::uint32_t locale, std::vector<int>& ranks)
{
    const std::size_t count = nulls.size() / width;
    // The distinct texts are found through an open-addressing table of their numbers, with the
    // texts' hashes beside them, so that no text costs an allocation; it doubles, reinserting
    // the numbers, whenever it is half full.
    std::size_t capacity = 64;
    std::vector<int> table(capacity, -1);
    std::vector<std::string_view> distinctTexts;
    std::vector<std::size_t> distinctHashes;
    distinctTexts.reserve(count);
    distinctHashes.reserve(count);
    std::vector<int> textOf(count, -1);
    // Room for the longest keys the texts can have (a collation key takes at most four bytes
    // and a half per character, twice for the word sort), so that the buffer never moves; the
    // part left unused is never touched.
    std::size_t keyRoom = 0;
    for (std::size_t i = 0; i < count; ++i)
        if (!nulls[i * width + field])
            keyRoom += 2 * (values[i * width + field].size() * 4 + 16) + 4;
    std::string keyBytes;
    keyBytes.reserve(keyRoom);
    std::vector<std::size_t> keyStarts;
    keyStarts.reserve(count + 1);
    std::string key;
    const std::hash<std::string_view> hashOf;
    for (std::size_t i = 0; i < count; ++i) {
        const std::size_t slot = i * width + field;
        if (nulls[slot])
            continue;
        const std::string_view text = values[slot];
        const std::size_t hash = hashOf(text);
        std::size_t probe = hash & (capacity - 1);
        while (table[probe] >= 0) {
            const auto k = static_cast<std::size_t>(table[probe]);
            if (distinctHashes[k] == hash && distinctTexts[k] == text)
                break;
            probe = (probe + 1) & (capacity - 1);
        }
        if (table[probe] < 0 && 2 * (distinctTexts.size() + 1) > capacity) {
            capacity *= 2;
            table.assign(capacity, -1);
            for (std::size_t k = 0; k < distinctHashes.size(); ++k) {
                std::size_t free = distinctHashes[k] & (capacity - 1);
                while (table[free] >= 0)
                    free = (free + 1) & (capacity - 1);
                table[free] = static_cast<int>(k);
            }
            probe = hash & (capacity - 1);
            while (table[probe] >= 0)
                probe = (probe + 1) & (capacity - 1);
        }
        if (table[probe] < 0) {
            if (!zelTextSortKey(text.data(), text.size(), options, locale, key))
                return false;
            table[probe] = static_cast<int>(distinctTexts.size());
            distinctTexts.push_back(text);
            distinctHashes.push_back(hash);
            keyStarts.push_back(keyBytes.size());
            keyBytes += key;
        }
        textOf[i] = table[probe];
    }
    keyStarts.push_back(keyBytes.size());
    const std::size_t keyCount = keyStarts.size() - 1;
    // The keys with the text each belongs to, sorted by key.
    std::vector<std::pair<std::string_view, int>> sorted(keyCount);
    for (std::size_t k = 0; k < keyCount; ++k)
        sorted[k] = {std::string_view(keyBytes).substr(keyStarts[k], keyStarts[k + 1] - keyStarts[k]),
                     static_cast<int>(k)};
    std::sort(sorted.begin(), sorted.end(),
              [](const auto& a, const auto& b) { return a.first < b.first; });
    std::vector<int> rankOfText(keyCount);
    int rank = 1;
    for (std::size_t k = 0; k < keyCount; ++k) {
        if (k > 0 && sorted[k - 1].first != sorted[k].first)
            ++rank;
        rankOfText[static_cast<std::size_t>(sorted[k].second)] = rank;
    }
    for (std::size_t i = 0; i < count; ++i)
        if (textOf[i] >= 0)
            ranks[i * width + field] = rankOfText[static_cast<std::size_t>(textOf[i])];
    return true;
}

// The items ordered by their ranks in one pass, as the ranks of one field sort: nulls (rank 0)
// first, then ascending or descending ranks; items of one rank keep their order.
void OrderByRank(const std::vector<int>& ranks, bool descending, std::vector<int>& order)
{
    const int highest = ranks.empty() ? 0 : *std::max_element(ranks.begin(), ranks.end());
    std::vector<int> starts(static_cast<std::size_t>(highest) + 2, 0);
    auto bucketOf = [descending, highest](int rank) {
        return static_cast<std::size_t>(rank == 0 || !descending ? rank : highest + 1 - rank);
    };
    for (int rank : ranks)
        ++starts[bucketOf(rank) + 1];
    for (std::size_t b = 1; b < starts.size(); ++b)
        starts[b] += starts[b - 1];
    for (std::size_t i = 0; i < ranks.size(); ++i)
        order[static_cast<std::size_t>(starts[bucketOf(ranks[i])]++)] = static_cast<int>(i);
}

// The locale comparison's flags for a text field's options.
std::uint32_t CollationFlags(TzelMemTableCompareOptions options)
{
    return options.Contains(mtcoCaseInsensitive) ? NORM_IGNORECASE : 0;
}

int CompareTextBytes(const char* a, std::size_t na, const char* b, std::size_t nb,
                     bool ignoreCase)
{
    const std::size_t common = std::min(na, nb);
    for (std::size_t i = 0; i < common; ++i) {
        auto x = static_cast<unsigned char>(a[i]);
        auto y = static_cast<unsigned char>(b[i]);
        if (ignoreCase) {
            if (x >= 'a' && x <= 'z')
                x = static_cast<unsigned char>(x - 'a' + 'A');
            if (y >= 'a' && y <= 'z')
                y = static_cast<unsigned char>(y - 'a' + 'A');
        }
        if (x != y)
            return x < y ? -1 : 1;
    }
    return na < nb ? -1 : na > nb ? 1 : 0;
}

} // namespace

struct TzelComparePlan {
    struct Field {
        int Offset;
        int Size;
        TFieldType Type;
        TzelMemTableCompareOptions Options;
        bool InLocale; // a text compared in the locale
    };
    std::vector<Field> Fields;
    std::uint32_t LocaleID;

    // As the storage's record comparison with chBreakNE and no null skipping asked; -2 when a
    // value needs the full comparison.
    int Compare(const TzelRecord* KeyRecord, const TzelRecord* Record, bool Partial) const
    {
        int result = 0;
        for (const Field& field : Fields) {
            bool full = true;
            const char* key = KeyRecord->Data ? KeyRecord->Data + field.Offset : nullptr;
            const char* value = Record->Data ? Record->Data + field.Offset : nullptr;
            const bool keyNull = !key || key[0] == 0;
            if (keyNull && field.Options.Contains(mtcoIgnoreNullKey))
                continue;
            const bool valueNull = !value || value[0] == 0;
            if (keyNull || valueNull) {
                result = keyNull ? (valueNull ? 0 : -1) : 1;
            } else if (field.Type == ftString) {
                const std::size_t keyLength = strnlen(key + 1, static_cast<std::size_t>(field.Size));
                std::size_t valueLength = strnlen(value + 1, static_cast<std::size_t>(field.Size));
                if (Partial || field.Options.Contains(mtcoPartialKey)) {
                    // A key matches every value it begins.
                    full = keyLength == valueLength;
                    valueLength = std::min(keyLength, valueLength);
                }
                if (field.InLocale) {
                    result = CompareStringA(LocaleID, CollationFlags(field.Options), key + 1,
                                            static_cast<int>(keyLength), value + 1,
                                            static_cast<int>(valueLength));
                    if (result == 0)
                        return -2;
                    result -= CSTR_EQUAL;
                } else {
                    result = CompareTextBytes(key + 1, keyLength, value + 1, valueLength,
                                              field.Options.Contains(mtcoCaseInsensitive));
                }
                if (field.Options.Contains(mtcoDescending))
                    result = -result;
            } else {
                result = CompareFields(key + 1, value + 1, field.Type, full, field.Options,
                                       LocaleID);
            }
            if (result != 0 || !full)
                return result;
        }
        return result;
    }
};

// Gives an index a comparison plan for the field list of one search; a search inside a search
// keeps the outer plan.
class TzelPlanScope {
public:
    TzelPlanScope(TzelIndex& Index, TzelFieldList* FieldList) : FIndex(Index)
    {
        if (FIndex.FPlan)
            return;
        FPlan = FIndex.MakeComparePlan(FieldList);
        FIndex.FPlan = FPlan.get();
        FIndex.FPlanList = FPlan ? FieldList : nullptr;
    }
    ~TzelPlanScope()
    {
        if (FPlan) {
            FIndex.FPlan = nullptr;
            FIndex.FPlanList = nullptr;
        }
    }
    TzelPlanScope(const TzelPlanScope&) = delete;
    TzelPlanScope& operator=(const TzelPlanScope&) = delete;

private:
    TzelIndex& FIndex;
    std::unique_ptr<TzelComparePlan> FPlan;
};

bool zelTextSortKey(const char* Text, std::size_t Length, TzelMemTableCompareOptions Options,
                    std::uint32_t LocaleID, std::string& Key)
{
    Key.clear();
    const bool ignoreCase = Options.Contains(mtcoCaseInsensitive);
    if (Options.Contains(mtcoIgnoreLocale)) {
        Key.assign(Text, Length);
        if (ignoreCase)
            for (char& c : Key)
                if (c >= 'a' && c <= 'z')
                    c = static_cast<char>(c - 'a' + 'A');
        return true;
    }
    return AppendSortKeyA(LocaleID, CollationFlags(Options), Text, Length, Key);
}

TzelIndex::TzelIndex(const std::string& Name, TzelCustomMemTable* Table,
                     const std::string& FieldNames, TzelMemTableCompareOptions Options,
                     TzelIndexType IndexType, bool Internal)
    : FName(Name), FTable(Table), FFieldNames(FieldNames), FOptions(Options),
      FIndexType(IndexType), FInternal(Internal)
{
    if (!FieldNames.empty())
        FTable->BuildFieldList(&FFieldList, FieldNames);
    for (int i = 0; i < FFieldList.GetCount(); ++i) {
        TzelMemTableCompareOptions fieldOptions = FFieldList.GetVal(i);
        for (TzelMemTableCompareOption option : InheritedOptions)
            if (Options.Contains(option))
                fieldOptions.Include(option);
        FFieldList.PutVal(i, fieldOptions);
    }
    FOrdered = FTable->Common()->RecordCount() == 0;
}

TzelIndex::~TzelIndex() = default;

std::unique_ptr<TzelComparePlan> TzelIndex::MakeComparePlan(TzelFieldList* FieldList)
{
    if (FTable->OnCompareFields || FieldList->GetCount() == 0)
        return nullptr;
    TzelCommon* storage = FTable->Common();
    auto plan = std::make_unique<TzelComparePlan>();
    plan->LocaleID = storage->GetLocaleID();
    for (int i = 0; i < FieldList->GetCount(); ++i) {
        TField* field = FieldList->Get(i);
        const TzelMemTableCompareOptions options = FieldList->GetVal(i);
        const int fieldNo = field->FieldNo();
        if (field->FieldKind() != fkData || fieldNo < 1 || fieldNo > storage->FieldCount() ||
            storage->IsVarLengthField(fieldNo))
            return nullptr;
        TzelComparePlan::Field entry{storage->FieldOffset(fieldNo),
                                     TzelCommon::GetFieldSize(field->DataType(), field->Size()),
                                     field->DataType(), options, false};
        if (entry.Type == ftString && !options.Contains(mtcoIgnoreLocale)) {
            // A locale the comparison cannot serve leaves the error to the full comparison.
            if (CompareStringA(plan->LocaleID, CollationFlags(options), "", 0, "", 0) == 0)
                return nullptr;
            entry.InLocale = true;
        }
        plan->Fields.push_back(entry);
    }
    return plan;
}

void TzelIndex::SetEnabled(bool Value)
{
    FEnabled = Value;
    if (Value && !FOrdered)
        Rebuild();
}

void TzelIndex::InsertAt(int Index, TzelRecord* Record)
{
    const int at = std::clamp(Index, 0, Count());
    FReferences.insert(FReferences.begin() + at, Record);
}

void TzelIndex::RemoveAt(int Index)
{
    FReferences.erase(FReferences.begin() + Index);
}

void TzelIndex::Move(int From, int To)
{
    TzelRecord* record = FReferences[static_cast<std::size_t>(From)];
    FReferences.erase(FReferences.begin() + From);
    FReferences.insert(FReferences.begin() + To, record);
}

void TzelIndex::Clear()
{
    FReferences.clear();
    FOrdered = false;
}

void TzelIndex::LoadAll()
{
    TzelCommon* storage = FTable->Common();
    TzelStorageLock guard(*storage);
    FReferences.clear();
    FOrdered = false;
    const int count = storage->RecordCount();
    FReferences.reserve(static_cast<std::size_t>(FFiltered ? 100 : count));
    for (int id = 0; id < count; ++id) {
        TzelRecord* record = storage->Records(id);
        if (record && Filter(record))
            FReferences.push_back(record);
    }
}

void TzelIndex::Rebuild()
{
    if (!FTable->Active()) {
        FOrdered = true;
        return;
    }
    LoadAll();
    if (FIndexType == mtitNonSorted || Count() == 0)
        FOrdered = true;
    else
        ReSort();
    if (FTable->CurrentIndex() == this)
        FTable->ClampCursorPosition();
}

// --- Order ---

int TzelIndex::CompareRecords(TzelFieldList* FieldList, TzelRecord* KeyRecord,
                              TzelRecord* Record, bool TieBreak, bool Partial)
{
    TzelFieldList* list = FieldList ? FieldList : &FFieldList;
    int result = -2;
    if (FPlan && FPlanList == list)
        result = FPlan->Compare(KeyRecord, Record, Partial);
    if (result == -2)
        result = FTable->Common()->_InternalCompareRecords(FTable, list, -1, KeyRecord, Record,
                                                           false, Partial, chBreakNE);
    if (result != 0 || !TieBreak)
        return result;
    return BreakTie(KeyRecord, Record,
                    list->GetCount() > 0 && list->GetVal(0).Contains(mtcoDescending));
}

void TzelIndex::FastQuickSort(int First, int Last)
{
    if (First < Last)
        SortItems(FReferences, First, Last, [this](TzelRecord* a, TzelRecord* b) {
            return CompareRecords(nullptr, a, b, true, false);
        });
    FOrdered = true;
}

bool TzelIndex::SortWithKeys()
{
    const int fieldCount = FFieldList.GetCount();
    if (FTable->OnCompareFields || fieldCount == 0 || Count() < 2)
        return false;
    std::vector<TField*> fields;
    std::vector<TzelMemTableCompareOptions> options;
    std::size_t bufferSize = 1;
    for (int f = 0; f < fieldCount; ++f) {
        TField* field = FFieldList.Get(f);
        if (FFieldList.GetVal(f).Contains(mtcoPartialKey) || field->FieldKind() != fkData)
            return false;
        fields.push_back(field);
        options.push_back(FFieldList.GetVal(f));
        const int size = std::max(TzelCommon::GetFieldSize(field->DataType(), field->Size()),
                                  field->DataSize());
        bufferSize = std::max(bufferSize, static_cast<std::size_t>(size) + 1);
    }
    TzelCommon* storage = FTable->Common();
    const std::uint32_t locale = storage->GetLocaleID();
    const std::size_t count = FReferences.size();
    const std::size_t width = fields.size();
    // Per record and field: the value's bytes where the record holds them, and a null mark. A
    // value held outside the record's fixed part is read through the table into a copy.
    std::vector<std::string_view> values(count * width);
    std::vector<char> nulls(count * width, 0);
    std::deque<std::string> copies;
    std::vector<char> buffer(bufferSize);
    // Where each field lies in the record's fixed part, or -1 for a value held elsewhere.
    std::vector<int> offsets(width, -1);
    std::vector<std::size_t> sizes(width, 0);
    // Values other than texts are copied side by side, where their sort finds them close
    // together; room for all of them is made first, so that none moves.
    std::vector<std::vector<char>> numbers(width);
    for (std::size_t f = 0; f < width; ++f) {
        const int fieldNo = fields[f]->FieldNo();
        if (fieldNo < 1 || fieldNo > storage->FieldCount() || storage->IsVarLengthField(fieldNo))
            continue;
        offsets[f] = storage->FieldOffset(fieldNo);
        sizes[f] = static_cast<std::size_t>(
            TzelCommon::GetFieldSize(fields[f]->DataType(), fields[f]->Size()));
        if (fields[f]->DataType() != ftString)
            numbers[f].reserve(count * sizes[f]);
    }
    TzelRecord* savedRecord = FTable->VersionReadRecord();
    try {
        for (std::size_t i = 0; i < count; ++i) {
            TzelRecord* record = FReferences[i];
            for (std::size_t f = 0; f < width; ++f) {
                TField* field = fields[f];
                const std::size_t slot = i * width + f;
                if (offsets[f] >= 0) {
                    const char* stored = record->Data + offsets[f];
                    const std::size_t size = sizes[f];
                    if (stored[0] == 0)
                        nulls[slot] = 1;
                    else if (field->DataType() == ftString)
                        values[slot] = std::string_view(stored + 1, strnlen(stored + 1, size - 1));
                    else {
                        const std::size_t at = numbers[f].size();
                        numbers[f].insert(numbers[f].end(), stored + 1, stored + 1 + size);
                        values[slot] = std::string_view(numbers[f].data() + at, size);
                    }
                    continue;
                }
                FTable->SetVersionReadRecord(record);
                std::fill(buffer.begin(), buffer.end(), '\0');
                if (!FTable->GetFieldData(field, buffer.data())) {
                    nulls[slot] = 1;
                } else if (field->DataType() == ftString) {
                    values[slot] = copies.emplace_back(buffer.data(), strnlen(buffer.data(), bufferSize));
                } else {
                    values[slot] = copies.emplace_back(buffer.data(), bufferSize);
                }
            }
        }
    } catch (...) {
        FTable->SetVersionReadRecord(savedRecord);
        throw;
    }
    FTable->SetVersionReadRecord(savedRecord);
    bool served = true;

    // Each field's values become ranks, 0 for null, equal ranks for equal values, so that the
    // sort itself compares integers only.
    std::vector<int> ranks(count * width, 0);
    for (std::size_t f = 0; f < width && served; ++f) {
        if (fields[f]->DataType() == ftString)
            served = RankTexts(values, nulls, width, f, options[f], locale, ranks);
        else
            RankValues(values, nulls, width, f, fields[f]->DataType(), options[f], locale, ranks);
    }
    if (!served)
        return false;

    const std::vector<TzelRecord*> records = FReferences;
    const bool descendingFirst = options[0].Contains(mtcoDescending);
    std::vector<char> ignoreNull(width), descending(width);
    for (std::size_t f = 0; f < width; ++f) {
        ignoreNull[f] = options[f].Contains(mtcoIgnoreNullKey);
        descending[f] = options[f].Contains(mtcoDescending);
    }
    // The record comparison over the field list: nulls first whatever the direction, a null
    // key skipped where the field ignores null keys, then the tie-break.
    auto compare = [&](int a, int b) {
        const int* rankA = &ranks[static_cast<std::size_t>(a) * width];
        const int* rankB = &ranks[static_cast<std::size_t>(b) * width];
        for (std::size_t f = 0; f < width; ++f) {
            if (rankA[f] == 0 && ignoreNull[f])
                continue;
            int result;
            if (rankA[f] == 0 || rankB[f] == 0)
                result = rankA[f] != 0 ? 1 : rankB[f] != 0 ? -1 : 0;
            else
                result = rankA[f] < rankB[f] ? -1 : rankA[f] > rankB[f] ? 1 : 0;
            if (result != 0)
                return descending[f] && rankA[f] != 0 && rankB[f] != 0 ? -result : result;
        }
        return BreakTie(records[static_cast<std::size_t>(a)],
                        records[static_cast<std::size_t>(b)], descendingFirst);
    };
    std::vector<int> order(count);
    if (width == 1 && !ignoreNull[0]) {
        OrderByRank(ranks, descending[0] != 0, order);
        // Records of one rank are told apart by the tie-break alone.
        for (std::size_t first = 0, last = 0; first < count; first = last + 1) {
            last = first;
            while (last + 1 < count && ranks[static_cast<std::size_t>(order[last + 1])] ==
                                           ranks[static_cast<std::size_t>(order[first])])
                ++last;
            if (last > first)
                SortItems(order, static_cast<int>(first), static_cast<int>(last), compare);
        }
    } else {
        for (std::size_t i = 0; i < count; ++i)
            order[i] = static_cast<int>(i);
        SortItems(order, 0, static_cast<int>(count) - 1, compare);
    }
    for (std::size_t i = 0; i < count; ++i)
        FReferences[i] = records[static_cast<std::size_t>(order[i])];
    FOrdered = true;
    return true;
}

void TzelIndex::CheckUniqueNeighbours()
{
    for (int i = 1; i < Count(); ++i)
        if (CompareRecords(nullptr, FReferences[static_cast<std::size_t>(i - 1)],
                           FReferences[static_cast<std::size_t>(i)], false, false) == 0)
            RAISE(EMemTableError("Duplicate index value. Operation aborted."));
}

namespace {

// Puts the table in one of its own activities for a scope and gives it back its previous one,
// also when the work fails.
class TzelTableStateScope {
public:
    TzelTableStateScope(TzelCustomMemTable* Table, TzelState State)
        : FTable(Table), FSaved(Table->TableState())
    {
        FTable->SetTableState(State);
    }
    ~TzelTableStateScope() { FTable->SetTableState(FSaved); }
    TzelTableStateScope(const TzelTableStateScope&) = delete;
    TzelTableStateScope& operator=(const TzelTableStateScope&) = delete;

private:
    TzelCustomMemTable* FTable;
    TzelState FSaved;
};

} // namespace

void TzelIndex::ReSort()
{
    if (FIndexType != mtitSorted)
        return;
    FTable->Progress(0, mtpcSort);
    {
        TzelTableStateScope state(FTable, mtstSort);
        TzelStorageLock guard(*FTable->Common());
        if (!SortWithKeys())
            FastQuickSort(0, Count() - 1);
        if (FOptions.Contains(mtcoUnique))
            CheckUniqueNeighbours();
    }
    FTable->Progress(100, mtpcSort);
}

// --- Searches ---

bool TzelIndex::Bisectable() const
{
    return FOrdered && !FRowOrder && Count() > BisectThreshold;
}

int TzelIndex::Bisect(TzelFieldList* FieldList, TzelRecord* KeyRecord, bool Nearest,
                      bool& Found, int& LastCompare)
{
    int first = 0;
    int last = Count() - 1;
    while (first <= last) {
        const int middle = (first + last) / 2;
        LastCompare = CompareRecords(FieldList, KeyRecord, Reference(middle), false, false);
        if (LastCompare < 0) {
            last = middle - 1;
        } else if (LastCompare > 0) {
            first = middle + 1;
        } else {
            first = middle;
            while (first > 0 &&
                   CompareRecords(FieldList, KeyRecord, Reference(first - 1), false, Nearest) == 0)
                --first;
            Found = true;
            break;
        }
    }
    return first;
}

// After a bisection: the first record from From on that the table's filter shows and that is
// equal to the key (or, with Nearest, above it); -1 when none.
int TzelIndex::StepToVisible(TzelFieldList* FieldList, TzelRecord* KeyRecord, int From,
                             bool Nearest, bool& Found, int& LastCompare)
{
    for (int i = From + 1; i < Count(); ++i) {
        if (!FTable->FilterRecord(Reference(i), false))
            continue;
        LastCompare = CompareRecords(FieldList, KeyRecord, Reference(i), false, Nearest);
        if (LastCompare == 0 || (Nearest && LastCompare < 0)) {
            Found = LastCompare == 0;
            return i;
        }
    }
    Found = false;
    return -1;
}

int TzelIndex::Scan(TzelFieldList* FieldList, TzelRecord* KeyRecord, bool Nearest,
                    bool RespectFilter, bool& Found, int& LastCompare)
{
    const int count = Count();
    for (int i = 0; i < count; ++i) {
        if (i % 100 == 0)
            FTable->Progress(static_cast<int>(static_cast<double>(i) / count * 100), mtpcSearch);
        TzelRecord* record = Reference(i);
        if (FTable->RecalcOnIndex())
            FTable->RecalcIndexRecord(record);
        LastCompare = CompareRecords(FieldList, KeyRecord, record, false, Nearest);
        if (LastCompare == 0 && (!RespectFilter || FTable->FilterRecord(record, false))) {
            Found = true;
            return i;
        }
        if (Nearest && LastCompare < 0)
            return i;
    }
    return -1;
}

int TzelIndex::Search(TzelFieldList* FieldList, TzelRecord* KeyRecord, bool Nearest,
                      bool RespectFilter, bool& Found, int& LastCompare)
{
    Found = false;
    LastCompare = 0;
    int position = -1;
    FTable->Progress(0, mtpcSearch);
    {
        TzelTableStateScope state(FTable, mtstSearch);
        TzelStorageLock guard(*FTable->Common());
        TzelPlanScope plan(*this, FieldList ? FieldList : &FFieldList);
        if (Bisectable()) {
            position = Bisect(FieldList, KeyRecord, Nearest, Found, LastCompare);
            if (IsValidPosition(position) && RespectFilter && FTable->IsFiltered() &&
                !FTable->FilterRecord(Reference(position), false))
                position = StepToVisible(FieldList, KeyRecord, position, Nearest, Found,
                                         LastCompare);
        } else if (Count() > 0) {
            position = Scan(FieldList, KeyRecord, Nearest, RespectFilter, Found, LastCompare);
        }
    }
    FTable->Progress(100, mtpcSearch);
    return position;
}

int TzelIndex::Search(TzelFieldList* FieldList, TzelRecord* KeyRecord, bool Nearest,
                      bool RespectFilter)
{
    bool found = false;
    int lastCompare = 0;
    return Search(FieldList, KeyRecord, Nearest, RespectFilter, found, lastCompare);
}

bool TzelIndex::Filter(TzelRecord* Record)
{
    if (!FFiltered && !FTable->OnFilterIndex)
        return true;
    bool accept = true;
    if (!FTable->OnFilterIndex)
        return accept;
    TzelRecord* saved = FTable->VersionReadRecord();
    FTable->SetVersionReadRecord(Record);
    try {
        FTable->OnFilterIndex(FTable, this, accept);
    } catch (...) {
        FTable->SetVersionReadRecord(saved);
        throw;
    }
    FTable->SetVersionReadRecord(saved);
    return accept;
}

int TzelIndex::ScanForRecordID(int RecordID, int From)
{
    const int count = Count();
    for (int i = std::max(From, 0); i < count; ++i) {
        if (i > From && i % 100 == 0)
            FTable->Progress(static_cast<int>(static_cast<double>(i - From) / (count - From) * 100),
                             mtpcSearch);
        if (FReferences[static_cast<std::size_t>(i)]->RecordID == RecordID)
            return i;
    }
    return -1;
}

int TzelIndex::SearchRecordID(int RecordID)
{
    TzelStorageLock guard(*FTable->Common());
    if (FOrdered && FRowOrder) {
        // Records are appended with rising identifiers; inserts in the middle and reused slots
        // may break that, so a miss falls back to the scan below.
        int first = 0;
        int last = Count() - 1;
        while (first <= last) {
            const int middle = (first + last + 1) / 2;
            const int id = FReferences[static_cast<std::size_t>(middle)]->RecordID;
            if (id == RecordID)
                return middle;
            if (id < RecordID)
                first = middle + 1;
            else
                last = middle - 1;
        }
    }
    return ScanForRecordID(RecordID, 0);
}

int TzelIndex::SearchRecord(TzelRecord* Record, bool /*RespectFilter*/)
{
    if (!Record)
        return -1;
    TzelStorageLock guard(*FTable->Common());
    int start = 0;
    if (FOrdered && Count() > BisectThreshold) {
        if (FRowOrder) {
            const int position = SearchRecordID(Record->RecordID);
            if (position >= 0)
                return position;
        } else {
            bool found = false;
            int lastCompare = 0;
            TzelPlanScope plan(*this, &FFieldList);
            const int first = Bisect(nullptr, Record, false, found, lastCompare);
            if (found)
                start = first;
        }
    }
    const int position = ScanForRecordID(Record->RecordID, start);
    // A record whose values no longer match its place is still found.
    if (position < 0 && start > 0)
        return ScanForRecordID(Record->RecordID, 0);
    return position;
}

int TzelIndex::FindRecordNumber(TzelRecord* Record) const
{
    const auto found = std::find(FReferences.begin(), FReferences.end(), Record);
    return found == FReferences.end() ? -1 : static_cast<int>(found - FReferences.begin());
}
