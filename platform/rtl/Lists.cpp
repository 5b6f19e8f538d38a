#include "platform/rtl/Lists.h"

#include "platform/rtl/Formats.h"
#include "platform/rtl/Streams.h"
#include "platform/rtl/TextUtils.h"

#include <algorithm>
#include <utility>

namespace {

const char* const ListIndexError = "List index out of bounds (%d)";
const char* const SortedListError = "Operation not allowed on sorted string list";
const char* const DuplicateString = "String list does not allow duplicates";

// The class library formats these messages with the offending value in place of %d.
std::string WithData(const std::string& message, int data)
{
    return Format(message, {data});
}

// Keeps BeginUpdate/EndUpdate paired when an operation fails half way.
class TUpdateScope {
public:
    explicit TUpdateScope(TStrings& strings) : FStrings(strings) { FStrings.BeginUpdate(); }
    ~TUpdateScope() { FStrings.EndUpdate(); }
    TUpdateScope(const TUpdateScope&) = delete;
    TUpdateScope& operator=(const TUpdateScope&) = delete;

private:
    TStrings& FStrings;
};

bool IsBlank(unsigned char c)
{
    return c >= 1 && c <= ' ';
}

// The primary rank of the characters whose primary weight in the Italian collation is simple:
// the blank (below everything), the digits (below the letters, in order), and the letters a-z
// in either case, with or without a grave, acute, circumflex, tilde, diaeresis, ring or cedilla
// (ranked as the plain letter). 0 for any other character.
struct TPrimaryLetters {
    char Base[256] = {};

    TPrimaryLetters()
    {
        Base[static_cast<unsigned char>(' ')] = 1;
        for (char c = '0'; c <= '9'; ++c)
            Base[static_cast<unsigned char>(c)] = c;
        for (char c = 'a'; c <= 'z'; ++c) {
            Base[static_cast<unsigned char>(c)] = c;
            Base[static_cast<unsigned char>(c - 32)] = c;
        }
        AddAccented(0xE0, 0xE5, 'a');
        AddAccented(0xE7, 0xE7, 'c');
        AddAccented(0xE8, 0xEB, 'e');
        AddAccented(0xEC, 0xEF, 'i');
        AddAccented(0xF1, 0xF1, 'n');
        AddAccented(0xF2, 0xF6, 'o');
        AddAccented(0xF9, 0xFC, 'u');
        AddAccented(0xFD, 0xFD, 'y');
        Base[0xFF] = 'y';
        Base[0x9F] = 'y';
    }

    // Lower-case code points from..to and their upper-case forms 0x20 below.
    void AddAccented(unsigned from, unsigned to, char base)
    {
        for (unsigned c = from; c <= to; ++c) {
            Base[c] = base;
            Base[c - 0x20] = base;
        }
    }
};

// A primary difference outranks accents and case. So while both strings hold such characters,
// the first pair of different rank decides the comparison, in either case sensitivity (none of
// them is dropped by the word sort, so the positions stay aligned). Returns 0 when the leading
// characters do not settle it. Sorting a long list makes most of its
// comparisons here instead of in the collator.
int CompareLeadingLetters(const std::string& s1, const std::string& s2)
{
    static const TPrimaryLetters letters;
    std::size_t length = std::min(s1.size(), s2.size());
    for (std::size_t i = 0; i < length; ++i) {
        char a = letters.Base[static_cast<unsigned char>(s1[i])];
        char b = letters.Base[static_cast<unsigned char>(s2[i])];
        if (a == 0 || b == 0)
            return 0;
        if (a != b)
            return a < b ? -1 : 1;
    }
    return 0;
}

} // namespace

// ---------------------------------------------------------------------------------------------
// TList

void TList::Error(const std::string& message, int data)
{
    RAISE(EListError(WithData(message, data)));
}

void TList::CheckIndex(int index) const
{
    if (index < 0 || index >= Count())
        Error(ListIndexError, index);
}

void TList::SetCount(int newCount)
{
    if (newCount < 0)
        Error("List count out of bounds (%d)", newCount);
    FItems.resize(static_cast<std::size_t>(newCount), nullptr);
}

void TList::SetCapacity(int newCapacity)
{
    if (newCapacity < Count())
        Error("List capacity out of bounds (%d)", newCapacity);
    FItems.reserve(static_cast<std::size_t>(newCapacity));
}

void* TList::Items(int index) const
{
    CheckIndex(index);
    return FItems[index];
}

void TList::SetItems(int index, void* item)
{
    CheckIndex(index);
    FItems[index] = item;
}

int TList::Add(void* item)
{
    FItems.push_back(item);
    return Count() - 1;
}

void TList::Insert(int index, void* item)
{
    if (index < 0 || index > Count())
        Error(ListIndexError, index);
    FItems.insert(FItems.begin() + index, item);
}

void TList::Delete(int index)
{
    CheckIndex(index);
    FItems.erase(FItems.begin() + index);
}

int TList::Remove(void* item)
{
    int index = IndexOf(item);
    if (index >= 0)
        Delete(index);
    return index;
}

void* TList::Extract(void* item)
{
    return Remove(item) >= 0 ? item : nullptr;
}

int TList::IndexOf(void* item) const
{
    auto found = std::find(FItems.begin(), FItems.end(), item);
    return found == FItems.end() ? -1 : static_cast<int>(found - FItems.begin());
}

void TList::Clear()
{
    FItems.clear();
    FItems.shrink_to_fit();
}

void TList::Exchange(int index1, int index2)
{
    CheckIndex(index1);
    CheckIndex(index2);
    std::swap(FItems[index1], FItems[index2]);
}

void TList::Move(int curIndex, int newIndex)
{
    if (curIndex == newIndex)
        return;
    CheckIndex(curIndex);
    CheckIndex(newIndex);
    void* item = FItems[curIndex];
    FItems.erase(FItems.begin() + curIndex);
    FItems.insert(FItems.begin() + newIndex, item);
}

void TList::Pack()
{
    FItems.erase(std::remove(FItems.begin(), FItems.end(), nullptr), FItems.end());
}

void TList::Sort(const TListSortCompare& compare)
{
    // A merge sort stays within the list even when compare is inconsistent.
    std::stable_sort(FItems.begin(), FItems.end(),
                     [&](void* a, void* b) { return compare(a, b) < 0; });
}

void TList::Assign(const TList& source)
{
    if (&source != this)
        FItems = source.FItems;
}

// ---------------------------------------------------------------------------------------------
// TStrings

void TStrings::Error(const std::string& message, int data)
{
    RAISE(EStringListError(WithData(message, data)));
}

int TStrings::Add(const std::string& s)
{
    int index = GetCount();
    Insert(index, s);
    return index;
}

int TStrings::AddObject(const std::string& s, TObject* object)
{
    int index = Add(s);
    PutObject(index, object);
    return index;
}

void TStrings::AddStrings(TStrings* strings)
{
    TUpdateScope update(*this);
    for (int i = 0; i < strings->Count(); ++i)
        AddObject(strings->Get(i), strings->GetObject(i));
}

void TStrings::InsertObject(int index, const std::string& s, TObject* object)
{
    Insert(index, s);
    PutObject(index, object);
}

void TStrings::Put(int index, const std::string& s)
{
    TObject* object = GetObject(index);
    Delete(index);
    InsertObject(index, s, object);
}

void TStrings::Exchange(int index1, int index2)
{
    TUpdateScope update(*this);
    TObject* object = GetObject(index1);
    std::string text = Get(index1);
    Put(index1, Get(index2));
    PutObject(index1, GetObject(index2));
    Put(index2, text);
    PutObject(index2, object);
}

void TStrings::Move(int curIndex, int newIndex)
{
    if (curIndex == newIndex)
        return;
    // Checked before the line is taken out, so that a bad target loses nothing.
    if (newIndex < 0 || newIndex >= GetCount())
        Error(ListIndexError, newIndex);
    TUpdateScope update(*this);
    TObject* object = GetObject(curIndex);
    std::string text = Get(curIndex);
    Delete(curIndex);
    InsertObject(newIndex, text, object);
}

int TStrings::IndexOf(const std::string& s) const
{
    for (int i = 0; i < GetCount(); ++i)
        if (CompareStrings(Get(i), s) == 0)
            return i;
    return -1;
}

int TStrings::IndexOfName(const std::string& name) const
{
    for (int i = 0; i < GetCount(); ++i) {
        std::string line = Get(i);
        auto separator = line.find(FNameValueSeparator);
        if (separator != std::string::npos && CompareStrings(line.substr(0, separator), name) == 0)
            return i;
    }
    return -1;
}

int TStrings::IndexOfObject(TObject* object) const
{
    for (int i = 0; i < GetCount(); ++i)
        if (GetObject(i) == object)
            return i;
    return -1;
}

bool TStrings::Equals(TStrings* strings) const
{
    if (!strings || strings->Count() != GetCount())
        return false;
    for (int i = 0; i < GetCount(); ++i)
        if (Get(i) != strings->Get(i))
            return false;
    return true;
}

void TStrings::Assign(TPersistent* Source)
{
    auto* source = dynamic_cast<TStrings*>(Source);
    if (!source) {
        TPersistent::Assign(Source);
        return;
    }
    if (source == this)
        return;
    TUpdateScope update(*this);
    Clear();
    FNameValueSeparator = source->FNameValueSeparator;
    FQuoteChar = source->FQuoteChar;
    FDelimiter = source->FDelimiter;
    AddStrings(source);
}

void TStrings::BeginUpdate()
{
    if (FUpdateCount == 0)
        SetUpdateState(true);
    ++FUpdateCount;
}

void TStrings::EndUpdate()
{
    if (FUpdateCount == 0)
        return;
    --FUpdateCount;
    if (FUpdateCount == 0)
        SetUpdateState(false);
}

std::string TStrings::Text() const
{
    std::string result;
    for (int i = 0; i < GetCount(); ++i) {
        result += Get(i);
        result += "\r\n";
    }
    return result;
}

void TStrings::SetText(const std::string& text)
{
    TUpdateScope update(*this);
    Clear();
    std::size_t at = 0;
    while (at < text.size()) {
        std::size_t end = text.find_first_of("\r\n", at);
        if (end == std::string::npos)
            end = text.size();
        Add(text.substr(at, end - at));
        at = end;
        if (at < text.size() && text[at] == '\r')
            ++at;
        if (at < text.size() && text[at] == '\n')
            ++at;
    }
}

std::string TStrings::DelimitedText() const
{
    return DelimitedTextWith(FDelimiter, FQuoteChar);
}

void TStrings::SetDelimitedText(const std::string& text)
{
    SetDelimitedTextWith(text, FDelimiter, FQuoteChar);
}

std::string TStrings::CommaText() const
{
    return DelimitedTextWith(',', '"');
}

void TStrings::SetCommaText(const std::string& text)
{
    SetDelimitedTextWith(text, ',', '"');
}

std::string TStrings::DelimitedTextWith(char delimiter, char quote) const
{
    int count = GetCount();
    if (count == 1 && Get(0).empty())
        return std::string(2, quote);
    std::string result;
    for (int i = 0; i < count; ++i) {
        std::string line = Get(i);
        bool needsQuotes = std::any_of(line.begin(), line.end(), [&](char c) {
            return static_cast<unsigned char>(c) <= ' ' || c == quote || c == delimiter;
        });
        if (i > 0)
            result += delimiter;
        result += needsQuotes ? AnsiQuotedStr(line, quote) : line;
    }
    return result;
}

void TStrings::SetDelimitedTextWith(const std::string& text, char delimiter, char quote)
{
    TUpdateScope update(*this);
    Clear();
    // As in the class library, the text ends at a NUL character.
    std::string_view rest(text.c_str());
    auto skipBlanks = [&] {
        while (!rest.empty() && IsBlank(static_cast<unsigned char>(rest.front())))
            rest.remove_prefix(1);
    };
    skipBlanks();
    while (!rest.empty()) {
        if (rest.front() == quote) {
            Add(AnsiExtractQuotedStr(rest, quote));
        } else {
            std::size_t length = 0;
            while (length < rest.size() && static_cast<unsigned char>(rest[length]) > ' '
                   && rest[length] != delimiter)
                ++length;
            Add(std::string(rest.substr(0, length)));
            rest.remove_prefix(length);
        }
        skipBlanks();
        if (!rest.empty() && rest.front() == delimiter) {
            // A delimiter at the very end stands for a last empty string.
            if (rest.size() == 1)
                Add("");
            do
                rest.remove_prefix(1);
            while (!rest.empty() && IsBlank(static_cast<unsigned char>(rest.front())));
        }
    }
}

std::string TStrings::Names(int index) const
{
    std::string line = Get(index);
    auto separator = line.find(FNameValueSeparator);
    return separator == std::string::npos ? std::string() : line.substr(0, separator);
}

std::string TStrings::Values(const std::string& name) const
{
    int index = IndexOfName(name);
    if (index < 0)
        return {};
    std::string line = Get(index);
    return line.substr(line.find(FNameValueSeparator) + 1);
}

void TStrings::SetValues(const std::string& name, const std::string& value)
{
    int index = IndexOfName(name);
    if (!value.empty())
        PutLine(index, name + FNameValueSeparator + value);
    else if (index >= 0)
        Delete(index);
}

void TStrings::PutLine(int index, const std::string& line)
{
    if (index >= 0) {
        Put(index, line);
        return;
    }
    // A list that refuses the change (a sorted one) must not keep the empty line added for it.
    int countBefore = GetCount();
    index = Add("");
    try {
        Put(index, line);
    } catch (...) {
        if (GetCount() > countBefore)
            Delete(index);
        throw;
    }
}

std::string TStrings::ValueFromIndex(int index) const
{
    if (index < 0)
        return {};
    std::string line = Get(index);
    auto separator = line.find(FNameValueSeparator);
    // A line without separator has no value (not the line less its first character).
    return separator == std::string::npos ? std::string() : line.substr(separator + 1);
}

void TStrings::SetValueFromIndex(int index, const std::string& value)
{
    if (!value.empty())
        PutLine(index, (index >= 0 ? Names(index) : std::string()) + FNameValueSeparator + value);
    else if (index >= 0)
        Delete(index);
}

void TStrings::LoadFromStream(TStream& stream)
{
    TUpdateScope update(*this);
    std::int64_t size = stream.Size() - stream.Position();
    std::string text(static_cast<std::size_t>(std::max<std::int64_t>(size, 0)), '\0');
    int read = text.empty() ? 0 : stream.Read(text.data(), static_cast<int>(text.size()));
    text.resize(static_cast<std::size_t>(std::max(read, 0)));
    SetText(text);
}

void TStrings::SaveToStream(TStream& stream) const
{
    std::string text = Text();
    stream.WriteBuffer(text.data(), static_cast<int>(text.size()));
}

void TStrings::LoadFromFile(const std::string& fileName)
{
    TFileStream stream(fileName, fmOpenRead | fmShareDenyWrite);
    LoadFromStream(stream);
}

void TStrings::SaveToFile(const std::string& fileName) const
{
    TAtomicFileStream stream(fileName);
    SaveToStream(stream);
    stream.Commit();
}

int TStrings::CompareStrings(const std::string& s1, const std::string& s2) const
{
    return AnsiCompareText(s1, s2);
}

// ---------------------------------------------------------------------------------------------
// TStringList storage

struct TStringItem {
    std::string String;
    TObject* Object = nullptr;
};

// The lines in blocks of a few hundred, so that inserting into a long sorted list moves a block
// rather than the whole list. A table of block starts finds a line by index.
class TStringListStore {
public:
    int Count() const { return FCount; }

    TStringItem& At(int index)
    {
        auto [block, offset] = Locate(index);
        return FBlocks[block][offset];
    }

    void Insert(int index, TStringItem item)
    {
        if (FBlocks.empty()) {
            FBlocks.emplace_back();
            FStarts.push_back(0);
        }
        auto [block, offset] = Locate(index);
        auto& items = FBlocks[block];
        items.insert(items.begin() + offset, std::move(item));
        ++FCount;
        ShiftStarts(block + 1, +1);
        if (items.size() > 2 * BlockSize)
            Split(block);
    }

    void Erase(int index)
    {
        auto [block, offset] = Locate(index);
        auto& items = FBlocks[block];
        items.erase(items.begin() + offset);
        --FCount;
        ShiftStarts(block + 1, -1);
        if (items.empty()) {
            FBlocks.erase(FBlocks.begin() + block);
            FStarts.erase(FStarts.begin() + block);
        }
    }

    void Clear()
    {
        FBlocks.clear();
        FStarts.clear();
        FCount = 0;
    }

private:
    static constexpr std::size_t BlockSize = 64;

    // The block holding index; index == Count() gives the end of the last block.
    std::pair<std::size_t, std::size_t> Locate(int index) const
    {
        auto after = std::upper_bound(FStarts.begin(), FStarts.end(), index);
        std::size_t block = static_cast<std::size_t>(after - FStarts.begin()) - 1;
        return {block, static_cast<std::size_t>(index - FStarts[block])};
    }

    void ShiftStarts(std::size_t fromBlock, int delta)
    {
        for (std::size_t b = fromBlock; b < FStarts.size(); ++b)
            FStarts[b] += delta;
    }

    void Split(std::size_t block)
    {
        auto& items = FBlocks[block];
        std::vector<TStringItem> upper(std::make_move_iterator(items.begin() + BlockSize),
                                       std::make_move_iterator(items.end()));
        items.resize(BlockSize);
        int upperStart = FStarts[block] + static_cast<int>(BlockSize);
        FBlocks.insert(FBlocks.begin() + block + 1, std::move(upper));
        FStarts.insert(FStarts.begin() + block + 1, upperStart);
    }

    std::vector<std::vector<TStringItem>> FBlocks;
    std::vector<int> FStarts;
    int FCount = 0;
};

// ---------------------------------------------------------------------------------------------
// TStringList

TStringList::TStringList() : FStore(std::make_unique<TStringListStore>()) {}

TStringList::~TStringList()
{
    // A list being destroyed reports no changes.
    OnChange = nullptr;
    OnChanging = nullptr;
}

void TStringList::CheckIndex(int index) const
{
    if (index < 0 || index >= FStore->Count())
        Error(ListIndexError, index);
}

int TStringList::GetCount() const
{
    return FStore->Count();
}

std::string TStringList::Get(int index) const
{
    CheckIndex(index);
    return FStore->At(index).String;
}

TObject* TStringList::GetObject(int index) const
{
    CheckIndex(index);
    return FStore->At(index).Object;
}

void TStringList::Put(int index, const std::string& s)
{
    if (FSorted)
        Error(SortedListError, 0);
    CheckIndex(index);
    Changing();
    FStore->At(index).String = s;
    Changed();
}

void TStringList::PutObject(int index, TObject* object)
{
    CheckIndex(index);
    Changing();
    FStore->At(index).Object = object;
    Changed();
}

int TStringList::Add(const std::string& s)
{
    return AddObject(s, nullptr);
}

int TStringList::AddObject(const std::string& s, TObject* object)
{
    int index = Count();
    if (FSorted && Find(s, index)) {
        if (FDuplicates == dupIgnore)
            return index;
        if (FDuplicates == dupError)
            Error(DuplicateString, 0);
    }
    InsertItem(index, s, object);
    return index;
}

void TStringList::InsertItem(int index, const std::string& s, TObject* object)
{
    Changing();
    FStore->Insert(index, TStringItem{s, object});
    Changed();
}

void TStringList::Insert(int index, const std::string& s)
{
    InsertObject(index, s, nullptr);
}

void TStringList::InsertObject(int index, const std::string& s, TObject* object)
{
    if (FSorted)
        Error(SortedListError, 0);
    if (index < 0 || index > Count())
        Error(ListIndexError, index);
    InsertItem(index, s, object);
}

void TStringList::Move(int curIndex, int newIndex)
{
    if (FSorted && curIndex != newIndex)
        Error(SortedListError, 0);
    TStrings::Move(curIndex, newIndex);
}

void TStringList::Delete(int index)
{
    CheckIndex(index);
    Changing();
    FStore->Erase(index);
    Changed();
}

void TStringList::Clear()
{
    if (Count() == 0)
        return;
    Changing();
    FStore->Clear();
    Changed();
}

void TStringList::Exchange(int index1, int index2)
{
    CheckIndex(index1);
    CheckIndex(index2);
    Changing();
    std::swap(FStore->At(index1), FStore->At(index2));
    Changed();
}

int TStringList::IndexOf(const std::string& s) const
{
    if (FSorted) {
        int index = 0;
        return Find(s, index) ? index : -1;
    }
    for (int i = 0; i < Count(); ++i)
        if (CompareStrings(FStore->At(i).String, s) == 0)
            return i;
    return -1;
}

bool TStringList::Find(const std::string& s, int& index) const
{
    // Lands on the first of equal strings unless duplicates are accepted, where it may land on
    // any of them; a new string goes before the strings greater than it.
    bool found = false;
    int low = 0;
    int high = Count() - 1;
    while (low <= high) {
        int middle = (low + high) / 2;
        int comparison = CompareStrings(FStore->At(middle).String, s);
        if (comparison < 0) {
            low = middle + 1;
        } else {
            high = middle - 1;
            if (comparison == 0) {
                found = true;
                if (FDuplicates != dupAccept)
                    low = middle;
            }
        }
    }
    index = low;
    return found;
}

void TStringList::Sort()
{
    CustomSort([](TStringList* list, int index1, int index2) {
        return list->CompareStrings(list->FStore->At(index1).String, list->FStore->At(index2).String);
    });
}

void TStringList::CustomSort(const TStringListSortCompare& compare)
{
    if (FSorted || Count() < 2)
        return;
    Changing();
    QuickSort(0, Count() - 1, compare);
    Changed();
}

void TStringList::QuickSort(int left, int right, const TStringListSortCompare& compare)
{
    int i = left;
    do {
        i = left;
        int j = right;
        int pivot = (left + right) / 2;
        do {
            // The bounds checks keep an inconsistent compare from leaving the list.
            while (i < right && compare(this, i, pivot) < 0)
                ++i;
            while (j > left && compare(this, j, pivot) > 0)
                --j;
            if (i <= j) {
                if (i != j)
                    std::swap(FStore->At(i), FStore->At(j));
                if (pivot == i)
                    pivot = j;
                else if (pivot == j)
                    pivot = i;
                ++i;
                --j;
            }
        } while (i <= j);
        if (left < j)
            QuickSort(left, j, compare);
        left = i;
    } while (i < right);
}

void TStringList::SetSorted(bool value)
{
    if (FSorted == value)
        return;
    if (value)
        Sort();
    FSorted = value;
}

void TStringList::SetCaseSensitive(bool value)
{
    if (FCaseSensitive == value)
        return;
    FCaseSensitive = value;
    // A sorted list must be in the new order, or Find would miss strings.
    if (FSorted) {
        FSorted = false;
        Sort();
        FSorted = true;
    }
}

int TStringList::CompareStrings(const std::string& s1, const std::string& s2) const
{
    if (int byLetters = CompareLeadingLetters(s1, s2))
        return byLetters;
    return FCaseSensitive ? AnsiCompareStr(s1, s2) : AnsiCompareText(s1, s2);
}

void TStringList::SetUpdateState(bool updating)
{
    if (updating)
        Changing();
    else
        Changed();
}

void TStringList::Changed()
{
    if (UpdateCount() == 0 && OnChange)
        OnChange(this);
}

void TStringList::Changing()
{
    if (UpdateCount() == 0 && OnChanging)
        OnChanging(this);
}

// ---------------------------------------------------------------------------------------------
// TCollection

TCollectionItem::TCollectionItem(TCollection* Collection)
{
    SetCollection(Collection);
}

TCollectionItem::~TCollectionItem()
{
    SetCollection(nullptr);
}

void TCollectionItem::SetCollection(TCollection* value)
{
    if (FCollection == value)
        return;
    if (FCollection)
        FCollection->RemoveItem(this);
    if (value)
        value->InsertItem(this);
}

int TCollectionItem::Index() const
{
    if (!FCollection)
        return -1;
    const auto& items = FCollection->FItems;
    auto found = std::find(items.begin(), items.end(), this);
    return found == items.end() ? -1 : static_cast<int>(found - items.begin());
}

void TCollectionItem::SetIndex(int value)
{
    int current = Index();
    if (current < 0 || current == value)
        return;
    auto& items = FCollection->FItems;
    if (value < 0 || value >= static_cast<int>(items.size()))
        TList::Error(ListIndexError, value);
    items.erase(items.begin() + current);
    items.insert(items.begin() + value, this);
    Changed(true);
}

void TCollectionItem::Changed(bool allItems)
{
    if (FCollection && FCollection->FUpdateCount == 0)
        FCollection->Update(allItems ? nullptr : this);
}

TCollection::TCollection(TCollectionItemFactory itemFactory) : FItemFactory(std::move(itemFactory))
{
    if (!FItemFactory)
        FItemFactory = [](TCollection* collection) { return new TCollectionItem(collection); };
}

TCollection::~TCollection()
{
    FUpdateCount = 1;
    while (!FItems.empty())
        delete FItems.back(); // the item takes itself out of the list
}

TCollectionItem* TCollection::Add()
{
    TCollectionItem* item = FItemFactory(this);
    if (item->Collection() != this)
        item->SetCollection(this);
    return item;
}

TCollectionItem* TCollection::Insert(int index)
{
    TCollectionItem* item = Add();
    item->SetIndex(index);
    return item;
}

void TCollection::Delete(int index)
{
    delete Items(index);
}

void TCollection::Clear()
{
    if (FItems.empty())
        return;
    BeginUpdate();
    while (!FItems.empty())
        delete FItems.back();
    EndUpdate();
}

TCollectionItem* TCollection::Items(int index) const
{
    if (index < 0 || index >= Count())
        TList::Error(ListIndexError, index);
    return FItems[index];
}

void TCollection::SetItems(int index, TCollectionItem* value)
{
    Items(index)->Assign(value);
}

TCollectionItem* TCollection::FindItemID(int id) const
{
    for (auto* item : FItems)
        if (item->FID == id)
            return item;
    return nullptr;
}

void TCollection::Assign(TPersistent* Source)
{
    auto* source = dynamic_cast<TCollection*>(Source);
    if (!source) {
        TPersistent::Assign(Source);
        return;
    }
    if (source == this)
        return;
    BeginUpdate();
    try {
        Clear();
        for (int i = 0; i < source->Count(); ++i)
            Add()->Assign(source->Items(i));
    } catch (...) {
        EndUpdate();
        throw;
    }
    EndUpdate();
}

void TCollection::EndUpdate()
{
    if (FUpdateCount > 0)
        --FUpdateCount;
    Changed();
}

void TCollection::Changed()
{
    if (FUpdateCount == 0)
        Update(nullptr);
}

void TCollection::InsertItem(TCollectionItem* item)
{
    FItems.push_back(item);
    item->FCollection = this;
    item->FID = FNextID++;
    Changed();
}

void TCollection::RemoveItem(TCollectionItem* item)
{
    auto found = std::find(FItems.begin(), FItems.end(), item);
    if (found != FItems.end())
        FItems.erase(found);
    item->FCollection = nullptr;
    Changed();
}

// ---------------------------------------------------------------------------------------------
// TBits

namespace {

[[noreturn]] void BitsError()
{
    RAISE(EBitsError("Bits index out of range"));
}

} // namespace

void TBits::SetSize(int value)
{
    if (value < 0)
        BitsError();
    FBits.resize(static_cast<std::size_t>(value), false);
}

bool TBits::Bits(int index) const
{
    if (index < 0 || index >= Size())
        BitsError();
    return FBits[index];
}

void TBits::SetBits(int index, bool value)
{
    if (index < 0)
        BitsError();
    if (index >= Size())
        SetSize(index + 1);
    FBits[index] = value;
}

int TBits::OpenBit() const
{
    auto found = std::find(FBits.begin(), FBits.end(), false);
    return static_cast<int>(found - FBits.begin());
}
