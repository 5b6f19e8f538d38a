#include "platform/gui/GraphicField.h"

#include "platform/db/StdFields.h"
#include "platform/gui/Graphic.h"
#include "platform/rtl/Streams.h"

#include <cstdint>
#include <cstring>
#include <string>

namespace {

const char* const SInvalidBitmap = "Bitmap image is not valid";

// The header: a 16-bit count of 1, the 16-bit type 0x0100 and the 32-bit size of what follows.
bool HasGraphicHeader(const std::string& bytes)
{
    if (bytes.size() < 8)
        return false;
    auto byte = [&](std::size_t i) { return static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[i])); };
    const std::uint32_t count = byte(0) | byte(1) << 8;
    const std::uint32_t type = byte(2) | byte(3) << 8;
    const std::uint32_t size = byte(4) | byte(5) << 8 | byte(6) << 16 | byte(7) << 24;
    return count == 1 && type == 0x0100 && size == bytes.size() - 8;
}

std::string BlobBytes(const TField& field)
{
    if (const auto* blob = dynamic_cast<const TBlobField*>(&field)) {
        TStringStream stream;
        blob->SaveToStream(stream);
        return stream.DataString();
    }
    return field.AsString();
}

} // namespace

void AssignPictureFromField(TPicture& picture, const TField& field)
{
    std::string bytes = BlobBytes(field);
    if (bytes.empty()) {
        picture.SetGraphic(nullptr);
        return;
    }
    if (HasGraphicHeader(bytes))
        bytes.erase(0, 8);
    const std::string className =
        GraphicClassForData(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
    std::unique_ptr<TGraphic> graphic = className.empty() ? nullptr : CreateGraphic(className);
    if (!graphic)
        RAISE(EInvalidGraphic(SInvalidBitmap));
    TStringStream stream(bytes);
    graphic->LoadFromStream(stream);
    picture.SetGraphic(graphic.get());
}

void AssignFieldFromPicture(TField& field, const TPicture& picture)
{
    TGraphic* graphic = picture.Graphic();
    if (!graphic || graphic->Empty()) {
        field.Clear();
        return;
    }
    TStringStream stream;
    graphic->SaveToStream(stream);
    if (auto* blob = dynamic_cast<TBlobField*>(&field)) {
        stream.Seek(0, 0);
        blob->LoadFromStream(stream);
    } else {
        field.SetAsString(stream.DataString());
    }
}
