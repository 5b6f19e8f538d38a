#include "ArchiveTestSupport.h"

#include "platform/os/MessageBox.h"

#include <pthread.h>

namespace {

const char* DocumentHex =
    "504b03040a0000000100" "8f52653a" "c518201d" "07000000" "14000000" "0c000000"
    "41727469636f6c692e616674" "41020a1c489020"
    "504b03040a0000000000" "8f52653a" "31cfd04a" "01000000" "01000000" "0b000000"
    "436c69656e74652e636674" "42"
    "504b01020a000a0000000100" "8f52653a" "c518201d" "07000000" "14000000" "0c00" "0000"
    "0000" "0000" "0000" "20000000" "00000000" "41727469636f6c692e616674"
    "504b01020a000a0000000000" "8f52653a" "31cfd04a" "01000000" "01000000" "0b00" "0000"
    "0000" "0000" "0000" "20000000" "31000000" "436c69656e74652e636674"
    "504b0506" "0000" "0000" "0200" "0200" "73000000" "5b000000" "0000";

class ZipWriter : public TArchiveTest {
protected:
    // Articoli.aft and Cliente.cft as the document save stages them.
    void MakeDocumentTables(const fs::path& folder)
    {
        fs::create_directories(folder);
        WriteBytes(folder / "Articoli.aft", TBytes(20, 0x41));
        WriteBytes(folder / "Cliente.cft", TBytes{0x42});
        SetModificationTime(folder / "Articoli.aft", FixtureMoment);
        SetModificationTime(folder / "Cliente.cft", FixtureMoment);
    }

    bool CompressDocument(const fs::path& archive)
    {
        MakeDocumentTables(Dir / "Temp");
        return CompressFiles(archive, {(Dir / "Temp" / "Cliente.cft").string(),
                                       (Dir / "Temp" / "Articoli.aft").string()});
    }

    // The method, compressed size and compressed bytes of the first member.
    struct TFirstMember {
        std::uint16_t Method = 0;
        std::uint32_t CompressedSize = 0;
        std::uint32_t DataCrc = 0;
    };
    static TFirstMember FirstMember(const TBytes& archive)
    {
        TZipLocalHeader header = DecodeLocalHeader(archive.data() + 4);
        TFirstMember first{header.Method, header.CompressedSize, 0};
        const std::uint8_t* data = archive.data() + ZipLocalHeaderSize + header.NameLength;
        first.DataCrc = ZipCrc32(data, header.CompressedSize);
        return first;
    }
};

} // namespace

TEST_F(ZipWriter, DocumentFileIsByteExact)
{
    fs::path archive = Dir / "doc.tsd";
    ASSERT_TRUE(CompressDocument(archive));
    EXPECT_TRUE(Messages.empty());
    EXPECT_EQ(ReadBytes(archive), FromHex(DocumentHex));

    std::string listing;
    RunCommand("zipinfo " + Quoted(archive), &listing);
    EXPECT_NE(listing.find("1.0 fat       20 b- shrk 09-Mar-05 10:20 Articoli.aft"), std::string::npos)
        << listing;
    EXPECT_NE(listing.find("1.0 fat        1 b- stor 09-Mar-05 10:20 Cliente.cft"), std::string::npos)
        << listing;
    std::string test;
    RunCommand("unzip -t " + Quoted(archive), &test);
    EXPECT_NE(test.find("No errors detected in compressed data of " + archive.string() + "."),
              std::string::npos) << test;
    ExpectPeersAccept(archive);
}

TEST_F(ZipWriter, ProgressRoundsHalvesToEven)
{
    WriteBytes(Dir / "eight.bin", TBytes{1, 2, 3, 4, 5, 6, 7, 8});
    TZip zip(nullptr);
    std::vector<int> progress;
    zip.OnProgress = [&](TObject* sender, std::int16_t percent) {
        EXPECT_EQ(sender, &zip);
        progress.push_back(percent);
    };
    ASSERT_TRUE(CompressFiles(Dir / "p.zip", {(Dir / "eight.bin").string()}, &zip));
    EXPECT_EQ(progress, (std::vector<int>{12, 25, 38, 50, 62, 75, 88, 100}));
}

TEST_F(ZipWriter, LcgTextShrinksAsExpected)
{
    TBytes text = LcgBytes(1000000);
    WriteBytes(Dir / "lcg.txt", text);
    TZip zip(nullptr);
    ASSERT_TRUE(CompressFiles(Dir / "lcg.zip", {(Dir / "lcg.txt").string()}, &zip));
    TFirstMember first = FirstMember(ReadBytes(Dir / "lcg.zip"));
    EXPECT_EQ(first.Method, ZipMethodShrunk);
    EXPECT_EQ(first.CompressedSize, 460826u);
    EXPECT_EQ(first.DataCrc, 0xD65EBE65u);
    EXPECT_EQ(zip.ShrinkStatistics().Widenings, 4u);
    EXPECT_EQ(zip.ShrinkStatistics().PartialClears, 55u);

    std::string output;
    EXPECT_EQ(RunCommand("unzip -tq " + Quoted(Dir / "lcg.zip"), &output), 0) << output;
    EXPECT_EQ(RunCommand(SevenZip() + " t " + Quoted(Dir / "lcg.zip"), &output), 0) << output;
    EXPECT_EQ(RunCommand("unzip -p " + Quoted(Dir / "lcg.zip") + " lcg.txt | cmp - " +
                             Quoted(Dir / "lcg.txt"), &output), 0) << output;
    EXPECT_TRUE(output.empty()) << output;
}

namespace {
struct TThreadCompress {
    TZip* Zip = nullptr;
    bool Result = false;
};
} // namespace

TEST_F(ZipWriter, LongZeroRunClearsIterativelyOnASmallStack)
{
    {
        std::ofstream out(Dir / "zeros.bin", std::ios::binary);
        std::vector<char> block(1 << 20, 0);
        for (int i = 0; i < 31; ++i)
            out.write(block.data(), static_cast<std::streamsize>(block.size()));
        out.write(block.data(), 33000000 - 31 * (1 << 20));
    }
    TZip zip(nullptr);
    zip.SetArcName((Dir / "zeros.zip").string());
    zip.Files()->Add((Dir / "zeros.bin").string());
    zip.Overwrite = true;
    zip.OnError = [this](TObject*, const std::string& message) { Messages.push_back(message); };

    // 256 KiB of stack would not hold thousands of levels of recursion.
    TThreadCompress job{&zip, false};
    pthread_attr_t attributes;
    pthread_attr_init(&attributes);
    pthread_attr_setstacksize(&attributes, 256 * 1024);
    pthread_t thread;
    ASSERT_EQ(pthread_create(&thread, &attributes,
                             [](void* arg) -> void* {
                                 auto* job = static_cast<TThreadCompress*>(arg);
                                 job->Result = job->Zip->Compress();
                                 return nullptr;
                             },
                             &job), 0);
    pthread_join(thread, nullptr);
    pthread_attr_destroy(&attributes);
    ASSERT_TRUE(job.Result);
    EXPECT_TRUE(Messages.empty());

    TFirstMember first = FirstMember(ReadBytes(Dir / "zeros.zip"));
    EXPECT_EQ(first.Method, ZipMethodShrunk);
    EXPECT_EQ(first.CompressedSize, 13320u);
    EXPECT_EQ(first.DataCrc, 0x3DA65810u);
    EXPECT_EQ(zip.ShrinkStatistics().Widenings, 4u);
    EXPECT_EQ(zip.ShrinkStatistics().PartialClears, 192u);
    ExpectPeersAccept(Dir / "zeros.zip");
}

TEST_F(ZipWriter, IncompressibleAndEmptyFilesAreStored)
{
    TBytes noise(102400);
    std::uint32_t x = 12345;
    for (std::uint8_t& byte : noise) {
        x = x * 1664525u + 1013904223u;
        byte = static_cast<std::uint8_t>(x >> 24);
    }
    WriteBytes(Dir / "noise.bin", noise);
    ASSERT_TRUE(CompressFiles(Dir / "noise.zip", {(Dir / "noise.bin").string()}));
    TBytes archive = ReadBytes(Dir / "noise.zip");
    const std::size_t n = 9;
    EXPECT_EQ(archive.size(), 30 + n + 102400 + 46 + n + 22);
    EXPECT_EQ(FirstMember(archive).Method, ZipMethodStored);
    ExpectPeersAccept(Dir / "noise.zip");

    WriteBytes(Dir / "empty.txt", {});
    ASSERT_TRUE(CompressFiles(Dir / "empty.zip", {(Dir / "empty.txt").string()}));
    TZipLocalHeader header = DecodeLocalHeader(ReadBytes(Dir / "empty.zip").data() + 4);
    EXPECT_EQ(header.Method, ZipMethodStored);
    EXPECT_EQ(header.Crc, 0u);
    EXPECT_EQ(header.CompressedSize, 0u);
    EXPECT_EQ(header.UncompressedSize, 0u);
    ExpectPeersAccept(Dir / "empty.zip");
}

TEST_F(ZipWriter, SameBareNameStoresTheLaterFile)
{
    fs::create_directories(Dir / "one");
    fs::create_directories(Dir / "two");
    WriteText(Dir / "one" / "same.txt", "first");
    WriteText(Dir / "two" / "same.txt", "second");
    ASSERT_TRUE(CompressFiles(Dir / "s.zip", {(Dir / "one" / "same.txt").string(),
                                              (Dir / "two" / "same.txt").string()}));
    std::string output;
    RunCommand("unzip -Z1 " + Quoted(Dir / "s.zip"), &output);
    EXPECT_EQ(output, "same.txt\n");
    RunCommand("unzip -p " + Quoted(Dir / "s.zip"), &output);
    EXPECT_EQ(output, "second");
}

TEST_F(ZipWriter, MaskStoresPlainFilesOfItsFolderOnly)
{
    fs::create_directories(Dir / "dir" / "sub.aft");
    WriteText(Dir / "dir" / "a.aft", "a");
    WriteText(Dir / "dir" / "B.AFT", "b");
    WriteText(Dir / "dir" / "c.cft", "c");
    WriteText(Dir / "dir" / "sub.aft" / "d.aft", "d");
    // The archive sits in the folder and matches the mask: it must not store itself.
    WriteText(Dir / "dir" / "pack.aft", "old archive");
    std::string line = (Dir / "dir").string() + "\\*.aft";
    ASSERT_TRUE(CompressFiles(Dir / "dir" / "pack.aft", {line}));
    std::string output;
    RunCommand("unzip -Z1 " + Quoted(Dir / "dir" / "pack.aft"), &output);
    EXPECT_EQ(output, "B.AFT\na.aft\n");
    // Beside "Doc.tsd" a "Doc.tsdx" is a different file and is stored.
    WriteText(Dir / "dir" / "Doc.tsdx", "x");
    WriteText(Dir / "dir" / "Doc.tsd", "old document");
    ASSERT_TRUE(CompressFiles(Dir / "dir" / "Doc.tsd", {(Dir / "dir").string() + "/Doc.tsd*"}));
    RunCommand("unzip -Z1 " + Quoted(Dir / "dir" / "Doc.tsd"), &output);
    EXPECT_EQ(output, "Doc.tsdx\n");
}

TEST_F(ZipWriter, NothingToStoreCreatesNothing)
{
    WriteText(Dir / "real.txt", "r");
    // A missing line is dropped silently; the others are stored.
    ASSERT_TRUE(CompressFiles(Dir / "a.zip", {(Dir / "missing.txt").string(), (Dir / "real.txt").string()}));
    EXPECT_TRUE(Messages.empty());

    EXPECT_FALSE(CompressFiles(Dir / "b.zip", {(Dir / "missing.txt").string()}));
    EXPECT_EQ(Messages, std::vector<std::string>{"No files for compress !"});
    EXPECT_FALSE(fs::exists(Dir / "b.zip"));

    Messages.clear();
    EXPECT_FALSE(CompressFiles(Dir / "c.zip", {}));
    EXPECT_EQ(Messages, std::vector<std::string>{"No files for compress !"});
    EXPECT_FALSE(fs::exists(Dir / "c.zip"));
}

TEST_F(ZipWriter, OverwriteFalseKeepsTheArchive)
{
    fs::path archive = Dir / "doc.tsd";
    WriteText(archive, "previous");
    SetModificationTime(archive, FixtureMoment);
    MakeDocumentTables(Dir / "Temp");
    TZip zip(nullptr);
    zip.SetArcName(archive.string());
    zip.Files()->Add((Dir / "Temp" / "Articoli.aft").string());
    zip.OnError = [this](TObject*, const std::string& message) { Messages.push_back(message); };
    EXPECT_FALSE(zip.Compress());
    EXPECT_EQ(Messages, std::vector<std::string>{"No overwite rights for file " + archive.string() + "!"});
    EXPECT_EQ(ReadBytes(archive), TextBytes("previous"));
    EXPECT_EQ(ModificationTime(archive), FixtureMoment);
}

TEST_F(ZipWriter, MemberThatCannotBeOpenedIsLeftOut)
{
    TZip zip(nullptr);
    zip.Seams.RefuseOpen = [](const std::string& path) { return path.find("Cliente") != std::string::npos; };
    MakeDocumentTables(Dir / "Temp");
    EXPECT_FALSE(CompressFiles(Dir / "doc.tsd", {(Dir / "Temp" / "Cliente.cft").string(),
                                                 (Dir / "Temp" / "Articoli.aft").string()}, &zip));
    EXPECT_EQ(Messages, std::vector<std::string>{"Cannot open \"Cliente.cft\", go just next..."});
    std::string output;
    RunCommand("unzip -Z1 " + Quoted(Dir / "doc.tsd"), &output);
    EXPECT_EQ(output, "Articoli.aft\n");
    ExpectPeersAccept(Dir / "doc.tsd");
}

TEST_F(ZipWriter, FailuresLeaveThePreviousArchive)
{
    fs::path archive = Dir / "doc.tsd";
    ASSERT_TRUE(CompressDocument(archive));
    TBytes before = ReadBytes(archive);
    WriteBytes(Dir / "Temp" / "Articoli.aft", LcgBytes(200000));

    TZip failing(nullptr);
    failing.Seams.FailWrite = [](std::int64_t written) { return written > 50000; };
    EXPECT_FALSE(CompressFiles(archive, {(Dir / "Temp" / "Articoli.aft").string()}, &failing));
    EXPECT_EQ(ReadBytes(archive), before);

    // A file whose size changed since it was listed is refused and cut out of the archive.
    TZip changing(nullptr);
    changing.Seams.ChangeListedSize = [](const std::string& path, std::int64_t& size) {
        if (path.find("Articoli") != std::string::npos)
            size -= 1;
    };
    Messages.clear();
    EXPECT_FALSE(CompressFiles(Dir / "changed.zip", {(Dir / "Temp" / "Articoli.aft").string(),
                                                     (Dir / "Temp" / "Cliente.cft").string()}, &changing));
    EXPECT_EQ(Messages, std::vector<std::string>{"Cannot open \"Articoli.aft\", go just next..."});
    std::string output;
    RunCommand("unzip -Z1 " + Quoted(Dir / "changed.zip"), &output);
    EXPECT_EQ(output, "Cliente.cft\n");
    ExpectPeersAccept(Dir / "changed.zip");

    // No temporary file is left behind by any of this.
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(Dir))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"Temp", "changed.zip", "doc.tsd"}));

    // A folder that does not exist cannot hold the archive.
    Messages.clear();
    std::string missing = (Dir / "no" / "such" / "x.zip").string();
    EXPECT_FALSE(CompressFiles(missing, {(Dir / "Temp" / "Cliente.cft").string()}));
    EXPECT_EQ(Messages, std::vector<std::string>{"Cannot open file \"" + missing + "\""});
}

TEST_F(ZipWriter, WithoutOnErrorTheWarningBoxShowsTheMessage)
{
    std::vector<std::string> shown;
    TMessageBoxHandler previous = SetMessageBoxHandler(
        [&](HWND, const std::string& text, const std::string& caption, UINT type) {
            shown.push_back(caption + "|" + text + "|" + std::to_string(type));
            return IDOK;
        });
    TZip zip(nullptr);
    zip.SetArcName((Dir / "x.zip").string());
    EXPECT_FALSE(zip.Compress());
    SetMessageBoxHandler(previous);
    EXPECT_EQ(shown, std::vector<std::string>{"Attenzione|No files for compress !|" +
                                              std::to_string(MB_OK | MB_ICONWARNING)});
}

TEST_F(ZipWriter, PipeInTheFolderIsLeftOutWithoutWaiting)
{
    fs::create_directories(Dir / "dir");
    WriteText(Dir / "dir" / "a.txt", "a");
    ASSERT_EQ(mkfifo((Dir / "dir" / "pipe.txt").c_str(), 0600), 0);
    EXPECT_FALSE(CompressFiles(Dir / "p.zip", {(Dir / "dir").string() + "/*.txt"}));
    EXPECT_EQ(Messages, std::vector<std::string>{"Cannot open \"pipe.txt\", go just next..."});
    std::string output;
    RunCommand("unzip -Z1 " + Quoted(Dir / "p.zip"), &output);
    EXPECT_EQ(output, "a.txt\n");
}
