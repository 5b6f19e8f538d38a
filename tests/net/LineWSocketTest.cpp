// Line mode and the blocking waits against a python3 peer that writes exact bytes with pauses
// between them, so that each write reaches the component as a reception of its own.

#include "NetPeers.h"

#include "net/WSocket.h"
#include "platform/gui/Application.h"
#include "platform/gui/MessageQueue.h"
#include "platform/rtl/Threads.h"

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <sys/resource.h>
#include <vector>

namespace LineWSocketTest {
namespace {

// Runs its steps on the connection it accepts: "w:<hex>" writes, "s:<seconds>" sleeps,
// "r:<count>" reads that many bytes and prints "GOT <hex>", "c" closes. Then it waits for the
// other side's end.
const char* const ScriptedPeer = R"(
import socket, sys, time
listener = socket.socket()
listener.bind(("127.0.0.1", 0))
listener.listen(1)
listener.settimeout(20)
print("READY", listener.getsockname()[1], flush=True)
c, _ = listener.accept()
c.settimeout(20)
c.setsockopt(socket.IPPROTO_TCP, socket.TCP_NODELAY, 1)
closed = False
for step in sys.argv[1:]:
    kind, _, value = step.partition(":")
    if kind == "w":
        c.sendall(bytes.fromhex(value))
    elif kind == "s":
        time.sleep(float(value))
    elif kind == "r":
        got = b""
        while len(got) < int(value):
            part = c.recv(int(value) - len(got))
            if not part:
                break
            got += part
        print("GOT", got.hex(), flush=True)
    elif kind == "c":
        c.close()
        closed = True
        break
try:
    while not closed and c.recv(4096):
        pass
except OSError:
    pass
)";

std::string Write(const std::string& bytes) { return "w:" + Hex(bytes); }
const std::string Pause = "s:0.2";

// A connected TWSocket in line mode with the peer running steps; Lines gets what each data event's
// Receive gave.
struct TLineClient {
    std::unique_ptr<TPeerProcess> Peer;
    TWSocket Socket{nullptr};
    std::vector<std::string> Lines;
    int Closes = 0;
    // The bytes one Receive asks for.
    int ReadSize = 4096;

    explicit TLineClient(const std::vector<std::string>& steps, bool lineMode = true)
    {
        Peer = TPeerProcess::Python(ScriptedPeer, steps);
        Socket.SetLineMode(lineMode);
        Socket.OnDataAvailable = [this](TObject*, WORD) { Lines.push_back(ReceiveOnce()); };
        Socket.OnSessionClosed = [this](TObject*, WORD) { ++Closes; };
        Socket.SetAddr("127.0.0.1");
        Socket.SetPort(Peer->PortText());
        Socket.Connect();
        EXPECT_TRUE(PumpUntil([this] { return Socket.State() == wsConnected; }));
    }
    std::string ReceiveOnce()
    {
        std::string buffer(static_cast<std::size_t>(ReadSize), '\0');
        const int count = Socket.Receive(buffer.data(), ReadSize);
        buffer.resize(count > 0 ? static_cast<std::size_t>(count) : 0);
        return buffer;
    }
    bool WaitForLines(std::size_t count, int timeoutMs = 10000)
    {
        return PumpUntil([&] { return Lines.size() >= count; }, timeoutMs);
    }
    std::string Joined() const
    {
        std::string all;
        for (const std::string& line : Lines)
            all += line;
        return all;
    }
};

using TLines = std::vector<std::string>;

TEST(LineMode, LinesWhateverThePacketsLookLike)
{
    struct TCase {
        const char* Name;
        std::vector<std::string> Steps;
        int ReadSize;
        TLines Expected;
    };
    const TCase cases[] = {
        // D is held until its line ends.
        {"a line over two receptions", {Write("AB"), Pause, Write("C\r\nD"), Pause, Write("E\r\n")}, 4096,
         {"ABC\r\n", "DE\r\n"}},
        {"the line end split between receptions", {Write("one\r"), Pause, Write("\ntwo\r\n")}, 4096,
         {"one\r\n", "two\r\n"}},
        {"several lines in one reception", {Write("a\r\nbb\r\n\r\nccc\r\n")}, 4096, {"a\r\n", "bb\r\n", "\r\n", "ccc\r\n"}},
        // A handler with a small buffer is called again until the line is taken.
        {"a line taken two bytes at a time", {Write("hello\r\nxy\r\n")}, 2, {"he", "ll", "o\r", "\n", "xy", "\r\n"}},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        TLineClient client(c.Steps);
        client.ReadSize = c.ReadSize;
        EXPECT_TRUE(client.WaitForLines(c.Expected.size()));
        Pump(300);
        EXPECT_EQ(client.Lines, c.Expected);
    }
}

TEST(LineMode, LineLimitDropsOrKeepsTheBytes)
{
    for (const bool clear : {true, false}) {
        SCOPED_TRACE(clear ? "cleared" : "kept");
        TLineClient client({Write(std::string(20, 'x')), Pause, Write("tail\r\n")});
        client.Socket.SetLineLimit(10);
        std::vector<int> exceeded;
        client.Socket.OnLineLimitExceeded = [&](TObject*, int length, bool& ClearData) {
            exceeded.push_back(length);
            ClearData = clear;
        };
        ASSERT_TRUE(client.WaitForLines(1));
        ASSERT_FALSE(exceeded.empty());
        EXPECT_EQ(exceeded[0], 20);
        EXPECT_EQ(client.Lines, TLines{clear ? "tail\r\n" : std::string(20, 'x') + "tail\r\n"});
    }
}

TEST(LineMode, TurnedOffInsideTheHandlerTheRestArrivesRaw)
{
    const std::string first = "first line\r\nsecond line\r\nthird";
    const std::string second = " and more\r\nbytes";
    TLineClient client({Write(first), Pause, Write(second)});
    client.Socket.OnDataAvailable = [&](TObject*, WORD) {
        if (client.Socket.LineMode()) {
            // Three bytes of the line, then raw data from here on.
            client.ReadSize = 3;
            client.Lines.push_back(client.ReceiveOnce());
            client.Socket.SetLineMode(false);
            client.ReadSize = 5;
            return;
        }
        client.Lines.push_back(client.ReceiveOnce());
    };
    EXPECT_TRUE(PumpUntil([&] { return client.Joined().size() >= first.size() + second.size(); }));
    Pump(300);
    EXPECT_EQ(client.Joined(), first + second) << "nothing doubled or lost";
    EXPECT_EQ(client.Lines[0], "fir");
}

// Switched from outside, what is held is delivered in the new mode by the component's message.
TEST(LineMode, SwitchedFromOutsideTheHeldDataFollowsTheNewMode)
{
    // The rest comes once the handler reads again: a raw handler that leaves the socket's data
    // unread would be called for it again and again.
    TLineClient client({Write("first\r\nsecond\r\nthird\r\npart"), "s:2", Write("ial")});
    bool reading = true;
    client.Socket.OnDataAvailable = [&](TObject*, WORD) {
        if (!reading)
            return;
        client.Lines.push_back(client.ReceiveOnce());
        // After the first line: raw data that nobody takes for now.
        if (client.Lines.size() == 1) {
            client.Socket.SetLineMode(false);
            reading = false;
        }
    };
    ASSERT_TRUE(client.WaitForLines(1));
    Pump(500);
    EXPECT_EQ(client.Lines, TLines{"first\r\n"});

    reading = true;
    client.Socket.SetLineMode(true);
    EXPECT_TRUE(client.WaitForLines(3));
    Pump(200);
    EXPECT_EQ(client.Lines, (TLines{"first\r\n", "second\r\n", "third\r\n"}));

    // The partial line goes out raw once line mode is off again.
    client.Socket.SetLineMode(false);
    EXPECT_TRUE(PumpUntil([&] { return client.Joined() == "first\r\nsecond\r\nthird\r\npartial"; }));
    EXPECT_EQ(client.Lines[3], "part");
}

TEST(LineMode, EditingAndEcho)
{
    struct TCase {
        const char* Name;
        std::string Sent;
        bool Echo;
        std::string Line;
        std::string Echoed;
    };
    const TCase cases[] = {
        {"backspace", "abc\bd\r\n", false, "abd\r\n", ""},
        {"backspace echoed", "abc\bd\r\n", true, "abd\r\n", "abc\b \bd\r\n"},
        {"tab after three characters", "abc\tx\r\n", false, "abc     x\r\n", ""},
        {"tab echoed", "abc\tx\r\n", true, "abc     x\r\n", "abc     x\r\n"},
        {"backspace first", "\bok\r\n", true, "ok\r\n", "ok\r\n"},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        std::vector<std::string> steps = {Write(c.Sent)};
        if (c.Echo)
            steps.push_back("r:" + std::to_string(c.Echoed.size()));
        TLineClient client(steps);
        client.Socket.SetLineEdit(true);
        client.Socket.SetLineEcho(c.Echo);
        ASSERT_TRUE(client.WaitForLines(1));
        EXPECT_EQ(client.Lines, TLines{c.Line});
        if (c.Echo) {
            EXPECT_EQ(client.Peer->ReadLine(), "GOT " + Hex(c.Echoed));
        }
    }
}

TEST(LineMode, ThePartialLineAtTheCloseIsTheLastLine)
{
    TLineClient client({Write("whole\r\npartial"), Pause, "c"});
    ASSERT_TRUE(PumpUntil([&] { return client.Closes > 0; }));
    Pump(200);
    EXPECT_EQ(client.Lines, (TLines{"whole\r\n", "partial"}));
    EXPECT_EQ(client.Closes, 1);
}

TEST(LineMode, SendLineSendsTheTextAndTheLineEnd)
{
    TLineClient client({"r:10"});
    EXPECT_EQ(client.Socket.SendLine(""), 0);
    client.Socket.SetLineEnd("\n");
    EXPECT_EQ(client.Socket.SendLine("one"), 5) << "the text's length plus 2, whatever the line end";
    client.Socket.SetLineEnd("");
    EXPECT_EQ(client.Socket.SendLine("two"), 5);
    client.Socket.SetLineEnd("\r\n");
    client.Socket.SendLine("x");
    EXPECT_EQ(client.Peer->ReadLine(), "GOT " + Hex("one\ntwox\r\n"));
}

// --- Blocking waits ---------------------------------------------------------------------------

double ProcessCpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

TEST(ReadLine, GivesOneLineAtATime)
{
    // The first line comes once ReadLine waits.
    TLineClient client({"s:0.5", Write("hello\r\n"), Pause, Write("one\r\ntwo\r\nthr"), Pause, Write("ee\r\n")},
                       false);
    std::string line;
    client.Socket.ReadLine(5, line);
    EXPECT_EQ(line, "hello\r\n");
    // Lines that came together wait for the next ReadLine.
    for (const char* expected : {"one\r\n", "two\r\n", "three\r\n"}) {
        client.Socket.ReadLine(5, line);
        EXPECT_EQ(line, expected);
    }
    EXPECT_FALSE(client.Socket.LineMode()) << "the component's own mode comes back";
    EXPECT_TRUE(client.Lines.empty()) << "ReadLine takes the data event's place";
}

TEST(ReadLine, TimeOutGivesThePartialLine)
{
    TLineClient client({Write("half"), "s:3"});
    Pump(200);
    std::string line;
    const auto start = std::chrono::steady_clock::now();
    client.Socket.ReadLine(-500, line);
    const auto elapsed =
        std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start).count();
    EXPECT_EQ(line, "half");
    EXPECT_GE(elapsed, 450);
    EXPECT_LE(elapsed, 1000);
}

TEST(ReadLine, RefusedWhenNotConnected)
{
    TWSocket socket(nullptr);
    std::string line = "old";
    try {
        socket.ReadLine(1, line);
        ADD_FAILURE() << "no exception";
    } catch (const ESocketException& e) {
        EXPECT_EQ(e.Message, "ReadLine failed: not connected");
    }
    EXPECT_EQ(line, "");
    int errors = 0;
    socket.OnError = [&](TObject*) { ++errors; };
    socket.ReadLine(1, line);
    EXPECT_EQ(errors, 1);
}

TEST(ReadLine, WaitsWithoutSpinning)
{
    TLineClient client({"s:8"});
    std::string line;
    const double before = ProcessCpuSeconds();
    client.Socket.ReadLine(5, line);
    const double used = ProcessCpuSeconds() - before;
    EXPECT_EQ(line, "");
    EXPECT_LT(used, 0.1) << "process CPU seconds while waiting";
}

} // namespace
} // namespace LineWSocketTest
