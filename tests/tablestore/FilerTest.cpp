#include "tests/TestFixtures.h"
#include "tablestore/Filer.h"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <limits>
#include <random>
#include <sstream>

namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes Hex(const std::string& text)
{
    Bytes bytes;
    std::istringstream in(text);
    std::string item;
    while (in >> item)
        bytes.push_back(static_cast<std::uint8_t>(std::stoul(item, nullptr, 16)));
    return bytes;
}

std::string ToHex(const Bytes& bytes)
{
    std::string text;
    char item[4];
    for (std::uint8_t byte : bytes) {
        std::snprintf(item, sizeof item, "%02X ", byte);
        text += item;
    }
    if (!text.empty())
        text.pop_back();
    return text;
}

Bytes Contents(TMemoryStream& stream)
{
    const auto* data = reinterpret_cast<const std::uint8_t*>(stream.Memory());
    return Bytes(data, data + stream.Size());
}

void Fill(TMemoryStream& stream, const Bytes& bytes)
{
    stream.Clear();
    if (!bytes.empty())
        stream.WriteBuffer(bytes.data(), static_cast<int>(bytes.size()));
    stream.SetPosition(0);
}

Bytes Written(const std::function<void(TWriter&)>& write)
{
    TMemoryStream stream;
    {
        TWriter writer(&stream, 16384);
        write(writer);
        writer.FlushBuffer();
    }
    return Contents(stream);
}

std::string FilerErrorOf(const std::function<void()>& action)
{
    try {
        action();
    } catch (const EReadError& e) {
        return "EReadError: " + e.Message;
    } catch (const EWriteError& e) {
        return "EWriteError: " + e.Message;
    }
    return "";
}

TExtended80 Extended(const std::string& text)
{
    const Bytes bytes = Hex(text);
    TExtended80 result{};
    std::copy(bytes.begin(), bytes.end(), result.begin());
    return result;
}

TEST(FilerEncoding, IntegersTakeTheSmallestForm)
{
    struct Case {
        std::int32_t value;
        const char* bytes;
    };
    const Case cases[] = {
        {251, "03 FB 00"},          {-1, "02 FF"},
        {128, "03 80 00"},          {32768, "04 00 80 00 00"},
        {-128, "02 80"},            {-129, "03 7F FF"},
        {32767, "03 FF 7F"},        {-32769, "04 FF 7F FF FF"},
        {127, "02 7F"},             {-32768, "03 00 80"},
        {2147483647, "04 FF FF FF 7F"}, {std::numeric_limits<std::int32_t>::min(), "04 00 00 00 80"},
        {40000, "04 40 9C 00 00"},  {0, "02 00"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.value);
        TMemoryStream stream;
        {
            TWriter writer(&stream, 16384);
            writer.WriteInteger(c.value);
        }
        EXPECT_EQ(ToHex(Contents(stream)), c.bytes);
        stream.SetPosition(0);
        TReader reader(&stream, 16384);
        EXPECT_EQ(reader.ReadInteger(), c.value);
    }
}

TEST(FilerEncoding, SignatureBooleansListsAndStrings)
{
    EXPECT_EQ(ToHex(Written([](TWriter& w) { w.WriteSignature(); })), "54 50 46 30");
    EXPECT_EQ(ToHex(Written([](TWriter& w) {
                  w.WriteBoolean(false);
                  w.WriteBoolean(true);
                  w.WriteListBegin();
                  w.WriteListEnd();
                  w.WriteString("");
              })),
              "08 09 01 00 06 00");

    struct Case {
        std::size_t length;
        const char* head;
    };
    const Case cases[] = {{255, "06 FF"}, {256, "0C 00 01 00 00"}, {300, "0C 2C 01 00 00"}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.length);
        std::string text(c.length, 'x');
        for (std::size_t i = 0; i < text.size(); ++i)
            text[i] = static_cast<char>(i * 7 + 0x80);
        TMemoryStream stream;
        {
            TWriter writer(&stream, 16384);
            writer.WriteString(text);
        }
        const Bytes bytes = Contents(stream);
        const Bytes head = Hex(c.head);
        ASSERT_EQ(bytes.size(), head.size() + c.length);
        EXPECT_EQ(ToHex(Bytes(bytes.begin(), bytes.begin() + head.size())), c.head);
        EXPECT_EQ(std::string(bytes.begin() + head.size(), bytes.end()), text);
        stream.SetPosition(0);
        TReader reader(&stream, 16384);
        EXPECT_EQ(reader.ReadString(), text);
    }

    TMemoryStream stream;
    Fill(stream, Hex("54 50 46 30 08 09 01 00 06 00"));
    TReader reader(&stream, 16384);
    reader.ReadSignature();
    EXPECT_FALSE(reader.ReadBoolean());
    EXPECT_TRUE(reader.ReadBoolean());
    EXPECT_FALSE(reader.EndOfList());
    reader.ReadListBegin();
    EXPECT_TRUE(reader.EndOfList());
    reader.ReadListEnd();
    EXPECT_EQ(reader.ReadString(), "");
}

TEST(FilerEncoding, FloatsAreWidenedExactly)
{
    struct Case {
        double value;
        const char* bytes;
    };
    const double infinity = std::numeric_limits<double>::infinity();
    const Case cases[] = {
        {1.0, "05 00 00 00 00 00 00 00 80 FF 3F"},
        {0.5, "05 00 00 00 00 00 00 00 80 FE 3F"},
        {-2.5, "05 00 00 00 00 00 00 00 A0 00 C0"},
        {12.34, "05 00 70 3D 0A D7 A3 70 C5 02 40"},
        {-0.0, "05 00 00 00 00 00 00 00 00 00 80"},
        {5e-324, "05 00 00 00 00 00 00 00 80 CD 3B"},
        {2.2250738585072014e-308, "05 00 00 00 00 00 00 00 80 01 3C"},
        {1.7976931348623157e308, "05 00 F8 FF FF FF FF FF FF FE 43"},
        {infinity, "05 00 00 00 00 00 00 00 80 FF 7F"},
        {-infinity, "05 00 00 00 00 00 00 00 80 FF FF"},
        {0.1, "05 00 D0 CC CC CC CC CC CC FB 3F"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.bytes);
        TMemoryStream stream;
        {
            TWriter writer(&stream, 16384);
            writer.WriteFloat(c.value);
        }
        EXPECT_EQ(ToHex(Contents(stream)), c.bytes);
        stream.SetPosition(0);
        TReader reader(&stream, 16384);
        const double read = reader.ReadFloat();
        EXPECT_EQ(std::bit_cast<std::uint64_t>(read), std::bit_cast<std::uint64_t>(c.value));
    }
}

TEST(FilerEncoding, NarrowingRoundsToNearestEven)
{
    struct Case {
        const char* bytes;
        double value;
    };
    const double infinity = std::numeric_limits<double>::infinity();
    const Case cases[] = {
        {"00 04 00 00 00 00 00 80 FF 3F", 1.0},
        {"00 0C 00 00 00 00 00 80 FF 3F", 1.0000000000000004},
        {"01 04 00 00 00 00 00 80 FF 3F", 1.0000000000000002},
        {"00 00 00 00 00 00 00 80 FE 7F", infinity},
        {"FF FF FF FF FF FF FF FF FE 43", infinity},
        {"00 00 00 00 00 00 00 80 CC 3B", 0.0},
        {"01 00 00 00 00 00 00 80 CC 3B", 5e-324},
        {"00 00 00 00 00 00 00 80 FF 3F", 1.0},
        // The integer bit clear: the significand is taken as written (0.5 here).
        {"00 00 00 00 00 00 00 40 FF 3F", 0.5},
        {"00 00 00 00 00 00 00 80 FF BF", -1.0},
        {"00 00 00 00 00 00 00 80 FF FF", -infinity},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.bytes);
        const double value = ExtendedToDouble(Extended(c.bytes));
        EXPECT_EQ(std::bit_cast<std::uint64_t>(value), std::bit_cast<std::uint64_t>(c.value));
    }
    EXPECT_TRUE(std::isnan(ExtendedToDouble(Extended("00 00 00 00 00 00 00 C0 FF 7F"))));
    EXPECT_TRUE(std::isnan(ExtendedToDouble(Extended("01 00 00 00 00 00 00 80 FF 7F"))));
    EXPECT_TRUE(std::isnan(ExtendedToDouble(DoubleToExtended(std::nan("")))));
}

TEST(FilerReader, AcceptanceAndRefusals)
{
    struct Case {
        const char* input;
        std::function<void(TReader&)> action;
        const char* error;
    };
    const Case cases[] = {
        {"02 05", [](TReader& r) { EXPECT_EQ(r.ReadFloat(), 5.0); }, ""},
        {"06 00", [](TReader& r) { r.ReadFloat(); }, "EReadError: Invalid property value"},
        {"02 05",
         [](TReader& r) {
             EXPECT_FALSE(r.ReadBoolean());
             EXPECT_EQ(r.NextValue(), 5);
         },
         ""},
        {"0C 03 00 00 00 61 62 63", [](TReader& r) { EXPECT_EQ(r.ReadString(), "abc"); }, ""},
        {"06 00", [](TReader& r) { EXPECT_EQ(r.ReadString(), ""); }, ""},
        {"06 00", [](TReader& r) { r.ReadInteger(); }, "EReadError: Invalid property value"},
        {"02 01", [](TReader& r) { r.ReadString(); }, "EReadError: Invalid property value"},
        {"00", [](TReader& r) { r.ReadListBegin(); }, "EReadError: Invalid property value"},
        {"01", [](TReader& r) { r.ReadListEnd(); }, "EReadError: Invalid property value"},
        {"54 50", [](TReader& r) { r.ReadSignature(); }, "EReadError: Stream read error"},
        {"54 50 46 58", [](TReader& r) { r.ReadSignature(); }, "EReadError: Invalid stream format"},
        {"04 01 02", [](TReader& r) { r.ReadInteger(); }, "EReadError: Stream read error"},
        {"", [](TReader& r) { r.NextValue(); }, "EReadError: Stream read error"},
        {"06 05 61 62", [](TReader& r) { r.ReadString(); }, "EReadError: Stream read error"},
        {"05 00 00 00", [](TReader& r) { r.ReadFloat(); }, "EReadError: Stream read error"},
        {"0C FF FF FF FF", [](TReader& r) { r.ReadString(); }, "EReadError: Stream read error"},
        {"0C 00 00 10 00 01 02 03 04 05", [](TReader& r) { r.ReadString(); },
         "EReadError: Stream read error"},
        {"0C 06 00 00 00 01 02 03 04 05", [](TReader& r) { r.ReadString(); },
         "EReadError: Stream read error"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.input);
        TMemoryStream stream;
        Fill(stream, Hex(c.input));
        TReader reader(&stream, 16384);
        EXPECT_EQ(FilerErrorOf([&] { c.action(reader); }), c.error);
    }
}

// Damaged input of any kind ends in a read error, never in a read outside the data.
TEST(FilerReader, RandomBytesEndInReadErrors)
{
    std::mt19937 random(5);
    for (int round = 0; round < 3000; ++round) {
        Bytes bytes(random() % 40);
        for (std::uint8_t& byte : bytes) {
            // Mostly valid tags, so that reads get past the first byte.
            const std::uint8_t tags[] = {0, 1, 2, 3, 4, 5, 6, 8, 9, 12};
            byte = random() % 2 ? tags[random() % 10] : static_cast<std::uint8_t>(random());
        }
        TMemoryStream stream;
        Fill(stream, bytes);
        TReader reader(&stream, 1 + static_cast<int>(random() % 20));
        try {
            for (int i = 0; i < 100; ++i) {
                switch (random() % 5) {
                case 0: reader.ReadInteger(); break;
                case 1: reader.ReadFloat(); break;
                case 2: reader.ReadString(); break;
                case 3: reader.ReadBoolean(); break;
                default: reader.EndOfList() ? reader.ReadListEnd() : reader.ReadListBegin(); break;
                }
            }
        } catch (const EReadError&) {
        }
    }
}

TEST(FilerReader, LeavesTheStreamRightAfterTheLastValueRead)
{
    TMemoryStream stream;
    {
        TWriter writer(&stream, 16384);
        writer.WriteSignature();
        writer.WriteListBegin();
        writer.WriteInteger(7);
        writer.WriteInteger(-70000);
        writer.WriteString("Rossi");
        writer.WriteString(std::string(400, 'r'));
        writer.WriteFloat(3.25);
        writer.WriteBoolean(true);
        writer.WriteBoolean(false);
        writer.WriteListEnd();
        const char tail[7] = {1, 2, 3, 4, 5, 6, 7};
        writer.Write(tail, sizeof tail);
    }
    for (int bufferSize : {16384, 65536, 5}) {
        SCOPED_TRACE(bufferSize);
        stream.SetPosition(0);
        {
            TReader reader(&stream, bufferSize);
            reader.ReadSignature();
            reader.ReadListBegin();
            EXPECT_EQ(reader.ReadInteger(), 7);
            EXPECT_EQ(reader.ReadInteger(), -70000);
            EXPECT_EQ(reader.ReadString(), "Rossi");
            EXPECT_EQ(reader.ReadString(), std::string(400, 'r'));
            EXPECT_EQ(reader.ReadFloat(), 3.25);
            EXPECT_TRUE(reader.ReadBoolean());
            EXPECT_FALSE(reader.ReadBoolean());
            EXPECT_TRUE(reader.EndOfList());
            reader.ReadListEnd();
        }
        EXPECT_EQ(stream.Position(), stream.Size() - 7);
    }
}

TEST(FilerReader, ValueStraddlingTwoBufferFillsReadsWhole)
{
    const std::string filler(16384 - 5 - 100, 'f');
    std::string text(300, ' ');
    for (std::size_t i = 0; i < text.size(); ++i)
        text[i] = static_cast<char>('a' + i % 26);
    TMemoryStream stream;
    {
        TWriter writer(&stream, 16384);
        writer.WriteString(filler);
        writer.WriteString(text);
        writer.WriteFloat(-2.5);
    }
    stream.SetPosition(0);
    TReader reader(&stream, 16384);
    EXPECT_EQ(reader.ReadString(), filler);
    EXPECT_EQ(reader.ReadString(), text);
    EXPECT_EQ(reader.ReadFloat(), -2.5);
}

// Counts the writes it receives, refuses to seek, and may accept only part of a write.
class ProbeStream : public TMemoryStream {
public:
    int Writes = 0;
    std::vector<int> WriteSizes;
    bool AcceptHalf = false;

    int Write(const void* buffer, int count) override
    {
        ++Writes;
        WriteSizes.push_back(count);
        return TMemoryStream::Write(buffer, AcceptHalf ? count / 2 : count);
    }
    std::int64_t Seek(std::int64_t, int) override { RAISE(EStreamError("seek refused")); }
};

TEST(FilerWriter, BuffersUntilFlushedAndNeverSeeks)
{
    ProbeStream stream;
    TWriter writer(&stream, 16384);
    for (int i = 0; i < 1000; ++i) {
        if (i % 2 == 0)
            writer.WriteInteger(i);
        else
            writer.WriteBoolean(true);
    }
    EXPECT_EQ(stream.Writes, 0);
    writer.FlushBuffer();
    EXPECT_EQ(stream.Writes, 1);
    EXPECT_EQ(stream.Size(), 500 + 64 * 2 + 436 * 3);
    writer.FlushBuffer();
    EXPECT_EQ(stream.Writes, 1);

    // Only a full buffer goes out before the flush, whatever the values' sizes.
    ProbeStream small;
    {
        TWriter writer16(&small, 16);
        for (int i = 0; i < 10; ++i)
            writer16.WriteInteger(100000 + i);
        writer16.WriteFloat(1.0);
        writer16.WriteString(std::string(100, 'z'));
    }
    EXPECT_EQ(small.WriteSizes, (std::vector<int>{16, 16, 16, 16, 16, 16, 16, 16, 16, 16, 3}));
    EXPECT_EQ(small.Size(), 50 + 11 + 102);
}

TEST(FilerWriter, PartialWriteFails)
{
    ProbeStream stream;
    stream.AcceptHalf = true;
    TWriter writer(&stream, 16384);
    writer.WriteString("Fattura");
    EXPECT_EQ(FilerErrorOf([&] { writer.FlushBuffer(); }), "EWriteError: Stream write error");
}

// --- Peer check with exact rationals ---

std::filesystem::path TempFile(const std::string& name)
{
    return std::filesystem::temp_directory_path() /
           (name + "-" + std::to_string(::getpid()) + ".txt");
}

int RunPeer(const std::string& arguments)
{
    const std::string command =
        "python3 \"" + std::string(TestFixtureDir()) + "/peers/ext80.py\" " + arguments;
    return std::system(command.c_str());
}

TEST(FilerPeer, WideningIsExactForPython)
{
    std::mt19937_64 random(20240611);
    std::vector<double> values = {0.0, -0.0, 5e-324, -5e-324, 2.2250738585072009e-308,
                                  2.2250738585072014e-308, 1.7976931348623157e308,
                                  -1.7976931348623157e308, std::numeric_limits<double>::infinity(),
                                  -std::numeric_limits<double>::infinity(), std::nan("")};
    for (int i = 0; i < 1000; ++i)
        values.push_back(std::bit_cast<double>(random() & ((std::uint64_t(1) << 52) - 1)));
    while (values.size() < 100000)
        values.push_back(std::bit_cast<double>(random()));

    const auto path = TempFile("ext80-check");
    {
        std::ofstream out(path);
        char line[64];
        for (double value : values) {
            std::snprintf(line, sizeof line, "%016llx ",
                          static_cast<unsigned long long>(std::bit_cast<std::uint64_t>(value)));
            std::string hex;
            for (std::uint8_t byte : DoubleToExtended(value)) {
                char item[3];
                std::snprintf(item, sizeof item, "%02x", byte);
                hex += item;
            }
            out << line << hex << '\n';
        }
    }
    EXPECT_EQ(RunPeer("check \"" + path.string() + "\""), 0) << "python3 must be on the path";
    std::filesystem::remove(path);
}

TEST(FilerPeer, NarrowingMatchesPython)
{
    const auto path = TempFile("ext80-make");
    ASSERT_EQ(RunPeer("make \"" + path.string() + "\" 20000 77"), 0)
        << "python3 must be on the path";
    std::ifstream in(path);
    std::string formHex, expected;
    int count = 0, wrong = 0;
    while (in >> formHex >> expected) {
        ++count;
        TExtended80 form{};
        for (std::size_t i = 0; i < form.size(); ++i)
            form[i] = static_cast<std::uint8_t>(std::stoul(formHex.substr(2 * i, 2), nullptr, 16));
        const double value = ExtendedToDouble(form);
        const bool good = expected == "nan"
                              ? std::isnan(value)
                              : std::bit_cast<std::uint64_t>(value) == std::stoull(expected, nullptr, 16);
        if (!good && ++wrong <= 5)
            ADD_FAILURE() << formHex << " gave " << value << ", Python " << expected;
    }
    EXPECT_EQ(count, 20000);
    EXPECT_EQ(wrong, 0);
    in.close();
    std::filesystem::remove(path);
}

} // namespace
