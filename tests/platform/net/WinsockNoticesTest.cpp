// The notices of WSAAsyncSelect on loopback sockets: their order, when each is armed again, and
// what a peer's close, reset or slow reading gives.

#include "NetTestSupport.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace WinsockNoticesTest {
using namespace Winsock;
// The C library declares these names too, with other widths.
using Winsock::u_char;
using Winsock::u_int;
using Winsock::u_long;
using Winsock::u_short;
namespace {

constexpr long AllEvents = FD_READ | FD_WRITE | FD_ACCEPT | FD_CONNECT | FD_CLOSE;

WORD ErrorOf(const TNoticeRecorder::TEntry& entry) { return WSAGETSELECTERROR(entry.LParam); }

// Sends count bytes and then closes (reset: with an abortive close) the connection it accepts.
const char* const SendingPeer = R"(
import socket, struct, sys, time
count, mode = int(sys.argv[1]), sys.argv[2]
listener = socket.socket()
listener.bind(("127.0.0.1", 0))
listener.listen(1)
listener.settimeout(20)
print(listener.getsockname()[1], flush=True)
connection, _ = listener.accept()
connection.sendall(b"x" * count)
if mode == "reset":
    connection.setsockopt(socket.SOL_SOCKET, socket.SO_LINGER, struct.pack("ii", 1, 0))
    connection.close()
elif mode == "close":
    connection.close()
else:
    connection.settimeout(20)
    while connection.recv(65536):
        pass
print("done", flush=True)
)";

class Notices : public testing::Test {
protected:
    void TearDown() override
    {
        for (SOCKET s : sockets)
            closesocket(s);
    }
    SOCKET Track(SOCKET s)
    {
        sockets.push_back(s);
        return s;
    }
    // Connects to a SendingPeer and waits for the connection.
    SOCKET ConnectToPeer(TPythonPeer& peer)
    {
        const u_short port = static_cast<u_short>(std::stoi(peer.ReadLine()));
        const SOCKET s = Track(ConnectAsync(port, recorder.Handle(), AllEvents));
        EXPECT_TRUE(PumpUntil([&] { return recorder.Count(s, FD_CONNECT) == 1; }));
        return s;
    }
    // Reads what waits until the socket would block or the peer closed; returns the bytes read.
    int Drain(SOCKET s)
    {
        int total = 0;
        char buffer[4096];
        for (;;) {
            const int received = recv(s, buffer, sizeof buffer, 0);
            if (received <= 0)
                return total;
            total += received;
        }
    }

    TNoticeRecorder recorder;
    std::vector<SOCKET> sockets;
};

TEST_F(Notices, ConnectToListenerGivesConnectThenWrite)
{
    u_short port = 0;
    Track(MakeListener(port));
    const SOCKET s = Track(ConnectAsync(port, recorder.Handle(), AllEvents));

    ASSERT_TRUE(PumpUntil([&] { return recorder.Count(s, FD_WRITE) == 1; }));
    Pump(100);
    EXPECT_EQ(recorder.Events(s), (std::vector<long>{FD_CONNECT, FD_WRITE}));
    EXPECT_EQ(ErrorOf(recorder.Notices(s, FD_CONNECT)[0]), 0);
    EXPECT_EQ(ErrorOf(recorder.Notices(s, FD_WRITE)[0]), 0);
}

TEST_F(Notices, ConnectToClosedPortGivesRefusedAndNoWrite)
{
    const SOCKET s = Track(ConnectAsync(ClosedPort(), recorder.Handle(), AllEvents));

    ASSERT_TRUE(PumpUntil([&] { return recorder.Count(s, FD_CONNECT) == 1; }));
    Pump(200);
    EXPECT_EQ(recorder.Events(s), std::vector<long>{FD_CONNECT});
    EXPECT_EQ(ErrorOf(recorder.Notices(s, FD_CONNECT)[0]), WSAECONNREFUSED);
}

TEST_F(Notices, ReadIsArmedAgainOnlyByReceive)
{
    TPythonPeer peer(SendingPeer, "10240 wait");
    const SOCKET s = ConnectToPeer(peer);

    ASSERT_TRUE(PumpUntil([&] { return recorder.Count(s, FD_READ) == 1; }));
    Pump(300);
    EXPECT_EQ(recorder.Count(s, FD_READ), 1) << "no second FD_READ without a recv";

    char part[100];
    ASSERT_EQ(recv(s, part, sizeof part, 0), 100);
    EXPECT_TRUE(PumpUntil([&] { return recorder.Count(s, FD_READ) == 2; }));
    Pump(100);
    EXPECT_EQ(recorder.Count(s, FD_READ), 2);
    EXPECT_EQ(Drain(s), 10240 - 100);
    shutdown(s, SD_SEND);
    EXPECT_EQ(peer.ReadLine(), "done");
}

TEST_F(Notices, PeerCloseComesOnceAfterTheWaitingData)
{
    struct TCase {
        const char* Mode;
        int Count;
        int CloseError;
    };
    for (const TCase& c : {TCase{"close", 5000, 0}, TCase{"reset", 0, WSAECONNRESET}}) {
        SCOPED_TRACE(c.Mode);
        recorder.Log.clear();
        TPythonPeer peer(SendingPeer, std::to_string(c.Count) + " " + c.Mode);
        const SOCKET s = ConnectToPeer(peer);
        EXPECT_EQ(peer.ReadLine(), "done");
        peer.Wait();

        if (c.Count > 0) {
            ASSERT_TRUE(PumpUntil([&] { return recorder.Count(s, FD_READ) == 1; }));
            Pump(200);
            EXPECT_EQ(recorder.Count(s, FD_CLOSE), 0) << "the close waits until the data was read";
            EXPECT_EQ(Drain(s), c.Count);
        }
        ASSERT_TRUE(PumpUntil([&] { return recorder.Count(s, FD_CLOSE) == 1; }));
        Pump(200);
        ASSERT_EQ(recorder.Count(s, FD_CLOSE), 1);
        EXPECT_EQ(ErrorOf(recorder.Notices(s, FD_CLOSE)[0]), c.CloseError);
        char byte;
        const int received = recv(s, &byte, 1, 0);
        if (c.CloseError == 0)
            EXPECT_EQ(received, 0);
        else
            EXPECT_TRUE(received == SOCKET_ERROR && WSAGetLastError() == c.CloseError);
    }
}

TEST_F(Notices, AcceptGivesThePeerAddressAndIsArmedAgainByAccept)
{
    u_short port = 0;
    const SOCKET listener = Track(MakeListener(port));
    ASSERT_EQ(WSAAsyncSelect(listener, recorder.Handle(), NoticeMessage, FD_ACCEPT | FD_READ | FD_WRITE | FD_CLOSE),
              0);
    TPythonPeer peer(R"(
import socket, sys
port = int(sys.argv[1])
first = socket.create_connection(("127.0.0.1", port), timeout=20)
print(first.getsockname()[1], flush=True)
second = socket.create_connection(("127.0.0.1", port), timeout=20)
first.recv(1)
)",
                     std::to_string(port));
    const int peerPort = std::stoi(peer.ReadLine());

    ASSERT_TRUE(PumpUntil([&] { return recorder.Count(listener, FD_ACCEPT) == 1; }));
    Pump(200);
    EXPECT_EQ(recorder.Count(listener, FD_ACCEPT), 1) << "armed again only by accept";

    sockaddr_in from{};
    int fromLength = sizeof from;
    const SOCKET accepted = Track(accept(listener, reinterpret_cast<sockaddr*>(&from), &fromLength));
    ASSERT_NE(accepted, INVALID_SOCKET);
    EXPECT_EQ(fromLength, static_cast<int>(sizeof(sockaddr_in)));
    EXPECT_EQ(from.sin_family, AF_INET);
    EXPECT_EQ(ntohl(from.sin_addr.S_addr), INADDR_LOOPBACK);
    EXPECT_EQ(ntohs(from.sin_port), peerPort);
    // The accepted socket inherits the notices: it can send at once.
    EXPECT_TRUE(PumpUntil([&] { return recorder.Count(accepted, FD_WRITE) == 1; }));
    EXPECT_TRUE(PumpUntil([&] { return recorder.Count(listener, FD_ACCEPT) == 2; }));
    Track(accept(listener, nullptr, nullptr));
    EXPECT_EQ(send(accepted, "!", 1, 0), 1);
}

TEST_F(Notices, FullSocketGivesOneWriteWhenRoomComesBack)
{
    SOCKET client, server;
    MakePair(client, server);
    Track(client);
    Track(server);
    ASSERT_EQ(WSAAsyncSelect(client, recorder.Handle(), NoticeMessage, FD_WRITE | FD_CLOSE), 0);
    ASSERT_TRUE(PumpUntil([&] { return recorder.Count(client, FD_WRITE) == 1; }));
    recorder.Log.clear();

    std::vector<char> block(65536, 'f');
    long long sent = 0;
    for (;;) {
        const int result = send(client, block.data(), static_cast<int>(block.size()), 0);
        if (result == SOCKET_ERROR) {
            ASSERT_EQ(WSAGetLastError(), WSAEWOULDBLOCK);
            break;
        }
        sent += result;
    }
    Pump(200);
    EXPECT_EQ(recorder.Count(client, FD_WRITE), 0);

    long long received = 0;
    while (received < sent) {
        const int result = recv(server, block.data(), static_cast<int>(block.size()), 0);
        ASSERT_GT(result, 0);
        received += result;
    }
    ASSERT_TRUE(PumpUntil([&] { return recorder.Count(client, FD_WRITE) == 1; }));
    Pump(200);
    EXPECT_EQ(recorder.Count(client, FD_WRITE), 1);
    EXPECT_EQ(ErrorOf(recorder.Notices(client, FD_WRITE)[0]), 0);
}

// A send the system takes only in part leaves the socket full too: the sender waits for FD_WRITE
// to send the rest, so it must come.
TEST_F(Notices, PartialSendGivesWriteWhenRoomComesBack)
{
    SOCKET client, server;
    MakePair(client, server);
    Track(client);
    Track(server);
    ASSERT_EQ(WSAAsyncSelect(client, recorder.Handle(), NoticeMessage, FD_WRITE), 0);
    ASSERT_TRUE(PumpUntil([&] { return recorder.Count(client, FD_WRITE) == 1; }));
    recorder.Log.clear();

    std::vector<char> huge(64 << 20, 'p');
    const int sent = send(client, huge.data(), static_cast<int>(huge.size()), 0);
    ASSERT_GT(sent, 0);
    ASSERT_LT(sent, static_cast<int>(huge.size()));
    int received = 0;
    while (received < sent)
        received += recv(server, huge.data(), static_cast<int>(huge.size()), 0);
    EXPECT_TRUE(PumpUntil([&] { return recorder.Count(client, FD_WRITE) == 1; }));
}

TEST_F(Notices, AbortiveCloseResetsThePeer)
{
    TPythonPeer peer(R"(
import socket
listener = socket.socket()
listener.bind(("127.0.0.1", 0))
listener.listen(1)
listener.settimeout(20)
print(listener.getsockname()[1], flush=True)
connection, _ = listener.accept()
connection.settimeout(20)
try:
    data = connection.recv(100)
    print("closed" if data == b"" else "data", flush=True)
except ConnectionResetError:
    print("reset", flush=True)
)");
    const u_short port = static_cast<u_short>(std::stoi(peer.ReadLine()));
    const SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    const sockaddr_in address = Loopback(port);
    ASSERT_EQ(connect(s, reinterpret_cast<const sockaddr*>(&address), sizeof address), 0);
    const linger abortive{1, 0};
    ASSERT_EQ(setsockopt(s, SOL_SOCKET, SO_LINGER, reinterpret_cast<const char*>(&abortive), sizeof abortive), 0);
    ASSERT_EQ(closesocket(s), 0);
    EXPECT_EQ(peer.ReadLine(), "reset");
}

TEST_F(Notices, DatagramsTravelBetweenTwoLoopbackSockets)
{
    auto boundDatagramSocket = [&] {
        const SOCKET s = Track(socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP));
        const sockaddr_in address = Loopback(0);
        EXPECT_EQ(bind(s, reinterpret_cast<const sockaddr*>(&address), sizeof address), 0);
        return s;
    };
    const SOCKET sender = boundDatagramSocket();
    const SOCKET receiver = boundDatagramSocket();
    ASSERT_EQ(WSAAsyncSelect(receiver, recorder.Handle(), NoticeMessage, FD_READ), 0);

    const sockaddr_in to = Loopback(LocalPort(receiver));
    ASSERT_EQ(sendto(sender, "ping", 4, 0, reinterpret_cast<const sockaddr*>(&to), sizeof to), 4);
    ASSERT_TRUE(PumpUntil([&] { return recorder.Count(receiver, FD_READ) == 1; }));

    char buffer[16] = {};
    sockaddr_in from{};
    int fromLength = sizeof from;
    ASSERT_EQ(recvfrom(receiver, buffer, sizeof buffer, 0, reinterpret_cast<sockaddr*>(&from), &fromLength), 4);
    EXPECT_EQ(std::string(buffer, 4), "ping");
    EXPECT_EQ(ntohs(from.sin_port), LocalPort(sender));
    EXPECT_EQ(ntohl(from.sin_addr.S_addr), INADDR_LOOPBACK);
}

TEST_F(Notices, CancelledNoticesStop)
{
    SOCKET client, server;
    MakePair(client, server);
    Track(client);
    Track(server);
    ASSERT_EQ(WSAAsyncSelect(client, recorder.Handle(), NoticeMessage, FD_READ), 0);
    ASSERT_EQ(WSAAsyncSelect(client, recorder.Handle(), NoticeMessage, 0), 0);
    ASSERT_EQ(send(server, "data", 4, 0), 4);
    Pump(200);
    EXPECT_EQ(recorder.Count(client, FD_READ), 0);
    // The socket stays non-blocking while it is without notices.
    char buffer[8];
    EXPECT_EQ(recv(client, buffer, sizeof buffer, 0), 4);
    EXPECT_EQ(recv(client, buffer, sizeof buffer, 0), SOCKET_ERROR);
    EXPECT_EQ(WSAGetLastError(), WSAEWOULDBLOCK);
}

} // namespace
} // namespace WinsockNoticesTest
