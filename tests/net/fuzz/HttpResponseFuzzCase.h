#pragma once
// One run of the HTTP response fuzz target: a request whose socket is an in-memory socket serving
// the fuzz bytes as the server's answer. The first byte chooses the request (version, GET or HEAD,
// relocations followed, credentials given), the second where the answer is split into two
// receptions; the rest is the answer. Then the server closes, as often as the client reconnects.
// Whatever the answer, the request ends exactly once, its body is never more than what came, and
// the client is ready again.

#include "MemoryWSocket.h"

#include "net/HttpProt.h"
#include "platform/gui/MessageQueue.h"

#include <cstdint>
#include <string>

namespace HttpResponseFuzz {

// Connects at once, without a network, whatever the host.
class TInstantSocket : public TMemoryWSocket {
public:
    using TMemoryWSocket::TMemoryWSocket;
    void DnsLookup(const std::string&) override
    {
        FDnsResult = "127.0.0.1";
        TriggerDNSLookupDone(0);
    }
    void Connect() override
    {
        Open();
        TriggerSessionConnectedSpecial(0);
    }
};

class TFuzzHttpCli : public THttpCli {
public:
    using THttpCli::THttpCli;

protected:
    TWSocket* CreateSocket() override { return new TInstantSocket(this); }
};

inline void DispatchWaitingMessages()
{
    for (int round = 0; round < 1000 && DispatchPostedMessages(); ++round) {
    }
}

// The fault found, "" when none.
inline std::string RunHttpResponseFuzzCase(const std::uint8_t* data, std::size_t size)
{
    if (size < 2)
        return "";
    const std::uint8_t flags = data[0];
    const std::string answer(reinterpret_cast<const char*>(data + 2), size - 2);
    const std::size_t split = data[1] % (answer.size() + 1);

    TFuzzHttpCli http(nullptr);
    TMemoryStream body;
    std::int64_t delivered = 0;
    int done = 0;
    http.SetRequestVer(flags & 1 ? "1.1" : "1.0");
    http.SetFollowRelocation((flags & 2) != 0);
    if (flags & 8) {
        http.SetUsername("user");
        http.SetPassword("pass");
    }
    http.OnDocBegin = [&](TObject*) { http.SetRcvdStream(&body); };
    http.OnDocData = [&](TObject*, const void*, int length) { delivered += length; };
    http.OnRequestDone = [&](TObject*, THttpRequest, WORD) { ++done; };
    http.SetURL("http://fuzz.example.test/dir/doc.txt");
    if (flags & 4)
        http.HeadASync();
    else
        http.GetASync();

    auto* socket = static_cast<TInstantSocket*>(http.CtrlSocket());
    socket->Deliver(answer.substr(0, split));
    DispatchWaitingMessages();
    if (socket->State() == wsConnected)
        socket->Deliver(answer.substr(split));
    DispatchWaitingMessages();
    for (int round = 0; round < 40 && done == 0; ++round) {
        if (socket->State() != wsClosed)
            socket->Close();
        DispatchWaitingMessages();
    }
    if (done == 0)
        return "the request never ended";
    DispatchWaitingMessages();
    if (done != 1)
        return "the request ended " + std::to_string(done) + " times";
    if (http.State() != httpReady)
        return "not ready after the end";
    if (delivered > static_cast<std::int64_t>(answer.size()))
        return "more body than answer";
    if (body.Size() > static_cast<std::int64_t>(answer.size()))
        return "the stream holds more than the answer";
    return "";
}

} // namespace HttpResponseFuzz
