// 200 MB from memory through the socket component into a socat sink that discards them, against
// socat copying a file of the same size into the same kind of sink. The whole amount goes into one
// Send, so that a send queue that is not linear shows at once. TESS_NET_SEND_MB sets the amount.
// The time runs from the connection to the end of the sink.

#include "SinkProcesses.h"

#include "net/WSocket.h"
#include "platform/gui/Application.h"
#include "platform/gui/MessageQueue.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <unistd.h>
#include <string>

namespace WSocketSendBench {

long long TotalBytes()
{
    const char* setting = std::getenv("TESS_NET_SEND_MB");
    return (setting ? std::atoll(setting) : 200) << 20;
}

const std::string& Payload()
{
    static const std::string data = [] {
        std::string bytes(static_cast<std::size_t>(TotalBytes()), '\0');
        for (std::size_t i = 0; i < bytes.size(); ++i)
            bytes[i] = static_cast<char>(i * 31 + (i >> 12));
        return bytes;
    }();
    return data;
}

// The seconds from the connection to the end of the sink.
double SendOnce(benchmark::State& state)
{
    const std::string& data = Payload();
    const int port = SinkProcesses::FreePort();
    const int sink = SinkProcesses::StartSink(port);
    TCustomWSocket socket(nullptr);
    bool queued = false;
    bool shutDown = false;
    bool closed = false;
    socket.OnSessionConnected = [&](TObject*, WORD error) {
        if (error != 0) {
            state.SkipWithError("the sink refused the connection");
            closed = true;
            return;
        }
        socket.Send(data.data(), static_cast<int>(data.size()));
        queued = true;
    };
    // Everything handed to the system: the end of the stream lets the sink finish.
    socket.OnDataSent = [&](TObject*, WORD) {
        if (queued && !shutDown) {
            shutDown = true;
            socket.Shutdown(1);
        }
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
    SinkProcesses::WaitForExit(sink);
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

void BM_WSocketSendToSocat(benchmark::State& state)
{
    Application->Initialize();
    for (auto _ : state)
        state.SetIterationTime(SendOnce(state));
    state.SetBytesProcessed(state.iterations() * TotalBytes());
}
BENCHMARK(BM_WSocketSendToSocat)->Unit(benchmark::kMillisecond)->Iterations(3)->UseManualTime();

void BM_SocatCopyToSocat(benchmark::State& state)
{
    const std::filesystem::path file =
        std::filesystem::temp_directory_path() / ("tess-send-bench-" + std::to_string(::getpid()) + ".bin");
    {
        std::ofstream out(file, std::ios::binary);
        out.write(Payload().data(), static_cast<std::streamsize>(Payload().size()));
    }
    for (auto _ : state) {
        const int port = SinkProcesses::FreePort();
        const int sink = SinkProcesses::StartSink(port);
        const auto start = std::chrono::steady_clock::now();
        SinkProcesses::CopyFileWithSocat(file.string(), port);
        SinkProcesses::WaitForExit(sink);
        state.SetIterationTime(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    }
    std::filesystem::remove(file);
    state.SetBytesProcessed(state.iterations() * TotalBytes());
}
BENCHMARK(BM_SocatCopyToSocat)->Unit(benchmark::kMillisecond)->Iterations(3)->UseManualTime();

} // namespace WSocketSendBench
