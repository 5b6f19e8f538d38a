// MD5 (RFC 1321), HMAC-MD5 (RFC 2202), the CRAM-MD5 answer (RFC 2195), address parsing and the
// Date header's text. The digests of the longer inputs are python3 hashlib's.

#include "SmtpPeers.h"

#include "net/QuzMD5.h"
#include "net/SmtpProt.h"
#include "platform/rtl/DateTime.h"
#include "platform/rtl/TextUtils.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <random>
#include <filesystem>
#include <string>

namespace SmtpFunctionsTest {
namespace {

TEST(QuzMD5, ReferenceSuitePiecesAndFiles)
{
    const std::pair<std::string, std::string> suite[] = {
        {"", "D41D8CD98F00B204E9800998ECF8427E"},
        {"a", "0CC175B9C0F1B6A831C399E269772661"},
        {"abc", "900150983CD24FB0D6963F7D28E17F72"},
        {"message digest", "F96B697D7CB7938D525A2F31AAF161D0"},
        {"abcdefghijklmnopqrstuvwxyz", "C3FCD3D76192E4007DFB496CCA67E13B"},
        {"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789", "D174AB98D277D9F5A5611C2C9F419D9F"},
        {std::string("1234567890") + "1234567890" + "1234567890" + "1234567890" + "1234567890" + "1234567890" +
             "1234567890" + "1234567890",
         "57EDF4A22BE3C955AC49DA2E2107B67A"},
        // One block at the end (55 bytes) and two (56 bytes).
        {std::string(55, 'a'), "EF1772B6DFF9A122358552954AD0DF65"},
        {std::string(56, 'a'), "3B0C8AC703F828B04C6C197006D17218"},
    };
    for (const auto& [text, digest] : suite)
        EXPECT_EQ(StrMD5(text), digest) << text;

    // Fed in pieces of every size, the digest is that of the whole.
    std::string text;
    for (int i = 0; i < 1000; ++i)
        text += static_cast<char>(i * 13);
    std::mt19937 random(7);
    for (int round = 0; round < 20; ++round) {
        TMD5Context context;
        MD5Init(context);
        for (std::size_t at = 0; at < text.size();) {
            const std::size_t piece = std::min<std::size_t>(random() % 130, text.size() - at);
            MD5Update(context, text.data() + at, static_cast<int>(piece));
            at += piece;
        }
        TMD5Digest digest;
        MD5Final(digest, context);
        EXPECT_EQ(Hex(std::string(digest.begin(), digest.end())), LowerCase(StrMD5(text)));
    }

    TTempFolder folder("tess-smtp");
    EXPECT_EQ(FileMD5(WriteTestFile(folder, "empty.bin", "")), "D41D8CD98F00B204E9800998ECF8427E");
    std::string block;
    for (int i = 0; i < 102400; ++i)
        block += static_cast<char>((i * 7) % 251);
    EXPECT_EQ(FileMD5(WriteTestFile(folder, "block.bin", block)), "54B960E97ED38B8E9B236F01A5AF82C9");
    EXPECT_EQ(FileMD5(WriteTestFile(folder, "more.bin", block + "x")), StrMD5(block + "x"));
    EXPECT_THROW(FileMD5((std::filesystem::path(folder.Path()) / "missing.bin").string()), EFOpenError);
}

TEST(QuzMD5, KeyedDigestAndTheCramMD5Answer)
{
    EXPECT_EQ(Hex(HmacMD5(std::string(16, '\x0b'), "Hi There")), "9294727a3638bb1c13f48ef8158bfc9d");
    EXPECT_EQ(Hex(HmacMD5("Jefe", "what do ya want for nothing?")), "750c783e6ab0b503eaa86e310a5db738");
    // A key longer than a block is reduced to its digest first.
    EXPECT_EQ(Hex(HmacMD5(std::string(80, '\xaa'), "Test Using Larger Than Block-Size Key - Hash Key First")),
              "6b1ab7fe4bd7bf8f0b62e6ce61b9d0cd");
    EXPECT_EQ("tim " + Hex(HmacMD5("tanstaaftanstaaf", "<1896.697170952@postoffice.reston.mci.net>")),
              "tim b913a602c7eda7a495b4e6e7334d3890");
}

TEST(SmtpAddresses, ParseEmailAndRcptNameAdd)
{
    struct TCase {
        std::string From, Name, Email;
    };
    const TCase cases[] = {
        {"\"Rossi, Mario\" <mario@example.it>", "Rossi, Mario", "mario@example.it"},
        {"  'Ditta; Srl' <info@ditta.it>", "Ditta; Srl", "info@ditta.it"},
        {"\"Solo nome\" mario@example.it", "Solo nome", "mario@example.it"},
        {"Mario Rossi <mario@example.it>", "Mario Rossi", "mario@example.it"},
        {"<mario@example.it>", "", "mario@example.it"},
        {"mario@example.it", "", "mario@example.it"},
        {"mario@example.it Mario", "mario@example.it", "Mario"},
        {"Mario <mario@example.it", "Mario", "mario@example.it"},
        {"\"Mario <mario@example.it>", "", "Mario <mario@example.it>"},
        {"", "", ""},
        {"   ", "", ""},
    };
    for (const TCase& c : cases) {
        std::string name = "x", email = "y";
        ParseEmail(c.From, name, email);
        EXPECT_EQ(name, c.Name) << c.From;
        EXPECT_EQ(email, c.Email) << c.From;
    }

    TTestSmtpCli client;
    client.RcptName()->Add("first@example.it");
    client.RcptNameAdd("\"Rossi, Mario\" <mario@example.it>; anna@example.it,", " \"Uno; due\" <ud@example.it>", ";;");
    const std::vector<std::string> expected = {"first@example.it", "\"Rossi, Mario\" <mario@example.it>",
                                               "anna@example.it", "\"Uno; due\" <ud@example.it>"};
    std::vector<std::string> added;
    for (int i = 0; i < client.RcptName()->Count(); ++i)
        added.push_back(client.RcptName()->Strings(i));
    EXPECT_EQ(added, expected);
}

TEST(SmtpAddresses, AuthListFromTheEhloReply)
{
    TTestSmtpCli client;
    const char* const lines[] = {"250-mail.example.test", "250-AUTH LOGIN PLAIN", "250-auth=login cram-md5",
                                 "250-AUTHX GSSAPI",       "250-SIZE 1000",         "250 AUTH  PLAIN  CRAM-SHA1 "};
    for (const char* line : lines)
        client.AuthGetType(line);
    std::vector<std::string> methods;
    for (int i = 0; i < client.AuthTypesSupported()->Count(); ++i)
        methods.push_back(client.AuthTypesSupported()->Strings(i));
    EXPECT_EQ(methods, (std::vector<std::string>{"LOGIN", "PLAIN", "CRAM-MD5", "CRAM-SHA1"}));
}

TEST(SmtpDate, UniversalTimeOfALocalMoment)
{
    // net_tests run with TZ=CET-1 (one hour east, no daylight saving time); a run by hand gets it
    // here.
    const char* zone = std::getenv("TZ");
    if (!zone || std::string(zone) != "CET-1") {
        setenv("TZ", "CET-1", 1);
        tzset();
    }
    EXPECT_EQ(Rfc822DateTime(EncodeDate(2026, 3, 5) + EncodeTime(9, 7, 3, 0)), "Thu, 5 Mar 2026 08:07:03 GMT");
    EXPECT_EQ(Rfc822DateTime(EncodeDate(2026, 1, 1) + EncodeTime(0, 30, 0, 0)), "Wed, 31 Dec 2025 23:30:00 GMT");
}

} // namespace
} // namespace SmtpFunctionsTest
