#include "net/MimeUtil.h"

#include "platform/rtl/Exceptions.h"
#include "platform/rtl/Files.h"
#include "platform/rtl/TextUtils.h"

#include <algorithm>
#include <array>
#include <cstring>

namespace MimeUtilUnit {

constexpr char Base64Alphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/=";
constexpr std::uint8_t PaddingValue = 64;
constexpr std::uint8_t NotInAlphabet = 255;
// Bytes of a file that one Base64 line of 72 characters holds.
constexpr int BytesPerLine = 54;

constexpr std::array<std::uint8_t, 256> MakeDecodingTable()
{
    std::array<std::uint8_t, 256> table {};
    for (auto& value : table)
        value = NotInAlphabet;
    for (int i = 0; i <= 64; ++i)
        table[static_cast<unsigned char>(Base64Alphabet[i])] = static_cast<std::uint8_t>(i);
    return table;
}

constexpr std::array<std::uint8_t, 256> DecodingTable = MakeDecodingTable();

bool SkippedWhileDecoding(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

// Appends the Base64 text of count (1 to 3) bytes, padded to four characters.
void EncodeGroup(const unsigned char* bytes, int count, char* out)
{
    const unsigned b0 = bytes[0];
    const unsigned b1 = count > 1 ? bytes[1] : 0;
    const unsigned b2 = count > 2 ? bytes[2] : 0;
    out[0] = Base64Alphabet[b0 >> 2];
    out[1] = Base64Alphabet[((b0 & 3) << 4) | (b1 >> 4)];
    out[2] = count > 1 ? Base64Alphabet[((b1 & 15) << 2) | (b2 >> 6)] : '=';
    out[3] = count > 2 ? Base64Alphabet[b2 & 63] : '=';
}

// The Base64 text of size bytes, padded.
std::string EncodeBytes(const unsigned char* bytes, std::size_t size)
{
    std::string result((size + 2) / 3 * 4, '\0');
    char* out = result.data();
    std::size_t at = 0;
    for (; at + 3 <= size; at += 3, out += 4) {
        const unsigned group = (unsigned(bytes[at]) << 16) | (unsigned(bytes[at + 1]) << 8) | bytes[at + 2];
        out[0] = Base64Alphabet[group >> 18];
        out[1] = Base64Alphabet[(group >> 12) & 63];
        out[2] = Base64Alphabet[(group >> 6) & 63];
        out[3] = Base64Alphabet[group & 63];
    }
    if (at < size)
        EncodeGroup(bytes + at, static_cast<int>(size - at), out);
    return result;
}

void AppendEscape(std::string& out, unsigned char c)
{
    static const char hexDigits[] = "0123456789ABCDEF";
    out += '=';
    out += hexDigits[c >> 4];
    out += hexDigits[c & 15];
}

// Raises the number parser's conversion error for the two characters of an escape.
[[noreturn]] void RaiseInvalidEscape(const std::string& pair)
{
    StrToInt("$" + pair);
    RAISE(EConvertError("'$" + pair + "' is not a valid integer value"));
}

// The attachment's file, read ahead in large blocks: the encoder asks for one line's 54 bytes at
// a time, and a system call for each would cost more than the encoding.
class TReadAheadFileStream : public TFileStream {
    TESS_CLASS(TReadAheadFileStream, TFileStream)
public:
    using TFileStream::TFileStream;

    int Read(void* buffer, int count) override
    {
        auto* out = static_cast<char*>(buffer);
        int done = 0;
        while (done < count) {
            if (FAt == FFilled && !Refill())
                break;
            const int piece = std::min(count - done, FFilled - FAt);
            std::memcpy(out + done, FBlock.data() + FAt, static_cast<std::size_t>(piece));
            FAt += piece;
            done += piece;
        }
        return done;
    }

    std::int64_t Seek(std::int64_t offset, int origin) override
    {
        const std::int64_t waiting = FFilled - FAt;
        if (origin == soFromCurrent && offset == 0)
            return TFileStream::Seek(0, soFromCurrent) - waiting;
        if (origin == soFromCurrent)
            offset -= waiting;
        FAt = FFilled = 0;
        return TFileStream::Seek(offset, origin);
    }

private:
    bool Refill()
    {
        FAt = 0;
        FFilled = std::max(TFileStream::Read(FBlock.data(), static_cast<int>(FBlock.size())), 0);
        return FFilled > 0;
    }

    std::array<char, 65536> FBlock;
    int FAt = 0;
    int FFilled = 0;
};

} // namespace MimeUtilUnit

std::string Base64Encode(const std::string& S)
{
    return MimeUtilUnit::EncodeBytes(reinterpret_cast<const unsigned char*>(S.data()), S.size());
}

std::string Base64Decode(const std::string& S)
{
    using namespace MimeUtilUnit;
    std::string result;
    result.reserve(S.size() / 4 * 3 + 3);
    std::uint8_t c[4];
    int filled = 0;
    for (const char ch : S) {
        if (SkippedWhileDecoding(ch))
            continue;
        c[filled++] = DecodingTable[static_cast<unsigned char>(ch)];
        if (filled < 4)
            continue;
        filled = 0;
        result += static_cast<char>(((c[0] & 63) << 2) | ((c[1] & 48) >> 4));
        if (c[2] != PaddingValue) {
            result += static_cast<char>(((c[1] & 15) << 4) | ((c[2] & 60) >> 2));
            if (c[3] != PaddingValue)
                result += static_cast<char>(((c[2] & 3) << 6) | (c[3] & 63));
        }
    }
    return result;
}

std::string EncodeQuotedPrintable(const std::string& S)
{
    std::string result;
    result.reserve(S.size() + S.size() / 4);
    for (const char ch : S) {
        const auto c = static_cast<unsigned char>(ch);
        if (c == '=' || c < ' ' || c > '~')
            MimeUtilUnit::AppendEscape(result, c);
        else
            result += ch;
    }
    return result;
}

std::string DecodeQuotedPrintable(const std::string& S)
{
    std::string result;
    result.reserve(S.size());
    const std::size_t length = S.size();
    std::size_t at = 0;
    while (at < length) {
        const std::size_t escape = S.find('=', at);
        if (escape == std::string::npos) {
            result.append(S, at, std::string::npos);
            break;
        }
        result.append(S, at, escape - at);
        // "=" and what follows it must be there whole; a cut escape at the end ends the text.
        if (escape + 1 >= length)
            break;
        if (S[escape + 1] == '\r') {
            at = escape + 3;
            continue;
        }
        if (escape + 2 >= length)
            break;
        const int high = HexDigitValue(S[escape + 1]);
        const int low = HexDigitValue(S[escape + 2]);
        if (high < 0 || low < 0)
            MimeUtilUnit::RaiseInvalidEscape(S.substr(escape + 1, 2));
        result += static_cast<char>(high * 16 + low);
        at = escape + 3;
    }
    return result;
}

std::string SplitQuotedPrintableString(const std::string& S)
{
    constexpr std::size_t MaxLine = 76;
    if (S.size() <= MaxLine)
        return S;
    std::string result;
    result.reserve(S.size() + S.size() / 25 + 3);
    // Positions count from 1, as the line rule is written: a line ends before stop.
    std::size_t start = 1;
    std::size_t stop = MaxLine;
    do {
        if (S[stop - 2] == '=')
            stop -= 1;
        else if (S[stop - 3] == '=')
            stop -= 2;
        result.append(S, start - 1, stop - start);
        result += "=\r\n";
        start = stop;
        stop += MaxLine - 1;
    } while (S.size() >= stop);
    result.append(S, start - 1, std::string::npos);
    return result;
}

void DotEscape(std::string& S)
{
    if (S.empty())
        return;
    std::string result;
    result.reserve(S.size() + 8);
    if (S[0] == '.')
        result += '.';
    for (std::size_t i = 0; i < S.size(); ++i) {
        result += S[i];
        if (S[i] == '\n' && i > 0 && S[i - 1] == '\r' && i + 1 < S.size() && S[i + 1] == '.')
            result += '.';
    }
    S.swap(result);
}

std::string FilenameToContentType(const std::string& FileName)
{
    std::string extension = LowerCase(ExtractFileExt(FileName));
    if (!extension.empty() && extension[0] == '.')
        extension.erase(0, 1);
    if (extension == "htm" || extension == "html")
        return "text/html";
    if (extension == "gif")
        return "image/gif";
    if (extension == "bmp")
        return "image/bmp";
    if (extension == "jpg" || extension == "jpeg")
        return "image/jpeg";
    if (extension == "txt")
        return "text/plain";
    return "application/octet-stream";
}

std::unique_ptr<TFileStream> InitFileEncBase64(const std::string& FileName, std::uint16_t ShareMode)
{
    return std::make_unique<MimeUtilUnit::TReadAheadFileStream>(FileName, fmOpenRead | ShareMode);
}

std::string DoFileEncBase64(std::unique_ptr<TFileStream>& Stream, bool& More)
{
    More = false;
    if (!Stream)
        return "";
    unsigned char bytes[MimeUtilUnit::BytesPerLine];
    int count = 0;
    // A read may give fewer bytes than asked without being at the end (a file that changes).
    while (count < MimeUtilUnit::BytesPerLine) {
        const int got = Stream->Read(bytes + count, MimeUtilUnit::BytesPerLine - count);
        if (got <= 0)
            break;
        count += got;
    }
    More = count == MimeUtilUnit::BytesPerLine;
    return MimeUtilUnit::EncodeBytes(bytes, static_cast<std::size_t>(count));
}

void EndFileEncBase64(std::unique_ptr<TFileStream>& Stream) { Stream.reset(); }
