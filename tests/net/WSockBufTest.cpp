// One block of the send queue: what it stores, gives back and keeps when resized.

#include "net/WSockBuf.h"

#include <gtest/gtest.h>

#include <string>

namespace WSockBufTest {
namespace {

std::string Unread(TBuffer& buffer)
{
    int length = 0;
    const char* data = static_cast<const char*>(buffer.Peek(length));
    return data ? std::string(data, static_cast<std::size_t>(length)) : std::string();
}

TEST(SendBlock, StoresWhatFitsAndGivesItBackInOrder)
{
    TBuffer buffer(1460);
    const std::string data(2000, 'a');
    EXPECT_EQ(buffer.Write(data.data(), 2000), 1460);
    EXPECT_EQ(buffer.Write("b", 1), 0) << "full";

    char part[10];
    EXPECT_EQ(buffer.Read(part, 10), 10);
    EXPECT_EQ(buffer.Remove(1000), 1000);
    EXPECT_EQ(Unread(buffer).size(), 450u);
    EXPECT_EQ(buffer.Write("b", 1), 0) << "the room before the unread bytes is not reused";

    // Consuming everything makes the whole block free again.
    EXPECT_EQ(buffer.Remove(5000), 450);
    EXPECT_EQ(buffer.Write("xyz", 3), 3);
    EXPECT_EQ(Unread(buffer), "xyz");
    EXPECT_EQ(buffer.Read(part, 3), 3);
    EXPECT_EQ(buffer.Write(data.data(), 2000), 1460);
}

TEST(SendBlock, EmptyBlockGivesNothing)
{
    TBuffer buffer(16);
    char part[4] = {'q', 'q', 'q', 'q'};
    EXPECT_EQ(buffer.Read(part, 4), 0);
    EXPECT_EQ(buffer.Remove(4), 0);
    int length = 99;
    EXPECT_EQ(buffer.Peek(length), nullptr);
    EXPECT_EQ(length, 0);
    EXPECT_EQ(part[0], 'q');
    for (int bad : {0, -5}) {
        EXPECT_EQ(buffer.Write("abc", bad), 0);
        EXPECT_EQ(buffer.Read(part, bad), 0);
        EXPECT_EQ(buffer.Remove(bad), 0);
    }
}

TEST(SendBlock, SizesAndResizing)
{
    for (int size : {0, -1}) {
        TBuffer fallback(size);
        EXPECT_EQ(fallback.BufSize(), 1514);
        const std::string data(2000, 'f');
        EXPECT_EQ(fallback.Write(data.data(), 2000), 1514);
    }

    TBuffer buffer(100);
    const std::string data = "0123456789";
    buffer.Write(data.data(), 10);
    char part[3];
    buffer.Read(part, 3);
    buffer.SetBufSize(5); // too small for what was written: refused
    EXPECT_EQ(buffer.BufSize(), 100);
    EXPECT_EQ(Unread(buffer), "3456789");

    buffer.SetBufSize(12); // room for it: kept
    EXPECT_EQ(buffer.BufSize(), 12);
    EXPECT_EQ(Unread(buffer), "3456789");
    EXPECT_EQ(buffer.Write("ab", 2), 2);
    EXPECT_EQ(buffer.Write("c", 1), 0);
    EXPECT_EQ(Unread(buffer), "3456789ab");
}

} // namespace
} // namespace WSockBufTest
