#pragma once
// One run of the host-entry packer's fuzz target. The input gives the buffer's size and where it
// starts, the addresses and the name; the packed entry is read back and checked, and the bytes
// around the buffer must stay as they were.

#include "platform/net/private/HostentPacker.h"

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace HostentPackFuzz {

constexpr unsigned char Fill = 0x5A;
constexpr std::size_t Margin = 64;

inline bool Inside(std::uintptr_t address, std::size_t size, std::uintptr_t begin, std::uintptr_t end)
{
    return address >= begin && address <= end && size <= end - address;
}

// The fault found in a packed entry, "" when it is sound.
inline std::string CheckEntry(const Winsock::THostAnswer& answer, const char* start, int used)
{
    const auto begin = reinterpret_cast<std::uintptr_t>(start);
    const auto end = begin + static_cast<std::uintptr_t>(used);
    Winsock::hostent entry;
    std::memcpy(&entry, start, sizeof entry);
    if (entry.h_addrtype != Winsock::AF_INET || entry.h_length != 4)
        return "family or address length";
    const auto name = reinterpret_cast<std::uintptr_t>(entry.h_name);
    const std::string expectedName = answer.Name.c_str();
    if (!Inside(name, expectedName.size() + 1, begin, end) ||
        std::memcmp(entry.h_name, expectedName.c_str(), expectedName.size() + 1) != 0)
        return "name";
    const auto aliases = reinterpret_cast<std::uintptr_t>(entry.h_aliases);
    char* firstAlias = reinterpret_cast<char*>(1);
    if (!Inside(aliases, sizeof(char*), begin, end) || aliases % alignof(char*) != 0)
        return "alias list";
    std::memcpy(&firstAlias, entry.h_aliases, sizeof firstAlias);
    if (firstAlias != nullptr)
        return "alias list not empty";
    const auto list = reinterpret_cast<std::uintptr_t>(entry.h_addr_list);
    if (list % alignof(char*) != 0)
        return "address list alignment";
    std::size_t count = 0;
    for (;; ++count) {
        const std::uintptr_t slot = list + count * sizeof(char*);
        if (!Inside(slot, sizeof(char*), begin, end))
            return "address list end";
        char* item = nullptr;
        std::memcpy(&item, reinterpret_cast<const void*>(slot), sizeof item);
        if (!item)
            break;
        if (count >= answer.Addresses.size() || !Inside(reinterpret_cast<std::uintptr_t>(item), 4, begin, end))
            return "address outside the buffer";
        Winsock::u_long address;
        std::memcpy(&address, item, sizeof address);
        if (address != answer.Addresses[count])
            return "address value";
    }
    if (count == 0 && !answer.Addresses.empty())
        return "no address although there were some";
    return "";
}

// Input: 2 bytes of buffer size, 1 byte of offset, 1 byte of address count, the addresses, then
// the name (which may hold zero bytes).
inline std::string RunHostentPackFuzzCase(const std::uint8_t* data, std::size_t size)
{
    if (size < 4)
        return "";
    const int bufferLength = (data[0] | data[1] << 8) % 2048;
    const std::size_t offset = data[2] % 16;
    std::size_t count = data[3];
    data += 4;
    size -= 4;
    Winsock::THostAnswer answer;
    for (; count > 0 && size >= 4; --count, data += 4, size -= 4) {
        Winsock::u_long address;
        std::memcpy(&address, data, 4);
        answer.Addresses.push_back(address);
    }
    answer.Name.assign(reinterpret_cast<const char*>(data), size);

    std::vector<std::uint64_t> cells((offset + static_cast<std::size_t>(bufferLength) + 2 * Margin) / 8 + 1);
    char* region = reinterpret_cast<char*>(cells.data());
    const std::size_t regionLength = cells.size() * 8;
    std::memset(region, Fill, regionLength);
    char* start = region + Margin + offset;
    int used = -1;
    const int result = HostentPacker::Pack(answer, start, bufferLength, used);

    auto untouched = [&](std::size_t from, std::size_t to) {
        for (std::size_t i = from; i < to; ++i)
            if (static_cast<unsigned char>(region[i]) != Fill)
                return false;
        return true;
    };
    const std::size_t startIndex = Margin + offset;
    const std::size_t endIndex = startIndex + static_cast<std::size_t>(bufferLength);
    if (!untouched(0, startIndex) || !untouched(endIndex, regionLength))
        return "written outside the buffer";
    if (result == Winsock::WSAENOBUFS)
        return used > bufferLength && untouched(startIndex, endIndex) ? "" : "refused answer touched the buffer";
    if (result != 0)
        return "unexpected result";
    if (used < 0 || used > bufferLength)
        return "reported length";
    if (!untouched(startIndex + static_cast<std::size_t>(used), endIndex))
        return "written past the reported length";
    return CheckEntry(answer, start, used);
}

} // namespace HostentPackFuzz
