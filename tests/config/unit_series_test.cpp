// A series of converters on one port: the next unit's setup, its refusals and the count.
#include "config/unit_series.h"

#include <gtest/gtest.h>

#include <string>
#include <variant>

using namespace comsetup::config;

namespace {

std::string NextText(const std::string& ip, const std::string& mask) {
    const auto next = NextAddressInSubnet(ParseIpv4(ip), ParseMask(mask));
    if (const auto* refusal = std::get_if<std::string>(&next))
        return "refused: " + *refusal;
    return FormatIpv4(std::get<Ipv4>(next));
}

TEST(UnitSeries, NextAddressStaysInsideItsSubnet) {
    struct Case {
        const char* ip;
        const char* mask;
        std::string next;
    };
    for (const Case& c : {
             Case{"192.168.1.200", "255.255.255.0", "192.168.1.201"},
             Case{"10.0.0.255", "255.255.254.0", "10.0.1.0"}, // a byte carries over
             Case{"10.0.1.254", "255.255.254.0",
                  "refused: the address after 10.0.1.254 is the broadcast address of "
                  "10.0.0.0/255.255.254.0"},
             Case{"192.168.1.254", "255.255.255.0",
                  "refused: the address after 192.168.1.254 is the broadcast address of "
                  "192.168.1.0/255.255.255.0"},
             Case{"192.168.1.255", "255.255.255.0",
                  "refused: the address after 192.168.1.255 leaves the subnet "
                  "192.168.1.0/255.255.255.0"},
             Case{"10.1.2.3", "255.255.255.255",
                  "refused: the address after 10.1.2.3 leaves the subnet 10.1.2.3/255.255.255.255"},
             Case{"255.255.255.255", "0.0.0.0",
                  "refused: the address after 255.255.255.255 leaves the subnet "
                  "0.0.0.0/0.0.0.0"},
             Case{"172.16.0.1", "255.255.255.252", "172.16.0.2"},
         }) {
        EXPECT_EQ(NextText(c.ip, c.mask), c.next) << c.ip << " " << c.mask;
    }
}

SetupProfile WithIp(const char* ip) {
    SetupProfile p;
    p.ip = ParseIpv4(ip);
    p.localPort = 4001;
    p.mode = Mode::PointToPoint;
    p.peer = ParseIpv4("192.168.1.10");
    return p;
}

TEST(UnitSeries, OpenSeriesCountsAndKeepsAllButTheAddress) {
    UnitSeries series(WithIp("192.168.1.252"));
    EXPECT_EQ(series.CountText(), "0 done");
    EXPECT_EQ(series.Total(), std::nullopt);
    EXPECT_EQ(series.CurrentWritten(), std::nullopt);
    EXPECT_EQ(series.CountText(), "1 done");
    EXPECT_EQ(series.Number(), 2);
    SetupProfile expected = WithIp("192.168.1.253");
    EXPECT_EQ(series.Current(), expected); // port, mode, local port and peer kept
    EXPECT_EQ(series.CurrentWritten(), std::nullopt);
    // The unit after .254 would be the broadcast address: .254 is the last one.
    EXPECT_TRUE(std::holds_alternative<std::string>(series.Next()));
    const auto refusal = series.CurrentWritten();
    ASSERT_TRUE(refusal.has_value());
    EXPECT_NE(refusal->find("broadcast address"), std::string::npos) << *refusal;
    EXPECT_EQ(series.CountText(), "3 done");
    EXPECT_EQ(FormatIpv4(series.Current().ip), "192.168.1.254"); // the last one written
}

TEST(UnitSeries, PlannedSeriesGoesThroughItsRowsAndEnds) {
    UnitSeries series({WithIp("10.0.0.7"), WithIp("10.0.0.3"), WithIp("10.0.0.9")});
    EXPECT_EQ(series.Total(), 3);
    struct Step {
        std::string count;
        std::string ip;
    };
    for (const Step& step :
         {Step{"converter 1 of 3", "10.0.0.7"}, Step{"converter 2 of 3", "10.0.0.3"},
          Step{"converter 3 of 3", "10.0.0.9"}}) {
        EXPECT_EQ(series.CountText(), step.count);
        EXPECT_EQ(FormatIpv4(series.Current().ip), step.ip); // the rows, not IP + 1
        const auto refusal = series.CurrentWritten();
        EXPECT_EQ(refusal.has_value(), step.ip == "10.0.0.9");
        EXPECT_EQ(series.DoneText(), std::to_string(series.Done()) + " of 3 done");
    }
    EXPECT_EQ(series.Done(), 3);
    EXPECT_EQ(series.CountText(), "converter 3 of 3");
    EXPECT_EQ(std::get<std::string>(series.Next()), "all 3 converters of the list are written");
    EXPECT_THROW(UnitSeries(std::vector<SetupProfile>{}), std::invalid_argument);
}

// A plan resumed at its 4th row counts the plan's rows, not the ones left.
TEST(UnitSeries, PlanRowsCountAsThePlanDoes) {
    UnitSeries series({WithIp("10.0.0.4"), WithIp("10.0.0.5")}, {4, 5}, 5);
    EXPECT_EQ(series.CountText(), "row 4 of 5");
    EXPECT_EQ(series.CurrentWritten(), std::nullopt);
    EXPECT_EQ(series.DoneText(), "row 4 of 5 done");
    EXPECT_EQ(series.CountText(), "row 5 of 5");
    EXPECT_TRUE(series.CurrentWritten().has_value()); // the plan's last row
    EXPECT_EQ(series.DoneText(), "row 5 of 5 done");
}

// The open series' units never get their own address as peer: point-to-point units go in
// pairs, point-to-multipoint slaves pass over their master's address, and a fixed peer stays.
TEST(UnitSeries, NextUnitsKeepTheirTunnelsSane) {
    struct Case {
        const char* name;
        Mode mode;
        bool master;
        const char* ip;
        const char* peer;
        std::vector<std::string> units; // "ip>peer" of each next unit, or "refused"
    };
    const Case cases[] = {
        {"pairs from the defaults",
         Mode::PointToPoint,
         false,
         "192.168.1.200",
         "192.168.1.201",
         {"192.168.1.201>192.168.1.200", "192.168.1.202>192.168.1.203",
          "192.168.1.203>192.168.1.202", "192.168.1.204>192.168.1.205"}},
        {"a series starting with a pair's second",
         Mode::PointToPoint,
         false,
         "10.0.0.11",
         "10.0.0.10",
         {"10.0.0.12>10.0.0.13", "10.0.0.13>10.0.0.12"}},
        {"a fixed peer stays; the unit that gets its address pairs back",
         Mode::PointToPoint,
         false,
         "10.0.0.5",
         "10.0.0.9",
         {"10.0.0.6>10.0.0.9", "10.0.0.7>10.0.0.9", "10.0.0.8>10.0.0.9", "10.0.0.9>10.0.0.8"}},
        {"a new pair needs a partner inside the subnet",
         Mode::PointToPoint,
         false,
         "10.0.0.252",
         "10.0.0.253",
         {"10.0.0.253>10.0.0.252", "refused"}},
        {"slaves pass over their master",
         Mode::PointToMultipoint,
         false,
         "192.168.1.200",
         "192.168.1.201",
         {"192.168.1.202>192.168.1.201", "192.168.1.203>192.168.1.201"}},
        {"a slave just below the subnet's end has no address after its master",
         Mode::PointToMultipoint,
         false,
         "10.0.0.253",
         "10.0.0.254",
         {"refused"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SetupProfile first;
        first.mode = c.mode;
        first.master = c.master;
        first.ip = ParseIpv4(c.ip);
        first.peer = ParseIpv4(c.peer);
        UnitSeries series(first);
        for (const std::string& unit : c.units) {
            const auto refusal = series.CurrentWritten();
            if (unit == "refused") {
                EXPECT_TRUE(refusal.has_value());
                break;
            }
            ASSERT_FALSE(refusal.has_value()) << *refusal;
            EXPECT_EQ(FormatIpv4(series.Current().ip) + ">" + FormatIpv4(series.Current().peer),
                      unit);
        }
    }
}

} // namespace
