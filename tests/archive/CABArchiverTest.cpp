#include "CabTestSupport.h"

#include "archive/ApiError.h"
#include "archive/myfile.h"
#include "archive/mystring.h"

#include <gmock/gmock.h>

namespace {

using testing::HasSubstr;

struct TCompressionCase {
    TCompression Compression;
    const char* Label;
    bool GcabReads; // gcab decodes stored and MSZIP only
};

class CompressionTypes : public CabTest, public testing::WithParamInterface<TCompressionCase> {};

TEST_P(CompressionTypes, PeersAcceptAndExtractTheCabinet)
{
    for (const bool bareNames : {true, false}) {
        SCOPED_TRACE(bareNames ? "bare names" : "full paths");
        TCABArchiver archiver(nullptr);
        archiver.SetFileDirExtraction(bareNames);
        archiver.Compression = GetParam().Compression;
        AddSources(archiver);
        const fs::path cabinet = root / (std::string("out") + (bareNames ? "b" : "p") + ".cab");
        archiver.FileName = cabinet.string();
        ASSERT_TRUE(archiver.Compress());

        std::string output;
        ASSERT_EQ(RunCommand("cabextract -t " + Quoted(cabinet), &output), 0) << output;
        EXPECT_THAT(output, HasSubstr("All done, no errors."));
        EXPECT_EQ(RunCommand("cabextract -l " + Quoted(cabinet), &output), 0) << output;
        const std::string prefix = bareNames ? std::string() : fs::path(root.string().substr(1) + "/src/").string();
        for (const char* name : {"testo.txt", "casuale.bin", "vuoto.dat"})
            EXPECT_THAT(output, HasSubstr("| " + prefix + name + "\n"));

        // Read back by the engine itself, and by gcab where it can.
        const fs::path back = root / ("back" + std::string(bareNames ? "b" : "p"));
        TCABArchiver reader(nullptr);
        reader.SetFileDirExtraction(true);
        reader.FileName = cabinet.string();
        reader.ExtractDir = back.string();
        ASSERT_TRUE(reader.ExtractAll());
        for (const char* name : {"testo.txt", "casuale.bin", "vuoto.dat"})
            EXPECT_EQ(ReadBytes(back / name), ReadBytes(Source(name))) << name;
        if (GetParam().GcabReads && bareNames) {
            const fs::path byGcab = root / "gcab";
            fs::create_directories(byGcab);
            ASSERT_EQ(RunCommand("cd " + Quoted(byGcab) + " && gcab -x " + Quoted(cabinet), &output), 0) << output;
            for (const char* name : {"testo.txt", "casuale.bin", "vuoto.dat"})
                EXPECT_EQ(ReadBytes(byGcab / name), ReadBytes(Source(name))) << name;
        }
        if (GetParam().Compression == TCompression::MsZip) {
            EXPECT_LT(fs::file_size(cabinet), fs::file_size(Source("testo.txt")));
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Cabinet, CompressionTypes,
                         testing::Values(TCompressionCase{TCompression::None, "None", true},
                                         TCompressionCase{TCompression::MsZip, "MsZip", true},
                                         TCompressionCase{TCompression::Lzx15, "Lzx15", false},
                                         TCompressionCase{TCompression::Lzx21, "Lzx21", false}),
                         [](const auto& info) { return std::string(info.param.Label); });

} // namespace
