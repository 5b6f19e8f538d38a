#include "archive/ZipFormat.h"

#include "platform/os/MessageBox.h"
#include "platform/rtl/SysErrors.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdio>
#include <vector>

#include <unistd.h>
#include <zlib.h>

void EncodeLocalHeader(const TZipLocalHeader& header, std::uint8_t* out)
{
    PutLE32(out, ZipLocalHeaderSignature);
    PutLE16(out + 4, header.VersionNeeded);
    PutLE16(out + 6, header.Flags);
    PutLE16(out + 8, header.Method);
    PutLE16(out + 10, header.Time);
    PutLE16(out + 12, header.Date);
    PutLE32(out + 14, header.Crc);
    PutLE32(out + 18, header.CompressedSize);
    PutLE32(out + 22, header.UncompressedSize);
    PutLE16(out + 26, header.NameLength);
    PutLE16(out + 28, header.ExtraLength);
}

TZipLocalHeader DecodeLocalHeader(const std::uint8_t* fields)
{
    TZipLocalHeader header;
    header.VersionNeeded = GetLE16(fields);
    header.Flags = GetLE16(fields + 2);
    header.Method = GetLE16(fields + 4);
    header.Time = GetLE16(fields + 6);
    header.Date = GetLE16(fields + 8);
    header.Crc = GetLE32(fields + 10);
    header.CompressedSize = GetLE32(fields + 14);
    header.UncompressedSize = GetLE32(fields + 18);
    header.NameLength = GetLE16(fields + 22);
    header.ExtraLength = GetLE16(fields + 24);
    return header;
}

void EncodeCentralHeader(const TZipLocalHeader& header, std::uint32_t localHeaderOffset,
                         std::uint8_t* out)
{
    // Version made by: host 0 (MS-DOS), the same as the version needed.
    TZipCentralFields central;
    central.VersionMadeBy = header.VersionNeeded;
    EncodeCentralHeader(header, central, localHeaderOffset, out);
}

void EncodeCentralHeader(const TZipLocalHeader& header, const TZipCentralFields& central,
                         std::uint32_t localHeaderOffset, std::uint8_t* out)
{
    std::uint8_t local[ZipLocalHeaderSize];
    EncodeLocalHeader(header, local);
    PutLE32(out, ZipCentralHeaderSignature);
    PutLE16(out + 4, central.VersionMadeBy);
    for (int i = 0; i < 26; ++i)
        out[6 + i] = local[4 + i];
    PutLE16(out + 32, central.CommentLength);
    PutLE16(out + 34, 0); // disk number start
    PutLE16(out + 36, central.InternalAttributes);
    PutLE32(out + 38, central.ExternalAttributes);
    PutLE32(out + 42, localHeaderOffset);
}

void EncodeEndRecord(std::uint16_t records, std::uint32_t directorySize,
                     std::uint32_t directoryOffset, std::uint8_t* out, std::uint16_t commentLength)
{
    PutLE32(out, ZipEndRecordSignature);
    PutLE16(out + 4, 0);
    PutLE16(out + 6, 0);
    PutLE16(out + 8, records);
    PutLE16(out + 10, records);
    PutLE32(out + 12, directorySize);
    PutLE32(out + 16, directoryOffset);
    PutLE16(out + 20, commentLength);
}

const std::uint32_t* TZipCrc32::Table()
{
    static const std::array<std::uint32_t, 256> table = [] {
        std::array<std::uint32_t, 256> t{};
        for (std::uint32_t n = 0; n < 256; ++n) {
            std::uint32_t c = n;
            for (int k = 0; k < 8; ++k)
                c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
            t[n] = c;
        }
        return t;
    }();
    return table.data();
}

void TZipCrc32::Update(const std::uint8_t* data, std::size_t size)
{
    // zlib's CRC is the same polynomial, several bytes a step; it keeps the complemented value.
    while (size > 0) {
        const uInt piece = static_cast<uInt>(std::min<std::size_t>(size, 1u << 30));
        FValue = ~static_cast<std::uint32_t>(crc32(~FValue, data, piece));
        data += piece;
        size -= piece;
    }
}

std::uint32_t ZipCrc32(const void* data, std::size_t size)
{
    TZipCrc32 crc;
    crc.Update(static_cast<const std::uint8_t*>(data), size);
    return crc.Value();
}

void UnixTimeToDos(std::time_t moment, std::uint16_t& date, std::uint16_t& time)
{
    std::tm local{};
    if (localtime_r(&moment, &local) == nullptr || local.tm_year < 80) {
        date = (0 << 9) | (1 << 5) | 1;
        time = 0;
        return;
    }
    int year = local.tm_year - 80;
    if (year > 127)
        year = 127;
    date = static_cast<std::uint16_t>((year << 9) | ((local.tm_mon + 1) << 5) | local.tm_mday);
    time = static_cast<std::uint16_t>((local.tm_hour << 11) | (local.tm_min << 5) |
                                      (local.tm_sec / 2));
}

std::time_t DosToUnixTime(std::uint16_t date, std::uint16_t time)
{
    std::tm local{};
    local.tm_year = ((date >> 9) & 0x7F) + 80;
    local.tm_mon = ((date >> 5) & 0x0F) - 1;
    local.tm_mday = date & 0x1F;
    local.tm_hour = (time >> 11) & 0x1F;
    local.tm_min = (time >> 5) & 0x3F;
    local.tm_sec = (time & 0x1F) * 2;
    local.tm_isdst = -1;
    return std::mktime(&local);
}

namespace {

// Lower-case letters of code page 1250 and their capitals, in the archiver's own order.
constexpr std::uint8_t AccentedLower[22] = {0xFC, 0xE9, 0xEF, 0xE4, 0xE8, 0xEC, 0xE5, 0xBE,
                                            0x9E, 0xF4, 0xF6, 0xF9, 0xFD, 0x9D, 0xE1, 0xED,
                                            0xF3, 0xFA, 0xF2, 0x9A, 0xF8, 0xE0};
constexpr std::uint8_t AccentedUpper[22] = {0xDC, 0xC9, 0xCF, 0xC4, 0xC8, 0xCC, 0xC5, 0xBC,
                                            0x8E, 0xD4, 0xD6, 0xD9, 0xDD, 0x8D, 0xC1, 0xCD,
                                            0xD3, 0xDA, 0xD2, 0x8A, 0xD8, 0xC0};

bool OnlyStars(std::string_view text)
{
    return !text.empty() && text.find_first_not_of('*') == std::string_view::npos;
}

// Both texts may hold wildcards. The comparison only ever continues with a tail of each text,
// so each pair of tails is decided once: a name full of stars cannot make it explode.
class TWildcardMatcher {
public:
    TWildcardMatcher(std::string_view a, std::string_view b)
        : A(a), B(b), Known((a.size() + 1) * (b.size() + 1), Unknown)
    {
    }

    bool Match(std::size_t i, std::size_t j)
    {
        std::int8_t& known = Known[i * (B.size() + 1) + j];
        if (known == Unknown)
            known = Decide(i, j) ? Yes : No;
        return known == Yes;
    }

private:
    static constexpr std::int8_t Unknown = -1;
    static constexpr std::int8_t No = 0;
    static constexpr std::int8_t Yes = 1;

    bool Decide(std::size_t i, std::size_t j)
    {
        std::string_view restA = A.substr(i);
        std::string_view restB = B.substr(j);
        if (restA.empty() && restB.empty())
            return true;
        if (restA.empty())
            return OnlyStars(restB);
        if (restB.empty())
            return OnlyStars(restA);
        while (i < A.size() && j < B.size()) {
            char a = A[i];
            char b = B[j];
            if (a == '?' || b == '?') {
                ++i;
                ++j;
            } else if (a == '*') {
                if (i + 1 == A.size())
                    return true;
                for (std::size_t k = j; k <= B.size(); ++k)
                    if (Match(i + 1, k))
                        return true;
                return false;
            } else if (b == '*') {
                if (j + 1 == B.size())
                    return true;
                for (std::size_t k = i; k <= A.size(); ++k)
                    if (Match(k, j + 1))
                        return true;
                return false;
            } else if (ZipUpCase(static_cast<std::uint8_t>(a)) !=
                       ZipUpCase(static_cast<std::uint8_t>(b))) {
                return false;
            } else {
                ++i;
                ++j;
            }
        }
        restA = A.substr(i);
        restB = B.substr(j);
        return (restA.empty() || OnlyStars(restA)) && (restB.empty() || OnlyStars(restB));
    }

    std::string_view A;
    std::string_view B;
    std::vector<std::int8_t> Known;
};

} // namespace

std::uint8_t ZipUpCase(std::uint8_t c)
{
    if (c >= 'a' && c <= 'z')
        return static_cast<std::uint8_t>(c & ~0x20);
    for (int i = 0; i < 22; ++i)
        if (AccentedLower[i] == c)
            return AccentedUpper[i];
    return c;
}

bool ZipWildcardMatch(std::string_view a, std::string_view b)
{
    return TWildcardMatcher(a, b).Match(0, 0);
}

namespace ZipMessages {

std::string NoOverwrite(const std::string& arcName)
{
    return "No overwite rights for file " + arcName + "!";
}

std::string CannotOpenArchive(const std::string& arcName)
{
    return "Cannot open file \"" + arcName + "\"";
}

std::string CannotOpenMember(const std::string& name)
{
    return "Cannot open \"" + name + "\", go just next...";
}

std::string UnknownMethod(int method, const std::string& name)
{
    return "Unknown compress method (" + std::to_string(method) + ") use on " + name +
           " ! Skip next...";
}

std::string BadCrc(const std::string& path, std::uint32_t stored, std::uint32_t computed)
{
    char storedHex[16];
    char computedHex[16];
    std::snprintf(storedHex, sizeof storedHex, "%X", static_cast<unsigned>(stored));
    std::snprintf(computedHex, sizeof computedHex, "%X", static_cast<unsigned>(computed));
    return "File " + path + " has bad CRC ! Stored CRC is " + storedHex + ", computed CRC is " +
           computedHex + ".";
}

std::string StackOverflow(int count)
{
    return UnshrinkStackOverflow + std::to_string(count) + ")!";
}

std::string BadSize(const std::string& path)
{
    return "Il file " + path + " non ha la lunghezza indicata nell'archivio.";
}

std::string SubFolderMembers(int count, const std::string& firstName)
{
    return "File in sottocartelle dell'archivio non estratti: " + std::to_string(count) +
           " (il primo: " + firstName + ")";
}

std::string MoreInTheLog(int count)
{
    return "... e altri " + std::to_string(count) + " messaggi, scritti nel registro del giorno.";
}

std::string InOutError(int code)
{
    switch (code) {
    case 2:
        return "Soubor nebyl nalezen";
    case 3:
        return "Cesta nen\xED platn\xE1/nebyla nalezana";
    case 5:
        return "Chyba souboru/cesty/syntaxe";
    case 101:
        return "Disk je pln\xFD";
    default:
        return "Vstupne/v\xFDstupn\xED chyba " + std::to_string(code);
    }
}

} // namespace ZipMessages

int ZipInOutErrorFromErrno(int err, const std::string& nativePath)
{
    if (err == ENOSPC || err == EDQUOT)
        return 101;
    if (err == ENOENT && !nativePath.empty()) {
        std::string::size_type slash = nativePath.find_last_of('/');
        return static_cast<int>(
            WindowsErrorFromErrno(err, TErrnoContext::CreateFile,
                                  slash != std::string::npos && slash > 0 &&
                                      ::access(nativePath.substr(0, slash).c_str(), F_OK) != 0));
    }
    return static_cast<int>(WindowsErrorFromErrno(err, TErrnoContext::CreateFile));
}

void ZipShowWarning(const std::string& text)
{
    MessageBoxA(nullptr, text, "Attenzione", MB_OK | MB_ICONWARNING);
}

namespace {

TZipLogWriter& ZipLogWriter()
{
    static TZipLogWriter writer;
    return writer;
}

} // namespace

void SetZipLogWriter(TZipLogWriter writer)
{
    ZipLogWriter() = std::move(writer);
}

void ZipWriteLog(const std::vector<std::string>& lines)
{
    if (ZipLogWriter() && !lines.empty())
        ZipLogWriter()(lines);
}
