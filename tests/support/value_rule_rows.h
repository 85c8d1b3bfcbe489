// Setups that the one value rule refuses, warns of or lets pass, as key/value texts any front
// end can be given: options (--key, "master" a flag), JSON keys, a plan's columns, the
// wizard's fields. Every front end's test runs these same rows.
#pragma once

#include <map>
#include <string>
#include <vector>

namespace comsetup::test {

struct ValueRuleRow {
    const char* what;
    std::map<std::string, std::string> values; // key -> text; "master" -> "true"
    const char* refusal = nullptr;             // a part of the refusal; nullptr: accepted
    const char* warning = nullptr;             // a part of a warning of an accepted setup
};

inline const std::vector<ValueRuleRow>& ValueRuleRows() {
    static const std::vector<ValueRuleRow> rows{
        {"usual setup", {{"ip", "192.168.1.200"}, {"gateway", "192.168.1.1"}}},
        {"network address",
         {{"ip", "192.168.1.0"}},
         "ip: 192.168.1.0 is the network address of its subnet (192.168.1.0/255.255.255.0)"},
        {"broadcast address",
         {{"ip", "10.1.255.255"}, {"mask", "255.255.0.0"}},
         "ip: 10.1.255.255 is the broadcast address of its subnet (10.1.0.0/255.255.0.0)"},
        {"all zeros", {{"ip", "0.0.0.0"}, {"mask", "0.0.0.0"}}, "ip: 0.0.0.0 is no address"},
        {"all ones", {{"ip", "255.255.255.255"}}, "ip: 255.255.255.255 is the broadcast address"},
        {"a /31 has no network address", {{"ip", "10.0.0.0"}, {"mask", "255.255.255.254"}}},
        {"gateway outside the subnet",
         {{"ip", "192.168.1.200"}, {"gateway", "192.168.2.1"}},
         "gateway: 192.168.2.1 is outside the converter's subnet (192.168.1.0/255.255.255.0)"},
        {"gateway is the converter",
         {{"ip", "192.168.1.200"}, {"gateway", "192.168.1.200"}},
         "gateway: 192.168.1.200 is the converter's own address"},
        {"gateway is the broadcast address",
         {{"gateway", "192.168.1.255"}},
         "gateway: 192.168.1.255 is the broadcast address of its subnet"},
        {"peer is the converter",
         {{"mode", "point-to-point"}, {"ip", "10.0.0.5"}, {"peer", "10.0.0.5"}},
         "peer: 10.0.0.5 is the converter's own address"},
        {"remote COM port sends no peer", {{"ip", "192.168.1.201"}, {"peer", "192.168.1.201"}}},
        {"slave's master outside the subnet",
         {{"mode", "point-to-multipoint"}, {"ip", "10.0.0.5"}, {"peer", "10.0.1.1"}},
         "peer: the master 10.0.1.1 is outside the converter's subnet (10.0.0.0/255.255.255.0)"},
        {"a master sends to its broadcast address",
         {{"mode", "point-to-multipoint"}, {"master", "true"}, {"peer", "10.0.1.1"}}},
        {"point-to-point peer routed without a gateway",
         {{"mode", "point-to-point"}, {"ip", "10.0.0.5"}, {"peer", "10.0.7.1"}},
         nullptr,
         "peer 10.0.7.1 is outside the converter's subnet (10.0.0.0/255.255.255.0) and no "
         "gateway is set"},
        {"point-to-point peer through the gateway",
         {{"mode", "point-to-point"},
          {"ip", "10.0.0.5"},
          {"gateway", "10.0.0.1"},
          {"peer", "10.0.7.1"}}},
        {"remote port 0",
         {{"mode", "point-to-point"}, {"peer", "192.168.1.201"}, {"remote_port", "0"}},
         "port: 0 is not a TCP port number from 1 to 65535"}, // remote_port, --remote-port
        {"remote port past the last port",
         {{"remote_port", "65536"}},
         "port: 65536 is not a TCP port number from 1 to 65535"},
        {"a master listening on 10002",
         {{"mode", "point-to-multipoint"}, {"peer", "192.168.1.1"}, {"remote_port", "10002"}}},
        {"baud rate off the list",
         {{"baud", "14400"}},
         nullptr,
         "baud 14400 is not one of the usual rates"},
    };
    return rows;
}

} // namespace comsetup::test
