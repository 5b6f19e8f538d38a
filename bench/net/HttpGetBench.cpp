// A synchronous Get of a 200 MB file from python3's http.server into a file stream, against curl
// fetching the same URL into a file; and a slow download (1 KB every 100 ms for 5 s) for the share
// of the processor the waiting Get takes. TESS_HTTP_GET_MB sets the size of the file.

#include "SinkProcesses.h"

#include "net/HttpProt.h"
#include "platform/gui/Application.h"
#include "platform/rtl/Files.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <sys/resource.h>
#include <unistd.h>

namespace HttpGetBench {

namespace fs = std::filesystem;

long long FileBytes()
{
    const char* setting = std::getenv("TESS_HTTP_GET_MB");
    return (setting ? std::atoll(setting) : 200) << 20;
}

// The served folder with "big.bin", made once, and the http.server serving it.
struct TServedFile {
    fs::path Folder = fs::temp_directory_path() / ("tess-http-bench-" + std::to_string(::getpid()));
    int Port = SinkProcesses::FreePort();
    int Server = -1;

    TServedFile()
    {
        fs::create_directories(Folder / "www");
        std::string block(1 << 20, '\0');
        for (std::size_t i = 0; i < block.size(); ++i)
            block[i] = static_cast<char>(i * 31 + (i >> 9));
        std::ofstream out(Folder / "www/big.bin", std::ios::binary);
        for (long long written = 0; written < FileBytes(); written += static_cast<long long>(block.size()))
            out.write(block.data(), static_cast<std::streamsize>(block.size()));
        out.close();
        Server = SinkProcesses::StartHttpServer(Port, (Folder / "www").string());
    }
    ~TServedFile()
    {
        SinkProcesses::Stop(Server);
        fs::remove_all(Folder);
    }
    std::string Url() const { return "http://127.0.0.1:" + std::to_string(Port) + "/big.bin"; }
};

TServedFile& Served()
{
    static TServedFile served;
    return served;
}

double Seconds(std::chrono::steady_clock::time_point since)
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

double ProcessCpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_utime.tv_sec + usage.ru_utime.tv_usec / 1e6 + usage.ru_stime.tv_sec + usage.ru_stime.tv_usec / 1e6;
}

// A Get as the version check makes it: MultiThreaded on the GUI thread, the file created in
// OnDocBegin and released in OnDocEnd. The failure's text, "" for none.
std::string GetInto(THttpCli& http, const std::string& url, const fs::path& target)
{
    std::unique_ptr<TFileStream> file;
    http.OnDocBegin = [&](TObject*) {
        file = std::make_unique<TFileStream>(target.string(), fmCreate);
        http.SetRcvdStream(file.get());
    };
    http.OnDocEnd = [&](TObject*) {
        http.SetRcvdStream(nullptr);
        file.reset();
    };
    http.SetURL(url);
    try {
        http.Get();
    } catch (const EHttpException& e) {
        return e.Message;
    }
    return "";
}

void BM_HttpCliGetFromHttpServer(benchmark::State& state)
{
    Application->Initialize();
    TServedFile& served = Served();
    const fs::path target = served.Folder / "got.bin";
    for (auto _ : state) {
        THttpCli http(nullptr);
        http.SetMultiThreaded(true);
        const auto start = std::chrono::steady_clock::now();
        const std::string failure = GetInto(http, served.Url(), target);
        state.SetIterationTime(Seconds(start));
        if (!failure.empty())
            state.SkipWithError(failure.c_str());
        else if (http.RcvdCount() != FileBytes())
            state.SkipWithError("the document is incomplete");
        fs::remove(target);
    }
    state.SetBytesProcessed(state.iterations() * FileBytes());
}
BENCHMARK(BM_HttpCliGetFromHttpServer)->Unit(benchmark::kMillisecond)->Iterations(3)->UseManualTime();

void BM_CurlGetFromHttpServer(benchmark::State& state)
{
    TServedFile& served = Served();
    const fs::path target = served.Folder / "curl.bin";
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        if (!SinkProcesses::Run({"curl", "-s", "-o", target.string(), served.Url()}))
            state.SkipWithError("curl failed");
        state.SetIterationTime(Seconds(start));
        if (static_cast<long long>(fs::file_size(target)) != FileBytes())
            state.SkipWithError("curl's copy is incomplete");
        fs::remove(target);
    }
    state.SetBytesProcessed(state.iterations() * FileBytes());
}
BENCHMARK(BM_CurlGetFromHttpServer)->Unit(benchmark::kMillisecond)->Iterations(3)->UseManualTime();

// 50 pieces of 1 KB, one every 100 ms: the counter is the process's processor time in percent of
// the wall time of the Get.
void BM_HttpCliSlowDownload(benchmark::State& state)
{
    Application->Initialize();
    const fs::path target = fs::temp_directory_path() / ("tess-http-slow-" + std::to_string(::getpid()) + ".bin");
    double cpuShare = 0;
    for (auto _ : state) {
        const int port = SinkProcesses::FreePort();
        const int server = SinkProcesses::StartSlowHttpServer(port, 50, 1024, 100);
        THttpCli http(nullptr);
        http.SetMultiThreaded(true);
        const double cpuBefore = ProcessCpuSeconds();
        const auto start = std::chrono::steady_clock::now();
        const std::string failure = GetInto(http, "http://127.0.0.1:" + std::to_string(port) + "/slow", target);
        const double wall = Seconds(start);
        if (!failure.empty())
            state.SkipWithError(failure.c_str());
        cpuShare = (ProcessCpuSeconds() - cpuBefore) / wall * 100;
        state.SetIterationTime(wall);
        if (http.RcvdCount() != 50 * 1024)
            state.SkipWithError("the document is incomplete");
        SinkProcesses::WaitForExit(server);
    }
    fs::remove(target);
    state.counters["cpu_percent"] = cpuShare;
}
BENCHMARK(BM_HttpCliSlowDownload)->Unit(benchmark::kMillisecond)->Iterations(1)->UseManualTime();

} // namespace HttpGetBench
