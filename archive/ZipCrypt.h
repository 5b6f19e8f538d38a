#pragma once
// The traditional encryption of the ZIP format: three 32-bit keys stirred by the password and by
// every plain byte, and the 12-byte header in front of an entry's data whose last byte lets a
// reader tell a wrong password.

#include <cstddef>
#include <cstdint>
#include <string_view>

constexpr std::size_t ZipCryptHeaderSize = 12;

class TZipCryptKeys {
public:
    explicit TZipCryptKeys(std::string_view password);

    void Encrypt(std::uint8_t* data, std::size_t size);
    void Decrypt(std::uint8_t* data, std::size_t size);

    // Eleven random bytes and the check byte, encrypted: the header written before the data.
    void MakeHeader(std::uint8_t checkByte, std::uint8_t* header);
    // Decrypts a header in place; true when its last byte is the check byte.
    bool CheckHeader(std::uint8_t* header, std::uint8_t checkByte);

private:
    void Update(std::uint8_t plain);
    std::uint8_t StreamByte() const;

    std::uint32_t FKeys[3];
};

// The check byte of an entry: the high byte of its CRC, or of its DOS time when the sizes and the
// CRC follow the data in a descriptor (the writer did not know the CRC yet).
std::uint8_t ZipCryptCheckByte(std::uint16_t flags, std::uint32_t crc, std::uint16_t dosTime);
