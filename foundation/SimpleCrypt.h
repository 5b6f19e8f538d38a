#pragma once
// The PC1 stream cipher with a 128-bit key; the ciphertext is written as letters 'a'..'p',
// one letter per nibble.

#include "platform/rtl/Classes.h"

#include <string>

class TSimpleCrypt : public TComponent {
    TESS_CLASS(TSimpleCrypt, TComponent)
public:
    explicit TSimpleCrypt(TComponent* owner) : TComponent(owner) {}

    // Enciphers the first lunghezza bytes of dati (at most its size) into 2 x lunghezza letters.
    // Only the first 16 bytes of the key count; a shorter key is padded with zero bytes.
    std::string Encrypt(const std::string& chiave, const std::string& dati, int lunghezza);
    // Deciphers the first lunghezza letters (at most its size) taken in pairs; a trailing single
    // letter is ignored. The result ends before the first zero byte. Text that is not a sequence
    // of letters 'a'..'p' deciphers to arbitrary bytes, never to an error.
    std::string Decrypt(const std::string& chiave, const std::string& lettere, int lunghezza);
};
