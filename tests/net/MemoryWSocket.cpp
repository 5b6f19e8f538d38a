#include "MemoryWSocket.h"

#include <algorithm>
#include <cstring>

TMemoryWSocket::TMemoryWSocket(TComponent* AOwner) : TWSocket(AOwner) {}

void TMemoryWSocket::TakeIdleSocket()
{
    FHSocket = WSocket_socket(Winsock::AF_INET, Winsock::SOCK_DGRAM, Winsock::IPPROTO_UDP);
    Winsock::sockaddr_in local{};
    local.sin_family = static_cast<short>(Winsock::AF_INET);
    local.sin_addr.S_addr = WSocket_htonl(Winsock::INADDR_LOOPBACK);
    WSocket_bind(FHSocket, reinterpret_cast<const Winsock::sockaddr*>(&local), sizeof local);
}

void TMemoryWSocket::Open()
{
    TakeIdleSocket();
    ChangeState(wsConnected);
}

void TMemoryWSocket::Connect()
{
    Open();
    TriggerSessionConnected(0);
}

void TMemoryWSocket::OpenThroughProxy(const std::string& level, bool authenticate, const std::string& addr)
{
    SetSocksServer("127.0.0.1");
    SetSocksPort("1080");
    SetSocksLevel(level);
    SetSocksAuthentication(authenticate ? socksAuthenticateUsercode : socksNoAuthentication);
    SetSocksUsercode("user");
    SetSocksPassword("secret");
    SetAddr(addr);
    SetPort("8080");
    FPortNum = 8080;
    FSocksState = socksNegociateMethods;
    FRcvCnt = 0;
    TakeIdleSocket();
    ChangeState(wsConnected);
    TriggerSessionConnectedSpecial(0);
}

void TMemoryWSocket::Deliver(const std::string& bytes)
{
    FIncoming += bytes;
    // One data event per round, as long as the handlers take something.
    while (!FIncoming.empty() && FHSocket != Winsock::INVALID_SOCKET) {
        const std::size_t before = FIncoming.size();
        ASyncReceive(0, FComponentOptions);
        if (FIncoming.size() == before)
            break;
    }
}

bool TMemoryWSocket::LayerHoldsData() const
{
    if (FSocksState != socksData || FReceivingFromSocket)
        return false;
    if (FSocksRcvdCnt > 0)
        return true;
    return RawDelivery() ? FRcvdCnt > 0 : FLineLength > 0;
}

int TMemoryWSocket::DoRecv(void* Buffer, int BufferSize, int Flags)
{
    if (LayerHoldsData())
        return TWSocket::DoRecv(Buffer, BufferSize, Flags);
    if (FSocksRcvdCnt > 0 && FReceivingFromSocket)
        return TWSocket::DoRecv(Buffer, BufferSize, Flags);
    if (FIncoming.empty()) {
        WSocket_WSASetLastError(Winsock::WSAEWOULDBLOCK);
        return Winsock::SOCKET_ERROR;
    }
    const std::size_t count = std::min(FIncoming.size(), static_cast<std::size_t>(std::max(BufferSize, 0)));
    std::memcpy(Buffer, FIncoming.data(), count);
    if ((Flags & Winsock::MSG_PEEK) == 0)
        FIncoming.erase(0, count);
    return static_cast<int>(count);
}

int TMemoryWSocket::RealSend(const void* Data, int Len)
{
    Sent.append(static_cast<const char*>(Data), static_cast<std::size_t>(Len));
    return Len;
}
