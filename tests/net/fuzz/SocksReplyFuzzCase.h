#pragma once
// One run of the SOCKS reply fuzz target. The first byte chooses the level (4, 4A, 5) and the
// authentication, the second how the replies are split into receptions; the rest is what the
// proxy answers. Whatever it answers, the negotiation ends in success or in one numbered error
// told three times in order, and the data after a success is exactly the end of what came.

#include "MemoryWSocket.h"

#include <cstdint>
#include <string>
#include <vector>

namespace SocksReplyFuzz {

inline std::string CheckEvents(const std::vector<std::string>& events, const std::string& received,
                               const std::string& replies)
{
    int connects = 0, closes = 0, errors = 0;
    for (const std::string& event : events) {
        connects += event.rfind("connected ", 0) == 0;
        closes += event.rfind("closed ", 0) == 0;
        errors += event.rfind("error ", 0) == 0;
    }
    if (connects > 1 || closes > 1 || errors > 1)
        return "an event came twice";
    if (errors == 1) {
        const std::string code = events[0].substr(6);
        const int number = std::stoi(code);
        if (number < 20001 || number > 20017)
            return "error number " + code;
        if (events.size() != 3 || events[1] != "connected " + code || events[2] != "closed " + code)
            return "the failure was not told in order";
        return "";
    }
    if (connects == 1 && events[0] != "connected 0")
        return "connected without an error number";
    if (received.size() > replies.size() || replies.compare(replies.size() - received.size(), received.size(), received) != 0)
        return "the data is not the end of what came";
    return "";
}

// The fault found, "" when none.
inline std::string RunSocksReplyFuzzCase(const std::uint8_t* data, std::size_t size)
{
    if (size < 2)
        return "";
    static const char* const levels[] = {"4", "4A", "5", "5"};
    const std::string level = levels[data[0] & 3];
    const bool authenticate = (data[0] & 4) != 0;
    unsigned split = data[1];
    const std::string replies(reinterpret_cast<const char*>(data + 2), size - 2);

    std::vector<std::string> events;
    std::string received;
    TMemoryWSocket socket;
    socket.OnSocksError = [&](TObject*, int error, const std::string&) { events.push_back("error " + std::to_string(error)); };
    socket.OnSessionConnected = [&](TObject*, WORD error) { events.push_back("connected " + std::to_string(error)); };
    socket.OnSessionClosed = [&](TObject*, WORD error) { events.push_back("closed " + std::to_string(error)); };
    socket.OnDataAvailable = [&](TObject*, WORD) { received += socket.ReceiveStr(); };
    socket.OpenThroughProxy(level, authenticate, level == "4" ? "127.0.0.9" : "target.example.test");
    if (socket.Sent.size() < 2 || socket.Sent[1] != 1 || (socket.Sent[0] != 4 && socket.Sent[0] != 5))
        return "no request was sent";

    for (std::size_t at = 0; at < replies.size();) {
        split = split * 1103515245u + 12345u;
        const std::size_t count = 1 + (split >> 16) % 16;
        socket.Deliver(replies.substr(at, count));
        at += count;
    }
    return CheckEvents(events, received, replies);
}

} // namespace SocksReplyFuzz
