// Checks one configuration record in the Intel HEX layout the converter's monitor loads:
// ":" count address type data checksum, upper- or lower-case hexadecimal, the checksum
// being the two's complement of the sum of every byte before it.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace comsetup::sim {

struct HexRecord {
    int count = 0;
    int address = 0;
    int type = 0;
    std::vector<std::uint8_t> data;
};

// Parses `line` into `out`. On a fault returns false and names it in `error`.
bool ParseHexRecord(std::string_view line, HexRecord& out, std::string& error);

} // namespace comsetup::sim
