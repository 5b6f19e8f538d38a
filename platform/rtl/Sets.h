#pragma once
// A set of the members of a small enumeration, as the class library's sets.

#include <cstdint>
#include <initializer_list>

template <typename E>
class TSet {
public:
    constexpr TSet() = default;
    constexpr TSet(std::initializer_list<E> members)
    {
        for (E member : members)
            FBits |= Bit(member);
    }
    constexpr bool Contains(E member) const { return (FBits & Bit(member)) != 0; }
    constexpr void Include(E member) { FBits |= Bit(member); }
    constexpr void Exclude(E member) { FBits &= ~Bit(member); }
    constexpr bool Empty() const { return FBits == 0; }
    constexpr TSet operator+(TSet other) const { return FromBits(FBits | other.FBits); }
    constexpr TSet operator-(TSet other) const { return FromBits(FBits & ~other.FBits); }
    constexpr TSet operator*(TSet other) const { return FromBits(FBits & other.FBits); }
    constexpr bool operator==(const TSet& other) const = default;
    constexpr std::uint64_t Bits() const { return FBits; }
    static constexpr TSet FromBits(std::uint64_t bits)
    {
        TSet set;
        set.FBits = bits;
        return set;
    }

private:
    static constexpr std::uint64_t Bit(E member) { return std::uint64_t(1) << static_cast<unsigned>(member); }
    std::uint64_t FBits = 0;
};
