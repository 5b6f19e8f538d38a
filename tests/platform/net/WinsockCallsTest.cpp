// The socket calls outside the notices: errors with their Windows numbers, options with their
// Windows values, the start-up count, and a socket whose window belongs to a worker thread.

#include "NetTestSupport.h"

#include "platform/gui/MessageQueue.h"
#include "platform/gui/WindowHandles.h"
#include "platform/rtl/Threads.h"

#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <thread>

namespace WinsockCallsTest {
using namespace Winsock;
// The C library declares these names too, with other widths.
using Winsock::u_char;
using Winsock::u_long;
using Winsock::u_short;
namespace {

const sockaddr* AsAddress(const sockaddr_in& address) { return reinterpret_cast<const sockaddr*>(&address); }

TEST(Calls, FailuresGiveTheWindowsErrors)
{
    u_short port = 0;
    const SOCKET listener = MakeListener(port);
    const SOCKET stream = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    const sockaddr_in taken = Loopback(port);
    const sockaddr_in closed = Loopback(ClosedPort());
    char byte = 0;
    u_long argument = 0;
    struct TCase {
        const char* Call;
        std::function<bool()> Fails;
        int Error;
    };
    const TCase cases[] = {
        {"socket of another family", [] { return socket(AF_UNSPEC, SOCK_STREAM, 0) == INVALID_SOCKET; },
         WSAEAFNOSUPPORT},
        {"socket of an unknown type", [] { return socket(AF_INET, 7, 0) == INVALID_SOCKET; }, WSAESOCKTNOSUPPORT},
        {"bind to a port in use", [&] { return bind(stream, AsAddress(taken), sizeof taken) == SOCKET_ERROR; },
         WSAEADDRINUSE},
        {"connect to a closed port", [&] { return connect(stream, AsAddress(closed), sizeof closed) == SOCKET_ERROR; },
         WSAECONNREFUSED},
        {"recv before connecting", [&] { return recv(stream, &byte, 1, 0) == SOCKET_ERROR; }, WSAENOTCONN},
        {"address too short", [&] { return connect(stream, AsAddress(taken), 8) == SOCKET_ERROR; }, WSAEFAULT},
        {"closesocket of a descriptor that is no socket", [] { return closesocket(0) == SOCKET_ERROR; },
         WSAENOTSOCK},
        {"send on an invalid socket", [] { return send(INVALID_SOCKET, "x", 1, 0) == SOCKET_ERROR; }, WSAENOTSOCK},
        {"unknown ioctl", [&] { return ioctlsocket(stream, 0x1234, &argument) == SOCKET_ERROR; }, WSAEINVAL},
        {"shutdown of an unknown kind", [&] { return shutdown(stream, 3) == SOCKET_ERROR; }, WSAEINVAL},
        {"WSAIoctl(SIO_RCVALL)",
         [&] {
             DWORD returned = 7;
             u_long on = 1;
             return WSAIoctl(stream, SIO_RCVALL, &on, sizeof on, nullptr, 0, &returned, nullptr, nullptr) ==
                        SOCKET_ERROR &&
                    returned == 0;
         },
         WSAEOPNOTSUPP},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Call);
        WSASetLastError(0);
        EXPECT_TRUE(c.Fails());
        EXPECT_EQ(WSAGetLastError(), c.Error);
    }
    closesocket(stream);
    closesocket(listener);
}

TEST(Calls, LastErrorBelongsToEachThread)
{
    WSASetLastError(WSAECONNREFUSED);
    int seenByWorker = 0;
    std::thread worker([&] {
        WSASetLastError(WSAECONNRESET);
        seenByWorker = WSAGetLastError();
    });
    worker.join();
    EXPECT_EQ(seenByWorker, WSAECONNRESET);
    EXPECT_EQ(WSAGetLastError(), WSAECONNREFUSED);
}

TEST(Calls, StartupIsCountedAndRequired)
{
    WSADATA data;
    EXPECT_EQ(WSAStartup(0x0000, &data), WSAVERNOTSUPPORTED);
    EXPECT_EQ(WSAStartup(0x0101, nullptr), WSAEFAULT);
    ASSERT_EQ(WSAStartup(0x0101, &data), 0);
    EXPECT_EQ(data.wVersion, 0x0101);
    EXPECT_STREQ(data.szSystemStatus, "Running");
    ASSERT_EQ(WSACleanup(), 0);

    // The test environment holds one start-up; without it the calls refuse.
    ASSERT_EQ(WSACleanup(), 0);
    EXPECT_EQ(socket(AF_INET, SOCK_STREAM, 0), INVALID_SOCKET);
    EXPECT_EQ(WSAGetLastError(), WSANOTINITIALISED);
    EXPECT_EQ(WSACleanup(), SOCKET_ERROR);
    EXPECT_EQ(WSAGetLastError(), WSANOTINITIALISED);
    ASSERT_EQ(WSAStartup(0x0101, &data), 0);
}

TEST(Calls, OptionsTakeAndGiveTheWindowsValues)
{
    const SOCKET stream = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    const SOCKET datagram = socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP);
    struct TCase {
        SOCKET Socket;
        int Level;
        int Option;
        int Value;
    };
    const TCase cases[] = {
        {stream, SOL_SOCKET, SO_REUSEADDR, 1},   {stream, SOL_SOCKET, SO_KEEPALIVE, 1},
        {datagram, SOL_SOCKET, SO_BROADCAST, 1}, {stream, IPPROTO_TCP, TCP_NODELAY, 1},
        {datagram, IPPROTO_IP, IP_MULTICAST_TTL, 5},
        {datagram, IPPROTO_IP, IP_MULTICAST_IF, static_cast<int>(inet_addr("127.0.0.1"))},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Option);
        int read = 0;
        int length = sizeof read;
        ASSERT_EQ(getsockopt(c.Socket, c.Level, c.Option, reinterpret_cast<char*>(&read), &length), 0);
        EXPECT_NE(read, c.Value) << "the test needs a value that is not the default";
        const int value = c.Option == SO_REUSEADDR ? -1 : c.Value; // any non-zero value sets a switch
        ASSERT_EQ(setsockopt(c.Socket, c.Level, c.Option, reinterpret_cast<const char*>(&value), sizeof value), 0);
        ASSERT_EQ(getsockopt(c.Socket, c.Level, c.Option, reinterpret_cast<char*>(&read), &length), 0);
        EXPECT_EQ(read, c.Value);
        EXPECT_EQ(length, 4);
    }

    const linger set{1, 7};
    ASSERT_EQ(setsockopt(stream, SOL_SOCKET, SO_LINGER, reinterpret_cast<const char*>(&set), sizeof set), 0);
    linger read{};
    int length = sizeof read;
    ASSERT_EQ(getsockopt(stream, SOL_SOCKET, SO_LINGER, reinterpret_cast<char*>(&read), &length), 0);
    EXPECT_EQ(read.l_onoff, 1);
    EXPECT_EQ(read.l_linger, 7);

    const int on = 1;
    EXPECT_EQ(setsockopt(stream, SOL_SOCKET, SO_DEBUG, reinterpret_cast<const char*>(&on), sizeof on), SOCKET_ERROR);
    EXPECT_EQ(WSAGetLastError(), WSAENOPROTOOPT);
    // Joining a group is only checked for its refusal of an address that is no group.
    ip_mreq notAGroup{};
    notAGroup.imr_multiaddr.S_addr = inet_addr("127.0.0.1");
    notAGroup.imr_interface.S_addr = inet_addr("127.0.0.1");
    EXPECT_EQ(setsockopt(datagram, IPPROTO_IP, IP_ADD_MEMBERSHIP, reinterpret_cast<const char*>(&notAGroup),
                         sizeof notAGroup),
              SOCKET_ERROR);
    EXPECT_EQ(WSAGetLastError(), WSAEINVAL);
    closesocket(stream);
    closesocket(datagram);
}

TEST(Calls, IoctlCountsWaitingBytesAndSwitchesBlocking)
{
    SOCKET client, server;
    MakePair(client, server);
    u_long argument = 1;
    ASSERT_EQ(ioctlsocket(client, FIONBIO, &argument), 0);
    char buffer[8];
    EXPECT_EQ(recv(client, buffer, sizeof buffer, 0), SOCKET_ERROR);
    EXPECT_EQ(WSAGetLastError(), WSAEWOULDBLOCK);

    ASSERT_EQ(send(server, "abcd", 4, 0), 4);
    ASSERT_TRUE(PumpUntil([&] {
        ioctlsocket(client, FIONREAD, &argument);
        return argument == 4;
    }));

    TNoticeRecorder recorder;
    ASSERT_EQ(WSAAsyncSelect(client, recorder.Handle(), NoticeMessage, FD_READ), 0);
    argument = 0;
    EXPECT_EQ(ioctlsocket(client, FIONBIO, &argument), SOCKET_ERROR) << "a socket with notices stays non-blocking";
    EXPECT_EQ(WSAGetLastError(), WSAEINVAL);
    closesocket(client);
    closesocket(server);
}

// Receives on its own window and message loop until it has read Expected bytes, then closes.
class TReceivingWorker : public TThread {
public:
    TReceivingWorker(SOCKET s, int expected) : TThread(true), Socket(s), Expected(expected) {}

    std::atomic<bool> Ready{false};
    std::atomic<int> Received{0};
    std::atomic<int> ReadNotices{0};
    std::atomic<bool> NoticeOnOtherThread{false};

protected:
    void Execute() override
    {
        const std::thread::id self = std::this_thread::get_id();
        bool quitting = false;
        HWND window = AllocateHWnd([&](TMessage& message) {
            if (message.Msg != NoticeMessage || WSAGETSELECTEVENT(message.LParam) != FD_READ)
                return;
            ++ReadNotices;
            NoticeOnOtherThread = NoticeOnOtherThread || std::this_thread::get_id() != self;
            char buffer[4096];
            for (int received; (received = recv(Socket, buffer, sizeof buffer, 0)) > 0;)
                Received += received;
            // Once only: a thread's queue outlives it, and a stale quit would end the next
            // thread that gets the same identifier.
            if (Received >= Expected && !quitting) {
                quitting = true;
                PostQuitMessage(0);
            }
        });
        WSAAsyncSelect(Socket, window, NoticeMessage, FD_READ | FD_CLOSE);
        Ready = true;
        MSG msg;
        while (GetMessageA(msg, nullptr, 0, 0))
            DispatchMessageA(msg);
        closesocket(Socket);
        DeallocateHWnd(window);
    }

private:
    SOCKET Socket;
    int Expected;
};

TEST(Calls, WorkerWindowGetsItsNoticesWhileTheGuiThreadRuns)
{
    SOCKET client, server;
    MakePair(client, server);
    constexpr int total = 100000;
    TReceivingWorker worker(client, total);
    worker.Start();
    ASSERT_TRUE(PumpUntil([&] { return worker.Ready.load(); }));

    std::vector<char> data(total, 'w');
    ASSERT_EQ(send(server, data.data(), total, 0), total);
    const bool finished = PumpUntil([&] { return worker.Finished(); }, 10000);
    if (!finished)
        PostThreadMessageA(worker.ThreadID(), WM_QUIT, 0, 0);
    worker.WaitFor();
    ASSERT_TRUE(finished);
    EXPECT_EQ(worker.Received.load(), total);
    EXPECT_GE(worker.ReadNotices.load(), 1);
    EXPECT_FALSE(worker.NoticeOnOtherThread.load());

    // The worker closed its socket away from the GUI thread: the peer sees the end.
    u_long nonBlocking = 1;
    ioctlsocket(server, FIONBIO, &nonBlocking);
    char byte;
    EXPECT_TRUE(PumpUntil([&] { return recv(server, &byte, 1, 0) == 0; }));
    closesocket(server);
}

} // namespace
} // namespace WinsockCallsTest
