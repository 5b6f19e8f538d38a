// 1,000,000 lines of 80 bytes from a python3 sender over loopback, received by a TWSocket in line
// mode (one data event per line), against the same data received in raw mode.
// TESS_NET_LINES sets the number of lines.

#include "SinkProcesses.h"

#include "net/WSocket.h"
#include "platform/gui/Application.h"
#include "platform/gui/MessageQueue.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdlib>
#include <string>

namespace LineModeBench {

constexpr int LineLength = 80;

int Lines()
{
    const char* setting = std::getenv("TESS_NET_LINES");
    return setting ? std::atoi(setting) : 1000000;
}

// The seconds from the connection to the sender's close; false in ok when the data was wrong.
double ReceiveOnce(bool lineMode, bool& ok)
{
    const int port = SinkProcesses::FreePort();
    const int sender = SinkProcesses::StartLineSender(port, Lines(), LineLength);
    TWSocket socket(nullptr);
    long long bytes = 0;
    long long events = 0;
    bool wrongLine = false;
    bool closed = false;
    char buffer[65536];
    socket.SetLineMode(lineMode);
    socket.OnDataAvailable = [&](TObject*, WORD) {
        const int count = socket.Receive(buffer, sizeof buffer);
        if (count <= 0)
            return;
        bytes += count;
        ++events;
        wrongLine = wrongLine || (lineMode && (count != LineLength || buffer[count - 1] != '\n'));
    };
    socket.OnSessionClosed = [&](TObject*, WORD) { closed = true; };
    socket.SetAddr("127.0.0.1");
    socket.SetPort(std::to_string(port));
    const auto start = std::chrono::steady_clock::now();
    socket.Connect();
    while (!closed) {
        Application->ProcessMessages();
        if (!closed)
            MsgWaitForMultipleObjects(0, nullptr, FALSE, 1000, QS_ALLINPUT);
    }
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    SinkProcesses::WaitForExit(sender);
    ok = !wrongLine && bytes == static_cast<long long>(Lines()) * LineLength && (!lineMode || events == Lines());
    return seconds;
}

void Receive(benchmark::State& state, bool lineMode)
{
    Application->Initialize();
    for (auto _ : state) {
        bool ok = false;
        state.SetIterationTime(ReceiveOnce(lineMode, ok));
        if (!ok)
            state.SkipWithError("the data did not arrive as sent");
    }
    state.SetBytesProcessed(state.iterations() * static_cast<long long>(Lines()) * LineLength);
}

void BM_LineModeReceive(benchmark::State& state) { Receive(state, true); }
BENCHMARK(BM_LineModeReceive)->Unit(benchmark::kMillisecond)->Iterations(3)->UseManualTime();

void BM_RawModeReceive(benchmark::State& state) { Receive(state, false); }
BENCHMARK(BM_RawModeReceive)->Unit(benchmark::kMillisecond)->Iterations(3)->UseManualTime();

} // namespace LineModeBench
