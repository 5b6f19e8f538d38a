// The directory reader: the end-record search, prefixes in front of an archive and each way a
// directory can be damaged.

#include "ZipCoreTestSupport.h"

namespace {

class ZipDirectoryTest : public TZipCoreTest {
protected:
    TZipDirectoryFailure Read(const TBytes& bytes, TZipDirectory& directory)
    {
        WriteBytes(Dir / "a.zip", bytes);
        TZipArchiveFile file((Dir / "a.zip").string());
        EXPECT_TRUE(file.IsOpen());
        return ReadZipDirectory(file, directory);
    }

    static TBytes WithComment(TBytes archive, const std::string& comment)
    {
        PutLE16(archive.data() + archive.size() - 2, static_cast<std::uint16_t>(comment.size()));
        archive.insert(archive.end(), comment.begin(), comment.end());
        return archive;
    }

    static TBytes EndRecordOnly()
    {
        TBytes end(ZipEndRecordSize);
        EncodeEndRecord(0, 0, 0, end.data());
        return end;
    }
};

} // namespace

TEST_F(ZipDirectoryTest, EndRecordIsFoundBehindCommentsAndPadding)
{
    TZipDirectory directory;
    ASSERT_EQ(Read(EndRecordOnly(), directory), TZipDirectoryFailure::None);
    EXPECT_TRUE(directory.Entries.empty());
    EXPECT_EQ(directory.PrefixSize, 0);

    const TBytes plain = MakeArchive({StoredMember("a.txt", "alfa"), StoredMember("dir/b.txt", "beta")});
    // A comment that holds an end signature of its own whose comment would run past the file.
    std::string comment = "Tessellarium_3.0.18 PK";
    comment += std::string("\x05\x06", 2) + std::string(16, '\0') + "\xFF\xFF";
    ASSERT_EQ(Read(WithComment(plain, comment), directory), TZipDirectoryFailure::None);
    EXPECT_EQ(directory.End.RawComment, comment.substr(0, comment.find('\0')));
    ASSERT_EQ(directory.Entries.size(), 2u);
    EXPECT_EQ(directory.Entries[1].Name, "dir/b.txt");
    EXPECT_EQ(directory.Entries[1].Header.UncompressedSize, 4u);

    TBytes padded = WithComment(plain, "c");
    padded.resize(padded.size() + 300, 0);
    ASSERT_EQ(Read(padded, directory), TZipDirectoryFailure::None);
    EXPECT_EQ(directory.End.ArchiveSize + 300, directory.End.PhysicalSize);

    // Bytes in front, with the offsets as they were and without entries.
    TBytes prefixed = LcgBytes(500);
    prefixed.insert(prefixed.end(), plain.begin(), plain.end());
    ASSERT_EQ(Read(prefixed, directory), TZipDirectoryFailure::None);
    EXPECT_EQ(directory.Shift, 500);
    EXPECT_EQ(directory.PrefixSize, 500);
    EXPECT_EQ(directory.Entries[0].LocalOffset, 500);
    TBytes emptyBehindStub = LcgBytes(500);
    const TBytes end = EndRecordOnly();
    emptyBehindStub.insert(emptyBehindStub.end(), end.begin(), end.end());
    ASSERT_EQ(Read(emptyBehindStub, directory), TZipDirectoryFailure::None);
    EXPECT_EQ(directory.PrefixSize, 500);
}

TEST_F(ZipDirectoryTest, EachDamageHasItsFailure)
{
    const TBytes good = MakeArchive({StoredMember("a.txt", "alfa"), StoredMember("b.txt", "beta")});
    const std::size_t end = good.size() - ZipEndRecordSize;
    const std::size_t second = end - (ZipCentralHeaderSize + 5);
    struct TCase {
        TZipDirectoryFailure Expected;
        std::function<void(TBytes&)> Spoil;
    } cases[] = {
        {TZipDirectoryFailure::EndRecordMissing, [&](TBytes& b) { b.resize(21); }},
        {TZipDirectoryFailure::EndRecordMissing, [&](TBytes& b) { PutLE16(b.data() + end + 20, 1); }},
        {TZipDirectoryFailure::Seek, [&](TBytes& b) { PutLE32(b.data() + end + 12, 0xFFFFFF); }},
        {TZipDirectoryFailure::ShortHeader, [&](TBytes& b) { PutLE16(b.data() + end + 10, 0xFFFF); }},
        {TZipDirectoryFailure::WrongSignature, [&](TBytes& b) { b[second] = 'X'; }},
        {TZipDirectoryFailure::ShortName, [&](TBytes& b) { PutLE16(b.data() + second + 28, 6); }},
        {TZipDirectoryFailure::ShortExtra, [&](TBytes& b) { PutLE16(b.data() + second + 30, 1); }},
        {TZipDirectoryFailure::ShortComment, [&](TBytes& b) { PutLE16(b.data() + second + 32, 1); }},
        {TZipDirectoryFailure::MultiDisk, [&](TBytes& b) { PutLE16(b.data() + end + 4, 1); }},
        {TZipDirectoryFailure::Overlapping, [&](TBytes& b) { PutLE32(b.data() + second + 42, 10); }},
        {TZipDirectoryFailure::Overlapping, [&](TBytes& b) { PutLE32(b.data() + second + 20, 100); }},
    };
    for (const TCase& c : cases) {
        TBytes bytes = good;
        c.Spoil(bytes);
        TZipDirectory directory;
        EXPECT_EQ(Read(bytes, directory), c.Expected) << static_cast<int>(c.Expected);
    }
    TZipDirectory directory;
    EXPECT_EQ(Read(good, directory), TZipDirectoryFailure::None);
}

TEST_F(ZipDirectoryTest, AddingToAnEmptyArchiveBehindAStubKeepsTheStub)
{
    TBytes stub = LcgBytes(500);
    const TBytes end = EndRecordOnly();
    TBytes archive = stub;
    archive.insert(archive.end(), end.begin(), end.end());
    WriteBytes(Dir / "nuovo.exe", archive);
    MakeFile(Dir / "data" / "a.txt", TableBytes(2000));
    TZipCall call(Dir / "nuovo.exe", Dir / "data", {"*"});
    ASSERT_EQ(call.Run(), 1);
    const TBytes after = ReadBytes(Dir / "nuovo.exe");
    EXPECT_TRUE(std::equal(stub.begin(), stub.end(), after.begin()));
    std::string output;
    EXPECT_EQ(RunCommand("unzip -tq " + Quoted(Dir / "nuovo.exe"), &output), 0) << output;
    EXPECT_EQ(output.find("warning"), std::string::npos) << output;
}
