// Hostile peers: floods of small packets, half-closed connections and resets at any moment give
// neither a crash, nor a lost or repeated FD_CLOSE, nor a stream of notices.

#include "NetTestSupport.h"
#include "tests/TestScale.h"

#include <gtest/gtest.h>

#include <string>

namespace WinsockHostileTest {
using namespace Winsock;
using Winsock::u_short;
namespace {

// Floods count packets of 1 to 9 bytes, prints their total, then ends as mode says.
const char* const FloodingPeer = R"(
import random, socket, struct, sys
mode, count, start = sys.argv[1], int(sys.argv[2]), int(sys.argv[3])
rnd = random.Random(start)
listener = socket.socket()
listener.bind(("127.0.0.1", 0))
listener.listen(1)
listener.settimeout(20)
print(listener.getsockname()[1], flush=True)
connection, _ = listener.accept()
connection.settimeout(20)
connection.setsockopt(socket.IPPROTO_TCP, socket.TCP_NODELAY, 1)
abortive = struct.pack("ii", 1, 0)
sent = 0
for _ in range(count):
    chunk = b"y" * rnd.randint(1, 9)
    connection.sendall(chunk)
    sent += len(chunk)
print(sent, flush=True)
if mode == "reset":
    connection.setsockopt(socket.SOL_SOCKET, socket.SO_LINGER, abortive)
    connection.close()
elif mode == "close":
    connection.close()
elif mode == "half":
    connection.shutdown(socket.SHUT_WR)
    reply = b""
    while True:
        part = connection.recv(100)
        if not part:
            break
        reply += part
    print(reply.decode(), flush=True)
elif mode == "reset-reading":
    connection.recv(rnd.randint(1, 50000))
    connection.setsockopt(socket.SOL_SOCKET, socket.SO_LINGER, abortive)
    connection.close()
)";

struct TRun {
    int Received = 0;
    int ReceiveCalls = 0;
    int SendErrors = 0;
    int LastSendError = 0;
};

TEST(HostilePeers, NoticesStayOneForOneAndTheCloseComesOnce)
{
    struct TCase {
        const char* Mode;
        int Packets;
        bool KeepsData;
        int CloseError;
    };
    const TCase cases[] = {
        {"close", 2000, true, 0},
        {"half", 2000, true, 0},
        {"reset", 2000, false, WSAECONNRESET},
        {"reset-reading", 0, false, WSAECONNRESET},
    };
    const int rounds = TestScale();
    for (int round = 0; round < rounds; ++round) {
        for (const TCase& c : cases) {
            SCOPED_TRACE(std::string(c.Mode) + " round " + std::to_string(round));
            TNoticeRecorder recorder;
            TPythonPeer peer(FloodingPeer, std::string(c.Mode) + " " + std::to_string(c.Packets) + " " +
                                               std::to_string(round));
            const u_short port = static_cast<u_short>(std::stoi(peer.ReadLine()));
            TRun run;
            SOCKET s = INVALID_SOCKET;
            std::vector<char> block(65536, 'z');
            recorder.OnMessage = [&](const TNoticeRecorder::TEntry& entry) {
                const long event = WSAGETSELECTEVENT(entry.LParam);
                if (event == FD_READ) {
                    // One small read per notice: every read arms the next notice.
                    char buffer[7];
                    ++run.ReceiveCalls;
                    const int received = recv(s, buffer, sizeof buffer, 0);
                    if (received > 0)
                        run.Received += received;
                } else if (event == FD_WRITE && std::string(c.Mode) == "reset-reading") {
                    while (send(s, block.data(), static_cast<int>(block.size()), 0) > 0) {
                    }
                    if (WSAGetLastError() != WSAEWOULDBLOCK) {
                        ++run.SendErrors;
                        run.LastSendError = WSAGetLastError();
                    }
                } else if (event == FD_CLOSE && std::string(c.Mode) == "half") {
                    send(s, "bye", 3, 0);
                    shutdown(s, SD_SEND);
                }
            };
            s = ConnectAsync(port, recorder.Handle(), FD_READ | FD_WRITE | FD_CONNECT | FD_CLOSE);
            const int sent = std::stoi(peer.ReadLine());
            ASSERT_TRUE(PumpUntil([&] { return recorder.Count(s, FD_CLOSE) == 1; }, 20000));
            if (std::string(c.Mode) == "half") {
                EXPECT_EQ(peer.ReadLine(), "bye");
            }
            Pump(200);

            EXPECT_EQ(recorder.Count(s, FD_CLOSE), 1);
            EXPECT_EQ(WSAGETSELECTERROR(recorder.Notices(s, FD_CLOSE)[0].LParam), c.CloseError);
            EXPECT_LE(recorder.Count(s, FD_READ), run.ReceiveCalls + 1);
            if (c.KeepsData) {
                EXPECT_EQ(run.Received, sent);
            }
            if (run.SendErrors > 0) {
                EXPECT_EQ(run.LastSendError, WSAECONNRESET);
            }
            closesocket(s);
        }
    }
}

} // namespace
} // namespace WinsockHostileTest
