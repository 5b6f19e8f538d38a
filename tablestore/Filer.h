#pragma once
// The tagged value encoding that every table file is made of: a four-byte signature, then values,
// each a tag byte followed by the data the tag announces, with lists between a list-begin and a
// list-end tag. TWriter produces it and TReader consumes it, both through a buffer of their own,
// so that a whole table moves in a few large stream operations.

#include "platform/rtl/Streams.h"

#include <array>
#include <cstdint>
#include <string>
#include <vector>

// The tag bytes. The table formats write only these; the reader refuses any other where it expects
// a value.
enum TValueType : std::uint8_t {
    vaNull = 0, // list end
    vaList = 1,
    vaInt8 = 2,
    vaInt16 = 3,
    vaInt32 = 4,
    vaExtended = 5,
    vaString = 6,
    vaFalse = 8,
    vaTrue = 9,
    vaLString = 12
};

// An 80-bit extended-precision number as stored: the 64-bit significand least significant byte
// first (bit 63 is the explicit integer bit), then the sign and the exponent biased by 16383.
using TExtended80 = std::array<std::uint8_t, 10>;

// The exact widening of a double. Subnormal doubles are normalised; infinities and NaNs get the
// exponent 0x7FFF with the integer bit set and the fraction in the top fraction bits.
TExtended80 DoubleToExtended(double value);
// The double nearest to the extended value (ties to even): too large gives an infinity, too small
// a subnormal or zero. The significand is taken as written, whatever its integer bit says.
// Exponent 0x7FFF gives an infinity when the 63 fraction bits are zero and a NaN otherwise.
double ExtendedToDouble(const TExtended80& value);

class TFiler : public TObject {
    TESS_CLASS(TFiler, TObject)
public:
    TFiler(TStream* Stream, int BufSize);
    TFiler(const TFiler&) = delete;
    TFiler& operator=(const TFiler&) = delete;

    TStream* Stream() const { return FStream; }
    int BufferSize() const { return FBufSize; }

protected:
    TStream* FStream;
    std::vector<char> FBuffer;
    int FBufSize;
    // The next byte of the buffer to write or to read.
    int FBufPos = 0;
    // The reader's count of valid bytes in the buffer.
    int FBufEnd = 0;
};

class TWriter : public TFiler {
    TESS_CLASS(TWriter, TFiler)
public:
    TWriter(TStream* Stream, int BufSize);
    // Flushes what is buffered; a failure here is dropped, so a writer whose output matters is
    // flushed by its user, who then sees "Stream write error".
    ~TWriter() override;

    void WriteSignature();
    void WriteInteger(std::int32_t Value);
    void WriteBoolean(bool Value);
    void WriteFloat(double Value);
    void WriteString(const std::string& Value);
    void WriteListBegin();
    void WriteListEnd();
    // Hands the buffered bytes to the stream in one write; EWriteError "Stream write error" when
    // the stream takes fewer.
    void FlushBuffer();

    // Raw bytes, through the buffer.
    void Write(const void* Buf, int Count);

private:
    void WriteValue(TValueType Value);
    void SmallWrite(const std::uint8_t* Bytes, int Count);
};

class TReader : public TFiler {
    TESS_CLASS(TReader, TFiler)
public:
    TReader(TStream* Stream, int BufSize);
    // Moves the stream back by the buffered bytes not consumed, so that it stands right after the
    // last byte read.
    ~TReader() override;

    // EReadError "Invalid stream format" unless the next four bytes are "TPF0".
    void ReadSignature();
    // The next tag, which stays unread.
    TValueType NextValue();
    bool EndOfList();
    void ReadListBegin();
    void ReadListEnd();
    std::int32_t ReadInteger();
    // Also reads an integer value.
    double ReadFloat();
    std::string ReadString();
    // The same into Value, whose memory is reused from one value to the next.
    void ReadString(std::string& Value);
    // Consumes one tag byte of any kind; true only for vaTrue.
    bool ReadBoolean();
    TValueType ReadValue();

    // Exactly Count raw bytes, through the buffer; EReadError "Stream read error" when the stream
    // ends first.
    void Read(void* Buf, int Count);

private:
    void ReadBuffer();
    std::uint8_t ReadByte();
    void CheckValue(TValueType Expected);
    std::int32_t ReadIntegerOfType(TValueType Type);
    void CheckStringLength(std::int64_t Length);
};
