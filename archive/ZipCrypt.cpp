#include "archive/ZipCrypt.h"

#include "archive/ZipFormat.h"
#include "archive/ZipNames.h"

#include <random>

TZipCryptKeys::TZipCryptKeys(std::string_view password)
    : FKeys{0x12345678u, 0x23456789u, 0x34567890u}
{
    for (char c : password)
        Update(static_cast<std::uint8_t>(c));
}

void TZipCryptKeys::Update(std::uint8_t plain)
{
    const std::uint32_t* table = TZipCrc32::Table();
    FKeys[0] = table[(FKeys[0] ^ plain) & 0xFF] ^ (FKeys[0] >> 8);
    FKeys[1] = (FKeys[1] + (FKeys[0] & 0xFF)) * 134775813u + 1;
    const std::uint8_t high = static_cast<std::uint8_t>(FKeys[1] >> 24);
    FKeys[2] = table[(FKeys[2] ^ high) & 0xFF] ^ (FKeys[2] >> 8);
}

std::uint8_t TZipCryptKeys::StreamByte() const
{
    const std::uint16_t temp = static_cast<std::uint16_t>(FKeys[2] | 2);
    return static_cast<std::uint8_t>((static_cast<std::uint32_t>(temp) * (temp ^ 1u)) >> 8);
}

void TZipCryptKeys::Encrypt(std::uint8_t* data, std::size_t size)
{
    for (std::size_t i = 0; i < size; ++i) {
        const std::uint8_t plain = data[i];
        data[i] = plain ^ StreamByte();
        Update(plain);
    }
}

void TZipCryptKeys::Decrypt(std::uint8_t* data, std::size_t size)
{
    for (std::size_t i = 0; i < size; ++i) {
        data[i] ^= StreamByte();
        Update(data[i]);
    }
}

void TZipCryptKeys::MakeHeader(std::uint8_t checkByte, std::uint8_t* header)
{
    std::random_device device;
    std::mt19937 random(device());
    for (std::size_t i = 0; i + 1 < ZipCryptHeaderSize; ++i)
        header[i] = static_cast<std::uint8_t>(random());
    header[ZipCryptHeaderSize - 1] = checkByte;
    Encrypt(header, ZipCryptHeaderSize);
}

bool TZipCryptKeys::CheckHeader(std::uint8_t* header, std::uint8_t checkByte)
{
    Decrypt(header, ZipCryptHeaderSize);
    return header[ZipCryptHeaderSize - 1] == checkByte;
}

std::uint8_t ZipCryptCheckByte(std::uint16_t flags, std::uint32_t crc, std::uint16_t dosTime)
{
    if (flags & ZipFlagDataDescriptor)
        return static_cast<std::uint8_t>(dosTime >> 8);
    return static_cast<std::uint8_t>(crc >> 24);
}
