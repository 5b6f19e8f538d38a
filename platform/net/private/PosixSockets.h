#pragma once
// The POSIX socket calls behind the socket library. This header and its source never see the
// library's own header (its constants share names with the POSIX macros), so everything here has
// neutral names. Addresses are IPv4 in network order; a failing call returns -1 and leaves the
// Windows socket error of the calling thread in LastError().

#include <cstdint>
#include <string>
#include <vector>

namespace PosixSockets {

struct TEndpoint {
    std::uint32_t Address = 0; // network order
    std::uint16_t Port = 0;    // network order
};

enum class TSocketKind { Stream, Datagram, Raw };

enum class TOption {
    ReuseAddress,
    KeepAlive,
    Broadcast,
    Linger, // value: on (0/1) and seconds
    NoDelay,
    MulticastInterface, // value: an address in network order
    MulticastTtl,
    AddMembership, // value: group and interface addresses
    SendBuffer,    // value: bytes
    ReceiveBuffer, // value: bytes
};

struct TOptionValue {
    int Number = 0;                // boolean options, the TTL, linger on/off
    int Seconds = 0;               // linger
    std::uint32_t Address = 0;     // multicast interface; the group of AddMembership
    std::uint32_t Interface = 0;   // the interface of AddMembership
};

// The Windows socket error of the calling thread's last failed call here.
int LastError();
// The Windows socket error for an errno value.
int ErrorFromErrno(int error);

int Open(TSocketKind kind, int protocol);
int Bind(int fd, const TEndpoint& endpoint);
// A non-blocking connect still in progress fails with 10035.
int Connect(int fd, const TEndpoint& endpoint);
int Listen(int fd, int backlog);
// The new socket, or -1; peer receives the other side's address.
int Accept(int fd, TEndpoint& peer);
// Sends never raise SIGPIPE. urgent sends out of band.
int Send(int fd, const char* data, int length, bool urgent);
int SendTo(int fd, const char* data, int length, bool urgent, const TEndpoint& to);
int Receive(int fd, char* buffer, int length, bool peek, bool urgent);
int ReceiveFrom(int fd, char* buffer, int length, bool peek, bool urgent, TEndpoint& from);
int Close(int fd);
// Closes the socket at once but keeps the descriptor's number taken by a harmless placeholder
// until Close: for descriptors another thread may still watch.
int CloseKeepingNumber(int fd);
int Shutdown(int fd, int how);
int SetNonBlocking(int fd, bool nonBlocking);
// The bytes waiting to be read.
int BytesWaiting(int fd, std::uint32_t& count);
// The pending error of the socket (the outcome of a non-blocking connect) as a Windows socket
// error, 0 for none.
int TakePendingError(int fd, int& error);
int LocalName(int fd, TEndpoint& endpoint);
int PeerName(int fd, TEndpoint& endpoint);
TSocketKind KindOf(int fd);
int SetOption(int fd, TOption option, const TOptionValue& value);
int GetOption(int fd, TOption option, TOptionValue& value);

int HostName(std::string& name);

// The system's look-ups (IPv4 only); each returns 0 or a Windows socket error.
int ResolveName(const std::string& name, std::string& canonicalName, std::vector<std::uint32_t>& addresses);
int ResolveAddress(std::uint32_t address, std::string& name);
// A service of the services file; an empty protocol takes any. port is in network order.
bool FindService(const std::string& name, const std::string& protocol, std::string& foundProtocol,
                 std::uint16_t& port);
bool FindProtocol(const std::string& name, std::string& officialName, int& number);
// Parses an IPv4 address in the classic forms (a.b.c.d, a.b.c, a.b, a; decimal, octal or hex).
bool ParseAddress(const char* text, std::uint32_t& address);

} // namespace PosixSockets
