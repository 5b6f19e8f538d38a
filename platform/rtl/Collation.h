#pragma once
// Locale-aware comparison of Windows-1252 texts with the Windows CompareString rules, on ICU.

#include <cstddef>
#include <cstdint>
#include <string>

constexpr std::uint32_t NORM_IGNORECASE = 0x00000001;
constexpr std::uint32_t NORM_IGNORENONSPACE = 0x00000002;
constexpr std::uint32_t NORM_IGNORESYMBOLS = 0x00000004;
constexpr std::uint32_t SORT_STRINGSORT = 0x00001000;
// Meaningless for Windows-1252 texts; accepted so that callers may pass them.
constexpr std::uint32_t NORM_IGNOREKANATYPE = 0x00010000;
constexpr std::uint32_t NORM_IGNOREWIDTH = 0x00020000;

constexpr std::uint32_t LOCALE_USER_DEFAULT = 0x0400;
constexpr std::uint32_t LOCALE_SYSTEM_DEFAULT = 0x0800;

constexpr int CSTR_LESS_THAN = 1;
constexpr int CSTR_EQUAL = 2;
constexpr int CSTR_GREATER_THAN = 3;

// Compares S1 and S2 (Len1/Len2 bytes, -1 for null-terminated) in the locale's collation.
// Returns CSTR_LESS_THAN, CSTR_EQUAL or CSTR_GREATER_THAN; 0 when the locale cannot be served,
// the flags are unknown or the arguments are invalid. The user and system default locales are
// Italian, whatever the machine's locale.
int CompareStringA(std::uint32_t Locale, std::uint32_t Flags, const char* S1, int Len1,
                   const char* S2, int Len2);

// Appends to Key bytes whose order, compared as unsigned bytes with a prefix first, is the order
// CompareStringA(Locale, Flags, ...) gives the texts: equal keys for equal texts, and the word
// sort's tie-breaks included. A sort computes it once per text instead of collating at every
// comparison. False (Key unchanged) when the locale cannot be served or the flags are unknown.
bool AppendSortKeyA(std::uint32_t Locale, std::uint32_t Flags, const char* S, std::size_t Len,
                    std::string& Key);
