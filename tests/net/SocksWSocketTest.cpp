// The SOCKS proxy client against a scripted python3 proxy that checks the exact request bytes and
// answers byte by byte, and against a real proxy (danted) on 127.0.0.1.

#include "NetPeers.h"

#include "net/WSocket.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>
#include <vector>

namespace SocksWSocketTest {
namespace {

// Runs its steps on the connection it accepts: "e:<hex>" reads exactly those bytes (else prints
// "MISMATCH" and stops), "b:<hex>" answers byte by byte, "w:<hex>" answers in one packet,
// "n" reads until the other side closes and prints "RECEIVED <count>". Then "DONE".
const char* const ScriptedProxy = R"(
import socket, sys, time
listener = socket.socket()
listener.bind(("127.0.0.1", 0))
listener.listen(1)
listener.settimeout(20)
print("READY", listener.getsockname()[1], flush=True)
c, _ = listener.accept()
c.settimeout(20)
c.setsockopt(socket.IPPROTO_TCP, socket.TCP_NODELAY, 1)
def read(count):
    got = b""
    while len(got) < count:
        part = c.recv(count - len(got))
        if not part:
            break
        got += part
    return got
for step in sys.argv[1:]:
    kind, _, value = step.partition(":")
    if kind == "e":
        got = read(len(bytes.fromhex(value)))
        if got.hex() != value:
            print("MISMATCH", got.hex(), flush=True)
            sys.exit(0)
    elif kind == "b":
        for byte in bytes.fromhex(value):
            c.sendall(bytes([byte]))
            time.sleep(0.01)
    elif kind == "w":
        c.sendall(bytes.fromhex(value))
    elif kind == "n":
        got = b""
        while True:
            part = c.recv(4096)
            if not part:
                break
            got += part
        print("RECEIVED", len(got), flush=True)
print("DONE", flush=True)
try:
    while c.recv(4096):
        pass
except OSError:
    pass
)";

const std::string Target = "target.example.test";
const std::string TargetPort = "8080"; // 1f90

// The level-5 connect request for host, port 8080.
std::string Level5Request(const std::string& host)
{
    return "05010003" + Hex(std::string(1, static_cast<char>(host.size()))) + Hex(host) + "1f90";
}
const std::string Level5Granted = "050000017f0000011f90";

std::string AuthStateName(TSocksAuthState state)
{
    static const char* const names[] = {"start", "success", "failure", "not required"};
    return names[state];
}

struct TSettings {
    std::string Level = "5";
    bool Authenticate = false;
    std::string Usercode;
    std::string Password;
    std::string Addr = Target;
};

// A TWSocket connecting through the scripted proxy; Events logs everything it tells.
struct TSocksClient {
    std::unique_ptr<TPeerProcess> Proxy;
    TWSocket Socket{nullptr};
    std::vector<std::string> Events;

    TSocksClient(const TSettings& settings, const std::vector<std::string>& steps)
    {
        Proxy = TPeerProcess::Python(ScriptedProxy, steps);
        Socket.OnSocksConnected = [this](TObject*, WORD error) { Add("socks-connected " + std::to_string(error)); };
        Socket.OnSocksError = [this](TObject*, int error, const std::string& text) {
            Add("socks-error " + std::to_string(error) + " " + text);
        };
        Socket.OnSocksAuthState = [this](TObject*, TSocksAuthState state) { Add("auth " + AuthStateName(state)); };
        Socket.OnSessionConnected = [this](TObject*, WORD error) { Add("connected " + std::to_string(error)); };
        Socket.OnSessionClosed = [this](TObject*, WORD error) { Add("closed " + std::to_string(error)); };
        Socket.OnDataAvailable = [this](TObject*, WORD) {
            char buffer[512];
            const int count = Socket.Receive(buffer, sizeof buffer);
            if (count > 0)
                Add("data " + std::string(buffer, static_cast<std::size_t>(count)));
        };
        Socket.SetSocksServer("127.0.0.1");
        Socket.SetSocksPort(Proxy->PortText());
        Socket.SetSocksLevel(settings.Level);
        Socket.SetSocksAuthentication(settings.Authenticate ? socksAuthenticateUsercode : socksNoAuthentication);
        Socket.SetSocksUsercode(settings.Usercode);
        Socket.SetSocksPassword(settings.Password);
        Socket.SetAddr(settings.Addr);
        Socket.SetPort(TargetPort);
        Socket.Connect();
    }
    void Add(const std::string& event) { Events.push_back(event); }
    bool WaitFor(const std::string& event)
    {
        return PumpUntil([&] {
            for (const std::string& logged : Events)
                if (logged == event)
                    return true;
            return false;
        });
    }
};

using TEvents = std::vector<std::string>;

TEST(Socks, NegotiationsSendTheExactRequests)
{
    struct TCase {
        const char* Name;
        TSettings Settings;
        std::vector<std::string> Steps;
        TEvents Events;
    };
    const std::string longName(200, 'n');
    const TCase cases[] = {
        {"level 5 without authentication, data with the reply",
         {},
         {"e:050100", "b:0500", "e:" + Level5Request(Target), "w:" + Level5Granted + Hex("DATA")},
         {"socks-connected 0", "connected 0", "data DATA"}},
        {"level 5 with user code",
         {"5", true, "user", "secret"},
         {"e:050102", "b:0502", "e:0104" + Hex("user") + "06" + Hex("secret"), "b:0100",
          "e:" + Level5Request(Target), "b:" + Level5Granted},
         {"socks-connected 0", "auth start", "auth success", "connected 0"}},
        {"level 5 offering user code, none asked",
         {"5", true, "user", "secret"},
         {"e:050102", "b:0500", "e:" + Level5Request(Target), "b:" + Level5Granted},
         {"socks-connected 0", "auth not required", "connected 0"}},
        {"level 5 reply with a long domain name",
         {},
         {"e:050100", "b:0500", "e:" + Level5Request(Target), "w:05000003c8" + Hex(longName) + "1f90" + Hex("X")},
         {"socks-connected 0", "connected 0", "data X"}},
        {"level 4",
         {"4", false, "me", "", "127.0.0.9"},
         {"e:04011f907f000009" + Hex("me") + "00", "b:005a000000000000"},
         {"socks-connected 0", "connected 0"}},
        {"level 4A",
         {"4a", false, "me", "", Target},
         {"e:04011f9000000001" + Hex("me") + "00" + Hex(Target) + "00", "b:005a000000000000"},
         {"socks-connected 0", "connected 0"}},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        TSocksClient client(c.Settings, c.Steps);
        EXPECT_TRUE(client.WaitFor(c.Events.back()));
        EXPECT_EQ(client.Proxy->ReadLine(), "DONE");
        Pump(100);
        EXPECT_EQ(client.Events, c.Events);
        EXPECT_EQ(client.Socket.State(), wsConnected);
    }
    TSocksClient client({}, {"e:050100", "b:0500", "e:" + Level5Request(Target), "b:" + Level5Granted});
    ASSERT_TRUE(client.WaitFor("connected 0"));
    EXPECT_EQ(client.Socket.BoundAddr(), "127.0.0.1");
    EXPECT_EQ(client.Socket.BoundPort(), "8080");
}

TEST(Socks, FailuresAreToldThreeTimesInOrder)
{
    struct TCase {
        const char* Name;
        TSettings Settings;
        std::vector<std::string> Steps;
        std::string Error;
        bool AuthStarted;
    };
    const std::string request5 = "e:" + Level5Request(Target);
    const std::string request4 = "e:04011f907f000009" + Hex("me") + "00";
    const TSettings level4Target{"4", false, "me", "", "127.0.0.9"};
    const TCase cases[] = {
        {"no acceptable method", {}, {"e:050100", "b:05ff"}, "20003 authentification method not acceptable", false},
        {"connection refused by the target", {}, {"e:050100", "b:0500", request5, "b:0505"},
         "20008 connection refused", false},
        {"unassigned reply code", {}, {"e:050100", "b:0500", request5, "b:0509"}, "20012 unassigned error #9", false},
        {"level-4 version in a level-5 reply", {}, {"e:050100", "b:0500", request5, "b:04"}, "20002 socks version error",
         false},
        {"address type not supported", {}, {"e:050100", "b:0500", request5, "b:0500000400"},
         "20011 address type not supported", false},
        {"level 4 rejected", level4Target, {request4, "b:005b000000000000"}, "20016 request rejected or failed", false},
        {"level 4 refused", level4Target, {request4, "b:005c000000000000"}, "20008 connection refused", false},
        {"level 4 authentication failed", level4Target, {request4, "b:005d000000000000"},
         "20015 authentification failed", false},
        {"authentication status 1",
         {"5", true, "user", "bad"},
         {"e:050102", "b:0502", "e:0104" + Hex("user") + "03" + Hex("bad"), "b:0101"},
         "20015 socks authentication failed", true},
        {"a host name of 256 bytes", {"5", false, "", "", std::string(256, 'h')}, {"n"}, "20001 SOCKS request too long",
         false},
        {"a password of 256 bytes", {"5", true, "user", std::string(256, 'p')}, {"n"}, "20001 SOCKS request too long",
         false},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        TSocksClient client(c.Settings, c.Steps);
        ASSERT_TRUE(client.WaitFor("closed " + c.Error.substr(0, 5)));
        Pump(100);
        const std::string code = c.Error.substr(0, 5);
        TEvents expected = {"socks-connected 0"};
        if (c.AuthStarted)
            expected.push_back("auth start");
        expected.insert(expected.end(), {"socks-error " + c.Error, "connected " + code, "closed " + code});
        EXPECT_EQ(client.Events, expected);
        EXPECT_EQ(client.Socket.State(), wsClosed);
        if (c.Steps.back() == "n") {
            EXPECT_EQ(client.Proxy->ReadLine(), "RECEIVED 0") << "nothing is sent";
        }
    }
}

TEST(Socks, SettingsAndTheirReports)
{
    TWSocket socket(nullptr);
    EXPECT_EQ(socket.SocksLevel(), "5");
    socket.SetSocksLevel("4a");
    EXPECT_EQ(socket.SocksLevel(), "4A");
    std::string message;
    try {
        socket.SetSocksLevel("6");
    } catch (const ESocketException& e) {
        message = e.Message;
    }
    EXPECT_EQ(message, "Invalid socks level. Must be 4, 4A or 5.");
    EXPECT_EQ(socket.SocksLevel(), "4A");

    socket.SetSocksServer(" 127.0.0.1 ");
    EXPECT_EQ(socket.SocksServer(), "127.0.0.1");
    socket.SetAddr("127.0.0.1");
    socket.SetPort("0");
    message.clear();
    try {
        socket.Listen();
    } catch (const ESocketException& e) {
        message = e.Message;
    }
    EXPECT_EQ(message, "Listening is not supported thru socks server");
    int errors = 0;
    socket.OnError = [&](TObject*) { ++errors; };
    socket.SetProto("udp");
    socket.Connect();
    EXPECT_EQ(errors, 1) << "tcp is the only protocol supported thru socks server";
}

TEST(Socks, SettingsGoBackToTheirDefaultsAtTheClose)
{
    TSocksClient client({"4", false, "me", "", "127.0.0.9"}, {"e:04011f907f000009" + Hex("me") + "00",
                                                               "b:005a000000000000"});
    ASSERT_TRUE(client.WaitFor("connected 0"));
    std::string message;
    try {
        client.Socket.SetSocksServer("127.0.0.2");
    } catch (const ESocketException& e) {
        message = e.Message;
    }
    EXPECT_EQ(message, "Can't change socks server if not closed");
    client.Socket.Close();
    EXPECT_EQ(client.Socket.SocksServer(), "");
    EXPECT_EQ(client.Socket.SocksPort(), "");
    EXPECT_EQ(client.Socket.SocksLevel(), "5");
    EXPECT_EQ(client.Socket.SocksUsercode(), "me") << "kept";
}

// A real proxy: danted on a free port of 127.0.0.1, clients and targets limited to 127.0.0.0/8.
TEST(Socks, ThroughDanteToAnEchoServer)
{
    auto echo = TPeerProcess::Socat({"TCP-LISTEN:{port},bind=127.0.0.1,reuseaddr,fork", "EXEC:cat"});
    const std::filesystem::path folder =
        std::filesystem::temp_directory_path() / ("tess-danted-" + std::to_string(::getpid()));
    std::filesystem::create_directories(folder);
    const int proxyPort = FreeLoopbackPort();
    {
        std::ofstream config(folder / "danted.conf");
        config << "logoutput: stderr\n"
               << "internal: 127.0.0.1 port = " << proxyPort << "\n"
               << "external: 127.0.0.1\n"
               << "socksmethod: none\n"
               << "clientmethod: none\n"
               << "user.unprivileged: nobody\n"
               << "client pass {\n    from: 127.0.0.0/8 to: 127.0.0.0/8\n}\n"
               << "socks pass {\n    from: 127.0.0.0/8 to: 127.0.0.0/8\n    command: connect\n}\n";
    }
    auto proxy = TPeerProcess::Listening(
        {"danted", "-f", (folder / "danted.conf").string(), "-p", (folder / "danted.pid").string()}, proxyPort);

    std::string data;
    for (int i = 0; i < 100 * 1024; ++i)
        data += static_cast<char>('a' + (i * 7 + i / 251) % 26);
    TWSocket socket(nullptr);
    std::string received;
    int connectedError = -1;
    socket.OnSessionConnected = [&](TObject*, WORD error) {
        connectedError = error;
        if (error == 0)
            socket.Send(data.data(), static_cast<int>(data.size()));
    };
    socket.OnDataAvailable = [&](TObject*, WORD) { received += socket.ReceiveStr(); };
    socket.SetSocksServer("127.0.0.1");
    socket.SetSocksPort(std::to_string(proxyPort));
    socket.SetSocksLevel("5");
    socket.SetAddr("127.0.0.1");
    socket.SetPort(echo->PortText());
    socket.Connect();
    EXPECT_TRUE(PumpUntil([&] { return received.size() >= data.size() || socket.State() == wsClosed; }));
    EXPECT_EQ(connectedError, 0);
    EXPECT_TRUE(received == data) << received.size() << " bytes back";
    socket.Close();
    proxy.reset();
    std::filesystem::remove_all(folder);
}

} // namespace
} // namespace SocksWSocketTest
