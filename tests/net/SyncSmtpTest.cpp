// The blocking SMTP calls against python3 servers on 127.0.0.1: one that never answers, one that
// reads the message slowly, one that refuses a recipient.

#include "SmtpPeers.h"

#include <gtest/gtest.h>

#include <chrono>
#include <random>
#include <sys/resource.h>

namespace SyncSmtpTest {
namespace {

// Accepts connections and keeps them open without a word.
const char* const SilentServer = R"(
import socket, time
listener = socket.socket()
listener.bind(("127.0.0.1", 0))
listener.listen(5)
print("READY", listener.getsockname()[1], flush=True)
held = []
while True:
    connection, _ = listener.accept()
    held.append(connection)
)";

// Answers every command; sys.argv[1] is the recipient it refuses, sys.argv[2] the bytes per
// second it reads the message at (0: as fast as it comes), sys.argv[3] "mute-data" stops
// answering after DATA's 354.
const char* const SlowServer = R"(
import socket, sys, time
refused, rate, mute = sys.argv[1], int(sys.argv[2]), sys.argv[3] == "mute-data"
listener = socket.socket()
# A small window: the message waits in the client, not in this process's kernel buffer.
listener.setsockopt(socket.SOL_SOCKET, socket.SO_RCVBUF, 131072)
listener.bind(("127.0.0.1", 0))
listener.listen(5)
print("READY", listener.getsockname()[1], flush=True)
while True:
    connection, _ = listener.accept()
    connection.sendall(b"220 mail.example.test\r\n")
    pending = b""
    while True:
        data = connection.recv(65536)
        if not data:
            break
        pending += data
        while b"\r\n" in pending:
            line, pending = pending.split(b"\r\n", 1)
            command = line.upper()
            if command.startswith(b"RCPT TO") and refused.encode() in line:
                connection.sendall(b"550 5.1.1 mailbox unavailable\r\n")
            elif command.startswith(b"DATA"):
                connection.sendall(b"354 go on\r\n")
                if mute:
                    time.sleep(60)
                received, start, tail = len(pending), time.time(), pending[-5:]
                while not tail.endswith(b"\r\n.\r\n"):
                    chunk = connection.recv(16384)
                    if not chunk:
                        break
                    tail = (tail + chunk)[-5:]
                    received += len(chunk)
                    if rate:
                        delay = received / rate - (time.time() - start)
                        if delay > 0:
                            time.sleep(delay)
                print("DATA", received, "%.1f" % (time.time() - start), flush=True)
                pending = b""
                connection.sendall(b"250 queued\r\n")
            elif command.startswith(b"QUIT"):
                connection.sendall(b"221 bye\r\n")
            else:
                connection.sendall(b"250 ok\r\n")
    connection.close()
)";

double ProcessCpuSeconds()
{
    rusage usage {};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

double SecondsSince(std::chrono::steady_clock::time_point start)
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

void Aim(TSyncSmtpCli& client, const TPeerProcess& server)
{
    client.SetHost("127.0.0.1");
    client.SetPort(server.PortText());
    client.SetSignOn("client.example.test");
    client.SetHdrFrom("fatture@example.it");
    client.SetHdrTo("cliente@example.it");
    client.SetHdrSubject("Fattura");
    client.SetFromName("fatture@example.it");
    client.RcptName()->Add("cliente@example.it");
    client.SetTimeout(2);
}

TEST(SyncSmtp, ASilentServerTimesOutWithoutBurningTheProcessor)
{
    auto server = TPeerProcess::Python(SilentServer);
    TSyncSmtpCli client(nullptr);
    Aim(client, *server);
    const double cpuBefore = ProcessCpuSeconds();
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(client.OpenSync());
    const double elapsed = SecondsSince(start);
    EXPECT_LT(ProcessCpuSeconds() - cpuBefore, 0.1);
    EXPECT_GE(elapsed, 1.9);
    EXPECT_LT(elapsed, 3.0);
    EXPECT_EQ(client.ErrorMessage(), "426 Timeout");
    EXPECT_EQ(client.State(), smtpReady);
    EXPECT_FALSE(client.Connected());
}

TEST(SyncSmtp, ALongMessageDoesNotTimeOutWhileItsLinesLeave)
{
    auto server = TPeerProcess::Python(SlowServer, {"nessuno", "1000000", "-"});
    TTempFolder folder("tess-syncsmtp");
    std::mt19937 random(9);
    std::string bytes(5 * 1024 * 1024, '\0');
    for (char& c : bytes)
        c = static_cast<char>(random());
    TSyncSmtpCli client(nullptr);
    Aim(client, *server);
    TStringList files;
    files.Add(WriteTestFile(folder, "grande.bin", bytes));
    client.SetEMailFiles(&files);
    TStringList text;
    text.Add("In allegato.");
    client.SetMailMessage(&text);
    EXPECT_TRUE(client.OpenSync()) << client.ErrorMessage();
    EXPECT_TRUE(client.MailSync()) << client.ErrorMessage();
    EXPECT_TRUE(client.QuitSync()) << client.ErrorMessage();
    const std::string report = server->ReadLine();
    ASSERT_EQ(report.rfind("DATA ", 0), 0u) << report;
    // The server needed longer than Timeout for the message.
    EXPECT_GT(std::stod(report.substr(report.rfind(' ') + 1)), 2.0) << report;
}

TEST(SyncSmtp, ARefusedRecipientOrAServerFallingSilentGivesFalse)
{
    auto server = TPeerProcess::Python(SlowServer, {"ignoto@example.it", "0", "-"});
    TSyncSmtpCli client(nullptr);
    Aim(client, *server);
    client.RcptName()->Clear();
    client.RcptName()->Add("ignoto@example.it");
    EXPECT_TRUE(client.OpenSync());
    EXPECT_FALSE(client.MailSync());
    EXPECT_EQ(client.ErrorMessage(), "550 5.1.1 mailbox unavailable");
    EXPECT_TRUE(client.RsetSync());
    EXPECT_TRUE(client.QuitSync());

    auto mute = TPeerProcess::Python(SlowServer, {"nessuno", "0", "mute-data"});
    TSyncSmtpCli silent(nullptr);
    Aim(silent, *mute);
    EXPECT_TRUE(silent.OpenSync());
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(silent.MailSync());
    EXPECT_LT(SecondsSince(start), 3.0);
    EXPECT_EQ(silent.ErrorMessage(), "426 Timeout");
    EXPECT_FALSE(silent.Connected());
}

} // namespace
} // namespace SyncSmtpTest
