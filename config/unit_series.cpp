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

UnitSeries::UnitSeries(SetupProfile first) : current_(std::move(first)) {
    // A unit paired with the address just below its own is the second of a pair.
    secondOfPair_ =
        current_.mode == Mode::PointToPoint && ToWord(current_.peer) + 1 == ToWord(current_.ip);
}

UnitSeries::UnitSeries(std::vector<SetupProfile> plan, std::vector<int> rowNumbers, int planRows)
    : plan_(std::move(plan)), rowNumbers_(std::move(rowNumbers)), planRows_(planRows) {
    if (plan_.empty())
        throw std::invalid_argument("a planned series needs at least one setup");
    if (rowNumbers_.size() != plan_.size() || planRows_ <= 0)
        rowNumbers_.clear();
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
    return NextOpen();
}

std::variant<SetupProfile, std::string> UnitSeries::NextOpen() const {
    auto address = NextAddressInSubnet(current_.ip, current_.mask);
    if (const auto* refusal = std::get_if<std::string>(&address))
        return *refusal;
    SetupProfile next = current_;
    next.ip = std::get<Ipv4>(address);
    if (current_.mode == Mode::PointToMultipoint && !current_.master && next.ip == current_.peer) {
        // The master's own address: the slave after it takes the one after that.
        address = NextAddressInSubnet(next.ip, next.mask);
        if (const auto* refusal = std::get_if<std::string>(&address))
            return *refusal + " (" + FormatIpv4(next.ip) + " is the master's)";
        next.ip = std::get<Ipv4>(address);
    }
    if (current_.mode != Mode::PointToPoint)
        return next;
    if (!secondOfPair_ && current_.peer == next.ip) {
        next.peer = current_.ip; // the second of the pair
    } else if (secondOfPair_) {
        // A new pair: this unit and the one after it.
        const auto partner = NextAddressInSubnet(next.ip, next.mask);
        if (const auto* refusal = std::get_if<std::string>(&partner))
            return FormatIpv4(next.ip) + " would have no partner: " + *refusal;
        next.peer = std::get<Ipv4>(partner);
    }
    return next;
}

std::optional<std::string> UnitSeries::CurrentWritten() {
    auto next = Next();
    ++done_;
    if (auto* refusal = std::get_if<std::string>(&next))
        return std::move(*refusal);
    SetupProfile& unit = std::get<SetupProfile>(next);
    secondOfPair_ = plan_.empty() && unit.mode == Mode::PointToPoint && !secondOfPair_ &&
                    unit.peer == current_.ip && current_.peer == unit.ip;
    current_ = std::move(unit);
    return std::nullopt;
}

std::string UnitSeries::CountText() const {
    if (plan_.empty())
        return DoneText();
    if (!rowNumbers_.empty())
        return "row " +
               std::to_string(rowNumbers_[std::min<std::size_t>(static_cast<std::size_t>(done_),
                                                                rowNumbers_.size() - 1)]) +
               " of " + std::to_string(planRows_);
    return "converter " + std::to_string(std::min(Number(), *Total())) + " of " +
           std::to_string(*Total());
}

std::string UnitSeries::DoneText() const {
    if (plan_.empty())
        return std::to_string(done_) + " done";
    if (!rowNumbers_.empty() && done_ > 0)
        return "row " + std::to_string(rowNumbers_[static_cast<std::size_t>(done_) - 1]) + " of " +
               std::to_string(planRows_) + " done";
    return std::to_string(done_) + " of " + std::to_string(*Total()) + " done";
}

} // namespace comsetup::config
