#pragma once
// The binary table file format: every table file of the program. A table is written as tagged
// values (tablestore/Filer.h): the signature, the file version, the field definitions, the index
// definitions and the records, each record with its update status and, on request, its older
// versions. Files of the older versions 100 to 250 are read as well; saves always write 251.

#include "tablestore/Filer.h"
#include "tablestore/zelMemTable.h"

#include <memory>
#include <string>

enum TzelFormatUsingIndexOption { sfSaveUsingIndex };
using TzelFormatUsingIndexOptions = TEnumSet<TzelFormatUsingIndexOption>;

// The file version every save writes.
inline constexpr int ZEL_BINARY_FILE_VERSION = 251;
// The smallest buffer of the value reader and writer.
inline constexpr int ZEL_BINARY_MIN_BUFFER = 16384;

// Indexed by the field type number.
extern const char* const FieldTypeNames[23];
// Indexed by the field kind.
extern const char* const FieldKindNames[5];

class TzelCustomBinaryStreamFormat : public TzelCustomStreamFormat {
    TESS_CLASS(TzelCustomBinaryStreamFormat, TzelCustomStreamFormat)
public:
    explicit TzelCustomBinaryStreamFormat(TComponent* AOwner);
    ~TzelCustomBinaryStreamFormat() override;

    int BufferSize() const { return FBufferSize; }
    // A value below 16384 becomes 16384.
    void SetBufferSize(int Value);
    // The file version read by the current load.
    int FileVersion() const { return FFileVersion; }

    std::string GetVersion() override;
    void BeforeSave(TzelCustomMemTable* Table) override;
    void SaveDef(TzelCustomMemTable* Table) override;
    void SaveData(TzelCustomMemTable* Table) override;
    void AfterSave(TzelCustomMemTable* Table) override;
    void BeforeLoad(TzelCustomMemTable* Table) override;
    void LoadDef(TzelCustomMemTable* Table) override;
    void LoadData(TzelCustomMemTable* Table) override;
    void AfterLoad(TzelCustomMemTable* Table) override;

    TzelFormatUsingIndexOptions sfUsingIndex{sfSaveUsingIndex};

private:
    void SaveFieldDefs(TzelCustomMemTable* Table);
    void SaveIndexDefs(TzelCustomMemTable* Table);
    bool SkipRecordOnSave(TzelCustomMemTable* Table, TzelRecord* Record);
    void SaveRecord(TzelCustomMemTable* Table, TzelRecord* Record);
    void SaveValue(TzelCustomMemTable* Table, TzelRecord* Record, TField* Field);
    void LoadFieldDef(TzelCustomMemTable* Table);
    void LoadIndexDefs(TzelCustomMemTable* Table, bool StructureReplaced);
    void LoadRecords(TzelCustomMemTable* Table);
    // Reads one record entry, with its older versions, into Record.
    void LoadRecord(TzelCustomMemTable* Table, TzelRecord* Record);
    void LoadValue(TzelCustomMemTable* Table, TzelRecord* Record, TField* Field);
    void AcceptRecord(TzelCustomMemTable* Table, TzelRecord* Record);

    int FBufferSize = ZEL_BINARY_MIN_BUFFER;
    std::unique_ptr<TWriter> FWriter;
    std::unique_ptr<TReader> FReader;
    int FFileVersion = ZEL_BINARY_FILE_VERSION;
    bool FIndexDefsLoaded = false;
    std::int64_t FStreamSize = 0;
    int FRecordCounter = 0;
    // The text of the value being loaded, its memory reused from value to value.
    std::string FText;
};

class TzelBinaryStreamFormat : public TzelCustomBinaryStreamFormat {
    TESS_CLASS(TzelBinaryStreamFormat, TzelCustomBinaryStreamFormat)
public:
    explicit TzelBinaryStreamFormat(TComponent* AOwner) : TzelCustomBinaryStreamFormat(AOwner) {}
};
