#include "reportexport/mxNativeExcel.h"

#include "platform/rtl/Files.h"
#include "platform/rtl/Streams.h"
#include "platform/rtl/TextUtils.h"

#include <cstdio>
#include <cstring>

namespace {

constexpr std::uint16_t VersionWord = 0x0118;
constexpr std::uint16_t NumberRecord = 0x0003;
constexpr std::uint16_t LabelRecord = 0x0004;
constexpr std::uint16_t EofRecord = 0x000A;
constexpr std::size_t MaxLabelLength = 255;

} // namespace

TmxNativeExcel::TmxNativeExcel(TComponent* owner) : TComponent(owner), FBuffer(std::make_unique<TMemoryStream>())
{
    BeginFile();
}

TmxNativeExcel::~TmxNativeExcel() = default;

void TmxNativeExcel::WriteWord(std::uint16_t value)
{
    const std::uint8_t bytes[2] = {static_cast<std::uint8_t>(value & 0xFF), static_cast<std::uint8_t>(value >> 8)};
    FBuffer->WriteBuffer(bytes, 2);
}

void TmxNativeExcel::WriteByte(std::uint8_t value) { FBuffer->WriteBuffer(&value, 1); }

void TmxNativeExcel::WriteRecordHeader(std::uint16_t type, std::uint16_t length)
{
    if (FState == mxNativeExcel::fsClosed)
        BeginFile();
    WriteWord(type);
    WriteWord(length);
}

void TmxNativeExcel::BeginFile()
{
    FState = mxNativeExcel::fsOpen;
    FFontCount = 0;
    FBuffer->Clear();
    // Beginning of file: a worksheet.
    static const std::uint16_t bofTypes[] = {0x0009, 0x0209, 0x0409, 0x0809};
    const bool shortForm = FBIFF == mxNativeExcel::bvBIFF2;
    WriteRecordHeader(bofTypes[FBIFF], shortForm ? 4 : 6);
    WriteWord(0x0200);
    WriteWord(0x0010);
    if (!shortForm)
        WriteWord(0);
    // Dimensions: the whole sheet.
    WriteRecordHeader(shortForm ? 0x0000 : 0x0200, shortForm ? 8 : 10);
    WriteWord(0);
    WriteWord(LastRow);
    WriteWord(0);
    WriteWord(LastColumn);
    if (!shortForm)
        WriteWord(0);
}

void TmxNativeExcel::EndFile()
{
    WriteRecordHeader(EofRecord, 0);
    FState = mxNativeExcel::fsClosed;
}

void TmxNativeExcel::SaveFile()
{
    TAtomicFileStream file(FFileName);
    if (FBuffer->Size() > 0)
        file.WriteBuffer(FBuffer->Memory(), static_cast<int>(FBuffer->Size()));
    file.Commit();
}

void TmxNativeExcel::SetBIFF(mxNativeExcel::TmxBIFFVersion value)
{
    if (value == FBIFF)
        return;
    FBIFF = value;
    BeginFile();
}

void TmxNativeExcel::SetFileName(const std::string& value)
{
    if (SameText(ExtractFileExt(value), ".XLS"))
        FFileName = value;
    else
        FFileName = ChangeFileExt(value, ".XLS");
}

void TmxNativeExcel::SetRow(int value)
{
    if (value != FRow && value != 0 && value <= LastRow)
        FRow = value;
}

void TmxNativeExcel::SetColumn(int value)
{
    if (value != FColumn && value != 0 && value <= LastColumn)
        FColumn = value;
}

void TmxNativeExcel::SetActiveFont(std::uint8_t value)
{
    if (value <= FFontCount)
        FActiveFont = value;
}

std::string TmxNativeExcel::Version() const
{
    char text[16];
    std::snprintf(text, sizeof text, "%d.%d", VersionWord >> 8, VersionWord & 0xFF);
    return text;
}

void TmxNativeExcel::WriteTextCell(int row, int column, const std::string& text, const std::string&)
{
    SetRow(row);
    SetColumn(column);
    WriteLabel(text);
}

void TmxNativeExcel::WriteNumberCell(int row, int column, double value)
{
    SetRow(row);
    SetColumn(column);
    WriteRecordHeader(NumberRecord, 15);
    WriteCellPrefix();
    std::uint64_t bits = 0;
    std::memcpy(&bits, &value, sizeof bits);
    for (int i = 0; i < 8; ++i)
        WriteByte(static_cast<std::uint8_t>(bits >> (8 * i)));
}

void TmxNativeExcel::WriteLabel(const std::string& text)
{
    const std::size_t length = text.size() < MaxLabelLength ? text.size() : MaxLabelLength;
    WriteRecordHeader(LabelRecord, static_cast<std::uint16_t>(length + 8));
    WriteCellPrefix();
    WriteByte(static_cast<std::uint8_t>(length));
    if (length > 0)
        FBuffer->WriteBuffer(text.data(), static_cast<int>(length));
}

std::uint8_t TmxNativeExcel::AttributeByte3() const
{
    static const std::uint8_t alignmentCodes[] = {0, 1, 3, 2, 4, 7}; // in TmxExcelAlignment order
    std::uint8_t value = Shading ? 0x80 : 0;
    value |= alignmentCodes[Alignment];
    if (Borders.Contains(mxNativeExcel::ebTop))
        value |= 0x20;
    if (Borders.Contains(mxNativeExcel::ebBottom))
        value |= 0x40;
    if (Borders.Contains(mxNativeExcel::ebLeft))
        value |= 0x08;
    if (Borders.Contains(mxNativeExcel::ebRight))
        value |= 0x10;
    return value;
}

void TmxNativeExcel::WriteCellPrefix()
{
    WriteWord(static_cast<std::uint16_t>(FRow - 1));
    WriteWord(static_cast<std::uint16_t>(FColumn - 1));
    WriteByte(static_cast<std::uint8_t>((Hidden ? 0x80 : 0) | (Locked ? 0x40 : 0)));
    WriteByte(FActiveFont <= 3 ? static_cast<std::uint8_t>(FActiveFont * 64) : 0);
    WriteByte(AttributeByte3());
    MoveOn();
}

void TmxNativeExcel::MoveOn()
{
    switch (MoveAfterEnter) {
    case mxNativeExcel::maRight:
        if (FColumn < LastColumn) {
            ++FColumn;
        } else if (FRow < LastRow) {
            FColumn = 1;
            ++FRow;
        }
        break;
    case mxNativeExcel::maLeft:
        if (FColumn > 1) {
            --FColumn;
        } else if (FRow > 1) {
            FColumn = LastColumn;
            --FRow;
        }
        break;
    case mxNativeExcel::maDown:
        if (FRow < LastRow) {
            ++FRow;
        } else if (FColumn < LastColumn) {
            FRow = 1;
            ++FColumn;
        }
        break;
    case mxNativeExcel::maUp:
        if (FRow > 1) {
            --FRow;
        } else if (FColumn > 1) {
            FRow = LastRow;
            --FColumn;
        }
        break;
    case mxNativeExcel::maNone:
        break;
    }
}
