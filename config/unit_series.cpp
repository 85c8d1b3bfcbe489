// A series of converters on one port.
#include "config/unit_series.h"

#include <algorithm>
#include <cstdint>
#include <stdexcept>
#include <utility>

namespace comsetup::config {

namespace {

std::uint32_t ToWord(const Ipv4& address) {
    std::uint32_t word = 0;
    for (int byte : address)
        word = (word << 8) | static_cast<std::uint32_t>(byte & 0xFF);
    return word;
}

Ipv4 FromWord(std::uint32_t word) {
    return {static_cast<int>(word >> 24), static_cast<int>((word >> 16) & 0xFF),
            static_cast<int>((word >> 8) & 0xFF), static_cast<int>(word & 0xFF)};
}

} // namespace

std::variant<Ipv4, std::string> NextAddressInSubnet(const Ipv4& ip, const Ipv4& mask) {
    const std::uint32_t address = ToWord(ip);
    const std::uint32_t network = ToWord(mask);
    const std::uint32_t next = address + 1;
    const std::string subnet = FormatIpv4(FromWord(address & network)) + "/" + FormatIpv4(mask);
    // Wrapping past 255.255.255.255 lands in another subnet too.
    if (next == 0 || (next & network) != (address & network))
        return "the address after " + FormatIpv4(ip) + " leaves the subnet " + subnet;
    if ((next | network) == 0xFFFFFFFFu)
        return "the address after " + FormatIpv4(ip) + " is the broadcast address of " + subnet;
    return FromWord(next);
}

UnitSeries::UnitSeries(SetupProfile first) : current_(std::move(first)) {}

UnitSeries::UnitSeries(std::vector<SetupProfile> plan) : plan_(std::move(plan)) {
    if (plan_.empty())
        throw std::invalid_argument("a planned series needs at least one setup");
    current_ = plan_.front();
}

std::optional<int> UnitSeries::Total() const {
    if (plan_.empty())
        return std::nullopt;
    return static_cast<int>(plan_.size());
}

std::variant<SetupProfile, std::string> UnitSeries::Next() const {
    if (!plan_.empty()) {
        const auto next = static_cast<std::size_t>(done_) + 1;
        if (next >= plan_.size())
            return "all " + std::to_string(plan_.size()) + " converters of the list are written";
        return plan_[next];
    }
    auto address = NextAddressInSubnet(current_.ip, current_.mask);
    if (const auto* refusal = std::get_if<std::string>(&address))
        return *refusal;
    SetupProfile next = current_;
    next.ip = std::get<Ipv4>(address);
    return next;
}

std::optional<std::string> UnitSeries::CurrentWritten() {
    auto next = Next();
    ++done_;
    if (auto* refusal = std::get_if<std::string>(&next))
        return std::move(*refusal);
    current_ = std::get<SetupProfile>(std::move(next));
    return std::nullopt;
}

std::string UnitSeries::CountText() const {
    if (plan_.empty())
        return DoneText();
    return "converter " + std::to_string(std::min(Number(), *Total())) + " of " +
           std::to_string(*Total());
}

std::string UnitSeries::DoneText() const {
    if (plan_.empty())
        return std::to_string(done_) + " done";
    return std::to_string(done_) + " of " + std::to_string(*Total()) + " done";
}

} // namespace comsetup::config
