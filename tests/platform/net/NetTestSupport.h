#pragma once
// Shared pieces of the socket library's tests: the application and the started library, a hidden
// window that records its notices, message pumps, loopback sockets and python3 peers.

#include "platform/gui/Messages.h"
#include "platform/net/Winsock.h"

#include <cstdio>
#include <functional>
#include <string>
#include <vector>

// The message the tests ask their notices to come as.
constexpr UINT NoticeMessage = WM_USER + 1;

// A hidden window (from AllocateHWnd, on the creating thread) that records every message.
class TNoticeRecorder {
public:
    struct TEntry {
        UINT Msg;
        WPARAM WParam;
        LPARAM LParam;
    };
    TNoticeRecorder();
    ~TNoticeRecorder();
    HWND Handle() const { return FHandle; }
    // Runs for each recorded message, after it was recorded.
    std::function<void(const TEntry&)> OnMessage;
    std::vector<TEntry> Log;
    // The socket notices of one event for socket s.
    std::vector<TEntry> Notices(Winsock::SOCKET s, long event) const;
    int Count(Winsock::SOCKET s, long event) const { return static_cast<int>(Notices(s, event).size()); }
    // The events of s's notices in their order.
    std::vector<long> Events(Winsock::SOCKET s) const;

private:
    HWND FHandle = nullptr;
};

// Runs the GUI thread's loop for about ms milliseconds.
void Pump(int ms);
// Runs the loop until condition holds or timeoutMs passes; returns the condition.
bool PumpUntil(const std::function<bool()>& condition, int timeoutMs = 5000);

Winsock::sockaddr_in Loopback(Winsock::u_short port);
Winsock::u_short LocalPort(Winsock::SOCKET s);
// A stream socket listening on 127.0.0.1 at a free port.
Winsock::SOCKET MakeListener(Winsock::u_short& port);
// A connected pair on 127.0.0.1 without notices: client from connect, server from accept.
void MakePair(Winsock::SOCKET& client, Winsock::SOCKET& server);
// A port nobody listens on.
Winsock::u_short ClosedPort();
// A stream socket connecting without blocking to 127.0.0.1:port, its notices going to window.
Winsock::SOCKET ConnectAsync(Winsock::u_short port, HWND window, long events);

// A python3 program run with its arguments; its standard output is read line by line. The
// destructor waits for it to end.
class TPythonPeer {
public:
    TPythonPeer(const std::string& script, const std::string& arguments = "");
    ~TPythonPeer();
    // The next line without its line break; "" at the end of the output.
    std::string ReadLine();
    // Waits for the program to end and returns its exit status.
    int Wait();

private:
    std::string FScript;
    FILE* FOutput = nullptr;
};
