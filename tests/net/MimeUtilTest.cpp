// The MIME functions against the standard vectors: Base64 (RFC 4648), quoted-printable, dot
// escaping, content types and the line-by-line Base64 of files.

#include "SmtpPeers.h"

#include "net/MimeUtil.h"
#include "platform/rtl/Exceptions.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

namespace MimeUtilTest {
namespace {

std::string AllBytes(std::size_t length)
{
    std::string bytes;
    for (std::size_t i = 0; i < length; ++i)
        bytes += static_cast<char>((i * 37 + 11) & 255);
    return bytes;
}

TEST(MimeBase64, StandardVectorsRoundTripsAndLineBreaks)
{
    const std::pair<std::string, std::string> vectors[] = {
        {"", ""},         {"f", "Zg=="},         {"fo", "Zm8="},         {"foo", "Zm9v"},
        {"foob", "Zm9vYg=="}, {"fooba", "Zm9vYmE="}, {"foobar", "Zm9vYmFy"},
    };
    for (const auto& [plain, encoded] : vectors) {
        EXPECT_EQ(Base64Encode(plain), encoded);
        EXPECT_EQ(Base64Decode(encoded), plain);
    }
    for (std::size_t length = 0; length < 300; length += 7) {
        const std::string bytes = AllBytes(length);
        EXPECT_EQ(Base64Decode(Base64Encode(bytes)), bytes) << length;
    }

    // Decoding skips blanks and line breaks, and stops at an incomplete last group.
    const std::pair<std::string, std::string> decoded[] = {
        {"Zm9v\r\nYmFy\r\n", "foobar"},
        {" Zm9v YmE=\n", "fooba"},
        {"Zm9\tvYg==", "foob"},
        {"Zm9vYg", "foo"},
        {"Zg", ""},
        {"Z", ""},
    };
    for (const auto& [text, bytes] : decoded)
        EXPECT_EQ(Base64Decode(text), bytes) << text;
}

TEST(MimeQuotedPrintable, EscapesSoftBreaksAndSplitting)
{
    EXPECT_EQ(EncodeQuotedPrintable("a\tb=c\xE9 d\r\n~\x7F"), "a=09b=3Dc=E9 d=0D=0A~=7F");
    const std::string bytes = AllBytes(256);
    EXPECT_EQ(DecodeQuotedPrintable(EncodeQuotedPrintable(bytes)), bytes);

    const std::pair<std::string, std::string> decoded[] = {
        {"abc=\r\ndef", "abcdef"},
        {"caf=E9 ok", "caf\xE9 ok"},
        {"fine=", "fine"},
        {"fine=\r", "fine"},
        {"fine=4", "fine"},
        {"", ""},
    };
    for (const auto& [text, result] : decoded)
        EXPECT_EQ(DecodeQuotedPrintable(text), result) << text;
    EXPECT_THROW(DecodeQuotedPrintable("bad=ZZ escape"), EConvertError);

    // 200 characters without escapes: 75, 75 and 50, the first two with a soft break.
    const std::string split = SplitQuotedPrintableString(std::string(200, 'x'));
    EXPECT_EQ(split, std::string(75, 'x') + "=\r\n" + std::string(75, 'x') + "=\r\n" + std::string(50, 'x'));
    EXPECT_EQ(SplitQuotedPrintableString(std::string(76, 'y')), std::string(76, 'y'));

    // No escape is cut, wherever it falls, and the text comes back whole.
    for (std::size_t shift = 70; shift < 80; ++shift) {
        const std::string text = EncodeQuotedPrintable(std::string(shift, 'a') + "\xE9\xE8" + std::string(100, 'b'));
        const std::string lines = SplitQuotedPrintableString(text);
        std::size_t start = 0;
        while (start < lines.size()) {
            const std::size_t end = lines.find("\r\n", start);
            const std::string line = lines.substr(start, end == std::string::npos ? std::string::npos : end - start);
            EXPECT_LE(line.size(), 76u) << shift;
            start = end == std::string::npos ? lines.size() : end + 2;
        }
        EXPECT_EQ(DecodeQuotedPrintable(lines), std::string(shift, 'a') + "\xE9\xE8" + std::string(100, 'b'));
    }
}

TEST(MimeText, DotEscapeAndContentTypes)
{
    const std::pair<std::string, std::string> escapes[] = {
        {"", ""},
        {".a\r\nb\r\n.", "..a\r\nb\r\n.."},
        {"a\r\n..b", "a\r\n...b"},
        {"a.\r\nb.c", "a.\r\nb.c"},
        {".", ".."},
    };
    for (auto [text, result] : escapes) {
        DotEscape(text);
        EXPECT_EQ(text, result);
    }

    const std::pair<std::string, std::string> types[] = {
        {"Fattura 12.PDF", "application/octet-stream"},
        {"C:\\Foto\\LOGO.JPG", "image/jpeg"},
        {"logo.jpeg", "image/jpeg"},
        {"senza estensione", "application/octet-stream"},
        {"pagina.HTM", "text/html"},
        {"pagina.html", "text/html"},
        {"note.txt", "text/plain"},
        {"a.gif", "image/gif"},
        {"a.bmp", "image/bmp"},
    };
    for (const auto& [name, type] : types)
        EXPECT_EQ(FilenameToContentType(name), type) << name;
}

TEST(MimeFileEncoding, LinesOf72CharactersAndTheLastOne)
{
    TTempFolder folder("tess-smtp");
    struct TCase {
        std::size_t Size;
        std::vector<std::pair<std::size_t, bool>> Lines; // length and More of each line
    };
    const TCase cases[] = {
        {55, {{72, true}, {4, false}}},
        {0, {{0, false}}},
        {54, {{72, true}, {0, false}}},
        {108, {{72, true}, {72, true}, {0, false}}},
        {56, {{72, true}, {4, false}}},
        {1000, {}},
    };
    for (const TCase& c : cases) {
        const std::string bytes = AllBytes(c.Size);
        const std::string path = WriteTestFile(folder, "file" + std::to_string(c.Size) + ".bin", bytes);
        std::unique_ptr<TFileStream> stream = InitFileEncBase64(path, fmShareDenyWrite);
        std::string all;
        std::vector<std::pair<std::size_t, bool>> lines;
        bool more = true;
        while (more) {
            const std::string line = DoFileEncBase64(stream, more);
            lines.emplace_back(line.size(), more);
            all += line;
        }
        EndFileEncBase64(stream);
        EXPECT_EQ(stream, nullptr);
        if (!c.Lines.empty()) {
            EXPECT_EQ(lines, c.Lines) << c.Size;
        }
        EXPECT_EQ(Base64Decode(all), bytes) << c.Size;
        if (c.Size == 55) {
            EXPECT_EQ(all.substr(all.size() - 2), "==");
        }
    }
    const std::string missing = (std::filesystem::path(folder.Path()) / "missing.pdf").string();
    EXPECT_THROW(InitFileEncBase64(missing, fmShareDenyWrite), EFOpenError);
}

} // namespace
} // namespace MimeUtilTest
