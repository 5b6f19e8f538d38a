// Replays the spanned-set join fuzz target over sets written by the component, cut where their
// parts end and elsewhere, and over deterministic mutations of their headers and end records.

#include "tests/TestScale.h"
#include "ZipSpanTestSupport.h"

#include "fuzz/ReadSpanFuzzCase.h"

namespace {

class ReadSpanFuzzReplay : public TZipArchiverTest {};

std::string AsText(const TBytes& bytes) { return std::string(bytes.begin(), bytes.end()); }

} // namespace

TEST_F(ReadSpanFuzzReplay, SetsAndMutationsJoinOrFailCleanly)
{
    struct TSource {
        std::vector<TSpanEntry> Entries;
        std::string Comment;
        std::int64_t PartSize;
    };
    const std::vector<TSource> sources = {
        {{{"a.bin", 3000}, {"b.bin", 2500}}, "", 2500},
        {{{"uno.txt", 1500}, {"cartella/due.txt", 10}, {"tre.txt", 2400}}, "commento", 1800},
        {{{"a.bin", 1900}}, "x", 1000},
    };
    std::vector<TBytes> samples;
    int n = 0;
    for (const TSource& source : sources) {
        const fs::path archive = StoredSource(Dir / ("source" + std::to_string(n) + ".zip"), source.Entries, source.Comment);
        const fs::path output = Dir / ("set" + std::to_string(n)) / "fz.zip";
        fs::create_directories(output.parent_path());
        Zip->SetMaxVolumeSize(source.PartSize);
        Zip->SetMinFreeVolumeSize(100);
        ASSERT_EQ(Zip->WriteSpan(archive.string(), output.string()), 0) << Zip->LastMessage;
        std::vector<fs::path> parts = SpanParts(output);
        ASSERT_EQ(parts.size(), 3u);
        const std::string input = ReadSpanFuzzInput({AsText(ReadBytes(parts[0])), AsText(ReadBytes(parts[1])),
                                                     AsText(ReadBytes(parts[2]))});
        samples.emplace_back(input.begin(), input.end());
        ++n;
    }
    for (const TBytes& sample : samples)
        RunReadSpanFuzzCase(sample.data(), sample.size());
    std::mt19937 random(20261211);
    const int rounds = 400 * TestScale();
    for (int i = 0; i < rounds; ++i) {
        TBytes mutated = samples[random() % samples.size()];
        TBytes body(mutated.begin() + ReadSpanFuzzHeader, mutated.end());
        body = MutateArchive(body, random);
        mutated.resize(ReadSpanFuzzHeader);
        if (random() % 4 == 0)
            PutLE32(mutated.data() + 4 * (random() % 2), static_cast<std::uint32_t>(random()));
        mutated.insert(mutated.end(), body.begin(), body.end());
        RunReadSpanFuzzCase(mutated.data(), mutated.size());
    }
    EXPECT_TRUE(Boxes().empty());
}
