#pragma once
// What the sources of the socket library share besides its public header.

#include <cstdint>
#include <string>

namespace WinsockState {

// True after WSAStartup and before the matching WSACleanup; otherwise sets the error 10093.
bool RequireStarted();
// Sets the calling thread's socket error and returns SOCKET_ERROR (-1).
int Failed(int error);

// The port (network order) of a service a minimal system may lack in its services file; an
// empty protocol takes any.
bool FindKnownService(const std::string& name, const std::string& protocol, std::uint16_t& port);

} // namespace WinsockState
