#include "tablestore/Filer.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <limits>

namespace {

const char Signature[4] = {'T', 'P', 'F', '0'};

[[noreturn]] void RaiseReadError()
{
    RAISE(EReadError("Stream read error"));
}

[[noreturn]] void RaiseInvalidFormat()
{
    RAISE(EReadError("Invalid stream format"));
}

[[noreturn]] void RaiseInvalidProperty()
{
    RAISE(EReadError("Invalid property value"));
}

constexpr std::uint64_t DoubleFractionMask = (std::uint64_t(1) << 52) - 1;
constexpr std::uint64_t IntegerBit = std::uint64_t(1) << 63;
constexpr int ExtendedBias = 16383;
constexpr int DoubleBias = 1023;

TExtended80 PackExtended(std::uint64_t significand, bool negative, int exponent)
{
    TExtended80 bytes{};
    for (int i = 0; i < 8; ++i)
        bytes[i] = static_cast<std::uint8_t>(significand >> (8 * i));
    const unsigned word = (negative ? 0x8000u : 0u) | static_cast<unsigned>(exponent);
    bytes[8] = static_cast<std::uint8_t>(word & 0xFF);
    bytes[9] = static_cast<std::uint8_t>(word >> 8);
    return bytes;
}

double PackDouble(bool negative, std::uint64_t biasedExponent, std::uint64_t fraction)
{
    const std::uint64_t bits =
        (negative ? IntegerBit : 0) | (biasedExponent << 52) | (fraction & DoubleFractionMask);
    return std::bit_cast<double>(bits);
}

// Rounds significand / 2^shift to the nearest integer, ties to even (shift 1..64).
std::uint64_t ShiftRightRounded(std::uint64_t significand, int shift)
{
    const std::uint64_t kept = shift >= 64 ? 0 : significand >> shift;
    const std::uint64_t remainder = shift >= 64 ? significand : significand & ((std::uint64_t(1) << shift) - 1);
    const std::uint64_t half = std::uint64_t(1) << (shift - 1);
    if (remainder > half || (remainder == half && (kept & 1) != 0))
        return kept + 1;
    return kept;
}

} // namespace

TExtended80 DoubleToExtended(double value)
{
    const std::uint64_t bits = std::bit_cast<std::uint64_t>(value);
    const bool negative = (bits >> 63) != 0;
    const int exponent = static_cast<int>((bits >> 52) & 0x7FF);
    const std::uint64_t fraction = bits & DoubleFractionMask;

    if (exponent == 0x7FF)
        return PackExtended(IntegerBit | (fraction << 11), negative, 0x7FFF);
    if (exponent == 0) {
        if (fraction == 0)
            return PackExtended(0, negative, 0);
        // Subnormal: fraction * 2^-1074, normalised so that the integer bit is set.
        const int leadingZeros = std::countl_zero(fraction);
        return PackExtended(fraction << leadingZeros, negative,
                            -1074 + 63 - leadingZeros + ExtendedBias);
    }
    return PackExtended(IntegerBit | (fraction << 11), negative,
                        exponent - DoubleBias + ExtendedBias);
}

double ExtendedToDouble(const TExtended80& value)
{
    std::uint64_t significand = 0;
    for (int i = 7; i >= 0; --i)
        significand = (significand << 8) | value[i];
    const unsigned word = value[8] | (unsigned(value[9]) << 8);
    const bool negative = (word & 0x8000) != 0;
    const int exponent = static_cast<int>(word & 0x7FFF);

    if (exponent == 0x7FFF) {
        const std::uint64_t fraction = significand & ~IntegerBit;
        if (fraction == 0)
            return PackDouble(negative, 0x7FF, 0);
        // Keep what fits of the payload; a NaN must keep a non-zero fraction.
        std::uint64_t doubleFraction = fraction >> 11;
        if (doubleFraction == 0)
            doubleFraction = std::uint64_t(1) << 51;
        return PackDouble(negative, 0x7FF, doubleFraction);
    }
    if (significand == 0)
        return PackDouble(negative, 0, 0);

    // value = significand * 2^(exponent - 16383 - 63); normalise so that bit 63 is set, then the
    // value is 1.f * 2^unbiased.
    const int leadingZeros = std::countl_zero(significand);
    significand <<= leadingZeros;
    const int unbiased = exponent - ExtendedBias - leadingZeros;
    const int biased = unbiased + DoubleBias;

    if (biased >= 0x7FF)
        return PackDouble(negative, 0x7FF, 0);
    if (biased >= 1) {
        std::uint64_t mantissa = ShiftRightRounded(significand, 11); // 53 bits, maybe 2^53
        std::uint64_t resultExponent = static_cast<std::uint64_t>(biased);
        if (mantissa >> 53) {
            mantissa >>= 1;
            ++resultExponent;
            if (resultExponent >= 0x7FF)
                return PackDouble(negative, 0x7FF, 0);
        }
        return PackDouble(negative, resultExponent, mantissa);
    }
    // Subnormal range: count in units of 2^-1074. The value is significand * 2^(unbiased - 63),
    // that is significand / 2^shift units with shift = 63 - unbiased - 1074 >= 12.
    const int shift = 63 - unbiased - 1074;
    if (shift > 64)
        return PackDouble(negative, 0, 0);
    const std::uint64_t units = ShiftRightRounded(significand, shift);
    // 2^52 units is the smallest normal number, which the packing below yields as well.
    return std::bit_cast<double>((negative ? IntegerBit : 0) | units);
}

// --- TFiler ---

TFiler::TFiler(TStream* Stream, int BufSize)
    : FStream(Stream), FBuffer(static_cast<std::size_t>(std::max(BufSize, 1))),
      FBufSize(std::max(BufSize, 1))
{
}

// --- TWriter ---

TWriter::TWriter(TStream* Stream, int BufSize) : TFiler(Stream, BufSize) {}

TWriter::~TWriter()
{
    try {
        FlushBuffer();
    } catch (...) {
        // A destructor must not throw; callers that care flush first.
    }
}

void TWriter::FlushBuffer()
{
    // The buffer is emptied before the write so that a failed flush is not repeated later.
    const int count = FBufPos;
    FBufPos = 0;
    if (count > 0 && FStream->Write(FBuffer.data(), count) != count)
        RAISE(EWriteError("Stream write error"));
}

void TWriter::Write(const void* Buf, int Count)
{
    const char* source = static_cast<const char*>(Buf);
    while (Count > 0) {
        if (FBufPos == FBufSize)
            FlushBuffer();
        const int chunk = std::min(Count, FBufSize - FBufPos);
        std::memcpy(FBuffer.data() + FBufPos, source, static_cast<std::size_t>(chunk));
        FBufPos += chunk;
        source += chunk;
        Count -= chunk;
    }
}

void TWriter::WriteValue(TValueType Value)
{
    if (FBufPos == FBufSize)
        FlushBuffer();
    FBuffer[static_cast<std::size_t>(FBufPos++)] = static_cast<char>(Value);
}

void TWriter::WriteSignature()
{
    Write(Signature, 4);
}

void TWriter::WriteInteger(std::int32_t Value)
{
    std::uint8_t bytes[5];
    int size;
    if (Value >= -128 && Value <= 127) {
        bytes[0] = vaInt8;
        size = 1;
    } else if (Value >= -32768 && Value <= 32767) {
        bytes[0] = vaInt16;
        size = 2;
    } else {
        bytes[0] = vaInt32;
        size = 4;
    }
    const std::uint32_t bits = static_cast<std::uint32_t>(Value);
    for (int i = 0; i < size; ++i)
        bytes[1 + i] = static_cast<std::uint8_t>(bits >> (8 * i));
    SmallWrite(bytes, 1 + size);
}

void TWriter::WriteBoolean(bool Value)
{
    WriteValue(Value ? vaTrue : vaFalse);
}

void TWriter::WriteFloat(double Value)
{
    std::uint8_t bytes[11];
    bytes[0] = vaExtended;
    const TExtended80 extended = DoubleToExtended(Value);
    std::memcpy(bytes + 1, extended.data(), extended.size());
    SmallWrite(bytes, sizeof bytes);
}

void TWriter::WriteString(const std::string& Value)
{
    const std::size_t length = Value.size();
    if (length > static_cast<std::size_t>(std::numeric_limits<std::int32_t>::max()))
        RAISE(EWriteError("Stream write error"));
    if (length <= 255) {
        const std::uint8_t header[2] = {vaString, static_cast<std::uint8_t>(length)};
        SmallWrite(header, 2);
    } else {
        std::uint8_t header[5] = {vaLString};
        for (int i = 0; i < 4; ++i)
            header[1 + i] = static_cast<std::uint8_t>(length >> (8 * i));
        SmallWrite(header, 5);
    }
    Write(Value.data(), static_cast<int>(length));
}

// A tag with its fixed data (at most 11 bytes): straight into the buffer when it has room, else
// through Write, which fills the buffer up before handing it on.
void TWriter::SmallWrite(const std::uint8_t* Bytes, int Count)
{
    if (FBufSize - FBufPos < Count) {
        Write(Bytes, Count);
        return;
    }
    std::memcpy(FBuffer.data() + FBufPos, Bytes, static_cast<std::size_t>(Count));
    FBufPos += Count;
}

void TWriter::WriteListBegin()
{
    WriteValue(vaList);
}

void TWriter::WriteListEnd()
{
    WriteValue(vaNull);
}

// --- TReader ---

TReader::TReader(TStream* Stream, int BufSize) : TFiler(Stream, BufSize) {}

TReader::~TReader()
{
    const int unread = FBufEnd - FBufPos;
    if (unread <= 0)
        return;
    try {
        FStream->Seek(-static_cast<std::int64_t>(unread), soFromCurrent);
    } catch (...) {
        // A destructor must not throw; the stream is left where the buffer ended.
    }
}

void TReader::ReadBuffer()
{
    const int count = FStream->Read(FBuffer.data(), FBufSize);
    if (count <= 0)
        RaiseReadError();
    FBufEnd = count;
    FBufPos = 0;
}

void TReader::Read(void* Buf, int Count)
{
    char* target = static_cast<char*>(Buf);
    while (Count > 0) {
        if (FBufPos == FBufEnd)
            ReadBuffer();
        const int chunk = std::min(Count, FBufEnd - FBufPos);
        std::memcpy(target, FBuffer.data() + FBufPos, static_cast<std::size_t>(chunk));
        FBufPos += chunk;
        target += chunk;
        Count -= chunk;
    }
}

std::uint8_t TReader::ReadByte()
{
    if (FBufPos == FBufEnd)
        ReadBuffer();
    return static_cast<std::uint8_t>(FBuffer[FBufPos++]);
}

TValueType TReader::ReadValue()
{
    return static_cast<TValueType>(ReadByte());
}

TValueType TReader::NextValue()
{
    if (FBufPos == FBufEnd)
        ReadBuffer();
    return static_cast<TValueType>(static_cast<std::uint8_t>(FBuffer[FBufPos]));
}

bool TReader::EndOfList()
{
    return NextValue() == vaNull;
}

void TReader::CheckValue(TValueType Expected)
{
    if (ReadValue() != Expected)
        RaiseInvalidProperty();
}

void TReader::ReadSignature()
{
    char bytes[4];
    Read(bytes, 4);
    if (std::memcmp(bytes, Signature, 4) != 0)
        RaiseInvalidFormat();
}

void TReader::ReadListBegin()
{
    CheckValue(vaList);
}

void TReader::ReadListEnd()
{
    CheckValue(vaNull);
}

std::int32_t TReader::ReadIntegerOfType(TValueType Type)
{
    std::uint8_t bytes[4];
    switch (Type) {
    case vaInt8:
        Read(bytes, 1);
        return static_cast<std::int8_t>(bytes[0]);
    case vaInt16:
        Read(bytes, 2);
        return static_cast<std::int16_t>(bytes[0] | (bytes[1] << 8));
    case vaInt32:
        Read(bytes, 4);
        return static_cast<std::int32_t>(std::uint32_t(bytes[0]) | (std::uint32_t(bytes[1]) << 8) |
                                         (std::uint32_t(bytes[2]) << 16) |
                                         (std::uint32_t(bytes[3]) << 24));
    default:
        RaiseInvalidProperty();
    }
}

std::int32_t TReader::ReadInteger()
{
    return ReadIntegerOfType(ReadValue());
}

double TReader::ReadFloat()
{
    const TValueType type = ReadValue();
    if (type == vaExtended) {
        TExtended80 extended;
        Read(extended.data(), static_cast<int>(extended.size()));
        return ExtendedToDouble(extended);
    }
    return ReadIntegerOfType(type);
}

// A length that cannot be there is refused before anything is allocated.
void TReader::CheckStringLength(std::int64_t Length)
{
    if (Length < 0)
        RaiseReadError();
    const std::int64_t buffered = FBufEnd - FBufPos;
    if (Length <= buffered)
        return;
    const std::int64_t available = FStream->Size() - FStream->Position() + buffered;
    if (Length > available)
        RaiseReadError();
}

std::string TReader::ReadString()
{
    std::string result;
    ReadString(result);
    return result;
}

void TReader::ReadString(std::string& Value)
{
    std::int64_t length;
    switch (ReadValue()) {
    case vaString:
        length = ReadByte();
        break;
    case vaLString: {
        std::uint8_t bytes[4];
        Read(bytes, 4);
        length = static_cast<std::int32_t>(std::uint32_t(bytes[0]) | (std::uint32_t(bytes[1]) << 8) |
                                           (std::uint32_t(bytes[2]) << 16) |
                                           (std::uint32_t(bytes[3]) << 24));
        CheckStringLength(length);
        break;
    }
    default:
        RaiseInvalidProperty();
    }
    Value.resize(static_cast<std::size_t>(length));
    Read(Value.data(), static_cast<int>(length));
}

bool TReader::ReadBoolean()
{
    return ReadValue() == vaTrue;
}
