// The POSIX side of the socket library. It must not include platform/net/Winsock.h: the system
// headers below define macros with the names of the Windows constants.

#include "platform/net/private/PosixSockets.h"

#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

namespace PosixSockets {

namespace {

thread_local int lastSocketError = 0;

int Fail(int error)
{
    lastSocketError = error;
    return -1;
}

int FailFromErrno() { return Fail(ErrorFromErrno(errno)); }

// Most calls answer -1 with errno set; this keeps their result and records the error.
int Checked(int result) { return result < 0 ? FailFromErrno() : result; }

sockaddr_in ToSockaddr(const TEndpoint& endpoint)
{
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = endpoint.Port;
    address.sin_addr.s_addr = endpoint.Address;
    return address;
}

TEndpoint FromSockaddr(const sockaddr_in& address)
{
    return TEndpoint{address.sin_addr.s_addr, address.sin_port};
}

int ErrorFromResolver(int code)
{
    switch (code) {
    case EAI_NONAME:
        return 11001;
    case EAI_AGAIN:
        return 11002;
    case EAI_FAIL:
        return 11003;
#ifdef EAI_NODATA
    case EAI_NODATA:
        return 11004;
#endif
#ifdef EAI_ADDRFAMILY
    // A host with addresses of another family only: Windows says "No Data" for it too.
    case EAI_ADDRFAMILY:
        return 11004;
#endif
    case EAI_SYSTEM:
        return ErrorFromErrno(errno);
    default:
        return 10022;
    }
}

// Where an option lives on this system; false for an option it does not have.
bool LocateOption(TOption option, int& level, int& name)
{
    switch (option) {
    case TOption::ReuseAddress:
        level = SOL_SOCKET, name = SO_REUSEADDR;
        return true;
    case TOption::KeepAlive:
        level = SOL_SOCKET, name = SO_KEEPALIVE;
        return true;
    case TOption::Broadcast:
        level = SOL_SOCKET, name = SO_BROADCAST;
        return true;
    case TOption::Linger:
        level = SOL_SOCKET, name = SO_LINGER;
        return true;
    case TOption::NoDelay:
        level = IPPROTO_TCP, name = TCP_NODELAY;
        return true;
    case TOption::MulticastInterface:
        level = IPPROTO_IP, name = IP_MULTICAST_IF;
        return true;
    case TOption::MulticastTtl:
        level = IPPROTO_IP, name = IP_MULTICAST_TTL;
        return true;
    case TOption::AddMembership:
        level = IPPROTO_IP, name = IP_ADD_MEMBERSHIP;
        return true;
    case TOption::SendBuffer:
        level = SOL_SOCKET, name = SO_SNDBUF;
        return true;
    case TOption::ReceiveBuffer:
        level = SOL_SOCKET, name = SO_RCVBUF;
        return true;
    }
    return false;
}

int OpenPlaceholder()
{
    static const int placeholder = open("/dev/null", O_RDONLY | O_CLOEXEC);
    return placeholder;
}

} // namespace

int LastError() { return lastSocketError; }

int ErrorFromErrno(int error)
{
    switch (error) {
    case EINTR:
        return 10004;
    case EBADF:
        return 10009;
    case EACCES:
        return 10013;
    case EFAULT:
        return 10014;
    case EINVAL:
        return 10022;
    case EMFILE:
        return 10024;
    case EWOULDBLOCK:
        return 10035;
    case EINPROGRESS:
        return 10036;
    case EALREADY:
        return 10037;
    case ENOTSOCK:
        return 10038;
    case EDESTADDRREQ:
        return 10039;
    case EMSGSIZE:
        return 10040;
    case EPROTOTYPE:
        return 10041;
    case ENOPROTOOPT:
        return 10042;
    case EPROTONOSUPPORT:
        return 10043;
    case ESOCKTNOSUPPORT:
        return 10044;
    case EOPNOTSUPP:
        return 10045;
    case EPFNOSUPPORT:
        return 10046;
    case EAFNOSUPPORT:
        return 10047;
    case EADDRINUSE:
        return 10048;
    case EADDRNOTAVAIL:
        return 10049;
    case ENETDOWN:
        return 10050;
    case ENETUNREACH:
        return 10051;
    case ENETRESET:
        return 10052;
    case ECONNABORTED:
        return 10053;
    case ECONNRESET:
    case EPIPE:
        return 10054;
    case ENOBUFS:
        return 10055;
    case EISCONN:
        return 10056;
    case ENOTCONN:
        return 10057;
    case ESHUTDOWN:
        return 10058;
    case ETIMEDOUT:
        return 10060;
    case ECONNREFUSED:
        return 10061;
    case ELOOP:
        return 10062;
    case ENAMETOOLONG:
        return 10063;
    case EHOSTDOWN:
        return 10064;
    case EHOSTUNREACH:
        return 10065;
    default:
        return 10022;
    }
}

int Open(TSocketKind kind, int protocol)
{
    int type = SOCK_STREAM;
    if (kind == TSocketKind::Datagram)
        type = SOCK_DGRAM;
    else if (kind == TSocketKind::Raw)
        type = SOCK_RAW;
    return Checked(::socket(AF_INET, type | SOCK_CLOEXEC, protocol));
}

int Bind(int fd, const TEndpoint& endpoint)
{
    const sockaddr_in address = ToSockaddr(endpoint);
    return Checked(::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address));
}

int Connect(int fd, const TEndpoint& endpoint)
{
    const sockaddr_in address = ToSockaddr(endpoint);
    if (::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0)
        return 0;
    // Windows reports a connect under way as would-block.
    return errno == EINPROGRESS ? Fail(10035) : FailFromErrno();
}

int Listen(int fd, int backlog) { return Checked(::listen(fd, backlog)); }

int Accept(int fd, TEndpoint& peer)
{
    sockaddr_in address{};
    socklen_t length = sizeof address;
    const int accepted = ::accept4(fd, reinterpret_cast<sockaddr*>(&address), &length, SOCK_CLOEXEC);
    if (accepted < 0)
        return FailFromErrno();
    peer = FromSockaddr(address);
    return accepted;
}

int Send(int fd, const char* data, int length, bool urgent)
{
    const int flags = MSG_NOSIGNAL | (urgent ? MSG_OOB : 0);
    return Checked(static_cast<int>(::send(fd, data, static_cast<size_t>(length), flags)));
}

int SendTo(int fd, const char* data, int length, bool urgent, const TEndpoint& to)
{
    const sockaddr_in address = ToSockaddr(to);
    const int flags = MSG_NOSIGNAL | (urgent ? MSG_OOB : 0);
    return Checked(static_cast<int>(::sendto(fd, data, static_cast<size_t>(length), flags,
                                             reinterpret_cast<const sockaddr*>(&address), sizeof address)));
}

int Receive(int fd, char* buffer, int length, bool peek, bool urgent)
{
    const int flags = (peek ? MSG_PEEK : 0) | (urgent ? MSG_OOB : 0);
    return Checked(static_cast<int>(::recv(fd, buffer, static_cast<size_t>(length), flags)));
}

int ReceiveFrom(int fd, char* buffer, int length, bool peek, bool urgent, TEndpoint& from)
{
    sockaddr_in address{};
    socklen_t addressLength = sizeof address;
    const int flags = (peek ? MSG_PEEK : 0) | (urgent ? MSG_OOB : 0);
    const ssize_t received = ::recvfrom(fd, buffer, static_cast<size_t>(length), flags,
                                        reinterpret_cast<sockaddr*>(&address), &addressLength);
    if (received < 0)
        return FailFromErrno();
    from = FromSockaddr(address);
    return static_cast<int>(received);
}

int Close(int fd) { return Checked(::close(fd)); }

int CloseKeepingNumber(int fd)
{
    const int placeholder = OpenPlaceholder();
    // dup2 closes the socket itself (with its linger rules) and puts the placeholder in its place.
    if (placeholder < 0 || ::dup2(placeholder, fd) < 0)
        return Close(fd);
    return 0;
}

int Shutdown(int fd, int how) { return Checked(::shutdown(fd, how)); }

int SetNonBlocking(int fd, bool nonBlocking)
{
    const int flags = ::fcntl(fd, F_GETFL);
    if (flags < 0)
        return FailFromErrno();
    const int wanted = nonBlocking ? (flags | O_NONBLOCK) : (flags & ~O_NONBLOCK);
    return wanted == flags ? 0 : Checked(::fcntl(fd, F_SETFL, wanted));
}

int BytesWaiting(int fd, std::uint32_t& count)
{
    int waiting = 0;
    if (::ioctl(fd, FIONREAD, &waiting) < 0)
        return FailFromErrno();
    count = static_cast<std::uint32_t>(waiting);
    return 0;
}

int TakePendingError(int fd, int& error)
{
    int pending = 0;
    socklen_t length = sizeof pending;
    if (::getsockopt(fd, SOL_SOCKET, SO_ERROR, &pending, &length) < 0)
        return FailFromErrno();
    error = pending == 0 ? 0 : ErrorFromErrno(pending);
    return 0;
}

int LocalName(int fd, TEndpoint& endpoint)
{
    sockaddr_in address{};
    socklen_t length = sizeof address;
    if (::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) < 0)
        return FailFromErrno();
    endpoint = FromSockaddr(address);
    return 0;
}

int PeerName(int fd, TEndpoint& endpoint)
{
    sockaddr_in address{};
    socklen_t length = sizeof address;
    if (::getpeername(fd, reinterpret_cast<sockaddr*>(&address), &length) < 0)
        return FailFromErrno();
    endpoint = FromSockaddr(address);
    return 0;
}

TSocketKind KindOf(int fd)
{
    int type = SOCK_STREAM;
    socklen_t length = sizeof type;
    ::getsockopt(fd, SOL_SOCKET, SO_TYPE, &type, &length);
    if (type == SOCK_DGRAM)
        return TSocketKind::Datagram;
    return type == SOCK_RAW ? TSocketKind::Raw : TSocketKind::Stream;
}

int SetOption(int fd, TOption option, const TOptionValue& value)
{
    int level = 0, name = 0;
    if (!LocateOption(option, level, name))
        return Fail(10042);
    switch (option) {
    case TOption::Linger: {
        const ::linger setting{value.Number != 0 ? 1 : 0, value.Seconds};
        return Checked(::setsockopt(fd, level, name, &setting, sizeof setting));
    }
    case TOption::MulticastInterface: {
        ::in_addr address{};
        address.s_addr = value.Address;
        return Checked(::setsockopt(fd, level, name, &address, sizeof address));
    }
    case TOption::AddMembership: {
        ::ip_mreq request{};
        request.imr_multiaddr.s_addr = value.Address;
        request.imr_interface.s_addr = value.Interface;
        return Checked(::setsockopt(fd, level, name, &request, sizeof request));
    }
    case TOption::MulticastTtl:
    case TOption::SendBuffer:
    case TOption::ReceiveBuffer:
        return Checked(::setsockopt(fd, level, name, &value.Number, sizeof value.Number));
    default: {
        const int flag = value.Number != 0 ? 1 : 0;
        return Checked(::setsockopt(fd, level, name, &flag, sizeof flag));
    }
    }
}

int GetOption(int fd, TOption option, TOptionValue& value)
{
    int level = 0, name = 0;
    if (!LocateOption(option, level, name) || option == TOption::AddMembership)
        return Fail(10042);
    switch (option) {
    case TOption::Linger: {
        ::linger setting{};
        socklen_t length = sizeof setting;
        if (::getsockopt(fd, level, name, &setting, &length) < 0)
            return FailFromErrno();
        value.Number = setting.l_onoff;
        value.Seconds = setting.l_linger;
        return 0;
    }
    case TOption::MulticastInterface: {
        ::in_addr address{};
        socklen_t length = sizeof address;
        if (::getsockopt(fd, level, name, &address, &length) < 0)
            return FailFromErrno();
        value.Address = address.s_addr;
        return 0;
    }
    default: {
        int number = 0;
        socklen_t length = sizeof number;
        if (::getsockopt(fd, level, name, &number, &length) < 0)
            return FailFromErrno();
        value.Number = number;
        return 0;
    }
    }
}

int HostName(std::string& name)
{
    char buffer[256] = {};
    if (::gethostname(buffer, sizeof buffer - 1) < 0)
        return FailFromErrno();
    name = buffer;
    return 0;
}

int ResolveName(const std::string& name, std::string& canonicalName, std::vector<std::uint32_t>& addresses)
{
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = AI_CANONNAME;
    addrinfo* found = nullptr;
    const int code = ::getaddrinfo(name.c_str(), nullptr, &hints, &found);
    if (code != 0)
        return ErrorFromResolver(code);
    canonicalName = found->ai_canonname ? found->ai_canonname : name;
    addresses.clear();
    for (const addrinfo* entry = found; entry; entry = entry->ai_next) {
        const std::uint32_t address = reinterpret_cast<const sockaddr_in*>(entry->ai_addr)->sin_addr.s_addr;
        bool known = false;
        for (std::uint32_t seen : addresses)
            known = known || seen == address;
        if (!known)
            addresses.push_back(address);
    }
    ::freeaddrinfo(found);
    return 0;
}

int ResolveAddress(std::uint32_t address, std::string& name)
{
    const sockaddr_in socketAddress = ToSockaddr(TEndpoint{address, 0});
    char host[NI_MAXHOST] = {};
    const int code = ::getnameinfo(reinterpret_cast<const sockaddr*>(&socketAddress), sizeof socketAddress, host,
                                   sizeof host, nullptr, 0, NI_NAMEREQD);
    if (code != 0)
        return ErrorFromResolver(code);
    name = host;
    return 0;
}

bool FindService(const std::string& name, const std::string& protocol, std::string& foundProtocol,
                 std::uint16_t& port)
{
    servent entry{};
    servent* result = nullptr;
    char buffer[4096];
    ::getservbyname_r(name.c_str(), protocol.empty() ? nullptr : protocol.c_str(), &entry, buffer, sizeof buffer,
                      &result);
    if (!result)
        return false;
    foundProtocol = result->s_proto ? result->s_proto : "";
    port = static_cast<std::uint16_t>(result->s_port);
    return true;
}

bool FindProtocol(const std::string& name, std::string& officialName, int& number)
{
    protoent entry{};
    protoent* result = nullptr;
    char buffer[4096];
    ::getprotobyname_r(name.c_str(), &entry, buffer, sizeof buffer, &result);
    if (!result)
        return false;
    officialName = result->p_name ? result->p_name : name;
    number = result->p_proto;
    return true;
}

bool ParseAddress(const char* text, std::uint32_t& address)
{
    ::in_addr parsed{};
    if (!text || ::inet_aton(text, &parsed) == 0)
        return false;
    address = parsed.s_addr;
    return true;
}

} // namespace PosixSockets
