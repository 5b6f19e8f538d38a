// The HTML mail against aiosmtpd on 127.0.0.1: python3's email package reads back the parts, the
// texts and the bytes of the images and files; the boundaries, the line handling and the file
// actions are checked on the saved message.

#include "SmtpPeers.h"

#include "platform/rtl/TextUtils.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <random>

namespace HtmlSmtpTest {
namespace {

// The parts of a saved message as python's email package sees them, one line each:
//   ROOT <type> <type parameter> <boundary>, DEFECTS <count>, MULTI <type> <boundary>,
//   PART <type> <encoding> <charset> <content-id> <x-file-id> <disposition> <file name> <hex>.
const char* const Describe = R"(
import email, sys
message = email.message_from_bytes(open(sys.argv[1], "rb").read())
show = lambda value: "-" if value is None else str(value).replace(" ", "_")
print("ROOT", message.get_content_type(), show(message.get_param("type")), show(message.get_boundary()))
print("DEFECTS", sum(len(part.defects) for part in message.walk()))
for part in message.walk():
    if part.is_multipart():
        if part is not message:
            print("MULTI", part.get_content_type(), show(part.get_boundary()))
        continue
    payload = part.get_payload(decode=True) or b""
    print("PART", part.get_content_type(), show(part["Content-Transfer-Encoding"]), show(part.get_content_charset()),
          show(part["Content-ID"]), show(part["X-File-ID"]), show(part.get_content_disposition()),
          show(part.get_filename()), payload.hex() or "-")
print("END", flush=True)
)";

std::vector<std::vector<std::string>> DescribeMessage(const std::filesystem::path& file)
{
    auto python = TPeerProcess::Python(Describe, {file.string()}, false);
    std::vector<std::vector<std::string>> lines;
    for (;;) {
        const std::string line = python->ReadLine();
        if (line.empty() || line == "END")
            break;
        std::vector<std::string> words;
        std::size_t at = 0;
        while (at <= line.size()) {
            const std::size_t blank = line.find(' ', at);
            words.push_back(line.substr(at, blank == std::string::npos ? std::string::npos : blank - at));
            if (blank == std::string::npos)
                break;
            at = blank + 1;
        }
        lines.push_back(words);
    }
    return lines;
}

std::vector<std::vector<std::string>> PartsOf(const std::vector<std::vector<std::string>>& described)
{
    std::vector<std::vector<std::string>> parts;
    for (const auto& words : described)
        if (words[0] == "PART")
            parts.push_back(words);
    return parts;
}

// The decoded text as lines, CR LF or LF taken as the line break.
std::vector<std::string> TextLines(const std::string& hexPayload)
{
    std::string text = hexPayload == "-" ? "" : HexToBytes(hexPayload);
    std::vector<std::string> lines;
    std::size_t start = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\n')
            continue;
        std::size_t end = i > start && text[i - 1] == '\r' ? i - 1 : i;
        lines.push_back(text.substr(start, end - start));
        start = i + 1;
    }
    if (start < text.size())
        lines.push_back(text.substr(start));
    return lines;
}

std::string RandomBytes(std::size_t size, unsigned seedValue)
{
    std::mt19937 random(seedValue);
    std::string bytes;
    while (bytes.size() < size)
        bytes += static_cast<char>(random());
    return bytes;
}

std::unique_ptr<TStringList> Lines(const std::vector<std::string>& lines)
{
    auto list = std::make_unique<TStringList>();
    for (const std::string& line : lines)
        list->Add(line);
    return list;
}

// The client with its boundary clock fixed, for exact boundaries.
class TFixedClockHtmlSmtpCli : public THtmlSmtpCli {
public:
    TFixedClockHtmlSmtpCli() : THtmlSmtpCli(nullptr) {}
    std::uint32_t Ticks = 0x00ABCDEF;

protected:
    std::uint32_t BoundaryTicks() const override { return Ticks; }
};

struct TMailRun {
    TTempFolder Folder{"tess-htmlsmtp"};
    TAiosmtpdServer Server{Folder.Path(), false};
    int Sent = 0;

    void Aim(THtmlSmtpCli& client)
    {
        client.SetHost("127.0.0.1");
        client.SetPort(Server.PortText());
        client.SetSignOn("Ditta Srl");
        client.SetHdrFrom("fatture@example.it");
        client.SetHdrTo("cliente@example.it");
        client.SetHdrSubject("Fattura 12/2026");
        client.SetFromName("fatture@example.it");
        client.RcptName()->Clear();
        client.RcptName()->Add("cliente@example.it");
    }

    // Open, Mail and Quit; the codes of the three requests, the saved message's path.
    std::vector<int> Send(THtmlSmtpCli& client)
    {
        std::vector<int> codes;
        int done = -1;
        client.OnRequestDone = [&](TObject*, TSmtpRequest, WORD code) { done = code; };
        for (void (TCustomSmtpClient::*request)() : {&TCustomSmtpClient::Open, &TCustomSmtpClient::Mail,
                                                      &TCustomSmtpClient::Quit}) {
            done = -1;
            (client.*request)();
            PumpUntil([&] { return done >= 0; }, 15000);
            codes.push_back(done);
        }
        if (codes[1] == 0) {
            Server.NextMessage();
            ++Sent;
        }
        return codes;
    }

    std::filesystem::path Saved() const
    {
        return std::filesystem::path(Folder.Path()) / ("message" + std::to_string(Sent) + ".eml");
    }
};

TEST(HtmlSmtp, TwoImagesAndAFileArriveAsRelatedAlternativeParts)
{
    TMailRun run;
    const std::string png = "GIF89a" + RandomBytes(3000, 1);
    const std::string jpeg = RandomBytes(1, 2); // one byte: a Base64 group of its own
    const std::string pdf = "%PDF-1.4\n" + RandomBytes(5000, 3);
    const std::vector<std::string> plain = {"Gentile cliente,", ".una riga che inizia col punto",
                                            std::string(80, 'x'), "a=b \x80 gi\xE0 fatto\t", ""};
    const std::vector<std::string> html = {"<html><body>", "<p>Gentile cliente,</p>", "<img src=\"cid:IMAGE1\">",
                                           "." + std::string(150, '.'), "</body></html>"};
    THtmlSmtpCli client(nullptr);
    run.Aim(client);
    auto images = Lines({WriteTestFile(run.Folder, "logo.gif", png), WriteTestFile(run.Folder, "firma.jpg", jpeg)});
    client.SetEmailImages(images.get());
    auto files = Lines({WriteTestFile(run.Folder, "Fattura_12.pdf", pdf)});
    client.SetEMailFiles(files.get());
    auto plainList = Lines(plain), htmlList = Lines(html);
    client.SetPlainText(plainList.get());
    client.SetHtmlText(htmlList.get());
    EXPECT_EQ(run.Send(client), (std::vector<int>{0, 0, 0}));

    const auto described = DescribeMessage(run.Saved());
    ASSERT_GE(described.size(), 4u);
    EXPECT_EQ(described[0], (std::vector<std::string>{"ROOT", "multipart/related", "multipart/alternative",
                                                      client.OuterBoundary()}));
    EXPECT_EQ(described[1], (std::vector<std::string>{"DEFECTS", "0"}));
    EXPECT_EQ(described[2], (std::vector<std::string>{"MULTI", "multipart/alternative", client.InnerBoundary()}));
    const auto parts = PartsOf(described);
    ASSERT_EQ(parts.size(), 5u);
    // A byte of 0x80-0x9F makes both texts windows-1252.
    EXPECT_EQ(std::vector<std::string>(parts[0].begin(), parts[0].begin() + 8),
              (std::vector<std::string>{"PART", "text/plain", "quoted-printable", "windows-1252", "-", "-", "-", "-"}));
    EXPECT_EQ(std::vector<std::string>(parts[1].begin(), parts[1].begin() + 8),
              (std::vector<std::string>{"PART", "text/html", "quoted-printable", "windows-1252", "-", "-", "-", "-"}));
    EXPECT_EQ(TextLines(parts[0][8]), plain);
    EXPECT_EQ(TextLines(parts[1][8]), html);
    EXPECT_EQ(std::vector<std::string>(parts[2].begin(), parts[2].begin() + 8),
              (std::vector<std::string>{"PART", "image/gif", "base64", "-", "<IMAGE1>", "-", "inline", "logo.gif"}));
    EXPECT_EQ(std::vector<std::string>(parts[3].begin(), parts[3].begin() + 8),
              (std::vector<std::string>{"PART", "image/jpeg", "base64", "-", "<IMAGE2>", "-", "inline", "firma.jpg"}));
    EXPECT_EQ(std::vector<std::string>(parts[4].begin(), parts[4].begin() + 8),
              (std::vector<std::string>{"PART", "application/octet-stream", "base64", "-", "-", "<FILE1>", "attachment",
                                        "Fattura_12.pdf"}));
    EXPECT_EQ(HexToBytes(parts[2][8]), png);
    EXPECT_EQ(HexToBytes(parts[3][8]), jpeg);
    EXPECT_EQ(HexToBytes(parts[4][8]), pdf);
}

TEST(HtmlSmtp, BoundariesAreExactWithAFixedClockAndSequenceAndTheBareMailEndsWithBoth)
{
    TMailRun run;
    TFixedClockHtmlSmtpCli client;
    run.Aim(client);
    auto plainList = Lines({"Solo testo."}), htmlList = Lines({"<p>Solo testo.</p>"});
    client.SetPlainText(plainList.get());
    client.SetHtmlText(htmlList.get());

    RandSeed = 1234;
    const int expectedRandom = Random(2147483647);
    RandSeed = 1234;
    EXPECT_EQ(run.Send(client), (std::vector<int>{0, 0, 0}));
    const std::string random = IntToHex(expectedRandom, 8);
    EXPECT_EQ(client.OuterBoundary(), "----=_NextPart_000_00ABCDEF_0." + random);
    EXPECT_EQ(client.InnerBoundary(), "----=_NextPart_000_00ABCDEF_1." + random);

    const std::string saved = ReadWholeFile(run.Saved());
    const std::string ending =
        "--" + client.InnerBoundary() + "--\r\n\r\n--" + client.OuterBoundary() + "--\r\n";
    ASSERT_GE(saved.size(), ending.size());
    EXPECT_EQ(saved.substr(saved.size() - ending.size()), ending);
    // The charset the HTML part is sent in, and CharSet for the plain text.
    const auto parts = PartsOf(DescribeMessage(run.Saved()));
    ASSERT_EQ(parts.size(), 2u);
    EXPECT_EQ(parts[0][3], "iso-8859-1");
    EXPECT_EQ(parts[1][3], "iso-8859-1");

    // Without a fixed sequence two mails get different random parts, both well formed.
    client.Ticks = 0xFFFFFFFF;
    EXPECT_EQ(run.Send(client), (std::vector<int>{0, 0, 0}));
    EXPECT_EQ(client.OuterBoundary().substr(0, 30), "----=_NextPart_000_FFFFFFFF_0.");
    EXPECT_EQ(client.OuterBoundary().size(), 38u);
}

TEST(HtmlSmtp, ATextLineLeavesAsOneBufferWithSoftBreaksAndDotsSurvive)
{
    TMailRun run;
    THtmlSmtpCli client(nullptr);
    run.Aim(client);
    const std::vector<std::string> plain = {std::string(80, 'a'), ".inizio", "dentro\r\n.\r\nfine",
                                            std::string(74, 'b') + "." + std::string(10, 'c')};
    const std::vector<std::string> html = {std::string(300, '.'), std::string("nul\0byte=\xFF", 11),
                                           std::string(2000, '=')};
    auto plainList = Lines(plain), htmlList = Lines(html);
    client.SetPlainText(plainList.get());
    client.SetHtmlText(htmlList.get());
    std::vector<std::string> sent;
    client.OnDisplay = [&](TObject*, const std::string& msg) {
        if (msg.rfind("> ", 0) == 0)
            sent.push_back(msg.substr(2));
    };
    EXPECT_EQ(run.Send(client), (std::vector<int>{0, 0, 0}));
    EXPECT_NE(std::find(sent.begin(), sent.end(), std::string(75, 'a') + "=\r\naaaaa"), sent.end());

    const auto parts = PartsOf(DescribeMessage(run.Saved()));
    ASSERT_EQ(parts.size(), 2u);
    // The inner line break of a text line is text: it comes back as a line break.
    EXPECT_EQ(TextLines(parts[0][8]),
              (std::vector<std::string>{plain[0], plain[1], "dentro", ".", "fine", plain[3]}));
    EXPECT_EQ(TextLines(parts[1][8]), html);
}

// The second file appears while the mail is being built: the failed open's handler writes it.
TEST(HtmlSmtp, NextSkipsExactlyOnePartAndRetryOpensAFileThatAppeared)
{
    TMailRun run;
    THtmlSmtpCli client(nullptr);
    run.Aim(client);
    const std::string first = RandomBytes(700, 4), second = RandomBytes(900, 5), third = RandomBytes(100, 6);
    auto images = Lines({WriteTestFile(run.Folder, "uno.png", first)});
    client.SetEmailImages(images.get());
    const std::string latePath = WriteTestFile(run.Folder, "tardi.bin", "");
    auto files = Lines({WriteTestFile(run.Folder, "due.bin", second), latePath, WriteTestFile(run.Folder, "tre.bin", third)});
    client.SetEMailFiles(files.get());
    std::filesystem::remove(latePath);
    auto plainList = Lines({"Testo"}), htmlList = Lines({"<p>Testo</p>"});
    client.SetPlainText(plainList.get());
    client.SetHtmlText(htmlList.get());

    std::vector<std::string> calls;
    client.OnBeforeFileOpen = [&](TObject*, int idx, const std::string&, TSmtpBeforeOpenFileAction& action) {
        calls.push_back("before " + std::to_string(idx));
        if (idx == 2)
            action = smtpBeforeOpenFileNext;
    };
    client.OnAfterFileOpen = [&](TObject*, int idx, const std::string&, Exception* e, TSmtpAfterOpenFileAction& action) {
        calls.push_back("after " + std::to_string(idx) + (e ? " failed" : " ok"));
        if (e) {
            WriteWholeFile(latePath, "comparso");
            action = smtpAfterOpenFileRetry;
        }
    };
    EXPECT_EQ(run.Send(client), (std::vector<int>{0, 0, 0}));
    EXPECT_EQ(calls, (std::vector<std::string>{"before 1", "after 1 ok", "before 2", "before 3", "after 3 failed",
                                               "before 3", "after 3 ok", "before 4", "after 4 ok"}));

    const auto described = DescribeMessage(run.Saved());
    ASSERT_GE(described.size(), 2u);
    EXPECT_EQ(described[1], (std::vector<std::string>{"DEFECTS", "0"}));
    const auto parts = PartsOf(described);
    ASSERT_EQ(parts.size(), 6u);
    EXPECT_EQ(HexToBytes(parts[2][8]), first);
    EXPECT_EQ(parts[3][5], "<FILE1>");
    EXPECT_EQ(parts[3][8], "-"); // skipped: header lines only
    EXPECT_EQ(parts[4][5], "<FILE2>");
    EXPECT_EQ(HexToBytes(parts[4][8]), "comparso");
    EXPECT_EQ(parts[5][5], "<FILE3>");
    EXPECT_EQ(HexToBytes(parts[5][8]), third);
}

TEST(HtmlSmtp, VanishedOrEmptyImagesNeverGiveABrokenMail)
{
    TMailRun run;
    THtmlSmtpCli client(nullptr);
    run.Aim(client);
    auto plainList = Lines({"Testo"}), htmlList = Lines({"<img src=\"cid:IMAGE1\">"});
    client.SetPlainText(plainList.get());
    client.SetHtmlText(htmlList.get());
    auto images = Lines({WriteTestFile(run.Folder, "vuota.png", "")});
    client.SetEmailImages(images.get());
    EXPECT_EQ(run.Send(client), (std::vector<int>{0, 0, 0}));
    const auto parts = PartsOf(DescribeMessage(run.Saved()));
    ASSERT_EQ(parts.size(), 3u);
    EXPECT_EQ(parts[2][4], "<IMAGE1>");
    EXPECT_EQ(parts[2][8], "-");

    // A missing name is refused when assigned; one that vanishes later ends the mail with 500.
    auto missing = Lines({(std::filesystem::path(run.Folder.Path()) / "assente.png").string()});
    EXPECT_THROW(client.SetEmailImages(missing.get()), SmtpException);
    auto vanishing = Lines({WriteTestFile(run.Folder, "via.png", "abc")});
    client.SetEmailImages(vanishing.get());
    std::filesystem::remove(vanishing->Strings(0));
    const std::vector<int> codes = run.Send(client);
    EXPECT_EQ(codes[1], 500);
    EXPECT_EQ(run.Sent, 1);
}

TEST(HtmlSmtp, ImageStreamsAreKeptByIndex)
{
    THtmlSmtpCli client(nullptr);
    EXPECT_EQ(client.GetImageStreamCount(), 0);
    TMemoryStream a, b;
    client.SetImageStream(2, &a);
    client.SetImageStream(0, nullptr);
    EXPECT_EQ(client.GetImageStreamCount(), 3);
    EXPECT_EQ(client.GetImageStream(0), nullptr);
    EXPECT_EQ(client.GetImageStream(2), &a);
    EXPECT_EQ(client.GetImageStream(5), nullptr);
    client.SetImageStream(0, &b);
    EXPECT_EQ(client.GetImageStream(0), &b);
    client.ClearImageStreamArray();
    EXPECT_EQ(client.GetImageStreamCount(), 0);
}

} // namespace
} // namespace HtmlSmtpTest
