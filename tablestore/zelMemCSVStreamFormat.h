#pragma once
// The CSV table format: a table as delimited text. An optional definition block describing the
// fields and indexes, an optional header line naming the columns, then one line per record.
// Texts travel as coded text (one line per record whatever they hold), binary values as 6-bit
// text, numbers and dates under neutral settings so that a file reads the same on any machine.

#include "platform/rtl/FormatSettings.h"
#include "tablestore/zelMemTable.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

enum TzelFormatLocalFormatOption { sfSaveLocalFormat, sfLoadLocalFormat };
enum TzelFormatQuoteOnlyStringsOption { sfSaveQuoteOnlyStrings };
enum TzelFormatNoHeaderOption { sfSaveNoHeader, sfLoadNoHeader };
enum TzelFormatPlaceHoldersOption { sfSavePlaceholders };

using TzelFormatLocalFormatOptions = TEnumSet<TzelFormatLocalFormatOption>;
using TzelFormatQuoteOnlyStringsOptions = TEnumSet<TzelFormatQuoteOnlyStringsOption>;
using TzelFormatNoHeaderOptions = TEnumSet<TzelFormatNoHeaderOption>;
using TzelFormatPlaceHoldersOptions = TEnumSet<TzelFormatPlaceHoldersOption>;

// Called with a value's text just after it is made (save) or just after it is read (load); the
// handler may change the text and whether the value is null.
using TzelFormatFieldEvent =
    std::function<void(TObject* Sender, TField* Field, bool& Null, std::string& Data)>;

// Coded text: "%" -> "%%", byte 0 -> "%0", LF -> "%n", CR -> "%c". Decoding turns "%" and any
// other character into that character and drops a "%" that ends the text.
std::string StringToCodedString(const std::string& Value);
std::string CodedStringToString(const std::string& Value);
// 6-bit text: the bytes as one bit sequence, least significant bit first, cut into groups of
// six bits, each written as the character 32 + its value. n bytes give (4n + 2) / 3 characters;
// n characters give (3n) / 4 bytes, left-over bits dropped. Not standard Base64.
std::string StringToBase64(const std::string& Value);
std::string Base64ToString(const std::string& Value);

class TzelCustomCSVStreamFormat : public TzelCustomStreamFormat {
    TESS_CLASS(TzelCustomCSVStreamFormat, TzelCustomStreamFormat)
public:
    explicit TzelCustomCSVStreamFormat(TComponent* AOwner);
    ~TzelCustomCSVStreamFormat() override;

    // The character 0 means values are never quoted.
    char CSVQuote() const { return FCSVQuote; }
    void SetCSVQuote(char Value) { FCSVQuote = Value; }
    // Assigning the character 0 is ignored.
    char CSVFieldDelimiter() const { return FCSVFieldDelimiter; }
    void SetCSVFieldDelimiter(char Value);
    // Written at the end of every header and record line; the character 0 means none.
    char CSVRecordDelimiter() const { return FCSVRecordDelimiter; }
    void SetCSVRecordDelimiter(char Value) { FCSVRecordDelimiter = Value; }
    const std::string& CSVTrueString() const { return FCSVTrueString; }
    void SetCSVTrueString(const std::string& Value) { FCSVTrueString = Value; }
    const std::string& CSVFalseString() const { return FCSVFalseString; }
    void SetCSVFalseString(const std::string& Value) { FCSVFalseString = Value; }

    // From another CSV format its delimiters, texts, local-format and placeholder options, then
    // the base option sets.
    void Assign(TPersistent* Source) override;

    std::string GetVersion() override;
    void BeforeSave(TzelCustomMemTable* Table) override;
    void SaveDef(TzelCustomMemTable* Table) override;
    void SaveData(TzelCustomMemTable* Table) override;
    void AfterSave(TzelCustomMemTable* Table) override;
    void DetermineLoadFieldIDs(TzelCustomMemTable* Table, TStrings* FieldIDs,
                               TzelDetermineLoadFieldsSituation Situation) override;
    void DetermineLoadFieldIndex(TzelCustomMemTable* Table, const std::string& ID,
                                 int FieldCount, int OrigIndex, int& FieldIndex,
                                 TzelDetermineLoadFieldsSituation Situation) override;
    void BeforeLoad(TzelCustomMemTable* Table) override;
    void LoadDef(TzelCustomMemTable* Table) override;
    void LoadData(TzelCustomMemTable* Table) override;
    void AfterLoad(TzelCustomMemTable* Table) override;

    // Refills the read buffer with up to 8192 bytes; false at the end of the stream.
    virtual bool GetChunk();
    // Reads the next line into the current line; a line ends at a run of CR, LF or byte-0
    // characters, all consumed. False when the stream holds no further line.
    virtual bool GetLine();
    // The next value of the current line and whether it is null; false when the line has no
    // characters left.
    virtual bool GetWord(std::string& Word, bool& Null);

    TzelFormatLocalFormatOptions sfLocalFormat;
    TzelFormatQuoteOnlyStringsOptions sfQuoteOnlyStrings;
    TzelFormatNoHeaderOptions sfNoHeader;
    TzelFormatPlaceHoldersOptions sfPlaceHolders;

    TzelFormatFieldEvent OnFormatSaveField;
    TzelFormatFieldEvent OnFormatLoadField;

protected:
    const std::string& CurrentLine() const { return FLine; }

private:
    void InstallNeutralSettings();
    void RestoreSettings();
    std::string Quoted(const std::string& Value, char Quote) const;
    // Quoted with CSVQuote, or checked to be safe without quotes.
    std::string QuotedValue(const std::string& Value, bool Quote, TField* Field) const;
    // The same, appended to Line.
    void AppendValue(std::string& Line, const std::string& Value, bool Quote, TField* Field) const;
    void WriteText(const std::string& Text);
    void SaveFieldDef(TField* Field);
    void SaveIndexDefs(TzelCustomMemTable* Table);
    void SaveHeader(TzelCustomMemTable* Table);
    void SaveRecord(TzelCustomMemTable* Table, TzelRecord* Record, std::string& Line);
    std::string ValueText(TzelCustomMemTable* Table, TzelRecord* Record, TField* Field);
    std::string UnquotedLine() const;
    void LoadFieldDef(TzelCustomMemTable* Table, const std::string& FirstValue);
    void LoadIndexDef(TzelCustomMemTable* Table);
    void LoadRecords(TzelCustomMemTable* Table);
    void LoadRecord(TzelCustomMemTable* Table, TzelRecord* Record);
    void LoadValue(TzelCustomMemTable* Table, TzelRecord* Record, TField* Field,
                   const std::string& Text);
    void AcceptRecord(TzelCustomMemTable* Table, TzelRecord* Record);

    char FCSVQuote = '"';
    char FCSVFieldDelimiter = ',';
    char FCSVRecordDelimiter = ',';
    std::string FCSVTrueString = "True";
    std::string FCSVFalseString = "False";

    std::unique_ptr<TFormatSettings> FKeptSettings;
    std::string FOut;
    std::string FBuffer;
    int FBufferPos = 0;
    int FBufferLen = 0;
    int FChunkCount = 0;
    std::int64_t FStreamSize = 0;
    bool FStreamEnded = false;
    std::string FLine;
    std::size_t FLinePos = 0;
    bool FHasLine = false;
    bool FIndexDefsLoaded = false;
    bool FUsingHeader = false;
    TzelCustomMemTable* FTableForProgress = nullptr;
    // The table's unique indexes, kept in order while the load runs without index maintenance.
};

class TzelCSVStreamFormat : public TzelCustomCSVStreamFormat {
    TESS_CLASS(TzelCSVStreamFormat, TzelCustomCSVStreamFormat)
public:
    explicit TzelCSVStreamFormat(TComponent* AOwner) : TzelCustomCSVStreamFormat(AOwner) {}
};
