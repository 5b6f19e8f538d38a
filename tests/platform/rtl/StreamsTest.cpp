#include "platform/rtl/Streams.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>

#include <sys/stat.h>

namespace {

namespace fs = std::filesystem;

class StreamsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::string pattern = (fs::temp_directory_path() / "tess-streams-XXXXXX").string();
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        Root = pattern;
    }
    void TearDown() override
    {
        std::error_code ignored;
        fs::remove_all(Root, ignored);
    }
    std::string ReadNative(const std::string& relative)
    {
        std::ifstream in(Root + "/" + relative, std::ios::binary);
        std::stringstream contents;
        contents << in.rdbuf();
        return contents.str();
    }
    size_t EntryCount()
    {
        return static_cast<size_t>(std::distance(fs::directory_iterator(Root), fs::directory_iterator()));
    }

    std::string Root;
};

std::string Bytes(TMemoryStream& stream)
{
    return std::string(stream.Memory(), static_cast<size_t>(stream.Size()));
}

TEST(Streams, LittleEndianValuesHaveFixedBytes)
{
    TMemoryStream stream;
    stream.WriteInt8(-1);
    stream.WriteUInt16(0x1234);
    stream.WriteInt32(-2);
    stream.WriteInt64(0x0102030405060708);
    stream.WriteDouble(1.0);
    stream.WriteFloat(-2.5f);
    EXPECT_EQ(Bytes(stream), std::string("\xFF"
                                         "\x34\x12"
                                         "\xFE\xFF\xFF\xFF"
                                         "\x08\x07\x06\x05\x04\x03\x02\x01"
                                         "\x00\x00\x00\x00\x00\x00\xF0\x3F"
                                         "\x00\x00\x20\xC0",
                                         27));
    stream.SetPosition(0);
    EXPECT_EQ(stream.ReadInt8(), -1);
    EXPECT_EQ(stream.ReadUInt16(), 0x1234);
    EXPECT_EQ(stream.ReadInt32(), -2);
    EXPECT_EQ(stream.ReadInt64(), 0x0102030405060708);
    EXPECT_EQ(stream.ReadDouble(), 1.0);
    EXPECT_EQ(stream.ReadFloat(), -2.5f);
    try {
        stream.ReadUInt8();
        FAIL() << "no exception";
    } catch (const EReadError& error) {
        EXPECT_EQ(error.Message, "Stream read error");
    }
}

TEST(Streams, ReadBufferPastTheEndRaisesAndKeepsWhatWasRead)
{
    TStringStream stream("abc");
    char buffer[8] = {};
    EXPECT_THROW(stream.ReadBuffer(buffer, 4), EReadError);
    EXPECT_EQ(std::string(buffer), "abc");
    EXPECT_EQ(stream.Position(), 3);
    stream.ReadBuffer(buffer, 0); // nothing asked, nothing raised
}

// The three origins behave alike on every stream kind.
TEST_F(StreamsTest, SeekOriginsOnEveryKindOfStream)
{
    auto file = std::make_unique<TFileStream>(Root + "/seek.bin", fmCreate);
    auto memory = std::make_unique<TMemoryStream>();
    auto text = std::make_unique<TStringStream>();
    for (TStream* stream : std::initializer_list<TStream*>{file.get(), memory.get(), text.get()}) {
        SCOPED_TRACE(stream->ClassName());
        stream->WriteBuffer("0123456789", 10);
        EXPECT_EQ(stream->Size(), 10);
        EXPECT_EQ(stream->Seek(2, soFromBeginning), 2);
        EXPECT_EQ(stream->Seek(3, soFromCurrent), 5);
        EXPECT_EQ(stream->Seek(-4, soEnd), 6);
        EXPECT_EQ(stream->Position(), 6);
        char c;
        stream->ReadBuffer(&c, 1);
        EXPECT_EQ(c, '6');
        EXPECT_EQ(stream->Size(), 10);
        EXPECT_EQ(stream->Position(), 7); // Size does not move the position
    }
}

TEST(Streams, CopyFromZeroCopiesTheWholeSource)
{
    TStringStream source("Windows-1252 \x80 bytes");
    source.Seek(0, soFromEnd);
    TMemoryStream target;
    EXPECT_EQ(target.CopyFrom(source, 0), 20);
    EXPECT_EQ(Bytes(target), source.DataString());

    std::string big(200000, '\0');
    for (size_t i = 0; i < big.size(); ++i)
        big[i] = static_cast<char>(i * 7);
    TStringStream bigSource(big);
    bigSource.SetPosition(10);
    TMemoryStream part;
    EXPECT_EQ(part.CopyFrom(bigSource, 150000), 150000);
    EXPECT_EQ(Bytes(part), big.substr(10, 150000));
    EXPECT_THROW(part.CopyFrom(bigSource, 100000), EReadError);
}

TEST(Streams, MemoryStreamSizeAndGaps)
{
    TMemoryStream stream;
    stream.SetPosition(4);
    stream.WriteBuffer("x", 1);
    EXPECT_EQ(Bytes(stream), std::string("\0\0\0\0x", 5));
    stream.SetSize(2);
    EXPECT_EQ(stream.Position(), 2);
    EXPECT_EQ(stream.Size(), 2);
    char c;
    EXPECT_EQ(stream.Read(&c, 1), 0);
    stream.Clear();
    EXPECT_EQ(stream.Size(), 0);
    EXPECT_EQ(stream.Position(), 0);
}

TEST(Streams, StringStreamWriteCutsTheStringAfterWhatItWrote)
{
    TStringStream stream("abcdef");
    stream.SetPosition(2);
    stream.WriteString("XY");
    EXPECT_EQ(stream.DataString(), "abXY");
    EXPECT_EQ(stream.Seek(10, soFromBeginning), 4);
    EXPECT_EQ(stream.Seek(-10, soFromCurrent), 0);
    EXPECT_EQ(stream.ReadString(3), "abX");
    EXPECT_EQ(stream.ReadString(3), "Y");
}

TEST_F(StreamsTest, FileStreamErrorsNameTheFile)
{
    try {
        TFileStream stream(Root + "\\Missing.DAT", fmOpenRead | fmShareDenyWrite);
        FAIL() << "no exception";
    } catch (const EFOpenError& error) {
        EXPECT_EQ(error.Message.rfind("Cannot open file \"" + Root + "/Missing.DAT\". ", 0), 0u)
            << error.Message;
        EXPECT_GT(error.Message.size(), Root.size() + 32); // the system's reason follows
    }
    try {
        TFileStream stream(Root + "/nofolder/New.DAT", fmCreate);
        FAIL() << "no exception";
    } catch (const EFCreateError& error) {
        EXPECT_EQ(error.Message.rfind("Cannot create file \"" + Root + "/nofolder/New.DAT\". ", 0), 0u)
            << error.Message;
    }
}

TEST_F(StreamsTest, FileStreamModes)
{
    {
        TFileStream created(Root + "/f.bin", fmCreate);
        created.WriteBuffer("hello world", 11);
        created.SetSize(5);
        EXPECT_EQ(created.Position(), 5);
    }
    EXPECT_EQ(ReadNative("f.bin"), "hello");
    {
        TFileStream readOnly(Root + "/F.BIN", fmOpenRead);
        EXPECT_EQ(readOnly.Write("x", 1), -1);
        EXPECT_THROW(readOnly.WriteBuffer("x", 1), EWriteError);
    }
    {
        TFileStream readWrite(Root + "/f.bin", fmOpenReadWrite | fmShareExclusive);
        readWrite.Seek(0, soFromEnd);
        readWrite.WriteBuffer("!", 1);
    }
    EXPECT_EQ(ReadNative("f.bin"), "hello!");
}

TEST_F(StreamsTest, MemoryStreamFilesRoundTrip)
{
    TMemoryStream stream;
    const std::string bytes("\0\x01\x80\xFF\r\n", 6);
    stream.WriteBuffer(bytes.data(), 6);
    stream.SaveToFile(Root + "\\Blob.bin");
    EXPECT_EQ(ReadNative("Blob.bin"), bytes);

    TMemoryStream loaded;
    loaded.LoadFromFile(Root + "/BLOB.BIN");
    EXPECT_EQ(Bytes(loaded), bytes);
    EXPECT_THROW(loaded.LoadFromFile(Root + "/none"), EFOpenError);
    EXPECT_EQ(EntryCount(), 1u);
}

TEST_F(StreamsTest, AtomicStreamReplacesOnlyOnCommit)
{
    {
        TAtomicFileStream stream(Root + "/doc.tdf");
        stream.WriteBuffer("first", 5);
        EXPECT_FALSE(fs::exists(Root + "/doc.tdf"));
        stream.Commit();
    }
    EXPECT_EQ(ReadNative("doc.tdf"), "first");
    chmod((Root + "/doc.tdf").c_str(), 0604);

    // An exception half way: the stream is destroyed without Commit.
    try {
        TAtomicFileStream stream(Root + "/DOC.tdf");
        stream.WriteBuffer("sec", 3);
        EXPECT_EQ(EntryCount(), 2u);
        throw std::runtime_error("failure while writing");
    } catch (const std::runtime_error&) {
    }
    EXPECT_EQ(ReadNative("doc.tdf"), "first");
    EXPECT_EQ(EntryCount(), 1u);

    {
        TAtomicFileStream stream(Root + "/DOC.tdf");
        stream.WriteBuffer("second", 6);
        stream.Commit();
    }
    EXPECT_EQ(ReadNative("doc.tdf"), "second");
    EXPECT_EQ(EntryCount(), 1u);
    struct stat info;
    ASSERT_EQ(stat((Root + "/doc.tdf").c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0604u);
}

} // namespace

TEST_F(StreamsTest, AtomicStreamWritesTheLongestNameAFolderHolds)
{
    for (const std::string& name : {std::string(255, 'a'), std::string(80, 'b') + std::string(87, '\xE8')}) {
        // 87 "è" are 174 UTF-8 bytes: the temporary name must not cut one in half.
        {
            TAtomicFileStream stream(Root + "/" + name);
            stream.WriteBuffer("data", 4);
            stream.Commit();
        }
        EXPECT_EQ(EntryCount(), 1u);
        std::error_code ignored;
        for (const auto& entry : fs::directory_iterator(Root)) {
            EXPECT_EQ(fs::file_size(entry.path()), 4u);
            fs::remove(entry.path(), ignored);
        }
    }
}

TEST_F(StreamsTest, EveryAtomicTemporaryIsHiddenAndRecognisable)
{
    // Names as the program gives them (Windows-1252) and as they stand on the disk.
    const std::pair<std::string, std::string> names[] = {
        {"Clienti.DAT", "Clienti.DAT"},
        {std::string(255, 'a'), std::string(200, 'a')},
        {"Doc7 - Caff\xE8.tsd", "Doc7 - Caff\xC3\xA8.tsd"},
    };
    for (const auto& [name, onDisk] : names) {
        TAtomicFileStream stream(Root + "/" + name);
        stream.WriteBuffer("data", 4);
        ASSERT_EQ(EntryCount(), 1u);
        const std::string temporary = fs::directory_iterator(Root)->path().filename().string();
        EXPECT_TRUE(IsAtomicTemporaryName(temporary)) << temporary;
        EXPECT_LE(temporary.size(), 255u);
        EXPECT_EQ(temporary.substr(0, onDisk.size() + 2), "." + onDisk + ".");
    }
    const struct {
        const char* Name;
        bool Rule;
    } cases[] = {
        {".Clienti.DAT.8fae31bf000f.tmp", true},
        {"..Doc1.tsd.0123456789ab.tmp.8fae31bf000f.tmp", true},
        {"x.tmp", false},
        {".notes.tmp.txt", false},
        {".x.tmp", false},
        {"Clienti.DAT.8fae31bf000f.tmp", false},
        {".Clienti.DAT.8FAE31BF000F.tmp", false},
        {".Clienti.DAT.8fae31bf00.tmp", false},
        {".Clienti.DAT-8fae31bf000f.tmp", false},
        {"..8fae31bf000f.tmp", false},
        {".Clienti.DAT.8fae31bf000g.tmp", false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(IsAtomicTemporaryName(c.Name), c.Rule) << c.Name;
}
