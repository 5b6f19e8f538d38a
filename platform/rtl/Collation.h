#pragma once
// Locale-aware comparison of Windows-1252 texts with the Windows CompareString rules, on ICU.

#include <cstdint>

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
