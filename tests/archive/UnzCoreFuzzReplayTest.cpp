// Replays the unzip engine's fuzz target over the archives of the engine tests and deterministic
// mutations of their directories, headers and data.

#include "tests/TestScale.h"
#include "ZipCoreTestSupport.h"

#include "fuzz/UnzCoreFuzzCase.h"

#include <random>

std::vector<TBytes> UnzCoreFuzzCorpus(const fs::path& scratch)
{
    RegisterZipCoreModules();
    std::vector<TBytes> samples;
    const fs::path tree = MakeSampleTree(scratch / "tree");
    for (const char* options : {"-r -9", "-r -0", "-r -P segreto"}) {
        const fs::path archive = scratch / "tool.zip";
        fs::remove(archive);
        samples.push_back(ReadBytes(ZipToolArchive(tree, archive, options)));
    }
    const TBytes streamed = ReadBytes(PythonStreamedArchive(tree, scratch / "streamed.zip"));
    samples.push_back(streamed);
    TBytes deflate64 = streamed;
    PatchMethod(deflate64, "immagine.bin", 9);
    samples.push_back(deflate64);
    TBytes withStub = LcgBytes(300);
    withStub.insert(withStub.end(), samples[0].begin(), samples[0].end());
    samples.push_back(withStub);
    WriteBytes(scratch / "adjusted.exe", withStub);
    EXPECT_EQ(RunCommand("zip -q -A " + Quoted(scratch / "adjusted.exe")), 0);
    samples.push_back(ReadBytes(scratch / "adjusted.exe"));
    TBytes commented = samples[0];
    PutLE16(commented.data() + commented.size() - 2, 100);
    commented.insert(commented.end(), 100, 'c');
    samples.push_back(commented);

    // A document file of the built-in writer, whose members are shrunk.
    TZip document(nullptr);
    document.SetArcName((scratch / "doc.tsd").string());
    document.Files()->Add((tree / "Data" / "Clienti.DAT").string());
    document.Files()->Add((tree / "Report" / "Default" / "fattura.frf").string());
    EXPECT_TRUE(document.Compress());
    samples.push_back(ReadBytes(scratch / "doc.tsd"));

    std::vector<TRawMember> old;
    for (const TOldMethodCase& c : OldMethodCases())
        old.push_back(c.Member);
    samples.push_back(MakeArchive(old));
    samples.push_back(ReadBytes(PythonUnsafeArchive(scratch / "unsafe.zip")));
    TBytes endless;
    for (int i = 0; i < 50; ++i)
        for (std::uint8_t b : FromHex("000000ffff"))
            endless.push_back(b);
    TRawMember never;
    never.Name = "mai.txt";
    never.Method = ZipMethodDeflated;
    never.Data = endless;
    never.UncompressedSize = 10;
    samples.push_back(MakeArchive({never, StoredMember("ok.txt", "bene")}));
    TBytes end(ZipEndRecordSize);
    EncodeEndRecord(0, 0, 0, end.data());
    samples.push_back(end);

    // Archives of the zip engine: names in code page 850 and in UTF-8, encrypted entries.
    MakeFileAt(scratch / "data" / "Caff\xC3\xA8.txt", TableBytes(3000));
    MakeFileAt(scratch / "data" / "prezzo \xE2\x82\xAC.txt", TextBytes("10"));
    MakeFileAt(scratch / "data" / "Data" / "Clienti.DAT", TableBytes(20000, 5));
    for (bool encrypted : {false, true}) {
        TZipCall call(scratch / "engine.zip", scratch / "data", {"."});
        call.Record.Encrypt = encrypted ? 1 : 0;
        call.Password = encrypted ? "segreto" : "";
        fs::remove(scratch / "engine.zip");
        call.Run();
        samples.push_back(ReadBytes(scratch / "engine.zip"));
    }
    return samples;
}

namespace {

class UnzCoreFuzzReplay : public TArchiveTest {};

} // namespace

TEST_F(UnzCoreFuzzReplay, CorpusAndMutationsStayInsideTheFolder)
{
    const std::vector<TBytes> samples = UnzCoreFuzzCorpus(Dir / "samples");
    for (const TBytes& sample : samples)
        RunUnzCoreFuzzCase(sample.data(), sample.size());
    std::mt19937 random(20270115);
    const int rounds = 400 * TestScale();
    for (int i = 0; i < rounds; ++i) {
        const TBytes mutated = MutateArchive(samples[random() % samples.size()], random);
        RunUnzCoreFuzzCase(mutated.data(), mutated.size());
    }
}
