#include "net/QuzMD5.h"

#include "platform/rtl/Files.h"
#include "platform/rtl/Streams.h"

#include <cstring>
#include <memory>
#include <vector>

namespace QuzMD5Unit {

// The size of the blocks FileMD5 reads.
constexpr int ReadBlockSize = 102400;

inline std::uint32_t RotateLeft(std::uint32_t x, int n) { return (x << n) | (x >> (32 - n)); }

inline std::uint32_t F1(std::uint32_t x, std::uint32_t y, std::uint32_t z) { return z ^ (x & (y ^ z)); }
inline std::uint32_t F2(std::uint32_t x, std::uint32_t y, std::uint32_t z) { return F1(z, x, y); }
inline std::uint32_t F3(std::uint32_t x, std::uint32_t y, std::uint32_t z) { return x ^ y ^ z; }
inline std::uint32_t F4(std::uint32_t x, std::uint32_t y, std::uint32_t z) { return y ^ (x | ~z); }

// One step: a += f(b, c, d) + data + constant, rotated by s, plus b.
template <std::uint32_t (*F)(std::uint32_t, std::uint32_t, std::uint32_t)>
inline void Step(std::uint32_t& a, std::uint32_t b, std::uint32_t c, std::uint32_t d, std::uint32_t data, int s)
{
    a = RotateLeft(a + F(b, c, d) + data, s) + b;
}

// The sixteen little-endian words of a 64-byte block.
void DecodeBlock(const std::uint8_t* block, std::uint32_t (&words)[16])
{
    for (int i = 0; i < 16; ++i)
        words[i] = std::uint32_t(block[4 * i]) | (std::uint32_t(block[4 * i + 1]) << 8) |
                   (std::uint32_t(block[4 * i + 2]) << 16) | (std::uint32_t(block[4 * i + 3]) << 24);
}

void TransformBlock(std::uint32_t (&state)[4], const std::uint8_t* block)
{
    std::uint32_t words[16];
    DecodeBlock(block, words);
    MD5Transform(state, words);
}

std::string HexDigest(const TMD5Digest& digest)
{
    static const char hexDigits[] = "0123456789ABCDEF";
    std::string text(32, '0');
    for (std::size_t i = 0; i < digest.size(); ++i) {
        text[2 * i] = hexDigits[digest[i] >> 4];
        text[2 * i + 1] = hexDigits[digest[i] & 15];
    }
    return text;
}

} // namespace QuzMD5Unit

void MD5Init(TMD5Context& Context)
{
    std::memset(&Context, 0, sizeof Context);
    Context.State[0] = 0x67452301;
    Context.State[1] = 0xefcdab89;
    Context.State[2] = 0x98badcfe;
    Context.State[3] = 0x10325476;
}

void MD5Update(TMD5Context& Context, const void* Data, int Len)
{
    if (Len <= 0)
        return;
    const auto* input = static_cast<const std::uint8_t*>(Data);
    auto length = static_cast<std::uint32_t>(Len);
    const std::uint32_t filled = (Context.Count[0] >> 3) & 63;
    const std::uint32_t bitsLow = Context.Count[0] + (length << 3);
    if (bitsLow < Context.Count[0])
        ++Context.Count[1];
    Context.Count[0] = bitsLow;
    Context.Count[1] += length >> 29;

    if (filled > 0) {
        const std::uint32_t room = 64 - filled;
        if (length < room) {
            std::memcpy(Context.Buffer + filled, input, length);
            return;
        }
        std::memcpy(Context.Buffer + filled, input, room);
        QuzMD5Unit::TransformBlock(Context.State, Context.Buffer);
        input += room;
        length -= room;
    }
    for (; length >= 64; input += 64, length -= 64)
        QuzMD5Unit::TransformBlock(Context.State, input);
    std::memcpy(Context.Buffer, input, length);
}

void MD5UpdateBuffer(TMD5Context& Context, const void* Buffer, int BufSize)
{
    // The data is fed as it is: a work copy would change nothing in the digest.
    MD5Update(Context, Buffer, BufSize);
}

void MD5Final(TMD5Digest& Digest, TMD5Context& Context)
{
    const std::uint32_t bitsLow = Context.Count[0];
    const std::uint32_t bitsHigh = Context.Count[1];
    const std::uint32_t filled = (bitsLow >> 3) & 63;
    std::uint8_t padding[72] = {0x80};
    // Up to 56 bytes in the last block, or into one more block when fewer than 8 are left.
    const std::uint32_t padLength = filled < 56 ? 56 - filled : 120 - filled;
    MD5Update(Context, padding, static_cast<int>(padLength));
    for (int i = 0; i < 4; ++i) {
        Context.Buffer[56 + i] = static_cast<std::uint8_t>(bitsLow >> (8 * i));
        Context.Buffer[60 + i] = static_cast<std::uint8_t>(bitsHigh >> (8 * i));
    }
    QuzMD5Unit::TransformBlock(Context.State, Context.Buffer);
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j)
            Digest[static_cast<std::size_t>(4 * i + j)] = static_cast<std::uint8_t>(Context.State[i] >> (8 * j));
    std::memset(&Context, 0, sizeof Context);
}

void MD5Transform(std::uint32_t (&Buf)[4], const std::uint32_t (&Data)[16])
{
    using namespace QuzMD5Unit;
    std::uint32_t a = Buf[0], b = Buf[1], c = Buf[2], d = Buf[3];
    const std::uint32_t* x = Data;

    Step<F1>(a, b, c, d, x[0] + 0xd76aa478, 7);
    Step<F1>(d, a, b, c, x[1] + 0xe8c7b756, 12);
    Step<F1>(c, d, a, b, x[2] + 0x242070db, 17);
    Step<F1>(b, c, d, a, x[3] + 0xc1bdceee, 22);
    Step<F1>(a, b, c, d, x[4] + 0xf57c0faf, 7);
    Step<F1>(d, a, b, c, x[5] + 0x4787c62a, 12);
    Step<F1>(c, d, a, b, x[6] + 0xa8304613, 17);
    Step<F1>(b, c, d, a, x[7] + 0xfd469501, 22);
    Step<F1>(a, b, c, d, x[8] + 0x698098d8, 7);
    Step<F1>(d, a, b, c, x[9] + 0x8b44f7af, 12);
    Step<F1>(c, d, a, b, x[10] + 0xffff5bb1, 17);
    Step<F1>(b, c, d, a, x[11] + 0x895cd7be, 22);
    Step<F1>(a, b, c, d, x[12] + 0x6b901122, 7);
    Step<F1>(d, a, b, c, x[13] + 0xfd987193, 12);
    Step<F1>(c, d, a, b, x[14] + 0xa679438e, 17);
    Step<F1>(b, c, d, a, x[15] + 0x49b40821, 22);

    Step<F2>(a, b, c, d, x[1] + 0xf61e2562, 5);
    Step<F2>(d, a, b, c, x[6] + 0xc040b340, 9);
    Step<F2>(c, d, a, b, x[11] + 0x265e5a51, 14);
    Step<F2>(b, c, d, a, x[0] + 0xe9b6c7aa, 20);
    Step<F2>(a, b, c, d, x[5] + 0xd62f105d, 5);
    Step<F2>(d, a, b, c, x[10] + 0x02441453, 9);
    Step<F2>(c, d, a, b, x[15] + 0xd8a1e681, 14);
    Step<F2>(b, c, d, a, x[4] + 0xe7d3fbc8, 20);
    Step<F2>(a, b, c, d, x[9] + 0x21e1cde6, 5);
    Step<F2>(d, a, b, c, x[14] + 0xc33707d6, 9);
    Step<F2>(c, d, a, b, x[3] + 0xf4d50d87, 14);
    Step<F2>(b, c, d, a, x[8] + 0x455a14ed, 20);
    Step<F2>(a, b, c, d, x[13] + 0xa9e3e905, 5);
    Step<F2>(d, a, b, c, x[2] + 0xfcefa3f8, 9);
    Step<F2>(c, d, a, b, x[7] + 0x676f02d9, 14);
    Step<F2>(b, c, d, a, x[12] + 0x8d2a4c8a, 20);

    Step<F3>(a, b, c, d, x[5] + 0xfffa3942, 4);
    Step<F3>(d, a, b, c, x[8] + 0x8771f681, 11);
    Step<F3>(c, d, a, b, x[11] + 0x6d9d6122, 16);
    Step<F3>(b, c, d, a, x[14] + 0xfde5380c, 23);
    Step<F3>(a, b, c, d, x[1] + 0xa4beea44, 4);
    Step<F3>(d, a, b, c, x[4] + 0x4bdecfa9, 11);
    Step<F3>(c, d, a, b, x[7] + 0xf6bb4b60, 16);
    Step<F3>(b, c, d, a, x[10] + 0xbebfbc70, 23);
    Step<F3>(a, b, c, d, x[13] + 0x289b7ec6, 4);
    Step<F3>(d, a, b, c, x[0] + 0xeaa127fa, 11);
    Step<F3>(c, d, a, b, x[3] + 0xd4ef3085, 16);
    Step<F3>(b, c, d, a, x[6] + 0x04881d05, 23);
    Step<F3>(a, b, c, d, x[9] + 0xd9d4d039, 4);
    Step<F3>(d, a, b, c, x[12] + 0xe6db99e5, 11);
    Step<F3>(c, d, a, b, x[15] + 0x1fa27cf8, 16);
    Step<F3>(b, c, d, a, x[2] + 0xc4ac5665, 23);

    Step<F4>(a, b, c, d, x[0] + 0xf4292244, 6);
    Step<F4>(d, a, b, c, x[7] + 0x432aff97, 10);
    Step<F4>(c, d, a, b, x[14] + 0xab9423a7, 15);
    Step<F4>(b, c, d, a, x[5] + 0xfc93a039, 21);
    Step<F4>(a, b, c, d, x[12] + 0x655b59c3, 6);
    Step<F4>(d, a, b, c, x[3] + 0x8f0ccc92, 10);
    Step<F4>(c, d, a, b, x[10] + 0xffeff47d, 15);
    Step<F4>(b, c, d, a, x[1] + 0x85845dd1, 21);
    Step<F4>(a, b, c, d, x[8] + 0x6fa87e4f, 6);
    Step<F4>(d, a, b, c, x[15] + 0xfe2ce6e0, 10);
    Step<F4>(c, d, a, b, x[6] + 0xa3014314, 15);
    Step<F4>(b, c, d, a, x[13] + 0x4e0811a1, 21);
    Step<F4>(a, b, c, d, x[4] + 0xf7537e82, 6);
    Step<F4>(d, a, b, c, x[11] + 0xbd3af235, 10);
    Step<F4>(c, d, a, b, x[2] + 0x2ad7d2bb, 15);
    Step<F4>(b, c, d, a, x[9] + 0xeb86d391, 21);

    Buf[0] += a;
    Buf[1] += b;
    Buf[2] += c;
    Buf[3] += d;
}

std::string GetMD5(const void* Buffer, int BufSize)
{
    TMD5Context context;
    MD5Init(context);
    MD5UpdateBuffer(context, Buffer, BufSize);
    TMD5Digest digest;
    MD5Final(digest, context);
    return QuzMD5Unit::HexDigest(digest);
}

std::string StrMD5(const std::string& S) { return GetMD5(S.data(), static_cast<int>(S.size())); }

std::string FileMD5(const std::string& FileName)
{
    TFileStream file(FileName, fmOpenRead | fmShareDenyWrite);
    std::vector<char> block(QuzMD5Unit::ReadBlockSize);
    TMD5Context context;
    MD5Init(context);
    for (;;) {
        const int count = file.Read(block.data(), QuzMD5Unit::ReadBlockSize);
        if (count <= 0)
            break;
        MD5UpdateBuffer(context, block.data(), count);
    }
    TMD5Digest digest;
    MD5Final(digest, context);
    return QuzMD5Unit::HexDigest(digest);
}
