// Subnet mask checks, directed broadcast and the operating-mode mapping.
#include "download/setup_rules.h"

#include <cstdint>

namespace comsetup {

namespace {

std::uint32_t MaskBits(const AddressBytes& mask) {
    std::uint32_t bits = 0;
    for (int byte : mask) {
        bits = (bits << 8) | static_cast<std::uint32_t>(byte & 0xFF);
    }
    return bits;
}

} // namespace

bool IsAllowedMaskByte(int value) {
    switch (value & 0xFF) {
    case 255:
    case 254:
    case 252:
    case 248:
    case 240:
    case 224:
    case 192:
    case 128:
    case 0:
        return true;
    default:
        return false;
    }
}

bool IsContiguousMask(const AddressBytes& mask) {
    const std::uint32_t inverted = ~MaskBits(mask);
    // The host part must be of the form 0...01...1: adding one gives a power of two (or 0).
    return (inverted & (inverted + 1)) == 0;
}

std::optional<std::string> CheckSubnetMask(const AddressBytes& mask) {
    for (int byte : mask) {
        if (!IsAllowedMaskByte(byte)) {
            return std::string(kSubnetMaskMessage);
        }
    }
    if (!IsContiguousMask(mask)) {
        return std::string(kNonContiguousMaskMessage);
    }
    return std::nullopt;
}

std::optional<int> WholeNumberIn(std::string_view text, int min, int max) {
    if (text.empty() || text.size() > 10) {
        return std::nullopt;
    }
    long long value = 0;
    for (char c : text) {
        if (c < '0' || c > '9') {
            return std::nullopt;
        }
        value = value * 10 + (c - '0');
    }
    if (value < min || value > max) {
        return std::nullopt;
    }
    return static_cast<int>(value);
}

std::string FieldRangeMessage(std::string_view field, std::string_view text, int min, int max) {
    const bool digits = !text.empty() && text.find_first_not_of("0123456789") == text.npos;
    return std::string(field) + " must be " + (digits ? "" : "a whole number, ") +
           std::to_string(min) + " to " + std::to_string(max);
}

bool IsBaudRateText(std::string_view text) {
    return WholeNumberIn(text, kBaudRateMin, kBaudRateMax).has_value();
}

AddressBytes DirectedBroadcast(const AddressBytes& ip, const AddressBytes& mask) {
    AddressBytes result{};
    for (std::size_t i = 0; i < result.size(); ++i) {
        result[i] = (ip[i] | ~mask[i]) & 0xFF;
    }
    return result;
}

void ApplyOperatingMode(SetupValues& values, OperatingMode mode, bool masterSide) {
    if (mode == OperatingMode::TunnelPointToPoint ||
        mode == OperatingMode::TunnelPointToMultipoint) {
        values.tunnel = true;
    }
    values.broadcast = masterSide;
    if (masterSide) {
        values.remote = DirectedBroadcast(values.ip, values.mask);
    }
}

bool ModeOffersMasterSide(OperatingMode mode) {
    return mode == OperatingMode::TunnelPointToMultipoint;
}

} // namespace comsetup
