#include "tablestore/zelFieldList.h"

#include "platform/rtl/Collation.h"
#include "platform/rtl/TextUtils.h"
#include "tablestore/zelCommon.h"

#include <algorithm>
#include <cstring>

namespace {

template <typename T>
T ValueOf(const void* buffer)
{
    T value;
    std::memcpy(&value, buffer, sizeof value);
    return value;
}

template <typename T>
int Sign(T key, T value)
{
    if (key < value)
        return -1;
    if (key > value)
        return 1;
    return 0;
}

unsigned char FoldAscii(unsigned char c)
{
    return (c >= 'a' && c <= 'z') ? static_cast<unsigned char>(c - 'a' + 'A') : c;
}

// Character codes as unsigned bytes; a text that is a prefix of the other sorts first.
int CompareBytes(const char* key, std::size_t keyLength, const char* value,
                 std::size_t valueLength, bool caseInsensitive)
{
    const std::size_t common = std::min(keyLength, valueLength);
    for (std::size_t i = 0; i < common; ++i) {
        unsigned char k = static_cast<unsigned char>(key[i]);
        unsigned char v = static_cast<unsigned char>(value[i]);
        if (caseInsensitive) {
            k = FoldAscii(k);
            v = FoldAscii(v);
        }
        if (k != v)
            return k < v ? -1 : 1;
    }
    return Sign(keyLength, valueLength);
}

int CompareStrings(const char* key, const char* value, bool& fullCompare,
                   TzelMemTableCompareOptions options, std::uint32_t localeID)
{
    const std::size_t keyLength = std::strlen(key);
    std::size_t valueLength = std::strlen(value);
    if (options.Contains(mtcoPartialKey)) {
        fullCompare = keyLength == valueLength;
        valueLength = std::min(keyLength, valueLength);
    }
    const bool caseInsensitive = options.Contains(mtcoCaseInsensitive);
    if (options.Contains(mtcoIgnoreLocale))
        return CompareBytes(key, keyLength, value, valueLength, caseInsensitive);
    const int result =
        CompareStringA(localeID, caseInsensitive ? NORM_IGNORECASE : 0, key,
                       static_cast<int>(keyLength), value, static_cast<int>(valueLength));
    if (result == 0)
        RAISE(EMemTableError("Invalid locale. " + IntToStr(localeID)));
    return result - CSTR_EQUAL;
}

std::vector<std::string> SplitNames(const std::string& names)
{
    std::vector<std::string> result;
    std::size_t position = 0;
    while (position < names.size()) {
        std::size_t end = names.find(';', position);
        if (end == std::string::npos)
            end = names.size();
        std::string name = Trim(names.substr(position, end - position));
        if (!name.empty())
            result.push_back(std::move(name));
        position = end + 1;
    }
    return result;
}

TzelMemTableCompareOptions OptionsFromLetters(const std::string& letters)
{
    const std::string upper = UpperCase(letters);
    TzelMemTableCompareOptions options;
    const auto has = [&](char letter) { return upper.find(letter) != std::string::npos; };
    if (has('C'))
        options.Include(mtcoCaseInsensitive);
    if (has('D'))
        options.Include(mtcoDescending);
    if (has('N'))
        options.Include(mtcoIgnoreNullKey);
    if (has('P'))
        options.Include(mtcoPartialKey);
    if (has('L'))
        options.Include(mtcoIgnoreLocale);
    return options;
}

} // namespace

TzelMemTableCompareOptions CompareOptionsFromBits(std::uint32_t bits)
{
    TzelMemTableCompareOptions options;
    for (int option = mtcoDescending; option <= mtcoNonMaintained; ++option)
        if (bits & (1u << option))
            options.Include(static_cast<TzelMemTableCompareOption>(option));
    return options;
}

// --- TzelFieldList ---

int TzelFieldList::Add(TField* Field, TzelMemTableCompareOptions Options)
{
    FFields.push_back(Field);
    FOptions.push_back(Options);
    return GetCount() - 1;
}

void TzelFieldList::Clear()
{
    FFields.clear();
    FOptions.clear();
}

int TzelFieldList::IndexOf(TField* Field) const
{
    const auto found = std::find(FFields.begin(), FFields.end(), Field);
    return found == FFields.end() ? -1 : static_cast<int>(found - FFields.begin());
}

void TzelFieldList::AssignTo(TzelFieldList& Target) const
{
    if (&Target == this)
        return;
    Target.Clear();
    for (int i = 0; i < GetCount(); ++i)
        Target.Add(Get(i), GetVal(i));
}

// --- Field-name texts ---

bool BuildFieldList(TDataSet* DataSet, TzelFieldList* List, const std::string& FieldNames)
{
    List->Clear();
    bool addedCalculated = false;
    for (const std::string& item : SplitNames(FieldNames)) {
        std::string name = item;
        TzelMemTableCompareOptions options;
        const std::size_t colon = item.find(':');
        if (colon != std::string::npos) {
            name = Trim(item.substr(0, colon));
            options = OptionsFromLetters(item.substr(colon + 1));
        }
        TField* field = DataSet->FieldByName(name);
        if (!IsIndexableFieldType(field->DataType()))
            DatabaseErrorFmt("Can't index on field %s", {field->DisplayName()});
        List->Add(field, options);
        if (field->FieldKind() == fkCalculated)
            addedCalculated = true;
    }
    return addedCalculated;
}

void SetFieldListOptions(TzelFieldList* List, TzelMemTableCompareOption Option,
                         const std::string& FieldNames)
{
    const std::vector<std::string> names = SplitNames(FieldNames);
    for (int i = 0; i < List->GetCount(); ++i) {
        const std::string& fieldName = List->Get(i)->FieldName();
        const bool named = std::any_of(names.begin(), names.end(), [&](const std::string& name) {
            return SameText(name, fieldName);
        });
        TzelMemTableCompareOptions options = List->GetVal(i);
        if (named)
            options.Include(Option);
        else
            options.Exclude(Option);
        List->PutVal(i, options);
    }
}

bool IsFieldListsEqual(const TzelFieldList* List1, const TzelFieldList* List2)
{
    if (List1->GetCount() != List2->GetCount())
        return false;
    for (int i = 0; i < List1->GetCount(); ++i)
        if (List1->Get(i) != List2->Get(i))
            return false;
    return true;
}

TField* FindFieldInList(const TzelFieldList* List, const std::string& FieldName)
{
    for (int i = 0; i < List->GetCount(); ++i)
        if (List->Get(i)->FieldName() == FieldName)
            return List->Get(i);
    return nullptr;
}

bool IsIndexableFieldType(TFieldType FieldType)
{
    return (FieldType >= ftString && FieldType <= ftDateTime) || FieldType == ftAutoInc;
}

// --- Values ---

int CompareFields(const void* KeyValue, const void* FieldValue, TFieldType FieldType,
                  bool& FullCompare, TzelMemTableCompareOptions Options, std::uint32_t LocaleID)
{
    FullCompare = true;
    int result = 0;
    switch (FieldType) {
    case ftString:
        result = CompareStrings(static_cast<const char*>(KeyValue),
                                static_cast<const char*>(FieldValue), FullCompare, Options,
                                LocaleID);
        break;
    case ftSmallint:
        result = Sign(ValueOf<std::int16_t>(KeyValue), ValueOf<std::int16_t>(FieldValue));
        break;
    case ftWord:
        result = Sign(ValueOf<std::uint16_t>(KeyValue), ValueOf<std::uint16_t>(FieldValue));
        break;
    case ftInteger:
    case ftAutoInc:
    case ftDate:
    case ftTime:
        result = Sign(ValueOf<std::int32_t>(KeyValue), ValueOf<std::int32_t>(FieldValue));
        break;
    case ftBoolean:
        result = Sign(ValueOf<std::int16_t>(KeyValue) != 0, ValueOf<std::int16_t>(FieldValue) != 0);
        break;
    case ftFloat:
    case ftCurrency:
        result = Sign(ValueOf<double>(KeyValue), ValueOf<double>(FieldValue));
        break;
    case ftDateTime:
        result = Sign(ValueOf<double>(KeyValue) - ValueOf<double>(FieldValue), 0.0);
        break;
    default:
        break;
    }
    if (Options.Contains(mtcoDescending))
        result = -result;
    return result;
}

TzelMemTableCompareOptions IndexOptions2CompareOptions(TIndexOptions Options)
{
    TzelMemTableCompareOptions result;
    if (Options.Contains(ixUnique))
        result.Include(mtcoUnique);
    if (Options.Contains(ixDescending))
        result.Include(mtcoDescending);
    if (Options.Contains(ixCaseInsensitive))
        result.Include(mtcoCaseInsensitive);
    return result;
}

TIndexOptions CompareOptions2IndexOptions(TzelMemTableCompareOptions Options)
{
    TIndexOptions result;
    if (Options.Contains(mtcoUnique))
        result.Include(ixUnique);
    if (Options.Contains(mtcoDescending))
        result.Include(ixDescending);
    if (Options.Contains(mtcoCaseInsensitive))
        result.Include(ixCaseInsensitive);
    return result;
}
