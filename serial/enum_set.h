// A small set of enumeration members held in a fixed-width bit word (bit n = member n),
// the storage the component's option and event sets use.
#pragma once

#include <cstdint>
#include <initializer_list>

namespace comsetup {

template <typename E, typename Bits> class EnumSet {
public:
    constexpr EnumSet() = default;
    constexpr EnumSet(std::initializer_list<E> members) {
        for (E m : members)
            bits_ = Bits(bits_ | Bit(m));
    }
    static constexpr EnumSet FromBits(Bits bits) {
        EnumSet s;
        s.bits_ = bits;
        return s;
    }

    constexpr bool Contains(E m) const { return (bits_ & Bit(m)) != 0; }
    constexpr bool Empty() const { return bits_ == 0; }
    constexpr Bits ToBits() const { return bits_; }
    constexpr EnumSet& Include(E m) {
        bits_ = Bits(bits_ | Bit(m));
        return *this;
    }
    constexpr EnumSet& Exclude(E m) {
        bits_ = Bits(bits_ & ~Bit(m));
        return *this;
    }

    friend constexpr bool operator==(EnumSet a, EnumSet b) = default;
    friend constexpr EnumSet operator|(EnumSet a, EnumSet b) {
        return FromBits(Bits(a.bits_ | b.bits_));
    }

private:
    static constexpr Bits Bit(E m) { return Bits(Bits(1) << static_cast<unsigned>(m)); }
    Bits bits_ = 0;
};

} // namespace comsetup
