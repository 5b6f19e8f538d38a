#include "NetPeers.h"

#include "platform/gui/Application.h"
#include "platform/gui/MessageQueue.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <netinet/in.h>
#include <poll.h>
#include <sstream>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

namespace NetPeers {
namespace {

// The socket component needs the application's event loop.
class TApplicationEnvironment : public testing::Environment {
public:
    void SetUp() override { Application->Initialize(); }
};

const testing::Environment* const applicationEnvironment =
    testing::AddGlobalTestEnvironment(new TApplicationEnvironment);

sockaddr_in LoopbackAddress(int port)
{
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<std::uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return address;
}

bool Accepts(int port)
{
    const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    const sockaddr_in address = LoopbackAddress(port);
    const bool connected = connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
    close(fd);
    return connected;
}

} // namespace
} // namespace NetPeers

std::string Hex(const std::string& bytes)
{
    static const char* const digits = "0123456789abcdef";
    std::string text;
    for (unsigned char c : bytes) {
        text += digits[c >> 4];
        text += digits[c & 15];
    }
    return text;
}

std::string ReadWholeFile(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

void WriteWholeFile(const std::filesystem::path& path, const std::string& bytes)
{
    if (path.has_parent_path())
        std::filesystem::create_directories(path.parent_path());
    std::ofstream out(path, std::ios::binary);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

int FreeLoopbackPort()
{
    const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address = NetPeers::LoopbackAddress(0);
    bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address);
    socklen_t length = sizeof address;
    getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
    close(fd);
    return ntohs(address.sin_port);
}

bool TPeerProcess::Spawn(const std::vector<std::string>& argv)
{
    int pipeFds[2];
    if (pipe2(pipeFds, O_CLOEXEC) != 0)
        return false;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, pipeFds[1], 1);
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    // A group of its own: ending the peer ends what it started too (socat's forks, cat).
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETPGROUP);
    posix_spawnattr_setpgroup(&attributes, 0);
    std::vector<char*> args;
    for (const std::string& arg : argv)
        args.push_back(const_cast<char*>(arg.c_str()));
    args.push_back(nullptr);
    pid_t pid = -1;
    const int result = posix_spawnp(&pid, args[0], &actions, &attributes, args.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
    close(pipeFds[1]);
    if (result != 0) {
        close(pipeFds[0]);
        return false;
    }
    FPid = pid;
    FOutput = pipeFds[0];
    return true;
}

std::unique_ptr<TPeerProcess> TPeerProcess::Python(const std::string& script, const std::vector<std::string>& arguments,
                                                   bool waitReady)
{
    std::unique_ptr<TPeerProcess> peer(new TPeerProcess);
    // The system's interpreter starts at once; a version manager's shim found first on the path
    // may take seconds.
    const std::string python = access("/usr/bin/python3", X_OK) == 0 ? "/usr/bin/python3" : "python3";
    std::vector<std::string> argv = {python, "-u", "-c", script};
    argv.insert(argv.end(), arguments.begin(), arguments.end());
    EXPECT_TRUE(peer->Spawn(argv)) << "python3 did not start";
    if (waitReady) {
        const std::string line = peer->ReadLine();
        EXPECT_EQ(line.rfind("READY ", 0), 0u) << "the peer said: " << line;
        if (line.rfind("READY ", 0) == 0)
            peer->FPort = std::stoi(line.substr(6));
    }
    return peer;
}

std::unique_ptr<TPeerProcess> TPeerProcess::Socat(const std::vector<std::string>& arguments)
{
    const int port = FreeLoopbackPort();
    std::vector<std::string> argv = {"socat"};
    for (std::string argument : arguments) {
        const std::size_t at = argument.find("{port}");
        if (at != std::string::npos)
            argument.replace(at, 6, std::to_string(port));
        argv.push_back(argument);
    }
    return Listening(argv, port);
}

std::unique_ptr<TPeerProcess> TPeerProcess::Listening(const std::vector<std::string>& argv, int port)
{
    std::unique_ptr<TPeerProcess> peer(new TPeerProcess);
    peer->FPort = port;
    EXPECT_TRUE(peer->Spawn(argv)) << argv[0] << " did not start";
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!NetPeers::Accepts(peer->FPort) && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    return peer;
}

TPeerProcess::~TPeerProcess()
{
    if (FPid > 0) {
        kill(-FPid, SIGTERM);
        int status = 0;
        while (waitpid(FPid, &status, 0) < 0 && errno == EINTR) {
        }
    }
    if (FOutput >= 0)
        close(FOutput);
}

std::string TPeerProcess::ReadLine(int timeoutMs)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        const std::size_t end = FPending.find('\n');
        if (end != std::string::npos) {
            std::string line = FPending.substr(0, end);
            FPending.erase(0, end + 1);
            if (!line.empty() && line.back() == '\r')
                line.pop_back();
            return line;
        }
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline -
                                                                                std::chrono::steady_clock::now());
        if (FOutput < 0 || left.count() <= 0)
            return "";
        pollfd watch{FOutput, POLLIN, 0};
        if (poll(&watch, 1, static_cast<int>(left.count())) <= 0)
            continue;
        char buffer[512];
        const ssize_t count = read(FOutput, buffer, sizeof buffer);
        if (count <= 0) {
            close(FOutput);
            FOutput = -1;
            std::string rest = FPending;
            FPending.clear();
            return rest;
        }
        FPending.append(buffer, static_cast<std::size_t>(count));
    }
}

bool PumpUntil(const std::function<bool()>& condition, int timeoutMs)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        Application->ProcessMessages();
        if (condition())
            return true;
        if (std::chrono::steady_clock::now() >= deadline)
            return false;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
    }
}

void Pump(int ms)
{
    PumpUntil([] { return false; }, ms);
}

// The font configuration library keeps its caches for the life of the process; the leak checker
// of the sanitizer builds would report them at exit.
extern "C" const char* __lsan_default_suppressions()
{
    return "leak:libfontconfig.so\n";
}
