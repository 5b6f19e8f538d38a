// The rich document against Qt's own rich text in the same binary, on a generated document of
// 10,000 paragraphs (about 2 MB of text) with bold, italic, coloured, bullet and centred
// paragraphs: reading its RTF against setHtml of the same content, writing it against toHtml,
// and format reads over random ranges of 100 characters against QTextCursor::charFormat().

#include "BenchApplication.h"

#include "platform/gui/private/RichDocument.h"

#include <QTextCursor>
#include <QTextDocument>

#include <benchmark/benchmark.h>

#include <random>

namespace {

std::string GeneratedRtf()
{
    std::string rtf = "{\\rtf1\\ansi\\ansicpg1252\\deff0{\\fonttbl{\\f0\\fswiss\\fcharset0 Arial;}"
                      "{\\f1\\froman\\fcharset0 Times New Roman;}}{\\colortbl ;\\red200\\green0\\blue0;}\r\n"
                      "\\viewkind4\\uc1\\pard\\f0\\fs20 ";
    std::mt19937 random(10000);
    for (int i = 0; i < 10000; ++i) {
        rtf += "\\pard";
        if (i % 7 == 3)
            rtf += "{\\*\\pn\\pnlvlblt\\pnf0\\pnindent0{\\pntxtb\\'B7}}\\fi-360\\li360";
        if (i % 11 == 5)
            rtf += "\\qc";
        rtf += " ";
        for (int word = 0; word < 30; ++word) {
            const unsigned kind = random() % 10;
            const std::string text = "parola" + std::to_string(random() % 1000) + (word % 9 == 8 ? " caff\\'e8 " : " ");
            if (kind == 0)
                rtf += "\\b " + text + "\\b0 ";
            else if (kind == 1)
                rtf += "\\i " + text + "\\i0 ";
            else if (kind == 2)
                rtf += "\\cf1 " + text + "\\cf0 ";
            else if (kind == 3)
                rtf += "\\f1 " + text + "\\f0 ";
            else
                rtf += text;
        }
        rtf += "\\par\r\n";
    }
    return rtf + "}\r\n";
}

struct TSample {
    std::string Rtf;
    QString Html;
    TSample()
    {
        EnsureBenchApplication();
        Rtf = GeneratedRtf();
        TRichDocument document;
        std::string error;
        document.LoadRtf(Rtf, nullptr, error);
        Html = document.Document()->toHtml();
    }
};

const TSample& Sample()
{
    static const TSample sample;
    return sample;
}

void BM_RichReadRtf(benchmark::State& state)
{
    const std::string& rtf = Sample().Rtf;
    for (auto _ : state) {
        TRichDocument document;
        std::string error;
        benchmark::DoNotOptimize(document.LoadRtf(rtf, nullptr, error));
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * rtf.size()));
}
BENCHMARK(BM_RichReadRtf)->Unit(benchmark::kMillisecond);

void BM_QtSetHtml(benchmark::State& state)
{
    const QString& html = Sample().Html;
    for (auto _ : state) {
        QTextDocument document;
        document.setUndoRedoEnabled(false);
        document.setHtml(html);
        benchmark::DoNotOptimize(document.characterCount());
    }
}
BENCHMARK(BM_QtSetHtml)->Unit(benchmark::kMillisecond);

void BM_RichWriteRtf(benchmark::State& state)
{
    TRichDocument document;
    std::string error;
    document.LoadRtf(Sample().Rtf, nullptr, error);
    for (auto _ : state)
        benchmark::DoNotOptimize(document.SaveRtf(nullptr, false));
}
BENCHMARK(BM_RichWriteRtf)->Unit(benchmark::kMillisecond);

void BM_QtToHtml(benchmark::State& state)
{
    TRichDocument document;
    std::string error;
    document.LoadRtf(Sample().Rtf, nullptr, error);
    for (auto _ : state)
        benchmark::DoNotOptimize(document.Document()->toHtml());
}
BENCHMARK(BM_QtToHtml)->Unit(benchmark::kMillisecond);

std::vector<CHARRANGE> RandomRanges(int length)
{
    std::mt19937 random(100);
    std::vector<CHARRANGE> ranges;
    for (int i = 0; i < 10000; ++i) {
        const LONG from = static_cast<LONG>(random() % static_cast<unsigned>(length - 100));
        ranges.push_back({from, from + 100});
    }
    return ranges;
}

void BM_RichGetCharFormat(benchmark::State& state)
{
    TRichDocument document;
    std::string error;
    document.LoadRtf(Sample().Rtf, nullptr, error);
    const std::vector<CHARRANGE> ranges = RandomRanges(document.TextLength());
    for (auto _ : state) {
        for (const CHARRANGE& range : ranges) {
            CHARFORMAT2A format;
            document.GetCharFormat(&range, format, sizeof format);
            benchmark::DoNotOptimize(format.dwMask);
        }
    }
}
BENCHMARK(BM_RichGetCharFormat)->Unit(benchmark::kMillisecond);

void BM_QtCursorCharFormat(benchmark::State& state)
{
    TRichDocument document;
    std::string error;
    document.LoadRtf(Sample().Rtf, nullptr, error);
    const std::vector<CHARRANGE> ranges = RandomRanges(document.TextLength());
    QTextCursor cursor(document.Document());
    for (auto _ : state) {
        for (const CHARRANGE& range : ranges) {
            cursor.setPosition(range.cpMin);
            cursor.setPosition(range.cpMax, QTextCursor::KeepAnchor);
            benchmark::DoNotOptimize(cursor.charFormat().fontWeight());
        }
    }
}
BENCHMARK(BM_QtCursorCharFormat)->Unit(benchmark::kMillisecond);

} // namespace
