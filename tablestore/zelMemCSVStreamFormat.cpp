#include "tablestore/zelMemCSVStreamFormat.h"

#include "tablestore/zelMemBinaryStreamFormat.h"

#include "platform/db/StdFields.h"
#include "platform/rtl/Formats.h"
#include "platform/rtl/Lists.h"
#include "platform/rtl/Streams.h"
#include "platform/rtl/TextUtils.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

namespace {

constexpr int ChunkSize = 8192;
// Written text is handed to the stream in pieces of about this size.
constexpr std::size_t FlushSize = 65536;

const char* const FileVersionMark = "@@FILE VERSION@@";
const char* const TableDefStartMark = "@@TABLEDEF START@@";
const char* const TableDefEndMark = "@@TABLEDEF END@@";
const char* const IndexDefStartMark = "@@INDEXDEF START@@";
const char* const IndexDefEndMark = "@@INDEXDEF END@@";

bool IsTextType(TFieldType Type)
{
    return Type == ftString || Type == ftMemo || Type == ftFmtMemo;
}

bool IsBinaryType(TFieldType Type)
{
    switch (Type) {
    case ftBytes:
    case ftVarBytes:
    case ftBlob:
    case ftGraphic:
    case ftParadoxOle:
    case ftDBaseOle:
    case ftTypedBinary:
        return true;
    default:
        return false;
    }
}

int FindCsvName(const char* const* Names, int Count, const std::string& Name)
{
    for (int i = 0; i < Count; ++i)
        if (Name == Names[i])
            return i;
    return -1;
}

// The width a definition records: the field's own, or the type's default.
int CsvDisplayWidth(TField* Field)
{
    if (Field->DataType() == ftBCD) {
        auto* bcd = static_cast<TBCDField*>(Field);
        if (bcd->Precision() > 0 && Field->DisplayWidth() == 10)
            return bcd->Precision() + 1;
    }
    return Field->DisplayWidth();
}

// Items separated by commas or blanks; an item starting with a double quote runs to its closing
// double quote, two in a row standing for one; blanks around items are ignored.
std::vector<std::string> SplitCommaText(const std::string& Text)
{
    std::vector<std::string> items;
    std::size_t pos = 0;
    const std::size_t size = Text.size();
    auto skipBlanks = [&] {
        while (pos < size && static_cast<unsigned char>(Text[pos]) <= ' ')
            ++pos;
    };
    skipBlanks();
    while (pos < size) {
        std::string item;
        if (Text[pos] == '"') {
            ++pos;
            while (pos < size) {
                if (Text[pos] == '"') {
                    if (pos + 1 < size && Text[pos + 1] == '"') {
                        item += '"';
                        pos += 2;
                        continue;
                    }
                    ++pos;
                    break;
                }
                item += Text[pos++];
            }
        } else {
            while (pos < size && Text[pos] != ',' && static_cast<unsigned char>(Text[pos]) > ' ')
                item += Text[pos++];
        }
        items.push_back(item);
        skipBlanks();
        if (pos < size && Text[pos] == ',') {
            ++pos;
            skipBlanks();
            if (pos >= size)
                items.emplace_back();
        }
    }
    return items;
}

std::string Item(const std::vector<std::string>& Items, std::size_t Index)
{
    return Index < Items.size() ? Items[Index] : std::string();
}

bool Holds(const std::string& Text, const char* Mark)
{
    return Text.find(Mark) != std::string::npos;
}

} // namespace

// --- Codings -------------------------------------------------------------------------------------

std::string StringToCodedString(const std::string& Value)
{
    const auto needsCode = [](char c) { return c == '%' || c == '\0' || c == '\n' || c == '\r'; };
    const std::size_t size = Value.size();
    std::size_t first = 0;
    while (first < size && !needsCode(Value[first]))
        ++first;
    if (first == size)
        return Value;
    std::string result;
    result.reserve(size + 8);
    result.append(Value, 0, first);
    for (std::size_t i = first; i < size; ++i) {
        const char c = Value[i];
        switch (c) {
        case '%':
            result += "%%";
            break;
        case '\0':
            result += "%0";
            break;
        case '\n':
            result += "%n";
            break;
        case '\r':
            result += "%c";
            break;
        default:
            result += c;
            break;
        }
    }
    return result;
}

std::string CodedStringToString(const std::string& Value)
{
    std::size_t percent = Value.find('%');
    if (percent == std::string::npos)
        return Value;
    std::string result;
    result.reserve(Value.size());
    std::size_t from = 0;
    while (percent != std::string::npos) {
        result.append(Value, from, percent - from);
        if (percent + 1 >= Value.size())
            return result;
        const char code = Value[percent + 1];
        switch (code) {
        case '0':
            result += '\0';
            break;
        case 'n':
            result += '\n';
            break;
        case 'c':
            result += '\r';
            break;
        default:
            result += code;
            break;
        }
        from = percent + 2;
        percent = Value.find('%', from);
    }
    result.append(Value, from, std::string::npos);
    return result;
}

std::string StringToBase64(const std::string& Value)
{
    std::string result;
    result.reserve((4 * Value.size() + 2) / 3);
    unsigned bits = 0;
    int bitCount = 0;
    for (unsigned char c : Value) {
        bits |= static_cast<unsigned>(c) << bitCount;
        bitCount += 8;
        while (bitCount >= 6) {
            result += static_cast<char>(32 + (bits & 63));
            bits >>= 6;
            bitCount -= 6;
        }
    }
    if (bitCount > 0)
        result += static_cast<char>(32 + (bits & 63));
    return result;
}

std::string Base64ToString(const std::string& Value)
{
    std::string result;
    result.reserve(3 * Value.size() / 4);
    unsigned bits = 0;
    int bitCount = 0;
    for (unsigned char c : Value) {
        bits |= ((static_cast<unsigned>(c) - 32) & 63) << bitCount;
        bitCount += 6;
        if (bitCount >= 8) {
            result += static_cast<char>(bits & 255);
            bits >>= 8;
            bitCount -= 8;
        }
    }
    return result;
}

// --- The format ----------------------------------------------------------------------------------

TzelCustomCSVStreamFormat::TzelCustomCSVStreamFormat(TComponent* AOwner)
    : TzelCustomStreamFormat(AOwner)
{
}

TzelCustomCSVStreamFormat::~TzelCustomCSVStreamFormat()
{
    RestoreSettings();
}

void TzelCustomCSVStreamFormat::SetCSVFieldDelimiter(char Value)
{
    if (Value != '\0')
        FCSVFieldDelimiter = Value;
}

void TzelCustomCSVStreamFormat::Assign(TPersistent* Source)
{
    if (auto* other = dynamic_cast<TzelCustomCSVStreamFormat*>(Source)) {
        FCSVQuote = other->FCSVQuote;
        SetCSVFieldDelimiter(other->FCSVFieldDelimiter);
        FCSVRecordDelimiter = other->FCSVRecordDelimiter;
        FCSVTrueString = other->FCSVTrueString;
        FCSVFalseString = other->FCSVFalseString;
        sfLocalFormat = other->sfLocalFormat;
        sfPlaceHolders = other->sfPlaceHolders;
    }
    TzelCustomStreamFormat::Assign(Source);
}

std::string TzelCustomCSVStreamFormat::GetVersion()
{
    return "3.00";
}

void TzelCustomCSVStreamFormat::InstallNeutralSettings()
{
    FKeptSettings = std::make_unique<TFormatSettings>(FormatSettings());
    TFormatSettings& settings = FormatSettings();
    settings.DateSeparator = '/';
    settings.TimeSeparator = ':';
    settings.ThousandSeparator = ',';
    settings.DecimalSeparator = '.';
    settings.ShortDateFormat = "dd/mm/yyyy";
    // The user's time formats may hold literal characters that the ":" separator would not read
    // back; ":" here stands for the time separator.
    settings.ShortTimeFormat = "hh:nn";
    settings.LongTimeFormat = "hh:nn:ss";
    settings.CurrencyString.clear();
    settings.CurrencyFormat = 0;
    settings.NegCurrFormat = 1;
}

void TzelCustomCSVStreamFormat::RestoreSettings()
{
    if (!FKeptSettings)
        return;
    FormatSettings() = *FKeptSettings;
    FKeptSettings.reset();
}

// --- Saving --------------------------------------------------------------------------------------

void TzelCustomCSVStreamFormat::BeforeSave(TzelCustomMemTable* Table)
{
    if (sfDeltas.Contains(sfSaveDeltas))
        RAISE(EMemTableError("Saving deltas is supported only in binary format."));
    FOut.clear();
    TzelCustomStreamFormat::BeforeSave(Table);
    if (!sfLocalFormat.Contains(sfSaveLocalFormat))
        InstallNeutralSettings();
}

std::string TzelCustomCSVStreamFormat::Quoted(const std::string& Value, char Quote) const
{
    if (Quote == '\0')
        return Value;
    std::string result;
    result.reserve(Value.size() + 4);
    result += Quote;
    std::size_t from = 0;
    for (std::size_t q = Value.find(Quote); q != std::string::npos; q = Value.find(Quote, from)) {
        result.append(Value, from, q + 1 - from);
        result += Quote;
        from = q + 1;
    }
    result.append(Value, from, std::string::npos);
    result += Quote;
    return result;
}

void TzelCustomCSVStreamFormat::AppendValue(std::string& Line, const std::string& Value,
                                            bool Quote, TField* Field) const
{
    const char quote = FCSVQuote;
    if (!Quote || quote == '\0') {
        Line += QuotedValue(Value, false, Field);
        return;
    }
    Line += quote;
    std::size_t from = 0;
    for (std::size_t q = Value.find(quote); q != std::string::npos; q = Value.find(quote, from)) {
        Line.append(Value, from, q + 1 - from);
        Line += quote;
        from = q + 1;
    }
    Line.append(Value, from, std::string::npos);
    Line += quote;
}

std::string TzelCustomCSVStreamFormat::QuotedValue(const std::string& Value, bool Quote,
                                                   TField* Field) const
{
    if (Quote && FCSVQuote != '\0')
        return Quoted(Value, FCSVQuote);
    // Written as it stands, a delimiter or line break inside would split the row on load.
    for (char c : Value) {
        if (c == FCSVFieldDelimiter || (FCSVRecordDelimiter != '\0' && c == FCSVRecordDelimiter) ||
            c == '\r' || c == '\n' || c == '\0')
            RAISE(EMemTableError(
                Format("Cannot write field %s without quotes: its value contains a delimiter.",
                       {Field->FieldName()})));
    }
    return Value;
}

void TzelCustomCSVStreamFormat::WriteText(const std::string& Text)
{
    FOut += Text;
    if (FOut.size() >= FlushSize) {
        FWorkStream->WriteBuffer(FOut.data(), static_cast<int>(FOut.size()));
        FOut.clear();
    }
}

void TzelCustomCSVStreamFormat::SaveDef(TzelCustomMemTable* Table)
{
    if (sfDef.Contains(sfSaveDef)) {
        WriteText(Quoted(FileVersionMark, FCSVQuote) + FCSVFieldDelimiter +
                  Quoted(std::to_string(ZEL_BINARY_FILE_VERSION), FCSVQuote) + "\r\n");
        WriteText(Quoted(TableDefStartMark, FCSVQuote) + "\r\n");
        const bool placeholders = sfPlaceHolders.Contains(sfSavePlaceholders);
        for (int i = 0; i < FSaveFieldsCount; ++i)
            if (FSaveFields[i] >= 0 || placeholders)
                SaveFieldDef(Table->Fields().Fields(i));
        if (sfIndexDef.Contains(sfSaveIndexDef))
            SaveIndexDefs(Table);
        WriteText(Quoted(TableDefEndMark, FCSVQuote) + "\r\n");
    }
    if (!sfNoHeader.Contains(sfSaveNoHeader))
        SaveHeader(Table);
}

void TzelCustomCSVStreamFormat::SaveFieldDef(TField* Field)
{
    const int type = Field->DataType();
    const int kind = Field->FieldKind();
    std::string line = Field->FieldName() + "=" +
                       (type >= 0 && type <= ftCursor ? FieldTypeNames[type] : "Unknown") + "," +
                       std::to_string(Field->Size()) + "," + Quoted(Field->DisplayName(), '"') +
                       "," + Quoted(Field->EditMask(), '"') + "," +
                       std::to_string(CsvDisplayWidth(Field));
    if (Field->Required())
        line += ",REQ";
    if (Field->ReadOnly())
        line += ",RO";
    line += ",";
    line += sfFieldKind.Contains(sfSaveFieldKind) && kind >= 0 && kind <= 4 ? FieldKindNames[kind]
                                                                           : "Data";
    WriteText(Quoted(line, FCSVQuote) + "\r\n");
}

void TzelCustomCSVStreamFormat::SaveIndexDefs(TzelCustomMemTable* Table)
{
    WriteText(Quoted(IndexDefStartMark, FCSVQuote) + "\r\n");
    TIndexDefs& defs = Table->IndexDefs();
    for (int i = 0; i < defs.Count(); ++i) {
        TIndexDef* def = defs.Items(i);
        const TIndexOptions options = def->Options();
        std::string line = def->Name() + "=" + Quoted(def->Fields(), FCSVQuote) + "," + def->Name();
        if (options.Contains(ixDescending))
            line += ",DESC";
        if (options.Contains(ixCaseInsensitive))
            line += ",CASE";
        if (options.Contains(ixUnique))
            line += ",UNIQ";
        WriteText(Quoted(line, FCSVQuote) + "\r\n");
    }
    WriteText(Quoted(IndexDefEndMark, FCSVQuote) + "\r\n");
}

void TzelCustomCSVStreamFormat::SaveHeader(TzelCustomMemTable* Table)
{
    const bool placeholders = sfPlaceHolders.Contains(sfSavePlaceholders);
    std::string line;
    bool first = true;
    for (int i = 0; i < FSaveFieldsCount; ++i) {
        if (FSaveFields[i] < 0 && !placeholders)
            continue;
        if (!first)
            line += FCSVFieldDelimiter;
        first = false;
        TField* field = Table->Fields().Fields(i);
        line += QuotedValue(field->DisplayName(), true, field);
    }
    if (FCSVRecordDelimiter != '\0')
        line += FCSVRecordDelimiter;
    line += "\r\n";
    WriteText(line);
}

void TzelCustomCSVStreamFormat::SaveData(TzelCustomMemTable* Table)
{
    Table->FSavedCount = 0;
    if (!sfData.Contains(sfSaveData))
        return;
    Table->FSavedCompletely = true;
    TzelIndex* index = Table->CurrentIndex();
    TzelCommon* storage = Table->Common();
    const int count = index ? index->Count() : storage->RecordCount();
    std::string line;
    try {
        for (int i = 0; i < count; ++i) {
            if (Table->SaveLimit() > 0 && Table->FSavedCount >= Table->SaveLimit()) {
                Table->FSavedCompletely = false;
                break;
            }
            if (i % 100 == 0)
                Table->Progress(
                    static_cast<int>(std::trunc(static_cast<double>(i) / count * 100)), mtpcSave);
            TzelRecord* record = index ? index->Reference(i) : storage->Records(i);
            if (!record)
                continue;
            Table->SetVersionReadRecord(record);
            Table->GetCalcFields(reinterpret_cast<TRecordBuffer>(record));
            if (!Table->FilterRecord(record, false))
                continue;
            if (Table->OnSaveRecord) {
                bool accept = true;
                Table->OnSaveRecord(Table, accept);
                if (!accept)
                    continue;
            }
            line.clear();
            SaveRecord(Table, record, line);
            WriteText(line);
            ++Table->FSavedCount;
        }
    } catch (...) {
        Table->SetVersionReadRecord(nullptr);
        throw;
    }
    Table->SetVersionReadRecord(nullptr);
}

void TzelCustomCSVStreamFormat::SaveRecord(TzelCustomMemTable* Table, TzelRecord* Record,
                                           std::string& Line)
{
    const bool placeholders = sfPlaceHolders.Contains(sfSavePlaceholders);
    const bool quoteOnlyStrings = sfQuoteOnlyStrings.Contains(sfSaveQuoteOnlyStrings);
    bool first = true;
    for (int i = 0; i < FSaveFieldsCount; ++i) {
        if (FSaveFields[i] < 0) {
            if (!placeholders)
                continue;
            if (!first)
                Line += FCSVFieldDelimiter;
            first = false;
            continue;
        }
        if (!first)
            Line += FCSVFieldDelimiter;
        first = false;
        TField* field = Table->Fields().Fields(i);
        if (Table->OnSaveField)
            Table->OnSaveField(Table, i, field);
        bool isNull = !Table->StoredValuePresent(Record, field);
        std::string text = isNull ? std::string() : ValueText(Table, Record, field);
        if (OnFormatSaveField)
            OnFormatSaveField(this, field, isNull, text);
        if (isNull)
            continue;
        const TFieldType type = field->DataType();
        const bool quote = !quoteOnlyStrings || IsTextType(type) || IsBinaryType(type);
        AppendValue(Line, text, quote, field);
    }
    if (FCSVRecordDelimiter != '\0')
        Line += FCSVRecordDelimiter;
    Line += "\r\n";
}

std::string TzelCustomCSVStreamFormat::ValueText(TzelCustomMemTable* Table, TzelRecord* Record,
                                                 TField* Field)
{
    switch (Field->DataType()) {
    case ftString: {
        std::string text = Table->StoredTextValue(Record, Field);
        if (text.find_first_of(std::string_view("%\0\r\n", 4)) == std::string::npos)
            return text;
        return StringToCodedString(text);
    }
    case ftMemo:
    case ftFmtMemo:
        return StringToCodedString(Table->StoredBlobValue(Record, Field));
    case ftBoolean:
        return Field->AsBoolean() ? FCSVTrueString : FCSVFalseString;
    case ftBytes: {
        std::string raw(static_cast<std::size_t>(Field->DataSize()), '\0');
        Field->GetData(raw.data());
        return StringToBase64(raw);
    }
    case ftVarBytes: {
        // The stored length word first, then the bytes; only the bytes travel.
        std::string raw(static_cast<std::size_t>(Field->DataSize()), '\0');
        Field->GetData(raw.data());
        std::size_t length = 0;
        if (raw.size() >= 2)
            length = static_cast<unsigned char>(raw[0]) |
                     (static_cast<std::size_t>(static_cast<unsigned char>(raw[1])) << 8);
        length = std::min(length, raw.size() >= 2 ? raw.size() - 2 : 0);
        return StringToBase64(raw.substr(2, length));
    }
    default:
        if (IsBinaryType(Field->DataType()))
            return StringToBase64(Table->StoredBlobValue(Record, Field));
        return Field->AsString();
    }
}

void TzelCustomCSVStreamFormat::AfterSave(TzelCustomMemTable* Table)
{
    std::exception_ptr failure;
    try {
        if (!FOut.empty() && FWorkStream)
            FWorkStream->WriteBuffer(FOut.data(), static_cast<int>(FOut.size()));
    } catch (...) {
        failure = std::current_exception();
    }
    FOut.clear();
    FOut.shrink_to_fit();
    RestoreSettings();
    try {
        TzelCustomStreamFormat::AfterSave(Table);
    } catch (...) {
        if (!failure)
            failure = std::current_exception();
    }
    if (failure)
        std::rethrow_exception(failure);
}

// --- Reading lines and values --------------------------------------------------------------------

bool TzelCustomCSVStreamFormat::GetChunk()
{
    if (FStreamEnded || !FWorkStream)
        return false;
    if (FBuffer.size() != ChunkSize)
        FBuffer.resize(ChunkSize);
    FBufferPos = 0;
    FBufferLen = FWorkStream->Read(FBuffer.data(), ChunkSize);
    if (FBufferLen <= 0) {
        FBufferLen = 0;
        FStreamEnded = true;
        return false;
    }
    if (++FChunkCount % 100 == 0 && FStreamSize > 0 && FTableForProgress)
        FTableForProgress->Progress(
            static_cast<int>(std::trunc(static_cast<double>(FWorkStream->Position()) /
                                        static_cast<double>(FStreamSize) * 100)),
            mtpcLoad);
    return true;
}

bool TzelCustomCSVStreamFormat::GetLine()
{
    FLine.clear();
    FLinePos = 0;
    bool any = false;
    for (;;) {
        if (FBufferPos >= FBufferLen && !GetChunk())
            return any;
        const char* data = FBuffer.data();
        int end = FBufferPos;
        while (end < FBufferLen && data[end] != '\r' && data[end] != '\n' && data[end] != '\0')
            ++end;
        FLine.append(data + FBufferPos, static_cast<std::size_t>(end - FBufferPos));
        any = true;
        FBufferPos = end;
        if (end < FBufferLen)
            break;
    }
    // The whole run of line-break characters goes with the line, across chunks too.
    for (;;) {
        if (FBufferPos >= FBufferLen && !GetChunk())
            break;
        const char c = FBuffer[static_cast<std::size_t>(FBufferPos)];
        if (c != '\r' && c != '\n' && c != '\0')
            break;
        ++FBufferPos;
    }
    return true;
}

bool TzelCustomCSVStreamFormat::GetWord(std::string& Word, bool& Null)
{
    const std::size_t size = FLine.size();
    std::size_t pos = FLinePos;
    if (pos >= size)
        return false;
    const char quote = FCSVQuote;
    const char c = FLine[pos];
    if (quote != '\0' && c == quote) {
        ++pos;
        Word.clear();
        std::size_t beforeLastDoubled = std::string::npos;
        for (;;) {
            const std::size_t q = FLine.find(quote, pos);
            if (q == std::string::npos) {
                // Not closed on its line: only what came before its last doubled quote.
                Word.resize(beforeLastDoubled == std::string::npos ? 0 : beforeLastDoubled);
                FLinePos = size;
                Null = false;
                return true;
            }
            Word.append(FLine, pos, q - pos);
            if (q + 1 < size && FLine[q + 1] == quote) {
                beforeLastDoubled = Word.size();
                Word += quote;
                pos = q + 2;
                continue;
            }
            pos = q + 1;
            // The character after the closing quote, normally the delimiter.
            if (pos < size)
                ++pos;
            FLinePos = pos;
            Null = false;
            return true;
        }
    }
    if (quote != '\0' && c == FCSVFieldDelimiter) {
        FLinePos = pos + 1;
        Word.clear();
        Null = true;
        return true;
    }
    const char recordDelimiter = FCSVRecordDelimiter;
    std::size_t end = pos;
    while (end < size && FLine[end] != FCSVFieldDelimiter &&
           (recordDelimiter == '\0' || FLine[end] != recordDelimiter))
        ++end;
    Word.assign(FLine, pos, end - pos);
    Null = Word.empty();
    FLinePos = end < size ? end + 1 : end;
    return true;
}

// --- Loading -------------------------------------------------------------------------------------

void TzelCustomCSVStreamFormat::BeforeLoad(TzelCustomMemTable* Table)
{
    FBufferPos = 0;
    FBufferLen = 0;
    FChunkCount = 0;
    FStreamEnded = false;
    FLine.clear();
    FLinePos = 0;
    FHasLine = false;
    FIndexDefsLoaded = false;
    FUsingHeader = false;
    FTableForProgress = nullptr;
    TzelCustomStreamFormat::BeforeLoad(Table);
    FTableForProgress = Table;
    FBuffer.assign(ChunkSize, '\0');
    FStreamSize = FWorkStream->Size();
    if (!sfLocalFormat.Contains(sfLoadLocalFormat))
        InstallNeutralSettings();
}

std::string TzelCustomCSVStreamFormat::UnquotedLine() const
{
    if (FCSVQuote == '\0')
        return FLine;
    if (FLine.empty() || FLine[0] != FCSVQuote)
        return std::string();
    std::string result;
    for (std::size_t i = 1; i < FLine.size(); ++i) {
        if (FLine[i] == FCSVQuote) {
            if (i + 1 < FLine.size() && FLine[i + 1] == FCSVQuote) {
                result += FCSVQuote;
                ++i;
                continue;
            }
            break;
        }
        result += FLine[i];
    }
    return result;
}

void TzelCustomCSVStreamFormat::LoadDef(TzelCustomMemTable* Table)
{
    const bool loadDef = sfDef.Contains(sfLoadDef);
    bool inTable = false;
    bool inIndex = false;
    bool structureTouched = false;
    std::exception_ptr failure;
    try {
        while (GetLine()) {
            std::string first;
            bool isNull = false;
            GetWord(first, isNull);
            if (first == FileVersionMark) {
                GetWord(first, isNull);
            } else if (first == TableDefStartMark) {
                inTable = true;
                if (loadDef) {
                    Table->Close();
                    Table->FieldDefs().Clear();
                    Table->DeleteTable();
                    // Index definitions of the old fields could keep the table from opening.
                    Table->DestroyIndexes();
                    Table->IndexDefs().Clear();
                    structureTouched = true;
                }
            } else if (first == TableDefEndMark) {
                inTable = false;
                Table->Open();
            } else if (first == IndexDefStartMark) {
                inIndex = true;
                if (loadDef) {
                    // Indexes go only on a closed table: the cursor may stand on one of them.
                    Table->Close();
                    Table->DestroyIndexes();
                    Table->IndexDefs().Clear();
                    structureTouched = true;
                }
            } else if (first == IndexDefEndMark) {
                inIndex = false;
                if (loadDef) {
                    Table->CreateIndexes();
                    FIndexDefsLoaded = true;
                }
            } else if (!inTable) {
                // The header, or with sfLoadNoHeader the first record.
                FLinePos = 0;
                FHasLine = true;
                break;
            } else if (loadDef) {
                if (inIndex)
                    LoadIndexDef(Table);
                else
                    LoadFieldDef(Table, first);
            }
        }
    } catch (...) {
        failure = std::current_exception();
    }
    // The table opens with what was read, also after a failure part-way.
    if (structureTouched && !Table->Active()) {
        try {
            Table->Open();
        } catch (...) {
            if (!failure)
                failure = std::current_exception();
        }
    }
    if (failure)
        std::rethrow_exception(failure);
}

void TzelCustomCSVStreamFormat::LoadFieldDef(TzelCustomMemTable* Table,
                                             const std::string& FirstValue)
{
    const std::string line = UnquotedLine();
    const std::size_t equal = line.find('=');
    const std::string name = line.substr(0, equal);
    const std::string rest = equal == std::string::npos ? std::string() : line.substr(equal + 1);
    const std::vector<std::string> items = SplitCommaText(rest);
    const std::string typeName = Item(items, 0);
    const int type = FindCsvName(FieldTypeNames, 23, typeName);
    if (type <= ftUnknown || type > ftTypedBinary)
        RAISE(EMemTableError(
            Format("Unknown field type (%s) in CSV file. (%s)", {typeName, FirstValue})));
    const int size = StrToInt(Item(items, 1));
    const std::string displayLabel = Item(items, 2);
    const std::string editMask = Item(items, 3);
    const int displayWidth = StrToInt(Item(items, 4));
    const bool required = Holds(rest, ",REQ");
    const bool readOnly = Holds(rest, ",RO");
    const bool invisible = Holds(rest, ",INV");
    int kind = items.empty() ? -1 : FindCsvName(FieldKindNames, 5, items.back());
    if (kind < 0)
        kind = fkData;
    if (size < 0)
        RAISE(EConvertError(Format("'%s' is not a valid integer value", {Item(items, 1)})));

    TFieldDefs& defs = Table->FieldDefs();
    if (defs.Count() >= ZEL_MAX_FIELDS)
        RAISE(EMemTableError("Too many fielddefs. Please raise ZEL_MAX_FIELDS value."));
    if (!name.empty() && defs.IndexOf(name) >= 0)
        DatabaseErrorFmt(DBMessages::DuplicateFieldName, {name}, Table);
    TFieldDef* def = defs.Add(name, static_cast<TFieldType>(type), size % 65536, required);
    TField* field = def->CreateField(Table);
    field->SetFieldKind(static_cast<TFieldKind>(kind));
    field->SetDisplayLabel(displayLabel == name ? std::string() : displayLabel);
    field->SetEditMask(editMask);
    field->SetReadOnly(readOnly);
    field->SetDisplayWidth(displayWidth);
    field->SetVisible(!invisible);
}

void TzelCustomCSVStreamFormat::LoadIndexDef(TzelCustomMemTable* Table)
{
    const std::string line = UnquotedLine();
    const std::size_t equal = line.find('=');
    const std::string name = line.substr(0, equal);
    const std::string rest = equal == std::string::npos ? std::string() : line.substr(equal + 1);
    const std::vector<std::string> items = SplitCommaText(rest);
    TIndexOptions options;
    if (Holds(rest, ",DESC"))
        options.Include(ixDescending);
    if (Holds(rest, ",CASE"))
        options.Include(ixCaseInsensitive);
    if (Holds(rest, ",UNIQ"))
        options.Include(ixUnique);
    Table->IndexDefs().Add(name, Item(items, 0), options);
}

void TzelCustomCSVStreamFormat::DetermineLoadFieldIDs(TzelCustomMemTable* Table,
                                                      TStrings* FieldIDs,
                                                      TzelDetermineLoadFieldsSituation Situation)
{
    FUsingHeader = Situation == dlfAfterLoadDef && FHasLine &&
                   !sfNoHeader.Contains(sfLoadNoHeader);
    if (!FUsingHeader) {
        TzelCustomStreamFormat::DetermineLoadFieldIDs(Table, FieldIDs, Situation);
        return;
    }
    FLinePos = 0;
    std::string word;
    bool isNull = false;
    while (GetWord(word, isNull))
        FieldIDs->Add(word);
    FLinePos = 0;
}

void TzelCustomCSVStreamFormat::DetermineLoadFieldIndex(
    TzelCustomMemTable* Table, const std::string& ID, int /*FieldCount*/, int OrigIndex,
    int& FieldIndex, TzelDetermineLoadFieldsSituation /*Situation*/)
{
    FieldIndex = -1;
    const int count = Table->FieldCount();
    if (!FUsingHeader) {
        if (OrigIndex < count)
            FieldIndex = OrigIndex;
        return;
    }
    for (int i = 0; i < count; ++i) {
        if (SameText(Table->Fields().Fields(i)->DisplayName(), ID)) {
            FieldIndex = i;
            return;
        }
    }
}

void TzelCustomCSVStreamFormat::LoadData(TzelCustomMemTable* Table)
{
    if (!FHasLine || !sfData.Contains(sfLoadData))
        return;
    LoadInInsertState(Table, [&] { LoadRecords(Table); });
}

void TzelCustomCSVStreamFormat::LoadRecords(TzelCustomMemTable* Table)
{
    TzelCommon* storage = Table->Common();
    Table->ResetAutoInc();
    Table->FLoadedCount = 0;
    Table->FLoadedCompletely = true;
    FindUniqueIndexes(Table);
    bool useCurrentLine = sfNoHeader.Contains(sfLoadNoHeader);
    for (;;) {
        if (!useCurrentLine && !GetLine())
            break;
        useCurrentLine = false;
        if (Table->LoadLimit() > 0 && Table->FLoadedCount >= Table->LoadLimit()) {
            Table->FLoadedCompletely = false;
            break;
        }
        if (FLine.empty())
            break;
        TzelRecord* record = storage->_InternalAllocRecord();
        try {
            LoadRecord(Table, record);
            AcceptRecord(Table, record);
        } catch (...) {
            Table->SetVersionReadRecord(nullptr);
            if (record->RecordID < 0)
                storage->_InternalFreeRecord(record, true, true);
            throw;
        }
    }
}

void TzelCustomCSVStreamFormat::LoadRecord(TzelCustomMemTable* Table, TzelRecord* Record)
{
    Table->SetVersionReadRecord(Record);
    const bool anyKind = sfFieldKind.Contains(sfLoadFieldKind);
    std::string word;
    bool isNull = false;
    for (int column = 0; column < FLoadFieldsCount && GetWord(word, isNull); ++column) {
        const int index = FLoadFields[column];
        if (index < 0)
            continue;
        TField* field = Table->Fields().Fields(index);
        if (field->FieldKind() != fkData && !anyKind)
            continue;
        if (OnFormatLoadField)
            OnFormatLoadField(this, field, isNull, word);
        if (isNull)
            field->Clear();
        else
            LoadValue(Table, Record, field, word);
        if (Table->OnLoadField)
            Table->OnLoadField(Table, index, field);
    }
}

void TzelCustomCSVStreamFormat::LoadValue(TzelCustomMemTable* Table, TzelRecord* Record,
                                          TField* Field, const std::string& Text)
{
    switch (Field->DataType()) {
    case ftString:
        if (Text.find('%') == std::string::npos)
            Field->SetAsString(Text);
        else
            Field->SetAsString(CodedStringToString(Text));
        break;
    case ftMemo:
    case ftFmtMemo:
        Table->StoreBlobValue(Record, Field, CodedStringToString(Text));
        break;
    case ftBoolean:
        Field->SetAsBoolean(Text == FCSVTrueString);
        break;
    case ftAutoInc: {
        const int value = StrToInt(Text);
        Field->SetAsInteger(value);
        TzelCommon* storage = Table->Common();
        if (storage->GetAutoIncMax() < value)
            storage->SetAutoIncMax(value);
        break;
    }
    case ftBytes: {
        const std::string bytes = Base64ToString(Text);
        std::string raw(static_cast<std::size_t>(Field->DataSize()), '\0');
        std::memcpy(raw.data(), bytes.data(), std::min(bytes.size(), raw.size()));
        Field->SetData(raw.data());
        break;
    }
    case ftVarBytes: {
        const std::string bytes = Base64ToString(Text);
        std::string raw(static_cast<std::size_t>(Field->DataSize()), '\0');
        if (raw.size() >= 2) {
            const std::size_t length =
                std::min({bytes.size(), raw.size() - 2, static_cast<std::size_t>(Field->Size())});
            raw[0] = static_cast<char>(length & 0xFF);
            raw[1] = static_cast<char>((length >> 8) & 0xFF);
            std::memcpy(raw.data() + 2, bytes.data(), length);
        }
        Field->SetData(raw.data());
        break;
    }
    default:
        if (IsBinaryType(Field->DataType()))
            Table->StoreBlobValue(Record, Field, Base64ToString(Text));
        else
            Table->LoadFieldText(Field, Text.data(), Text.size());
        break;
    }
}

void TzelCustomCSVStreamFormat::AcceptRecord(TzelCustomMemTable* Table, TzelRecord* Record)
{
    bool accept = true;
    if (Table->OnLoadRecord)
        Table->OnLoadRecord(Table, accept);
    Table->SetVersionReadRecord(nullptr);
    TzelCommon* storage = Table->Common();
    if (!accept) {
        storage->_InternalFreeRecord(Record, true, true);
        return;
    }
    StoreLoadedRecord(Table, Record);
    ++Table->FLoadedCount;
}

void TzelCustomCSVStreamFormat::AfterLoad(TzelCustomMemTable* Table)
{
    RestoreSettings();
    FBuffer.clear();
    FBuffer.shrink_to_fit();
    FLine.clear();
    FHasLine = false;
    FTableForProgress = nullptr;
    FIndexDefsLoaded = false;
    ForgetUniqueIndexes();
    Table->SetVersionReadRecord(nullptr);
    TzelCustomStreamFormat::AfterLoad(Table);
}
