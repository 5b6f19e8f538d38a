#include "CabTestSupport.h"

#include "archive/ApiError.h"
#include "archive/myfile.h"
#include "archive/mystring.h"
#include "platform/rtl/Threads.h"

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

namespace {

TEST_F(CabTest, SplitSetStaysWithinThePartSizeAndExtractsWhole)
{
    TCABArchiver archiver(nullptr);
    archiver.SetFileDirExtraction(true);
    archiver.MultiDisk = true;
    archiver.Size = 64;
    archiver.TypeCut = TDisk::InKilobyte;
    AddSources(archiver);
    const fs::path first = root / "set" / "out.cab";
    archiver.FileName = first.string();
    ASSERT_TRUE(archiver.Compress());

    std::vector<fs::path> members{first};
    for (int number = 1; fs::exists(root / "set" / ("out" + std::to_string(number) + ".CAB")); ++number)
        members.push_back(root / "set" / ("out" + std::to_string(number) + ".CAB"));
    EXPECT_GE(members.size(), 6u); // 400 KB of input that does not shrink
    for (const fs::path& member : members)
        EXPECT_LE(fs::file_size(member), 65536u) << member;

    std::string output;
    ASSERT_EQ(RunCommand("cd " + Quoted(root / "set") + " && cabextract -t out.cab", &output), 0) << output;
    for (const char* name : {"testo.txt", "casuale.bin", "vuoto.dat"})
        EXPECT_THAT(output, HasSubstr("  " + std::string(name) + "  OK"));

    TCABArchiver reader(nullptr);
    reader.SetFileDirExtraction(true);
    reader.FileName = first.string();
    reader.ExtractDir = (root / "back").string();
    ASSERT_TRUE(reader.ExtractSpan());
    const auto restored = Tree(root / "back");
    ASSERT_EQ(restored.size(), 3u);
    for (const char* name : {"testo.txt", "casuale.bin", "vuoto.dat"})
        EXPECT_EQ(restored.at(name), ReadBytes(Source(name))) << name;
}

class ForeignCabinets : public CabTest, public testing::WithParamInterface<const char*> {};

TEST_P(ForeignCabinets, ExtractAllSelectedAndContents)
{
    fs::create_directories(root / "src" / "sotto");
    WriteText(root / "src" / "sotto" / "nota.txt", "Fattura n. 12 del 2024\r\n");
    for (const char* name : {"testo.txt", "casuale.bin", "vuoto.dat", "sotto/nota.txt"})
        SetModificationTime(root / "src" / name, FixtureMoment);
    const fs::path cabinet = root / "gcab.cab";
    std::string output;
    ASSERT_EQ(RunCommand("cd " + Quoted(root / "src") + " && gcab " + GetParam() + " " + Quoted(cabinet)
                             + " testo.txt casuale.bin vuoto.dat sotto/nota.txt",
                         &output),
              0)
        << output;

    TCABArchiver archiver(nullptr);
    archiver.FileName = cabinet.string();
    archiver.ExtractDir = (root / "tutto").string();
    ASSERT_TRUE(archiver.ExtractAll());
    const auto all = Tree(root / "tutto");
    ASSERT_EQ(all.size(), 4u);
    for (const char* name : {"testo.txt", "casuale.bin", "vuoto.dat", "sotto/nota.txt"}) {
        EXPECT_EQ(all.at(name), ReadBytes(root / "src" / name)) << name;
        EXPECT_EQ(ModificationTime(root / "tutto" / name), FixtureMoment) << name;
    }

    TCABArchiver selecting(nullptr);
    selecting.FileName = cabinet.string();
    selecting.ExtractDir = (root / "scelti").string();
    EXPECT_EQ(selecting.GetContents(), 300000 + 100000 + 0 + 24);
    ASSERT_EQ(selecting.Contents().Count(), 4);
    for (int index = 0; index < selecting.Contents().Count(); ++index) {
        TCABItem* item = selecting.GetCabItem(index);
        item->Selected = item->BareName == "casuale.bin" || item->BareName == "nota.txt";
    }
    ASSERT_TRUE(selecting.ExtractFile());
    const auto chosen = Tree(root / "scelti");
    ASSERT_EQ(chosen.size(), 2u);
    EXPECT_EQ(chosen.at("casuale.bin"), ReadBytes(Source("casuale.bin")));
    EXPECT_EQ(chosen.at("sotto/nota.txt"), ReadBytes(root / "src" / "sotto" / "nota.txt"));
}

INSTANTIATE_TEST_SUITE_P(Gcab, ForeignCabinets, testing::Values("-c", "-cz"),
                         [](const auto& info) { return std::string(info.param[2] == 'z' ? "MsZip" : "Stored"); });

TEST_F(CabTest, CompressReportsFromPreparationToTheFiveResets)
{
    TCABArchiver archiver(nullptr);
    std::vector<std::pair<std::string, int>> messages;
    archiver.OnCABMessage = [&](TObject*, std::int64_t, std::int64_t, const std::string& text, TStat mode,
                                const std::string&) { messages.emplace_back(text, mode); };
    AddSources(archiver);
    archiver.FileName = (root / "out.cab").string();
    ASSERT_TRUE(archiver.Compress());
    ASSERT_GE(messages.size(), 6u);
    EXPECT_EQ(messages.front(), std::make_pair(std::string("Preparation in run..."), 0));
    const std::vector<std::pair<std::string, int>> ending{{"", 1}, {"", 2}, {"", 4}, {"", 5}, {"", 6}};
    const std::vector<std::pair<std::string, int>> last(messages.end() - 5, messages.end());
    EXPECT_EQ(last, ending);
    EXPECT_EQ(messages[messages.size() - 6].first, "Compression of " + archiver.FileName + " done!");
}

TEST_F(CabTest, PreconditionsRaiseTheirExactTexts)
{
    const std::string cabinet = (root / "out.cab").string();
    struct TCase {
        std::function<void(TCABArchiver&)> Prepare;
        std::function<void(TCABArchiver&)> Run;
        const char* Text;
    };
    const auto compress = [](TCABArchiver& archiver) { archiver.Compress(); };
    const auto extract = [](TCABArchiver& archiver) { archiver.ExtractAll(); };
    const auto withFiles = [this](TCABArchiver& archiver) { AddSources(archiver); };
    const std::vector<TCase> cases{
        {[](TCABArchiver& a) { a.FileName = "x.cab"; }, compress, "TCABArchiver: List is empty"},
        {withFiles, compress, "TCABArchiver: FileName is empty"},
        {[&](TCABArchiver& a) { a.FileName = cabinet; }, extract, "TCABArchiver: No extract directory select"},
        {[&](TCABArchiver& a) { a.FileName = cabinet + ".manca"; a.ExtractDir = root.string(); }, extract,
         "TCABArchiver: The Cab file doesn't exist"},
        {[&](TCABArchiver& a) { withFiles(a); a.FileName = cabinet; a.MultiDisk = true; a.Size = 0; }, compress,
         "TCABArchiver: The spanning size is not correct!"},
        {[&](TCABArchiver& a) { withFiles(a); a.FileName = cabinet; a.MultiDisk = true; a.Size = 2147483647; },
         compress, "TCABArchiver: The spanning is not need!"},
    };
    for (const TCase& test : cases) {
        TCABArchiver archiver(nullptr);
        test.Prepare(archiver);
        try {
            test.Run(archiver);
            ADD_FAILURE() << "no exception for " << test.Text;
        } catch (const Exception& error) {
            EXPECT_EQ(error.Message, test.Text);
        }
    }
}

TEST_F(CabTest, ReaderStopAndWriterQuantumAndMissingSource)
{
    TCABArchiver archiver(nullptr);
    archiver.SetFileDirExtraction(true);
    AddSources(archiver);
    archiver.FileName = (root / "out.cab").string();
    archiver.Compress();

    // The user's stop is no error.
    TStreamCabinetFileHandler handler(nullptr);
    TCabinetReader reader(nullptr);
    reader.SetFileHandler(&handler);
    int offered = 0;
    reader.OnCopyFile = [&](TObject*, const std::string&, long, USHORT, USHORT, USHORT, TFileCopyAction& action,
                            INT_PTR&) {
        ++offered;
        action = fcaAbort;
    };
    EXPECT_NO_THROW(reader.Extract(archiver.FileName, root.string()));
    EXPECT_EQ(offered, 1);
    EXPECT_EQ(reader.ErrorRecord().erfOper, FDIERROR_USER_ABORT);

    // Quantum is not written; a missing source fails to open.
    TCabinetWriter writer(nullptr);
    writer.SetFileHandler(&handler);
    writer.Open((root / "q.cab").string(), "Disk", 1, 900000, 2147483647);
    TCabinetCompression quantum;
    quantum.Type = tcompTYPE_QUANTUM;
    quantum.QuantumLevel = 4;
    quantum.QuantumMemory = 20;
    try {
        writer.AddFile(Source("testo.txt").string(), "testo.txt", 0, quantum);
        ADD_FAILURE() << "Quantum accepted";
    } catch (const ECabinetError& error) {
        EXPECT_EQ(error.Message, "Cabinet error 5 (type 0)");
    }
    try {
        writer.AddFile((root / "manca.txt").string(), "manca.txt", 0, TCabinetCompression{});
        ADD_FAILURE() << "missing file accepted";
    } catch (const ECabinetError& error) {
        EXPECT_EQ(error.ErrorCode, FCIERR_OPEN_SRC);
    }
    writer.Close();
    TCABArchiver missing(nullptr);
    EXPECT_EQ(missing.Contents().AddFile((root / "manca.txt").string())->Size, -1);
}

// A disk that fills up: every write past a budget fails.
class TFullDiskHandler : public TStreamCabinetFileHandler {
public:
    using TStreamCabinetFileHandler::TStreamCabinetFileHandler;
    UINT Write(INT_PTR Handle, const void* Buffer, UINT Count, int& Error) override
    {
        if (budget < Count) {
            Error = ERROR_DISK_FULL;
            return 0;
        }
        budget -= Count;
        return TStreamCabinetFileHandler::Write(Handle, Buffer, Count, Error);
    }
    UINT budget = 0;
};

TEST_F(CabTest, FullDiskRaisesAndLeavesNoTemporaryFiles)
{
    const fs::path temporary = root / "tmp";
    fs::create_directories(temporary);
    for (const UINT budget : {20000u, 320000u}) { // full while blocks are gathered, or while the cabinet is written
        TFullDiskHandler handler(nullptr);
        handler.budget = budget;
        TCabinetWriter writer(nullptr);
        writer.SetFileHandler(&handler);
        writer.OnGetTempFile = [&](TObject*, std::string& name, bool& success) {
            name = GetTempFileName(temporary.string() + "/", "cab", 0);
            success = !name.empty();
        };
        const fs::path cabinet = root / "pieno.cab";
        try {
            writer.Open(cabinet.string(), "Disk", 1, 900000, 2147483647);
            writer.AddFile(Source("testo.txt").string(), "testo.txt", 0, TCabinetCompression{});
            writer.FlushCabinet(true);
            ADD_FAILURE() << "a full disk went unnoticed";
        } catch (const ECabinetError& error) {
            EXPECT_TRUE(error.ErrorCode == FCIERR_TEMP_FILE || error.ErrorCode == FCIERR_CAB_FILE) << error.Message;
        }
        writer.Close();
        EXPECT_TRUE(fs::is_empty(temporary)) << budget;
        EXPECT_FALSE(fs::exists(cabinet)) << budget;
    }
}

TEST_F(CabTest, UnsafeNamesAreSkippedAndReported)
{
    TStreamCabinetFileHandler handler(nullptr);
    TCabinetWriter writer(nullptr);
    writer.SetFileHandler(&handler);
    const fs::path cabinet = root / "ostile.cab";
    writer.Open(cabinet.string(), "Disk", 1, 900000, 2147483647);
    for (const char* name : {"..\\evil.txt", "\\abs.txt", "buono.txt", "sotto\\..\\..\\fuga.txt", "sotto\\ok.txt"})
        writer.AddFile(Source("testo.txt").string(), name, 0, TCabinetCompression{});
    writer.FlushCabinet(false);
    writer.Close();

    for (const bool bareNames : {false, true}) {
        const fs::path target = root / "dentro" / (bareNames ? "nudi" : "cartelle");
        TCABArchiver archiver(nullptr);
        archiver.SetFileDirExtraction(bareNames);
        std::vector<std::string> skipped;
        archiver.OnCABMessage = [&](TObject*, std::int64_t, std::int64_t, const std::string& text, TStat,
                                    const std::string&) {
            if (text.rfind("Skipped unsafe name ", 0) == 0)
                skipped.push_back(text);
        };
        archiver.FileName = cabinet.string();
        archiver.ExtractDir = target.string();
        ASSERT_TRUE(archiver.ExtractAll());
        EXPECT_EQ(skipped, (std::vector<std::string>{"Skipped unsafe name ..\\evil.txt", "Skipped unsafe name \\abs.txt",
                                                     "Skipped unsafe name sotto\\..\\..\\fuga.txt"}));
        const auto extracted = Tree(target);
        EXPECT_EQ(extracted.size(), 2u);
        EXPECT_EQ(extracted.count(bareNames ? "ok.txt" : "sotto/ok.txt"), 1u);
        EXPECT_EQ(extracted.count("buono.txt"), 1u);
    }
    for (const char* outside : {"evil.txt", "abs.txt", "fuga.txt", "dentro/evil.txt", "dentro/fuga.txt"})
        EXPECT_FALSE(fs::exists(root / outside)) << outside;
    EXPECT_FALSE(fs::exists("/abs.txt"));
}

TEST(CabHelpers, PathsUpperCaseAndTime)
{
    const std::vector<std::pair<std::string, std::string>> paths{
        {"\\a\\b\\", "a\\b"}, {"\\\\srv\\x", "\\\\srv\\x"}, {"a\\b", "a\\b"}, {"\\", ""}, {"", ""}};
    for (const auto& [given, expected] : paths)
        EXPECT_EQ(NormalizePath(given), expected) << given;
    EXPECT_EQ(JoinPath("\\cartella\\", "\\nome.txt"), "cartella\\nome.txt");

    // Windows-1252: the first four fold to their base letter, while the upper case of the last three
    // is not in the folding table and stays.
    const std::vector<std::pair<std::string, std::string>> letters{
        {"\xE0\xE8\xE9\xF9", "AEEU"}, {"\xEC\xF2\xE7", "\xCC\xD2\xC7"}, {"fattura \xF1", "FATTURA N"}};
    for (const auto& [given, expected] : letters)
        EXPECT_EQ(FoldedUpperCase(given), expected) << given;

    EXPECT_EQ(SubString("Tessellarium", 3, 4), "ssel");
    EXPECT_EQ(SubString("Tessellarium", 9), "rium");
    EXPECT_EQ(AddBackslash("cartella"), "cartella\\");
    EXPECT_EQ(AddBackslash(""), "");
    EXPECT_EQ(EApiError(2).Message.rfind("Error 2: ", 0), 0u);

    std::uint32_t now = 1000;
    SetTickSource([&] { return now; });
    TCABArchiver archiver(nullptr);
    archiver.Start();
    now += 3723 * 1000;
    EXPECT_EQ(archiver.AnsiTime(), "01h02.03");
    ResetTickSource();
}

} // namespace
