#pragma once
// How entry names are stored and read back: code page 850 (the OEM page of an Italian Windows)
// for names that have it, UTF-8 with general-purpose bit 11 for the others, the host rules of
// the made-by field, and the tests that keep an extracted name inside its folder.

#include <cstdint>
#include <string>
#include <string_view>

constexpr std::uint16_t ZipFlagEncrypted = 0x0001;
constexpr std::uint16_t ZipFlagDataDescriptor = 0x0008;
constexpr std::uint16_t ZipFlagUtf8 = 0x0800;

// Made-by systems.
constexpr std::uint8_t ZipHostFat = 0;
constexpr std::uint8_t ZipHostUnix = 3;
constexpr std::uint8_t ZipHostHpfs = 6;
constexpr std::uint8_t ZipHostNtfs = 11;

// The CodePage field of the extraction record.
enum class TZipCodePage { Automatic = 0, None = 1, Oem = 2 };

// A name as it goes into an archive.
struct TZipStoredName {
    std::string Bytes;
    bool Utf8 = false; // general-purpose bit 11, made by Unix
};

// A UTF-8 name (a path on this system) for the archive: in code page 850 when every character
// has a place there, else as UTF-8.
TZipStoredName ZipStoredNameFromUtf8(std::string_view utf8Name);
// The same for a Windows-1252 name.
TZipStoredName ZipStoredNameFromAnsi(std::string_view ansiName);

// A stored name as Windows-1252: bit 11 means UTF-8; otherwise the code page and the made-by
// bytes decide (code page 850 for FAT, HPFS and NTFS of version 5.0; a Unix name that is valid
// UTF-8 as UTF-8). A character without a Windows-1252 form becomes "_" and sets lostCharacters.
std::string ZipNameToAnsi(std::string_view stored, std::uint16_t flags, std::uint8_t hostSystem,
                          std::uint8_t hostVersion, TZipCodePage codePage, bool& lostCharacters);

// True for a name that would land outside the extraction folder: absolute ("/", "\"), with a
// drive ("C:"), with a ".." part, or holding a NUL.
bool IsUnsafeZipName(std::string_view name);

// A stored path made relative: "\" becomes "/", "." parts, empty parts and ".." parts that
// cannot go further up are dropped, "a/../" pairs are taken out, and a drive in front goes.
std::string RelativeZipPath(std::string_view path);

// Each part cut to eight characters and an extension of three, upper-cased.
std::string ForceDosZipName(const std::string& ansiName);

// The name with every "\" turned into "/".
std::string ZipForwardSlashes(std::string name);

// The name after its last "/" or "\".
std::string ZipBareName(const std::string& name);

// True when an entry name (either separator) matches a mask (either separator) without regard to
// case, "*" crossing folders.
bool ZipNameMatches(const std::string& name, const std::string& mask);
