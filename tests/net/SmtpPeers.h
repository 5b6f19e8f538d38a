#pragma once
// Peers and helpers of the SMTP client's tests: a scripted python3 server that answers exact
// dialogues and tells what it received, an aiosmtpd server that saves and parses each message,
// a client that can be given its socket, and a temporary folder.

#include "NetPeers.h"

#include "net/SmtpProt.h"
#include "platform/os/TempFiles.h"

#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

// A TSmtpCli whose socket the test may give (the in-memory socket), with the AUTH-list parse open.
class TTestSmtpCli : public TSmtpCli {
public:
    TTestSmtpCli() : TSmtpCli(nullptr) {}
    explicit TTestSmtpCli(std::unique_ptr<TWSocket> socket) : TSmtpCli(nullptr, std::move(socket)) {}
    using TCustomSmtpClient::AuthGetType;

    // Every OnRequestDone as "request code", in order.
    std::vector<std::string> Done;
    void RecordRequests();
    // Starts a request and pumps until its end is reported; returns the code, or -1 after
    // timeoutMs without an end.
    int Run(const std::function<void()>& start, int timeoutMs = 15000);
};

std::string RequestName(TSmtpRequest request);

// Writes bytes to name in the folder and gives the full path.
std::string WriteTestFile(const TTempFolder& folder, const std::string& name, const std::string& bytes);

// A python3 server on 127.0.0.1 that serves one session per connection from a script in JSON:
//   [{"banner": [item...], "steps": [[command prefix, [item...]], ...]}, ...]
// An item is a reply line (sent with CR LF), {"raw": bytes, "pause": seconds} sent as it is, or
// {"close": true}, which ends the session ("CLOSED" in the log).
// Each received command is matched against the next step's prefix (case ignored); a command that
// does not match gets "500 unexpected". Between a 354 reply and the line "." the lines are the
// message. Log() ends the server and gives what it saw: "C <command>" for each command line,
// "M <the message's bytes in hexadecimal>" at each final dot, and "EOF" or "RESET" when the client
// ended a session.
class TScriptedSmtpServer {
public:
    explicit TScriptedSmtpServer(const std::string& scriptJson);
    int Port() const { return FPeer->Port(); }
    std::string PortText() const { return FPeer->PortText(); }
    std::vector<std::string> Log();

private:
    std::unique_ptr<TPeerProcess> FPeer;
};

// aiosmtpd on 127.0.0.1: user "fatture@example.it", password "segreta"; with authentication it
// offers PLAIN, LOGIN and CRAM-MD5. Each message is saved as message<N>.eml in the folder, its
// attachments as attachment<N>_<M>.bin, and python's email parser describes it in lines that
// NextMessage() gives (ending with "END"); each authentication gives a line "AUTH <mechanism>
// ok|refused" (PLAIN adds "authzid=<hex>").
class TAiosmtpdServer {
public:
    TAiosmtpdServer(const std::filesystem::path& folder, bool offerAuthentication);
    int Port() const { return FPeer->Port(); }
    std::string PortText() const { return FPeer->PortText(); }
    // The next line the server prints ("" after the time-out).
    std::string ReadLine(int timeoutMs = 15000) { return FPeer->ReadLine(timeoutMs); }
    // The lines up to the end of the next message's description.
    std::vector<std::string> NextMessage();

private:
    std::unique_ptr<TPeerProcess> FPeer;
};

std::string HexToBytes(const std::string& hex);
// The value after "key " in the first line that starts with it, "" when none does.
std::string LineValue(const std::vector<std::string>& lines, const std::string& key);
