// The mail queue's road against a real mail server: aiosmtpd on 127.0.0.1 takes the session, the
// authentication and a mail with a PDF attachment, and python3's email package reads it back.

#include "SmtpPeers.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <random>

namespace SmtpServerTest {
namespace {

const std::string User = "fatture@example.it";
const std::string Password = "segreta";

std::string SamplePdf(std::size_t size)
{
    std::string bytes = "%PDF-1.4\n%\xE2\xE3\xCF\xD3\n";
    std::mt19937 random(12);
    while (bytes.size() < size - 6)
        bytes += static_cast<char>(random());
    return bytes + "%%EOF\n";
}

void Aim(TTestSmtpCli& client, const TAiosmtpdServer& server, TSmtpAuthType authType)
{
    client.SetHost("127.0.0.1");
    client.SetPort(server.PortText());
    client.SetUsername(User);
    client.SetPassword(Password);
    client.SetSignOn("Ditta Srl");
    client.SetAuthType(authType);
    client.RecordRequests();
}

std::string WithoutCarriageReturns(std::string text)
{
    text.erase(std::remove(text.begin(), text.end(), '\r'), text.end());
    return text;
}

TEST(SmtpServer, TheMailQueuesRoadWithAPdfAttachment)
{
    TTempFolder folder("tess-smtp");
    TAiosmtpdServer server(folder.Path(), true);
    const std::string pdf = SamplePdf(100 * 1024);
    const std::vector<std::string> text = {"Gentile cliente, in allegato la fattura n. 12 del 5 marzo.",
                                           "Importo: 1.220,00 \x80 (IVA compresa), gi\xE0 scontato.",
                                           "Cordiali saluti, Ditta Srl \x96 Forl\xEC"};
    {
        TTestSmtpCli client;
        Aim(client, server, smtpAuthAutoSelect);
        EXPECT_EQ(client.Run([&] { client.Open(); }), 0);
        EXPECT_EQ(server.ReadLine(), "AUTH CRAM-MD5 ok");

        TStringList lines;
        for (const std::string& line : text)
            lines.Add(line);
        client.SetMailMessage(&lines);
        TStringList files;
        files.Add(WriteTestFile(folder, "Fattura_12_2026.pdf", pdf));
        client.SetEMailFiles(&files);
        client.SetHdrFrom(User);
        client.SetHdrTo("cliente@example.it; amministrazione@example.it");
        client.SetHdrSubject("Fattura 12/2026");
        client.SetFromName(User);
        client.RcptName()->Clear();
        client.RcptName()->Add("cliente@example.it");
        client.RcptName()->Add("amministrazione@example.it");
        EXPECT_EQ(client.Run([&] { client.Mail(); }), 0);
        EXPECT_EQ(client.Run([&] { client.Quit(); }), 0);
        Pump(50);
        EXPECT_EQ(client.Done, (std::vector<std::string>{"open 0", "mail 0", "quit 0"}));
    }

    EXPECT_EQ(server.ReadLine(), "RCPT cliente@example.it amministrazione@example.it");
    const std::vector<std::string> message = server.NextMessage();
    EXPECT_EQ(LineValue(message, "CT"), "multipart/mixed");
    EXPECT_EQ(LineValue(message, "BOUNDARY").rfind("= Multipart Boundary ", 0), 0u);
    EXPECT_EQ(LineValue(message, "TEXT"), "text/plain windows-1252 quoted-printable");
    EXPECT_EQ(WithoutCarriageReturns(HexToBytes(LineValue(message, "TEXTHEX"))),
              text[0] + "\n" + text[1] + "\n" + text[2] + "\n");
    EXPECT_EQ(LineValue(message, "ATTACHMENT"), "application/octet-stream Fattura_12_2026.pdf");
    EXPECT_TRUE(ReadWholeFile(std::filesystem::path(folder.Path()) / "attachment1_1.bin") == pdf);
    EXPECT_EQ(LineValue(message, "HEADER Mime-Version"), "1.0");
    EXPECT_EQ(LineValue(message, "HEADER X-Mailer"), "QUZ SMTP Component V2.46");
    EXPECT_NE(LineValue(message, "HEADER Date").find(" GMT"), std::string::npos);

    const std::string raw = ReadWholeFile(std::filesystem::path(folder.Path()) / "message1.eml");
    EXPECT_NE(raw.find("\r\nTo: cliente@example.it,\r\n\tamministrazione@example.it\r\n"), std::string::npos);
}

TEST(SmtpServer, AttachmentsThatAreEmptyOrChangeWhileTheyAreRead)
{
    TTempFolder folder("tess-smtp");
    TAiosmtpdServer server(folder.Path(), false);
    const std::string thousand = SamplePdf(1000);
    struct TFile {
        std::string Name, Bytes;
        std::function<void(const std::string& path)> AfterOpen;
        std::string Received;
    };
    const TFile files[] = {
        {"vuoto.txt", "", nullptr, ""},
        {"esatto.bin", thousand.substr(0, 108), nullptr, thousand.substr(0, 108)},
        {"cala.bin", thousand, [](const std::string& path) { std::filesystem::resize_file(path, 100); },
         thousand.substr(0, 100)},
        {"cresce.bin", thousand.substr(0, 100),
         [&](const std::string& path) { std::ofstream(path, std::ios::binary | std::ios::app) << thousand.substr(100); },
         thousand},
        {"sparisce.bin", thousand, [](const std::string& path) { std::filesystem::remove(path); }, thousand},
    };
    TTestSmtpCli client;
    Aim(client, server, smtpAuthNone);
    client.SetFromName(User);
    client.RcptName()->Add("cliente@example.it");
    client.MailMessage()->Add("Cinque allegati.");
    TStringList paths;
    for (const TFile& file : files)
        paths.Add(WriteTestFile(folder, file.Name, file.Bytes));
    client.SetEMailFiles(&paths);
    client.OnAfterFileOpen = [&](TObject*, int index, const std::string& path, Exception* error,
                                 TSmtpAfterOpenFileAction&) {
        if (!error && files[index].AfterOpen)
            files[index].AfterOpen(path);
    };
    EXPECT_EQ(client.Run([&] { client.Open(); }), 0);
    EXPECT_EQ(client.Run([&] { client.Mail(); }), 0);
    EXPECT_EQ(client.Run([&] { client.Quit(); }), 0);

    EXPECT_EQ(server.ReadLine(), "RCPT cliente@example.it");
    const std::vector<std::string> message = server.NextMessage();
    int attachments = 0;
    for (const std::string& line : message)
        attachments += line.rfind("ATTACHMENT ", 0) == 0;
    ASSERT_EQ(attachments, 5);
    for (int i = 0; i < 5; ++i)
        EXPECT_TRUE(ReadWholeFile(std::filesystem::path(folder.Path()) /
                                  ("attachment1_" + std::to_string(i + 1) + ".bin")) == files[i].Received)
            << files[i].Name;
}

TEST(SmtpServer, EachAuthenticationMethodAndAServerWithout)
{
    TTempFolder folder("tess-smtp");
    {
        TAiosmtpdServer server(folder.Path(), true);
        const std::pair<TSmtpAuthType, std::string> methods[] = {
            {smtpAuthPlain, "AUTH PLAIN ok authzid="},
            {smtpAuthLogin, "AUTH LOGIN ok"},
            {smtpAuthCramMD5, "AUTH CRAM-MD5 ok"},
        };
        for (const auto& [method, said] : methods) {
            TTestSmtpCli client;
            Aim(client, server, method);
            EXPECT_EQ(client.Run([&] { client.Open(); }), 0) << said;
            EXPECT_EQ(server.ReadLine(), said);
            EXPECT_EQ(client.Run([&] { client.Quit(); }), 0);
        }
        // A wrong password is refused with the server's code.
        TTestSmtpCli client;
        Aim(client, server, smtpAuthLogin);
        client.SetPassword("sbagliata");
        EXPECT_EQ(client.Run([&] { client.Open(); }), 535);
        EXPECT_EQ(client.ErrorMessage().substr(0, 4), "535 ");
        EXPECT_EQ(client.Run([&] { client.Quit(); }), 0);
    }

    TAiosmtpdServer server(folder.Path(), false);
    TTestSmtpCli client;
    Aim(client, server, smtpAuthAutoSelect);
    client.SetFromName(User);
    client.RcptName()->Add("cliente@example.it");
    client.SetHdrSubject("Prova");
    client.MailMessage()->Add("Solo testo.");
    EXPECT_EQ(client.Run([&] { client.Open(); }), 0);
    EXPECT_EQ(client.Run([&] { client.Mail(); }), 0);
    EXPECT_EQ(client.Run([&] { client.Quit(); }), 0);
    EXPECT_EQ(server.ReadLine(), "RCPT cliente@example.it");
    const std::vector<std::string> message = server.NextMessage();
    EXPECT_EQ(LineValue(message, "CT"), "text/plain");
    EXPECT_EQ(WithoutCarriageReturns(HexToBytes(LineValue(message, "TEXTHEX"))), "Solo testo.\n");
}

} // namespace
} // namespace SmtpServerTest
