#pragma once
// What the decoders read from and write to: the archive read through a block buffer, the
// counted reader of one member's compressed bytes (with its progress) and its bit reader, and
// the output of a member (CRC, block buffer, written count).

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

// The archive's bytes. Read returns 0 at the end; both calls throw on an I/O failure.
class TZipByteSource {
public:
    virtual ~TZipByteSource() = default;
    virtual std::size_t Read(std::uint8_t* buffer, std::size_t size) = 0;
    // Moves the read position size bytes forward; false when that is past the end.
    virtual bool Skip(std::uint64_t size) = 0;
};

// The archive through an 8192-byte buffer.
class TZipInput {
public:
    static constexpr std::size_t BufferSize = 8192;

    explicit TZipInput(TZipByteSource& source);

    // False at the end of the archive.
    bool ReadByte(std::uint8_t& byte)
    {
        if (FPosition == FCount && !Fill())
            return false;
        byte = FBuffer[FPosition++];
        return true;
    }
    // Returns the number of bytes read; fewer than size only at the end of the archive.
    std::size_t Read(std::uint8_t* data, std::size_t size);
    // False when the archive ends before size bytes.
    bool Skip(std::uint64_t size);
    bool AtEnd() const { return FEnd; }

private:
    bool Fill();

    TZipByteSource& FSource;
    std::unique_ptr<std::uint8_t[]> FBuffer;
    std::size_t FCount = 0;
    std::size_t FPosition = 0;
    bool FEnd = false;
};

using TZipProgressSink = std::function<void(std::int16_t progress)>;
using TZipReport = std::function<void(const std::string& message)>;

// One member's compressed bytes, counted: never reads past them, reports progress per byte.
class TZipBitReader {
public:
    static constexpr int EndMark = -1;

    // progress may be empty; it is read at each byte, so it must outlive the reader.
    TZipBitReader(TZipInput& input, const TZipProgressSink& progress);

    void Start(std::uint32_t compressedSize);
    // The next compressed byte, or EndMark when the member's data (or the archive) has ended.
    int ReadByte()
    {
        if (FRemaining == 0)
            return EndMark;
        if (FProgress)
            ReportProgress();
        std::uint8_t byte;
        if (!FInput.ReadByte(byte)) {
            FTruncated = true;
            FRemaining = 0;
            return EndMark;
        }
        --FRemaining;
        return byte;
    }
    // n bits (1 to 16), least significant first, or EndMark when the data ended first.
    int ReadBits(int n)
    {
        if (!FStarted) {
            FStarted = true;
            FCurrent = ReadByte();
            FBitsLeft = 8;
        }
        int value = 0;
        int got = 0;
        while (got < n && FCurrent != EndMark) {
            int take = n - got < FBitsLeft ? n - got : FBitsLeft;
            value |= (FCurrent & ((1 << take) - 1)) << got;
            FCurrent >>= take;
            FBitsLeft -= take;
            got += take;
            if (FBitsLeft == 0) {
                FCurrent = ReadByte();
                FBitsLeft = 8;
            }
        }
        return got == n ? value : EndMark;
    }
    std::uint32_t Remaining() const { return FRemaining; }
    // Skips what the decoder left of the member's data.
    void SkipRest();
    // The archive ended inside the member.
    bool Truncated() const { return FTruncated; }

private:
    void ReportProgress();

    TZipInput& FInput;
    const TZipProgressSink& FProgress;
    std::uint32_t FCompressedSize = 0;
    std::uint32_t FRemaining = 0;
    bool FTruncated = false;
    bool FStarted = false;
    int FCurrent = 0;
    int FBitsLeft = 0;
};

// Where a member's decoded bytes go: the CRC, an 8192-byte buffer handed to the sink when
// full, and the written count.
class TZipMemberOutput {
public:
    static constexpr std::size_t BufferSize = 8192;
    using TSink = std::function<void(const std::uint8_t* data, std::size_t size)>;

    explicit TZipMemberOutput(TSink sink);

    void Put(std::uint8_t byte)
    {
        FCrc = CrcTable[(FCrc ^ byte) & 0xFF] ^ (FCrc >> 8);
        if (FCount == BufferSize)
            Flush();
        FBuffer[FCount++] = byte;
        ++FWritten;
    }
    void Flush();
    std::uint32_t Crc() const { return ~FCrc; }
    std::uint64_t Written() const { return FWritten; }

private:
    TSink FSink;
    const std::uint32_t* CrcTable;
    std::unique_ptr<std::uint8_t[]> FBuffer;
    std::size_t FCount = 0;
    std::uint32_t FCrc = 0xFFFFFFFF;
    std::uint64_t FWritten = 0;
};

// How a decoder ended the member.
enum class TDecodeResult {
    Complete,
    Damaged,   // hostile or broken data ended the member early
    NoMemory,  // the tables could not be allocated; the data was not read
};
