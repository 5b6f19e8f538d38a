#include "NetTestSupport.h"

#include "platform/gui/Application.h"
#include "platform/gui/MessageQueue.h"
#include "platform/gui/WindowHandles.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <unistd.h>

namespace {

// One application and one started socket library for the whole run.
class TNetEnvironment : public testing::Environment {
public:
    void SetUp() override
    {
        Application->Initialize();
        Winsock::WSADATA data;
        ASSERT_EQ(Winsock::WSAStartup(0x0101, &data), 0);
    }
};

const testing::Environment* const netEnvironment = testing::AddGlobalTestEnvironment(new TNetEnvironment);

} // namespace

TNoticeRecorder::TNoticeRecorder()
{
    FHandle = AllocateHWnd([this](TMessage& message) {
        Log.push_back({message.Msg, message.WParam, message.LParam});
        if (OnMessage)
            OnMessage(Log.back());
    });
}

TNoticeRecorder::~TNoticeRecorder() { DeallocateHWnd(FHandle); }

std::vector<TNoticeRecorder::TEntry> TNoticeRecorder::Notices(Winsock::SOCKET s, long event) const
{
    std::vector<TEntry> found;
    for (const TEntry& entry : Log)
        if (entry.Msg == NoticeMessage && entry.WParam == s && Winsock::WSAGETSELECTEVENT(entry.LParam) == event)
            found.push_back(entry);
    return found;
}

std::vector<long> TNoticeRecorder::Events(Winsock::SOCKET s) const
{
    std::vector<long> events;
    for (const TEntry& entry : Log)
        if (entry.Msg == NoticeMessage && entry.WParam == s)
            events.push_back(Winsock::WSAGETSELECTEVENT(entry.LParam));
    return events;
}

void Pump(int ms)
{
    PumpUntil([] { return false; }, ms);
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

Winsock::sockaddr_in Loopback(Winsock::u_short port)
{
    Winsock::sockaddr_in address{};
    address.sin_family = Winsock::AF_INET;
    address.sin_port = Winsock::htons(port);
    address.sin_addr.S_addr = Winsock::htonl(Winsock::INADDR_LOOPBACK);
    return address;
}

Winsock::u_short LocalPort(Winsock::SOCKET s)
{
    Winsock::sockaddr_in address{};
    int length = sizeof address;
    EXPECT_EQ(Winsock::getsockname(s, reinterpret_cast<Winsock::sockaddr*>(&address), &length), 0);
    return Winsock::ntohs(address.sin_port);
}

Winsock::SOCKET MakeListener(Winsock::u_short& port)
{
    const Winsock::SOCKET s = Winsock::socket(Winsock::AF_INET, Winsock::SOCK_STREAM, Winsock::IPPROTO_TCP);
    EXPECT_NE(s, Winsock::INVALID_SOCKET);
    const Winsock::sockaddr_in address = Loopback(0);
    EXPECT_EQ(Winsock::bind(s, reinterpret_cast<const Winsock::sockaddr*>(&address), sizeof address), 0);
    EXPECT_EQ(Winsock::listen(s, 5), 0);
    port = LocalPort(s);
    return s;
}

void MakePair(Winsock::SOCKET& client, Winsock::SOCKET& server)
{
    Winsock::u_short port = 0;
    const Winsock::SOCKET listener = MakeListener(port);
    client = Winsock::socket(Winsock::AF_INET, Winsock::SOCK_STREAM, Winsock::IPPROTO_TCP);
    const Winsock::sockaddr_in address = Loopback(port);
    EXPECT_EQ(Winsock::connect(client, reinterpret_cast<const Winsock::sockaddr*>(&address), sizeof address), 0);
    server = Winsock::accept(listener, nullptr, nullptr);
    EXPECT_NE(server, Winsock::INVALID_SOCKET);
    Winsock::closesocket(listener);
}

Winsock::u_short ClosedPort()
{
    Winsock::u_short port = 0;
    const Winsock::SOCKET listener = MakeListener(port);
    Winsock::closesocket(listener);
    return port;
}

Winsock::SOCKET ConnectAsync(Winsock::u_short port, HWND window, long events)
{
    const Winsock::SOCKET s = Winsock::socket(Winsock::AF_INET, Winsock::SOCK_STREAM, Winsock::IPPROTO_TCP);
    EXPECT_EQ(Winsock::WSAAsyncSelect(s, window, NoticeMessage, events), 0);
    const Winsock::sockaddr_in address = Loopback(port);
    const int result = Winsock::connect(s, reinterpret_cast<const Winsock::sockaddr*>(&address), sizeof address);
    EXPECT_TRUE(result == 0 || Winsock::WSAGetLastError() == Winsock::WSAEWOULDBLOCK);
    return s;
}

TPythonPeer::TPythonPeer(const std::string& script, const std::string& arguments)
{
    static std::atomic<int> counter{0};
    const std::filesystem::path file = std::filesystem::temp_directory_path() /
                                       ("tess-net-peer-" + std::to_string(getpid()) + "-" +
                                        std::to_string(++counter) + ".py");
    std::ofstream(file) << script;
    FScript = file.string();
    FOutput = popen(("python3 -u '" + FScript + "' " + arguments).c_str(), "r");
    EXPECT_NE(FOutput, nullptr);
}

TPythonPeer::~TPythonPeer()
{
    Wait();
    std::filesystem::remove(FScript);
}

std::string TPythonPeer::ReadLine()
{
    if (!FOutput)
        return "";
    char line[512];
    if (!std::fgets(line, sizeof line, FOutput))
        return "";
    std::string text = line;
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r'))
        text.pop_back();
    return text;
}

int TPythonPeer::Wait()
{
    if (!FOutput)
        return -1;
    const int status = pclose(FOutput);
    FOutput = nullptr;
    return status;
}
