// Host look-ups (asynchronous answers packed into the caller's buffer, cancelling, replaced
// resolvers), services, protocols and address texts.

#include "NetTestSupport.h"

#include "platform/net/private/WinsockState.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <thread>

namespace WinsockLookupsTest {
using namespace Winsock;
// The C library declares these names too, with other widths.
using Winsock::u_char;
using Winsock::u_int;
using Winsock::u_long;
using Winsock::u_short;
namespace {

constexpr unsigned char Guard = 0xA5;
constexpr int GuardLength = 64;

u_long Address(const char* text) { return inet_addr(text); }

// A look-up buffer followed by a guard; the entry starts pointer-aligned.
struct TAnswerBuffer {
    explicit TAnswerBuffer(int length) : Length(length), Cells((length + GuardLength) / 8 + 1)
    {
        std::memset(Data(), Guard, Cells.size() * 8);
    }
    char* Data() { return reinterpret_cast<char*>(Cells.data()); }
    const hostent* Entry() { return reinterpret_cast<const hostent*>(Data()); }
    bool GuardIntact()
    {
        for (int i = Length; i < Length + GuardLength; ++i)
            if (static_cast<unsigned char>(Data()[i]) != Guard)
                return false;
        return true;
    }
    bool Untouched()
    {
        for (int i = 0; i < Length + GuardLength; ++i)
            if (static_cast<unsigned char>(Data()[i]) != Guard)
                return false;
        return true;
    }
    std::vector<u_long> Addresses()
    {
        std::vector<u_long> found;
        for (char** item = Entry()->h_addr_list; *item; ++item) {
            u_long address;
            std::memcpy(&address, *item, sizeof address);
            found.push_back(address);
        }
        return found;
    }
    int Length;
    std::vector<std::uint64_t> Cells;
};

// Replaces the name look-up for the life of the object.
class TResolverScope {
public:
    explicit TResolverScope(TNameResolver resolver) : FPrevious(SetNameResolver(std::move(resolver))) {}
    ~TResolverScope() { SetNameResolver(std::move(FPrevious)); }

private:
    TNameResolver FPrevious;
};

int ExampleResolver(const std::string& name, THostAnswer& answer)
{
    if (name != "mail.example.test")
        return WSAHOST_NOT_FOUND;
    answer.Name = name;
    for (int i = 1; i <= 10; ++i)
        answer.Addresses.push_back(htonl(0xC0000200u + static_cast<u_long>(i))); // 192.0.2.i
    return 0;
}

TEST(AsyncLookup, AnswersArePackedIntoTheBufferAndNeverPastIt)
{
    TResolverScope scope(ExampleResolver);
    struct TCase {
        const char* Name;
        int BufferLength;
        int Error;
        size_t Addresses;
    };
    const TCase cases[] = {
        {"mail.example.test", MAXGETHOSTSTRUCT + 1, 0, 10},
        {"mail.example.test", 120, 0, 4}, // as many addresses as fit
        {"mail.example.test", 40, WSAENOBUFS, 0},
        {"nowhere.example.test", MAXGETHOSTSTRUCT + 1, WSAHOST_NOT_FOUND, 0},
    };
    TNoticeRecorder recorder;
    for (const TCase& c : cases) {
        SCOPED_TRACE(std::string(c.Name) + " in " + std::to_string(c.BufferLength));
        recorder.Log.clear();
        TAnswerBuffer buffer(c.BufferLength);
        HANDLE handle = WSAAsyncGetHostByName(recorder.Handle(), NoticeMessage, c.Name, buffer.Data(), c.BufferLength);
        ASSERT_NE(handle, nullptr);
        ASSERT_TRUE(PumpUntil([&] { return !recorder.Log.empty(); }));
        EXPECT_EQ(recorder.Log[0].WParam, reinterpret_cast<WPARAM>(handle));
        const LPARAM reply = recorder.Log[0].LParam;
        EXPECT_EQ(WSAGETASYNCERROR(reply), c.Error);
        EXPECT_TRUE(buffer.GuardIntact());
        if (c.Error == 0) {
            EXPECT_LE(WSAGETASYNCBUFLEN(reply), c.BufferLength);
            EXPECT_STREQ(buffer.Entry()->h_name, c.Name);
            EXPECT_EQ(buffer.Entry()->h_addrtype, AF_INET);
            EXPECT_EQ(buffer.Entry()->h_length, 4);
            EXPECT_EQ(buffer.Entry()->h_aliases[0], nullptr);
            ASSERT_EQ(buffer.Addresses().size(), c.Addresses);
            EXPECT_EQ(buffer.Addresses()[0], Address("192.0.2.1"));
        } else if (c.Error == WSAENOBUFS) {
            EXPECT_GT(WSAGETASYNCBUFLEN(reply), c.BufferLength);
            EXPECT_TRUE(buffer.Untouched());
        }
    }
}

TEST(AsyncLookup, SystemResolverAnswersLocalhost)
{
    TNoticeRecorder recorder;
    TAnswerBuffer buffer(MAXGETHOSTSTRUCT + 1);
    ASSERT_NE(WSAAsyncGetHostByName(recorder.Handle(), NoticeMessage, "localhost", buffer.Data(), buffer.Length),
              nullptr);
    ASSERT_TRUE(PumpUntil([&] { return !recorder.Log.empty(); }));
    ASSERT_EQ(WSAGETASYNCERROR(recorder.Log[0].LParam), 0);
    EXPECT_EQ(buffer.Addresses()[0], Address("127.0.0.1"));
    EXPECT_TRUE(buffer.GuardIntact());
}

TEST(AsyncLookup, ReverseLookupAnswersWithTheName)
{
    TAddressResolver previous = SetAddressResolver([](u_long address, THostAnswer& answer) {
        answer.Name = address == inet_addr("192.0.2.25") ? "mail.example.test" : "";
        return answer.Name.empty() ? WSAHOST_NOT_FOUND : 0;
    });
    TNoticeRecorder recorder;
    TAnswerBuffer buffer(MAXGETHOSTSTRUCT + 1);
    const u_long address = Address("192.0.2.25");
    ASSERT_NE(WSAAsyncGetHostByAddr(recorder.Handle(), NoticeMessage, reinterpret_cast<const char*>(&address), 4,
                                    AF_INET, buffer.Data(), buffer.Length),
              nullptr);
    ASSERT_TRUE(PumpUntil([&] { return !recorder.Log.empty(); }));
    EXPECT_EQ(WSAGETASYNCERROR(recorder.Log[0].LParam), 0);
    EXPECT_STREQ(buffer.Entry()->h_name, "mail.example.test");
    EXPECT_EQ(buffer.Addresses(), std::vector<u_long>{address});

    const hostent* entry = gethostbyaddr(reinterpret_cast<const char*>(&address), 4, AF_INET);
    ASSERT_NE(entry, nullptr);
    EXPECT_STREQ(entry->h_name, "mail.example.test");
    SetAddressResolver(std::move(previous));
}

TEST(AsyncLookup, CancelledLookupPostsNothingAndLeavesTheBuffer)
{
    TResolverScope scope([](const std::string& name, THostAnswer& answer) {
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        return ExampleResolver(name, answer);
    });
    TNoticeRecorder recorder;
    TAnswerBuffer buffer(MAXGETHOSTSTRUCT + 1);
    HANDLE handle =
        WSAAsyncGetHostByName(recorder.Handle(), NoticeMessage, "mail.example.test", buffer.Data(), buffer.Length);
    ASSERT_NE(handle, nullptr);
    EXPECT_EQ(WSACancelAsyncRequest(handle), 0);
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    Pump(100);
    EXPECT_TRUE(recorder.Log.empty());
    EXPECT_TRUE(buffer.Untouched());
    EXPECT_EQ(WSACancelAsyncRequest(handle), SOCKET_ERROR);
    EXPECT_EQ(WSAGetLastError(), WSAEALREADY);
    EXPECT_EQ(WSACancelAsyncRequest(reinterpret_cast<HANDLE>(std::uintptr_t(1) << 40)), SOCKET_ERROR);
    EXPECT_EQ(WSAGetLastError(), WSAEINVAL);
}

TEST(SyncLookup, HostByNameUsesTheResolverAndKeepsTheWindowsLayout)
{
    TResolverScope scope(ExampleResolver);
    const hostent* entry = gethostbyname("mail.example.test");
    ASSERT_NE(entry, nullptr);
    EXPECT_STREQ(entry->h_name, "mail.example.test");
    EXPECT_EQ(entry->h_length, 4);
    u_long first;
    std::memcpy(&first, entry->h_addr_list[0], 4);
    EXPECT_EQ(first, Address("192.0.2.1"));

    EXPECT_EQ(gethostbyname("nowhere.example.test"), nullptr);
    EXPECT_EQ(WSAGetLastError(), WSAHOST_NOT_FOUND);
}

TEST(Services, SystemEntriesAndTheBuiltInTable)
{
    struct TCase {
        const char* Name;
        const char* Protocol;
        int Port;
    };
    for (const TCase& c : {TCase{"smtp", "tcp", 25}, TCase{"http", nullptr, 80}, TCase{"pop3", "tcp", 110}}) {
        SCOPED_TRACE(c.Name);
        const servent* entry = getservbyname(c.Name, c.Protocol);
        ASSERT_NE(entry, nullptr);
        EXPECT_EQ(ntohs(static_cast<u_short>(entry->s_port)), c.Port);
        EXPECT_STREQ(entry->s_proto, "tcp");
    }
    EXPECT_EQ(getservbyname("no-such-service", "tcp"), nullptr);
    EXPECT_EQ(WSAGetLastError(), WSANO_DATA);

    // What a system without a services file still knows.
    for (const TCase& c : {TCase{"smtp", "", 25}, TCase{"http", "tcp", 80}, TCase{"https", "", 443},
                           TCase{"pop3", "", 110}, TCase{"socks", "TCP", 1080}, TCase{"ftp", "", 21},
                           TCase{"smtp", "udp", -1}, TCase{"gopher", "", -1}}) {
        SCOPED_TRACE(std::string(c.Name) + "/" + c.Protocol);
        std::uint16_t port = 0;
        const bool known = WinsockState::FindKnownService(c.Name, c.Protocol, port);
        EXPECT_EQ(known, c.Port >= 0);
        if (known) {
            EXPECT_EQ(ntohs(port), c.Port);
        }
    }
}

TEST(Services, ProtocolsByName)
{
    const protoent* entry = getprotobyname("udp");
    ASSERT_NE(entry, nullptr);
    EXPECT_EQ(entry->p_proto, IPPROTO_UDP);
    EXPECT_EQ(getprotobyname("no-such-protocol"), nullptr);
    EXPECT_EQ(WSAGetLastError(), WSANO_DATA);
}

TEST(AddressTexts, ParseFormatAndByteOrder)
{
    EXPECT_EQ(inet_addr("1.2.3.4"), htonl(0x01020304));
    EXPECT_EQ(inet_addr("255.255.255.255"), INADDR_NONE);
    for (const char* invalid : {"", "1.2.3.256", "a.b.c.d", "1.2.3.4.5"}) {
        SCOPED_TRACE(invalid);
        EXPECT_EQ(inet_addr(invalid), INADDR_NONE);
    }
    EXPECT_EQ(inet_addr(nullptr), INADDR_NONE);
    in_addr address;
    address.S_addr = inet_addr("192.168.10.254");
    EXPECT_STREQ(inet_ntoa(address), "192.168.10.254");
    EXPECT_EQ(htons(0x1234), ntohs(0x1234));
    const u_short port = htons(0x1234);
    EXPECT_EQ(reinterpret_cast<const u_char*>(&port)[0], 0x12);
    EXPECT_EQ(ntohl(htonl(0x01020304)), 0x01020304u);

    char name[256];
    ASSERT_EQ(gethostname(name, sizeof name), 0);
    EXPECT_GT(std::strlen(name), 0u);
    EXPECT_EQ(gethostname(name, 1), SOCKET_ERROR);
    EXPECT_EQ(WSAGetLastError(), WSAEFAULT);
}

} // namespace
} // namespace WinsockLookupsTest
