#pragma once
// SHA-1 digest of a file, the component the encrypted setting derives its key from.

#include "platform/rtl/Classes.h"
#include "platform/rtl/Exceptions.h"

#include <array>
#include <cstdint>
#include <string>

TESS_EXCEPTION(ESecHashException, Exception)

class TSecHash : public TComponent {
    TESS_CLASS(TSecHash, TComponent)
public:
    explicit TSecHash(TComponent* owner) : TComponent(owner) {}

    // The five chaining words H0..H4 of the file's SHA-1. Raises ESecHashException
    // "File not found !" when the file cannot be opened, EInOutError when reading it fails.
    std::array<uint32_t, 5> HashFile(const std::string& nomeFile);

    // The same digest of bytes already in memory.
    static std::array<uint32_t, 5> HashBytes(const std::string& dati);
};
