#pragma once
// Helpers of the tests of the table formats: hex texts, saving to and loading from bytes, the
// example table.

#include "tablestore/zelMemBinaryStreamFormat.h"
#include "tablestore/zelMemTable.h"

#include "platform/rtl/Streams.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>

// The message of the exception an action raises, or "<no error>".
inline std::string ErrorOf(const std::function<void()>& action)
{
    try {
        action();
    } catch (const Exception& e) {
        return e.Message;
    }
    return "<no error>";
}

inline std::string FromHex(const std::string& hex)
{
    std::string bytes;
    std::string digits;
    for (char c : hex)
        if (std::isxdigit(static_cast<unsigned char>(c)))
            digits += c;
    for (std::size_t i = 0; i + 1 < digits.size(); i += 2)
        bytes += static_cast<char>(std::stoi(digits.substr(i, 2), nullptr, 16));
    return bytes;
}

inline std::string ToHex(const std::string& bytes)
{
    static const char* digits = "0123456789abcdef";
    std::string hex;
    for (unsigned char c : bytes) {
        hex += digits[c >> 4];
        hex += digits[c & 15];
    }
    return hex;
}

inline std::string StreamBytes(TMemoryStream& stream)
{
    return std::string(stream.Memory(), static_cast<std::size_t>(stream.Size()));
}

inline std::string SaveBytes(TzelCustomMemTable& table, TzelCustomStreamFormat& format)
{
    TMemoryStream stream;
    table.SaveToStreamViaFormat(&stream, &format);
    return StreamBytes(stream);
}

inline void LoadBytes(TzelCustomMemTable& table, const std::string& bytes,
                      TzelCustomStreamFormat& format)
{
    TMemoryStream stream;
    if (!bytes.empty())
        stream.WriteBuffer(bytes.data(), static_cast<int>(bytes.size()));
    stream.SetPosition(0);
    table.LoadFromStreamViaFormat(&stream, &format);
}

inline std::string SaveBytes(TzelCustomMemTable& table)
{
    TzelBinaryStreamFormat format(nullptr);
    return SaveBytes(table, format);
}

inline void LoadBytes(TzelCustomMemTable& table, const std::string& bytes)
{
    TzelBinaryStreamFormat format(nullptr);
    LoadBytes(table, bytes, format);
}

// String Nome (5) and Integer Numero, open, with ("Ab", 300) and (null, -1).
inline std::unique_ptr<TzelMemTable> MakeExampleTable(bool withRows = true)
{
    auto table = std::make_unique<TzelMemTable>(nullptr);
    table->FieldDefs().Add("Nome", ftString, 5);
    table->FieldDefs().Add("Numero", ftInteger);
    table->CreateTable();
    table->Open();
    if (withRows) {
        table->Append();
        table->FieldByName("Nome")->SetAsString("Ab");
        table->FieldByName("Numero")->SetAsInteger(300);
        table->Post();
        table->Append();
        table->FieldByName("Numero")->SetAsInteger(-1);
        table->Post();
    }
    return table;
}

inline const char* const ExampleHex =
    "5450463003fb000106044e6f6d650606537472696e67020506044e6f6d65060002050808060444617461060006"
    "064e756d65726f0607496e7465676572020006064e756d65726f0600020a080806044461746106000001000101"
    "0200080602416208032c0100010200090802ff0000";

inline const char* const EmptyExampleHex =
    "5450463003fb000106044e6f6d650606537472696e67020506044e6f6d65060002050808060444617461060006"
    "064e756d65726f0607496e7465676572020006064e756d65726f0600020a080806044461746106000001000100";

// "Nome|Numero" texts of every row, "<null>" for a null value.
inline std::string RowsText(TDataSet& table)
{
    std::string text;
    table.First();
    while (!table.Eof()) {
        for (int i = 0; i < table.FieldCount(); ++i) {
            TField* field = table.Fields().Fields(i);
            text += field->IsNull() ? std::string("<null>") : field->AsString();
            text += i + 1 < table.FieldCount() ? "|" : ";";
        }
        table.Next();
    }
    return text;
}
