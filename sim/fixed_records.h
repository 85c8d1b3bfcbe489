// The fixed configuration records a download loads after the restart, as the converter
// knows them: the first is A (with CTS/RTS flow control) or B (any other), then 2, 3, 4 and
// the end record.
#pragma once

#include <string_view>

namespace comsetup::sim {

inline constexpr std::string_view kRecordA =
    ":20000010000601808000000000800000000000000000000000000000000000000000000049";
inline constexpr std::string_view kRecordB =
    ":2000001004060800000000800080008000000000000000000000000000000000000000003E";
inline constexpr std::string_view kFollowingRecords[] = {
    ":200020100000000000000000000000000000000000000000000000000000000000000000B0",
    ":20004010000000000000000000000000000000000000000000000000000000000000000090",
    ":1E00601000000000000000000000000000000000000000000000000000000000000072",
    ":00000001FF",
};
inline constexpr int kFlowCodeForRecordA = 0x02;

} // namespace comsetup::sim
