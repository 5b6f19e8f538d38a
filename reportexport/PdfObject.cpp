#include "reportexport/PdfObject.h"

#include "platform/rtl/Codepage.h"
#include "platform/rtl/DateTime.h"
#include "platform/rtl/Formats.h"

#include <zlib.h>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

using namespace PdfObject;

namespace {

const char PdfObjectHexDigits[] = "0123456789ABCDEF";

void AppendPdfHexByte(std::string& out, unsigned char byte)
{
    out += PdfObjectHexDigits[byte >> 4];
    out += PdfObjectHexDigits[byte & 0x0F];
}

// Fixed notation of a finite double with at most 15 significant digits.
std::string PdfRealDigits(double value)
{
    if (value == 0)
        return "0";
    char buffer[64];
    auto result = std::to_chars(buffer, buffer + sizeof buffer, value,
                                std::chars_format::scientific, 14);
    std::string scientific(buffer, result.ptr);
    // d.ddddddddddddddde±x
    std::string sign;
    if (scientific[0] == '-') {
        sign = "-";
        scientific.erase(0, 1);
    }
    std::size_t exponentAt = scientific.find('e');
    int exponent = std::atoi(scientific.c_str() + exponentAt + 1);
    std::string digits = scientific.substr(0, 1) + scientific.substr(2, exponentAt - 2);
    digits.erase(digits.find_last_not_of('0') + 1);

    std::string text;
    if (exponent < 0) {
        text = "0." + std::string(static_cast<std::size_t>(-exponent - 1), '0') + digits;
    } else {
        std::size_t integerDigits = static_cast<std::size_t>(exponent) + 1;
        if (digits.size() <= integerDigits) {
            text = digits + std::string(integerDigits - digits.size(), '0');
        } else {
            text = digits.substr(0, integerDigits) + "." + digits.substr(integerDigits);
        }
    }
    return sign + text;
}

std::string PdfObjectReference(int objectNumber, int generationNumber)
{
    return std::to_string(objectNumber) + " " + std::to_string(generationNumber);
}

// The stream's data as it goes into the file: deflated at level 9 or unchanged.
std::string PdfStreamEncodedData(TMemoryStream& data, bool deflate)
{
    const auto* bytes = reinterpret_cast<const Bytef*>(data.Memory());
    auto size = static_cast<uLong>(data.Size());
    if (!deflate)
        return std::string(data.Memory(), static_cast<std::size_t>(data.Size()));
    uLongf packedSize = compressBound(size);
    std::string packed(packedSize, '\0');
    if (compress2(reinterpret_cast<Bytef*>(packed.data()), &packedSize, bytes, size,
                  Z_BEST_COMPRESSION) != Z_OK)
        RAISE(EPdfInvalidOperation("WriteValue --failed to compress the stream."));
    packed.resize(packedSize);
    return packed;
}

} // namespace

// ---- TPdfObject ----------------------------------------------------------------------------

void TPdfObject::Write(TStream& stream)
{
    if (FObjectType != okDirect)
        WriteString(PdfObjectReference(FObjectNumber, FGenerationNumber) + " R", stream);
    else
        WriteValue(stream);
}

void TPdfObject::WriteObject(TStream& stream)
{
    if (FObjectType != okIndirect)
        RAISE(EPdfInvalidOperation("internal error wrong object type"));
    WriteString(PdfObjectReference(FObjectNumber, FGenerationNumber) + " obj\r\n", stream);
    WriteValue(stream);
    WriteString("\r\nendobj\r\n", stream);
}

void TPdfObject::SetObjectNumber(int number)
{
    FObjectNumber = number;
    FObjectType = number > 0 ? okIndirect : okDirect;
}

// ---- Simple values -------------------------------------------------------------------------

void TPdfNull::WriteValue(TStream& stream)
{
    WriteString("null", stream);
}

void TPdfBoolean::WriteValue(TStream& stream)
{
    WriteString(FValue ? "true" : "false", stream);
}

void TPdfNumber::WriteValue(TStream& stream)
{
    WriteString(std::to_string(FValue), stream);
}

void TPdfReal::WriteValue(TStream& stream)
{
    if (!std::isfinite(FValue))
        RAISE(EPdfInvalidValue("WriteValue --invalid real value."));
    WriteString(PdfRealDigits(FValue), stream);
}

void TPdfText::WriteValue(TStream& stream)
{
    if (IsMultiByteText(FValue))
        WriteString("<" + UnicodeLanguagePrefix() + TextToUnicodeHex(FValue) + ">", stream);
    else
        WriteString("(" + EscapeText(FValue) + ")", stream);
}

void TPdfName::WriteValue(TStream& stream)
{
    WriteString(EscapeName(FValue), stream);
}

// ---- TPdfVirtualObject ---------------------------------------------------------------------

TPdfVirtualObject::TPdfVirtualObject()
{
    RAISE(Exception("virtualObject must be create by CreateVirtual method."));
}

TPdfVirtualObject::TPdfVirtualObject(int number)
{
    SetObjectNumber(number);
    SetObjectType(okVirtual);
}

std::unique_ptr<TPdfVirtualObject> TPdfVirtualObject::CreateVirtual(int number)
{
    return std::unique_ptr<TPdfVirtualObject>(new TPdfVirtualObject(number));
}

// ---- TPdfArray -----------------------------------------------------------------------------

void TPdfArray::Add(std::unique_ptr<TPdfObject> value)
{
    if (!value)
        return;
    for (const auto& item : FItems) {
        if (item.get() == value.get()) {
            value.release(); // already ours
            return;
        }
    }
    if (value->ObjectType() == okIndirect) {
        // An indirect object belongs to its manager: keep a reference, never the object.
        Add(*value.release());
        return;
    }
    FItems.push_back(std::move(value));
}

void TPdfArray::Add(const TPdfObject& indirect)
{
    if (indirect.ObjectType() == okDirect)
        RAISE(EPdfInvalidOperation("Add --the object is not registered."));
    FItems.push_back(TPdfVirtualObject::CreateVirtual(indirect.ObjectNumber()));
}

TPdfObject* TPdfArray::Items(int index) const
{
    if (index < 0 || index >= ItemCount())
        return nullptr;
    TPdfObject* item = FItems[static_cast<std::size_t>(index)].get();
    if (item->ObjectType() != okVirtual)
        return item;
    return FManager ? FManager->ObjectByNumber(item->ObjectNumber()) : nullptr;
}

TPdfName* TPdfArray::FindName(const std::string& text) const
{
    for (int i = 0; i < ItemCount(); ++i) {
        auto* name = dynamic_cast<TPdfName*>(Items(i));
        if (name && name->Value() == text)
            return name;
    }
    return nullptr;
}

std::unique_ptr<TPdfArray> TPdfArray::CreateNumberArray(TPdfObjectMgr* manager,
                                                        const std::vector<int>& numbers)
{
    auto array = std::make_unique<TPdfArray>(manager);
    for (int number : numbers)
        array->Add(std::make_unique<TPdfNumber>(number));
    return array;
}

void TPdfArray::WriteValue(TStream& stream)
{
    WriteString("[", stream);
    for (const auto& item : FItems) {
        item->Write(stream);
        WriteString(" ", stream);
    }
    WriteString("]", stream);
}

// ---- TPdfDictionary ------------------------------------------------------------------------

TPdfDictionaryElement::TPdfDictionaryElement(const std::string& key,
                                             std::unique_ptr<TPdfObject> value, bool isInternal)
    : FKey(std::make_unique<TPdfName>(key)), FValue(std::move(value)), FIsInternal(isInternal)
{
}

void TPdfDictionary::AddElement(const std::string& key, std::unique_ptr<TPdfObject> value,
                                bool isInternal)
{
    if (!value)
        return;
    const TPdfDictionaryElement* existing = FindElement(key);
    if (existing && existing->Value() == value.get()) {
        value.release(); // already ours, under this very key
        return;
    }
    if (value->ObjectType() == okIndirect) {
        int number = value.release()->ObjectNumber(); // the manager keeps the object
        value = TPdfVirtualObject::CreateVirtual(number);
    }
    Remove(key);
    FElements.push_back(std::make_unique<TPdfDictionaryElement>(key, std::move(value), isInternal));
}

void TPdfDictionary::Add(const std::string& key, std::unique_ptr<TPdfObject> value)
{
    AddElement(key, std::move(value), false);
}

void TPdfDictionary::Add(const std::string& key, const TPdfObject& indirect)
{
    if (indirect.ObjectType() == okDirect)
        RAISE(EPdfInvalidOperation("Add --the object is not registered."));
    AddElement(key, TPdfVirtualObject::CreateVirtual(indirect.ObjectNumber()), false);
}

void TPdfDictionary::AddInternal(const std::string& key, std::unique_ptr<TPdfObject> value)
{
    AddElement(key, std::move(value), true);
}

void TPdfDictionary::Remove(const std::string& key)
{
    auto found = std::find_if(FElements.begin(), FElements.end(),
                              [&key](const auto& element) { return element->Key() == key; });
    if (found != FElements.end())
        FElements.erase(found);
}

const TPdfDictionaryElement* TPdfDictionary::FindElement(const std::string& key) const
{
    for (const auto& element : FElements) {
        if (element->Key() == key)
            return element.get();
    }
    return nullptr;
}

TPdfObject* TPdfDictionary::ValueOf(const std::string& key) const
{
    const TPdfDictionaryElement* element = FindElement(key);
    if (!element)
        return nullptr;
    TPdfObject* value = element->Value();
    if (value->ObjectType() != okVirtual)
        return value;
    return FManager ? FManager->ObjectByNumber(value->ObjectNumber()) : nullptr;
}

TPdfNumber* TPdfDictionary::NumberOf(const std::string& key) const
{
    return dynamic_cast<TPdfNumber*>(ValueOf(key));
}

TPdfReal* TPdfDictionary::RealOf(const std::string& key) const
{
    return dynamic_cast<TPdfReal*>(ValueOf(key));
}

TPdfName* TPdfDictionary::NameOf(const std::string& key) const
{
    return dynamic_cast<TPdfName*>(ValueOf(key));
}

TPdfDictionary* TPdfDictionary::DictionaryOf(const std::string& key) const
{
    return dynamic_cast<TPdfDictionary*>(ValueOf(key));
}

TPdfArray* TPdfDictionary::ArrayOf(const std::string& key) const
{
    return dynamic_cast<TPdfArray*>(ValueOf(key));
}

void TPdfDictionary::WriteValue(TStream& stream)
{
    WriteString("<<\r\n", stream);
    for (const auto& element : FElements) {
        if (element->IsInternal())
            continue;
        WriteString(EscapeName(element->Key()) + " ", stream);
        element->Value()->Write(stream);
        WriteString("\r\n", stream);
    }
    WriteString(">>", stream);
}

// ---- Streams -------------------------------------------------------------------------------

TPdfStream::TPdfStream(TPdfObjectMgr* manager)
    : FAttributes(std::make_unique<TPdfDictionary>(manager)),
      FStream(std::make_unique<TMemoryStream>())
{
    FAttributes->Add("Length", std::make_unique<TPdfNumber>(0));
    FAttributes->Add("Filter", std::make_unique<TPdfArray>(manager));
}

void TPdfStream::WriteValue(TStream& stream)
{
    TPdfArray* filter = FAttributes->ArrayOf("Filter");
    bool deflate = filter && filter->FindName("FlateDecode");
    std::string data = PdfStreamEncodedData(*FStream, deflate);

    auto length = static_cast<std::int32_t>(data.size());
    if (TPdfNumber* lengthNumber = FAttributes->NumberOf("Length"))
        lengthNumber->SetValue(length);
    else
        FAttributes->Add("Length", std::make_unique<TPdfNumber>(length));

    FAttributes->Write(stream); // always direct
    WriteString("\r\nstream\r\n", stream);
    WriteString(data, stream);
    WriteString("\nendstream", stream);
}

void TPdfBinary::WriteValue(TStream& stream)
{
    if (FStream->Size() > 0)
        stream.WriteBuffer(FStream->Memory(), static_cast<int>(FStream->Size()));
}

// ---- Functions -----------------------------------------------------------------------------

namespace PdfObject {

TPdfRect MakePdfRect(float left, float top, float right, float bottom)
{
    return TPdfRect{left, top, right, bottom};
}

void WriteString(const std::string& text, TStream& stream)
{
    if (!text.empty())
        stream.WriteBuffer(text.data(), static_cast<int>(text.size()));
}

std::string FormatReal(double value)
{
    std::int64_t hundredths = Trunc(value * 100 + 0.5);
    bool negative = hundredths < 0;
    std::uint64_t magnitude = negative ? 0 - static_cast<std::uint64_t>(hundredths)
                                       : static_cast<std::uint64_t>(hundredths);
    std::string text = std::to_string(magnitude / 100);
    unsigned cents = static_cast<unsigned>(magnitude % 100);
    if (cents != 0) {
        text += '.';
        text += static_cast<char>('0' + cents / 10);
        if (cents % 10 != 0)
            text += static_cast<char>('0' + cents % 10);
    }
    return negative ? "-" + text : text;
}

std::string FormatPdfDate(double dateTime)
{
    int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0, msec = 0;
    DecodeDate(dateTime, year, month, day);
    DecodeTime(dateTime, hour, minute, second, msec);
    char text[32];
    std::snprintf(text, sizeof text, "D:%04d%02d%02d%02d%02d%02d", year, month, day, hour,
                  minute, second);
    return text;
}

std::string EscapeText(const std::string& text)
{
    static const char special[] = "()\\\r\n\t\b\f";
    static const char replacement[] = "()\\rntbf";
    std::string escaped;
    escaped.reserve(text.size() + 8);
    for (char c : text) {
        const char* found = c ? std::strchr(special, c) : nullptr;
        if (found) {
            escaped += '\\';
            escaped += replacement[found - special];
        } else {
            escaped += c;
        }
    }
    return escaped;
}

std::string EscapeName(const std::string& name)
{
    std::string escaped = "/";
    escaped.reserve(name.size() + 1);
    for (char c : name) {
        auto byte = static_cast<unsigned char>(c);
        if (byte < 33 || byte > 126 || std::strchr("#%()/<>[]{}", c))
            AppendPdfHexByte(escaped += '#', byte);
        else
            escaped += c;
    }
    return escaped;
}

std::string TextToHex(const std::string& text)
{
    std::string hex;
    hex.reserve(text.size() * 2);
    for (char c : text)
        AppendPdfHexByte(hex, static_cast<unsigned char>(c));
    return hex;
}

std::string TextToUnicodeHex(const std::string& text)
{
    std::string hex;
    for (char16_t unit : AnsiToUtf16(text)) {
        AppendPdfHexByte(hex, static_cast<unsigned char>(unit >> 8));
        AppendPdfHexByte(hex, static_cast<unsigned char>(unit & 0xFF));
    }
    return hex;
}

bool IsMultiByteText(const std::string& /*text*/)
{
    return false;
}

std::string UnicodeLanguagePrefix()
{
    return "FEFF001B" + TextToHex("en") + "001B";
}

std::string TypeOf(const TPdfDictionary* dictionary)
{
    TPdfName* type = dictionary ? dictionary->NameOf("Type") : nullptr;
    return type ? type->Value() : std::string();
}

} // namespace PdfObject
