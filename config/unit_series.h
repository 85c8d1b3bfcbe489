// A series of converters written one after another on one port, one setup each: the next row
// of a plan when there is one, otherwise the previous unit's setup with the address one
// higher. A unit that fails stays the current one until it is written or the series ends, so
// that it is offered again before the next one.
#pragma once

#include "config/setup_options.h"

#include <optional>
#include <string>
#include <variant>
#include <vector>

namespace comsetup::config {

class UnitSeries {
public:
    // An open series: `first` is the first unit's setup; each next unit gets the address one
    // higher, every other value kept but the peer, which never becomes the unit's own
    // address: point-to-point units go in pairs (a unit whose peer is the next address is the
    // first of a pair, the next one gets its address as peer, and the unit after that starts
    // a new pair with the one after it), a point-to-multipoint slave passes over its master's
    // address and keeps it as peer.
    explicit UnitSeries(SetupProfile first);
    // A planned series: the units' setups in order (at least one). With `rowNumbers` (one per
    // setup) and `planRows`, the units are rows of a plan that long, and the count is the
    // plan's ("row 4 of 5") however many rows were done before.
    explicit UnitSeries(std::vector<SetupProfile> plan, std::vector<int> rowNumbers = {},
                        int planRows = 0);

    const SetupProfile& Current() const { return current_; }
    // The current unit's number, from 1.
    int Number() const { return done_ + 1; }
    int Done() const { return done_; }
    // The plan's length; none for an open series.
    std::optional<int> Total() const;

    // The current unit has been written: the next one becomes current when there is one (see
    // Next). Returns the refusal when there is none, with the current unit then counted done.
    std::optional<std::string> CurrentWritten();
    // What the unit after the current one gets, or why there is none: the plan's end, or an
    // address that would leave its subnet or be its broadcast address.
    std::variant<SetupProfile, std::string> Next() const;

    // While the current unit is written: "converter 4 of 20" in a planned series ("row 4 of 5"
    // for a plan's rows), "3 done" in an open one.
    std::string CountText() const;
    // Once it is written: "4 of 20 done" ("row 4 of 5 done"), or "4 done".
    std::string DoneText() const;

private:
    std::variant<SetupProfile, std::string> NextOpen() const;

    std::vector<SetupProfile> plan_;
    std::vector<int> rowNumbers_;
    int planRows_ = 0;
    SetupProfile current_;
    int done_ = 0;
    bool secondOfPair_ = false; // point-to-point: the current unit is the second of its pair
};

// The address one higher within ip/mask, or why there is none.
std::variant<Ipv4, std::string> NextAddressInSubnet(const Ipv4& ip, const Ipv4& mask);

} // namespace comsetup::config
