// The socket unit: loading the library, its use count, resolution of hosts, ports and
// protocols, error texts, the local host and the hidden window.

#include "net/WSocket.h"

#include "platform/gui/MessageQueue.h"

#include <gtest/gtest.h>

#include <cstring>
#include <thread>

namespace WSocketTest {
namespace {

// Replaces the name look-up for the life of the object.
class TResolverScope {
public:
    explicit TResolverScope(Winsock::TNameResolver resolver)
        : FPrevious(Winsock::SetNameResolver(std::move(resolver)))
    {
    }
    ~TResolverScope() { Winsock::SetNameResolver(std::move(FPrevious)); }

private:
    Winsock::TNameResolver FPrevious;
};

// Knows "mail.example.test" (192.0.2.25 and .26) and a dotted-looking "300.1.1.1"; records what
// it was asked.
struct TExampleResolver {
    std::vector<std::string>* Asked;
    int operator()(const std::string& name, Winsock::THostAnswer& answer) const
    {
        Asked->push_back(name);
        if (name == "mail.example.test") {
            answer.Name = name;
            answer.Addresses = {Winsock::inet_addr("192.0.2.25"), Winsock::inet_addr("192.0.2.26")};
            return 0;
        }
        if (name == "300.1.1.1") {
            answer.Name = name;
            answer.Addresses = {Winsock::inet_addr("192.0.2.7")};
            return 0;
        }
        return Winsock::WSAHOST_NOT_FOUND;
    }
};

std::string MessageOf(const std::function<void()>& call)
{
    try {
        call();
    } catch (const ESocketException& e) {
        return e.Message;
    }
    return "";
}

TEST(WSocketResolution, DottedAddresses)
{
    struct TCase {
        const char* Text;
        bool Dotted;
    };
    const TCase cases[] = {
        {" 10.0.0.1 ", true}, {"10.0.0.1", true},   {"255.255.255.255", true}, {"10.0.0", false},
        {"10.0.0.256", false}, {"1..2.3", false},   {".1.2.3", false},         {"1.2.3.4.", false},
        {"1.2.3.4x", false},   {"1.2.3.4 x", false}, {"", false},              {"   ", false},
        {"99999999999999.1.1.1", false},           {"1.2.3.4.5", false},      {"a.b.c.d", false},
    };
    for (const TCase& c : cases)
        EXPECT_EQ(WSocketIsDottedIP(c.Text), c.Dotted) << '"' << c.Text << '"';
}

TEST(WSocketResolution, Hosts)
{
    std::vector<std::string> asked;
    TResolverScope scope(TExampleResolver{&asked});
    EXPECT_EQ(WSocketResolveHost("255.255.255.255"), 0xFFFFFFFFu);
    EXPECT_EQ(WSocketResolveHost(" 127.0.0.1 "), Winsock::inet_addr("127.0.0.1"));
    EXPECT_TRUE(asked.empty()) << "dotted addresses need no look-up";

    EXPECT_EQ(WSocketResolveHost("300.1.1.1"), Winsock::inet_addr("192.0.2.7"));
    EXPECT_EQ(WSocketResolveHost(" mail.example.test "), Winsock::inet_addr("192.0.2.25"));
    EXPECT_EQ(asked, (std::vector<std::string>{"300.1.1.1", "mail.example.test"}));

    const std::string tooLong(257, 'h');
    struct TCase {
        std::string Host;
        std::string Message;
    };
    const TCase failures[] = {
        {"", "WSocketResolveHost: '' Invalid Hostname."},
        {tooLong, "WSocketResolveHost: '" + tooLong + "' Invalid Hostname."},
        {"nowhere.example.test", "WSocketResolveHost: Cannot convert host address 'nowhere.example.test', Error #11001"},
        {"bad\x01\x7F" "name", "WSocketResolveHost: Cannot convert host address 'bad\x01\x7F" "name', Error #11001"},
    };
    for (const TCase& c : failures)
        EXPECT_EQ(MessageOf([&] { WSocketResolveHost(c.Host); }), c.Message);

    const Winsock::hostent* entry = WSocketGetHostByName("mail.example.test");
    ASSERT_NE(entry, nullptr);
    EXPECT_STREQ(entry->h_name, "mail.example.test");
    EXPECT_EQ(WSocketGetHostByName("nowhere.example.test"), nullptr);
    EXPECT_EQ(MessageOf([] { WSocketGetHostByName(""); }), "WSocketGetHostByName: Invalid Hostname.");
}

TEST(WSocketResolution, ReverseLookups)
{
    Winsock::TAddressResolver previous =
        Winsock::SetAddressResolver([](Winsock::u_long address, Winsock::THostAnswer& answer) {
            if (address != Winsock::inet_addr("192.0.2.25"))
                return Winsock::WSAHOST_NOT_FOUND;
            answer.Name = "mail.example.test";
            return 0;
        });
    EXPECT_EQ(WSocketResolveIp("192.0.2.25"), "mail.example.test");
    EXPECT_EQ(WSocketResolveIp("192.0.2.99"), "");
    EXPECT_EQ(MessageOf([] { WSocketGetHostByAddr(""); }), "WSocketGetHostByAddr: Invalid address.");
    EXPECT_EQ(MessageOf([] { WSocketGetHostByAddr(std::string(300, '1')); }), "WSocketGetHostByAddr: Invalid address.");
    Winsock::SetAddressResolver(std::move(previous));
}

TEST(WSocketResolution, Protocols)
{
    struct TCase {
        const char* Proto;
        int Number;
    };
    for (const TCase& c : {TCase{"raw", 255}, TCase{"17", 17}, TCase{" UDP ", 17}, TCase{"tcp", 6}, TCase{"icmp", 1},
                           TCase{"6x", 6}})
        EXPECT_EQ(WSocketResolveProto(c.Proto), c.Number) << c.Proto;
    EXPECT_EQ(MessageOf([] { WSocketResolveProto(""); }), "WSocketResolveProto: Invalid Protocol.");
    EXPECT_EQ(MessageOf([] { WSocketResolveProto(std::string(32, 'p')); }), "WSocketResolveProto: Invalid Protocol.");
    EXPECT_EQ(MessageOf([] { WSocketResolveProto("nosuchproto"); }),
              "WSocketResolveProto: Cannot convert protocol 'nosuchproto', Error #11004");
}

TEST(WSocketResolution, Ports)
{
    struct TCase {
        std::string Port;
        std::string Proto;
        int Number;
    };
    for (const TCase& c : {TCase{"80", "tcp", 80}, TCase{"8080x", "tcp", 8080}, TCase{"smtp", "tcp", 25},
                           TCase{"http", "tcp", 80}, TCase{" http ", " ", 80}, TCase{"65535", "tcp", 65535},
                           TCase{"0", "tcp", 0}})
        EXPECT_EQ(WSocketResolvePort(c.Port, c.Proto), c.Number) << c.Port;

    struct TFailure {
        std::string Port;
        std::string Proto;
        std::string Message;
    };
    const TFailure failures[] = {
        {std::string(32, '1'), "tcp", "WSocketResolvePort: Invalid Port."},
        {std::string(300, 'p'), "tcp", "WSocketResolvePort: Invalid Port."},
        {"", "tcp", "WSocketResolvePort: Invalid Port."},
        // Beyond the last port: a connection must not go to the port it would wrap round to.
        {"70000", "tcp", "WSocketResolvePort: Invalid Port."},
        {"99999999999999999999", "tcp", "WSocketResolvePort: Invalid Port."},
        {"80", "", "WSocketResolvePort: Invalid Proto."},
        {"80", std::string(32, 't'), "WSocketResolvePort: Invalid Proto."},
        {"nosuchservice", "tcp", "WSocketResolvePort: Cannot convert port 'nosuchservice', Error #11004"},
        {"\x01\x02", "tcp", "WSocketResolvePort: Cannot convert port '\x01\x02', Error #11004"},
    };
    for (const TFailure& c : failures)
        EXPECT_EQ(MessageOf([&] { WSocketResolvePort(c.Port, c.Proto); }), c.Message) << c.Port.size();
}

TEST(WSocketResolution, ErrorTexts)
{
    struct TCase {
        int Code;
        const char* Text;
    };
    for (const TCase& c : {TCase{10061, "Connection refused"}, TCase{12345, "Not a WinSock error"},
                           TCase{0, "No Error"}, TCase{10054, "Connection reset by peer"},
                           TCase{11001, "Host not found"}, TCase{-1, "Not a WinSock error"}})
        EXPECT_EQ(WSocketErrorDesc(c.Code), c.Text) << c.Code;
}

TEST(WSocketResolution, LocalHost)
{
    char expected[256];
    WSocketForceLoadWinsock();
    ASSERT_EQ(Winsock::gethostname(expected, sizeof expected), 0);
    EXPECT_EQ(LocalHostName(), expected);

    std::vector<std::string> asked;
    {
        TResolverScope scope(TExampleResolver{&asked});
        TStrings* list = LocalIPList();
        EXPECT_EQ(list->Count(), 0) << "a host name that does not resolve gives no addresses";
    }
    {
        TResolverScope scope([](const std::string& name, Winsock::THostAnswer& answer) {
            answer.Name = name;
            answer.Addresses = {Winsock::inet_addr("192.0.2.1"), Winsock::inet_addr("192.0.2.2")};
            return 0;
        });
        TStrings* list = LocalIPList();
        ASSERT_EQ(list->Count(), 2);
        EXPECT_EQ(list->Strings(0), "192.0.2.1");
        EXPECT_EQ(list->Strings(1), "192.0.2.2");
        EXPECT_EQ(LocalIPList(), list) << "one shared list";
    }
    WSocketCancelForceLoadWinsock();
}

TEST(WSocketLibrary, ForceLoadAndCancelTwice)
{
    WSocketUnloadWinsock();
    ASSERT_EQ(WSocketUseCount(), 0);
    ASSERT_FALSE(WSocketIsWinsockLoaded());
    for (int round = 0; round < 2; ++round) {
        WSocketForceLoadWinsock();
        WSocketForceLoadWinsock();
        EXPECT_TRUE(WSocketIsWinsockLoaded());
        EXPECT_EQ(WSocketUseCount(), 1);
        WSocketCancelForceLoadWinsock();
        EXPECT_FALSE(WSocketIsWinsockLoaded());
        EXPECT_EQ(WSocketUseCount(), 0);
        WSocketCancelForceLoadWinsock();
        EXPECT_EQ(WSocketUseCount(), 0);
    }
}

TEST(WSocketLibrary, EntryPointsAndLoadingErrors)
{
    EXPECT_EQ(WSocketGetProc("send"), reinterpret_cast<FARPROC>(&Winsock::send));
    EXPECT_EQ(WSocket2GetProc("WSAIoctl"), reinterpret_cast<FARPROC>(&Winsock::WSAIoctl));
    EXPECT_EQ(MessageOf([] { WSocketGetProc("NoSuchFunction"); }),
              "Procedure NoSuchFunction not found in wsock32.dll Error #127");
    EXPECT_EQ(MessageOf([] { WSocket2GetProc("send"); }), "Procedure send not found in ws2_32.dll Error #127");

    const Winsock::WSADATA info = WinsockInfo();
    EXPECT_EQ(info.wVersion, 0x0101);
    EXPECT_FALSE(WSocketIsWinsockLoaded()) << "nobody holds the library";

    ReqVerLow = 0;
    EXPECT_EQ(MessageOf([] { WSocketForceLoadWinsock(); }), "wsock32.dll: WSAStartup error #10092");
    EXPECT_FALSE(WSocketIsWinsockLoaded());
    EXPECT_EQ(WSocketUseCount(), 0);
    ReqVerLow = 1;
}

TEST(WSocketLibrary, WrapperHoldsTheLibraryDuringItsCall)
{
    WSocketUnloadWinsock();
    int countDuringCall = -1;
    bool loadedAfterUnloadAttempt = false;
    TResolverScope scope([&](const std::string&, Winsock::THostAnswer&) {
        countDuringCall = WSocketUseCount();
        WSocketUnloadWinsock();
        loadedAfterUnloadAttempt = WSocketIsWinsockLoaded();
        return Winsock::WSAHOST_NOT_FOUND;
    });
    EXPECT_EQ(WSocket_gethostbyname("anything.example.test"), nullptr);
    EXPECT_EQ(WSocket_WSAGetLastError(), Winsock::WSAHOST_NOT_FOUND);
    EXPECT_EQ(countDuringCall, 1);
    EXPECT_TRUE(loadedAfterUnloadAttempt);
    EXPECT_EQ(WSocketUseCount(), 0);
    WSocketUnloadWinsock();
    EXPECT_FALSE(WSocketIsWinsockLoaded());
}

// Answers every message with its number plus one, and keeps the last one.
class TTarget : public TObject, public TXSocketMessageTarget {
    TESS_CLASS(TTarget, TObject)
public:
    void WndProc(TMessage& Message) override
    {
        Last = Message;
        Thread = std::this_thread::get_id();
        Message.Result = static_cast<LRESULT>(Message.Msg) + 1;
    }
    TMessage Last;
    std::thread::id Thread;
};

class TOtherObject : public TObject {
    TESS_CLASS(TOtherObject, TObject)
};

TEST(WSocketWindow, MessagesReachTheObjectsWndProc)
{
    TTarget target;
    HWND window = XSocketAllocateHWnd(&target);
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(GetClassName(window), "XSocketWindowClass");
    EXPECT_EQ(GetWindowLongPtr(window, 0), reinterpret_cast<LONG_PTR>(static_cast<TObject*>(&target)));
    EXPECT_EQ(SendMessageA(window, WM_USER + 1, 7, Winsock::WSAMAKESELECTREPLY(Winsock::FD_READ, 10054)),
              static_cast<LRESULT>(WM_USER + 2));
    EXPECT_EQ(target.Last.WParam, 7u);
    EXPECT_EQ(Winsock::WSAGETSELECTERROR(target.Last.LParam), 10054);

    TOtherObject other;
    HWND otherWindow = XSocketAllocateHWnd(&other);
    HWND emptyWindow = XSocketAllocateHWnd(nullptr);
    EXPECT_EQ(SendMessageA(otherWindow, WM_USER + 1, 0, 0), 0) << "the default procedure answers";
    EXPECT_EQ(SendMessageA(emptyWindow, WM_USER + 1, 0, 0), 0);

    EXPECT_TRUE(XSocketDeallocateHWnd(window));
    EXPECT_FALSE(XSocketDeallocateHWnd(window));
    XSocketDeallocateHWnd(otherWindow);
    XSocketDeallocateHWnd(emptyWindow);

    WNDCLASSA windowClass;
    ASSERT_TRUE(GetClassInfoA(nullptr, "XSocketWindowClass", windowClass));
    EXPECT_EQ(windowClass.cbWndExtra, static_cast<int>(sizeof(LONG_PTR)));
    WSocketUnregisterClass();
    EXPECT_FALSE(GetClassInfoA(nullptr, "XSocketWindowClass", windowClass));
    window = XSocketAllocateHWnd(&target);
    EXPECT_NE(window, nullptr) << "registered again when needed";
    XSocketDeallocateHWnd(window);
}

TEST(WSocketWindow, PostedMessagesRunOnTheCreatingThread)
{
    TTarget target;
    std::thread::id worker;
    TMessage received;
    std::thread::id receivedOn;
    std::thread thread([&] {
        worker = std::this_thread::get_id();
        HWND window = XSocketAllocateHWnd(&target);
        PostMessageA(window, WM_USER + 3, 1, 2);
        PostQuitMessage(0);
        MSG msg;
        while (GetMessageA(msg, nullptr, 0, 0))
            DispatchMessageA(msg);
        received = target.Last;
        receivedOn = target.Thread;
        XSocketDeallocateHWnd(window);
    });
    thread.join();
    EXPECT_EQ(received.Msg, static_cast<UINT>(WM_USER + 3));
    EXPECT_EQ(receivedOn, worker);
}

} // namespace
} // namespace WSocketTest
