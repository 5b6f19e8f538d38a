#include "SinkProcesses.h"

#include <arpa/inet.h>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <fstream>
#include <netinet/in.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace SinkProcesses {

namespace {

// outputFd, when not -1, becomes the program's standard output.
int Spawn(const std::vector<std::string>& argv, int outputFd = -1)
{
    std::vector<char*> args;
    for (const std::string& arg : argv)
        args.push_back(const_cast<char*>(arg.c_str()));
    args.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (outputFd != -1)
        posix_spawn_file_actions_adddup2(&actions, outputFd, 1);
    pid_t pid = -1;
    const int result = posix_spawnp(&pid, args[0], &actions, nullptr, args.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    return result == 0 ? pid : -1;
}

// Whether 127.0.0.1:port is in the listening state, read from the kernel's table, so that the
// check takes no connection from a sink that serves only one.
bool Listening(int port)
{
    char wanted[32];
    std::snprintf(wanted, sizeof wanted, "0100007F:%04X", port);
    std::ifstream table("/proc/net/tcp");
    std::string line;
    while (std::getline(table, line))
        if (line.find(wanted) != std::string::npos && line.find(" 0A ") != std::string::npos)
            return true;
    return false;
}

std::string Python() { return access("/usr/bin/python3", X_OK) == 0 ? "/usr/bin/python3" : "python3"; }

int WhenListening(int pid, int port)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (pid > 0 && !Listening(port) && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    return pid;
}

} // namespace

int FreePort()
{
    const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address);
    socklen_t length = sizeof address;
    getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
    close(fd);
    return ntohs(address.sin_port);
}

int StartSink(int port)
{
    return WhenListening(
        Spawn({"socat", "-u", "TCP-LISTEN:" + std::to_string(port) + ",bind=127.0.0.1", "OPEN:/dev/null"}), port);
}

void WaitForExit(int pid)
{
    int status = 0;
    while (pid > 0 && waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
}

void Stop(int pid)
{
    if (pid <= 0)
        return;
    kill(pid, SIGTERM);
    WaitForExit(pid);
}

int StartLineSender(int port, int lines, int lineLength)
{
    // The lines are built once and written in large blocks, so that the sender is never the limit.
    const std::string script = R"(
import socket, sys
port, lines, length = int(sys.argv[1]), int(sys.argv[2]), int(sys.argv[3])
line = (b"x" * (length - 2)) + b"\r\n"
block = line * 1000
listener = socket.socket()
listener.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
listener.bind(("127.0.0.1", port))
listener.listen(1)
connection, _ = listener.accept()
for _ in range(lines // 1000):
    connection.sendall(block)
connection.sendall(line * (lines % 1000))
connection.close()
)";
    return WhenListening(
        Spawn({Python(), "-c", script, std::to_string(port), std::to_string(lines), std::to_string(lineLength)}), port);
}

void CopyFileWithSocat(const std::string& file, int port)
{
    WaitForExit(Spawn({"socat", "-u", "FILE:" + file, "TCP:127.0.0.1:" + std::to_string(port)}));
}

int StartHttpServer(int port, const std::string& folder)
{
    return WhenListening(Spawn({Python(), "-m", "http.server", std::to_string(port), "--bind", "127.0.0.1",
                                "--directory", folder}),
                         port);
}

int StartSlowHttpServer(int port, int pieces, int pieceBytes, int intervalMs)
{
    const std::string script = R"(
import socket, sys, time
port, pieces, size, interval = (int(value) for value in sys.argv[1:5])
listener = socket.socket()
listener.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
listener.bind(("127.0.0.1", port))
listener.listen(1)
connection, _ = listener.accept()
request = b""
while b"\r\n\r\n" not in request:
    part = connection.recv(4096)
    if not part:
        break
    request += part
connection.sendall(b"HTTP/1.0 200 OK\r\nContent-Length: %d\r\n\r\n" % (pieces * size))
for _ in range(pieces):
    time.sleep(interval / 1000)
    connection.sendall(b"s" * size)
connection.close()
)";
    return WhenListening(Spawn({Python(), "-c", script, std::to_string(port), std::to_string(pieces),
                                std::to_string(pieceBytes), std::to_string(intervalMs)}),
                         port);
}

bool Run(const std::vector<std::string>& argv)
{
    const int devNull = open("/dev/null", O_WRONLY | O_CLOEXEC);
    const int pid = Spawn(argv, devNull);
    close(devNull);
    if (pid <= 0)
        return false;
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

int StartSmtpServer(int port, const std::string& messageFile)
{
    const std::string script = R"(
import logging, sys, threading
from aiosmtpd.controller import Controller
logging.getLogger("mail.log").setLevel(logging.ERROR)
port, message_file = int(sys.argv[1]), sys.argv[2]
class Handler:
    async def handle_DATA(self, server, session, envelope):
        with open(message_file, "wb") as out:
            out.write(envelope.original_content)
        return "250 Message accepted"
Controller(Handler(), hostname="127.0.0.1", port=port).start()
threading.Event().wait()
)";
    return WhenListening(Spawn({Python(), "-c", script, std::to_string(port), messageFile}), port);
}

std::string RunPython(const std::string& script, const std::vector<std::string>& arguments)
{
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0)
        return "";
    std::vector<std::string> argv = {Python(), "-c", script};
    argv.insert(argv.end(), arguments.begin(), arguments.end());
    const int pid = Spawn(argv, fds[1]);
    close(fds[1]);
    std::string output;
    char buffer[4096];
    for (ssize_t count; (count = read(fds[0], buffer, sizeof buffer)) > 0;)
        output.append(buffer, static_cast<std::size_t>(count));
    close(fds[0]);
    WaitForExit(pid);
    return output;
}

} // namespace SinkProcesses
