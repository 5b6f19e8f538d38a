#pragma once
// The bytes of the ZIP format as the built-in archiver writes and reads them: signatures,
// little-endian header records, the CRC-32, MS-DOS date and time, the wildcard comparison of
// member names and every message text the two components report.

#include <cstddef>
#include <cstdint>
#include <ctime>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

constexpr std::uint32_t ZipLocalHeaderSignature = 0x04034B50;
constexpr std::uint32_t ZipCentralHeaderSignature = 0x02014B50;
constexpr std::uint32_t ZipEndRecordSignature = 0x06054B50;

constexpr std::size_t ZipLocalHeaderSize = 30;   // signature included
constexpr std::size_t ZipCentralHeaderSize = 46; // signature included
constexpr std::size_t ZipEndRecordSize = 22;

constexpr std::uint16_t ZipVersion10 = 10;
constexpr std::uint16_t ZipMethodStored = 0;
constexpr std::uint16_t ZipMethodShrunk = 1;
constexpr std::uint16_t ZipMethodImploded = 6;
constexpr std::uint16_t ZipMethodDeflated = 8;
constexpr std::uint32_t ZipArchiveAttribute = 0x20;

// The code space of the Shrink method (LZW with partial clearing), shared by encoder and decoder.
constexpr int ShrinkMaxCode = 8191;
constexpr int ShrinkNodeCount = ShrinkMaxCode + 1;
constexpr int ShrinkFirstFreeCode = 257;
constexpr int ShrinkEscapeCode = 256;

inline std::uint16_t GetLE16(const std::uint8_t* p)
{
    return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}

inline std::uint32_t GetLE32(const std::uint8_t* p)
{
    return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
           (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}

inline void PutLE16(std::uint8_t* p, std::uint16_t value)
{
    p[0] = static_cast<std::uint8_t>(value);
    p[1] = static_cast<std::uint8_t>(value >> 8);
}

inline void PutLE32(std::uint8_t* p, std::uint32_t value)
{
    for (int i = 0; i < 4; ++i)
        p[i] = static_cast<std::uint8_t>(value >> (8 * i));
}

// The fields of a local header after its signature (26 bytes on disk).
struct TZipLocalHeader {
    std::uint16_t VersionNeeded = ZipVersion10;
    std::uint16_t Flags = 0;
    std::uint16_t Method = 0;
    std::uint16_t Time = 0;
    std::uint16_t Date = 0;
    std::uint32_t Crc = 0;
    std::uint32_t CompressedSize = 0;
    std::uint32_t UncompressedSize = 0;
    std::uint16_t NameLength = 0;
    std::uint16_t ExtraLength = 0;
};

constexpr std::size_t ZipLocalHeaderFieldsSize = 26;

// Writes signature and fields: ZipLocalHeaderSize bytes.
void EncodeLocalHeader(const TZipLocalHeader& header, std::uint8_t* out);
// Reads the 26 bytes that follow the signature.
TZipLocalHeader DecodeLocalHeader(const std::uint8_t* fields);
// The fields a central directory record adds to those of the local header.
struct TZipCentralFields {
    std::uint16_t VersionMadeBy = ZipVersion10; // host system in the high byte
    std::uint16_t CommentLength = 0;
    std::uint16_t InternalAttributes = 0;
    std::uint32_t ExternalAttributes = ZipArchiveAttribute;
};

// A central directory record without its name: ZipCentralHeaderSize bytes. Without central
// fields the record is made by MS-DOS, version 1.0, with the archive attribute.
void EncodeCentralHeader(const TZipLocalHeader& header, std::uint32_t localHeaderOffset,
                         std::uint8_t* out);
void EncodeCentralHeader(const TZipLocalHeader& header, const TZipCentralFields& central,
                         std::uint32_t localHeaderOffset, std::uint8_t* out);
void EncodeEndRecord(std::uint16_t records, std::uint32_t directorySize,
                     std::uint32_t directoryOffset, std::uint8_t* out,
                     std::uint16_t commentLength = 0);

// The CRC-32 of the ZIP format (reflected polynomial 0xEDB88320).
class TZipCrc32 {
public:
    void Update(std::uint8_t byte) { FValue = Table()[(FValue ^ byte) & 0xFF] ^ (FValue >> 8); }
    void Update(const std::uint8_t* data, std::size_t size);
    std::uint32_t Value() const { return ~FValue; }
    void Reset() { FValue = 0xFFFFFFFF; }

    static const std::uint32_t* Table();

private:
    std::uint32_t FValue = 0xFFFFFFFF;
};

std::uint32_t ZipCrc32(const void* data, std::size_t size);

// The date in the high half, the time in the low half: the order in which DOS stamps compare.
inline std::uint32_t ZipDosStamp(std::uint16_t date, std::uint16_t time)
{
    return (static_cast<std::uint32_t>(date) << 16) | time;
}

// MS-DOS date and time of a moment in local time. Years before 1980 give 1980-01-01 00:00.
void UnixTimeToDos(std::time_t moment, std::uint16_t& date, std::uint16_t& time);
// The moment of an MS-DOS date and time read as local time.
std::time_t DosToUnixTime(std::uint16_t date, std::uint16_t time);

// Upper-casing of the member-name comparison: a-z and 22 accented letters of code page 1250.
std::uint8_t ZipUpCase(std::uint8_t c);
// Both texts may hold "*" and "?".
bool ZipWildcardMatch(std::string_view a, std::string_view b);

// The texts the components report (Windows-1252).
namespace ZipMessages {
inline const std::string NoOverwriteRights = "No overwite rights for file %s!";
inline const std::string NoFilesForCompress = "No files for compress !";
inline const std::string NoMemoryForNames = "Not enough memory to process all filenames!";
inline const std::string NoMemoryForLzw = "Not enough memory to allocate LZW data structures!";
inline const std::string HeaderMissing = "Hlava chyb\xED nebo je po\x9Akozena u ";
inline const std::string BadName = "Jm\xE9no je chybn\xE9 !";
inline const std::string UnshrinkNoMemory =
    "Nen\xED dost pameti k rozmrsknut\xED ! Prekracuji ...";
inline const std::string UnshrinkBadSubCode = "K\xF3\x64 \x9Apatne navazuje ! Pokracujem...";
inline const std::string UnshrinkBadCode = "K\xF3\x64 se jev\xED chybn\xFD !";
inline const std::string UnshrinkStackOverflow = "Prominte, pretekl mi z\xE1sobn\xEDk (";
inline const std::string ReduceNoMemory = "Nen\xED dost pameti k rozvinut\xED ! Prekracuji ...";
inline const std::string ImplodeNoMemory = "Nen\xED dost pameti k rozpnut\xED ! Prekracuji ...";
inline const std::string ImplodeBadTree = "Chybn\xFD dek\xF3\x64ovac\xED strom !";
inline const std::string ImplodeBadCoding = "\xDAplne chybn\xE9 k\xF3\x64ov\xE1n\xED !";

std::string NoOverwrite(const std::string& arcName);
std::string CannotOpenArchive(const std::string& arcName);
std::string CannotOpenMember(const std::string& name);
std::string UnknownMethod(int method, const std::string& name);
std::string BadCrc(const std::string& path, std::uint32_t stored, std::uint32_t computed);
std::string StackOverflow(int count);
// A member whose decoded length differs from the length its header gives.
std::string BadSize(const std::string& path);
// Members left out because their names carry a folder part; reported once per extraction.
std::string SubFolderMembers(int count, const std::string& firstName);
// The end of a warning box that could not show every report.
std::string MoreInTheLog(int count);
// The I/O error text for a run-time I/O error number.
std::string InOutError(int code);
} // namespace ZipMessages

// The run time's I/O number for an errno value: the Windows error code of the layer's map, and
// 101 (the run time's write error) for a full disk.
int ZipInOutErrorFromErrno(int err, const std::string& nativePath = {});

// The components' reporting step without an OnError handler: a warning box with an OK button.
void ZipShowWarning(const std::string& text);

// Where reports that a warning box leaves out are written: the program's daily log, installed at
// start-up by the application; until then they are dropped.
using TZipLogWriter = std::function<void(const std::vector<std::string>& lines)>;
void SetZipLogWriter(TZipLogWriter writer);
void ZipWriteLog(const std::vector<std::string>& lines);
