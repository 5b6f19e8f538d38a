#include "report/rpValues.h"

#include "platform/rtl/Formats.h"
#include "platform/rtl/Streams.h"

namespace rpValues {
namespace {

constexpr std::size_t MaxTextLength = 255;
// Kind, OtherKind and three empty texts.
constexpr std::int64_t SmallestValueSize = 1 + 4 + 3;

std::string ReadShortString(TStream& stream)
{
    std::string text(stream.ReadUInt8(), '\0');
    if (!text.empty())
        stream.ReadBuffer(text.data(), static_cast<int>(text.size()));
    return text;
}

void WriteShortString(TStream& stream, const std::string& text)
{
    stream.WriteUInt8(static_cast<std::uint8_t>(text.size()));
    if (!text.empty())
        stream.WriteBuffer(text.data(), static_cast<int>(text.size()));
}

void CheckShortString(const std::string& name, const std::string& text)
{
    if (text.size() > MaxTextLength)
        RAISE(EWriteError(Format("Impossibile salvare il report: il valore \"%s\" ha un testo di %d caratteri, "
                                 "ma il formato ne ammette al massimo 255.",
                                 {name.substr(0, 40), static_cast<long long>(text.size())})));
}

} // namespace
} // namespace rpValues

TrpValues::TrpValues() : Items(std::make_unique<TStringList>()) {}

TrpValues::~TrpValues() { Clear(); }

int TrpValues::AddValue() { return Items->AddObject("", new TrpValue); }

TrpValue* TrpValues::GetValue(int index) const { return static_cast<TrpValue*>(Items->Objects(index)); }

TrpValue* TrpValues::FindVariable(const std::string& name) const
{
    const int index = Items->IndexOf(name);
    return index < 0 ? nullptr : GetValue(index);
}

void TrpValues::Clear()
{
    for (int i = 0; i < Items->Count(); ++i)
        delete GetValue(i);
    Items->Clear();
}

void TrpValues::ReadBinaryData(TStream& stream)
{
    using namespace rpValues;
    Clear();
    Items->SetSorted(false);
    const std::int32_t count = stream.ReadInt32();
    // A count the remaining bytes cannot hold is damage, found before anything is allocated.
    if (count < 0 || count > (stream.Size() - stream.Position()) / SmallestValueSize)
        RAISE(EReadError("Numero di valori non valido"));
    for (std::int32_t i = 0; i < count; ++i) {
        auto value = std::make_unique<TrpValue>();
        value->Kind = static_cast<TrpValueType>(stream.ReadUInt8());
        value->OtherKind = stream.ReadInt32();
        value->DataSetName = ReadShortString(stream);
        value->FieldText = ReadShortString(stream);
        const std::string name = ReadShortString(stream);
        Items->AddObject(name, value.release());
    }
}

void TrpValues::WriteBinaryData(TStream& stream)
{
    using namespace rpValues;
    for (int i = 0; i < Count(); ++i) {
        const TrpValue* value = GetValue(i);
        CheckShortString(Items->Strings(i), value->DataSetName);
        CheckShortString(Items->Strings(i), value->FieldText);
        CheckShortString(Items->Strings(i), Items->Strings(i));
    }
    stream.WriteInt32(Count());
    for (int i = 0; i < Count(); ++i) {
        const TrpValue* value = GetValue(i);
        stream.WriteUInt8(value->Kind);
        stream.WriteInt32(value->OtherKind);
        WriteShortString(stream, value->DataSetName);
        WriteShortString(stream, value->FieldText);
        WriteShortString(stream, Items->Strings(i));
    }
}
