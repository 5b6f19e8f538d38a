#pragma once
// The report values: named values that point to a data-set field, a special variable or an
// expression.

#include "platform/rtl/Lists.h"

#include <cstdint>
#include <memory>
#include <string>

class TDataSet;
class TStream;

enum TrpValueType : std::uint8_t { vtNotAssigned, vtDBField, vtOther, vtFRVar };

class TrpValue : public TObject {
    TESS_CLASS(TrpValue, TObject)
public:
    TrpValueType Kind = vtNotAssigned;
    // For vtOther: 1 an expression in FieldText, any other number a special value.
    std::int32_t OtherKind = 0;
    std::string DataSetName;
    std::string FieldText;
    // Resolved from DataSetName before a build; not stored.
    TDataSet* DataSetRef = nullptr;
};

// Names (compared without regard to case) and their values, which the list owns.
class TrpValues : public TObject {
    TESS_CLASS(TrpValues, TObject)
public:
    TrpValues();
    ~TrpValues() override;
    TrpValues(const TrpValues&) = delete;
    TrpValues& operator=(const TrpValues&) = delete;

    // An empty value with an empty name; returns its index.
    int AddValue();
    TrpValue* GetValue(int index) const;
    // nullptr when no value has the name.
    TrpValue* FindVariable(const std::string& name) const;
    int Count() const { return Items->Count(); }
    void Clear();

    // A 32-bit count, then per value its kind, OtherKind and three texts of up to 255 bytes
    // (data set, field, name). Reading clears the values and keeps the file's order; writing
    // raises EWriteError, before writing, for a longer text.
    void ReadBinaryData(TStream& stream);
    void WriteBinaryData(TStream& stream);

    // The names; the objects are the TrpValue records.
    const std::unique_ptr<TStringList> Items;
};
