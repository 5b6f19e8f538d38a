// The HTTP client as the program uses it and against real peers on 127.0.0.1: the version check
// against python3's http.server with curl as the reference, aborting a synchronous Get from a
// timer, the request head, the order of the events, kept connections, the proxies (tinyproxy, a
// capturing server, a SOCKS 5 relay) and misuse.

#include "HttpPeers.h"

#include "net/WSocket.h"
#include "platform/gui/Timer.h"
#include "platform/rtl/Files.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <sys/resource.h>
#include <unistd.h>

namespace HttpClientTest {
namespace {

namespace fs = std::filesystem;

// A folder of its own under the system's temporary folder, removed at the end.
struct TScratchFolder {
    fs::path Path;
    explicit TScratchFolder(const std::string& name)
        : Path(fs::temp_directory_path() / ("tess-" + name + "-" + std::to_string(::getpid())))
    {
        fs::remove_all(Path);
        fs::create_directories(Path);
    }
    ~TScratchFolder() { fs::remove_all(Path); }
};

double ProcessCpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_utime.tv_sec + usage.ru_utime.tv_usec / 1e6 + usage.ru_stime.tv_sec + usage.ru_stime.tv_usec / 1e6;
}

// Reads the peer's lines until one contains text; false when none did in time.
bool PeerPrints(TPeerProcess& peer, const std::string& text, int timeoutMs = 5000)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (std::chrono::steady_clock::now() < deadline) {
        const std::string line = peer.ReadLine(200);
        if (line.find(text) != std::string::npos)
            return true;
    }
    return false;
}

// Sets TZ for the life of the object.
struct TTimeZone {
    std::string Saved;
    bool HadOne;
    explicit TTimeZone(const char* zone) : HadOne(std::getenv("TZ") != nullptr)
    {
        if (HadOne)
            Saved = std::getenv("TZ");
        setenv("TZ", zone, 1);
        tzset();
    }
    ~TTimeZone()
    {
        if (HadOne)
            setenv("TZ", Saved.c_str(), 1);
        else
            unsetenv("TZ");
        tzset();
    }
};

const std::string Ok2 = "HTTP/1.0 200 OK\r\nContent-Length: 2\r\n\r\nok";

// The version check as the program runs it: a synchronous Get with MultiThreaded on the GUI
// thread, started from the first tick of a 100-ms timer, into a file created in OnDocBegin under
// the document's name. The server's name is looked up (slowly, as a real name may be) while the
// timer keeps ticking.
TEST(HttpClient, VersionCheckFlow)
{
    TScratchFolder folder("version-check");
    std::string list = "Tessellarium 3=3.0.2\r\nAltro prodotto=1.0\r\n";
    for (int i = 0; i < 200000; ++i)
        list += static_cast<char>((i * 131 + i / 7) & 0xFF);
    WriteWholeFile(folder.Path / "www/updates/updates.txt", list);
    auto server = StartHttpServer((folder.Path / "www").string());
    const std::string port = server->PortText();

    Winsock::TNameResolver previous =
        Winsock::SetNameResolver([](const std::string& name, Winsock::THostAnswer& answer) {
            if (name != "updates.example.test")
                return Winsock::WSAHOST_NOT_FOUND;
            ::usleep(400 * 1000);
            answer.Name = name;
            answer.Addresses.push_back(WSocket_inet_addr("127.0.0.1"));
            return 0;
        });

    THttpCli http(nullptr);
    http.SetAgent("Mozilla/5.0 (Windows; U; Windows NT 6.0; it;rv:1.8.1.12)");
    http.SetMultiThreaded(true);
    http.SetRequestVer("1.0");
    std::unique_ptr<TFileStream> file;
    std::string createdName;
    http.OnDocBegin = [&](TObject*) {
        createdName = (folder.Path / http.DocName()).string();
        file = std::make_unique<TFileStream>(createdName, fmCreate);
        http.SetRcvdStream(file.get());
    };
    http.OnDocEnd = [&](TObject*) {
        http.SetRcvdStream(nullptr);
        file.reset();
    };

    TTimer timer(nullptr);
    timer.SetInterval(100);
    bool first = true;
    bool getReturned = false;
    int ticksDuringGet = 0;
    std::string failure = "not run";
    timer.OnTimer = [&](TObject*) {
        if (!first) {
            if (!getReturned)
                ++ticksDuringGet;
            return;
        }
        first = false;
        http.SetURL("http://updates.example.test:" + port + "/updates/updates.txt");
        http.SetProxy("");
        http.SetRcvdStream(nullptr);
        http.SetModifiedSince(0);
        try {
            http.Get();
            failure.clear();
        } catch (const EHttpException& e) {
            failure = e.Message;
        }
        getReturned = true;
    };
    EXPECT_TRUE(PumpUntil([&] { return getReturned; }, 15000));
    timer.SetEnabled(false);
    Winsock::SetNameResolver(std::move(previous));

    EXPECT_EQ(failure, "");
    EXPECT_EQ(http.StatusCode(), 200);
    EXPECT_EQ(http.DocName(), "updates.txt");
    EXPECT_GE(ticksDuringGet, 2) << "the timer ticks while Get waits";

    const fs::path reference = folder.Path / "curl.txt";
    const std::string curl =
        "curl -s -o '" + reference.string() + "' http://127.0.0.1:" + port + "/updates/updates.txt";
    ASSERT_EQ(std::system(curl.c_str()), 0);
    EXPECT_TRUE(ReadWholeFile(createdName) == ReadWholeFile(reference)) << "the file is what curl gets";
    EXPECT_EQ(ReadWholeFile(createdName).size(), list.size());
    EXPECT_TRUE(PeerPrints(*server, "\"GET /updates/updates.txt HTTP/1.0\" 200"));
}

// A server that never answers. As in the version check, the Get runs inside the first tick of a
// 100-ms timer and a later tick of the same timer aborts it, 300 ms on; the wait costs no processor.
TEST(HttpClient, AbortFromATimerAndAnIdleWait)
{
    auto server = StartScriptedServer({{.Hang = true}});
    THttpCli http(nullptr);
    http.SetMultiThreaded(true);
    http.SetURL("http://127.0.0.1:" + server->PortText() + "/never");
    TTimer timer(nullptr);
    timer.SetInterval(100);
    int ticks = 0;
    bool finished = false;
    double elapsed = 0;
    double cpu = 0;
    std::string message;
    int code = 0;
    timer.OnTimer = [&](TObject*) {
        if (++ticks == 4)
            http.Abort();
        if (ticks != 1)
            return;
        const double cpuBefore = ProcessCpuSeconds();
        const auto start = std::chrono::steady_clock::now();
        try {
            http.Get();
        } catch (const EHttpException& e) {
            message = e.Message;
            code = e.ErrorCode;
        }
        elapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        cpu = ProcessCpuSeconds() - cpuBefore;
        finished = true;
    };
    EXPECT_TRUE(PumpUntil([&] { return finished; }, 10000));
    timer.SetEnabled(false);
    EXPECT_EQ(message, "Connection aborted on request");
    EXPECT_EQ(code, 404);
    EXPECT_GE(elapsed, 0.25);
    EXPECT_LT(cpu, 0.1) << "in " << elapsed << " s of waiting";
    EXPECT_EQ(http.State(), httpReady);
}

// Every header property set: the lines come in their order, each with CR LF, then the empty line
// and exactly the rest of SendStream.
TEST(HttpClient, TheRequestHead)
{
    TTimeZone india("IST-5:30");
    auto server = StartScriptedServer({{Ok2}});
    THttpCli http(nullptr);
    http.SetURL("http://127.0.0.1:" + server->PortText() + "/form?x=1");
    http.SetSender("me@example.com");
    http.SetAccept("text/plain");
    http.SetReference("http://ref.example.test/");
    http.SetConnection("Keep-Alive");
    http.SetProxyConnection("Keep-Alive");
    http.SetAcceptLanguage("it");
    http.SetAgent("Tessellarium-Test");
    http.SetNoCache(true);
    http.SetModifiedSince(EncodeDate(2020, 7, 15) + EncodeTime(12, 0, 0, 0));
    http.SetCookie("a=b");
    http.SetContentRangeBegin("10");
    http.SetContentRangeEnd("20");
    TMemoryStream body;
    body.WriteBuffer("xxxpayload", 10);
    body.SetPosition(3);
    http.SetSendStream(&body);
    std::vector<std::string> commands;
    http.OnCommand = [&](TObject*, std::string& line) { commands.push_back(line); };
    http.OnBeforeHeaderSend = [](TObject*, const std::string& method, TStrings* headers) {
        headers->Add("X-Method: " + method);
    };
    http.Post();
    EXPECT_EQ(http.StatusCode(), 200);
    const TServerLog log = ReadServerLog(*server);
    ASSERT_EQ(log.Requests.size(), 1u);
    const std::string expected = "POST /form?x=1 HTTP/1.0\r\n"
                                 "From: me@example.com\r\n"
                                 "Accept: text/plain\r\n"
                                 "Referer: http://ref.example.test/\r\n"
                                 "Connection: Keep-Alive\r\n"
                                 "Proxy-Connection: Keep-Alive\r\n"
                                 "Accept-Language: it\r\n"
                                 "Content-Type: application/x-www-form-urlencoded\r\n"
                                 "User-Agent: Tessellarium-Test\r\n"
                                 "Host: 127.0.0.1\r\n"
                                 "Pragma: no-cache\r\n"
                                 "Content-Length: 7\r\n"
                                 "If-Modified-Since: Wed, 15 Jul 2020 06:30:00 GMT\r\n"
                                 "Cookie: a=b\r\n"
                                 "Range: bytes=10-20\r\n"
                                 "X-Method: POST\r\n"
                                 "\r\n"
                                 "payload";
    EXPECT_EQ(log.Requests[0], expected);
    ASSERT_EQ(commands.size(), 17u);
    EXPECT_EQ(commands.front(), "POST /form?x=1 HTTP/1.0");
    EXPECT_EQ(commands.back(), "");
    EXPECT_EQ(http.ContentRangeBegin(), "") << "a range is asked for once";
}

// The steps of one GET as its events tell them.
TEST(HttpClient, OneGetTellsItsStepsInOrder)
{
    auto server = StartScriptedServer({{Ok2}});
    THttpCli http(nullptr);
    std::vector<std::string> events;
    auto add = [&](const std::string& event) { return [&events, event](TObject*) { events.push_back(event); }; };
    http.OnStateChange = [&](TObject*) { events.push_back("state " + std::to_string(http.State())); };
    http.OnSessionConnected = add("session-connected");
    http.OnSessionClosed = add("session-closed");
    http.OnRequestHeaderBegin = add("request-header-begin");
    http.OnRequestHeaderEnd = add("request-header-end");
    http.OnBeforeHeaderSend = [&](TObject*, const std::string& method, TStrings* headers) {
        events.push_back("before-header-send " + method + " " + std::to_string(headers->Count()));
    };
    http.OnCommand = [&](TObject*, std::string& line) { events.push_back("command " + line); };
    http.OnHeaderBegin = add("header-begin");
    http.OnHeaderData = [&](TObject*) { events.push_back("header-data"); };
    http.OnHeaderEnd = add("header-end");
    http.OnDocBegin = add("doc-begin");
    http.OnDocData = [&](TObject*, const void*, int length) { events.push_back("doc-data " + std::to_string(length)); };
    http.OnDocEnd = add("doc-end");
    http.OnRequestDone = [&](TObject*, THttpRequest request, WORD error) {
        events.push_back("done " + std::to_string(request) + " " + std::to_string(error));
    };
    http.SetAccept("");
    http.SetAgent("");
    http.SetURL("http://127.0.0.1:" + server->PortText());
    http.Get();
    const std::vector<std::string> expected = {
        "state 1", "state 3", "state 4", "state 2", "session-connected", "state 5", "request-header-begin",
        "before-header-send GET 2", "command GET / HTTP/1.0", "command Host: 127.0.0.1", "request-header-end",
        "command ", "header-begin", "header-data", "header-data", "header-end", "state 6", "doc-begin",
        "doc-data 2", "state 7", "doc-end", "session-closed", "state 0", "done 1 0"};
    EXPECT_EQ(events, expected);
    EXPECT_EQ(http.DocName(), "document.htm");
}

// HTTP/1.1 with a server that keeps the connection: one connection serves the requests, also a
// relocation answered without a body; bytes after a complete answer make the next request open a
// new connection.
TEST(HttpClient, KeptConnections)
{
    auto server = StartScriptedServer({
        {"HTTP/1.1 200 OK\r\nContent-Length: 3\r\n\r\none", false},
        {"HTTP/1.1 200 OK\r\nContent-Length: 3\r\n\r\ntwo", false},
        {"HTTP/1.1 302 Found\r\nLocation: /four\r\nContent-Length: 0\r\n\r\n", false},
        {"HTTP/1.1 200 OK\r\nContent-Length: 4\r\n\r\nfourJUNK", false},
        {"HTTP/1.1 200 OK\r\nContent-Length: 4\r\n\r\nfive", false},
    });
    THttpRecorder run;
    run.Http.SetRequestVer("1.1");
    int lookups = 0;
    run.Http.OnStateChange = [&](TObject*) { lookups += run.Http.State() == httpDnsLookup; };
    const std::string base = "http://127.0.0.1:" + server->PortText();
    std::vector<std::string> bodies;
    for (const char* path : {"/one", "/two", "/three", "/five"}) {
        run.Body.Clear();
        run.Get(base + path);
        EXPECT_FALSE(run.Raised) << path << ": " << run.Error;
        bodies.push_back(run.BodyText());
        if (std::string(path) == "/two") {
            EXPECT_EQ(run.Count("connected"), 2);
            EXPECT_EQ(lookups, 1) << "the second request looks nothing up";
        }
    }
    EXPECT_EQ(bodies, (std::vector<std::string>{"one", "two", "four", "five"}));
    const TServerLog log = ReadServerLog(*server);
    ASSERT_EQ(log.Requests.size(), 5u);
    EXPECT_EQ(RequestLine(log.Requests[3]), "GET /four HTTP/1.1");
    EXPECT_EQ(log.RequestConnections, (std::vector<int>{1, 1, 1, 1, 2}));
    EXPECT_EQ(lookups, 2);
}

// An answer in HTTP/1.0 ends its connection unless it says it keeps it, also for a 1.1 request:
// the next request comes on a new connection.
TEST(HttpClient, AnAnswerInHttp10EndsItsConnection)
{
    auto server = StartScriptedServer(
        {{Ok2, false}, {"HTTP/1.0 200 OK\r\nConnection: keep-alive\r\nContent-Length: 2\r\n\r\nok", false}, {Ok2, false}});
    THttpRecorder run;
    run.Http.SetRequestVer("1.1");
    const std::string url = "http://127.0.0.1:" + server->PortText() + "/doc.txt";
    for (int i = 0; i < 3; ++i) {
        run.Get(url);
        EXPECT_FALSE(run.Raised) << run.Error;
    }
    EXPECT_EQ(ReadServerLog(*server).RequestConnections, (std::vector<int>{1, 2, 2}));
}

// Through tinyproxy to http.server: the request line carries the absolute URL.
TEST(HttpProxies, ThroughTinyproxy)
{
    TScratchFolder folder("tinyproxy");
    WriteWholeFile(folder.Path / "www/doc.txt", "through the proxy\n");
    auto target = StartHttpServer((folder.Path / "www").string());
    const int proxyPort = FreeLoopbackPort();
    WriteWholeFile(folder.Path / "tinyproxy.conf", "Port " + std::to_string(proxyPort) +
                                                   "\nListen 127.0.0.1\nAllow 127.0.0.1\nTimeout 30\n"
                                                   "LogLevel Info\nMaxClients 10\n");
    auto proxy = TPeerProcess::Listening(
        {"/bin/sh", "-c", "exec tinyproxy -d -c '" + (folder.Path / "tinyproxy.conf").string() + "' 2>&1"}, proxyPort);

    THttpRecorder run;
    run.Http.SetProxy("127.0.0.1");
    run.Http.SetProxyPort(std::to_string(proxyPort));
    const std::string url = "http://127.0.0.1:" + target->PortText() + "/doc.txt";
    run.Get(url);
    EXPECT_FALSE(run.Raised) << run.Error;
    EXPECT_EQ(run.BodyText(), "through the proxy\n");
    EXPECT_EQ(run.Http.DocName(), "doc.txt");
    EXPECT_TRUE(PeerPrints(*proxy, "GET " + url + " HTTP/1.0"));
}

// A capturing server as the proxy: "host:port" connects to that port, also again after an
// absolute relocation; a bare host connects to ProxyPort.
TEST(HttpProxies, ProxyPortFromProxyOrProxyPort)
{
    auto proxy = StartScriptedServer(
        {{"HTTP/1.0 302 Found\r\nLocation: http://docs.example.test:8080/moved.txt\r\n\r\n"}, {Ok2}, {Ok2}});
    THttpRecorder run;
    run.Http.SetProxy("127.0.0.1:" + proxy->PortText());
    run.Http.SetProxyPort("1");
    run.Get("http://docs.example.test/a/b.txt?q=1");
    EXPECT_FALSE(run.Raised) << run.Error;
    EXPECT_EQ(run.BodyText(), "ok");
    EXPECT_EQ(run.Http.DocName(), "moved.txt");
    run.Body.Clear();
    run.Http.SetProxy("127.0.0.1");
    run.Http.SetProxyPort(proxy->PortText());
    run.Get("http://docs.example.test/c.txt");
    EXPECT_EQ(run.BodyText(), "ok");
    const TServerLog log = ReadServerLog(*proxy);
    ASSERT_EQ(log.Requests.size(), 3u);
    EXPECT_EQ(RequestLine(log.Requests[0]), "GET http://docs.example.test/a/b.txt?q=1 HTTP/1.0");
    EXPECT_NE(log.Requests[0].find("\r\nHost: docs.example.test\r\n"), std::string::npos);
    EXPECT_EQ(RequestLine(log.Requests[1]), "GET http://docs.example.test:8080/moved.txt HTTP/1.0");
    EXPECT_EQ(RequestLine(log.Requests[2]), "GET http://docs.example.test/c.txt HTTP/1.0");
}

// A SOCKS 5 relay that checks the negotiation's bytes and joins the client to its target
// (127.0.0.0/8 only); it prints "SOCKS <hex>" with what the client sent for each connection.
const char* const SocksRelay = R"(
import socket, sys, threading
listener = socket.socket()
listener.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
listener.bind(("127.0.0.1", 0))
listener.listen(8)
listener.settimeout(30)
print("READY", listener.getsockname()[1], flush=True)
def read(c, count):
    got = b""
    while len(got) < count:
        part = c.recv(count - len(got))
        if not part:
            raise OSError("closed")
        got += part
    return got
def pipe(a, b):
    try:
        while True:
            data = a.recv(65536)
            if not data:
                break
            b.sendall(data)
    except OSError:
        pass
    try:
        b.shutdown(socket.SHUT_WR)
    except OSError:
        pass
def serve(c):
    try:
        greeting = read(c, 3)
        c.sendall(b"\x05\x00")
        head = read(c, 5)
        rest = read(c, head[4] + 2)
        print("SOCKS", (greeting + head + rest).hex(), flush=True)
        host = rest[:-2].decode()
        if greeting != b"\x05\x01\x00" or head[:4] != b"\x05\x01\x00\x03" or not host.startswith("127."):
            c.close()
            return
        target = socket.create_connection((host, int.from_bytes(rest[-2:], "big")))
        c.sendall(b"\x05\x00\x00\x01\x7f\x00\x00\x01" + rest[-2:])
        back = threading.Thread(target=pipe, args=(target, c))
        back.start()
        pipe(c, target)
        back.join()
        target.close()
    except OSError:
        pass
    c.close()
while True:
    try:
        c, _ = listener.accept()
    except OSError:
        break
    threading.Thread(target=serve, args=(c,), daemon=True).start()
)";

// Two GETs in HTTP/1.0 through the SOCKS 5 relay: both pass the proxy (its settings outlive the
// first connection's close) and reach http.server.
TEST(HttpProxies, TwoRequestsThroughSocks5)
{
    TScratchFolder folder("socks");
    WriteWholeFile(folder.Path / "www/doc.txt", "through socks");
    auto target = StartHttpServer((folder.Path / "www").string());
    auto relay = TPeerProcess::Python(SocksRelay);
    THttpRecorder run;
    run.Http.SetSocksServer("127.0.0.1");
    run.Http.SetSocksPort(relay->PortText());
    run.Http.SetSocksLevel("5");
    run.Http.SetRequestVer("1.0");
    const std::string url = "http://127.0.0.1:" + target->PortText() + "/doc.txt";
    for (int i = 0; i < 2; ++i) {
        run.Body.Clear();
        run.Get(url);
        EXPECT_FALSE(run.Raised) << run.Error;
        EXPECT_EQ(run.BodyText(), "through socks");
    }
    EXPECT_EQ(run.Http.SocksServer(), "127.0.0.1");
    const unsigned port = static_cast<unsigned>(target->Port());
    const std::string request = "05010005010003093132372e302e302e31" + Hex(std::string{
                                                                             static_cast<char>(port >> 8),
                                                                             static_cast<char>(port & 0xFF)});
    EXPECT_EQ(relay->ReadLine(), "SOCKS " + request);
    EXPECT_EQ(relay->ReadLine(), "SOCKS " + request);
    EXPECT_TRUE(PeerPrints(*target, "\"GET /doc.txt HTTP/1.0\" 200"));
    EXPECT_TRUE(PeerPrints(*target, "\"GET /doc.txt HTTP/1.0\" 200"));
}

// Misuse: a second request while one runs, nothing to post, a bad version; Abort while idle.
TEST(HttpClient, BusyNothingToPostAndIdleAbort)
{
    auto server = StartScriptedServer({{.Hang = true}});
    THttpCli http(nullptr);
    std::vector<std::string> done;
    THttpRequest lastRequest = httpABORT;
    http.OnRequestDone = [&](TObject*, THttpRequest request, WORD error) {
        done.push_back(std::to_string(error));
        lastRequest = request;
    };
    auto codeOf = [](const std::function<void()>& action) {
        try {
            action();
        } catch (const EHttpException& e) {
            return std::to_string(e.ErrorCode) + " " + e.Message;
        }
        return std::string("nothing");
    };
    http.SetURL("http://127.0.0.1:" + server->PortText() + "/slow");
    http.GetASync();
    EXPECT_TRUE(PumpUntil([&] { return http.State() == httpWaitingHeader; }));
    EXPECT_EQ(codeOf([&] { http.GetASync(); }), "1 HTTP component is busy");
    http.Abort();
    EXPECT_TRUE(PumpUntil([&] { return done.size() == 1; }));
    EXPECT_EQ(done, (std::vector<std::string>{"3"}));
    EXPECT_EQ(http.ReasonPhrase(), "Connection aborted on request");

    TMemoryStream used;
    used.WriteBuffer("abc", 3);
    http.SetSendStream(&used);
    EXPECT_EQ(codeOf([&] { http.PostASync(); }), "2 HTTP component has nothing to post or put");
    http.SetSendStream(nullptr);
    EXPECT_EQ(codeOf([&] { http.PutASync(); }), "2 HTTP component has nothing to post or put");
    EXPECT_EQ(codeOf([&] { http.SetRequestVer("2.0"); }), "5 Insupported HTTP version");
    EXPECT_EQ(http.RequestVer(), "1.0");
    EXPECT_THROW(http.SetSocksLevel("6"), ESocketException);

    done.clear();
    http.Abort();
    EXPECT_EQ(done, (std::vector<std::string>{"0"})) << "told at once";
    EXPECT_EQ(http.StatusCode(), 200);
    EXPECT_EQ(http.ReasonPhrase(), "OK");
    http.Close();
    EXPECT_EQ(lastRequest, httpCLOSE);
    EXPECT_EQ(done.back(), "0");
}

// A stream that takes only half of what is written, as a full disk does.
class TFullDiskStream : public TMemoryStream {
public:
    int Write(const void* buffer, int count) override { return TMemoryStream::Write(buffer, count / 2); }
};

// What fails while the answer is received ends the request with its own text.
TEST(HttpClient, FailuresWhileReceivingEndTheRequest)
{
    struct TCase {
        const char* Name;
        std::function<void(THttpRecorder&)> Setup;
        std::string Reason;
    };
    TFullDiskStream fullDisk;
    const TCase cases[] = {
        {"a full disk",
         [&](THttpRecorder& run) { run.Http.OnDocBegin = [&](TObject*) { run.Http.SetRcvdStream(&fullDisk); }; },
         "Stream write error"},
        {"a data handler that raises",
         [](THttpRecorder& run) {
             run.Http.OnDocData = [](TObject*, const void*, int) { RAISE(Exception("handler failed")); };
         },
         "handler failed"},
        {"a header handler that raises",
         [](THttpRecorder& run) { run.Http.OnHeaderData = [](TObject*) { RAISE(EConvertError("bad header")); }; },
         "bad header"},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        auto server = StartScriptedServer({{"HTTP/1.0 200 OK\r\nContent-Length: 10\r\n\r\n0123456789"}});
        THttpRecorder run;
        c.Setup(run);
        run.Get("http://127.0.0.1:" + server->PortText() + "/x");
        EXPECT_TRUE(run.Raised);
        EXPECT_EQ(run.Error, c.Reason);
        EXPECT_EQ(run.Http.StatusCode(), 404);
        EXPECT_EQ(run.Count("done 10053"), 1);
        EXPECT_EQ(run.Http.CtrlSocket()->State(), wsClosed);
    }
}

} // namespace
} // namespace HttpClientTest
