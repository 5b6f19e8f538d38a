// The value encoding: a million mixed values written to memory and read back.

#include "tablestore/Filer.h"

#include <benchmark/benchmark.h>

namespace {

constexpr int ValueCount = 1000000;

void WriteMixedValues(TStream& stream)
{
    TWriter writer(&stream, 16384);
    const std::string text = "Rossi Mario S.r.l. 1";
    for (int i = 0; i < ValueCount; ++i) {
        switch (i % 3) {
        case 0: {
            // Integers of all three widths.
            const int widths[3] = {i % 100, 1000 + i % 20000, 100000 + i};
            writer.WriteInteger(widths[(i / 3) % 3]);
            break;
        }
        case 1:
            writer.WriteString(text);
            break;
        default:
            writer.WriteFloat(i * 0.25 + 0.1);
            break;
        }
    }
    writer.FlushBuffer();
}

// One stream, rewritten from its start on each pass: what is measured is the writer, not the
// growth of the stream's memory.
void BM_WriterMillionValues(benchmark::State& state)
{
    TMemoryStream stream;
    for (auto _ : state) {
        stream.SetPosition(0);
        WriteMixedValues(stream);
        benchmark::DoNotOptimize(stream.Memory());
    }
}
BENCHMARK(BM_WriterMillionValues)->Unit(benchmark::kMillisecond);

void BM_ReaderMillionValues(benchmark::State& state)
{
    TMemoryStream stream;
    WriteMixedValues(stream);
    for (auto _ : state) {
        stream.SetPosition(0);
        TReader reader(&stream, 16384);
        std::int64_t sum = 0;
        for (int i = 0; i < ValueCount; ++i) {
            switch (i % 3) {
            case 0:
                sum += reader.ReadInteger();
                break;
            case 1:
                sum += static_cast<std::int64_t>(reader.ReadString().size());
                break;
            default:
                sum += static_cast<std::int64_t>(reader.ReadFloat());
                break;
            }
        }
        benchmark::DoNotOptimize(sum);
    }
}
BENCHMARK(BM_ReaderMillionValues)->Unit(benchmark::kMillisecond);

} // namespace
