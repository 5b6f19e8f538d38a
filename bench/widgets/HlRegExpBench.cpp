// The memo editor's regular-expression engine against PCRE2 (interpreted) and std::regex: the two
// link patterns searched line by line through a generated log, and compiled again and again.

#include "widgets/HlRegExp.h"

#define PCRE2_CODE_UNIT_WIDTH 8
#include <pcre2.h>

#include <benchmark/benchmark.h>

#include <random>
#include <regex>
#include <string>
#include <vector>

namespace {

const char* const WebLinkPattern = "([Ff][Tt][Pp]|[Hh][Tt][Tt][Pp])://([_a-zA-Z\\d\\-]+(\\.[_a-zA-Z\\d\\-]+)+)"
                                   "((/[_a-zA-Z\\d\\-\\\\\\.\\?\\&\\%\\\\~=]+)+)*";
const char* const MailLinkPattern = "[_a-zA-Z\\d\\-\\.]+@[_a-zA-Z\\d\\-]+(\\.[_a-zA-Z\\d\\-]+)+";

// A log of 1,000,000 lines of about 50 bytes; about one line in ten holds an address.
const std::vector<std::string>& LogLines()
{
    static const std::vector<std::string> lines = [] {
        std::mt19937 random(20261210);
        const char* words[] = {"fattura", "cliente", "salvata", "numero", "documento", "errore", "totale",
                               "registro", "stampa", "anteprima", "12/03/2026", "1.234,56", "ok"};
        std::vector<std::string> result;
        result.reserve(1000000);
        for (int i = 0; i < 1000000; ++i) {
            std::string line;
            while (line.size() < 44)
                line += std::string(words[random() % 13]) + ' ';
            if (random() % 20 == 0)
                line += "vedi http://www.ditta" + std::to_string(i % 97) + ".it/doc/" + std::to_string(i) + ".html";
            else if (random() % 19 == 0)
                line += "scrivere a ufficio" + std::to_string(i % 31) + "@negozio.example.it";
            result.push_back(line);
        }
        return result;
    }();
    return lines;
}

const char* PatternOf(const benchmark::State& state)
{
    return state.range(0) == 0 ? WebLinkPattern : MailLinkPattern;
}

void BM_LinkSearchEngine(benchmark::State& state)
{
    const auto& lines = LogLines();
    TRegExpHlMemo engine;
    engine.SetExpression(PatternOf(state));
    for (auto _ : state) {
        int found = 0;
        for (const std::string& line : lines)
            found += engine.Exec(line, 1) ? 1 : 0;
        benchmark::DoNotOptimize(found);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * 50 * 1000000);
}
BENCHMARK(BM_LinkSearchEngine)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

void BM_LinkSearchStdRegex(benchmark::State& state)
{
    const auto& lines = LogLines();
    const std::regex pattern(PatternOf(state), std::regex::ECMAScript);
    for (auto _ : state) {
        int found = 0;
        for (const std::string& line : lines)
            found += std::regex_search(line, pattern) ? 1 : 0;
        benchmark::DoNotOptimize(found);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * 50 * 1000000);
}
BENCHMARK(BM_LinkSearchStdRegex)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

pcre2_code* CompilePcre2(const char* pattern)
{
    int error = 0;
    PCRE2_SIZE offset = 0;
    return pcre2_compile(reinterpret_cast<PCRE2_SPTR>(pattern), PCRE2_ZERO_TERMINATED, 0, &error, &offset,
                         nullptr);
}

void BM_LinkSearchPcre2(benchmark::State& state)
{
    const auto& lines = LogLines();
    pcre2_code* code = CompilePcre2(PatternOf(state));
    pcre2_match_data* match = pcre2_match_data_create_from_pattern(code, nullptr);
    for (auto _ : state) {
        int found = 0;
        for (const std::string& line : lines)
            found += pcre2_match(code, reinterpret_cast<PCRE2_SPTR>(line.data()), line.size(), 0, 0, match,
                                 nullptr) >= 0
                         ? 1
                         : 0;
        benchmark::DoNotOptimize(found);
    }
    pcre2_match_data_free(match);
    pcre2_code_free(code);
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * 50 * 1000000);
}
BENCHMARK(BM_LinkSearchPcre2)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

void BM_CompileLinkPatternsEngine(benchmark::State& state)
{
    for (auto _ : state) {
        for (int i = 0; i < 100000; ++i) {
            TRegExpHlMemo engine;
            engine.SetExpression(WebLinkPattern);
            TRegExpHlMemo other;
            other.SetExpression(MailLinkPattern);
            benchmark::DoNotOptimize(engine);
            benchmark::DoNotOptimize(other);
        }
    }
}
BENCHMARK(BM_CompileLinkPatternsEngine)->Unit(benchmark::kMillisecond);

void BM_CompileLinkPatternsPcre2(benchmark::State& state)
{
    for (auto _ : state) {
        for (int i = 0; i < 100000; ++i) {
            pcre2_code* web = CompilePcre2(WebLinkPattern);
            pcre2_code* mail = CompilePcre2(MailLinkPattern);
            benchmark::DoNotOptimize(web);
            pcre2_code_free(web);
            pcre2_code_free(mail);
        }
    }
}
BENCHMARK(BM_CompileLinkPatternsPcre2)->Unit(benchmark::kMillisecond);

} // namespace
