#pragma once
// One run of the MIME fuzz target: the text functions of the mail client over any bytes. The
// first byte chooses the function; the rest is its input. Each must end without reading past its
// input, give back what its encoder made, and cut addresses only into pieces of the input.

#include "net/SmtpProt.h"

#include <cstdint>
#include <string>

namespace MimeFuzz {

class TFuzzSmtpCli : public TSmtpCli {
public:
    TFuzzSmtpCli() : TSmtpCli(nullptr) {}
    using TCustomSmtpClient::AuthGetType;
};

inline std::size_t Significant(const std::string& text)
{
    std::size_t count = 0;
    for (const char c : text)
        count += c != ' ' && c != '\t' && c != '\r' && c != '\n';
    return count;
}

inline std::string CheckBase64(const std::string& text)
{
    if (Base64Decode(text).size() > Significant(text) / 4 * 3)
        return "Base64Decode gave more than its input holds";
    if (Base64Decode(Base64Encode(text)) != text)
        return "Base64 did not come back";
    return "";
}

inline std::string CheckQuotedPrintable(const std::string& text)
{
    try {
        if (DecodeQuotedPrintable(text).size() > text.size())
            return "DecodeQuotedPrintable grew";
    } catch (const EConvertError&) {
        // An invalid escape is the number parser's error.
    }
    const std::string encoded = EncodeQuotedPrintable(text);
    if (DecodeQuotedPrintable(encoded) != text)
        return "quoted-printable did not come back";
    const std::string lines = SplitQuotedPrintableString(encoded);
    if (DecodeQuotedPrintable(lines) != text)
        return "split quoted-printable did not come back";
    for (std::size_t start = 0; start < lines.size();) {
        const std::size_t end = lines.find("\r\n", start);
        const std::size_t length = (end == std::string::npos ? lines.size() : end) - start;
        if (length > 76)
            return "a quoted-printable line longer than 76";
        start = end == std::string::npos ? lines.size() : end + 2;
    }
    std::string escaped = text;
    DotEscape(escaped);
    if (escaped.size() < text.size())
        return "DotEscape shrank";
    return "";
}

inline std::string CheckAddresses(const std::string& text)
{
    std::string name, email;
    ParseEmail(text, name, email);
    if (text.find(name) == std::string::npos || text.find(email) == std::string::npos)
        return "ParseEmail gave text that is not in its input";
    TFuzzSmtpCli client;
    client.RcptNameAdd(text, "", "");
    const std::string joined = text + ";;";
    for (int i = 0; i < client.RcptName()->Count(); ++i) {
        const std::string piece = client.RcptName()->Strings(i);
        if (piece.empty() || joined.find(piece) == std::string::npos)
            return "RcptNameAdd gave a piece that is not in its input";
    }
    client.AuthGetType(text);
    for (int i = 0; i < client.AuthTypesSupported()->Count(); ++i) {
        const std::string method = client.AuthTypesSupported()->Strings(i);
        if (method.empty() || method.find(' ') != std::string::npos)
            return "an empty or blank method in the AUTH list";
    }
    return "";
}

// The fault found, "" when none.
inline std::string RunMimeFuzzCase(const std::uint8_t* data, std::size_t size)
{
    if (size < 1)
        return "";
    const std::string text(reinterpret_cast<const char*>(data + 1), size - 1);
    switch (data[0] % 3) {
    case 0:
        return CheckBase64(text);
    case 1:
        return CheckQuotedPrintable(text);
    default:
        return CheckAddresses(text);
    }
}

} // namespace MimeFuzz
