// Replays the ZIP component's listing fuzz target over the listing fixtures, the engine tests'
// archives and deterministic mutations of their directories and end records.

#include "tests/TestScale.h"
#include "ZipArchiverTestSupport.h"

#include "fuzz/ZipListFuzzCase.h"

namespace {

class ZipListFuzzReplay : public TZipArchiverTest {};

} // namespace

TEST_F(ZipListFuzzReplay, CorpusAndMutationsListWithinTheirBytes)
{
    std::vector<TBytes> samples = UnzCoreFuzzCorpus(Dir / "samples");
    const TBytes plain = MakeArchive({StoredMember("uno.txt", "1"), StoredMember("Caff\x8A.txt", "22")});
    TBytes stubbed = LcgBytes(4000);
    stubbed.insert(stubbed.end(), plain.begin(), plain.end());
    TBytes commented = plain;
    PutLE16(commented.data() + commented.size() - 2, 300);
    commented.insert(commented.end(), 300, 'c');
    TBytes padded = commented;
    padded.insert(padded.end(), 200, 0);
    TBytes claim(ZipEndRecordSize + 10, 0);
    PutLE32(claim.data(), ZipEndRecordSignature);
    PutLE16(claim.data() + 20, 100);
    for (const TBytes& sample : {plain, stubbed, commented, padded, claim, TextBytes("0123456789")})
        samples.push_back(sample);
    for (const TBytes& sample : samples)
        RunZipListFuzzCase(sample.data(), sample.size());
    std::mt19937 random(20261211);
    const int rounds = 800 * TestScale();
    for (int i = 0; i < rounds; ++i) {
        const TBytes mutated = MutateArchive(samples[random() % samples.size()], random);
        RunZipListFuzzCase(mutated.data(), mutated.size());
    }
    EXPECT_TRUE(Boxes().empty());
}
