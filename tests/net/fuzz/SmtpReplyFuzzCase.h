#pragma once
// One run of the SMTP reply fuzz target: the mail queue's requests (Open, then Mail when it
// succeeded, then Quit) over the in-memory socket, the server's replies being the fuzz bytes.
// The first byte chooses the authentication (bits 0-2), an attachment (bit 3) and an empty user
// name (bit 4); the second how the replies are cut into receptions (0: line by line). Whatever
// the replies are, every request ends exactly once, with the component ready, and a mail is
// reported sent only after its final dot went out.

#include "MemoryWSocket.h"

#include "net/SmtpProt.h"
#include "platform/gui/Application.h"
#include "platform/gui/MessageQueue.h"

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>
#include <vector>

namespace SmtpReplyFuzz {

class TFuzzSmtpCli : public TSmtpCli {
public:
    explicit TFuzzSmtpCli(std::unique_ptr<TWSocket> socket) : TSmtpCli(nullptr, std::move(socket)) {}
};

// A small attachment, written once.
inline const std::string& AttachmentPath()
{
    static const std::string path = [] {
        const std::filesystem::path file =
            std::filesystem::temp_directory_path() / ("tess-smtp-fuzz-" + std::to_string(::getpid()) + ".pdf");
        std::ofstream out(file, std::ios::binary);
        for (int i = 0; i < 130; ++i)
            out.put(static_cast<char>(i * 7));
        return file.string();
    }();
    return path;
}

inline void PumpPostedMessages()
{
    for (int round = 0; round < 10000 && PostedMessageCount() > 0; ++round)
        Application->ProcessMessages();
}

// The receptions: whole lines, or pieces of 1 to 16 bytes.
inline std::vector<std::string> Receptions(const std::string& replies, unsigned split)
{
    std::vector<std::string> pieces;
    if (split == 0) {
        for (std::size_t at = 0; at < replies.size();) {
            const std::size_t end = replies.find("\r\n", at);
            const std::size_t next = end == std::string::npos ? replies.size() : end + 2;
            pieces.push_back(replies.substr(at, next - at));
            at = next;
        }
        return pieces;
    }
    for (std::size_t at = 0; at < replies.size();) {
        split = split * 1103515245u + 12345u;
        const std::size_t count = 1 + (split >> 16) % 16;
        pieces.push_back(replies.substr(at, count));
        at += count;
    }
    return pieces;
}

// The fault found, "" when none.
inline std::string RunSmtpReplyFuzzCase(const std::uint8_t* data, std::size_t size)
{
    if (size < 2)
        return "";
    static const TSmtpAuthType authTypes[] = {smtpAuthNone,      smtpAuthPlain,      smtpAuthLogin,
                                              smtpAuthCramMD5,   smtpAuthCramSha1,   smtpAuthAutoSelect,
                                              smtpAuthAutoSelect, smtpAuthAutoSelect};
    const std::string replies(reinterpret_cast<const char*>(data + 2), size - 2);

    auto ownedSocket = std::make_unique<TMemoryWSocket>();
    TMemoryWSocket& socket = *ownedSocket;
    TFuzzSmtpCli client(std::move(ownedSocket));
    client.SetHost("127.0.0.1");
    client.SetAuthType(authTypes[data[0] & 7]);
    client.SetUsername((data[0] & 16) ? "" : "fatture@example.it");
    client.SetPassword("segreta");
    client.SetSignOn("Ditta Srl");

    std::string fault;
    std::vector<TSmtpRequest> started;
    std::vector<std::string> ended;
    auto start = [&](TSmtpRequest request, void (TCustomSmtpClient::*operation)()) {
        started.push_back(request);
        try {
            (client.*operation)();
        } catch (const std::exception& E) {
            fault = std::string("a request raised: ") + E.what();
        }
    };
    client.OnRequestDone = [&](TObject*, TSmtpRequest request, WORD code) {
        ended.push_back(std::to_string(request) + " " + std::to_string(code));
        if (ended.size() > started.size() || request != started[ended.size() - 1])
            fault = "an end of a request that was not running: " + ended.back();
        if (client.State() != smtpReady)
            fault = "not ready after the end of a request";
        if (request == smtpMail && code == 0 && socket.Sent.find("\r\n.\r\n") == std::string::npos)
            fault = "a mail reported sent without its final dot";
        if (request == smtpOpen && code == 0) {
            client.SetFromName("Ditta Srl <fatture@example.it>");
            client.RcptName()->Clear();
            client.RcptName()->Add("cliente@example.it");
            client.RcptName()->Add("\"Rossi, Mario\" <mario@example.it>");
            client.SetHdrFrom("Ditta Srl <fatture@example.it>");
            client.SetHdrTo("cliente@example.it; \"Rossi, Mario\" <mario@example.it>");
            client.SetHdrSubject("Fattura \x80 12");
            client.MailMessage()->Clear();
            client.MailMessage()->Add("Gentile cliente, gi\xE0 pagato.");
            client.MailMessage()->Add(".");
            if (data[0] & 8)
                client.EmailFiles()->Add(AttachmentPath());
            start(smtpMail, &TCustomSmtpClient::Mail);
        } else if (request == smtpOpen || request == smtpMail) {
            start(smtpQuit, &TCustomSmtpClient::Quit);
        }
    };

    start(smtpOpen, &TCustomSmtpClient::Open);
    for (const std::string& piece : Receptions(replies, data[1])) {
        socket.Deliver(piece);
        PumpPostedMessages();
        if (!fault.empty())
            return fault;
    }
    // The server says no more: a request still waiting is aborted, and the queue quits.
    if (ended.size() < started.size()) {
        client.Abort();
        PumpPostedMessages();
    }
    if (started.back() != smtpQuit && ended.size() == started.size())
        start(smtpQuit, &TCustomSmtpClient::Quit);
    PumpPostedMessages();
    if (ended.size() < started.size()) {
        client.Abort();
        PumpPostedMessages();
    }
    if (!fault.empty())
        return fault;
    if (ended.size() != started.size())
        return "a request never ended";
    return "";
}

} // namespace SmtpReplyFuzz
