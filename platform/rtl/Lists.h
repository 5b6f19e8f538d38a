#pragma once
// The class library's lists: TList of pointers, TStrings and TStringList, TCollection with its
// items, and TBits.

#include "platform/rtl/Classes.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

class TStream;

TESS_EXCEPTION(EBitsError, Exception)

// A list of untyped pointers. Bad indexes raise EListError "List index out of bounds (%d)".
class TList : public TObject {
    TESS_CLASS(TList, TObject)
public:
    using TListSortCompare = std::function<int(void* Item1, void* Item2)>;

    int Count() const { return static_cast<int>(FItems.size()); }
    // Growing fills with nullptr.
    void SetCount(int newCount);
    int Capacity() const { return static_cast<int>(FItems.capacity()); }
    void SetCapacity(int newCapacity);

    void* Items(int index) const;
    void SetItems(int index, void* item);
    void* First() const { return Items(0); }
    void* Last() const { return Items(Count() - 1); }

    int Add(void* item);
    void Insert(int index, void* item);
    void Delete(int index);
    // Removes the first occurrence; returns its former index or -1.
    int Remove(void* item);
    // Removes the first occurrence and returns it, nullptr when absent.
    void* Extract(void* item);
    int IndexOf(void* item) const;
    void Clear();
    void Exchange(int index1, int index2);
    void Move(int curIndex, int newIndex);
    // Removes every nullptr.
    void Pack();
    void Sort(const TListSortCompare& compare);
    void Assign(const TList& source);

    [[noreturn]] static void Error(const std::string& message, int data);

private:
    void CheckIndex(int index) const;
    std::vector<void*> FItems;
};

enum TDuplicates { dupIgnore, dupAccept, dupError };

// An abstract list of strings with an object per line. Bad indexes raise EStringListError
// "List index out of bounds (%d)".
class TStrings : public TPersistent {
    TESS_CLASS(TStrings, TPersistent)
public:
    int Count() const { return GetCount(); }
    std::string Strings(int index) const { return Get(index); }
    void SetStrings(int index, const std::string& s) { Put(index, s); }
    TObject* Objects(int index) const { return GetObject(index); }
    void SetObjects(int index, TObject* object) { PutObject(index, object); }

    virtual int Add(const std::string& s);
    virtual int AddObject(const std::string& s, TObject* object);
    void Append(const std::string& s) { Add(s); }
    virtual void AddStrings(TStrings* strings);
    virtual void Clear() = 0;
    virtual void Delete(int index) = 0;
    virtual void Insert(int index, const std::string& s) = 0;
    virtual void InsertObject(int index, const std::string& s, TObject* object);
    virtual void Exchange(int index1, int index2);
    // Both indexes must exist; on a list that refuses the insertion nothing is lost.
    virtual void Move(int curIndex, int newIndex);
    virtual int IndexOf(const std::string& s) const;
    int IndexOfName(const std::string& name) const;
    int IndexOfObject(TObject* object) const;
    // Same count and the same strings, byte for byte; objects are not compared.
    bool Equals(TStrings* strings) const;
    void Assign(TPersistent* Source) override;

    void BeginUpdate();
    void EndUpdate();
    int UpdateCount() const { return FUpdateCount; }

    // Each line followed by CR LF. Setting splits on CR, LF and CR LF.
    std::string Text() const;
    void SetText(const std::string& text);
    // DelimitedText with ',' and '"'.
    std::string CommaText() const;
    void SetCommaText(const std::string& text);
    std::string DelimitedText() const;
    void SetDelimitedText(const std::string& text);
    char Delimiter() const { return FDelimiter; }
    void SetDelimiter(char c) { FDelimiter = c; }
    char QuoteChar() const { return FQuoteChar; }
    void SetQuoteChar(char c) { FQuoteChar = c; }
    char NameValueSeparator() const { return FNameValueSeparator; }
    void SetNameValueSeparator(char c) { FNameValueSeparator = c; }

    // The part before the first separator; "" when the line has none.
    std::string Names(int index) const;
    // "" for a missing name. Assigning "" deletes the line; a new name is added at the end.
    std::string Values(const std::string& name) const;
    void SetValues(const std::string& name, const std::string& value);
    // The part after the first separator; "" when the line has none.
    std::string ValueFromIndex(int index) const;
    void SetValueFromIndex(int index, const std::string& value);

    // Windows-1252 text, lines ended by CR LF. SaveToFile replaces the file atomically.
    virtual void LoadFromStream(TStream& stream);
    virtual void SaveToStream(TStream& stream) const;
    virtual void LoadFromFile(const std::string& fileName);
    virtual void SaveToFile(const std::string& fileName) const;

    // < 0, 0, > 0; the base compares with AnsiCompareText.
    virtual int CompareStrings(const std::string& s1, const std::string& s2) const;

protected:
    virtual std::string Get(int index) const = 0;
    virtual void Put(int index, const std::string& s);
    virtual TObject* GetObject(int /*index*/) const { return nullptr; }
    virtual void PutObject(int /*index*/, TObject* /*object*/) {}
    virtual int GetCount() const = 0;
    // Called with true by the first BeginUpdate and with false by the last EndUpdate.
    virtual void SetUpdateState(bool /*updating*/) {}

    [[noreturn]] static void Error(const std::string& message, int data);

private:
    // Replaces the line at index, or adds it when index is -1.
    void PutLine(int index, const std::string& line);
    std::string DelimitedTextWith(char delimiter, char quote) const;
    void SetDelimitedTextWith(const std::string& text, char delimiter, char quote);

    int FUpdateCount = 0;
    char FDelimiter = ',';
    char FQuoteChar = '"';
    char FNameValueSeparator = '=';
};

class TStringListStore;

class TStringList : public TStrings {
    TESS_CLASS(TStringList, TStrings)
public:
    using TStringListSortCompare = std::function<int(TStringList* List, int Index1, int Index2)>;

    TStringList();
    ~TStringList() override;

    int Add(const std::string& s) override;
    int AddObject(const std::string& s, TObject* object) override;
    void Clear() override;
    void Delete(int index) override;
    void Exchange(int index1, int index2) override;
    // Raises EStringListError "Operation not allowed on sorted string list" when sorted.
    void Insert(int index, const std::string& s) override;
    void InsertObject(int index, const std::string& s, TObject* object) override;
    // Raises on a sorted list before changing anything.
    void Move(int curIndex, int newIndex) override;
    int IndexOf(const std::string& s) const override;

    // Binary search of a sorted list: true when found; index is where s is or would go.
    virtual bool Find(const std::string& s, int& index) const;
    virtual void Sort();
    virtual void CustomSort(const TStringListSortCompare& compare);

    bool Sorted() const { return FSorted; }
    void SetSorted(bool value);
    // dupError raises EStringListError "String list does not allow duplicates".
    TDuplicates Duplicates() const { return FDuplicates; }
    void SetDuplicates(TDuplicates value) { FDuplicates = value; }
    // Off by default: strings compare with AnsiCompareText, otherwise AnsiCompareStr.
    bool CaseSensitive() const { return FCaseSensitive; }
    void SetCaseSensitive(bool value);

    int CompareStrings(const std::string& s1, const std::string& s2) const override;

    TNotifyEvent OnChange;
    TNotifyEvent OnChanging;

protected:
    std::string Get(int index) const override;
    void Put(int index, const std::string& s) override;
    TObject* GetObject(int index) const override;
    void PutObject(int index, TObject* object) override;
    int GetCount() const override;
    void SetUpdateState(bool updating) override;

    virtual void Changed();
    virtual void Changing();
    void InsertItem(int index, const std::string& s, TObject* object);

private:
    void CheckIndex(int index) const;
    void QuickSort(int left, int right, const TStringListSortCompare& compare);

    std::unique_ptr<TStringListStore> FStore;
    bool FSorted = false;
    bool FCaseSensitive = false;
    TDuplicates FDuplicates = dupIgnore;
};

class TCollection;

// An item of a collection. Destroying an item takes it out of its collection.
class TCollectionItem : public TPersistent {
    TESS_CLASS(TCollectionItem, TPersistent)
public:
    explicit TCollectionItem(TCollection* Collection);
    ~TCollectionItem() override;
    TCollectionItem(const TCollectionItem&) = delete;
    TCollectionItem& operator=(const TCollectionItem&) = delete;

    TCollection* Collection() const { return FCollection; }
    // Moves the item from its collection to another one (nullptr: to none, the caller owns it).
    void SetCollection(TCollection* value);
    // The position in the collection, -1 without one.
    int Index() const;
    void SetIndex(int value);
    // Unique within the collection, never reused.
    int ID() const { return FID; }
    virtual std::string DisplayName() const { return ClassName(); }

protected:
    // Tells the collection that this item (or, with allItems, every item) changed.
    void Changed(bool allItems);

private:
    friend class TCollection;
    TCollection* FCollection = nullptr;
    int FID = 0;
};

using TCollectionItemFactory = std::function<TCollectionItem*(TCollection* Collection)>;

// Owns its items. Bad indexes raise EListError "List index out of bounds (%d)".
class TCollection : public TPersistent {
    TESS_CLASS(TCollection, TPersistent)
public:
    explicit TCollection(TCollectionItemFactory itemFactory);
    ~TCollection() override;
    TCollection(const TCollection&) = delete;
    TCollection& operator=(const TCollection&) = delete;

    TCollectionItem* Add();
    TCollectionItem* Insert(int index);
    void Delete(int index);
    void Clear();
    int Count() const { return static_cast<int>(FItems.size()); }
    TCollectionItem* Items(int index) const;
    // Assigns value to the item at index.
    void SetItems(int index, TCollectionItem* value);
    TCollectionItem* FindItemID(int id) const;
    void Assign(TPersistent* Source) override;

    void BeginUpdate() { ++FUpdateCount; }
    void EndUpdate();
    int UpdateCount() const { return FUpdateCount; }

protected:
    // Called after a change while no update is pending: item is the changed item, or nullptr
    // when the whole collection changed.
    virtual void Update(TCollectionItem* /*Item*/) {}
    void Changed();

private:
    friend class TCollectionItem;
    void InsertItem(TCollectionItem* item);
    void RemoveItem(TCollectionItem* item);

    TCollectionItemFactory FItemFactory;
    std::vector<TCollectionItem*> FItems;
    int FUpdateCount = 0;
    int FNextID = 0;
};

// A growable array of bits. Negative indexes raise EBitsError "Bits index out of range".
class TBits : public TObject {
    TESS_CLASS(TBits, TObject)
public:
    int Size() const { return static_cast<int>(FBits.size()); }
    void SetSize(int value);
    // Reading beyond Size raises; writing beyond Size grows the array.
    bool Bits(int index) const;
    void SetBits(int index, bool value);
    // The index of the first false bit, Size when every bit is set.
    int OpenBit() const;

private:
    std::vector<bool> FBits;
};
