#include "platform/rtl/Collation.h"

#include "platform/rtl/Codepage.h"
#include "platform/rtl/SysErrors.h"

#include <unicode/ucol.h>
#include <unicode/uchar.h>
#include <unicode/uloc.h>

#include <array>
#include <cstring>
#include <map>
#include <mutex>
#include <string>
#include <utility>

namespace {

constexpr std::uint32_t LOCALE_ITALIAN = 0x0410;
constexpr std::uint32_t ERROR_INVALID_FLAGS = 1004;
constexpr std::uint32_t StrengthFlags = NORM_IGNORECASE | NORM_IGNORENONSPACE;
constexpr std::uint32_t KnownFlags = NORM_IGNORECASE | NORM_IGNORENONSPACE | NORM_IGNORESYMBOLS |
                                     SORT_STRINGSORT | NORM_IGNOREKANATYPE | NORM_IGNOREWIDTH;

// The ICU locale name of a Windows locale id, empty when ICU knows no such id.
std::string LocaleName(std::uint32_t locale)
{
    if (locale == LOCALE_USER_DEFAULT || locale == LOCALE_SYSTEM_DEFAULT || locale == LOCALE_ITALIAN)
        return "it";
    char name[ULOC_FULLNAME_CAPACITY] = {};
    UErrorCode status = U_ZERO_ERROR;
    int32_t length = uloc_getLocaleForLCID(locale, name, sizeof name, &status);
    if (U_FAILURE(status) || length <= 0)
        return {};
    return name;
}

UCollator* OpenCollator(std::uint32_t locale, std::uint32_t strengthFlags)
{
    std::string name = LocaleName(locale);
    if (name.empty())
        return nullptr;
    UErrorCode status = U_ZERO_ERROR;
    UCollator* collator = ucol_open(name.c_str(), &status);
    if (U_FAILURE(status))
        return nullptr;
    // Windows ignores case at the tertiary level and accents at the secondary one; ignoring
    // accents alone keeps case apart through ICU's separate case level.
    UColAttributeValue strength = UCOL_TERTIARY;
    if (strengthFlags & NORM_IGNORENONSPACE) {
        strength = UCOL_PRIMARY;
        if (!(strengthFlags & NORM_IGNORECASE))
            ucol_setAttribute(collator, UCOL_CASE_LEVEL, UCOL_ON, &status);
    } else if (strengthFlags & NORM_IGNORECASE) {
        strength = UCOL_SECONDARY;
    }
    ucol_setAttribute(collator, UCOL_STRENGTH, strength, &status);
    if (U_FAILURE(status)) {
        ucol_close(collator);
        return nullptr;
    }
    return collator;
}

// Collators live for the whole run; a locale that failed is remembered as null.
UCollator* SharedCollator(std::uint32_t locale, std::uint32_t strengthFlags)
{
    static std::mutex mutex;
    static auto* collators = new std::map<std::pair<std::uint32_t, std::uint32_t>, UCollator*>;
    std::lock_guard lock(mutex);
    auto key = std::make_pair(locale, strengthFlags);
    auto found = collators->find(key);
    if (found != collators->end())
        return found->second;
    UCollator* collator = OpenCollator(locale, strengthFlags);
    collators->emplace(key, collator);
    return collator;
}

// A few collators per thread are looked up without the lock.
UCollator* CollatorFor(std::uint32_t locale, std::uint32_t strengthFlags)
{
    struct Entry {
        std::uint32_t locale = 0;
        std::uint32_t flags = 0;
        UCollator* collator = nullptr;
        bool used = false;
    };
    thread_local std::array<Entry, 4> recent;
    thread_local std::size_t nextSlot = 0;
    for (const Entry& entry : recent)
        if (entry.used && entry.locale == locale && entry.flags == strengthFlags)
            return entry.collator;
    UCollator* collator = SharedCollator(locale, strengthFlags);
    recent[nextSlot] = {locale, strengthFlags, collator, true};
    nextSlot = (nextSlot + 1) % recent.size();
    return collator;
}

bool IsWordSortIgnored(unsigned char c)
{
    return c == '-' || c == '\'';
}

// True for the bytes NORM_IGNORESYMBOLS drops: everything that is not a letter or a digit.
bool IsSymbol(unsigned char c)
{
    static const std::array<bool, 256> table = [] {
        std::array<bool, 256> t{};
        for (int b = 0; b < 256; ++b)
            t[b] = !u_isalnum(AnsiCharToUnicode(static_cast<unsigned char>(b)));
        return t;
    }();
    return table[c];
}

// UTF-16 text on the stack for the usual short strings, on the heap beyond that.
class Utf16Text {
public:
    // Converts text, leaving out the bytes `skip` selects (none when skip is null), and counts
    // how many were left out.
    Utf16Text(const char* text, std::size_t length, bool (*skip)(unsigned char))
    {
        char16_t* out = length <= inline_.size() ? inline_.data() : Heap(length);
        if (!skip) {
            AnsiToUtf16(std::string_view(text, length), out);
            length_ = static_cast<int32_t>(length);
        } else {
            std::size_t n = 0;
            for (std::size_t i = 0; i < length; ++i) {
                unsigned char c = static_cast<unsigned char>(text[i]);
                if (skip(c))
                    ++skipped_;
                else
                    out[n++] = AnsiCharToUnicode(c);
            }
            length_ = static_cast<int32_t>(n);
        }
        data_ = out;
    }
    Utf16Text(const Utf16Text&) = delete;
    Utf16Text& operator=(const Utf16Text&) = delete;

    const char16_t* Data() const { return data_; }
    int32_t Length() const { return length_; }
    int Skipped() const { return skipped_; }

private:
    char16_t* Heap(std::size_t length)
    {
        heap_.resize(length);
        return heap_.data();
    }

    std::array<char16_t, 256> inline_;
    std::u16string heap_;
    const char16_t* data_ = nullptr;
    int32_t length_ = 0;
    int skipped_ = 0;
};

int Collate(UCollator* collator, const Utf16Text& a, const Utf16Text& b)
{
    switch (ucol_strcoll(collator, reinterpret_cast<const UChar*>(a.Data()), a.Length(),
                         reinterpret_cast<const UChar*>(b.Data()), b.Length())) {
    case UCOL_LESS:
        return CSTR_LESS_THAN;
    case UCOL_GREATER:
        return CSTR_GREATER_THAN;
    default:
        return CSTR_EQUAL;
    }
}

// Windows' word sort: hyphens and apostrophes do not count, except to break a tie, where the
// text that lost fewer of them comes first, and with as many the whole texts decide.
int WordSortCompare(UCollator* collator, const char* s1, std::size_t n1, const char* s2,
                    std::size_t n2)
{
    Utf16Text a(s1, n1, IsWordSortIgnored);
    Utf16Text b(s2, n2, IsWordSortIgnored);
    int result = Collate(collator, a, b);
    if (result != CSTR_EQUAL || (a.Skipped() == 0 && b.Skipped() == 0))
        return result;
    if (a.Skipped() != b.Skipped())
        return a.Skipped() < b.Skipped() ? CSTR_LESS_THAN : CSTR_GREATER_THAN;
    return Collate(collator, Utf16Text(s1, n1, nullptr), Utf16Text(s2, n2, nullptr));
}

// Appends the text's collation key with its terminating zero, which sorts a key before every
// longer key it begins.
void AppendCollationKey(UCollator* collator, const Utf16Text& text, std::string& key)
{
    const auto* chars = reinterpret_cast<const UChar*>(text.Data());
    const std::size_t start = key.size();
    key.resize(start + static_cast<std::size_t>(text.Length()) * 4 + 16);
    auto room = static_cast<int32_t>(key.size() - start);
    int32_t size = ucol_getSortKey(collator, chars, text.Length(),
                                   reinterpret_cast<uint8_t*>(key.data() + start), room);
    if (size > room) {
        key.resize(start + static_cast<std::size_t>(size));
        size = ucol_getSortKey(collator, chars, text.Length(),
                               reinterpret_cast<uint8_t*>(key.data() + start), size);
    }
    key.resize(start + static_cast<std::size_t>(size));
}

// The word sort as a key: the key without hyphens and apostrophes, then how many were left out
// (big-endian, fewer first), then, when some were, the key of the whole text. Equal first parts
// end at the same terminating zero, so the later parts decide only a tie.
void AppendWordSortKey(UCollator* collator, const char* text, std::size_t length,
                       std::string& key)
{
    Utf16Text words(text, length, IsWordSortIgnored);
    AppendCollationKey(collator, words, key);
    const auto skipped = static_cast<std::uint32_t>(words.Skipped());
    for (int shift = 24; shift >= 0; shift -= 8)
        key.push_back(static_cast<char>((skipped >> shift) & 0xFF));
    if (skipped > 0)
        AppendCollationKey(collator, Utf16Text(text, length, nullptr), key);
}

bool ResolveLength(const char* text, int length, std::size_t& resolved)
{
    if (length < -1 || (!text && length != 0))
        return false;
    resolved = length == -1 ? std::strlen(text) : static_cast<std::size_t>(length);
    return true;
}

} // namespace

int CompareStringA(std::uint32_t Locale, std::uint32_t Flags, const char* S1, int Len1,
                   const char* S2, int Len2)
{
    if ((Flags & ~KnownFlags) != 0) {
        SetLastError(ERROR_INVALID_FLAGS);
        return 0;
    }
    std::size_t n1 = 0;
    std::size_t n2 = 0;
    UCollator* collator = nullptr;
    if (!ResolveLength(S1, Len1, n1) || !ResolveLength(S2, Len2, n2) ||
        !(collator = CollatorFor(Locale, Flags & StrengthFlags))) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    if (Flags & NORM_IGNORESYMBOLS)
        return Collate(collator, Utf16Text(S1, n1, IsSymbol), Utf16Text(S2, n2, IsSymbol));
    if (Flags & SORT_STRINGSORT)
        return Collate(collator, Utf16Text(S1, n1, nullptr), Utf16Text(S2, n2, nullptr));
    return WordSortCompare(collator, S1, n1, S2, n2);
}

bool AppendSortKeyA(std::uint32_t Locale, std::uint32_t Flags, const char* S, std::size_t Len,
                    std::string& Key)
{
    if ((Flags & ~KnownFlags) != 0 || (!S && Len != 0))
        return false;
    UCollator* collator = CollatorFor(Locale, Flags & StrengthFlags);
    if (!collator)
        return false;
    if (Flags & NORM_IGNORESYMBOLS)
        AppendCollationKey(collator, Utf16Text(S, Len, IsSymbol), Key);
    else if (Flags & SORT_STRINGSORT)
        AppendCollationKey(collator, Utf16Text(S, Len, nullptr), Key);
    else
        AppendWordSortKey(collator, S, Len, Key);
    return true;
}
