#pragma once
// Byte streams as the class library has them: the abstract TStream and its handle, file, memory
// and string forms, plus TAtomicFileStream, which replaces a file only when it is complete.

#include "platform/rtl/Exceptions.h"
#include "platform/rtl/Files.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// Origins of Seek.
constexpr int soFromBeginning = 0;
constexpr int soFromCurrent = 1;
constexpr int soFromEnd = 2;
enum TSeekOrigin { soBeginning = 0, soCurrent = 1, soEnd = 2 };

class TStream : public TObject {
    TESS_CLASS(TStream, TObject)
public:
    // Read and Write move up to count bytes and return how many moved (-1 for a failed handle).
    virtual int Read(void* buffer, int count) = 0;
    virtual int Write(const void* buffer, int count) = 0;
    // Returns the new position.
    virtual std::int64_t Seek(std::int64_t offset, int origin) = 0;

    // Move exactly count bytes or raise EReadError "Stream read error" / EWriteError
    // "Stream write error".
    void ReadBuffer(void* buffer, int count);
    void WriteBuffer(const void* buffer, int count);

    std::int64_t Position();
    void SetPosition(std::int64_t position);
    virtual std::int64_t Size();
    // Streams that cannot change their size ignore it.
    virtual void SetSize(std::int64_t newSize);

    // Copies count bytes from the source's position; count 0 copies the whole source from its
    // start. Returns the number of bytes copied.
    std::int64_t CopyFrom(TStream& source, std::int64_t count);

    // Little-endian values; the reads raise EReadError at the end of the stream.
    std::int8_t ReadInt8();
    std::uint8_t ReadUInt8();
    std::int16_t ReadInt16();
    std::uint16_t ReadUInt16();
    std::int32_t ReadInt32();
    std::uint32_t ReadUInt32();
    std::int64_t ReadInt64();
    std::uint64_t ReadUInt64();
    float ReadFloat();
    double ReadDouble();
    void WriteInt8(std::int8_t value);
    void WriteUInt8(std::uint8_t value);
    void WriteInt16(std::int16_t value);
    void WriteUInt16(std::uint16_t value);
    void WriteInt32(std::int32_t value);
    void WriteUInt32(std::uint32_t value);
    void WriteInt64(std::int64_t value);
    void WriteUInt64(std::uint64_t value);
    void WriteFloat(float value);
    void WriteDouble(double value);
};

// A stream over an open file handle (a POSIX descriptor), which it does not close.
class THandleStream : public TStream {
    TESS_CLASS(THandleStream, TStream)
public:
    explicit THandleStream(int handle) : FHandle(handle) {}

    int Handle() const { return FHandle; }
    int Read(void* buffer, int count) override;
    int Write(const void* buffer, int count) override;
    std::int64_t Seek(std::int64_t offset, int origin) override;
    // Raises EWriteError when the file cannot be resized.
    void SetSize(std::int64_t newSize) override;

protected:
    int FHandle = -1;
};

// A file opened through the path resolver with fmCreate or fmOpenRead/fmOpenWrite/fmOpenReadWrite
// (share flags accepted and ignored). Raises EFCreateError 'Cannot create file "%s". reason' or
// EFOpenError 'Cannot open file "%s". reason'.
class TFileStream : public THandleStream {
    TESS_CLASS(TFileStream, THandleStream)
public:
    TFileStream(const std::string& fileName, int mode);
    ~TFileStream() override;
    TFileStream(const TFileStream&) = delete;
    TFileStream& operator=(const TFileStream&) = delete;

    const std::string& FileName() const { return FFileName; }

private:
    std::string FFileName;
};

// Bytes in memory. The position may be set beyond the end; a write there fills the gap with zeros.
class TMemoryStream : public TStream {
    TESS_CLASS(TMemoryStream, TStream)
public:
    // Valid until the size changes.
    char* Memory() { return FData.data(); }
    const char* Memory() const { return FData.data(); }

    int Read(void* buffer, int count) override;
    int Write(const void* buffer, int count) override;
    std::int64_t Seek(std::int64_t offset, int origin) override;
    std::int64_t Size() override { return static_cast<std::int64_t>(FData.size()); }
    // A position beyond the new end moves to the end.
    void SetSize(std::int64_t newSize) override;
    // Empties the stream; the position goes to 0.
    void Clear();

    // Replace the contents with the whole of the stream (read from its start) or file. As in the
    // class library the position stays where it was, within the new size.
    void LoadFromStream(TStream& stream);
    void LoadFromFile(const std::string& fileName);
    // Write the whole contents; SaveToFile replaces the file atomically.
    void SaveToStream(TStream& stream);
    void SaveToFile(const std::string& fileName);

private:
    std::vector<char> FData;
    std::int64_t FPosition = 0;
};

// A stream over a string. As in the class library, Write cuts the string at the end of what it
// wrote; Seek keeps the position within the string.
class TStringStream : public TStream {
    TESS_CLASS(TStringStream, TStream)
public:
    explicit TStringStream(std::string dataString = {}) : FDataString(std::move(dataString)) {}

    const std::string& DataString() const { return FDataString; }

    int Read(void* buffer, int count) override;
    int Write(const void* buffer, int count) override;
    std::int64_t Seek(std::int64_t offset, int origin) override;
    std::int64_t Size() override { return static_cast<std::int64_t>(FDataString.size()); }
    void SetSize(std::int64_t newSize) override;

    // Reads up to count bytes from the position.
    std::string ReadString(int count);
    void WriteString(const std::string& text);

private:
    std::string FDataString;
    std::int64_t FPosition = 0;
};

// Every temporary of an atomic save is named "." + the target's name + "." + twelve lower-case
// hexadecimal digits + ".tmp" in the target's folder, the target's name cut to 200 bytes: hidden,
// and recognisable as the leftover of a save cut short, which may then be deleted.
std::string AtomicTemporaryName(const std::string& targetName);
bool IsAtomicTemporaryName(std::string_view name);
// Creates a new file by that rule beside a native target path; its descriptor, or -1 with errno.
int CreateAtomicTemporary(const std::string& targetNative, std::string& temporaryNative);

// How Commit leaves the new version: flushed to the disk with its folder entry, or only renamed
// (a scratch copy, or one of many files whose caller flushes the file system once at the end).
enum class TAtomicCommit { Flushed, Unflushed };

// Writes a new version of a file without touching the old one until it is complete: the bytes go
// to a temporary file in the target's folder; Commit() flushes it to the disk and renames it over
// the target. Destroyed without Commit (an exception half way), it removes the temporary and the
// previous file stays as it was. A read-only target is refused as it would be when opened for
// writing. Raises EFCreateError naming the file when the temporary cannot be made or when Commit
// fails (the temporary is then removed).
class TAtomicFileStream : public THandleStream {
    TESS_CLASS(TAtomicFileStream, THandleStream)
public:
    explicit TAtomicFileStream(const std::string& fileName);
    ~TAtomicFileStream() override;
    TAtomicFileStream(const TAtomicFileStream&) = delete;
    TAtomicFileStream& operator=(const TAtomicFileStream&) = delete;

    void Commit(TAtomicCommit mode = TAtomicCommit::Flushed);
    const std::string& FileName() const { return FFileName; }

private:
    void Discard();

    std::string FFileName;
    std::string FTargetNative;
    std::string FTempNative;
    bool FCommitted = false;
};
