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

// The 80 rounds written out, with the message schedule kept as a rolling window of 16 words
// and the five working words renamed from round to round instead of moved.
#define SHA1_W(t) (w[(t) & 15] = Ruota(w[((t) + 13) & 15] ^ w[((t) + 8) & 15] ^ w[((t) + 2) & 15] ^ w[(t) & 15], 1))
#define SHA1_PASSO(a, b, c, d, e, f, k, parola)                                                    \
    do {                                                                                           \
        e += Ruota(a, 5) + (f) + (k) + (parola);                                                   \
        b = Ruota(b, 30);                                                                          \
    } while (0)
#define SHA1_CINQUE(t, f, k, parola)                                                               \
    SHA1_PASSO(a, b, c, d, e, f(b, c, d), k, parola(t));                                           \
    SHA1_PASSO(e, a, b, c, d, f(a, b, c), k, parola((t) + 1));                                     \
    SHA1_PASSO(d, e, a, b, c, f(e, a, b), k, parola((t) + 2));                                     \
    SHA1_PASSO(c, d, e, a, b, f(d, e, a), k, parola((t) + 3));                                     \
    SHA1_PASSO(b, c, d, e, a, f(c, d, e), k, parola((t) + 4))

inline uint32_t Scelta(uint32_t b, uint32_t c, uint32_t d) { return d ^ (b & (c ^ d)); }
inline uint32_t Parita(uint32_t b, uint32_t c, uint32_t d) { return b ^ c ^ d; }
inline uint32_t Maggioranza(uint32_t b, uint32_t c, uint32_t d) { return (b & c) | (d & (b | c)); }

void ComprimiBlocco(std::array<uint32_t, 5>& h, const unsigned char* blocco)
{
    uint32_t w[16];
    for (int t = 0; t < 16; ++t)
        w[t] = ParolaBigEndian(blocco + 4 * t);
#define SHA1_DIRETTA(t) w[t]
    uint32_t a = h[0], b = h[1], c = h[2], d = h[3], e = h[4];
    SHA1_CINQUE(0, Scelta, 0x5A827999u, SHA1_DIRETTA);
    SHA1_CINQUE(5, Scelta, 0x5A827999u, SHA1_DIRETTA);
    SHA1_CINQUE(10, Scelta, 0x5A827999u, SHA1_DIRETTA);
    SHA1_PASSO(a, b, c, d, e, Scelta(b, c, d), 0x5A827999u, w[15]);
    SHA1_PASSO(e, a, b, c, d, Scelta(a, b, c), 0x5A827999u, SHA1_W(16));
    SHA1_PASSO(d, e, a, b, c, Scelta(e, a, b), 0x5A827999u, SHA1_W(17));
    SHA1_PASSO(c, d, e, a, b, Scelta(d, e, a), 0x5A827999u, SHA1_W(18));
    SHA1_PASSO(b, c, d, e, a, Scelta(c, d, e), 0x5A827999u, SHA1_W(19));
    SHA1_CINQUE(20, Parita, 0x6ED9EBA1u, SHA1_W);
    SHA1_CINQUE(25, Parita, 0x6ED9EBA1u, SHA1_W);
    SHA1_CINQUE(30, Parita, 0x6ED9EBA1u, SHA1_W);
    SHA1_CINQUE(35, Parita, 0x6ED9EBA1u, SHA1_W);
    SHA1_CINQUE(40, Maggioranza, 0x8F1BBCDCu, SHA1_W);
    SHA1_CINQUE(45, Maggioranza, 0x8F1BBCDCu, SHA1_W);
    SHA1_CINQUE(50, Maggioranza, 0x8F1BBCDCu, SHA1_W);
    SHA1_CINQUE(55, Maggioranza, 0x8F1BBCDCu, SHA1_W);
    SHA1_CINQUE(60, Parita, 0xCA62C1D6u, SHA1_W);
    SHA1_CINQUE(65, Parita, 0xCA62C1D6u, SHA1_W);
    SHA1_CINQUE(70, Parita, 0xCA62C1D6u, SHA1_W);
    SHA1_CINQUE(75, Parita, 0xCA62C1D6u, SHA1_W);
#undef SHA1_DIRETTA
    h[0] += a;
    h[1] += b;
    h[2] += c;
    h[3] += d;
    h[4] += e;
}

#undef SHA1_CINQUE
#undef SHA1_PASSO
#undef SHA1_W

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
