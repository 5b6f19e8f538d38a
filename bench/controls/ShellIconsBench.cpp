// Starting /bin/true and waiting for it with FileExecuteWait, 100 times, against
// QProcess::execute of the same program; loading an "Icons" stream of 500 icons of 32 x 32 in
// 32 bits against decoding the same icon-file bytes with IcoCodec::Read.

#include "controls/EXShell.h"
#include "controls/IcoList.h"
#include "platform/gui/Application.h"
#include "platform/gui/IcoCodec.h"
#include "platform/rtl/Streams.h"

#include <QProcess>
#include <QString>

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <vector>

namespace {

void StartApplication()
{
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    Application->Initialize();
}

void BM_FileExecuteWaitTrue100(benchmark::State& state)
{
    StartApplication();
    for (auto _ : state)
        for (int i = 0; i < 100; ++i)
            benchmark::DoNotOptimize(FileExecuteWait("/bin/true", "", "", EXShell::esNormal));
}
BENCHMARK(BM_FileExecuteWaitTrue100)->Unit(benchmark::kMillisecond)->MinTime(2.0);

void BM_QProcessExecuteTrue100(benchmark::State& state)
{
    StartApplication();
    for (auto _ : state)
        for (int i = 0; i < 100; ++i)
            benchmark::DoNotOptimize(QProcess::execute(QStringLiteral("/bin/true"), {}));
}
BENCHMARK(BM_QProcessExecuteTrue100)->Unit(benchmark::kMillisecond)->MinTime(2.0);

// 500 different 32 x 32 true-colour icon files.
const std::vector<std::vector<std::uint8_t>>& IconFiles()
{
    static const std::vector<std::vector<std::uint8_t>> files = [] {
        std::vector<std::vector<std::uint8_t>> result;
        for (int n = 0; n < 500; ++n) {
            TIcoImage image;
            image.Width = image.Height = 32;
            for (int i = 0; i < 32 * 32; ++i) {
                image.Pixels.push_back(0xFF000000u | static_cast<std::uint32_t>(n * 7919 + i * 31) % 0xFFFFFFu);
                image.Transparent.push_back(i % 7 == 0 ? 1 : 0);
            }
            result.push_back(IcoCodec::Write(image, 32));
        }
        return result;
    }();
    return files;
}

void BM_IconListLoad500(benchmark::State& state)
{
    StartApplication();
    TMemoryStream stream;
    stream.WriteInt32(500);
    for (const auto& file : IconFiles()) {
        stream.WriteInt32(static_cast<std::int32_t>(file.size()));
        stream.WriteBuffer(file.data(), static_cast<int>(file.size()));
    }
    TIconList list;
    for (auto _ : state) {
        stream.SetPosition(0);
        list.LoadFromStream(stream);
    }
}
BENCHMARK(BM_IconListLoad500)->Unit(benchmark::kMillisecond);

void BM_IcoCodecRead500(benchmark::State& state)
{
    StartApplication();
    for (auto _ : state)
        for (const auto& file : IconFiles())
            benchmark::DoNotOptimize(IcoCodec::Read(file.data(), file.size()));
}
BENCHMARK(BM_IcoCodecRead500)->Unit(benchmark::kMillisecond);

} // namespace
