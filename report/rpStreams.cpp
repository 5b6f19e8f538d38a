#include "report/rpStreams.h"

#include "platform/rtl/Formats.h"
#include "platform/rtl/Lists.h"
#include "platform/rtl/Streams.h"

#include <algorithm>
#include <cstdint>

namespace rpStreams {
namespace {

constexpr std::size_t MaxLength = 0xFFFF;
constexpr int ChunkSize = 4096;

void CheckLength(const std::string& s)
{
    if (s.size() > MaxLength)
        RAISE(EWriteError(Format("Impossibile salvare un testo di %d caratteri: il formato del report ne "
                                 "ammette al massimo 65535.",
                                 {static_cast<long long>(s.size())})));
}

// Reads the bytes up to a byte 0 (consumed); stop also at a 13 when stopAtReturn is set.
// Returns the byte that ended the text.
std::uint8_t ReadUpTo(TStream& stream, std::string& text, bool stopAtReturn)
{
    text.clear();
    char chunk[ChunkSize];
    for (;;) {
        const std::int64_t start = stream.Position();
        const int got = stream.Read(chunk, ChunkSize);
        if (got <= 0)
            RAISE(EReadError("Stream read error"));
        const char* begin = chunk;
        const char* end = chunk + got;
        const char* stop = std::find_if(begin, end, [stopAtReturn](char c) {
            return c == '\0' || (stopAtReturn && c == '\r');
        });
        text.append(begin, stop);
        if (stop != end) {
            stream.SetPosition(start + (stop - chunk) + 1);
            return static_cast<std::uint8_t>(*stop);
        }
    }
}

} // namespace
} // namespace rpStreams

void rpWriteString(TStream& stream, const std::string& s)
{
    rpStreams::CheckLength(s);
    stream.WriteUInt16(static_cast<std::uint16_t>(s.size()));
    if (!s.empty())
        stream.WriteBuffer(s.data(), static_cast<int>(s.size()));
    stream.WriteUInt8(0);
}

std::string rpReadString(TStream& stream)
{
    const std::uint16_t length = stream.ReadUInt16();
    std::string s(length, '\0');
    if (length > 0)
        stream.ReadBuffer(s.data(), length);
    stream.ReadUInt8();
    return s;
}

std::string rpReadString22(TStream& stream)
{
    std::string s;
    rpStreams::ReadUpTo(stream, s, false);
    return s;
}

void rpWriteMemo(TStream& stream, TStrings* lines)
{
    const int count = lines ? lines->Count() : 0;
    for (int i = 0; i < count; ++i)
        rpStreams::CheckLength(lines->Strings(i));
    stream.WriteUInt16(static_cast<std::uint16_t>(std::min<int>(count, rpStreams::MaxLength)));
    for (int i = 0; i < count; ++i) {
        const std::string line = lines->Strings(i);
        stream.WriteUInt16(static_cast<std::uint16_t>(line.size()));
        if (!line.empty())
            stream.WriteBuffer(line.data(), static_cast<int>(line.size()));
        if (i + 1 < count)
            stream.WriteUInt8(13);
    }
    stream.WriteUInt8(0);
}

void rpReadMemo(TStream& stream, TStrings* lines)
{
    lines->BeginUpdate();
    try {
        lines->Clear();
        if (stream.ReadUInt16() == 0) {
            stream.ReadUInt8();
        } else {
            std::string line;
            std::uint8_t separator;
            do {
                line.assign(stream.ReadUInt16(), '\0');
                if (!line.empty())
                    stream.ReadBuffer(line.data(), static_cast<int>(line.size()));
                lines->Add(line);
                separator = stream.ReadUInt8();
            } while (separator != 0);
        }
    } catch (...) {
        lines->EndUpdate();
        throw;
    }
    lines->EndUpdate();
}

void rpReadMemo22(TStream& stream, TStrings* lines)
{
    lines->BeginUpdate();
    try {
        lines->Clear();
        std::string segment;
        while (rpStreams::ReadUpTo(stream, segment, true) == 13)
            lines->Add(segment);
        if (!segment.empty())
            lines->Add(segment);
    } catch (...) {
        lines->EndUpdate();
        throw;
    }
    lines->EndUpdate();
}

std::string rpReadVersionString(TStream& stream, int version)
{
    return version < 23 ? rpReadString22(stream) : rpReadString(stream);
}

void rpReadVersionMemo(TStream& stream, TStrings* lines, int version)
{
    if (version < 23)
        rpReadMemo22(stream, lines);
    else
        rpReadMemo(stream, lines);
}
