#pragma once
// Packs a look-up's answer into a caller's buffer as a Windows hostent whose pointers all point
// into that buffer: the entry, its empty alias list, its address list, the addresses and the name.

#include "platform/net/Winsock.h"

namespace HostentPacker {

// Packs answer into buffer with as many addresses as fit and returns 0, with length the bytes
// used. When not even the entry with one address (or, for an answer without addresses, the
// entry alone) fits, nothing is written and the result is 10055, with length the bytes every
// address would need. Nothing is ever written at or past buffer + bufferLength. The name ends at
// its first zero byte. The entry itself starts at buffer, which should be aligned for pointers.
int Pack(const Winsock::THostAnswer& answer, char* buffer, int bufferLength, int& length);

} // namespace HostentPacker
