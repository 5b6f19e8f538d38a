#pragma once
// MD5 digests (RFC 1321): the incremental interface over a context, and the digest of a buffer,
// a text and a file as 32 upper-case hexadecimal digits.

#include <array>
#include <cstdint>
#include <string>

struct TMD5Context {
    std::uint32_t State[4];  // A, B, C, D
    std::uint32_t Count[2];  // the message length in bits, low word first
    std::uint8_t Buffer[64]; // input waiting for a whole block
};

using TMD5Digest = std::array<std::uint8_t, 16>;

void MD5Init(TMD5Context& Context);
void MD5Update(TMD5Context& Context, const void* Data, int Len);
void MD5UpdateBuffer(TMD5Context& Context, const void* Buffer, int BufSize);
// Pads, appends the length, gives the digest (state words low byte first) and clears the context.
void MD5Final(TMD5Digest& Digest, TMD5Context& Context);
// One block transform of the state Buf over sixteen message words.
void MD5Transform(std::uint32_t (&Buf)[4], const std::uint32_t (&Data)[16]);

std::string GetMD5(const void* Buffer, int BufSize);
std::string StrMD5(const std::string& S);
// Raises the file stream's exception when the file cannot be opened or read.
std::string FileMD5(const std::string& FileName);
