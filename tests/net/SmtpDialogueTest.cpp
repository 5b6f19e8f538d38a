// The SMTP client against a scripted python3 server on 127.0.0.1: the exact commands it sends,
// how it reads replies, and how each request ends, once, whatever the server does.

#include "SmtpPeers.h"

#include "platform/rtl/DateTime.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <ctime>
#include <filesystem>

namespace SmtpDialogueTest {
namespace {

const std::string User = "fatture@example.it";
const std::string Password = "segreta";
const std::string UserBase64 = Base64Encode(User);
const std::string PasswordBase64 = Base64Encode(Password);

// A session that greets with HELO and takes one mail.
const std::string HeloSession = R"({"banner": ["220 mail.example.test"], "steps": [
    ["HELO", ["250 hello"]], ["MAIL FROM", ["250 ok"]], ["RCPT TO", ["250 ok"]], ["DATA", ["354 go on"]],
    [".", ["250 queued"]], ["QUIT", ["221 bye"]]]})";

// The LOGIN exchange of User and Password, ending with 235.
std::string LoginSteps()
{
    return R"(["AUTH LOGIN", ["334 VXNlcm5hbWU6"]], [")" + UserBase64 + R"(", ["334 UGFzc3dvcmQ6"]], [")" +
           PasswordBase64 + R"(", ["235 welcome"]])";
}

void Aim(TTestSmtpCli& client, const TScriptedSmtpServer& server)
{
    client.SetHost("127.0.0.1");
    client.SetPort(server.PortText());
    client.SetSignOn("client.example.test");
    client.SetUsername(User);
    client.SetPassword(Password);
    client.SetFromName("Ditta Srl <fatture@example.it>");
    client.RcptName()->Add("cliente@example.it");
    client.RecordRequests();
}

// The fixed moment of the Date header: 5 March 2026 09:07:03 local time, in CET-1.
class TFixedClock {
public:
    TFixedClock()
    {
        const char* zone = std::getenv("TZ");
        if (!zone || std::string(zone) != "CET-1") {
            setenv("TZ", "CET-1", 1);
            tzset();
        }
        SetClock([] { return EncodeDate(2026, 3, 5) + EncodeTime(9, 7, 3, 0); });
    }
    ~TFixedClock() { ResetClock(); }
};

// The commands of a log, without the message and the end of the session.
std::vector<std::string> Commands(const std::vector<std::string>& log)
{
    std::vector<std::string> commands;
    for (const std::string& entry : log)
        if (entry.rfind("C ", 0) == 0)
            commands.push_back(entry.substr(2));
    return commands;
}

std::string Message(const std::vector<std::string>& log)
{
    for (const std::string& entry : log)
        if (entry.rfind("M ", 0) == 0)
            return HexToBytes(entry.substr(2));
    return "";
}

// --- Opening ----------------------------------------------------------------------------------

TEST(SmtpDialogue, OpenGreetsAndChoosesTheMethodFromTheEhloReply)
{
    struct TCase {
        std::string Name;
        std::string Steps; // after the banner, without QUIT
        TSmtpAuthType AuthType;
        std::string SignOn;
        int OpenCode;
        std::vector<std::string> Commands; // without QUIT
    };
    const std::string login = LoginSteps();
    const std::vector<std::string> loginCommands = {"AUTH LOGIN", UserBase64, PasswordBase64};
    auto withEhlo = [](const std::string& signOn, std::vector<std::string> rest) {
        rest.insert(rest.begin(), "EHLO " + signOn);
        return rest;
    };
    const TCase cases[] = {
        {"three-line EHLO answered on its last line; AUTH LOGIN PLAIN gives LOGIN; blanks in SignOn",
         R"(["EHLO", ["250-mail.example.test", "250-AUTH LOGIN PLAIN", "250 SIZE 100000"]], )" + login,
         smtpAuthAutoSelect, "my host", 0, withEhlo("my_host", loginCommands)},
        {"the old form AUTH=LOGIN", R"(["EHLO", ["250-mail.example.test", "250 AUTH=LOGIN"]], )" + login,
         smtpAuthAutoSelect, "client", 0, withEhlo("client", loginCommands)},
        {"CRAM-SHA1 listed with LOGIN gives LOGIN", R"(["EHLO", ["250-x", "250 AUTH CRAM-SHA1 LOGIN"]], )" + login,
         smtpAuthAutoSelect, "client", 0, withEhlo("client", loginCommands)},
        {"504 to CRAM-MD5 falls back to LOGIN in the same Open",
         R"(["EHLO", ["250-x", "250 AUTH LOGIN CRAM-MD5"]], ["AUTH CRAM-MD5", ["504 not now"]], )" + login,
         smtpAuthAutoSelect, "client", 0,
         withEhlo("client", {"AUTH CRAM-MD5", "AUTH LOGIN", UserBase64, PasswordBase64})},
        {"EHLO refused: HELO and no authentication", R"(["EHLO", ["500 what"]], ["HELO", ["250 hello"]])",
         smtpAuthAutoSelect, "client", 0, {"EHLO client", "HELO client"}},
        {"no AUTH offered: auto-select skips the step", R"(["EHLO", ["250-x", "250 SIZE 1000"]])",
         smtpAuthAutoSelect, "client", 0, {"EHLO client"}},
        {"PLAIN: an empty authorisation identity", R"(["EHLO", ["250 AUTH PLAIN"]], ["AUTH PLAIN", ["235 ok"]])",
         smtpAuthAutoSelect, "client", 0,
         {"EHLO client", "AUTH PLAIN " + Base64Encode(std::string(1, '\0') + User + std::string(1, '\0') + Password)}},
        {"PLAIN refused in auto-select", R"(["EHLO", ["250 AUTH PLAIN"]], ["AUTH PLAIN", ["535 no"]])",
         smtpAuthAutoSelect, "client", 535,
         {"EHLO client", "AUTH PLAIN " + Base64Encode(std::string(1, '\0') + User + std::string(1, '\0') + Password)}},
        {"explicit CRAM-SHA1 ends with 500 and sends nothing", R"(["EHLO", ["250 AUTH CRAM-SHA1"]])",
         smtpAuthCramSha1, "client", 500, {"EHLO client"}},
        {"helo only without authentication", R"(["HELO", ["250 hello"]])", smtpAuthNone, "client", 0,
         {"HELO client"}},
        {"a reply without a code is a refusal", R"(["HELO", ["hello there"]])", smtpAuthNone, "client", 500,
         {"HELO client"}},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        TScriptedSmtpServer server(R"([{"banner": ["220-mail.example.test", "220 ready"], "steps": [)" + c.Steps +
                                   R"(, ["QUIT", ["221 bye"]]]}])");
        std::string errorMessage;
        {
            TTestSmtpCli client;
            Aim(client, server);
            client.SetSignOn(c.SignOn);
            client.SetAuthType(c.AuthType);
            EXPECT_EQ(client.Run([&] { client.Open(); }), c.OpenCode);
            errorMessage = client.ErrorMessage();
            EXPECT_EQ(client.Run([&] { client.Quit(); }), 0);
            Pump(50);
            EXPECT_EQ(client.Done, (std::vector<std::string>{"open " + std::to_string(c.OpenCode), "quit 0"}));
        }
        std::vector<std::string> expected = c.Commands;
        expected.push_back("QUIT");
        EXPECT_EQ(Commands(server.Log()), expected);
        if (c.OpenCode == 535) {
            EXPECT_EQ(errorMessage, "500 Authentication Type could not be determined.");
        }
        if (c.AuthType == smtpAuthCramSha1) {
            EXPECT_EQ(errorMessage, "500 CRAM-SHA1 authentication is not supported.");
        }
    }
}

TEST(SmtpDialogue, OpenReportsItsEventsInOrder)
{
    TScriptedSmtpServer server(R"([{"banner": ["220 ready"], "steps": [["EHLO", ["250-x", "250 AUTH PLAIN"]],
        ["AUTH PLAIN", ["235 ok"]], ["QUIT", ["221 bye"]]]}])");
    TTestSmtpCli client;
    Aim(client, server);
    client.SetAuthType(smtpAuthAutoSelect);
    static const char* const states[] = {"ready", "dnslookup", "connecting", "connected", "internalready",
                                         "waitingbanner", "waitingresponse", "abort"};
    std::vector<std::string> events;
    client.OnStateChange = [&](TObject*) { events.push_back(std::string("state ") + states[client.State()]); };
    client.OnResponse = [&](TObject*, const std::string& line) { events.push_back("response " + line); };
    client.OnDisplay = [&](TObject*, const std::string& line) { events.push_back("display " + line); };
    client.OnCommand = [&](TObject*, const std::string& line) { events.push_back("command " + line.substr(0, 10)); };
    client.OnSessionConnected = [&](TObject*, WORD error) { events.push_back("connected " + std::to_string(error)); };
    client.OnRequestDone = [&](TObject*, TSmtpRequest request, WORD error) {
        events.push_back("done " + RequestName(request) + " " + std::to_string(error));
    };
    client.Open();
    ASSERT_TRUE(PumpUntil([&] { return !events.empty() && events.back().rfind("done", 0) == 0; }));
    const std::string plain = Base64Encode(std::string(1, '\0') + User + std::string(1, '\0') + Password);
    const std::vector<std::string> expected = {
        "state dnslookup", "state connecting", "state waitingbanner", "response 220 ready", "display < 220 ready",
        "state connected", "connected 0", "state internalready",
        // EHLO
        "state waitingresponse", "command EHLO clien", "display > EHLO client.example.test", "response 250-x",
        "display < 250-x", "response 250 AUTH PLAIN", "display < 250 AUTH PLAIN", "state internalready",
        // AUTH
        "state waitingresponse", "command AUTH PLAIN", "display > AUTH PLAIN " + plain, "response 235 ok",
        "display < 235 ok", "state internalready", "state ready", "done open 0"};
    EXPECT_EQ(events, expected);
    client.OnDisplay = nullptr;
    client.OnResponse = nullptr;
    client.OnStateChange = nullptr;
    client.RecordRequests();
    EXPECT_EQ(client.Run([&] { client.Quit(); }), 0);
}

TEST(SmtpDialogue, RepliesInPiecesAndAQuitThatKeepsTheConnection)
{
    // The banner arrives in two writes, the HELO reply's CR and LF in two more; after 221 the
    // server keeps the connection, and the client closes it itself.
    TScriptedSmtpServer server(R"([{"banner": [{"raw": "220 mail.exa", "pause": 0.3}, {"raw": "mple.test\r\n"}],
        "steps": [["HELO", [{"raw": "250 hello\r", "pause": 0.3}, {"raw": "\n"}]], ["QUIT", ["221 bye"]]]}])");
    TTestSmtpCli client;
    Aim(client, server);
    EXPECT_EQ(client.Run([&] { client.Open(); }), 0);
    EXPECT_EQ(client.LastResponse(), "250 hello");
    const auto started = std::chrono::steady_clock::now();
    EXPECT_EQ(client.Run([&] { client.Quit(); }, 5000), 0);
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(1));
    EXPECT_FALSE(client.Connected());
    EXPECT_EQ(server.Log(), (std::vector<std::string>{"C HELO client.example.test", "C QUIT", "EOF"}));
}

TEST(SmtpDialogue, AReplyLineLongerThanTheBufferEndsTheRequest)
{
    TScriptedSmtpServer server(R"([{"banner": ["220 )" + std::string(4996, 'x') + R"("]}])");
    {
        TTestSmtpCli client;
        Aim(client, server);
        EXPECT_EQ(client.Run([&] { client.Open(); }), 500);
        EXPECT_EQ(client.LastResponse(), "500 Reply line too long.");
        EXPECT_EQ(client.ErrorMessage(), "500 Reply line too long.");
        EXPECT_FALSE(client.Connected());
        EXPECT_EQ(client.State(), smtpReady);
        EXPECT_EQ(client.Run([&] { client.Quit(); }), 0);
    }
    // The rest of the line was left unread: the close may reach the server as a reset.
    const std::vector<std::string> log = server.Log();
    ASSERT_EQ(log.size(), 1u);
    EXPECT_TRUE(log[0] == "EOF" || log[0] == "RESET") << log[0];
}

TEST(SmtpDialogue, AbortWhileEhloRunsEndsTheOpenAndTheNextOneWorks)
{
    TScriptedSmtpServer server(R"([{"banner": ["220 ready"], "steps": [["EHLO", []]]},
        {"banner": ["220 ready"], "steps": [["EHLO", ["250 AUTH LOGIN"]], )" +
                               LoginSteps() + R"(, ["QUIT", ["221 bye"]]]}])");
    {
        TTestSmtpCli client;
        Aim(client, server);
        client.SetAuthType(smtpAuthAutoSelect);
        bool ehloSent = false;
        client.OnCommand = [&](TObject*, const std::string& command) { ehloSent |= command.rfind("EHLO", 0) == 0; };
        client.Open();
        ASSERT_TRUE(PumpUntil([&] { return ehloSent; }));
        Pump(100);
        client.Abort();
        EXPECT_EQ(client.State(), smtpReady);
        ASSERT_TRUE(PumpUntil([&] { return !client.Done.empty(); }));
        EXPECT_EQ(client.Done, std::vector<std::string>{"open 426"});
        EXPECT_EQ(client.ErrorMessage(), "426 Operation aborted.");

        client.OnCommand = nullptr;
        EXPECT_EQ(client.Run([&] { client.Open(); }), 0);
        EXPECT_EQ(client.Run([&] { client.Quit(); }), 0);
        Pump(50);
        EXPECT_EQ(client.Done, (std::vector<std::string>{"open 426", "open 0", "quit 0"}));
    }
    const std::vector<std::string> log = server.Log();
    ASSERT_GE(log.size(), 2u);
    EXPECT_EQ(log[0], "C EHLO client.example.test");
    EXPECT_TRUE(log[1] == "RESET" || log[1] == "EOF") << log[1];
    EXPECT_EQ(std::vector<std::string>(log.begin() + 2, log.end()),
              (std::vector<std::string>{"C EHLO client.example.test", "C AUTH LOGIN", "C " + UserBase64,
                                        "C " + PasswordBase64, "C QUIT", "EOF"}));
}

TEST(SmtpDialogue, AHostThatDoesNotResolve)
{
    Winsock::TNameResolver previous = Winsock::SetNameResolver(
        [](const std::string&, Winsock::THostAnswer&) { return Winsock::WSAHOST_NOT_FOUND; });
    TTestSmtpCli client;
    client.SetHost("mail.invalid.example.test");
    client.SetAuthType(smtpAuthAutoSelect);
    EXPECT_EQ(client.Run([&] { client.Open(); }), 11001);
    EXPECT_EQ(client.LastResponse(), "500 Host not found (Winsock error #11001)");
    EXPECT_EQ(client.Run([&] { client.Quit(); }), 0);
    EXPECT_EQ(client.Done, (std::vector<std::string>{"open 11001", "quit 0"}));
    Winsock::SetNameResolver(std::move(previous));
}

TEST(SmtpDialogue, ConnectionsThatFailOrCloseEndTheRequest)
{
    struct TCase {
        std::string Name;
        std::string Script; // "" for no server
        std::string Port;   // "" for the server's
        int OpenCode, QuitCode;
        std::string LastResponseStart;
    };
    const std::string refusedPort = std::to_string(FreeLoopbackPort());
    const TCase cases[] = {
        {"the server closes while EHLO waits",
         R"([{"banner": ["220 ready"], "steps": [["EHLO", [{"close": true}]]]}])", "", 10004, 0, ""},
        {"QUIT refused and the connection kept: the client closes it",
         R"([{"banner": ["220 ready"], "steps": [["EHLO", ["250 ok"]], ["QUIT", ["500 not now"]]]}])", "", 0, 500,
         "500 not now"},
        {"a refused connection", "", refusedPort, 10061, 0, "500 Connection refused (Winsock error #10061)"},
        {"a port that is no service", "", "no-such-service", 500, 0, "500 ESocketException: "},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        std::unique_ptr<TScriptedSmtpServer> server;
        if (!c.Script.empty())
            server = std::make_unique<TScriptedSmtpServer>(c.Script);
        TTestSmtpCli client;
        client.RecordRequests();
        client.SetHost("127.0.0.1");
        client.SetPort(server ? server->PortText() : c.Port);
        client.SetSignOn("client");
        client.SetUsername(User);
        client.SetAuthType(smtpAuthAutoSelect);
        EXPECT_EQ(client.Run([&] { client.Open(); }), c.OpenCode);
        if (!server) {
            EXPECT_EQ(client.LastResponse().rfind(c.LastResponseStart, 0), 0u) << client.LastResponse();
        }
        EXPECT_EQ(client.State(), smtpReady);
        const auto started = std::chrono::steady_clock::now();
        EXPECT_EQ(client.Run([&] { client.Quit(); }, 5000), c.QuitCode);
        EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(1));
        if (server) {
            EXPECT_EQ(client.ErrorMessage(), c.LastResponseStart);
        }
        EXPECT_FALSE(client.Connected());
        Pump(50);
        EXPECT_EQ(client.Done.size(), 2u);
    }
}

// --- Mailing ----------------------------------------------------------------------------------

TEST(SmtpDialogue, EveryRecipientIsTriedAndTheLastOneDecides)
{
    struct TCase {
        std::string RcptReplies;
        int MailCode;
        bool DataSent;
    };
    const TCase cases[] = {
        {R"(["RCPT TO", ["250 ok"]], ["RCPT TO", ["550 no such user"]], ["RCPT TO", ["250 ok"]],
            ["DATA", ["354 go"]], [".", ["250 queued"]])",
         0, true},
        {R"(["RCPT TO", ["250 ok"]], ["RCPT TO", ["251 forwarded"]], ["RCPT TO", ["550 no such user"]])", 550, false},
    };
    for (const TCase& c : cases) {
        TScriptedSmtpServer server(R"([{"banner": ["220 ready"], "steps": [["HELO", ["250 hi"]],
            ["MAIL FROM", ["250 ok"]], )" + c.RcptReplies + R"(, ["QUIT", ["221 bye"]]]}])");
        {
            TTestSmtpCli client;
            Aim(client, server);
            client.RcptName()->Clear();
            client.RcptNameAdd("uno@example.it; \"Due, Srl\" <due@example.it>, tre@example.it;", "", "");
            // Blank entries, as a recipient text ending with ";" gives them, are no recipients.
            client.RcptName()->Add("");
            client.RcptName()->Add("  ");
            client.MailMessage()->Add("Testo");
            EXPECT_EQ(client.Run([&] { client.Open(); }), 0);
            EXPECT_EQ(client.Run([&] { client.Mail(); }), c.MailCode);
            EXPECT_EQ(client.ErrorMessage(), "550 no such user");
            EXPECT_EQ(client.Run([&] { client.Quit(); }), 0);
        }
        std::vector<std::string> expected = {"HELO client.example.test", "MAIL FROM:<fatture@example.it>",
                                             "RCPT TO:<uno@example.it>", "RCPT TO:<due@example.it>",
                                             "RCPT TO:<tre@example.it>"};
        if (c.DataSent) {
            expected.push_back("DATA");
            expected.push_back(".");
        }
        expected.push_back("QUIT");
        EXPECT_EQ(Commands(server.Log()), expected);
    }
}

TEST(SmtpDialogue, ASingleMessageIsTheHeaderBlockAndTheLines)
{
    TFixedClock clock;
    struct TCase {
        std::string Name;
        std::vector<std::string> Lines;
        std::string Subject, To;
        std::string Expected;
    };
    const std::string head = "From: Ditta Srl <fatture@example.it>\r\n";
    const std::string tail = "Sender: Ditta Srl <fatture@example.it>\r\nMime-Version: 1.0\r\n";
    const std::string date = "Date: Thu, 5 Mar 2026 08:07:03 GMT\r\nX-Mailer: QUZ SMTP Component V2.46\r\n\r\n";
    const std::string longLine = std::string(1100, 'a');
    const TCase cases[] = {
        {"ASCII as it is, dots doubled, a line with line breaks of its own cut into lines",
         {"Gentile cliente,", ".", "..inizio", "", "Saluti", "riga\r\n.\r\nRSET"},
         "Fattura 12/2026",
         "cliente@example.it; \"Rossi, Mario\" <mario@example.it>",
         head + "To: cliente@example.it,\r\n\t\"Rossi, Mario\" <mario@example.it>\r\nSubject: Fattura 12/2026\r\n" + tail +
             "Content-Type: text/plain; charset=\"iso-8859-1\"\r\n" + date +
             "Gentile cliente,\r\n..\r\n...inizio\r\n\r\nSaluti\r\nriga\r\n..\r\nRSET\r\n"},
        {"8-bit text quoted-printable, the euro sign in windows-1252",
         {"Citt\xE0: Forl\xEC", "Totale 10 \x80", "spazio ", "=uguale"},
         "Fattura \x80 100",
         "Citt\xE0 Srl <citta@example.it>",
         head + "To: =?iso-8859-1?Q?Citt=E0_Srl?= <citta@example.it>\r\n"
                "Subject: =?windows-1252?Q?Fattura_=80_100?=\r\n" +
             tail + "Content-Type: text/plain; charset=\"windows-1252\"\r\nContent-Transfer-Encoding: quoted-printable\r\n" +
             date + "Citt=E0: Forl=EC\r\nTotale 10 =80\r\nspazio=20\r\n=3Duguale\r\n"},
        {"a long line soft-broken, Latin-1 letters in iso-8859-1; line breaks in headers become blanks",
         {longLine, "\xE8"},
         "riga\r\nBcc: intruso@example.it",
         "Perch\xE9 <p@example.it>",
         head + "To: =?iso-8859-1?Q?Perch=E9?= <p@example.it>\r\nSubject: riga  Bcc: intruso@example.it\r\n" + tail +
             "Content-Type: text/plain; charset=\"iso-8859-1\"\r\nContent-Transfer-Encoding: quoted-printable\r\n" +
             date + SplitQuotedPrintableString(longLine) + "\r\n=E8\r\n"},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        TScriptedSmtpServer server("[" + HeloSession + "]");
        {
            TTestSmtpCli client;
            Aim(client, server);
            client.SetHdrFrom("Ditta Srl <fatture@example.it>");
            client.SetHdrTo(c.To);
            client.SetHdrSubject(c.Subject);
            for (const std::string& line : c.Lines)
                client.MailMessage()->Add(line);
            EXPECT_EQ(client.Run([&] { client.Open(); }), 0);
            EXPECT_EQ(client.Run([&] { client.Mail(); }), 0);
            EXPECT_EQ(client.Run([&] { client.Quit(); }), 0);
        }
        EXPECT_EQ(Message(server.Log()), c.Expected);
    }
}

TEST(SmtpDialogue, ACommandArgumentWithALineBreakSendsNothing)
{
    TScriptedSmtpServer server(R"([{"banner": ["220 ready"], "steps": [["HELO", ["250 hi"]], ["QUIT", ["221 bye"]]]}])");
    {
        TTestSmtpCli client;
        Aim(client, server);
        client.RcptName()->Add("intruso@example.it\r\nRSET");
        EXPECT_EQ(client.Run([&] { client.Open(); }), 0);
        EXPECT_EQ(client.Run([&] { client.Mail(); }), 500);
        EXPECT_EQ(client.LastResponse(), "500 Line break in command argument.");
        client.SetHdrTo("a@example.it\nb");
        EXPECT_EQ(client.Run([&] { client.Vrfy(); }), 500);
        EXPECT_EQ(client.Run([&] { client.Quit(); }), 0);
        EXPECT_EQ(client.Done, (std::vector<std::string>{"open 0", "mail 500", "vrfy 500", "quit 0"}));
    }
    EXPECT_EQ(Commands(server.Log()), (std::vector<std::string>{"HELO client.example.test", "QUIT"}));
}

TEST(SmtpDialogue, AStepThatRaisesEndsItsRequest)
{
    // A handler that raises while a reply is read, and one that raises while the text is pumped.
    TScriptedSmtpServer server(R"([{"banner": ["220 ready"], "steps": [["EHLO", ["250-x", "250 AUTH PLAIN"]],
        ["QUIT", ["221 bye"]]]}, {"banner": ["220 ready"], "steps": [["HELO", ["250 hi"]], ["MAIL FROM", ["250 ok"]],
        ["RCPT TO", ["250 ok"]], ["DATA", ["354 go"]], [".", ["250 queued"]]]}])");
    {
        TTestSmtpCli client;
        Aim(client, server);
        client.SetAuthType(smtpAuthAutoSelect);
        client.OnResponse = [](TObject*, const std::string& line) {
            if (line.find("AUTH") != std::string::npos)
                RAISE(EConvertError("boom"));
        };
        EXPECT_EQ(client.Run([&] { client.Open(); }), 500);
        EXPECT_EQ(client.LastResponse(), "500 EConvertError: boom");
        EXPECT_EQ(client.ErrorMessage(), "500 EConvertError: boom");
        client.OnResponse = nullptr;
        EXPECT_EQ(client.Run([&] { client.Quit(); }), 0);

        client.SetAuthType(smtpAuthNone);
        client.OnGetData = [](TObject*, int, char*, int, bool&) { RAISE(EInOutError("disk gone")); };
        EXPECT_EQ(client.Run([&] { client.Open(); }), 0);
        EXPECT_EQ(client.Run([&] { client.Mail(); }), 500);
        EXPECT_EQ(client.LastResponse(), "500 EInOutError: disk gone");
        EXPECT_FALSE(client.Connected());
        EXPECT_EQ(client.Run([&] { client.Quit(); }), 0);
        Pump(50);
        EXPECT_EQ(client.Done, (std::vector<std::string>{"open 500", "quit 0", "open 0", "mail 500", "quit 0"}));
    }
    const std::vector<std::string> log = server.Log();
    EXPECT_EQ(Commands(log), (std::vector<std::string>{"EHLO client.example.test", "QUIT", "HELO client.example.test",
                                                       "MAIL FROM:<fatture@example.it>", "RCPT TO:<cliente@example.it>",
                                                       "DATA"}));
    EXPECT_TRUE(log.back() == "RESET" || log.back() == "EOF") << log.back();
}

TEST(SmtpDialogue, AnAttachmentThatCannotBeReadDropsTheMessage)
{
    TScriptedSmtpServer server(R"([{"banner": ["220 ready"], "steps": [["HELO", ["250 hi"]], ["MAIL FROM", ["250 ok"]],
        ["RCPT TO", ["250 ok"]], ["DATA", ["354 go"]], [".", ["250 queued"]]]}])");
    TTempFolder folder("tess-smtp");
    {
        TTestSmtpCli client;
        Aim(client, server);
        client.MailMessage()->Add("In allegato.");
        TStringList files;
        files.Add(WriteTestFile(folder, "Fattura.pdf", "%PDF-1.4 short"));
        client.SetEMailFiles(&files);
        std::filesystem::remove(std::filesystem::path(folder.Path()) / "Fattura.pdf");
        EXPECT_EQ(client.Run([&] { client.Open(); }), 0);
        EXPECT_EQ(client.Run([&] { client.Mail(); }), 500);
        EXPECT_EQ(client.LastResponse().rfind("500 EFOpenError: Cannot open file", 0), 0u) << client.LastResponse();
        EXPECT_EQ(client.ErrorMessage(), client.LastResponse());
        EXPECT_FALSE(client.Connected());
        EXPECT_EQ(client.Run([&] { client.Quit(); }), 0);
        Pump(50);
        EXPECT_EQ(client.Done, (std::vector<std::string>{"open 0", "mail 500", "quit 0"}));
    }
    const std::vector<std::string> log = server.Log();
    EXPECT_EQ(Commands(log), (std::vector<std::string>{"HELO client.example.test", "MAIL FROM:<fatture@example.it>",
                                                       "RCPT TO:<cliente@example.it>", "DATA"}));
    EXPECT_TRUE(log.back() == "RESET" || log.back() == "EOF") << log.back();
}

} // namespace
} // namespace SmtpDialogueTest
