#include "platform/rtl/Codepage.h"

#include <benchmark/benchmark.h>

#include <random>
#include <string>

namespace {

// Mostly letters, with the accented ones and the euro sign an invoice text holds.
std::string RandomAnsiText(std::size_t size)
{
    static const std::string alphabet =
        "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789 .,;'-/\xE0\xE8\xE9\xEC\xF2\xF9\x80";
    std::mt19937 random(42);
    std::uniform_int_distribution<std::size_t> pick(0, alphabet.size() - 1);
    std::string text(size, ' ');
    for (char& c : text)
        c = alphabet[pick(random)];
    return text;
}

constexpr std::size_t TextSize = 1 << 20;

void BM_AnsiToUtf16(benchmark::State& state)
{
    const std::string text = RandomAnsiText(TextSize);
    for (auto _ : state)
        benchmark::DoNotOptimize(AnsiToUtf16(text));
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * text.size()));
}
BENCHMARK(BM_AnsiToUtf16);

void BM_Utf16ToAnsi(benchmark::State& state)
{
    const std::u16string text = AnsiToUtf16(RandomAnsiText(TextSize));
    for (auto _ : state)
        benchmark::DoNotOptimize(Utf16ToAnsi(text));
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * text.size()));
}
BENCHMARK(BM_Utf16ToAnsi);

void BM_AnsiToUtf8(benchmark::State& state)
{
    const std::string text = RandomAnsiText(TextSize);
    for (auto _ : state)
        benchmark::DoNotOptimize(AnsiToUtf8(text));
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * text.size()));
}
BENCHMARK(BM_AnsiToUtf8);

void BM_Utf8ToAnsi(benchmark::State& state)
{
    const std::string text = AnsiToUtf8(RandomAnsiText(TextSize));
    for (auto _ : state)
        benchmark::DoNotOptimize(Utf8ToAnsi(text));
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * TextSize));
}
BENCHMARK(BM_Utf8ToAnsi);

} // namespace
