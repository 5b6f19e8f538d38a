#include "foundation/SimpleCrypt.h"

#include <algorithm>
#include <cstdint>

namespace {

// The cipher's state for one call: the key bytes, which every plain byte changes, and the
// 16-bit registers of the keystream generator.
class TStatoPc1 {
public:
    explicit TStatoPc1(const std::string& chiave)
    {
        std::copy_n(chiave.begin(), std::min<size_t>(chiave.size(), 16), chiave_);
    }

    // The keystream word for the next byte, from the current key bytes.
    uint16_t Assembla()
    {
        uint16_t inter = 0;
        for (int k = 0; k < 8; ++k) {
            const uint16_t parola = static_cast<uint16_t>((chiave_[2 * k] << 8) | chiave_[2 * k + 1]);
            parole_[k] = k == 0 ? parola : static_cast<uint16_t>(parole_[k - 1] ^ parola);
            inter ^= Code(k);
        }
        return inter;
    }

    void MescolaNellaChiave(uint8_t chiaro)
    {
        for (uint8_t& byte : chiave_)
            byte ^= chiaro;
    }

private:
    // One round of the generator over key word i, with the multipliers 20021 and 346.
    uint16_t Code(int i)
    {
        uint16_t dx = static_cast<uint16_t>(x1a2_ + i);
        uint16_t ax = parole_[i];
        uint16_t cx = 0x015A;
        const uint16_t bx = 0x4E35;

        std::swap(ax, si_);
        std::swap(ax, dx);
        if (ax != 0)
            ax = static_cast<uint16_t>(ax * bx);
        std::swap(ax, cx);
        if (ax != 0) {
            ax = static_cast<uint16_t>(ax * si_);
            cx = static_cast<uint16_t>(ax + cx);
        }
        std::swap(ax, si_);
        ax = static_cast<uint16_t>(ax * bx);
        dx = static_cast<uint16_t>(cx + dx);
        ax = static_cast<uint16_t>(ax + 1);

        x1a2_ = dx;
        parole_[i] = ax;
        return static_cast<uint16_t>(ax ^ dx);
    }

    uint8_t chiave_[16] = {};
    uint16_t parole_[8] = {};
    uint16_t x1a2_ = 0;
    uint16_t si_ = 0;
};

inline uint8_t Mascheratura(uint16_t inter) { return static_cast<uint8_t>((inter >> 8) ^ (inter & 0xFF)); }

size_t Limita(int lunghezza, size_t massimo)
{
    return lunghezza <= 0 ? 0 : std::min(static_cast<size_t>(lunghezza), massimo);
}

} // namespace

std::string TSimpleCrypt::Encrypt(const std::string& chiave, const std::string& dati, int lunghezza)
{
    const size_t n = Limita(lunghezza, dati.size());
    TStatoPc1 stato(chiave);
    std::string lettere;
    lettere.reserve(2 * n);
    for (size_t i = 0; i < n; ++i) {
        const uint8_t chiaro = static_cast<uint8_t>(dati[i]);
        const uint16_t inter = stato.Assembla();
        stato.MescolaNellaChiave(chiaro);
        const uint8_t cifrato = chiaro ^ Mascheratura(inter);
        lettere += static_cast<char>('a' + (cifrato >> 4));
        lettere += static_cast<char>('a' + (cifrato & 0x0F));
    }
    return lettere;
}

std::string TSimpleCrypt::Decrypt(const std::string& chiave, const std::string& lettere, int lunghezza)
{
    const size_t n = Limita(lunghezza, lettere.size()) / 2;
    TStatoPc1 stato(chiave);
    std::string chiaro;
    chiaro.reserve(n);
    for (size_t i = 0; i < n; ++i) {
        const int alto = static_cast<unsigned char>(lettere[2 * i]) - 'a';
        const int basso = static_cast<unsigned char>(lettere[2 * i + 1]) - 'a';
        const uint8_t cifrato = static_cast<uint8_t>(16 * alto + basso);
        const uint16_t inter = stato.Assembla();
        const uint8_t byte = cifrato ^ Mascheratura(inter);
        stato.MescolaNellaChiave(byte);
        if (byte == 0)
            break; // the text ends before the first zero byte
        chiaro += static_cast<char>(byte);
    }
    return chiaro;
}
