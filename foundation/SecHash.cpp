#include "foundation/SecHash.h"

#include "platform/rtl/Files.h"
#include "platform/rtl/SysErrors.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace {

constexpr std::array<uint32_t, 5> ValoriIniziali = {0x67452301u, 0xEFCDAB89u, 0x98BADCFEu, 0x10325476u,
                                                    0xC3D2E1F0u};

inline uint32_t Ruota(uint32_t x, int n) { return (x << n) | (x >> (32 - n)); }

inline uint32_t ParolaBigEndian(const unsigned char* p)
{
    return (uint32_t(p[0]) << 24) | (uint32_t(p[1]) << 16) | (uint32_t(p[2]) << 8) | uint32_t(p[3]);
}

void ComprimiBlocco(std::array<uint32_t, 5>& h, const unsigned char* blocco)
{
    uint32_t w[80];
    for (int t = 0; t < 16; ++t)
        w[t] = ParolaBigEndian(blocco + 4 * t);
    for (int t = 16; t < 80; ++t)
        w[t] = Ruota(w[t - 3] ^ w[t - 8] ^ w[t - 14] ^ w[t - 16], 1);

    uint32_t a = h[0], b = h[1], c = h[2], d = h[3], e = h[4];
    auto passo = [&](uint32_t f, uint32_t k, uint32_t parola) {
        const uint32_t temp = Ruota(a, 5) + f + e + k + parola;
        e = d;
        d = c;
        c = Ruota(b, 30);
        b = a;
        a = temp;
    };
    for (int t = 0; t < 20; ++t)
        passo((b & c) | (~b & d), 0x5A827999u, w[t]);
    for (int t = 20; t < 40; ++t)
        passo(b ^ c ^ d, 0x6ED9EBA1u, w[t]);
    for (int t = 40; t < 60; ++t)
        passo((b & c) | (b & d) | (c & d), 0x8F1BBCDCu, w[t]);
    for (int t = 60; t < 80; ++t)
        passo(b ^ c ^ d, 0xCA62C1D6u, w[t]);

    h[0] += a;
    h[1] += b;
    h[2] += c;
    h[3] += d;
    h[4] += e;
}

// Digests whole blocks as they come and pads the tail once the input has ended.
class TDigestSha1 {
public:
    void Aggiungi(const unsigned char* dati, size_t n)
    {
        lunghezza_ += n;
        if (inBuffer_ > 0) {
            const size_t presi = std::min(n, sizeof buffer_ - inBuffer_);
            std::memcpy(buffer_ + inBuffer_, dati, presi);
            inBuffer_ += presi;
            dati += presi;
            n -= presi;
            if (inBuffer_ < sizeof buffer_)
                return;
            ComprimiBlocco(h_, buffer_);
            inBuffer_ = 0;
        }
        for (; n >= 64; dati += 64, n -= 64)
            ComprimiBlocco(h_, dati);
        std::memcpy(buffer_, dati, n);
        inBuffer_ = n;
    }

    std::array<uint32_t, 5> Fine()
    {
        const uint64_t bit = lunghezza_ * 8;
        buffer_[inBuffer_++] = 0x80;
        if (inBuffer_ > 56) {
            std::memset(buffer_ + inBuffer_, 0, sizeof buffer_ - inBuffer_);
            ComprimiBlocco(h_, buffer_);
            inBuffer_ = 0;
        }
        std::memset(buffer_ + inBuffer_, 0, 56 - inBuffer_);
        for (int i = 0; i < 8; ++i)
            buffer_[56 + i] = static_cast<unsigned char>(bit >> (56 - 8 * i));
        ComprimiBlocco(h_, buffer_);
        return h_;
    }

private:
    std::array<uint32_t, 5> h_ = ValoriIniziali;
    unsigned char buffer_[64] = {};
    size_t inBuffer_ = 0;
    uint64_t lunghezza_ = 0;
};

// Closes the handle however the reading ends.
struct THandleFile {
    int Handle;
    ~THandleFile() { FileClose(Handle); }
};

} // namespace

std::array<uint32_t, 5> TSecHash::HashFile(const std::string& nomeFile)
{
    // A folder opens on this system but never as a file.
    const int handle = DirectoryExists(nomeFile) ? -1 : FileOpen(nomeFile, fmOpenRead | fmShareDenyNone);
    if (handle < 0)
        RAISE(ESecHashException("File not found !"));
    THandleFile chiusura{handle};

    TDigestSha1 digest;
    std::vector<unsigned char> blocco(1 << 16);
    for (;;) {
        const int letti = FileRead(handle, blocco.data(), static_cast<int>(blocco.size()));
        if (letti < 0)
            RAISE(EInOutError(SysErrorMessage(GetLastError())));
        if (letti == 0)
            break;
        digest.Aggiungi(blocco.data(), static_cast<size_t>(letti));
    }
    return digest.Fine();
}

std::array<uint32_t, 5> TSecHash::HashBytes(const std::string& dati)
{
    TDigestSha1 digest;
    digest.Aggiungi(reinterpret_cast<const unsigned char*>(dati.data()), dati.size());
    return digest.Fine();
}
