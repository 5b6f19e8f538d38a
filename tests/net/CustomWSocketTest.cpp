// The socket component against real peers on 127.0.0.1: socat as an echo server, python3 scripts
// for exact behaviour, and components of its own as listeners and partners.

#include "NetPeers.h"

#include "net/WSocket.h"
#include "platform/gui/Application.h"
#include "platform/gui/MessageQueue.h"
#include "platform/rtl/Threads.h"

#include <gtest/gtest.h>

#include <atomic>
#include <mutex>
#include <string>
#include <sys/resource.h>
#include <vector>

namespace CustomWSocketTest {
namespace {

// Every python3 peer starts with these: serve() listens on a free port, says so and accepts one
// client; reset() drops a connection so that the other side sees a reset.
const std::string PythonPrelude = R"(
import socket, struct, sys, time
def serve():
    listener = socket.socket()
    listener.bind(("127.0.0.1", 0))
    listener.listen(5)
    listener.settimeout(20)
    print("READY", listener.getsockname()[1], flush=True)
    connection, _ = listener.accept()
    connection.settimeout(20)
    return connection
def reset(connection):
    connection.setsockopt(socket.SOL_SOCKET, socket.SO_LINGER, struct.pack("ii", 1, 0))
    connection.close()
)";

std::unique_ptr<TPeerProcess> ServingPeer(const std::string& body)
{
    return TPeerProcess::Python(PythonPrelude + body);
}

std::string StateName(TSocketState state)
{
    static const char* const names[] = {"invalid",   "opened",    "bound",     "connecting", "socksconnected",
                                        "connected", "accepting", "listening", "closed"};
    return names[state];
}

// The events of a component as text, in their order.
struct TEvents {
    std::vector<std::string> Log;

    void Add(const std::string& entry) { Log.push_back(entry); }
    int Count(const std::string& entry) const
    {
        int count = 0;
        for (const std::string& logged : Log)
            count += logged == entry || logged.rfind(entry + " ", 0) == 0;
        return count;
    }
    // Logs the connection, close, look-up and state events of socket.
    void Watch(TCustomWSocket& socket)
    {
        socket.OnSessionConnected = [this](TObject*, WORD error) { Add("connected " + std::to_string(error)); };
        socket.OnSessionClosed = [this](TObject*, WORD error) { Add("closed " + std::to_string(error)); };
        socket.OnDnsLookupDone = [this](TObject*, WORD error) { Add("lookup " + std::to_string(error)); };
        socket.OnChangeState = [this](TObject*, TSocketState oldState, TSocketState newState) {
            Add("state " + StateName(oldState) + ">" + StateName(newState));
        };
    }
};

// An OnDataAvailable handler that appends what one Receive gives to into.
TDataAvailable Collect(TCustomWSocket& socket, std::string& into)
{
    return [&socket, &into](TObject*, WORD) {
        std::vector<char> buffer(65536);
        const int count = socket.Receive(buffer.data(), static_cast<int>(buffer.size()));
        if (count > 0)
            into.append(buffer.data(), static_cast<std::size_t>(count));
    };
}

// The text of the ESocketException call raises, "" when it raises none.
std::string ReportOf(const std::function<void()>& call)
{
    try {
        call();
    } catch (const ESocketException& e) {
        return e.Message;
    }
    return "";
}

void ConnectTo(TCustomWSocket& socket, int port)
{
    socket.SetAddr("127.0.0.1");
    socket.SetPort(std::to_string(port));
    socket.Connect();
}

std::string Pattern(std::size_t size)
{
    std::string data(size, '\0');
    unsigned value = 12345;
    for (char& c : data) {
        value = value * 1103515245u + 12345u;
        c = static_cast<char>(value >> 16);
    }
    return data;
}

// A listening component on a free port, the component that took over the accepted connection
// with Dup, and a client connected to it; each collects what it receives.
struct TPair {
    TCustomWSocket Listener{nullptr};
    TCustomWSocket Server{nullptr};
    TCustomWSocket Client{nullptr};
    std::string ServerReceived;
    std::string ClientReceived;

    TPair()
    {
        Listener.SetAddr("127.0.0.1");
        Listener.SetPort("0");
        Listener.OnSessionAvailable = [this](TObject*, WORD) { Server.Dup(Listener.Accept()); };
        Listener.Listen();
        Server.OnDataAvailable = Collect(Server, ServerReceived);
        Client.OnDataAvailable = Collect(Client, ClientReceived);
        ConnectTo(Client, std::stoi(Listener.LocalPort()));
        EXPECT_TRUE(PumpUntil([this] { return Server.State() == wsConnected && Client.State() == wsConnected; }));
    }
};

// --- Connections ----------------------------------------------------------------------------

TEST(WSocketConnection, EchoOfOneMebibyteThroughALookedUpName)
{
    auto peer = TPeerProcess::Socat({"TCP-LISTEN:{port},bind=127.0.0.1,reuseaddr,fork", "EXEC:cat"});
    const std::string data = Pattern(1 << 20);
    TEvents events;
    TCustomWSocket socket(nullptr);
    events.Watch(socket);
    std::string received;
    std::size_t receivedAtClose = 0;
    bool inSend = false;
    bool dataSentInSend = false;
    bool allQueued = false;
    bool shutDown = false;
    const int chunk = static_cast<int>(data.size() / 10);

    socket.OnDnsLookupDone = [&](TObject*, WORD error) {
        events.Add("lookup " + std::to_string(error));
        events.Add("result " + socket.DnsResult());
        socket.SetAddr(socket.DnsResult());
        socket.SetPort(peer->PortText());
        // Settings of this connection only: a close gives them their defaults back.
        socket.SetLocalAddr("127.0.0.1");
        socket.SetLingerOnOff(wsLingerOff);
        socket.SetLingerTimeout(7);
        socket.Connect();
    };
    socket.OnSessionConnected = [&](TObject*, WORD error) {
        events.Add("connected " + std::to_string(error));
        for (int i = 0; i < 10; ++i) {
            inSend = true;
            const int length = i < 9 ? chunk : static_cast<int>(data.size()) - 9 * chunk;
            EXPECT_EQ(socket.Send(data.data() + i * chunk, length), length);
            inSend = false;
        }
        allQueued = true;
    };
    socket.OnDataSent = [&](TObject*, WORD) {
        dataSentInSend = dataSentInSend || inSend;
        // Everything left: cat sees the end of its input and the peer closes.
        if (allQueued && socket.AllSent() && !shutDown) {
            shutDown = true;
            socket.Shutdown(1);
        }
    };
    socket.OnDataAvailable = Collect(socket, received);
    socket.OnSessionClosed = [&](TObject*, WORD error) {
        events.Add("closed " + std::to_string(error));
        receivedAtClose = received.size();
    };

    socket.DnsLookup("localhost");
    ASSERT_TRUE(PumpUntil([&] { return events.Count("closed") > 0; }, 30000)) << received.size();
    Pump(200);

    EXPECT_TRUE(received == data) << "received " << received.size() << " bytes";
    EXPECT_EQ(receivedAtClose, data.size());
    EXPECT_FALSE(dataSentInSend);
    EXPECT_EQ(events.Log, (std::vector<std::string>{"lookup 0", "result 127.0.0.1", "state closed>opened",
                                                    "state opened>connecting", "state connecting>connected",
                                                    "connected 0", "closed 0", "state connected>closed"}));

    // After the close: the texts of Addr and Port stay but must be given again.
    EXPECT_EQ(socket.State(), wsClosed);
    EXPECT_EQ(socket.Proto(), "tcp");
    EXPECT_EQ(socket.Addr(), "127.0.0.1");
    EXPECT_EQ(socket.Port(), peer->PortText());
    EXPECT_EQ(socket.LocalAddr(), "0.0.0.0");
    EXPECT_EQ(socket.LocalPort(), "0");
    EXPECT_EQ(socket.LingerOnOff(), wsLingerOn);
    EXPECT_EQ(socket.LingerTimeout(), 0);
    EXPECT_EQ(ReportOf([&] { socket.Connect(); }), "Connect: No Port Specified");
    socket.SetPort(peer->PortText());
    EXPECT_EQ(ReportOf([&] { socket.Connect(); }), "Connect: No IP Address Specified");
}

TEST(WSocketConnection, RefusedConnectionIsToldThenClosedOnce)
{
    TEvents events;
    TCustomWSocket socket(nullptr);
    events.Watch(socket);
    ConnectTo(socket, FreeLoopbackPort());
    ASSERT_TRUE(PumpUntil([&] { return events.Count("closed") > 0; }));
    Pump(200);
    EXPECT_EQ(events.Log, (std::vector<std::string>{"state closed>opened", "state opened>connecting",
                                                    "state connecting>connected", "connected 10061",
                                                    "state connected>closed", "closed 0"}));
    EXPECT_EQ(socket.HSocket(), Winsock::INVALID_SOCKET);
}

TEST(WSocketConnection, ListenAcceptAndDupCarryDataBothWays)
{
    TCustomWSocket listener(nullptr);
    TCustomWSocket server(nullptr);
    std::string serverReceived;
    std::string peerAddress;
    server.OnDataAvailable = [&](TObject*, WORD) {
        serverReceived += server.ReceiveStr();
        if (serverReceived == "ping\n") {
            peerAddress = server.GetPeerAddr();
            server.SendStr("pong\n");
        }
    };
    listener.OnSessionAvailable = [&](TObject*, WORD error) {
        EXPECT_EQ(error, 0);
        server.Dup(listener.Accept());
    };
    listener.SetAddr("127.0.0.1");
    listener.SetPort("0");
    listener.Listen();
    ASSERT_EQ(listener.State(), wsListening);
    ASSERT_NE(listener.LocalPort(), "0") << "the port the system gave";
    EXPECT_EQ(listener.GetXPort(), listener.LocalPort());
    EXPECT_EQ(listener.GetXAddr(), "127.0.0.1");

    auto client = TPeerProcess::Python(R"(
import socket, sys
connection = socket.create_connection(("127.0.0.1", int(sys.argv[1])), timeout=20)
connection.sendall(b"ping\n")
print(connection.makefile().readline().strip(), flush=True)
)",
                                       {listener.LocalPort()}, false);
    ASSERT_TRUE(PumpUntil([&] { return serverReceived == "ping\n"; }));
    EXPECT_EQ(peerAddress, "127.0.0.1");
    EXPECT_EQ(client->ReadLine(), "pong");
    EXPECT_EQ(listener.State(), wsListening) << "the listener goes on listening";
}

// --- Reports -------------------------------------------------------------------------------

struct TReport {
    std::string Name;
    std::function<void(TCustomWSocket&)> Call;
    std::string Message;
};

// Each misuse is reported with its text: raised without OnError, through OnError with it; the
// component is left closed and usable.
TEST(WSocketReports, MisuseAndBadTextsAreToldByTheirTexts)
{
    Winsock::TNameResolver previous = Winsock::SetNameResolver([](const std::string&, Winsock::THostAnswer&) {
        return Winsock::WSAHOST_NOT_FOUND;
    });
    const std::string longName(300, 'h');
    const std::vector<TReport> reports = {
        {"send while closed", [](TCustomWSocket& s) { s.SendStr("data"); },
         "Error 10057 in function Send\r\nSocket is not connected"},
        {"no port", [](TCustomWSocket& s) { s.SetAddr("127.0.0.1"); s.Connect(); }, "Connect: No Port Specified"},
        {"no address", [](TCustomWSocket& s) { s.SetPort("25"); s.Connect(); }, "Connect: No IP Address Specified"},
        {"empty protocol",
         [](TCustomWSocket& s) {
             s.SetAddr("127.0.0.1");
             s.SetPort("25");
             s.SetProto("  ");
             s.Connect();
         },
         "Connect: No Protocol Specified"},
        {"over-long address",
         [&](TCustomWSocket& s) {
             s.SetAddr(longName);
             s.SetPort("25");
             s.Connect();
         },
         "connect: WSocketResolveHost: '" + longName + "' Invalid Hostname."},
        {"unknown host",
         [](TCustomWSocket& s) {
             s.SetAddr("bad\x01\x7Fhost");
             s.SetPort("25");
             s.Connect();
         },
         "connect: WSocketResolveHost: Cannot convert host address 'bad\x01\x7Fhost', Error #11001"},
        {"control characters in the port",
         [](TCustomWSocket& s) {
             s.SetAddr("127.0.0.1");
             s.SetPort("a\x01\x02b");
             s.Connect();
         },
         "connect: WSocketResolvePort: Cannot convert port 'a\x01\x02b', Error #11004"},
        {"port of control characters only",
         [](TCustomWSocket& s) {
             s.SetAddr("127.0.0.1");
             s.SetPort("\x01\x02");
             s.Connect();
         },
         "Connect: No Port Specified"},
        {"over-long protocol",
         [](TCustomWSocket& s) {
             s.SetAddr("127.0.0.1");
             s.SetPort("25");
             s.SetProto(std::string(40, 'p'));
             s.Connect();
         },
         "connect: WSocketResolveProto: Invalid Protocol."},
        {"local port beyond the last",
         [](TCustomWSocket& s) {
             s.SetAddr("127.0.0.1");
             s.SetPort("25");
             s.SetLocalPort("70000");
             s.Connect();
         },
         "connect: WSocketResolvePort: Invalid Port."},
        {"unknown local address",
         [](TCustomWSocket& s) {
             s.SetAddr("127.0.0.1");
             s.SetPort("25");
             s.SetLocalAddr("no\ttabs");
             s.Connect();
         },
         "connect: WSocketResolveHost: Cannot convert host address 'no\ttabs', Error #11001"},
        {"reverse look-up of nothing", [](TCustomWSocket& s) { s.ReverseDnsLookup(""); },
         "ReverseDnsLookup: Invalid host name."},
        {"listen without port", [](TCustomWSocket& s) { s.Listen(); },
         "Error 10022 in function listen: port not assigned\r\nInvalid argument"},
        {"accept while closed", [](TCustomWSocket& s) { s.Accept(); },
         "Error 10022 in function not a listening socket\r\nInvalid argument"},
        {"dup of no socket", [](TCustomWSocket& s) { s.Dup(Winsock::INVALID_SOCKET); },
         "Error 10022 in function Dup\r\nInvalid argument"},
        {"attach twice", [](TCustomWSocket& s) { s.ThreadAttach(); }, "Cannot attach when not detached"},
        {"version once loaded",
         [](TCustomWSocket& s) {
             WSocketForceLoadWinsock();
             s.SetReqVerLow(2);
         },
         "Error 10022 in function SetReqVerLow: WinSock version can't be changed now\r\nInvalid argument"},
    };
    for (const bool withOnError : {false, true}) {
        for (const TReport& report : reports) {
            SCOPED_TRACE(report.Name + (withOnError ? " with OnError" : ""));
            TCustomWSocket socket(nullptr);
            int errors = 0;
            if (withOnError)
                socket.OnError = [&](TObject* sender) {
                    EXPECT_EQ(sender, &socket);
                    ++errors;
                };
            const std::string message = ReportOf([&] { report.Call(socket); });
            WSocketCancelForceLoadWinsock();
            if (withOnError) {
                EXPECT_EQ(message, "");
                EXPECT_EQ(errors, 1);
            } else {
                EXPECT_EQ(message, report.Message);
            }
            EXPECT_EQ(socket.State(), wsClosed);
            EXPECT_EQ(socket.HSocket(), Winsock::INVALID_SOCKET);
        }
    }
    EXPECT_EQ(ReqVerLow, 1) << "the version stays";
    Winsock::SetNameResolver(std::move(previous));
}

TEST(WSocketReports, AddressesChangeOnlyWhileClosed)
{
    TPair pair;
    TCustomWSocket& client = pair.Client;
    std::string message;
    for (const auto& change : std::vector<std::function<void()>>{
             [&] { client.SetAddr("127.0.0.2"); }, [&] { client.SetPort("1"); }, [&] { client.SetProto("udp"); },
             [&] { client.SetLocalAddr("127.0.0.1"); }, [&] { client.SetLocalPort("1"); }})
        message += ReportOf(change) + "|";
    EXPECT_EQ(message, "Cannot change Addr if not closed|Cannot change Port if not closed|"
                       "Cannot change Proto if not closed|Cannot change LocalAddr if not closed|"
                       "Cannot change LocalPort if not closed|");
    // The values it has are accepted.
    client.SetAddr("127.0.0.1");
    client.SetAddr(" 127.0.0.1 ");
    client.SetPort(pair.Listener.LocalPort());
    client.SetProto("tcp");
    EXPECT_EQ(client.State(), wsConnected);
}

// A raw socket needs privileges; receive-all does not exist on this system. Either way the report
// comes through SocketError and the component stays closed.
TEST(WSocketReports, RawListenerWithReceiveAll)
{
    TCustomWSocket socket(nullptr);
    socket.SetProto("raw_icmp");
    socket.SetAddr("127.0.0.1");
    socket.SetPort("0");
    socket.SetComponentOptions({wsoSIO_RCVALL});
    const std::string message = ReportOf([&] { socket.Listen(); });
    if (message.rfind("Error 10013 ", 0) == 0)
        EXPECT_EQ(message, "Error 10013 in function socket\r\nPermission denied");
    else
        EXPECT_EQ(message, "Error 10045 in function WSAIoctl(SIO_RCVALL)\r\nOperation not supported on socket");
    EXPECT_EQ(socket.State(), wsClosed);
    EXPECT_EQ(socket.HSocket(), Winsock::INVALID_SOCKET);
}

TEST(WSocketReports, FailedListenLeavesNoSocketBehind)
{
    TCustomWSocket first(nullptr);
    first.SetAddr("127.0.0.1");
    first.SetPort("0");
    first.Listen();
    TCustomWSocket second(nullptr);
    second.SetAddr("127.0.0.1");
    second.SetPort(first.LocalPort());
    EXPECT_EQ(ReportOf([&] { second.Listen(); }), "Error 10048 in function Bind\r\nAddress already in use");
    EXPECT_EQ(second.State(), wsClosed);
    EXPECT_EQ(second.HSocket(), Winsock::INVALID_SOCKET);
    second.SetAddr("127.0.0.1");
    second.SetPort("0");
    second.Listen();
    EXPECT_EQ(second.State(), wsListening);
}

// --- Name look-ups ----------------------------------------------------------------------------

TEST(WSocketLookups, AnswersComeThroughTheEvent)
{
    std::vector<std::string> asked;
    std::mutex askedLock;
    Winsock::TNameResolver previous =
        Winsock::SetNameResolver([&](const std::string& name, Winsock::THostAnswer& answer) {
            {
                std::lock_guard<std::mutex> lock(askedLock);
                asked.push_back(name);
            }
            if (name == "slow.example.test")
                std::this_thread::sleep_for(std::chrono::milliseconds(500));
            if (name != "mail.example.test")
                return Winsock::WSAHOST_NOT_FOUND;
            answer.Name = name;
            answer.Addresses = {Winsock::inet_addr("192.0.2.25"), Winsock::inet_addr("192.0.2.26")};
            return 0;
        });
    Winsock::TAddressResolver previousAddress =
        Winsock::SetAddressResolver([](Winsock::u_long address, Winsock::THostAnswer& answer) {
            if (address != Winsock::inet_addr("192.0.2.25"))
                return Winsock::WSAHOST_NOT_FOUND;
            answer.Name = "mail.example.test";
            return 0;
        });

    struct TCase {
        std::string Name;
        bool Reverse;
        std::vector<std::string> AtOnce; // the events before the call returned
        std::vector<std::string> Later;
        std::string Result;
        int ResultCount;
    };
    const TCase cases[] = {
        {"192.168.1.2", false, {"lookup 0"}, {}, "192.168.1.2", 1},
        {" 10.0.0.1 ", false, {"lookup 0"}, {}, "10.0.0.1", 1},
        {"mail.example.test", false, {}, {"lookup 0"}, "192.0.2.25", 2},
        {"nowhere.example.test", false, {}, {"lookup 11001"}, "", 0},
        {"192.0.2.25", true, {}, {"lookup 0"}, "mail.example.test", 1},
        {"192.0.2.99", true, {}, {"lookup 11001"}, "", 0},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        TEvents events;
        TCustomWSocket socket(nullptr);
        events.Watch(socket);
        if (c.Reverse)
            socket.ReverseDnsLookup(c.Name);
        else
            socket.DnsLookup(c.Name);
        EXPECT_EQ(events.Log, c.AtOnce);
        PumpUntil([&] { return events.Log.size() == c.AtOnce.size() + c.Later.size(); });
        std::vector<std::string> all = c.AtOnce;
        all.insert(all.end(), c.Later.begin(), c.Later.end());
        EXPECT_EQ(events.Log, all);
        EXPECT_EQ(socket.DnsResult(), c.Result);
        EXPECT_EQ(socket.DnsResultList()->Count(), c.ResultCount);
    }
    {
        std::lock_guard<std::mutex> lock(askedLock);
        EXPECT_EQ(asked, (std::vector<std::string>{"mail.example.test", "nowhere.example.test"}))
            << "dotted addresses are not looked up";
    }

    // A cancelled look-up tells 10004 at once and nothing later.
    TEvents events;
    TCustomWSocket socket(nullptr);
    events.Watch(socket);
    socket.DnsLookup("slow.example.test");
    socket.CancelDnsLookup();
    EXPECT_EQ(events.Log, std::vector<std::string>{"lookup 10004"});
    Pump(800);
    EXPECT_EQ(events.Log, std::vector<std::string>{"lookup 10004"});

    // An empty name: raised without OnError; with it OnError, then the look-up's end with 10022.
    events.Log.clear();
    EXPECT_EQ(ReportOf([&] { socket.DnsLookup(""); }), "DNS lookup: invalid host name.");
    EXPECT_TRUE(events.Log.empty());
    socket.OnError = [&](TObject*) { events.Add("error"); };
    socket.DnsLookup("");
    EXPECT_EQ(events.Log, (std::vector<std::string>{"error", "lookup 10022"}));

    Winsock::SetNameResolver(std::move(previous));
    Winsock::SetAddressResolver(std::move(previousAddress));
}

// --- Receiving and closing ----------------------------------------------------------------------

TEST(WSocketClosing, DataSentBeforeTheCloseArrivesFirst)
{
    for (const bool noReceiveLoop : {false, true}) {
        SCOPED_TRACE(noReceiveLoop ? "without receive loop" : "with receive loop");
        auto peer = ServingPeer(R"(
connection = serve()
connection.sendall(bytes(range(256)) * 256)
connection.close()
)");
        TCustomWSocket socket(nullptr);
        if (noReceiveLoop)
            socket.SetComponentOptions({wsoNoReceiveLoop});
        std::string received;
        std::vector<std::size_t> receivedAtClose;
        socket.OnDataAvailable = [&](TObject*, WORD) {
            // Small reads: the rest waits for the next round.
            char buffer[1000];
            const int count = socket.Receive(buffer, sizeof buffer);
            if (count > 0)
                received.append(buffer, static_cast<std::size_t>(count));
        };
        socket.OnSessionClosed = [&](TObject*, WORD) { receivedAtClose.push_back(received.size()); };
        ConnectTo(socket, peer->Port());
        ASSERT_TRUE(PumpUntil([&] { return !receivedAtClose.empty(); }));
        Pump(100);
        EXPECT_EQ(receivedAtClose, std::vector<std::size_t>{65536});
        std::string expected;
        for (int i = 0; i < 256; ++i)
            for (int b = 0; b < 256; ++b)
                expected += static_cast<char>(b);
        EXPECT_TRUE(received == expected);
        EXPECT_EQ(socket.ReadCount(), 0) << "a close starts the count again";
    }
}

TEST(WSocketClosing, CloseFromTheDataEventIsToldOnce)
{
    auto peer = ServingPeer(R"(
connection = serve()
connection.sendall(b"hello")
time.sleep(0.3)
connection.close()
)");
    TEvents events;
    TCustomWSocket socket(nullptr);
    events.Watch(socket);
    std::string received;
    // The usual handler: read, and close at the end of the stream.
    socket.OnDataAvailable = [&](TObject*, WORD) {
        char buffer[100];
        const int count = socket.Receive(buffer, sizeof buffer);
        if (count > 0)
            received.append(buffer, static_cast<std::size_t>(count));
        else if (count == 0)
            socket.Close();
    };
    ConnectTo(socket, peer->Port());
    ASSERT_TRUE(PumpUntil([&] { return events.Count("closed") > 0; }));
    Pump(300);
    EXPECT_EQ(received, "hello");
    EXPECT_EQ(events.Count("closed"), 1);

    // Closing at once from the first data event.
    auto second = ServingPeer(R"(
connection = serve()
connection.sendall(b"x" * 100000)
time.sleep(0.5)
)");
    TEvents secondEvents;
    TCustomWSocket other(nullptr);
    secondEvents.Watch(other);
    other.OnDataAvailable = [&](TObject*, WORD) { other.Close(); };
    ConnectTo(other, second->Port());
    ASSERT_TRUE(PumpUntil([&] { return secondEvents.Count("closed") > 0; }));
    Pump(700);
    EXPECT_EQ(secondEvents.Count("closed"), 1);
}

TEST(WSocketClosing, AbortResetsTheConnection)
{
    auto peer = ServingPeer(R"(
try:
    connection = serve()
    data = connection.recv(100)
    print("EOF" if not data else "DATA", flush=True)
except ConnectionResetError:
    print("RESET", flush=True)
)");
    TEvents events;
    TCustomWSocket socket(nullptr);
    events.Watch(socket);
    socket.OnSessionConnected = [&](TObject*, WORD) { socket.Abort(); };
    ConnectTo(socket, peer->Port());
    ASSERT_TRUE(PumpUntil([&] { return events.Count("closed") > 0; }));
    EXPECT_EQ(peer->ReadLine(), "RESET");
    Pump(100);
    EXPECT_EQ(events.Count("closed"), 1);
    EXPECT_EQ(socket.State(), wsClosed);
}

// Peers that reset at any moment, say nothing or flood: one close each, whatever happens.
TEST(WSocketClosing, HostilePeersEndWithOneClose)
{
    struct TCase {
        const char* Name;
        const char* Body;
        int SendOnConnect; // bytes the component sends when connected
    };
    const TCase cases[] = {
        {"reset at once", "reset(serve())\n", 0},
        {"silent close", "serve().close()\n", 0},
        {"reset in the middle of a send", "c = serve()\nc.recv(10000)\nreset(c)\n", 8 << 20},
        {"reset after its close", "c = serve()\nc.shutdown(socket.SHUT_WR)\ntime.sleep(0.3)\nreset(c)\n", 0},
        {"flood of small packets",
         "c = serve()\nc.setsockopt(socket.IPPROTO_TCP, socket.TCP_NODELAY, 1)\n"
         "for i in range(5000):\n    c.send(b'y' * (1 + i % 7))\nc.close()\n",
         0},
        {"flood then reset",
         "c = serve()\nfor i in range(2000):\n    c.send(b'z' * (1 + i % 5))\nreset(c)\n", 100000},
    };
    const std::string payload = Pattern(8 << 20);
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        auto peer = ServingPeer(c.Body);
        TEvents events;
        TCustomWSocket socket(nullptr);
        events.Watch(socket);
        std::string received;
        socket.OnDataAvailable = Collect(socket, received);
        socket.OnSessionConnected = [&](TObject*, WORD error) {
            events.Add("connected " + std::to_string(error));
            if (c.SendOnConnect > 0)
                socket.Send(payload.data(), c.SendOnConnect);
        };
        ConnectTo(socket, peer->Port());
        EXPECT_TRUE(PumpUntil([&] { return events.Count("closed") > 0; }));
        Pump(300);
        EXPECT_EQ(events.Count("closed"), 1);
        EXPECT_EQ(socket.State(), wsClosed);
    }
}

// The safe way to free a component from its own event.
TEST(WSocketClosing, ReleaseFromTheCloseEventFreesTheComponent)
{
    class TWatchedSocket : public TCustomWSocket {
    public:
        TWatchedSocket(bool& destroyed) : TCustomWSocket(nullptr), FDestroyed(destroyed) {}
        ~TWatchedSocket() override { FDestroyed = true; }

    private:
        bool& FDestroyed;
    };
    auto peer = ServingPeer("serve().close()\n");
    bool destroyed = false;
    int closes = 0;
    auto* socket = new TWatchedSocket(destroyed);
    socket->OnSessionClosed = [&](TObject*, WORD) {
        ++closes;
        socket->Release();
    };
    const int usersBefore = WSocketUseCount();
    ConnectTo(*socket, peer->Port());
    ASSERT_TRUE(PumpUntil([&] { return destroyed; }));
    EXPECT_EQ(closes, 1);
    EXPECT_EQ(WSocketUseCount(), usersBefore - 1);
}

// --- Sending --------------------------------------------------------------------------------

TEST(WSocketSending, NothingQueuedIsAllSent)
{
    TPair pair;
    int sent = 0;
    pair.Client.OnDataSent = [&](TObject*, WORD) { ++sent; };
    Pump(100);
    sent = 0;
    pair.Client.Send(nullptr, 0);
    pair.Client.Flush();
    EXPECT_TRUE(pair.Client.AllSent());
    EXPECT_TRUE(PumpUntil([&] { return sent > 0; }, 3000)) << "OnDataSent follows from the message loop";

    // Queued data goes out with the next Send.
    pair.Client.PutStringInSendBuffer("queued ");
    pair.Client.PutDataInSendBuffer("data", 4);
    pair.Client.SendStr("!");
    pair.Client.Flush();
    EXPECT_TRUE(PumpUntil([&] { return pair.ServerReceived == "queued data!"; }));
}

TEST(WSocketSending, PauseHoldsTheDataUntilResume)
{
    TPair pair;
    pair.Server.Pause();
    pair.Client.SendStr("while paused");
    Pump(300);
    EXPECT_EQ(pair.ServerReceived, "");
    pair.Server.Resume();
    EXPECT_TRUE(PumpUntil([&] { return pair.ServerReceived == "while paused"; }));
}

TEST(WSocketSending, DatagramsBothWays)
{
    TEvents serverEvents;
    TCustomWSocket server(nullptr);
    serverEvents.Watch(server);
    server.SetProto("udp");
    server.SetAddr("127.0.0.1");
    server.SetPort("0");
    server.OnDataAvailable = [&](TObject*, WORD) {
        char buffer[100];
        Winsock::sockaddr_in from{};
        int fromLength = sizeof from;
        const int count = server.ReceiveFrom(buffer, sizeof buffer, reinterpret_cast<Winsock::sockaddr&>(from),
                                             fromLength);
        if (count > 0) {
            const std::string reply = "pong:" + std::string(buffer, static_cast<std::size_t>(count));
            server.SendTo(reinterpret_cast<Winsock::sockaddr&>(from), fromLength, reply.data(),
                          static_cast<int>(reply.size()));
        }
    };
    server.Listen();
    EXPECT_EQ(serverEvents.Log,
              (std::vector<std::string>{"state closed>bound", "state bound>listening", "state listening>connected",
                                        "connected 0"}));
    ASSERT_NE(server.LocalPort(), "0");

    TCustomWSocket client(nullptr);
    std::string received;
    client.OnDataAvailable = Collect(client, received);
    client.SetProto("udp");
    ConnectTo(client, std::stoi(server.LocalPort()));
    EXPECT_EQ(client.State(), wsConnected) << "a datagram socket is connected at once";
    client.SendStr("ping");
    EXPECT_TRUE(PumpUntil([&] { return received == "pong:ping"; }));

    // A broadcast address sets the broadcast option.
    TCustomWSocket broadcaster(nullptr);
    broadcaster.SetProto("udp");
    broadcaster.SetAddr("255.255.255.255");
    broadcaster.SetPort("9");
    broadcaster.Connect();
    int enabled = 0;
    int length = sizeof enabled;
    ASSERT_EQ(Winsock::getsockopt(broadcaster.HSocket(), Winsock::SOL_SOCKET, Winsock::SO_BROADCAST,
                                  reinterpret_cast<char*>(&enabled), &length),
              0);
    EXPECT_EQ(enabled, 1);
}

// --- Threads and background exceptions -------------------------------------------------------

// A worker thread that takes the component over, runs body (the message loop, a wait) and gives
// it back.
class TSocketWorker : public TThread {
public:
    TSocketWorker(TCustomWSocket& socket, std::function<void()> body)
        : TThread(true), FSocket(socket), FBody(std::move(body))
    {
    }
    ~TSocketWorker() override
    {
        Terminate();
        WaitFor();
    }
    std::atomic<bool> Attached{false};

protected:
    void Execute() override
    {
        FSocket.ThreadAttach();
        Attached = true;
        FBody();
        FSocket.ThreadDetach();
    }

private:
    TCustomWSocket& FSocket;
    std::function<void()> FBody;
};

TEST(WSocketThreads, DataEventsFollowTheComponentToAWorker)
{
    TPair pair;
    std::mutex lock;
    std::string received;
    std::vector<std::uint32_t> threads;
    pair.Client.OnDataAvailable = [&](TObject*, WORD) {
        const std::string text = pair.Client.ReceiveStr();
        std::lock_guard<std::mutex> guard(lock);
        received += text;
        threads.push_back(GetCurrentThreadId());
    };
    auto receivedText = [&] {
        std::lock_guard<std::mutex> guard(lock);
        return received;
    };

    pair.Client.ThreadDetach();
    TSocketWorker worker(pair.Client, [&] { pair.Client.MessageLoop(); });
    worker.Start();
    ASSERT_TRUE(PumpUntil([&] { return worker.Attached.load(); }));
    pair.Server.SendStr("on the worker");
    ASSERT_TRUE(PumpUntil([&] { return receivedText() == "on the worker"; }));
    PostThreadMessageA(worker.ThreadID(), WM_QUIT, 0, 0);
    ASSERT_TRUE(PumpUntil([&] { return worker.Finished(); }));
    worker.WaitFor();

    pair.Client.ThreadAttach();
    pair.Server.SendStr(" and back");
    ASSERT_TRUE(PumpUntil([&] { return receivedText() == "on the worker and back"; }));
    std::lock_guard<std::mutex> guard(lock);
    ASSERT_GE(threads.size(), 2u);
    EXPECT_EQ(threads.front(), worker.ThreadID());
    EXPECT_EQ(threads.back(), GetCurrentThreadId());
}

// With MultiThreaded a wait on a worker runs the worker's own messages.
TEST(WSocketThreads, AWaitOnAWorkerPumpsItsOwnMessages)
{
    TPair pair;
    std::mutex lock;
    std::vector<std::string> seen;
    auto note = [&](const std::string& what) {
        std::lock_guard<std::mutex> guard(lock);
        seen.push_back(what + (GetCurrentThreadId() == MainThreadID() ? " on main" : " on worker"));
    };
    pair.Client.OnDataAvailable = [&](TObject*, WORD) {
        const std::string text = pair.Client.ReceiveStr();
        if (!text.empty())
            note("data " + text);
    };
    pair.Client.OnSessionClosed = [&](TObject*, WORD) { note("closed"); };
    pair.Client.SetMultiThreaded(true);
    pair.Client.ThreadDetach();
    std::atomic<bool> waited{false};
    TSocketWorker worker(pair.Client, [&] {
        pair.Client.WaitForClose();
        waited = true;
    });
    worker.Start();
    ASSERT_TRUE(PumpUntil([&] { return worker.Attached.load(); }));
    pair.Server.SendStr("last words");
    Pump(200);
    pair.Server.Close();
    ASSERT_TRUE(PumpUntil([&] { return worker.Finished(); }));
    EXPECT_TRUE(waited);
    EXPECT_EQ(pair.Client.State(), wsClosed);
    std::lock_guard<std::mutex> guard(lock);
    EXPECT_EQ(seen, (std::vector<std::string>{"data last words on worker", "closed on worker"}));
}

TEST(WSocketThreads, BackgroundExceptionsReachOnBgException)
{
    auto peer = ServingPeer("c = serve()\ntime.sleep(5)\n");
    TEvents events;
    TCustomWSocket socket(nullptr);
    events.Watch(socket);
    bool keepOpen = false;
    socket.OnBgException = [&](TObject* sender, Exception& E, bool& CanClose) {
        EXPECT_EQ(sender, &socket);
        events.Add("bg " + E.Message);
        CanClose = !keepOpen;
    };
    socket.OnSessionConnected = [&](TObject*, WORD) { RAISE(ESocketException("handler failed")); };
    ConnectTo(socket, peer->Port());
    ASSERT_TRUE(PumpUntil([&] { return events.Count("closed") > 0; }));
    EXPECT_EQ(events.Log, (std::vector<std::string>{"state closed>opened", "state opened>connecting",
                                                    "state connecting>connected", "bg handler failed",
                                                    "state connected>closed", "closed 0"}))
        << "CanClose left true aborts";

    // The test message goes the same way; CanClose false keeps the connection.
    auto second = ServingPeer("c = serve()\ntime.sleep(5)\n");
    socket.OnSessionConnected = nullptr;
    keepOpen = true;
    ConnectTo(socket, second->Port());
    ASSERT_TRUE(PumpUntil([&] { return socket.State() == wsConnected; }));
    events.Log.clear();
    PostMessageA(socket.Handle(), WM_TRIGGER_EXCEPTION, 0, 0);
    ASSERT_TRUE(PumpUntil([&] { return !events.Log.empty(); }));
    Pump(100);
    EXPECT_EQ(events.Log, std::vector<std::string>{"bg Test exception in WSocket"});
    EXPECT_EQ(socket.State(), wsConnected);
}

// --- Waiting --------------------------------------------------------------------------------

double ProcessCpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

TEST(WSocketWaiting, WaitForCloseSleepsWhileTheConnectionIsIdle)
{
    auto peer = ServingPeer("c = serve()\ntime.sleep(2)\nc.close()\n");
    TEvents events;
    TCustomWSocket socket(nullptr);
    events.Watch(socket);
    ConnectTo(socket, peer->Port());
    ASSERT_TRUE(PumpUntil([&] { return socket.State() == wsConnected; }));
    const double before = ProcessCpuSeconds();
    socket.WaitForClose();
    const double used = ProcessCpuSeconds() - before;
    EXPECT_EQ(socket.State(), wsClosed);
    EXPECT_EQ(events.Count("closed"), 1);
    EXPECT_LT(used, 0.1) << "process CPU seconds while waiting";
}

} // namespace
} // namespace CustomWSocketTest
