#include "net/SmtpProt.h"

#include "net/QuzMD5.h"
#include "platform/os/SystemInfo.h"
#include "platform/rtl/Formats.h"
#include "platform/rtl/TextUtils.h"

namespace SmtpProtUnit {

constexpr int HmacBlockSize = 64;

std::string DigestBytes(const std::string& text)
{
    TMD5Context context;
    MD5Init(context);
    MD5Update(context, text.data(), static_cast<int>(text.size()));
    TMD5Digest digest;
    MD5Final(digest, context);
    return std::string(reinterpret_cast<const char*>(digest.data()), digest.size());
}

// The current bias in minutes: universal time = local time + bias.
int CurrentBias()
{
    TIME_ZONE_INFORMATION zone {};
    if (GetTimeZoneInformation(&zone) == TIME_ZONE_ID_DAYLIGHT)
        return zone.Bias + zone.DaylightBias;
    return zone.Bias + zone.StandardBias;
}

} // namespace SmtpProtUnit

void ParseEmail(const std::string& FromData, std::string& FriendlyName, std::string& Email)
{
    FriendlyName.clear();
    Email.clear();
    std::size_t at = FromData.find_first_not_of(' ');
    if (at == std::string::npos)
        return;
    const char first = FromData[at];
    if (first == '"' || first == '\'') {
        const std::size_t closing = FromData.find(first, at + 1);
        FriendlyName = FromData.substr(at + 1, closing == std::string::npos ? std::string::npos : closing - at - 1);
        const std::size_t rest = closing == std::string::npos ? FromData.size() : closing + 1;
        if (FromData.find('<') != std::string::npos) {
            const std::size_t open = FromData.find('<', rest);
            if (open != std::string::npos) {
                const std::size_t close = FromData.find('>', open + 1);
                Email = FromData.substr(open + 1, close == std::string::npos ? std::string::npos : close - open - 1);
            }
        } else {
            Email = Trim(FromData.substr(rest));
        }
    } else if (const std::size_t open = FromData.find('<'); open != std::string::npos) {
        FriendlyName = Trim(FromData.substr(at, open > at ? open - at : 0));
        const std::size_t close = FromData.find('>', open + 1);
        Email = FromData.substr(open + 1, close == std::string::npos ? std::string::npos : close - open - 1);
    } else {
        const std::size_t blank = FromData.find(' ', at);
        FriendlyName = Trim(FromData.substr(at, blank == std::string::npos ? std::string::npos : blank - at));
        if (blank != std::string::npos)
            Email = Trim(FromData.substr(blank));
    }
    if (Email.empty() && FriendlyName.find('@') != std::string::npos)
        std::swap(Email, FriendlyName);
}

std::string Rfc822DateTime(TDateTime DateTime)
{
    static const char* const dayNames[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
    static const char* const monthNames[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                             "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    const TDateTime universal = DateTime + SmtpProtUnit::CurrentBias() / 1440.0;
    int year, month, day, hour, minute, second, msec;
    DecodeDate(universal, year, month, day);
    DecodeTime(universal, hour, minute, second, msec);
    return Format("%s, %d %s %4d %02.2d:%02.2d:%02.2d GMT",
                  {dayNames[DayOfWeek(universal) - 1], day, monthNames[month - 1], year, hour, minute, second});
}

std::string HmacMD5(const std::string& Key, const std::string& Text)
{
    std::string key = Key.size() > SmtpProtUnit::HmacBlockSize ? SmtpProtUnit::DigestBytes(Key) : Key;
    key.resize(SmtpProtUnit::HmacBlockSize, '\0');
    std::string inner(SmtpProtUnit::HmacBlockSize, '\0');
    std::string outer(SmtpProtUnit::HmacBlockSize, '\0');
    for (int i = 0; i < SmtpProtUnit::HmacBlockSize; ++i) {
        inner[static_cast<std::size_t>(i)] = static_cast<char>(key[static_cast<std::size_t>(i)] ^ 0x36);
        outer[static_cast<std::size_t>(i)] = static_cast<char>(key[static_cast<std::size_t>(i)] ^ 0x5c);
    }
    return SmtpProtUnit::DigestBytes(outer + SmtpProtUnit::DigestBytes(inner + Text));
}
