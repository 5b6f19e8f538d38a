#include "platform/net/private/HostentPacker.h"

#include <cstring>

namespace HostentPacker {

namespace {

struct TLayout {
    std::uintptr_t Aliases = 0; // offsets from the start of the buffer
    std::uintptr_t AddressList = 0;
    std::uintptr_t Addresses = 0;
    std::uintptr_t Name = 0;
    std::uintptr_t End = 0;
};

// Offsets are chosen so that the pointer lists sit on pointer-aligned addresses, wherever the
// buffer lies.
std::uintptr_t AlignedOffset(std::uintptr_t base, std::uintptr_t offset)
{
    const std::uintptr_t alignment = alignof(char*);
    const std::uintptr_t address = base + offset;
    return offset + (alignment - address % alignment) % alignment;
}

TLayout LayoutFor(std::uintptr_t base, std::size_t addressCount, std::size_t nameLength)
{
    TLayout layout;
    layout.Aliases = AlignedOffset(base, sizeof(Winsock::hostent));
    layout.AddressList = layout.Aliases + sizeof(char*);
    layout.Addresses = layout.AddressList + (addressCount + 1) * sizeof(char*);
    layout.Name = layout.Addresses + addressCount * sizeof(Winsock::u_long);
    layout.End = layout.Name + nameLength + 1;
    return layout;
}

void PutPointer(char* buffer, std::uintptr_t offset, char* pointer)
{
    std::memcpy(buffer + offset, &pointer, sizeof pointer);
}

} // namespace

int Pack(const Winsock::THostAnswer& answer, char* buffer, int bufferLength, int& length)
{
    const std::size_t nameLength = std::strlen(answer.Name.c_str());
    const std::size_t available = buffer && bufferLength > 0 ? static_cast<std::size_t>(bufferLength) : 0;
    const auto base = reinterpret_cast<std::uintptr_t>(buffer);
    const std::size_t wanted = answer.Addresses.size();

    std::size_t count = wanted;
    while (count > 0 && LayoutFor(base, count, nameLength).End > available)
        --count;
    const TLayout layout = LayoutFor(base, count, nameLength);
    if (layout.End > available || (count == 0 && wanted > 0)) {
        length = static_cast<int>(std::min<std::uintptr_t>(LayoutFor(base, wanted, nameLength).End, 0x7FFFFFFF));
        return Winsock::WSAENOBUFS;
    }

    Winsock::hostent entry{};
    entry.h_name = buffer + layout.Name;
    entry.h_aliases = reinterpret_cast<char**>(buffer + layout.Aliases);
    entry.h_addrtype = static_cast<short>(Winsock::AF_INET);
    entry.h_length = static_cast<short>(sizeof(Winsock::u_long));
    entry.h_addr_list = reinterpret_cast<char**>(buffer + layout.AddressList);
    std::memcpy(buffer, &entry, sizeof entry);

    PutPointer(buffer, layout.Aliases, nullptr);
    for (std::size_t i = 0; i < count; ++i) {
        const std::uintptr_t addressOffset = layout.Addresses + i * sizeof(Winsock::u_long);
        std::memcpy(buffer + addressOffset, &answer.Addresses[i], sizeof(Winsock::u_long));
        PutPointer(buffer, layout.AddressList + i * sizeof(char*), buffer + addressOffset);
    }
    PutPointer(buffer, layout.AddressList + count * sizeof(char*), nullptr);
    std::memcpy(buffer + layout.Name, answer.Name.c_str(), nameLength + 1);
    length = static_cast<int>(layout.End);
    return 0;
}

} // namespace HostentPacker
