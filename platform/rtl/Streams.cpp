#include "platform/rtl/Streams.h"

#include "platform/rtl/Codepage.h"
#include "platform/rtl/SysErrors.h"

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <random>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr int CopyBufferSize = 0xF000;

[[noreturn]] void RaiseReadError()
{
    RAISE(EReadError("Stream read error"));
}

[[noreturn]] void RaiseWriteError()
{
    RAISE(EWriteError("Stream write error"));
}

std::string LastErrorText()
{
    return SysErrorMessage(GetLastError());
}

[[noreturn]] void RaiseCreateError(const std::string& fileName)
{
    RAISE(EFCreateError("Cannot create file \"" + ExpandFileName(fileName) + "\". " +
                        LastErrorText()));
}

[[noreturn]] void RaiseOpenError(const std::string& fileName)
{
    RAISE(EFOpenError("Cannot open file \"" + ExpandFileName(fileName) + "\". " +
                      LastErrorText()));
}

// Little-endian encoding independent of the machine's byte order.
template <typename Unsigned>
Unsigned ReadLittleEndian(TStream& stream)
{
    unsigned char bytes[sizeof(Unsigned)];
    stream.ReadBuffer(bytes, sizeof bytes);
    Unsigned value = 0;
    for (size_t i = sizeof bytes; i-- > 0;)
        value = static_cast<Unsigned>((value << 8) | bytes[i]);
    return value;
}

template <typename Unsigned>
void WriteLittleEndian(TStream& stream, Unsigned value)
{
    unsigned char bytes[sizeof(Unsigned)];
    for (size_t i = 0; i < sizeof bytes; ++i) {
        bytes[i] = static_cast<unsigned char>(value & 0xFF);
        value = static_cast<Unsigned>(value >> 8);
    }
    stream.WriteBuffer(bytes, sizeof bytes);
}

std::string NativeFolderOf(const std::string& nativePath)
{
    const auto slash = nativePath.rfind('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? std::string("/") : nativePath.substr(0, slash);
}

std::string NativeNameOf(const std::string& nativePath)
{
    const auto slash = nativePath.rfind('/');
    return slash == std::string::npos ? nativePath : nativePath.substr(slash + 1);
}

} // namespace

std::string AtomicTemporaryName(const std::string& targetName)
{
    static std::atomic<unsigned> counter{0};
    // Made once per thread: setting one up costs more than the file it names.
    thread_local std::random_device random;
    // The temporary name must stay within the 255 bytes a folder entry may hold, however long
    // the target's name is; cut at a character boundary.
    std::string name = targetName;
    constexpr std::size_t longestKeptName = 200;
    if (name.size() > longestKeptName) {
        std::size_t cut = longestKeptName;
        while (cut > 0 && (static_cast<unsigned char>(name[cut]) & 0xC0) == 0x80)
            --cut;
        name.resize(cut);
    }
    char suffix[32];
    snprintf(suffix, sizeof suffix, "%08x%04x.tmp", random(), (counter++) & 0xFFFF);
    return "." + name + "." + suffix;
}

bool IsAtomicTemporaryName(std::string_view name)
{
    constexpr std::string_view ending = ".tmp";
    constexpr std::size_t digits = 12;
    // "." + at least one byte of the target's name + "." + the digits + ".tmp"
    if (name.size() < 3 + digits + ending.size() || name.front() != '.' ||
        name.substr(name.size() - ending.size()) != ending)
        return false;
    const std::size_t first = name.size() - ending.size() - digits;
    if (name[first - 1] != '.')
        return false;
    for (std::size_t i = first; i < first + digits; ++i)
        if (!std::isdigit(static_cast<unsigned char>(name[i])) && (name[i] < 'a' || name[i] > 'f'))
            return false;
    return true;
}

int CreateAtomicTemporary(const std::string& targetNative, std::string& temporaryNative)
{
    const std::string folder = NativeFolderOf(targetNative);
    const std::string prefix = folder == "/" ? folder : folder + "/";
    for (int attempt = 0; attempt < 100; ++attempt) {
        temporaryNative = prefix + AtomicTemporaryName(NativeNameOf(targetNative));
        const int handle =
            open(temporaryNative.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (handle >= 0 || errno != EEXIST)
            return handle;
    }
    errno = EEXIST;
    return -1;
}

namespace {

void SyncFolder(const std::string& folder)
{
    const int handle = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (handle >= 0) {
        fsync(handle);
        close(handle);
    }
}

} // namespace

// --- TStream ------------------------------------------------------------------------------------

void TStream::ReadBuffer(void* buffer, int count)
{
    if (count != 0 && Read(buffer, count) != count)
        RaiseReadError();
}

void TStream::WriteBuffer(const void* buffer, int count)
{
    if (count != 0 && Write(buffer, count) != count)
        RaiseWriteError();
}

std::int64_t TStream::Position()
{
    return Seek(0, soFromCurrent);
}

void TStream::SetPosition(std::int64_t position)
{
    Seek(position, soFromBeginning);
}

std::int64_t TStream::Size()
{
    const std::int64_t position = Seek(0, soFromCurrent);
    const std::int64_t size = Seek(0, soFromEnd);
    Seek(position, soFromBeginning);
    return size;
}

void TStream::SetSize(std::int64_t)
{
}

std::int64_t TStream::CopyFrom(TStream& source, std::int64_t count)
{
    if (count == 0) {
        source.SetPosition(0);
        count = source.Size();
    }
    const std::int64_t total = count;
    std::vector<char> buffer(static_cast<size_t>(std::min<std::int64_t>(count, CopyBufferSize)));
    while (count > 0) {
        const int chunk = static_cast<int>(std::min<std::int64_t>(count, CopyBufferSize));
        source.ReadBuffer(buffer.data(), chunk);
        WriteBuffer(buffer.data(), chunk);
        count -= chunk;
    }
    return total;
}

std::int8_t TStream::ReadInt8() { return static_cast<std::int8_t>(ReadLittleEndian<std::uint8_t>(*this)); }
std::uint8_t TStream::ReadUInt8() { return ReadLittleEndian<std::uint8_t>(*this); }
std::int16_t TStream::ReadInt16() { return static_cast<std::int16_t>(ReadLittleEndian<std::uint16_t>(*this)); }
std::uint16_t TStream::ReadUInt16() { return ReadLittleEndian<std::uint16_t>(*this); }
std::int32_t TStream::ReadInt32() { return static_cast<std::int32_t>(ReadLittleEndian<std::uint32_t>(*this)); }
std::uint32_t TStream::ReadUInt32() { return ReadLittleEndian<std::uint32_t>(*this); }
std::int64_t TStream::ReadInt64() { return static_cast<std::int64_t>(ReadLittleEndian<std::uint64_t>(*this)); }
std::uint64_t TStream::ReadUInt64() { return ReadLittleEndian<std::uint64_t>(*this); }

float TStream::ReadFloat()
{
    const std::uint32_t bits = ReadUInt32();
    float value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

double TStream::ReadDouble()
{
    const std::uint64_t bits = ReadUInt64();
    double value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

void TStream::WriteInt8(std::int8_t value) { WriteLittleEndian(*this, static_cast<std::uint8_t>(value)); }
void TStream::WriteUInt8(std::uint8_t value) { WriteLittleEndian(*this, value); }
void TStream::WriteInt16(std::int16_t value) { WriteLittleEndian(*this, static_cast<std::uint16_t>(value)); }
void TStream::WriteUInt16(std::uint16_t value) { WriteLittleEndian(*this, value); }
void TStream::WriteInt32(std::int32_t value) { WriteLittleEndian(*this, static_cast<std::uint32_t>(value)); }
void TStream::WriteUInt32(std::uint32_t value) { WriteLittleEndian(*this, value); }
void TStream::WriteInt64(std::int64_t value) { WriteLittleEndian(*this, static_cast<std::uint64_t>(value)); }
void TStream::WriteUInt64(std::uint64_t value) { WriteLittleEndian(*this, value); }

void TStream::WriteFloat(float value)
{
    std::uint32_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    WriteUInt32(bits);
}

void TStream::WriteDouble(double value)
{
    std::uint64_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    WriteUInt64(bits);
}

// --- THandleStream ------------------------------------------------------------------------------

int THandleStream::Read(void* buffer, int count)
{
    return FileRead(FHandle, buffer, count);
}

int THandleStream::Write(const void* buffer, int count)
{
    return FileWrite(FHandle, buffer, count);
}

std::int64_t THandleStream::Seek(std::int64_t offset, int origin)
{
    return FileSeek(FHandle, offset, origin);
}

void THandleStream::SetSize(std::int64_t newSize)
{
    Seek(newSize, soFromBeginning);
    if (ftruncate(FHandle, static_cast<off_t>(newSize)) != 0) {
        const std::uint32_t code = SetLastErrorFromErrno(errno);
        EOSError error("System Error.  Code: " + std::to_string(code) + ".\n" +
                       SysErrorMessage(code));
        error.ErrorCode = code;
        RAISE(error);
    }
}

// --- TFileStream --------------------------------------------------------------------------------

TFileStream::TFileStream(const std::string& fileName, int mode)
    : THandleStream(-1), FFileName(fileName)
{
    if (mode == fmCreate) {
        FHandle = FileCreate(fileName);
        if (FHandle < 0)
            RaiseCreateError(fileName);
    } else {
        FHandle = FileOpen(fileName, mode);
        if (FHandle < 0)
            RaiseOpenError(fileName);
    }
}

TFileStream::~TFileStream()
{
    FileClose(FHandle);
}

// --- TMemoryStream ------------------------------------------------------------------------------

int TMemoryStream::Read(void* buffer, int count)
{
    const auto size = static_cast<std::int64_t>(FData.size());
    if (count <= 0 || FPosition < 0 || FPosition >= size)
        return 0;
    const int done = static_cast<int>(std::min<std::int64_t>(count, size - FPosition));
    std::memcpy(buffer, FData.data() + FPosition, static_cast<size_t>(done));
    FPosition += done;
    return done;
}

int TMemoryStream::Write(const void* buffer, int count)
{
    if (count <= 0 || FPosition < 0)
        return 0;
    const std::int64_t end = FPosition + count;
    if (end > static_cast<std::int64_t>(FData.size()))
        FData.resize(static_cast<size_t>(end), 0);
    std::memcpy(FData.data() + FPosition, buffer, static_cast<size_t>(count));
    FPosition = end;
    return count;
}

std::int64_t TMemoryStream::Seek(std::int64_t offset, int origin)
{
    switch (origin) {
    case soFromBeginning: FPosition = offset; break;
    case soFromCurrent: FPosition += offset; break;
    case soFromEnd: FPosition = static_cast<std::int64_t>(FData.size()) + offset; break;
    default: break;
    }
    return FPosition;
}

void TMemoryStream::SetSize(std::int64_t newSize)
{
    FData.resize(static_cast<size_t>(std::max<std::int64_t>(newSize, 0)), 0);
    if (FPosition > newSize)
        FPosition = static_cast<std::int64_t>(FData.size());
}

void TMemoryStream::Clear()
{
    FData.clear();
    FData.shrink_to_fit();
    FPosition = 0;
}

void TMemoryStream::LoadFromStream(TStream& stream)
{
    stream.SetPosition(0);
    const std::int64_t count = stream.Size();
    SetSize(count);
    if (count != 0)
        stream.ReadBuffer(FData.data(), static_cast<int>(count));
}

void TMemoryStream::LoadFromFile(const std::string& fileName)
{
    TFileStream stream(fileName, fmOpenRead | fmShareDenyWrite);
    LoadFromStream(stream);
}

void TMemoryStream::SaveToStream(TStream& stream)
{
    if (!FData.empty())
        stream.WriteBuffer(FData.data(), static_cast<int>(FData.size()));
}

void TMemoryStream::SaveToFile(const std::string& fileName)
{
    WriteFileAtomically(fileName, std::string_view(FData.data(), FData.size()));
}

// --- TStringStream ------------------------------------------------------------------------------

int TStringStream::Read(void* buffer, int count)
{
    const auto size = static_cast<std::int64_t>(FDataString.size());
    const int done = static_cast<int>(std::clamp<std::int64_t>(size - FPosition, 0, std::max(count, 0)));
    if (done > 0)
        std::memcpy(buffer, FDataString.data() + FPosition, static_cast<size_t>(done));
    FPosition += done;
    return done;
}

int TStringStream::Write(const void* buffer, int count)
{
    if (count < 0)
        return 0;
    FDataString.resize(static_cast<size_t>(FPosition + count));
    if (count > 0)
        std::memcpy(FDataString.data() + FPosition, buffer, static_cast<size_t>(count));
    FPosition += count;
    return count;
}

std::int64_t TStringStream::Seek(std::int64_t offset, int origin)
{
    const auto size = static_cast<std::int64_t>(FDataString.size());
    switch (origin) {
    case soFromBeginning: FPosition = offset; break;
    case soFromCurrent: FPosition += offset; break;
    case soFromEnd: FPosition = size + offset; break;
    default: break;
    }
    FPosition = std::clamp<std::int64_t>(FPosition, 0, size);
    return FPosition;
}

void TStringStream::SetSize(std::int64_t newSize)
{
    FDataString.resize(static_cast<size_t>(std::max<std::int64_t>(newSize, 0)));
    FPosition = std::min<std::int64_t>(FPosition, static_cast<std::int64_t>(FDataString.size()));
}

std::string TStringStream::ReadString(int count)
{
    const auto size = static_cast<std::int64_t>(FDataString.size());
    const auto length = std::clamp<std::int64_t>(size - FPosition, 0, std::max(count, 0));
    std::string result = FDataString.substr(static_cast<size_t>(FPosition), static_cast<size_t>(length));
    FPosition += length;
    return result;
}

void TStringStream::WriteString(const std::string& text)
{
    Write(text.data(), static_cast<int>(text.size()));
}

// --- TAtomicFileStream --------------------------------------------------------------------------

TAtomicFileStream::TAtomicFileStream(const std::string& fileName)
    : THandleStream(-1), FFileName(fileName), FTargetNative(ResolvePath(fileName))
{
    struct stat target;
    const bool targetExists = stat(FTargetNative.c_str(), &target) == 0;
    if (targetExists &&
        (S_ISDIR(target.st_mode) || (target.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0)) {
        SetLastError(ERROR_ACCESS_DENIED);
        RaiseCreateError(fileName);
    }
    FHandle = CreateAtomicTemporary(FTargetNative, FTempNative);
    if (FHandle < 0) {
        SetLastErrorFromErrno(errno, FTempNative, TErrnoContext::CreateFile);
        RaiseCreateError(fileName);
    }
    if (targetExists) {
        // The new version keeps the permissions (and, where allowed, the owner) of the old one.
        fchmod(FHandle, target.st_mode & 07777);
        if (fchown(FHandle, target.st_uid, target.st_gid) != 0) {
            // Only the owner's privileges allow it; the permissions above are what matters.
        }
    }
}

TAtomicFileStream::~TAtomicFileStream()
{
    if (!FCommitted)
        Discard();
}

void TAtomicFileStream::Discard()
{
    if (FHandle >= 0) {
        close(FHandle);
        FHandle = -1;
    }
    if (!FTempNative.empty()) {
        unlink(FTempNative.c_str());
        FTempNative.clear();
    }
}

void TAtomicFileStream::Commit(TAtomicCommit mode)
{
    if (FCommitted)
        return;
    const bool flushed = mode == TAtomicCommit::Flushed;
    int failure = 0;
    if (flushed && fsync(FHandle) != 0)
        failure = errno;
    if (close(FHandle) != 0 && failure == 0)
        failure = errno;
    FHandle = -1;
    if (failure == 0 && rename(FTempNative.c_str(), FTargetNative.c_str()) != 0)
        failure = errno;
    if (failure != 0) {
        SetLastErrorFromErrno(failure, FTargetNative);
        Discard();
        RaiseCreateError(FFileName);
    }
    FTempNative.clear();
    FCommitted = true;
    if (flushed)
        SyncFolder(NativeFolderOf(FTargetNative));
    ForgetCachedFolder(FTargetNative);
}
