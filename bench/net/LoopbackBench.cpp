// 1 GB through a loopback pair: the receiver driven by FD_READ notices and the sender by FD_WRITE
// notices on the GUI thread, against a plain poll() loop over the same pair.
// TESS_NET_BENCH_MB sets the amount (default 1024).

#include "PlainPollLoop.h"

#include "platform/gui/Application.h"
#include "platform/gui/WindowHandles.h"
#include "platform/net/Winsock.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdlib>
#include <vector>

namespace LoopbackBench {

constexpr UINT NoticeMessage = WM_USER + 1;
constexpr int Chunk = 64 * 1024;

long long TotalBytes()
{
    const char* setting = std::getenv("TESS_NET_BENCH_MB");
    return (setting ? std::atoll(setting) : 1024) << 20;
}

struct TPair {
    Winsock::SOCKET Sender = Winsock::INVALID_SOCKET;
    Winsock::SOCKET Receiver = Winsock::INVALID_SOCKET;

    TPair()
    {
        Application->Initialize();
        Winsock::WSADATA data;
        Winsock::WSAStartup(0x0101, &data);
        const Winsock::SOCKET listener = Winsock::socket(Winsock::AF_INET, Winsock::SOCK_STREAM, 0);
        Winsock::sockaddr_in address{};
        address.sin_family = Winsock::AF_INET;
        address.sin_addr.S_addr = Winsock::htonl(Winsock::INADDR_LOOPBACK);
        int length = sizeof address;
        Winsock::bind(listener, reinterpret_cast<Winsock::sockaddr*>(&address), sizeof address);
        Winsock::listen(listener, 1);
        Winsock::getsockname(listener, reinterpret_cast<Winsock::sockaddr*>(&address), &length);
        Sender = Winsock::socket(Winsock::AF_INET, Winsock::SOCK_STREAM, 0);
        Winsock::connect(Sender, reinterpret_cast<Winsock::sockaddr*>(&address), sizeof address);
        Receiver = Winsock::accept(listener, nullptr, nullptr);
        Winsock::closesocket(listener);
        Winsock::u_long nonBlocking = 1;
        Winsock::ioctlsocket(Sender, Winsock::FIONBIO, &nonBlocking);
        Winsock::ioctlsocket(Receiver, Winsock::FIONBIO, &nonBlocking);
    }
};

TPair& Pair()
{
    static TPair pair;
    return pair;
}

void BM_LoopbackPlainPoll(benchmark::State& state)
{
    TPair& pair = Pair();
    std::vector<char> buffer(Chunk, 'b');
    const long long total = TotalBytes();
    for (auto _ : state) {
        const long long moved = TransferWithPoll(static_cast<int>(pair.Sender), static_cast<int>(pair.Receiver),
                                                 total, buffer.data(), Chunk);
        if (moved != total)
            state.SkipWithError("the transfer stopped");
    }
    state.SetBytesProcessed(state.iterations() * total);
}
BENCHMARK(BM_LoopbackPlainPoll)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();

// One transfer driven by the notices, through the application's own message loop.
double NoticeTransfer(TPair& pair, long long total, std::vector<char>& buffer)
{
    long long sent = 0;
    long long received = 0;
    bool failed = false;
    HWND senderWindow = AllocateHWnd([&](TMessage& message) {
        if (message.Msg != NoticeMessage || Winsock::WSAGETSELECTEVENT(message.LParam) != Winsock::FD_WRITE)
            return;
        while (sent < total) {
            const int n = Winsock::send(pair.Sender, buffer.data(),
                                        static_cast<int>(std::min<long long>(Chunk, total - sent)), 0);
            if (n == Winsock::SOCKET_ERROR) {
                failed = failed || Winsock::WSAGetLastError() != Winsock::WSAEWOULDBLOCK;
                return;
            }
            sent += n;
        }
    });
    HWND receiverWindow = AllocateHWnd([&](TMessage& message) {
        if (message.Msg != NoticeMessage || Winsock::WSAGETSELECTEVENT(message.LParam) != Winsock::FD_READ)
            return;
        for (;;) {
            const int n = Winsock::recv(pair.Receiver, buffer.data(), Chunk, 0);
            if (n <= 0) {
                failed = failed || n == 0 || Winsock::WSAGetLastError() != Winsock::WSAEWOULDBLOCK;
                return;
            }
            received += n;
        }
    });
    Winsock::WSAAsyncSelect(pair.Receiver, receiverWindow, NoticeMessage, Winsock::FD_READ | Winsock::FD_CLOSE);
    Winsock::WSAAsyncSelect(pair.Sender, senderWindow, NoticeMessage, Winsock::FD_WRITE | Winsock::FD_CLOSE);
    while (received < total && !failed)
        Application->HandleMessageUntil([&] { return received >= total || failed; });
    Winsock::WSAAsyncSelect(pair.Receiver, receiverWindow, 0, 0);
    Winsock::WSAAsyncSelect(pair.Sender, senderWindow, 0, 0);
    // Notices already posted for this round are dropped with their windows.
    Application->ProcessMessages();
    DeallocateHWnd(senderWindow);
    DeallocateHWnd(receiverWindow);
    return failed ? -1 : static_cast<double>(received);
}

void BM_LoopbackWinsockNotices(benchmark::State& state)
{
    TPair& pair = Pair();
    std::vector<char> buffer(Chunk, 'n');
    const long long total = TotalBytes();
    for (auto _ : state) {
        if (NoticeTransfer(pair, total, buffer) < 0)
            state.SkipWithError("the transfer failed");
    }
    state.SetBytesProcessed(state.iterations() * total);
}
BENCHMARK(BM_LoopbackWinsockNotices)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();

} // namespace LoopbackBench
